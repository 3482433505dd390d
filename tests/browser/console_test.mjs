// The orb-host console in headless Chromium: `orb-host serve` with the demo scenario on a free
// loopback port, the page driven as a person would, and the plug-in's own answers as the measure.
//
//   ORB_HOST=build/default/devhost/orb-host node --test tests/browser/console_test.mjs
//
// ORB_CONSOLE_SCREENSHOT=<file.png> also writes a 1280x800 screenshot of the demo's first view;
// ORB_CONSOLE_SCENARIO=<file> serves another scenario with two messages instead of the demo.
// Without Chromium or playwright-core the test is skipped and says why.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { existsSync } from 'node:fs';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const root = resolve(here, '../..');
const orbHost = process.env.ORB_HOST || join(root, 'build/default/devhost/orb-host');
const chromium = process.env.ORB_CHROMIUM || '/usr/bin/chromium';
const scenario = process.env.ORB_CONSOLE_SCENARIO || join(root, 'devhost/scenarios/demo.yaml');
const MESSAGES = '/ark-simple-dialog-messages/v1/messages';
const WAIT_MS = 10000;

async function loadPlaywright() {
  try {
    return await import('playwright-core');
  } catch {
    return null;
  }
}

function skipReason(playwright) {
  if (!existsSync(chromium)) return `${chromium} not found`;
  if (!playwright) return 'playwright-core is not installed in tests/browser';
  if (!existsSync(orbHost)) return `${orbHost} not found`;
  return '';
}

// Starts `orb-host serve` and resolves with its URL once it says where it listens.
function startHost() {
  const child = spawn(orbHost, ['serve', '--listen', '127.0.0.1:0', '--scenario', scenario],
    { stdio: ['ignore', 'pipe', 'pipe'] });
  let output = '';
  const exited = new Promise((done) => child.on('exit', (code, signal) => done({ code, signal })));
  const url = new Promise((done, fail) => {
    const timer = setTimeout(() => fail(new Error(`orb-host did not start:\n${output}`)), WAIT_MS);
    const read = (chunk) => {
      output += chunk;
      const found = /listening on (http:\/\/127\.0\.0\.1:\d+)/.exec(output);
      if (found) {
        clearTimeout(timer);
        done(found[1]);
      }
    };
    child.stdout.on('data', read);
    child.stderr.on('data', read);
    exited.then(() => fail(new Error(`orb-host exited early:\n${output}`)));
  });
  return { child, url, exited, output: () => output };
}

async function host(base, method, path, body) {
  const init = { method };
  if (body !== undefined) {
    init.body = typeof body === 'string' ? body : JSON.stringify(body);
    init.headers = { 'Content-Type': 'application/json' };
  }
  const response = await fetch(base + path, init);
  const text = await response.text();
  return { status: response.status, json: text ? JSON.parse(text) : undefined };
}

// Waits for a condition in the page, naming it when it never holds.
async function until(page, what, predicate, arg) {
  try {
    await page.waitForFunction(predicate, arg, { timeout: WAIT_MS });
  } catch (error) {
    throw new Error(`timed out waiting until ${what}: ${error.message.split('\n')[0]}`);
  }
}

const cardCount = (page) => page.locator('#message-list > li.card').count();
const cardsAre = (n) => (count) => document.querySelectorAll('#message-list > li.card').length === count;

