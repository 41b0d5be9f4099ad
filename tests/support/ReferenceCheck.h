// ReferenceCheck.h - walks a whole network and reports every broken invariant.
// The tests' own reference, written apart from the library and its toolkit:
// not the toolkit's CheckNetwork, which the tests check against it.
// Run after each change to a network, so a fault shows where it was made, not
// where it is later read. Reads only inside the tables (lengths come from the
// entry count every library table carries in front of entry 0).
#ifndef KELVANE_TESTS_SUPPORT_REFERENCECHECK_H
#define KELVANE_TESTS_SUPPORT_REFERENCECHECK_H

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "kelvane/LocalNetwork.h"
#include "network/TableAlloc.h"
#include "support/ReferenceBuilder.h"  // Elems

namespace network_check {

inline std::size_t Entries(const void* table) { return kelvane::TableEntries(table); }

inline bool IsDeleted(const CLocalNetwork& net, std::int32_t e) {
  return net.m_pUpEdgeState[e - 1] == 2 && net.m_pDownEdgeState[e - 1] == 2;
}

// Whether node n's list holds entry `want` (sign included).
inline bool ListHas(const CLocalNetwork& net, std::int32_t n, std::int32_t want) {
  const NNodConn_stru& conn = net.m_pNodConn[n - 1];
  if (conn.sConnNum <= 0 || conn.pConnEdge == nullptr) return false;
  for (std::int16_t k = 0; k < conn.sConnNum; ++k) {
    if (conn.pConnEdge[k] == want) return true;
  }
  return false;
}

#if !KELVANE_FIRST_GENERATION
inline void ExpectExtColumnsConsistent(const CLocalNetwork& net) {
  const auto& ext = net.m_ExtEdgeWgt;
  const auto& flds = net.m_ExtEdgeWgtFld;
  ASSERT_EQ(ext.GetSize(), flds.GetSize()) << "extra tables and column ids out of step";
  for (std::int32_t i = 0; i < flds.GetSize(); ++i) {
    NWeightVal_stru* table = ext.GetAt(i);
    if (flds.GetAt(i) < 0) {
      EXPECT_EQ(table, nullptr) << "extra column " << i << " has a negative id but a table";
    } else {
      ASSERT_NE(table, nullptr) << "extra column " << i;
      EXPECT_GE(Entries(table), static_cast<std::size_t>(net.m_lEdgeNum)) << "extra column " << i;
    }
  }
}
#else
inline void ExpectExtColumnsConsistent(const CLocalNetwork&) {}  // no extra columns
#endif

}  // namespace network_check

