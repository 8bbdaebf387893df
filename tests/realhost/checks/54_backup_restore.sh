# A backup, then a handful of real changes through sudo (system units, alice's
# unit, autostart entries of every sort, her cron line, removing an entry
# bootsmith made and making a new one), then `restore FILE`: the preview
# changes nothing, `--apply --yes` puts every switched entry back as systemd,
# the files and her crontab show, re-creates the removed entry, and leaves the
# new one until `--all` asks for it too. The first change of a run saves an
# automatic backup of the state before it.
#
# Leaves every entry as the seeds made it.

if ! have_bootsmith; then
    skip "backup and restore" "no bootsmith in the build folder yet"
    return 0
fi

WORKER=/usr/local/bin/realhost-worker
BACKUP=/root/rh-54-backup.json
AUTO_FOLDER=/var/lib/bootsmith/backups/auto
DAEMON=realhost-daemon.service
IDLE=realhost-idle.service
NOTES=realhost-notes.service
AUTOSTART=$GUEST_HOME/.config/autostart
TRAY_OVERRIDE=$AUTOSTART/realhost-tray.desktop
UPDATER=$AUTOSTART/realhost-updater.desktop
CLOCK=$AUTOSTART/realhost-clock.desktop
CRON_NAME="@reboot $WORKER user-cron"
KEEP_NAME="@reboot $WORKER rh-keep"
LATER_NAME="@reboot $WORKER rh-later"

unit_enabled() { in_root systemctl is-enabled "$1" 2>/dev/null || true; }
user_unit_enabled() { in_user systemctl --user is-enabled "$1" 2>/dev/null || true; }
keys_of() { in_root grep -E '^(Hidden|X-GNOME-Autostart-enabled|X-Bootsmith-Override)=' "$1" 2>/dev/null || true; }
crontab_sha() { in_user crontab -l 2>/dev/null | sha256sum | cut -d' ' -f1; }
newest_auto_backup() { in_root sh -c 'ls -t "$1" 2>/dev/null | head -n 1' sh "$AUTO_FOLDER"; }
# Whether a backup file (compact JSON) has this item switched on: true or false.
enabled_in_backup() {
    in_root cat "$1" | grep -oE "\"name\":\"$2\",\"kind\":\"[^\"]*\"[^}]*\"enabled\":(true|false)" |
        grep -oE '(true|false)$' || true
}

in_root mkdir -p /root/rh-54
in_root cp -p "$UPDATER" "$CLOCK" /root/rh-54/
put_back() {
    in_root cp -p /root/rh-54/realhost-updater.desktop "$UPDATER" || true
    in_root cp -p /root/rh-54/realhost-clock.desktop "$CLOCK" || true
    in_root rm -f "$TRAY_OVERRIDE" "$BACKUP" || true
    in_root rm -rf /root/rh-54 || true
    in_root crontab -u "$GUEST_USER" /usr/local/share/realhost/crontab.alice || true
    in_root systemctl enable --quiet --now "$DAEMON" || true
    in_root systemctl disable --quiet "$IDLE" || true
    in_root systemctl start "$IDLE" || true
    in_user systemctl --user enable --quiet --now "$NOTES" || true
}
trap put_back EXIT

# An entry bootsmith made before the backup, removed after it.
bs_sudo add "$WORKER" --args rh-keep --mode cron --name "RH Keep" --yes
expect_status "setup: sudo add of the cron entry RH Keep succeeds" 0

cron_at_backup=$(crontab_sha)
bs_sudo backup --out "$BACKUP" --label "realhost 54"
expect_status "sudo: backup --out succeeds" 0
expect_match "sudo: it says how many items it saved where" "$OUT" "^Saved [1-9][0-9]* items to $BACKUP$"
expect_eq "the backup has $DAEMON on" true "$(enabled_in_backup "$BACKUP" "$DAEMON")"
expect_eq "the backup has $IDLE off" false "$(enabled_in_backup "$BACKUP" "$IDLE")"

# ---------------------------------------------------------------- the changes

# Every run of bootsmith saves an automatic backup before its first change.
auto_before=$(newest_auto_backup)
bs_sudo disable "$DAEMON" --yes
expect_status "sudo: disable $DAEMON succeeds" 0
auto_after=$(newest_auto_backup)
expect_ne "the change saved a new automatic backup" "$auto_before" "$auto_after"
if [[ -n $auto_after ]]; then
    expect_eq "the automatic backup holds the state before the change" true \
        "$(enabled_in_backup "$AUTO_FOLDER/$auto_after" "$DAEMON")"
    capture in_root stat -c '%a' "$AUTO_FOLDER/$auto_after"
    expect_eq "the automatic backup has mode 600" 600 "$OUT"
