'use strict';
// The board: every class of the division shown as a card side by side, with
// its live summary. A student is moved by dragging it onto another class,
// or swapped by dropping it onto a student of another class; without a
// mouse, a tap (or Enter) picks a student and a tap on a class places it,
// a tap on a student of another class swaps the two. Uses the page's state,
// view, act, call and showStep from app.js.

let picked = null;          // { id, from, who } of the student picked by a tap or a key
let shownColumns = null;    // the headers the cards show, as the teacher picked them
let searchText = '';
let searchOnly = false;

function headerIndex(division, name) { return division.headers.indexOf(name); }

function studentName(division, student) {
  const n = headerIndex(division, '姓名');
  return n >= 0 ? student.cells[n] : student.cells.slice(1, 3).join(' ');
}

function defaultColumns(division) {
  const wanted = ['姓名', '性别', '总分'].filter((h) => division.headers.includes(h));
  return wanted.length ? wanted : division.headers.slice(1, 4);
}

function isNumberText(text) { return text !== '' && Number.isFinite(Number(text)); }

// The columns whose every value is a number (the marks), and the few-valued
// text columns (性别, 住校, 应届…) the cards count.
function columnKinds(division) {
  const numbers = [], categories = [];
  division.headers.forEach((header, index) => {
    if (index === 0) return;  // 序号
    const values = new Set();
    let numeric = true, any = false;
    for (const group of division.classes) {
      for (const student of group.students) {
        const text = student.cells[index];
        if (text === '') continue;
        any = true;
        if (!isNumberText(text)) numeric = false;
        if (values.size <= 4) values.add(text);
      }
    }
    if (!any) return;
    if (numeric && isMarkColumn(header)) numbers.push(index);
    else if (!numeric && values.size >= 2 && values.size <= 3) categories.push(index);
  });
  return { numbers, categories };
}

// The subjects of "登记表" and 总分 are marks; without a subject list, any
// number column but the ones that name or place a student.
function isMarkColumn(header) {
  const subjects = (state && state.subjects) || [];
  if (subjects.length) return header === '总分' || subjects.includes(header);
  return !/号|预设班|同班|分开/.test(header);
}

function average(students, index) {
  let sum = 0, count = 0;
  for (const student of students) {
    const text = student.cells[index];
    if (isNumberText(text)) { sum += Number(text); count += 1; }
  }
  return count ? sum / count : null;
}

// "+1.2" in the colour of above or below the year's figure.
function difference(value, year, digits = 1) {
  const diff = value - year;
  const shown = Math.abs(diff) < 0.05 ? '±0' : (diff > 0 ? '+' : '−') + Math.abs(diff).toFixed(digits);
  return make('span', { className: 'diff ' + (Math.abs(diff) < 0.05 ? 'even' : diff > 0 ? 'above' : 'below'),
    textContent: shown });
}

function summaryOf(division, group, kinds, yearFigures) {
  const summary = make('div', { className: 'summary' });
  const size = make('div', {}, [`${group.students.length} 人 `, difference(group.students.length, yearFigures.size)]);
  summary.append(size);
  const counts = [];
  for (const index of kinds.categories) {
    const tally = new Map();
    for (const student of group.students) {
      const text = student.cells[index];
      if (text !== '') tally.set(text, (tally.get(text) || 0) + 1);
    }
    counts.push(`${division.headers[index]}：` + [...tally].sort().map(([k, v]) => `${k}${v}`).join(' '));
  }
  if (counts.length) summary.append(make('div', { className: 'counts', textContent: counts.join('　') }));
  const marks = make('div', { className: 'marks' });
  for (const index of kinds.numbers.filter((i) => shownColumns.includes(division.headers[i]))) {
    const value = average(group.students, index);
    if (value === null) continue;
    marks.append(make('span', { className: 'mark' }, [`${division.headers[index]}均 ${value.toFixed(1)} `,
      difference(value, yearFigures.averages[index])]));
  }
  summary.append(marks);
  return summary;
}

function yearFiguresOf(division, kinds) {
  const all = division.classes.flatMap((group) => group.students);
  const averages = {};
  for (const index of kinds.numbers) averages[index] = average(all, index);
  return { size: all.length / Math.max(1, division.classes.length), averages };
}

function matches(student) {
  if (!searchText) return false;
  const wanted = searchText.toLowerCase();
  return student.cells.some((text) => text.toLowerCase().includes(wanted));
}

function studentItem(division, group, student, columns) {
  const item = make('li', { className: 'student', tabIndex: 0, draggable: true });
  item.dataset.id = student.id;
  item.dataset.from = group.label;
  item.dataset.name = studentName(division, student);
  item.setAttribute('role', 'button');
  for (const index of columns) item.append(make('span', { textContent: student.cells[index] }));
  if (student.moved) item.classList.add('moved');
  if (student.warning) {
    item.classList.add('warned');
    item.title = '⚠ ' + student.warning;
  }
  if (picked && picked.id === student.id) item.classList.add('picked');
  if (matches(student)) item.classList.add('found');
  else if (searchText && searchOnly) item.hidden = true;
  return item;
}

