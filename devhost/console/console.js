// The orb-host console: the plug-in's dialog messages as a player sees them, driven by the event
// stream, beside the host's controls. Everything from the plug-in or the user enters the page as
// text nodes, never as markup.
'use strict';

const MESSAGES_URL = '/ark-simple-dialog-messages/v1/messages';
const SESSION_URL = '/ark-gameflow/v1/session';
const PACKET_URL = '/ark-login/v1/login-data-packet';
const DIALOG_CLASS = 'com.velaworks.platform.messaging.persistence.SimpleDialogMessage';
const SHOWN_TYPE = 'championMastery';
const PHASES = ['None', 'Lobby', 'Matchmaking', 'CheckedIntoTournament', 'ReadyCheck', 'ChampSelect',
  'GameStart', 'FailedToLaunch', 'InProgress', 'Reconnect', 'WaitingForStats', 'PreEndOfGame',
  'EndOfGame', 'TerminatedInError'];
const HELD_PHASES = PHASES.slice(PHASES.indexOf('ReadyCheck'), PHASES.indexOf('PreEndOfGame') + 1);
const NO_SESSION = '';
// The lists keep every record the host sends; only the newest are drawn.
const MAX_DRAWN = 400;
const POLL_MS = 2000;

const $ = (id) => document.getElementById(id);

// An element with attributes and children; strings become text nodes.
function el(tag, attributes, ...children) {
  const node = document.createElement(tag);
  for (const [name, value] of Object.entries(attributes || {})) {
    if (value === false || value === null || value === undefined) continue;
    if (name === 'className') node.className = value;
    else node.setAttribute(name, value === true ? '' : String(value));
  }
  for (const child of children) {
    if (child === null || child === undefined || child === false) continue;
    node.append(typeof child === 'string' ? document.createTextNode(child) : child);
  }
  return node;
}

function show(node, text) {
  node.textContent = text || '';
  node.hidden = !text;
}

// One request; never throws. `json` is the parsed body when it is JSON.
async function request(method, url, body, contentType) {
  const init = { method, headers: {}, cache: 'no-store' };
  if (body !== undefined) {
    init.body = typeof body === 'string' ? body : JSON.stringify(body);
    init.headers['Content-Type'] = contentType || 'application/json';
  }
  try {
    const response = await fetch(url, init);
    const text = await response.text();
    let json;
    try { json = text ? JSON.parse(text) : undefined; } catch { json = undefined; }
    return { ok: response.ok, status: response.status, statusText: response.statusText, text, json };
  } catch (error) {
    return { ok: false, status: 0, statusText: '', text: '', json: undefined, network: String(error.message || error) };
  }
}

// What went wrong, in the host's or the plug-in's own words.
function failureText(answer) {
  if (answer.status === 0) return `The host did not answer: ${answer.network}`;
  if (answer.json && typeof answer.json.message === 'string') return answer.json.message;
  return `${answer.status} ${answer.statusText}${answer.text ? `: ${answer.text}` : ''}`;
}

function plural(count, one, many) { return `${count} ${count === 1 ? one : many}`; }

// ---- Messages ----------------------------------------------------------------------------------

const cards = new Map();  // message id -> card element
let listVersion = 0;      // counts list updates, so an older GET answer never overwrites an event

function bodyTexts(body) {
  if (Array.isArray(body)) return body.map((item) => (typeof item === 'string' ? item : JSON.stringify(item)));
  if (body === undefined || body === null) return [];
  return [typeof body === 'string' ? body : JSON.stringify(body)];
}

function makeCard(message) {
  const id = String(message.id);
  const type = typeof message.type === 'string' ? message.type : JSON.stringify(message.type);
  const titleId = `card-${id}-title`;
  const error = el('p', { className: 'card-error', role: 'alert', hidden: true });
  const button = el('button', { type: 'button', className: 'dismiss', 'aria-label': `Dismiss message ${id}, ${type}` },
    'Dismiss');
  const texts = bodyTexts(message.body);
  const body = texts.length
    ? el('ul', { className: 'card-body', 'aria-label': 'Body' }, ...texts.map((text) => el('li', {}, text)))
    : el('p', { className: 'card-body empty-body' }, 'No body');
  const card = el('li', { className: 'card', 'data-id': id, 'aria-labelledby': titleId },
    el('div', { className: 'card-head' },
      el('span', { className: 'card-type', id: titleId }, type),
      el('span', { className: 'card-id', title: 'Message id' }, `#${id}`)),
    body, error,
    el('div', { className: 'card-actions' }, button));
  button.addEventListener('click', () => dismiss(id, button, error));
  return card;
}

