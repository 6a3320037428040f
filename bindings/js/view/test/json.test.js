// The fast reader must give exactly the tree of the exact one, falling back
// wherever the engine's JSON.parse would lose something.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { parseJson, readJson, writeJson } from '../json.js';
import { documents } from './documents.js';

test('readJson equals parseJson', () => {
  const cases = [
    '{"a":1,"a":2}', // duplicate keys
    '{"b":1,"10":2,"a":3}', // a key of digits would move first
    '{"b":{"0":1}}',
    '[1.50, 1e400, -0, -0.0, 1E5, 12345678901234567890, 0.1, -7, 0]', // literals as written
    '{"k\\"":"v\\\\","x":"\\\\\\"","n":[-1]}', // escaped quotes and backslashes
    '{"__proto__":{"x":1},"y":[]}',
    '"\\ud83d\\ude00 \\u2028"',
    '[]',
    '{}',
    'null',
    '  {"deep":[[[{"a":[{"b":null}]}]]]}  ',
    '{"s":"12","12x":"a:b","t":true}',
  ];
  for (const { doc } of documents(99, 1)) cases.push(doc);
  for (const text of cases) assert.equal(writeJson(readJson(text)), writeJson(parseJson(text)), text.slice(0, 80));
});

test('readJson reports bad JSON as parseJson does', () => {
  for (const bad of ['{"a":1,}', '[1 2]', '"open', '01', '']) {
    assert.throws(() => readJson(bad), (e) => e.message === (() => {
      try {
        parseJson(bad);
      } catch (f) {
        return f.message;
      }
    })(), bad);
  }
});
