# `bootsmith doctor` inside the guest: the probes in their order with the
# statuses and details that the guest itself gives (systemd's version, the
# number of unit files, the folders that exist, the programs that are
# installed), as root, as the test user and through sudo; the closing line
# and exit status 0 when nothing failed; and exit status 1 with the failure
# lines when systemctl cannot be found.

# shellcheck source=../reading.sh
source "$REALHOST_HERE/reading.sh"
need_jq "doctor" || return 0

EVERYTHING_WORKS='Everything Bootsmith reads on this computer is working.'
FAILED_TAIL='The rest of the program still runs; for each failed line the matching part of the list will be missing or incomplete.'
UPDATE_HINT='A knowledge update may cover a changed location (bootsmith knowledge update). If it does not, this operating system version needs a newer Bootsmith.'

probe() { printf '[%s] %-34s %s' "$1" "$2" "$3"; }
# The closing line of probe lines without a failure: it mentions the warnings.
closing_line() {
    local warnings
    warnings=$(printf '%s\n' "$@" | grep -c '^\[WARN\]' || true)
    case $warnings in
    0) printf '%s' "$EVERYTHING_WORKS" ;;
    1) printf '%s' "${EVERYTHING_WORKS%.}, with 1 warning above." ;;
    *) printf '%s' "${EVERYTHING_WORKS%.}, with $warnings warnings above." ;;
    esac
}

# Counts the rows of a unit-file list (at least two fields, a unit name with
# a dot) and of a loaded-unit list (at least four).
count_unit_files() { awk 'NF >= 2 && $1 ~ /\./ { n++ } END { print n + 0 }'; }
count_units() { awk '{ sub(/^[●*× ]+/, "") } NF >= 4 && $1 ~ /\./ { n++ } END { print n + 0 }'; }

os_version=$(guest_os_version)
systemd_version=$(in_root systemctl --version | head -n 1)
unit_files=$(in_root systemctl list-unit-files --no-legend --no-pager --plain | count_unit_files)
user_unit_files=$(in_user systemctl --user list-unit-files --no-legend --no-pager --plain | count_unit_files)

download_probe=$(probe WARN "Download tool" \
    "Neither curl nor wget is installed, so knowledge updates cannot be downloaded (importing a file still works).")
if in_root sh -c 'command -v curl' >/dev/null; then
    download_probe=$(probe "ok  " "Download tool" "curl is present.")
elif in_root sh -c 'command -v wget' >/dev/null; then
    download_probe=$(probe "ok  " "Download tool" "wget is present.")
fi
window_probe=$(probe WARN "Opening the window" "xdg-open is missing; open the link by hand.")
if in_root sh -c 'command -v xdg-open' >/dev/null; then
    window_probe=$(probe "ok  " "Opening the window" "xdg-open is present.")
fi

bs_root knowledge status
builtin=$(sed -n 's/^Built-in knowledge: *//p' <<<"$OUT")
expect_match "knowledge status names the built-in version and its rules" "$builtin" '^[^ ]+ \([0-9]+ rules\)$'

