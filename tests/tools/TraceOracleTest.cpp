// Traces, components and isolation on the view against Boost Graph's
// searches over the ways the connectivity queries answer, on random networks.
#include <gtest/gtest.h>

#include <boost/graph/connected_components.hpp>
#include <boost/graph/strong_components.hpp>
#include <cmath>
#include <cstdint>
#include <map>
#include <random>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "kelvane/tools/Components.h"
#include "kelvane/tools/Isolation.h"
#include "kelvane/tools/NetworkView.h"
#include "kelvane/tools/TraceAnalysis.h"
#include "tools/RandomNetwork.h"

using namespace kelvane::tools;

namespace {

using oracle::Arc;

std::vector<std::int32_t> Fetched(const CSmartArray<std::int32_t>& list) {
  std::vector<std::int32_t> v;
  for (std::int32_t i = 0; i < list.GetSize(); ++i) v.push_back(list.GetAt(i));
  return v;
}

std::vector<std::int32_t> Complement(std::int32_t n, const std::vector<std::int32_t>& in) {
  const std::vector<char> b = oracle::Bits(n, in);
  std::vector<std::int32_t> out;
  for (std::int32_t x = 1; x <= n; ++x) {
    if (b[x] == 0) out.push_back(x);
  }
  return out;
}

}  // namespace

TEST(TraceOracleTest, TracesReachWhatBreadthFirstSearchReachesAndMarkIt) {
  std::mt19937 rng(3);
  for (int round = 0; round < 240; ++round) {
    oracle::RandomNet r;
    r.Make(rng, oracle::Shape());
    if (HasFatalFailure()) return;
    const std::vector<Arc> arcs = oracle::Ways(r.net);
    r.Close();
    CNetworkView view;
    ASSERT_EQ(view.Build(r.net), 1);
    NTraceQuery_stru q;
    q.eKind = static_cast<NTraceKind>(round % 3);
    q.starts = r.flagNods;
    if (round % 2 == 0) q.starts.push_back(std::uniform_int_distribution<std::int32_t>(1, r.nods)(rng));
    q.barriers.nods = oracle::Pick(rng, r.nods, round % 4);
    q.barriers.edges = oracle::Pick(rng, r.edges, round % 3);
    if (!q.barriers.edges.empty()) q.barriers.edges[0] = -q.barriers.edges[0];  // either sign
    q.stops.nods = oracle::Pick(rng, r.nods, (round / 3) % 3);
    q.stops.edges = oracle::Pick(rng, r.edges, (round / 2) % 3);
    const NTraceResult_stru want =
        oracle::BfsTrace(r.nods, r.edges, arcs, r.closed, q.eKind, q.starts, q.barriers, q.stops);
    NTraceResult_stru got;
    NFinding_stru err;
    ASSERT_EQ(TraceNetwork(view, q, got, &err), 1) << err.strText;
    SCOPED_TRACE(testing::Message() << "round " << round << ", kind " << static_cast<int>(q.eKind));
    ASSERT_EQ(got.nods, want.nods);
    ASSERT_EQ(got.edges, want.edges);
    // The marks answer as if the host had traced.
    ASSERT_EQ(WriteTraceMarks(r.net, view, got, &err), 1) << err.strText;
    CSmartArray<std::int32_t> nods;
    CSmartArray<std::int32_t> edges;
    ASSERT_EQ(r.net.FetchTraceResult(nods, edges), 1);
    EXPECT_EQ(Fetched(nods), got.nods);
    EXPECT_EQ(Fetched(edges), got.edges);
    ASSERT_EQ(r.net.FetchNotTraceResult(nods, edges), 1);
    EXPECT_EQ(Fetched(nods), Complement(r.nods, got.nods));
    EXPECT_EQ(Fetched(edges), Complement(r.edges, got.edges));
  }
}

// The partition one numbering gives equals the other's: the same nodes
// together, each component its own number.
void ExpectSamePartition(const std::vector<std::int32_t>& got, const std::vector<int>& want,
                         const std::vector<char>& inside) {
  std::map<std::int32_t, int> g2w;
  std::map<int, std::int32_t> w2g;
  for (std::size_t v = 1; v < want.size(); ++v) {
    if (inside[v] == 0) {
      EXPECT_EQ(got[v - 1], 0) << "node " << v << " is closed or a barrier";
      continue;
    }
    ASSERT_GT(got[v - 1], 0) << "node " << v;
    auto a = g2w.emplace(got[v - 1], want[v]);
    auto b = w2g.emplace(want[v], got[v - 1]);
    ASSERT_EQ(a.first->second, want[v]) << "node " << v << " joined to a component it is not in";
    ASSERT_EQ(b.first->second, got[v - 1]) << "node " << v << " split from its component";
  }
}

