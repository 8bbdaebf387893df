#!/usr/bin/env bash
# An isolated Debian machine with a real systemd, for end-to-end tests.
#
# The root file system is built once with debootstrap and cached under
# /var/tmp; every boot mounts it as the read-only lower layer of an overlay,
# so the cache is never written and a run can keep its upper layer for a
# second boot. The guest gets its own PID, mount, UTS, IPC, network and cgroup
# namespaces, a capability bounding set without machine-wide powers, and no
# host devices.
#
# Use it as a command (host.sh help) or source it for the rh_* functions.

REALHOST_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
REALHOST_SELF="$REALHOST_DIR/host.sh"
REALHOST_CACHE=${REALHOST_CACHE:-/var/tmp/bootsmith-realhost}
REALHOST_ROOT="$REALHOST_CACHE/root"
REALHOST_USER=alice
REALHOST_UID=1000
REALHOST_HOSTNAME=realhost
REALHOST_BUILD_MOUNT=/opt/bootsmith-build
# Powers that reach beyond the guest's namespaces: kernel modules, raw I/O,
# the clock, rebooting or kexec-ing the machine, the kernel log, security
# modules, file handles (open_by_handle_at escapes a chroot), BPF and perf.
# systemd copes without them and exits instead of rebooting when it stops.
REALHOST_DROP_CAPS=-sys_module,-sys_rawio,-sys_time,-sys_boot,-sys_pacct,-syslog,-mac_admin,-mac_override,-wake_alarm,-block_suspend,-audit_control,-dac_read_search,-bpf,-perfmon,-sys_tty_config,-linux_immutable
REALHOST_GUEST_PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin

# shellcheck source=root.sh
source "$REALHOST_DIR/root.sh"
# shellcheck source=stages.sh
source "$REALHOST_DIR/stages.sh"

rh_log() { printf 'realhost: %s\n' "$*" >&2; }
rh_die() {
    rh_log "$*"
    exit 1
}
rh_now() { printf '%s' "${EPOCHREALTIME/[.,]/}"; }
# Seconds with one decimal since a timestamp taken with rh_now.
rh_since() {
    local us=$(($(rh_now) - $1))
    printf '%d.%d' $((us / 1000000)) $((us % 1000000 / 100000))
}

# ---------------------------------------------------------------- runs

# REALHOST_OWNER_PID, when set, names the process that owns the guests booted
# from now on: they are destroyed when it dies.
#
# A run folder holds one guest's state: the overlay's upper and work layers,
# the console log, the PIDs and the cgroup. REALHOST_RUN names it; the last
# started run is the default.
rh_run_dir() {
    if [[ -n ${REALHOST_RUN:-} ]]; then
        printf '%s\n' "$REALHOST_RUN"
    elif [[ -L $REALHOST_CACHE/runs/last ]]; then
        readlink -f "$REALHOST_CACHE/runs/last"
    else
        return 1
    fi
}

rh_new_run() {
    mkdir -p "$REALHOST_CACHE/runs"
    local run
    run=$(mktemp -d "$REALHOST_CACHE/runs/run.XXXXXX")
    ln -sfn "$run" "$REALHOST_CACHE/runs/last"
    printf '%s\n' "$run"
}

# The host's cgroup2 mount point, read from the mount table.
rh_cgroup2_mount() {
    awk '{ for (i = 7; i <= NF; i++) if ($i == "-") { if ($(i + 1) == "cgroup2") { print $5; exit } break } }' \
        /proc/self/mountinfo
}

rh_pid_alive() { [[ -n $1 ]] && kill -0 "$1" 2>/dev/null; }

