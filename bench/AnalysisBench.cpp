// AnalysisBench.cpp - the network view and the analyses on it, beside the
// same work done by the peers a host compares us with, in the same process:
// building the view against the floor search over the public tables, a
// connected trace on a built view against plain CSR, Boost Graph's
// adjacency_list and compressed_sparse_row_graph and LEMON's ListGraph and
// StaticDigraph, view plus one trace against the trace through the calls,
// components against Boost's, two threads on one view against one, and the
// view's bytes against the tables it reads.
//
// Arguments: grid side (1000 or 100) and numbering (0 row-major, 1 permuted),
// the grids of TraversalBench. Every trace must reach the same nodes as the
// CSR search; the first run of each form checks it and stops otherwise.
#include <benchmark/benchmark.h>

#include <boost/graph/adjacency_list.hpp>
#include <boost/graph/connected_components.hpp>
#include <boost/graph/strong_components.hpp>

#include <cstdint>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "kelvane/tools/Components.h"
#include "kelvane/tools/NetworkView.h"
#include "kelvane/tools/TraceAnalysis.h"
#include "support/GridCases.h"
#include "support/GridNetwork.h"
#include "support/TraversalBaselines.h"

using namespace kelvane::tools;

namespace {

using kelvane_bench::Abort;

using kelvane_bench::BglAdjacency;
using BglDirected = boost::adjacency_list<boost::vecS, boost::vecS, boost::directedS>;

// Share of the streets made one-way for the strong components, half of them
// each way round.
constexpr double kOneWayShare = 0.3;

// One generated network in every form, built the first time a benchmark asks:
// the shared baselines, the library's network and view on the same grid, and
// the one-way grid for the strong components.
class Networks : public kelvane_bench::TraversalBaselines {
 public:
  Networks(std::int32_t side, bool permuted) : TraversalBaselines(side, permuted) {
    kelvane_bench::FillNetwork(graph_, lists_, net_);
    if (net_.StartTrace() != 1) Abort("StartTrace");
    if (view_.Build(net_) != 1) Abort("CNetworkView::Build");
    // The one-way grid: the same streets, every one-way street closed the
    // other way by its state byte, and the arcs Boost gets for it.
    std::mt19937_64 rng(20240611);
    kelvane_bench::FillNetwork(graph_, lists_, oneWay_);
    for (std::int32_t e = 1; e <= graph_.Edges(); ++e) {
      const double u = static_cast<double>(rng() >> 11) / 9007199254740992.0;
      if (u < kOneWayShare / 2) {
        oneWay_.m_pUpEdgeState[e - 1] = 1;  // along only
      } else if (u < kOneWayShare) {
        oneWay_.m_pDownEdgeState[e - 1] = 1;  // against only
      }
    }
    if (oneWayView_.Build(oneWay_) != 1) Abort("CNetworkView::Build, one-way grid");
  }

  // Thread-safe: the two-thread case asks from both threads.
  static Networks& Get(const benchmark::State& state) { return kelvane_bench::NetworksFor<Networks>(state); }

  // --- The view ---
  std::int64_t BuildView(CNetworkView& view) const {
    if (view.Build(net_) != 1) Abort("CNetworkView::Build");
    return view.GetNodNum();
  }

  NTraceQuery_stru TraceQuery() const {
    NTraceQuery_stru q;
    q.eKind = NTraceKind::Connected;
    q.starts.push_back(graph_.source);
    return q;
  }

  static std::int64_t ViewTrace(const CNetworkView& view, const NTraceQuery_stru& q, NTraceResult_stru& r) {
    if (TraceNetwork(view, q, r) != 1) Abort("TraceNetwork");
    return static_cast<std::int64_t>(r.nods.size());
  }

  std::int64_t ViewTrace(NTraceResult_stru& r) const { return ViewTrace(view_, TraceQuery(), r); }

  std::int64_t BuildAndTrace(NTraceResult_stru& r) {
    CNetworkView view;
    BuildView(view);
    return ViewTrace(view, TraceQuery(), r);
  }

  std::int64_t Components(NComponentKind kind, NComponents_stru& comps) const {
    const CNetworkView& view = kind == NComponentKind::Weak ? view_ : oneWayView_;
    if (FindComponents(view, kind, NElemSet_stru(), comps) != 1) Abort("FindComponents");
    return comps.lCount;
  }

  // --- The trace through the public calls (TraversalBench's BM_TraceLibrary) ---
  std::int64_t LibrarySearch() { return TraversalBaselines::LibrarySearch(net_); }

  // --- The public tables read inline (TraversalBench's BM_TraceTablesInline):
  // the floor the tables' layout sets for one pass over them ---
  std::int64_t TablesSearch() { return TraversalBaselines::TablesSearch(net_); }

