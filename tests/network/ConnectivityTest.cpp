// Connectivity queries whose results are the same in both builds: blocked and
// deleted edges, sign rules, refused calls, and connection lists that break
// the rules (entries out of range, counts without lists).
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "support/ConnectivityNetwork.h"
#include "support/ReferenceBuilder.h"
#include "support/ReferenceCheck.h"

using Ints = std::vector<std::int32_t>;

class ConnectivityTest : public ::testing::Test {
 protected:
  // ConnectivityNetwork(): node 2's list is 1, -2, 3, -4, 5, 6, -6, 7; edge 3
  // blocked upward, 4 both ways, 5 downward, 6 a loop at 2, 7 deleted.
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(ConnectivityNetwork().Fill(net));
    ASSERT_NO_FATAL_FAILURE(ExpectConsistent(net));
  }

  static CSmartArray<std::int32_t> Prefilled() {
    CSmartArray<std::int32_t> list;
    list.Add(-100);
    list.Add(-200);
    return list;
  }

  CLocalNetwork net;
};

TEST_F(ConnectivityTest, EndNodesOfAnEdgeGivenWithEitherSign) {
  std::int32_t from = -1, to = -1;
  ASSERT_EQ(net.GetEdgeFromToNod(2, from, to), 1);
  EXPECT_EQ(from, 2);
  EXPECT_EQ(to, 3);
  from = to = -1;
  ASSERT_EQ(net.GetEdgeFromToNod(-2, from, to), 1);
  EXPECT_EQ(from, 2);
  EXPECT_EQ(to, 3);
}

TEST_F(ConnectivityTest, EdgeBlockedInOneDirectionOrDeletedStillHasEndNodes) {
  std::int32_t from = -1, to = -1;
  ASSERT_EQ(net.GetEdgeFromToNod(3, from, to), 1);
  EXPECT_EQ(from, 3);
  EXPECT_EQ(to, 2);
  ASSERT_EQ(net.GetEdgeFromToNod(5, from, to), 1);
  EXPECT_EQ(from, 4);
  ASSERT_EQ(net.GetEdgeFromToNod(-7, from, to), 1);
  EXPECT_EQ(from, 5);
  EXPECT_EQ(to, 2);
}

TEST_F(ConnectivityTest, FullyBlockedEdgeGivesZeroEndNodes) {
  std::int32_t from = -1, to = -1;
  net.GetEdgeFromToNod(-4, from, to);
  EXPECT_EQ(from, 0);
  EXPECT_EQ(to, 0);
}

TEST_F(ConnectivityTest, EdgeOutOfRangeLeavesTheEndNodesUntouched) {
  for (std::int32_t e : {0, 8, -8, INT_MAX, INT_MIN}) {
    std::int32_t from = -1, to = -1;
    EXPECT_EQ(net.GetEdgeFromToNod(e, from, to), 0) << e;
    EXPECT_EQ(from, -1);
    EXPECT_EQ(to, -1);
  }
}

TEST_F(ConnectivityTest, CountTakesEveryEntryOpenUpwardAndIgnoresTheDownState) {
  std::int32_t count = 99;
  ASSERT_EQ(net.GetNodConnEdgeNum(2, count), 1);
  EXPECT_EQ(count, 6);  // 1, -2, 5, 6, -6, 7: not 3 (up blocked) nor -4
}

TEST_F(ConnectivityTest, CountOfANodeWithoutConnectionsIsZero) {
  std::int32_t count = 99;
  ASSERT_EQ(net.GetNodConnEdgeNum(6, count), 1);
  EXPECT_EQ(count, 0);
  CSmartArray<std::int32_t> list = Prefilled();
  ASSERT_EQ(net.GetNodConnEdgeS(6, list), 1);
  EXPECT_EQ(list.GetSize(), 0);
  list = Prefilled();
  ASSERT_EQ(net.GetNodConnUpEdgeS(6, list), 1);
  EXPECT_EQ(list.GetSize(), 0);
  list = Prefilled();
  ASSERT_EQ(net.GetNodConnDownEdgeS(6, list), 1);
  EXPECT_EQ(list.GetSize(), 0);
}

TEST_F(ConnectivityTest, EdgeListLeavesOutOnlyFullyBlockedEdgesAsPositiveNumbers) {
  CSmartArray<std::int32_t> list = Prefilled();
  ASSERT_EQ(net.GetNodConnEdgeS(2, list), 1);
  EXPECT_EQ(Elems(list), (Ints{1, 2, 3, 5, 6, 6, 7}));
  ASSERT_EQ(net.GetNodConnEdgeS(1, list), 1);
  EXPECT_EQ(Elems(list), (Ints{1}));
}

