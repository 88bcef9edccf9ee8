// A meter's page: its live values and phasor diagram, fetched again every few
// seconds, and its load profile of the last day and week from the archive.
'use strict';

const serial = decodeURIComponent(location.pathname.replace(/^\/meters\//, '').replace(/\/$/, ''));
const path = encodeURIComponent(serial);
const lang = ['en', 'zh', 'ja'].includes(new URLSearchParams(location.search).get('lang'))
  ? new URLSearchParams(location.search).get('lang') : 'en';
const charts = {};

document.getElementById('serial').textContent = serial;
document.title = serial;
document.documentElement.lang = lang;
for (const link of document.querySelectorAll('#languages a'))
  if (link.dataset.lang === lang) link.classList.add('current');

function showValues(view) {
  const section = document.getElementById('values');
  section.querySelectorAll('table').forEach((t) => t.remove());
  for (const group of view.groups) {
    const table = el('table', { class: 'values' }, el('caption', null, group.caption));
    for (const v of group.values)
      table.append(el('tr', { 'data-id': v.id },
        el('td', null, v.caption),
        el('td', { class: 'value', 'data-id': v.id }, v.value || '–'),
        el('td', { class: 'unit' }, v.unit)));
    section.append(table);
  }
}

async function showState() {
  const meters = await fetchJson('/api/meters');
  const m = meters.find((one) => one.serial === serial);
  const state = document.getElementById('state');
  if (!m) {
    state.replaceChildren('Not a meter of this gateway.');
    return;
  }
  state.replaceChildren(stateBadge(m.online ? 'online' : 'offline', m.online ? 'online' : 'offline'),
    ` since ${localTime(m.since)} · ${m.line}, unit ${m.unit} · firmware ${m.firmware} · last poll `,
    m.last_poll ? `${duration(m.last_poll_age_s)} ago` : 'never');
}

let phasorRound = 0;
keepFresh(async () => {
  showValues(await fetchJson(`/api/meters/${path}/view?lang=${lang}`));
  document.getElementById('phasor-svg').src = `/meters/${path}/phasor.svg?round=${++phasorRound}`;
  await showState();
}, document.getElementById('values-note'));

// Load profile ------------------------------------------------------------

const figure = (value) => (value === null || value === undefined ? '–' : Number(value).toFixed(4));
// A meter's stamp as it reads; a chart's x is that stamp in milliseconds as if UTC.
const stampText = (stamp) => (stamp ? stamp.replace('T', ' ') : '–');
const axisText = (ms, day) => new Date(ms).toISOString().slice(day ? 11 : 5, 16).replace('T', ' ');

function csvLink(summary) {
  const last = new Date(Date.parse(`${summary.period.end}Z`) - 1000).toISOString().slice(0, 10);
  const query = `group=${summary.group}&from=${summary.period.start.slice(0, 10)}&until=${last}&format=csv`;
  return el('a', { href: `/api/meters/${path}/lp?${query}` }, 'CSV');
}

function statisticsTable(summary) {
  const columns = [['Channel'], ['Minimum', 'num'], ['at'], ['Maximum', 'num'], ['at'], ['Average', 'num'],
    ['Load factor', 'num'], ['Sum', 'num']];
  const table = el('table', { class: 'stack statistics' },
    el('thead', null, el('tr', null, ...columns.map(([name, className]) => el('th', { class: className }, name)))));
  const body = el('tbody');
  table.append(body);
  const value = (text) => ({ value: text, className: 'value' });
  for (const c of summary.channels) {
    const s = c.statistics;
    const tr = row(table, [`${c.name} (${c.unit || '–'})`, value(figure(s.minimum)), stampText(s.minimum_at),
      value(figure(s.maximum)), stampText(s.maximum_at), value(figure(s.average)),
      value(s.load_factor === null ? '–' : `${(100 * s.load_factor).toFixed(1)} %`), value(figure(s.sum))],
    { 'data-code': c.code });
    // Which figure a cell holds, for whoever reads the page by machine.
    [[1, 'minimum'], [3, 'maximum'], [5, 'average'], [6, 'load_factor'], [7, 'sum']]
      .forEach(([at, stat]) => { tr.cells[at].dataset.stat = stat; });
    body.append(tr);
  }
  return table;
}

function chartOf(box, summary) {
  if (typeof Chart === 'undefined') {
    box.append(el('p', { class: 'note' }, 'The chart library is not installed on the gateway.'));
    return;
  }
  const canvas = el('canvas');
  box.append(el('div', { class: 'chart' }, canvas));
  const palette = ['#0b57b0', '#c62828', '#1a7f37', '#9a6700', '#6f42c1', '#00838f', '#ad1457', '#5d4037'];
  const day = summary.period.kind === 'day';
  const datasets = summary.channels.map((c, i) => {
    const breaks = new Set(c.breaks);
    const data = [];
    c.points.forEach(([x, y], at) => {
      if (breaks.has(at)) data.push({ x, y: null }); // the line stops at missing intervals
      data.push({ x, y });
    });
    return { label: `${c.name} (${c.unit})`, data, borderColor: palette[i % palette.length],
      backgroundColor: palette[i % palette.length], pointRadius: 0, borderWidth: 1.5, spanGaps: false };
  });
  charts[box.id] = new Chart(canvas, {
    type: 'line',
    data: { datasets },
    options: {
      animation: false, parsing: false, normalized: true, maintainAspectRatio: false,
      interaction: { mode: 'nearest', axis: 'x', intersect: false },
      scales: {
        x: { type: 'linear', min: Date.parse(`${summary.period.start}Z`), max: Date.parse(`${summary.period.end}Z`),
          ticks: { stepSize: (day ? 3 : 24) * 3600000, callback: (ms) => axisText(ms, day) },
          title: { display: true, text: 'meter time' } },
      },
      plugins: {
        legend: { labels: { boxWidth: 12, font: { size: 11 } } },
        tooltip: { callbacks: { title: (items) => axisText(items[0].parsed.x, false) } },
      },
    },
  });
}

function showSummary(box, summary, heading) {
  if (charts[box.id]) charts[box.id].destroy();
  delete charts[box.id];
  box.replaceChildren(el('h3', null, heading));
  if (!summary.period) {
    box.append(el('p', { class: 'note' }, 'Nothing of this group is archived.'));
    return;
  }
  const cover = summary.coverage;
  const share = cover.due ? ` (${(100 * cover.present / cover.due).toFixed(1)} %)` : '';
  box.append(el('p', { class: 'note' },
    `${stampText(summary.period.start)} – ${stampText(summary.period.end)} (meter time) · `,
    el('span', { class: 'coverage', 'data-present': cover.present, 'data-due': cover.due, 'data-missing': cover.missing },
      `${cover.present} of ${cover.due} intervals recorded${share}, ${cover.missing} missing, `
      + `${cover.repeated} repeated stamps`),
    summary.interval_s ? ` · every ${duration(summary.interval_s)} · ` : ' · ', csvLink(summary)));
  chartOf(box, summary);
  box.append(statisticsTable(summary));
}

async function showLoadProfile() {
  const group = document.getElementById('lp-group').value;
  for (const [period, heading] of [['day', 'Last day'], ['week', 'Last week']]) {
    const box = document.getElementById(`lp-${period}`);
    try {
      showSummary(box, await fetchJson(`/api/meters/${path}/lp/summary?group=${group}&period=${period}`), heading);
    } catch (error) {
      box.replaceChildren(el('h3', null, heading), el('p', { class: 'error' }, `Archive not read: ${error.message}`));
    }
  }
}

document.getElementById('lp-group').addEventListener('change', showLoadProfile);
showLoadProfile();
setInterval(showLoadProfile, 60000);
