# After a backup, a unit installed and another one switched on behind
# Bootsmith's back (as a package upgrade would do) are exactly the two changes
# that `doctor` reports at its end.
#
# Leaves realhost-idle.service disabled as seeded, and no extra unit or backup.

if ! have_bootsmith; then
    skip "what changed since the last backup" "no bootsmith in the build folder yet"
    return 0
fi
# shellcheck source=../reading.sh
source "$REALHOST_HERE/reading.sh"
need_jq "what changed since the last backup" || return 0

IDLE=realhost-idle.service
FRESH=rh96-fresh.service
BACKUPS=/var/lib/bootsmith/backups
BACKUP_LIST=/root/rh-96-backups-before

put_back() {
    in_root systemctl disable --quiet "$IDLE" || true
    in_root rm -f "/etc/systemd/system/$FRESH" || true
    in_root systemctl daemon-reload || true
    # Only the backup this check saved goes.
    in_root sh -c 'ls "$1" 2>/dev/null | grep -vxF -f "$2" | sed "s|^|$1/|" | xargs -r rm -f' \
        sh "$BACKUPS" "$BACKUP_LIST" || true
    in_root rm -f "$BACKUP_LIST" || true
}
trap put_back EXIT
in_root sh -c 'ls "$1" 2>/dev/null > "$2"; true' sh "$BACKUPS" "$BACKUP_LIST"

bs_root backup
expect_status "root: backup saves" 0

in_root sh -c 'printf "%s\n" "[Unit]" "Description=rh96 fresh" "[Service]" "ExecStart=/bin/true" \
    "[Install]" "WantedBy=multi-user.target" > /etc/systemd/system/rh96-fresh.service'
in_root systemctl daemon-reload
in_root systemctl enable --quiet "$IDLE"

bs_root list --json
name_of() { jq_of "$OUT" '[.[] | select(.id | contains($u)) | .name] | first // "?"' --arg u "$1"; }
fresh_name=$(name_of "|$FRESH")
idle_name=$(name_of "|$IDLE")

bs_root doctor
expect_status "root: doctor succeeds" 0
mapfile -t lines <<<"$OUT"
n=${#lines[@]}
summary=${lines[n - 3]:-}
expect_match "doctor names the time of the backup" "$summary" \
    '^Since your last backup \([0-9]{4}-[0-9]{2}-[0-9]{2} [0-9:]{8} UTC\): '
expect_eq "doctor reports exactly the installed unit and the one switched on" \
    "1 entries appeared, 1 were switched on, 0 were switched off, 0 disappeared.|Appeared: $fresh_name.|Switched on: $idle_name." \
    "${summary#*UTC): }|${lines[n - 2]:-}|${lines[n - 1]:-}"
# The closing line counts the warnings this guest has, if any.
expect_match "the section follows the closing line after an empty line" \
    "${lines[n - 5]:-}|${lines[n - 4]:-}" \
    '^Everything Bootsmith reads on this computer is working(, with [0-9]+ warnings? above)?\.\|$'
