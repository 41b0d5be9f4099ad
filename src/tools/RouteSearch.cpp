// RouteSearch.cpp - the searches behind routes and service areas.
//
// Both read the view's flat step arrays in entry order. Barriers and the
// direction rule are template parameters so that the common call (directed,
// no barriers) tests nothing per step beyond the cost. Labels are settled in
// cost order; a label is improved only by a strictly lower cost, so ties go
// to the first found and a repeated call gives the same result.
#include "tools/RouteSearch.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace kelvane {
namespace tools {

void CRouteHeap::Push(double dKey, std::int64_t lId) {
  std::size_t i = m_items.size();
  m_items.push_back(Item{dKey, lId});
  const Item x = m_items[i];
  while (i > 0) {
    const std::size_t parent = (i - 1) / 4;
    if (!Less(x, m_items[parent])) break;
    m_items[i] = m_items[parent];
    i = parent;
  }
  m_items[i] = x;
}

CRouteHeap::Item CRouteHeap::Pop() {
  const Item top = m_items.front();
  const Item x = m_items.back();
  m_items.pop_back();
  const std::size_t n = m_items.size();
  if (n == 0) return top;
  std::size_t i = 0;
  for (;;) {
    const std::size_t c = 4 * i + 1;
    if (c >= n) break;
    std::size_t best = c;
    const std::size_t end = std::min(c + 4, n);
    for (std::size_t k = c + 1; k < end; ++k) {
      if (Less(m_items[k], m_items[best])) best = k;
    }
    if (!Less(m_items[best], x)) break;
    m_items[i] = m_items[best];
    i = best;
  }
  m_items[i] = x;
  return top;
}

void CNodeHeap::Up(std::size_t i, Item x) {
  while (i > 0) {
    const std::size_t parent = (i - 1) / 4;
    if (!(x.dKey < m_items[parent].dKey)) break;
    m_items[i] = m_items[parent];
    m_pos[static_cast<std::size_t>(m_items[i].lNod)] = static_cast<std::int32_t>(i);
    i = parent;
  }
  m_items[i] = x;
  m_pos[static_cast<std::size_t>(x.lNod)] = static_cast<std::int32_t>(i);
}

void CNodeHeap::Push(double dKey, std::int32_t lNod) {
  const std::int32_t at = m_pos[static_cast<std::size_t>(lNod)];
  if (at < 0) {
    m_items.push_back(Item{dKey, lNod});
    Up(m_items.size() - 1, Item{dKey, lNod});
  } else {
    Up(static_cast<std::size_t>(at), Item{dKey, lNod});
  }
}

CNodeHeap::Item CNodeHeap::Pop() {
  const Item top = m_items.front();
  m_pos[static_cast<std::size_t>(top.lNod)] = -1;
  const Item x = m_items.back();
  m_items.pop_back();
  const std::size_t n = m_items.size();
  if (n == 0) return top;
  std::size_t i = 0;
  for (;;) {
    const std::size_t c = 4 * i + 1;
    if (c >= n) break;
    std::size_t best = c;
    const std::size_t end = std::min(c + 4, n);
    for (std::size_t k = c + 1; k < end; ++k) {
      if (m_items[k].dKey < m_items[best].dKey) best = k;
    }
    if (!(m_items[best].dKey < x.dKey)) break;
    m_items[i] = m_items[best];
    m_pos[static_cast<std::size_t>(m_items[i].lNod)] = static_cast<std::int32_t>(i);
    i = best;
  }
  m_items[i] = x;
  m_pos[static_cast<std::size_t>(x.lNod)] = static_cast<std::int32_t>(i);
  return top;
}

CRouteSearch::CRouteSearch(const CNetworkView& view, bool bDirected, const NBarrierBits& barriers)
    : m_view(view),
      m_bDirected(bDirected),
      m_pBarriers(&barriers),
      m_pFar(view.StepFar()),
      m_pEdge(view.StepEdge()),
      m_pWays(view.StepWays()),
      m_pAlong(view.CostAlong()),
      m_pAgainst(view.CostAgainst()) {}

namespace {

// The cost of entry j: directed, the cheaper of the ways one may leave by
// (along first on a tie); undirected, the cheaper of the edge's two costs,
// travelled from the end the entry is listed at.
template <bool kDirected>
inline double CostOf(unsigned char w, std::int32_t e, const double* along, const double* against, bool& bAlong) {
  if (kDirected) {
    double c = kNoRoute;
    bAlong = false;
    if ((w & CNetworkView::kLeaveAlong) != 0) {
      c = along[e];
      bAlong = true;
    }
    if ((w & CNetworkView::kLeaveAgainst) != 0 && against[e] < c) {
      c = against[e];
      bAlong = false;
    }
    return c;
  }
  const double a = along[e];
  const double b = against[e];
  const bool isFrom = (w & (CNetworkView::kLeaveAlong | CNetworkView::kArriveAgainst)) != 0;
  const bool isTo = (w & (CNetworkView::kLeaveAgainst | CNetworkView::kArriveAlong)) != 0;
  bAlong = isFrom && isTo ? a <= b : isFrom;
  return a < b ? a : b;
}

// The weight of the turn into the edge at column q of the row starting at
// `row` (0 where the matrix has no such entry); false for a forbidden turn,
// a NaN weight included.
inline bool TurnWeight(const double* matrix, std::int64_t row, std::int16_t q, std::int64_t nTurn, double& t) {
  if (row < 0 || q < 0 || row + q >= nTurn) return true;
  t = matrix[row + q];
  return t >= 0.0;
}

}  // namespace

double CRouteSearch::StepCost(std::int64_t j, bool& bAlong) const {
  return m_bDirected ? CostOf<true>(m_pWays[j], m_pEdge[j], m_pAlong, m_pAgainst, bAlong)
                     : CostOf<false>(m_pWays[j], m_pEdge[j], m_pAlong, m_pAgainst, bAlong);
}

template <bool kDirected, bool kBarriers>
void CRouteSearch::Nodes(std::int32_t lTarget, double dLimit, bool bPred) {
  double* dist = m_dist.data();
  const std::int64_t* first = m_view.StepFirst();
  while (!m_nodeHeap.Empty()) {
    if (!m_poll.Step()) break;
    const CNodeHeap::Item it = m_nodeHeap.Pop();
    const std::int32_t u = it.lNod;
    if (it.dKey > dLimit) break;
    if (!m_nodeHeap.Empty()) {  // as in NodesAll: the next node's steps
      const std::int64_t jNext = first[m_nodeHeap.TopNod()];
      Prefetch(m_pFar + jNext);
      Prefetch(m_pEdge + jNext);
      Prefetch(m_pWays + jNext);
    }
    m_settled.push_back(u);
    if (u == lTarget) break;
    if (kBarriers && m_pBarriers->nods.Test(u)) continue;  // a start that is a barrier
    const std::int64_t end = first[u + 1];
    for (std::int64_t j = first[u]; j < end; ++j) {
      bool bAlong = false;
      const double c = CostOf<kDirected>(m_pWays[j], m_pEdge[j], m_pAlong, m_pAgainst, bAlong);
      if (c == kNoRoute) continue;
      if (kBarriers && Blocked(j)) continue;
      const std::int32_t v = m_pFar[j];
      const double d = it.dKey + c;
      if (d < dist[v - 1]) {
        if (dist[v - 1] == kNoRoute) Prefetch(first + v);
        dist[v - 1] = d;
        if (bPred) {
          m_predEntry[static_cast<std::size_t>(v - 1)] = j;
          m_predNod[static_cast<std::size_t>(v - 1)] = u;
        }
        m_nodeHeap.Push(d, v);
      }
    }
  }
}

// A search to every node reads each step once per node settled; the cost of
// every step is gathered first in entry order, so that the search reads it
// next to the far node instead of from the edge's slot elsewhere in memory.
void CRouteSearch::NodesAll() {
  const std::int64_t m = m_view.StepEnd(m_view.GetNodNum());
  m_stepCost.resize(static_cast<std::size_t>(m));
  double* cost = m_stepCost.data();
  for (std::int64_t j = 0; j < m; ++j) {
    bool bAlong = false;
    cost[j] = StepCost(j, bAlong);
    if (m_pBarriers->bAny && Blocked(j)) cost[j] = kNoRoute;
  }
  double* dist = m_dist.data();
  const std::int64_t* first = m_view.StepFirst();
  while (!m_nodeHeap.Empty()) {
    if (!m_poll.Step()) break;
    const CNodeHeap::Item it = m_nodeHeap.Pop();
    const std::int32_t u = it.lNod;
    // The search waits on memory: ask for the steps of the node settled
    // next while this one's are read (its step range was asked for when it
    // was queued).
    if (!m_nodeHeap.Empty()) {
      const std::int64_t jNext = first[m_nodeHeap.TopNod()];
      Prefetch(m_pFar + jNext);
      Prefetch(cost + jNext);
    }
    m_settled.push_back(u);
    if (m_pBarriers->bAny && m_pBarriers->nods.Test(u)) continue;
    const std::int64_t end = first[u + 1];
    for (std::int64_t j = first[u]; j < end; ++j) {
      const std::int32_t v = m_pFar[j];
      const double d = it.dKey + cost[j];
      if (d < dist[v - 1]) {
        if (dist[v - 1] == kNoRoute) Prefetch(first + v);
        dist[v - 1] = d;
        m_nodeHeap.Push(d, v);
      }
    }
  }
}

void CRouteSearch::RunNodes(const std::vector<std::int32_t>& starts, std::int32_t lTarget, double dLimit,
                            bool bPred) {
  const std::size_t n = static_cast<std::size_t>(m_view.GetNodNum());
  m_dist.assign(n, kNoRoute);
  m_settled.clear();
  m_nodeHeap.Reset(n);
  if (bPred) {
    m_predEntry.assign(n, -1);
    m_predNod.assign(n, 0);
  }
  for (std::int32_t s : starts) {
    if (m_pBarriers->bAny && m_pBarriers->nods.Test(s)) continue;  // a barrier start reaches nothing
    if (m_dist[static_cast<std::size_t>(s - 1)] == 0.0) continue;
    m_dist[static_cast<std::size_t>(s - 1)] = 0.0;
    m_nodeHeap.Push(0.0, s);
  }
  const bool bBarriers = m_pBarriers->bAny;
  if (lTarget == 0 && dLimit == kNoRoute && !bPred) {
    NodesAll();
  } else if (m_bDirected) {
    if (bBarriers) {
      Nodes<true, true>(lTarget, dLimit, bPred);
    } else {
      Nodes<true, false>(lTarget, dLimit, bPred);
    }
  } else if (bBarriers) {
    Nodes<false, true>(lTarget, dLimit, bPred);
  } else {
    Nodes<false, false>(lTarget, dLimit, bPred);
  }
  m_nodeHeap = CNodeHeap();
}

template <bool kDirected, bool kBarriers>
void CRouteSearch::Turns(std::int32_t lTarget, bool bPred) {
  double* dist = m_dist.data();
  double* label = m_label.data();
  while (!m_heap.Empty()) {
    if (!m_poll.Step()) break;
    const CRouteHeap::Item it = m_heap.Pop();
    const std::int64_t i = it.lId;
    if (it.dKey > label[i]) continue;
    const std::int32_t v = m_pFar[i];
    const std::int32_t side = m_view.TurnSize(v);
    // Without a matrix every turn at v costs nothing, so the first arrival
    // settled leaves v as cheaply as any later one can.
    if (side == 0 && it.dKey >= dist[v - 1]) continue;
    if (it.dKey < dist[v - 1]) dist[v - 1] = it.dKey;  // the first arrival settled is the best
    if (v == lTarget) {
      m_lBestLabel = i;
      break;
    }
    // The row of the matrix at v that turns from i's edge start from.
    const std::int64_t nTurn = m_view.TurnEntries(v);
    const double* matrix = m_view.TurnMatrix(v);
    const std::int16_t p = m_view.StepFarTurnPos()[i];
    const std::int64_t row = (side > 0 && p >= 0) ? static_cast<std::int64_t>(p) * side : -1;
    const std::int16_t* pos = m_view.StepTurnPos();
    const std::int64_t end = m_view.StepEnd(v);
    for (std::int64_t j = m_view.StepBegin(v); j < end; ++j) {
      bool bAlong = false;
      const double c = CostOf<kDirected>(m_pWays[j], m_pEdge[j], m_pAlong, m_pAgainst, bAlong);
      if (c == kNoRoute) continue;
      if (kBarriers && Blocked(j)) continue;
      double t = 0.0;
      if (!TurnWeight(matrix, row, pos[j], nTurn, t)) continue;
      const double d = it.dKey + t + c;
      if (d < label[j]) {
        label[j] = d;
        if (bPred) m_predEntry[static_cast<std::size_t>(j)] = i;
        m_heap.Push(d, j);
      }
    }
  }
}

void CRouteSearch::RunTurns(std::int32_t lStart, std::int32_t lTarget, bool bPred) {
  const std::size_t n = static_cast<std::size_t>(m_view.GetNodNum());
  const std::size_t m = static_cast<std::size_t>(m_view.StepEnd(m_view.GetNodNum()));
  m_dist.assign(n, kNoRoute);
  m_label.assign(m, kNoRoute);
  if (bPred) m_predEntry.assign(m, -1);
  m_lBestLabel = -1;
  const bool bBarriers = m_pBarriers->bAny;
  if (bBarriers && m_pBarriers->nods.Test(lStart)) return;
  m_dist[static_cast<std::size_t>(lStart - 1)] = 0.0;
  if (lStart == lTarget) return;
  // No turn at the start: its steps cost their edges only.
  for (std::int64_t j = m_view.StepBegin(lStart); j < m_view.StepEnd(lStart); ++j) {
    bool bAlong = false;
    const double c = StepCost(j, bAlong);
    if (c == kNoRoute || (bBarriers && Blocked(j)) || !(c < m_label[static_cast<std::size_t>(j)])) continue;
    m_label[static_cast<std::size_t>(j)] = c;
    m_heap.Push(c, j);
  }
  if (m_bDirected) {
    if (bBarriers) {
      Turns<true, true>(lTarget, bPred);
    } else {
      Turns<true, false>(lTarget, bPred);
    }
  } else if (bBarriers) {
    Turns<false, true>(lTarget, bPred);
  } else {
    Turns<false, false>(lTarget, bPred);
  }
  m_heap = CRouteHeap();
}

void CRouteSearch::TracePath(std::int32_t lTarget, bool bTurns, NPath_stru& path) const {
  std::vector<NPathStep_stru> steps;
  if (bTurns) {
    for (std::int64_t i = m_lBestLabel; i >= 0; i = m_predEntry[static_cast<std::size_t>(i)]) {
      bool bAlong = false;
      StepCost(i, bAlong);
      steps.push_back(NPathStep_stru{m_pEdge[i], m_pFar[i], bAlong, m_label[static_cast<std::size_t>(i)]});
    }
  } else {
    for (std::int32_t v = lTarget; m_predEntry[static_cast<std::size_t>(v - 1)] >= 0;
         v = m_predNod[static_cast<std::size_t>(v - 1)]) {
      const std::int64_t j = m_predEntry[static_cast<std::size_t>(v - 1)];
      bool bAlong = false;
      StepCost(j, bAlong);
      steps.push_back(NPathStep_stru{m_pEdge[j], v, bAlong, m_dist[static_cast<std::size_t>(v - 1)]});
    }
  }
  std::reverse(steps.begin(), steps.end());
  path.steps.swap(steps);
}

}  // namespace tools
}  // namespace kelvane
