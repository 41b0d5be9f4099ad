// Node and edge weights, turn weights and demand values.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "support/ReferenceBuilder.h"

using Ints = std::vector<std::int32_t>;
using Doubles = std::vector<double>;

namespace {

NWeightVal_stru Untouched() {
  NWeightVal_stru w;
  w.cType = 99;
  w.dVal = -99.0;
  return w;
}

// A record with a type code the library does not interpret and odd value bytes.
NWeightVal_stru OddWgt() {
  NWeightVal_stru w;
  unsigned char bytes[9] = {0x7f, 1, 2, 3, 4, 5, 6, 7, 0xff};
  std::memcpy(&w, bytes, sizeof w);
  return w;
}

}  // namespace

class WeightTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(NetworkBuilder()
                                .Ring(3)
                                .NodWgtFld(5)
                                .EdgeWgtFld1(10)
                                .EdgeWgtFld2(20)
                                .DmdFld(0)
                                .NodWgt(2, DblWgt(2.5))
                                .NodWgt(3, OddWgt())
                                .EdgeWgt1(3, IntWgt(-31))
                                .EdgeWgt2(3, DblWgt(3.2))
                                .EdgeWgt1(1, OddWgt())
                                .NodDmd(1, 11.0)
                                .NodDmd(3, 33.0)
                                .EdgeDmd(3, 300.0)
                                .Fill(net));
  }
  CLocalNetwork net;
};

TEST_F(WeightTest, NodeWeightIsCopiedWholeFromItsOneColumn) {
  NWeightVal_stru w = Untouched();
  ASSERT_EQ(net.GetNodWgtVal(2, 5, w), 1);
  EXPECT_TRUE(SameWgt(w, DblWgt(2.5)));
  ASSERT_EQ(net.GetNodWgtVal(3, 5, w), 1);
  EXPECT_TRUE(SameWgt(w, OddWgt()));
  ASSERT_EQ(net.GetNodWgtVal(1, 5, w), 1);
  EXPECT_TRUE(SameWgt(w, NWeightVal_stru()));
}

TEST_F(WeightTest, NodeWeightOfAnyOtherColumnOrNodeIsRefused) {
  NWeightVal_stru w = Untouched();
  for (std::int32_t fld : {4, 6, 0, -1, 10, 20}) EXPECT_EQ(net.GetNodWgtVal(2, fld, w), 0) << fld;
  for (std::int32_t n : {0, -2, 4, INT_MIN}) EXPECT_EQ(net.GetNodWgtVal(n, 5, w), 0) << n;
  EXPECT_TRUE(SameWgt(w, Untouched()));
}

TEST_F(WeightTest, EdgeWeightComesFromTheNamedFixedColumnForEitherSign) {
  NWeightVal_stru w = Untouched();
  ASSERT_EQ(net.GetEdgeWgtVal(3, 10, w), 1);
  EXPECT_TRUE(SameWgt(w, IntWgt(-31)));
  w = Untouched();
  ASSERT_EQ(net.GetEdgeWgtVal(-3, 10, w), 1);
  EXPECT_TRUE(SameWgt(w, IntWgt(-31)));
  ASSERT_EQ(net.GetEdgeWgtVal(-3, 20, w), 1);
  EXPECT_TRUE(SameWgt(w, DblWgt(3.2)));
  ASSERT_EQ(net.GetEdgeWgtVal(1, 10, w), 1);
  EXPECT_TRUE(SameWgt(w, OddWgt()));
}

TEST_F(WeightTest, EdgeWeightOfAnUnknownColumnOrEdgeIsRefused) {
  NWeightVal_stru w = Untouched();
  for (std::int32_t fld : {5, 0, 11, -1, INT_MIN}) EXPECT_EQ(net.GetEdgeWgtVal(1, fld, w), 0) << fld;
  for (std::int32_t e : {0, 4, -4, INT_MAX, INT_MIN}) EXPECT_EQ(net.GetEdgeWgtVal(e, 10, w), 0) << e;
  EXPECT_TRUE(SameWgt(w, Untouched()));
}

