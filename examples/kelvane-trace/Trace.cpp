// Trace.cpp - the breadth-first walk.
#include "Trace.h"

#include <cstdlib>
#include <cstring>

#include "NetBuild.h"

namespace {

double WeightValue(const NWeightVal_stru& w) {
  switch (w.cType) {
    case 3: {
      float f = 0.0F;
      std::memcpy(&f, reinterpret_cast<const char*>(&w) + 1, sizeof f);  // value bytes follow the type byte
      return f;
    }
    case 4:
      return w.dVal;
    default:
      return 0.0;  // the demo writes only doubles
  }
}

}  // namespace

bool RunTrace(CLocalNetwork& net, const std::vector<std::int32_t>& starts, NTraceDir eDir, NTraceResult& result,
              std::string& strError) {
  result = NTraceResult();
  if (!RestartRecorders(net) || net.StartTrace() != 1) {
    strError = "out of memory starting the trace";
    return false;
  }
  std::vector<std::int32_t> queue;
  for (std::int32_t n : starts) {
    if (n < 1 || n > net.m_lNodNum || net.AskNodHasTrace(n) == 1) continue;
    net.TraceNod(n);
    queue.push_back(n);
  }
  CSmartArray<std::int32_t> list;
  CSmartArray<std::int32_t> more;
  for (std::size_t head = 0; head < queue.size(); ++head) {
    const std::int32_t n = queue[head];
    char cState = 0;
    if (net.GetNodState(n, cState) == 1 && cState == 1) ++result.lBarrierNods;
    // A closed node gives empty lists (and, in the current build, is recorded).
    if (eDir == NTraceDir::Connected) {
      net.GetNodConnEdgeS(n, list);
    } else {
      net.GetNodConnDownEdgeS(n, list);
      net.GetNodConnUpEdgeS(n, more);
      for (std::int32_t i = 0; i < more.GetSize(); ++i) list.Add(more.GetAt(i));
    }
    for (std::int32_t i = 0; i < list.GetSize(); ++i) {
      const std::int32_t e = std::abs(list.GetAt(i));
      std::int32_t lFrom = 0, lTo = 0;
      if (net.GetEdgeFromToNod(e, lFrom, lTo) != 1) continue;
      if (net.AskEdgeHasTrace(e) != 1) net.TraceEdge(e);
      const std::int32_t other = lFrom == n ? lTo : lFrom;
      if (net.AskNodHasTrace(other) != 1) {
        net.TraceNod(other);
        queue.push_back(other);
      }
    }
  }
  net.FetchTraceResult(result.nods, result.edges);
  for (std::int32_t i = 0; i < result.edges.GetSize(); ++i) {
    const std::int32_t e = result.edges.GetAt(i);
    double d = 0.0;
    if (net.GetEdgeDmdVal(e, d) == 1) result.dDmd += d;
    NWeightVal_stru w;
    if (net.GetEdgeWgtVal(e, kLengthFld, w) == 1) result.dLength += WeightValue(w);
    if (net.GetEdgeWgtVal(e, kCostFld, w) == 1) result.dCost += WeightValue(w);
  }
  result.bRecorded = FetchRecorders(net, result.blockedNods, result.blockedEdges);
  return true;
}
