# Judgements of real Debian units by the built-in pack: the message bus is
# recognised by its bare name for the computer and for alice, its socket is
# judged through the service it starts, a unit its package masks for good
# (sudo.service) needs no attention and stays locked, and the judgement
# report sorts every listed item by where its judgement came from.

# shellcheck source=../reading.sh
source "$REALHOST_HERE/reading.sh"
need_jq "judgements" || return 0

# A member of the risk object of one item.
risk_of() { jq -r --arg key "$2" '.risk[$key] | tostring' <<<"$1"; }

bs_root list --json
expect_status "root: list --json succeeds" 0
root_json=$OUT

bus=$(item_of "$root_json" systemd dbus.service)
expect_eq "the system bus is judged by the dbus rule" dbus "$(risk_of "$bus" matched)"
expect_eq "the system bus is critical" critical "$(risk_of "$bus" level)"

socket=$(item_of "$root_json" systemd dbus.socket)
expect_eq "the bus socket is judged through dbus.service" dbus "$(risk_of "$socket" matched)"
expect_eq "the bus socket is critical" critical "$(risk_of "$socket" level)"
expect_match "the bus socket says it starts the bus" "$(risk_of "$socket" effect)" \
    '^It starts dbus[.]service when a program connects to it[.] '
expect_not_contains "the bus service is not the socket's dependent" \
    "$(member "$socket" dependents)" dbus.service

if [[ $(in_root readlink /lib/systemd/system/sudo.service) == /dev/null ]]; then
    sudo_unit=$(item_of "$root_json" systemd sudo.service)
    expect_eq "sudo.service, masked by its package, is still listed" 1 \
        "$(count_items "$root_json" systemd sudo.service)"
    expect_eq "it needs no attention" safe "$(risk_of "$sudo_unit" level)"
    expect_eq "it needs no decision" false "$(risk_of "$sudo_unit" needs_ack)"
    expect_eq "it stays locked" locked "$(member "$sudo_unit" toggle)"
    expect_match "its note says it never starts" "$(member "$sudo_unit" toggle_note)" \
        'switched it off for good'
else
    skip "a unit masked by its package" "sudo.service is not masked by its package here"
fi

bs_user list --json
expect_status "alice: list --json succeeds" 0
user_json=$OUT
session=$(item_of "$user_json" systemd-user dbus.socket)
expect_eq "alice's bus socket is judged by the session rule" user/dbus \
    "$(risk_of "$session" matched)"
expect_eq "alice's bus socket is critical" critical "$(risk_of "$session" level)"

# Every item has a source, so the report can account for each one.
for json in "$root_json" "$user_json"; do
    expect_eq "every item says where its judgement came from" 0 \
        "$(jq '[.[] | select(.risk.source == "")] | length' <<<"$json")"
done
if command -v python3 >/dev/null; then
    capture python3 "$REALHOST_HERE/../../tools/judgement_report" --json - <<<"$root_json"
    expect_status "the judgement report reads the listing" 0
    expect_match "it prints the shares" "$OUT" 'rule or family .* [0-9]+[.][0-9]%'
else
    skip "the judgement report" "python3 is not installed on this machine"
fi
