// Flag mapping under a policy: refused whole or flag by flag, ends and repeats
// moved onto nodes or left to the core, and the network untouched on refusal.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "kelvane/tools/FlagMapping.h"
#include "kelvane/tools/NetworkBuilder.h"
#include "support/Flags.h"

using namespace kelvane::tools;

// 1 -e1-> 2 -e2-> 3, and flags: fine on e1, at e2's end, on e1 again at the
// first one's place, on an edge that does not exist.
class FlagMappingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CNetworkBuilder b;
    b.SetNodNum(3);
    b.AddEdge(1, 2);
    b.AddEdge(2, 3);
    ASSERT_EQ(b.Build(net), 1);
    for (const NET_FLGstruct& f : {Flag(2, 1, 0.5), Flag(2, 2, 1.0), Flag(2, 1, 0.5), Flag(2, 9, 0.5)}) flags.Add(f);
  }
  CLocalNetwork net;
  CSmartArray<NET_FLGstruct> flags;
};

TEST_F(FlagMappingTest, StrictPolicyRefusesTheWholeCallAndTouchesNothing) {
  CSplitIndex split;
  NFlagMapping_stru out;
  out.lSplitEdges = 42;
  NFinding_stru err;
  EXPECT_EQ(MapFlags(net, flags, NFlagPolicy_stru(), split, out, &err), 0);
  EXPECT_EQ(err.eKind, NElemKind::Flag);
  EXPECT_EQ(err.lElem, 3);
  EXPECT_NE(err.strText.find("flag 3: edge 9 is not an edge"), std::string::npos) << err.strText;
  EXPECT_EQ(net.m_lNodNum, 3);
  EXPECT_EQ(net.m_lEdgeNum, 2);
  EXPECT_EQ(out.lSplitEdges, 42);
  EXPECT_TRUE(out.flags.empty());
  EXPECT_EQ(split.GetEdgeNum(), 0);
}

TEST_F(FlagMappingTest, LenientPolicyLeavesOutBadFlagsPutsEndsOnNodesAndSharesRepeats) {
  NFlagPolicy_stru policy;
  policy.bLeaveOutBad = true;
  CSplitIndex split;
  NFlagMapping_stru out;
  ASSERT_EQ(MapFlags(net, flags, policy, split, out), 1);
  ASSERT_EQ(out.flags.size(), 4u);
  EXPECT_EQ(out.flags[0].lNod, 4);  // the one new node, halfway along e1
  EXPECT_EQ(out.flags[1].eStatus, NFlagStatus::PosAtEnd);
  EXPECT_EQ(out.flags[1].lNod, 3);
  EXPECT_EQ(out.flags[2].eStatus, NFlagStatus::PosRepeated);
  EXPECT_EQ(out.flags[2].lSameAs, 0);
  EXPECT_EQ(out.flags[2].lNod, 4);
  EXPECT_EQ(out.flags[3].lNod, 0);
  EXPECT_EQ(out.flags[3].strText, "edge 9 is not an edge (the network has edges 1 to 2)");  // the host names the flag
  EXPECT_EQ(out.lNodsBefore, 3);
  EXPECT_EQ(out.lEdgesBefore, 2);
  EXPECT_EQ(out.newNods, std::vector<std::int32_t>{4});
  EXPECT_EQ(out.pieces.size(), 2u);
  EXPECT_EQ(out.lSplitEdges, 1);
  EXPECT_TRUE(split.IsSplit(1));
  EXPECT_FALSE(split.IsSplit(2));
}

TEST_F(FlagMappingTest, CorePolicyMapsEndsAndRepeatsAsMapNetFlagDoes) {
  NFlagPolicy_stru policy;
  policy.bLeaveOutBad = true;
  policy.bEndsOnNodes = false;
  policy.bShareRepeats = false;
  CLocalNetwork raw;
  CNetworkBuilder b;
  b.SetNodNum(3);
  b.AddEdge(1, 2);
  b.AddEdge(2, 3);
  ASSERT_EQ(b.Build(raw), 1);
  CSmartArray<NET_FLGstruct> three, out3;
  for (std::int32_t i = 0; i < 3; ++i) three.Add(flags.GetAt(i));
  CSmartArray<TEMPEDGE_MAP_EDGE> temp;
  CSmartArray<std::int32_t> nods;
  raw.MapNetFlag(three, out3, temp, nods);

  CSplitIndex split;
  NFlagMapping_stru out;
  ASSERT_EQ(MapFlags(net, flags, policy, split, out), 1);
  EXPECT_EQ(out.pieces.size(), static_cast<std::size_t>(temp.GetSize()));
  EXPECT_EQ(out.newNods.size(), static_cast<std::size_t>(nods.GetSize()));
  for (std::int32_t k = 0; k < 3; ++k) EXPECT_EQ(out.flags[static_cast<std::size_t>(k)].lNod, out3.GetAt(k).lElemID);
  EXPECT_EQ(net.m_lEdgeNum, raw.m_lEdgeNum);
}

TEST_F(FlagMappingTest, NoFlagsStillIndexesEveryEdge) {
  CSplitIndex split;
  NFlagMapping_stru out;
  ASSERT_EQ(MapFlags(net, CSmartArray<NET_FLGstruct>(), NFlagPolicy_stru(), split, out), 1);
  EXPECT_EQ(split.GetEdgeNum(), 2);
  EXPECT_EQ(split.GetOriginal(2), 2);
  EXPECT_TRUE(out.flags.empty());
  EXPECT_EQ(net.m_lEdgeNum, 2);
}
