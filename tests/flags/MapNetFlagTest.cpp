// MapNetFlagTest.cpp - flag mapping on hand-worked networks, both builds.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "support/Flags.h"
#include "support/ReferenceBuilder.h"
#include "support/ReferenceCheck.h"

namespace {

NET_FLGstruct EdgeFlag(std::int32_t e, double pos, const char* text = "") { return Flag(2, e, pos, text); }
NET_FLGstruct NodFlag(std::int32_t n, const char* text = "") { return Flag(1, n, 0.0, text); }

// Field by field: the padding bytes of a record carry nothing.
bool SameFlag(const NET_FLGstruct& a, const NET_FLGstruct& b) {
  return a.cFlgType == b.cFlgType && a.lElemID == b.lElemID && std::memcmp(&a.dPos, &b.dPos, sizeof a.dPos) == 0 &&
         std::memcmp(a.szFlgText, b.szFlgText, sizeof a.szFlgText) == 0;
}

// The three output lists of one call.
struct Mapped {
  std::vector<NET_FLGstruct> flags;
  std::vector<std::pair<std::int32_t, std::int32_t>> temps;  // {new edge, edge cut}
  std::vector<std::int32_t> nods;
};

Mapped Map(CLocalNetwork& net, const std::vector<NET_FLGstruct>& flags) {
  CSmartArray<NET_FLGstruct> in, out;
  CSmartArray<TEMPEDGE_MAP_EDGE> temps;
  CSmartArray<std::int32_t> nods;
  for (const auto& f : flags) in.Add(f);
  // Stale content in every output list: the call must empty them.
  out.Add(NodFlag(99));
  temps.Add(TEMPEDGE_MAP_EDGE{99, 99});
  nods.Add(99);
  EXPECT_EQ(net.MapNetFlag(in, out, temps, nods), 1);
  Mapped m;
  for (std::int32_t i = 0; i < out.GetSize(); ++i) m.flags.push_back(out.GetAt(i));
  for (std::int32_t i = 0; i < temps.GetSize(); ++i) m.temps.push_back({temps.GetAt(i).lTempEdgeID, temps.GetAt(i).lEdgeID});
  m.nods = Elems(nods);
  EXPECT_EQ(in.GetSize(), static_cast<std::int32_t>(flags.size()));
  for (std::int32_t i = 0; i < in.GetSize(); ++i) EXPECT_TRUE(SameFlag(in.GetAt(i), flags[static_cast<std::size_t>(i)]));
  return m;
}

std::vector<std::int32_t> ConnOf(const CLocalNetwork& net, std::int32_t n) {
  const NNodConn_stru& c = net.m_pNodConn[n - 1];
  return std::vector<std::int32_t>(c.pConnEdge, c.pConnEdge + (c.sConnNum > 0 ? c.sConnNum : 0));
}

double Dbl(const NWeightVal_stru& w) { return w.dVal; }

NWeightVal_stru Raw(char type, const void* value, std::size_t size) {
  NWeightVal_stru w;
  std::memset(static_cast<void*>(&w), 0xA5, sizeof w);  // bytes beyond the value's width must survive
  w.cType = type;
  std::memcpy(reinterpret_cast<unsigned char*>(&w) + 1, value, size);
  return w;
}
template <class T>
NWeightVal_stru Wgt(char type, T v) {
  return Raw(type, &v, sizeof v);
}
template <class T>
T ValueOf(const NWeightVal_stru& w) {
  T v;
  std::memcpy(&v, reinterpret_cast<const unsigned char*>(&w) + 1, sizeof v);
  return v;
}

// 10 nodes, 20 edges: a ring 1..10 (edge i from node (i + 5) % 10 + 1 to the
// next, so edge 7 runs from 3 to 4) and ten chords. Every edge has weights of
// type 4, 8.0 in both columns, and demand 2.0.
NetworkBuilder TenNodes() {
  NetworkBuilder b;
  b.Nodes(10).EdgeWgtFld1(5).EdgeWgtFld2(6).NodWgtFld(2).DmdFld(0).DirectMode(1).TurnWgt();
  for (std::int32_t i = 1; i <= 10; ++i) {
    std::int32_t from = (i + 5) % 10 + 1;
    b.Edge(from, from % 10 + 1);
  }
  for (std::int32_t i = 1; i <= 10; ++i) b.Edge(i, (i + 3) % 10 + 1);
  for (std::int32_t e = 1; e <= 20; ++e) b.EdgeWgt1(e, DblWgt(8.0)).EdgeWgt2(e, DblWgt(8.0)).EdgeDmd(e, 2.0);
  return b;
}

class MapNetFlagTest : public ::testing::Test {
 protected:
  CLocalNetwork net;
};

TEST_F(MapNetFlagTest, OneFlagAtHalfSplitsEdgeIntoTwoHalves) {
  TenNodes()
      .EdgeState(7, 3, 4)
      .Direct(7, 9)
      .TurnMatrix(3, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16})
      .Fill(net);
  const std::vector<std::int32_t> conn3 = ConnOf(net, 3);
  const std::vector<std::int32_t> conn4 = ConnOf(net, 4);
  Mapped m = Map(net, {EdgeFlag(7, 0.5, "gate")});

