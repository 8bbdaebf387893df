# shellcheck shell=bash
# The cached root file system of the test host: a Debian minbase with
# systemd, built once with debootstrap and reused while its recipe stays the
# same. Sourced by host.sh.

REALHOST_SUITE=bookworm
# man-db reads the installed package's manual page. The sanitizer run-times
# let a sanitizer build of bootsmith run inside too.
REALHOST_PACKAGES=systemd,systemd-sysv,dbus,dbus-user-session,libpam-systemd,cron,procps,util-linux,passwd,login,sudo,man-db,libasan8,libubsan1
# Bump when the customisation in rh_customise_root changes: a cached root
# with another recipe is rebuilt.
REALHOST_RECIPE="realhost-root 4 $REALHOST_SUITE minbase $REALHOST_PACKAGES $REALHOST_USER:$REALHOST_UID"

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

# Runs debootstrap within a budget of 10 minutes for all tries (about 100 s
# is usual), retrying what looks like a network hiccup: a try that failed
# quickly. A try that ran long was slow, and another would be as slow.
# Downloaded packages stay in the cache, so a retry (or a later rebuild)
# fetches only what is missing.
rh_debootstrap() {
    local target=$1 mirror=$2 try started budget_end=$((SECONDS + 600))
    mkdir -p "$REALHOST_CACHE/debs"
    for try in 1 2 3; do
        started=$SECONDS
        if timeout $((budget_end - SECONDS)) debootstrap --variant=minbase \
            --include="$REALHOST_PACKAGES" --cache-dir="$REALHOST_CACHE/debs" \
            "$REALHOST_SUITE" "$target" "$mirror" >"$target.log" 2>&1; then
            return 0
        fi
        rh_log "debootstrap try $try failed after $((SECONDS - started)) s: $(tail -n 3 "$target.log" | tr '\n' ' ')"
        ((SECONDS - started < 180 && budget_end - SECONDS > 150)) || return 1
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
