// text.js --- a girl's title and her module's file name, as the saver will show and find them.
import { sentence } from './sentences.js';
import { WINDOWS_BEYOND_DECODERS } from './windows-code-pages.js';

export const FRAMES = 17;
export const MAX_TITLE = 39;
export const MAX_NAME = 12;

// The code pages of the Windows 95 family's languages, in which that family shows every text;
// Windows NT, 2000 and later show a title as she stores it, in UTF-16. Each with the name of its
// script, as the checker gives it too.
export const CODE_PAGES = [932, 936, 949, 950, 1250, 1251, 1252].map((number) => [number, sentence(`script${number}`)]);

// How the platform's own TextDecoder (the WHATWG Encoding standard's, in every current browser and
// in Node) reads each code page: its name there, then the single bytes, lead bytes and trail bytes
// Windows gives that code page, as ranges of bytes.
export const DECODERS = {
  932: ['shift_jis', [[0x00, 0x80], [0xa1, 0xdf]], [[0x81, 0x9f], [0xe0, 0xfc]], [[0x40, 0x7e], [0x80, 0xfc]]],
  936: ['gbk', [[0x00, 0x80]], [[0x81, 0xfe]], [[0x40, 0x7e], [0x80, 0xfe]]],
  949: ['euc-kr', [[0x00, 0x7f]], [[0x81, 0xfe]], [[0x41, 0x5a], [0x61, 0x7a], [0x81, 0xfe]]],
  950: ['big5', [[0x00, 0x7f]], [[0xa1, 0xf9]], [[0x40, 0x7e], [0xa1, 0xfe]]],
  1250: ['windows-1250', [[0x00, 0xff]]],
  1251: ['windows-1251', [[0x00, 0xff]]],
  1252: ['windows-1252', [[0x00, 0xff]]],
};

/** Each UTF-16 unit as the platform's decoder gives it back from a code page's bytes (DECODERS):
 *  the unit itself where a byte sequence of the code page decodes to it, else "?". Self-contained,
 *  so that tools/kit/make_code_pages.mjs can run it in a browser as it is. */
export function decodedUnits([label, singles, leads = [], trails = []]) {
  const shown = new Uint16Array(65536).fill(0x3f);
  const decoder = new TextDecoder(label);
  const keep = (text) => {
    if (text.length === 1 && text !== '\ufffd') shown[text.charCodeAt(0)] = text.charCodeAt(0);
  };
  for (const [first, last] of singles)
    for (let byte = first; byte <= last; byte++) keep(decoder.decode(new Uint8Array([byte])));
  // Every pair at once, each followed by a line feed: no trail byte is one, and a decoder that
  // refuses a pair gives the line feed back after it, so the pieces stay one to a pair.
  const count = (ranges) => ranges.reduce((sum, [first, last]) => sum + last - first + 1, 0);
  const pairs = new Uint8Array(3 * count(leads) * count(trails));
  let at = 0;
  for (const [firstLead, lastLead] of leads)
    for (let lead = firstLead; lead <= lastLead; lead++)
      for (const [firstTrail, lastTrail] of trails)
        for (let trail = firstTrail; trail <= lastTrail; trail++) {
          pairs[at++] = lead;
          pairs[at++] = trail;
          pairs[at++] = 0x0a;
        }
  if (at) decoder.decode(pairs).split('\n').forEach(keep);
  return shown;
}

/** The runs of units in which Windows shows something other than the platform's decoders give:
 *  its best fit for a letter the code page lacks (an "e" for an "ė" in code page 1252), and where a
 *  decoder disagrees with Windows' own table. [{ codePages, first, count, to }], to: 'self' (shown
 *  as written), '?', or the unit the first shows as, the next one more, and so on. */
export function beyondDecoders(packed = WINDOWS_BEYOND_DECODERS) {
  const digits = '0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ-_';
  let at = 0;
  const next = () => {
    let value = 0;
    for (let shift = 0; ; shift += 5) {
      const digit = digits.indexOf(packed[at++]);
      value += (digit & 31) * 2 ** shift;
      if (digit < 32) return value;
    }
  };
  const runs = [];
  for (let first = 0; at < packed.length;) {
    const mask = next();
    first += next();
    const count = next() + 1, to = next();
    runs.push({ codePages: CODE_PAGES.map(([number]) => number).filter((_, i) => mask & (1 << i)), first, count,
                to: to === 0 ? 'self' : to === 1 ? '?' : to - 2 });
  }
  return runs;
}

// Each code page's table, made when a title beyond ASCII first needs it: what each UTF-16 unit
// shows as.
const tables = new Map();
let beyond = null;
function tableOf(codePage) {
  if (!tables.has(codePage)) {
    const shown = decodedUnits(DECODERS[codePage]);
    beyond ||= beyondDecoders();
    for (const { codePages, first, count, to } of beyond)
      if (codePages.includes(codePage))
        for (let i = 0; i < count; i++) shown[first + i] = to === 'self' ? first + i : to === '?' ? 0x3f : to + i;
    tables.set(codePage, shown);
  }
  return tables.get(codePage);
}

