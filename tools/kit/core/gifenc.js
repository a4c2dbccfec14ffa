// gifenc.js --- gifenc's encoder and quantiser, reached the same way from Node and from a bundle.
import * as gifenc from 'gifenc';

// gifenc is CommonJS to Node and an ES module to a bundler: its functions sit in one or the other.
const library = gifenc.GIFEncoder ? gifenc : gifenc.default;
export const { GIFEncoder, quantize, applyPalette } = library;
