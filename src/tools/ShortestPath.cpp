// ShortestPath.cpp - routes one to one, costs from and to a node, matrices
// and closest facilities over the search engine, and a path folded onto the
// edges as they were before flag mapping.
#include "kelvane/tools/ShortestPath.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "kelvane/tools/Progress.h"
#include "tools/AnalysisInt.h"
#include "tools/LandmarkSearch.h"
#include "tools/RouteSearch.h"
#include "tools/SearchThreads.h"
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

// Runs f and turns memory running out into a refusal: no std::bad_alloc
// leaves a toolkit call.
template <class F>
std::int32_t Guarded(NFinding_stru* pError, F f) {
  try {
    return f();
  } catch (const std::bad_alloc&) {
    return RefuseNoMemory(pError, "out of memory searching the network");
  }
}

// Costs from (or, bReverse, to) one node into costs and, when asked, the tree.
std::int32_t CostsOneSide(const CNetworkView& view, std::int32_t lNod, bool bReverse, const NRouteOptions_stru& opt,
                          std::vector<double>& costs, std::vector<std::int32_t>* pReachedBy, NFinding_stru* pError,
                          const NProgress_stru* pProgress) {
  NBarrierBits barriers;
  bool bTurns = false;
  if (CheckCurrent(view, pError) == 0 ||
      CheckNod(view, lNod, bReverse ? "end node" : "start node", pError) == 0 ||
      CheckRoute(view, opt, barriers, bTurns, pError) == 0) {
    return 0;
  }
  const std::size_t n = static_cast<std::size_t>(view.GetNodNum());
  // Room first, so that no output is touched unless the call succeeds.
  costs.reserve(n);
  if (pReachedBy != nullptr) pReachedBy->reserve(n);
  CStateHold hold(opt, 0);
  CRouteSearch search(view, opt.bDirected, barriers, hold.Get(), pProgress);
  NSearchRun run;
  run.bReverse = bReverse;
  run.bPred = pReachedBy != nullptr;
  const std::vector<std::int32_t> starts(1, lNod);
  const bool ok = bTurns ? search.RunTurns(lNod, run) : search.RunNodes(starts, run);
  if (!ok) return CProgressPoll::Refuse(pError);
  search.CopyAllDist(costs);  // a copy in order, not a fill and a scatter
  if (pReachedBy != nullptr) {
    pReachedBy->assign(n, 0);
    for (std::int32_t v : search.Settled()) (*pReachedBy)[static_cast<std::size_t>(v - 1)] = search.ReachedBy(v);
  }
  return 1;
}

// Hands the host the whole matrix's fraction done (searches finished plus the
// share of the one running), never less than the last one it was given.
struct NMatrixProgress {
  const NProgress_stru* pHost = nullptr;
  std::size_t nDone = 0;
  std::size_t nAll = 1;
  double dLast = 0.0;
  static bool Poll(void* pUser, double dDone) {
    NMatrixProgress& m = *static_cast<NMatrixProgress*>(pUser);
    const double d = (static_cast<double>(m.nDone) + std::min(std::max(dDone, 0.0), 1.0)) / static_cast<double>(m.nAll);
    m.dLast = std::max(m.dLast, std::min(d, 1.0));
    return m.pHost->pfnPoll(m.pHost->pUser, m.dLast);
  }
};

// Runs the matrix's searches, one per node of `from`, over nThreads threads
// (the caller's one of them); each writes its row or column of out.
class CMatrixRun {
 public:
  CMatrixRun(const CNetworkView& view, const NRouteOptions_stru& opt, const NBarrierBits& barriers, bool bTurns,
             bool bReverse, const std::vector<std::int32_t>& from, const std::vector<std::int32_t>& to,
             std::vector<double>& out)
      : m_view(view), m_opt(opt), m_barriers(barriers), m_bTurns(bTurns), m_bReverse(bReverse), m_from(from),
        m_to(to), m_out(out) {}

  // false: stopped by the host. Throws std::bad_alloc.
  bool Run(std::size_t nThreads, const NProgress_stru* pProgress) {
    std::vector<std::unique_ptr<CStateHold>> holds;
    // Each hold owned before the list grows, so a list that cannot grow frees it.
    for (std::size_t i = 0; i < nThreads; ++i) holds.push_back(std::unique_ptr<CStateHold>(new CStateHold(m_opt, i)));
    RunOnThreads(nThreads, m_stop,
                 [this, &holds, pProgress](std::size_t i) { Work(holds[i]->Get(), i == 0 ? pProgress : nullptr); });
    if (m_stop.bNoMemory.load()) throw std::bad_alloc();
    return !m_stop.bStop.load();
  }

