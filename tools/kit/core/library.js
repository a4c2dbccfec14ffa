// library.js --- the girl module's container: a resource-only 32-bit Windows library, written
// through pe-library and resedit. (module.js reads one back, as the saver does.)
import { NtExecutable, NtExecutableResource } from 'pe-library';
import { Resource } from 'resedit';

export const RT_BITMAP = 2;
export const RT_STRING = 6;
export const LANGUAGE = 0x0809; // English (United Kingdom), as the saver's own resources

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

// The bytes as an ArrayBuffer of their own: their own buffer where they fill it (a frame the kit
// has just packed), else a copy.
function copy(bytes) {
  if (bytes.byteOffset === 0 && bytes.byteLength === bytes.buffer.byteLength) return bytes.buffer;
  return bytes.buffer.slice(bytes.byteOffset, bytes.byteOffset + bytes.byteLength);
}
