// Noding lines into nodes and edges: refusals, and random lattices of lines
// whose shared vertices are jittered within the tolerance, checked against
// what the lattice says the nodes and edges must be.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "kelvane/tools/LineNoding.h"

using namespace kelvane::tools;

namespace {

using Line = std::vector<NLinePoint_stru>;

// The lines as the flat arrays NodeLines takes.
struct Flat {
  explicit Flat(const std::vector<Line>& lines) {
    starts.push_back(0);
    for (const Line& l : lines) {
      pts.insert(pts.end(), l.begin(), l.end());
      starts.push_back(static_cast<std::int64_t>(pts.size()));
    }
  }
  std::int32_t Node(const NNodingOptions_stru& opt, NNodedLines_stru& out, NFinding_stru* pError = nullptr) const {
    return NodeLines(pts.data(), starts.data(), static_cast<std::int64_t>(starts.size()) - 1, opt, out, pError);
  }
  std::vector<NLinePoint_stru> pts;
  std::vector<std::int64_t> starts;
};

NNodingOptions_stru Options(double dTol, bool bLonLat = false) {
  NNodingOptions_stru opt;
  opt.dTolerance = dTol;
  opt.bLonLat = bLonLat;
  return opt;
}

constexpr double kPi = 3.14159265358979323846;
constexpr double kMetresPerMilliDegree = 6371008.8 * kPi / 180.0 / 1000.0;  // on the mean sphere

bool Same(const NLinePoint_stru& a, const NLinePoint_stru& b) { return a.dX == b.dX && a.dY == b.dY; }

}  // namespace

TEST(LineNodingTest, RefusalsNameWhatIsWrongAndLeaveTheResultAlone) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const Flat good({{{0, 0}, {10, 0}}, {{10, 0}, {10, 10}}});
  struct Case {
    const char* what;
    std::vector<NLinePoint_stru> pts;
    std::vector<std::int64_t> starts;
    NNodingOptions_stru opt;
    const char* expect;  // part of the sentence
  } cases[] = {
      {"negative tolerance", good.pts, good.starts, Options(-1), "tolerance -1"},
      {"tolerance not a number", good.pts, good.starts, Options(nan), "tolerance nan"},
      {"negative start", good.pts, {-1, 2, 4}, Options(0.1), "negative"},
      {"decreasing starts", good.pts, {0, 3, 2}, Options(0.1), "line 1 ends at point 2"},
      {"coordinate not a number", {{0, 0}, {1, 0}, {2, nan}}, {0, 1, 3}, Options(0.1), "line 1, point 1: "},
      {"infinite coordinate", {{inf, 0}, {1, 0}}, {0, 2}, Options(0.1), "line 0, point 0: "},
      {"longitude beyond 180", {{10, 50}, {180.5, 50}}, {0, 2}, Options(1, true), "line 0, point 1: "},
      {"latitude beyond 90", {{10, -90.5}, {10, 50}}, {0, 2}, Options(1, true), "line 0, point 0: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    NNodedLines_stru out;
    out.llDropped = 42;
    out.nods.resize(3);
    NFinding_stru err;
    EXPECT_EQ(NodeLines(c.pts.data(), c.starts.data(), static_cast<std::int64_t>(c.starts.size()) - 1, c.opt, out,
                        &err),
              0);
    EXPECT_NE(err.strText.find(c.expect), std::string::npos) << err.strText;
    EXPECT_EQ(out.llDropped, 42);
    EXPECT_EQ(out.nods.size(), 3u);
  }
  NNodedLines_stru out;
  EXPECT_EQ(NodeLines(good.pts.data(), good.starts.data(), -1, Options(0.1), out), 0);
  // No lines at all is no error, and neither is a lon/lat point on the date line.
  EXPECT_EQ(NodeLines(nullptr, nullptr, 0, Options(0.1), out), 1);
  EXPECT_EQ(Flat({{{-180, 90}, {180, -90}}}).Node(Options(1, true), out), 1);
}