// Every table the settings ask for exists (and no other) with room for every
// element; each connection entry names an edge in range whose end is this node
// (+e: to node, -e: from node); each edge that is not deleted appears with the
// right sign in both its end nodes' lists; a state of 2 (deleted) is written
// to both directions together; each list and turn matrix is as long as its count.
inline void ExpectConsistent(const CLocalNetwork& net) {
  using network_check::Entries;
  const std::int32_t nods = net.m_lNodNum;
  const std::int32_t edges = net.m_lEdgeNum;
  ASSERT_GE(nods, 0);
  ASSERT_GE(edges, 0);
  const std::size_t n = static_cast<std::size_t>(nods);
  const std::size_t m = static_cast<std::size_t>(edges);

  ASSERT_NE(net.m_pEdgeNod, nullptr);
  ASSERT_NE(net.m_pNodConn, nullptr);
  ASSERT_NE(net.m_pNodState, nullptr);
  ASSERT_NE(net.m_pUpEdgeState, nullptr);
  ASSERT_NE(net.m_pDownEdgeState, nullptr);
  ASSERT_GE(Entries(net.m_pEdgeNod), m);
  ASSERT_GE(Entries(net.m_pNodConn), n);
  ASSERT_GE(Entries(net.m_pNodState), n);
  ASSERT_GE(Entries(net.m_pUpEdgeState), m);
  ASSERT_GE(Entries(net.m_pDownEdgeState), m);

  EXPECT_EQ(net.m_pNodWgt != nullptr, net.m_lNodWgtFld >= 0);
  EXPECT_EQ(net.m_pEdgeWgt1 != nullptr, net.m_lEdgeWgtFld1 >= 0);
  EXPECT_EQ(net.m_pEdgeWgt2 != nullptr, net.m_lEdgeWgtFld2 >= 0);
  EXPECT_EQ(net.m_ppTurnWgt != nullptr, net.m_lTurnWgtFlag == 1);
  EXPECT_EQ(net.m_pEdgeDirect != nullptr, net.m_cEdgeDirectMode == 1 || net.m_cEdgeDirectMode == 2);
  EXPECT_EQ(net.m_pNodDmd != nullptr, net.m_cDmdFld >= 0);
  EXPECT_EQ(net.m_pEdgeDmd != nullptr, net.m_cDmdFld >= 0);
  EXPECT_GE(Entries(net.m_pNodWgt), net.m_pNodWgt != nullptr ? n : 0);
  EXPECT_GE(Entries(net.m_pEdgeWgt1), net.m_pEdgeWgt1 != nullptr ? m : 0);
  EXPECT_GE(Entries(net.m_pEdgeWgt2), net.m_pEdgeWgt2 != nullptr ? m : 0);
  ASSERT_GE(Entries(net.m_ppTurnWgt), net.m_ppTurnWgt != nullptr ? n : 0);
  EXPECT_GE(Entries(net.m_pEdgeDirect), net.m_pEdgeDirect != nullptr ? m : 0);
  EXPECT_GE(Entries(net.m_pNodDmd), net.m_pNodDmd != nullptr ? n : 0);
  EXPECT_GE(Entries(net.m_pEdgeDmd), net.m_pEdgeDmd != nullptr ? m : 0);
  network_check::ExpectExtColumnsConsistent(net);

  for (std::int32_t v = 1; v <= nods; ++v) {
    const NNodConn_stru& conn = net.m_pNodConn[v - 1];
    if (conn.sConnNum > 0) {
      ASSERT_NE(conn.pConnEdge, nullptr) << "node " << v << " has a count but no list";
      ASSERT_GE(Entries(conn.pConnEdge), static_cast<std::size_t>(conn.sConnNum)) << "node " << v;
      for (std::int16_t k = 0; k < conn.sConnNum; ++k) {
        std::int32_t entry = conn.pConnEdge[k];
        std::int32_t e = entry < 0 ? -entry : entry;
        ASSERT_TRUE(e >= 1 && e <= edges) << "node " << v << " entry " << k << " is " << entry;
        if (network_check::IsDeleted(net, e)) continue;
        std::int32_t end = entry > 0 ? net.m_pEdgeNod[e - 1].lToNod : net.m_pEdgeNod[e - 1].lFromNod;
        EXPECT_EQ(end, v) << "node " << v << " lists " << entry << " but the edge does not "
                          << (entry > 0 ? "end" : "start") << " there";
      }
    }
    if (net.m_ppTurnWgt != nullptr && net.m_ppTurnWgt[v - 1] != nullptr && conn.sConnNum > 0) {
      std::size_t c = static_cast<std::size_t>(conn.sConnNum);
      EXPECT_GE(Entries(net.m_ppTurnWgt[v - 1]), c * c) << "turn matrix of node " << v;
    }
  }

  for (std::int32_t e = 1; e <= edges; ++e) {
    char up = net.m_pUpEdgeState[e - 1];
    char down = net.m_pDownEdgeState[e - 1];
    EXPECT_EQ(up == 2, down == 2) << "edge " << e << " is deleted in one direction only";
    if (network_check::IsDeleted(net, e)) continue;
    std::int32_t from = net.m_pEdgeNod[e - 1].lFromNod;
    std::int32_t to = net.m_pEdgeNod[e - 1].lToNod;
    ASSERT_TRUE(from >= 1 && from <= nods) << "edge " << e << " starts at " << from;
    ASSERT_TRUE(to >= 1 && to <= nods) << "edge " << e << " ends at " << to;
    EXPECT_TRUE(network_check::ListHas(net, to, e)) << "edge " << e << " missing from its to node " << to;
    EXPECT_TRUE(network_check::ListHas(net, from, -e)) << "edge " << e << " missing from its from node " << from;
  }
}

