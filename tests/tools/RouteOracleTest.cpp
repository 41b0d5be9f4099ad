// Routes and service areas on the view against Boost Graph's Dijkstra, and
// turn-cost routes against an edge-based search, over the ways and costs the
// connectivity and weight queries answer, on random networks.
#include <gtest/gtest.h>

#include <boost/graph/dijkstra_shortest_paths.hpp>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <queue>
#include <random>
#include <utility>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "kelvane/tools/NetworkBuilder.h"
#include "kelvane/tools/NetworkView.h"
#include "kelvane/tools/Progress.h"
#include "kelvane/tools/SearchWorkspace.h"
#include "kelvane/tools/ServiceArea.h"
#include "kelvane/tools/ShortestPath.h"
#include "tools/RandomNetwork.h"

using namespace kelvane::tools;

namespace {

using oracle::Arc;
using oracle::kInf;

struct CostArc {
  Arc a;
  double cost;
};

// The ways a route may take with their costs: directed, at the cost of the
// way taken; undirected, either way at the lower cost that is a way. Closed
// nodes and barriers are not passed, barriers not entered.
std::vector<CostArc> RouteWays(CLocalNetwork& net, bool directed, const std::vector<char>& closed,
                               const NElemSet_stru& barriers) {
  const std::vector<char> barNod = oracle::Bits(net.m_lNodNum, barriers.nods);
  const std::vector<char> barEdge = oracle::Bits(net.m_lEdgeNum, barriers.edges);
  std::vector<CostArc> out;
  for (const Arc& a : directed ? oracle::Ways(net) : oracle::AnyWays(net)) {
    if (closed[a.from] != 0 || barNod[a.from] != 0 || barNod[a.to] != 0 || barEdge[a.edge] != 0) continue;
    double c = oracle::WayCost(net, a.edge, a.along);
    if (!directed) c = std::min(c, oracle::WayCost(net, a.edge, !a.along));
    if (std::isinf(c)) continue;
    out.push_back(CostArc{a, c});
    // Either way round a loop: its list entries name it from one end only.
    if (!directed && a.from == a.to) out.push_back(CostArc{Arc{a.from, a.to, a.edge, !a.along}, c});
  }
  return out;
}

// Least costs from the starts by Boost's Dijkstra (node 0 feeds every start).
std::vector<double> Dijkstra(std::int32_t nods, const std::vector<CostArc>& arcs, const std::vector<std::int32_t>& starts) {
  typedef boost::adjacency_list<boost::vecS, boost::vecS, boost::directedS, boost::no_property,
                                boost::property<boost::edge_weight_t, double>>
      Graph;
  Graph g(static_cast<std::size_t>(nods) + 1);
  for (const CostArc& c : arcs) boost::add_edge(c.a.from, c.a.to, c.cost, g);
  for (std::int32_t s : starts) boost::add_edge(0, s, 0.0, g);
  std::vector<double> d(boost::num_vertices(g), kInf);
  boost::dijkstra_shortest_paths(g, 0, boost::distance_map(&d[0]));
  for (double& x : d) {
    if (x == std::numeric_limits<double>::max()) x = kInf;
  }
  return d;
}

// Least costs from s with turn costs: a search over the ways (the edge
// arrived by is part of the state), the turn weight added at every node
// passed, a negative one forbidding the turn.
std::vector<double> EdgeBasedSearch(CLocalNetwork& net, const std::vector<CostArc>& arcs, std::int32_t s) {
  std::vector<std::vector<std::size_t>> out(static_cast<std::size_t>(net.m_lNodNum) + 1);
  for (std::size_t i = 0; i < arcs.size(); ++i) out[arcs[i].a.from].push_back(i);
  std::vector<double> arcDist(arcs.size(), kInf);
  std::vector<double> nodDist(static_cast<std::size_t>(net.m_lNodNum) + 1, kInf);
  nodDist[s] = 0.0;
  typedef std::pair<double, std::size_t> Item;
  std::priority_queue<Item, std::vector<Item>, std::greater<Item>> pq;
  for (std::size_t i : out[s]) {
    arcDist[i] = arcs[i].cost;
    pq.push(Item(arcDist[i], i));
  }
  while (!pq.empty()) {
    const Item top = pq.top();
    pq.pop();
    if (top.first > arcDist[top.second]) continue;
    const Arc& a = arcs[top.second].a;
    nodDist[a.to] = std::min(nodDist[a.to], top.first);
    for (std::size_t j : out[a.to]) {
      double turn = 0.0;
      if (net.GetTurnWgtVal(a.to, a.edge, arcs[j].a.edge, turn) != 1) turn = 0.0;
      if (turn < 0.0) continue;
      const double d = top.first + turn + arcs[j].cost;
      if (d < arcDist[j]) {
        arcDist[j] = d;
        pq.push(Item(d, j));
      }
    }
  }
  return nodDist;
}

// A path is a walk over the ways from lFrom to lTo whose cumulative costs add
// up (turns included when asked).
void ExpectWalk(CLocalNetwork& net, const std::vector<CostArc>& arcs, const NPath_stru& p, bool turns) {
  std::int32_t at = p.lFrom;
  double cost = 0.0;
  std::int32_t lastEdge = 0;
  for (const NPathStep_stru& st : p.steps) {
    double best = kInf;
    for (const CostArc& c : arcs) {
      if (c.a.from == at && c.a.to == st.lNod && c.a.edge == st.lEdge &&
          (c.a.along == st.bAlong || c.a.from == c.a.to)) {
        best = std::min(best, c.cost);
      }
    }
    ASSERT_FALSE(std::isinf(best)) << "no way from " << at << " over edge " << st.lEdge << " to " << st.lNod;
    double turn = 0.0;
    if (turns && lastEdge != 0 && net.GetTurnWgtVal(at, lastEdge, st.lEdge, turn) != 1) turn = 0.0;
    ASSERT_GE(turn, 0.0) << "forbidden turn at " << at;
    cost += turn + best;
    EXPECT_NEAR(st.dCost, cost, 1e-9) << "edge " << st.lEdge;
    at = st.lNod;
    lastEdge = st.lEdge;
  }
  EXPECT_EQ(at, p.lTo);
  EXPECT_NEAR(p.dCost, cost, 1e-9);
}

NElemSet_stru Barriers(std::mt19937& rng, const oracle::RandomNet& r, int round, const std::vector<std::int32_t>& keep) {
  NElemSet_stru b;
  for (std::int32_t v : oracle::Pick(rng, r.nods, round % 3)) {
    if (std::find(keep.begin(), keep.end(), v) == keep.end()) b.nods.push_back(v);
  }
  b.edges = oracle::Pick(rng, r.edges, round % 4);
  return b;
}

void ExpectCosts(const std::vector<double>& got, const std::vector<double>& want, std::int32_t nods) {
  ASSERT_EQ(got.size(), static_cast<std::size_t>(nods));
  for (std::int32_t v = 1; v <= nods; ++v) {
    if (std::isinf(want[v])) {
      EXPECT_TRUE(std::isinf(got[v - 1])) << "node " << v << ": " << got[v - 1];
    } else {
      EXPECT_NEAR(got[v - 1], want[v], 1e-9) << "node " << v;
    }
  }
}

std::vector<CostArc> Reversed(const std::vector<CostArc>& arcs) {
  std::vector<CostArc> out;
  for (const CostArc& c : arcs) out.push_back(CostArc{Arc{c.a.to, c.a.from, c.a.edge, c.a.along}, c.cost});
  return out;
}

// Every node reached but the root names a way over its tree edge to a node
// whose cost accounts for the rest (toward the root: the way out of it);
// the root and the nodes not reached name none.
void ExpectTree(const std::vector<CostArc>& arcs, const std::vector<double>& cost, const std::vector<std::int32_t>& by,
                std::int32_t nods, bool toward, const std::vector<std::int32_t>* pOwner = nullptr) {
  ASSERT_EQ(by.size(), static_cast<std::size_t>(nods));
  for (std::int32_t v = 1; v <= nods; ++v) {
    const std::int32_t e = by[v - 1];
    if (e == 0) {
      EXPECT_TRUE(std::isinf(cost[v - 1]) || cost[v - 1] == 0.0) << "node " << v << " has no tree edge";
      continue;
    }
    bool ok = false;
    for (const CostArc& c : arcs) {
      const std::int32_t near = toward ? c.a.from : c.a.to;
      const std::int32_t far = toward ? c.a.to : c.a.from;
      if (c.a.edge != e || near != v || std::isinf(cost[far - 1])) continue;
      if (pOwner != nullptr && (*pOwner)[far - 1] != (*pOwner)[v - 1]) continue;
      ok = ok || std::fabs(cost[far - 1] + c.cost - cost[v - 1]) < 1e-9;
    }
    EXPECT_TRUE(ok) << "node " << v << ": edge " << e << " is no way on its route";
  }
}



// The area's edges and shares against the oracle's, from d (the least cost
// of each node from the starts, or toward them with bToward). Forward a way
// is reached from its tail as far as the cost left there allows, the share
// next to the end it leaves; toward the starts from its head, the share next
// to the end it arrives at.
void ExpectAreaShares(const oracle::RandomNet& r, const std::vector<CostArc>& arcs, const std::vector<double>& d,
                      double limit, bool bToward, const NServiceArea_stru& area) {
  std::vector<std::pair<double, double>> share(static_cast<std::size_t>(r.edges) + 1, {0.0, 0.0});
  std::vector<char> inArea(static_cast<std::size_t>(r.edges) + 1, 0);
  for (const CostArc& c : arcs) {
    const double left = limit - d[bToward ? c.a.to : c.a.from];
    if (left < 0.0) continue;
    const double part = c.cost == 0.0 ? 1.0 : std::min(1.0, left / c.cost);
    double& side = c.a.along != bToward ? share[c.a.edge].first : share[c.a.edge].second;
    side = std::max(side, part);
    if (part > 0.0 || c.cost == 0.0) inArea[c.a.edge] = 1;
  }
  std::vector<std::int32_t> wantEdges;
  for (std::int32_t e = 1; e <= r.edges; ++e) {
    if (inArea[e] != 0) wantEdges.push_back(e);
  }
  std::vector<std::int32_t> gotEdges;
  for (const NAreaEdge_stru& ae : area.edges) {
    gotEdges.push_back(ae.lEdge);
    const NEdgeNod_stru ends = r.net.m_pEdgeNod[ae.lEdge - 1];
    EXPECT_NEAR(ae.dFromFrac, share[ae.lEdge].first, 1e-9)
        << "edge " << ae.lEdge << " from " << ends.lFromNod << " to " << ends.lToNod;
    EXPECT_NEAR(ae.dToFrac, share[ae.lEdge].second, 1e-9)
        << "edge " << ae.lEdge << " from " << ends.lFromNod << " to " << ends.lToNod;
  }
  EXPECT_EQ(gotEdges, wantEdges);
}

// The area's reachedBy as ExpectTree reads a tree: per node, its cost
// (+infinity outside the area) and its edge.
void ExpectAreaTree(const std::vector<CostArc>& arcs, const NServiceArea_stru& area, std::int32_t nods, bool toward) {
  std::vector<double> cost(static_cast<std::size_t>(nods), kInf);
  std::vector<std::int32_t> by(static_cast<std::size_t>(nods), 0);
  for (std::size_t i = 0; i < area.nods.size(); ++i) {
    cost[area.nods[i] - 1] = area.costs[i];
    by[area.nods[i] - 1] = area.reachedBy[i];
  }
  ExpectTree(arcs, cost, by, nods, toward);
}

// Over two and three threads the area is one thread's (nodes, costs and
// edges exactly), its tree edges a least-cost tree's where runs tie.
void ExpectThreadsGiveTheArea(const CNetworkView& view, const std::vector<std::int32_t>& starts, double limit,
                              NRouteOptions_stru opt, bool toward, const std::vector<CostArc>& arcs,
                              const NServiceArea_stru& one) {
  for (std::int32_t threads : {2, 3}) {
    SCOPED_TRACE(testing::Message() << threads << " threads");
    opt.lThreads = threads;
    NServiceArea_stru area;
    NFinding_stru err;
    const std::int32_t status = toward ? kelvane::tools::FindServiceAreaTo(view, starts, limit, opt, area, &err)
                                       : FindServiceArea(view, starts, limit, opt, area, &err);
    ASSERT_EQ(status, 1) << err.strText;
    ASSERT_EQ(area.nods, one.nods);
    EXPECT_EQ(area.costs, one.costs);
    ASSERT_EQ(area.edges.size(), one.edges.size());
    for (std::size_t i = 0; i < area.edges.size(); ++i) {
      EXPECT_EQ(area.edges[i].lEdge, one.edges[i].lEdge);
      EXPECT_EQ(area.edges[i].dFromFrac, one.edges[i].dFromFrac) << "edge " << area.edges[i].lEdge;
      EXPECT_EQ(area.edges[i].dToFrac, one.edges[i].dToFrac) << "edge " << area.edges[i].lEdge;
    }
    ExpectAreaTree(arcs, area, view.GetNodNum(), toward);
  }
}

CNetworkView MakeView(oracle::RandomNet& r) {
  CNetworkView view;
  const NViewOptions_stru vo = oracle::ViewOptions();
  EXPECT_EQ(view.Build(r.net, vo), 1);
  return view;
}

}  // namespace

