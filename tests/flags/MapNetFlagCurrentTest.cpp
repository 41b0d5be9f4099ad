// MapNetFlagCurrentTest.cpp - flag mapping and the extra edge-weight columns,
// which only the current build has.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "kelvane/LocalNetwork.h"
#include "support/ReferenceBuilder.h"
#include "support/ReferenceCheck.h"

namespace {

TEST(MapNetFlagExtColumnTest, ExtraColumnsAreSharedLikeTheFixedOnes) {
  CLocalNetwork net;
  NetworkBuilder()
      .Nodes(3)
      .Edge(1, 2)
      .Edge(2, 3)
      .EdgeWgtFld1(1)
      .ExtFld(7)
      .ExtFld(-1)  // a column without a table
      .ExtFld(3)
      .ExtWgt(0, 2, DblWgt(10.0))
      .ExtWgt(2, 2, IntWgt(9))
      .ExtWgt(0, 1, DblWgt(6.0))
      .Fill(net);
  ASSERT_EQ(net.m_ExtEdgeWgt.GetAt(1), nullptr);

  CSmartArray<NET_FLGstruct> in, out;
  NET_FLGstruct flag;
  flag.cFlgType = 2;
  flag.lElemID = 2;
  flag.dPos = 0.25;
  in.Add(flag);
  CSmartArray<TEMPEDGE_MAP_EDGE> temps;
  CSmartArray<std::int32_t> nods;
  ASSERT_EQ(net.MapNetFlag(in, out, temps, nods), 1);

  NWeightVal_stru* col7 = net.m_ExtEdgeWgt.GetAt(0);
  NWeightVal_stru* col3 = net.m_ExtEdgeWgt.GetAt(2);
  EXPECT_TRUE(SameWgt(col7[2], DblWgt(2.5)));
  EXPECT_TRUE(SameWgt(col7[3], DblWgt(7.5)));
  EXPECT_TRUE(SameWgt(col3[2], IntWgt(2)));
  EXPECT_TRUE(SameWgt(col3[3], IntWgt(6)));
  EXPECT_TRUE(SameWgt(col7[0], DblWgt(6.0)));  // an edge not flagged keeps its record
  EXPECT_TRUE(SameWgt(col7[1], DblWgt(10.0)));  // and so does the split one

  NWeightVal_stru got;
  ASSERT_EQ(net.GetEdgeWgtVal(4, 3, got), 1);
  EXPECT_TRUE(SameWgt(got, IntWgt(6)));
  ExpectConsistent(net);
}

}  // namespace
