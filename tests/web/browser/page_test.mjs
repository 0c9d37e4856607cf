// Browser test of `fenban serve`: Debian's chromium, driven by playwright-core,
// works the page as a teacher would, and every figure it shows is checked
// against the saved workbooks read by openpyxl and against `fenban stats`.
// Usage: node page_test.mjs FENBAN_BINARY OUTPUT_FOLDER
import { execFileSync, spawn } from 'node:child_process';
import { createHash } from 'node:crypto';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { idle, launchChromium, startServer } from './browser_session.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const fenban = path.resolve(process.argv[2] || 'build/fenban');
const output = path.resolve(process.argv[3] || 'build/web-screenshots');
fs.mkdirSync(output, { recursive: true });
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'fenban-web-'));
const host = path.join(work, 'host');
const data = path.join(host, '数据');

let failures = 0;
function check(condition, message) {
  if (condition) return;
  failures += 1;
  console.error('FAIL: ' + message);
}
function checkEqual(actual, expected, message) {
  const a = JSON.stringify(actual), e = JSON.stringify(expected);
  check(a === e, `${message}\n  got      ${a}\n  expected ${e}`);
}

function python(...args) {
  return execFileSync('/usr/bin/python3', [path.join(here, 'workbook_facts.py'), ...args], { encoding: 'utf8' });
}
const facts = (book, number) => JSON.parse(python('facts', book, String(number)));

// The shown text of a "最大差" figure as the sheet shows it: counts whole,
// averages with one decimal.
function sameFigure(shown, value) {
  if (value === null || value === undefined) return shown === '' || shown === '0';
  const number = Number(shown);
  return shown.includes('.') ? Math.abs(number - Math.round(value * 10) / 10) < 1e-9 : number === value;
}
function checkMaxDiff(pageRows, bookRows, message) {
  check(pageRows.length === bookRows.length, `${message}: ${pageRows.length} 最大差 rows, expected ${bookRows.length}`);
  pageRows.forEach((row, r) => {
    const expected = bookRows[r] || [];
    for (let i = 0; i < Math.max(row.length, expected.length); i += 1) {
      const shown = row[i] === undefined ? '' : row[i];
      check(sameFigure(shown, expected[i]), `${message}: 最大差 row ${r + 1} column ${i + 2} shows "${shown}", workbook ${expected[i]}`);
    }
  });
}

function folderDigest(folder) {
  const entries = [];
  const walk = (dir) => {
    for (const name of fs.readdirSync(dir).sort()) {
      const full = path.join(dir, name);
      if (fs.statSync(full).isDirectory()) walk(full);
      else entries.push(name + ':' + createHash('sha256').update(fs.readFileSync(full)).digest('hex'));
    }
  };
  walk(folder);
  return entries.join('\n');
}


async function dialogText(page) {
  await page.waitForSelector('#dialog[open]');
  const result = { title: await page.textContent('#dialogTitle'), text: await page.textContent('#dialogText') };
  return result;
}
async function closeDialog(page, button = '#dialogOk') {
  await page.click(button);
  await page.waitForSelector('#dialog:not([open])', { state: 'attached' });
}

// The board of all classes, shown.
async function showBoard(page) {
  if (!(await page.$('#board'))) await page.click('#tabs button[data-tab="board"]');
  await page.waitForSelector('#board');
}
const card = (label) => `#board .card[data-label="${label}"]`;
const student = (label, name) => `${card(label)} li.student[data-name="${name}"]`;
// The names in the card of the class with that label.
async function classNames(page, label) {
  await showBoard(page);
  return page.$$eval(`${card(label)} li.student`, (items) => items.map((item) => item.dataset.name));
}
async function classLabels(page) {
  await showBoard(page);
  return page.$$eval('#board .card', (cards) => cards.map((c) => c.dataset.label));
}
// Moves the student named `name` (in the card of class `from`) with two
// taps: one picks the student, one on the class places it.
async function moveByTap(page, from, name, to) {
  await showBoard(page);
  await page.click(student(from, name));
  await page.click(`${card(to)} .card-head`);
}
const divisionsIn = (book) => facts(book, 1).sheets.filter((s) => s.startsWith('分班表')).sort();
function classOf(classes, name) {
  return Object.keys(classes).find((label) => classes[label].includes(name));
}

async function maxDiffOnPage(page) {
  return page.$$eval('#statistics tr.max-diff', (rows) => rows.map((row) =>
    Array.from(row.querySelectorAll('td')).slice(1).map((td) => td.dataset.value)));
}

// The contrast of every visible control's text against what lies under it
// (WCAG 2 relative luminance), in its normal state and, for buttons, hovered.
async function lowContrastControls(page) {
  return page.evaluate(() => {
    const parse = (text) => (text.match(/[\d.]+/g) || []).map(Number);
    const luminance = ([r, g, b]) => [r, g, b].map((v) => {
      const c = v / 255;
      return c <= 0.03928 ? c / 12.92 : ((c + 0.055) / 1.055) ** 2.4;
    }).reduce((sum, c, i) => sum + c * [0.2126, 0.7152, 0.0722][i], 0);
    const background = (element) => {
      for (let e = element; e; e = e.parentElement) {
        const colour = parse(getComputedStyle(e).backgroundColor);
        if (colour.length === 3 || (colour.length === 4 && colour[3] > 0.5)) return colour.slice(0, 3);
      }
      return [255, 255, 255];
    };
    const low = [];
    for (const control of document.querySelectorAll('button, .button, summary, .card-head, #tabs button, select, input')) {
      if (!control.offsetParent || !control.textContent.trim() && control.tagName === 'BUTTON') continue;
      const a = luminance(parse(getComputedStyle(control).color).slice(0, 3));
      const b = luminance(background(control));
      const ratio = (Math.max(a, b) + 0.05) / (Math.min(a, b) + 0.05);
      if (ratio < 4.5) low.push(`${control.id || control.className || control.tagName} ${control.textContent.trim().slice(0, 8)} ${ratio.toFixed(2)}`);
    }
    return low;
  });
}

