# A write that fails half-way. alice's autostart folder is swapped for a tiny
# tmpfs holding the same files, filled to the last byte; then her own entry and
# a computer-wide one are switched, as alice and through sudo. Each switch
# must fail with exit status 1 and a "Could not ..." sentence, keep the old
# file intact, write no override, record nothing, and leave no ".bootsmith-*"
# temporary file behind.
#
# The tmpfs is unmounted at the end, which brings back the real folder as it
# was (nothing here writes to it).

if ! have_bootsmith; then
    skip "a write that fails half-way" "no bootsmith in the build folder yet"
    return 0
fi

AUTOSTART=$GUEST_HOME/.config/autostart
CLOCK=$AUTOSTART/realhost-clock.desktop
TRAY_OVERRIDE=$AUTOSTART/realhost-tray.desktop
USER_JOURNAL=$GUEST_HOME/.local/share/bootsmith/journal.jsonl
ROOT_JOURNAL=/var/lib/bootsmith/journal.jsonl

result_line() { printf '%s' "${OUT##*$'\n'}"; }
folder_listing() { in_root sh -c 'cd "$1" && sha256sum -- * .[!.]* 2>/dev/null' sh "$AUTOSTART" || true; }
lines_of() { in_root sh -c 'cat "$1" 2>/dev/null | wc -l' sh "$1"; }
leftover_temps() { in_root find "$AUTOSTART" -maxdepth 1 -name '.bootsmith-*' -printf '%f\n'; }

unmount_full_folder() {
    in_root umount "$AUTOSTART" 2>/dev/null || true
}
trap unmount_full_folder EXIT

real_listing=$(folder_listing)
in_root sh -c '
    set -e
    saved=$(mktemp -d)
    cp -a "$1/." "$saved/"
    mount -t tmpfs -o size=16k,mode=0755,uid=1000,gid=1000 rh-full-autostart "$1"
    cp -a "$saved/." "$1/"
    rm -rf "$saved"
    dd if=/dev/zero of="$1/.rh-filler" bs=1k 2>/dev/null || true
' sh "$AUTOSTART"
capture in_root df --output=avail "$AUTOSTART"
expect_eq "setup: the autostart folder is a full tmpfs" 0 "$(printf '%s' "$OUT" | tail -n 1 | tr -d ' ')"
full_listing=$(folder_listing)

# who | runner | journal
ways=(
    "as alice|bs_user|$USER_JOURNAL"
    "through sudo|bs_sudo|$ROOT_JOURNAL"
)
for row in "${ways[@]}"; do
    IFS='|' read -r way runner journal <<<"$row"
    records_before=$(lines_of "$journal")

    "$runner" disable "Realhost Clock" --yes
    expect_status "$way: switching her own entry off on a full disk fails" 1
    expect_match "$way: it says what could not be done" "$(result_line)" '^Could not .*No space left on device'
    expect_eq "$way: her entry is intact and nothing else appeared" "$full_listing" "$(folder_listing)"

    "$runner" disable "Realhost Tray" --yes
    expect_status "$way: switching a computer-wide entry off on a full disk fails" 1
    expect_match "$way: it says what could not be done, too" "$(result_line)" '^Could not .*No space left on device'
    expect_fails "$way: no override was written" in_root test -e "$TRAY_OVERRIDE"

    expect_eq "$way: no temporary file is left behind" '' "$(leftover_temps)"
    expect_eq "$way: the failed changes left no history record" "$records_before" "$(lines_of "$journal")"
done

capture in_root grep -c '^Hidden=' "$CLOCK"
expect_eq "her entry was not hidden" 0 "$OUT"

trap - EXIT
unmount_full_folder
expect_eq "the real autostart folder is as it was" "$real_listing" "$(folder_listing)"
