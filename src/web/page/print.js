'use strict';
// The class lists of one division, one class per printed page.

function make(tag, props = {}, children = []) {
  const element = document.createElement(tag);
  Object.assign(element, props);
  for (const child of children) element.append(child);
  return element;
}

async function show() {
  const sheet = new URLSearchParams(window.location.search).get('sheet') || '';
  const response = await fetch('/api/view?sheet=' + encodeURIComponent(sheet), { credentials: 'same-origin' });
  const data = await response.json();
  const pages = document.getElementById('pages');
  if (data.error) {
    pages.replaceChildren(make('p', { textContent: data.error.title + '：' + data.error.text }));
    return;
  }
  const division = data.division;
  const title = data.book.replace(/\.[^.]*$/, '');
  document.title = `${title} ${division.name}`;
  if (data.pending && data.pending.moves) {
    document.getElementById('note').textContent = `每班一页。注意：有 ${data.pending.moves} 处调班还没有保存。`;
  }
  pages.replaceChildren(...division.classes.map((group) => make('section', { className: 'page' }, [
    make('h1', { textContent: title }),
    make('div', { className: 'meta' }, [
      make('span', { textContent: `${group.label}班　共 ${group.students.length} 人` }),
      make('span', { textContent: division.name })]),
    make('table', {}, [
      make('thead', {}, [make('tr', {}, division.headers.map((h) => make('th', { textContent: h })))]),
      make('tbody', {}, group.students.map((student) =>
        make('tr', {}, student.cells.map((text) => make('td', { textContent: text })))))]),
  ])));
}

document.getElementById('printButton').addEventListener('click', () => window.print());
show();
