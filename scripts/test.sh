#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors, and runs every test.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh" --test
"$top/scripts/build.sh" -DQEL_BUILD_TESTS=ON -DQEL_WERROR=ON
cd "$top/build"
ctest --output-on-failure -j "$(nproc)" --timeout 900

# Every fuzz target over its seed corpus, then briefly on fresh inputs (clang, sanitizers,
# in build-fuzz/).
"$top/fuzz/run.sh" --quick