# The guest's systemd as seen from the host, checked anew each time so that a
# recycled PID is never entered.
# Builtins only: every command run inside asks this.
rh_guest_pid() {
    local run=$1 upid='' pid='' comm=''
    { read -r upid <"$run/unshare.pid"; } 2>/dev/null || return 1
    [[ $upid =~ ^[0-9]+$ ]] || return 1
    { read -r pid _ <"/proc/$upid/task/$upid/children"; } 2>/dev/null || true
    [[ $pid =~ ^[0-9]+$ ]] || return 1
    { read -r comm <"/proc/$pid/comm"; } 2>/dev/null || return 1
    [[ $comm == systemd ]] || return 1
    printf '%s\n' "$pid"
}

# Boots the guest of a run folder (a new one when none is given) and waits
# until systemd has finished starting up.
rh_start() {
    local run=${1:-} build=${2:-}
    rh_root_ready || rh_die "The root is not built; run: host.sh build-root"
    [[ -n $run ]] || run=$(rh_new_run)
    if rh_guest_pid "$run" >/dev/null; then
        rh_die "The guest of $run is already running."
    fi
    local cg2
    cg2=$(rh_cgroup2_mount)
    [[ -n $cg2 ]] || rh_die "No cgroup2 file system is mounted on this machine."
    mkdir -p "$run/upper" "$run/work" "$run/merged"
    local cg
    cg="$cg2/bootsmith-realhost-$(basename "$run")"
    rh_remove_cgroup "$cg"
    mkdir "$cg" "$cg/realhost-exec"
    {
        printf 'RH_CGROUP=%q\n' "$cg"
        printf 'RH_BUILD=%q\n' "${build:+$(readlink -f "$build")}"
    } >"$run/env"
    setsid unshare --fork --kill-child --pid --mount --uts --ipc --net --propagation private \
        -- bash "$REALHOST_SELF" __stage1 "$run" </dev/null >>"$run/console.log" 2>&1 &
    local upid=$!
    printf '%s\n' "$upid" >"$run/unshare.pid"
    if [[ -n ${REALHOST_OWNER_PID:-} ]]; then
        setsid bash "$REALHOST_SELF" __watch "$run" "$REALHOST_OWNER_PID" "$upid" \
            </dev/null >/dev/null 2>&1 &
    fi
    rh_wait_running "$run"
}

# Ends a guest whose owner (the suite that booted it) died without stopping
# it, so that a killed suite leaves no machine running.
rh_watch() {
    local run=$1 owner=$2 upid=$3 i
    # Right after the start the process may still be on its way to unshare.
    for ((i = 0; i < 100; i++)); do
        rh_unshare_alive "$upid" && break
        rh_pid_alive "$upid" || return 0
        sleep 0.1
    done
    while rh_unshare_alive "$upid"; do
        if ! rh_pid_alive "$owner"; then
            rh_destroy "$run"
            return 0
        fi
        sleep 1
    done
}

# Waits on this side, without entering the guest, until its systemd listens,
# then lets systemd itself say when start-up has finished.
rh_wait_running() {
    local run=$1 pid='' state='' i upid
    upid=$(cat "$run/unshare.pid")
    for ((i = 0; i < 600; i++)); do
        if pid=$(rh_guest_pid "$run") && [[ -S /proc/$pid/root/run/systemd/private ]]; then
            break
        fi
        # Our own child, so its PID cannot have been reused yet.
        rh_pid_alive "$upid" || rh_die "The guest ended while starting: $(tail -n 20 "$run/console.log")"
        sleep 0.1
    done
    state=$(rh_exec_in "$run" timeout 60 systemctl is-system-running --wait 2>/dev/null) || true
    case $state in
    running) ;;
    degraded) rh_log "started degraded; failed units: $(rh_exec_in "$run" systemctl list-units --failed --no-legend --plain | awk '{print $1}' | tr '\n' ' ')" ;;
    *) rh_die "The guest did not finish starting within 60 s (state: ${state:-unknown})." ;;
    esac
    printf '%s\n' "$pid" >"$run/guest.pid"
}

# The unshare process that holds a guest, and not a process that got its
# PID since; builtins only.
rh_unshare_alive() {
    local comm=''
    [[ $1 =~ ^[0-9]+$ ]] || return 1
    { read -r comm <"/proc/$1/comm"; } 2>/dev/null || return 1
    [[ $comm == unshare ]]
}

