# What bootsmith changed holds across a real boot. Before a reboot it
# switches off a system unit, alice's user unit and her @reboot line, and
# creates a boot service (through sudo, so it runs as alice), a user service
# and three @reboot lines (one with a working folder and a "%" that cron must
# not cut at, one whose working folder itself holds a "%"). After the boot,
# what was created ran (each leaves a mark with the account it ran as), and
# what was switched off did not start. The marks of what was created are
# waited for first, so the missing marks of what was switched off mean
# something.
#
# Runs after 90_reboot.sh with a reboot of its own, and puts everything back
# afterwards (the seeded units running again, nothing created left).

if ! have_bootsmith; then
    skip "changes across a reboot" "no bootsmith in the build folder yet"
    return 0
fi

WORKER=/usr/local/bin/realhost-worker
DAEMON=realhost-daemon.service
NOTES=realhost-notes.service
CRON_NAME="@reboot $WORKER user-cron"
BOOT_UNIT=bootsmith-rh-reboot-boot.service
SERVICE_UNIT=bootsmith-rh-reboot-service.service
SERVICE_FILE=$GUEST_HOME/.config/systemd/user/$SERVICE_UNIT
CRON_MADE_NAME="@reboot $WORKER reboot-cron"
PCT_LINE="@reboot cd /tmp && $WORKER reboot-50\\% # bootsmith:rh-reboot-pct"
PCT_FOLDER="$GUEST_HOME/rh 50%"
MARKS=(daemon notes user-cron reboot-boot reboot-service reboot-cron reboot-50% reboot-50
       reboot-pct-folder)

unit_enabled() { in_root systemctl is-enabled "$1" 2>/dev/null || true; }
unit_active() { in_root systemctl is-active "$1" 2>/dev/null || true; }
user_unit_active() { in_user systemctl --user is-active "$1" 2>/dev/null || true; }
mark_file() { printf '/tmp/realhost-%s.ran' "$1"; }
remove_marks() {
    local mark
    for mark in "${MARKS[@]}"; do
        in_root rm -f "$(mark_file "$mark")" || true
    done
}
# Waits up to 15 s for a mark, then prints who left it (empty when none came).
# The waiting happens inside, so that it costs one command, not one a try.
wait_for_mark() {
    in_root sh -c '
        i=0
        while [ "$i" -lt 150 ]; do
            [ -s "$1" ] && exec cat "$1"
            sleep 0.1
            i=$((i + 1))
        done' sh "$(mark_file "$1")" || true
}

put_back() {
    if in_root test -e "/etc/systemd/system/$BOOT_UNIT"; then
        in_root systemctl disable --now --quiet "$BOOT_UNIT" || true
        in_root rm -f "/etc/systemd/system/$BOOT_UNIT" || true
        in_root systemctl daemon-reload || true
    fi
    if in_root test -e "$SERVICE_FILE"; then
        in_user systemctl --user disable --now --quiet "$SERVICE_UNIT" || true
        in_root rm -f "$SERVICE_FILE" || true
        in_user systemctl --user daemon-reload || true
    fi
    in_root crontab -u "$GUEST_USER" /usr/local/share/realhost/crontab.alice || true
    in_root rm -rf "$PCT_FOLDER" || true
    in_root systemctl enable --quiet --now "$DAEMON" || true
    in_user systemctl --user enable --quiet --now "$NOTES" || true
    remove_marks
}
trap put_back EXIT

# ---------------------------------------------------------------- before the reboot

bs_sudo disable "$DAEMON" --yes
expect_status "sudo: disable $DAEMON before the reboot" 0
bs_user disable "$NOTES" --yes
expect_status "user: disable $NOTES before the reboot" 0
bs_user disable "$CRON_NAME" --yes
expect_status "user: disable her @reboot line before the reboot" 0

