// RouteBench.cpp - least-cost searches on the network view beside the same
// searches in the peers a host would otherwise pick: Boost Graph's
// dijkstra_shortest_paths on its compressed_sparse_row_graph and LEMON's
// Dijkstra on StaticDigraph, over the same street grid with the same cost per
// edge in both directions.
//
// Arguments: grid side (1000 or 100) and numbering (0 row-major, 1 permuted).
// One to all: every form must give the library's costs (checked on the first
// run). Turns: every crossing has a matrix (no U-turns, a small cost for the
// others), measured against the same search on the same view without them.
// Service area: everything within the cost that reaches a quarter of the
// nodes, with the share of every edge reached, against Boost stopped at the
// same limit.
//
// Every form reports "faults", the page faults per call (getrusage), with
// glibc's default allocator. The Work forms keep a search workspace between
// calls; costs to a node run the reverse search on the same grid; closest
// facility is one search from 100 starts; the matrices are 16 sources by 16
// targets on one thread and on two, and 64 sources by 4 targets (searched
// from the targets) beside the same as 64 one-source matrices; one to one
// is 50 routes between nodes spread over the grid, against Boost stopped at
// each target; the area of many starts is 32 starts spread over the grid,
// each reaching about a fiftieth of the nodes, on one thread and on two.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <boost/graph/compressed_sparse_row_graph.hpp>
#include <boost/graph/dijkstra_shortest_paths.hpp>
#include <boost/range/iterator_range.hpp>
#include <lemon/dijkstra.h>
#include <lemon/static_graph.h>

#include <algorithm>
#include <thread>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <utility>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "kelvane/tools/Landmarks.h"
#include "kelvane/tools/NetworkView.h"
#include "kelvane/tools/SearchWorkspace.h"
#include "kelvane/tools/ServiceArea.h"
#include "kelvane/tools/ShortestPath.h"
#include "support/GridCases.h"
#include "support/GridNetwork.h"

using namespace kelvane::tools;

