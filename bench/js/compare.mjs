// The WebAssembly package beside the native library, both called from
// Node.js in one process: size, start-up, and per-call time.
//
//   npm ci --prefix bench/js    # koffi, to call the native library
//   node bench/js/compare.mjs LIBTERSOLITE.so [RUNS] FILE...
//
// Each call is timed as a Node.js host sees it: document bytes in, envelope
// text out. Native and WebAssembly calls alternate, and each pair gives a
// ratio, so that the machine's drift during a run moves both sides alike;
// the table shows medians, and the ratio of the fastest calls on each side
// (the steadier figure on a busy machine). Start-up is the median over five fresh processes
// of compiling and instantiating the module from its bytes.
import { execFileSync } from 'node:child_process';
import { readFileSync } from 'node:fs';
import { basename } from 'node:path';
import { gzipSync } from 'node:zlib';
import koffi from 'koffi';
import { init, shrinkEnvelope } from '../../bindings/js/tersolite.js';

const args = process.argv.slice(2);
if (args[0] === '--start-up') {
  const bytes = readFileSync(args[1]);
  const start = performance.now();
  await init(bytes);
  console.log(performance.now() - start);
  process.exit(0);
}
const [libPath, ...rest] = args;
const runs = /^\d+$/.test(rest[0] ?? '') ? Number(rest.shift()) : 9;
if (!libPath || rest.length === 0) {
  console.error('usage: compare.mjs LIBTERSOLITE.so [RUNS] FILE...');
  process.exit(2);
}

const wasmUrl = new URL('../../bindings/js/tersolite.wasm', import.meta.url);
const wasm = readFileSync(wasmUrl);
const median = (xs) => [...xs].sort((a, b) => a - b)[xs.length >> 1];

const lib = koffi.load(libPath);
const nativeShrink = lib.func('void *tersolite_shrink(const uint8_t *input, size_t input_len, ' +
  'const uint8_t *options, size_t options_len, _Out_ size_t *out_len)');
const nativeFree = lib.func('void tersolite_free(void *ptr, size_t len)');
const decoder = new TextDecoder();
function native(doc, options) {
  const optionBytes = Buffer.from(options);
  const outLen = [0];
  const ptr = nativeShrink(doc, doc.length, optionBytes, optionBytes.length, outLen);
  const text = decoder.decode(koffi.view(ptr, outLen[0]));
  nativeFree(ptr, outLen[0]);
  return text;
}

await init(wasm);
const starts = Array.from({ length: 5 }, () =>
  Number(execFileSync(process.execPath, [new URL(import.meta.url).pathname, '--start-up', wasmUrl.pathname])));

const requests = [
  ['fits as written', '{"max_chars":1000000000}'],
  ['sample to 10,000', '{"max_chars":10000}'],
  ['condense to 10,000', '{"max_chars":10000,"array_strategy":"condense"}'],
];
const rows = [];
for (const file of rest) {
  const doc = readFileSync(file);
  for (const [name, options] of requests) {
    if (native(doc, options) !== shrinkEnvelope(doc, options)) throw new Error(`${file} ${name}: envelopes differ`);
    // Warm-up calls: V8 starts with baseline code and optimises hot
    // functions in the background.
    for (let i = 0; i < 3; i++) shrinkEnvelope(doc, options);
    const n = [], w = [], ratio = [];
    for (let i = 0; i < runs; i++) {
      let t = performance.now();
      native(doc, options);
      n.push(performance.now() - t);
      t = performance.now();
      shrinkEnvelope(doc, options);
      w.push(performance.now() - t);
      ratio.push(w[i] / n[i]);
    }
    const best = (xs) => Math.min(...xs);
    rows.push(`| ${basename(file)} | ${name} | ${median(n).toFixed(2)} ms | ${median(w).toFixed(2)} ms | ` +
      `${median(ratio).toFixed(2)}× | ${(best(w) / best(n)).toFixed(2)}× |`);
  }
}

console.log(`module: ${wasm.length} bytes, ${gzipSync(wasm, { level: 9 }).length} gzipped (-9)`);
console.log(`compile + instantiate: median ${median(starts).toFixed(1)} ms (${starts.map((s) => s.toFixed(1)).join(', ')})`);
console.log('\n| document | request | native | WebAssembly | WebAssembly / native | fastest / fastest |');
console.log('|---|---|---:|---:|---:|---:|');
console.log(rows.join('\n'));
