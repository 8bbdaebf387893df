# The Debian package on a real Debian: the .deb that the build's tests made
# (BUILD_DIR/packages, made here with cpack when missing) installs with
# dpkg -i; the installed bootsmith lists, its manual page reads, its bash
# completion completes a command and a seeded entry's name in an interactive
# bash; `apps` does not offer Bootsmith's own menu entry; and dpkg --purge
# removes every installed file but leaves the users' data folders alone.
#
# Leaves nothing behind but one backup in alice's data folder.

if ! have_bootsmith; then
    skip "the Debian package" "no bootsmith in the build folder yet"
    return 0
fi

shopt -s nullglob
debs=("$BUILD_DIR"/packages/bootsmith_*.deb)
if ((${#debs[@]} == 0)) && command -v cpack >/dev/null && [[ -f $BUILD_DIR/CPackConfig.cmake ]]; then
    cpack -G DEB -B "$BUILD_DIR/packages" --config "$BUILD_DIR/CPackConfig.cmake" >/dev/null 2>&1 || true
    rm -rf "$BUILD_DIR/packages/_CPack_Packages"
    debs=("$BUILD_DIR"/packages/bootsmith_*.deb)
fi
if ((${#debs[@]} != 1)); then
    skip "the Debian package" "no single bootsmith_*.deb in $BUILD_DIR/packages (cpack -G DEB makes it)"
    return 0
fi
DEB=$REALHOST_BUILD_MOUNT/packages/$(basename "${debs[0]}")
version=$(dpkg-deb -f "${debs[0]}" Version)

capture in_root dpkg -i "$DEB"
expect_status "dpkg -i installs the package" 0
capture in_root dpkg-query -W -f '${Status} ${Version}' bootsmith
expect_eq "dpkg knows it as installed" "install ok installed $version" "$OUT"
capture in_root dpkg -L bootsmith
files=$(printf '%s\n' "$OUT" | while IFS= read -r path; do
    if in_root test -f "$path"; then printf '%s\n' "$path"; fi
done)
expect_eq "the package installed its eight files" \
    "/usr/bin/bootsmith /usr/share/applications/bootsmith.desktop /usr/share/bash-completion/completions/bootsmith /usr/share/doc/bootsmith/changelog.gz /usr/share/doc/bootsmith/copyright /usr/share/icons/hicolor/scalable/apps/bootsmith.svg /usr/share/man/man1/bootsmith.1.gz /usr/share/zsh/vendor-completions/_bootsmith" \
    "$(printf '%s\n' "$files" | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//')"

capture in_root env "${BS_ENV[@]}" bootsmith version
expect_eq "the installed bootsmith has the package's version" "Bootsmith $version" "${OUT%%$'\n'*}"
capture in_root env "${BS_ENV[@]}" bootsmith list
expect_status "the installed bootsmith lists as root" 0
expect_contains "root's list shows a seeded unit" "$OUT" "realhost-daemon.service"
capture in_user env "${BS_ENV[@]}" bootsmith list
expect_status "the installed bootsmith lists as alice" 0
expect_contains "alice's list shows her own unit" "$OUT" "realhost-notes.service"

# Its own menu entry is an installed application, but Bootsmith offers no
# start-up entry for itself.
capture in_user env "${BS_ENV[@]}" bootsmith apps --all --json
expect_status "apps runs" 0
expect_not_contains "apps does not offer Bootsmith itself" "$OUT" '"name":"Bootsmith"'
expect_contains "apps still offers the seeded applications" "$OUT" "realhost-notepad"

capture in_root env LC_ALL=C.UTF-8 MANWIDTH=80 man -P cat bootsmith
expect_status "man bootsmith reads the page" 0
expect_contains "the page begins with its name line" "$OUT" "bootsmith - see what starts"

# Tab in an interactive bash of alice's with the completion loaded, driven by
# the completion function itself (there is no terminal to press Tab in). The
# listing inside a busy guest may take longer than the 2 seconds a shell
# waits, hence the longer limit.
complete_in_bash() {
    local words=$1
    in_user env BOOTSMITH_COMPLETION_TIMEOUT=30 bash -ic '
        source /usr/share/bash-completion/completions/bootsmith
        read -r -a COMP_WORDS <<<"$1"
        [[ $1 == *" " ]] && COMP_WORDS+=("")
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        COMP_LINE=$1 COMP_POINT=${#1}
        _bootsmith bootsmith "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
        printf "%s\n" "${COMPREPLY[@]}"' bash "$words" 2>/dev/null
}
capture complete_in_bash "bootsmith dis"
expect_eq "bootsmith dis completes to disable" "disable" "$OUT"
capture complete_in_bash "bootsmith disable realhost-da"
expect_eq "bootsmith disable realhost-da completes to the seeded unit" "realhost-daemon.service" "$OUT"
capture complete_in_bash "bootsmith disable realhost-no"
expect_eq "alice's own unit completes too" "realhost-notes.service" "$OUT"
capture in_root systemctl is-enabled realhost-daemon.service
expect_eq "completing changed nothing" "enabled" "$OUT"

# Purging removes every installed file; alice's data folder stays.
bs_user backup --label "before purge"
expect_status "alice saves a backup (her data folder exists)" 0
capture in_root dpkg --purge bootsmith
expect_status "dpkg --purge removes the package" 0
left=$(printf '%s\n' "$files" | while IFS= read -r path; do
    if [[ -n $path ]] && in_root test -e "$path"; then printf '%s ' "$path"; fi
done)
expect_eq "no installed file is left" "" "$left"
capture in_root dpkg-query -W -f '${Status}' bootsmith
expect_ne "dpkg no longer knows the package" "install ok installed" "$OUT"
capture in_user sh -c 'ls "$HOME/.local/share/bootsmith/backups"'
expect_contains "alice's backups survive the purge" "$OUT" "bootsmith-backup-"
