// NetQuery.cpp - element states and directions, end nodes and the
// connectivity queries a traversal asks at every step.
//
// Every walk is bounded by the entry counts the tables carry: a connection
// entry that names no edge (0, or beyond the edge tables) is passed over, and a
// node whose count is positive but whose list is missing has no connections.
#include "kelvane/LocalNetwork.h"
#include "network/NetworkInt.h"

using kelvane::AbsEdge;
using kelvane::Bound;
using kelvane::kFirstGeneration;
using kelvane::RecordBlockedEdge;
using kelvane::RecordBlockedNod;

namespace {

// True for a node number that has an entry in `table`.
inline bool NodIn(const CLocalNetwork& net, std::int32_t lNod, const void* table) {
  return lNod >= 1 && lNod <= Bound(net.m_lNodNum, table);
}

// |lEdge| when it has an entry in `table`, else 0.
inline std::int32_t EdgeIn(const CLocalNetwork& net, std::int32_t lEdge, const void* table) {
  std::int32_t e = AbsEdge(lEdge);
  return (e >= 1 && e <= Bound(net.m_lEdgeNum, table)) ? e : 0;
}

void EmptyOutput(std::int32_t& lCount) { lCount = 0; }
void EmptyOutput(CSmartArray<std::int32_t>& edges) { edges.RemoveAll(); }

constexpr std::int32_t kNodOpen = -1;

// The opening every query of a node's connections shares: a node out of range
// answers 0 with the output untouched; otherwise the output is emptied, and a
// blocked node is recorded and answered (0, or 1 in the first generation).
// kNodOpen when the node is open and the query goes on.
template <class Output>
std::int32_t OpenNodQuery(CLocalNetwork& net, std::int32_t lNod, Output& out) {
  if (lNod < 1 || lNod > kelvane::NodBound(net)) return 0;
  EmptyOutput(out);
  if (net.m_pNodState[lNod - 1] == 1) {
    RecordBlockedNod(net, lNod);
    return kFirstGeneration ? 1 : 0;
  }
  return kNodOpen;
}

// Up and down lists share one walk; they differ in the state byte they test,
// the end node that must be this node, and (first generation) the sign kept.
enum class Side { kUp, kDown };

template <Side side>
std::int32_t ConnSideEdgeS(CLocalNetwork& net, std::int32_t lNod, CSmartArray<std::int32_t>& edges) {
  const std::int32_t status = OpenNodQuery(net, lNod, edges);
  if (status != kNodOpen) return status;
  const NNodConn_stru& conn = net.m_pNodConn[lNod - 1];
  const std::int32_t n = kelvane::ConnBound(conn);
  if (n == 0) return 1;
  const std::int32_t edgeBound = kelvane::EdgeStateBound(net);
  const std::int32_t nodBound = kelvane::EdgeEndBound(net);  // edges whose end nodes can be read
  const char* state = side == Side::kUp ? net.m_pUpEdgeState : net.m_pDownEdgeState;
  std::int32_t* out = edges.ReserveBack(n);
  std::int32_t kept = 0;
  for (std::int32_t i = 0; i < n; ++i) {
    const std::int32_t entry = conn.pConnEdge[i];
    const std::int32_t e = AbsEdge(entry);
    if (e < 1 || e > edgeBound) continue;
    if (kFirstGeneration) {
      // The first generation chooses by sign: -e starts here under flag
      // mapping's convention for the up list, +e ends here for the down list.
      const bool sideSign = side == Side::kUp ? entry < 0 : entry > 0;
      if (sideSign && state[e - 1] != 1) out[kept++] = entry;
      continue;
    }
    if (state[e - 1] == 1) {
      RecordBlockedEdge(net, entry);
      continue;
    }
    if (e > nodBound) continue;
    const std::int32_t end = side == Side::kUp ? net.m_pEdgeNod[e - 1].lToNod : net.m_pEdgeNod[e - 1].lFromNod;
    if (end == lNod) out[kept++] = entry;
  }
  edges.CommitBack(kept);
  return 1;
}

}  // namespace

std::int32_t CLocalNetwork::GetNodState(std::int32_t lNod, char& cState) {
  if (!NodIn(*this, lNod, m_pNodState)) return 0;
  cState = m_pNodState[lNod - 1];
  return 1;
}

std::int32_t CLocalNetwork::SetNodState(std::int32_t lNod, char cState) {
  if (!NodIn(*this, lNod, m_pNodState)) return 0;
  m_pNodState[lNod - 1] = cState;
  return 1;
}

std::int32_t CLocalNetwork::GetUpEdgeState(std::int32_t lEdge, char& cState) {
  std::int32_t e = EdgeIn(*this, lEdge, m_pUpEdgeState);
  if (e == 0) return 0;
  cState = m_pUpEdgeState[e - 1];
  return 1;
}

