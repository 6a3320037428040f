// The same checks in every JavaScript host (Node.js, Deno, Bun, a browser
// page): load the package, shrink a document, compare the envelope with the
// native library's, and run the same call in the worker.
import { init, shrink, shrinkEnvelope, shrinkAsync, closeWorker, version, TersoliteError } from 'tersolite';

const events = Array.from({ length: 30 }, (_, i) => ({
  id: i,
  level: i % 4 === 0 ? 'error' : 'info',
  message: `payment timeout for order ${7000 + i} in Zürich`,
}));
const doc = { service: 'checkout', events };
const options = { maxChars: 400, query: 'errors' };

// What the native library answers for this request.
const expected =
  "{\"ok\":true,\"text\":\"{\\n  \\\"service\\\": \\\"checkout\\\",\\n  \\\"events\\\": [\\n    {\\n      \\\"id\\\": 0,\\n      \\\"level\\\": \\\"error\\\",\\n      \\\"message\\\": \\\"payment timeout for order 7000 in Zürich\\\"\\n    },\\n    {\\n      \\\"id\\\": 1,\\n      \\\"level\\\": \\\"info\\\",\\n      \\\"message\\\": \\\"payment timeout for…[+21 chars]\\\"\\n    },\\n    \\\"…[27 items omitted]\\\",\\n    {\\n      \\\"id\\\": 29,\\n      \\\"level\\\": \\\"info\\\",\\n      \\\"message\\\": \\\"payment timeout for order 7029 in Zürich\\\"\\n    }\\n  ]\\n}\",\"report\":{\"input_chars\":3403,\"output_chars\":398,\"max_chars\":400,\"format\":\"json\",\"input_format\":\"json\",\"pruned\":true,\"fits\":true,\"strings_truncated\":1,\"arrays_sampled\":1,\"items_omitted\":27,\"objects_trimmed\":0,\"keys_omitted\":0,\"containers_collapsed\":0,\"arrays_condensed\":0,\"protected_omitted\":0,\"field_decisions\":[],\"fields_dropped\":0,\"dropped_fields\":[]}}";

function check(ok, what) {
  if (!ok) throw new Error(`smoke test failed: ${what}`);
}

// The README's edge worker, called as its host would call it.
async function edgeWorker() {
  const worker = (await import('./readme_edge_worker.mjs')).default;
  const post = (query, body) => worker.fetch(new Request(`http://localhost/${query}`, { method: 'POST', body }));
  let response = await post('?max_chars=400', JSON.stringify(doc));
  check(response.status === 200 && response.headers.get('x-tersolite-fits') === 'true', 'edge worker status');
  check((await response.text()) === shrink(doc, { maxChars: 400 }).text, 'edge worker text');
  response = await post('', '{"a": ');
  check(response.status === 400 && /^invalid JSON input/.test(await response.text()), 'edge worker error');
}

export async function smoke() {
  await init();
  const envelope = shrinkEnvelope(JSON.stringify(doc), '{"max_chars":400,"arguments":{"query":"errors"}}');
  check(envelope === expected, `envelope differs from the native library's:\n${envelope}`);
  const { text, report } = shrink(doc, options);
  check(text === JSON.parse(expected).text && report.items_omitted === 27, 'shrink() result');
  let error = null;
  try {
    shrink('{"a": }');
  } catch (e) {
    error = e;
  }
  check(error instanceof TersoliteError && /^invalid JSON input/.test(error.message), 'error thrown');
  const fromWorker = await shrinkAsync(doc, options);
  closeWorker();
  check(fromWorker.text === text, 'shrinkAsync() result');
  await edgeWorker();
  return `tersolite ${version()}: ${report.input_chars} -> ${report.output_chars} characters, envelope identical`;
}
