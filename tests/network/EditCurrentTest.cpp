// Room for new edges in the extra edge-weight columns of the current build.
#include <gtest/gtest.h>

#include <cstdint>

#include "kelvane/LocalNetwork.h"
#include "network/NetworkInt.h"
#include "network/TableAlloc.h"
#include "support/ReferenceBuilder.h"
#include "support/ReferenceCheck.h"

TEST(EditCurrentTest, RoomGrowsEveryExtraTableWithDefaultRecords) {
  CLocalNetwork net;
  ASSERT_NO_FATAL_FAILURE(NetworkBuilder()
                              .Nodes(2)
                              .Edge(1, 2)
                              .Edge(2, 1)
                              .ExtFld(5)
                              .ExtFld(-1)
                              .ExtFld(6)
                              .ExtWgt(0, 2, DblWgt(5.5))
                              .ExtWgt(2, 1, IntWgt(6))
                              .Fill(net));
  ASSERT_EQ(CNetworkAccess::AppendElemS(net, 0, 3), 1);
  ASSERT_EQ(net.m_ExtEdgeWgt.GetSize(), 3);
  EXPECT_EQ(net.m_ExtEdgeWgt.GetAt(1), nullptr);
  for (std::int32_t i : {0, 2}) {
    NWeightVal_stru* table = net.m_ExtEdgeWgt.GetAt(i);
    ASSERT_NE(table, nullptr);
    EXPECT_GE(kelvane::TableEntries(table), 5u);
  }
  EXPECT_TRUE(SameWgt(net.m_ExtEdgeWgt.GetAt(0)[1], DblWgt(5.5)));
  EXPECT_TRUE(SameWgt(net.m_ExtEdgeWgt.GetAt(2)[0], IntWgt(6)));
  NWeightVal_stru w = DblWgt(1.0);
  ASSERT_EQ(CNetworkAccess::AppendEdge(net, w, w, 0, 0, 0, 0.0), 3);
  NWeightVal_stru got = DblWgt(-1.0);
  ASSERT_EQ(net.GetEdgeWgtVal(3, 5, got), 1);
  EXPECT_TRUE(SameWgt(got, NWeightVal_stru()));
  ASSERT_EQ(net.GetEdgeWgtVal(-3, 6, got), 1);
  EXPECT_TRUE(SameWgt(got, NWeightVal_stru()));
  network_check::ExpectExtColumnsConsistent(net);
}

TEST(EditCurrentTest, PrimitivesLeaveTheRecordersAndColumnIdsAlone) {
  CLocalNetwork net;
  ASSERT_NO_FATAL_FAILURE(NetworkBuilder().Nodes(2).Edge(1, 2).BlockEdge(1).ExtFld(3).Fill(net));
  std::int32_t from = 0, to = 0;
  net.GetEdgeFromToNod(1, from, to);  // records edge 1
  ASSERT_EQ(CNetworkAccess::AppendElemS(net, 1, 1), 1);
  CNetworkAccess::AppendNod(net);
  NWeightVal_stru w;
  CNetworkAccess::AppendEdge(net, w, w, 0, 0, 0, 0.0);
  CNetworkAccess::DeleteEdge(net, 1);
  EXPECT_EQ(net.m_BlockedNod.m_lElemNum, 2);
  EXPECT_EQ(net.m_BlockedEdge.m_lElemNum, 1);
  EXPECT_EQ(net.m_BlockedEdge.AskHasTrace(1), 1);
  EXPECT_EQ(net.m_ExtEdgeWgtFld.GetSize(), 1);
  EXPECT_EQ(net.m_ExtEdgeWgtFld.GetAt(0), 3);
}
