// NetworkBind.cpp - kelvane.Network: built from numpy arrays through
// CNetworkBuilder, its tables as zero-copy numpy views, the core's queries,
// and the network check.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cmath>
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
#include "kelvane/tools/NetworkCheck.h"

namespace kelvane_py {

namespace {

std::vector<double> EdgeValues(py::handle obj, const char* pszName, std::size_t nEdge, bool bNumbers) {
  std::vector<double> v = FloatsIn(obj, pszName);
  CheckLength(v.size(), pszName, nEdge, "from_nodes");
  if (bNumbers) RefuseNaN(v, pszName, "edge");
  return v;
}

std::vector<char> EdgeBytes(py::handle obj, const char* pszName, std::size_t nEdge) {
  std::vector<char> v = Int8sIn(obj, pszName);
  CheckLength(v.size(), pszName, nEdge, "from_nodes");
  return v;
}

// States: edges 0 open, 1 blocked, 2 deleted; nodes 0 open, 1 blocked. The
// core reads any other byte as open, which is never what a host meant.
std::vector<char> StatesIn(py::handle obj, const char* pszName, std::size_t n, const char* pszRef, int maxState) {
  std::vector<char> v = Int8sIn(obj, pszName);
  CheckLength(v.size(), pszName, n, pszRef);
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (v[i] < 0 || v[i] > maxState) {
      RaiseValue(Format("%s[%zu] = %d is not a state (%s)", pszName, i, static_cast<int>(v[i]),
                        maxState == 2 ? "0 open, 1 blocked, 2 deleted" : "0 open, 1 blocked"));
    }
  }
  return v;
}

// The four columns of a turn table: a tuple of four (T,) arrays, or anything
// numpy makes a (T, 4) array of.
void TurnsIn(py::handle turns, NNetworkInput_stru& in) {
  in.bTurns = true;
  if (PyTuple_Check(turns.ptr())) {
    const py::tuple t = py::reinterpret_borrow<py::tuple>(turns);
    if (t.size() != 4) RaiseValue(Format("turns must be four arrays (node, from_edge, to_edge, weight), not %zu", t.size()));
    in.turnNod = Int32sIn(t[0], "turns node");
    in.turnFrom = Int32sIn(t[1], "turns from_edge");
    in.turnTo = Int32sIn(t[2], "turns to_edge");
    in.turnWgt = FloatsIn(t[3], "turns weight");
    CheckLength(in.turnFrom.size(), "turns from_edge", in.turnNod.size(), "turns node");
    CheckLength(in.turnTo.size(), "turns to_edge", in.turnNod.size(), "turns node");
    CheckLength(in.turnWgt.size(), "turns weight", in.turnNod.size(), "turns node");
  } else {
    const CMatrixIn table(turns, "turns", 4);
    in.turnNod = table.IntColumn(0);
    in.turnFrom = table.IntColumn(1);
    in.turnTo = table.IntColumn(2);
    in.turnWgt = table.FloatColumn(3);
  }
  for (std::size_t i = 0; i < in.turnWgt.size(); ++i) {
    if (std::isnan(in.turnWgt[i])) RaiseValue(Format("turn weight %zu is not a number", i));
  }
}

PNetwork FromArrays(py::handle fromNodes, py::handle toNodes, py::handle nodeCount, py::handle cost,
                    py::handle reverseCost, py::handle columns, py::handle nodeWeight, py::handle demand,
                    py::handle nodeDemand, py::handle upState, py::handle downState, py::handle nodeState,
                    py::handle direction, py::handle turns) {
  NNetworkInput_stru in;
  in.from = Int32sIn(fromNodes, "from_nodes");
  in.to = Int32sIn(toNodes, "to_nodes");
  const std::size_t nEdge = in.from.size();
  CheckLength(in.to.size(), "to_nodes", nEdge, "from_nodes");
  if (nodeCount.is_none()) {
    std::int32_t highest = 0;
    for (std::size_t i = 0; i < nEdge; ++i) highest = std::max(highest, std::max(in.from[i], in.to[i]));
    in.lNodNum = highest;
  } else {
    in.lNodNum = Int32In(nodeCount, "node_count");
    if (in.lNodNum < 0) RaiseValue(Format("node_count %d is negative", in.lNodNum));
  }
  const std::size_t nNod = static_cast<std::size_t>(in.lNodNum);
  if (!cost.is_none()) in.cost = EdgeValues(cost, "cost", nEdge, true);
  if (!reverseCost.is_none()) in.reverseCost = EdgeValues(reverseCost, "reverse_cost", nEdge, true);
  if (!columns.is_none()) {
    if (!PyDict_Check(columns.ptr())) RaiseValue("columns must be a dict of name to (E,) array");
    for (auto item : py::reinterpret_borrow<py::dict>(columns)) {
      if (!PyUnicode_Check(item.first.ptr())) RaiseValue("columns: every name must be a str");
      const std::string name = item.first.cast<std::string>();
      if (name == "cost" || name == "reverse_cost") {
        RaiseValue(Format("columns: the name '%s' belongs to the %s argument", name.c_str(), name.c_str()));
      }
      in.extras.emplace_back(name, EdgeValues(item.second, name.c_str(), nEdge, true));
    }
  }
  if (!nodeWeight.is_none()) {
    in.nodWgt = FloatsIn(nodeWeight, "node_weight");
    CheckLength(in.nodWgt->size(), "node_weight", nNod, "node_count");
    RefuseNaN(*in.nodWgt, "node_weight", "node");
  }
  if (!demand.is_none()) in.edgeDmd = EdgeValues(demand, "demand", nEdge, false);
  if (!nodeDemand.is_none()) {
    in.nodDmd = FloatsIn(nodeDemand, "node_demand");
    CheckLength(in.nodDmd->size(), "node_demand", nNod, "node_count");
  }
  if (!upState.is_none()) in.upState = StatesIn(upState, "up_state", nEdge, "from_nodes", 2);
  if (!downState.is_none()) in.downState = StatesIn(downState, "down_state", nEdge, "from_nodes", 2);
  if (!nodeState.is_none()) in.nodState = StatesIn(nodeState, "node_state", nNod, "node_count", 1);
  if (!direction.is_none()) in.direct = EdgeBytes(direction, "direction", nEdge);
  if (!turns.is_none()) TurnsIn(turns, in);
  return BuildNetwork(in);
}

// Seconds the builder alone takes for edges given as converted buffers: the
// yardstick from_arrays is measured against, in one process.
double BuilderSeconds(py::handle fromNodes, py::handle toNodes, py::handle cost) {
  NNetworkInput_stru in;
  in.from = Int32sIn(fromNodes, "from_nodes");
  in.to = Int32sIn(toNodes, "to_nodes");
  CheckLength(in.to.size(), "to_nodes", in.from.size(), "from_nodes");
  in.cost = FloatsIn(cost, "cost");
  CheckLength(in.cost->size(), "cost", in.from.size(), "from_nodes");
  for (std::size_t i = 0; i < in.from.size(); ++i) in.lNodNum = std::max(in.lNodNum, std::max(in.from[i], in.to[i]));
  double seconds = 0.0;
  std::int32_t status = 0;
  NFinding_stru err;
  {
    py::gil_scoped_release nogil;
    CLocalNetwork net;
    const auto start = std::chrono::steady_clock::now();
    CNetworkBuilder b;
    FillBuilder(b, in);
    status = b.Build(net, &err);
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  if (status != 1) RaiseBuilder(err);
  return seconds;
}

// --- Table views ---

// p's tables, while no flag mapping replaces them; every view reads the
// tables through this first.
CLocalNetwork& Tables(const PNetwork& p) {
  if (p->m_bReplacing) RaiseValue("map_flags is replacing this network's tables; ask again once it has returned");
  return p->m_net;
}

// numpy array over ptr whose base is a new lease of p's tables.
py::array TableView(const PNetwork& p, const py::dtype& dt, const std::vector<py::ssize_t>& shape,
                    const std::vector<py::ssize_t>& strides, void* ptr) {
  (void)Tables(p);
  if (ptr == nullptr) return py::array(dt, shape, strides);  // an empty table has no storage to lease
  std::unique_ptr<CTableLease> pLease(new CTableLease(p));
  py::capsule base(pLease.get(), [](void* q) { delete static_cast<CTableLease*>(q); });
  (void)pLease.release();  // the capsule owns it now
  return py::array(dt, shape, strides, ptr, base);
}

template <class T>
py::object ColumnView(const PNetwork& p, T* table, std::int32_t n) {
  return TableView(p, py::dtype::of<T>(), {n}, {static_cast<py::ssize_t>(sizeof(T))}, table);
}

py::object ByteView(const PNetwork& p, char* table, std::int32_t n) {
  return TableView(p, py::dtype("int8"), {n}, {1}, table);
}

py::object WeightView(const PNetwork& p, NWeightVal_stru* table, std::int32_t n) {
  return TableView(p, WeightDtype(), {n}, {static_cast<py::ssize_t>(sizeof(NWeightVal_stru))}, table);
}

// The table of edge column lFld, looked up as the core does: fixed column 1,
// fixed column 2, then the extra columns by position.
NWeightVal_stru* EdgeColumnTable(CLocalNetwork& net, std::int32_t lFld) {
  if (lFld < 0) return nullptr;
  if (net.m_lEdgeWgtFld1 == lFld) return net.m_pEdgeWgt1;
  if (net.m_lEdgeWgtFld2 == lFld) return net.m_pEdgeWgt2;
#if !KELVANE_FIRST_GENERATION  // the first generation has no extra columns
  for (std::int32_t i = 0; i < net.m_ExtEdgeWgtFld.GetSize(); ++i) {
    if (net.m_ExtEdgeWgtFld.GetAt(i) == lFld) return net.m_ExtEdgeWgt.GetAt(i);
  }
#endif
  return nullptr;
}

// Holds the network alone (the core's queries write its recorders), with the
// GIL released first.
template <class Fn>
void Exclusive(CPyNetwork& p, Fn&& fn) {
  py::gil_scoped_release nogil;
  std::unique_lock<std::shared_mutex> lock(p.m_lock);
  fn(p.m_net);
}

using QueryFn = std::int32_t (CLocalNetwork::*)(std::int32_t, CSmartArray<std::int32_t>&);

py::array_t<std::int32_t> EdgesAt(CPyNetwork& p, std::int64_t llNod, QueryFn query) {
  CSmartArray<std::int32_t> edges;
  std::string err;
  Exclusive(p, [&](CLocalNetwork& net) {
    err = NodRangeError(net, llNod);
    // A blocked node answers 0 with the list emptied: no edges, not an error.
    if (err.empty()) (net.*query)(static_cast<std::int32_t>(llNod), edges);
  });
  if (!err.empty()) RaiseIndex(err);
  return SmartOut(edges);
}

std::string Repr(const CPyNetwork& p) {
  std::string cols;
  for (const auto& c : p.m_columns) cols += (cols.empty() ? "" : ", ") + c.first;
  return Format("<kelvane.Network %d nodes, %d edges, columns %s, turns: %s>", p.m_lNodes, p.m_lEdges,
                cols.empty() ? "none" : cols.c_str(), p.m_net.m_lTurnWgtFlag == 1 ? "yes" : "no");
}

}  // namespace

std::vector<NFinding_stru> CheckAll(const CLocalNetwork& net, std::int32_t lMax) {
  std::vector<NFinding_stru> out = CheckNetwork(net, lMax);
  const auto full = [&] { return lMax > 0 && out.size() >= static_cast<std::size_t>(lMax); };
  const auto add = [&](NElemKind eKind, std::int32_t lElem, std::string strText) {
    NFinding_stru f;
    f.eKind = eKind;
    f.lElem = lElem;
    f.strText = std::move(strText);
    out.push_back(std::move(f));
  };
  for (std::int32_t i = 0; i < net.m_lEdgeNum && !full(); ++i) {
    const int up = net.m_pUpEdgeState == nullptr ? 0 : net.m_pUpEdgeState[i];
    const int down = net.m_pDownEdgeState == nullptr ? 0 : net.m_pDownEdgeState[i];
    if (up < 0 || up > 2 || down < 0 || down > 2) {
      add(NElemKind::Edge, i + 1, Format("edge %d: state %d (up) / %d (down) is not a state (0 open, 1 blocked, 2 deleted)",
                                         i + 1, up, down));
    }
  }
  for (std::int32_t i = 0; net.m_pNodState != nullptr && i < net.m_lNodNum && !full(); ++i) {
    const int st = net.m_pNodState[i];
    if (st != 0 && st != 1) add(NElemKind::Node, i + 1, Format("node %d: state %d is not a state (0 open, 1 blocked)", i + 1, st));
  }
  return out;
}

std::string FindingsText(const std::vector<NFinding_stru>& faults) {
  std::string text = Format("the network's tables disagree (%zu finding%s): ", faults.size(), faults.size() == 1 ? "" : "s");
  for (std::size_t i = 0; i < faults.size() && i < 4; ++i) text += (i == 0 ? "" : "; ") + faults[i].strText;
  return text + "; network.check() lists them all";
}

std::int32_t ColumnId(const CPyNetwork& p, py::handle column) {
  if (PyUnicode_Check(column.ptr())) {
    const std::string name = column.cast<std::string>();
    for (const auto& c : p.m_columns) {
      if (c.first == name) return c.second;
    }
    std::string names;
    for (const auto& c : p.m_columns) names += (names.empty() ? "" : ", ") + c.first;
    RaiseValue(Format("no weight column named '%s' (the network has %s)", name.c_str(),
                      names.empty() ? "none" : names.c_str()));
  }
  return Int32In(column, "column");
}

namespace {

// The settings the input's columns call for; the index each extra column got.
std::vector<std::int32_t> FillSettings(CNetworkBuilder& b, const NNetworkInput_stru& in) {
  if (in.cost) b.SetEdgeWgtFld1(kCostFld);
  if (in.reverseCost) b.SetEdgeWgtFld2(kReverseCostFld);
  std::vector<std::int32_t> extraIndex;
  for (std::size_t i = 0; i < in.extras.size(); ++i) {
    extraIndex.push_back(b.AddExtEdgeWgtFld(kFirstExtraFld + static_cast<std::int32_t>(i)));
  }
  if (in.nodWgt) b.SetNodWgtFld(0);
  if (in.edgeDmd || in.nodDmd) b.SetDmdFld(0);
  if (in.direct) b.SetEdgeDirectMode(1);
  if (in.bTurns) b.SetTurnWgtFlag(1);
  return extraIndex;
}

// Column by column: each loop appends to one column in order, the builder's
// fast path.
void FillEdgeValues(CNetworkBuilder& b, const NNetworkInput_stru& in, const std::vector<std::int32_t>& extraIndex) {
  const std::int32_t nEdge = static_cast<std::int32_t>(in.from.size());
  if (in.cost) {
    for (std::int32_t i = 0; i < nEdge; ++i) b.SetEdgeWgt1(i + 1, DoubleWgt((*in.cost)[i]));
  }
  if (in.reverseCost) {
    for (std::int32_t i = 0; i < nEdge; ++i) b.SetEdgeWgt2(i + 1, DoubleWgt((*in.reverseCost)[i]));
  }
  for (std::size_t i = 0; i < in.extras.size(); ++i) {
    if (extraIndex[i] < 0) continue;  // refused (first generation): Build says so
    for (std::int32_t j = 0; j < nEdge; ++j) b.SetExtEdgeWgt(extraIndex[i], j + 1, DoubleWgt(in.extras[i].second[j]));
  }
  if (in.edgeDmd) {
    for (std::int32_t i = 0; i < nEdge; ++i) b.SetEdgeDmd(i + 1, (*in.edgeDmd)[i]);
  }
  if (in.direct) {
    for (std::int32_t i = 0; i < nEdge; ++i) b.SetEdgeDirect(i + 1, (*in.direct)[i]);
  }
}

void FillStates(CNetworkBuilder& b, const NNetworkInput_stru& in) {
  if (!in.upState && !in.downState) return;
  const std::vector<char> open(in.from.size(), 0);  // the state not given
  const std::vector<char>& up = in.upState ? *in.upState : open;
  const std::vector<char>& down = in.downState ? *in.downState : open;
  for (std::size_t e = 1; e <= in.from.size(); ++e) b.SetEdgeState(static_cast<std::int32_t>(e), up[e - 1], down[e - 1]);
}

void FillNodValues(CNetworkBuilder& b, const NNetworkInput_stru& in) {
  // Counted from 0, so that the loop ends when lNodNum is INT32_MAX.
  for (std::int32_t i = 0; i < in.lNodNum && (in.nodWgt || in.nodDmd || in.nodState); ++i) {
    const std::int32_t n = i + 1;
    if (in.nodWgt) b.SetNodWgt(n, DoubleWgt((*in.nodWgt)[i]));
    if (in.nodDmd) b.SetNodDmd(n, (*in.nodDmd)[i]);
    if (in.nodState) b.SetNodState(n, (*in.nodState)[i]);
  }
  for (std::size_t t = 0; t < in.turnNod.size(); ++t) b.SetTurnWgt(in.turnNod[t], in.turnFrom[t], in.turnTo[t], in.turnWgt[t]);
}

}  // namespace

void FillBuilder(CNetworkBuilder& b, const NNetworkInput_stru& in) {
  const std::vector<std::int32_t> extraIndex = FillSettings(b, in);
  const std::int32_t nEdge = static_cast<std::int32_t>(in.from.size());
  b.Reserve(nEdge);
  b.SetNodNum(in.lNodNum);
  for (std::int32_t i = 0; i < nEdge; ++i) b.AddEdge(in.from[i], in.to[i]);
  FillEdgeValues(b, in, extraIndex);
  FillStates(b, in);
  FillNodValues(b, in);
}

namespace {

// Bytes the tables and the builder need per node, at the least: a connection
// list header, a state byte, the builder's counts.
constexpr std::uint64_t kBytesPerNod = 32;

// A node count whose tables cannot fit in this machine's memory is refused at
// once (the largest, INT32_MAX, asks for some 64 GiB); left to the
// allocations, it would take a minute of zeroing to end in a MemoryError.
void RefuseHugeNodNum(std::int32_t lNodNum) {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return;
  const std::uint64_t have = static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
  const std::uint64_t need = static_cast<std::uint64_t>(lNodNum) * kBytesPerNod;
  if (need <= have) return;
  PyErr_SetString(PyExc_MemoryError,
                  Format("%d nodes need some %.0f GiB of tables, more than this machine's %.0f GiB: nodes are "
                         "numbered 1 to node_count; for sparse ids (OSM ids, strings) use kelvane.IdNetwork, "
                         "which numbers them densely",
                         lNodNum, static_cast<double>(need) / 1073741824.0, static_cast<double>(have) / 1073741824.0)
                      .c_str());
  throw py::error_already_set();
}

}  // namespace

PNetwork BuildNetwork(const NNetworkInput_stru& in) {
  RefuseHugeNodNum(in.lNodNum);
  PNetwork p = std::make_shared<CPyNetwork>();
  NFinding_stru err;
  std::int32_t status = 0;
  {
    py::gil_scoped_release nogil;
    CNetworkBuilder b;
    FillBuilder(b, in);
    status = b.Build(p->m_net, &err);
  }
  if (status != 1) RaiseBuilder(err);
  p->m_lNodes = p->m_net.m_lNodNum;
  p->m_lEdges = p->m_net.m_lEdgeNum;
  if (in.cost) p->m_columns.emplace_back("cost", kCostFld);
  if (in.reverseCost) {
    p->m_columns.emplace_back("reverse_cost", kReverseCostFld);
    p->m_lReverseFld = kReverseCostFld;
  }
  for (std::size_t i = 0; i < in.extras.size(); ++i) {
    p->m_columns.emplace_back(in.extras[i].first, kFirstExtraFld + static_cast<std::int32_t>(i));
  }
  return p;
}

void BindNetwork(py::module_& m) {
  m.def("_builder_seconds", &BuilderSeconds, py::arg("from_nodes"), py::arg("to_nodes"), py::arg("cost"),
        "Seconds CNetworkBuilder alone takes (adding the edges and costs, then Build) for these edges");

  py::class_<CPyNetwork, PNetwork>(m, "Network", py::module_local(),
                                   "One network held in memory: numbered nodes and edges with their tables")
      .def_static("from_arrays", &FromArrays, py::arg("from_nodes"), py::arg("to_nodes"), py::kw_only(),
                  py::arg("node_count") = py::none(), py::arg("cost") = py::none(),
                  py::arg("reverse_cost") = py::none(), py::arg("columns") = py::none(),
                  py::arg("node_weight") = py::none(), py::arg("demand") = py::none(),
                  py::arg("node_demand") = py::none(), py::arg("up_state") = py::none(),
                  py::arg("down_state") = py::none(), py::arg("node_state") = py::none(),
                  py::arg("direction") = py::none(), py::arg("turns") = py::none(),
                  "A network from (E,) arrays of 1-based end nodes and optional per-edge and per-node values.\n\n"
                  "Edges go both ways unless a state or a reverse cost says otherwise: up_state 1 blocks going "
                  "against an edge, down_state 1 going along it (2: deleted); node_state 1 closes a node. "
                  "Other state values are refused. A negative cost means no way for routes, cost matrices "
                  "and service areas; traces follow connectivity alone and pass such edges. reverse_cost, "
                  "when given, is what view() prices going against an edge with. Bool masks stand for states; "
                  "pandas nullable integer columns are read when they hold no missing value.")
      .def_property_readonly("node_count", [](const CPyNetwork& p) { return p.m_lNodes; }, "nodes, numbered 1 to node_count")
      .def_property_readonly("edge_count", [](const CPyNetwork& p) { return p.m_lEdges; }, "edges, numbered 1 to edge_count")
      .def_property_readonly("columns", [](const CPyNetwork& p) {
        py::dict d;
        for (const auto& c : p.m_columns) d[py::str(c.first)] = c.second;
        return d;
      }, "weight column name -> column id")
      .def_property_readonly("has_turns", [](const CPyNetwork& p) { return p.m_net.m_lTurnWgtFlag == 1; }, "whether turn weights are read")
      .def_property_readonly("BUILD", [](const CPyNetwork&) { return BuildName(); }, "'current' or 'first generation'")
      .def_property_readonly("noding", [](const PNetwork& p) { return NodingObject(p); },
                             "the Noding of from_lines; None for from_arrays")
      .def("__repr__", &Repr)
      // Zero-copy views of the tables; a view keeps the network alive, and
      // map_flags refuses while one does. Each reads the tables through
      // Tables, which refuses while flag mapping replaces them.
      .def_property_readonly("edge_nodes", [](const PNetwork& p) {
        CLocalNetwork& net = Tables(p);
        return TableView(p, py::dtype::of<std::int32_t>(), {net.m_lEdgeNum, 2},
                         {static_cast<py::ssize_t>(sizeof(NEdgeNod_stru)), 4}, net.m_pEdgeNod);
      }, "(E, 2) int32 view: from node, to node")
      .def_property_readonly("node_state", [](const PNetwork& p) {
        CLocalNetwork& net = Tables(p);
        return ByteView(p, net.m_pNodState, net.m_lNodNum);
      }, "(N,) int8 view: 1 blocked")
      .def_property_readonly("up_state", [](const PNetwork& p) {
        CLocalNetwork& net = Tables(p);
        return ByteView(p, net.m_pUpEdgeState, net.m_lEdgeNum);
      }, "(E,) int8 view: 1 blocked, 2 deleted")
      .def_property_readonly("down_state", [](const PNetwork& p) {
        CLocalNetwork& net = Tables(p);
        return ByteView(p, net.m_pDownEdgeState, net.m_lEdgeNum);
      }, "(E,) int8 view: 1 blocked, 2 deleted")
      .def_property_readonly("edge_direction", [](const PNetwork& p) -> py::object {
        CLocalNetwork& net = Tables(p);
        if (net.m_cEdgeDirectMode == 0 || net.m_pEdgeDirect == nullptr) return py::none();
        return ByteView(p, net.m_pEdgeDirect, net.m_lEdgeNum);
      }, "(E,) int8 view of the direction bytes, or None")
      .def_property_readonly("edge_demand", [](const PNetwork& p) -> py::object {
        CLocalNetwork& net = Tables(p);
        if (net.m_pEdgeDmd == nullptr) return py::none();
        return ColumnView(p, net.m_pEdgeDmd, net.m_lEdgeNum);
      }, "(E,) float64 view, or None")
      .def_property_readonly("node_demand", [](const PNetwork& p) -> py::object {
        CLocalNetwork& net = Tables(p);
        if (net.m_pNodDmd == nullptr) return py::none();
        return ColumnView(p, net.m_pNodDmd, net.m_lNodNum);
      }, "(N,) float64 view, or None")
      .def("weights", [](const PNetwork& p, py::handle column) {
        CLocalNetwork& net = Tables(p);
        const std::int32_t lFld = ColumnId(*p, column);
        NWeightVal_stru* table = EdgeColumnTable(net, lFld);
        if (table == nullptr) RaiseValue(Format("column %d is not a weight column of this network", lFld));
        return WeightView(p, table, net.m_lEdgeNum);
      }, py::arg("column"), "(E,) view of an edge weight column (by name or id), dtype WEIGHT_DTYPE")
      .def("node_weights", [](const PNetwork& p) -> py::object {
        CLocalNetwork& net = Tables(p);
        if (net.m_lNodWgtFld < 0 || net.m_pNodWgt == nullptr) return py::none();
        return WeightView(p, net.m_pNodWgt, net.m_lNodNum);
      }, "(N,) view of the node weight column, dtype WEIGHT_DTYPE, or None")
      .def("connections", [](const PNetwork& p, std::int64_t llNod) {
        CLocalNetwork& net = Tables(p);
        const std::string err = NodRangeError(net, llNod);
        if (!err.empty()) RaiseIndex(err);
        NNodConn_stru& conn = net.m_pNodConn[llNod - 1];
        const std::int32_t n = conn.pConnEdge == nullptr ? 0 : std::max<std::int32_t>(conn.sConnNum, 0);
        return TableView(p, py::dtype::of<std::int32_t>(), {n}, {4}, n == 0 ? nullptr : conn.pConnEdge);
      }, py::arg("node"), "(k,) int32 view of the node's list: +e where e ends here, -e where it starts")
      // The core's own answers, so that what a host writes through a view is
      // what it reads back.
      .def("edges_at", [](CPyNetwork& p, std::int64_t n) { return EdgesAt(p, n, &CLocalNetwork::GetNodConnEdgeS); },
           py::arg("node"), "usable edges at the node, in stored order")
      .def("up_edges_at", [](CPyNetwork& p, std::int64_t n) { return EdgesAt(p, n, &CLocalNetwork::GetNodConnUpEdgeS); },
           py::arg("node"), "edges open upward that end at the node, as stored")
      .def("down_edges_at", [](CPyNetwork& p, std::int64_t n) { return EdgesAt(p, n, &CLocalNetwork::GetNodConnDownEdgeS); },
           py::arg("node"), "edges open downward that start at the node, as stored")
      .def("edge_ends", [](CPyNetwork& p, std::int64_t llEdge) {
        std::int32_t lFrom = 0;
        std::int32_t lTo = 0;
        std::string err;
        Exclusive(p, [&](CLocalNetwork& net) {
          err = EdgeRangeError(net, llEdge);
          // A blocked edge answers 0 and 0.
          if (err.empty()) net.GetEdgeFromToNod(static_cast<std::int32_t>(llEdge), lFrom, lTo);
        });
        if (!err.empty()) RaiseIndex(err);
        return py::make_tuple(lFrom, lTo);
      }, py::arg("edge"), "(from node, to node); (0, 0) for an edge blocked both ways")
      .def("check", [](CPyNetwork& p, std::int32_t lMax) {
        std::vector<NFinding_stru> findings;
        {
          py::gil_scoped_release nogil;
          std::shared_lock<std::shared_mutex> lock(p.m_lock);
          findings = CheckAll(p.m_net, lMax);
        }
        py::list out;
        for (NFinding_stru& f : findings) out.append(py::cast(std::move(f)));
        return out;
      }, py::arg("max_findings") = 0, "every fault in the network's tables, as Findings (at most max_findings above 0)")
      .def("_turn_table", [](CPyNetwork& p) {
        // Every turn weight that is not 0 (the builder's default), as
        // (node, from edge, to edge, weight) rows: what pickling rebuilds from.
        std::vector<std::int32_t> nods, froms, tos;
        std::vector<double> wgts;
        Exclusive(p, [&](CLocalNetwork& net) {
          if (net.m_lTurnWgtFlag != 1 || net.m_ppTurnWgt == nullptr || net.m_pNodConn == nullptr) return;
          for (std::int32_t i = 0; i < net.m_lNodNum; ++i) {
            const double* matrix = net.m_ppTurnWgt[i];
            const NNodConn_stru& conn = net.m_pNodConn[i];
            if (matrix == nullptr || conn.pConnEdge == nullptr) continue;
            const std::int32_t c = conn.sConnNum;
            for (std::int32_t r = 0; r < c; ++r) {
              for (std::int32_t k = 0; k < c; ++k) {
                if (matrix[r * c + k] == 0.0) continue;
                nods.push_back(i + 1);
                froms.push_back(std::abs(conn.pConnEdge[r]));
                tos.push_back(std::abs(conn.pConnEdge[k]));
                wgts.push_back(matrix[r * c + k]);
              }
            }
          }
        });
        return py::make_tuple(VectorOut(std::move(nods)), VectorOut(std::move(froms)), VectorOut(std::move(tos)),
                              VectorOut(std::move(wgts)));
      })
      .def("_unlist_deleted", [](const PNetwork& p) {
        // After a rebuild from tables (unpickling a mapped network): flag
        // mapping leaves a deleted edge in no list, the builder lists every
        // edge. Each list and its turn matrix lose the deleted edges' places.
        if (p->m_lLeases.load() > 0) RaiseValue("arrays still view this network's tables");
        Exclusive(*p, [&](CLocalNetwork& net) {
          const auto deleted = [&](std::int32_t e) {
            const std::int32_t a = std::abs(e);
            return a >= 1 && a <= net.m_lEdgeNum && net.m_pUpEdgeState[a - 1] == 2 && net.m_pDownEdgeState[a - 1] == 2;
          };
          for (std::int32_t i = 0; i < net.m_lNodNum; ++i) {
            NNodConn_stru& conn = net.m_pNodConn[i];
            if (conn.pConnEdge == nullptr || conn.sConnNum <= 0) continue;
            const std::int32_t c = conn.sConnNum;
            std::vector<std::int32_t> keep;
            for (std::int32_t r = 0; r < c; ++r) {
              if (!deleted(conn.pConnEdge[r])) keep.push_back(r);
            }
            if (static_cast<std::int32_t>(keep.size()) == c) continue;
            const auto k = static_cast<std::int32_t>(keep.size());
            double* matrix = net.m_lTurnWgtFlag == 1 && net.m_ppTurnWgt != nullptr ? net.m_ppTurnWgt[i] : nullptr;
            for (std::int32_t r = 0; r < k; ++r) {
              conn.pConnEdge[r] = conn.pConnEdge[keep[static_cast<std::size_t>(r)]];
              if (matrix == nullptr) continue;
              for (std::int32_t q = 0; q < k; ++q) {
                matrix[r * k + q] = matrix[keep[static_cast<std::size_t>(r)] * c + keep[static_cast<std::size_t>(q)]];
              }
            }
            conn.sConnNum = static_cast<std::int16_t>(k);
          }
        });
      })
      .def("fetch_trace", [](CPyNetwork& p) {
        CSmartArray<std::int32_t> nods;
        CSmartArray<std::int32_t> edges;
        std::int32_t status = 0;
        Exclusive(p, [&](CLocalNetwork& net) { status = net.FetchTraceResult(nods, edges); });
        if (status == -2) RaiseValue("no trace is open on this network: view.write_trace_marks first");
        return py::make_tuple(SmartOut(nods), SmartOut(edges));
      }, "(nodes, edges) marked in the network's own trace, ascending");
}

}  // namespace kelvane_py
