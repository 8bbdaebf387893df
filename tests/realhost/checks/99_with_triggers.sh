# A service switched off while its socket stays on still starts when
# something connects. `assess` names the socket; `disable` alone waits for a
# decision with the sentence that says so; `disable --with-triggers --yes`
# switches both off in one batch, so that after a reboot nothing listens and
# a connection starts nothing; `undo`, once for each, brings both back.
#
# Removes its two units at the end.

if ! have_bootsmith; then
    skip "switching off what starts a service" "no bootsmith in the build folder yet"
    return 0
fi

SERVICE=realhost-trig.service
SOCKET=realhost-trig.socket
PORT=7781
UNITS=/etc/systemd/system

unit_enabled() { in_root systemctl is-enabled "$1" 2>/dev/null || true; }
unit_active() { in_root systemctl is-active "$1" 2>/dev/null || true; }
# Connects to the socket's address and says whether something answered.
connect() {
    if in_root timeout 5 bash -c "exec 3<>/dev/tcp/127.0.0.1/$PORT" 2>/dev/null; then
        echo connected
    else
        echo refused
    fi
}
# Waits up to 10 s, inside, for the service to become active.
wait_active() {
    in_root sh -c '
        i=0
        while [ "$i" -lt 100 ]; do
            [ "$(systemctl is-active "$1")" = active ] && exec echo active
            sleep 0.1
            i=$((i + 1))
        done
        systemctl is-active "$1"' sh "$SERVICE" || true
}

clean_up() {
    in_root systemctl disable --now --quiet "$SOCKET" "$SERVICE" 2>/dev/null || true
    in_root rm -f "$UNITS/$SOCKET" "$UNITS/$SERVICE" || true
    in_root systemctl daemon-reload || true
}
trap clean_up EXIT

in_root tee "$UNITS/$SOCKET" >/dev/null <<UNIT
[Unit]
Description=Realhost trigger socket

[Socket]
ListenStream=127.0.0.1:$PORT

[Install]
WantedBy=sockets.target
UNIT
in_root tee "$UNITS/$SERVICE" >/dev/null <<'UNIT'
[Unit]
Description=Realhost service its socket starts

[Service]
ExecStart=/bin/sleep infinity

[Install]
WantedBy=multi-user.target
UNIT
in_root systemctl daemon-reload
in_root systemctl enable --quiet --now "$SOCKET"
in_root systemctl enable --quiet "$SERVICE"

# The socket really starts the service: the ground the rest stands on.
expect_eq "before: the service is not running yet" inactive "$(unit_active "$SERVICE")"
expect_eq "before: connecting to the socket reaches it" connected "$(connect)"
expect_eq "before: the connection started the service" active "$(wait_active)"

still="It can still start: $SOCKET (a socket that starts it when something connects)."
bs_root assess "$SERVICE"
expect_status "assess succeeds" 0
expect_contains "assess names the socket" "$OUT" "$still"

bs_root disable "$SERVICE"
expect_status "disable without --yes waits for a decision" 4
expect_contains "disable names the socket under its plan" "$OUT" "$still"
expect_eq "disable says how it would still start" \
    "It will still start through $SOCKET. Switch those off too with --with-triggers, or accept it with --yes." \
    "$ERR"
expect_eq "nothing was switched off without a decision" enabled "$(unit_enabled "$SERVICE")"

bs_root disable "$SERVICE" --with-triggers --yes
expect_status "disable --with-triggers --yes succeeds" 0
expect_contains "its plan lists the socket as a change too" "$OUT" \
    "Stop it starting too: $SOCKET (it starts $SERVICE)"
expect_eq "systemctl: the service is disabled" disabled "$(unit_enabled "$SERVICE")"
expect_eq "systemctl: its socket is disabled too" disabled "$(unit_enabled "$SOCKET")"
bs_root history
expect_contains "the history has the socket's change" "$OUT" "$SOCKET"
expect_contains "the history has the service's change" "$OUT" "$SERVICE"

guest_reboot

expect_eq "after the reboot: the socket does not listen" inactive "$(unit_active "$SOCKET")"
expect_eq "after the reboot: connecting reaches nothing" refused "$(connect)"
sleep 1
expect_eq "after the reboot: the service did not start" inactive "$(unit_active "$SERVICE")"

bs_root undo --yes
expect_status "undo of the newest change (the socket) succeeds" 0
expect_eq "undo brought the socket back" enabled "$(unit_enabled "$SOCKET")"
expect_eq "undo of the socket alone leaves the service off" disabled "$(unit_enabled "$SERVICE")"
bs_root undo --yes
expect_status "undo of the service's change succeeds" 0
expect_eq "undo brought the service back" enabled "$(unit_enabled "$SERVICE")"

trap - EXIT
clean_up
expect_eq "left as found: no socket unit" "" "$(in_root sh -c "ls $UNITS/$SOCKET 2>/dev/null" || true)"
