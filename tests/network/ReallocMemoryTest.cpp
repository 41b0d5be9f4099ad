// Table allocation from the counts and settings, release, and copying of a
// whole network.
#include <gtest/gtest.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "kelvane/LocalNetwork.h"
#include "network/TableAlloc.h"
#include "support/ReferenceBuilder.h"
#include "support/ReferenceCheck.h"

namespace {

using kelvane::TableEntries;

template <class T>
bool AllZero(const T* table, std::size_t count) {
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(table);
  for (std::size_t i = 0; i < count * sizeof(T); ++i) {
    if (bytes[i] != 0) return false;
  }
  return true;
}

// Every table on, every table with some content: 4 nodes, 5 edges (one a loop).
NetworkBuilder FullNetwork() {
  return NetworkBuilder()
      .Ring(4)
      .Edge(2, 2)
      .WeightsDemandsTurns()
      .DirectMode(1)
      .Reserve(-77)
      .BlockEdge(3)
      .BlockNod(4)
      .Direct(2, 5)
      .NodWgt(1, DblWgt(1.5))
      .EdgeWgt1(2, IntWgt(-9))
      .EdgeWgt2(5, DblWgt(2.25))
      .NodDmd(3, 7.0)
      .EdgeDmd(4, 8.0)
      .TurnMatrix(1, {1, 2, 3, 4});
}

}  // namespace

TEST(ReallocMemoryTest, ConstructedNetworkHoldsNoTablesAndNoTrace) {
  CLocalNetwork net;
  ExpectNoTables(net);
  EXPECT_EQ(net.m_lTraceFlag, 0);
  EXPECT_EQ(net.m_pNodTraceBit, nullptr);
  EXPECT_EQ(net.m_pEdgeTraceBit, nullptr);
  EXPECT_EQ(net.m_lNodTraceBytes, 0);
  EXPECT_EQ(net.m_lEdgeTraceBytes, 0);
}

TEST(ReallocMemoryTest, SettingsOffMakeOnlyTheTablesEveryNetworkHas) {
  CLocalNetwork net;
  NetworkBuilder().Nodes(3).Edge(1, 2).Size(net);
  ASSERT_EQ(net.ReallocMemory(), 1);
  EXPECT_EQ(TableEntries(net.m_pEdgeNod), 1u);
  EXPECT_EQ(TableEntries(net.m_pNodConn), 3u);
  EXPECT_EQ(TableEntries(net.m_pNodState), 3u);
  EXPECT_EQ(TableEntries(net.m_pUpEdgeState), 1u);
  EXPECT_EQ(TableEntries(net.m_pDownEdgeState), 1u);
  EXPECT_EQ(net.m_pEdgeWgt1, nullptr);
  EXPECT_EQ(net.m_pEdgeWgt2, nullptr);
  EXPECT_EQ(net.m_pNodWgt, nullptr);
  EXPECT_EQ(net.m_ppTurnWgt, nullptr);
  EXPECT_EQ(net.m_pEdgeDirect, nullptr);
  EXPECT_EQ(net.m_pNodDmd, nullptr);
  EXPECT_EQ(net.m_pEdgeDmd, nullptr);
}

