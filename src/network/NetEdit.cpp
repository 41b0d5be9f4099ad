// NetEdit.cpp - connection and turn memory for the host, and the primitives
// with which flag mapping grows the network and marks split edges deleted.
#include <cstring>
#include <new>
#include <type_traits>

#include "kelvane/LocalNetwork.h"
#include "network/NetTables.h"
#include "network/NetworkInt.h"
#include "network/TableAlloc.h"

using kelvane::Bound;
using kelvane::GrowTableIn;
using kelvane::ReleaseTable;
using kelvane::TableEntries;

std::int32_t CLocalNetwork::ReallocNodConnEdgeMemory(std::int32_t lNod, std::int16_t sNum) {
  if (lNod < 1 || lNod > Bound(m_lNodNum, m_pNodConn) || sNum < 0) return 0;
  NNodConn_stru& conn = m_pNodConn[lNod - 1];
  std::int32_t* list = kelvane::RenewConnList(m_pNodConn, conn.pConnEdge, static_cast<std::size_t>(sNum));
  if (list == nullptr) throw std::bad_alloc();
  conn.sConnNum = sNum;
  conn.pConnEdge = list;
  return 1;
}

std::int32_t CLocalNetwork::ReallocNodTurnWgtMemory(std::int32_t lNod, std::int16_t sNum) {
  if (lNod < 1 || lNod > Bound(m_lNodNum, m_ppTurnWgt)) return 0;
  const std::int32_t cells = static_cast<std::int32_t>(sNum) * sNum;  // at most 32768 squared
  double* matrix = kelvane::NewTable<double>(static_cast<std::size_t>(cells));
  if (matrix == nullptr) throw std::bad_alloc();
  ReleaseTable(m_ppTurnWgt[lNod - 1]);
  m_ppTurnWgt[lNod - 1] = matrix;
  return 1;
}

namespace {

using kelvane::ExtColumnsDesc;
using kelvane::ForEachTable;
using kelvane::HeldTable;
using kelvane::kHoldsTables;
using kelvane::Per;
using kelvane::TableDesc;

// Grows every table that exists once, in list order; a table that does not
// exist stays absent.
struct GrowVisitor {
  std::size_t nodUsed;
  std::size_t nodNew;
  std::size_t edgeUsed;
  std::size_t edgeNew;
  CLocalNetwork& net;
  template <class T>
  void operator()(TableDesc<T> d) const {
    T*& table = net.*d.member;
    if (table == nullptr) return;
    const std::size_t used = d.per == Per::kNod ? nodUsed : edgeUsed;
    GrowTableIn(table, used, d.per == Per::kNod ? nodNew : edgeNew);
    if constexpr (std::is_same<T, double*>::value) {
      // A node flag mapping adds has exactly two connections.
      for (std::size_t i = used; i < nodNew; ++i) {
        table[i] = kelvane::NewTable<double>(4);
        if (table[i] == nullptr) throw std::bad_alloc();
      }
    }
  }
  template <class Tables, class Ids>
  void operator()(ExtColumnsDesc<Tables, Ids> d) const {
    // Extra columns grow with the other edge tables, so every piece flag
    // mapping adds has an entry in each of them.
    Tables& tables = net.*d.tables;
    for (std::int32_t i = 0; i < tables.GetSize(); ++i) {
      NWeightVal_stru** slot = tables.GetPtr(i);
      if (*slot != nullptr) GrowTableIn(*slot, edgeUsed, edgeNew);
    }
  }
};

// Releases the lists and matrices held in the entries past the first `used`
// ones: room that an earlier growth made and no append took. Growing keeps
// only the used entries, so anything held there would otherwise be lost.
struct ReleaseSpareVisitor {
  std::size_t used;
  CLocalNetwork& net;
  template <class T>
  void operator()(TableDesc<T> d) const {
    if constexpr (kHoldsTables<T>) {
      T* table = net.*d.member;
      for (std::size_t i = used; i < TableEntries(table); ++i) ReleaseTable(HeldTable(table[i]));
      if constexpr (std::is_same<T, NNodConn_stru>::value) {
        for (std::size_t i = used; i < TableEntries(table); ++i) table[i].sConnNum = 0;
      }
    }
  }
  template <class Tables, class Ids>
  void operator()(ExtColumnsDesc<Tables, Ids> /*unused*/) const {}
};

// Whether every table of elements of kind `per` that exists, the extra
// columns included for edges, has an entry at index `at`.
struct HasEntryVisitor {
  const CLocalNetwork& net;
  Per per;
  std::size_t at;
  bool ok = true;
  template <class T>
  void operator()(TableDesc<T> d) {
    const T* table = net.*d.member;
    if (d.per == per && table != nullptr && TableEntries(table) <= at) ok = false;
  }
  template <class Tables, class Ids>
  void operator()(ExtColumnsDesc<Tables, Ids> d) {
    const Tables& tables = net.*d.tables;
    for (std::int32_t i = 0; i < tables.GetSize() && per == Per::kEdge; ++i) {
      const NWeightVal_stru* table = tables.GetAt(i);
      if (table != nullptr && TableEntries(table) <= at) ok = false;
    }
  }
};

bool AllHaveEntry(const CLocalNetwork& net, Per per, std::size_t at) {
  HasEntryVisitor check{net, per, at};
  ForEachTable(check);
  return check.ok;
}

}  // namespace

