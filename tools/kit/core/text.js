// text.js --- a girl's title and her module's file name, as the saver will show and find them.
import iconv from 'iconv-lite';
import { sentence } from './sentences.js';

export const FRAMES = 17;
export const MAX_TITLE = 39;
export const MAX_NAME = 12;

// The code pages of the Windows 95 family's languages, in which that family shows every text;
// Windows NT, 2000 and later show a title as she stores it, in UTF-16. Each with the name of its
// script, as the checker gives it too.
export const CODE_PAGES = [932, 936, 949, 950, 1250, 1251, 1252].map((number) => [number, sentence(`script${number}`)]);

/** A text as a Windows of the code page shows it: each letter the code page lacks a "?". */
export function inCodePage(text, codePage) {
  return iconv.decode(iconv.encode(text, `cp${codePage}`), `cp${codePage}`);
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