TEST(ReallocMemoryTest, EverySettingOnMakesEveryTableZeroFilledAtItsCount) {
  CLocalNetwork net;
  FullNetwork().Size(net);
  net.m_lNodNum = 1000;
  net.m_lEdgeNum = 3000;
  ASSERT_EQ(net.ReallocMemory(), 1);
  const std::size_t n = 1000, m = 3000;
  EXPECT_EQ(TableEntries(net.m_pEdgeNod), m);
  EXPECT_EQ(TableEntries(net.m_pNodConn), n);
  EXPECT_EQ(TableEntries(net.m_pNodWgt), n);
  EXPECT_EQ(TableEntries(net.m_pEdgeWgt1), m);
  EXPECT_EQ(TableEntries(net.m_pEdgeWgt2), m);
  EXPECT_EQ(TableEntries(net.m_ppTurnWgt), n);
  EXPECT_EQ(TableEntries(net.m_pNodState), n);
  EXPECT_EQ(TableEntries(net.m_pUpEdgeState), m);
  EXPECT_EQ(TableEntries(net.m_pDownEdgeState), m);
  EXPECT_EQ(TableEntries(net.m_pEdgeDirect), m);
  EXPECT_EQ(TableEntries(net.m_pNodDmd), n);
  EXPECT_EQ(TableEntries(net.m_pEdgeDmd), m);
  EXPECT_TRUE(AllZero(net.m_pEdgeNod, m));
  EXPECT_TRUE(AllZero(net.m_pNodConn, n));  // counts 0, lists null
  EXPECT_TRUE(AllZero(net.m_pNodWgt, n));   // every record type 0, value 0.0
  EXPECT_TRUE(AllZero(net.m_pEdgeWgt1, m));
  EXPECT_TRUE(AllZero(net.m_pEdgeWgt2, m));
  EXPECT_TRUE(AllZero(net.m_ppTurnWgt, n));  // one null matrix per node
  EXPECT_TRUE(AllZero(net.m_pNodState, n));
  EXPECT_TRUE(AllZero(net.m_pUpEdgeState, m));
  EXPECT_TRUE(AllZero(net.m_pDownEdgeState, m));
  EXPECT_TRUE(AllZero(net.m_pEdgeDirect, m));
  EXPECT_TRUE(AllZero(net.m_pNodDmd, n));
  EXPECT_TRUE(AllZero(net.m_pEdgeDmd, m));
  EXPECT_EQ(net.m_lNodNum, 1000);
  EXPECT_EQ(net.m_lReserve, -77);  // carried, not touched
}

TEST(ReallocMemoryTest, ZeroCountsSucceedWithEmptyTables) {
  CLocalNetwork net;
  FullNetwork().Size(net);
  net.m_lNodNum = 0;
  net.m_lEdgeNum = 0;
  ASSERT_EQ(net.ReallocMemory(), 1);
  EXPECT_NE(net.m_pEdgeNod, nullptr);
  EXPECT_NE(net.m_pNodWgt, nullptr);
  EXPECT_NE(net.m_pEdgeDmd, nullptr);
  EXPECT_EQ(TableEntries(net.m_pEdgeNod), 0u);
  EXPECT_EQ(TableEntries(net.m_pNodConn), 0u);
  EXPECT_EQ(TableEntries(net.m_pEdgeDmd), 0u);
  ExpectConsistent(net);
}

TEST(ReallocMemoryTest, OnlyTheSecondEdgeWeightColumnIsMadeWhenTheOthersAreNegative) {
  CLocalNetwork net;
  NetworkBuilder().Nodes(2).Edge(1, 2).Edge(2, 1).NodWgtFld(-1).EdgeWgtFld1(-1).EdgeWgtFld2(0).Size(net);
  ASSERT_EQ(net.ReallocMemory(), 1);
  EXPECT_EQ(net.m_pNodWgt, nullptr);
  EXPECT_EQ(net.m_pEdgeWgt1, nullptr);
  ASSERT_NE(net.m_pEdgeWgt2, nullptr);
  EXPECT_TRUE(AllZero(net.m_pEdgeWgt2, 2));
}

TEST(ReallocMemoryTest, DemandTablesFollowTheSignOfTheDemandSetting) {
  for (char fld : {static_cast<char>(-1), static_cast<char>(-128)}) {
    CLocalNetwork net;
    NetworkBuilder().Nodes(2).Edge(1, 2).DmdFld(fld).Size(net);
    ASSERT_EQ(net.ReallocMemory(), 1);
    EXPECT_EQ(net.m_pNodDmd, nullptr);
    EXPECT_EQ(net.m_pEdgeDmd, nullptr);
  }
  for (char fld : {static_cast<char>(0), static_cast<char>(5), static_cast<char>(127)}) {
    CLocalNetwork net;
    NetworkBuilder().Nodes(2).Edge(1, 2).DmdFld(fld).Size(net);
    ASSERT_EQ(net.ReallocMemory(), 1);
    ASSERT_NE(net.m_pNodDmd, nullptr);
    ASSERT_NE(net.m_pEdgeDmd, nullptr);
    EXPECT_EQ(net.m_pNodDmd[1], 0.0);
    EXPECT_EQ(net.m_pEdgeDmd[0], 0.0);
  }
}

