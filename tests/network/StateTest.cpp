// Node and edge states and the edge direction: an edge is named with either
// sign, a node never negated; a refused call writes nothing.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include "kelvane/LocalNetwork.h"
#include "support/ReferenceBuilder.h"

namespace {

constexpr char kUntouched = 42;

}  // namespace

class StateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(NetworkBuilder()
                                .Ring(3)
                                .DirectMode(1)
                                .NodState(2, 7)
                                .EdgeState(2, 3, 4)
                                .Direct(3, 9)
                                .Fill(net));
  }
  CLocalNetwork net;  // 3 nodes, 3 edges, every state distinct
};

TEST_F(StateTest, NodeStateReadsAndWritesAnyByte) {
  char c = kUntouched;
  ASSERT_EQ(net.GetNodState(2, c), 1);
  EXPECT_EQ(c, 7);
  for (char v : {static_cast<char>(1), static_cast<char>(-128), static_cast<char>(127), static_cast<char>(0)}) {
    ASSERT_EQ(net.SetNodState(3, v), 1);
    EXPECT_EQ(net.m_pNodState[2], v);
    ASSERT_EQ(net.GetNodState(3, c), 1);
    EXPECT_EQ(c, v);
  }
}

TEST_F(StateTest, NodeOutOfRangeIsRefusedAndNothingIsWritten) {
  for (std::int32_t n : {0, -1, -2, 4, INT_MAX, INT_MIN}) {
    char c = kUntouched;
    EXPECT_EQ(net.GetNodState(n, c), 0) << n;
    EXPECT_EQ(c, kUntouched);
    EXPECT_EQ(net.SetNodState(n, 1), 0) << n;
  }
  EXPECT_EQ(net.m_pNodState[0], 0);
  EXPECT_EQ(net.m_pNodState[1], 7);
  EXPECT_EQ(net.m_pNodState[2], 0);
}

TEST_F(StateTest, NegativeEdgeNumberNamesTheSameStatesAndDirection) {
  char c = kUntouched;
  ASSERT_EQ(net.GetUpEdgeState(-2, c), 1);
  EXPECT_EQ(c, 3);
  ASSERT_EQ(net.GetDownEdgeState(-2, c), 1);
  EXPECT_EQ(c, 4);
  ASSERT_EQ(net.GetEdgeDirect(-3, c), 1);
  EXPECT_EQ(c, 9);
  ASSERT_EQ(net.SetUpEdgeState(-1, 5), 1);
  ASSERT_EQ(net.SetDownEdgeState(-1, 6), 1);
  ASSERT_EQ(net.SetEdgeDirect(-1, -7), 1);
  EXPECT_EQ(net.m_pUpEdgeState[0], 5);
  EXPECT_EQ(net.m_pDownEdgeState[0], 6);
  EXPECT_EQ(net.m_pEdgeDirect[0], -7);
  ASSERT_EQ(net.GetUpEdgeState(1, c), 1);
  EXPECT_EQ(c, 5);
  ASSERT_EQ(net.GetDownEdgeState(1, c), 1);
  EXPECT_EQ(c, 6);
  ASSERT_EQ(net.GetEdgeDirect(1, c), 1);
  EXPECT_EQ(c, -7);
}

TEST_F(StateTest, UpAndDownStatesAreSeparateBytes) {
  ASSERT_EQ(net.SetUpEdgeState(3, 1), 1);
  char c = kUntouched;
  ASSERT_EQ(net.GetDownEdgeState(3, c), 1);
  EXPECT_EQ(c, 0);
  ASSERT_EQ(net.SetDownEdgeState(1, 2), 1);
  ASSERT_EQ(net.GetUpEdgeState(1, c), 1);
  EXPECT_EQ(c, 0);
}

TEST_F(StateTest, EdgeOutOfRangeIsRefusedByEveryAccessorAndNothingIsWritten) {
  for (std::int32_t e : {0, 4, -4, INT_MAX, INT_MIN, INT_MIN + 1}) {
    char c = kUntouched;
    EXPECT_EQ(net.GetUpEdgeState(e, c), 0) << e;
    EXPECT_EQ(net.GetDownEdgeState(e, c), 0) << e;
    EXPECT_EQ(net.GetEdgeDirect(e, c), 0) << e;
    EXPECT_EQ(c, kUntouched) << e;
    EXPECT_EQ(net.SetUpEdgeState(e, 1), 0) << e;
    EXPECT_EQ(net.SetDownEdgeState(e, 1), 0) << e;
    EXPECT_EQ(net.SetEdgeDirect(e, 1), 0) << e;
  }
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(net.m_pUpEdgeState[i], i == 1 ? 3 : 0);
    EXPECT_EQ(net.m_pDownEdgeState[i], i == 1 ? 4 : 0);
    EXPECT_EQ(net.m_pEdgeDirect[i], i == 2 ? 9 : 0);
  }
}

