// tersolite for JavaScript: the library compiled to WebAssembly, for Node.js,
// Deno, Bun, browsers and edge workers alike.
//
//   import { init, shrink } from 'tersolite';
//   await init();
//   const { text, report } = shrink(doc, { maxChars: 2000, query: 'open bugs' });
//
// The module exports the library's four C functions and its memory; this
// file writes each request into that memory, calls tersolite_shrink and
// reads the envelope back.

const PANIC = '{"ok":false,"error":"internal error (panic) in tersolite"}';
// After a call that left the instance's memory larger than this, the
// instance is dropped, so that one huge document does not pin its memory
// for the life of the host; the next call starts a fresh one.
const KEEP_MEMORY_BYTES = 128 << 20;
const ERRNO_NOSYS = 52;

export class TersoliteError extends Error {
  constructor(message) {
    super(message);
    this.name = 'TersoliteError';
  }
}

let compiled = null; // the WebAssembly.Module
let current = null; // the exports of the live instance, or null
let ready = null; // the promise of the last init()
const encoder = new TextEncoder();
const decoder = new TextDecoder();

// The few system calls the C runtime imports. Only the random seed of
// internal hash tables and a clock fallback are ever used; no output
// depends on either.
function systemImports(memory) {
  return {
    wasi_snapshot_preview1: {
      random_get(ptr, len) {
        const bytes = new Uint8Array(memory().buffer, ptr >>> 0, len >>> 0);
        for (let i = 0; i < bytes.length; i += 65536) {
          const chunk = bytes.subarray(i, i + 65536);
          if (globalThis.crypto?.getRandomValues) globalThis.crypto.getRandomValues(chunk);
          else for (let j = 0; j < chunk.length; j++) chunk[j] = (Math.random() * 256) | 0;
        }
        return 0;
      },
      clock_time_get(_id, _precision, out) {
        const ns = BigInt(Math.round((globalThis.performance?.now() ?? Date.now()) * 1e6));
        new DataView(memory().buffer).setBigUint64(out >>> 0, ns, true);
        return 0;
      },
      fd_write: () => ERRNO_NOSYS,
      fd_close: () => ERRNO_NOSYS,
      fd_seek: () => ERRNO_NOSYS,
    },
  };
}

function started(instance) {
  instance.exports._initialize();
  return instance.exports;
}

function instantiateNow() {
  let exports;
  const instance = new WebAssembly.Instance(compiled, systemImports(() => exports.memory));
  exports = started(instance);
  return exports;
}

async function instantiate(module) {
  let exports;
  const instance = await WebAssembly.instantiate(module, systemImports(() => exports.memory));
  exports = started(instance);
  return exports;
}

function isBytes(x) {
  return ArrayBuffer.isView(x) || x instanceof ArrayBuffer ||
    (typeof SharedArrayBuffer !== 'undefined' && x instanceof SharedArrayBuffer);
}

function asBytes(x) {
  if (x instanceof Uint8Array) return x;
  if (ArrayBuffer.isView(x)) return new Uint8Array(x.buffer, x.byteOffset, x.byteLength);
  return new Uint8Array(x);
}

async function readFileUrl(url) {
  const { readFile } = await import('node:fs/promises');
  return readFile(url);
}

async function compile(source) {
  source = await source;
  if (source instanceof WebAssembly.Module) return source;
  if (isBytes(source)) return WebAssembly.compile(asBytes(source));
  if (typeof Response !== 'undefined' && source instanceof Response) {
    if (!source.ok) throw new Error(`cannot load tersolite.wasm: HTTP ${source.status} ${source.statusText}`);
    const type = source.headers.get('content-type') ?? '';
    if (WebAssembly.compileStreaming && type.startsWith('application/wasm')) {
      return WebAssembly.compileStreaming(source);
    }
    return WebAssembly.compile(await source.arrayBuffer());
  }
  if (typeof source === 'string' || source instanceof URL) {
    let url = source;
    if (typeof source === 'string') {
      try {
        url = new URL(source);
      } catch {
        // A relative reference: a file path where there are files, else
        // a URL relative to the page.
        if (globalThis.process?.versions?.node || globalThis.Deno) {
          const { pathToFileURL } = await import('node:url');
          url = pathToFileURL(source);
        }
      }
    }
    if (url instanceof URL && url.protocol === 'file:') return WebAssembly.compile(await readFileUrl(url));
    return compile(fetch(url));
  }
  throw new TypeError('init() takes nothing, bytes, a URL, a Response or a WebAssembly.Module');
}

