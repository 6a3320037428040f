import test from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { fileURLToPath } from 'node:url';

import * as tersolite from '../tersolite.js';

const wasmUrl = new URL('../tersolite.wasm', import.meta.url);
const wasmBytes = readFileSync(wasmUrl);
const packageVersion = JSON.parse(readFileSync(new URL('../package.json', import.meta.url))).version;

// A fresh copy of the package, with nothing loaded yet.
let copies = 0;
const freshCopy = () => import(`../tersolite.js?copy=${++copies}`);

const issues = Array.from({ length: 40 }, (_, i) => ({
  id: 1000 + i,
  title: `Crash number ${i} when exporting reports`,
  state: i % 3 ? 'open' : 'closed',
  user: { login: `dev${i % 4}`, avatar_url: `https://example.com/a/${i}.png` },
  body: 'Steps to reproduce: open the page, press export and wait. '.repeat(4),
}));
const issuesJson = JSON.stringify(issues);

await tersolite.init();

test('init loads the module from every kind of source', async () => {
  const expected = tersolite.shrinkEnvelope(issuesJson, '{"max_chars":500}');
  const sources = {
    nothing: undefined,
    'a file URL': wasmUrl,
    'a file path': fileURLToPath(wasmUrl),
    'a Buffer': wasmBytes,
    'an ArrayBuffer': wasmBytes.buffer.slice(wasmBytes.byteOffset, wasmBytes.byteOffset + wasmBytes.length),
    'a WebAssembly.Module': new WebAssembly.Module(wasmBytes),
    'a Response': new Response(wasmBytes, { headers: { 'content-type': 'application/wasm' } }),
    'a Response of another type': new Response(wasmBytes),
    'a promise of a Response': Promise.resolve(new Response(wasmBytes)),
  };
  for (const [name, source] of Object.entries(sources)) {
    const copy = await freshCopy();
    await copy.init(source);
    assert.equal(copy.shrinkEnvelope(issuesJson, '{"max_chars":500}'), expected, name);
  }
});

test('of two loads under way, the one asked for last is kept', async () => {
  const copy = await freshCopy();
  const slow = new Promise((resolve) => setTimeout(() => resolve(new Response(wasmBytes)), 50));
  await Promise.all([copy.init(slow), copy.init(trappingModule())]);
  assert.equal(copy.shrinkEnvelope('[]'), '{"ok":false,"error":"internal error (panic) in tersolite"}');
});

test('a failed init says why and may be retried', async () => {
  const copy = await freshCopy();
  assert.throws(() => copy.shrink('[]'), /await init\(\) first/);
  const failures = [
    [42, { name: 'TypeError' }],
    [new Response('missing', { status: 404, statusText: 'Not Found' }), /HTTP 404 Not Found/],
    [new Uint8Array([0, 97, 115, 109]), { name: 'CompileError' }],
    [new URL('../no-such.wasm', import.meta.url), { code: 'ENOENT' }],
  ];
  for (const [source, expected] of failures) await assert.rejects(copy.init(source), expected);
  await copy.init();
  assert.equal(copy.shrink([1]).text, '[\n  1\n]');
});

test('documents of every kind give the same text', () => {
  const bytes = new TextEncoder().encode(issuesJson);
  const padded = new Uint8Array(bytes.length + 6);
  padded.set(bytes, 3);
  const expected = tersolite.shrink(issuesJson, { maxChars: 900 }).text;
  const docs = {
    value: issues,
    string: issuesJson,
    Buffer: Buffer.from(issuesJson),
    Uint8Array: bytes,
    ArrayBuffer: bytes.buffer,
    'a view into a larger buffer': new DataView(padded.buffer, 3, bytes.length),
  };
  for (const [name, doc] of Object.entries(docs)) {
    assert.equal(tersolite.shrink(doc, { maxChars: 900 }).text, expected, name);
  }
  assert.equal(tersolite.shrink(null).text, 'null');
  assert.equal(tersolite.shrink('name: tersolite\nitems: [1, 2]\n').text, 'name: tersolite\nitems:\n  - 1\n  - 2\n');
  for (const doc of [undefined, () => 1, Symbol('s')]) {
    assert.throws(() => tersolite.shrink(doc), { name: 'TypeError' });
  }
  assert.throws(() => tersolite.shrink({ n: 1n }), { name: 'TypeError' });
});