test('orb-host console in a browser', async (t) => {
  const playwright = await loadPlaywright();
  const reason = skipReason(playwright);
  if (reason) {
    console.log(`console browser test skipped: ${reason} (scripts/install-browser-deps.sh installs it)`);
    t.skip(reason);
    return;
  }

  const server = startHost();
  let browser;
  t.after(async () => {
    if (browser) await browser.close();
    if (server.child.exitCode === null) server.child.kill('SIGKILL');
  });
  const base = await server.url;

  // Playwright gives the browser a fresh profile in a temporary folder of its own.
  browser = await playwright.chromium.launch({
    executablePath: chromium,
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync'],
  });
  const page = await browser.newPage({ viewport: { width: 1280, height: 800 } });
  const problems = [];
  page.on('console', (message) => {
    if (message.type() === 'error') problems.push({ text: message.text(), url: message.location().url });
  });
  page.on('pageerror', (error) => problems.push({ text: `uncaught: ${error.message}`, url: '' }));
  page.on('dialog', (dialog) => {
    problems.push({ text: `dialog opened: ${dialog.message()}`, url: '' });
    dialog.dismiss();
  });

  const response = await page.goto(base + '/');
  assert.equal(response.status(), 200);
  assert.match(response.headers()['content-security-policy'], /script-src 'self'/);
  assert.equal(response.headers()['x-content-type-options'], 'nosniff');
  await until(page, 'the event stream is live',
    () => document.getElementById('stream-status').dataset.state === 'live');
  // A reload would wipe this; everything below must happen on the one page.
  await page.evaluate(() => { window.orbSamePage = true; });

  await t.test('the demo messages are shown in list order', async () => {
    const expected = (await host(base, 'GET', MESSAGES)).json;
    assert.equal(expected.length, 2);
    await until(page, 'both demo cards are drawn', cardsAre(2), 2);
    const drawn = await page.locator('#message-list > li.card').evaluateAll((cards) => cards.map((card) => ({
      id: Number(card.dataset.id),
      type: card.querySelector('.card-type').textContent,
      body: [...card.querySelectorAll('.card-body li')].map((li) => li.textContent),
    })));
    assert.deepEqual(drawn, expected);
    if (process.env.ORB_CONSOLE_SCREENSHOT) {
      await until(page, 'the API is listed', () => document.querySelectorAll('#api-functions details').length > 0);
      await page.screenshot({ path: process.env.ORB_CONSOLE_SCREENSHOT });
    }
  });

  await t.test('every control has a name a screen reader can say', async () => {
    const unnamed = await page.evaluate(() => [...document.querySelectorAll('button, input, select, textarea')]
      .filter((control) => !(control.getAttribute('aria-label') || (control.labels && control.labels.length) ||
        (control.tagName === 'BUTTON' && control.textContent.trim())))
      .map((control) => control.outerHTML));
    assert.deepEqual(unnamed, []);
  });

  await t.test('Dismiss removes the card and the acknowledgement appears under Platform', async () => {
    const [first] = (await host(base, 'GET', MESSAGES)).json;
    await page.getByRole('button', { name: `Dismiss message ${first.id}, ${first.type}` }).click();
    await until(page, 'the dismissed card is gone', cardsAre(1), 1);
    const [ack] = (await host(base, 'GET', '/host/lcds-invocations')).json;
    await until(page, 'the acknowledgement is listed',
      (msgId) => document.getElementById('ack-list').textContent.includes(msgId), ack.arguments[0].msgId);
  });

  await t.test('a message added elsewhere appears from the event stream', async () => {
    const before = await cardCount(page);
    const answer = await host(base, 'POST', MESSAGES, { msgType: 'notice', msgBody: ['aurel', '7'] });
    assert.equal(answer.status, 204);
    await until(page, 'the new card is drawn', cardsAre(before + 1), before + 1);
  });

  const hostile = '<img src=x onerror=alert(1)>';
  await t.test('a message sent in a held phase shows no card and is counted as held', async () => {
    await page.selectOption('#phase', 'ChampSelect');
    await until(page, 'the phase holds messages', () => document.getElementById('hold-state').dataset.held === 'true');
    const before = await cardCount(page);
    const form = page.locator('#lcds-form');
    await form.getByLabel('msgId').fill('held-1');
    await form.getByLabel('params').fill(`${hostile}, 6`);
    await form.getByRole('button', { name: 'Send message' }).click();
    await until(page, 'the message is delivered', () => document.getElementById('lcds-result').textContent === 'Delivered held-1');
    await until(page, 'one message is said to be held',
      () => /\b1 held\b/.test(document.getElementById('hold-state').textContent));
    // A card, were one pushed, would come on the event stream's own connection: give it time.
    await page.waitForTimeout(300);
    assert.equal(await cardCount(page), before);
  });

  await t.test('EndOfGame releases the held message, its text shown literally', async () => {
    const before = await cardCount(page);
    await page.selectOption('#phase', 'EndOfGame');
    await until(page, 'the released card is drawn', cardsAre(before + 1), before + 1);
    const released = page.locator('#message-list > li.card').last();
    assert.deepEqual(await released.locator('.card-body li').allTextContents(), [hostile, '6']);
    assert.equal(await page.locator('#message-list img').count(), 0);
    await until(page, 'nothing is said to be held', () => document.getElementById('hold-state').dataset.held === 'false');
  });

  await t.test('with failing invocations a dismissal logs a WARN and the card still goes', async () => {
    await page.getByRole('switch', { name: 'LCDS invocations fail' }).check();
    await until(page, 'the host fails invocations',
      () => document.getElementById('invoke-result').dataset.state === 'warn');
    const before = await cardCount(page);
    const released = (await host(base, 'GET', MESSAGES)).json.at(-1);
    await page.getByRole('button', { name: `Dismiss message ${released.id}, ${released.type}` }).click();
    await until(page, 'the card is gone', cardsAre(before - 1), before - 1);
    await until(page, 'the WARN record is listed', () => [...document.querySelectorAll('#log-list .level-warn')]
      .some((record) => record.textContent.includes('held-1')));
  });

  await t.test("a malformed body through the API form shows the reader's exact error", async () => {
    const expected = await host(base, 'POST', MESSAGES, '{"msgType": ');
    assert.equal(expected.status, 400);
    const fn = page.locator('#api-functions details', { has: page.locator('summary .method-post') });
    await fn.locator('summary').click();
    await fn.getByLabel('Body', { exact: true }).fill('{"msgType": ');
    await fn.getByRole('button', { name: /^Send request to / }).click();
    await fn.locator('.try-output').waitFor({ state: 'visible', timeout: WAIT_MS });
    assert.match(await fn.locator('.try-status').textContent(), /^400 /);
    assert.ok((await fn.locator('.try-status').textContent()).endsWith(expected.json.message));
    assert.deepEqual(JSON.parse(await fn.locator('.try-output').textContent()), expected.json);
  });

  await t.test('the browser console shows no errors', async () => {
    assert.equal(await page.evaluate(() => window.orbSamePage), true);
    // The one refusal the API form asked for is reported by Chromium itself; nothing else may be.
    const unexpected = problems.filter((p) => !(p.url.endsWith(MESSAGES) && /status of 400/.test(p.text)));
    assert.deepEqual(unexpected, []);
  });

  await browser.close();
  browser = null;
  server.child.kill('SIGTERM');
  const { code } = await server.exited;
  assert.equal(code, 0, `orb-host did not stop cleanly:\n${server.output()}`);
});
