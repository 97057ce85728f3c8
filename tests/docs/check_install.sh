#!/bin/bash
# `make install` into a scratch prefix puts in place the three programs, the desktop entry and the
# manual pages, and the installed programs run from there.
#
#     check_install.sh CMAKE BUILD_DIR BINDIR DATADIR MANDIR DOCDIR   (the last four relative to
#                                                                     the prefix)
set -euo pipefail
cmake=$1 build=$2 bindir=$3 datadir=$4 mandir=$5 docdir=$6

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

"$cmake" --install "$build" --prefix "$prefix" >"$prefix/install.log" 2>&1 || {
    cat "$prefix/install.log" >&2
    echo "FAIL: cmake --install failed" >&2
    exit 1
}

failed=0
fail() {
    echo "FAIL: $*" >&2
    failed=1
}

for program in zeb zeb-reg orvane-engine; do
    [ -x "$prefix/$bindir/$program" ] || fail "$bindir/$program is not installed"
done
desktop=$prefix/$datadir/applications/zeb.desktop
if [ -f "$desktop" ]; then
    # The entry must start a program that the installation holds.
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

[ "$failed" = 0 ] && echo "install: programs, desktop entry, manual pages and documents in place below a scratch prefix"
exit "$failed"
