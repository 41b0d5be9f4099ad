// NetworkBuilder.cpp - a CLocalNetwork filled from what a host added, in two
// passes over the edges: one counts each node's connections (and checks the
// end nodes), the other writes every list into room of exactly that size.
#include "kelvane/tools/NetworkBuilder.h"

#include <cstring>
#include <limits>
#include <new>

#include "tools/ToolsInt.h"

namespace kelvane {
namespace tools {

namespace {

constexpr std::int32_t kMaxCount = std::numeric_limits<std::int32_t>::max();
constexpr std::uint32_t kMaxConn = 32767;  // a node's connection count is 16 bits, signed

// Writes entry n - 1 of a value column. A column grows only as far as values
// are given (entries skipped read as zero); its first growth takes `room`, so
// a column beside a reserved edge list is not grown step by step.
template <class T>
void Put(std::vector<T>& column, std::size_t room, std::int32_t n, const T& value) {
  const std::size_t i = static_cast<std::size_t>(n) - 1;
  if (i < column.size()) {
    column[i] = value;
    return;
  }
  if (column.capacity() < room) column.reserve(room);
  if (i > column.size()) column.resize(i);
  column.push_back(value);
}

// Copies the values given (fewer than count when the last elements got none;
// the table is zero-filled already).
template <class T>
void CopyColumn(T* table, const std::vector<T>& column, std::size_t count) {
  if (table == nullptr || column.empty()) return;
  const std::size_t n = column.size() < count ? column.size() : count;
  std::memcpy(static_cast<void*>(table), column.data(), n * sizeof(T));
}

// Leaves net with no tables and every count and setting 0: ReallocMemory
// releases what is held and then refuses a negative count.
void ClearNetwork(CLocalNetwork& net) {
  kelvane::tools::SetExtFlds(net, std::vector<std::int32_t>());
  net.m_lNodNum = -1;
  net.m_lEdgeNum = -1;
  net.ReallocMemory();
}

}  // namespace

CNetworkBuilder::CNetworkBuilder()
    : m_lNodWgtFld(-1),
      m_lEdgeWgtFld1(-1),
      m_lEdgeWgtFld2(-1),
      m_cDmdFld(-1),
      m_cEdgeDirectMode(0),
      m_lTurnWgtFlag(0),
      m_lNodNum(0),
      m_bError(false) {}

std::int32_t CNetworkBuilder::Refuse(NFindingCode eCode, NElemKind eKind, std::int32_t lElem, const std::string& strText) {
  if (!m_bError) {
    m_bError = true;
    m_firstError = MakeFinding(eCode, eKind, lElem, strText);
  }
  return 0;
}

void CNetworkBuilder::NoMemory() {
  if (m_bError) return;
  m_bError = true;
  RefuseNoMemory(&m_firstError, "out of memory");  // short: kept without allocating
}

bool CNetworkBuilder::CheckNod(std::int32_t lNod, const char* pszWhat) {
  if (lNod >= 1 && lNod <= m_lNodNum) return true;
  Refuse(NFindingCode::OutOfRange, NElemKind::Node, lNod,
         Format("node %d: %s given, but the network has nodes 1 to %d only", lNod, pszWhat, m_lNodNum));
  return false;
}

bool CNetworkBuilder::CheckEdge(std::int32_t lEdge, const char* pszWhat) {
  if (lEdge >= 1 && lEdge <= GetEdgeNum()) return true;
  Refuse(NFindingCode::OutOfRange, NElemKind::Edge, lEdge,
         Format("edge %d: %s given, but only %d edges have been added", lEdge, pszWhat, GetEdgeNum()));
  return false;
}

void CNetworkBuilder::SetNodWgtFld(std::int32_t lFld) { m_lNodWgtFld = lFld; }
void CNetworkBuilder::SetEdgeWgtFld1(std::int32_t lFld) { m_lEdgeWgtFld1 = lFld; }
void CNetworkBuilder::SetEdgeWgtFld2(std::int32_t lFld) { m_lEdgeWgtFld2 = lFld; }
void CNetworkBuilder::SetDmdFld(char cFld) { m_cDmdFld = cFld; }

std::int32_t CNetworkBuilder::SetEdgeDirectMode(char cMode) {
  try {
    if (cMode < 0 || cMode > 2) {
      return Refuse(NFindingCode::BadArgument, NElemKind::Network, 0, Format("direction mode %d is not 0, 1 or 2", cMode));
    }
    m_cEdgeDirectMode = cMode;
    return 1;
  } catch (const std::bad_alloc&) {
    NoMemory();
    return 0;
  }
}

std::int32_t CNetworkBuilder::SetTurnWgtFlag(std::int32_t lFlag) {
  try {
    if (lFlag != 0 && lFlag != 1) return Refuse(NFindingCode::BadArgument, NElemKind::Network, 0, Format("turn-weight flag %d is not 0 or 1", lFlag));
    m_lTurnWgtFlag = lFlag;
    return 1;
  } catch (const std::bad_alloc&) {
    NoMemory();
    return 0;
  }
}

std::int32_t CNetworkBuilder::AddExtEdgeWgtFld(std::int32_t lFld) {
  try {
    if (kelvane::tools::kFirstGeneration) {
      Refuse(NFindingCode::BadArgument, NElemKind::Network, 0, Format("extra weight column %d: the first generation has no extra columns", lFld));
      return -1;
    }
    if (lFld < 0) {
      Refuse(NFindingCode::BadArgument, NElemKind::Network, 0, Format("extra weight column id %d is negative", lFld));
      return -1;
    }
    m_extFlds.push_back(lFld);
    m_extWgt.emplace_back();
    return static_cast<std::int32_t>(m_extFlds.size()) - 1;
  } catch (const std::bad_alloc&) {
    NoMemory();
    return -1;
  }
}

std::int32_t CNetworkBuilder::Reserve(std::int32_t lEdges) {
  try {
    if (lEdges < 0) return Refuse(NFindingCode::BadArgument, NElemKind::Network, 0, Format("edge count %d is negative", lEdges));
    m_edgeNod.reserve(static_cast<std::size_t>(lEdges));
    return 1;
  } catch (const std::bad_alloc&) {
    NoMemory();
    return 0;
  }
}

std::int32_t CNetworkBuilder::SetNodNum(std::int32_t lNods) {
  try {
    if (lNods < 0) return Refuse(NFindingCode::BadArgument, NElemKind::Network, 0, Format("node count %d is negative", lNods));
    m_lNodNum = lNods;
    const std::size_t n = static_cast<std::size_t>(lNods);
    if (m_nodWgt.size() > n) m_nodWgt.resize(n);
    if (m_nodDmd.size() > n) m_nodDmd.resize(n);
    if (m_nodState.size() > n) m_nodState.resize(n);
    return 1;
  } catch (const std::bad_alloc&) {
    NoMemory();
    return 0;
  }
}

std::int32_t CNetworkBuilder::AddNod() {
  try {
    if (m_lNodNum == kMaxCount) return Refuse(NFindingCode::OutOfRange, NElemKind::Network, 0, "node count is at its limit");
    return ++m_lNodNum;
  } catch (const std::bad_alloc&) {
    NoMemory();
    return 0;
  }
}

std::int32_t CNetworkBuilder::AddEdgeGrow(std::int32_t lFrom, std::int32_t lTo) {
  try {
    if (GetEdgeNum() == kMaxCount) return Refuse(NFindingCode::OutOfRange, NElemKind::Network, 0, "edge count is at its limit");
    m_edgeNod.push_back(NEdgeNod_stru{lFrom, lTo});
    return GetEdgeNum();
  } catch (const std::bad_alloc&) {
    NoMemory();
    return 0;
  }
}

std::int32_t CNetworkBuilder::SetNodWgt(std::int32_t lNod, const NWeightVal_stru& wgt) {
  try {
    if (!CheckNod(lNod, "a weight")) return 0;
    const std::size_t n = static_cast<std::size_t>(m_lNodNum);
    Put(m_nodWgt, n, lNod, wgt);
    return 1;
  } catch (const std::bad_alloc&) {
    NoMemory();
    return 0;
  }
}

std::int32_t CNetworkBuilder::SetNodDmd(std::int32_t lNod, double dDmd) {
  try {
    if (!CheckNod(lNod, "a demand")) return 0;
    const std::size_t n = static_cast<std::size_t>(m_lNodNum);
    Put(m_nodDmd, n, lNod, dDmd);
    return 1;
  } catch (const std::bad_alloc&) {
    NoMemory();
    return 0;
  }
}

std::int32_t CNetworkBuilder::SetNodState(std::int32_t lNod, char cState) {
  try {
    if (!CheckNod(lNod, "a state")) return 0;
    const std::size_t n = static_cast<std::size_t>(m_lNodNum);
    Put(m_nodState, n, lNod, cState);
    return 1;
  } catch (const std::bad_alloc&) {
    NoMemory();
    return 0;
  }
}

std::int32_t CNetworkBuilder::SetEdgeWgt1At(std::int32_t lEdge, const NWeightVal_stru& wgt) {
  try {
    if (!CheckEdge(lEdge, "a weight in column 1")) return 0;
    Put(m_edgeWgt1, m_edgeNod.capacity(), lEdge, wgt);
    return 1;
  } catch (const std::bad_alloc&) {
    NoMemory();
    return 0;
  }
}

std::int32_t CNetworkBuilder::SetEdgeWgt2At(std::int32_t lEdge, const NWeightVal_stru& wgt) {
  try {
    if (!CheckEdge(lEdge, "a weight in column 2")) return 0;
    Put(m_edgeWgt2, m_edgeNod.capacity(), lEdge, wgt);
    return 1;
  } catch (const std::bad_alloc&) {
    NoMemory();
    return 0;
  }
}

std::int32_t CNetworkBuilder::SetExtEdgeWgt(std::int32_t lColumn, std::int32_t lEdge, const NWeightVal_stru& wgt) {
  try {
    if (lColumn < 0 || static_cast<std::size_t>(lColumn) >= m_extWgt.size()) {
      return Refuse(NFindingCode::BadArgument, NElemKind::Edge, lEdge,
                    Format("edge %d: a weight given for extra column %d, which was never added", lEdge, lColumn));
    }
    if (!CheckEdge(lEdge, "an extra weight")) return 0;
    Put(m_extWgt[static_cast<std::size_t>(lColumn)], m_edgeNod.capacity(), lEdge, wgt);
    return 1;
  } catch (const std::bad_alloc&) {
    NoMemory();
    return 0;
  }
}

std::int32_t CNetworkBuilder::SetEdgeDmdAt(std::int32_t lEdge, double dDmd) {
  try {
    if (!CheckEdge(lEdge, "a demand")) return 0;
    Put(m_edgeDmd, m_edgeNod.capacity(), lEdge, dDmd);
    return 1;
  } catch (const std::bad_alloc&) {
    NoMemory();
    return 0;
  }
}

std::int32_t CNetworkBuilder::SetEdgeState(std::int32_t lEdge, char cUpState, char cDownState) {
  try {
    if (!CheckEdge(lEdge, "a state")) return 0;
    Put(m_upState, m_edgeNod.capacity(), lEdge, cUpState);
    Put(m_downState, m_edgeNod.capacity(), lEdge, cDownState);
    return 1;
  } catch (const std::bad_alloc&) {
    NoMemory();
    return 0;
  }
}

std::int32_t CNetworkBuilder::SetEdgeDirectAt(std::int32_t lEdge, char cDirect) {
  try {
    if (!CheckEdge(lEdge, "a direction")) return 0;
    Put(m_edgeDirect, m_edgeNod.capacity(), lEdge, cDirect);
    return 1;
  } catch (const std::bad_alloc&) {
    NoMemory();
    return 0;
  }
}

std::int32_t CNetworkBuilder::SetTurnWgt(std::int32_t lNod, std::int32_t lFromEdge, std::int32_t lToEdge,
                                         double dWgt) {
  try {
    if (!CheckNod(lNod, "a turn weight")) return 0;
    if (!CheckEdge(lFromEdge, "a turn weight") || !CheckEdge(lToEdge, "a turn weight")) return 0;
    m_lTurnWgtFlag = 1;
    m_turns.push_back(NTurn_stru{lNod, lFromEdge, lToEdge, dWgt});
    return 1;
  } catch (const std::bad_alloc&) {
    NoMemory();
    return 0;
  }
}

// A value given for a table that the settings will not make would be lost
// without a word; the host is told instead.
bool CNetworkBuilder::CheckValues(NFinding_stru& err) const {
  struct Need {
    bool bGiven;
    bool bMade;
    const char* pszText;
  };
  const bool bDmd = m_cDmdFld >= 0;
  const Need needs[] = {
      {!m_nodWgt.empty(), m_lNodWgtFld >= 0, "node weights are given, but the node weight column id is negative"},
      {!m_edgeWgt1.empty(), m_lEdgeWgtFld1 >= 0, "edge weights are given for column 1, but its column id is negative"},
      {!m_edgeWgt2.empty(), m_lEdgeWgtFld2 >= 0, "edge weights are given for column 2, but its column id is negative"},
      {!m_nodDmd.empty() || !m_edgeDmd.empty(), bDmd, "demand values are given, but the demand field is negative"},
      {!m_edgeDirect.empty(), m_cEdgeDirectMode != 0, "edge directions are given, but the direction mode is 0"},
      {!m_turns.empty(), m_lTurnWgtFlag == 1, "turn weights are given, but the turn-weight flag is 0"},
  };
  for (const Need& need : needs) {
    if (need.bGiven && !need.bMade) {
      err = MakeFinding(NFindingCode::BadArgument, NElemKind::Network, 0, need.pszText);
      return false;
    }
  }
  return true;
}

bool CNetworkBuilder::CountConnections(std::vector<std::uint32_t>& counts, NFinding_stru& err) const {
  const std::int32_t nEdges = GetEdgeNum();
  for (const std::int32_t e : OneTo(nEdges)) {
    const NEdgeNod_stru& ends = m_edgeNod[static_cast<std::size_t>(e) - 1];
    const bool bFromOk = ends.lFromNod >= 1 && ends.lFromNod <= m_lNodNum;
    if (!bFromOk || ends.lToNod < 1 || ends.lToNod > m_lNodNum) {
      err = MakeFinding(NFindingCode::OutOfRange, NElemKind::Edge, e,
                        Format("edge %d: %s node %d is not a node (the network has nodes 1 to %d)", e,
                               bFromOk ? "to" : "from", bFromOk ? ends.lToNod : ends.lFromNod, m_lNodNum));
      return false;
    }
    // At most 2 per edge and fewer than 2^31 edges: no wrap in 32 unsigned bits.
    ++counts[static_cast<std::size_t>(ends.lFromNod) - 1];
    ++counts[static_cast<std::size_t>(ends.lToNod) - 1];
  }
  for (std::size_t i = 0; i < counts.size(); ++i) {
    if (counts[i] > kMaxConn) {
      const auto lNod = static_cast<std::int32_t>(i + 1);
      err = MakeFinding(NFindingCode::OutOfRange, NElemKind::Node, lNod,
                        Format("node %d: %u connections meet here, more than the 32767 a node can hold", lNod,
                               counts[i]));
      return false;
    }
  }
  return true;
}

bool CNetworkBuilder::CheckTurns(NFinding_stru& err) const {
  for (const NTurn_stru& t : m_turns) {
    if (t.lNod > m_lNodNum) {  // the node count was lowered since
      err = MakeFinding(NFindingCode::OutOfRange, NElemKind::Node, t.lNod,
                        Format("node %d: a turn weight given, but the network has nodes 1 to %d only", t.lNod,
                               m_lNodNum));
      return false;
    }
    const std::int32_t edges[2] = {t.lFromEdge, t.lToEdge};
    for (std::int32_t e : edges) {
      const NEdgeNod_stru& ends = m_edgeNod[static_cast<std::size_t>(e) - 1];
      if (ends.lFromNod != t.lNod && ends.lToNod != t.lNod) {
        err = MakeFinding(NFindingCode::BadArgument, NElemKind::Node, t.lNod,
                          Format("node %d: turn from edge %d to edge %d, but edge %d does not meet node %d", t.lNod,
                                 t.lFromEdge, t.lToEdge, e, t.lNod));
        return false;
      }
    }
  }
  return true;
}

int CNetworkBuilder::Places(std::int32_t lNod, std::int32_t lEdge, const std::vector<std::int16_t>& pos,
                            std::int16_t* places) const {
  const std::size_t i = static_cast<std::size_t>(lEdge) - 1;
  int n = 0;
  if (m_edgeNod[i].lToNod == lNod) places[n++] = pos[2 * i];
  if (m_edgeNod[i].lFromNod == lNod) places[n++] = pos[2 * i + 1];
  return n;
}

void CNetworkBuilder::Fill(CLocalNetwork& net, std::vector<std::uint32_t>& cursor,
                           std::vector<std::int16_t>& pos) const {
  const std::int32_t nNods = m_lNodNum;
  const std::int32_t nEdges = GetEdgeNum();
  const std::size_t n = static_cast<std::size_t>(nNods);
  const std::size_t m = static_cast<std::size_t>(nEdges);

  net.m_lNodNum = nNods;
  net.m_lEdgeNum = nEdges;
  net.m_lNodWgtFld = m_lNodWgtFld;
  net.m_lEdgeWgtFld1 = m_lEdgeWgtFld1;
  net.m_lEdgeWgtFld2 = m_lEdgeWgtFld2;
  net.m_cDmdFld = m_cDmdFld;
  net.m_lTurnWgtFlag = m_lTurnWgtFlag;
  net.m_lReserve = 0;
  net.m_cEdgeDirectMode = m_cEdgeDirectMode;
  kelvane::tools::SetExtFlds(net, m_extFlds);
  if (net.ReallocMemory() != 1) throw std::bad_alloc();

  CopyColumn(net.m_pEdgeNod, m_edgeNod, m);

  // Each node's list gets exactly the room counted; the counts then serve as
  // the write position in it.
  for (std::size_t i = 0; i < n; ++i) {
    if (cursor[i] == 0) continue;  // no connections: count 0 and no list, as allocated
    if (net.ReallocNodConnEdgeMemory(static_cast<std::int32_t>(i + 1), static_cast<std::int16_t>(cursor[i])) != 1) {
      throw std::bad_alloc();
    }
    cursor[i] = 0;
  }
  // pos[2i] and pos[2i + 1]: where edge i + 1 stands in its to node's and in
  // its from node's list, kept only when turn weights are to be placed.
  NNodConn_stru* conn = net.m_pNodConn;
  const bool bKeepPos = !pos.empty();
  for (std::size_t i = 0; i < m; ++i) {
    const auto e = static_cast<std::int32_t>(i + 1);
    const std::size_t to = static_cast<std::size_t>(m_edgeNod[i].lToNod) - 1;
    const std::size_t from = static_cast<std::size_t>(m_edgeNod[i].lFromNod) - 1;
    if (bKeepPos) {
      pos[2 * i] = static_cast<std::int16_t>(cursor[to]);
      pos[2 * i + 1] = static_cast<std::int16_t>(to == from ? cursor[to] + 1 : cursor[from]);
    }
    conn[to].pConnEdge[cursor[to]++] = e;
    conn[from].pConnEdge[cursor[from]++] = -e;
  }

  if (m_lTurnWgtFlag == 1) {
    for (std::size_t i = 0; i < n; ++i) {
      if (conn[i].sConnNum > 0) net.ReallocNodTurnWgtMemory(static_cast<std::int32_t>(i + 1), conn[i].sConnNum);
    }
    for (const NTurn_stru& t : m_turns) {
      // Every place each edge holds in the node's list (a loop holds two), so
      // a reader finds the value whichever place it takes.
      std::int16_t rows[2];
      std::int16_t cols[2];
      const int nRows = Places(t.lNod, t.lFromEdge, pos, rows);
      const int nCols = Places(t.lNod, t.lToEdge, pos, cols);
      const std::int16_t c = conn[t.lNod - 1].sConnNum;
      double* matrix = net.m_ppTurnWgt[t.lNod - 1];
      for (int r = 0; r < nRows; ++r) {
        for (int k = 0; k < nCols; ++k) matrix[rows[r] * c + cols[k]] = t.dWgt;
      }
    }
  }

  CopyColumn(net.m_pNodWgt, m_nodWgt, n);
  CopyColumn(net.m_pNodDmd, m_nodDmd, n);
  CopyColumn(net.m_pNodState, m_nodState, n);
  CopyColumn(net.m_pEdgeWgt1, m_edgeWgt1, m);
  CopyColumn(net.m_pEdgeWgt2, m_edgeWgt2, m);
  CopyColumn(net.m_pEdgeDmd, m_edgeDmd, m);
  CopyColumn(net.m_pUpEdgeState, m_upState, m);
  CopyColumn(net.m_pDownEdgeState, m_downState, m);
  CopyColumn(net.m_pEdgeDirect, m_edgeDirect, m);
  for (std::size_t i = 0; i < m_extWgt.size(); ++i) {
    CopyColumn(kelvane::tools::ExtTable(net, static_cast<std::int32_t>(i)), m_extWgt[i], m);
  }
}

std::int32_t CNetworkBuilder::Build(CLocalNetwork& net, NFinding_stru* pError) const {
  try {
    NFinding_stru err;
    bool ok = true;
    if (m_bError) {
      err = m_firstError;
      ok = false;
    }
    ok = ok && CheckValues(err);
    std::vector<std::uint32_t> counts;
    std::vector<std::int16_t> pos;
    if (ok) {
      // The only working memory: made before net is touched, so running out
      // here leaves net as it was.
      try {
        counts.assign(static_cast<std::size_t>(m_lNodNum), 0);
        if (!m_turns.empty()) pos.assign(2 * m_edgeNod.size(), 0);
      } catch (const std::bad_alloc&) {
        err = MakeFinding(NFindingCode::NoMemory, NElemKind::Network, 0, "out of memory counting the connections");
        ok = false;
      }
    }
    ok = ok && CountConnections(counts, err) && CheckTurns(err);
    if (ok) {
      try {
        Fill(net, counts, pos);
      } catch (const std::bad_alloc&) {
        ClearNetwork(net);
        err = MakeFinding(NFindingCode::NoMemory, NElemKind::Network, 0, "out of memory making the network's tables");
        ok = false;
      }
    }
    if (!ok && pError != nullptr) *pError = err;
    return ok ? 1 : 0;
  } catch (const std::bad_alloc&) {
    return RefuseNoMemory(pError, "out of memory");  // even a sentence could not be had
  }
}

}  // namespace tools
}  // namespace kelvane
