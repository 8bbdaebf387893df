# A reboot of the guest keeps what was changed inside and starts what is
# switched on for start-up: enabled units, the lingering user's own units,
# @reboot cron lines and rc.local. It runs last: the programs started by
# hand before it are gone afterwards.

# Waits up to 10 s for a file inside the guest.
wait_for_guest_file() {
    local path=$1 i
    for ((i = 0; i < 100; i++)); do
        in_root test -e "$path" && return 0
        sleep 0.1
    done
    return 1
}

in_root rm -f /tmp/realhost-user-cron.ran /tmp/realhost-system-cron.ran
in_root sh -c 'echo kept > /etc/realhost-reboot-mark && : > /run/realhost-before-reboot'

guest_reboot

capture in_root cat /etc/realhost-reboot-mark
expect_eq "a file written before the reboot is still there" kept "$OUT"
expect_fails "/run starts empty again" in_root test -e /run/realhost-before-reboot
capture in_root systemctl is-system-running
expect_match "the guest's systemd finished starting again" "$OUT" '^(running|degraded)$'
expect_ok "rc.local ran at boot" in_root test -e /run/realhost-rc-local.ran

# unit | wanted ActiveState after boot
after_boot=(
    "realhost-daemon.service|active"
    "realhost-idle.service|inactive"
    "realhost-static.service|inactive"
    "realhost-tick.timer|active"
)
for row in "${after_boot[@]}"; do
    IFS='|' read -r unit active <<<"$row"
    capture in_root systemctl show -p ActiveState --value "$unit"
    expect_eq "$unit is $active after boot" "$active" "$OUT"
done
capture in_user systemctl --user is-active realhost-notes.service
expect_eq "the lingering user's enabled unit started at boot" active "$OUT"

if wait_for_guest_file /tmp/realhost-user-cron.ran; then
    capture in_root cat /tmp/realhost-user-cron.ran
    expect_eq "the user's @reboot line ran as the user" "$GUEST_USER" "$OUT"
else
    assert_fail "the user's @reboot line ran as the user" "no mark after 10 s"
fi
if wait_for_guest_file /tmp/realhost-system-cron.ran; then
    capture in_root cat /tmp/realhost-system-cron.ran
    expect_eq "the /etc/cron.d @reboot line ran as root" root "$OUT"
else
    assert_fail "the /etc/cron.d @reboot line ran as root" "no mark after 10 s"
fi

in_root rm -f /etc/realhost-reboot-mark
