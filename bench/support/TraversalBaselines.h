// TraversalBaselines.h - one generated street grid and the breadth-first
// searches over it that the traversal and analysis benchmarks measure the
// library against: the trace through the library's public calls, the same
// questions asked of its public tables inline, plain CSR with a byte per node,
// the Boost Graph Library's adjacency_list and compressed_sparse_row_graph,
// and LEMON's ListGraph and StaticDigraph. Edges are followed both ways in
// every form, and every search returns the nodes it reached.
//
// The CSR search runs once when the grid is built; its count is the one every
// other form must reach (Check). The peers' graphs are built the first time a
// search asks for them.
#ifndef KELVANE_BENCH_SUPPORT_TRAVERSALBASELINES_H
#define KELVANE_BENCH_SUPPORT_TRAVERSALBASELINES_H

#include <boost/graph/adjacency_list.hpp>
#include <boost/graph/breadth_first_search.hpp>
#include <boost/graph/compressed_sparse_row_graph.hpp>
#include <lemon/bfs.h>
#include <lemon/list_graph.h>
#include <lemon/static_graph.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <utility>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "GridNetwork.h"

namespace kelvane_bench {

using BglAdjacency = boost::adjacency_list<boost::vecS, boost::vecS, boost::undirectedS>;
using BglCsr = boost::compressed_sparse_row_graph<boost::directedS>;

class TraversalBaselines {
 public:
  // The side x side grid with 5% of its streets removed, numbered row-major
  // or permuted.
  TraversalBaselines(std::int32_t side, bool permuted)
      : graph_(MakeStreetGrid(side, 0.05, permuted)), lists_(MakeConnLists(graph_)), csr_(MakeCsr(graph_, lists_)) {
    queue_.resize(static_cast<std::size_t>(graph_.nodes));
    reached_ = CsrSearch();
    // A source cut off by the removed streets would measure nothing.
    if (reached_ < graph_.nodes / 2) Abort("the source reaches less than half the grid");
  }

  // Stops the program unless a search reached as many nodes as the CSR search.
  void Check(std::int64_t reached, const char* form) const {
    if (reached != reached_) {
      std::fprintf(stderr, "%s reached %lld nodes, CSR %lld\n", form, static_cast<long long>(reached),
                   static_cast<long long>(reached_));
      Abort("the forms disagree");
    }
  }
  std::int64_t Reached() const { return reached_; }

  std::int32_t Nodes() const { return graph_.nodes; }
  std::int32_t Edges() const { return graph_.Edges(); }

  // --- The library, through its public calls as a host makes them, on net
  // (filled from this grid and with its trace started) ---
  std::int64_t LibrarySearch(CLocalNetwork& net) {
    net.RestartTrace();
    std::size_t head = 0, tail = 0;
    net.TraceNod(graph_.source);
    queue_[tail++] = graph_.source;
    while (head < tail) {
      const std::int32_t nod = queue_[head++];
      if (net.GetNodConnEdgeS(nod, edges_) != 1) continue;
      const std::int32_t count = edges_.GetSize();
      for (std::int32_t i = 0; i < count; ++i) {
        const std::int32_t edge = edges_.GetAt(i);
        std::int32_t from = 0, to = 0;
        if (net.GetEdgeFromToNod(edge, from, to) != 1) continue;
        net.TraceEdge(edge);
        const std::int32_t other = from == nod ? to : from;
        if (net.AskNodHasTrace(other) == 0) {
          net.TraceNod(other);
          queue_[tail++] = other;
        }
      }
    }
    return static_cast<std::int64_t>(tail);
  }