const changeLines = (page) => page.$$eval('#changes li', (items) => items.map((item) => item.textContent));
const markedNames = (page) => page.$$eval('#board li.student.moved', (items) => items.map((item) => item.dataset.name).sort());

// The board at a desk's screen and a phone's: a swap by dropping onto a
// student, its undo and redo as one step, the marks and the change list,
// search, the keyboard, and the help. One move is waiting when it starts.
async function boardSteps(page, labels) {
  await page.setViewportSize({ width: 1366, height: 768 });
  const [a] = await classNames(page, labels[0]);
  const [b] = await classNames(page, labels[3]);
  await page.dragAndDrop(student(labels[0], a), student(labels[3], b));
  await idle(page);
  check((await classNames(page, labels[3])).includes(a) && (await classNames(page, labels[0])).includes(b),
    `dropping ${a} onto ${b} swaps the two`);
  checkEqual(await page.textContent('#pendingInfo'), '分班表1：2 处调班未保存', 'a swap is one change');
  const afterSwap = await changeLines(page);
  checkEqual(afterSwap.length, 2, 'the change list has the move and the swap');
  checkEqual(afterSwap[1], `对调 ${a}：${labels[0]}班 → ${labels[3]}班；${b}：${labels[3]}班 → ${labels[0]}班`, 'the swap in the change list');
  const marked = await markedNames(page);
  check([a, b].every((name) => marked.includes(name)) && marked.length === 3, 'the moved students are marked: ' + marked);
  await page.screenshot({ path: path.join(output, 'board-swap.png') });

  await page.click('#undo');
  await idle(page);
  check((await classNames(page, labels[0])).includes(a) && (await classNames(page, labels[3])).includes(b),
    'one undo takes the whole swap back');
  checkEqual((await changeLines(page)).length, 1, 'the change list follows the undo');
  check(!(await markedNames(page)).includes(a), 'a student moved back is no longer marked');
  check((await page.textContent('#status')).startsWith('已撤销'), 'the status says what undo did');
  await page.click('#redo');
  await idle(page);
  checkEqual(await changeLines(page), afterSwap, 'redo brings the swap back whole');
  checkEqual(await lowContrastControls(page), [], 'every control reads at 4.5:1 or more');
  for (const control of ['#save', '#undo', '#tabs button[data-tab="board"]', '#cmdFenBan']) {
    await page.hover(control);
    checkEqual(await lowContrastControls(page), [], `every control reads at 4.5:1 or more, ${control} hovered`);
  }

  // Search: the student found is highlighted in its class; the filter hides the rest.
  const [wanted] = await classNames(page, labels[4]);
  await page.fill('#search', wanted);
  const found = await page.$$eval('#board li.student.found', (items) => items.map((item) =>
    [item.dataset.name, item.closest('.card').dataset.label]));
  check(found.some(([name, label]) => name === wanted && label === labels[4]), `${wanted} is found in class ${labels[4]}`);
  check((await page.textContent('#foundCount')).startsWith('找到'), 'the page says how many were found');
  await page.check('#searchOnly');
  checkEqual(await page.$$eval('#board li.student:not([hidden])', (items) => items.length), found.length,
    'only the students found are shown');
  await page.screenshot({ path: path.join(output, 'board-search.png') });
  await page.uncheck('#searchOnly');
  await page.fill('#search', '');

  // The keyboard: Enter picks a student, Enter on a class places it.
  const [typed] = await classNames(page, labels[5]);
  await page.focus(student(labels[5], typed));
  await page.keyboard.press('Enter');
  check((await page.textContent('#pickedInfo')).includes(typed), 'the picked student is named');
  await page.focus(`${card(labels[4])} .card-head`);
  await page.keyboard.press('Enter');
  await idle(page);
  check((await classNames(page, labels[4])).includes(typed), 'a student placed with the keyboard moves');
  await page.click('#undo');
  await idle(page);

  // A wide screen shows more classes a row.
  await page.setViewportSize({ width: 1920, height: 1080 });
  const perRow = await page.$$eval('#board .card', (cards) => cards.filter((c) => c.offsetTop === cards[0].offsetTop).length);
  check(perRow >= 6, 'at 1920 px the six classes stand in one row: ' + perRow);
  await page.screenshot({ path: path.join(output, 'board-1920.png') });
  await page.setViewportSize({ width: 1366, height: 768 });

  // The statistics fit the screen: the tables scroll inside their boxes.
  await page.click('#tabs button[data-tab="stats"]');
  await page.waitForSelector('#classAverages');
  checkEqual(await page.evaluate(() => document.documentElement.scrollWidth <= window.innerWidth), true,
    'the statistics fit 1366 px');
  const averages = await page.$$eval('#classAverages tbody tr', (rows) => rows.map((r) => r.children[0].textContent));
  checkEqual(averages, [...labels, '全年级', '最大差'], 'a whole-class average row per class');
  const averaged = await page.$$eval('#classAverages thead th', (cells) => cells.map((c) => c.textContent));
  checkEqual(averaged, ['新班级', '语文', '数学', '英语', '物理', '化学', '生物', '政治', '历史', '地理', '总分'],
    'the averages are of the marks only');
  await page.screenshot({ path: path.join(output, 'statistics-1366.png') });

  // A phone: the board fits 390 px, and a tap picks and a tap places.
  await page.setViewportSize({ width: 390, height: 844 });
  await showBoard(page);
  checkEqual(await page.evaluate(() => document.documentElement.scrollWidth <= window.innerWidth), true, 'the board fits 390 px');
  const cardWidth = await page.$eval('#board .card', (c) => c.getBoundingClientRect().width);
  check(cardWidth >= 150, 'a card is wide enough to read on a phone: ' + cardWidth);
  const [tapped] = await classNames(page, labels[1]);
  await page.click(student(labels[1], tapped));
  await page.click(`${card(labels[2])} .card-head`);
  await idle(page);
  check((await classNames(page, labels[2])).includes(tapped), 'tap and tap moves a student on a phone');
  await page.screenshot({ path: path.join(output, 'phone-board.png') });
  await page.click('#undo');
  await idle(page);
  await page.click('#tabs button[data-tab="stats"]');
  checkEqual(await page.evaluate(() => document.documentElement.scrollWidth <= window.innerWidth), true,
    'the statistics fit 390 px');
  await page.screenshot({ path: path.join(output, 'phone-statistics.png') });

  // The help is the teacher's guide (the text of help.doc), in Chinese, with its pictures shown.
  await page.click('#cmdHelp');
  await page.waitForSelector('#helpDialog[open] #helpText h3');
  const help = await page.textContent('#helpText');
  const headings = await page.$$eval('#helpText h2, #helpText h3', (all) => all.map((h) => h.textContent));
  check(help.includes('调班看板') && help.includes('对调') && help.includes('文件已被改动') && help.includes('fenban-setup.exe'),
    'the help covers the board, conflicts and Windows');
  check(headings.length >= 8 && headings.every((h) => !/[a-z]{4}/.test(h.replace(/fenban( serve)?|Windows|Excel|WPS/g, ''))),
    'the help\'s headings are Chinese: ' + headings);
  // Polled from here: waitForFunction re-evaluates its predicate from a string
  // when it is not true at once, which the page's script-src 'self' forbids.
  for (let tries = 0; tries < 100; tries++) {
    if (await page.$$eval('#helpText img', (images) => images.every((img) => img.complete))) break;
    await page.waitForTimeout(100);
  }
  const pictures = await page.$$eval('#helpText img', (images) => images.map((img) => [img.getAttribute('src'), img.naturalWidth]));
  check(pictures.length >= 5 && pictures.every(([, width]) => width > 0), 'the help\'s pictures load: ' + JSON.stringify(pictures));
  await page.screenshot({ path: path.join(output, 'phone-help.png') });
  await page.click('#helpDialog button[value="close"]');
  await page.setViewportSize({ width: 1400, height: 900 });
}

