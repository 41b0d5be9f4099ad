// Recorders.cpp - the one place where the demo differs by build: only the
// current build's network has recorders of the blocked elements its queries meet.
#include "Trace.h"

bool RestartRecorders(CLocalNetwork& net) {
#if !KELVANE_FIRST_GENERATION
  // Flag mapping added elements since the tables were made; size for them too.
  net.m_BlockedNod.m_lElemNum = net.m_lNodNum;
  net.m_BlockedEdge.m_lElemNum = net.m_lEdgeNum;
  return net.m_BlockedNod.StartTrace() == 1 && net.m_BlockedEdge.StartTrace() == 1;
#else
  (void)net;
  return true;
#endif
}

bool FetchRecorders(CLocalNetwork& net, CSmartArray<std::int32_t>& nods, CSmartArray<std::int32_t>& edges) {
#if !KELVANE_FIRST_GENERATION
  net.m_BlockedNod.FetchTraceResult(nods);
  net.m_BlockedEdge.FetchTraceResult(edges);
  return true;
#else
  (void)net;
  nods.RemoveAll();
  edges.RemoveAll();
  return false;
#endif
}