namespace network_check {

template <class T>
void ExpectSameTable(const T* a, const T* b, std::size_t count, const char* name) {
  ASSERT_EQ(a == nullptr, b == nullptr) << name;
  if (a == nullptr) return;
  EXPECT_NE(a, b) << name << " is shared";
  EXPECT_EQ(std::memcmp(a, b, count * sizeof(T)), 0) << name << " differs";
}

#if !KELVANE_FIRST_GENERATION
inline void ExpectSameExtColumns(const CLocalNetwork& a, const CLocalNetwork& b) {
  ASSERT_EQ(Elems(a.m_ExtEdgeWgtFld), Elems(b.m_ExtEdgeWgtFld));
  ASSERT_EQ(a.m_ExtEdgeWgt.GetSize(), b.m_ExtEdgeWgt.GetSize());
  for (std::int32_t i = 0; i < a.m_ExtEdgeWgt.GetSize(); ++i) {
    ExpectSameTable(a.m_ExtEdgeWgt.GetAt(i), b.m_ExtEdgeWgt.GetAt(i), static_cast<std::size_t>(a.m_lEdgeNum),
                    "extra weight table");
  }
  EXPECT_EQ(a.m_BlockedNod.m_lElemNum, b.m_BlockedNod.m_lElemNum);
  EXPECT_EQ(a.m_BlockedEdge.m_lElemNum, b.m_BlockedEdge.m_lElemNum);
}
#else
inline void ExpectSameExtColumns(const CLocalNetwork&, const CLocalNetwork&) {}  // no extra columns
#endif

}  // namespace network_check

// No table at all: a network never sized, or one whose tables were released.
inline void ExpectNoTables(const CLocalNetwork& net) {
  EXPECT_EQ(net.m_pEdgeNod, nullptr);
  EXPECT_EQ(net.m_pNodConn, nullptr);
  EXPECT_EQ(net.m_pEdgeWgt1, nullptr);
  EXPECT_EQ(net.m_pEdgeWgt2, nullptr);
  EXPECT_EQ(net.m_pNodWgt, nullptr);
  EXPECT_EQ(net.m_ppTurnWgt, nullptr);
  EXPECT_EQ(net.m_pNodState, nullptr);
  EXPECT_EQ(net.m_pUpEdgeState, nullptr);
  EXPECT_EQ(net.m_pDownEdgeState, nullptr);
  EXPECT_EQ(net.m_pEdgeDirect, nullptr);
  EXPECT_EQ(net.m_pNodDmd, nullptr);
  EXPECT_EQ(net.m_pEdgeDmd, nullptr);
}

// What a failed ReallocMemory leaves: no tables, every count and setting 0.
inline void ExpectCleared(const CLocalNetwork& net) {
  ExpectNoTables(net);
  EXPECT_EQ(net.m_lNodNum, 0);
  EXPECT_EQ(net.m_lEdgeNum, 0);
  EXPECT_EQ(net.m_lNodWgtFld, 0);
  EXPECT_EQ(net.m_lEdgeWgtFld1, 0);
  EXPECT_EQ(net.m_lEdgeWgtFld2, 0);
  EXPECT_EQ(net.m_cDmdFld, 0);
  EXPECT_EQ(net.m_lTurnWgtFlag, 0);
  EXPECT_EQ(net.m_lReserve, 0);
  EXPECT_EQ(net.m_cEdgeDirectMode, 0);
}

