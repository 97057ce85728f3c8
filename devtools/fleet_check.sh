#!/bin/bash
# SPDX-FileCopyrightText: 2026 ZEB contributors
# SPDX-License-Identifier: MIT

# make fleet-check: runs deploy/zeb-fleet.yml for real on this machine, which must be ours to
# change (run as root): the play installs PACKAGE (built for the machine-wide store), makes the
# store and imports the sample host list. A user without privileges must then read every record
# and be refused a write, and a second run of the play must change nothing.
#
#     devtools/fleet_check.sh PACKAGE.deb
set -euo pipefail
[ "$(id -u)" = 0 ] || { echo "make fleet-check installs ZEB on this machine: run it as root" >&2; exit 1; }
deb=$(realpath "${1:?usage: $0 PACKAGE.deb}")
deploy=$(cd "$(dirname "$0")/../deploy" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'desktops:\n  hosts:\n    localhost:\n      ansible_connection: local\n' >"$work/inventory.yml"
failed=0
fail() {
    echo "FAIL: $*" >&2
    failed=1
}

# Runs the play, shows its recap, and prints how many tasks it changed.
run_play() {
    ANSIBLE_NOCOLOR=1 ansible-playbook -i "$work/inventory.yml" -e zeb_package="$deb" \
        "$deploy/zeb-fleet.yml" >"$work/play.log" || { cat "$work/play.log"; exit 1; }
    sed -n '/^PLAY RECAP/,$p' "$work/play.log" >&2
    sed -n 's/^localhost .* changed=\([0-9]*\) .*/\1/p' "$work/play.log"
}

echo "== First run" >&2
run_play >/dev/null
# What the machine-wide store holds, as root and as a user, through the path built into zeb-reg.
key='HKLM\SOFTWARE\Verdastone\Kelm\ZEB'
as_user() { runuser -u nobody -- env -i PATH=/usr/bin:/bin "$@"; }
stored=$(zeb-reg query "$key" /s)
[ "$(as_user zeb-reg query "$key" /s 2>&1)" = "$stored" ] || fail "a user does not read what root reads"
for name in $(sed -n 's/^\[HKEY_LOCAL_MACHINE\\.*\\Hosts\\\(.*\)\]$/\1/p' "$deploy/zeb-hosts.reg"); do
    grep -qF "\\Hosts\\$name" <<<"$stored" || fail "the record $name was not imported"
done
if as_user zeb-reg add "$key\\Settings" /v EnableNR /d Y /f; then fail "a user changed the store"; fi
[ "$(zeb-reg query "$key" /s)" = "$stored" ] || fail "the store changed after a user's refused write"

echo "== Second run" >&2
changed=$(run_play)
[ "$changed" = 0 ] || fail "the second run changed $changed tasks"
[ "$failed" = 0 ] && echo "fleet play: installed, imported, read by a user, refused to a user, unchanged on a second run"
exit "$failed"