# Stops the guest: a clean poweroff first; when that does not end it in
# time, every process of its cgroup is killed. The run folder (and so the
# upper layer) stays.
rh_stop() {
    local run=$1 upid='' i
    { read -r upid <"$run/unshare.pid"; } 2>/dev/null || true
    local RH_CGROUP='' RH_BUILD=''
    # shellcheck source=/dev/null
    [[ -r $run/env ]] && source "$run/env"
    if rh_guest_pid "$run" >/dev/null; then
        rh_exec_in "$run" systemctl poweroff --no-block >/dev/null 2>&1 || true
        for ((i = 0; i < 300; i++)); do
            rh_unshare_alive "$upid" || break
            sleep 0.1
        done
    fi
    if rh_unshare_alive "$upid"; then
        rh_log "the guest did not power off within 30 s; killing it"
        if [[ -n $RH_CGROUP && -e $RH_CGROUP/cgroup.kill ]]; then
            printf '1\n' >"$RH_CGROUP/cgroup.kill" || true
        fi
        # unshare --kill-child takes the guest's init with it.
        kill -KILL "$upid" 2>/dev/null || true
        for ((i = 0; i < 50; i++)); do
            rh_unshare_alive "$upid" || break
            sleep 0.1
        done
    fi
    rm -f "$run/unshare.pid" "$run/guest.pid"
    rh_remove_cgroup "$RH_CGROUP"
}

# Removes a cgroup folder and everything below it, deepest first; the kernel
# may need a moment after the last process has gone.
rh_remove_cgroup() {
    local cg=$1 i
    [[ -n $cg && -d $cg ]] || return 0
    for ((i = 0; i < 50; i++)); do
        find "$cg" -depth -type d -exec rmdir {} + 2>/dev/null || true
        [[ -d $cg ]] || return 0
        sleep 0.1
    done
    rh_log "could not remove the cgroup $cg"
}

rh_destroy() {
    local run=$1
    [[ -n $run && -d $run ]] || return 0
    rh_stop "$run"
    rm -rf "$run"
    if [[ $(readlink -f "$REALHOST_CACHE/runs/last" 2>/dev/null) == "$run" ]]; then
        rm -f "$REALHOST_CACHE/runs/last"
    fi
}

# Removes run folders whose guest is gone (left behind by a killed suite).
rh_clean_stale() {
    local run
    for run in "$REALHOST_CACHE"/runs/run.*; do
        [[ -d $run ]] || continue
        rh_unshare_alive "$(cat "$run/unshare.pid" 2>/dev/null)" && continue
        rh_destroy "$run"
    done
}

rh_reboot() {
    local run=$1 build=''
    if [[ -r $run/env ]]; then
        local RH_CGROUP='' RH_BUILD=''
        # shellcheck source=/dev/null
        source "$run/env"
        build=$RH_BUILD
    fi
    rh_stop "$run"
    rh_start "$run" "$build"
}

# ---------------------------------------------------------------- commands inside

# Runs a command inside the guest as root, with a clean environment; leading
# NAME=value arguments add to it. Standard input and output pass through.
rh_exec_in() {
    local run=$1 pid
    shift
    pid=$(rh_guest_pid "$run") || {
        rh_log "The guest of $run is not running."
        return 125
    }
    local RH_CGROUP='' RH_BUILD=''
    # shellcheck source=/dev/null
    source "$run/env"
    (
        # Inside the guest's cgroup tree the command sees a cgroup path of its
        # own, as a process started inside would, and dies with the guest.
        printf '%s\n' "$BASHPID" >"$RH_CGROUP/realhost-exec/cgroup.procs"
        exec nsenter -t "$pid" -m -u -i -n -p -C -r -w -- \
            setpriv --bounding-set "$REALHOST_DROP_CAPS" -- \
            env -i PATH="$REALHOST_GUEST_PATH" HOME=/root USER=root LOGNAME=root \
            LANG=C.UTF-8 TERM=dumb "$@"
    )
}

