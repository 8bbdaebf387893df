#!/usr/bin/env bash
# The end-to-end suite against a real systemd: builds or reuses the cached
# root, boots an isolated guest, seeds it, runs every checks/*.sh in order,
# stops the guest and fails when any assertion failed.
#
# Usage: run.sh BUILD_DIR [NAME_PATTERN]
#   BUILD_DIR     the CMake build folder, shown read-only inside at
#                 /opt/bootsmith-build (so the guest runs .../bootsmith)
#   NAME_PATTERN  only the checks whose file name matches it (a glob)
# REALHOST_KEEP=1 leaves the guest running at the end, for a look inside.
#
# It prints "SKIPPED: ..." and exits 0 on a machine where it cannot run.

set -euo pipefail

REALHOST_HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=host.sh
source "$REALHOST_HERE/host.sh"
# shellcheck source=seed.sh
source "$REALHOST_HERE/seed.sh"

skipped() {
    printf 'SKIPPED: %s\n' "$*"
    exit 0
}

usage() {
    printf 'Usage: %s BUILD_DIR [NAME_PATTERN]\n' "$0" >&2
    exit 2
}

declare -a PHASES=()
phase_done() { PHASES+=("$(printf '%-28s %6s s' "$1" "$(rh_since "$2")")"); }

# apt-get may need fresh package lists first; both steps are bounded.
install_debootstrap() {
    rh_log "installing debootstrap"
    export DEBIAN_FRONTEND=noninteractive
    timeout 300 apt-get install -y -q debootstrap >/dev/null 2>&1 && return 0
    timeout 300 apt-get update -q >/dev/null 2>&1 &&
        timeout 300 apt-get install -y -q debootstrap >/dev/null 2>&1
}

mirror_reachable() {
    local mirror=$1 probe
    probe=$(mktemp)
    if timeout 60 /usr/lib/apt/apt-helper download-file \
        "$mirror/dists/$REALHOST_SUITE/Release" "$probe" >/dev/null 2>&1; then
        rm -f "$probe"
        return 0
    fi
    rm -f "$probe"
    return 1
}

check_prerequisites() {
    ((EUID == 0)) || skipped "the real-systemd host needs root (namespaces, mounts, cgroups)."
    local tool
    for tool in unshare nsenter setpriv pivot_root; do
        command -v "$tool" >/dev/null || skipped "$tool (util-linux) is not installed."
    done
    [[ -n $(rh_cgroup2_mount) ]] || skipped "no cgroup2 file system is mounted on this machine."
    unshare --fork --pid --mount --uts --ipc --net --cgroup --propagation private true 2>/dev/null ||
        skipped "this machine does not allow creating namespaces (a container without the rights?)."
    rh_root_ready && return 0
    if ! command -v debootstrap >/dev/null; then
        install_debootstrap || skipped "debootstrap is missing and could not be installed."
    fi
    local mirror
    mirror=$(rh_mirror) || skipped "no Debian mirror is configured in the apt sources to build the root from."
    mirror_reachable "$mirror" || skipped "the Debian mirror $mirror cannot be reached to build the root."
}

cleanup() {
    local status=$?
    if [[ -n ${REALHOST_RUN:-} ]]; then
        if [[ ${REALHOST_KEEP:-} == 1 ]] && rh_guest_pid "$REALHOST_RUN" >/dev/null; then
            rh_log "the guest keeps running: REALHOST_RUN=$REALHOST_RUN $REALHOST_HERE/host.sh shell"
        else
            rh_destroy "$REALHOST_RUN"
        fi
    fi
    exit "$status"
}

