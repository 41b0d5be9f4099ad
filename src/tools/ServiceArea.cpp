// ServiceArea.cpp - the area within a cost of the starts, and its edges
// folded onto the edges as they were before flag mapping.
#include "kelvane/tools/ServiceArea.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

#include "tools/AnalysisInt.h"
#include "tools/RouteSearch.h"
#include "tools/ToolsInt.h"

namespace kelvane {
namespace tools {

namespace {

// Each step out of a node of the area reaches its edge as far as the cost
// left allows: the share from the end it leaves by. A loop is left both ways
// round, so both its ends get their share. Barriers stop a step before it
// starts, so a barrier edge or an edge into a barrier gets none.
class CAreaShares {
 public:
  CAreaShares(const CNetworkView& view, const CRouteSearch& search, const NBarrierBits& barriers, bool bDirected,
              double dLimit)
      : m_view(view), m_search(search), m_barriers(barriers), m_bDirected(bDirected), m_dLimit(dLimit) {}

  // The share of step entry j's edge reached leaving node u along or against
  // it; -1 for none.
  double Share(std::int32_t u, std::int64_t j, bool bAlong) const {
    const double c = StepCost(j, bAlong);
    if (c == kNoRoute) return -1.0;
    const std::int32_t e = m_view.StepEdge()[j];
    if (m_barriers.bAny && (m_barriers.edges.Test(e) || m_barriers.nods.Test(m_view.StepFar()[j]))) return -1.0;
    if (c == 0.0) return 1.0;
    const double f = (m_dLimit - m_search.m_dist[static_cast<std::size_t>(u - 1)]) / c;
    return f > 0.0 ? std::min(f, 1.0) : -1.0;
  }

  // Whether node u's steps are taken at all.
  bool Passes(std::int32_t u) const { return !(m_barriers.bAny && m_barriers.nods.Test(u)); }

 private:
  double StepCost(std::int64_t j, bool bAlong) const {
    const unsigned char w = m_view.StepWays()[j];
    const std::int32_t e = m_view.StepEdge()[j];
    double c = kNoRoute;
    if (m_bDirected) {
      const unsigned char way = bAlong ? CNetworkView::kLeaveAlong : CNetworkView::kLeaveAgainst;
      if ((w & way) != 0) c = (bAlong ? m_view.CostAlong() : m_view.CostAgainst())[e];
      return c;
    }
    const unsigned char end = bAlong ? (CNetworkView::kLeaveAlong | CNetworkView::kArriveAgainst)
                                     : (CNetworkView::kLeaveAgainst | CNetworkView::kArriveAlong);
    if ((w & end) != 0) c = std::min(m_view.CostAlong()[e], m_view.CostAgainst()[e]);
    return c;
  }

