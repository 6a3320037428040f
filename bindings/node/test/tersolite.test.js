'use strict';
const test = require('node:test');
const assert = require('node:assert');
const tersolite = require('..');

const issues = Array.from({ length: 40 }, (_, i) => ({
  id: 1000 + i,
  title: `Crash number ${i} when exporting reports`,
  state: i % 3 ? 'open' : 'closed',
  user: { login: `dev${i % 4}`, avatar_url: `https://example.com/a/${i}.png` },
  body: 'Steps to reproduce: open the page, press export and wait. '.repeat(4),
}));

test('shrinks values to the budget', () => {
  const { text, report } = tersolite.shrink(issues, { maxChars: 2000 });
  assert.equal(report.pruned, true);
  assert.equal(report.fits, true);
  assert.ok(report.output_chars <= 2000);
  assert.equal([...text].length, report.output_chars);
  assert.match(text, /items omitted\]/);
  JSON.parse(text);
});

test('reads text, buffers and YAML', () => {
  const json = JSON.stringify(issues.slice(0, 2));
  assert.equal(tersolite.shrink(json).text, tersolite.shrink(Buffer.from(json)).text);
  const y = tersolite.shrink('name: tersolite\nitems: [1, 2]\n');
  assert.equal(y.report.format, 'yaml');
  assert.equal(y.text, 'name: tersolite\nitems:\n  - 1\n  - 2\n');
});

test('condenses with a query and explains', () => {
  const { text, report } = tersolite.shrink(issues, {
    maxChars: 4000, arrayStrategy: 'condense', explain: true, query: 'state of the crash', protect: ['/*/id'],
  });
  assert.equal(report.arrays_condensed, 1);
  assert.ok(report.field_decisions.some((d) => d.path === '/*/id' && d.score === 2));
  assert.match(text, /"state"/);
});

test('throws the exact messages', () => {
  assert.throws(() => tersolite.shrink([1], { maxChars: -1 }),
    { name: 'TersoliteError', message: 'invalid options: max_chars must be a non-negative integer' });
  assert.throws(() => tersolite.shrink([1], { bogus: 1 }), { message: 'invalid options: unknown option: bogus' });
  assert.throws(() => tersolite.shrink(Buffer.from([0xff])), { message: 'input is not valid UTF-8' });
  assert.throws(() => tersolite.shrink('{"a": 1,}'),
    { message: 'invalid JSON input: expected string key at line 1, column 9' });
});

test('reports its version', () => {
  assert.equal(tersolite.version(), '0.2.1');
});
