// Cutting street lines into edges where they share points.
#include <gtest/gtest.h>

#include <cmath>

#include "Noding.h"

namespace {

NInputLine Line(std::int64_t llFid, std::vector<NLinePoint_stru> pts) {
  NInputLine line;
  line.llFid = llFid;
  line.pts = std::move(pts);
  return line;
}

NDemoNet Node(std::vector<NInputLine> lines, double dTol = 0.01, bool bLonLat = false) {
  NInputNetwork input;
  input.lines = std::move(lines);
  input.bLonLat = bLonLat;
  NDemoNet net;
  NodeInputLines(input, dTol, net);
  return net;
}

}  // namespace

TEST(NodingTest, TwoLinesCrossingAtASharedVertexBecomeFourEdges) {
  const NDemoNet net = Node({Line(1, {{0, 0}, {10, 0}, {20, 0}}), Line(2, {{10, -10}, {10, 0}, {10, 10}})});
  ASSERT_EQ(net.edges.size(), 4u);
  EXPECT_EQ(net.nods.size(), 5u);
  // The crossing is one node, met by all four edges.
  std::int32_t lCross = net.edges[0].lToNod;
  int nMeet = 0;
  for (const NDemoEdge& e : net.edges) nMeet += (e.lFromNod == lCross) + (e.lToNod == lCross);
  EXPECT_EQ(nMeet, 4);
  EXPECT_DOUBLE_EQ(net.edges[0].dFrom, 0.0);
  EXPECT_DOUBLE_EQ(net.edges[0].dTo, 0.5);
  EXPECT_DOUBLE_EQ(net.edges[1].dFrom, 0.5);
  EXPECT_DOUBLE_EQ(net.edges[1].dTo, 1.0);
  EXPECT_DOUBLE_EQ(net.edges[0].dLength, 10.0);
}

TEST(NodingTest, LinesCrossingWithoutASharedVertexStayApart) {
  // A bridge: the lines cross in the plane but share no point.
  const NDemoNet net = Node({Line(1, {{0, 0}, {20, 0}}), Line(2, {{10, -10}, {10, 10}})});
  EXPECT_EQ(net.edges.size(), 2u);
  EXPECT_EQ(net.nods.size(), 4u);
}

TEST(NodingTest, VerticesWithinTheToleranceSnapToOneNode) {
  const NDemoNet net = Node({Line(1, {{0, 0}, {10, 0}}), Line(2, {{10.004, 0.003}, {20, 0}})}, 0.01);
  ASSERT_EQ(net.edges.size(), 2u);
  EXPECT_EQ(net.nods.size(), 3u);
  EXPECT_EQ(net.edges[0].lToNod, net.edges[1].lFromNod);
  const NDemoNet apart = Node({Line(1, {{0, 0}, {10, 0}}), Line(2, {{10.02, 0}, {20, 0}})}, 0.01);
  EXPECT_EQ(apart.nods.size(), 4u);
}

TEST(NodingTest, InteriorVertexUsedByOneLineOnlyDoesNotCut) {
  const NDemoNet net = Node({Line(1, {{0, 0}, {5, 5}, {10, 0}})});
  ASSERT_EQ(net.edges.size(), 1u);
  EXPECT_EQ(net.edges[0].pts.size(), 3u);
  EXPECT_NEAR(net.edges[0].dLength, 2 * std::sqrt(50.0), 1e-9);
}

TEST(NodingTest, ClosedRingIsCutSoNoEdgeStartsWhereItEnds) {
  const NDemoNet net = Node({Line(1, {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}})});
  ASSERT_EQ(net.edges.size(), 2u);
  for (const NDemoEdge& e : net.edges) EXPECT_NE(e.lFromNod, e.lToNod);
}

TEST(NodingTest, LineThatSnapsToAPointIsDroppedAndCounted) {
  const NDemoNet net = Node({Line(1, {{0, 0}, {0.001, 0}}), Line(2, {{0, 0}, {10, 0}})}, 0.01);
  EXPECT_EQ(net.llDropped, 1);
  EXPECT_EQ(net.edges.size(), 1u);
}

TEST(NodingTest, LonLatLengthsAreGroundMetres) {
  // One thousandth of a degree of latitude is about 111.2 m anywhere.
  const NDemoNet net = Node({Line(1, {{10.0, 50.0}, {10.0, 50.001}})}, 0.01, true);
  ASSERT_EQ(net.edges.size(), 1u);
  EXPECT_NEAR(net.edges[0].dLength, 111.19, 0.05);
  // And along a parallel at 60 degrees, half as much per degree of longitude.
  const NDemoNet north = Node({Line(1, {{10.0, 60.0}, {10.001, 60.0}})}, 0.01, true);
  EXPECT_NEAR(north.edges[0].dLength, 55.6, 0.05);
}