  EXPECT_EQ(net.m_lNodNum, 11);
  EXPECT_EQ(net.m_lEdgeNum, 22);
  ASSERT_EQ(m.flags.size(), 1u);
  EXPECT_TRUE(SameFlag(m.flags[0], NodFlag(11)));  // the text stays behind
  EXPECT_EQ(m.temps, (std::vector<std::pair<std::int32_t, std::int32_t>>{{21, 7}, {22, 7}}));
  EXPECT_EQ(m.nods, std::vector<std::int32_t>{11});

  EXPECT_EQ(net.m_pEdgeNod[20].lFromNod, 3);
  EXPECT_EQ(net.m_pEdgeNod[20].lToNod, 11);
  EXPECT_EQ(net.m_pEdgeNod[21].lFromNod, 11);
  EXPECT_EQ(net.m_pEdgeNod[21].lToNod, 4);
  for (std::int32_t e : {21, 22}) {
    EXPECT_TRUE(SameWgt(net.m_pEdgeWgt1[e - 1], DblWgt(4.0))) << e;
    EXPECT_TRUE(SameWgt(net.m_pEdgeWgt2[e - 1], DblWgt(4.0))) << e;
    EXPECT_EQ(net.m_pEdgeDmd[e - 1], 1.0) << e;
    EXPECT_EQ(net.m_pUpEdgeState[e - 1], 3) << e;
    EXPECT_EQ(net.m_pDownEdgeState[e - 1], 4) << e;
    EXPECT_EQ(net.m_pEdgeDirect[e - 1], 9) << e;
  }
  EXPECT_EQ(ConnOf(net, 11), (std::vector<std::int32_t>{21, -22}));
  std::vector<std::int32_t> want3 = conn3;
  for (auto& x : want3) x = x == -7 ? -21 : x;
  EXPECT_EQ(ConnOf(net, 3), want3);
  std::vector<std::int32_t> want4 = conn4;
  for (auto& x : want4) x = x == 7 ? 22 : x;
  EXPECT_EQ(ConnOf(net, 4), want4);
  EXPECT_EQ(net.m_pNodState[10], 0);
  EXPECT_EQ(net.m_pNodDmd[10], 0.0);
  EXPECT_TRUE(SameWgt(net.m_pNodWgt[10], DblWgt(0.0)));
  ASSERT_NE(net.m_ppTurnWgt[10], nullptr);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(net.m_ppTurnWgt[10][k], 0.0);
  EXPECT_EQ(net.m_ppTurnWgt[2][15], 16.0);  // node 3 keeps its count, so its matrix

  // The split edge stays, deleted, with everything else it held.
  EXPECT_EQ(net.m_pUpEdgeState[6], 2);
  EXPECT_EQ(net.m_pDownEdgeState[6], 2);
  EXPECT_EQ(net.m_pEdgeNod[6].lFromNod, 3);
  EXPECT_EQ(net.m_pEdgeNod[6].lToNod, 4);
  EXPECT_TRUE(SameWgt(net.m_pEdgeWgt1[6], DblWgt(8.0)));
  EXPECT_EQ(net.m_pEdgeDmd[6], 2.0);
  ExpectConsistent(net);
}