 private:
  void Work(NSearchState& st, const NProgress_stru* pProgress) {
    try {
      NMatrixProgress whole;
      whole.pHost = pProgress;
      whole.nAll = std::max<std::size_t>(m_from.size(), 1);
      const NProgress_stru scaled{&NMatrixProgress::Poll, &whole};
      const bool bPolled = pProgress != nullptr && pProgress->pfnPoll != nullptr;
      CRouteSearch search(m_view, m_opt.bDirected, m_barriers, st, bPolled ? &scaled : nullptr);
      std::vector<std::int32_t> one(1, 0);
      NSearchRun run;
      run.bReverse = m_bReverse;
      run.bWait = true;
      const std::size_t nTo = m_to.size();
      const std::size_t width = m_bReverse ? m_from.size() : nTo;
      for (std::size_t k = m_next++; k < m_from.size() && !m_stop.bStop.load(); k = m_next++) {
        for (std::int32_t v : m_to) search.Wait(v);
        whole.nDone = k;
        one[0] = m_from[k];
        const bool ok = m_bTurns ? search.RunTurns(one[0], run) : search.RunNodes(one, run);
        if (!ok) {
          m_stop.bStop = true;
          break;
        }
        for (std::size_t i = 0; i < nTo; ++i) {
          const double d = search.Dist(m_to[i]);
          m_out[m_bReverse ? i * width + k : k * width + i] = d;
        }
        search.Clear();
      }
    } catch (const std::bad_alloc&) {
      m_stop.NoMemory();
    }
  }

  const CNetworkView& m_view;
  const NRouteOptions_stru& m_opt;
  const NBarrierBits& m_barriers;
  bool m_bTurns;
  bool m_bReverse;
  const std::vector<std::int32_t>& m_from;
  const std::vector<std::int32_t>& m_to;
  std::vector<double>& m_out;
  std::atomic<std::size_t> m_next{0};
  NThreadStop m_stop;
};

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
  // Fewer targets than sources: one search toward each target rather than
  // one from each source. A search toward a node reads the steps listed at
  // the nodes it arrives at, one from a node those listed at the nodes it
  // leaves; only where the two are the same steps seen from either end (on a
  // network whose lists agree with its end nodes) does each column equal
  // what the sources' searches give, so the lists are checked first. The
  // check is a pass over every list, up to a fifth of one whole search on
  // the bench's grids: it is made only where it saves kTargetsSideGain
  // searches.
  constexpr std::size_t kTargetsSideGain = 4;
  bool bReverse = targets.empty();  // no search either way
  if (!bReverse && targets.size() + kTargetsSideGain <= sources.size()) {
    CStateHold hold(opt, 0);
    bReverse = ArrivalsMirrorLeaving(view, hold.Get().edgeMarks);
  }
  const std::vector<std::int32_t>& from = bReverse ? targets : sources;
  const std::vector<std::int32_t>& to = bReverse ? sources : targets;
  std::vector<double> out(sources.size() * targets.size(), kNoRoute);
  const std::size_t nThreads =
      std::max<std::size_t>(1, std::min<std::size_t>(static_cast<std::size_t>(std::max(opt.lThreads, 1)), from.size()));
  CMatrixRun matrix(view, opt, barriers, bTurns, bReverse, from, to, out);
  if (!matrix.Run(nThreads, pProgress)) return CProgressPoll::Refuse(pError);
  costs.swap(out);
  return 1;
}

}  // namespace

