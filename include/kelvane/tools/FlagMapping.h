// FlagMapping.h - flag mapping with a stated policy for the flags that
// MapNetFlag would misplace: checks every flag (CheckFlags), decides what to
// do with each one that is not fine, maps the rest and indexes the split, so
// that a host gets each flag's node, or the reason it has none, in one call.
#ifndef KELVANE_TOOLS_FLAGMAPPING_H
#define KELVANE_TOOLS_FLAGMAPPING_H

#include <cstdint>
#include <string>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "kelvane/tools/Finding.h"
#include "kelvane/tools/NetworkCheck.h"
#include "kelvane/tools/SplitIndex.h"
#include "kelvane/tools/ToolsConfig.h"

namespace kelvane {
namespace tools {

// What MapFlags does with a flag that CheckFlags does not find Fine.
struct NFlagPolicy_stru {
  // A flag mapping would leave off the network or cut wrongly (another kind,
  // a number out of range, an edge already split or with broken ends, a
  // position not a number or outside 0 to 1). false: the whole call is
  // refused, nothing mapped; true: that flag is left out, the rest mapped.
  bool bLeaveOutBad = false;
  // A position of exactly 0 or 1. true: the flag goes on that end node;
  // false: it is mapped as MapNetFlag maps it, cutting a piece of length 0.
  bool bEndsOnNodes = true;
  // A position an earlier flag on the same edge has. true: the flag shares
  // the earlier one's node; false: mapped as MapNetFlag maps it, a piece of
  // length 0 joining their nodes.
  bool bShareRepeats = true;
};

// One flag after MapFlags.
struct NMappedFlag_stru {
  NFlagStatus eStatus = NFlagStatus::Fine;  // what CheckFlags found
  std::int32_t lNod = 0;                    // the node it sits on; 0: left out
  std::int32_t lSameAs = -1;                // a repeat sharing a node: index of the flag it repeats; else -1
  std::string strText;                      // empty when Fine; else what was found, the flag not named
                                            // (e.g. "edge 9 is not an edge (the network has edges 1 to 8)"),
                                            // so that a host can name it by its own label
};

struct NFlagMapping_stru {
  std::vector<NMappedFlag_stru> flags;  // one per flag given, same order
  std::int32_t lNodsBefore = 0;         // the network's counts before mapping
  std::int32_t lEdgesBefore = 0;
  std::int32_t lSplitEdges = 0;           // edges split
  std::vector<std::int32_t> newNods;      // nodes the mapping added
  std::vector<TEMPEDGE_MAP_EDGE> pieces;  // per piece: its edge, and the edge it was cut from
};

// Checks flags against net, applies policy, maps the flags that remain with
// one MapNetFlag call (none: the call still indexes net, so that split
// answers for every edge) and indexes it into split. Returns 1 with out and
// split filled. Returns 0 with net, split and out untouched and, when pError
// is given, why: a flag the policy refuses (eKind Flag, lElem its index),
// memory running out before mapping. Returns 0 with net mapped but split and
// out untouched when the split cannot be indexed (memory, or a mapping that
// does not add up). Time: CheckFlags plus MapNetFlag plus linear in edges.
KELVANE_TOOLS_API std::int32_t MapFlags(CLocalNetwork& net, const CSmartArray<NET_FLGstruct>& flags,
                                        const NFlagPolicy_stru& policy, CSplitIndex& split, NFlagMapping_stru& out,
                                        NFinding_stru* pError = nullptr);

}  // namespace tools
}  // namespace kelvane

#endif  // KELVANE_TOOLS_FLAGMAPPING_H
