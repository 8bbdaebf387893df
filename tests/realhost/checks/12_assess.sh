# `bootsmith assess NAME`: the description and judgement of one item, line
# by line as `list --json` reports the same item; cron.service judged by the
# built-in rules with its package and priority; the note of an item that
# cannot be switched; and the messages of a name that matches several
# items, none, or is missing.

# shellcheck source=../reading.sh
source "$REALHOST_HERE/reading.sh"
need_jq "assess" || return 0

# The description `assess` prints for one item object.
DESCRIBE='
    [ "\(.name) (\(.kind_label))",
      (if .command == "" then "  (no command recorded)" else "  \(.command)" end),
      "  State: \(.state_text); \(if .running then "running now" else "not running" end)",
      "  If switched off: \(.risk.level | ascii_upcase) (\(.risk.confidence) confidence)",
      "  \(.risk.effect)" ]
    + [ .risk.reasons[] | "    - \(.)" ]
    + (if .toggle == "locked" then [ "  It cannot be switched here: \(.toggle_note)" ] else [] end)
    | join("\n")'

# The time line for one item object: tenths of a second, rounded half up.
BOOT_TIME='
    if .boot_ms == null then ""
    else ((.boot_ms + 50) / 100 | floor) as $t
         | "At the last start-up it took \($t / 10 | floor).\($t % 10) s." end'

# assess NAME through RUNNER prints what the item KIND/ITEM of JSON says.
expect_description() {
    local runner=$1 json=$2 kind=$3 name=$4 lookup=${5:-$4} item
    item=$(item_of "$json" "$kind" "$name")
    if [[ -z $item ]]; then
        assert_fail "assess $lookup" "no single $kind item \"$name\" in the listing"
        return 0
    fi
    "$runner" assess "$lookup"
    expect_status "assess $lookup succeeds" 0
    # The closing lines, the time at the last start-up and what else starts
    # it, are checked on their own.
    DESCRIPTION=$(grep -v -e '^At the last start-up it took ' -e '^It can still start: ' <<<"$OUT")
    expect_eq "assess $lookup describes the item as the listing has it" \
        "$(jq_of "$item" "$DESCRIBE")" "$DESCRIPTION"
    expect_eq "assess $lookup gives the start-up time the listing has" \
        "$(jq_of "$item" "$BOOT_TIME")" "$(grep '^At the last start-up it took ' <<<"$OUT" || true)"
}

bs_root list --json
root_json=$OUT

# cron is one of the services that the built-in rules know.
expect_description bs_root "$root_json" systemd cron.service
cron_out=$DESCRIPTION
cron_priority=$(in_root dpkg-query -W -f='${Priority}' cron)
capture in_root systemctl show -p RequiredBy -p BoundBy --value cron.service
expect_eq "nothing in the guest requires cron.service" '' "$(tr -d '[:space:]' <<<"$OUT")"
expect_eq "cron.service is described with its state and judged CAUTION from the built-in rules" \
    $'cron.service (systemd service)\n  '"$(in_root systemctl show -p ExecStart --value cron.service |
        sed 's/.*argv\[\]=//; s/ ; ignore_errors=.*//')"$'\n  State: enabled · running; running now\n  If switched off: CAUTION (high confidence)' \
    "$(head -n 4 <<<"$cron_out")"
expect_eq "the reasons name the rule, the dependency check, the package and its priority, the process and the reach" \
    "$(printf '    - %s\n' \
        'Recognised from the built-in knowledge of well-known startup items.' \
        'Dependency check: no enabled item requires it.' \
        'Owned by the package "cron".' \
        "The package priority is \"$cron_priority\"." \
        'It is running now; switching it off changes the next start, not the current session.' \
        'It applies to every user of this computer.')" \
    "$(tail -n +6 <<<"$cron_out")"

expect_description bs_root "$root_json" systemd realhost-legacy.service
expect_eq "a masked unit of an installed program gets the general judgement and cannot be switched" \
    "$(printf '%s\n' 'realhost-legacy.service (systemd service)' '  (no command recorded)' \
        '  State: masked; not running' '  If switched off: LOW (medium confidence)' \
        "  A background service installed by a program. The computer does not need it, but the program it belongs to may lose a background feature until the service is started by hand." \
        "    - An installed program's service, not part of the operating system, and nothing found depends on it." \
        '    - Dependency check: no enabled item requires it.' \
        '    - It applies to every user of this computer.' \
        '  It cannot be switched here: An administrator blocked it on purpose (masked). Use `systemctl unmask` if you want it back.')" \
    "$OUT"

# Looked up by a name in other letter case, and by the full id.
expect_description bs_root "$root_json" rc rc.local RC.LOCAL
expect_description bs_root "$root_json" systemd realhost-daemon.service \
    "$(jq_of "$root_json" '.[] | select(.name == "realhost-daemon.service") | .id')"

# A name that several items contain: the count and the first twelve, in
# scan order (system units, user units, autostart, cron, rc.local).
bs_root assess cron
expect_status "assess cron, which several items contain, fails" 1
expect_eq "assess cron prints nothing on stdout" '' "$OUT"
expect_eq "assess cron names the items that contain it" \
    "$(jq_of "$root_json" '
        [.[] | select(.name | ascii_downcase | contains("cron"))]
        | sort_by({"systemd": 0, "systemd-user": 1, "autostart": 2, "cron": 3, "rc": 4}[.kind])
        | "\(length) items match \"cron\"; be more exact or use the id:",
          (.[:12][] | "  \(.name)  (\(.kind_label))")')" "$ERR"

bs_root assess no-such-entry-here
expect_status "assess of a name nothing has fails" 1
expect_eq "it says that nothing matches" 'nothing matches "no-such-entry-here"' "$ERR"
bs_root assess
expect_status "assess without a name is a usage error" 2
expect_eq "it asks which item" 'Which item? bootsmith assess NAME' "$ERR"

# As the user: her own unit, and the computer-wide entry her override hides.
bs_user list --json
user_json=$OUT
expect_description bs_user "$user_json" systemd-user realhost-notes.service
expect_description bs_user "$user_json" autostart "Realhost Updater" "realhost updater"
expect_contains "the hidden entry reads as switched off" "$OUT" $'\n  State: Disabled; not running\n'
