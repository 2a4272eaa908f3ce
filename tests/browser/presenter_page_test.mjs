// The presenter's page in a real browser (Debian's Chromium, headless): a live host on the test
// card, the page drawn from the panel, a bank chosen in the page, a message box dismissed in the
// page, a question pushed with the page's button, viewers' gifts and answers posted over the API,
// and the right answerer and question number checked in the page, the state, the preview and
// the frames of the show's output video (read back with ffmpeg and tesseract's OCR). Then a timed
// round in free mode run from the page: its clock, the answers as they come, a viewer ignored,
// an answer too late. Then the same page served by the frei0r filter inside ffmpeg: the panel,
// the preview and a bank chosen. Screenshots of the panels and the round go to docs/images/.
//
//   node presenter_page_test.mjs RUNTIME_DIR [SCREENSHOT_DIR]
//
// RUNTIME_DIR holds askgame-host and the plug-in (build/bin).
import { spawn, spawnSync } from 'node:child_process';
import { mkdtempSync, writeFileSync, rmSync, mkdirSync, readFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import assert from 'node:assert/strict';
import puppeteer from 'puppeteer-core';

const runtime = process.argv[2];
const screenshots = process.argv[3] || '';
const STEP_MS = 15000;   // the longest any one step may take
const TOTAL_MS = 180000; // the whole test

const wait = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
const overall = setTimeout(() => { console.error('browser test: out of time'); process.exit(1); }, TOTAL_MS);

const banks = mkdtempSync(join(tmpdir(), 'askgame-browser-'));
mkdirSync(join(banks, 'folder'));
writeFileSync(join(banks, 'folder', 'quiz.txt'),
  '[问题]\nWhich planet is known as the Red Planet?\nA. Venus   B. Mars\n[答案]\nB\n' +
  '[问题]\nHow many legs has a spider?\n[答案]\n8\n' +
  '[问题]\nWhat is 6 × 7?\n[答案]\n42\n');
writeFileSync(join(banks, 'outside.txt'), 'outside the bank folder');

// Starts a live show on the test card, its output and transcript in the scratch folder, and
// answers its page address once it printed it. `name` tells shows of one mode apart.
function startHost(mode, extra = [], name = mode) {
  const output = join(banks, name + '.mkv');
  const transcript = join(banks, name + '.transcript.txt');
  const child = spawn(join(runtime, 'askgame-host'),
                      ['live', '--mode', mode, '--lcid', '1033', '--size', '640x360', '--fps', '15',
                       '--listen', '127.0.0.1:0', '--banks', join(banks, 'folder'),
                       '--output', output, '--transcript', transcript,
                       '--db', join(banks, 'season.db'), '--season', 'browser-' + name, ...extra],
                      { stdio: ['ignore', 'pipe', 'ignore'] });
  const killer = setTimeout(() => child.kill('SIGKILL'), TOTAL_MS);
  child.on('exit', () => clearTimeout(killer));
  const url = new Promise((resolve, reject) => {
    let out = '';
    const timer = setTimeout(() => reject(new Error('the host printed no address')), STEP_MS);
    child.stdout.on('data', (data) => {
      out += data;
      const found = /endpoint: (\S+)/.exec(out);
      if (found) { clearTimeout(timer); resolve(found[1]); }
    });
    child.on('exit', (code) => reject(new Error('the host ended early: ' + code)));
  });
  return { child, url, output, transcript };
}

// Runs ffmpeg in real time on a test pattern through the frei0r filter with a live endpoint;
// answers the page address the filter printed.
function startFilter() {
  const child = spawn('ffmpeg', ['-hide_banner', '-loglevel', 'error', '-re', '-f', 'lavfi',
                                 '-i', 'testsrc2=size=640x360:rate=25', '-t', '100',
                                 '-vf', `frei0r=askgame:'|free|en|127.0.0.1\\:0|${join(banks, 'folder')}'`,
                                 '-f', 'null', '-'],
                      { stdio: ['ignore', 'ignore', 'pipe'],
                        env: { ...process.env, FREI0R_PATH: join(runtime, '..', 'lib', 'frei0r-1') } });
  const killer = setTimeout(() => child.kill('SIGKILL'), TOTAL_MS);
  child.on('exit', () => clearTimeout(killer));
  const url = new Promise((resolve, reject) => {
    let err = '';
    const timer = setTimeout(() => reject(new Error('the filter printed no address: ' + err)), STEP_MS);
    child.stderr.on('data', (data) => {
      err += data;
      const found = /are at (\S+)/.exec(err);
      if (found) { clearTimeout(timer); resolve(found[1]); }
    });
    child.on('exit', (code) => reject(new Error('ffmpeg ended early: ' + code + ' ' + err)));
  });
  return { child, url };
}

// Ends the show as Ctrl-C does; answers its exit status (null when it had to be killed).
async function stopHost(host) {
  if (host.child.exitCode !== null) return host.child.exitCode;
  const ended = new Promise((resolve) => host.child.on('exit', (code) => resolve(code)));
  host.child.kill('SIGINT');
  const code = await Promise.race([ended, wait(10000).then(() => 'late')]);
  if (code === 'late') { host.child.kill('SIGKILL'); return null; }
  return code;
}

// The frames of a video file, counted by ffmpeg's decoder.
function decodedFrames(file) {
  const run = spawnSync('ffprobe', ['-v', 'error', '-count_frames', '-select_streams', 'v:0',
                                    '-show_entries', 'stream=nb_read_frames,width,height',
                                    '-of', 'json', file], { timeout: STEP_MS });
  return JSON.parse(run.stdout.toString()).streams[0];
}

// Where the challenge game draws at 640×360: the question's first line across the top, and the
// three players' columns (in the order of their gifts) with their names and score bars.
const QUESTION_LINE = { x: 0, y: 0, w: 640, h: 40 };
const PLAYER_ROW = { x: 0, y: 314, w: 640, h: 40 };
const PLAYER_NAMES = { y: 314, h: 22 };
const SAMPLES_PER_SECOND = 2;

// Runs ffmpeg on `file` with the filter `filter`; answers what it wrote to standard output.
function ffmpeg(file, filter, format) {
  const run = spawnSync('ffmpeg', ['-v', 'error', '-i', file, '-vf', filter, ...format, '-'],
                        { timeout: STEP_MS, maxBuffer: 1 << 28 });
  assert.equal(run.status, 0, run.stderr.toString());
  return run.stdout;
}
const crop = (r) => `crop=${r.w}:${r.h}:${r.x}:${r.y}`;
// Text black on white, enlarged, as OCR reads best.
const forOcr = 'scale=iw*2:-1,format=gray,lut=y=if(gt(val\\,150)\\,0\\,255)';

// What OCR reads in `region` of the video's frames, a line per sampled frame, in time order.
function readFrames(file, region) {
  const picture = join(banks, 'ocr.png');
  const stacked = ffmpeg(file, `fps=${SAMPLES_PER_SECOND},${crop(region)},${forOcr},tile=1x120`,
                         ['-frames:v', '1', '-f', 'image2', '-c:v', 'png']);
  writeFileSync(picture, stacked);
  const run = spawnSync('tesseract', [picture, '-', '--psm', '6'], { timeout: STEP_MS });
  assert.equal(run.status, 0, run.stderr.toString());
  return run.stdout.toString().split('\n').filter((line) => line.trim());
}

// For each sampled frame, which player columns show points: the yellow of a score bar.
function columnsWithPoints(file) {
  const bytes = ffmpeg(file, `fps=${SAMPLES_PER_SECOND},${crop(PLAYER_ROW)}`,
                       ['-f', 'rawvideo', '-pix_fmt', 'rgb24']);
  const size = PLAYER_ROW.w * PLAYER_ROW.h * 3;
  const frames = [];
  for (let at = 0; at + size <= bytes.length; at += size) {
    const counts = [0, 0, 0];
    for (let i = at; i < at + size; i += 3) {
      const [r, g, b] = [bytes[i], bytes[i + 1], bytes[i + 2]];
      if (r > 180 && g > 150 && b < 110) counts[Math.floor(((i - at) / 3 % PLAYER_ROW.w) * 3 / PLAYER_ROW.w)]++;
    }
    frames.push(counts.map((count, column) => count >= 3 ? column : -1).filter((c) => c >= 0));
  }
  return frames;
}

function apiOf(url) {
  const address = new URL(url);
  const token = address.searchParams.get('token');
  const base = address.origin;
  return {
    base, token,
    post: (path, body) => fetch(base + path, {
      method: 'POST', body: JSON.stringify(body),
      headers: { Authorization: 'Bearer ' + token, 'Content-Type': 'application/json' } }),
    state: async () => (await fetch(base + '/api/state', { headers: { Authorization: 'Bearer ' + token } })).json(),
    scores: async (season) => (await fetch(base + '/api/scores?season=' + encodeURIComponent(season),
                                           { headers: { Authorization: 'Bearer ' + token } })).json(),
  };
}

const control = (name) => `[data-name="${name}"]`;
async function textOf(page, name) {
  return page.$eval(control(name), (el) => ('value' in el && el.tagName !== 'BUTTON') ? el.value : el.textContent);
}
async function waitForText(page, name, expected) {
  await page.waitForFunction((selector, want) => {
    const el = document.querySelector(selector);
    if (!el) return false;
    const text = ('value' in el && el.tagName !== 'BUTTON') ? el.value : el.textContent;
    return want instanceof RegExp ? want.test(text) : text.includes(want);
  }, { timeout: STEP_MS }, control(name), expected);
}

const browser = await puppeteer.launch({
  executablePath: '/usr/bin/chromium', headless: true,
  args: ['--no-sandbox', '--disable-gpu', '--no-first-run'], protocolTimeout: STEP_MS,
});
const hosts = [];
try {
  // ---- Challenge mode
  const challenge = startHost('challenge');
  hosts.push(challenge);
  const url = await challenge.url;
  const api = apiOf(url);

  // Without the token the page gives nothing: not the page, not its script, not its stream.
  for (const path of ['/', '/app.js', '/api/page/events', '/api/page/preview.jpg', '/api/state']) {
    const response = await fetch(api.base + path);
    assert.equal(response.status, 403, path);
    assert.ok(!(await response.text()).includes('<html'), path);
  }
  const page = await browser.newPage();
  page.setDefaultTimeout(STEP_MS);
  await page.setViewport({ width: 1100, height: 760 });
  page.on('pageerror', (e) => { console.error('page error:', e.message); process.exitCode = 1; });
  const refused = await page.goto(api.base + '/');
  assert.equal(refused.status(), 403);
  assert.equal(await page.$(control('BtnQuestions')), null);

  await page.goto(url);
  await page.waitForSelector(control('ButtonShowChallengQue'));

  // The preview follows the output at 5 frames a second or more.
  await page.waitForFunction(() => Number(document.getElementById('preview').dataset.frames || 0) >= 1);
  const before = await page.$eval('#preview', (img) => Number(img.dataset.frames));
  await wait(2000);
  const after = await page.$eval('#preview', (img) => Number(img.dataset.frames));
  assert.ok(after - before >= 10, `preview at ${(after - before) / 2} frames a second`);
  assert.equal(await page.$eval('#preview', (img) => img.naturalWidth), 640);

  // A bank chosen in the page: the file dialog opens the chooser, which lists the bank folder.
  await page.click(control('BtnQuestions'));
  await page.waitForSelector('#chooser[open] [data-bank="quiz.txt"]');
  assert.equal(await page.$$eval('#chooser-list [data-bank]', (b) => b.length), 1);
  await page.click('[data-bank="quiz.txt"]');
  await page.waitForSelector('#chooser:not([open])');
  await waitForText(page, 'LabMaxNum', '3');
  await waitForText(page, 'ChallengeQue', 'Red Planet');

  // No players yet: pushing shows the panel's message box in the page, and the host waits for OK.
  await page.click(control('ButtonShowChallengQue'));
  await page.waitForSelector('#box[open]');
  assert.equal(await page.$eval('#box-caption', (el) => el.textContent), 'Quiz Show');
  assert.match(await page.$eval('#box-text', (el) => el.textContent), /No players yet/);
  await page.keyboard.press('Enter'); // OK has the focus
  await page.waitForSelector('#box:not([open])');

  // Three viewers become players by gifts; the page's button pushes the question.
  for (const [id, name, value] of [[1001, '王小明', 30], [1002, 'Ann', 20], [1003, 'Bo', 10]])
    assert.equal((await api.post('/api/gift', { id, name, count: 1, value })).status, 200);
  await wait(500);
  await page.click(control('ButtonShowChallengQue'));
  await wait(300);
  assert.equal((await api.post('/api/chat', { id: 1003, name: 'Bo', text: 'A' })).status, 200);
  assert.equal((await api.post('/api/chat', { id: 1002, name: 'Ann', text: 'B' })).status, 200);

  await waitForText(page, 'RightAnswerer', 'Ann');
  assert.equal((await textOf(page, 'EditNum')).trim(), '1');
  const state = await api.state();
  assert.match(state.rightAnswerer, /Ann/);
  assert.equal(state.question.number, 1);
  await page.waitForFunction(() => /Ann/.test(document.getElementById('state').textContent));
  // The right answer is kept in the season file and shows in the page's leaderboard.
  let rows = [];
  for (let i = 0; i < 20 && !rows.some((row) => row.name === 'Ann'); ++i) {
    await wait(250);
    rows = (await api.scores('browser-challenge')).rows;
  }
  assert.deepEqual(rows.map((row) => [row.viewer, row.name, row.points]), [[1002, 'Ann', 1]]);
  await page.waitForFunction(() => /Ann/.test(document.getElementById('season').textContent),
                             { timeout: STEP_MS });

  // Typing and the keyboard reach the panel: number 3, then Go.
  await page.click(control('EditNum'), { clickCount: 3 });
  await page.keyboard.type('3');
  await page.keyboard.press('Enter');
  await page.click(control('BtnGo'));
  await waitForText(page, 'ChallengeQue', '6 × 7');
  await page.click(control('ButtonShowChallengQue')); // question 3 goes on air
  await wait(1500);

  if (screenshots) {
    mkdirSync(screenshots, { recursive: true });
    await page.click(control('BtnBackQue'));
    await waitForText(page, 'ChallengeQue', 'spider');
    await wait(400);
    await page.screenshot({ path: join(screenshots, 'presenter-challenge.png') });
  }
  await page.close();

  // The show's output: a playable video of the drawn frames, and the transcript of the game.
  assert.equal(await stopHost(challenge), 0);
  const video = decodedFrames(challenge.output);
  assert.equal(video.width, 640);
  assert.ok(Number(video.nb_read_frames) > 30, `${video.nb_read_frames} frames decoded`);
  // In the video: question 1 of the bank, then question 3 once the presenter typed 3 and Go.
  const questions = readFrames(challenge.output, QUESTION_LINE);
  const first = questions.findIndex((line) => /Red Planet/.test(line));
  const third = questions.findIndex((line) => /What is 6/.test(line));
  assert.ok(first >= 0 && third > first, 'the questions in the video:\n' + questions.join('\n'));
  // The right answerer's point: the only score bar with points is the middle column's, the
  // second biggest gift's, and its name reads Ann.
  const withPoints = columnsWithPoints(challenge.output).filter((columns) => columns.length);
  assert.ok(withPoints.length > 0, 'no score bar shows a point');
  assert.ok(withPoints.every((columns) => columns.length === 1 && columns[0] === 1),
            JSON.stringify(withPoints));
  const columnWidth = Math.floor(PLAYER_ROW.w / 3);
  const middle = { x: columnWidth, y: PLAYER_NAMES.y, w: columnWidth, h: PLAYER_NAMES.h };
  assert.ok(readFrames(challenge.output, middle).some((line) => /Ann/.test(line)),
            'the middle column is not Ann\'s');
  const log = readFileSync(challenge.transcript, 'utf8');
  assert.match(log, /Ann\(1002\) answered right; 1 so far/);
  assert.match(log, /No players yet/);

  // ---- Free mode, on a phone-sized screen
  const free = startHost('free');
  hosts.push(free);
  const freeUrl = await free.url;
  const phone = await browser.newPage();
  phone.setDefaultTimeout(STEP_MS);
  await phone.setViewport({ width: 390, height: 1400, deviceScaleFactor: 1 });
  await phone.goto(freeUrl);
  await phone.waitForSelector(control('ButtonShowQue'));
  await phone.click(control('OptShowQuestion'));
  await phone.click(control('ButtonShowQue'));
  const freeApi = apiOf(freeUrl);
  assert.equal((await freeApi.post('/api/chat', { id: 7, name: 'Kim', text: 'B' })).status, 200);
  await phone.waitForFunction(() => /Kim/.test(document.getElementById('state').textContent));
  // The season file refusing writes shows at the top of the page as it happens, and goes once
  // the file takes the waiting answer.
  const renameAnswers = (from, to) => assert.equal(spawnSync('python3', ['-c',
    `import sqlite3; sqlite3.connect(${JSON.stringify(join(banks, 'season.db'))}).execute("ALTER TABLE ${from} RENAME TO ${to}")`])
    .status, 0);
  renameAnswers('answers', 'answers_away');
  assert.equal((await freeApi.post('/api/chat', { id: 8, name: 'Lee', text: 'B' })).status, 200);
  await phone.waitForFunction(() => /1 answers and gifts waiting, 0 lost/.test(
    document.getElementById('season-trouble').textContent));
  if (screenshots)
    await phone.screenshot({ path: join(screenshots, 'presenter-season-trouble.png') });
  renameAnswers('answers_away', 'answers');
  await phone.waitForSelector('#season-trouble[hidden]');
  const overflow = await phone.evaluate(() => document.documentElement.scrollWidth - window.innerWidth);
  assert.ok(overflow <= 0, `the narrow page scrolls sideways by ${overflow}px`);
  if (screenshots) {
    await wait(400);
    await phone.screenshot({ path: join(screenshots, 'presenter-free-phone.png'), fullPage: true });
  }
  await phone.close();

  // ---- A timed round in free mode: four seconds a question, run from the page
  const timed = startHost('free', ['--answer-time', '4'], 'timed');
  hosts.push(timed);
  const timedUrl = await timed.url;
  const timedApi = apiOf(timedUrl);
  const round = await browser.newPage();
  round.setDefaultTimeout(STEP_MS);
  await round.setViewport({ width: 1100, height: 900 });
  round.on('pageerror', (e) => { console.error('page error:', e.message); process.exitCode = 1; });
  await round.goto(timedUrl);
  assert.equal((await timedApi.post('/api/panel', { bank: 'quiz.txt' })).status, 200);
  await waitForText(round, 'Question', 'Red Planet');
  await round.click(control('OptShowQuestion'));
  await round.click(control('ButtonShowQue'));
  await round.waitForSelector('#round:not([hidden]):not(.closed) #clock:not(.none)'); // on air, timed
  // Two right answers, one of them full-width, and a wrong one: the feed lists them newest first
  // with the right ones marked, and the counts and the choice bars follow.
  const chat = async (id, name, text) =>
    assert.equal((await timedApi.post('/api/chat', { id, name, text })).status, 200);
  await chat(21, 'Ann', 'b');
  await chat(22, 'Bo', 'Ｂ');
  await chat(23, 'Cy', 'A');
  await round.waitForFunction(() => document.querySelectorAll('#feed tbody tr').length === 3 &&
                                    document.querySelectorAll('#choices [data-choice]').length === 2);
  const feedRows = () => round.$$eval('#feed tbody tr', (rows) => rows.map((row) => ({
    name: row.querySelector('.name').textContent, id: row.querySelector('.viewer').textContent,
    answer: row.querySelector('.answer').textContent.normalize('NFKC').toUpperCase(),
    mark: row.querySelector('.mark').textContent,
    right: row.classList.contains('right'), counted: !row.classList.contains('uncounted') })));
  assert.deepEqual(await feedRows(), [
    { name: 'Cy', id: '23', answer: 'A', mark: '', right: false, counted: true },
    { name: 'Bo', id: '22', answer: 'B', mark: '✓', right: true, counted: true },
    { name: 'Ann', id: '21', answer: 'B', mark: '✓', right: true, counted: true },
  ]);
  const choiceCounts = await round.$$eval('#choices [data-choice]', (rows) =>
    rows.map((row) => row.dataset.choice + ':' + row.querySelector('.count').textContent).join(' '));
  assert.equal(choiceCounts, 'A:1 B:2');
  assert.deepEqual(await round.$eval('#round-counts', (el) =>
    [el.querySelector('#round-answers').textContent, el.querySelector('#round-right').textContent]), ['3', '2']);
  // The clock counts down from at most 4 seconds, its bar with it, and is still open.
  const clockNow = () => round.$eval('#clock', (el) => ({
    left: Number(el.querySelector('#clock-left').textContent),
    bar: parseFloat(el.querySelector('#clock-fill').style.width), closed: /closed/.test(el.textContent) }));
  const early = await clockNow();
  await wait(400);
  const later = await clockNow();
  assert.ok(early.left <= 4 && later.left < early.left && later.left > 0 && later.bar < early.bar &&
            !later.closed, `the clock read ${JSON.stringify(early)}, then ${JSON.stringify(later)}`);
  if (screenshots) await round.screenshot({ path: join(screenshots, 'presenter-round-open.png') });

  // The wrong answerer ignored from the feed: listed as ignored, and their next message no longer
  // reaches the game.
  // A show that keeps a season may also ignore for the season; this one is for the show only.
  assert.ok(await round.$('#feed button[data-ignore="23"][data-season="yes"]'));
  await round.click('#feed button[data-ignore="23"]:not([data-season])');
  await round.waitForFunction(() => /Cy \(23\)/.test(document.getElementById('ignored').textContent));
  assert.equal(await round.$('#feed button[data-ignore="23"]'), null);
  const ignoredNow = async () =>
    (await timedApi.state()).ignored.map((viewer) => [viewer.id, viewer.name, viewer.season]);
  assert.deepEqual(await ignoredNow(), [[23, 'Cy', false]]);

  // The clock runs out: 0 and closed on the page and in the state; an answer after it is listed
  // but not counted, and the ignored viewer's one is not listed.
  await round.waitForSelector('#round.closed');
  const closed = await clockNow();
  assert.ok(closed.left === 0 && closed.bar === 0 && closed.closed, JSON.stringify(closed));
  const afterClose = (await timedApi.state()).round;
  assert.ok(!afterClose.open && afterClose.left === 0, JSON.stringify(afterClose));
  await chat(23, 'Cy', 'B');
  await chat(24, 'Di', 'B');
  await round.waitForFunction(() => /Di/.test(document.querySelector('#feed tbody tr')?.textContent));
  const late = await feedRows();
  assert.deepEqual([late.length, late[0].name, late[0].counted], [4, 'Di', false]);
  assert.equal(await round.$eval('#round-right', (el) => el.textContent), '2');
  assert.ok(!(await timedApi.state()).scores.some((row) => row.name === 'Di'), 'the late answer scored');

  // The held answer revealed from the page when it is still held; then Cy let back in.
  if (!(await round.$eval('#round-reveal', (button) => button.disabled))) {
    await round.click('#round-reveal');
    await round.waitForSelector('#round-reveal:disabled');
    assert.equal((await timedApi.state()).round.revealed, true);
  }
  if (screenshots) await round.screenshot({ path: join(screenshots, 'presenter-round-closed.png') });
  await round.click('#ignored button[data-unignore="23"]');
  await round.waitForSelector('#ignored-none:not([hidden])');
  assert.deepEqual(await ignoredNow(), []);
  // On a phone the round, its feed and its buttons fit the width.
  await round.setViewport({ width: 390, height: 1400 });
  const roundOverflow = await round.evaluate(() => document.documentElement.scrollWidth - window.innerWidth);
  assert.ok(roundOverflow <= 0, `the narrow round scrolls sideways by ${roundOverflow}px`);
  await round.close();
  await stopHost(timed);

  // ---- The frei0r filter's page, inside ffmpeg: the tool's video thread never waits for it.
  const filter = startFilter();
  hosts.push(filter);
  const filterPage = await browser.newPage();
  filterPage.setDefaultTimeout(STEP_MS);
  await filterPage.setViewport({ width: 1100, height: 760 });
  await filterPage.goto(await filter.url);
  await filterPage.waitForSelector(control('BtnQuestions'));
  await filterPage.waitForFunction(() => Number(document.getElementById('preview').dataset.frames || 0) >= 1);
  await filterPage.click(control('BtnQuestions'));
  await filterPage.waitForSelector('#chooser[open] [data-bank="quiz.txt"]');
  await filterPage.click('[data-bank="quiz.txt"]');
  await filterPage.waitForSelector('#chooser:not([open])');
  await waitForText(filterPage, 'Question', 'Red Planet');
  await filterPage.click(control('OptShowQuestion'));
  await filterPage.click(control('ButtonShowQue'));
  const filterApi = apiOf(await filter.url);
  assert.equal((await filterApi.post('/api/chat', { id: 7, name: 'Kim', text: 'B' })).status, 200);
  await filterPage.waitForFunction(() => /Red Planet/.test(document.getElementById('state').textContent));
  assert.equal(filter.child.exitCode, null, 'ffmpeg stopped');
  console.log('browser test: passed');
} finally {
  await browser.close();
  for (const host of hosts) await stopHost(host); // ffmpeg too ends on Ctrl-C
  rmSync(banks, { recursive: true, force: true });
  clearTimeout(overall);
}
