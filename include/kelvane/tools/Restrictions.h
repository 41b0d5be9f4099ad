// Restrictions.h - routes that honour turn restrictions over a path of
// edges, as street maps record them: no going from one street over a node,
// or over one or more streets, into another (no_left_turn, no_u_turn, ...),
// or, once on the first street towards the rest, no way but along the path
// (only_straight_on, ...). No per-node turn matrix can hold a restriction
// over more than one node; these hold any number.
//
//   std::vector<kelvane::tools::NRestriction_stru> r(1);
//   r[0].eKind = kelvane::tools::NRestrictionKind::No;
//   r[0].edges = {12, 40};            // from edge 12 over their common node into edge 40
//   kelvane::tools::FindRestrictedPath(view, from, to, opt, r, path);
#ifndef KELVANE_TOOLS_RESTRICTIONS_H
#define KELVANE_TOOLS_RESTRICTIONS_H

#include <cstdint>
#include <vector>

#include "kelvane/tools/Finding.h"
#include "kelvane/tools/NetworkView.h"
#include "kelvane/tools/ShortestPath.h"
#include "kelvane/tools/ToolsConfig.h"

namespace kelvane {
namespace tools {

enum class NRestrictionKind : char {
  No = 0,    // the whole path may not be travelled in one go
  Only = 1,  // having travelled the from edge towards the via, the route goes on along the path to its end
};

// One restriction: a path of edges in travel order, the from edge first and
// the to edge last, with any via edges between (none: the two meet at a
// node). The path runs from the from edge's far end over lViaNod, then from
// each edge's end to the next edge, each edge leaving the node the one
// before it arrived at. It is travelled the way it is listed: the reverse
// path is another restriction. Directions the route may not take anyway
// (one-way streets, costs of no way) only make it unused.
struct NRestriction_stru {
  NRestrictionKind eKind = NRestrictionKind::No;
  std::vector<std::int32_t> edges;  // at least two positive edge numbers
  // The node where the path leaves the from edge. 0: the one node the first
  // two edges share (refused when they share two, as parallel edges do).
  std::int32_t lViaNod = 0;
};

// The least-cost path from lFrom to lTo by the rules of opt (directed or
// not, turn weights when the view has them and opt asks, barriers, closed
// nodes as FindShortestPath passes them; a barrier start reaches nothing,
// not even itself) that breaks no restriction. A path may pass a node more
// than once when a restriction makes it go round. An empty list is
// FindShortestPath's route. opt.pWork keeps the working memory between
// calls, as for the plain routes.
// Returns 1 (also when no path exists: bFound false); 0 with path untouched
// as FindShortestPath refuses, or for a restriction that is not a path of
// edges of the view (the restriction's index and the edge at fault named), or
// for memory running out. Time: as FindShortestPath, plus a label per node and
// restriction prefix a search reaches.
KELVANE_TOOLS_API std::int32_t FindRestrictedPath(const CNetworkView& view, std::int32_t lFrom, std::int32_t lTo,
                                                  const NRouteOptions_stru& opt,
                                                  const std::vector<NRestriction_stru>& restrictions, NPath_stru& path,
                                                  NFinding_stru* pError = nullptr);

// The least cost from lFrom to every node under the restrictions, entry n - 1
// for node n (+infinity where none); an empty list gives FindCostsFrom's.
// Returns 1; 0 untouched as above, for memory running out, or when the host
// stops it (pProgress).
KELVANE_TOOLS_API std::int32_t FindRestrictedCostsFrom(const CNetworkView& view, std::int32_t lFrom,
                                                       const NRouteOptions_stru& opt,
                                                       const std::vector<NRestriction_stru>& restrictions,
                                                       std::vector<double>& costs, NFinding_stru* pError = nullptr,
                                                       const NProgress_stru* pProgress = nullptr);

}  // namespace tools
}  // namespace kelvane

#endif  // KELVANE_TOOLS_RESTRICTIONS_H
