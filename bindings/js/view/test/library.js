// The library for the view's tests: the command-line tool named by
// TERSOLITE_CLI (ctest passes the one it built), else the release build.
import { spawnSync } from 'node:child_process';
import { existsSync } from 'node:fs';
import { fileURLToPath } from 'node:url';

const root = fileURLToPath(new URL('../../../../', import.meta.url));

export const cliPath =
  process.env.TERSOLITE_CLI ?? ['build/release/tersolite', 'build/test/tersolite'].map((p) => root + p).find(existsSync);

/** The library's envelope text for a document and an options object. */
export function shrinkEnvelope(doc, options) {
  const r = spawnSync(cliPath, ['--envelope', '--options', optionsText(options), '-'], {
    input: doc,
    maxBuffer: 1 << 30,
  });
  const out = r.stdout.toString();
  if (r.status !== 0 && !out.startsWith('{"ok":false')) throw new Error(`tersolite failed: ${r.stderr}`);
  return out.slice(0, out.indexOf('\n'));
}

/** Options as JSON text; BigInt members become plain integers. */
export function optionsText(options) {
  return JSON.stringify(options, (_, v) => (typeof v === 'bigint' ? `#big${v}#` : v)).replace(/"#big(\d+)#"/g, '$1');
}

// The largest budget the library accepts: nothing is cut.
export const NO_LIMIT = { max_chars: 18446744073709551615n };

/** The document as compact JSON, as the library reads it (JSON or YAML). */
export function asJson(doc, inputFormat = 'auto') {
  const env = JSON.parse(shrinkEnvelope(doc, { ...NO_LIMIT, format: 'json', indent: 0, input_format: inputFormat }));
  if (!env.ok) throw new Error(env.error);
  return env.text;
}
