# /dev/null in the guest stays what every program expects after systemd's
# console set-up: a character device readable and writable by everyone, so
# that what an ordinary user runs can discard its output there.

capture in_root stat -c '%F %a %U:%G %t:%T' /dev/null
expect_eq "/dev/null is the null device, 0666 root:root, after boot" \
    'character special file 666 root:root 1:3' "$OUT"

capture in_user sh -c 'echo discarded >/dev/null && echo written'
expect_eq "the user can write to /dev/null" written "$OUT"

capture in_root stat -c '%i' /dev/console
console=$OUT
capture in_root stat -c '%i' /dev/null
expect_ne "the console is a node of its own, not /dev/null" "$OUT" "$console"
