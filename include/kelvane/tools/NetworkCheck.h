// NetworkCheck.h - reads a filled network, or a host's flags, and says what is
// wrong in words a host can pass on to its users. Neither check changes
// anything, and both read only inside the tables the library made.
#ifndef KELVANE_TOOLS_NETWORKCHECK_H
#define KELVANE_TOOLS_NETWORKCHECK_H

#include <cstdint>
#include <string>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "kelvane/tools/Finding.h"
#include "kelvane/tools/ToolsConfig.h"

namespace kelvane {
namespace tools {

// Every fault found in net, in this order: counts, settings and tables; edges
// (end nodes that are not nodes, weight types other than 0 to 4); nodes
// (connection entries naming no edge or a deleted one, entries whose edge does
// not end (+e) or start (-e) at the node, lists shorter than their count,
// missing or short turn matrices); then each live edge missing from, or listed
// more than once in, the list of one of its end nodes. A deleted edge (state 2
// both ways) may be listed nowhere. Stops after lMaxFindings findings when
// that is above 0. An empty list: nothing found. Every finding has the code
// BrokenTable. Returns 1 with findings filled; 0 with findings untouched and
// the code NoMemory when memory runs out.
KELVANE_TOOLS_API std::int32_t CheckNetwork(const CLocalNetwork& net, std::vector<NFinding_stru>& findings,
                                            std::int32_t lMaxFindings = 0, NFinding_stru* pError = nullptr);

// The same findings as a list, as 1.x hosts call it. When memory runs out the
// list is the one finding "out of memory checking the network" (NoMemory);
// only when not even room for that is left does std::bad_alloc escape, the
// one toolkit call that can throw: the call above never does.
KELVANE_TOOLS_API std::vector<NFinding_stru> CheckNetwork(const CLocalNetwork& net, std::int32_t lMaxFindings = 0);

// What flag mapping will make of one flag.
enum class NFlagStatus : char {
  Fine = 0,         // mapped as the host means it
  OtherKind,        // kind neither 1 (node) nor 2 (edge): passed through unmapped
  NodOutOfRange,    // node flag on a number that is not a node
  EdgeOutOfRange,   // edge flag on a number that is not an edge
  EdgeSplit,        // the edge is deleted, split by an earlier mapping: left unmapped
  EdgeEndsBroken,   // an end node of the edge is not a node: left unmapped
  PosNaN,           // position not a number: left unmapped
  PosOutOfRange,    // position below 0 or above 1: a piece of negative fraction
  PosRepeated,      // same position as an earlier flag on the edge: a piece of fraction 0 between them
  PosAtEnd,         // position exactly 0 or 1: a piece of fraction 0 at the end node
};

struct NFlagCheck_stru {
  NFlagStatus eStatus = NFlagStatus::Fine;
  std::int32_t lOther = -1;  // PosRepeated: index of the earlier flag at that position; else -1
  std::string strText;       // empty when fine; else a sentence naming the flag by its index
  std::string strWhat;       // strText without "flag j: ", for a host naming its flags its own way
};

// One check per flag of `flags`, same order, for flags not yet mapped onto
// net. A flag gets the first status that applies, in the order listed above.
// Returns how many flags are not Fine; -1 with checks untouched when memory
// runs out.
KELVANE_TOOLS_API std::int32_t CheckFlags(const CLocalNetwork& net, const CSmartArray<NET_FLGstruct>& flags,
                                          std::vector<NFlagCheck_stru>& checks);

}  // namespace tools
}  // namespace kelvane

// The names of the 1.x toolkit at global scope, deprecated.
#define KELVANE_TOOLS_NETWORKCHECK_DECLARED
#if !defined(KELVANE_TOOLS_NO_GLOBAL_NAMES)
#include "kelvane/tools/GlobalNames.h"
#endif

#endif  // KELVANE_TOOLS_NETWORKCHECK_H
