// RestrictedRoute.cpp - routes under turn restrictions over paths of edges.
//
// The search runs over labels (place, state): the place is a node, or with
// turn weights the step entry arrived by; the state is the set of
// restrictions whose path the route is part way along, with how far. A state
// is made the first time a search steps onto a restriction's first edge, so
// a network with few restrictions has few labels beyond one per place, and
// those live in a plain array of the search state, which a workspace keeps
// between calls; the others are numbered in a table of the call's own. A
// step that completes a "no" path, or leaves an "only" path before its end,
// is not taken. With no restriction, and with no side to keep to, a call is
// the plain search's.
//
// A step is named by its edge and the node it leaves, which is what a
// restriction's path names: the direction of a loop does not matter to it.
//
// The same search serves routes between flags with driving sides: the start
// is left by the steps its side allows only, and with labels per step entry
// arrived by, each node's best arrival along and against its edge is kept
// apart, so that a target's cost is the best arrival from its side.
#include "kelvane/tools/Restrictions.h"

#include "kelvane/tools/DrivingSide.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <new>
#include <unordered_map>
#include <utility>
#include <vector>

#include "tools/AnalysisInt.h"
#include "tools/RouteSearch.h"
#include "tools/SearchHeap.h"
#include "tools/StepRules.h"
#include "tools/ToolsInt.h"

namespace kelvane {
namespace tools {
namespace {

constexpr double kNoWay = kNoRoute;

inline std::uint64_t ArcKey(std::int32_t lEdge, std::int32_t lLeft) {
  return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(lEdge)) << 32) | static_cast<std::uint32_t>(lLeft);
}

// The restrictions of one call as the steps of their paths, and the states
// made from them so far.
class CRestrictionAutomaton {
 public:
  // Reads the restrictions; 0 with a finding naming the first that is not a
  // path of the view's edges.
  std::int32_t Read(const CNetworkView& view, const std::vector<NRestriction_stru>& in, NFinding_stru* pError) {
    m_firstEdges = CElemBits(view.GetEdgeNum());
    m_items.assign(1, std::vector<std::int64_t>());  // state 0: on no path
    m_next.assign(1, std::unordered_map<std::uint64_t, std::int32_t>());
    for (std::size_t r = 0; r < in.size(); ++r) {
      const std::int32_t id = static_cast<std::int32_t>(r);
      std::vector<std::uint64_t> path;
      if (ReadPath(view, in[r], id, path, pError) == 0) return 0;
      m_firstEdges.Set(in[r].edges[0]);
      m_starting[path[0]].push_back(id);
      m_paths.push_back(std::move(path));
      m_only.push_back(in[r].eKind == NRestrictionKind::Only);
    }
    return 1;
  }

  // The state after the step (lEdge, leaving lLeft) from state s; -1 when
  // the step breaks a restriction.
  std::int32_t Step(std::int32_t s, std::int32_t lEdge, std::int32_t lLeft) {
    if (s == 0 && !m_firstEdges.Test(lEdge)) return 0;
    const std::uint64_t a = ArcKey(lEdge, lLeft);
    const auto memo = m_next[static_cast<std::size_t>(s)].find(a);
    if (memo != m_next[static_cast<std::size_t>(s)].end()) return memo->second;
    const std::int32_t t = Make(s, a);
    m_next[static_cast<std::size_t>(s)].emplace(a, t);
    return t;
  }