test('options in camelCase or as written', () => {
  const same = [
    [{ maxChars: 700, arrayStrategy: 'condense' }, { max_chars: 700, array_strategy: 'condense' }],
    [{ query: 'crash export' }, { arguments: { query: 'crash export' } }],
    [null, {}],
    [undefined, {}],
    [{ maxChars: undefined }, {}],
  ];
  for (const [a, b] of same) {
    assert.deepEqual(tersolite.shrink(issues, a), tersolite.shrink(issues, b), JSON.stringify(a));
  }
  const refused = [
    [{ maxChars: 10, max_chars: 10 }, /max_chars given twice/],
    [{ query: 'x', arguments: {} }, /arguments given twice/],
    [[1], /options must be an object/],
    ['{}', /options must be an object/],
    [5, /options must be an object/],
  ];
  for (const [options, message] of refused) {
    assert.throws(() => tersolite.shrink(issues, options), { name: 'TypeError', message }, JSON.stringify(options));
  }
});

test('errors throw the library\'s message', () => {
  const cases = [
    [[1], { maxChars: -1 }, 'invalid options: max_chars must be a non-negative integer'],
    [[1], { bogus: 1 }, 'invalid options: unknown option: bogus'],
    [Buffer.from([0xff]), {}, 'input is not valid UTF-8'],
    ['{"a": 1,}', {}, 'invalid JSON input: expected string key at line 1, column 9'],
    ['['.repeat(600) + ']'.repeat(600), {}, null],
  ];
  for (const [doc, options, message] of cases) {
    assert.throws(() => tersolite.shrink(doc, options), (e) => {
      assert.ok(e instanceof tersolite.TersoliteError);
      assert.equal(e.name, 'TersoliteError');
      if (message) assert.equal(e.message, message);
      return true;
    });
  }
  const deep = '['.repeat(512) + ']'.repeat(512);
  assert.equal(tersolite.shrink(deep).report.output_chars > 0, true);
});

