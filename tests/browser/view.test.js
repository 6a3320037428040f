// Pages written by `tersolite --view`, opened in Chromium: for documents of
// several kinds, budgets and both strategies, the page asks for nothing on
// the network, logs no error, shows as many dropped items and keys and
// shortened strings as the report counts, and lights up what a marker
// stands for when it is pointed at. Screenshots go to build/screenshots.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { mkdirSync, mkdtempSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { chromiumPath, launch, watchedPage } from './chromium.js';
import { documents } from '../../bindings/js/view/test/documents.js';

const root = fileURLToPath(new URL('../../', import.meta.url));
const cli = process.env.TERSOLITE_CLI;
const shots = process.env.SCREENSHOT_DIR ?? join(root, 'build/screenshots');
const work = mkdtempSync(join(tmpdir(), 'tersolite-view-'));
const skip = (!cli && 'TERSOLITE_CLI not set') || (!chromiumPath && 'no chromium');

let browser;
before(async () => {
  if (skip) return;
  mkdirSync(shots, { recursive: true });
  browser = await launch();
});
after(async () => browser?.close());

// Writes the page; returns its file and the envelope the CLI printed.
function viewPage(name, file, args) {
  const html = join(work, `${name}.html`);
  const r = spawnSync(cli, ['--envelope', '--view', html, ...args, file], { maxBuffer: 1 << 30 });
  assert.equal(r.status, 0, `${name}: ${r.stderr}`);
  return { html, envelope: JSON.parse(r.stdout.toString().split('\n')[0]) };
}

// Opens every fold except dropped runs, a round at a time.
async function expandAll(page) {
  for (let round = 0; round < 60; round++) {
    const clicked = await page.evaluate(() => {
      const buttons = [...document.querySelectorAll('.tsv-tg[aria-expanded="false"], .tsv-morerow .tsv-more')].filter(
        (b) => !b.closest('.tsv-run, .tsv-gonebox'),
      );
      for (const b of buttons) b.click();
      return buttons.length;
    });
    if (clicked === 0) return;
  }
  throw new Error('folds kept opening');
}

const domCounts = (page) =>
  page.evaluate(() => {
    const sum = (attr) => [...document.querySelectorAll(`[data-${attr}]`)].reduce((s, e) => s + Number(e.dataset[attr]), 0);
    const v = document.querySelector('.tsv').dataset;
    return {
      items: sum('items'),
      keys: sum('keys'),
      strings: document.querySelectorAll('[data-cut="string"]').length,
      view: [Number(v.itemsDropped), Number(v.keysDropped), Number(v.stringsShortened), Number(v.unexplained)],
    };
  });

// Points at the first marker, then at what it stands for; says what lit up.
async function hoverBothWays(page) {
  const id = await page.evaluate(() => document.querySelector('.tsv-r .tsv-mk')?.dataset.l);
  if (!id) return null;
  const lit = () =>
    page.evaluate(
      (id) =>
        [...document.querySelectorAll(`[data-l="${id}"]`)].map((e) => ({
          side: e.closest('.tsv-l') || e.classList.contains('tsv-l') ? 'left' : e.closest('.tsv-r') ? 'right' : 'other',
          lit: e.classList.contains('tsv-hl'),
        })),
      id,
    );
  await page.hover(`.tsv-r .tsv-mk[data-l="${id}"]`);
  const fromMarker = await lit();
  await page.mouse.move(0, 0);
  await page.hover(`.tsv-l[data-l="${id}"], .tsv-l [data-l="${id}"]`);
  const fromOriginal = await lit();
  return { fromMarker, fromOriginal };
}

