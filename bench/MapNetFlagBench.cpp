// MapNetFlagBench.cpp - flag mapping on a grid of about a million edges,
// against a baseline run alongside it: growing every table once (what any
// mapping must pay) plus sorting the flag positions.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <set>
#include <utility>
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

// The flags as the baselines see them: (edge, position) pairs, and how many
// nodes and edges mapping them adds (a node per flag, a piece per flag plus
// one per flagged edge).
struct FlagWork {
  std::vector<std::pair<std::int32_t, double>> keys;
  std::int32_t nodAdd = 0;
  std::int32_t edgeAdd = 0;
};

FlagWork MakeFlagWork(const CSmartArray<NET_FLGstruct>& flags) {
  FlagWork work;
  std::set<std::int32_t> flagged;
  for (std::int32_t i = 0; i < flags.GetSize(); ++i) {
    work.keys.emplace_back(flags.GetAt(i).lElemID, flags.GetAt(i).dPos);
    flagged.insert(flags.GetAt(i).lElemID);
  }
  work.nodAdd = static_cast<std::int32_t>(work.keys.size());
  work.edgeAdd = work.nodAdd + static_cast<std::int32_t>(flagged.size());
  return work;
}

// Writes one byte pattern over entries [from, to) of a table.
template <class T>
void WriteEntries(T* table, std::int32_t from, std::int32_t to) {
  if (table != nullptr && to > from) {
    std::memset(static_cast<void*>(table + from), 1, static_cast<std::size_t>(to - from) * sizeof(T));
  }
}

// Every new node's and new piece's entry written once, in every table a
// mapping fills.
void WriteNewEntries(CLocalNetwork& net, std::int32_t nods, std::int32_t edges) {
  WriteEntries(net.m_pNodState, nods, net.m_lNodNum);
  WriteEntries(net.m_pNodConn, nods, net.m_lNodNum);
  WriteEntries(net.m_pNodWgt, nods, net.m_lNodNum);
  WriteEntries(net.m_pNodDmd, nods, net.m_lNodNum);
  WriteEntries(net.m_pEdgeNod, edges, net.m_lEdgeNum);
  WriteEntries(net.m_pUpEdgeState, edges, net.m_lEdgeNum);
  WriteEntries(net.m_pDownEdgeState, edges, net.m_lEdgeNum);
  WriteEntries(net.m_pEdgeDirect, edges, net.m_lEdgeNum);
  WriteEntries(net.m_pEdgeDmd, edges, net.m_lEdgeNum);
  WriteEntries(net.m_pEdgeWgt1, edges, net.m_lEdgeNum);
  WriteEntries(net.m_pEdgeWgt2, edges, net.m_lEdgeNum);
}

// Growth plus sort, and with writeAll what the call must write besides: every
// new entry of every table and one output flag per input flag.
void GrowAndSort(benchmark::State& state, bool writeAll) {
  const CLocalNetwork& grid = Grid();
  const CSmartArray<NET_FLGstruct> flags = RandomFlags(static_cast<std::int32_t>(state.range(0)), grid.m_lEdgeNum);
  const FlagWork work = MakeFlagWork(flags);
  CSmartArray<NET_FLGstruct> out;
  for (auto _ : state) {
    state.PauseTiming();
    auto net = std::make_unique<CLocalNetwork>(grid);
    std::vector<std::pair<std::int32_t, double>> sorted = work.keys;
    state.ResumeTiming();
    benchmark::DoNotOptimize(CNetworkAccess::AppendElemS(*net, work.nodAdd, work.edgeAdd));
    std::sort(sorted.begin(), sorted.end());
    benchmark::DoNotOptimize(sorted.data());
    if (writeAll) {
      WriteNewEntries(*net, grid.m_lNodNum, grid.m_lEdgeNum);
      out.RemoveAll();
      NET_FLGstruct* dst = out.ReserveBack(flags.GetSize());
      std::memset(static_cast<void*>(dst), 0, static_cast<std::size_t>(flags.GetSize()) * sizeof(NET_FLGstruct));
      out.CommitBack(flags.GetSize());
      benchmark::DoNotOptimize(out.GetPtr(0));
    }
    state.PauseTiming();
    net.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// What no mapping can avoid: every table grown once for the new elements, and
// the flags put in order by edge and position.
void BM_GrowAndSortBaseline(benchmark::State& state) { GrowAndSort(state, false); }

// The same, with the writes the tables and the output record impose: no
// mapping can take less, whatever it does between.
void BM_GrowSortWriteFloor(benchmark::State& state) { GrowAndSort(state, true); }

// The three cases of one flag count run one after the other, so that the heap
// each meets has been shaped by blocks of the same sizes: the tables grown
// come from freed memory or fresh pages depending on what ran just before.
void RegisterAll() {
  for (std::int64_t count : {1000, 100000, 1000000}) {
    benchmark::RegisterBenchmark("BM_MapNetFlag", BM_MapNetFlag)->Arg(count)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_GrowAndSortBaseline", BM_GrowAndSortBaseline)
        ->Arg(count)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_GrowSortWriteFloor", BM_GrowSortWriteFloor)->Arg(count)->Unit(benchmark::kMillisecond);
  }
}

[[maybe_unused]] const int registered = (RegisterAll(), 0);

}  // namespace