bs_sudo add "$WORKER" --args reboot-boot --mode boot --name "RH Reboot Boot" --yes
expect_status "sudo: add a boot service before the reboot" 0
capture in_root grep -x "User=$GUEST_USER" "/etc/systemd/system/$BOOT_UNIT"
expect_status "the boot service made through sudo runs as alice" 0
bs_user add "$WORKER" --args reboot-service --mode user-service --name "RH Reboot Service" --yes
expect_status "user: add a user service before the reboot" 0
bs_user add "$WORKER" --args reboot-cron --mode cron --name "RH Reboot Cron" --yes
expect_status "user: add an @reboot line before the reboot" 0
bs_user add "$WORKER" --args 'reboot-50%' --workdir /tmp --mode cron --name "RH Reboot Pct" --yes
expect_status "user: add an @reboot line with a working folder and a % before the reboot" 0
capture in_user crontab -l
expect_contains "the % is escaped for cron and the line goes to the working folder" "$OUT" "$PCT_LINE"
in_user mkdir -p "$PCT_FOLDER"
bs_user add "$WORKER" --args reboot-pct-folder --workdir "$PCT_FOLDER" --mode cron \
    --name "RH Pct Folder" --yes
expect_status "user: add an @reboot line whose working folder holds a % before the reboot" 0
capture in_user crontab -l
expect_contains "the % of the working folder is escaped for cron too" "$OUT" \
    "@reboot cd '$GUEST_HOME/rh 50\\%' && $WORKER reboot-pct-folder # bootsmith:rh-pct-folder"

remove_marks
guest_reboot

# ---------------------------------------------------------------- after the reboot

expect_eq "the created boot service ran at boot, as alice" "$GUEST_USER" "$(wait_for_mark reboot-boot)"
expect_eq "systemctl: the created boot service runs" active "$(unit_active "$BOOT_UNIT")"
expect_eq "the created user service ran at boot, as alice" "$GUEST_USER" "$(wait_for_mark reboot-service)"
expect_eq "systemctl --user: the created user service runs" active "$(user_unit_active "$SERVICE_UNIT")"
expect_eq "the created @reboot line ran, as alice" "$GUEST_USER" "$(wait_for_mark reboot-cron)"
expect_eq "the @reboot line with a working folder ran with its whole argument" "$GUEST_USER" \
    "$(wait_for_mark 'reboot-50%')"
expect_fails "cron did not cut that line at the %" in_root test -e "$(mark_file reboot-50)"
expect_eq "the @reboot line went into a working folder holding a %, and ran" "$GUEST_USER" \
    "$(wait_for_mark reboot-pct-folder)"

expect_eq "systemctl: the switched-off $DAEMON did not start" inactive "$(unit_active "$DAEMON")"
expect_eq "systemctl: $DAEMON is still disabled" disabled "$(unit_enabled "$DAEMON")"
expect_fails "the switched-off $DAEMON left no mark" in_root test -e "$(mark_file daemon)"
expect_eq "systemctl --user: her switched-off $NOTES did not start" inactive "$(user_unit_active "$NOTES")"
expect_fails "her switched-off $NOTES left no mark" in_root test -e "$(mark_file notes)"
expect_fails "her switched-off @reboot line did not run" in_root test -e "$(mark_file user-cron)"

# ---------------------------------------------------------------- back as it was

bs_sudo remove "$BOOT_UNIT" --yes
expect_status "sudo: the boot service is removed after the reboot" 0
expect_eq "systemctl: removing it stopped it" inactive "$(unit_active "$BOOT_UNIT")"
bs_user remove "$SERVICE_UNIT" --yes
expect_status "user: the user service is removed after the reboot" 0
bs_user remove "$CRON_MADE_NAME" --yes
expect_status "user: the @reboot line is removed after the reboot" 0
bs_user remove "@reboot cd /tmp && $WORKER" --yes
expect_status "user: the @reboot line with a working folder is removed after the reboot" 0
bs_user remove "@reboot cd '$GUEST_HOME/rh 50" --yes
expect_status "user: the @reboot line with a % in its folder is removed after the reboot" 0
bs_user enable "$CRON_NAME" --yes
expect_status "user: her @reboot line is switched on again" 0
capture in_user crontab -l
expect_eq "her crontab is as seeded again" \
    $'# The test user\'s own jobs.\n'"$CRON_NAME" "$OUT"
bs_user enable "$NOTES" --yes
expect_status "user: $NOTES is switched on again" 0
bs_sudo enable "$DAEMON" --yes
expect_status "sudo: $DAEMON is switched on again" 0

trap - EXIT
put_back
expect_eq "left as found: $DAEMON runs" active "$(unit_active "$DAEMON")"
expect_eq "left as found: her $NOTES runs" active "$(user_unit_active "$NOTES")"