TEST(RouteOracleTest, CostsPathsAndMatricesAreDijkstrasDirectedAndUndirected) {
  std::mt19937 rng(13);
  for (int round = 0; round < 160; ++round) {
    oracle::RandomNet r;
    r.Make(rng, oracle::Shape());
    if (HasFatalFailure()) return;
    const bool directed = round % 2 == 0;
    const std::int32_t s = r.flagNods.empty() ? 1 : r.flagNods[0];
    const std::vector<std::int32_t> targets = oracle::Pick(rng, r.nods, 4);
    NRouteOptions_stru opt;
    opt.bDirected = directed;
    opt.bTurns = false;
    opt.barriers = Barriers(rng, r, round, r.flagNods);
    const std::vector<CostArc> arcs = RouteWays(r.net, directed, r.closed, opt.barriers);
    r.Close();
    CNetworkView view;
    const NViewOptions_stru vo = oracle::ViewOptions();
    ASSERT_EQ(view.Build(r.net, vo), 1);
    SCOPED_TRACE(testing::Message() << "round " << round << (directed ? " directed" : " undirected"));
    const std::vector<double> want = Dijkstra(r.nods, arcs, {s});
    std::vector<double> got;
    NFinding_stru err;
    ASSERT_EQ(FindCostsFrom(view, s, opt, got, &err), 1) << err.strText;
    ExpectCosts(got, want, r.nods);
    for (std::int32_t t : targets) {
      NPath_stru p;
      ASSERT_EQ(FindShortestPath(view, s, t, opt, p, &err), 1) << err.strText;
      ASSERT_EQ(p.bFound, !std::isinf(want[t])) << "to " << t;
      if (!p.bFound) continue;
      EXPECT_NEAR(p.dCost, want[t], 1e-9);
      ExpectWalk(r.net, arcs, p, false);
    }
    std::vector<std::int32_t> sources = r.flagNods;
    sources.push_back(std::uniform_int_distribution<std::int32_t>(1, r.nods)(rng));
    std::vector<double> matrix;
    ASSERT_EQ(FindCostMatrix(view, sources, targets, opt, matrix, &err), 1) << err.strText;
    ASSERT_EQ(matrix.size(), sources.size() * targets.size());
    for (std::size_t i = 0; i < sources.size(); ++i) {
      const bool barrier = oracle::Bits(r.nods, opt.barriers.nods)[sources[i]] != 0;
      if (barrier) continue;  // a barrier source is not entered: left to the refusal test
      const std::vector<double> d = Dijkstra(r.nods, arcs, {sources[i]});
      for (std::size_t j = 0; j < targets.size(); ++j) {
        const double m = matrix[i * targets.size() + j];
        if (std::isinf(d[targets[j]])) {
          EXPECT_TRUE(std::isinf(m)) << sources[i] << " to " << targets[j];
        } else {
          EXPECT_NEAR(m, d[targets[j]], 1e-9) << sources[i] << " to " << targets[j];
        }
      }
    }
  }
}

