// Helpers of the gateway's pages. Whatever the gateway reports goes into the
// page as text (textContent), never as markup.
'use strict';

const REFRESH_MS = 3000;

// An element with attributes and children (texts or elements).
function el(tag, attributes, ...children) {
  const node = document.createElement(tag);
  for (const [key, value] of Object.entries(attributes || {}))
    if (value !== undefined && value !== null) node.setAttribute(key, value);
  for (const child of children)
    if (child !== undefined && child !== null)
      node.append(child instanceof Node ? child : String(child));
  return node;
}

async function fetchJson(url) {
  const answer = await fetch(url, { cache: 'no-store' });
  if (!answer.ok) throw new Error(`${url}: ${answer.status}`);
  return answer.json();
}

// An ISO 8601 time in the browser's local time; "–" for none.
function localTime(iso) {
  if (!iso) return '–';
  const time = new Date(iso);
  return isNaN(time) ? String(iso) : time.toLocaleString();
}

// Seconds as "3 s", "4 min 10 s", "15 min", "2 h 5 min", "3 d 4 h": the two largest units, a zero second one left out.
function duration(seconds) {
  if (seconds === null || seconds === undefined || !isFinite(seconds)) return '–';
  const s = Math.round(Math.abs(seconds));
  const sign = seconds < 0 ? '−' : '';
  const units = [[86400, 'd'], [3600, 'h'], [60, 'min'], [1, 's']];
  const found = units.findIndex(([size]) => s >= size);
  const at = found < 0 ? units.length - 1 : found;
  const [size, name] = units[at];
  let text = `${sign}${Math.floor(s / size)} ${name}`;
  if (at < units.length - 1) {
    const [smaller, smallerName] = units[at + 1];
    const rest = Math.floor((s % size) / smaller);
    if (rest) text += ` ${rest} ${smallerName}`;
  }
  return text;
}

// A short time to the hundredth of a second: "0.31 s"; longer ones as duration() gives them.
function shortDuration(seconds) {
  return seconds !== null && seconds !== undefined && Math.abs(seconds) < 10 ? `${seconds.toFixed(2)} s` : duration(seconds);
}

// A meter's or a line's state, in colour and in words.
function stateBadge(kind, words) {
  return el('span', { class: `state ${kind}` }, words);
}

// A table row whose cells know their column's name (shown on a phone).
function row(table, cells, attributes) {
  const names = [...table.tHead.rows[0].cells].map((th) => th.textContent);
  const tr = el('tr', attributes);
  cells.forEach((cell, i) => {
    const { value, className } = cell instanceof Object && !(cell instanceof Node) ? cell : { value: cell };
    tr.append(el('td', { 'data-label': names[i], class: className }, value));
  });
  return tr;
}

// Runs refresh now and every REFRESH_MS; a failure shows in `note` and the next round tries again.
function keepFresh(refresh, note) {
  const round = async () => {
    try {
      await refresh();
      note.textContent = `Updated ${new Date().toLocaleTimeString()}`;
      note.classList.remove('error');
    } catch (error) {
      note.textContent = `Gateway not reached: ${error.message}`;
      note.classList.add('error');
    }
    setTimeout(round, REFRESH_MS);
  };
  round();
}
