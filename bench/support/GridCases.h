// GridCases.h - the run plan the network benchmarks share: the street grids
// they run on (side 1000 and 100, each numbered row-major and permuted), each
// grid's networks built once the first time a benchmark asks for them, and
// the registration of one benchmark on one grid.
#ifndef KELVANE_BENCH_SUPPORT_GRIDCASES_H
#define KELVANE_BENCH_SUPPORT_GRIDCASES_H

#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace kelvane_bench {

// The networks of the grid a benchmark runs on (its arguments: side,
// numbering), built by Networks(side, permuted) on first use and kept for the
// rest of the run. Thread-safe, so a benchmark run from several threads may
// ask from each.
template <class Networks>
Networks& NetworksFor(const benchmark::State& state) {
  static std::mutex lock;
  static std::map<std::pair<std::int64_t, std::int64_t>, std::unique_ptr<Networks>> cache;
  const std::lock_guard<std::mutex> hold(lock);
  std::unique_ptr<Networks>& slot = cache[{state.range(0), state.range(1)}];
  if (!slot) slot.reset(new Networks(static_cast<std::int32_t>(state.range(0)), state.range(1) != 0));
  return *slot;
}

// Calls add(args, unit) once per grid, in the order the grids run: every form
// over one network before the next network, so the figures of one network
// come from the same stretch of the run.
template <class Add>
void ForEachGrid(Add add) {
  const std::int64_t sides[] = {1000, 100};
  for (std::int64_t side : sides) {
    for (std::int64_t permuted = 0; permuted <= 1; ++permuted) {
      const std::vector<std::int64_t> args = {side, permuted};
      const benchmark::TimeUnit unit = side >= 1000 ? benchmark::kMillisecond : benchmark::kMicrosecond;
      add(args, unit);
    }
  }
}

// Registers one benchmark on one grid, named name/side:N/permuted:P.
inline auto* RegisterOnGrid(const char* name, void (*fn)(benchmark::State&), const std::vector<std::int64_t>& args,
                            benchmark::TimeUnit unit) {
  return benchmark::RegisterBenchmark(name, fn)->Args(args)->ArgNames({"side", "permuted"})->Unit(unit);
}

}  // namespace kelvane_bench

#endif  // KELVANE_BENCH_SUPPORT_GRIDCASES_H
