// Giving nodes connection lists and turn matrices, and the private editing
// primitives of flag mapping: room first, appends into it, deletion by state.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "network/NetworkInt.h"
#include "network/TableAlloc.h"
#include "support/ReferenceBuilder.h"
#include "support/ReferenceCheck.h"

using kelvane::TableEntries;

namespace {

NWeightVal_stru FloatWgt(float f) {
  NWeightVal_stru w;
  w.cType = 3;
  std::memcpy(reinterpret_cast<unsigned char*>(&w) + 1, &f, sizeof f);
  return w;
}

// 10 nodes in a ring of 10 edges plus 10 chords (20 edges), every table on.
NetworkBuilder TwentyEdges(bool allTables) {
  NetworkBuilder b;
  b.Nodes(10);
  for (std::int32_t v = 1; v <= 10; ++v) b.Edge(v, v % 10 + 1);
  for (std::int32_t v = 1; v <= 10; ++v) b.Edge(v, (v + 4) % 10 + 1);
  if (allTables) {
    b.NodWgtFld(0).EdgeWgtFld1(1).EdgeWgtFld2(2).DmdFld(0).TurnWgt().DirectMode(2);
    b.NodWgt(3, DblWgt(3.0)).EdgeWgt1(20, IntWgt(20)).EdgeWgt2(1, DblWgt(0.5)).NodDmd(10, 1.0).EdgeDmd(20, 2.0);
    b.Direct(7, 1).EdgeState(8, 1, 0).NodState(9, 1);
  }
  return b;
}

}  // namespace

// --- Connection lists and turn matrices

class NodeMemoryTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NO_FATAL_FAILURE(NetworkBuilder().Nodes(3).Edge(1, 2).TurnWgt().Fill(net)); }
  CLocalNetwork net;
};

TEST_F(NodeMemoryTest, ConnectionListIsFreshAndZeroFilled) {
  ASSERT_EQ(net.ReallocNodConnEdgeMemory(3, 3), 1);
  const NNodConn_stru& conn = net.m_pNodConn[2];
  EXPECT_EQ(conn.sConnNum, 3);
  ASSERT_NE(conn.pConnEdge, nullptr);
  EXPECT_EQ(TableEntries(conn.pConnEdge), 3u);
  EXPECT_EQ(conn.pConnEdge[0], 0);
  EXPECT_EQ(conn.pConnEdge[2], 0);
}

TEST_F(NodeMemoryTest, ConnectionListOfZeroEntriesHoldsNothing) {
  ASSERT_EQ(net.ReallocNodConnEdgeMemory(1, 0), 1);  // node 1 held one entry
  EXPECT_EQ(net.m_pNodConn[0].sConnNum, 0);
  EXPECT_EQ(TableEntries(net.m_pNodConn[0].pConnEdge), 0u);
}

TEST_F(NodeMemoryTest, NewListReplacesTheOldWithoutItsContents) {
  net.m_pNodConn[1].pConnEdge[0] = 1;
  ASSERT_EQ(net.ReallocNodConnEdgeMemory(2, 4), 1);  // the old list is released (leak check)
  EXPECT_EQ(net.m_pNodConn[1].sConnNum, 4);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(net.m_pNodConn[1].pConnEdge[k], 0);
  ASSERT_EQ(net.ReallocNodConnEdgeMemory(2, 32767), 1);
  EXPECT_EQ(net.m_pNodConn[1].sConnNum, 32767);
  EXPECT_EQ(TableEntries(net.m_pNodConn[1].pConnEdge), 32767u);
  EXPECT_EQ(net.m_pNodConn[1].pConnEdge[32766], 0);
}

