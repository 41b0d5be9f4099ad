// TraversalBench.cpp - a breadth-first trace through the library's public
// calls, beside the same search over the same network in the forms a host
// developer would otherwise pick: plain CSR with a byte per node, the Boost
// Graph Library's adjacency_list and compressed_sparse_row_graph, and LEMON's
// ListGraph and StaticDigraph. Edges are followed both ways in every form.
//
// Arguments: grid side (1000 or 100) and numbering (0 row-major, 1 permuted).
// Every form must reach the same number of nodes as the CSR search; the first
// run of each form checks it and stops the program otherwise.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "support/GridCases.h"
#include "support/GridNetwork.h"
#include "support/TraversalBaselines.h"

namespace {

using kelvane_bench::Abort;

// One generated network in every form, built the first time a benchmark asks:
// the shared baselines, and the library's network filled from the same grid.
class Networks : public kelvane_bench::TraversalBaselines {
 public:
  Networks(std::int32_t side, bool permuted) : TraversalBaselines(side, permuted) {}

  static Networks& Get(const benchmark::State& state) { return kelvane_bench::NetworksFor<Networks>(state); }

  // --- Library, through its public calls as a host makes them ---
  CLocalNetwork& Library() {
    if (!net_) {
      net_.reset(new CLocalNetwork);
      kelvane_bench::FillNetwork(graph_, lists_, *net_);
      if (net_->StartTrace() != 1) Abort("StartTrace");
    }
    return *net_;
  }

  std::int64_t LibrarySearch() { return TraversalBaselines::LibrarySearch(Library()); }

  // --- The library's own tables read inline: what their layout alone costs ---
  std::int64_t TablesSearch() { return TraversalBaselines::TablesSearch(Library()); }

 private:
  std::unique_ptr<CLocalNetwork> net_;
};

// Runs one form's search, checking its first result against the CSR search.
template <class Search>
void RunSearch(benchmark::State& state, const char* form, Search search) {
  Networks& nets = Networks::Get(state);
  nets.Check(search(nets), form);
  std::int64_t reached = 0;
  for (auto _ : state) {
    reached = search(nets);
    benchmark::DoNotOptimize(reached);
  }
  state.counters["nodes"] = nets.Nodes();
  state.counters["edges"] = nets.Edges();
  state.counters["reached"] = static_cast<double>(reached);
  state.SetItemsProcessed(state.iterations() * reached);
}

void BM_TraceLibrary(benchmark::State& state) {
  RunSearch(state, "library", [](Networks& n) { return n.LibrarySearch(); });
}

void BM_TraceTablesInline(benchmark::State& state) {
  RunSearch(state, "tables inline", [](Networks& n) { return n.TablesSearch(); });
}

void BM_TraceCsr(benchmark::State& state) {
  RunSearch(state, "CSR", [](Networks& n) { return n.CsrSearch(); });
}

void BM_TraceBoostAdjacencyList(benchmark::State& state) {
  RunSearch(state, "Boost adjacency_list", [](Networks& n) { return n.BoostSearch(n.BoostAdjacency()); });
}

void BM_TraceBoostCsrGraph(benchmark::State& state) {
  RunSearch(state, "Boost compressed_sparse_row_graph", [](Networks& n) { return n.BoostSearch(n.BoostCsr()); });
}

void BM_TraceLemonListGraph(benchmark::State& state) {
  RunSearch(state, "LEMON ListGraph", [](Networks& n) { return n.LemonListSearch(); });
}

void BM_TraceLemonStaticDigraph(benchmark::State& state) {
  RunSearch(state, "LEMON StaticDigraph", [](Networks& n) { return n.LemonStaticSearch(); });
}

void RegisterAll() {
  using Fn = void (*)(benchmark::State&);
  const std::pair<const char*, Fn> cases[] = {
      {"BM_TraceLibrary", BM_TraceLibrary},
      {"BM_TraceTablesInline", BM_TraceTablesInline},
      {"BM_TraceCsr", BM_TraceCsr},
      {"BM_TraceBoostAdjacencyList", BM_TraceBoostAdjacencyList},
      {"BM_TraceBoostCsrGraph", BM_TraceBoostCsrGraph},
      {"BM_TraceLemonListGraph", BM_TraceLemonListGraph},
      {"BM_TraceLemonStaticDigraph", BM_TraceLemonStaticDigraph},
  };
  kelvane_bench::ForEachGrid([&cases](const std::vector<std::int64_t>& args, benchmark::TimeUnit unit) {
    for (const auto& c : cases) kelvane_bench::RegisterOnGrid(c.first, c.second, args, unit);
  });
}

[[maybe_unused]] const int registered = (RegisterAll(), 0);

}  // namespace
