// GridNetwork.h - road-like networks for the benchmarks, and the forms every
// benchmark shares: a street grid with a share of its streets removed, the
// connection lists a host would hold for it, a CLocalNetwork filled from them
// the way a host fills one, and the same network as plain CSR.
//
// Everything is drawn from a fixed seed with our own shuffle, so every run and
// every standard library sees the same network.
#ifndef KELVANE_BENCH_SUPPORT_GRIDNETWORK_H
#define KELVANE_BENCH_SUPPORT_GRIDNETWORK_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <utility>
#include <vector>

#include "kelvane/LocalNetwork.h"

namespace kelvane_bench {

// Stops the run: a figure measured on the wrong network is worse than none.
[[noreturn]] inline void Abort(const char* what) {
  std::fprintf(stderr, "benchmark setup failed: %s\n", what);
  std::abort();
}

// Fisher-Yates over v with a fixed generator; std::shuffle's draws differ
// between standard libraries.
template <class T>
void Shuffle(std::vector<T>& v, std::mt19937_64& rng) {
  for (std::size_t i = v.size(); i > 1; --i) {
    std::size_t j = static_cast<std::size_t>(rng() % i);
    std::swap(v[i - 1], v[j]);
  }
}

// A network as numbers: nodes 1 to nodes, edge e joining ends[e - 1].
struct RoadGraph {
  std::int32_t nodes = 0;
  std::vector<NEdgeNod_stru> ends;  // entry e - 1: from node, to node of edge e
  std::int32_t source = 0;          // the grid's centre, where every traversal starts

