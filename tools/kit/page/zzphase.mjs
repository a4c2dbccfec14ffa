import { chromium } from 'playwright-core';
import { PNG } from 'pngjs';
import { pathToFileURL } from 'node:url';
const [page, many, runs = 9] = process.argv.slice(2);
function pictures(width, height, many) {
  return Array.from({ length: 17 }, (_, i) => {
    const image = new PNG({ width, height });
    for (let y = 0; y < height; y++) for (let x = 0; x < width; x++) {
      const o = 4 * (y * width + x);
      const inside = x > width / 5 + i && x < width * 4 / 5 && y > height / 8 && y < height * 7 / 8;
      const colour = !inside ? [0, 0, 0] : many ? [(x * 3 + i) & 255, (y * 5) & 255, (x * y + i * 31) & 255]
                                               : [200 + 4 * (((x >> 3) + i) % 12), 90 + 8 * ((y >> 4) % 12), 160];
      image.data.set([...colour, 255], o);
    }
    return { name: `frame${i + 1}.png`, mimeType: 'image/png', buffer: PNG.sync.write(image) };
  });
}
const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', headless: true, args: ['--no-sandbox'] });
const files = pictures(132, 200, many === '1');
const all = {};
for (let run = 0; run < Number(runs); run++) {
  const context = await browser.newContext(); const tab = await context.newPage();
  await tab.goto(pathToFileURL(page).href);
  await tab.fill('#title', 'Bench, the timed dancer'); await tab.fill('#module-name', 'lumidoll.bch');
  await tab.setInputFiles('#pick-pictures', files);
  await tab.waitForSelector('#download:not([disabled])');
  const marks = await tab.evaluate(() => { const a = performance.getEntriesByType('mark'); const g = a.filter(m=>m.name==='pictures-given').at(-1).startTime; const out = {}; for (const m of a) if (m.startTime >= g && !(m.name in out)) out[m.name] = m.startTime - g; return out; });
  for (const [k, v] of Object.entries(marks)) (all[k] ||= []).push(v);
  await context.close();
}
for (const [k, v] of Object.entries(all)) console.log(k.padEnd(22), 'min', Math.min(...v).toFixed(0).padStart(5), 'median', [...v].sort((a,b)=>a-b)[v.length>>1].toFixed(0).padStart(5));
await browser.close();
