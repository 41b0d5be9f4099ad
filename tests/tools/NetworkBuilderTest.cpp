// The builder against a network filled by hand the way a host does it, and
// the faults it must refuse without leaving a half-built network behind.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "kelvane/tools/NetworkBuilder.h"
#include "kelvane/tools/NetworkCheck.h"
#include "support/ReferenceBuilder.h"
#include "support/ReferenceCheck.h"
#include "support/SmallNetwork.h"

using namespace kelvane::tools;

namespace {

NWeightVal_stru FloatWgt(float f) {
  NWeightVal_stru w;
  w.cType = 3;
  std::memcpy(reinterpret_cast<unsigned char*>(&w) + 1, &f, sizeof f);
  return w;
}

// The small network (support/SmallNetwork.h, its lists as drawn there) with
// every table written by hand, as the host fill order has it.
void FillByHand(CLocalNetwork& net) {
  NetworkBuilder hand;
  hand.Nodes(kSmallNetworkNods).NodWgtFld(3).EdgeWgtFld1(5).EdgeWgtFld2(6).DmdFld(0).DirectMode(1).TurnWgt();
  for (const auto& e : SmallNetworkEdges()) hand.Edge(e.first, e.second);
  hand.NodWgt(2, DblWgt(2.5)).NodDmd(4, 3.0).NodState(3, 1);
  hand.EdgeWgt1(1, IntWgt(10)).EdgeWgt1(6, FloatWgt(1.5f)).EdgeWgt2(4, DblWgt(-2.0));
  hand.EdgeDmd(2, 7.25).EdgeState(2, 1, 0).EdgeState(5, 0, 1).Direct(3, 2).Direct(6, 1);
  // Node 2, list 1 -2 -6: from e1 into e2 is row 0, column 1.
  hand.TurnMatrix(2, {0, 4.5, 0, 0, 0, 0, 0, 0, 0});
  // Node 4, list 4 5 -5 6: the loop e5 stands at 1 and 2, so from e4 into e5
  // is row 0, columns 1 and 2; from e5 into e6 rows 1 and 2, column 3.
  hand.TurnMatrix(4, {0, 7, 7, 0, 0, 0, 0, 8, 0, 0, 0, 8, 0, 0, 0, 0});
  hand.Fill(net);
}

void FillWithBuilder(CNetworkBuilder& b) {
  b.SetNodWgtFld(3);
  b.SetEdgeWgtFld1(5);
  b.SetEdgeWgtFld2(6);
  b.SetDmdFld(0);
  ASSERT_EQ(b.SetEdgeDirectMode(1), 1);
  ASSERT_EQ(AddSmallNetwork(b), 1);
  b.SetNodWgt(2, DblWgt(2.5));
  b.SetNodDmd(4, 3.0);
  b.SetNodState(3, 1);
  b.SetEdgeWgt1(1, IntWgt(10));
  b.SetEdgeWgt1(6, FloatWgt(1.5f));
  b.SetEdgeWgt2(4, DblWgt(-2.0));
  b.SetEdgeDmd(2, 7.25);
  b.SetEdgeState(2, 1, 0);
  b.SetEdgeState(5, 0, 1);
  b.SetEdgeDirect(3, 2);
  b.SetEdgeDirect(6, 1);
  b.SetTurnWgt(2, 1, 2, 1.0);
  b.SetTurnWgt(2, 1, 2, 4.5);  // the later value holds
  b.SetTurnWgt(4, 4, 5, 7.0);
  b.SetTurnWgt(4, 5, 6, 8.0);
  ASSERT_FALSE(b.HasError());
}

}  // namespace

TEST(NetworkBuilderTest, BuildsTheSameTablesAsAHostFillingByHand) {
  CLocalNetwork hand;
  FillByHand(hand);
  CNetworkBuilder b;
  FillWithBuilder(b);
  CLocalNetwork built;
  NFinding_stru err;
  ASSERT_EQ(b.Build(built, &err), 1) << err.strText;
  ExpectSameNetwork(hand, built);
  ExpectConsistent(built);
  EXPECT_TRUE(CheckNetwork(built).empty());
}

TEST(NetworkBuilderTest, TurnWeightsAreFoundByTheTurnQueries) {
  CNetworkBuilder b;
  FillWithBuilder(b);
  CLocalNetwork net;
  ASSERT_EQ(b.Build(net), 1);
  double d = -1;
  ASSERT_EQ(net.GetTurnWgtVal(2, 1, 2, d), 1);
  EXPECT_EQ(d, 4.5);
  ASSERT_EQ(net.GetTurnWgtVal(2, 2, 1, d), 1);
  EXPECT_EQ(d, 0.0);
  ASSERT_EQ(net.GetTurnWgtVal(4, 4, 5, d), 1);
  EXPECT_EQ(d, 7.0);
  ASSERT_EQ(net.GetTurnWgtVal(4, 5, 6, d), 1);
  EXPECT_EQ(d, 8.0);
}

