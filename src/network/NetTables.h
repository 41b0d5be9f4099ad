// NetTables.h - the one list of the tables a network owns (private to the
// library, never installed).
//
// Release, copy, swap, ReallocMemory, AppendElemS, the entry checks and the
// toolkit's whole-network check all walk this list, so a new table, or a change to when one exists, is one line here.
// The order is the order ReallocMemory allocates and AppendElemS grows: the
// fault tests fail each allocation in turn, and a failed growth leaves the
// tables before the failing one grown, so the order is part of the behaviour.
// The trace bits are not here: they belong to an open trace, not to the tables.
#ifndef KELVANE_SRC_NETWORK_NETTABLES_H
#define KELVANE_SRC_NETWORK_NETTABLES_H

#include <cstdint>
#include <type_traits>

#include "kelvane/LocalNetwork.h"

namespace kelvane {

enum class Per : char { kNod, kEdge };  // what a table has one entry for

// One fixed table: the member that holds it, what it has an entry for, and
// whether the network's settings ask for it; then how the whole-network check
// names it and the setting that asks for it (null for a table that always
// exists once ReallocMemory has run).
template <class T>
struct TableDesc {
  T* CLocalNetwork::*member;
  Per per;
  bool (*wanted)(const CLocalNetwork& net);
  const char* pszName;
  const char* pszSetting;
};

// The extra edge-weight columns: table i of `tables` holds column id i of
// `ids`, null for a negative id; each is per edge and grows with the edges.
template <class Tables, class Ids>
struct ExtColumnsDesc {
  Tables CLocalNetwork::*tables;
  Ids CLocalNetwork::*ids;
};

// Tables whose entries hold tables of their own: each node's connection list
// and turn matrix. Releasing or copying the outer table handles these first.
template <class T>
constexpr bool kHoldsTables = std::is_same<T, NNodConn_stru>::value || std::is_same<T, double*>::value;

inline std::int32_t*& HeldTable(NNodConn_stru& entry) { return entry.pConnEdge; }
inline double*& HeldTable(double*& entry) { return entry; }

// Calls visit once per table in allocation order: visit(TableDesc<T>) for a
// fixed table, visit(ExtColumnsDesc<...>) for the extra columns (current build).
template <class Visitor>
void ForEachTable(Visitor&& visit) {
  using Net = CLocalNetwork;
  visit(TableDesc<NEdgeNod_stru>{&Net::m_pEdgeNod, Per::kEdge, [](const Net&) { return true; }, "end-node", nullptr});
  visit(TableDesc<NNodConn_stru>{&Net::m_pNodConn, Per::kNod, [](const Net&) { return true; }, "connection", nullptr});
  visit(TableDesc<NWeightVal_stru>{&Net::m_pNodWgt, Per::kNod, [](const Net& n) { return n.m_lNodWgtFld >= 0; },
                                   "node weight", "the node weight column id"});
  visit(TableDesc<NWeightVal_stru>{&Net::m_pEdgeWgt1, Per::kEdge,
                                   [](const Net& n) { return n.m_lEdgeWgtFld1 >= 0; }, "column 1 edge weight",
                                   "its column id"});
  visit(TableDesc<NWeightVal_stru>{&Net::m_pEdgeWgt2, Per::kEdge,
                                   [](const Net& n) { return n.m_lEdgeWgtFld2 >= 0; }, "column 2 edge weight",
                                   "its column id"});
#if !KELVANE_FIRST_GENERATION  // the first generation has no extra columns
  visit(ExtColumnsDesc<CSmartArray<NWeightVal_stru*>, CSmartArray<std::int32_t>>{&Net::m_ExtEdgeWgt,
                                                                                  &Net::m_ExtEdgeWgtFld});
#endif
  visit(TableDesc<double*>{&Net::m_ppTurnWgt, Per::kNod, [](const Net& n) { return n.m_lTurnWgtFlag == 1; },
                           "turn matrix", "the turn-weight flag"});
  visit(TableDesc<char>{&Net::m_pNodState, Per::kNod, [](const Net&) { return true; }, "node state", nullptr});
  visit(TableDesc<char>{&Net::m_pUpEdgeState, Per::kEdge, [](const Net&) { return true; }, "up state", nullptr});
  visit(TableDesc<char>{&Net::m_pDownEdgeState, Per::kEdge, [](const Net&) { return true; }, "down state", nullptr});
  visit(TableDesc<char>{&Net::m_pEdgeDirect, Per::kEdge,
                        [](const Net& n) { return n.m_cEdgeDirectMode == 1 || n.m_cEdgeDirectMode == 2; },
                        "direction", "the direction mode"});
  visit(TableDesc<double>{&Net::m_pNodDmd, Per::kNod, [](const Net& n) { return n.m_cDmdFld >= 0; }, "node demand",
                          "the demand field"});
  visit(TableDesc<double>{&Net::m_pEdgeDmd, Per::kEdge, [](const Net& n) { return n.m_cDmdFld >= 0; },
                          "edge demand", "the demand field"});
}

// The counts and settings the host writes before ReallocMemory, which clear
// sets back to 0: visit(member pointer) for each.
template <class Visitor>
void ForEachSetting(Visitor&& visit) {
  using Net = CLocalNetwork;
  visit(&Net::m_lNodNum);
  visit(&Net::m_lEdgeNum);
  visit(&Net::m_lNodWgtFld);
  visit(&Net::m_lEdgeWgtFld1);
  visit(&Net::m_lEdgeWgtFld2);
  visit(&Net::m_cDmdFld);
  visit(&Net::m_lTurnWgtFlag);
  visit(&Net::m_lReserve);
  visit(&Net::m_cEdgeDirectMode);
}

}  // namespace kelvane

#endif  // KELVANE_SRC_NETWORK_NETTABLES_H
