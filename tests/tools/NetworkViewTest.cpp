// The view against the connectivity queries on random and hand-broken
// networks, its cost decoding, and its refusal of a network that changed.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "kelvane/tools/NetworkBuilder.h"
#include "kelvane/tools/NetworkView.h"
#include "kelvane/tools/SplitIndex.h"
#include "support/Flags.h"
#include "tools/RandomNetwork.h"

using namespace kelvane::tools;

namespace {

using oracle::kGen1;
using oracle::kInf;
using oracle::Wgt;

struct Entry {
  std::int32_t edge;
  std::int32_t far;
  unsigned ways;
  bool operator==(const Entry& o) const { return edge == o.edge && far == o.far && ways == o.ways; }
};

std::ostream& operator<<(std::ostream& os, const Entry& x) {
  return os << "{edge " << x.edge << ", far " << x.far << ", ways " << x.ways << "}";
}

// The step entries node n should have, from the queries: which stored entries
// the up and down lists keep (both lists keep the stored order), the states
// and end nodes for the two ways the lists do not answer, and the far node.
std::vector<Entry> Expected(CLocalNetwork& net, std::int32_t n, std::int32_t stored, std::int32_t viewNods) {
  CSmartArray<std::int32_t> down;
  CSmartArray<std::int32_t> up;
  net.GetNodConnDownEdgeS(n, down);
  net.GetNodConnUpEdgeS(n, up);
  // Lists answer for the leave ways in the current build, the arrive ways in
  // the first generation.
  const unsigned downBit = kGen1 ? CNetworkView::kArriveAlong : CNetworkView::kLeaveAlong;
  const unsigned upBit = kGen1 ? CNetworkView::kArriveAgainst : CNetworkView::kLeaveAgainst;
  std::vector<Entry> out;
  std::int32_t pd = 0;
  std::int32_t pu = 0;
  for (std::int32_t i = 0; i < stored; ++i) {
    const std::int32_t x = net.m_pNodConn[n - 1].pConnEdge[i];
    unsigned ways = 0;
    if (pd < down.GetSize() && down.GetAt(pd) == x) {
      ways |= downBit;
      ++pd;
    }
    if (pu < up.GetSize() && up.GetAt(pu) == x) {
      ways |= upBit;
      ++pu;
    }
    const std::int32_t e = x == INT32_MIN ? 0 : std::abs(x);
    std::int32_t f = 0;
    std::int32_t t = 0;
    if (net.GetEdgeFromToNod(e, f, t) != 1 || (f == 0 && t == 0)) continue;
    char us = 1;
    char ds = 1;
    net.GetUpEdgeState(e, us);
    net.GetDownEdgeState(e, ds);
    if (!kGen1) {
      if (t == n && ds != 1) ways |= CNetworkView::kArriveAlong;
      if (f == n && us != 1) ways |= CNetworkView::kArriveAgainst;
    } else {
      if (x < 0 && ds != 1) ways |= CNetworkView::kLeaveAlong;
      if (x > 0 && us != 1) ways |= CNetworkView::kLeaveAgainst;
    }
    std::int32_t far = 0;
    if (kGen1) {
      far = x < 0 ? t : f;
    } else {
      far = (f == n && t == n) ? n : (f == n ? t : f);
    }
    if (ways == 0 || far < 1 || far > viewNods) continue;
    out.push_back(Entry{e, far, ways});
  }
  EXPECT_EQ(pd, down.GetSize()) << "node " << n << ": down list entry not among the stored ones";
  EXPECT_EQ(pu, up.GetSize()) << "node " << n << ": up list entry not among the stored ones";
  return out;
}

// The network's tables broken by hand the ways a host can break them.
struct Breakage {
  std::vector<std::int32_t> stored;  // per node number: entries its list really holds
  std::int32_t nodTables = 0;        // entries the node tables hold
  std::int32_t edgeTables = 0;       // entries the edge tables hold
  bool swapped = false;              // the end node table is another network's
};

Breakage Break(std::mt19937& rng, CLocalNetwork& net, CLocalNetwork& shortEnds) {
  Breakage b;
  b.nodTables = net.m_lNodNum;
  b.edgeTables = net.m_lEdgeNum;
  b.stored.assign(static_cast<std::size_t>(net.m_lNodNum) + 1, 0);
  for (std::int32_t n = 1; n <= net.m_lNodNum; ++n) b.stored[n] = std::max<std::int32_t>(0, net.m_pNodConn[n - 1].sConnNum);
  std::uniform_int_distribution<std::int32_t> anyNod(1, net.m_lNodNum);
  std::uniform_int_distribution<std::int32_t> anyEdge(1, net.m_lEdgeNum);
  std::uniform_int_distribution<int> kind(0, 7);
  for (int k = 0; k < 6; ++k) {
    const std::int32_t n = anyNod(rng);
    NNodConn_stru& conn = net.m_pNodConn[n - 1];
    NEdgeNod_stru& ends = net.m_pEdgeNod[anyEdge(rng) - 1];
    switch (kind(rng)) {
      case 0:  // entries naming no edge
      case 1:
        if (b.stored[n] > 0) {
          const std::int32_t bad[] = {0, net.m_lEdgeNum + 1, -(net.m_lEdgeNum + 7), INT32_MIN};
          conn.pConnEdge[std::uniform_int_distribution<std::int32_t>(0, b.stored[n] - 1)(rng)] = bad[k % 4];
        }
        break;
      case 2:  // end nodes that are not nodes
        ends.lToNod = net.m_lNodNum + 3;
        break;
      case 3:
        ends.lFromNod = k % 2 == 0 ? 0 : -2;
        break;
      case 4:  // a list shorter than its count
        if (conn.sConnNum > 0) conn.sConnNum = static_cast<std::int16_t>(conn.sConnNum + 2);
        break;
      case 5:  // an entry with the wrong sign, or naming an edge not at the node
        if (b.stored[n] > 0) conn.pConnEdge[0] = k % 2 == 0 ? -conn.pConnEdge[0] : anyEdge(rng);
        break;
      default:
        break;
    }
  }
  // Short tables: counts above what the tables hold, or one table shorter
  // than the others (swapped in from a smaller network, swapped back later).
  const int s = kind(rng);
  if (s == 0) net.m_lNodNum += 2;
  if (s == 1) net.m_lEdgeNum += 3;
  if (s == 2) {
    std::swap(net.m_pEdgeNod, shortEnds.m_pEdgeNod);
    b.edgeTables = std::min(b.edgeTables, shortEnds.m_lEdgeNum);
    b.swapped = true;
  }
  return b;
}

}  // namespace