TEST_F(ConnectivityTest, NodeOutOfRangeLeavesEveryOutputUntouched) {
  for (std::int32_t n : {0, -1, -2, 7, INT_MAX, INT_MIN}) {
    std::int32_t count = 99;
    EXPECT_EQ(net.GetNodConnEdgeNum(n, count), 0) << n;
    EXPECT_EQ(count, 99);
    CSmartArray<std::int32_t> list = Prefilled();
    EXPECT_EQ(net.GetNodConnEdgeS(n, list), 0);
    EXPECT_EQ(Elems(list), (Ints{-100, -200}));
    EXPECT_EQ(net.GetNodConnUpEdgeS(n, list), 0);
    EXPECT_EQ(Elems(list), (Ints{-100, -200}));
    EXPECT_EQ(net.GetNodConnDownEdgeS(n, list), 0);
    EXPECT_EQ(Elems(list), (Ints{-100, -200}));
  }
}

TEST_F(ConnectivityTest, BlockedNodeGivesCountZeroAndEmptyLists) {
  ASSERT_EQ(net.SetNodState(2, 1), 1);
  std::int32_t count = 99;
  net.GetNodConnEdgeNum(2, count);
  EXPECT_EQ(count, 0);
  CSmartArray<std::int32_t> list = Prefilled();
  net.GetNodConnEdgeS(2, list);
  EXPECT_EQ(list.GetSize(), 0);
  list = Prefilled();
  net.GetNodConnUpEdgeS(2, list);
  EXPECT_EQ(list.GetSize(), 0);
  list = Prefilled();
  net.GetNodConnDownEdgeS(2, list);
  EXPECT_EQ(list.GetSize(), 0);
  ASSERT_EQ(net.GetNodConnEdgeS(1, list), 1);  // its edges still show at their other ends
  EXPECT_EQ(Elems(list), (Ints{1}));
}

TEST_F(ConnectivityTest, NodeStatesOtherThanOneCountAsOpen) {
  ASSERT_EQ(net.SetNodState(2, 2), 1);
  ASSERT_EQ(net.SetNodState(1, -1), 1);
  std::int32_t count = 0;
  ASSERT_EQ(net.GetNodConnEdgeNum(2, count), 1);
  EXPECT_EQ(count, 6);
  CSmartArray<std::int32_t> list;
  ASSERT_EQ(net.GetNodConnEdgeS(1, list), 1);
  EXPECT_EQ(Elems(list), (Ints{1}));
}

TEST_F(ConnectivityTest, QueriesLeaveTheNetworkAsItWas) {
  CLocalNetwork before(net);
  std::int32_t count = 0, from = 0, to = 0;
  CSmartArray<std::int32_t> list;
  for (std::int32_t v = 1; v <= 6; ++v) {
    net.GetNodConnEdgeNum(v, count);
    net.GetNodConnEdgeS(v, list);
    net.GetNodConnUpEdgeS(v, list);
    net.GetNodConnDownEdgeS(v, list);
  }
  for (std::int32_t e = -7; e <= 7; ++e) net.GetEdgeFromToNod(e, from, to);
  ExpectSameNetwork(before, net);
}

// --- Connection lists that break the rules: nothing outside a table is read.

class ConnectivityRobustnessTest : public ::testing::Test {
 protected:
  // Node n counts no connections and its three lists come back empty, a stale
  // entry in the caller's list dropped.
  void ExpectNoConnections(std::int32_t n) {
    std::int32_t count = 99;
    ASSERT_EQ(net.GetNodConnEdgeNum(n, count), 1);
    EXPECT_EQ(count, 0);
    CSmartArray<std::int32_t> list;
    list.Add(5);
    ASSERT_EQ(net.GetNodConnEdgeS(n, list), 1);
    EXPECT_EQ(list.GetSize(), 0);
    ASSERT_EQ(net.GetNodConnUpEdgeS(n, list), 1);
    EXPECT_EQ(list.GetSize(), 0);
    ASSERT_EQ(net.GetNodConnDownEdgeS(n, list), 1);
    EXPECT_EQ(list.GetSize(), 0);
  }
  CLocalNetwork net;
};

TEST_F(ConnectivityRobustnessTest, EntriesZeroOrBeyondTheEdgeCountArePassedOver) {
  ASSERT_NO_FATAL_FAILURE(NetworkBuilder()
                              .Nodes(2)
                              .Edge(1, 2)
                              .Conn(2, {0, 1, 2, -2, INT_MIN, INT_MAX, -1, 0})
                              .Fill(net));
  std::int32_t count = 99;
  ASSERT_EQ(net.GetNodConnEdgeNum(2, count), 1);
  EXPECT_EQ(count, 2);
  CSmartArray<std::int32_t> list;
  ASSERT_EQ(net.GetNodConnEdgeS(2, list), 1);
  EXPECT_EQ(Elems(list), (Ints{1, 1}));
  ASSERT_EQ(net.GetNodConnUpEdgeS(2, list), 1);
  for (std::int32_t i = 0; i < list.GetSize(); ++i) EXPECT_TRUE(list.GetAt(i) == 1 || list.GetAt(i) == -1);
  ASSERT_EQ(net.GetNodConnDownEdgeS(2, list), 1);
  for (std::int32_t i = 0; i < list.GetSize(); ++i) EXPECT_TRUE(list.GetAt(i) == 1 || list.GetAt(i) == -1);
}

