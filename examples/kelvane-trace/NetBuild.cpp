// NetBuild.cpp - the network handed to the library, built with the toolkit.
#include "NetBuild.h"

#include <cmath>

#include "kelvane/tools/NetworkBuilder.h"

using namespace kelvane::tools;

bool BuildNetwork(const NInputNetwork& input, const NDemoNet& demo, bool bTranspose, CLocalNetwork& net,
                  std::string& strError) {
  // Ground length of each line, to share its cost and demand among its edges.
  std::vector<double> lineLen(input.lines.size(), 0.0);
  for (const NDemoEdge& e : demo.edges) lineLen[static_cast<std::size_t>(e.lLine)] += e.dLength;

  CNetworkBuilder b;
  b.SetEdgeWgtFld1(kCostFld);
  b.SetEdgeWgtFld2(kLengthFld);
  b.SetDmdFld(0);
  b.Reserve(static_cast<std::int32_t>(demo.edges.size()));
  b.SetNodNum(static_cast<std::int32_t>(demo.nods.size()));
  for (const NDemoEdge& e : demo.edges) {
    const NInputLine& line = input.lines[static_cast<std::size_t>(e.lLine)];
    const double total = lineLen[static_cast<std::size_t>(e.lLine)];
    const double share = total > 0.0 ? e.dLength / total : 0.0;
    const std::int32_t lEdge = b.AddEdge(e.lFromNod, e.lToNod);
    b.SetEdgeWgt1(lEdge, DoubleWgt(std::isnan(line.dCost) ? e.dLength : line.dCost * share));
    b.SetEdgeWgt2(lEdge, DoubleWgt(e.dLength));
    b.SetEdgeDmd(lEdge, line.dDmd * share);
    // Along the geometry is "down", from the from node to the to node.
    char cAlong = 0, cBack = 0;
    if (line.bBlocked) {
      cAlong = cBack = 1;
    } else if (line.cOneWay > 0) {
      cBack = 1;
    } else if (line.cOneWay < 0) {
      cAlong = 1;
    }
    if (cAlong != 0 || cBack != 0) {
      const char cDown = bTranspose ? cBack : cAlong;
      const char cUp = bTranspose ? cAlong : cBack;
      b.SetEdgeState(lEdge, cUp, cDown);
    }
  }
  NFinding_stru err;
  if (b.Build(net, &err) != 1) {
    strError = err.strText.empty() ? std::string("out of memory while building the network") : err.strText;
    return false;
  }
  return true;
}