 private:
  // Restriction `id` as its steps: the from edge towards the via node, then
  // each edge from the node the one before arrived at. 0 with a finding
  // when it is not a path of the view's edges.
  static std::int32_t ReadPath(const CNetworkView& view, const NRestriction_stru& res, std::int32_t id,
                               std::vector<std::uint64_t>& path, NFinding_stru* pError) {
    if (res.eKind != NRestrictionKind::No && res.eKind != NRestrictionKind::Only) {
      return Bad(pError, NFindingCode::BadArgument, 0, Format("restriction %d: kind %d is neither no (0) nor only (1)", id,
                                   static_cast<int>(res.eKind)));
    }
    if (res.edges.size() < 2) return Bad(pError, NFindingCode::BadArgument, 0, Format("restriction %d: a path needs two edges or more", id));
    for (std::int32_t e : res.edges) {
      if (e < 1 || e > view.GetEdgeNum()) {
        return Bad(pError, NFindingCode::OutOfRange, 0, Format("restriction %d: edge %d is not an edge of the view", id, e));
      }
    }
    const CLocalNetwork& net = *view.GetNetwork();
    const std::int32_t via = res.lViaNod != 0 ? res.lViaNod : SharedNod(net, res, id, pError);
    if (via == 0) return 0;
    std::int32_t at = Other(net.m_pEdgeNod[res.edges[0] - 1], via);
    if (at == 0 || via < 1 || via > view.GetNodNum()) {
      return Bad(pError, NFindingCode::BadArgument, res.edges[0], Format("restriction %d: edge %d does not end at node %d", id, res.edges[0], via));
    }
    for (std::int32_t e : res.edges) {
      const std::int32_t to = Other(net.m_pEdgeNod[e - 1], at);
      if (to == 0) return Bad(pError, NFindingCode::BadArgument, e, Format("restriction %d: edge %d does not follow on at node %d", id, e, at));
      path.push_back(ArcKey(e, at));
      at = to;
    }
    return 1;
  }

  // The one node the first two edges share; 0 with a finding when they
  // share none or two.
  static std::int32_t SharedNod(const CLocalNetwork& net, const NRestriction_stru& res, std::int32_t id,
                                NFinding_stru* pError) {
    const NEdgeNod_stru& e0 = net.m_pEdgeNod[res.edges[0] - 1];
    const NEdgeNod_stru& e1 = net.m_pEdgeNod[res.edges[1] - 1];
    const bool a = e0.lFromNod == e1.lFromNod || e0.lFromNod == e1.lToNod;
    const bool b = e0.lToNod == e1.lFromNod || e0.lToNod == e1.lToNod;
    if (a && b && e0.lFromNod != e0.lToNod) {
      return Bad(pError, NFindingCode::BadArgument, res.edges[0], Format("restriction %d: edges %d and %d share both their nodes: give the via node",
                                              id, res.edges[0], res.edges[1]));
    }
    if (!a && !b) {
      return Bad(pError, NFindingCode::BadArgument, res.edges[1],
                 Format("restriction %d: edges %d and %d share no node", id, res.edges[0], res.edges[1]));
    }
    return a ? e0.lFromNod : e0.lToNod;
  }

  static std::int32_t Other(const NEdgeNod_stru& en, std::int32_t n) {
    if (en.lFromNod == n) return en.lToNod;
    return en.lToNod == n ? en.lFromNod : 0;
  }

  // A refusal naming the edge at fault, or the network (lEdge 0).
  static std::int32_t Bad(NFinding_stru* pError, NFindingCode eCode, std::int32_t lEdge, std::string text) {
    return Refuse(pError, MakeFinding(eCode, lEdge > 0 ? NElemKind::Edge : NElemKind::Network, lEdge, std::move(text)));
  }

  // An item is a restriction and the steps of its path matched so far:
  // r << 32 | k.
  std::int32_t Make(std::int32_t s, std::uint64_t a) {
    std::vector<std::int64_t> next;
    for (std::int64_t item : m_items[static_cast<std::size_t>(s)]) {
      const std::size_t r = static_cast<std::size_t>(item >> 32);
      const std::size_t k = static_cast<std::size_t>(item & 0xFFFFFFFF);
      const std::vector<std::uint64_t>& path = m_paths[r];
      if (path[k] != a) {
        if (m_only[r]) return -1;  // off an "only" path before its end
        continue;
      }
      if (k + 1 < path.size()) {
        next.push_back(item + 1);
      } else if (!m_only[r]) {
        return -1;  // the whole of a "no" path
      }
    }
    const auto starting = m_starting.find(a);
    if (starting != m_starting.end()) {
      for (std::int32_t r : starting->second) next.push_back((static_cast<std::int64_t>(r) << 32) | 1);
    }
    std::sort(next.begin(), next.end());
    next.erase(std::unique(next.begin(), next.end()), next.end());
    const auto known = m_ids.find(next);
    if (known != m_ids.end()) return known->second;
    if (next.empty()) return 0;
    const std::int32_t id = static_cast<std::int32_t>(m_items.size());
    m_ids.emplace(next, id);
    m_items.push_back(std::move(next));
    m_next.emplace_back();
    return id;
  }

