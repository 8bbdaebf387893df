// Every change goes through the review dialog: acknowledgements, the Apply
// button's rules, results, creations from "Running now", removal, and undo.
const { test, expect, callApi, rowOf, openTab } = require('./fixtures');

const ACK = 'I have read this and want to go ahead';
const INCLUDE = 'Include this change';

async function scan(page) {
  return (await callApi(page, '/api/scan', { what: 'startup' })).items.filter((i) => !i.state_text.startsWith('Manual'));
}
const applyButton = (dialog) => dialog.getByRole('button', { name: /^(Apply|Nothing to apply)/ });

test('a caution change waits for its acknowledgement, a low one does not', async ({ page }) => {
  const items = await scan(page);
  const caution = items.find((i) => i.enabled && i.risk.level === 'caution' && i.toggle === 'ok');
  const low = items.find((i) => i.enabled && i.risk.level === 'low' && i.toggle === 'ok');
  await page.getByRole('switch', { name: 'Starts: ' + caution.name }).uncheck();
  await expect(page.locator('#pending-bar')).toContainText('1 change waiting. Nothing has been changed yet.');
  await page.getByRole('switch', { name: 'Starts: ' + low.name }).uncheck();
  await expect(page.locator('#pending-bar')).toContainText('2 changes waiting. Nothing has been changed yet.');
  await page.getByRole('button', { name: 'Review & apply' }).click();

  const dialog = page.getByRole('dialog', { name: 'Review changes' });
  const boxCaution = dialog.locator('section.change', { hasText: caution.name });
  const boxLow = dialog.locator('section.change', { hasText: low.name });
  const apply = applyButton(dialog);
  await expect(boxCaution).toContainText('Stop it starting');
  await expect(boxCaution).toContainText('Caution');
  await expect(boxCaution.getByLabel('Also stop it now (otherwise it keeps running until the next restart)')).not.toBeChecked();
  await expect(boxLow.getByLabel(ACK)).toHaveCount(0);
  await expect(apply).toHaveText('Apply 2 changes');
  await expect(apply).toBeDisabled();
  await expect(dialog).toContainText('A copy of the current setup is saved automatically before anything changes.');

  await boxCaution.getByLabel(INCLUDE).uncheck();
  await expect(apply).toHaveText('Apply 1 change');
  await expect(apply).toBeEnabled();
  await boxLow.getByLabel(INCLUDE).uncheck();
  await expect(apply).toHaveText('Nothing to apply');
  await expect(apply).toBeDisabled();
  await boxLow.getByLabel(INCLUDE).check();
  await boxCaution.getByLabel(INCLUDE).check();
  await expect(apply).toBeDisabled();
  await boxCaution.getByLabel(ACK).check();
  await expect(apply).toBeEnabled();
  await apply.click();

  await expect(dialog.locator('.result-summary')).toHaveText('2 of 2 changes made.');
  await expect(dialog.locator('.results li')).toHaveCount(2);
  await expect(dialog.locator('.results .done')).toHaveText(['Done', 'Done']);
  await expect(page.locator('#pending-bar')).toBeHidden();
  await dialog.getByRole('button', { name: 'Close', exact: true }).click();
  await expect(dialog).toBeHidden();
  await expect(page.getByRole('switch', { name: 'Starts: ' + caution.name })).not.toBeChecked();
  const after = await callApi(page, '/api/scan', { what: 'startup' });
  expect(after.items.filter((i) => i.id === caution.id || i.id === low.id).map((i) => i.enabled)).toEqual([false, false]);
});

test('a critical item is locked with its note', async ({ page }) => {
  const critical = (await scan(page)).find((i) => i.enabled && i.risk.level === 'critical');
  const note = 'Bootsmith never switches off an entry judged critical.';
  await expect(page.getByRole('switch', { name: 'Starts: ' + critical.name })).toBeDisabled();
  await expect(rowOf(page, critical.name).locator('.switch-cell')).toHaveAttribute('title', note);
  await expect(rowOf(page, critical.name)).toContainText('Locked');
  await page.getByRole('button', { name: critical.name, exact: true }).click();
  await expect(page.locator('#details')).toContainText('It cannot be switched here: ' + note);
  await expect(page.locator('#details')).toContainText('If you switch it off: Critical (confidence: ');
  await expect(page.getByRole('button', { name: 'Mark to switch off' })).toHaveCount(0);
});

