// SmallNetwork.h - the four-node network the toolkit's builder, check and flag
// tests start from, written once so that their pictures cannot drift apart:
//
//   1 -e1-> 2 -e2-> 3 -e3-> 1, 3 -e4-> 4, e5 a loop at 4, 2 -e6-> 4.
//
// Node lists in ascending edge order, +e where e ends, -e where it starts:
//   1: -1 3    2: 1 -2 -6    3: 2 -3 -4    4: 4 5 -5 6
#ifndef KELVANE_TESTS_SUPPORT_SMALLNETWORK_H
#define KELVANE_TESTS_SUPPORT_SMALLNETWORK_H

#include <cstdint>
#include <utility>
#include <vector>

constexpr std::int32_t kSmallNetworkNods = 4;

// Edge e's from and to node at entry e - 1.
inline const std::vector<std::pair<std::int32_t, std::int32_t>>& SmallNetworkEdges() {
  static const std::vector<std::pair<std::int32_t, std::int32_t>> edges = {{1, 2}, {2, 3}, {3, 1},
                                                                           {3, 4}, {4, 4}, {2, 4}};
  return edges;
}

// Gives a CNetworkBuilder the four nodes and the six edges in order, calling
// onEdge(e) with each new edge's number (for its weights). Returns
// SetNodNum's status.
template <class Builder, class OnEdge>
std::int32_t AddSmallNetwork(Builder& b, OnEdge onEdge) {
  const std::int32_t ok = b.SetNodNum(kSmallNetworkNods);
  for (const auto& e : SmallNetworkEdges()) onEdge(b.AddEdge(e.first, e.second));
  return ok;
}

template <class Builder>
std::int32_t AddSmallNetwork(Builder& b) {
  return AddSmallNetwork(b, [](std::int32_t) {});
}

#endif  // KELVANE_TESTS_SUPPORT_SMALLNETWORK_H
