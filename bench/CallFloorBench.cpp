// CallFloorBench.cpp - the cost of one call into the shared library that does
// almost nothing (asking for a mark while no trace is open), against the same
// question answered inline by the host. A traversal through the public calls
// makes one call per node and three or four per edge it lists, so this floor
// times the number of calls bounds what any layout of the tables can reach.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "kelvane/LocalNetwork.h"

namespace {

constexpr std::int32_t kCalls = 1 << 16;

void BM_ExportedCallFloor(benchmark::State& state) {
  CLocalNetwork net;  // no trace open: every ask returns at once
  std::int64_t sum = 0;
  for (auto _ : state) {
    for (std::int32_t i = 0; i < kCalls; ++i) sum += net.AskNodHasTrace(i);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kCalls);
}
BENCHMARK(BM_ExportedCallFloor);

void BM_InlineAskBaseline(benchmark::State& state) {
  unsigned char visited[256] = {};
  std::int64_t sum = 0;
  for (auto _ : state) {
    for (std::int32_t i = 0; i < kCalls; ++i) sum += visited[i & 255];
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kCalls);
}
BENCHMARK(BM_InlineAskBaseline);

}  // namespace
