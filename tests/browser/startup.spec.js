// Opening the window: the one-time link, the header, refusals, reloads,
// the keyboard, and program texts that carry mark-up.
const { test, expect, startupNames, rowOf, watch } = require('./fixtures');

const REFUSED_LINK = 'This link has already been used, or is wrong. Press Quit in the window that is open, or start Bootsmith again.';
const NEED_LINK = 'This page needs the link Bootsmith printed when it started. Start Bootsmith again and use that link.';

test('the link opens the window once, and a reload keeps working without it', async ({ page, program, problems, context }) => {
  const header = page.locator('#sysline');
  for (const part of ['DEMO-PC', 'Windows 11 Pro 24H2 (demonstration data)', 'demouser', 'Administrator',
    'Demonstration data - nothing real is read or changed']) {
    await expect(header).toContainText(part);
  }
  await expect(page.getByRole('button', { name: 'Restart as administrator' })).toBeHidden();
  expect(page.url()).not.toContain('#');
  expect(await startupNames(page)).toContain('Spotify');
  await expect(page.locator('#footer')).toContainText('1.0.0');

  problems.allow(/status of 403/);
  const second = await context.newPage();
  second.on('console', (m) => { if (m.type() === 'error' && !/status of 403/.test(m.text())) problems.list.push(m.text()); });
  await second.goto(await program.link);
  await expect(second.locator('#sysline')).toHaveText(REFUSED_LINK);
  await expect(second.locator('#rows-startup tr')).toHaveCount(0);
  await second.close();

  await page.reload();
  await expect(rowOf(page, 'Spotify')).toBeVisible();
  await expect(page.locator('#sysline')).toContainText('DEMO-PC');
});

test('a page without a token shows the refusal instead of going blank', async ({ page }) => {
  await page.evaluate(() => sessionStorage.removeItem('bs-token'));
  await page.getByRole('tab', { name: 'History' }).click();
  await expect(page.locator('#sysline')).toHaveText(NEED_LINK);
  await expect(page.locator('#refused-card')).toBeVisible();
  await page.reload();
  await expect(page.locator('#sysline')).toHaveText(NEED_LINK);
});

test('tabs follow the arrow keys and Escape closes the details, then dialogs first', async ({ page }) => {
  const tabs = ['Startup items', 'Running now', 'Installed apps', 'Backup & restore', 'History', 'Health & updates'];
  await expect(page.getByRole('tab')).toHaveText(tabs);
  await page.getByRole('tab', { name: 'Startup items' }).focus();
  await page.keyboard.press('ArrowRight');
  await expect(page.getByRole('tab', { name: 'Running now' })).toBeFocused();
  await expect(page.getByRole('tab', { name: 'Running now' })).toHaveAttribute('aria-selected', 'true');
  await expect(page.getByRole('tabpanel')).toContainText('Mozilla Firefox');
  await page.keyboard.press('ArrowLeft');
  await page.keyboard.press('ArrowLeft');
  await expect(page.getByRole('tab', { name: 'Health & updates' })).toHaveAttribute('aria-selected', 'true');
  await page.keyboard.press('Home');

  await page.getByRole('button', { name: 'Spotify', exact: true }).click();
  const details = page.locator('#details');
  await expect(details).toContainText('If you switch it off: ');
  await expect(details).toContainText('This account only');
  await page.getByRole('switch', { name: 'Starts: Steam' }).check();
  await page.getByRole('button', { name: 'Review & apply' }).click();
  const dialog = page.getByRole('dialog');
  await expect(dialog).toBeVisible();
  // Focus stays inside the dialog.
  for (let i = 0; i < 12; i++) {
    await page.keyboard.press('Tab');
    expect(await page.evaluate(() => !!document.activeElement.closest('[role="dialog"]'))).toBe(true);
  }
  await page.keyboard.press('Escape');
  await expect(dialog).toBeHidden();
  await expect(details).toBeVisible();
  await page.keyboard.press('Escape');
  await expect(details).toBeHidden();
});

test.describe('with mark-up in the program data', () => {
  test.use({ xss: true });
  test('the mark-up is shown as text and nothing of it runs', async ({ page }) => {
    const evil = '<img src=x onerror="window.__pwned=1">Evil';
    await expect(page.getByRole('button', { name: evil, exact: true })).toBeVisible();
    await expect(rowOf(page, evil)).toContainText('<b>Bad Inc</b>');
    await expect(rowOf(page, evil)).toContainText('<script>window.__pwned=1</script>');
    expect(await page.locator('#rows-startup img, #rows-startup b, #rows-startup script').count()).toBe(0);
    await page.getByRole('button', { name: evil, exact: true }).click();
    await expect(page.locator('#details-title')).toHaveText(evil);
    await page.getByRole('switch', { name: 'Starts: ' + evil }).uncheck();
    await page.getByRole('button', { name: 'Review & apply' }).click();
    await expect(page.getByRole('dialog')).toContainText(evil);
    expect(await page.evaluate(() => window.__pwned)).toBeUndefined();
  });
});

test('the page pings every 15 seconds, and closing it says goodbye so the program ends', async ({ browser, program, problems }) => {
  const context = await browser.newContext();
  const page = await context.newPage();
  await watch(page, problems);
  await page.clock.install();
  const calls = [];
  context.on('request', (r) => { if (r.url().endsWith('/api/ping')) calls.push(new URL(r.url()).pathname); });
  await page.goto(await program.link);
  await expect(page.locator('#rows-startup tr').first()).toBeVisible();
  await page.clock.runFor(3000);
  const early = calls.filter((c) => c === '/api/ping').length;
  await page.clock.runFor(30000);
  expect(calls.filter((c) => c === '/api/ping').length).toBe(early + 2);
  // Leaving the page is what closing the tab does to it: the goodbye is sent,
  // and without a later ping the program ends about 11 seconds after it.
  await page.goto('about:blank');
  expect(await program.exited).toEqual({ code: 0, signal: null });
  expect(program.output()).not.toContain('No window was opened');
  await context.close();
});
