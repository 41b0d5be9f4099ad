// AnalysisInt.h - what the analyses on a CNetworkView share (never
// installed): element bitsets, the checks of a call's numbers, and the walk
// over a node's steps that every trace and search takes.
#ifndef KELVANE_SRC_TOOLS_ANALYSISINT_H
#define KELVANE_SRC_TOOLS_ANALYSISINT_H

#include <cstddef>
#include <cstdint>
#include <climits>
#include <vector>

#include "kelvane/tools/AnalysisInput.h"
#include "kelvane/tools/Finding.h"
#include "kelvane/tools/NetworkView.h"
#include "kelvane/tools/Progress.h"
#include "network/Bits.h"

namespace kelvane {
namespace tools {

using kelvane::CElemBits;  // network/Bits.h: the one bitset of core and toolkit

// Asks the memory for the line holding p ahead of its use: the analyses walk
// the view in an order its arrays are not laid out in, and wait on memory
// far more than they compute. Never faults, whatever p is.
template <class T>
inline void Prefetch(const T* p) {
  __builtin_prefetch(p);
}

// The host's progress callback, asked every kEvery steps. Without one the
// countdown starts so high that it never runs out, so a step costs one
// decrement and one test either way.
class CProgressPoll {
 public:
  static const std::int64_t kEvery = 4096;
  // dTotal: the steps the work is expected to take (fractions are capped at 1).
  CProgressPoll(const NProgress_stru* pProgress, double dTotal)
      : m_pProgress(pProgress != nullptr && pProgress->pfnPoll != nullptr ? pProgress : nullptr),
        m_lLeft(m_pProgress != nullptr ? kEvery : INT64_MAX),
        m_dPerPoll(dTotal > 0.0 ? static_cast<double>(kEvery) / dTotal : 1.0) {}
  // Counts one step; false once the host has asked to stop.
  bool Step() { return --m_lLeft != 0 || Ask(); }
  // Counts n steps at once (a whole node's list, a whole search).
  bool Steps(std::int64_t n) {
    m_lLeft -= n;
    return m_lLeft > 0 || Ask();
  }
  bool Stopped() const { return m_bStopped; }
  // 0 with the code Stopped.
  static std::int32_t Refuse(NFinding_stru* pError);

 private:
  bool Ask();
  const NProgress_stru* m_pProgress;
  std::int64_t m_lLeft;
  double m_dPerPoll;  // the fraction of the work kEvery steps make
  double m_dDone = 0.0;
  bool m_bStopped = false;
};

// Copies f into *pError when the caller asked for findings; returns 0, the
// status every refusal returns.
std::int32_t Refuse(NFinding_stru* pError, NFinding_stru f);

// 0 with an OutOfRange finding for edge lEdge of a result (`what`: "path",
// "area", "trace result") that the split index does not know.
std::int32_t RefuseForeignEdge(const CSplitIndex& split, std::int32_t lEdge, const char* what, NFinding_stru* pError);

// 0 with the reason when the view cannot answer, else 1.
std::int32_t CheckCurrent(const CNetworkView& view, NFinding_stru* pError);

// Range checks of a call's numbers; `what` names them in the sentence
// ("start node", "barrier edge"). Set the bits of the numbers when all are in
// range; return 0 with a finding naming the first that is not.
std::int32_t MarkNods(const CNetworkView& view, const std::vector<std::int32_t>& nods, const char* what,
                      CElemBits& bits, NFinding_stru* pError);
std::int32_t MarkEdges(const CNetworkView& view, const std::vector<std::int32_t>& edges, const char* what,
                       CElemBits& bits, NFinding_stru* pError);
std::int32_t CheckNod(const CNetworkView& view, std::int32_t lNod, const char* what, NFinding_stru* pError);

// The barriers of a call as bits; whether there are any.
struct NBarrierBits {
  CElemBits nods;
  CElemBits edges;
  bool bAny = false;
};
std::int32_t MarkBarriers(const CNetworkView& view, const NElemSet_stru& barriers, NBarrierBits& bits,
                          NFinding_stru* pError);
// What a search from many starts checks first: every start a node of the
// view, and the call's barriers marked in bits.
std::int32_t CheckStartsAndBarriers(const CNetworkView& view, const std::vector<std::int32_t>& starts,
                                    const NElemSet_stru& barriers, NBarrierBits& bits, NFinding_stru* pError);

// Whether the steps the view lists as arriving at each node are exactly the
// leaving steps of the other ends seen backward: every edge open some way is
// listed, as its own end (the current build by its end nodes, the first
// generation by the entry's sign), at both its end nodes or at neither, and
// nowhere else. Then a search toward a node finds what the searches from
// every node find, closed nodes included (ForEachStepInto reads the lists).
// One pass over the lists and the edges; marks is scratch, one byte per
// edge, left all 0. REQUIRES: view current.
bool ArrivalsMirrorLeaving(const CNetworkView& view, std::vector<unsigned char>& marks);

// 1 when sides is empty or holds one side per node (nNods) and each names a
// side; else 0 with a BadArgument finding (`what`: "source", "start").
enum class DrivingSide : char;
std::int32_t CheckSides(const std::vector<DrivingSide>& sides, std::size_t nNods, const char* what,
                        NFinding_stru* pError);
// Whether a driving side binds at lNod: undirected every street is two-way;
// directed, whether lNod can be left (bLeave; else arrived at) both along
// and against an edge, by the view's states and costs. A stop on a one-way
// street has one side only.
bool SideBinds(const CNetworkView& view, bool bDirected, std::int32_t lNod, bool bLeave);

// The ways bits a walk in `kind` follows: leave (downstream, routes), arrive
// (upstream), or both (connected).
inline unsigned char WaysOf(bool bLeave, bool bArrive) {
  return static_cast<unsigned char>((bLeave ? CNetworkView::kLeave : 0) | (bArrive ? CNetworkView::kArrive : 0));
}

}  // namespace tools
}  // namespace kelvane

#endif  // KELVANE_SRC_TOOLS_ANALYSISINT_H
