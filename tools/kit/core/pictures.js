// pictures.js --- an author's pictures made into frames: transparency to black, one size for all
// (stretched or padded when she says so), and whether each frame's border is pure black.
import { sentence } from './sentences.js';

export const MAX_PICTURE_SIDE = 2048;

/** The sentence for a picture too large to handle, or null when it fits. */
export function pictureTooLarge(width, height) {
  if (width <= MAX_PICTURE_SIDE && height <= MAX_PICTURE_SIDE) return null;
  return sentence('frameTooLarge', { width, height, most: MAX_PICTURE_SIDE });
}

/** A picture's pixels over black: what is transparent becomes the transparent black, a part
 *  transparent pixel its colour times its opacity. Alpha is 255 everywhere afterwards. */
export function overBlack(rgba) {
  // Most pictures are opaque throughout: they are taken as they are.
  let opaque = true;
  for (let o = 3; o < rgba.length && opaque; o += 4) opaque = rgba[o] === 255;
  if (opaque) return rgba;
  const out = new Uint8ClampedArray(rgba.length);
  for (let o = 0; o < rgba.length; o += 4) {
    const a = rgba[o + 3];
    if (a === 255) {
      out[o] = rgba[o]; out[o + 1] = rgba[o + 1]; out[o + 2] = rgba[o + 2];
    } else if (a) {
      out[o] = Math.round(rgba[o] * a / 255);
      out[o + 1] = Math.round(rgba[o + 1] * a / 255);
      out[o + 2] = Math.round(rgba[o + 2] * a / 255);
    }
    out[o + 3] = 255;
  }
  return out;
}

/** A picture resampled to width x height with a Lanczos filter of three lobes, each direction
 *  in turn, as a careful image editor stretches. */
export function stretch(picture, width, height) {
  const across = resampleRows(picture.rgba, picture.width, picture.height, width);
  const down = transpose(across, width, picture.height);
  const done = resampleRows(down, picture.height, width, height);
  return { width, height, rgba: transpose(done, height, width) };
}

function lanczos(x) {
  if (x === 0) return 1;
  if (x <= -3 || x >= 3) return 0;
  const px = Math.PI * x;
  return (3 * Math.sin(px) * Math.sin(px / 3)) / (px * px);
}

function resampleRows(rgba, width, height, outWidth) {
  const out = new Uint8ClampedArray(outWidth * height * 4);
  const scale = width / outWidth;
  const filterScale = Math.max(scale, 1);
  const support = 3 * filterScale;
  const weights = [];
  for (let x = 0; x < outWidth; x++) {
    const centre = (x + 0.5) * scale;
    const from = Math.max(0, Math.floor(centre - support + 0.5));
    const to = Math.min(width, Math.floor(centre + support + 0.5));
    const w = [];
    let sum = 0;
    for (let j = from; j < to; j++) {
      const k = lanczos((j - centre + 0.5) / filterScale);
      w.push(k);
      sum += k;
    }
    weights.push({ from, w: w.map((k) => (sum ? k / sum : 0)) });
  }
  for (let y = 0; y < height; y++) {
    const row = y * width * 4;
    for (let x = 0; x < outWidth; x++) {
      const { from, w } = weights[x];
      let r = 0, g = 0, b = 0;
      for (let j = 0; j < w.length; j++) {
        const o = row + (from + j) * 4;
        r += rgba[o] * w[j]; g += rgba[o + 1] * w[j]; b += rgba[o + 2] * w[j];
      }
      const o = (y * outWidth + x) * 4;
      out[o] = Math.round(r); out[o + 1] = Math.round(g); out[o + 2] = Math.round(b); out[o + 3] = 255;
    }
  }
  return out;
}

function transpose(rgba, width, height) {
  const out = new Uint8ClampedArray(rgba.length);
  for (let y = 0; y < height; y++)
    for (let x = 0; x < width; x++) {
      const from = (y * width + x) * 4, to = (x * height + y) * 4;
      out[to] = rgba[from]; out[to + 1] = rgba[from + 1]; out[to + 2] = rgba[from + 2]; out[to + 3] = rgba[from + 3];
    }
  return out;
}

/** A picture placed on black at width x height: centred across, standing on the bottom edge (her
 *  feet on one line in every frame); a larger picture is cut at the same place. */
export function pad(picture, width, height) {
  const out = new Uint8ClampedArray(width * height * 4);
  for (let o = 3; o < out.length; o += 4) out[o] = 255;
  place(out, width, height, picture, (width - picture.width) >> 1, height - picture.height);
  return { width, height, rgba: out };
}

