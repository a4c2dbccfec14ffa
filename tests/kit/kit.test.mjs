// kit.test.mjs --- the girl module kit as an author runs it: every mistake gets a plain word and no
// trace, the module holds her pictures exactly, her preview shows the module's own frames, and no
// file, however broken, makes the kit hang or throw.
import assert from 'node:assert/strict';
import { execFileSync, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { test } from 'node:test';
import { fileURLToPath } from 'node:url';
import { PNG } from 'pngjs';
import * as kit from '../../tools/kit/core/index.js';
import { quantize } from '../../tools/kit/core/gifenc.js';
import { pairwiseNearest } from '../../tools/kit/core/quantise.js';

const HERE = path.dirname(fileURLToPath(import.meta.url));
const CLI = path.join(HERE, '..', '..', 'tools', 'kit', 'lumidoll.mjs');
const GIRLS = process.env.SKYFLARE_GIRLS_DIR;
const KIT_FIXTURES = process.env.SKYFLARE_KIT_FIXTURES;
const HOSTILE = process.env.SKYFLARE_HOSTILE_FIXTURES;
const SKY = JSON.parse(fs.readFileSync(path.join(HERE, '..', '..', 'resources', 'sky-range.json'), 'utf8'));
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'kit-test-'));
process.on('exit', () => fs.rmSync(work, { recursive: true, force: true }));

function run(...args) {
  const done = spawnSync(process.execPath, [CLI, ...args], { encoding: 'utf8', timeout: 60000 });
  return { status: done.status, output: done.stdout + done.stderr };
}

function says(result, status, ...texts) {
  assert.equal(result.status, status, result.output);
  assert.doesNotMatch(result.output, /    at |Error:/, 'no trace for an author');
  for (const text of texts) assert.ok(result.output.includes(text), `"${text}" in:\n${result.output}`);
}

/** A PNG of a pink rectangle on a background, the middle half of the picture. */
function picture(name, width, height, background = [0, 0, 0, 255]) {
  const png = new PNG({ width, height });
  for (let y = 0; y < height; y++)
    for (let x = 0; x < width; x++) {
      const inside = x >= width / 4 && x < width * 3 / 4 && y >= height / 4 && y < height * 3 / 4;
      png.data.set(inside ? [230, 90, 160, 255] : background, 4 * (y * width + x));
    }
  const file = path.join(work, name);
  fs.writeFileSync(file, PNG.sync.write(png));
  return file;
}

const samplePictures = () => Array.from({ length: 17 }, (_, i) => {
  const name = `girl${i + 1}.bmp`;
  return { name, ...kit.decodeBmp(new Uint8Array(fs.readFileSync(path.join(GIRLS, 'aurora', name))), 1 << 22) };
});

const frameSizes = (file) => {
  const read = kit.readGirl(new Uint8Array(fs.readFileSync(file)), path.basename(file));
  return new Set(read.module.indices.map((f, i) => `${read.module.width}x${read.module.height}:${f.length}`)).size === 1
    ? `${read.module.width} x ${read.module.height}` : 'mixed';
};

/** Entry 0 pure black and the sky's colours at their entries, up to 255. */
function holdsSkyRange(palette) {
  assert.deepEqual([...palette.subarray(0, 3)], [0, 0, 0]);
  assert.deepEqual([...palette.subarray(3 * SKY.first)], SKY.colours.flat(), "the sky's range at the top of her table");
}

const even = Array.from({ length: 17 }, (_, i) => picture(`even${i + 1}.png`, 40, 60));
const out = path.join(work, 'lumidoll.tst');

