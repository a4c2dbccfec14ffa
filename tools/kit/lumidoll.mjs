#!/usr/bin/env node
// lumidoll.mjs --- the girl module kit's command line: makes a module from 17 pictures, or
// previews an existing one, with the same core (and so the same bytes) as the kit's page.
import fs from 'node:fs';
import path from 'node:path';

// The kit's packages are loaded here rather than imported above, so that a kit whose packages
// were never installed says how to install them instead of printing a trace.
let PNG, buildGirl, checkModuleName, contactSheet, decodeBmp, declaredSize, FRAMES, maxPictureSize, pictureTooLarge,
  previewGif, readGirl, TICK_MS;
try {
  ({ PNG } = await import('pngjs'));
  ({ buildGirl, checkModuleName, contactSheet, decodeBmp, declaredSize, FRAMES, maxPictureSize, pictureTooLarge,
     previewGif, readGirl, TICK_MS } = await import('./core/index.js'));
} catch (error) {
  if (error.code !== 'ERR_MODULE_NOT_FOUND') throw error;
  const root = path.resolve(path.dirname(new URL(import.meta.url).pathname), '..', '..');
  process.stderr.write(`lumidoll: the kit's packages are not installed (${error.message.split("'")[1]} is missing): ` +
                       `run npm ci in ${root} (Node.js 18.20, 20.10 or later with npm)\n`);
  process.exit(2);
}

const USAGE = () => `usage: lumidoll.mjs build --title TITLE --out lumidoll.EXT [--fit stretch|pad] [--preview FOLDER] PICTURE x 17
       lumidoll.mjs preview MODULE FOLDER

build: the 17 pictures (PNG or BMP, any depth, their stored values) are the girl's frames in play
order, all of one size; --fit stretch brings pictures of other sizes to the first one's size,
--fit pad centres each on black at the size of the largest, her feet on one line. They share one
256-colour table in which pure black stays black (the transparent colour); transparent parts
become black. --preview also writes her loop as a GIF and a contact sheet into FOLDER.
preview: writes FOLDER/MODULE.gif (her loop at ${1000 / TICK_MS} frames a second) and FOLDER/MODULE-sheet.png.`;

class KitError extends Error {}

const say = (text) => process.stderr.write(`lumidoll: ${text}\n`);

function parse(argv) {
  const options = { pictures: [] };
  for (let i = 0; i < argv.length; i++) {
    const arg = argv[i];
    const value = () => {
      if (i + 1 >= argv.length) throw new KitError(`${arg} needs a value\n${USAGE()}`);
      return argv[++i];
    };
    if (arg === '--title') options.title = value();
    else if (arg === '--out') options.out = value();
    else if (arg === '--fit') options.fit = value();
    else if (arg === '--preview') options.preview = value();
    else if (arg === '-h' || arg === '--help') options.help = true;
    else if (arg.startsWith('--')) throw new KitError(`${arg} is no option of this kit\n${USAGE()}`);
    else options.pictures.push(arg);
  }
  return options;
}

// Says what is wrong with the module's path before any work is done.
function checkOutput(out) {
  const refused = checkModuleName(path.basename(out)).find((f) => f.severity === 'refused');
  if (refused) throw new KitError(refused.text);
  const folder = path.dirname(path.resolve(out));
  if (!isFolder(folder)) throw new KitError(`the folder ${folder} does not exist: make it first, or choose another --out`);
  if (isFolder(out)) throw new KitError(`${out} is a folder: --out names the module file to write`);
  try {
    fs.accessSync(folder, fs.constants.W_OK);
    if (fs.existsSync(out)) fs.accessSync(out, fs.constants.W_OK);
  } catch {
    throw new KitError(`${out} cannot be written here (no permission): choose another --out`);
  }
}

function isFolder(where) {
  try { return fs.statSync(where).isDirectory(); } catch { return false; }
}

