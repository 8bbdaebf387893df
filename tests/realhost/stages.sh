# shellcheck shell=bash
# The two stages that turn a new set of namespaces into the guest, run as
# its PID 1 before systemd takes over. Sourced by host.sh, which calls them
# through its __stage1 and __stage2 commands.

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
    # systemd writes to the console; nobody reads it. A null device node of its
    # own: systemd sets the console's owner and mode, which on a bind of
    # /dev/null would make /dev/null unusable for ordinary users.
    mknod -m 0600 "$dev/console" c 1 3
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
    cd "$new" || exit 1
    pivot_root . run/.oldroot
    cd /
    umount -l /run/.oldroot
    rmdir /run/.oldroot
    exec env -i container=bootsmith-test /lib/systemd/systemd
}
