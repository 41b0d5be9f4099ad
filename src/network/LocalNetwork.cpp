// LocalNetwork.cpp - lifetime of a network: construction, copies, table
// allocation and release.
#include "kelvane/LocalNetwork.h"

#include <cstring>
#include <new>

#include "network/NetworkInt.h"
#include "network/TableAlloc.h"

namespace {

using kelvane::FreeTable;
using kelvane::ReleaseTable;
using kelvane::TableEntries;

// A table of the same entries as `table`, or null for null. Throws when memory runs out.
template <class T>
T* DupTable(const T* table) {
  if (table == nullptr) return nullptr;
  std::size_t n = TableEntries(table);
  T* copy = kelvane::NewTable<T>(n);
  if (copy == nullptr) throw std::bad_alloc();
  if (n != 0) std::memcpy(static_cast<void*>(copy), static_cast<const void*>(table), n * sizeof(T));
  return copy;
}

// Releases every table, list, matrix and extra weight table, bounded by the
// entry counts the tables carry rather than by the public counts, which the
// host may have rewritten. Counts and settings are left alone.
void ReleaseTables(CLocalNetwork& net) {
  if (net.m_ppTurnWgt != nullptr) {
    std::size_t n = TableEntries(net.m_ppTurnWgt);
    for (std::size_t i = 0; i < n; ++i) ReleaseTable(net.m_ppTurnWgt[i]);
  }
  if (net.m_pNodConn != nullptr) {
    std::size_t n = TableEntries(net.m_pNodConn);
    for (std::size_t i = 0; i < n; ++i) ReleaseTable(net.m_pNodConn[i].pConnEdge);
  }
  ReleaseTable(net.m_pEdgeNod);
  ReleaseTable(net.m_pNodConn);
#if !KELVANE_FIRST_GENERATION
  for (std::int32_t i = 0; i < net.m_ExtEdgeWgt.GetSize(); ++i) {
    NWeightVal_stru** slot = net.m_ExtEdgeWgt.GetPtr(i);
    ReleaseTable(*slot);
  }
  net.m_ExtEdgeWgt.RemoveAll();
#endif
  ReleaseTable(net.m_pEdgeWgt1);
  ReleaseTable(net.m_pEdgeWgt2);
  ReleaseTable(net.m_pNodWgt);
  ReleaseTable(net.m_ppTurnWgt);
  ReleaseTable(net.m_pNodState);
  ReleaseTable(net.m_pUpEdgeState);
  ReleaseTable(net.m_pDownEdgeState);
  ReleaseTable(net.m_pEdgeDirect);
  ReleaseTable(net.m_pNodDmd);
  ReleaseTable(net.m_pEdgeDmd);
}

void ReleaseTraceBits(CLocalNetwork& net) {
  ReleaseTable(net.m_pNodTraceBit);
  ReleaseTable(net.m_pEdgeTraceBit);
}

// Gives dst, whose table pointers are all null, tables of its own with src's
// contents. Each duplicated table of pointers is nulled before its entries are
// duplicated one by one, so when memory runs out part-way dst owns exactly
// what it holds and ReleaseTables frees it.
void CopyTables(CLocalNetwork& dst, const CLocalNetwork& src) {
#if !KELVANE_FIRST_GENERATION
  // The copied array holds the source's pointers: null them before anything
  // can fail, so a failure never releases a table of the source.
  const std::int32_t nExt = dst.m_ExtEdgeWgt.GetSize();
  for (std::int32_t i = 0; i < nExt; ++i) *dst.m_ExtEdgeWgt.GetPtr(i) = nullptr;
#endif
  dst.m_pEdgeNod = DupTable(src.m_pEdgeNod);
  dst.m_pNodConn = DupTable(src.m_pNodConn);
  std::size_t nConn = TableEntries(dst.m_pNodConn);
  for (std::size_t i = 0; i < nConn; ++i) dst.m_pNodConn[i].pConnEdge = nullptr;
  for (std::size_t i = 0; i < nConn; ++i) dst.m_pNodConn[i].pConnEdge = DupTable(src.m_pNodConn[i].pConnEdge);
  dst.m_pEdgeWgt1 = DupTable(src.m_pEdgeWgt1);
  dst.m_pEdgeWgt2 = DupTable(src.m_pEdgeWgt2);
  dst.m_pNodWgt = DupTable(src.m_pNodWgt);
  dst.m_ppTurnWgt = DupTable(src.m_ppTurnWgt);
  std::size_t nTurn = TableEntries(dst.m_ppTurnWgt);
  for (std::size_t i = 0; i < nTurn; ++i) dst.m_ppTurnWgt[i] = nullptr;
  for (std::size_t i = 0; i < nTurn; ++i) dst.m_ppTurnWgt[i] = DupTable(src.m_ppTurnWgt[i]);
  dst.m_pNodState = DupTable(src.m_pNodState);
  dst.m_pUpEdgeState = DupTable(src.m_pUpEdgeState);
  dst.m_pDownEdgeState = DupTable(src.m_pDownEdgeState);
  dst.m_pEdgeDirect = DupTable(src.m_pEdgeDirect);
  dst.m_pNodDmd = DupTable(src.m_pNodDmd);
  dst.m_pEdgeDmd = DupTable(src.m_pEdgeDmd);
#if !KELVANE_FIRST_GENERATION
  CSmartArray<NWeightVal_stru*>& srcExt = const_cast<CSmartArray<NWeightVal_stru*>&>(src.m_ExtEdgeWgt);
  for (std::int32_t i = 0; i < nExt; ++i) *dst.m_ExtEdgeWgt.GetPtr(i) = DupTable(*srcExt.GetPtr(i));
#endif
  dst.m_pNodTraceBit = DupTable(src.m_pNodTraceBit);
  dst.m_pEdgeTraceBit = DupTable(src.m_pEdgeTraceBit);
}

template <class T>
void SwapValues(T& a, T& b) {
  T t = a;
  a = b;
  b = t;
}

void SwapNetworks(CLocalNetwork& a, CLocalNetwork& b) {
  SwapValues(a.m_pEdgeNod, b.m_pEdgeNod);
  SwapValues(a.m_pNodConn, b.m_pNodConn);
  SwapValues(a.m_pEdgeWgt1, b.m_pEdgeWgt1);
  SwapValues(a.m_pEdgeWgt2, b.m_pEdgeWgt2);
  SwapValues(a.m_pNodWgt, b.m_pNodWgt);
  SwapValues(a.m_ppTurnWgt, b.m_ppTurnWgt);
  SwapValues(a.m_pNodState, b.m_pNodState);
  SwapValues(a.m_pUpEdgeState, b.m_pUpEdgeState);
  SwapValues(a.m_pDownEdgeState, b.m_pDownEdgeState);
  SwapValues(a.m_pEdgeDirect, b.m_pEdgeDirect);
  SwapValues(a.m_pNodDmd, b.m_pNodDmd);
  SwapValues(a.m_pEdgeDmd, b.m_pEdgeDmd);
  SwapValues(a.m_lTraceFlag, b.m_lTraceFlag);
  SwapValues(a.m_pNodTraceBit, b.m_pNodTraceBit);
  SwapValues(a.m_pEdgeTraceBit, b.m_pEdgeTraceBit);
  SwapValues(a.m_lNodNum, b.m_lNodNum);
  SwapValues(a.m_lEdgeNum, b.m_lEdgeNum);
  SwapValues(a.m_lNodWgtFld, b.m_lNodWgtFld);
  SwapValues(a.m_lEdgeWgtFld1, b.m_lEdgeWgtFld1);
  SwapValues(a.m_lEdgeWgtFld2, b.m_lEdgeWgtFld2);
  SwapValues(a.m_cDmdFld, b.m_cDmdFld);
  SwapValues(a.m_lTurnWgtFlag, b.m_lTurnWgtFlag);
  SwapValues(a.m_lReserve, b.m_lReserve);
  SwapValues(a.m_cEdgeDirectMode, b.m_cEdgeDirectMode);
  SwapValues(a.m_lNodTraceBytes, b.m_lNodTraceBytes);
  SwapValues(a.m_lEdgeTraceBytes, b.m_lEdgeTraceBytes);
#if !KELVANE_FIRST_GENERATION
  a.m_ExtEdgeWgt.Swap(b.m_ExtEdgeWgt);
  a.m_BlockedNod.Swap(b.m_BlockedNod);
  a.m_BlockedEdge.Swap(b.m_BlockedEdge);
  a.m_ExtEdgeWgtFld.Swap(b.m_ExtEdgeWgtFld);
#endif
}

}  // namespace

