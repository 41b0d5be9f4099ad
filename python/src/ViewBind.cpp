// ViewBind.cpp - kelvane.View and every analysis on it. Each analysis
// converts its input while it holds the GIL, then releases it and reads the
// network under a shared lock, so that threads run analyses on one view at
// once; what writes the network (trace marks) holds the lock alone.
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <limits>
#include <new>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <utility>
#include <vector>

#include "ArrayIn.h"
#include "ArrayOut.h"
#include "Common.h"
#include "NetworkInput.h"
#include "Results.h"
#include "kelvane/tools/DrivingSide.h"
#include "kelvane/tools/NetworkView.h"
#include "kelvane/tools/Progress.h"
#include "kelvane/tools/Restrictions.h"
#include "kelvane/tools/SearchWorkspace.h"

namespace kelvane_py {

namespace {

class CPyView {
 public:
  PNetwork m_pNet;           // keeps the network alive; the view points into it
  CNetworkView m_view;       // built once, never changed after
  std::string m_strWeight;   // how the costs were chosen, for repr
  py::tuple m_args;          // (network, weight, reverse_weight, turns, split) as given: a pickle makes it again
};

// The view's network read under a shared lock, the GIL released; fn returns
// the library's status.
template <class Fn>
void Shared(const CPyView& v, Fn&& fn) {
  py::gil_scoped_release nogil;
  std::shared_lock<std::shared_mutex> lock(v.m_pNet->m_lock);
  fn();
}

PyObject* g_pStopped = nullptr;  // kelvane.Stopped, made once at import

// A long analysis polled from Python while it runs without the GIL: each
// poll takes the GIL back for a moment to run the signal handlers (Ctrl-C
// stops the analysis and raises KeyboardInterrupt) and the caller's
// progress callable, if any (False stops it, an exception stops it and is
// raised). Python's own exception is kept here until the analysis returned.
class CPyProgress {
 public:
  explicit CPyProgress(py::handle fn) : m_fn(py::reinterpret_borrow<py::object>(fn)) {
    if (!m_fn.is_none() && !PyCallable_Check(m_fn.ptr())) RaiseValue("progress must be callable, or None");
    m_poll.pfnPoll = &CPyProgress::Poll;
    m_poll.pUser = this;
  }

  const NProgress_stru* Get() const { return &m_poll; }

  // The fractions of the calls to come cover [dFrom, dFrom + dShare] of the
  // whole work: a task made of several calls reports on the whole.
  void Part(double dFrom, double dShare) {
    m_dFrom = dFrom;
    m_dShare = dShare;
  }

  // Between the calls of a task made of several, without the GIL: polls as
  // the toolkit would, at most every 20 ms (a small search polls never).
  bool Between(double dDone) {
    if (std::chrono::steady_clock::now() - m_last < std::chrono::milliseconds(20)) return true;
    Part(dDone, 0.0);
    return Poll(this, 0.0);
  }

  // After the analysis, with the GIL held: raises what stopped it, if
  // anything did; else the library refused, and err says why.
  void RaiseIfStopped() {
    if (m_pError) {
      std::unique_ptr<py::error_already_set> p(std::move(m_pError));
      p->restore();
      throw py::error_already_set();
    }
    if (m_bStopped) {
      PyErr_SetString(g_pStopped, "stopped by the progress callable");
      throw py::error_already_set();
    }
  }

 private:
  static bool Poll(void* pUser, double dDone) {
    CPyProgress& self = *static_cast<CPyProgress*>(pUser);
    self.m_last = std::chrono::steady_clock::now();
    py::gil_scoped_acquire gil;
    try {
      if (PyErr_CheckSignals() != 0) throw py::error_already_set();
      if (!self.m_fn.is_none()) {
        // Never backwards, and never beyond 1, whatever the estimate said.
        self.m_dHeard = std::min(1.0, std::max(self.m_dHeard, self.m_dFrom + self.m_dShare * dDone));
        const py::object answer = self.m_fn(self.m_dHeard);
        // Only an explicit False stops: a callable that returns nothing goes on.
        if (answer.ptr() == Py_False) {
          self.m_bStopped = true;
          return false;
        }
      }
    } catch (py::error_already_set& e) {
      self.m_pError.reset(new py::error_already_set(std::move(e)));
      return false;
    }
    return true;
  }

