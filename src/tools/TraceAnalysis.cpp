// TraceAnalysis.cpp - breadth-first traces over the view's flat step arrays,
// and the outcome written into the network's trace marks on request.
//
// The walk is the inner loop every host used to write through calls; here it
// reads three arrays and two bitsets. Barriers and stops cost a test per step
// only when a call has any: the walk is a template on that.
#include "kelvane/tools/TraceAnalysis.h"

#include <cstdint>
#include <new>
#include <vector>

#include "tools/AnalysisInt.h"
#include "tools/ToolsInt.h"

namespace kelvane {
namespace tools {

namespace {

struct NLimits {
  const NBarrierBits* pBarriers;
  const CElemBits* pStopNods;
  const CElemBits* pStopEdges;
};

const std::size_t kPrefetchFar = 16;
const std::size_t kPrefetchNear = 8;

// Marks the edge of every step whose ways meet `want` at the nodes set in
// nods.
void MarkStepEdges(const CNetworkView& view, unsigned char want, const CElemBits& nods, CElemBits& edges) {
  const std::int64_t* first = view.StepFirst();
  const std::int32_t* edge = view.StepEdge();
  const unsigned char* ways = view.StepWays();
  const bool bAll = want == (CNetworkView::kLeave | CNetworkView::kArrive);
  CElemBits::CRun run(edges);  // a node's edges and its neighbours' share words
  nods.ForEachSet([&](std::int64_t n) {
    const std::int64_t end = first[n + 1];
    for (std::int64_t j = first[n]; j < end; ++j) {
      if (bAll || (ways[j] & want) != 0) run.Set(edge[j]);
    }
  });
}

// Whether step j (edge e to far node m) may be taken under the call's
// barriers and stops; marks the edge when it is reached.
inline bool TakeLimited(const NLimits& lim, std::int32_t e, std::int32_t m, CElemBits& edges) {
  if (lim.pBarriers->edges.Test(e) || lim.pBarriers->nods.Test(m)) return false;
  edges.Set(e);
  return !lim.pStopEdges->Test(e);
}

// Walks from the starts over the entries whose ways meet `want`. kLimits:
// the call has barriers or stops to test.
template <bool kLimits>
void Walk(const CNetworkView& view, unsigned char want, const std::vector<std::int32_t>& starts, const NLimits& lim,
          CElemBits& nods, CElemBits& edges, CProgressPoll& poll) {
  const std::int64_t* first = view.StepFirst();
  const std::int32_t* far = view.StepFar();
  const std::int32_t* edge = view.StepEdge();
  const unsigned char* ways = view.StepWays();
  const bool bAll = want == (CNetworkView::kLeave | CNetworkView::kArrive);  // every entry qualifies
  std::vector<std::int32_t> queue;
  queue.reserve(static_cast<std::size_t>(view.GetNodNum()));
  for (std::int32_t s : starts) {
    if (kLimits && lim.pBarriers->nods.Test(s)) continue;
    if (nods.TestAndSet(s)) queue.push_back(s);
  }
  for (std::size_t head = 0; head < queue.size(); ++head) {
    // The walk waits on memory: the nodes queued next are scattered over the
    // step arrays. Ask early for the step range of the node kPrefetchFar
    // places ahead, and for the steps of the one kPrefetchNear ahead, whose
    // range has arrived by then.
    if (head + kPrefetchFar < queue.size()) Prefetch(first + queue[head + kPrefetchFar]);
    if (head + kPrefetchNear < queue.size()) {
      const std::int64_t j = first[queue[head + kPrefetchNear]];
      Prefetch(far + j);
      if (kLimits) Prefetch(edge + j);
    }
    if (!poll.Step()) return;
    const std::int32_t n = queue[head];
    // A closed node has no steps of its own (the view leaves them out), so
    // it is reached and not passed without a test here.
    if (kLimits && lim.pStopNods->Test(n)) continue;
    const std::int64_t end = first[n + 1];
    for (std::int64_t j = first[n]; j < end; ++j) {
      if (!bAll && (ways[j] & want) == 0) continue;
      const std::int32_t m = far[j];
      if (kLimits && !TakeLimited(lim, edge[j], m, edges)) continue;
      if (nods.TestAndSet(m)) queue.push_back(m);
    }
  }
  // Without limits every step a reached node may be left by reaches its
  // edge, so the edges are marked afterwards, node after node in number
  // order: one pass along the step arrays in the order they are laid out,
  // where marking them during the walk would read the edge numbers in the
  // walk's scattered order.
  if (!kLimits) MarkStepEdges(view, want, nods, edges);
}

unsigned char WaysFor(NTraceKind eKind) {
  switch (eKind) {
    case NTraceKind::Downstream:
      return CNetworkView::kLeave;
    case NTraceKind::Upstream:
      return CNetworkView::kArrive;
    default:
      return CNetworkView::kLeave | CNetworkView::kArrive;
  }
}

std::int32_t Trace(const CNetworkView& view, const NTraceQuery_stru& query, NTraceResult_stru& result,
                   NFinding_stru* pError, const NProgress_stru* pProgress) {
  if (CheckCurrent(view, pError) == 0) return 0;
  if (query.eKind != NTraceKind::Connected && query.eKind != NTraceKind::Downstream &&
      query.eKind != NTraceKind::Upstream) {
    return Refuse(pError, MakeFinding(NFindingCode::BadArgument, NElemKind::Network, 0,
                                      Format("trace kind %d is none of connected (0), downstream (1), upstream (2)",
                                             static_cast<int>(query.eKind))));
  }
  NBarrierBits barriers;
  if (CheckStartsAndBarriers(view, query.starts, query.barriers, barriers, pError) == 0) return 0;
  CElemBits stopNods(view.GetNodNum());
  CElemBits stopEdges(view.GetEdgeNum());
  if (MarkNods(view, query.stops.nods, "stop node", stopNods, pError) == 0) return 0;
  if (MarkEdges(view, query.stops.edges, "stop edge", stopEdges, pError) == 0) return 0;

  CElemBits nods(view.GetNodNum());
  CElemBits edges(view.GetEdgeNum());
  const NLimits lim{&barriers, &stopNods, &stopEdges};
  const unsigned char want = WaysFor(query.eKind);
  CProgressPoll poll(pProgress, view.GetNodNum());
  if (barriers.bAny || !query.stops.nods.empty() || !query.stops.edges.empty()) {
    Walk<true>(view, want, query.starts, lim, nods, edges, poll);
  } else {
    Walk<false>(view, want, query.starts, lim, nods, edges, poll);
  }
  if (poll.Stopped()) return CProgressPoll::Refuse(pError);
  NTraceResult_stru out;
  out.nods.reserve(static_cast<std::size_t>(nods.Count()));
  out.edges.reserve(static_cast<std::size_t>(edges.Count()));
  nods.AppendSet(out.nods);
  edges.AppendSet(out.edges);
  result.nods.swap(out.nods);
  result.edges.swap(out.edges);
  return 1;
}

}  // namespace

std::int32_t TraceNetwork(const CNetworkView& view, const NTraceQuery_stru& query, NTraceResult_stru& result,
                          NFinding_stru* pError, const NProgress_stru* pProgress) {
  try {
    return Trace(view, query, result, pError, pProgress);
  } catch (const std::bad_alloc&) {
    return RefuseNoMemory(pError, "out of memory tracing");
  }
}

namespace {
std::int32_t WriteMarks(CLocalNetwork& net, const CNetworkView& view, const NTraceResult_stru& result,
                        NFinding_stru* pError);
}  // namespace

std::int32_t WriteTraceMarks(CLocalNetwork& net, const CNetworkView& view, const NTraceResult_stru& result,
                             NFinding_stru* pError) {
  try {
    return WriteMarks(net, view, result, pError);
  } catch (const std::bad_alloc&) {
    return RefuseNoMemory(pError, "out of memory writing the trace marks");
  }
}

namespace {

std::int32_t WriteMarks(CLocalNetwork& net, const CNetworkView& view, const NTraceResult_stru& result,
                        NFinding_stru* pError) {
  if (CheckCurrent(view, pError) == 0) return 0;
  if (view.GetNetwork() != &net) {
    return Refuse(pError, MakeFinding(NFindingCode::NotCurrent, NElemKind::Network, 0, "the view was built from another network"));
  }
  for (std::int32_t n : result.nods) {
    if (n < 1 || n > net.m_lNodNum) {
      return Refuse(pError, MakeFinding(NFindingCode::OutOfRange, NElemKind::Node, n, Format("node %d of the result is not a node", n)));
    }
  }
  for (std::int32_t e : result.edges) {
    if (e < 1 || e > net.m_lEdgeNum) {
      return Refuse(pError, MakeFinding(NFindingCode::OutOfRange, NElemKind::Edge, e, Format("edge %d of the result is not an edge", e)));
    }
  }
  // StartTrace on an open trace sizes it anew to the present counts, so a
  // trace opened before the last flag mapping covers the result too.
  if (net.StartTrace() != 1) {
    return RefuseNoMemory(pError, "out of memory opening the trace");
  }
  for (std::int32_t n : result.nods) net.TraceNod(n);
  for (std::int32_t e : result.edges) net.TraceEdge(e);
  return 1;
}

}  // namespace

}  // namespace tools
}  // namespace kelvane