std::int32_t CLocalNetwork::AppendElemS(std::int32_t lNodAdd, std::int32_t lEdgeAdd) {
  if (lNodAdd < 0 || lEdgeAdd < 0 || m_lNodNum < 0 || m_lEdgeNum < 0) return 0;
  const std::int64_t nNodTotal = static_cast<std::int64_t>(m_lNodNum) + lNodAdd;
  const std::int64_t nEdgeTotal = static_cast<std::int64_t>(m_lEdgeNum) + lEdgeAdd;
  if (nNodTotal > INT32_MAX || nEdgeTotal > INT32_MAX) return 0;
  const auto nodUsed = static_cast<std::size_t>(m_lNodNum);
  const auto edgeUsed = static_cast<std::size_t>(m_lEdgeNum);
  // If memory runs out part-way, the tables already grown keep their new
  // length and the counts are unchanged, so the network stays usable.
  ForEachTable(ReleaseSpareVisitor{nodUsed, *this});
  ForEachTable(GrowVisitor{nodUsed, static_cast<std::size_t>(nNodTotal), edgeUsed,
                           static_cast<std::size_t>(nEdgeTotal), *this});
  return 1;
}

std::int32_t CLocalNetwork::AppendNod() {
  if (m_lNodNum < 0 || m_lNodNum == INT32_MAX) return 0;
  const std::size_t at = static_cast<std::size_t>(m_lNodNum);
  if (!AllHaveEntry(*this, Per::kNod, at)) return 0;
  ++m_lNodNum;
  if (m_pNodWgt != nullptr) {
    m_pNodWgt[at].cType = 4;
    m_pNodWgt[at].dVal = 0.0;
  }
  if (m_pNodConn != nullptr) {
    m_pNodConn[at].sConnNum = 0;
    m_pNodConn[at].pConnEdge = nullptr;
  }
  if (m_pNodState != nullptr) m_pNodState[at] = 0;
  if (m_pNodDmd != nullptr) m_pNodDmd[at] = 0.0;
  return m_lNodNum;
}

std::int32_t CLocalNetwork::AppendEdge(NWeightVal_stru& wgt2, NWeightVal_stru& wgt1, char cUpState, char cDownState,
                                       char cDirect, double dDmd) {
  if (m_lEdgeNum < 0 || m_lEdgeNum == INT32_MAX) return 0;
  const std::size_t at = static_cast<std::size_t>(m_lEdgeNum);
  if (!AllHaveEntry(*this, Per::kEdge, at)) return 0;
  ++m_lEdgeNum;
  if (m_pEdgeNod != nullptr) {
    m_pEdgeNod[at].lFromNod = 0;
    m_pEdgeNod[at].lToNod = 0;
  }
  // Whole records, type byte included: nothing is converted.
  if (m_pEdgeWgt2 != nullptr) std::memcpy(&m_pEdgeWgt2[at], &wgt2, sizeof(NWeightVal_stru));
  if (m_pEdgeWgt1 != nullptr) std::memcpy(&m_pEdgeWgt1[at], &wgt1, sizeof(NWeightVal_stru));
  if (m_pDownEdgeState != nullptr) m_pDownEdgeState[at] = cDownState;
  if (m_pUpEdgeState != nullptr) m_pUpEdgeState[at] = cUpState;
  if (m_pEdgeDirect != nullptr) m_pEdgeDirect[at] = cDirect;
  if (m_pEdgeDmd != nullptr) m_pEdgeDmd[at] = dDmd;
  return m_lEdgeNum;
}

std::int32_t CLocalNetwork::DeleteEdge(std::int32_t lEdge) {
  std::int32_t e = kelvane::AbsEdge(lEdge);
  if (e < 1 || e > kelvane::EdgeStateBound(*this)) return 0;
  m_pDownEdgeState[e - 1] = 2;
  m_pUpEdgeState[e - 1] = 2;
  return 1;
}
