// LocalNetwork.cpp - lifetime of a network: construction, copies, table
// allocation and release.
#include "kelvane/LocalNetwork.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "network/NetTables.h"
#include "network/NetworkInt.h"
#include "network/TableAlloc.h"

namespace {

using kelvane::ExtColumnsDesc;
using kelvane::ForEachSetting;
using kelvane::ForEachTable;
using kelvane::FreeTable;
using kelvane::HeldTable;
using kelvane::kHoldsTables;
using kelvane::Per;
using kelvane::ReleaseTable;
using kelvane::TableDesc;
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

// Releases every table with the lists and matrices its entries hold, bounded
// by the entry counts the tables carry rather than by the public counts, which
// the host may have rewritten. Counts and settings are left alone.
struct ReleaseVisitor {
  CLocalNetwork& net;
  template <class T>
  void operator()(TableDesc<T> d) const {
    T*& table = net.*d.member;
    if constexpr (kHoldsTables<T>) {
      const std::size_t n = TableEntries(table);
      for (std::size_t i = 0; i < n; ++i) ReleaseTable(HeldTable(table[i]));
    }
    ReleaseTable(table);
  }
  template <class Tables, class Ids>
  void operator()(ExtColumnsDesc<Tables, Ids> d) const {
    Tables& tables = net.*d.tables;
    for (std::int32_t i = 0; i < tables.GetSize(); ++i) ReleaseTable(*tables.GetPtr(i));
    tables.RemoveAll();
  }
};

void ReleaseTables(CLocalNetwork& net) { ForEachTable(ReleaseVisitor{net}); }

void ReleaseTraceBits(CLocalNetwork& net) {
  ReleaseTable(net.m_pNodTraceBit);
  ReleaseTable(net.m_pEdgeTraceBit);
}

// Gives dst, whose tables are all null, tables of its own with src's contents.
// A table whose entries hold tables has those entries nulled before they are
// duplicated one by one, so when memory runs out part-way dst owns exactly
// what it holds and ReleaseTables frees it.
struct CopyVisitor {
  CLocalNetwork& dst;
  const CLocalNetwork& src;
  template <class T>
  void operator()(TableDesc<T> d) const {
    T*& table = dst.*d.member;
    table = DupTable(src.*d.member);
    if constexpr (kHoldsTables<T>) {
      T* from = src.*d.member;
      const std::size_t n = TableEntries(table);
      for (std::size_t i = 0; i < n; ++i) HeldTable(table[i]) = nullptr;
      for (std::size_t i = 0; i < n; ++i) HeldTable(table[i]) = DupTable(HeldTable(from[i]));
    }
  }
  template <class Tables, class Ids>
  void operator()(ExtColumnsDesc<Tables, Ids> d) const {
    (dst.*d.ids).Copy(src.*d.ids);
    // The copied array holds the source's pointers: null them before anything
    // can fail, so a failure never releases a table of the source.
    Tables& tables = dst.*d.tables;
    const Tables& from = src.*d.tables;
    tables.Copy(from);
    for (std::int32_t i = 0; i < tables.GetSize(); ++i) *tables.GetPtr(i) = nullptr;
    for (std::int32_t i = 0; i < tables.GetSize(); ++i) *tables.GetPtr(i) = DupTable(from.GetAt(i));
  }
};

template <class T>
void SwapValues(T& a, T& b) {
  T t = a;
  a = b;
  b = t;
}

struct SwapVisitor {
  CLocalNetwork& a;
  CLocalNetwork& b;
  template <class T>
  void operator()(TableDesc<T> d) const {
    SwapValues(a.*d.member, b.*d.member);
  }
  template <class Tables, class Ids>
  void operator()(ExtColumnsDesc<Tables, Ids> d) const {
    (a.*d.tables).Swap(b.*d.tables);
    (a.*d.ids).Swap(b.*d.ids);
  }
};

void SwapNetworks(CLocalNetwork& a, CLocalNetwork& b) {
  ForEachTable(SwapVisitor{a, b});
  ForEachSetting([&a, &b](auto member) { SwapValues(a.*member, b.*member); });
  SwapValues(a.m_lTraceFlag, b.m_lTraceFlag);
  SwapValues(a.m_pNodTraceBit, b.m_pNodTraceBit);
  SwapValues(a.m_pEdgeTraceBit, b.m_pEdgeTraceBit);
  SwapValues(a.m_lNodTraceBytes, b.m_lNodTraceBytes);
  SwapValues(a.m_lEdgeTraceBytes, b.m_lEdgeTraceBytes);
  kelvane::SwapRecorders(a, b);
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
  ForEachSetting([this, &src](auto member) { this->*member = src.*member; });
  m_lTraceFlag = src.m_lTraceFlag;
  m_lNodTraceBytes = src.m_lNodTraceBytes;
  m_lEdgeTraceBytes = src.m_lEdgeTraceBytes;
  kelvane::CopyRecorders(*this, src);
  ForEachTable(CopyVisitor{*this, src});
  m_pNodTraceBit = DupTable(src.m_pNodTraceBit);
  m_pEdgeTraceBit = DupTable(src.m_pEdgeTraceBit);
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
  ForEachSetting([this](auto member) { this->*member = 0; });
}

namespace {

// Allocates one zero-filled table of count entries into `table`; false when
// memory runs out.
template <class T>
bool MakeTable(T*& table, std::int32_t count) {
  table = kelvane::NewTable<T>(static_cast<std::size_t>(count));
  return table != nullptr;
}

// Makes each table the settings ask for, in list order, until one fails.
struct MakeVisitor {
  CLocalNetwork& net;
  std::int32_t nNod;
  std::int32_t nEdge;
  bool ok = true;
  template <class T>
  void operator()(TableDesc<T> d) {
    if (ok && d.wanted(net)) ok = MakeTable(net.*d.member, d.per == Per::kNod ? nNod : nEdge);
  }
  template <class Tables, class Ids>
  void operator()(ExtColumnsDesc<Tables, Ids> d) {
    // A negative id gets a null entry, so entry i still belongs to id i.
    const Ids& ids = net.*d.ids;
    Tables& tables = net.*d.tables;
    for (std::int32_t i = 0; i < ids.GetSize() && ok; ++i) {
      NWeightVal_stru* table = nullptr;
      if (ids.GetAt(i) >= 0 && !MakeTable(table, nEdge)) {
        ok = false;
        break;
      }
      try {
        tables.Add(table);
      } catch (const std::bad_alloc&) {
        FreeTable(table);
        ok = false;
      }
    }
  }
};

}  // namespace

std::int32_t CLocalNetwork::ReallocMemory() {
  ReleaseTables(*this);  // a second call must not leak what the first made
  kelvane::StartRecorders(*this);
  if (m_lNodNum < 0 || m_lEdgeNum < 0) {
    clear();
    return 0;
  }
  MakeVisitor make{*this, m_lNodNum, m_lEdgeNum};
  ForEachTable(make);
  if (!make.ok) {
    clear();
    return 0;
  }
  return 1;
}
