// A JSON reader for the view. JSON.parse would lose what the view must show
// as written: number literals ("1.50", "1e400", 2^64) and duplicate keys.
// It is lenient in one way: a raw control character inside a string is
// taken as it is (the texts it reads come from the library, which escapes
// them).
//
// Nodes are small plain objects:
//   {t: 'o', keys: [...], vals: [...]}   object, members in order, duplicates kept
//   {t: 'a', items: [...]}               array
//   {t: 's', v: 'text'}                  string
//   {t: 'n', v: '1.50'}                  number, its literal text
//   {t: 'b', v: true}                    boolean
//   {t: 'z'}                             null

const WS = new Uint8Array(128);
for (const c of [0x20, 0x09, 0x0a, 0x0d]) WS[c] = 1;

const ESCAPES = { 0x22: '"', 0x5c: '\\', 0x2f: '/', 0x62: '\b', 0x66: '\f', 0x6e: '\n', 0x72: '\r', 0x74: '\t' };

export class JsonSyntaxError extends Error {}

/** Reads a JSON text into view nodes; throws JsonSyntaxError with the offset. */
export function parseJson(text) {
  let i = 0;
  const n = text.length;
  // Containers are built with an explicit stack: documents may nest deeper
  // than the JavaScript call stack allows.
  const stack = [];
  let key = null;
  let root;

  const fail = (what) => {
    throw new JsonSyntaxError(`${what} at offset ${i}`);
  };
  const skip = () => {
    while (i < n) {
      const c = text.charCodeAt(i);
      if (c < 128 && WS[c]) i++;
      else break;
    }
  };
  // The next backslash, found once and reused until passed: most strings
  // have none, and looking again from every string would cost O(n^2).
  let nextEscape = -1;
  const readString = () => {
    // i is just past the opening quote
    let out = '';
    for (;;) {
      const q = text.indexOf('"', i);
      if (q < 0) fail('unterminated string');
      if (nextEscape < i) {
        nextEscape = text.indexOf('\\', i);
        if (nextEscape < 0) nextEscape = n;
      }
      if (q < nextEscape) {
        const piece = text.slice(i, q);
        i = q + 1;
        return out ? out + piece : piece;
      }
      out += text.slice(i, nextEscape);
      i = nextEscape;
      const e = text.charCodeAt(i + 1);
      if (e === 0x75) {
        const hex = text.slice(i + 2, i + 6);
        if (!/^[0-9a-fA-F]{4}$/.test(hex)) fail('bad \\u escape');
        out += String.fromCharCode(parseInt(hex, 16));
        i += 6;
      } else {
        const r = ESCAPES[e];
        if (r === undefined) fail('bad escape');
        out += r;
        i += 2;
      }
    }
  };
  const NUM = /-?(?:0|[1-9][0-9]*)(?:\.[0-9]+)?(?:[eE][+-]?[0-9]+)?/y;
  const isDigit = (c) => c >= 0x30 && c <= 0x39;
  const readScalar = () => {
    const c = text.charCodeAt(i);
    if (c === 0x22) {
      i++;
      return { t: 's', v: readString() };
    }
    if (text.startsWith('true', i)) {
      i += 4;
      return { t: 'b', v: true };
    }
    if (text.startsWith('false', i)) {
      i += 5;
      return { t: 'b', v: false };
    }
    if (text.startsWith('null', i)) {
      i += 4;
      return { t: 'z' };
    }
    // Plain integers, the common case, without the regular expression.
    let j = i;
    while (j < n && isDigit(text.charCodeAt(j))) j++;
    if (j > i && j - i < 16 && (text.charCodeAt(i) !== 0x30 || j === i + 1)) {
      const d = text.charCodeAt(j);
      if (d !== 0x2e && d !== 0x65 && d !== 0x45) {
        const v = text.slice(i, j);
        i = j;
        return { t: 'n', v };
      }
    }
    NUM.lastIndex = i;
    const m = NUM.exec(text);
    if (!m || m[0].length === 0) fail('unexpected character');
    i += m[0].length;
    return { t: 'n', v: m[0] };
  };
  const attach = (node) => {
    const top = stack[stack.length - 1];
    if (!top) root = node;
    else if (top.t === 'a') top.items.push(node);
    else {
      top.keys.push(key);
      top.vals.push(node);
    }
  };

  skip();
  for (;;) {
    if (i >= n) fail('unexpected end of input');
    const top = stack[stack.length - 1];
    // Expecting a value (after '[', ',' or ':' or at the start).
    let c = text.charCodeAt(i);
    if (top && top.t === 'o') {
      // Expecting a key.
      if (c !== 0x22) fail('expected string key');
      i++;
      key = readString();
      skip();
      if (text.charCodeAt(i) !== 0x3a) fail("expected ':'");
      i++;
      skip();
      c = text.charCodeAt(i);
    }
    if (c === 0x7b || c === 0x5b) {
      const node = c === 0x7b ? { t: 'o', keys: [], vals: [] } : { t: 'a', items: [] };
      attach(node);
      stack.push(node);
      i++;
      skip();
      const close = c === 0x7b ? 0x7d : 0x5d;
      if (text.charCodeAt(i) !== close) continue;
      i++;
      stack.pop();
    } else {
      attach(readScalar());
    }
    // After a value: ',' continues the container, a bracket closes it.
    for (;;) {
      skip();
      const cur = stack[stack.length - 1];
      if (!cur) {
        if (i < n) fail('trailing characters');
        return root;
      }
      const d = text.charCodeAt(i);
      if (d === 0x2c) {
        i++;
        skip();
        break;
      }
      if ((cur.t === 'a' && d === 0x5d) || (cur.t === 'o' && d === 0x7d)) {
        i++;
        stack.pop();
        continue;
      }
      fail(cur.t === 'a' ? "expected ',' or ']'" : "expected ',' or '}'");
    }
  }
}

