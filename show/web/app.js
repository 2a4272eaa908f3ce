// The presenter's page: draws the panel from the control tree the host sends, sends the
// presenter's actions back as panel actions, answers the panel's dialogs, runs the round (its
// clock, its answers as they come, the viewers left out) and shows the output frame and the
// players.
'use strict';

// ---- The page's own strings, in the panel's language

const STRINGS = {
  en: {
    panel: 'Panel', preview: 'What viewers see', ok: 'OK', cancel: 'Cancel',
    chooseBank: 'Choose a question bank', folderBanks: 'Banks in the bank folder',
    noFolder: 'No bank folder was given (--banks).', uploadBank: 'Upload a bank file',
    upload: 'Upload', connected: 'Connected', reconnecting: 'Connection lost; reconnecting…',
    refused: 'Not done: ', tooLarge: 'The file is too large.', noFile: 'Choose a file first.',
    players: 'Players', scores: 'Score list', season: 'Season leaderboard', noToken: 'Open the address the host printed, with its token.',
    chat: 'Chat sources', outputs: 'Outputs',
    inputLost: 'No picture from {source}: the test card is on air', outputDown: '{output} is {state}',
    seasonTrouble: 'Season file refuses writes: {waiting} answers and gifts waiting, {lost} lost',
    round: 'Round', secondsUnit: 's', secondsLeft: 'Seconds left', add10: '+10 s', closeNow: 'Close now',
    reveal: 'Reveal', seconds: 'Seconds', startClock: 'Start clock', answers: 'Answers', right: 'Right',
    open: 'open', closed: 'closed', noClock: 'no clock', held: 'the answer is held back', revealed: 'revealed',
    question: 'Question {number} of {count}', answerIs: 'answer {answer}',
    feed: 'Answers as they come', name: 'Name', viewer: 'ID', answer: 'Answer', ignore: 'Ignore', ignoreSeason: 'For the season', forSeason: 'for the season',
    ignored: 'Ignored viewers', noneIgnored: 'Nobody is ignored.', unignore: 'Unignore', noAnswers: 'No answers yet.',
    uncounted: 'Not counted', details: 'Details',
  },
  'zh-Hans': {
    panel: '控制面板', preview: '观众看到的画面', ok: '确定', cancel: '取消',
    chooseBank: '选择题库', folderBanks: '题库文件夹中的题库', noFolder: '没有指定题库文件夹（--banks）。',
    uploadBank: '上传题库文件', upload: '上传', connected: '已连接', reconnecting: '连接中断，正在重新连接…',
    refused: '未执行：', tooLarge: '文件太大。', noFile: '请先选择文件。', players: '玩家', scores: '积分榜', season: '赛季排行榜',
    noToken: '请打开主程序显示的地址（含令牌）。',
    chat: '聊天来源', outputs: '输出',
    inputLost: '{source} 没有画面：正在播出测试卡', outputDown: '{output}：{state}',
    seasonTrouble: '赛季文件写入失败：{waiting} 条答对和礼物记录等待写入，{lost} 条已丢失',
    round: '本轮', secondsUnit: '秒', secondsLeft: '剩余秒数', add10: '+10 秒', closeNow: '立即截止',
    reveal: '揭晓答案', seconds: '秒数', startClock: '开始计时', answers: '作答', right: '答对',
    open: '作答中', closed: '已截止', noClock: '不限时', held: '答案暂不公布', revealed: '已揭晓',
    question: '第 {number} 题，共 {count} 题', answerIs: '答案 {answer}',
    feed: '实时作答', name: '昵称', viewer: 'ID', answer: '回答', ignore: '忽略', ignoreSeason: '整个赛季', forSeason: '整个赛季',
    ignored: '已忽略的观众', noneIgnored: '没有被忽略的观众。', unignore: '取消忽略', noAnswers: '还没有人作答。',
    uncounted: '不计分', details: '详细信息',
  },
  'zh-Hant': {
    panel: '控制面板', preview: '觀眾看到的畫面', ok: '確定', cancel: '取消',
    chooseBank: '選擇題庫', folderBanks: '題庫資料夾中的題庫', noFolder: '沒有指定題庫資料夾（--banks）。',
    uploadBank: '上傳題庫檔案', upload: '上傳', connected: '已連線', reconnecting: '連線中斷，正在重新連線…',
    refused: '未執行：', tooLarge: '檔案太大。', noFile: '請先選擇檔案。', players: '玩家', scores: '積分榜', season: '賽季排行榜',
    noToken: '請開啟主程式顯示的位址（含權杖）。',
    chat: '聊天來源', outputs: '輸出',
    inputLost: '{source} 沒有畫面：正在播出測試卡', outputDown: '{output}：{state}',
    seasonTrouble: '賽季檔案寫入失敗：{waiting} 筆答對和禮物紀錄等待寫入，{lost} 筆已遺失',
    round: '本輪', secondsUnit: '秒', secondsLeft: '剩餘秒數', add10: '+10 秒', closeNow: '立即截止',
    reveal: '揭曉答案', seconds: '秒數', startClock: '開始計時', answers: '作答', right: '答對',
    open: '作答中', closed: '已截止', noClock: '不限時', held: '答案暫不公布', revealed: '已揭曉',
    question: '第 {number} 題，共 {count} 題', answerIs: '答案 {answer}',
    feed: '即時作答', name: '暱稱', viewer: 'ID', answer: '回答', ignore: '忽略', ignoreSeason: '整個賽季', forSeason: '整個賽季',
    ignored: '已忽略的觀眾', noneIgnored: '沒有被忽略的觀眾。', unignore: '取消忽略', noAnswers: '還沒有人作答。',
    uncounted: '不計分', details: '詳細資訊',
  },
};