function renderBoard(division) {
  const columns = shownColumns.map((h) => headerIndex(division, h));
  const kinds = columnKinds(division);
  const year = yearFiguresOf(division, kinds);
  const board = make('div', { className: 'board' });
  board.id = 'board';
  board.style.setProperty('--columns', String(columns.length));
  for (const group of division.classes) board.append(cardOf(division, group, columns, kinds, year));
  countFound(board);
  letGoOfMoved(division);
  return board;
}

// One class's card: its head, its summary and its students.
function cardOf(division, group, columns, kinds, year) {
  const list = make('ol', { className: 'students' });
  for (const student of group.students) list.append(studentItem(division, group, student, columns));
  const head = make('h3', { className: 'card-head', tabIndex: 0 }, [
    make('span', { className: 'label', textContent: `${group.label}班` }),
    make('span', { className: 'count', textContent: `${group.students.length}人` })]);
  head.setAttribute('role', 'button');
  head.setAttribute('aria-label', `放到 ${group.label} 班`);
  const card = make('section', { className: 'card' }, [head, summaryOf(division, group, kinds, year), list]);
  card.dataset.label = group.label;
  return card;
}

function countFound(board) {
  board.dataset.found = String(board.querySelectorAll('li.found').length);
}

// A student picked in a view that changed since is let go when it is no longer where it was.
function letGoOfMoved(division) {
  if (picked && !division.classes.some((g) => g.label === picked.from && g.students.some((st) => st.id === picked.id))) {
    picked = null;
  }
}

// After a step on the board shown: only the cards of the classes it changed
// are drawn again (a year's figures do not change when students move
// between its classes), with the change list. False when the board is not
// shown as it was, and the caller draws the whole tab.
function redrawCards(labels) {
  const board = $('board');
  const changes = $('changes');
  if (!board || !changes || !view || !shownColumns.every((h) => view.division.headers.includes(h))) return false;
  const division = view.division;
  const columns = shownColumns.map((h) => headerIndex(division, h));
  const kinds = columnKinds(division);
  const year = yearFiguresOf(division, kinds);
  for (const group of division.classes.filter((g) => labels.includes(g.label))) {
    const card = board.querySelector(`.card[data-label="${CSS.escape(group.label)}"]`);
    if (!card) return false;
    card.replaceWith(cardOf(division, group, columns, kinds, year));
  }
  changes.replaceWith(changeList(view.changes || []));
  countFound(board);
  letGoOfMoved(division);
  boardShown();
  return true;
}

// The controls above the board: search, the columns shown, and what is picked.
function boardTools(division) {
  const search = make('input', { type: 'search', id: 'search', value: searchText,
    placeholder: '查找：姓名、考号或任何一列的值' });
  search.setAttribute('aria-label', '查找学生');
  search.addEventListener('input', () => {
    searchText = search.value.trim();
    rerenderBoard();
  });
  search.addEventListener('keydown', (event) => {
    if (event.key !== 'Enter') return;
    const first = document.querySelector('#board li.found');
    if (first) { first.scrollIntoView({ block: 'center' }); first.focus(); }
  });
  const only = make('input', { type: 'checkbox', id: 'searchOnly', checked: searchOnly });
  only.addEventListener('change', () => { searchOnly = only.checked; rerenderBoard(); });
  const columns = make('details', { className: 'columns' }, [make('summary', { textContent: '显示的列' }),
    ...division.headers.slice(1).map((header) => {
      const box = make('input', { type: 'checkbox', checked: shownColumns.includes(header) });
      box.dataset.column = header;
      box.addEventListener('change', () => {
        shownColumns = division.headers.filter((h) => (h === header ? box.checked : shownColumns.includes(h)));
        if (!shownColumns.length) shownColumns = defaultColumns(division);
        rerenderBoard();
      });
      return make('label', {}, [box, ' ' + header]);
    })]);
  return make('div', { className: 'board-tools' }, [search,
    make('label', {}, [only, ' 只显示找到的']), make('span', { id: 'foundCount', className: 'muted' }), columns,
    make('span', { id: 'pickedInfo', className: 'picked-info', role: 'status' })]);
}

// The moves not yet saved, oldest first; a swap's two moves share a line.
function changeList(changes) {
  const box = make('div', { className: 'changes' });
  box.id = 'changes';
  box.hidden = !changes.length;
  const steps = new Map();
  for (const change of changes) {
    if (!steps.has(change.step)) steps.set(change.step, []);
    steps.get(change.step).push(change);
  }
  const list = make('ol');
  for (const [, moves] of steps) {
    const text = moves.map((m) => `${m.who}：${m.from}班 → ${m.to}班`).join('；');
    const item = make('li', { textContent: (moves.length === 2 ? '对调 ' : '') + text });
    item.dataset.ids = moves.map((m) => m.id).join(' ');
    list.append(item);
  }
  box.append(make('h3', { textContent: `未保存的调班（${steps.size}）` }), list);
  return box;
}

function rerenderBoard() {
  const old = $('board');
  if (!old || !view) return;
  old.replaceWith(renderBoard(view.division));
  boardShown();
}

