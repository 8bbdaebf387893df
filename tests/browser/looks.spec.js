// Every tab in both themes: no serious or critical accessibility fault, and a
// screenshot of each under build/browser-shots for people to look at.
const AxeBuilder = require('@axe-core/playwright').default;
const { test, expect, openTab, shot } = require('./fixtures');

const TABS = [
  ['Startup items', 'startup', '#rows-startup tr'],
  ['Running now', 'running', '#rows-running tr, #empty-running:not([hidden])'],
  ['Installed apps', 'apps', '#rows-apps tr, #empty-apps:not([hidden])'],
  ['Backup & restore', 'backup', '#backups-card .empty, #backups-card table'],
  ['History', 'history', '#history-card .empty, #history-card table'],
  ['Health & updates', 'health', '#probes .status'],
];

// The whole page once per theme, then only the part that changed.
async function seriousFaults(page, part) {
  let axe = new AxeBuilder({ page }).withTags(['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa']);
  if (part) axe = axe.include(part);
  const result = await axe.analyze();
  return result.violations.filter((v) => v.impact === 'serious' || v.impact === 'critical')
    .map((v) => `${v.id}: ${v.help} (${v.nodes.map((n) => n.target.join(' ')).slice(0, 4).join(', ')})`);
}

for (const theme of ['light', 'dark']) {
  test(`every tab in the ${theme} theme`, async ({ page }) => {
    test.setTimeout(120000);
    await page.emulateMedia({ colorScheme: theme });
    await page.reload();
    await expect(page.locator('html')).toHaveAttribute('data-theme', theme);
    for (const [label, name, ready] of TABS) {
      await openTab(page, label);
      await expect(page.locator(ready).first()).toBeVisible();
      await page.waitForTimeout(150);
      await shot(page, `${name}-${theme}`);
      expect(await seriousFaults(page, name === 'startup' ? null : '#panel-' + name), `${label} (${theme})`).toEqual([]);
    }
    await openTab(page, 'Startup items');
    await page.getByRole('button', { name: 'Spotify', exact: true }).click();
    await shot(page, `details-${theme}`);
    expect(await seriousFaults(page, '#details'), `details (${theme})`).toEqual([]);
    await page.getByRole('switch', { name: 'Starts: Spotify' }).uncheck();
    await page.getByRole('button', { name: 'Review & apply' }).click();
    await expect(page.getByRole('dialog').locator('section.change')).toBeVisible();
    await shot(page, `review-${theme}`);
    expect(await seriousFaults(page, '#modal-root'), `review dialog (${theme})`).toEqual([]);
  });
}

test('usable at 800 pixels wide', async ({ page }) => {
  await page.setViewportSize({ width: 800, height: 800 });
  const overflow = () => page.evaluate(() => document.documentElement.scrollWidth - document.documentElement.clientWidth);
  for (const [label, name, ready] of TABS) {
    await openTab(page, label);
    await expect(page.locator(ready).first()).toBeVisible();
    expect(await overflow(), label + ' fits 800 pixels').toBeLessThanOrEqual(0);
    if (name === 'startup') await shot(page, 'startup-800');
  }
});
