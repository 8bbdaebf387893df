# What `bootsmith list` costs as root: the helper programs it starts (only
# as many as batching needs: up to 60 units per `systemctl show`, 80 paths
# or names per `dpkg-query`), and its time compared with those same calls
# run alone, one after the other, in the same guest. The time check fails
# only on a gross regression (more than three times the calls' own time);
# the figures are printed.

# shellcheck source=../reading.sh
source "$REALHOST_HERE/reading.sh"
need_jq "the calls of list" || return 0

ROUNDS=2
# Extra units, switched off, so that the batches fill up: more than 60
# units to describe and more than 80 unit files to look up.
EXTRA_UNITS=70

# ceil(N / SIZE)
chunks() { echo $((($1 + $2 - 1) / $2)); }
sorted_words() { printf '%s\n' "$@" | LC_ALL=C sort | sed '/^$/d'; }

add_extra_units() {
    in_root bash -s -- "$EXTRA_UNITS" <<'EOF'
set -euo pipefail
for ((i = 1; i <= $1; i++)); do
    printf '%s\n' '[Unit]' "Description=Realhost batch filler $i" '' '[Service]' \
        'ExecStart=/usr/local/bin/realhost-worker batch' '' '[Install]' 'WantedBy=multi-user.target' \
        >"/etc/systemd/system/realhost-batch-$i.service"
done
systemctl daemon-reload
EOF
}
remove_extra_units() {
    in_root sh -c 'rm -f /etc/systemd/system/realhost-batch-*.service && systemctl daemon-reload'
    remove_trace_wrappers
}
trap remove_extra_units EXIT

add_extra_units
install_trace_wrappers
trace_reset
capture in_root PATH="$TRACE_PATH" "${BS_ENV[@]}" "$REALHOST_BOOTSMITH" list --json
expect_status "list --json with every helper program traced succeeds" 0
json=$OUT
mapfile -t calls < <(trace_calls)