  const CNetworkView& m_view;
  const CRouteSearch& m_search;
  const NBarrierBits& m_barriers;
  bool m_bDirected;
  double m_dLimit;
};

// The edges any step of the area reaches, ascending, with shares 0.
void ReachedEdges(const CNetworkView& view, const CRouteSearch& search, const CAreaShares& shares,
                  std::vector<NAreaEdge_stru>& areaEdges) {
  CElemBits edgeBits(view.GetEdgeNum());
  for (std::int32_t u : search.m_settled) {
    if (!shares.Passes(u)) continue;
    for (std::int64_t j = view.StepBegin(u); j < view.StepEnd(u); ++j) {
      if (shares.Share(u, j, true) > 0.0 || shares.Share(u, j, false) > 0.0) edgeBits.Set(view.StepEdge()[j]);
    }
  }
  std::vector<std::int32_t> edges;
  edgeBits.AppendSet(edges);
  areaEdges.reserve(edges.size());
  for (std::int32_t e : edges) areaEdges.push_back(NAreaEdge_stru{e, 0.0, 0.0});
}

// The edges of the area, ascending, each with its largest share from each end.
void AreaEdges(const CNetworkView& view, const CRouteSearch& search, const NBarrierBits& barriers, bool bDirected,
               double dLimit, std::vector<NAreaEdge_stru>& areaEdges) {
  const CAreaShares shares(view, search, barriers, bDirected, dLimit);
  ReachedEdges(view, search, shares, areaEdges);
  std::vector<std::int32_t> slot(static_cast<std::size_t>(view.GetEdgeNum()) + 1, 0);
  for (std::size_t k = 0; k < areaEdges.size(); ++k) {
    slot[static_cast<std::size_t>(areaEdges[k].lEdge)] = static_cast<std::int32_t>(k);
  }
  for (std::int32_t u : search.m_settled) {
    if (!shares.Passes(u)) continue;
    for (std::int64_t j = view.StepBegin(u); j < view.StepEnd(u); ++j) {
      const double fAlong = shares.Share(u, j, true);
      const double fAgainst = shares.Share(u, j, false);
      if (fAlong <= 0.0 && fAgainst <= 0.0) continue;  // only edges with a share have a slot
      NAreaEdge_stru& ae = areaEdges[static_cast<std::size_t>(slot[static_cast<std::size_t>(view.StepEdge()[j])])];
      if (fAlong > 0.0) ae.dFromFrac = std::max(ae.dFromFrac, fAlong);
      if (fAgainst > 0.0) ae.dToFrac = std::max(ae.dToFrac, fAgainst);
    }
  }
}

std::int32_t ServiceArea(const CNetworkView& view, const std::vector<std::int32_t>& starts, double dLimit,
                         const NRouteOptions_stru& opt, NServiceArea_stru& area, NFinding_stru* pError,
                         const NProgress_stru* pProgress) {
  if (CheckCurrent(view, pError) == 0) return 0;
  if (std::isnan(dLimit) || dLimit < 0.0) {
    return Refuse(pError, MakeFinding(NFindingCode::BadArgument, NElemKind::Network, 0,
                                      Format("the cost limit %g is not a cost (a number 0 or above)", dLimit)));
  }
  CElemBits startBits(view.GetNodNum());
  NBarrierBits barriers;
  if (MarkNods(view, starts, "start node", startBits, pError) == 0 ||
      MarkBarriers(view, opt.barriers, barriers, pError) == 0) {
    return 0;
  }
  CRouteSearch search(view, opt.bDirected, barriers);
  search.m_poll = CProgressPoll(pProgress, view.GetNodNum());
  search.RunNodes(starts, 0, dLimit, false);
  if (search.m_poll.Stopped()) return CProgressPoll::Refuse(pError);

  NServiceArea_stru out;
  CElemBits nodBits(view.GetNodNum());
  for (std::int32_t u : search.m_settled) nodBits.Set(u);
  nodBits.AppendSet(out.nods);
  out.costs.reserve(out.nods.size());
  for (std::int32_t u : out.nods) out.costs.push_back(search.m_dist[static_cast<std::size_t>(u - 1)]);

  AreaEdges(view, search, barriers, opt.bDirected, dLimit, out.edges);
  area = std::move(out);
  return 1;
}

struct NPieceShare {
  std::int32_t lOrig;
  std::int32_t lEdge;
  double dFromFrac;
  double dToFrac;
};

// The share of a piece reached from one end, given both ends' shares: whole
// when the two meet.
inline bool Whole(double a, double b) { return a >= 1.0 || a + b >= 1.0; }

// Appends what of the stretch dFrom to dTo (of edge lEdge) a piece with shares
// fromFrac and toFrac reached, joined to the last stretch where they touch.
void AddStretches(std::int32_t lEdge, double dFrom, double dTo, double fromFrac, double toFrac,
                  std::vector<NAreaStretch_stru>& out) {
  const double len = dTo - dFrom;
  const auto add = [&](double a, double b) {
    if (!(b > a)) return;
    if (!out.empty() && out.back().lEdge == lEdge && a <= out.back().dTo) {
      out.back().dTo = std::max(out.back().dTo, b);
    } else {
      out.push_back(NAreaStretch_stru{lEdge, a, b});
    }
  };
  if (Whole(fromFrac, toFrac)) {
    add(dFrom, dTo);
    return;
  }
  add(dFrom, dFrom + fromFrac * len);
  add(dTo - toFrac * len, dTo);
}

std::int32_t FoldArea(const CSplitIndex& split, const NServiceArea_stru& area, std::vector<NAreaEdge_stru>& edges,
                      std::vector<NAreaStretch_stru>* pStretches, NFinding_stru* pError) {
  std::vector<NPieceShare> shares;
  shares.reserve(area.edges.size());
  for (const NAreaEdge_stru& ae : area.edges) {
    const std::int32_t orig = split.GetOriginal(ae.lEdge);
    if (orig == 0) return RefuseForeignEdge(split, ae.lEdge, "area", pError);
    // A split edge stands for its pieces: its own record is not looked at.
    if (orig == ae.lEdge && split.IsSplit(ae.lEdge)) continue;
    shares.push_back(NPieceShare{orig, ae.lEdge, ae.dFromFrac, ae.dToFrac});
  }
  std::stable_sort(shares.begin(), shares.end(),
                   [](const NPieceShare& a, const NPieceShare& b) { return a.lOrig < b.lOrig; });
  std::vector<NAreaEdge_stru> out;
  std::vector<NAreaStretch_stru> stretches;
  CSmartArray<NEdgePiece_stru> pieces;
  for (std::size_t k = 0; k < shares.size();) {
    std::size_t kEnd = k;
    while (kEnd < shares.size() && shares[kEnd].lOrig == shares[k].lOrig) ++kEnd;
    const std::int32_t orig = shares[k].lOrig;
    if (!split.IsSplit(orig)) {
      out.push_back(NAreaEdge_stru{orig, shares[k].dFromFrac, shares[k].dToFrac});
      AddStretches(orig, 0.0, 1.0, shares[k].dFromFrac, shares[k].dToFrac, stretches);
      k = kEnd;
      continue;
    }
    if (split.GetPieceS(orig, pieces) != 1) return RefuseNoMemory(pError, "out of memory folding the area");
    // Per piece from the from node: its two shares (0 when not reached).
    std::vector<NPieceShare> run;
    for (std::int32_t i = 0; i < pieces.GetSize(); ++i) {
      const NEdgePiece_stru p = pieces.GetAt(i);
      NPieceShare s{orig, p.lEdge, 0.0, 0.0};
      for (std::size_t q = k; q < kEnd; ++q) {
        if (shares[q].lEdge == p.lEdge) s = shares[q];
      }
      run.push_back(s);
      AddStretches(orig, p.dFrom, p.dTo, s.dFromFrac, s.dToFrac, stretches);
    }
    // From the from node, pieces reached whole join on until one is not.
    double dFrom = 0.0;
    for (std::int32_t i = 0; i < pieces.GetSize(); ++i) {
      const NEdgePiece_stru p = pieces.GetAt(i);
      const NPieceShare& s = run[static_cast<std::size_t>(i)];
      if (Whole(s.dFromFrac, s.dToFrac)) {
        dFrom = p.dTo;
        continue;
      }
      dFrom += s.dFromFrac * (p.dTo - p.dFrom);
      break;
    }
    double dTo = 0.0;
    for (std::int32_t i = pieces.GetSize() - 1; i >= 0; --i) {
      const NEdgePiece_stru p = pieces.GetAt(i);
      const NPieceShare& s = run[static_cast<std::size_t>(i)];
      if (Whole(s.dToFrac, s.dFromFrac)) {
        dTo = 1.0 - p.dFrom;
        continue;
      }
      dTo += s.dToFrac * (p.dTo - p.dFrom);
      break;
    }
    out.push_back(NAreaEdge_stru{orig, std::min(dFrom, 1.0), std::min(dTo, 1.0)});
    k = kEnd;
  }
  edges.swap(out);
  if (pStretches != nullptr) pStretches->swap(stretches);
  return 1;
}

}  // namespace

std::int32_t FindServiceArea(const CNetworkView& view, const std::vector<std::int32_t>& starts, double dLimit,
                             const NRouteOptions_stru& opt, NServiceArea_stru& area, NFinding_stru* pError,
                             const NProgress_stru* pProgress) {
  try {
    return ServiceArea(view, starts, dLimit, opt, area, pError, pProgress);
  } catch (const std::bad_alloc&) {
    return RefuseNoMemory(pError, "out of memory finding the service area");
  }
}

std::int32_t FoldServiceArea(const CSplitIndex& split, const NServiceArea_stru& area,
                             std::vector<NAreaEdge_stru>& edges, std::vector<NAreaStretch_stru>* pStretches,
                             NFinding_stru* pError) {
  try {
    return FoldArea(split, area, edges, pStretches, pError);
  } catch (const std::bad_alloc&) {
    return RefuseNoMemory(pError, "out of memory folding the area");
  }
}

}  // namespace tools
}  // namespace kelvane