// The same rule the plug-in uses: Chinese is primary language 4; only 2052 is Simplified.
function languageOf(lcid) {
  if ((lcid & 0xff) !== 4) return 'en';
  return lcid === 2052 ? 'zh-Hans' : 'zh-Hant';
}

let strings = STRINGS.en;
function t(id) { return strings[id] || STRINGS.en[id] || id; }

function applyLanguage(lcid) {
  const language = languageOf(lcid);
  strings = STRINGS[language];
  document.documentElement.lang = language === 'en' ? 'en' : language;
  for (const el of document.querySelectorAll('[data-string]')) el.textContent = t(el.dataset.string);
  for (const el of document.querySelectorAll('[data-string-alt]')) el.alt = t(el.dataset.stringAlt);
  for (const el of document.querySelectorAll('[data-string-label]'))
    el.setAttribute('aria-label', t(el.dataset.stringLabel));
}

// A string with its {placeholders} filled in.
function fill(id, values) {
  return t(id).replace(/\{(\w+)\}/g, (whole, key) => (key in values ? String(values[key]) : whole));
}

// ---- Talking to the host

// The token comes with the address the host printed.
const token = new URLSearchParams(location.search).get('token') || '';
const $ = (id) => document.getElementById(id);

function request(path, options = {}) {
  const headers = Object.assign({ Authorization: 'Bearer ' + token }, options.headers || {});
  return fetch(path, Object.assign({}, options, { headers, cache: 'no-store' }));
}

function postJson(path, body) {
  return request(path, { method: 'POST', headers: { 'Content-Type': 'application/json' },
                         body: JSON.stringify(body) });
}

function setStatus(text, problem) {
  const status = $('status');
  status.textContent = text;
  status.classList.toggle('problem', !!problem);
}

// Why the host refused: the "error" of a JSON answer, or the answer's text as it is.
async function refusalOf(response) {
  const text = (await response.text()).trim();
  try {
    const body = JSON.parse(text);
    if (body && typeof body.error === 'string') return body.error;
  } catch (error) { /* not JSON: the text says it */ }
  return text;
}

// Actions go one after another, in the order the presenter made them: the text typed into a
// field reaches the panel before the click that reads it, a pushed question before its clock.
let actions = Promise.resolve();
function send(path, body) {
  actions = actions.then(async () => {
    try {
      const response = await postJson(path, body);
      if (!response.ok) setStatus(t('refused') + await refusalOf(response), true);
    } catch (error) {
      setStatus(t('refused') + error, true);
    }
  });
  return actions;
}

const act = (action) => send('/api/panel', action);

