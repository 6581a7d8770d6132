#!/usr/bin/env bash
# The export end to end on a generated month: packages and pages per second, the database's
# share, peak memory at each size, and an instruction profile of a small run.
# usage: bench-export.sh BENCH-BUILD-DIR   (sizes: BENCH_SIZES="1000 10000", profile: PROFILE_BILLS=200)
set -euo pipefail
build=${1:-build-bench}
sizes=${BENCH_SIZES:-1000 10000}
profile_bills=${PROFILE_BILLS:-200}
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$build" && pwd)
from=2014-01-01
to=2014-01-31

# A demo installation over a generated database of N bills.
setup() {
    local run=$1 bills=$2
    rm -rf "$run"
    mkdir -p "$run/output"
    cp "$here/demo/Tarnwell.ini" "$run/"
    cp -r "$here/demo/queries" "$here/demo/templates" "$run/"
    "$build/bench/demodata" "$here/demo/demo.sql" "$run/demo.db" --bills "$bills" >/dev/null
}

field() { sed -n "s/^$1=//p" "$2"; }

# Rates per wall-clock second and per second of processor time (the latter is what one core
# gives when nothing else runs on it).
printf '%-9s %9s %8s %9s %8s %8s %8s %11s %7s %12s\n' packages 'wall s' 'pkg/s' 'cpu s' 'pkg/cpu' pages 'pg/cpu' 'sql alone' 'sql %' 'peak RSS MiB'
for n in $sizes; do
    run="$build/export-$n"
    setup "$run" "$n"
    # One core, as the targets are stated for one; the settings' directories are relative
    # to the installation, so it runs from there.
    (cd "$run" && taskset -c 0 "$build/bench/export_bench" --home . --query bills --from $from --to $to \
        --summary summary.txt >stdout.txt 2>stderr.txt)
    s="$run/summary.txt"
    rc=$(field exit_code "$s")
    if [ "$rc" -ne 0 ]; then
        echo "the export of $n bills ended with exit code $rc: see $run/logs" >&2
        exit 1
    fi
    awk -v n="$(field packages "$s")" -v t="$(field run_seconds "$s")" -v c="$(field run_cpu_seconds "$s")" \
        -v p="$(field pages "$s")" -v sq="$(field sql_alone_seconds "$s")" -v rss="$(field peak_rss_kib "$s")" \
        'BEGIN { printf "%-9d %9.2f %8.0f %9.2f %8.0f %8d %8.0f %11.2f %7.1f %12.1f\n", n, t, n / t, c, n / c, p, p / c, sq, 100 * sq / c, rss / 1024 }'
done

