#!/usr/bin/env bash
# A realistic Debian 12 computer for measuring judgements: the test host's
# minbase root plus the desktop and server packages people actually run
# (NetworkManager, CUPS, Bluetooth, PipeWire, LightDM, OpenSSH, Docker,
# nginx, PostgreSQL, exim4, fail2ban, LVM, ...). Built once into its own
# cache folder (never the suite's shared root) and reused while its recipe
# stays the same.
#
# Usage: desktop_root.sh build              build the cached root
#        desktop_root.sh report BUILD_DIR    boot it, run tools/judgement_report
#                                            as root and as the user, stop it
#        desktop_root.sh start BUILD_DIR     boot it and print the run folder
# REALHOST_DESKTOP_CACHE overrides the cache folder.

set -euo pipefail

REALHOST_CACHE=${REALHOST_DESKTOP_CACHE:-/var/tmp/bootsmith-realhost-desktop}
export REALHOST_CACHE
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=host.sh
source "$HERE/host.sh"

# --no-install-recommends keeps the download bounded; the names below are
# what a desktop with a few server roles installs by default or by choice.
DESKTOP_PACKAGES=(
    network-manager network-manager-gnome modemmanager wpasupplicant ifupdown isc-dhcp-client
    rsyslog logrotate systemd-timesyncd anacron
    udisks2 lvm2 smartmontools e2fsprogs cryptsetup
    cups cups-browsed system-config-printer avahi-daemon
    upower power-profiles-daemon thermald irqbalance fwupd bluez blueman rtkit colord
    accountsservice switcheroo-control polkitd pkexec policykit-1-gnome
    lightdm lightdm-gtk-greeter x11-common
    pipewire pipewire-pulse wireplumber gnome-keyring gnupg dirmngr at-spi2-core xdg-user-dirs
    xdg-desktop-portal xdg-desktop-portal-gtk geoclue-2.0 tracker-miner-fs evolution-data-server
    speech-dispatcher
    apt-listchanges unattended-upgrades packagekit man-db plocate
    openssh-server docker.io containerd nginx postgresql exim4-daemon-light fail2ban nftables
    sysstat qemu-guest-agent flatpak apparmor
)
DESKTOP_RECIPE="desktop-root 1 $REALHOST_RECIPE ${DESKTOP_PACKAGES[*]}"

desktop_ready() {
    [[ -x $REALHOST_ROOT/lib/systemd/systemd &&
        $(cat "$REALHOST_ROOT/.desktop-recipe" 2>/dev/null) == "$DESKTOP_RECIPE" ]]
}

# Package scripts run in a private mount namespace, so proc and dev vanish
# with it; policy-rc.d keeps them from starting anything on this machine.
install_packages() {
    local r=$1 mirror=$2
    printf 'deb %s %s main\ndeb %s %s-updates main\n' "$mirror" "$REALHOST_SUITE" \
        "$mirror" "$REALHOST_SUITE" >"$r/etc/apt/sources.list"
    printf '#!/bin/sh\nexit 101\n' >"$r/usr/sbin/policy-rc.d"
    chmod 0755 "$r/usr/sbin/policy-rc.d"
    mkdir -p "$REALHOST_CACHE/apt-archives/partial"
    unshare --mount --propagation private -- bash -c '
        set -e
        r=$1; shift; archives=$1; shift
        mount -t proc proc "$r/proc"
        mount --bind /dev "$r/dev"
        mount --bind "$archives" "$r/var/cache/apt/archives"
        export DEBIAN_FRONTEND=noninteractive LC_ALL=C
        chroot "$r" apt-get update -q
        chroot "$r" dpkg --configure -a
        chroot "$r" apt-get install -y -q --no-install-recommends "$@"
    ' _ "$r" "$REALHOST_CACHE/apt-archives" "${DESKTOP_PACKAGES[@]}"
    rm -f "$r/usr/sbin/policy-rc.d"
}

build() {
    mkdir -p "$REALHOST_CACHE"
    exec 8>"$REALHOST_CACHE/build.lock"
    flock 8
    desktop_ready && return 0
    local mirror tmp
    mirror=$(rh_mirror) || rh_die "No Debian mirror found in the apt sources of this machine."
    tmp=$(mktemp -d "$REALHOST_CACHE/root.new.XXXXXX")
    rh_log "building the desktop root from $mirror (several minutes)"
    rh_debootstrap "$tmp" "$mirror" || rh_die "debootstrap failed; see $tmp.log"
    # mktemp made it private; package scripts run as their own accounts.
    chmod 0755 "$tmp"
    install_packages "$tmp" "$mirror"
    rh_customise_root "$tmp"
    printf '%s\n' "$REALHOST_RECIPE" >"$tmp/.realhost-recipe"
    printf '%s\n' "$DESKTOP_RECIPE" >"$tmp/.desktop-recipe"
    [[ -e $REALHOST_ROOT ]] && mv "$REALHOST_ROOT" "$tmp.old"
    mv "$tmp" "$REALHOST_ROOT"
    rm -rf "$tmp.old" "$tmp.log"
    exec 8>&-
}

report() {
    local build_dir
    build_dir=$(readlink -f "$1")
    desktop_ready || rh_die "The desktop root is not built; run: $0 build"
    # Global: the exit trap runs after this function has returned.
    run=$(rh_new_run)
    REALHOST_OWNER_PID=$$
    export REALHOST_OWNER_PID
    trap 'rh_destroy "$run"' EXIT
    rh_start "$run" "$build_dir"
    local who
    for who in root user; do
        printf '\n== as %s\n' "$who"
        if [[ $who == root ]]; then
            rh_exec_in "$run" env LC_ALL=C.UTF-8 "$REALHOST_BUILD_MOUNT/bootsmith" list --json
        else
            rh_exec_user_in "$run" env LC_ALL=C.UTF-8 "$REALHOST_BUILD_MOUNT/bootsmith" list --json
        fi | python3 "$HERE/../../tools/judgement_report" --json -
    done
}

case ${1:-} in
    build) build ;;
    report) report "${2:?build folder}" ;;
    start)
        desktop_ready || rh_die "The desktop root is not built; run: $0 build"
        run=$(rh_new_run)
        rh_start "$run" "${2:?build folder}"
        printf '%s\n' "$run"
        ;;
    *)
        printf 'Usage: %s build | report BUILD_DIR | start BUILD_DIR\n' "$0" >&2
        exit 2
        ;;
esac
