// index.js --- the girl module kit's core: builds a module from an author's pictures and reads
// one back, with every finding an author should see; the page and the command line both use it.
//
// No DOM and no Node: it runs in the browser and under Node alike, on plain arrays of bytes.
//
// Shapes used throughout:
//   Finding  { severity: 'refused' | 'warning' | 'note', picture?: number, frame?: number, text }
//            picture: 1-based place in the list given; frame: n of GIRLn it becomes or is.
//            Anything 'refused' means no module is made (or, read back, the saver will not show
//            her completely); a 'warning' is built but shows; a 'note' says what the kit changed.
//   Module   { bytes: Uint8Array, name?, title, width, height,
//              frames: [Uint8ClampedArray x 17]   each frame as the saver shows it: RGBA,
//                                                 width x height (GIRL1's size), rows top-down,
//                                                 black where the frame has nothing;
//              palette?: Uint8Array(768)         the one colour table, r g b per entry, entry 0
//                                                 pure black, the sky's range at the top (always
//                                                 there for a built module);
//              indices?: [Uint8Array x 17]        each frame's table indices, width x height }
import { decodeDib } from './dib.js';
import { indexedRgba, packedDib8 } from './dib.js';
import { writeLibrary } from './library.js';
import { checkModule, PART_TITLE, unreadableSentences, unreadableVerdict } from './module.js';
import { blackBorder, declaredSize, MAX_PICTURE_SIDE, notAPicture, overBlack, pad, pictureLimits, pictureTooLarge, place,
         stretch } from './pictures.js';
import { quantise, SKY } from './quantise.js';
import { sentence } from './sentences.js';
import { checkModuleName, checkTitle, compareFileNames, FRAMES, MAX_TITLE, orderPictures } from './text.js';

export { checkModuleName, checkTitle, codePageSentence, compareFileNames, FRAMES, MAX_TITLE, orderPictures } from './text.js';
export { declaredSize, notAPicture, pictureLimits, pictureTooLarge, MAX_PICTURE_SIDE };
export { previewGif, contactSheet, TICK_MS } from './preview.js';
export { writeLibrary } from './library.js';
export { checkModule, unreadableSentences, unreadableVerdict } from './module.js';
export { packedDib8, decodeDib, decodeBmp, dibAsBmp } from './dib.js';

/** The largest picture the kit takes, each side in pixels (say it where a picture is refused). */
export const maxPictureSize = MAX_PICTURE_SIDE;

/**
 * Builds a girl module from her pictures, in play order (GIRL1 first).
 * @param {object} request
 * @param {Array<{name: string, width: number, height: number, rgba: Uint8ClampedArray|Uint8Array}
 *              | {name: string, error: string}>} request.pictures  decoded as stored (no colour
 *        management); rgba is width x height x 4, rows top-down; transparency becomes black.
 *        A picture that could not be read is given as { name, error } with the reader's sentence.
 * @param {string} request.title        her title, at most 39 characters
 * @param {string} [request.moduleName] the file name, lumidoll. and 1 to 3 characters (checked
 *        when given; written into the module's result as name)
 * @param {'refuse'|'stretch'|'pad'|null} [request.fit='refuse']  pictures of other sizes: refused,
 *        stretched to the first one's size, or centred on black at the largest size, feet on
 *        the bottom line
 * @returns {{findings: Finding[], refused: boolean, module?: Module, preview?: object}} module
 *        only when nothing is refused (the same request gives the same bytes); preview, the
 *        module's { width, height, palette, indices, frames } without bytes, whenever 17
 *        pictures could be made into frames, even when the title or the name is refused.
 * @param {object} [drawn]  what drawGirl gave for these very pictures and fit, kept by a caller
 *        that rebuilds her as her title or name is typed
 */
export function buildGirl({ pictures, title, moduleName, fit = 'refuse' }, drawn = drawGirl(pictures, fit)) {
  const findings = [...checkTitle(title)];
  if (moduleName !== undefined) findings.push(...checkModuleName(moduleName));
  findings.push(...drawn.findings);
  const refused = findings.some((f) => f.severity === 'refused');
  const { preview } = drawn;
  if (!preview) return { findings, refused: true };
  // Seventeen frames that only a title or a name keeps from being a module are still shown.
  if (refused) return pictures.length === FRAMES ? { findings, refused, preview } : { findings, refused };
  // Her title as she was given it, in UTF-16, as every Windows keeps a string.
  const bytes = writeLibrary({ bitmaps: drawn.bitmaps(), strings: { 1: title } });
  const { width, height, palette, indices } = preview;
  const module = { bytes, name: moduleName, title, width, height, palette, indices };
  Object.defineProperty(module, 'frames', { enumerable: true, get: () => preview.frames });
  return { findings, refused: false, preview, module };
}

