#!/bin/bash
# SPDX-FileCopyrightText: 2026 ZEB contributors
# SPDX-License-Identifier: MIT

# check_screenshots.sh SOURCE_DIR BIN_DIR: docs/screenshots.sh, run on the built program, produces
# every picture: the seven the tour needs, each the README or the AppStream file shows, and each
# committed in docs/screenshots. Each is a real PNG of a dialog, neither tiny nor blank, and no two
# are the same. (Pixels are not compared with the committed ones: fonts differ between machines.)
set -euo pipefail
src=$1 bin=$2
for tool in Xvfb xdotool import identify; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
timeout 150 bash "$src/docs/screenshots.sh" "$bin" "$out"

failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }

tour=(select-not-configured select-list-only select-free-entry config-general config-hosts host-tcpip host-serial)
shown=$( (grep -oh 'docs/screenshots/[A-Za-z0-9_-]*\.png' "$src/README.md" "$src"/app/*.metainfo.xml || true) | sed 's|.*/||; s|\.png$||' | sort -u)
[ -n "$shown" ] || fail "the README shows no pictures"
committed=$( (find "$src/docs/screenshots" -maxdepth 1 -name '*.png' -printf '%f\n' 2>/dev/null || true) | sed 's|\.png$||')

signatures=
for name in $(printf '%s\n' "${tour[@]}" "$shown" "$committed" | sort -u); do
    # Format, width, height, colours (a blank window has a few) and a signature of the pixels.
    read -r format width height colours signature < <(identify -format '%m %w %h %k %#\n' "$out/$name.png" 2>/dev/null) ||
        { fail "$name.png was not produced as an image"; continue; }
    [ "$format" = PNG ] && [ "$width" -ge 200 ] && [ "$height" -ge 150 ] && [ "$colours" -ge 16 ] ||
        fail "$name.png is a $format of ${width}x$height with $colours colours, not a dialog"
    signatures+="$signature $name"$'\n'
done
duplicates=$(sort <<<"$signatures" | awk 'NF { if ($1 == last) print $2; last = $1 }')
[ -z "$duplicates" ] || fail "pictures identical to another: $duplicates"

[ "$failed" = 0 ] && echo "screenshots: every picture produced, each a distinct PNG of a dialog"
exit "$failed"