TEST(RouteOracleTest, TurnCostRoutesAreWhatAnEdgeBasedSearchFinds) {
  std::mt19937 rng(17);
  for (int round = 0; round < 160; ++round) {
    oracle::RandomNet r;
    oracle::Shape shape;
    shape.turns = true;
    r.Make(rng, shape);
    if (HasFatalFailure()) return;
    const std::int32_t s = r.flagNods.empty() ? 1 : r.flagNods[0];
    NRouteOptions_stru opt;
    opt.bDirected = round % 3 != 2;  // a third undirected: turns between edges, either way along each
    opt.bTurns = true;
    opt.barriers = Barriers(rng, r, round, r.flagNods);
    const std::vector<CostArc> arcs = RouteWays(r.net, opt.bDirected, r.closed, opt.barriers);
    r.Close();
    CNetworkView view;
    const NViewOptions_stru vo = oracle::ViewOptions();
    ASSERT_EQ(view.Build(r.net, vo), 1);
    ASSERT_TRUE(view.HasTurns());
    SCOPED_TRACE(testing::Message() << "round " << round << ", from " << s << (opt.bDirected ? "" : ", undirected"));
    const std::vector<double> want = EdgeBasedSearch(r.net, arcs, s);
    std::vector<double> got;
    NFinding_stru err;
    ASSERT_EQ(FindCostsFrom(view, s, opt, got, &err), 1) << err.strText;
    ExpectCosts(got, want, r.nods);
    for (std::int32_t t : oracle::Pick(rng, r.nods, 4)) {
      NPath_stru p;
      ASSERT_EQ(FindShortestPath(view, s, t, opt, p, &err), 1) << err.strText;
      ASSERT_EQ(p.bFound, !std::isinf(want[t])) << "to " << t;
      if (!p.bFound) continue;
      EXPECT_NEAR(p.dCost, want[t], 1e-9) << "to " << t;
      ExpectWalk(r.net, arcs, p, true);
    }
  }
}

