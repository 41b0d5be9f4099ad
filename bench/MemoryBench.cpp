// MemoryBench.cpp - what the filled 1,000,000-node grid network costs in
// resident memory, against the bytes its tables hold as entries. The ratio
// shows the price of headers, allocator chunks and one list allocation per
// node. Time is not the figure here; the counters are.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cstddef>
#include <cstdint>

#include "kelvane/LocalNetwork.h"
#include "support/GridNetwork.h"

namespace {

void BM_ResidentFilledGrid(benchmark::State& state) {
  const std::int32_t side = static_cast<std::int32_t>(state.range(0));
  const kelvane_bench::RoadGraph graph = kelvane_bench::MakeStreetGrid(side, 0.05, state.range(1) != 0);
  const kelvane_bench::ConnLists lists = kelvane_bench::MakeConnLists(graph);
  double resident = 0, tables = 0, heap = 0;
  for (auto _ : state) {
    // Hand freed pages back first, so that the delta is this network's alone
    // and not memory an earlier repetition left with the allocator.
    malloc_trim(0);
    const std::size_t before = kelvane_bench::ResidentBytes();
    const std::size_t heapBefore = mallinfo2().uordblks + mallinfo2().hblkhd;
    CLocalNetwork* net = new CLocalNetwork;
    kelvane_bench::FillNetwork(graph, lists, *net);
    resident = static_cast<double>(kelvane_bench::ResidentBytes() - before);
    heap = static_cast<double>(mallinfo2().uordblks + mallinfo2().hblkhd - heapBefore);
    tables = static_cast<double>(kelvane_bench::TableBytes(*net));
    delete net;
  }
  state.counters["resident_bytes"] = resident;
  state.counters["malloc_bytes"] = heap;
  state.counters["table_bytes"] = tables;
  state.counters["resident_per_table"] = resident / tables;
  // A CSR copy (offsets and both ends of every edge) for scale.
  state.counters["csr_bytes"] =
      static_cast<double>((lists.first.size()) * sizeof(std::uint32_t) + lists.entry.size() * sizeof(std::int32_t));
}

BENCHMARK(BM_ResidentFilledGrid)
    ->Args({1000, 0})
    ->Args({1000, 1})
    ->ArgNames({"side", "permuted"})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
