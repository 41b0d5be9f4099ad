// Landmarks.cpp - picking the landmarks and keeping their costs.
#include "kelvane/tools/Landmarks.h"

#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

#include "kelvane/tools/Progress.h"
#include "kelvane/tools/ShortestPath.h"
#include "tools/AnalysisInt.h"
#include "tools/RouteSearch.h"
#include "tools/ToolsInt.h"

namespace kelvane {
namespace tools {

namespace {

constexpr std::int32_t kMaxLandmarks = 64;
// Costs beyond this do not round safely to floats: such a network gets no
// landmarks and its routes search as without them.
constexpr double kLargestCost = 1e30;

// The node of the highest cost in far, closed nodes and nodes with no step
// left out (a landmark there bounds nothing); 0 when there is none.
// Unreached nodes (+infinity) come first: they are in a part of the network
// no landmark covers yet.
std::int32_t Farthest(const CNetworkView& view, const std::vector<double>& far) {
  std::int32_t best = 0;
  double dBest = -1.0;
  const unsigned char* closed = view.NodClosed();
  for (std::int32_t v = 1; v <= view.GetNodNum(); ++v) {
    if (closed[v] != 0 || view.StepBegin(v) == view.StepEnd(v)) continue;
    const double d = far[static_cast<std::size_t>(v - 1)];
    if (d > dBest) {
      dBest = d;
      best = v;
    }
  }
  return best;
}

// Writes one landmark's costs from and to each node into column col (from)
// and col + 1 (to) of the rows of width, and lowers each node's nearest cost
// from a landmark. False when a cost is too large for a float: a cost past
// the float range is not cast (the caller then drops the landmarks whole),
// so no cast overflows.
bool StoreColumn(const std::vector<double>& from, const std::vector<double>& to, std::size_t width,
                 std::size_t col, std::vector<float>& costs, std::vector<double>& nearest) {
  bool bSafe = true;
  for (std::size_t i = 0; i < nearest.size(); ++i) {
    const double f = from[i];
    const double t = to[i];
    bSafe = bSafe && (f == kNoRoute || f <= kLargestCost) && (t == kNoRoute || t <= kLargestCost);
    costs[i * width + col] = static_cast<float>(f <= kLargestCost ? f : kNoRoute);
    costs[i * width + col + 1] = static_cast<float>(t <= kLargestCost ? t : kNoRoute);
    if (f < nearest[i]) nearest[i] = f;
  }
  return bSafe;
}

// Moves the first w columns of n rows of width together, rows of width w.
void CloseUpRows(std::size_t n, std::size_t width, std::size_t w, std::vector<float>& costs) {
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t c = 0; c < w; ++c) costs[i * w + c] = costs[i * width + c];
  }
  costs.resize(n * w);
}

}  // namespace

CLandmarks::CLandmarks() : m_pView(nullptr), m_lNodNum(0), m_lEdgeNum(0), m_lSteps(0), m_lCount(0) {}

bool CLandmarks::Fits(const CNetworkView& view) const {
  return m_pView == &view && view.IsCurrent() && m_lNodNum == view.GetNodNum() && m_lEdgeNum == view.GetEdgeNum() &&
         m_lSteps == view.StepEnd(view.GetNodNum());
}

std::size_t CLandmarks::GetMemoryBytes() const {
  return m_nods.capacity() * sizeof(std::int32_t) + m_costs.capacity() * sizeof(float);
}

void CLandmarks::Release() {
  CLandmarks none;
  std::swap(*this, none);
}

std::int32_t CLandmarks::Build(const CNetworkView& view, std::int32_t lCount, NFinding_stru* pError,
                               const NProgress_stru* pProgress) {
  try {
    if (CheckCurrent(view, pError) == 0) return 0;
    if (lCount < 1 || lCount > kMaxLandmarks) {
      return Refuse(pError, MakeFinding(NFindingCode::BadArgument, NElemKind::Network, 0,
                                        "landmark count " + std::to_string(lCount) + " is not 1 to 64"));
    }
    const std::size_t n = static_cast<std::size_t>(view.GetNodNum());
    const std::size_t width = 2 * static_cast<std::size_t>(lCount);
    CLandmarks out;
    std::vector<float>& costs = out.m_costs;
    costs.assign(n * width, 0.0f);
    NRouteOptions_stru opt;
    opt.bDirected = true;
    opt.bTurns = false;
    CSearchWorkspace work;
    opt.pWork = &work;
    std::vector<double> from;
    std::vector<double> to;
    // Each node's least cost from the landmarks picked so far: the next is
    // the farthest from all of them. The first is the farthest from node 1.
    std::vector<double> nearest(n, kNoRoute);
    std::int32_t next = 0;
    if (n > 0 && FindCostsFrom(view, 1, opt, from, pError) == 0) return 0;
    if (n > 0) next = Farthest(view, from);
    bool bSafe = true;
    for (std::int32_t k = 0; k < lCount && next != 0; ++k) {
      if (pProgress != nullptr && pProgress->pfnPoll != nullptr &&
          !pProgress->pfnPoll(pProgress->pUser, static_cast<double>(k) / lCount)) {
        return Refuse(pError, MakeFinding(NFindingCode::Stopped, NElemKind::Network, 0, "stopped by the host"));
      }
      if (FindCostsFrom(view, next, opt, from, pError) == 0 || FindCostsTo(view, next, opt, to, pError) == 0) {
        return 0;
      }
      bSafe = StoreColumn(from, to, width, 2 * static_cast<std::size_t>(k), costs, nearest) && bSafe;
      out.m_nods.push_back(next);
      next = Farthest(view, nearest);
      // Every node with steps is a landmark or reached from one at cost 0:
      // another landmark would add nothing.
      if (next != 0 && nearest[static_cast<std::size_t>(next - 1)] == 0.0) next = 0;
    }
    const std::int32_t got = static_cast<std::int32_t>(out.m_nods.size());
    if (!bSafe || got == 0) {
      costs.clear();
      out.m_nods.clear();
    } else if (got < lCount) {
      // Fewer nodes worth a landmark than asked: close up the rows.
      CloseUpRows(n, width, 2 * static_cast<std::size_t>(got), costs);
    }
    out.m_lCount = static_cast<std::int32_t>(out.m_nods.size());
    out.m_pView = &view;
    out.m_lNodNum = view.GetNodNum();
    out.m_lEdgeNum = view.GetEdgeNum();
    out.m_lSteps = view.StepEnd(view.GetNodNum());
    std::swap(*this, out);
    return 1;
  } catch (const std::bad_alloc&) {
    return Refuse(pError, MakeFinding(NFindingCode::NoMemory, NElemKind::Network, 0, "out of memory building the landmarks"));
  }
}

}  // namespace tools
}  // namespace kelvane