namespace {

using kelvane_bench::Abort;

struct Arc {
  double dCost;
  std::int32_t lEdge;
  bool bAlong;
};
using BglCsr = boost::compressed_sparse_row_graph<boost::directedS, boost::no_property, Arc>;
using LemonLengths = lemon::StaticDigraph::ArcMap<double>;

struct StopSearch {};

// Stops Boost's search at the first vertex beyond the limit, keeping those
// within it in the order examined.
struct LimitVisitor : boost::default_dijkstra_visitor {
  LimitVisitor(const std::vector<double>* dist, double limit, std::vector<std::size_t>* seen)
      : dist_(dist), limit_(limit), seen_(seen) {}
  template <class Vertex, class Graph>
  void examine_vertex(Vertex u, const Graph&) const {
    if ((*dist_)[u] > limit_) throw StopSearch();
    seen_->push_back(u);
  }
  const std::vector<double>* dist_;
  double limit_;
  std::vector<std::size_t>* seen_;
};

// Stops Boost's search once the target is examined.
struct TargetVisitor : boost::default_dijkstra_visitor {
  explicit TargetVisitor(std::size_t target) : target_(target) {}
  template <class Vertex, class Graph>
  void examine_vertex(Vertex u, const Graph&) const {
    if (u == target_) throw StopSearch();
  }
  std::size_t target_;
};

// Counts the vertices Boost's search examines before the target.
struct CountingTargetVisitor : boost::default_dijkstra_visitor {
  CountingTargetVisitor(std::size_t target, std::int64_t* count) : target_(target), count_(count) {}
  template <class Vertex, class Graph>
  void examine_vertex(Vertex u, const Graph&) const {
    ++*count_;
    if (u == target_) throw StopSearch();
  }
  std::size_t target_;
  std::int64_t* count_;
};

class Networks {
 public:
  Networks(std::int32_t side, bool permuted)
      : graph_(kelvane_bench::MakeStreetGrid(side, 0.05, permuted)), lists_(kelvane_bench::MakeConnLists(graph_)) {
    Fill(net_, false);
    Fill(turnNet_, true);
    NViewOptions_stru opt;
    opt.lAlongFld = 0;
    NFinding_stru err;
    if (view_.Build(net_, opt, &err) != 1 || turnView_.Build(turnNet_, opt, &err) != 1) Abort(err.strText.c_str());
    if (!turnView_.HasTurns()) Abort("no turns in the view");
    // Boost and LEMON: both directions of every edge, in node order.
    std::vector<std::pair<std::size_t, std::size_t>> arcs;
    std::vector<Arc> props;
    for (std::int32_t n = 1; n <= graph_.nodes; ++n) {
      for (std::uint32_t i = lists_.first[static_cast<std::size_t>(n - 1)]; i < lists_.first[static_cast<std::size_t>(n)]; ++i) {
        const std::int32_t entry = lists_.entry[i];
        const std::int32_t e = entry < 0 ? -entry : entry;
        const NEdgeNod_stru& ends = graph_.ends[static_cast<std::size_t>(e - 1)];
        const std::int32_t far = entry < 0 ? ends.lToNod : ends.lFromNod;
        arcs.emplace_back(static_cast<std::size_t>(n - 1), static_cast<std::size_t>(far - 1));
        props.push_back(Arc{kelvane_bench::StreetCost(e), e, entry < 0});
      }
    }
    bgl_.reset(new BglCsr(boost::edges_are_sorted, arcs.begin(), arcs.end(), props.begin(),
                          static_cast<std::size_t>(graph_.nodes)));
    std::vector<std::pair<int, int>> larcs;
    for (const auto& a : arcs) larcs.emplace_back(static_cast<int>(a.first), static_cast<int>(a.second));
    lemon_.reset(new lemon::StaticDigraph);
    lemon_->build(graph_.nodes, larcs.begin(), larcs.end());
    lengths_.reset(new LemonLengths(*lemon_));
    for (std::size_t i = 0; i < props.size(); ++i) (*lengths_)[lemon_->arc(static_cast<int>(i))] = props[i].dCost;
    lemonDijkstra_.reset(new lemon::Dijkstra<lemon::StaticDigraph, LemonLengths>(*lemon_, *lengths_));
    dist_.resize(static_cast<std::size_t>(graph_.nodes));
    pred_.resize(static_cast<std::size_t>(graph_.nodes));
    // The limit that reaches a quarter of the nodes.
    LibraryCosts(false);
    std::vector<double> finite;
    for (double c : costs_) {
      if (c < 1e300) finite.push_back(c);
    }
    std::sort(finite.begin(), finite.end());
    limit_ = finite[finite.size() / 4];
    manyLimit_ = finite[finite.size() / 50];
  }

  static Networks& Get(const benchmark::State& state) { return kelvane_bench::NetworksFor<Networks>(state); }