declare -A started=()
show_calls=0 show_max=0 cat_calls=0 unit_lookups=0 unit_lookup_max=0 other_lookups=0 other_lookup_max=0
priority_calls=0 priority_max=0 bad_format=0
show_units=() cat_units=() unit_paths=() other_paths=() priority_names=() crontab_args=()
for line in "${calls[@]}"; do
    IFS=$'\037' read -r -a parts <<<"$line"
    program=${parts[0]}
    args=("${parts[@]:1}")
    started[$program]=$((${started[$program]:-0} + 1))
    case "$program ${args[0]:-}" in
    "systemctl show")
        units=()
        for ((i = 1; i < ${#args[@]}; i++)); do
            if [[ ${args[i]} == -p ]]; then
                i=$((i + 1))
            elif [[ ${args[i]} != -* ]]; then
                units+=("${args[i]}")
            fi
        done
        show_calls=$((show_calls + 1))
        ((${#units[@]} > show_max)) && show_max=${#units[@]}
        show_units+=("${units[@]}")
        ;;
    "systemctl cat")
        cat_calls=$((cat_calls + 1))
        cat_units+=("${args[@]:3}")
        ;;
    "dpkg-query -S")
        paths=("${args[@]:1}")
        if [[ ${paths[0]:-} =~ ^(/usr)?/lib/systemd/|^/etc/systemd/ ]]; then
            unit_lookups=$((unit_lookups + 1))
            ((${#paths[@]} > unit_lookup_max)) && unit_lookup_max=${#paths[@]}
            unit_paths+=("${paths[@]}")
        else
            other_lookups=$((other_lookups + 1))
            ((${#paths[@]} > other_lookup_max)) && other_lookup_max=${#paths[@]}
            other_paths+=("${paths[@]}")
        fi
        ;;
    "dpkg-query -W")
        priority_calls=$((priority_calls + 1))
        [[ ${args[1]:-} == $'-f=${Package}\t${Priority}\t${Essential}\036' ]] || bad_format=1
        ((${#args[@]} - 2 > priority_max)) && priority_max=$((${#args[@]} - 2))
        priority_names+=("${args[@]:2}")
        ;;
    "crontab "*) crontab_args+=("${args[*]}") ;;
    esac
done

mapfile -t units < <(jq_of "$json" '.[] | select(.kind == "systemd") | .name')
templates=() plain=()
for unit in "${units[@]}"; do
    if [[ $unit =~ @\.[a-z]+$ ]]; then templates+=("$unit"); else plain+=("$unit"); fi
done
expect_eq "the batches fill up: more than 60 units to describe, with the extra ones" yes \
    "$( ((${#plain[@]} > 60)) && echo yes || echo "no, ${#plain[@]}")"

expect_eq "one unit-file list and one loaded-unit list" "1 1" \
    "$(grep -c $'^systemctl\037list-unit-files\037' <<<"$(printf '%s\n' "${calls[@]}")") $(grep -c $'^systemctl\037list-units\037' <<<"$(printf '%s\n' "${calls[@]}")")"
expect_eq "systemctl show is asked in batches of at most 60 units, no more often than needed" \
    "$(chunks "${#plain[@]}" 60) calls, at most 60" "$show_calls calls, at most $((show_max > 60 ? show_max : 60))"
expect_eq "systemctl show describes exactly the listed units that are not templates" \
    "$(sorted_words "${plain[@]}")" "$(sorted_words "${show_units[@]}")"
expect_eq "each template is described by one systemctl cat" \
    "${#templates[@]} $(sorted_words "${templates[@]}" | tr '\n' ' ')" \
    "$cat_calls $(sorted_words "${cat_units[@]}" | tr '\n' ' ')"

mapfile -t locations < <(jq_of "$json" '.[] | select(.kind == "systemd" and .location != "(no unit file)") | .location')
missing=''
for location in "${locations[@]}"; do
    asked=("$location")
    [[ $location == /usr/lib/* ]] && asked+=("${location#/usr}")
    for path in "${asked[@]}"; do
        [[ " ${unit_paths[*]} " == *" $path "* ]] || missing+="$path "
    done
done
expect_eq "dpkg-query -S is asked for every unit file (and /lib for /usr/lib)" '' "$missing"
expect_eq "the batches fill up: more than 80 unit files to look up" yes \
    "$( ((${#unit_paths[@]} > 80)) && echo yes || echo "no, ${#unit_paths[@]}")"
expect_eq "the unit files are looked up in batches of at most 80 paths" \
    "$(chunks "${#unit_paths[@]}" 80) calls, at most 80" \
    "$unit_lookups calls, at most $((unit_lookup_max > 80 ? unit_lookup_max : 80))"
expect_eq "the autostart programs are looked up in batches of at most 80 paths" \
    "$(chunks "${#other_paths[@]}" 80) calls, at most 80" \
    "$other_lookups calls, at most $((other_lookup_max > 80 ? other_lookup_max : 80))"
mapfile -t programs < <(jq_of "$json" '[.[] | select(.kind == "autostart") | .exe] | unique | .[]')
expect_eq "the autostart programs looked up are those of the autostart entries" \
    "$(sorted_words "${programs[@]}")" "$(sorted_words "${other_paths[@]}")"

mapfile -t packages < <(jq_of "$json" '[.[] | select(.package != "") | .package] | unique | .[]')
expect_match "the listed units have packages" "${#packages[@]}" '^[1-9][0-9]*$'
missing=''
for package in "${packages[@]}"; do
    [[ " ${priority_names[*]} " == *" $package "* ]] || missing+="$package "
done
expect_eq "the priority of every owning package is asked for" '' "$missing"
expect_eq "priorities are asked in batches of at most 80 names, with the three-field format" \
    "$(chunks "${#priority_names[@]}" 80) calls, at most 80, format ok" \
    "$priority_calls calls, at most $((priority_max > 80 ? priority_max : 80)), format $( ((bad_format)) && echo wrong || echo ok)"
expect_eq "root's own crontab is read once" "-l" "${crontab_args[*]}"
expect_eq "no other helper program is started for root's listing" "" \
    "$(for program in "${!started[@]}"; do
        [[ $program =~ ^(systemctl|dpkg-query|crontab)$ ]] || printf '%s ' "$program"
    done)"
total=${#calls[@]}
printf 'NOTE %s: list as root started %d helper programs: %s\n' "$CHECK_NAME" "$total" \
    "$(for program in "${!started[@]}"; do printf '%s x%d ' "$program" "${started[$program]}"; done)"

# Every process bootsmith starts, seen from outside the guest: no program
# escapes the traced ones.
if command -v strace >/dev/null; then
    strace_log=$(mktemp)
    strace -f -qq -e trace=execve -e signal=none -o "$strace_log" -- \
        bash -c 'source "$1/host.sh"; shift; rh_exec_in "$REALHOST_RUN" "$@" >/dev/null 2>&1' \
        _ "$REALHOST_HERE" "${BS_ENV[@]}" "$REALHOST_BOOTSMITH" list --json || true
    execs=$(awk -v bs="$REALHOST_BOOTSMITH" '
        index($0, "execve(\"" bs "\"") && / = 0$/ { seen = 1; next }
        seen && /execve\(/ && / = 0$/ { sub(/^[0-9]+ +execve\("/, ""); sub(/".*/, ""); n = split($0, p, "/"); print p[n] }
        ' "$strace_log" | LC_ALL=C sort | tr '\n' ' ')
    rm -f "$strace_log"
    expect_eq "the processes bootsmith starts are exactly the traced calls" \
        "$(for line in "${calls[@]}"; do printf '%s\n' "${line%%$'\037'*}"; done | LC_ALL=C sort | tr '\n' ' ')" "$execs"
else
    skip "the processes bootsmith starts are exactly the traced calls" "strace is not installed on this machine"
fi

# Time: the best of a few rounds of list as root, and of the same calls run
# alone by a shell, in microseconds.
capture in_root bash -s -- "$TRACE_DIR" "$ROUNDS" "$REALHOST_BOOTSMITH" <<'EOF'
set -uo pipefail
dir=$1 rounds=$2 bootsmith=$3
replay() {
    local f args
    for f in "$dir"/log/*; do
        mapfile -d '' args <"$f"
        "${f##*@}" "${args[@]}" >/dev/null 2>&1 </dev/null
    done
}
now() { printf '%s' "${EPOCHREALTIME/[.,]/}"; }
best_list=999999999999 best_calls=999999999999
for ((round = 0; round < rounds; round++)); do
    start=$(now)
    LC_ALL=C.UTF-8 "$bootsmith" list >/dev/null 2>&1
    took=$(($(now) - start))
    ((took < best_list)) && best_list=$took
    start=$(now)
    replay
    took=$(($(now) - start))
    ((took < best_calls)) && best_calls=$took
done
printf '%s %s\n' "$best_list" "$best_calls"
EOF
read -r list_us calls_us <<<"$OUT"
expect_match "the times were measured" "$list_us $calls_us" '^[0-9]+ [1-9][0-9]*$'
if [[ $list_us =~ ^[0-9]+$ && $calls_us =~ ^[1-9][0-9]*$ ]]; then
    ratio=$((list_us * 100 / calls_us))
    printf 'NOTE %s: list as root took %d ms; its %d helper calls alone took %d ms (best of %d): %d.%02d times\n' \
        "$CHECK_NAME" $((list_us / 1000)) "$total" $((calls_us / 1000)) "$ROUNDS" $((ratio / 100)) $((ratio % 100))
    expect_eq "list as root takes at most three times as long as its helper calls alone" yes \
        "$( ((ratio <= 300)) && echo yes || echo "no, $((ratio / 100)).$((ratio % 100)) times")"
fi

remove_extra_units
trap - EXIT