// ---- The panel, drawn from its control tree

const elements = new Map(); // control id → element
let shape = '';             // the tree's ids and kinds: when it changes the panel is drawn anew

function shapeOf(node) {
  let out = node.id + ':' + node.kind + ';';
  for (const child of node.children || []) out += shapeOf(child);
  return out;
}

function makeElement(node) {
  switch (node.kind) {
    case 'window': {
      const el = document.createElement('div');
      el.className = 'window vertical';
      const caption = document.createElement('h3');
      caption.className = 'caption';
      el.append(caption);
      return el;
    }
    case 'vertical': case 'horizontal': case 'container': {
      const el = document.createElement('div');
      el.className = node.kind === 'container' ? 'vertical' : node.kind;
      return el;
    }
    case 'button': {
      const el = document.createElement('button');
      el.type = 'button';
      el.addEventListener('click', () => node.name && act({ click: node.name }));
      return el;
    }
    case 'option': {
      const el = document.createElement('label');
      el.className = 'option';
      const box = document.createElement('input');
      box.type = node.group ? 'radio' : 'checkbox';
      if (node.group) box.name = 'group-' + node.group;
      box.addEventListener('change', () =>
        node.name && act({ option: node.name, selected: box.checked }));
      el.append(box, document.createElement('span'));
      return el;
    }
    case 'edit': case 'richedit': {
      const el = document.createElement(node.kind === 'edit' ? 'input' : 'textarea');
      if (node.kind === 'edit') el.type = 'text';
      if (node.kind === 'richedit') el.rows = 4;
      const send = () => {
        if (el.dataset.dirty !== '1') return;
        el.dataset.dirty = '';
        if (node.name) act({ type: node.name, text: el.value });
      };
      el.addEventListener('input', () => { el.dataset.dirty = '1'; });
      el.addEventListener('change', send);
      // Enter in a one-line field sends it, as the toolkit's edit does.
      if (node.kind === 'edit')
        el.addEventListener('keydown', (e) => { if (e.key === 'Enter') send(); });
      return el;
    }
    case 'label': case 'text': {
      const el = document.createElement('span');
      el.className = node.kind;
      return el;
    }
    default:
      return document.createElement('div');
  }
}

function updateElement(el, node) {
  el.hidden = !node.visible;
  if (node.name) el.dataset.name = node.name;
  el.title = node.tooltip || '';
  el.style.color = node.color || '';
  if (node.width && node.kind !== 'window') el.style.flex = '0 1 ' + node.width + 'px';
  switch (node.kind) {
    case 'window': el.querySelector('.caption').textContent = node.caption || ''; break;
    case 'button': el.textContent = node.text; el.disabled = !node.enabled; break;
    case 'option': {
      const box = el.querySelector('input');
      box.checked = !!node.selected;
      box.disabled = !node.enabled;
      el.querySelector('span').textContent = node.text;
      break;
    }
    case 'edit': case 'richedit':
      // What the presenter is typing wins over the panel's text until it is sent.
      if (el.dataset.dirty !== '1') el.value = node.text;
      el.disabled = !node.enabled;
      el.readOnly = !!node.readonly;
      if (node.kind === 'edit' && node.name) el.setAttribute('aria-label', node.tooltip || node.name);
      if (node.kind === 'richedit' && node.name) el.setAttribute('aria-label', node.tooltip || node.name);
      break;
    case 'label': case 'text': el.textContent = node.text; break;
  }
}

function build(node, parent) {
  const el = makeElement(node);
  elements.set(node.id, el);
  updateElement(el, node);
  parent.append(el);
  for (const child of node.children || []) build(child, el);
}

function update(node) {
  const el = elements.get(node.id);
  if (el) updateElement(el, node);
  for (const child of node.children || []) update(child);
}

function drawPanel(snapshot) {
  const root = snapshot && snapshot.root;
  const holder = $('panel-root');
  if (!root) { holder.replaceChildren(); elements.clear(); shape = ''; return; }
  const now = shapeOf(root);
  if (now !== shape) {
    holder.replaceChildren();
    elements.clear();
    build(root, holder);
    shape = now;
  } else {
    update(root);
  }
  holder.dataset.version = snapshot.version;
}