  // --- The library ---
  double LibraryCosts(bool bTurns) {
    NRouteOptions_stru opt;
    opt.bTurns = bTurns;
    if (FindCostsFrom(bTurns ? turnView_ : view_, graph_.source, opt, costs_) != 1) Abort("FindCostsFrom");
    return Sum(costs_);
  }
  double LibraryTurnViewPlain() {
    NRouteOptions_stru opt;
    opt.bTurns = false;
    if (FindCostsFrom(turnView_, graph_.source, opt, costs_) != 1) Abort("FindCostsFrom");
    return Sum(costs_);
  }
  double LibraryCostsWork(bool bTurns) {
    NRouteOptions_stru opt;
    opt.bTurns = bTurns;
    opt.pWork = &work_;
    if (FindCostsFrom(bTurns ? turnView_ : view_, graph_.source, opt, costs_) != 1) Abort("FindCostsFrom");
    return Sum(costs_);
  }
  double LibraryCostsTo(bool bWork) {
    NRouteOptions_stru opt;
    opt.pWork = bWork ? &work_ : nullptr;
    if (kelvane::tools::FindCostsTo(view_, graph_.source, opt, costs_) != 1) Abort("FindCostsTo");
    return Sum(costs_);
  }
  double LibraryClosest() {
    NRouteOptions_stru opt;
    opt.pWork = &work_;
    if (kelvane::tools::FindClosestFacility(view_, Spread(100), opt, closest_) != 1) Abort("FindClosestFacility");
    return Sum(closest_.costs);
  }
  double LibraryMatrix(std::int32_t lThreads) {
    NRouteOptions_stru opt;
    opt.pWork = &work_;
    opt.lThreads = lThreads;
    const std::vector<std::int32_t> nods = Spread(32);
    const std::vector<std::int32_t> from(nods.begin(), nods.begin() + 16);
    const std::vector<std::int32_t> to(nods.begin() + 16, nods.end());
    if (FindCostMatrix(view_, from, to, opt, matrix_) != 1) Abort("FindCostMatrix");
    return Sum(matrix_);
  }
  // 64 sources by 4 targets, searched from the targets; bySource: as 64
  // matrices of one source each, the searches from the sources it replaces.
  double LibraryMatrixTall(bool bBySource) {
    NRouteOptions_stru opt;
    opt.pWork = &work_;
    const std::vector<std::int32_t> nods = Spread(68);
    const std::vector<std::int32_t> from(nods.begin(), nods.begin() + 64);
    const std::vector<std::int32_t> to(nods.begin() + 64, nods.end());
    if (!bBySource) {
      if (FindCostMatrix(view_, from, to, opt, matrix_) != 1) Abort("FindCostMatrix");
      return Sum(matrix_);
    }
    double sum = 0.0;
    std::vector<std::int32_t> one(1, 0);
    for (std::int32_t v : from) {
      one[0] = v;
      if (FindCostMatrix(view_, one, to, opt, matrix_) != 1) Abort("FindCostMatrix");
      sum += Sum(matrix_);
    }
    return sum;
  }
  // What deciding for the targets' side costs: a matrix of one node five
  // times by itself, whose one search ends as it starts, after the pass over
  // the lists.
  double LibraryMatrixListCheck() {
    NRouteOptions_stru opt;
    opt.pWork = &work_;
    const std::int32_t v = Spread(1)[0];
    if (FindCostMatrix(view_, std::vector<std::int32_t>(5, v), {v}, opt, matrix_) != 1) Abort("FindCostMatrix");
    return Sum(matrix_);
  }
  double LibraryAreaWork() {
    NRouteOptions_stru opt;
    opt.pWork = &work_;
    if (FindServiceArea(view_, {graph_.source}, limit_, opt, area_) != 1) Abort("FindServiceArea");
    return static_cast<double>(area_.nods.size() + area_.edges.size());
  }
  // The area of 32 starts spread over the grid, each start's own about 2%
  // of the nodes (fewer at the border), on lThreads threads.
  double LibraryAreaManyStarts(std::int32_t lThreads) {
    NRouteOptions_stru opt;
    opt.pWork = &work_;
    opt.lThreads = lThreads;
    if (FindServiceArea(view_, Spread(32), manyLimit_, opt, area_) != 1) Abort("FindServiceArea");
    return static_cast<double>(area_.nods.size() + area_.edges.size()) + Sum(area_.costs);
  }
  double AreaShare() const { return static_cast<double>(area_.nods.size()) / graph_.nodes; }
  // 50 routes between nodes spread over the grid, the sum of their costs.
  double LibraryPairs() {
    NRouteOptions_stru opt;
    opt.pWork = &work_;
    opt.bTurns = false;
    const std::vector<std::int32_t> nods = Spread(100);
    double sum = 0.0;
    for (std::size_t i = 0; i < 50; ++i) {
      if (FindShortestPath(view_, nods[i], nods[i + 50], opt, path_) != 1) Abort("FindShortestPath");
      sum += path_.dCost;
    }
    return sum;
  }
  // The same 50 routes guided by 16 landmarks, built on first use.
  double LibraryPairsAhead() {
    NRouteOptions_stru opt;
    opt.pWork = &work_;
    opt.bTurns = false;
    opt.pLandmarks = &Marks();
    const std::vector<std::int32_t> nods = Spread(100);
    double sum = 0.0;
    for (std::size_t i = 0; i < 50; ++i) {
      if (FindShortestPath(view_, nods[i], nods[i + 50], opt, path_) != 1) Abort("FindShortestPath");
      sum += path_.dCost;
    }
    return sum;
  }
  const CLandmarks& Marks() {
    if (marks_.GetCount() == 0) {
      NFinding_stru err;
      if (marks_.Build(view_, 16, &err) != 1) Abort(err.strText.c_str());
    }
    return marks_;
  }
  // Every route guided and plain at the same cost; the nodes each settles,
  // per route: the plain search, guided, and Boost stopped at the target.
  void CountPairs(double& plain, double& ahead, double& boost) {
    NRouteOptions_stru opt;
    opt.pWork = &work_;
    opt.bTurns = false;
    NRouteOptions_stru guided = opt;
    guided.pLandmarks = &Marks();
    const std::vector<std::int32_t> nods = Spread(100);
    std::int64_t nPlain = 0;
    std::int64_t nAhead = 0;
    std::int64_t nBoost = 0;
    for (std::size_t i = 0; i < 50; ++i) {
      NPath_stru a;
      NPath_stru b;
      if (FindShortestPath(view_, nods[i], nods[i + 50], opt, a) != 1 ||
          FindShortestPath(view_, nods[i], nods[i + 50], guided, b) != 1) {
        Abort("FindShortestPath");
      }
      Check(b.dCost, a.dCost, "one to one, landmarks");
      nPlain += CountRouteSettled(view_, nods[i], nods[i + 50], opt);
      nAhead += CountRouteSettled(view_, nods[i], nods[i + 50], guided);
      const std::size_t t = static_cast<std::size_t>(nods[i + 50] - 1);
      try {
        boost::dijkstra_shortest_paths(
            *bgl_, boost::vertex(static_cast<std::size_t>(nods[i] - 1), *bgl_),
            boost::weight_map(boost::get(&Arc::dCost, *bgl_))
                .distance_map(boost::make_iterator_property_map(dist_.begin(), boost::get(boost::vertex_index, *bgl_)))
                .visitor(CountingTargetVisitor(t, &nBoost)));
      } catch (const StopSearch&) {
      }
    }
    plain = static_cast<double>(nPlain) / 50.0;
    ahead = static_cast<double>(nAhead) / 50.0;
    boost = static_cast<double>(nBoost) / 50.0;
  }
  double BoostPairs() {
    const BglCsr& g = *bgl_;
    const std::vector<std::int32_t> nods = Spread(100);
    double sum = 0.0;
    for (std::size_t i = 0; i < 50; ++i) {
      const std::size_t t = static_cast<std::size_t>(nods[i + 50] - 1);
      try {
        boost::dijkstra_shortest_paths(
            g, boost::vertex(static_cast<std::size_t>(nods[i] - 1), g),
            boost::weight_map(boost::get(&Arc::dCost, g))
                .distance_map(boost::make_iterator_property_map(dist_.begin(), boost::get(boost::vertex_index, g)))
                .predecessor_map(boost::make_iterator_property_map(pred_.begin(), boost::get(boost::vertex_index, g)))
                .visitor(TargetVisitor(t)));
      } catch (const StopSearch&) {
      }
      sum += dist_[t];
    }
    return sum;
  }
  double LibraryArea() {
    if (FindServiceArea(view_, {graph_.source}, limit_, NRouteOptions_stru(), area_) != 1) Abort("FindServiceArea");
    return static_cast<double>(area_.nods.size() + area_.edges.size());
  }