test('a running program is made to start, removed again, and both are undone', async ({ page }) => {
  await openTab(page, 'Running now');
  await page.getByRole('switch', { name: 'Start it: Mozilla Firefox' }).check();
  await expect(page.locator('#pending-bar')).toContainText('1 change waiting.');
  await page.getByRole('button', { name: 'Review & apply' }).click();
  const dialog = page.getByRole('dialog', { name: 'Review changes' });
  const box = dialog.locator('section.change');
  const apply = applyButton(dialog);
  await expect(box).toContainText('Make it start with the computer');
  await expect(box.getByLabel('Name')).toHaveValue('Mozilla Firefox');
  await expect(box.getByLabel('Command')).toHaveValue('"C:\\Program Files\\Mozilla Firefox\\firefox.exe"');
  await expect(box.getByLabel('Runs as')).toHaveValue('demouser');
  const mode = box.getByLabel('Start mode');
  await expect(mode).toHaveValue('login');
  await expect(mode.locator('option[value="boot"]')).toHaveText('Start when the computer starts, before anyone signs in (needs administrator)');
  await mode.selectOption('boot');
  await expect(box.getByLabel(ACK)).toBeVisible();
  await expect(apply).toBeDisabled();
  await mode.selectOption('login');
  await expect(box.getByLabel(ACK)).toHaveCount(0);
  await box.getByLabel('Name').fill('Firefox');
  await box.getByLabel('Name').press('Tab');
  await expect(box.locator('.change-name')).toHaveText('Firefox');
  await expect(apply).toHaveText('Apply 1 change');
  await apply.click();
  await expect(dialog.locator('.result-summary')).toHaveText('1 of 1 change made.');
  await expect(dialog.locator('.results')).toContainText('Done');
  await dialog.getByRole('button', { name: 'Close', exact: true }).click();
  await expect(page.getByRole('tabpanel')).not.toContainText('Mozilla Firefox');

  await openTab(page, 'Startup items');
  const made = 'Bootsmith-Firefox';
  await expect(rowOf(page, made)).toContainText('Made by Bootsmith');
  await page.getByRole('button', { name: made, exact: true }).click();
  await page.getByRole('button', { name: 'Mark for removal' }).click();
  await expect(page.locator('#toasts')).toContainText('Marked for removal. Press Review & apply.');
  await page.getByRole('button', { name: 'Review & apply' }).click();
  await expect(dialog.locator('section.change')).toContainText('Remove the entry');
  await applyButton(dialog).click();
  await expect(dialog.locator('.result-summary')).toHaveText('1 of 1 change made.');
  await dialog.getByRole('button', { name: 'Close', exact: true }).click();
  await expect(rowOf(page, made)).toHaveCount(0);

  await openTab(page, 'History');
  const history = page.getByRole('tabpanel');
  const confirm = page.getByRole('alertdialog');
  await history.locator('tr', { hasText: 'remove' }).getByRole('button', { name: /^Undo/ }).click();
  expect(await confirm.locator('.ask-text').textContent()).toBe(
    'Recreate "' + made + '" running:\n\n"C:\\Program Files\\Mozilla Firefox\\firefox.exe"\n\nOnly continue if you recognise this command.');
  await confirm.getByRole('button', { name: 'Undo' }).click();
  await expect(history.locator('tr', { hasText: 'remove' })).toContainText(' (undone)');
  await expect(page.locator('#toasts')).not.toBeEmpty();

  const created = history.locator('tr', { hasText: 'create' }).filter({ has: page.getByRole('button', { name: /^Undo/ }) }).first();
  await created.getByRole('button', { name: /^Undo/ }).click();
  expect(await confirm.locator('.ask-text').textContent()).toMatch(/^Remove ".+"\?$/);
  await confirm.getByRole('button', { name: 'Cancel' }).click();
  await expect(confirm).toBeHidden();
});