// From up to eight starts, and the same over two and three threads.
TEST(RouteOracleTest, ServiceAreasHoldWhatDijkstraFindsWithinTheLimit) {
  std::mt19937 rng(19);
  for (int round = 0; round < 160; ++round) {
    oracle::RandomNet r;
    r.Make(rng, oracle::Shape());
    if (HasFatalFailure()) return;
    const bool directed = round % 2 == 0;
    std::vector<std::int32_t> starts = r.flagNods;
    for (int k = 0; k <= round % 4; ++k) starts.push_back(std::uniform_int_distribution<std::int32_t>(1, r.nods)(rng));
    NRouteOptions_stru opt;
    opt.bDirected = directed;
    opt.bTurns = false;
    opt.barriers = Barriers(rng, r, round, starts);
    const std::vector<CostArc> arcs = RouteWays(r.net, directed, r.closed, opt.barriers);
    r.Close();
    CNetworkView view;
    const NViewOptions_stru vo = oracle::ViewOptions();
    ASSERT_EQ(view.Build(r.net, vo), 1);
    const double limit = std::uniform_int_distribution<int>(0, 60)(rng) * 0.5;
    SCOPED_TRACE(testing::Message() << "round " << round << (directed ? " directed" : " undirected") << ", limit "
                                    << limit);
    const std::vector<double> d = Dijkstra(r.nods, arcs, starts);
    NServiceArea_stru area;
    NFinding_stru err;
    ASSERT_EQ(FindServiceArea(view, starts, limit, opt, area, &err), 1) << err.strText;
    std::vector<std::int32_t> nods;
    for (std::int32_t v = 1; v <= r.nods; ++v) {
      if (d[v] <= limit) nods.push_back(v);
    }
    ASSERT_EQ(area.nods, nods);
    ASSERT_EQ(area.costs.size(), nods.size());
    for (std::size_t i = 0; i < nods.size(); ++i) EXPECT_NEAR(area.costs[i], d[nods[i]], 1e-9) << "node " << nods[i];
    ExpectAreaTree(arcs, area, r.nods, false);
    // Each edge: the share reached going along it from its from node and
    // against it from its to node.
    ExpectAreaShares(r, arcs, d, limit, false, area);
    ExpectThreadsGiveTheArea(view, starts, limit, opt, false, arcs, area);
  }
}