// How long a move and a swap take on a large year, from the tap that
// places the student to the board showing the new figures, and how much of
// it the server's answer takes. Printed, not checked: speed targets belong
// in benchmarks. FENBAN_SPEED_STUDENTS sets the size (2,000 by default).
async function measureSpeed(page) {
  const students = Number(process.env.FENBAN_SPEED_STUDENTS || 2000);
  const lists = path.join(work, 'large');
  execFileSync(fenban, ['init', lists, '--example', String(students), '--seed', '5'], { stdio: 'ignore' });
  // Without its "预设班" column, so that no step stops to ask.
  execFileSync('/usr/bin/python3', ['-c', 'import sys, openpyxl\nwb = openpyxl.load_workbook(sys.argv[1])\n' +
    'ws = wb["数据表"]\nws.delete_cols([c.value for c in ws[1]].index("预设班") + 1)\nwb.save(sys.argv[2])',
  path.join(lists, '数据', '示例.xlsx'), path.join(data, '大名单.xlsx')]);
  await page.setViewportSize({ width: 1366, height: 768 });
  await page.reload();
  await idle(page);
  await page.selectOption('#books', '大名单.xlsx');
  await idle(page);
  await page.fill('#txtFenBan', String(Math.max(2, Math.round(students / 50))));
  await page.press('#txtFenBan', 'Tab');
  await idle(page);
  await page.click('#cmdFenBan');
  await idle(page);
  const labels = await classLabels(page);
  // The page notes how long each step took from the tap that places the
  // student to the board drawn again, and the server's part of it.
  const timed = async (gesture, label) => {
    await gesture();
    await idle(page);
    const shown = await page.evaluate(() => [document.body.dataset.stepMs, document.body.dataset.stepServerMs]);
    return { label, total: Number(shown[0]), server: Number(shown[1]) };
  };
  const figures = [];
  for (let i = 0; i < 3; i += 1) {
    const [name] = await classNames(page, labels[i]);
    figures.push(await timed(async () => {
      await page.click(student(labels[i], name));
      await page.click(`${card(labels[i + 1])} .card-head`);
    }, 'move'));
    const [a] = await classNames(page, labels[0]);
    const [b] = await classNames(page, labels[labels.length - 1]);
    figures.push(await timed(async () => {
      await page.click(student(labels[0], a));
      await page.click(student(labels[labels.length - 1], b));
    }, 'swap'));
  }
  for (const kind of ['move', 'swap']) {
    const times = figures.filter((f) => f.label === kind);
    console.log(`speed at ${students} students, ${labels.length} classes: ${kind} shown after ` +
      times.map((f) => `${f.total} ms (server ${f.server} ms)`).join(', '));
  }
  await page.screenshot({ path: path.join(output, 'board-large.png') });
  await page.click('#discard');
  await idle(page);
  await page.setViewportSize({ width: 1400, height: 900 });
}

