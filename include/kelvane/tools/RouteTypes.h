// RouteTypes.h - what a least-cost search is asked (NRouteOptions_stru) and
// the path it answers with (NPath_stru). Every search header and the engine
// behind them read these, so they sit below the calls of ShortestPath.h.
#ifndef KELVANE_TOOLS_ROUTETYPES_H
#define KELVANE_TOOLS_ROUTETYPES_H

#include <cstdint>
#include <vector>

#include "kelvane/tools/AnalysisInput.h"
#include "kelvane/tools/ToolsConfig.h"

namespace kelvane {
namespace tools {
class CLandmarks;
class CSearchWorkspace;

struct NRouteOptions_stru {
  // true: only the steps one may leave a node by, at the cost of their
  // direction. false: every edge not blocked both ways, either way, at the
  // lower of its two costs that is a way (a direction of no way is not taken).
  bool bDirected = true;
  // Add the view's turn weights at every node passed (a negative one forbids
  // the turn); ignored when the view has none. Undirected, a turn at a node
  // is the matrix entry of the two edges, whichever way each is travelled:
  // the matrix names edges, not directions, so it reads the same for an
  // edge taken along or against.
  bool bTurns = true;
  NElemSet_stru barriers;  // never entered
  // Working memory kept between calls (SearchWorkspace.h), one call at a time;
  // null: the call makes and frees its own.
  CSearchWorkspace* pWork = nullptr;
  // Threads a cost matrix or a service area of many starts spreads over, each
  // with its own part of pWork; 1: the calling thread alone. The host owns
  // its threads, so more is only ever asked for. Only the calling thread
  // polls the host's progress callback. Results are those of one thread,
  // but for an area's reachedBy on ties (ServiceArea.h).
  std::int32_t lThreads = 1;
  // Landmarks built from this view (Landmarks.h): a directed route without
  // turn costs then searches toward its end, settling far fewer nodes, at
  // the same cost. Ignored where they do not apply; null: the plain search.
  const CLandmarks* pLandmarks = nullptr;
};

// One edge of a path, in travel order.
struct NPathStep_stru {
  std::int32_t lEdge;  // positive edge number
  std::int32_t lNod;   // the node this edge leads to
  bool bAlong;         // travelled from its from node to its to node
  double dCost;        // cost from the start up to lNod, turns included
};

struct NPath_stru {
  std::int32_t lFrom = 0;
  std::int32_t lTo = 0;
  bool bFound = false;                 // false: lTo cannot be reached; steps empty, cost +infinity
  double dCost = 0.0;                  // total; +infinity when not found
  std::vector<NPathStep_stru> steps;   // empty for lFrom == lTo
};

}  // namespace tools
}  // namespace kelvane

#endif  // KELVANE_TOOLS_ROUTETYPES_H