# Names the line of the check file that an unexpected failure came from,
# also when it happened deep inside a helper.
check_stopped_at() {
    local file=$1 line=$2 i
    trap - ERR
    for ((i = 0; i < ${#BASH_SOURCE[@]}; i++)); do
        if [[ ${BASH_SOURCE[i]} == "$file" ]]; then
            ((i == 0)) || line=${BASH_LINENO[i - 1]}
            break
        fi
    done
    printf '  stopped at %s line %s\n' "$(basename "$file")" "$line"
}

# One check runs in a subshell of its own: an unexpected error ends only that
# check, and is counted as a failure.
run_check() {
    local file=$1 name status=0
    name=$(basename "$file" .sh)
    printf '\n== %s\n' "$name"
    # Not "( ... ) || status=$?": bash would ignore set -e inside then.
    set +e
    (
        set -eEuo pipefail
        trap 'check_stopped_at "$file" "$LINENO"' ERR
        CHECK_NAME=$name
        # shellcheck source=assert.sh
        source "$REALHOST_HERE/assert.sh"
        # shellcheck source=guest.sh
        source "$REALHOST_HERE/guest.sh"
        # shellcheck source=/dev/null
        source "$file"
    )
    status=$?
    set -e
    if ((status != 0)); then
        local line="FAIL $name: the check stopped early with exit status $status"
        printf '%s\n' "$line"
        printf '%s\n' "$line" >>"$REALHOST_RESULTS"
    fi
}

# A check that left the guest down (a failed reboot) must not take the later
# checks with it.
ensure_running() {
    rh_guest_pid "$REALHOST_RUN" >/dev/null && return 0
    rh_log "the guest is down; booting it again"
    rh_start "$REALHOST_RUN" "$BUILD_DIR"
}

count() { grep -c "^$1 " "$REALHOST_RESULTS" || true; }

main() {
    (($# >= 1 && $# <= 2)) || usage
    BUILD_DIR=$1
    local pattern=${2:-*}
    if [[ ! -d $BUILD_DIR ]]; then
        printf 'There is no build folder %s.\n' "$BUILD_DIR" >&2
        usage
    fi
    BUILD_DIR=$(readlink -f "$BUILD_DIR")
    check_prerequisites

    local t
    t=$(rh_now)
    rh_clean_stale
    local cached=' (cached)'
    rh_root_ready || cached=''
    rh_build_root
    phase_done "build root$cached" "$t"

    REALHOST_RUN=$(rh_new_run)
    export REALHOST_RUN
    if [[ ${REALHOST_KEEP:-} != 1 ]]; then
        REALHOST_OWNER_PID=$$
        export REALHOST_OWNER_PID
    fi
    REALHOST_RESULTS="$REALHOST_RUN/results"
    export REALHOST_RESULTS
    : >"$REALHOST_RESULTS"
    trap cleanup EXIT
    trap 'exit 130' INT TERM

    t=$(rh_now)
    rh_start "$REALHOST_RUN" "$BUILD_DIR"
    phase_done boot "$t"

    t=$(rh_now)
    rh_seed_in "$REALHOST_RUN"
    phase_done seed "$t"

    local file
    for file in "$REALHOST_HERE"/checks/*.sh; do
        # shellcheck disable=SC2053 # the pattern is a glob on purpose
        [[ $(basename "$file" .sh) == $pattern ]] || continue
        t=$(rh_now)
        ensure_running
        run_check "$file"
        phase_done "check $(basename "$file" .sh)" "$t"
    done

    t=$(rh_now)
    if [[ ${REALHOST_KEEP:-} != 1 ]]; then
        rh_stop "$REALHOST_RUN"
    fi
    phase_done stop "$t"

    local passed failed skipped_count
    passed=$(count PASS)
    failed=$(count FAIL)
    skipped_count=$(count SKIP)
    printf '\nTimes:\n'
    printf '  %s\n' "${PHASES[@]}"
    if ((failed > 0)); then
        printf '\nFailed:\n'
        grep '^FAIL ' "$REALHOST_RESULTS" | sed 's/^/  /'
    fi
    if ((passed + failed == 0)); then
        printf '\nNo assertion ran (does the pattern match any check?).\n'
        failed=1
    fi
    printf '\nrealhost: %d passed, %d failed, %d skipped\n' "$passed" "$failed" "$skipped_count"
    ((failed == 0))
}

main "$@"
