// Analyses.cpp - one toolkit analysis per run, its outcome folded back onto
// the demo's edges through the split index.
#include "Analyses.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "Options.h"
#include "Summary.h"
#include "kelvane/tools/DrivingSide.h"
#include "kelvane/tools/Isolation.h"
#include "kelvane/tools/Restrictions.h"
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
  } else if (!bChosen && !opt.strRestrictions.empty()) {
    strError = "--restrictions goes with --route";
  } else if (!bChosen && opt.eSide != DrivingSide::Both && opt.eMode != NDemoMode::Within) {
    strError = "--side goes with --route or --within";
  } else if (!opt.strRestrictions.empty() && opt.eSide != DrivingSide::Both) {
    // The toolkit routes under restrictions or from a kerb, not both at once.
    strError = "--restrictions and --side are one per route";
  }
  return strError.empty();
}

// The path the route's options ask for: under turn restrictions, from a
// kerb, or the plain least-cost one (the command line takes one of the first two).
bool FindRoute(const CNetworkView& view, const NAnalysisInput& in, NPath_stru& path, NFinding_stru& err) {
  const NRouteOptions_stru opt;
  const std::int32_t lFrom = in.starts.front();
  if (!in.restrictions.empty()) return FindRestrictedPath(view, lFrom, in.lTarget, opt, in.restrictions, path, &err) == 1;
  if (in.eSide != DrivingSide::Both)
    return FindSidedPath(view, lFrom, in.eSide, in.lTarget, in.eSide, opt, path, &err) == 1;
  return FindShortestPath(view, lFrom, in.lTarget, opt, path, &err) == 1;
}