  std::int32_t Edges() const { return static_cast<std::int32_t>(ends.size()); }
};

// A side x side street grid: a node per crossing, a street to the right and
// one downward from each. removedShare of the streets are taken out at random.
// Row-major numbering gives crossing (r, c) node r * side + c + 1 and numbers
// the streets as they are met row by row; permuted numbering shuffles both
// node and edge numbers, as a network assembled from many sources would be.
inline RoadGraph MakeStreetGrid(std::int32_t side, double removedShare, bool permuted, std::uint64_t seed = 20240607) {
  std::mt19937_64 rng(seed);
  RoadGraph g;
  g.nodes = side * side;
  std::vector<NEdgeNod_stru> streets;
  streets.reserve(static_cast<std::size_t>(2) * static_cast<std::size_t>(g.nodes));
  for (std::int32_t r = 0; r < side; ++r) {
    for (std::int32_t c = 0; c < side; ++c) {
      const std::int32_t n = r * side + c + 1;
      if (c + 1 < side) streets.push_back({n, n + 1});
      if (r + 1 < side) streets.push_back({n, n + side});
    }
  }
  // Remove a fixed number of streets, chosen by a shuffled index list, and keep
  // the rest in their original order.
  std::vector<std::uint32_t> order(streets.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<std::uint32_t>(i);
  Shuffle(order, rng);
  const std::size_t removeCount = static_cast<std::size_t>(removedShare * static_cast<double>(streets.size()));
  std::vector<char> removed(streets.size(), 0);
  for (std::size_t i = 0; i < removeCount; ++i) removed[order[i]] = 1;
  for (std::size_t i = 0; i < streets.size(); ++i) {
    if (removed[i] == 0) g.ends.push_back(streets[i]);
  }
  g.source = (side / 2) * side + side / 2 + 1;
  if (!permuted) return g;

  std::vector<std::int32_t> nodeNumber(static_cast<std::size_t>(g.nodes) + 1);
  for (std::int32_t n = 0; n <= g.nodes; ++n) nodeNumber[static_cast<std::size_t>(n)] = n;
  std::vector<std::int32_t> tail(nodeNumber.begin() + 1, nodeNumber.end());
  Shuffle(tail, rng);
  for (std::int32_t n = 1; n <= g.nodes; ++n) nodeNumber[static_cast<std::size_t>(n)] = tail[static_cast<std::size_t>(n - 1)];
  std::vector<NEdgeNod_stru> shuffled = g.ends;
  Shuffle(shuffled, rng);
  for (NEdgeNod_stru& e : shuffled) {
    e.lFromNod = nodeNumber[static_cast<std::size_t>(e.lFromNod)];
    e.lToNod = nodeNumber[static_cast<std::size_t>(e.lToNod)];
  }
  g.ends.swap(shuffled);
  g.source = nodeNumber[static_cast<std::size_t>(g.source)];
  return g;
}

// Connection lists as a host holds them before it fills a network: per node,
// in ascending edge order, +e where e ends and -e where it starts.
struct ConnLists {
  std::vector<std::uint32_t> first;  // node n's entries are entry[first[n - 1]] to entry[first[n] - 1]
  std::vector<std::int32_t> entry;

  std::int32_t Count(std::int32_t n) const {
    return static_cast<std::int32_t>(first[static_cast<std::size_t>(n)] - first[static_cast<std::size_t>(n - 1)]);
  }
};

inline ConnLists MakeConnLists(const RoadGraph& g) {
  ConnLists lists;
  lists.first.assign(static_cast<std::size_t>(g.nodes) + 1, 0);
  for (const NEdgeNod_stru& e : g.ends) {
    ++lists.first[static_cast<std::size_t>(e.lFromNod)];
    ++lists.first[static_cast<std::size_t>(e.lToNod)];
  }
  for (std::size_t n = 1; n < lists.first.size(); ++n) lists.first[n] += lists.first[n - 1];
  lists.entry.resize(lists.first.back());
  // Filled from the back so that each node's entries end up in edge order and
  // first[n - 1] ends up at the node's first entry.
  for (std::int32_t e = g.Edges(); e >= 1; --e) {
    const NEdgeNod_stru& ends = g.ends[static_cast<std::size_t>(e - 1)];
    lists.entry[--lists.first[static_cast<std::size_t>(ends.lToNod)]] = e;
    lists.entry[--lists.first[static_cast<std::size_t>(ends.lFromNod)]] = -e;
  }
  // first[n] now holds node n's start; drop the unused slot 0 so first[n - 1] does.
  lists.first.erase(lists.first.begin());
  lists.first.push_back(static_cast<std::uint32_t>(lists.entry.size()));
  return lists;
}

// Fills net as a host does: counts and settings (no weights, demand, turns or
// directions), ReallocMemory, the end nodes, then node by node a fresh list
// from ReallocNodConnEdgeMemory and its entries written in place.
inline void FillNetwork(const RoadGraph& g, const ConnLists& lists, CLocalNetwork& net) {
  net.m_lNodNum = g.nodes;
  net.m_lEdgeNum = g.Edges();
  net.m_lNodWgtFld = -1;
  net.m_lEdgeWgtFld1 = -1;
  net.m_lEdgeWgtFld2 = -1;
  net.m_cDmdFld = -1;
  net.m_lTurnWgtFlag = 0;
  net.m_cEdgeDirectMode = 0;
  if (net.ReallocMemory() != 1) Abort("ReallocMemory");
  for (std::int32_t e = 1; e <= g.Edges(); ++e) net.m_pEdgeNod[e - 1] = g.ends[static_cast<std::size_t>(e - 1)];
  for (std::int32_t n = 1; n <= g.nodes; ++n) {
    const std::int32_t count = lists.Count(n);
    if (net.ReallocNodConnEdgeMemory(n, static_cast<std::int16_t>(count)) != 1) Abort("ReallocNodConnEdgeMemory");
    std::int32_t* out = net.m_pNodConn[n - 1].pConnEdge;
    const std::int32_t* in = &lists.entry[lists.first[static_cast<std::size_t>(n - 1)]];
    for (std::int32_t i = 0; i < count; ++i) out[i] = in[i];
  }
}

// A cost per edge from its number alone, so every numbering draws the same
// kind of costs: 1 to 10 in steps of 0.01.
inline double StreetCost(std::int32_t e) {
  const std::uint64_t h = static_cast<std::uint64_t>(e) * 0x9E3779B97F4A7C15ULL;
  return 1.0 + static_cast<double>((h >> 40) % 901) / 100.0;
}

// FillNetwork with a double weight per edge (StreetCost) and, with bTurns, a
// matrix at every crossing: no U-turns, each other turn 0 to 2.
inline void FillStreetNetwork(const RoadGraph& g, const ConnLists& lists, CLocalNetwork& net, bool bTurns) {
  net.m_lNodNum = g.nodes;
  net.m_lEdgeNum = g.Edges();
  net.m_lNodWgtFld = -1;
  net.m_lEdgeWgtFld1 = 0;
  net.m_lEdgeWgtFld2 = -1;
  net.m_cDmdFld = -1;
  net.m_lTurnWgtFlag = bTurns ? 1 : 0;
  net.m_cEdgeDirectMode = 0;
  if (net.ReallocMemory() != 1) Abort("ReallocMemory");
  for (std::int32_t e = 1; e <= g.Edges(); ++e) {
    net.m_pEdgeNod[e - 1] = g.ends[static_cast<std::size_t>(e - 1)];
    net.m_pEdgeWgt1[e - 1].cType = 4;
    net.m_pEdgeWgt1[e - 1].dVal = StreetCost(e);
  }
  for (std::int32_t n = 1; n <= g.nodes; ++n) {
    const std::int32_t count = lists.Count(n);
    if (net.ReallocNodConnEdgeMemory(n, static_cast<std::int16_t>(count)) != 1) Abort("ReallocNodConnEdgeMemory");
    const std::int32_t* in = &lists.entry[lists.first[static_cast<std::size_t>(n - 1)]];
    for (std::int32_t i = 0; i < count; ++i) net.m_pNodConn[n - 1].pConnEdge[i] = in[i];
    if (!bTurns || count == 0) continue;
    if (net.ReallocNodTurnWgtMemory(n, static_cast<std::int16_t>(count)) != 1) Abort("ReallocNodTurnWgtMemory");
    double* m = net.m_ppTurnWgt[n - 1];
    for (std::int32_t p = 0; p < count; ++p) {
      for (std::int32_t q = 0; q < count; ++q) {
        m[p * count + q] = p == q ? -1.0 : static_cast<double>((n * 7 + p * 3 + q) % 5) * 0.5;
      }
    }
  }
}

// Bytes the filled network's tables hold as entries (no headers, no allocator
// overhead): what a perfectly packed store of the same tables would take.
inline std::size_t TableBytes(const CLocalNetwork& net) {
  const std::size_t nods = static_cast<std::size_t>(net.m_lNodNum);
  const std::size_t edges = static_cast<std::size_t>(net.m_lEdgeNum);
  std::size_t bytes = 0;
  if (net.m_pEdgeNod != nullptr) bytes += edges * sizeof(NEdgeNod_stru);
  if (net.m_pNodConn != nullptr) {
    bytes += nods * sizeof(NNodConn_stru);
    for (std::size_t n = 0; n < nods; ++n) {
      if (net.m_pNodConn[n].sConnNum > 0) bytes += static_cast<std::size_t>(net.m_pNodConn[n].sConnNum) * 4;
    }
  }
  if (net.m_pNodState != nullptr) bytes += nods;
  if (net.m_pUpEdgeState != nullptr) bytes += edges;
  if (net.m_pDownEdgeState != nullptr) bytes += edges;
  return bytes;
}

// The same network as compressed sparse rows over 0-based nodes, each edge
// listed at both its ends: the layout a hand-written traversal would use.
struct Csr {
  std::vector<std::uint32_t> first;   // node i's neighbours are next[first[i]] to next[first[i + 1] - 1]
  std::vector<std::int32_t> next;
};

inline Csr MakeCsr(const RoadGraph& g, const ConnLists& lists) {
  Csr csr;
  csr.first.assign(lists.first.begin(), lists.first.end());
  csr.next.resize(lists.entry.size());
  for (std::size_t i = 0; i < lists.entry.size(); ++i) {
    const std::int32_t entry = lists.entry[i];
    const NEdgeNod_stru& ends = g.ends[static_cast<std::size_t>((entry < 0 ? -entry : entry) - 1)];
    // +e sits at the edge's to node, so its far end is the from node.
    csr.next[i] = (entry > 0 ? ends.lFromNod : ends.lToNod) - 1;
  }
  return csr;
}

// Resident bytes of this process, from /proc/self/statm.
inline std::size_t ResidentBytes() {
  std::FILE* f = std::fopen("/proc/self/statm", "r");
  if (f == nullptr) Abort("/proc/self/statm");
  unsigned long size = 0, resident = 0;
  const int got = std::fscanf(f, "%lu %lu", &size, &resident);
  std::fclose(f);
  if (got != 2) Abort("/proc/self/statm format");
  return static_cast<std::size_t>(resident) * 4096;
}

}  // namespace kelvane_bench

#endif  // KELVANE_BENCH_SUPPORT_GRIDNETWORK_H
