// NetworkView.cpp - the view read from a network's tables: steps per node in
// one flat array, costs per edge, turn matrices copied node after node.
//
// Every read is bounded by the entry counts the library keeps in front of its
// tables, never by the public counts alone, so hand-broken tables give a view
// with fewer steps, not a read outside a table.
#include "kelvane/tools/NetworkView.h"

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "kelvane/tools/SplitIndex.h"
#include "tools/AnalysisInt.h"
#include "tools/ToolsInt.h"

namespace kelvane {
namespace tools {

namespace {

constexpr double kNoWay = std::numeric_limits<double>::infinity();

// Tables of a view are made ready before their first write. Each fresh 4 KB
// page costs a fault, and a fault is dear on a virtual machine (some 10 us
// here): a 4,000,000-node view took about 50,000 of them per build, and
// glibc's allocator hands a view of any size fresh pages again on every
// build once it has given the last ones back. Whole 2 MB pages inside a
// large block are asked for as huge pages, then the block is filled in with
// one call rather than one fault per page. Both are advice: a kernel that
// refuses either leaves the block as it was.
void PreparePages(void* p, std::size_t bytes) {
#if defined(__linux__)
  constexpr std::size_t kSmall = std::size_t{4} << 10;
  constexpr std::size_t kHuge = std::size_t{2} << 20;
  char* const base = static_cast<char*>(p);
  const std::size_t at = static_cast<std::size_t>(reinterpret_cast<std::uintptr_t>(p));
  // Offsets from base to the first whole page of a size, and the bytes of
  // whole pages from there.
  const auto whole = [at, bytes](std::size_t page, std::size_t& skip) {
    skip = (page - at % page) % page;
    return skip < bytes ? (bytes - skip) / page * page : 0;
  };
  std::size_t skip = 0;
#if defined(MADV_HUGEPAGE)
  const std::size_t huge = whole(kHuge, skip);
  if (huge > 0) (void)madvise(base + skip, huge, MADV_HUGEPAGE);
#endif
#if defined(MADV_POPULATE_WRITE)
  // Only pages the block owns whole (the allocator's own words share the
  // first and last with it), and only in a block of a megabyte or more: a
  // smaller one mostly comes back from the allocator's free memory, where
  // the call would cost more than the faults it saves.
  const std::size_t small = whole(kSmall, skip);
  if (small >= 256 * kSmall) (void)madvise(base + skip, small, MADV_POPULATE_WRITE);
#endif
  (void)base;
  (void)skip;
  (void)whole;
#else
  (void)p;
  (void)bytes;
#endif
}

// v emptied with room for n entries, its pages made ready as above.
template <class T>
void Fresh(std::vector<T>& v, std::size_t n) {
  std::vector<T>().swap(v);
  v.reserve(n);
  PreparePages(static_cast<void*>(v.data()), v.capacity() * sizeof(T));
}

// v holding n copies of x, its pages made ready before the fill.
template <class T>
void FreshFilled(std::vector<T>& v, std::size_t n, T x) {
  Fresh(v, n);
  v.assign(n, x);
}

// The smaller of a count and the entries `table` holds; 0 for a count below 1.
std::int32_t Cut(std::int32_t count, const void* table) {
  if (count <= 0) return 0;
  const std::int64_t n = Entries(table);
  return n < count ? static_cast<std::int32_t>(n) : count;
}

// The value of a weight record as a cost: +infinity for no way (type 0, a
// negative or infinite value), NaN for a value that is not a number, and
// false for a type byte that names no type.
bool Decode(const NWeightVal_stru& w, double& cost) {
  if (w.cType == 0) {
    cost = kNoWay;
    return true;
  }
  double v = 0.0;
  if (!WeightValue(w, v)) return false;
  // NaN passes through: the caller refuses it, naming the edge.
  cost = v;
  if (v < 0.0 || std::isinf(v)) cost = kNoWay;
  return true;
}

// Decodes one column into costs[1..nEdge]; a missing column (negative id)
// gives every edge cost 1.
bool ReadCosts(const CLocalNetwork& net, std::int32_t lFld, std::int32_t nEdge, const CSplitIndex* pSplit,
               std::vector<double>& costs, NFinding_stru& err) {
  FreshFilled(costs, static_cast<std::size_t>(nEdge) + 1, 1.0);
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

// Stamps are handed out across threads: views may be built side by side.
std::uint64_t NextBuildStamp() {
  static std::atomic<std::uint64_t> s_next{1};
  return s_next.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

CNetworkView::CNetworkView()
    : m_pNet(nullptr), m_lNetNodNum(0), m_lNetEdgeNum(0), m_lNodNum(0), m_lEdgeNum(0), m_bOneCost(true),
      m_lStamp(NextBuildStamp()) {}

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
    m_lStamp = NextBuildStamp();  // the arrays are now those of this build
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
unsigned char EntryWays(std::int32_t entry, std::int32_t n, std::int32_t from, std::int32_t to, bool upOpen,
                        bool downOpen, std::int32_t& far) {
  const bool isFrom = kFirstGeneration ? entry < 0 : from == n;
  const bool isTo = kFirstGeneration ? entry > 0 : to == n;
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
    far = isFrom ? to : from;
  }
  return ways;
}

// An edge's end nodes and open directions in one word, so that a list entry
// costs one read of memory instead of three (end nodes, up and down state):
// from node in bits 33 to 63, to node in bits 2 to 32, up open in bit 1,
// down open in bit 0. An end that is no node of the view reads as 0, which
// no list is at and no step may lead to, as before packing.
std::uint64_t PackEdge(const NEdgeNod_stru& en, bool upOpen, bool downOpen, std::int32_t nNod) {
  const std::uint64_t from = en.lFromNod >= 1 && en.lFromNod <= nNod ? static_cast<std::uint64_t>(en.lFromNod) : 0;
  const std::uint64_t to = en.lToNod >= 1 && en.lToNod <= nNod ? static_cast<std::uint64_t>(en.lToNod) : 0;
  return (from << 33) | (to << 2) | (upOpen ? 2U : 0U) | (downOpen ? 1U : 0U);
}
inline std::int32_t PackedFrom(std::uint64_t w) { return static_cast<std::int32_t>(w >> 33); }
inline std::int32_t PackedTo(std::uint64_t w) { return static_cast<std::int32_t>((w >> 2) & 0x7FFFFFFFU); }

// Edges from which a view packs its edges' records before reading the lists.
constexpr std::int32_t kPackEdges = std::int32_t{1} << 18;

// Nodes ahead whose edge records are asked for while a node is read.
constexpr std::int32_t kReadAhead = 32;

// Entries of node n's list that the view may read.
std::int32_t ListLength(const NNodConn_stru& conn) {
  return conn.sConnNum > 0 ? Cut(conn.sConnNum, conn.pConnEdge) : 0;
}

// The counts of the lists of nodes 1 to nNod: an upper bound of the steps,
// read without following a list.
std::int64_t CountEntries(const CLocalNetwork& net, std::int32_t nNod) {
  std::int64_t total = 0;
  for (std::int32_t n = 1; n <= nNod; ++n) {
    const std::int16_t k = net.m_pNodConn[n - 1].sConnNum;
    if (k > 0) total += k;
  }
  return total;
}

// Matrix entries CopyTurns copies for nodes 1 to nTurnNod.
std::int64_t CountTurnEntries(const CLocalNetwork& net, std::int32_t nTurnNod) {
  std::int64_t total = 0;
  for (std::int32_t n = 1; n <= nTurnNod; ++n) {
    const NNodConn_stru& conn = net.m_pNodConn[n - 1];
    const double* matrix = net.m_ppTurnWgt[n - 1];
    if (matrix == nullptr || conn.sConnNum <= 0) continue;
    const std::int64_t want = static_cast<std::int64_t>(conn.sConnNum) * conn.sConnNum;
    const std::int64_t have = Entries(matrix);
    total += have < want ? have : want;
  }
  return total;
}

void PrefetchEdges(const CLocalNetwork& net, std::int32_t n, std::int32_t nEdge, const std::uint64_t* packed) {
  const NNodConn_stru& conn = net.m_pNodConn[n - 1];
  const std::int32_t nList = ListLength(conn);
  for (std::int32_t i = 0; i < nList; ++i) {
    const std::int32_t e = AbsEdge(conn.pConnEdge[i]);
    if (e < 1 || e > nEdge) continue;
    Prefetch(packed + e);
  }
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
  std::vector<std::uint64_t> packed;  // per edge number: PackEdge; empty for a small network
  const CLocalNetwork* pNet = nullptr;

  // Edge e's end nodes and open directions as PackEdge gives them.
  std::uint64_t Word(std::int32_t e) const {
    if (!packed.empty()) return packed[static_cast<std::size_t>(e)];
    return PackEdge(pNet->m_pEdgeNod[e - 1], pNet->m_pUpEdgeState[e - 1] != 1, pNet->m_pDownEdgeState[e - 1] != 1,
                    nNod);
  }
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
  st.pNet = &net;
  // The edges' tables of a small network stay in the cache whatever order
  // they are read in: packing them would only add a pass.
  const bool bPack = st.nEdge >= kPackEdges;
  if (bPack) {
    Fresh(st.packed, static_cast<std::size_t>(st.nEdge) + 1);
    st.packed.push_back(0);
    for (std::int32_t e = 1; e <= st.nEdge; ++e) {
      st.packed.push_back(PackEdge(net.m_pEdgeNod[e - 1], net.m_pUpEdgeState[e - 1] != 1,
                                   net.m_pDownEdgeState[e - 1] != 1, st.nNod));
    }
  }
  FreshFilled(m_first, static_cast<std::size_t>(st.nNod) + 2, std::int64_t{0});
  FreshFilled(m_closed, static_cast<std::size_t>(st.nNod) + 1, static_cast<unsigned char>(0));
  // Room for every entry of every list, counted first: growing the step
  // arrays would copy them and touch fresh pages twice over.
  const std::size_t entries = CountEntries(net, st.nNod);
  Fresh(m_far, entries);
  Fresh(m_edge, entries);
  Fresh(m_ways, entries);
  if (st.bTurns) {
    st.lastPos.assign(static_cast<std::size_t>(st.nEdge) + 1, -1);
    st.posAtFrom.assign(static_cast<std::size_t>(st.nEdge) + 1, -1);
    st.posAtTo.assign(static_cast<std::size_t>(st.nEdge) + 1, -1);
    Fresh(m_turnPos, entries);
    Fresh(m_turn, static_cast<std::size_t>(CountTurnEntries(net, st.nTurnNod)));
    FreshFilled(m_turnFirst, static_cast<std::size_t>(st.nNod) + 2, std::int64_t{0});
    FreshFilled(m_turnSize, static_cast<std::size_t>(st.nNod) + 1, std::int32_t{0});
  }
  for (std::int32_t n = 1; n <= st.nNod; ++n) {
    // The read waits on the edges' records, which the lists name in no order
    // memory likes: ask for those of a node a few ahead, and for that node's
    // list a few further.
    if (bPack && n + 2 * kReadAhead <= st.nNod) Prefetch(net.m_pNodConn[n + 2 * kReadAhead - 1].pConnEdge);
    if (bPack && n + kReadAhead <= st.nNod) PrefetchEdges(net, n + kReadAhead, st.nEdge, st.packed.data());
    if (!poll.Step()) return 0;
    ReadNod(net, n, st);
  }
  m_first[static_cast<std::size_t>(st.nNod) + 1] = static_cast<std::int64_t>(m_far.size());
  if (st.bTurns) FinishTurns(st);

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
  const std::int32_t nList = ListLength(conn);
  const bool bTurnsHere = st.bTurns && n <= st.nTurnNod;
  if (bTurnsHere) CopyTurns(net, n, nList, st);
  m_closed[static_cast<std::size_t>(n)] = net.m_pNodState[n - 1] == 1 ? 1 : 0;
  for (std::int32_t i = 0; i < nList; ++i) {
    const std::int32_t entry = conn.pConnEdge[i];
    const std::int32_t e = AbsEdge(entry);
    if (e < 1 || e > st.nEdge) continue;
    const std::uint64_t w = st.Word(e);
    const std::int32_t from = PackedFrom(w);
    const std::int32_t to = PackedTo(w);
    if (st.bTurns) {
      const std::int16_t p = st.lastPos[static_cast<std::size_t>(e)];
      if (from == n) st.posAtFrom[static_cast<std::size_t>(e)] = p;
      if (to == n) st.posAtTo[static_cast<std::size_t>(e)] = p;
    }
    if (m_closed[static_cast<std::size_t>(n)] != 0) continue;  // a closed node has no steps of its own
    std::int32_t far = 0;
    const unsigned char ways = EntryWays(entry, n, from, to, (w & 2U) != 0, (w & 1U) != 0, far);
    if (ways == 0 || far < 1 || far > st.nNod) continue;
    m_far.push_back(far);
    m_edge.push_back(e);
    m_ways.push_back(ways);
    if (st.bTurns) m_turnPos.push_back(st.lastPos[static_cast<std::size_t>(e)]);
  }
  if (bTurnsHere) {
    for (std::int32_t i = 0; i < nList; ++i) {
      const std::int32_t e = AbsEdge(conn.pConnEdge[i]);
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
    const std::int32_t e = AbsEdge(conn.pConnEdge[i]);
    if (e >= 1 && e <= st.nEdge) st.lastPos[static_cast<std::size_t>(e)] = static_cast<std::int16_t>(i);
  }
}

void CNetworkView::FinishTurns(const NReadState& st) {
  m_turnFirst[static_cast<std::size_t>(st.nNod) + 1] = static_cast<std::int64_t>(m_turn.size());
  for (std::size_t n = static_cast<std::size_t>(st.nTurnNod) + 1; n <= static_cast<std::size_t>(st.nNod); ++n) {
    m_turnFirst[n] = static_cast<std::int64_t>(m_turn.size());
  }
  // Where each step's edge stands in its far node's list: the row of the
  // matrix a turn there starts from.
  Fresh(m_farTurnPos, m_far.size());
  m_farTurnPos.resize(m_far.size());
  for (std::size_t j = 0; j < m_far.size(); ++j) {
    const std::int32_t e = m_edge[j];
    m_farTurnPos[j] =
        m_far[j] == PackedTo(st.Word(e)) ? st.posAtTo[static_cast<std::size_t>(e)] : st.posAtFrom[static_cast<std::size_t>(e)];
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

namespace {

constexpr unsigned char kAtFrom = 1;
constexpr unsigned char kAtTo = 2;
constexpr unsigned char kElsewhere = 4;  // listed as an end at a node that is not that end

// Marks, per edge, the ends node n's list claims it is, by the rule ReadNod
// reads them with.
void MarkListedEnds(const CLocalNetwork& net, std::int32_t n, std::int32_t nEdge, unsigned char* marks) {
  const NNodConn_stru& conn = net.m_pNodConn[n - 1];
  const std::int32_t nList = ListLength(conn);
  for (std::int32_t i = 0; i < nList; ++i) {
    const std::int32_t entry = conn.pConnEdge[i];
    const std::int32_t e = AbsEdge(entry);
    if (e < 1 || e > nEdge) continue;
    const NEdgeNod_stru& en = net.m_pEdgeNod[e - 1];
    const bool isFrom = kFirstGeneration ? entry < 0 : en.lFromNod == n;
    const bool isTo = kFirstGeneration ? entry > 0 : en.lToNod == n;
    if (isFrom) marks[e] |= en.lFromNod == n ? kAtFrom : kElsewhere;
    if (isTo) marks[e] |= en.lToNod == n ? kAtTo : kElsewhere;
  }
}

}  // namespace

bool ArrivalsMirrorLeaving(const CNetworkView& view, std::vector<unsigned char>& marks) {
  const CLocalNetwork& net = *view.GetNetwork();
  const std::int32_t nEdge = view.GetEdgeNum();
  if (marks.size() < static_cast<std::size_t>(nEdge) + 1) marks.resize(static_cast<std::size_t>(nEdge) + 1, 0);
  for (std::int32_t n = 1; n <= view.GetNodNum(); ++n) MarkListedEnds(net, n, nEdge, marks.data());
  // An edge blocked both ways gives no step anywhere, and a loop only steps
  // from its node to itself, which no route takes.
  bool bMirror = true;
  for (std::int32_t e = 1; e <= nEdge; ++e) {
    const unsigned char m = marks[static_cast<std::size_t>(e)];
    if (m == 0) continue;
    marks[static_cast<std::size_t>(e)] = 0;
    const bool bOpen = net.m_pUpEdgeState[e - 1] != 1 || net.m_pDownEdgeState[e - 1] != 1;
    const bool bLoop = net.m_pEdgeNod[e - 1].lFromNod == net.m_pEdgeNod[e - 1].lToNod;
    if (bOpen && ((m & kElsewhere) != 0 || (!bLoop && m != (kAtFrom | kAtTo)))) bMirror = false;
  }
  return bMirror;
}

}  // namespace tools
}  // namespace kelvane
