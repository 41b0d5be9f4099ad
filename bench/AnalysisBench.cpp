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
#include <boost/graph/breadth_first_search.hpp>
#include <boost/graph/compressed_sparse_row_graph.hpp>
#include <boost/graph/connected_components.hpp>
#include <boost/graph/strong_components.hpp>
#include <lemon/bfs.h>
#include <lemon/list_graph.h>
#include <lemon/static_graph.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "kelvane/tools/Components.h"
#include "kelvane/tools/NetworkView.h"
#include "kelvane/tools/TraceAnalysis.h"
#include "support/GridNetwork.h"

namespace {

using kelvane_bench::Abort;

using BglAdjacency = boost::adjacency_list<boost::vecS, boost::vecS, boost::undirectedS>;
using BglDirected = boost::adjacency_list<boost::vecS, boost::vecS, boost::directedS>;
using BglCsr = boost::compressed_sparse_row_graph<boost::directedS>;

// Share of the streets made one-way for the strong components, half of them
// each way round.
constexpr double kOneWayShare = 0.3;

// One generated network in every form, built the first time a benchmark asks.
class Networks {
 public:
  Networks(std::int32_t side, bool permuted)
      : graph_(kelvane_bench::MakeStreetGrid(side, 0.05, permuted)),
        lists_(kelvane_bench::MakeConnLists(graph_)),
        csr_(kelvane_bench::MakeCsr(graph_, lists_)) {
    kelvane_bench::FillNetwork(graph_, lists_, net_);
    if (net_.StartTrace() != 1) Abort("StartTrace");
    if (view_.Build(net_) != 1) Abort("CNetworkView::Build");
    queue_.resize(static_cast<std::size_t>(graph_.nodes));
    reached_ = CsrSearch();
    if (reached_ < graph_.nodes / 2) Abort("the source reaches less than half the grid");
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
  static Networks& Get(const benchmark::State& state) {
    static std::mutex lock;
    static std::map<std::pair<std::int64_t, std::int64_t>, std::unique_ptr<Networks>> cache;
    const std::lock_guard<std::mutex> hold(lock);
    std::unique_ptr<Networks>& slot = cache[{state.range(0), state.range(1)}];
    if (!slot) slot.reset(new Networks(static_cast<std::int32_t>(state.range(0)), state.range(1) != 0));
    return *slot;
  }

  void Check(std::int64_t reached, const char* form) const {
    if (reached != reached_) {
      std::fprintf(stderr, "%s reached %lld nodes, CSR %lld\n", form, static_cast<long long>(reached),
                   static_cast<long long>(reached_));
      Abort("the forms disagree");
    }
  }

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
  std::int64_t LibrarySearch() {
    net_.RestartTrace();
    std::size_t head = 0, tail = 0;
    net_.TraceNod(graph_.source);
    queue_[tail++] = graph_.source;
    while (head < tail) {
      const std::int32_t nod = queue_[head++];
      if (net_.GetNodConnEdgeS(nod, edges_) != 1) continue;
      const std::int32_t count = edges_.GetSize();
      for (std::int32_t i = 0; i < count; ++i) {
        const std::int32_t edge = edges_.GetAt(i);
        std::int32_t from = 0, to = 0;
        if (net_.GetEdgeFromToNod(edge, from, to) != 1) continue;
        net_.TraceEdge(edge);
        const std::int32_t other = from == nod ? to : from;
        if (net_.AskNodHasTrace(other) == 0) {
          net_.TraceNod(other);
          queue_[tail++] = other;
        }
      }
    }
    return static_cast<std::int64_t>(tail);
  }

  // --- The public tables read inline (TraversalBench's BM_TraceTablesInline):
  // the floor the tables' layout sets for one pass over them ---
  std::int64_t TablesSearch() {
    const std::size_t nodes = static_cast<std::size_t>(graph_.nodes);
    nodBits_.assign((nodes + 7) / 8, 0);
    edgeBits_.assign((static_cast<std::size_t>(graph_.Edges()) + 7) / 8, 0);
    std::size_t head = 0, tail = 0;
    auto mark = [](std::vector<unsigned char>& bits, std::int32_t k) {
      bits[static_cast<std::size_t>(k - 1) >> 3] |= static_cast<unsigned char>(1u << ((k - 1) & 7));
    };
    auto marked = [](const std::vector<unsigned char>& bits, std::int32_t k) {
      return (bits[static_cast<std::size_t>(k - 1) >> 3] >> ((k - 1) & 7)) & 1u;
    };
    mark(nodBits_, graph_.source);
    queue_[tail++] = graph_.source;
    while (head < tail) {
      const std::int32_t nod = queue_[head++];
      if (net_.m_pNodState[nod - 1] == 1) continue;
      const NNodConn_stru& conn = net_.m_pNodConn[nod - 1];
      for (std::int32_t i = 0; i < conn.sConnNum; ++i) {
        const std::int32_t entry = conn.pConnEdge[i];
        const std::int32_t edge = entry < 0 ? -entry : entry;
        if (net_.m_pUpEdgeState[edge - 1] == 1 && net_.m_pDownEdgeState[edge - 1] == 1) continue;
        const NEdgeNod_stru& ends = net_.m_pEdgeNod[edge - 1];
        mark(edgeBits_, edge);
        const std::int32_t other = ends.lFromNod == nod ? ends.lToNod : ends.lFromNod;
        if (!marked(nodBits_, other)) {
          mark(nodBits_, other);
          queue_[tail++] = other;
        }
      }
    }
    return static_cast<std::int64_t>(tail);
  }

  // --- Plain CSR with a byte per node ---
  std::int64_t CsrSearch() {
    const std::size_t nodes = static_cast<std::size_t>(graph_.nodes);
    visited_.assign(nodes, 0);
    std::size_t head = 0, tail = 0;
    const std::int32_t source = graph_.source - 1;
    visited_[static_cast<std::size_t>(source)] = 1;
    queue_[tail++] = source;
    const std::uint32_t* first = csr_.first.data();
    const std::int32_t* next = csr_.next.data();
    unsigned char* visited = visited_.data();
    while (head < tail) {
      const std::int32_t nod = queue_[head++];
      for (std::uint32_t i = first[nod]; i < first[nod + 1]; ++i) {
        const std::int32_t other = next[i];
        if (visited[other] == 0) {
          visited[other] = 1;
          queue_[tail++] = other;
        }
      }
    }
    return static_cast<std::int64_t>(tail);
  }

  // --- Boost Graph Library ---
  BglAdjacency& BoostAdjacency() {
    if (!bglAdjacency_) {
      bglAdjacency_.reset(new BglAdjacency(static_cast<std::size_t>(graph_.nodes)));
      for (const NEdgeNod_stru& e : graph_.ends) {
        boost::add_edge(static_cast<std::size_t>(e.lFromNod - 1), static_cast<std::size_t>(e.lToNod - 1),
                        *bglAdjacency_);
      }
    }
    return *bglAdjacency_;
  }

  BglCsr& BoostCsr() {
    if (!bglCsr_) {
      std::vector<std::pair<std::size_t, std::size_t>> arcs = Arcs<std::size_t>();
      bglCsr_.reset(new BglCsr(boost::edges_are_sorted, arcs.begin(), arcs.end(),
                               static_cast<std::size_t>(graph_.nodes)));
    }
    return *bglCsr_;
  }

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

  template <class Graph>
  std::int64_t BoostSearch(const Graph& g) {
    std::int64_t reached = 0;
    colors_.resize(static_cast<std::size_t>(graph_.nodes));
    auto colorMap = boost::make_iterator_property_map(colors_.begin(), boost::get(boost::vertex_index, g));
    boost::breadth_first_search(g, boost::vertex(static_cast<std::size_t>(graph_.source - 1), g),
                                boost::visitor(CountingVisitor(&reached)).color_map(colorMap));
    return reached;
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

  // --- LEMON ---
  std::int64_t LemonListSearch() {
    if (!lemonList_) {
      lemonList_.reset(new lemon::ListGraph);
      lemonList_->reserveNode(graph_.nodes);
      lemonList_->reserveEdge(graph_.Edges());
      std::vector<lemon::ListGraph::Node> nodes(static_cast<std::size_t>(graph_.nodes));
      for (lemon::ListGraph::Node& n : nodes) n = lemonList_->addNode();
      for (const NEdgeNod_stru& e : graph_.ends) {
        lemonList_->addEdge(nodes[static_cast<std::size_t>(e.lFromNod - 1)], nodes[static_cast<std::size_t>(e.lToNod - 1)]);
      }
      lemonListSource_ = nodes[static_cast<std::size_t>(graph_.source - 1)];
      lemonListBfs_.reset(new lemon::Bfs<lemon::ListGraph>(*lemonList_));
    }
    return LemonSearch(*lemonListBfs_, lemonListSource_);
  }

  std::int64_t LemonStaticSearch() {
    if (!lemonStatic_) {
      lemonStatic_.reset(new lemon::StaticDigraph);
      std::vector<std::pair<int, int>> arcs = Arcs<int>();
      lemonStatic_->build(graph_.nodes, arcs.begin(), arcs.end());
      lemonStaticBfs_.reset(new lemon::Bfs<lemon::StaticDigraph>(*lemonStatic_));
    }
    return LemonSearch(*lemonStaticBfs_, lemonStatic_->node(graph_.source - 1));
  }

  const CNetworkView& View() const { return view_; }
  std::int32_t Nodes() const { return graph_.nodes; }
  std::int32_t Edges() const { return graph_.Edges(); }
  std::size_t TableBytes() const { return kelvane_bench::TableBytes(net_); }

 private:
  struct CountingVisitor : boost::default_bfs_visitor {
    explicit CountingVisitor(std::int64_t* count) : count_(count) {}
    template <class Vertex, class Graph>
    void discover_vertex(Vertex, const Graph&) const {
      ++*count_;
    }
    std::int64_t* count_;
  };

  // Both directions of every edge, in source order (the CSR rows).
  template <class Index>
  std::vector<std::pair<Index, Index>> Arcs() const {
    std::vector<std::pair<Index, Index>> arcs;
    arcs.reserve(csr_.next.size());
    for (std::size_t n = 0; n + 1 < csr_.first.size(); ++n) {
      for (std::uint32_t i = csr_.first[n]; i < csr_.first[n + 1]; ++i) {
        arcs.emplace_back(static_cast<Index>(n), static_cast<Index>(csr_.next[i]));
      }
    }
    return arcs;
  }

  template <class Bfs, class Node>
  static std::int64_t LemonSearch(Bfs& bfs, Node source) {
    bfs.init();
    bfs.addSource(source);
    std::int64_t reached = 0;
    while (!bfs.emptyQueue()) {
      bfs.processNextNode();
      ++reached;
    }
    return reached;
  }

  kelvane_bench::RoadGraph graph_;
  kelvane_bench::ConnLists lists_;
  kelvane_bench::Csr csr_;
  CLocalNetwork net_;
  CLocalNetwork oneWay_;
  CNetworkView view_;
  CNetworkView oneWayView_;
  std::int64_t reached_ = 0;

  std::vector<std::int32_t> queue_;
  std::vector<unsigned char> visited_;
  std::vector<unsigned char> nodBits_, edgeBits_;
  std::vector<boost::default_color_type> colors_;
  std::vector<std::size_t> comp_, root_, discover_;
  CSmartArray<std::int32_t> edges_;

  std::unique_ptr<BglAdjacency> bglAdjacency_;
  std::unique_ptr<BglCsr> bglCsr_;
  std::unique_ptr<BglDirected> bglOneWay_;
  std::unique_ptr<lemon::ListGraph> lemonList_;
  lemon::ListGraph::Node lemonListSource_;
  std::unique_ptr<lemon::Bfs<lemon::ListGraph>> lemonListBfs_;
  std::unique_ptr<lemon::StaticDigraph> lemonStatic_;
  std::unique_ptr<lemon::Bfs<lemon::StaticDigraph>> lemonStaticBfs_;
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

// Every form over one network before the next network, so the figures of one
// network come from the same stretch of the run.
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
  const std::int64_t sides[] = {1000, 100};
  for (std::int64_t side : sides) {
    for (std::int64_t permuted = 0; permuted <= 1; ++permuted) {
      const std::vector<std::int64_t> args = {side, permuted};
      const benchmark::TimeUnit unit = side >= 1000 ? benchmark::kMillisecond : benchmark::kMicrosecond;
      for (const auto& c : cases) {
        benchmark::RegisterBenchmark(c.first, c.second)->Args(args)->ArgNames({"side", "permuted"})->Unit(unit);
      }
      // Wall time: two threads are worth it only if they finish more traces per second.
      benchmark::RegisterBenchmark("BM_TraceViewThreads", BM_TraceViewThreads)
          ->Args(args)->ArgNames({"side", "permuted"})->Unit(unit)->UseRealTime()->Threads(1)->Threads(2);
    }
  }
}

[[maybe_unused]] const int registered = (RegisterAll(), 0);

}  // namespace
