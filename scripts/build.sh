#!/usr/bin/env bash
# Configures and builds into build/ at the top of the repository.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cmake -S "$top" -B "$top/build" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@"
cmake --build "$top/build" -j "$(nproc)"
