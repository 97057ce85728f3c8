#!/bin/sh
# SPDX-FileCopyrightText: 2026 ZEB contributors
# SPDX-License-Identifier: MIT

# Runs every fuzz target of a ZEB_FUZZ build for a while and keeps what it learnt.
#   run_fuzzers.sh <build-fuzz folder> <seconds per target> [target names...]
# Each target starts from its committed corpus; afterwards that corpus is minimised anew (-merge=1)
# over itself and what the run found. Files named by hand (regressions, seeds) always stay; the
# files libFuzzer named by their SHA-1 stay only while they reach code no smaller file reaches.
# A crash, a hang or a failed oracle stops that target, leaves the input in
# <build>/fuzz-run/<name>/ and makes the whole run fail; once the fault is fixed, copy the input
# into the corpus under a name that says what it caught.
set -u
build=$1
seconds=$2
shift 2
list=$build/fuzz-targets
if [ ! -d "$list" ]; then
    echo "no fuzz targets in $build (configure it with -DZEB_FUZZ=ON)" >&2
    exit 2
fi
names=${*:-$(ls "$list")}
failed=
for name in $names; do
    [ -f "$list/$name" ] || { echo "no fuzz target named $name" >&2; exit 2; }
    read -r program max_len corpus <"$list/$name"
    work=$build/fuzz-run/$name
    rm -rf "$work"
    mkdir -p "$work/found" "$work/kept" "$corpus"
    echo "== $name: $seconds s, inputs up to $max_len bytes"
    # New inputs go to the first folder; the corpus is only read until the merge.
    if ! "$program" -max_len="$max_len" -max_total_time="$seconds" -timeout=10 \
        -print_final_stats=1 -artifact_prefix="$work/" "$work/found" "$corpus" \
        >"$work/fuzz.log" 2>&1; then
        echo "FAILED: $name, see $work/fuzz.log"
        grep -E 'ERROR|fuzz oracle failed|Test unit written' "$work/fuzz.log" | head -n 5
        failed="$failed $name"
        continue
    fi
    grep -E '^#[0-9]+.*(DONE|pulse|NEW|REDUCE)' "$work/fuzz.log" | tail -n 1
    grep -E '^stat::number_of_executed_units' "$work/fuzz.log"
    find "$corpus" -type f ! -regex '.*/[0-9a-f]\{40\}' -exec cp {} "$work/kept" \;
    if ! "$program" -merge=1 -max_len="$max_len" "$work/kept" "$corpus" "$work/found" \
        >"$work/merge.log" 2>&1; then
        echo "FAILED: merging $name's corpus, see $work/merge.log"
        failed="$failed $name"
        continue
    fi
    find "$corpus" -type f -regex '.*/[0-9a-f]\{40\}' -delete
    find "$work/kept" -type f -exec cp {} "$corpus" \;
    echo "corpus: $(ls "$corpus" | wc -l) files"
done
[ -z "$failed" ] || { echo "fuzz targets that failed:$failed" >&2; exit 1; }
