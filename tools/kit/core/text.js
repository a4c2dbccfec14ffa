// text.js --- a girl's title and her module's file name, as the saver will show and find them.

export const FRAMES = 17;
export const MAX_TITLE = 39;
export const MAX_NAME = 12;

// The Western code page's 0x80..0x9F, where it differs from Latin-1 (0 where it has no character).
const CP1252_HIGH = [0x20ac, 0, 0x201a, 0x0192, 0x201e, 0x2026, 0x2020, 0x2021, 0x02c6, 0x2030, 0x0160, 0x2039, 0x0152,
  0, 0x017d, 0, 0, 0x2018, 0x2019, 0x201c, 0x201d, 0x2022, 0x2013, 0x2014, 0x02dc, 0x2122, 0x0161, 0x203a, 0x0153, 0,
  0x017e, 0x0178];

/** Whether the saver can show this character (one code point) in the Western code page. */
export function inCodePage1252(character) {
  const code = character.codePointAt(0);
  if (code < 0x20 || code === 0x7f) return false; // control characters show as boxes or nothing
  if (code < 0x80 || (code >= 0xa0 && code <= 0xff)) return true;
  return CP1252_HIGH.includes(code);
}

const codeName = (character) => `U+${character.codePointAt(0).toString(16).toUpperCase().padStart(4, '0')}`;

/** The title as the module stores it: each character outside the Western code page is a "?". */
export function storedTitle(title) {
  return [...title].map((c) => (inCodePage1252(c) ? c : '?')).join('');
}

/** What an author should know about a title: [{ severity, text }]. */
export function checkTitle(title) {
  const characters = [...title];
  const findings = [];
  if (!characters.length)
    findings.push({ severity: 'refused', text: 'the title is empty: the configuration dialog would show an empty line' });
  if (characters.length > MAX_TITLE)
    findings.push({ severity: 'refused',
                    text: `the title has ${characters.length} characters; a girl's title may have at most ${MAX_TITLE}` });
  const named = new Set();
  for (const c of characters) {
    if (inCodePage1252(c) || named.has(c)) continue;
    named.add(c);
    const shown = c.codePointAt(0) < 0x20 || c.codePointAt(0) === 0x7f ? `a control character (${codeName(c)})`
                                                                      : `"${c}" (${codeName(c)})`;
    findings.push({ severity: 'warning',
                    text: `the title's character ${shown} is not in the Western code page the saver shows titles in: ` +
                          'it shows "?" in its place' });
  }
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
  if (![...extension].every(inCodePage1252))
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
