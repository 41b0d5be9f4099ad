// RouteSearch.h - the one search engine behind routes, costs, matrices,
// service areas and closest facilities (never installed): a node-labelled
// search for plain costs and an edge-based one, labelled per step entry, for
// turn costs, each forward from the starts or in reverse toward them.
#ifndef KELVANE_SRC_TOOLS_ROUTESEARCH_H
#define KELVANE_SRC_TOOLS_ROUTESEARCH_H

#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "kelvane/tools/NetworkView.h"
#include "kelvane/tools/Progress.h"
#include "kelvane/tools/SearchWorkspace.h"
#include "kelvane/tools/RouteTypes.h"
#include "tools/AnalysisInt.h"
#include "tools/SearchHeap.h"
#include "tools/StepRules.h"
#include "tools/ToolsInt.h"

namespace kelvane {
namespace tools {

// The first labels a turn search queues at one node (forward: arriving by
// a step; in reverse: leaving by one), kept so that a label need not be
// queued, or a way on need not be tried, when one of them takes that way at
// no more cost. Two distinct arrivals cover every way on from a crossing
// that forbids U-turns; the third helps where turn weights differ. A queued
// slot's cost is the one it was queued at (its label can only get cheaper);
// a settled one's is final and its ways on are relaxed.
struct NArrivals {
  static constexpr int kKeep = 3;
  double d[kKeep];          // cost; +infinity for an empty slot
  std::int16_t pos[kKeep];  // the edge's position in the node's list; -1: every turn free (the start)
  unsigned char settled;    // bit k: slot k's label has been settled
};

// One label of the restricted search: a place (a node, or a step entry
// arrived by) in one state of the call's restrictions.
struct NRestrictedLabel {
  double d;                // least cost; +infinity for none yet
  std::int64_t lPred;      // the label stepped from; -1 for the start
  std::int64_t lArrivedBy; // the step entry taken into it
};

// The restricted search's own part of a state: its labels of the state on no
// restriction's path, one per place, the only ones as many as the network.
// Between searches every one is empty (+infinity, -1, -1), as is every
// node's best arrival along and against, and touched is empty.
struct NRestrictedState {
  std::vector<NRestrictedLabel> labels;  // per place: node number, or step entry with turns or sides
  std::vector<std::int64_t> touched;     // places whose label was given a cost
  std::vector<double> alongDist;         // per node n - 1, with sides: the best arrival along an edge
  std::vector<double> againstDist;       // and against one

  std::size_t MemoryBytes() const {
    return labels.capacity() * sizeof(NRestrictedLabel) + touched.capacity() * sizeof(std::int64_t) +
           (alongDist.capacity() + againstDist.capacity()) * sizeof(double);
  }
};

// What one search works in, kept between calls by a workspace. Between
// searches dist and label are +infinity everywhere, wait 0 and the heap
// empty, so a search writes only what it reaches and clears only that.
struct NSearchState {
  std::vector<double> dist;             // per node n - 1: least cost
  std::vector<std::int64_t> pred;       // per node n - 1: the entry it was reached by, -1 a start; where dist is finite
  std::vector<std::int32_t> owner;      // per node n - 1: the index of its start; closest facility, where dist is finite
  std::vector<std::int32_t> settled;    // node search: nodes in the order settled; turns, restricted: nodes given a cost
  std::vector<double> stepCost;         // per step entry: its cost under one call's rules
  std::uint64_t stepCostStamp = 0;      // the view build stepCost was gathered from; 0 none or barriers
  unsigned char stepCostRule = 0;       // and its rule: bit 0 directed, bit 1 reverse
  std::vector<double> label;            // per step entry: cost of the turn search's label
  std::vector<std::int64_t> labelPred;  // per step entry: the label it came from, -1 a first step
  std::vector<std::int64_t> touched;    // labels given a cost
  std::vector<NArrivals> arrivals;      // per node n - 1, turn search: the first labels queued; empty unless touched
  std::vector<unsigned char> wait;      // per node n - 1: 1 for a node the search waits for
  std::vector<std::int32_t> waitList;   // the nodes marked in wait
  std::vector<unsigned char> edgeMarks; // per edge number: ArrivalsMirrorLeaving's scratch, all 0
  NRestrictedState restricted;          // the restricted and sided routes' labels; dist, settled and heap shared
  CSearchHeap heap;

