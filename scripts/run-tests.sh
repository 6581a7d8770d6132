#!/usr/bin/env bash
# Runs the whole suite with CTest, with the test database server started on loopback.
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=/dev/null
source "$here/test-services.sh"
start_test_services
trap stop_test_services EXIT
ctest --test-dir "$build" --output-on-failure -j 2
