// Components.cpp - weak components by breadth-first search over every step,
// strong ones by Tarjan's algorithm over the steps one may leave by, written
// with an explicit stack so that a long street cannot overflow the call
// stack. Both number their components by their lowest node. Both read the
// ways of each step from one array: the view's own, or, when the costs are
// followed, a copy with the directions of no way cleared.
#include "kelvane/tools/Components.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <new>
#include <utility>
#include <vector>

#include "tools/AnalysisInt.h"
#include "tools/ToolsInt.h"

namespace kelvane {
namespace tools {

namespace {

// Whether node m may be part of a component: open and not a barrier.
inline bool Joins(const CNetworkView& view, const NBarrierBits& bar, std::int32_t m) {
  return view.NodClosed()[m] == 0 && !(bar.bAny && bar.nods.Test(m));
}

// comp[n] for n = 1..N (0: none) -> the result, components renumbered by
// their lowest node, sizes counted, each edge given its component.
void Finish(const CNetworkView& view, const NBarrierBits& bar, const unsigned char* ways,
            std::vector<std::int32_t>& comp, bool bStrong, NComponents_stru& out) {
  const std::int32_t nNod = view.GetNodNum();
  std::vector<std::int32_t> renumber;  // raw id -> final number, 0 until met
  std::int32_t maxRaw = 0;
  for (const std::int32_t n : OneTo(nNod)) maxRaw = comp[static_cast<std::size_t>(n)] > maxRaw ? comp[n] : maxRaw;
  renumber.assign(static_cast<std::size_t>(maxRaw) + 1, 0);
  out.nodComp.assign(static_cast<std::size_t>(nNod), 0);
  out.sizes.clear();
  out.lCount = 0;
  for (const std::int32_t n : OneTo(nNod)) {
    const std::int32_t raw = comp[static_cast<std::size_t>(n)];
    if (raw == 0) continue;
    std::int32_t& c = renumber[static_cast<std::size_t>(raw)];
    if (c == 0) {
      c = ++out.lCount;
      out.sizes.push_back(0);
    }
    comp[static_cast<std::size_t>(n)] = c;
    out.nodComp[static_cast<std::size_t>(n) - 1] = c;
    ++out.sizes[static_cast<std::size_t>(c) - 1];
  }
  // An edge joins the component it can be stepped over within: weakly, that
  // of its open end; strongly, only when both ends share one.
  out.edgeComp.assign(static_cast<std::size_t>(view.GetEdgeNum()), 0);
  const std::int32_t* far = view.StepFar();
  const std::int32_t* edge = view.StepEdge();
  for (const std::int32_t n : OneTo(nNod)) {
    const std::int32_t c = comp[static_cast<std::size_t>(n)];
    if (c == 0) continue;
    for (std::int64_t j = view.StepBegin(n); j < view.StepEnd(n); ++j) {
      const std::int32_t e = edge[j];
      if (ways[j] == 0 || (bar.bAny && bar.edges.Test(e))) continue;
      if (bStrong && ((ways[j] & CNetworkView::kLeave) == 0 || comp[static_cast<std::size_t>(far[j])] != c)) continue;
      out.edgeComp[static_cast<std::size_t>(e) - 1] = c;
    }
  }
}

void Weak(const CNetworkView& view, const NBarrierBits& bar, const unsigned char* ways,
          std::vector<std::int32_t>& comp, CProgressPoll& poll) {
  const std::int32_t nNod = view.GetNodNum();
  const std::int32_t* far = view.StepFar();
  const std::int32_t* edge = view.StepEdge();
  std::vector<std::int32_t> queue;
  queue.reserve(static_cast<std::size_t>(nNod));
  std::int32_t next = 0;
  for (const std::int32_t s : OneTo(nNod)) {
    if (comp[static_cast<std::size_t>(s)] != 0 || !Joins(view, bar, s)) continue;
    const std::int32_t c = ++next;
    comp[static_cast<std::size_t>(s)] = c;
    queue.clear();
    queue.push_back(s);
    for (std::size_t head = 0; head < queue.size(); ++head) {
      if (!poll.Step()) return;
      const std::int32_t n = queue[head];
      for (std::int64_t j = view.StepBegin(n); j < view.StepEnd(n); ++j) {
        const std::int32_t m = far[j];
        if (comp[static_cast<std::size_t>(m)] != 0 || ways[j] == 0) continue;
        if (bar.bAny && bar.edges.Test(edge[j])) continue;
        if (!Joins(view, bar, m)) continue;
        comp[static_cast<std::size_t>(m)] = c;
        queue.push_back(m);
      }
    }
  }
}

// Tarjan's bookkeeping for one strong-component search.
class CTarjan {
 public:
  CTarjan(const CNetworkView& view, const NBarrierBits& bar, const unsigned char* ways,
          std::vector<std::int32_t>& comp, CProgressPoll& poll)
      : m_view(view), m_bar(bar), m_ways(ways), m_comp(comp), m_poll(poll), m_index(Size(view), 0), m_low(Size(view), 0),
        m_onStack(Size(view), 0) {}

