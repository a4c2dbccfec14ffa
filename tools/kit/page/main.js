// main.js --- the girl maker page: the author's pictures, title and name in, her module and its findings out.
import * as kit from '../core/index.js';
import { looksLikeModule, readPicture, moduleAsPictures } from './pictures.js';
import { frameImages, drawSheet, frameCanvas, createLoop } from './preview.js';

const $ = (id) => document.getElementById(id);
const ui = {
  drop: $('drop'), pickPictures: $('pick-pictures'), pickModule: $('pick-module'), clear: $('clear'),
  title: $('title'), titleCount: $('title-count'), moduleName: $('module-name'), fit: $('fit'),
  download: $('download'), findings: $('findings'), strip: $('strip'), sheet: $('sheet'),
  previews: $('previews'), sheetSection: $('sheet-section'),
};

// What the author has given so far. Each entry of `pictures` is one file in play order:
// { key, name, width, height, rgba } once decoded, or { key, name, error } when unreadable.
const state = {
  pictures: [],
  reordered: false,  // once moved by hand, new pictures go to the end instead of by name
  opened: null,      // { name, findings } of a module opened to be seen and rebuilt
  result: null,      // what the last build gave
};
let nextKey = 1;

const loop = createLoop($('preview-1x'), $('preview-2x'));

// ---- the author's files

async function addFiles(fileList) {
  const files = Array.from(fileList);
  if (!files.length) return;
  performance.mark('pictures-given');
  const modules = files.filter((f) => looksLikeModule(f.name));
  if (modules.length === 1 && files.length === 1) {
    await openModule(modules[0]);
    return;
  }
  if (state.opened) {
    state.opened = null;
    state.pictures = [];
  }
  const read = await Promise.all(files.map((file) => readPicture(file, kit.pictureLimits)));
  for (const picture of read) {
    picture.key = nextKey++;
    // A picture of the same name replaces the one given before: a frame exported anew.
    const same = state.pictures.findIndex((p) => p.name === picture.name);
    if (same >= 0) state.pictures[same] = picture;
    else state.pictures.push(picture);
  }
  if (!state.reordered) {
    const place = new Map(kit.orderPictures(state.pictures.map((p) => p.name)).map((name, i) => [name, i]));
    state.pictures.sort((a, b) => place.get(a.name) - place.get(b.name));
  }
  rebuild();
}

async function openModule(file) {
  const bytes = new Uint8Array(await file.arrayBuffer());
  const opened = kit.readGirl(bytes, file.name);
  state.opened = { name: file.name, findings: opened.findings };
  state.reordered = false;
  state.pictures = opened.module ? moduleAsPictures(opened.module).map((p) => ({ ...p, key: nextKey++ })) : [];
  ui.title.value = opened.title || '';
  ui.moduleName.value = file.name;
  rebuild();
}

// ---- building and showing

function rebuild() {
  const request = {
    pictures: state.pictures.map(({ name, width, height, rgba, error }) =>
      (error ? { name, error } : { name, width, height, rgba })),
    title: ui.title.value,
    moduleName: ui.moduleName.value.trim(),
    fit: ui.fit.value,
  };
  const built = kit.buildGirl(request, drawn(request));
  // Each finding beside the picture it concerns (its place in the strip), the rest above.
  const keyOf = (f) => {
    const place = f.picture || f.frame;
    return place && state.pictures[place - 1] ? state.pictures[place - 1].key : null;
  };
  const findings = [];
  if (state.opened)
    for (const f of state.opened.findings) findings.push({ ...f, key: keyOf(f) });
  for (const f of built.findings) findings.push({ ...f, key: keyOf(f) });
  const refused = findings.some((f) => f.severity === 'refused');
  // Drawn from the very table and indices written into her bitmaps (while only her title or
  // name is refused, into the module she would be): the frames the saver reads from the module's
  // bytes. Reading her back here would only make them again, at a tenth of her build's time.
  const shown = built.module || built.preview;
  state.result = { findings, refused, bytes: refused ? null : built.module && built.module.bytes,
                   moduleName: request.moduleName, shown };
  show();
}

// Her frames, table and bitmaps, kept while her pictures and their fit stay the same: a key
// typed in her title or name then costs only her module's bytes, not the whole girl again.
let kept = { pictures: null, fit: null, drawn: null };
function drawn({ pictures, fit }) {
  const keys = state.pictures.map((p) => p.key).join(' ');
  if (kept.pictures !== keys || kept.fit !== fit) kept = { pictures: keys, fit, drawn: kit.drawGirl(pictures, fit) };
  return kept.drawn;
}

// The frames the contact sheet and the strip show now: while they are the very same, as when
// only her title or name changed, neither is drawn again.
let sheetFrames = null;

function show() {
  const { result } = state;
  const images = result.shown ? frameImages(result.shown) : [];
  loop.play(images);
  if (images.length) performance.mark('first-preview-frame');
  const frames = result.shown ? result.shown.frames : null;
  if (!frames || frames !== sheetFrames) {
    drawSheet(ui.sheet, result.shown);
    showStrip(images, result.findings);
  }
  sheetFrames = frames;
  ui.previews.hidden = ui.sheetSection.hidden = !images.length;
  showFindings(result.findings.filter((f) => f.key === null));
  ui.titleCount.textContent = `${ui.title.value.length} of ${kit.MAX_TITLE}`;
  const ready = Boolean(result.bytes);
  ui.download.disabled = !ready;
  ui.download.textContent = ready ? `Download ${result.moduleName}` : 'Download';
  if (ready) performance.mark('download-ready');
}

function findingElement(finding) {
  const element = document.createElement('p');
  element.className = `finding ${finding.severity}`;
  element.textContent = finding.text;
  return element;
}

