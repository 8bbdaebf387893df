#!/usr/bin/env bash
# `cpack -G DEB` makes a Debian package named bootsmith with the program's
# version, this machine's architecture, section admin, the computed Depends
# and the Recommends the program uses, holding exactly the installed files
# and no maintainer scripts (so that removing it leaves nothing behind). The
# package stays in BUILD_DIR/packages for the end-to-end check on the test
# host.
#
# Usage: package_test.sh BUILD_DIR
set -euo pipefail
# shellcheck source=tests/dist/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

build=$(realpath "$1")
for tool in dpkg-deb dpkg-shlibdeps; do
    command -v "$tool" >/dev/null || {
        echo "$tool is not installed (dpkg-dev)"
        exit 77
    }
done
out=$build/packages
rm -rf "$out"
cpack -G DEB -B "$out" --config "$build/CPackConfig.cmake" >"$build/cpack.log" 2>&1 ||
    { cat "$build/cpack.log"; exit 1; }
rm -rf "$out/_CPack_Packages"
shopt -s nullglob
debs=("$out"/*.deb)
((${#debs[@]} == 1)) || { fail "cpack made ${#debs[@]} packages"; finish; }
deb=${debs[0]}

version=$("$build/bootsmith" version | sed -n '1s/^Bootsmith //p')
arch=$(dpkg --print-architecture)
field() { dpkg-deb -f "$deb" "$1"; }
[[ $(basename "$deb") == "bootsmith_${version}_$arch.deb" ]] || fail "package file name $(basename "$deb")"
[[ $(field Package) == bootsmith ]] || fail "Package: $(field Package)"
[[ $(field Version) == "$version" ]] || fail "Version $(field Version) is not the program's $version"
[[ $(field Architecture) == "$arch" ]] || fail "Architecture: $(field Architecture)"
[[ $(field Section) == admin ]] || fail "Section: $(field Section)"
[[ $(field Maintainer) =~ ^[^\<]+\ \<[^\>]+@[^\>]+\>$ ]] || fail "Maintainer: $(field Maintainer)"
[[ $(field Recommends) == "curl | wget, pkexec | policykit-1, xdg-utils" ]] ||
    fail "Recommends: $(field Recommends)"
[[ $(field Depends) =~ (^|, )libc6\ \(\>=\ [0-9.]+\) ]] || fail "Depends was not computed: $(field Depends)"
description=$(field Description)
[[ $(head -n 1 <<<"$description") == "see what starts with your computer, and switch it on or off" ]] ||
    fail "the description's first line: $(head -n 1 <<<"$description")"
(($(wc -l <<<"$description") > 5)) || fail "the description has no text for users"

files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\.\//, "", $6); print "/" $6 }' | LC_ALL=C sort)
expected="/usr/bin/bootsmith
/usr/share/applications/bootsmith.desktop
/usr/share/bash-completion/completions/bootsmith
/usr/share/doc/bootsmith/changelog.gz
/usr/share/doc/bootsmith/copyright
/usr/share/icons/hicolor/scalable/apps/bootsmith.svg
/usr/share/man/man1/bootsmith.1.gz
/usr/share/zsh/vendor-completions/_bootsmith"
[[ $files == "$expected" ]] || fail "packed files: $(tr '\n' ' ' <<<"$files")"
scripts=$(dpkg-deb -I "$deb" | awk '$NF ~ /^(pre|post)(inst|rm)$/ { print $NF }')
[[ -z $scripts ]] || fail "maintainer scripts: $scripts"

finish