// Toward a place: the reverse searches against Dijkstra on the reversed
// network, a workspace carried over rounds of every size (early stops
// included) and matrices over two threads on some rounds.
TEST(RouteOracleTest, CostsToTreesAndMatricesAreDijkstraOnTheReversedNetwork) {
  std::mt19937 rng(23);
  kelvane::tools::CSearchWorkspace work;
  for (int round = 0; round < 160; ++round) {
    oracle::RandomNet r;
    r.Make(rng, oracle::Shape());
    if (HasFatalFailure()) return;
    const bool directed = round % 2 == 0;
    const std::int32_t t = std::uniform_int_distribution<std::int32_t>(1, r.nods)(rng);
    std::vector<std::int32_t> sources = oracle::Pick(rng, r.nods, 6);
    NRouteOptions_stru opt;
    opt.bDirected = directed;
    opt.bTurns = false;
    opt.pWork = round % 3 == 0 ? nullptr : &work;
    opt.lThreads = round % 4 == 1 ? 2 : 1;
    std::vector<std::int32_t> keep = sources;
    keep.push_back(t);
    opt.barriers = Barriers(rng, r, round, keep);
    const std::vector<CostArc> arcs = RouteWays(r.net, directed, r.closed, opt.barriers);
    r.Close();
    const CNetworkView view = MakeView(r);
    SCOPED_TRACE(testing::Message() << "round " << round << (directed ? " directed" : " undirected") << ", to " << t);
    const std::vector<double> want = Dijkstra(r.nods, Reversed(arcs), {t});
    std::vector<double> got;
    std::vector<std::int32_t> by;
    NFinding_stru err;
    ASSERT_EQ(kelvane::tools::FindCostsTo(view, t, opt, got, by, &err), 1) << err.strText;
    ExpectCosts(got, want, r.nods);
    ExpectTree(arcs, got, by, r.nods, true);
    std::vector<double> from;
    ASSERT_EQ(kelvane::tools::FindCostsFrom(view, t, opt, from, by, &err), 1) << err.strText;
    ExpectCosts(from, Dijkstra(r.nods, arcs, {t}), r.nods);
    ExpectTree(arcs, from, by, r.nods, false);
    // More sources than targets: the matrix is searched from the targets.
    const std::vector<std::int32_t> targets{t, sources[0]};
    std::vector<double> matrix;
    ASSERT_EQ(FindCostMatrix(view, sources, targets, opt, matrix, &err), 1) << err.strText;
    ASSERT_EQ(matrix.size(), sources.size() * 2);
    for (std::size_t i = 0; i < sources.size(); ++i) {
      const std::vector<double> d = Dijkstra(r.nods, arcs, {sources[i]});
      for (std::size_t j = 0; j < 2; ++j) {
        const double m = matrix[i * 2 + j];
        const double w = d[targets[j]];
        EXPECT_TRUE(std::isinf(w) ? std::isinf(m) : std::fabs(m - w) < 1e-9)
            << sources[i] << " to " << targets[j] << ": " << m << ", not " << w;
      }
    }
  }
}

