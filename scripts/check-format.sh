#!/usr/bin/env bash
# Fails, naming the files, when a C++ file of the tree differs from what clang-format
# makes of it with the project's .clang-format. `scripts/check-format.sh --fix` formats
# them in place instead.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h')
else
  mapfile -t files < <(find src tests bench fuzz -name '*.cpp' -o -name '*.h')
fi
existing=()
for f in "${files[@]}"; do [[ -f $f ]] && existing+=("$f"); done
if [[ "${1:-}" == "--fix" ]]; then
  clang-format -i "${existing[@]}"
  exit 0
fi
mapfile -t unformatted < <(printf '%s\0' "${existing[@]}" |
  xargs -0 -n 64 -P "$(nproc)" clang-format --dry-run 2>&1 | sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: warning:.*/\1/p' | sort -u)
if [[ ${#unformatted[@]} -gt 0 ]]; then
  echo "Not formatted with the project's .clang-format (scripts/check-format.sh --fix formats them):"
  printf '  %s\n' "${unformatted[@]}"
  exit 1
fi
echo "Formatting: ${#existing[@]} files as clang-format writes them."
