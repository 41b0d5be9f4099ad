// The whole-network check: silent on every network a host or flag mapping
// makes correctly, and one plain finding for each kind of fault.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "kelvane/tools/NetworkBuilder.h"
#include "kelvane/tools/NetworkCheck.h"
#include "support/Flags.h"
#include "support/ReferenceBuilder.h"
#include "support/ReferenceCheck.h"
#include "support/SmallNetwork.h"

using namespace kelvane::tools;

namespace {

std::vector<std::string> Texts(const std::vector<NFinding_stru>& findings) {
  std::vector<std::string> texts;
  for (const NFinding_stru& f : findings) texts.push_back(f.strText);
  return texts;
}

NET_FLGstruct EdgeFlag(std::int32_t e, double dPos) { return Flag(2, e, dPos); }

}  // namespace

// The small network (support/SmallNetwork.h), every edge of cost 2.
class NetworkCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CNetworkBuilder b;
    b.SetEdgeWgtFld1(5);
    b.SetDmdFld(0);
    b.SetTurnWgtFlag(1);
    ASSERT_EQ(AddSmallNetwork(b, [&b](std::int32_t e) { b.SetEdgeWgt1(e, DblWgt(2.0)); }), 1);
    NFinding_stru err;
    ASSERT_EQ(b.Build(net, &err), 1) << err.strText;
    ASSERT_TRUE(CheckNetwork(net).empty());
  }
  std::int32_t* List(std::int32_t v) { return net.m_pNodConn[v - 1].pConnEdge; }
  CLocalNetwork net;
};

TEST_F(NetworkCheckTest, AnEndNodeThatIsNotANodeIsNamed) {
  net.m_pEdgeNod[3].lToNod = 0;
  EXPECT_EQ(Texts(CheckNetwork(net)), (std::vector<std::string>{"edge 4: to node 0 is not a node",
                                                                "node 4 lists edge 4, which does not end at node 4"}));
  const std::vector<NFinding_stru> findings = CheckNetwork(net);
  EXPECT_EQ(findings[0].eKind, NElemKind::Edge);
  EXPECT_EQ(findings[0].lElem, 4);
  EXPECT_EQ(findings[1].eKind, NElemKind::Node);
  EXPECT_EQ(findings[1].lElem, 4);
}

TEST_F(NetworkCheckTest, AConnectionEntryNamingNoEdgeIsNamed) {
  List(3)[1] = 41;
  EXPECT_EQ(Texts(CheckNetwork(net)),
            (std::vector<std::string>{"node 3: connection entry 41 names no edge",
                                      "edge 3 is missing from the list of its from node 3 (as -3)"}));
  List(3)[1] = 0;
  EXPECT_EQ(Texts(CheckNetwork(net))[0], "node 3: connection entry 0 names no edge");
  List(3)[1] = INT32_MIN;
  EXPECT_EQ(Texts(CheckNetwork(net))[0], "node 3: connection entry -2147483648 names no edge");
}

TEST_F(NetworkCheckTest, AnEntryWhoseEdgeDoesNotMeetTheNodeThatWayIsNamed) {
  List(2)[0] = 4;  // edge 4 ends at node 4
  EXPECT_EQ(Texts(CheckNetwork(net)),
            (std::vector<std::string>{"node 2 lists edge 4, which does not end at node 2",
                                      "edge 1 is missing from the list of its to node 2 (as 1)"}));
  List(2)[0] = -1;  // right edge, wrong sign: edge 1 starts at node 1
  EXPECT_EQ(Texts(CheckNetwork(net)),
            (std::vector<std::string>{"node 2 lists edge -1, which does not start at node 2",
                                      "edge 1 is missing from the list of its to node 2 (as 1)"}));
}

TEST_F(NetworkCheckTest, AnEdgeListedTwiceIsNamed) {
  List(4)[3] = 4;  // 4 5 -5 4: edge 6 gone, edge 4 twice
  EXPECT_EQ(Texts(CheckNetwork(net)),
            (std::vector<std::string>{"node 4 lists edge 4 more than once",
                                      "edge 6 is missing from the list of its to node 4 (as 6)"}));
}

TEST_F(NetworkCheckTest, ADeletedEdgeThatIsStillListedIsNamed) {
  net.m_pUpEdgeState[5] = 2;
  net.m_pDownEdgeState[5] = 2;
  EXPECT_EQ(Texts(CheckNetwork(net)), (std::vector<std::string>{"node 2 lists edge -6, which is deleted",
                                                                "node 4 lists edge 6, which is deleted"}));
}

TEST_F(NetworkCheckTest, MissingAndShortTurnMatricesAreNamed) {
  double* saved = net.m_ppTurnWgt[1];
  net.m_ppTurnWgt[1] = nullptr;
  EXPECT_EQ(Texts(CheckNetwork(net)), (std::vector<std::string>{"node 2: no turn matrix"}));
  net.m_ppTurnWgt[1] = saved;
  net.m_pNodConn[0].sConnNum = 3;  // the list and the matrix were made for 2
  EXPECT_EQ(Texts(CheckNetwork(net)),
            (std::vector<std::string>{"node 1: 3 connections, but its list holds 2 entries",
                                      "node 1: its turn matrix holds 4 values, but 3 connections need 9"}));
  net.m_pNodConn[0].sConnNum = 2;
}

