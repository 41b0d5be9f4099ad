// RandomNetwork.h - random networks for the analyses' oracle tests, and the
// oracles' own reading of them: the ways one may go, taken from the
// connectivity queries a host would ask (never from the view under test).
#ifndef KELVANE_TESTS_TOOLS_RANDOMNETWORK_H
#define KELVANE_TESTS_TOOLS_RANDOMNETWORK_H

#include <gtest/gtest.h>

#include <boost/graph/adjacency_list.hpp>
#include <boost/graph/breadth_first_search.hpp>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <set>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "kelvane/tools/AnalysisInput.h"
#include "kelvane/tools/NetworkBuilder.h"
#include "kelvane/tools/NetworkView.h"
#include "kelvane/tools/TraceAnalysis.h"
#include "support/Flags.h"

namespace oracle {

using namespace kelvane::tools;

constexpr bool kGen1 = KELVANE_FIRST_GENERATION != 0;
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr std::int32_t kAlongFld = 0;    // weight column 1: cost along an edge
constexpr std::int32_t kAgainstFld = 1;  // weight column 2: cost against it

// A view of a random network prices each way by its own column.
inline NViewOptions_stru ViewOptions() {
  NViewOptions_stru vo;
  vo.lAlongFld = kAlongFld;
  vo.lAgainstFld = kAgainstFld;
  return vo;
}

template <class T>
NWeightVal_stru Wgt(char cType, T value) {
  NWeightVal_stru w;
  w.cType = cType;
  std::memcpy(reinterpret_cast<unsigned char*>(&w) + 1, &value, sizeof value);
  return w;
}

// A cost as a host decodes a weight record: +infinity for no way (type 0, a
// negative or an infinite value).
inline double Decode(const NWeightVal_stru& w) {
  const unsigned char* b = reinterpret_cast<const unsigned char*>(&w) + 1;
  double v = kInf;
  if (w.cType == 1) {
    std::int32_t i;
    std::memcpy(&i, b, sizeof i);
    v = i;
  } else if (w.cType == 2) {
    std::int16_t i;
    std::memcpy(&i, b, sizeof i);
    v = i;
  } else if (w.cType == 3) {
    float f;
    std::memcpy(&f, b, sizeof f);
    v = f;
  } else if (w.cType == 4) {
    std::memcpy(&v, b, sizeof v);
  }
  return (v < 0.0 || std::isinf(v)) ? kInf : v;
}

struct Shape {
  int minNods = 5;
  int maxNods = 40;
  double edgesPerNod = 1.6;
  bool turns = false;  // random turn weights, some negative (forbidden)
  int flags = 3;       // edge flags mapped with MapNetFlag
  double closed = 0.08;
};

// A random network: loops, parallel edges, one-way and blocked edges, costs of
// every type (some no way), optional turn weights, mapped flags. Nodes are
// closed only after the oracle has read the ways (see Ways), so that it knows
// the steps into a closed node from both ends in both builds.
struct RandomNet {
  CLocalNetwork net;
  std::vector<std::int32_t> flagNods;  // where the mapped flags sit
  std::vector<char> closed;            // per node number: to be closed
  std::int32_t nods = 0;
  std::int32_t edges = 0;

  void Make(std::mt19937& rng, const Shape& shape) {
    std::uniform_int_distribution<int> nodCount(shape.minNods, shape.maxNods);
    const int n = nodCount(rng);
    const int m = static_cast<int>(n * shape.edgesPerNod);
    std::uniform_int_distribution<int> anyNod(1, n);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    CNetworkBuilder b;
    std::vector<NEdgeNod_stru> ends(1, NEdgeNod_stru{0, 0});  // per edge number
    b.SetEdgeWgtFld1(kAlongFld);
    b.SetEdgeWgtFld2(kAgainstFld);
    ASSERT_EQ(b.SetNodNum(n), 1);
    for (int i = 0; i < m; ++i) {
      const int from = anyNod(rng);
      const int to = u(rng) < 0.05 ? from : anyNod(rng);
      const std::int32_t e = b.AddEdge(from, to);
      ends.push_back(NEdgeNod_stru{from, to});
      b.SetEdgeWgt1(e, RandomCost(rng));
      b.SetEdgeWgt2(e, RandomCost(rng));
      const double s = u(rng);
      // Mostly open, some one-way either way, a few blocked both ways; 2
      // (a deleted edge's state) counts as open.
      const char up = s < 0.12 ? 1 : (s > 0.95 ? 2 : 0);
      const char down = (s > 0.08 && s < 0.2) ? 1 : 0;
      b.SetEdgeState(e, up, down);
    }
    if (shape.turns) {
      // Random turns between edges that meet at a node, a quarter forbidden.
      std::vector<std::vector<std::int32_t>> at(static_cast<std::size_t>(n) + 1);
      for (std::int32_t e = 1; e <= m; ++e) {
        at[ends[e].lFromNod].push_back(e);
        if (ends[e].lToNod != ends[e].lFromNod) at[ends[e].lToNod].push_back(e);
      }
      for (int v = 1; v <= n; ++v) {
        const std::vector<std::int32_t>& here = at[static_cast<std::size_t>(v)];
        if (here.empty()) continue;
        std::uniform_int_distribution<std::size_t> pick(0, here.size() - 1);
        for (std::size_t k = 0; k < here.size() * 2; ++k) {
          const double w = u(rng) < 0.25 ? -1.0 : std::floor(u(rng) * 6.0);
          b.SetTurnWgt(v, here[pick(rng)], here[pick(rng)], w);
        }
      }
    }
    NFinding_stru err;
    ASSERT_EQ(b.Build(net, &err), 1) << err.strText;
    if (shape.flags > 0) MapFlags(rng, shape.flags);
    nods = net.m_lNodNum;
    edges = net.m_lEdgeNum;
    closed.assign(static_cast<std::size_t>(nods) + 1, 0);
    for (int v = 1; v <= nods; ++v) closed[v] = u(rng) < shape.closed ? 1 : 0;
  }