# The environment of the test user's session: what a login would give, so
# that `systemctl --user` reaches the user's own systemd.
rh_user_env() {
    printf '%s\n' env -C "/home/$REALHOST_USER" PATH="$REALHOST_GUEST_PATH" \
        HOME="/home/$REALHOST_USER" USER="$REALHOST_USER" LOGNAME="$REALHOST_USER" \
        SHELL=/bin/bash XDG_RUNTIME_DIR="/run/user/$REALHOST_UID" \
        DBUS_SESSION_BUS_ADDRESS="unix:path=/run/user/$REALHOST_UID/bus"
}

rh_exec_user_in() {
    local run=$1
    shift
    local user_env
    mapfile -t user_env < <(rh_user_env)
    rh_exec_in "$run" runuser -u "$REALHOST_USER" -- "${user_env[@]}" "$@"
}

# As the test user through sudo, so that SUDO_USER names the user. Leading
# NAME=value arguments are sudo's own environment settings.
rh_exec_sudo_in() {
    local run=$1
    shift
    local user_env
    mapfile -t user_env < <(rh_user_env)
    rh_exec_in "$run" runuser -u "$REALHOST_USER" -- "${user_env[@]}" sudo -n "$@"
}

# Short forms for the current run (REALHOST_RUN or the last started).
rh_current_run() {
    local run
    run=$(rh_run_dir) || rh_die "No run: start one with host.sh start, or set REALHOST_RUN."
    printf '%s\n' "$run"
}
rh_exec() { rh_exec_in "$(rh_current_run)" "$@"; }
rh_exec_user() { rh_exec_user_in "$(rh_current_run)" "$@"; }
rh_exec_sudo() { rh_exec_sudo_in "$(rh_current_run)" "$@"; }

# ---------------------------------------------------------------- command line

rh_usage() {
    cat <<'EOF'
Usage: host.sh COMMAND [ARGS]
  build-root            build the cached root (once; reused while the recipe is unchanged)
  start [BUILD_DIR]     boot a new guest, BUILD_DIR shown read-only at /opt/bootsmith-build;
                        prints the run folder (REALHOST_RUN selects it later)
  exec CMD...           run CMD as root inside
  exec-user CMD...      run CMD as the test user, with its session variables
  exec-sudo CMD...      run CMD as the test user through sudo (SUDO_USER set)
  shell                 an interactive root shell inside
  stop                  power the guest off, keep the run folder (its upper layer)
  reboot                stop, then boot again on the same upper layer
  destroy               stop and delete the run folder
  clean-stale           delete run folders whose guest is gone
  mirror                print the Debian mirror the root is built from
EOF
}

rh_main() {
    set -euo pipefail
    local cmd=${1:-help}
    shift || true
    case $cmd in
    __stage1) rh_stage1 "$@" ;;
    __stage2) rh_stage2 "$@" ;;
    __watch) rh_watch "$@" ;;
    build-root) rh_build_root ;;
    start)
        local run
        run=$(rh_new_run)
        rh_start "$run" "${1:-}"
        printf '%s\n' "$run"
        ;;
    exec) rh_exec "$@" ;;
    exec-user) rh_exec_user "$@" ;;
    exec-sudo) rh_exec_sudo "$@" ;;
    shell) rh_exec_in "$(rh_current_run)" TERM="${TERM:-dumb}" bash -l ;;
    stop) rh_stop "$(rh_current_run)" ;;
    reboot) rh_reboot "$(rh_current_run)" ;;
    destroy) rh_destroy "$(rh_current_run)" ;;
    clean-stale) rh_clean_stale ;;
    mirror) rh_mirror ;;
    help | -h | --help) rh_usage ;;
    *)
        rh_usage >&2
        return 2
        ;;
    esac
}

if [[ ${BASH_SOURCE[0]} == "$0" ]]; then
    rh_main "$@"
fi
