// Backups: making one, the table, restoring from a saved backup and from a
// file (good and bad files), deleting, and undoing a switch from History.
const fs = require('fs');
const path = require('path');
const { test, expect, callApi, openTab } = require('./fixtures');

test('back up, restore from the list and from files, delete, undo', async ({ page, program }) => {
  await openTab(page, 'Backup & restore');
  const panel = page.getByRole('tabpanel');
  await expect(panel).toContainText('No backups yet. Press Back up now.');
  const count = (await callApi(page, '/api/scan', { what: 'startup' })).items.length;
  await panel.getByLabel('Label for the new backup').fill('Before the test');
  await panel.getByRole('button', { name: 'Back up now' }).click();
  await expect(page.locator('#toasts')).toContainText(`Saved ${count} items.`);
  const row = panel.locator('tbody tr', { hasText: 'Before the test' });
  await expect(row).toContainText('DEMO-PC');
  await expect(row.locator('td').nth(2)).toHaveText(String(count));
  await expect(row.locator('td').nth(3)).toHaveText(/^\d+ KB$/);
  await expect(panel).toContainText('Stored in: ');
  const { backups } = await callApi(page, '/api/backup/list');
  const name = backups[0].name;

  const download = page.waitForEvent('download');
  await row.getByRole('button', { name: /^Download/ }).click();
  expect((await download).suggestedFilename()).toBe(name);

  // Switch Spotify off behind the page's back, then restore the backup.
  const spotify = (await callApi(page, '/api/scan', { what: 'startup' })).items.find((i) => i.name === 'Spotify');
  const applied = await callApi(page, '/api/apply', { changes: [{ action: 'disable', id: spotify.id, ack: true }] });
  expect(applied.results[0].ok).toBe(true);
  await panel.getByRole('button', { name: 'Back up now' }).click();
  await expect(panel.locator('tbody tr')).toHaveCount(3); // the automatic one, ours, the new one
  await row.getByRole('button', { name: /^Restore…/ }).click();
  const dialog = page.getByRole('dialog', { name: 'Restore: ' + name });
  await expect(dialog).toContainText(/Backup from \d{4}-\d\d-\d\d \d\d:\d\d:\d\d \(UTC\) · DEMO-PC · Windows 11 Pro 24H2 \(demonstration data\) · \d+ items · Before the test/);
  await expect(dialog).toContainText(`${count - 1} items already match the backup. 0 items appeared since the backup and are left alone.`);
  const box = dialog.locator('section.change');
  await expect(box).toHaveCount(1);
  await expect(box).toContainText('Make it start');
  await expect(box).toContainText('Spotify');
  await expect(box.getByLabel('Include this change')).toBeChecked();
  await dialog.getByRole('button', { name: 'Apply 1 change' }).click();
  await expect(dialog.locator('.result-summary')).toHaveText('1 of 1 change made.');
  await dialog.getByRole('button', { name: 'Close', exact: true }).click();

  // The same backup from a file now matches; broken files are refused.
  const { text } = await callApi(page, '/api/backup/get', { name });
  const files = [['same.json', text], ['broken.json', '{not json'], ['other.json', '{"format":"something else"}']];
  for (const [file, body] of files) fs.writeFileSync(path.join(program.home, file), body);
  const pick = async (file) => {
    const chooser = page.waitForEvent('filechooser');
    await panel.getByRole('button', { name: 'Restore from a file…' }).click();
    await (await chooser).setFiles(path.join(program.home, file));
  };
  await pick('same.json');
  const same = page.getByRole('dialog', { name: 'Restore: same.json' });
  await expect(same).toContainText('Nothing needs to change: this computer already matches the backup.');
  await same.getByRole('button', { name: 'Close', exact: true }).click();
  await pick('broken.json');
  await expect(page.locator('#toasts')).toContainText('That file is not a Bootsmith backup (');
  await pick('other.json');
  await expect(page.locator('#toasts')).toContainText('That file is not a Bootsmith backup.');

  await row.getByRole('button', { name: /^Delete/ }).click();
  const confirm = page.getByRole('alertdialog');
  await expect(confirm).toContainText('Delete this backup file?');
  await confirm.getByRole('button', { name: 'Delete' }).click();
  await expect(row).toHaveCount(0);
  await expect(panel.locator('tbody tr')).toHaveCount(2);

  await openTab(page, 'History');
  const history = page.getByRole('tabpanel');
  await expect(history).toContainText('Every change Bootsmith makes is written here.');
  const enabled = history.locator('tbody tr', { hasText: 'enable' }).first();
  await enabled.getByRole('button', { name: /^Undo/ }).click();
  expect(await page.getByRole('alertdialog').locator('.ask-text').textContent()).toBe('Undo this change to "Spotify"?');
  await page.getByRole('alertdialog').getByRole('button', { name: 'Undo' }).click();
  await expect(page.locator('#toasts')).toContainText('Spotify');
  await expect(history.locator('tbody tr', { hasText: ' (undone)' })).toHaveCount(1);
  await expect(history.locator('tbody tr', { hasText: ' (undone)' }).getByRole('button')).toHaveCount(0);
});
