# The test host itself: systemd and the user's own systemd answer, the ways
# of running commands as root, as the user and through sudo behave as on a
# real machine, the guest is fenced off from this machine, and the build
# folder is there read-only.

capture in_root systemctl is-system-running
expect_match "the guest's systemd has finished starting" "$OUT" '^(running|degraded)$'
if [[ $OUT == degraded ]]; then
    capture in_root systemctl list-units --failed --no-legend --plain
    printf 'NOTE %s: failed units in the guest:\n%s\n' "$CHECK_NAME" "$OUT"
fi

capture in_user systemctl --user is-system-running
expect_match "the user's own systemd answers the user" "$OUT" '^(running|degraded)$'

capture in_user sh -c 'id -un; printf "%s\n" "$HOME" "$XDG_RUNTIME_DIR"; pwd'
expect_eq "in_user runs as the user in a session's environment" \
    "$GUEST_USER"$'\n'"$GUEST_HOME"$'\n'/run/user/1000$'\n'"$GUEST_HOME" "$OUT"

capture in_root runuser -u "$GUEST_USER" -- id -u
expect_eq "runuser switches to the user" 1000 "$OUT"

capture in_sudo sh -c 'id -u; printf "%s\n" "$SUDO_USER"'
expect_eq "sudo runs as root and names the user in SUDO_USER" 0$'\n'"$GUEST_USER" "$OUT"

capture in_sudo LC_ALL=C.UTF-8 sh -c 'printf "%s\n" "$LC_ALL"'
expect_eq "settings on sudo's command line reach the command" C.UTF-8 "$OUT"

capture in_root crontab -u "$GUEST_USER" -l
expect_contains "the user's crontab has the seeded @reboot line" "$OUT" \
    '@reboot /usr/local/bin/realhost-worker user-cron'

capture in_root dpkg-query -S /lib/systemd/system/cron.service
expect_eq "dpkg-query names the package of a unit file" \
    'cron: /lib/systemd/system/cron.service' "$OUT"

capture in_root systemctl show -p ActiveState --value rc-local.service
expect_eq "rc-local.service ran the seeded /etc/rc.local" active "$OUT"
expect_ok "rc.local left its mark" in_root test -e /run/realhost-rc-local.ran

# Fences: the guest sees only its own processes, devices and host name, and
# cannot change kernel settings or load modules.
capture in_root cat /proc/1/comm
expect_eq "PID 1 inside is the guest's systemd" systemd "$OUT"
capture in_root hostname
expect_eq "the guest has its own host name" realhost "$OUT"
capture in_root sh -c 'ls /dev | grep -E "^(sd|vd|nvme|xvd|loop|mem|kmsg)" || true'
expect_eq "no disks or kernel memory devices of this machine inside" '' "$OUT"
expect_fails "kernel settings are read-only" in_root sh -c 'echo 1 > /proc/sys/kernel/printk_ratelimit'
capture in_root awk '/^CapBnd:/ { print $2 }' /proc/1/status
bounding=$((16#${OUT:-ffffffffff}))
# Bits 16, 17 and 22: sys_module, sys_rawio, sys_boot.
expect_eq "module loading, raw I/O and reboot are not in the bounding set" 0 \
    $((bounding & (1 << 16 | 1 << 17 | 1 << 22)))

capture in_root findmnt -n -o OPTIONS "$REALHOST_BUILD_MOUNT"
expect_match "the build folder is mounted read-only inside" "$OUT" '(^|,)ro(,|$)'
expect_fails "the build folder cannot be written from inside" \
    in_root touch "$REALHOST_BUILD_MOUNT/.realhost-write-test"

if have_bootsmith; then
    bs_root version
    expect_eq "the built bootsmith runs inside and tells its version" 'Bootsmith 1.0.0' "${OUT%%$'\n'*}"
    expect_status "bootsmith version succeeds" 0
else
    skip "the built bootsmith runs inside" "no bootsmith in the build folder yet"
fi
