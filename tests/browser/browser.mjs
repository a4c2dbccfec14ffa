// browser.mjs --- the girl maker page in Debian's headless Chromium, as an author's browser opens it
// from disk: files given to it, its findings, canvases and download read back.
import { chromium } from 'playwright-core';
import { readFile } from 'node:fs/promises';
import { basename } from 'node:path';
import { pathToFileURL } from 'node:url';

export const CHROMIUM = process.env.SKYFLARE_CHROMIUM || '/usr/bin/chromium';

export async function launch() {
  return chromium.launch({ executablePath: CHROMIUM, headless: true, args: ['--no-sandbox'] });
}

// The page opened from its file, with a clock the test drives when asked for (fake timers
// replace setTimeout and performance.now, so the loop steps only when the test says).
export async function openPage(browser, html, { drivenClock = false, viewport } = {}) {
  const context = await browser.newContext({ acceptDownloads: true, viewport: viewport || { width: 1200, height: 900 } });
  const page = await context.newPage();
  const errors = [];
  page.on('pageerror', (error) => errors.push(error.message));
  // The page works from its own file: anything it asks of a network is a fault too.
  page.on('request', (request) => {
    if (!/^(file|blob|data):/.test(request.url())) errors.push(`asked the network for ${request.url()}`);
  });
  if (drivenClock) await page.clock.install({ time: 0 });
  await page.goto(pathToFileURL(html).href);
  if (drivenClock) await page.clock.pauseAt(60000);
  page.errors = errors;
  return page;
}

// Files as the file picker gives them: { name, buffer } or a path.
export async function asFiles(items) {
  return Promise.all(items.map(async (item) =>
    typeof item === 'string'
      ? { name: basename(item), mimeType: 'application/octet-stream', buffer: await readFile(item) }
      : { mimeType: 'application/octet-stream', ...item }));
}

export async function givePictures(page, items) {
  await page.setInputFiles('#pick-pictures', await asFiles(items));
}

export async function openModule(page, item) {
  await page.setInputFiles('#pick-module', await asFiles([item]));
}

// Files dropped onto the page as from a file manager.
export async function dropFiles(page, items) {
  const files = (await asFiles(items)).map((f) => ({ name: f.name, data: f.buffer.toString('base64') }));
  await page.evaluate((given) => {
    const transfer = new DataTransfer();
    for (const { name, data } of given)
      transfer.items.add(new File([Uint8Array.from(atob(data), (c) => c.charCodeAt(0))], name));
    document.getElementById('drop').dispatchEvent(new DragEvent('drop', { dataTransfer: transfer, bubbles: true, cancelable: true }));
  }, files);
}

// Every finding shown, in page order: { severity, text, frame } (frame: the strip's number
// of the picture it stands beside, or null for the page's own list).
export async function findings(page) {
  return page.$$eval('.finding', (elements) => elements.map((e) => {
    const card = e.closest('.frame');
    return {
      severity: ['refused', 'warning', 'note', 'ready'].find((s) => e.classList.contains(s)),
      text: e.textContent,
      frame: card ? Number(card.querySelector('.number').textContent) : null,
    };
  }));
}

export async function waitForDownloadable(page, timeout = 30000) {
  await page.waitForSelector('#download:not([disabled])', { timeout });
}

// The module the Download button gives, as bytes.
export async function download(page) {
  const [file] = await Promise.all([page.waitForEvent('download'), page.click('#download')]);
  const path = await file.path();
  return { name: file.suggestedFilename(), bytes: await readFile(path) };
}

// A canvas's pixels as RGBA.
export async function canvasPixels(page, selector) {
  const { width, height, data } = await page.$eval(selector, (canvas) => {
    const context = canvas.getContext('2d');
    const image = context.getImageData(0, 0, canvas.width, canvas.height);
    let text = '';
    for (let i = 0; i < image.data.length; i += 0x8000)
      text += String.fromCharCode.apply(null, image.data.subarray(i, i + 0x8000));
    return { width: canvas.width, height: canvas.height, data: btoa(text) };
  });
  return { width, height, rgba: new Uint8Array(Buffer.from(data, 'base64')) };
}