// A workspace keeps the step costs it gathered from one build of a view; a
// view rebuilt in place from another network must never be searched with
// them. Runs of rounds share one rule, so a stale copy would be taken.
TEST(RouteOracleTest, AWorkspaceNeverCarriesCostsFromOneBuildToTheNext) {
  std::mt19937 rng(31);
  kelvane::tools::CSearchWorkspace work;
  CNetworkView view;
  for (int round = 0; round < 60; ++round) {
    oracle::RandomNet r;
    r.Make(rng, oracle::Shape());
    if (HasFatalFailure()) return;
    r.Close();
    ASSERT_EQ(view.Build(r.net, oracle::ViewOptions()), 1);
    NRouteOptions_stru opt;
    opt.bTurns = false;
    opt.bDirected = round % 8 < 4;
    const std::int32_t s = std::uniform_int_distribution<std::int32_t>(1, r.nods)(rng);
    std::vector<double> fresh;
    std::vector<double> kept;
    ASSERT_EQ(kelvane::tools::FindCostsFrom(view, s, opt, fresh), 1);
    opt.pWork = &work;
    ASSERT_EQ(kelvane::tools::FindCostsFrom(view, s, opt, kept), 1);
    EXPECT_EQ(kept, fresh) << "round " << round;
  }
}

TEST(RouteOracleTest, CostsToWithTurnsAreTheEdgeBasedSearchFromEveryNode) {
  std::mt19937 rng(29);
  kelvane::tools::CSearchWorkspace work;
  for (int round = 0; round < 100; ++round) {
    oracle::RandomNet r;
    oracle::Shape shape;
    shape.turns = true;
    r.Make(rng, shape);
    if (HasFatalFailure()) return;
    const std::int32_t t = std::uniform_int_distribution<std::int32_t>(1, r.nods)(rng);
    NRouteOptions_stru opt;
    opt.pWork = &work;
    opt.bDirected = round % 3 != 2;  // a third undirected: the reverse search over both ways of each edge
    opt.barriers = Barriers(rng, r, round, {t});
    const std::vector<CostArc> arcs = RouteWays(r.net, opt.bDirected, r.closed, opt.barriers);
    r.Close();
    const CNetworkView view = MakeView(r);
    ASSERT_TRUE(view.HasTurns());
    SCOPED_TRACE(testing::Message() << "round " << round << ", to " << t << (opt.bDirected ? "" : ", undirected"));
    std::vector<double> got;
    NFinding_stru err;
    ASSERT_EQ(kelvane::tools::FindCostsTo(view, t, opt, got, &err), 1) << err.strText;
    const std::vector<char> barrier = oracle::Bits(r.nods, opt.barriers.nods);
    for (std::int32_t s = 1; s <= r.nods; ++s) {
      const double w = barrier[s] != 0 ? kInf : EdgeBasedSearch(r.net, arcs, s)[t];
      EXPECT_TRUE(std::isinf(w) ? std::isinf(got[s - 1]) : std::fabs(got[s - 1] - w) < 1e-9)
          << "from " << s << ": " << got[s - 1] << ", not " << w;
    }
    // A turn matrix with fewer targets than sources gives the costs toward
    // the target (searched from the sources, so equal to rounding).
    const std::vector<std::int32_t> sources = oracle::Pick(rng, r.nods, 3);
    std::vector<double> matrix;
    ASSERT_EQ(FindCostMatrix(view, sources, {t}, opt, matrix, &err), 1) << err.strText;
    for (std::size_t i = 0; i < sources.size(); ++i) {
      EXPECT_TRUE(std::isinf(got[sources[i] - 1]) ? std::isinf(matrix[i])
                                                  : std::fabs(matrix[i] - got[sources[i] - 1]) < 1e-9)
          << "from " << sources[i];
    }
  }
}

