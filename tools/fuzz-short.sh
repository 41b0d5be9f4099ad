#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang in a given directory and runs each
# for a bounded time from the seed corpus in fuzz/corpus/. Exits non-zero when
# a harness fails to build or finds a crash, leak or broken invariant (the
# input is left in <build-dir>/fuzz-artifacts/<harness>/).
#
# Usage: tools/fuzz-short.sh <build-dir> [seconds-per-harness, default 60]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:?usage: tools/fuzz-short.sh <build-dir> [seconds]}
seconds=${2:-60}

cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DKELVANE_BUILD_FUZZERS=ON -DKELVANE_BUILD_TESTS=OFF -DKELVANE_BUILD_BENCHMARKS=OFF > "$build.configure.log" 2>&1 ||
  { cat "$build.configure.log"; exit 2; }
harnesses=(network_current network_gen1 analysis_current analysis_gen1 smartarray)
cmake --build "$build" -j2 --target "${harnesses[@]/#/kelvane_fuzz_}"

# Runs harness $1 and writes what it says into $build/fuzz-$1.summary; its
# status is the harness's.
run_one() {
  local h=$1 rc=0
  local seeds="$root/fuzz/corpus/${h%%_*}"
  # The fuzzer adds what it finds to its corpus: work on a scratch copy.
  local work="$build/fuzz-work/$h"
  local artifacts="$build/fuzz-artifacts/$h/"
  rm -rf "$work" "$artifacts"
  mkdir -p "$work" "$artifacts"
  cp "$seeds"/* "$work"/
  {
    echo "== $h: ${seconds}s"
    "$build/fuzz/kelvane_fuzz_$h" "$work" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$artifacts" > "$build/fuzz-$h.log" 2>&1 || rc=$?
    if [ "$rc" -ne 0 ]; then
      tail -n 60 "$build/fuzz-$h.log"
      echo "$h: FAILED, reproducer in $artifacts"
    fi
    grep -E '^stat::(number_of_executed_units|new_units_added|peak_rss_mb)' "$build/fuzz-$h.log" || true
    echo "$h: corpus $(find "$work" -type f | wc -l) inputs"
  } > "$build/fuzz-$h.summary"
  return "$rc"
}

# Two harnesses at a time, one a core; each summary printed as it ends.
status=0
pids=()
names=()
finish() {
  if ! wait "${pids[0]}"; then status=1; fi
  cat "$build/fuzz-${names[0]}.summary"
  pids=("${pids[@]:1}")
  names=("${names[@]:1}")
}
for h in "${harnesses[@]}"; do
  if [ "${#pids[@]}" -ge 2 ]; then finish; fi
  run_one "$h" &
  pids+=("$!")
  names+=("$h")
done
while [ "${#pids[@]}" -gt 0 ]; do finish; done
if [ "$status" -ne 0 ]; then echo "fuzzers: a harness failed, see above" >&2; fi
exit "$status"