  // --- Boost ---
  double BoostCosts() {
    const BglCsr& g = *bgl_;
    boost::dijkstra_shortest_paths(
        g, boost::vertex(static_cast<std::size_t>(graph_.source - 1), g),
        boost::weight_map(boost::get(&Arc::dCost, g))
            .distance_map(boost::make_iterator_property_map(dist_.begin(), boost::get(boost::vertex_index, g)))
            .predecessor_map(boost::make_iterator_property_map(pred_.begin(), boost::get(boost::vertex_index, g))));
    return Sum(dist_);
  }
  // The matrix's 16 sources searched to every vertex by Boost, spread over
  // lThreads threads (each its own distances): what plain code gets from a
  // second core on this machine, beside what the library's matrix gets.
  double BoostMatrix(std::int32_t lThreads) {
    const std::vector<std::int32_t> nods = Spread(32);
    const BglCsr& g = *bgl_;
    std::vector<double> sums(static_cast<std::size_t>(lThreads), 0.0);
    auto part = [&](std::int32_t t) {
      std::vector<double> dist(static_cast<std::size_t>(graph_.nodes));
      std::vector<std::size_t> pred(static_cast<std::size_t>(graph_.nodes));
      for (std::int32_t i = t; i < 16; i += lThreads) {
        boost::dijkstra_shortest_paths(
            g, boost::vertex(static_cast<std::size_t>(nods[static_cast<std::size_t>(i)] - 1), g),
            boost::weight_map(boost::get(&Arc::dCost, g))
                .distance_map(boost::make_iterator_property_map(dist.begin(), boost::get(boost::vertex_index, g)))
                .predecessor_map(boost::make_iterator_property_map(pred.begin(), boost::get(boost::vertex_index, g))));
        for (std::size_t k = 16; k < 32; ++k) sums[static_cast<std::size_t>(t)] += dist[static_cast<std::size_t>(nods[k] - 1)];
      }
    };
    std::vector<std::thread> threads;
    for (std::int32_t t = 1; t < lThreads; ++t) threads.emplace_back(part, t);
    part(0);
    for (std::thread& th : threads) th.join();
    double sum = 0.0;
    for (double x : sums) sum += x;
    return sum;
  }
  // The same area: the vertices within the limit, ascending, and for each
  // arc out of them the share reached, gathered per edge.
  double BoostArea() {
    const BglCsr& g = *bgl_;
    seen_.clear();
    try {
      boost::dijkstra_shortest_paths(
          g, boost::vertex(static_cast<std::size_t>(graph_.source - 1), g),
          boost::weight_map(boost::get(&Arc::dCost, g))
              .distance_map(boost::make_iterator_property_map(dist_.begin(), boost::get(boost::vertex_index, g)))
              .predecessor_map(boost::make_iterator_property_map(pred_.begin(), boost::get(boost::vertex_index, g)))
              .visitor(LimitVisitor(&dist_, limit_, &seen_)));
    } catch (const StopSearch&) {
    }
    std::vector<std::size_t> nods(seen_);
    std::sort(nods.begin(), nods.end());
    edgeShares_.clear();
    for (std::size_t u : seen_) {
      for (auto a : boost::make_iterator_range(boost::out_edges(u, g))) {
        const Arc& p = g[a];
        const double f = std::min(1.0, (limit_ - dist_[u]) / p.dCost);
        if (f > 0.0) edgeShares_.emplace_back(p.lEdge, p.bAlong ? f : -f);
      }
    }
    std::sort(edgeShares_.begin(), edgeShares_.end());
    std::size_t edges = 0;
    for (std::size_t i = 0; i < edgeShares_.size(); ++i) {
      if (i == 0 || edgeShares_[i].first != edgeShares_[i - 1].first) ++edges;
    }
    return static_cast<double>(nods.size() + edges);
  }

