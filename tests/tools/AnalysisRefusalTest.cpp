// Every analysis refuses bad input with status 0 and a finding that names
// the element, leaving its outputs (and the network) as they were.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "kelvane/tools/AnalysisInput.h"
#include "kelvane/tools/Components.h"
#include "kelvane/tools/Isolation.h"
#include "kelvane/tools/NetworkBuilder.h"
#include "kelvane/tools/NetworkView.h"
#include "kelvane/tools/ServiceArea.h"
#include "kelvane/tools/ShortestPath.h"
#include "kelvane/tools/TraceAnalysis.h"
#include "support/Flags.h"

using namespace kelvane::tools;

namespace {

// 1 -e1-> 2 -e2-> 3 -e3-> 4, and the view of it.
class AnalysisRefusalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CNetworkBuilder b;
    b.SetNodNum(4);
    for (std::int32_t n = 1; n < 4; ++n) b.AddEdge(n, n + 1);
    ASSERT_EQ(b.Build(net), 1);
    ASSERT_EQ(view.Build(net), 1);
    ASSERT_EQ(stale.Build(net), 1);
  }
  CLocalNetwork net;
  CNetworkView view;
  CNetworkView stale;  // made stale by the test that needs it
};

struct Case {
  const char* what;
  NElemKind eKind;
  std::int32_t lElem;
  // Runs the analysis with bad input on outputs filled beforehand; returns
  // its status and whether the outputs are as they were.
  std::function<std::int32_t(const CNetworkView&, NFinding_stru&, bool&)> run;
};

NTraceQuery_stru Trace(std::vector<std::int32_t> starts) {
  NTraceQuery_stru q;
  q.starts = std::move(starts);
  return q;
}

std::int32_t RunTrace(const CNetworkView& v, const NTraceQuery_stru& q, NFinding_stru& err, bool& kept) {
  NTraceResult_stru r;
  r.nods = {99};
  r.edges = {98};
  const std::int32_t st = TraceNetwork(v, q, r, &err);
  kept = r.nods == std::vector<std::int32_t>{99} && r.edges == std::vector<std::int32_t>{98};
  return st;
}

std::int32_t RunCosts(const CNetworkView& v, std::int32_t from, const NRouteOptions_stru& opt, NFinding_stru& err,
                      bool& kept) {
  std::vector<double> c = {-7.0};
  const std::int32_t st = FindCostsFrom(v, from, opt, c, &err);
  kept = c == std::vector<double>{-7.0};
  return st;
}

std::int32_t RunArea(const CNetworkView& v, double limit, const NRouteOptions_stru& opt, NFinding_stru& err,
                     bool& kept) {
  NServiceArea_stru a;
  a.nods = {99};
  const std::int32_t st = FindServiceArea(v, {1}, limit, opt, a, &err);
  kept = a.nods == std::vector<std::int32_t>{99} && a.costs.empty() && a.edges.empty();
  return st;
}

}  // namespace

