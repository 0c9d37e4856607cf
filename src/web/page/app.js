'use strict';
// The division form in the browser: every change goes to the server, which
// runs the form's events on the workbooks and answers with what is stored.

const $ = (id) => document.getElementById(id);
const textControls = ['txtFenBan', 'txtYouXiu', 'txtJiGe', 'txtNMing'];
const checkControls = ['chbXingBie', 'chbZuXiao', 'chbYingJie', 'chbYouHua'];

let state = null;         // the server's answer to /api/state
let view = null;          // the division shown: classes and statistics
let currentSheet = '';    // "分班表N" shown, or ''
let currentTab = 'stats'; // 'stats' or the index of a class

function make(tag, props = {}, children = []) {
  const element = document.createElement(tag);
  Object.assign(element, props);
  for (const child of children) element.append(child);
  return element;
}

// A message box of the form, or an error of the server, as a dialog. The
// buttons are [ok, other, cancel] labels; the answer is 'ok', 'other' or 'cancel'.
function showDialog(title, text, style = 0, buttons = null) {
  const dialog = $('dialog');
  $('dialogTitle').textContent = title;
  $('dialogText').textContent = String(text).replace(/\r\n?/g, '\n');
  dialog.className = style === 16 ? 'stop' : style === 48 ? 'warn' : '';
  const [ok, other, cancel] = buttons || ['确定', null, null];
  $('dialogOk').textContent = ok;
  $('dialogOther').hidden = !other;
  $('dialogOther').textContent = other || '';
  $('dialogCancel').hidden = !cancel;
  $('dialogCancel').textContent = cancel || '';
  return new Promise((resolve) => {
    dialog.addEventListener('close', () => resolve(dialog.returnValue || 'cancel'), { once: true });
    dialog.returnValue = '';
    dialog.showModal();
  });
}

// The page is busy while a user's action is being carried out; the body
// carries data-busy meanwhile (tests wait for it to go).
let busyCount = 0;
async function act(work) {
  busyCount += 1;
  document.body.dataset.busy = 'true';
  try {
    return await work();
  } finally {
    busyCount -= 1;
    if (busyCount === 0) delete document.body.dataset.busy;
  }
}

function setStatus(text) { $('status').textContent = text; }

// One call to the server. Message boxes and errors are shown as dialogs;
// the answer is returned, or null after an error.
function call(method, path, body) { return act(() => request(method, path, body)); }

async function request(method, path, body) {
  const options = { method, credentials: 'same-origin', headers: {} };
  if (body instanceof FormData) {
    options.body = body;
  } else if (method === 'POST') {
    options.headers['Content-Type'] = 'application/json';
    options.body = JSON.stringify(body || {});
  }
  let data;
  try {
    const response = await fetch(path, options);
    data = await response.json();
  } catch (error) {
    data = { error: { title: '错误', text: '服务器没有回答，请确认 fenban serve 还在运行。\n' + error } };
  }
  if (data.error) {
    await showDialog(data.error.title, data.error.text, 16);
    return null;
  }
  for (const box of data.boxes || []) await showDialog(box.title, box.text, box.style);
  if (data.notes && data.notes.length) setStatus(data.notes.join('\n'));
  if (data.state) applyState(data.state);
  return data;
}

async function refreshState() {
  const data = await call('GET', '/api/state');
  if (data) applyState(data);
  return data;
}

function shownNumber(value) {
  if (value === null || value === undefined) return '';
  return String(value);
}

function applyState(next) {
  state = next;
  $('folder').textContent = next.folder;
  const books = $('books');
  books.replaceChildren(...next.books.map((name) => make('option', { value: name, textContent: name })));
  books.value = next.book || '';
  const download = $('download');
  download.hidden = !next.book;
  if (next.book) download.href = '/api/download?book=' + encodeURIComponent(next.book);
  for (const control of textControls) $(control).value = shownNumber(next.options[control]);
  for (const control of checkControls) $(control).checked = next.options[control] === true;
  $('round').checked = next.round === '是';

  const divisions = next.sheets.filter((name) => /^分班表\d+$/.test(name));
  if (!divisions.includes(currentSheet)) currentSheet = divisions.length ? divisions[divisions.length - 1] : '';
  const select = $('sheetSelect');
  select.replaceChildren(...divisions.map((name) => make('option', { value: name, textContent: name })));
  select.value = currentSheet;
  showPending(next.pending);
}

