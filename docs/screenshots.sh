#!/bin/bash
# SPDX-FileCopyrightText: 2026 ZEB contributors
# SPDX-License-Identifier: MIT

# Takes the README's pictures of ZEB's dialogs from the real program, so they never drift from the
# code: `make screenshots` runs it into docs/screenshots.
#
#     docs/screenshots.sh BIN_DIR OUT_DIR
#
# BIN_DIR holds the built zeb and zeb-reg. Everything runs on a private X server (Xvfb) over a
# scratch store filled by `zeb-reg import deploy/zeb-hosts.reg`, with a fake sysfs tree that
# offers two serial ports; the dialogs are reached with the mouse and the keyboard (xdotool) as a
# person would reach them. Needs Xvfb, xdotool and ImageMagick. Nothing outside the scratch folder
# is read or changed, and every wait is bounded: a dialog that does not appear ends the script
# with status 1 and a message saying which.
set -euo pipefail

usage="usage: $0 BIN_DIR OUT_DIR"
bin=$(cd "${1:?$usage}" && pwd)
mkdir -p "${2:?$usage}"
out=$(cd "$2" && pwd)
docs=$(cd "$(dirname "$0")" && pwd)

for tool in Xvfb xdotool import identify; do
    command -v "$tool" >/dev/null || { echo "screenshots: $tool is not installed" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/zeb-screenshots.XXXXXX")
xvfb_pid=
zeb_pid=
cleanup() {
    for pid in $zeb_pid $xvfb_pid; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "screenshots: $*" >&2
    if [ -s "$work/zeb.log" ]; then
        echo "--- what zeb said:" >&2
        tail -n 40 "$work/zeb.log" >&2
    fi
    exit 1
}

# Polls a command ten times a second until it succeeds, for at most 20 seconds.
wait_until() {
    local what=$1
    shift
    for _ in $(seq 200); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    fail "timed out waiting for $what"
}

# --- The scratch machine: store, serial ports, X server ---------------------------------------

export ZEB_REGISTRY=$work/registry.db
export ZEB_SYSFS_ROOT=$work/sys
# A USB adapter and a real UART (type 4, a 16550A), as the kernel describes them.
for port in ttyS0 ttyUSB0; do
    mkdir -p "$ZEB_SYSFS_ROOT/class/tty/$port/device/driver"
    echo 4 >"$ZEB_SYSFS_ROOT/class/tty/$port/type"
done

# Xvfb picks a free display itself and writes its number to file descriptor 3.
Xvfb -displayfd 3 -noreset -screen 0 800x600x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
wait_until "the X server to start" test -s "$work/display"
display=$(head -n1 "$work/display")
export DISPLAY=:$display
export QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_STYLE_OVERRIDE

zeb_reg() {
    "$bin/zeb-reg" "$@" >>"$work/zeb-reg.log" 2>&1 || fail "zeb-reg $* failed: $(cat "$work/zeb-reg.log")"
}

# --- Driving the dialogs ----------------------------------------------------------------------

# Window titles, matched whole.
SELECT_TITLE='^Orvane Terminal Emulator$'
CONFIG_TITLE='^Orvane Terminal Emulator Configuration Utility$'
EDITOR_TITLE='^Edit host configuration$'

visible_window() {
    xdotool search --onlyvisible --name "$1" | head -n1 | grep .
}

# Prints the id of the visible window titled $1, waiting for it to appear.
await_window() {
    wait_until "the window '$1'" visible_window "$1"
    local id
    id=$(visible_window "$1")
    # Keystrokes go to the focused window; there is no window manager to focus it.
    xdotool windowfocus --sync "$id"
    echo "$id"
}

await_no_window() {
    wait_until "the window '$1' to close" bash -c "! xdotool search --onlyvisible --name '$1' | grep -q ."
}

start_zeb() {
    "$bin/zeb" >>"$work/zeb.log" 2>&1 &
    zeb_pid=$!
}

stop_zeb() {
    kill "$zeb_pid" 2>/dev/null || true
    wait "$zeb_pid" 2>/dev/null || true
    zeb_pid=
}

# Clicks at x y relative to the window's top left corner.
click() {
    xdotool mousemove --window "$1" "$2" "$3" click 1
}

keys() {
    xdotool key --delay 50 "$@"
}

# Saves the window $1 as $2.png once two captures in a row agree, so that no half-painted window
# is kept. The PNG carries no time stamps: renewing an unchanged picture changes no byte.
snap() {
    local id=$1 file=$out/$2.png
    local previous=
    for _ in $(seq 20); do
        import -window "$id" -strip -define png:exclude-chunk=date,time "$file" ||
            fail "cannot capture $2"
        local now
        now=$(identify -format '%#' "$file")
        [ "$now" = "$previous" ] && return 0
        previous=$now
        sleep 0.1
    done
    fail "the window for $2 never stopped changing"
}

# Pixel positions below come from the dialogs' layout tables (15 twips to a pixel), which fix
# every control's place; the tabs' widths depend on the font, so the Hosts tab is reached with
# the keyboard.
LINK_X=154 LINK_Y=118     # frmSelect: the link label to the configuration dialog
EDIT_X=404 EDIT_Y=134     # frmConfig, Hosts tab: Edit...

# Opens record number $2 (from 1, in list order) of the Hosts tab of window $1 in the host editor.
edit_record() {
    local config=$1 downs=$(($2 - 1))
    xdotool windowfocus --sync "$config"
    keys Home
    for _ in $(seq "$downs"); do keys Down; done
    click "$config" "$EDIT_X" "$EDIT_Y"
}

# --- The pictures -----------------------------------------------------------------------------

# 1. A machine where nothing was ever configured: the dialog says so and offers the link.
start_zeb
select=$(await_window "$SELECT_TITLE")
snap "$select" select-not-configured
stop_zeb

# 2. The provisioned host list, users limited to its records.
zeb_reg import "$docs/../deploy/zeb-hosts.reg"
start_zeb
select=$(await_window "$SELECT_TITLE")
snap "$select" select-list-only

click "$select" "$LINK_X" "$LINK_Y"
config=$(await_window "$CONFIG_TITLE")
snap "$config" config-general
# From the emulation box back to the tab bar, then on to the next tab.
keys shift+Tab Right
snap "$config" config-hosts
[ "$(identify -format '%#' "$out/config-hosts.png")" != "$(identify -format '%#' "$out/config-general.png")" ] ||
    fail "the Hosts tab did not open"

edit_record "$config" 1 # payroll, TCP/IP
editor=$(await_window "$EDITOR_TITLE")
snap "$editor" host-tcpip
keys Escape
await_no_window "$EDITOR_TITLE"

edit_record "$config" 2 # lab-console, serial
editor=$(await_window "$EDITOR_TITLE")
snap "$editor" host-serial
keys Escape
await_no_window "$EDITOR_TITLE"
stop_zeb

# 3. Users may also type a host name or address of their own.
zeb_reg add 'HKLM\SOFTWARE\Verdastone\Kelm\ZEB\Settings' /v EnableNR /d Y /f
start_zeb
select=$(await_window "$SELECT_TITLE")
snap "$select" select-free-entry
stop_zeb

echo "screenshots: 7 pictures in $out"