TEST(StateDirectionTest, DirectionIsRefusedWithoutADirectionTable) {
  CLocalNetwork net;
  ASSERT_NO_FATAL_FAILURE(NetworkBuilder().Nodes(2).Edge(1, 2).DirectMode(0).Fill(net));
  char c = kUntouched;
  EXPECT_EQ(net.GetEdgeDirect(1, c), 0);
  EXPECT_EQ(c, kUntouched);
  EXPECT_EQ(net.SetEdgeDirect(1, 1), 0);
  EXPECT_EQ(net.SetEdgeDirect(-1, 1), 0);
}

TEST(StateDirectionTest, DirectionModeTwoWorksAsModeOne) {
  CLocalNetwork net;
  ASSERT_NO_FATAL_FAILURE(NetworkBuilder().Nodes(2).Edge(1, 2).Edge(2, 1).DirectMode(2).Fill(net));
  ASSERT_EQ(net.SetEdgeDirect(2, 3), 1);
  char c = kUntouched;
  ASSERT_EQ(net.GetEdgeDirect(-2, c), 1);
  EXPECT_EQ(c, 3);
}

TEST(StateRobustnessTest, CountsRaisedByTheHostBeyondTheTablesAreRefused) {
  CLocalNetwork net;
  ASSERT_NO_FATAL_FAILURE(NetworkBuilder().Nodes(2).Edge(1, 2).DirectMode(1).Fill(net));
  net.m_lNodNum = 50;  // nothing beyond the tables may be read or written
  net.m_lEdgeNum = 50;
  char c = kUntouched;
  EXPECT_EQ(net.GetNodState(30, c), 0);
  EXPECT_EQ(net.SetNodState(30, 1), 0);
  EXPECT_EQ(net.GetUpEdgeState(-30, c), 0);
  EXPECT_EQ(net.SetDownEdgeState(30, 1), 0);
  EXPECT_EQ(net.GetEdgeDirect(30, c), 0);
  EXPECT_EQ(net.SetEdgeDirect(30, 1), 0);
  EXPECT_EQ(c, kUntouched);
  EXPECT_EQ(net.GetNodState(2, c), 1);  // elements inside the tables still answer
  net.m_lNodNum = 2;
  net.m_lEdgeNum = 1;
}

TEST(StateRobustnessTest, UnsizedNetworkRefusesEveryAccessor) {
  CLocalNetwork net;
  net.m_lNodNum = 5;  // counts written, ReallocMemory not called yet
  net.m_lEdgeNum = 5;
  net.m_cEdgeDirectMode = 1;
  char c = kUntouched;
  EXPECT_EQ(net.GetNodState(1, c), 0);
  EXPECT_EQ(net.SetNodState(1, 1), 0);
  EXPECT_EQ(net.GetUpEdgeState(1, c), 0);
  EXPECT_EQ(net.GetDownEdgeState(1, c), 0);
  EXPECT_EQ(net.SetUpEdgeState(1, 1), 0);
  EXPECT_EQ(net.GetEdgeDirect(1, c), 0);
  EXPECT_EQ(c, kUntouched);
}

TEST(StateRobustnessTest, DirectionModeTurnedOnAfterAllocationFindsNoTable) {
  CLocalNetwork net;
  ASSERT_NO_FATAL_FAILURE(NetworkBuilder().Nodes(2).Edge(1, 2).DirectMode(0).Fill(net));
  net.m_cEdgeDirectMode = 1;  // the table was never made
  char c = kUntouched;
  EXPECT_EQ(net.GetEdgeDirect(1, c), 0);
  EXPECT_EQ(net.SetEdgeDirect(1, 1), 0);
  EXPECT_EQ(c, kUntouched);
  net.m_cEdgeDirectMode = 0;
}
