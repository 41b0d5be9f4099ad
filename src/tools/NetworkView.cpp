// NetworkView.cpp - the view read from a network's tables: steps per node in
// one flat array, costs per edge, turn matrices copied node after node.
//
// Every read is bounded by the entry counts the library keeps in front of its
// tables, never by the public counts alone, so hand-broken tables give a view
// with fewer steps, not a read outside a table.
#include "kelvane/tools/NetworkView.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "kelvane/tools/SplitIndex.h"
#include "tools/AnalysisInt.h"
#include "tools/ToolsInt.h"

namespace kelvane {
namespace tools {

namespace {

constexpr double kNoWay = std::numeric_limits<double>::infinity();

// |entry|, 0 for the most negative number (which names no edge).
inline std::int32_t AbsOf(std::int32_t entry) {
  if (entry == INT32_MIN) return 0;
  return entry < 0 ? -entry : entry;
}

// The smaller of a count and the entries `table` holds; 0 for a count below 1.
std::int32_t Cut(std::int32_t count, const void* table) {
  if (count <= 0) return 0;
  const std::int64_t n = Entries(table);
  return n < count ? static_cast<std::int32_t>(n) : count;
}

// The column GetEdgeWgtVal reads for lFld, or null.
const NWeightVal_stru* EdgeColumn(const CLocalNetwork& net, std::int32_t lFld) {
  if (net.m_lEdgeWgtFld1 >= 0 && lFld == net.m_lEdgeWgtFld1) return net.m_pEdgeWgt1;
  if (net.m_lEdgeWgtFld2 >= 0 && lFld == net.m_lEdgeWgtFld2) return net.m_pEdgeWgt2;
  const std::int32_t nFld = ExtFldCount(net);
  for (std::int32_t i = 0; i < nFld; ++i) {
    const std::int32_t id = ExtFld(net, i);
    if (id < 0 || id != lFld) continue;
    return i < ExtTableCount(net) ? ExtTable(net, i) : nullptr;
  }
  return nullptr;
}

// The value of a weight record as a cost: +infinity for no way (type 0, a
// negative or infinite value), NaN for a value that is not a number, and
// false for a type byte that names no type.
bool Decode(const NWeightVal_stru& w, double& cost) {
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&w) + 1;  // value bytes follow the type
  double v = 0.0;
  switch (w.cType) {
    case 0:
      cost = kNoWay;
      return true;
    case 1: {
      std::int32_t i = 0;
      std::memcpy(&i, bytes, sizeof i);
      v = i;
      break;
    }
    case 2: {
      std::int16_t i = 0;
      std::memcpy(&i, bytes, sizeof i);
      v = i;
      break;
    }
    case 3: {
      float f = 0.0F;
      std::memcpy(&f, bytes, sizeof f);
      v = f;
      break;
    }
    case 4:
      std::memcpy(&v, bytes, sizeof v);
      break;
    default:
      return false;
  }
  // NaN passes through: the caller refuses it, naming the edge.
  cost = v;
  if (v < 0.0 || std::isinf(v)) cost = kNoWay;
  return true;
}

// Decodes one column into costs[1..nEdge]; a missing column (negative id)
// gives every edge cost 1.
bool ReadCosts(const CLocalNetwork& net, std::int32_t lFld, std::int32_t nEdge, const CSplitIndex* pSplit,
               std::vector<double>& costs, NFinding_stru& err) {
  costs.assign(static_cast<std::size_t>(nEdge) + 1, 1.0);
  costs[0] = kNoWay;
  if (lFld < 0) return true;
  const NWeightVal_stru* table = EdgeColumn(net, lFld);
  if (table == nullptr) {
    err = MakeFinding(NFindingCode::BadArgument, NElemKind::Network, 0, Format("column %d is not a weight column of this network", lFld));
    return false;
  }
  const std::int32_t nRead = Cut(nEdge, table);
  for (const std::int32_t e : OneTo(nEdge)) {
    double c = kNoWay;  // an edge beyond the column's table has no value
    if (e <= nRead && !Decode(table[e - 1], c)) {
      err = MakeFinding(NFindingCode::BrokenTable, NElemKind::Edge, e,
                        Format("edge %d: type %d in column %d names no weight type (0 to 4)", e,
                               static_cast<int>(table[e - 1].cType), lFld));
      return false;
    }
    if (std::isnan(c)) {
      err = MakeFinding(NFindingCode::BrokenTable, NElemKind::Edge, e, Format("edge %d: the cost in column %d is not a number", e, lFld));
      return false;
    }
    costs[static_cast<std::size_t>(e)] = c;
  }
  if (pSplit == nullptr) return true;
  // Pieces take their share of the original's cost; the original keeps its
  // record after mapping, so its cost above is the whole edge's.
  const std::vector<double> whole(costs);
  for (const std::int32_t e : OneTo(nEdge)) {
    double dFrom = 0.0;
    double dTo = 1.0;
    const std::int32_t orig = pSplit->GetOriginal(e, &dFrom, &dTo);
    if (orig == e || orig < 1 || orig > nEdge) continue;
    // A flag placed outside its edge gives a piece a share below 0: no way,
    // as for any negative cost (a negative one would never let a search end).
    const double c = whole[static_cast<std::size_t>(orig)] * (dTo - dFrom);
    double& cost = costs[static_cast<std::size_t>(e)];
    cost = kNoWay;
    if (c >= 0.0 && !std::isinf(c)) cost = c;
  }
  return true;
}

}  // namespace

CNetworkView::CNetworkView()
    : m_pNet(nullptr), m_lNetNodNum(0), m_lNetEdgeNum(0), m_lNodNum(0), m_lEdgeNum(0), m_bOneCost(true) {}

void CNetworkView::Reset() {
  *this = CNetworkView();
}

std::int32_t CNetworkView::Build(const CLocalNetwork& net, const NViewOptions_stru& opt, NFinding_stru* pError,
                                 const NProgress_stru* pProgress) {
  Reset();
  std::int32_t status = 0;
  try {
    NFinding_stru err;
    CProgressPoll poll(pProgress, Cut(net.m_lNodNum, net.m_pNodConn));
    status = Read(net, opt, err, poll);
    if (status != 1) {
      Reset();
      if (poll.Stopped()) return CProgressPoll::Refuse(pError);
      if (pError != nullptr) *pError = std::move(err);
    }
  } catch (const std::bad_alloc&) {
    Reset();
    status = RefuseNoMemory(pError, "out of memory building the view");
  }
  return status;
}

namespace {

// Counts the view cannot work from, or a split index of another network.
bool CheckCounts(const CLocalNetwork& net, const NViewOptions_stru& opt, NFinding_stru& err) {
  if (net.m_lNodNum < 0 || net.m_lEdgeNum < 0) {
    err = MakeFinding(NFindingCode::BrokenTable, NElemKind::Network, 0,
                      Format("the counts are negative (%d nodes, %d edges)", net.m_lNodNum, net.m_lEdgeNum));
    return false;
  }
  if (opt.pSplit != nullptr && opt.pSplit->GetEdgeNum() != net.m_lEdgeNum) {
    err = MakeFinding(NFindingCode::NotCurrent, NElemKind::Network, 0,
                      Format("the split index was built for %d edges, the network has %d: index the last mapping",
                             opt.pSplit->GetEdgeNum(), net.m_lEdgeNum));
    return false;
  }
  return true;
}

// The ways entry `entry` of node n's list may be used, and its far node (0
// when it has none). The current build tells the ends by the edge's nodes,
// the first generation by the sign flag mapping writes (-e starts, +e ends).
unsigned char EntryWays(std::int32_t entry, std::int32_t n, const NEdgeNod_stru& en, bool upOpen, bool downOpen,
                        std::int32_t& far) {
  const bool isFrom = kFirstGeneration ? entry < 0 : en.lFromNod == n;
  const bool isTo = kFirstGeneration ? entry > 0 : en.lToNod == n;
  unsigned char ways = 0;
  if (isFrom) {
    if (downOpen) ways |= CNetworkView::kLeaveAlong;
    if (upOpen) ways |= CNetworkView::kArriveAgainst;
  }
  if (isTo) {
    if (upOpen) ways |= CNetworkView::kLeaveAgainst;
    if (downOpen) ways |= CNetworkView::kArriveAlong;
  }
  if (isFrom && isTo) {
    far = n;
  } else {
    far = isFrom ? en.lToNod : en.lFromNod;
  }
  return ways;
}

}  // namespace

// What one Build keeps while it reads the nodes. With turns: the last
// position of each edge in the list being read, and its positions in the
// lists of its from and to nodes (-1: not there).
struct CNetworkView::NReadState {
  std::int32_t nNod = 0;
  std::int32_t nEdge = 0;
  bool bTurns = false;
  std::int32_t nTurnNod = 0;  // nodes with an entry in the matrix table
  std::vector<std::int16_t> lastPos;
  std::vector<std::int16_t> posAtFrom;
  std::vector<std::int16_t> posAtTo;
};

std::int32_t CNetworkView::Read(const CLocalNetwork& net, const NViewOptions_stru& opt, NFinding_stru& err,
                                CProgressPoll& poll) {
  // Nodes the view knows have a state and a connection record; edges, both
  // states and their end nodes.
  NReadState st;
  st.nNod = Cut(Cut(net.m_lNodNum, net.m_pNodState), net.m_pNodConn);
  st.nEdge = Cut(Cut(Cut(net.m_lEdgeNum, net.m_pUpEdgeState), net.m_pDownEdgeState), net.m_pEdgeNod);
  if (!CheckCounts(net, opt, err)) return 0;
  if (!ReadCosts(net, opt.lAlongFld, st.nEdge, opt.pSplit, m_costAlong, err)) return 0;
  m_bOneCost = opt.lAgainstFld < 0 || opt.lAgainstFld == opt.lAlongFld;
  if (!m_bOneCost && !ReadCosts(net, opt.lAgainstFld, st.nEdge, opt.pSplit, m_costAgainst, err)) return 0;

  st.bTurns = opt.bTurns && net.m_lTurnWgtFlag == 1 && net.m_ppTurnWgt != nullptr;
  st.nTurnNod = st.bTurns ? Cut(st.nNod, net.m_ppTurnWgt) : 0;
  m_first.assign(static_cast<std::size_t>(st.nNod) + 2, 0);
  m_closed.assign(static_cast<std::size_t>(st.nNod) + 1, 0);
  const std::size_t guess = static_cast<std::size_t>(st.nEdge) * 2;
  m_far.reserve(guess);
  m_edge.reserve(guess);
  m_ways.reserve(guess);
  if (st.bTurns) {
    st.lastPos.assign(static_cast<std::size_t>(st.nEdge) + 1, -1);
    st.posAtFrom.assign(static_cast<std::size_t>(st.nEdge) + 1, -1);
    st.posAtTo.assign(static_cast<std::size_t>(st.nEdge) + 1, -1);
    m_turnPos.reserve(guess);
    m_turnFirst.assign(static_cast<std::size_t>(st.nNod) + 2, 0);
    m_turnSize.assign(static_cast<std::size_t>(st.nNod) + 1, 0);
  }
  for (const std::int32_t n : OneTo(st.nNod)) {
    if (!poll.Step()) return 0;
    ReadNod(net, n, st);
  }
  m_first[static_cast<std::size_t>(st.nNod) + 1] = static_cast<std::int64_t>(m_far.size());
  if (st.bTurns) FinishTurns(net, st);
  m_far.shrink_to_fit();
  m_edge.shrink_to_fit();
  m_ways.shrink_to_fit();
  m_turnPos.shrink_to_fit();

  m_pNet = &net;
  m_lNetNodNum = net.m_lNodNum;
  m_lNetEdgeNum = net.m_lEdgeNum;
  m_lNodNum = st.nNod;
  m_lEdgeNum = st.nEdge;
  return 1;
}

void CNetworkView::ReadNod(const CLocalNetwork& net, std::int32_t n, NReadState& st) {
  m_first[static_cast<std::size_t>(n)] = static_cast<std::int64_t>(m_far.size());
  const NNodConn_stru& conn = net.m_pNodConn[n - 1];
  const std::int32_t nList = conn.sConnNum > 0 ? Cut(conn.sConnNum, conn.pConnEdge) : 0;
  const bool bTurnsHere = st.bTurns && n <= st.nTurnNod;
  if (bTurnsHere) CopyTurns(net, n, nList, st);
  m_closed[static_cast<std::size_t>(n)] = net.m_pNodState[n - 1] == 1 ? 1 : 0;
  for (std::int32_t i = 0; i < nList; ++i) {
    const std::int32_t entry = conn.pConnEdge[i];
    const std::int32_t e = AbsOf(entry);
    if (e < 1 || e > st.nEdge) continue;
    const NEdgeNod_stru& en = net.m_pEdgeNod[e - 1];
    if (st.bTurns) {
      const std::int16_t p = st.lastPos[static_cast<std::size_t>(e)];
      if (en.lFromNod == n) st.posAtFrom[static_cast<std::size_t>(e)] = p;
      if (en.lToNod == n) st.posAtTo[static_cast<std::size_t>(e)] = p;
    }
    if (m_closed[static_cast<std::size_t>(n)] != 0) continue;  // a closed node has no steps of its own
    std::int32_t far = 0;
    const unsigned char ways =
        EntryWays(entry, n, en, net.m_pUpEdgeState[e - 1] != 1, net.m_pDownEdgeState[e - 1] != 1, far);
    if (ways == 0 || far < 1 || far > st.nNod) continue;
    m_far.push_back(far);
    m_edge.push_back(e);
    m_ways.push_back(ways);
    if (st.bTurns) m_turnPos.push_back(st.lastPos[static_cast<std::size_t>(e)]);
  }
  if (bTurnsHere) {
    for (std::int32_t i = 0; i < nList; ++i) {
      const std::int32_t e = AbsOf(conn.pConnEdge[i]);
      if (e >= 1 && e <= st.nEdge) st.lastPos[static_cast<std::size_t>(e)] = -1;
    }
  }
}

void CNetworkView::CopyTurns(const CLocalNetwork& net, std::int32_t n, std::int32_t nList, NReadState& st) {
  const NNodConn_stru& conn = net.m_pNodConn[n - 1];
  const double* matrix = net.m_ppTurnWgt[n - 1];
  m_turnFirst[static_cast<std::size_t>(n)] = static_cast<std::int64_t>(m_turn.size());
  if (matrix != nullptr && conn.sConnNum > 0) {
    const std::int64_t want = static_cast<std::int64_t>(conn.sConnNum) * conn.sConnNum;
    const std::int64_t have = Entries(matrix);
    m_turn.insert(m_turn.end(), matrix, matrix + (have < want ? have : want));
    m_turnSize[static_cast<std::size_t>(n)] = conn.sConnNum;
  }
  // A repeated edge answers to its last position, as GetTurnWgtVal finds it.
  for (std::int32_t i = 0; i < nList; ++i) {
    const std::int32_t e = AbsOf(conn.pConnEdge[i]);
    if (e >= 1 && e <= st.nEdge) st.lastPos[static_cast<std::size_t>(e)] = static_cast<std::int16_t>(i);
  }
}

void CNetworkView::FinishTurns(const CLocalNetwork& net, const NReadState& st) {
  m_turnFirst[static_cast<std::size_t>(st.nNod) + 1] = static_cast<std::int64_t>(m_turn.size());
  for (std::size_t n = static_cast<std::size_t>(st.nTurnNod) + 1; n <= static_cast<std::size_t>(st.nNod); ++n) {
    m_turnFirst[n] = static_cast<std::int64_t>(m_turn.size());
  }
  // Where each step's edge stands in its far node's list: the row of the
  // matrix a turn there starts from.
  m_farTurnPos.resize(m_far.size());
  for (std::size_t j = 0; j < m_far.size(); ++j) {
    const std::int32_t e = m_edge[j];
    const NEdgeNod_stru& en = net.m_pEdgeNod[e - 1];
    m_farTurnPos[j] =
        m_far[j] == en.lToNod ? st.posAtTo[static_cast<std::size_t>(e)] : st.posAtFrom[static_cast<std::size_t>(e)];
  }
}

bool CNetworkView::IsCurrent(NFinding_stru* pError) const {
  if (m_pNet == nullptr) {
    if (pError != nullptr) *pError = MakeFinding(NFindingCode::NotCurrent, NElemKind::Network, 0, "the view has not been built");
    return false;
  }
  if (m_pNet->m_lNodNum != m_lNetNodNum || m_pNet->m_lEdgeNum != m_lNetEdgeNum) {
    if (pError != nullptr) {
      *pError = MakeFinding(NFindingCode::NotCurrent, NElemKind::Network, 0,
                            Format("the view was built for %d nodes and %d edges, the network now has %d and %d "
                                   "(flags mapped since?): build the view again",
                                   m_lNetNodNum, m_lNetEdgeNum, m_pNet->m_lNodNum, m_pNet->m_lEdgeNum));
    }
    return false;
  }
  return true;
}

std::int32_t CNetworkView::GetStepS(std::int32_t lNod, NStepSide side, std::vector<NStep_stru>& steps) const {
  if (lNod < 1 || lNod > m_lNodNum) return 0;
  const unsigned char want = side == NStepSide::Leave ? kLeave : kArrive;
  try {
    std::vector<NStep_stru> out;
    for (std::int64_t j = StepBegin(lNod); j < StepEnd(lNod); ++j) {
      const std::size_t k = static_cast<std::size_t>(j);
      const unsigned char w = static_cast<unsigned char>(m_ways[k] & want);
      if (w == 0) continue;
      // A loop open both ways is two steps, one each way round.
      if ((w & (kLeaveAlong | kArriveAlong)) != 0) out.push_back(NStep_stru{m_edge[k], m_far[k], true});
      if ((w & (kLeaveAgainst | kArriveAgainst)) != 0) out.push_back(NStep_stru{m_edge[k], m_far[k], false});
    }
    steps.swap(out);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return 1;
}

double CNetworkView::GetEdgeCost(std::int32_t lEdge, bool bAlong) const {
  if (lEdge < 1 || lEdge > m_lEdgeNum) return std::numeric_limits<double>::quiet_NaN();
  return bAlong ? m_costAlong[static_cast<std::size_t>(lEdge)] : CostAgainst()[lEdge];
}

const double* CNetworkView::TurnMatrix(std::int32_t lNod) const {
  if (m_turnFirst.empty() || lNod < 1 || lNod > m_lNodNum) return nullptr;
  return m_turn.data() + m_turnFirst[static_cast<std::size_t>(lNod)];
}

double CNetworkView::GetTurnCost(std::int32_t lNod, std::int32_t lFromEdge, std::int32_t lToEdge) const {
  if (m_turnFirst.empty() || lNod < 1 || lNod > m_lNodNum || m_pNet == nullptr) return 0.0;
  const std::int32_t k = m_turnSize[static_cast<std::size_t>(lNod)];
  if (k <= 0) return 0.0;
  // The last positions of the two edges, as GetTurnWgtVal finds them.
  std::int32_t p = -1;
  std::int32_t q = -1;
  for (std::int64_t j = StepBegin(lNod); j < StepEnd(lNod); ++j) {
    const std::size_t i = static_cast<std::size_t>(j);
    if (m_edge[i] == lFromEdge && m_turnPos[i] > p) p = m_turnPos[i];
    if (m_edge[i] == lToEdge && m_turnPos[i] > q) q = m_turnPos[i];
  }
  if (p < 0 || q < 0) return 0.0;
  const std::int64_t at = static_cast<std::int64_t>(p) * k + q;
  return at < TurnEntries(lNod) ? TurnMatrix(lNod)[at] : 0.0;
}

std::size_t CNetworkView::GetMemoryBytes() const {
  return m_first.capacity() * sizeof(std::int64_t) + m_far.capacity() * sizeof(std::int32_t) +
         m_edge.capacity() * sizeof(std::int32_t) + m_ways.capacity() + m_costAlong.capacity() * sizeof(double) +
         m_costAgainst.capacity() * sizeof(double) + m_closed.capacity() +
         (m_turnPos.capacity() + m_farTurnPos.capacity()) * sizeof(std::int16_t) +
         m_turnFirst.capacity() * sizeof(std::int64_t) + m_turnSize.capacity() * sizeof(std::int32_t) +
         m_turn.capacity() * sizeof(double);
}

}  // namespace tools
}  // namespace kelvane