TEST_F(WeightTest, DemandOfNodesAndPositiveEdgeNumbers) {
  double d = -1.0;
  ASSERT_EQ(net.GetNodDmdVal(3, d), 1);
  EXPECT_EQ(d, 33.0);
  ASSERT_EQ(net.GetNodDmdVal(2, d), 1);
  EXPECT_EQ(d, 0.0);
  ASSERT_EQ(net.GetEdgeDmdVal(3, d), 1);
  EXPECT_EQ(d, 300.0);
}

TEST_F(WeightTest, EdgeDemandTakesTheNumberUnchangedSoANegativeEdgeFails) {
  double d = -1.0;
  for (std::int32_t e : {-3, -1, 0, 4, INT_MIN}) EXPECT_EQ(net.GetEdgeDmdVal(e, d), 0) << e;
  for (std::int32_t n : {0, -1, 4}) EXPECT_EQ(net.GetNodDmdVal(n, d), 0) << n;
  EXPECT_EQ(d, -1.0);
}

TEST(WeightSettingsTest, SameIdOnBothFixedColumnsReachesTheFirst) {
  CLocalNetwork net;
  ASSERT_NO_FATAL_FAILURE(NetworkBuilder()
                              .Nodes(2)
                              .Edge(1, 2)
                              .EdgeWgtFld1(4)
                              .EdgeWgtFld2(4)
                              .EdgeWgt1(1, DblWgt(1.0))
                              .EdgeWgt2(1, DblWgt(2.0))
                              .Fill(net));
  NWeightVal_stru w;
  ASSERT_EQ(net.GetEdgeWgtVal(1, 4, w), 1);
  EXPECT_TRUE(SameWgt(w, DblWgt(1.0)));
}

TEST(WeightSettingsTest, NegativeColumnIdsHaveNoTableAndAreNeverMatched) {
  CLocalNetwork net;
  ASSERT_NO_FATAL_FAILURE(
      NetworkBuilder().Nodes(2).Edge(1, 2).NodWgtFld(-1).EdgeWgtFld1(-1).EdgeWgtFld2(0).EdgeWgt2(1, IntWgt(2)).Fill(net));
  NWeightVal_stru w = Untouched();
  EXPECT_EQ(net.GetNodWgtVal(1, -1, w), 0);
  EXPECT_EQ(net.GetEdgeWgtVal(1, -1, w), 0);
  EXPECT_TRUE(SameWgt(w, Untouched()));
  ASSERT_EQ(net.GetEdgeWgtVal(1, 0, w), 1);
  EXPECT_TRUE(SameWgt(w, IntWgt(2)));
}

TEST(WeightSettingsTest, DemandIsRefusedWithoutDemandTables) {
  CLocalNetwork net;
  ASSERT_NO_FATAL_FAILURE(NetworkBuilder().Nodes(2).Edge(1, 2).DmdFld(-1).Fill(net));
  double d = -1.0;
  EXPECT_EQ(net.GetNodDmdVal(1, d), 0);
  EXPECT_EQ(net.GetEdgeDmdVal(1, d), 0);
  EXPECT_EQ(d, -1.0);
}

TEST(WeightSettingsTest, CountsRaisedByTheHostBeyondTheTablesAreRefused) {
  CLocalNetwork net;
  ASSERT_NO_FATAL_FAILURE(
      NetworkBuilder().Nodes(2).Edge(1, 2).NodWgtFld(1).EdgeWgtFld1(2).EdgeWgtFld2(3).DmdFld(0).Fill(net));
  net.m_lNodNum = 30;
  net.m_lEdgeNum = 30;
  NWeightVal_stru w = Untouched();
  double d = -1.0;
  EXPECT_EQ(net.GetNodWgtVal(20, 1, w), 0);
  EXPECT_EQ(net.GetEdgeWgtVal(20, 2, w), 0);
  EXPECT_EQ(net.GetEdgeWgtVal(-20, 3, w), 0);
  EXPECT_EQ(net.GetNodDmdVal(20, d), 0);
  EXPECT_EQ(net.GetEdgeDmdVal(20, d), 0);
  EXPECT_TRUE(SameWgt(w, Untouched()));
  EXPECT_EQ(d, -1.0);
}