/**
 * Her frames from her pictures alone, the costly part of a build: every finding about the
 * pictures, her colour table and indices, her frames and her bitmaps. Neither her title nor
 * her name changes any of it.
 * @returns {{findings: Finding[], preview?: object, bitmaps?: () => object}} preview as buildGirl
 *        gives it, whenever the pictures could be made into frames of one size
 */
export function drawGirl(pictures, fit = 'refuse') {
  const findings = [];
  if (pictures.length !== FRAMES)
    findings.push({ severity: 'refused',
                    text: `${pictures.length} pictures given; a girl needs exactly ${FRAMES}, her frames in play order` });
  const about = (i) => ({ picture: i + 1, ...(i < FRAMES ? { frame: i + 1 } : {}) });
  const usable = [];
  pictures.forEach((picture, i) => {
    const tooLarge = picture.error ? null : pictureTooLarge(picture.width, picture.height);
    if (picture.error || tooLarge)
      findings.push({ severity: 'refused', ...about(i), text: `picture ${i + 1}, ${picture.name}: ${picture.error || tooLarge}` });
    else if (!(picture.width > 0 && picture.height > 0) || picture.rgba.length !== picture.width * picture.height * 4)
      findings.push({ severity: 'refused', ...about(i), text: `picture ${i + 1}, ${picture.name}: it has no pixels the kit can read` });
    else usable.push(i);
  });
  let frames = null;
  if (usable.length === pictures.length && pictures.length) frames = fitFrames(pictures, fit, findings, about);
  if (!frames) return { findings };
  frames.forEach((frame, i) => {
    if (!blackBorder(frame.rgba, frame.width, frame.height))
      findings.push({ severity: 'warning', ...about(i),
                      text: `picture ${i + 1}, ${pictures[i].name} (GIRL${i + 1}): its border is not pure black, so the ` +
                            'frame\'s rectangle will show on the black screen' });
  });
  const { width, height } = frames[0];
  const { palette, indices } = quantise(frames.map((f) => f.rgba));
  // Her frames as RGBA, and her bitmaps, are made when first asked for, and once.
  let rgbaFrames = null, bitmaps = null;
  const preview = { width, height, palette, indices };
  Object.defineProperty(preview, 'frames', {
    enumerable: true, get: () => (rgbaFrames ||= indices.map((pixels) => indexedRgba(pixels, palette))) });
  return {
    findings, preview,
    bitmaps: () => (bitmaps ||= Object.fromEntries(indices.map((pixels, i) =>
      [`GIRL${i + 1}`, packedDib8(width, height, pixels, palette)]))),
  };
}

// All frames at one size: refused unless the author said how; each change is named.
function fitFrames(pictures, fit, findings, about) {
  const frames = pictures.map((p) => ({ width: p.width, height: p.height, rgba: overBlack(p.rgba) }));
  const first = frames[0];
  const odd = frames.map((f, i) => i).filter((i) => frames[i].width !== first.width || frames[i].height !== first.height);
  if (!odd.length) return frames;
  const size = (f) => `${f.width} x ${f.height}`;
  if (fit !== 'stretch' && fit !== 'pad') {
    for (const i of odd)
      findings.push({ severity: 'refused', ...about(i),
                      text: `picture ${i + 1}, ${pictures[i].name}: ${size(frames[i])}, not the size of the first (${size(first)})` });
    findings.push({ severity: 'refused',
                    text: `the pictures are not all the size of the first (${size(first)}): ` +
                          odd.map((i) => `picture ${i + 1}, ${pictures[i].name}: ${size(frames[i])}`).join('; ') +
                          `. Make them one size, or have them stretched (to ${size(first)}, changing their shape) ` +
                          'or padded (centred on black at the largest size, nothing cut)' });
    return null;
  }
  if (fit === 'stretch') {
    return frames.map((f, i) => {
      if (!odd.includes(i)) return f;
      findings.push({ severity: 'note', ...about(i),
                      text: `picture ${i + 1}, ${pictures[i].name}: ${size(f)} stretched to ${size(first)}` });
      return stretch(f, first.width, first.height);
    });
  }
  const width = Math.max(...frames.map((f) => f.width)), height = Math.max(...frames.map((f) => f.height));
  return frames.map((f, i) => {
    if (f.width === width && f.height === height) return f;
    findings.push({ severity: 'note', ...about(i),
                    text: `picture ${i + 1}, ${pictures[i].name}: ${size(f)} padded with black to ${width} x ${height}` });
    return pad(f, width, height);
  });
}

// Does a colour table (r, g, b per entry) hold the sky's colours at their entries?
function holdsSky(palette) {
  return SKY.colours.every(([r, g, b], i) => {
    const at = 3 * (SKY.first + i);
    return palette[at] === r && palette[at + 1] === g && palette[at + 2] === b;
  });
}