  std::size_t MemoryBytes() const;
};

// Grows v to n entries, the new ones fill; a state only grows, so that a
// workspace serves every network up to the largest it has searched.
template <class T>
void GrowTo(std::vector<T>& v, std::size_t n, T fill) {
  if (v.size() < n) v.resize(n, fill);
}

// A node queued at a cost of its own before a node search runs, reached by
// step entry lPred (listed at the node it leaves): a first step a start's
// driving side allows.
struct NSearchSeed {
  std::int32_t lNod;
  double dCost;
  std::int64_t lPred;
};

// How one search runs.
struct NSearchRun {
  bool bReverse = false;    // toward the starts over the steps that arrive
  std::int32_t lStop = 0;   // > 0: stop once this node has its cost
  double dLimit = kNoRoute; // settle nothing beyond
  bool bPred = false;       // keep the entry each node was reached by
  bool bOwner = false;      // closest facility: each node's start, ties to the first listed
  bool bWait = false;       // stop once every node marked by Wait has its cost
  const std::vector<NSearchSeed>* pSeeds = nullptr;  // node searches: queued beside the starts
};

// One search's rules over a state. Node labels are indexed n - 1; turn
// labels by step entry: forward, the entry left by (listed at the node
// left); in reverse, the entry arrived by (listed at the node arrived at).
// The destructor clears what the search wrote, so the state serves the
// next search as new.
class CRouteSearch {
 public:
  CRouteSearch(const CNetworkView& view, bool bDirected, const NBarrierBits& barriers, NSearchState& st,
               const NProgress_stru* pProgress = nullptr);
  ~CRouteSearch() { Clear(); }
  CRouteSearch(const CRouteSearch&) = delete;
  CRouteSearch& operator=(const CRouteSearch&) = delete;

  // Least costs from the starts (each at 0) to every node within the limit,
  // or in reverse to the starts. false: the host asked to stop.
  bool RunNodes(const std::vector<std::int32_t>& starts, const NSearchRun& run);
  // Edge-based, turn weights added at every node passed; dist gets each
  // node's best arrival (in reverse: its best way out). false: stopped.
  bool RunTurns(std::int32_t lStart, const NSearchRun& run);
  // Marks node v as one a run with bWait waits for. Before the run.
  void Wait(std::int32_t v);
  // Takes from other every node it settled at a lower cost than this search
  // gives it, with its entry: this search then holds the least costs from
  // both sets of starts, ties to its own entry. Both ran RunNodes with bPred
  // and the same limit, no stop rule, over the same view and barriers. A
  // node new here joins Settled() after this search's own (no longer in
  // cost order) and is cleared with them; owners are not taken.
  void MergeCheaper(const CRouteSearch& other);
  // Restores the state for the next search.
  void Clear();

  double Dist(std::int32_t v) const { return m_st.dist[static_cast<std::size_t>(v - 1)]; }
  // Every node's cost into out, +infinity where not reached, in one pass:
  // after a search run to the end (no stop, limit or wait), which leaves a
  // finite cost only on the nodes it settled (node search) or gave a cost
  // (turns), all in Settled().
  void CopyAllDist(std::vector<double>& out) const {
    const double* d = m_st.dist.data();
    out.assign(d, d + m_view.GetNodNum());
  }
  const std::vector<std::int32_t>& Settled() const { return m_st.settled; }
  std::int32_t Edge(std::int64_t j) const { return m_pEdge[j]; }
  // The edge by which v was reached (in reverse: left toward the starts); 0
  // for a start or a node not reached. After a run with bPred.
  std::int32_t ReachedBy(std::int32_t v) const;
  std::int32_t Owner(std::int32_t v) const { return m_st.owner[static_cast<std::size_t>(v - 1)]; }
  // The cost of using entry j from the end of its edge that its node is
  // (bFromEnd: the from node), under the rules and the direction of the
  // search; +infinity for no way. The one rule the searches and the service
  // areas' shares read.
  double EndCost(std::int64_t j, bool bReverse, bool bFromEnd) const;
  // Whether entry j's edge or far node is a barrier, or in reverse its far
  // node closed: the step is not taken.
  bool Blocked(std::int64_t j, bool bReverse) const {
    return (m_pBarriers->bAny && (m_pBarriers->edges.Test(m_pEdge[j]) || m_pBarriers->nods.Test(m_pFar[j]))) ||
           (bReverse && m_pClosed[m_pFar[j]] != 0);
  }
  // Calls f(j, u) for every entry j listed at a node u that leaves for t, t
  // excluded, found over the network's own list of t's edges: the steps into
  // a closed node, which has none of its own to arrive by.
  template <class F>
  void ForEachStepInto(std::int32_t t, F f) const {
    const CLocalNetwork* net = m_view.GetNetwork();
    const NNodConn_stru& conn = net->m_pNodConn[t - 1];
    const std::int64_t nList = conn.sConnNum > 0 ? std::min<std::int64_t>(conn.sConnNum, Entries(conn.pConnEdge)) : 0;
    for (std::int64_t i = 0; i < nList; ++i) {
      const std::int32_t entry = conn.pConnEdge[i];
      const std::int32_t e = entry == INT32_MIN ? 0 : (entry < 0 ? -entry : entry);
      if (e < 1 || e > m_view.GetEdgeNum()) continue;
      const NEdgeNod_stru en = net->m_pEdgeNod[e - 1];
      for (int end = 0; end < 2; ++end) {
        const std::int32_t u = end == 0 ? en.lFromNod : en.lToNod;
        if (u == t || u < 1 || u > m_view.GetNodNum() || (end == 1 && u == en.lFromNod)) continue;
        for (std::int64_t j = m_pFirst[u]; j < m_pFirst[u + 1]; ++j) {
          if (m_pEdge[j] == e && m_pFar[j] == t) f(j, u);
        }
      }
    }
  }
  // The path to lTarget from the last forward run with bPred (cost finite).
  void TracePath(std::int32_t lTarget, bool bTurns, NPath_stru& path) const;