TEST(ReallocMemoryTest, DirectionTableExistsForModesOneAndTwoOnly) {
  for (char mode : {0, 1, 2}) {
    CLocalNetwork net;
    NetworkBuilder().Nodes(2).Edge(1, 2).DirectMode(mode).Size(net);
    ASSERT_EQ(net.ReallocMemory(), 1);
    EXPECT_EQ(net.m_pEdgeDirect != nullptr, mode != 0) << int{mode};
  }
}

TEST(ReallocMemoryTest, TurnFlagMakesOneNullMatrixPointerPerNode) {
  CLocalNetwork net;
  NetworkBuilder().Nodes(3).Edge(1, 2).Edge(2, 3).TurnWgt().Size(net);
  ASSERT_EQ(net.ReallocMemory(), 1);
  ASSERT_NE(net.m_ppTurnWgt, nullptr);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(net.m_ppTurnWgt[i], nullptr);
  // Only node 2 gets a matrix; destruction releases it and the pointer table.
  ASSERT_EQ(net.ReallocNodConnEdgeMemory(2, 2), 1);
  ASSERT_EQ(net.ReallocNodTurnWgtMemory(2, 2), 1);
}

TEST(ReallocMemoryTest, TurnFlagZeroMakesNoMatrixTable) {
  CLocalNetwork net;
  NetworkBuilder().Nodes(3).Size(net);
  ASSERT_EQ(net.ReallocMemory(), 1);
  EXPECT_EQ(net.m_ppTurnWgt, nullptr);
}

TEST(ReallocMemoryTest, NegativeCountFailsAndClearsEveryCountAndSetting) {
  for (int which = 0; which < 4; ++which) {
    CLocalNetwork net;
    FullNetwork().Size(net);
    if (which == 0) net.m_lEdgeNum = -1;
    if (which == 1) net.m_lNodNum = -1;
    if (which == 2) net.m_lEdgeNum = INT_MIN;
    if (which == 3) net.m_lNodNum = INT_MIN;
    EXPECT_EQ(net.ReallocMemory(), 0) << which;
    ExpectCleared(net);
  }
}

TEST(ReallocMemoryTest, FailedAllocationResetsNegativeColumnIdsToZero) {
  CLocalNetwork net;
  NetworkBuilder().Nodes(2).NodWgtFld(-1).EdgeWgtFld1(-3).DmdFld(-1).Reserve(5).Size(net);
  net.m_lEdgeNum = -2;
  ASSERT_EQ(net.ReallocMemory(), 0);
  EXPECT_EQ(net.m_lNodWgtFld, 0);
  EXPECT_EQ(net.m_lEdgeWgtFld1, 0);
  EXPECT_EQ(net.m_cDmdFld, 0);
  EXPECT_EQ(net.m_lReserve, 0);
}

TEST(ReallocMemoryTest, ClearedNetworkCanBeSizedAgain) {
  CLocalNetwork net;
  FullNetwork().Size(net);
  net.m_lNodNum = -1;
  ASSERT_EQ(net.ReallocMemory(), 0);
  ASSERT_NO_FATAL_FAILURE(FullNetwork().Fill(net));
  ExpectConsistent(net);
}

