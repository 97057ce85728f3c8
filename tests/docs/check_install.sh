#!/bin/bash
# `make install` into a scratch prefix puts in place the three programs, the desktop entry and the
# manual pages, and the installed programs run from there.
#
#     check_install.sh CMAKE BUILD_DIR BINDIR DATADIR MANDIR DOCDIR   (the last four relative to
#                                                                     the prefix)
set -euo pipefail
cmake=$1 build=$2
source "$(dirname "$0")/installed_layout.sh"

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
check_layout "$prefix" "${@:3}"

[ "$failed" = 0 ] && echo "install: programs, desktop entry, manual pages and documents in place below a scratch prefix"
exit "$failed"
