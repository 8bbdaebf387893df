# Two identical @reboot lines in alice's crontab: each gets an id of its own
# (the second ends in "#2"), the name alone is ambiguous and says so with both
# ids, and switching by id changes exactly the line that id names; after the
# first is off, the second can still be switched off and on.
#
# Leaves alice's crontab as the seeds made it.

if ! have_bootsmith; then
    skip "twin cron lines" "no bootsmith in the build folder yet"
    return 0
fi

NAME="@reboot /usr/local/bin/realhost-worker rh-67"
ID="cron|user|crontab|$NAME"
SEED=/usr/local/share/realhost/crontab.alice
OFF="#bootsmith-off# $NAME"

put_back() { in_root crontab -u "$GUEST_USER" "$SEED" || true; }
trap put_back EXIT

in_root sh -c '{ cat "$1"; echo "$2"; echo "$2"; } | crontab -u "$3" -' sh "$SEED" "$NAME" "$GUEST_USER"
seed_text=$(in_root cat "$SEED")
crontab_is() {
    capture in_user crontab -l
    expect_eq "$1" "$seed_text"$'\n'"$2"$'\n'"$3" "$OUT"
}

bs_user list --json
expect_contains "list --json: the first line has the plain id" "$OUT" "\"id\":\"$ID\""
expect_contains "list --json: the second line has an id of its own" "$OUT" "\"id\":\"$ID#2\""

bs_user disable "$NAME" --yes
expect_status "the shared name alone is refused" 1
expect_contains "it lists both ids" "$ERR" "  $ID"$'\n'"  $ID#2"
crontab_is "nothing was switched by the shared name" "$NAME" "$NAME"

bs_user disable "$ID" --yes
expect_status "disable by the first id succeeds" 0
crontab_is "only the first line is off" "$OFF" "$NAME"

bs_user disable "$ID#2" --yes
expect_status "the second line can still be switched off" 0
crontab_is "both lines are off" "$OFF" "$OFF"

bs_user enable "$ID#2" --yes
expect_status "enable by the second id succeeds" 0
crontab_is "only the second line is on again" "$OFF" "$NAME"

bs_sudo enable "$ID" --yes
expect_status "sudo: enable by the first id succeeds" 0
crontab_is "both lines are on again" "$NAME" "$NAME"

trap - EXIT
put_back
