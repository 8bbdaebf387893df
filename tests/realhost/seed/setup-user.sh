# Runs inside the guest as the test user, with its session variables.
set -euo pipefail
systemctl --user daemon-reload
systemctl --user enable --quiet --now realhost-notes.service
# A desktop program that runs now but does not start by itself.
setsid -f /usr/local/bin/realhost-notepad infinity </dev/null >/dev/null 2>&1
