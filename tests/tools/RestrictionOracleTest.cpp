// Restricted routes against a search over an expanded graph written here: a
// state is a node and the last steps taken (as many as the longest
// restriction needs), and a step is refused when the steps so far end with a
// whole "no" path, or end with part of an "only" path that the step leaves.
// Random networks and restrictions, with and without turn weights.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <map>
#include <queue>
#include <random>
#include <utility>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "kelvane/tools/DrivingSide.h"
#include "kelvane/tools/NetworkView.h"
#include "kelvane/tools/Restrictions.h"
#include "kelvane/tools/SearchWorkspace.h"
#include "kelvane/tools/ShortestPath.h"
#include "tools/RandomNetwork.h"

using namespace kelvane::tools;

namespace {

using kelvane::tools::NRestriction_stru;
using kelvane::tools::NRestrictionKind;
using oracle::Arc;
using oracle::kInf;

typedef std::pair<std::int32_t, std::int32_t> Step;  // edge, node left

struct Rule {
  bool only;
  std::vector<Step> path;
};

struct Way {
  Arc a;
  double cost;
};

bool EndsWith(const std::vector<Step>& w, const std::vector<Step>& tail, std::size_t len) {
  if (w.size() < len) return false;
  return std::equal(tail.begin(), tail.begin() + static_cast<std::ptrdiff_t>(len), w.end() - static_cast<std::ptrdiff_t>(len));
}

// Whether step s may follow the steps h.
bool Allowed(const std::vector<Rule>& rules, std::vector<Step> h, const Step& s) {
  for (const Rule& r : rules) {
    if (!r.only) continue;
    for (std::size_t k = 1; k < r.path.size(); ++k) {
      if (EndsWith(h, r.path, k) && r.path[k] != s) return false;
    }
  }
  h.push_back(s);
  for (const Rule& r : rules) {
    if (!r.only && EndsWith(h, r.path, r.path.size())) return false;
  }
  return true;
}

// Least costs from s over (node, last steps) states.
std::vector<double> ExpandedSearch(CLocalNetwork& net, const std::vector<Way>& ways, const std::vector<Rule>& rules,
                                   std::int32_t s, bool turns) {
  std::size_t keep = turns ? 1 : 0;  // a turn weight needs the edge arrived by
  for (const Rule& r : rules) keep = std::max(keep, r.path.size() - 1);
  typedef std::pair<std::int32_t, std::vector<Step>> State;
  std::map<State, double> dist;
  std::vector<double> nod(static_cast<std::size_t>(net.m_lNodNum) + 1, kInf);
  typedef std::pair<double, State> Item;
  std::priority_queue<Item, std::vector<Item>, std::greater<Item>> pq;
  dist[State(s, {})] = 0.0;
  pq.push(Item(0.0, State(s, {})));
  while (!pq.empty()) {
    const Item top = pq.top();
    pq.pop();
    if (top.first > dist[top.second]) continue;
    const std::int32_t v = top.second.first;
    const std::vector<Step>& h = top.second.second;
    nod[v] = std::min(nod[v], top.first);
    for (const Way& w : ways) {
      if (w.a.from != v) continue;
      const Step st(w.a.edge, v);
      if (!Allowed(rules, h, st)) continue;
      double t = 0.0;
      if (turns && !h.empty() && net.GetTurnWgtVal(v, h.back().first, w.a.edge, t) != 1) t = 0.0;
      if (t < 0.0) continue;
      std::vector<Step> next = h;
      next.push_back(st);
      if (next.size() > keep) next.erase(next.begin(), next.end() - static_cast<std::ptrdiff_t>(keep));
      const State to(w.a.to, next);
      const double d = top.first + t + w.cost;
      auto it = dist.find(to);
      if (it == dist.end() || d < it->second) {
        dist[to] = d;
        pq.push(Item(d, to));
      }
    }
  }
  return nod;
}

// The ways of a network before its nodes are closed: every step one may
// take, at a finite cost, out of a node that stays open.
std::vector<Way> OpenWays(oracle::RandomNet& r) {
  std::vector<Way> ways;
  for (const Arc& a : oracle::Ways(r.net)) {
    const double c = oracle::WayCost(r.net, a.edge, a.along);
    if (r.closed[a.from] == 0 && !std::isinf(c)) ways.push_back(Way{a, c});
  }
  return ways;
}

// Two to seven restrictions along random walks of two to four steps over
// the ways, as given and as the oracle reads them.
void MakeRestrictions(std::mt19937& rng, CLocalNetwork& net, const std::vector<Way>& ways, int round,
                      std::vector<NRestriction_stru>& given, std::vector<Rule>& rules) {
  std::uniform_real_distribution<double> u(0.0, 1.0);
  std::uniform_int_distribution<std::size_t> anyWay(0, ways.size() - 1);
  for (int k = 0; k < 2 + round % 6; ++k) {
    Rule rule{u(rng) < 0.4, {}};
    NRestriction_stru res;
    res.eKind = rule.only ? NRestrictionKind::Only : NRestrictionKind::No;
    const Arc first = ways[anyWay(rng)].a;
    std::int32_t at = first.from;
    const std::size_t len = 2 + static_cast<std::size_t>(round + k) % 3;
    for (Arc a = first; rule.path.size() < len;) {
      rule.path.push_back(Step(a.edge, at));
      res.edges.push_back(a.edge);
      at = a.to;
      std::vector<Arc> on;
      for (const Way& w : ways) {
        if (w.a.from == at) on.push_back(w.a);
      }
      if (on.empty()) break;
      a = on[std::uniform_int_distribution<std::size_t>(0, on.size() - 1)(rng)];
    }
    if (rule.path.size() < 2) continue;
    res.lViaNod = u(rng) < 0.5 ? rule.path[1].second : 0;
    std::int32_t f0 = 0, t0 = 0, f1 = 0, t1 = 0;
    ASSERT_EQ(net.GetEdgeFromToNod(res.edges[0], f0, t0), 1);
    ASSERT_EQ(net.GetEdgeFromToNod(res.edges[1], f1, t1), 1);
    if ((f0 == f1 || f0 == t1) && (t0 == f1 || t0 == t1) && f0 != t0) res.lViaNod = rule.path[1].second;
    given.push_back(res);
    rules.push_back(rule);
  }
}

// One round's network (closed after its ways are read), its open ways and
// its restrictions. false: a fatal failure, or no open way (skip the round).
struct RestrictedRound {
  oracle::RandomNet r;
  std::vector<Way> ways;
  std::vector<NRestriction_stru> given;
  std::vector<Rule> rules;
  bool Make(std::mt19937& rng, const oracle::Shape& shape, int round) {
    r.Make(rng, shape);
    if (::testing::Test::HasFatalFailure()) return false;
    ways = OpenWays(r);
    r.Close();
    if (ways.empty()) return false;
    MakeRestrictions(rng, r.net, ways, round, given, rules);
    return !::testing::Test::HasFatalFailure();
  }
};

TEST(RestrictionOracleTest, RestrictedRoutesAreWhatTheExpandedGraphGives) {
  std::mt19937 rng(23);
  for (int round = 0; round < 150; ++round) {
    oracle::Shape shape;
    shape.turns = round % 2 == 1;
    shape.maxNods = 25;
    RestrictedRound k;
    if (!k.Make(rng, shape, round)) {
      if (HasFatalFailure()) return;
      continue;
    }
    oracle::RandomNet& r = k.r;
    const std::vector<Way>& ways = k.ways;
    const std::vector<NRestriction_stru>& given = k.given;
    const std::vector<Rule>& rules = k.rules;
    std::uniform_int_distribution<std::size_t> anyWay(0, ways.size() - 1);
    CNetworkView view;
    const NViewOptions_stru vo = oracle::ViewOptions();
    ASSERT_EQ(view.Build(r.net, vo), 1);
    // From where a restriction starts, so that most rounds meet one.
    const std::int32_t s = rules.empty() || round % 4 == 0 ? ways[anyWay(rng)].a.from : rules[0].path[0].second;
    SCOPED_TRACE(testing::Message() << "round " << round << ", from " << s);
    const std::vector<double> want = ExpandedSearch(r.net, ways, rules, s, shape.turns);
    NRouteOptions_stru opt;
    std::vector<double> got;
    NFinding_stru err;
    ASSERT_EQ(kelvane::tools::FindRestrictedCostsFrom(view, s, opt, given, got, &err), 1) << err.strText;
    ASSERT_EQ(got.size(), static_cast<std::size_t>(r.nods));
    for (std::int32_t v = 1; v <= r.nods; ++v) {
      if (std::isinf(want[v])) {
        EXPECT_TRUE(std::isinf(got[v - 1])) << "node " << v;
      } else {
        EXPECT_NEAR(got[v - 1], want[v], 1e-9) << "node " << v;
      }
    }
    // A path: a walk over the ways, breaking no restriction, at that cost.
    for (std::int32_t t : oracle::Pick(rng, r.nods, 3)) {
      NPath_stru p;
      ASSERT_EQ(kelvane::tools::FindRestrictedPath(view, s, t, opt, given, p, &err), 1) << err.strText;
      ASSERT_EQ(p.bFound, !std::isinf(want[t])) << "to " << t;
      if (!p.bFound) continue;
      EXPECT_NEAR(p.dCost, want[t], 1e-9) << "to " << t;
      std::vector<Step> h;
      std::int32_t at = s;
      double cost = 0.0;
      for (const NPathStep_stru& st : p.steps) {
        double best = kInf;
        for (const Way& w : ways) {
          if (w.a.from == at && w.a.to == st.lNod && w.a.edge == st.lEdge) best = std::min(best, w.cost);
        }
        ASSERT_FALSE(std::isinf(best)) << "no way over edge " << st.lEdge;
        ASSERT_TRUE(Allowed(rules, h, Step(st.lEdge, at))) << "edge " << st.lEdge << " breaks a restriction";
        double turn = 0.0;
        if (shape.turns && !h.empty() && r.net.GetTurnWgtVal(at, h.back().first, st.lEdge, turn) != 1) turn = 0.0;
        cost += turn + best;
        EXPECT_NEAR(st.dCost, cost, 1e-9);
        h.push_back(Step(st.lEdge, at));
        at = st.lNod;
      }
      EXPECT_EQ(at, t);
    }
  }
}

void ExpectSamePath(const NPath_stru& got, const NPath_stru& want) {
  EXPECT_EQ(got.bFound, want.bFound);
  EXPECT_EQ(got.dCost, want.dCost);
  ASSERT_EQ(got.steps.size(), want.steps.size());
  for (std::size_t i = 0; i < got.steps.size(); ++i) {
    EXPECT_EQ(got.steps[i].lEdge, want.steps[i].lEdge) << "step " << i;
    EXPECT_EQ(got.steps[i].lNod, want.steps[i].lNod) << "step " << i;
    EXPECT_EQ(got.steps[i].dCost, want.steps[i].dCost) << "step " << i;
  }
}

// One workspace lent to every call, restricted, sided and plain in turn, on
// networks of many sizes (it grows to the largest and then serves smaller
// ones): each answer must be the one a call with a state of its own gives.
// A label, a node's cost or a heap position one search leaves behind shows
// in a later one.
TEST(RestrictionOracleTest, AWorkspaceServesEveryCallAsAFreshStateWould) {
  std::mt19937 rng(47);
  std::uniform_int_distribution<int> anyCall(0, 4);
  std::uniform_int_distribution<int> anySide(0, 2);
  CSearchWorkspace work;
  for (int round = 0; round < 80; ++round) {
    oracle::Shape shape;
    shape.turns = round % 3 == 1;
    shape.maxNods = round % 5 == 0 ? 150 : 30;
    RestrictedRound k;
    if (!k.Make(rng, shape, round)) {
      if (HasFatalFailure()) return;
      continue;
    }
    oracle::RandomNet& r = k.r;
    const std::vector<NRestriction_stru>& given = k.given;
    const std::vector<Rule>& rules = k.rules;
    CNetworkView view;
    ASSERT_EQ(view.Build(r.net, oracle::ViewOptions()), 1);
    NRouteOptions_stru fresh;
    fresh.bDirected = round % 4 != 3;
    if (round % 3 == 2) {  // every other time at the start of the calls that start where a restriction does
      const bool bAtStart = round % 6 == 2 && !rules.empty();
      fresh.barriers.nods.assign(1, bAtStart ? rules[0].path[0].second : oracle::Pick(rng, r.nods, 1)[0]);
    }
    NRouteOptions_stru lent = fresh;
    lent.pWork = &work;
    for (int call = 0; call < 6; ++call) {
      const int kind = anyCall(rng);
      const std::int32_t s = rules.empty() || call % 2 == 1 ? oracle::Pick(rng, r.nods, 1)[0] : rules[0].path[0].second;
      const std::int32_t t = oracle::Pick(rng, r.nods, 1)[0];
      const DrivingSide sSide = static_cast<DrivingSide>(anySide(rng));
      const DrivingSide tSide = static_cast<DrivingSide>(anySide(rng));
      SCOPED_TRACE(testing::Message() << "round " << round << ", call " << call << ", kind " << kind);
      std::vector<double> got, want;
      NPath_stru gotPath, wantPath;
      if (kind == 0) {
        ASSERT_EQ(kelvane::tools::FindRestrictedCostsFrom(view, s, lent, given, got), 1);
        ASSERT_EQ(kelvane::tools::FindRestrictedCostsFrom(view, s, fresh, given, want), 1);
      } else if (kind == 1) {
        ASSERT_EQ(FindCostsFrom(view, t, lent, got), 1);
        ASSERT_EQ(FindCostsFrom(view, t, fresh, want), 1);
      } else if (kind == 2) {
        const std::vector<std::int32_t> from = oracle::Pick(rng, r.nods, 2);
        const std::vector<std::int32_t> to = oracle::Pick(rng, r.nods, 3);
        const std::vector<DrivingSide> fromSides(from.size(), sSide);
        const std::vector<DrivingSide> toSides(to.size(), tSide);
        ASSERT_EQ(kelvane::tools::FindSidedCostMatrix(view, from, fromSides, to, toSides, lent, got), 1);
        ASSERT_EQ(kelvane::tools::FindSidedCostMatrix(view, from, fromSides, to, toSides, fresh, want), 1);
      } else if (kind == 3) {
        ASSERT_EQ(kelvane::tools::FindRestrictedPath(view, s, t, lent, given, gotPath), 1);
        ASSERT_EQ(kelvane::tools::FindRestrictedPath(view, s, t, fresh, given, wantPath), 1);
      } else {
        ASSERT_EQ(kelvane::tools::FindSidedPath(view, s, sSide, t, tSide, lent, gotPath), 1);
        ASSERT_EQ(kelvane::tools::FindSidedPath(view, s, sSide, t, tSide, fresh, wantPath), 1);
      }
      EXPECT_EQ(got, want);
      ExpectSamePath(gotPath, wantPath);
      // A barrier start reaches nothing, not even itself, as in the plain search.
      if (kind == 0 && !fresh.barriers.nods.empty() && fresh.barriers.nods[0] == s) {
        EXPECT_EQ(std::count(got.begin(), got.end(), kInf), r.nods);
      }
    }
  }
}

TEST(RestrictionOracleTest, ARestrictionThatIsNoPathIsRefusedByName) {
  oracle::RandomNet r;
  std::mt19937 rng(3);
  r.Make(rng, oracle::Shape());
  if (HasFatalFailure()) return;
  CNetworkView view;
  ASSERT_EQ(view.Build(r.net), 1);
  std::vector<NRestriction_stru> given(1);
  given[0].edges = {1, r.net.m_lEdgeNum + 1};
  NPath_stru p;
  p.lFrom = -7;
  NFinding_stru err;
  EXPECT_EQ(kelvane::tools::FindRestrictedPath(view, 1, 1, NRouteOptions_stru(), given, p, &err), 0);
  EXPECT_EQ(p.lFrom, -7);
  EXPECT_NE(err.strText.find("restriction 0: edge"), std::string::npos) << err.strText;
  given[0].edges = {1};
  EXPECT_EQ(kelvane::tools::FindRestrictedPath(view, 1, 1, NRouteOptions_stru(), given, p, &err), 0);
  EXPECT_EQ(err.strText, "restriction 0: a path needs two edges or more");
}

}  // namespace
