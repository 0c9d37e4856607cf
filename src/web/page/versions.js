'use strict';
// "恢复…": the versions kept of the chosen data workbook (or of fenban.xlsx)
// before each save, and bringing one back. Uses the page's call, state and
// loadView from app.js.

// Lists the versions of `book` in the dialog; the chosen version's number, or null.
function showVersions(book, versions) {
  const list = $('versionsList');
  const restore = $('versionsRestore');
  restore.disabled = true;
  if (!versions.length) {
    list.replaceChildren(make('p', { className: 'muted', textContent: `“${book}”还没有旧版本。` }));
    return;
  }
  const table = make('table', { className: 'versions' });
  table.id = 'versionsTable';
  table.append(make('tr', {}, ['', '编号', '保存时间', '之后的操作', '工作表'].map((h) => make('th', { textContent: h }))));
  for (const version of versions) {
    const choice = make('input', { type: 'radio', name: 'version', value: String(version.number) });
    choice.setAttribute('aria-label', `版本 ${version.number}`);
    choice.addEventListener('change', () => { restore.disabled = false; });
    const sheets = version.sheets.join('、') + (version.current ? '（与现在的文件相同）' : '');
    const tr = make('tr', {}, [make('td', {}, [choice]), make('td', { textContent: String(version.number) }),
      make('td', { textContent: version.time }), make('td', { textContent: version.command }),
      make('td', { textContent: sheets })]);
    if (version.current) tr.className = 'current';
    table.append(tr);
  }
  list.replaceChildren(table);
}

async function loadVersions(book) {
  const data = await call('GET', '/api/versions?book=' + encodeURIComponent(book));
  if (data) showVersions(book, data.versions);
  return data;
}

function chosenVersion() {
  const chosen = document.querySelector('#versionsList input[name="version"]:checked');
  return chosen ? Number(chosen.value) : null;
}

async function openVersions() {
  if (!(await settleMoves())) return;
  const select = $('versionsBook');
  const books = [state.book, 'fenban.xlsx'];
  select.replaceChildren(...books.map((name) => make('option', {
    value: name, textContent: name === 'fenban.xlsx' ? 'fenban.xlsx（选项和登记表）' : name })));
  select.value = state.book;
  if (!(await loadVersions(state.book))) return;
  $('versionsDialog').showModal();
}

async function restoreVersion(event) {
  event.preventDefault();
  const book = $('versionsBook').value;
  const version = chosenVersion();
  if (version === null) return;
  const answer = await showDialog('恢复', `把“${book}”恢复成版本 ${version}？\n现在的文件会先留作一个新版本。`, 48,
    ['恢复', null, '取消']);
  if (answer !== 'ok') return;
  const data = await call('POST', '/api/restore', { book, version });
  if (!data) return;
  showVersions(book, data.versions);
  currentTab = 'stats';
  await loadView();
}

function wireVersions() {
  $('versions').addEventListener('click', () => act(openVersions));
  $('versionsBook').addEventListener('change', (event) => act(() => loadVersions(event.target.value)));
  $('versionsRestore').addEventListener('click', (event) => act(() => restoreVersion(event)));
}

wireVersions();