// ---- The show's state: plain values as a list, lists of records as tables

function cellText(value) {
  if (value === null || value === undefined) return '';
  return typeof value === 'object' ? JSON.stringify(value) : String(value);
}

// A record inside the state reads as its fields, one line each ("question number", ...).
function flatten(state) {
  const out = [];
  for (const [key, value] of Object.entries(state || {})) {
    if (value && typeof value === 'object' && !Array.isArray(value))
      for (const [inner, v] of Object.entries(value)) out.push([key + ' ' + inner, v]);
    else out.push([key, value]);
  }
  return out;
}

// A header row of `columns`, then a row of those fields of each record.
function fillTable(table, columns, rows) {
  const head = table.createTHead().insertRow();
  for (const column of columns) {
    const th = document.createElement('th');
    th.scope = 'col';
    th.textContent = column;
    head.append(th);
  }
  const body = table.createTBody();
  for (const row of rows) {
    const tr = body.insertRow();
    for (const column of columns) tr.insertCell().textContent = cellText(row[column]);
  }
}

// The season file refusing writes (a full disk) is said at the top of the page as it happens.
function drawSeasonTrouble(file) {
  const alert = $('season-trouble');
  const troubled = !!file && (file.waiting > 0 || file.lost > 0);
  alert.hidden = !troubled;
  if (!troubled) return;
  alert.textContent = t('seasonTrouble').replace('{waiting}', file.waiting).replace('{lost}', file.lost) +
                      (file.error ? ' (' + file.error + ')' : '');
}

// A lost input and every output that is down are said at the top of the page as they happen.
function drawBroadcastTrouble(input, outputs) {
  const lines = [];
  if (input && input.state === 'lost') lines.push(t('inputLost').replace('{source}', input.source));
  for (const output of outputs || [])
    if (output.state === 'retrying' || output.state === 'failed')
      lines.push(t('outputDown').replace('{output}', output.output).replace('{state}', output.state) +
                 (output.why ? ' (' + output.why + ')' : ''));
  const alert = $('broadcast-trouble');
  alert.hidden = lines.length === 0;
  alert.textContent = lines.join(' · ');
}

function drawState(state) {
  drawSeasonTrouble(state.seasonFile);
  drawBroadcastTrouble(state.input, state.outputs);
  drawRound(state);
  drawLive(state);
  drawStandings(state);
  drawDetails(state);
}

// Everything the state holds, folded away under "Details".
function drawDetails(state) {
  const holder = $('state');
  holder.replaceChildren();
  const list = document.createElement('dl');
  for (const [key, value] of flatten(state)) {
    if (Array.isArray(value) && value.every((v) => v && typeof v === 'object' && !Array.isArray(v))) {
      const table = document.createElement('table');
      table.dataset.key = key;
      const caption = table.createCaption();
      caption.textContent = strings[key] || key;
      fillTable(table, [...new Set(value.flatMap((row) => Object.keys(row)))], value);
      holder.append(table);
    } else {
      const dt = document.createElement('dt');
      dt.textContent = key;
      const dd = document.createElement('dd');
      dd.dataset.key = key;
      dd.textContent = cellText(value);
      list.append(dt, dd);
    }
  }
  holder.prepend(list);
}

// ---- The round: its question, its clock and its counts

const CLOCK_TICK_MS = 100;

let clock = null; // the clock as the last state told it: {left, seconds, open, at (when it came)}
let ticker = 0;   // the timer counting the clock down between states

// Seconds left as the page reckons them: the last state's, less the time since it came while
// answers are taken, never below 0. The next state's seconds replace the reckoning.
function clockLeft() {
  if (!clock) return null;
  if (!clock.open) return clock.left;
  return Math.max(0, clock.left - (performance.now() - clock.at) / 1000);
}

function drawClock() {
  const left = clockLeft();
  $('clock-left').textContent = left === null ? '–' : left.toFixed(1);
  const bar = $('clock-bar');
  const seconds = clock ? clock.seconds : 0;
  const share = left === null || !seconds ? 0 : Math.min(1, left / seconds);
  $('clock-fill').style.width = (share * 100).toFixed(2) + '%';
  bar.setAttribute('aria-valuemax', String(seconds || 0));
  bar.setAttribute('aria-valuenow', left === null ? '0' : left.toFixed(1));
  if (left === 0 && ticker) stopTicking();
}

