// A 1.x host of the installed toolkit, written against the global names it
// had then: it fills its network, checks it, builds a view, traces, routes
// and finds components. These names are deprecated aliases now (the warnings
// are expected here) and must still compile and answer the same; a host on
// the way to kelvane::tools may mix the two, as Moved() does.
#include <kelvane/LocalNetwork.h>
#include <kelvane/tools/Components.h>
#include <kelvane/tools/NetworkBuilder.h>
#include <kelvane/tools/NetworkCheck.h>
#include <kelvane/tools/NetworkView.h>
#include <kelvane/tools/ShortestPath.h>
#include <kelvane/tools/TraceAnalysis.h>

#include <cstdio>
#include <vector>

namespace {

int OldNames(CLocalNetwork& net) {
  CNetworkBuilder builder;
  builder.SetNodNum(3);
  builder.SetEdgeWgtFld1(0);
  builder.SetEdgeWgt1(builder.AddEdge(1, 2), DoubleWgt(2.0));
  builder.SetEdgeWgt1(builder.AddEdge(2, 3), DoubleWgt(3.0));
  NFinding_stru err;
  if (builder.Build(net, &err) != 1) return 1;
  CSmartArray<std::int32_t> edges;
  if (net.GetNodConnEdgeS(2, edges) != 1 || edges.GetSize() != 2) return 2;
  if (!CheckNetwork(net).empty()) return 3;

  CNetworkView view;
  NViewOptions_stru opt;
  opt.lAlongFld = 0;
  if (view.Build(net, opt) != 1) return 4;
  NTraceQuery_stru query;
  query.eKind = NTraceKind::Connected;
  query.starts.push_back(1);
  NTraceResult_stru traced;
  if (TraceNetwork(view, query, traced) != 1 || traced.nods.size() != 3) return 5;
  NRouteOptions_stru route;
  NPath_stru path;
  if (FindShortestPath(view, 1, 3, route, path, &err) != 1 || path.dCost != 5.0) return 6;
  NComponents_stru comps;
  if (FindComponents(view, NComponentKind::Weak, NElemSet_stru(), comps) != 1 || comps.lCount != 1) return 7;
  // A refusal still names its element through the old record.
  if (FindShortestPath(view, 1, 9, route, path, &err) != 0 || err.eKind != NElemKind::Node) return 8;
  return 0;
}

int Moved(const CLocalNetwork& net) {
  using namespace kelvane::tools;
  CNetworkView view;  // the global alias and the namespace's class are one type
  kelvane::tools::CNetworkView& same = view;
  if (same.Build(net) != 1) return 9;
  std::vector<double> costs;
  if (FindCostsFrom(view, 1, NRouteOptions_stru(), costs) != 1 || costs.size() != 3 || costs[2] != 2.0) return 10;
  return 0;
}

}  // namespace

int main() {
  CLocalNetwork net;
  const int rc = OldNames(net);
  if (rc != 0) return rc;
  const int rcMoved = Moved(net);
  if (rcMoved != 0) return rcMoved;
  std::printf("consumer_tools: a 1.x host built, checked, traced and routed %d edges\n", net.m_lEdgeNum);
  return 0;
}
