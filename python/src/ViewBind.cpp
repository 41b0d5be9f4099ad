// ViewBind.cpp - kelvane.View and every analysis on it. Each analysis
// converts its input while it holds the GIL, then releases it and reads the
// network under a shared lock, so that threads run analyses on one view at
// once; what writes the network (trace marks) holds the lock alone.
#include <limits>
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
#include "kelvane/tools/NetworkView.h"

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
                                      py::handle stopEdges) {
  NTraceQuery_stru q;
  q.eKind = TraceKindIn(kind);
  q.starts = ElemNumsIn(starts, "starts");
  q.barriers = ElemsIn(barrierNods, barrierEdges, "barrier_nodes", "barrier_edges");
  q.stops = ElemsIn(stopNods, stopEdges, "stop_nodes", "stop_edges");
  std::unique_ptr<CPyTraceResult> r(new CPyTraceResult());
  NFinding_stru err;
  std::int32_t status = 0;
  Shared(v, [&] { status = TraceNetwork(v.m_view, q, r->m_result, &err); });
  if (status != 1) RaiseFinding(err);
  return r;
}

std::unique_ptr<CPyPath> ShortestPath(const CPyView& v, std::int64_t llFrom, std::int64_t llTo, bool bDirected,
                                      py::handle turns, py::handle barrierNods, py::handle barrierEdges) {
  const std::int32_t lFrom = NodArg(v, llFrom, "source");
  const std::int32_t lTo = NodArg(v, llTo, "target");
  const NRouteOptions_stru opt = RouteIn(bDirected, turns, barrierNods, barrierEdges);
  std::unique_ptr<CPyPath> p(new CPyPath());
  NFinding_stru err;
  std::int32_t status = 0;
  Shared(v, [&] { status = FindShortestPath(v.m_view, lFrom, lTo, opt, p->m_path, &err); });
  if (status != 1) RaiseFinding(err);
  return p;
}

py::array_t<double> CostsFrom(const CPyView& v, std::int64_t llFrom, bool bDirected, py::handle turns,
                              py::handle barrierNods, py::handle barrierEdges) {
  const std::int32_t lFrom = NodArg(v, llFrom, "source");
  const NRouteOptions_stru opt = RouteIn(bDirected, turns, barrierNods, barrierEdges);
  std::vector<double> costs;
  NFinding_stru err;
  std::int32_t status = 0;
  Shared(v, [&] { status = FindCostsFrom(v.m_view, lFrom, opt, costs, &err); });
  if (status != 1) RaiseFinding(err);
  return VectorOut(std::move(costs));
}

py::array_t<double> CostMatrix(const CPyView& v, py::handle sources, py::handle targets, bool bDirected,
                               py::handle turns, py::handle barrierNods, py::handle barrierEdges) {
  const std::vector<std::int32_t> from = ElemNumsIn(sources, "sources");
  const std::vector<std::int32_t> to = ElemNumsIn(targets, "targets");
  const NRouteOptions_stru opt = RouteIn(bDirected, turns, barrierNods, barrierEdges);
  std::vector<double> costs;
  NFinding_stru err;
  std::int32_t status = 0;
  Shared(v, [&] { status = FindCostMatrix(v.m_view, from, to, opt, costs, &err); });
  if (status != 1) RaiseFinding(err);
  return VectorOut(std::move(costs), {static_cast<py::ssize_t>(from.size()), static_cast<py::ssize_t>(to.size())});
}

std::unique_ptr<CPyServiceArea> ServiceArea(const CPyView& v, py::handle starts, double dLimit, bool bDirected,
                                            py::handle turns, py::handle barrierNods, py::handle barrierEdges) {
  const std::vector<std::int32_t> from = ElemNumsIn(starts, "starts");
  NRouteOptions_stru opt = RouteIn(bDirected, turns, barrierNods, barrierEdges);
  opt.bTurns = false;  // the area search adds no turn weights
  std::unique_ptr<CPyServiceArea> a(new CPyServiceArea());
  a->m_dLimit = dLimit;
  NFinding_stru err;
  std::int32_t status = 0;
  Shared(v, [&] { status = FindServiceArea(v.m_view, from, dLimit, opt, a->m_area, &err); });
  if (status != 1) RaiseFinding(err);
  return a;
}

std::unique_ptr<CPyComponents> Components(const CPyView& v, const std::string& kind, py::handle barrierNods,
                                          py::handle barrierEdges) {
  std::unique_ptr<CPyComponents> c(new CPyComponents());
  if (kind == "weak") {
    c->m_eKind = NComponentKind::Weak;
  } else if (kind == "strong") {
    c->m_eKind = NComponentKind::Strong;
  } else {
    RaiseValue(Format("kind must be 'weak' or 'strong', not '%s'", kind.c_str()));
  }
  const NElemSet_stru barriers = ElemsIn(barrierNods, barrierEdges, "barrier_nodes", "barrier_edges");
  NFinding_stru err;
  std::int32_t status = 0;
  Shared(v, [&] { status = FindComponents(v.m_view, c->m_eKind, barriers, c->m_comps, &err); });
  if (status != 1) RaiseFinding(err);
  return c;
}

std::unique_ptr<CPyIsolation> Isolate(const CPyView& v, py::handle nod, py::handle edge, py::handle devices,
                                      py::handle sources, py::handle barrierNods, py::handle barrierEdges) {
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
  Shared(v, [&] { status = IsolateElement(v.m_view, q, r->m_result, &err); });
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
           py::arg("stop_nodes") = py::tuple(), py::arg("stop_edges") = py::tuple(),
           "Nodes and edges reached from the starts: kind 'connected', 'downstream' or 'upstream'")
      .def("shortest_path", &ShortestPath, py::arg("source"), py::arg("target"), py::kw_only(),
           py::arg("directed") = true, py::arg("turns") = py::none(), py::arg("barrier_nodes") = py::tuple(),
           py::arg("barrier_edges") = py::tuple(),
           "The least-cost Path; turns None: turn weights on directed routes")
      .def("costs_from", &CostsFrom, py::arg("source"), py::kw_only(), py::arg("directed") = true,
           py::arg("turns") = py::none(), py::arg("barrier_nodes") = py::tuple(),
           py::arg("barrier_edges") = py::tuple(), "(N,) float64 least costs from source; inf where unreached")
      .def("cost_matrix", &CostMatrix, py::arg("sources"), py::arg("targets"), py::kw_only(),
           py::arg("directed") = true, py::arg("turns") = py::none(), py::arg("barrier_nodes") = py::tuple(),
           py::arg("barrier_edges") = py::tuple(), "(S, T) float64 least costs; inf where none")
      .def("service_area", &ServiceArea, py::arg("starts"), py::arg("limit"), py::kw_only(),
           py::arg("directed") = true, py::arg("turns") = py::none(), py::arg("barrier_nodes") = py::tuple(),
           py::arg("barrier_edges") = py::tuple(), "Everything within limit of the nearest start (no turn weights)")
      .def("components", &Components, py::arg("kind") = "weak", py::kw_only(),
           py::arg("barrier_nodes") = py::tuple(), py::arg("barrier_edges") = py::tuple(),
           "The weak or strong components")
      .def("isolate", &Isolate, py::arg("node") = py::none(), py::arg("edge") = py::none(), py::kw_only(),
           py::arg("devices"), py::arg("sources"), py::arg("barrier_nodes") = py::tuple(),
           py::arg("barrier_edges") = py::tuple(),
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
