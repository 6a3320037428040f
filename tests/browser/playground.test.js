// The playground served from a static server and driven as a person would:
// it opens on an example, a pasted document is shrunk, moving the budget
// slider redraws the view, and the page asks nothing of any other host and
// logs no error. The view's counts must equal the report's each time.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { existsSync, mkdirSync } from 'node:fs';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromiumPath, launch, watchedPage } from './chromium.js';
import { serve } from './static_server.js';

const root = fileURLToPath(new URL('../../', import.meta.url));
const served = process.env.PLAYGROUND_ROOT ?? join(root, 'bindings/js');
const shots = process.env.SCREENSHOT_DIR ?? join(root, 'build/screenshots');
const skip =
  (!chromiumPath && 'no chromium') || (!existsSync(join(served, 'tersolite.wasm')) && 'tersolite.wasm not built (cmake --workflow --preset wasm)');

let browser;
let server;
before(async () => {
  if (skip) return;
  mkdirSync(shots, { recursive: true });
  browser = await launch();
  server = await serve(served);
});
after(async () => {
  await browser?.close();
  await server?.close();
});

// Waits for the view drawn after `previous`; returns its counts and the report's.
async function nextView(page, previous) {
  await page.waitForFunction((g) => Number(document.body.dataset.generation ?? 0) > g, { timeout: 20000 }, previous);
  return page.evaluate(() => {
    const v = document.querySelector('.tsv').dataset;
    const counter = (k) => Number(document.querySelector(`[data-counter="${k}"] b`).textContent.replace(/,/g, ''));
    return {
      generation: Number(document.body.dataset.generation),
      view: [Number(v.itemsDropped), Number(v.keysDropped), Number(v.stringsShortened), Number(v.unexplained)],
      report: [counter('items_omitted'), counter('keys_omitted'), counter('strings_truncated'), 0],
      budget: Number(document.getElementById('budget').value),
      status: document.getElementById('status').textContent,
    };
  });
}

test('playground: examples, a pasted document, the budget slider', { skip }, async () => {
  const origin = server.url;
  const { page, faults } = await watchedPage(browser, (u) => u.startsWith(`${origin}/`), { width: 1400, height: 1100 });
  await page.goto(`${origin}/playground/`);
  let state = await nextView(page, 0);
  assert.deepEqual(state.view, state.report, 'first example');
  await page.screenshot({ path: join(shots, 'playground-example.png') });

  // Every bundled example shrinks and is accounted for.
  const count = await page.$$eval('#example option', (o) => o.length);
  for (let i = 1; i < count - 1; i++) {
    await page.select('#example', String(i));
    state = await nextView(page, state.generation);
    assert.deepEqual(state.view, state.report, `example ${i}: ${state.status}`);
    const name = await page.$eval('#example', (el) => el.selectedOptions[0].textContent);
    if (/condensed/.test(name)) {
      const condensed = await page.$eval('[data-counter="arrays_condensed"] b', (el) => Number(el.textContent));
      assert.ok(condensed > 0, `${name} condenses`);
      assert.ok(await page.$('.tsv-decisions tbody tr'), `${name} explains`);
      await page.screenshot({ path: join(shots, 'playground-condensed.png') });
    }
  }

  // A pasted YAML document.
  const yaml = Array.from({ length: 60 }, (_, i) => `- id: ${i}\n  name: item ${i}\n  notes: ${'lorem ipsum dolor '.repeat(8)}`).join('\n');
  await page.$eval('#doc', (el, text) => {
    el.value = text;
    el.dispatchEvent(new Event('input', { bubbles: true }));
  }, yaml);
  await page.$eval('#budget', (el) => {
    el.value = '900';
    el.dispatchEvent(new Event('input', { bubbles: true }));
  });
  state = await nextView(page, state.generation);
  assert.equal(state.budget, 900);
  assert.deepEqual(state.view, state.report, 'pasted YAML');
  assert.match(state.status, /of [\d,]+ chars, budget 900/);

  // The slider, moved by keyboard as a person might.
  await page.focus('#budget-range');
  for (let k = 0; k < 40; k++) await page.keyboard.press('ArrowRight');
  state = await nextView(page, state.generation);
  assert.ok(state.budget > 900, `budget ${state.budget}`);
  assert.deepEqual(state.view, state.report, 'after the slider');
  await page.screenshot({ path: join(shots, 'playground-yaml.png') });

  // A bad document gives the library's message, not a broken page.
  await page.$eval('#doc', (el) => {
    el.value = '{"a": [1, 2,}';
    el.dispatchEvent(new Event('input', { bubbles: true }));
  });
  await page.waitForFunction(() => document.getElementById('status').classList.contains('pg-error'));
  assert.match(await page.$eval('#status', (el) => el.textContent), /^invalid JSON input: /);

  assert.deepEqual(faults, []);
  await page.close();
});
