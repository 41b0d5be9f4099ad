// Routes and matrices between sided flags against Boost's Dijkstra on a graph
// where the start and the target are split off: a source node that reaches
// only the far ends of the first steps the start's side allows, and a sink
// that only the last steps the target's side allows lead into. The nodes
// themselves stay, so a route may pass them. Random networks, both builds.
#include <gtest/gtest.h>

#include <boost/graph/dijkstra_shortest_paths.hpp>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <utility>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "kelvane/tools/DrivingSide.h"
#include "kelvane/tools/NetworkView.h"
#include "kelvane/tools/ServiceArea.h"
#include "tools/RandomNetwork.h"

using namespace kelvane::tools;

namespace {

using kelvane::tools::DrivingSide;
using oracle::Arc;
using oracle::kInf;

struct Way {
  Arc a;
  double cost;
};

// Whether a side binds: the node is open and has ways both along and
// against, out of it (bOut) or into it.
bool TwoWay(const std::vector<Way>& all, const std::vector<char>& closed, std::int32_t v, bool bOut) {
  bool along = false;
  bool against = false;
  for (const Way& w : all) {
    if ((bOut ? w.a.from : w.a.to) != v) continue;
    (w.a.along ? along : against) = true;
  }
  return closed[v] == 0 && along && against;
}

double SplitOracle(std::int32_t nods, const std::vector<Way>& all, const std::vector<char>& closed, std::int32_t s,
                   DrivingSide sSide, std::int32_t t, DrivingSide tSide) {
  if (s == t) return 0.0;
  typedef boost::adjacency_list<boost::vecS, boost::vecS, boost::directedS, boost::no_property,
                                boost::property<boost::edge_weight_t, double>>
      Graph;
  const std::size_t source = static_cast<std::size_t>(nods) + 1;
  const std::size_t sink = source + 1;
  Graph g(sink + 1);
  const bool sBinds = sSide != DrivingSide::Both && TwoWay(all, closed, s, true);
  const bool tBinds = tSide != DrivingSide::Both && TwoWay(all, closed, t, false);
  for (const Way& w : all) {
    if (closed[w.a.from] != 0) continue;
    boost::add_edge(w.a.from, w.a.to, w.cost, g);
    const bool loop = w.a.from == w.a.to;  // either side
    const bool first = w.a.from == s && (!sBinds || loop || w.a.along == (sSide == DrivingSide::Right));
    const bool last = w.a.to == t && (!tBinds || loop || w.a.along == (tSide == DrivingSide::Right));
    if (first) boost::add_edge(source, w.a.to, w.cost, g);
    if (last) boost::add_edge(w.a.from, sink, w.cost, g);
    if (first && last) boost::add_edge(source, sink, w.cost, g);  // one step, out of s and into t
  }
  std::vector<double> d(boost::num_vertices(g), kInf);
  boost::dijkstra_shortest_paths(g, source, boost::distance_map(&d[0]));
  return d[sink] == std::numeric_limits<double>::max() ? kInf : d[sink];
}

// Every way of the network one may take, with its cost.
std::vector<Way> FiniteWays(CLocalNetwork& net) {
  std::vector<Way> all;
  for (const Arc& a : oracle::Ways(net)) {
    const double c = oracle::WayCost(net, a.edge, a.along);
    if (!std::isinf(c)) all.push_back(Way{a, c});
  }
  return all;
}

TEST(DrivingSideOracleTest, SidedRoutesAndMatricesAreWhatTheSplitGraphGives) {
  std::mt19937 rng(31);
  std::uniform_int_distribution<int> anySide(0, 2);
  for (int round = 0; round < 150; ++round) {
    oracle::RandomNet r;
    r.Make(rng, oracle::Shape());
    if (HasFatalFailure()) return;
    const std::vector<Way> all = FiniteWays(r.net);
    r.Close();
    CNetworkView view;
    const NViewOptions_stru vo = oracle::ViewOptions();
    ASSERT_EQ(view.Build(r.net, vo), 1);
    std::vector<std::int32_t> sources = oracle::Pick(rng, r.nods, 3);
    std::vector<std::int32_t> targets = oracle::Pick(rng, r.nods, 4);
    for (std::int32_t f : r.flagNods) {
      sources.push_back(f);
      targets.push_back(f);
    }
    std::vector<DrivingSide> sSides;
    std::vector<DrivingSide> tSides;
    for (std::size_t i = 0; i < sources.size(); ++i) sSides.push_back(static_cast<DrivingSide>(anySide(rng)));
    for (std::size_t i = 0; i < targets.size(); ++i) tSides.push_back(static_cast<DrivingSide>(anySide(rng)));
    SCOPED_TRACE(testing::Message() << "round " << round);
    NRouteOptions_stru opt;
    std::vector<double> m;
    NFinding_stru err;
    ASSERT_EQ(kelvane::tools::FindSidedCostMatrix(view, sources, sSides, targets, tSides, opt, m, &err), 1)
        << err.strText;
    for (std::size_t i = 0; i < sources.size(); ++i) {
      for (std::size_t j = 0; j < targets.size(); ++j) {
        const double want = SplitOracle(r.nods, all, r.closed, sources[i], sSides[i], targets[j], tSides[j]);
        const double got = m[i * targets.size() + j];
        SCOPED_TRACE(testing::Message() << sources[i] << " side " << static_cast<int>(sSides[i]) << " to "
                                        << targets[j] << " side " << static_cast<int>(tSides[j]));
        if (std::isinf(want)) {
          EXPECT_TRUE(std::isinf(got)) << got;
        } else {
          EXPECT_NEAR(got, want, 1e-9);
        }
        NPath_stru p;
        ASSERT_EQ(kelvane::tools::FindSidedPath(view, sources[i], sSides[i], targets[j], tSides[j], opt, p, &err), 1)
            << err.strText;
        ASSERT_EQ(p.bFound, !std::isinf(want));
        if (!p.bFound || p.steps.empty()) continue;
        EXPECT_NEAR(p.dCost, want, 1e-9);
        EXPECT_NEAR(p.steps.back().dCost, want, 1e-9);
        EXPECT_EQ(p.steps.back().lNod, targets[j]);
      }
    }
  }
}

// Sided service areas against the same split: a source node that reaches
// every free start at 0 and the far end of every first step a bound start's
// side allows; the starts stay, so a route may come back to one and leave it
// any way. Each edge's share is the most any way along it reaches, from the
// cost at its tail (0 for a first step out of a start).
TEST(DrivingSideOracleTest, SidedServiceAreasAreWhatTheSplitGraphGives) {
  std::mt19937 rng(41);
  std::uniform_int_distribution<int> anySide(0, 2);
  for (int round = 0; round < 150; ++round) {
    oracle::RandomNet r;
    r.Make(rng, oracle::Shape());
    if (HasFatalFailure()) return;
    const std::vector<Way> all = FiniteWays(r.net);
    r.Close();
    CNetworkView view;
    const NViewOptions_stru vo = oracle::ViewOptions();
    ASSERT_EQ(view.Build(r.net, vo), 1);
    std::vector<std::int32_t> starts = oracle::Pick(rng, r.nods, 1 + round % 3);
    starts.insert(starts.end(), r.flagNods.begin(), r.flagNods.end());
    if (round % 5 == 0) starts.push_back(starts.front());  // listed twice, perhaps with the other side
    std::vector<DrivingSide> sides;
    for (std::size_t i = 0; i < starts.size(); ++i) sides.push_back(static_cast<DrivingSide>(anySide(rng)));
    const double limit = std::uniform_int_distribution<int>(0, 60)(rng) * 0.5;
    SCOPED_TRACE(testing::Message() << "round " << round << ", limit " << limit);
    // Per node: 0 no start, 1 or 2 the side's only way out (along, against), 3 any way.
    std::vector<int> ways(static_cast<std::size_t>(r.nods) + 1, 0);
    for (std::size_t i = 0; i < starts.size(); ++i) {
      const bool binds = sides[i] != DrivingSide::Both && TwoWay(all, r.closed, starts[i], true);
      ways[starts[i]] |= binds ? (sides[i] == DrivingSide::Right ? 1 : 2) : 3;
    }
    const auto first = [&](const Way& w) {
      return ways[w.a.from] == 3 || (ways[w.a.from] != 0 && (w.a.from == w.a.to || (ways[w.a.from] & (w.a.along ? 1 : 2)) != 0));
    };
    typedef boost::adjacency_list<boost::vecS, boost::vecS, boost::directedS, boost::no_property,
                                  boost::property<boost::edge_weight_t, double>>
        Graph;
    const std::size_t source = static_cast<std::size_t>(r.nods) + 1;
    Graph g(source + 1);
    for (const Way& w : all) {
      if (r.closed[w.a.from] != 0) continue;
      boost::add_edge(w.a.from, w.a.to, w.cost, g);
      if (first(w)) boost::add_edge(source, w.a.to, w.cost, g);
    }
    for (std::int32_t v = 1; v <= r.nods; ++v) {
      if (ways[v] == 3) boost::add_edge(source, v, 0.0, g);
    }
    std::vector<double> d(boost::num_vertices(g), kInf);
    boost::dijkstra_shortest_paths(g, source, boost::distance_map(&d[0]));
    NServiceArea_stru area;
    NFinding_stru err;
    ASSERT_EQ(kelvane::tools::FindSidedServiceArea(view, starts, sides, limit, NRouteOptions_stru(), area, &err), 1)
        << err.strText;
    std::vector<std::int32_t> nods;
    for (std::int32_t v = 1; v <= r.nods; ++v) {
      if (ways[v] != 0 || d[v] <= limit) nods.push_back(v);
    }
    ASSERT_EQ(area.nods, nods);
    for (std::size_t i = 0; i < nods.size(); ++i) {
      EXPECT_NEAR(area.costs[i], ways[nods[i]] != 0 ? 0.0 : d[nods[i]], 1e-9) << "node " << nods[i];
    }
    std::vector<std::pair<double, double>> share(static_cast<std::size_t>(r.edges) + 1, {0.0, 0.0});
    std::vector<char> inArea(static_cast<std::size_t>(r.edges) + 1, 0);
    for (const Way& w : all) {
      if (r.closed[w.a.from] != 0) continue;
      const double tail = first(w) ? 0.0 : d[w.a.from];
      if (tail > limit) continue;
      const double part = w.cost == 0.0 ? 1.0 : std::min(1.0, (limit - tail) / w.cost);
      double& side = w.a.along ? share[w.a.edge].first : share[w.a.edge].second;
      side = std::max(side, part);
      if (part > 0.0 || w.cost == 0.0) inArea[w.a.edge] = 1;
    }
    std::vector<std::int32_t> gotEdges;
    for (const NAreaEdge_stru& ae : area.edges) {
      gotEdges.push_back(ae.lEdge);
      EXPECT_NEAR(ae.dFromFrac, share[ae.lEdge].first, 1e-9) << "edge " << ae.lEdge;
      EXPECT_NEAR(ae.dToFrac, share[ae.lEdge].second, 1e-9) << "edge " << ae.lEdge;
    }
    std::vector<std::int32_t> wantEdges;
    for (std::int32_t e = 1; e <= r.edges; ++e) {
      if (inArea[e] != 0) wantEdges.push_back(e);
    }
    EXPECT_EQ(gotEdges, wantEdges);
    // Directed or not, one start's area is what the sided matrix gives from it.
    NRouteOptions_stru undirected;
    undirected.bDirected = round % 2 == 0;
    std::vector<std::int32_t> every;
    for (std::int32_t v = 1; v <= r.nods; ++v) every.push_back(v);
    std::vector<double> m;
    ASSERT_EQ(kelvane::tools::FindSidedCostMatrix(view, {starts[0]}, {sides[0]}, every, {}, undirected, m, &err), 1);
    ASSERT_EQ(kelvane::tools::FindSidedServiceArea(view, {starts[0]}, {sides[0]}, limit, undirected, area, &err), 1);
    std::vector<std::int32_t> near;
    for (std::int32_t v = 1; v <= r.nods; ++v) {
      if (m[v - 1] <= limit) near.push_back(v);
    }
    ASSERT_EQ(area.nods, near);
    for (std::size_t i = 0; i < near.size(); ++i) EXPECT_NEAR(area.costs[i], m[near[i] - 1], 1e-9) << near[i];
    // With every side Both, the plain area.
    NServiceArea_stru plain;
    ASSERT_EQ(FindServiceArea(view, starts, limit, undirected, plain, &err), 1) << err.strText;
    ASSERT_EQ(kelvane::tools::FindSidedServiceArea(view, starts, std::vector<DrivingSide>(starts.size(), DrivingSide::Both),
                                                   limit, undirected, area, &err),
              1);
    EXPECT_EQ(area.nods, plain.nods);
    EXPECT_EQ(area.costs, plain.costs);
    EXPECT_EQ(area.reachedBy, plain.reachedBy);
    ASSERT_EQ(area.edges.size(), plain.edges.size());
    for (std::size_t i = 0; i < area.edges.size(); ++i) {
      EXPECT_EQ(area.edges[i].lEdge, plain.edges[i].lEdge);
      EXPECT_EQ(area.edges[i].dFromFrac, plain.edges[i].dFromFrac);
      EXPECT_EQ(area.edges[i].dToFrac, plain.edges[i].dToFrac);
    }
  }
}

}  // namespace
