// ConnectivityNetwork.h - the network the connectivity tests query, the same
// in both builds so their results can be compared.
#ifndef KELVANE_TESTS_SUPPORT_CONNECTIVITYNETWORK_H
#define KELVANE_TESTS_SUPPORT_CONNECTIVITYNETWORK_H

#include "support/ReferenceBuilder.h"

// Node 2's list is 1, -2, 3, -4, 5, 6, -6, 7. Edge 3 is blocked upward only,
// 4 both ways, 5 downward only, 6 is a loop at 2, 7 is deleted (states 2).
// Node 6 has no connections.
inline NetworkBuilder ConnectivityNetwork() {
  return NetworkBuilder()
      .Nodes(6)
      .Edge(1, 2)
      .Edge(2, 3)
      .Edge(3, 2)
      .Edge(2, 4)
      .Edge(4, 2)
      .Edge(2, 2)
      .Edge(5, 2)
      .BlockUp(3)
      .BlockEdge(4)
      .BlockDown(5)
      .EdgeState(7, 2, 2);
}

#endif  // KELVANE_TESTS_SUPPORT_CONNECTIVITYNETWORK_H
