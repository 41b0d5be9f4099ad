// NetworkView.h - a read-only picture of a filled network, made for analyses.
// Built in one pass over the network's tables, it holds per node the steps a
// traversal may take (edge, far node, which way along the edge), the costs of
// each edge in each direction decoded once from the host's weight columns, and
// the turn matrices. It answers the same steps as the connectivity queries,
// with the first generation's opposite up and down lists turned the right way
// round inside, so that every analysis reads the same in both builds.
//
//   CNetworkView view;
//   NViewOptions_stru opt;
//   opt.lAlongFld = 0;  opt.lAgainstFld = 1;   // cost and reverse cost columns
//   NFinding_stru err;
//   if (view.Build(net, opt, &err) != 1) report(err.strText);
//   // any number of threads may now run analyses on view at once
//
// The view keeps a pointer to its network and compares the network's counts
// with the ones it was built from before every analysis: after flag mapping
// has run again it refuses to answer until it is built anew. The network must
// outlive every use of the view; the view never writes it.
#ifndef KELVANE_TOOLS_NETWORKVIEW_H
#define KELVANE_TOOLS_NETWORKVIEW_H

#include <cstdint>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "kelvane/tools/Finding.h"
#include "kelvane/tools/Progress.h"
#include "kelvane/tools/ToolsConfig.h"

namespace kelvane {
namespace tools {

class CSplitIndex;
class CProgressPoll;  // the toolkit's own

struct NViewOptions_stru {
  // Weight column of the cost of going along an edge (from node to to node).
  // Negative: every edge costs 1 (a hop count).
  std::int32_t lAlongFld = -1;
  // Column of the cost of going against an edge; negative: the along column.
  std::int32_t lAgainstFld = -1;
  // Read the turn matrices when the network has turn weights (m_lTurnWgtFlag 1).
  bool bTurns = true;
  // When given, the pieces that flag mapping cut cost their original edge's
  // cost times the fraction of it they cover, so that the pieces of an edge
  // add up to it whatever the weight type. Only needed during Build.
  const CSplitIndex* pSplit = nullptr;
};

// One way to go from a node: over lEdge to lFar, along the edge (from its from
// node to its to node) or against it.
struct NStep_stru {
  std::int32_t lEdge;  // positive edge number
  std::int32_t lFar;   // the node at the other end
  bool bAlong;         // true: from node to to node
};

// What a step means for the node it is listed at.
enum class NStepSide : char {
  Leave = 0,   // one may leave the node by it (downstream)
  Arrive = 1,  // one may arrive at the node by it, from lFar (upstream)
};

class KELVANE_TOOLS_API CNetworkView {
 public:
  // Per step entry: the ways it may be used, as bits.
  static const unsigned char kLeaveAlong = 1;     // leave over the edge from its from node
  static const unsigned char kLeaveAgainst = 2;   // leave over the edge from its to node
  static const unsigned char kArriveAlong = 4;    // arrive at the edge's to node
  static const unsigned char kArriveAgainst = 8;  // arrive at the edge's from node
  static const unsigned char kLeave = kLeaveAlong | kLeaveAgainst;
  static const unsigned char kArrive = kArriveAlong | kArriveAgainst;

  CNetworkView();

  // Reads net. A step is a connection entry of a node that is open (state
  // other than 1) whose edge is open in the direction concerned: a node may be
  // left along an edge that starts at it and is open downward (down state not
  // 1), against an edge that ends at it and is open upward, and arrived at the
  // other way round. The current build tells the ends by the edge's nodes, the
  // first generation, as its queries do, by the entry's sign (-e starts, +e
  // ends here). Entries naming no edge, edges blocked both ways and steps
  // whose far node is not a node are passed over. A closed node has no steps
  // of its own but can be reached: analyses reach it and stop there.
  // Costs: a record of type 0, a negative cost or an infinite one means no way
  // in that direction (traces still pass; routes do not).
  // Returns 1. Returns 0, the view empty and, when pError is given, what is
  // wrong: a column id that is not a weight column of net, a cost that is not
  // a number or a type byte that names no type (edge named), a split index
  // of another network, memory running out, or a stop asked by pProgress
  // (polled every few thousand nodes). Time linear in nodes, entries and
  // turn entries.
  std::int32_t Build(const CLocalNetwork& net, const NViewOptions_stru& opt = NViewOptions_stru(),
                     NFinding_stru* pError = nullptr, const NProgress_stru* pProgress = nullptr);

  // Whether the view can answer: it was built, and its network has the counts
  // it was built from. Otherwise false with, when pError is given, why.
  bool IsCurrent(NFinding_stru* pError = nullptr) const;

  // Nodes and edges the view answers for: the network's counts, cut to the
  // entries its tables really hold (so every number it hands out is safe).
  std::int32_t GetNodNum() const { return m_lNodNum; }
  std::int32_t GetEdgeNum() const { return m_lEdgeNum; }
  const CLocalNetwork* GetNetwork() const { return m_pNet; }

  // The steps at lNod usable as `side` says, in stored connection order.
  // Returns 1; 0 with the list untouched for a node out of range or memory
  // running out.
  std::int32_t GetStepS(std::int32_t lNod, NStepSide side, std::vector<NStep_stru>& steps) const;

  // The cost of going over lEdge along or against it; +infinity for no way.
  // NaN for an edge out of range.
  double GetEdgeCost(std::int32_t lEdge, bool bAlong) const;

  // Whether the view holds turn matrices (built with bTurns from a network
  // with turn weights).
  bool HasTurns() const { return !m_turnFirst.empty(); }