  // --- Boost Graph Library: the components (the searches are the baselines') ---
  // The one-way grid as Boost's directed graph: one arc per open way.
  BglDirected& BoostOneWay() {
    if (!bglOneWay_) {
      bglOneWay_.reset(new BglDirected(static_cast<std::size_t>(graph_.nodes)));
      for (std::int32_t e = 1; e <= graph_.Edges(); ++e) {
        const NEdgeNod_stru& en = graph_.ends[static_cast<std::size_t>(e - 1)];
        const std::size_t from = static_cast<std::size_t>(en.lFromNod - 1);
        const std::size_t to = static_cast<std::size_t>(en.lToNod - 1);
        if (oneWay_.m_pDownEdgeState[e - 1] != 1) boost::add_edge(from, to, *bglOneWay_);
        if (oneWay_.m_pUpEdgeState[e - 1] != 1) boost::add_edge(to, from, *bglOneWay_);
      }
    }
    return *bglOneWay_;
  }

  std::int64_t BoostWeak() {
    BglAdjacency& g = BoostAdjacency();
    comp_.resize(static_cast<std::size_t>(graph_.nodes));
    colors_.resize(static_cast<std::size_t>(graph_.nodes));
    auto colorMap = boost::make_iterator_property_map(colors_.begin(), boost::get(boost::vertex_index, g));
    auto compMap = boost::make_iterator_property_map(comp_.begin(), boost::get(boost::vertex_index, g));
    return boost::connected_components(g, compMap, boost::color_map(colorMap));
  }

  std::int64_t BoostStrong() {
    BglDirected& g = BoostOneWay();
    comp_.resize(static_cast<std::size_t>(graph_.nodes));
    root_.resize(static_cast<std::size_t>(graph_.nodes));
    discover_.resize(static_cast<std::size_t>(graph_.nodes));
    auto index = boost::get(boost::vertex_index, g);
    return boost::strong_components(g, boost::make_iterator_property_map(comp_.begin(), index),
                                    boost::root_map(boost::make_iterator_property_map(root_.begin(), index))
                                        .discover_time_map(boost::make_iterator_property_map(discover_.begin(), index)));
  }

  const CNetworkView& View() const { return view_; }
  std::size_t TableBytes() const { return kelvane_bench::TableBytes(net_); }

 private:
  CLocalNetwork net_;
  CLocalNetwork oneWay_;
  CNetworkView view_;
  CNetworkView oneWayView_;