// The page beside a terminal command, a second tab and its own quick clicks.
async function besideOtherWriters(context, server, page) {
  const list = path.join(data, '名单.xlsx');
  await page.selectOption('#books', '名单.xlsx');
  await idle(page);
  await page.waitForSelector('#statistics');
  checkEqual(divisionsIn(list), ['分班表1'], 'one division before the double click');

  // A terminal command holds the folder for a while: the division waits,
  // the page says it is working, and a double click makes one division.
  const holder = spawn('/usr/bin/flock', [host, '/bin/sh', '-c', 'echo held; sleep 2.5'], { stdio: ['ignore', 'pipe', 'ignore'] });
  await new Promise((resolve) => holder.stdout.once('data', resolve));
  await page.dblclick('#cmdFenBan');
  await new Promise((resolve) => setTimeout(resolve, 1400));
  check(await page.isVisible('#working'), 'the working indicator shows');
  const working = await page.textContent('#working');
  check(/^正在分班… \d+ 秒$/.test(working), 'the indicator counts the seconds: ' + working);
  check(await page.isDisabled('#cmdFenBan'), 'the buttons are disabled while the division runs');
  await page.screenshot({ path: path.join(output, 'working.png') });
  const second = await fetch(`${server.origin}/api/divide`, {
    method: 'POST', headers: { 'X-Fenban-Token': server.token, 'Content-Type': 'application/json' }, body: '{}' });
  checkEqual(second.status, 409, 'a second writing call from elsewhere is refused while one runs');
  await new Promise((resolve) => holder.once('exit', resolve));
  await idle(page);
  checkEqual(divisionsIn(list), ['分班表1', '分班表2'], 'a double click divides once');
  check(await page.isHidden('#working'), 'the indicator goes when the division is done');

  // Two students placed in the same moment both move as shown.
  const labels = await classLabels(page);
  const firstClass = await classNames(page, labels[0]);
  await page.evaluate(([from, to1, to2]) => {
    const items = document.querySelectorAll(`#board .card[data-label="${from}"] li.student`);
    const head = (label) => document.querySelector(`#board .card[data-label="${label}"] .card-head`);
    items[0].click();
    head(to1).click();
    items[1].click();
    head(to2).click();
  }, [labels[0], labels[1], labels[2]]);
  await idle(page);
  checkEqual(await page.textContent('#pendingInfo'), '分班表2：2 处调班未保存', 'both quick moves are waiting');

  // A second tab, opened before the next move, moves another student.
  const tab = await context.newPage();
  await tab.goto(server.origin + '/');
  await tab.waitForSelector('#statistics');
  await idle(tab);
  await moveByTap(page, labels[0], firstClass[2], labels[3]);
  await idle(page);
  await moveByTap(tab, labels[0], firstClass[3], labels[4]);
  await idle(tab);
  // This tab's view is older than the other tab's move: 保存 asks to read again first.
  await page.click('#save');
  let shown = await dialogText(page);
  checkEqual(shown.title, '文件已被改动', 'a save over another tab\'s move is refused');
  check(shown.text.includes('另一个页面'), 'the refusal says another tab changed the moves: ' + shown.text);
  await closeDialog(page);  // 重新读取
  await idle(page);
  checkEqual(await page.textContent('#pendingInfo'), '分班表2：4 处调班未保存', 'after reading again the four moves show');
  await page.click('#save');
  await idle(page);
  const saved = facts(list, 2).classes;
  checkEqual([firstClass[0], firstClass[1], firstClass[2], firstClass[3]].map((name) => classOf(saved, name)),
    [labels[1], labels[2], labels[3], labels[4]], 'each move, from either tab, moved the student it showed');
  await tab.close();

  // A division in the terminal between a move and 保存: nothing is written,
  // the move is listed, and reading again shows the terminal's division.
  await moveByTap(page, labels[1], firstClass[0], labels[0]);
  await idle(page);
  execFileSync(fenban, ['-C', host, 'divide', '名单.xlsx'], { stdio: 'ignore' });
  const afterTerminal = folderDigest(host);
  await page.click('#save');
  shown = await dialogText(page);
  checkEqual(shown.title, '文件已被改动', 'a save after a terminal division is refused');
  check(shown.text.includes(firstClass[0]), 'the refusal lists the move not saved: ' + shown.text);
  await page.screenshot({ path: path.join(output, 'conflict.png') });
  await closeDialog(page);  // 重新读取
  await idle(page);
  checkEqual(folderDigest(host), afterTerminal, 'the terminal\'s division is kept');
  check(await page.isHidden('#pendingInfo'), 'the stale move is gone after reading again');
  check((await page.$$eval('#sheetSelect option', (o) => o.map((x) => x.value))).includes('分班表3'),
    'the page shows the terminal\'s division');

  // Moves the division's rules speak against are asked about, and marked.
  const names = JSON.parse(python('groups', list, path.join(data, '分组.xlsx')));
  await page.check('#chbYouHua');  // the refinement keeps the groups
  await idle(page);
  await page.selectOption('#books', '分组.xlsx');
  await idle(page);
  await page.click('#cmdFenBan');
  await idle(page);
  await page.waitForSelector('#statistics');
  const groupedSheet = await page.inputValue('#sheetSelect');
  const grouped = facts(path.join(data, '分组.xlsx'), groupedSheet.replace('分班表', '')).classes;
  const presetClass = classOf(grouped, names.preset);
  const away = (await classLabels(page)).find((label) => label !== presetClass);
  await moveByTap(page, presetClass, names.preset, away);
  shown = await dialogText(page);
  check(shown.text.includes('预设班是 1 班'), 'moving a preset student asks first: ' + shown.text);
  await closeDialog(page, '#dialogCancel');
  await idle(page);
  check(await page.isHidden('#pendingInfo'), 'a move not confirmed is not made');
  await moveByTap(page, presetClass, names.preset, away);
  await dialogText(page);
  await closeDialog(page);  // 仍然调班
  await idle(page);
  await showBoard(page);
  const warned = await page.$eval(student(away, names.preset), (item) => [item.classList.contains('warned'), item.title]);
  check(warned && warned[0] && warned[1].includes('预设班'), 'the moved preset student is marked: ' + JSON.stringify(warned));
  await page.screenshot({ path: path.join(output, 'warned.png') });
  const together = classOf(grouped, names.together[0]);
  await moveByTap(page, together, names.together[0], (await classLabels(page)).find((l) => l !== together));
  shown = await dialogText(page);
  check(shown.text.includes('同班'), 'separating a 同班 group asks first: ' + shown.text);
  await closeDialog(page, '#dialogCancel');
  await idle(page);
  await moveByTap(page, classOf(grouped, names.apart[0]), names.apart[0], classOf(grouped, names.apart[1]));
  shown = await dialogText(page);
  check(shown.text.includes('分开'), 'joining a 分开 pair asks first: ' + shown.text);
  await closeDialog(page, '#dialogCancel');
  await idle(page);
  await page.click('#discard');
  await idle(page);
  await page.uncheck('#chbYouHua');
  await idle(page);

  // An .xls list: its division goes to "名册(fenban).xlsx", which the page
  // then shows and keeps choosing; choosing the .xls again is refused.
  await page.fill('#txtFenBan', '2');
  await page.press('#txtFenBan', 'Tab');
  await idle(page);
  fs.copyFileSync(path.join(here, '..', '..', 'data', 'genuine.xls'), path.join(work, '名册.xls'));
  await page.setInputFiles('#upload', path.join(work, '名册.xls'));
  await idle(page);
  await page.selectOption('#books', '名册.xls');
  await idle(page);
  for (const number of [1, 2]) {
    await page.click('#cmdFenBan');
    await idle(page);
    check(await page.isHidden('#dialog[open]'), `division ${number} of the .xls list shows no message`);
    checkEqual(await page.inputValue('#books'), '名册(fenban).xlsx', `after division ${number} the copy is chosen`);
    checkEqual(await page.inputValue('#sheetSelect'), `分班表${number}`, `division ${number} is shown`);
  }
  const copy = path.join(data, '名册(fenban).xlsx');
  checkEqual(divisionsIn(copy), ['分班表1', '分班表2'], 'both divisions are in the copy');
  await page.selectOption('#books', '名册.xls');
  shown = await dialogText(page);
  check(shown.text.includes('已经存在'), 'choosing the .xls again is refused as the terminal refuses it: ' + shown.text);
  await closeDialog(page);
  await idle(page);
  checkEqual(divisionsIn(copy), ['分班表1', '分班表2'], 'the copy keeps both divisions');
}

