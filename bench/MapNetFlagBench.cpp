// MapNetFlagBench.cpp - flag mapping on a grid of about a million edges,
// against a baseline run alongside it: growing every table once (what any
// mapping must pay) plus sorting the flag positions.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <cstdint>
#include <memory>
#include <random>
#include <set>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "network/NetworkInt.h"

namespace {

constexpr std::int32_t kSide = 708;  // 708 x 708 nodes: 1,001,112 edges

// A grid filled as a host fills it: counts, ReallocMemory, a list per node,
// then end nodes, weights, demand and directions written into the tables.
const CLocalNetwork& Grid() {
  static const CLocalNetwork* grid = [] {
    auto* net = new CLocalNetwork;
    const std::int32_t nods = kSide * kSide;
    const std::int32_t edges = 2 * kSide * (kSide - 1);
    net->m_lNodNum = nods;
    net->m_lEdgeNum = edges;
    net->m_lNodWgtFld = 0;
    net->m_lEdgeWgtFld1 = 1;
    net->m_lEdgeWgtFld2 = 2;
    net->m_cDmdFld = 0;
    net->m_lTurnWgtFlag = 0;
    net->m_lReserve = 0;
    net->m_cEdgeDirectMode = 1;
    if (net->ReallocMemory() != 1) std::abort();
    std::vector<std::vector<std::int32_t>> conn(static_cast<std::size_t>(nods));
    std::int32_t e = 0;
    auto addEdge = [&](std::int32_t from, std::int32_t to) {
      ++e;
      net->m_pEdgeNod[e - 1] = NEdgeNod_stru{from, to};
      net->m_pEdgeWgt1[e - 1].cType = 4;
      net->m_pEdgeWgt1[e - 1].dVal = 10.0;
      net->m_pEdgeWgt2[e - 1].cType = 4;
      net->m_pEdgeWgt2[e - 1].dVal = 20.0;
      net->m_pEdgeDmd[e - 1] = 1.0;
      net->m_pEdgeDirect[e - 1] = 1;
      conn[static_cast<std::size_t>(from - 1)].push_back(-e);
      conn[static_cast<std::size_t>(to - 1)].push_back(e);
    };
    for (std::int32_t r = 0; r < kSide; ++r) {
      for (std::int32_t c = 0; c < kSide; ++c) {
        const std::int32_t n = r * kSide + c + 1;
        if (c + 1 < kSide) addEdge(n, n + 1);
        if (r + 1 < kSide) addEdge(n, n + kSide);
      }
    }
    for (std::int32_t n = 1; n <= nods; ++n) {
      const auto& list = conn[static_cast<std::size_t>(n - 1)];
      net->ReallocNodConnEdgeMemory(n, static_cast<std::int16_t>(list.size()));
      std::copy(list.begin(), list.end(), net->m_pNodConn[n - 1].pConnEdge);
    }
    return net;
  }();
  return *grid;
}

// count flags on random edges at random positions, a few of them equal.
CSmartArray<NET_FLGstruct> RandomFlags(std::int32_t count, std::int32_t edges) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<std::int32_t> edge(1, edges);
  std::uniform_int_distribution<int> pos(0, 1000);
  CSmartArray<NET_FLGstruct> flags;
  for (std::int32_t i = 0; i < count; ++i) {
    NET_FLGstruct f;
    f.cFlgType = 2;
    f.lElemID = edge(rng);
    f.dPos = pos(rng) / 1000.0;
    flags.Add(f);
  }
  return flags;
}

void BM_MapNetFlag(benchmark::State& state) {
  const CLocalNetwork& grid = Grid();
  const CSmartArray<NET_FLGstruct> flags = RandomFlags(static_cast<std::int32_t>(state.range(0)), grid.m_lEdgeNum);
  CSmartArray<NET_FLGstruct> out;
  CSmartArray<TEMPEDGE_MAP_EDGE> temps;
  CSmartArray<std::int32_t> nods;
  for (auto _ : state) {
    state.PauseTiming();
    auto net = std::make_unique<CLocalNetwork>(grid);
    state.ResumeTiming();
    benchmark::DoNotOptimize(net->MapNetFlag(flags, out, temps, nods));
    state.PauseTiming();
    net.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// What no mapping can avoid: every table grown once for the new elements, and
// the positions put in order.
void BM_GrowAndSortBaseline(benchmark::State& state) {
  const CLocalNetwork& grid = Grid();
  const CSmartArray<NET_FLGstruct> flags = RandomFlags(static_cast<std::int32_t>(state.range(0)), grid.m_lEdgeNum);
  std::vector<double> positions;
  std::set<std::int32_t> flagged;
  for (std::int32_t i = 0; i < flags.GetSize(); ++i) {
    positions.push_back(flags.GetAt(i).dPos);
    flagged.insert(flags.GetAt(i).lElemID);
  }
  const auto nodAdd = static_cast<std::int32_t>(positions.size());
  const auto edgeAdd = nodAdd + static_cast<std::int32_t>(flagged.size());
  for (auto _ : state) {
    state.PauseTiming();
    auto net = std::make_unique<CLocalNetwork>(grid);
    std::vector<double> sorted = positions;
    state.ResumeTiming();
    benchmark::DoNotOptimize(CNetworkAccess::AppendElemS(*net, nodAdd, edgeAdd));
    std::sort(sorted.begin(), sorted.end());
    benchmark::DoNotOptimize(sorted.data());
    state.PauseTiming();
    net.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_MapNetFlag)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GrowAndSortBaseline)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace
