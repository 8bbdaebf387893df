# A change that is in effect already succeeds, as systemctl's does, so that
# scripts and fleet tools may run it again and again: `disable` twice (as root
# for a system unit, as alice for her own), the second run exits 0 with the
# nothing-to-do sentence, changes nothing and records nothing.
#
# Puts the seeded units back as they were.

if ! have_bootsmith; then
    skip "disable twice" "no bootsmith in the build folder yet"
    return 0
fi

DAEMON=realhost-daemon.service
NOTES=realhost-notes.service
JOURNAL=/var/lib/bootsmith/journal.jsonl
USER_JOURNAL=$GUEST_HOME/.local/share/bootsmith/journal.jsonl

lines_of() { in_root sh -c 'cat "$1" 2>/dev/null | wc -l' sh "$1"; }
put_back() {
    in_root systemctl enable --quiet --now "$DAEMON" || true
    in_user systemctl --user enable --quiet --now "$NOTES" || true
}
trap put_back EXIT

# runner | unit | journal | is-enabled
rows=(
    "bs_root|$DAEMON|$JOURNAL|in_root systemctl is-enabled $DAEMON"
    "bs_user|$NOTES|$USER_JOURNAL|in_user systemctl --user is-enabled $NOTES"
)
for row in "${rows[@]}"; do
    IFS='|' read -r runner unit journal enabled_cmd <<<"$row"
    "$runner" disable "$unit" --yes
    expect_status "$runner: the first disable of $unit succeeds" 0
    records=$(lines_of "$journal")
    "$runner" disable "$unit" --yes
    expect_status "$runner: the second disable of $unit succeeds too" 0
    expect_eq "$runner: it says that nothing needed doing" \
        "Nothing needed doing: $unit is already switched off." "$OUT"
    expect_eq "$runner: and reports nothing on stderr" "" "$ERR"
    expect_eq "$runner: the history has no record of it" "$records" "$(lines_of "$journal")"
    capture $enabled_cmd
    expect_eq "$runner: $unit stays disabled" disabled "$OUT"
done