  // --- LEMON ---
  double LemonCosts() {
    lemonDijkstra_->run(lemon_->node(graph_.source - 1));
    for (int n = 0; n < graph_.nodes; ++n) {
      const lemon::StaticDigraph::Node v = lemon_->node(n);
      dist_[static_cast<std::size_t>(n)] = lemonDijkstra_->reached(v) ? lemonDijkstra_->dist(v) : 1e308 * 10;
    }
    return Sum(dist_);
  }

  void Check(double got, double want, const char* form) const {
    if (std::fabs(got - want) > 1e-9 * std::fabs(want)) {
      std::fprintf(stderr, "%s: %.17g, the library %.17g\n", form, got, want);
      Abort("the forms disagree");
    }
  }
  std::int32_t Nodes() const { return graph_.nodes; }
  // count nodes spread evenly over the numbers.
  std::vector<std::int32_t> Spread(std::int32_t count) const {
    std::vector<std::int32_t> out;
    for (std::int32_t i = 0; i < count; ++i) {
      out.push_back(1 + static_cast<std::int32_t>((static_cast<std::int64_t>(i) * 7919 * 131) % graph_.nodes));
    }
    return out;
  }

 private:
  static double Sum(const std::vector<double>& v) {
    double s = 0.0;
    for (double c : v) {
      if (c < 1e300) s += c;
    }
    return s;
  }

