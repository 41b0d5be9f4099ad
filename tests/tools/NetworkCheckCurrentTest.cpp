// The check of extra edge-weight columns, which only the current build has.
#include <gtest/gtest.h>

#include <string>

#include "kelvane/LocalNetwork.h"
#include "kelvane/tools/NetworkCheck.h"
#include "support/ReferenceBuilder.h"

using namespace kelvane::tools;

TEST(NetworkCheckCurrentTest, ExtraColumnsAreCheckedLikeTheFixedOnes) {
  CLocalNetwork net;
  NetworkBuilder().Nodes(2).Edge(1, 2).Edge(2, 1).ExtFld(7).ExtFld(-1).ExtFld(3).Fill(net);
  EXPECT_TRUE(CheckNetwork(net).empty());  // a negative id has no table, rightly
  net.m_ExtEdgeWgt.GetAt(2)[1].cType = -4;
  std::vector<NFinding_stru> findings = CheckNetwork(net);
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_EQ(findings[0].strText, "edge 2: weight type -4 is unknown (column 3)");
  net.m_ExtEdgeWgt.GetAt(2)[1].cType = 0;
  net.m_ExtEdgeWgtFld.Add(9);  // an id added after the tables were made
  findings = CheckNetwork(net);
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_EQ(findings[0].strText, "there are 3 extra weight tables for 4 extra column ids");
}
