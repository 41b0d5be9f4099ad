// Analyses.cpp - one toolkit analysis per run, its outcome folded back onto
// the demo's edges through the split index.
#include "Analyses.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "Options.h"
#include "Summary.h"
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

// --- route: the least-cost path from the first flag to the point ---

bool SetRoute(const std::string& strName, const std::string& strArg, NOptions& opt, std::string& strError) {
  NFlagRequest f;
  f.bTarget = true;
  f.strLabel = "route " + strArg;
  if (!ParsePoint(strArg, f.pt) || !std::isfinite(f.pt.dX) || !std::isfinite(f.pt.dY)) {
    strError = strName + " needs finite X,Y, not '" + strArg + "'";
    return false;
  }
  opt.flags.push_back(f);
  return SetMode(opt, NDemoMode::Route, strError);
}

bool CheckRoute(const NOptions& opt, bool bChosen, std::string& strError) {
  std::size_t nTargets = 0;
  for (const NFlagRequest& f : opt.flags) nTargets += f.bTarget ? 1 : 0;
  if (bChosen && nTargets != 1) {
    strError = "--route takes one point";
    return false;
  }
  return true;
}

bool Route(const CNetworkView& view, const CSplitIndex& split, std::int32_t, const NAnalysisInput& in,
           NAnalysisOutcome& out, NFinding_stru& err) {
  NPath_stru path;
  if (FindShortestPath(view, in.starts.front(), in.lTarget, NRouteOptions_stru(), path, &err) != 1) return false;
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
  return true;
}

void RouteLines(const NRunSummary& s, std::vector<std::string>& lines) {
  if (!s.bRouteFound) {
    lines.push_back("route: the point cannot be reached from the first flag");
    return;
  }
  lines.push_back("route: cost " + FixedText(s.dRouteCost, 1) + " over " + std::to_string(s.lReachedEdges) +
                  " edges (" + std::to_string(s.route.size()) + " stretches of features)");
}

// --- within: everything within a cost of the flags ---

bool SetWithin(const std::string& strName, const std::string& strArg, NOptions& opt, std::string& strError) {
  return SetNonNegative(strName, strArg, "a cost", opt.dWithin, strError) && SetMode(opt, NDemoMode::Within, strError);
}

bool Within(const CNetworkView& view, const CSplitIndex& split, std::int32_t, const NAnalysisInput& in,
            NAnalysisOutcome& out, NFinding_stru& err) {
  NServiceArea_stru area;
  if (FindServiceArea(view, in.starts, in.dLimit, NRouteOptions_stru(), area, &err) != 1) return false;
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
    if (a.dFromFrac > 0.0)
      out.stretches.push_back(NEdgeStretch{whole.lEdge, whole.dFrom, whole.dFrom + a.dFromFrac * len});
    if (a.dToFrac > 0.0) out.stretches.push_back(NEdgeStretch{whole.lEdge, whole.dTo - a.dToFrac * len, whole.dTo});
  }
  return true;
}

void WithinLines(const NRunSummary& s, std::vector<std::string>& lines) {
  lines.push_back("within " + FixedText(s.dLimit, 1) + ": " + std::to_string(s.lReachedNods) + " nodes, " +
                  std::to_string(s.lReachedEdges) + " edges reached, in whole or in part");
}

// --- isolate: the valves that cut off the first flag's street from the sources ---

bool SetIsolate(const std::string&, const std::string&, NOptions& opt, std::string& strError) {
  return SetMode(opt, NDemoMode::Isolate, strError);
}

bool CheckIsolate(const NOptions& opt, bool bChosen, std::string& strError) {
  bool bValves = !opt.strValves.empty();
  for (const NFlagRequest& f : opt.flags) bValves = bValves || f.bValve;
  if (bValves && !bChosen) {
    strError = "--valve and --valves go with --isolate";
  } else if (bChosen && !bValves) {
    strError = "--isolate needs valves: --valve X,Y (repeated) or --valves FILE";
  }
  return strError.empty();
}

bool Isolate(const CNetworkView& view, const CSplitIndex& split, std::int32_t, const NAnalysisInput& in,
             NAnalysisOutcome& out, NFinding_stru& err) {
  NIsolationQuery_stru q;
  q.eStartKind = NElemKind::Node;
  q.lStart = in.starts.front();
  q.devices = in.valves;
  q.sources.assign(in.starts.begin() + 1, in.starts.end());
  NIsolationResult_stru r;
  if (IsolateElement(view, q, r, &err) != 1) return false;
  out.closeValves = r.devices;
  out.bSourceInside = r.bSourceInside;
  out.lNodsReached = static_cast<std::int32_t>(r.isolated.nods.size());
  out.lEdgesReached = static_cast<std::int32_t>(r.isolated.edges.size());
  for (std::int32_t e : r.isolated.edges) out.stretches.push_back(Stretch(split, e));
  return true;
}

void IsolateLines(const NRunSummary& s, std::vector<std::string>& lines) {
  if (s.bSourceInside) {
    lines.push_back("isolate: a source lies on the first flag's own stretch: no valve can cut it off");
    return;
  }
  lines.push_back("isolate: close " + std::to_string(s.closeValves.size()) + " valves [nodes " +
                  JoinNumbers(s.closeValves, 10) + "]; " + std::to_string(s.lReachedNods) + " nodes, " +
                  std::to_string(s.lReachedEdges) + " edges lose supply");
}

