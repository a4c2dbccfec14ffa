// module.js --- the saver's rule for a readable girl module, applied to a file's bytes: the same
// parts checked the same way as the saver checks them (girls/module_file.cpp, line for line), and
// the same words (tools/kit/sentences.json).
//
// The saver lets the system read a module only when every part it reads lies inside the file,
// holds what it claims, and is found where the system's own loader finds it: the headers and
// section table; the resource directory's root, the string and bitmap types, the names of the
// bitmaps, the languages of string block 1 and of GIRL1 to GIRL17 and their data entries; and the
// data of those resources. docs/reference.md states it.
import { sentence } from './sentences.js';

export const FRAMES = 17;
export const PART_TITLE = 17;
export const PART_HEADERS = 18;
export const PART_DIRECTORY = 19;

// <windows.h>'s structures, as the offsets and kinds of the fields the rule reads, so that this
// reader and the saver's name the same fields.
const u16 = 'u16', u32 = 'u32', i32 = 'i32';
const IMAGE_DOS_HEADER = { size: 64, e_magic: [0, u16], e_lfanew: [60, i32] };
const IMAGE_FILE_HEADER = { size: 20, NumberOfSections: [2, u16], SizeOfOptionalHeader: [16, u16] };
const IMAGE_OPTIONAL_HEADER32 = { Magic: [0, u16], SizeOfHeaders: [60, u32], NumberOfRvaAndSizes: [92, u32], DataDirectory: 96 };
const IMAGE_OPTIONAL_HEADER64 = { Magic: [0, u16], SizeOfHeaders: [60, u32], NumberOfRvaAndSizes: [108, u32], DataDirectory: 112 };
const IMAGE_DATA_DIRECTORY = { size: 8, VirtualAddress: [0, u32], Size: [4, u32] };
const IMAGE_SECTION_HEADER = { size: 40, VirtualSize: [8, u32], VirtualAddress: [12, u32], SizeOfRawData: [16, u32],
                               PointerToRawData: [20, u32] };
const IMAGE_RESOURCE_DIRECTORY = { size: 16, NumberOfNamedEntries: [12, u16], NumberOfIdEntries: [14, u16] };
const IMAGE_RESOURCE_DIRECTORY_ENTRY = { size: 8, Name: [0, u32], OffsetToData: [4, u32] };
const IMAGE_RESOURCE_DATA_ENTRY = { size: 16, OffsetToData: [0, u32], Size: [4, u32] };
const BITMAPCOREHEADER = { size: 12, bcWidth: [4, u16], bcHeight: [6, u16], bcPlanes: [8, u16], bcBitCount: [10, u16] };
const BITMAPINFOHEADER = { size: 40, biWidth: [4, i32], biHeight: [8, i32], biPlanes: [12, u16], biBitCount: [14, u16],
                           biCompression: [16, u32], biClrUsed: [32, u32] };
const BITMAPV4HEADER_SIZE = 108, BITMAPV5HEADER_SIZE = 124, RGBTRIPLE_SIZE = 3, RGBQUAD_SIZE = 4;
const IMAGE_DOS_SIGNATURE = 0x5a4d, IMAGE_NT_SIGNATURE = 0x4550;
const IMAGE_NT_OPTIONAL_HDR32_MAGIC = 0x10b, IMAGE_NT_OPTIONAL_HDR64_MAGIC = 0x20b;
const IMAGE_DIRECTORY_ENTRY_RESOURCE = 2;
const IMAGE_RESOURCE_NAME_IS_STRING = 0x80000000, IMAGE_RESOURCE_DATA_IS_DIRECTORY = 0x80000000;
const BI_RGB = 0, BI_BITFIELDS = 3;
const RT_STRING_ID = 6, RT_BITMAP_ID = 2;  // RT_STRING and RT_BITMAP, as numbers

