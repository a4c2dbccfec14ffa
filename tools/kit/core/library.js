// library.js --- the girl module's container: a resource-only 32-bit Windows library, written and
// read through pe-library and resedit, with a bounded look at a foreign file first so that no
// garbage makes the reader run away.
import { NtExecutable, NtExecutableResource } from 'pe-library';
import { Resource } from 'resedit';

export const RT_BITMAP = 2;
export const RT_STRING = 6;
export const LANGUAGE = 0x0809; // English (United Kingdom), as the saver's own resources

// A module is a few megabytes at most; this many directory entries is far beyond any.
const MAX_ENTRIES = 4096;

/** The bytes of a resource-only 32-bit library holding the given resources, the same bytes for
 *  the same resources. bitmaps: { NAME: packed DIB bytes }; strings: { id: text }. This is also
 *  the low-level entry for odd modules (any bytes under any name). */
export function writeLibrary({ bitmaps = {}, strings = {} }) {
  const exe = NtExecutable.createEmpty(true, true);
  // As the sample girls: an image base of their own, Windows 95's version numbers (a data file
  // needs no newer ones), no time stamp, nothing relocated or randomised.
  const file = exe.newHeader.fileHeader;
  file.characteristics = 0x210e; // executable, no relocations, no line numbers or symbols, DLL
  file.timeDateStamp = 0;
  const optional = exe.newHeader.optionalHeader;
  optional.imageBase = 0x10000000;
  optional.majorOperatingSystemVersion = 4;
  optional.minorOperatingSystemVersion = 0;
  optional.majorSubsystemVersion = 4;
  optional.minorSubsystemVersion = 0;
  optional.dllCharacteristics = 0;
  const resources = NtExecutableResource.from(exe);
  for (const name of Object.keys(bitmaps).sort())
    resources.entries.push({ type: RT_BITMAP, id: name.toUpperCase(), lang: LANGUAGE, codepage: 0,
                             bin: copy(bitmaps[name]) });
  const ids = Object.keys(strings);
  if (ids.length) {
    const table = new Resource.StringTable();
    table.lang = LANGUAGE;
    for (const id of ids) table.setById(Number(id), strings[id]);
    for (const entry of table.generateEntries()) { entry.codepage = 0; resources.entries.push(entry); }
  }
  resources.dateTime = 0;
  resources.outputResource(exe);
  const section = exe.getSectionByEntry(2);
  optional.sizeOfInitializedData = section.info.sizeOfRawData;
  optional.baseOfData = section.info.virtualAddress;
  const bytes = new Uint8Array(exe.generate());
  // pe-library writes a section's name with Node's Buffer where there is one and, in a browser,
  // through a loop that repeats one character: the name is written here, the same everywhere.
  const view = new DataView(bytes.buffer);
  const pe = view.getUint32(0x3c, true);
  bytes.set([0x2e, 0x72, 0x73, 0x72, 0x63, 0, 0, 0], pe + 24 + view.getUint16(pe + 20, true));
  return bytes;
}

function copy(bytes) {
  return bytes.buffer.slice(bytes.byteOffset, bytes.byteOffset + bytes.byteLength);
}

/** The resources of a Windows library, 32- or 64-bit: { bitmaps: { NAME: bytes }, strings:
 *  { id: text } } (names in upper case, the first language of each), or { error: sentence }. */