  void Fill(CLocalNetwork& net, bool bTurns) { kelvane_bench::FillStreetNetwork(graph_, lists_, net, bTurns); }

  kelvane_bench::RoadGraph graph_;
  kelvane_bench::ConnLists lists_;
  CLocalNetwork net_;
  CLocalNetwork turnNet_;
  CNetworkView view_;
  CNetworkView turnView_;
  std::vector<double> costs_;
  NServiceArea_stru area_;
  NPath_stru path_;
  kelvane::tools::CSearchWorkspace work_;
  CLandmarks marks_;
  kelvane::tools::NClosestFacility_stru closest_;
  std::vector<double> matrix_;
  double limit_ = 0.0;
  double manyLimit_ = 0.0;  // one start's area: a fiftieth of the nodes
  std::unique_ptr<BglCsr> bgl_;
  std::vector<double> dist_;
  std::vector<std::size_t> pred_;
  std::vector<std::size_t> seen_;
  std::vector<std::pair<std::int32_t, double>> edgeShares_;
  std::unique_ptr<lemon::StaticDigraph> lemon_;
  std::unique_ptr<LemonLengths> lengths_;
  std::unique_ptr<lemon::Dijkstra<lemon::StaticDigraph, LemonLengths>> lemonDijkstra_;
};

template <class Search>
void Run(benchmark::State& state, const char* form, Search search, bool check) {
  Networks& nets = Networks::Get(state);
  const double got = search(nets);
  if (check) nets.Check(got, nets.LibraryCosts(false), form);
  double r = 0.0;
  rusage before{};
  getrusage(RUSAGE_SELF, &before);
  for (auto _ : state) {
    r = search(nets);
    benchmark::DoNotOptimize(r);
  }
  rusage after{};
  getrusage(RUSAGE_SELF, &after);
  state.counters["nodes"] = nets.Nodes();
  state.counters["faults"] = static_cast<double>(after.ru_minflt - before.ru_minflt) /
                             static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
}

void BM_RouteLibrary(benchmark::State& s) { Run(s, "library", [](Networks& n) { return n.LibraryCosts(false); }, false); }
void BM_RouteBoostCsrGraph(benchmark::State& s) { Run(s, "Boost", [](Networks& n) { return n.BoostCosts(); }, true); }
void BM_RouteLemonStaticDigraph(benchmark::State& s) { Run(s, "LEMON", [](Networks& n) { return n.LemonCosts(); }, true); }
void BM_RouteLibraryTurnViewNoTurns(benchmark::State& s) {
  Run(s, "library, turn view", [](Networks& n) { return n.LibraryTurnViewPlain(); }, true);
}
void BM_RouteLibraryTurns(benchmark::State& s) { Run(s, "library, turns", [](Networks& n) { return n.LibraryCosts(true); }, false); }
void BM_AreaLibrary(benchmark::State& s) { Run(s, "library area", [](Networks& n) { return n.LibraryArea(); }, false); }
void BM_AreaBoostCsrGraph(benchmark::State& s) {
  Networks& nets = Networks::Get(s);
  if (nets.BoostArea() != nets.LibraryArea()) Abort("the areas disagree");
  Run(s, "Boost area", [](Networks& n) { return n.BoostArea(); }, false);
}

void BM_RouteLibraryWork(benchmark::State& s) {
  Run(s, "library, workspace", [](Networks& n) { return n.LibraryCostsWork(false); }, true);
}
void BM_RouteLibraryTurnsWork(benchmark::State& s) {
  Run(s, "library, turns, workspace", [](Networks& n) { return n.LibraryCostsWork(true); }, false);
}
// The grid's costs are the same both ways, so the costs to the source are
// the costs from it.
void BM_CostsToLibrary(benchmark::State& s) {
  Run(s, "library, costs to", [](Networks& n) { return n.LibraryCostsTo(false); }, true);
}
void BM_CostsToLibraryWork(benchmark::State& s) {
  Run(s, "library, costs to, workspace", [](Networks& n) { return n.LibraryCostsTo(true); }, true);
}
void BM_ClosestFacility100Work(benchmark::State& s) {
  Run(s, "closest facility", [](Networks& n) { return n.LibraryClosest(); }, false);
}
void BM_Matrix16x16Threads1(benchmark::State& s) {
  Run(s, "matrix", [](Networks& n) { return n.LibraryMatrix(1); }, false);
}
void BM_Matrix16x16Threads2(benchmark::State& s) {
  Networks& nets = Networks::Get(s);
  if (nets.LibraryMatrix(2) != nets.LibraryMatrix(1)) Abort("the matrices disagree");
  Run(s, "matrix, two threads", [](Networks& n) { return n.LibraryMatrix(2); }, false);
}
void BM_Matrix64x4(benchmark::State& s) {
  Networks& nets = Networks::Get(s);
  const double a = nets.LibraryMatrixTall(false);
  const double b = nets.LibraryMatrixTall(true);
  if (std::fabs(a - b) > 1e-9 * std::fabs(b)) Abort("the targets' side disagrees with the sources'");
  Run(s, "matrix 64 x 4", [](Networks& n) { return n.LibraryMatrixTall(false); }, false);
}
void BM_Matrix64x4BySource(benchmark::State& s) {
  Run(s, "matrix 64 x 4, by source", [](Networks& n) { return n.LibraryMatrixTall(true); }, false);
}
void BM_MatrixListCheck(benchmark::State& s) {
  Run(s, "matrix list check", [](Networks& n) { return n.LibraryMatrixListCheck(); }, false);
}
// Wall time ("Time") is what two threads win; the CPU column is the calling
// thread's alone.
void BM_Matrix16BoostThreads1(benchmark::State& s) {
  Run(s, "Boost matrix", [](Networks& n) { return n.BoostMatrix(1); }, false);
}
void BM_Matrix16BoostThreads2(benchmark::State& s) {
  Networks& nets = Networks::Get(s);
  const double one = nets.BoostMatrix(1);
  if (std::abs(nets.BoostMatrix(2) - one) > 1e-9 * one) Abort("the Boost matrices disagree");
  Run(s, "Boost matrix, two threads", [](Networks& n) { return n.BoostMatrix(2); }, false);
}
void BM_AreaLibraryWork(benchmark::State& s) { Run(s, "library area", [](Networks& n) { return n.LibraryAreaWork(); }, false); }
// Items are starts; timed by the wall clock (registered with UseRealTime),
// so that items per second of two threads over one is the gain. "share": the
// whole area's part of the nodes.
void AreaManyStarts(benchmark::State& s, std::int32_t lThreads) {
  Networks& nets = Networks::Get(s);
  if (nets.LibraryAreaManyStarts(lThreads) != nets.LibraryAreaManyStarts(1)) Abort("the threaded area disagrees");
  Run(s, "area of 32 starts", [lThreads](Networks& n) { return n.LibraryAreaManyStarts(lThreads); }, false);
  s.SetItemsProcessed(s.iterations() * 32);
  s.counters["share"] = nets.AreaShare();
}
void BM_AreaManyStartsThreads1(benchmark::State& s) { AreaManyStarts(s, 1); }
void BM_AreaManyStartsThreads2(benchmark::State& s) { AreaManyStarts(s, 2); }

void BM_OneToOne50PairsLibraryWork(benchmark::State& s) {
  Networks& nets = Networks::Get(s);
  nets.Check(nets.BoostPairs(), nets.LibraryPairs(), "Boost, one to one");
  Run(s, "one to one", [](Networks& n) { return n.LibraryPairs(); }, false);
}
void BM_OneToOne50PairsBoostCsrGraph(benchmark::State& s) {
  Run(s, "Boost, one to one", [](Networks& n) { return n.BoostPairs(); }, false);
}

// Routes guided by landmarks (built once, outside the timing) on the same
// 50 pairs; "settled" is nodes settled per route, beside the plain search's
// and Boost's stopped at the target.
void BM_OneToOne50PairsLandmarksWork(benchmark::State& s) {
  Networks& nets = Networks::Get(s);
  double plain = 0.0;
  double ahead = 0.0;
  double boost = 0.0;
  nets.CountPairs(plain, ahead, boost);
  Run(s, "one to one, landmarks", [](Networks& n) { return n.LibraryPairsAhead(); }, false);
  s.counters["settled"] = ahead;
  s.counters["settledPlain"] = plain;
  s.counters["settledBoost"] = boost;
}

void RegisterAll() {
  const std::pair<const char*, void (*)(benchmark::State&)> all[] = {
      {"BM_RouteLibrary", BM_RouteLibrary},
      {"BM_RouteBoostCsrGraph", BM_RouteBoostCsrGraph},
      {"BM_RouteLemonStaticDigraph", BM_RouteLemonStaticDigraph},
      {"BM_RouteLibraryTurnViewNoTurns", BM_RouteLibraryTurnViewNoTurns},
      {"BM_RouteLibraryTurns", BM_RouteLibraryTurns},
      {"BM_AreaLibrary", BM_AreaLibrary},
      {"BM_AreaBoostCsrGraph", BM_AreaBoostCsrGraph},
      {"BM_RouteLibraryWork", BM_RouteLibraryWork},
      {"BM_RouteLibraryTurnsWork", BM_RouteLibraryTurnsWork},
      {"BM_CostsToLibrary", BM_CostsToLibrary},
      {"BM_CostsToLibraryWork", BM_CostsToLibraryWork},
      {"BM_ClosestFacility100Work", BM_ClosestFacility100Work},
      {"BM_AreaLibraryWork", BM_AreaLibraryWork},
      {"BM_Matrix16x16Threads1", BM_Matrix16x16Threads1},
      {"BM_Matrix16x16Threads2", BM_Matrix16x16Threads2},
      {"BM_Matrix64x4", BM_Matrix64x4},
      {"BM_Matrix64x4BySource", BM_Matrix64x4BySource},
      {"BM_MatrixListCheck", BM_MatrixListCheck},
      {"BM_Matrix16BoostThreads1", BM_Matrix16BoostThreads1},
      {"BM_Matrix16BoostThreads2", BM_Matrix16BoostThreads2},
      {"BM_OneToOne50PairsLibraryWork", BM_OneToOne50PairsLibraryWork},
      {"BM_OneToOne50PairsBoostCsrGraph", BM_OneToOne50PairsBoostCsrGraph},
      {"BM_OneToOne50PairsLandmarksWork", BM_OneToOne50PairsLandmarksWork},
  };
  kelvane_bench::ForEachGrid([&all](const std::vector<std::int64_t>& args, benchmark::TimeUnit unit) {
    for (const auto& b : all) kelvane_bench::RegisterOnGrid(b.first, b.second, args, unit);
    kelvane_bench::RegisterOnGrid("BM_AreaManyStartsThreads1", BM_AreaManyStartsThreads1, args, unit)->UseRealTime();
    kelvane_bench::RegisterOnGrid("BM_AreaManyStartsThreads2", BM_AreaManyStartsThreads2, args, unit)->UseRealTime();
  });
}

[[maybe_unused]] const int registered = (RegisterAll(), 0);

}  // namespace