// What is wrong with a damaged part (as the saver's check names it): the sentence of each.
const FAULTS = {
  headerForm: 'faultHeaderForm', noSection: 'faultNoSection', outsideSection: 'faultOutsideSection',
  levels: 'faultLevels', order: 'faultOrder', stringShort: 'faultStringShort', bitmapHeader: 'faultBitmapHeader',
  bitmapSize: 'faultBitmapSize', bitmapBits: 'faultBitmapBits', bitmapCompressed: 'faultBitmapCompressed',
  bitmapColours: 'faultBitmapColours', bitmapShort: 'faultBitmapShort', sectionWraps: 'faultSectionWraps',
  directoryInHeaders: 'faultDirectoryInHeaders', dataElsewhere: 'faultDataElsewhere',
  bitmapPlanes: 'faultBitmapPlanes', titleZero: 'faultTitleZero', directorySize: 'faultDirectorySize',
};

/**
 * The rule applied to a whole file.
 * -> { readable, fileSize, libraryFault: null | 'empty' | 'noStart' | 'noHeader',
 *      cut: Set<part>, damaged: Map<part, fault>, shorterThanSections, directorySize,
 *      present: Set<part>, title: string | undefined (string 1 of its first language),
 *      titleLength: the longest of its languages' titles,
 *      frames: [{ width, height, planes, bits, colours, dib: Uint8Array } | undefined] x 17 }
 * Parts: frame n is n - 1; PART_TITLE, PART_HEADERS, PART_DIRECTORY.
 */
