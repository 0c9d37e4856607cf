'use strict';
// The statistics sheet on the page: each of its tables in a box of its own
// that scrolls inside with its header row kept in sight, a changed "最大差"
// shown as before over after (never wider than the figure), and a table of
// whole-class averages worked out from the division shown. Uses make from
// app.js and columnKinds/average from board.js.

// Splits the grid's rows at its title rows (the large cells): each part is
// { title, rows }, with the lone notes (the same-name report) apart.
function gridParts(grid) {
  const parts = [];
  let part = { title: null, rows: [], notes: [] };
  const isTitle = (row) => row.cells.some((cell) => cell.large);
  const isNote = (row) => !row.maxDiff && row.cells.filter((c) => c.text).length === 1 && row.cells[0].text &&
    !row.cells[0].border;
  for (const row of grid.rows) {
    if (isTitle(row)) {
      if (part.rows.length || part.title) parts.push(part);
      part = { title: row, rows: [], notes: [] };
    } else if (isNote(row)) {
      part.notes.push(row.cells[0]);
    } else if (row.cells.some((c) => c.text || c.border)) {
      part.rows.push(row);
    }
  }
  parts.push(part);
  return parts;
}

function cellElement(tag, cell) {
  const td = make(tag);
  if (cell.span) td.colSpan = cell.span;
  if (cell.fill) td.style.background = cell.fill;
  if (cell.color) td.style.color = cell.color;
  if (cell.bold) td.style.fontWeight = 'bold';
  td.style.textAlign = cell.align || (cell.span ? 'center' : 'left');
  if (cell.border) td.classList.add('border');
  if (cell.doubleRight) td.classList.add('double-right');
  if (cell.large) td.classList.add('large');
  if (cell.change) {
    td.append(make('span', { className: 'before', textContent: cell.before + '→' }),
      make('span', { className: cell.change, textContent: cell.text }));
    td.dataset.change = cell.change;
    td.dataset.before = cell.before;
  } else {
    td.textContent = cell.text;
  }
  td.dataset.value = cell.text;
  return td;
}

function rowElement(row, tag) {
  const tr = make('tr', {}, row.cells.map((cell) => cellElement(tag, cell)));
  if (row.maxDiff) tr.className = 'max-diff';
  return tr;
}

// The statistics sheet as it looks in the spreadsheet: fills, bold, red
// report, borders; a changed "最大差" shows before over after.
function gridTable(grid) {
  const holder = make('div', { className: 'statistics' });
  holder.id = 'statistics';
  for (const part of gridParts(grid)) {
    if (part.title) {
      const titles = part.title.cells.filter((cell) => cell.text).map((cell) => cell.text);
      holder.append(make('h3', { className: 'stats-title', textContent: titles.join('　　') }));
    }
    if (part.rows.length) {
      const [header, ...body] = part.rows;
      const table = make('table', { className: 'sheet' }, [make('thead', {}, [rowElement(header, 'th')]),
        make('tbody', {}, body.map((row) => rowElement(row, 'td')))]);
      holder.append(make('div', { className: 'stats-box' }, [table]));
    }
    for (const note of part.notes) {
      const p = make('p', { className: 'stats-note', textContent: note.text });
      if (note.color) p.style.color = note.color;
      holder.append(p);
    }
  }
  return holder;
}

// Every class's average of each mark column over all its students, the
// year's, and the largest difference between classes.
function classAverageTable(division) {
  const { numbers } = columnKinds(division);
  const table = make('table', { className: 'sheet averages' });
  table.id = 'classAverages';
  const head = make('tr', {}, [make('th', { textContent: '新班级' }),
    ...numbers.map((i) => make('th', { textContent: division.headers[i] }))]);
  const rows = division.classes.map((group) => ({
    label: `${group.label}`, values: numbers.map((i) => average(group.students, i)) }));
  const all = division.classes.flatMap((group) => group.students);
  const spread = numbers.map((_, k) => {
    const values = rows.map((row) => row.values[k]).filter((v) => v !== null);
    return values.length ? Math.max(...values) - Math.min(...values) : null;
  });
  const line = (label, values, className = '') => {
    const tr = make('tr', { className }, [make('td', { className: 'border', textContent: label }),
      ...values.map((v) => make('td', { className: 'border', textContent: v === null ? '' : v.toFixed(1) }))]);
    return tr;
  };
  table.append(make('thead', {}, [head]), make('tbody', {}, [
    ...rows.map((row) => line(row.label, row.values)),
    line('全年级', numbers.map((i) => average(all, i)), 'year'),
    line('最大差', spread, 'spread')]));
  return make('div', {}, [make('h3', { className: 'stats-title', textContent: '全班平均分（每班全部学生）' }),
    make('div', { className: 'stats-box' }, [table])]);
}
