// page.test.mjs --- the girl maker page in headless Chromium: what an author gives it, what it shows,
// what it refuses, and the module it downloads, checked by the kit's checker under Wine.
// Environment: SKYFLARE_BUILD_DIR, the target's build tree (its page, checker and sample girls).
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFile } from 'node:child_process';
import { mkdir, mkdtemp, readFile, rm, writeFile } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { promisify } from 'node:util';
import { PNG } from 'pngjs';
import { codePageSentence, contactSheet, decodeBmp, readGirl } from '../../tools/kit/core/index.js';
import { launch, openPage, givePictures, dropFiles, openModule, findings, waitForDownloadable, download,
         canvasPixels } from './browser.mjs';

const ROOT = join(dirname(fileURLToPath(import.meta.url)), '..', '..');
const BUILD = process.env.SKYFLARE_BUILD_DIR;
assert.ok(BUILD, 'SKYFLARE_BUILD_DIR names the target\'s build tree');
const PAGE = join(BUILD, 'lumidoll-maker.html');
const MADE = join(BUILD, 'tests', 'page-modules');  // where test_girls finds what the page made
const GIRLS = [['aurora', 'pau', 'Aurora, made in the page'], ['mira', 'pmi', 'Mira, made in the page'],
               ['lyra', 'ply', 'Lyra, made in the page']];
const picturePaths = (girl) => Array.from({ length: 17 }, (_, i) => join(BUILD, 'girl-modules', girl, `girl${i + 1}.bmp`));

let browser;
let aurora;  // her 17 pictures as decoded from the sample's bitmaps: { width, height, rgba }
before(async () => {
  browser = await launch();
  aurora = await Promise.all(picturePaths('aurora').map(async (path) => decodeBmp(await readFile(path), 1 << 22)));
});
after(async () => { await browser.close(); });

function png(picture) {
  const image = new PNG({ width: picture.width, height: picture.height });
  image.data.set(picture.rgba);
  return PNG.sync.write(image);
}
const auroraPngs = () => aurora.map((picture, i) => ({ name: `aurora${i + 1}.png`, buffer: png(picture) }));

function runChecker(module) {
  const windowsPath = `Z:${module.replace(/\//g, '\\')}`;
  return new Promise((resolve) => {
    execFile('wine', [join(BUILD, 'lumidoll-check.exe'), windowsPath], { timeout: 120000 },
             (error, stdout) => resolve({ status: error ? error.code : 0, stdout }));
  });
}

// A module the page makes from the given files, title and name: its bytes.
async function make(files, title, name, { drop = false } = {}) {
  const page = await openPage(browser, PAGE);
  await (drop ? dropFiles(page, files) : givePictures(page, files));
  await page.fill('#title', title);
  await page.fill('#module-name', name);
  await waitForDownloadable(page);
  const file = await download(page);
  assert.equal(file.name, name);
  assert.deepEqual(page.errors, []);
  await page.context().close();
  return file.bytes;
}

const rgbOf = (rgba) => rgba.filter((_, i) => i % 4 !== 3);
const bytesOf = (a) => Buffer.from(a.buffer, a.byteOffset, a.byteLength);
const same = (a, b) => a.length === b.length && Buffer.compare(bytesOf(a), bytesOf(b)) === 0;

test('the sample girls\' pictures make modules the checker passes, the same bytes each time', async () => {
  await rm(MADE, { recursive: true, force: true });  // never a girl made by an earlier run
  await mkdir(MADE, { recursive: true });
  for (const [girl, extension, title] of GIRLS) {
    // Given out of order: the page plays them by name, girl2 before girl10.
    const files = picturePaths(girl).reverse();
    const bytes = await make(files, title, `lumidoll.${extension}`, { drop: girl === 'aurora' });
    const module = join(MADE, `lumidoll.${extension}`);
    await writeFile(module, bytes);
    const check = await runChecker(module);
    assert.match(check.stdout, new RegExp(`title: "${title}" \\(${title.length} characters\\)`));
    assert.match(check.stdout, /GIRL17: 8-bit, 256 colours, \d+ x \d+/);
    assert.match(check.stdout, /verdict: the saver shows this girl completely/);
    assert.equal(check.status, 0, check.stdout);
    if (girl === 'aurora') {
      const again = await make(picturePaths(girl), title, `lumidoll.${extension}`);
      assert.ok(same(again, bytes), 'the same pictures, order and title give the same bytes');
    }
  }
});

