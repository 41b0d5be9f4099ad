// DrivingSide.h - routes, cost matrices and service areas between flags that
// a vehicle can reach from one side of the street only: a delivery stops at the kerb, and
// on a two-way street it does not cross the oncoming lane to do so.
//
// A side belongs to a flag's node (FlagNods gives them; the pieces flag
// mapping cut keep their edge's direction, so the steps at the node run
// along or against the street the flag is on). It is the side of the
// street, seen in its edges' direction (from node to to node), that the flag
// stands on, for traffic that keeps to the right:
//   Right  the vehicle leaves a start, and arrives at a target, travelling
//          along its edge (the flag at its right-hand kerb);
//   Left   travelling against its edge (the flag, on the left of the street
//          seen along it, again at the vehicle's right);
//   Both   either way, as routes without sides.
// Where traffic keeps to the left, give the other side.
// On a two-way street (the node can be left, or for a target arrived at,
// both along and against an edge, by the states and costs of the view) the
// side leaves one way: a vehicle coming the other way goes round. On a
// one-way street (every way out, or in, runs one direction) the side asks
// nothing: a vehicle in a one-way street stops at either kerb. A loop (an
// edge from the node back to itself) leaves and arrives on both sides. The route
// may pass the start again, or the target before it arrives there from its
// side; only the first step out of a start and the last step into a target
// are bound.
#ifndef KELVANE_TOOLS_DRIVINGSIDE_H
#define KELVANE_TOOLS_DRIVINGSIDE_H

#include <cstdint>
#include <vector>

#include "kelvane/tools/Finding.h"
#include "kelvane/tools/NetworkView.h"
#include "kelvane/tools/ServiceArea.h"
#include "kelvane/tools/ShortestPath.h"
#include "kelvane/tools/ToolsConfig.h"

namespace kelvane {
namespace tools {

enum class DrivingSide : char {
  Both = 0,
  Right = 1,
  Left = 2,
};

// The least-cost path from lFrom, left as eFromSide says, to lTo, arrived
// at as eToSide says, by the rules of opt (turn weights, barriers, closed
// nodes as FindShortestPath). lFrom == lTo is the empty path, but for a
// barrier start, which reaches nothing. Both sides Both: FindShortestPath's
// route. Returns 1 (bFound false when no path exists); 0 with path untouched
// as FindShortestPath refuses, for a side that names none, or for memory
// running out.
KELVANE_TOOLS_API std::int32_t FindSidedPath(const CNetworkView& view, std::int32_t lFrom, DrivingSide eFromSide,
                                             std::int32_t lTo, DrivingSide eToSide, const NRouteOptions_stru& opt,
                                             NPath_stru& path, NFinding_stru* pError = nullptr);

// Costs from every source to every target, entry s * T + t, each source left
// and each target arrived at from its side (sides empty: every one Both;
// else one per node, in the same order). One search per source; with every
// side Both, FindCostMatrix's matrix. Returns 1; 0 with costs untouched as
// FindCostMatrix refuses (a stop by pProgress included), or for side lists
// of another length.
KELVANE_TOOLS_API std::int32_t FindSidedCostMatrix(const CNetworkView& view, const std::vector<std::int32_t>& sources,
                                                   const std::vector<DrivingSide>& sourceSides,
                                                   const std::vector<std::int32_t>& targets,
                                                   const std::vector<DrivingSide>& targetSides,
                                                   const NRouteOptions_stru& opt, std::vector<double>& costs,
                                                   NFinding_stru* pError = nullptr,
                                                   const NProgress_stru* pProgress = nullptr);

// FindServiceArea with each start left as its side says (sides empty: every
// one Both; else one per start, in the same order): a node's cost is that of
// its least-cost route whose first step leaves its start from the start's
// side. A start is in the area at cost 0 (reachedBy 0); the steps out of it
// on the other side count from the cost of the cheapest route back to it,
// where it is free to leave any way. A start listed with both sides, or with
// Both, leaves every way. Turn costs are not applied, and the search runs on
// the calling thread whatever opt.lThreads asks. Returns as
// FindServiceArea; 0 with the area untouched also for a side list of
// another length or a side that names none.
KELVANE_TOOLS_API std::int32_t FindSidedServiceArea(const CNetworkView& view, const std::vector<std::int32_t>& starts,
                                                    const std::vector<DrivingSide>& startSides, double dLimit,
                                                    const NRouteOptions_stru& opt, NServiceArea_stru& area,
                                                    NFinding_stru* pError = nullptr,
                                                    const NProgress_stru* pProgress = nullptr);

}  // namespace tools
}  // namespace kelvane

#endif  // KELVANE_TOOLS_DRIVINGSIDE_H
