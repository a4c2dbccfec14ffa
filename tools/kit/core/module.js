// module.js --- the saver's rule for a readable girl module, applied to a file's bytes: the same
// parts checked the same way as the saver checks them (girls/module_file.cpp), and the same words.
//
// The saver lets the system read a module only when every part it reads lies inside the file and
// holds what it claims: the headers and section table; the resource directory's root, the string
// and bitmap types, the names of the bitmaps, the languages of string block 1 and of GIRL1 to
// GIRL17 and their data entries; and the data of those resources. docs/reference.md states it.

export const FRAMES = 17;
export const PART_TITLE = 17;
export const PART_HEADERS = 18;
export const PART_DIRECTORY = 19;

const RT_STRING = 6;
const RT_BITMAP = 2;
const SUBDIRECTORY = 0x80000000;

// What is wrong with a damaged part (as the saver's check names it).
const FAULTS = {
  headerForm: () => 'they are not a Windows library\'s',
  noSection: () => 'it lies in none of the file\'s sections',
  outsideSection: () => 'it points outside its own section',
  levels: () => 'it is not of the three levels a library\'s has',
  order: () => 'its entries are out of the order the system looks them up in',
  stringShort: () => 'string 1 runs past the end of its string table',
  bitmapHeader: () => 'its bitmap header has a size no bitmap has',
  bitmapSize: (f) => `it claims a size of ${f.width} x ${f.height} pixels`,
  bitmapBits: (f) => `it claims ${f.bits} bits a pixel, which no bitmap has`,
  bitmapCompressed: () => 'it is compressed, which the saver does not read',
  bitmapColours: (f) => `it claims ${f.colours} colours in its table`,
  bitmapShort: () => 'its colour table or pixels run past the end of its resource',
};

/**
 * The rule applied to a whole file.
 * -> { readable, fileSize, libraryFault: null | 'empty' | 'noStart' | 'noHeader',
 *      cut: Set<part>, damaged: Map<part, fault>, shorterThanSections,
 *      present: Set<part>, title: string | undefined (string 1 of its first language),
 *      frames: [{ width, height, bits, colours, dib: Uint8Array } | undefined] x 17 }
 * Parts: frame n is n - 1; PART_TITLE, PART_HEADERS, PART_DIRECTORY.
 */
