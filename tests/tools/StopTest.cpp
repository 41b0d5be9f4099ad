// Stopping a long analysis from its progress callback: every one returns 0
// with the code Stopped at the first poll and leaves its output as it was;
// one that is never stopped hears a rising fraction and answers as without.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "kelvane/tools/Components.h"
#include "kelvane/tools/DrivingSide.h"
#include "kelvane/tools/Isolation.h"
#include "kelvane/tools/NetworkBuilder.h"
#include "kelvane/tools/NetworkView.h"
#include "kelvane/tools/Progress.h"
#include "kelvane/tools/Restrictions.h"
#include "kelvane/tools/ServiceArea.h"
#include "kelvane/tools/ShortestPath.h"
#include "kelvane/tools/TraceAnalysis.h"

using namespace kelvane::tools;

namespace {

constexpr std::int32_t kSide = 80;  // 6,400 nodes: more steps than one poll's worth

struct NPolls {
  bool bGo = true;         // the answer every poll gets
  std::int32_t lCalls = 0;
  double dLast = -1.0;
  bool bRising = true;     // every fraction at least the one before, all within 0 to 1
};

bool Poll(void* pUser, double dDone) {
  NPolls& p = *static_cast<NPolls*>(pUser);
  ++p.lCalls;
  if (dDone < p.dLast || dDone < 0.0 || dDone > 1.0) p.bRising = false;
  p.dLast = dDone;
  return p.bGo;
}

class StopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CNetworkBuilder b;
    b.SetNodNum(kSide * kSide);
    for (std::int32_t r = 0; r < kSide; ++r) {
      for (std::int32_t c = 0; c < kSide; ++c) {
        const std::int32_t n = r * kSide + c + 1;
        if (c + 1 < kSide) b.AddEdge(n, n + 1);
        if (r + 1 < kSide) b.AddEdge(n, n + kSide);
      }
    }
    ASSERT_EQ(b.Build(net), 1);
    ASSERT_EQ(view.Build(net), 1);
  }

  CLocalNetwork net;
  CNetworkView view;
};

// Each long analysis as one call: it writes its output into a vector of
// numbers (the output's content) only through the analysis itself.
using FCall = std::function<std::int32_t(const CNetworkView&, NFinding_stru*, const NProgress_stru*, std::vector<double>&)>;

template <class T>
void Append(std::vector<double>& out, const std::vector<T>& v) {
  out.push_back(static_cast<double>(v.size()));
  for (const T& x : v) out.push_back(static_cast<double>(x));
}

struct NCall {
  const char* pszName;
  FCall run;
};

// An area from (toward) two corners over lThreads threads: only the calling
// thread polls, the other stops with it.
FCall AreaCall(bool bToward, std::int32_t lThreads) {
  return [bToward, lThreads](const CNetworkView& v, NFinding_stru* e, const NProgress_stru* p, std::vector<double>& out) {
    NRouteOptions_stru opt;
    opt.lThreads = lThreads;
    NServiceArea_stru a;
    a.nods.assign(1, -7);
    const std::vector<std::int32_t> corners{1, kSide * kSide};
    const std::int32_t s = bToward ? FindServiceAreaTo(v, corners, 1e9, opt, a, e, p)
                                   : FindServiceArea(v, corners, 1e9, opt, a, e, p);
    Append(out, a.nods);
    Append(out, a.costs);
    return s;
  };
}

