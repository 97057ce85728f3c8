#!/bin/bash
# SPDX-FileCopyrightText: 2026 ZEB contributors
# SPDX-License-Identifier: MIT

# check_package.sh SOURCE_DIR WORK_DIR VERSION
# `make package` builds a package lintian accepts, of the build's version, named by the fleet play,
# depending on what it links (dh_shlibdeps), and holding the programs, a valid desktop entry with
# its icon, a valid AppStream file, the documents and the fleet example.
set -euo pipefail
src=$1 work=$2 version=$3
failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }

"$src/devtools/build_package.sh" "$work" >"$work.log" 2>&1 || { tail -40 "$work.log" >&2; exit 1; }
deb=zeb_${version}_$(dpkg --print-architecture).deb
[ -f "$work/$deb" ] || { fail "no $deb: the package's version is not the build's"; exit 1; }
lintian --fail-on error,warning "$work/$deb" || fail "lintian rejects the package"
depends=$(dpkg-deb -f "$work/$deb" Depends)
for needed in xterm libqt6widgets6 libsqlite3-0 libtelnet2; do
    [[ ",$depends," == *[,\ ]$needed[,\ \(]* ]] || fail "the package does not depend on $needed: $depends"
done
grep -q "^ *zeb_package: $deb$" "$src/deploy/zeb-fleet.yml" || fail "deploy/zeb-fleet.yml does not install $deb"

rm -rf "$work/root" && dpkg-deb -x "$work/$deb" "$work/root"
share=$work/root/usr/share
for file in bin/orvane-engine share/doc/zeb/{engine-protocol.md.gz,examples/zeb-fleet.yml,examples/zeb-hosts.reg}; do
    [ -f "$work/root/usr/$file" ] || fail "usr/$file is not installed"
done
entry=$share/applications/zeb.desktop
desktop-file-validate "$entry" || fail "the desktop entry is not valid"
[ -x "$work/root/usr/bin/$(sed -n 's/^Exec=//p' "$entry")" ] || fail "the desktop entry runs no installed program"
[ -f "$share/icons/hicolor/scalable/apps/$(sed -n 's/^Icon=//p' "$entry").svg" ] || fail "the desktop entry's icon is not installed"
metainfo=$(echo "$share"/metainfo/*.metainfo.xml)
appstreamcli validate --no-net "$metainfo" || fail "the AppStream file is not valid"
grep -q '<launchable type="desktop-id">zeb.desktop<' "$metainfo" || fail "the AppStream file does not launch zeb.desktop"
ZEB_REGISTRY=$work/registry.db "$work/root/usr/bin/zeb-reg" /? | grep -q '^zeb-reg OPERATION' || fail "the installed zeb-reg does not show its help"

[ "$failed" = 0 ] && echo "package: $deb passes lintian and holds everything in its place"
exit "$failed"