/** JSON text of a string (as the library writes it: non-ASCII unescaped). */
export function quoteJson(s) {
  // JSON.stringify escapes lone surrogates, which the library never produces.
  return JSON.stringify(s);
}

/** Writes a node back as compact JSON text. */
export function writeJson(node) {
  const parts = [];
  const walk = (x) => {
    switch (x.t) {
      case 'o':
        parts.push('{');
        for (let k = 0; k < x.keys.length; k++) {
          if (k) parts.push(',');
          parts.push(quoteJson(x.keys[k]), ':');
          walk(x.vals[k]);
        }
        parts.push('}');
        break;
      case 'a':
        parts.push('[');
        x.items.forEach((it, k) => {
          if (k) parts.push(',');
          walk(it);
        });
        parts.push(']');
        break;
      case 's':
        parts.push(quoteJson(x.v));
        break;
      case 'n':
        parts.push(x.v);
        break;
      case 'b':
        parts.push(x.v ? 'true' : 'false');
        break;
      default:
        parts.push('null');
    }
  };
  walk(node);
  return parts.join('');
}

// The engine's own JSON.parse is several times faster than the reader
// above and allocates nothing for parts the view never visits, but it keeps
// only the last of duplicate keys, puts keys made of digits first, and reads
// numbers as doubles. readJson uses it when a scan of the text shows that
// none of that can happen, and wraps its values lazily as view nodes.

class LazyArray {
  constructor(raw) {
    this.raw = raw;
    this.cache = null;
  }
  get t() {
    return 'a';
  }
  get items() {
    return (this.cache ??= this.raw.map(wrap));
  }
}

class LazyObject {
  constructor(raw) {
    this.raw = raw;
    this.keyList = null;
    this.valList = null;
  }
  get t() {
    return 'o';
  }
  get keys() {
    return (this.keyList ??= Object.keys(this.raw));
  }
  get vals() {
    return (this.valList ??= this.keys.map((k) => wrap(this.raw[k])));
  }
}

function wrap(x) {
  if (typeof x === 'string') return { t: 's', v: x };
  if (typeof x === 'number') return { t: 'n', v: String(x) };
  if (typeof x === 'boolean') return { t: 'b', v: x };
  if (x === null) return { t: 'z' };
  return Array.isArray(x) ? new LazyArray(x) : new LazyObject(x);
}

