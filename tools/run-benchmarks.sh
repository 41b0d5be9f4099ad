#!/bin/sh
# Runs every benchmark program of the bench preset's build and prints the table
# of ratios (library over baseline, medians of five repetitions, one run).
# Usage: tools/run-benchmarks.sh [build-dir]   (default build/bench)
set -eu
build=${1:-build/bench}
bin=$build/bench
out=$build/bench-results
[ -d "$bin" ] || { echo "no $bin: run 'cmake --workflow --preset bench' first" >&2; exit 1; }
mkdir -p "$out"
rm -f "$out"/*.json
for program in TraversalBench TraversalBenchGen1 AnalysisBench RouteBench MapNetFlagBench MapNetFlagBenchGen1 ReallocBench ReallocBenchGen1 \
               MemoryBench MemoryBenchGen1 TraceBench SmartArrayBench BuilderBench CallFloorBench; do
  # A program whose sources are not on this branch yet is left out, not fatal.
  [ -x "$bin/$program" ] || { echo "skipping $program: not built" >&2; continue; }
  echo "running $program" >&2
  "$bin/$program" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
                  --benchmark_out="$out/$program.json" --benchmark_out_format=json >"$out/$program.txt"
done
python3 "$(dirname "$0")/bench_ratios.py" "$out"
