// The playground's worker: the library runs here, so that a large document
// never freezes the page. Each request gets the envelope, and, when the
// document is new, the document as the library reads it, written as JSON
// (what the view shows on the left).
import { init, shrinkEnvelope } from '../tersolite.js';

const loaded = init();
// The largest budget there is: nothing is cut, the document is only rewritten.
const AS_JSON = '{"max_chars":18446744073709551615,"format":"json","indent":0}';

self.addEventListener('message', async ({ data }) => {
  try {
    await loaded;
    const started = performance.now();
    const envelope = shrinkEnvelope(data.doc, data.options);
    const ms = performance.now() - started;
    let original = null;
    if (data.original && envelope.startsWith('{"ok":true')) {
      const env = JSON.parse(shrinkEnvelope(data.doc, AS_JSON));
      original = env.ok ? env.text : null;
    }
    self.postMessage({ id: data.id, envelope, original, ms });
  } catch (e) {
    self.postMessage({ id: data.id, failure: String(e?.message ?? e) });
  }
});

loaded.then(
  () => self.postMessage({ ready: true }),
  (e) => self.postMessage({ failure: `cannot load the library: ${e?.message ?? e}` }),
);
