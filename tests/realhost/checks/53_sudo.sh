# alice runs bootsmith through sudo: it acts for her, not for root. Files it
# writes into her home, and folders it has to create there (her autostart
# folder is taken away first, so it is made fresh), belong to her; her user
# units are switched and created through runuser, so her own `systemctl
# --user` agrees; her crontab is changed, not root's.
#
# Puts her autostart folder back and leaves no entry behind.

if ! have_bootsmith; then
    skip "changes through sudo" "no bootsmith in the build folder yet"
    return 0
fi

WORKER=/usr/local/bin/realhost-worker
NOTES=realhost-notes.service
AUTOSTART=$GUEST_HOME/.config/autostart
SAVED_AUTOSTART=$GUEST_HOME/.config/rh-53-autostart
TRAY_OVERRIDE=$AUTOSTART/realhost-tray.desktop
LOGIN_FILE=$AUTOSTART/bootsmith-rh-sudo-login.desktop
SERVICE_UNIT=bootsmith-rh-sudo-service.service
SERVICE_FILE=$GUEST_HOME/.config/systemd/user/$SERVICE_UNIT
SERVICE_LINK=$GUEST_HOME/.config/systemd/user/default.target.wants/$SERVICE_UNIT
CRON_NAME="@reboot /usr/local/bin/realhost-worker user-cron"

user_unit_enabled() { in_user systemctl --user is-enabled "$1" 2>/dev/null || true; }
result_line() { printf '%s' "${OUT##*$'\n'}"; }
owners() { in_root stat -c '%U:%G' "$@" 2>&1 || true; }
crontab_sha() { in_user crontab -l 2>/dev/null | sha256sum | cut -d' ' -f1; }

cron_before=$(crontab_sha)
# Her own autostart folder back in its place, whatever was made meanwhile.
autostart_back() {
    if in_root test -d "$SAVED_AUTOSTART"; then
        in_root rm -rf "$AUTOSTART" || true
        in_root mv "$SAVED_AUTOSTART" "$AUTOSTART" || true
    fi
}
put_back() {
    autostart_back
    if in_root test -e "$SERVICE_FILE"; then
        in_user systemctl --user disable --quiet "$SERVICE_UNIT" || true
        in_root rm -f "$SERVICE_FILE" "$SERVICE_LINK" || true
        in_user systemctl --user daemon-reload || true
    fi
    in_user systemctl --user enable --quiet "$NOTES" || true
    in_root crontab -u "$GUEST_USER" /usr/local/share/realhost/crontab.alice || true
}
trap put_back EXIT

# ---------------------------------------------------------------- files and folders in her home

in_root mv "$AUTOSTART" "$SAVED_AUTOSTART"

bs_sudo disable "Realhost Tray" --yes
expect_status "sudo: disable Realhost Tray succeeds" 0
expect_eq "sudo: the new autostart folder and the override belong to alice" \
    "$GUEST_USER:$GUEST_USER"$'\n'"$GUEST_USER:$GUEST_USER" "$(owners "$AUTOSTART" "$TRAY_OVERRIDE")"
capture in_root stat -c '%a' "$TRAY_OVERRIDE"
expect_eq "sudo: the override has mode 644" 644 "$OUT"
capture in_root find "$AUTOSTART" -maxdepth 1 -name '.bootsmith-*'
expect_eq "sudo: no temporary file is left behind" '' "$OUT"
capture in_root test -e /root/.config/autostart/realhost-tray.desktop
expect_status "sudo: nothing was written into root's home" 1

bs_sudo enable "Realhost Tray" --yes
expect_status "sudo: enable Realhost Tray succeeds" 0
expect_fails "sudo: the override is gone again" in_root test -e "$TRAY_OVERRIDE"

bs_sudo add "$WORKER" --args sudo-login --mode login --name "RH Sudo Login" --yes
expect_status "sudo: add --mode login succeeds" 0
expect_eq "sudo: the desktop file belongs to alice" "$GUEST_USER:$GUEST_USER" "$(owners "$LOGIN_FILE")"
bs_user list --json --filter "RH Sudo Login"
expect_match "alice's own scan sees the entry as one bootsmith made" "$OUT" \
    '"name":"RH Sudo Login"[^}]*"origin":"Created by Bootsmith"'
bs_sudo remove "RH Sudo Login" --yes
expect_status "sudo: remove of the autostart entry succeeds" 0
expect_fails "sudo: the desktop file is gone" in_root test -e "$LOGIN_FILE"

capture in_root find "$AUTOSTART" -mindepth 1
expect_eq "the fresh autostart folder holds nothing more" '' "$OUT"
expect_status "the fresh autostart folder is still there" 0
autostart_back

# ---------------------------------------------------------------- her units, through runuser

bs_sudo disable "$NOTES" --yes
expect_status "sudo: disable her $NOTES succeeds" 0
expect_eq "sudo: it says what happens" \
    "$NOTES will no longer start at boot. It keeps running until the next restart." "$(result_line)"
expect_eq "her systemctl --user agrees: $NOTES is disabled" disabled "$(user_unit_enabled "$NOTES")"
bs_sudo enable "$NOTES" --yes
expect_status "sudo: enable her $NOTES succeeds" 0
expect_eq "her systemctl --user agrees: $NOTES is enabled" enabled "$(user_unit_enabled "$NOTES")"

bs_sudo add "$WORKER" --args sudo-service --mode user-service --name "RH Sudo Service" --yes
expect_status "sudo: add --mode user-service succeeds" 0
expect_eq "sudo: it names her new unit" "Created: $SERVICE_UNIT (systemd service (this user))." \
    "$(result_line)"
expect_eq "her systemctl --user: the new unit is enabled" enabled "$(user_unit_enabled "$SERVICE_UNIT")"
expect_eq "sudo: the unit file and its link belong to alice" \
    "$GUEST_USER:$GUEST_USER"$'\n'"$GUEST_USER:$GUEST_USER" "$(owners "$SERVICE_FILE" "$SERVICE_LINK")"
expect_fails "sudo: no system unit of that name was made" in_root test -e "/etc/systemd/system/$SERVICE_UNIT"
bs_sudo remove "$SERVICE_UNIT" --yes
expect_status "sudo: remove of her user service succeeds" 0
expect_fails "sudo: her unit file is gone" in_root test -e "$SERVICE_FILE"
expect_fails "her systemctl --user no longer knows it" in_user systemctl --user is-enabled "$SERVICE_UNIT"

# ---------------------------------------------------------------- her crontab, not root's

bs_sudo disable "$CRON_NAME" --yes
expect_status "sudo: disable her @reboot line succeeds" 0
capture in_user crontab -l
expect_contains "sudo: her crontab has the line switched off" "$OUT" \
    "#bootsmith-off# $CRON_NAME"
capture in_root crontab -l
expect_status "sudo: root still has no crontab" 1
bs_sudo enable "$CRON_NAME" --yes
expect_status "sudo: enable her @reboot line succeeds" 0
expect_eq "sudo: her crontab is byte for byte as before" "$cron_before" "$(crontab_sha)"

trap - EXIT
put_back
capture in_root stat -c '%U' "$AUTOSTART/realhost-clock.desktop"
expect_eq "left as found: her autostart folder is back" "$GUEST_USER" "$OUT"
