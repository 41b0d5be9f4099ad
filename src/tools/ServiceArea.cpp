// ServiceArea.cpp - the area within a cost of the starts, and its edges
// folded onto the edges as they were before flag mapping.
#include "kelvane/tools/ServiceArea.h"

#include "kelvane/tools/DrivingSide.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "kelvane/tools/Progress.h"
#include "tools/AnalysisInt.h"
#include "tools/RouteSearch.h"
#include "tools/SearchThreads.h"
#include "tools/ToolsInt.h"

namespace kelvane {
namespace tools {

namespace {

// Each step out of a node of the area reaches its edge as far as the cost
// left allows: the share from the end it leaves by (in reverse, the end it
// arrives at). A loop is left both ways round, so both its ends get their
// share. Barriers stop a step before it starts, so a barrier edge or an edge
// into a barrier gets none. The costs are the engine's own rule.
class CAreaShares {
 public:
  CAreaShares(const CRouteSearch& search, bool bReverse, double dLimit)
      : m_search(search), m_bReverse(bReverse), m_dLimit(dLimit) {}

  // The share of step entry j's edge reached from node u's end of it (the
  // from end or the to end); -1 for none.
  double Share(std::int32_t u, std::int64_t j, bool bFromEnd) const {
    const double c = m_search.EndCost(j, m_bReverse, bFromEnd);
    if (c == kNoRoute || m_search.Blocked(j, m_bReverse)) return -1.0;
    if (c == 0.0) return 1.0;
    const double f = (m_dLimit - m_search.Dist(u)) / c;
    return f > 0.0 ? std::min(f, 1.0) : -1.0;
  }

