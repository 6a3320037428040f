#!/usr/bin/env node
// Writes the envelope of every request in REQUESTS, answered by the
// WebAssembly module through the JavaScript package, in the format of
// `envelope_snapshot.py run`, so that the two files compare byte for byte.
//
//   node tools/wasm_envelopes.mjs REQUESTS OUT [tersolite.wasm]
import { readFileSync, writeFileSync } from 'node:fs';
import { init, shrinkEnvelope } from '../bindings/js/tersolite.js';

const [requestsPath, outPath, wasmPath] = process.argv.slice(2);
if (!outPath) {
  console.error('usage: wasm_envelopes.mjs REQUESTS OUT [tersolite.wasm]');
  process.exit(2);
}
await init(wasmPath ? readFileSync(wasmPath) : undefined);

const data = readFileSync(requestsPath);
const view = new DataView(data.buffer, data.byteOffset, data.byteLength);
const strings = [];
for (let pos = 0; pos < data.length;) {
  const n = view.getUint32(pos, true);
  strings.push(data.subarray(pos + 4, pos + 4 + n));
  pos += 4 + n;
}
const encoder = new TextEncoder();
const out = [];
for (let i = 0; i + 1 < strings.length; i += 2) {
  const envelope = encoder.encode(shrinkEnvelope(strings[i], strings[i + 1]));
  const length = Buffer.alloc(4);
  length.writeUInt32LE(envelope.length);
  out.push(length, envelope);
}
writeFileSync(outPath, Buffer.concat(out));
console.error(`${out.length / 2} envelopes`);
