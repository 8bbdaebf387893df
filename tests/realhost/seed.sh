#!/usr/bin/env bash
# Puts into a running guest what the start-up scan must meet: autostart
# entries with a personal override, applications, system and user units
# (enabled, masked, static but running, a timer), @reboot cron lines and an
# executable rc.local. The seeds go into the run's overlay, so the cached
# root stays generic.

REALHOST_SEED_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/seed
# shellcheck source=host.sh
source "$(dirname "${BASH_SOURCE[0]}")/host.sh"

rh_seed_in() {
    local run=$1
    # Existing folders keep their owners and modes; nothing seeded is
    # writable by group or others (cron insists on that).
    tar -C "$REALHOST_SEED_DIR/files" --owner=0 --group=0 --mode=go-w -cf - . |
        rh_exec_in "$run" tar -C / --keep-directory-symlink --no-overwrite-dir -xf -
    rh_exec_in "$run" bash -s <"$REALHOST_SEED_DIR/setup-root.sh"
    rh_exec_user_in "$run" bash -s <"$REALHOST_SEED_DIR/setup-user.sh"
}

if [[ ${BASH_SOURCE[0]} == "$0" ]]; then
    set -euo pipefail
    rh_seed_in "$(rh_current_run)"
fi