  std::vector<std::vector<std::uint64_t>> m_paths;  // per restriction: its steps
  std::vector<bool> m_only;                          // per restriction
  CElemBits m_firstEdges;                            // edges some path starts with
  std::unordered_map<std::uint64_t, std::vector<std::int32_t>> m_starting;  // first step -> restrictions
  std::vector<std::vector<std::int64_t>> m_items;   // per state: its items, sorted
  std::map<std::vector<std::int64_t>, std::int32_t> m_ids;
  std::vector<std::unordered_map<std::uint64_t, std::int32_t>> m_next;  // per state: step -> state
};

constexpr NRestrictedLabel kEmptyLabel = {kNoWay, -1, -1};

// The search over (place, state) labels. The labels of state 0 and each
// node's best cost live in the state the call lends (a workspace's, kept
// between calls), the other labels in tables of the search's own; the
// destructor empties what the search wrote, so the state serves the next
// search as new whichever way this one ends.
class CRestrictedSearch {
 public:
  // bSides: labels per step entry arrived by, and the best arrivals along
  // and against kept per node.
  CRestrictedSearch(const CNetworkView& view, const NRouteOptions_stru& opt, bool bTurns, bool bSides,
                    const NBarrierBits& bar, CRestrictionAutomaton& automaton, NSearchState& st)
      : m_view(view), m_bDirected(opt.bDirected), m_bTurns(bTurns), m_bEdge(bTurns || bSides), m_bSides(bSides),
        m_bar(bar), m_auto(automaton), m_st(st), m_rs(st.restricted) {
    const std::size_t n = static_cast<std::size_t>(view.GetNodNum());
    m_nBase = m_bEdge ? view.StepEnd(view.GetNodNum()) : view.GetNodNum() + 1;
    GrowTo(m_rs.labels, static_cast<std::size_t>(m_nBase), kEmptyLabel);
    GrowTo(m_st.dist, n, kNoWay);
    if (bSides) {
      GrowTo(m_rs.alongDist, n, kNoWay);
      GrowTo(m_rs.againstDist, n, kNoWay);
    }
    m_st.heap.Prepare(static_cast<std::size_t>(m_nBase));
  }
  ~CRestrictedSearch() { Clear(); }
  CRestrictedSearch(const CRestrictedSearch&) = delete;
  CRestrictedSearch& operator=(const CRestrictedSearch&) = delete;

  bool TwoWay(std::int32_t lNod, bool bLeave) const { return SideBinds(m_view, m_bDirected, lNod, bLeave); }

  // Binds the first step out of lFrom to eSide.
  void SetStartSide(std::int32_t lFrom, DrivingSide eSide) {
    m_firstOk.clear();
    if (eSide == DrivingSide::Both || !TwoWay(lFrom, true)) return;
    for (std::int64_t j = m_view.StepBegin(lFrom); j < m_view.StepEnd(lFrom); ++j) {
      bool bAlong = false;
      Cost(j, bAlong);
      const bool bLoop = m_view.StepFar()[j] == lFrom;  // leaves on both sides
      m_firstOk.push_back(bLoop || bAlong == (eSide == DrivingSide::Right) ? 1 : 0);
    }
  }

  // The cost of lNod's best label after a Run; +infinity for none.
  double NodCost(std::int32_t lNod) const { return m_st.dist[static_cast<std::size_t>(lNod - 1)]; }