/** Copies a picture into a canvas of RGBA pixels at (left, top), cut at the canvas's edges. */
export function place(canvas, width, height, picture, left, top) {
  for (let y = Math.max(0, top); y < Math.min(height, top + picture.height); y++) {
    const x0 = Math.max(0, left), x1 = Math.min(width, left + picture.width);
    if (x1 <= x0) continue;
    const from = ((y - top) * picture.width + (x0 - left)) * 4;
    canvas.set(picture.rgba.subarray(from, from + (x1 - x0) * 4), (y * width + x0) * 4);
  }
}

/** Whether nearly all of a frame's border is pure black, so that its rectangle does not show. */
export function blackBorder(rgba, width, height) {
  let border = 0, black = 0;
  const look = (x, y) => {
    const o = (y * width + x) * 4;
    border++;
    if (!(rgba[o] | rgba[o + 1] | rgba[o + 2])) black++;
  };
  for (let x = 0; x < width; x++) {
    look(x, 0);
    if (height > 1) look(x, height - 1);
  }
  for (let y = 1; y < height - 1; y++) {
    look(0, y);
    if (width > 1) look(width - 1, y);
  }
  return black * 10 >= border * 9; // as the checker: a figure may touch the edge here and there
}

/** The size a picture file declares in its header (PNG, BMP, GIF, JPEG, WebP), read from its
 *  first bytes before anything is decoded, so that a giant is refused unread; null when the
 *  header says none. */
export function declaredSize(head) {
  const b = head, n = head.length;
  const u16be = (o) => (b[o] << 8) | b[o + 1], u16le = (o) => b[o] | (b[o + 1] << 8);
  const u32be = (o) => ((b[o] << 24) | (b[o + 1] << 16) | (b[o + 2] << 8) | b[o + 3]) >>> 0;
  const i32le = (o) => b[o] | (b[o + 1] << 8) | (b[o + 2] << 16) | (b[o + 3] << 24);
  const ascii = (o, length) => String.fromCharCode(...b.subarray(o, o + length));
  if (n >= 24 && b[0] === 0x89 && ascii(1, 3) === 'PNG') return { width: u32be(16), height: u32be(20) };
  if (n >= 26 && ascii(0, 2) === 'BM') {
    if (i32le(14) === 12) return { width: u16le(18), height: u16le(20) };
    return { width: Math.abs(i32le(18)), height: Math.abs(i32le(22)) };
  }
  if (n >= 10 && ascii(0, 3) === 'GIF') return { width: u16le(6), height: u16le(8) };
  if (n >= 30 && ascii(0, 4) === 'RIFF' && ascii(8, 4) === 'WEBP') {
    const kind = ascii(12, 4);
    if (kind === 'VP8X') return { width: 1 + (b[24] | (b[25] << 8) | (b[26] << 16)), height: 1 + (b[27] | (b[28] << 8) | (b[29] << 16)) };
    if (kind === 'VP8L') {
      const bits = b[21] | (b[22] << 8) | (b[23] << 16) | (b[24] << 24);
      return { width: 1 + (bits & 0x3fff), height: 1 + ((bits >>> 14) & 0x3fff) };
    }
    if (kind === 'VP8 ') return { width: u16le(26) & 0x3fff, height: u16le(28) & 0x3fff };
    return null;
  }
  if (n >= 4 && b[0] === 0xff && b[1] === 0xd8) {
    let o = 2;
    while (o + 9 < n) {
      if (b[o] !== 0xff) return null;
      const marker = b[o + 1];
      if (marker === 0xff) { o++; continue; }
      if (marker >= 0xc0 && marker <= 0xcf && marker !== 0xc4 && marker !== 0xc8 && marker !== 0xcc)
        return { width: u16be(o + 7), height: u16be(o + 5) };
      if (marker === 0xd8 || (marker >= 0xd0 && marker <= 0xd7)) { o += 2; continue; }
      o += 2 + u16be(o + 2);
    }
  }
  return null;
}

/** The sentence for a file that is no picture the page can read (buildGirl names the file). */
export function notAPicture() {
  return 'not a picture the kit can read (PNG, BMP, GIF, JPEG or WebP)';
}

/** The page's checks before a picture is decoded: its declared size, whether it is too large. */
export const pictureLimits = {
  maxSide: MAX_PICTURE_SIDE,
  declaredSize,
  tooLarge: (width, height) => pictureTooLarge(width, height) || false,
  notAPicture,
};
