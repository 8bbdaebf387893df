# Switching as the ordinary user alice: her own systemd unit (checked with
# her `systemctl --user`), a computer-wide autostart entry (a personal
# override that goes away again when switched back on), the override she
# wrote herself (edited, never deleted), her own autostart entry, and her
# @reboot cron line (commented out and back, byte for byte). A system unit
# needs administrator rights: exit status 3, and nothing changes.
#
# Leaves every entry as it found it (the seeded files are put back byte for
# byte at the end).

if ! have_bootsmith; then
    skip "switching as the user" "no bootsmith in the build folder yet"
    return 0
fi

NOTES=realhost-notes.service
AUTOSTART=$GUEST_HOME/.config/autostart
TRAY_SYSTEM=/etc/xdg/autostart/realhost-tray.desktop
TRAY_OVERRIDE=$AUTOSTART/realhost-tray.desktop
UPDATER=$AUTOSTART/realhost-updater.desktop
CLOCK=$AUTOSTART/realhost-clock.desktop
CRON_NAME="@reboot /usr/local/bin/realhost-worker user-cron"
USER_DATA=$GUEST_HOME/.local/share/bootsmith
ADMIN_LINE="  This needs administrator rights. Run it again with sudo."

user_unit_enabled() { in_user systemctl --user is-enabled "$1" 2>/dev/null || true; }
user_unit_active() { in_user systemctl --user is-active "$1" 2>/dev/null || true; }
result_line() { printf '%s' "${OUT##*$'\n'}"; }
file_sha() { in_root sha256sum "$1" 2>/dev/null | cut -d' ' -f1 || true; }
crontab_sha() { in_user crontab -l 2>/dev/null | sha256sum | cut -d' ' -f1; }
# Desktop-entry keys of one file, one "key=value" a line, in file order.
keys_of() { in_root grep -E '^(Hidden|X-GNOME-Autostart-enabled|X-Bootsmith-Override)=' "$1" 2>/dev/null || true; }
leftover_temps() { in_root find "$AUTOSTART" -maxdepth 1 -name '.bootsmith-*' -printf '%f\n'; }
user_records() { in_root sh -c 'cat "$1" 2>/dev/null | wc -l' sh "$USER_DATA/journal.jsonl"; }
user_backups() { in_root sh -c 'ls "$1" 2>/dev/null | wc -l' sh "$USER_DATA/backups/auto"; }

# The seeded files, put back exactly however the check ends.
in_root mkdir -p /root/rh-51
in_root cp -p "$UPDATER" "$CLOCK" /root/rh-51/
cron_before=$(crontab_sha)
restore_user_entries() {
    in_root cp -p /root/rh-51/realhost-updater.desktop "$UPDATER" || true
    in_root cp -p /root/rh-51/realhost-clock.desktop "$CLOCK" || true
    in_root rm -f "$TRAY_OVERRIDE" || true
    in_root crontab -u "$GUEST_USER" /usr/local/share/realhost/crontab.alice || true
    in_user systemctl --user enable --quiet "$NOTES" || true
    in_user systemctl --user start "$NOTES" || true
    in_root rm -rf /root/rh-51 || true
}
trap restore_user_entries EXIT

# ---------------------------------------------------------------- her own unit

bs_user disable "$NOTES" --yes
expect_status "user: disable $NOTES succeeds" 0
expect_eq "user: disable says what happens" \
    "$NOTES will no longer start at boot. It keeps running until the next restart." "$(result_line)"
expect_eq "systemctl --user: $NOTES is disabled" disabled "$(user_unit_enabled "$NOTES")"
expect_eq "systemctl --user: $NOTES still runs" active "$(user_unit_active "$NOTES")"

bs_user enable "$NOTES" --yes
expect_status "user: enable $NOTES succeeds" 0
expect_eq "user: enable says what happens" "$NOTES will start at boot." "$(result_line)"
expect_eq "systemctl --user: $NOTES is enabled again" enabled "$(user_unit_enabled "$NOTES")"

# ---------------------------------------------------------------- a computer-wide autostart entry

tray_sha=$(file_sha "$TRAY_SYSTEM")
bs_user disable "Realhost Tray" --yes
expect_status "user: disable Realhost Tray succeeds" 0
expect_eq "user: it is a personal setting" \
    "Realhost Tray will no longer start when you sign in (a personal setting; the program's own file is untouched)." \
    "$(result_line)"
expect_eq "the override hides the entry and carries the override tag" \
    $'Hidden=true\nX-Bootsmith-Override=true\nX-GNOME-Autostart-enabled=false' \
    "$(keys_of "$TRAY_OVERRIDE" | sort)"
capture in_root sh -c 'head -n "$(wc -l <"$1")" "$2"' sh "$TRAY_SYSTEM" "$TRAY_OVERRIDE"
expect_eq "the override begins with every line of the computer's entry" \
    "$(in_root cat "$TRAY_SYSTEM")" "$OUT"