TEST(NetworkBuilderTest, TablesTheSettingsDoNotAskForAreNotMade) {
  CNetworkBuilder b;
  b.SetNodNum(3);
  b.AddEdge(1, 2);
  b.AddEdge(2, 3);
  b.AddNod();  // node 4, with no connections
  CLocalNetwork net;
  ASSERT_EQ(b.Build(net), 1);
  EXPECT_EQ(net.m_lNodNum, 4);
  EXPECT_EQ(net.m_lEdgeNum, 2);
  EXPECT_EQ(net.m_pNodWgt, nullptr);
  EXPECT_EQ(net.m_pEdgeWgt1, nullptr);
  EXPECT_EQ(net.m_pEdgeWgt2, nullptr);
  EXPECT_EQ(net.m_ppTurnWgt, nullptr);
  EXPECT_EQ(net.m_pEdgeDirect, nullptr);
  EXPECT_EQ(net.m_pNodDmd, nullptr);
  EXPECT_EQ(net.m_pEdgeDmd, nullptr);
  EXPECT_EQ(net.m_pNodConn[3].sConnNum, 0);
  CSmartArray<std::int32_t> edges;
  ASSERT_EQ(net.GetNodConnEdgeS(2, edges), 1);
  EXPECT_EQ(Elems(edges), (std::vector<std::int32_t>{1, 2}));
  ExpectConsistent(net);
  EXPECT_TRUE(CheckNetwork(net).empty());
}

TEST(NetworkBuilderTest, BuildingAgainReplacesWhatTheNetworkHeld) {
  CNetworkBuilder big;
  FillWithBuilder(big);
  CLocalNetwork net;
  ASSERT_EQ(big.Build(net), 1);
  CNetworkBuilder small;
  small.SetNodNum(2);
  small.AddEdge(2, 1);
  ASSERT_EQ(small.Build(net), 1);
  EXPECT_EQ(net.m_lNodNum, 2);
  EXPECT_EQ(net.m_lEdgeNum, 1);
  EXPECT_EQ(net.m_lTurnWgtFlag, 0);
  EXPECT_EQ(net.m_ppTurnWgt, nullptr);
  EXPECT_EQ(net.m_pNodConn[0].pConnEdge[0], 1);
  EXPECT_EQ(net.m_pNodConn[1].pConnEdge[0], -1);
  EXPECT_TRUE(CheckNetwork(net).empty());
}

TEST(NetworkBuilderTest, ANodeTakesExactly32767Connections) {
  CNetworkBuilder b;
  b.SetNodNum(32768);
  for (std::int32_t v = 2; v <= 32768; ++v) b.AddEdge(1, v);
  CLocalNetwork net;
  NFinding_stru err;
  ASSERT_EQ(b.Build(net, &err), 1) << err.strText;
  EXPECT_EQ(net.m_pNodConn[0].sConnNum, 32767);
  EXPECT_EQ(net.m_pNodConn[0].pConnEdge[32766], -32767);
}

struct BuildFault {
  const char* pszName;
  std::function<void(CNetworkBuilder&)> make;
  NElemKind eKind;
  std::int32_t lElem;
  const char* pszText;  // part of the message
};