// With fewer targets than sources a matrix may search toward the targets; it
// must still give what the searches from its sources give, also on a network
// whose lists disagree with its end nodes (an entry dropped from the end of
// a list, one turned round), where the steps toward a node are not those
// from it. Where the lists agree, the columns are the costs to each target
// (searched from the targets' side).
TEST(RouteOracleTest, MatricesWithFewerTargetsAreTheCostsFromTheirSources) {
  std::mt19937 rng(37);
  kelvane::tools::CSearchWorkspace work;
  for (int round = 0; round < 160; ++round) {
    oracle::RandomNet r;
    oracle::Shape shape;
    shape.turns = round % 4 >= 2;
    r.Make(rng, shape);
    if (HasFatalFailure()) return;
    const bool broken = round % 2 == 1;
    for (int k = 0; broken && k < 2; ++k) {
      NNodConn_stru& conn = r.net.m_pNodConn[std::uniform_int_distribution<std::int32_t>(1, r.nods)(rng) - 1];
      if (conn.sConnNum == 0) continue;
      if (k == 0) {
        --conn.sConnNum;
      } else {
        conn.pConnEdge[0] = -conn.pConnEdge[0];
      }
    }
    // Sources drawn with repeats, so that there are always four more than targets.
    std::vector<std::int32_t> sources;
    for (int k = 0; k < 7; ++k) sources.push_back(std::uniform_int_distribution<std::int32_t>(1, r.nods)(rng));
    const std::vector<std::int32_t> targets = oracle::Pick(rng, r.nods, 1 + round % 3);
    NRouteOptions_stru opt;
    opt.bDirected = round % 3 != 2;
    opt.pWork = round % 5 == 0 ? nullptr : &work;
    opt.lThreads = round % 4 == 1 ? 2 : 1;
    opt.barriers = Barriers(rng, r, round, {});
    r.Close();
    const CNetworkView view = MakeView(r);
    SCOPED_TRACE(testing::Message() << "round " << round << (broken ? ", lists broken" : ""));
    std::vector<double> matrix;
    NFinding_stru err;
    ASSERT_EQ(FindCostMatrix(view, sources, targets, opt, matrix, &err), 1) << err.strText;
    ASSERT_EQ(matrix.size(), sources.size() * targets.size());
    for (std::size_t i = 0; i < sources.size(); ++i) {
      std::vector<double> from;
      ASSERT_EQ(FindCostsFrom(view, sources[i], opt, from, &err), 1) << err.strText;
      for (std::size_t j = 0; j < targets.size(); ++j) {
        const double m = matrix[i * targets.size() + j];
        const double w = from[static_cast<std::size_t>(targets[j] - 1)];
        EXPECT_TRUE(std::isinf(w) ? std::isinf(m) : std::fabs(m - w) < 1e-9)
            << sources[i] << " to " << targets[j] << ": " << m << ", not " << w;
      }
    }
    if (broken) continue;
    for (std::size_t j = 0; j < targets.size(); ++j) {
      std::vector<double> to;
      ASSERT_EQ(kelvane::tools::FindCostsTo(view, targets[j], opt, to, &err), 1) << err.strText;
      for (std::size_t i = 0; i < sources.size(); ++i) {
        EXPECT_EQ(matrix[i * targets.size() + j], to[static_cast<std::size_t>(sources[i] - 1)]) << "from " << sources[i];
      }
    }
  }
}

// Toward two to eight starts, and the same over two and three threads.
TEST(RouteOracleTest, ServiceAreasToTheStartsHoldWhatReachesThemWithinTheLimit) {
  std::mt19937 rng(31);
  kelvane::tools::CSearchWorkspace work;
  for (int round = 0; round < 160; ++round) {
    oracle::RandomNet r;
    r.Make(rng, oracle::Shape());
    if (HasFatalFailure()) return;
    const bool directed = round % 2 == 0;
    std::vector<std::int32_t> starts = oracle::Pick(rng, r.nods, 2 + round % 7);
    NRouteOptions_stru opt;
    opt.bDirected = directed;
    opt.bTurns = false;
    opt.pWork = &work;
    opt.barriers = Barriers(rng, r, round, starts);
    const std::vector<CostArc> arcs = RouteWays(r.net, directed, r.closed, opt.barriers);
    r.Close();
    const CNetworkView view = MakeView(r);
    const double limit = std::uniform_int_distribution<int>(0, 60)(rng) * 0.5;
    SCOPED_TRACE(testing::Message() << "round " << round << (directed ? " directed" : " undirected") << ", limit "
                                    << limit);
    const std::vector<double> d = Dijkstra(r.nods, Reversed(arcs), starts);
    NServiceArea_stru area;
    NFinding_stru err;
    ASSERT_EQ(kelvane::tools::FindServiceAreaTo(view, starts, limit, opt, area, &err), 1) << err.strText;
    std::vector<std::int32_t> nods;
    for (std::int32_t v = 1; v <= r.nods; ++v) {
      if (d[v] <= limit) nods.push_back(v);
    }
    ASSERT_EQ(area.nods, nods);
    for (std::size_t i = 0; i < nods.size(); ++i) EXPECT_NEAR(area.costs[i], d[nods[i]], 1e-9) << "node " << nods[i];
    ExpectAreaTree(arcs, area, r.nods, true);
    // A way into an area node reaches the starts from as far back along it
    // as the cost left allows: the share next to the end it leaves by.
    ExpectAreaShares(r, arcs, d, limit, true, area);
    ExpectThreadsGiveTheArea(view, starts, limit, opt, true, arcs, area);
  }
}

