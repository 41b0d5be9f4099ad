// MapNetFlag.cpp - flag mapping: every flag ends up on a node, each flagged
// edge cut at its flags into pieces that share its states and weights.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdint>
#include <limits>
#include <new>
#include <vector>

#include "flags/FlagSplit.h"
#include "kelvane/LocalNetwork.h"
#include "network/NetworkInt.h"
#include "network/TableAlloc.h"

namespace {

// The edges and nodes as the call starts: a flag is mapped only onto an edge
// whose tables have its entry, that is not deleted already, and whose end nodes
// have their entries; anything else would read or write outside the tables.
struct MapLimits {
  std::int32_t lEdges;  // edges 1 to this have end nodes and both states
  std::int32_t lNods;   // nodes 1 to this have a state and a connection record
};

// Whether a flag on edge e (1 to limits.lEdges) can be mapped: the edge is not
// deleted and both its end nodes have their entries. Read per edge, once the
// flags are in edge order, so the tables are read front to back.
bool IsMappableEdge(const CLocalNetwork& net, const MapLimits& limits, std::int32_t e) {
  if (net.m_pUpEdgeState[e - 1] == 2 && net.m_pDownEdgeState[e - 1] == 2) return false;
  const NEdgeNod_stru& ends = net.m_pEdgeNod[e - 1];
  return ends.lFromNod >= 1 && ends.lFromNod <= limits.lNods && ends.lToNod >= 1 && ends.lToNod <= limits.lNods;
}

// Orders the entries by edge, and within an edge keeps the order they came
// in. Many entries go through stable counting passes over the edge number,
// 11 bits at a time and only as many passes as the largest edge needs: 2,048
// buckets keep every pass's write positions in cache. Few entries are cheaper
// to compare.
void SortByEdge(std::vector<kelvane::FlagSortEntry>& entries, std::int32_t lMaxEdge) {
  using kelvane::FlagSortEntry;
  constexpr std::size_t kRadixFrom = 4096;
  constexpr int kDigitBits = 11;
  if (entries.size() < kRadixFrom) {
    std::sort(entries.begin(), entries.end(), [](const FlagSortEntry& a, const FlagSortEntry& b) {
      return a.lEdge != b.lEdge ? a.lEdge < b.lEdge : a.lIndex < b.lIndex;
    });
    return;
  }
  std::vector<FlagSortEntry> sorted(entries.size());
  std::vector<std::size_t> start(std::size_t{1} << kDigitBits);
  for (int shift = 0; shift < 32 && (static_cast<std::uint32_t>(lMaxEdge) >> shift) != 0; shift += kDigitBits) {
    auto digit = [shift](const FlagSortEntry& f) {
      return (static_cast<std::uint32_t>(f.lEdge) >> shift) & ((1u << kDigitBits) - 1);
    };
    std::fill(start.begin(), start.end(), 0);
    for (const FlagSortEntry& f : entries) ++start[digit(f)];
    std::size_t at = 0;
    for (std::size_t& n : start) {
      const std::size_t count = n;
      n = at;
      at += count;
    }
    for (const FlagSortEntry& f : entries) sorted[start[digit(f)]++] = f;
    entries.swap(sorted);
  }
}

// The end of the group that starts at entries[first]: the first entry past
// it on another edge, or count.
std::size_t GroupEnd(const std::vector<kelvane::FlagSortEntry>& entries, std::size_t first, std::size_t count) {
  std::size_t end = first + 1;
  while (end < count && entries[end].lEdge == entries[first].lEdge) ++end;
  return end;
}

// Node k of newNods was made for entries[k]: each goes to its flag's input index.
void HandNodsToFlags(const std::vector<kelvane::FlagSortEntry>& entries, CSmartArray<std::int32_t>& newNods,
                     std::int32_t* nodOfFlag) {
  const std::int32_t n = newNods.GetSize();
  const std::int32_t* nods = n == 0 ? nullptr : newNods.GetPtr(0);
  for (std::int32_t k = 0; k < n; ++k) nodOfFlag[entries[static_cast<std::size_t>(k)].lIndex] = nods[k];
}

// Groups the mappable edge flags by edge, orders each group and splits the
// edges in ascending order. nodOfFlag[j] receives the new node of flag j.
void MapEdgeFlags(CLocalNetwork& net, const NET_FLGstruct* flags, std::int32_t nFlags, std::int32_t* nodOfFlag,
                  CSmartArray<TEMPEDGE_MAP_EDGE>& tempEdges, CSmartArray<std::int32_t>& newNods) {
  MapLimits limits;
  limits.lEdges = kelvane::EdgeEndBound(net);
  limits.lNods = kelvane::NodBound(net);

  // The edge flags in input order, then grouped by edge: the groups come in
  // ascending edge order, each with its flags in input order.
  std::vector<kelvane::FlagSortEntry> entries;
  entries.reserve(static_cast<std::size_t>(nFlags));
  for (std::int32_t j = 0; j < nFlags; ++j) {
    const NET_FLGstruct& flag = flags[j];
    const std::int32_t e = flag.lElemID;
    if (flag.cFlgType != 2 || e < 1 || e > limits.lEdges || std::isnan(flag.dPos)) continue;
    entries.push_back(kelvane::FlagSortEntry{flag.dPos, j, e});
  }
  SortByEdge(entries, limits.lEdges);

  // --- Ordering. The groups of edges that can be split close up at the
  // front, each sorted by position in place.
  std::size_t nEdgeFlags = 0;
  std::size_t nGroups = 0;
  std::size_t maxGroup = 0;
  for (std::size_t k = 0; k < entries.size();) {
    const std::int32_t e = entries[k].lEdge;
    const std::size_t end = GroupEnd(entries, k, entries.size());
    if (IsMappableEdge(net, limits, e)) {
      const std::size_t first = nEdgeFlags;
      while (k < end) entries[nEdgeFlags++] = entries[k++];
      kelvane::SortFlagsByPos(&entries[first], static_cast<std::int32_t>(nEdgeFlags - first));
      maxGroup = std::max(maxGroup, nEdgeFlags - first);
      ++nGroups;
    }
    k = end;
  }
  if (nEdgeFlags == 0) return;
  entries.resize(nEdgeFlags);

  // --- Splitting. One node per edge flag, one piece per flag plus one per
  // edge. Counts past 32 bits could never have tables: that is an allocation
  // failure, raised before anything changes.
  const std::size_t nPieces = nEdgeFlags + nGroups;
  if (nEdgeFlags > static_cast<std::size_t>(INT32_MAX - net.m_lNodNum) ||
      nPieces > static_cast<std::size_t>(INT32_MAX - net.m_lEdgeNum)) {
    throw std::bad_alloc();
  }
  // Every allocation that can be made up front is made here, before the
  // network changes; room in the output lists means their Add cannot throw.
  newNods.ReserveBack(static_cast<std::int32_t>(nEdgeFlags));
  tempEdges.ReserveBack(static_cast<std::int32_t>(nPieces));
  kelvane::CEdgeSplitter splitter(net);
  splitter.Reserve(static_cast<std::int32_t>(maxGroup));
  const auto lNodAdd = static_cast<std::int32_t>(nEdgeFlags);
  const auto lEdgeAdd = static_cast<std::int32_t>(nPieces);
  if (CNetworkAccess::AppendElemS(net, lNodAdd, lEdgeAdd) != 1) return;

  // Each split completes or throws having changed nothing, so a failure leaves
  // the groups before it split and the rest whole. The new nodes go to newNods
  // in entry order; they are handed to their flags afterwards, in one pass of
  // its own (interleaved with the splits, those scattered stores stall them).
  try {
    for (std::size_t first = 0; first < nEdgeFlags;) {
      const std::size_t end = GroupEnd(entries, first, nEdgeFlags);
      splitter.Split(entries[first].lEdge, &entries[first], static_cast<std::int32_t>(end - first), tempEdges,
                     newNods);
      first = end;
    }
  } catch (...) {
    HandNodsToFlags(entries, newNods, nodOfFlag);
    throw;
  }
  HandNodsToFlags(entries, newNods, nodOfFlag);
}

// Writes the output flags in one pass, in input order: each mapped flag as a
// node flag on its new node, every other flag (from `flags`, the input) as it
// came. When the host passed one list as input and output (inPlace), it holds
// every flag as it came already and only the mapped records are rewritten.
// The room for the output was reserved before, so nothing here allocates.
void WriteOutputFlags(const NET_FLGstruct* flags, bool inPlace, CSmartArray<NET_FLGstruct>& out,
                      const std::vector<std::int32_t>& nodOfFlag) {
  const std::int32_t n = static_cast<std::int32_t>(nodOfFlag.size());
  if (n == 0) return;
  NET_FLGstruct* dst = inPlace ? out.GetPtr(0) : out.ReserveBack(n);
  // Runs, not records: each run of flags passed through is one copy, and each
  // run of node flags one clear followed by the fields that are not zero. Large
  // copies and clears stream past the caches, where record-by-record stores
  // would first read every line they fill. Node flags are thus built from zero
  // bytes, padding included, so no stale bytes reach the host's list: position
  // 0.0, empty text (the edge flag's text does not travel).
  static_assert(std::numeric_limits<double>::is_iec559, "a cleared flag must hold position 0.0");
  for (std::int32_t j = 0; j < n;) {
    const bool mapped = nodOfFlag[static_cast<std::size_t>(j)] != 0;
    std::int32_t end = j + 1;
    while (end < n && (nodOfFlag[static_cast<std::size_t>(end)] != 0) == mapped) ++end;
    const std::size_t bytes = static_cast<std::size_t>(end - j) * sizeof(NET_FLGstruct);
    if (!mapped) {
      if (!inPlace) std::memcpy(static_cast<void*>(&dst[j]), &flags[j], bytes);
    } else {
      std::memset(static_cast<void*>(&dst[j]), 0, bytes);
      for (std::int32_t k = j; k < end; ++k) {
        dst[k].cFlgType = 1;
        dst[k].lElemID = nodOfFlag[static_cast<std::size_t>(k)];
      }
    }
    j = end;
  }
  if (!inPlace) out.CommitBack(n);
}

}  // namespace

