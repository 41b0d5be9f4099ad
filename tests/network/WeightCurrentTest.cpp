// Extra edge-weight columns of the current build: lookup order and the
// columns whose table is missing.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include "kelvane/LocalNetwork.h"
#include "support/ReferenceBuilder.h"

class WeightCurrentTest : public ::testing::Test {
 protected:
  // Fixed columns 10 and 20; extra columns 30, 10, -1, 30, 40 at positions 0 to 4.
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(NetworkBuilder()
                                .Nodes(2)
                                .Edge(1, 2)
                                .Edge(2, 1)
                                .EdgeWgtFld1(10)
                                .EdgeWgtFld2(20)
                                .ExtFld(30)
                                .ExtFld(10)
                                .ExtFld(-1)
                                .ExtFld(30)
                                .ExtFld(40)
                                .EdgeWgt1(2, DblWgt(1.0))
                                .EdgeWgt2(2, DblWgt(2.0))
                                .ExtWgt(0, 2, DblWgt(30.0))
                                .ExtWgt(1, 2, DblWgt(10.5))
                                .ExtWgt(3, 2, DblWgt(30.5))
                                .ExtWgt(4, 2, IntWgt(40))
                                .Fill(net));
  }
  CLocalNetwork net;
};

TEST_F(WeightCurrentTest, ExtraColumnIsFoundByItsPosition) {
  NWeightVal_stru w;
  ASSERT_EQ(net.GetEdgeWgtVal(2, 40, w), 1);
  EXPECT_TRUE(SameWgt(w, IntWgt(40)));
  ASSERT_EQ(net.GetEdgeWgtVal(-2, 40, w), 1);
  EXPECT_TRUE(SameWgt(w, IntWgt(40)));
  ASSERT_EQ(net.GetEdgeWgtVal(1, 40, w), 1);
  EXPECT_TRUE(SameWgt(w, NWeightVal_stru()));
}

TEST_F(WeightCurrentTest, FirstMatchWinsFixedColumnsBeforeExtraOnes) {
  NWeightVal_stru w;
  ASSERT_EQ(net.GetEdgeWgtVal(2, 10, w), 1);
  EXPECT_TRUE(SameWgt(w, DblWgt(1.0)));  // not extra position 1
  ASSERT_EQ(net.GetEdgeWgtVal(2, 30, w), 1);
  EXPECT_TRUE(SameWgt(w, DblWgt(30.0)));  // position 0, not 3
}

TEST_F(WeightCurrentTest, NegativeAndUnknownIdsFail) {
  NWeightVal_stru w = DblWgt(-5.0);
  EXPECT_EQ(net.GetEdgeWgtVal(2, -1, w), 0);
  EXPECT_EQ(net.GetEdgeWgtVal(2, 50, w), 0);
  EXPECT_EQ(net.GetEdgeWgtVal(2, INT_MIN, w), 0);
  EXPECT_EQ(net.GetEdgeWgtVal(INT_MIN, 40, w), 0);
  EXPECT_EQ(net.GetEdgeWgtVal(3, 40, w), 0);
  EXPECT_TRUE(SameWgt(w, DblWgt(-5.0)));
}

TEST_F(WeightCurrentTest, ColumnIdAddedAfterAllocationHasNoTableAndFails) {
  net.m_ExtEdgeWgtFld.Add(60);
  NWeightVal_stru w = DblWgt(-5.0);
  EXPECT_EQ(net.GetEdgeWgtVal(1, 60, w), 0);
  EXPECT_TRUE(SameWgt(w, DblWgt(-5.0)));
}

TEST_F(WeightCurrentTest, NegativeIdRewrittenPositiveAfterAllocationReadsNoNullTable) {
  *net.m_ExtEdgeWgtFld.GetPtr(2) = 70;  // position 2 has a null entry
  NWeightVal_stru w = DblWgt(-5.0);
  EXPECT_EQ(net.GetEdgeWgtVal(1, 70, w), 0);
  EXPECT_TRUE(SameWgt(w, DblWgt(-5.0)));
  *net.m_ExtEdgeWgtFld.GetPtr(2) = -1;
}

TEST_F(WeightCurrentTest, EdgeCountRaisedBeyondTheExtraTableIsRefused) {
  net.m_lEdgeNum = 10;
  NWeightVal_stru w = DblWgt(-5.0);
  EXPECT_EQ(net.GetEdgeWgtVal(7, 40, w), 0);
  EXPECT_TRUE(SameWgt(w, DblWgt(-5.0)));
  net.m_lEdgeNum = 2;
}