bool Route(const CNetworkView& view, const CSplitIndex& split, std::int32_t, const NAnalysisInput& in,
           NAnalysisOutcome& out, NFinding_stru& err) {
  NPath_stru path;
  if (!FindRoute(view, in, path, err)) return false;
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

bool CheckWithin(const NOptions& opt, bool bChosen, std::string& strError) {
  if (opt.bToward && !bChosen) strError = "--toward goes with --within";
  if (opt.bToward && opt.eSide != DrivingSide::Both) strError = "--side leaves the flags: not with --toward";
  return strError.empty();
}

bool Within(const CNetworkView& view, const CSplitIndex& split, std::int32_t, const NAnalysisInput& in,
            NAnalysisOutcome& out, NFinding_stru& err) {
  NServiceArea_stru area;
  std::int32_t lDone = 0;
  if (in.bToward) {
    lDone = FindServiceAreaTo(view, in.starts, in.dLimit, NRouteOptions_stru(), area, &err, in.pProgress);
  } else if (in.eSide != DrivingSide::Both) {
    // Every flag is left from the same side of its street.
    const std::vector<DrivingSide> sides(in.starts.size(), in.eSide);
    lDone = FindSidedServiceArea(view, in.starts, sides, in.dLimit, NRouteOptions_stru(), area, &err, in.pProgress);
  } else {
    lDone = FindServiceArea(view, in.starts, in.dLimit, NRouteOptions_stru(), area, &err);
  }
  if (lDone != 1) return false;
  out.lNodsReached = static_cast<std::int32_t>(area.nods.size());
  out.lEdgesReached = static_cast<std::int32_t>(area.edges.size());
  // Each piece reached from one end or both: the stretches from its ends up
  // to where the limit falls (toward the flags: the shares from which they
  // are reached in time, measured from the same ends).
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
  lines.push_back("within " + FixedText(s.dLimit, 1) + (s.bToward ? " toward the flags: " : ": ") +
                  std::to_string(s.lReachedNods) + " nodes, " + std::to_string(s.lReachedEdges) +
                  (s.bToward ? " edges reach them" : " edges reached") + ", in whole or in part");
}

// --- costs-to: every node's least cost to the first flag ---

bool SetCostsTo(const std::string&, const std::string&, NOptions& opt, std::string& strError) {
  return SetMode(opt, NDemoMode::CostsTo, strError);
}

// Each network edge's two end nodes, entry e - 1, from the steps the view lists
// (an edge closed both ways is listed nowhere and keeps 0, 0).
std::vector<std::pair<std::int32_t, std::int32_t>> EdgeEnds(const CNetworkView& view) {
  std::vector<std::pair<std::int32_t, std::int32_t>> ends(static_cast<std::size_t>(view.GetEdgeNum()));
  std::vector<NStep_stru> steps;
  for (std::int32_t n = 1; n <= view.GetNodNum(); ++n) {
    for (const NStepSide side : {NStepSide::Leave, NStepSide::Arrive}) {
      if (view.GetStepS(n, side, steps) != 1) continue;
      for (const NStep_stru& st : steps) {
        if (st.lEdge < 1 || st.lEdge > view.GetEdgeNum()) continue;
        // Left along or arrived at against: n is the from node.
        const bool bFromEnd = st.bAlong == (side == NStepSide::Leave);
        auto& e = ends[static_cast<std::size_t>(st.lEdge) - 1];
        (bFromEnd ? e.first : e.second) = n;
      }
    }
  }
  return ends;
}

double CostAt(const std::vector<double>& costs, std::int32_t lNod) {
  return lNod >= 1 && static_cast<std::size_t>(lNod) <= costs.size() ? costs[static_cast<std::size_t>(lNod) - 1]
                                                                       : HUGE_VAL;
}

bool CostsTo(const CNetworkView& view, const CSplitIndex& split, std::int32_t, const NAnalysisInput& in,
             NAnalysisOutcome& out, NFinding_stru& err) {
  std::vector<double> costs;
  if (FindCostsTo(view, in.starts.front(), NRouteOptions_stru(), costs, &err, in.pProgress) != 1) return false;
  for (const double c : costs) {
    if (!std::isfinite(c)) continue;
    ++out.lNodsReached;
    out.dMaxCost = std::max(out.dMaxCost, c);
  }
  for (const std::int32_t lStart : in.starts) out.flagCosts.push_back(CostAt(costs, lStart));
  // Drawn like an area without a limit: every edge from both of whose ends the flag is reached.
  const auto ends = EdgeEnds(view);
  for (std::size_t e = 0; e < ends.size(); ++e) {
    if (!std::isfinite(CostAt(costs, ends[e].first)) || !std::isfinite(CostAt(costs, ends[e].second))) continue;
    ++out.lEdgesReached;
    out.stretches.push_back(Stretch(split, static_cast<std::int32_t>(e) + 1));
  }
  return true;
}

std::string CostText(double d) { return std::isfinite(d) ? FixedText(d, 1) : std::string("none"); }

void CostsToLines(const NRunSummary& s, std::vector<std::string>& lines) {
  lines.push_back("costs to the first flag: " + std::to_string(s.lReachedNods) + " nodes, " +
                  std::to_string(s.lReachedEdges) + " edges reach it, the farthest at " + CostText(s.dMaxCost));
  std::string strFlags;
  for (std::size_t i = 0; i < s.flagCosts.size() && i < 10; ++i) strFlags += (i ? " " : "") + CostText(s.flagCosts[i]);
  lines.push_back("costs of the flags to it: " + strFlags + (s.flagCosts.size() > 10 ? " ..." : ""));
}

// --- closest: the network parted among the flags ---

bool SetClosest(const std::string&, const std::string&, NOptions& opt, std::string& strError) {
  return SetMode(opt, NDemoMode::Closest, strError);
}

bool Closest(const CNetworkView& view, const CSplitIndex& split, std::int32_t, const NAnalysisInput& in,
             NAnalysisOutcome& out, NFinding_stru& err) {
  NClosestFacility_stru c;
  if (FindClosestFacility(view, in.starts, NRouteOptions_stru(), c, &err, in.pProgress) != 1) return false;
  out.partNods.assign(in.starts.size(), 0);
  out.partEdges.assign(in.starts.size(), 0);
  for (const std::int32_t f : c.facility) {
    if (f < 0) continue;
    ++out.partNods[static_cast<std::size_t>(f)];
    ++out.lNodsReached;
  }
  // An edge belongs to the flag nearest to its nearer end: where two parts
  // meet mid-street the street goes whole to one of them.
  const auto ends = EdgeEnds(view);
  for (std::size_t e = 0; e < ends.size(); ++e) {
    const double a = CostAt(c.costs, ends[e].first), b = CostAt(c.costs, ends[e].second);
    if (!std::isfinite(a) && !std::isfinite(b)) continue;
    const std::int32_t lNod = a <= b ? ends[e].first : ends[e].second;
    const std::int32_t f = c.facility[static_cast<std::size_t>(lNod) - 1];
    if (f < 0) continue;
    ++out.partEdges[static_cast<std::size_t>(f)];
    ++out.lEdgesReached;
    out.stretches.push_back(Stretch(split, static_cast<std::int32_t>(e) + 1));
    out.stretchPart.push_back(f);
  }
  return true;
}

void ClosestLines(const NRunSummary& s, std::vector<std::string>& lines) {
  std::string strParts;
  for (std::size_t i = 0; i < s.partEdges.size() && i < 10; ++i)
    strParts += (i ? ", " : "") + std::to_string(s.partNods[i]) + "/" + std::to_string(s.partEdges[i]);
  lines.push_back("closest: " + std::to_string(s.lReachedNods) + " nodes, " + std::to_string(s.lReachedEdges) +
                  " edges parted among the flags (nodes/edges per flag: " + strParts +
                  (s.partEdges.size() > 10 ? ", ..." : "") + ")");
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

bool CheckComponents(const NOptions& opt, bool bChosen, std::string& strError) {
  if (opt.bFollowCosts && !bChosen) strError = "--follow-costs goes with --components";
  return strError.empty();
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

bool Components(const CNetworkView& view, const CSplitIndex& split, std::int32_t lDemoEdges, const NAnalysisInput& in,
                NAnalysisOutcome& out, NFinding_stru& err) {
  NComponentOptions_stru opt;
  opt.bFollowCosts = in.bFollowCosts;
  if (FindComponents(view, NComponentKind::Weak, opt, out.comps, &err) != 1) return false;
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
    {NDemoMode::CostsTo, "--costs-to", nullptr,
     "every node's least cost to the first flag, keeping to\n"
     "one-way streets; the picture shows the streets that reach\n"
     "it, the summary each flag's cost to it",
     "costs-to", "reaching", 1, nullptr, SetCostsTo, nullptr, CostsTo, CostsToLines},
    {NDemoMode::Within, "--within", "COST",
     "everything within COST of the flags; streets reached in\n"
     "part are drawn to where the limit falls",
     "within", "in reach", 1, nullptr, SetWithin, CheckWithin, Within, WithinLines},
    {NDemoMode::Closest, "--closest", nullptr,
     "the network parted among the flags: each street goes to\n"
     "the flag nearest to it, each flag's part its own colour",
     "closest", "parts", 1, nullptr, SetClosest, nullptr, Closest, ClosestLines},
    {NDemoMode::Isolate, "--isolate", nullptr,
     "the valves to close to cut off the first flag's street\n"
     "from the sources (the other flags), and what loses supply",
     "isolate", "cut off", 2, "--isolate takes the burst as the first flag and at least one source as a further flag",
     SetIsolate, CheckIsolate, Isolate, IsolateLines},
    {NDemoMode::Components, "--components", nullptr,
     "the parts of the network that hang together; the picture\n"
     "shows the streets cut off from the largest one",
     "components", "apart", 0, nullptr, SetComponents, CheckComponents, Components, ComponentsLines},
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
    // A refusal always says why: by its text, else by its code.
    strError = !err.strText.empty()                    ? err.strText
               : err.eCode == NFindingCode::NoMemory ? std::string("out of memory")
               : err.eCode == NFindingCode::Stopped  ? std::string("stopped")
                                                     : std::string("refused by the toolkit");
    return false;
  }
  return true;
}