test('pictures of other sizes are refused, each named with the way out; stretched or padded on request', () => {
  const mixed = [...even.slice(0, 4), picture('wide.png', 50, 64), ...even.slice(5)];
  says(run('build', '--title', 'T', '--out', out, ...mixed), 2, 'picture 5, ', 'wide.png: 50 x 64', '--fit stretch', '--fit pad');
  assert.ok(!fs.existsSync(out), 'nothing written for a refused set');
  says(run('build', '--title', 'T', '--out', out, '--fit', 'stretch', ...mixed), 0, 'picture 5', '50 x 64 stretched to 40 x 60');
  assert.equal(frameSizes(out), '40 x 60');
  says(run('build', '--title', 'T', '--out', out, '--fit', 'pad', ...mixed), 0, 'picture 1', '40 x 60 padded with black to 50 x 64');
  assert.equal(frameSizes(out), '50 x 64');
  // Padded: centred across, standing on the bottom line, black around.
  const read = kit.readGirl(new Uint8Array(fs.readFileSync(out)), 'lumidoll.tst');
  const at = (frame, x, y) => [...read.module.frames[frame].subarray(4 * (y * 50 + x), 4 * (y * 50 + x) + 3)];
  assert.deepEqual(at(0, 5 + 10, 4 + 15), [230, 90, 160]);
  assert.deepEqual(at(0, 5 + 9, 4 + 15), [0, 0, 0]);
  assert.deepEqual(at(0, 5 + 10, 4 + 14), [0, 0, 0]);
  assert.deepEqual(at(0, 4, 63), [0, 0, 0]);
});

test('a picture on white is built, with a warning naming it', () => {
  const white = [...even.slice(0, 2), picture('white.png', 40, 60, [255, 255, 255, 255]), ...even.slice(3)];
  says(run('build', '--title', 'T', '--out', out, ...white), 0, 'warning: picture 3', 'white.png (GIRL3)', 'not pure black');
});

test('each mistake of an author is named before any work, with no trace', () => {
  fs.mkdirSync(path.join(work, 'lumidoll.dir'), { recursive: true });
  fs.writeFileSync(path.join(work, 'notes.png'), 'not a picture');
  const cases = [
    [['--title', 'T', '--out', path.join(work, 'no', 'lumidoll.tst'), ...even], 'does not exist'],
    [['--title', 'T', '--out', path.join(work, 'lumidoll.dir'), ...even], 'is a folder'],
    [['--title', 'T', '--out', out, ...even.slice(0, 3), path.join(work, 'gone.png'), ...even.slice(4)],
     'picture 4', 'gone.png: no such file'],
    [['--title', 'T', '--out', out, ...even.slice(0, 16), path.join(work, 'notes.png')],
     'picture 17', 'not a picture this kit can read'],
    [['--title', 'Forty characters of title is one too many', '--out', out, ...even],
     "the title has 41 characters; a girl's title may have at most 39"],
    [['--title', 'Nova', '--out', path.join(work, 'nova.dll'), ...even], 'is no girl module name'],
    [['--title', 'T', '--out', out, ...even.slice(1)], '16 pictures given; a girl needs exactly 17'],
    [['--title', '', '--out', out, ...even], 'the title is empty'],
  ];
  fs.rmSync(out, { force: true });
  for (const [args, ...texts] of cases) says(run('build', ...args), 2, ...texts);
  assert.ok(!fs.existsSync(out), 'nothing written for a refused build');
  // A kit whose packages were never installed says how to install them.
  const bare = path.join(work, 'bare', 'tools', 'kit');
  fs.cpSync(path.dirname(CLI), bare, { recursive: true, filter: (file) => !file.includes(`${path.sep}page`) });
  const done = spawnSync(process.execPath, [path.join(bare, 'lumidoll.mjs'), 'build', '--title', 'T', '--out', out, ...even],
                         { encoding: 'utf8' });
  says({ status: done.status, output: done.stdout + done.stderr }, 2, "the kit's packages are not installed", 'run npm ci in');
});