# way | runner | acting account | home | administrator
ways=(
    "as root|bs_root|root|/root|yes"
    "as the user|bs_user|$GUEST_USER|$GUEST_HOME|no"
    "through sudo|bs_sudo|$GUEST_USER|$GUEST_HOME|yes"
)
for row in "${ways[@]}"; do
    IFS='|' read -r way runner user home admin <<<"$row"
    rights="ordinary rights"
    data="$home/.local/share/bootsmith"
    if [[ $admin == yes ]]; then
        rights="running as root"
        data=/var/lib/bootsmith
    fi
    data_existed=no
    in_root test -d "$data" && data_existed=yes
    folders=0
    for folder in /etc/xdg/autostart "$home/.config/autostart"; do
        in_root test -d "$folder" && folders=$((folders + 1))
    done
    units_before=$(in_root systemctl list-units --all --no-legend --no-pager --plain | count_units)

    "$runner" doctor
    doctor_out=$OUT
    doctor_status=$STATUS
    expect_status "doctor $way finds nothing failed" 0 "$doctor_status"
    expect_eq "doctor $way reports the system line first, and nothing else" \
        "$(expected_system_line "$user" "$admin")" "$ERR"
    units_after=$(in_root systemctl list-units --all --no-legend --no-pager --plain | count_units)
    mapfile -t lines <<<"$doctor_out"

    wanted=(
        "$(probe "ok  " "Operating system" "$os_version, $rights")"
        "$(probe "ok  " systemd "$systemd_version")"
        "$(probe "ok  " "System unit list" "$unit_files unit files read.")"
    )
    # The loaded units may come and go while doctor runs.
    for count in "$units_before" "$units_after"; do
        units_line=$(probe "ok  " "Unit states" "$count units reported with their state.")
        [[ ${lines[3]:-} == "$units_line" ]] && break
    done
    wanted+=("$units_line")
    if [[ $user != root ]]; then
        wanted+=("$(probe "ok  " "Your own units" "$user_unit_files user unit files read.")")
    fi
    wanted+=(
        "$(probe "ok  " "Desktop autostart folders" "$folders of 2 folders exist.")"
        "$(probe "ok  " cron "crontab is present.")"
        "$(probe "ok  " "Package manager" "dpkg is used to find which package owns a unit.")"
    )
    running_index=${#wanted[@]}
    processes=$(sed -n 's/^\[.\{4\}\] Running programs *\([0-9][0-9]*\) .*/\1/p' <<<"$doctor_out")
    if [[ $admin == yes || ${processes:-0} -gt 3 ]]; then
        wanted+=("$(probe "ok  " "Running programs" "${processes:-?} programs could be inspected through /proc.")")
    else
        wanted+=("$(probe WARN "Running programs" "${processes:-?} of this account's own programs could be inspected. Without administrator rights the other accounts' programs cannot be seen; run with sudo to see them all.")")
    fi
    data_detail=$data
    [[ $data_existed == no ]] &&
        data_detail="$data (it does not exist yet; it is made when the first change or backup is saved)"
    wanted+=(
        "$download_probe"
        "$window_probe"
        "$(probe "ok  " Knowledge "Built-in $builtin.")"
        "$(probe "ok  " "History and backups folder" "$data_detail")"
    )
    wanted+=('' "$(closing_line "${wanted[@]}")")
    expect_eq "doctor $way prints every probe in order, then the closing line" \
        "$(printf '%s\n' "${wanted[@]}")" "$(head -n -2 <<<"$doctor_out")"
    expect_match "doctor $way ends with what changed since the last backup" \
        "$(tail -n 2 <<<"$doctor_out" | tr '\n' '|')" '^\|(No backup yet\.|Since your last backup \([-0-9: ]+ UTC\): .*)\|$'
    expect_match "doctor $way counts the programs it can inspect" "${processes:-none}" '^[0-9]+$'
    if [[ $admin == yes ]]; then
        expect_match "doctor $way, with administrator rights, sees more than three programs" \
            "${lines[running_index]:-}" '^\[ok  \] Running programs +([4-9]|[1-9][0-9]+) programs'
    fi
    data_exists=no
    in_root test -d "$data" && data_exists=yes
    expect_eq "doctor $way does not create its data folder" "$data_existed" "$data_exists"
    expect_fails "doctor $way leaves no write test behind" in_root test -e "$data/.write-test"
done

# Without systemctl and the other helpers on PATH, the sources that need them
# fail or warn, and doctor says how many failed.
capture in_root PATH=/nonexistent "${BS_ENV[@]}" "$REALHOST_BOOTSMITH" doctor
expect_status "doctor with nothing on PATH reports failed sources" 1
for wanted in \
    "$(probe FAIL systemd "systemctl did not answer")" \
    "$(probe FAIL "System unit list" "0 unit files read.")" \
    "$(probe WARN "Unit states" "0 units reported with their state.")" \
    "$(probe WARN cron "crontab is not installed; @reboot jobs cannot be read or created.")" \
    "$(probe WARN "Package manager" "None recognised; the package that owns a unit is not shown.")" \
    "$(probe WARN "Download tool" "Neither curl nor wget is installed, so knowledge updates cannot be downloaded (importing a file still works).")" \
    "$(probe WARN "Opening the window" "xdg-open is missing; open the link by hand.")"; do
    expect_contains "without helpers on PATH: ${wanted:7:26}" $'\n'"$OUT"$'\n' $'\n'"$wanted"$'\n'
done
expect_eq "it closes with the count of failed sources and the hint about updates" \
    $'\n'"2 source(s) did not work. $FAILED_TAIL"$'\n'"$UPDATE_HINT" "$(tail -n 5 <<<"$OUT" | head -n 3)"
