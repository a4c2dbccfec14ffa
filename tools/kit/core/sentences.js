// sentences.js --- the kit's words, from the one file the checker's are made from too
// (tools/kit/sentences.json), so the page, the command line and lumidoll-check say the same.
import SENTENCES from '../sentences.json' with { type: 'json' };

/** The sentence of that name, each {slot} in it filled from values. */
export function sentence(name, values = {}) {
  const text = SENTENCES[name];
  if (text === undefined) throw new Error(`the kit has no sentence "${name}"`);
  return text.replace(/\{(\w+)\}/g, (whole, slot) => (slot in values ? String(values[slot]) : whole));
}