  // --- The library's own tables read inline: what their layout alone costs ---
  // The same questions the calls answer (node blocked, edge blocked both ways,
  // end nodes, a visit bit per node and per edge), asked of net's public
  // tables directly with no call and no range test. No implementation behind
  // the calls can touch less memory than this, so it bounds the library's
  // search.
  std::int64_t TablesSearch(const CLocalNetwork& net) {
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
      if (net.m_pNodState[nod - 1] == 1) continue;
      const NNodConn_stru& conn = net.m_pNodConn[nod - 1];
      for (std::int32_t i = 0; i < conn.sConnNum; ++i) {
        const std::int32_t entry = conn.pConnEdge[i];
        const std::int32_t edge = entry < 0 ? -entry : entry;
        if (net.m_pUpEdgeState[edge - 1] == 1 && net.m_pDownEdgeState[edge - 1] == 1) continue;
        const NEdgeNod_stru& ends = net.m_pEdgeNod[edge - 1];
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

  // --- Plain CSR with a byte per node: the practical limit ---
  std::int64_t CsrSearch() { return CsrSearchIn(visited_, queue_); }
  // The same in the caller's buffers (queue sized to the nodes), so that
  // threads can run it side by side on the one graph.
  std::int64_t CsrSearchIn(std::vector<unsigned char>& visitedBuf, std::vector<std::int32_t>& queue) const {
    const std::size_t nodes = static_cast<std::size_t>(graph_.nodes);
    visitedBuf.assign(nodes, 0);
    std::size_t head = 0, tail = 0;
    const std::int32_t source = graph_.source - 1;
    visitedBuf[static_cast<std::size_t>(source)] = 1;
    queue[tail++] = source;
    const std::uint32_t* first = csr_.first.data();
    const std::int32_t* next = csr_.next.data();
    unsigned char* visited = visitedBuf.data();
    while (head < tail) {
      const std::int32_t nod = queue[head++];
      for (std::uint32_t i = first[nod]; i < first[nod + 1]; ++i) {
        const std::int32_t other = next[i];
        if (visited[other] == 0) {
          visited[other] = 1;
          queue[tail++] = other;
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

  template <class Graph>
  std::int64_t BoostSearch(const Graph& g) {
    std::int64_t reached = 0;
    colors_.resize(static_cast<std::size_t>(graph_.nodes));
    auto colorMap = boost::make_iterator_property_map(colors_.begin(), boost::get(boost::vertex_index, g));
    boost::breadth_first_search(g, boost::vertex(static_cast<std::size_t>(graph_.source - 1), g),
                                boost::visitor(CountingVisitor(&reached)).color_map(colorMap));
    return reached;
  }

  // --- LEMON ---
  lemon::ListGraph& LemonList() {
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
    return *lemonList_;
  }

  lemon::StaticDigraph& LemonStatic() {
    if (!lemonStatic_) {
      lemonStatic_.reset(new lemon::StaticDigraph);
      std::vector<std::pair<int, int>> arcs = Arcs<int>();
      lemonStatic_->build(graph_.nodes, arcs.begin(), arcs.end());
      lemonStaticBfs_.reset(new lemon::Bfs<lemon::StaticDigraph>(*lemonStatic_));
    }
    return *lemonStatic_;
  }

  std::int64_t LemonListSearch() {
    LemonList();
    return LemonSearch(*lemonListBfs_, lemonListSource_);
  }

  std::int64_t LemonStaticSearch() {
    LemonStatic();
    return LemonSearch(*lemonStaticBfs_, lemonStatic_->node(graph_.source - 1));
  }

 protected:
  RoadGraph graph_;
  ConnLists lists_;
  Csr csr_;
  std::vector<boost::default_color_type> colors_;  // Boost's searches, reused

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

  std::int64_t reached_ = 0;

  std::vector<std::int32_t> queue_;
  std::vector<unsigned char> visited_;
  std::vector<unsigned char> nodBits_, edgeBits_;
  CSmartArray<std::int32_t> edges_;  // reused, as a host reuses its list

  std::unique_ptr<BglAdjacency> bglAdjacency_;
  std::unique_ptr<BglCsr> bglCsr_;
  std::unique_ptr<lemon::ListGraph> lemonList_;
  lemon::ListGraph::Node lemonListSource_;
  std::unique_ptr<lemon::Bfs<lemon::ListGraph>> lemonListBfs_;
  std::unique_ptr<lemon::StaticDigraph> lemonStatic_;
  std::unique_ptr<lemon::Bfs<lemon::StaticDigraph>> lemonStaticBfs_;
};

}  // namespace kelvane_bench

#endif  // KELVANE_BENCH_SUPPORT_TRAVERSALBASELINES_H
