// Flags given as coordinates or as edge and fraction, snapped, checked and
// mapped onto nodes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>

#include "Flags.h"
#include "NetBuild.h"

namespace {

NFlagRequest AtPoint(double x, double y, bool bBarrier = false) {
  NFlagRequest f;
  f.pt = NLinePoint_stru{x, y};
  f.bBarrier = bBarrier;
  f.strLabel = std::to_string(x) + "," + std::to_string(y);
  return f;
}

NFlagRequest OnEdge(std::int32_t lEdge, double dPos) {
  NFlagRequest f;
  f.bByPoint = false;
  f.lEdge = lEdge;
  f.dPos = dPos;
  f.strLabel = std::to_string(lEdge) + ":" + std::to_string(dPos);
  return f;
}

// An L: edge 1 from (0,0) to (100,0), edge 2 from (100,0) to (100,50).
class FlagPlacementTest : public ::testing::Test {
 protected:
  void SetUp() override {
    NInputLine a, b;
    a.pts = {{0, 0}, {100, 0}};
    b.pts = {{100, 0}, {100, 50}};
    input.lines = {a, b};
    NodeInputLines(input, 0.01, demo);
    ASSERT_EQ(demo.edges.size(), 2u);
  }
  std::vector<NPlacedFlag> Place(const std::vector<NFlagRequest>& reqs, double dTol = 0.5) {
    std::vector<NPlacedFlag> flags;
    for (const NFlagRequest& s : reqs) {
      NPlacedFlag f;
      f.req = s;
      flags.push_back(f);
    }
    PlaceFlags(demo, dTol, flags);
    return flags;
  }
  NInputNetwork input;
  NDemoNet demo;
};

}  // namespace

TEST_F(FlagPlacementTest, PointSnapsToTheNearestEdgeAtItsFraction) {
  const std::vector<NPlacedFlag> flags = Place({AtPoint(30, 4), AtPoint(104, 40)});
  EXPECT_EQ(flags[0].lEdge, 1);
  EXPECT_DOUBLE_EQ(flags[0].dPos, 0.3);
  EXPECT_DOUBLE_EQ(flags[0].dSnapDist, 4.0);
  EXPECT_EQ(flags[1].lEdge, 2);
  EXPECT_DOUBLE_EQ(flags[1].dPos, 0.8);
  EXPECT_EQ(flags[1].lAtNod, 0);
}

TEST_F(FlagPlacementTest, PointNearAnEdgeEndGoesToItsNode) {
  const std::vector<NPlacedFlag> flags = Place({AtPoint(99.7, -1), AtPoint(-5, 0)});
  EXPECT_EQ(flags[0].lAtNod, demo.edges[0].lToNod);
  EXPECT_EQ(flags[0].lEdge, 0);
  EXPECT_EQ(flags[1].lAtNod, demo.edges[0].lFromNod);
}

TEST_F(FlagPlacementTest, MappingPutsEveryFlagOnANodeAndClosesBarriers) {
  CLocalNetwork net;
  std::string strError;
  ASSERT_TRUE(BuildNetwork(input, demo, net, strError)) << strError;
  std::vector<NPlacedFlag> flags = Place({AtPoint(30, 1), AtPoint(100, 25, true), AtPoint(99.9, 0)});
  CSplitIndex split;
  NMapStats stats;
  std::ostringstream warn;
  ASSERT_TRUE(MapPlacedFlags(net, flags, split, stats, warn, strError)) << strError;
  EXPECT_EQ(stats.lNewNods, 2);
  EXPECT_EQ(stats.lNewEdges, 4);
  EXPECT_EQ(stats.lSplitEdges, 2);
  EXPECT_EQ(flags[0].lNod, 4);  // new nodes follow the three of the L, edge 1's first
  EXPECT_EQ(flags[1].lNod, 5);
  EXPECT_EQ(flags[2].lNod, demo.edges[0].lToNod);
  char cState = 0;
  ASSERT_EQ(net.GetNodState(5, cState), 1);
  EXPECT_EQ(cState, 1);
  ASSERT_EQ(net.GetNodState(4, cState), 1);
  EXPECT_EQ(cState, 0);
  EXPECT_TRUE(warn.str().empty()) << warn.str();
}

TEST_F(FlagPlacementTest, FaultyEdgeFlagsAreReportedNotMapped) {
  CLocalNetwork net;
  std::string strError;
  ASSERT_TRUE(BuildNetwork(input, demo, net, strError)) << strError;
  std::vector<NPlacedFlag> flags =
      Place({OnEdge(7, 0.5), OnEdge(1, 1.5), OnEdge(2, 1.0), OnEdge(1, 0.25), OnEdge(1, 0.25)});
  CSplitIndex split;
  NMapStats stats;
  std::ostringstream warn;
  ASSERT_TRUE(MapPlacedFlags(net, flags, split, stats, warn, strError)) << strError;
  EXPECT_FALSE(flags[0].bPlaced);  // no edge 7
  EXPECT_FALSE(flags[1].bPlaced);  // past the end of edge 1
  // At the very end of edge 2: its to node, not a piece of length 0.
  EXPECT_TRUE(flags[2].bPlaced);
  EXPECT_EQ(flags[2].lNod, demo.edges[1].lToNod);
  // Two flags at one place share a node rather than enclose a piece of length 0.
  EXPECT_EQ(flags[3].lNod, 4);
  EXPECT_EQ(flags[4].lNod, 4);
  EXPECT_EQ(stats.lNewNods, 1);
  EXPECT_EQ(stats.lNewEdges, 2);
  const std::string text = warn.str();
  EXPECT_NE(text.find("flag 7:"), std::string::npos) << text;
  EXPECT_NE(text.find("refused"), std::string::npos) << text;
  EXPECT_NE(text.find("shares its node"), std::string::npos) << text;
}

TEST(FlagSnapTest, IndexedSnapFindsTheSameDistanceAsLookingAtEverySegment) {
  NInputNetwork town;
  DefaultTown(town);
  NDemoNet demo;
  NodeInputLines(town, 0.01, demo);
  std::vector<NPlacedFlag> flags;
  std::uint32_t seed = 12345;
  auto next = [&seed]() {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<double>(seed >> 8) / static_cast<double>(1u << 24);
  };
  // Inside the town, near it, and far outside it.
  for (int i = 0; i < 300; ++i) {
    NPlacedFlag f;
    const double dReach = i < 200 ? 600.0 : 5000.0;
    f.req.pt = NLinePoint_stru{next() * dReach - dReach / 4, next() * dReach - dReach / 4};
    flags.push_back(f);
  }
  PlaceFlags(demo, 0.01, flags);
  for (const NPlacedFlag& f : flags) {
    double dBest = 1e300;
    for (const NDemoEdge& e : demo.edges) {
      for (std::size_t i = 0; i + 1 < e.pts.size(); ++i) {
        double t = 0.0, d2 = 0.0;
        ClosestOnSegment(f.req.pt, e.pts[i], e.pts[i + 1], t, d2);
        dBest = std::min(dBest, d2);
      }
    }
    ASSERT_TRUE(f.bPlaced);
    EXPECT_NEAR(f.dSnapDist, std::sqrt(dBest), 1e-9) << f.req.pt.dX << "," << f.req.pt.dY;
  }
}
