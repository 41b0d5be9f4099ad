// ViewBuildBench.cpp - building the view on street grids of 10,000 to
// 4,000,000 nodes, row-major and permuted, so that the slope of log time over
// log nodes can be read from one run (it should stay near 1: the build is one
// pass over the tables). The counter ns_per_node is the figure to compare
// across sizes; page_faults the minor faults one build takes.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdint>
#include <map>
#include <memory>
#include <utility>

#include "kelvane/LocalNetwork.h"
#include "kelvane/tools/NetworkView.h"
#include "support/GridNetwork.h"

using namespace kelvane::tools;

namespace {

using kelvane_bench::Abort;

struct Grid {
  CLocalNetwork net;
  Grid(std::int32_t side, bool permuted) {
    const kelvane_bench::RoadGraph g = kelvane_bench::MakeStreetGrid(side, 0.05, permuted);
    const kelvane_bench::ConnLists lists = kelvane_bench::MakeConnLists(g);
    kelvane_bench::FillNetwork(g, lists, net);
  }
};

// One grid at a time: the 4,000,000-node network alone takes about 0.5 GB.
Grid& GridFor(const benchmark::State& state) {
  static std::unique_ptr<Grid> grid;
  static std::pair<std::int64_t, std::int64_t> key{0, 0};
  const std::pair<std::int64_t, std::int64_t> want{state.range(0), state.range(1)};
  if (!grid || key != want) {
    grid.reset();
    grid.reset(new Grid(static_cast<std::int32_t>(want.first), want.second != 0));
    key = want;
  }
  return *grid;
}

long MinorFaults() {
  rusage use{};
  getrusage(RUSAGE_SELF, &use);
  return use.ru_minflt;
}

void BM_ViewBuildBySize(benchmark::State& state) {
  Grid& grid = GridFor(state);
  {
    CNetworkView warm;  // the first build pays for the allocator's first growth
    if (warm.Build(grid.net) != 1) Abort("CNetworkView::Build");
  }
  const long faults0 = MinorFaults();
  for (auto _ : state) {
    CNetworkView view;
    if (view.Build(grid.net) != 1) Abort("CNetworkView::Build");
    benchmark::DoNotOptimize(view.StepFirst());
  }
  const double iters = static_cast<double>(state.iterations());
  state.counters["nodes"] = grid.net.m_lNodNum;
  state.counters["page_faults"] = static_cast<double>(MinorFaults() - faults0) / iters;
  state.counters["ns_per_node"] = benchmark::Counter(
      static_cast<double>(grid.net.m_lNodNum), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

const bool kRegistered = [] {
  const std::int64_t sides[] = {100, 316, 1000, 2000};
  for (std::int64_t permuted = 0; permuted <= 1; ++permuted) {
    for (std::int64_t side : sides) {
      benchmark::RegisterBenchmark("BM_ViewBuildBySize", BM_ViewBuildBySize)
          ->Args({side, permuted})
          ->ArgNames({"side", "permuted"})
          ->Unit(benchmark::kMillisecond);
    }
  }
  return true;
}();

}  // namespace
