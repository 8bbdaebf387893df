# A 5 MB crontab for alice, one @reboot line in its middle, switched off and
# on 20 times by a bootsmith that is killed with SIGKILL at a random moment of
# its run (as alice, and as root acting for her): after every kill her
# crontab is the old table or the new one, byte for byte, never a cut-off
# part. Leftover temporary files of killed runs are private (mode 600).
#
# Leaves alice's crontab as the seeds made it.

if ! have_bootsmith; then
    skip "killed crontab rewrites" "no bootsmith in the build folder yet"
    return 0
fi

WORK=/root/rh-66
NAME="@reboot /usr/local/bin/realhost-worker rh-66"
RUNS=20
# Debian's crontab takes at most 10,000 lines, so the lines are long.
FILL=$(printf '%0500d' 0 | tr 0 .)

put_back() {
    in_root crontab -u "$GUEST_USER" /usr/local/share/realhost/crontab.alice || true
    in_root sh -c 'rm -rf "$1"; rm -f /tmp/.bootsmith-crontab-*' sh "$WORK" || true
}
trap put_back EXIT

# The table with the line on (on.txt) and switched off (off.txt).
in_root mkdir -p "$WORK"
in_root sh -c '
    cd "$1" || exit 1
    {
        cat /usr/local/share/realhost/crontab.alice
        seq 1 4800 | sed "s/^/# filler line of a long crontab, number /; s/\$/ $3/"
        echo "$2"
        seq 4801 9600 | sed "s/^/# filler line of a long crontab, number /; s/\$/ $3/"
    } > on.txt
    sed "s|^$2\$|#bootsmith-off# $2|" on.txt > off.txt
    chmod 644 on.txt off.txt
' sh "$WORK" "$NAME" "$FILL"
capture in_root stat -c '%s' "$WORK/on.txt"
expect_match "the crontab is about 5 MB" "$OUT" '^[5-6][0-9]{6}$'
in_root crontab -u "$GUEST_USER" "$WORK/on.txt"

sha_of() { in_root sha256sum "$1" | cut -d' ' -f1; }
on_sha=$(sha_of "$WORK/on.txt")
off_sha=$(sha_of "$WORK/off.txt")
crontab_sha() { in_root crontab -u "$GUEST_USER" -l | sha256sum | cut -d' ' -f1; }
expect_eq "setup: her crontab is the long table" "$on_sha" "$(crontab_sha)"

# Runs bootsmith ACTION on the line, as alice or as root for her. With a
# delay, it is killed that many seconds after its rewrite began: after a
# temporary file of ours appeared in /tmp, or a crontab that is not a reading
# (-l) was started by it, whichever comes first. Then waits until no crontab
# is left running, so that what it installs is what is read.
run_killed() {
    local who=$1 action=$2 seconds=$3
    local script='"$1" "$2" "$3" --yes >/dev/null 2>&1 & p=$!
        if [ -n "$4" ]; then
            n=0
            while kill -0 "$p" 2>/dev/null && [ "$n" -lt 6000 ]; do
                ls /tmp/.bootsmith-crontab-* >/dev/null 2>&1 && break
                for c in $(pgrep -P "$p" -x crontab); do
                    case "$(tr "\\0" " " 2>/dev/null < "/proc/$c/cmdline") " in
                        *" -l "*) ;;
                        *) break 2 ;;
                    esac
                done
                n=$((n + 1))
                sleep 0.01
            done
            sleep "$4"
            kill -9 "$p" 2>/dev/null
        fi
        wait "$p" 2>/dev/null; true'
    if [[ $who == alice ]]; then
        in_user env "${BS_ENV[@]}" sh -c "$script" sh "$REALHOST_BOOTSMITH" "$action" "$NAME" "$seconds"
    else
        in_root env "${BS_ENV[@]}" SUDO_USER="$GUEST_USER" sh -c "$script" sh "$REALHOST_BOOTSMITH" \
            "$action" "$NAME" "$seconds"
    fi
    in_root sh -c 'for i in $(seq 1 200); do pgrep -x crontab >/dev/null || exit 0; sleep 0.05; done' || true
}

# Temporary files that killed runs left: counts those that are not private,
# then removes them, so that the next run's file is the one that is watched.
open_leftovers=0
clear_leftovers() {
    local found
    found=$(in_root find /tmp -maxdepth 1 -name '.bootsmith-crontab-*' ! -perm 600 | wc -l)
    open_leftovers=$((open_leftovers + found))
    in_root sh -c 'rm -f /tmp/.bootsmith-crontab-*'
}

run_killed alice disable ""
expect_eq "an unkilled run switches the line off" "$off_sha" "$(crontab_sha)"

old=0 new=0 partial=0
state=off
for ((i = 1; i <= RUNS; i++)); do
    action=enable expected_new=$on_sha expected_old=$off_sha
    if [[ $state == on ]]; then action=disable expected_new=$off_sha expected_old=$on_sha; fi
    who=alice
    ((i % 2 == 0)) && who=root
    clear_leftovers
    run_killed "$who" "$action" "0.$(printf '%03d' $((RANDOM % 500)))"
    now=$(crontab_sha)
    if [[ $now == "$expected_old" ]]; then
        old=$((old + 1))
    elif [[ $now == "$expected_new" ]]; then
        new=$((new + 1))
        [[ $action == enable ]] && state=on || state=off
    else
        partial=$((partial + 1))
        in_root crontab -u "$GUEST_USER" "$WORK/on.txt"
        state=on
    fi
done
clear_leftovers
echo "66_crontab_kill: $RUNS kills during the rewrite: $old left the old table, $new the new one, $partial a partial one"
expect_eq "no kill left a partial crontab ($old old, $new new)" 0 "$partial"
expect_eq "leftover temporary files of killed runs are private" 0 "$open_leftovers"

trap - EXIT
put_back