test('a giant picture is refused by its header, a broken one named, neither decoded nor hanging', () => {
  const giant = Buffer.from(PNG.sync.write(Object.assign(new PNG({ width: 1, height: 1 }))));
  giant.writeUInt32BE(30000, 16);
  giant.writeUInt32BE(30000, 20);
  fs.writeFileSync(path.join(work, 'giant.png'), giant);
  fs.writeFileSync(path.join(work, 'cut.png'), fs.readFileSync(even[0]).subarray(0, 60));
  const pictures = [...even.slice(0, 15), path.join(work, 'giant.png'), path.join(work, 'cut.png')];
  says(run('build', '--title', 'T', '--out', out, ...pictures), 2,
       'picture 16, ', 'giant.png: 30000 x 30000 pixels is larger than this kit handles (at most 2048 x 2048)',
       'picture 17, ', 'cut.png: not a picture this kit can read');
});

test('the module holds her pictures exactly, in one table with pure black at 0 and the sky\'s range on top, the same bytes every time', () => {
  const pictures = samplePictures();
  const built = kit.buildGirl({ pictures, title: 'Aurora', moduleName: 'lumidoll.aur' });
  assert.equal(built.refused, false, JSON.stringify(built.findings));
  const { module } = built;
  holdsSkyRange(module.palette);
  for (let i = 0; i < 17; i++) {
    assert.deepEqual(module.frames[i], new Uint8ClampedArray(pictures[i].rgba), `GIRL${i + 1} as her picture`);
    for (let p = 0; p < module.indices[i].length; p++) {
      const black = !(pictures[i].rgba[4 * p] | pictures[i].rgba[4 * p + 1] | pictures[i].rgba[4 * p + 2]);
      assert.equal(module.indices[i][p] === 0, black, `GIRL${i + 1} pixel ${p}: index 0 exactly where black`);
    }
  }
  // Read back from the bytes, as the saver does: the same frames.
  const read = kit.readGirl(module.bytes, 'lumidoll.aur');
  assert.deepEqual(read.findings, []);
  assert.deepEqual(read.module.frames, module.frames);
  // In a browser there is no Buffer: the bytes do not change.
  const buffer = globalThis.Buffer;
  let again;
  try {
    globalThis.Buffer = undefined;
    again = kit.buildGirl({ pictures, title: 'Aurora', moduleName: 'lumidoll.aur' });
  } finally {
    globalThis.Buffer = buffer;
  }
  assert.ok(Buffer.from(again.module.bytes).equals(Buffer.from(module.bytes)), 'same bytes without Buffer');
});

