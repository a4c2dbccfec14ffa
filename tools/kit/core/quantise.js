// quantise.js --- the girl's 17 frames to one shared 256-colour table: entry 0 pure black, the
// transparent colour, and no other pixel ever on it; the sky's range at the top of the table, at
// the very entries the sky is drawn with; her colours between, exact when they fit.
import SKY_RANGE from '../../../resources/sky-range.json' with { type: 'json' };

/** The sky's colours and the entries they take, first up to 255: while she dances the saver
 *  draws the sky with her palette, so on a 256-colour display it keeps its colours only if her
 *  table holds them there. { first, colours: [[r, g, b], ...] } */
export const SKY = SKY_RANGE;

// The table is made from at most this many of her pixels, evenly spread over all 17 frames:
// enough for a full table, and it keeps a large girl's build well within a second.
const SAMPLE = 1 << 16;

/** frames: RGBA pixel arrays of one size (alpha ignored: transparency is already black).
 *  -> { palette: Uint8Array(768), indices: [Uint8Array], exact: boolean }
 *  exact when her colours (those the sky's range does not hold) fit below it. */
export function quantise(frames) {
  const palette = new Uint8Array(768);
  const first = SKY.first, free = first - 1;  // her entries: 1 to first - 1
  // The entries of the colours known so far, in a small table of their own: the sky's at theirs,
  // and hers (marked 1 until they have entries) while they fit below the sky's range. No table of
  // all 2^24 colours: making one costs more than all the rest (4,096 pages of memory, each
  // cleared as it is first touched), and most girls have a few hundred colours at most.
  const known = knownColours();
  const sky = SKY.colours.map(([r, g, b]) => (r << 16) | (g << 8) | b);
  sky.forEach((colour, i) => {
    setEntry(palette, first + i, colour);
    if (!known.entry(colour)) known.set(colour, first + i);
  });
  // total: her pixels of colours besides black and the sky's; hers: her colours, as long as they fit.
  // Each frame is read a pixel at a time as one word: most of a frame is runs of one colour
  // (black above all), and a pixel like the one before costs one comparison.
  const words = frames.map(asWords);
  const hers = [];
  let total = 0;
  words.forEach((pixels, f) => {
    let lastWord = -1, colour = 0, entry = 0;
    for (let p = 0; p < pixels.length; p++) {
      const word = pixels[p];
      if (word !== lastWord) {
        lastWord = word;
        colour = colourAt(frames[f], p);
        entry = colour ? known.entry(colour) : 0;
        if (colour && !entry && hers.length <= free) {
          hers.push(colour);
          if (hers.length <= free) known.set(colour, entry = 1);
        }
      }
      if (colour && entry < first) total++;  // neither black nor one of the sky's
    }
  });
  const exact = hers.length <= free;
  let entryOf;
  if (exact) {
    // Her own colours, in the order of their values, so that the table does not depend on which
    // frame shows a colour first.
    hers.sort((a, b) => a - b).forEach((colour, i) => {
      setEntry(palette, i + 1, colour);
      known.set(colour, i + 1);
    });
  } else {
    // Her pixels on the nearest of her table's colours and the sky's, which are there anyway.
    const table = reducedTable(frames, total, free, (colour) => known.entry(colour) >= first);
    table.forEach((colour, i) => setEntry(palette, i + 1, colour));
    const nearest = nearestIn([...table, ...sky]);
    entryOf = (colour) => {
      const entry = known.entry(colour);
      if (entry >= first) return entry;  // one of the sky's
      const i = nearest(colour);
      return i < table.length ? i + 1 : first + i - table.length;
    };
  }
  const indices = words.map((pixels, f) => {
    const out = new Uint8Array(pixels.length);
    let lastWord = -1, entry = 0;
    for (let p = 0; p < pixels.length; p++) {
      const word = pixels[p];
      if (word !== lastWord) {
        lastWord = word;
        const colour = colourAt(frames[f], p);
        entry = !colour ? 0 : exact ? known.entry(colour) : entryOf(colour);
      }
      out[p] = entry;
    }
    return out;
  });
  return { palette, indices, exact };
}

// A frame's pixels as 32-bit words, one a pixel, to tell a pixel like the one before at one
// comparison (the word's byte order does not matter for that). A frame whose bytes do not start
// on a word's boundary (a Node buffer's may not) is copied first.
function asWords(rgba) {
  const aligned = rgba.byteOffset % 4 ? Uint8Array.from(rgba) : rgba;
  return new Uint32Array(aligned.buffer, aligned.byteOffset, rgba.length >> 2);
}

// Pixel p of a frame as 0xRRGGBB (alpha ignored: transparency is already black).
function colourAt(rgba, p) {
  return (rgba[4 * p] << 16) | (rgba[4 * p + 1] << 8) | rgba[4 * p + 2];
}

