// ProgressBench.cpp - what polling a host's progress callback costs a long
// analysis: costs from one node over a 1,000,000-node street grid, without a
// callback and with one that never stops. The two run interleaved in one
// process; tools/bench_ratios.py reads their ratio. The poll must stay under
// 1% of the search.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "kelvane/tools/NetworkView.h"
#include "kelvane/tools/Progress.h"
#include "kelvane/tools/ShortestPath.h"
#include "support/GridNetwork.h"

using namespace kelvane::tools;

namespace {

struct NGrid {
  NGrid() {
    const kelvane_bench::RoadGraph g = kelvane_bench::MakeStreetGrid(1000, 0.05, true);
    kelvane_bench::FillNetwork(g, kelvane_bench::MakeConnLists(g), net);
    source = g.source;
    NFinding_stru err;
    if (view.Build(net, NViewOptions_stru(), &err) != 1) kelvane_bench::Abort(err.strText.c_str());
  }
  CLocalNetwork net;
  CNetworkView view;
  std::int32_t source = 0;
};

NGrid& Grid() {
  static NGrid grid;
  return grid;
}

bool NeverStop(void* pUser, double dDone) {
  benchmark::DoNotOptimize(dDone);
  ++*static_cast<std::int64_t*>(pUser);
  return true;
}

void Run(benchmark::State& state, bool bPoll) {
  NGrid& g = Grid();
  std::int64_t polls = 0;
  NProgress_stru progress;
  progress.pfnPoll = NeverStop;
  progress.pUser = &polls;
  std::vector<double> costs;
  for (auto _ : state) {
    if (FindCostsFrom(g.view, g.source, NRouteOptions_stru(), costs, nullptr, bPoll ? &progress : nullptr) != 1) {
      kelvane_bench::Abort("FindCostsFrom");
    }
    benchmark::DoNotOptimize(costs.data());
  }
  state.counters["polls"] = static_cast<double>(polls) / static_cast<double>(state.iterations());
}

void BM_CostsFromNoProgress(benchmark::State& state) { Run(state, false); }
void BM_CostsFromProgressNeverStops(benchmark::State& state) { Run(state, true); }

}  // namespace

BENCHMARK(BM_CostsFromNoProgress)->Unit(benchmark::kMillisecond)->Repetitions(7);
BENCHMARK(BM_CostsFromProgressNeverStops)->Unit(benchmark::kMillisecond)->Repetitions(7);
