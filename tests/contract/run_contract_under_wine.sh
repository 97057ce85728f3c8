#!/bin/bash
# SPDX-FileCopyrightText: 2026 ZEB contributors
# SPDX-License-Identifier: MIT

# run_contract_under_wine.sh SOURCE_DIR BUILD_DIR SKIP_CODE
# Cross-builds the contract suite for Windows and runs it under Wine (prefix kept for the next run);
# without the compiler or Wine it says why and returns SKIP_CODE, never a silent pass.
set -u
SOURCE_DIR=$1 BUILD_DIR=$2 SKIP_CODE=$3
CROSS_COMPILER=x86_64-w64-mingw32-g++-posix
WINE_LOADER=${ZEB_WINE_LOADER:-/usr/lib/wine/wine64}
GOOGLETEST_SOURCE=/usr/src/googletest
CROSS_DIR=$BUILD_DIR/wine-cross
export WINEPREFIX=$BUILD_DIR/wine-prefix WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=" # no Mono or Gecko installer dialogs
export LC_ALL=C.UTF-8                     # Wine's ANSI code page: Windows-1252, the substitute's

skip() {
    echo "SKIPPED: $1 (Debian packages g++-mingw-w64-x86-64-posix, wine64, googletest)"
    exit "$SKIP_CODE"
}
fail() { echo "FAILED: $1"; exit 1; }

command -v "$CROSS_COMPILER" >/dev/null 2>&1 || skip "no cross compiler $CROSS_COMPILER"
[ -x "$WINE_LOADER" ] || skip "no Wine loader $WINE_LOADER"
[ -f "$GOOGLETEST_SOURCE/CMakeLists.txt" ] || skip "no GoogleTest sources in $GOOGLETEST_SOURCE"

cmake -S "$SOURCE_DIR" -B "$CROSS_DIR" \
    -DCMAKE_TOOLCHAIN_FILE="$SOURCE_DIR/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Debug -DZEB_WITH_GUI=OFF -DZEB_GOOGLETEST_SOURCE="$GOOGLETEST_SOURCE" \
    >"$CROSS_DIR.configure.log" 2>&1 || { cat "$CROSS_DIR.configure.log"; fail "cross configure"; }
cmake --build "$CROSS_DIR" --target store_contract -j "${ZEB_WINE_JOBS:-2}" || fail "cross build"
if [ ! -f "$WINEPREFIX/system.reg" ]; then # a fresh prefix boots once, in half a minute or more
    timeout 300 "$WINE_LOADER" wineboot -i || fail "the Wine prefix could not be booted"
fi
"$WINE_LOADER" "$CROSS_DIR/bin/store_contract.exe"
status=$?
# The Wine server lingers after the last program: nothing of this run may outlive the test.
timeout 30 "$(dirname "$WINE_LOADER")/wineserver64" -w
exit "$status"