TEST_F(NetworkCheckTest, AnUnknownWeightTypeIsNamed) {
  net.m_pEdgeWgt1[3].cType = 9;
  EXPECT_EQ(Texts(CheckNetwork(net)), (std::vector<std::string>{"edge 4: weight type 9 is unknown (column 5)"}));
}

TEST_F(NetworkCheckTest, CountsAndSettingsThatDisagreeWithTheTablesAreNamed) {
  net.m_lTurnWgtFlag = 3;
  net.m_cEdgeDirectMode = 7;
  net.m_lEdgeWgtFld1 = -1;
  EXPECT_EQ(Texts(CheckNetwork(net)),
            (std::vector<std::string>{
                "the turn-weight flag 3 is not 0 or 1", "the direction mode 7 is not 0, 1 or 2",
                "there is a column 1 edge weight table, but its column id says there is none, so no query reads it",
                "there is a turn matrix table, but the turn-weight flag says there is none, so no query reads it"}));
  net.m_lTurnWgtFlag = 1;
  net.m_cEdgeDirectMode = 0;
  net.m_lEdgeWgtFld1 = 5;

  net.m_lNodNum = 5;  // one more than the tables hold: reported, and not read
  const std::vector<std::string> texts = Texts(CheckNetwork(net));
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts[0], "the connection table holds 4 entries, but the network has 5 nodes");
  net.m_lNodNum = -2;
  EXPECT_EQ(Texts(CheckNetwork(net))[0], "the node count -2 is negative");
  net.m_lNodNum = 4;
}

TEST_F(NetworkCheckTest, ANetworkNeverAllocatedIsReportedNotRead) {
  CLocalNetwork empty;
  empty.m_lNodNum = 2;
  empty.m_lEdgeNum = 1;
  const std::vector<std::string> texts = Texts(CheckNetwork(empty));
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts[0], "there is no end-node table for the 1 edges (ReallocMemory has not run)");
}

TEST_F(NetworkCheckTest, TheCheckStopsAtTheGivenNumberOfFindings) {
  for (std::int32_t e = 1; e <= 6; ++e) net.m_pEdgeWgt1[e - 1].cType = 12;
  EXPECT_EQ(CheckNetwork(net).size(), 6u);
  EXPECT_EQ(CheckNetwork(net, 2).size(), 2u);
}

TEST(NetworkCheckGoodTest, NothingIsFoundOnAHandFilledNetwork) {
  CLocalNetwork net;
  NetworkBuilder()
      .Nodes(5)
      .Edge(1, 2)
      .Edge(2, 3)
      .Edge(3, 3)
      .Edge(3, 1)
      .EdgeWgtFld1(0)
      .EdgeWgtFld2(1)
      .NodWgtFld(2)
      .DmdFld(0)
      .DirectMode(2)
      .TurnWgt()
      .BlockEdge(2)
      .BlockNod(5)
      .EdgeWgt1(1, IntWgt(3))
      .Fill(net);
  EXPECT_TRUE(CheckNetwork(net).empty());
}

TEST(NetworkCheckGoodTest, NothingIsFoundAfterFlagMapping) {
  CNetworkBuilder b;
  b.SetEdgeWgtFld1(5);
  b.SetEdgeWgtFld2(6);
  b.SetDmdFld(0);
  b.SetTurnWgtFlag(1);
  b.SetEdgeDirectMode(1);
  ASSERT_EQ(AddSmallNetwork(b, [&b](std::int32_t e) { b.SetEdgeWgt1(e, DblWgt(2.0)); }), 1);
  CLocalNetwork net;
  ASSERT_EQ(b.Build(net), 1);

  // Flags at the ends, repeated positions, several on one edge, on the loop,
  // out of range and on a node: every case mapping accepts or passes over.
  CSmartArray<NET_FLGstruct> in;
  CSmartArray<NET_FLGstruct> out;
  CSmartArray<TEMPEDGE_MAP_EDGE> temp;
  CSmartArray<std::int32_t> nods;
  for (const NET_FLGstruct& f : {EdgeFlag(1, 0.5), EdgeFlag(2, 0.0), EdgeFlag(2, 1.0), EdgeFlag(4, 0.3),
                                 EdgeFlag(4, 0.3), EdgeFlag(4, 0.9), EdgeFlag(5, 0.5), EdgeFlag(99, 0.5)}) {
    in.Add(f);
  }
  ASSERT_EQ(net.MapNetFlag(in, out, temp, nods), 1);
  ASSERT_GT(temp.GetSize(), 0);
  EXPECT_EQ(Texts(CheckNetwork(net)), std::vector<std::string>());
  ExpectConsistent(net);

  // A second mapping, on pieces of the first.
  CSmartArray<NET_FLGstruct> in2;
  in2.Add(EdgeFlag(temp.GetAt(0).lTempEdgeID, 0.5));
  in2.Add(EdgeFlag(3, 0.25));
  ASSERT_EQ(net.MapNetFlag(in2, out, temp, nods), 1);
  EXPECT_EQ(Texts(CheckNetwork(net)), std::vector<std::string>());
}
