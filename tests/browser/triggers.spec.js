// A switch-off after which something else would still start the entry: the
// review names it, waits for the user's acceptance, or, with "Also switch off
// what starts it", takes it along in the same batch.
const { test, expect, callApi, shot } = require('./fixtures');

const ACK = 'I have read this and want to go ahead';
const ALONG = 'Also switch off what starts it';
const STILL = 'It can still start: GoogleUpdateTaskMachineCore (a timer that starts it on schedule).';

async function reviewSwitchOff(page, name) {
  await page.getByRole('switch', { name: 'Starts: ' + name }).uncheck();
  await page.getByRole('button', { name: 'Review & apply' }).click();
  const dialog = page.getByRole('dialog', { name: 'Review changes' });
  const box = dialog.locator('section.change', { hasText: name });
  await expect(box).toContainText('Stop it starting');
  return { dialog, box, apply: dialog.getByRole('button', { name: /^(Apply|Nothing to apply)/ }) };
}

test('the review names what still starts it, and switches that off too when asked', async ({ page }) => {
  const { dialog, box, apply } = await reviewSwitchOff(page, 'gupdate');
  await expect(box.locator('.still-starts li')).toHaveText([STILL]);
  await expect(box.getByLabel(ALONG)).not.toBeChecked();
  // A low entry, but it would still start: the user must accept that.
  await expect(apply).toBeDisabled();
  await expect(box.getByLabel(ACK)).not.toBeChecked();

  await box.getByLabel(ALONG).check();
  await expect(box.locator('.triggers li')).toHaveCount(1);
  await expect(box.locator('.triggers li')).toContainText('Also switched off');
  await expect(box.locator('.triggers li')).toContainText('GoogleUpdateTaskMachineCore');
  await expect(box.locator('.still-starts li')).toHaveCount(0);
  await expect(box.getByLabel(ACK)).toHaveCount(0);
  await expect(apply).toHaveText('Apply 2 changes');
  await shot(page, 'review-with-triggers');
  await apply.click();

  await expect(dialog.locator('.result-summary')).toHaveText('2 of 2 changes made.');
  await expect(dialog.locator('.results .r-head')).toContainText(['gupdate', 'GoogleUpdateTaskMachineCore']);
  await dialog.getByRole('button', { name: 'Close', exact: true }).click();
  await expect(page.getByRole('switch', { name: 'Starts: GoogleUpdateTaskMachineCore' })).not.toBeChecked();
  const history = await callApi(page, '/api/history');
  expect(history.records.map((r) => r.name)).toEqual(['GoogleUpdateTaskMachineCore', 'gupdate']);
});

test('without taking it along, the switch-off goes only once the user accepts', async ({ page }) => {
  const { dialog, box, apply } = await reviewSwitchOff(page, 'gupdate');
  await expect(box.locator('.still-starts li')).toHaveText([STILL]);
  await shot(page, 'review-still-starts');
  await box.getByLabel(ACK).check();
  await expect(apply).toBeEnabled();
  await apply.click();
  await expect(dialog.locator('.result-summary')).toHaveText('1 of 1 change made.');
  await dialog.getByRole('button', { name: 'Close', exact: true }).click();
  await expect(page.getByRole('switch', { name: 'Starts: gupdate' })).not.toBeChecked();
  await expect(page.getByRole('switch', { name: 'Starts: GoogleUpdateTaskMachineCore' })).toBeChecked();
});
