// The first generation has no extra edge-weight columns: asking for one must
// fail the build rather than lose the weights without a word.
#include <gtest/gtest.h>

#include "kelvane/LocalNetwork.h"
#include "kelvane/tools/NetworkBuilder.h"

using namespace kelvane::tools;

TEST(NetworkBuilderGen1Test, AnExtraColumnIsRefused) {
  CNetworkBuilder b;
  b.SetNodNum(2);
  b.AddEdge(1, 2);
  EXPECT_EQ(b.AddExtEdgeWgtFld(7), -1);
  NFinding_stru err;
  CLocalNetwork net;
  EXPECT_EQ(b.Build(net, &err), 0);
  EXPECT_EQ(err.strText, "extra weight column 7: the first generation has no extra columns");
  EXPECT_EQ(net.m_pEdgeNod, nullptr);
}
