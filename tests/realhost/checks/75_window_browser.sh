# The window page in a real browser on a real systemd: alice starts
# `bootsmith serve`, this machine's Chromium is started inside the guest's
# network (nsenter --net, so 127.0.0.1 is the guest's) and driven by the
# Playwright test tests/browser/realhost/alice.spec.js: it switches her user
# unit off from the page, her `systemctl --user` must say disabled, then the
# History tab's undo must make it enabled again, and Quit ends the window.
#
# Leaves her unit enabled and no window or browser process behind.

BROWSER_DIR=$REALHOST_HERE/../browser
if ! have_bootsmith; then
    skip "the window in Chromium" "no bootsmith in the build folder yet"
    return 0
fi
if [ ! -x /usr/bin/chromium ] || [ ! -d "$BROWSER_DIR/node_modules/@playwright/test" ]; then
    skip "the window in Chromium" "chromium or the browser tests' npm packages are not installed (bash tests/browser/run.sh installs them)"
    return 0
fi

UNIT=realhost-notes.service
OUT=/tmp/rh-75-window.out
TOOLS=$(mktemp -d)
WINDOW_PID=

stop_all() {
    if [ -n "$WINDOW_PID" ] && in_root test -d "/proc/$WINDOW_PID"; then
        in_root kill -KILL "$WINDOW_PID" || true
    fi
    in_root rm -f "$OUT" || true
    in_user systemctl --user enable --quiet "$UNIT" || true
    rm -rf "$TOOLS"
}
trap stop_all EXIT

# shellcheck disable=SC2016 # expanded by the guest's bash
WINDOW_PID=$(in_user bash -c 'BOOTSMITH_NO_BROWSER=1 "$1" serve >"$2" 2>&1 </dev/null & echo $!' \
    sh "$REALHOST_BOOTSMITH" "$OUT")
printed=
for _ in $(seq 1 100); do
    printed=$(in_root cat "$OUT" 2>/dev/null || true)
    case $printed in *"to stop it."*) break ;; esac
    sleep 0.2
done
LINK=$(printf '%s' "$printed" | grep -o 'http://127\.0\.0\.1:[0-9]*/#k=[0-9a-f]\{64\}' | head -n 1 || true)
expect_match "the window prints its one-time link" "$LINK" '^http://127\.0\.0\.1:[0-9]+/#k=[0-9a-f]{64}$'

GUEST=$(rh_guest_pid "$REALHOST_RUN")
cat >"$TOOLS/chromium" <<EOF
#!/bin/sh
exec nsenter --net=/proc/$GUEST/ns/net -- /usr/bin/chromium "\$@"
EOF
cat >"$TOOLS/is-enabled" <<EOF
#!/usr/bin/env bash
source "$REALHOST_HERE/host.sh"
rh_exec_user_in "$REALHOST_RUN" systemctl --user is-enabled "\$1" 2>/dev/null || true
EOF
chmod +x "$TOOLS/chromium" "$TOOLS/is-enabled"

status=0
(cd "$BROWSER_DIR" && CHROMIUM="$TOOLS/chromium" REALHOST_LINK="$LINK" REALHOST_UNIT="$UNIT" \
    REALHOST_IS_ENABLED="$TOOLS/is-enabled" timeout 300 npx --no-install playwright test \
    -c realhost.config.js >"$TOOLS/log" 2>&1) || status=$?
if [ "$status" -eq 0 ]; then
    assert_pass "the page switches $UNIT off, systemd agrees, and History undoes it"
else
    assert_fail "the page switches $UNIT off, systemd agrees, and History undoes it" \
        "$(grep -v '^\s*$' "$TOOLS/log" | grep -v 'pid=' | tail -n 40)"
fi
expect_eq "systemctl --user: $UNIT is enabled after the page's undo" enabled \
    "$(in_user systemctl --user is-enabled "$UNIT" 2>/dev/null || true)"

ended=no
for _ in $(seq 1 20); do
    if ! in_root test -d "/proc/$WINDOW_PID"; then ended=yes; break; fi
    sleep 1
done
expect_eq "Quit on the page ends the window" yes "$ended"