TEST_F(AnalysisRefusalTest, BadInputIsRefusedNamingTheElementWithOutputsUntouched) {
  NRouteOptions_stru plain;
  NRouteOptions_stru badBarrier;
  badBarrier.barriers.edges = {-9};
  const std::vector<Case> cases = {
      {"trace start 0", NElemKind::Node, 0,
       [](const CNetworkView& v, NFinding_stru& e, bool& k) { return RunTrace(v, Trace({0}), e, k); }},
      {"trace start beyond the nodes", NElemKind::Node, 5,
       [](const CNetworkView& v, NFinding_stru& e, bool& k) { return RunTrace(v, Trace({1, 5}), e, k); }},
      {"trace barrier edge", NElemKind::Edge, -9,
       [](const CNetworkView& v, NFinding_stru& e, bool& k) {
         NTraceQuery_stru q = Trace({1});
         q.barriers.edges = {-9};
         return RunTrace(v, q, e, k);
       }},
      {"trace stop node", NElemKind::Node, 7,
       [](const CNetworkView& v, NFinding_stru& e, bool& k) {
         NTraceQuery_stru q = Trace({1});
         q.stops.nods = {7};
         return RunTrace(v, q, e, k);
       }},
      {"path end", NElemKind::Node, 6,
       [](const CNetworkView& v, NFinding_stru& e, bool& k) {
         NPath_stru p;
         p.lFrom = 42;
         const std::int32_t st = FindShortestPath(v, 1, 6, NRouteOptions_stru(), p, &e);
         k = p.lFrom == 42 && p.steps.empty();
         return st;
       }},
      {"costs barrier edge", NElemKind::Edge, -9,
       [badBarrier](const CNetworkView& v, NFinding_stru& e, bool& k) { return RunCosts(v, 1, badBarrier, e, k); }},
      {"costs start", NElemKind::Node, -1,
       [plain](const CNetworkView& v, NFinding_stru& e, bool& k) { return RunCosts(v, -1, plain, e, k); }},
      {"matrix target", NElemKind::Node, 8,
       [](const CNetworkView& v, NFinding_stru& e, bool& k) {
         std::vector<double> c = {-7.0};
         const std::int32_t st = FindCostMatrix(v, {1, 2}, {3, 8}, NRouteOptions_stru(), c, &e);
         k = c == std::vector<double>{-7.0};
         return st;
       }},
      {"area limit not a number", NElemKind::Network, 0,
       [plain](const CNetworkView& v, NFinding_stru& e, bool& k) { return RunArea(v, std::nan(""), plain, e, k); }},
      {"area limit negative", NElemKind::Network, 0,
       [plain](const CNetworkView& v, NFinding_stru& e, bool& k) { return RunArea(v, -1.0, plain, e, k); }},
      {"components barrier node", NElemKind::Node, 9,
       [](const CNetworkView& v, NFinding_stru& e, bool& k) {
         NElemSet_stru b;
         b.nods = {9};
         NComponents_stru c;
         c.lCount = 77;
         const std::int32_t st = FindComponents(v, NComponentKind::Weak, b, c, &e);
         k = c.lCount == 77 && c.nodComp.empty();
         return st;
       }},
      {"isolation start edge", NElemKind::Edge, 4,
       [](const CNetworkView& v, NFinding_stru& e, bool& k) {
         NIsolationQuery_stru q;
         q.eStartKind = NElemKind::Edge;
         q.lStart = 4;
         q.sources = {1};
         NIsolationResult_stru r;
         r.devices = {99};
         const std::int32_t st = IsolateElement(v, q, r, &e);
         k = r.devices == std::vector<std::int32_t>{99};
         return st;
       }},
      {"isolation device", NElemKind::Node, 0,
       [](const CNetworkView& v, NFinding_stru& e, bool& k) {
         NIsolationQuery_stru q;
         q.lStart = 2;
         q.devices = {3, 0};
         q.sources = {1};
         NIsolationResult_stru r;
         r.devices = {99};
         const std::int32_t st = IsolateElement(v, q, r, &e);
         k = r.devices == std::vector<std::int32_t>{99};
         return st;
       }},
  };
  for (const Case& c : cases) {
    NFinding_stru err;
    bool kept = false;
    EXPECT_EQ(c.run(view, err, kept), 0) << c.what;
    EXPECT_TRUE(kept) << c.what << ": outputs written";
    EXPECT_EQ(err.eKind, c.eKind) << c.what << ": " << err.strText;
    EXPECT_EQ(err.lElem, c.lElem) << c.what << ": " << err.strText;
    if (c.eKind != NElemKind::Network) {
      EXPECT_NE(err.strText.find(std::to_string(c.lElem)), std::string::npos) << c.what << ": " << err.strText;
    } else {
      EXPECT_FALSE(err.strText.empty()) << c.what;
    }
  }
  // Once flag mapping has changed the network, every analysis refuses the
  // view built before it, naming the network.
  CSmartArray<NET_FLGstruct> in;
  in.Add(Flag(2, 2, 0.5));
  CSmartArray<NET_FLGstruct> out;
  CSmartArray<TEMPEDGE_MAP_EDGE> temp;
  CSmartArray<std::int32_t> newNods;
  ASSERT_EQ(net.MapNetFlag(in, out, temp, newNods), 1);
  const std::vector<Case> good = {
      {"trace", NElemKind::Network, 0,
       [](const CNetworkView& v, NFinding_stru& e, bool& k) { return RunTrace(v, Trace({1}), e, k); }},
      {"costs", NElemKind::Network, 0,
       [plain](const CNetworkView& v, NFinding_stru& e, bool& k) { return RunCosts(v, 1, plain, e, k); }},
      {"area", NElemKind::Network, 0,
       [plain](const CNetworkView& v, NFinding_stru& e, bool& k) { return RunArea(v, 5.0, plain, e, k); }},
      {"components", NElemKind::Network, 0,
       [](const CNetworkView& v, NFinding_stru& e, bool& k) {
         NComponents_stru c;
         c.lCount = 77;
         const std::int32_t st = FindComponents(v, NComponentKind::Strong, NElemSet_stru(), c, &e);
         k = c.lCount == 77;
         return st;
       }},
  };
  for (const Case& c : good) {
    NFinding_stru err;
    bool kept = false;
    EXPECT_EQ(c.run(stale, err, kept), 0) << c.what;
    EXPECT_TRUE(kept) << c.what;
    EXPECT_EQ(err.eKind, NElemKind::Network) << c.what;
    EXPECT_FALSE(err.strText.empty()) << c.what;
  }
  // Marks from a stale view are not written: no trace is opened.
  NTraceResult_stru r;
  r.nods = {1};
  NFinding_stru err;
  EXPECT_EQ(WriteTraceMarks(net, stale, r, &err), 0);
  CSmartArray<std::int32_t> nods;
  CSmartArray<std::int32_t> edges;
  EXPECT_EQ(net.FetchTraceResult(nods, edges), -2);
  // A flag the mapping left on its edge names the flag; the list stays.
  CSmartArray<NET_FLGstruct> mapped(out);
  mapped.Add(Flag(2, 3, 0.25));
  std::vector<std::int32_t> flagNods = {99};
  EXPECT_EQ(FlagNods(mapped, flagNods, &err), 0);
  EXPECT_EQ(err.eKind, NElemKind::Flag);
  EXPECT_EQ(err.lElem, 1);
  EXPECT_EQ(flagNods, std::vector<std::int32_t>{99});
}

TEST_F(AnalysisRefusalTest, MarksOutOfRangeAreRefusedWithTheNetworkUntouched) {
  NTraceResult_stru r;
  r.nods = {1, 2};
  r.edges = {1, 4};
  NFinding_stru err;
  EXPECT_EQ(WriteTraceMarks(net, view, r, &err), 0);
  EXPECT_EQ(err.eKind, NElemKind::Edge);
  EXPECT_EQ(err.lElem, 4);
  CSmartArray<std::int32_t> nods;
  CSmartArray<std::int32_t> edges;
  EXPECT_EQ(net.FetchTraceResult(nods, edges), -2);
}