TEST(ReallocMemoryTest, SecondAllocationReleasesTheFirstAndFollowsTheNewSettings) {
  CLocalNetwork net;
  ASSERT_NO_FATAL_FAILURE(FullNetwork().Fill(net));  // lists and matrices given: a leak would show
  NetworkBuilder().Nodes(6).Edge(1, 2).EdgeWgtFld2(0).Size(net);
  ASSERT_EQ(net.ReallocMemory(), 1);
  EXPECT_EQ(TableEntries(net.m_pNodConn), 6u);
  EXPECT_EQ(TableEntries(net.m_pEdgeNod), 1u);
  EXPECT_TRUE(AllZero(net.m_pNodConn, 6));
  EXPECT_TRUE(AllZero(net.m_pNodState, 6));
  EXPECT_EQ(net.m_pNodWgt, nullptr);
  EXPECT_EQ(net.m_pEdgeWgt1, nullptr);
  EXPECT_NE(net.m_pEdgeWgt2, nullptr);
  EXPECT_EQ(net.m_ppTurnWgt, nullptr);
  EXPECT_EQ(net.m_pNodDmd, nullptr);
  EXPECT_EQ(net.m_pEdgeDirect, nullptr);
}

TEST(ReallocMemoryTest, SecondAllocationReleasesTablesTheHostMisnumbered) {
  CLocalNetwork net;
  ASSERT_NO_FATAL_FAILURE(FullNetwork().Fill(net));
  net.m_lNodNum = 1;      // smaller than the tables: every list must still be released
  net.m_lTurnWgtFlag = 0;  // and the matrices, whatever the flag says now
  net.m_cDmdFld = -1;
  net.m_lEdgeNum = 2;
  ASSERT_EQ(net.ReallocMemory(), 1);
  EXPECT_EQ(TableEntries(net.m_pNodConn), 1u);
}

TEST(ReallocMemoryTest, DestroyingANetworkThatWasNeverSizedReleasesNothing) {
  auto net = std::make_unique<CLocalNetwork>();
  net->m_lNodNum = 12345;  // counts written but no tables made
  net->m_lEdgeNum = -4;
  net->m_lTurnWgtFlag = 1;
  net.reset();
  SUCCEED();
}

TEST(ReallocMemoryTest, DestroyingAfterTheHostRewroteTheCountsReleasesExactlyWhatWasMade) {
  auto net = std::make_unique<CLocalNetwork>();
  ASSERT_NO_FATAL_FAILURE(FullNetwork().Fill(*net));
  net->m_lNodNum = 100000;  // larger than the tables
  net->m_lEdgeNum = 0;
  net->m_lTurnWgtFlag = 0;
  net->m_cDmdFld = -1;
  net->m_lNodWgtFld = -1;
  net.reset();  // ASan: no read outside a table, nothing leaked
  SUCCEED();
}

TEST(ReallocMemoryTest, DestroyingWithAPositiveCountAndNoListIsSafe) {
  CLocalNetwork net;
  NetworkBuilder().Nodes(2).Size(net);
  ASSERT_EQ(net.ReallocMemory(), 1);
  net.m_pNodConn[0].sConnNum = 5;  // count written, list never given
}

TEST(NetworkCopyTest, CopyConstructionDuplicatesEveryTable) {
  CLocalNetwork src;
  ASSERT_NO_FATAL_FAILURE(FullNetwork().Fill(src));
  CLocalNetwork copy(src);
  ExpectSameNetwork(src, copy);
  ExpectConsistent(copy);
  EXPECT_EQ(copy.m_lReserve, -77);
}

TEST(NetworkCopyTest, CopyOutlivesAndIgnoresItsSource) {
  auto src = std::make_unique<CLocalNetwork>();
  ASSERT_NO_FATAL_FAILURE(FullNetwork().Fill(*src));
  CLocalNetwork copy(*src);
  src->m_pEdgeNod[0].lFromNod = 99;
  src->m_pNodConn[1].pConnEdge[0] = 99;
  src->m_ppTurnWgt[0][3] = 99.0;
  src->m_pNodWgt[0].dVal = 99.0;
  src->m_pEdgeDmd[3] = 99.0;
  src->m_pNodState[0] = 1;
  EXPECT_EQ(copy.m_pEdgeNod[0].lFromNod, 1);
  EXPECT_EQ(copy.m_pNodConn[1].pConnEdge[0], 1);
  EXPECT_EQ(copy.m_ppTurnWgt[0][3], 4.0);
  EXPECT_EQ(ValOf(copy.m_pNodWgt[0]), 1.5);
  EXPECT_EQ(copy.m_pEdgeDmd[3], 8.0);
  EXPECT_EQ(copy.m_pNodState[0], 0);
  src.reset();  // the copy's tables must not be the source's (ASan: use after free)
  EXPECT_EQ(copy.m_pEdgeNod[4].lToNod, 2);
  EXPECT_EQ(copy.m_ppTurnWgt[0][0], 1.0);
  ExpectConsistent(copy);
}

