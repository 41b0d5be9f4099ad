// Service areas and paths on a network cut by a flag: the shares of partly
// reached edges, and both folded back onto the edges the host's users know.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "kelvane/tools/NetworkBuilder.h"
#include "kelvane/tools/NetworkView.h"
#include "kelvane/tools/ServiceArea.h"
#include "kelvane/tools/ShortestPath.h"
#include "kelvane/tools/SplitIndex.h"
#include "support/Flags.h"
#include "support/ReferenceBuilder.h"

using namespace kelvane::tools;

namespace {

// 1 -e1(cost 4)- 2 -e2(cost 2)- 3, a flag on e1 at 0.25: its pieces cost 1
// (node 1 to the flag's node 4) and 3 (node 4 to node 2).
class ServiceAreaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CNetworkBuilder b;
    b.SetEdgeWgtFld1(0);
    b.SetNodNum(3);
    ASSERT_EQ(b.AddEdge(1, 2), 1);
    ASSERT_EQ(b.AddEdge(2, 3), 2);
    b.SetEdgeWgt1(1, DblWgt(4.0));
    b.SetEdgeWgt1(2, DblWgt(2.0));
    ASSERT_EQ(b.Build(net), 1);
    in.Add(Flag(2, 1, 0.25));
    ASSERT_EQ(net.MapNetFlag(in, out, temp, nods), 1);
    NFinding_stru err;
    ASSERT_EQ(split.Build(net, in, out, temp, &err), 1) << err.strText;
    NViewOptions_stru opt;
    opt.lAlongFld = 0;
    opt.pSplit = &split;
    ASSERT_EQ(view.Build(net, opt, &err), 1) << err.strText;
    CSmartArray<NEdgePiece_stru> pieces;
    ASSERT_EQ(split.GetPieceS(1, pieces), 1);
    ASSERT_EQ(pieces.GetSize(), 2);
    near = pieces.GetAt(0).lEdge;
    far = pieces.GetAt(1).lEdge;
  }

  // The area's edges as (edge, from share, to share), each checked to 1e-12.
  static void ExpectEdges(const std::vector<NAreaEdge_stru>& got, const std::vector<NAreaEdge_stru>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].lEdge, want[i].lEdge);
      EXPECT_NEAR(got[i].dFromFrac, want[i].dFromFrac, 1e-12) << "edge " << got[i].lEdge;
      EXPECT_NEAR(got[i].dToFrac, want[i].dToFrac, 1e-12) << "edge " << got[i].lEdge;
    }
  }

  CLocalNetwork net;
  CSmartArray<NET_FLGstruct> in, out;
  CSmartArray<TEMPEDGE_MAP_EDGE> temp;
  CSmartArray<std::int32_t> nods;
  CSplitIndex split;
  CNetworkView view;
  std::int32_t near = 0;
  std::int32_t far = 0;
};

TEST_F(ServiceAreaTest, PartlyReachedPiecesFoldIntoSharesOfTheOriginalEdge) {
  NServiceArea_stru area;
  ASSERT_EQ(FindServiceArea(view, {1, 3}, 2.5, NRouteOptions_stru(), area), 1);
  EXPECT_EQ(area.nods, (std::vector<std::int32_t>{1, 2, 3, 4}));
  EXPECT_EQ(area.costs, (std::vector<double>{0.0, 2.0, 0.0, 1.0}));
  // Node 4 (cost 1) reaches half of the far piece; node 2 (cost 2) a sixth of
  // it and a quarter of e2; node 3 the whole of e2.
  std::vector<NAreaEdge_stru> want = {{2, 0.25, 1.0}, {near, 1.0, 1.0}, {far, 0.5, 1.0 / 6}};
  if (near > far) std::swap(want[1], want[2]);
  ExpectEdges(area.edges, want);

  std::vector<NAreaEdge_stru> folded;
  ASSERT_EQ(FoldServiceArea(split, area, folded), 1);
  ExpectEdges(folded, {{1, 0.25 + 0.5 * 0.75, 0.75 / 6}, {2, 0.25, 1.0}});

  // A limit that is no cost is refused, the area and the fold untouched.
  const NServiceArea_stru before = area;
  NFinding_stru err;
  EXPECT_EQ(FindServiceArea(view, {1}, std::numeric_limits<double>::quiet_NaN(), NRouteOptions_stru(), area, &err), 0);
  EXPECT_EQ(FindServiceArea(view, {1}, -1.0, NRouteOptions_stru(), area, &err), 0);
  EXPECT_EQ(area.nods, before.nods);
  NServiceArea_stru bad = area;
  bad.edges.push_back(NAreaEdge_stru{99, 1.0, 0.0});
  EXPECT_EQ(FoldServiceArea(split, bad, folded), 0);
  EXPECT_EQ(folded.size(), 2U);
}

TEST_F(ServiceAreaTest, APathOverPiecesFoldsIntoWholeEdgesEitherWay) {
  NPath_stru path;
  std::vector<NFoldedStep_stru> steps;
  ASSERT_EQ(FindShortestPath(view, 1, 3, NRouteOptions_stru(), path), 1);
  ASSERT_TRUE(path.bFound);
  EXPECT_EQ(path.dCost, 6.0);
  ASSERT_EQ(FoldPath(split, path, steps), 1);
  ASSERT_EQ(steps.size(), 2U);
  EXPECT_EQ(steps[0].lEdge, 1);
  EXPECT_EQ(steps[0].dFrom, 0.0);
  EXPECT_EQ(steps[0].dTo, 1.0);
  EXPECT_EQ(steps[0].dCost, 4.0);
  EXPECT_EQ(steps[1].lEdge, 2);
  EXPECT_EQ(steps[1].dCost, 6.0);

  // Back from node 3 to the flag's node: e2 against, then most of e1 against.
  ASSERT_EQ(FindShortestPath(view, 3, 4, NRouteOptions_stru(), path), 1);
  ASSERT_EQ(FoldPath(split, path, steps), 1);
  ASSERT_EQ(steps.size(), 2U);
  EXPECT_EQ(steps[0].lEdge, 2);
  EXPECT_EQ(steps[0].dFrom, 1.0);
  EXPECT_EQ(steps[0].dTo, 0.0);
  EXPECT_EQ(steps[1].lEdge, 1);
  EXPECT_EQ(steps[1].dFrom, 1.0);
  EXPECT_EQ(steps[1].dTo, 0.25);
  EXPECT_EQ(steps[1].dCost, 5.0);
}

}  // namespace
