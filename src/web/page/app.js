'use strict';
// The division form in the browser: every change goes to the server, which
// runs the form's events on the workbooks and answers with what is stored.

const $ = (id) => document.getElementById(id);

let state = null;         // the server's answer to /api/state
let view = null;          // the division shown: classes and statistics
let currentSheet = '';    // "分班表N" shown, or ''
let currentTab = 'stats'; // 'stats' or 'board'
let base = null;          // the versions of the files (and moves) shown; sent back with every command

function make(tag, props = {}, children = []) {
  const element = document.createElement(tag);
  Object.assign(element, props);
  for (const child of children) element.append(child);
  return element;
}

// The page speaks Chinese only: the English the terminal adds to a message
// (" (no such sheet)", "已保存 saved: …") is left out.
function chineseOnly(text) {
  return String(text)
    .replace(/ ?\((?=[^)]* )[\x20-\x7e]*[A-Za-z][\x20-\x7e]*\)/g, '')
    .replace(/ [a-z][a-z ,'-]*[a-z]: ?/g, '：')
    .replace(/(?<=[\u3000-\u9fff\uff00-\uffef]) (?!fenban)(?:[a-z]+[ ,'-]){1,8}[a-z]+(?=[ 。]|$)/gm, '')
    .replace(/(?<=[\u4e00-\u9fff]): ?/g, '：');
}

// A message box of the form, or an error of the server, as a dialog. The
// buttons are [ok, other, cancel] labels; the answer is 'ok', 'other' or 'cancel'.
function showDialog(title, text, style = 0, buttons = null) {
  const dialog = $('dialog');
  $('dialogTitle').textContent = chineseOnly(title);
  $('dialogText').textContent = chineseOnly(text).replace(/\r\n?/g, '\n');
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

// The user's actions run one after another, never two at once: while one
// runs, the controls are disabled, the page says what it is doing (with the
// seconds it has taken once it takes long), and the body carries data-busy
// (tests wait for it to go). An action asked for meanwhile waits its turn.
let busyCount = 0;
let queue = Promise.resolve();
let workingTimer = null;

// The stage the server's command has reached ("优化… 总分最大差 3.2"),
// asked for twice a second while an action waits; '' when it says none.
let workingStage = '';
let stageTimer = null;

async function askStage() {
  try {
    const response = await fetch('/api/progress', { credentials: 'same-origin' });
    const progress = await response.json();
    workingStage = progress.busy ? progress.text || '' : '';
  } catch {
    workingStage = '';
  }
}

function showWorking(label) {
  const started = Date.now();
  const working = $('working');
  const shown = () => {
    const seconds = Math.floor((Date.now() - started) / 1000);
    const text = seconds >= 1 ? `正在${label}… ${seconds} 秒` : `正在${label}…`;
    working.textContent = workingStage ? `${text}（${workingStage}）` : text;
  };
  clearInterval(workingTimer);
  clearInterval(stageTimer);
  workingStage = '';
  shown();
  working.hidden = false;
  workingTimer = setInterval(shown, 250);
  stageTimer = setInterval(askStage, 500);
}

function setBusy(busy) {
  $('controls').disabled = busy;
  if (busy) {
    document.body.dataset.busy = 'true';
  } else {
    delete document.body.dataset.busy;
    clearInterval(workingTimer);
    clearInterval(stageTimer);
    workingStage = '';
    $('working').hidden = true;
  }
}

function act(work, label = '处理') {
  busyCount += 1;
  setBusy(true);  // at once, so that a second click finds the buttons disabled
  const run = queue.then(() => {
    showWorking(label);
    return work();
  });
  queue = run.catch(() => {}).then(() => {
    busyCount -= 1;
    if (busyCount === 0) setBusy(false);
  });
  return run;
}

function setStatus(text) { $('status').textContent = chineseOnly(text); }

// One call to the server, inside an action. Message boxes and errors are
// shown as dialogs; the answer is returned, or null after an error. A
// command that found the files changed since they were shown offers to
// read them again.
async function call(method, path, body) {
  const options = { method, credentials: 'same-origin', headers: {} };
  if (body instanceof FormData) {
    options.body = body;
  } else if (method === 'POST') {
    options.headers['Content-Type'] = 'application/json';
    options.body = JSON.stringify({ base, ...(body || {}) });
  }
  let data;
  try {
    const response = await fetch(path, options);
    data = await response.json();
  } catch (error) {
    data = { error: { title: '错误', text: '服务器没有回答，请确认 fenban serve 还在运行。\n' + error } };
  }
  if (data.error) {
    if (data.conflict && data.conflict.reload) {
      const answer = await showDialog(data.error.title, data.error.text, 48, ['重新读取', null, '取消']);
      if (answer === 'ok') await reloadFiles();
    } else {
      await showDialog(data.error.title, data.error.text, 16);
    }
    return null;
  }
  for (const box of data.boxes || []) await showDialog(box.title, box.text, box.style);
  if (data.notes && data.notes.length) setStatus(data.notes.join('\n'));
  if (data.state) applyState(data.state);
  if (data.books && data.base) applyState(data);  // the answer to /api/state itself
  return data;
}

// Reads the files again: moves made on files that changed since are gone
// (the conflict listed them), the rest is shown as it is now.
async function reloadFiles() {
  const data = await call('POST', '/api/reload');
  if (data) {
    setStatus('已重新读取文件。');
    await loadView();
  }
}

async function refreshState() {
  return call('GET', '/api/state');  // applied as any answer's state is
}

function shownNumber(value) {
  if (value === null || value === undefined) return '';
  return String(value);
}

function applyState(next) {
  state = next;
  base = next.base;
  $('folder').textContent = next.folder;
  const books = $('books');
  books.replaceChildren(...next.books.map((name) => make('option', { value: name, textContent: name })));
  books.value = next.book || '';
  const download = $('download');
  download.hidden = !next.book;
  if (next.book) download.href = '/api/download?book=' + encodeURIComponent(next.book);
  $('versions').hidden = !next.book;
  $('removeBook').hidden = !next.book;
  // The option controls as the server's table has them: a count box or a check box each, and the
  // balance columns' text box.
  for (const { control, kind } of next.controls) {
    if (kind === 'check') $(control).checked = next.options[control] === true;
    else $(control).value = shownNumber(next.options[control]);
  }
  $('txtZongFenLie').value = shownNumber(next.options.txtZongFenLie);
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
  $('exportLists').hidden = !currentSheet;
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
  base = data.base;
  showPending(data.pending);
  renderTabs();
  renderTab();
}

// A step's answer (a move, swap, undo or redo) holds only the classes the
// step changed: they take the place of the page's own when the page's view
// was of the moves just before the step; otherwise the whole view is read.
async function showStep(step) {
  const current = view && base && step.since === base.edit && view.division.name === step.division.name;
  if (!step.division.part) {
    showView(step);
    return;
  }
  if (!current) {
    await loadView();
    return;
  }
  const changed = new Map(step.division.classes.map((group) => [group.label, group]));
  const classes = view.division.classes.map((group) => changed.get(group.label) || group);
  const next = { ...step, division: { ...view.division, classes } };
  if (currentTab === 'board') {
    view = next;
    base = next.base;
    showPending(next.pending);
    if (redrawCards([...changed.keys()])) return;
  }
  showView(next);
}

function renderTabs() {
  const tabs = [['board', '调班看板'], ['stats', view.statistics ? view.statistics.name : '统计表']].map(([tab, text]) => {
    const button = make('button', { type: 'button', textContent: text, role: 'tab' });
    button.dataset.tab = tab;
    button.setAttribute('aria-selected', String(tab === currentTab));
    button.addEventListener('click', () => {
      currentTab = tab;
      renderTabs();
      renderTab();
    });
    return button;
  });
  $('tabs').replaceChildren(...tabs);
}

function renderTab() {
  const target = $('view');
  if (currentTab === 'stats') {
    target.replaceChildren(view.statistics ? gridTable(view.statistics)
      : make('p', { className: 'muted', textContent: '这个分班还没有统计表：按“统计”。' }), classAverageTable(view.division));
  } else {
    target.replaceChildren(boardView());
    boardShown();
  }
}

async function stepMoves(path) {  // undo or redo
  const data = await call('POST', path);
  if (data && data.view) {
    await showStep(data.view);
    setStatus(path === '/api/undo' ? '已撤销一步调班；统计已更新。' : '已重做一步调班；统计已更新。');
  }
}

async function setOption(element) {
  const control = element.dataset.control;
  const value = element.type === 'checkbox' ? element.checked : element.value;
  const data = await call('POST', '/api/option', { control, value });
  if (!data) await refreshState();  // show the stored values again
  element.classList.toggle('corrected', !!(data && data.corrected));
  element.title = data && data.corrected ? data.corrected.text : '';
  if (data && currentSheet && !hasUnsavedMoves()) await loadView();
}

// Uploads a list; a name the folder has already is replaced only when the
// teacher says so (the file there is kept as a version). The list uploaded
// is the one chosen.
async function uploadList(file, replace = false) {
  const form = new FormData();
  form.append('file', file, file.name);
  if (replace) form.append('replace', '1');
  const data = await call('POST', '/api/upload', form);
  if (data && data.ask === 'replace') {
    const answer = await showDialog('上传名单', data.text, 48, ['替换', null, '取消']);
    if (answer === 'ok') return uploadList(file, true);
    return null;
  }
  if (data && data.ok) {
    currentTab = 'stats';
    await loadView();
  }
  return data;
}

async function removeBook() {
  const book = state && state.book;
  if (!book || !(await settleMoves())) return;
  const answer = await showDialog('移除名单', `把“${book}”移出数据文件夹？它会留作旧版本，可以恢复。`, 48,
    ['移除', null, '取消']);
  if (answer !== 'ok') return;
  if (await call('POST', '/api/remove', { book })) await loadView();
}

// Divides; a list whose headers are not in row 1 is divided once the
// teacher has confirmed the header row the server found.
async function divide(headerRow) {
  const body = { totalFromSubjects: $('chbSuanZongFen').checked };
  if (headerRow) body.headerRow = headerRow;
  const data = await call('POST', '/api/divide', body);
  if (data && !data.ok && data.askHeaderRow && !headerRow) {
    const row = data.askHeaderRow;
    const answer = await showDialog('表头行', `确认表头在第 ${row} 行？fenban 会先删去上面的标题行、取消表头的合并单元格` +
      '（原文件留作旧版本），再分班。', 48, [`表头在第 ${row} 行，分班`, null, '取消']);
    if (answer === 'ok') return divide(row);
  }
  return data;
}

async function runCommand(path, body, after) {
  const data = await call('POST', path, body);
  if (data && data.ok && after) await after(data);
  return data;
}

// 删除, in the teacher's words: the division shown alone ("删除分班表N"),
// or every sheet but it and "数据表" ("只保留分班表N"); the dialog lists
// the sheets that go.
async function deleteSheets() {
  if (!(await settleMoves())) return;
  const keptCopy = '删除前的文件会留作旧版本，可以用“恢复…”找回。';
  if (!currentSheet) {
    const others = state.sheets.filter((name) => name !== '数据表');
    const answer = await showDialog('删除', `删除 ${others.join('、') || '（没有）'}，只留下“数据表”？\n${keptCopy}`, 48,
      ['删除', null, '取消']);
    if (answer === 'ok') await runCommand('/api/delete', { sheet: '数据表' }, loadView);
    return;
  }
  const pair = [currentSheet, currentSheet.replace('分班表', '统计表')].filter((name) => state.sheets.includes(name));
  const others = state.sheets.filter((name) => name !== '数据表' && !pair.includes(name));
  const lines = [`“删除${currentSheet}”删去：${pair.join('、')}。`];
  if (others.length) lines.push(`“只保留${currentSheet}”删去：${others.join('、')}（留下“数据表”和${pair.join('、')}）。`);
  lines.push(keptCopy);
  const answer = await showDialog('删除', lines.join('\n'), 48,
    [`删除${currentSheet}`, others.length ? `只保留${currentSheet}` : null, '取消']);
  if (answer === 'ok') await runCommand('/api/delete-division', { sheet: currentSheet }, loadView);
  if (answer === 'other') await runCommand('/api/delete', { sheet: currentSheet }, loadView);
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
  }, '读取工作簿'));
  $('upload').addEventListener('change', (event) => act(async () => {
    const file = event.target.files[0];
    if (!file) return;
    if (!(await settleMoves())) { event.target.value = ''; return; }
    await uploadList(file);
    event.target.value = '';
  }, '上传'));
  $('removeBook').addEventListener('click', () => act(removeBook, '移除名单'));
  for (const element of document.querySelectorAll('[data-control]')) {
    element.addEventListener('change', (event) => act(() => setOption(event.target), '保存选项'));
  }
  $('cmdFenBan').addEventListener('click', () => act(async () => {
    if (!(await settleMoves())) return;
    const data = await divide();
    if (data && data.ok) {
      currentSheet = data.sheet;
      $('sheetSelect').value = currentSheet;
      currentTab = 'stats';
      if (data.seed !== undefined) setStatus($('status').textContent + `\n随机种子：${data.seed}`);
      if (data.refinement && data.refinement.length) {
        // The statistics sheet's tables as the sheet shows them, then whole classes.
        const shown = (f, x) => (f.name.startsWith('平均分') ? x.toFixed(1) : x.toFixed(0));
        const tables = data.refinement.filter((f) => f.sheetTable)
          .map((f) => `${f.name}：${shown(f, f.dealt)} → ${shown(f, f.refined)}（${f.column}）`);
        const whole = data.refinement.filter((f) => !f.sheetTable)
          .map((f) => `${f.name}：${+f.dealt.toFixed(2)} → ${+f.refined.toFixed(2)}`);
        setStatus($('status').textContent + '\n统计表各表最大的“最大差”（蛇形 → 优化）：\n' + tables.join('\n') +
          '\n全班（平均分、人数、标准差）：\n' + whole.join('\n') +
          (data.refinementNotes && data.refinementNotes.length ? '\n未能满足：\n' + data.refinementNotes.join('\n') : ''));
      }
      await loadView();
    }
  }, '分班'));
  $('cmdTiaoBan').addEventListener('click', () => act(async () => {
    if (!(await settleMoves())) return;
    await runCommand('/api/stats', { sheet: currentSheet || '数据表' }, loadView);
  }, '统计'));
  $('cmdDel').addEventListener('click', () => act(deleteSheets, '删除'));
  $('cmdDengJi').addEventListener('click', () => act(() => runCommand('/api/template', {}), '重建登记表'));
  // The help is the teacher's guide, the text help.doc is made from; read once.
  let helpRead = false;
  $('cmdHelp').addEventListener('click', async () => {
    $('helpDialog').showModal();
    if (helpRead) return;
    const data = await call('GET', '/api/guide');
    if (data && data.html) {
      $('helpText').innerHTML = data.html;
      helpRead = true;
    }
  });
  $('helpManual').addEventListener('click', () => act(async () => {
    const data = await runCommand('/api/help', {});
    if (data && data.document) {
      setStatus('说明书 help.doc 已下载，用文字处理软件打开。');
      window.location.href = data.document;
    }
  }, '下载说明书'));
  $('sheetSelect').addEventListener('change', (event) => act(async () => {
    if (!(await settleMoves())) { event.target.value = currentSheet; return; }
    currentSheet = event.target.value;
    currentTab = 'stats';
    await loadView();
  }, '读取'));
  $('undo').addEventListener('click', () => act(() => stepMoves('/api/undo'), '撤销'));
  $('redo').addEventListener('click', () => act(() => stepMoves('/api/redo'), '重做'));
  $('save').addEventListener('click', () => act(async () => { if (await call('POST', '/api/save')) await loadView(); }, '保存'));
  $('discard').addEventListener('click', () => act(async () => { if (await call('POST', '/api/discard')) await loadView(); }, '放弃调班'));
  window.addEventListener('beforeunload', (event) => {
    if (hasUnsavedMoves()) {
      event.preventDefault();
      event.returnValue = '';
    }
  });
}

wire();
act(async () => { await refreshState(); await loadView(); }, '读取');
