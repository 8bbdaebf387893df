# `bootsmith list` as text: the system line naming the acting account, the
# table built from the same items that `list --json` reports (order, columns
# cut and padded to their widths), the count line, and no notes on a guest
# where every source can be read. Run as root, as the test user and as the
# test user through sudo. Also the filters of `list`.

# shellcheck source=../reading.sh
source "$REALHOST_HERE/reading.sh"
need_jq "list as text" || return 0

HEADER='ON   IF OFF    NAME                           TYPE                   COMMAND'
COUNT_LINE=". 'IF OFF' is the level of what switching an item off could do; try: bootsmith assess NAME"

# The rows of the item table for the items of a `list --json` text.
table_rows() {
    jq_of "$1" "$JQ_COLUMNS"'
        .[] | ((if .enabled then "yes" else "-" end) | pad(4)) + " "
            + (.risk.level | pad(9)) + " "
            + (.name | cut(30) | pad(30)) + " "
            + (.kind_label | cut(22) | pad(22)) + " "
            + (.command | cut(70))'
}

# way | bootsmith runner | acting account | administrator
ways=(
    "as root|bs_root|root|yes"
    "as the user|bs_user|$GUEST_USER|no"
    "through sudo|bs_sudo|$GUEST_USER|yes"
)
for row in "${ways[@]}"; do
    IFS='|' read -r way runner user admin <<<"$row"

    # A service that a timer starts between the two runs would change the
    # list: the pair is tried a second time before the table counts as wrong.
    for _ in 1 2; do
        "$runner" list --json
        json_status=$STATUS json_err=$ERR json=$OUT
        count=$(jq_of "$json" 'length' 2>/dev/null || true)
        "$runner" list
        noun=items
        [[ $count == 1 ]] && noun=item
        wanted="$HEADER"$'\n'"$(table_rows "$json" 2>/dev/null || true)"$'\n\n'"$count $noun$COUNT_LINE"
        [[ $OUT == "$wanted" ]] && break
    done
    expect_status "list --json $way succeeds" 0 "$json_status"
    expect_eq "list --json $way prints nothing on stderr, not even the system line" '' "$json_err"
    expect_match "list --json $way finds start-up items" "$count" '^[1-9][0-9]*$'
    expect_eq "the items $way are sorted by kind, then by lower-cased name" true \
        "$(jq_of "$json" '[.[] | [.kind, (.name | ascii_downcase)]] | . == sort')"
    expect_status "list $way succeeds" 0
    expect_eq "list $way reports the system line, and no notes" \
        "$(expected_system_line "$user" "$admin")" "$ERR"
    expect_eq "list $way prints the header, one row per item and the count line" "$wanted" "$OUT"
    if [[ $runner == bs_root ]]; then
        root_json=$json
        root_table=$OUT
    fi
done

# A few rows spelled out, as root: the enabled and disabled services, the
# masked one and a timer; and a name cut to the column's 30 characters.
OUT=$root_table
rows=(
    'yes  low       realhost-daemon.service        systemd service        /usr/local/bin/realhost-worker daemon'
    '-    low       realhost-idle.service          systemd service        /usr/local/bin/realhost-worker idle'
    '-    low       realhost-legacy.service        systemd service        '
    'yes  low       realhost-tick.timer            systemd timer          (timer: runs realhost-tick.service)'
)
for wanted in "${rows[@]}"; do
    name=${wanted:15:30}
    expect_contains "the row of ${name%% *} reads as expected" $'\n'"$OUT"$'\n' $'\n'"$wanted"$'\n'
done
expect_match "a 31-character name is cut to 29 characters and \"…\"" "$OUT" \
    $'\n''(yes|-   ) [a-z]+ +systemd-journald-dev-log\.sock… systemd socket '

# Filters, each against the full list: the ids left must be exactly those
# that the rule picks from all items.
all=$root_json
# options | jq condition on one item
filters=(
    "--on --filter REALHOST-W|.enabled and ([.name, .command, .kind_label] | any(ascii_downcase | contains(\"realhost-w\")))"
    "--off --level caution|(.enabled | not) and .risk.level == \"caution\""
)
for row in "${filters[@]}"; do
    IFS='|' read -r options condition <<<"$row"
    wanted=$(jq_of "$all" "[.[] | select($condition) | .id] | join(\"\\n\")")
    # shellcheck disable=SC2086 # the options are words on purpose
    bs_root list --json $options
    expect_eq "list $options keeps exactly the items it should" "$wanted" \
        "$(jq_of "$OUT" '[.[].id] | join("\n")')"
done
expect_ne "there are switched-on worker entries for the text filter to keep" '' \
    "$(jq_of "$all" '.[] | select(.enabled and (.command | contains("realhost-worker"))) | .id')"
