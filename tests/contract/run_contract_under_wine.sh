#!/bin/bash
# run_contract_under_wine.sh SOURCE_DIR BUILD_DIR SKIP_CODE
# Cross-builds the registry contract suite for Windows (BUILD_DIR/wine-cross) and runs it under Wine
# (prefix BUILD_DIR/wine-prefix; both kept for the next run). Without the MinGW-w64 compiler or Wine
# it prints why and returns SKIP_CODE, which CTest reports as a skip, never a silent pass
# (ZEB_WINE_LOADER names another loader). Any other failure fails.
set -u

SOURCE_DIR=$1
BUILD_DIR=$2
SKIP_CODE=$3

CROSS_COMPILER=x86_64-w64-mingw32-g++-posix
WINE_LOADER=${ZEB_WINE_LOADER:-/usr/lib/wine/wine64}
WINE_SERVER=$(dirname "$WINE_LOADER")/wineserver64
GOOGLETEST_SOURCE=/usr/src/googletest
CROSS_DIR=$BUILD_DIR/wine-cross
JOBS=${ZEB_WINE_JOBS:-2}

export WINEPREFIX=$BUILD_DIR/wine-prefix
export WINEDEBUG=-all
# No Mono or Gecko installer dialogs while the prefix boots: the suite needs neither.
export WINEDLLOVERRIDES="mscoree,mshtml="
# Wine takes its ANSI code page from the locale: this one gives Windows-1252, the substitute's.
export LC_ALL=C.UTF-8

skip() {
    echo "SKIPPED: $1"
    echo "Install the Debian packages g++-mingw-w64-x86-64-posix and wine64 (make test does) to run it."
    exit "$SKIP_CODE"
}
fail() { echo "FAILED: $1"; exit 1; }

command -v "$CROSS_COMPILER" >/dev/null 2>&1 ||
    skip "the MinGW-w64 cross compiler ($CROSS_COMPILER) is not installed"
[ -x "$WINE_LOADER" ] || skip "the Wine loader ($WINE_LOADER) is not installed"
[ -f "$GOOGLETEST_SOURCE/CMakeLists.txt" ] ||
    skip "the GoogleTest sources ($GOOGLETEST_SOURCE, Debian package googletest) are not installed"

echo "== Cross build in $CROSS_DIR"
cmake -S "$SOURCE_DIR" -B "$CROSS_DIR" \
    -DCMAKE_TOOLCHAIN_FILE="$SOURCE_DIR/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Debug -DZEB_WITH_GUI=OFF -DZEB_GOOGLETEST_SOURCE="$GOOGLETEST_SOURCE" \
    >"$CROSS_DIR.configure.log" 2>&1 ||
    { cat "$CROSS_DIR.configure.log"; fail "the cross build could not be configured"; }
cmake --build "$CROSS_DIR" --target store_contract -j "$JOBS" ||
    fail "the cross build of store_contract failed"

TEST_EXE=$CROSS_DIR/bin/store_contract.exe
[ -f "$TEST_EXE" ] || fail "$TEST_EXE was not built"

# A fresh prefix is booted once (half a minute or more); later runs reuse it.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "== Booting the Wine prefix $WINEPREFIX"
    timeout 300 "$WINE_LOADER" wineboot -i || fail "the Wine prefix could not be booted"
fi

echo "== Running $TEST_EXE under Wine"
"$WINE_LOADER" "$TEST_EXE"
status=$?
# The Wine server lingers a few seconds after the last program; wait for it so nothing of this run
# outlives the test.
[ -x "$WINE_SERVER" ] && timeout 30 "$WINE_SERVER" -w
exit "$status"
