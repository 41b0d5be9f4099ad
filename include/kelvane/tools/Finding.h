// Finding.h - one thing the toolkit has to say about a network or a flag: the
// element it concerns and a plain sentence a host can show its users as is.
#ifndef KELVANE_TOOLS_FINDING_H
#define KELVANE_TOOLS_FINDING_H

#include <cstdint>
#include <string>

#include "kelvane/tools/ToolsConfig.h"

namespace kelvane {
namespace tools {

// What a finding is about. Network covers the counts, settings, whole tables
// and weight columns.
enum class NElemKind : char { Network = 0, Node = 1, Edge = 2, Flag = 3 };

struct NFinding_stru {
  NElemKind eKind = NElemKind::Network;  // the kind of element concerned
  std::int32_t lElem = 0;                // node or edge number; index in the flag list; 0 for the network
  std::string strText;                   // the whole sentence, element named, e.g. "edge 7: to node 0 is not a node"
};

}  // namespace tools
}  // namespace kelvane

// The names of the 1.x toolkit at global scope, deprecated.
#define KELVANE_TOOLS_FINDING_DECLARED
#if !defined(KELVANE_TOOLS_NO_GLOBAL_NAMES)
#include "kelvane/tools/GlobalNames.h"
#endif

#endif  // KELVANE_TOOLS_FINDING_H
