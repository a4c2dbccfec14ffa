// pictures.js --- the author's files as the page reads them: pictures decoded as stored, or a module.

// Name order with numbers counted as numbers, so nova2 comes before nova10 whatever the
// browser's language; names equal but for case keep a fixed order.
const collator = new Intl.Collator('en', { numeric: true, sensitivity: 'base' });
export function byFileName(a, b) {
  return collator.compare(a, b) || (a < b ? -1 : a > b ? 1 : 0);
}

// A module is any file named as the saver finds them; everything else is offered as a picture.
export function looksLikeModule(name) {
  return /^lumidoll\.[^.]*$/i.test(name);
}

// Decodes one picture exactly as stored: no colour management (the saver shows the stored
// values), transparent parts black. Gives { name, width, height, rgba } or { name, error }.
// The header's declared size is checked before anything is decoded, so a picture that
// claims to be huge costs nothing.
export async function readPicture(file, limits) {
  const { declaredSize, tooLarge, notAPicture } = limits;
  let head;
  try {
    head = new Uint8Array(await file.slice(0, 1 << 16).arrayBuffer());
  } catch {
    return { name: file.name, error: notAPicture(file.name) };
  }
  const declared = declaredSize(head);
  if (declared && tooLarge(declared.width, declared.height))
    return { name: file.name, error: tooLarge(declared.width, declared.height, file.name) };
  let bitmap;
  try {
    bitmap = await createImageBitmap(file, { colorSpaceConversion: 'none', premultiplyAlpha: 'none' });
  } catch {
    return { name: file.name, error: notAPicture(file.name) };
  }
  try {
    const { width, height } = bitmap;
    if (tooLarge(width, height))
      return { name: file.name, error: tooLarge(width, height, file.name) };
    if (width === 0 || height === 0)
      return { name: file.name, error: notAPicture(file.name) };
    const canvas = document.createElement('canvas');
    canvas.width = width;
    canvas.height = height;
    const context = canvas.getContext('2d', { willReadFrequently: true });
    // Drawn over black: what was see-through is black, which the saver does not draw.
    context.fillStyle = '#000';
    context.fillRect(0, 0, width, height);
    context.drawImage(bitmap, 0, 0);
    const rgba = context.getImageData(0, 0, width, height).data;
    return { name: file.name, width, height, rgba };
  } finally {
    bitmap.close();
  }
}

// The frames a module holds, as pictures, so that an opened module is rebuilt like any other.
export function framesAsPictures(frames, palette) {
  return frames.map((frame, i) => {
    const colours = frame.palette || palette;
    const rgba = new Uint8ClampedArray(frame.width * frame.height * 4);
    for (let p = 0; p < frame.indices.length; p++) {
      const entry = 3 * frame.indices[p];
      rgba[4 * p] = colours[entry];
      rgba[4 * p + 1] = colours[entry + 1];
      rgba[4 * p + 2] = colours[entry + 2];
      rgba[4 * p + 3] = 255;
    }
    return { name: `GIRL${i + 1}`, width: frame.width, height: frame.height, rgba };
  });
}
