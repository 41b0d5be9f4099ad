// RouteSearch.cpp - the search engine behind routes, costs, matrices,
// service areas and closest facilities.
//
// One relax loop reads the view's flat step arrays in entry order, forward
// over the steps a node is left by or in reverse over the steps it is
// arrived by (the same edge seen from its other end, so a reverse search is
// the forward one on the reversed network). Direction, barriers and the
// search's sense are template parameters so that the common call (forward,
// directed, no barriers) tests nothing per step beyond the cost. Labels are
// settled in cost order; a label is improved only by a strictly lower cost,
// so ties go to the first found and a repeated call gives the same result.
#include "tools/RouteSearch.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "tools/StepRules.h"
#include "tools/ToolsInt.h"

namespace kelvane {
namespace tools {

namespace {

// The host is asked whether to go on after this many nodes or labels.
constexpr std::uint32_t kPollEvery = 4096;

// The turn at a node between a label's edge (at position pLabel of the
// node's list) and the step at position pStep: forward from the edge arrived
// by into the step; in reverse from the step arrived by into the label's.
template <bool kReverse>
inline bool TurnOn(const double* matrix, std::int32_t side, std::int64_t nTurn, std::int16_t pLabel, std::int16_t pStep,
                   double& t) {
  return TurnAt(matrix, side, nTurn, kReverse ? pStep : pLabel, kReverse ? pLabel : pStep, t);
}

// Whether a label kept at a node takes the step at position q of its list
// (forward, turning into it; in reverse, turning from it) at no more than
// dWant before the step's own cost: then that label relaxes the step (a
// settled one has) to no more than a label at dWant would. mask picks the
// slots asked: settled ones alone while relaxing, since a queued label's
// ways are still to come; every one when deciding whether to queue. A
// forbidden turn covers nothing.
template <bool kReverse>
inline bool TakenBy(const NArrivals& a, unsigned mask, const double* matrix, std::int32_t side, std::int64_t nTurn,
                    std::int16_t q, double dWant) {
  for (int k = 0; k < NArrivals::kKeep; ++k) {
    if ((mask & (1U << k)) == 0 || !(a.d[k] <= dWant)) continue;
    double t = 0.0;
    if (TurnOn<kReverse>(matrix, side, nTurn, a.pos[k], q, t) && a.d[k] + t <= dWant) {
      return true;
    }
  }
  return false;
}

constexpr unsigned kAllSlots = (1U << NArrivals::kKeep) - 1;
constexpr NArrivals kNoArrivals = {{kNoRoute, kNoRoute, kNoRoute}, {-1, -1, -1}, 0};
static_assert(NArrivals::kKeep == 3, "kNoArrivals fills every slot");

}  // namespace

std::size_t NSearchState::MemoryBytes() const {
  return dist.capacity() * sizeof(double) + pred.capacity() * sizeof(std::int64_t) +
         owner.capacity() * sizeof(std::int32_t) + settled.capacity() * sizeof(std::int32_t) +
         stepCost.capacity() * sizeof(double) + label.capacity() * sizeof(double) +
         labelPred.capacity() * sizeof(std::int64_t) + touched.capacity() * sizeof(std::int64_t) + wait.capacity() +
         waitList.capacity() * sizeof(std::int32_t) + edgeMarks.capacity() +
         arrivals.capacity() * sizeof(NArrivals) + restricted.MemoryBytes() + heap.MemoryBytes();
}

CSearchWorkspace::CSearchWorkspace() = default;

CSearchWorkspace::~CSearchWorkspace() { Release(); }

std::size_t CSearchWorkspace::GetMemoryBytes() const {
  std::size_t n = m_states.capacity() * sizeof(NSearchState*);
  for (const NSearchState* p : m_states) n += p->MemoryBytes() + sizeof(NSearchState);
  return n;
}

void CSearchWorkspace::Release() {
  for (NSearchState* p : m_states) delete p;
  m_states.clear();
  m_states.shrink_to_fit();
}

NSearchState& CSearchWorkspace::State(std::size_t i) {
  while (m_states.size() <= i) {
    m_states.reserve(i + 1);  // so that the push below cannot throw with the new state unowned
    m_states.push_back(new NSearchState());
  }
  return *m_states[i];
}

CRouteSearch::CRouteSearch(const CNetworkView& view, bool bDirected, const NBarrierBits& barriers, NSearchState& st,
                           const NProgress_stru* pProgress)
    : m_view(view),
      m_bDirected(bDirected),
      m_pBarriers(&barriers),
      m_st(st),
      m_pProgress(pProgress),
      m_pFirst(view.StepFirst()),
      m_pFar(view.StepFar()),
      m_pEdge(view.StepEdge()),
      m_pWays(view.StepWays()),
      m_pClosed(view.NodClosed()),
      m_pAlong(view.CostAlong()),
      m_pAgainst(view.CostAgainst()) {
  const std::size_t n = static_cast<std::size_t>(view.GetNodNum());
  GrowTo(m_st.dist, n, kNoRoute);
  GrowTo(m_st.pred, n, std::int64_t{-1});
  GrowTo(m_st.owner, n, std::int32_t{-1});
  GrowTo(m_st.wait, n, static_cast<unsigned char>(0));
}

double CRouteSearch::EndCost(std::int64_t j, bool bReverse, bool bFromEnd) const {
  const unsigned char w = m_pWays[j];
  const std::int32_t e = m_pEdge[j];
  if (bReverse) {
    return m_bDirected ? EndCostOf<true, true>(w, e, m_pAlong, m_pAgainst, bFromEnd)
                       : EndCostOf<true, false>(w, e, m_pAlong, m_pAgainst, bFromEnd);
  }
  return m_bDirected ? EndCostOf<false, true>(w, e, m_pAlong, m_pAgainst, bFromEnd)
                     : EndCostOf<false, false>(w, e, m_pAlong, m_pAgainst, bFromEnd);
}

double CRouteSearch::StepCost(std::int64_t j, bool bReverse, bool& bFromEnd) const {
  const unsigned char w = m_pWays[j];
  const std::int32_t e = m_pEdge[j];
  if (bReverse) {
    return m_bDirected ? CostOf<true, true>(w, e, m_pAlong, m_pAgainst, bFromEnd)
                       : CostOf<true, false>(w, e, m_pAlong, m_pAgainst, bFromEnd);
  }
  return m_bDirected ? CostOf<false, true>(w, e, m_pAlong, m_pAgainst, bFromEnd)
                     : CostOf<false, false>(w, e, m_pAlong, m_pAgainst, bFromEnd);
}

std::int32_t CRouteSearch::ReachedBy(std::int32_t v) const {
  const std::size_t k = static_cast<std::size_t>(v - 1);
  if (m_st.dist[k] == kNoRoute || m_st.pred[k] < 0) return 0;
  return m_pEdge[m_st.pred[k]];
}

void CRouteSearch::Wait(std::int32_t v) {
  unsigned char& w = m_st.wait[static_cast<std::size_t>(v - 1)];
  if (w != 0) return;
  w = 1;
  m_st.waitList.push_back(v);
  ++m_nWaiting;
}

void CRouteSearch::Clear() {
  double* dist = m_st.dist.data();
  const std::size_t n = static_cast<std::size_t>(m_view.GetNodNum());
  if (m_st.settled.size() > n / 4) {
    std::fill(dist, dist + n, kNoRoute);  // most of the network: in order beats scattered
  } else {
    for (std::int32_t v : m_st.settled) dist[v - 1] = kNoRoute;
  }
  if (m_bTurnLabels) {
    for (std::int64_t j : m_st.touched) m_st.label[static_cast<std::size_t>(j)] = kNoRoute;
    for (std::int64_t j : m_st.touched) m_st.arrivals[static_cast<std::size_t>(m_pFar[j] - 1)] = kNoArrivals;
    for (std::int32_t v : m_st.settled) m_st.arrivals[static_cast<std::size_t>(v - 1)] = kNoArrivals;
  } else {
    for (const CSearchHeap::Item& it : m_st.heap.Items()) dist[it.lId - 1] = kNoRoute;
  }
  m_st.touched.clear();
  m_st.heap.Clear();
  m_st.settled.clear();
  for (std::int32_t v : m_st.waitList) m_st.wait[static_cast<std::size_t>(v - 1)] = 0;
  m_st.waitList.clear();
  m_nWaiting = 0;
}

void CRouteSearch::MergeCheaper(const CRouteSearch& other) {
  double* dist = m_st.dist.data();
  std::int64_t* pred = m_st.pred.data();
  for (std::int32_t v : other.m_st.settled) {
    const std::size_t k = static_cast<std::size_t>(v - 1);
    const double d = other.m_st.dist[k];
    if (!(d < dist[k])) continue;
    // Not settled here (no cost yet, or one beyond the limit that sits in
    // the heap): listed before its cost is written, so that a list that
    // cannot grow leaves no cost Clear would miss.
    if (dist[k] == kNoRoute || dist[k] > m_dLimit) m_st.settled.push_back(v);
    dist[k] = d;
    pred[k] = other.m_st.pred[k];
  }
}

bool CRouteSearch::Poll() {
  m_nSincePoll = 0;
  if (m_pProgress == nullptr || m_pProgress->pfnPoll == nullptr) return true;
  const double n = m_view.GetNodNum() > 0 ? static_cast<double>(m_view.GetNodNum()) : 1.0;
  const double done = std::min(1.0, static_cast<double>(m_st.settled.size()) / n);
  if (m_pProgress->pfnPoll(m_pProgress->pUser, done)) return true;
  m_bStopped = true;
  return false;
}

// After node u has its final cost: true when the search ends here.
inline bool CRouteSearch::Settle(std::int32_t u, const NSearchRun& run) {
  if (++m_nSincePoll >= kPollEvery && !Poll()) return true;
  if (u == run.lStop) {
    m_bDone = true;
    return true;
  }
  if (run.bWait) {
    unsigned char& w = m_st.wait[static_cast<std::size_t>(u - 1)];
    if (w == 1) {
      w = 2;
      if (--m_nWaiting == 0) {
        m_bDone = true;
        return true;
      }
    }
  }
  return false;
}

void CRouteSearch::SetDist(std::int32_t v, double d, std::int64_t pred, std::int32_t lOwner) {
  const std::size_t k = static_cast<std::size_t>(v - 1);
  m_st.dist[k] = d;
  m_st.pred[k] = pred;
  m_st.owner[k] = lOwner;
}

void CRouteSearch::PushLabel(std::int64_t j, double d, std::int64_t pred) {
  double& l = m_st.label[static_cast<std::size_t>(j)];
  if (l == kNoRoute) {
    m_st.touched.push_back(j);
    const std::int32_t w = m_pFar[j];
    if (m_view.TurnSize(w) != 0) KeepArrival(w, d, m_view.StepFarTurnPos()[j], false);
  }
  l = d;
  m_st.labelPred[static_cast<std::size_t>(j)] = pred;
  m_st.heap.Push(d, j);
}

template <bool kReverse, bool kDirected, bool kBarriers>
void CRouteSearch::Nodes(const NSearchRun& run) {
  double* dist = m_st.dist.data();
  std::int64_t* pred = m_st.pred.data();
  std::int32_t* owner = m_st.owner.data();
  CSearchHeap& heap = m_st.heap;
  const bool bPred = run.bPred;
  const bool bOwner = run.bOwner;
  while (!heap.Empty()) {
    if (heap.Top().dKey > run.dLimit) break;
    const CSearchHeap::Item it = heap.Pop();
    const std::int32_t u = static_cast<std::int32_t>(it.lId);
    if (!heap.Empty()) {  // the next node's steps, asked for while this one's are read
      const std::int64_t jNext = m_pFirst[heap.Top().lId];
      Prefetch(m_pFar + jNext);
      Prefetch(m_pEdge + jNext);
      Prefetch(m_pWays + jNext);
    }
    m_st.settled.push_back(u);
    if (Settle(u, run)) break;
    const std::int64_t end = m_pFirst[u + 1];
    for (std::int64_t j = m_pFirst[u]; j < end; ++j) {
      bool bFrom = false;
      const double c = CostOf<kReverse, kDirected>(m_pWays[j], m_pEdge[j], m_pAlong, m_pAgainst, bFrom);
      if (c == kNoRoute) continue;
      if ((kBarriers || kReverse) && Blocked(j, kReverse)) continue;
      const std::int32_t v = m_pFar[j];
      const double d = it.dKey + c;
      double& dv = dist[v - 1];
      // Closest facility: an equal cost from a start listed earlier wins,
      // and the node passes it on (settled again if it must).
      if (d < dv || (bOwner && d == dv && owner[u - 1] < owner[v - 1])) {
        if (dv == kNoRoute) Prefetch(m_pFirst + v);
        dv = d;
        if (bPred) pred[v - 1] = j;
        if (bOwner) owner[v - 1] = owner[u - 1];
        heap.Push(d, v);
      }
    }
  }
}

// A search to every node, over the gathered step costs. kTree keeps each
// node's entry and, for a closest facility, its start.
template <bool kReverse, bool kTree>
void CRouteSearch::NodesAll(const NSearchRun& run) {
  const double* cost = GatherCosts(kReverse);
  double* dist = m_st.dist.data();
  std::int64_t* pred = m_st.pred.data();
  std::int32_t* owner = m_st.owner.data();
  const bool bOwner = run.bOwner;
  CSearchHeap& heap = m_st.heap;
  while (!heap.Empty()) {
    const CSearchHeap::Item it = heap.Pop();
    const std::int32_t u = static_cast<std::int32_t>(it.lId);
    if (!heap.Empty()) {
      const std::int64_t jNext = m_pFirst[heap.Top().lId];
      Prefetch(m_pFar + jNext);
      Prefetch(cost + jNext);
    }
    m_st.settled.push_back(u);
    if (Settle(u, run)) break;
    const std::int64_t end = m_pFirst[u + 1];
    for (std::int64_t j = m_pFirst[u]; j < end; ++j) {
      const std::int32_t v = m_pFar[j];
      const double d = it.dKey + cost[j];
      double& dv = dist[v - 1];
      // Closest facility: an equal cost from a start listed earlier wins,
      // and the node passes it on (settled again if it must).
      if (d < dv || (kTree && bOwner && d == dv && d != kNoRoute && owner[u - 1] < owner[v - 1])) {
        if (dv == kNoRoute) Prefetch(m_pFirst + v);
        dv = d;
        if (kTree) {
          pred[v - 1] = j;
          owner[v - 1] = owner[u - 1];
        }
        heap.Push(d, v);
      }
    }
  }
}

// The cost of every step under the call's rules, +infinity where it is not
// taken, in entry order: a search that runs to the end then reads each cost
// beside the far node instead of from the edge's slot elsewhere in memory.
// Without barriers the costs follow from the view's build and the rule
// alone, so a workspace keeps them for the next call on the same build; on
// a small network the pass is a tenth of the search.
const double* CRouteSearch::GatherCosts(bool bReverse) {
  const std::int64_t m = m_view.StepEnd(m_view.GetNodNum());
  double* cost = m_st.stepCost.data();
  const unsigned char rule = static_cast<unsigned char>((m_bDirected ? 1 : 0) | (bReverse ? 2 : 0));
  const std::uint64_t stamp = m_pBarriers->bAny ? 0 : m_view.GetBuildStamp();
  if (stamp != 0 && m_st.stepCostStamp == stamp && m_st.stepCostRule == rule) return cost;
  m_st.stepCostStamp = 0;  // until the pass is whole
  GrowTo(m_st.stepCost, static_cast<std::size_t>(m), kNoRoute);
  cost = m_st.stepCost.data();
  const bool bBlock = m_pBarriers->bAny || bReverse;
  for (std::int64_t j = 0; j < m; ++j) {
    bool bFrom = false;
    cost[j] = StepCost(j, bReverse, bFrom);
    if (bBlock && Blocked(j, bReverse)) cost[j] = kNoRoute;
  }
  m_st.stepCostStamp = stamp;
  m_st.stepCostRule = rule;
  return cost;
}

void CRouteSearch::SeedNode(std::int32_t v, std::int32_t lOwner, bool bReverse) {
  if (m_pBarriers->bAny && m_pBarriers->nods.Test(v)) return;  // a barrier start reaches nothing
  if (Dist(v) == 0.0) return;  // listed before: the first listing keeps it
  if (bReverse && m_pClosed[v] != 0) {
    // Settled at once: a reverse search never steps into a closed node.
    SetDist(v, 0.0, -1, lOwner);
    m_st.settled.push_back(v);
    SeedClosedTarget(v, false);
    return;
  }
  SetDist(v, 0.0, -1, lOwner);
  m_st.heap.Push(0.0, v);
}

// A closed node has no steps of its own, so a reverse search toward one
// starts from the steps of its neighbours that lead into it, found over the
// network's own list of its edges.
void CRouteSearch::SeedClosedTarget(std::int32_t t, bool bTurns) {
  const std::int32_t lOwner = m_st.owner[static_cast<std::size_t>(t - 1)];
  ForEachStepInto(t, [&](std::int64_t j, std::int32_t u) {
    bool bFrom = false;
    const double c = StepCost(j, false, bFrom);
    if (c == kNoRoute || Blocked(j, false) || (m_pBarriers->bAny && m_pBarriers->nods.Test(u))) return;
    if (!bTurns) {
      if (c < Dist(u)) {
        SetDist(u, c, j, lOwner);
        m_st.heap.Push(c, u);
      }
      return;
    }
    // Turns: u's cost is at most c, and every way into u turns into j's edge.
    if (c < Dist(u)) {
      if (Dist(u) == kNoRoute) m_st.settled.push_back(u);
      SetDist(u, c, j, lOwner);
    }
    const std::int32_t side = m_view.TurnSize(u);
    const std::int64_t nTurn = m_view.TurnEntries(u);
    const double* matrix = m_view.TurnMatrix(u);
    const std::int16_t* pos = m_view.StepTurnPos();
    for (std::int64_t b = m_pFirst[u]; b < m_pFirst[u + 1]; ++b) {
      const double cb = StepCost(b, true, bFrom);
      if (cb == kNoRoute || Blocked(b, true)) continue;
      double w = 0.0;
      if (!TurnAt(matrix, side, nTurn, pos[b], pos[j], w)) continue;
      const double d = c + w + cb;
      if (d < m_st.label[static_cast<std::size_t>(b)]) PushLabel(b, d, -1);
    }
  });
}

bool CRouteSearch::RunNodes(const std::vector<std::int32_t>& starts, const NSearchRun& run) {
  m_bTurnLabels = false;
  m_bStopped = false;
  m_bDone = false;
  m_dLimit = run.dLimit;
  m_st.heap.Prepare(static_cast<std::size_t>(m_view.GetNodNum()) + 1);
  for (std::size_t k = 0; k < starts.size(); ++k) SeedNode(starts[k], static_cast<std::int32_t>(k), run.bReverse);
  if (run.pSeeds != nullptr) {
    for (const NSearchSeed& sd : *run.pSeeds) {
      if ((m_pBarriers->bAny && m_pBarriers->nods.Test(sd.lNod)) || !(sd.dCost < Dist(sd.lNod))) continue;
      SetDist(sd.lNod, sd.dCost, sd.lPred, 0);
      m_st.heap.Push(sd.dCost, sd.lNod);
    }
  }
  // Starts already known (a closed target) count before the loop.
  for (std::int32_t v : m_st.settled) {
    if (Settle(v, run)) return !m_bStopped;
  }
  const bool bBarriers = m_pBarriers->bAny;
  if (run.lStop == 0 && run.dLimit == kNoRoute && !run.bWait) {
    const bool bTree = run.bPred || run.bOwner;
    if (run.bReverse) {
      if (bTree) {
        NodesAll<true, true>(run);
      } else {
        NodesAll<true, false>(run);
      }
    } else if (bTree) {
      NodesAll<false, true>(run);
    } else {
      NodesAll<false, false>(run);
    }
  } else if (run.bReverse) {
    if (m_bDirected) {
      Nodes<true, true, true>(run);
    } else {
      Nodes<true, false, true>(run);
    }
  } else if (m_bDirected) {
    if (bBarriers) {
      Nodes<false, true, true>(run);
    } else {
      Nodes<false, true, false>(run);
    }
  } else if (bBarriers) {
    Nodes<false, false, true>(run);
  } else {
    Nodes<false, false, false>(run);
  }
  return !m_bStopped;
}

// Label i, popped at key d, reaches (in reverse: leaves) node v: v's cost
// when it is the lowest yet, and the stop rules. true: the search ends here.
bool CRouteSearch::ArriveLabel(std::int32_t v, double d, std::int64_t i, const NSearchRun& run) {
  double& dv = m_st.dist[static_cast<std::size_t>(v - 1)];
  if (d < dv) {
    if (dv == kNoRoute) m_st.settled.push_back(v);
    dv = d;
    m_st.pred[static_cast<std::size_t>(v - 1)] = i;
  }
  if (++m_nSincePoll >= kPollEvery && !Poll()) return true;
  if (v == run.lStop) {
    m_lBestLabel = i;
    m_bDone = true;
    return true;
  }
  unsigned char& w = m_st.wait[static_cast<std::size_t>(v - 1)];
  if (run.bWait && w == 1) {
    w = 2;
    if (--m_nWaiting == 0) {
      m_bDone = true;
      return true;
    }
  }
  return false;
}

// The cost of step j under the run's rules (the gathered ones when given),
// +infinity where it is not taken.
template <bool kReverse, bool kDirected, bool kBarriers>
inline double CRouteSearch::StepOf(std::int64_t j, const double* gathered) const {
  if (gathered != nullptr) return gathered[j];
  bool bFrom = false;
  const double c = CostOf<kReverse, kDirected>(m_pWays[j], m_pEdge[j], m_pAlong, m_pAgainst, bFrom);
  if ((kBarriers || kReverse) && c != kNoRoute && Blocked(j, kReverse)) return kNoRoute;
  return c;
}

// Whether label j, at cost d, need not be queued: its node has a label no
// dearer queued or settled (so the node's cost and the stop rules are met
// without j), and every way on from it is taken at no more cost by the
// labels there (at a node without a matrix, by the first one settled), or
// (bAhead) leads to a label no dearer than j would give, or to one that
// itself need not be queued. Exact: a queued label is settled before j would
// be and relaxes every way it is kept for (or finds it taken by a settled
// one), so each way j skips ends no dearer than j would have made it. In a
// crossing without U-turns the second arrival's only way not taken by the
// first is back where the first came from, which is covered there: looking
// one step ahead spares queueing it.
template <bool kReverse, bool kDirected, bool kBarriers>
bool CRouteSearch::Covered(std::int64_t j, double d, const double* gathered, bool bAhead) const {
  const std::int32_t w = m_pFar[j];
  const std::int32_t side = m_view.TurnSize(w);
  if (side == 0) return d >= m_st.dist[static_cast<std::size_t>(w - 1)];
  const NArrivals& a = m_st.arrivals[static_cast<std::size_t>(w - 1)];
  if (!(a.d[0] <= d) && !(a.d[1] <= d) && !(a.d[2] <= d)) return false;
  const double* matrix = m_view.TurnMatrix(w);
  const std::int64_t nTurn = m_view.TurnEntries(w);
  const std::int16_t* nearPos = m_view.StepTurnPos();
  const std::int16_t pJ = m_view.StepFarTurnPos()[j];
  for (std::int64_t k = m_pFirst[w]; k < m_pFirst[w + 1]; ++k) {
    double t = 0.0;
    if (!TurnOn<kReverse>(matrix, side, nTurn, pJ, nearPos[k], t)) continue;
    const double dTurn = d + t;
    if (TakenBy<kReverse>(a, kAllSlots, matrix, side, nTurn, nearPos[k], dTurn)) continue;
    if (!bAhead) return false;
    const double c = StepOf<kReverse, kDirected, kBarriers>(k, gathered);
    if (c == kNoRoute) continue;
    const double dNext = dTurn + c;
    if (dNext < m_st.label[static_cast<std::size_t>(k)] &&
        !Covered<kReverse, kDirected, kBarriers>(k, dNext, gathered, false)) {
      return false;
    }
  }
  return true;
}

// A label queued for v at cost d, or (bSettled) settled there after its
// steps are relaxed, so that it never covers its own. A settled label takes
// the unsettled slot of its edge, else a free one; a queued one a free one.
void CRouteSearch::KeepArrival(std::int32_t v, double d, std::int16_t pos, bool bSettled) {
  NArrivals& a = m_st.arrivals[static_cast<std::size_t>(v - 1)];
  int at = -1;
  for (int k = 0; k < NArrivals::kKeep; ++k) {
    if (bSettled && a.pos[k] == pos && a.d[k] != kNoRoute && (a.settled & (1U << k)) == 0) {
      at = k;
      break;
    }
    if (at < 0 && a.d[k] == kNoRoute) at = k;
  }
  if (at < 0) return;
  a.d[at] = d;
  a.pos[at] = pos;
  if (bSettled) a.settled = static_cast<unsigned char>(a.settled | (1U << at));
}

template <bool kReverse, bool kDirected, bool kBarriers>
void CRouteSearch::Turns(const NSearchRun& run) {
  const double* dist = m_st.dist.data();
  double* label = m_st.label.data();
  CSearchHeap& heap = m_st.heap;
  const std::int16_t* nearPos = m_view.StepTurnPos();
  const std::int16_t* farPos = m_view.StepFarTurnPos();
  const double* gathered = run.lStop == 0 && !run.bWait ? GatherCosts(kReverse) : nullptr;
  while (!heap.Empty()) {
    const CSearchHeap::Item it = heap.Pop();
    const std::int64_t i = it.lId;
    if (it.dKey > label[i]) continue;  // an item left behind by a cheaper one (the heap is untracked)
    if (!heap.Empty()) {  // the next label's node, asked for while this one's steps are read
      const std::int32_t vNext = m_pFar[heap.Top().lId];
      Prefetch(m_pFirst + vNext);
      Prefetch(m_st.arrivals.data() + (vNext - 1));
    }
    // Forward: the node label i arrives at; in reverse, the node it leaves.
    const std::int32_t v = m_pFar[i];
    const std::int32_t side = m_view.TurnSize(v);
    // Without a matrix every turn at v costs nothing, so the first label
    // settled there passes v as cheaply as any later one can.
    if (side == 0 && it.dKey >= dist[v - 1]) continue;
    if (ArriveLabel(v, it.dKey, i, run)) break;
    // Forward the turn at v is from i's edge into the next; in reverse from
    // the edge arrived by into i's.
    const std::int64_t nTurn = m_view.TurnEntries(v);
    const double* matrix = m_view.TurnMatrix(v);
    const std::int16_t pI = farPos[i];
    const NArrivals& kept = m_st.arrivals[static_cast<std::size_t>(v - 1)];
    const std::int64_t end = m_pFirst[v + 1];
    for (std::int64_t j = m_pFirst[v]; j < end; ++j) {
      const double c = StepOf<kReverse, kDirected, kBarriers>(j, gathered);
      if (c == kNoRoute) continue;
      double t = 0.0;
      if (!TurnOn<kReverse>(matrix, side, nTurn, pI, nearPos[j], t)) continue;
      const double dTurn = it.dKey + t;
      // Taken already, at no more cost, by a label settled here before (a
      // node without a matrix keeps none).
      if (TakenBy<kReverse>(kept, kept.settled, matrix, side, nTurn, nearPos[j], dTurn)) continue;
      const double d = dTurn + c;
      if (d < label[j] && !Covered<kReverse, kDirected, kBarriers>(j, d, gathered, true)) PushLabel(j, d, i);
    }
    if (side != 0) KeepArrival(v, it.dKey, pI, true);
  }
}

bool CRouteSearch::RunTurns(std::int32_t lStart, const NSearchRun& run) {
  const std::size_t m = static_cast<std::size_t>(m_view.StepEnd(m_view.GetNodNum()));
  m_bTurnLabels = true;
  m_bStopped = false;
  m_bDone = false;
  m_lBestLabel = -1;
  GrowTo(m_st.label, m, kNoRoute);
  GrowTo(m_st.labelPred, m, std::int64_t{-1});
  GrowTo(m_st.arrivals, static_cast<std::size_t>(m_view.GetNodNum()), kNoArrivals);
  m_st.heap.PrepareUntracked();
  const bool bBarriers = m_pBarriers->bAny;
  if (bBarriers && m_pBarriers->nods.Test(lStart)) return true;
  SetDist(lStart, 0.0, -1, 0);
  m_st.settled.push_back(lStart);
  if (Settle(lStart, run)) return !m_bStopped;
  if (run.bReverse && m_pClosed[lStart] != 0) {
    SeedClosedTarget(lStart, true);
  } else {
    // No turn at the start: its steps cost their edges only, so a label
    // that comes back to it finds every way on taken.
    for (std::int64_t j = m_view.StepBegin(lStart); j < m_view.StepEnd(lStart); ++j) {
      bool bFrom = false;
      const double c = StepCost(j, run.bReverse, bFrom);
      if (c == kNoRoute || Blocked(j, run.bReverse) || !(c < m_st.label[static_cast<std::size_t>(j)])) continue;
      PushLabel(j, c, -1);
    }
    if (m_view.TurnSize(lStart) != 0) KeepArrival(lStart, 0.0, -1, true);
  }
  if (run.bReverse) {
    if (m_bDirected) {
      Turns<true, true, true>(run);
    } else {
      Turns<true, false, true>(run);
    }
  } else if (m_bDirected) {
    if (bBarriers) {
      Turns<false, true, true>(run);
    } else {
      Turns<false, true, false>(run);
    }
  } else if (bBarriers) {
    Turns<false, false, true>(run);
  } else {
    Turns<false, false, false>(run);
  }
  return !m_bStopped;
}

std::int32_t CRouteSearch::NodeOfEntry(std::int64_t j) const {
  const std::int64_t* end = m_pFirst + m_view.GetNodNum() + 2;
  return static_cast<std::int32_t>(std::upper_bound(m_pFirst + 1, end, j) - m_pFirst - 1);
}

void CRouteSearch::TracePath(std::int32_t lTarget, bool bTurns, NPath_stru& path) const {
  std::vector<NPathStep_stru> steps;
  if (bTurns) {
    for (std::int64_t i = m_lBestLabel; i >= 0; i = m_st.labelPred[static_cast<std::size_t>(i)]) {
      bool bAlong = false;
      StepCost(i, false, bAlong);
      steps.push_back(NPathStep_stru{m_pEdge[i], m_pFar[i], bAlong, m_st.label[static_cast<std::size_t>(i)]});
    }
  } else {
    // Each node's entry is listed at the node it was reached from.
    for (std::int32_t v = lTarget; m_st.pred[static_cast<std::size_t>(v - 1)] >= 0;) {
      const std::int64_t j = m_st.pred[static_cast<std::size_t>(v - 1)];
      bool bAlong = false;
      StepCost(j, false, bAlong);
      steps.push_back(NPathStep_stru{m_pEdge[j], v, bAlong, Dist(v)});
      v = NodeOfEntry(j);
    }
  }
  std::reverse(steps.begin(), steps.end());
  path.steps.swap(steps);
}

}  // namespace tools
}  // namespace kelvane
