#!/bin/bash
# SPDX-FileCopyrightText: 2026 ZEB contributors
# SPDX-License-Identifier: MIT

# `make package` builds one Debian package that, unpacked into a scratch root, puts the programs,
# the desktop entry, the manual pages and the documents below /usr, and says what it needs. CPack
# runs the same install rules as `make install`, so this also checks an installation by hand.
#
#     check_package.sh CPACK BUILD_DIR BINDIR DATADIR MANDIR DOCDIR   (the last four below /usr)
set -euo pipefail
cpack=$1 build=$2 bindir=$3 datadir=$4 mandir=$5 docdir=$6
command -v dpkg-deb >/dev/null || { echo "SKIP: dpkg-deb is not installed"; exit 77; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=0
fail() {
    echo "FAIL: $*" >&2
    failed=1
}

# The package target's own configuration, with the package written to the scratch folder.
"$cpack" --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
    { cat "$scratch/cpack.log" >&2; fail "cpack failed"; exit 1; }
packages=("$scratch"/out/*.deb)
[ "${#packages[@]}" = 1 ] && [ -f "${packages[0]}" ] || { fail "cpack made: ${packages[*]}"; exit 1; }
deb=${packages[0]}
[ "$(dpkg-deb -f "$deb" Package)" = zeb ] || fail "the package is not named zeb"
# A fresh desktop gets the Qt libraries and xterm along with the package.
depends=$(dpkg-deb -f "$deb" Depends)
for needed in xterm libqt6widgets6 libsqlite3-0; do
    [[ ",$depends," == *[,\ ]$needed[,\ \(]* ]] || fail "the package does not depend on $needed: $depends"
done

usr=$scratch/root/usr
dpkg-deb -x "$deb" "$scratch/root"
for program in zeb zeb-reg orvane-engine; do
    [ -x "$usr/$bindir/$program" ] || fail "$bindir/$program is not installed"
done
# The desktop entry must start a program that the package holds.
desktop=$usr/$datadir/applications/zeb.desktop
exec_line=$(sed -n 's/^Exec=//p' "$desktop" 2>/dev/null || true)
[ -x "$usr/$bindir/${exec_line%% *}" ] || fail "zeb.desktop runs '$exec_line', which is not installed"
grep -qx 'Type=Application' "$desktop" 2>/dev/null || fail "no application entry $desktop"
for page in zeb.1 zeb-reg.1; do
    [ -f "$usr/$mandir/man1/$page" ] || [ -f "$usr/$mandir/man1/$page.gz" ] ||
        fail "$mandir/man1/$page is not installed"
done
for document in engine-protocol.md sample-hosts.reg; do
    [ -f "$usr/$docdir/$document" ] || fail "$docdir/$document is not installed"
done
# The installed tool works on its own, away from the build tree.
ZEB_REGISTRY=$scratch/registry.db "$usr/$bindir/zeb-reg" /? 2>/dev/null | grep -q '^zeb-reg OPERATION' ||
    fail "the installed zeb-reg does not show its help"

[ "$failed" = 0 ] && echo "package: $(basename "$deb") puts programs, desktop entry, manual pages and documents below /usr"
exit "$failed"
