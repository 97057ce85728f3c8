#!/bin/bash
# `make package` builds one Debian package that, unpacked into a scratch root, puts the programs,
# the desktop entry, the manual pages and the documents below /usr, and says what it needs.
#
#     check_package.sh CPACK BUILD_DIR BINDIR DATADIR MANDIR DOCDIR   (the last four relative to
#                                                                     the prefix)
set -euo pipefail
cpack=$1 build=$2
source "$(dirname "$0")/installed_layout.sh"
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
