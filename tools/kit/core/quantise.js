// quantise.js --- the girl's 17 frames to one shared 256-colour table: entry 0 pure black, the
// transparent colour, and no other pixel ever on it; exact when she has at most 255 other colours.
import { quantize } from './gifenc.js';

// The table is made from at most this many of her pixels, evenly spread over all 17 frames:
// enough for 255 colours, and it keeps a large girl's build well within a second.
const SAMPLE = 1 << 16;

/** frames: RGBA pixel arrays of one size (alpha ignored: transparency is already black).
 *  -> { palette: Uint8Array(768), indices: [Uint8Array], exact: boolean, colours: number } */
export function quantise(frames) {
  // Every colour but pure black, as 0xRRGGBB: marked in a table of all 2^24 colours (later the
  // same table holds each colour's entry), and listed once each.
  const entry = new Uint8Array(1 << 24);
  let colours = new Uint32Array(1024), count = 0, total = 0;
  for (const rgba of frames) {
    for (let o = 0; o < rgba.length; o += 4) {
      const colour = (rgba[o] << 16) | (rgba[o + 1] << 8) | rgba[o + 2];
      if (!colour) continue;
      total++;
      if (entry[colour]) continue;
      entry[colour] = 1;
      if (count === colours.length) {
        const more = new Uint32Array(count * 2);
        more.set(colours);
        colours = more;
      }
      colours[count++] = colour;
    }
  }
  const found = colours.subarray(0, count).sort();
  const palette = new Uint8Array(768);
  const exact = count <= 255;
  if (exact) {
    // Her own colours, in the order of their values, so that the table does not depend on which
    // frame shows a colour first.
    found.forEach((colour, i) => {
      setEntry(palette, i + 1, colour);
      entry[colour] = i + 1;
    });
  } else {
    const table = reducedTable(frames, total);
    table.forEach((colour, i) => setEntry(palette, i + 1, colour));
    const nearest = nearestIn(table);
    for (const colour of found) entry[colour] = nearest(colour) + 1;
  }
  const indices = frames.map((rgba) => {
    const out = new Uint8Array(rgba.length / 4);
    for (let o = 0, i = 0; o < rgba.length; o += 4, i++) out[i] = entry[(rgba[o] << 16) | (rgba[o + 1] << 8) | rgba[o + 2]];
    return out;
  });
  return { palette, indices, exact, colours: count };
}

function setEntry(palette, index, colour) {
  palette[3 * index] = colour >> 16;
  palette[3 * index + 1] = (colour >> 8) & 255;
  palette[3 * index + 2] = colour & 255;
}

// 255 colours for a figure of more, by gifenc's pairwise-nearest-neighbour quantiser over a
// histogram of 4 bits a channel (of the quantisers tried, the fastest and the closest to her
// colours: image-q's Wu and NeuQuant took 10 to 25 times as long and came out no closer), over
// her pixels that are not black (so that
// black, which is most of each frame, takes no entry from her); a table colour that came out pure
// black is lifted to (1, 1, 1), as only pure black is see-through.
function reducedTable(frames, total) {
  const step = Math.max(1, Math.ceil(total / SAMPLE));
  const pixels = new Uint8Array(Math.ceil(total / step) * 4);
  let at = 0, seen = 0;
  for (const rgba of frames) {
    for (let o = 0; o < rgba.length; o += 4) {
      if (!(rgba[o] | rgba[o + 1] | rgba[o + 2])) continue;
      if (seen++ % step) continue;
      pixels[at] = rgba[o]; pixels[at + 1] = rgba[o + 1]; pixels[at + 2] = rgba[o + 2]; pixels[at + 3] = 255;
      at += 4;
    }
  }
  const built = quantize(pixels.subarray(0, at), 255, { format: 'rgb444' });
  const table = built.map(([r, g, b]) => (r << 16) | (g << 8) | b || 0x010101);
  return [...new Set(table)].sort((a, b) => a - b).slice(0, 255);
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
