// What the browser test and the guide's pictures share: `fenban serve` on a
// host folder, Debian's chromium driven by playwright-core in a profile of
// its own, and the wait for the page to finish the user's last action.
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { chromium } from 'playwright-core';

// Starts `fenban serve -C host`; resolves with the process and the address
// it prints (url, origin, token) once it listens.
export function startServer(fenban, host) {
  return new Promise((resolve, reject) => {
    const child = spawn(fenban, ['serve', '-C', host], { stdio: ['ignore', 'pipe', 'inherit'] });
    let text = '';
    child.stdout.on('data', (chunk) => {
      text += chunk;
      const found = text.match(/http:\/\/127\.0\.0\.1:(\d+)\/\?token=([0-9a-f]+)/);
      if (found) resolve({ child, url: found[0], origin: `http://127.0.0.1:${found[1]}`, token: found[2] });
    });
    child.on('exit', (code) => reject(new Error('fenban serve ended with ' + code + ': ' + text)));
  });
}

// Debian's chromium, headless, in a new profile named by `prefix` under the
// temporary folder; `extraArgs` are added to its command line and `options`
// (viewport, downloads) passed to playwright. Resolves with the context and
// the profile folder, which the caller removes when it is done.
export async function launchChromium(prefix, extraArgs = [], options = {}) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), prefix));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync', ...extraArgs],
    ...options,
  });
  return { context, profile };
}

// Waits until the page has carried out the user's last action.
export async function idle(page) {
  await page.waitForSelector('body:not([data-busy])', { state: 'attached' });
}