TEST(NetworkViewTest, StepsAreWhatTheConnectivityQueriesAnswerOnRandomAndBrokenTables) {
  std::mt19937 rng(11);
  for (int round = 0; round < 300; ++round) {
    oracle::RandomNet r;
    oracle::Shape shape;
    shape.flags = round % 3;
    shape.closed = 0.15;
    r.Make(rng, shape);
    if (HasFatalFailure()) return;
    r.Close();
    CLocalNetwork shortEnds;  // a smaller network lending its end node table
    {
      CNetworkBuilder b;
      b.SetNodNum(2);
      for (int e = 0; e < r.edges / 2; ++e) b.AddEdge(1, 2);
      ASSERT_EQ(b.Build(shortEnds), 1);
    }
    const bool broken = round % 4 != 0;
    Breakage bk;
    bk.nodTables = r.net.m_lNodNum;
    bk.edgeTables = r.net.m_lEdgeNum;
    bk.stored.assign(static_cast<std::size_t>(r.nods) + 1, 0);
    for (std::int32_t n = 1; n <= r.nods; ++n) bk.stored[n] = r.net.m_pNodConn[n - 1].sConnNum;
    if (broken) bk = Break(rng, r.net, shortEnds);

    CNetworkView view;
    NFinding_stru err;
    ASSERT_EQ(view.Build(r.net, NViewOptions_stru(), &err), 1) << err.strText;
    ASSERT_TRUE(view.IsCurrent());
    ASSERT_EQ(view.GetNodNum(), std::min(r.net.m_lNodNum, bk.nodTables));
    ASSERT_EQ(view.GetEdgeNum(), std::min(r.net.m_lEdgeNum, bk.edgeTables));
    std::vector<NStep_stru> steps;
    EXPECT_EQ(view.GetStepS(view.GetNodNum() + 1, NStepSide::Leave, steps), 0);
    for (std::int32_t n = 1; n <= view.GetNodNum(); ++n) {
      SCOPED_TRACE(testing::Message() << "round " << round << ", node " << n);
      std::vector<Entry> got;
      for (std::int64_t j = view.StepBegin(n); j < view.StepEnd(n); ++j) {
        got.push_back(Entry{view.StepEdge()[j], view.StepFar()[j], view.StepWays()[j]});
      }
      const bool closed = r.closed[n] != 0;
      EXPECT_EQ(view.NodClosed()[n] != 0, closed);
      const std::vector<Entry> want =
          closed ? std::vector<Entry>() : Expected(r.net, n, bk.stored[n], view.GetNodNum());
      ASSERT_EQ(got, want);
      // GetStepS: per side, one step per way, a loop open both ways twice.
      for (NStepSide side : {NStepSide::Leave, NStepSide::Arrive}) {
        const unsigned al = side == NStepSide::Leave ? CNetworkView::kLeaveAlong : CNetworkView::kArriveAlong;
        const unsigned ag = side == NStepSide::Leave ? CNetworkView::kLeaveAgainst : CNetworkView::kArriveAgainst;
        std::vector<std::pair<std::int32_t, bool>> w;
        for (const Entry& x : want) {
          if ((x.ways & al) != 0) w.emplace_back(x.edge, true);
          if ((x.ways & ag) != 0) w.emplace_back(x.edge, false);
        }
        ASSERT_EQ(view.GetStepS(n, side, steps), 1);
        std::vector<std::pair<std::int32_t, bool>> g;
        for (const NStep_stru& st : steps) g.emplace_back(st.lEdge, st.bAlong);
        EXPECT_EQ(g, w);
      }
    }
    r.net.m_lNodNum = r.nods;
    r.net.m_lEdgeNum = r.edges;
    if (bk.swapped) std::swap(r.net.m_pEdgeNod, shortEnds.m_pEdgeNod);
  }
}