/** A text as a Windows of the code page shows it, as that Windows turns UTF-16 into the code page
 *  and back (the 95 family's LoadStringA): a letter it lacks as its best fit where Windows has one
 *  (an accented letter as the plain one), else a "?"; each UTF-16 unit on its own. */
export function inCodePage(text, codePage) {
  if (/^[\0-\x7f]*$/.test(text)) return text;  // every one of these code pages has ASCII as it is
  const table = tableOf(codePage);
  let shown = '';
  for (let i = 0; i < text.length; i += 4096)
    shown += String.fromCharCode(...Array.from(text.slice(i, i + 4096), (c) => table[c.charCodeAt(0)]));
  return shown;
}

const isControl = (code) => code < 0x20 || (code >= 0x7f && code < 0xa0);
const codeName = (character) => `U+${character.codePointAt(0).toString(16).toUpperCase().padStart(4, '0')}`;
const listed = (items) => (items.length < 2 ? items.join('')
  : sentence('partsAnd', { most: items.slice(0, -1).join(', '), last: items[items.length - 1] }));

/** The one sentence that says in which of the Windows 95 family's code pages her title does not
 *  show as written, and how it shows there; null when it shows as written in all of them. */
export function codePageSentence(title) {
  const shown = new Map();
  for (const [codePage, script] of CODE_PAGES) {
    const looks = inCodePage(title, codePage);
    if (looks === title) continue;
    if (!shown.has(looks)) shown.set(looks, []);
    shown.get(looks).push(sentence('codePage', { number: codePage, script }));
  }
  if (!shown.size) return null;
  const ways = [...shown].map(([looks, pages]) => sentence(pages.length > 1 ? 'codePagesWays' : 'codePagesWay',
                                                           { looks, pages: listed(pages) }));
  const one = shown.size === 1 && [...shown.values()][0].length === 1;
  return sentence('codePages', { ways: ways.reduce((first, then) => sentence('codePagesThen', { first, then })),
                                 lack: sentence(one ? 'codePagesLacks' : 'codePagesLack') });
}

/** What an author should know about a title: [{ severity, text }]. Its length is counted as the
 *  module stores it, in UTF-16 characters. */
export function checkTitle(title) {
  const findings = [];
  if (!title.length)
    findings.push({ severity: 'refused', text: 'the title is empty: the configuration dialog would show an empty line' });
  if (title.length > MAX_TITLE)
    findings.push({ severity: 'refused',
                    text: `the title has ${title.length} characters; a girl's title may have at most ${MAX_TITLE}` });
  const named = new Set();
  for (const c of title) {
    if (!isControl(c.codePointAt(0)) || named.has(c)) continue;
    named.add(c);
    findings.push({ severity: 'warning', text: `the title has a control character (${codeName(c)}): it shows as a box or not at all` });
  }
  const sentence = codePageSentence(title);
  if (sentence) findings.push({ severity: 'warning', text: sentence });
  return findings;
}

/** What an author should know about a module's file name, checked as the saver finds files
 *  (lumidoll.* in the system folder, at most 12 characters): [{ severity, text }]. */
export function checkModuleName(name) {
  const rule = 'it must be lumidoll. followed by one to three characters (at most 12 characters in all), ' +
               'or the saver will not find it';
  if (!/^lumidoll\.[^.]{1,3}$/i.test(name))
    return [{ severity: 'refused', text: `"${name}" is no girl module name: ${rule}` }];
  const extension = name.slice(9);
  if (/[<>:"/\\|?*\x00-\x1f]/.test(extension) || /[ .]$/.test(extension))
    return [{ severity: 'refused', text: `"${name}" cannot be a Windows file name: ${rule}, of letters and digits` }];
  if (inCodePage(extension, 1252) !== extension || [...extension].some((c) => isControl(c.codePointAt(0))))
    return [{ severity: 'refused', text: `"${name}" has a character the saver cannot find files by: ${rule}, of letters and digits` }];
  return [];
}

/** File names in the order of their names, numbers in them counted as numbers (nova2 before
 *  nova10), letters compared without regard to case; the same order everywhere. */
export function orderPictures(names) {
  return [...names].sort(compareFileNames);
}

/** The order of orderPictures for two names: negative, zero or positive. */
export function compareFileNames(a, b) {
  const parts = (name) => name.toLowerCase().match(/\d+|\D+/g) || [];
  {
    const pa = parts(a), pb = parts(b);
    for (let i = 0; i < Math.min(pa.length, pb.length); i++) {
      const x = pa[i], y = pb[i];
      if (x === y) continue;
      const dx = /^\d/.test(x), dy = /^\d/.test(y);
      if (dx && dy) {
        const nx = x.replace(/^0+/, ''), ny = y.replace(/^0+/, '');
        if (nx.length !== ny.length) return nx.length - ny.length;
        if (nx !== ny) return nx < ny ? -1 : 1;
        if (x.length !== y.length) return x.length - y.length;
        continue;
      }
      return x < y ? -1 : 1;
    }
    if (pa.length !== pb.length) return pa.length - pb.length;
    return a < b ? -1 : a > b ? 1 : 0;
  }
}
