// ServiceArea.h - everything within a cost of the starts: the nodes with
// their costs, and the edges with how far along them the limit falls.
#ifndef KELVANE_TOOLS_SERVICEAREA_H
#define KELVANE_TOOLS_SERVICEAREA_H

#include <cstdint>
#include <vector>

#include "kelvane/tools/AnalysisInput.h"
#include "kelvane/tools/Finding.h"
#include "kelvane/tools/NetworkView.h"
#include "kelvane/tools/ShortestPath.h"
#include "kelvane/tools/SplitIndex.h"
#include "kelvane/tools/ToolsConfig.h"

namespace kelvane {
namespace tools {

// An edge of the area: the share of it reached from its from node (going
// along it) and from its to node (going against it), each 0 to 1. An edge
// reached whole has dFromFrac + dToFrac of 1 or more, or one of them 1.
struct NAreaEdge_stru {
  std::int32_t lEdge;
  double dFromFrac;
  double dToFrac;
};

struct NServiceArea_stru {
  std::vector<std::int32_t> nods;    // cost at most the limit, ascending
  std::vector<double> costs;         // each node's least cost from the starts
  std::vector<NAreaEdge_stru> edges; // ascending; every edge with a share above 0, or of cost 0 at a node of the area
  // Per node of nods: the edge it is reached by from the nearest start (for
  // an area to the starts, the first edge of its way to them); 0 for a start.
  std::vector<std::int32_t> reachedBy;
};

// The area within dLimit of the nearest start, by the routing rules of opt
// (turn costs are not applied here). Returns 1; 0 with the area untouched for
// a limit that is negative or not a number, as FindShortestPath refuses, or
// for a stop (polled every few thousand nodes settled).
//
// With opt.lThreads above 1 and more than one start, the starts are cut into
// that many runs of the list as given (at most one per start), each searched
// on a thread of its own, and each node takes the cheapest of the runs:
// nods, costs and edges are those of one thread. reachedBy may name another
// way of the same cost where two runs tie, still one of a least-cost tree.
// A run whose thread cannot start is searched by the calling thread.
// FindSidedServiceArea (DrivingSide.h) searches on the calling thread alone.
KELVANE_TOOLS_API std::int32_t FindServiceArea(const CNetworkView& view, const std::vector<std::int32_t>& starts,
                                               double dLimit, const NRouteOptions_stru& opt, NServiceArea_stru& area,
                                               NFinding_stru* pError = nullptr, const NProgress_stru* pProgress = nullptr);

// The area from which the nearest start is reached within dLimit: the
// search of FindServiceArea run backward, over the ways one arrives by
// (everyone who can get to a hospital within ten minutes). costs are each
// node's least cost to the starts. An edge's dFromFrac is the share next to
// its from node from which a traveller reaches the starts within the limit
// leaving the edge by its from node (going against it), dToFrac the same by
// its to node (going along it); a closed node is left by no edge. Returns
// as FindServiceArea, and 0 with the area untouched when the host stops it.
KELVANE_TOOLS_API std::int32_t FindServiceAreaTo(const CNetworkView& view, const std::vector<std::int32_t>& starts,
                                                 double dLimit, const NRouteOptions_stru& opt,
                                                 NServiceArea_stru& area, NFinding_stru* pError = nullptr,
                                                 const NProgress_stru* pProgress = nullptr);

// One stretch of an edge that an area reached: dFrom to dTo along it, as
// fractions from its from node (0 <= dFrom < dTo <= 1).
struct NAreaStretch_stru {
  std::int32_t lEdge;  // after a fold, the edge from before flag mapping
  double dFrom;        // where the stretch starts
  double dTo;          // where it ends
};

// The area's edges on the edges as they were before flag mapping: for each
// original edge the share reached from each of its ends, pieces joined end to
// end (a gap of pieces not reached ends a stretch). Ascending. With
// pStretches, also every stretch reached, by edge and then along it, touching
// pieces joined: the only record of a stretch that touches neither end (a flag
// mid-edge whose limit reaches neither end gives shares 0 and 0). Returns 1; 0
// with the outputs untouched when an edge of the area is not an edge of the
// indexed network (OutOfRange, the edge named) or memory runs out.
KELVANE_TOOLS_API std::int32_t FoldServiceArea(const CSplitIndex& split, const NServiceArea_stru& area,
                                               std::vector<NAreaEdge_stru>& edges,
                                               std::vector<NAreaStretch_stru>* pStretches = nullptr,
                                               NFinding_stru* pError = nullptr);

}  // namespace tools
}  // namespace kelvane

// The names of the 1.x toolkit at global scope, deprecated.
#define KELVANE_TOOLS_SERVICEAREA_DECLARED
#if !defined(KELVANE_TOOLS_NO_GLOBAL_NAMES)
#include "kelvane/tools/GlobalNames.h"
#endif

#endif  // KELVANE_TOOLS_SERVICEAREA_H
