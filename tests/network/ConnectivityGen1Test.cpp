// Connectivity in the first generation: blocked elements are left out without
// failing, and up and down lists are chosen by the sign of the entry.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "support/ConnectivityNetwork.h"
#include "support/ReferenceBuilder.h"

using Ints = std::vector<std::int32_t>;

class ConnectivityGen1Test : public ::testing::Test {
 protected:
  // ConnectivityNetwork(): node 2's list is 1, -2, 3, -4, 5, 6, -6, 7; edge 3
  // blocked upward, 4 both ways, 5 downward, 6 a loop at 2, 7 deleted.
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(ConnectivityNetwork().Fill(net));
  }
  CLocalNetwork net;
};

TEST_F(ConnectivityGen1Test, FullyBlockedEdgeSucceedsWithZeroEndNodes) {
  std::int32_t from = -1, to = -1;
  EXPECT_EQ(net.GetEdgeFromToNod(-4, from, to), 1);
  EXPECT_EQ(from, 0);
  EXPECT_EQ(to, 0);
}

TEST_F(ConnectivityGen1Test, BlockedNodeSucceedsWithCountZeroAndEmptyLists) {
  ASSERT_EQ(net.SetNodState(2, 1), 1);
  std::int32_t count = 99;
  EXPECT_EQ(net.GetNodConnEdgeNum(2, count), 1);
  EXPECT_EQ(count, 0);
  CSmartArray<std::int32_t> list;
  list.Add(1);
  EXPECT_EQ(net.GetNodConnEdgeS(2, list), 1);
  EXPECT_EQ(list.GetSize(), 0);
  list.Add(1);
  EXPECT_EQ(net.GetNodConnUpEdgeS(2, list), 1);
  EXPECT_EQ(list.GetSize(), 0);
  list.Add(1);
  EXPECT_EQ(net.GetNodConnDownEdgeS(2, list), 1);
  EXPECT_EQ(list.GetSize(), 0);
}

TEST_F(ConnectivityGen1Test, UpListHoldsNegativeEntriesOpenUpward) {
  CSmartArray<std::int32_t> list;
  ASSERT_EQ(net.GetNodConnUpEdgeS(2, list), 1);
  EXPECT_EQ(Elems(list), (Ints{-2, -6}));  // -4 is blocked upward
}

TEST_F(ConnectivityGen1Test, DownListHoldsPositiveEntriesOpenDownward) {
  CSmartArray<std::int32_t> list;
  ASSERT_EQ(net.GetNodConnDownEdgeS(2, list), 1);
  EXPECT_EQ(Elems(list), (Ints{1, 3, 6, 7}));  // 5 is blocked downward
}

TEST_F(ConnectivityGen1Test, UpAndDownListsNeverReadTheEndNodes) {
  for (std::int32_t e = 0; e < 7; ++e) {
    net.m_pEdgeNod[e].lFromNod = 1000;  // nonsense end nodes change nothing
    net.m_pEdgeNod[e].lToNod = -1000;
  }
  CSmartArray<std::int32_t> list;
  ASSERT_EQ(net.GetNodConnUpEdgeS(2, list), 1);
  EXPECT_EQ(Elems(list), (Ints{-2, -6}));
  ASSERT_EQ(net.GetNodConnDownEdgeS(2, list), 1);
  EXPECT_EQ(Elems(list), (Ints{1, 3, 6, 7}));
}

TEST_F(ConnectivityGen1Test, BadEntriesArePassedOverInSignedLists) {
  ASSERT_EQ(net.ReallocNodConnEdgeMemory(6, 5), 1);
  const std::int32_t entries[5] = {0, 8, -8, -2147483647 - 1, -1};
  for (int k = 0; k < 5; ++k) net.m_pNodConn[5].pConnEdge[k] = entries[k];
  CSmartArray<std::int32_t> list;
  ASSERT_EQ(net.GetNodConnUpEdgeS(6, list), 1);
  EXPECT_EQ(Elems(list), (Ints{-1}));
  ASSERT_EQ(net.GetNodConnDownEdgeS(6, list), 1);
  EXPECT_EQ(list.GetSize(), 0);
}