// Lists given out node by node share one block of memory; renewing, growing
// the network and copying it must never disturb a neighbour's list.
TEST_F(NodeMemoryTest, RenewedListsLeaveTheirNeighboursIntact) {
  ASSERT_EQ(net.ReallocNodConnEdgeMemory(1, 3), 1);
  ASSERT_EQ(net.ReallocNodConnEdgeMemory(2, 2), 1);
  for (int k = 0; k < 3; ++k) net.m_pNodConn[0].pConnEdge[k] = 7;
  net.m_pNodConn[1].pConnEdge[0] = -1;
  net.m_pNodConn[1].pConnEdge[1] = 1;
  for (std::int16_t count : {2, 1, 5, 0, 40}) {
    ASSERT_EQ(net.ReallocNodConnEdgeMemory(1, count), 1);
    ASSERT_EQ(TableEntries(net.m_pNodConn[0].pConnEdge), static_cast<std::size_t>(count));
    for (int k = 0; k < count; ++k) EXPECT_EQ(net.m_pNodConn[0].pConnEdge[k], 0) << count;
    for (int k = 0; k < count; ++k) net.m_pNodConn[0].pConnEdge[k] = 9;
    EXPECT_EQ(net.m_pNodConn[1].pConnEdge[0], -1);
    EXPECT_EQ(net.m_pNodConn[1].pConnEdge[1], 1);
  }
  ASSERT_EQ(CNetworkAccess::AppendElemS(net, 2, 2), 1);
  CLocalNetwork copy(net);
  net = CLocalNetwork();
  EXPECT_EQ(copy.m_pNodConn[1].pConnEdge[1], 1);
  EXPECT_EQ(copy.m_pNodConn[0].pConnEdge[39], 9);
}

TEST_F(NodeMemoryTest, ListForANodeOutOfRangeOrANegativeCountChangesNothing) {
  CLocalNetwork before(net);
  for (std::int32_t n : {0, -1, 4, INT_MAX, INT_MIN}) EXPECT_EQ(net.ReallocNodConnEdgeMemory(n, 2), 0) << n;
  EXPECT_EQ(net.ReallocNodConnEdgeMemory(2, -1), 0);
  EXPECT_EQ(net.ReallocNodConnEdgeMemory(2, SHRT_MIN), 0);
  ExpectSameNetwork(before, net);
  EXPECT_EQ(TableEntries(net.m_pNodConn[1].pConnEdge), 1u);
}

TEST_F(NodeMemoryTest, TurnMatrixIsCountSquaredZeros) {
  ASSERT_EQ(net.ReallocNodTurnWgtMemory(3, 3), 1);
  ASSERT_NE(net.m_ppTurnWgt[2], nullptr);
  EXPECT_EQ(TableEntries(net.m_ppTurnWgt[2]), 9u);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(net.m_ppTurnWgt[2][i], 0.0);
}

TEST_F(NodeMemoryTest, NewMatrixReplacesTheOldWithoutItsContents) {
  net.m_ppTurnWgt[0][0] = 5.0;
  ASSERT_EQ(net.ReallocNodTurnWgtMemory(1, 2), 1);  // the old matrix is released (leak check)
  EXPECT_EQ(TableEntries(net.m_ppTurnWgt[0]), 4u);
  EXPECT_EQ(net.m_ppTurnWgt[0][0], 0.0);
  ASSERT_EQ(net.ReallocNodTurnWgtMemory(1, 0), 1);
  EXPECT_EQ(TableEntries(net.m_ppTurnWgt[0]), 0u);
}

TEST_F(NodeMemoryTest, NegativeMatrixCountIsSquared) {
  ASSERT_EQ(net.ReallocNodTurnWgtMemory(3, -3), 1);
  EXPECT_EQ(TableEntries(net.m_ppTurnWgt[2]), 9u);
}

TEST_F(NodeMemoryTest, MatrixForANodeOutOfRangeChangesNothing) {
  CLocalNetwork before(net);
  for (std::int32_t n : {0, -1, 4, INT_MIN}) EXPECT_EQ(net.ReallocNodTurnWgtMemory(n, 2), 0) << n;
  ExpectSameNetwork(before, net);
}

TEST(NodeMemoryRobustnessTest, NetworkWithoutTheTablesRefusesListsAndMatrices) {
  CLocalNetwork unsized;
  unsized.m_lNodNum = 3;
  EXPECT_EQ(unsized.ReallocNodConnEdgeMemory(1, 2), 0);
  EXPECT_EQ(unsized.ReallocNodTurnWgtMemory(1, 2), 0);
  CLocalNetwork noTurns;
  ASSERT_NO_FATAL_FAILURE(NetworkBuilder().Nodes(3).Fill(noTurns));
  EXPECT_EQ(noTurns.ReallocNodTurnWgtMemory(1, 2), 0);
  noTurns.m_lNodNum = 10;  // beyond the tables
  EXPECT_EQ(noTurns.ReallocNodConnEdgeMemory(7, 2), 0);
  noTurns.m_lNodNum = 3;
}

// --- Flag mapping's primitives

class EditTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(TwentyEdges(true).Fill(net));
    ASSERT_NO_FATAL_FAILURE(ExpectConsistent(net));
  }
  CLocalNetwork net;
};

TEST_F(EditTest, RoomForNothingKeepsEveryCountAndContent) {
  CLocalNetwork before(net);
  EXPECT_EQ(CNetworkAccess::AppendElemS(net, 0, 0), 1);
  ExpectSameNetwork(before, net);
  ExpectConsistent(net);
}

TEST_F(EditTest, RoomGrowsEveryTableAndKeepsWhatWasThere) {
  CLocalNetwork before(net);
  ASSERT_EQ(CNetworkAccess::AppendElemS(net, 2, 3), 1);
  EXPECT_EQ(net.m_lNodNum, 10);
  EXPECT_EQ(net.m_lEdgeNum, 20);
  ExpectSameNetwork(before, net);  // over the counts in use
  EXPECT_GE(TableEntries(net.m_pEdgeNod), 23u);
  EXPECT_GE(TableEntries(net.m_pNodConn), 12u);
  EXPECT_GE(TableEntries(net.m_pNodWgt), 12u);
  EXPECT_GE(TableEntries(net.m_pEdgeWgt1), 23u);
  EXPECT_GE(TableEntries(net.m_pEdgeWgt2), 23u);
  EXPECT_GE(TableEntries(net.m_ppTurnWgt), 12u);
  EXPECT_GE(TableEntries(net.m_pNodState), 12u);
  EXPECT_GE(TableEntries(net.m_pUpEdgeState), 23u);
  EXPECT_GE(TableEntries(net.m_pDownEdgeState), 23u);
  EXPECT_GE(TableEntries(net.m_pEdgeDirect), 23u);
  EXPECT_GE(TableEntries(net.m_pNodDmd), 12u);
  EXPECT_GE(TableEntries(net.m_pEdgeDmd), 23u);
  for (int i = 10; i < 12; ++i) {
    ASSERT_NE(net.m_ppTurnWgt[i], nullptr);
    EXPECT_EQ(TableEntries(net.m_ppTurnWgt[i]), 4u);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(net.m_ppTurnWgt[i][k], 0.0);
  }
  ExpectConsistent(net);
}

TEST_F(EditTest, AppendsNumberNewElementsBehindTheLastAndStopAtTheRoom) {
  ASSERT_EQ(CNetworkAccess::AppendElemS(net, 2, 3), 1);
  NWeightVal_stru w;
  EXPECT_EQ(CNetworkAccess::AppendNod(net), 11);
  EXPECT_EQ(CNetworkAccess::AppendEdge(net, w, w, 0, 0, 0, 0.0), 21);
  EXPECT_EQ(CNetworkAccess::AppendNod(net), 12);
  EXPECT_EQ(CNetworkAccess::AppendEdge(net, w, w, 0, 0, 0, 0.0), 22);
  EXPECT_EQ(CNetworkAccess::AppendEdge(net, w, w, 0, 0, 0, 0.0), 23);
  EXPECT_EQ(net.m_lNodNum, 12);
  EXPECT_EQ(net.m_lEdgeNum, 23);
  CLocalNetwork before(net);
  EXPECT_EQ(CNetworkAccess::AppendNod(net), 0);
  EXPECT_EQ(CNetworkAccess::AppendEdge(net, w, w, 1, 1, 1, 1.0), 0);
  ExpectSameNetwork(before, net);
}

TEST_F(EditTest, AppendWithoutRoomChangesNothing) {
  CLocalNetwork before(net);
  NWeightVal_stru w = DblWgt(1.0);
  EXPECT_EQ(CNetworkAccess::AppendNod(net), 0);
  EXPECT_EQ(CNetworkAccess::AppendEdge(net, w, w, 1, 1, 1, 1.0), 0);
  ExpectSameNetwork(before, net);
}

