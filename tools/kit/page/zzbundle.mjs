import { build } from 'esbuild';
import { readFile, writeFile } from 'node:fs/promises';
const script = await build({ entryPoints: ['tools/kit/page/main.js'], bundle: true, format: 'esm', platform: 'browser',
  target: ['chrome109'], minify: false, write: false, logLevel: 'warning' });
let code = script.outputFiles[0].text.replace(/<\/(script)/gi, '<\\/$1');
code = code.replace("const read = await Promise.all(files.map((file) => readPicture(file, pictureLimits)));", "$&performance.mark('decoded');");
code = code.replace("const built = buildGirl(request);", "performance.mark('rebuild');$&performance.mark('built');");
code = code.replace("const shown = built.module ?", "performance.mark('tobytes');$&");
code = code.replace("state.result = {", "performance.mark('readback');$&");
code = code.replace("drawSheet(ui.sheet, result.shown);", "$&performance.mark('sheet');");
const style = await readFile('tools/kit/page/page.css', 'utf8');
const template = await readFile('tools/kit/page/index.html', 'utf8');
await writeFile('/tmp/page-debug2.html', template.replace('/*STYLE*/', () => style).replace('/*SCRIPT*/', () => code));
{
  let c = (await readFile('/tmp/page-debug2.html', 'utf8'));
  c = c.replace("  const { palette, indices } = quantise(frames.map((f) => f.rgba));", "performance.mark('fitted');$&performance.mark('quantised');");
  c = c.replace("  const bytes = writeLibrary({ bitmaps, strings: { 1: title } });", "performance.mark('dibs');$&performance.mark('library');");
  await writeFile('/tmp/page-debug3.html', c);
}