test('her loop shows the module\'s frame 1 at once and steps one frame each 100 ms, at 1x and 2x', async () => {
  const page = await openPage(browser, PAGE, { drivenClock: true });
  await givePictures(page, picturePaths('aurora'));
  await page.fill('#title', 'Aurora on the clock');
  await page.fill('#module-name', 'lumidoll.clk');
  await waitForDownloadable(page);
  const { module } = readGirl((await download(page)).bytes, 'lumidoll.clk');
  const { width, height } = module;
  const doubled = (rgba) => {
    const out = new Uint8Array(width * height * 16);
    for (let y = 0; y < 2 * height; y++)
      for (let x = 0; x < 2 * width; x++)
        out.set(rgba.subarray(4 * ((y >> 1) * width + (x >> 1)), 4 * ((y >> 1) * width + (x >> 1)) + 4), 4 * (y * 2 * width + x));
    return out;
  };
  const shows = async (frame, when) => {
    const small = await canvasPixels(page, '#preview-1x');
    assert.deepEqual([small.width, small.height], [width, height]);
    assert.ok(same(small.rgba, module.frames[frame]), `${when}: the loop shows GIRL${frame + 1}`);
    const big = await canvasPixels(page, '#preview-2x');
    assert.deepEqual([big.width, big.height], [2 * width, 2 * height]);
    assert.ok(same(big.rgba, doubled(module.frames[frame])), `${when}: at 2x, GIRL${frame + 1} doubled`);
  };
  await shows(0, 'at once');
  await page.clock.runFor(99);
  await shows(0, 'after 99 ms');
  await page.clock.runFor(1);
  await shows(1, 'after 100 ms');
  for (let step = 2; step <= 17; step++) {
    await page.clock.runFor(100);
    await shows(step % 17, `after ${step * 100} ms`);
  }
  // After a change she starts again at frame 1.
  await page.clock.runFor(450);
  await page.fill('#title', 'Aurora on the clock, again');
  await shows(0, 'after her title changed');
  // The contact sheet: the one the command line writes for this module, pixel for pixel.
  const sheet = await canvasPixels(page, '#sheet');
  const expected = contactSheet(module);
  assert.deepEqual([sheet.width, sheet.height], [expected.width, expected.height]);
  assert.ok(same(sheet.rgba, expected.rgba), 'the contact sheet');
  assert.deepEqual(page.errors, []);
  await page.context().close();
});

test('a frame dragged in the strip moves there, and the module plays in the new order', async () => {
  // Tall enough that the strip's first and last frames are on the screen together: a drag that
  // has to scroll the page on the way ends where the scroll leaves the pointer.
  const page = await openPage(browser, PAGE, { viewport: { width: 1200, height: 1400 } });
  await givePictures(page, auroraPngs());
  await page.fill('#title', 'Aurora reordered');
  await page.fill('#module-name', 'lumidoll.ord');
  await waitForDownloadable(page);
  await page.dragAndDrop('.frame:nth-child(17)', '.frame:nth-child(1)');
  const names = () => page.$$eval('.frame .name', (e) => e.map((n) => n.textContent));
  const given = Array.from({ length: 16 }, (_, i) => `aurora${i + 1}.png`);
  assert.deepEqual(await names(), ['aurora17.png', ...given]);
  // From the keyboard: the focused frame moves one place a key and keeps the focus; the first
  // goes no further back.
  await page.focus('.frame:nth-child(3)');
  await page.keyboard.press('ArrowRight');
  await page.keyboard.press('ArrowDown');
  assert.deepEqual(await names(), ['aurora17.png', 'aurora1.png', 'aurora3.png', 'aurora4.png', 'aurora2.png',
                                   ...given.slice(4)]);
  await page.keyboard.press('ArrowLeft');
  await page.keyboard.press('ArrowLeft');
  assert.deepEqual(await names(), ['aurora17.png', ...given]);
  await page.focus('.frame:nth-child(1)');
  await page.keyboard.press('ArrowUp');
  assert.deepEqual(await names(), ['aurora17.png', ...given]);
  const numbers = await page.$$eval('.frame .number', (e) => e.map((n) => Number(n.textContent)));
  assert.deepEqual(numbers, Array.from({ length: 17 }, (_, i) => i + 1));
  await waitForDownloadable(page);
  const { module } = readGirl((await download(page)).bytes, 'lumidoll.ord');
  assert.deepEqual(rgbOf(module.frames[0]), rgbOf(aurora[16].rgba));
  assert.deepEqual(rgbOf(module.frames[1]), rgbOf(aurora[0].rgba));
  await page.context().close();
});

// What the page shows after the given files: its findings, and whether it offers a download.
async function outcome(files, { title = 'Aurora, as given', name = 'lumidoll.mis', fit } = {}) {
  const page = await openPage(browser, PAGE);
  await givePictures(page, files);
  await page.fill('#title', title);
  await page.fill('#module-name', name);
  if (fit) await page.selectOption('#fit', fit);
  await page.waitForSelector('.frame, .finding.refused');
  const result = { findings: await findings(page), downloadable: await page.isEnabled('#download'),
                   errors: page.errors };
  await page.context().close();
  return result;
}

