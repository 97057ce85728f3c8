#!/bin/bash
# `make package` builds one Debian package that, unpacked into a scratch root, puts the programs,
# the desktop entry, the manual pages and the documents below /usr, and says what it needs. CPack
# runs the same install rules as `make install`, so this also checks an installation by hand.
#
#     check_package.sh CPACK BUILD_DIR BINDIR DATADIR MANDIR DOCDIR   (the last four relative to
#                                                                     the prefix)
set -euo pipefail
cpack=$1 build=$2
command -v dpkg-deb >/dev/null || { echo "SKIP: dpkg-deb is not installed"; exit 77; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# The package target's own configuration, with the package written to the scratch folder.
"$cpack" --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 || {
    cat "$scratch/cpack.log" >&2
    echo "FAIL: cpack failed" >&2
    exit 1
}

failed=0
fail() {
    echo "FAIL: $*" >&2
    failed=1
}
# What an installation below a prefix must hold; each missing piece goes through fail.
check_layout() {
    local prefix=$1 bindir=$2 datadir=$3 mandir=$4 docdir=$5
    for program in zeb zeb-reg orvane-engine; do
        [ -x "$prefix/$bindir/$program" ] || fail "$bindir/$program is not installed"
    done
    local desktop=$prefix/$datadir/applications/zeb.desktop
    if [ -f "$desktop" ]; then
        # The entry must start a program that the installation holds.
        local exec_line
        exec_line=$(sed -n 's/^Exec=//p' "$desktop")
        [ -x "$prefix/$bindir/${exec_line%% *}" ] || fail "zeb.desktop runs '$exec_line', which is not installed"
        grep -qx 'Type=Application' "$desktop" || fail "zeb.desktop is not an application entry"
    else
        fail "$datadir/applications/zeb.desktop is not installed"
    fi
    for page in zeb.1 zeb-reg.1; do
        [ -f "$prefix/$mandir/man1/$page" ] || [ -f "$prefix/$mandir/man1/$page.gz" ] ||
            fail "$mandir/man1/$page is not installed"
    done
    for document in engine-protocol.md sample-hosts.reg; do
        [ -f "$prefix/$docdir/$document" ] || fail "$docdir/$document is not installed"
    done
    # The installed tool works on its own, away from the build tree.
    if [ -x "$prefix/$bindir/zeb-reg" ]; then
        ZEB_REGISTRY=$prefix/registry.db "$prefix/$bindir/zeb-reg" /? | grep -q '^zeb-reg OPERATION' ||
            fail "the installed zeb-reg does not show its help"
    fi
}

packages=("$scratch"/out/*.deb)
if [ "${#packages[@]}" != 1 ] || [ ! -f "${packages[0]}" ]; then
    fail "cpack made ${#packages[@]} packages: ${packages[*]}"
    exit 1
fi
deb=${packages[0]}

[ "$(dpkg-deb -f "$deb" Package)" = zeb ] || fail "the package is not named zeb"
# A fresh desktop gets the Qt libraries and xterm along with the package.
depends=$(dpkg-deb -f "$deb" Depends)
for needed in xterm libqt6widgets6 libsqlite3-0; do
    [[ ",$depends," == *[,\ ]$needed[,\ \(]* ]] || fail "the package does not depend on $needed: $depends"
done

dpkg-deb -x "$deb" "$scratch/root"
check_layout "$scratch/root/usr" "${@:3}"

[ "$failed" = 0 ] && echo "package: $(basename "$deb") puts programs, desktop entry, manual pages and documents below /usr"
exit "$failed"