test('a girl of thousands of colours shares the entries below the sky\'s range, and no pixel that was not black turns black', () => {
  const pictures = Array.from({ length: 17 }, (_, i) => {
    const width = 64, height = 64, rgba = new Uint8ClampedArray(width * height * 4);
    for (let y = 0; y < height; y++)
      for (let x = 0; x < width; x++) {
        // Every frame a gradient of its own, of more colours than her entries hold, above a band of
        // the darkest colours beside black, which together average to black: a table that took
        // that average would punch holes.
        const o = 4 * (y * width + x);
        const border = x < 2 || y < 2 || x >= width - 2 || y >= height - 2;
        const dark = [[1, 0, 0, 255], [0, 1, 0, 255], [0, 0, 1, 255]][(x + y) % 3];
        rgba.set(border ? [0, 0, 0, 255] : y < 12 ? dark : [32 + ((x * 3 + i) % 224), (y * 4) >> (x % 4), (x * 2 + y * 3 + i * 7) & 255, 255], o);
      }
    return { name: `shade${i + 1}.png`, width: 64, height: 64, rgba };
  });
  const { module, findings } = kit.buildGirl({ pictures, title: 'Shades' });
  assert.deepEqual(findings, []);
  holdsSkyRange(module.palette);
  const table = new Set();
  let error = 0, count = 0;
  for (let i = 0; i < 17; i++)
    for (let p = 0; p < 64 * 64; p++) {
      const source = pictures[i].rgba.subarray(4 * p, 4 * p + 3), shown = module.frames[i].subarray(4 * p, 4 * p + 3);
      const wasBlack = !(source[0] | source[1] | source[2]), isBlack = !(shown[0] | shown[1] | shown[2]);
      assert.equal(isBlack, wasBlack, `GIRL${i + 1} pixel ${p} black only where it was`);
      table.add(module.indices[i][p]);
      error += Math.abs(source[0] - shown[0]) + Math.abs(source[1] - shown[1]) + Math.abs(source[2] - shown[2]);
      count++;
    }
  for (const c of table) {
    const colour = module.palette.subarray(3 * c, 3 * c + 3);
    assert.ok(c === 0 || colour[0] | colour[1] | colour[2], `table entry ${c}, used, is not the transparent black`);
  }
  const hers = [...table].filter((c) => c > 0 && c < SKY.first).length;
  assert.ok(hers > 200, `nearly all of her ${SKY.first - 1} entries are used (${hers})`);
  assert.ok(error / count < 18, `the shared table is close to her colours (mean error ${error / count})`);
  // The kit's quantiser is gifenc's, step for step on typed arrays: the same table.
  const all = new Uint8Array(pictures.flatMap((p) => [...p.rgba]));
  assert.deepEqual(pairwiseNearest(all, SKY.first - 1),
                   quantize(all, SKY.first - 1, { format: 'rgb444' }).map(([r, g, b]) => (r << 16) | (g << 8) | b));
});

test('a girl of as many colours as fit below the sky\'s range keeps them exactly; one colour more, and the sky\'s range is still whole', () => {
  // Her colours besides black and the sky's own: SKY.first - 1 fit in entries 1 to SKY.first - 1.
  const girlOf = (count) => Array.from({ length: 17 }, (_, i) => {
    const width = 32, height = 32, rgba = new Uint8ClampedArray(width * height * 4);
    for (let p = 0; p < width * height; p++) {
      const x = p % width, y = Math.floor(p / width);
      const c = x < 2 || y < 2 || x >= width - 2 || y >= height - 2 ? -1 : (p + i * 61) % count;
      rgba.set(c < 0 ? [0, 0, 0, 255] : [250, 2 * (c % 100) + 1, 20 + Math.floor(c / 100)], 4 * p);
      rgba[4 * p + 3] = 255;
    }
    return { name: `c${i + 1}.png`, width, height, rgba };
  });
  const free = SKY.first - 1;
  for (const count of [free, free + 1]) {
    const pictures = girlOf(count);
    const colours = new Set();
    for (const { rgba } of pictures)
      for (let p = 0; p < rgba.length; p += 4) if (rgba[p] | rgba[p + 1] | rgba[p + 2]) colours.add(rgba[p] << 16 | rgba[p + 1] << 8 | rgba[p + 2]);
    const sky = new Set(SKY.colours.map(([r, g, b]) => r << 16 | g << 8 | b));
    assert.equal(colours.size, count);
    assert.ok([...colours].every((c) => !sky.has(c)), 'her colours besides black, none of them the sky\'s');
    const { module, findings } = kit.buildGirl({ pictures, title: `${count} colours` });
    assert.deepEqual(findings, []);
    holdsSkyRange(module.palette);
    const exact = module.frames.every((frame, i) => frame.every((v, k) => v === pictures[i].rgba[k]));
    assert.equal(exact, count === free, `${count} colours: shown exactly only when they all fit`);
  }
});

test('transparent parts become black, part transparent ones their colour times their opacity', () => {
  const rgba = new Uint8ClampedArray(40 * 60 * 4);
  rgba.set([200, 100, 50, 128], 4 * (30 * 40 + 20));
  rgba.set([255, 255, 255, 0], 4 * (31 * 40 + 20));
  const pictures = Array.from({ length: 17 }, (_, i) => ({ name: `a${i}.png`, width: 40, height: 60, rgba }));
  const { module } = kit.buildGirl({ pictures, title: 'Glass' });
  assert.deepEqual([...module.frames[3].subarray(4 * (30 * 40 + 20), 4 * (30 * 40 + 20) + 4)], [100, 50, 25, 255]);
  assert.equal(module.indices[3][31 * 40 + 20], 0);
});

