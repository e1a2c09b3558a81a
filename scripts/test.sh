#!/usr/bin/env bash
# Installs what is missing, checks the formatting, builds with warnings as errors, and
# runs every test: the whole suite on the normal build, then the library's tests under
# the address and undefined-behaviour sanitizers and every fuzz target over its corpus
# and briefly on fresh inputs.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh" --test
"$top/scripts/check-format.sh"
"$top/scripts/build.sh" -DQEL_BUILD_TESTS=ON -DQEL_WERROR=ON
(cd "$top/build" && ctest --output-on-failure -j "$(nproc)" --timeout 900)

# The sanitizer build (clang) in build-fuzz/: the library instrumented once for the
# unit tests and the fuzz targets alike; the viewer is left out.
fuzz_build=$top/build-fuzz
CC=clang CXX=clang++ cmake -S "$top" -B "$fuzz_build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQEL_FUZZ=ON -DQEL_SANITIZE=ON -DQEL_BUILD_TESTS=ON -DQEL_BUILD_GUI=OFF -DQEL_WERROR=ON >/dev/null
cmake --build "$fuzz_build" --target unit_tests qel_fuzzers -j "$(nproc)"
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
(cd "$fuzz_build" && QEL_SWEEP_SCALE=3 ctest --output-on-failure -j "$(nproc)" --timeout 900 -L unit)

# Every fuzz target over its corpus, then briefly on fresh inputs.
"$top/fuzz/run.sh" --quick "$fuzz_build"
