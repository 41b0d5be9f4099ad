// Memory running out inside the toolkit: operator new is replaced for this
// binary, and every analysis and fold is run failing its first, second, ...
// allocation until it gets through. Each run must end in the full answer or
// in 0 with the code NoMemory, its output as it was and the network as it
// was; the sanitizer build adds that nothing leaks.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <new>
#include <random>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "kelvane/tools/AnalysisInput.h"
#include "kelvane/tools/Components.h"
#include "kelvane/tools/DrivingSide.h"
#include "kelvane/tools/Isolation.h"
#include "kelvane/tools/NetworkBuilder.h"
#include "kelvane/tools/NetworkCheck.h"
#include "kelvane/tools/NetworkView.h"
#include "kelvane/tools/Restrictions.h"
#include "kelvane/tools/ServiceArea.h"
#include "kelvane/tools/ShortestPath.h"
#include "kelvane/tools/SplitIndex.h"
#include "kelvane/tools/TraceAnalysis.h"
#include "tools/RandomNetwork.h"

using namespace kelvane::tools;

namespace {

// Atomic: the threaded calls allocate on threads of their own.
std::atomic<long> g_lFailAt{0};   // the allocation to fail, counting from 1; 0: none
std::atomic<long> g_lCount{0};    // allocations since arming
std::atomic<bool> g_bFired{false};

void* Allocate(std::size_t n) {
  if (g_lFailAt > 0 && ++g_lCount == g_lFailAt) {
    g_bFired = true;
    return nullptr;
  }
  return std::malloc(n == 0 ? 1 : n);
}

}  // namespace

