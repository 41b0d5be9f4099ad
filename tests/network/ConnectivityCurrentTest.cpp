// Connectivity in the current build: blocked elements fail the query and are
// handed to the recorders; up and down lists are chosen by the edge's nodes.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "support/ConnectivityNetwork.h"
#include "support/ReferenceBuilder.h"

using Ints = std::vector<std::int32_t>;

namespace {

Ints Recorded(const CMyTrace& trace) {
  CSmartArray<std::int32_t> elems;
  trace.FetchTraceResult(elems);
  return Elems(elems);
}

}  // namespace

class ConnectivityCurrentTest : public ::testing::Test {
 protected:
  // ConnectivityNetwork(): node 2's list is 1, -2, 3, -4, 5, 6, -6, 7; edge 3
  // blocked upward, 4 both ways, 5 downward, 6 a loop at 2, 7 deleted.
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(ConnectivityNetwork().Fill(net));
  }
  Ints Nods() const { return Recorded(net.m_BlockedNod); }
  Ints Edges() const { return Recorded(net.m_BlockedEdge); }
  CLocalNetwork net;
};

TEST_F(ConnectivityCurrentTest, FullyBlockedEdgeFailsAndIsRecorded) {
  std::int32_t from = -1, to = -1;
  EXPECT_EQ(net.GetEdgeFromToNod(-4, from, to), 0);
  EXPECT_EQ(from, 0);
  EXPECT_EQ(to, 0);
  EXPECT_EQ(Edges(), (Ints{4}));
  EXPECT_TRUE(Nods().empty());
}

TEST_F(ConnectivityCurrentTest, OpenOrHalfBlockedEdgeRecordsNothing) {
  std::int32_t from = 0, to = 0;
  for (std::int32_t e : {1, 3, 5, 7, -3}) ASSERT_EQ(net.GetEdgeFromToNod(e, from, to), 1) << e;
  EXPECT_TRUE(Edges().empty());
}

TEST_F(ConnectivityCurrentTest, OutOfRangeRecordsNothing) {
  std::int32_t from = 0, to = 0, count = 0;
  CSmartArray<std::int32_t> list;
  net.GetEdgeFromToNod(INT_MIN, from, to);
  net.GetEdgeFromToNod(8, from, to);
  net.GetNodConnEdgeNum(0, count);
  net.GetNodConnEdgeS(7, list);
  EXPECT_TRUE(Edges().empty());
  EXPECT_TRUE(Nods().empty());
}

TEST_F(ConnectivityCurrentTest, CountRecordsEdgesBlockedUpwardOnly) {
  std::int32_t count = 0;
  ASSERT_EQ(net.GetNodConnEdgeNum(2, count), 1);
  EXPECT_EQ(count, 6);
  EXPECT_EQ(Edges(), (Ints{3, 4}));  // 5 is blocked downward only: not looked at
}

TEST_F(ConnectivityCurrentTest, EdgeListRecordsFullyBlockedEdges) {
  CSmartArray<std::int32_t> list;
  ASSERT_EQ(net.GetNodConnEdgeS(2, list), 1);
  EXPECT_EQ(Edges(), (Ints{4}));
}

TEST_F(ConnectivityCurrentTest, UpListHoldsOpenEdgesEndingHereWithTheirStoredSign) {
  CSmartArray<std::int32_t> list;
  list.Add(-9);
  ASSERT_EQ(net.GetNodConnUpEdgeS(2, list), 1);
  EXPECT_EQ(Elems(list), (Ints{1, 5, 6, -6, 7}));
  EXPECT_EQ(Edges(), (Ints{3, 4}));  // blocked upward, whichever end they have here
}

TEST_F(ConnectivityCurrentTest, DownListHoldsOpenEdgesStartingHereWithTheirStoredSign) {
  CSmartArray<std::int32_t> list;
  ASSERT_EQ(net.GetNodConnDownEdgeS(2, list), 1);
  EXPECT_EQ(Elems(list), (Ints{-2, 6, -6}));
  EXPECT_EQ(Edges(), (Ints{4, 5}));
}