  // The cost of arriving at lNod from eSide, after a run with bSides.
  double ArrivalCost(std::int32_t lNod, DrivingSide eSide, std::int32_t lFrom) const {
    const std::size_t i = static_cast<std::size_t>(lNod - 1);
    if (lNod == lFrom || eSide == DrivingSide::Both || !TwoWay(lNod, false)) return m_st.dist[i];
    return eSide == DrivingSide::Right ? m_rs.alongDist[i] : m_rs.againstDist[i];
  }

  // Every node's cost after a Run, entry n - 1 for node n: a copy in order,
  // since a node's cost is finite only where Arrive wrote one.
  void CostsInto(std::vector<double>& costs) const {
    const double* d = m_st.dist.data();
    costs.assign(d, d + m_view.GetNodNum());
  }

  // Runs from lFrom until lTo is settled from eToSide (lTo 0: every node).
  // A barrier start reaches nothing, not even itself, as in every search.
  void Run(std::int32_t lFrom, std::int32_t lTo, DrivingSide eToSide = DrivingSide::Both) {
    if (m_bar.bAny && m_bar.nods.Test(lFrom)) return;
    Arrive(lFrom, 0.0);
    if (lFrom == lTo) return;
    const bool bToBound = lTo > 0 && eToSide != DrivingSide::Both && TwoWay(lTo, false);
    if (m_bEdge || !m_firstOk.empty()) {
      Expand(lFrom, 0.0, 0, -1, -1);  // no turn at the start
    } else {
      Improve(lFrom, 0.0, -1, -1);
    }
    while (!m_st.heap.Empty()) {
      if (!m_poll.Step()) return;  // the labels are partial: the caller refuses
      const CSearchHeap::Item it = m_st.heap.Pop();
      const std::int64_t id = it.lId;
      const std::int64_t place = Place(id);
      const std::int32_t v = m_bEdge ? m_view.StepFar()[place] : static_cast<std::int32_t>(place);
      Arrive(v, it.dKey);
      bool bAlong = false;
      bool bLoop = false;  // a loop arrives on both sides
      if (m_bSides) {
        Cost(place, bAlong);
        bLoop = place >= m_view.StepBegin(v) && place < m_view.StepEnd(v);
        double& along = m_rs.alongDist[static_cast<std::size_t>(v - 1)];
        double& against = m_rs.againstDist[static_cast<std::size_t>(v - 1)];
        if ((bAlong || bLoop) && it.dKey < along) along = it.dKey;
        if ((!bAlong || bLoop) && it.dKey < against) against = it.dKey;
      }
      if (v == lTo && (!bToBound || bLoop || bAlong == (eToSide == DrivingSide::Right))) {
        m_lBest = id;
        m_dBest = it.dKey;
        return;
      }
      Expand(v, it.dKey, State(id), id, m_bEdge ? place : -1);
    }
  }

  // The route from lFrom to lTo that the last Run found at dCost
  // (+infinity: none).
  NPath_stru PathTo(std::int32_t lFrom, std::int32_t lTo, double dCost) const {
    NPath_stru out;
    out.lFrom = lFrom;
    out.lTo = lTo;
    out.dCost = dCost;
    out.bFound = dCost < kNoWay;
    if (out.bFound && lFrom != lTo) Trace(out);
    return out;
  }

  // Asked once per label settled, across runs; a stop ends the run at once.
  CProgressPoll m_poll{nullptr, 0.0};
  double m_dBest = kNoWay;  // the cost of the label the last Run stopped at

 private:
  // Empties every label and node cost written, and the heap. Every node
  // given a cost is in settled, a node's arrivals along and against
  // included: they are written only where its cost is.
  void Clear() {
    for (std::int64_t id : m_rs.touched) m_rs.labels[static_cast<std::size_t>(id)] = kEmptyLabel;
    for (std::int32_t v : m_st.settled) {
      const std::size_t i = static_cast<std::size_t>(v - 1);
      m_st.dist[i] = kNoWay;
      if (m_bSides) {
        m_rs.alongDist[i] = kNoWay;
        m_rs.againstDist[i] = kNoWay;
      }
    }
    m_rs.touched.clear();
    m_st.settled.clear();
    m_st.heap.Clear();
  }

