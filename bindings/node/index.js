'use strict';
// Node.js bindings to the tersolite shared library, over its C API (koffi).
//
//   const tersolite = require('tersolite');
//   const { text, report } = tersolite.shrink(doc, { maxChars: 2000, query: 'open bugs' });
//
// `doc` is a string, a Buffer (UTF-8 JSON or YAML) or any JSON-serialisable
// value. Options are the options object's members, in camelCase or as
// written (maxChars or max_chars); `query` becomes `arguments`. An error
// envelope throws a TersoliteError with the library's message.

const koffi = require('koffi');

class TersoliteError extends Error {
  constructor(message) {
    super(message);
    this.name = 'TersoliteError';
  }
}

let lib = null;

function candidates() {
  const found = [];
  if (process.env.TERSOLITE_LIBRARY) found.push(process.env.TERSOLITE_LIBRARY);
  found.push('libtersolite.so.0', 'libtersolite.so', '/usr/local/lib/libtersolite.so.0', '/usr/lib/libtersolite.so.0');
  return found;
}

/** Loads the library from `path`, else TERSOLITE_LIBRARY, else the installed location. */
function load(path) {
  if (!path && lib) return lib;
  const errors = [];
  for (const candidate of path ? [path] : candidates()) {
    let handle;
    try {
      handle = koffi.load(candidate);
    } catch (e) {
      errors.push(`${candidate}: ${e.message}`);
      continue;
    }
    lib = {
      shrink: handle.func('void *tersolite_shrink(const uint8_t *input, size_t input_len, ' +
                          'const uint8_t *options, size_t options_len, _Out_ size_t *out_len)'),
      free: handle.func('void tersolite_free(void *ptr, size_t len)'),
      version: handle.func('const char *tersolite_version()'),
    };
    return lib;
  }
  throw new Error('cannot load libtersolite (set TERSOLITE_LIBRARY or call load(path)): ' + errors.join('; '));
}

function snakeCase(name) {
  return name.replace(/[A-Z]/g, (c) => '_' + c.toLowerCase());
}

function documentBytes(doc) {
  if (Buffer.isBuffer(doc)) return doc;
  if (typeof doc === 'string') return Buffer.from(doc, 'utf8');
  return Buffer.from(JSON.stringify(doc), 'utf8');
}

/** Shrinks `doc`; returns {text, report} or throws TersoliteError. */
function shrink(doc, options = {}) {
  const { library, query, ...rest } = options;
  const l = load(library);
  const opts = {};
  for (const [key, value] of Object.entries(rest)) opts[snakeCase(key)] = value;
  if (query !== undefined) {
    if ('arguments' in opts) throw new TypeError('give either query or arguments, not both');
    opts.arguments = { query };
  }
  const input = documentBytes(doc);
  const optionBytes = Buffer.from(JSON.stringify(opts), 'utf8');
  const outLen = [0];
  const ptr = l.shrink(input, input.length, optionBytes, optionBytes.length, outLen);
  let envelope;
  try {
    const bytes = koffi.decode(ptr, 'uint8_t', outLen[0]);
    envelope = JSON.parse(Buffer.from(bytes).toString('utf8'));
  } finally {
    l.free(ptr, outLen[0]);
  }
  if (!envelope.ok) throw new TersoliteError(envelope.error);
  return { text: envelope.text, report: envelope.report };
}

/** The library's version text. */
function version() {
  return load().version();
}

module.exports = { shrink, load, version, TersoliteError };