// Lines along the rows and columns of a lattice 10 units (or 0.001 degrees)
// apart, each vertex jittered by at most a quarter of the tolerance, so that
// copies of a lattice point snap together and distinct ones never do. The
// lattice then says which points must be nodes: a line's ends and every
// point used twice.
TEST(LineNodingTest, RandomLatticesNodeAtEndsAndSharedVertices) {
  std::mt19937 rng(23);
  for (int round = 0; round < 60; ++round) {
    const bool bLonLat = round % 2 == 1;
    const double dStep = bLonLat ? 0.001 : 10.0;
    const double dTol = bLonLat ? 1.0 : 0.05;                 // planar units: metres for lon/lat
    const double dJitter = bLonLat ? 0.2 / 111320.0 : 0.0125;  // in input units, under a quarter of dTol
    const NLinePoint_stru origin = bLonLat ? NLinePoint_stru{8.5, 47.3} : NLinePoint_stru{1000.0, -500.0};
    const int nSide = 3 + round % 5;
    std::uniform_int_distribution<int> cell(0, nSide - 1);
    std::uniform_real_distribution<double> jitter(-dJitter, dJitter);

    std::vector<Line> lines;
    std::vector<std::vector<std::pair<int, int>>> lattice;  // per line: its lattice points
    std::int64_t llExpectDropped = 0;
    const int nLines = 2 + static_cast<int>(rng() % 12);
    for (int l = 0; l < nLines; ++l) {
      std::vector<std::pair<int, int>> run;
      const int fixed = cell(rng), a = cell(rng), b = cell(rng);
      const int step = a <= b ? 1 : -1;
      for (int k = a;; k += step) {
        run.push_back(l % 2 == 0 ? std::make_pair(k, fixed) : std::make_pair(fixed, k));
        if (k == b) break;
      }
      if (run.size() == 1) {
        run.push_back(run[0]);  // two copies of one point: nothing left once snapped
        ++llExpectDropped;
      }
      Line line;
      for (const auto& p : run) {
        line.push_back(NLinePoint_stru{origin.dX + p.first * dStep + jitter(rng),
                                       origin.dY + p.second * dStep + jitter(rng)});
      }
      lines.push_back(line);
      lattice.push_back(run.front() == run.back() ? std::vector<std::pair<int, int>>() : run);
    }

    std::map<std::pair<int, int>, int> uses;
    for (const auto& run : lattice) {
      for (const auto& p : run) ++uses[p];
      if (!run.empty()) ++uses[run.front()], ++uses[run.back()];
    }
    std::size_t nExpectNods = 0, nExpectEdges = 0;
    for (const auto& u : uses) nExpectNods += u.second >= 2;
    for (const auto& run : lattice) {
      if (run.empty()) continue;
      ++nExpectEdges;
      for (std::size_t i = 1; i + 1 < run.size(); ++i) nExpectEdges += uses[run[i]] >= 2;
    }

    SCOPED_TRACE("round " + std::to_string(round));
    NNodedLines_stru out;
    NFinding_stru err;
    ASSERT_EQ(Flat(lines).Node(Options(dTol, bLonLat), out, &err), 1) << err.strText;
    EXPECT_EQ(out.llDropped, llExpectDropped);
    EXPECT_EQ(out.nods.size(), nExpectNods);
    ASSERT_EQ(out.edges.size(), nExpectEdges);

    std::int32_t lMaxNod = 0;
    std::int64_t llNextPt = 0;
    for (std::size_t e = 0; e < out.edges.size(); ++e) {
      const NNodedEdge_stru& edge = out.edges[e];
      ASSERT_EQ(edge.llFirstPt, llNextPt);
      ASSERT_GE(edge.lPtNum, 2);
      llNextPt += edge.lPtNum;
      ASSERT_LE(static_cast<std::size_t>(llNextPt), out.pts.size());
      // Nodes are numbered as the edges first meet them.
      for (const std::int32_t n : {edge.lFromNod, edge.lToNod}) {
        ASSERT_TRUE(n >= 1 && n <= lMaxNod + 1) << "edge " << e + 1 << " meets node " << n;
        lMaxNod = std::max(lMaxNod, n);
      }
      EXPECT_NE(edge.lFromNod, edge.lToNod);
      EXPECT_TRUE(Same(out.pts[static_cast<std::size_t>(edge.llFirstPt)], out.nods[edge.lFromNod - 1]));
      EXPECT_TRUE(Same(out.pts[static_cast<std::size_t>(llNextPt - 1)], out.nods[edge.lToNod - 1]));
      // A line's edges follow one another and cover it 0..1 end to end.
      const bool bFirst = e == 0 || out.edges[e - 1].lLine != edge.lLine;
      const bool bLast = e + 1 == out.edges.size() || out.edges[e + 1].lLine != edge.lLine;
      EXPECT_EQ(edge.dFrom, bFirst ? 0.0 : out.edges[e - 1].dTo);
      if (bLast) {
        EXPECT_DOUBLE_EQ(edge.dTo, 1.0);
      }
      EXPECT_LT(edge.dFrom, edge.dTo);
      EXPECT_TRUE(e == 0 || out.edges[e - 1].lLine <= edge.lLine);
      // Every segment is one lattice step on the ground, and as a share of
      // its line, whose segments are all (nearly) alike.
      const bool bRow = edge.lLine % 2 == 0;
      const double dSegLen = !bLonLat ? dStep : bRow ? kMetresPerMilliDegree * std::cos(origin.dY * kPi / 180)
                                                     : kMetresPerMilliDegree;
      const double nSegs = edge.lPtNum - 1;
      EXPECT_NEAR(edge.dLength, nSegs * dSegLen, nSegs * (bLonLat ? 0.5 : 4 * dJitter));
      const double nLineSegs = static_cast<double>(lattice[static_cast<std::size_t>(edge.lLine)].size() - 1);
      EXPECT_NEAR(edge.dTo - edge.dFrom, nSegs / nLineSegs, 0.01);  // a wrong cut is off by a whole step
    }
    EXPECT_EQ(static_cast<std::size_t>(llNextPt), out.pts.size());
  }
}

TEST(LineNodingTest, ClosedRingIsCutAtItsMiddleVertex) {
  NNodedLines_stru out;
  ASSERT_EQ(Flat({{{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}}}).Node(Options(0.01), out), 1);
  ASSERT_EQ(out.edges.size(), 2u);
  EXPECT_EQ(out.nods.size(), 2u);
  EXPECT_TRUE(Same(out.nods[1], NLinePoint_stru{10, 10}));
  EXPECT_DOUBLE_EQ(out.edges[0].dTo, 0.5);
  EXPECT_EQ(out.edges[1].lToNod, out.edges[0].lFromNod);
}

TEST(LineNodingTest, LonLatLengthsAreGroundMetresAndTheFrameIsCentredOnTheData) {
  // A thousandth of a degree of latitude is about 111.2 m anywhere, of
  // longitude half that at 60 degrees north.
  NNodedLines_stru out;
  ASSERT_EQ(Flat({{{10.0, 59.999}, {10.0, 60.0}}, {{10.0, 60.0}, {10.001, 60.0}}}).Node(Options(0.01, true), out), 1);
  ASSERT_EQ(out.edges.size(), 2u);
  EXPECT_NEAR(out.edges[0].dLength, 111.19, 0.05);
  EXPECT_NEAR(out.edges[1].dLength, 55.6, 0.05);
  EXPECT_DOUBLE_EQ(out.dRefLat, 59.9995);
}
