// NetworkBuilder.h - fills a CLocalNetwork from nodes and edges a host adds.
// The host states what the network holds (end nodes, weights, demand, states,
// directions, turn weights); Build writes counts and settings, allocates the
// tables and writes every list and matrix, the connection lists the way flag
// mapping writes them: +e at the node where e ends, -e where it starts.
//
//   CNetworkBuilder b;
//   b.SetNodNum(3);
//   b.SetEdgeWgtFld1(0);
//   std::int32_t e = b.AddEdge(1, 2);
//   b.SetEdgeWgt1(e, w);
//   NFinding_stru err;
//   if (b.Build(net, &err) != 1) report(err.strText);
#ifndef KELVANE_TOOLS_NETWORKBUILDER_H
#define KELVANE_TOOLS_NETWORKBUILDER_H

#include <cstdint>
#include <string>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "kelvane/tools/Finding.h"
#include "kelvane/tools/ToolsConfig.h"

namespace kelvane {
namespace tools {

// A weight record holding dVal as a double (type 4), the form a host's own
// floating-point costs take.
inline NWeightVal_stru DoubleWgt(double dVal) {
  NWeightVal_stru w;
  w.cType = 4;
  w.dVal = dVal;
  return w;
}

class KELVANE_TOOLS_API CNetworkBuilder {
 public:
  // A call that cannot store its value for want of memory returns 0 (-1 for
  // AddExtEdgeWgtFld), leaves the builder as it was and fails Build with the
  // code NoMemory.
  CNetworkBuilder();

  // --- Settings. Each table is made only when its setting asks for it: a
  // weight column needs a column id of 0 or more, demand a demand field of 0
  // or more, directions a mode of 1 or 2, turn weights the flag 1. All start
  // off. Values given for a table the settings do not make fail Build. ---
  void SetNodWgtFld(std::int32_t lFld);
  void SetEdgeWgtFld1(std::int32_t lFld);
  void SetEdgeWgtFld2(std::int32_t lFld);
  void SetDmdFld(char cFld);
  // 0, 1 or 2; anything else is refused (0) and fails Build.
  std::int32_t SetEdgeDirectMode(char cMode);
  // 0 or 1; anything else is refused (0) and fails Build. SetTurnWgt sets it.
  std::int32_t SetTurnWgtFlag(std::int32_t lFlag);
  // Adds an extra edge-weight column (current build) and returns its index,
  // the first argument of SetExtEdgeWgt. Returns -1 for a negative id and in
  // the first generation, which has no extra columns; Build then fails.
  std::int32_t AddExtEdgeWgtFld(std::int32_t lFld);

  // --- Elements. Numbers are 1-based and given out in order. ---
  // Room for this many edges in all, so adding them (and their values) does
  // not grow the working lists again. 0 for a negative count (Build then
  // fails), else 1.
  std::int32_t Reserve(std::int32_t lEdges);
  // Nodes 1 to lNods exist. Values given to nodes beyond a lower count are
  // dropped. 0 for a negative count (Build then fails), else 1.
  std::int32_t SetNodNum(std::int32_t lNods);
  // Adds a node; returns its number (0 when the count is already at its limit).
  std::int32_t AddNod();
  // Adds an edge from lFrom to lTo and returns its number (0 when the count is
  // at its limit, which fails Build). The end nodes are checked by Build, so
  // edges may be added before their nodes.
  std::int32_t AddEdge(std::int32_t lFrom, std::int32_t lTo) {
    // Inline while there is room: a host adds edges by the million.
    if (m_edgeNod.size() < m_edgeNod.capacity() && m_edgeNod.size() < kMaxElems) {
      m_edgeNod.push_back(NEdgeNod_stru{lFrom, lTo});
      return static_cast<std::int32_t>(m_edgeNod.size());
    }
    return AddEdgeGrow(lFrom, lTo);
  }
  std::int32_t GetNodNum() const { return m_lNodNum; }
  std::int32_t GetEdgeNum() const { return static_cast<std::int32_t>(m_edgeNod.size()); }

  // --- Values. Each returns 1, or 0 for a node or edge not added yet (or an
  // extra column index not given out), which also fails Build. ---
  std::int32_t SetNodWgt(std::int32_t lNod, const NWeightVal_stru& wgt);
  std::int32_t SetNodDmd(std::int32_t lNod, double dDmd);
  std::int32_t SetNodState(std::int32_t lNod, char cState);
  // Inline when the value is for the next edge in order, with room made.
  std::int32_t SetEdgeWgt1(std::int32_t lEdge, const NWeightVal_stru& wgt) {
    return Append(m_edgeWgt1, lEdge, wgt) ? 1 : SetEdgeWgt1At(lEdge, wgt);
  }
  std::int32_t SetEdgeWgt2(std::int32_t lEdge, const NWeightVal_stru& wgt) {
    return Append(m_edgeWgt2, lEdge, wgt) ? 1 : SetEdgeWgt2At(lEdge, wgt);
  }
  std::int32_t SetExtEdgeWgt(std::int32_t lColumn, std::int32_t lEdge, const NWeightVal_stru& wgt);
  std::int32_t SetEdgeDmd(std::int32_t lEdge, double dDmd) {
    return Append(m_edgeDmd, lEdge, dDmd) ? 1 : SetEdgeDmdAt(lEdge, dDmd);
  }
  std::int32_t SetEdgeState(std::int32_t lEdge, char cUpState, char cDownState);
  std::int32_t SetEdgeDirect(std::int32_t lEdge, char cDirect) {
    return Append(m_edgeDirect, lEdge, cDirect) ? 1 : SetEdgeDirectAt(lEdge, cDirect);
  }
  // The weight of turning at lNod from lFromEdge into lToEdge, both given as
  // positive numbers of edges added so far; that both meet lNod is checked by
  // Build. Turns on turn weights. Every entry not given is 0.0; an entry given
  // twice keeps the later value.
  std::int32_t SetTurnWgt(std::int32_t lNod, std::int32_t lFromEdge, std::int32_t lToEdge, double dWgt);