capture in_root stat -c '%U %a' "$TRAY_OVERRIDE"
expect_eq "the override is alice's, mode 644" "$GUEST_USER 644" "$OUT"
expect_eq "the computer's file is untouched" "$tray_sha" "$(file_sha "$TRAY_SYSTEM")"
bs_user list --json --filter "Realhost Tray"
expect_match "the scan sees the entry switched off" "$OUT" '"name":"Realhost Tray"[^}]*"enabled":false'

bs_user enable "Realhost Tray" --yes
expect_status "user: enable Realhost Tray succeeds" 0
expect_eq "user: it says it starts again" \
    "Realhost Tray will start when you sign in (a personal setting; the program's own file is untouched)." \
    "$(result_line)"
expect_fails "off and on again leaves no file in ~/.config/autostart" in_root test -e "$TRAY_OVERRIDE"
expect_eq "no temporary file is left behind" '' "$(leftover_temps)"
expect_eq "the computer's file is still untouched" "$tray_sha" "$(file_sha "$TRAY_SYSTEM")"

# ---------------------------------------------------------------- the override alice wrote herself

bs_user enable "Realhost Updater" --yes
expect_status "user: enable Realhost Updater (hidden by her own override) succeeds" 0
expect_ok "her own override is still there" in_root test -f "$UPDATER"
expect_eq "her override is edited to show the entry, without a bootsmith tag" \
    $'Hidden=false\nX-GNOME-Autostart-enabled=true' "$(keys_of "$UPDATER")"
expect_ok "her override keeps its other lines" in_root grep -qx 'OnlyShowIn=GNOME;XFCE;' "$UPDATER"

bs_user disable "Realhost Updater" --yes
expect_status "user: disable Realhost Updater succeeds" 0
expect_eq "her override hides it again, still without a bootsmith tag" \
    $'Hidden=true\nX-GNOME-Autostart-enabled=false' "$(keys_of "$UPDATER")"
capture in_root stat -c '%U' "$UPDATER"
expect_eq "her override still belongs to her" "$GUEST_USER" "$OUT"

# ---------------------------------------------------------------- her own autostart entry

bs_user disable "Realhost Clock" --yes
expect_status "user: disable Realhost Clock (her own entry) succeeds" 0
expect_eq "her entry is hidden in place" $'X-GNOME-Autostart-enabled=false\nHidden=true' \
    "$(keys_of "$CLOCK")"
bs_user enable "Realhost Clock" --yes
expect_status "user: enable Realhost Clock succeeds" 0
expect_eq "her entry is shown again" $'X-GNOME-Autostart-enabled=true\nHidden=false' \
    "$(keys_of "$CLOCK")"
expect_ok "her entry keeps its command" in_root grep -qx 'Exec=/usr/local/bin/realhost-clock infinity %U' "$CLOCK"

# ---------------------------------------------------------------- her @reboot cron line

bs_user disable "$CRON_NAME" --yes
expect_status "user: disable her @reboot line succeeds" 0
expect_eq "user: it says the line will not run" "$CRON_NAME will no longer run at boot." "$(result_line)"
capture in_user crontab -l
expect_eq "the line is commented out with the off-marker, the rest kept" \
    $'# The test user\'s own jobs.\n#bootsmith-off# @reboot /usr/local/bin/realhost-worker user-cron' "$OUT"

bs_user enable "$CRON_NAME" --yes
expect_status "user: enable her @reboot line succeeds" 0
expect_eq "user: it says the line runs again" "$CRON_NAME will run at boot." "$(result_line)"
expect_eq "off and on again leaves her crontab byte for byte as it was" "$cron_before" "$(crontab_sha)"

# ---------------------------------------------------------------- system entries need rights

records_before=$(user_records)
backups_before=$(user_backups)
bs_user disable realhost-daemon.service --yes
expect_status "user: switching a system unit asks for administrator rights" 3
expect_contains "user: it says to use sudo" "$ERR" "$ADMIN_LINE"
capture in_root systemctl is-enabled realhost-daemon.service
expect_eq "the system unit is still enabled" enabled "$OUT"

bs_user add /usr/local/bin/realhost-worker --args user-boot --mode boot --name "RH User Boot" --yes
expect_status "user: creating a boot service asks for administrator rights" 3
expect_contains "user: it says to use sudo for the boot service too" "$ERR" "$ADMIN_LINE"
capture in_root sh -c 'ls /etc/systemd/system/bootsmith-* 2>/dev/null || true'
expect_eq "no unit file was written" '' "$OUT"
expect_eq "refused changes leave no history record" "$records_before" "$(user_records)"
expect_eq "refused changes save no automatic backup" "$backups_before" "$(user_backups)"

trap - EXIT
restore_user_entries
expect_eq "left as found: her crontab" "$cron_before" "$(crontab_sha)"
expect_eq "left as found: $NOTES enabled" enabled "$(user_unit_enabled "$NOTES")"