// A few hundred colours and their entries, by open addressing: 0 is no colour (black is never
// kept), and an entry of 0 is a colour not known.
function knownColours() {
  const SLOTS = 1024;  // at most the sky's 43 and 213 of hers: a quarter full
  const keys = new Int32Array(SLOTS), entries = new Uint8Array(SLOTS);
  const slot = (colour) => {
    let at = Math.imul(colour, 0x9e3779b1) >>> 22;
    while (keys[at] && keys[at] !== colour) at = (at + 1) & (SLOTS - 1);
    return at;
  };
  return {
    entry: (colour) => entries[slot(colour)],
    set: (colour, entry) => { const at = slot(colour); keys[at] = colour; entries[at] = entry; },
  };
}

function setEntry(palette, index, colour) {
  palette[3 * index] = colour >> 16;
  palette[3 * index + 1] = (colour >> 8) & 255;
  palette[3 * index + 2] = colour & 255;
}

// A table of `size` colours for a figure of more, by gifenc's pairwise-nearest-neighbour quantiser over a
// histogram of 4 bits a channel (of the quantisers tried, the fastest and the closest to her
// colours: image-q's Wu and NeuQuant took 10 to 25 times as long and came out no closer), over
// her pixels that are neither black (so that black, which is most of each frame, takes no entry
// from her) nor of the sky's colours (which have their own entries); a table colour that came out
// pure black is lifted to (1, 1, 1), as only pure black is see-through.
function reducedTable(frames, total, size, inSky) {
  const step = Math.max(1, Math.ceil(total / SAMPLE));
  const pixels = new Uint8Array(Math.ceil(total / step) * 4);
  let at = 0, seen = 0;
  for (const rgba of frames) {
    for (let o = 0; o < rgba.length; o += 4) {
      const colour = (rgba[o] << 16) | (rgba[o + 1] << 8) | rgba[o + 2];
      if (!colour || inSky(colour)) continue;
      if (seen++ % step) continue;
      pixels[at] = rgba[o]; pixels[at + 1] = rgba[o + 1]; pixels[at + 2] = rgba[o + 2]; pixels[at + 3] = 255;
      at += 4;
    }
  }
  const table = pairwiseNearest(pixels, size).map((colour) => colour || 0x010101);
  return [...new Set(table)].sort((a, b) => a - b).slice(0, size);
}

// gifenc's quantiser (its quantize with format 'rgb444', the pairwise nearest neighbour method of
// pnnquant) step for step, on typed arrays rather than an object for each of 4,096 cells, which
// makes it some times faster: the same arithmetic in the same order, so the same table. Gives
// the table's colours as 0xRRGGBB, in gifenc's order.
export function pairwiseNearest(rgba, size) {
  const CELLS = 4096, REMOVED = CELLS - 1;
  let red = new Float64Array(CELLS), green = new Float64Array(CELLS), blue = new Float64Array(CELLS);
  let weight = new Float64Array(CELLS);
  for (let o = 0; o < rgba.length; o += 4) {
    const cell = ((rgba[o] >> 4) << 8) | (rgba[o + 1] & 240) | (rgba[o + 2] >> 4);
    red[cell] += rgba[o]; green[cell] += rgba[o + 1]; blue[cell] += rgba[o + 2]; weight[cell]++;
  }
  // The cells that hold a colour, in order, each its colours' mean; and the least red of each
  // cell, which no later merge into it lowers (a cell takes in only cells after it).
  let count = 0;
  const lowRed = new Float64Array(CELLS);
  for (let c = 0; c < CELLS; c++) {
    if (!weight[c]) continue;
    const d = 1 / weight[c];
    red[count] = red[c] * d; green[count] = green[c] * d; blue[count] = blue[c] * d; weight[count] = weight[c];
    lowRed[count++] = (c >> 8) << 4;
  }
  [red, green, blue, weight] = [red, green, blue, weight].map((values) => values.slice(0, count));
  const forward = new Int32Array(count), back = new Int32Array(count), nearest = new Int32Array(count);
  const merged = new Int32Array(count), looked = new Int32Array(count), error = new Float64Array(count);
  const root = size * size / count >= 0.022;
  for (let i = 0; i < count; i++) {
    forward[i] = i + 1 < count ? i + 1 : 0;
    back[i + 1 < count ? i + 1 : 0] = i;
    if (root) weight[i] = Math.sqrt(weight[i]);
  }
  back[0] = 0;
  const findNearest = (at) => {
    let best = 0, least = 1e100;
    const n1 = weight[at], r = red[at], g = green[at], b = blue[at];
    for (let i = forward[at]; i !== 0; i = forward[i]) {
      // The cells come in order of their red, and every weight is at least 1, so each pair's
      // error is at least half its red distance squared: past the point where that exceeds the
      // least found, no later cell can come up to it (kept a hair wide of rounding).
      const gap = lowRed[i] - r;
      if (gap > 0 && 0.5 * gap * gap > least * (1 + 1e-9)) break;
      const n2 = weight[i], share = n1 * n2 / (n1 + n2);
      if (share >= least) continue;
      const dr = red[i] - r, dg = green[i] - g, db = blue[i] - b;
      let sum = share * (dr * dr);
      if (sum >= least) continue;
      sum += share * (dg * dg);
      if (sum >= least) continue;
      sum += share * (db * db);
      if (sum >= least) continue;
      least = sum;
      best = i;
    }
    error[at] = least;
    nearest[at] = best;
  };
  const heap = new Uint32Array(count + 1);
  for (let i = 0; i < count; i++) {
    findNearest(i);
    let l, l2, h;
    for (l = ++heap[0]; l > 1; l = l2) {
      l2 = l >> 1;
      if (error[h = heap[l2]] <= error[i]) break;
      heap[l] = h;
    }
    heap[l] = i;
  }
  for (let i = 0; i < count - size;) {
    let top;
    for (;;) {
      top = heap[1];
      if (looked[top] >= merged[top] && merged[nearest[top]] <= looked[top]) break;
      if (merged[top] === REMOVED) top = heap[1] = heap[heap[0]--];
      else {
        findNearest(top);
        looked[top] = i;
      }
      let l, l2, h;
      for (l = 1; (l2 = l + l) <= heap[0]; l = l2) {
        if (l2 < heap[0] && error[heap[l2]] > error[heap[l2 + 1]]) l2++;
        if (error[top] <= error[h = heap[l2]]) break;
        heap[l] = h;
      }
      heap[l] = top;
    }
    const other = nearest[top], n1 = weight[top], n2 = weight[other], d = 1 / (n1 + n2);
    red[top] = d * (n1 * red[top] + n2 * red[other]);
    green[top] = d * (n1 * green[top] + n2 * green[other]);
    blue[top] = d * (n1 * blue[top] + n2 * blue[other]);
    weight[top] += weight[other];
    merged[top] = ++i;
    forward[back[other]] = forward[other];
    back[forward[other]] = back[other];
    merged[other] = REMOVED;
  }
  const colours = [];
  const channel = (value) => Math.min(255, Math.max(0, Math.round(value)));
  for (let i = 0; ; i = forward[i]) {
    const colour = (channel(red[i]) << 16) | (channel(green[i]) << 8) | channel(blue[i]);
    if (!colours.includes(colour)) colours.push(colour);
    if (forward[i] === 0) break;
  }
  return colours;
}