export function checkModule(bytes) {
  const check = { readable: false, fileSize: bytes.length, libraryFault: null, cut: new Set(), damaged: new Map(),
                  shorterThanSections: false, present: new Set(), title: undefined, frames: new Array(FRAMES) };
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  const size = bytes.length;
  const u16 = (at) => view.getUint16(at, true);
  const u32 = (at) => view.getUint32(at, true);
  const damage = (part, fault) => { if (!check.damaged.has(part)) check.damaged.set(part, fault); };
  const layout = headers();
  if (layout && layout.resources) directory(layout);
  check.readable = !check.libraryFault && !check.cut.size && !check.damaged.size;
  return check;

  function headers() {
    if (size === 0) { check.libraryFault = 'empty'; return null; }
    if (size < 64 || bytes[0] !== 0x4d || bytes[1] !== 0x5a) { check.libraryFault = 'noStart'; return null; }
    const pe = u32(60);
    // Headers past the end: the file is shorter than its own headers say.
    if (pe + 24 > size) { check.cut.add(PART_HEADERS); check.shorterThanSections = true; return null; }
    if (u32(pe) !== 0x4550) { check.libraryFault = 'noHeader'; return null; }
    const sections = u16(pe + 6), optionalSize = u16(pe + 20);
    const sectionTable = pe + 24 + optionalSize;
    if (sectionTable > size) { check.cut.add(PART_HEADERS); check.shorterThanSections = true; return null; }
    if (optionalSize < 2) { damage(PART_HEADERS, 'headerForm'); return null; }
    const magic = u16(pe + 24);
    const directoriesAt = magic === 0x10b ? 96 : magic === 0x20b ? 112 : 0;
    if (!directoriesAt || optionalSize < directoriesAt) { damage(PART_HEADERS, 'headerForm'); return null; }
    if (sectionTable + 40 * sections > size) { check.cut.add(PART_HEADERS); check.shorterThanSections = true; return null; }
    // Headers that leave out the resource directory: a module with no resources.
    let resources = 0;
    if (u32(pe + 24 + directoriesAt - 4) >= 3 && optionalSize >= directoriesAt + 24) resources = u32(pe + 24 + directoriesAt + 16);
    const table = [];
    for (let i = 0; i < sections; i++) {
      const at = sectionTable + 40 * i;
      const section = { start: u32(at + 12), rawSize: u32(at + 16), rawAt: u32(at + 20) };
      if (section.rawAt + section.rawSize > size) check.shorterThanSections = true;
      table.push(section);
    }
    return { sections: table, resources };
  }

  // The file offset of an address, through the section whose raw data holds it.
  function fileOffset(layout, address) {
    for (const section of layout.sections)
      if (address >= section.start && address - section.start < section.rawSize)
        return { at: section.rawAt + (address - section.start), end: section.rawAt + section.rawSize };
    return null;
  }

  function directory(layout) {
    const found = fileOffset(layout, layout.resources);
    if (!found) { damage(PART_DIRECTORY, 'noSection'); return; }
    const base = found.at, sectionEnd = found.end;
    const holds = (at, length, part = PART_DIRECTORY) => {
      const end = base + at + length;
      if (end > size) { check.cut.add(part); return false; }
      if (end > sectionEnd) { damage(part, 'outsideSection'); return false; }
      return true;
    };
    // The system finds an entry by halving a table: its names first, then its numbers, each in
    // ascending order. A table out of that order hides some of its own entries from the system.
    const folded = (c) => (c >= 0x61 && c <= 0x7a ? c - 32 : c);
    const compareNames = (a, b) => {
      const lengthA = u16(base + a), lengthB = u16(base + b);
      for (let i = 0; i < Math.min(lengthA, lengthB); i++) {
        const x = folded(u16(base + a + 2 + 2 * i)), y = folded(u16(base + b + 2 + 2 * i));
        if (x !== y) return x < y ? -1 : 1;
      }
      return lengthA === lengthB ? 0 : lengthA < lengthB ? -1 : 1;
    };
    const inOrder = (entries, named) => {
      let previousName = 0, previousNumber = 0;
      for (let i = 0; i < entries.length; i++) {
        const { name } = entries[i];
        const isName = (name & SUBDIRECTORY) !== 0;
        if (isName !== (i < named)) { damage(PART_DIRECTORY, 'order'); return false; }
        if (isName) {
          const at = (name & 0x7fffffff) >>> 0;
          if (!holds(at, 2) || !holds(at, 2 + 2 * u16(base + at))) return false;
          if (i > 0 && compareNames(previousName, at) > 0) { damage(PART_DIRECTORY, 'order'); return false; }
          previousName = at;
        } else {
          const number = name & 0xffff;
          if (i > named && number < previousNumber) { damage(PART_DIRECTORY, 'order'); return false; }
          previousNumber = number;
        }
      }
      return true;
    };
    const table = (at) => {
      if (!holds(at, 16)) return null;
      const named = u16(base + at + 12);
      const count = named + u16(base + at + 14);
      if (!holds(at, 16 + 8 * count)) return null;
      const entries = Array.from({ length: count }, (_, i) => ({ name: u32(base + at + 16 + 8 * i), target: u32(base + at + 20 + 8 * i) }));
      return inOrder(entries, named) ? entries : null;
    };
    const languages = (target, part) => {
      if (!(target & SUBDIRECTORY)) { damage(PART_DIRECTORY, 'levels'); return; }
      const entries = table((target & 0x7fffffff) >>> 0);
      if (!entries) return;
      for (const { target: entry } of entries) {
        if (entry & SUBDIRECTORY) { damage(PART_DIRECTORY, 'levels'); return; }
        resource(entry, part);
      }
    };
    const resource = (entryAt, part) => {
      if (!holds(entryAt, 16)) return;
      const address = u32(base + entryAt), length = u32(base + entryAt + 4);
      const data = fileOffset(layout, address);
      if (!data) { damage(part, 'noSection'); return; }
      if (data.at + length > size) { check.cut.add(part); return; }
      const content = bytes.subarray(data.at, data.at + length);
      if (part === PART_TITLE) title(content);
      else {
        const first = !check.present.has(part);
        check.present.add(part);
        frame(content, part, first);
      }
    };
    const titles = (at) => {
      const entries = table(at);
      if (!entries) return;
      // Block 1: strings 0 to 15.
      for (const entry of entries) if (!(entry.name & SUBDIRECTORY) && (entry.name & 0xffff) === 1) languages(entry.target, PART_TITLE);
    };
    const bitmaps = (at) => {
      const entries = table(at);
      if (!entries) return;
      for (const entry of entries) {
        if (!(entry.name & SUBDIRECTORY)) continue;  // a numbered bitmap: no frame of hers
        const nameAt = (entry.name & 0x7fffffff) >>> 0;
        if (!holds(nameAt, 2)) return;
        const length = u16(base + nameAt);
        if (!holds(nameAt, 2 + 2 * length)) return;
        const number = frameNamed(bytes, base + nameAt + 2, length);
        if (number) languages(entry.target, number - 1);
      }
    };
    const root = table(0);
    if (!root) return;
    for (const { name, target } of root) {
      const type = name & 0xffff;
      if ((name & SUBDIRECTORY) || (type !== RT_STRING && type !== RT_BITMAP)) continue;
      if (!(target & SUBDIRECTORY)) { damage(PART_DIRECTORY, 'levels'); continue; }
      if (type === RT_STRING) titles((target & 0x7fffffff) >>> 0);
      else bitmaps((target & 0x7fffffff) >>> 0);
    }
  }

  function title(content) {
    const v = new DataView(content.buffer, content.byteOffset, content.byteLength);
    if (content.length < 2) { damage(PART_TITLE, 'stringShort'); return; }
    const second = 2 + 2 * v.getUint16(0, true);
    if (second + 2 > content.length) { damage(PART_TITLE, 'stringShort'); return; }
    const length = v.getUint16(second, true);
    if (second + 2 + 2 * length > content.length) { damage(PART_TITLE, 'stringShort'); return; }
    if (!check.present.has(PART_TITLE) && length > 0) {
      check.present.add(PART_TITLE);
      let text = '';
      for (let i = 0; i < length; i++) text += String.fromCharCode(v.getUint16(second + 2 + 2 * i, true));
      check.title = text;
    }
  }

  function frame(content, part, first) {
    const v = new DataView(content.buffer, content.byteOffset, content.byteLength);
    if (content.length < 4) { damage(part, 'bitmapShort'); return; }
    const headerSize = v.getUint32(0, true);
    if (headerSize !== 12 && (headerSize < 40 || headerSize > 124)) { damage(part, 'bitmapHeader'); return; }
    if (headerSize > content.length) { damage(part, 'bitmapShort'); return; }
    let width, height, bits, compression = 0, used, entry;
    if (headerSize === 12) {
      width = v.getUint16(4, true); height = v.getUint16(6, true); bits = v.getUint16(10, true);
      used = bits <= 8 ? 2 ** bits : 0; entry = 3;
    } else {
      width = v.getInt32(4, true); height = v.getInt32(8, true); bits = v.getUint16(14, true);
      compression = v.getUint32(16, true); used = v.getUint32(32, true);
      if (bits <= 8 && used === 0) used = 2 ** bits;
      entry = 4;
    }
    height = Math.abs(height);
    const facts = { width, height, bits, colours: Math.min(used, 0x7fffffff), dib: content };
    if (first) check.frames[part] = facts;
    if (width <= 0 || height === 0) { damage(part, 'bitmapSize'); return; }
    if (![1, 4, 8, 16, 24, 32].includes(bits)) { damage(part, 'bitmapBits'); return; }
    const bitFields = compression === 3 && (bits === 16 || bits === 32);
    if (compression !== 0 && !bitFields) { damage(part, 'bitmapCompressed'); return; }
    if (used > 256) { damage(part, 'bitmapColours'); return; }
    const pixelsAt = headerSize + (bitFields && headerSize === 40 ? 12 : 0) + used * entry;
    const stride = Math.floor((width * bits + 31) / 32) * 4;
    if (pixelsAt + stride * height > content.length) damage(part, 'bitmapShort');
  }
}