  void Run() {
    for (const std::int32_t s : OneTo(m_view.GetNodNum())) {
      if (m_poll.Stopped()) return;
      if (m_index[static_cast<std::size_t>(s)] == 0 && Joins(m_view, m_bar, s)) From(s);
    }
  }

 private:
  struct NFrame {
    std::int32_t lNod;
    std::int64_t j;  // next step entry to look at
  };

  static std::size_t Size(const CNetworkView& view) { return static_cast<std::size_t>(view.GetNodNum()) + 1; }

  void Visit(std::int32_t n) {
    m_index[static_cast<std::size_t>(n)] = m_low[static_cast<std::size_t>(n)] = ++m_counter;
    m_stack.push_back(n);
    m_onStack[static_cast<std::size_t>(n)] = 1;
    m_calls.push_back(NFrame{n, m_view.StepBegin(n)});
  }

  // The next node to descend into from the top frame, or 0 when its steps
  // are done; on the way, low links from nodes already on the stack.
  std::int32_t NextChild() {
    NFrame& f = m_calls.back();
    const std::int32_t n = f.lNod;
    const std::int64_t end = m_view.StepEnd(n);
    while (f.j < end) {
      const std::int64_t j = f.j++;
      if ((m_ways[j] & CNetworkView::kLeave) == 0) continue;
      if (m_bar.bAny && m_bar.edges.Test(m_view.StepEdge()[j])) continue;
      const std::int32_t m = m_view.StepFar()[j];
      if (!Joins(m_view, m_bar, m)) continue;
      if (m_index[static_cast<std::size_t>(m)] == 0) return m;
      if (m_onStack[static_cast<std::size_t>(m)] != 0) {
        m_low[static_cast<std::size_t>(n)] = std::min(m_low[static_cast<std::size_t>(n)], m_index[static_cast<std::size_t>(m)]);
      }
    }
    return 0;
  }

  // n is done: close its component if it is the root, then hand its low link
  // to its caller.
  void Leave(std::int32_t n) {
    if (m_low[static_cast<std::size_t>(n)] == m_index[static_cast<std::size_t>(n)]) {
      const std::int32_t c = ++m_next;
      std::int32_t m = 0;
      do {
        m = m_stack.back();
        m_stack.pop_back();
        m_onStack[static_cast<std::size_t>(m)] = 0;
        m_comp[static_cast<std::size_t>(m)] = c;
      } while (m != n);
    }
    m_calls.pop_back();
    if (!m_calls.empty()) {
      std::int32_t& lowP = m_low[static_cast<std::size_t>(m_calls.back().lNod)];
      lowP = std::min(lowP, m_low[static_cast<std::size_t>(n)]);
    }
  }

  void From(std::int32_t s) {
    Visit(s);
    while (!m_calls.empty()) {
      const std::int32_t m = NextChild();
      if (m != 0) {
        if (!m_poll.Step()) return;
        Visit(m);
      } else {
        Leave(m_calls.back().lNod);
      }
    }
  }

