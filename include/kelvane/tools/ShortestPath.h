// ShortestPath.h - least-cost routes on a view: one to one as a path, one to
// many and many to many as costs, with one-way streets and turn costs.
#ifndef KELVANE_TOOLS_SHORTESTPATH_H
#define KELVANE_TOOLS_SHORTESTPATH_H

#include <cstdint>
#include <vector>

#include "kelvane/tools/AnalysisInput.h"
#include "kelvane/tools/Finding.h"
#include "kelvane/tools/NetworkView.h"
#include "kelvane/tools/RouteTypes.h"
#include "kelvane/tools/SplitIndex.h"
#include "kelvane/tools/ToolsConfig.h"

namespace kelvane {
namespace tools {
struct NProgress_stru;

// The least-cost path from lFrom to lTo. Closed nodes and barriers are not
// passed; a closed node can still be the end of a path. Returns 1 (also when
// no path exists: bFound false); 0 with path untouched for a view that is not
// current, a node out of range, a barrier out of range, or memory running
// out. Ties go to the path found first, so a repeated call gives the same
// path.
KELVANE_TOOLS_API std::int32_t FindShortestPath(const CNetworkView& view, std::int32_t lFrom, std::int32_t lTo,
                                                const NRouteOptions_stru& opt, NPath_stru& path,
                                                NFinding_stru* pError = nullptr);

// The least cost from lFrom to every node, entry n - 1 for node n (+infinity
// where none is reached). With turns, the cost of arriving at a node by its
// best last edge. Returns 1; 0 untouched as above, or for memory running out
// or a stop (polled every few thousand labels settled).
KELVANE_TOOLS_API std::int32_t FindCostsFrom(const CNetworkView& view, std::int32_t lFrom,
                                             const NRouteOptions_stru& opt, std::vector<double>& costs,
                                             NFinding_stru* pError = nullptr, const NProgress_stru* pProgress = nullptr);

// Costs from every source to every target, row by row: entry s * T + t for
// source s and target t (+infinity where none). One search per source, so
// each row is what FindCostsFrom gives for its source; each stops once it has
// costed every node it was asked for. opt.lThreads
// spreads the searches over threads, each with its own part of opt.pWork.
// Returns 1; 0 untouched as above, or for memory running out or a stop.
KELVANE_TOOLS_API std::int32_t FindCostMatrix(const CNetworkView& view, const std::vector<std::int32_t>& sources,
                                              const std::vector<std::int32_t>& targets,
                                              const NRouteOptions_stru& opt, std::vector<double>& costs,
                                              NFinding_stru* pError = nullptr, const NProgress_stru* pProgress = nullptr);

// FindCostsFrom with the tree of least-cost routes: reachedBy gets, entry
// n - 1 for node n, the edge by which node n is reached on its route (with
// turns, on its best arrival); 0 for lFrom and for nodes not reached. A host
// draws any route by following the edges back from its end.
KELVANE_TOOLS_API std::int32_t FindCostsFrom(const CNetworkView& view, std::int32_t lFrom,
                                             const NRouteOptions_stru& opt, std::vector<double>& costs,
                                             std::vector<std::int32_t>& reachedBy, NFinding_stru* pError = nullptr,
                                             const NProgress_stru* pProgress = nullptr);

// The least cost from every node to lTo, entry n - 1 for node n (+infinity
// where lTo cannot be reached): the search of FindCostsFrom run backward over
// the ways one arrives by, the same rules, one-way streets, barriers, closed
// nodes and turns included (with turns, the cost of leaving a node by its
// best first edge). A closed node is reached only as lTo itself. It reads the
// steps listed at the nodes it arrives at, where FindCostsFrom reads those at
// the nodes it leaves: on a network whose connection lists disagree with its
// end nodes (CheckNetwork names them) the two can differ. Returns 1;
// 0 with the outputs untouched as FindCostsFrom refuses, or when the host
// stops it (pProgress).
KELVANE_TOOLS_API std::int32_t FindCostsTo(const CNetworkView& view, std::int32_t lTo, const NRouteOptions_stru& opt,
                                           std::vector<double>& costs, NFinding_stru* pError = nullptr,
                                           const NProgress_stru* pProgress = nullptr);
// With the tree: reachedBy[n - 1] is the first edge of node n's route to lTo;
// 0 for lTo and for nodes that cannot reach it.
KELVANE_TOOLS_API std::int32_t FindCostsTo(const CNetworkView& view, std::int32_t lTo, const NRouteOptions_stru& opt,
                                           std::vector<double>& costs, std::vector<std::int32_t>& reachedBy,
                                           NFinding_stru* pError = nullptr, const NProgress_stru* pProgress = nullptr);

// Every node's nearest start, by one search from all of them at once: the
// network parted among the starts.
struct NClosestFacility_stru {
  std::vector<std::int32_t> facility;   // per node n - 1: index in starts of its nearest start; -1 for none
  std::vector<double> costs;            // per node n - 1: its cost from that start; +infinity for none
  std::vector<std::int32_t> reachedBy;  // per node n - 1: the edge it is reached by; 0 for a start or none
};

// Ties go to the start listed first, whatever the order of the list: a node
// as near to starts 2 and 0 is start 0's, and a start listed twice keeps its
// first index. A barrier start reaches nothing, not even itself. Turn costs
// are not applied. Returns 1; 0 with out untouched as FindShortestPath
// refuses, for a start out of range, for memory running out, or when the
// host stops it.
KELVANE_TOOLS_API std::int32_t FindClosestFacility(const CNetworkView& view, const std::vector<std::int32_t>& starts,
                                                   const NRouteOptions_stru& opt, NClosestFacility_stru& out,
                                                   NFinding_stru* pError = nullptr,
                                                   const NProgress_stru* pProgress = nullptr);

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