fi
bs_sudo backups
expect_contains "sudo: backups lists it as automatic" "$OUT" " yes   Automatic, before changes "

# change label | bootsmith action | item name
changes=(
    "enable $IDLE|enable|$IDLE"
    "disable her $NOTES|disable|$NOTES"
    "disable Realhost Tray|disable|Realhost Tray"
    "enable Realhost Updater|enable|Realhost Updater"
    "disable Realhost Clock|disable|Realhost Clock"
    "disable her @reboot line|disable|$CRON_NAME"
    "remove RH Keep|remove|$KEEP_NAME"
)
for row in "${changes[@]}"; do
    IFS='|' read -r label action name <<<"$row"
    bs_sudo "$action" "$name" --yes
    expect_status "sudo: $label succeeds" 0
done
bs_sudo add "$WORKER" --args rh-later --mode cron --name "RH Later" --yes
expect_status "sudo: add of the cron entry RH Later succeeds" 0

expect_eq "after the changes $DAEMON is disabled" disabled "$(unit_enabled "$DAEMON")"

# ---------------------------------------------------------------- preview

bs_sudo restore "$BACKUP"
expect_status "sudo: restore preview succeeds" 0
expect_match "the preview names the backup" "${OUT%%$'\n'*}" \
    '^Backup taken [0-9-]+ [0-9:]+ on realhost \(.*\), [0-9]+ items; label: realhost 54$'
expect_not_contains "the backup is from this computer" "$OUT" "WARNING"
expect_contains "the preview switches $DAEMON back on" "$OUT" \
    "[DO  ] state    $DAEMON - Now off; the backup had it on ("
expect_contains "the preview switches $IDLE back off" "$OUT" \
    "[DO  ] state    $IDLE - Now on; the backup had it off ("
expect_contains "the preview re-creates RH Keep" "$OUT" \
    "[DO  ] recreate $KEEP_NAME - Bootsmith created this entry before; it no longer exists. It can be created again (cron)."
expect_contains "the preview only offers to remove RH Later" "$OUT" "[ask ] remove   $LATER_NAME - "
expect_contains "the preview says nothing was changed" "$OUT" \
    "Nothing was changed. Add --apply to do the items marked DO (and --yes to accept the ones that need a decision)."
expect_eq "the preview changed nothing" disabled "$(unit_enabled "$DAEMON")"

# ---------------------------------------------------------------- apply

bs_sudo restore "$BACKUP" --apply --yes
expect_status "sudo: restore --apply --yes succeeds" 0
expect_not_contains "no change of the restore failed" "$OUT" "FAIL "
expect_contains "the restore reports $DAEMON" "$OUT" "ok   $DAEMON: $DAEMON will start at boot."
expect_eq "restored: $DAEMON enabled" enabled "$(unit_enabled "$DAEMON")"
expect_eq "restored: $IDLE disabled" disabled "$(unit_enabled "$IDLE")"
expect_eq "restored: her $NOTES enabled" enabled "$(user_unit_enabled "$NOTES")"
expect_fails "restored: Realhost Tray has no override any more" in_root test -e "$TRAY_OVERRIDE"
expect_eq "restored: her own override hides Realhost Updater again" \
    $'Hidden=true\nX-GNOME-Autostart-enabled=false' "$(keys_of "$UPDATER")"
expect_eq "restored: Realhost Clock is shown again" $'X-GNOME-Autostart-enabled=true\nHidden=false' \
    "$(keys_of "$CLOCK")"
capture in_user crontab -l
expect_eq "restored: her crontab has her line on, RH Keep again, RH Later still" \
    $'# The test user\'s own jobs.\n'"$CRON_NAME"$'\n'"$LATER_NAME # bootsmith:rh-later"$'\n'"$KEEP_NAME # bootsmith:rh-keep" "$OUT"

bs_sudo restore "$BACKUP" --apply --yes --all
expect_status "sudo: restore --apply --yes --all succeeds" 0
expect_contains "the restore with --all removes RH Later" "$OUT" "ok   $LATER_NAME: Removed the cron line."
expect_eq "restored with --all: her crontab is byte for byte as at the backup" "$cron_at_backup" \
    "$(crontab_sha)"

bs_sudo restore "$BACKUP"
expect_not_contains "afterwards the backup and the computer agree" "$OUT" "[DO  ]"

bs_sudo remove "$KEEP_NAME" --yes
expect_status "sudo: RH Keep is removed at the end" 0

trap - EXIT
put_back