// Every fourth pair of rounds follows the costs: the oracle then keeps only
// the ways whose cost is a way (negative, infinite and type-0 costs are not).
TEST(TraceOracleTest, ComponentsPartitionAsBoostGraphDoesByStatesOrByCosts) {
  typedef boost::adjacency_list<boost::vecS, boost::vecS, boost::undirectedS> Undirected;
  typedef boost::adjacency_list<boost::vecS, boost::vecS, boost::directedS> Directed;
  std::mt19937 rng(5);
  for (int round = 0; round < 200; ++round) {
    oracle::RandomNet r;
    r.Make(rng, oracle::Shape());
    if (HasFatalFailure()) return;
    const bool byCost = round % 4 >= 2;
    std::vector<Arc> arcs;
    std::vector<char> usable(static_cast<std::size_t>(r.edges) + 1, 0);  // in some way, by cost when asked
    for (const Arc& a : oracle::Ways(r.net)) {
      if (byCost && std::isinf(oracle::WayCost(r.net, a.edge, a.along))) continue;
      arcs.push_back(a);
      usable[a.edge] = 1;
    }
    r.Close();
    CNetworkView view;
    const NViewOptions_stru vo = oracle::ViewOptions();
    ASSERT_EQ(view.Build(r.net, vo), 1);
    const NComponentKind kind = round % 2 == 0 ? NComponentKind::Weak : NComponentKind::Strong;
    NComponentOptions_stru co;
    co.bFollowCosts = byCost;
    NElemSet_stru& barriers = co.barriers;
    barriers.nods = oracle::Pick(rng, r.nods, round % 3);
    barriers.edges = oracle::Pick(rng, r.edges, round % 4);
    const std::vector<char> barNod = oracle::Bits(r.nods, barriers.nods);
    const std::vector<char> barEdge = oracle::Bits(r.edges, barriers.edges);
    std::vector<char> inside(static_cast<std::size_t>(r.nods) + 1, 0);
    for (std::int32_t v = 1; v <= r.nods; ++v) inside[v] = r.closed[v] == 0 && barNod[v] == 0;
    Undirected ug(static_cast<std::size_t>(r.nods) + 1);
    Directed dg(static_cast<std::size_t>(r.nods) + 1);
    for (const Arc& a : arcs) {
      if (inside[a.from] == 0 || inside[a.to] == 0 || barEdge[a.edge] != 0) continue;
      boost::add_edge(a.from, a.to, ug);
      boost::add_edge(a.from, a.to, dg);
    }
    std::vector<int> comp(static_cast<std::size_t>(r.nods) + 1);
    if (kind == NComponentKind::Weak) {
      boost::connected_components(ug, &comp[0]);
    } else {
      boost::strong_components(dg, boost::make_iterator_property_map(comp.begin(), boost::get(boost::vertex_index, dg)));
    }
    NComponents_stru got;
    NFinding_stru err;
    ASSERT_EQ(byCost ? FindComponents(view, kind, co, got, &err) : FindComponents(view, kind, barriers, got, &err), 1)
        << err.strText;
    SCOPED_TRACE(testing::Message() << "round " << round << (kind == NComponentKind::Weak ? " weak" : " strong")
                                    << (byCost ? " by cost" : ""));
    ASSERT_EQ(got.nodComp.size(), static_cast<std::size_t>(r.nods));
    ASSERT_EQ(got.edgeComp.size(), static_cast<std::size_t>(r.edges));
    ExpectSamePartition(got.nodComp, comp, inside);
    // Numbered by their lowest node; sizes and the count agree.
    std::int32_t next = 1;
    std::vector<std::int32_t> sizes;
    for (std::int32_t v = 1; v <= r.nods; ++v) {
      const std::int32_t c = got.nodComp[v - 1];
      if (c == 0) continue;
      if (c == next) {
        sizes.push_back(0);
        ++next;
      }
      ASSERT_LT(c, next) << "component numbers follow their lowest node";
      ++sizes[c - 1];
    }
    EXPECT_EQ(got.lCount, next - 1);
    EXPECT_EQ(got.sizes, sizes);
    // An edge that is a way between two nodes of one component belongs to it.
    for (const Arc& a : arcs) {
      if (inside[a.from] == 0 || inside[a.to] == 0 || barEdge[a.edge] != 0) continue;
      const std::int32_t c = comp[a.from] == comp[a.to] ? got.nodComp[a.from - 1] : 0;
      EXPECT_EQ(got.edgeComp[a.edge - 1], c) << "edge " << a.edge;
    }
    for (std::int32_t e : barriers.edges) EXPECT_EQ(got.edgeComp[e - 1], 0) << "barrier edge " << e;
    for (std::int32_t e = 1; e <= r.edges; ++e) {
      if (usable[e] == 0) {
        EXPECT_EQ(got.edgeComp[e - 1], 0) << "edge " << e << " is no way";
      }
    }
  }
}

