// ShortestPath.cpp - routes one to one, one to all and many to many, and a
// path folded onto the edges as they were before flag mapping.
#include "kelvane/tools/ShortestPath.h"

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

// The checks every route makes before it reads a step: the view, the
// options, the barriers. Whether turn costs apply comes back in bTurns.
std::int32_t CheckRoute(const CNetworkView& view, const NRouteOptions_stru& opt, NBarrierBits& barriers,
                        bool& bTurns, NFinding_stru* pError) {
  if (CheckCurrent(view, pError) == 0) return 0;
  bTurns = opt.bTurns && view.HasTurns();
  if (bTurns && !opt.bDirected) {
    return Refuse(pError, MakeFinding(NFindingCode::BadArgument, NElemKind::Network, 0,
                                      "turn costs need a directed route: set bTurns false for an undirected one"));
  }
  return MarkBarriers(view, opt.barriers, barriers, pError);
}

std::int32_t ShortestPath(const CNetworkView& view, std::int32_t lFrom, std::int32_t lTo,
                          const NRouteOptions_stru& opt, NPath_stru& path, NFinding_stru* pError) {
  NBarrierBits barriers;
  bool bTurns = false;
  if (CheckCurrent(view, pError) == 0 || CheckNod(view, lFrom, "start node", pError) == 0 ||
      CheckNod(view, lTo, "end node", pError) == 0 || CheckRoute(view, opt, barriers, bTurns, pError) == 0) {
    return 0;
  }
  CRouteSearch search(view, opt.bDirected, barriers);
  if (bTurns) {
    search.RunTurns(lFrom, lTo, true);
  } else {
    search.RunNodes(std::vector<std::int32_t>{lFrom}, lTo, kNoRoute, true);
  }
  NPath_stru out;
  out.lFrom = lFrom;
  out.lTo = lTo;
  out.dCost = search.m_dist[static_cast<std::size_t>(lTo - 1)];
  out.bFound = out.dCost < kNoRoute;
  if (out.bFound && lFrom != lTo) search.TracePath(lTo, bTurns, out);
  path = std::move(out);
  return 1;
}

std::int32_t CostsFrom(const CNetworkView& view, std::int32_t lFrom, const NRouteOptions_stru& opt,
                       std::vector<double>& costs, NFinding_stru* pError, const NProgress_stru* pProgress) {
  NBarrierBits barriers;
  bool bTurns = false;
  if (CheckCurrent(view, pError) == 0 || CheckNod(view, lFrom, "start node", pError) == 0 ||
      CheckRoute(view, opt, barriers, bTurns, pError) == 0) {
    return 0;
  }
  CRouteSearch search(view, opt.bDirected, barriers);
  search.m_poll = CProgressPoll(pProgress, view.GetNodNum());
  if (bTurns) {
    search.RunTurns(lFrom, 0, false);
  } else {
    search.RunNodes(std::vector<std::int32_t>{lFrom}, 0, kNoRoute, false);
  }
  if (search.m_poll.Stopped()) return CProgressPoll::Refuse(pError);
  costs.swap(search.m_dist);
  return 1;
}

