// MapNetFlagReferenceTest.cpp - flag mapping against a plain model of the
// network, on a few hundred small random networks with random flags.
// The model is written from the mapping's rules alone, its position sort
// included, and shares no code with the library.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <random>
#include <utility>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "support/ReferenceBuilder.h"
#include "support/ReferenceCheck.h"

namespace {

using Wgt = NWeightVal_stru;

// The whole network as plain vectors; element n is index n - 1.
struct Model {
  bool hasW1 = false, hasW2 = false, hasNodWgt = false, hasDmd = false, hasDirect = false;
  std::vector<std::pair<std::int32_t, std::int32_t>> ends;
  std::vector<std::vector<std::int32_t>> conn;
  std::vector<Wgt> w1, w2, nodWgt;
  std::vector<char> up, down, direct, nodState;
  std::vector<double> edgeDmd, nodDmd;
  // Outputs.
  std::vector<NET_FLGstruct> out;
  std::vector<std::pair<std::int32_t, std::int32_t>> temps;
  std::vector<std::int32_t> nods;
};

// The sort's steps, recursion in their own order.
void RefSort(std::vector<std::pair<NET_FLGstruct, std::int32_t>>& a, int lo, int hi) {
  int i = lo, j = hi;
  double p = a[static_cast<std::size_t>((lo + hi) / 2)].first.dPos;
  while (i <= j) {
    while (a[static_cast<std::size_t>(i)].first.dPos < p) i++;
    while (p < a[static_cast<std::size_t>(j)].first.dPos) j--;
    if (j < i) break;
    std::swap(a[static_cast<std::size_t>(i)], a[static_cast<std::size_t>(j)]);
    i++;
    j--;
  }
  if (lo < j) RefSort(a, lo, j);
  if (i < hi) RefSort(a, i, hi);
}

Wgt RefScale(Wgt w, double f) {
  unsigned char* v = reinterpret_cast<unsigned char*>(&w) + 1;
  if (w.cType == 1) {
    std::int32_t x;
    std::memcpy(&x, v, 4);
    x = static_cast<std::int32_t>(x * f);
    std::memcpy(v, &x, 4);
  } else if (w.cType == 2) {
    std::int16_t x;
    std::memcpy(&x, v, 2);
    x = static_cast<std::int16_t>(static_cast<std::int32_t>(x * f));
    std::memcpy(v, &x, 2);
  } else if (w.cType == 3) {
    float x;
    std::memcpy(&x, v, 4);
    x = static_cast<float>(x * f);
    std::memcpy(v, &x, 4);
  } else if (w.cType == 4) {
    w.dVal = w.dVal * f;
  }
  return w;
}

void RefMap(Model& m, const std::vector<NET_FLGstruct>& in) {
  m.out = in;
  const std::int32_t nNods = static_cast<std::int32_t>(m.conn.size());
  const std::int32_t nEdges = static_cast<std::int32_t>(m.ends.size());
  std::map<std::int32_t, std::vector<std::int32_t>> groups;
  for (std::size_t j = 0; j < in.size(); ++j) {
    const NET_FLGstruct& f = in[j];
    if (f.cFlgType != 2) continue;
    std::int32_t e = f.lElemID;
    if (e < 1 || e > nEdges || std::isnan(f.dPos)) continue;
    if (m.up[e - 1] == 2 && m.down[e - 1] == 2) continue;
    auto ends = m.ends[e - 1];
    if (ends.first < 1 || ends.first > nNods || ends.second < 1 || ends.second > nNods) continue;
    groups[e].push_back(static_cast<std::int32_t>(j));
  }
  for (auto& g : groups) {
    std::vector<std::pair<NET_FLGstruct, std::int32_t>> entries;
    for (std::int32_t j : g.second) entries.push_back({in[static_cast<std::size_t>(j)], j});
    RefSort(entries, 0, static_cast<int>(entries.size()) - 1);
    g.second.clear();
    for (auto& en : entries) g.second.push_back(en.second);
  }
  for (auto& g : groups) {
    const std::int32_t e = g.first;
    const std::size_t ei = static_cast<std::size_t>(e - 1);
    std::vector<std::int32_t> nods, pieces;
    double prev = 0.0;
    for (std::size_t k = 0; k <= g.second.size(); ++k) {
      double frac;
      if (k < g.second.size()) {
        std::int32_t j = g.second[k];
        frac = in[static_cast<std::size_t>(j)].dPos - prev;
        prev = in[static_cast<std::size_t>(j)].dPos;
        m.conn.push_back({});
        m.nodState.push_back(0);
        if (m.hasDmd) m.nodDmd.push_back(0.0);
        if (m.hasNodWgt) m.nodWgt.push_back(DblWgt(0.0));
        std::int32_t nod = static_cast<std::int32_t>(m.conn.size());
        nods.push_back(nod);
        m.nods.push_back(nod);
        NET_FLGstruct nf;
        nf.cFlgType = 1;
        nf.lElemID = nod;
        m.out[static_cast<std::size_t>(j)] = nf;
      } else {
        frac = 1.0 - prev;
      }
      if (m.hasW1) m.w1.push_back(RefScale(m.w1[ei], frac));
      if (m.hasW2) m.w2.push_back(RefScale(m.w2[ei], frac));
      m.up.push_back(m.up[ei]);
      m.down.push_back(m.down[ei]);
      if (m.hasDirect) m.direct.push_back(m.direct[ei]);
      if (m.hasDmd) m.edgeDmd.push_back(m.edgeDmd[ei] * frac);
      m.ends.push_back({0, 0});
      std::int32_t piece = static_cast<std::int32_t>(m.ends.size());
      pieces.push_back(piece);
      m.temps.push_back({piece, e});
    }
    for (std::size_t k = 0; k < nods.size(); ++k) m.conn[static_cast<std::size_t>(nods[k] - 1)] = {pieces[k], -pieces[k + 1]};
    const std::int32_t from = m.ends[ei].first, to = m.ends[ei].second;
    std::vector<std::int32_t>& fl = m.conn[static_cast<std::size_t>(from - 1)];
    if (from == to) {
      // A loop: where it starts (-e) the first piece, where it ends (+e) the last.
      for (auto& x : fl) {
        if (x == -e) x = -pieces.front();
        if (x == e) x = pieces.back();
      }
    } else {
      for (auto& x : fl) {
        if (x == e) x = pieces.front();
        if (x == -e) x = -pieces.front();
      }
      for (auto& x : m.conn[static_cast<std::size_t>(to - 1)]) {
        if (x == e) x = pieces.back();
        if (x == -e) x = -pieces.back();
      }
    }
    for (std::size_t k = 0; k < pieces.size(); ++k) {
      m.ends[static_cast<std::size_t>(pieces[k] - 1)] = {k == 0 ? from : nods[k - 1],
                                                         k + 1 == pieces.size() ? to : nods[k]};
    }
    m.up[ei] = 2;
    m.down[ei] = 2;
  }
}

Wgt RandomWgt(std::mt19937& rng) {
  std::uniform_int_distribution<int> type(0, 5), value(-1000, 1000);
  Wgt w;
  w.cType = static_cast<char>(type(rng));
  std::int32_t v = value(rng);
  unsigned char* p = reinterpret_cast<unsigned char*>(&w) + 1;
  if (w.cType == 1) std::memcpy(p, &v, 4);
  if (w.cType == 2) {
    std::int16_t s = static_cast<std::int16_t>(v);
    std::memcpy(p, &s, 2);
  }
  if (w.cType == 3) {
    float f = static_cast<float>(v) / 7.0f;
    std::memcpy(p, &f, 4);
  }
  if (w.cType == 4 || w.cType == 5) w.dVal = v / 3.0;
  return w;
}

bool SameBytes(const void* a, const void* b, std::size_t n) { return std::memcmp(a, b, n) == 0; }

void ExpectMatches(const CLocalNetwork& net, const Model& m, const CSmartArray<NET_FLGstruct>& out,
                   const CSmartArray<TEMPEDGE_MAP_EDGE>& temps, const CSmartArray<std::int32_t>& nods) {
  ASSERT_EQ(net.m_lNodNum, static_cast<std::int32_t>(m.conn.size()));
  ASSERT_EQ(net.m_lEdgeNum, static_cast<std::int32_t>(m.ends.size()));
  for (std::size_t i = 0; i < m.ends.size(); ++i) {
    EXPECT_EQ(net.m_pEdgeNod[i].lFromNod, m.ends[i].first) << "edge " << i + 1;
    EXPECT_EQ(net.m_pEdgeNod[i].lToNod, m.ends[i].second) << "edge " << i + 1;
    EXPECT_EQ(net.m_pUpEdgeState[i], m.up[i]) << "edge " << i + 1;
    EXPECT_EQ(net.m_pDownEdgeState[i], m.down[i]) << "edge " << i + 1;
    if (m.hasDirect) {
      EXPECT_EQ(net.m_pEdgeDirect[i], m.direct[i]) << "edge " << i + 1;
    }
    if (m.hasDmd) {
      EXPECT_TRUE(SameBytes(&net.m_pEdgeDmd[i], &m.edgeDmd[i], 8)) << "edge " << i + 1;
    }
    if (m.hasW1) {
      EXPECT_TRUE(SameWgt(net.m_pEdgeWgt1[i], m.w1[i])) << "edge " << i + 1;
    }
    if (m.hasW2) {
      EXPECT_TRUE(SameWgt(net.m_pEdgeWgt2[i], m.w2[i])) << "edge " << i + 1;
    }
  }
  for (std::size_t n = 0; n < m.conn.size(); ++n) {
    const NNodConn_stru& c = net.m_pNodConn[n];
    std::vector<std::int32_t> got(c.pConnEdge, c.pConnEdge + (c.sConnNum > 0 ? c.sConnNum : 0));
    EXPECT_EQ(got, m.conn[n]) << "node " << n + 1;
    EXPECT_EQ(net.m_pNodState[n], m.nodState[n]) << "node " << n + 1;
    if (m.hasDmd) {
      EXPECT_EQ(net.m_pNodDmd[n], m.nodDmd[n]) << "node " << n + 1;
    }
    if (m.hasNodWgt) {
      EXPECT_TRUE(SameWgt(net.m_pNodWgt[n], m.nodWgt[n])) << "node " << n + 1;
    }
  }
  ASSERT_EQ(out.GetSize(), static_cast<std::int32_t>(m.out.size()));
  for (std::int32_t i = 0; i < out.GetSize(); ++i) {
    const NET_FLGstruct f = out.GetAt(i);
    const NET_FLGstruct& want = m.out[static_cast<std::size_t>(i)];
    EXPECT_EQ(f.cFlgType, want.cFlgType) << "flag " << i;
    EXPECT_EQ(f.lElemID, want.lElemID) << "flag " << i;
    EXPECT_TRUE(SameBytes(&f.dPos, &want.dPos, sizeof f.dPos)) << "flag " << i;
    EXPECT_TRUE(SameBytes(f.szFlgText, want.szFlgText, sizeof f.szFlgText)) << "flag " << i;
  }
  ASSERT_EQ(temps.GetSize(), static_cast<std::int32_t>(m.temps.size()));
  for (std::int32_t i = 0; i < temps.GetSize(); ++i) {
    EXPECT_EQ(temps.GetAt(i).lTempEdgeID, m.temps[static_cast<std::size_t>(i)].first);
    EXPECT_EQ(temps.GetAt(i).lEdgeID, m.temps[static_cast<std::size_t>(i)].second);
  }
  EXPECT_EQ(Elems(nods), m.nods);
}

// Sizes of one random trial: nodes, edges and flags, each from lo to hi.
struct TrialSizes {
  int nodsLo, nodsHi, edgesLo, edgesHi, flagsLo, flagsHi;
};

// One random network of the given sizes, mapped and compared with the model.
void RunTrial(std::mt19937& rng, const TrialSizes& z) {
  auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  NetworkBuilder b;
  Model m;
  const int nNods = pick(z.nodsLo, z.nodsHi), nEdges = pick(z.edgesLo, z.edgesHi);
  m.hasW1 = pick(0, 3) != 0;
  m.hasW2 = pick(0, 3) != 0;
  m.hasNodWgt = pick(0, 1) != 0;
  m.hasDmd = pick(0, 2) != 0;
  m.hasDirect = pick(0, 2) != 0;
  b.Nodes(nNods).EdgeWgtFld1(m.hasW1 ? 3 : -1).EdgeWgtFld2(m.hasW2 ? 0 : -1).NodWgtFld(m.hasNodWgt ? 1 : -1);
  b.DmdFld(m.hasDmd ? 0 : -1).DirectMode(m.hasDirect ? static_cast<char>(pick(1, 2)) : 0);
  for (int e = 1; e <= nEdges; ++e) {
    std::int32_t from = pick(1, nNods), to = pick(1, nNods);
    b.Edge(from, to);
    m.ends.push_back({from, to});
    Wgt w1 = RandomWgt(rng), w2 = RandomWgt(rng);
    const char states[] = {0, 1, 3};  // 2 is only ever written to both directions
    char up = states[pick(0, 2)], down = states[pick(0, 2)];
    if (pick(0, 9) == 0) up = down = 2;  // split by an earlier call
    char dir = static_cast<char>(pick(0, 5));
    double dmd = pick(0, 1000) / 8.0;
    m.w1.push_back(w1);
    m.w2.push_back(w2);
    m.up.push_back(up);
    m.down.push_back(down);
    m.direct.push_back(dir);
    m.edgeDmd.push_back(dmd);
    b.EdgeState(e, up, down);
    if (m.hasW1) b.EdgeWgt1(e, w1);
    if (m.hasW2) b.EdgeWgt2(e, w2);
    if (m.hasDirect) b.Direct(e, dir);
    if (m.hasDmd) b.EdgeDmd(e, dmd);
  }
  for (int n = 1; n <= nNods; ++n) {
    m.conn.push_back(b.ConnOf(n));
    char st = static_cast<char>(pick(0, 2));
    Wgt w = RandomWgt(rng);
    double dmd = pick(0, 100) / 4.0;
    m.nodState.push_back(st);
    m.nodWgt.push_back(w);
    m.nodDmd.push_back(dmd);
    b.NodState(n, st);
    if (m.hasNodWgt) b.NodWgt(n, w);
    if (m.hasDmd) b.NodDmd(n, dmd);
  }
  CLocalNetwork net;
  b.Fill(net);
  if (!m.hasNodWgt) m.nodWgt.clear();
  if (!m.hasDmd) {
    m.nodDmd.clear();
    m.edgeDmd.clear();
  }
  if (!m.hasDirect) m.direct.clear();
  if (!m.hasW1) m.w1.clear();
  if (!m.hasW2) m.w2.clear();

  const double positions[] = {0.0, 0.25, 0.5, 0.5, 0.75, 1.0};
  std::vector<NET_FLGstruct> flags(static_cast<std::size_t>(pick(z.flagsLo, z.flagsHi)));
  for (auto& f : flags) {
    int kind = pick(0, 9);
    f.cFlgType = static_cast<char>(kind < 7 ? 2 : kind == 7 ? 1 : pick(-2, 5));
    f.lElemID = f.cFlgType == 1 ? pick(1, nNods) : pick(0, nEdges + 1);
    int p = pick(0, 7);
    f.dPos = p < 6 ? positions[p] : pick(0, 1000) / 1000.0;
    f.szFlgText[0] = static_cast<char>('a' + pick(0, 25));
  }
  CSmartArray<NET_FLGstruct> in, out;
  CSmartArray<TEMPEDGE_MAP_EDGE> temps;
  CSmartArray<std::int32_t> nods;
  for (const auto& f : flags) in.Add(f);
  ASSERT_EQ(net.MapNetFlag(in, out, temps, nods), 1);
  RefMap(m, flags);
  ExpectMatches(net, m, out, temps, nods);
  ExpectConsistent(net);
}

TEST(MapNetFlagReferenceTest, RandomNetworksMatchThePlainModel) {
  std::mt19937 rng(20240611);
  for (int trial = 0; trial < 400 && !HasFatalFailure() && !HasNonfatalFailure(); ++trial) {
    SCOPED_TRACE(trial);
    RunTrial(rng, TrialSizes{2, 6, 1, 8, 0, 10});
  }
}

// Thousands of flags over edge numbers past 16 bits: the grouping then takes
// its counting passes instead of comparisons, and must give the same order.
TEST(MapNetFlagReferenceTest, ManyFlagsOnManyEdgesMatchThePlainModel) {
  std::mt19937 rng(77);
  for (int trial = 0; trial < 3 && !HasFatalFailure() && !HasNonfatalFailure(); ++trial) {
    SCOPED_TRACE(trial);
    RunTrial(rng, TrialSizes{30, 40, 70000, 72000, 9000, 10000});
  }
}

}  // namespace