// --- Turn weights

class TurnWeightTest : public ::testing::Test {
 protected:
  // Node 1's entries are 4, -9, 12; its matrix holds 100 + index.
  void SetUp() override {
    NetworkBuilder b;
    b.Nodes(3).TurnWgt();
    for (int e = 1; e <= 12; ++e) b.Edge(2, 3);
    b.Conn(1, {4, -9, 12}).TurnMatrix(1, {100, 101, 102, 103, 104, 105, 106, 107, 108});
    ASSERT_NO_FATAL_FAILURE(b.Fill(net));
  }
  CLocalNetwork net;
};

TEST_F(TurnWeightTest, EntryIsFoundByTheAbsoluteValuesOfTheListedEdges) {
  double d = -1.0;
  ASSERT_EQ(net.GetTurnWgtVal(1, 9, 12, d), 1);
  EXPECT_EQ(d, 105.0);  // row 1, column 2
  ASSERT_EQ(net.GetTurnWgtVal(1, 12, 9, d), 1);
  EXPECT_EQ(d, 107.0);
  ASSERT_EQ(net.GetTurnWgtVal(1, 4, 4, d), 1);
  EXPECT_EQ(d, 100.0);
}

TEST_F(TurnWeightTest, SameEdgeTwiceReadsTheDiagonal) {
  double d = -1.0;
  ASSERT_EQ(net.GetTurnWgtVal(1, 12, 12, d), 1);
  EXPECT_EQ(d, 108.0);
}

TEST_F(TurnWeightTest, NegativeOrUnlistedEdgeNumbersFail) {
  double d = -1.0;
  EXPECT_EQ(net.GetTurnWgtVal(1, -9, 12, d), 0);
  EXPECT_EQ(net.GetTurnWgtVal(1, 9, -12, d), 0);
  EXPECT_EQ(net.GetTurnWgtVal(1, 5, 12, d), 0);
  EXPECT_EQ(net.GetTurnWgtVal(1, 4, 0, d), 0);
  EXPECT_EQ(net.GetTurnWgtVal(1, INT_MIN, 4, d), 0);
  EXPECT_EQ(d, -1.0);
}

TEST_F(TurnWeightTest, NodeOutOfRangeOrWithoutConnectionsFails) {
  double d = -1.0;
  for (std::int32_t n : {0, -1, 4, INT_MIN}) EXPECT_EQ(net.GetTurnWgtVal(n, 4, 4, d), 0) << n;
  ASSERT_EQ(net.ReallocNodConnEdgeMemory(2, 0), 1);
  EXPECT_EQ(net.GetTurnWgtVal(2, 1, 1, d), 0);
  EXPECT_EQ(d, -1.0);
}

TEST_F(TurnWeightTest, LastPositionWinsWhenAnEdgeIsListedTwice) {
  net.m_pNodConn[0].pConnEdge[2] = -4;  // list 4, -9, -4
  double d = -1.0;
  ASSERT_EQ(net.GetTurnWgtVal(1, 4, 9, d), 1);
  EXPECT_EQ(d, 107.0);  // row 2, column 1
  ASSERT_EQ(net.GetTurnWgtVal(1, 9, 4, d), 1);
  EXPECT_EQ(d, 105.0);
}

TEST_F(TurnWeightTest, MatrixComesWithTheStoredEntriesInRowOrder) {
  CSmartArray<std::int32_t> edges;
  edges.Add(77);
  CSmartArray<double> weights;
  weights.Add(77.0);
  ASSERT_EQ(net.GetTurnWgtMatrix(1, edges, weights), 1);
  EXPECT_EQ(Elems(edges), (Ints{4, -9, 12}));
  EXPECT_EQ(Elems(weights), (Doubles{100, 101, 102, 103, 104, 105, 106, 107, 108}));
}

