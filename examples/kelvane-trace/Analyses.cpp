// Analyses.cpp - one toolkit analysis per run, its outcome folded back onto
// the demo's edges through the split index.
#include "Analyses.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "kelvane/tools/Isolation.h"
#include "kelvane/tools/ServiceArea.h"
#include "kelvane/tools/ShortestPath.h"
#include "kelvane/tools/TraceAnalysis.h"

using namespace kelvane::tools;

namespace {

// A piece of the library's network as a stretch of a demo edge.
NEdgeStretch Stretch(const CSplitIndex& split, std::int32_t lEdge) {
  NEdgeStretch s;
  s.lEdge = split.GetOriginal(lEdge, &s.dFrom, &s.dTo);
  return s;
}

void Route(const CNetworkView& view, const CSplitIndex& split, const NAnalysisInput& in, NAnalysisOutcome& out,
           NFinding_stru& err, bool& bOk) {
  NPath_stru path;
  bOk = FindShortestPath(view, in.starts.front(), in.lTarget, NRouteOptions_stru(), path, &err) == 1;
  if (!bOk) return;
  out.bRouteFound = path.bFound;
  out.dRouteCost = path.dCost;
  out.lEdgesReached = static_cast<std::int32_t>(path.steps.size());
  out.lNodsReached = path.bFound ? out.lEdgesReached + 1 : 0;
  std::vector<NFoldedStep_stru> folded;
  FoldPath(split, path, folded);
  for (const NFoldedStep_stru& f : folded) {
    NEdgeStretch s;
    s.lEdge = f.lEdge;
    s.dFrom = f.dFrom;
    s.dTo = f.dTo;
    out.route.push_back(s);
    out.routeCosts.push_back(f.dCost);
    s.dFrom = std::min(f.dFrom, f.dTo);
    s.dTo = std::max(f.dFrom, f.dTo);
    out.stretches.push_back(s);
  }
}

void Within(const CNetworkView& view, const CSplitIndex& split, const NAnalysisInput& in, NAnalysisOutcome& out,
            NFinding_stru& err, bool& bOk) {
  NServiceArea_stru area;
  bOk = FindServiceArea(view, in.starts, in.dLimit, NRouteOptions_stru(), area, &err) == 1;
  if (!bOk) return;
  out.lNodsReached = static_cast<std::int32_t>(area.nods.size());
  out.lEdgesReached = static_cast<std::int32_t>(area.edges.size());
  // Each piece reached from one end or both: the stretches from its ends up
  // to where the limit falls.
  for (const NAreaEdge_stru& a : area.edges) {
    const NEdgeStretch whole = Stretch(split, a.lEdge);
    const double len = whole.dTo - whole.dFrom;
    if (a.dFromFrac + a.dToFrac >= 1.0) {
      out.stretches.push_back(whole);
      continue;
    }
    if (a.dFromFrac > 0.0) out.stretches.push_back(NEdgeStretch{whole.lEdge, whole.dFrom, whole.dFrom + a.dFromFrac * len});
    if (a.dToFrac > 0.0) out.stretches.push_back(NEdgeStretch{whole.lEdge, whole.dTo - a.dToFrac * len, whole.dTo});
  }
}

void Isolate(const CNetworkView& view, const CSplitIndex& split, const NAnalysisInput& in, NAnalysisOutcome& out,
             NFinding_stru& err, bool& bOk) {
  NIsolationQuery_stru q;
  q.eStartKind = NElemKind::Node;
  q.lStart = in.starts.front();
  q.devices = in.valves;
  q.sources.assign(in.starts.begin() + 1, in.starts.end());
  NIsolationResult_stru r;
  bOk = IsolateElement(view, q, r, &err) == 1;
  if (!bOk) return;
  out.closeValves = r.devices;
  out.bSourceInside = r.bSourceInside;
  out.lNodsReached = static_cast<std::int32_t>(r.isolated.nods.size());
  out.lEdgesReached = static_cast<std::int32_t>(r.isolated.edges.size());
  for (std::int32_t e : r.isolated.edges) out.stretches.push_back(Stretch(split, e));
}

void Components(const CNetworkView& view, const CSplitIndex& split, std::int32_t lDemoEdges, NAnalysisOutcome& out,
                NFinding_stru& err, bool& bOk) {
  bOk = FindComponents(view, NComponentKind::Weak, NElemSet_stru(), out.comps, &err) == 1;
  if (!bOk) return;
  out.edgeComp.assign(static_cast<std::size_t>(lDemoEdges), 0);
  out.compEdges.assign(static_cast<std::size_t>(out.comps.lCount), 0);
  for (std::int32_t e = 1; e <= lDemoEdges; ++e) {
    CSmartArray<NEdgePiece_stru> pieces;
    if (split.GetPieceS(e, pieces) != 1 || pieces.GetSize() == 0) continue;
    const std::int32_t p = pieces.GetAt(0).lEdge;
    const std::int32_t c = p <= view.GetEdgeNum() ? out.comps.edgeComp[static_cast<std::size_t>(p) - 1] : 0;
    out.edgeComp[static_cast<std::size_t>(e) - 1] = c;
    if (c > 0) ++out.compEdges[static_cast<std::size_t>(c) - 1];
  }
  for (std::int32_t c = 1; c <= out.comps.lCount; ++c) {
    if (out.lLargest == 0 || out.compEdges[static_cast<std::size_t>(c) - 1] >
                                 out.compEdges[static_cast<std::size_t>(out.lLargest) - 1]) {
      out.lLargest = c;
    }
  }
  // The picture shows every part but the largest: the streets cut off from it.
  for (std::int32_t e = 1; e <= lDemoEdges; ++e) {
    const std::int32_t c = out.edgeComp[static_cast<std::size_t>(e) - 1];
    if (c != 0 && c != out.lLargest) out.stretches.push_back(NEdgeStretch{e, 0.0, 1.0});
  }
  out.lNodsReached = out.comps.lCount;
}

}  // namespace

bool RunAnalysis(const CLocalNetwork& net, const CSplitIndex& split, std::int32_t lDemoEdges, const NAnalysisInput& in,
                 NAnalysisOutcome& out, std::string& strError) {
  out = NAnalysisOutcome();
  NViewOptions_stru opt;
  opt.lAlongFld = in.lCostFld;
  opt.pSplit = &split;
  CNetworkView view;
  NFinding_stru err;
  if (view.Build(net, opt, &err) != 1) {
    strError = "network view: " + err.strText;
    return false;
  }
  const bool bNeedsStart = in.eMode == NDemoMode::Route || in.eMode == NDemoMode::Within || in.eMode == NDemoMode::Isolate;
  if (bNeedsStart && in.starts.empty()) {
    strError = "no flag could be placed to start from";
    return false;
  }
  bool bOk = true;
  switch (in.eMode) {
    case NDemoMode::Route:
      Route(view, split, in, out, err, bOk);
      break;
    case NDemoMode::Within:
      Within(view, split, in, out, err, bOk);
      break;
    case NDemoMode::Isolate:
      if (in.starts.size() < 2) {
        strError = "--isolate takes the burst as the first flag and at least one source as a further flag";
        return false;
      }
      Isolate(view, split, in, out, err, bOk);
      break;
    case NDemoMode::Components:
      Components(view, split, lDemoEdges, out, err, bOk);
      break;
    default:
      break;
  }
  if (!bOk) strError = err.strText;
  return bOk;
}