async function dismiss(id, button, error) {
  button.disabled = true;
  show(error, '');
  const answer = await request('DELETE', `${MESSAGES_URL}/${encodeURIComponent(id)}`);
  // On success the card goes when the plug-in's list update arrives on the event stream.
  if (!answer.ok) show(error, failureText(answer));
  button.disabled = false;
  refreshHostSoon();
}

function renderMessages(list) {
  const listNode = $('message-list');
  const focusedId = document.activeElement && document.activeElement.closest('.card')
    ? document.activeElement.closest('.card').dataset.id : null;
  const seen = new Set();
  let focusedIndex = -1;
  list.forEach((message, index) => {
    const id = String(message.id);
    seen.add(id);
    let card = cards.get(id);
    if (!card) {
      card = makeCard(message);
      cards.set(id, card);
    }
    listNode.append(card);  // moves an existing card into list order
    if (id === focusedId) focusedIndex = index;
  });
  for (const [id, card] of cards) {
    if (!seen.has(id)) {
      card.remove();
      cards.delete(id);
    }
  }
  // A dismissed card took the keyboard focus with it: hand it to the next card, or the heading.
  if (focusedId !== null && focusedIndex < 0) {
    const next = listNode.querySelector('.dismiss');
    (next || $('messages-title')).focus();
  }
  $('message-count').textContent = String(list.length);
  $('messages-empty').hidden = list.length > 0;
}

async function loadMessages() {
  const version = listVersion;
  const answer = await request('GET', MESSAGES_URL);
  if (!answer.ok || !Array.isArray(answer.json)) {
    show($('messages-error'), `Could not read the messages: ${failureText(answer)}`);
    return;
  }
  show($('messages-error'), '');
  if (version === listVersion) renderMessages(answer.json);
}

// ---- Event stream ------------------------------------------------------------------------------

const eventRecords = [];
let source = null;

function setStream(state, text) {
  const node = $('stream-status');
  node.dataset.state = state;
  node.textContent = text;
}

function onEvent(text) {
  let event;
  try { event = JSON.parse(text); } catch { event = null; }
  eventRecords.push({ time: new Date(), text, live: true });
  drawRecords();
  if (event && event.uri === MESSAGES_URL) {
    if (event.eventType === 'Delete') {
      listVersion += 1;
      renderMessages([]);
    } else if (Array.isArray(event.data)) {
      listVersion += 1;
      renderMessages(event.data);
    }
  }
  refreshHostSoon();
}

function connectStream() {
  setStream('connecting', 'Connecting to the event stream…');
  source = new EventSource('/events');
  source.addEventListener('open', () => {
    setStream('live', 'Live: following the event stream');
    // Events fired before the stream opened, or while it was down, are lost: read the list again.
    loadMessages();
  });
  source.addEventListener('message', (message) => onEvent(message.data));
  source.addEventListener('error', () => {
    if (source.readyState === EventSource.CLOSED) {
      // Refused outright (the host allows a few streams only): try again a little later.
      setStream('down', 'Event stream refused by the host; retrying in 5 s');
      source.close();
      setTimeout(connectStream, 5000);
    } else {
      setStream('down', 'Event stream interrupted; reconnecting…');
    }
  });
}

// ---- Game flow ---------------------------------------------------------------------------------

let statePending = false;

function fillPhases() {
  const select = $('phase');
  select.append(el('option', { value: NO_SESSION, disabled: true }, '(no session)'));
  for (const phase of PHASES) {
    select.append(el('option', { value: phase }, HELD_PHASES.includes(phase) ? `${phase} · holds messages` : phase));
  }
}