  // The path to the label the last Run stopped at.
  void Trace(NPath_stru& path) const {
    std::vector<NPathStep_stru> steps;
    for (std::int64_t id = m_lBest; id >= 0 && Label(id).lArrivedBy >= 0; id = Label(id).lPred) {
      const std::int64_t j = Label(id).lArrivedBy;
      bool bAlong = false;
      Cost(j, bAlong);
      steps.push_back(NPathStep_stru{m_view.StepEdge()[j], m_view.StepFar()[j], bAlong, Label(id).d});
    }
    std::reverse(steps.begin(), steps.end());
    path.steps.swap(steps);
  }

  std::int64_t Place(std::int64_t id) const { return id < m_nBase ? id : m_extraPlace[static_cast<std::size_t>(id - m_nBase)]; }
  std::int32_t State(std::int64_t id) const { return id < m_nBase ? 0 : m_extraState[static_cast<std::size_t>(id - m_nBase)]; }
  NRestrictedLabel& Label(std::int64_t id) {
    return id < m_nBase ? m_rs.labels[static_cast<std::size_t>(id)] : m_extra[static_cast<std::size_t>(id - m_nBase)];
  }
  const NRestrictedLabel& Label(std::int64_t id) const {
    return id < m_nBase ? m_rs.labels[static_cast<std::size_t>(id)] : m_extra[static_cast<std::size_t>(id - m_nBase)];
  }

  // Node v's best label costs d if that is less than it had.
  void Arrive(std::int32_t v, double d) {
    double& best = m_st.dist[static_cast<std::size_t>(v - 1)];
    if (!(d < best)) return;
    if (best == kNoWay) m_st.settled.push_back(v);  // listed before written, should the list fail to grow
    best = d;
  }

  // Label id reached at d from label `from` by step entry j, if cheaper.
  void Improve(std::int64_t id, double d, std::int64_t from, std::int64_t j) {
    NRestrictedLabel& to = Label(id);
    if (!(d < to.d)) return;
    if (id < m_nBase && to.d == kNoWay) m_rs.touched.push_back(id);
    to = NRestrictedLabel{d, from, j};
    m_st.heap.Push(d, id);
  }

  std::int64_t LabelOf(std::int64_t place, std::int32_t s) {
    if (s == 0) return place;
    const std::uint64_t key = (static_cast<std::uint64_t>(place) << 24) ^ static_cast<std::uint64_t>(s);
    const auto found = m_extraId.find(key);
    if (found != m_extraId.end()) {
      for (std::int64_t id : found->second) {
        if (Place(id) == place && State(id) == s) return id;
      }
    }
    const std::int64_t id = m_nBase + static_cast<std::int64_t>(m_extraPlace.size());
    m_st.heap.Prepare(static_cast<std::size_t>(id) + 1);
    m_extraPlace.push_back(place);
    m_extraState.push_back(s);
    m_extra.push_back(kEmptyLabel);
    m_extraId[key].push_back(id);
    return id;
  }

  // The cost of leaving by entry j, by the rule every search prices a step
  // with: directed, the cheaper way one may leave by (along on a tie);
  // undirected, the cheaper of the edge's two costs.
  double Cost(std::int64_t j, bool& bAlong) const {
    const unsigned char w = m_view.StepWays()[j];
    const std::int32_t e = m_view.StepEdge()[j];
    return m_bDirected ? CostOf<false, true>(w, e, m_view.CostAlong(), m_view.CostAgainst(), bAlong)
                       : CostOf<false, false>(w, e, m_view.CostAlong(), m_view.CostAgainst(), bAlong);
  }