// Which frame a bitmap's name is: GIRL1 to GIRL17 in any case, else 0.
function frameNamed(bytes, at, length) {
  if (length < 5 || length > 6) return 0;
  let name = '';
  for (let i = 0; i < length; i++) name += String.fromCharCode(bytes[at + 2 * i] | (bytes[at + 2 * i + 1] << 8));
  const match = /^[Gg][Ii][Rr][Ll]([1-9][0-9]?)$/.exec(name);
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
  if (parts.has(PART_HEADERS)) items.push('its headers');
  if (parts.has(PART_DIRECTORY)) items.push('its resource directory');
  const runs = [];
  let frames = 0;
  for (let n = 1; n <= FRAMES; n++) {
    if (!parts.has(n - 1)) continue;
    let last = n;
    while (last < FRAMES && parts.has(last)) last++;
    frames += last - n + 1;
    if (last === n) runs.push(`GIRL${n}`);
    else if (last === n + 1) runs.push(`GIRL${n}`, `GIRL${last}`);
    else runs.push(`GIRL${n} to GIRL${last}`);
    n = last;
  }
  if (frames) items.push(`its frame${frames > 1 ? 's' : ''} ${runs.join(', ')}`);
  if (parts.has(PART_TITLE)) items.push('its title');
  return { text: joined(items), plural: items.length > 1 || frames > 1 || parts.has(PART_HEADERS) };
}

