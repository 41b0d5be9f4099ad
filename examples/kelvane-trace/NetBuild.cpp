// NetBuild.cpp - the network handed to the library, built with the toolkit.
#include "NetBuild.h"

#include <cmath>

#include "kelvane/tools/NetworkBuilder.h"

using namespace kelvane::tools;

namespace {

// The states of a street: the down state closes travel along the geometry
// (from node to to node), the up state travel back.
void StreetStates(const NInputLine& line, char& cUp, char& cDown) {
  cUp = line.bBlocked || line.cOneWay > 0 ? 1 : 0;
  cDown = line.bBlocked || line.cOneWay < 0 ? 1 : 0;
}

}  // namespace

bool BuildNetwork(const NInputNetwork& input, const NDemoNet& demo, CLocalNetwork& net, std::string& strError) {
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
    char cUp = 0, cDown = 0;
    StreetStates(line, cUp, cDown);
    if (cUp != 0 || cDown != 0) b.SetEdgeState(lEdge, cUp, cDown);
  }
  NFinding_stru err;
  if (b.Build(net, &err) != 1) {
    strError = err.strText.empty() ? std::string("out of memory while building the network") : err.strText;
    return false;
  }
  return true;
}