std::vector<NCall> LongCalls(CLocalNetwork& net) {
  const std::vector<std::int32_t> one{1};
  return {
      {"TraceNetwork",
       [one](const CNetworkView& v, NFinding_stru* e, const NProgress_stru* p, std::vector<double>& out) {
         NTraceQuery_stru q;
         q.starts = one;
         NTraceResult_stru r;
         r.nods.assign(1, -7);  // what a refusal must leave
         const std::int32_t s = TraceNetwork(v, q, r, e, p);
         Append(out, r.nods);
         Append(out, r.edges);
         return s;
       }},
      {"FindComponents",
       [](const CNetworkView& v, NFinding_stru* e, const NProgress_stru* p, std::vector<double>& out) {
         NComponents_stru c;
         c.lCount = -7;
         const std::int32_t s = FindComponents(v, NComponentKind::Strong, NElemSet_stru(), c, e, p);
         out.push_back(c.lCount);
         Append(out, c.nodComp);
         return s;
       }},
      {"IsolateElement",
       [](const CNetworkView& v, NFinding_stru* e, const NProgress_stru* p, std::vector<double>& out) {
         NIsolationQuery_stru q;
         q.lStart = kSide * kSide / 2;
         q.sources = {1};
         q.devices = {kSide * kSide / 2 + 1, kSide * kSide / 2 - 1};
         NIsolationResult_stru r;
         r.devices.assign(1, -7);
         const std::int32_t s = IsolateElement(v, q, r, e, p);
         Append(out, r.devices);
         Append(out, r.isolated.nods);
         return s;
       }},
      {"FindCostsFrom",
       [](const CNetworkView& v, NFinding_stru* e, const NProgress_stru* p, std::vector<double>& out) {
         std::vector<double> costs(1, -7.0);
         const std::int32_t s = FindCostsFrom(v, 1, NRouteOptions_stru(), costs, e, p);
         Append(out, costs);
         return s;
       }},
      {"FindCostMatrix",
       [](const CNetworkView& v, NFinding_stru* e, const NProgress_stru* p, std::vector<double>& out) {
         std::vector<double> costs(1, -7.0);
         const std::int32_t s = FindCostMatrix(v, {1, kSide}, {kSide * kSide}, NRouteOptions_stru(), costs, e, p);
         Append(out, costs);
         return s;
       }},
      {"FindServiceArea", AreaCall(false, 1)},
      {"FindServiceArea (two threads)", AreaCall(false, 2)},
      {"FindSidedServiceArea",
       [](const CNetworkView& v, NFinding_stru* e, const NProgress_stru* p, std::vector<double>& out) {
         NServiceArea_stru a;
         a.nods.assign(1, -7);
         const std::int32_t s =
             FindSidedServiceArea(v, {1, 2}, {DrivingSide::Right, DrivingSide::Left}, 1e9, NRouteOptions_stru(), a, e, p);
         Append(out, a.nods);
         return s;
       }},
      {"FindComponents (options)",
       [](const CNetworkView& v, NFinding_stru* e, const NProgress_stru* p, std::vector<double>& out) {
         NComponentOptions_stru o;
         o.bFollowCosts = true;
         NComponents_stru c;
         c.lCount = -7;
         const std::int32_t s = FindComponents(v, NComponentKind::Weak, o, c, e, p);
         out.push_back(c.lCount);
         Append(out, c.nodComp);
         return s;
       }},
      {"FindCostsTo",
       [](const CNetworkView& v, NFinding_stru* e, const NProgress_stru* p, std::vector<double>& out) {
         std::vector<double> costs(1, -7.0);
         std::vector<std::int32_t> by(1, -7);
         const std::int32_t s = FindCostsTo(v, kSide * kSide, NRouteOptions_stru(), costs, by, e, p);
         Append(out, costs);
         Append(out, by);
         return s;
       }},
      {"FindServiceAreaTo", AreaCall(true, 1)},
      {"FindServiceAreaTo (two threads)", AreaCall(true, 2)},
      {"FindClosestFacility",
       [](const CNetworkView& v, NFinding_stru* e, const NProgress_stru* p, std::vector<double>& out) {
         NClosestFacility_stru f;
         f.facility.assign(1, -7);
         const std::int32_t s = FindClosestFacility(v, {1, kSide * kSide}, NRouteOptions_stru(), f, e, p);
         Append(out, f.facility);
         return s;
       }},
      {"FindRestrictedCostsFrom",
       [](const CNetworkView& v, NFinding_stru* e, const NProgress_stru* p, std::vector<double>& out) {
         std::vector<double> costs(1, -7.0);
         const std::int32_t s = FindRestrictedCostsFrom(v, 1, NRouteOptions_stru(), {}, costs, e, p);
         Append(out, costs);
         return s;
       }},
      {"FindSidedCostMatrix",
       [](const CNetworkView& v, NFinding_stru* e, const NProgress_stru* p, std::vector<double>& out) {
         std::vector<double> costs(1, -7.0);
         const std::int32_t s =
             FindSidedCostMatrix(v, {1}, {DrivingSide::Right}, {kSide * kSide}, {}, NRouteOptions_stru(), costs, e, p);
         Append(out, costs);
         return s;
       }},
      {"CNetworkView::Build",
       [&net](const CNetworkView&, NFinding_stru* e, const NProgress_stru* p, std::vector<double>& out) {
         CNetworkView built;
         const std::int32_t s = built.Build(net, NViewOptions_stru(), e, p);
         out.push_back(built.GetNodNum());  // a refused build leaves the view empty
         out.push_back(built.IsCurrent() ? 1 : 0);
         return s;
       }},
  };
}

TEST_F(StopTest, EveryLongAnalysisStopsAtTheFirstPollWithItsOutputUntouched) {
  for (const NCall& call : LongCalls(net)) {
    SCOPED_TRACE(call.pszName);
    std::vector<double> plain, stopped, polled;
    NFinding_stru err;
    ASSERT_EQ(call.run(view, &err, nullptr, plain), 1) << err.strText;

    NPolls stop;
    stop.bGo = false;
    const NProgress_stru pStop{Poll, &stop};
    EXPECT_EQ(call.run(view, &err, &pStop, stopped), 0);
    EXPECT_EQ(err.eCode, NFindingCode::Stopped);
    EXPECT_EQ(stop.lCalls, 1);
    std::vector<double> untouched;  // the output as the call found it
    call.run(view, nullptr, &pStop, untouched);
    EXPECT_EQ(stopped, untouched);
    EXPECT_NE(stopped, plain);

    NPolls go;
    const NProgress_stru pGo{Poll, &go};
    EXPECT_EQ(call.run(view, &err, &pGo, polled), 1);
    EXPECT_EQ(polled, plain);
    EXPECT_GE(go.lCalls, 1);
    EXPECT_TRUE(go.bRising);
  }
}

}  // namespace
