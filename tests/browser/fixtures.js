// Shared fixtures: every test starts its own `bootsmith --demo serve` with a
// private temporary folder, opens the printed one-time link, and fails on any
// console error, uncaught page error or security-policy violation.
const { test: base, expect } = require('@playwright/test');
const { spawn } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');

const repo = path.resolve(__dirname, '../..');
const binary = process.env.BOOTSMITH_BIN || path.join(repo, 'build', 'bootsmith');
const shotFolder = path.join(repo, 'build', 'browser-shots');
const LINK = /http:\/\/127\.0\.0\.1:\d+\/#k=[0-9a-f]{64}/;

function startProgram(extraEnv) {
  const home = fs.mkdtempSync(path.join(os.tmpdir(), 'bootsmith-page-'));
  const env = {
    PATH: process.env.PATH, HOME: home, TMPDIR: home, XDG_DATA_HOME: path.join(home, 'data'),
    USER: 'pagetester', LOGNAME: 'pagetester', BOOTSMITH_NO_BROWSER: '1', ...extraEnv,
  };
  const child = spawn(binary, ['--demo', 'serve', '--port', '0'], { env, stdio: ['ignore', 'pipe', 'pipe'] });
  let output = '';
  const exited = new Promise((resolve) => child.on('exit', (code, signal) => resolve({ code, signal })));
  const link = new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error('bootsmith printed no link: ' + output)), 20000);
    child.stdout.on('data', (d) => {
      output += d;
      const m = LINK.exec(output);
      if (m) { clearTimeout(timer); resolve(m[0]); }
    });
    child.stderr.on('data', (d) => { output += d; });
    child.on('exit', (code) => { clearTimeout(timer); reject(new Error(`bootsmith ended (${code}) before printing a link: ${output}`)); });
    child.on('error', (e) => { clearTimeout(timer); reject(e); });
  });
  return {
    child, link, exited, home,
    output: () => output,
    async stop() {
      if (child.exitCode === null && child.signalCode === null) {
        child.kill('SIGTERM');
        await exited;
      }
      fs.rmSync(home, { recursive: true, force: true });
    },
  };
}

// Collects what must never happen on the page. Tests that expect the server
// to refuse a request allow the browser's own note about that status.
function watch(page, problems) {
  page.on('console', (m) => {
    if (m.type() !== 'error') return;
    const t = m.text();
    if (problems.allowed.some((re) => re.test(t))) return;
    problems.list.push('console error: ' + t);
  });
  page.on('pageerror', (e) => problems.list.push('page error: ' + e.message));
  page.on('dialog', (d) => { problems.list.push('unexpected browser dialog: ' + d.message()); d.dismiss().catch(() => {}); });
  return page.addInitScript(() => {
    document.addEventListener('securitypolicyviolation', (e) => {
      console.error('security policy violation: ' + e.violatedDirective + ' ' + e.blockedURI);
    });
  });
}

const test = base.extend({
  xss: [false, { option: true }],
  problems: async ({}, use) => {
    const problems = { list: [], allowed: [], allow(re) { this.allowed.push(re); } };
    await use(problems);
    expect(problems.list, 'console errors, page errors, dialogs or policy violations').toEqual([]);
  },
  program: async ({ xss }, use) => {
    const program = startProgram(xss ? { BOOTSMITH_TEST_XSS: '1' } : {});
    await use(program);
    await program.stop();
  },
  page: async ({ page, program, problems }, use) => {
    await watch(page, problems);
    await page.goto(await program.link);
    await expect(page.locator('#rows-startup tr').first()).toBeVisible();
    await use(page);
  },
});

// Calls the program's API from inside the page, with the page's own token.
function callApi(page, apiPath, body) {
  return page.evaluate(async ([p, b]) => {
    const options = { method: b === null ? 'GET' : 'POST', headers: { 'X-Bootsmith-Token': sessionStorage.getItem('bs-token') } };
    if (b !== null) { options.headers['Content-Type'] = 'application/json'; options.body = JSON.stringify(b); }
    const r = await fetch(p, options);
    return r.json();
  }, [apiPath, body === undefined ? null : body]);
}

const startupNames = (page) => page.locator('#rows-startup tr:not([hidden]) .name-btn').allTextContents();
const rowOf = (page, name) => page.locator('#rows-startup tr:not([hidden])', { has: page.getByRole('button', { name, exact: true }) });

async function openTab(page, label) {
  await page.getByRole('tab', { name: label }).click();
  await expect(page.getByRole('tab', { name: label })).toHaveAttribute('aria-selected', 'true');
}

async function shot(page, name) {
  fs.mkdirSync(shotFolder, { recursive: true });
  await page.screenshot({ path: path.join(shotFolder, name + '.png') });
}

module.exports = { test, expect, startProgram, watch, callApi, startupNames, rowOf, openTab, shot, repo };