function renderState(state) {
  const select = $('phase');
  if (!statePending && document.activeElement !== select) select.value = state.phase || NO_SESSION;
  const node = $('hold-state');
  node.dataset.held = String(Boolean(state.held));
  const count = Number(state.heldCount) || 0;
  let text;
  if (state.phase === null || state.phase === undefined) text = 'No game-flow session: messages are shown as they arrive.';
  else if (state.held) text = `Holding messages during ${state.phase}: ${count} held.`;
  else text = `${state.phase}: messages are shown as they arrive.`;
  node.textContent = text;
  const banner = $('hold-banner');
  if (state.held) {
    banner.textContent = `${plural(count, 'message', 'messages')} held back until the game is over (${state.phase}).`;
    banner.hidden = false;
  } else {
    banner.hidden = true;
  }
}

async function setPhase(phase) {
  statePending = true;
  const answer = await request('PUT', SESSION_URL, { phase });
  statePending = false;
  show($('gameflow-error'), answer.ok ? '' : `Setting the phase failed: ${failureText(answer)}`);
  refreshHost();
}

async function deleteSession() {
  const answer = await request('DELETE', SESSION_URL);
  show($('gameflow-error'), answer.ok ? '' : `Deleting the session failed: ${failureText(answer)}`);
  refreshHost();
}

// ---- Platform ----------------------------------------------------------------------------------

let sentCount = 0;

function splitParams(text) {
  return text.split(',').map((part) => part.trim()).filter((part) => part.length > 0);
}

function accountOf(text) {
  const value = Number(text);
  return Number.isFinite(value) && value >= 0 ? Math.floor(value) : 0;
}

function nextMsgId() {
  sentCount += 1;
  return `console-${sentCount}`;
}

async function sendLcds(event) {
  event.preventDefault();
  const result = $('lcds-result');
  const message = {
    typeName: $('lcds-typename').value.trim(),
    body: {
      accountId: accountOf($('lcds-account').value),
      msgId: $('lcds-msgid').value,
      type: $('lcds-type').value,
      params: splitParams($('lcds-params').value),
    },
  };
  const answer = await request('POST', '/lcds/messages', message);
  if (answer.ok) {
    const delivered = answer.json && answer.json.delivered;
    result.dataset.state = delivered ? 'ok' : 'warn';
    result.textContent = delivered ? `Delivered ${message.body.msgId}` : `Sent ${message.body.msgId}, but no listener took it`;
    $('lcds-msgid').value = nextMsgId();
  } else {
    result.dataset.state = 'error';
    result.textContent = failureText(answer);
  }
  refreshHost();
}

let packetRowCount = 0;

function addPacketRow(values) {
  packetRowCount += 1;
  const n = packetRowCount;
  const field = (name, label, value, attributes) => el('div', { className: 'field' },
    el('label', { for: `packet-${n}-${name}` }, label),
    el('input', { id: `packet-${n}-${name}`, 'data-name': name, autocomplete: 'off', value, ...attributes }));
  const remove = el('button', { type: 'button', className: 'icon-button', 'aria-label': `Remove packet message ${n}` }, '×');
  const row = el('li', { className: 'packet-row' },
    field('msgId', 'msgId', values.msgId),
    field('type', 'type', values.type),
    field('params', 'params', values.params, { placeholder: 'comma-separated' }),
    field('accountId', 'accountId', values.accountId, { type: 'number', min: '0', step: '1' }),
    remove);
  remove.addEventListener('click', () => {
    row.remove();
    $('packet-add').focus();
  });
  $('packet-rows').append(row);
  return row;
}

async function sendPacket(event) {
  event.preventDefault();
  const simpleMessages = [...$('packet-rows').children].map((row) => {
    const value = (name) => row.querySelector(`[data-name="${name}"]`).value;
    return { accountId: accountOf(value('accountId')), msgId: value('msgId'), type: value('type'), params: splitParams(value('params')) };
  });
  const answer = await request('PUT', PACKET_URL, { simpleMessages });
  const result = $('packet-result');
  result.dataset.state = answer.ok ? 'ok' : 'error';
  result.textContent = answer.ok ? `Sent ${plural(simpleMessages.length, 'message', 'messages')}` : failureText(answer);
  refreshHost();
}