function stopTicking() {
  clearInterval(ticker);
  ticker = 0;
}

// Keeps the clock of `round`; counts it down on the page while answers are taken.
function setClock(round) {
  const timed = !!round && round.clock && typeof round.left === 'number';
  clock = timed ? { left: Math.max(0, round.left), seconds: round.seconds, open: round.open,
                    at: performance.now() } : null;
  const counting = timed && round.open && clock.left > 0;
  if (counting && !ticker) ticker = setInterval(drawClock, CLOCK_TICK_MS);
  if (!counting && ticker) stopTicking();
  $('clock').classList.toggle('none', !timed);
  drawClock();
}

// Open or closed, and whether the answer waits for the presenter.
function roundStateText(round) {
  const said = [round.open ? t(round.clock ? 'open' : 'noClock') : t('closed')];
  if (round.revealed) said.push(t('revealed'));
  else if (round.held) said.push(t('held'));
  return said.join(' · ');
}

function drawQuestion(question) {
  const line = $('round-question');
  const asked = !!question && !!question.text;
  line.hidden = !asked;
  if (!asked) return;
  const parts = [];
  if (question.number) parts.push(fill('question', question));
  parts.push(question.text);
  if (question.answer) parts.push(fill('answerIs', question));
  line.textContent = parts.join(' · ');
}

// What each list was last drawn from: a list is drawn anew only when it changed, so that its
// buttons stay put under the presenter's finger while states come a few times a second.
const drawnFrom = new WeakMap();
function changed(el, ...values) {
  const now = JSON.stringify(values);
  if (drawnFrom.get(el) === now) return false;
  drawnFrom.set(el, now);
  return true;
}

// A bar per choice letter, its length the letter's share of the answers; the right one marked.
function drawChoices(choices, question) {
  const holder = $('choices');
  const letters = Object.keys(choices).sort();
  holder.hidden = letters.length === 0;
  const right = question && typeof question.answer === 'string' ? question.answer.trim().toUpperCase() : '';
  if (!changed(holder, choices, right)) return;
  const total = letters.reduce((sum, letter) => sum + choices[letter], 0);
  holder.replaceChildren(...letters.map((letter) => {
    const row = document.createElement('div');
    row.className = 'choice' + (letter === right ? ' right' : '');
    row.dataset.choice = letter;
    const name = document.createElement('span');
    name.className = 'letter';
    name.textContent = letter;
    const bar = document.createElement('div');
    bar.className = 'bar';
    const share = document.createElement('div');
    share.style.width = (total ? 100 * choices[letter] / total : 0).toFixed(2) + '%';
    bar.append(share);
    const count = document.createElement('span');
    count.className = 'count';
    count.textContent = String(choices[letter]);
    row.append(name, bar, count);
    return row;
  }));
}

function drawRound(state) {
  const round = state.round;
  $('round').hidden = !round;
  setClock(round);
  if (!round) return;
  drawQuestion(state.question);
  $('round').classList.toggle('closed', !round.open);
  $('clock-state').textContent = roundStateText(round);
  $('round-add').disabled = !(round.clock && round.open);
  $('round-close').disabled = !round.open;
  $('round-reveal').disabled = !(round.held && !round.revealed);
  $('round-answers').textContent = String(round.answers ?? 0);
  $('round-right').textContent = String(round.right ?? 0);
  drawChoices(round.choices || {}, state.question);
}

function wireRound() {
  $('round-add').addEventListener('click', () => send('/api/round', { add: 10 }));
  $('round-close').addEventListener('click', () => send('/api/round', { close: true }));
  $('round-reveal').addEventListener('click', () => send('/api/round', { reveal: true }));
  $('round-start-form').addEventListener('submit', (e) => {
    e.preventDefault();
    send('/api/round', { seconds: Number($('round-seconds').value) });
  });
}

// ---- The answers as they come, and the viewers whose messages the game no longer takes

function cell(row, text, className) {
  const td = row.insertCell();
  td.textContent = text;
  if (className) td.className = className;
  return td;
}

