// Routes guided by landmarks against the plain search, on random networks
// with closed nodes and per-call barriers: the same cost (and whether there
// is a route) on every pair, over a path that is a walk of that cost.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "kelvane/tools/Landmarks.h"
#include "kelvane/tools/NetworkView.h"
#include "kelvane/tools/SearchWorkspace.h"
#include "kelvane/tools/ShortestPath.h"
#include "tools/RandomNetwork.h"

using namespace kelvane::tools;

namespace {

// The path leaves lFrom, ends at lTo, steps over edges the barriers leave
// open into nodes they leave open, each at the view's cost of its way.
void ExpectWalk(const CNetworkView& view, const NPath_stru& p, const NElemSet_stru& barriers) {
  double cost = 0.0;
  for (const NPathStep_stru& st : p.steps) {
    EXPECT_TRUE(std::find(barriers.edges.begin(), barriers.edges.end(), st.lEdge) == barriers.edges.end());
    EXPECT_TRUE(std::find(barriers.nods.begin(), barriers.nods.end(), st.lNod) == barriers.nods.end());
    cost += view.GetEdgeCost(st.lEdge, st.bAlong);
    EXPECT_NEAR(st.dCost, cost, 1e-9) << "edge " << st.lEdge;
  }
  if (!p.steps.empty()) {
    EXPECT_EQ(p.steps.back().lNod, p.lTo);
  }
  EXPECT_NEAR(cost, p.dCost, 1e-9);
}

}  // namespace

TEST(LandmarkOracleTest, GuidedRoutesCostWhatThePlainSearchFindsOnEveryPair) {
  std::mt19937 rng(29);
  oracle::Shape shape;
  shape.minNods = 20;
  shape.maxNods = 70;
  shape.edgesPerNod = 2.2;
  shape.turns = true;  // the view has turns; routes asked without them may be guided
  for (int round = 0; round < 40; ++round) {
    oracle::RandomNet r;
    r.Make(rng, shape);
    if (HasFatalFailure()) return;
    r.Close();
    CNetworkView view;
    const NViewOptions_stru vo = oracle::ViewOptions();
    ASSERT_EQ(view.Build(r.net, vo), 1);
    CLandmarks marks;
    NFinding_stru err;
    ASSERT_EQ(marks.Build(view, 1 + round % 5, &err), 1) << err.strText;
    ASSERT_TRUE(marks.Fits(view));
    NRouteOptions_stru plain;
    plain.bTurns = round % 4 == 3;  // with turns the landmarks are ignored
    plain.bDirected = round % 5 != 4;  // so too undirected
    for (std::int32_t v : oracle::Pick(rng, r.nods, round % 4)) plain.barriers.nods.push_back(v);
    plain.barriers.edges = oracle::Pick(rng, r.edges, round % 6);
    NRouteOptions_stru guided = plain;
    CSearchWorkspace work;  // reused by every guided call: each leaves it clean
    guided.pWork = &work;
    guided.pLandmarks = &marks;
    SCOPED_TRACE(testing::Message() << "round " << round << ", " << marks.GetCount() << " landmarks");
    for (std::int32_t s = 1; s <= r.nods; ++s) {
      for (std::int32_t t = 1; t <= r.nods; ++t) {
        NPath_stru want;
        NPath_stru got;
        ASSERT_EQ(FindShortestPath(view, s, t, plain, want, &err), 1) << err.strText;
        ASSERT_EQ(FindShortestPath(view, s, t, guided, got, &err), 1) << err.strText;
        ASSERT_EQ(got.bFound, want.bFound) << s << " to " << t;
        if (!want.bFound) continue;
        ASSERT_NEAR(got.dCost, want.dCost, 1e-9) << s << " to " << t;
        if (plain.bDirected && !plain.bTurns) ExpectWalk(view, got, plain.barriers);
      }
    }
  }
  // A view never built is refused, and the landmarks stay empty.
  CNetworkView other;
  CLandmarks marks;
  EXPECT_EQ(marks.Build(other, 4), 0);
  EXPECT_EQ(marks.GetCount(), 0);
}