// Edges 1..8 from node 1 to node 2, one weight record of each kind per column.
class NetworkViewCostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    b.SetEdgeWgtFld1(oracle::kAlongFld);
    b.SetEdgeWgtFld2(oracle::kAgainstFld);
    b.SetNodNum(2);
    const NWeightVal_stru along[] = {Wgt<std::int32_t>(1, 7),   Wgt<std::int16_t>(2, 3),    Wgt<float>(3, 2.5f),
                                     Wgt<double>(4, 1.25),      NWeightVal_stru(),          Wgt<double>(4, -2.0),
                                     Wgt<double>(4, kInf),      Wgt<std::int16_t>(2, -3)};
    const NWeightVal_stru against[] = {Wgt<double>(4, 0.0),  Wgt<double>(4, 9.0), Wgt<float>(3, -1.0f),
                                       Wgt<std::int32_t>(1, 4), Wgt<double>(4, -kInf), Wgt<std::int32_t>(1, 0),
                                       NWeightVal_stru(),      Wgt<float>(3, 0.5f)};
    for (int i = 0; i < 8; ++i) {
      const std::int32_t e = b.AddEdge(1, 2);
      b.SetEdgeWgt1(e, along[i]);
      b.SetEdgeWgt2(e, against[i]);
    }
  }
  CNetworkBuilder b;
  CLocalNetwork net;
};

TEST_F(NetworkViewCostTest, EveryTypeDecodesAndNoWayIsInfinite) {
  ASSERT_EQ(b.Build(net), 1);
  CNetworkView view;
  NViewOptions_stru opt;
  opt.lAlongFld = oracle::kAlongFld;
  opt.lAgainstFld = oracle::kAgainstFld;
  ASSERT_EQ(view.Build(net, opt), 1);
  const std::vector<double> along = {7, 3, 2.5, 1.25, kInf, kInf, kInf, kInf};
  const std::vector<double> against = {0, 9, kInf, 4, kInf, 0, kInf, 0.5};
  for (std::int32_t e = 1; e <= 8; ++e) {
    EXPECT_EQ(view.CostAlong()[e], along[e - 1]) << "edge " << e;
    EXPECT_EQ(view.CostAgainst()[e], against[e - 1]) << "edge " << e;
    EXPECT_EQ(view.GetEdgeCost(e, true), along[e - 1]);
    EXPECT_EQ(view.GetEdgeCost(e, false), against[e - 1]);
  }
  EXPECT_TRUE(std::isnan(view.GetEdgeCost(9, true)));
  // One column serves both ways when the against column is left out; no
  // column at all counts hops.
  opt.lAgainstFld = -1;
  ASSERT_EQ(view.Build(net, opt), 1);
  for (std::int32_t e = 1; e <= 8; ++e) EXPECT_EQ(view.CostAgainst()[e], along[e - 1]);
  opt.lAlongFld = -1;
  ASSERT_EQ(view.Build(net, opt), 1);
  for (std::int32_t e = 1; e <= 8; ++e) {
    EXPECT_EQ(view.CostAlong()[e], 1.0);
    EXPECT_EQ(view.CostAgainst()[e], 1.0);
  }
}