std::int32_t CostMatrix(const CNetworkView& view, const std::vector<std::int32_t>& sources,
                        const std::vector<std::int32_t>& targets, const NRouteOptions_stru& opt,
                        std::vector<double>& costs, NFinding_stru* pError, const NProgress_stru* pProgress) {
  NBarrierBits barriers;
  bool bTurns = false;
  if (CheckCurrent(view, pError) == 0) return 0;
  CElemBits sourceBits(view.GetNodNum());
  CElemBits targetBits(view.GetNodNum());
  if (MarkNods(view, sources, "source node", sourceBits, pError) == 0 ||
      MarkNods(view, targets, "target node", targetBits, pError) == 0 ||
      CheckRoute(view, opt, barriers, bTurns, pError) == 0) {
    return 0;
  }
  // A search stops once it has settled the last target; one target stops it
  // at that target, which the search tests by number.
  std::vector<std::int32_t> distinct;
  targetBits.AppendSet(distinct);
  const std::int32_t lStopAt = distinct.size() == 1 ? distinct[0] : 0;
  std::vector<double> out(sources.size() * targets.size(), kNoRoute);
  CRouteSearch search(view, opt.bDirected, barriers);
  search.m_poll = CProgressPoll(pProgress, static_cast<double>(view.GetNodNum()) * static_cast<double>(sources.size()));
  for (std::size_t s = 0; s < sources.size(); ++s) {
    if (bTurns) {
      search.RunTurns(sources[s], lStopAt, false);
    } else {
      search.RunNodes(std::vector<std::int32_t>{sources[s]}, lStopAt, kNoRoute, false);
    }
    for (std::size_t t = 0; t < targets.size(); ++t) {
      out[s * targets.size() + t] = search.m_dist[static_cast<std::size_t>(targets[t] - 1)];
    }
    if (search.m_poll.Stopped()) return CProgressPoll::Refuse(pError);
  }
  costs.swap(out);
  return 1;
}

std::int32_t Fold(const CSplitIndex& split, const NPath_stru& path, std::vector<NFoldedStep_stru>& steps,
                  NFinding_stru* pError) {
  std::vector<NFoldedStep_stru> out;
  out.reserve(path.steps.size());
  for (const NPathStep_stru& st : path.steps) {
    double dFrom = 0.0;
    double dTo = 1.0;
    const std::int32_t orig = split.GetOriginal(st.lEdge, &dFrom, &dTo);
    if (orig == 0) return RefuseForeignEdge(split, st.lEdge, "path", pError);
    const double a = st.bAlong ? dFrom : dTo;
    const double b = st.bAlong ? dTo : dFrom;
    // The next piece of the same edge the same way continues the stretch.
    if (!out.empty() && out.back().lEdge == orig && out.back().dTo == a &&
        (out.back().dFrom < out.back().dTo) == st.bAlong) {
      out.back().dTo = b;
      out.back().dCost = st.dCost;
      continue;
    }
    out.push_back(NFoldedStep_stru{orig, a, b, st.dCost});
  }
  steps.swap(out);
  return 1;
}

}  // namespace

std::int32_t FindShortestPath(const CNetworkView& view, std::int32_t lFrom, std::int32_t lTo,
                              const NRouteOptions_stru& opt, NPath_stru& path, NFinding_stru* pError) {
  try {
    return ShortestPath(view, lFrom, lTo, opt, path, pError);
  } catch (const std::bad_alloc&) {
    return RefuseNoMemory(pError, "out of memory finding the path");
  }
}

std::int32_t FindCostsFrom(const CNetworkView& view, std::int32_t lFrom, const NRouteOptions_stru& opt,
                           std::vector<double>& costs, NFinding_stru* pError, const NProgress_stru* pProgress) {
  try {
    return CostsFrom(view, lFrom, opt, costs, pError, pProgress);
  } catch (const std::bad_alloc&) {
    return RefuseNoMemory(pError, "out of memory finding the costs");
  }
}

std::int32_t FindCostMatrix(const CNetworkView& view, const std::vector<std::int32_t>& sources,
                            const std::vector<std::int32_t>& targets, const NRouteOptions_stru& opt,
                            std::vector<double>& costs, NFinding_stru* pError, const NProgress_stru* pProgress) {
  try {
    return CostMatrix(view, sources, targets, opt, costs, pError, pProgress);
  } catch (const std::bad_alloc&) {
    return RefuseNoMemory(pError, "out of memory finding the cost matrix");
  }
}

std::int32_t FoldPath(const CSplitIndex& split, const NPath_stru& path, std::vector<NFoldedStep_stru>& steps,
                      NFinding_stru* pError) {
  try {
    return Fold(split, path, steps, pError);
  } catch (const std::bad_alloc&) {
    return RefuseNoMemory(pError, "out of memory folding the path");
  }
}

}  // namespace tools
}  // namespace kelvane