TEST_F(MapNetFlagTest, FlagsOnOneEdgeAreCutInPositionOrder) {
  TenNodes().Fill(net);
  Mapped m = Map(net, {EdgeFlag(7, 0.75), EdgeFlag(7, 0.25)});
  EXPECT_EQ(m.flags[0].lElemID, 12);
  EXPECT_EQ(m.flags[1].lElemID, 11);
  EXPECT_EQ(m.nods, (std::vector<std::int32_t>{11, 12}));
  EXPECT_EQ(m.temps, (std::vector<std::pair<std::int32_t, std::int32_t>>{{21, 7}, {22, 7}, {23, 7}}));
  const double want[] = {2.0, 4.0, 2.0};  // fractions 0.25, 0.5, 0.25 of 8.0
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(Dbl(net.m_pEdgeWgt1[20 + k]), want[k]);
    EXPECT_EQ(net.m_pEdgeDmd[20 + k], want[k] / 4.0);
  }
  EXPECT_EQ(ConnOf(net, 11), (std::vector<std::int32_t>{21, -22}));
  EXPECT_EQ(ConnOf(net, 12), (std::vector<std::int32_t>{22, -23}));
  ExpectConsistent(net);
}

TEST_F(MapNetFlagTest, EdgesAreSplitInAscendingOrderWhateverTheInputOrder) {
  TenNodes().Fill(net);
  Mapped m = Map(net, {EdgeFlag(9, 0.5), NodFlag(2, "keep"), EdgeFlag(4, 0.5)});
  EXPECT_TRUE(SameFlag(m.flags[0], NodFlag(12)));
  EXPECT_TRUE(SameFlag(m.flags[1], NodFlag(2, "keep")));
  EXPECT_TRUE(SameFlag(m.flags[2], NodFlag(11)));
  EXPECT_EQ(m.temps, (std::vector<std::pair<std::int32_t, std::int32_t>>{{21, 4}, {22, 4}, {23, 9}, {24, 9}}));
  EXPECT_EQ(m.nods, (std::vector<std::int32_t>{11, 12}));
  ExpectConsistent(net);
}

// Equal positions keep the order the partition exchanges leave them in,
// worked by hand: two equal flags swap; {0.5, 0.2, 0.5, 0.2} ends 3, 1, 0, 2.
TEST_F(MapNetFlagTest, EqualPositionsTakeNodesInTheSortsOwnOrder) {
  TenNodes().Fill(net);
  Mapped m = Map(net, {EdgeFlag(7, 0.5), EdgeFlag(7, 0.5), EdgeFlag(3, 0.5), EdgeFlag(3, 0.2), EdgeFlag(3, 0.5),
                       EdgeFlag(3, 0.2), EdgeFlag(5, 0.3), EdgeFlag(5, 0.3), EdgeFlag(5, 0.3)});
  // Edge 3 first: input 5, 3, 2, 4 -> nodes 11 to 14; edge 5: 8, 7, 6 -> 15 to 17;
  // edge 7: 1, 0 -> 18, 19.
  std::vector<std::int32_t> got;
  for (const auto& f : m.flags) got.push_back(f.lElemID);
  EXPECT_EQ(got, (std::vector<std::int32_t>{19, 18, 13, 12, 14, 11, 17, 16, 15}));
  // Equal positions are joined by a piece of fraction 0.
  EXPECT_EQ(Dbl(net.m_pEdgeWgt1[net.m_lEdgeNum - 2]), 0.0);
  EXPECT_EQ(net.m_pEdgeDmd[net.m_lEdgeNum - 2], 0.0);
  ExpectConsistent(net);
}

TEST_F(MapNetFlagTest, FlagsAtTheEndsGivePiecesOfFractionZero) {
  TenNodes().Fill(net);
  Map(net, {EdgeFlag(7, 1.0), EdgeFlag(7, 0.0)});
  const double want[] = {0.0, 8.0, 0.0};
  for (int k = 0; k < 3; ++k) EXPECT_EQ(Dbl(net.m_pEdgeWgt2[20 + k]), want[k]);
  EXPECT_EQ(net.m_pEdgeNod[20].lFromNod, 3);
  EXPECT_EQ(net.m_pEdgeNod[20].lToNod, 11);
  EXPECT_EQ(net.m_pEdgeNod[22].lToNod, 4);
  ExpectConsistent(net);
}