std::int32_t CLocalNetwork::SetUpEdgeState(std::int32_t lEdge, char cState) {
  std::int32_t e = EdgeIn(*this, lEdge, m_pUpEdgeState);
  if (e == 0) return 0;
  m_pUpEdgeState[e - 1] = cState;
  return 1;
}

std::int32_t CLocalNetwork::GetDownEdgeState(std::int32_t lEdge, char& cState) {
  std::int32_t e = EdgeIn(*this, lEdge, m_pDownEdgeState);
  if (e == 0) return 0;
  cState = m_pDownEdgeState[e - 1];
  return 1;
}

std::int32_t CLocalNetwork::SetDownEdgeState(std::int32_t lEdge, char cState) {
  std::int32_t e = EdgeIn(*this, lEdge, m_pDownEdgeState);
  if (e == 0) return 0;
  m_pDownEdgeState[e - 1] = cState;
  return 1;
}

std::int32_t CLocalNetwork::GetEdgeDirect(std::int32_t lEdge, char& cDirect) {
  std::int32_t e = EdgeIn(*this, lEdge, m_pEdgeDirect);
  if (e == 0 || m_cEdgeDirectMode == 0) return 0;
  cDirect = m_pEdgeDirect[e - 1];
  return 1;
}

std::int32_t CLocalNetwork::SetEdgeDirect(std::int32_t lEdge, char cDirect) {
  std::int32_t e = EdgeIn(*this, lEdge, m_pEdgeDirect);
  if (e == 0 || m_cEdgeDirectMode == 0) return 0;
  m_pEdgeDirect[e - 1] = cDirect;
  return 1;
}

std::int32_t CLocalNetwork::GetEdgeFromToNod(std::int32_t lEdge, std::int32_t& lFrom, std::int32_t& lTo) {
  std::int32_t e = AbsEdge(lEdge);
  if (e < 1 || e > kelvane::EdgeEndBound(*this)) return 0;
  if (m_pUpEdgeState[e - 1] == 1 && m_pDownEdgeState[e - 1] == 1) {
    lFrom = 0;
    lTo = 0;
    RecordBlockedEdge(*this, e);
    return kFirstGeneration ? 1 : 0;
  }
  lFrom = m_pEdgeNod[e - 1].lFromNod;
  lTo = m_pEdgeNod[e - 1].lToNod;
  return 1;
}

std::int32_t CLocalNetwork::GetNodConnEdgeNum(std::int32_t lNod, std::int32_t& lCount) {
  const std::int32_t status = OpenNodQuery(*this, lNod, lCount);
  if (status != kNodOpen) return status;
  const NNodConn_stru& conn = m_pNodConn[lNod - 1];
  const std::int32_t n = kelvane::ConnBound(conn);
  const std::int32_t edgeBound = kelvane::EdgeStateBound(*this);
  std::int32_t count = 0;
  for (std::int32_t i = 0; i < n; ++i) {
    const std::int32_t e = AbsEdge(conn.pConnEdge[i]);
    if (e < 1 || e > edgeBound) continue;
    // Only the up state decides here.
    if (m_pUpEdgeState[e - 1] == 1) {
      RecordBlockedEdge(*this, e);
    } else {
      ++count;
    }
  }
  lCount = count;
  return 1;
}

std::int32_t CLocalNetwork::GetNodConnEdgeS(std::int32_t lNod, CSmartArray<std::int32_t>& edges) {
  const std::int32_t status = OpenNodQuery(*this, lNod, edges);
  if (status != kNodOpen) return status;
  const NNodConn_stru& conn = m_pNodConn[lNod - 1];
  const std::int32_t n = kelvane::ConnBound(conn);
  if (n == 0) return 1;
  const std::int32_t edgeBound = kelvane::EdgeStateBound(*this);
  std::int32_t* out = edges.ReserveBack(n);
  std::int32_t kept = 0;
  for (std::int32_t i = 0; i < n; ++i) {
    const std::int32_t e = AbsEdge(conn.pConnEdge[i]);
    if (e < 1 || e > edgeBound) continue;
    if (m_pUpEdgeState[e - 1] == 1 && m_pDownEdgeState[e - 1] == 1) {
      RecordBlockedEdge(*this, e);
    } else {
      out[kept++] = e;
    }
  }
  edges.CommitBack(kept);
  return 1;
}

std::int32_t CLocalNetwork::GetNodConnUpEdgeS(std::int32_t lNod, CSmartArray<std::int32_t>& edges) {
  return ConnSideEdgeS<Side::kUp>(*this, lNod, edges);
}

std::int32_t CLocalNetwork::GetNodConnDownEdgeS(std::int32_t lNod, CSmartArray<std::int32_t>& edges) {
  return ConnSideEdgeS<Side::kDown>(*this, lNod, edges);
}
