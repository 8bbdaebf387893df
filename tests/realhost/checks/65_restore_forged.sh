# A hand-edited backup asks for a "boot" entry that runs a shell as root. The
# restore preview shows the command, the method and the account before
# anything is made; `sudo bootsmith restore --apply --yes` with its output in
# a file still says on the terminal what it made start, and the service it
# makes runs as alice (the account sudo acts for), never as the root the file
# names: started for real, the command writes alice's name.
#
# Leaves nothing behind: the service is removed again (by hand when bootsmith
# could not).

if ! have_bootsmith; then
    skip "a forged backup" "no bootsmith in the build folder yet"
    return 0
fi

FORGED=/root/rh-65-forged.json
UNIT=bootsmith-rh-forged.service
UNIT_FILE=/etc/systemd/system/$UNIT
MARK=/tmp/rh-65.ran
COMMAND="/bin/sh -c 'id -un > $MARK'"

remove_leftovers() {
    if in_root test -e "$UNIT_FILE"; then
        in_root systemctl disable --quiet "$UNIT" || true
        in_root rm -f "$UNIT_FILE" || true
        in_root systemctl daemon-reload || true
    fi
    in_root rm -f "$FORGED" "$MARK" || true
}
trap remove_leftovers EXIT

# The backup as an attacker would write it: one managed item, gone from this
# computer, whose spec wants root. (JSON: the command's quotes are plain.)
in_root sh -c 'cat > "$1"' sh "$FORGED" <<EOF
{"format":"bootsmith-backup","format_version":1,"tool_version":"1.0.0","created":"2026-01-01 00:00:00","label":"forged","host":"","os":"linux","os_version":"","user":"root","count":1,"items":[{"id":"systemd|machine|$UNIT_FILE|bootsmith-rh-forged.service","name":"$UNIT","kind":"systemd","kind_label":"systemd service","scope":"machine","location":"$UNIT_FILE","enabled":true,"state_text":"enabled","running":false,"exe":"/bin/sh","publisher":"","managed":true,"extra":{},"spec":{"name":"RH Forged","command":"$COMMAND","exe":"/bin/sh","workdir":"","mode":"boot","user":"root","description":""}}]}
EOF

bs_sudo restore "$FORGED"
expect_status "sudo: the preview succeeds" 0
expect_contains "the preview marks the re-creation" "$OUT" "[DO  ] recreate $UNIT - "
expect_contains "the preview shows the command" "$OUT" "         command: $COMMAND"
expect_contains "the preview shows the method and alice as the account" "$OUT" \
    "         method: boot; runs as: $GUEST_USER"
expect_contains "the preview asks to read the command" "$OUT" "Read the command carefully"
expect_not_contains "the preview never offers root" "$OUT" "runs as: root"
expect_fails "the preview made nothing" in_root test -e "$UNIT_FILE"

# Output to a file (captured here): what was made start still reaches stderr.
bs_sudo restore "$FORGED" --apply --yes
expect_status "sudo: restore --apply --yes succeeds" 0
expect_contains "stderr says what the re-created entry runs, as alice" "$ERR" \
    "it runs $COMMAND as $GUEST_USER (boot)."
capture in_root grep -E '^User=' "$UNIT_FILE"
expect_eq "the service runs as alice, not root" "User=$GUEST_USER" "$OUT"

in_root rm -f "$MARK"
if in_root test -e "$UNIT_FILE"; then
    in_root systemctl start "$UNIT" || true
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        in_root test -s "$MARK" && break
        sleep 0.3
    done
    capture in_root cat "$MARK"
    expect_eq "started for real, the command ran as alice" "$GUEST_USER" "$OUT"
    bs_sudo remove "$UNIT" --yes
    expect_status "sudo: the re-created service can be removed" 0
else
    skip "starting the re-created service" "no unit file was made"
fi
expect_fails "no service is left" in_root test -e "$UNIT_FILE"

trap - EXIT
remove_leftovers
