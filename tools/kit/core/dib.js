// dib.js --- the girl's frames as packed DIBs: written as 8-bit bottom-up bitmaps with a 256-colour
// table, and read back (any depth a bitmap file or a foreign module may hold) as RGBA pixels.

/** The bytes of a packed DIB of 8 bits a pixel: header, 256-colour table, rows bottom-up.
 *  indices: width * height table indices, rows top-down; palette: 768 bytes r, g, b. */
export function packedDib8(width, height, indices, palette) {
  const stride = (width + 3) & ~3;
  const bits = stride * height;
  const out = new Uint8Array(40 + 1024 + bits);
  const view = new DataView(out.buffer);
  view.setUint32(0, 40, true);
  view.setInt32(4, width, true);
  view.setInt32(8, height, true);
  view.setUint16(12, 1, true);
  view.setUint16(14, 8, true);
  view.setUint32(16, 0, true); // BI_RGB
  view.setUint32(20, bits, true);
  view.setInt32(24, 2835, true); // 72 dots an inch, as the sample girls' bitmaps
  view.setInt32(28, 2835, true);
  view.setUint32(32, 256, true);
  view.setUint32(36, 256, true);
  for (let i = 0; i < 256; i++) {
    out[40 + 4 * i] = palette[3 * i + 2];
    out[41 + 4 * i] = palette[3 * i + 1];
    out[42 + 4 * i] = palette[3 * i];
  }
  for (let y = 0; y < height; y++)
    out.set(indices.subarray(y * width, (y + 1) * width), 1064 + (height - 1 - y) * stride);
  return out;
}

/** The fields of a DIB's header, or a sentence saying why it is none.
 *  -> { width, height, bits, compression, colours, topDown, headerSize } | { error } */
export function dibHeader(dib) {
  if (dib.length < 12) return { error: 'it ends inside its bitmap header' };
  const view = new DataView(dib.buffer, dib.byteOffset, dib.byteLength);
  const headerSize = view.getUint32(0, true);
  if (headerSize === 12) {
    const bits = view.getUint16(10, true);
    return { width: view.getUint16(4, true), height: view.getUint16(6, true), bits, compression: 0,
             colours: bits <= 8 ? 1 << bits : 0, topDown: false, headerSize, entry: 3 };
  }
  if (headerSize < 40 || headerSize > 124) return { error: `its bitmap header has an unknown size (${headerSize} bytes)` };
  if (dib.length < 40) return { error: 'it ends inside its bitmap header' };
  const width = view.getInt32(4, true);
  const rawHeight = view.getInt32(8, true);
  const bits = view.getUint16(14, true);
  const compression = view.getUint32(16, true);
  const used = view.getUint32(32, true);
  const colours = bits <= 8 ? (used || 1 << bits) : used;
  return { width, height: Math.abs(rawHeight), bits, compression, colours, topDown: rawHeight < 0, headerSize,
           entry: 4 };
}

/** A DIB's pixels as RGBA (alpha 255), rows top-down, or a sentence saying why they cannot be read.
 *  maxPixels bounds the work before any is done. -> { width, height, bits, rgba, palette? } | { error } */
