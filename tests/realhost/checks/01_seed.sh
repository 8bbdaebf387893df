# The seeded start-up entries are in the states the later checks rely on,
# as systemd, cron and the file system report them.

# unit | wanted `systemctl is-enabled` | wanted ActiveState
system_units=(
    "realhost-daemon.service|enabled|active"
    "realhost-idle.service|disabled|active"
    "realhost-static.service|static|active"
    "realhost-legacy.service|masked|inactive"
    "realhost-tick.timer|enabled|active"
    "cron.service|enabled|active"
)
for row in "${system_units[@]}"; do
    IFS='|' read -r unit enabled active <<<"$row"
    capture in_root systemctl is-enabled "$unit"
    expect_eq "$unit is $enabled" "$enabled" "$OUT"
    capture in_root systemctl show -p ActiveState --value "$unit"
    expect_eq "$unit is $active" "$active" "$OUT"
done

capture in_user systemctl --user is-enabled realhost-notes.service
expect_eq "the user's realhost-notes.service is enabled" enabled "$OUT"
capture in_user systemctl --user is-active realhost-notes.service
expect_eq "the user's realhost-notes.service runs" active "$OUT"

capture in_root stat -c '%U %a' /etc/rc.local /etc/cron.d/realhost-reboot
expect_eq "rc.local is executable, the cron.d file is root's and not writable by others" \
    $'root 755\nroot 644' "$OUT"

capture in_root stat -c '%U' "$GUEST_HOME/.config/autostart/realhost-clock.desktop" \
    "$GUEST_HOME/.config/autostart/realhost-updater.desktop" \
    "$GUEST_HOME/.config/systemd/user/realhost-notes.service"
expect_eq "the user's seeded files belong to the user" \
    "$GUEST_USER"$'\n'"$GUEST_USER"$'\n'"$GUEST_USER" "$OUT"

capture in_root grep -x 'Hidden=true' "$GUEST_HOME/.config/autostart/realhost-updater.desktop"
expect_status "the user's override hides the computer-wide updater entry" 0

capture in_root sh -c 'ls /etc/xdg/autostart/realhost-* /usr/share/applications/realhost-*'
expect_eq "computer-wide autostart entries and applications are in place" \
    "$(printf '%s\n' /etc/xdg/autostart/realhost-tray.desktop \
        /etc/xdg/autostart/realhost-updater.desktop \
        /usr/share/applications/realhost-clock.desktop \
        /usr/share/applications/realhost-notepad.desktop \
        /usr/share/applications/realhost-settings.desktop \
        /usr/share/applications/realhost-viewer.desktop)" "$OUT"

capture in_root pgrep -u "$GUEST_USER" -f "^/usr/local/bin/realhost-notepad "
expect_match "the user's notepad runs without being a start-up entry" "$OUT" '^[0-9]+$'

for program in tray updater clock notepad viewer settings; do
    expect_ok "the program of realhost-$program exists" in_root test -x "/usr/local/bin/realhost-$program"
done
