# A restore puts an entry back in the state the backup recorded. Alice makes a
# user service and an @reboot line, switches both off, backs up, removes both
# and restores the backup: both exist again and are off (systemd and her
# crontab say so), and after a reboot neither ran.
#
# Runs after the other reboot checks, with a reboot of its own; leaves nothing
# created behind.

if ! have_bootsmith; then
    skip "restore state across a reboot" "no bootsmith in the build folder yet"
    return 0
fi

WORKER=/usr/local/bin/realhost-worker
SERVICE_UNIT=bootsmith-rh-restored.service
SERVICE_FILE=$GUEST_HOME/.config/systemd/user/$SERVICE_UNIT
CRON_NAME="@reboot $WORKER rh-restored-cron"
BACKUP=$GUEST_HOME/rh-93-backup.json
MARKS=(/tmp/realhost-rh-restored-service.ran /tmp/realhost-rh-restored-cron.ran)

user_unit_enabled() { in_user systemctl --user is-enabled "$1" 2>/dev/null || true; }
crontab_line() { in_user crontab -l 2>/dev/null | grep -F "$WORKER rh-restored-cron" || true; }
put_back() {
    if in_root test -e "$SERVICE_FILE"; then
        in_user systemctl --user disable --now --quiet "$SERVICE_UNIT" || true
        in_root rm -f "$SERVICE_FILE" || true
        in_user systemctl --user daemon-reload || true
    fi
    in_root crontab -u "$GUEST_USER" /usr/local/share/realhost/crontab.alice || true
    in_root rm -f "$BACKUP" "${MARKS[@]}" || true
}
trap put_back EXIT

bs_user add "$WORKER" --args rh-restored-service --mode user-service --name "RH Restored" --yes
expect_status "user: a user service is made" 0
bs_user add "$WORKER" --args rh-restored-cron --mode cron --name "RH Restored Cron" --yes
expect_status "user: an @reboot line is made" 0
bs_user disable "$SERVICE_UNIT" --yes
expect_status "user: the service is switched off" 0
bs_user disable "$CRON_NAME" --yes
expect_status "user: the @reboot line is switched off" 0
bs_user backup --out "$BACKUP"
expect_status "user: a backup is saved" 0
bs_user remove "$SERVICE_UNIT" --yes
expect_status "user: the service is removed" 0
bs_user remove "$CRON_NAME" --yes
expect_status "user: the @reboot line is removed" 0
expect_fails "the service file is gone" in_root test -e "$SERVICE_FILE"

bs_user restore "$BACKUP" --apply --yes
expect_status "user: restore --apply --yes succeeds" 0
expect_contains "it says the entries are off again" "$OUT" "It is switched off, as the backup had it."
expect_ok "the service file is back" in_root test -e "$SERVICE_FILE"
expect_eq "systemctl --user: the restored service is disabled" disabled \
    "$(user_unit_enabled "$SERVICE_UNIT")"
expect_match "her crontab has the line again, switched off" "$(crontab_line)" '^#bootsmith-off# @reboot '

in_root rm -f "${MARKS[@]}"
guest_reboot

# The lingering user's own unit starting shows her manager is up.
for _ in $(seq 1 100); do
    [[ $(in_user systemctl --user is-active realhost-notes.service 2>/dev/null || true) == active ]] && break
    sleep 0.1
done
sleep 3
expect_fails "after the reboot the restored service did not run" in_root test -e "${MARKS[0]}"
expect_fails "after the reboot the restored @reboot line did not run" in_root test -e "${MARKS[1]}"
expect_eq "the restored service is still disabled" disabled "$(user_unit_enabled "$SERVICE_UNIT")"
