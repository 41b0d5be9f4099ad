// Isolation.cpp - the isolation trace as four connected traces: the start's
// part of the network up to the devices around it; which of those devices a
// source reaches from outside that part (the ones to close); and the elements
// the sources reach before and after closing them.
#include "kelvane/tools/Isolation.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <new>
#include <utility>
#include <vector>

#include "kelvane/tools/TraceAnalysis.h"
#include "tools/AnalysisInt.h"
#include "tools/ToolsInt.h"

namespace kelvane {
namespace tools {

namespace {

// The nodes that list a step over lEdge: its usable ends.
std::vector<std::int32_t> EdgeEnds(const CNetworkView& view, std::int32_t lEdge) {
  std::vector<std::int32_t> ends;
  const std::int32_t* edge = view.StepEdge();
  const std::int32_t* far = view.StepFar();
  for (const std::int32_t n : OneTo(view.GetNodNum())) {
    for (std::int64_t j = view.StepBegin(n); j < view.StepEnd(n); ++j) {
      if (edge[j] != lEdge) continue;
      ends.push_back(n);
      ends.push_back(far[j]);
    }
  }
  std::sort(ends.begin(), ends.end());
  ends.erase(std::unique(ends.begin(), ends.end()), ends.end());
  return ends;
}

// The nodes that list a step into lNod over an edge that is not a barrier.
std::vector<std::int32_t> Feeders(const CNetworkView& view, std::int32_t lNod, const std::vector<std::int32_t>& barEdges) {
  std::vector<std::int32_t> out;
  const std::int32_t* far = view.StepFar();
  const std::int32_t* edge = view.StepEdge();
  auto barrier = [&](std::int32_t e) {
    return std::any_of(barEdges.begin(), barEdges.end(), [e](std::int32_t b) { return b == e || b == -e; });
  };
  for (const std::int32_t n : OneTo(view.GetNodNum())) {
    for (std::int64_t j = view.StepBegin(n); j < view.StepEnd(n); ++j) {
      if (far[j] == lNod && n != lNod && !barrier(edge[j])) {
        out.push_back(n);
        break;
      }
    }
  }
  return out;
}

// Where the start's part is traced from: the start node, or the ends of the
// start edge. A closed start has no steps of its own but is fed over its
// neighbours' steps into it: its part goes on from them.
std::vector<std::int32_t> PartStarts(const CNetworkView& view, const NIsolationQuery_stru& q) {
  if (q.eStartKind != NElemKind::Node) return EdgeEnds(view, q.lStart);
  std::vector<std::int32_t> starts{q.lStart};
  if (view.NodClosed()[q.lStart] != 0) {
    const std::vector<std::int32_t> next = Feeders(view, q.lStart, q.barriers.edges);
    starts.insert(starts.end(), next.begin(), next.end());
  }
  return starts;
}

// The devices of `bounds` that are open: a closed node is never passed, so
// closing it changes nothing.
std::vector<std::int32_t> OpenOnes(const CNetworkView& view, const std::vector<std::int32_t>& bounds) {
  std::vector<std::int32_t> open;
  for (std::int32_t d : bounds) {
    if (view.NodClosed()[d] == 0) open.push_back(d);
  }
  return open;
}

std::vector<std::int32_t> Minus(const std::vector<std::int32_t>& a, const std::vector<std::int32_t>& b) {
  std::vector<std::int32_t> out;
  std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
  return out;
}

// The four traces of an isolation report to the host as quarters of one
// piece of work.
struct NStage {
  const NProgress_stru* pHost;
  double dBefore;  // the share done before this trace
};

bool PollStage(void* pUser, double dDone) {
  const NStage* st = static_cast<const NStage*>(pUser);
  return st->pHost->pfnPoll(st->pHost->pUser, st->dBefore + dDone / 4.0);
}

class CStages {
 public:
  explicit CStages(const NProgress_stru* pHost) : m_bOn(pHost != nullptr && pHost->pfnPoll != nullptr) {
    for (std::size_t i = 0; i < 4; ++i) {
      m_stage[i] = NStage{pHost, static_cast<double>(i) / 4.0};
      m_progress[i].pfnPoll = PollStage;
      m_progress[i].pUser = &m_stage[i];
    }
  }
  CStages(const CStages&) = delete;  // the callbacks point into it
  CStages& operator=(const CStages&) = delete;
  const NProgress_stru* Get(std::size_t i) const { return m_bOn ? &m_progress[i] : nullptr; }