async function setInvokeFails() {
  const box = $('invoke-fails');
  const answer = await request('PUT', '/host/lcds-invoke-fails', box.checked ? 'true' : 'false', 'application/json');
  const result = $('invoke-result');
  if (answer.ok) {
    box.checked = answer.json === true;
    result.dataset.state = box.checked ? 'warn' : 'ok';
    result.textContent = box.checked ? 'Invocations are refused with status 500' : 'Invocations succeed';
  } else {
    result.dataset.state = 'error';
    result.textContent = failureText(answer);
  }
}

function invocationRecord(invocation) {
  const args = Array.isArray(invocation.arguments) ? invocation.arguments : [];
  const first = args[0] && typeof args[0] === 'object' ? args[0] : {};
  const failed = invocation.failed === true;
  return el('li', { className: `record ${failed ? 'is-failed' : ''}` },
    el('span', { className: `badge ${failed ? 'badge-error' : 'badge-ok'}` }, failed ? 'failed' : 'sent'),
    el('span', { className: 'record-text' },
      el('strong', {}, String(first.msgId ?? '')),
      ` ${String(first.command ?? '')} · account ${String(first.accountId ?? '')}`,
      el('span', { className: 'muted' }, ` → ${String(invocation.destination ?? '')}.${String(invocation.method ?? '')}`)));
}

// ---- Log and events ----------------------------------------------------------------------------

let logRecords = [];
let invocations = [];
const drawn = { log: '', events: -1, acks: '' };

function matches(text, filter) { return !filter || text.toLowerCase().includes(filter); }

function drawList(listNode, countNode, records, toText, toNode) {
  const filter = $('filter').value.trim().toLowerCase();
  const shown = [];
  for (let i = records.length - 1; i >= 0 && shown.length < MAX_DRAWN; i -= 1) {
    if (matches(toText(records[i]), filter)) shown.push(toNode(records[i]));
  }
  listNode.replaceChildren(...shown);
  countNode.textContent = filter ? `${shown.length} of ${records.length}` : String(records.length);
}

function logText(record) { return `${record.levelName} ${record.message}`; }

function logNode(record) {
  const level = String(record.levelName || record.level);
  return el('li', { className: `record level-${level.toLowerCase()}` },
    el('span', { className: 'badge' }, level),
    el('span', { className: 'record-text' }, String(record.message ?? '')));
}

function eventNode(record) {
  return el('li', { className: 'record' },
    el('time', { className: 'muted', datetime: record.time.toISOString() },
      record.live ? record.time.toLocaleTimeString() : 'earlier'),
    el('code', { className: 'record-text' }, record.text));
}

function drawRecords() {
  drawList($('log-list'), $('log-count'), logRecords, logText, logNode);
  drawList($('event-list'), $('event-count'), eventRecords, (record) => record.text, eventNode);
}

// ---- Host state, polled and after every change -------------------------------------------------

let refreshTimer = null;

function refreshHostSoon() {
  if (refreshTimer === null) refreshTimer = setTimeout(() => { refreshTimer = null; refreshHost(); }, 50);
}

async function refreshHost() {
  const [state, log, acks, fails] = await Promise.all([
    request('GET', '/host/state'), request('GET', '/host/log'),
    request('GET', '/host/lcds-invocations'), request('GET', '/host/lcds-invoke-fails')]);
  if (state.ok && state.json) renderState(state.json);
  else show($('gameflow-error'), `Could not read the host's state: ${failureText(state)}`);
  if (log.ok && Array.isArray(log.json)) {
    if (log.text !== drawn.log) {
      drawn.log = log.text;
      logRecords = log.json;
      drawRecords();
    }
  }
  if (acks.ok && Array.isArray(acks.json) && acks.text !== drawn.acks) {
    drawn.acks = acks.text;
    invocations = acks.json;
    const shown = invocations.slice(-MAX_DRAWN).reverse().map(invocationRecord);
    $('ack-list').replaceChildren(...shown);
    $('ack-count').textContent = String(invocations.length);
    $('acks-empty').hidden = invocations.length > 0;
  }
  const box = $('invoke-fails');
  if (fails.ok && typeof fails.json === 'boolean' && document.activeElement !== box) box.checked = fails.json;
}