/**
 * Reads a module file as the checker and the saver do, for its loop, title and findings.
 * @param {Uint8Array} bytes     the whole file
 * @param {string} fileName      its name (checked as the saver finds files)
 * @returns {{title?: string, findings: Finding[], refused: boolean, module?: Module}} module
 *        whenever GIRL1 can be shown (even when other faults are refused); frames as shown.
 */
export function readGirl(bytes, fileName) {
  try {
    return readModule(bytes, fileName);
  } catch (error) {
    // Every kind of garbage the reader knows has its own sentence; this is for the one it does not.
    return { findings: [...checkModuleName(fileName),
                        { severity: 'refused', text: `${fileName} is not a girl module: it cannot be read (${error.message})` }],
             refused: true };
  }
}

function readModule(bytes, fileName) {
  const findings = [...checkModuleName(fileName)];
  // First the saver's own rule: a module that fails it is never read, only listed.
  const check = checkModule(bytes);
  if (!check.readable) {
    for (const { part, text } of unreadableSentences(check, fileName))
      findings.push({ severity: 'refused', ...(part !== undefined ? { frame: part + 1 } : {}), text });
    findings.push({ severity: 'refused', text: unreadableVerdict(fileName) });
    return { findings, refused: true };
  }
  const title = check.present.has(PART_TITLE) ? check.title : undefined;
  if (!title) {
    findings.push({ severity: 'refused', text: sentence('titleMissing') });
  } else {
    // Counted as the module stores it, in UTF-16 characters, as the saver's check counts it.
    if (check.titleLength > MAX_TITLE)
      findings.push({ severity: 'refused', text: sentence('titleTooLong', { title, length: check.titleLength, most: MAX_TITLE }) });
    findings.push(...checkTitle(title).filter((f) => f.severity !== 'refused'));
  }
  const decoded = [];
  let width = 0, height = 0;
  for (let i = 1; i <= FRAMES; i++) {
    const facts = check.frames[i - 1];
    if (!check.present.has(i - 1)) {
      findings.push({ severity: 'refused', frame: i, text: sentence('frameMissing', { n: i }) });
      decoded.push(null);
      continue;
    }
    const frame = decodeDib(facts.dib, MAX_PICTURE_SIDE * MAX_PICTURE_SIDE);
    if (frame.error) {
      findings.push({ severity: 'refused', frame: i,
                      text: frame.tooLarge ? `GIRL${i}: ${pictureTooLarge(frame.width, frame.height)}` : `GIRL${i}: ${frame.error}` });
      decoded.push(null);
      continue;
    }
    if (i === 1) ({ width, height } = frame);
    if (frame.bits !== 8 || (frame.colours !== 256))
      findings.push({ severity: 'refused', frame: i, text: sentence('frameNotEightBit', { n: i, bits: frame.bits, colours: frame.colours }) });
    else if (i > 1 && width && (frame.width !== width || frame.height !== height))
      findings.push({ severity: 'refused', frame: i,
                      text: sentence('frameOtherSize', { n: i, width: frame.width, height: frame.height, firstWidth: width, firstHeight: height }) });
    if (!blackBorder(frame.rgba, frame.width, frame.height))
      findings.push({ severity: 'warning', frame: i, text: sentence('frameNotOnBlack', { n: i }) });
    decoded.push(frame);
  }
  // She still plays; but while she dances the saver draws the sky with her palette, which then
  // only approximates the sky's colours.
  if (decoded.some((frame) => frame && frame.bits === 8 && !holdsSky(frame.palette)))
    findings.push({ severity: 'warning', text: sentence('lacksSky', { first: SKY.first }) });
  const refused = findings.some((f) => f.severity === 'refused');
  if (!decoded[0]) {
    findings.push({ severity: 'refused', text: sentence('noFirstFrame', { file: fileName }) });
    return { title, findings, refused: true };
  }
  const frames = decoded.map((frame) => {
    if (frame && frame.width === width && frame.height === height) return frame.rgba;
    const rgba = new Uint8ClampedArray(width * height * 4);
    for (let o = 3; o < rgba.length; o += 4) rgba[o] = 255;
    if (frame) place(rgba, width, height, frame, 0, 0);
    return rgba;
  });
  const module = { bytes, name: fileName, title, width, height, frames };
  // One table and one size throughout (as the kit builds them): the indices are the frames too.
  const first = decoded[0];
  if (decoded.every((f) => f && f.indices && f.width === width && f.height === height &&
                           f.palette.every((v, k) => v === first.palette[k]))) {
    module.palette = first.palette;
    module.indices = decoded.map((f) => f.indices);
  }
  return { title, findings, refused, module };
}