export function checkModule(bytes) {
  const check = { readable: false, fileSize: bytes.length, libraryFault: null, cut: new Set(), damaged: new Map(),
                  shorterThanSections: false, directorySize: 0, present: new Set(), title: undefined, titleLength: 0,
                  frames: new Array(FRAMES) };
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  const file = { size: bytes.length };
  const markDamaged = (part, fault) => { if (!check.damaged.has(part)) check.damaged.set(part, fault); };
  const headers = checkHeaders();
  if (headers && headers.resources) checkDirectory(headers.resources);
  // Her title, when every language of block 1 holds one.
  if (check.titleLength > 0) check.present.add(PART_TITLE);
  else check.titleLength = 0;
  check.readable = !check.libraryFault && !check.cut.size && !check.damaged.size;
  return check;

  // A structure's fields at an offset of the file (all of it inside the file), or of a part: past
  // the end of the file the part is cut.
  function fields(struct, at) {
    const read = {};
    for (const [name, field] of Object.entries(struct)) {
      if (!Array.isArray(field)) continue;
      const [offset, kind] = field;
      read[name] = kind === u16 ? view.getUint16(at + offset, true)
                 : kind === u32 ? view.getUint32(at + offset, true) : view.getInt32(at + offset, true);
    }
    return read;
  }
  function readPart(struct, at, part, size = struct.size) {
    if (at + size > file.size) { check.cut.add(part); return null; }
    return fields(struct, at);
  }

  // Whether `length` bytes at the directory-relative offset lie in the directory's section as far
  // as the file goes, and in the size the headers give the directory. If not, the part they belong
  // to is cut (past the file's end) or damaged.
  function directoryHolds(at, length, part) {
    const end = file.directory + at + length;
    if (end > file.size) { check.cut.add(part); return false; }
    if (end > file.sectionEnd) { markDamaged(part, 'outsideSection'); return false; }
    // Wine finds no resource at all in a directory given less than its root table's header;
    // Windows documents the size as the whole table's, which every table and entry lies in.
    if (at + length > file.directorySize) { markDamaged(part, 'directorySize'); return false; }
    return true;
  }
  function readDirectory(struct, at, size = struct.size) {
    return directoryHolds(at, size, PART_DIRECTORY) ? fields(struct, file.directory + at) : null;
  }

  // The section that holds an address, as the system finds it: the first in the table whose raw
  // data spans it, the end reckoned in 32 bits as the system adds it (the headers' check has
  // refused a section whose sum wraps). null when none does.
  function findSection(address) {
    for (let i = 0; i < file.sections; i++) {
      const section = readPart(IMAGE_SECTION_HEADER, file.sectionTable + IMAGE_SECTION_HEADER.size * i, PART_HEADERS);
      if (address >= section.VirtualAddress && address < ((section.VirtualAddress + section.SizeOfRawData) >>> 0))
        return { index: i, section };
    }
    return null;
  }

  // String 1 is the second string of block 1: a length and that many UTF-16 characters each.
  function checkTitleData(at, size) {
    if (size < 2) { markDamaged(PART_TITLE, 'stringShort'); return; }
    const second = 2 + 2 * view.getUint16(at, true);
    if (second + 2 > size) { markDamaged(PART_TITLE, 'stringShort'); return; }
    const length = view.getUint16(at + second, true);
    if (second + 2 + 2 * length > size) { markDamaged(PART_TITLE, 'stringShort'); return; }
    // Her title in this language: the dialog's line ends at a character 0.
    let text = '';
    for (let i = 0; i < length; i++) {
      const character = view.getUint16(at + second + 2 + 2 * i, true);
      if (character === 0) { markDamaged(PART_TITLE, 'titleZero'); return; }
      text += String.fromCharCode(character);
    }
    // Present only when every language has one: the system picks the language by the user's.
    if (length === 0) check.titleLength = -1;
    else if (check.titleLength >= 0 && length > check.titleLength) check.titleLength = length;
    if (check.title === undefined && length > 0) check.title = text;
  }

  // A frame: a bitmap header that the system's LoadImage takes, then its colour table and every
  // row of its pixels, all inside the resource.
  function checkFrameData(at, size, number, first) {
    const part = number - 1;
    if (size < 4) { markDamaged(part, 'bitmapShort'); return; }
    const headerSize = view.getUint32(at, true);
    // The headers Windows documents for a bitmap: the core, info, version 4 and version 5 ones.
    const core = headerSize === BITMAPCOREHEADER.size;
    if (!core && headerSize !== BITMAPINFOHEADER.size && headerSize !== BITMAPV4HEADER_SIZE &&
        headerSize !== BITMAPV5HEADER_SIZE) { markDamaged(part, 'bitmapHeader'); return; }
    if (headerSize > size) { markDamaged(part, 'bitmapShort'); return; }
    let width, height, planes, bits, compression = BI_RGB, used, entry;
    if (core) {
      const header = fields(BITMAPCOREHEADER, at);
      width = header.bcWidth; height = header.bcHeight; planes = header.bcPlanes; bits = header.bcBitCount;
      used = bits <= 8 ? 2 ** bits : 0; entry = RGBTRIPLE_SIZE;
    } else {
      const header = fields(BITMAPINFOHEADER, at);
      width = header.biWidth; height = header.biHeight; planes = header.biPlanes; bits = header.biBitCount;
      compression = header.biCompression; used = header.biClrUsed;
      if (bits <= 8 && used === 0) used = 2 ** bits;
      entry = RGBQUAD_SIZE;
    }
    height = Math.abs(height);  // rows stored top-down
    // What the frame is, from its first language (the one the saver's check reads too).
    const facts = { width, height, planes, bits, colours: Math.min(used, 0x7fffffff), dib: bytes.subarray(at, at + size) };
    if (first) check.frames[part] = facts;
    if (width <= 0 || height === 0) { markDamaged(part, 'bitmapSize'); return; }
    if (planes !== 1) { markDamaged(part, 'bitmapPlanes'); return; }
    const knownBits = [1, 4, 8, 24].includes(bits) || (!core && (bits === 16 || bits === 32));
    if (!knownBits) { markDamaged(part, 'bitmapBits'); return; }
    const bitFields = compression === BI_BITFIELDS && (bits === 16 || bits === 32);
    if (compression !== BI_RGB && !bitFields) { markDamaged(part, 'bitmapCompressed'); return; }
    if (used > 256 || (bits <= 8 && used > 2 ** bits)) { markDamaged(part, 'bitmapColours'); return; }
    // The three masks of bit fields follow an info header, and are part of the later ones.
    const masks = bitFields && headerSize < BITMAPINFOHEADER.size + 12 ? 12 : 0;
    const pixelsAt = headerSize + masks + used * entry;
    const stride = Math.floor((width * bits + 31) / 32) * 4;
    if (stride > size || pixelsAt + stride * height > size) { markDamaged(part, 'bitmapShort'); }
  }

  // One resource the saver uses: its data entry, then the data it points at.
  function checkResource(entryAt, part, number) {
    const data = readDirectory(IMAGE_RESOURCE_DATA_ENTRY, entryAt);
    if (!data) return;
    const found = findSection(data.OffsetToData);
    if (!found) { markDamaged(part, 'noSection'); return; }
    // Windows NT reads a resource through the directory's own section while its address is
    // within that section's virtual size; past it, the system looks the section up again and
    // reads at an offset that holds only when the directory begins its section. Wine always
    // looks the section up. Both read the same bytes when the data lies in the directory's own
    // section and, past its virtual size, the directory begins it.
    if (found.index !== file.home || (data.OffsetToData > file.homeSection.VirtualSize &&
                                      file.directoryAddress !== file.homeSection.VirtualAddress)) {
      markDamaged(part, 'dataElsewhere');
      return;
    }
    const at = found.section.PointerToRawData + (data.OffsetToData - found.section.VirtualAddress);
    if (at + data.Size > file.size) { check.cut.add(part); return; }
    if (part === PART_TITLE) {
      checkTitleData(at, data.Size);
    } else {
      const first = !check.present.has(part);
      check.present.add(part);
      checkFrameData(at, data.Size, number, first);
    }
  }

  // Entry i of a table.
  function tableEntry(table, i) {
    return readDirectory(IMAGE_RESOURCE_DIRECTORY_ENTRY, table + IMAGE_RESOURCE_DIRECTORY.size + IMAGE_RESOURCE_DIRECTORY_ENTRY.size * i);
  }

  // How two names of the directory compare as the system's search compares them: character by
  // character, exactly (a name is looked up in capitals, as the resource compiler stores it), then
  // the shorter first.
  function compareNames(first, second) {
    const lengthA = view.getUint16(file.directory + first, true), lengthB = view.getUint16(file.directory + second, true);
    for (let i = 0; i < Math.min(lengthA, lengthB); i++) {
      const a = view.getUint16(file.directory + first + 2 + 2 * i, true), b = view.getUint16(file.directory + second + 2 + 2 * i, true);
      if (a !== b) return a < b ? -1 : 1;
    }
    return lengthA === lengthB ? 0 : lengthA < lengthB ? -1 : 1;
  }

  // The system finds an entry by halving a table: its names first, then its numbers, each in
  // ascending order. A table out of that order hides some of its own entries from the system.
  // A number is the whole of its entry's name: Windows NT compares all 32 bits, Wine the low 16.
  function tableInOrder(table, named, count) {
    let previousName = 0, previousNumber = 0;
    for (let i = 0; i < count; i++) {
      const entry = tableEntry(table, i);
      if (!entry) return false;
      const isName = (entry.Name & IMAGE_RESOURCE_NAME_IS_STRING) !== 0;
      if (isName !== (i < named) || (!isName && entry.Name > 0xffff)) { markDamaged(PART_DIRECTORY, 'order'); return false; }
      if (isName) {
        const at = (entry.Name & ~IMAGE_RESOURCE_NAME_IS_STRING) >>> 0;
        if (!directoryHolds(at, 2, PART_DIRECTORY) ||
            !directoryHolds(at, 2 + 2 * view.getUint16(file.directory + at, true), PART_DIRECTORY)) return false;
        if (i > 0 && compareNames(previousName, at) > 0) { markDamaged(PART_DIRECTORY, 'order'); return false; }
        previousName = at;
      } else {
        if (i > named && entry.Name < previousNumber) { markDamaged(PART_DIRECTORY, 'order'); return false; }
        previousNumber = entry.Name;
      }
    }
    return true;
  }

  // A table of the directory at a directory-relative offset: its count of entries, once the table,
  // all its entries and their names are found to lie in the directory, in the system's order.
  function directoryTable(at) {
    const table = readDirectory(IMAGE_RESOURCE_DIRECTORY, at);
    if (!table) return null;
    const count = table.NumberOfNamedEntries + table.NumberOfIdEntries;
    return directoryHolds(at, IMAGE_RESOURCE_DIRECTORY.size + IMAGE_RESOURCE_DIRECTORY_ENTRY.size * count, PART_DIRECTORY) &&
           tableInOrder(at, table.NumberOfNamedEntries, count) ? count : null;
  }

  // The languages of one resource: each a data entry, the third and last level.
  function checkLanguages(target, part, number) {
    if (!(target & IMAGE_RESOURCE_DATA_IS_DIRECTORY)) { markDamaged(PART_DIRECTORY, 'levels'); return; }
    const table = (target & ~IMAGE_RESOURCE_DATA_IS_DIRECTORY) >>> 0;
    const count = directoryTable(table);
    if (count === null) return;
    for (let i = 0; i < count; i++) {
      const entry = tableEntry(table, i);
      if (entry.OffsetToData & IMAGE_RESOURCE_DATA_IS_DIRECTORY) { markDamaged(PART_DIRECTORY, 'levels'); return; }
      checkResource(entry.OffsetToData, part, number);
    }
  }

  function checkType(table, checkEntry) {
    const count = directoryTable(table);
    if (count === null) return;
    for (let i = 0; i < count; i++) if (!checkEntry(tableEntry(table, i))) return;
  }

  function checkTitleEntry(entry) {
    if (entry.Name === 1) checkLanguages(entry.OffsetToData, PART_TITLE, 0);  // block 1: strings 0 to 15
    return true;
  }

  function checkFrameEntry(entry) {
    if (!(entry.Name & IMAGE_RESOURCE_NAME_IS_STRING)) return true;  // a numbered bitmap: no frame of hers
    const at = (entry.Name & ~IMAGE_RESOURCE_NAME_IS_STRING) >>> 0;
    if (!directoryHolds(at, 2, PART_DIRECTORY)) return false;
    const length = view.getUint16(file.directory + at, true);
    if (!directoryHolds(at, 2 + 2 * length, PART_DIRECTORY)) return false;
    if (length > 6) return true;
    const number = frameNamed(bytes, file.directory + at + 2, length);
    if (number) checkLanguages(entry.OffsetToData, number - 1, number);
    return true;
  }

  // The headers, read as the system reads them to find the resources: the DOS header's pointer
  // to "PE\0\0", the file header, an optional header of the 32- or 64-bit kind long enough to
  // hold the resource directory's entry where it has one, and the section table.
  function checkHeaders() {
    if (file.size === 0) { check.libraryFault = 'empty'; return null; }
    if (file.size < IMAGE_DOS_HEADER.size) { check.libraryFault = 'noStart'; return null; }
    const dos = fields(IMAGE_DOS_HEADER, 0);
    if (dos.e_magic !== IMAGE_DOS_SIGNATURE) { check.libraryFault = 'noStart'; return null; }
    const pe = dos.e_lfanew >>> 0;
    const optionalAt = pe + 4 + IMAGE_FILE_HEADER.size;
    // Headers past the end: the file is shorter than its own headers say.
    if (optionalAt > file.size) { check.cut.add(PART_HEADERS); check.shorterThanSections = true; return null; }
    if (view.getUint32(pe, true) !== IMAGE_NT_SIGNATURE) { check.libraryFault = 'noHeader'; return null; }
    const header = fields(IMAGE_FILE_HEADER, pe + 4);
    file.sections = header.NumberOfSections;
    file.sectionTable = optionalAt + header.SizeOfOptionalHeader;
    if (file.sectionTable > file.size) { check.cut.add(PART_HEADERS); check.shorterThanSections = true; return null; }
    const declared = header.SizeOfOptionalHeader;
    if (declared < 2) { markDamaged(PART_HEADERS, 'headerForm'); return null; }
    // The fields the system finds the resources by, in the optional header of either kind.
    const magic = view.getUint16(optionalAt, true);
    const kind = magic === IMAGE_NT_OPTIONAL_HDR32_MAGIC ? IMAGE_OPTIONAL_HEADER32
               : magic === IMAGE_NT_OPTIONAL_HDR64_MAGIC ? IMAGE_OPTIONAL_HEADER64 : null;
    if (!kind) { markDamaged(PART_HEADERS, 'headerForm'); return null; }
    const directoriesAt = kind.DataDirectory;
    if (declared < directoriesAt) { markDamaged(PART_HEADERS, 'headerForm'); return null; }
    if (file.sectionTable + IMAGE_SECTION_HEADER.size * file.sections > file.size) {
      check.cut.add(PART_HEADERS); check.shorterThanSections = true; return null;
    }
    const optional = fields(kind, optionalAt);
    // Fewer than three data directories: no resources, as the system then finds none. Where the
    // count says there are, the system reads the resources' entry whatever the header's size says.
    let resources = 0;
    if (optional.NumberOfRvaAndSizes > IMAGE_DIRECTORY_ENTRY_RESOURCE) {
      if (declared < directoriesAt + IMAGE_DATA_DIRECTORY.size * (IMAGE_DIRECTORY_ENTRY_RESOURCE + 1)) {
        markDamaged(PART_HEADERS, 'headerForm');
        return null;
      }
      const entry = fields(IMAGE_DATA_DIRECTORY, optionalAt + directoriesAt + IMAGE_DATA_DIRECTORY.size * IMAGE_DIRECTORY_ENTRY_RESOURCE);
      resources = entry.VirtualAddress;
      file.directorySize = check.directorySize = entry.Size;
    }
    for (let i = 0; i < file.sections; i++) {
      const section = fields(IMAGE_SECTION_HEADER, file.sectionTable + IMAGE_SECTION_HEADER.size * i);
      // The system adds a section's address and size in 32 bits: past 4 GB the sum wraps, and
      // the section holds nothing the system looks for.
      if (section.VirtualAddress + section.SizeOfRawData > 0xffffffff) { markDamaged(PART_HEADERS, 'sectionWraps'); return null; }
      if (section.PointerToRawData + section.SizeOfRawData > file.size) check.shorterThanSections = true;
    }
    // An address below the headers' size is read from the headers themselves, not its section.
    if (resources !== 0 && resources < optional.SizeOfHeaders) { markDamaged(PART_HEADERS, 'directoryInHeaders'); return null; }
    return { resources };
  }

  // The directory's root: the string type (6) and the bitmap type (2), each a table of its own.
  function checkDirectory(resources) {
    const found = findSection(resources);
    if (!found) { markDamaged(PART_DIRECTORY, 'noSection'); return; }
    file.home = found.index;
    file.homeSection = found.section;
    file.directoryAddress = resources;
    file.directory = found.section.PointerToRawData + (resources - found.section.VirtualAddress);
    file.sectionEnd = found.section.PointerToRawData + found.section.SizeOfRawData;
    const count = directoryTable(0);
    if (count === null) return;
    for (let i = 0; i < count; i++) {
      const entry = tableEntry(0, i);
      if (entry.Name !== RT_STRING_ID && entry.Name !== RT_BITMAP_ID) continue;
      if (!(entry.OffsetToData & IMAGE_RESOURCE_DATA_IS_DIRECTORY)) { markDamaged(PART_DIRECTORY, 'levels'); continue; }
      checkType((entry.OffsetToData & ~IMAGE_RESOURCE_DATA_IS_DIRECTORY) >>> 0,
                entry.Name === RT_STRING_ID ? checkTitleEntry : checkFrameEntry);
    }
  }
}

