# Creating and removing start-up entries for real. As root: a boot service
# (a systemd system service) that systemd shows enabled, with the exact unit
# text, removed again, and brought back by undoing the removal from the
# history. As alice: a desktop autostart entry, a systemd user service
# enabled for her and an @reboot line in her crontab, each with its exact
# text and name tag, and each removed again.
#
# Leaves nothing behind: every entry created here is removed (by bootsmith,
# and by hand when bootsmith could not).

if ! have_bootsmith; then
    skip "creating and removing entries" "no bootsmith in the build folder yet"
    return 0
fi

WORKER=/usr/local/bin/realhost-worker
BOOT_UNIT=bootsmith-rh-boot.service
BOOT_FILE=/etc/systemd/system/$BOOT_UNIT
LOGIN_FILE=$GUEST_HOME/.config/autostart/bootsmith-rh-login.desktop
SERVICE_UNIT=bootsmith-rh-service.service
SERVICE_FILE=$GUEST_HOME/.config/systemd/user/$SERVICE_UNIT
SERVICE_LINK=$GUEST_HOME/.config/systemd/user/default.target.wants/$SERVICE_UNIT
CRON_NAME="@reboot $WORKER alice-cron"

unit_enabled() { in_root systemctl is-enabled "$1" 2>/dev/null || true; }
unit_active() { in_root systemctl is-active "$1" 2>/dev/null || true; }
user_unit_enabled() { in_user systemctl --user is-enabled "$1" 2>/dev/null || true; }
result_line() { printf '%s' "${OUT##*$'\n'}"; }
# A file's exact bytes as one text; the final "|" keeps trailing line feeds.
file_text() { in_root sh -c 'cat "$1" && printf "|"' sh "$1" 2>/dev/null || true; }
crontab_sha() { in_user crontab -l 2>/dev/null | sha256sum | cut -d' ' -f1; }
# The seq of the newest history row with this action and item, as root.
history_seq() {
    bs_root history
    printf '%s\n' "$OUT" | awk -v action="$1" -v item="$2" '$5 == action && $6 == item { print $2; exit }'
}

cron_before=$(crontab_sha)
remove_leftovers() {
    if in_root test -e "$BOOT_FILE"; then
        in_root systemctl disable --now --quiet "$BOOT_UNIT" || true
        in_root rm -f "$BOOT_FILE" || true
        in_root systemctl daemon-reload || true
    fi
    if in_root test -e "$SERVICE_FILE"; then
        in_user systemctl --user disable --quiet "$SERVICE_UNIT" || true
        in_root rm -f "$SERVICE_FILE" "$SERVICE_LINK" || true
        in_user systemctl --user daemon-reload || true
    fi
    in_root rm -f "$LOGIN_FILE" || true
    in_root crontab -u "$GUEST_USER" /usr/local/share/realhost/crontab.alice || true
}
trap remove_leftovers EXIT

# ---------------------------------------------------------------- a boot service, as root

BOOT_TEXT="[Unit]
Description=RH Boot (started by Bootsmith)
After=network.target
X-Bootsmith=true

[Service]
Type=simple
ExecStart=$WORKER boot-made
User=root
Restart=no

[Install]
WantedBy=multi-user.target
|"

bs_root add "$WORKER" --args boot-made --mode boot --name "RH Boot"
expect_status "root: add of an unlisted program waits for a decision" 4
expect_contains "root: it asks for --yes" "$ERR" \
    "  This needs a decision. Run it again with --yes if you accept that."
expect_contains "root: it says what it would start" "$OUT" \
    "Will make \"RH Boot\" start with the computer: $WORKER boot-made"
expect_fails "root: nothing was written without --yes" in_root test -e "$BOOT_FILE"

bs_root add "$WORKER" --args boot-made --mode boot --name "RH Boot" --yes
expect_status "root: add --mode boot --yes succeeds" 0
expect_eq "root: it names the new service" "Created: $BOOT_UNIT (systemd service)." "$(result_line)"
expect_eq "the unit file has exactly the unit text, running as root" "$BOOT_TEXT" "$(file_text "$BOOT_FILE")"
capture in_root stat -c '%U %a' "$BOOT_FILE"
expect_eq "the unit file is root's, mode 644" "root 644" "$OUT"
expect_eq "systemctl: the new service is enabled" enabled "$(unit_enabled "$BOOT_UNIT")"
expect_eq "systemctl: creating it did not start it" inactive "$(unit_active "$BOOT_UNIT")"
bs_root assess "$BOOT_UNIT"
expect_contains "bootsmith knows it as its own entry" "$OUT" "  Made by Bootsmith."

bs_root remove "$BOOT_UNIT"
expect_status "root: remove without --yes asks for confirmation" 4
expect_contains "root: it says how to confirm" "$ERR" "This deletes the entry. Run it again with --yes to confirm."
expect_ok "root: the unit file is still there" in_root test -e "$BOOT_FILE"

bs_root remove "$BOOT_UNIT" --yes
expect_status "root: remove --yes succeeds" 0
expect_eq "root: it says what was removed" "Removed the service $BOOT_UNIT." "$(result_line)"
expect_fails "the unit file is gone" in_root test -e "$BOOT_FILE"
expect_fails "its link is gone" in_root test -L "/etc/systemd/system/multi-user.target.wants/$BOOT_UNIT"
expect_fails "systemctl is-enabled no longer knows it" in_root systemctl is-enabled "$BOOT_UNIT"