TEST_F(ConnectivityRobustnessTest, UnfilledListSlotsAreZeroAndPassedOver) {
  ASSERT_NO_FATAL_FAILURE(NetworkBuilder().Nodes(2).Edge(1, 2).Fill(net));
  ASSERT_EQ(net.ReallocNodConnEdgeMemory(2, 3), 1);  // three slots, never written
  ExpectNoConnections(2);
}

TEST_F(ConnectivityRobustnessTest, PositiveCountWithoutAListMeansNoConnections) {
  NetworkBuilder().Nodes(2).Edge(1, 2).Size(net);
  ASSERT_EQ(net.ReallocMemory(), 1);
  net.m_pEdgeNod[0].lFromNod = 1;
  net.m_pEdgeNod[0].lToNod = 2;
  net.m_pNodConn[1].sConnNum = 4;  // the host wrote a count but gave no list
  ExpectNoConnections(2);
}

TEST_F(ConnectivityRobustnessTest, CountLargerThanTheListReadsOnlyTheList) {
  ASSERT_NO_FATAL_FAILURE(NetworkBuilder().Nodes(2).Edge(1, 2).Edge(2, 1).Fill(net));
  net.m_pNodConn[1].sConnNum = 300;  // the list holds 2 entries: 1, -2
  std::int32_t count = 99;
  ASSERT_EQ(net.GetNodConnEdgeNum(2, count), 1);
  EXPECT_EQ(count, 2);
  CSmartArray<std::int32_t> list;
  ASSERT_EQ(net.GetNodConnEdgeS(2, list), 1);
  EXPECT_EQ(Elems(list), (Ints{1, 2}));
  net.GetNodConnUpEdgeS(2, list);
  net.GetNodConnDownEdgeS(2, list);
  net.m_pNodConn[1].sConnNum = 2;
}

TEST_F(ConnectivityRobustnessTest, CountsRaisedByTheHostBeyondTheTablesAreRefused) {
  ASSERT_NO_FATAL_FAILURE(NetworkBuilder().Nodes(2).Edge(1, 2).Fill(net));
  net.m_lNodNum = 40;
  net.m_lEdgeNum = 40;
  std::int32_t count = 99, from = -1, to = -1;
  EXPECT_EQ(net.GetNodConnEdgeNum(20, count), 0);
  EXPECT_EQ(count, 99);
  CSmartArray<std::int32_t> list;
  list.Add(5);
  EXPECT_EQ(net.GetNodConnEdgeS(20, list), 0);
  EXPECT_EQ(net.GetNodConnUpEdgeS(20, list), 0);
  EXPECT_EQ(net.GetNodConnDownEdgeS(20, list), 0);
  EXPECT_EQ(Elems(list), (Ints{5}));
  EXPECT_EQ(net.GetEdgeFromToNod(20, from, to), 0);
  EXPECT_EQ(from, -1);
  ASSERT_EQ(net.GetNodConnEdgeS(2, list), 1);
  EXPECT_EQ(Elems(list), (Ints{1}));
}

TEST_F(ConnectivityRobustnessTest, UnsizedNetworkRefusesEveryQuery) {
  net.m_lNodNum = 3;
  net.m_lEdgeNum = 3;
  std::int32_t count = 99, from = -1, to = -1;
  CSmartArray<std::int32_t> list;
  list.Add(5);
  EXPECT_EQ(net.GetNodConnEdgeNum(1, count), 0);
  EXPECT_EQ(net.GetNodConnEdgeS(1, list), 0);
  EXPECT_EQ(net.GetNodConnUpEdgeS(1, list), 0);
  EXPECT_EQ(net.GetNodConnDownEdgeS(1, list), 0);
  EXPECT_EQ(net.GetEdgeFromToNod(1, from, to), 0);
  EXPECT_EQ(count, 99);
  EXPECT_EQ(Elems(list), (Ints{5}));
  EXPECT_EQ(from, -1);
}

TEST_F(ConnectivityRobustnessTest, LargestConnectionCountIsWalkedWhole) {
  ASSERT_NO_FATAL_FAILURE(NetworkBuilder().Nodes(2).Edge(1, 2).Fill(net));
  ASSERT_EQ(net.ReallocNodConnEdgeMemory(2, 32767), 1);
  for (std::int32_t k = 0; k < 32767; ++k) net.m_pNodConn[1].pConnEdge[k] = 1;
  std::int32_t count = 0;
  ASSERT_EQ(net.GetNodConnEdgeNum(2, count), 1);
  EXPECT_EQ(count, 32767);
  CSmartArray<std::int32_t> list;
  ASSERT_EQ(net.GetNodConnEdgeS(2, list), 1);
  ASSERT_EQ(list.GetSize(), 32767);
  EXPECT_EQ(list.GetAt(32766), 1);
}