// The nearest table colour (squared distance in r, g, b; the first of equals) for each of her
// colours. Colour space is cut into cubes of 16 a side; for each cube that holds one of her
// colours, only the table colours that can be nearest to some point of it are kept (none is
// nearer at its nearest than another is at its farthest), so each colour is measured against few.
function nearestIn(table) {
  const cells = new Array(1 << 12);  // each cube's candidates, made when first needed
  const count = table.length;
  const red = new Int32Array(count), green = new Int32Array(count), blue = new Int32Array(count);
  table.forEach((c, i) => { red[i] = c >> 16; green[i] = (c >> 8) & 255; blue[i] = c & 255; });
  const near = new Int32Array(count);
  // Squared distance from a value to the span low..low+15 at its nearest, and at its farthest.
  const span = (value, low) => { const d = value < low ? low - value : value > low + 15 ? value - low - 15 : 0; return d * d; };
  const far = (value, low) => { const d = Math.max(Math.abs(value - low), Math.abs(value - low - 15)); return d * d; };
  const candidates = (cell) => {
    const r0 = (cell >> 8) << 4, g0 = ((cell >> 4) & 15) << 4, b0 = (cell & 15) << 4;
    let bound = Infinity, kept = 0;
    for (let i = 0; i < count; i++) {
      bound = Math.min(bound, far(red[i], r0) + far(green[i], g0) + far(blue[i], b0));
      near[i] = span(red[i], r0) + span(green[i], g0) + span(blue[i], b0);
    }
    for (let i = 0; i < count; i++) if (near[i] <= bound) kept++;
    const list = new Int32Array(kept);
    for (let i = 0, k = 0; i < count; i++) if (near[i] <= bound) list[k++] = i;
    return list;
  };
  return (colour) => {
    const r = colour >> 16, g = (colour >> 8) & 255, b = colour & 255;
    const cell = ((r >> 4) << 8) | ((g >> 4) << 4) | (b >> 4);
    let list = cells[cell];
    if (!list) list = cells[cell] = candidates(cell);
    let best = 0, bestDistance = Infinity;
    for (let k = 0; k < list.length; k++) {
      const i = list[k];
      const dr = red[i] - r, dg = green[i] - g, db = blue[i] - b;
      const distance = dr * dr + dg * dg + db * db;
      if (distance < bestDistance) { bestDistance = distance; best = i; }
    }
    return best;
  };
}
