# `bootsmith running` and `bootsmith apps`: the test user's notepad, which
# runs without starting by itself, is offered; what already starts (an
# enabled service, a static one, a program of an autostart entry) is not; a
# running service that is switched off is offered as a service; NoDisplay
# applications are never offered; --all adds the system's own programs; and
# the text tables show the same candidates as the JSON.

# shellcheck source=../reading.sh
source "$REALHOST_HERE/reading.sh"
need_jq "running and apps" || return 0

PROGRAM_HEADER=$(printf '%-32s %-10s PROGRAM' NAME SOURCE)
PROGRAM_COUNT='programs not set to start with the computer. Make one start with it: bootsmith add NAME'
OWN_ONLY_NOTE="Without administrator rights only this account's own programs can be inspected; run with sudo to see the rest."
SERVICE_NOTE='A systemd service that is running now but is not switched on for start-up.'

# The program table for the candidates of a JSON text.
program_table() {
    printf '%s\n' "$PROGRAM_HEADER"
    jq_of "$1" "$JQ_COLUMNS"'
        sort_by(.name | ascii_downcase)[]
        | (.name | cut(32) | pad(32)) + " " + (.source | pad(10)) + " " + (.exe | cut(80))'
    printf '\n%s %s' "$(jq_of "$1" length)" "$PROGRAM_COUNT"
}

candidate() { jq -c --arg id "$2" '.[] | select(.id == $id)' <<<"$1"; }
ids() { jq_of "$1" '[.[].id] | sort | join(" ")'; }
# The candidates, if any, that carry a process id.
holders_of() { jq_of "$1" '[.[] | select(.pids | index($pid)) | .id] | join(" ")' --argjson pid "$2"; }
offered() {
    [[ $(jq_of "$1" '[.[] | select(.name == $name)] | length' --arg name "$2") != 0 ]] && echo yes || echo no
}
modes() { jq_of "$1" '[.modes[] | .id + (if .recommended then "*" else "" end)] | join(" ")'; }

notepad_pid=$(in_root pgrep -u "$GUEST_USER" -f '^/usr/local/bin/realhost-notepad ')
notepad_cwd=$(in_root readlink "/proc/$notepad_pid/cwd")
notes_pid=$(in_user systemctl --user show -p MainPID --value realhost-notes.service)
daemon_pid=$(in_root systemctl show -p MainPID --value realhost-daemon.service)
static_pid=$(in_root systemctl show -p MainPID --value realhost-static.service)
idle_pid=$(in_root systemctl show -p MainPID --value realhost-idle.service)
expect_match "the seeded programs run with process ids" \
    "$notepad_pid $notes_pid $daemon_pid $static_pid $idle_pid" '^[1-9][0-9]*( [1-9][0-9]*){4}$'

# ------------------------------------------------------------------ running

bs_user running --json
expect_status "running --json as the user succeeds" 0
user_running=$OUT
notepad=$(candidate "$user_running" "proc|/usr/local/bin/realhost-notepad")
expect_members "the user's running notepad" "$notepad" name="Realhost Notepad" source=process \
    exe=/usr/local/bin/realhost-notepad command="/usr/local/bin/realhost-notepad infinity" \
    workdir="$notepad_cwd" user="$GUEST_USER" pids="$notepad_pid" entry_id= system=false
expect_eq "the notepad is an installed application's program: signing in is the recommended way" \
    "login* user-service boot" "$(modes "$notepad")"
expect_eq "the process of the user's enabled unit is not offered" '' "$(holders_of "$user_running" "$notes_pid")"
expect_eq "bootsmith never offers itself" 0 \
    "$(jq_of "$user_running" '[.[] | select(.exe | endswith("/bootsmith"))] | length')"

bs_user running
expect_status "running as the user succeeds" 0
expect_eq "running as the user prints the program table of the same candidates" \
    "$(program_table "$user_running")" "$OUT"
expect_contains "running as the user says that only the user's own programs can be seen" "$ERR" "$OWN_ONLY_NOTE"
expect_eq "the system line comes first" "$(expected_system_line "$GUEST_USER" no)" "${ERR%%$'\n'*}"

