// ShortestPath.cpp - routes one to one, one to all and many to many, and a
// path folded onto the edges as they were before flag mapping.
#include "kelvane/tools/ShortestPath.h"

#include <cstdint>
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
  return MarkBarriers(view, opt.barriers, barriers, pError);
}

}  // namespace

std::int32_t FindShortestPath(const CNetworkView& view, std::int32_t lFrom, std::int32_t lTo,
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

std::int32_t FindCostsFrom(const CNetworkView& view, std::int32_t lFrom, const NRouteOptions_stru& opt,
                           std::vector<double>& costs, NFinding_stru* pError) {
  NBarrierBits barriers;
  bool bTurns = false;
  if (CheckCurrent(view, pError) == 0 || CheckNod(view, lFrom, "start node", pError) == 0 ||
      CheckRoute(view, opt, barriers, bTurns, pError) == 0) {
    return 0;
  }
  CRouteSearch search(view, opt.bDirected, barriers);
  search.m_dist.swap(costs);  // the host's vector, reused when it calls again
  if (bTurns) {
    search.RunTurns(lFrom, 0, false);
  } else {
    search.RunNodes(std::vector<std::int32_t>{lFrom}, 0, kNoRoute, false);
  }
  costs.swap(search.m_dist);
  return 1;
}

std::int32_t FindCostMatrix(const CNetworkView& view, const std::vector<std::int32_t>& sources,
                            const std::vector<std::int32_t>& targets, const NRouteOptions_stru& opt,
                            std::vector<double>& costs, NFinding_stru* pError) {
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
  for (std::size_t s = 0; s < sources.size(); ++s) {
    if (bTurns) {
      search.RunTurns(sources[s], lStopAt, false);
    } else {
      search.RunNodes(std::vector<std::int32_t>{sources[s]}, lStopAt, kNoRoute, false);
    }
    for (std::size_t t = 0; t < targets.size(); ++t) {
      out[s * targets.size() + t] = search.m_dist[static_cast<std::size_t>(targets[t] - 1)];
    }
  }
  costs.swap(out);
  return 1;
}

std::int32_t FoldPath(const CSplitIndex& split, const NPath_stru& path, std::vector<NFoldedStep_stru>& steps) {
  std::vector<NFoldedStep_stru> out;
  out.reserve(path.steps.size());
  for (const NPathStep_stru& st : path.steps) {
    double dFrom = 0.0;
    double dTo = 1.0;
    const std::int32_t orig = split.GetOriginal(st.lEdge, &dFrom, &dTo);
    if (orig == 0) return 0;
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

}  // namespace tools
}  // namespace kelvane
