import { chromium } from 'playwright-core';
import { PNG } from 'pngjs';
import { pathToFileURL } from 'node:url';
const [page, many] = process.argv.slice(2);
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
const totals = new Map();
for (let run = 0; run < 4; run++) {
  const context = await browser.newContext(); const tab = await context.newPage();
  await tab.goto(pathToFileURL(page).href);
  await tab.fill('#title', 'Bench, the timed dancer'); await tab.fill('#module-name', 'lumidoll.bch');
  const cdp = await context.newCDPSession(tab);
  await cdp.send('Profiler.enable'); await cdp.send('Profiler.setSamplingInterval', { interval: 100 }); await cdp.send('Profiler.start');
  await tab.setInputFiles('#pick-pictures', files);
  await tab.waitForSelector('#download:not([disabled])');
  const { profile } = await cdp.send('Profiler.stop');
  const marks = await tab.evaluate(() => { const all = performance.getEntriesByType('mark'); const g = all.filter(m=>m.name==='pictures-given').at(-1).startTime; return all.filter(m=>m.startTime>=g).map(m=>`${m.name} ${(m.startTime-g).toFixed(0)}`); });
  console.log(marks.join(', '));
  if (run === 0) continue;
  const byId = new Map(profile.nodes.map((n) => [n.id, n]));
  profile.samples.forEach((id, i) => { const n = byId.get(id); const k = `${n.callFrame.functionName || '(anon)'}:${n.callFrame.lineNumber}:${n.callFrame.columnNumber}`; totals.set(k, (totals.get(k) || 0) + profile.timeDeltas[i] / 1000); });
  await context.close();
}
[...totals].sort((a, b) => b[1] - a[1]).slice(0, 25).forEach(([k, v]) => console.log((v / 3).toFixed(1).padStart(7), k));
await browser.close();