// Which frame a bitmap's name is: GIRL1 to GIRL17 exactly as the system looks them up, else 0.
function frameNamed(bytes, at, length) {
  if (length < 5 || length > 6) return 0;
  let name = '';
  for (let i = 0; i < length; i++) name += String.fromCharCode(bytes[at + 2 * i] | (bytes[at + 2 * i + 1] << 8));
  const match = /^GIRL([1-9][0-9]?)$/.exec(name);
  const number = match ? Number(match[1]) : 0;
  return number >= 1 && number <= FRAMES ? number : 0;
}

/** A count of bytes as a person reads it: 404,652. */
export function formatCount(value) {
  return String(value).replace(/\B(?=(\d{3})+(?!\d))/g, ',');
}

// "its frames GIRL14 to GIRL17 and its title", and whether it takes "lie" or "lies".
function nameParts(parts) {
  const items = [];
  if (parts.has(PART_HEADERS)) items.push(sentence('partsHeaders'));
  if (parts.has(PART_DIRECTORY)) items.push(sentence('partsDirectory'));
  const runs = [];
  let frames = 0;
  for (let n = 1; n <= FRAMES; n++) {
    if (!parts.has(n - 1)) continue;
    let last = n;
    while (last < FRAMES && parts.has(last)) last++;
    frames += last - n + 1;
    if (last === n) runs.push(`GIRL${n}`);
    else if (last === n + 1) runs.push(`GIRL${n}`, `GIRL${last}`);
    else runs.push(sentence('partsFrameRun', { first: n, last }));
    n = last;
  }
  if (frames) items.push(sentence(frames > 1 ? 'partsFrames' : 'partsFrame', { frames: runs.join(', ') }));
  if (parts.has(PART_TITLE)) items.push(sentence('partsTitle'));
  const text = items.length < 2 ? items.join('')
    : sentence('partsAnd', { most: items.slice(0, -1).join(', '), last: items[items.length - 1] });
  return { text, plural: items.length > 1 || frames > 1 || parts.has(PART_HEADERS) };
}