function showFindings(findings) {
  if (!state.pictures.length && !state.opened) {
    // Nothing given yet: what to do first, rather than all that is still missing.
    ui.findings.replaceChildren(findingElement({ severity: 'note',
      text: `Give her ${kit.FRAMES} pictures to begin: her frames in play order, on pure black.` }));
    return;
  }
  ui.findings.replaceChildren(...findings.map(findingElement));
  if (state.result.bytes) {
    const ready = findingElement({ severity: 'ready', text: readySentence() });
    ui.findings.prepend(ready);
  }
}

function readySentence() {
  const { shown, moduleName } = state.result;
  return `${moduleName} is ready: ${shown.frames.length} frames of ${shown.width} x ${shown.height}, ` +
    'shown below as the saver will show her.';
}

// ---- the numbered strip, reordered by dragging or from the keyboard

let dragged = null;

function showStrip(images, findings) {
  const cards = state.pictures.map((picture, place) => {
    const card = document.createElement('li');
    card.className = 'frame';
    card.draggable = true;
    card.tabIndex = 0;  // focused, the arrow keys move it one place (for authors without a mouse)
    card.dataset.key = picture.key;
    card.setAttribute('aria-label', `Frame ${place + 1}, ${picture.name}`);
    const top = document.createElement('div');
    top.className = 'top';
    const number = document.createElement('span');
    number.className = 'number';
    number.textContent = String(place + 1);
    const name = document.createElement('span');
    name.className = 'name';
    name.textContent = picture.name;
    name.title = picture.name;
    const remove = document.createElement('button');
    remove.type = 'button';
    remove.className = 'remove';
    remove.textContent = '\u00d7';
    remove.title = `Take ${picture.name} out`;
    remove.addEventListener('click', () => {
      state.pictures = state.pictures.filter((p) => p.key !== picture.key);
      rebuild();
    });
    top.append(number, name, remove);
    card.append(top);
    // Her frame from the module where there is one; until then the picture as it was read.
    const image = images[place] ||
      (picture.rgba && new ImageData(new Uint8ClampedArray(picture.rgba), picture.width, picture.height));
    if (image) {
      const thumb = document.createElement('div');
      thumb.className = 'thumb';
      thumb.append(frameCanvas(image));
      card.append(thumb);
    }
    for (const f of findings) if (f.key === picture.key) card.append(findingElement(f));
    card.addEventListener('dragstart', (event) => {
      dragged = picture.key;
      card.classList.add('dragging');
      event.dataTransfer.effectAllowed = 'move';
      event.dataTransfer.setData('text/plain', picture.name);
    });
    card.addEventListener('keydown', (event) => {
      const step = { ArrowLeft: -1, ArrowUp: -1, ArrowRight: 1, ArrowDown: 1 }[event.key];
      const to = place + (step || 0);
      if (!step || event.target !== card || to < 0 || to >= state.pictures.length) return;
      event.preventDefault();
      movePicture(picture.key, state.pictures[to].key);
      const moved = ui.strip.querySelector(`[data-key="${picture.key}"]`);
      if (moved) moved.focus();
    });
    card.addEventListener('dragend', () => { dragged = null; card.classList.remove('dragging'); });
    card.addEventListener('dragover', (event) => {
      if (dragged === null) return;
      event.preventDefault();
      card.classList.add('target');
    });
    card.addEventListener('dragleave', () => card.classList.remove('target'));
    card.addEventListener('drop', (event) => {
      if (dragged === null) return;
      event.preventDefault();
      event.stopPropagation();
      movePicture(dragged, picture.key);
    });
    return card;
  });
  ui.strip.replaceChildren(...cards);
}

// Puts the moved picture where the target one is, the rest moving up or down one place.
function movePicture(fromKey, toKey) {
  const from = state.pictures.findIndex((p) => p.key === fromKey);
  const to = state.pictures.findIndex((p) => p.key === toKey);
  dragged = null;
  if (from < 0 || to < 0 || from === to) return;
  const [moved] = state.pictures.splice(from, 1);
  state.pictures.splice(to, 0, moved);
  state.reordered = true;
  rebuild();
}

// ---- the download: the very bytes the preview was drawn from

ui.download.addEventListener('click', () => {
  const { result } = state;
  if (!result || !result.bytes) return;
  const url = URL.createObjectURL(new Blob([result.bytes], { type: 'application/octet-stream' }));
  const link = document.createElement('a');
  link.href = url;
  link.download = result.moduleName;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(url), 60000);
});

// ---- wiring

ui.pickPictures.addEventListener('change', () => { addFiles(ui.pickPictures.files); ui.pickPictures.value = ''; });
ui.pickModule.addEventListener('change', () => {
  const [file] = ui.pickModule.files;
  ui.pickModule.value = '';
  if (file) openModule(file);
});
ui.clear.addEventListener('click', () => {
  state.pictures = [];
  state.opened = null;
  state.reordered = false;
  rebuild();
});
for (const field of [ui.title, ui.moduleName]) field.addEventListener('input', rebuild);
ui.fit.addEventListener('change', rebuild);

// Files dropped anywhere on the page are taken; a frame dragged within the strip is not a file.
document.addEventListener('dragover', (event) => {
  if (dragged !== null) return;
  event.preventDefault();
  ui.drop.classList.add('over');
});
document.addEventListener('dragleave', (event) => {
  if (!event.relatedTarget) ui.drop.classList.remove('over');
});
document.addEventListener('drop', (event) => {
  ui.drop.classList.remove('over');
  if (dragged !== null) return;
  event.preventDefault();
  if (event.dataTransfer && event.dataTransfer.files.length) addFiles(event.dataTransfer.files);
});

rebuild();
