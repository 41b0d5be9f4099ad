// NetBuild.h - fills the library's network from the noded streets.
#ifndef KELVANE_TRACE_NETBUILD_H
#define KELVANE_TRACE_NETBUILD_H

#include <string>

#include "Input.h"
#include "Noding.h"
#include "kelvane/LocalNetwork.h"

// Column ids the demo gives its two edge weights.
constexpr std::int32_t kCostFld = 0;    // cost: the feature's cost shared by length, else the length
constexpr std::int32_t kLengthFld = 1;  // ground length

// Fills net with one edge per demo edge, same numbers: cost and length
// weights, demand shared out by length, and the states that say which way a
// street may be travelled. The down state closes travel from the from node to
// the to node and the up state travel back, so a street open one way only has
// the other state 1, and a closed street both. Returns false with strError
// naming the fault when the builder refuses the network.
bool BuildNetwork(const NInputNetwork& input, const NDemoNet& demo, CLocalNetwork& net, std::string& strError);

#endif  // KELVANE_TRACE_NETBUILD_H
