// Flag statuses before mapping, and that they agree with what mapping then
// does with each flag.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "kelvane/tools/NetworkBuilder.h"
#include "kelvane/tools/NetworkCheck.h"
#include "support/Flags.h"
#include "support/SmallNetwork.h"

using namespace kelvane::tools;

// The small network (support/SmallNetwork.h), with e6 split once already
// (node 5, pieces 7 and 8).
class FlagCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CNetworkBuilder b;
    ASSERT_EQ(AddSmallNetwork(b), 1);
    ASSERT_EQ(b.Build(net), 1);
    CSmartArray<NET_FLGstruct> in;
    in.Add(Flag(2, 6, 0.5));
    ASSERT_EQ(net.MapNetFlag(in, out, temp, nods), 1);
    ASSERT_EQ(net.m_lEdgeNum, 8);

    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const NET_FLGstruct& f :
         {Flag(1, 2), Flag(1, 0), Flag(1, 99), Flag(7, 3), Flag(2, 0, 0.5), Flag(2, 99, 0.5), Flag(2, 6, 0.5),
          Flag(2, 1, nan), Flag(2, 1, -0.1), Flag(2, 1, 1.5), Flag(2, 1, 0.5), Flag(2, 1, 0.5), Flag(2, 2, 0.0),
          Flag(2, 2, 1.0), Flag(2, 2, 0.0), Flag(2, 7, 0.25)}) {
      flags.Add(f);
    }
  }
  CLocalNetwork net;
  CSmartArray<NET_FLGstruct> flags;
  CSmartArray<NET_FLGstruct> out;
  CSmartArray<TEMPEDGE_MAP_EDGE> temp;
  CSmartArray<std::int32_t> nods;
};

TEST_F(FlagCheckTest, EachFlagGetsTheStatusOfItsFirstFault) {
  std::vector<NFlagCheck_stru> checks;
  EXPECT_EQ(CheckFlags(net, flags, checks), 13);
  using S = NFlagStatus;
  const std::vector<S> want = {S::Fine,          S::NodOutOfRange,  S::NodOutOfRange, S::OtherKind,
                               S::EdgeOutOfRange, S::EdgeOutOfRange, S::EdgeSplit,     S::PosNaN,
                               S::PosOutOfRange, S::PosOutOfRange,  S::Fine,          S::PosRepeated,
                               S::PosAtEnd,      S::PosAtEnd,       S::PosRepeated,   S::Fine};
  ASSERT_EQ(checks.size(), want.size());
  for (std::size_t j = 0; j < want.size(); ++j) {
    EXPECT_EQ(checks[j].eStatus, want[j]) << "flag " << j << ": " << checks[j].strText;
    EXPECT_EQ(checks[j].strText.empty(), want[j] == S::Fine) << "flag " << j;
  }
  EXPECT_EQ(checks[11].lOther, 10);
  EXPECT_EQ(checks[14].lOther, 12);
  EXPECT_EQ(checks[10].lOther, -1);
  EXPECT_EQ(checks[6].strText, "flag 6: edge 6 was split (or deleted) already; flag its pieces instead");
  EXPECT_EQ(checks[11].strText,
            "flag 11: position 0.5 on edge 1 repeats flag 10; a piece of length 0 will join their nodes");
  EXPECT_EQ(checks[13].strText,
            "flag 13: position 1 is at the to node 3 of edge 2; a piece of length 0 will result (a node flag on "
            "node 3 would do)");
  EXPECT_EQ(checks[9].strText, "flag 9: position 1.5 on edge 1 is above 1; it must lie from 0 to 1");
}

TEST_F(FlagCheckTest, AnEdgeWhoseEndsAreNotNodesCannotBeSplit) {
  net.m_pEdgeNod[2].lToNod = 0;
  CSmartArray<NET_FLGstruct> one;
  one.Add(Flag(2, 3, 0.5));
  std::vector<NFlagCheck_stru> checks;
  EXPECT_EQ(CheckFlags(net, one, checks), 1);
  EXPECT_EQ(checks[0].eStatus, NFlagStatus::EdgeEndsBroken);
  EXPECT_EQ(checks[0].strText, "flag 0: edge 3 runs from 3 to 0, which are not both nodes; it cannot be split");
}

TEST_F(FlagCheckTest, StatusesAgreeWithWhatMappingDoes) {
  std::vector<NFlagCheck_stru> checks;
  CheckFlags(net, flags, checks);
  ASSERT_EQ(net.MapNetFlag(flags, out, temp, nods), 1);
  for (std::int32_t j = 0; j < flags.GetSize(); ++j) {
    if (flags.GetAt(j).cFlgType != 2) continue;
    const NFlagStatus s = checks[static_cast<std::size_t>(j)].eStatus;
    const bool bMapped = s == NFlagStatus::Fine || s == NFlagStatus::PosOutOfRange ||
                         s == NFlagStatus::PosRepeated || s == NFlagStatus::PosAtEnd;
    EXPECT_EQ(out.GetAt(j).cFlgType == 1, bMapped) << "flag " << j;
  }
}

TEST_F(FlagCheckTest, NoFlagsGiveNoChecks) {
  CSmartArray<NET_FLGstruct> none;
  std::vector<NFlagCheck_stru> checks(3);
  EXPECT_EQ(CheckFlags(net, none, checks), 0);
  EXPECT_TRUE(checks.empty());
}