  // The labels reached by one step out of v from label `from` (-1: the
  // start) in state s, arrived at v by entry `in` (-1: no turn weight).
  void Expand(std::int32_t v, double d, std::int32_t s, std::int64_t from, std::int64_t in) {
    if (m_bar.bAny && m_bar.nods.Test(v)) return;
    const bool bTurnHere = m_bTurns && in >= 0;
    const std::int32_t side = bTurnHere ? m_view.TurnSize(v) : 0;
    const std::int16_t p = bTurnHere ? m_view.StepFarTurnPos()[in] : std::int16_t{-1};
    const double* matrix = bTurnHere ? m_view.TurnMatrix(v) : nullptr;
    const std::int64_t nTurn = bTurnHere ? m_view.TurnEntries(v) : 0;
    const std::int64_t begin = m_view.StepBegin(v);
    const std::int64_t end = m_view.StepEnd(v);
    const bool bFirst = from < 0 && !m_firstOk.empty();
    for (std::int64_t j = begin; j < end; ++j) {
      if (bFirst && m_firstOk[static_cast<std::size_t>(j - begin)] == 0) continue;
      bool bAlong = false;
      const double c = Cost(j, bAlong);
      if (c == kNoWay) continue;
      const std::int32_t e = m_view.StepEdge()[j];
      const std::int32_t far = m_view.StepFar()[j];
      if (m_bar.bAny && (m_bar.edges.Test(e) || m_bar.nods.Test(far))) continue;
      double t = 0.0;
      if (side > 0 && !TurnAt(matrix, side, nTurn, p, m_view.StepTurnPos()[j], t)) continue;  // forbidden, NaN too
      const std::int32_t next = m_auto.Step(s, e, v);
      if (next < 0) continue;
      Improve(LabelOf(m_bEdge ? j : far, next), d + t + c, from, j);
    }
  }

  const CNetworkView& m_view;
  bool m_bDirected;
  bool m_bTurns;  // turn weights added
  bool m_bEdge;   // labels per step entry arrived by (else per node)
  bool m_bSides;  // each node's best arrivals along and against kept
  std::vector<unsigned char> m_firstOk;  // per step entry of the start, when its side binds: may be taken
  const NBarrierBits& m_bar;
  CRestrictionAutomaton& m_auto;
  NSearchState& m_st;                       // dist: per node, the best label's cost; settled: the nodes given one
  NRestrictedState& m_rs;                   // the labels of state 0, one per place: ids 0 to m_nBase - 1
  std::int64_t m_nBase = 0;
  std::vector<NRestrictedLabel> m_extra;    // labels past m_nBase, with their place and state
  std::vector<std::int64_t> m_extraPlace;
  std::vector<std::int32_t> m_extraState;
  std::unordered_map<std::uint64_t, std::vector<std::int64_t>> m_extraId;
  std::int64_t m_lBest = -1;
};

// The checks of a call and the automaton of its restrictions.
std::int32_t Prepare(const CNetworkView& view, const std::vector<std::int32_t>& nods, const NRouteOptions_stru& opt,
                     const std::vector<NRestriction_stru>& restrictions, NBarrierBits& bar, bool& bTurns,
                     CRestrictionAutomaton& automaton, NFinding_stru* pError) {
  if (CheckCurrent(view, pError) == 0) return 0;
  for (std::size_t i = 0; i < nods.size(); ++i) {
    if (CheckNod(view, nods[i], i == 0 ? "start node" : "end node", pError) == 0) return 0;
  }
  if (MarkBarriers(view, opt.barriers, bar, pError) == 0) return 0;
  bTurns = opt.bTurns && view.HasTurns();
  return automaton.Read(view, restrictions, pError);
}

std::int32_t OutOfMemory(NFinding_stru* pError) {
  return RefuseNoMemory(pError, "out of memory in a restricted route");
}

// Whether a list of sides for nNods nodes asks nothing of any: empty, or
// Both for every one. A list of another length is left to CheckSides.
bool NoSideBinds(const std::vector<DrivingSide>& sides, std::size_t nNods) {
  return sides.empty() ||
         (sides.size() == nNods &&
          std::all_of(sides.begin(), sides.end(), [](DrivingSide e) { return e == DrivingSide::Both; }));
}

}  // namespace

