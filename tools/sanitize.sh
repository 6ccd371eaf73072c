#!/usr/bin/env bash
# Builds the native tests with AddressSanitizer and UndefinedBehaviorSanitizer
# in build/linux-asan and runs them once. Any report fails the run.
# Left out: the engine's tests (label "engine": the X11 host and the offscreen
# renderer draw through Mesa's llvmpipe, whose JIT-compiled code and driver
# allocations the sanitizers cannot follow), the comparison with the win64
# build and the 32-bit build under qemu (they need those builds), scene_alloc_test (it replaces the global
# allocation functions to count them, which the sanitizer's own allocator
# cannot share) and the benchmarks (speed, not correctness).
set -euo pipefail
cd "$(dirname "$0")/.."
tree=build/linux-asan
# The preset builds the native tests and tools, without those left out above.
cmake --preset linux-asan >/dev/null
cmake --build --preset linux-asan -j "$(nproc)"
rm -f "$tree/bin/scene_alloc_test"  # stays unbuilt: see above
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tools/lsan.supp
ctest --test-dir "$tree" -j "$(nproc)" --output-on-failure -LE engine -E "cross_target|scene_trace_i386|NOT_BUILT"