# ---------------------------------------------------------------- undoing the removal

seq=$(history_seq remove "$BOOT_UNIT")
expect_match "the history lists the removal with its seq" "$seq" '^[0-9]+$'
if [[ -n $seq ]]; then
    bs_root undo "$seq"
    expect_status "root: undoing a removal asks for confirmation" 4
    expect_contains "root: it says what it would create" "$ERR" \
        "It would create \"RH Boot\" running: $WORKER boot-made"$'\n'"Run it again with --yes if you accept that."
    expect_not_contains "root: without the CONFIRM: marker" "$ERR" "CONFIRM:"
    expect_fails "root: nothing was created without --yes" in_root test -e "$BOOT_FILE"

    bs_root undo "$seq" --yes
    expect_status "root: undo --yes succeeds" 0
    expect_eq "root: it says what it recreated" "Recreated $BOOT_UNIT." "$(result_line)"
    expect_eq "the recreated unit file has the same text" "$BOOT_TEXT" "$(file_text "$BOOT_FILE")"
    expect_eq "systemctl: the recreated service is enabled" enabled "$(unit_enabled "$BOOT_UNIT")"
    bs_root history
    expect_match "the history marks the removal as undone" "$OUT" \
        "(^|"$'\n'")[0-9]+ +$seq +[0-9-]+ [0-9:]+ +remove +$BOOT_UNIT +[^"$'\n'"]*  \[undone\]"

    bs_root remove "$BOOT_UNIT" --yes
    expect_status "root: the recreated service can be removed again" 0
    expect_fails "the unit file is gone again" in_root test -e "$BOOT_FILE"
else
    skip "undoing the removal" "no seq found in the history"
fi

# ---------------------------------------------------------------- alice: desktop autostart

LOGIN_TEXT="[Desktop Entry]
Type=Application
Name=RH Login
Exec=$WORKER alice-login
Comment=Started at sign-in. Created by Bootsmith.
Terminal=false
X-GNOME-Autostart-enabled=true
X-Bootsmith=true
|"

bs_user add "$WORKER" --args alice-login --mode login --name "RH Login" --yes
expect_status "user: add --mode login succeeds" 0
expect_eq "user: it names the new entry" "Created: RH Login (Desktop autostart (this user))." "$(result_line)"
expect_eq "the desktop file has exactly the entry text" "$LOGIN_TEXT" "$(file_text "$LOGIN_FILE")"
capture in_root stat -c '%U %a' "$LOGIN_FILE"
expect_eq "the desktop file is alice's, mode 644" "$GUEST_USER 644" "$OUT"

bs_user remove "RH Login" --yes
expect_status "user: remove of the autostart entry succeeds" 0
expect_eq "user: it says what was removed" "Removed the autostart entry RH Login." "$(result_line)"
expect_fails "the desktop file is gone" in_root test -e "$LOGIN_FILE"

# ---------------------------------------------------------------- alice: systemd user service

SERVICE_TEXT="[Unit]
Description=RH Service (started by Bootsmith)
X-Bootsmith=true

[Service]
Type=simple
ExecStart=$WORKER alice-service
Restart=no

[Install]
WantedBy=default.target
|"

bs_user add "$WORKER" --args alice-service --mode user-service --name "RH Service" --yes
expect_status "user: add --mode user-service succeeds" 0
expect_eq "user: it names the new unit" "Created: $SERVICE_UNIT (systemd service (this user))." "$(result_line)"
expect_eq "the unit file has exactly the unit text" "$SERVICE_TEXT" "$(file_text "$SERVICE_FILE")"
expect_eq "systemctl --user: the unit is enabled for alice" enabled "$(user_unit_enabled "$SERVICE_UNIT")"
capture in_root stat -c '%U' "$SERVICE_FILE" "$SERVICE_LINK"
expect_eq "the unit file and its link are alice's" "$GUEST_USER"$'\n'"$GUEST_USER" "$OUT"

bs_user remove "$SERVICE_UNIT" --yes
expect_status "user: remove of the user service succeeds" 0
expect_eq "user: it says what was removed" "Removed the service $SERVICE_UNIT." "$(result_line)"
expect_fails "the unit file is gone" in_root test -e "$SERVICE_FILE"
expect_fails "its link is gone" in_root test -L "$SERVICE_LINK"
expect_fails "systemctl --user is-enabled no longer knows it" \
    in_user systemctl --user is-enabled "$SERVICE_UNIT"

# ---------------------------------------------------------------- alice: cron @reboot

bs_user add "$WORKER" --args alice-cron --mode cron --name "RH Cron" --yes
expect_status "user: add --mode cron succeeds" 0
expect_eq "user: it names the new line" "Created: $CRON_NAME (cron @reboot)." "$(result_line)"
capture in_user crontab -l
expect_eq "her crontab gained exactly the tagged line" \
    $'# The test user\'s own jobs.\n@reboot /usr/local/bin/realhost-worker user-cron\n'"$CRON_NAME # bootsmith:rh-cron" "$OUT"

bs_user remove "$CRON_NAME" --yes
expect_status "user: remove of the cron line succeeds" 0
expect_eq "user: it says what was removed" "Removed the cron line." "$(result_line)"
expect_eq "her crontab is byte for byte as before" "$cron_before" "$(crontab_sha)"

trap - EXIT
remove_leftovers