async function main() {
  execFileSync(fenban, ['init', host], { stdio: 'ignore' });
  const lists = path.join(work, 'lists');
  execFileSync(fenban, ['init', lists, '--example', '160', '--seed', '11'], { stdio: 'ignore' });
  fs.renameSync(path.join(lists, '数据', '示例.xlsx'), path.join(work, '名单.xlsx'));
  python('faulty', work);

  const server = await startServer(fenban, host);
  const { context } = await launchChromium('fenban-chromium-', ['--disable-quic'],
    { viewport: { width: 1400, height: 900 }, acceptDownloads: true });
  try {
    const page = context.pages()[0] || await context.newPage();
    page.on('console', (message) => { if (message.type() === 'error') console.error('page console: ' + message.text()); });
    if (process.env.FENBAN_TRACE) page.on('response', (r) => console.error('response ' + r.status() + ' ' + r.url()));
    page.on('requestfailed', (request) => console.error('request failed: ' + request.url()));
    await page.goto(server.url);
    check(!page.url().includes('token='), 'the token leaves the address bar: ' + page.url());
    const cookies = await context.cookies();
    const cookie = cookies.find((c) => c.name === 'fenban_token');
    check(cookie && cookie.httpOnly && cookie.sameSite === 'Strict', 'the token cookie is HttpOnly and SameSite=Strict');
    await page.waitForSelector('#books');
    await idle(page);

    // Upload the list and choose it.
    await page.setInputFiles('#upload', path.join(work, '名单.xlsx'));
    await idle(page);
    check(fs.existsSync(path.join(data, '名单.xlsx')), 'the upload is in 数据/');
    await page.selectOption('#books', '名单.xlsx');
    await idle(page);

    // Options: the form's validation and storage; a value the form replaced is said so.
    for (const [control, typed, shown] of [['txtFenBan', '6', '6'], ['txtYouXiu', '15.9', '15'], ['txtJiGe', 'abc', '30'], ['txtNMing', '0', '0']]) {
      await page.fill('#' + control, typed);
      await page.press('#' + control, 'Tab');
      await idle(page);
      checkEqual(await page.inputValue('#' + control), shown, `${control} typed ${typed}`);
      if (typed === 'abc') {
        check((await page.textContent('#status')).includes('及格人数 abc 无效，按 30 处理'), 'the page says abc became 30');
        check(await page.$eval('#txtJiGe', (e) => e.classList.contains('corrected')), 'the corrected field is marked');
      }
    }
    // The balance columns: names as typed, shown and stored as the form writes them.
    await page.fill('#txtJunHeng', ' 住校， 应届,');
    await page.press('#txtJunHeng', 'Tab');
    await idle(page);
    checkEqual(await page.inputValue('#txtJunHeng'), '住校、应届', 'the balance columns as the form shows them');
    checkEqual(JSON.parse(python('options', path.join(host, 'fenban.xlsx'))).K2, '住校、应届', 'the balance columns stored in K2');
    await page.fill('#txtJunHeng', '');
    await page.press('#txtJunHeng', 'Tab');
    await idle(page);
    await page.check('#chbXingBie');
    await idle(page);
    checkEqual(JSON.parse(python('options', path.join(host, 'fenban.xlsx'))),
      { C2: 6, D2: 15, E2: 30, F2: 0, G2: true, H2: false, I2: false, K2: null }, 'the options stored in fenban.xlsx');
    await page.screenshot({ path: path.join(output, 'form.png') });

    // Divide: one tab per class, the figures of the saved workbook.
    await page.click('#cmdFenBan');
    await idle(page);
    await page.waitForSelector('#statistics');
    let saved = facts(path.join(data, '名单.xlsx'), 1);
    const labels = Object.keys(saved.classes);
    checkEqual(labels.length, 6, 'six classes in the saved 分班表1');
    const tabs = await page.$$eval('#tabs button', (buttons) => buttons.map((b) => b.textContent));
    checkEqual(tabs, ['调班看板', '统计表1'], 'the board and the statistics');
    checkMaxDiff(await maxDiffOnPage(page), saved.maxDiff, 'statistics after dividing');
    const report = await page.$$eval('#statistics .stats-note', (notes) =>
      notes.filter((p) => p.textContent.startsWith('同班同名统计')).map((p) => getComputedStyle(p).color));
    const reportColour = report[0];
    checkEqual(reportColour, 'rgb(255, 0, 0)', 'the same-name report is red');
    await page.screenshot({ path: path.join(output, 'statistics.png'), fullPage: true });

    // The board: one card per class with its size, the students by name, sex and total.
    await showBoard(page);
    const cards = await page.$$eval('#board .card', (all) => all.map((c) => [c.dataset.label, c.querySelector('.count').textContent]));
    checkEqual(cards, labels.map((l) => [l, `${saved.classes[l].length}人`]), 'one card per class with its size');
    checkEqual(await classNames(page, labels[0]), saved.classes[labels[0]], `the students of class ${labels[0]}`);
    const firstItem = `${card(labels[0])} li.student`;
    const shownCells = await page.$eval(firstItem, (item) => Array.from(item.children).map((s) => s.textContent));
    check(shownCells.length === 3 && ['男', '女'].includes(shownCells[1]) && Number(shownCells[2]) > 0,
      'a card shows name, sex and total: ' + shownCells);
    await page.screenshot({ path: path.join(output, 'board.png') });

    // Move the first student of the first class to the second class: a tap picks, a tap places.
    const moved = { name: shownCells[0], total: Number(shownCells[2]) };
    const before = fs.readFileSync(path.join(data, '名单.xlsx'));
    await moveByTap(page, labels[0], moved.name, labels[1]);
    await idle(page);
    await page.waitForSelector('#pendingInfo:not([hidden])');
    check(Buffer.compare(before, fs.readFileSync(path.join(data, '名单.xlsx'))) === 0, 'a move writes nothing');
    check(await page.$eval(student(labels[1], moved.name), (item) => item.classList.contains('moved')),
      'the moved student is marked in its new class');
    await page.click('#tabs button[data-tab="stats"]');
    const live = await maxDiffOnPage(page);
    const changes = await page.$$eval('#statistics td[data-change]', (cells) => cells.map((c) => c.dataset.change));
    check(changes.length > 0, 'the moved student changes some 最大差 (before → after)');
    check(changes.every((c) => c === 'better' || c === 'worse'), 'changes are better or worse');
    const colours = await page.$$eval('#statistics td[data-change] span:last-child', (spans) =>
      spans.map((s) => [s.className, getComputedStyle(s).color]));
    check(colours.every(([kind, colour]) => (kind === 'better') === (colour === 'rgb(18, 132, 58)')), 'better is green, worse red');
    await page.screenshot({ path: path.join(output, 'moved.png'), fullPage: true });

    // The same move by hand and `fenban stats` must give the same figures.
    const copy = path.join(work, 'copy');
    fs.cpSync(host, copy, { recursive: true });
    python('move', path.join(copy, '数据', '名单.xlsx'), '分班表1', moved.name, String(moved.total), labels[1]);
    execFileSync(fenban, ['-C', copy, 'stats', '名单.xlsx', '分班表1'], { stdio: 'ignore' });
    const byStats = facts(path.join(copy, '数据', '名单.xlsx'), 1);
    checkMaxDiff(live, byStats.maxDiff, 'live statistics against fenban stats');

    // Undo and redo.
    await page.click('#undo');
    await idle(page);
    checkMaxDiff(await maxDiffOnPage(page), saved.maxDiff, 'statistics after undo');
    checkEqual(await page.$$eval('#statistics td[data-change]', (c) => c.length), 0, 'no change marks after undo');
    await page.click('#redo');
    await idle(page);
    checkMaxDiff(await maxDiffOnPage(page), byStats.maxDiff, 'statistics after redo');

    // Leaving with unsaved moves asks first.
    let asked = false;
    page.once('dialog', async (dialog) => { asked = dialog.type() === 'beforeunload'; await dialog.dismiss(); });
    await page.close({ runBeforeUnload: true });
    await new Promise((resolve) => setTimeout(resolve, 500));
    check(asked, 'leaving with unsaved moves asks first');

    // Save: the workbook holds what the statistics command makes of the move.
    await page.click('#save');
    await idle(page);
    saved = facts(path.join(data, '名单.xlsx'), 1);
    const stripped = await page.evaluate(() => [
      '无法读取 cannot read /tmp/名单.xlsx: 损坏', '“名单.xlsx” 里没有工作表 “x” (no such sheet)。现有 sheets: 数据表',
      '版本 3 不能读，没有恢复 (version 3 cannot be read; nothing was restored): 坏', '无法恢复，文件保持原样 files left as they were。',
      '找不到 fenban.xlsx (not found)。请先运行 run first: fenban init /tmp/a'].map(chineseOnly));
    checkEqual(stripped, ['无法读取 /tmp/名单.xlsx: 损坏', '“名单.xlsx” 里没有工作表 “x”。现有：数据表', '版本 3 不能读，没有恢复：坏',
      '无法恢复，文件保持原样。', '找不到 fenban.xlsx。请先运行：fenban init /tmp/a'], 'the page leaves out the terminal\'s English');
    const savedStatus = await page.textContent('#status');
    check(savedStatus.startsWith('已保存：') && !/saved/.test(savedStatus), 'the page says it saved in Chinese only: ' + savedStatus);
    check(saved.classes[labels[1]].includes(moved.name), 'the saved workbook has the student in the new class');
    checkMaxDiff(live, saved.maxDiff, 'saved statistics against the live ones');
    await page.reload();
    await page.waitForSelector('#statistics');
    check(await page.isHidden('#pendingInfo'), 'nothing unsaved after reloading');
    checkMaxDiff(await maxDiffOnPage(page), saved.maxDiff, 'statistics after reloading');

    // Dragging a student onto another class moves it too.
    const dragged = (await classNames(page, labels[1]))[0];
    await page.dragAndDrop(student(labels[1], dragged), `${card(labels[2])} .card-head`);
    await idle(page);
    check(await page.isVisible('#pendingInfo'), 'a dragged student is a move waiting to be saved');
    check((await classNames(page, labels[2])).includes(dragged), `${dragged} was dragged into class ${labels[2]}`);
    await boardSteps(page, labels);
    await page.click('#discard');
    await idle(page);
    check(await page.isHidden('#pendingInfo'), 'discarding forgets the move');
    checkEqual(facts(path.join(data, '名单.xlsx'), 1).classes, saved.classes, 'a discarded move writes nothing');

    // The printable class lists: one class per page.
    const print = await context.newPage();
    await print.goto(`${server.origin}/print?sheet=${encodeURIComponent('分班表1')}`);
    await print.waitForSelector('section.page');
    checkEqual(await print.$$eval('section.page', (pages) => pages.length), 6, 'one printed section per class');
    checkEqual(await print.$eval('section.page', (s) => getComputedStyle(s).breakAfter), 'page', 'a page break after each class');
    await print.pdf({ path: path.join(output, 'class-lists.pdf'), format: 'A4' });
    const pdfPages = (fs.readFileSync(path.join(output, 'class-lists.pdf'), 'latin1').match(/\/Type\s*\/Page[^s]/g) || []).length;
    checkEqual(pdfPages, 6, 'the printed class lists have one page per class');
    await print.close();

    // Lists to post: only the columns picked, one sheet per class, in 数据/导出/ beside the list.
    const listBefore = fs.readFileSync(path.join(data, '名单.xlsx'));
    await page.click('#exportLists');
    await page.waitForSelector('#exportDialog[open]');
    checkEqual(await page.$$eval('#exportColumns input:checked', (boxes) => boxes.map((b) => b.value)), ['考号', '姓名', '性别'],
      'the columns offered: name, sex and number');
    checkEqual(await page.inputValue('#exportSort'), '姓名', 'sorted by name unless changed');
    await page.fill('#exportHeading', '高一({n})班');
    await page.click('#exportRun');
    await idle(page);
    await page.waitForSelector('#exportFiles a');
    await page.screenshot({ path: path.join(output, 'export.png') });
    const exported = JSON.parse(execFileSync('/usr/bin/python3', ['-c',
      'import sys, json, openpyxl\nwb = openpyxl.load_workbook(sys.argv[1])\n' +
      'print(json.dumps([[ws.title, [c.value for c in ws[3]], ws.page_setup.paperSize] for ws in wb.worksheets], ensure_ascii=False))',
      path.join(data, '导出', '名单(分班表1名单).xlsx')], { encoding: 'utf8' }));
    checkEqual(exported, labels.map((l) => [`高一(${l})班`, ['考号', '姓名', '性别'], 9]), 'one A4 sheet per class with the columns picked');
    check(Buffer.compare(listBefore, fs.readFileSync(path.join(data, '名单.xlsx'))) === 0, 'the export leaves the division alone');
    await page.click('#exportDialog button[value="close"]');

    // A second division, then delete all but the viewed pair.
    await page.click('#cmdFenBan');
    await idle(page);
    checkEqual(facts(path.join(data, '名单.xlsx'), 2).sheets.sort(), ['分班表1', '分班表2', '数据表', '统计表1', '统计表2'], 'two divisions');
    await page.waitForSelector('#statistics');
    // 删除分班表N deletes the division shown and its statistics, nothing else.
    await page.click('#cmdFenBan');
    await idle(page);
    checkEqual(await page.inputValue('#sheetSelect'), '分班表3', 'a new division to delete');
    await page.click('#cmdDel');
    let deleteAsked = await dialogText(page);
    checkEqual(await page.textContent('#dialogOk'), '删除分班表3', 'the button says what goes');
    check(deleteAsked.text.includes('分班表3、统计表3'), 'the dialog lists the pair: ' + deleteAsked.text);
    await page.screenshot({ path: path.join(output, 'delete-dialog.png') });
    await closeDialog(page);
    await idle(page);
    checkEqual(facts(path.join(data, '名单.xlsx'), 1).sheets.sort(), ['分班表1', '分班表2', '数据表', '统计表1', '统计表2'], '删除分班表3 deletes that pair only');
    checkEqual(await page.inputValue('#sheetSelect'), '分班表2', 'the page shows the division left');
    await page.selectOption('#sheetSelect', '分班表1');
    await idle(page);
    await page.click('#cmdDel');
    deleteAsked = await dialogText(page);
    check(deleteAsked.text.includes('“删除分班表1”删去：分班表1、统计表1') && deleteAsked.text.includes('“只保留分班表1”删去：分班表2、统计表2'),
      'the 删除 dialog lists the sheets each choice deletes: ' + deleteAsked.text);
    await closeDialog(page, '#dialogOther');  // 只保留分班表1
    await idle(page);
    checkEqual(facts(path.join(data, '名单.xlsx'), 1).sheets.sort(), ['分班表1', '数据表', '统计表1'], 'delete keeps the viewed pair');

    // 恢复…: the version kept before 删除 brings the second division back, and
    // the version that restore kept undoes it again.
    const versionRows = () => page.$$eval('#versionsTable tr', (rows) => rows.slice(1).map((row) =>
      Array.from(row.children).slice(1).map((cell) => cell.textContent)));
    const restoreVersion = async (number) => {
      await page.check(`#versionsTable input[value="${number}"]`);
      await page.click('#versionsRestore');
      checkEqual((await dialogText(page)).title, '恢复', 'restoring asks first');
      await closeDialog(page);
      await idle(page);
    };
    await page.click('#versions');
    await idle(page);
    await page.waitForSelector('#versionsDialog[open] #versionsTable');
    let versions = await versionRows();
    checkEqual(versions[0][2], '删除', 'the newest version is the workbook before 删除');
    check(versions[0][3].includes('分班表2'), 'it holds the second division: ' + versions[0][3]);
    await restoreVersion(versions[0][0]);
    checkEqual(facts(path.join(data, '名单.xlsx'), 2).sheets.sort(), ['分班表1', '分班表2', '数据表', '统计表1', '统计表2'],
      'the restored workbook has both divisions again');
    check((await page.$$eval('#sheetSelect option', (options) => options.map((o) => o.value))).includes('分班表2'),
      'the page offers the restored division');
    versions = await versionRows();
    checkEqual(versions[0][2], '恢复版本 ' + (Number(versions[0][0]) - 1), 'the file the restore replaced is the newest version');
    await restoreVersion(versions[0][0]);
    checkEqual(facts(path.join(data, '名单.xlsx'), 1).sheets.sort(), ['分班表1', '数据表', '统计表1'], 'the restore is undone');
    await page.screenshot({ path: path.join(output, 'versions.png') });
    await page.click('#versionsDialog button[value="cancel"]');
    await page.waitForSelector('#versionsDialog:not([open])', { state: 'attached' });


    // The form's messages as dialogs.
    for (const [file, expected] of [['无总分.xlsx', '数据表没有“总分”列，不能分班！'], ['无性别.xlsx', '数据表没有“性别”列，不应该勾选“性别”项！']]) {
      await page.setInputFiles('#upload', path.join(work, file));
      await idle(page);
      await page.selectOption('#books', file);
      await idle(page);
      const untouched = folderDigest(host);
      await page.click('#cmdFenBan');
      const shown = await dialogText(page);
      checkEqual(shown.title, '警告', `the message for ${file} is a warning`);
      check(shown.text.startsWith(expected), `the message for ${file}: ${shown.text}`);
      if (file === '无总分.xlsx') check(shown.text.includes('第 1 行的表头：A1 '), 'the refusal lists the headers: ' + shown.text);
      await closeDialog(page);
      checkEqual(folderDigest(host), untouched, `a refused division of ${file} changes no file`);
    }

    // An upload under a name the folder has: asked first; cancelled, nothing
    // changes; replaced, the old file is a version. Then the list is removed
    // into the history.
    const listed = path.join(data, '无总分.xlsx');
    fs.mkdirSync(path.join(work, 'again'), { recursive: true });
    fs.copyFileSync(path.join(work, '名单.xlsx'), path.join(work, 'again', '无总分.xlsx'));
    const beforeReplace = folderDigest(host);
    await page.setInputFiles('#upload', path.join(work, 'again', '无总分.xlsx'));
    let replaceAsk = await dialogText(page);
    check(replaceAsk.text.includes('数据文件夹里已有“无总分.xlsx”。要用上传的文件替换它吗？'), 'a second upload asks: ' + replaceAsk.text);
    await closeDialog(page, '#dialogCancel');
    await idle(page);
    checkEqual(folderDigest(host), beforeReplace, 'a cancelled replace changes no file');
    await page.setInputFiles('#upload', path.join(work, 'again', '无总分.xlsx'));
    replaceAsk = await dialogText(page);
    await closeDialog(page, '#dialogOk');
    await idle(page);
    checkEqual(fs.readFileSync(listed).equals(fs.readFileSync(path.join(work, '名单.xlsx'))), true, 'the upload replaced the file');
    check((await page.textContent('#status')).includes('原来的文件留作版本'), 'the replaced file is kept as a version');
    checkEqual(await page.inputValue('#books'), '无总分.xlsx', 'the replaced list is chosen');
    await page.click('#removeBook');
    replaceAsk = await dialogText(page);
    check(replaceAsk.text.includes('把“无总分.xlsx”移出数据文件夹？'), 'removing asks: ' + replaceAsk.text);
    await closeDialog(page, '#dialogOk');
    await idle(page);
    check(!fs.existsSync(listed), 'the removed list left 数据/');
    check(!(await page.$$eval('#books option', (options) => options.map((o) => o.value))).includes('无总分.xlsx'),
      'the removed list is not listed');
    check(fs.existsSync(path.join(data, '.fenban-history', '无总分.xlsx')), 'the removed list is in the history');
    await page.screenshot({ path: path.join(output, 'dialog-after.png') });

    await besideOtherWriters(context, server, page);
    await measureSpeed(page);

    // Requests without the token, from another site, or with a name leaving 数据/.
    const untouched = folderDigest(host);
    let response = await fetch(`${server.origin}/api/state`);
    checkEqual(response.status, 401, 'no token: 401');
    response = await fetch(`${server.origin}/`);
    checkEqual(response.status, 401, 'the page itself needs the token');
    response = await fetch(`${server.origin}/api/state`, { headers: { 'X-Fenban-Token': 'f'.repeat(32) } });
    checkEqual(response.status, 403, 'wrong token: 403');
    response = await fetch(`${server.origin}/api/divide`, {
      method: 'POST', headers: { 'X-Fenban-Token': server.token, Origin: 'http://evil.example', 'Content-Type': 'application/json' }, body: '{}' });
    checkEqual(response.status, 403, 'foreign Origin: 403');
    // The multipart body is written out as browsers send it: Node 18's
    // FormData leaves out the final line break, which the server's parser
    // refuses before it ever sees the file name.
    const boundary = '----fenban-test-boundary';
    const body = Buffer.concat([
      Buffer.from(`--${boundary}\r\nContent-Disposition: form-data; name="file"; filename="../x.xlsx"\r\n` +
                  'Content-Type: application/octet-stream\r\n\r\n'),
      fs.readFileSync(path.join(work, '名单.xlsx')),
      Buffer.from(`\r\n--${boundary}--\r\n`)]);
    response = await fetch(`${server.origin}/api/upload`, {
      method: 'POST', headers: { 'X-Fenban-Token': server.token, 'Content-Type': `multipart/form-data; boundary=${boundary}` }, body });
    checkEqual(response.status, 400, 'upload named ../x.xlsx: 400');
    check((await response.json()).error.text.includes('../x.xlsx'), 'the refusal names the file');
    checkEqual(folderDigest(host), untouched, 'refused requests change no file');
    check(!fs.existsSync(path.join(host, 'x.xlsx')), 'no x.xlsx beside 数据/');
  } catch (error) {
    for (const [i, open] of context.pages().entries()) await open.screenshot({ path: path.join(output, `failure-${i}.png`) });
    throw error;
  } finally {
    await context.close();
    const ended = new Promise((resolve) => server.child.once('exit', (code, signal) => resolve({ code, signal })));
    server.child.kill('SIGINT');
    checkEqual(await ended, { code: 0, signal: null }, 'Ctrl-C stops the server cleanly');
  }
}

main().then(() => {
  if (failures > 0) {
    console.error(`page_test: ${failures} failure(s); files in ${work}`);
    process.exit(1);
  }
  fs.rmSync(work, { recursive: true, force: true });
  console.log('page_test: all checks passed; screenshots in ' + output);
}, (error) => {
  console.error(error);
  console.error('page_test: files in ' + work);
  process.exit(1);
});