// One search from every start gives the minimum over one search per start,
// ties to the start listed first, whatever order the starts come in.
TEST(RouteOracleTest, ClosestFacilityIsTheNearestOfOneSearchPerStartInAnyOrder) {
  std::mt19937 rng(37);
  kelvane::tools::CSearchWorkspace work;
  for (int round = 0; round < 160; ++round) {
    oracle::RandomNet r;
    r.Make(rng, oracle::Shape());
    if (HasFatalFailure()) return;
    const bool directed = round % 2 == 0;
    std::vector<std::int32_t> starts = oracle::Pick(rng, r.nods, 5);
    starts.push_back(starts[0]);  // listed twice: keeps its first index
    std::shuffle(starts.begin(), starts.end(), rng);
    NRouteOptions_stru opt;
    opt.bDirected = directed;
    opt.pWork = round % 2 == 0 ? &work : nullptr;
    opt.barriers = Barriers(rng, r, round, starts);
    const std::vector<CostArc> arcs = RouteWays(r.net, directed, r.closed, opt.barriers);
    r.Close();
    const CNetworkView view = MakeView(r);
    SCOPED_TRACE(testing::Message() << "round " << round << (directed ? " directed" : " undirected"));
    std::vector<double> best(static_cast<std::size_t>(r.nods), kInf);
    std::vector<std::int32_t> owner(static_cast<std::size_t>(r.nods), -1);
    for (std::size_t i = 0; i < starts.size(); ++i) {
      const std::vector<double> d = Dijkstra(r.nods, arcs, {starts[i]});
      for (std::int32_t v = 1; v <= r.nods; ++v) {
        if (d[v] < best[v - 1]) {
          best[v - 1] = d[v];
          owner[v - 1] = static_cast<std::int32_t>(i);
        }
      }
    }
    kelvane::tools::NClosestFacility_stru got;
    NFinding_stru err;
    ASSERT_EQ(kelvane::tools::FindClosestFacility(view, starts, opt, got, &err), 1) << err.strText;
    ASSERT_EQ(got.facility.size(), owner.size());
    for (std::int32_t v = 1; v <= r.nods; ++v) {
      EXPECT_TRUE(std::isinf(best[v - 1]) ? std::isinf(got.costs[v - 1]) : got.costs[v - 1] == best[v - 1])
          << "node " << v << ": " << got.costs[v - 1] << ", not " << best[v - 1];
      EXPECT_EQ(got.facility[v - 1], owner[v - 1]) << "node " << v;
    }
    ExpectTree(arcs, got.costs, got.reachedBy, r.nods, false, &got.facility);
  }
}

// A search the host stops returns 0 and leaves the outputs as they were; the
// workspace it used serves the next search as new.
TEST(RouteOracleTest, AStoppedSearchLeavesItsOutputsAndWorkspaceAsTheyWere) {
  CNetworkBuilder b;
  const int side = 80;  // more nodes than a search settles between two polls
  ASSERT_EQ(b.SetNodNum(side * side), 1);
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) {
      const int v = y * side + x + 1;
      if (x + 1 < side) b.AddEdge(v, v + 1);
      if (y + 1 < side) b.AddEdge(v, v + side);
    }
  }
  CLocalNetwork net;
  NFinding_stru err;
  ASSERT_EQ(b.Build(net, &err), 1) << err.strText;
  CNetworkView view;
  ASSERT_EQ(view.Build(net), 1);
  kelvane::tools::CSearchWorkspace work;
  NRouteOptions_stru opt;
  opt.pWork = &work;
  kelvane::tools::NProgress_stru stop;
  int polls = 0;
  stop.pUser = &polls;
  stop.pfnPoll = [](void* p, double) { return ++*static_cast<int*>(p) < 1; };
  std::vector<double> costs(3, -1.0);
  std::vector<std::int32_t> by(2, -1);
  EXPECT_EQ(kelvane::tools::FindCostsTo(view, 1, opt, costs, by, &err, &stop), 0);
  EXPECT_EQ(polls, 1);
  EXPECT_EQ(costs, std::vector<double>(3, -1.0));
  EXPECT_EQ(by, std::vector<std::int32_t>(2, -1));
  NServiceArea_stru area;
  EXPECT_EQ(kelvane::tools::FindServiceAreaTo(view, {1}, 1e9, opt, area, &err, &stop), 0);
  EXPECT_TRUE(area.nods.empty());
  std::vector<double> matrix(1, -1.0);
  EXPECT_EQ(kelvane::tools::FindCostMatrix(view, {1}, {side * side}, opt, matrix, &err, &stop), 0);
  EXPECT_EQ(matrix, std::vector<double>(1, -1.0));
  // The corner's cost to the far corner is the grid's walk, whichever way round.
  ASSERT_EQ(kelvane::tools::FindCostsTo(view, side * side, opt, costs, &err), 1) << err.strText;
  EXPECT_EQ(costs[0], 2.0 * (side - 1));
  ASSERT_EQ(FindCostsFrom(view, 1, opt, costs, &err), 1) << err.strText;
  EXPECT_EQ(costs[side * side - 1], 2.0 * (side - 1));
}