const joined = (items) => (items.length < 2 ? items.join('') : `${items.slice(0, -1).join(', ')} and ${items[items.length - 1]}`);

/** The sentences for a module the saver will not read, as the checker prints them:
 *  [{ part?: number, text }] (part: the frame n - 1, when the sentence is about one frame). */
export function unreadableSentences(check, fileName) {
  const why = { empty: 'the file is empty', noStart: 'it does not start as a Windows program or library does',
                noHeader: 'it has no Windows library header' }[check.libraryFault];
  if (why) return [{ text: `${fileName} is not a girl module: ${why}` }];
  const sentences = [];
  if (check.cut.size) {
    const { text, plural } = nameParts(check.cut);
    sentences.push({ text: `the file ends at byte ${formatCount(check.fileSize)}, but ${text} ${plural ? 'lie' : 'lies'} beyond it: ` +
                           (check.shorterThanSections ? 'it was cut short, copy it again' : 'it is damaged, copy it again') });
  }
  const order = [PART_HEADERS, PART_DIRECTORY, PART_TITLE, ...Array.from({ length: FRAMES }, (_, i) => i)];
  const name = (part) => ({ [PART_HEADERS]: 'headers', [PART_DIRECTORY]: 'resource directory', [PART_TITLE]: 'title' }[part]
                          || `GIRL${part + 1}`);
  for (const part of order) {
    if (!check.damaged.has(part)) continue;
    const text = `${name(part)}: damaged: ${FAULTS[check.damaged.get(part)](check.frames[part] || {})}`;
    sentences.push(part < FRAMES ? { part, text } : { text });
  }
  return sentences;
}

/** The checker's verdict sentence for a module the saver will not read. */
export function unreadableVerdict(fileName) {
  return `the saver cannot read this file: it lists it as "(${fileName} cannot be read)" and shows no girl`;
}
