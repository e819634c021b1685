#!/usr/bin/env bash
# Builds the fuzz targets with clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs them.
#   fuzz/run.sh TARGET SECONDS    one target for that long
#   fuzz/run.sh all SECONDS       every target in turn, each for that long
#   fuzz/run.sh list              the targets
# A run starts from the committed seeds (fuzz/corpus/TARGET) and keeps what it
# learns in build-fuzz/corpus/TARGET; the input of a crash is left in
# build-fuzz/crashes/TARGET/ and the fuzzer's output in build-fuzz/logs/TARGET.log.
# A found crash ends the run of its target. To keep an input as a regression
# test, copy it into fuzz/corpus/TARGET/.
# Environment: TRK_FUZZ_BUILD (build folder, default build-fuzz),
# TRK_FUZZ_JOBS (build jobs, default 2).
set -euo pipefail
cd "$(dirname "$0")/.."

usage() { echo "usage: fuzz/run.sh TARGET|all SECONDS | list" >&2; exit 2; }
targets=$(cd fuzz/corpus && ls -d */ | tr -d /)
[ "${1:-}" = list ] && { echo "$targets"; exit 0; }
[ $# -eq 2 ] || usage
[[ $2 =~ ^[0-9]+$ ]] || usage
seconds=$2
if [ "$1" = all ]; then
  selected=$targets
else
  echo "$targets" | grep -qx -- "$1" || { echo "no fuzz target '$1' (fuzz/run.sh list)" >&2; exit 2; }
  selected=$1
fi

command -v clang++ >/dev/null || {
  echo "fuzz/run.sh needs clang with libFuzzer (Debian: apt-get install clang libclang-rt-14-dev)" >&2
  exit 2
}
build=${TRK_FUZZ_BUILD:-build-fuzz}
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
cmake -S . -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTRK_FUZZ=ON -DTRK_BUILD_TESTS=OFF -DTRK_BUILD_BENCH=OFF \
  -DTRK_BUILD_TOOL=OFF "-DCMAKE_C_FLAGS=$flags" "-DCMAKE_CXX_FLAGS=$flags" \
  "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined" >/dev/null
fuzzers=$(for t in $selected; do echo "${t}_fuzzer"; done)
# shellcheck disable=SC2086
cmake --build "$build" -j "${TRK_FUZZ_JOBS:-2}" --target $fuzzers

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
printf '%-18s %12s %8s %10s %8s %8s\n' target executions seconds "execs/s" crashes corpus
for t in $selected; do
  mkdir -p "$build/corpus/$t" "$build/crashes/$t" "$build/logs"
  log="$build/logs/$t.log"
  before=$(ls "$build/crashes/$t" | wc -l)
  # The targets write their files in a folder of their own, in memory where there is /dev/shm.
  scratch=$(mktemp -d "$( [ -w /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}")/trk7700-fuzz-run.XXXXXX")
  status=0
  started=$SECONDS
  TMPDIR=$scratch "$build/bin/${t}_fuzzer" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$build/crashes/$t/" "$build/corpus/$t" "fuzz/corpus/$t" >"$log" 2>&1 || status=$?
  elapsed=$(( SECONDS - started ))
  rm -rf "$scratch"
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  crashes=$(( $(ls "$build/crashes/$t" | wc -l) - before ))
  corpus=$(( $(ls "$build/corpus/$t" | wc -l) + $(ls "fuzz/corpus/$t" | wc -l) ))
  printf '%-18s %12s %8s %10s %8s %8s\n' "$t" "${executions:-?}" "$elapsed" "${rate:-?}" "$crashes" "$corpus"
  if [ "$status" -ne 0 ] && [ "$crashes" -eq 0 ]; then
    echo "  $t ended with status $status without a crash file; see $log" >&2
  elif [ "$crashes" -gt 0 ]; then
    echo "  crash inputs in $build/crashes/$t/, output in $log" >&2
  fi
done