TEST_F(TurnWeightTest, MatrixOfANodeOutOfRangeLeavesBothListsUntouched) {
  CSmartArray<std::int32_t> edges;
  edges.Add(77);
  CSmartArray<double> weights;
  weights.Add(77.0);
  for (std::int32_t n : {0, -1, 4, INT_MIN}) EXPECT_EQ(net.GetTurnWgtMatrix(n, edges, weights), 0) << n;
  EXPECT_EQ(Elems(edges), (Ints{77}));
  EXPECT_EQ(Elems(weights), (Doubles{77.0}));
}

TEST_F(TurnWeightTest, NodeWithoutConnectionsGivesTwoEmptyListsWithOrWithoutAMatrix) {
  ASSERT_EQ(net.ReallocNodConnEdgeMemory(3, 0), 1);
  CSmartArray<std::int32_t> edges;
  edges.Add(77);
  CSmartArray<double> weights;
  weights.Add(77.0);
  ASSERT_EQ(net.GetTurnWgtMatrix(3, edges, weights), 1);  // node 3 keeps a 12 x 12 matrix
  EXPECT_EQ(edges.GetSize(), 0);
  EXPECT_EQ(weights.GetSize(), 0);
  ASSERT_EQ(net.ReallocNodTurnWgtMemory(3, 0), 1);
  edges.Add(77);
  ASSERT_EQ(net.GetTurnWgtMatrix(3, edges, weights), 1);
  EXPECT_EQ(edges.GetSize(), 0);
  double d = -1.0;
  EXPECT_EQ(net.GetTurnWgtVal(3, 1, 1, d), 0);
}

TEST(TurnWeightSettingsTest, TurnQueriesFailWithoutTurnWeights) {
  CLocalNetwork net;
  ASSERT_NO_FATAL_FAILURE(NetworkBuilder().Nodes(2).Edge(1, 2).Fill(net));
  double d = -1.0;
  EXPECT_EQ(net.GetTurnWgtVal(1, 1, 1, d), 0);
  EXPECT_EQ(d, -1.0);
  CSmartArray<std::int32_t> edges;
  edges.Add(77);
  CSmartArray<double> weights;
  weights.Add(77.0);
  EXPECT_EQ(net.GetTurnWgtMatrix(1, edges, weights), 0);
  EXPECT_EQ(Elems(edges), (Ints{77}));
  EXPECT_EQ(Elems(weights), (Doubles{77.0}));
}

TEST(TurnWeightSettingsTest, TurnQueriesFailAtANodeThatWasNeverGivenAMatrix) {
  CLocalNetwork net;
  NetworkBuilder b;
  b.Nodes(2).Edge(1, 2).Edge(2, 1);
  b.Size(net);
  net.m_lTurnWgtFlag = 1;
  ASSERT_EQ(net.ReallocMemory(), 1);
  ASSERT_EQ(net.ReallocNodConnEdgeMemory(1, 2), 1);
  net.m_pNodConn[0].pConnEdge[0] = -1;
  net.m_pNodConn[0].pConnEdge[1] = 2;
  double d = -1.0;
  EXPECT_EQ(net.GetTurnWgtVal(1, 1, 2, d), 0);
  EXPECT_EQ(d, -1.0);
  CSmartArray<std::int32_t> edges;
  edges.Add(77);
  CSmartArray<double> weights;
  EXPECT_EQ(net.GetTurnWgtMatrix(1, edges, weights), 0);
  EXPECT_EQ(Elems(edges), (Ints{77}));
}

TEST(TurnWeightSettingsTest, MatrixSmallerThanTheListIsNeverReadPastItsEnd) {
  CLocalNetwork net;
  ASSERT_NO_FATAL_FAILURE(NetworkBuilder().Nodes(2).Edge(1, 2).Edge(2, 1).Edge(1, 1).TurnWgt().Fill(net));
  ASSERT_EQ(net.ReallocNodTurnWgtMemory(1, 2), 1);  // node 1 lists 4 entries, matrix 2 x 2
  double d = -1.0;
  EXPECT_EQ(net.GetTurnWgtVal(1, 3, 3, d), 0);
  CSmartArray<std::int32_t> edges;
  CSmartArray<double> weights;
  EXPECT_EQ(net.GetTurnWgtMatrix(1, edges, weights), 0);
}

