// Extra edge-weight columns, which only the current build has.
#include <gtest/gtest.h>

#include <cstdint>

#include "kelvane/LocalNetwork.h"
#include "kelvane/tools/NetworkBuilder.h"
#include "kelvane/tools/NetworkCheck.h"
#include "support/ReferenceBuilder.h"
#include "support/ReferenceCheck.h"

using namespace kelvane::tools;

TEST(NetworkBuilderCurrentTest, ExtraColumnsMatchAHandFilledNetwork) {
  NetworkBuilder hand;
  hand.Nodes(3).Edge(1, 2).Edge(2, 3).ExtFld(7).ExtFld(3);
  hand.ExtWgt(0, 2, DblWgt(1.25)).ExtWgt(1, 1, IntWgt(-4));
  CLocalNetwork byHand;
  hand.Fill(byHand);

  CNetworkBuilder b;
  b.SetNodNum(3);
  b.AddEdge(1, 2);
  b.AddEdge(2, 3);
  EXPECT_EQ(b.AddExtEdgeWgtFld(7), 0);
  EXPECT_EQ(b.AddExtEdgeWgtFld(3), 1);
  b.SetExtEdgeWgt(0, 2, DblWgt(1.25));
  b.SetExtEdgeWgt(1, 1, IntWgt(-4));
  CLocalNetwork built;
  ASSERT_EQ(b.Build(built), 1);
  ExpectSameNetwork(byHand, built);
  NWeightVal_stru w;
  ASSERT_EQ(built.GetEdgeWgtVal(2, 7, w), 1);
  EXPECT_TRUE(SameWgt(w, DblWgt(1.25)));
  EXPECT_TRUE(CheckNetwork(built).empty());
}

TEST(NetworkBuilderCurrentTest, AWeightForAColumnNeverAddedIsRefused) {
  CNetworkBuilder b;
  b.SetNodNum(2);
  b.AddEdge(1, 2);
  EXPECT_EQ(b.SetExtEdgeWgt(0, 1, DblWgt(1.0)), 0);
  NFinding_stru err;
  CLocalNetwork net;
  EXPECT_EQ(b.Build(net, &err), 0);
  EXPECT_EQ(err.strText, "edge 1: a weight given for extra column 0, which was never added");
}