CLocalNetwork::CLocalNetwork()
    : m_pEdgeNod(nullptr),
      m_pNodConn(nullptr),
      m_pEdgeWgt1(nullptr),
      m_pEdgeWgt2(nullptr),
      m_pNodWgt(nullptr),
      m_ppTurnWgt(nullptr),
      m_pNodState(nullptr),
      m_pUpEdgeState(nullptr),
      m_pDownEdgeState(nullptr),
      m_pEdgeDirect(nullptr),
      m_pNodDmd(nullptr),
      m_pEdgeDmd(nullptr),
      m_lTraceFlag(0),
      m_pNodTraceBit(nullptr),
      m_pEdgeTraceBit(nullptr),
      m_lNodNum(0),
      m_lEdgeNum(0),
      m_lNodWgtFld(0),
      m_lEdgeWgtFld1(0),
      m_lEdgeWgtFld2(0),
      m_cDmdFld(0),
      m_lTurnWgtFlag(0),
      m_lReserve(0),
      m_cEdgeDirectMode(0),
      m_lNodTraceBytes(0),
      m_lEdgeTraceBytes(0) {}

// Delegates to the default constructor, so that once it has run a throw below
// runs the destructor, which releases whatever had been copied by then.
CLocalNetwork::CLocalNetwork(const CLocalNetwork& src) : CLocalNetwork() {
  m_lTraceFlag = src.m_lTraceFlag;
  m_lNodNum = src.m_lNodNum;
  m_lEdgeNum = src.m_lEdgeNum;
  m_lNodWgtFld = src.m_lNodWgtFld;
  m_lEdgeWgtFld1 = src.m_lEdgeWgtFld1;
  m_lEdgeWgtFld2 = src.m_lEdgeWgtFld2;
  m_cDmdFld = src.m_cDmdFld;
  m_lTurnWgtFlag = src.m_lTurnWgtFlag;
  m_lReserve = src.m_lReserve;
  m_cEdgeDirectMode = src.m_cEdgeDirectMode;
  m_lNodTraceBytes = src.m_lNodTraceBytes;
  m_lEdgeTraceBytes = src.m_lEdgeTraceBytes;
#if !KELVANE_FIRST_GENERATION
  CMyTrace blockedNod(src.m_BlockedNod);
  m_BlockedNod.Swap(blockedNod);
  CMyTrace blockedEdge(src.m_BlockedEdge);
  m_BlockedEdge.Swap(blockedEdge);
  m_ExtEdgeWgtFld.Copy(src.m_ExtEdgeWgtFld);
  m_ExtEdgeWgt.Copy(src.m_ExtEdgeWgt);  // the source's pointers, replaced first thing below
#endif
  CopyTables(*this, src);
}

