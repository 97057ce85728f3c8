#!/bin/bash
# SPDX-FileCopyrightText: 2026 ZEB contributors
# SPDX-License-Identifier: MIT

# check_man_pages.sh MAN_DIR ZEB_REG: the manual pages render without a single warning, carry the
# sections a reader looks for, and zeb-reg(1) documents every operation zeb-reg's own help lists.
set -euo pipefail
man_dir=$1 zeb_reg=$2
command -v groff >/dev/null || { echo "SKIP: groff is not installed"; exit 77; }

failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
render() { groff -man -ww -Tutf8 -P-cbou "$1" 2>"$work/warnings"; }

for page in zeb.1 zeb-reg.1 orvane-engine.1; do
    text=$(render "$man_dir/$page")
    [ -s "$work/warnings" ] && fail "$page: $(cat "$work/warnings")"
    for section in NAME SYNOPSIS DESCRIPTION "EXIT STATUS" ENVIRONMENT EXAMPLES "SEE ALSO"; do
        grep -qx "$section" <<<"$text" || fail "$page has no $section section"
    done
done

# "  OPERATION  query | add | ..." in the overview names every operation.
operations=$("$zeb_reg" /? | sed -n 's/^ *OPERATION  *//p' | tr -d '|')
[ -n "$operations" ] || fail "zeb-reg /? lists no operations"
synopsis=$(render "$man_dir/zeb-reg.1" | sed -n '/^SYNOPSIS$/,/^DESCRIPTION$/p')
for operation in $operations; do
    grep -q "zeb-reg $operation " <<<"$synopsis" || fail "zeb-reg(1) lacks the operation $operation"
done

[ "$failed" = 0 ] && echo "man pages: all render cleanly; zeb-reg(1) covers:$operations"
exit "$failed"