TEST(TurnWeightSizeTest, MatrixHasCountSquaredWeightsForEveryCount) {
  // 32767 entries would need an 8 GB matrix; 2000 keeps the test cheap.
  for (std::int32_t n : {1, 2, 3, 17, 255, 2000}) {
    CLocalNetwork net;
    NetworkBuilder b;
    b.Nodes(2).TurnWgt();
    for (std::int32_t e = 1; e <= n; ++e) b.Edge(1, 2);
    ASSERT_NO_FATAL_FAILURE(b.Fill(net));
    double* matrix = net.m_ppTurnWgt[1];
    const std::size_t cells = static_cast<std::size_t>(n) * static_cast<std::size_t>(n);
    for (std::size_t i = 0; i < cells; ++i) matrix[i] = static_cast<double>(i);
    CSmartArray<std::int32_t> edges;
    CSmartArray<double> weights;
    ASSERT_EQ(net.GetTurnWgtMatrix(2, edges, weights), 1) << n;
    ASSERT_EQ(edges.GetSize(), n);
    ASSERT_EQ(static_cast<std::size_t>(weights.GetSize()), cells);
    EXPECT_EQ(edges.GetAt(n - 1), n);
    bool inOrder = true;
    for (std::size_t i = 0; i < cells && inOrder; ++i) inOrder = weights.GetAt(static_cast<std::int32_t>(i)) == i;
    EXPECT_TRUE(inOrder) << n;
    double d = -1.0;
    ASSERT_EQ(net.GetTurnWgtVal(2, n, 1, d), 1);
    EXPECT_EQ(d, static_cast<double>((n - 1) * n));
    ASSERT_EQ(net.GetTurnWgtVal(2, n, n, d), 1);
    EXPECT_EQ(d, static_cast<double>(cells - 1));
  }
}

TEST(WeightSettingsTest, SettingsTurnedOnAfterAllocationFindNoTableAndFail) {
  CLocalNetwork net;
  ASSERT_NO_FATAL_FAILURE(NetworkBuilder().Nodes(2).Edge(1, 2).Edge(2, 1).Fill(net));
  net.m_lNodWgtFld = 1;  // none of these tables was made
  net.m_lEdgeWgtFld1 = 2;
  net.m_lEdgeWgtFld2 = 3;
  net.m_cDmdFld = 0;
  net.m_lTurnWgtFlag = 1;
  NWeightVal_stru w = Untouched();
  double d = -1.0;
  EXPECT_EQ(net.GetNodWgtVal(1, 1, w), 0);
  EXPECT_EQ(net.GetEdgeWgtVal(1, 2, w), 0);
  EXPECT_EQ(net.GetEdgeWgtVal(1, 3, w), 0);
  EXPECT_EQ(net.GetNodDmdVal(1, d), 0);
  EXPECT_EQ(net.GetEdgeDmdVal(1, d), 0);
  EXPECT_EQ(net.GetTurnWgtVal(1, 1, 2, d), 0);
  CSmartArray<std::int32_t> edges;
  CSmartArray<double> weights;
  EXPECT_EQ(net.GetTurnWgtMatrix(1, edges, weights), 0);
  EXPECT_EQ(net.ReallocNodTurnWgtMemory(1, 2), 0);
  EXPECT_TRUE(SameWgt(w, Untouched()));
  EXPECT_EQ(d, -1.0);
  net.m_lNodWgtFld = -1;
  net.m_lEdgeWgtFld1 = -1;
  net.m_lEdgeWgtFld2 = -1;
  net.m_cDmdFld = -1;
  net.m_lTurnWgtFlag = 0;
}