TEST(NetworkBuilderTest, BadInputIsNamedAndLeavesTheNetworkUntouched) {
  const std::vector<BuildFault> faults = {
      {"to node beyond the nodes",
       [](CNetworkBuilder& b) {
         b.SetNodNum(3);
         b.AddEdge(1, 2);
         b.AddEdge(2, 4);
       },
       NElemKind::Edge, 2, "edge 2: to node 4 is not a node"},
      {"from node 0",
       [](CNetworkBuilder& b) {
         b.SetNodNum(3);
         b.AddEdge(0, 1);
       },
       NElemKind::Edge, 1, "edge 1: from node 0 is not a node"},
      {"node count lowered below an end node",
       [](CNetworkBuilder& b) {
         b.SetNodNum(3);
         b.AddEdge(1, 3);
         b.SetNodNum(2);
       },
       NElemKind::Edge, 1, "edge 1: to node 3 is not a node"},
      {"more than 32767 connections",
       [](CNetworkBuilder& b) {
         b.SetNodNum(32770);
         for (std::int32_t v = 2; v <= 32770; ++v) b.AddEdge(v, 1);
       },
       NElemKind::Node, 1, "node 1: 32769 connections"},
      {"a loop counts twice",
       [](CNetworkBuilder& b) {
         b.SetNodNum(2);
         for (std::int32_t i = 0; i < 16384; ++i) b.AddEdge(2, 2);
       },
       NElemKind::Node, 2, "node 2: 32768 connections"},
      {"negative node count", [](CNetworkBuilder& b) { EXPECT_EQ(b.SetNodNum(-1), 0); }, NElemKind::Network, 0,
       "node count -1 is negative"},
      {"negative edge count", [](CNetworkBuilder& b) { EXPECT_EQ(b.Reserve(-5), 0); }, NElemKind::Network, 0,
       "edge count -5 is negative"},
      {"value for an edge not added",
       [](CNetworkBuilder& b) {
         b.SetNodNum(2);
         b.AddEdge(1, 2);
         b.SetDmdFld(0);
         EXPECT_EQ(b.SetEdgeDmd(2, 1.0), 0);
       },
       NElemKind::Edge, 2, "edge 2: a demand given, but only 1 edges"},
      {"value for a node beyond the count",
       [](CNetworkBuilder& b) {
         b.SetNodNum(2);
         EXPECT_EQ(b.SetNodState(0, 1), 0);
       },
       NElemKind::Node, 0, "node 0: a state given"},
      {"weights for a column without an id",
       [](CNetworkBuilder& b) {
         b.SetNodNum(2);
         b.AddEdge(1, 2);
         b.SetEdgeWgt1(1, DblWgt(1.0));
       },
       NElemKind::Network, 0, "column 1, but its column id is negative"},
      {"demand without a demand field",
       [](CNetworkBuilder& b) {
         b.SetNodNum(2);
         b.SetNodDmd(1, 1.0);
       },
       NElemKind::Network, 0, "demand values are given"},
      {"turn through an edge away from the node",
       [](CNetworkBuilder& b) {
         b.SetNodNum(3);
         b.AddEdge(1, 2);
         b.AddEdge(2, 3);
         b.SetTurnWgt(1, 1, 2, 1.0);
       },
       NElemKind::Node, 1, "edge 2 does not meet node 1"},
      {"turn weights switched off again",
       [](CNetworkBuilder& b) {
         b.SetNodNum(2);
         b.AddEdge(1, 2);
         b.SetTurnWgt(1, 1, 1, 1.0);
         b.SetTurnWgtFlag(0);
       },
       NElemKind::Network, 0, "turn-weight flag is 0"},
      {"direction mode 3", [](CNetworkBuilder& b) { EXPECT_EQ(b.SetEdgeDirectMode(3), 0); }, NElemKind::Network, 0,
       "direction mode 3"},
      {"extra column with a negative id", [](CNetworkBuilder& b) { EXPECT_EQ(b.AddExtEdgeWgtFld(-2), -1); },
       NElemKind::Network, 0, "extra weight column"},
  };
  for (const BuildFault& fault : faults) {
    SCOPED_TRACE(fault.pszName);
    CNetworkBuilder good;
    FillWithBuilder(good);
    CLocalNetwork net;
    ASSERT_EQ(good.Build(net), 1);
    const NEdgeNod_stru* pEdgeNod = net.m_pEdgeNod;

    CNetworkBuilder b;
    fault.make(b);
    NFinding_stru err;
    EXPECT_EQ(b.Build(net, &err), 0);
    EXPECT_EQ(err.eKind, fault.eKind);
    EXPECT_EQ(err.lElem, fault.lElem);
    EXPECT_NE(err.strText.find(fault.pszText), std::string::npos) << err.strText;
    EXPECT_EQ(net.m_lNodNum, 4);
    EXPECT_EQ(net.m_lEdgeNum, 6);
    EXPECT_EQ(net.m_pEdgeNod, pEdgeNod);
    EXPECT_TRUE(CheckNetwork(net).empty());
  }
}

TEST(NetworkBuilderTest, TheFirstRefusalIsTheOneReported) {
  CNetworkBuilder b;
  b.SetNodNum(2);
  EXPECT_EQ(b.SetNodWgt(5, DblWgt(1.0)), 0);
  EXPECT_EQ(b.SetNodNum(-3), 0);
  EXPECT_EQ(b.GetNodNum(), 2);  // a refused count changes nothing
  NFinding_stru err;
  CLocalNetwork net;
  EXPECT_EQ(b.Build(net, &err), 0);
  EXPECT_EQ(err.lElem, 5);
  EXPECT_EQ(net.m_pEdgeNod, nullptr);
}