function button(text, data) {
  const el = document.createElement('button');
  el.type = 'button';
  el.textContent = text;
  Object.assign(el.dataset, data);
  return el;
}

// `season`: the show keeps a season, so a viewer may be ignored for all of it.
function drawFeed(feed, ignored, season) {
  const body = $('feed').tBodies[0];
  $('feed').hidden = feed.length === 0;
  $('feed-none').hidden = feed.length > 0;
  if (!changed(body, feed, ignored, season, document.documentElement.lang)) return;
  const left = new Set(ignored.map((viewer) => viewer.id));
  body.replaceChildren();
  for (const entry of feed) {
    const row = body.insertRow();
    row.classList.toggle('right', !!entry.right);
    row.classList.toggle('uncounted', !entry.counted);
    row.classList.toggle('ignored', left.has(entry.id));
    if (!entry.counted) row.title = t('uncounted');
    cell(row, entry.name, 'name');
    cell(row, String(entry.id), 'viewer');
    cell(row, entry.text, 'answer');
    cell(row, entry.right ? '✓' : '', 'mark');
    const action = cell(row, '', 'action');
    if (left.has(entry.id)) continue;
    action.append(button(t('ignore'), { ignore: entry.id }));
    if (season) action.append(button(t('ignoreSeason'), { ignore: entry.id, season: 'yes' }));
  }
}

function drawIgnored(ignored) {
  const list = $('ignored');
  $('ignored-none').hidden = ignored.length > 0;
  if (!changed(list, ignored, document.documentElement.lang)) return;
  list.replaceChildren(...ignored.map((viewer) => {
    const item = document.createElement('li');
    const who = document.createElement('span');
    who.textContent = viewer.name + ' (' + viewer.id + ')' + (viewer.season ? ' · ' + t('forSeason') : '');
    item.append(who, button(t('unignore'), { unignore: viewer.id }));
    return item;
  }));
}

function drawLive(state) {
  const shown = Array.isArray(state.feed);
  $('live').hidden = !shown;
  if (!shown) return;
  const ignored = Array.isArray(state.ignored) ? state.ignored : [];
  drawFeed(state.feed, ignored, !!state.seasonFile);
  drawIgnored(ignored);
}

// One listener per list: its buttons are drawn anew as the list changes.
function wireLive() {
  $('feed').addEventListener('click', (e) => {
    const target = e.target.closest('button[data-ignore]');
    if (target)
      send('/api/moderate', { ignore: Number(target.dataset.ignore), season: target.dataset.season === 'yes' });
  });
  $('ignored').addEventListener('click', (e) => {
    const target = e.target.closest('button[data-unignore]');
    if (target) send('/api/moderate', { unignore: Number(target.dataset.unignore) });
  });
}

// ---- The show's score list (free mode) or its players (challenge mode)

function drawStandings(state) {
  const key = state.mode === 'challenge' ? 'players' : 'scores';
  const rows = Array.isArray(state[key]) && state[key].length ? state[key] : null;
  $('standings-section').hidden = !rows;
  if (!rows) return;
  $('standings-heading').textContent = t(key);
  const table = $('standings');
  table.dataset.key = key;
  if (!changed(table, rows)) return;
  table.replaceChildren();
  fillTable(table, [...new Set(rows.flatMap((row) => Object.keys(row)))], rows);
}

// ---- Dialogs the panel waits on

let openDialog = null;

async function answer(body) {
  const response = await postJson('/api/page/dialog', body);
  return response;
}

function showBox(dialog) {
  $('box-caption').textContent = dialog.caption;
  $('box-text').textContent = dialog.text;
  const box = $('box');
  box.dataset.id = dialog.id;
  if (!box.open) box.showModal();
}

async function showChooser(dialog) {
  const chooser = $('chooser');
  chooser.dataset.id = dialog.id;
  $('chooser-error').textContent = '';
  $('chooser-file').value = '';
  const list = $('chooser-list');
  list.replaceChildren();
  if (!chooser.open) chooser.showModal();
  const response = await request('/api/page/banks');
  if (!response.ok) return;
  const banks = await response.json();
  chooser.dataset.maxUpload = banks.maxUpload;
  $('chooser-none').hidden = banks.folder;
  for (const name of banks.banks) {
    const item = document.createElement('li');
    const button = document.createElement('button');
    button.type = 'button';
    button.textContent = name;
    button.dataset.bank = name;
    button.addEventListener('click', () => answer({ id: dialog.id, bank: name }));
    item.append(button);
    list.append(item);
  }
}

