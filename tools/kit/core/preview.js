// preview.js --- a girl's loop as an animated GIF at the saver's ten frames a second, and her
// contact sheet, both from the frames as the saver shows them.
import { applyPalette, GIFEncoder, quantize } from './gifenc.js';
import { FRAMES } from './text.js';

export const TICK_MS = 100;

/** Her 17 frames, looping at ten a second, as the bytes of a GIF. Each frame is drawn with the
 *  module's own table when it has one, else with exactly its own colours (at most 256 each). */
export function previewGif(module) {
  const gif = GIFEncoder();
  for (let i = 0; i < FRAMES; i++) {
    let index, palette;
    if (module.indices && module.palette) {
      index = module.indices[i];
      palette = [];
      for (let c = 0; c < 256; c++) palette.push([module.palette[3 * c], module.palette[3 * c + 1], module.palette[3 * c + 2]]);
    } else {
      ({ index, palette } = exactColours(module.frames[i]));
    }
    gif.writeFrame(index, module.width, module.height, { palette, delay: TICK_MS, repeat: 0, dispose: 1 });
  }
  gif.finish();
  return gif.bytes();
}

function exactColours(rgba) {
  const lookup = new Map();
  const index = new Uint8Array(rgba.length / 4);
  const palette = [];
  for (let o = 0, i = 0; o < rgba.length; o += 4, i++) {
    const colour = (rgba[o] << 16) | (rgba[o + 1] << 8) | rgba[o + 2];
    let entry = lookup.get(colour);
    if (entry === undefined) {
      if (palette.length === 256) {
        const reduced = quantize(rgba, 256);
        return { index: applyPalette(rgba, reduced), palette: reduced };
      }
      entry = palette.length;
      lookup.set(colour, entry);
      palette.push([rgba[o], rgba[o + 1], rgba[o + 2]]);
    }
    index[i] = entry;
  }
  while (palette.length < 2) palette.push([0, 0, 0]);
  return { index, palette };
}

// Five-by-seven letters for the sheet's labels, one string of rows per character.
const GLYPHS = {
  G: '01110100011000010111100011000101111', I: '01110001000010000100001000010001110',
  R: '11110100011000111110101001001010001', L: '10000100001000010000100001000011111',
  0: '01110100011001110101110011000101110', 1: '00100011000010000100001000010001110',
  2: '01110100010000100010001000100011111', 3: '11111000100010000010000011000101110',
  4: '00010001100101010010111110001000010', 5: '11111100001111000001000011000101110',
  6: '00110010001000011110100011000101110', 7: '11111000010001000100010000100001000',
  8: '01110100011000101110100011000101110', 9: '01110100011000101111000010001001100',
};

/** The 17 frames side by side, six to a row on dark grey, each labelled GIRLn above it.
 *  -> { width, height, rgba } */
export function contactSheet(module) {
  const { width, height } = module;
  const columns = 6, gap = 6, label = 14;
  const rows = Math.ceil(FRAMES / columns);
  const sheetWidth = columns * (width + gap) + gap, sheetHeight = rows * (height + gap + label) + gap;
  const rgba = new Uint8ClampedArray(sheetWidth * sheetHeight * 4);
  new Uint32Array(rgba.buffer).fill(new Uint32Array(Uint8ClampedArray.of(48, 48, 48, 255).buffer)[0]);
  for (let i = 0; i < FRAMES; i++) {
    const x = gap + (i % columns) * (width + gap), y = gap + Math.floor(i / columns) * (height + gap + label);
    [...`GIRL${i + 1}`].forEach((c, n) => {
      const glyph = GLYPHS[c];
      for (let gy = 0; gy < 7; gy++)
        for (let gx = 0; gx < 5; gx++) {
          const px = x + n * 6 + gx, py = y + 2 + gy;
          if (glyph[gy * 5 + gx] === '1' && px < sheetWidth) rgba.fill(220, (py * sheetWidth + px) * 4, (py * sheetWidth + px) * 4 + 3);
        }
    });
    const frame = module.frames[i];
    for (let fy = 0; fy < height; fy++)
      rgba.set(frame.subarray(fy * width * 4, (fy + 1) * width * 4), ((y + label + fy) * sheetWidth + x) * 4);
  }
  return { width: sheetWidth, height: sheetHeight, rgba };
}
