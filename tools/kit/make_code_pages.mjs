// make_code_pages.mjs --- writes tools/kit/core/windows-code-pages.js: what Windows shows in the
// kit's code pages beyond what the platforms' own decoders tell (its best fit, and where a decoder
// disagrees with Windows' table), checked against both platforms the kit runs on, Node and Chromium.
//
// Usage: node tools/kit/make_code_pages.mjs TABLE
// TABLE is what code_page_table.exe writes under Windows (or Wine):
//   cmake --build --preset win64 --target code_page_table
//   wine build/win64/code_page_table.exe build/code-pages.bin
//   node tools/kit/make_code_pages.mjs build/code-pages.bin
import { chromium } from 'playwright-core';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { beyondDecoders, CODE_PAGES, DECODERS, decodedUnits } from './core/text.js';

const DIGITS = '0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ-_';
const QUESTION = 0x3f;

const [tableFile] = process.argv.slice(2);
if (!tableFile) {
  console.error('usage: node make_code_pages.mjs TABLE');
  process.exit(2);
}
const raw = fs.readFileSync(tableFile);
const windows = CODE_PAGES.map((_, i) => new Uint16Array(raw.buffer.slice(raw.byteOffset + i * 131072,
                                                                            raw.byteOffset + (i + 1) * 131072)));

// What each platform's decoders give, before anything is added.
const inNode = CODE_PAGES.map(([number]) => decodedUnits(DECODERS[number]));
const browser = await chromium.launch({ executablePath: process.env.SKYFLARE_CHROMIUM || '/usr/bin/chromium',
                                        headless: true, args: ['--no-sandbox'] });
const inChromium = (await (await browser.newPage()).evaluate(([source, decoders]) => {
  const decode = eval(`(${source})`);  // eslint-disable-line no-eval
  return decoders.map((decoder) => Array.from(decode(decoder)));
}, [decodedUnits.toString(), CODE_PAGES.map(([number]) => DECODERS[number])])).map((units) => Uint16Array.from(units));
await browser.close();

// Each unit Windows shows otherwise than a platform's decoders, as runs: the kind of what it shows
// (as written, "?", or a unit one more for each unit on) goes on over units that need nothing as long
// as it fits them too, when another unit that needs it comes after.
function runsOf(page) {
  const wanted = windows[page];
  const needs = (u) => wanted[u] !== inNode[page][u] || wanted[u] !== inChromium[page][u];
  const to = (u) => (wanted[u] === u ? 'self' : wanted[u] === QUESTION ? '?' : wanted[u]);
  const continues = (run, u) => (run.to === 'self' || run.to === '?' ? to(u) === run.to
                                                                      : wanted[u] === run.to + (u - run.first));
  const runs = [];
  for (let u = 0; u < 65536; u++) {
    if (!needs(u)) continue;
    const run = { first: u, count: 1, to: to(u) };
    for (let v = u + 1; v < 65536 && continues(run, v); v++)
      if (needs(v)) run.count = v - u + 1;
    runs.push(run);
    u += run.count - 1;
  }
  return runs;
}

// The same run in several code pages is written once, with a bit for each.
const merged = new Map();
CODE_PAGES.forEach((_, page) => {
  for (const run of runsOf(page)) {
    const key = `${run.first} ${run.count} ${run.to}`;
    if (!merged.has(key)) merged.set(key, { ...run, mask: 0 });
    merged.get(key).mask |= 1 << page;
  }
});
const number = (value) => {
  let text = '';
  for (; value >= 32; value = Math.floor(value / 32)) text += DIGITS[32 + (value % 32)];
  return text + DIGITS[value];
};
let packed = '', previous = 0;
for (const run of [...merged.values()].sort((a, b) => a.first - b.first || a.mask - b.mask)) {
  packed += number(run.mask) + number(run.first - previous) + number(run.count - 1) +
            number(run.to === 'self' ? 0 : run.to === '?' ? 1 : run.to + 2);
  previous = run.first;
}

// Read back as the kit reads it, on both platforms' decoders, it must give Windows' every unit.
const runs = beyondDecoders(packed);
for (const [page, [codePage]] of CODE_PAGES.entries()) {
  for (const base of [inNode[page], inChromium[page]]) {
    const shown = Uint16Array.from(base);
    for (const { codePages, first, count, to } of runs)
      if (codePages.includes(codePage))
        for (let i = 0; i < count; i++) shown[first + i] = to === 'self' ? first + i : to === '?' ? QUESTION : to + i;
    const wrong = shown.findIndex((unit, u) => unit !== windows[page][u]);
    if (wrong >= 0) throw new Error(`U+${wrong.toString(16)} in code page ${codePage} comes out wrong`);
  }
}

const out = path.join(path.dirname(fileURLToPath(import.meta.url)), 'core', 'windows-code-pages.js');
fs.writeFileSync(out, `// windows-code-pages.js --- what Windows shows in the kit's code pages beyond what the platforms'
// decoders tell: its best fit for letters a code page lacks, and its own table where a decoder's
// differs (${runs.length} runs, read by text.js). Made by tools/kit/make_code_pages.mjs from Windows' own
// conversion; do not edit.
export const WINDOWS_BEYOND_DECODERS =
  ${packed.match(/.{1,96}/g).map((line) => `'${line}'`).join(' +\n  ')};
`);
console.log(`${out}: ${runs.length} runs, ${packed.length} characters`);
