// MapNetFlag.cpp - flag mapping: every flag ends up on a node, each flagged
// edge cut at its flags into pieces that share its states and weights.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdint>
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

bool IsMappable(const CLocalNetwork& net, const MapLimits& limits, const NET_FLGstruct& flag) {
  const std::int32_t e = flag.lElemID;
  if (e < 1 || e > limits.lEdges || std::isnan(flag.dPos)) return false;
  if (net.m_pUpEdgeState[e - 1] == 2 && net.m_pDownEdgeState[e - 1] == 2) return false;
  const NEdgeNod_stru& ends = net.m_pEdgeNod[e - 1];
  return ends.lFromNod >= 1 && ends.lFromNod <= limits.lNods && ends.lToNod >= 1 && ends.lToNod <= limits.lNods;
}

// An edge flag on its way to its group: (edge << 32 | input index), position.
struct Keyed {
  std::uint64_t key;
  double dPos;
};

// Orders the keys by edge, and within an edge by input index. Many keys go
// through two counting passes over the edge's 16-bit halves, each stable, so
// the input order the keys were made in survives within an edge; few keys
// are cheaper to compare.
void SortByEdge(std::vector<Keyed>& keys) {
  constexpr std::size_t kRadixFrom = 4096;
  if (keys.size() < kRadixFrom) {
    std::sort(keys.begin(), keys.end(), [](const Keyed& a, const Keyed& b) { return a.key < b.key; });
    return;
  }
  std::vector<Keyed> sorted(keys.size());
  std::vector<std::size_t> start(std::size_t{1} << 16);
  for (int shift = 32; shift < 64; shift += 16) {
    std::fill(start.begin(), start.end(), 0);
    for (const Keyed& k : keys) ++start[(k.key >> shift) & 0xffffu];
    std::size_t at = 0;
    for (std::size_t& n : start) {
      const std::size_t count = n;
      n = at;
      at += count;
    }
    for (const Keyed& k : keys) sorted[start[(k.key >> shift) & 0xffffu]++] = k;
    keys.swap(sorted);
  }
}

// Groups the mappable edge flags by edge, orders each group and splits the
// edges in ascending order. nodOfFlag[j] receives the new node of flag j.
void MapEdgeFlags(CLocalNetwork& net, const NET_FLGstruct* flags, std::int32_t nFlags, std::int32_t* nodOfFlag,
                  CSmartArray<TEMPEDGE_MAP_EDGE>& tempEdges, CSmartArray<std::int32_t>& newNods) {
  MapLimits limits;
  limits.lEdges = kelvane::EdgeEndBound(net);
  limits.lNods = kelvane::NodBound(net);

  // Edge flags keyed by (edge, input index): sorted, the keys give the groups
  // in ascending edge order with each group's flags in input order. The
  // position rides along, so the flags are read once, in input order.
  std::vector<Keyed> keys;
  for (std::int32_t j = 0; j < nFlags; ++j) {
    const NET_FLGstruct* flag = &flags[j];
    if (flag->cFlgType != 2 || !IsMappable(net, limits, *flag)) continue;
    const std::uint64_t key = static_cast<std::uint64_t>(flag->lElemID) << 32 | static_cast<std::uint32_t>(j);
    keys.push_back(Keyed{key, flag->dPos});
  }
  if (keys.empty()) return;
  SortByEdge(keys);

  // --- Ordering. Every group's flags are sorted by position in place, in one
  // array laid out group after group.
  const std::size_t nEdgeFlags = keys.size();
  std::vector<kelvane::FlagSortEntry> entries(nEdgeFlags);
  std::vector<std::size_t> groupStart;  // index in entries of each group's first flag
  for (std::size_t k = 0; k < nEdgeFlags; ++k) {
    const auto j = static_cast<std::int32_t>(keys[k].key & 0xffffffffu);
    entries[k] = kelvane::FlagSortEntry{keys[k].dPos, j};
    if (k == 0 || keys[k].key >> 32 != keys[k - 1].key >> 32) groupStart.push_back(k);
  }
  const std::size_t nGroups = groupStart.size();
  groupStart.push_back(nEdgeFlags);
  std::size_t maxGroup = 0;
  for (std::size_t g = 0; g < nGroups; ++g) {
    const std::size_t n = groupStart[g + 1] - groupStart[g];
    kelvane::SortFlagsByPos(&entries[groupStart[g]], static_cast<std::int32_t>(n));
    maxGroup = std::max(maxGroup, n);
  }

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
  // the groups before it split and the rest whole.
  for (std::size_t g = 0; g < nGroups; ++g) {
    const std::size_t first = groupStart[g];
    const auto lEdge = static_cast<std::int32_t>(keys[first].key >> 32);
    splitter.Split(lEdge, &entries[first], static_cast<std::int32_t>(groupStart[g + 1] - first), nodOfFlag,
                   tempEdges, newNods);
  }
}

// Writes the output flags in one pass, in input order: each mapped flag as a
// node flag on its new node, every other flag (from `flags`, the input) as it
// came. When the host passed one list as input and output (inPlace), only the
// mapped records are rewritten. The room for the output was reserved before,
// so nothing here allocates.
void WriteOutputFlags(const NET_FLGstruct* flags, bool inPlace, CSmartArray<NET_FLGstruct>& out,
                      const std::vector<std::int32_t>& nodOfFlag) {
  const std::int32_t n = static_cast<std::int32_t>(nodOfFlag.size());
  // Built from zero bytes, padding included, so no stale stack bytes reach the
  // host's list. Position 0.0, empty text: the edge flag's text does not travel.
  NET_FLGstruct nodFlag;
  std::memset(static_cast<void*>(&nodFlag), 0, sizeof nodFlag);
  nodFlag.cFlgType = 1;
  if (inPlace) {
    for (std::int32_t j = 0; j < n; ++j) {
      if (nodOfFlag[static_cast<std::size_t>(j)] == 0) continue;
      nodFlag.lElemID = nodOfFlag[static_cast<std::size_t>(j)];
      *out.GetPtr(j) = nodFlag;
    }
    return;
  }
  NET_FLGstruct* dst = out.ReserveBack(n);
  for (std::int32_t j = 0; j < n; ++j) {
    const std::int32_t lNod = nodOfFlag[static_cast<std::size_t>(j)];
    if (lNod == 0) {
      std::memcpy(static_cast<void*>(&dst[j]), &flags[j], sizeof(NET_FLGstruct));
    } else {
      nodFlag.lElemID = lNod;
      dst[j] = nodFlag;
    }
  }
  out.CommitBack(n);
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
