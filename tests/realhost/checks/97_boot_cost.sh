# What each entry costs at boot, on a real systemd: a service that sleeps
# 2 s in ExecStartPre= and is wanted by multi-user.target is timed at about
# 2 s after a reboot, the start-up waited for it, the total agrees with the
# manager's own time stamps, and `boot` prints its table. The times come
# from the systemctl show calls `list` already makes (check 15 counts them).
#
# Reboots the guest; removes the unit it installed at the end.

# shellcheck source=../reading.sh
source "$REALHOST_HERE/reading.sh"
if ! have_bootsmith; then
    skip "boot cost" "no bootsmith in the build folder yet"
    return 0
fi
need_jq "boot cost" || return 0

UNIT=realhost-slowstart.service
UNIT_FILE=/etc/systemd/system/$UNIT

put_back() {
    in_root systemctl disable --now --quiet "$UNIT" 2>/dev/null || true
    in_root rm -f "$UNIT_FILE" || true
    in_root systemctl daemon-reload || true
}
trap put_back EXIT

in_root sh -c "printf '%s\n' '[Unit]' 'Description=Realhost slow start' '' '[Service]' \
    'ExecStartPre=/bin/sleep 2' 'ExecStart=/bin/sleep infinity' '' '[Install]' \
    'WantedBy=multi-user.target' >'$UNIT_FILE' && systemctl daemon-reload && \
    systemctl enable --quiet '$UNIT'"
guest_reboot
capture in_root systemctl is-active "$UNIT"
expect_eq "the slow unit started at boot" active "$OUT"

# The JSON of `boot`: the unit's time, whether the boot waited, the total.
bs_root boot --json
expect_status "boot --json as root succeeds" 0
report=$OUT
entry=$(jq -c --arg unit "$UNIT" '.entries[] | select(.name == $unit)' <<<"$report")
ms=$(member "$entry" boot_ms)
expect_eq "boot_ms of the unit that sleeps 2 s is between 1900 and 4000" yes \
    "$([[ $ms =~ ^[0-9]+$ ]] && ((ms >= 1900 && ms <= 4000)) && echo yes || echo "no, '$ms'")"
expect_eq "the start-up waited for it (wanted by multi-user.target)" true "$(member "$entry" waited)"
expect_eq "its level is given" yes \
    "$([[ $(member "$entry" level) =~ ^(safe|low|caution|high|critical|unknown)$ ]] && echo yes || echo no)"
expect_eq "the ranking is longest first, at most 15" true \
    "$(jq_of "$report" '[.entries[].boot_ms] as $t | ($t == ($t | sort | reverse)) and ($t | length) <= 15')"
expect_eq "the advice is one sentence" yes \
    "$(jq_of "$report" '.advice | test("^[A-Z].*[.A-Z]$")' | sed 's/true/yes/')"

# The total from the manager's own stamps, as systemd-analyze computes it: a
# container (no security set-up stamp) counts its userspace only.
capture in_root systemctl show -p UserspaceTimestampMonotonic -p FinishTimestampMonotonic \
    -p SecurityStartTimestampMonotonic -p FirmwareTimestampMonotonic
declare -A stamp=()
while IFS='=' read -r key value; do
    stamp[$key]=$value
done <<<"$OUT"
printf 'NOTE %s: manager stamps: %s\n' "$CHECK_NAME" "$(tr '\n' ' ' <<<"$OUT")"
total=$(jq_of "$report" '.total_ms')
if [[ ${stamp[SecurityStartTimestampMonotonic]:-0} == 0 ]]; then
    expected=$(((stamp[FinishTimestampMonotonic] - stamp[UserspaceTimestampMonotonic] + 500) / 1000))
else
    expected=$(((stamp[FirmwareTimestampMonotonic] + stamp[FinishTimestampMonotonic] + 500) / 1000))
fi
expect_eq "total_ms is the manager's own start-up time" "$expected" "$total"
expect_eq "the userspace phase is present" true "$(jq_of "$report" '.phases.userspace_ms | type == "number"')"

# The same time in the listing and in assess.
bs_root list --json
expect_eq "list --json carries the same boot_ms" "$ms" \
    "$(jq_of "$OUT" '.[] | select(.name == $unit) | .boot_ms' --arg unit "$UNIT")"
expect_eq "a unit that is switched off and did not start has no time" null \
    "$(jq_of "$OUT" '.[] | select(.name == "realhost-idle.service") | .boot_ms')"
bs_root assess "$UNIT"
expect_match "assess says how long it took" "$OUT" \
    "At the last start-up it took ([1-3]\.[0-9]|4\.0) s\."

# The table.
bs_root boot
expect_status "boot as root succeeds" 0
expect_match "boot prints the total first" "$OUT" '^This start-up took [0-9]+\.[0-9] s'
expect_contains "boot prints the table's header" "$OUT" \
    "NAME                                     TIME     IF OFF    WAITED"
expect_match "boot prints the unit's row" "$OUT" \
    "$UNIT +([1-3]\.[0-9]|4\.0) s +[a-z]+ +yes"
expect_match "boot ends with the advice" "$(tail -n 1 <<<"$OUT")" '^[A-Z].*[.A-Z]$'

# Acting for alice under sudo, the boot is still the computer's; her own
# units have times, and the boot never waits for them.
bs_sudo boot --json
expect_status "sudo boot --json succeeds" 0
expect_eq "under sudo the total is the same" "$total" "$(jq_of "$OUT" '.total_ms')"
expect_eq "her units never count as waited for" "" \
    "$(jq_of "$OUT" '.entries[] | select(.name == "realhost-notes.service" and .waited) | .name')"
bs_sudo list --json
expect_match "her enabled user unit has a start time" \
    "$(jq_of "$OUT" '.[] | select(.kind == "systemd-user" and .name == "realhost-notes.service") | .boot_ms')" \
    '^[0-9]+$'
bs_user boot --json
expect_status "boot --json as alice herself succeeds" 0
expect_eq "as alice the total is the same" "$total" "$(jq_of "$OUT" '.total_ms')"

put_back
trap - EXIT
