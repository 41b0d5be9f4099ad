// RouteSearch.h - the least-cost searches that routes and service areas share
// (never installed): a node-labelled search for plain costs and an
// edge-based one, labelled per step entry, for turn costs.
#ifndef KELVANE_SRC_TOOLS_ROUTESEARCH_H
#define KELVANE_SRC_TOOLS_ROUTESEARCH_H

#include <cstdint>
#include <limits>
#include <vector>

#include "kelvane/tools/NetworkView.h"
#include "kelvane/tools/ShortestPath.h"
#include "tools/AnalysisInt.h"

namespace kelvane {
namespace tools {

constexpr double kNoRoute = std::numeric_limits<double>::infinity();

// A 4-ary min-heap of (cost, label) without decrease-key: an improved label
// is pushed again and its older entries are skipped when popped.
class CRouteHeap {
 public:
  struct Item {
    double dKey;
    std::int64_t lId;
  };
  bool Empty() const { return m_items.empty(); }
  void Push(double dKey, std::int64_t lId);
  Item Pop();

 private:
  // Keys alone: the heap's order depends only on the pushes and pops, which a
  // repeated call makes the same.
  static bool Less(const Item& a, const Item& b) { return a.dKey < b.dKey; }
  std::vector<Item> m_items;
};

// A 4-ary min-heap of nodes with decrease-key: each node is in it at most
// once, so a node search pops every node once and the heap stays small.
class CNodeHeap {
 public:
  struct Item {
    double dKey;
    std::int32_t lNod;
  };
  void Reset(std::size_t nNods) {
    m_pos.assign(nNods + 1, -1);
    m_items.clear();
  }
  bool Empty() const { return m_items.empty(); }
  // The node Pop returns next. REQUIRES: !Empty().
  std::int32_t TopNod() const { return m_items.front().lNod; }
  // Inserts lNod at dKey, or lowers its key to dKey when it is in the heap.
  void Push(double dKey, std::int32_t lNod);
  Item Pop();

 private:
  void Up(std::size_t i, Item x);
  std::vector<Item> m_items;
  std::vector<std::int32_t> m_pos;  // per node number: index in m_items, -1 when not in it
};

// One search's rules and labels. Node labels are indexed n - 1; turn labels
// by step entry (the entry left by, listed at the node left).
class CRouteSearch {
 public:
  CRouteSearch(const CNetworkView& view, bool bDirected, const NBarrierBits& barriers);

  // Least costs from the starts (each at 0) to every node within dLimit.
  // bPred keeps the way each node was reached; lTarget > 0 stops once it is
  // settled. m_settled lists the nodes settled, in cost order.
  void RunNodes(const std::vector<std::int32_t>& starts, std::int32_t lTarget, double dLimit, bool bPred);
  // Edge-based: a label per step entry taken, turn weights added at every
  // node passed. m_dist gets each node's best arrival.
  void RunTurns(std::int32_t lStart, std::int32_t lTarget, bool bPred);

  // The cost of leaving by entry j under the rules (+infinity: not taken),
  // and whether it goes along its edge.
  double StepCost(std::int64_t j, bool& bAlong) const;
  // The path to lTarget from the last run with bPred (its cost finite).
  void TracePath(std::int32_t lTarget, bool bTurns, NPath_stru& path) const;

  std::vector<double> m_dist;           // per node n - 1
  std::vector<std::int32_t> m_settled;  // RunNodes: nodes in the order settled
  // Asked once per label settled, across runs; a stop ends the run at once
  // (the labels are then partial: the caller refuses).
  CProgressPoll m_poll{nullptr, 0.0};

 private:
  template <bool kDirected, bool kBarriers>
  void Nodes(std::int32_t lTarget, double dLimit, bool bPred);
  void NodesAll();
  template <bool kDirected, bool kBarriers>
  void Turns(std::int32_t lTarget, bool bPred);
  bool Blocked(std::int64_t j) const {
    return m_pBarriers->edges.Test(m_pEdge[j]) || m_pBarriers->nods.Test(m_pFar[j]);
  }

  const CNetworkView& m_view;
  bool m_bDirected;
  const NBarrierBits* m_pBarriers;
  const std::int32_t* m_pFar;
  const std::int32_t* m_pEdge;
  const unsigned char* m_pWays;
  const double* m_pAlong;
  const double* m_pAgainst;
  CRouteHeap m_heap;
  CNodeHeap m_nodeHeap;
  std::vector<std::int64_t> m_predEntry;  // node labels: entry arrived by; turn labels: previous label; -1 none
  std::vector<std::int32_t> m_predNod;    // node labels: node left
  std::vector<double> m_stepCost;         // one-to-all: per step entry, its cost under the rules
  std::vector<double> m_label;            // turn labels: cost on arrival over the entry
  std::int64_t m_lBestLabel = -1;         // turn search: the target's best arrival
};

}  // namespace tools
}  // namespace kelvane

#endif  // KELVANE_SRC_TOOLS_ROUTESEARCH_H
