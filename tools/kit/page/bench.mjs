// bench.mjs --- how long the girl maker page takes in headless Chromium, from her 17 pictures given
// to her download ready and to her loop's first frame, and for a key typed in her title then, at
// the sample girls' size and at 640 x 480.
// Usage: node tools/kit/page/bench.mjs PAGE.html [runs]
import { chromium } from 'playwright-core';
import { PNG } from 'pngjs';
import { pathToFileURL } from 'node:url';

const [page, runsArgument] = process.argv.slice(2);
if (!page) {
  console.error('usage: node bench.mjs PAGE.html [runs]');
  process.exit(2);
}
const runs = Number(runsArgument) || 5;

// 17 frames of a figure on black: drawn (144 colours, taken as they are) or photographed
// (thousands, reduced to the 212 entries below the sky's range).
function pictures(width, height, many) {
  return Array.from({ length: 17 }, (_, i) => {
    const image = new PNG({ width, height });
    for (let y = 0; y < height; y++)
      for (let x = 0; x < width; x++) {
        const o = 4 * (y * width + x);
        const inside = x > width / 5 + i && x < width * 4 / 5 && y > height / 8 && y < height * 7 / 8;
        const colour = !inside ? [0, 0, 0] : many ? [(x * 3 + i) & 255, (y * 5) & 255, (x * y + i * 31) & 255]
                                                 : [200 + 4 * (((x >> 3) + i) % 12), 90 + 8 * ((y >> 4) % 12), 160];
        image.data.set([...colour, 255], o);
      }
    return { name: `frame${i + 1}.png`, mimeType: 'image/png', buffer: PNG.sync.write(image) };
  });
}

const median = (values) => [...values].sort((a, b) => a - b)[values.length >> 1];

const browser = await chromium.launch({ executablePath: process.env.SKYFLARE_CHROMIUM || '/usr/bin/chromium',
                                        headless: true, args: ['--no-sandbox'] });
try {
  const cases = [['132 x 200, drawn', 132, 200, false], ['132 x 200, photographed', 132, 200, true],
                 ['640 x 480, drawn', 640, 480, false], ['640 x 480, photographed', 640, 480, true]];
  console.log(`girl maker page in headless Chromium, median of ${runs} runs, from her 17 pictures given:`);
  for (const [label, width, height, many] of cases) {
    const files = pictures(width, height, many);
    const ready = [], first = [], typed = [];
    for (let run = 0; run < runs; run++) {
      const context = await browser.newContext();
      const tab = await context.newPage();
      await tab.goto(pathToFileURL(page).href);
      await tab.fill('#title', 'Bench, the timed dancer');
      await tab.fill('#module-name', 'lumidoll.bch');
      await tab.setInputFiles('#pick-pictures', files);
      await tab.waitForSelector('#download:not([disabled])', { timeout: 120000 });
      const marks = await tab.evaluate(() => {
        const all = performance.getEntriesByType('mark');
        const given = all.filter((m) => m.name === 'pictures-given').at(-1).startTime;
        const after = (name) => all.find((m) => m.name === name && m.startTime >= given).startTime - given;
        return { ready: after('download-ready'), first: after('first-preview-frame') };
      });
      ready.push(marks.ready);
      first.push(marks.first);
      // One more letter of her title, as typed: the page rebuilds her module before it answers.
      typed.push(await tab.evaluate(() => {
        const title = document.getElementById('title');
        const start = performance.now();
        title.value += 's';
        title.dispatchEvent(new Event('input'));
        return performance.now() - start;
      }));
      await context.close();
    }
    const line = `  ${label.padEnd(26)} download ready ${median(ready).toFixed(0).padStart(5)} ms, ` +
                 `first preview frame ${median(first).toFixed(0).padStart(5)} ms, ` +
                 `a key typed in her title ${median(typed).toFixed(0).padStart(4)} ms`;
    console.log(line);
    console.log(`BENCH page=${width}x${height}${many ? '-photo' : ''} ready_ms=${median(ready).toFixed(1)} first_frame_ms=${median(first).toFixed(1)} title_key_ms=${median(typed).toFixed(1)}`);
  }
} finally {
  await browser.close();
}
