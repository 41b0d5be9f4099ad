// ViewThreadsTest.cpp - several threads run every analysis on one view at
// once and get what one thread gets. Built under ThreadSanitizer by the tsan
// preset, where a write to shared state by any analysis is a reported race.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <thread>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "kelvane/tools/Components.h"
#include "kelvane/tools/Isolation.h"
#include "kelvane/tools/NetworkBuilder.h"
#include "kelvane/tools/NetworkView.h"
#include "kelvane/tools/ServiceArea.h"
#include "kelvane/tools/ShortestPath.h"
#include "kelvane/tools/TraceAnalysis.h"

using namespace kelvane::tools;

namespace {

constexpr std::int32_t kSide = 14;  // a kSide x kSide grid with a few diagonals
constexpr int kThreads = 4;

NWeightVal_stru Cost(double d) {
  NWeightVal_stru w;
  w.cType = 4;
  w.dVal = d;
  return w;
}

// One-way streets, closed nodes, costs both ways and turn weights, all from
// one seed.
void FillGrid(CLocalNetwork& net) {
  std::mt19937 rng(20261209);
  std::uniform_real_distribution<double> cost(0.5, 4.0);
  CNetworkBuilder b;
  b.SetNodNum(kSide * kSide);
  b.SetEdgeWgtFld1(0);
  b.SetEdgeWgtFld2(1);
  b.SetTurnWgtFlag(1);
  std::vector<std::vector<std::int32_t>> meets(static_cast<std::size_t>(kSide * kSide) + 1);
  auto add = [&](std::int32_t from, std::int32_t to) {
    const std::int32_t e = b.AddEdge(from, to);
    meets[static_cast<std::size_t>(from)].push_back(e);
    meets[static_cast<std::size_t>(to)].push_back(e);
    b.SetEdgeWgt1(e, Cost(cost(rng)));
    b.SetEdgeWgt2(e, Cost(rng() % 9 == 0 ? -1.0 : cost(rng)));  // a negative cost: no way back
    const std::uint32_t r = rng() % 12;
    b.SetEdgeState(e, r == 0 ? 1 : 0, r == 1 ? 1 : 0);
    return e;
  };
  for (std::int32_t y = 0; y < kSide; ++y) {
    for (std::int32_t x = 0; x < kSide; ++x) {
      const std::int32_t n = y * kSide + x + 1;
      if (x + 1 < kSide) add(n, n + 1);
      if (y + 1 < kSide) add(n, n + kSide);
      if (x + 1 < kSide && y + 1 < kSide && rng() % 5 == 0) add(n + kSide + 1, n);
      if (rng() % 23 == 0) b.SetNodState(n, 1);
    }
  }
  // Turn weights at some crossings, a few of them forbidding the turn.
  for (std::int32_t n = 1; n <= kSide * kSide; n += 3) {
    const std::vector<std::int32_t>& m = meets[static_cast<std::size_t>(n)];
    if (m.size() < 2) continue;
    b.SetTurnWgt(n, m[0], m[1], rng() % 4 == 0 ? -1.0 : cost(rng));
    b.SetTurnWgt(n, m[1], m[0], cost(rng));
  }
  ASSERT_EQ(b.Build(net), 1);
}

// Everything the analyses answer, for one set of calls, in one comparable list.
struct NOutcome {
  std::vector<std::int32_t> ints;
  std::vector<double> reals;
  bool bAllDone = true;  // every call returned 1
  bool operator==(const NOutcome& o) const { return ints == o.ints && reals == o.reals; }
};

void Status(NOutcome& out, std::int32_t lStatus) {
  out.ints.push_back(lStatus);
  out.bAllDone = out.bAllDone && lStatus == 1;
}

void Put(NOutcome& out, const std::vector<std::int32_t>& v) {
  out.ints.push_back(static_cast<std::int32_t>(v.size()));
  out.ints.insert(out.ints.end(), v.begin(), v.end());
}

void Put(NOutcome& out, const NServiceArea_stru& a) {
  Put(out, a.nods);
  out.reals.insert(out.reals.end(), a.costs.begin(), a.costs.end());
  for (const NAreaEdge_stru& e : a.edges) {
    out.ints.push_back(e.lEdge);
    out.reals.push_back(e.dFromFrac);
    out.reals.push_back(e.dToFrac);
  }
}

NOutcome RunAll(const CNetworkView& view) {
  NOutcome out;
  const std::int32_t nNod = view.GetNodNum();
  NElemSet_stru barriers;
  barriers.nods = {nNod / 2, nNod / 3};
  barriers.edges = {5, -17};
  for (NTraceKind kind : {NTraceKind::Connected, NTraceKind::Downstream, NTraceKind::Upstream}) {
    NTraceQuery_stru q;
    q.eKind = kind;
    q.starts = {1, nNod};
    q.barriers = barriers;
    q.stops.nods = {kSide + 3};
    NTraceResult_stru r;
    Status(out, TraceNetwork(view, q, r));
    Put(out, r.nods);
    Put(out, r.edges);
  }
  NIsolationQuery_stru iq;
  iq.lStart = nNod / 2 + 3;
  for (std::int32_t n = 4; n <= nNod; n += 9) iq.devices.push_back(n);
  iq.sources = {1};
  NIsolationResult_stru ir;
  Status(out, IsolateElement(view, iq, ir));
  Put(out, ir.devices);
  Put(out, ir.isolated.nods);
  Put(out, ir.isolated.edges);
  for (NComponentKind kind : {NComponentKind::Weak, NComponentKind::Strong}) {
    NComponents_stru c;
    Status(out, FindComponents(view, kind, barriers, c));
    out.ints.push_back(c.lCount);
    Put(out, c.nodComp);
    Put(out, c.edgeComp);
  }
  for (bool bDirected : {true, false}) {
    NRouteOptions_stru opt;
    opt.bDirected = bDirected;
    opt.bTurns = bDirected;
    opt.barriers = barriers;
    NPath_stru p;
    Status(out, FindShortestPath(view, 1, nNod, opt, p));
    out.ints.push_back(p.bFound ? 1 : 0);
    out.reals.push_back(p.dCost);
    for (const NPathStep_stru& s : p.steps) {
      out.ints.push_back(s.lEdge);
      out.reals.push_back(s.dCost);
    }
    std::vector<double> costs;
    Status(out, FindCostsFrom(view, kSide, opt, costs));
    out.reals.insert(out.reals.end(), costs.begin(), costs.end());
    Status(out, FindCostMatrix(view, {1, kSide, nNod}, {2, nNod - 1, nNod / 2}, opt, costs));
    out.reals.insert(out.reals.end(), costs.begin(), costs.end());
    NServiceArea_stru a;
    Status(out, FindServiceArea(view, {nNod / 2 + 1}, 9.5, opt, a));
    Put(out, a);
    // Three starts over two threads of the call's own, inside each of ours.
    opt.lThreads = 2;
    Status(out, FindServiceAreaTo(view, {1, nNod / 2 + 1, nNod}, 9.5, opt, a));
    Put(out, a);
  }
  return out;
}

TEST(ViewThreadsTest, ThreadsOnOneViewGetWhatOneThreadGets) {
  CLocalNetwork net;
  FillGrid(net);
  NViewOptions_stru opt;
  opt.lAlongFld = 0;
  opt.lAgainstFld = 1;
  CNetworkView view;
  ASSERT_EQ(view.Build(net, opt), 1);
  const NOutcome alone = RunAll(view);
  ASSERT_TRUE(alone.bAllDone);
  ASSERT_GT(alone.ints.size(), 100U);

  std::vector<NOutcome> got(kThreads * 2);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&view, &got, t] {
      got[2 * t] = RunAll(view);
      got[2 * t + 1] = RunAll(view);
    });
  }
  for (std::thread& th : threads) th.join();
  for (std::size_t i = 0; i < got.size(); ++i) EXPECT_TRUE(got[i] == alone) << "run " << i;
}

}  // namespace