TEST_F(EditTest, NewNodeHasADoubleZeroWeightNoConnectionsAndAZeroMatrix) {
  ASSERT_EQ(CNetworkAccess::AppendElemS(net, 1, 0), 1);
  ASSERT_EQ(CNetworkAccess::AppendNod(net), 11);
  EXPECT_TRUE(SameWgt(net.m_pNodWgt[10], DblWgt(0.0)));
  EXPECT_EQ(net.m_pNodConn[10].sConnNum, 0);
  EXPECT_EQ(net.m_pNodConn[10].pConnEdge, nullptr);
  EXPECT_EQ(net.m_pNodState[10], 0);
  EXPECT_EQ(net.m_pNodDmd[10], 0.0);
  ASSERT_NE(net.m_ppTurnWgt[10], nullptr);
  EXPECT_EQ(TableEntries(net.m_ppTurnWgt[10]), 4u);
  NWeightVal_stru w;
  ASSERT_EQ(net.GetNodWgtVal(11, 0, w), 1);
  EXPECT_TRUE(SameWgt(w, DblWgt(0.0)));
  std::int32_t count = 99;
  ASSERT_EQ(net.GetNodConnEdgeNum(11, count), 1);
  EXPECT_EQ(count, 0);
}

TEST_F(EditTest, NewEdgeTakesTheFirstWeightIntoTheSecondColumn) {
  ASSERT_EQ(CNetworkAccess::AppendElemS(net, 0, 1), 1);
  NWeightVal_stru forColumn2 = FloatWgt(2.5f);
  NWeightVal_stru forColumn1 = IntWgt(-1);
  ASSERT_EQ(CNetworkAccess::AppendEdge(net, forColumn2, forColumn1, 3, 4, 5, 6.5), 21);
  EXPECT_TRUE(SameWgt(net.m_pEdgeWgt2[20], FloatWgt(2.5f)));  // type 3 stored unchanged
  EXPECT_TRUE(SameWgt(net.m_pEdgeWgt1[20], IntWgt(-1)));
  EXPECT_TRUE(SameWgt(forColumn2, FloatWgt(2.5f)));  // arguments only read
  EXPECT_EQ(net.m_pUpEdgeState[20], 3);
  EXPECT_EQ(net.m_pDownEdgeState[20], 4);
  EXPECT_EQ(net.m_pEdgeDirect[20], 5);
  EXPECT_EQ(net.m_pEdgeDmd[20], 6.5);
  EXPECT_EQ(net.m_pEdgeNod[20].lFromNod, 0);
  EXPECT_EQ(net.m_pEdgeNod[20].lToNod, 0);
  NWeightVal_stru w;
  ASSERT_EQ(net.GetEdgeWgtVal(-21, 2, w), 1);
  EXPECT_TRUE(SameWgt(w, FloatWgt(2.5f)));
  char c = 0;
  ASSERT_EQ(net.GetEdgeDirect(21, c), 1);
  EXPECT_EQ(c, 5);
}

TEST_F(EditTest, DeletingAnEdgeWritesStateTwoBothWaysAndKeepsItsEndNodes) {
  EXPECT_EQ(CNetworkAccess::DeleteEdge(net, 8), 1);  // edge 8 was blocked upward
  EXPECT_EQ(net.m_pUpEdgeState[7], 2);
  EXPECT_EQ(net.m_pDownEdgeState[7], 2);
  EXPECT_EQ(CNetworkAccess::DeleteEdge(net, 8), 1);  // again: still 1
  std::int32_t from = 0, to = 0;
  ASSERT_EQ(net.GetEdgeFromToNod(8, from, to), 1);
  EXPECT_EQ(from, 8);
  EXPECT_EQ(to, 9);
  EXPECT_EQ(CNetworkAccess::DeleteEdge(net, -3), 1);
  EXPECT_EQ(net.m_pUpEdgeState[2], 2);
  EXPECT_EQ(net.m_pDownEdgeState[2], 2);
  ExpectConsistent(net);
}

TEST_F(EditTest, DeletingAnEdgeOutOfRangeChangesNothing) {
  CLocalNetwork before(net);
  for (std::int32_t e : {0, 21, INT_MAX, INT_MIN}) EXPECT_EQ(CNetworkAccess::DeleteEdge(net, e), 0) << e;
  ExpectSameNetwork(before, net);
}

TEST_F(EditTest, NegativeRoomIsRefusedAndChangesNothing) {
  CLocalNetwork before(net);
  EXPECT_EQ(CNetworkAccess::AppendElemS(net, -1, 0), 0);
  EXPECT_EQ(CNetworkAccess::AppendElemS(net, 0, INT_MIN), 0);
  ExpectSameNetwork(before, net);
  NWeightVal_stru w;
  EXPECT_EQ(CNetworkAccess::AppendEdge(net, w, w, 0, 0, 0, 0.0), 0);
}

