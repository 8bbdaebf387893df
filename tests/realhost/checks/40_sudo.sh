# bootsmith run by the test user through sudo acts for her: the same entries
# as her own run (her autostart folder, her crontab, her user units), but
# with administrator rights; her user units are read through runuser in her
# session, her crontab with `crontab -u`; pkexec's PKEXEC_UID is followed the
# same way; and reading writes nothing into her home or the data folders.

# shellcheck source=../reading.sh
source "$REALHOST_HERE/reading.sh"
need_jq "acting for the user through sudo" || return 0

# The arguments of runuser for a systemctl call in the user's session.
RUNUSER_ARGS=(-u "$GUEST_USER" -- env "XDG_RUNTIME_DIR=/run/user/1000"
    "DBUS_SESSION_BUS_ADDRESS=unix:path=/run/user/1000/bus" systemctl --user)

# Files under the user's home that the user does not own, and whether the
# data folders exist: what reading must leave as it was.
traces_of_writing() {
    in_root sh -c 'find "$1" ! -user "$2" -print; for d in /var/lib/bootsmith "$1/.local/share/bootsmith"; do
        test -e "$d" && echo "$d exists"; done; true' _ "$GUEST_HOME" "$GUEST_USER"
}
before=$(traces_of_writing)

bs_user list --json
expect_status "list --json as the user succeeds" 0
user_json=$OUT

install_trace_wrappers
trace_reset
capture in_sudo env PATH="$TRACE_PATH" "${BS_ENV[@]}" "$REALHOST_BOOTSMITH" list --json
expect_status "list --json through sudo succeeds" 0
sudo_json=$OUT
mapfile -t calls < <(trace_calls)

expect_eq "through sudo the same entries are listed as in the user's own run" \
    "$(jq_of "$user_json" '[.[] | .id] | join("\n")')" "$(jq_of "$sudo_json" '[.[] | .id] | join("\n")')"
expect_eq "in the same states" \
    "$(jq_of "$user_json" '[.[] | "\(.enabled) \(.running) \(.state_text)"] | join("\n")')" \
    "$(jq_of "$sudo_json" '[.[] | "\(.enabled) \(.running) \(.state_text)"] | join("\n")')"
expect_eq "what needed administrator rights for the user can be switched through sudo" \
    "$(jq_of "$user_json" '[.[] | if .toggle == "admin" then "ok" else .toggle end] | join(" ")')" \
    "$(jq_of "$sudo_json" '[.[] | .toggle] | join(" ")')"
expect_ne "some entries needed administrator rights for the user" 0 \
    "$(jq_of "$user_json" '[.[] | select(.toggle == "admin")] | length')"

# kind | name | scope | state text
entries=(
    "systemd-user|realhost-notes.service|user|enabled · running"
    "autostart|Realhost Clock|user|Enabled"
    "autostart|Realhost Updater|machine|Disabled"
    "cron|@reboot /usr/local/bin/realhost-worker user-cron|user|Enabled (runs at boot)"
    "cron|@reboot /usr/local/bin/realhost-worker system-cron|machine|Enabled (runs at boot)"
)
for row in "${entries[@]}"; do
    IFS='|' read -r kind name scope state <<<"$row"
    expect_members "through sudo, $name" "$(item_of "$sudo_json" "$kind" "$name")" \
        scope="$scope" state_text="$state" toggle=ok
done
expect_members "through sudo, the user's own autostart entry is in her folder" \
    "$(item_of "$sudo_json" autostart "Realhost Clock")" location="$GUEST_HOME/.config/autostart"

# How the user's things were read.
user_calls=0 through_runuser=0 other_runuser='' crontab_args='' chowns=0
for line in "${calls[@]}"; do
    IFS=$'\037' read -r -a parts <<<"$line"
    case "${parts[0]}" in
    systemctl) [[ ${parts[1]:-} == --user ]] && user_calls=$((user_calls + 1)) ;;
    runuser)
        prefix=("${parts[@]:1:${#RUNUSER_ARGS[@]}}")
        if [[ ${prefix[*]} == "${RUNUSER_ARGS[*]}" ]]; then
            through_runuser=$((through_runuser + 1))
        else
            other_runuser+="${parts[*]:1} "
        fi
        ;;
    crontab) crontab_args+="${parts[*]:1} " ;;
    chown) chowns=$((chowns + 1)) ;;
    esac
done
expect_match "the user's units were read with systemctl --user" "$user_calls" '^[1-9][0-9]*$'
expect_eq "every systemctl --user call ran as the user through runuser, in her session" \
    "$user_calls calls, no other runuser" "$through_runuser calls, ${other_runuser:-no other runuser}"
expect_eq "the user's crontab was read with crontab -u" "-u $GUEST_USER -l " "$crontab_args"
expect_eq "reading hands no file to the user" 0 "$chowns"
remove_trace_wrappers

# Started by pkexec, the program acts for the account of PKEXEC_UID.
capture in_root PKEXEC_UID=1000 "${BS_ENV[@]}" "$REALHOST_BOOTSMITH" list --json
expect_eq "run as root with PKEXEC_UID, the same entries are listed as through sudo" \
    "$(jq_of "$sudo_json" '[.[] | .id] | join("\n")')" "$(jq_of "$OUT" '[.[] | .id] | join("\n")')"
capture in_root PKEXEC_UID=1000 "${BS_ENV[@]}" "$REALHOST_BOOTSMITH" doctor
expect_eq "and the system line names the user as administrator" \
    "$(expected_system_line "$GUEST_USER" yes)" "$ERR"

# Through sudo, running programs are judged against the user's own entries:
# her enabled unit's process is not offered, her notepad is.
bs_sudo running --json
expect_status "running --json through sudo succeeds" 0
notes_pid=$(in_user systemctl --user show -p MainPID --value realhost-notes.service)
expect_eq "the process of the user's enabled unit is not offered through sudo" 0 \
    "$(jq_of "$OUT" '[.[] | select(.pids | index($pid))] | length' --argjson pid "${notes_pid:-0}")"
expect_members "the user's notepad, through sudo" \
    "$(jq -c '.[] | select(.id == "proc|/usr/local/bin/realhost-notepad")' <<<"$OUT")" \
    user="$GUEST_USER" system=false

bs_sudo apps
bs_sudo doctor
expect_eq "listing, running, apps and doctor through sudo wrote nothing into the user's home or the data folders" \
    "$before" "$(traces_of_writing)"
