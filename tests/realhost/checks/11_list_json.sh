# `bootsmith list --json` against what systemd, dpkg, cron and the files of
# the guest say: the seeded entries with their states, switches, notes and
# origins, as root and as the test user; and, for every listed unit, the
# selection, the switch, the state text and the running flag compared with
# systemctl's own answers.

# shellcheck source=../reading.sh
source "$REALHOST_HERE/reading.sh"
need_jq "list --json" || return 0

STATIC_NOTE='It has no start-up switch (no [Install] section): the system starts it only when another unit needs it.'
MASKED_NOTE='An administrator blocked it on purpose (masked). Use `systemctl unmask` if you want it back.'
PERSONAL_NOTE='Switching it off here is a personal setting for this account; other users are not affected.'
TRANSIENT_NOTE='It was created for this session only.'
RC_NOTE='It is a shell script. Edit /etc/rc.local by hand, or `chmod -x` it to stop it running.'
UNIT_TYPES=service,timer,socket,path

# systemctl for one scope: "system" as root, "user" as the test user in her
# own session.
scope_systemctl() {
    local scope=$1
    shift
    if [[ $scope == system ]]; then
        in_root systemctl "$@"
    else
        in_user systemctl --user "$@"
    fi
}

# Compares the listed units of one kind with systemd's own answers and keeps
# the differences in UNIT_* variables; true when there are none:
# - the units listed are those switched on, off or masked, plus those of
#   another state that run now;
# - each is enabled as `systemctl is-enabled` says, its state text starts
#   with that same state, it runs when ActiveState is "active", and the sub
#   state after " · " is systemd's SubState.
compare_units() {
    local json=$1 kind=$2 scope=$3 files loaded
    files=$(scope_systemctl "$scope" list-unit-files --type="$UNIT_TYPES" --no-legend --no-pager --plain)
    loaded=$(scope_systemctl "$scope" list-units --type="$UNIT_TYPES" --all --no-legend --no-pager --plain)
    UNIT_WANTED=$(awk '
        NR == FNR { sub(/^[●*× ]+/, ""); if ($3 == "active") up[$1] = 1; next }
        NF >= 2 && $1 ~ /\./ && ($2 ~ /^(enabled|enabled-runtime|disabled|masked|masked-runtime)$/ || up[$1]) { print $1 }
        ' <(printf '%s\n' "$loaded") <(printf '%s\n' "$files") | LC_ALL=C sort)
    UNIT_LISTED=$(jq_of "$json" '.[] | select(.kind == $kind) | .name' --arg kind "$kind" | LC_ALL=C sort)

    local -a names states enabled running answers shown plain=()
    mapfile -t names < <(jq_of "$json" '.[] | select(.kind == $kind) | .name' --arg kind "$kind")
    mapfile -t states < <(jq_of "$json" '.[] | select(.kind == $kind) | .state_text' --arg kind "$kind")
    mapfile -t enabled < <(jq_of "$json" '.[] | select(.kind == $kind) | .enabled' --arg kind "$kind")
    mapfile -t running < <(jq_of "$json" '.[] | select(.kind == $kind) | .running' --arg kind "$kind")
    local i name
    for name in "${names[@]}"; do
        # Templates cannot run, and `systemctl show` does not take them.
        [[ $name =~ @\.[a-z]+$ ]] || plain+=("$name")
    done
    if ((${#names[@]} > 0)); then
        mapfile -t answers < <(scope_systemctl "$scope" is-enabled -- "${names[@]}" || true)
    fi
    if ((${#plain[@]} > 0)); then
        # "ActiveState SubState", one line per unit, in the order asked.
        mapfile -t shown < <(scope_systemctl "$scope" show -p ActiveState -p SubState -- "${plain[@]}" |
            awk 'BEGIN { RS = "" } {
                for (i = 1; i <= NF; i++) { split($i, kv, "="); v[kv[1]] = kv[2] }
                print v["ActiveState"], v["SubState"] }')
    fi
    UNIT_ANSWERS="${#names[@]} ${#plain[@]} / ${#answers[@]} ${#shown[@]}"
    UNIT_BAD_ENABLED='' UNIT_BAD_STATE='' UNIT_BAD_RUNNING='' UNIT_BAD_SUB=''
    local j=0 active sub answer want
    for i in "${!names[@]}"; do
        name=${names[i]}
        answer=${answers[i]:-}
        want=false
        [[ $answer == enabled* ]] && want=true
        [[ ${enabled[i]} == "$want" ]] || UNIT_BAD_ENABLED+="$name: enabled ${enabled[i]}, systemctl says $answer"$'\n'
        [[ ${states[i]%% · *} == "$answer" ]] || UNIT_BAD_STATE+="$name: '${states[i]}', systemctl says $answer"$'\n'
        if [[ $name =~ @\.[a-z]+$ ]]; then
            [[ ${running[i]} == false && ${states[i]} != *' · '* ]] ||
                UNIT_BAD_RUNNING+="$name: a template shown as running or loaded"$'\n'
            continue
        fi
        read -r active sub <<<"${shown[j]:-}"
        j=$((j + 1))
        want=false
        [[ $active == active ]] && want=true
        [[ ${running[i]} == "$want" ]] || UNIT_BAD_RUNNING+="$name: running ${running[i]}, ActiveState $active"$'\n'
        if [[ ${states[i]} == *' · '* && ${states[i]#* · } != "$sub" ]]; then
            UNIT_BAD_SUB+="$name: '${states[i]}', SubState $sub"$'\n'
        fi
    done
    [[ -n $UNIT_WANTED && $UNIT_WANTED == "$UNIT_LISTED" && ${UNIT_ANSWERS% / *} == "${UNIT_ANSWERS#* / }" &&
        -z $UNIT_BAD_ENABLED$UNIT_BAD_STATE$UNIT_BAD_RUNNING$UNIT_BAD_SUB ]]
}

# `list --json` through RUNNER, compared with systemd for one kind of unit.
# A service that a timer starts meanwhile would change systemd's answers:
# a disagreement is tried once more before it counts. Sets OUT.
list_compared_with_systemd() {
    local runner=$1 kind=$2 scope=$3
    for _ in 1 2; do
        "$runner" list --json
        compare_units "$OUT" "$kind" "$scope" && return 0
    done
    return 0
}

expect_units_agree() {
    local label=$1
    expect_ne "$label: systemd reports units to compare with" '' "$UNIT_WANTED"
    expect_eq "$label: the units listed are those switched on, off or masked, and the others that run" \
        "$UNIT_WANTED" "$UNIT_LISTED"
    expect_eq "$label: systemctl answered for every unit" "${UNIT_ANSWERS% / *}" "${UNIT_ANSWERS#* / }"
    expect_eq "$label: every unit's switch agrees with systemctl is-enabled" '' "$UNIT_BAD_ENABLED"
    expect_eq "$label: every state text starts with systemd's unit-file state" '' "$UNIT_BAD_STATE"
    expect_eq "$label: every running flag agrees with systemd's ActiveState" '' "$UNIT_BAD_RUNNING"
    expect_eq "$label: every sub state agrees with systemd's SubState" '' "$UNIT_BAD_SUB"
}

# Every listed system unit's dependents are the units that systemd names in
# its RequiredBy and BoundBy and that run now or are switched on, sorted; the
# service that a socket, timer or path unit starts is not its dependent.
expect_unit_dependents() {
    local label=$1 json=$2
    local -a names listed plain=() required on_list
    mapfile -t names < <(jq_of "$json" '.[] | select(.kind == "systemd") | .name')
    mapfile -t listed < <(jq_of "$json" '.[] | select(.kind == "systemd") | .dependents | join(" ")')
    local name
    for name in "${names[@]}"; do
        [[ $name =~ @\.[a-z]+$ ]] || plain+=("$name")
    done
    # One line per unit, in the order asked: the units that need it.
    mapfile -t required < <(in_root systemctl show -p RequiredBy -p BoundBy -p Triggers -- "${plain[@]}" |
        awk 'BEGIN { RS = ""; FS = "\n" } {
            line = ""
            split("", started)
            for (i = 1; i <= NF; i++) if (sub(/^Triggers=/, "", $i)) {
                n = split($i, words, " ")
                for (k = 1; k <= n; k++) started[words[k]] = 1
                $i = ""
            }
            for (i = 1; i <= NF; i++) {
                sub(/^[A-Za-z]+=/, "", $i)
                n = split($i, words, " ")
                for (k = 1; k <= n; k++) if (!(words[k] in started)) line = line " " words[k]
            }
            print line }')
    local -A on=()
    local -a all_required=()
    read -r -a all_required <<<"$(printf '%s\n' "${required[@]}" | tr ' ' '\n' | sort -u | tr '\n' ' ')"
    if ((${#all_required[@]} > 0)); then
        mapfile -t on_list < <(in_root systemctl show -p Id -p ActiveState -p UnitFileState -- "${all_required[@]}" |
            awk 'BEGIN { RS = ""; FS = "\n" } {
                for (i = 1; i <= NF; i++) { split($i, kv, "="); v[kv[1]] = kv[2] }
                if (v["ActiveState"] == "active" || v["UnitFileState"] ~ /^enabled(-runtime)?$/) print v["Id"] }')
        for name in "${on_list[@]}"; do on[$name]=1; done
    fi
    local bad='' i=0 j wanted dependent
    for j in "${!names[@]}"; do
        name=${names[j]}
        wanted=''
        if [[ ! $name =~ @\.[a-z]+$ ]]; then
            for dependent in $(tr ' ' '\n' <<<"${required[i]:-}" | LC_ALL=C sort -u); do
                [[ $dependent != "$name" && -n ${on[$dependent]:-} ]] && wanted+="$dependent "
            done
            i=$((i + 1))
        fi
        [[ ${wanted% } == "${listed[j]:-}" ]] || bad+="$name: '${listed[j]:-}', systemd says '${wanted% }'"$'\n'
    done
    expect_eq "$label: systemd names dependents for some units" yes \
        "$( ((${#on[@]} > 0)) && echo yes || echo no)"
    expect_eq "$label: every unit's dependents are the running or switched-on units that need it" '' "$bad"
}

# The command and program of a unit as `systemctl show` gives them.
unit_exec() {
    local value argv path
    value=$(in_root systemctl show -p ExecStart --value "$1")
    argv=${value#*"argv[]="}
    path=${value#*"path="}
    printf '%s\n%s\n' "${argv%% ; *}" "${path%% ; *}"
}

# ------------------------------------------------------------------ as root

# A transient unit runs only while this part of the check lasts.
in_root systemd-run --quiet --unit=realhost-transient.service /usr/local/bin/realhost-worker transient
list_compared_with_systemd bs_root systemd system
expect_status "list --json as root succeeds" 0
root_json=$OUT
expect_units_agree "system units as root"
expect_unit_dependents "system units as root" "$root_json"
# unit | state text | running | enabled | toggle | note
units=(
    "realhost-daemon.service|enabled · running|true|true|ok|"
    "realhost-idle.service|disabled · running|true|false|ok|"
    "realhost-static.service|static · running|true|false|locked|$STATIC_NOTE"
    "realhost-legacy.service|masked|false|false|locked|$MASKED_NOTE"
    "realhost-tick.timer|enabled · waiting|true|true|ok|"
    "realhost-transient.service|transient · running|true|false|locked|$TRANSIENT_NOTE"
)
mapfile -t locations < <(in_root systemctl show -p FragmentPath --value -- "${units[@]%%|*}" | sed '/^$/d')
in_root systemctl stop realhost-transient.service

expect_eq "no user units are listed for root" 0 \
    "$(jq_of "$root_json" '[.[] | select(.kind == "systemd-user")] | length')"

cron_file=$(in_root systemctl show -p FragmentPath --value cron.service)
cron_package=$(in_root dpkg-query -S "$cron_file" | sed 's/[:,].*//')
cron_priority=$(in_root dpkg-query -W -f='${Priority}' "$cron_package")
expect_match "dpkg gives cron's package an operating-system priority" "$cron_priority" \
    '^(required|important|standard)$'
mapfile -t cron_exec < <(unit_exec cron.service)
expect_members "cron.service" "$(item_of "$root_json" systemd cron.service)" \
    id="systemd|machine|$cron_file|cron.service" kind_label="systemd service" scope=machine \
    location="$cron_file" command="${cron_exec[0]:-}" exe="${cron_exec[1]:-}" \
    description="$(in_root systemctl show -p Description --value cron.service)" \
    state_text="enabled · running" enabled=true running=true toggle=ok toggle_note= \
    origin="Operating system" package=cron managed=false

expect_eq "systemd names the seeded units' files" "${#units[@]}" "${#locations[@]}"
for i in "${!units[@]}"; do
    IFS='|' read -r unit state is_running is_enabled toggle note <<<"${units[i]}"
    expect_members "$unit" "$(item_of "$root_json" systemd "$unit")" state_text="$state" \
        running="$is_running" enabled="$is_enabled" toggle="$toggle" toggle_note="$note" package= \
        origin="Installed program" location="${locations[i]:-}" id="systemd|machine|${locations[i]:-}|$unit"
done
expect_members "the enabled service" "$(item_of "$root_json" systemd realhost-daemon.service)" \
    command="/usr/local/bin/realhost-worker daemon" exe=/usr/local/bin/realhost-worker \
    description="Realhost daemon" kind_label="systemd service"
expect_members "the timer" "$(item_of "$root_json" systemd realhost-tick.timer)" \
    command="(timer: runs $(in_root systemctl show -p Triggers --value realhost-tick.timer))" \
    kind_label="systemd timer"
expect_members "the timer's trigger" "$(item_of "$root_json" systemd realhost-tick.timer)" \
    command="(timer: runs realhost-tick.service)"

capture in_root sh -c 'systemctl is-enabled realhost-tick.service; systemctl is-active realhost-tick.service'
expect_eq "the timer's service is static and does not run now" $'static\ninactive' "$OUT"
expect_eq "a static unit that does not run is not listed" 0 \
    "$(count_items "$root_json" systemd realhost-tick.service)"

expect_members "the computer-wide tray entry" "$(item_of "$root_json" autostart "Realhost Tray")" \
    id="autostart|machine|/etc/xdg/autostart|Realhost Tray" kind_label="Desktop autostart (all users)" \
    scope=machine location=/etc/xdg/autostart command="/usr/local/bin/realhost-tray infinity" \
    exe=/usr/local/bin/realhost-tray description="Shows the test host's status icon." \
    state_text=Enabled enabled=true toggle=ok toggle_note="$PERSONAL_NOTE" origin="Installed program"
expect_members "the updater entry for root, who has no override" \
    "$(item_of "$root_json" autostart "Realhost Updater")" \
    description="Looks for updates after sign-in. (only in: GNOME;XFCE;)" \
    state_text=Enabled enabled=true toggle=ok

system_cron="@reboot /usr/local/bin/realhost-worker system-cron"
expect_members "the /etc/cron.d line as root" "$(item_of "$root_json" cron "$system_cron")" \
    id="cron|machine|/etc/cron.d/realhost-reboot|$system_cron" kind_label="cron @reboot" scope=machine \
    location=/etc/cron.d/realhost-reboot command="/usr/local/bin/realhost-worker system-cron" \
    exe=/usr/local/bin/realhost-worker state_text="Enabled (runs at boot)" enabled=true toggle=ok
expect_fails "root has no crontab of its own" in_root crontab -l
expect_eq "so no user-scope cron line is listed for root" 0 \
    "$(jq_of "$root_json" '[.[] | select(.kind == "cron" and .scope == "user")] | length')"

expect_members "rc.local" "$(item_of "$root_json" rc rc.local)" \
    id="rc|machine|/etc/rc.local|rc.local" kind_label="rc.local script" scope=machine \
    location=/etc/rc.local description="1 command(s) run at boot: touch /run/realhost-rc-local.ran" \
    state_text="Runs at boot" enabled=true origin="Installed program" toggle=locked toggle_note="$RC_NOTE"

# ------------------------------------------------------------------ as the user

list_compared_with_systemd bs_user systemd-user user
expect_status "list --json as the user succeeds" 0
user_json=$OUT
expect_units_agree "the user's own units"
expect_eq "the user sees the same system units as root (the transient one has gone)" \
    "$(jq_of "$root_json" '[.[] | select(.kind == "systemd" and .name != "realhost-transient.service") | .name] | join(" ")')" \
    "$(jq_of "$user_json" '[.[] | select(.kind == "systemd") | .name] | join(" ")')"
expect_eq "every system unit the user could switch asks for administrator rights" 0 \
    "$(jq_of "$user_json" '[.[] | select(.kind == "systemd" and .toggle == "ok")] | length')"
expect_members "the enabled system unit, for the user" \
    "$(item_of "$user_json" systemd realhost-daemon.service)" toggle=admin
expect_members "the static system unit, for the user" \
    "$(item_of "$user_json" systemd realhost-static.service)" toggle=locked

notes_file="$GUEST_HOME/.config/systemd/user/realhost-notes.service"
expect_members "the user's unit" "$(item_of "$user_json" systemd-user realhost-notes.service)" \
    id="systemd-user|user|$notes_file|realhost-notes.service" kind_label="systemd service (this user)" \
    scope=user location="$notes_file" command="/usr/local/bin/realhost-worker notes" \
    description="Realhost notes sync" state_text="enabled · running" enabled=true running=true \
    toggle=ok package= origin="Installed program"

user_dir="$GUEST_HOME/.config/autostart"
expect_members "the user's own autostart entry" "$(item_of "$user_json" autostart "Realhost Clock")" \
    id="autostart|user|$user_dir|Realhost Clock" kind_label="Desktop autostart (this user)" scope=user \
    location="$user_dir" command="/usr/local/bin/realhost-clock infinity" \
    exe=/usr/local/bin/realhost-clock state_text=Enabled enabled=true toggle=ok toggle_note=
expect_eq "the computer-wide updater entry is listed once for the user" 1 \
    "$(count_items "$user_json" autostart "Realhost Updater")"
expect_members "the updater entry that the user's override hides" \
    "$(item_of "$user_json" autostart "Realhost Updater")" \
    id="autostart|machine|/etc/xdg/autostart|Realhost Updater" scope=machine \
    state_text=Disabled enabled=false toggle=ok toggle_note="$PERSONAL_NOTE"
expect_eq "the override itself is no entry of its own" "Realhost Clock" \
    "$(jq_of "$user_json" '[.[] | select(.kind == "autostart" and .scope == "user") | .name] | join(",")')"

user_cron="@reboot /usr/local/bin/realhost-worker user-cron"
expect_members "the user's crontab line" "$(item_of "$user_json" cron "$user_cron")" \
    id="cron|user|crontab|$user_cron" kind_label="cron @reboot" scope=user location=crontab \
    command="/usr/local/bin/realhost-worker user-cron" state_text="Enabled (runs at boot)" \
    enabled=true toggle=ok
expect_members "the /etc/cron.d line, for the user without rights" \
    "$(item_of "$user_json" cron "$system_cron")" scope=machine toggle=admin enabled=true
expect_members "rc.local, for the user" "$(item_of "$user_json" rc rc.local)" toggle=locked enabled=true