  // The weight of turning at lNod from lFromEdge into lToEdge as
  // GetTurnWgtVal reads it (the last positions of the two edges in the node's
  // list); 0.0 where the view has no turns, the node no matrix, or the matrix
  // no such entry. A negative weight forbids the turn.
  double GetTurnCost(std::int32_t lNod, std::int32_t lFromEdge, std::int32_t lToEdge) const;

  // Bytes the view holds.
  std::size_t GetMemoryBytes() const;

  // A number no other build in this process has had: it changes with every
  // Build and Reset, and a copy shares it with the view it copies, whose
  // arrays it holds too. What a search works out from the arrays alone (its
  // steps' costs) can be kept between calls under it.
  std::uint64_t GetBuildStamp() const { return m_lStamp; }

  // --- Flat arrays for analyses written by a host. Node n's entries are
  // StepBegin(n) to StepEnd(n) - 1 of the step arrays. Valid while the view
  // is neither rebuilt nor destroyed. The toolkit's rule is the core's:
  // element n is entry n - 1 (results, tables). The per-node and per-edge
  // arrays below came before that rule and keep their layout for 1.x hosts:
  // each says "by number" (element n is entry n, entry 0 unused); step
  // arrays are indexed by step entry, from 0. ---
  std::int64_t StepBegin(std::int32_t lNod) const { return m_first[static_cast<std::size_t>(lNod)]; }
  std::int64_t StepEnd(std::int32_t lNod) const { return m_first[static_cast<std::size_t>(lNod) + 1]; }
  // By number, nodes 0 to GetNodNum() + 1: StepFirst()[n] is StepBegin(n).
  const std::int64_t* StepFirst() const { return m_first.data(); }
  // By step entry: the far node, the positive edge number, the k* ways bits.
  const std::int32_t* StepFar() const { return m_far.data(); }
  const std::int32_t* StepEdge() const { return m_edge.data(); }
  const unsigned char* StepWays() const { return m_ways.data(); }
  // By edge number (entry 0 unused): cost along and against; +infinity no way.
  const double* CostAlong() const { return m_costAlong.data(); }
  const double* CostAgainst() const { return m_bOneCost ? m_costAlong.data() : m_costAgainst.data(); }
  // By node number (entry 0 unused): 1 for a closed node (reached, not passed).
  const unsigned char* NodClosed() const { return m_closed.data(); }
  // With turns, by step entry: the last position of its edge in the list of
  // the node it is listed at (the row or column of that node's matrix), and
  // the same position in the list of its far node; -1 when the edge is not in
  // that list.
  const std::int16_t* StepTurnPos() const { return m_turnPos.data(); }
  const std::int16_t* StepFarTurnPos() const { return m_farTurnPos.data(); }
  // With turns: node n's matrix (m_pNodConn's count squared, row by row) at
  // TurnMatrix(n), TurnSize(n) its side, each taking the node's number; TurnSize 0 for no matrix. Entry
  // p * side + q exists when it is below TurnEntries(n) (a short matrix is
  // copied as far as it goes).
  const double* TurnMatrix(std::int32_t lNod) const;
  std::int32_t TurnSize(std::int32_t lNod) const { return m_turnSize.empty() ? 0 : m_turnSize[lNod]; }
  std::int64_t TurnEntries(std::int32_t lNod) const {
    return m_turnFirst.empty() ? 0 : m_turnFirst[static_cast<std::size_t>(lNod) + 1] - m_turnFirst[lNod];
  }

 private:
  struct NReadState;
  void Reset();
  std::int32_t Read(const CLocalNetwork& net, const NViewOptions_stru& opt, NFinding_stru& err, CProgressPoll& poll);
  void ReadNod(const CLocalNetwork& net, std::int32_t n, NReadState& st);
  void CopyTurns(const CLocalNetwork& net, std::int32_t n, std::int32_t nList, NReadState& st);
  void FinishTurns(const NReadState& st);

  const CLocalNetwork* m_pNet;
  std::int32_t m_lNetNodNum;              // the network's counts when it was read
  std::int32_t m_lNetEdgeNum;
  std::int32_t m_lNodNum;                 // nodes and edges the view answers for:
  std::int32_t m_lEdgeNum;                // the counts, cut to what the tables hold
  bool m_bOneCost;                        // against costs are the along costs
  std::uint64_t m_lStamp;                 // GetBuildStamp
  std::vector<std::int64_t> m_first;      // per node number 0 to N + 1: first step entry
  std::vector<std::int32_t> m_far;        // per step entry: far node
  std::vector<std::int32_t> m_edge;       // per step entry: positive edge number
  std::vector<unsigned char> m_ways;      // per step entry: k* bits
  std::vector<double> m_costAlong;        // per edge number
  std::vector<double> m_costAgainst;      // per edge number; empty when m_bOneCost
  std::vector<unsigned char> m_closed;    // per node number
  std::vector<std::int16_t> m_turnPos;    // per step entry, with turns
  std::vector<std::int16_t> m_farTurnPos; // per step entry, with turns
  std::vector<std::int64_t> m_turnFirst;  // per node number: first matrix entry, with turns
  std::vector<std::int32_t> m_turnSize;   // per node number: matrix side, with turns
  std::vector<double> m_turn;             // every matrix, node after node
};

}  // namespace tools
}  // namespace kelvane

// The names of the 1.x toolkit at global scope, deprecated.
#define KELVANE_TOOLS_NETWORKVIEW_DECLARED
#if !defined(KELVANE_TOOLS_NO_GLOBAL_NAMES)
#include "kelvane/tools/GlobalNames.h"
#endif

#endif  // KELVANE_TOOLS_NETWORKVIEW_H
