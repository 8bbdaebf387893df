# What else starts a unit, on a real systemd: a D-Bus service file in the
# system bus folder naming a unit (by its own name, and by an alias that
# enable makes and disable removes), a .path unit listed as an entry and as
# the trigger of its service, a link a package placed under /usr/lib that
# pulls a unit in, and a socket a service's Also= switches off with it.
#
# Removes every unit and file it adds, and leaves the seeded units as they were.

# shellcheck source=../reading.sh
source "$REALHOST_HERE/reading.sh"
if ! have_bootsmith; then
    skip "what else starts a unit" "no bootsmith in the build folder yet"
    return 0
fi
need_jq "what else starts a unit" || return 0

SP=realhost-sp
UNITS=/etc/systemd/system
BUS=/usr/share/dbus-1/system-services
VENDOR_LINK=/usr/lib/systemd/system/multi-user.target.wants/$SP-pulled.service

sp_clean() {
    in_root sh -c "systemctl disable --quiet --now $SP-alias.service $SP-pulled.service \
        $SP-watch.path $SP-sock.socket $SP-sock.service 2>/dev/null
        rm -f $UNITS/$SP-* $BUS/org.example.RealhostSp*.service $VENDOR_LINK
        systemctl daemon-reload" || true
}
trap sp_clean EXIT

in_root sh -c "mkdir -p $BUS $(dirname "$VENDOR_LINK")
service() { printf '[Unit]\nDescription=%s\n[Service]\nExecStart=/usr/bin/sleep infinity\n[Install]\nWantedBy=multi-user.target\n%s' \"\$1\" \"\$2\"; }
service 'Started by D-Bus' '' >$UNITS/$SP-bus.service
service 'Started by D-Bus through an alias' 'Alias=dbus-org.example.RealhostSpAlias.service
' >$UNITS/$SP-alias.service
service 'Started when a file appears' '' >$UNITS/$SP-work.service
printf '[Path]\nPathExists=/run/$SP-trigger\nUnit=$SP-work.service\n[Install]\nWantedBy=multi-user.target\n' >$UNITS/$SP-watch.path
service 'Pulled in by a package link' '' >$UNITS/$SP-pulled.service
service 'Started by its socket' 'Also=$SP-sock.socket
' >$UNITS/$SP-sock.service
printf '[Socket]\nListenStream=/run/$SP.sock\n[Install]\nWantedBy=sockets.target\n' >$UNITS/$SP-sock.socket
printf '[D-BUS Service]\nName=org.example.RealhostSp\nExec=/bin/false\nSystemdService=$SP-bus.service\n' >$BUS/org.example.RealhostSp.service
printf '[D-BUS Service]\nName=org.example.RealhostSpAlias\nExec=/bin/false\nSystemdService=dbus-org.example.RealhostSpAlias.service\n' >$BUS/org.example.RealhostSpAlias.service
printf '[D-BUS Service]\nName=org.example.RealhostSpBroken\nSystemdService=\377\376.service\n' >$BUS/org.example.RealhostSpBroken.service
systemctl daemon-reload
systemctl enable --quiet $SP-alias.service $SP-watch.path $SP-pulled.service $SP-sock.service"

# The start paths of one unit in the listing as "name how on with-it" lines.
paths_of() {
    local item
    item=$(item_of "$LIST" systemd "$1")
    if [[ -z $item ]]; then
        printf '(not listed)'
        return 0
    fi
    jq_of "$item" '.also_started_by[] | "\(.name) \(.how) \(.on) \(.switched_off_with_it)"'
}

bs_root list --json
expect_status "root: list --json succeeds" 0
LIST=$OUT
expect_eq "a unit D-Bus starts by its own name lists the bus name, on" \
    "org.example.RealhostSp dbus true false" "$(paths_of $SP-bus.service)"
expect_eq "a unit D-Bus starts through the alias enable made lists it, off: disable removes the alias" \
    "org.example.RealhostSpAlias dbus false false" "$(paths_of $SP-alias.service)"
expect_eq "the .path unit is listed as an entry" 1 "$(count_items "$LIST" systemd $SP-watch.path)"
expect_eq "the .path unit is named as the trigger of its service" \
    "$SP-watch.path path true false" "$(paths_of $SP-work.service)"
expect_eq "an enabled unit whose only link is its own has no other way to start" \
    "" "$(paths_of $SP-pulled.service)"
expect_eq "the socket that Also= switches off with its service is marked so" \
    "$SP-sock.socket socket true true" "$(paths_of $SP-sock.service)"

bs_root assess $SP-bus.service
expect_contains "assess names the bus name" "$OUT" \
    "It can still start: org.example.RealhostSp (D-Bus starts it when a program asks for it)."
bs_root assess $SP-sock.service
expect_not_contains "assess does not name a trigger that goes with the entry" "$OUT" "It can still start"

in_root ln -s "$UNITS/$SP-pulled.service" "$VENDOR_LINK"
in_root systemctl daemon-reload
bs_root list --json
LIST=$OUT
expect_eq "a package's link under /usr/lib is a way it starts that disable leaves" \
    "multi-user.target wanted true false" "$(paths_of $SP-pulled.service)"
bs_root disable $SP-pulled.service
expect_status "root: disable of the unit the package link pulls in needs a decision" 4
expect_contains "root: it names the puller" "$ERR" "It will still start through multi-user.target."

bs_root disable $SP-sock.service --yes
expect_status "root: disable of the service with its socket in Also= succeeds" 0
expect_not_contains "root: it names no other way it starts" "$OUT" "It can still start"
capture in_root systemctl is-enabled $SP-sock.socket
expect_eq "systemctl switched the socket off with it" disabled "$OUT"
bs_root undo
expect_status "root: undo succeeds" 0
capture in_root systemctl is-enabled $SP-sock.socket
expect_eq "undo brings the socket back with it" enabled "$OUT"

sp_clean
trap - EXIT
bs_root list --json
expect_eq "nothing of the check is left in the listing" "" \
    "$(jq_of "$OUT" '.[] | select(.name | startswith($p)) | .name' --arg p "$SP")"
