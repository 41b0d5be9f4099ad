// AnalysisFuzz.cpp - hostile tables and hostile calls for the analyses.
//
// The input fills a network as a careless host might (end nodes that name no
// node, list entries that name no edge or the wrong end, counts longer than
// their lists, weight records of any type byte and value, turn matrices of
// the wrong size or none, flags mapped or not), builds a view with any
// options, then runs every analysis with numbers in range and out of it.
// The sanitizers catch reads outside a table; the checks below need no
// oracle: lists ascending and in range, paths that chain from start to end
// at rising costs, refusals that leave their outputs as they were, and a view
// that refuses once the network's counts change.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "FuzzInput.h"
#include "kelvane/LocalNetwork.h"
#include "kelvane/tools/AnalysisInput.h"
#include "kelvane/tools/Components.h"
#include "kelvane/tools/Isolation.h"
#include "kelvane/tools/NetworkView.h"
#include "kelvane/tools/ServiceArea.h"
#include "kelvane/tools/ShortestPath.h"
#include "kelvane/tools/SplitIndex.h"
#include "kelvane/tools/TraceAnalysis.h"

using namespace kelvane::tools;

const char* const kelvane_fuzz::kHarness = "analysis";

namespace {

using kelvane_fuzz::Check;
using kelvane_fuzz::PickDouble;
using kelvane_fuzz::PickElem;
using kelvane_fuzz::WeightOf;

constexpr std::int32_t kMaxNods = 40;
constexpr std::int32_t kMaxEdges = 64;
constexpr int kMaxOps = 48;   // analyses per input
constexpr int kMaxList = 12;  // starts, barriers, devices per call
constexpr double kInf = std::numeric_limits<double>::infinity();

// --- Picking values ---

// Mostly in range, so that the analyses get past their checks.
std::int32_t PickGoodElem(FuzzedDataProvider& in, std::int32_t count) {
  if (count < 1 || in.ConsumeIntegralInRange<int>(0, 15) == 0) return PickElem(in, count);
  return in.ConsumeIntegralInRange<std::int32_t>(1, count);
}

std::vector<std::int32_t> PickList(FuzzedDataProvider& in, std::int32_t count, bool bSigned) {
  std::vector<std::int32_t> out(static_cast<std::size_t>(in.ConsumeIntegralInRange<int>(0, kMaxList)));
  for (std::int32_t& v : out) {
    v = PickGoodElem(in, count);
    if (bSigned && in.ConsumeBool() && v > 0) v = -v;  // either sign names an edge
  }
  return out;
}

NElemSet_stru PickSet(FuzzedDataProvider& in, std::int32_t nNod, std::int32_t nEdge) {
  NElemSet_stru s;
  if (in.ConsumeIntegralInRange<int>(0, 2) == 0) return s;
  s.nods = PickList(in, nNod, false);
  s.edges = PickList(in, nEdge, true);
  return s;
}

NWeightVal_stru PickWeight(FuzzedDataProvider& in) {
  const int type = in.ConsumeIntegralInRange<int>(0, 15);
  const auto cType = static_cast<char>(type <= 4 ? type : (type < 14 ? 4 : in.ConsumeIntegral<std::int8_t>()));
  switch (cType) {
    case 1:
      return WeightOf(cType, in.ConsumeIntegralInRange<std::int32_t>(-5, 1000));
    case 2:
      return WeightOf(cType, in.ConsumeIntegral<std::int16_t>());
    case 3:
      return WeightOf(cType, static_cast<float>(in.ConsumeFloatingPointInRange<double>(-1.0, 100.0)));
    default:
      // Values that are not a number are rare, so that most views build.
      return WeightOf(cType, in.ConsumeIntegralInRange<int>(0, 7) == 0
                                 ? PickDouble(in)
                                 : in.ConsumeFloatingPointInRange<double>(0.0, 10.0));
  }
}

char PickState(FuzzedDataProvider& in) {
  const int k = in.ConsumeIntegralInRange<int>(0, 9);
  if (k < 6) return 0;
  if (k < 8) return 1;
  return static_cast<char>(in.ConsumeIntegral<std::uint8_t>());
}

// --- The network ---

// Fills net; returns whether its lists and end nodes agree (no hostile
// entries), which some checks need.
bool FillNetwork(CLocalNetwork& net, FuzzedDataProvider& in) {
  net.m_lNodNum = in.ConsumeIntegralInRange<std::int32_t>(0, kMaxNods);
  net.m_lEdgeNum = in.ConsumeIntegralInRange<std::int32_t>(0, kMaxEdges);
  net.m_lNodWgtFld = -1;
  net.m_lEdgeWgtFld1 = in.ConsumeBool() ? 0 : kelvane_fuzz::PickSetting(in);
  net.m_lEdgeWgtFld2 = in.ConsumeBool() ? 1 : kelvane_fuzz::PickSetting(in);
  net.m_cDmdFld = -1;
  net.m_lTurnWgtFlag = in.ConsumeIntegralInRange<std::int32_t>(0, 2);
  net.m_cEdgeDirectMode = 0;
#if !KELVANE_FIRST_GENERATION
  const int nExt = in.ConsumeIntegralInRange<int>(0, 2);
  for (int i = 0; i < nExt; ++i) net.m_ExtEdgeWgtFld.Add(kelvane_fuzz::PickSetting(in));
#endif
  if (net.ReallocMemory() != 1) return true;
  const std::int32_t nNod = net.m_lNodNum;
  const std::int32_t nEdge = net.m_lEdgeNum;
  const bool hostile = in.ConsumeIntegralInRange<int>(0, 2) == 0;
  bool consistent = true;

  std::vector<std::vector<std::int32_t>> lists(static_cast<std::size_t>(nNod));
  for (std::int32_t e = 1; e <= nEdge && nNod > 0; ++e) {
    NEdgeNod_stru& en = net.m_pEdgeNod[e - 1];
    en.lFromNod = in.ConsumeIntegralInRange<std::int32_t>(1, nNod);
    en.lToNod = in.ConsumeIntegralInRange<int>(0, 7) == 0 ? en.lFromNod : in.ConsumeIntegralInRange<std::int32_t>(1, nNod);
    lists[static_cast<std::size_t>(en.lFromNod - 1)].push_back(-e);
    lists[static_cast<std::size_t>(en.lToNod - 1)].push_back(e);
    if (hostile && in.ConsumeIntegralInRange<int>(0, 7) == 0) {
      // End nodes rewritten after the lists were made: out of range, or another node.
      (in.ConsumeBool() ? en.lFromNod : en.lToNod) = PickElem(in, nNod);
      consistent = false;
    }
  }
  for (std::int32_t n = 1; n <= nNod; ++n) {
    std::vector<std::int32_t>& list = lists[static_cast<std::size_t>(n - 1)];
    if (hostile && in.ConsumeIntegralInRange<int>(0, 5) == 0) {
      list.push_back(PickElem(in, nEdge));  // naming no edge, or one that does not end here
      consistent = false;
    }
    if (list.empty() && in.ConsumeBool()) continue;
    const auto count = static_cast<std::int16_t>(list.size());
    if (net.ReallocNodConnEdgeMemory(n, count) != 1) continue;
    for (std::size_t k = 0; k < list.size(); ++k) net.m_pNodConn[n - 1].pConnEdge[k] = list[k];
    if (hostile && count > 0 && in.ConsumeIntegralInRange<int>(0, 7) == 0) {
      // A count longer than the list (the view must read only what is there), or shorter.
      net.m_pNodConn[n - 1].sConnNum = static_cast<std::int16_t>(count + in.ConsumeIntegralInRange<int>(-count, 40));
      consistent = false;
    }
    net.m_pNodState[n - 1] = PickState(in);
    if (net.m_ppTurnWgt != nullptr && in.ConsumeBool()) {
      std::int16_t size = count;
      if (in.ConsumeIntegralInRange<int>(0, 3) == 0) size = static_cast<std::int16_t>(in.ConsumeIntegralInRange<int>(-1, 5));
      if (net.ReallocNodTurnWgtMemory(n, size) == 1 && size > 0) {
        for (int k = 0; k < size * size; ++k) {
          net.m_ppTurnWgt[n - 1][k] = in.ConsumeIntegralInRange<int>(0, 5) == 0 ? PickDouble(in) : 0.0;
        }
      }
    }
  }
  for (std::int32_t e = 0; e < nEdge; ++e) {
    net.m_pUpEdgeState[e] = PickState(in);
    net.m_pDownEdgeState[e] = PickState(in);
    if (net.m_pEdgeWgt1 != nullptr) net.m_pEdgeWgt1[e] = PickWeight(in);
    if (net.m_pEdgeWgt2 != nullptr) net.m_pEdgeWgt2[e] = PickWeight(in);
  }
  kelvane_fuzz::FillExtWeights(net, in, nEdge, PickWeight);
  return consistent;
}

// Maps a few flags and indexes the mapping; false when nothing was indexed.
// bOutside: a flag was placed outside its edge (position below 0 or above 1),
// which mapping accepts and which gives pieces shares outside 0 to 1.
bool MapFlags(CLocalNetwork& net, FuzzedDataProvider& in, CSplitIndex& split, std::vector<std::int32_t>& flagNods,
              bool& bOutside) {
  CSmartArray<NET_FLGstruct> flags;
  const int n = in.ConsumeIntegralInRange<int>(0, 6);
  for (int i = 0; i < n; ++i) {
    NET_FLGstruct f = NET_FLGstruct();
    f.cFlgType = in.ConsumeIntegralInRange<int>(0, 7) == 0 ? 1 : 2;
    f.lElemID = PickGoodElem(in, f.cFlgType == 1 ? net.m_lNodNum : net.m_lEdgeNum);
    f.dPos = in.ConsumeIntegralInRange<int>(0, 7) == 0 ? PickDouble(in) : in.ConsumeFloatingPointInRange<double>(0.0, 1.0);
    if (f.cFlgType == 2 && !(f.dPos >= 0.0 && f.dPos <= 1.0)) bOutside = true;
    flags.Add(f);
  }
  CSmartArray<NET_FLGstruct> out;
  CSmartArray<TEMPEDGE_MAP_EDGE> temp;
  CSmartArray<std::int32_t> newNods;
  if (net.MapNetFlag(flags, out, temp, newNods) != 1) return false;
  FlagNods(out, flagNods);  // refuses unmapped flags, leaving the list empty
  return split.Build(net, flags, out, temp) == 1;
}

// --- Checks on results ---

void CheckAscending(const std::vector<std::int32_t>& list, std::int32_t count, const char* what) {
  for (std::size_t i = 0; i < list.size(); ++i) {
    Check(list[i] >= 1 && list[i] <= count, what, static_cast<long>(i), list[i]);
    if (i > 0) Check(list[i - 1] < list[i], what, static_cast<long>(i), list[i]);
  }
}

bool InRange(std::int32_t v, std::int32_t count) { return v >= 1 && v <= count; }

bool SetHas(const std::vector<std::int32_t>& list, std::int32_t v) {
  for (std::int32_t x : list) {
    if (x == v || x == -v) return true;
  }
  return false;
}

bool SameCost(double a, double b) {
  if (std::isinf(a) || std::isinf(b)) return a == b;
  return std::fabs(a - b) <= 1e-9 * (1.0 + std::fabs(a) + std::fabs(b));
}

struct Ctx {
  CLocalNetwork& net;
  const CNetworkView& view;
  const CSplitIndex* pSplit;         // the mapping's index, when there is one
  std::vector<std::int32_t> flagNods;
  bool consistent;                   // lists and end nodes agree
  bool bOutside;                     // a flag was mapped outside its edge
};

// A refused call leaves its output as it was: every output starts as this
// recognisable junk.
NTraceResult_stru JunkTrace() { return NTraceResult_stru{{-7, 3}, {9}}; }
bool IsJunk(const NTraceResult_stru& r) { return r.nods == std::vector<std::int32_t>{-7, 3} && r.edges == std::vector<std::int32_t>{9}; }
std::vector<double> JunkCosts() { return {-3.5, 2.0}; }
bool IsJunk(const std::vector<double>& c) { return c.size() == 2 && c[0] == -3.5 && c[1] == 2.0; }

void RunTrace(Ctx& c, FuzzedDataProvider& in) {
  const std::int32_t nNod = c.view.GetNodNum();
  const std::int32_t nEdge = c.view.GetEdgeNum();
  NTraceQuery_stru q;
  q.eKind = static_cast<NTraceKind>(in.ConsumeIntegralInRange<int>(0, 3));
  q.starts = in.ConsumeBool() && !c.flagNods.empty() ? c.flagNods : PickList(in, nNod, false);
  q.barriers = PickSet(in, nNod, nEdge);
  q.stops = PickSet(in, nNod, nEdge);
  NTraceResult_stru r = JunkTrace();
  NFinding_stru err;
  if (TraceNetwork(c.view, q, r, &err) != 1) {
    Check(IsJunk(r), "a refused trace wrote its result");
    Check(!err.strText.empty(), "a refused trace says nothing");
    return;
  }
  CheckAscending(r.nods, nNod, "trace nodes not ascending or out of range");
  CheckAscending(r.edges, nEdge, "trace edges not ascending or out of range");
  for (std::int32_t n : r.nods) Check(!SetHas(q.barriers.nods, n), "a trace reached a barrier node", n);
  for (std::int32_t e : r.edges) Check(!SetHas(q.barriers.edges, e), "a trace reached a barrier edge", e);
  for (std::int32_t s : q.starts) {
    if (!SetHas(q.barriers.nods, s)) Check(SetHas(r.nods, s), "a trace did not reach its start", s);
  }
  if (in.ConsumeBool()) {
    if (in.ConsumeIntegralInRange<int>(0, 3) == 0) r.nods.push_back(PickElem(in, nNod));  // a hostile result
    const std::int32_t ok = WriteTraceMarks(c.net, c.view, r, &err);
    CSmartArray<std::int32_t> nods;
    CSmartArray<std::int32_t> edges;
    if (ok == 1 && c.net.FetchTraceResult(nods, edges) == 1) {
      std::vector<std::int32_t> got(nods.GetPtr(0), nods.GetPtr(0) + nods.GetSize());
      std::vector<std::int32_t> want(r.nods);
      std::sort(want.begin(), want.end());
      want.erase(std::unique(want.begin(), want.end()), want.end());
      Check(got == want, "the trace marks do not hold the trace's nodes", static_cast<long>(got.size()),
            static_cast<long>(want.size()));
      Check(edges.GetSize() == static_cast<std::int32_t>(r.edges.size()), "the trace marks do not hold its edges");
    }
  }
}

void RunIsolation(Ctx& c, FuzzedDataProvider& in) {
  const std::int32_t nNod = c.view.GetNodNum();
  const std::int32_t nEdge = c.view.GetEdgeNum();
  NIsolationQuery_stru q;
  q.eStartKind = static_cast<NElemKind>(in.ConsumeIntegralInRange<int>(0, 4));
  q.lStart = PickGoodElem(in, q.eStartKind == NElemKind::Edge ? nEdge : nNod);
  q.devices = PickList(in, nNod, false);
  q.sources = PickList(in, nNod, false);
  q.barriers = PickSet(in, nNod, nEdge);
  NIsolationResult_stru r;
  r.devices = {-1};
  r.isolated = JunkTrace();
  if (IsolateElement(c.view, q, r) != 1) {
    Check(r.devices == std::vector<std::int32_t>{-1} && IsJunk(r.isolated), "a refused isolation wrote its result");
    return;
  }
  CheckAscending(r.devices, nNod, "isolating devices not ascending or out of range");
  for (std::int32_t d : r.devices) Check(SetHas(q.devices, d), "an isolating device that is no device", d);
  CheckAscending(r.isolated.nods, nNod, "isolated nodes not ascending or out of range");
  CheckAscending(r.isolated.edges, nEdge, "isolated edges not ascending or out of range");
  if (r.bSourceInside) Check(r.isolated.nods.empty() && r.isolated.edges.empty(), "isolated with a source inside");
}

NRouteOptions_stru PickRoute(Ctx& c, FuzzedDataProvider& in) {
  NRouteOptions_stru opt;
  opt.bDirected = in.ConsumeBool();
  opt.bTurns = in.ConsumeBool();
  opt.barriers = PickSet(in, c.view.GetNodNum(), c.view.GetEdgeNum());
  return opt;
}

// The path chains from lFrom to lTo over edges of the view, at costs that
// only rise, and its cost is the least one FindCostsFrom gives.
void CheckPath(Ctx& c, const NPath_stru& p, const NRouteOptions_stru& opt, const std::vector<double>* pCosts) {
  const std::int32_t nNod = c.view.GetNodNum();
  const std::int32_t nEdge = c.view.GetEdgeNum();
  if (!p.bFound) {
    Check(p.steps.empty() && p.dCost == kInf, "a path not found has steps or a cost");
    if (pCosts != nullptr) Check((*pCosts)[p.lTo - 1] == kInf, "no path, yet a cost to its end", p.lTo);
    return;
  }
  Check(p.dCost >= 0.0 && p.dCost < kInf, "a path's cost is not finite", p.lFrom, p.lTo);
  if (p.lFrom == p.lTo) Check(p.steps.empty() && p.dCost == 0.0, "a path to its own start has steps");
  std::int32_t at = p.lFrom;
  double cost = 0.0;
  for (const NPathStep_stru& s : p.steps) {
    Check(InRange(s.lEdge, nEdge) && InRange(s.lNod, nNod), "a path step out of range", s.lEdge, s.lNod);
    Check(s.dCost >= cost && s.dCost < kInf, "a path's costs fall", s.lEdge, at);
    Check(!SetHas(opt.barriers.edges, s.lEdge) && !SetHas(opt.barriers.nods, s.lNod), "a path through a barrier",
          s.lEdge, s.lNod);
    const NEdgeNod_stru& en = c.net.m_pEdgeNod[s.lEdge - 1];
    if (c.consistent) {
      const bool joins = s.bAlong ? (en.lFromNod == at && en.lToNod == s.lNod)
                                  : (en.lToNod == at && en.lFromNod == s.lNod);
      Check(joins, "a path step does not join on", s.lEdge, at);
      const double edgeCost = c.view.GetEdgeCost(s.lEdge, s.bAlong);
      if (opt.bDirected) Check(s.dCost - cost >= edgeCost - 1e-9 * (1.0 + s.dCost), "a step cheaper than its edge", s.lEdge);
    }
    Check(at == p.lFrom || c.view.NodClosed()[at] == 0, "a path passes a closed node", at);
    at = s.lNod;
    cost = s.dCost;
  }
  Check(at == p.lTo, "a path ends elsewhere", at, p.lTo);
  Check(SameCost(cost, p.dCost), "a path's total is not its last step's cost");
  if (pCosts != nullptr) Check(SameCost((*pCosts)[p.lTo - 1], p.dCost), "a path dearer than the least cost", p.lTo);
}

void RunRoutes(Ctx& c, FuzzedDataProvider& in) {
  const std::int32_t nNod = c.view.GetNodNum();
  const NRouteOptions_stru opt = PickRoute(c, in);
  const std::int32_t from = PickGoodElem(in, nNod);
  const std::int32_t to = PickGoodElem(in, nNod);
  switch (in.ConsumeIntegralInRange<int>(0, 2)) {
    case 0: {
      NPath_stru p;
      p.lFrom = -9;
      const std::int32_t ok = FindShortestPath(c.view, from, to, opt, p);
      if (ok != 1) {
        Check(p.lFrom == -9 && p.steps.empty(), "a refused route wrote its path");
        return;
      }
      Check(p.lFrom == from && p.lTo == to, "a path names other ends", p.lFrom, p.lTo);
      std::vector<double> costs;
      const bool haveCosts = FindCostsFrom(c.view, from, opt, costs) == 1;
      Check(haveCosts && costs.size() == static_cast<std::size_t>(nNod), "costs refused where the path was not");
      CheckPath(c, p, opt, &costs);
      if (c.pSplit != nullptr) {
        std::vector<NFoldedStep_stru> folded{{-1, 0.0, 0.0, 0.0}};
        if (FoldPath(*c.pSplit, p, folded) == 1) {
          double last = 0.0;
          for (const NFoldedStep_stru& f : folded) {
            Check(f.lEdge >= 1, "a folded stretch names no edge", f.lEdge);
            Check(c.bOutside || (f.dFrom >= 0.0 && f.dFrom <= 1.0 && f.dTo >= 0.0 && f.dTo <= 1.0),
                  "a folded stretch outside its edge", f.lEdge);
            Check(f.dCost >= last, "folded costs fall", f.lEdge);
            last = f.dCost;
          }
        } else {
          Check(folded.size() == 1 && folded[0].lEdge == -1, "a refused fold wrote its steps");
        }
      }
      break;
    }
    case 1: {
      std::vector<double> costs = JunkCosts();
      if (FindCostsFrom(c.view, from, opt, costs) != 1) {
        Check(IsJunk(costs), "refused costs were written");
        return;
      }
      Check(costs.size() == static_cast<std::size_t>(nNod), "costs of the wrong length");
      for (double d : costs) Check(d >= 0.0, "a cost below 0 or not a number");
      Check(costs[from - 1] == 0.0 || SetHas(opt.barriers.nods, from), "a start that costs something", from);
      break;
    }
    default: {
      const std::vector<std::int32_t> sources = PickList(in, nNod, false);
      const std::vector<std::int32_t> targets = PickList(in, nNod, false);
      std::vector<double> m = JunkCosts();
      if (FindCostMatrix(c.view, sources, targets, opt, m) != 1) {
        Check(IsJunk(m), "a refused matrix was written");
        return;
      }
      Check(m.size() == sources.size() * targets.size(), "a matrix of the wrong size");
      for (std::size_t s = 0; s < sources.size(); ++s) {
        std::vector<double> row;
        Check(FindCostsFrom(c.view, sources[s], opt, row) == 1, "costs refused for a matrix's source");
        for (std::size_t t = 0; t < targets.size(); ++t) {
          Check(SameCost(m[s * targets.size() + t], row[static_cast<std::size_t>(targets[t] - 1)]),
                "a matrix entry is not the cost from its source", static_cast<long>(s), static_cast<long>(t));
        }
      }
      break;
    }
  }
}

void RunServiceArea(Ctx& c, FuzzedDataProvider& in) {
  const std::int32_t nNod = c.view.GetNodNum();
  const std::int32_t nEdge = c.view.GetEdgeNum();
  const NRouteOptions_stru opt = PickRoute(c, in);
  const std::vector<std::int32_t> starts = in.ConsumeBool() && !c.flagNods.empty() ? c.flagNods : PickList(in, nNod, false);
  const double limit = PickDouble(in);
  NServiceArea_stru a;
  a.nods = {-4};
  if (FindServiceArea(c.view, starts, limit, opt, a) != 1) {
    Check(a.nods == std::vector<std::int32_t>{-4} && a.costs.empty() && a.edges.empty(), "a refused area was written");
    return;
  }
  Check(!std::isnan(limit) && limit >= 0.0, "an area for a limit that is no limit");
  CheckAscending(a.nods, nNod, "area nodes not ascending or out of range");
  Check(a.costs.size() == a.nods.size(), "area costs and nodes of different lengths");
  for (double d : a.costs) Check(d >= 0.0 && d <= limit, "an area node beyond the limit");
  for (std::size_t i = 0; i < a.edges.size(); ++i) {
    const NAreaEdge_stru& e = a.edges[i];
    Check(InRange(e.lEdge, nEdge) && (i == 0 || a.edges[i - 1].lEdge < e.lEdge), "area edges not ascending", e.lEdge);
    Check(e.dFromFrac >= 0.0 && e.dFromFrac <= 1.0 && e.dToFrac >= 0.0 && e.dToFrac <= 1.0,
          "an area share outside 0 to 1", e.lEdge);
    Check(!SetHas(opt.barriers.edges, e.lEdge), "an area over a barrier edge", e.lEdge);
  }
  if (c.pSplit != nullptr) {
    std::vector<NAreaEdge_stru> folded{{-1, 0.0, 0.0}};
    if (FoldServiceArea(*c.pSplit, a, folded) == 1) {
      for (std::size_t i = 0; i < folded.size(); ++i) {
        const NAreaEdge_stru& e = folded[i];
        Check(e.lEdge >= 1 && (i == 0 || folded[i - 1].lEdge < e.lEdge), "folded area edges not ascending", e.lEdge);
        if (c.bOutside) continue;
        Check(e.dFromFrac >= 0.0 && e.dFromFrac <= 1.0 + 1e-9 && e.dToFrac >= 0.0 && e.dToFrac <= 1.0 + 1e-9,
              "a folded share outside 0 to 1", e.lEdge);
      }
    } else {
      Check(folded.size() == 1 && folded[0].lEdge == -1, "a refused area fold wrote its edges");
    }
  }
}

void RunComponents(Ctx& c, FuzzedDataProvider& in) {
  const std::int32_t nNod = c.view.GetNodNum();
  const std::int32_t nEdge = c.view.GetEdgeNum();
  const auto kind = static_cast<NComponentKind>(in.ConsumeIntegralInRange<int>(0, 2));
  const NElemSet_stru barriers = PickSet(in, nNod, nEdge);
  NComponents_stru r;
  r.lCount = -5;
  if (FindComponents(c.view, kind, barriers, r) != 1) {
    Check(r.lCount == -5 && r.nodComp.empty(), "refused components were written");
    return;
  }
  Check(r.nodComp.size() == static_cast<std::size_t>(nNod) && r.edgeComp.size() == static_cast<std::size_t>(nEdge) &&
            r.sizes.size() == static_cast<std::size_t>(r.lCount),
        "components of the wrong lengths", r.lCount);
  // Numbered by their lowest node: each first seen in node order is the next number.
  std::int32_t next = 1;
  std::vector<std::int32_t> sizes(static_cast<std::size_t>(r.lCount), 0);
  for (std::int32_t n = 1; n <= nNod; ++n) {
    const std::int32_t k = r.nodComp[static_cast<std::size_t>(n - 1)];
    Check(k >= 0 && k <= r.lCount && k <= next, "a component numbered out of order", n, k);
    if (k == next) ++next;
    if (k > 0) ++sizes[static_cast<std::size_t>(k - 1)];
    if (c.view.NodClosed()[n] != 0 || SetHas(barriers.nods, n)) Check(k == 0, "a closed node in a component", n);
  }
  Check(next == r.lCount + 1 && sizes == r.sizes, "component sizes or count wrong", r.lCount);
  for (std::int32_t e = 1; e <= nEdge; ++e) {
    const std::int32_t k = r.edgeComp[static_cast<std::size_t>(e - 1)];
    Check(k >= 0 && k <= r.lCount, "an edge in no component there is", e, k);
    if (SetHas(barriers.edges, e)) Check(k == 0, "a barrier edge in a component", e);
  }
  // A weak component holds both ends of every step between open nodes. Only
  // where the lists agree with the end nodes: an edge listed at one end only
  // is a step one way only, which the search from the other end cannot see.
  if (kind != NComponentKind::Weak || !c.consistent) return;
  for (std::int32_t n = 1; n <= nNod; ++n) {
    const std::int32_t k = r.nodComp[static_cast<std::size_t>(n - 1)];
    if (k == 0) continue;
    for (std::int64_t j = c.view.StepBegin(n); j < c.view.StepEnd(n); ++j) {
      const std::int32_t far = c.view.StepFar()[j];
      const std::int32_t e = c.view.StepEdge()[j];
      const std::int32_t kf = r.nodComp[static_cast<std::size_t>(far - 1)];
      if (kf == 0 || SetHas(barriers.edges, e)) continue;
      Check(kf == k, "a step joins two weak components", n, far);
      Check(r.edgeComp[static_cast<std::size_t>(e - 1)] == k, "a step's edge outside its component", e, k);
    }
  }
}

// Once the counts change, everything refuses and writes nothing; with the
// counts back the view answers again.
void RunStale(Ctx& c, FuzzedDataProvider& in) {
  const std::int32_t savedNod = c.net.m_lNodNum;
  const std::int32_t savedEdge = c.net.m_lEdgeNum;
  const bool wasCurrent = c.view.IsCurrent();
  if (in.ConsumeBool()) {
    c.net.m_lNodNum += in.ConsumeIntegralInRange<std::int32_t>(1, 3);
  } else {
    c.net.m_lEdgeNum += in.ConsumeBool() ? 1 : -1;
  }
  NFinding_stru err;
  Check(!c.view.IsCurrent(&err) && !err.strText.empty(), "a view answers for changed counts");
  NTraceQuery_stru q;
  q.starts = {1};
  NTraceResult_stru r = JunkTrace();
  Check(TraceNetwork(c.view, q, r) == 0 && IsJunk(r), "a stale view traced");
  Check(WriteTraceMarks(c.net, c.view, r) == 0, "a stale view wrote trace marks");
  NRouteOptions_stru opt;
  std::vector<double> costs = JunkCosts();
  Check(FindCostsFrom(c.view, 1, opt, costs) == 0 && IsJunk(costs), "a stale view routed");
  NPath_stru p;
  p.lFrom = -9;
  Check(FindShortestPath(c.view, 1, 1, opt, p) == 0 && p.lFrom == -9, "a stale view found a path");
  costs = JunkCosts();
  Check(FindCostMatrix(c.view, {1}, {1}, opt, costs) == 0 && IsJunk(costs), "a stale view made a matrix");
  NServiceArea_stru a;
  Check(FindServiceArea(c.view, {1}, 1.0, opt, a) == 0 && a.nods.empty(), "a stale view made an area");
  NComponents_stru comps;
  comps.lCount = -5;
  Check(FindComponents(c.view, NComponentKind::Weak, NElemSet_stru(), comps) == 0 && comps.lCount == -5,
        "a stale view found components");
  NIsolationQuery_stru iq;
  iq.lStart = 1;
  NIsolationResult_stru ir;
  ir.devices = {-1};
  Check(IsolateElement(c.view, iq, ir) == 0 && ir.devices.size() == 1, "a stale view isolated");
  c.net.m_lNodNum = savedNod;
  c.net.m_lEdgeNum = savedEdge;
  Check(c.view.IsCurrent() == wasCurrent, "a view does not answer with its counts back");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  CLocalNetwork net;
  const bool consistent = FillNetwork(net, in);
  CSplitIndex split;
  std::vector<std::int32_t> flagNods;
  bool bOutside = false;
  const bool mapped = in.ConsumeBool() && MapFlags(net, in, split, flagNods, bOutside);

  NViewOptions_stru opt;
  opt.lAlongFld = in.ConsumeBool() ? 0 : kelvane_fuzz::PickSetting(in);
  opt.lAgainstFld = in.ConsumeBool() ? -1 : kelvane_fuzz::PickSetting(in);
  opt.bTurns = in.ConsumeBool();
  opt.pSplit = mapped && in.ConsumeBool() ? &split : nullptr;
  CNetworkView view;
  NFinding_stru err;
  const std::int32_t built = view.Build(net, opt, &err);
  Check(built == 1 || !err.strText.empty(), "a refused view says nothing");
  Check(view.IsCurrent() == (built == 1), "a view's state is not what Build returned");
  if (built == 1) {
    Check(view.GetNodNum() <= net.m_lNodNum && view.GetEdgeNum() <= net.m_lEdgeNum, "a view beyond the counts");
    // Costs are a way (0 or more) or no way (+infinity), never below 0 or NaN.
    for (std::int32_t e = 1; e <= view.GetEdgeNum(); ++e) {
      Check(view.CostAlong()[e] >= 0.0 && view.CostAgainst()[e] >= 0.0, "a cost below 0 or not a number", e,
            opt.pSplit != nullptr ? 1 : 0);
    }
    // Every step names an edge and a node in range.
    for (std::int32_t n = 1; n <= view.GetNodNum(); ++n) {
      Check(view.StepBegin(n) <= view.StepEnd(n), "step entries run backwards", n);
      for (std::int64_t j = view.StepBegin(n); j < view.StepEnd(n); ++j) {
        Check(InRange(view.StepFar()[j], view.GetNodNum()) && InRange(view.StepEdge()[j], view.GetEdgeNum()),
              "a step out of range", n, static_cast<long>(j));
      }
    }
  }

  Ctx c{net, view, mapped ? &split : nullptr, flagNods, consistent, bOutside};
  for (int op = 0; op < kMaxOps && in.remaining_bytes() > 0; ++op) {
    switch (in.ConsumeIntegralInRange<int>(0, 9)) {
      case 0:
      case 1:
        RunTrace(c, in);
        break;
      case 2:
        RunIsolation(c, in);
        break;
      case 3:
      case 4:
      case 5:
        RunRoutes(c, in);
        break;
      case 6:
        RunServiceArea(c, in);
        break;
      case 7:
      case 8:
        RunComponents(c, in);
        break;
      default:
        RunStale(c, in);
        break;
    }
  }
  return 0;
}