function showPending(pending) {
  const moves = pending ? pending.moves : 0;
  state && (state.pending = pending);
  $('pendingInfo').hidden = moves === 0;
  $('pendingInfo').textContent = moves ? `${pending.sheet}：${moves} 处调班未保存` : '';
  $('undo').disabled = !(pending && pending.canUndo);
  $('redo').disabled = !(pending && pending.canRedo);
  $('save').disabled = moves === 0;
  $('discard').disabled = !pending;
}

function hasUnsavedMoves() { return !!(state && state.pending && state.pending.moves > 0); }

// Before leaving the moved division: save, discard or stay. True when it may go on.
async function settleMoves() {
  if (!hasUnsavedMoves()) return true;
  const answer = await showDialog('调班未保存', `“${state.pending.sheet}”有 ${state.pending.moves} 处调班还没有保存。`,
    48, ['保存', '放弃调班', '取消']);
  if (answer === 'ok') return !!(await call('POST', '/api/save'));
  if (answer === 'other') return !!(await call('POST', '/api/discard'));
  return false;
}

async function loadView() {
  const print = $('print');
  print.hidden = !currentSheet;
  if (!currentSheet) {
    view = null;
    $('tabs').replaceChildren();
    $('view').replaceChildren(make('p', { className: 'muted', textContent: '这个工作簿还没有分班。设置选项，然后按“分班”。' }));
    return;
  }
  print.href = '/print?sheet=' + encodeURIComponent(currentSheet);
  const data = await call('GET', '/api/view?sheet=' + encodeURIComponent(currentSheet));
  if (!data) return;
  showView(data);
}

function showView(data) {
  view = data;
  showPending(data.pending);
  if (currentTab !== 'stats' && !(currentTab < data.division.classes.length)) currentTab = 'stats';
  renderTabs();
  renderTab();
}

function renderTabs() {
  const tabs = [make('button', { textContent: view.statistics ? view.statistics.name : '统计表', role: 'tab' })];
  tabs[0].dataset.tab = 'stats';
  view.division.classes.forEach((group, index) => {
    const tab = make('button', { textContent: `${group.label}班 (${group.students.length})`, role: 'tab' });
    tab.dataset.tab = String(index);
    tab.dataset.label = group.label;
    // Drop a student on a class tab to move it there.
    tab.addEventListener('dragover', (event) => { event.preventDefault(); tab.classList.add('drop'); });
    tab.addEventListener('dragleave', () => tab.classList.remove('drop'));
    tab.addEventListener('drop', (event) => {
      event.preventDefault();
      tab.classList.remove('drop');
      const row = Number(event.dataTransfer.getData('text/plain'));
      if (row) act(() => moveStudent(row, group.label));
    });
    tabs.push(tab);
  });
  for (const tab of tabs) {
    tab.setAttribute('aria-selected', String(tab.dataset.tab === String(currentTab)));
    tab.addEventListener('click', () => {
      currentTab = tab.dataset.tab === 'stats' ? 'stats' : Number(tab.dataset.tab);
      renderTabs();
      renderTab();
    });
  }
  $('tabs').replaceChildren(...tabs);
}

function renderTab() {
  const target = $('view');
  if (currentTab === 'stats') {
    target.replaceChildren(view.statistics ? gridTable(view.statistics)
      : make('p', { className: 'muted', textContent: '这个分班还没有统计表：按“统计”。' }));
  } else {
    target.replaceChildren(classTable(view.division, currentTab));
  }
}

