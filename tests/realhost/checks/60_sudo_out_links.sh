# alice plants links in her home and asks root, through sudo, to write a
# backup there, or to read a pack or backup from there. Root never writes through her link: not at the file
# (~/b.json -> /root/.bashrc) and not as a folder (~/sub -> /etc). The backup
# written for her belongs to her; a plain path in a folder of root's, a pipe
# through /dev/stdout and /dev/null keep working.
#
# The autostart entry whose name is a shell command makes the stakes plain:
# had root's .bashrc been replaced by the backup, its next shell would run it.
#
# Removes every file it made.

if ! have_bootsmith; then
    skip "sudo backup --out and links" "no bootsmith in the build folder yet"
    return 0
fi

BAIT=$GUEST_HOME/.config/autostart/rh-60-bait.desktop
LINK_FILE=$GUEST_HOME/b.json
LINK_FOLDER=$GUEST_HOME/sub
MINE=$GUEST_HOME/rh-60-mine.json
ROOTS=/root/rh-60.json
SHADOW=$GUEST_HOME/rh-60-shadow.json
REFUSED="leads through a link in a folder that another account can change"

facts() { in_root stat -c '%U:%G %a %F' "$@" 2>&1 || true; }
sha_of() { in_root sha256sum "$1" | cut -d' ' -f1; }

put_back() {
    in_root rm -f "$BAIT" "$LINK_FILE" "$LINK_FOLDER" "$MINE" "$ROOTS" "$SHADOW" /etc/x.json /tmp/rh-60-ran || true
}
trap put_back EXIT

in_root sh -c 'test -e /root/.bashrc || echo "# root shell" >/root/.bashrc'
in_user sh -c 'printf "[Desktop Entry]\nType=Application\nName=\$(id>/tmp/rh-60-ran)\nExec=/bin/true\n" >"$1"' sh "$BAIT"
in_user ln -s /root/.bashrc "$LINK_FILE"
in_user ln -s /etc "$LINK_FOLDER"
bashrc_before=$(sha_of /root/.bashrc)
bashrc_facts=$(facts /root/.bashrc)
etc_facts=$(facts /etc)

bs_sudo backup --out "$LINK_FILE"
expect_status "sudo: backup --out through her link to /root/.bashrc is refused" 1
expect_contains "sudo: it says why" "$ERR" "$REFUSED"
expect_eq "root's .bashrc is untouched" "$bashrc_before" "$(sha_of /root/.bashrc)"
expect_eq "root's .bashrc keeps its owner and mode" "$bashrc_facts" "$(facts /root/.bashrc)"
expect_eq "her link is still her link" "$GUEST_USER:$GUEST_USER 777 symbolic link" "$(facts "$LINK_FILE")"

bs_sudo backup --out "$LINK_FOLDER/x.json"
expect_status "sudo: backup --out through her folder link to /etc is refused" 1
expect_contains "sudo: it says why (folder)" "$ERR" "$REFUSED"
expect_fails "nothing was made in /etc" in_root test -e /etc/x.json
expect_eq "/etc keeps its owner and mode" "$etc_facts" "$(facts /etc)"

bs_sudo backup --out "$MINE"
expect_status "sudo: backup --out into her home succeeds" 0
expect_eq "the backup written for her belongs to her, readable by her only" \
    "$GUEST_USER:$GUEST_USER 600 regular file" "$(facts "$MINE")"
capture in_user head -c 28 "$MINE"
expect_eq "she can read it: a Bootsmith backup" '{"format":"bootsmith-backup"' "$OUT"
expect_contains "her backup holds the entry with the shell-like name" "$(in_root cat "$MINE")" '$(id>/tmp/rh-60-ran)'

bs_sudo backup --out "$ROOTS"
expect_status "sudo: backup --out into a folder of root's succeeds" 0
expect_eq "that file stays root's" "root:root 600 regular file" "$(facts "$ROOTS")"

capture in_sudo env LC_ALL=C.UTF-8 sh -c '"$1" backup --out /dev/stdout | head -c 28' sh "$REALHOST_BOOTSMITH"
expect_eq "sudo: backup --out /dev/stdout into a pipe works" '{"format":"bootsmith-backup"' "$OUT"
bs_sudo backup --out /dev/null
expect_status "sudo: backup --out /dev/null works" 0
expect_eq "/dev/null is still a character device" "character special file" "$(in_root stat -c %F /dev/null)"

# Reading through her links is refused the same way: root would show her
# what she cannot read herself.
in_user ln -s /etc/shadow "$SHADOW"
bs_sudo knowledge import "$SHADOW"
expect_status "sudo: knowledge import through her link to /etc/shadow is refused" 1
expect_contains "sudo: it says why (import)" "$ERR" "$REFUSED"
bs_sudo restore "$SHADOW"
expect_status "sudo: restore through her link to /etc/shadow is refused" 1
expect_not_contains "sudo: nothing of /etc/shadow is shown" "$OUT$ERR" "root:"

expect_fails "nothing ran the name as a command" in_root test -e /tmp/rh-60-ran
trap - EXIT
put_back