function defaultSource() {
  try {
    return new URL('./tersolite.wasm', import.meta.url);
  } catch {
    throw new Error('cannot locate tersolite.wasm here: pass it to init() (bytes, a URL, a Response or a WebAssembly.Module)');
  }
}

/**
 * Loads the WebAssembly module. Without an argument it is read from beside
 * this file; a host may instead give its bytes, a URL, a Response (or a
 * promise of one) or a compiled WebAssembly.Module. Calling it again
 * without an argument returns the same promise.
 */
export function init(source) {
  if (source === undefined && ready) return ready;
  const loading = (async () => {
    const module = await compile(source === undefined ? defaultSource() : source);
    const exports = await instantiate(module);
    // Of several loads under way, the one asked for last is kept.
    if (ready !== loading) return;
    compiled = module;
    current = exports;
  })();
  ready = loading;
  // A failed load may be retried.
  loading.catch(() => {
    if (ready === loading) ready = null;
  });
  return loading;
}

// UTF-8 bytes of a string. A string with a lone surrogate has no UTF-8
// form; it is written as the bytes such a surrogate would take (as other
// encoders do when asked to keep it), so that the library refuses the text
// with its own message instead of this glue altering it.
const LONE_SURROGATE = /[\uD800-\uDBFF](?![\uDC00-\uDFFF])|(?<![\uD800-\uDBFF])[\uDC00-\uDFFF]/;

function wellFormed(text) {
  return typeof text.isWellFormed === 'function' ? text.isWellFormed() : !LONE_SURROGATE.test(text);
}

function utf8(text) {
  if (wellFormed(text)) return encoder.encode(text);
  const out = [];
  for (let i = 0; i < text.length; i++) {
    const c = text.codePointAt(i);
    if (c > 0xffff) i++;
    if (c < 0x80) out.push(c);
    else if (c < 0x800) out.push(0xc0 | (c >> 6), 0x80 | (c & 63));
    else if (c < 0x10000) out.push(0xe0 | (c >> 12), 0x80 | ((c >> 6) & 63), 0x80 | (c & 63));
    else out.push(0xf0 | (c >> 18), 0x80 | ((c >> 12) & 63), 0x80 | ((c >> 6) & 63), 0x80 | (c & 63));
  }
  return new Uint8Array(out);
}

function checkTextOrBytes(x, what) {
  if (typeof x !== 'string' && !isBytes(x)) throw new TypeError(`${what} must be a string, a Uint8Array or an ArrayBuffer`);
}

function textOrBytes(x, what) {
  checkTextOrBytes(x, what);
  return typeof x === 'string' ? utf8(x) : asBytes(x);
}

function snakeCase(name) {
  return name.replace(/[A-Z]/g, (c) => '_' + c.toLowerCase());
}

// The options object as the library reads it: names in camelCase become
// snake_case, `query` becomes `arguments`.
function optionsText(options) {
  if (options === null || options === undefined) return '{}';
  if (typeof options !== 'object' || Array.isArray(options) || isBytes(options)) {
    throw new TypeError('options must be an object, null or undefined');
  }
  const out = {};
  for (const [key, value] of Object.entries(options)) {
    if (value === undefined) continue;
    const name = key === 'query' ? 'arguments' : snakeCase(key);
    if (Object.hasOwn(out, name)) throw new TypeError(`option ${name} given twice`);
    out[name] = key === 'query' ? { query: value } : value;
  }
  return JSON.stringify(out);
}

function exportsNow() {
  if (current) return current;
  if (!compiled) throw new Error('tersolite is not loaded yet: await init() first');
  current = instantiateNow();
  return current;
}

