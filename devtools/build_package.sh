#!/bin/bash
# SPDX-FileCopyrightText: 2026 ZEB contributors
# SPDX-License-Identifier: MIT

# Builds ZEB's Debian package the Debian way (dpkg-buildpackage and debhelper, see debian/) and
# leaves zeb_<version>_<arch>.deb, its -dbgsym, .buildinfo and .changes in OUT_DIR.
# dpkg-buildpackage writes into the folder above the source, so it runs on a copy in OUT_DIR/zeb
# rather than filling the checkout's parent. ZEB_DEFAULT_REGISTRY, from the environment, is the
# machine-wide store's path (debian/rules); JOBS, the parallel jobs (all processors by default).
#
#     devtools/build_package.sh OUT_DIR
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
out=$(mkdir -p "${1:?usage: $0 OUT_DIR}" && cd "$1" && pwd)
rm -rf "${out:?}/zeb" "$out"/zeb[_-]*
mkdir "$out/zeb"
# What git tracks or would add: build folders and other ignored files stay out.
git -C "$src" ls-files -z --cached --others --exclude-standard |
    tar -C "$src" --null --files-from=- --ignore-failed-read -cf - | tar -C "$out/zeb" -xf -
cd "$out/zeb"
dpkg-buildpackage -b -us -uc -j"${JOBS:-auto}"
