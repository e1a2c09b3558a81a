#!/usr/bin/env bash
# Installs what is missing, builds, and starts the viewer (arguments are passed on:
# a picture file to open).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh" -DQEL_BUILD_TESTS=OFF
if [[ -x "$top/build/qel-image-tool" ]]; then
  exec "$top/build/qel-image-tool" "$@"
fi
exec "$top/build/qel-convert" --help