TEST_F(EditTest, SplittingAnEdgeAsFlagMappingDoesKeepsTheNetworkConsistent) {
  // Edge 1 (1 -> 2) becomes 21 (1 -> 11) and 22 (11 -> 2).
  ASSERT_EQ(CNetworkAccess::AppendElemS(net, 1, 2), 1);
  std::int32_t mid = CNetworkAccess::AppendNod(net);
  NWeightVal_stru w2 = net.m_pEdgeWgt2[0];
  NWeightVal_stru w1 = net.m_pEdgeWgt1[0];
  std::int32_t first = CNetworkAccess::AppendEdge(net, w2, w1, 0, 0, 0, 0.0);
  std::int32_t second = CNetworkAccess::AppendEdge(net, w2, w1, 0, 0, 0, 0.0);
  ASSERT_EQ(mid, 11);
  ASSERT_EQ(first, 21);
  ASSERT_EQ(second, 22);
  net.m_pEdgeNod[20] = {1, 11};
  net.m_pEdgeNod[21] = {11, 2};
  ASSERT_EQ(net.ReallocNodConnEdgeMemory(11, 2), 1);
  net.m_pNodConn[10].pConnEdge[0] = 21;
  net.m_pNodConn[10].pConnEdge[1] = -22;
  for (std::int16_t k = 0; k < net.m_pNodConn[0].sConnNum; ++k) {
    if (net.m_pNodConn[0].pConnEdge[k] == -1) net.m_pNodConn[0].pConnEdge[k] = -21;
  }
  for (std::int16_t k = 0; k < net.m_pNodConn[1].sConnNum; ++k) {
    if (net.m_pNodConn[1].pConnEdge[k] == 1) net.m_pNodConn[1].pConnEdge[k] = 22;
  }
  ASSERT_EQ(CNetworkAccess::DeleteEdge(net, 1), 1);
  ExpectConsistent(net);
  CSmartArray<std::int32_t> list;
  ASSERT_EQ(net.GetNodConnEdgeS(11, list), 1);
  EXPECT_EQ(Elems(list), (std::vector<std::int32_t>{21, 22}));
  CLocalNetwork copy(net);  // a grown network copies and releases cleanly
  ExpectSameNetwork(net, copy);
}

TEST(EditSettingsTest, AppendsSkipTheTablesTheNetworkDoesNotHave) {
  CLocalNetwork net;
  ASSERT_NO_FATAL_FAILURE(TwentyEdges(false).Fill(net));
  ASSERT_EQ(CNetworkAccess::AppendElemS(net, 1, 1), 1);
  EXPECT_EQ(net.m_pNodWgt, nullptr);
  EXPECT_EQ(net.m_pEdgeWgt1, nullptr);
  EXPECT_EQ(net.m_ppTurnWgt, nullptr);
  EXPECT_EQ(net.m_pEdgeDirect, nullptr);
  EXPECT_EQ(net.m_pNodDmd, nullptr);
  NWeightVal_stru w = DblWgt(1.0);
  EXPECT_EQ(CNetworkAccess::AppendNod(net), 11);
  EXPECT_EQ(CNetworkAccess::AppendEdge(net, w, w, 1, 0, 7, 9.0), 21);
  EXPECT_EQ(net.m_pUpEdgeState[20], 1);
  char c = 0;
  EXPECT_EQ(net.GetEdgeDirect(21, c), 0);
  double d = 0.0;
  EXPECT_EQ(net.GetEdgeDmdVal(21, d), 0);
}

TEST(EditSettingsTest, RoomOnAnEmptyNetwork) {
  CLocalNetwork net;
  ASSERT_NO_FATAL_FAILURE(NetworkBuilder().Nodes(0).TurnWgt().DmdFld(0).Fill(net));
  ASSERT_EQ(CNetworkAccess::AppendElemS(net, 2, 1), 1);
  EXPECT_EQ(CNetworkAccess::AppendNod(net), 1);
  EXPECT_EQ(CNetworkAccess::AppendNod(net), 2);
  NWeightVal_stru w;
  EXPECT_EQ(CNetworkAccess::AppendEdge(net, w, w, 0, 0, 0, 4.0), 1);
  double d = 0.0;
  ASSERT_EQ(net.GetEdgeDmdVal(1, d), 1);
  EXPECT_EQ(d, 4.0);
}
