// bundle.mjs --- makes the girl maker one self-contained HTML file: its script (page and kit core)
// and its style inline, so it opens from disk with no network.
// Usage: node tools/kit/page/bundle.mjs OUT.html
import { build } from 'esbuild';
import { readFile, writeFile, mkdir } from 'node:fs/promises';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const out = process.argv[2];
if (!out) {
  console.error('usage: node bundle.mjs OUT.html');
  process.exit(2);
}

const script = await build({
  entryPoints: [join(here, 'main.js')],
  bundle: true,
  format: 'esm',
  platform: 'browser',
  // What current Chromium, Edge, Firefox and Safari all run.
  target: ['chrome109', 'edge109', 'firefox115', 'safari16'],
  minify: true,
  legalComments: 'none',
  write: false,
  logLevel: 'warning',
});
const code = script.outputFiles[0].text.replace(/<\/(script)/gi, '<\\/$1');
const style = (await readFile(join(here, 'page.css'), 'utf8')).replace(/<\/(style)/gi, '<\\/$1');
const template = await readFile(join(here, 'index.html'), 'utf8');
// Function replacers: the script's own text may hold "$&" and the like.
const html = template.replace('/*STYLE*/', () => style).replace('/*SCRIPT*/', () => code);
await mkdir(dirname(out), { recursive: true });
await writeFile(out, html);