TEST_F(MapNetFlagTest, EachWeightTypeIsScaledInItsOwnForm) {
  const char unknownBytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  TenNodes()
      .EdgeWgt1(1, Wgt<std::int32_t>(1, 5))
      .EdgeWgt2(1, Wgt<std::int16_t>(2, -7))
      .EdgeWgt1(2, Wgt<float>(3, 3.0f))
      .EdgeWgt2(2, Raw(0, unknownBytes, 8))
      .EdgeWgt1(3, Raw(9, unknownBytes, 8))
      .Fill(net);
  const NWeightVal_stru type0 = net.m_pEdgeWgt2[1];
  const NWeightVal_stru type9 = net.m_pEdgeWgt1[2];
  Map(net, {EdgeFlag(1, 0.5), EdgeFlag(2, 0.5), EdgeFlag(3, 0.5)});
  // Truncation toward zero does not keep the sum.
  EXPECT_TRUE(SameWgt(net.m_pEdgeWgt1[20], Wgt<std::int32_t>(1, 2)));
  EXPECT_TRUE(SameWgt(net.m_pEdgeWgt1[21], Wgt<std::int32_t>(1, 2)));
  EXPECT_TRUE(SameWgt(net.m_pEdgeWgt2[20], Wgt<std::int16_t>(2, -3)));
  EXPECT_TRUE(SameWgt(net.m_pEdgeWgt2[21], Wgt<std::int16_t>(2, -3)));
  EXPECT_TRUE(SameWgt(net.m_pEdgeWgt1[22], Wgt<float>(3, 1.5f)));
  EXPECT_TRUE(SameWgt(net.m_pEdgeWgt2[23], type0));
  EXPECT_TRUE(SameWgt(net.m_pEdgeWgt1[24], type9));
  EXPECT_TRUE(SameWgt(net.m_pEdgeWgt1[25], type9));
}

// Positions far outside 0..1 give products beyond the value's type: they
// saturate (32-bit), keep the saturated value's low 16 bits (16-bit), or
// round to infinity (float).
TEST_F(MapNetFlagTest, OutOfRangeProductsSaturateInsteadOfOverflowing) {
  TenNodes()
      .EdgeWgt1(1, Wgt<std::int32_t>(1, INT32_MAX))
      .EdgeWgt2(1, Wgt<std::int16_t>(2, 30000))
      .EdgeWgt1(2, Wgt<float>(3, FLT_MAX))
      .EdgeWgt2(2, Wgt<std::int16_t>(2, 30000))
      .EdgeWgt1(3, Wgt<std::int32_t>(1, 1000))
      .EdgeWgt2(3, Wgt<float>(3, 1.0f))
      .Fill(net);
  const double inf = std::numeric_limits<double>::infinity();
  Map(net, {EdgeFlag(1, 3.0), EdgeFlag(2, 1e300), EdgeFlag(3, inf), EdgeFlag(3, inf)});
  // Edge 1: fractions 3 and -2.
  EXPECT_EQ(ValueOf<std::int32_t>(net.m_pEdgeWgt1[20]), INT32_MAX);
  EXPECT_EQ(ValueOf<std::int32_t>(net.m_pEdgeWgt1[21]), INT32_MIN);
  EXPECT_EQ(ValueOf<std::int16_t>(net.m_pEdgeWgt2[20]), static_cast<std::int16_t>(90000 - 65536));
  EXPECT_EQ(ValueOf<std::int16_t>(net.m_pEdgeWgt2[21]), static_cast<std::int16_t>(-60000 + 65536));
  // Edge 2: fractions 1e300 and 1 - 1e300.
  EXPECT_EQ(ValueOf<float>(net.m_pEdgeWgt1[22]), std::numeric_limits<float>::infinity());
  EXPECT_EQ(ValueOf<float>(net.m_pEdgeWgt1[23]), -std::numeric_limits<float>::infinity());
  EXPECT_EQ(ValueOf<std::int16_t>(net.m_pEdgeWgt2[22]), static_cast<std::int16_t>(-1));  // INT32_MAX's low bits
  EXPECT_EQ(ValueOf<std::int16_t>(net.m_pEdgeWgt2[23]), static_cast<std::int16_t>(0));   // INT32_MIN's
  // Edge 3: fractions inf, inf - inf (NaN), 1 - inf.
  EXPECT_EQ(ValueOf<std::int32_t>(net.m_pEdgeWgt1[24]), INT32_MAX);
  EXPECT_EQ(ValueOf<std::int32_t>(net.m_pEdgeWgt1[25]), 0);
  EXPECT_EQ(ValueOf<std::int32_t>(net.m_pEdgeWgt1[26]), INT32_MIN);
  EXPECT_TRUE(std::isnan(ValueOf<float>(net.m_pEdgeWgt2[25])));
  EXPECT_EQ(ValueOf<float>(net.m_pEdgeWgt2[26]), -std::numeric_limits<float>::infinity());
}

