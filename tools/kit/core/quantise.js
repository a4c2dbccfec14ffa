// quantise.js --- the girl's 17 frames to one shared 256-colour table: entry 0 pure black, the
// transparent colour, and no other pixel ever on it; exact when she has at most 255 other colours.
import { buildPaletteSync, utils } from 'image-q';

/** frames: RGBA pixel arrays of one size (alpha ignored: transparency is already black).
 *  -> { palette: Uint8Array(768), indices: [Uint8Array], exact: boolean, colours: number } */
export function quantise(frames) {
  // Every colour but pure black, as 0xRRGGBB, with how often it is used.
  const counts = new Map();
  for (const rgba of frames) {
    for (let o = 0; o < rgba.length; o += 4) {
      const colour = (rgba[o] << 16) | (rgba[o + 1] << 8) | rgba[o + 2];
      if (colour) counts.set(colour, (counts.get(colour) || 0) + 1);
    }
  }
  const palette = new Uint8Array(768);
  const lookup = new Map();
  const exact = counts.size <= 255;
  if (exact) {
    // Her own colours, in the order of their values, so that the table does not depend on which
    // frame shows a colour first.
    [...counts.keys()].sort((a, b) => a - b).forEach((colour, i) => {
      setEntry(palette, i + 1, colour);
      lookup.set(colour, i + 1);
    });
  } else {
    const table = reducedTable(frames, counts);
    table.forEach((colour, i) => setEntry(palette, i + 1, colour));
    for (const colour of counts.keys()) lookup.set(colour, nearest(table, colour) + 1);
  }
  const indices = frames.map((rgba) => {
    const out = new Uint8Array(rgba.length / 4);
    for (let o = 0, i = 0; o < rgba.length; o += 4, i++) {
      const colour = (rgba[o] << 16) | (rgba[o + 1] << 8) | rgba[o + 2];
      out[i] = colour ? lookup.get(colour) : 0;
    }
    return out;
  });
  return { palette, indices, exact, colours: counts.size };
}

function setEntry(palette, index, colour) {
  palette[3 * index] = colour >> 16;
  palette[3 * index + 1] = (colour >> 8) & 255;
  palette[3 * index + 2] = colour & 255;
}

// 255 colours for a figure of more, by Wu's method over every pixel that is not black (so that
// black, which is most of each frame, takes no entry from her); a table colour that came out pure
// black is lifted to (1, 1, 1), as only pure black is see-through.
function reducedTable(frames, counts) {
  let total = 0;
  for (const count of counts.values()) total += count;
  const pixels = new Uint8Array(total * 4);
  let at = 0;
  for (const rgba of frames) {
    for (let o = 0; o < rgba.length; o += 4) {
      if (rgba[o] | rgba[o + 1] | rgba[o + 2]) {
        pixels[at] = rgba[o]; pixels[at + 1] = rgba[o + 1]; pixels[at + 2] = rgba[o + 2]; pixels[at + 3] = 255;
        at += 4;
      }
    }
  }
  const points = utils.PointContainer.fromUint8Array(pixels, total, 1);
  const built = buildPaletteSync([points], { colors: 255, paletteQuantization: 'wuquant', colorDistanceFormula: 'euclidean' });
  const table = built.getPointContainer().getPointArray().map((p) => (p.r << 16) | (p.g << 8) | p.b || 0x010101);
  return [...new Set(table)].sort((a, b) => a - b).slice(0, 255);
}

function nearest(table, colour) {
  const r = colour >> 16, g = (colour >> 8) & 255, b = colour & 255;
  let best = 0, bestDistance = Infinity;
  for (let i = 0; i < table.length; i++) {
    const dr = (table[i] >> 16) - r, dg = ((table[i] >> 8) & 255) - g, db = (table[i] & 255) - b;
    const distance = dr * dr + dg * dg + db * db;
    if (distance < bestDistance) { bestDistance = distance; best = i; }
  }
  return best;
}