test('titles and names as the saver shows and finds them; pictures in the order of their names', () => {
  assert.deepEqual(kit.checkTitle('Vega, the star'), []);
  assert.deepEqual(kit.checkTitle('Vega \u20ac').map((f) => f.text), ['on the Windows 95 family her title shows as "Vega ?" ' +
    'in code page 932 (Japanese), which lacks some of its letters; on the NT family it shows as written']);
  // Where Windows has a best fit for a letter a code page lacks, she shows with it: "l" for "\u0142".
  assert.deepEqual(kit.checkTitle('Ma\u0142gorzata').map((f) => [f.severity, f.text]), [['warning',
    'on the Windows 95 family her title shows as "Ma?gorzata" in code pages 932 (Japanese), 936 (Simplified Chinese) ' +
    'and 950 (Traditional Chinese), and as "Malgorzata" in code pages 1251 (Cyrillic) and 1252 (Western), which lack ' +
    'some of its letters; on the NT family it shows as written']]);
  // Stored as written, in UTF-16, and counted so: 39 characters of any script are a title.
  const built = kit.buildGirl({ pictures: samplePictures(), title: 'Ma\u0142gorzata' });
  assert.equal(kit.readGirl(built.module.bytes, 'lumidoll.mal').title, 'Ma\u0142gorzata');
  assert.deepEqual(kit.checkTitle('\u661f'.repeat(39)).filter((f) => f.severity === 'refused'), []);
  assert.equal(kit.checkTitle('\u661f'.repeat(40))[0].severity, 'refused');
  assert.equal(kit.checkTitle('\u{1F338}'.repeat(39))[0].text, "the title has 78 characters; a girl's title may have at most 39");
  // Cyrillic and Japanese: in which code pages each does not show, and how it shows there.
  assert.deepEqual(kit.checkTitle('\u041c\u0438\u0440\u0430 \u0417\u0432\u0435\u0437\u0434\u0430').map((f) => f.text), [
    'on the Windows 95 family her title shows as "???? ??????" in code pages 950 (Traditional Chinese), ' +
    '1250 (Central European) and 1252 (Western), which lack some of its letters; on the NT family it shows as written']);
  assert.deepEqual(kit.checkTitle('\u661f\u7a7a\u306e\u30df\u30e9').map((f) => f.text), [
    'on the Windows 95 family her title shows as "\u661f\u7a7a???" in code page 950 (Traditional Chinese), and as "?????" ' +
    'in code pages 1250 (Central European), 1251 (Cyrillic) and 1252 (Western), which lack some of its letters; ' +
    'on the NT family it shows as written']);
  for (const good of ['lumidoll.aur', 'LUMIDOLL.X', 'lumidoll.n2b']) assert.deepEqual(kit.checkModuleName(good), [], good);
  for (const bad of ['lumidoll.', 'lumidoll.abcd', 'lumidoll (1).aur', 'nova.dll', 'lumidoll.a.b', 'lumidoll.a?', 'lumidoll.ab '])
    assert.equal(kit.checkModuleName(bad)[0]?.severity, 'refused', bad);
  assert.deepEqual(kit.orderPictures(['nova10.png', 'Nova2.png', 'nova1.png', 'nova02.png', 'a.png']),
                   ['a.png', 'nova1.png', 'Nova2.png', 'nova02.png', 'nova10.png']);
});