/** A picture file's pixels as stored (PNG or BMP), or { name, error } with the sentence. */
export function loadPicture(file) {
  let bytes;
  try {
    bytes = new Uint8Array(fs.readFileSync(file));
  } catch (error) {
    const why = { ENOENT: 'no such file', EISDIR: 'is a folder, not a picture', EACCES: 'cannot be read (no permission)' };
    return { name: file, error: why[error.code] || `cannot be read (${error.message})` };
  }
  const size = declaredSize(bytes.subarray(0, 4096));
  const tooLarge = size && pictureTooLarge(size.width, size.height);
  if (tooLarge) return { name: file, error: tooLarge };
  const unreadable = { name: file, error: 'not a picture this kit can read (PNG or BMP)' };
  if (bytes[0] === 0x42 && bytes[1] === 0x4d) {
    const bmp = decodeBmp(bytes, maxPictureSize * maxPictureSize);
    return bmp.error ? unreadable : { name: file, width: bmp.width, height: bmp.height, rgba: bmp.rgba };
  }
  try {
    const png = PNG.sync.read(Buffer.from(bytes.buffer, bytes.byteOffset, bytes.byteLength));
    return { name: file, width: png.width, height: png.height, rgba: new Uint8ClampedArray(png.data) };
  } catch {
    return unreadable;
  }
}

function writePreview(module, name, folder) {
  const gif = path.join(folder, `${name}.gif`);
  const sheetPath = path.join(folder, `${name}-sheet.png`);
  try {
    fs.writeFileSync(gif, previewGif(module));
    const sheet = contactSheet(module);
    const png = new PNG({ width: sheet.width, height: sheet.height });
    png.data = Buffer.from(sheet.rgba.buffer);
    fs.writeFileSync(sheetPath, PNG.sync.write(png));
  } catch (error) {
    throw new KitError(`cannot write the preview: ${error.message}`);
  }
  console.log(`${gif}: her ${FRAMES} frames at ${1000 / TICK_MS} a second; ${sheetPath}: the frames side by side`);
}

function build(options) {
  if (options.title === undefined || options.out === undefined) throw new KitError(`--title and --out are needed\n${USAGE()}`);
  if (options.fit !== undefined && options.fit !== 'stretch' && options.fit !== 'pad')
    throw new KitError(`--fit is stretch or pad, not ${options.fit}`);
  if (options.preview !== undefined && !isFolder(options.preview))
    throw new KitError(`the preview folder ${options.preview} does not exist: make it first`);
  checkOutput(options.out);
  const result = buildGirl({ pictures: options.pictures.map(loadPicture), title: options.title,
                             moduleName: path.basename(options.out), fit: options.fit || 'refuse' });
  for (const finding of result.findings) {
    const hint = finding.severity === 'refused' && finding.text.startsWith('the pictures are not all the size')
      ? ' (say --fit stretch or --fit pad)' : '';
    say(`${finding.severity === 'note' ? '' : `${finding.severity}: `}${finding.text}${hint}`);
  }
  if (result.refused) return 2;
  try {
    fs.writeFileSync(options.out, result.module.bytes);
  } catch (error) {
    throw new KitError(`${options.out} cannot be written: ${error.message}`);
  }
  console.log(`${options.out}: "${result.module.title}", ${FRAMES} frames`);
  if (options.preview !== undefined) writePreview(result.module, path.basename(options.out), options.preview);
  return 0;
}

function preview([module, folder, ...rest]) {
  if (!module || !folder || rest.length) throw new KitError(USAGE());
  if (!fs.existsSync(module)) throw new KitError(`${module} does not exist`);
  if (!isFolder(folder)) throw new KitError(`the folder ${folder} does not exist: make it first, or name another`);
  let bytes;
  try {
    bytes = new Uint8Array(fs.readFileSync(module));
  } catch (error) {
    throw new KitError(`${module} cannot be read (${error.code === 'EISDIR' ? 'it is a folder' : error.message})`);
  }
  const read = readGirl(bytes, path.basename(module));
  for (const finding of read.findings) say(`${finding.severity === 'note' ? '' : `${finding.severity}: `}${finding.text}`);
  if (!read.module) return 2;
  writePreview(read.module, path.basename(module), folder);
  return 0;
}

function main(argv) {
  const [verb, ...rest] = argv;
  try {
    if (verb === 'build') {
      const options = parse(rest);
      if (options.help) { console.log(USAGE()); return 0; }
      return build(options);
    }
    if (verb === 'preview') return preview(rest);
    if (verb === '-h' || verb === '--help') { console.log(USAGE()); return 0; }
    throw new KitError(USAGE());
  } catch (error) {
    if (!(error instanceof KitError)) throw error;
    say(error.message);
    return 2;
  }
}

if (process.argv[1] && path.resolve(process.argv[1]) === path.resolve(new URL(import.meta.url).pathname))
  process.exitCode = main(process.argv.slice(2));