 private:
  const CRouteSearch& m_search;
  bool m_bReverse;
  double m_dLimit;
};

// The shares of the steps into a closed start of an area to the starts,
// which has no steps of its own: each from the far end of its step.
void ClosedStartShares(const CRouteSearch& search, const NBarrierBits& barriers, std::int32_t u, double dLimit,
                       std::vector<NAreaEdge_stru>& parts) {
  search.ForEachStepInto(u, [&](std::int64_t j, std::int32_t w) {
    if (search.Blocked(j, false) || (barriers.bAny && barriers.nods.Test(w))) return;
    for (int end = 0; end < 2; ++end) {
      const double c = search.EndCost(j, false, end == 0);
      if (c == kNoRoute) continue;
      const double f = c == 0.0 ? 1.0 : std::min(1.0, (dLimit - search.Dist(u)) / c);
      if (f <= 0.0) continue;
      // Left from w's from end, the edge ends at u's: its to end.
      parts.push_back(NAreaEdge_stru{search.Edge(j), end == 0 ? 0.0 : f, end == 0 ? f : 0.0});
    }
  });
}

// The largest share of each edge from each end, ascending by edge.
void MergeShares(std::vector<NAreaEdge_stru>& parts, std::vector<NAreaEdge_stru>& areaEdges) {
  std::sort(parts.begin(), parts.end(),
            [](const NAreaEdge_stru& a, const NAreaEdge_stru& b) { return a.lEdge < b.lEdge; });
  for (const NAreaEdge_stru& p : parts) {
    if (!areaEdges.empty() && areaEdges.back().lEdge == p.lEdge) {
      areaEdges.back().dFromFrac = std::max(areaEdges.back().dFromFrac, p.dFromFrac);
      areaEdges.back().dToFrac = std::max(areaEdges.back().dToFrac, p.dToFrac);
    } else {
      areaEdges.push_back(p);
    }
  }
}

// Two lists of MergeShares as one: ascending, each edge once with the
// larger share from each end.
void JoinShares(const std::vector<NAreaEdge_stru>& a, const std::vector<NAreaEdge_stru>& b,
                std::vector<NAreaEdge_stru>& out) {
  out.reserve(a.size() + b.size());
  std::size_t i = 0;
  std::size_t k = 0;
  while (i < a.size() || k < b.size()) {
    if (k == b.size() || (i < a.size() && a[i].lEdge < b[k].lEdge)) {
      out.push_back(a[i++]);
    } else if (i == a.size() || b[k].lEdge < a[i].lEdge) {
      out.push_back(b[k++]);
    } else {
      out.push_back(NAreaEdge_stru{a[i].lEdge, std::max(a[i].dFromFrac, b[k].dFromFrac),
                                   std::max(a[i].dToFrac, b[k].dToFrac)});
      ++i;
      ++k;
    }
  }
}

// Appends the shares of the steps out of the nodes first to last - 1 of an
// area's search.
void StepShares(const CNetworkView& view, const CRouteSearch& search, const NBarrierBits& barriers, bool bReverse,
                double dLimit, const std::int32_t* first, const std::int32_t* last,
                std::vector<NAreaEdge_stru>& parts) {
  const CAreaShares shares(search, bReverse, dLimit);
  for (const std::int32_t* p = first; p != last; ++p) {
    const std::int32_t u = *p;
    if (barriers.bAny && barriers.nods.Test(u)) continue;
    if (bReverse && view.NodClosed()[u] != 0) {
      ClosedStartShares(search, barriers, u, dLimit, parts);
      continue;
    }
    for (std::int64_t j = view.StepBegin(u); j < view.StepEnd(u); ++j) {
      const double fFrom = shares.Share(u, j, true);
      const double fTo = shares.Share(u, j, false);
      if (fFrom <= 0.0 && fTo <= 0.0) continue;
      parts.push_back(NAreaEdge_stru{view.StepEdge()[j], std::max(fFrom, 0.0), std::max(fTo, 0.0)});
    }
  }
}

// The edges of the area, ascending, each with its largest share from each
// end: the shares of the steps out of the area's nodes, sorted by edge and
// merged, so the work follows the area, not the network.
void AreaEdges(const CNetworkView& view, const CRouteSearch& search, const NBarrierBits& barriers, bool bReverse,
               double dLimit, std::vector<NAreaEdge_stru> parts, std::vector<NAreaEdge_stru>& areaEdges) {
  const std::vector<std::int32_t>& settled = search.Settled();
  StepShares(view, search, barriers, bReverse, dLimit, settled.data(), settled.data() + settled.size(), parts);
  MergeShares(parts, areaEdges);
}

// The area's nodes ascending: a sort of the nodes settled, or for an area
// of much of the network a pass over a bitset.
void AreaNods(const CNetworkView& view, const std::vector<std::int32_t>& settled, std::vector<std::int32_t>& nods) {
  if (settled.size() > static_cast<std::size_t>(view.GetNodNum()) / 32) {
    CElemBits bits(view.GetNodNum());
    for (std::int32_t u : settled) bits.Set(u);
    bits.AppendSet(nods);
    return;
  }
  nods = settled;
  std::sort(nods.begin(), nods.end());
  nods.erase(std::unique(nods.begin(), nods.end()), nods.end());
}

// The checks of an area's call: the view, the limit, the starts, the barriers.
std::int32_t CheckArea(const CNetworkView& view, const std::vector<std::int32_t>& starts, double dLimit,
                       const NRouteOptions_stru& opt, NBarrierBits& barriers, NFinding_stru* pError) {
  if (CheckCurrent(view, pError) == 0) return 0;
  if (std::isnan(dLimit) || dLimit < 0.0) {
    return Refuse(pError, MakeFinding(NFindingCode::BadArgument, NElemKind::Network, 0,
                                      Format("the cost limit %g is not a cost (a number 0 or above)", dLimit)));
  }
  return CheckStartsAndBarriers(view, starts, opt.barriers, barriers, pError);
}

// The nodes a search within the limit settled, with their costs and entries.
void NodsOf(const CNetworkView& view, const CRouteSearch& search, NServiceArea_stru& out) {
  AreaNods(view, search.Settled(), out.nods);
  out.costs.reserve(out.nods.size());
  out.reachedBy.reserve(out.nods.size());
  for (std::int32_t u : out.nods) {
    out.costs.push_back(search.Dist(u));
    out.reachedBy.push_back(search.ReachedBy(u));
  }
}

// Hands the host the polls of the calling thread's searches, once no other
// thread has stopped the call, with a fraction that never falls (the
// calling thread may run more than one search).
struct NAreaProgress {
  const NProgress_stru* pHost = nullptr;
  NThreadStop* pStop = nullptr;
  double dLast = 0.0;
  static bool Poll(void* pUser, double dDone) {
    NAreaProgress& p = *static_cast<NAreaProgress*>(pUser);
    if (p.pStop->bStop.load()) return false;
    if (p.pHost == nullptr || p.pHost->pfnPoll == nullptr) return true;
    p.dLast = std::max(p.dLast, dDone);
    return p.pHost->pfnPoll(p.pHost->pUser, p.dLast);
  }
};

// The search of an area of many starts spread over threads: the starts cut
// into runs of the list as given, one search per run, each in a state of
// its own, and every other run's search merged into the first's where
// cheaper. A node's least cost from all the starts is the least over the
// runs, so the merged search settles the nodes at the costs one search from
// every start gives; where runs tie, the earlier run's entry stays.
class CAreaThreads {
 public:
  CAreaThreads(const CNetworkView& view, const NRouteOptions_stru& opt, const NBarrierBits& barriers,
               const std::vector<std::int32_t>& starts, const NSearchRun& run, std::size_t nRuns)
      : m_view(view), m_opt(opt), m_barriers(barriers), m_run(run), m_searches(nRuns) {
    for (std::size_t i = 0; i < nRuns; ++i) {
      m_holds.push_back(std::unique_ptr<CStateHold>(new CStateHold(opt, i)));
      m_starts.emplace_back(starts.begin() + static_cast<std::ptrdiff_t>(starts.size() * i / nRuns),
                            starts.begin() + static_cast<std::ptrdiff_t>(starts.size() * (i + 1) / nRuns));
    }
  }