// The statistics sheet as it looks in the spreadsheet: fills, bold, red
// report, borders; a changed "最大差" shows before → after.
function gridTable(grid) {
  const table = make('table', { className: 'sheet' });
  table.id = 'statistics';
  const blank = (cell) => !cell.text && !cell.border && !cell.fill && !cell.span;
  for (const row of grid.rows) {
    const tr = make('tr');
    if (row.maxDiff) tr.className = 'max-diff';
    for (let i = 0; i < row.cells.length; i += 1) {
      const cell = row.cells[i];
      const td = make('td');
      if (cell.span) td.colSpan = cell.span;
      // A long text runs on over the empty cells to its right, as in the sheet.
      if (cell.text && !cell.border && !cell.span) {
        let span = 1;
        while (i + span < row.cells.length && blank(row.cells[i + span])) span += 1;
        if (span > 1) {
          td.colSpan = span;
          i += span - 1;
        }
      }
      if (cell.fill) td.style.background = cell.fill;
      if (cell.color) td.style.color = cell.color;
      if (cell.bold) td.style.fontWeight = 'bold';
      td.style.textAlign = cell.align || (cell.span ? 'center' : 'left');
      if (cell.border) td.classList.add('border');
      if (cell.doubleRight) td.classList.add('double-right');
      if (cell.large) td.classList.add('large');
      if (cell.change) {
        td.append(make('span', { className: 'before', textContent: cell.before + ' → ' }),
          make('span', { className: cell.change, textContent: cell.text }));
        td.dataset.change = cell.change;
        td.dataset.before = cell.before;
      } else {
        td.textContent = cell.text;
      }
      td.dataset.value = cell.text;
      tr.append(td);
    }
    table.append(tr);
  }
  return table;
}

function classTable(division, index) {
  const group = division.classes[index];
  const others = division.classes.map((g) => g.label).filter((label) => label !== group.label);
  const table = make('table', { className: 'class-list' });
  table.id = 'classList';
  table.append(make('tr', {}, [...division.headers.map((h) => make('th', { textContent: h })), make('th', { textContent: '调到' })]));
  for (const student of group.students) {
    const tr = make('tr', { draggable: true });
    tr.dataset.row = student.row;
    tr.addEventListener('dragstart', (event) => event.dataTransfer.setData('text/plain', String(student.row)));
    for (const text of student.cells) tr.append(make('td', { textContent: text }));
    const menu = make('select', {}, [make('option', { value: '', textContent: '—' }),
      ...others.map((label) => make('option', { value: label, textContent: label + '班' }))]);
    menu.setAttribute('aria-label', '调到别的班');
    menu.addEventListener('change', () => { if (menu.value) act(() => moveStudent(student.row, menu.value)); });
    tr.append(make('td', {}, [menu]));
    table.append(tr);
  }
  return table;
}

async function moveStudent(row, to) {
  const data = await call('POST', '/api/move', { sheet: currentSheet, row, to });
  if (data && data.view) {
    showView(data.view);
    setStatus(`已调到 ${to} 班；统计已更新（未保存）。`);
  } else {
    await loadView();
  }
}

async function stepMoves(path) {
  const data = await call('POST', path);
  if (data && data.view) showView(data.view);
}

async function setOption(element) {
  const control = element.dataset.control;
  const value = element.type === 'checkbox' ? element.checked : element.value;
  const data = await call('POST', '/api/option', { control, value });
  if (!data) await refreshState();  // show the stored values again
  if (data && currentSheet && !hasUnsavedMoves()) await loadView();
}

async function runCommand(path, body, after) {
  $('form').classList.add('busy');
  try {
    const data = await call('POST', path, body);
    if (data && data.ok && after) await after(data);
    return data;
  } finally {
    $('form').classList.remove('busy');
  }
}

