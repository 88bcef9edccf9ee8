// The gateway's overview: itself, its lines and its meters, fetched again every few seconds.
'use strict';

function fact(list, term, ...description) {
  list.append(el('dt', null, term), el('dd', null, ...description));
}

function showGateway(g) {
  document.getElementById('name').textContent = g.name;
  const list = document.getElementById('gateway');
  list.replaceChildren();
  fact(list, 'Version', g.version);
  fact(list, 'Running since', `${localTime(g.started)} (${duration(g.uptime_s)})`);
  const broker = g.broker || {};
  fact(list, 'Broker', broker.host === null || broker.host === undefined ? 'none'
    : el('span', null, `${broker.host} `,
      stateBadge(broker.connected ? 'online' : 'offline', broker.connected ? 'connected' : 'not connected')));
  const archive = g.archive || {};
  fact(list, 'Archive', archive.location === null || archive.location === undefined ? 'none'
    : el('span', null, `${archive.location} `,
      archive.last_error ? el('span', { class: 'error' }, `— ${archive.last_error}`) : stateBadge('online', 'ok')));
}

function showLines(lines) {
  const table = document.getElementById('lines');
  const body = table.tBodies[0];
  body.replaceChildren(...lines.map((line) => {
    const f = line.failures || {};
    const masters = (line.listeners || []).map((l) =>
      `${l.listen} (${l.writes}): ${l.masters.length ? l.masters.join(', ') : 'none'}`).join('; ');
    const num = (value) => ({ value, className: 'num' });
    return row(table, [
      line.line, line.where,
      stateBadge(line.open ? 'online' : 'closed', line.open ? 'open' : 'not open'),
      num(Number(line.requests_per_min).toFixed(1)),
      num(f.timeout), num(f.crc), num(f.exception), num(f.link),
      num(`${Math.round(100 * line.busy_share)} %`),
      masters || '–',
    ], { 'data-line': line.line });
  }));
}

function showMeters(meters) {
  const table = document.getElementById('meters');
  const body = table.tBodies[0];
  body.replaceChildren(...meters.map((m) => {
    const num = (value) => ({ value, className: 'num' });
    const state = el('span', null, stateBadge(m.online ? 'online' : 'offline', m.online ? 'online' : 'offline'),
      el('span', { class: 'note' }, ` since ${localTime(m.since)}`));
    const lp = m.lp ? `group ${m.lp.group}: ${m.lp.records} records, ${localTime(m.lp.at)}` : '–';
    return row(table, [
      el('a', { href: `/meters/${encodeURIComponent(m.serial)}` }, m.serial),
      m.line, num(m.unit), state,
      num(m.last_poll ? `${duration(m.last_poll_age_s)} ago` : 'never'),
      num(shortDuration(m.poll_s)),
      num(m.clock_offset_s === null || m.clock_offset_s === undefined ? '–' : duration(m.clock_offset_s)),
      lp,
      m.held && m.held.length ? m.held.join(', ') : '–',
    ], { 'data-serial': m.serial, 'data-state': m.online ? 'online' : 'offline' });
  }));
  return meters.filter((m) => !m.online).length;
}

keepFresh(async () => {
  const [gateway, lines, meters] = await Promise.all(
    [fetchJson('/api/gateway'), fetchJson('/api/lines'), fetchJson('/api/meters')]);
  showGateway(gateway);
  showLines(lines);
  const offline = showMeters(meters);
  // The tab tells of meters offline too.
  document.title = `${offline ? `${offline} offline · ` : ''}${gateway.name}`;
}, document.getElementById('refreshed'));
