#!/usr/bin/env bash
# `cmake --install` lays out exactly the program, its manual page, the two
# completions and the menu entry with its icon, and each of them is valid:
# the page lints clean and carries the program's version, the desktop entry
# validates and opens the window without a terminal, the scripts parse.
#
# Usage: install_test.sh BUILD_DIR
set -euo pipefail
# shellcheck source=tests/dist/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

build=$(realpath "$1")
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

expected="bin/bootsmith
share/applications/bootsmith.desktop
share/bash-completion/completions/bootsmith
share/icons/hicolor/scalable/apps/bootsmith.svg
share/man/man1/bootsmith.1.gz
share/zsh/vendor-completions/_bootsmith"
got=$(cd "$prefix" && find . ! -type d -printf '%P\n' | LC_ALL=C sort)
[[ $got == "$expected" ]] || fail "installed files differ: $(diff <(echo "$expected") <(echo "$got") | sed -n 's/^[<>]/&/p' | tr '\n' ' ')"
[[ -x $prefix/bin/bootsmith ]] || fail "the program is not executable"

page=$prefix/bootsmith.1
gzip -dc "$prefix/share/man/man1/bootsmith.1.gz" >"$page"
version=$("$prefix/bin/bootsmith" version | sed -n '1s/^Bootsmith //p')
[[ -n $version ]] || fail "bootsmith version does not name a version"
grep -q "^\.TH BOOTSMITH 1 \"[0-9-]*\" \"Bootsmith $version\"" "$page" ||
    fail "the manual page does not carry version $version"
if command -v groff >/dev/null; then
    lint=$(groff -man -ww -z "$page" 2>&1)
    [[ -z $lint ]] || fail "groff warns about the manual page: $lint"
else
    fail "groff is not installed, so the manual page was not checked"
fi

entry=$prefix/share/applications/bootsmith.desktop
if command -v desktop-file-validate >/dev/null; then
    report=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $report"
    [[ -z $report ]] || fail "desktop-file-validate: $report"
else
    fail "desktop-file-validate is not installed, so the menu entry was not checked"
fi
key() { sed -n "s/^$1=//p" "$entry"; }
[[ $(key Name) == Bootsmith && $(key Exec) == bootsmith && $(key Terminal) == false ]] ||
    fail "the menu entry does not open the window as Bootsmith without a terminal"
[[ -f $prefix/share/icons/hicolor/scalable/apps/$(key Icon).svg ]] || fail "the menu entry's icon is missing"
# Bootsmith's own tag would make it treat its menu entry as an entry it made.
grep -qi '^X-Bootsmith' "$entry" && fail "the menu entry carries a Bootsmith tag"
grep -q '<svg' "$prefix/share/icons/hicolor/scalable/apps/bootsmith.svg" || fail "the icon is not SVG"

bash -n "$prefix/share/bash-completion/completions/bootsmith" || fail "the bash completion does not parse"
if command -v zsh >/dev/null; then
    zsh -n "$prefix/share/zsh/vendor-completions/_bootsmith" || fail "the zsh completion does not parse"
fi

finish
