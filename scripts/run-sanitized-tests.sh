#!/usr/bin/env bash
# Runs the suite built with -DTARNWELL_SANITIZE=ON. Any sanitizer report fails the test
# that produced it; leaks are reported at exit, with the suppressions for system libraries.
set -euo pipefail
build=${1:-build-sanitize}
here=$(cd "$(dirname "$0")" && pwd)
export ASAN_OPTIONS="detect_leaks=1:verify_asan_link_order=0:abort_on_error=0:halt_on_error=1:detect_stack_use_after_return=0:strict_string_checks=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
export LSAN_OPTIONS="suppressions=$here/lsan.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
# Instrumented frames are several times larger: the deepest recursions the parsers allow
# need more than the usual 8 MiB of stack.
ulimit -s 65536 2>/dev/null || ulimit -s unlimited 2>/dev/null || true
exec bash "$here/run-tests.sh" "$build"
