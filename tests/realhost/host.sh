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
REALHOST_SUITE=bookworm
REALHOST_PACKAGES=systemd,systemd-sysv,dbus,dbus-user-session,libpam-systemd,cron,procps,util-linux,passwd,login,sudo
# Bump when the customisation in rh_customise_root changes: a cached root
# with another recipe is rebuilt.
REALHOST_RECIPE="realhost-root 2 $REALHOST_SUITE minbase $REALHOST_PACKAGES $REALHOST_USER:$REALHOST_UID"
# Powers that reach beyond the guest's namespaces: kernel modules, raw I/O,
# the clock, rebooting or kexec-ing the machine, the kernel log, security
# modules, file handles (open_by_handle_at escapes a chroot), BPF and perf.
# systemd copes without them and exits instead of rebooting when it stops.
REALHOST_DROP_CAPS=-sys_module,-sys_rawio,-sys_time,-sys_boot,-sys_pacct,-syslog,-mac_admin,-mac_override,-wake_alarm,-block_suspend,-audit_control,-dac_read_search,-bpf,-perfmon,-sys_tty_config,-linux_immutable
REALHOST_GUEST_PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin

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

# ---------------------------------------------------------------- the root

# The Debian mirror this machine already uses, so that no host name is
# written into the repository. REALHOST_MIRROR overrides it.
rh_mirror() {
    if [[ -n ${REALHOST_MIRROR:-} ]]; then
        printf '%s\n' "$REALHOST_MIRROR"
        return 0
    fi
    local uri
    uri=$(rh_mirror_from_deb822 /etc/apt/sources.list.d/*.sources)
    if [[ -z $uri && -r /etc/apt/sources.list ]]; then
        uri=$(awk -v suite="$REALHOST_SUITE" '
            $1 == "deb" {
                i = 2
                if ($i ~ /^\[/) { while ($i !~ /\]$/) i++; i++ }
                if ($(i + 1) == suite) { print $i; exit }
            }' /etc/apt/sources.list)
    fi
    [[ -n $uri ]] || return 1
    printf '%s\n' "$uri"
}

# First URI of an enabled deb822 stanza of type deb that carries the suite.
rh_mirror_from_deb822() {
    local files=()
    local f
    for f in "$@"; do [[ -r $f ]] && files+=("$f"); done
    ((${#files[@]})) || return 0
    awk -v suite="$REALHOST_SUITE" '
        function flush() {
            if (types ~ /(^| )deb( |$)/ && enabled != "no" && (" " suites " ") ~ (" " suite " ") && uri != "") {
                print uri; found = 1; exit
            }
            types = ""; suites = ""; uri = ""; enabled = ""
        }
        /^[ \t]*$/ { flush(); next }
        /^#/ { next }
        tolower($1) == "types:" { $1 = ""; types = $0; sub(/^ +/, "", types) }
        tolower($1) == "suites:" { $1 = ""; suites = $0; sub(/^ +/, "", suites) }
        tolower($1) == "uris:" { uri = $2 }
        tolower($1) == "enabled:" { enabled = tolower($2) }
        END { if (!found) flush() }' "${files[@]}"
}

rh_root_ready() {
    [[ -x $REALHOST_ROOT/lib/systemd/systemd &&
        $(cat "$REALHOST_ROOT/.realhost-recipe" 2>/dev/null) == "$REALHOST_RECIPE" ]]
}

# Runs debootstrap with retries for network hiccups. Each try and all of
# them together are bounded (about 100 s is usual), so that a stalled mirror
# cannot eat the CI budget.
rh_debootstrap() {
    local target=$1 mirror=$2 try start=$SECONDS
    for try in 1 2 3; do
        if timeout 360 debootstrap --variant=minbase --include="$REALHOST_PACKAGES" \
            "$REALHOST_SUITE" "$target" "$mirror" >"$target.log" 2>&1; then
            return 0
        fi
        rh_log "debootstrap try $try failed: $(tail -n 3 "$target.log" | tr '\n' ' ')"
        ((SECONDS - start < 480)) || break
        # A half-populated target can make the next try fail in new ways.
        rm -rf "$target" && mkdir -p "$target"
        sleep $((try * 5))
    done
    return 1
}

rh_customise_root() {
    local r=$1
    # mktemp made the folder private; it becomes the guest's "/".
    chmod 0755 "$r"
    printf '%s\n' "$REALHOST_HOSTNAME" >"$r/etc/hostname"
    printf '127.0.0.1\tlocalhost\n127.0.1.1\t%s\n::1\tlocalhost ip6-localhost\n' \
        "$REALHOST_HOSTNAME" >"$r/etc/hosts"
    chroot "$r" useradd --create-home --uid "$REALHOST_UID" --user-group \
        --shell /bin/bash "$REALHOST_USER"
    # Lingering starts the user's own systemd at boot, without a login.
    mkdir -p "$r/var/lib/systemd/linger"
    : >"$r/var/lib/systemd/linger/$REALHOST_USER"
    printf '%s ALL=(ALL) NOPASSWD: ALL\n' "$REALHOST_USER" >"$r/etc/sudoers.d/realhost"
    chmod 0440 "$r/etc/sudoers.d/realhost"
    # Nothing reads the console: a getty on it would only respawn. The FUSE
    # control file system is the machine's, not the guest's.
    local unit
    for unit in console-getty.service sys-fs-fuse-connections.mount; do
        ln -sf /dev/null "$r/etc/systemd/system/$unit"
    done
    rm -f "$r"/var/cache/apt/archives/*.deb
    rm -rf "$r"/var/lib/apt/lists/*
}

# Builds the cached root unless a root of the same recipe is there. The root
# is built beside the cache and renamed into place, so a half-built root is
# never booted.
rh_build_root() {
    mkdir -p "$REALHOST_CACHE"
    exec 8>"$REALHOST_CACHE/build.lock"
    flock 8
    if rh_root_ready; then
        exec 8>&-
        return 0
    fi
    command -v debootstrap >/dev/null || rh_die "debootstrap is not installed."
    local mirror tmp
    mirror=$(rh_mirror) || rh_die "No Debian mirror found in the apt sources of this machine; set REALHOST_MIRROR."
    tmp=$(mktemp -d "$REALHOST_CACHE/root.new.XXXXXX")
    rh_log "building the root from $mirror (about a minute)"
    if ! rh_debootstrap "$tmp" "$mirror"; then
        rm -rf "$tmp" "$tmp.log"
        rh_die "debootstrap could not build the root; see the lines above."
    fi
    rh_customise_root "$tmp"
    printf '%s\n' "$REALHOST_RECIPE" >"$tmp/.realhost-recipe"
    if [[ -e $REALHOST_ROOT ]]; then
        mv "$REALHOST_ROOT" "$tmp.old"
    fi
    mv "$tmp" "$REALHOST_ROOT"
    rm -rf "$tmp.old" "$tmp.log"
    exec 8>&-
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
    mkdir "$cg"
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
    local run=$1 owner=$2 upid=$3
    while rh_pid_alive "$upid"; do
        if ! rh_pid_alive "$owner"; then
            rh_destroy "$run"
            return 0
        fi
        sleep 1
    done
}

rh_wait_running() {
    local run=$1 pid state='' i
    for ((i = 0; i < 600; i++)); do
        if pid=$(rh_guest_pid "$run"); then
            state=$(rh_exec_in "$run" systemctl is-system-running 2>/dev/null) || true
            case $state in running | degraded) break ;; esac
        elif ! rh_pid_alive "$(cat "$run/unshare.pid")"; then
            rh_die "The guest ended while starting: $(tail -n 20 "$run/console.log")"
        fi
        sleep 0.1
    done
    case $state in
    running) ;;
    degraded) rh_log "started degraded; failed units: $(rh_exec_in "$run" systemctl list-units --failed --no-legend --plain | awk '{print $1}' | tr '\n' ' ')" ;;
    *) rh_die "The guest did not finish starting within 60 s (state: ${state:-unknown})." ;;
    esac
    printf '%s\n' "$pid" >"$run/guest.pid"
}

# Stops the guest: a clean poweroff first, SIGKILL of its init when that
# does not end it in time. The run folder (and so the upper layer) stays.
rh_stop() {
    local run=$1 upid pid i
    upid=$(cat "$run/unshare.pid" 2>/dev/null) || upid=''
    if pid=$(rh_guest_pid "$run"); then
        rh_exec_in "$run" systemctl poweroff --no-block >/dev/null 2>&1 || true
        for ((i = 0; i < 300; i++)); do
            rh_pid_alive "$upid" || break
            sleep 0.1
        done
        if rh_pid_alive "$upid"; then
            rh_log "poweroff did not end the guest within 30 s; killing it"
            kill -KILL "$pid" 2>/dev/null || true
        fi
    fi
    if rh_pid_alive "$upid"; then
        kill -KILL "$upid" 2>/dev/null || true
    fi
    for ((i = 0; i < 50; i++)); do
        rh_pid_alive "$upid" || break
        sleep 0.1
    done
    rm -f "$run/unshare.pid" "$run/guest.pid"
    if [[ -r $run/env ]]; then
        local RH_CGROUP='' RH_BUILD=''
        # shellcheck source=/dev/null
        source "$run/env"
        rh_remove_cgroup "$RH_CGROUP"
    fi
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
        rh_pid_alive "$(cat "$run/unshare.pid" 2>/dev/null)" && continue
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
        mkdir -p "$RH_CGROUP/realhost-exec"
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

# ---------------------------------------------------------------- inside the namespaces

# PID 1 of the new PID namespace, still on the host's file system: joins the
# run's own cgroup, gives up machine-wide capabilities and enters a cgroup
# namespace rooted there.
rh_stage1() {
    local run=$1
    local RH_CGROUP='' RH_BUILD=''
    # shellcheck source=/dev/null
    source "$run/env"
    printf '%s\n' "$$" >"$RH_CGROUP/cgroup.procs"
    hostname "$REALHOST_HOSTNAME"
    exec setpriv --bounding-set "$REALHOST_DROP_CAPS" -- \
        unshare --cgroup -- bash "$REALHOST_SELF" __stage2 "$run"
}

rh_make_devices() {
    local dev=$1
    mount -t tmpfs -o mode=0755,nosuid,noexec,size=4m tmpfs "$dev"
    mknod -m 0666 "$dev/null" c 1 3
    mknod -m 0666 "$dev/zero" c 1 5
    mknod -m 0666 "$dev/full" c 1 7
    mknod -m 0666 "$dev/random" c 1 8
    mknod -m 0666 "$dev/urandom" c 1 9
    mknod -m 0666 "$dev/tty" c 5 0
    mkdir -m 0755 "$dev/pts"
    mount -t devpts -o newinstance,ptmxmode=0666,mode=0620,gid=5,nosuid,noexec devpts "$dev/pts"
    ln -s pts/ptmx "$dev/ptmx"
    mkdir -m 1777 "$dev/shm"
    mount -t tmpfs -o mode=1777,nosuid,nodev tmpfs "$dev/shm"
    ln -s /proc/self/fd "$dev/fd"
    ln -s /proc/self/fd/0 "$dev/stdin"
    ln -s /proc/self/fd/1 "$dev/stdout"
    ln -s /proc/self/fd/2 "$dev/stderr"
    # systemd writes to the console; nobody reads it.
    touch "$dev/console"
    mount --bind "$dev/null" "$dev/console"
}

# Kernel settings and the sysrq trigger stay visible but cannot be written.
rh_protect_proc() {
    local proc=$1 p
    for p in sys sysrq-trigger irq bus fs; do
        [[ -e $proc/$p ]] || continue
        mount --bind "$proc/$p" "$proc/$p"
        mount -o remount,bind,ro "$proc/$p"
    done
}

# Builds the guest's file system in the private mount namespace, then makes
# it the root and hands over to systemd.
rh_stage2() {
    local run=$1
    local RH_CGROUP='' RH_BUILD=''
    # shellcheck source=/dev/null
    source "$run/env"
    local new="$run/merged"
    mount -t overlay overlay \
        -o "lowerdir=$REALHOST_ROOT,upperdir=$run/upper,workdir=$run/work" "$new"
    mount -t proc -o nosuid,nodev,noexec proc "$new/proc"
    rh_protect_proc "$new/proc"
    mount -t sysfs -o ro,nosuid,nodev,noexec sysfs "$new/sys"
    mount -t cgroup2 -o nosuid,nodev,noexec cgroup2 "$new/sys/fs/cgroup"
    rh_make_devices "$new/dev"
    mount -t tmpfs -o mode=0755,nosuid,nodev,size=256m tmpfs "$new/run"
    if [[ -n $RH_BUILD && -d $RH_BUILD ]]; then
        mkdir -p "$new$REALHOST_BUILD_MOUNT"
        mount --bind -o ro "$RH_BUILD" "$new$REALHOST_BUILD_MOUNT"
    fi
    mkdir "$new/run/.oldroot"
    cd "$new"
    pivot_root . run/.oldroot
    cd /
    umount -l /run/.oldroot
    rmdir /run/.oldroot
    exec env -i container=bootsmith-test /lib/systemd/systemd
}

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
