#!/usr/bin/env bash
# Builds a fresh demo installation and exports January 2014 from it.
# usage: run-demo.sh PATH-TO-tarnwell RUN-DIR
set -euo pipefail

exe=$(realpath "$1")
run=$2
here=$(cd "$(dirname "$0")" && pwd)

rm -rf "$run"
mkdir -p "$run/output"
cp "$here/Tarnwell.ini" "$run/"
cp -r "$here/queries" "$here/templates" "$run/"
sqlite3 "$run/demo.db" < "$here/demo.sql"

# The settings name their directories relative to the program directory: run from there.
rc=0
(cd "$run" && "$exe" --home . export --query bills --from 2014-01-01 --to 2014-01-31) || rc=$?
run=$(cd "$run" && pwd)

echo
echo "exit code:      $rc"
echo "package files:  $run/output/"
echo "run log:        $run/logs/Tarnwell.log.txt"
echo "error logs:     $run/logs/Tarnwell_*.error.txt"
# 2: the run went through, some packages failed (see the error log).
if [ "$rc" -ne 0 ] && [ "$rc" -ne 2 ]; then
  exit "$rc"
fi