  // false: stopped by the host. Throws std::bad_alloc.
  bool Run(const NProgress_stru* pProgress) {
    NAreaProgress host;
    host.pHost = pProgress;
    host.pStop = &m_stop;
    const NProgress_stru caller{&NAreaProgress::Poll, &host};
    const NProgress_stru other{&NThreadStop::GoOn, &m_stop};
    RunOnThreads(m_searches.size(), m_stop, [&](std::size_t i) { Work(i == 0 ? caller : other); });
    if (m_stop.bNoMemory.load()) throw std::bad_alloc();
    if (m_stop.bStop.load()) return false;
    for (std::size_t i = 1; i < m_searches.size(); ++i) {
      m_searches[0]->MergeCheaper(*m_searches[i]);
      m_searches[i].reset();  // cleared now: its state is not read again
    }
    return true;
  }
  const CRouteSearch& Merged() const { return *m_searches[0]; }

  // AreaEdges of the merged search over the threads: each takes a part of
  // its nodes and merges their shares by edge, and the parts' lists are
  // joined. A largest share is the same whichever part it comes from, so
  // the edges are AreaEdges'. Throws std::bad_alloc.
  void Edges(std::vector<NAreaEdge_stru>& areaEdges) {
    const std::vector<std::int32_t>& settled = m_searches[0]->Settled();
    const std::size_t nParts = m_searches.size();
    std::vector<std::vector<NAreaEdge_stru>> merged(nParts);
    m_next = 0;
    RunOnThreads(nParts, m_stop, [&](std::size_t /*thread*/) {
      try {
        for (std::size_t i = m_next++; i < nParts && !m_stop.bStop.load(); i = m_next++) {
          const std::int32_t* first = settled.data() + settled.size() * i / nParts;
          const std::int32_t* last = settled.data() + settled.size() * (i + 1) / nParts;
          std::vector<NAreaEdge_stru> parts;
          StepShares(m_view, *m_searches[0], m_barriers, m_run.bReverse, m_run.dLimit, first, last, parts);
          MergeShares(parts, merged[i]);
        }
      } catch (const std::bad_alloc&) {
        m_stop.NoMemory();
      }
    });
    if (m_stop.bNoMemory.load()) throw std::bad_alloc();
    std::vector<NAreaEdge_stru> out = std::move(merged[0]);
    for (std::size_t i = 1; i < nParts; ++i) {
      std::vector<NAreaEdge_stru> both;
      JoinShares(out, merged[i], both);
      out.swap(both);
    }
    areaEdges.swap(out);
  }

 private:
  // Runs the searches not yet taken until none is left or the call stops.
  void Work(const NProgress_stru& progress) {
    try {
      for (std::size_t i = m_next++; i < m_searches.size() && !m_stop.bStop.load(); i = m_next++) {
        m_searches[i].reset(new CRouteSearch(m_view, m_opt.bDirected, m_barriers, m_holds[i]->Get(), &progress));
        if (!m_searches[i]->RunNodes(m_starts[i], m_run)) m_stop.bStop = true;
      }
    } catch (const std::bad_alloc&) {
      m_stop.NoMemory();
    }
  }