function framePicture(width, height, fill) {
  const rgba = new Uint8ClampedArray(width * height * 4);
  for (let p = 0; p < width * height; p++) rgba.set(fill(p % width, Math.floor(p / width)), 4 * p);
  return { width, height, rgba };
}

// A PNG whose header declares the given size, with almost nothing after it.
function pngHeader(width, height) {
  const whole = png(framePicture(1, 1, () => [0, 0, 0, 255]));
  const bytes = Buffer.from(whole);
  bytes.writeUInt32BE(width, 16);
  bytes.writeUInt32BE(height, 20);
  return bytes;
}

test('each mistake is refused or warned beside its picture, and a refused set offers no download', async (t) => {
  const given = auroraPngs();
  const has = (result, severity, frame, pattern) =>
    assert.ok(result.findings.some((f) => f.severity === severity && f.frame === frame && pattern.test(f.text)),
              `${severity} ${pattern} beside ${frame === null ? 'no frame' : `frame ${frame}`} in ${JSON.stringify(result.findings)}`);
  const refusedSet = (result) => {
    assert.equal(result.downloadable, false, 'no download for a refused set');
    assert.deepEqual(result.errors, []);
  };
  await t.test('16 or 18 pictures', async () => {
    let result = await outcome(given.slice(0, 16));
    has(result, 'refused', null, /^16 pictures given; a girl needs exactly 17/);
    refusedSet(result);
    result = await outcome([...given, { name: 'aurora18.png', buffer: given[0].buffer }]);
    has(result, 'refused', null, /^18 pictures given; a girl needs exactly 17/);
    refusedSet(result);
  });
  const odd = [...given];
  odd[4] = { name: 'aurora5.png', buffer: png(framePicture(100, 120, () => [0, 0, 0, 255])) };
  await t.test('a picture of another size: refused, or stretched or padded as chosen, saying which', async () => {
    let result = await outcome(odd);
    has(result, 'refused', 5, /^picture 5, aurora5\.png: 100 x 120, not the size of the first \(132 x 200\)/);
    refusedSet(result);
    result = await outcome(odd, { fit: 'stretch' });
    has(result, 'note', 5, /^picture 5, aurora5\.png: 100 x 120 stretched to 132 x 200/);
    assert.equal(result.downloadable, true);
    result = await outcome(odd, { fit: 'pad' });
    has(result, 'note', 5, /^picture 5, aurora5\.png: 100 x 120 padded with black to 132 x 200/);
    assert.equal(result.downloadable, true);
  });
  await t.test('a border that is not pure black is warned beside its frame, and she is still made', async () => {
    const framed = [...given];
    framed[2] = { name: 'aurora3.png', buffer: png(framePicture(132, 200, (x, y) =>
      (x === 0 || y === 0 || x === 131 || y === 199 ? [40, 40, 40, 255] : [0, 0, 0, 255]))) };
    const result = await outcome(framed);
    has(result, 'warning', 3, /^picture 3, aurora3\.png \(GIRL3\): its border is not pure black/);
    assert.equal(result.downloadable, true);
  });
  await t.test('a file that is no picture, a cut-short picture and a picture too large to handle', async () => {
    const bad = [...given];
    bad[6] = { name: 'aurora7.png', buffer: Buffer.from('these are not the pixels you are looking for\n') };
    bad[7] = { name: 'aurora8.png', buffer: given[7].buffer.subarray(0, given[7].buffer.length >> 1) };
    bad[8] = { name: 'aurora9.png', buffer: pngHeader(30000, 30000) };
    const result = await outcome(bad);
    has(result, 'refused', 7, /^picture 7, aurora7\.png: not a picture the kit can read/);
    has(result, 'refused', 8, /^picture 8, aurora8\.png: not a picture the kit can read/);
    has(result, 'refused', 9, /^picture 9, aurora9\.png: 30000 x 30000 pixels is larger than this kit handles \(at most 2048 x 2048\)/);
    refusedSet(result);
  });
  await t.test('a title too long, a character the saver cannot show, a name it will not find', async () => {
    let result = await outcome(given, { title: 'A'.repeat(40) });
    has(result, 'refused', null, /^the title has 40 characters; a girl's title may have at most 39/);
    refusedSet(result);
    // In Cyrillic, Japanese, Greek, Korean and Georgian letters the page's own decoders give the
    // command line's sentence word for word (which the kit's tests hold against Windows' own).
    for (const title of ['\u041c\u0438\u0440\u0430 \u0417\u0432\u0435\u0437\u0434\u0430', '\u661f\u7a7a\u306e\u30df\u30e9',
                         '\u0395\u03bb\u03ad\u03bd\u03b7', '\ubcc4\ube5b \ubc1c\ub808\ub9ac\ub098', '\u10dc\u10d8\u10dc\u10dd']) {
      result = await outcome(given, { title });
      has(result, 'warning', null, new RegExp(`^${codePageSentence(title).replace(/[.*+?^${}()|[\]\\]/g, '\\$&')}$`));
    }
    assert.equal(result.downloadable, true);
    result = await outcome(given, { name: 'nova.dll' });
    has(result, 'refused', null, /^"nova\.dll" is no girl module name/);
    refusedSet(result);
  });
});

// A module whose resource directory's first entry points far past the end of the file.
function pointingPastItsEnd(bytes) {
  const out = Buffer.from(bytes);
  const pe = out.readUInt32LE(0x3c);
  const optional = pe + 24;
  const directories = optional + (out.readUInt16LE(optional) === 0x10b ? 96 : 112);
  const rsrcRva = out.readUInt32LE(directories + 2 * 8);
  const table = optional + out.readUInt16LE(pe + 20);
  for (let i = 0; i < out.readUInt16LE(pe + 6); i++) {
    const at = table + 40 * i;
    const [size, rva, raw] = [out.readUInt32LE(at + 8), out.readUInt32LE(at + 12), out.readUInt32LE(at + 20)];
    if (rsrcRva >= rva && rsrcRva < rva + size) {
      out.writeUInt32LE((0x80000000 | 0x7ffffff0) >>> 0, raw + rsrcRva - rva + 16 + 4);
      return out;
    }
  }
  throw new Error('the module has no resource section');
}

test('a module opened in the page shows her loop, title and findings, and is rebuilt under another name', async () => {
  const original = await readFile(join(BUILD, 'girl-modules', 'lumidoll.mir'));
  const read = readGirl(original, 'lumidoll.mir');
  const page = await openPage(browser, PAGE, { drivenClock: true });
  await openModule(page, { name: 'lumidoll.mir', buffer: original });
  await page.waitForSelector('.frame:nth-child(17)');
  assert.equal(await page.inputValue('#title'), read.title);
  assert.deepEqual((await findings(page)).filter((f) => f.severity === 'refused'), []);
  const loop = await canvasPixels(page, '#preview-1x');
  assert.ok(same(loop.rgba, read.module.frames[0]), 'her loop shows the module\'s GIRL1');
  await page.fill('#module-name', 'lumidoll.mi2');
  await waitForDownloadable(page);
  const rebuilt = await download(page);
  assert.equal(rebuilt.name, 'lumidoll.mi2');
  const again = readGirl(rebuilt.bytes, 'lumidoll.mi2');
  assert.equal(again.title, read.title);
  for (let i = 0; i < 17; i++) assert.ok(same(again.module.frames[i], read.module.frames[i]), `GIRL${i + 1} as she was`);

  // Files that are no girl module each give a sentence, and the page goes on working.
  const hostile = [
    ['lumidoll.txt', Buffer.from('a letter, not a library\n'), /^lumidoll\.txt is not a girl module: it does not start as a Windows program or library does/],
    ['lumidoll.cut', original.subarray(0, 1000),
     /^the file ends at byte 1,000, but its resource directory lies beyond it: it was cut short, copy it again$/],
    ['lumidoll.dir', pointingPastItsEnd(original), /^the file ends at byte [0-9,]+, but its resource directory lies beyond it: it is damaged, copy it again$/],
  ];
  for (const [name, bytes, sentence] of hostile) {
    await openModule(page, { name, buffer: bytes });
    await page.waitForFunction((n) => document.getElementById('module-name').value === n, name);
    const shown = await findings(page);
    assert.ok(shown.some((f) => f.severity === 'refused' && sentence.test(f.text)), `${name}: ${JSON.stringify(shown)}`);
    assert.equal(await page.isEnabled('#download'), false);
  }
  await givePictures(page, auroraPngs());
  await page.fill('#title', 'Aurora after the storm');
  await page.fill('#module-name', 'lumidoll.aft');
  await waitForDownloadable(page);
  assert.deepEqual(page.errors, []);
  await page.context().close();
});

test('the command line gives the same bytes as the page for the same PNG pictures', async () => {
  const folder = await mkdtemp(join(tmpdir(), 'skyflare-page-'));
  try {
    const files = auroraPngs();
    const paths = [];
    for (const { name, buffer } of files) {
      paths.push(join(folder, name));
      await writeFile(paths.at(-1), buffer);
    }
    const title = 'Aurora, from either kit';
    const out = join(folder, 'lumidoll.cli');
    await promisify(execFile)(process.execPath, [join(ROOT, 'tools', 'kit', 'lumidoll.mjs'), 'build', '--title', title,
                                                 '--out', out, ...paths], { timeout: 120000 });
    const fromPage = await make(paths, title, 'lumidoll.cli');
    assert.ok(same(fromPage, await readFile(out)), 'the page\'s module is the command line\'s, byte for byte');
  } finally {
    await rm(folder, { recursive: true, force: true });
  }
});
