// The view's alignment against the library itself: over generated documents
// of every shape, several budgets, both strategies, JSON and YAML, its counts
// of what was cut equal the report's counters, what it calls kept is in the
// answer as it says, and every item and member on both sides is accounted for.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readJson, writeJson } from '../json.js';
import { align, countCuts, SAME } from '../align.js';
import { parseTersoliteYaml } from '../yaml.js';
import { documents } from './documents.js';
import { asJson, cliPath, shrinkEnvelope } from './library.js';

// Checks a pair against the two trees; returns the first fault found.
function checkPair(p, o, a, path) {
  if (p === SAME) return writeJson(o) === writeJson(a) ? null : `${path}: marked whole but differs`;
  if (p.k === 'odd') return `${path}: unexplained`;
  if (p.o !== o || p.a !== a) return `${path}: pair of other nodes`;
  if (p.k === 'str') {
    let at = 0;
    let oAt = 0;
    for (const part of p.parts) {
      const [o0, o1] = part.keep ?? part.drop;
      if (o0 !== oAt) return `${path}: original pieces not contiguous`;
      oAt = o1;
      if (part.keep) {
        if (part.at !== at || a.v.slice(at, at + o1 - o0) !== o.v.slice(o0, o1)) return `${path}: kept text not in the answer`;
        at += o1 - o0;
      } else {
        if (part.marker[0] !== at || !a.v.slice(...part.marker).startsWith('…[+')) return `${path}: no marker where text was cut`;
        at = part.marker[1];
      }
    }
    return oAt === o.v.length && at === a.v.length ? null : `${path}: string not covered`;
  }
  const isArr = p.k === 'arr';
  const n = isArr ? o.items.length : o.keys.length;
  const m = isArr ? a.items.length : a.keys.length;
  const seenO = new Array(n).fill(0);
  const seenA = new Array(m).fill(0);
  for (const e of p.entries) {
    if (e.gap) {
      for (let i = e.from; i < e.from + e.gap; i++) seenO[i]++;
      if (a.items[e.ai].v !== `…[${e.gap} items omitted]`) return `${path}: gap without its marker`;
      seenA[e.ai]++;
      continue;
    }
    seenO[e.oi]++;
    seenA[e.ai]++;
    if (!isArr && o.keys[e.oi] !== a.keys[e.ai]) return `${path}: member under another key`;
    const child = isArr ? [o.items[e.oi], a.items[e.ai]] : [o.vals[e.oi], a.vals[e.ai]];
    const fault = checkPair(e.p, ...child, `${path}/${isArr ? e.oi : o.keys[e.oi]}`);
    if (fault) return fault;
  }
  if (!isArr) {
    for (const i of p.dropped) seenO[i]++;
    if (p.marker >= 0) {
      if (a.vals[p.marker].v !== `${p.dropped.length} keys omitted`) return `${path}: marker disagrees with dropped members`;
      seenA[p.marker]++;
    }
  }
  const order = p.entries.filter((e) => !e.gap).map((e) => e.oi);
  if (order.some((v, i) => i && v <= order[i - 1])) return `${path}: kept content out of order`;
  if (seenO.some((c) => c !== 1)) return `${path}: original not covered once`;
  if (seenA.some((c) => c !== 1)) return `${path}: answer not covered once`;
  return null;
}

const OPTION_SETS = [
  {},
  { array_strategy: 'condense' },
  { array_strategy: 'condense', explain: true, arguments: { q: 'open crash report' } },
  { indent: 0, keep_last_item: false, max_samples: 0 },
  { protect: ['id', '/*/title', 'user/login'], min_partial_chars: 0 },
  { format: 'yaml' },
  { array_strategy: 'condense', format: 'yaml', protect: ['body'] },
  { string_head_chars: 50, string_min_section_chars: 2 },
];

test('alignment agrees with the library on generated documents', { skip: !cliPath && 'no tersolite build found' }, () => {
  const docs = documents(20261209, 2);
  let checked = 0;
  for (const { name, doc } of docs) {
    // Half the documents go in as YAML, written by the library itself.
    const yamlIn = name.endsWith('#1') && !name.startsWith('lookalikes');
    const input = yamlIn ? JSON.parse(shrinkEnvelope(doc, { max_chars: 1e15, format: 'yaml' })).text : doc;
    const originalJson = asJson(input);
    const original = readJson(originalJson);
    const full = [...originalJson].length;
    for (const [k, options] of OPTION_SETS.entries()) {
      for (const share of [0.01, 0.08, 0.3, 0.7, 1.2]) {
        if ((k + Math.round(share * 100)) % 2 && share !== 0.08) continue; // a spread, not every pair
        const opts = { ...options, max_chars: Math.max(20, Math.round(full * share)) };
        const env = JSON.parse(shrinkEnvelope(input, opts));
        assert.ok(env.ok, `${name} ${JSON.stringify(opts)}: ${env.error}`);
        const answer = env.report.format === 'yaml' ? parseTersoliteYaml(env.text, opts.indent ?? 2) : readJson(env.text);
        const pair = align(original, answer, opts);
        const where = `${name} ${JSON.stringify(opts)}`;
        const fault = checkPair(pair, original, answer, '');
        assert.equal(fault, null, where);
        const c = countCuts(pair);
        const r = env.report;
        assert.deepEqual(
          [c.itemsDropped, c.keysDropped, c.stringsShortened, c.unexplained],
          [r.items_omitted, r.keys_omitted, r.strings_truncated, 0],
          where,
        );
        if (r.arrays_condensed === 0) assert.equal(c.fieldsDropped, 0, where);
        checked++;
      }
    }
  }
  assert.ok(checked > 300, `only ${checked} requests checked`);
});
