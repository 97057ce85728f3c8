#!/bin/sh
# SPDX-FileCopyrightText: 2026 ZEB contributors
# SPDX-License-Identifier: MIT

# Puts ZEB's licence header at the head of each FILE, in the file's own comment syntax; without
# arguments, at the head of every file that `reuse lint` finds without one. make test's
# docs_licence (reuse lint) fails while a file has none. Files that cannot hold a comment
# (screenshots, fuzz corpora) are covered by .reuse/dep5 instead.
#
#     devtools/spdx_headers.sh [FILE...]
set -eu
cd "$(dirname "$0")/.."
# Spelled in two parts, or reuse would read these lines as a second header of this script.
tag=SPDX
copyright="$tag-FileCopyrightText: 2026 ZEB contributors" licence="$tag-License-Identifier: MIT"
[ $# -gt 0 ] || set -- $(reuse lint | sed -n '/^# MISSING/,/^# SUMMARY/s/^\* //p' | sort -u)
for file; do
    # The comment's opening and closing, the lines that must stay above it (a "#!" line, an XML
    # declaration, a .reg file's format line), and whether a blank line sets it apart (not in
    # roff, where it would be printed).
    close='' keep=0 gap=1
    case $file in
    *.cpp | *.h) open=// ;;
    *.1) open='.\"' gap=0 ;;
    *.reg) open=';' keep=1 ;;
    *.md | *.xml | *.svg) open='<!--' close=' -->' ;;
    *) open='#' ;;
    esac
    head -n1 "$file" | grep -q '^#!\|^<?xml' && keep=1
    A="$open $copyright$close" B="$open $licence$close" awk -v keep=$keep -v gap=$gap '
        NR == keep + 1 { print ENVIRON["A"]; print ENVIRON["B"]; if (gap && $0 != "") print "" }
        { print }
        END { if (NR <= keep) { print ENVIRON["A"]; print ENVIRON["B"] } }' "$file" >"$file.spdx"
    cat "$file.spdx" >"$file" && rm "$file.spdx"
done