TEST_F(NetworkViewCostTest, NoNumberUnknownTypeAndAbsentColumnAreRefusedNamingWhat) {
  ASSERT_EQ(b.Build(net), 1);
  NViewOptions_stru opt;
  opt.lAlongFld = oracle::kAlongFld;
  opt.lAgainstFld = oracle::kAgainstFld;
  struct Case {
    std::int32_t edge;  // 0: the column is absent
    NWeightVal_stru w;
    bool against;
  };
  NWeightVal_stru unknown = Wgt<double>(4, 1.0);
  unknown.cType = 5;
  NWeightVal_stru negativeType = Wgt<double>(4, 1.0);
  negativeType.cType = -1;
  const Case cases[] = {{3, Wgt<double>(4, std::nan("")), true},
                        {6, Wgt<float>(3, std::nanf("")), false},
                        {2, unknown, false},
                        {8, negativeType, true},
                        {0, NWeightVal_stru(), false}};
  for (const Case& c : cases) {
    CLocalNetwork copy(net);
    NViewOptions_stru o = opt;
    if (c.edge == 0) {
      o.lAlongFld = 9;  // no such column
    } else {
      (c.against ? copy.m_pEdgeWgt2 : copy.m_pEdgeWgt1)[c.edge - 1] = c.w;
    }
    CNetworkView view;
    ASSERT_EQ(view.Build(net, opt), 1);
    NFinding_stru err;
    EXPECT_EQ(view.Build(copy, o, &err), 0) << "edge " << c.edge;
    EXPECT_FALSE(view.IsCurrent());
    EXPECT_EQ(view.GetNodNum(), 0);
    EXPECT_EQ(err.eKind, c.edge == 0 ? NElemKind::Network : NElemKind::Edge);
    EXPECT_EQ(err.lElem, c.edge);
    const std::string named = c.edge != 0 ? "edge " + std::to_string(c.edge) : "column 9";
    EXPECT_NE(err.strText.find(named), std::string::npos) << err.strText;
  }
}

TEST(NetworkViewTest, PieceCostsAddUpToTheirEdgeWhateverTheType) {
  std::mt19937 rng(7);
  for (int round = 0; round < 60; ++round) {
    oracle::RandomNet r;
    oracle::Shape shape;
    shape.flags = 6;
    r.Make(rng, shape);
    if (HasFatalFailure()) return;
    CSplitIndex split;
    NFinding_stru err;
    ASSERT_EQ(split.Build(r.net, r.flagIn, r.flagOut, r.flagTemp, &err), 1) << err.strText;
    NViewOptions_stru opt;
    opt.lAlongFld = oracle::kAlongFld;
    opt.lAgainstFld = oracle::kAgainstFld;
    opt.pSplit = &split;
    CNetworkView view;
    ASSERT_EQ(view.Build(r.net, opt, &err), 1) << err.strText;
    for (std::int32_t e = 1; e <= r.edges; ++e) {
      if (!split.IsSplit(e)) continue;
      CSmartArray<NEdgePiece_stru> pieces;
      ASSERT_EQ(split.GetPieceS(e, pieces), 1);
      for (int way = 0; way < 2; ++way) {
        const double whole = oracle::WayCost(r.net, e, way == 0);
        double sum = 0.0;
        for (std::int32_t i = 0; i < pieces.GetSize(); ++i) {
          const NEdgePiece_stru p = pieces.GetAt(i);
          const double c = view.GetEdgeCost(p.lEdge, way == 0);
          if (std::isinf(whole)) {
            EXPECT_TRUE(std::isinf(c)) << "piece " << p.lEdge << " of no-way edge " << e;
          } else {
            EXPECT_NEAR(c, whole * (p.dTo - p.dFrom), 1e-12 * (1 + whole));
          }
          sum += c;
        }
        if (!std::isinf(whole)) {
          EXPECT_NEAR(sum, whole, 1e-9 * (1 + whole)) << "edge " << e;
        }
      }
    }
  }
}

TEST(NetworkViewTest, RefusesOnceFlagMappingChangedTheCounts) {
  CLocalNetwork net;
  CNetworkBuilder b;
  b.SetNodNum(2);
  b.AddEdge(1, 2);
  ASSERT_EQ(b.Build(net), 1);
  CNetworkView view;
  NFinding_stru err;
  EXPECT_FALSE(view.IsCurrent(&err));  // never built
  EXPECT_FALSE(err.strText.empty());
  ASSERT_EQ(view.Build(net), 1);
  EXPECT_TRUE(view.IsCurrent(&err));
  CSmartArray<NET_FLGstruct> in;
  in.Add(Flag(2, 1, 0.5));
  CSmartArray<NET_FLGstruct> out;
  CSmartArray<TEMPEDGE_MAP_EDGE> temp;
  CSmartArray<std::int32_t> nods;
  ASSERT_EQ(net.MapNetFlag(in, out, temp, nods), 1);
  err = NFinding_stru();
  EXPECT_FALSE(view.IsCurrent(&err));
  EXPECT_EQ(err.eKind, NElemKind::Network);
  EXPECT_NE(err.strText.find("build the view again"), std::string::npos) << err.strText;
  ASSERT_EQ(view.Build(net), 1);
  EXPECT_TRUE(view.IsCurrent());
}
