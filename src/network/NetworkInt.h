// NetworkInt.h - helpers private to the library (never installed).
// The few places where the two builds differ in behaviour live here, so the
// query code reads the same in both.
#ifndef KELVANE_SRC_NETWORK_NETWORKINT_H
#define KELVANE_SRC_NETWORK_NETWORKINT_H

#include <cstdint>

#include "kelvane/LocalNetwork.h"
#include "network/CoreAccess.h"
#include "network/TableAlloc.h"

namespace kelvane {

inline void RecordBlockedNod(CLocalNetwork& net, std::int32_t lNod) {
#if !KELVANE_FIRST_GENERATION
  net.m_BlockedNod.Trace(lNod);
#else
  (void)net;
  (void)lNod;  // the first generation keeps no recorders
#endif
}

inline void RecordBlockedEdge(CLocalNetwork& net, std::int32_t lEdge) {
#if !KELVANE_FIRST_GENERATION
  net.m_BlockedEdge.Trace(lEdge);
#else
  (void)net;
  (void)lEdge;
#endif
}

// The recorders follow the network's lifetime: started by ReallocMemory at
// the counts of that moment, copied with the network, swapped with it.
inline void StartRecorders(CLocalNetwork& net) {
#if !KELVANE_FIRST_GENERATION
  net.m_BlockedEdge.m_lElemNum = net.m_lEdgeNum;
  net.m_BlockedEdge.StartTrace();
  net.m_BlockedNod.m_lElemNum = net.m_lNodNum;
  net.m_BlockedNod.StartTrace();
#else
  (void)net;
#endif
}

// dst's recorders become copies of src's. Throws std::bad_alloc, leaving dst's as they were.
inline void CopyRecorders(CLocalNetwork& dst, const CLocalNetwork& src) {
#if !KELVANE_FIRST_GENERATION
  CMyTrace blockedNod(src.m_BlockedNod);
  dst.m_BlockedNod.Swap(blockedNod);
  CMyTrace blockedEdge(src.m_BlockedEdge);
  dst.m_BlockedEdge.Swap(blockedEdge);
#else
  (void)dst;
  (void)src;
#endif
}

inline void SwapRecorders(CLocalNetwork& a, CLocalNetwork& b) {
#if !KELVANE_FIRST_GENERATION
  a.m_BlockedNod.Swap(b.m_BlockedNod);
  a.m_BlockedEdge.Swap(b.m_BlockedEdge);
#else
  (void)a;
  (void)b;
#endif
}

// Nodes 1 to this bound have an entry in the state table and the connection table.
inline std::int32_t NodBound(const CLocalNetwork& net) {
  std::int32_t n = Bound(net.m_lNodNum, net.m_pNodState);
  return Bound(n, net.m_pNodConn);
}

// Edges 1 to this bound have an entry in both state tables.
inline std::int32_t EdgeStateBound(const CLocalNetwork& net) {
  return Bound(Bound(net.m_lEdgeNum, net.m_pUpEdgeState), net.m_pDownEdgeState);
}

// Edges 1 to this bound have both states and their end nodes.
inline std::int32_t EdgeEndBound(const CLocalNetwork& net) { return Bound(EdgeStateBound(net), net.m_pEdgeNod); }

// Entries of a node's connection list that may be read: its count, cut to the
// list's real length; 0 for a count of 0 or less or a missing list.
inline std::int32_t ConnBound(const NNodConn_stru& conn) {
  return Bound(conn.sConnNum, conn.pConnEdge);
}

}  // namespace kelvane

// The library's own access to the private members of CLocalNetwork: flag
// mapping's helpers and the tests of the primitives go through here.
class CNetworkAccess {
 public:
  static void Clear(CLocalNetwork& net) { net.clear(); }
  static std::int32_t AppendElemS(CLocalNetwork& net, std::int32_t lNodAdd, std::int32_t lEdgeAdd) {
    return net.AppendElemS(lNodAdd, lEdgeAdd);
  }
  static std::int32_t AppendNod(CLocalNetwork& net) { return net.AppendNod(); }
  static std::int32_t AppendEdge(CLocalNetwork& net, NWeightVal_stru& wgt2, NWeightVal_stru& wgt1, char cUp,
                                 char cDown, char cDirect, double dDmd) {
    return net.AppendEdge(wgt2, wgt1, cUp, cDown, cDirect, dDmd);
  }
  static std::int32_t DeleteEdge(CLocalNetwork& net, std::int32_t lEdge) { return net.DeleteEdge(lEdge); }
};


#endif  // KELVANE_SRC_NETWORK_NETWORKINT_H