TEST_F(MapNetFlagTest, FloatsJustAboveTheLargestRoundAsIeeeDoes) {
  TenNodes().EdgeWgt1(1, Wgt<float>(3, FLT_MAX)).EdgeWgt1(2, Wgt<float>(3, FLT_MAX)).Fill(net);
  // FLT_MAX * (1 + 2^-25) is below the halfway point to the next power of two.
  const double below = 1.0 + std::ldexp(1.0, -25);
  const double beyond = 1.0 + std::ldexp(1.0, -24);  // past the halfway point: infinity
  Map(net, {EdgeFlag(1, below), EdgeFlag(2, beyond)});
  EXPECT_EQ(ValueOf<float>(net.m_pEdgeWgt1[20]), FLT_MAX);
  EXPECT_EQ(ValueOf<float>(net.m_pEdgeWgt1[22]), std::numeric_limits<float>::infinity());
}

TEST_F(MapNetFlagTest, NodeFlagsAndOtherKindsPassThroughUntouched) {
  TenNodes().Fill(net);
  const double* tableBefore = net.m_pEdgeDmd;
  std::vector<NET_FLGstruct> flags = {NodFlag(3, "pump"), Flag(0, 7, 0.5, "zero"), Flag(3, 7, 0.5, "three"),
                                      Flag(-1, 7, 0.5, "minus")};
  Mapped m = Map(net, flags);
  ASSERT_EQ(m.flags.size(), flags.size());
  for (std::size_t i = 0; i < flags.size(); ++i) EXPECT_TRUE(SameFlag(m.flags[i], flags[i])) << i;
  EXPECT_TRUE(m.temps.empty());
  EXPECT_TRUE(m.nods.empty());
  EXPECT_EQ(net.m_lNodNum, 10);
  EXPECT_EQ(net.m_lEdgeNum, 20);
  EXPECT_EQ(net.m_pEdgeDmd, tableBefore);  // not even reallocated
}

TEST_F(MapNetFlagTest, EmptyInputEmptiesEveryOutput) {
  TenNodes().Fill(net);
  Mapped m = Map(net, {});
  EXPECT_TRUE(m.flags.empty());
  EXPECT_TRUE(m.temps.empty());
  EXPECT_TRUE(m.nods.empty());
  EXPECT_EQ(net.m_lNodNum, 10);
}

TEST_F(MapNetFlagTest, OneListAsInputAndOutputIsMappedInPlace) {
  TenNodes().Fill(net);
  CSmartArray<NET_FLGstruct> flags;
  flags.Add(NodFlag(2, "a"));
  flags.Add(EdgeFlag(7, 0.5, "b"));
  CSmartArray<TEMPEDGE_MAP_EDGE> temps;
  CSmartArray<std::int32_t> nods;
  EXPECT_EQ(net.MapNetFlag(flags, flags, temps, nods), 1);
  ASSERT_EQ(flags.GetSize(), 2);
  EXPECT_TRUE(SameFlag(flags.GetAt(0), NodFlag(2, "a")));
  EXPECT_TRUE(SameFlag(flags.GetAt(1), NodFlag(11)));
  EXPECT_EQ(temps.GetSize(), 2);
  ExpectConsistent(net);
}

// Flags that would make the split read or write outside the tables, or split
// an edge twice, are left as they came; the rest are mapped.
TEST_F(MapNetFlagTest, FlagsOnEdgesThatCannotBeSplitAreLeftAsTheyCame) {
  NetworkBuilder b = TenNodes();
  b.Edge(3, 0).Edge(11, 3).EdgeState(5, 2, 2);  // edges 21 and 22 name missing nodes; edge 5 deleted
  b.Fill(net);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<NET_FLGstruct> flags = {EdgeFlag(0, 0.5),  EdgeFlag(-7, 0.5), EdgeFlag(23, 0.5), EdgeFlag(21, 0.5),
                                      EdgeFlag(22, 0.5), EdgeFlag(5, 0.5),  EdgeFlag(7, nan),  EdgeFlag(7, 0.5),
                                      EdgeFlag(INT32_MIN, 0.5)};
  Mapped m = Map(net, flags);
  for (std::size_t i = 0; i < flags.size(); ++i) {
    if (i == 7) continue;
    EXPECT_TRUE(SameFlag(m.flags[i], flags[i])) << i;
  }
  EXPECT_TRUE(SameFlag(m.flags[7], NodFlag(11)));
  EXPECT_EQ(m.nods, std::vector<std::int32_t>{11});
  EXPECT_EQ(m.temps, (std::vector<std::pair<std::int32_t, std::int32_t>>{{23, 7}, {24, 7}}));
  EXPECT_EQ(net.m_pUpEdgeState[4], 2);
  EXPECT_EQ(net.m_lEdgeNum, 24);

  // A second call finds edge 7 deleted and leaves it alone.
  Mapped again = Map(net, {EdgeFlag(7, 0.5)});
  EXPECT_TRUE(SameFlag(again.flags[0], EdgeFlag(7, 0.5)));
  EXPECT_EQ(net.m_lEdgeNum, 24);
}