const generated = Object.fromEntries(documents(424242, 1).map(({ name, doc }) => [name.replace(/#.*/, ''), doc]));
function docFile(name) {
  const f = join(work, `${name}.json`);
  writeFileSync(f, generated[name]);
  return f;
}

const cases = [
  { name: 'issues-sample-1500', file: () => join(root, 'examples/issues.json'), args: ['--max-chars', '1500'], shot: true },
  { name: 'issues-condense-explain', file: () => join(root, 'examples/issues.json'), args: ['--protect', 'title', '--max-chars', '900', '--strategy', 'condense', '--explain'], shot: true },
  { name: 'issues-yaml-out', file: () => join(root, 'examples/issues.json'), args: ['--max-chars', '2500', '--format', 'yaml'] },
  { name: 'records-condense', file: () => docFile('wrapped'), args: ['--max-chars', '3000', '--strategy', 'condense', '--query', 'crash report'] },
  { name: 'logs', file: () => docFile('logs'), args: ['--max-chars', '2000'], shot: true },
  { name: 'catalog', file: () => docFile('catalog'), args: ['--max-chars', '600', '--indent', '0'] },
  { name: 'lookalikes', file: () => docFile('lookalikes'), args: ['--max-chars', '700'] },
  { name: 'nested', file: () => docFile('nested'), args: ['--max-chars', '400'] },
  { name: 'long-string', file: () => docFile('longString'), args: ['--max-chars', '900'] },
  { name: 'fits', file: () => join(root, 'examples/issues.json'), args: ['--max-chars', '100000'] },
];

for (const c of cases) {
  test(`--view page: ${c.name}`, { skip }, async () => {
    const { html, envelope } = viewPage(c.name, c.file(), c.args);
    assert.ok(envelope.ok, envelope.error);
    const url = pathToFileURL(html).href;
    const { page, faults } = await watchedPage(browser, (u) => u === url);
    await page.goto(url, { waitUntil: 'load' });
    await page.waitForSelector('.tsv-grid');
    const r = envelope.report;
    const before = await domCounts(page);
    assert.deepEqual(before.view, [r.items_omitted, r.keys_omitted, r.strings_truncated, 0], 'view counts');
    if (c.shot) await page.screenshot({ path: join(shots, `view-${c.name}.png`) });
    await expandAll(page);
    const counts = await domCounts(page);
    assert.deepEqual([counts.items, counts.keys, counts.strings], [r.items_omitted, r.keys_omitted, r.strings_truncated], 'rows on the page');
    const hover = await hoverBothWays(page);
    if (r.items_omitted + r.keys_omitted + r.strings_truncated > 0) {
      assert.ok(hover, 'a marker to point at');
      for (const h of [hover.fromMarker, hover.fromOriginal]) {
        assert.ok(h.every((x) => x.lit), 'everything linked lights up');
        assert.ok(h.some((x) => x.side === 'left') && h.some((x) => x.side === 'right'), 'both sides take part');
      }
      if (c.shot) await page.screenshot({ path: join(shots, `view-${c.name}-hover.png`) });
    }
    assert.deepEqual(faults, []);
    await page.close();
  });
}

test('--view page: condense tables sort', { skip }, async () => {
  const { html } = viewPage('sort', join(root, 'examples/issues.json'), ['--max-chars', '900', '--strategy', 'condense', '--explain']);
  const { page, faults } = await watchedPage(browser, (u) => u.startsWith('file:'));
  await page.goto(pathToFileURL(html).href);
  const column = (name) =>
    page.evaluate((name) => {
      const t = document.querySelector('.tsv-decisions table');
      const i = [...t.querySelectorAll('th')].findIndex((th) => th.dataset.col === name);
      return [...t.querySelectorAll('tbody tr')].map((tr) => tr.children[i].textContent);
    }, name);
  await page.click('.tsv-decisions th[data-col="path"] button');
  const paths = await column('path');
  assert.deepEqual(paths, [...paths].sort((a, b) => a.localeCompare(b)));
  await page.click('.tsv-decisions th[data-col="path"] button');
  assert.deepEqual(await column('path'), [...paths].reverse());
  await page.click('.tsv-decisions th[data-col="score"] button');
  const scores = (await column('score')).map(Number);
  assert.deepEqual(scores, [...scores].sort((a, b) => b - a));
  assert.deepEqual(faults, []);
  await page.close();
});
