// alice switches one of her own systemd user units off in the window, her
// systemd agrees, and the History tab's undo switches it on again.
const { test, expect } = require('@playwright/test');
const { execFileSync } = require('child_process');

const unit = process.env.REALHOST_UNIT;
const isEnabled = () => execFileSync(process.env.REALHOST_IS_ENABLED, [unit], { encoding: 'utf8' }).trim();

test('a real unit switched off from the page and undone from History', async ({ page }) => {
  const problems = [];
  page.on('console', (m) => { if (m.type() === 'error') problems.push(m.text()); });
  page.on('pageerror', (e) => problems.push(e.message));
  await page.goto(process.env.REALHOST_LINK);
  await expect(page.locator('#sysline')).toContainText('alice');
  await expect(page.locator('#sysline')).toContainText('Standard rights');
  await expect(page.getByRole('button', { name: 'Restart as administrator' })).toBeVisible();
  expect(isEnabled()).toBe('enabled');

  await page.getByLabel('Search startup items').fill(unit.replace(/\.service$/, ''));
  const row = page.locator('#rows-startup tr:not([hidden])').filter({ hasText: unit }).first();
  const name = await row.locator('.name-btn').textContent();
  const sw = row.getByRole('switch');
  await expect(sw).toBeChecked();
  await sw.uncheck();
  await page.getByRole('button', { name: 'Review & apply' }).click();
  const dialog = page.getByRole('dialog', { name: 'Review changes' });
  await expect(dialog.locator('section.change')).toContainText('Stop it starting');
  const ack = dialog.getByLabel('I have read this and want to go ahead');
  const level = await dialog.locator('section.change .badge').textContent();
  if (!['Safe', 'Low'].includes(level)) await ack.check();
  await dialog.getByRole('button', { name: 'Apply 1 change' }).click();
  await expect(dialog.locator('.result-summary')).toHaveText('1 of 1 change made.');
  expect(isEnabled()).toBe('disabled');
  await dialog.getByRole('button', { name: 'Close', exact: true }).click();
  await expect(sw).not.toBeChecked();

  await page.getByRole('tab', { name: 'History' }).click();
  const record = page.getByRole('tabpanel').locator('tbody tr', { hasText: name }).first();
  await expect(record).toBeVisible();
  // Earlier checks may have undone changes of their own in alice's history.
  const undone = page.getByRole('tabpanel').locator('tbody tr', { hasText: ' (undone)' });
  const undoneBefore = await undone.count();
  await record.getByRole('button', { name: /^Undo/ }).click();
  await expect(page.getByRole('alertdialog').locator('.ask-text')).toHaveText(`Undo this change to "${name}"?`);
  await page.getByRole('alertdialog').getByRole('button', { name: 'Undo' }).click();
  await expect(undone).toHaveCount(undoneBefore + 1);
  expect(isEnabled()).toBe('enabled');

  await page.getByRole('button', { name: 'Quit' }).click();
  await expect(page.locator('body')).toHaveText('Bootsmith has stopped. You can close this tab.');
  expect(problems).toEqual([]);
});
