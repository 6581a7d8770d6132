#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for SECONDS each: the seeds of fuzz/corpus/<dir>
# are read, new inputs go to a scratch corpus in the build folder. A crash, hang (10 s),
# leak or OOM stops the run with the path of the input that caused it.
# usage: run-fuzz.sh BUILD SECONDS [TARGET...]
set -uo pipefail
build=${1:?build folder}
seconds=${2:-60}
shift 2 || shift $#
list="$build/fuzz/fuzz_targets.txt"
[[ -f $list ]] || { echo "no fuzz targets in $build (configure with -DTARNWELL_FUZZ=ON)" >&2; exit 1; }
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
export QT_QPA_PLATFORM=offscreen

while read -r name seeds dict; do
    if (($# > 0)) && [[ " $* " != *" $name "* ]]; then
        continue
    fi
    scratch="$build/fuzz/scratch/$name"
    findings="$build/fuzz/findings/$name"
    log="$build/fuzz/$name.log"
    mkdir -p "$scratch" "$findings"
    args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -detect_leaks=1
          -artifact_prefix="$findings/" -print_final_stats=1)
    [[ $dict != - ]] && args+=(-dict="$dict")
    echo "== $name: $seconds s (log: $log)"
    # The scratch corpus comes first: libFuzzer writes new inputs into the first folder.
    if ! "$build/fuzz/$name" "${args[@]}" "$scratch" "$seeds" >"$log" 2>&1; then
        tail -n 40 "$log"
        echo "FOUND by $name: $(ls -t "$findings"/* 2>/dev/null | head -n 1)" >&2
        exit 1
    fi
    grep -E '^stat::number_of_executed_units' "$log" | sed "s/^/   /"
done <"$list"