TEST_F(ConnectivityCurrentTest, SelectionFollowsTheEdgesNodesNotTheEntrysSign) {
  // Node 3's entries with their signs swapped: -2 for edge 2 ending at 3, +3 for
  // edge 3 starting at 3. Unblock edge 3 upward.
  net.m_pNodConn[2].pConnEdge[0] = -2;
  net.m_pNodConn[2].pConnEdge[1] = 3;
  ASSERT_EQ(net.SetUpEdgeState(3, 0), 1);
  CSmartArray<std::int32_t> list;
  ASSERT_EQ(net.GetNodConnUpEdgeS(3, list), 1);
  EXPECT_EQ(Elems(list), (Ints{-2}));
  ASSERT_EQ(net.GetNodConnDownEdgeS(3, list), 1);
  EXPECT_EQ(Elems(list), (Ints{3}));
  ASSERT_EQ(net.GetNodConnEdgeS(3, list), 1);
  EXPECT_EQ(Elems(list), (Ints{2, 3}));
}

TEST_F(ConnectivityCurrentTest, BlockedNodeFailsEveryQueryAndIsRecordedAlone) {
  ASSERT_EQ(net.SetNodState(4, 1), 1);
  std::int32_t count = 99;
  EXPECT_EQ(net.GetNodConnEdgeNum(4, count), 0);
  EXPECT_EQ(count, 0);
  CSmartArray<std::int32_t> list;
  list.Add(1);
  EXPECT_EQ(net.GetNodConnEdgeS(4, list), 0);
  EXPECT_EQ(list.GetSize(), 0);
  list.Add(1);
  EXPECT_EQ(net.GetNodConnUpEdgeS(4, list), 0);
  EXPECT_EQ(list.GetSize(), 0);
  list.Add(1);
  EXPECT_EQ(net.GetNodConnDownEdgeS(4, list), 0);
  EXPECT_EQ(list.GetSize(), 0);
  EXPECT_EQ(Nods(), (Ints{4}));
  EXPECT_TRUE(Edges().empty());  // its blocked edge 4 is never reached
}

TEST_F(ConnectivityCurrentTest, EachListQueryAloneRecordsABlockedNode) {
  using ListQuery = std::int32_t (CLocalNetwork::*)(std::int32_t, CSmartArray<std::int32_t>&);
  for (ListQuery query : {&CLocalNetwork::GetNodConnEdgeS, &CLocalNetwork::GetNodConnUpEdgeS,
                          &CLocalNetwork::GetNodConnDownEdgeS}) {
    CLocalNetwork blocked;
    ASSERT_NO_FATAL_FAILURE(ConnectivityNetwork().Fill(blocked));
    ASSERT_EQ(blocked.SetNodState(2, 1), 1);
    CSmartArray<std::int32_t> list;
    EXPECT_EQ((blocked.*query)(2, list), 0);
    EXPECT_EQ(Recorded(blocked.m_BlockedNod), (Ints{2}));
  }
}

TEST_F(ConnectivityCurrentTest, RecordersAccumulateOverQueries) {
  std::int32_t count = 0, from = 0, to = 0;
  CSmartArray<std::int32_t> list;
  ASSERT_EQ(net.SetNodState(6, 1), 1);
  net.GetNodConnEdgeNum(6, count);
  net.GetNodConnDownEdgeS(2, list);
  net.GetEdgeFromToNod(4, from, to);
  net.GetNodConnUpEdgeS(2, list);
  EXPECT_EQ(Nods(), (Ints{6}));
  EXPECT_EQ(Edges(), (Ints{3, 4, 5}));
}

TEST_F(ConnectivityCurrentTest, BadEntriesNeverReachTheRecorder) {
  ASSERT_EQ(net.ReallocNodConnEdgeMemory(6, 4), 1);
  net.m_pNodConn[5].pConnEdge[0] = 0;
  net.m_pNodConn[5].pConnEdge[1] = 8;
  net.m_pNodConn[5].pConnEdge[2] = INT_MIN;
  net.m_pNodConn[5].pConnEdge[3] = -4;
  std::int32_t count = 0;
  CSmartArray<std::int32_t> list;
  ASSERT_EQ(net.GetNodConnEdgeNum(6, count), 1);
  EXPECT_EQ(count, 0);
  ASSERT_EQ(net.GetNodConnUpEdgeS(6, list), 1);
  ASSERT_EQ(net.GetNodConnDownEdgeS(6, list), 1);
  ASSERT_EQ(net.GetNodConnEdgeS(6, list), 1);
  EXPECT_EQ(list.GetSize(), 0);
  EXPECT_EQ(Edges(), (Ints{4}));
}