TEST_F(MapNetFlagTest, ConnectionListsTheHostBrokeAreReadOnlyWithinTheirLength) {
  // Node 3 names edge 7 twice and edge 99 (no such edge); node 5 names edge 7
  // though 7 does not meet it; node 4 claims a count but has no list.
  // Node 3's count claims more entries than its list holds.
  TenNodes().Conn(3, {-7, 99, -7, 7}).Conn(5, {-7, 8}).Fill(net);
  net.m_pNodConn[2].sConnNum = 10;
  std::int32_t* list4 = net.m_pNodConn[3].pConnEdge;
  net.m_pNodConn[3].pConnEdge = nullptr;
  net.m_pNodConn[3].sConnNum = 5;
  Map(net, {EdgeFlag(7, 0.5)});
  const std::int32_t* list3 = net.m_pNodConn[2].pConnEdge;
  EXPECT_EQ(std::vector<std::int32_t>(list3, list3 + 4), (std::vector<std::int32_t>{-21, 99, -21, 21}));
  EXPECT_EQ(net.m_pNodConn[2].sConnNum, 10);
  EXPECT_EQ(ConnOf(net, 5), (std::vector<std::int32_t>{-7, 8}));
  EXPECT_EQ(net.m_pNodConn[3].sConnNum, 5);
  EXPECT_EQ(net.m_pNodConn[3].pConnEdge, nullptr);
  EXPECT_EQ(ConnOf(net, 11), (std::vector<std::int32_t>{21, -22}));
  net.m_pNodConn[3].pConnEdge = list4;  // handed back so that the network releases it
}

TEST_F(MapNetFlagTest, LoopEdgeKeepsBothPiecesReachableFromItsNode) {
  NetworkBuilder b;
  b.Nodes(2).Edge(1, 2).Edge(2, 2).Edge(2, 2).Conn(2, {1, 2, -2, -3, -3});  // edge 3 written with one sign twice
  b.Fill(net);
  Map(net, {EdgeFlag(2, 0.5), EdgeFlag(3, 0.25), EdgeFlag(3, 0.75)});
  // Edge 2 -> pieces 4, 5 (node 3); edge 3 -> pieces 6, 7, 8 (nodes 4, 5).
  EXPECT_EQ(ConnOf(net, 2), (std::vector<std::int32_t>{1, 5, -4, -6, -8}));
  EXPECT_EQ(net.m_pNodConn[1].sConnNum, 5);
  EXPECT_EQ(net.m_pEdgeNod[3].lFromNod, 2);
  EXPECT_EQ(net.m_pEdgeNod[4].lToNod, 2);
  EXPECT_EQ(ConnOf(net, 3), (std::vector<std::int32_t>{4, -5}));
}

// A host that gives both fixed columns one id still finds each column's pieces
// derived from that column's own table.
TEST_F(MapNetFlagTest, FixedColumnsWithOneIdKeepTheirOwnValues) {
  NetworkBuilder()
      .Nodes(2)
      .Edge(1, 2)
      .EdgeWgtFld1(4)
      .EdgeWgtFld2(4)
      .EdgeWgt1(1, DblWgt(8.0))
      .EdgeWgt2(1, DblWgt(20.0))
      .Fill(net);
  CSmartArray<NET_FLGstruct> in, out;
  NET_FLGstruct flag;
  flag.cFlgType = 2;
  flag.lElemID = 1;
  flag.dPos = 0.5;
  in.Add(flag);
  CSmartArray<TEMPEDGE_MAP_EDGE> temps;
  CSmartArray<std::int32_t> nods;
  ASSERT_EQ(net.MapNetFlag(in, out, temps, nods), 1);
  EXPECT_TRUE(SameWgt(net.m_pEdgeWgt1[1], DblWgt(4.0)));
  EXPECT_TRUE(SameWgt(net.m_pEdgeWgt2[1], DblWgt(10.0)));
}

}  // namespace
