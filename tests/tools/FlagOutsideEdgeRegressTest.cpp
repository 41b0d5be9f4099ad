// Regression: flag mapping accepts a position outside 0 to 1 and cuts the
// edge into pieces whose shares are negative. A view built with the split
// index gave those pieces negative costs, and a least-cost search went round
// the negative loop for ever. Such a piece is now no way, as any negative
// cost is. Found by fuzz/AnalysisFuzz.cpp (fuzz/regress/analysis-flag-outside-edge-hang).
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "kelvane/tools/NetworkBuilder.h"
#include "kelvane/tools/NetworkView.h"
#include "kelvane/tools/ShortestPath.h"
#include "kelvane/tools/SplitIndex.h"

using namespace kelvane::tools;

TEST(FlagOutsideEdgeRegressTest, SearchesEndWhenAFlagLiesBeforeItsEdge) {
  CNetworkBuilder b;
  b.SetNodNum(2);
  b.SetEdgeWgtFld1(0);
  NWeightVal_stru w;
  w.cType = 4;
  w.dVal = 2.0;
  b.SetEdgeWgt1(b.AddEdge(1, 2), w);
  CLocalNetwork net;
  ASSERT_EQ(b.Build(net), 1);

  CSmartArray<NET_FLGstruct> flags;
  NET_FLGstruct f = NET_FLGstruct();
  f.cFlgType = 2;
  f.lElemID = 1;
  f.dPos = -0.5;  // shares -0.5 and 1.5
  flags.Add(f);
  CSmartArray<NET_FLGstruct> out;
  CSmartArray<TEMPEDGE_MAP_EDGE> temp;
  CSmartArray<std::int32_t> nods;
  ASSERT_EQ(net.MapNetFlag(flags, out, temp, nods), 1);
  CSplitIndex split;
  ASSERT_EQ(split.Build(net, flags, out, temp), 1);

  NViewOptions_stru opt;
  opt.lAlongFld = 0;
  opt.pSplit = &split;
  CNetworkView view;
  ASSERT_EQ(view.Build(net, opt), 1);
  for (std::int32_t e = 1; e <= view.GetEdgeNum(); ++e) {
    EXPECT_GE(view.CostAlong()[e], 0.0) << "edge " << e;
    EXPECT_GE(view.CostAgainst()[e], 0.0) << "edge " << e;
  }
  NRouteOptions_stru route;
  route.bDirected = false;
  std::vector<double> costs;
  EXPECT_EQ(FindCostsFrom(view, 1, route, costs), 1);  // returns at all
}