TEST(NetworkCopyTest, CopyOfAnUnsizedNetworkHasNoTables) {
  CLocalNetwork src;
  CLocalNetwork copy(src);
  ExpectNoTables(copy);
}

TEST(NetworkCopyTest, AssignmentReleasesTheTargetsTablesAndDuplicatesTheSources) {
  CLocalNetwork src;
  ASSERT_NO_FATAL_FAILURE(FullNetwork().Fill(src));
  CLocalNetwork dst;
  ASSERT_NO_FATAL_FAILURE(NetworkBuilder().Nodes(9).Edge(1, 9).Edge(9, 1).TurnWgt().DmdFld(3).Fill(dst));
  CLocalNetwork& result = (dst = src);
  EXPECT_EQ(&result, &dst);
  ExpectSameNetwork(src, dst);
  dst.m_pEdgeWgt1[1].dVal = 1.0;
  dst.m_pNodConn[0].pConnEdge[0] = 3;
  EXPECT_TRUE(SameWgt(src.m_pEdgeWgt1[1], IntWgt(-9)));
  EXPECT_EQ(src.m_pNodConn[0].pConnEdge[0], -1);
}

TEST(NetworkCopyTest, AssignmentFromAnUnsizedNetworkLeavesNoTables) {
  CLocalNetwork src;
  src.m_lNodNum = 0;
  src.m_lEdgeNum = 0;
  CLocalNetwork dst;
  ASSERT_NO_FATAL_FAILURE(FullNetwork().Fill(dst));
  dst = src;
  ExpectNoTables(dst);
}

TEST(NetworkCopyTest, SelfAssignmentChangesNothing) {
  CLocalNetwork net;
  ASSERT_NO_FATAL_FAILURE(FullNetwork().Fill(net));
  CLocalNetwork reference(net);
  CLocalNetwork& alias = net;
  net = alias;
  ExpectSameNetwork(reference, net);
  ExpectConsistent(net);
}

TEST(NetworkCopyTest, ReserveValueSurvivesCopyAndAssignment) {
  CLocalNetwork src;
  ASSERT_NO_FATAL_FAILURE(NetworkBuilder().Nodes(1).Reserve(INT_MIN).Fill(src));
  CLocalNetwork copy(src);
  CLocalNetwork assigned;
  assigned = src;
  EXPECT_EQ(copy.m_lReserve, INT_MIN);
  EXPECT_EQ(assigned.m_lReserve, INT_MIN);
}

TEST(NetworkCopyTest, OpenTraceBitsAreCopiedAndIndependent) {
  CLocalNetwork src;
  ASSERT_NO_FATAL_FAILURE(FullNetwork().Fill(src));
  ASSERT_EQ(src.StartTrace(), 1);
  ASSERT_EQ(src.TraceNod(2), 1);
  ASSERT_EQ(src.TraceEdge(5), 1);
  CLocalNetwork copy(src);
  ExpectSameNetwork(src, copy);
  EXPECT_EQ(copy.m_lTraceFlag, 1);
  EXPECT_EQ(copy.AskNodHasTrace(2), 1);
  EXPECT_EQ(copy.AskEdgeHasTrace(5), 1);
  EXPECT_EQ(copy.AskNodHasTrace(3), 0);
  copy.TraceNod(3);
  EXPECT_EQ(src.AskNodHasTrace(3), 0);
  CLocalNetwork assigned;
  assigned = src;
  EXPECT_EQ(assigned.AskEdgeHasTrace(5), 1);
  EXPECT_EQ(src.EndTrace(), 1);
  EXPECT_EQ(copy.AskNodHasTrace(2), 1);  // ending the source's trace leaves the copy's
  // copy and assigned are destroyed with their traces open: their bits go too.
}
