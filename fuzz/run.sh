#!/usr/bin/env bash
# Runs every libFuzzer target of the project.
#
#   fuzz/run.sh SECONDS [BUILD_DIR]   fuzz each target for SECONDS
#   fuzz/run.sh --quick [BUILD_DIR]   replay each target's corpus, then fuzz it
#                                     briefly (the test command's step)
#   fuzz/run.sh --merge [BUILD_DIR]   keep what fuzzing found: add to each committed
#                                     corpus the inputs of BUILD_DIR/fuzz-work/<target>
#                                     that reach code or states its files do not
#
# BUILD_DIR (default build-fuzz at the top of the repository) is configured with clang
# and the sanitizers when it is not yet (as scripts/test.sh configures it, which also
# builds the unit tests there), and the targets are (re)built. Targets run as
# many at a time as there are cores. The committed corpora (fuzz/corpus/<target>, a link
# to another target's where two targets read the same files) hold the seeds (seed-*),
# the inputs that once found a fault (regress-*) and the inputs earlier fuzzing merged
# in (named by their SHA-1). Fuzzing only reads them: new inputs go to
# BUILD_DIR/fuzz-work/<target>, crashing inputs to BUILD_DIR/fuzz-artifacts/<target>/
# and the output to BUILD_DIR/fuzz-logs/<target>.log.
#
# Environment: QEL_FUZZ_QUICK_BUDGET (seconds of fresh fuzzing in quick mode for all
# targets together, default 90), QEL_FUZZ_MAX_LEN (largest input, default the larger of
# 16 KiB and twice the largest seed or regression input), QEL_FUZZ_JOBS (targets at a
# time, default nproc), QEL_FUZZ_TARGETS (names of the targets to run, separated by
# blanks; default all), QEL_FUZZ_NO_BUILD (set: run the targets as they are built,
# without building), QEL_FUZZ_TIMEOUT (seconds one input may take, default 30: a picture
# of some ten million pixels, which the readers rightly accept from a small file, takes a
# few seconds under the sanitizers on a busy machine).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

usage() {
  echo "usage: $0 SECONDS|--quick|--merge [BUILD_DIR]" >&2
  exit 2
}
[[ $# -ge 1 && $# -le 2 ]] || usage
mode=$1
if [[ $mode != --quick && $mode != --merge && ! $mode =~ ^[0-9]+$ ]]; then usage; fi
build=${2:-$top/build-fuzz}
parallel=${QEL_FUZZ_JOBS:-$(nproc)}

# Configure and build.
if [[ ! -f $build/build.ninja ]]; then
  CC=clang CXX=clang++ cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQEL_FUZZ=ON -DQEL_SANITIZE=ON -DQEL_BUILD_TESTS=ON -DQEL_BUILD_GUI=OFF -DQEL_WERROR=ON >/dev/null
elif ! grep -q '^QEL_FUZZ:BOOL=ON' "$build/CMakeCache.txt"; then
  echo "$build is not a fuzzing build (configure it with -DQEL_FUZZ=ON and clang)" >&2
  exit 2
fi
[[ -n ${QEL_FUZZ_NO_BUILD:-} ]] || cmake --build "$build" --target qel_fuzzers -j "$parallel"

mapfile -t targets < <(grep -v '^$' "$build/fuzz/targets.txt")
if [[ -n ${QEL_FUZZ_TARGETS:-} ]]; then
  for name in $QEL_FUZZ_TARGETS; do
    grep -qx "$name" "$build/fuzz/targets.txt" || { echo "no fuzz target $name" >&2; exit 2; }
  done
  read -r -a targets <<<"$QEL_FUZZ_TARGETS"
fi
[[ ${#targets[@]} -gt 0 ]] || { echo "no fuzz targets" >&2; exit 2; }

logs=$build/fuzz-logs
mkdir -p "$logs"
for name in "${targets[@]}"; do rm -f "$logs/$name.log" "$logs/$name.failed"; done
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

# Sets the array options for one target: inputs up to twice its largest seed or regression
# input (at least 16 KiB). Merged inputs do not count, or each merge could raise the limit
# again.
target_options() {
  local seeds=$1 artifacts=$2 largest=0
  if [[ -d $seeds ]]; then
    largest=$(find -H "$seeds" -type f \( -name 'seed-*' -o -name 'regress-*' \) -printf '%s\n' |
      sort -n | tail -n 1)
  fi
  largest=${largest:-0}
  local max_len=${QEL_FUZZ_MAX_LEN:-$(( 2 * largest > 16384 ? 2 * largest : 16384 ))}
  options=(-max_len="$max_len" -timeout="${QEL_FUZZ_TIMEOUT:-30}" -rss_limit_mb=2048
    -artifact_prefix="$artifacts")
}

run_target() {
  local name=$1
  local binary=$build/fuzz/$name
  local seeds=$top/fuzz/corpus/$name
  local work=$build/fuzz-work/$name
  local artifacts=$build/fuzz-artifacts/$name/
  local log=$logs/$name.log options
  mkdir -p "$work" "$artifacts"
  target_options "$seeds" "$artifacts"

  # libFuzzer runs every input of both corpora once as it loads them (however short the
  # time), then fuzzes from them; the seeds are only read, new inputs go to work/.
  local corpora=("$work")
  [[ -d $seeds ]] && corpora+=("$seeds")
  if ! "$binary" "${options[@]}" -max_total_time="$seconds" -print_final_stats=1 "${corpora[@]}" >"$log" 2>&1; then
    touch "$logs/$name.failed"
  fi
}

merge_target() {
  local name=$1
  local seeds work=$build/fuzz-work/$name artifacts=$build/fuzz-artifacts/$name/ options before
  seeds=$(readlink -f "$top/fuzz/corpus/$name")
  [[ -d $work ]] || return 0
  mkdir -p "$seeds" "$artifacts"
  target_options "$seeds" "$artifacts"
  before=$(find "$seeds" -type f | wc -l)
  if "$build/fuzz/$name" "${options[@]}" -merge=1 "$seeds" "$work" >"$logs/$name.log" 2>&1; then
    echo "$name: $(( $(find "$seeds" -type f | wc -l) - before )) inputs added to ${seeds#"$top"/}"
  else
    echo "FAILED: $name (log: $logs/$name.log)"
    return 1
  fi
}

# Merging goes one target at a time: two targets may share a corpus folder.
if [[ $mode == --merge ]]; then
  failed=0
  for name in "${targets[@]}"; do merge_target "$name" || failed=1; done
  exit $failed
fi

if [[ $mode == --quick ]]; then
  budget=${QEL_FUZZ_QUICK_BUDGET:-90}
  seconds=$(( budget * parallel / ${#targets[@]} ))
  (( seconds >= 2 )) || seconds=2
else
  seconds=$mode
fi

echo "Fuzzing ${#targets[@]} targets for ${seconds}s each, $parallel at a time"
for name in "${targets[@]}"; do
  while (( $(jobs -rp | wc -l) >= parallel )); do wait -n || true; done
  run_target "$name" &
done
wait

failed=0
for name in "${targets[@]}"; do
  if [[ -f $logs/$name.failed ]]; then
    failed=1
    echo "FAILED: $name (log: $logs/$name.log, inputs: $build/fuzz-artifacts/$name/)"
    tail -n 40 "$logs/$name.log"
  else
    runs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$logs/$name.log" | tail -n 1 | awk '{print $2}')
    cov=$(grep -o 'cov: [0-9]*' "$logs/$name.log" | tail -n 1 | awk '{print $2}')
    echo "ok: $name (${runs:-?} runs, cov ${cov:-?})"
  fi
done
exit $failed
