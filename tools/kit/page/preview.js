// preview.js --- her loop, her frames and her contact sheet, drawn from the module's own 8-bit frames.
import { contactSheet, TICK_MS } from '../core/index.js';

// Her frames as canvas pixels: the module's frames as the saver shows them, RGBA at GIRL1's size
// (the kit's own arrays, which nothing changes afterwards).
export function frameImages(module) {
  return module.frames.map((rgba) => new ImageData(rgba, module.width, module.height));
}

function sized(canvas, width, height) {
  if (canvas.width !== width) canvas.width = width;
  if (canvas.height !== height) canvas.height = height;
  const context = canvas.getContext('2d');
  context.imageSmoothingEnabled = false;
  return context;
}

// Her contact sheet, the very one the command line writes, or nothing while there is no girl.
export function drawSheet(canvas, module) {
  if (!module) {
    sized(canvas, 1, 1).clearRect(0, 0, 1, 1);
    return;
  }
  const sheet = contactSheet(module);
  sized(canvas, sheet.width, sheet.height).putImageData(new ImageData(sheet.rgba, sheet.width, sheet.height), 0, 0);
}

// One frame as a small canvas for the strip.
export function frameCanvas(image) {
  const canvas = document.createElement('canvas');
  sized(canvas, image.width, image.height).putImageData(image, 0, 0);
  return canvas;
}

// The loop on two canvases, pixel for pixel and doubled with whole pixels. It starts at
// frame 1 whenever it is given new frames and steps on the saver's period by the page's
// clock (setTimeout and performance.now, which a test can drive).
export function createLoop(canvas1x, canvas2x) {
  let images = [];
  let started = 0;
  let timer = 0;
  let shown = -1;

  function show(index) {
    const image = images[index];
    sized(canvas1x, image.width, image.height).putImageData(image, 0, 0);
    const big = sized(canvas2x, image.width * 2, image.height * 2);
    big.drawImage(canvas1x, 0, 0, image.width * 2, image.height * 2);
    canvas1x.dataset.frame = canvas2x.dataset.frame = String(index + 1);
    shown = index;
  }

  function tick() {
    timer = 0;
    if (!images.length) return;
    const elapsed = performance.now() - started;
    const step = Math.floor(elapsed / TICK_MS);
    const index = step % images.length;
    if (index !== shown) show(index);
    timer = setTimeout(tick, (step + 1) * TICK_MS - elapsed);
  }

  return {
    play(newImages) {
      clearTimeout(timer);
      images = newImages;
      shown = -1;
      if (!images.length) {
        for (const canvas of [canvas1x, canvas2x]) {
          sized(canvas, 1, 1).clearRect(0, 0, 1, 1);
          delete canvas.dataset.frame;
        }
        return;
      }
      started = performance.now();
      tick();
    },
  };
}
