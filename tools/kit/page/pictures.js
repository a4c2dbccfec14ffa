// pictures.js --- the author's files as the page reads them: pictures decoded as stored, or a module.

// A module is any file named as the saver finds them; everything else is offered as a picture.
export function looksLikeModule(name) {
  return /^lumidoll\.[^.]*$/i.test(name);
}

let canvas = null;

// Decodes one picture exactly as stored: no colour management (the saver shows the stored
// values), its pixels and their transparency as the file holds them (the kit makes what is
// transparent black). The size its header declares is checked before anything is decoded, so
// a picture that claims to be 30000 x 30000 costs nothing. Gives { name, width, height, rgba },
// or { name, error } with the sentence the kit shows beside it.
export async function readPicture(file, { declaredSize, tooLarge, notAPicture }) {
  const name = file.name;
  let head;
  try {
    // More than the header needs: a JPEG's frame header may follow long metadata.
    head = new Uint8Array(await file.slice(0, 1 << 16).arrayBuffer());
  } catch {
    return { name, error: notAPicture() };
  }
  const declared = declaredSize(head);
  const declaredTooLarge = declared && tooLarge(declared.width, declared.height);
  if (declaredTooLarge) return { name, error: declaredTooLarge };
  let bitmap;
  try {
    bitmap = await createImageBitmap(file, { colorSpaceConversion: 'none', premultiplyAlpha: 'none' });
  } catch {
    return { name, error: notAPicture() };
  }
  try {
    const { width, height } = bitmap;
    const decodedTooLarge = tooLarge(width, height);
    if (decodedTooLarge) return { name, error: decodedTooLarge };
    if (!width || !height) return { name, error: notAPicture() };
    // One canvas for every picture: each is drawn and read back before the next is. Her frames
    // are mostly of one size, and a canvas given its own size again is made anew for nothing:
    // it is only cleared then.
    canvas ||= document.createElement('canvas');
    if (canvas.width !== width || canvas.height !== height) {
      canvas.width = width;
      canvas.height = height;
    }
    const context = canvas.getContext('2d', { willReadFrequently: true });
    context.clearRect(0, 0, width, height);
    context.drawImage(bitmap, 0, 0);
    return { name, width, height, rgba: context.getImageData(0, 0, width, height).data };
  } finally {
    bitmap.close();
  }
}

// The frames of an opened module as pictures, so that she is rebuilt like any other girl.
export function moduleAsPictures(module) {
  return module.frames.map((rgba, i) => ({ name: `GIRL${i + 1}`, width: module.width, height: module.height, rgba }));
}
