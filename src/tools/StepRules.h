// StepRules.h - what one step of a least-cost search costs (never installed):
// the way an edge may be taken from the end a search stands at, its cost, and
// the turn weight between two edges of a node. Every search reads these, so a
// route, an area and a restricted route price a step alike.
#ifndef KELVANE_SRC_TOOLS_STEPRULES_H
#define KELVANE_SRC_TOOLS_STEPRULES_H

#include <cstdint>
#include <limits>

#include "kelvane/tools/NetworkView.h"

namespace kelvane {
namespace tools {

constexpr double kNoRoute = std::numeric_limits<double>::infinity();

// The cost of entry e's way from the end of its edge that the entry's node is
// (bFromEnd: its from node). Forward a directed search leaves by the entry;
// in reverse it arrives by it, so the traveller goes the other way round the
// node; undirected, either end may be left at the lower of the two costs.
template <bool kReverse, bool kDirected>
inline double EndCostOf(unsigned char w, std::int32_t e, const double* along, const double* against,
                        bool bFromEnd) {
  constexpr unsigned char kFrom = kDirected ? (kReverse ? CNetworkView::kArriveAgainst : CNetworkView::kLeaveAlong)
                                            : (CNetworkView::kLeaveAlong | CNetworkView::kArriveAgainst);
  constexpr unsigned char kTo = kDirected ? (kReverse ? CNetworkView::kArriveAlong : CNetworkView::kLeaveAgainst)
                                          : (CNetworkView::kLeaveAgainst | CNetworkView::kArriveAlong);
  if ((w & (bFromEnd ? kFrom : kTo)) == 0) return kNoRoute;
  if (!kDirected) return along[e] < against[e] ? along[e] : against[e];
  return bFromEnd != kReverse ? along[e] : against[e];
}

// The step's cost: the cheaper end (the from end on a tie); undirected, a
// loop is taken the way its along cost says.
template <bool kReverse, bool kDirected>
inline double CostOf(unsigned char w, std::int32_t e, const double* along, const double* against, bool& bFromEnd) {
  const double a = EndCostOf<kReverse, kDirected>(w, e, along, against, true);
  const double b = EndCostOf<kReverse, kDirected>(w, e, along, against, false);
  if (!kDirected && a != kNoRoute && b != kNoRoute) {
    bFromEnd = along[e] <= against[e];
    return a;
  }
  bFromEnd = a <= b;
  return a <= b ? a : b;
}

// The weight of the turn from the edge at position p into the edge at
// position q of a node's list (0 where the matrix has no such entry); false
// for a forbidden turn, a NaN weight included.
inline bool TurnAt(const double* matrix, std::int32_t side, std::int64_t nTurn, std::int16_t p, std::int16_t q,
                   double& t) {
  if (side == 0 || p < 0 || q < 0) return true;
  const std::int64_t at = static_cast<std::int64_t>(p) * side + q;
  if (at >= nTurn) return true;
  t = matrix[at];
  return t >= 0.0;
}

}  // namespace tools
}  // namespace kelvane

#endif  // KELVANE_SRC_TOOLS_STEPRULES_H