function boardView() {
  const division = view.division;
  if (!shownColumns || !shownColumns.every((h) => division.headers.includes(h))) shownColumns = defaultColumns(division);
  const panel = make('div', { className: 'board-panel' }, [boardTools(view.division)]);
  panel.append(changeList(view.changes || []), renderBoard(view.division));
  return panel;
}

// Once the board is on the page: how many were found, and what is picked.
function boardShown() {
  const board = $('board');
  $('foundCount').textContent = searchText ? `找到 ${board.dataset.found} 人` : '';
  showPicked();
}

function showPicked() {
  document.querySelectorAll('#board li.picked').forEach((item) => item.classList.remove('picked'));
  const info = $('pickedInfo');
  if (!picked) { if (info) info.textContent = ''; return; }
  const item = document.querySelector(`#board li[data-id="${picked.id}"]`);
  if (item) item.classList.add('picked');
  if (info) info.textContent = `已选中 ${picked.who}（${picked.from}班）：点一个班放入，点别班的学生对调，Esc 取消`;
}

// Moves the student with that id, shown in class `from`, to class `to`; or,
// with `other`, swaps it with that student. A step the division's rules
// speak against (a preset class, a "同班" or "分开" group) is asked about first.
async function placeStudent(student, to, other = null) {
  const started = performance.now();
  const body = other ? { sheet: currentSheet, student: student.id, from: student.from, other: other.id, otherFrom: other.from }
    : { sheet: currentSheet, student: student.id, from: student.from, to };
  const path = other ? '/api/swap' : '/api/move';
  let data = await call('POST', path, body);
  const answered = performance.now();
  if (data && data.ask) {
    const answer = await showDialog(data.ask.title, data.ask.text, 48, [other ? '仍然对调' : '仍然调班', null, '取消']);
    data = answer === 'ok' ? await call('POST', path, { ...body, confirm: true }) : null;
  }
  if (data && data.view) {
    await showStep(data.view);
    // How long the step took to show, and the server's part of it (read by the browser test).
    document.body.dataset.stepMs = String(Math.round(performance.now() - started));
    document.body.dataset.stepServerMs = String(Math.round(answered - started));
    setStatus(other ? `已对调 ${student.who}（→ ${other.from}班）和 ${other.who}（→ ${student.from}班）；统计已更新（未保存）。`
      : `已把 ${student.who} 调到 ${to} 班；统计已更新（未保存）。`);
  } else {
    await loadView();
  }
}

function studentOf(item) { return { id: item.dataset.id, from: item.dataset.from, who: item.dataset.name }; }

// A student dropped or placed on `target` (a student or a card).
function dropOn(student, target) {
  const card = target.closest('.card');
  if (!card) return;
  const onStudent = target.closest('li.student');
  if (onStudent && onStudent.dataset.from !== student.from) {
    const other = studentOf(onStudent);
    act(() => placeStudent(student, other.from, other), '对调');
  } else if (card.dataset.label !== student.from) {
    act(() => placeStudent(student, card.dataset.label), '调班');
  }
}

// A tap, click or Enter on the board.
function choose(target) {
  const item = target.closest('li.student');
  if (item && (!picked || item.dataset.from === picked.from)) {
    picked = picked && picked.id === item.dataset.id ? null : studentOf(item);
    showPicked();
    return;
  }
  if (!picked || !target.closest('.card')) return;
  const student = picked;
  picked = null;
  showPicked();
  dropOn(student, target);
}

function wireBoard() {
  const host = $('view');
  host.addEventListener('click', (event) => {
    if (event.target.closest('#board')) choose(event.target);
  });
  host.addEventListener('keydown', (event) => {
    if (!event.target.closest('#board')) return;
    if (event.key === 'Enter' || event.key === ' ') {
      event.preventDefault();
      choose(event.target);
    } else if (event.key === 'Escape') {
      picked = null;
      showPicked();
    }
  });
  host.addEventListener('dragstart', (event) => {
    const item = event.target.closest && event.target.closest('#board li.student');
    if (!item) return;
    event.dataTransfer.setData('application/x-fenban-student', JSON.stringify(studentOf(item)));
    event.dataTransfer.effectAllowed = 'move';
  });
  host.addEventListener('dragover', (event) => {
    const card = event.target.closest && event.target.closest('#board .card');
    if (!card) return;
    event.preventDefault();
    document.querySelectorAll('#board .drop').forEach((e) => e.classList.remove('drop'));
    (event.target.closest('li.student') || card).classList.add('drop');
  });
  host.addEventListener('dragleave', (event) => {
    if (event.target.classList) event.target.classList.remove('drop');
  });
  host.addEventListener('drop', (event) => {
    const card = event.target.closest && event.target.closest('#board .card');
    if (!card) return;
    event.preventDefault();
    document.querySelectorAll('#board .drop').forEach((e) => e.classList.remove('drop'));
    let student = null;
    try { student = JSON.parse(event.dataTransfer.getData('application/x-fenban-student')); } catch { student = null; }
    if (student) dropOn(student, event.target);
  });
}

wireBoard();
