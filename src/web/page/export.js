'use strict';
// "导出名单…": the class lists of the division shown, with the columns, the
// order and the heading the teacher picks, written beside the list. Uses
// the page's call, view and currentSheet from app.js.

function defaultExportColumns(headers) {
  const number = ['考号', '学号'].find((h) => headers.includes(h));
  return ['姓名', '性别', number].filter((h) => h && headers.includes(h));
}

function openExport() {
  if (!view) return;
  const headers = view.division.headers.slice(1);  // not 序号
  const chosen = defaultExportColumns(headers);
  $('exportColumns').replaceChildren(...headers.map((header) => {
    const box = make('input', { type: 'checkbox', checked: chosen.includes(header), value: header });
    box.addEventListener('change', fillExportSort);
    return make('label', {}, [box, ' ' + header]);
  }));
  fillExportSort();
  $('exportFiles').replaceChildren();
  $('exportDialog').showModal();
}

function exportColumns() {
  return Array.from(document.querySelectorAll('#exportColumns input:checked')).map((box) => box.value);
}

// The order: as in the division, or by one of the columns exported.
function fillExportSort() {
  const select = $('exportSort');
  const before = select.value;
  const choices = exportColumns().filter((h) => !/分|名次/.test(h));
  select.replaceChildren(make('option', { value: '', textContent: '分班表里的顺序' }),
    ...choices.map((h) => make('option', { value: h, textContent: `按${h}` })));
  select.value = choices.includes(before) ? before : (choices.includes('姓名') ? '姓名' : '');
}

async function runExport() {
  const data = await call('POST', '/api/export', { sheet: currentSheet, columns: exportColumns(),
    perClassFiles: $('exportPerClass').checked, sort: $('exportSort').value, heading: $('exportHeading').value });
  if (!data) return;
  $('exportFiles').replaceChildren(...data.files.map((name) => make('li', {}, [make('a', {
    href: '/api/download?export=' + encodeURIComponent(name), textContent: name })])));
}

$('exportLists').addEventListener('click', openExport);
$('exportRun').addEventListener('click', () => act(runExport, '导出名单'));