  // Closes the nodes picked by Make (node state 1).
  void Close() {
    for (std::int32_t v = 1; v <= nods; ++v) {
      if (closed[v] != 0) {
        ASSERT_EQ(net.SetNodState(v, 1), 1);
      }
    }
  }

 private:
  static NWeightVal_stru RandomCost(std::mt19937& rng) {
    std::uniform_int_distribution<int> kind(0, 19);
    std::uniform_int_distribution<int> val(0, 20);
    const int k = kind(rng);
    if (k == 0) return NWeightVal_stru();                     // type 0: no way
    if (k == 1) return Wgt<double>(4, -1.0 - val(rng));       // negative: no way
    if (k == 2) return Wgt<double>(4, kInf);                  // infinite: no way
    if (k < 7) return Wgt<std::int32_t>(1, val(rng));
    if (k < 10) return Wgt<std::int16_t>(2, static_cast<std::int16_t>(val(rng)));
    if (k < 14) return Wgt<float>(3, static_cast<float>(val(rng)) * 0.5f);
    return Wgt<double>(4, val(rng) * 0.25);
  }

  void MapFlags(std::mt19937& rng, int count) {
    std::uniform_int_distribution<int> anyEdge(1, net.m_lEdgeNum);
    std::uniform_real_distribution<double> pos(0.05, 0.95);
    CSmartArray<NET_FLGstruct> in;
    std::set<std::int32_t> used;
    for (int i = 0; i < count; ++i) {
      const std::int32_t e = anyEdge(rng);
      in.Add(Flag(2, e, pos(rng)));
      if (i == 0 && used.insert(e).second) in.Add(Flag(2, e, pos(rng)));  // two flags on one edge
      used.insert(e);
    }
    CSmartArray<NET_FLGstruct> out;
    CSmartArray<TEMPEDGE_MAP_EDGE> temp;
    CSmartArray<std::int32_t> newNods;
    ASSERT_EQ(net.MapNetFlag(in, out, temp, newNods), 1);
    NFinding_stru err;
    ASSERT_EQ(FlagNods(out, flagNods, &err), 1) << err.strText;
    flagIn.Copy(in);
    flagOut.Copy(out);
    flagTemp.Copy(temp);
  }

