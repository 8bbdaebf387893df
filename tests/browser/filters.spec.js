// Search, chips, the type filter, the show-flags and sorting give exactly the
// rows that the program's own scan says they should.
const { test, expect, callApi, startupNames } = require('./fixtures');

const CARE = ['caution', 'high', 'critical', 'unknown'];
const LEVEL = { safe: 0, low: 1, caution: 2, unknown: 2.5, high: 3, critical: 4 };
const byName = (a, b) => a.name.toLowerCase().localeCompare(b.name.toLowerCase());
const osLast = (i) => (i.origin === 'Operating system' ? 1 : 0);
const typeOf = (i) => i.kind_label.replace(/\s*\([^)]*\)\s*$/, '');
const hay = (i) => [i.name, i.command, i.publisher, i.description, i.kind_label, i.exe].join('\n').toLowerCase();

test('filters and sorting match the scan', async ({ page }) => {
  const { items } = await callApi(page, '/api/scan', { what: 'startup' });
  expect(items.length).toBeGreaterThan(20);
  const shown = (keep, order = (a, b) => (osLast(a) - osLast(b)) || byName(a, b)) =>
    items.filter((i) => !i.state_text.startsWith('Manual')).filter(keep).sort(order).map((i) => i.name);

  const cases = [
    ['all', () => {}, () => true],
    ['search "acme"', () => page.getByLabel('Search startup items').fill('ACME'), (i) => hay(i).includes('acme')],
    ['search by program path', () => page.getByLabel('Search startup items').fill('svchost'), (i) => hay(i).includes('svchost')],
    ['Starts', async () => { await page.getByLabel('Search startup items').fill(''); await page.getByRole('button', { name: /^Starts/ }).click(); }, (i) => i.enabled],
    ['Does not start', () => page.getByRole('button', { name: /^Does not start/ }).click(), (i) => !i.enabled],
    ['Needs care', () => page.getByRole('button', { name: /^Needs care/ }).click(), (i) => i.enabled && CARE.includes(i.risk.level)],
    ['type', async () => { await page.getByRole('button', { name: /^All/ }).click(); await page.getByLabel('Type').selectOption('Scheduled task'); }, (i) => typeOf(i) === 'Scheduled task'],
  ];
  for (const [what, act, keep] of cases) {
    await act();
    expect(await startupNames(page), what).toEqual(shown(keep));
  }
  await page.getByLabel('Type').selectOption('');

  await page.getByLabel('On-demand services').check();
  const withManual = items.slice().sort((a, b) => (osLast(a) - osLast(b)) || byName(a, b)).map((i) => i.name);
  expect(await startupNames(page), 'on-demand services shown').toEqual(withManual);
  expect(withManual.length).toBeGreaterThan(shown(() => true).length);
  await page.getByLabel('Windows/system items').uncheck();
  expect(await startupNames(page), 'operating-system items hidden')
    .toEqual(items.filter((i) => i.origin !== 'Operating system').sort(byName).map((i) => i.name));
  await page.getByLabel('Windows/system items').check();

  const sorts = [
    ['Name', items.slice().sort(byName)],
    ['Name', items.slice().sort(byName).reverse()],
    ['If switched off', items.slice().sort((a, b) => (LEVEL[a.risk.level] - LEVEL[b.risk.level]) || byName(a, b))],
  ];
  for (const [heading, expected] of sorts) {
    await page.getByRole('button', { name: heading, exact: true }).click();
    expect(await startupNames(page), 'sorted by ' + heading).toEqual(expected.map((i) => i.name));
  }

  // A pending change moves an item between Starts and Does not start at once.
  await page.getByRole('button', { name: /^Does not start/ }).click();
  expect(await startupNames(page)).not.toContain('Spotify');
  await page.getByRole('button', { name: /^All/ }).click();
  await page.getByRole('switch', { name: 'Starts: Spotify' }).uncheck();
  await page.getByRole('button', { name: /^Does not start/ }).click();
  expect(await startupNames(page)).toContain('Spotify');
  await expect(page.locator('#rows-startup tr.pending:not([hidden])')).toHaveCount(1);
});

test('running programs and installed apps hide system programs until asked', async ({ page }) => {
  for (const [tab, what] of [['Running now', 'running'], ['Installed apps', 'apps']]) {
    const { items } = await callApi(page, '/api/scan', { what });
    await page.getByRole('tab', { name: tab }).click();
    const panel = page.getByRole('tabpanel');
    const names = (keep) => items.filter(keep).sort(byName).map((c) => c.name);
    await expect(panel.locator('tbody tr')).toHaveCount(names((c) => !c.system).length);
    await panel.getByLabel('Show system programs').check();
    await expect(panel.locator('tbody tr')).toHaveCount(items.length);
    await expect(panel.locator('tbody tr td:nth-child(2) .pt').first()).toHaveText(names(() => true)[0]);
    await panel.getByRole('searchbox').fill(items[0].publisher.toUpperCase());
    await expect(panel.locator('tbody tr')).toHaveCount(names((c) => [c.name, c.command, c.publisher, c.description, c.exe].join('\n').toLowerCase().includes(items[0].publisher.toLowerCase())).length);
  }
  await expect(page.getByRole('tabpanel')).toContainText('not running');
  await page.getByRole('tab', { name: 'Running now' }).click();
  await page.getByRole('tabpanel').getByRole('searchbox').fill('');
  await expect(page.getByRole('tabpanel')).toContainText('4 processes');
  await expect(page.getByRole('tabpanel')).toContainText('1 process');
});