  // --- Building ---
  // Writes the network into net, replacing whatever it held: counts and
  // settings, ReallocMemory, end nodes, each node's connection list (its edges
  // in ascending number, +e where e ends and -e where it starts; a loop gives
  // +e then -e), with turn weights each connected node's matrix, then weights,
  // demand, states and directions. Returns 1.
  // Returns 0 and, when pError is given, the first fault, naming the element:
  // a refused call above, an end node that is not a node, more than 32,767
  // connections at one node, a value for a table the settings do not make, a
  // turn through an edge that does not meet its node. net is then untouched.
  // Returns 0 with net cleared (no tables, counts 0) and the code NoMemory
  // when memory runs out: the core clears a network whose tables it cannot
  // make.
  // Time linear in nodes, edges and turns; one allocation per node list and
  // matrix, none per edge.
  std::int32_t Build(CLocalNetwork& net, NFinding_stru* pError = nullptr) const;

  // Whether a call above was refused; the first refusal is what Build reports.
  bool HasError() const { return m_bError; }

 private:
  static const std::size_t kMaxElems = 0x7fffffff;  // element numbers are 32-bit signed

  // Appends value as edge lEdge's when lEdge is the next entry of the column,
  // an edge already added, and the column has room. False changes nothing.
  template <class T>
  bool Append(std::vector<T>& column, std::int32_t lEdge, const T& value) {
    if (static_cast<std::size_t>(lEdge) - 1 != column.size() || column.size() >= m_edgeNod.size() ||
        column.size() == column.capacity()) {
      return false;
    }
    column.push_back(value);
    return true;
  }
  std::int32_t AddEdgeGrow(std::int32_t lFrom, std::int32_t lTo);
  std::int32_t SetEdgeWgt1At(std::int32_t lEdge, const NWeightVal_stru& wgt);
  std::int32_t SetEdgeWgt2At(std::int32_t lEdge, const NWeightVal_stru& wgt);
  std::int32_t SetEdgeDmdAt(std::int32_t lEdge, double dDmd);
  std::int32_t SetEdgeDirectAt(std::int32_t lEdge, char cDirect);

  struct NTurn_stru {
    std::int32_t lNod;
    std::int32_t lFromEdge;
    std::int32_t lToEdge;
    double dWgt;
  };

  std::int32_t Refuse(NFindingCode eCode, NElemKind eKind, std::int32_t lElem, const std::string& strText);
  void NoMemory();  // records memory running out as the first refusal, if none came before
  bool CheckNod(std::int32_t lNod, const char* pszWhat);
  bool CheckEdge(std::int32_t lEdge, const char* pszWhat);
  bool CheckValues(NFinding_stru& err) const;
  bool CountConnections(std::vector<std::uint32_t>& counts, NFinding_stru& err) const;
  bool CheckTurns(NFinding_stru& err) const;
  int Places(std::int32_t lNod, std::int32_t lEdge, const std::vector<std::int16_t>& pos, std::int16_t* places) const;
  void Fill(CLocalNetwork& net, std::vector<std::uint32_t>& cursor, std::vector<std::int16_t>& pos) const;

  // Settings.
  std::int32_t m_lNodWgtFld;
  std::int32_t m_lEdgeWgtFld1;
  std::int32_t m_lEdgeWgtFld2;
  char m_cDmdFld;
  char m_cEdgeDirectMode;
  std::int32_t m_lTurnWgtFlag;
  std::vector<std::int32_t> m_extFlds;  // extra column ids, in the host's order

  // Elements. A value column reaches as far as the highest element given a
  // value; entries never given read as zero.
  std::int32_t m_lNodNum;
  std::vector<NEdgeNod_stru> m_edgeNod;
  std::vector<NWeightVal_stru> m_nodWgt;
  std::vector<double> m_nodDmd;
  std::vector<char> m_nodState;
  std::vector<NWeightVal_stru> m_edgeWgt1;
  std::vector<NWeightVal_stru> m_edgeWgt2;
  std::vector<std::vector<NWeightVal_stru> > m_extWgt;  // per extra column
  std::vector<double> m_edgeDmd;
  std::vector<char> m_upState;
  std::vector<char> m_downState;
  std::vector<char> m_edgeDirect;
  std::vector<NTurn_stru> m_turns;

  bool m_bError;                    // a call was refused
  NFinding_stru m_firstError;       // the first refusal
};

}  // namespace tools
}  // namespace kelvane

// The names of the 1.x toolkit at global scope, deprecated.
#define KELVANE_TOOLS_NETWORKBUILDER_DECLARED
#if !defined(KELVANE_TOOLS_NO_GLOBAL_NAMES)
#include "kelvane/tools/GlobalNames.h"
#endif

#endif  // KELVANE_TOOLS_NETWORKBUILDER_H
