#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer in a build folder of its
# own (build-asan/) and runs every test there. Extra args go to CMake.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
export BUILD_DIR="${BUILD_DIR:-$root/build-asan}"
export BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}"
# Benchmarks say nothing under the sanitizers; leaks of the toolkit's own caches are suppressed.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0:detect_stack_use_after_return=0}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$root/scripts/lsan.supp:print_suppressions=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
bash "$root/scripts/test.sh" -DSANITIZE=ON -DBUILD_BENCHMARKS=OFF "$@"
