// browser-shims.js --- what the code page tables (iconv-lite) take from Node, for the page: its
// Buffer from the buffer package, and a string_decoder that the page never calls (it serves only
// the Unicode codecs; the page converts to and from the Windows code pages alone).
import { Buffer } from 'buffer';

export { Buffer };
export class StringDecoder {
  constructor() { throw new Error('string_decoder is not in the girl maker page'); }
}
