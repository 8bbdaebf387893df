# A unit that systemd calls disabled but that a link outside /etc pulls in at
# every boot (as a package's own link under /usr/lib/systemd does) is shown
# as locked with the reason, instead of as an ordinary switched-off entry
# whose "disable" would claim it is already off.
#
# Leaves realhost-idle.service as seeded: disabled, running, no extra link.

if ! have_bootsmith; then
    skip "a unit pulled in by a vendor link" "no bootsmith in the build folder yet"
    return 0
fi
if ! command -v jq >/dev/null; then
    skip "a unit pulled in by a vendor link" "jq is not installed on this machine"
    return 0
fi

IDLE=realhost-idle.service
VENDOR_LINK=/usr/lib/systemd/system/multi-user.target.wants/$IDLE

remove_vendor_link() {
    in_root rm -f "$VENDOR_LINK" || true
    in_root systemctl daemon-reload || true
}
trap remove_vendor_link EXIT

in_root mkdir -p "$(dirname "$VENDOR_LINK")"
in_root ln -sf "/etc/systemd/system/$IDLE" "$VENDOR_LINK"
in_root systemctl daemon-reload
expect_eq "systemctl: the pulled-in unit is still called disabled" disabled \
    "$(in_root systemctl is-enabled "$IDLE" 2>/dev/null || true)"

bs_root list --json
expect_status "root: list --json succeeds" 0
field() { printf '%s' "$OUT" | jq -r --arg n "$IDLE" ".[] | select(.name == \$n) | .$1"; }
expect_eq "the pulled-in unit is listed as off, as systemd says" false "$(field enabled)"
expect_eq "the pulled-in unit cannot be switched here" locked "$(field toggle)"
note="systemd calls it disabled, but multi-user.target start(s) it through a link that switching it off does not remove (often one its package placed under /usr/lib/systemd)."
expect_eq "the note says what starts it" "$note" "$(field toggle_note)"

bs_root disable "$IDLE" --yes
expect_status "root: disable of the pulled-in unit is refused" 1
expect_eq "root: the refusal gives the reason first" "  Not possible: $note" "${ERR%%$'\n'*}"

remove_vendor_link
trap - EXIT
bs_root list --json
expect_eq "without the link the unit has its ordinary switch again" ok "$(field toggle)"