// --- components: the parts of the network that hang together ---

bool SetComponents(const std::string&, const std::string&, NOptions& opt, std::string& strError) {
  return SetMode(opt, NDemoMode::Components, strError);
}

// Each demo edge's component (that of its first piece), and how many demo edges each has.
void CountComponentEdges(const CNetworkView& view, const CSplitIndex& split, std::int32_t lDemoEdges,
                         NAnalysisOutcome& out) {
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
}

bool Components(const CNetworkView& view, const CSplitIndex& split, std::int32_t lDemoEdges, const NAnalysisInput&,
                NAnalysisOutcome& out, NFinding_stru& err) {
  if (FindComponents(view, NComponentKind::Weak, NElemSet_stru(), out.comps, &err) != 1) return false;
  CountComponentEdges(view, split, lDemoEdges, out);
  for (std::int32_t c = 1; c <= out.comps.lCount; ++c) {
    if (out.lLargest == 0 ||
        out.compEdges[static_cast<std::size_t>(c) - 1] > out.compEdges[static_cast<std::size_t>(out.lLargest) - 1]) {
      out.lLargest = c;
    }
  }
  // The picture shows every part but the largest: the streets cut off from it.
  for (std::int32_t e = 1; e <= lDemoEdges; ++e) {
    const std::int32_t c = out.edgeComp[static_cast<std::size_t>(e) - 1];
    if (c != 0 && c != out.lLargest) out.stretches.push_back(NEdgeStretch{e, 0.0, 1.0});
  }
  out.lNodsReached = out.comps.lCount;
  return true;
}

void ComponentsLines(const NRunSummary& s, std::vector<std::string>& lines) {
  lines.push_back("components: " + std::to_string(s.lComponents) + "; the largest has " +
                  std::to_string(s.lLargestStreets) + " streets, " + std::to_string(s.lCutOffStreets) +
                  " streets lie outside it");
}

// The trace's own entry: no option, no analysis here (Trace.cpp walks it).
void TraceLines(const NRunSummary& s, std::vector<std::string>& lines) {
  if (!s.bTraced) {
    lines.push_back("no flags: the network only, nothing traced");
    return;
  }
  lines.push_back("trace (" + s.strDirection + "): visited " + std::to_string(s.lVisitedNods) + " nodes, " +
                  std::to_string(s.lVisitedEdges) + " edges (" + std::to_string(s.lOriginalsVisited) +
                  " edges before splitting, " + std::to_string(s.lOriginalsWhole) + " of them whole)");
  lines.push_back("demand reached: " + FixedText(s.dDmd, 2) + ", length reached: " + FixedText(s.dLength, 1) + " " +
                  s.strUnit);
  // Only streets closed both ways count: one-way streets are no barriers.
  lines.push_back("barriers met: " + std::to_string(s.barrierNods.size()) + " nodes [" +
                  JoinNumbers(s.barrierNods, 10) + "], " + std::to_string(s.closedStreets.size()) +
                  " closed streets [edges " + JoinNumbers(s.closedStreets, 10) + "]");
}

const std::vector<NModeDef> kModes = {
    {NDemoMode::Trace, nullptr, nullptr, nullptr, "trace", "traced", 1, nullptr, nullptr, nullptr, nullptr, TraceLines},
    {NDemoMode::Route, "--route", "X,Y",
     "the least-cost route from the first flag to this point,\n"
     "keeping to one-way streets (cost: --cost-field, else length)",
     "route", "route", 1, nullptr, SetRoute, CheckRoute, Route, RouteLines},
    {NDemoMode::Within, "--within", "COST",
     "everything within COST of the flags; streets reached in\n"
     "part are drawn to where the limit falls",
     "within", "in reach", 1, nullptr, SetWithin, nullptr, Within, WithinLines},
    {NDemoMode::Isolate, "--isolate", nullptr,
     "the valves to close to cut off the first flag's street\n"
     "from the sources (the other flags), and what loses supply",
     "isolate", "cut off", 2, "--isolate takes the burst as the first flag and at least one source as a further flag",
     SetIsolate, CheckIsolate, Isolate, IsolateLines},
    {NDemoMode::Components, "--components", nullptr,
     "the parts of the network that hang together; the picture\n"
     "shows the streets cut off from the largest one",
     "components", "apart", 0, nullptr, SetComponents, nullptr, Components, ComponentsLines},
};

}  // namespace

const std::vector<NModeDef>& Modes() { return kModes; }

const NModeDef& ModeOf(NDemoMode eMode) {
  for (const NModeDef& m : kModes)
    if (m.eMode == eMode) return m;
  return kModes.front();
}

bool RunAnalysis(const CNetworkView& view, const CSplitIndex& split, std::int32_t lDemoEdges, const NAnalysisInput& in,
                 NAnalysisOutcome& out, std::string& strError) {
  out = NAnalysisOutcome();
  const NModeDef& mode = ModeOf(in.eMode);
  if (in.starts.size() < mode.nMinStarts) {
    strError = in.starts.empty() ? "no flag could be placed to start from" : mode.pszTooFew;
    return false;
  }
  NFinding_stru err;
  if (mode.pfnRun == nullptr || !mode.pfnRun(view, split, lDemoEdges, in, out, err)) {
    strError = err.strText;
    return false;
  }
  return true;
}
