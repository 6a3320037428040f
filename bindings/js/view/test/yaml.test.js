// The view's YAML reader against the library's writer: every generated
// document written as YAML (two indent widths) reads back as the same tree
// the library writes as JSON, duplicate keys and number literals included.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { parseJson, writeJson } from '../json.js';
import { parseTersoliteYaml } from '../yaml.js';
import { documents } from './documents.js';
import { cliPath, NO_LIMIT, shrinkEnvelope } from './library.js';

const skip = !cliPath && 'no tersolite build found';

test('YAML written by the library reads back as its JSON', { skip }, () => {
  const extra = [
    '["-5", -5, "- x", ["- y", [-1]], "", " lead", "a: b", "|", "|-", "x\\n", "x\\n\\n", "a\\nb", "\\ta", "\\u0007", "…[3 items omitted]"]',
    '{"": 1, "-k": {"a": []}, "true": {}, "k:": "v", "k": "multi\\nline\\n", "q\\"k": [{"a": 1, "b": [2, {"c": "x\\ny"}]}]}',
    '[[[[]]], [{}], [[1, 2], [3]], {"a": [[{"b": null}]]}]',
    '"top\\nlevel\\n"',
    '-0.0',
  ];
  const docs = [...documents(7, 1).map((d) => d.doc), ...extra];
  for (const doc of docs) {
    const json = JSON.parse(shrinkEnvelope(doc, { ...NO_LIMIT, format: 'json', indent: 0 })).text;
    for (const indent of [2, 3, 4]) {
      const yaml = JSON.parse(shrinkEnvelope(doc, { ...NO_LIMIT, format: 'yaml', indent })).text;
      assert.equal(writeJson(parseTersoliteYaml(yaml, indent)), writeJson(parseJson(json)), `indent ${indent}:\n${yaml}`);
    }
  }
});

test('text the writer never produces is refused', () => {
  for (const bad of ['a: 1\n  b: 2\n', 'a: "open\n', '- x\nb: 1\n', '']) {
    assert.throws(() => parseTersoliteYaml(bad, 2), bad);
  }
});
