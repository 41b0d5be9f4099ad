// NetEdit.cpp - connection and turn memory for the host, and the primitives
// with which flag mapping grows the network and marks split edges deleted.
#include <cstring>
#include <new>

#include "kelvane/LocalNetwork.h"
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

// Releases the lists and matrices held in the entries past the first `used`
// ones: room that an earlier growth made and no append took. Growing keeps
// only the used entries, so anything held there would otherwise be lost.
void ReleaseSpareNodeData(CLocalNetwork& net, std::size_t used) {
  for (std::size_t i = used; i < TableEntries(net.m_pNodConn); ++i) {
    ReleaseTable(net.m_pNodConn[i].pConnEdge);
    net.m_pNodConn[i].sConnNum = 0;
  }
  for (std::size_t i = used; i < TableEntries(net.m_ppTurnWgt); ++i) ReleaseTable(net.m_ppTurnWgt[i]);
}

// True when every table that exists has an entry at index `at`.
template <class... T>
bool AllHaveEntry(std::size_t at, const T*... tables) {
  bool ok = true;
  const void* list[] = {tables...};
  for (const void* t : list) ok = ok && (t == nullptr || TableEntries(t) > at);
  return ok;
}

}  // namespace

std::int32_t CLocalNetwork::AppendElemS(std::int32_t lNodAdd, std::int32_t lEdgeAdd) {
  if (lNodAdd < 0 || lEdgeAdd < 0 || m_lNodNum < 0 || m_lEdgeNum < 0) return 0;
  const std::int64_t nNodTotal = static_cast<std::int64_t>(m_lNodNum) + lNodAdd;
  const std::int64_t nEdgeTotal = static_cast<std::int64_t>(m_lEdgeNum) + lEdgeAdd;
  if (nNodTotal > INT32_MAX || nEdgeTotal > INT32_MAX) return 0;
  const std::size_t nodUsed = static_cast<std::size_t>(m_lNodNum);
  const std::size_t edgeUsed = static_cast<std::size_t>(m_lEdgeNum);
  const std::size_t nodNew = static_cast<std::size_t>(nNodTotal);
  const std::size_t edgeNew = static_cast<std::size_t>(nEdgeTotal);

  // Every table is grown once; a table that does not exist stays absent. If
  // memory runs out part-way, the tables already grown keep their new length
  // and the counts are unchanged, so the network stays usable.
  ReleaseSpareNodeData(*this, nodUsed);
  if (m_pEdgeNod != nullptr) GrowTableIn(m_pEdgeNod, edgeUsed, edgeNew);
  if (m_pNodConn != nullptr) GrowTableIn(m_pNodConn, nodUsed, nodNew);
  if (m_pNodWgt != nullptr) GrowTableIn(m_pNodWgt, nodUsed, nodNew);
  if (m_pEdgeWgt1 != nullptr) GrowTableIn(m_pEdgeWgt1, edgeUsed, edgeNew);
  if (m_pEdgeWgt2 != nullptr) GrowTableIn(m_pEdgeWgt2, edgeUsed, edgeNew);
#if !KELVANE_FIRST_GENERATION
  // Extra columns grow with the other edge tables, so every piece flag mapping
  // adds has an entry in each of them.
  for (std::int32_t i = 0; i < m_ExtEdgeWgt.GetSize(); ++i) {
    NWeightVal_stru** slot = m_ExtEdgeWgt.GetPtr(i);
    if (*slot != nullptr) GrowTableIn(*slot, edgeUsed, edgeNew);
  }
#endif
  if (m_ppTurnWgt != nullptr) {
    GrowTableIn(m_ppTurnWgt, nodUsed, nodNew);
    // A node flag mapping adds has exactly two connections.
    for (std::size_t i = nodUsed; i < nodNew; ++i) {
      m_ppTurnWgt[i] = kelvane::NewTable<double>(4);
      if (m_ppTurnWgt[i] == nullptr) throw std::bad_alloc();
    }
  }
  if (m_pNodState != nullptr) GrowTableIn(m_pNodState, nodUsed, nodNew);
  if (m_pUpEdgeState != nullptr) GrowTableIn(m_pUpEdgeState, edgeUsed, edgeNew);
  if (m_pDownEdgeState != nullptr) GrowTableIn(m_pDownEdgeState, edgeUsed, edgeNew);
  if (m_pEdgeDirect != nullptr) GrowTableIn(m_pEdgeDirect, edgeUsed, edgeNew);
  if (m_pNodDmd != nullptr) GrowTableIn(m_pNodDmd, nodUsed, nodNew);
  if (m_pEdgeDmd != nullptr) GrowTableIn(m_pEdgeDmd, edgeUsed, edgeNew);
  return 1;
}

std::int32_t CLocalNetwork::AppendNod() {
  if (m_lNodNum < 0 || m_lNodNum == INT32_MAX) return 0;
  const std::size_t at = static_cast<std::size_t>(m_lNodNum);
  if (!AllHaveEntry(at, m_pNodWgt, m_pNodConn, m_pNodState, m_pNodDmd)) return 0;
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
  if (!AllHaveEntry(at, m_pEdgeNod, m_pEdgeWgt2, m_pEdgeWgt1, m_pDownEdgeState, m_pUpEdgeState, m_pEdgeDirect,
                    m_pEdgeDmd)) {
    return 0;
  }
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