std::int32_t CLocalNetwork::MapNetFlag(const CSmartArray<NET_FLGstruct>& in, CSmartArray<NET_FLGstruct>& out,
                                       CSmartArray<TEMPEDGE_MAP_EDGE>& tempEdges,
                                       CSmartArray<std::int32_t>& newNods) {
  // The flags are read from the input as it came; the output is written once,
  // in input order, when the splitting ends (or fails part-way), so a host
  // that passes one list as both input and output is served too.
  const std::int32_t nFlags = in.GetSize();
  const NET_FLGstruct* flags = nFlags == 0 ? nullptr : const_cast<CSmartArray<NET_FLGstruct>&>(in).GetPtr(0);
  newNods.RemoveAll();
  if (&out != &in) {
    out.RemoveAll();
    out.ReserveBack(nFlags);  // room for the copy, so writing it cannot fail
  }
  tempEdges.RemoveAll();

  std::vector<std::int32_t> nodOfFlag;  // the new node of each mapped flag, 0 for the rest
  try {
    nodOfFlag.assign(static_cast<std::size_t>(nFlags), 0);
  } catch (...) {
    if (&out != &in) out.Copy(in);
    throw;
  }
  try {
    MapEdgeFlags(*this, flags, nFlags, nodOfFlag.data(), tempEdges, newNods);
  } catch (...) {
    // Groups split so far stay split; their flags sit on their nodes.
    WriteOutputFlags(flags, &out == &in, out, nodOfFlag);
    throw;
  }
  WriteOutputFlags(flags, &out == &in, out, nodOfFlag);
  return 1;
}