TEST(TraceOracleTest, IsolationCutsTheStartOffWithTheFewestDevicesAndLosesWhatBruteForceLoses) {
  std::mt19937 rng(9);
  int cut = 0;
  for (int round = 0; round < 300; ++round) {
    oracle::RandomNet r;
    oracle::Shape shape;
    shape.minNods = 5;
    shape.maxNods = 14;
    shape.edgesPerNod = 1.3;
    shape.flags = round % 2;
    shape.closed = 0.04;
    r.Make(rng, shape);
    if (HasFatalFailure()) return;
    const std::vector<Arc> arcs = oracle::Ways(r.net);
    r.Close();
    CNetworkView view;
    ASSERT_EQ(view.Build(r.net), 1);
    NIsolationQuery_stru q;
    q.sources = oracle::Pick(rng, r.nods, 1 + round % 2);
    for (std::int32_t d : oracle::Pick(rng, r.nods, r.nods / 2)) {
      if (oracle::Bits(r.nods, q.sources)[d] == 0) q.devices.push_back(d);
    }
    q.barriers.edges = oracle::Pick(rng, r.edges, round % 2);
    const bool byEdge = round % 3 == 0;
    q.eStartKind = byEdge ? NElemKind::Edge : NElemKind::Node;
    q.lStart = std::uniform_int_distribution<std::int32_t>(1, byEdge ? r.edges : r.nods)(rng);
    if (!byEdge && oracle::Bits(r.nods, q.devices)[q.lStart] != 0) continue;
    NIsolationResult_stru got;
    NFinding_stru err;
    ASSERT_EQ(IsolateElement(view, q, got, &err), 1) << err.strText;
    SCOPED_TRACE(testing::Message() << "round " << round << ", start " << q.lStart << (byEdge ? " (edge)" : " (node)"));
    auto supplied = [&](const std::vector<std::int32_t>& closedDevices) {
      NElemSet_stru stops;
      stops.nods = closedDevices;
      return oracle::BfsTrace(r.nods, r.edges, arcs, r.closed, NTraceKind::Connected, q.sources, q.barriers, stops);
    };
    auto reaches = [&](const NTraceResult_stru& t) {
      const std::vector<std::int32_t>& list = byEdge ? t.edges : t.nods;
      return oracle::Bits(byEdge ? r.edges : r.nods, list)[q.lStart] != 0;
    };
    const NTraceResult_stru before = supplied({});
    const NTraceResult_stru after = supplied(got.devices);
    if (got.bSourceInside) {
      EXPECT_TRUE(got.isolated.nods.empty() && got.isolated.edges.empty());
      continue;
    }
    if (!reaches(before)) {
      // Nothing supplies the start: nothing needs closing, nothing is lost.
      EXPECT_EQ(got.devices, std::vector<std::int32_t>()) << "the start is not supplied to begin with";
      EXPECT_TRUE(got.isolated.nods.empty() && got.isolated.edges.empty());
      continue;
    }
    EXPECT_FALSE(reaches(after)) << "closing the devices leaves the start supplied";
    for (std::size_t k = 0; k < got.devices.size(); ++k) {
      std::vector<std::int32_t> others = got.devices;
      others.erase(others.begin() + static_cast<std::ptrdiff_t>(k));
      EXPECT_TRUE(reaches(supplied(others))) << "device " << got.devices[k] << " need not be closed";
    }
    NTraceResult_stru lost;
    const std::vector<char> nodAfter = oracle::Bits(r.nods, after.nods);
    const std::vector<char> edgeAfter = oracle::Bits(r.edges, after.edges);
    for (std::int32_t v : before.nods) {
      if (nodAfter[v] == 0) lost.nods.push_back(v);
    }
    for (std::int32_t e : before.edges) {
      if (edgeAfter[e] == 0) lost.edges.push_back(e);
    }
    EXPECT_EQ(got.isolated.nods, lost.nods);
    EXPECT_EQ(got.isolated.edges, lost.edges);
    if (!got.devices.empty()) ++cut;
  }
  EXPECT_GT(cut, 30);  // the rounds exercise real cuts, not only trivial answers
}
