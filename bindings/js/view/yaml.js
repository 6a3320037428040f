// Reads the YAML that tersolite writes (and only that) into view nodes.
//
// The library's writer uses one block style: a member per line ("key: value",
// "key:" before a nested container, "key: |-" before a literal block), an
// item per line ("- value"; a nested container starts on the dash's line,
// the dash taking the first column of its indentation), strings plain unless
// they could be read as something else, in which case they are
// double-quoted. So a plain scalar is a number exactly when it starts like
// one, and null/true/false/[]/{} are never strings. Reading it here rather
// than through a general YAML library keeps what such a library would
// rewrite: duplicate keys and number literals as written.

import { JsonSyntaxError } from './json.js';

const HEADER = /^\|[-+]?$/;

function plainScalar(s) {
  if (s === 'null') return { t: 'z' };
  if (s === 'true' || s === 'false') return { t: 'b', v: s === 'true' };
  if (s === '[]') return { t: 'a', items: [] };
  if (s === '{}') return { t: 'o', keys: [], vals: [] };
  const c0 = s[0];
  const c1 = s[1];
  const digitOrDot = (c) => c !== undefined && ((c >= '0' && c <= '9') || c === '.');
  if (digitOrDot(c0) || ((c0 === '-' || c0 === '+') && digitOrDot(c1))) return { t: 'n', v: s };
  return { t: 's', v: s };
}

const QUOTE_ESCAPES = { t: '\t', n: '\n', r: '\r', '"': '"', '\\': '\\' };

// A double-quoted scalar at s[at]; returns [text, end offset].
function quoted(s, at) {
  let out = '';
  let i = at + 1;
  for (;;) {
    if (i >= s.length) throw new JsonSyntaxError('unterminated quoted scalar');
    const c = s[i];
    if (c === '"') return [out, i + 1];
    if (c === '\\') {
      const e = s[i + 1];
      if (e === 'u') {
        out += String.fromCharCode(parseInt(s.slice(i + 2, i + 6), 16));
        i += 6;
      } else if (e in QUOTE_ESCAPES) {
        out += QUOTE_ESCAPES[e];
        i += 2;
      } else throw new JsonSyntaxError('unknown escape in quoted scalar');
    } else {
      out += c;
      i++;
    }
  }
}

function scalar(s) {
  if (s[0] === '"') {
    const [v, end] = quoted(s, 0);
    if (end !== s.length) throw new JsonSyntaxError('text after a quoted scalar');
    return { t: 's', v };
  }
  return plainScalar(s);
}

// [key, rest after "key:"] when the line is a member, else null.
function member(s) {
  if (s[0] === '"') {
    const [key, end] = quoted(s, 0);
    return s[end] === ':' ? [key, s.slice(end + 1)] : null;
  }
  // Plain keys and values never hold ": " nor end with ':', so the first
  // ": " (or a final ':') ends the key.
  const i = s.indexOf(': ');
  if (i >= 0) return [s.slice(0, i), s.slice(i + 1)];
  if (s.endsWith(':')) return [s.slice(0, -1), ''];
  return null;
}

/**
 * Reads `text` as written by tersolite with indent width `indent` (at least
 * 2). Throws JsonSyntaxError on text the writer would not produce.
 */
export function parseTersoliteYaml(text, indent = 2) {
  const w = Math.max(2, Number(indent) || 2);
  const lines = text.split('\n');
  if (lines[lines.length - 1] === '') lines.pop();
  let pos = 0;
  const pad = (level) => ' '.repeat(level * w);

  const block = (header, level) => {
    const p = pad(level);
    const body = [];
    while (pos < lines.length && (lines[pos] === '' || lines[pos].startsWith(p))) {
      body.push(lines[pos].slice(p.length));
      pos++;
    }
    const v = body.join('\n');
    return { t: 's', v: header === '|-' ? v : `${v}\n` };
  };
  // What follows "key:" or the dash of an item.
  const value = (rest, level) => {
    if (HEADER.test(rest)) {
      pos++;
      return block(rest, level + 1);
    }
    pos++;
    return scalar(rest);
  };
  const container = (level) => {
    const p = pad(level);
    const first = lines[pos];
    if (first === undefined || !first.startsWith(p)) throw new JsonSyntaxError(`expected content at line ${pos + 1}`);
    return first[p.length] === '-' ? sequence(level) : mapping(level);
  };
  const sequence = (level) => {
    const p = pad(level);
    const node = { t: 'a', items: [] };
    while (pos < lines.length && lines[pos].startsWith(`${p}-`)) {
      const rest = lines[pos].slice(p.length);
      // A nested container starts w - 1 spaces after the dash; a scalar one.
      const nested = rest.length > w && rest.slice(1, w) === ' '.repeat(w - 1) && rest[w] !== ' ';
      const after = nested ? rest.slice(w) : rest.slice(2);
      if (nested && ((after[0] === '-' && after[1] === ' ') || (!HEADER.test(after) && member(after)))) {
        lines[pos] = pad(level + 1) + after;
        node.items.push(container(level + 1));
      } else {
        node.items.push(value(after, level));
      }
    }
    return node;
  };
  const mapping = (level) => {
    const p = pad(level);
    const node = { t: 'o', keys: [], vals: [] };
    while (pos < lines.length && lines[pos].startsWith(p) && lines[pos][p.length] !== ' ' && lines[pos][p.length] !== '-') {
      const m = member(lines[pos].slice(p.length));
      if (!m) throw new JsonSyntaxError(`expected a member at line ${pos + 1}`);
      const [key, rest] = m;
      node.keys.push(key);
      if (rest === '') {
        pos++;
        node.vals.push(container(level + 1));
      } else node.vals.push(value(rest.slice(1), level));
    }
    return node;
  };

  if (lines.length === 0) throw new JsonSyntaxError('empty text');
  let root;
  const top = lines[0];
  if (HEADER.test(top)) {
    pos = 1;
    root = block(top, 1);
  } else if (lines.length === 1 && !(top[0] === '-' && top[1] === ' ') && !member(top)) {
    pos = 1;
    root = scalar(top);
  } else root = container(0);
  if (pos !== lines.length) throw new JsonSyntaxError(`unexpected text at line ${pos + 1}`);
  return root;
}