CLocalNetwork& CLocalNetwork::operator=(const CLocalNetwork& src) {
  if (&src == this) return *this;
  CLocalNetwork copy(src);  // all allocation happens here; on failure *this is untouched
  SwapNetworks(*this, copy);
  return *this;
}

CLocalNetwork::~CLocalNetwork() {
  clear();
  ReleaseTraceBits(*this);
}

void CLocalNetwork::clear() {
  ReleaseTables(*this);
  m_lNodNum = 0;
  m_lEdgeNum = 0;
  m_lNodWgtFld = 0;
  m_lEdgeWgtFld1 = 0;
  m_lEdgeWgtFld2 = 0;
  m_lTurnWgtFlag = 0;
  m_lReserve = 0;
  m_cDmdFld = 0;
  m_cEdgeDirectMode = 0;
}

namespace {

// Allocates one zero-filled table of count entries into `table`; false when
// memory runs out.
template <class T>
bool MakeTable(T*& table, std::int32_t count) {
  table = kelvane::NewTable<T>(static_cast<std::size_t>(count));
  return table != nullptr;
}

}  // namespace

std::int32_t CLocalNetwork::ReallocMemory() {
  ReleaseTables(*this);  // a second call must not leak what the first made
#if !KELVANE_FIRST_GENERATION
  m_BlockedEdge.m_lElemNum = m_lEdgeNum;
  m_BlockedEdge.StartTrace();
  m_BlockedNod.m_lElemNum = m_lNodNum;
  m_BlockedNod.StartTrace();
#endif
  if (m_lNodNum < 0 || m_lEdgeNum < 0) {
    clear();
    return 0;
  }
  const std::int32_t nNod = m_lNodNum;
  const std::int32_t nEdge = m_lEdgeNum;
  bool ok = MakeTable(m_pEdgeNod, nEdge) && MakeTable(m_pNodConn, nNod) &&
            (m_lNodWgtFld < 0 || MakeTable(m_pNodWgt, nNod)) &&
            (m_lEdgeWgtFld1 < 0 || MakeTable(m_pEdgeWgt1, nEdge)) &&
            (m_lEdgeWgtFld2 < 0 || MakeTable(m_pEdgeWgt2, nEdge));
#if !KELVANE_FIRST_GENERATION
  if (ok) {
    // A negative id gets a null entry, so entry i still belongs to id i.
    const std::int32_t nExt = m_ExtEdgeWgtFld.GetSize();
    for (std::int32_t i = 0; i < nExt && ok; ++i) {
      NWeightVal_stru* table = nullptr;
      if (m_ExtEdgeWgtFld.GetAt(i) >= 0 && !MakeTable(table, nEdge)) {
        ok = false;
        break;
      }
      try {
        m_ExtEdgeWgt.Add(table);
      } catch (const std::bad_alloc&) {
        FreeTable(table);
        ok = false;
      }
    }
  }
#endif
  ok = ok && (m_lTurnWgtFlag != 1 || MakeTable(m_ppTurnWgt, nNod)) && MakeTable(m_pNodState, nNod) &&
       MakeTable(m_pUpEdgeState, nEdge) && MakeTable(m_pDownEdgeState, nEdge) &&
       ((m_cEdgeDirectMode != 1 && m_cEdgeDirectMode != 2) || MakeTable(m_pEdgeDirect, nEdge)) &&
       (m_cDmdFld < 0 || (MakeTable(m_pNodDmd, nNod) && MakeTable(m_pEdgeDmd, nEdge)));
  if (!ok) {
    clear();
    return 0;
  }
  return 1;
}