function copyIn(ex, bytes) {
  const ptr = ex.tersolite_alloc(bytes.length) >>> 0;
  if (bytes.length) new Uint8Array(ex.memory.buffer, ptr, bytes.length).set(bytes);
  return ptr;
}

function call(input, options) {
  const ex = exportsNow();
  let envelope;
  try {
    const inPtr = copyIn(ex, input);
    const optPtr = copyIn(ex, options);
    const lenPtr = ex.tersolite_alloc(4) >>> 0;
    const outPtr = ex.tersolite_shrink(inPtr, input.length, optPtr, options.length, lenPtr) >>> 0;
    const outLen = new DataView(ex.memory.buffer).getUint32(lenPtr, true);
    envelope = decoder.decode(new Uint8Array(ex.memory.buffer, outPtr, outLen));
    ex.tersolite_free(outPtr, outLen);
    ex.tersolite_free(lenPtr, 4);
    ex.tersolite_free(optPtr, options.length);
    ex.tersolite_free(inPtr, input.length);
  } catch (e) {
    // A trap (a broken invariant, or memory exhausted): this instance's
    // state is lost; the next call starts a fresh one.
    current = null;
    if (e instanceof WebAssembly.RuntimeError || e instanceof RangeError) return PANIC;
    throw e;
  }
  if (ex.memory.buffer.byteLength > KEEP_MEMORY_BYTES) current = null;
  return envelope;
}

/**
 * Shrinks `input` (JSON or YAML text, or its UTF-8 bytes) with `options`
 * (the options object's JSON text or bytes, or an object; null or
 * undefined mean {}) and returns the envelope text exactly as the library
 * writes it.
 */
export function shrinkEnvelope(input, options) {
  return call(textOrBytes(input, 'input'), textOrBytes(optionsInput(options), 'options'));
}

// Options as text or bytes: objects (and null) are written as JSON.
function optionsInput(options) {
  if (typeof options === 'string' || isBytes(options)) return options;
  return optionsText(options);
}

// The document's text or bytes: strings and bytes as they are, anything
// else as JSON.
function documentInput(doc) {
  if (typeof doc === 'string' || isBytes(doc)) return doc;
  const json = JSON.stringify(doc);
  if (json === undefined) throw new TypeError('the document must be text, bytes or a JSON-serialisable value');
  return json;
}

// An envelope's {text, report}, or its error thrown as a TersoliteError.
function openEnvelope(envelope) {
  const parsed = JSON.parse(envelope);
  if (!parsed.ok) throw new TersoliteError(parsed.error);
  return { text: parsed.text, report: parsed.report };
}

/**
 * Shrinks `doc` (a string, bytes, or any JSON-serialisable value) and
 * returns {text, report}; an error envelope throws a TersoliteError.
 */
export function shrink(doc, options) {
  return openEnvelope(shrinkEnvelope(documentInput(doc), optionsText(options)));
}

/** The library's version. */
export function version() {
  const ex = exportsNow();
  const start = ex.tersolite_version() >>> 0;
  const bytes = new Uint8Array(ex.memory.buffer, start);
  return decoder.decode(bytes.subarray(0, bytes.indexOf(0)));
}

// Off the event loop: one worker, started on first use, runs the same
// calls in an instance of its own.

let worker = null; // the promise of the live worker's channel

// A started worker: how to talk to it, and its calls awaiting an answer.
function channel(post, close, ref, unref) {
  return { post, close, ref, unref, pending: new Map(), nextId: 1 };
}

function settle(ch, message) {
  const request = ch.pending.get(message.id);
  if (!request) return;
  ch.pending.delete(message.id);
  if (ch.pending.size === 0) ch.unref();
  if (message.error !== undefined) request.reject(new Error(message.error));
  else request.resolve(message.envelope);
}

// Ends a worker and rejects what it still owed.
function fail(ch, error) {
  if (worker === ch.started) worker = null;
  const requests = [...ch.pending.values()];
  ch.pending.clear();
  ch.close();
  for (const request of requests) request.reject(error);
}

