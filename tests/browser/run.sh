#!/usr/bin/env bash
# Runs the browser tests of the window against BUILD/bootsmith in Debian's
# Chromium. Usage: bash tests/browser/run.sh [BUILD] [playwright arguments...]
# Screenshots of every tab land in build/browser-shots.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
shift || true

have_tools() { [ -x /usr/bin/chromium ] && command -v node >/dev/null && command -v npm >/dev/null; }
if ! have_tools && [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null; then
    wanted=()
    [ -x /usr/bin/chromium ] || wanted+=(chromium)
    command -v node >/dev/null || wanted+=(nodejs)
    command -v npm >/dev/null || wanted+=(npm)
    DEBIAN_FRONTEND=noninteractive apt-get install -y "${wanted[@]}" >/dev/null 2>&1 || true
fi
if ! have_tools; then
    echo "SKIPPED: the browser tests of the window (chromium, nodejs and npm could not be installed)"
    exit 0
fi

cd "$here"
# Playwright's own browser download is never used: the tests drive /usr/bin/chromium.
if [ ! -d node_modules/@playwright/test ] || [ package-lock.json -nt node_modules/.package-lock.json ]; then
    PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error
fi
BOOTSMITH_BIN="$build/bootsmith" exec npx --no-install playwright test "$@"
