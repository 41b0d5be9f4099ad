// ShortestPath.h - least-cost routes on a view: one to one as a path, one to
// many and many to many as costs, with one-way streets and turn costs.
#ifndef KELVANE_TOOLS_SHORTESTPATH_H
#define KELVANE_TOOLS_SHORTESTPATH_H

#include <cstdint>
#include <vector>

#include "kelvane/tools/AnalysisInput.h"
#include "kelvane/tools/Finding.h"
#include "kelvane/tools/NetworkView.h"
#include "kelvane/tools/SplitIndex.h"
#include "kelvane/tools/ToolsConfig.h"

namespace kelvane {
namespace tools {

struct NRouteOptions_stru {
  // true: only the steps one may leave a node by, at the cost of their
  // direction. false: every edge not blocked both ways, either way, at the
  // lower of its two costs that is a way (a direction of no way is not taken).
  bool bDirected = true;
  // Add the view's turn weights at every node passed (a negative one forbids
  // the turn); ignored when the view has none. Not with bDirected false.
  bool bTurns = true;
  NElemSet_stru barriers;  // never entered
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

// The least-cost path from lFrom to lTo. Closed nodes and barriers are not
// passed; a closed node can still be the end of a path. Returns 1 (also when
// no path exists: bFound false); 0 with path untouched for a view that is not
// current, a node out of range, bTurns with bDirected false on a view with
// turns, a barrier out of range, or memory running out. Ties go to the path found first, so a
// repeated call gives the same path.
KELVANE_TOOLS_API std::int32_t FindShortestPath(const CNetworkView& view, std::int32_t lFrom, std::int32_t lTo,
                                                const NRouteOptions_stru& opt, NPath_stru& path,
                                                NFinding_stru* pError = nullptr);

// The least cost from lFrom to every node, entry n - 1 for node n (+infinity
// where none is reached). With turns, the cost of arriving at a node by its
// best last edge. Returns 1; 0 untouched as above, or for memory running out
// or a stop (polled every few thousand nodes settled).
KELVANE_TOOLS_API std::int32_t FindCostsFrom(const CNetworkView& view, std::int32_t lFrom,
                                             const NRouteOptions_stru& opt, std::vector<double>& costs,
                                             NFinding_stru* pError = nullptr, const NProgress_stru* pProgress = nullptr);

// Costs from every source to every target, row by row: entry s * T + t for
// source s and target t (+infinity where none). One search per source.
// Returns 1; 0 untouched as above, or for memory running out or a stop.
KELVANE_TOOLS_API std::int32_t FindCostMatrix(const CNetworkView& view, const std::vector<std::int32_t>& sources,
                                              const std::vector<std::int32_t>& targets,
                                              const NRouteOptions_stru& opt, std::vector<double>& costs,
                                              NFinding_stru* pError = nullptr, const NProgress_stru* pProgress = nullptr);

// One stretch of a path on the edges as they were before flag mapping: the
// part of lEdge from fraction dFrom to dTo (from its from node; dFrom > dTo
// when travelled against it), and the cost from the start to its end.
struct NFoldedStep_stru {
  std::int32_t lEdge;
  double dFrom;
  double dTo;
  double dCost;
};

// path on the original edges: consecutive pieces of one original edge in one
// direction become one stretch. Returns 1; 0 with steps untouched when an
// edge of the path is not an edge of the indexed network (OutOfRange, the
// edge named) or memory runs out.
KELVANE_TOOLS_API std::int32_t FoldPath(const CSplitIndex& split, const NPath_stru& path,
                                        std::vector<NFoldedStep_stru>& steps, NFinding_stru* pError = nullptr);

}  // namespace tools
}  // namespace kelvane

// The names of the 1.x toolkit at global scope, deprecated.
#define KELVANE_TOOLS_SHORTESTPATH_DECLARED
#if !defined(KELVANE_TOOLS_NO_GLOBAL_NAMES)
#include "kelvane/tools/GlobalNames.h"
#endif

#endif  // KELVANE_TOOLS_SHORTESTPATH_H
