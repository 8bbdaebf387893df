# Switching real system units as root. systemd itself must agree with what
# bootsmith says it did: `disable` and `enable` change `systemctl
# is-enabled`, `--stop-now` also stops the service while a plain switch
# leaves it running (and switching on starts nothing), every success is in
# the history, and a unit that a link outside bootsmith's reach keeps on is
# reported as still enabled, with exit status 1, instead of as switched off.
#
# Leaves the seeded units as it found them: realhost-daemon.service enabled
# and running, realhost-idle.service disabled and running, no runtime link.

if ! have_bootsmith; then
    skip "switching system units as root" "no bootsmith in the build folder yet"
    return 0
fi

DAEMON=realhost-daemon.service
IDLE=realhost-idle.service
RUNTIME_LINK=/run/systemd/system/multi-user.target.wants/$IDLE
JOURNAL=/var/lib/bootsmith/journal.jsonl

# What systemd says, as one word ("disabled", "inactive", ...).
unit_enabled() { in_root systemctl is-enabled "$1" 2>/dev/null || true; }
unit_active() { in_root systemctl is-active "$1" 2>/dev/null || true; }
# The result line of a change: the last line bootsmith printed.
result_line() { printf '%s' "${OUT##*$'\n'}"; }
journal_lines() { in_root sh -c 'cat "$1" 2>/dev/null | wc -l' sh "$JOURNAL"; }
# The newest history row, without its number, seq and time.
newest_history_row() {
    bs_root history
    printf '%s' "$OUT" | sed -n '2p' | sed -E 's/^[0-9]+ +[0-9]+ +[0-9-]+ [0-9:]+ +//'
}

restore_seeded_units() {
    in_root rm -f "$RUNTIME_LINK" || true
    in_root systemctl daemon-reload || true
    in_root systemctl enable --quiet --now "$DAEMON" || true
    in_root systemctl disable --quiet "$IDLE" || true
    in_root systemctl start "$IDLE" || true
}
trap restore_seeded_units EXIT

# ---------------------------------------------------------------- off and on, running on

bs_root disable "$DAEMON" --yes
expect_status "root: disable $DAEMON succeeds" 0
expect_eq "root: disable says the unit will not start and keeps running" \
    "$DAEMON will no longer start at boot. It keeps running until the next restart." "$(result_line)"
expect_eq "systemctl: $DAEMON is disabled (not masked)" disabled "$(unit_enabled "$DAEMON")"
expect_eq "systemctl: $DAEMON still runs after a plain disable" active "$(unit_active "$DAEMON")"
expect_match "the history's newest row is that disable" "$(newest_history_row)" \
    "^disable +$DAEMON +$DAEMON will no longer start at boot\."

bs_root disable "$DAEMON" --yes
expect_status "root: disabling it again succeeds, with nothing to do" 0
expect_eq "root: it says that nothing needed doing" \
    "Nothing needed doing: $DAEMON is already switched off." "$OUT"

bs_root enable "$DAEMON" --yes
expect_status "root: enable $DAEMON succeeds" 0
expect_eq "root: enable says the unit will start" "$DAEMON will start at boot." "$(result_line)"
expect_eq "systemctl: $DAEMON is enabled again" enabled "$(unit_enabled "$DAEMON")"
expect_match "the history's newest row is that enable" "$(newest_history_row)" \
    "^enable +$DAEMON +$DAEMON will start at boot\."

# ---------------------------------------------------------------- --stop-now

bs_root disable "$DAEMON" --stop-now --yes
expect_status "root: disable --stop-now succeeds" 0
expect_eq "root: disable --stop-now does not promise that it keeps running" \
    "$DAEMON will no longer start at boot." "$(result_line)"
expect_eq "systemctl: $DAEMON is disabled" disabled "$(unit_enabled "$DAEMON")"
expect_eq "systemctl: --stop-now stopped $DAEMON" inactive "$(unit_active "$DAEMON")"

bs_root enable "$DAEMON" --yes
expect_status "root: enable after --stop-now succeeds" 0
expect_eq "systemctl: $DAEMON is enabled" enabled "$(unit_enabled "$DAEMON")"
expect_eq "systemctl: switching on did not start $DAEMON" inactive "$(unit_active "$DAEMON")"
in_root systemctl start "$DAEMON"

# ---------------------------------------------------------------- a link bootsmith cannot remove

# A runtime link (as `systemctl enable --runtime` or a generator makes) keeps
# the unit on; `systemctl disable` only removes the links in /etc.
in_root mkdir -p "${RUNTIME_LINK%/*}"
in_root ln -sfn "/etc/systemd/system/$IDLE" "$RUNTIME_LINK"
in_root systemctl daemon-reload
expect_eq "setup: a runtime link enables $IDLE" enabled-runtime "$(unit_enabled "$IDLE")"

journal_before=$(journal_lines)
bs_root disable "$IDLE" --yes
expect_status "root: disabling a unit that a runtime link keeps on fails" 1
expect_eq "root: it is reported as still enabled" \
    "$IDLE is still enabled: a link outside Bootsmith's reach (set by the vendor or for all users) keeps it on. Bootsmith does not mask units." \
    "$(result_line)"
expect_eq "systemctl: $IDLE is still enabled by its runtime link, not masked" enabled-runtime \
    "$(unit_enabled "$IDLE")"
expect_eq "the failed change left no history record" "$journal_before" "$(journal_lines)"

in_root rm -f "$RUNTIME_LINK"
in_root systemctl daemon-reload
expect_eq "without the runtime link $IDLE is disabled again" disabled "$(unit_enabled "$IDLE")"

trap - EXIT
restore_seeded_units
expect_eq "left as found: $DAEMON enabled" enabled "$(unit_enabled "$DAEMON")"
expect_eq "left as found: $DAEMON running" active "$(unit_active "$DAEMON")"
expect_eq "left as found: $IDLE running" active "$(unit_active "$IDLE")"