test('shrinkEnvelope hands text and bytes over unchanged', () => {
  const encode = (s) => new TextEncoder().encode(s);
  const text = '{"a": "Été 東京"}';
  const expected = tersolite.shrinkEnvelope(text, '{"max_chars":12}');
  assert.match(expected, /^\{"ok":true,"text":/);
  for (const [input, options] of [
    [encode(text), encode('{"max_chars":12}')],
    [encode(text).buffer, '{"max_chars":12}'],
    [text, { maxChars: 12 }],
  ]) {
    assert.equal(tersolite.shrinkEnvelope(input, options), expected);
  }
  assert.equal(tersolite.shrinkEnvelope('[1]'), tersolite.shrinkEnvelope('[1]', '{}'));
  const invalid = '{"ok":false,"error":"input is not valid UTF-8"}';
  const cases = [
    ['"\ud800"', '{}', invalid],            // a lone surrogate is not passed on as U+FFFD
    ['["a\udc00b"]', '{}', invalid],
    ['"\ud83d\ude00"', '{}', null],          // a pair is one character
    ['[1]', new Uint8Array([0xff]), '{"ok":false,"error":"options are not valid UTF-8"}'],
    ['[1]', '', /"ok":false/],
    ['', '{}', /"ok":false/],
  ];
  // With String.prototype.isWellFormed, and without it (Node.js 18).
  const isWellFormed = String.prototype.isWellFormed;
  for (const native of [true, false]) {
    if (!native) delete String.prototype.isWellFormed;
    try {
      for (const [input, options, want] of cases) {
        const envelope = tersolite.shrinkEnvelope(input, options);
        if (want === null) assert.match(envelope, /^\{"ok":true/);
        else if (typeof want === 'string') assert.equal(envelope, want, input);
        else assert.match(envelope, want);
      }
    } finally {
      String.prototype.isWellFormed = isWellFormed;
    }
  }
  assert.throws(() => tersolite.shrinkEnvelope(42), { name: 'TypeError' });
  assert.throws(() => tersolite.shrinkEnvelope('[]', 42), { name: 'TypeError' });
});

// A stand-in module whose shrink traps the first time an instance is
// called and answers "[]" after that: a trap must cost its instance.
function trappingModule() {
  const u32 = (n) => { const out = []; do { let b = n & 127; n >>>= 7; if (n) b |= 128; out.push(b); } while (n); return out; };
  const name = (s) => [...u32(s.length), ...new TextEncoder().encode(s)];
  const section = (id, body) => [id, ...u32(body.length), ...body];
  const vec = (items) => [...u32(items.length), ...items.flat()];
  const i32 = 0x7f;
  const envelope = '{"ok":true,"text":"[]","report":{}}';
  const types = vec([[0x60, 0, 0], [0x60, 1, i32, 1, i32], [0x60, 2, i32, i32, 0], [0x60, 5, i32, i32, i32, i32, i32, 1, i32], [0x60, 0, 1, i32]]);
  const exportsList = vec([
    [...name('memory'), 2, 0], [...name('_initialize'), 0, 0], [...name('tersolite_alloc'), 0, 1],
    [...name('tersolite_free'), 0, 2], [...name('tersolite_shrink'), 0, 3], [...name('tersolite_version'), 0, 4]]);
  const body = (code) => [...u32(code.length + 1), 0, ...code];
  const shrinkCode = [
    0x41, 0, 0x28, 2, 0, 0x45, 0x04, 0x40,             // if mem32[0] == 0:
    0x41, 0, 0x41, 1, 0x36, 2, 0, 0x00, 0x0b,          //   mem32[0] = 1; unreachable
    0x20, 4, 0x41, ...u32(envelope.length), 0x36, 2, 0, // mem32[out_len] = length
    0x41, 32, 0x0b];                                    // return 32 (the envelope)
  const code = vec([body([0x0b]), body([0x41, 16, 0x0b]), body([0x0b]), body(shrinkCode), body([0x41, 0, 0x0b])]);
  const data = vec([[0, 0x41, 32, 0x0b, ...name(envelope)]]);
  return new WebAssembly.Module(new Uint8Array([0, 0x61, 0x73, 0x6d, 1, 0, 0, 0,
    ...section(1, types), ...section(3, vec([[0], [1], [2], [3], [4]])), ...section(5, [1, 0, 1]),
    ...section(7, exportsList), ...section(10, code), ...section(11, data)]));
}

test('a trap answers the panic envelope and costs only its instance', async () => {
  const copy = await freshCopy();
  await copy.init(trappingModule());
  const panic = '{"ok":false,"error":"internal error (panic) in tersolite"}';
  // Each call meets a fresh instance, so each traps.
  assert.equal(copy.shrinkEnvelope('[]'), panic);
  assert.equal(copy.shrinkEnvelope('[]'), panic);
  assert.throws(() => copy.shrink('[]'), { name: 'TersoliteError', message: 'internal error (panic) in tersolite' });
  await copy.init(wasmBytes);
  assert.equal(copy.shrink([1, 2]).text, '[\n  1,\n  2\n]');
});

test('a large document leaves a working instance behind', () => {
  const doc = JSON.stringify({ log: 'x'.repeat(40 << 20) });
  const { report } = tersolite.shrink(doc, { maxChars: 1000 });
  assert.equal(report.fits, true);
  assert.equal(report.strings_truncated, 1);
  assert.equal(tersolite.shrink([1]).text, '[\n  1\n]');
});

test('the async calls answer as the sync ones, off the thread', async () => {
  const options = { maxChars: 800, arrayStrategy: 'condense', query: 'crash' };
  const bytes = Buffer.from(issuesJson);
  const results = await Promise.all([
    tersolite.shrinkAsync(issues, options),
    tersolite.shrinkAsync(bytes, options),
    tersolite.shrinkEnvelopeAsync(bytes, '{"max_chars":300}'),
  ]);
  assert.deepEqual(results[0], tersolite.shrink(issues, options));
  assert.deepEqual(results[1], results[0]);
  assert.equal(results[2], tersolite.shrinkEnvelope(issuesJson, '{"max_chars":300}'));
  assert.equal(bytes.length, issuesJson.length, 'the caller keeps its buffer');
  await assert.rejects(tersolite.shrinkAsync('[1', {}), { name: 'TersoliteError', message: /invalid JSON input/ });
  await assert.rejects(tersolite.shrinkAsync('[1]', { maxChars: 1, max_chars: 2 }), { name: 'TypeError' });
  tersolite.closeWorker();
  assert.equal((await tersolite.shrinkAsync([3])).text, '[\n  3\n]', 'a closed worker is started again');
  tersolite.closeWorker();
});

test('large documents reach the worker in pieces, whole', async () => {
  const piece = 1 << 21; // the package's piece, in UTF-16 units or bytes
  const filler = (n) => 'x'.repeat(n);
  const cases = {
    'a pair across the first boundary': `"${filler(piece - 2)}\u{1F600}${filler(10)}"`,
    'a lone surrogate at the boundary': `"${filler(piece - 2)}\ud800${filler(10)}"`,
    'three pieces of text': JSON.stringify(Array.from({ length: 300000 }, (_, i) => `é${i}`)),
    'three pieces of bytes': Buffer.from(JSON.stringify(Array.from({ length: 300000 }, (_, i) => `b${i}`))),
  };
  for (const [name, doc] of Object.entries(cases)) {
    const options = '{"max_chars":300}';
    assert.equal(await tersolite.shrinkEnvelopeAsync(doc, options), tersolite.shrinkEnvelope(doc, options), name);
  }
  tersolite.closeWorker();
});

test('the version is the package\'s', () => {
  assert.equal(tersolite.version(), packageVersion);
});
