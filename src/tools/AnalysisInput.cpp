// AnalysisInput.cpp - the checks every analysis makes of its numbers before
// it reads anything, and flags turned into start nodes.
#include "kelvane/tools/AnalysisInput.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

#include "kelvane/tools/SplitIndex.h"
#include "tools/AnalysisInt.h"
#include "tools/ToolsInt.h"

namespace kelvane {
namespace tools {

bool CProgressPoll::Ask() {
  if (m_bStopped) return false;
  if (m_pProgress == nullptr) {  // a countdown of 2^63 steps ran out: start it again
    m_lLeft = INT64_MAX;
    return true;
  }
  m_dDone += m_dPerPoll;
  m_lLeft = kEvery;
  if (m_pProgress->pfnPoll(m_pProgress->pUser, m_dDone < 1.0 ? m_dDone : 1.0)) return true;
  m_bStopped = true;
  m_lLeft = 1;  // every later step asks again, and is refused at once
  return false;
}

std::int32_t CProgressPoll::Refuse(NFinding_stru* pError) {
  if (pError == nullptr) return 0;
  pError->eCode = NFindingCode::Stopped;
  pError->eKind = NElemKind::Network;
  pError->lElem = 0;
  try {
    pError->strText = "stopped by the host";
  } catch (const std::bad_alloc&) {
    pError->strText.clear();
  }
  return 0;
}

std::int32_t RefuseForeignEdge(const CSplitIndex& split, std::int32_t lEdge, const char* what, NFinding_stru* pError) {
  return Refuse(pError, MakeFinding(NFindingCode::OutOfRange, NElemKind::Edge, lEdge,
                                    Format("edge %d of the %s is not an edge of the indexed network (1 to %d)", lEdge,
                                           what, split.GetEdgeNum())));
}

std::int32_t Refuse(NFinding_stru* pError, NFinding_stru f) {
  if (pError != nullptr) *pError = std::move(f);
  return 0;
}

std::int32_t CheckCurrent(const CNetworkView& view, NFinding_stru* pError) {
  NFinding_stru f;
  if (view.IsCurrent(&f)) return 1;
  return Refuse(pError, std::move(f));
}

std::int32_t CheckNod(const CNetworkView& view, std::int32_t lNod, const char* what, NFinding_stru* pError) {
  if (lNod >= 1 && lNod <= view.GetNodNum()) return 1;
  return Refuse(pError, MakeFinding(NFindingCode::OutOfRange, NElemKind::Node, lNod,
                                    Format("%s %d is not a node (1 to %d)", what, lNod, view.GetNodNum())));
}

std::int32_t MarkNods(const CNetworkView& view, const std::vector<std::int32_t>& nods, const char* what,
                      CElemBits& bits, NFinding_stru* pError) {
  for (std::int32_t n : nods) {
    if (CheckNod(view, n, what, pError) == 0) return 0;
  }
  for (std::int32_t n : nods) bits.Set(n);
  return 1;
}

std::int32_t MarkEdges(const CNetworkView& view, const std::vector<std::int32_t>& edges, const char* what,
                       CElemBits& bits, NFinding_stru* pError) {
  for (std::int32_t e : edges) {
    const std::int64_t a = e < 0 ? -static_cast<std::int64_t>(e) : e;
    if (a < 1 || a > view.GetEdgeNum()) {
      return Refuse(pError, MakeFinding(NFindingCode::OutOfRange, NElemKind::Edge, e,
                                        Format("%s %d is not an edge (1 to %d)", what, e, view.GetEdgeNum())));
    }
  }
  for (std::int32_t e : edges) bits.Set(e < 0 ? -static_cast<std::int64_t>(e) : e);
  return 1;
}

std::int32_t MarkBarriers(const CNetworkView& view, const NElemSet_stru& barriers, NBarrierBits& bits,
                          NFinding_stru* pError) {
  bits.nods = CElemBits(view.GetNodNum());
  bits.edges = CElemBits(view.GetEdgeNum());
  bits.bAny = !barriers.nods.empty() || !barriers.edges.empty();
  if (MarkNods(view, barriers.nods, "barrier node", bits.nods, pError) == 0) return 0;
  return MarkEdges(view, barriers.edges, "barrier edge", bits.edges, pError);
}

std::int32_t CheckStartsAndBarriers(const CNetworkView& view, const std::vector<std::int32_t>& starts,
                                    const NElemSet_stru& barriers, NBarrierBits& bits, NFinding_stru* pError) {
  CElemBits startBits(view.GetNodNum());
  if (MarkNods(view, starts, "start node", startBits, pError) == 0) return 0;
  return MarkBarriers(view, barriers, bits, pError);
}

namespace {

std::int32_t Nods(const CSmartArray<NET_FLGstruct>& mapped, std::vector<std::int32_t>& nods, NFinding_stru* pError) {
  std::vector<std::int32_t> out;
  out.reserve(static_cast<std::size_t>(mapped.GetSize()));
  for (std::int32_t i = 0; i < mapped.GetSize(); ++i) {
    const NET_FLGstruct f = mapped.GetAt(i);
    if (f.cFlgType == 1) {
      out.push_back(f.lElemID);
    } else if (f.cFlgType == 2) {
      return Refuse(pError, MakeFinding(NFindingCode::BadArgument, NElemKind::Flag, i,
                                        Format("flag %d is still on edge %d: it was not mapped (an edge split "
                                               "before, or a position that is not a number)",
                                               i, f.lElemID)));
    } else {
      return Refuse(pError, MakeFinding(NFindingCode::BadArgument, NElemKind::Flag, i,
                                        Format("flag %d is of kind %d, neither on a node (1) nor on an edge (2)", i,
                                               static_cast<int>(f.cFlgType))));
    }
  }
  nods.swap(out);
  return 1;
}

}  // namespace

std::int32_t FlagNods(const CSmartArray<NET_FLGstruct>& mapped, std::vector<std::int32_t>& nods,
                      NFinding_stru* pError) {
  try {
    return Nods(mapped, nods, pError);
  } catch (const std::bad_alloc&) {
    return RefuseNoMemory(pError, "out of memory listing the flags' nodes");
  }
}

}  // namespace tools
}  // namespace kelvane