/** The sentences for a module the saver will not read, as the checker prints them:
 *  [{ part?: number, text }] (part: the frame n - 1, when the sentence is about one frame). */
export function unreadableSentences(check, fileName) {
  const why = { empty: 'whyEmpty', noStart: 'whyNoStart', noHeader: 'whyNoHeader' }[check.libraryFault];
  if (why) return [{ text: sentence('notGirlModule', { file: fileName, why: sentence(why) }) }];
  const sentences = [];
  if (check.cut.size) {
    const { text, plural } = nameParts(check.cut);
    sentences.push({ text: sentence('cutShort', { size: formatCount(check.fileSize), parts: text,
                                                   lie: sentence(plural ? 'cutLie' : 'cutLies'),
                                                   why: sentence(check.shorterThanSections ? 'whyCutShort' : 'whyCutDamaged') }) });
  }
  const order = [PART_HEADERS, PART_DIRECTORY, PART_TITLE, ...Array.from({ length: FRAMES }, (_, i) => i)];
  const name = (part) => ({ [PART_HEADERS]: sentence('partHeaders'), [PART_DIRECTORY]: sentence('partDirectory'),
                            [PART_TITLE]: sentence('partTitle') }[part] || `GIRL${part + 1}`);
  for (const part of order) {
    if (!check.damaged.has(part)) continue;
    const facts = check.frames[part] || { size: formatCount(check.directorySize) };
    const text = sentence('damaged', { part: name(part), fault: sentence(FAULTS[check.damaged.get(part)], facts) });
    sentences.push(part < FRAMES ? { part, text } : { text });
  }
  return sentences;
}

/** The checker's verdict sentence for a module the saver will not read. */
export function unreadableVerdict(fileName) {
  return sentence('verdictUnreadable', { file: fileName });
}