 private:
  template <bool kReverse, bool kDirected, bool kBarriers>
  void Nodes(const NSearchRun& run);
  template <bool kReverse, bool kTree>
  void NodesAll(const NSearchRun& run);
  template <bool kReverse, bool kDirected, bool kBarriers>
  void Turns(const NSearchRun& run);
  double StepCost(std::int64_t j, bool bReverse, bool& bFromEnd) const;
  const double* GatherCosts(bool bReverse);
  void SeedNode(std::int32_t v, std::int32_t lOwner, bool bReverse);
  void SeedClosedTarget(std::int32_t t, bool bTurns);
  void SetDist(std::int32_t v, double d, std::int64_t pred, std::int32_t lOwner);
  void PushLabel(std::int64_t j, double d, std::int64_t pred);
  template <bool kReverse, bool kDirected, bool kBarriers>
  double StepOf(std::int64_t j, const double* gathered) const;
  template <bool kReverse, bool kDirected, bool kBarriers>
  bool Covered(std::int64_t j, double d, const double* gathered, bool bAhead) const;
  void KeepArrival(std::int32_t v, double d, std::int16_t pos, bool bSettled);
  bool Settle(std::int32_t u, const NSearchRun& run);
  bool ArriveLabel(std::int32_t v, double d, std::int64_t i, const NSearchRun& run);
  std::int32_t NodeOfEntry(std::int64_t j) const;
  bool Poll();

  const CNetworkView& m_view;
  bool m_bDirected;
  const NBarrierBits* m_pBarriers;
  NSearchState& m_st;
  const NProgress_stru* m_pProgress;
  const std::int64_t* m_pFirst;
  const std::int32_t* m_pFar;
  const std::int32_t* m_pEdge;
  const unsigned char* m_pWays;
  const unsigned char* m_pClosed;
  const double* m_pAlong;
  const double* m_pAgainst;
  bool m_bTurnLabels = false;      // the last run was edge-based
  bool m_bStopped = false;         // the host asked to stop
  bool m_bDone = false;            // a stop rule was met
  double m_dLimit = kNoRoute;      // the last node run's limit: it settled every cost within it
  std::int32_t m_nWaiting = 0;     // marked nodes still without a cost
  std::uint32_t m_nSincePoll = 0;  // settled since the host was last asked
  std::int64_t m_lBestLabel = -1;  // forward turn search: the target's best arrival
};

// The state of thread i of a call: the workspace's when the options lend
// one, else own (made here and freed by the holder).
class CStateHold {
 public:
  CStateHold(const NRouteOptions_stru& opt, std::size_t i)
      : m_pState(opt.pWork != nullptr ? &opt.pWork->State(i) : nullptr) {
    if (m_pState == nullptr) {
      m_own.reset(new NSearchState());
      m_pState = m_own.get();
    }
  }
  NSearchState& Get() { return *m_pState; }

 private:
  std::unique_ptr<NSearchState> m_own;
  NSearchState* m_pState;
};

}  // namespace tools
}  // namespace kelvane

#endif  // KELVANE_SRC_TOOLS_ROUTESEARCH_H
