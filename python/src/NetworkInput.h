// NetworkInput.h - a network as plain vectors, converted and checked while
// the GIL is held, then written through CNetworkBuilder without it. Both
// Network.from_arrays and Network.from_lines end here.
#ifndef KELVANE_PYTHON_NETWORKINPUT_H
#define KELVANE_PYTHON_NETWORKINPUT_H

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Common.h"
#include "kelvane/tools/NetworkBuilder.h"

namespace kelvane_py {

// Column ids the network's weight columns get: fixed ones first, extras after.
constexpr std::int32_t kCostFld = 0;
constexpr std::int32_t kReverseCostFld = 1;
constexpr std::int32_t kFirstExtraFld = 2;

struct NNetworkInput_stru {
  std::vector<std::int32_t> from;                 // per edge: from node
  std::vector<std::int32_t> to;                   // per edge: to node
  std::int32_t lNodNum = 0;                       // nodes 1 to lNodNum
  std::optional<std::vector<double>> cost;        // fixed column 1 (id 0), per edge
  std::optional<std::vector<double>> reverseCost; // fixed column 2 (id 1), per edge
  std::vector<std::pair<std::string, std::vector<double>>> extras;  // extra columns, ids 2, 3, ...
  std::optional<std::vector<double>> nodWgt;      // node weight column (id 0), per node
  std::optional<std::vector<double>> edgeDmd;     // per edge
  std::optional<std::vector<double>> nodDmd;      // per node
  std::optional<std::vector<char>> upState;       // per edge; the other state 0 when only one is given
  std::optional<std::vector<char>> downState;
  std::optional<std::vector<char>> nodState;      // per node
  std::optional<std::vector<char>> direct;        // per edge; makes the direction table (mode 1)
  bool bTurns = false;                            // turn weights given (maybe none)
  std::vector<std::int32_t> turnNod;              // per turn: node, from edge, to edge, weight
  std::vector<std::int32_t> turnFrom;
  std::vector<std::int32_t> turnTo;
  std::vector<double> turnWgt;
};

// Settings, elements and values of `in` given to b, as a host would; the
// builder notes any refusal, which Build then reports. Needs no GIL.
void FillBuilder(CNetworkBuilder& b, const NNetworkInput_stru& in);

// The network `in` describes, built with the GIL released. ValueError with
// the builder's sentence when it refuses, MemoryError when memory runs out.
PNetwork BuildNetwork(const NNetworkInput_stru& in);

}  // namespace kelvane_py

#endif  // KELVANE_PYTHON_NETWORKINPUT_H
