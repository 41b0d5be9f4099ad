// Noding.h - turns street lines into a node-edge network through the
// toolkit's line noding (kelvane/tools/LineNoding.h). Nodes stand at line
// ends and at every vertex that two lines (or one line twice) share, after
// snapping coordinates to a tolerance; each line is cut into edges there.
// Lines that cross without a shared vertex (a bridge) stay apart.
#ifndef KELVANE_TRACE_NODING_H
#define KELVANE_TRACE_NODING_H

#include <cstdint>
#include <string>
#include <vector>

#include "Geometry.h"
#include "Input.h"

struct NDemoEdge {
  std::int32_t lLine = 0;            // index into NInputNetwork::lines
  std::int32_t lFromNod = 0;         // 1-based, where the geometry starts
  std::int32_t lToNod = 0;           // where it ends
  std::vector<NLinePoint_stru> pts;  // input coordinates, end points snapped onto the nodes
  double dFrom = 0.0;                // stretch of its line covered, as fractions of the line's planar length
  double dTo = 1.0;
  double dLength = 0.0;  // ground length: metres for lon/lat input
};

struct NDemoNet {
  NProjection proj;                   // input coordinates to the planar frame
  double dRefLat = 0.0;               // lon/lat: the latitude the frame is centred on
  std::vector<NLinePoint_stru> nods;  // node n at entry n - 1, input coordinates
  std::vector<NDemoEdge> edges;       // edge e at entry e - 1
  std::int64_t llDropped = 0;         // lines shorter than the tolerance, left out
};

// Nodes the lines of input. dTolerance is in planar units (metres for lon/lat
// input): vertices closer than it become one. Returns true; false with net
// empty and, when pError is given, why: input the screening let through that
// the noding refuses, or more nodes or edges than 32-bit numbers hold.
bool NodeInputLines(const NInputNetwork& input, double dTolerance, NDemoNet& net, std::string* pError = nullptr);

#endif  // KELVANE_TRACE_NODING_H
