#!/usr/bin/env bash
# Builds a fresh demo installation and exports January 2014 from it.
# usage: run-demo.sh PATH-TO-tarnwell RUN-DIR
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 PATH-TO-tarnwell RUN-DIR" >&2
  exit 1
fi
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

shopt -s nullglob
packages=("$run"/output/*.xml)
errors=("$run"/logs/Tarnwell_*.error.txt)

echo
echo "package files:  ${#packages[@]} in $run/output/"
echo "run log:        $run/logs/Tarnwell.log.txt"
if [ ${#errors[@]} -gt 0 ]; then
  echo "error log:      ${errors[*]}"
fi
echo "exit code:      $rc"
# Any failed package (exit code 2) is a failure of the demo too.
if [ "$rc" -ne 0 ]; then
  echo "the demo export failed: see the error log" >&2
  exit "$rc"
fi
if [ ${#packages[@]} -eq 0 ]; then
  echo "the demo export wrote no package file" >&2
  exit 1
fi