std::int32_t FindRestrictedPath(const CNetworkView& view, std::int32_t lFrom, std::int32_t lTo,
                                const NRouteOptions_stru& opt, const std::vector<NRestriction_stru>& restrictions,
                                NPath_stru& path, NFinding_stru* pError) {
  if (restrictions.empty()) return FindShortestPath(view, lFrom, lTo, opt, path, pError);
  try {
    NBarrierBits bar;
    bool bTurns = false;
    CRestrictionAutomaton automaton;
    if (Prepare(view, {lFrom, lTo}, opt, restrictions, bar, bTurns, automaton, pError) == 0) return 0;
    CStateHold hold(opt, 0);
    CRestrictedSearch search(view, opt, bTurns, false, bar, automaton, hold.Get());
    search.Run(lFrom, lTo);
    path = search.PathTo(lFrom, lTo, search.NodCost(lTo));
    return 1;
  } catch (const std::bad_alloc&) {
    return OutOfMemory(pError);
  }
}

std::int32_t FindRestrictedCostsFrom(const CNetworkView& view, std::int32_t lFrom, const NRouteOptions_stru& opt,
                                     const std::vector<NRestriction_stru>& restrictions, std::vector<double>& costs,
                                     NFinding_stru* pError, const NProgress_stru* pProgress) {
  if (restrictions.empty()) return FindCostsFrom(view, lFrom, opt, costs, pError, pProgress);
  try {
    NBarrierBits bar;
    bool bTurns = false;
    CRestrictionAutomaton automaton;
    if (Prepare(view, {lFrom}, opt, restrictions, bar, bTurns, automaton, pError) == 0) return 0;
    // Room first, so that costs is untouched unless the call succeeds.
    costs.reserve(static_cast<std::size_t>(view.GetNodNum()));
    CStateHold hold(opt, 0);
    CRestrictedSearch search(view, opt, bTurns, false, bar, automaton, hold.Get());
    search.m_poll = CProgressPoll(pProgress, view.GetNodNum());
    search.Run(lFrom, 0);
    if (search.m_poll.Stopped()) return CProgressPoll::Refuse(pError);
    search.CostsInto(costs);
    return 1;
  } catch (const std::bad_alloc&) {
    return OutOfMemory(pError);
  }
}

bool SideBinds(const CNetworkView& view, bool bDirected, std::int32_t lNod, bool bLeave) {
  if (!bDirected) return true;
  const unsigned char alongBit = bLeave ? CNetworkView::kLeaveAlong : CNetworkView::kArriveAlong;
  const unsigned char againstBit = bLeave ? CNetworkView::kLeaveAgainst : CNetworkView::kArriveAgainst;
  bool along = false;
  bool against = false;
  for (std::int64_t j = view.StepBegin(lNod); j < view.StepEnd(lNod); ++j) {
    const unsigned char w = view.StepWays()[j];
    const std::int32_t e = view.StepEdge()[j];
    along = along || ((w & alongBit) != 0 && view.CostAlong()[e] < kNoWay);
    against = against || ((w & againstBit) != 0 && view.CostAgainst()[e] < kNoWay);
  }
  return along && against;
}

std::int32_t CheckSides(const std::vector<DrivingSide>& sides, std::size_t nNods, const char* what,
                        NFinding_stru* pError) {
  if (!sides.empty() && sides.size() != nNods) {
    return Refuse(pError, MakeFinding(NFindingCode::BadArgument, NElemKind::Network, 0,
                                      Format("%zu %s sides for %zu nodes: give one per node or none", sides.size(),
                                             what, nNods)));
  }
  for (std::size_t i = 0; i < sides.size(); ++i) {
    if (sides[i] != DrivingSide::Both && sides[i] != DrivingSide::Right && sides[i] != DrivingSide::Left) {
      return Refuse(pError, MakeFinding(NFindingCode::BadArgument, NElemKind::Network, 0,
                                        Format("%s side %zu is %d: neither both (0), right (1) nor left (2)", what, i,
                                               static_cast<int>(sides[i]))));
    }
  }
  return 1;
}