  const CNetworkView& m_view;
  const NBarrierBits& m_bar;
  const unsigned char* m_ways;  // per step entry
  std::vector<std::int32_t>& m_comp;
  CProgressPoll& m_poll;
  std::vector<std::int32_t> m_index;  // 0: not visited
  std::vector<std::int32_t> m_low;
  std::vector<unsigned char> m_onStack;
  std::vector<std::int32_t> m_stack;  // Tarjan's stack of nodes
  std::vector<NFrame> m_calls;        // the explicit call stack
  std::int32_t m_counter = 0;
  std::int32_t m_next = 0;
};

// The view's ways with every direction whose cost is no way cleared.
std::vector<unsigned char> WaysByCost(const CNetworkView& view) {
  const std::int64_t m = view.StepEnd(view.GetNodNum());
  const unsigned char* ways = view.StepWays();
  const std::int32_t* edge = view.StepEdge();
  const double* along = view.CostAlong();
  const double* against = view.CostAgainst();
  const double kNoWay = std::numeric_limits<double>::infinity();
  std::vector<unsigned char> out(static_cast<std::size_t>(m));
  for (std::int64_t j = 0; j < m; ++j) {
    unsigned char w = ways[j];
    // Along bits use the along cost, whichever end the step is listed at.
    if (along[edge[j]] == kNoWay) w = static_cast<unsigned char>(w & ~(CNetworkView::kLeaveAlong | CNetworkView::kArriveAlong));
    if (against[edge[j]] == kNoWay) {
      w = static_cast<unsigned char>(w & ~(CNetworkView::kLeaveAgainst | CNetworkView::kArriveAgainst));
    }
    out[static_cast<std::size_t>(j)] = w;
  }
  return out;
}

std::int32_t Find(const CNetworkView& view, NComponentKind eKind, const NElemSet_stru& barriers, bool bFollowCosts,
                  NComponents_stru& comps, NFinding_stru* pError, const NProgress_stru* pProgress) {
  if (CheckCurrent(view, pError) == 0) return 0;
  if (eKind != NComponentKind::Weak && eKind != NComponentKind::Strong) {
    return Refuse(pError, MakeFinding(NFindingCode::BadArgument, NElemKind::Network, 0,
                                      Format("component kind %d is neither weak (0) nor strong (1)",
                                             static_cast<int>(eKind))));
  }
  NBarrierBits bar;
  if (MarkBarriers(view, barriers, bar, pError) == 0) return 0;
  std::vector<unsigned char> byCost;
  if (bFollowCosts) byCost = WaysByCost(view);
  const unsigned char* ways = bFollowCosts ? byCost.data() : view.StepWays();
  std::vector<std::int32_t> comp(static_cast<std::size_t>(view.GetNodNum()) + 1, 0);
  CProgressPoll poll(pProgress, view.GetNodNum());
  if (eKind == NComponentKind::Weak) {
    Weak(view, bar, ways, comp, poll);
  } else {
    CTarjan(view, bar, ways, comp, poll).Run();
  }
  if (poll.Stopped()) return CProgressPoll::Refuse(pError);
  NComponents_stru out;
  Finish(view, bar, ways, comp, eKind == NComponentKind::Strong, out);
  comps = std::move(out);
  return 1;
}

}  // namespace

std::int32_t FindComponents(const CNetworkView& view, NComponentKind eKind, const NElemSet_stru& barriers,
                            NComponents_stru& comps, NFinding_stru* pError, const NProgress_stru* pProgress) {
  try {
    return Find(view, eKind, barriers, false, comps, pError, pProgress);
  } catch (const std::bad_alloc&) {
    return RefuseNoMemory(pError, "out of memory finding the components");
  }
}

std::int32_t FindComponents(const CNetworkView& view, NComponentKind eKind, const NComponentOptions_stru& opt,
                            NComponents_stru& comps, NFinding_stru* pError, const NProgress_stru* pProgress) {
  try {
    return Find(view, eKind, opt.barriers, opt.bFollowCosts, comps, pError, pProgress);
  } catch (const std::bad_alloc&) {
    return RefuseNoMemory(pError, "out of memory finding the components");
  }
}

}  // namespace tools
}  // namespace kelvane
