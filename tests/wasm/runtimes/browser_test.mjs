// Runs the smoke test of the packed package (tests/wasm/packed_app.sh), and
// the README's page, in headless Chromium (Debian's), served from this machine's
// loopback. Skipped (77) without Chromium or puppeteer-core.
//
//   node tests/wasm/runtimes/browser_test.mjs APP_DIR [SCREENSHOT.png]
import { createServer } from 'node:http';
import { existsSync, mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { extname, join, normalize } from 'node:path';

const [app, screenshot] = process.argv.slice(2);
const chromium = process.env.CHROMIUM ?? '/usr/bin/chromium';
if (!existsSync(chromium)) {
  console.log(`${chromium} not found (Debian package chromium): skipped`);
  process.exit(77);
}
let puppeteer;
try {
  puppeteer = (await import('puppeteer-core')).default;
} catch {
  console.log('puppeteer-core not installed (npm ci --prefix tests/wasm/runtimes): skipped');
  process.exit(77);
}

const page = `<!doctype html>
<html><head><meta charset="utf-8"><title>tersolite smoke test</title>
<script type="importmap">{"imports": {"tersolite": "/node_modules/tersolite/tersolite.js"}}</script>
<style>body { font: 15px system-ui, sans-serif; margin: 2em; } pre { background: #f4f4f4; padding: 1em; }</style>
</head><body><h1>tersolite in the browser</h1><p id="status">running…</p><pre id="text"></pre>
<script type="module">
  import { smoke } from '/smoke.mjs';
  import { shrink } from 'tersolite';
  const status = document.getElementById('status');
  try {
    status.textContent = await smoke();
    // A document large enough that its instance is let go afterwards: the
    // next call makes a fresh one, synchronously, on the page's thread.
    const large = shrink({ log: 'x'.repeat(40 << 20) }, { maxChars: 100 });
    if (!large.report.fits || JSON.parse(shrink([7]).text)[0] !== 7) throw new Error('no fresh instance after a large document');
    document.getElementById('text').textContent =
      shrink({ city: 'Zürich', readings: Array.from({ length: 50 }, (_, i) => i * 1.5) }, { maxChars: 120 }).text;
    document.body.dataset.result = 'pass';
  } catch (e) {
    status.textContent = String(e.stack ?? e);
    document.body.dataset.result = 'fail';
  }
</script></body></html>`;

const types = { '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.mjs': 'text/javascript', '.wasm': 'application/wasm', '.json': 'application/json' };
const server = createServer((req, res) => {
  const path = normalize(decodeURIComponent(new URL(req.url, 'http://localhost').pathname));
  if (path === '/favicon.ico') {
    res.writeHead(204).end();
    return;
  }
  if (path === '/') {
    res.writeHead(200, { 'content-type': 'text/html; charset=utf-8' }).end(page);
    return;
  }
  const file = join(app, path);
  if (path.includes('..') || !existsSync(file)) {
    res.writeHead(404).end();
    return;
  }
  res.writeHead(200, { 'content-type': types[extname(file)] ?? 'application/octet-stream' }).end(readFileSync(file));
});
await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
const url = `http://127.0.0.1:${server.address().port}/`;

const profile = mkdtempSync(join(tmpdir(), 'tersolite-chromium-'));
const browser = await puppeteer.launch({
  executablePath: chromium,
  headless: true,
  userDataDir: profile,
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
         '--disable-component-update', '--disable-sync'],
});
let failed = true;
try {
  const tab = await browser.newPage();
  const messages = [];
  tab.on('console', (m) => messages.push(m.text()));
  tab.on('pageerror', (e) => messages.push(String(e)));
  await tab.setViewport({ width: 900, height: 700 });
  await tab.goto(url);
  tab.on('error', (e) => messages.push(`page crashed: ${e}`));
  try {
    await tab.waitForSelector('body[data-result]', { timeout: 60000 });
    failed = (await tab.$eval('body', (b) => b.dataset.result)) !== 'pass';
    console.log(await tab.$eval('#status', (e) => e.textContent));
    if (screenshot) await tab.screenshot({ path: screenshot });
    // The README's page, as written.
    await tab.goto(`${url}readme_page.html`);
    await tab.waitForFunction(() => document.getElementById('out')?.textContent, { timeout: 30000 });
    const shown = await tab.$eval('#out', (e) => e.textContent);
    if (!/"station": "Zürich"/.test(shown) || !/items omitted/.test(shown)) {
      messages.push(`the README page shows: ${shown}`);
      failed = true;
    }
    if (screenshot) await tab.screenshot({ path: screenshot.replace(/\.png$/, '-readme.png') });
  } catch (e) {
    messages.push(String(e));
    failed = true;
  }
  if (messages.length) console.log(messages.join('\n'));
} finally {
  await browser.close();
  server.close();
  rmSync(profile, { recursive: true, force: true });
}
process.exit(failed ? 1 : 0);
