// LineNoding.h - turns lines (streets, pipes, cables) into the nodes and edges
// of a network. Nodes stand at line ends and at every vertex that two lines
// (or one line twice) share, after snapping vertices to a tolerance; each line
// is cut into edges there. Lines that cross without a shared vertex (a bridge)
// stay apart. A host fills the network's tables from the result.
#ifndef KELVANE_TOOLS_LINENODING_H
#define KELVANE_TOOLS_LINENODING_H

#include <cstdint>
#include <vector>

#include "kelvane/tools/Finding.h"
#include "kelvane/tools/ToolsConfig.h"

namespace kelvane {
namespace tools {

struct NLinePoint_stru {
  double dX = 0.0;  // easting, or longitude in degrees
  double dY = 0.0;  // northing, or latitude in degrees
};

struct NNodingOptions_stru {
  double dTolerance = 0.0;  // vertices closer than this (planar units; metres for lon/lat) become one
  bool bLonLat = false;     // coordinates are degrees: snap in a local planar frame in metres, ground lengths by great circle
};

// One piece of an input line between two nodes.
struct NNodedEdge_stru {
  std::int32_t lLine;     // 0-based index of the input line
  std::int32_t lFromNod;  // 1-based node where the edge's geometry starts
  std::int32_t lToNod;    // where it ends; never lFromNod (a closed ring is cut at its middle vertex)
  std::int64_t llFirstPt; // its points are pts[llFirstPt] .. pts[llFirstPt + lPtNum - 1], input coordinates, ends on the nodes
  std::int32_t lPtNum;    // at least 2
  double dFrom;           // stretch of its line covered, as fractions of the line's planar length
  double dTo;
  double dLength;         // ground length (metres for lon/lat); infinite for one longer than a double holds
};

struct NNodedLines_stru {
  std::vector<NLinePoint_stru> nods;   // node n at entry n - 1, input coordinates, numbered as first met along the lines
  std::vector<NNodedEdge_stru> edges;  // edge e at entry e - 1, lines in input order, each line's from its start
  std::vector<NLinePoint_stru> pts;    // every edge's points, edge after edge
  std::int64_t llDropped = 0;          // lines shorter than the tolerance (or with < 2 points), left out
  double dRefLat = 0.0;                // lon/lat: the latitude the planar frame is centred on (middle of the
                                       // data's range), for hosts measuring in the same frame; else 0
};

// Lines: line l has points pPts[pLineStart[l]] .. pPts[pLineStart[l + 1] - 1]
// (pLineStart has llLineNum + 1 entries). A vertex takes the place of the
// first vertex met within the tolerance of it, so every point given out is
// one of the input's. Returns 1 with out filled; 0 with out untouched and,
// when pError is given, a sentence naming what is wrong: a tolerance that is
// negative or not a number, a negative line count, line starts that decrease
// or a negative start, a coordinate that is not a finite number ("line 3,
// point 2: ...", both 0-based), lon/lat out of range for bLonLat, more lines,
// distinct vertices, nodes or edges than 32-bit numbers hold; or memory
// running out (NoMemory).
KELVANE_TOOLS_API std::int32_t NodeLines(const NLinePoint_stru* pPts, const std::int64_t* pLineStart,
                                         std::int64_t llLineNum, const NNodingOptions_stru& opt,
                                         NNodedLines_stru& out, NFinding_stru* pError = nullptr);

}  // namespace tools
}  // namespace kelvane

// The names of the 1.x toolkit at global scope, deprecated.
#define KELVANE_TOOLS_LINENODING_DECLARED
#if !defined(KELVANE_TOOLS_NO_GLOBAL_NAMES)
#include "kelvane/tools/GlobalNames.h"
#endif

#endif  // KELVANE_TOOLS_LINENODING_H