 public:
  CSmartArray<NET_FLGstruct> flagIn;  // the mapping's lists, for a split index
  CSmartArray<NET_FLGstruct> flagOut;
  CSmartArray<TEMPEDGE_MAP_EDGE> flagTemp;
};

// One way to go: from node `from` over `edge` to node `to`, along the edge
// (from its from node) or against it.
struct Arc {
  std::int32_t from;
  std::int32_t to;
  std::int32_t edge;
  bool along;
};

// Every way one may go (downstream), read from the connectivity queries on an
// open network. The current build's down and up lists are the edges one
// leaves a node by; the first generation's are the edges one arrives by.
inline std::vector<Arc> Ways(CLocalNetwork& net) {
  std::vector<Arc> arcs;
  CSmartArray<std::int32_t> list;
  for (std::int32_t n = 1; n <= net.m_lNodNum; ++n) {
    for (int side = 0; side < 2; ++side) {
      const bool down = side == 0;
      EXPECT_EQ(down ? net.GetNodConnDownEdgeS(n, list) : net.GetNodConnUpEdgeS(n, list), 1);
      for (std::int32_t i = 0; i < list.GetSize(); ++i) {
        const std::int32_t e = std::abs(list.GetAt(i));
        std::int32_t f = 0;
        std::int32_t t = 0;
        EXPECT_EQ(net.GetEdgeFromToNod(e, f, t), 1);
        if (!kGen1) {
          arcs.push_back(down ? Arc{n, t, e, true} : Arc{n, f, e, false});
        } else {
          arcs.push_back(down ? Arc{f, n, e, true} : Arc{t, n, e, false});
        }
      }
    }
  }
  return arcs;
}

// Every edge usable either way (not blocked both ways), from each end's list.
inline std::vector<Arc> AnyWays(CLocalNetwork& net) {
  std::vector<Arc> arcs;
  CSmartArray<std::int32_t> list;
  for (std::int32_t n = 1; n <= net.m_lNodNum; ++n) {
    EXPECT_EQ(net.GetNodConnEdgeS(n, list), 1);
    for (std::int32_t i = 0; i < list.GetSize(); ++i) {
      const std::int32_t e = list.GetAt(i);
      std::int32_t f = 0;
      std::int32_t t = 0;
      EXPECT_EQ(net.GetEdgeFromToNod(e, f, t), 1);
      arcs.push_back(f == n ? Arc{n, t, e, true} : Arc{n, f, e, false});
    }
  }
  return arcs;
}

inline double WayCost(CLocalNetwork& net, std::int32_t e, bool along) {
  NWeightVal_stru w;
  EXPECT_EQ(net.GetEdgeWgtVal(e, along ? kAlongFld : kAgainstFld, w), 1);
  return Decode(w);
}

// Elements as a bitmap per number, from lists.
inline std::vector<char> Bits(std::int32_t n, const std::vector<std::int32_t>& elems) {
  std::vector<char> b(static_cast<std::size_t>(n) + 1, 0);
  for (std::int32_t x : elems) b[static_cast<std::size_t>(std::abs(x))] = 1;
  return b;
}

// What a trace reaches by Boost's breadth-first search over `arcs` (given
// downstream; upstream walks them backwards, connected either way).
// Closed nodes, stops and barriers are not passed, barriers not entered; a
// stop edge is reached, its far node not from it.
inline NTraceResult_stru BfsTrace(std::int32_t nods, std::int32_t edges, const std::vector<Arc>& arcs,
                                  const std::vector<char>& closed, NTraceKind kind,
                                  const std::vector<std::int32_t>& starts, const NElemSet_stru& barriers,
                                  const NElemSet_stru& stops) {
  typedef boost::adjacency_list<boost::vecS, boost::vecS, boost::directedS> Graph;
  const std::vector<char> barNod = Bits(nods, barriers.nods);
  const std::vector<char> barEdge = Bits(edges, barriers.edges);
  const std::vector<char> stopNod = Bits(nods, stops.nods);
  const std::vector<char> stopEdge = Bits(edges, stops.edges);
  std::vector<Arc> walk;
  for (const Arc& a : arcs) {
    if (kind != NTraceKind::Upstream) walk.push_back(a);
    if (kind != NTraceKind::Downstream) walk.push_back(Arc{a.to, a.from, a.edge, !a.along});
  }
  auto passes = [&](std::int32_t v) { return closed[v] == 0 && barNod[v] == 0 && stopNod[v] == 0; };
  Graph g(static_cast<std::size_t>(nods) + 1);
  for (const Arc& a : walk) {
    if (passes(a.from) && barEdge[a.edge] == 0 && barNod[a.to] == 0 && stopEdge[a.edge] == 0) {
      boost::add_edge(static_cast<std::size_t>(a.from), static_cast<std::size_t>(a.to), g);
    }
  }
  std::vector<boost::default_color_type> color(boost::num_vertices(g), boost::white_color);
  auto colorMap = boost::make_iterator_property_map(color.begin(), boost::get(boost::vertex_index, g));
  boost::queue<std::size_t> q;
  for (std::int32_t s : starts) {
    if (barNod[s] != 0 || color[s] != boost::white_color) continue;
    boost::breadth_first_visit(g, static_cast<std::size_t>(s), q, boost::default_bfs_visitor(), colorMap);
  }
  NTraceResult_stru r;
  std::vector<char> edgeHit(static_cast<std::size_t>(edges) + 1, 0);
  for (const Arc& a : walk) {
    if (color[a.from] != boost::white_color && passes(a.from) && barEdge[a.edge] == 0 && barNod[a.to] == 0) {
      edgeHit[a.edge] = 1;
    }
  }
  for (std::int32_t v = 1; v <= nods; ++v) {
    if (color[v] != boost::white_color) r.nods.push_back(v);
  }
  for (std::int32_t e = 1; e <= edges; ++e) {
    if (edgeHit[e] != 0) r.edges.push_back(e);
  }
  return r;
}

// A few distinct random elements of 1..n.
inline std::vector<std::int32_t> Pick(std::mt19937& rng, std::int32_t n, int count) {
  std::set<std::int32_t> s;
  std::uniform_int_distribution<std::int32_t> any(1, n);
  for (int i = 0; i < count; ++i) s.insert(any(rng));
  return std::vector<std::int32_t>(s.begin(), s.end());
}

}  // namespace oracle

#endif  // KELVANE_TESTS_TOOLS_RANDOMNETWORK_H
