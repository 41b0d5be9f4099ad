// Components.cpp - weak components by breadth-first search over every step,
// strong ones by Tarjan's algorithm over the steps one may leave by, written
// with an explicit stack so that a long street cannot overflow the call
// stack. Both number their components by their lowest node.
#include "kelvane/tools/Components.h"

#include <cstdint>
#include <new>
#include <utility>
#include <vector>

#include "tools/AnalysisInt.h"
#include "tools/ToolsInt.h"

using kelvane::tools::CheckCurrent;
using kelvane::tools::Format;
using kelvane::tools::MakeFinding;
using kelvane::tools::MarkBarriers;
using kelvane::tools::NBarrierBits;
using kelvane::tools::Refuse;

namespace {

// Whether node m may be part of a component: open and not a barrier.
inline bool Joins(const CNetworkView& view, const NBarrierBits& bar, std::int32_t m) {
  return view.NodClosed()[m] == 0 && !(bar.bAny && bar.nods.Test(m));
}

// comp[n] for n = 1..N (0: none) -> the result, components renumbered by
// their lowest node, sizes counted, each edge given its component.
void Finish(const CNetworkView& view, const NBarrierBits& bar, std::vector<std::int32_t>& comp, bool bStrong,
            NComponents_stru& out) {
  const std::int32_t nNod = view.GetNodNum();
  std::vector<std::int32_t> renumber;  // raw id -> final number, 0 until met
  std::int32_t maxRaw = 0;
  for (std::int32_t n = 1; n <= nNod; ++n) maxRaw = comp[static_cast<std::size_t>(n)] > maxRaw ? comp[n] : maxRaw;
  renumber.assign(static_cast<std::size_t>(maxRaw) + 1, 0);
  out.nodComp.assign(static_cast<std::size_t>(nNod), 0);
  out.sizes.clear();
  out.lCount = 0;
  for (std::int32_t n = 1; n <= nNod; ++n) {
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
  const unsigned char* ways = view.StepWays();
  for (std::int32_t n = 1; n <= nNod; ++n) {
    const std::int32_t c = comp[static_cast<std::size_t>(n)];
    if (c == 0) continue;
    for (std::int64_t j = view.StepBegin(n); j < view.StepEnd(n); ++j) {
      const std::int32_t e = edge[j];
      if (bar.bAny && bar.edges.Test(e)) continue;
      if (bStrong && ((ways[j] & CNetworkView::kLeave) == 0 || comp[static_cast<std::size_t>(far[j])] != c)) continue;
      out.edgeComp[static_cast<std::size_t>(e) - 1] = c;
    }
  }
}

void Weak(const CNetworkView& view, const NBarrierBits& bar, std::vector<std::int32_t>& comp) {
  const std::int32_t nNod = view.GetNodNum();
  const std::int32_t* far = view.StepFar();
  const std::int32_t* edge = view.StepEdge();
  std::vector<std::int32_t> queue;
  queue.reserve(static_cast<std::size_t>(nNod));
  std::int32_t next = 0;
  for (std::int32_t s = 1; s <= nNod; ++s) {
    if (comp[static_cast<std::size_t>(s)] != 0 || !Joins(view, bar, s)) continue;
    const std::int32_t c = ++next;
    comp[static_cast<std::size_t>(s)] = c;
    queue.clear();
    queue.push_back(s);
    for (std::size_t head = 0; head < queue.size(); ++head) {
      const std::int32_t n = queue[head];
      for (std::int64_t j = view.StepBegin(n); j < view.StepEnd(n); ++j) {
        const std::int32_t m = far[j];
        if (comp[static_cast<std::size_t>(m)] != 0) continue;
        if (bar.bAny && bar.edges.Test(edge[j])) continue;
        if (!Joins(view, bar, m)) continue;
        comp[static_cast<std::size_t>(m)] = c;
        queue.push_back(m);
      }
    }
  }
}

void Strong(const CNetworkView& view, const NBarrierBits& bar, std::vector<std::int32_t>& comp) {
  const std::int32_t nNod = view.GetNodNum();
  const std::int32_t* far = view.StepFar();
  const std::int32_t* edge = view.StepEdge();
  const unsigned char* ways = view.StepWays();
  std::vector<std::int32_t> index(static_cast<std::size_t>(nNod) + 1, 0);  // 0: not visited
  std::vector<std::int32_t> low(static_cast<std::size_t>(nNod) + 1, 0);
  std::vector<std::int32_t> stack;     // Tarjan's stack of nodes
  std::vector<unsigned char> onStack(static_cast<std::size_t>(nNod) + 1, 0);
  struct NFrame {
    std::int32_t lNod;
    std::int64_t j;  // next step entry to look at
  };
  std::vector<NFrame> calls;
  std::int32_t counter = 0;
  std::int32_t next = 0;
  for (std::int32_t s = 1; s <= nNod; ++s) {
    if (index[static_cast<std::size_t>(s)] != 0 || !Joins(view, bar, s)) continue;
    index[static_cast<std::size_t>(s)] = low[static_cast<std::size_t>(s)] = ++counter;
    stack.push_back(s);
    onStack[static_cast<std::size_t>(s)] = 1;
    calls.push_back(NFrame{s, view.StepBegin(s)});
    while (!calls.empty()) {
      NFrame& f = calls.back();
      const std::int32_t n = f.lNod;
      const std::int64_t end = view.StepEnd(n);
      bool bDescended = false;
      while (f.j < end) {
        const std::int64_t j = f.j++;
        if ((ways[j] & CNetworkView::kLeave) == 0) continue;
        if (bar.bAny && bar.edges.Test(edge[j])) continue;
        const std::int32_t m = far[j];
        if (!Joins(view, bar, m)) continue;
        if (index[static_cast<std::size_t>(m)] == 0) {
          index[static_cast<std::size_t>(m)] = low[static_cast<std::size_t>(m)] = ++counter;
          stack.push_back(m);
          onStack[static_cast<std::size_t>(m)] = 1;
          calls.push_back(NFrame{m, view.StepBegin(m)});  // f is not used after this
          bDescended = true;
          break;
        }
        if (onStack[static_cast<std::size_t>(m)] != 0 && index[static_cast<std::size_t>(m)] < low[n]) {
          low[static_cast<std::size_t>(n)] = index[static_cast<std::size_t>(m)];
        }
      }
      if (bDescended) continue;
      // n is done: close its component if it is the root, then hand its low
      // link to its caller.
      if (low[static_cast<std::size_t>(n)] == index[static_cast<std::size_t>(n)]) {
        const std::int32_t c = ++next;
        std::int32_t m = 0;
        do {
          m = stack.back();
          stack.pop_back();
          onStack[static_cast<std::size_t>(m)] = 0;
          comp[static_cast<std::size_t>(m)] = c;
        } while (m != n);
      }
      calls.pop_back();
      if (!calls.empty()) {
        const std::int32_t p = calls.back().lNod;
        if (low[static_cast<std::size_t>(n)] < low[static_cast<std::size_t>(p)]) {
          low[static_cast<std::size_t>(p)] = low[static_cast<std::size_t>(n)];
        }
      }
    }
  }
}

std::int32_t Find(const CNetworkView& view, NComponentKind eKind, const NElemSet_stru& barriers,
                  NComponents_stru& comps, NFinding_stru* pError) {
  if (CheckCurrent(view, pError) == 0) return 0;
  if (eKind != NComponentKind::Weak && eKind != NComponentKind::Strong) {
    return Refuse(pError, MakeFinding(NElemKind::Network, 0,
                                      Format("component kind %d is neither weak (0) nor strong (1)",
                                             static_cast<int>(eKind))));
  }
  NBarrierBits bar;
  if (MarkBarriers(view, barriers, bar, pError) == 0) return 0;
  std::vector<std::int32_t> comp(static_cast<std::size_t>(view.GetNodNum()) + 1, 0);
  if (eKind == NComponentKind::Weak) {
    Weak(view, bar, comp);
  } else {
    Strong(view, bar, comp);
  }
  NComponents_stru out;
  Finish(view, bar, comp, eKind == NComponentKind::Strong, out);
  comps = std::move(out);
  return 1;
}

}  // namespace

std::int32_t FindComponents(const CNetworkView& view, NComponentKind eKind, const NElemSet_stru& barriers,
                            NComponents_stru& comps, NFinding_stru* pError) {
  try {
    return Find(view, eKind, barriers, comps, pError);
  } catch (const std::bad_alloc&) {
    return Refuse(pError, MakeFinding(NElemKind::Network, 0, "out of memory finding the components"));
  }
}
