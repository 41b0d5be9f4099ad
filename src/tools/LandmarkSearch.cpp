// LandmarkSearch.cpp - one-to-one routes that head for their target: a
// search that queues each node at its cost so far plus a lower bound on the
// rest, read off the landmarks' costs by the triangle inequality.
//
// For a landmark L, a route from v to t costs at least d(L, t) - d(L, v) and
// at least d(v, L) - d(t, L), costs taken on the view without barriers. A
// call's barriers and closed nodes only take ways away, so the bound holds
// under them too. The bounds are kept as floats; each is lowered by the
// float's rounding so that it never passes the true cost. A node whose cost
// improves after it was settled is queued again, so the route stays the
// least-cost one even where rounding leaves two bounds a hair apart.
#include "tools/LandmarkSearch.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>
#include <vector>

#include "tools/AnalysisInt.h"
#include "tools/RouteSearch.h"
#include "tools/ToolsInt.h"

namespace kelvane {
namespace tools {

namespace {

// Twice a float's relative rounding: a stored cost is within this share of
// the true one, so a difference of two is within it of their sum.
constexpr double kFloatSlack = 1.2e-7;

// The lower bound on the cost from the node whose landmark costs are at c to
// the target, whose costs are at t (both GetCount() pairs): +infinity where
// the costs show the target cannot be reached from it.
inline double BoundOf(const float* c, const double* t, std::int32_t nMarks) {
  double h = 0.0;
  const std::size_t width = 2 * static_cast<std::size_t>(nMarks);
  for (std::size_t k = 0; k < width; k += 2) {
    const double fromV = c[k];
    const double toV = c[k + 1];
    const double fromT = t[k];
    const double toT = t[k + 1];
    if (fromV != kNoRoute) {
      // L reaches v but not t: v cannot reach t either.
      if (fromT == kNoRoute) return kNoRoute;
      const double x = fromT - fromV - kFloatSlack * (fromT + fromV);
      if (x > h) h = x;
    }
    if (toT != kNoRoute) {
      // t reaches L but v does not: v cannot reach t.
      if (toV == kNoRoute) return kNoRoute;
      const double x = toV - toT - kFloatSlack * (toV + toT);
      if (x > h) h = x;
    }
  }
  return h;
}

}  // namespace

bool LandmarksApply(const CNetworkView& view, const NRouteOptions_stru& opt, bool bTurns) {
  return opt.pLandmarks != nullptr && opt.bDirected && !bTurns && opt.pLandmarks->GetCount() > 0 &&
         opt.pLandmarks->Fits(view);
}

void RunLandmarkRoute(CRouteSearch& search, NSearchState& st, const CNetworkView& view, const CLandmarks& marks,
                      const NBarrierBits& barriers, std::int32_t lFrom, std::int32_t lTo, NPath_stru& path) {
  path.dCost = kNoRoute;
  path.bFound = false;
  if (barriers.bAny && barriers.nods.Test(lFrom)) return;  // a barrier start reaches nothing
  const std::int32_t nMarks = marks.GetCount();
  const std::size_t width = 2 * static_cast<std::size_t>(nMarks);
  const float* costs = marks.Costs();
  std::vector<double> target(costs + static_cast<std::size_t>(lTo - 1) * width,
                             costs + static_cast<std::size_t>(lTo) * width);
  const std::int64_t* first = view.StepFirst();
  const std::int32_t* far = view.StepFar();
  double* dist = st.dist.data();
  std::int64_t* pred = st.pred.data();
  CSearchHeap& heap = st.heap;
  heap.Prepare(static_cast<std::size_t>(view.GetNodNum()) + 1);
  dist[lFrom - 1] = 0.0;
  pred[lFrom - 1] = -1;
  heap.Push(0.0, lFrom);
  while (!heap.Empty()) {
    const std::int32_t u = static_cast<std::int32_t>(heap.Pop().lId);
    st.settled.push_back(u);
    if (u == lTo) break;
    const double g = dist[u - 1];
    const std::int64_t end = first[u + 1];
    for (std::int64_t j = first[u]; j < end; ++j) {
      const double a = search.EndCost(j, false, true);
      const double b = search.EndCost(j, false, false);
      const double c = a <= b ? a : b;
      if (c == kNoRoute || search.Blocked(j, false)) continue;
      const std::int32_t v = far[j];
      const double d = g + c;
      if (!(d < dist[v - 1])) continue;
      const double h = BoundOf(costs + static_cast<std::size_t>(v - 1) * width, target.data(), nMarks);
      if (h == kNoRoute) continue;
      dist[v - 1] = d;
      pred[v - 1] = j;
      heap.Push(d + h, v);
    }
  }
  path.dCost = dist[lTo - 1];
  path.bFound = path.dCost < kNoRoute;
  if (path.bFound && lFrom != lTo) search.TracePath(lTo, false, path);
}

std::int64_t CountRouteSettled(const CNetworkView& view, std::int32_t lFrom, std::int32_t lTo,
                               const NRouteOptions_stru& opt) {
  try {
    NBarrierBits barriers;
    if (CheckCurrent(view, nullptr) == 0 || CheckNod(view, lFrom, "start node", nullptr) == 0 ||
        CheckNod(view, lTo, "end node", nullptr) == 0 || MarkBarriers(view, opt.barriers, barriers, nullptr) == 0) {
      return -1;
    }
    const bool bTurns = opt.bTurns && view.HasTurns();
    CStateHold hold(opt, 0);
    CRouteSearch search(view, opt.bDirected, barriers, hold.Get());
    NPath_stru path;
    if (LandmarksApply(view, opt, bTurns)) {
      RunLandmarkRoute(search, hold.Get(), view, *opt.pLandmarks, barriers, lFrom, lTo, path);
      return static_cast<std::int64_t>(search.Settled().size());
    }
    // As FindShortestPath routes without landmarks: from the start alone.
    NSearchRun run;
    run.lStop = lTo;
    if (bTurns) {
      search.RunTurns(lFrom, run);
    } else {
      search.RunNodes(std::vector<std::int32_t>(1, lFrom), run);
    }
    return static_cast<std::int64_t>(search.Settled().size());
  } catch (const std::bad_alloc&) {
    return -1;
  }
}

}  // namespace tools
}  // namespace kelvane
