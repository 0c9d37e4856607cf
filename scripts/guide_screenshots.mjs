// Takes the page's pictures for the teacher's guide (docs/教师指南.md):
// Debian's chromium, driven by playwright-core (the browser test's package),
// works a generated example as a teacher would and shoots each step.
// Usage: node guide_screenshots.mjs FENBAN_BINARY HOST_FOLDER OUTPUT_FOLDER
// HOST_FOLDER must not exist; it is left with the division for the sheet pictures.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { idle, launchChromium, startServer } from '../tests/web/browser/browser_session.mjs';

const [fenban, host, output] = process.argv.slice(2).map((p) => path.resolve(p));
fs.mkdirSync(output, { recursive: true });
execFileSync(fenban, ['init', host, '--example', '400', '--seed', '20261207'], { stdio: 'ignore' });

const shot = (page, name, options = {}) => page.screenshot({ path: path.join(output, name), ...options });

const server = await startServer(fenban, host);
const { context, profile } = await launchChromium('fenban-guide-', ['--lang=zh-CN'], { viewport: { width: 1200, height: 720 } });
try {
  const page = context.pages()[0] || await context.newPage();
  await page.goto(server.url);
  await page.waitForSelector('#books');
  await idle(page);

  // The form: the example chosen, 8 classes balanced by sex.
  await page.selectOption('#books', '示例.xlsx');
  await idle(page);
  await page.fill('#txtFenBan', '8');
  await page.press('#txtFenBan', 'Tab');
  await idle(page);
  await page.check('#chbXingBie');
  await idle(page);
  await shot(page, 'page-form.png');

  // 分班: the statistics of the new division.
  await page.click('#cmdFenBan');
  await idle(page);
  await page.waitForSelector('#statistics');
  await shot(page, 'page-statistics.png', { clip: { x: 324, y: 56, width: 864, height: 560 } });

  // The board, with one student moved from class 1 to class 2 (two taps).
  await page.click('#tabs button[data-tab="board"]');
  await page.waitForSelector('#board');
  const first = '#board .card[data-label="1"] li.student';
  await page.click(first);
  await page.click('#board .card[data-label="2"] .card-head');
  await idle(page);
  await page.waitForSelector('#pendingInfo:not([hidden])');
  await shot(page, 'page-board.png', { clip: { x: 0, y: 0, width: 1200, height: 560 } });

  // Another program changes the workbook before 保存: the page refuses and says why.
  execFileSync(fenban, ['-C', host, 'stats', '示例.xlsx', '分班表1'], { stdio: 'ignore' });
  await page.click('#save');
  await page.waitForSelector('#dialog[open]');
  const box = await page.$eval('#dialog', (d) => { const r = d.getBoundingClientRect(); return { x: r.x, y: r.y, width: r.width, height: r.height }; });
  await shot(page, 'page-conflict.png', { clip: { x: box.x - 12, y: box.y - 12, width: box.width + 24, height: box.height + 24 } });
  await page.click('#dialogOk');  // 重新读取
  await idle(page);

  // 恢复…: the versions kept of the workbook.
  await page.click('#versions');
  await page.waitForSelector('#versionsDialog[open] #versionsTable');
  const versions = await page.$eval('#versionsDialog', (d) => { const r = d.getBoundingClientRect(); return { x: r.x, y: r.y, width: r.width, height: r.height }; });
  await shot(page, 'page-versions.png', { clip: { x: versions.x - 12, y: versions.y - 12, width: versions.width + 24, height: versions.height + 24 } });
  await page.click('#versionsDialog button[value="cancel"]');
} finally {
  await context.close();
  server.child.kill();
  fs.rmSync(profile, { recursive: true, force: true });
}
