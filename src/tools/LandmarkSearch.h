// LandmarkSearch.h - the goal-directed one-to-one search over landmark
// bounds (never installed).
#ifndef KELVANE_SRC_TOOLS_LANDMARKSEARCH_H
#define KELVANE_SRC_TOOLS_LANDMARKSEARCH_H

#include <cstdint>

#include "kelvane/tools/Landmarks.h"
#include "kelvane/tools/RouteTypes.h"
#include "tools/RouteSearch.h"

namespace kelvane {
namespace tools {

// Whether opt's landmarks can guide a route on view: built from it, for
// directed costs, and no turn costs to add (bTurns: whether they apply).
bool LandmarksApply(const CNetworkView& view, const NRouteOptions_stru& opt, bool bTurns);

// The least-cost path from lFrom to lTo, each node queued at its cost so far
// plus the landmarks' bound on the rest, so that the search runs toward lTo;
// stops when lTo is settled. Works in search's state (search clears it) and
// leaves the nodes settled in search.Settled(). Throws std::bad_alloc.
void RunLandmarkRoute(CRouteSearch& search, NSearchState& st, const CNetworkView& view, const CLandmarks& marks,
                      const NBarrierBits& barriers, std::int32_t lFrom, std::int32_t lTo, NPath_stru& path);

}  // namespace tools
}  // namespace kelvane

#endif  // KELVANE_SRC_TOOLS_LANDMARKSEARCH_H