export function readLibrary(bytes) {
  const trouble = headerTrouble(bytes);
  if (trouble) return { error: trouble };
  let exe, resources;
  try {
    exe = NtExecutable.from(bytes, { ignoreCert: true });
  } catch (error) {
    return { error: `its Windows library header cannot be read (${error.message})` };
  }
  const section = exe.getSectionByEntry(2);
  if (!section || !section.data) return { bitmaps: {}, strings: {} };
  const loose = directoryTrouble(new DataView(section.data), section.info.virtualAddress);
  if (loose) return { error: loose };
  try {
    resources = NtExecutableResource.from(exe, false);
  } catch (error) {
    return { error: `its resources cannot be read (${error.message})` };
  }
  const bitmaps = {}, strings = {};
  const firstLanguage = {};
  for (const entry of resources.entries) {
    const key = `${entry.type}/${entry.id}`;
    if (key in firstLanguage) continue;
    firstLanguage[key] = entry.lang;
    if (entry.type === RT_BITMAP && typeof entry.id === 'string') bitmaps[entry.id.toUpperCase()] = new Uint8Array(entry.bin);
  }
  const languages = new Set(resources.entries.filter((e) => e.type === RT_STRING).map((e) => e.lang));
  for (const lang of languages) {
    const table = Resource.StringTable.fromEntries(lang, resources.entries.filter(
      (e) => e.type === RT_STRING && firstLanguage[`${e.type}/${e.id}`] === lang));
    for (const { id, text } of table.getAllStrings()) if (!(id in strings)) strings[id] = text;
  }
  return { bitmaps, strings };
}

// The headers and the section table, checked against the file's length before any is trusted.
function headerTrouble(bytes) {
  if (bytes.length === 0) return 'the file is empty';
  if (bytes.length < 64 || bytes[0] !== 0x4d || bytes[1] !== 0x5a)
    return 'it does not start as a Windows program or library does';
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  const pe = view.getUint32(0x3c, true);
  if (pe + 24 > bytes.length) return `it ends before its own headers do (the file has ${bytes.length} bytes)`;
  if (view.getUint32(pe, true) !== 0x4550) return 'it has no Windows library header';
  const sections = view.getUint16(pe + 6, true);
  const optionalSize = view.getUint16(pe + 20, true);
  const table = pe + 24 + optionalSize;
  if (optionalSize < 96 || table + 40 * sections > bytes.length)
    return `it ends before its own headers do (the file has ${bytes.length} bytes)`;
  for (let i = 0; i < sections; i++) {
    const rawSize = view.getUint32(table + 40 * i + 16, true);
    const rawAt = view.getUint32(table + 40 * i + 20, true);
    if (rawSize && rawAt + rawSize > bytes.length)
      return `it is cut short: its sections need ${rawAt + rawSize} bytes, the file has ${bytes.length}`;
  }
  return null;
}

// The three levels of the resource directory, each table inside the section and visited once,
// each data entry inside it: a loop or a pointer past the end is said, never followed.
function directoryTrouble(view, sectionRva) {
  const seen = new Set();
  let entries = 0;
  const table = (at, level) => {
    if (seen.has(at)) return 'its resource directory runs in a loop';
    seen.add(at);
    if (at + 16 > view.byteLength) return 'its resource directory points past the end of its resources';
    const count = view.getUint16(at + 12, true) + view.getUint16(at + 14, true);
    entries += count;
    if (entries > MAX_ENTRIES) return `its resource directory claims more than ${MAX_ENTRIES} entries`;
    if (at + 16 + 8 * count > view.byteLength) return 'its resource directory points past the end of its resources';
    for (let i = 0; i < count; i++) {
      const name = view.getUint32(at + 16 + 8 * i, true);
      const target = view.getUint32(at + 20 + 8 * i, true);
      if (name & 0x80000000) {
        const where = name & 0x7fffffff;
        if (where + 2 > view.byteLength || where + 2 + 2 * view.getUint16(where, true) > view.byteLength)
          return 'a resource name points past the end of its resources';
      }
      const subdirectory = (target & 0x80000000) !== 0;
      if (subdirectory && level < 2) {
        const inner = table(target & 0x7fffffff, level + 1);
        if (inner) return inner;
      } else if (!subdirectory && level === 2) {
        if (target + 16 > view.byteLength) return 'its resource directory points past the end of its resources';
        const offset = view.getUint32(target, true) - sectionRva;
        const size = view.getUint32(target + 4, true);
        if (offset < 0 || offset + size > view.byteLength)
          return 'a resource lies outside the file (its directory points past the end)';
      } else if (subdirectory) {
        return 'its resource directory has more levels than a library\'s';
      }
    }
    return null;
  };
  return table(0, 0);
}