test('module files read as the checker reads them: each fault named', () => {
  const expected = {
    'lumidoll.kit': [],
    'lumidoll.mis': ['refused', 'GIRL9: missing'],
    'lumidoll.dep': ['refused', 'GIRL4: 24-bit'],
    'lumidoll.siz': ['refused', 'GIRL7: 48 x 60, not the size of GIRL1 (40 x 60)'],
    'lumidoll.hgt': ['refused', 'GIRL6: 40 x 72, not the size of GIRL1 (40 x 60)'],
    'lumidoll.wdt': ['refused', 'GIRL11: 52 x 60, not the size of GIRL1 (40 x 60)'],
    'lumidoll.bkg': ['warning', 'GIRL5: not surrounded by pure black'],
    'lumidoll.tit': ['refused', 'has 49 characters; the dialog shows only the first 39'],
    'lumidoll.txt': ['refused', 'lumidoll.txt is not a girl module: it does not start as a Windows program'],
    'lumidoll.emp': ['refused', 'lumidoll.emp is not a girl module: the file is empty'],
    'nova.dll': ['refused', '"nova.dll" is no girl module name'],
  };
  for (const [file, [severity, text] = []] of Object.entries(expected)) {
    const read = kit.readGirl(new Uint8Array(fs.readFileSync(path.join(KIT_FIXTURES, file))), file);
    if (!text) assert.deepEqual(read.findings, [], file);
    else assert.ok(read.findings.some((f) => f.severity === severity && f.text.includes(text)), `${file}: ${JSON.stringify(read.findings)}`);
  }
  const vga = kit.readGirl(new Uint8Array(fs.readFileSync(path.join(KIT_FIXTURES, 'lumidoll.vga'))), 'lumidoll.vga');
  assert.equal(vga.title, 'V\u00e9ga, l\'\u00e9toile');
  // A girl made with a table of her own, without the sky's range: one warning, about the whole of her.
  const old = kit.readGirl(new Uint8Array(fs.readFileSync(path.join(KIT_FIXTURES, 'lumidoll.ok'))), 'lumidoll.ok');
  assert.deepEqual(old.findings, [{ severity: 'warning', text: 'her colour table lacks the sky\'s colours at entries 213 to 255: ' +
                                                               'on a 256-colour display the sky shows in her colours while she dances' }]);
  assert.equal(old.refused, false);
  for (const sample of ['lumidoll.aur', 'lumidoll.mir', 'lumidoll.lyr'])
    assert.deepEqual(kit.readGirl(new Uint8Array(fs.readFileSync(path.join(GIRLS, sample))), sample).findings, [], sample);
});

test('files no author should make: a sentence each, never a hang or a throw', { timeout: 60000 }, () => {
  const expected = {
    'lumidoll.emp': 'the file is empty', 'lumidoll.rnd': 'it does not start as a Windows program',
    'lumidoll.trn': 'the file ends at byte 3,000, but its resource directory lies beyond it: it was cut short, copy it again',
    'lumidoll.nor': 'the title (string 1) is missing',
    'lumidoll.pst': 'but its resource directory lies beyond it: it is damaged, copy it again',
    'lumidoll.lop': 'resource directory: damaged: it is not of the three levels a library\'s has',
    'lumidoll.b24': 'GIRL1: 24-bit with 0 colours: it must be 8-bit with 256 colours',
    'lumidoll.mix': 'GIRL2: 80 x 30, not the size of GIRL1 (40 x 60)',
    'lumidoll.big': 'GIRL1: 4000 x 4000 pixels is larger than this kit handles (at most 2048 x 2048)',
    'lumidoll.ttl': 'has 300 characters; the dialog shows only the first 39',
    'lumidoll.row': 'GIRL5: damaged: its colour table or pixels run past the end of its resource',
  };
  for (const [file, text] of Object.entries(expected)) {
    const read = kit.readGirl(new Uint8Array(fs.readFileSync(path.join(HOSTILE, file))), file);
    assert.equal(read.refused, true, file);
    assert.ok(read.findings.some((f) => f.severity === 'refused' && f.text.includes(text)), `${file}: ${JSON.stringify(read.findings)}`);
  }
  // Every prefix of a good module, cut anywhere in its headers or directory: a sentence, no throw.
  const good = fs.readFileSync(path.join(KIT_FIXTURES, 'lumidoll.ok'));
  for (let length = 0; length < 2048; length += 7) {
    const read = kit.readGirl(new Uint8Array(good.subarray(0, length)), 'lumidoll.cut');
    assert.equal(read.refused, true, `cut at ${length}`);
  }
});