async function startWorker() {
  await init();
  const url = new URL('./worker.js', import.meta.url);
  let ch;
  if (typeof globalThis.Worker === 'function') {
    const web = new globalThis.Worker(url, { type: 'module' });
    ch = channel((m, transfer) => web.postMessage(m, transfer), () => web.terminate(),
      () => web.ref?.(), () => web.unref?.());
    web.addEventListener('message', (e) => settle(ch, e.data));
    web.addEventListener('error', (e) => {
      e.preventDefault?.();
      fail(ch, new Error(`tersolite worker failed: ${e.message}`));
    });
  } else {
    const { Worker } = await import('node:worker_threads');
    // The host's flags, less one that only its own entry point may take.
    const execArgv = process.execArgv.filter((a) => !a.startsWith('--input-type'));
    const node = new Worker(url, { execArgv });
    ch = channel((m, transfer) => node.postMessage(m, transfer), () => node.terminate(),
      () => node.ref(), () => node.unref());
    node.on('message', (m) => settle(ch, m));
    node.on('error', (e) => fail(ch, new Error(`tersolite worker failed: ${e.message}`)));
    node.on('exit', () => fail(ch, new Error('tersolite worker stopped')));
  }
  ch.unref();
  ch.post({ module: compiled });
  return ch;
}

// Copying a large document for the worker costs the calling thread time
// (on some machines mostly page faults); it is done a piece at a time,
// giving the event loop a turn between pieces.
const PIECE = 1 << 21;
const nextTurn = () => new Promise((resolve) => setTimeout(resolve, 0));

// The UTF-8 bytes of text, or a copy of bytes (so that the caller's buffer
// stays usable), as pieces that are then moved to the worker.
async function pieces(x, transfer) {
  const out = [];
  if (typeof x === 'string') {
    for (let i = 0; i < x.length;) {
      let end = Math.min(i + PIECE, x.length);
      // Never between the two halves of a surrogate pair.
      if (end < x.length && (x.charCodeAt(end - 1) & 0xfc00) === 0xd800) end--;
      out.push(utf8(x.slice(i, end)));
      i = end;
      if (i < x.length) await nextTurn();
    }
  } else {
    const bytes = asBytes(x);
    for (let i = 0; i < bytes.length; i += PIECE) {
      out.push(new Uint8Array(bytes.subarray(i, i + PIECE))); // (a Buffer's slice() would share its memory)
      if (i + PIECE < bytes.length) await nextTurn();
    }
  }
  for (const piece of out) transfer.push(piece.buffer);
  return out;
}

/**
 * As shrinkEnvelope(), in a worker: the calling thread stays free while a
 * large document is shrunk. Loads the module first if init() was not called.
 */
export async function shrinkEnvelopeAsync(input, options) {
  checkTextOrBytes(input, 'input');
  const optionText = optionsInput(options);
  checkTextOrBytes(optionText, 'options');
  const transfer = [];
  const message = { input: await pieces(input, transfer), options: await pieces(optionText, transfer) };
  if (!worker) {
    const started = startWorker();
    worker = started;
    started.then((ch) => { ch.started = started; }, () => { if (worker === started) worker = null; });
  }
  const ch = await worker;
  const id = ch.nextId++;
  const answer = new Promise((resolve, reject) => ch.pending.set(id, { resolve, reject }));
  if (ch.pending.size === 1) ch.ref();
  try {
    ch.post({ id, ...message }, transfer);
  } catch (e) {
    settle(ch, { id, error: e.message });
  }
  return answer;
}

/** As shrink(), in a worker; resolves to {text, report}. */
export async function shrinkAsync(doc, options) {
  return openEnvelope(await shrinkEnvelopeAsync(documentInput(doc), optionsText(options)));
}

/** Stops the worker, if one was started; calls still pending are rejected. */
export function closeWorker() {
  const stopping = worker;
  worker = null;
  stopping?.then((ch) => fail(ch, new Error('tersolite worker closed')), () => {});
}
