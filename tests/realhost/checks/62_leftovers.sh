# Leftovers and silence. A temporary file a killed run left in Bootsmith's own
# backups folder is cleared when it writes there again, if it is stale (over
# an hour old), named as ours and a regular file; a fresh one (a run writing
# now) and a link named like ours stay. A real kill -9 in the middle of
# writing a large backup leaves the folder with whole backups only. A 50 MB
# desktop file in alice's autostart folder is skipped with a note, and doctor
# names it.
#
# Removes what it made.

if ! have_bootsmith; then
    skip "leftovers and silence" "no bootsmith in the build folder yet"
    return 0
fi

FOLDER=/var/lib/bootsmith/backups
HUGE=$GUEST_HOME/.config/autostart/rh-62-huge.desktop

put_back() {
    in_root sh -c 'rm -f "$1"/.bootsmith-62-*.tmp "$1"/rh-62-* "$2"' sh "$FOLDER" "$HUGE" || true
}
trap put_back EXIT

in_root mkdir -p "$FOLDER"
in_root sh -c '
    cd "$1"
    echo half > .bootsmith-62-1.tmp && touch -d "2 hours ago" .bootsmith-62-1.tmp
    echo writing > .bootsmith-62-2.tmp
    ln -s /etc/hostname .bootsmith-62-3.tmp && touch -h -d "2 hours ago" .bootsmith-62-3.tmp
' sh "$FOLDER"

bs_root backup --label "RH 62"
expect_status "root: a manual backup succeeds" 0
expect_fails "the stale temporary file is gone" in_root test -e "$FOLDER/.bootsmith-62-1.tmp"
expect_ok "a fresh temporary file stays" in_root test -f "$FOLDER/.bootsmith-62-2.tmp"
expect_ok "a link named like ours stays" in_root test -L "$FOLDER/.bootsmith-62-3.tmp"
expect_ok "what the link points to is untouched" in_root test -s /etc/hostname
saved=${OUT##* to }
in_root rm -f "$saved"

# kill -9 while backups are written: whatever is left is whole or absent.
for _ in 1 2 3 4 5; do
    in_root sh -c '"$1" backup --label "RH 62 killed" >/dev/null 2>&1 & pid=$!; sleep 0.0$((RANDOM % 9)); kill -9 $pid 2>/dev/null; wait $pid 2>/dev/null; true' sh "$REALHOST_BOOTSMITH"
done
capture in_root sh -c 'for f in "$1"/bootsmith-backup-*.json; do [ -e "$f" ] || continue; grep -q "RH 62 killed" "$f" || continue; tail -c 1 "$f" | grep -q "}" || echo "cut: $f"; done' sh "$FOLDER"
expect_eq "every backup left by a killed run is whole" '' "$OUT"
in_root sh -c 'grep -l "RH 62 killed" "$1"/bootsmith-backup-*.json 2>/dev/null | xargs -r rm -f' sh "$FOLDER"

in_user sh -c '{ printf "[Desktop Entry]\nType=Application\nName=RH Huge\nExec=/bin/true\n"; head -c 52428800 /dev/zero | tr "\0" "#"; } >"$1"' sh "$HUGE"
bs_user list
expect_status "alice: list with a 50 MB desktop file succeeds" 0
expect_contains "alice: the list says the file was skipped" "$ERR" "$HUGE was skipped: it is larger than 1 MB"
expect_not_contains "alice: the entry is not listed" "$OUT" "RH Huge"
bs_user doctor
expect_contains "alice: doctor names the skipped file" "$OUT" "$HUGE"

trap - EXIT
put_back