// ---- API ---------------------------------------------------------------------------------------

const METHOD_WORDS = ['Delete', 'Get', 'Head', 'Options', 'Patch', 'Post', 'Put'];

function camel(text) {
  return text.split(/[^A-Za-z0-9]+/).filter(Boolean).map((part) => part[0].toUpperCase() + part.slice(1)).join('');
}

// The function records carry names, not URLs; the name spells the path, so it is spelled back.
// Only a starting point: the form's URL can be edited.
function guessRoute(fn, shortName) {
  const word = METHOD_WORDS.find((w) => fn.name.startsWith(w)) || 'Get';
  let rest = fn.name.slice(word.length);
  let path = '';
  const root = camel(shortName || '');
  if (root && rest.startsWith(root)) {
    path = `/${shortName}`;
    rest = rest.slice(root.length);
  }
  const args = (fn.arguments || []).map((a) => a.name);
  const tail = rest.split('By');
  for (const segment of tail[0].match(/[A-Z][a-z0-9]*|[0-9]+/g) || []) path += `/${segment.toLowerCase()}`;
  for (const name of tail.slice(1)) {
    const arg = args.find((a) => camel(a) === name);
    path += `/{${arg || name}}`;
  }
  return { method: word.toUpperCase(), url: path || '/' };
}

function typeText(type) {
  if (!type || !type.type) return 'nothing';
  return type.elementType ? `${type.type}<${type.elementType}>` : type.type;
}

function exampleBody(fn, types) {
  const arg = (fn.arguments || [])[0];
  const type = arg && arg.type && types.get(arg.type.type);
  if (!type || !type.fields.length) return '';
  const sample = {};
  for (const field of type.fields) {
    const t = field.type.type;
    sample[field.name] = t === 'vector' ? ['aurel', '7'] : t === 'string' ? 'notice' : /int/.test(t) ? 1 : null;
  }
  return JSON.stringify(sample);
}

let formCount = 0;

function functionCard(fn, shortName, types) {
  formCount += 1;
  const n = formCount;
  const route = guessRoute(fn, shortName);
  const bodyMethods = ['POST', 'PUT', 'PATCH'];
  const id = (name) => `try-${n}-${name}`;
  const method = el('select', { id: id('method') },
    ...['GET', 'POST', 'PUT', 'PATCH', 'DELETE'].map((m) => el('option', { value: m, selected: m === route.method }, m)));
  const url = el('input', { id: id('url'), value: route.url.replace(/\{[^}]*\}/g, '0'), autocomplete: 'off', spellcheck: 'false' });
  const contentType = el('input', { id: id('type'), value: 'application/json', autocomplete: 'off', spellcheck: 'false' });
  const body = el('textarea', { id: id('body'), rows: '3', spellcheck: 'false' });
  body.value = bodyMethods.includes(route.method) ? exampleBody(fn, types) : '';
  const status = el('p', { className: 'try-status', role: 'status' });
  const output = el('pre', { className: 'try-output', hidden: true, tabindex: '0', 'aria-label': 'Response body' });
  const send = el('button', { type: 'submit', 'aria-label': `Send request to ${fn.name}` }, 'Send');
  const form = el('form', { className: 'try', 'aria-label': `Try ${fn.name}` },
    el('div', { className: 'try-grid' },
      el('div', { className: 'field' }, el('label', { for: id('method') }, 'Method'), method),
      el('div', { className: 'field grow' }, el('label', { for: id('url') }, 'URL'), url),
      el('div', { className: 'field' }, el('label', { for: id('type') }, 'Content type'), contentType)),
    el('div', { className: 'field' }, el('label', { for: id('body') }, 'Body'), body),
    el('div', { className: 'actions' }, send, status),
    output);
  form.addEventListener('submit', async (event) => {
    event.preventDefault();
    send.disabled = true;
    const hasBody = body.value.length > 0 && method.value !== 'GET';
    const answer = await request(method.value, url.value, hasBody ? body.value : undefined, contentType.value);
    send.disabled = false;
    status.dataset.state = answer.ok ? 'ok' : 'error';
    status.textContent = answer.status === 0 ? failureText(answer)
      : `${answer.status} ${answer.statusText}${!answer.ok && answer.json && answer.json.message ? ` — ${answer.json.message}` : ''}`;
    output.textContent = answer.json !== undefined ? JSON.stringify(answer.json, null, 2) : answer.text || '(no body)';
    output.hidden = false;
    refreshHostSoon();
  });
  const args = (fn.arguments || []).map((a) => `${a.name}: ${typeText(a.type)}`).join(', ');
  return el('details', { className: 'function' },
    el('summary', {},
      el('span', { className: `method method-${route.method.toLowerCase()}` }, route.method),
      el('code', { className: 'route' }, route.url),
      el('span', { className: 'muted fn-name' }, fn.name)),
    el('p', { className: 'signature' }, `(${args}) → ${typeText(fn.returns)}`),
    fn.description ? el('p', {}, fn.description) : null,
    form);
}

