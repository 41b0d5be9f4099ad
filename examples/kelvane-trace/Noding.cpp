// Noding.cpp - the demo's lines through the toolkit's noding and back into
// the demo's own records, which carry each edge's points with it for drawing
// and flag placement.
#include "Noding.h"

#include <cstddef>
#include <utility>

#include "kelvane/tools/LineNoding.h"

using namespace kelvane::tools;

bool NodeInputLines(const NInputNetwork& input, double dTolerance, NDemoNet& net, std::string* pError) {
  std::vector<NLinePoint_stru> pts;
  std::vector<std::int64_t> starts{0};
  starts.reserve(input.lines.size() + 1);
  for (const NInputLine& line : input.lines) {
    pts.insert(pts.end(), line.pts.begin(), line.pts.end());
    starts.push_back(static_cast<std::int64_t>(pts.size()));
  }
  NNodingOptions_stru opt;
  opt.dTolerance = dTolerance;
  opt.bLonLat = input.bLonLat;
  NNodedLines_stru noded;
  NFinding_stru err;
  net = NDemoNet();
  if (NodeLines(pts.data(), starts.data(), static_cast<std::int64_t>(input.lines.size()), opt, noded, &err) == 0) {
    if (pError != nullptr) *pError = "cannot node the lines: " + err.strText;
    return false;
  }
  pts = std::vector<NLinePoint_stru>();  // the input copy, before the edges take as much again

  // Drawing and flag placement measure in the frame the lines were noded in.
  net.proj = MakeProjection(input.bLonLat, noded.dRefLat);
  net.dRefLat = noded.dRefLat;
  net.llDropped = noded.llDropped;
  net.nods = std::move(noded.nods);
  net.edges.reserve(noded.edges.size());
  for (const NNodedEdge_stru& e : noded.edges) {
    NDemoEdge edge;
    edge.lLine = e.lLine;
    edge.lFromNod = e.lFromNod;
    edge.lToNod = e.lToNod;
    const NLinePoint_stru* first = noded.pts.data() + e.llFirstPt;
    edge.pts.assign(first, first + e.lPtNum);
    edge.dFrom = e.dFrom;
    edge.dTo = e.dTo;
    edge.dLength = e.dLength;
    net.edges.push_back(std::move(edge));
  }
  return true;
}
