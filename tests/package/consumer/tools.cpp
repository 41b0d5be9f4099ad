// A host that lets the installed toolkit fill its network, then checks it.
#include <kelvane/LocalNetwork.h>
#include <kelvane/tools/NetworkBuilder.h>
#include <kelvane/tools/NetworkCheck.h>

#include <cstdio>

int main() {
  CNetworkBuilder builder;
  builder.SetNodNum(3);
  builder.AddEdge(1, 2);
  builder.AddEdge(2, 3);
  CLocalNetwork net;
  if (builder.Build(net) != 1) return 1;
  CSmartArray<std::int32_t> edges;
  if (net.GetNodConnEdgeS(2, edges) != 1 || edges.GetSize() != 2) return 2;
  if (!CheckNetwork(net).empty()) return 3;
  std::printf("consumer_tools: built and checked %d edges\n", net.m_lEdgeNum);
  return 0;
}
