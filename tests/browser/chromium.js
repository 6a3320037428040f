// Debian's Chromium under puppeteer-core, started as this machine needs it,
// and a watch on each page for console errors and network requests.
import { existsSync, mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import puppeteer from 'puppeteer-core';

export const chromiumPath = ['/usr/bin/chromium', '/usr/bin/chromium-browser'].find(existsSync);

export async function launch() {
  const profile = mkdtempSync(join(tmpdir(), 'tersolite-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: chromiumPath,
    headless: true,
    userDataDir: profile,
    args: [
      '--no-sandbox',
      '--disable-gpu',
      '--disable-quic',
      '--no-first-run',
      '--disable-background-networking',
      '--disable-component-update',
      '--disable-sync',
    ],
  });
  const close = browser.close.bind(browser);
  browser.close = async () => {
    await close();
    rmSync(profile, { recursive: true, force: true });
  };
  return browser;
}

/**
 * A new page that records console errors, uncaught errors and every request
 * whose URL `allowed` refuses (it is let through, so the page behaves as it
 * would, and reported).
 */
export async function watchedPage(browser, allowed, size = { width: 1400, height: 1000 }) {
  const page = await browser.newPage();
  await page.setViewport(size);
  const faults = [];
  page.on('console', (m) => {
    if (m.type() === 'error') faults.push(`console: ${m.text()}`);
  });
  page.on('pageerror', (e) => faults.push(`page error: ${e.message}`));
  page.on('request', (r) => {
    if (!allowed(r.url())) faults.push(`request: ${r.url()}`);
  });
  page.on('response', (r) => {
    if (r.status() >= 400) faults.push(`HTTP ${r.status()}: ${r.url()}`);
  });
  page.on('requestfailed', (r) => {
    if (allowed(r.url())) faults.push(`failed: ${r.url()} ${r.failure()?.errorText}`);
  });
  return { page, faults };
}
