// The builder against a host filling the same tables by hand, on one street
// grid of about 1,000,000 edges held in memory, in the same run. Both make the
// whole network (end nodes, one connection list per node, one weight column,
// demand) and destroy it again; the builder also copies what the host adds.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "kelvane/tools/NetworkBuilder.h"

using namespace kelvane::tools;

namespace {

constexpr std::int32_t kSide = 708;  // 708 x 708 nodes: 1,001,112 edges

// The host's own data: a grid with edges right and down, a length and a
// demand for each.
struct HostData {
  HostData() {
    for (std::int32_t r = 0; r < kSide; ++r) {
      for (std::int32_t c = 0; c < kSide; ++c) {
        const std::int32_t v = r * kSide + c + 1;
        if (c + 1 < kSide) Add(v, v + 1);
        if (r + 1 < kSide) Add(v, v + kSide);
      }
    }
  }
  void Add(std::int32_t from, std::int32_t to) {
    ends.push_back(NEdgeNod_stru{from, to});
    lengths.push_back(10.0 + static_cast<double>(ends.size() % 90));
    demand.push_back(static_cast<double>(ends.size() % 7));
  }
  std::int32_t Nods() const { return kSide * kSide; }
  std::int32_t Edges() const { return static_cast<std::int32_t>(ends.size()); }

  std::vector<NEdgeNod_stru> ends;
  std::vector<double> lengths;
  std::vector<double> demand;
};

const HostData& Data() {
  static const HostData data;
  return data;
}

// What a careful host writes without the toolkit: count each node's
// connections, give each node its list, then fill every table.
void FillByHand(const HostData& d, CLocalNetwork& net) {
  const std::int32_t n = d.Nods();
  const std::int32_t m = d.Edges();
  net.m_lNodNum = n;
  net.m_lEdgeNum = m;
  net.m_lNodWgtFld = -1;
  net.m_lEdgeWgtFld1 = 0;
  net.m_lEdgeWgtFld2 = -1;
  net.m_cDmdFld = 0;
  net.m_lTurnWgtFlag = 0;
  net.m_lReserve = 0;
  net.m_cEdgeDirectMode = 0;
  if (net.ReallocMemory() != 1) return;
  std::vector<std::int16_t> counts(static_cast<std::size_t>(n), 0);
  for (const NEdgeNod_stru& e : d.ends) {
    ++counts[static_cast<std::size_t>(e.lFromNod) - 1];
    ++counts[static_cast<std::size_t>(e.lToNod) - 1];
  }
  for (std::int32_t v = 1; v <= n; ++v) {
    net.ReallocNodConnEdgeMemory(v, counts[static_cast<std::size_t>(v) - 1]);
    counts[static_cast<std::size_t>(v) - 1] = 0;
  }
  for (std::int32_t e = 1; e <= m; ++e) {
    const NEdgeNod_stru& ends = d.ends[static_cast<std::size_t>(e) - 1];
    net.m_pEdgeNod[e - 1] = ends;
    NNodConn_stru& to = net.m_pNodConn[ends.lToNod - 1];
    to.pConnEdge[counts[static_cast<std::size_t>(ends.lToNod) - 1]++] = e;
    NNodConn_stru& from = net.m_pNodConn[ends.lFromNod - 1];
    from.pConnEdge[counts[static_cast<std::size_t>(ends.lFromNod) - 1]++] = -e;
    net.m_pEdgeWgt1[e - 1].cType = 4;
    net.m_pEdgeWgt1[e - 1].dVal = d.lengths[static_cast<std::size_t>(e) - 1];
    net.m_pEdgeDmd[e - 1] = d.demand[static_cast<std::size_t>(e) - 1];
  }
}

void BM_FillByHand(benchmark::State& state) {
  const HostData& d = Data();
  for (auto _ : state) {
    CLocalNetwork net;
    FillByHand(d, net);
    benchmark::DoNotOptimize(net.m_pNodConn);
  }
  state.SetItemsProcessed(state.iterations() * d.Edges());
}

// What a host hands the builder: every edge with its length and demand.
void AddHostData(CNetworkBuilder& b, const HostData& d) {
  b.Reserve(d.Edges());
  b.SetNodNum(d.Nods());
  b.SetEdgeWgtFld1(0);
  b.SetDmdFld(0);
  NWeightVal_stru w;
  w.cType = 4;
  for (std::size_t i = 0; i < d.ends.size(); ++i) {
    const std::int32_t e = b.AddEdge(d.ends[i].lFromNod, d.ends[i].lToNod);
    w.dVal = d.lengths[i];
    b.SetEdgeWgt1(e, w);
    b.SetEdgeDmd(e, d.demand[i]);
  }
}

void BM_NetworkBuilder(benchmark::State& state) {
  const HostData& d = Data();
  for (auto _ : state) {
    CNetworkBuilder b;
    AddHostData(b, d);
    CLocalNetwork net;
    if (b.Build(net) != 1) state.SkipWithError("build failed");
    benchmark::DoNotOptimize(net.m_pNodConn);
  }
  state.SetItemsProcessed(state.iterations() * d.Edges());
}

// Build alone, from a builder the host filled beforehand.
void BM_NetworkBuilderBuildOnly(benchmark::State& state) {
  const HostData& d = Data();
  CNetworkBuilder b;
  AddHostData(b, d);
  for (auto _ : state) {
    CLocalNetwork net;
    if (b.Build(net) != 1) state.SkipWithError("build failed");
    benchmark::DoNotOptimize(net.m_pNodConn);
  }
  state.SetItemsProcessed(state.iterations() * d.Edges());
}

}  // namespace

BENCHMARK(BM_FillByHand)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NetworkBuilder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NetworkBuilderBuildOnly)->Unit(benchmark::kMillisecond);