function definitionItem(name, detail, description) {
  return el('li', {}, el('code', {}, name), detail ? el('span', { className: 'muted' }, ` ${detail}`) : null,
    description ? el('p', { className: 'def-text' }, description) : null);
}

async function loadApi() {
  const answer = await request('GET', '/host/api');
  if (!answer.ok || !answer.json) {
    show($('api-error'), `Could not read the API: ${failureText(answer)}`);
    return;
  }
  const api = answer.json;
  const own = (item) => !(item.tags || []).some((tag) => tag.startsWith('$'));
  const pluginTag = (api.functions || []).flatMap((fn) => fn.tags || []).find((tag) => tag.startsWith('Plugin '));
  const shortName = pluginTag ? pluginTag.slice('Plugin '.length) : '';
  const types = new Map((api.types || []).map((t) => [t.name, t]));
  $('api-functions').replaceChildren(...(api.functions || []).map((fn) => functionCard(fn, shortName, types)));
  $('api-types').replaceChildren(...(api.types || []).filter(own).map((t) => definitionItem(t.name,
    t.values && t.values.length
      ? `enum { ${t.values.slice().sort((a, b) => a.value - b.value).map((v) => v.name).join(', ')} }`
      : `{ ${(t.fields || []).map((f) => `${f.name}: ${typeText(f.type)}`).join(', ')} }`,
    t.description)));
  $('api-events').replaceChildren(...(api.events || []).filter(own).map((e) => definitionItem(e.name,
    typeText(e.type), e.description)));
}

// ---- Start -------------------------------------------------------------------------------------

async function loadEventHistory() {
  const answer = await request('GET', '/host/events');
  if (!answer.ok || !Array.isArray(answer.json)) return;
  const earlier = answer.json.slice(-MAX_DRAWN).map((event) => ({ time: new Date(), text: JSON.stringify(event), live: false }));
  eventRecords.unshift(...earlier);
  drawRecords();
}

function start() {
  fillPhases();
  $('lcds-typename').value = DIALOG_CLASS;
  $('lcds-type').value = SHOWN_TYPE;
  $('lcds-msgid').value = nextMsgId();
  addPacketRow({ msgId: 'packet-1', type: SHOWN_TYPE, params: 'aurel, 7', accountId: '1' });
  addPacketRow({ msgId: 'packet-2', type: SHOWN_TYPE, params: 'brisa, 5', accountId: '1' });

  $('phase').addEventListener('change', (event) => setPhase(event.target.value));
  $('delete-session').addEventListener('click', deleteSession);
  $('lcds-form').addEventListener('submit', sendLcds);
  $('packet-form').addEventListener('submit', sendPacket);
  $('packet-add').addEventListener('click', () => {
    const row = addPacketRow({ msgId: `packet-${packetRowCount + 1}`, type: SHOWN_TYPE, params: '', accountId: '1' });
    row.querySelector('input').focus();
  });
  $('invoke-fails').addEventListener('change', setInvokeFails);
  $('filter').addEventListener('input', drawRecords);

  // History first, so that no event is drawn twice.
  loadEventHistory().then(connectStream);
  loadMessages();
  refreshHost();
  loadApi();
  setInterval(() => { if (!document.hidden) refreshHost(); }, POLL_MS);
}

start();
