# A FIFO where Bootsmith reads a file of its own (root's history, a knowledge
# file to import, a backup to restore) must never make it wait: each run ends
# well within 5 seconds, with a sentence where the file was asked for by name.
#
# Puts root's history back as it was.

if ! have_bootsmith; then
    skip "FIFOs are never read" "no bootsmith in the build folder yet"
    return 0
fi

JOURNAL=/var/lib/bootsmith/journal.jsonl
SAVED=/var/lib/bootsmith/rh-61-journal.saved
PIPE=$GUEST_HOME/rh-61-pipe.json

put_back() {
    in_root rm -f "$JOURNAL" "$PIPE" || true
    if in_root test -e "$SAVED"; then
        in_root mv "$SAVED" "$JOURNAL" || true
    fi
}
trap put_back EXIT

in_root mkdir -p /var/lib/bootsmith
if in_root test -e "$JOURNAL"; then
    in_root mv "$JOURNAL" "$SAVED"
fi
in_root mkfifo -m 0644 "$JOURNAL"
in_user mkfifo "$PIPE"

# how | who
ways=("in_root|root" "in_user|alice" "in_sudo|sudo")
for row in "${ways[@]}"; do
    IFS='|' read -r runner who <<<"$row"
    capture "$runner" timeout 5 env LC_ALL=C.UTF-8 "$REALHOST_BOOTSMITH" history
    expect_ne "$who: history with a FIFO as root's journal ends within 5 seconds" 124 "$STATUS"
    expect_status "$who: history still answers" 0
done

capture in_user timeout 5 env LC_ALL=C.UTF-8 "$REALHOST_BOOTSMITH" knowledge import "$PIPE"
expect_status "alice: knowledge import of a FIFO is refused at once" 1
expect_eq "alice: it says why" "Cannot read $PIPE: it is not a regular file." "$ERR"

capture in_user timeout 5 env LC_ALL=C.UTF-8 "$REALHOST_BOOTSMITH" restore "$PIPE"
expect_ne "alice: restore of a FIFO does not hang" 124 "$STATUS"
expect_status "alice: restore of a FIFO is refused" 1

trap - EXIT
put_back