std::int32_t FindSidedPath(const CNetworkView& view, std::int32_t lFrom, DrivingSide eFromSide, std::int32_t lTo,
                           DrivingSide eToSide, const NRouteOptions_stru& opt, NPath_stru& path,
                           NFinding_stru* pError) {
  if (eFromSide == DrivingSide::Both && eToSide == DrivingSide::Both) {
    return FindShortestPath(view, lFrom, lTo, opt, path, pError);
  }
  try {
    NBarrierBits bar;
    bool bTurns = false;
    CRestrictionAutomaton automaton;
    if (Prepare(view, {lFrom, lTo}, opt, {}, bar, bTurns, automaton, pError) == 0 ||
        CheckSides({eFromSide}, 1, "start", pError) == 0 || CheckSides({eToSide}, 1, "end", pError) == 0) {
      return 0;
    }
    CStateHold hold(opt, 0);
    CRestrictedSearch search(view, opt, bTurns, true, bar, automaton, hold.Get());
    search.SetStartSide(lFrom, eFromSide);
    search.Run(lFrom, lTo, eToSide);
    path = search.PathTo(lFrom, lTo, lFrom == lTo ? search.NodCost(lFrom) : search.m_dBest);
    return 1;
  } catch (const std::bad_alloc&) {
    return OutOfMemory(pError);
  }
}

std::int32_t FindSidedCostMatrix(const CNetworkView& view, const std::vector<std::int32_t>& sources,
                                 const std::vector<DrivingSide>& sourceSides, const std::vector<std::int32_t>& targets,
                                 const std::vector<DrivingSide>& targetSides, const NRouteOptions_stru& opt,
                                 std::vector<double>& costs, NFinding_stru* pError, const NProgress_stru* pProgress) {
  if (NoSideBinds(sourceSides, sources.size()) && NoSideBinds(targetSides, targets.size())) {
    return FindCostMatrix(view, sources, targets, opt, costs, pError, pProgress);
  }
  try {
    NBarrierBits bar;
    bool bTurns = false;
    CRestrictionAutomaton automaton;
    if (Prepare(view, {}, opt, {}, bar, bTurns, automaton, pError) == 0) return 0;
    CElemBits bits(view.GetNodNum());
    if (MarkNods(view, sources, "source node", bits, pError) == 0 ||
        MarkNods(view, targets, "target node", bits, pError) == 0 ||
        CheckSides(sourceSides, sources.size(), "source", pError) == 0 ||
        CheckSides(targetSides, targets.size(), "target", pError) == 0) {
      return 0;
    }
    std::vector<double> out(sources.size() * targets.size(), kNoWay);
    CProgressPoll poll(pProgress, static_cast<double>(view.GetNodNum()) * static_cast<double>(sources.size()));
    CStateHold hold(opt, 0);
    for (std::size_t i = 0; i < sources.size(); ++i) {
      CRestrictedSearch search(view, opt, bTurns, true, bar, automaton, hold.Get());
      search.m_poll = poll;
      search.SetStartSide(sources[i], sourceSides.empty() ? DrivingSide::Both : sourceSides[i]);
      search.Run(sources[i], 0);
      poll = search.m_poll;
      if (poll.Stopped()) return CProgressPoll::Refuse(pError);
      for (std::size_t t = 0; t < targets.size(); ++t) {
        const DrivingSide side = targetSides.empty() ? DrivingSide::Both : targetSides[t];
        out[i * targets.size() + t] = search.ArrivalCost(targets[t], side, sources[i]);
      }
    }
    costs.swap(out);
    return 1;
  } catch (const std::bad_alloc&) {
    return OutOfMemory(pError);
  }
}

}  // namespace tools
}  // namespace kelvane
