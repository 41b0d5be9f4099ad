// AnalysisInput.cpp - the checks every analysis makes of its numbers before
// it reads anything, and flags turned into start nodes.
#include "kelvane/tools/AnalysisInput.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "tools/AnalysisInt.h"
#include "tools/ToolsInt.h"

namespace kelvane {
namespace tools {

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
  return Refuse(pError, MakeFinding(NElemKind::Node, lNod,
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
      return Refuse(pError, MakeFinding(NElemKind::Edge, e,
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

std::int32_t FlagNods(const CSmartArray<NET_FLGstruct>& mapped, std::vector<std::int32_t>& nods,
                      NFinding_stru* pError) {
  std::vector<std::int32_t> out;
  out.reserve(static_cast<std::size_t>(mapped.GetSize()));
  for (std::int32_t i = 0; i < mapped.GetSize(); ++i) {
    const NET_FLGstruct f = mapped.GetAt(i);
    if (f.cFlgType == 1) {
      out.push_back(f.lElemID);
    } else if (f.cFlgType == 2) {
      return Refuse(pError, MakeFinding(NElemKind::Flag, i,
                                        Format("flag %d is still on edge %d: it was not mapped (an edge split "
                                               "before, or a position that is not a number)",
                                               i, f.lElemID)));
    } else {
      return Refuse(pError, MakeFinding(NElemKind::Flag, i,
                                        Format("flag %d is of kind %d, neither on a node (1) nor on an edge (2)", i,
                                               static_cast<int>(f.cFlgType))));
    }
  }
  nods.swap(out);
  return 1;
}

}  // namespace tools
}  // namespace kelvane