function wire() {
  $('books').addEventListener('change', (event) => act(async () => {
    const book = event.target.value;
    if (state && book === state.book) return;
    if (!(await settleMoves())) { event.target.value = state.book || ''; return; }
    const data = await call('POST', '/api/select', { book });
    if (!data) await refreshState();
    currentTab = 'stats';
    await loadView();
  }));
  $('upload').addEventListener('change', (event) => act(async () => {
    const file = event.target.files[0];
    if (!file) return;
    const form = new FormData();
    form.append('file', file, file.name);
    await call('POST', '/api/upload', form);
    event.target.value = '';
  }));
  for (const control of [...textControls, ...checkControls, 'round']) {
    $(control).addEventListener('change', (event) => act(() => setOption(event.target)));
  }
  $('cmdFenBan').addEventListener('click', () => act(async () => {
    if (!(await settleMoves())) return;
    await runCommand('/api/divide', {}, async (data) => {
      currentSheet = data.sheet;
      $('sheetSelect').value = currentSheet;
      currentTab = 'stats';
      if (data.seed !== undefined) setStatus($('status').textContent + `\n随机种子 seed: ${data.seed}`);
      if (data.refinement && data.refinement.length) {
        // The statistics sheet's tables as the sheet shows them, then whole classes.
        const shown = (f, x) => (f.name.startsWith('平均分') ? x.toFixed(1) : x.toFixed(0));
        const tables = data.refinement.filter((f) => f.sheetTable)
          .map((f) => `${f.name}：${shown(f, f.dealt)} → ${shown(f, f.refined)}（${f.column}）`);
        const whole = data.refinement.filter((f) => !f.sheetTable)
          .map((f) => `${f.name}：${+f.dealt.toFixed(2)} → ${+f.refined.toFixed(2)}`);
        setStatus($('status').textContent + '\n统计表各表最大的“最大差”（蛇形 → 优化）:\n' + tables.join('\n') +
          '\n全班（平均分、人数、标准差）:\n' + whole.join('\n') +
          (data.refinementNotes && data.refinementNotes.length ? '\n未能满足:\n' + data.refinementNotes.join('\n') : ''));
      }
      await loadView();
    });
  }));
  $('cmdTiaoBan').addEventListener('click', () => act(async () => {
    if (!(await settleMoves())) return;
    await runCommand('/api/stats', { sheet: currentSheet || '数据表' }, loadView);
  }));
  $('cmdDel').addEventListener('click', () => act(async () => {
    if (!(await settleMoves())) return;
    const keep = currentSheet ? `“数据表”和“${currentSheet}”及其统计表` : '“数据表”';
    const answer = await showDialog('删除', `删除除${keep}以外的所有工作表？`, 48, ['删除', null, '取消']);
    if (answer !== 'ok') return;
    await runCommand('/api/delete', { sheet: currentSheet || '数据表' }, loadView);
  }));
  $('cmdDengJi').addEventListener('click', () => runCommand('/api/template', {}));
  $('cmdHelp').addEventListener('click', () => act(async () => {
    const data = await runCommand('/api/help', {});
    if (data && data.document) {
      setStatus('使用说明 help.doc 已下载，用文字处理软件打开。');
      window.location.href = data.document;
    }
  }));
  $('sheetSelect').addEventListener('change', (event) => act(async () => {
    if (!(await settleMoves())) { event.target.value = currentSheet; return; }
    currentSheet = event.target.value;
    currentTab = 'stats';
    await loadView();
  }));
  $('undo').addEventListener('click', () => stepMoves('/api/undo'));
  $('redo').addEventListener('click', () => stepMoves('/api/redo'));
  $('save').addEventListener('click', () => act(async () => { if (await call('POST', '/api/save')) await loadView(); }));
  $('discard').addEventListener('click', () => act(async () => { if (await call('POST', '/api/discard')) await loadView(); }));
  window.addEventListener('beforeunload', (event) => {
    if (hasUnsavedMoves()) {
      event.preventDefault();
      event.returnValue = '';
    }
  });
}

wire();
act(async () => { await refreshState(); await loadView(); });
