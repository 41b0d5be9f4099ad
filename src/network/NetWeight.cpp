// NetWeight.cpp - node and edge weights by column, turn weights and demand.
#include "kelvane/LocalNetwork.h"
#include "network/NetworkInt.h"

using kelvane::AbsEdge;
using kelvane::Bound;
using kelvane::TableEntries;

namespace {

// The node's turn matrix when turn weights exist and the node has one.
const double* TurnMatrix(const CLocalNetwork& net, std::int32_t lNod) {
  if (net.m_lTurnWgtFlag != 1) return nullptr;
  return net.m_ppTurnWgt[lNod - 1];
}

}  // namespace

std::int32_t CLocalNetwork::GetNodWgtVal(std::int32_t lNod, std::int32_t lFld, NWeightVal_stru& val) {
  if (lNod < 1 || lNod > Bound(m_lNodNum, m_pNodWgt) || m_lNodWgtFld < 0 || lFld != m_lNodWgtFld) return 0;
  val = m_pNodWgt[lNod - 1];
  return 1;
}

std::int32_t CLocalNetwork::GetEdgeWgtVal(std::int32_t lEdge, std::int32_t lFld, NWeightVal_stru& val) {
  const std::int32_t e = AbsEdge(lEdge);
  if (e < 1 || e > m_lEdgeNum) return 0;
  const NWeightVal_stru* table = kelvane::EdgeColumn(*this, lFld);
  if (table == nullptr || static_cast<std::size_t>(e) > TableEntries(table)) return 0;
  val = table[e - 1];
  return 1;
}

std::int32_t CLocalNetwork::GetTurnWgtVal(std::int32_t lNod, std::int32_t lEdge1, std::int32_t lEdge2,
                                          double& dVal) {
  if (lNod < 1 || lNod > Bound(Bound(m_lNodNum, m_pNodConn), m_ppTurnWgt)) return 0;
  const double* matrix = TurnMatrix(*this, lNod);
  const NNodConn_stru& conn = m_pNodConn[lNod - 1];
  const std::int32_t n = conn.sConnNum;
  if (matrix == nullptr || n <= 0) return 0;
  // Both tests run at every position, so a repeated edge resolves to its last one.
  const std::int32_t nList = kelvane::ConnBound(conn);
  std::int32_t p = -1;
  std::int32_t q = -1;
  for (std::int32_t i = 0; i < nList; ++i) {
    const std::int32_t a = AbsEdge(conn.pConnEdge[i]);
    if (a == lEdge1) p = i;
    if (a == lEdge2) q = i;
  }
  if (p < 0 || q < 0) return 0;
  const std::size_t at = static_cast<std::size_t>(p) * static_cast<std::size_t>(n) + static_cast<std::size_t>(q);
  if (at >= TableEntries(matrix)) return 0;
  dVal = matrix[at];
  return 1;
}

std::int32_t CLocalNetwork::GetTurnWgtMatrix(std::int32_t lNod, CSmartArray<std::int32_t>& edges,
                                             CSmartArray<double>& weights) {
  if (lNod < 1 || lNod > Bound(Bound(m_lNodNum, m_pNodConn), m_ppTurnWgt) || m_lTurnWgtFlag != 1) return 0;
  const NNodConn_stru& conn = m_pNodConn[lNod - 1];
  const std::int32_t n = kelvane::ConnBound(conn);
  const double* matrix = TurnMatrix(*this, lNod);
  const std::size_t cells = static_cast<std::size_t>(n) * static_cast<std::size_t>(n);
  // A node with connections but no matrix of that size has nothing to give.
  if (n > 0 && (matrix == nullptr || TableEntries(matrix) < cells)) return 0;
  edges.RemoveAll();
  weights.RemoveAll();
  if (n == 0) return 1;
  std::int32_t* outEdges = edges.ReserveBack(n);
  for (std::int32_t i = 0; i < n; ++i) outEdges[i] = conn.pConnEdge[i];
  edges.CommitBack(n);
  const std::int32_t nCells = static_cast<std::int32_t>(cells);
  double* outWeights = weights.ReserveBack(nCells);
  for (std::int32_t i = 0; i < nCells; ++i) outWeights[i] = matrix[i];
  weights.CommitBack(nCells);
  return 1;
}

std::int32_t CLocalNetwork::GetNodDmdVal(std::int32_t lNod, double& dVal) {
  if (m_cDmdFld < 0 || lNod < 1 || lNod > Bound(m_lNodNum, m_pNodDmd)) return 0;
  dVal = m_pNodDmd[lNod - 1];
  return 1;
}

std::int32_t CLocalNetwork::GetEdgeDmdVal(std::int32_t lEdge, double& dVal) {
  if (m_cDmdFld < 0 || lEdge < 1 || lEdge > Bound(m_lEdgeNum, m_pEdgeDmd)) return 0;
  dVal = m_pEdgeDmd[lEdge - 1];
  return 1;
}
