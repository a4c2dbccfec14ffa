// bench.mjs --- how long the kit's core takes to build a girl from 17 pictures, at the sample
// girls' size and at 640 x 480, of few colours (as drawn) and of many (as photographed).
import { performance } from 'node:perf_hooks';
import { buildGirl, previewGif } from './core/index.js';

function pictures(width, height, many) {
  return Array.from({ length: 17 }, (_, i) => {
    const rgba = new Uint8ClampedArray(width * height * 4);
    for (let y = 0; y < height; y++)
      for (let x = 0; x < width; x++) {
        const o = 4 * (y * width + x);
        const inside = x > width / 5 && x < width * 4 / 5 && y > height / 8 && y < height * 7 / 8;
        if (inside) rgba.set(many ? [(x * 3 + i) & 255, (y * 5) & 255, (x * y + i * 31) & 255, 255]
                                  : [200 + (((x >> 3) + i) % 40), 90 + ((y >> 4) % 60), 160, 255], o);
        else rgba[o + 3] = 255;
      }
    return { name: `frame${i + 1}.png`, width, height, rgba };
  });
}

for (const [width, height] of [[132, 200], [640, 480]]) {
  for (const many of [false, true]) {
    const input = pictures(width, height, many);
    const times = [];
    let gif = 0;
    for (let round = 0; round < 3; round++) {
      const started = performance.now();
      const { module } = buildGirl({ pictures: input, title: 'Bench', moduleName: 'lumidoll.bch' });
      times.push(performance.now() - started);
      const gifStarted = performance.now();
      previewGif(module);
      gif = performance.now() - gifStarted;
    }
    console.log(`17 pictures of ${width} x ${height}, ${many ? 'nearly a colour a pixel (photographed)' : 'a few thousand colours (drawn)'}: ` +
                `build ${Math.min(...times).toFixed(0)} ms (best of 3; first ${times[0].toFixed(0)} ms), preview GIF ${gif.toFixed(0)} ms`);
  }
}
