// How long a call keeps Node.js's event loop from turning: shrink() on the
// calling thread against shrinkAsync() in the worker.
//
//   node bench/js/event_loop.mjs FILE [text|bytes]
//
// A 2 ms interval timer runs throughout; the longest gap between two of
// its ticks is the longest the loop stood still.
import { readFileSync } from 'node:fs';
import { closeWorker, init, shrink, shrinkAsync } from '../../bindings/js/tersolite.js';

const [file, kind = 'bytes'] = process.argv.slice(2);
const doc = kind === 'text' ? readFileSync(file, 'utf8') : readFileSync(file);
const options = { maxChars: 10000 };
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
await init();

const calls = [
  ['shrinkAsync, starting the worker', () => shrinkAsync(doc, options)],
  ['shrinkAsync', () => shrinkAsync(doc, options)],
  ['shrink', async () => shrink(doc, options)],
];
for (const [name, call] of calls) {
  let last = performance.now();
  let longest = 0;
  const timer = setInterval(() => {
    const now = performance.now();
    longest = Math.max(longest, now - last);
    last = now;
  }, 2);
  await sleep(20);
  const start = performance.now();
  await call();
  const took = performance.now() - start;
  await sleep(20);
  clearInterval(timer);
  console.log(`${name}: ${took.toFixed(0)} ms; the event loop stood still for at most ${longest.toFixed(0)} ms`);
}
closeWorker();