test('the preview: her 17 frames at ten a second, looping, each her bitmap pixel for pixel, and her sheet', () => {
  const sample = path.join(GIRLS, 'lumidoll.aur');
  says(run('preview', sample, work), 0, '17 frames at 10 a second');
  const gif = fs.readFileSync(path.join(work, 'lumidoll.aur.gif'));
  const blocks = gifBlocks(gif);
  assert.equal(blocks.loop, 0, 'loops forever');
  assert.deepEqual(blocks.delays, Array(17).fill(10), 'ten frames a second');
  const raw = execFileSync('convert', [path.join(work, 'lumidoll.aur.gif'), '-coalesce', '-depth', '8', 'rgb:-'], { maxBuffer: 1 << 26 });
  const size = 132 * 200 * 3;
  assert.equal(raw.length, 17 * size);
  samplePictures().forEach((picture, i) => {
    const rgb = Buffer.alloc(size);
    for (let p = 0; p < 132 * 200; p++) picture.rgba.subarray(4 * p, 4 * p + 3).forEach((v, c) => { rgb[3 * p + c] = v; });
    assert.ok(raw.subarray(i * size, (i + 1) * size).equals(rgb), `frame ${i + 1} is GIRL${i + 1}`);
  });
  const sheet = PNG.sync.read(fs.readFileSync(path.join(work, 'lumidoll.aur-sheet.png')));
  assert.deepEqual([sheet.width, sheet.height], [6 * 138 + 6, 3 * 220 + 6]);
  const first = samplePictures()[16];
  const x = 6 + 4 * 138, y = 6 + 2 * 220 + 14; // GIRL17: fifth in the third row, under its label
  for (const [px, py] of [[66, 100], [40, 150], [0, 0]])
    assert.deepEqual([...sheet.data.subarray(4 * ((y + py) * sheet.width + x + px), 4 * ((y + py) * sheet.width + x + px) + 3)],
                     [...first.rgba.subarray(4 * (py * 132 + px), 4 * (py * 132 + px) + 3)]);
  fs.writeFileSync(path.join(work, 'notes.txt'), 'not a module');
  says(run('preview', path.join(work, 'notes.txt'), work), 2, 'is not a girl module');
});

// A GIF's loop count and each frame's delay in hundredths of a second, read from its blocks.
function gifBlocks(gif) {
  let at = 13 + (gif[10] & 0x80 ? 3 << ((gif[10] & 7) + 1) : 0);
  const delays = [];
  let loop = null;
  const skipSubBlocks = () => { while (gif[at]) at += gif[at] + 1; at++; };
  while (gif[at] !== 0x3b) {
    if (gif[at] === 0x21) {
      if (gif[at + 1] === 0xf9) delays.push(gif.readUInt16LE(at + 4));
      if (gif[at + 1] === 0xff && gif.subarray(at + 3, at + 14).toString() === 'NETSCAPE2.0') loop = gif.readUInt16LE(at + 16);
      at += 2;
      skipSubBlocks();
    } else if (gif[at] === 0x2c) {
      const flags = gif[at + 9];
      at += 10 + (flags & 0x80 ? 3 << ((flags & 7) + 1) : 0) + 1;
      skipSubBlocks();
    } else {
      throw new Error(`no GIF block at ${at}`);
    }
  }
  return { loop, delays };
}