async function upload() {
  const chooser = $('chooser');
  const file = $('chooser-file').files[0];
  if (!file) { $('chooser-error').textContent = t('noFile'); return; }
  if (file.size > Number(chooser.dataset.maxUpload || Infinity)) {
    $('chooser-error').textContent = t('tooLarge');
    return;
  }
  const response = await request('/api/page/upload?dialog=' + chooser.dataset.id,
                                 { method: 'POST', body: file,
                                   headers: { 'Content-Type': 'application/octet-stream' } });
  if (!response.ok) $('chooser-error').textContent = (await response.text()).trim();
}

function drawDialog(dialog) {
  openDialog = dialog;
  for (const id of ['box', 'chooser']) {
    const el = $(id);
    const mine = dialog && (dialog.kind === 'box' ? 'box' : 'chooser') === id;
    if (!mine && el.open) el.close();
  }
  if (!dialog) return;
  if (dialog.kind === 'box') showBox(dialog);
  else showChooser(dialog);
}

function wireDialogs() {
  // OK, Escape or the form's submit all answer the box with OK: it has no other button.
  $('box').addEventListener('close', () => {
    const id = Number($('box').dataset.id);
    if (openDialog && openDialog.id === id) answer({ id, ok: true });
  });
  $('chooser').addEventListener('close', () => {
    const id = Number($('chooser').dataset.id);
    if (openDialog && openDialog.id === id) answer({ id, ok: false });
  });
  $('chooser-upload').addEventListener('click', upload);
}

// ---- Preview: the output frame, polled

const PREVIEW_PAUSE_MS = 100;

async function pollPreview() {
  const img = $('preview');
  for (;;) {
    try {
      const response = await request('/api/page/preview.jpg');
      if (response.ok) {
        const url = URL.createObjectURL(await response.blob());
        const old = img.src;
        img.src = url;
        img.dataset.frames = String(Number(img.dataset.frames || 0) + 1);
        if (old.startsWith('blob:')) URL.revokeObjectURL(old);
      } else if (response.status === 403) {
        return;
      }
    } catch (error) { /* the host may be restarting; try again */ }
    await new Promise((resolve) => setTimeout(resolve, PREVIEW_PAUSE_MS));
  }
}

// ---- The season's leaderboard, which outlives the show

const SEASON_PAUSE_MS = 5000;

function drawSeason(rows) {
  const table = $('season');
  table.replaceChildren();
  fillTable(table, ['rank', 'name', 'points', 'answers', 'shows'], rows);
}

async function pollSeason() {
  for (;;) {
    try {
      const response = await request('/api/scores?top=10');
      if (response.ok) drawSeason((await response.json()).rows || []);
      else if (response.status === 403 || response.status === 404) { $('season-section').hidden = true; return; }
    } catch (error) { /* the host may be restarting; try again */ }
    await new Promise((resolve) => setTimeout(resolve, SEASON_PAUSE_MS));
  }
}

// ---- Start

function listen() {
  const events = new EventSource('/api/page/events?token=' + encodeURIComponent(token));
  events.addEventListener('open', () => setStatus(t('connected')));
  events.addEventListener('error', () => setStatus(t('reconnecting'), true));
  events.addEventListener('hello', (e) => { applyLanguage(JSON.parse(e.data).lcid); setStatus(t('connected')); });
  events.addEventListener('panel', (e) => drawPanel(JSON.parse(e.data)));
  events.addEventListener('state', (e) => drawState(JSON.parse(e.data)));
  events.addEventListener('dialog', (e) => drawDialog(JSON.parse(e.data)));
}

function start() {
  if (!token) { setStatus(t('noToken'), true); return; }
  wireDialogs();
  wireRound();
  wireLive();
  listen();
  pollPreview();
  pollSeason();
}

start();
