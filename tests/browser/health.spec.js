// Health & updates, copying with private details removed, the theme, and Quit.
const { test, expect, callApi, openTab } = require('./fixtures');

test('knowledge facts, the https rule, the self-check and the copied report', async ({ page, context }) => {
  await context.grantPermissions(['clipboard-read', 'clipboard-write']);
  // The demonstration's own probes name no private detail, so one probe that
  // names all three is added to the real answer.
  await page.route('**/api/doctor', async (route) => {
    const answer = await (await route.fetch()).json();
    answer.probes.push({ name: 'Data folder', status: 'warn', detail: 'C:\\Users\\demouser\\Data on DEMO-PC for demouser' });
    await route.fulfill({ json: answer });
  });
  const status = await callApi(page, '/api/knowledge');
  await openTab(page, 'Health & updates');
  const facts = page.locator('#kfacts');
  await expect(facts).toContainText(`Built-in knowledge${status.builtin_version} · ${status.builtin_rules} rules`);
  await expect(facts).toContainText('Installed updatenone');
  await expect(facts).toContainText('Last checkednever');
  await expect(page.getByLabel('Update address')).toHaveValue(status.url);

  await page.getByLabel('Update address').fill('http://example.org/bootsmith/knowledge.json');
  await page.getByRole('button', { name: 'Save', exact: true }).click();
  await expect(page.locator('#toasts')).toContainText('The update address must start with https://');
  expect((await callApi(page, '/api/knowledge')).url).toBe(status.url);
  await page.getByLabel('Also check when Bootsmith starts').check();
  await page.getByLabel('Update address').fill('');
  await page.getByRole('button', { name: 'Save', exact: true }).click();
  await expect(page.locator('#toasts')).toContainText('Saved.');
  expect((await callApi(page, '/api/knowledge')).auto_check).toBe(true);

  // Importing a file that is no pack and going back with nothing to go back
  // to both answer with the program's own sentence.
  const fs = require('fs');
  const path = require('path');
  const notAPack = path.join(test.info().outputDir, 'not-a-pack.json');
  fs.mkdirSync(path.dirname(notAPack), { recursive: true });
  fs.writeFileSync(notAPack, '{"format":"something else"}');
  const refusedImport = await callApi(page, '/api/knowledge/import', { text: '{"format":"something else"}' });
  expect(refusedImport.ok).toBe(false);
  const chooser = page.waitForEvent('filechooser');
  await page.getByRole('button', { name: 'Install an update from a file…' }).click();
  await (await chooser).setFiles(notAPack);
  await expect(page.locator('#toasts')).toContainText(refusedImport.message);
  const rollback = await callApi(page, '/api/knowledge/rollback', {});
  await page.getByRole('button', { name: 'Go back to the previous knowledge' }).click();
  await expect(page.locator('#toasts')).toContainText(rollback.message);

  const probes = page.locator('#probes li');
  await expect(probes.filter({ hasText: 'Demonstration data' })).toContainText('OK');
  await expect(probes.filter({ hasText: 'Data folder' })).toContainText('Check');
  await page.getByRole('button', { name: 'Copy a report (private details removed)' }).click();
  await expect(page.locator('#toasts')).toContainText('The report was copied.');
  const report = await page.evaluate(() => navigator.clipboard.readText());
  const lines = report.split('\n');
  expect(lines[0]).toMatch(/^Bootsmith 1\.0\.0 \(developed by .+\) on Windows 11 Pro 24H2 \(demonstration data\)$/);
  expect(lines).toContain('[ok] Demonstration data: The demonstration reads nothing from a real computer.');
  expect(lines).toContain('[warn] Data folder: <home>\\Data on <computer> for <user>');
  expect(lines[lines.length - 1]).toBe('Knowledge: built-in ' + status.builtin_version);

  await openTab(page, 'Startup items');
  await page.getByRole('button', { name: 'OneDrive', exact: true }).click();
  await page.getByRole('button', { name: 'Copy details' }).click();
  const details = JSON.parse(await page.evaluate(() => navigator.clipboard.readText()));
  expect(details.name).toBe('OneDrive');
  expect(details.command).toBe('"<home>\\AppData\\Local\\Microsoft\\OneDrive\\OneDrive.exe" /background');
  expect(Object.keys(details)).toEqual(['name', 'command', 'location', 'level', 'effect']);
});

test('a failing self-check and a failing scan show their notes and the page keeps working', async ({ page, problems }) => {
  problems.allow(/status of 500/);
  await page.route('**/api/doctor', (route) => route.fulfill({ status: 500, json: { ok: false, error: 'The doctor is out.' } }));
  await page.route('**/api/scan', async (route) => {
    if (route.request().postDataJSON().what === 'apps') await route.fulfill({ status: 500, body: 'not json' });
    else await route.continue();
  });
  await openTab(page, 'Health & updates');
  await expect(page.locator('#probes')).toContainText('Failed');
  await expect(page.locator('#probes')).toContainText('Self-check');
  await expect(page.locator('#probes')).toContainText('The doctor is out.');
  await openTab(page, 'Installed apps');
  await expect(page.getByRole('tabpanel')).toContainText('The scan failed: The program answered 500');
  await openTab(page, 'Running now');
  await expect(page.getByRole('tabpanel')).toContainText('Mozilla Firefox');
});

test('the theme follows the system first and the choice survives a reload', async ({ page }) => {
  await page.emulateMedia({ colorScheme: 'dark' });
  await page.reload();
  await expect(page.locator('html')).toHaveAttribute('data-theme', 'dark');
  await page.getByRole('button', { name: 'Theme' }).click();
  await expect(page.locator('html')).toHaveAttribute('data-theme', 'light');
  await page.reload();
  await expect(page.locator('#rows-startup tr').first()).toBeVisible();
  await expect(page.locator('html')).toHaveAttribute('data-theme', 'light');
});

test('Quit with a change waiting asks first, then the program stops', async ({ page, program }) => {
  await page.getByRole('switch', { name: 'Starts: Steam' }).check();
  await page.getByRole('button', { name: 'Quit' }).click();
  const confirm = page.getByRole('alertdialog');
  await expect(confirm).toContainText('There are changes waiting that have not been applied. Quit anyway?');
  await confirm.getByRole('button', { name: 'Cancel' }).click();
  await expect(page.locator('#sysline')).toContainText('DEMO-PC');
  await page.getByRole('button', { name: 'Quit' }).click();
  await confirm.getByRole('button', { name: 'Quit' }).click();
  await expect(page.locator('body')).toHaveText('Bootsmith has stopped. You can close this tab.');
  expect(await program.exited).toEqual({ code: 0, signal: null });
});
