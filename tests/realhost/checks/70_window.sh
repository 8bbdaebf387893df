# The window on a real systemd: alice starts `bootsmith serve` and a client
# inside the guest (bash's /dev/tcp; the guest has no curl) goes the road of
# the page: the one-time link, the state, a scan, a disable of her own user
# unit (her `systemctl --user` agrees), the history, the undo, and the
# goodbye, after which the process ends by itself. Started through sudo, the
# window has administrator rights and still acts for alice.
#
# Leaves her unit enabled and no window process behind.

if ! have_bootsmith; then
    skip "the window" "no bootsmith in the build folder yet"
    return 0
fi

NOTES=realhost-notes.service
WINDOW_OUT=/tmp/rh-70-window.out

user_unit_enabled() { in_user systemctl --user is-enabled "$1" 2>/dev/null || true; }

# One request over a fresh connection, as alice; prints the answer's body.
# METHOD PATH [TOKEN] [BODY]
window_call() {
    # shellcheck disable=SC2016 # expanded by the guest's bash
    in_user bash -c '
        exec 3<>"/dev/tcp/127.0.0.1/$1" || exit 1
        printf "%s %s HTTP/1.1\r\nHost: 127.0.0.1:%s\r\nX-Bootsmith-Token: %s\r\nContent-Length: %s\r\n\r\n%s" \
            "$2" "$3" "$1" "$4" "${#5}" "$5" >&3
        answer=$(timeout 60 cat <&3)
        printf "%s" "${answer#*$'"'"'\r\n\r\n'"'"'}"' sh "$PORT" "$@"
}

# Starts the window in the background (as alice, or through sudo with
# "sudo"); sets PORT, KEY and WINDOW_PID.
start_window() {
    local how=$1 printed='' i
    in_root rm -f "$WINDOW_OUT"
    if [ "$how" = sudo ]; then
        # shellcheck disable=SC2016
        WINDOW_PID=$(in_user bash -c 'sudo -n env BOOTSMITH_NO_BROWSER=1 "$1" serve >"$2" 2>&1 </dev/null & echo $!' \
            sh "$REALHOST_BOOTSMITH" "$WINDOW_OUT")
    else
        # shellcheck disable=SC2016
        WINDOW_PID=$(in_user bash -c 'BOOTSMITH_NO_BROWSER=1 "$1" serve >"$2" 2>&1 </dev/null & echo $!' \
            sh "$REALHOST_BOOTSMITH" "$WINDOW_OUT")
    fi
    for i in $(seq 1 100); do
        printed=$(in_root cat "$WINDOW_OUT" 2>/dev/null || true)
        case $printed in *"to stop it."*) break ;; esac
        sleep 0.2
    done
    PORT=$(printf '%s' "$printed" | sed -n 's|.*http://127\.0\.0\.1:\([0-9]*\)/#k=.*|\1|p')
    KEY=$(printf '%s' "$printed" | sed -n 's|.*/#k=\([0-9a-f]\{64\}\).*|\1|p')
    expect_match "$how: the window prints its one-time link" "$printed" \
        'Its window is at:.*http://127\.0\.0\.1:[0-9]+/#k=[0-9a-f]{64}'
}

window_running() { in_root test -d "/proc/$WINDOW_PID"; }

# Waits up to N seconds for the window process to end.
window_ends_within() {
    local i
    for i in $(seq 1 "$1"); do
        window_running || return 0
        sleep 1
    done
    return 1
}

# The window by its process id (and, through sudo, sudo's child).
stop_window() {
    if window_running; then
        in_root pkill -KILL -P "$WINDOW_PID" || true
        in_root kill -KILL "$WINDOW_PID" || true
    fi
}
trap 'stop_window; in_user systemctl --user enable --quiet "$NOTES" || true' EXIT

# ---------------------------------------------------------------- as alice

start_window alice
answer=$(window_call POST /api/bootstrap "" "{\"k\":\"$KEY\"}")
TOKEN=$(printf '%s' "$answer" | sed -n 's/.*"token":"\([0-9a-f]\{64\}\)".*/\1/p')
expect_eq "alice: the link gives the window token" 64 "${#TOKEN}"
expect_contains "alice: the link works only once" \
    "$(window_call POST /api/bootstrap "" "{\"k\":\"$KEY\"}")" '"error":"This link has already been used'

state=$(window_call GET /api/state "$TOKEN")
expect_contains "alice: the state has no administrator rights" "$state" '"admin":false'
expect_contains "alice: the state names her" "$state" '"user":"alice"'
expect_contains "alice: it is no demonstration" "$state" '"demo":false'

scan=$(window_call POST /api/scan "$TOKEN" '{"what":"startup"}')
NOTES_ID=$(printf '%s' "$scan" | grep -o "\"id\":\"[^\"]*|$NOTES\"" | head -n 1 | sed 's/^"id":"//; s/"$//')
expect_contains "alice: the scan lists her user unit" "$NOTES_ID" "$NOTES"

change="{\"changes\":[{\"action\":\"disable\",\"id\":\"$NOTES_ID\",\"ack\":true}]}"
plan=$(window_call POST /api/plan "$TOKEN" "$change")
expect_contains "alice: the plan is possible" "$plan" '"problems":[],"blocked":false,"admin_needed":false'
applied=$(window_call POST /api/apply "$TOKEN" "$change")
expect_contains "alice: the apply succeeds" "$applied" '"action":"disable","ok":true'
expect_eq "systemctl --user: $NOTES is disabled" disabled "$(user_unit_enabled "$NOTES")"

history=$(window_call GET /api/history "$TOKEN")
expect_contains "alice: the history has the change" "$history" "\"action\":\"disable\",\"name\":\"$NOTES\""
SEQ=$(printf '%s' "$history" | sed -n 's/^{"ok":true,"records":\[{"seq":\([0-9]*\),.*/\1/p')
undone=$(window_call POST /api/undo "$TOKEN" "{\"seq\":${SEQ:-0},\"ack\":true}")
expect_contains "alice: the undo succeeds" "$undone" '{"ok":true,"message":'
expect_eq "systemctl --user: $NOTES is enabled again" enabled "$(user_unit_enabled "$NOTES")"

expect_eq "alice: the goodbye is accepted with the token in the query" '{"ok":true}' \
    "$(window_call "POST" "/api/bye?k=$TOKEN" "" "bye")"
if window_ends_within 40; then
    assert_pass "alice: the window ends by itself after the goodbye"
else
    assert_fail "alice: the window ends by itself after the goodbye" "still running after 40 s"
fi

# ---------------------------------------------------------------- through sudo

start_window sudo
answer=$(window_call POST /api/bootstrap "" "{\"k\":\"$KEY\"}")
TOKEN=$(printf '%s' "$answer" | sed -n 's/.*"token":"\([0-9a-f]\{64\}\)".*/\1/p')
state=$(window_call GET /api/state "$TOKEN")
expect_contains "sudo: the state has administrator rights" "$state" '"admin":true'
expect_contains "sudo: it acts for alice" "$state" '"user":"alice","home":"/home/alice"'
scan=$(window_call POST /api/scan "$TOKEN" '{}')
expect_contains "sudo: the scan shows her user unit" "$scan" "|$NOTES\""
expect_eq "sudo: quit is answered" '{"ok":true}' "$(window_call POST /api/quit "$TOKEN" '{}')"
if window_ends_within 20; then
    assert_pass "sudo: quit ends the window"
else
    assert_fail "sudo: quit ends the window" "still running after 20 s"
fi

trap - EXIT
stop_window
in_root rm -f "$WINDOW_OUT"