  std::vector<std::size_t> comp_, root_, discover_;
  std::unique_ptr<BglDirected> bglOneWay_;
};

// Runs one form, checking its first result against the CSR search when it is a trace.
template <class Run>
void RunCase(benchmark::State& state, const char* form, bool bTrace, Run run) {
  Networks& nets = Networks::Get(state);
  const std::int64_t first = run(nets);
  if (bTrace) nets.Check(first, form);
  std::int64_t result = 0;
  for (auto _ : state) {
    result = run(nets);
    benchmark::DoNotOptimize(result);
  }
  state.counters["nodes"] = nets.Nodes();
  state.counters["edges"] = nets.Edges();
  state.counters[bTrace ? "reached" : "result"] = static_cast<double>(result);
}

// --- Building the view, and what it holds ---
void BM_ViewBuild(benchmark::State& state) {
  Networks& nets = Networks::Get(state);
  RunCase(state, "view build", false, [](Networks& n) {
    CNetworkView view;
    return n.BuildView(view);
  });
  const double viewBytes = static_cast<double>(nets.View().GetMemoryBytes());
  const double tableBytes = static_cast<double>(nets.TableBytes());
  state.counters["view_bytes"] = viewBytes;
  state.counters["table_bytes"] = tableBytes;
  state.counters["view_per_table"] = viewBytes / tableBytes;
}

void BM_TraceTablesInline(benchmark::State& state) {
  RunCase(state, "tables inline", true, [](Networks& n) { return n.TablesSearch(); });
}

// --- A connected trace on a built view, and the peers ---
void BM_TraceView(benchmark::State& state) {
  NTraceResult_stru result;
  RunCase(state, "TraceNetwork", true, [&result](Networks& n) { return n.ViewTrace(result); });
}

void BM_TraceCsr(benchmark::State& state) {
  RunCase(state, "CSR", true, [](Networks& n) { return n.CsrSearch(); });
}

void BM_TraceBoostAdjacencyList(benchmark::State& state) {
  RunCase(state, "Boost adjacency_list", true, [](Networks& n) { return n.BoostSearch(n.BoostAdjacency()); });
}

void BM_TraceBoostCsrGraph(benchmark::State& state) {
  RunCase(state, "Boost compressed_sparse_row_graph", true, [](Networks& n) { return n.BoostSearch(n.BoostCsr()); });
}

void BM_TraceLemonListGraph(benchmark::State& state) {
  RunCase(state, "LEMON ListGraph", true, [](Networks& n) { return n.LemonListSearch(); });
}

void BM_TraceLemonStaticDigraph(benchmark::State& state) {
  RunCase(state, "LEMON StaticDigraph", true, [](Networks& n) { return n.LemonStaticSearch(); });
}

// --- View plus one trace, against the trace through the calls ---
void BM_ViewBuildAndTrace(benchmark::State& state) {
  NTraceResult_stru result;
  RunCase(state, "view build + TraceNetwork", true, [&result](Networks& n) { return n.BuildAndTrace(result); });
}

void BM_TraceLibraryCalls(benchmark::State& state) {
  RunCase(state, "library calls", true, [](Networks& n) { return n.LibrarySearch(); });
}

// --- Components ---
void BM_ComponentsWeak(benchmark::State& state) {
  NComponents_stru comps;
  RunCase(state, "FindComponents weak", false,
          [&comps](Networks& n) { return n.Components(NComponentKind::Weak, comps); });
}

void BM_BoostConnectedComponents(benchmark::State& state) {
  RunCase(state, "Boost connected_components", false, [](Networks& n) { return n.BoostWeak(); });
}

void BM_ComponentsStrong(benchmark::State& state) {
  NComponents_stru comps;
  RunCase(state, "FindComponents strong", false,
          [&comps](Networks& n) { return n.Components(NComponentKind::Strong, comps); });
}

void BM_BoostStrongComponents(benchmark::State& state) {
  RunCase(state, "Boost strong_components", false, [](Networks& n) { return n.BoostStrong(); });
}

// --- Traces from one and from two threads on one view: analyses per second ---
void BM_TraceViewThreads(benchmark::State& state) {
  Networks& nets = Networks::Get(state);
  const NTraceQuery_stru query = nets.TraceQuery();
  NTraceResult_stru result;  // each thread its own
  for (auto _ : state) {
    benchmark::DoNotOptimize(Networks::ViewTrace(nets.View(), query, result));
  }
  state.SetItemsProcessed(state.iterations());  // one analysis per iteration
}

// What plain code gets from a second core at the same time: the CSR search
// from one and two threads, each with its own buffers.
void BM_TraceCsrThreads(benchmark::State& state) {
  Networks& nets = Networks::Get(state);
  std::vector<unsigned char> visited;
  std::vector<std::int32_t> queue(static_cast<std::size_t>(nets.Nodes()));
  for (auto _ : state) {
    benchmark::DoNotOptimize(nets.CsrSearchIn(visited, queue));
  }
  state.SetItemsProcessed(state.iterations());
}

void RegisterAll() {
  using Fn = void (*)(benchmark::State&);
  const std::pair<const char*, Fn> cases[] = {
      {"BM_ViewBuild", BM_ViewBuild},
      {"BM_TraceTablesInline", BM_TraceTablesInline},
      {"BM_TraceView", BM_TraceView},
      {"BM_TraceCsr", BM_TraceCsr},
      {"BM_TraceBoostAdjacencyList", BM_TraceBoostAdjacencyList},
      {"BM_TraceBoostCsrGraph", BM_TraceBoostCsrGraph},
      {"BM_TraceLemonListGraph", BM_TraceLemonListGraph},
      {"BM_TraceLemonStaticDigraph", BM_TraceLemonStaticDigraph},
      {"BM_ViewBuildAndTrace", BM_ViewBuildAndTrace},
      {"BM_TraceLibraryCalls", BM_TraceLibraryCalls},
      {"BM_ComponentsWeak", BM_ComponentsWeak},
      {"BM_BoostConnectedComponents", BM_BoostConnectedComponents},
      {"BM_ComponentsStrong", BM_ComponentsStrong},
      {"BM_BoostStrongComponents", BM_BoostStrongComponents},
  };
  kelvane_bench::ForEachGrid([&cases](const std::vector<std::int64_t>& args, benchmark::TimeUnit unit) {
    for (const auto& c : cases) kelvane_bench::RegisterOnGrid(c.first, c.second, args, unit);
    // Wall time: two threads are worth it only if they finish more traces per second.
    kelvane_bench::RegisterOnGrid("BM_TraceViewThreads", BM_TraceViewThreads, args, unit)
        ->UseRealTime()->Threads(1)->Threads(2);
    kelvane_bench::RegisterOnGrid("BM_TraceCsrThreads", BM_TraceCsrThreads, args, unit)
        ->UseRealTime()->Threads(1)->Threads(2);
  });
}

[[maybe_unused]] const int registered = (RegisterAll(), 0);

}  // namespace