// Members written in the text, or -1 when a key made of digits or a number
// that would not read back as written rules the engine's reader out.
function scanForEngine(text) {
  const n = text.length;
  let members = 0;
  for (let i = 0; i < n; i++) {
    const c = text.charCodeAt(i);
    if (c === 0x22) {
      const start = i + 1;
      let end = text.indexOf('"', start);
      while (end > 0 && text.charCodeAt(end - 1) === 0x5c) {
        // A quote after backslashes is escaped when they are odd in number.
        let b = end - 1;
        while (text.charCodeAt(b - 1) === 0x5c) b--;
        if ((end - b) % 2 === 0) break;
        end = text.indexOf('"', end + 1);
      }
      if (end < 0) return -1;
      i = end;
      if (end - start <= 10 && end > start) {
        let digits = true;
        for (let k = start; k < end && digits; k++) digits = isDigitCode(text.charCodeAt(k));
        if (digits) {
          let j = end + 1;
          while (j < n && text.charCodeAt(j) <= 0x20) j++;
          if (text.charCodeAt(j) === 0x3a) return -1;
        }
      }
    } else if (c === 0x3a) members++;
    else if (c === 0x2d || isDigitCode(c)) {
      const start = i;
      while (i + 1 < n && isNumberCode(text.charCodeAt(i + 1))) i++;
      const len = i + 1 - start;
      // Short plain integers read back as written; anything else is tried.
      let plain = len < 16 && !(c === 0x30 && len > 1) && !(c === 0x2d && (len === 1 || text.charCodeAt(start + 1) === 0x30));
      for (let k = start + 1; plain && k <= i; k++) plain = isDigitCode(text.charCodeAt(k));
      if (!plain) {
        const lit = text.slice(start, i + 1);
        if (String(Number(lit)) !== lit) return -1;
      }
    }
  }
  return members;
}

function isDigitCode(c) {
  return c >= 0x30 && c <= 0x39;
}

function isNumberCode(c) {
  return isDigitCode(c) || c === 0x2e || c === 0x65 || c === 0x45 || c === 0x2b || c === 0x2d;
}

function countMembers(value) {
  let m = 0;
  const stack = [value];
  while (stack.length) {
    const v = stack.pop();
    if (Array.isArray(v)) {
      for (const it of v) if (it !== null && typeof it === 'object') stack.push(it);
    } else {
      for (const k in v) {
        m++;
        const it = v[k];
        if (it !== null && typeof it === 'object') stack.push(it);
      }
    }
  }
  return m;
}

/**
 * Whether two nodes from readJson hold equal values, decided on the
 * engine's values without building nodes; undefined when either node did
 * not come from the engine's reader.
 */
export function sameLazy(x, y) {
  const lazy = (n) => n instanceof LazyArray || n instanceof LazyObject;
  if (!lazy(x) || !lazy(y)) return undefined;
  // Numbers were checked to read back as written, so equal numbers were
  // written alike.
  const stack = [x.raw, y.raw];
  while (stack.length) {
    const b = stack.pop();
    const a = stack.pop();
    if (a === b) continue;
    if (a === null || b === null || typeof a !== 'object' || typeof b !== 'object') return false;
    if (Array.isArray(a)) {
      if (!Array.isArray(b) || a.length !== b.length) return false;
      for (let i = 0; i < a.length; i++) stack.push(a[i], b[i]);
    } else {
      if (Array.isArray(b)) return false;
      const ka = Object.keys(a);
      const kb = Object.keys(b);
      if (ka.length !== kb.length) return false;
      for (let i = 0; i < ka.length; i++) {
        if (ka[i] !== kb[i]) return false;
        stack.push(a[ka[i]], b[kb[i]]);
      }
    }
  }
  return true;
}

/** As parseJson, faster on large texts; the nodes' contents are built on first use. */
export function readJson(text) {
  const members = scanForEngine(text);
  if (members < 0) return parseJson(text);
  let raw;
  try {
    raw = JSON.parse(text);
  } catch {
    return parseJson(text); // for its message
  }
  // Fewer members than written: duplicate keys were merged.
  if (raw !== null && typeof raw === 'object' && countMembers(raw) !== members) return parseJson(text);
  return wrap(raw);
}
