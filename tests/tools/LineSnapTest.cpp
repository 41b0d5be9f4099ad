// Snapping points onto noded lines: against a look at every segment, on
// random street grids in map units and in longitude/latitude, and refusals.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "kelvane/tools/LineNoding.h"
#include "kelvane/tools/LineSnap.h"
#include "kelvane/tools/PlanarFrame.h"

using namespace kelvane::tools;

namespace {

// Random polylines of 2 to 5 points over a box, noded with no tolerance.
NNodedLines_stru RandomLines(std::mt19937& rng, double dX0, double dY0, double dSpan, bool bLonLat) {
  std::uniform_real_distribution<double> u(0.0, dSpan);
  std::vector<NLinePoint_stru> pts;
  std::vector<std::int64_t> starts{0};
  for (int l = 0; l < 60; ++l) {
    const int n = 2 + static_cast<int>(rng() % 4);
    for (int i = 0; i < n; ++i) pts.push_back(NLinePoint_stru{dX0 + u(rng), dY0 + u(rng)});
    starts.push_back(static_cast<std::int64_t>(pts.size()));
  }
  NNodingOptions_stru opt;
  opt.bLonLat = bLonLat;
  NNodedLines_stru out;
  EXPECT_EQ(NodeLines(pts.data(), starts.data(), 60, opt, out), 1);
  return out;
}

NLinePoint_stru Frame(const NLinePoint_stru& p, bool bLonLat, double dCosLat) {
  NLinePoint_stru q = p;
  if (bLonLat) kelvane::tools::LonLatToFrame(p.dX, p.dY, dCosLat, q.dX, q.dY);
  return q;
}

double SegDist2(const NLinePoint_stru& p, const NLinePoint_stru& a, const NLinePoint_stru& b) {
  const double dx = b.dX - a.dX, dy = b.dY - a.dY;
  const double len2 = dx * dx + dy * dy;
  const double t = len2 > 0.0 ? std::min(1.0, std::max(0.0, ((p.dX - a.dX) * dx + (p.dY - a.dY) * dy) / len2)) : 0.0;
  return std::pow(p.dX - a.dX - t * dx, 2) + std::pow(p.dY - a.dY - t * dy, 2);
}

// The point at planar distance dAlong along edge e, in the frame.
NLinePoint_stru AlongEdge(const NNodedLines_stru& lines, std::size_t e, double dAlong, bool bLonLat, double dCosLat) {
  const NNodedEdge_stru& ed = lines.edges[e];
  for (std::int32_t i = 0; i + 1 < ed.lPtNum; ++i) {
    const NLinePoint_stru a = Frame(lines.pts[static_cast<std::size_t>(ed.llFirstPt + i)], bLonLat, dCosLat);
    const NLinePoint_stru b = Frame(lines.pts[static_cast<std::size_t>(ed.llFirstPt + i + 1)], bLonLat, dCosLat);
    const double len = std::hypot(b.dX - a.dX, b.dY - a.dY);
    if (dAlong <= len || i + 2 == ed.lPtNum) {
      const double t = len > 0.0 ? std::min(1.0, dAlong / len) : 0.0;
      return NLinePoint_stru{a.dX + t * (b.dX - a.dX), a.dY + t * (b.dY - a.dY)};
    }
    dAlong -= len;
  }
  return NLinePoint_stru{};
}

}  // namespace

