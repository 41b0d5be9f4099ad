// Trace.cpp - the trace through the toolkit, and what it met on the way.
#include "Trace.h"

#include <cstdlib>

#include "NetBuild.h"
#include "kelvane/tools/TraceAnalysis.h"

using namespace kelvane::tools;

namespace {

// The demo writes every weight as a double.
double WeightValue(CLocalNetwork& net, std::int32_t lEdge, std::int32_t lFld) {
  NWeightVal_stru w;
  return net.GetEdgeWgtVal(lEdge, lFld, w) == 1 && w.cType == 4 ? w.dVal : 0.0;
}

// The closed nodes the trace stopped at, and the streets closed both ways at
// the nodes it passed: what it could not go on through. One-way streets are
// not barriers.
void Barriers(const CLocalNetwork& net, const CNetworkView& view, NTraceResult& result) {
  const unsigned char* closed = view.NodClosed();
  CSmartArray<std::int32_t> edges;
  for (std::int32_t i = 0; i < result.nods.GetSize(); ++i) {
    const std::int32_t n = result.nods.GetAt(i);
    if (closed[n] != 0) {
      result.blockedNods.Add(n);
      continue;
    }
    const NNodConn_stru& conn = net.m_pNodConn[n - 1];
    for (std::int16_t k = 0; k < conn.sConnNum; ++k) {
      const std::int32_t e = std::abs(conn.pConnEdge[k]);
      if (e >= 1 && e <= view.GetEdgeNum() && net.m_pUpEdgeState[e - 1] == 1 && net.m_pDownEdgeState[e - 1] == 1)
        edges.Add(e);
    }
  }
  result.lBarrierNods = result.blockedNods.GetSize();
  // Ascending, once each, through the trace marks' own ordering.
  std::vector<char> seen(static_cast<std::size_t>(view.GetEdgeNum()) + 1, 0);
  for (std::int32_t i = 0; i < edges.GetSize(); ++i) seen[static_cast<std::size_t>(edges.GetAt(i))] = 1;
  for (std::size_t e = 1; e < seen.size(); ++e)
    if (seen[e] != 0) result.blockedEdges.Add(static_cast<std::int32_t>(e));
}

NTraceKind Kind(NTraceDir eDir) {
  switch (eDir) {
    case NTraceDir::Connected:
      return NTraceKind::Connected;
    case NTraceDir::Upstream:
      return NTraceKind::Upstream;
    default:
      return NTraceKind::Downstream;
  }
}

}  // namespace

bool RunTrace(CLocalNetwork& net, const CNetworkView& view, const std::vector<std::int32_t>& starts, NTraceDir eDir,
              NTraceResult& result, std::string& strError) {
  result = NTraceResult();
  NTraceQuery_stru query;
  query.eKind = Kind(eDir);
  query.starts = starts;
  NTraceResult_stru reached;
  NFinding_stru err;
  if (TraceNetwork(view, query, reached, &err) != 1 || WriteTraceMarks(net, view, reached, &err) != 1) {
    strError = "trace: " + err.strText;
    return false;
  }
  net.FetchTraceResult(result.nods, result.edges);
  for (std::int32_t i = 0; i < result.edges.GetSize(); ++i) {
    const std::int32_t e = result.edges.GetAt(i);
    double d = 0.0;
    if (net.GetEdgeDmdVal(e, d) == 1) result.dDmd += d;
    result.dLength += WeightValue(net, e, kLengthFld);
  }
  Barriers(net, view, result);
  return true;
}