export function decodeDib(dib, maxPixels) {
  const head = dibHeader(dib);
  if (head.error) return head;
  const { width, height, bits, compression, topDown, headerSize, entry } = head;
  if (width <= 0 || height <= 0) return { error: `it claims a size of ${width} x ${height} pixels` };
  if (width * height > maxPixels) return { error: `it is ${width} x ${height} pixels, larger than this kit handles`, width, height, tooLarge: true };
  if (![1, 4, 8, 16, 24, 32].includes(bits)) return { error: `it has ${bits} bits a pixel, which no bitmap has` };
  const view = new DataView(dib.buffer, dib.byteOffset, dib.byteLength);
  let masks = null;
  let at = headerSize;
  if (compression === 3 && (bits === 16 || bits === 32)) {
    if (headerSize === 40) at += 12;
    if (dib.length < 52) return { error: 'it ends inside its bitmap header' };
    masks = [view.getUint32(40, true), view.getUint32(44, true), view.getUint32(48, true)];
  } else if (compression !== 0) {
    return { error: 'it is compressed, which this kit does not read' };
  }
  const colours = bits <= 8 ? Math.min(head.colours, 1 << bits) : 0;
  if (head.colours > 256) return { error: `it claims ${head.colours} colours in its table` };
  const palette = new Uint8Array(768);
  if (at + colours * entry > dib.length) return { error: 'it ends inside its colour table' };
  for (let i = 0; i < colours; i++) {
    palette[3 * i] = dib[at + entry * i + 2];
    palette[3 * i + 1] = dib[at + entry * i + 1];
    palette[3 * i + 2] = dib[at + entry * i];
  }
  at += head.colours * entry;
  const stride = ((width * bits + 31) >>> 5) * 4;
  if (at + stride * height > dib.length) return { error: 'it ends before its pixels do' };
  const rgba = new Uint8ClampedArray(width * height * 4);
  const indices = bits <= 8 ? new Uint8Array(width * height) : null;
  const channel = (value, mask) => {
    if (!mask) return 0;
    const shift = 31 - Math.clz32(mask & -mask);
    const max = mask >>> shift;
    return Math.round(((value & mask) >>> shift) * 255 / max);
  };
  if (!masks && bits === 16) masks = [0x7c00, 0x03e0, 0x001f];
  if (bits === 8) {  // every girl's frame: her indices, then her colours through the table
    for (let y = 0; y < height; y++)
      indices.set(dib.subarray(at + stride * (topDown ? y : height - 1 - y)).subarray(0, width), y * width);
    return { width, height, bits, rgba: indexedRgba(indices, palette), indices, palette, colours: head.colours };
  }
  for (let y = 0; y < height; y++) {
    const row = at + stride * (topDown ? y : height - 1 - y);
    for (let x = 0; x < width; x++) {
      const o = 4 * (y * width + x);
      let r, g, b;
      if (bits <= 8) {
        const byte = dib[row + ((x * bits) >> 3)];
        const index = bits === 8 ? byte : (byte >> (8 - bits - ((x * bits) & 7))) & ((1 << bits) - 1);
        indices[y * width + x] = index;
        r = palette[3 * index]; g = palette[3 * index + 1]; b = palette[3 * index + 2];
      } else if (bits === 24) {
        b = dib[row + 3 * x]; g = dib[row + 3 * x + 1]; r = dib[row + 3 * x + 2];
      } else if (bits === 32 && !masks) {
        b = dib[row + 4 * x]; g = dib[row + 4 * x + 1]; r = dib[row + 4 * x + 2];
      } else {
        const value = bits === 16 ? view.getUint16(row + 2 * x, true) : view.getUint32(row + 4 * x, true);
        r = channel(value, masks[0]); g = channel(value, masks[1]); b = channel(value, masks[2]);
      }
      rgba[o] = r; rgba[o + 1] = g; rgba[o + 2] = b; rgba[o + 3] = 255;
    }
  }
  return { width, height, bits, rgba, indices, palette: bits <= 8 ? palette : null, colours: head.colours };
}

/** Table indices, one a pixel, as RGBA through a colour table (r g b per entry): a pixel a
 *  32-bit word, each entry's word made in this machine's byte order. */
export function indexedRgba(indices, palette) {
  const entries = new Uint8ClampedArray(1024);
  for (let i = 0; i < 256; i++) entries.set([palette[3 * i], palette[3 * i + 1], palette[3 * i + 2], 255], 4 * i);
  const words = new Uint32Array(entries.buffer), rgba = new Uint8ClampedArray(indices.length * 4);
  const out = new Uint32Array(rgba.buffer);
  for (let p = 0; p < indices.length; p++) out[p] = words[indices[p]];
  return rgba;
}

/** A .bmp file's pixels (its stored values, no colour management), as decodeDib gives them. */
export function decodeBmp(file, maxPixels) {
  if (file.length < 14 || file[0] !== 0x42 || file[1] !== 0x4d) return { error: 'it is no bitmap file' };
  return decodeDib(file.subarray(14), maxPixels);
}

/** A packed DIB as the bytes of a .bmp file. */
export function dibAsBmp(dib) {
  const head = dibHeader(dib);
  const masks = head.compression === 3 && head.headerSize === 40 ? 12 : 0;
  const out = new Uint8Array(14 + dib.length);
  const view = new DataView(out.buffer);
  out[0] = 0x42; out[1] = 0x4d;
  view.setUint32(2, out.length, true);
  view.setUint32(10, 14 + head.headerSize + masks + head.entry * (head.colours || 0), true);
  out.set(dib, 14);
  return out;
}