std::int32_t FindShortestPath(const CNetworkView& view, std::int32_t lFrom, std::int32_t lTo,
                              const NRouteOptions_stru& opt, NPath_stru& path, NFinding_stru* pError) {
  return Guarded(pError, [&]() -> std::int32_t {
    NBarrierBits barriers;
    bool bTurns = false;
    if (CheckCurrent(view, pError) == 0 || CheckNod(view, lFrom, "start node", pError) == 0 ||
        CheckNod(view, lTo, "end node", pError) == 0 || CheckRoute(view, opt, barriers, bTurns, pError) == 0) {
      return 0;
    }
    CStateHold hold(opt, 0);
    CRouteSearch search(view, opt.bDirected, barriers, hold.Get());
    NPath_stru out;
    out.lFrom = lFrom;
    out.lTo = lTo;
    if (LandmarksApply(view, opt, bTurns)) {
      RunLandmarkRoute(search, hold.Get(), view, *opt.pLandmarks, barriers, lFrom, lTo, out);
    } else {
      // From the start alone. A search from both ends would read the steps
      // listed at the nodes it arrives at for its backward half, and on a
      // network whose lists disagree with its end nodes those differ from the
      // steps the costs from a node follow.
      NSearchRun run;
      run.lStop = lTo;
      run.bPred = true;
      const std::vector<std::int32_t> starts(1, lFrom);
      if (bTurns) {
        search.RunTurns(lFrom, run);
      } else {
        search.RunNodes(starts, run);
      }
      out.dCost = search.Dist(lTo);
      out.bFound = out.dCost < kNoRoute;
      if (out.bFound && lFrom != lTo) search.TracePath(lTo, bTurns, out);
    }
    path = std::move(out);
    return 1;
  });
}

std::int32_t FindCostsFrom(const CNetworkView& view, std::int32_t lFrom, const NRouteOptions_stru& opt,
                           std::vector<double>& costs, NFinding_stru* pError, const NProgress_stru* pProgress) {
  return Guarded(pError, [&] { return CostsOneSide(view, lFrom, false, opt, costs, nullptr, pError, pProgress); });
}

std::int32_t FindCostsFrom(const CNetworkView& view, std::int32_t lFrom, const NRouteOptions_stru& opt,
                           std::vector<double>& costs, std::vector<std::int32_t>& reachedBy, NFinding_stru* pError,
                           const NProgress_stru* pProgress) {
  return Guarded(pError, [&] { return CostsOneSide(view, lFrom, false, opt, costs, &reachedBy, pError, pProgress); });
}

std::int32_t FindCostsTo(const CNetworkView& view, std::int32_t lTo, const NRouteOptions_stru& opt,
                         std::vector<double>& costs, NFinding_stru* pError, const NProgress_stru* pProgress) {
  return Guarded(pError, [&] { return CostsOneSide(view, lTo, true, opt, costs, nullptr, pError, pProgress); });
}

std::int32_t FindCostsTo(const CNetworkView& view, std::int32_t lTo, const NRouteOptions_stru& opt,
                         std::vector<double>& costs, std::vector<std::int32_t>& reachedBy, NFinding_stru* pError,
                         const NProgress_stru* pProgress) {
  return Guarded(pError, [&] { return CostsOneSide(view, lTo, true, opt, costs, &reachedBy, pError, pProgress); });
}

std::int32_t FindCostMatrix(const CNetworkView& view, const std::vector<std::int32_t>& sources,
                            const std::vector<std::int32_t>& targets, const NRouteOptions_stru& opt,
                            std::vector<double>& costs, NFinding_stru* pError, const NProgress_stru* pProgress) {
  return Guarded(pError, [&] { return CostMatrix(view, sources, targets, opt, costs, pError, pProgress); });
}

std::int32_t FindClosestFacility(const CNetworkView& view, const std::vector<std::int32_t>& starts,
                                 const NRouteOptions_stru& opt, NClosestFacility_stru& out, NFinding_stru* pError,
                                 const NProgress_stru* pProgress) {
  return Guarded(pError, [&]() -> std::int32_t {
    if (CheckCurrent(view, pError) == 0) return 0;
    NBarrierBits barriers;
    if (CheckStartsAndBarriers(view, starts, opt.barriers, barriers, pError) == 0) return 0;
    CStateHold hold(opt, 0);
    CRouteSearch search(view, opt.bDirected, barriers, hold.Get(), pProgress);
    NSearchRun run;
    run.bPred = true;
    run.bOwner = true;
    if (!search.RunNodes(starts, run)) return CProgressPoll::Refuse(pError);
    const std::size_t n = static_cast<std::size_t>(view.GetNodNum());
    NClosestFacility_stru res;
    res.facility.assign(n, -1);
    res.costs.assign(n, kNoRoute);
    res.reachedBy.assign(n, 0);
    for (std::int32_t v : search.Settled()) {
      const std::size_t k = static_cast<std::size_t>(v - 1);
      res.facility[k] = search.Owner(v);
      res.costs[k] = search.Dist(v);
      res.reachedBy[k] = search.ReachedBy(v);
    }
    out = std::move(res);
    return 1;
  });
}

namespace {

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
