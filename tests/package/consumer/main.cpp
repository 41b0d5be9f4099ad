// A tiny host: fills a two-edge network, asks for the edges at the middle
// node, and exits 0 only when the installed library answers as expected.
#include <kelvane/LocalNetwork.h>

#include <cstdio>

int main() {
  CLocalNetwork net;
  net.m_lNodNum = 3;
  net.m_lEdgeNum = 2;
  net.m_lNodWgtFld = -1;
  net.m_lEdgeWgtFld1 = 0;
  net.m_lEdgeWgtFld2 = -1;
  net.m_cDmdFld = -1;
  net.m_lTurnWgtFlag = 0;
  net.m_cEdgeDirectMode = 0;
  if (net.ReallocMemory() != 1) return 1;
  const std::int32_t ends[2][2] = {{1, 2}, {2, 3}};
  for (int e = 0; e < 2; ++e) {
    net.m_pEdgeNod[e].lFromNod = ends[e][0];
    net.m_pEdgeNod[e].lToNod = ends[e][1];
  }
  net.ReallocNodConnEdgeMemory(1, 1);
  net.m_pNodConn[0].pConnEdge[0] = -1;
  net.ReallocNodConnEdgeMemory(2, 2);
  net.m_pNodConn[1].pConnEdge[0] = 1;
  net.m_pNodConn[1].pConnEdge[1] = -2;
  net.ReallocNodConnEdgeMemory(3, 1);
  net.m_pNodConn[2].pConnEdge[0] = 2;
  CSmartArray<std::int32_t> edges;
  if (net.GetNodConnEdgeS(2, edges) != 1 || edges.GetSize() != 2) return 2;
  if (edges.GetAt(0) != 1 || edges.GetAt(1) != 2) return 3;
  std::printf("consumer: %d edges at node 2 (first generation %d)\n", edges.GetSize(), KELVANE_FIRST_GENERATION);
  return 0;
}
