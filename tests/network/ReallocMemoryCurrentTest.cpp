// Table allocation in the current build: extra edge-weight columns and the
// recorders of blocked elements.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "network/TableAlloc.h"
#include "support/ReferenceBuilder.h"
#include "support/ReferenceCheck.h"

namespace {

using kelvane::TableEntries;

bool AllZero(const NWeightVal_stru* table, std::size_t count) {
  const NWeightVal_stru zero;
  for (std::size_t i = 0; i < count; ++i) {
    if (!SameWgt(table[i], zero)) return false;
  }
  return true;
}

std::vector<std::int32_t> Recorded(const CMyTrace& trace) {
  CSmartArray<std::int32_t> elems;
  trace.FetchTraceResult(elems);
  return Elems(elems);
}

}  // namespace

TEST(ReallocMemoryTest, ExtraColumnsGetOneZeroTableEachInTheHostsOrder) {
  CLocalNetwork net;
  NetworkBuilder().Nodes(2).Edge(1, 2).Edge(2, 1).Edge(1, 1).ExtFld(7).ExtFld(3).Size(net);
  ASSERT_EQ(net.ReallocMemory(), 1);
  ASSERT_EQ(net.m_ExtEdgeWgt.GetSize(), 2);
  NWeightVal_stru* col7 = net.m_ExtEdgeWgt.GetAt(0);
  NWeightVal_stru* col3 = net.m_ExtEdgeWgt.GetAt(1);
  ASSERT_NE(col7, nullptr);
  ASSERT_NE(col3, nullptr);
  EXPECT_NE(col7, col3);
  EXPECT_EQ(TableEntries(col7), 3u);
  EXPECT_EQ(TableEntries(col3), 3u);
  EXPECT_TRUE(AllZero(col7, 3));
  EXPECT_TRUE(AllZero(col3, 3));
  col7[2] = DblWgt(7.0);
  col3[2] = DblWgt(3.0);
  NWeightVal_stru w;
  ASSERT_EQ(net.GetEdgeWgtVal(3, 7, w), 1);
  EXPECT_EQ(ValOf(w), 7.0);
  ASSERT_EQ(net.GetEdgeWgtVal(3, 3, w), 1);
  EXPECT_EQ(ValOf(w), 3.0);
  EXPECT_EQ(net.m_ExtEdgeWgtFld.GetSize(), 2);  // the host's ids are left as written
  network_check::ExpectExtColumnsConsistent(net);
}

TEST(ReallocMemoryTest, NegativeExtraColumnIdGetsANullEntryKeepingTheListsAligned) {
  CLocalNetwork net;
  NetworkBuilder().Nodes(1).Edge(1, 1).ExtFld(4).ExtFld(-1).ExtFld(6).Size(net);
  ASSERT_EQ(net.ReallocMemory(), 1);
  ASSERT_EQ(net.m_ExtEdgeWgt.GetSize(), 3);
  EXPECT_NE(net.m_ExtEdgeWgt.GetAt(0), nullptr);
  EXPECT_EQ(net.m_ExtEdgeWgt.GetAt(1), nullptr);
  ASSERT_NE(net.m_ExtEdgeWgt.GetAt(2), nullptr);
  net.m_ExtEdgeWgt.GetAt(2)[0] = IntWgt(66);
  NWeightVal_stru w;
  ASSERT_EQ(net.GetEdgeWgtVal(1, 6, w), 1);
  EXPECT_TRUE(SameWgt(w, IntWgt(66)));
  EXPECT_EQ(net.GetEdgeWgtVal(1, -1, w), 0);
  network_check::ExpectExtColumnsConsistent(net);
}

TEST(ReallocMemoryTest, ExtraColumnsWithZeroEdgesGetEmptyTables) {
  CLocalNetwork net;
  NetworkBuilder().Nodes(1).ExtFld(0).Size(net);
  ASSERT_EQ(net.ReallocMemory(), 1);
  ASSERT_EQ(net.m_ExtEdgeWgt.GetSize(), 1);
  EXPECT_NE(net.m_ExtEdgeWgt.GetAt(0), nullptr);
  EXPECT_EQ(TableEntries(net.m_ExtEdgeWgt.GetAt(0)), 0u);
}

TEST(ReallocMemoryTest, SecondAllocationReplacesTheExtraTablesInsteadOfAddingMore) {
  CLocalNetwork net;
  ASSERT_NO_FATAL_FAILURE(NetworkBuilder().Nodes(2).Edge(1, 2).ExtFld(1).ExtFld(2).ExtWgt(0, 1, DblWgt(5)).Fill(net));
  net.m_lEdgeNum = 4;
  ASSERT_EQ(net.ReallocMemory(), 1);
  ASSERT_EQ(net.m_ExtEdgeWgt.GetSize(), 2);
  EXPECT_EQ(TableEntries(net.m_ExtEdgeWgt.GetAt(0)), 4u);
  EXPECT_TRUE(AllZero(net.m_ExtEdgeWgt.GetAt(0), 4));
}