  py::object m_fn;                                  // None or the caller's callable
  NProgress_stru m_poll;                            // handed to the analysis
  std::unique_ptr<py::error_already_set> m_pError;  // what Python raised while polled
  bool m_bStopped = false;                          // the callable returned False
  double m_dFrom = 0.0;                             // where the current call's work begins
  double m_dShare = 1.0;                            // its share of the whole
  double m_dHeard = 0.0;                            // the fraction last handed to the callable
  std::chrono::steady_clock::time_point m_last = std::chrono::steady_clock::now();  // the last poll
};

std::unique_ptr<CPyView> MakeView(const PNetwork& p, py::handle weight, py::handle reverseWeight, bool bTurns,
                                  py::handle split) {
  std::unique_ptr<CPyView> v(new CPyView());
  v->m_pNet = p;
  v->m_args = py::make_tuple(p, weight, reverseWeight, bTurns, split);
  NViewOptions_stru opt;
  opt.lAlongFld = weight.is_none() ? -1 : ColumnId(*p, weight);
  // By default a network made with a reverse cost is priced with it against
  // its edges: the cost column alone would price both ways alike.
  py::object against = py::reinterpret_borrow<py::object>(reverseWeight);
  if (against.is_none() && opt.lAlongFld == kCostFld && p->m_lReverseFld >= 0) against = py::int_(p->m_lReverseFld);
  opt.lAgainstFld = against.is_none() ? -1 : ColumnId(*p, against);
  opt.bTurns = bTurns;
  std::shared_ptr<const CSplitIndex> pSplit;  // held through Build
  if (!split.is_none()) {
    // A split index of the other build is another type: refused here too.
    if (!py::isinstance<CPySplitIndex>(split)) RaiseValue("split must be the SplitIndex of this build's map_flags");
    pSplit = split.cast<const CPySplitIndex&>().m_pIndex;
    opt.pSplit = pSplit.get();
  }
  v->m_strWeight = weight.is_none() ? std::string("hops") : py::str(weight).cast<std::string>();
  if (!against.is_none()) {
    v->m_strWeight += "/" + (reverseWeight.is_none() ? std::string("reverse_cost") : py::str(against).cast<std::string>());
  }
  NFinding_stru err;
  std::int32_t status = 0;
  std::vector<NFinding_stru> faults;
  // Tables written through the zero-copy views may disagree (0-based ids, a
  // state of 7): the view refuses them rather than analyse garbage.
  Shared(*v, [&] {
    faults = CheckAll(p->m_net, 4);
    if (faults.empty()) status = v->m_view.Build(p->m_net, opt, &err);
  });
  if (!faults.empty()) RaiseValue("view: " + FindingsText(faults));
  if (status != 1) RaiseBuilder(err);
  return v;
}

NElemSet_stru ElemsIn(py::handle nods, py::handle edges, const char* pszNods, const char* pszEdges) {
  NElemSet_stru set;
  if (!IsAbsent(nods)) set.nods = ElemNumsIn(nods, pszNods);
  if (!IsAbsent(edges)) set.edges = ElemNumsIn(edges, pszEdges);
  return set;
}

// A single node number; one beyond 32 bits is out of range like any other.
std::int32_t NodArg(const CPyView& v, std::int64_t llNod, const char* pszName) {
  if (llNod < std::numeric_limits<std::int32_t>::min() || llNod > std::numeric_limits<std::int32_t>::max()) {
    RaiseIndex(Format("%s %lld is not a node (1 to %d)", pszName, static_cast<long long>(llNod), v.m_view.GetNodNum()));
  }
  return static_cast<std::int32_t>(llNod);
}

NRouteOptions_stru RouteIn(bool bDirected, py::handle turns, py::handle barrierNods, py::handle barrierEdges) {
  NRouteOptions_stru opt;
  opt.bDirected = bDirected;
  // By default turn weights count wherever they can: on directed routes.
  opt.bTurns = turns.is_none() ? bDirected : turns.cast<bool>();
  if (opt.bTurns && !bDirected) {
    RaiseValue("turns=True needs directed=True: turn weights apply to directed routes (pass turns=False)");
  }
  opt.barriers = ElemsIn(barrierNods, barrierEdges, "barrier_nodes", "barrier_edges");
  return opt;
}

NTraceKind TraceKindIn(const std::string& kind) {
  if (kind == "connected") return NTraceKind::Connected;
  if (kind == "downstream") return NTraceKind::Downstream;
  if (kind == "upstream") return NTraceKind::Upstream;
  RaiseValue(Format("kind must be 'connected', 'downstream' or 'upstream', not '%s'", kind.c_str()));
}

std::unique_ptr<CPyTraceResult> Trace(const CPyView& v, py::handle starts, const std::string& kind,
                                      py::handle barrierNods, py::handle barrierEdges, py::handle stopNods,
                                      py::handle stopEdges, py::handle progress) {
  NTraceQuery_stru q;
  q.eKind = TraceKindIn(kind);
  q.starts = ElemNumsIn(starts, "starts");
  q.barriers = ElemsIn(barrierNods, barrierEdges, "barrier_nodes", "barrier_edges");
  q.stops = ElemsIn(stopNods, stopEdges, "stop_nodes", "stop_edges");
  std::unique_ptr<CPyTraceResult> r(new CPyTraceResult());
  NFinding_stru err;
  std::int32_t status = 0;
  CPyProgress poll(progress);
  Shared(v, [&] { status = TraceNetwork(v.m_view, q, r->m_result, &err, poll.Get()); });
  poll.RaiseIfStopped();
  if (status != 1) RaiseFinding(err);
  return r;
}

// One restriction as Python gives it: a sequence of edges (a No), or
// (kind, edges) or (kind, edges, via_node) with kind 'no' or 'only'.
NRestriction_stru RestrictionIn(py::handle item, std::size_t i) {
  NRestriction_stru r;
  const std::string where = Format("restrictions[%zu]", i);
  if (py::isinstance<py::str>(item) || !py::isinstance<py::sequence>(item)) {
    RaiseValue(where + " must be a sequence of edges, or (kind, edges[, via_node])");
  }
  const py::sequence seq = py::reinterpret_borrow<py::sequence>(item);
  if (seq.size() > 0 && py::isinstance<py::str>(seq[0])) {
    const std::string kind = seq[0].cast<std::string>();
    if (kind == "no") {
      r.eKind = NRestrictionKind::No;
    } else if (kind == "only") {
      r.eKind = NRestrictionKind::Only;
    } else {
      RaiseValue(Format("%s: kind must be 'no' or 'only', not '%s'", where.c_str(), kind.c_str()));
    }
    if (seq.size() < 2 || seq.size() > 3) RaiseValue(where + " must be (kind, edges) or (kind, edges, via_node)");
    r.edges = ElemNumsIn(seq[1], (where + " edges").c_str());
    if (seq.size() == 3) r.lViaNod = ElemNumIn(seq[2], (where + " via_node").c_str());
  } else {
    r.edges = ElemNumsIn(item, where.c_str());
  }
  return r;
}

std::vector<NRestriction_stru> RestrictionsIn(py::handle restrictions) {
  std::vector<NRestriction_stru> out;
  if (restrictions.is_none()) return out;
  std::size_t i = 0;
  for (py::handle item : restrictions) out.push_back(RestrictionIn(item, i++));
  return out;
}

DrivingSide SideIn(py::handle side, const char* pszName) {
  const std::string s = py::str(side).cast<std::string>();
  if (py::isinstance<py::str>(side)) {
    if (s == "both") return DrivingSide::Both;
    if (s == "right") return DrivingSide::Right;
    if (s == "left") return DrivingSide::Left;
  }
  RaiseValue(Format("%s must be 'both', 'right' or 'left', not %s", pszName, py::repr(side).cast<std::string>().c_str()));
}

// One side for every node, or one per node of a list of lCount.
std::vector<DrivingSide> SidesIn(py::handle sides, std::size_t lCount, const char* pszName) {
  if (py::isinstance<py::str>(sides)) return std::vector<DrivingSide>(lCount, SideIn(sides, pszName));
  std::vector<DrivingSide> out;
  for (py::handle s : sides) out.push_back(SideIn(s, pszName));
  if (out.size() != lCount) RaiseValue(Format("%s: %zu sides for %zu nodes", pszName, out.size(), lCount));
  return out;
}

// driving_side as given: one side for sources and targets alike, or a pair
// (source sides, target sides); None when it is None.
bool SidesGiven(py::handle drivingSide, py::object& fromSides, py::object& toSides) {
  if (drivingSide.is_none()) return false;
  if (py::isinstance<py::str>(drivingSide)) {
    fromSides = toSides = py::reinterpret_borrow<py::object>(drivingSide);
    return true;
  }
  const py::tuple pair = py::tuple(py::reinterpret_borrow<py::object>(drivingSide));
  if (pair.size() != 2) RaiseValue("driving_side must be a side, or (source side(s), target side(s))");
  fromSides = pair[0];
  toSides = pair[1];
  return true;
}

std::unique_ptr<CPyPath> ShortestPath(const CPyView& v, std::int64_t llFrom, std::int64_t llTo, bool bDirected,
                                      py::handle turns, py::handle barrierNods, py::handle barrierEdges,
                                      py::handle restrictions, py::handle drivingSide) {
  const std::int32_t lFrom = NodArg(v, llFrom, "source");
  const std::int32_t lTo = NodArg(v, llTo, "target");
  const NRouteOptions_stru opt = RouteIn(bDirected, turns, barrierNods, barrierEdges);
  const std::vector<NRestriction_stru> rules = RestrictionsIn(restrictions);
  py::object fromSideIn, toSideIn;
  const bool bSided = SidesGiven(drivingSide, fromSideIn, toSideIn);
  if (bSided && !restrictions.is_none()) RaiseValue("driving_side does not go with restrictions");
  const DrivingSide eFrom = bSided ? SideIn(fromSideIn, "driving_side of the source") : DrivingSide::Both;
  const DrivingSide eTo = bSided ? SideIn(toSideIn, "driving_side of the target") : DrivingSide::Both;
  std::unique_ptr<CPyPath> p(new CPyPath());
  NFinding_stru err;
  std::int32_t status = 0;
  Shared(v, [&] {
    if (!restrictions.is_none()) {
      status = FindRestrictedPath(v.m_view, lFrom, lTo, opt, rules, p->m_path, &err);
    } else if (bSided) {
      status = FindSidedPath(v.m_view, lFrom, eFrom, lTo, eTo, opt, p->m_path, &err);
    } else {
      status = FindShortestPath(v.m_view, lFrom, lTo, opt, p->m_path, &err);
    }
  });
  if (status != 1) RaiseFinding(err);
  return p;
}

py::object CostsFrom(const CPyView& v, std::int64_t llFrom, bool bDirected, py::handle turns,
                     py::handle barrierNods, py::handle barrierEdges, bool bTree, py::handle restrictions,
                     py::handle progress) {
  const std::int32_t lFrom = NodArg(v, llFrom, "source");
  const NRouteOptions_stru opt = RouteIn(bDirected, turns, barrierNods, barrierEdges);
  const std::vector<NRestriction_stru> rules = RestrictionsIn(restrictions);
  if (bTree && !restrictions.is_none()) RaiseValue("tree=True does not go with restrictions");
  CPyProgress poll(progress);
  std::vector<double> costs;
  std::vector<std::int32_t> tree;
  NFinding_stru err;
  std::int32_t status = 0;
  Shared(v, [&] {
    if (!restrictions.is_none()) {
      status = FindRestrictedCostsFrom(v.m_view, lFrom, opt, rules, costs, &err, poll.Get());
    } else {
      // The tree's search is the one the host can stop: run it, and drop the tree.
      status = FindCostsFrom(v.m_view, lFrom, opt, costs, tree, &err, poll.Get());
    }
  });
  poll.RaiseIfStopped();
  if (status != 1) RaiseFinding(err);
  // Writable as it always was; the tree's arrays are new and read-only.
  if (!bTree) return VectorOut(std::move(costs));
  return py::make_tuple(ReadOnly(VectorOut(std::move(costs))), ReadOnly(VectorOut(std::move(tree))));
}

py::object CostsTo(const CPyView& v, std::int64_t llTo, bool bDirected, py::handle turns, py::handle barrierNods,
                   py::handle barrierEdges, bool bTree, py::handle progress) {
  const std::int32_t lTo = NodArg(v, llTo, "target");
  const NRouteOptions_stru opt = RouteIn(bDirected, turns, barrierNods, barrierEdges);
  CPyProgress poll(progress);
  std::vector<double> costs;
  std::vector<std::int32_t> tree;
  NFinding_stru err;
  std::int32_t status = 0;
  Shared(v, [&] { status = FindCostsTo(v.m_view, lTo, opt, costs, tree, &err, poll.Get()); });
  poll.RaiseIfStopped();
  if (status != 1) RaiseFinding(err);
  if (!bTree) return ReadOnly(VectorOut(std::move(costs)));
  return py::make_tuple(ReadOnly(VectorOut(std::move(costs))), ReadOnly(VectorOut(std::move(tree))));
}

// FindCostMatrix, stoppable, with one search per source as the matrix
// always had: with fewer targets than sources the toolkit searches from the
// targets instead, whose sums round differently in the last bit, and a
// matrix computed in blocks of rows (Dask) would then not equal the whole.
// So each source is its own call, sharing one workspace; that also lets the
// fraction heard be the whole matrix's, whatever one call reports. Needs no
// GIL.
std::int32_t ForwardMatrix(const CNetworkView& view, const std::vector<std::int32_t>& from,
                           const std::vector<std::int32_t>& to, NRouteOptions_stru opt, std::vector<double>& costs,
                           NFinding_stru* pError, CPyProgress& poll) {
  if (from.size() <= 1) return FindCostMatrix(view, from, to, opt, costs, pError, poll.Get());
  CSearchWorkspace work;
  opt.pWork = &work;
  std::vector<double> all;
  std::vector<double> part;
  try {
    all.reserve(from.size() * to.size());
  } catch (const std::bad_alloc&) {
    if (pError != nullptr) pError->strText = "out of memory for the cost matrix";
    return 0;
  }
  std::vector<std::int32_t> row(1);
  for (std::size_t i = 0; i < from.size(); ++i) {
    row[0] = from[i];
    const double dDone = static_cast<double>(i) / static_cast<double>(from.size());
    if (!poll.Between(dDone)) return 0;
    poll.Part(dDone, 1.0 / static_cast<double>(from.size()));
    if (FindCostMatrix(view, row, to, opt, part, pError, poll.Get()) != 1) return 0;
    all.insert(all.end(), part.begin(), part.end());
  }
  costs.swap(all);
  return 1;
}

py::array_t<double> CostMatrix(const CPyView& v, py::handle sources, py::handle targets, bool bDirected,
                               py::handle turns, py::handle barrierNods, py::handle barrierEdges,
                               py::handle drivingSide, py::handle progress) {
  const std::vector<std::int32_t> from = ElemNumsIn(sources, "sources");
  const std::vector<std::int32_t> to = ElemNumsIn(targets, "targets");
  const NRouteOptions_stru opt = RouteIn(bDirected, turns, barrierNods, barrierEdges);
  py::object fromSidesIn, toSidesIn;
  const bool bSided = SidesGiven(drivingSide, fromSidesIn, toSidesIn);
  std::vector<DrivingSide> fromSides, toSides;
  if (bSided) {
    fromSides = SidesIn(fromSidesIn, from.size(), "driving_side of the sources");
    toSides = SidesIn(toSidesIn, to.size(), "driving_side of the targets");
  }
  CPyProgress poll(progress);
  std::vector<double> costs;
  NFinding_stru err;
  std::int32_t status = 0;
  Shared(v, [&] {
    if (bSided) {
      status = FindSidedCostMatrix(v.m_view, from, fromSides, to, toSides, opt, costs, &err, poll.Get());
    } else {
      status = ForwardMatrix(v.m_view, from, to, opt, costs, &err, poll);
    }
  });
  poll.RaiseIfStopped();
  if (status != 1) RaiseFinding(err);
  return VectorOut(std::move(costs), {static_cast<py::ssize_t>(from.size()), static_cast<py::ssize_t>(to.size())});
}

py::tuple ClosestFacility(const CPyView& v, py::handle starts, bool bDirected, py::handle barrierNods,
                          py::handle barrierEdges, py::handle progress) {
  const std::vector<std::int32_t> from = ElemNumsIn(starts, "starts");
  NRouteOptions_stru opt = RouteIn(bDirected, py::bool_(false), barrierNods, barrierEdges);
  CPyProgress poll(progress);
  NClosestFacility_stru out;
  NFinding_stru err;
  std::int32_t status = 0;
  Shared(v, [&] { status = FindClosestFacility(v.m_view, from, opt, out, &err, poll.Get()); });
  poll.RaiseIfStopped();
  if (status != 1) RaiseFinding(err);
  return py::make_tuple(ReadOnly(VectorOut(std::move(out.facility))), ReadOnly(VectorOut(std::move(out.costs))),
                        ReadOnly(VectorOut(std::move(out.reachedBy))));
}

std::unique_ptr<CPyServiceArea> Area(const CPyView& v, py::handle starts, double dLimit, bool bDirected,
                                     py::handle turns, py::handle barrierNods, py::handle barrierEdges, bool bTo,
                                     py::handle drivingSide, py::handle progress) {
  const std::vector<std::int32_t> from = ElemNumsIn(starts, "starts");
  const bool bSided = !drivingSide.is_none();
  const std::vector<DrivingSide> sides =
      bSided ? SidesIn(drivingSide, from.size(), "driving_side") : std::vector<DrivingSide>();
  NRouteOptions_stru opt = RouteIn(bDirected, turns, barrierNods, barrierEdges);
  opt.bTurns = false;  // the area search adds no turn weights
  CPyProgress poll(progress);
  std::unique_ptr<CPyServiceArea> a(new CPyServiceArea());
  a->m_dLimit = dLimit;
  a->m_bTo = bTo;
  NFinding_stru err;
  std::int32_t status = 0;
  Shared(v, [&] {
    if (bTo) {
      status = FindServiceAreaTo(v.m_view, from, dLimit, opt, a->m_area, &err, poll.Get());
    } else if (bSided) {
      status = FindSidedServiceArea(v.m_view, from, sides, dLimit, opt, a->m_area, &err, poll.Get());
    } else {
      status = FindServiceArea(v.m_view, from, dLimit, opt, a->m_area, &err, poll.Get());
    }
  });
  poll.RaiseIfStopped();
  if (status != 1) RaiseFinding(err);
  return a;
}

std::unique_ptr<CPyServiceArea> ServiceArea(const CPyView& v, py::handle starts, double dLimit, bool bDirected,
                                            py::handle turns, py::handle barrierNods, py::handle barrierEdges,
                                            py::handle drivingSide, py::handle progress) {
  return Area(v, starts, dLimit, bDirected, turns, barrierNods, barrierEdges, false, drivingSide, progress);
}

std::unique_ptr<CPyServiceArea> ServiceAreaTo(const CPyView& v, py::handle starts, double dLimit, bool bDirected,
                                              py::handle turns, py::handle barrierNods, py::handle barrierEdges,
                                              py::handle progress) {
  return Area(v, starts, dLimit, bDirected, turns, barrierNods, barrierEdges, true, py::none(), progress);
}

std::unique_ptr<CPyComponents> Components(const CPyView& v, const std::string& kind, py::handle barrierNods,
                                          py::handle barrierEdges, bool bFollowCosts, py::handle progress) {
  std::unique_ptr<CPyComponents> c(new CPyComponents());
  if (kind == "weak") {
    c->m_eKind = NComponentKind::Weak;
  } else if (kind == "strong") {
    c->m_eKind = NComponentKind::Strong;
  } else {
    RaiseValue(Format("kind must be 'weak' or 'strong', not '%s'", kind.c_str()));
  }
  NComponentOptions_stru opt;
  opt.barriers = ElemsIn(barrierNods, barrierEdges, "barrier_nodes", "barrier_edges");
  opt.bFollowCosts = bFollowCosts;
  NFinding_stru err;
  std::int32_t status = 0;
  CPyProgress poll(progress);
  Shared(v, [&] { status = FindComponents(v.m_view, c->m_eKind, opt, c->m_comps, &err, poll.Get()); });
  poll.RaiseIfStopped();
  if (status != 1) RaiseFinding(err);
  return c;
}

std::unique_ptr<CPyIsolation> Isolate(const CPyView& v, py::handle nod, py::handle edge, py::handle devices,
                                      py::handle sources, py::handle barrierNods, py::handle barrierEdges,
                                      py::handle progress) {
  NIsolationQuery_stru q;
  if (nod.is_none() == edge.is_none()) RaiseValue("isolate: give either node or edge");
  q.eStartKind = nod.is_none() ? NElemKind::Edge : NElemKind::Node;
  q.lStart = ElemNumIn(nod.is_none() ? edge : nod, nod.is_none() ? "edge" : "node");
  q.devices = ElemNumsIn(devices, "devices");
  q.sources = ElemNumsIn(sources, "sources");
  q.barriers = ElemsIn(barrierNods, barrierEdges, "barrier_nodes", "barrier_edges");
  std::unique_ptr<CPyIsolation> r(new CPyIsolation());
  NFinding_stru err;
  std::int32_t status = 0;
  CPyProgress poll(progress);
  Shared(v, [&] { status = IsolateElement(v.m_view, q, r->m_result, &err, poll.Get()); });
  poll.RaiseIfStopped();
  if (status != 1) RaiseFinding(err);
  return r;
}

void WriteMarks(const CPyView& v, const CPyTraceResult& r) {
  // A copy: the result's arrays are writable from Python, which may run while
  // the GIL is released.
  const NTraceResult_stru marks = r.m_result;
  NFinding_stru err;
  std::int32_t status = 0;
  {
    py::gil_scoped_release nogil;
    std::unique_lock<std::shared_mutex> lock(v.m_pNet->m_lock);
    status = WriteTraceMarks(v.m_pNet->m_net, v.m_view, marks, &err);
  }
  if (status != 1) RaiseFinding(err);
}

py::array_t<double> EdgeCost(const CPyView& v, bool bAlong) {
  const std::int32_t n = v.m_view.GetEdgeNum();
  py::array_t<double> out(n);
  const double* costs = bAlong ? v.m_view.CostAlong() : v.m_view.CostAgainst();
  double* p = out.mutable_data();
  for (std::int32_t i = 0; i < n; ++i) p[i] = costs[i + 1];  // entry 0 unused
  return out;
}

}  // namespace

void BindView(py::module_& m) {
  g_pStopped = PyErr_NewExceptionWithDoc(
      kFirstGeneration ? "kelvane.gen1.Stopped" : "kelvane.Stopped",
      "An analysis stopped because its progress callable returned False", PyExc_RuntimeError, nullptr);
  if (g_pStopped == nullptr) throw py::error_already_set();
  m.attr("Stopped") = py::reinterpret_borrow<py::object>(g_pStopped);
  py::class_<CPyNetwork, PNetwork> network(m.attr("Network"));
  network.def("view", &MakeView, py::arg("weight") = "cost", py::arg("reverse_weight") = py::none(),
              py::arg("turns") = true, py::arg("split") = py::none(),
              "A view for analyses: weight a column name or id (None: every edge costs 1), reverse_weight "
              "the column against the edges (None: the network's reverse_cost when weight is its cost, "
              "else the same column), turns whether to read turn weights, split a SplitIndex so that pieces "
              "cost their share. Refuses tables the network checker faults (see check()).");

  py::class_<CPyView>(m, "View", py::module_local(), "A read-only picture of a network, made for analyses")
      .def_property_readonly("network", [](const CPyView& v) { return v.m_pNet; }, "the Network this view was made of")
      .def_property_readonly("node_count", [](const CPyView& v) { return v.m_view.GetNodNum(); }, "nodes, numbered 1 to node_count")
      .def_property_readonly("edge_count", [](const CPyView& v) { return v.m_view.GetEdgeNum(); }, "edges, numbered 1 to edge_count")
      .def_property_readonly("memory_bytes", [](const CPyView& v) { return v.m_view.GetMemoryBytes(); }, "bytes the view holds")
      .def_property_readonly("has_turns", [](const CPyView& v) { return v.m_view.HasTurns(); }, "whether turn weights are read")
      .def_property_readonly("is_current", [](const CPyView& v) {
        bool current = false;
        Shared(v, [&] { current = v.m_view.IsCurrent(); });
        return current;
      }, "False once the network changed (map_flags): analyses then refuse")
      .def("edge_cost", &EdgeCost, py::arg("along") = true,
           "(E,) float64 copy of each edge's cost along (or against) it; inf for no way")
      .def("trace", &Trace, py::arg("starts"), py::kw_only(), py::arg("kind") = "connected",
           py::arg("barrier_nodes") = py::tuple(), py::arg("barrier_edges") = py::tuple(),
           py::arg("stop_nodes") = py::tuple(), py::arg("stop_edges") = py::tuple(), py::arg("progress") = py::none(),
           "Nodes and edges reached from the starts: kind 'connected', 'downstream' or 'upstream'")
      .def("shortest_path", &ShortestPath, py::arg("source"), py::arg("target"), py::kw_only(),
           py::arg("directed") = true, py::arg("turns") = py::none(), py::arg("barrier_nodes") = py::tuple(),
           py::arg("barrier_edges") = py::tuple(), py::arg("restrictions") = py::none(),
           py::arg("driving_side") = py::none(),
           "The least-cost Path; turns None: turn weights on directed routes. restrictions: turn "
           "restrictions over paths of edges, each a sequence of edges ('no') or (kind, edges[, via_node]) "
           "with kind 'no' or 'only'. driving_side: 'both', 'right' or 'left' for source and target, or "
           "(source side, target side)")
      .def("costs_from", &CostsFrom, py::arg("source"), py::kw_only(), py::arg("directed") = true,
           py::arg("turns") = py::none(), py::arg("barrier_nodes") = py::tuple(),
           py::arg("barrier_edges") = py::tuple(), py::arg("tree") = false, py::arg("restrictions") = py::none(),
           py::arg("progress") = py::none(),
           "(N,) float64 least costs from source; inf where unreached. tree=True: (costs, reached_by), "
           "reached_by (N,) int32 the edge each node's route arrives by, 0 for the source and unreached. "
           "restrictions as shortest_path. progress: called with the fraction done, False stops")
      .def("costs_to", &CostsTo, py::arg("target"), py::kw_only(), py::arg("directed") = true,
           py::arg("turns") = py::none(), py::arg("barrier_nodes") = py::tuple(),
           py::arg("barrier_edges") = py::tuple(), py::arg("tree") = false, py::arg("progress") = py::none(),
           "(N,) float64 least costs from every node to target; inf where it cannot be reached. "
           "tree=True: (costs, reached_by), reached_by the first edge of each node's route, 0 for none")
      .def("cost_matrix", &CostMatrix, py::arg("sources"), py::arg("targets"), py::kw_only(),
           py::arg("directed") = true, py::arg("turns") = py::none(), py::arg("barrier_nodes") = py::tuple(),
           py::arg("barrier_edges") = py::tuple(), py::arg("driving_side") = py::none(),
           py::arg("progress") = py::none(),
           "(S, T) float64 least costs; inf where none. driving_side: one side for all, or (source sides, "
           "target sides), each a side or one per node")
      .def("service_area", &ServiceArea, py::arg("starts"), py::arg("limit"), py::kw_only(),
           py::arg("directed") = true, py::arg("turns") = py::none(), py::arg("barrier_nodes") = py::tuple(),
           py::arg("barrier_edges") = py::tuple(), py::arg("driving_side") = py::none(),
           py::arg("progress") = py::none(),
           "Everything within limit of the nearest start (no turn weights); driving_side: a side, or one per "
           "start, that the start is left from")
      .def("service_area_to", &ServiceAreaTo, py::arg("starts"), py::arg("limit"), py::kw_only(),
           py::arg("directed") = true, py::arg("turns") = py::none(), py::arg("barrier_nodes") = py::tuple(),
           py::arg("barrier_edges") = py::tuple(), py::arg("progress") = py::none(),
           "Everything from which the nearest start is reached within limit (no turn weights)")
      .def("closest_facility", &ClosestFacility, py::arg("starts"), py::kw_only(), py::arg("directed") = true,
           py::arg("barrier_nodes") = py::tuple(), py::arg("barrier_edges") = py::tuple(),
           py::arg("progress") = py::none(),
           "Every node's nearest start: (index in starts int32, -1 for none; cost float64, inf for none; "
           "the edge it is reached by int32, 0 for a start or none); ties to the start listed first")
      .def("components", &Components, py::arg("kind") = "weak", py::kw_only(),
           py::arg("barrier_nodes") = py::tuple(), py::arg("barrier_edges") = py::tuple(),
           py::arg("follow_costs") = false, py::arg("progress") = py::none(),
           "The weak or strong components; follow_costs: a direction of no way (infinite cost) is not a step")
      .def("isolate", &Isolate, py::arg("node") = py::none(), py::arg("edge") = py::none(), py::kw_only(),
           py::arg("devices"), py::arg("sources"), py::arg("barrier_nodes") = py::tuple(),
           py::arg("barrier_edges") = py::tuple(), py::arg("progress") = py::none(),
           "The devices to close to cut a node or an edge off from every source, and what loses supply")
      .def("write_trace_marks", &WriteMarks, py::arg("result"),
           "Marks a TraceResult in the network's own trace marks (network.fetch_trace reads them)")
      .def(py::pickle([](const CPyView& v) { return v.m_args; },
                      [](const py::tuple& t) {
                        if (t.size() != 5) RaiseValue("not the state of a View");
                        return MakeView(t[0].cast<PNetwork>(), t[1], t[2], t[3].cast<bool>(), t[4]);
                      }))
      .def("__repr__", [](const CPyView& v) {
        return Format("<kelvane.View of %d nodes, %d edges, weight %s, turns: %s>", v.m_view.GetNodNum(),
                      v.m_view.GetEdgeNum(), v.m_strWeight.c_str(), v.m_view.HasTurns() ? "yes" : "no");
      });
}

}  // namespace kelvane_py
