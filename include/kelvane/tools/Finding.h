// Finding.h - one thing the toolkit has to say about a network or a flag: the
// element it concerns, a plain sentence a host can show its users as is, and
// a code a host program can act on. Every toolkit call that refuses returns
// 0 (or says so in its status) with its outputs untouched and, when given a
// finding to fill, these three.
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

// Why a call refused, for a host program to act on without reading the
// sentence.
enum class NFindingCode : char {
  None = 0,         // not a refusal: a finding about the network (CheckNetwork's are BrokenTable)
  BadArgument = 1,  // a value the call does not take: a kind, a limit, an option, lists that do not fit
  OutOfRange = 2,   // a number that names no node, edge or flag, or a count at its limit
  NotCurrent = 3,   // a view not built, or its network changed since; an index of another network
  BrokenTable = 4,  // the network's own tables: a type byte, a cost that is not a number, a bad list
  NoMemory = 5,     // memory ran out; outputs and the network are as they were
  Stopped = 6,      // the host's progress callback asked to stop; outputs are as they were
};

struct NFinding_stru {
  NElemKind eKind = NElemKind::Network;  // the kind of element concerned
  std::int32_t lElem = 0;                // node or edge number; index in the flag list; 0 for the network
  std::string strText;                   // the whole sentence, element named, e.g. "edge 7: to node 0 is not a node"
  NFindingCode eCode = NFindingCode::None;  // why the call refused
};

}  // namespace tools
}  // namespace kelvane

// The names of the 1.x toolkit at global scope, deprecated.
#define KELVANE_TOOLS_FINDING_DECLARED
#if !defined(KELVANE_TOOLS_NO_GLOBAL_NAMES)
#include "kelvane/tools/GlobalNames.h"
#endif

#endif  // KELVANE_TOOLS_FINDING_H