 private:
  bool m_bOn;
  NStage m_stage[4];
  NProgress_stru m_progress[4];
};

std::int32_t Isolate(const CNetworkView& view, const NIsolationQuery_stru& q, NIsolationResult_stru& result,
                     NFinding_stru* pError, const NProgress_stru* pProgress) {
  if (CheckCurrent(view, pError) == 0) return 0;
  const CStages stages(pProgress);
  if (q.eStartKind == NElemKind::Node) {
    if (CheckNod(view, q.lStart, "start node", pError) == 0) return 0;
  } else if (q.eStartKind == NElemKind::Edge) {
    if (q.lStart < 1 || q.lStart > view.GetEdgeNum()) {
      return Refuse(pError, MakeFinding(NFindingCode::OutOfRange, NElemKind::Edge, q.lStart,
                                        Format("start edge %d is not an edge (1 to %d)", q.lStart,
                                               view.GetEdgeNum())));
    }
  } else {
    return Refuse(pError, MakeFinding(NFindingCode::BadArgument, NElemKind::Network, 0, "the start of an isolation is a node or an edge"));
  }
  CElemBits devices(view.GetNodNum());
  CElemBits sources(view.GetNodNum());
  if (MarkNods(view, q.devices, "device node", devices, pError) == 0) return 0;
  if (MarkNods(view, q.sources, "source node", sources, pError) == 0) return 0;

  // 1. The start's part: everything reached from it without passing a
  // device. The start itself is passed even when it is one.
  NTraceQuery_stru part;
  part.barriers = q.barriers;
  part.starts = PartStarts(view, q);
  for (std::int32_t d : q.devices) {
    if (!(q.eStartKind == NElemKind::Node && d == q.lStart)) part.stops.nods.push_back(d);
  }
  NTraceResult_stru inPart;
  if (TraceNetwork(view, part, inPart, pError, stages.Get(0)) == 0) return 0;
  if (q.eStartKind == NElemKind::Edge && !part.starts.empty()) {
    const auto at = std::lower_bound(inPart.edges.begin(), inPart.edges.end(), q.lStart);
    if (at == inPart.edges.end() || *at != q.lStart) inPart.edges.insert(at, q.lStart);
  }
  std::vector<std::int32_t> bounds;  // devices around the part
  std::vector<std::int32_t> inner;   // the part's other nodes
  for (std::int32_t n : inPart.nods) {
    const bool bStartDevice = q.eStartKind == NElemKind::Node && n == q.lStart;
    (devices.Test(n) && !bStartDevice ? bounds : inner).push_back(n);
  }
  // What the sources reach as things are. A start they do not reach needs
  // nothing closed and loses nothing.
  NTraceQuery_stru before;
  before.starts = q.sources;
  before.barriers = q.barriers;
  NTraceResult_stru had;
  if (TraceNetwork(view, before, had, pError, stages.Get(1)) == 0) return 0;
  const std::vector<std::int32_t>& hadStart = q.eStartKind == NElemKind::Node ? had.nods : had.edges;
  if (!std::binary_search(hadStart.begin(), hadStart.end(), q.lStart)) {
    result = NIsolationResult_stru();
    return 1;
  }
  NIsolationResult_stru out;
  for (std::int32_t n : inner) {
    if (sources.Test(n)) {
      out.bSourceInside = true;  // nothing to close can cut the start off
      result = std::move(out);
      return 1;
    }
  }

  // 2. The devices a source reaches without running through the part. The
  // devices around the part are closed for it: one fed only through another
  // of them needs no closing once that one is closed.
  NTraceQuery_stru outside;
  outside.starts = q.sources;
  outside.barriers = q.barriers;
  outside.stops.nods = bounds;
  outside.barriers.nods.insert(outside.barriers.nods.end(), inner.begin(), inner.end());
  outside.barriers.edges.insert(outside.barriers.edges.end(), inPart.edges.begin(), inPart.edges.end());
  NTraceResult_stru fed;
  if (TraceNetwork(view, outside, fed, pError, stages.Get(2)) == 0) return 0;
  const std::vector<std::int32_t> open = OpenOnes(view, bounds);
  std::set_intersection(open.begin(), open.end(), fed.nods.begin(), fed.nods.end(), std::back_inserter(out.devices));

  // 3. What the sources lose once those devices are closed; a closed device
  // stays reached from its source side.
  NTraceQuery_stru after = before;
  after.stops.nods = out.devices;
  NTraceResult_stru kept;
  if (TraceNetwork(view, after, kept, pError, stages.Get(3)) == 0) return 0;
  out.isolated.nods = Minus(had.nods, kept.nods);
  out.isolated.edges = Minus(had.edges, kept.edges);
  result = std::move(out);
  return 1;
}

}  // namespace

std::int32_t IsolateElement(const CNetworkView& view, const NIsolationQuery_stru& query, NIsolationResult_stru& result,
                            NFinding_stru* pError, const NProgress_stru* pProgress) {
  try {
    return Isolate(view, query, result, pError, pProgress);
  } catch (const std::bad_alloc&) {
    return RefuseNoMemory(pError, "out of memory isolating");
  }
}

}  // namespace tools
}  // namespace kelvane
