// NetworkCheck.cpp - the whole-network check. It walks every table once,
// bounded by the entries each table really holds, so a network whose counts
// the host rewrote is reported on, not read past its end.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "kelvane/tools/NetworkCheck.h"
#include "tools/ToolsInt.h"

namespace kelvane {
namespace tools {

namespace {

class CFindings {
 public:
  explicit CFindings(std::int32_t lMax) : m_lMax(lMax) {}
  bool Full() const { return m_lMax > 0 && static_cast<std::int64_t>(m_list.size()) >= m_lMax; }
  void Add(NElemKind eKind, std::int32_t lElem, std::string strText) {
    if (!Full()) m_list.push_back(MakeFinding(NFindingCode::BrokenTable, eKind, lElem, std::move(strText)));
  }
  std::vector<NFinding_stru>& List() { return m_list; }

 private:
  std::int32_t m_lMax;
  std::vector<NFinding_stru> m_list;
};

// A table that always exists once ReallocMemory has run: missing, or shorter
// than its count.
void CheckTable(CFindings& out, const void* table, std::int32_t lCount, const char* pszTable, const char* pszUnit) {
  if (lCount <= 0) return;
  if (table == nullptr) {
    out.Add(NElemKind::Network, 0, Format("there is no %s table for the %d %s (ReallocMemory has not run)", pszTable,
                                          lCount, pszUnit));
  } else if (Entries(table) < lCount) {
    out.Add(NElemKind::Network, 0, Format("the %s table holds %lld entries, but the network has %d %s", pszTable,
                                          static_cast<long long>(Entries(table)), lCount, pszUnit));
  }
}

// A table that exists only when its setting asks for it.
void CheckOptional(CFindings& out, const void* table, bool bWanted, std::int32_t lCount, const char* pszTable,
                   const char* pszSetting, const char* pszUnit) {
  if (bWanted && table == nullptr && lCount > 0) {
    out.Add(NElemKind::Network, 0, Format("there is no %s table, though %s asks for one", pszTable, pszSetting));
  } else if (bWanted) {
    CheckTable(out, table, lCount, pszTable, pszUnit);
  } else if (table != nullptr) {
    out.Add(NElemKind::Network, 0,
            Format("there is a %s table, but %s says there is none, so no query reads it", pszTable, pszSetting));
  }
}

void CheckWgtType(CFindings& out, NElemKind eKind, std::int32_t lElem, const NWeightVal_stru& wgt,
                  std::int32_t lFld) {
  if (wgt.cType >= 0 && wgt.cType <= 4) return;
  out.Add(eKind, lElem,
          Format("%s %d: weight type %d is unknown (column %d)", eKind == NElemKind::Node ? "node" : "edge", lElem,
                 wgt.cType, lFld));
}

bool IsDeleted(const CLocalNetwork& net, std::int32_t e) {
  return net.m_pUpEdgeState[e - 1] == 2 && net.m_pDownEdgeState[e - 1] == 2;
}

// One check's view of the network: the counts (never below 0) and how far
// each element may be read, which is no further than the tables reach.
struct NScope_stru {
  std::int32_t lNods;    // nodes by the count
  std::int32_t lEdges;   // edges by the count
  std::int32_t lNodOk;   // nodes 1 to this have a connection record and a state
  std::int32_t lEdgeOk;  // edges 1 to this have end nodes and both states
  std::int32_t lExt;     // extra columns, when tables and ids agree; else 0
  // Per live edge: how often its to node lists +e and its from node -e
  // (counted to 2: "more than once" is all that is said).
  std::vector<unsigned char> atTo;
  std::vector<unsigned char> atFrom;
};

void CheckSettings(CFindings& out, const CLocalNetwork& net, const NScope_stru& sc) {
  if (net.m_lNodNum < 0) out.Add(NElemKind::Network, 0, Format("the node count %d is negative", net.m_lNodNum));
  if (net.m_lEdgeNum < 0) out.Add(NElemKind::Network, 0, Format("the edge count %d is negative", net.m_lEdgeNum));
  if (net.m_lTurnWgtFlag != 0 && net.m_lTurnWgtFlag != 1) {
    out.Add(NElemKind::Network, 0, Format("the turn-weight flag %d is not 0 or 1", net.m_lTurnWgtFlag));
  }
  const char cMode = net.m_cEdgeDirectMode;
  if (cMode != 0 && cMode != 1 && cMode != 2) {
    out.Add(NElemKind::Network, 0, Format("the direction mode %d is not 0, 1 or 2", static_cast<int>(cMode)));
  }
  CheckTable(out, net.m_pEdgeNod, sc.lEdges, "end-node", "edges");
  CheckTable(out, net.m_pNodConn, sc.lNods, "connection", "nodes");
  CheckTable(out, net.m_pNodState, sc.lNods, "node state", "nodes");
  CheckTable(out, net.m_pUpEdgeState, sc.lEdges, "up state", "edges");
  CheckTable(out, net.m_pDownEdgeState, sc.lEdges, "down state", "edges");
  CheckOptional(out, net.m_pNodWgt, net.m_lNodWgtFld >= 0, sc.lNods, "node weight", "the node weight column id",
                "nodes");
  CheckOptional(out, net.m_pEdgeWgt1, net.m_lEdgeWgtFld1 >= 0, sc.lEdges, "column 1 edge weight", "its column id",
                "edges");
  CheckOptional(out, net.m_pEdgeWgt2, net.m_lEdgeWgtFld2 >= 0, sc.lEdges, "column 2 edge weight", "its column id",
                "edges");
  CheckOptional(out, net.m_ppTurnWgt, net.m_lTurnWgtFlag == 1, sc.lNods, "turn matrix", "the turn-weight flag",
                "nodes");
  CheckOptional(out, net.m_pEdgeDirect, cMode == 1 || cMode == 2, sc.lEdges, "direction", "the direction mode",
                "edges");
  CheckOptional(out, net.m_pNodDmd, net.m_cDmdFld >= 0, sc.lNods, "node demand", "the demand field", "nodes");
  CheckOptional(out, net.m_pEdgeDmd, net.m_cDmdFld >= 0, sc.lEdges, "edge demand", "the demand field", "edges");
  const std::int32_t nIds = kelvane::tools::ExtFldCount(net);
  const std::int32_t nTables = kelvane::tools::ExtTableCount(net);
  if (nTables != nIds) {
    out.Add(NElemKind::Network, 0, Format("there are %d extra weight tables for %d extra column ids", nTables, nIds));
  }
  for (std::int32_t i = 0; i < sc.lExt; ++i) {
    const std::int32_t lFld = kelvane::tools::ExtFld(net, i);
    const std::string name = Format("column %d (extra) edge weight", lFld);
    CheckOptional(out, kelvane::tools::ExtTable(net, i), lFld >= 0, sc.lEdges, name.c_str(), "its column id",
                  "edges");
  }
}

// End nodes of live edges, and the weight type of every edge in every column.
void CheckEdges(CFindings& out, const CLocalNetwork& net, const NScope_stru& sc) {
  for (const std::int32_t e : OneTo(sc.lEdgeOk)) {
    if (out.Full()) break;
    const NEdgeNod_stru& ends = net.m_pEdgeNod[e - 1];
    if (!IsDeleted(net, e)) {
      if (ends.lFromNod < 1 || ends.lFromNod > sc.lNods) {
        out.Add(NElemKind::Edge, e, Format("edge %d: from node %d is not a node", e, ends.lFromNod));
      }
      if (ends.lToNod < 1 || ends.lToNod > sc.lNods) {
        out.Add(NElemKind::Edge, e, Format("edge %d: to node %d is not a node", e, ends.lToNod));
      }
    }
    if (net.m_lEdgeWgtFld1 >= 0 && e <= Entries(net.m_pEdgeWgt1)) {
      CheckWgtType(out, NElemKind::Edge, e, net.m_pEdgeWgt1[e - 1], net.m_lEdgeWgtFld1);
    }
    if (net.m_lEdgeWgtFld2 >= 0 && e <= Entries(net.m_pEdgeWgt2)) {
      CheckWgtType(out, NElemKind::Edge, e, net.m_pEdgeWgt2[e - 1], net.m_lEdgeWgtFld2);
    }
    for (std::int32_t i = 0; i < sc.lExt; ++i) {
      const NWeightVal_stru* table = kelvane::tools::ExtTable(net, i);
      const std::int32_t lFld = kelvane::tools::ExtFld(net, i);
      if (lFld >= 0 && e <= Entries(table)) CheckWgtType(out, NElemKind::Edge, e, table[e - 1], lFld);
    }
  }
}

// Node v's connection list: its length, then each entry. Entries that match
// their edge are counted in sc for the last pass.
void CheckList(CFindings& out, const CLocalNetwork& net, NScope_stru& sc, std::int32_t v) {
  const NNodConn_stru& conn = net.m_pNodConn[v - 1];
  std::int32_t nRead = conn.sConnNum;
  if (conn.pConnEdge == nullptr) {
    out.Add(NElemKind::Node, v, Format("node %d: %d connections but no list", v, conn.sConnNum));
    nRead = 0;
  } else if (Entries(conn.pConnEdge) < conn.sConnNum) {
    nRead = static_cast<std::int32_t>(Entries(conn.pConnEdge));
    out.Add(NElemKind::Node, v,
            Format("node %d: %d connections, but its list holds %d entries", v, conn.sConnNum, nRead));
  }
  for (std::int32_t k = 0; k < nRead; ++k) {
    const std::int32_t entry = conn.pConnEdge[k];
    const std::int32_t e = kelvane::AbsEdge(entry);
    if (e < 1 || e > sc.lEdges) {
      out.Add(NElemKind::Node, v, Format("node %d: connection entry %d names no edge", v, entry));
    } else if (e > sc.lEdgeOk) {
      continue;  // beyond a short edge table: reported with the tables
    } else if (IsDeleted(net, e)) {
      out.Add(NElemKind::Node, v, Format("node %d lists edge %d, which is deleted", v, entry));
    } else if (entry > 0 && net.m_pEdgeNod[e - 1].lToNod != v) {
      out.Add(NElemKind::Node, v, Format("node %d lists edge %d, which does not end at node %d", v, entry, v));
    } else if (entry < 0 && net.m_pEdgeNod[e - 1].lFromNod != v) {
      out.Add(NElemKind::Node, v, Format("node %d lists edge %d, which does not start at node %d", v, entry, v));
    } else {
      unsigned char& seen = entry > 0 ? sc.atTo[static_cast<std::size_t>(e)] : sc.atFrom[static_cast<std::size_t>(e)];
      if (seen < 2) ++seen;
    }
  }
}

void CheckTurnMatrix(CFindings& out, const CLocalNetwork& net, std::int32_t v) {
  const std::int16_t c = net.m_pNodConn[v - 1].sConnNum;
  const double* matrix = net.m_ppTurnWgt[v - 1];
  const std::int64_t nNeed = static_cast<std::int64_t>(c) * c;
  if (matrix == nullptr) {
    out.Add(NElemKind::Node, v, Format("node %d: no turn matrix", v));
  } else if (Entries(matrix) < nNeed) {
    out.Add(NElemKind::Node, v,
            Format("node %d: its turn matrix holds %lld values, but %d connections need %lld", v,
                   static_cast<long long>(Entries(matrix)), static_cast<int>(c), static_cast<long long>(nNeed)));
  }
}

// Node weights, connection lists and, for nodes with connections, turn matrices.
void CheckNodes(CFindings& out, const CLocalNetwork& net, NScope_stru& sc) {
  const bool bTurns = net.m_lTurnWgtFlag == 1 && net.m_ppTurnWgt != nullptr;
  for (const std::int32_t v : OneTo(sc.lNodOk)) {
    if (out.Full()) break;
    if (net.m_lNodWgtFld >= 0 && v <= Entries(net.m_pNodWgt)) {
      CheckWgtType(out, NElemKind::Node, v, net.m_pNodWgt[v - 1], net.m_lNodWgtFld);
    }
    if (net.m_pNodConn[v - 1].sConnNum <= 0) continue;  // no connections, whatever the list holds
    CheckList(out, net, sc, v);
    if (bTurns && v <= Entries(net.m_ppTurnWgt)) CheckTurnMatrix(out, net, v);
  }
}

// Each live edge in both its end nodes' lists, once. A deleted edge may be
// listed nowhere.
void CheckListed(CFindings& out, const CLocalNetwork& net, const NScope_stru& sc) {
  for (const std::int32_t e : OneTo(sc.lEdgeOk)) {
    if (out.Full()) break;
    if (IsDeleted(net, e)) continue;
    const NEdgeNod_stru& ends = net.m_pEdgeNod[e - 1];
    const auto at = static_cast<std::size_t>(e);
    const struct {
      std::int32_t lNod;
      unsigned char cSeen;
      const char* pszEnd;
      std::int32_t lEntry;
    } sides[2] = {{ends.lFromNod, sc.atFrom[at], "from", -e}, {ends.lToNod, sc.atTo[at], "to", e}};
    for (const auto& side : sides) {
      if (side.lNod < 1 || side.lNod > sc.lNodOk) continue;  // reported already
      if (side.cSeen == 0) {
        out.Add(NElemKind::Edge, e,
                Format("edge %d is missing from the list of its %s node %d (as %d)", e, side.pszEnd, side.lNod,
                       side.lEntry));
      } else if (side.cSeen > 1) {
        out.Add(NElemKind::Node, side.lNod, Format("node %d lists edge %d more than once", side.lNod, side.lEntry));
      }
    }
  }
}

std::vector<NFinding_stru> Check(const CLocalNetwork& net, std::int32_t lMaxFindings) {
  CFindings out(lMaxFindings);
  NScope_stru sc;
  sc.lNods = std::max(net.m_lNodNum, 0);
  sc.lEdges = std::max(net.m_lEdgeNum, 0);
  sc.lNodOk = static_cast<std::int32_t>(
      std::min<std::int64_t>({sc.lNods, Entries(net.m_pNodConn), Entries(net.m_pNodState)}));
  sc.lEdgeOk = static_cast<std::int32_t>(std::min<std::int64_t>(
      {sc.lEdges, Entries(net.m_pEdgeNod), Entries(net.m_pUpEdgeState), Entries(net.m_pDownEdgeState)}));
  const std::int32_t nIds = kelvane::tools::ExtFldCount(net);
  sc.lExt = kelvane::tools::ExtTableCount(net) == nIds ? nIds : 0;
  sc.atTo.assign(static_cast<std::size_t>(sc.lEdgeOk) + 1, 0);
  sc.atFrom.assign(static_cast<std::size_t>(sc.lEdgeOk) + 1, 0);

  CheckSettings(out, net, sc);
  CheckEdges(out, net, sc);
  CheckNodes(out, net, sc);
  CheckListed(out, net, sc);
  return std::move(out.List());
}

}  // namespace

std::int32_t CheckNetwork(const CLocalNetwork& net, std::vector<NFinding_stru>& findings, std::int32_t lMaxFindings,
                          NFinding_stru* pError) {
  try {
    std::vector<NFinding_stru> out = Check(net, lMaxFindings);
    findings.swap(out);
    return 1;
  } catch (const std::bad_alloc&) {
    return RefuseNoMemory(pError, "out of memory checking the network");
  }
}

std::vector<NFinding_stru> CheckNetwork(const CLocalNetwork& net, std::int32_t lMaxFindings) {
  std::vector<NFinding_stru> findings;
  NFinding_stru err;
  if (CheckNetwork(net, findings, lMaxFindings, &err) != 1) findings.assign(1, err);
  return findings;
}

}  // namespace tools
}  // namespace kelvane