bs_root running --json
expect_status "running --json as root succeeds" 0
root_running=$OUT
idle_id="systemd|machine|$(in_root systemctl show -p FragmentPath --value realhost-idle.service)|realhost-idle.service"
expect_members "the running service that is switched off" \
    "$(candidate "$root_running" "unit|system|realhost-idle.service")" \
    name=realhost-idle.service source=service exe=/usr/local/bin/realhost-worker \
    command="/usr/local/bin/realhost-worker idle" description="Realhost idle service" \
    pids="$idle_pid" notes="$SERVICE_NOTE" entry_id="$idle_id" system=false
expect_eq "it is offered only as the existing unit switched on, which needs administrator rights" \
    'service-enable true true' \
    "$(jq_of "$(candidate "$root_running" "unit|system|realhost-idle.service")" \
        '[.modes[] | .id, .needs_admin, .recommended] | map(tostring) | join(" ")')"
expect_eq "the enabled service's process is not offered" '' "$(holders_of "$root_running" "$daemon_pid")"
expect_eq "the static service's process is not offered" '' "$(holders_of "$root_running" "$static_pid")"
expect_eq "nor the static service itself, which has no switch" '' \
    "$(candidate "$root_running" "unit|system|realhost-static.service")"
expect_members "root sees the user's notepad as hers" \
    "$(candidate "$root_running" "proc|/usr/local/bin/realhost-notepad")" user="$GUEST_USER" pids="$notepad_pid"
expect_eq "without --all no system program is offered" 0 \
    "$(jq_of "$root_running" '[.[] | select(.system)] | length')"

bs_root running --all --json
root_all=$OUT
expect_match "--all adds the system's own programs, such as systemd" \
    "$(jq_of "$root_all" '[.[] | select(.system) | .exe] | join(" ")')" '(^| )/(usr/)?lib/systemd/systemd( |$)'
expect_eq "--all keeps every other candidate as it was" "$(ids "$root_running")" \
    "$(ids "$(jq -c '[.[] | select(.system | not)]' <<<"$root_all")")"

# ------------------------------------------------------------------ apps

bs_user apps --json
expect_status "apps --json as the user succeeds" 0
user_apps=$OUT
expect_members "the viewer application" "$(candidate "$user_apps" "app|realhost-viewer infinity")" \
    name="Realhost Viewer" source=app exe=/usr/local/bin/realhost-viewer command="realhost-viewer infinity" \
    description="Shows pictures." workdir= user= pids= entry_id= system=false
expect_eq "applications are offered for signing in first" "login* user-service boot" \
    "$(modes "$(candidate "$user_apps" "app|realhost-viewer infinity")")"
expect_members "the notepad application, its field code dropped" \
    "$(candidate "$user_apps" "app|/usr/local/bin/realhost-notepad infinity")" \
    name="Realhost Notepad" command="/usr/local/bin/realhost-notepad infinity"

bs_user apps --all --json
user_apps_all=$OUT
# name | offered to the user (apps and apps --all)
apps=(
    "Realhost Viewer|yes"
    "Realhost Notepad|yes"
    "Realhost Clock|no"
    "Realhost Settings|no"
)
for row in "${apps[@]}"; do
    IFS='|' read -r name offered <<<"$row"
    expect_eq "$name offered by apps: $offered" "$offered" "$(offered "$user_apps" "$name")"
    expect_eq "$name offered by apps --all: $offered" "$offered" "$(offered "$user_apps_all" "$name")"
done

bs_user apps
expect_eq "apps as the user prints the program table of the same candidates" \
    "$(program_table "$user_apps")" "$OUT"

# The clock starts through the user's autostart entry, not through root's.
bs_root apps --json
expect_eq "root, who has no autostart entry for the clock, is offered it" 1 \
    "$(jq_of "$OUT" '[.[] | select(.name == "Realhost Clock")] | length')"
expect_eq "root is not offered the NoDisplay application either" 0 \
    "$(jq_of "$OUT" '[.[] | select(.name == "Realhost Settings")] | length')"