TEST(LineSnapTest, NearestPointMatchesALookAtEverySegmentInBothFrames) {
  std::mt19937 rng(7);
  for (const bool bLonLat : {false, true}) {
    SCOPED_TRACE(bLonLat ? "lon/lat" : "planar");
    const double x0 = bLonLat ? 5.0 : 1000.0, y0 = bLonLat ? 52.0 : -500.0, span = bLonLat ? 0.02 : 800.0;
    const NNodedLines_stru lines = RandomLines(rng, x0, y0, span, bLonLat);
    const double dCosLat = bLonLat ? kelvane::tools::FrameCosLat(lines.dRefLat) : 1.0;
    CLineSnapper snap;
    ASSERT_EQ(snap.Build(lines, bLonLat), 1);
    ASSERT_EQ(snap.GetEdgeNum(), static_cast<std::int32_t>(lines.edges.size()));
    // Inside the lines' box, around it, and far outside it.
    std::uniform_real_distribution<double> u(-1.0, 2.0);
    for (int k = 0; k < 400; ++k) {
      const double reach = k < 300 ? 1.0 : 20.0;
      const NLinePoint_stru p{x0 + u(rng) * span * reach, y0 + u(rng) * span * reach};
      NLinePlace_stru at;
      ASSERT_EQ(snap.Snap(p.dX, p.dY, at), 1);
      const NLinePoint_stru q = Frame(p, bLonLat, dCosLat);
      double best = std::numeric_limits<double>::infinity();
      for (const NNodedEdge_stru& ed : lines.edges)
        for (std::int32_t i = 0; i + 1 < ed.lPtNum; ++i)
          best = std::min(best,
                          SegDist2(q, Frame(lines.pts[static_cast<std::size_t>(ed.llFirstPt + i)], bLonLat, dCosLat),
                                   Frame(lines.pts[static_cast<std::size_t>(ed.llFirstPt + i + 1)], bLonLat, dCosLat)));
      ASSERT_NEAR(at.dDist, std::sqrt(best), 1e-6 * (1.0 + std::sqrt(best)));
      // The place given is where that distance is measured to.
      ASSERT_GE(at.lEdge, 1);
      const NLinePoint_stru on = AlongEdge(lines, static_cast<std::size_t>(at.lEdge) - 1, at.dAlong, bLonLat, dCosLat);
      EXPECT_NEAR(std::hypot(on.dX - q.dX, on.dY - q.dY), at.dDist, 1e-6 * (1.0 + at.dDist));
      EXPECT_NEAR(at.dFrac * at.dLength, at.dAlong, 1e-9 * (1.0 + at.dLength));
      EXPECT_TRUE(at.dFrac >= 0.0 && at.dFrac <= 1.0);
    }
  }
}

TEST(LineSnapTest, RefusesWhatNamesNoPointAndLinesItCannotIndex) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::mt19937 rng(3);
  const NNodedLines_stru lines = RandomLines(rng, 5.0, 52.0, 0.01, true);
  CLineSnapper snap;
  ASSERT_EQ(snap.Build(lines, true), 1);
  NLinePlace_stru at;
  at.lEdge = -7;
  NFinding_stru err;
  EXPECT_EQ(snap.Snap(nan, 52.0, at, &err), 0);
  EXPECT_NE(err.strText.find("not finite"), std::string::npos) << err.strText;
  EXPECT_EQ(snap.Snap(190.0, 52.0, at, &err), 0);
  EXPECT_NE(err.strText.find("outside -180..180"), std::string::npos) << err.strText;
  EXPECT_EQ(at.lEdge, -7);  // untouched

  CLineSnapper empty;
  ASSERT_EQ(empty.Build(NNodedLines_stru(), false), 1);
  EXPECT_EQ(empty.Snap(0.0, 0.0, at, &err), 0);
  EXPECT_NE(err.strText.find("no edges"), std::string::npos) << err.strText;

  NNodedLines_stru broken = lines;
  broken.edges.back().lPtNum += 1;  // one point past the end
  EXPECT_EQ(snap.Build(broken, true, &err), 0);
  EXPECT_NE(err.strText.find("outside the lines"), std::string::npos) << err.strText;
  EXPECT_EQ(snap.GetEdgeNum(), 0);
  EXPECT_EQ(snap.Snap(5.0, 52.0, at), 0);
  NNodedLines_stru far = lines;
  far.pts[0].dX = std::numeric_limits<double>::infinity();
  EXPECT_EQ(snap.Build(far, false, &err), 0);
  EXPECT_NE(err.strText.find("not a finite"), std::string::npos) << err.strText;
  far.pts[0].dX = -1.7e308;
  far.pts[1].dX = 1.7e308;  // a span no double holds
  EXPECT_EQ(snap.Build(far, false, &err), 0);
}