TEST(ReallocMemoryTest, FailedAllocationKeepsTheExtraColumnIdsButNoTables) {
  CLocalNetwork net;
  NetworkBuilder().Nodes(2).Edge(1, 2).ExtFld(9).ExtFld(-2).Size(net);
  net.m_lNodNum = -1;
  ASSERT_EQ(net.ReallocMemory(), 0);
  EXPECT_EQ(Elems(net.m_ExtEdgeWgtFld), (std::vector<std::int32_t>{9, -2}));
  EXPECT_EQ(net.m_ExtEdgeWgt.GetSize(), 0);
}

TEST(ReallocMemoryTest, RecordersAreSizedToTheCountsAndStartedEmpty) {
  CLocalNetwork net;
  NetworkBuilder().Nodes(10).Size(net);
  net.m_lEdgeNum = 20;
  ASSERT_EQ(net.ReallocMemory(), 1);
  EXPECT_EQ(net.m_BlockedEdge.m_lElemNum, 20);
  EXPECT_EQ(net.m_BlockedNod.m_lElemNum, 10);
  std::int32_t e = 20;
  std::int32_t n = 10;
  net.m_BlockedEdge.Trace(e);
  net.m_BlockedNod.Trace(n);
  EXPECT_EQ(Recorded(net.m_BlockedEdge), (std::vector<std::int32_t>{20}));
  EXPECT_EQ(Recorded(net.m_BlockedNod), (std::vector<std::int32_t>{10}));

  ASSERT_EQ(net.ReallocMemory(), 1);  // started again: the old records go
  EXPECT_TRUE(Recorded(net.m_BlockedEdge).empty());
  EXPECT_TRUE(Recorded(net.m_BlockedNod).empty());
}

TEST(ReallocMemoryTest, RecordersKeepTheirSizesWhenAllocationFails) {
  CLocalNetwork net;
  NetworkBuilder().Nodes(10).Size(net);
  net.m_lEdgeNum = -20;
  ASSERT_EQ(net.ReallocMemory(), 0);
  EXPECT_EQ(net.m_BlockedNod.m_lElemNum, 10);
  std::int32_t n = 3;
  net.m_BlockedNod.Trace(n);
  EXPECT_EQ(net.m_BlockedNod.AskHasTrace(3), 1);
}

TEST(ReallocMemoryTest, DestroyingAnUnsizedNetworkWithExtraColumnIdsReleasesNothing) {
  CLocalNetwork net;
  net.m_ExtEdgeWgtFld.Add(1);
  net.m_ExtEdgeWgtFld.Add(2);
  EXPECT_EQ(net.m_ExtEdgeWgt.GetSize(), 0);
}

TEST(NetworkCopyTest, CopiesGetExtraTablesAndRecordsOfTheirOwn) {
  CLocalNetwork src;
  ASSERT_NO_FATAL_FAILURE(NetworkBuilder()
                              .Nodes(3)
                              .Edge(1, 2)
                              .Edge(2, 3)
                              .BlockNod(3)
                              .ExtFld(8)
                              .ExtFld(-5)
                              .ExtFld(1)
                              .ExtWgt(0, 2, DblWgt(8.5))
                              .ExtWgt(2, 1, IntWgt(11))
                              .Fill(src));
  std::int32_t count = 0;
  src.GetNodConnEdgeNum(3, count);  // records node 3
  CLocalNetwork copy(src);
  ExpectSameNetwork(src, copy);
  EXPECT_EQ(copy.m_ExtEdgeWgt.GetAt(1), nullptr);
  EXPECT_EQ(Recorded(copy.m_BlockedNod), (std::vector<std::int32_t>{3}));
  src.m_ExtEdgeWgt.GetAt(0)[1] = DblWgt(0.0);
  NWeightVal_stru w;
  ASSERT_EQ(copy.GetEdgeWgtVal(2, 8, w), 1);
  EXPECT_EQ(ValOf(w), 8.5);

  CLocalNetwork assigned;
  ASSERT_NO_FATAL_FAILURE(NetworkBuilder().Nodes(1).ExtFld(2).Fill(assigned));
  assigned = copy;
  ExpectSameNetwork(copy, assigned);
  EXPECT_EQ(Recorded(assigned.m_BlockedNod), (std::vector<std::int32_t>{3}));
  ExpectConsistent(assigned);
}