  const CNetworkView& m_view;
  const NRouteOptions_stru& m_opt;
  const NBarrierBits& m_barriers;
  const NSearchRun& m_run;
  std::vector<std::vector<std::int32_t>> m_starts;      // per search: its run of the starts
  std::vector<std::unique_ptr<CStateHold>> m_holds;     // per search: its state
  std::vector<std::unique_ptr<CRouteSearch>> m_searches;  // after m_holds: cleared before their states go
  std::atomic<std::size_t> m_next{0};
  NThreadStop m_stop;
};

std::int32_t ServiceArea(const CNetworkView& view, const std::vector<std::int32_t>& starts, double dLimit,
                         bool bReverse, const NRouteOptions_stru& opt, NServiceArea_stru& area, NFinding_stru* pError,
                         const NProgress_stru* pProgress) {
  NBarrierBits barriers;
  if (CheckArea(view, starts, dLimit, opt, barriers, pError) == 0) return 0;
  NSearchRun run;
  run.bReverse = bReverse;
  run.dLimit = dLimit;
  run.bPred = true;
  const std::size_t nRuns = std::min<std::size_t>(static_cast<std::size_t>(std::max(opt.lThreads, 1)), starts.size());
  if (nRuns > 1) {
    CAreaThreads threads(view, opt, barriers, starts, run, nRuns);
    if (!threads.Run(pProgress)) return CProgressPoll::Refuse(pError);
    NServiceArea_stru out;
    NodsOf(view, threads.Merged(), out);
    threads.Edges(out.edges);
    area = std::move(out);
    return 1;
  }
  CStateHold hold(opt, 0);
  CRouteSearch search(view, opt.bDirected, barriers, hold.Get(), pProgress);
  if (!search.RunNodes(starts, run)) {
    return CProgressPoll::Refuse(pError);
  }
  NServiceArea_stru out;
  NodsOf(view, search, out);
  AreaEdges(view, search, barriers, bReverse, dLimit, {}, out.edges);
  area = std::move(out);
  return 1;
}

// A start whose driving side binds: the ways its first step may leave by,
// bit 1 along an edge (right), bit 2 against one (left).
struct NBoundStart {
  std::int32_t lNod;
  unsigned char cWays;
  bool operator<(const NBoundStart& o) const { return lNod < o.lNod; }
};

bool IsBound(const std::vector<NBoundStart>& bound, std::int32_t v) {
  return std::binary_search(bound.begin(), bound.end(), NBoundStart{v, 0});
}

// The starts a side binds, one per node with the ways of all its listings
// (both ways: free), ascending; the others in freeStarts, as listed.
void SplitStarts(const CNetworkView& view, bool bDirected, const std::vector<std::int32_t>& starts,
                 const std::vector<DrivingSide>& sides, std::vector<std::int32_t>& freeStarts,
                 std::vector<NBoundStart>& bound) {
  std::vector<NBoundStart> all;
  for (std::size_t i = 0; i < starts.size(); ++i) {
    const DrivingSide side = sides.empty() ? DrivingSide::Both : sides[i];
    unsigned char w = side == DrivingSide::Right ? 1 : (side == DrivingSide::Left ? 2 : 3);
    if (w != 3 && !SideBinds(view, bDirected, starts[i], true)) w = 3;  // a one-way street binds nothing
    all.push_back(NBoundStart{starts[i], w});
  }
  std::sort(all.begin(), all.end());
  for (const NBoundStart& b : all) {
    if (!bound.empty() && bound.back().lNod == b.lNod) {
      bound.back().cWays |= b.cWays;
    } else {
      bound.push_back(b);
    }
  }
  bound.erase(std::remove_if(bound.begin(), bound.end(), [](const NBoundStart& b) { return b.cWays == 3; }),
              bound.end());
  // In the order given, so that ties fall as in FindServiceArea.
  for (std::int32_t s : starts) {
    if (!IsBound(bound, s)) freeStarts.push_back(s);
  }
}

// The first steps out of bound start b its side allows, as seeds at their
// costs, and the share of each such step's edge reached from b at cost 0.
// A loop leaves on both sides.
void FirstStepsOf(const CNetworkView& view, const CRouteSearch& search, double dLimit, const NBoundStart& b,
                  std::vector<NSearchSeed>& seeds, std::vector<NAreaEdge_stru>& parts) {
  for (std::int64_t j = view.StepBegin(b.lNod); j < view.StepEnd(b.lNod); ++j) {
    const std::int32_t far = view.StepFar()[j];
    for (int end = 0; end < 2; ++end) {
      const bool bFromEnd = end == 0;
      const bool bAllowed = far == b.lNod || (b.cWays & (bFromEnd ? 1 : 2)) != 0;
      const double c = search.EndCost(j, false, bFromEnd);
      if (!bAllowed || c == kNoRoute || search.Blocked(j, false)) continue;
      seeds.push_back(NSearchSeed{far, c, j});
      const double f = c == 0.0 ? 1.0 : std::min(1.0, dLimit / c);
      if (f > 0.0) parts.push_back(NAreaEdge_stru{view.StepEdge()[j], bFromEnd ? f : 0.0, bFromEnd ? 0.0 : f});
    }
  }
}

// The area from starts bound to their sides: the free starts at 0 and the
// first steps the bound ones allow queued at their costs, in one search; a
// bound start's own cost in that search is that of the way back to it.
std::int32_t SidedArea(const CNetworkView& view, const std::vector<std::int32_t>& starts,
                       const std::vector<DrivingSide>& sides, double dLimit, const NRouteOptions_stru& opt,
                       NServiceArea_stru& area, NFinding_stru* pError, const NProgress_stru* pProgress) {
  NBarrierBits barriers;
  if (CheckArea(view, starts, dLimit, opt, barriers, pError) == 0 ||
      CheckSides(sides, starts.size(), "start", pError) == 0) {
    return 0;
  }
  CStateHold hold(opt, 0);
  CRouteSearch search(view, opt.bDirected, barriers, hold.Get(), pProgress);
  std::vector<std::int32_t> freeStarts;
  std::vector<NBoundStart> bound;
  SplitStarts(view, opt.bDirected, starts, sides, freeStarts, bound);
  std::vector<NSearchSeed> seeds;
  std::vector<NAreaEdge_stru> parts;
  for (const NBoundStart& b : bound) {
    if (!(barriers.bAny && barriers.nods.Test(b.lNod))) FirstStepsOf(view, search, dLimit, b, seeds, parts);
  }
  NSearchRun run;
  run.dLimit = dLimit;
  run.bPred = true;
  run.pSeeds = &seeds;
  if (!search.RunNodes(freeStarts, run)) return CProgressPoll::Refuse(pError);
  std::vector<std::int32_t> reached = search.Settled();
  for (const NBoundStart& b : bound) {
    if (!(barriers.bAny && barriers.nods.Test(b.lNod))) reached.push_back(b.lNod);
  }
  NServiceArea_stru out;
  AreaNods(view, reached, out.nods);
  out.costs.reserve(out.nods.size());
  out.reachedBy.reserve(out.nods.size());
  for (std::int32_t u : out.nods) {
    const bool bStart = IsBound(bound, u);
    out.costs.push_back(bStart ? 0.0 : search.Dist(u));
    out.reachedBy.push_back(bStart ? 0 : search.ReachedBy(u));
  }
  AreaEdges(view, search, barriers, false, dLimit, std::move(parts), out.edges);
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

// ServiceArea with memory running out turned into a refusal.
std::int32_t Guarded(NFinding_stru* pError, const CNetworkView& view, const std::vector<std::int32_t>& starts,
                     double dLimit, bool bReverse, const NRouteOptions_stru& opt, NServiceArea_stru& area,
                     const NProgress_stru* pProgress) {
  try {
    return ServiceArea(view, starts, dLimit, bReverse, opt, area, pError, pProgress);
  } catch (const std::bad_alloc&) {
    return RefuseNoMemory(pError, "out of memory finding the service area");
  }
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
  return Guarded(pError, view, starts, dLimit, false, opt, area, pProgress);
}

std::int32_t FindSidedServiceArea(const CNetworkView& view, const std::vector<std::int32_t>& starts,
                                  const std::vector<DrivingSide>& startSides, double dLimit,
                                  const NRouteOptions_stru& opt, NServiceArea_stru& area, NFinding_stru* pError,
                                  const NProgress_stru* pProgress) {
  try {
    return SidedArea(view, starts, startSides, dLimit, opt, area, pError, pProgress);
  } catch (const std::bad_alloc&) {
    return RefuseNoMemory(pError, "out of memory finding the service area");
  }
}

std::int32_t FindServiceAreaTo(const CNetworkView& view, const std::vector<std::int32_t>& starts, double dLimit,
                               const NRouteOptions_stru& opt, NServiceArea_stru& area, NFinding_stru* pError,
                               const NProgress_stru* pProgress) {
  return Guarded(pError, view, starts, dLimit, true, opt, area, pProgress);
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