// The replacements pair with each other; GCC sees only that free meets new.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t n) {
  void* p = Allocate(n);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void* operator new[](std::size_t n) { return operator new(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return Allocate(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return Allocate(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

// The content of an output, as numbers, so one comparison serves them all.
template <class T>
void Put(std::vector<double>& out, const std::vector<T>& v) {
  out.push_back(static_cast<double>(v.size()));
  for (const T& x : v) out.push_back(static_cast<double>(x));
}
void Put(std::vector<double>& out, const NTraceResult_stru& r) {
  Put(out, r.nods);
  Put(out, r.edges);
}
void Put(std::vector<double>& out, const std::vector<NAreaEdge_stru>& v) {
  for (const NAreaEdge_stru& a : v) out.insert(out.end(), {double(a.lEdge), a.dFromFrac, a.dToFrac});
}
void Put(std::vector<double>& out, const std::vector<NFoldedStep_stru>& v) {
  for (const NFoldedStep_stru& s : v) out.insert(out.end(), {double(s.lEdge), s.dFrom, s.dTo, s.dCost});
}

// A call on prepared inputs: Reset puts a sentinel into its output (before
// the allocator is armed), Run calls the toolkit, Content reads the output.
struct NCall {
  const char* pszName;
  std::function<void()> reset;
  std::function<std::int32_t(NFinding_stru*)> run;
  std::function<std::vector<double>()> content;
};

// What the network holds, to see that no failure changed it.
std::vector<double> NetContent(CLocalNetwork& net) {
  std::vector<double> out{double(net.m_lNodNum), double(net.m_lEdgeNum)};
  for (std::int32_t e = 1; e <= net.m_lEdgeNum; ++e) {
    out.insert(out.end(), {double(net.m_pEdgeNod[e - 1].lFromNod), double(net.m_pEdgeNod[e - 1].lToNod),
                           double(net.m_pUpEdgeState[e - 1]), double(net.m_pDownEdgeState[e - 1])});
  }
  for (std::int32_t n = 1; n <= net.m_lNodNum; ++n) out.push_back(net.m_pNodConn[n - 1].sConnNum);
  return out;
}

class ToolsAllocationFaultTest : public ::testing::Test {
 protected:
  void TearDown() override { g_lFailAt = 0; }

  // Runs call failing allocation 1, 2, ... until one run allocates less.
  void Sweep(const NCall& call) {
    SCOPED_TRACE(call.pszName);
    NFinding_stru err;
    call.reset();
    const std::vector<double> untouched = call.content();
    ASSERT_EQ(call.run(&err), 1) << err.strText;
    const std::vector<double> answer = call.content();
    const std::vector<double> netBefore = NetContent(rn.net);
    for (long k = 1;; ++k) {
      call.reset();
      NFinding_stru e;
      g_lCount = 0;
      g_bFired = false;
      g_lFailAt = k;
      const std::int32_t status = call.run(&e);
      g_lFailAt = 0;
      if (status == 1) {
        EXPECT_EQ(call.content(), answer) << "failing allocation " << k;
      } else {
        EXPECT_EQ(e.eCode, NFindingCode::NoMemory) << "failing allocation " << k << ": " << e.strText;
        EXPECT_EQ(call.content(), untouched) << "failing allocation " << k;
      }
      EXPECT_EQ(NetContent(rn.net), netBefore) << "failing allocation " << k;
      if (!g_bFired) break;
      ASSERT_LT(k, 100000) << "the call never got through";
    }
  }

  oracle::RandomNet rn;
};

TEST_F(ToolsAllocationFaultTest, EveryAnalysisAndFoldEndsInItsAnswerOrNoMemoryWithNothingChanged) {
  std::mt19937 rng(21);
  oracle::Shape shape;
  shape.minNods = shape.maxNods = 30;
  shape.turns = true;
  ASSERT_NO_FATAL_FAILURE(rn.Make(rng, shape));
  CSplitIndex split;
  NFinding_stru err;
  ASSERT_EQ(split.Build(rn.net, rn.flagIn, rn.flagOut, rn.flagTemp, &err), 1) << err.strText;
  NViewOptions_stru vopt;
  vopt.lAlongFld = oracle::kAlongFld;
  vopt.lAgainstFld = oracle::kAgainstFld;
  vopt.pSplit = &split;
  CNetworkView view;
  ASSERT_EQ(view.Build(rn.net, vopt, &err), 1) << err.strText;
  const std::vector<std::int32_t> starts = rn.flagNods;
  NRouteOptions_stru plain;  // turns, as the view has them
  NRouteOptions_stru undirected;
  undirected.bDirected = false;
  undirected.bTurns = false;
  undirected.barriers.edges = {2};
  NRouteOptions_stru threaded;  // the failure on any of three threads
  threaded.lThreads = 3;

  NTraceResult_stru trace;
  NComponents_stru comps;
  NIsolationResult_stru iso;
  NPath_stru path;
  std::vector<double> costs;
  NServiceArea_stru area;
  std::vector<std::int32_t> folded;
  std::vector<double> fractions;
  std::vector<NFoldedStep_stru> foldedPath;
  std::vector<NAreaEdge_stru> foldedArea;
  std::vector<std::int32_t> nods;
  std::vector<NFinding_stru> findings;
  CNetworkView built;
  CLocalNetwork filled;
  CNetworkBuilder builder;
  builder.SetNodNum(5);
  builder.SetEdgeWgtFld1(0);
  for (std::int32_t n = 1; n < 5; ++n) builder.SetEdgeWgt1(builder.AddEdge(n, n + 1), DoubleWgt(n));
  builder.SetTurnWgt(2, 1, 2, 0.5);
  // Inputs the folds take, from calls made once without faults.
  NTraceQuery_stru tq;
  tq.starts = starts;
  NTraceResult_stru traced;
  ASSERT_EQ(TraceNetwork(view, tq, traced), 1);
  NPath_stru aPath;
  ASSERT_EQ(FindShortestPath(view, starts.front(), starts.back(), undirected, aPath), 1);
  NServiceArea_stru anArea;
  ASSERT_EQ(FindServiceArea(view, starts, 10.0, undirected, anArea), 1);

  // Every input made here: the calls below may allocate only inside the toolkit.
  NTraceQuery_stru down;
  down.eKind = NTraceKind::Downstream;
  down.starts = starts;
  down.stops.nods = {1};
  NIsolationQuery_stru isoQuery;
  isoQuery.lStart = starts.front();
  isoQuery.sources = {1};
  isoQuery.devices = {2, 3, 4, 5, 6, 7, 8};
  const std::vector<std::int32_t> targets{1, 2, 3};
  const std::vector<std::int32_t> manySources{1, 2, 3, 4, 5};  // searched from the one target
  const std::vector<std::int32_t> oneTarget{6};
  // A no-turn over the first node with two edges of its own.
  std::vector<NRestriction_stru> restrictions(1);
  for (std::int32_t n = 1; n <= view.GetNodNum() && restrictions[0].edges.size() < 2; ++n) {
    restrictions[0].edges.clear();
    restrictions[0].lViaNod = n;
    for (std::int64_t j = view.StepBegin(n); j < view.StepEnd(n); ++j) {
      const std::int32_t e = view.StepEdge()[j];
      if (view.StepFar()[j] != n && (restrictions[0].edges.empty() || restrictions[0].edges[0] != e)) {
        restrictions[0].edges.push_back(e);
      }
      if (restrictions[0].edges.size() == 2) break;
    }
  }
  ASSERT_EQ(restrictions[0].edges.size(), 2U);
  NComponentOptions_stru byCost;
  byCost.bFollowCosts = true;
  NClosestFacility_stru closest;
  std::vector<std::int32_t> reachedBy;
  const std::vector<DrivingSide> sides(starts.size(), DrivingSide::Right);
  const auto sentinel = [](std::vector<std::int32_t>& v) { v.assign(1, -7); };
  const std::vector<NCall> calls = {
      {"TraceNetwork", [&] { trace = NTraceResult_stru(); sentinel(trace.nods); },
       [&](NFinding_stru* e) { return TraceNetwork(view, down, trace, e); },
       [&] { std::vector<double> c; Put(c, trace); return c; }},
      {"FindComponents", [&] { comps = NComponents_stru(); sentinel(comps.sizes); },
       [&](NFinding_stru* e) { return FindComponents(view, NComponentKind::Strong, plain.barriers, comps, e); },
       [&] { std::vector<double> c; Put(c, comps.nodComp); Put(c, comps.edgeComp); Put(c, comps.sizes); return c; }},
      {"IsolateElement", [&] { iso = NIsolationResult_stru(); sentinel(iso.devices); },
       [&](NFinding_stru* e) { return IsolateElement(view, isoQuery, iso, e); },
       [&] { std::vector<double> c; Put(c, iso.devices); Put(c, iso.isolated); return c; }},
      {"FindShortestPath", [&] { path = NPath_stru(); path.lFrom = -7; },
       [&](NFinding_stru* e) { return FindShortestPath(view, starts.front(), 1, plain, path, e); },
       [&] {
         std::vector<double> c{double(path.lFrom), path.bFound ? path.dCost : -1.0};
         for (const NPathStep_stru& s : path.steps) c.insert(c.end(), {double(s.lEdge), double(s.lNod), s.dCost});
         return c;
       }},
      {"FindCostsFrom", [&] { costs.assign(1, -7.0); },
       [&](NFinding_stru* e) { return FindCostsFrom(view, starts.front(), plain, costs, e); },
       [&] { std::vector<double> c; Put(c, costs); return c; }},
      {"FindCostMatrix", [&] { costs.assign(1, -7.0); },
       [&](NFinding_stru* e) { return FindCostMatrix(view, starts, targets, undirected, costs, e); },
       [&] { std::vector<double> c; Put(c, costs); return c; }},
      {"FindCostMatrix (toward the targets)", [&] { costs.assign(1, -7.0); },
       [&](NFinding_stru* e) { return FindCostMatrix(view, manySources, oneTarget, plain, costs, e); },
       [&] { std::vector<double> c; Put(c, costs); return c; }},
      {"FindComponents (options)", [&] { comps = NComponents_stru(); sentinel(comps.sizes); },
       [&](NFinding_stru* e) { return FindComponents(view, NComponentKind::Strong, byCost, comps, e); },
       [&] { std::vector<double> c; Put(c, comps.nodComp); Put(c, comps.edgeComp); Put(c, comps.sizes); return c; }},
      {"FindCostsTo", [&] { costs.assign(1, -7.0); sentinel(reachedBy); },
       [&](NFinding_stru* e) { return FindCostsTo(view, starts.front(), plain, costs, reachedBy, e); },
       [&] { std::vector<double> c; Put(c, costs); Put(c, reachedBy); return c; }},
      {"FindClosestFacility", [&] { closest = NClosestFacility_stru(); sentinel(closest.facility); },
       [&](NFinding_stru* e) { return FindClosestFacility(view, starts, plain, closest, e); },
       [&] { std::vector<double> c; Put(c, closest.facility); Put(c, closest.costs); Put(c, closest.reachedBy); return c; }},
      {"FindRestrictedPath", [&] { path = NPath_stru(); path.lFrom = -7; },
       [&](NFinding_stru* e) { return FindRestrictedPath(view, starts.front(), 1, plain, restrictions, path, e); },
       [&] { std::vector<double> c{double(path.lFrom), path.bFound ? path.dCost : -1.0, double(path.steps.size())}; return c; }},
      {"FindRestrictedCostsFrom", [&] { costs.assign(1, -7.0); },
       [&](NFinding_stru* e) { return FindRestrictedCostsFrom(view, starts.front(), plain, restrictions, costs, e); },
       [&] { std::vector<double> c; Put(c, costs); return c; }},
      {"FindSidedPath", [&] { path = NPath_stru(); path.lFrom = -7; },
       [&](NFinding_stru* e) {
         return FindSidedPath(view, starts.front(), DrivingSide::Right, 1, DrivingSide::Left, plain, path, e);
       },
       [&] { std::vector<double> c{double(path.lFrom), path.bFound ? path.dCost : -1.0, double(path.steps.size())}; return c; }},
      {"FindSidedCostMatrix", [&] { costs.assign(1, -7.0); },
       [&](NFinding_stru* e) { return FindSidedCostMatrix(view, starts, sides, targets, {}, plain, costs, e); },
       [&] { std::vector<double> c; Put(c, costs); return c; }},
      {"FindServiceAreaTo", [&] { area = NServiceArea_stru(); sentinel(area.nods); },
       [&](NFinding_stru* e) { return FindServiceAreaTo(view, starts, 6.0, plain, area, e); },
       [&] { std::vector<double> c; Put(c, area.nods); Put(c, area.costs); Put(c, area.edges); return c; }},
      {"FindSidedServiceArea", [&] { area = NServiceArea_stru(); sentinel(area.nods); },
       [&](NFinding_stru* e) { return FindSidedServiceArea(view, starts, sides, 6.0, plain, area, e); },
       [&] { std::vector<double> c; Put(c, area.nods); Put(c, area.costs); Put(c, area.edges); return c; }},
      {"FindServiceArea", [&] { area = NServiceArea_stru(); sentinel(area.nods); },
       [&](NFinding_stru* e) { return FindServiceArea(view, starts, 6.0, plain, area, e); },
       [&] { std::vector<double> c; Put(c, area.nods); Put(c, area.costs); Put(c, area.edges); return c; }},
      {"FindServiceAreaTo (three threads)", [&] { area = NServiceArea_stru(); sentinel(area.nods); },
       [&](NFinding_stru* e) { return FindServiceAreaTo(view, starts, 6.0, threaded, area, e); },
       [&] { std::vector<double> c; Put(c, area.nods); Put(c, area.costs); Put(c, area.edges); return c; }},
      {"FoldTraceResult", [&] { sentinel(folded); fractions.assign(1, -7.0); },
       [&](NFinding_stru* e) { return split.FoldTraceResult(traced.edges, NFoldRule::Any, folded, &fractions, e); },
       [&] { std::vector<double> c; Put(c, folded); Put(c, fractions); return c; }},
      {"FoldPath", [&] { foldedPath.assign(1, NFoldedStep_stru{-7, 0, 0, 0}); },
       [&](NFinding_stru* e) { return FoldPath(split, aPath, foldedPath, e); },
       [&] { std::vector<double> c; Put(c, foldedPath); return c; }},
      {"FoldServiceArea", [&] { foldedArea.assign(1, NAreaEdge_stru{-7, 0, 0}); },
       [&](NFinding_stru* e) { return FoldServiceArea(split, anArea, foldedArea, nullptr, e); },
       [&] { std::vector<double> c; Put(c, foldedArea); return c; }},
      {"FlagNods", [&] { sentinel(nods); },
       [&](NFinding_stru* e) { return FlagNods(rn.flagOut, nods, e); },
       [&] { std::vector<double> c; Put(c, nods); return c; }},
      {"CheckNetwork", [&] { findings.assign(1, NFinding_stru()); },
       [&](NFinding_stru* e) { return CheckNetwork(rn.net, findings, 0, e); },
       [&] { return std::vector<double>{double(findings.size())}; }},
      // The builder's output is the network it fills: cleared when memory runs out.
      {"CNetworkBuilder::Build",
       [&] {
         filled.m_lNodNum = filled.m_lEdgeNum = 0;
         filled.ReallocMemory();
       },
       [&](NFinding_stru* e) { return builder.Build(filled, e); },
       [&] { return NetContent(filled); }},
      {"CNetworkView::Build", [&] { built = CNetworkView(); },
       [&](NFinding_stru* e) { return built.Build(rn.net, vopt, e); },
       [&] { return std::vector<double>{double(built.GetNodNum()), built.IsCurrent() ? 1.0 : 0.0}; }},
  };
  for (const NCall& call : calls) Sweep(call);
}

}  // namespace
