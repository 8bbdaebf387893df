// The one browser test that runs against a real systemd: started by the
// real-host check 75 with CHROMIUM naming a Chromium that runs inside the
// guest's network, and REALHOST_* describing the window it opened there.
const base = require('./playwright.config.js');

module.exports = {
  ...base,
  testDir: './realhost',
  testIgnore: [],
  workers: 1,
  timeout: 120000,
  outputDir: '/tmp/bootsmith-realhost-browser-results',
};
