// Runs the window page in Debian's Chromium against the real program.
// BOOTSMITH_BIN names the program to start (default: build/bootsmith).
const { defineConfig } = require('@playwright/test');

const args = ['--headless', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
  '--disable-sync', '--no-first-run'];
if (process.getuid && process.getuid() === 0) args.push('--no-sandbox');

module.exports = defineConfig({
  testDir: '.',
  testMatch: '*.spec.js',
  testIgnore: 'realhost/**',
  timeout: 45000,
  expect: { timeout: 10000 },
  workers: Number(process.env.BROWSER_TEST_WORKERS || 2),
  reporter: [['list']],
  outputDir: '../../build/browser-results',
  use: {
    browserName: 'chromium',
    viewport: { width: 1280, height: 800 },
    launchOptions: { executablePath: process.env.CHROMIUM || '/usr/bin/chromium', args },
    trace: 'off',
  },
});