// b holds the same counts, settings and contents as a, in tables of its own
// (no table pointer shared), open trace bits included.
inline void ExpectSameNetwork(const CLocalNetwork& a, const CLocalNetwork& b) {
  using network_check::ExpectSameTable;
  ASSERT_EQ(a.m_lNodNum, b.m_lNodNum);
  ASSERT_EQ(a.m_lEdgeNum, b.m_lEdgeNum);
  EXPECT_EQ(a.m_lNodWgtFld, b.m_lNodWgtFld);
  EXPECT_EQ(a.m_lEdgeWgtFld1, b.m_lEdgeWgtFld1);
  EXPECT_EQ(a.m_lEdgeWgtFld2, b.m_lEdgeWgtFld2);
  EXPECT_EQ(a.m_cDmdFld, b.m_cDmdFld);
  EXPECT_EQ(a.m_lTurnWgtFlag, b.m_lTurnWgtFlag);
  EXPECT_EQ(a.m_lReserve, b.m_lReserve);
  EXPECT_EQ(a.m_cEdgeDirectMode, b.m_cEdgeDirectMode);
  EXPECT_EQ(a.m_lTraceFlag, b.m_lTraceFlag);
  ASSERT_EQ(a.m_lNodTraceBytes, b.m_lNodTraceBytes);
  ASSERT_EQ(a.m_lEdgeTraceBytes, b.m_lEdgeTraceBytes);
  const std::size_t n = static_cast<std::size_t>(a.m_lNodNum);
  const std::size_t m = static_cast<std::size_t>(a.m_lEdgeNum);
  ExpectSameTable(a.m_pEdgeNod, b.m_pEdgeNod, m, "m_pEdgeNod");
  ExpectSameTable(a.m_pEdgeWgt1, b.m_pEdgeWgt1, m, "m_pEdgeWgt1");
  ExpectSameTable(a.m_pEdgeWgt2, b.m_pEdgeWgt2, m, "m_pEdgeWgt2");
  ExpectSameTable(a.m_pNodWgt, b.m_pNodWgt, n, "m_pNodWgt");
  ExpectSameTable(a.m_pNodState, b.m_pNodState, n, "m_pNodState");
  ExpectSameTable(a.m_pUpEdgeState, b.m_pUpEdgeState, m, "m_pUpEdgeState");
  ExpectSameTable(a.m_pDownEdgeState, b.m_pDownEdgeState, m, "m_pDownEdgeState");
  ExpectSameTable(a.m_pEdgeDirect, b.m_pEdgeDirect, m, "m_pEdgeDirect");
  ExpectSameTable(a.m_pNodDmd, b.m_pNodDmd, n, "m_pNodDmd");
  ExpectSameTable(a.m_pEdgeDmd, b.m_pEdgeDmd, m, "m_pEdgeDmd");
  ExpectSameTable(a.m_pNodTraceBit, b.m_pNodTraceBit, static_cast<std::size_t>(a.m_lNodTraceBytes), "node trace bits");
  ExpectSameTable(a.m_pEdgeTraceBit, b.m_pEdgeTraceBit, static_cast<std::size_t>(a.m_lEdgeTraceBytes),
                  "edge trace bits");
  ASSERT_EQ(a.m_pNodConn == nullptr, b.m_pNodConn == nullptr);
  if (a.m_pNodConn != nullptr) {
    EXPECT_NE(a.m_pNodConn, b.m_pNodConn);
    for (std::size_t v = 0; v < n; ++v) {
      const NNodConn_stru& ca = a.m_pNodConn[v];
      const NNodConn_stru& cb = b.m_pNodConn[v];
      ASSERT_EQ(ca.sConnNum, cb.sConnNum) << "node " << v + 1;
      std::size_t c = ca.sConnNum > 0 && ca.pConnEdge != nullptr ? static_cast<std::size_t>(ca.sConnNum) : 0;
      ExpectSameTable(ca.pConnEdge, cb.pConnEdge, c, "connection list");
    }
  }
  ASSERT_EQ(a.m_ppTurnWgt == nullptr, b.m_ppTurnWgt == nullptr);
  if (a.m_ppTurnWgt != nullptr) {
    EXPECT_NE(a.m_ppTurnWgt, b.m_ppTurnWgt);
    for (std::size_t v = 0; v < n; ++v) {
      std::int16_t c = a.m_pNodConn != nullptr ? a.m_pNodConn[v].sConnNum : 0;
      std::size_t cc = c > 0 ? static_cast<std::size_t>(c) * static_cast<std::size_t>(c) : 0;
      ExpectSameTable(a.m_ppTurnWgt[v], b.m_ppTurnWgt[v], cc, "turn matrix");
    }
  }
  network_check::ExpectSameExtColumns(a, b);
}

#endif  // KELVANE_TESTS_SUPPORT_REFERENCECHECK_H
