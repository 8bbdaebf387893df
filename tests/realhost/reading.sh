# shellcheck shell=bash
# Helpers for the checks of what bootsmith reads (checks 10 to 49): its JSON
# output through jq, the texts it should print about the guest, and logging
# wrappers that record every helper program it starts. Sourced by those
# checks after assert.sh and guest.sh.

# ------------------------------------------------------------------ JSON

# True when jq is there to read bootsmith's JSON on this machine; otherwise
# records one skip with LABEL, so that the check can end early.
need_jq() {
    command -v jq >/dev/null && return 0
    skip "$1" "jq is not installed on this machine"
    return 1
}

# Runs a jq filter over a JSON text: jq_of JSON FILTER [jq options...]; raw
# output, one line per result.
jq_of() {
    local json=$1 filter=$2
    shift 2
    jq -r "$@" "$filter" <<<"$json"
}

# The one item of a `list --json` text with this kind and name, as compact
# JSON; empty when there is none or more than one.
item_of() {
    jq -c --arg kind "$2" --arg name "$3" \
        '[.[] | select(.kind == $kind and .name == $name)] | if length == 1 then .[0] else empty end' <<<"$1"
}

# How many items of a `list --json` text have this kind and name.
count_items() {
    jq --arg kind "$2" --arg name "$3" \
        '[.[] | select(.kind == $kind and .name == $name)] | length' <<<"$1"
}

# One member of an item or candidate object as text; arrays give one element
# a line.
member() {
    jq -r --arg key "$2" '.[$key] | if type == "array" then .[] | tostring else tostring end' <<<"$1"
}

# Checks several members of one object at once: expect_members LABEL OBJECT
# KEY=VALUE... (one assertion per member, named after LABEL and the key).
expect_members() {
    local label=$1 object=$2 pair
    shift 2
    if [[ -z $object ]]; then
        assert_fail "$label" "there is no such entry"
        return 0
    fi
    local -a keys=() values=()
    for pair in "$@"; do
        keys+=("${pair%%=*}")
    done
    # One jq for all members: each value, as member gives it, ends with NUL.
    mapfile -d '' values < <(jq -j '. as $object | $ARGS.positional[]
        | ($object[.] | if type == "array" then map(tostring) | join("\n") else tostring end) + "\u0000"' \
        --args "${keys[@]}" <<<"$object")
    local i=0
    for pair in "$@"; do
        expect_eq "$label: ${keys[i]}" "${pair#*=}" "${values[i]:-}"
        i=$((i + 1))
    done
}

# jq definitions for the fixed-width columns of the text tables: a text cut
# to N characters with a final "…", and padded with spaces to N.
# shellcheck disable=SC2034 # for the checks
JQ_COLUMNS='
def cut(n): if length > n then .[:n - 1] + "…" else . end;
def pad(n): if length < n then . + (" " * (n - length)) else . end;'

# ------------------------------------------------------------------ the guest

# The version text bootsmith should show for the guest: the distribution's
# pretty name and the kernel release.
guest_os_version() {
    in_root bash -c '
        name=$(sed -n "s/^PRETTY_NAME=//p" /etc/os-release | head -n 1)
        name=${name#\"}
        name=${name%\"}
        printf "%s (kernel %s)" "${name:-Linux}" "$(tr -d "[:space:]" </proc/sys/kernel/osrelease)"'
}

# The system line bootsmith should print first: expected_system_line USER
# ADMIN, ADMIN being "yes" or "no".
expected_system_line() {
    local user=$1 admin=$2 host suffix=''
    host=$(in_root cat /proc/sys/kernel/hostname)
    [[ $admin == yes ]] && suffix=' (administrator)'
    printf '%s - %s - %s%s' "$host" "$(guest_os_version)" "$user" "$suffix"
}

# ------------------------------------------------------------------ tracing

# Wrappers for the helper programs bootsmith may start, in a folder put first
# on PATH: each records its arguments (NUL-separated) in one file per call,
# named by time, process and program, and then runs the real program.
TRACE_DIR=/tmp/realhost-trace
# shellcheck disable=SC2034 # for the checks
TRACE_PATH="$TRACE_DIR/bin:$REALHOST_GUEST_PATH"
TRACED_PROGRAMS=(systemctl dpkg-query rpm pacman crontab runuser getent chown curl wget xdg-open pkexec)

install_trace_wrappers() {
    in_root bash -s -- "$TRACE_DIR" "${TRACED_PROGRAMS[@]}" <<'EOF'
set -euo pipefail
dir=$1
shift
rm -rf "$dir"
mkdir -p "$dir/bin" "$dir/log"
# The user's own calls (through runuser) log here too.
chmod 1777 "$dir/log"
for name in "$@"; do
    real=$(command -v "$name") || continue
    printf '%s\n' '#!/bin/bash' \
        "printf '%s\\0' \"\$@\" >\"$dir/log/\${EPOCHREALTIME/[.,]/}-\$\$@$name\"" \
        "exec $real \"\$@\"" >"$dir/bin/$name"
    chmod 0755 "$dir/bin/$name"
done
EOF
}

trace_reset() { in_root bash -c 'rm -f "$1"/log/*' _ "$TRACE_DIR"; }

remove_trace_wrappers() { in_root rm -rf "$TRACE_DIR"; }

# The recorded calls in the order made, one a line: the program, then each
# argument, separated by the unit separator (0x1f); line breaks inside an
# argument become record separators (0x1e).
trace_calls() {
    in_root bash -c '
        shopt -s nullglob
        for f in "$1"/log/*; do
            printf "%s\037" "${f##*@}"
            tr "\n\000" "\036\037" <"$f"
            printf "\n"
        done' _ "$TRACE_DIR"
}
