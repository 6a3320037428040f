// The worker behind shrinkAsync() and shrinkEnvelopeAsync(): it gets the
// compiled module once, then answers each request with its envelope.
import { init, shrinkEnvelope } from './tersolite.js';

let port;
if (typeof self !== 'undefined' && typeof self.postMessage === 'function') {
  port = { listen: (f) => self.addEventListener('message', (e) => f(e.data)), post: (m) => self.postMessage(m) };
} else {
  const { parentPort } = await import('node:worker_threads');
  port = { listen: (f) => parentPort.on('message', f), post: (m) => parentPort.postMessage(m) };
}

// The pieces a request's text arrives in, as one run of bytes.
function joined(pieces) {
  const out = new Uint8Array(pieces.reduce((n, p) => n + p.length, 0));
  let at = 0;
  for (const p of pieces) {
    out.set(p, at);
    at += p.length;
  }
  return out;
}

let loaded = null;
port.listen(async (message) => {
  if (message.module) {
    loaded = init(message.module);
    return;
  }
  try {
    await loaded;
    port.post({ id: message.id, envelope: shrinkEnvelope(joined(message.input), joined(message.options)) });
  } catch (e) {
    port.post({ id: message.id, error: String(e?.message ?? e) });
  }
});
