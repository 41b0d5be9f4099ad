// AnalysisInput.h - what every analysis on a CNetworkView takes: its starts
// and the elements it may not pass, as node and edge numbers, and the
// conversion of mapped flags into start nodes.
//
// No analysis writes the network's tables: barriers and stops hold for one
// call only. Every analysis checks its input first and, when something is
// wrong, returns 0 with its outputs untouched and, when asked, a finding that
// names the element and gives the code. Memory running out is one more such
// refusal (code NoMemory, outputs untouched): no toolkit call throws. The
// long ones (view build, traces, components, isolation, costs, matrices,
// service areas) take a progress callback after pError that they poll every
// few thousand steps; a stop returns 0 with the code Stopped, outputs
// untouched.
#ifndef KELVANE_TOOLS_ANALYSISINPUT_H
#define KELVANE_TOOLS_ANALYSISINPUT_H

#include <cstdint>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "kelvane/tools/Finding.h"
#include "kelvane/tools/Progress.h"
#include "kelvane/tools/ToolsConfig.h"

namespace kelvane {
namespace tools {

// Nodes and edges, in any order; repeats are allowed.
struct NElemSet_stru {
  std::vector<std::int32_t> nods;
  std::vector<std::int32_t> edges;  // either sign
};

// The nodes that MapNetFlag's output list puts the flags on, in list order.
// Returns 1; 0 with nods untouched and, when pError is given, the flag named
// when a flag is still on an edge (it was not mapped: an edge already split,
// a position that is not a number) or is of another kind, or memory running
// out.
KELVANE_TOOLS_API std::int32_t FlagNods(const CSmartArray<NET_FLGstruct>& mapped, std::vector<std::int32_t>& nods,
                                        NFinding_stru* pError = nullptr);

}  // namespace tools
}  // namespace kelvane

// The names of the 1.x toolkit at global scope, deprecated.
#define KELVANE_TOOLS_ANALYSISINPUT_DECLARED
#if !defined(KELVANE_TOOLS_NO_GLOBAL_NAMES)
#include "kelvane/tools/GlobalNames.h"
#endif

#endif  // KELVANE_TOOLS_ANALYSISINPUT_H
