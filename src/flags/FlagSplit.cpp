// FlagSplit.cpp - ordering an edge's flags, scaling weights to pieces, and
// cutting one edge into its pieces.
#include "flags/FlagSplit.h"

#include <algorithm>
#include <cassert>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "network/NetworkInt.h"
#include "network/TableAlloc.h"

namespace kelvane {
namespace {

// Sorts entries[lo .. hi]. After each partition the two parts are disjoint,
// so the order in which they are sorted cannot change the result; the
// smaller one is sorted by recursion and the larger by the loop, which keeps
// the stack depth logarithmic whatever the positions.
void SortRange(FlagSortEntry* entries, std::ptrdiff_t lo, std::ptrdiff_t hi) {
  for (;;) {
    std::ptrdiff_t i = lo;
    std::ptrdiff_t j = hi;
    const double pivot = entries[(lo + hi) / 2].dPos;  // a copy: it stays put while entries move
    while (i <= j) {
      while (entries[i].dPos < pivot) ++i;
      while (pivot < entries[j].dPos) --j;
      if (j < i) break;
      std::swap(entries[i], entries[j]);  // also when i == j: the steps count on it
      ++i;
      --j;
    }
    if (j - lo < hi - i) {
      if (lo < j) SortRange(entries, lo, j);
      if (i >= hi) return;
      lo = i;
    } else {
      if (i < hi) SortRange(entries, i, hi);
      if (lo >= j) return;
      hi = j;
    }
  }
}

// What every piece takes over from the edge it is cut from.
struct EdgeShare {
  char cUp = 0;
  char cDown = 0;
  char cDirect = 0;
  double dDmd = 0.0;
  NWeightVal_stru wgt2;  // column m_lEdgeWgtFld2
  NWeightVal_stru wgt1;  // column m_lEdgeWgtFld1
};

template <class T>
bool HasEntry(const T* table, std::int32_t lElem) {
  return lElem >= 1 && static_cast<std::size_t>(lElem - 1) < TableEntries(table);
}

// Each fixed column is read from its own table, so that its pieces derive from
// it even when the host gave both columns the same id (a lookup by id would
// then hand column 1's record to column 2).
EdgeShare ReadEdgeShare(const CLocalNetwork& net, std::int32_t lEdge) {
  EdgeShare share;
  const std::size_t at = static_cast<std::size_t>(lEdge - 1);
  if (HasEntry(net.m_pDownEdgeState, lEdge)) share.cDown = net.m_pDownEdgeState[at];
  if (HasEntry(net.m_pUpEdgeState, lEdge)) share.cUp = net.m_pUpEdgeState[at];
  if ((net.m_cEdgeDirectMode == 1 || net.m_cEdgeDirectMode == 2) && HasEntry(net.m_pEdgeDirect, lEdge)) {
    share.cDirect = net.m_pEdgeDirect[at];
  }
  if (net.m_cDmdFld >= 0 && HasEntry(net.m_pEdgeDmd, lEdge)) share.dDmd = net.m_pEdgeDmd[at];
  if (net.m_lEdgeWgtFld2 >= 0 && HasEntry(net.m_pEdgeWgt2, lEdge)) share.wgt2 = net.m_pEdgeWgt2[at];
  if (net.m_lEdgeWgtFld1 >= 0 && HasEntry(net.m_pEdgeWgt1, lEdge)) share.wgt1 = net.m_pEdgeWgt1[at];
  return share;
}

// Gives lPiece its share of lEdge's record in every extra column.
void ShareExtColumns(const CLocalNetwork& net, std::int32_t lEdge, std::int32_t lPiece, double dFraction) {
  const std::int32_t nTables = ExtTableCount(net);
  for (std::int32_t i = 0; i < nTables; ++i) {
    NWeightVal_stru* table = ExtTable(net, i);
    if (table == nullptr || !HasEntry(table, lEdge) || !HasEntry(table, lPiece)) continue;
    table[lPiece - 1] = ScaleWeight(table[lEdge - 1], dFraction);
  }
}

// In one end node's list, every entry naming lEdge now names lPiece, sign kept.
void RewireEnd(NNodConn_stru& conn, std::int32_t lEdge, std::int32_t lPiece) {
  const std::int32_t n = ConnBound(conn);
  for (std::int32_t k = 0; k < n; ++k) {
    if (conn.pConnEdge[k] == lEdge) {
      conn.pConnEdge[k] = lPiece;
    } else if (conn.pConnEdge[k] == -lEdge) {
      conn.pConnEdge[k] = -lPiece;
    }
  }
}

// A loop starts and ends at the same node, so that node must reach both the
// first and the last piece: the entry where the loop starts (-e) goes to the
// first piece and the one where it ends (+e) to the last. When the host wrote
// both with one sign, the first entry takes the first piece and any later one
// the last.
void RewireLoop(NNodConn_stru& conn, std::int32_t lEdge, std::int32_t lFirst, std::int32_t lLast) {
  const std::int32_t n = ConnBound(conn);
  bool hasEnd = false;
  bool hasStart = false;
  for (std::int32_t k = 0; k < n; ++k) {
    hasEnd = hasEnd || conn.pConnEdge[k] == lEdge;
    hasStart = hasStart || conn.pConnEdge[k] == -lEdge;
  }
  bool seen = false;
  for (std::int32_t k = 0; k < n; ++k) {
    const std::int32_t entry = conn.pConnEdge[k];
    if (entry != lEdge && entry != -lEdge) continue;
    std::int32_t piece;
    if (hasEnd && hasStart) {
      piece = entry > 0 ? lLast : lFirst;
    } else {
      piece = seen ? lLast : lFirst;
    }
    seen = true;
    conn.pConnEdge[k] = entry > 0 ? piece : -piece;
  }
}

}  // namespace

void SortFlagsByPos(FlagSortEntry* entries, std::int32_t count) {
  // A NaN compares false both ways and would leave the order undefined.
  assert(count <= 0 ||
         std::none_of(entries, entries + count, [](const FlagSortEntry& f) { return std::isnan(f.dPos); }));
  if (count > 1) SortRange(entries, 0, count - 1);
}

std::int32_t SaturateToInt32(double d) {
  if (std::isnan(d)) return 0;
  if (d >= 2147483648.0) return std::numeric_limits<std::int32_t>::max();
  if (d <= -2147483649.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(d);  // in range: truncates toward zero
}

float RoundToFloat(double d) {
  // Halfway between FLT_MAX and the next power of two: from here on, rounding
  // to nearest (ties to even; FLT_MAX's last bit is odd) gives infinity.
  constexpr double kOverflow = static_cast<double>(FLT_MAX) + 0x1p103;
  if (std::isnan(d)) return std::numeric_limits<float>::quiet_NaN();
  if (d >= kOverflow) return std::numeric_limits<float>::infinity();
  if (d <= -kOverflow) return -std::numeric_limits<float>::infinity();
  if (d > FLT_MAX) return FLT_MAX;
  if (d < -FLT_MAX) return -FLT_MAX;
  return static_cast<float>(d);
}

NWeightVal_stru ScaleWeight(const NWeightVal_stru& wgt, double dFraction) {
  NWeightVal_stru piece = wgt;  // bytes beyond the type's width stay as read
  // The value is read from the source record, not from the fresh copy: a load
  // spanning the copy's two stores would stall on every piece.
  const unsigned char* from = reinterpret_cast<const unsigned char*>(&wgt) + offsetof(NWeightVal_stru, dVal);
  unsigned char* to = reinterpret_cast<unsigned char*>(&piece) + offsetof(NWeightVal_stru, dVal);
  switch (piece.cType) {
    case 1: {
      std::int32_t l;
      std::memcpy(&l, from, sizeof l);
      l = SaturateToInt32(l * dFraction);
      std::memcpy(to, &l, sizeof l);
      break;
    }
    case 2: {
      std::int16_t s;
      std::memcpy(&s, from, sizeof s);
      // The low 16 bits of the 32-bit result, as two's complement keeps them.
      const auto low = static_cast<std::uint16_t>(static_cast<std::uint32_t>(SaturateToInt32(s * dFraction)));
      std::memcpy(to, &low, sizeof low);
      break;
    }
    case 3: {
      float f;
      std::memcpy(&f, from, sizeof f);
      f = RoundToFloat(static_cast<double>(f) * dFraction);
      std::memcpy(to, &f, sizeof f);
      break;
    }
    case 4: {
      double d;
      std::memcpy(&d, from, sizeof d);
      d *= dFraction;
      std::memcpy(to, &d, sizeof d);
      break;
    }
    default:
      break;  // a value the library does not interpret travels unchanged
  }
  return piece;
}

void CEdgeSplitter::Reserve(std::int32_t lMaxFlags) {
  const std::size_t n = lMaxFlags > 0 ? static_cast<std::size_t>(lMaxFlags) : 0;
  m_lists.reserve(n);
  m_nods.reserve(n);
  m_pieces.reserve(n + 1);
}

void CEdgeSplitter::Split(std::int32_t lEdge, const FlagSortEntry* flags, std::int32_t count,
                          CSmartArray<TEMPEDGE_MAP_EDGE>& tempEdges, CSmartArray<std::int32_t>& newNods) {
  CLocalNetwork& net = m_net;
  // A live edge: deletion writes 2 into both states; one 2 alone is an open state.
  assert(lEdge >= 1 && lEdge <= EdgeEndBound(net) &&
         !(net.m_pUpEdgeState[lEdge - 1] == 2 && net.m_pDownEdgeState[lEdge - 1] == 2));
  assert(count >= 0 && static_cast<std::size_t>(count) <= m_nods.capacity());
  assert(TableEntries(net.m_pNodState) >= static_cast<std::size_t>(net.m_lNodNum) + static_cast<std::size_t>(count));
  m_lists.clear();
  m_nods.clear();
  m_pieces.clear();

  // The new nodes' lists are the only memory a split needs. Made before the
  // first change, a failure leaves the edge whole and the network as it was
  // (lists already cut from the arena stay with it until the network is
  // cleared). They come from the same arena as the host's lists, so a million
  // new nodes cost no million allocations.
  for (std::int32_t k = 0; k < count; ++k) {
    std::int32_t* list = net.m_pNodConn != nullptr ? kelvane::AllocConnList(net.m_pNodConn, 2) : nullptr;
    if (list == nullptr) throw std::bad_alloc();
    m_lists.push_back(list);
  }

  // Nothing below allocates: the vectors and the three lists have their room.
  const EdgeShare share = ReadEdgeShare(net, lEdge);
  double dPrev = 0.0;
  for (std::int64_t kk = 0; kk <= count; ++kk) {  // count may be INT32_MAX: counted in 64 bits
    const auto k = static_cast<std::int32_t>(kk);
    double dFraction;
    if (k < count) {
      const std::int32_t lNod = CNetworkAccess::AppendNod(net);
      m_nods.push_back(lNod);
      newNods.Add(lNod);
      dFraction = flags[k].dPos - dPrev;
      dPrev = flags[k].dPos;
    } else {
      dFraction = 1.0 - dPrev;
    }
    NWeightVal_stru wgt2 = ScaleWeight(share.wgt2, dFraction);
    NWeightVal_stru wgt1 = ScaleWeight(share.wgt1, dFraction);
    const std::int32_t lPiece = CNetworkAccess::AppendEdge(net, wgt2, wgt1, share.cUp, share.cDown, share.cDirect,
                                                           share.dDmd * dFraction);
    m_pieces.push_back(lPiece);
    tempEdges.Add(TEMPEDGE_MAP_EDGE{lPiece, lEdge});
    ShareExtColumns(net, lEdge, lPiece, dFraction);
  }

  // Each new node sits between two pieces: the one before ends there (+),
  // the one after starts there (-).
  for (std::int32_t k = 0; k < count; ++k) {
    std::int32_t* list = m_lists[static_cast<std::size_t>(k)];
    const std::int32_t lNod = m_nods[static_cast<std::size_t>(k)];
    list[0] = m_pieces[static_cast<std::size_t>(k)];
    list[1] = -m_pieces[static_cast<std::size_t>(k) + 1];
    if (HasEntry(net.m_pNodConn, lNod)) {
      net.m_pNodConn[lNod - 1].sConnNum = 2;
      net.m_pNodConn[lNod - 1].pConnEdge = list;
    }
  }

  const NEdgeNod_stru ends = net.m_pEdgeNod[lEdge - 1];
  const std::int32_t lFirst = m_pieces.front();
  const std::int32_t lLast = m_pieces.back();
  if (ends.lFromNod == ends.lToNod) {
    if (HasEntry(net.m_pNodConn, ends.lFromNod)) RewireLoop(net.m_pNodConn[ends.lFromNod - 1], lEdge, lFirst, lLast);
  } else {
    if (HasEntry(net.m_pNodConn, ends.lFromNod)) RewireEnd(net.m_pNodConn[ends.lFromNod - 1], lEdge, lFirst);
    if (HasEntry(net.m_pNodConn, ends.lToNod)) RewireEnd(net.m_pNodConn[ends.lToNod - 1], lEdge, lLast);
  }

  for (std::int64_t kk = 0; kk <= count; ++kk) {  // count may be INT32_MAX: counted in 64 bits
    const auto k = static_cast<std::int32_t>(kk);
    const std::int32_t lPiece = m_pieces[static_cast<std::size_t>(k)];
    if (!HasEntry(net.m_pEdgeNod, lPiece)) continue;
    net.m_pEdgeNod[lPiece - 1].lFromNod = k == 0 ? ends.lFromNod : m_nods[static_cast<std::size_t>(k) - 1];
    net.m_pEdgeNod[lPiece - 1].lToNod = k == count ? ends.lToNod : m_nods[static_cast<std::size_t>(k)];
  }

  CNetworkAccess::DeleteEdge(net, lEdge);
}

}  // namespace kelvane
