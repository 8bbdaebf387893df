# An autostart entry of alice whose name holds direction controls
# (U+202E ... U+202C), which would make "Bidi <RLO>txt.exe<PDF>" read reversed: the
# text output shows each as "?", as root through sudo too, and list --json
# keeps the exact name.
#
# Leaves nothing behind.

if ! have_bootsmith; then
    skip "a name with direction controls" "no bootsmith in the build folder yet"
    return 0
fi

FILE=$GUEST_HOME/.config/autostart/rh-bidi.desktop
NAME=$'Bidi \xe2\x80\xaetxt.exe\xe2\x80\xac'
RLO=$'\xe2\x80\xae'

put_back() { in_root rm -f "$FILE" || true; }
trap put_back EXIT

in_user sh -c 'printf "[Desktop Entry]\nType=Application\nName=%s\nExec=/usr/local/bin/realhost-clock\n" "$2" > "$1"' \
    sh "$FILE" "$NAME"

bs_user list
expect_status "list succeeds" 0
expect_contains "list shows the controls as ?" "$OUT" "Bidi ?txt.exe?"
expect_not_contains "no direction control reaches the terminal" "$OUT" "$RLO"

bs_sudo list
expect_contains "sudo: list shows the controls as ?" "$OUT" "Bidi ?txt.exe?"
expect_not_contains "sudo: no direction control reaches the terminal" "$OUT" "$RLO"

bs_user assess "$NAME"
expect_status "assess by the exact name finds it" 0
expect_contains "assess shows the controls as ?" "$OUT" "Bidi ?txt.exe? (Desktop autostart (this user))"
expect_not_contains "assess lets no direction control through" "$OUT$ERR" "$RLO"

bs_user list --json
expect_contains "list --json keeps the exact name" "$OUT" "\"name\":\"$NAME\""

trap - EXIT
put_back
