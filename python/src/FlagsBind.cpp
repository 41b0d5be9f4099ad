// FlagsBind.cpp - flags on a network: checking them, mapping them onto new
// nodes (which replaces the network's tables, so it refuses while a numpy view
// of them lives), and the split index that leads from pieces back to edges.
#include <cstring>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <utility>
#include <vector>

#include "ArrayIn.h"
#include "ArrayOut.h"
#include "Common.h"
#include "Results.h"
#include "kelvane/tools/AnalysisInput.h"
#include "kelvane/tools/NetworkCheck.h"

namespace kelvane_py {

namespace {

NET_FLGstruct MakeFlag(char cType, std::int32_t lElem, double dPos) {
  NET_FLGstruct f;
  std::memset(static_cast<void*>(&f), 0, sizeof f);  // padding too: the core copies flags byte for byte
  f.cFlgType = cType;
  f.lElemID = lElem;
  f.dPos = dPos;
  return f;
}

// Edge flags first, then node flags: the flag indices of every message.
// edge_flags is a tuple (edges, fractions) or anything numpy makes an (F, 2)
// array of.
CSmartArray<NET_FLGstruct> FlagsIn(py::handle edgeFlags, py::handle nodeFlags) {
  std::vector<std::int32_t> edges;
  std::vector<double> fractions;
  if (PyTuple_Check(edgeFlags.ptr()) && PyTuple_GET_SIZE(edgeFlags.ptr()) != 0) {
    const py::tuple t = py::reinterpret_borrow<py::tuple>(edgeFlags);
    if (t.size() != 2) RaiseValue(Format("edge_flags must be (edges, fractions), not %zu arrays", t.size()));
    edges = Int32sIn(t[0], "edge_flags edges", true);
    fractions = FloatsIn(t[1], "edge_flags fractions", true);  // (edge, fraction): one flag
    CheckLength(fractions.size(), "edge_flags fractions", edges.size(), "edges");
  } else if (!IsAbsent(edgeFlags)) {
    const CMatrixIn table(edgeFlags, "edge_flags", 2);
    edges = table.IntColumn(0);
    fractions = table.FloatColumn(1);
  }
  const std::vector<std::int32_t> nods = IsAbsent(nodeFlags) ? std::vector<std::int32_t>()
                                                             : Int32sIn(nodeFlags, "node_flags", true);
  CSmartArray<NET_FLGstruct> flags;
  for (std::size_t i = 0; i < edges.size(); ++i) flags.Add(MakeFlag(2, edges[i], fractions[i]));
  for (std::int32_t n : nods) flags.Add(MakeFlag(1, n, 0.0));
  return flags;
}

// Statuses under which mapping would leave a flag off the network or cut a
// piece of negative share; at-end and repeated positions map as the core
// maps them (pieces of share 0).
bool Refused(NFlagStatus eStatus) {
  return eStatus != NFlagStatus::Fine && eStatus != NFlagStatus::PosAtEnd && eStatus != NFlagStatus::PosRepeated;
}

py::list CheckFlagsOf(CPyNetwork& p, py::handle edgeFlags, py::handle nodeFlags) {
  const CSmartArray<NET_FLGstruct> flags = FlagsIn(edgeFlags, nodeFlags);
  std::vector<NFlagCheck_stru> checks;
  {
    py::gil_scoped_release nogil;
    std::shared_lock<std::shared_mutex> lock(p.m_lock);
    CheckFlags(p.m_net, flags, checks);
  }
  py::list out;
  for (std::size_t i = 0; i < checks.size(); ++i) {
    CPyFlagCheck c;
    c.m_lIndex = static_cast<std::int32_t>(i);
    c.m_check = std::move(checks[i]);
    out.append(py::cast(std::move(c)));
  }
  return out;
}

// Clears the network's replacing mark when flag mapping ends, by return or by
// exception; destroyed with the GIL held.
class CReplacing {
 public:
  explicit CReplacing(CPyNetwork& p) : m_p(p) { m_p.m_bReplacing = true; }
  ~CReplacing() { m_p.m_bReplacing = false; }
  CReplacing(const CReplacing&) = delete;
  CReplacing& operator=(const CReplacing&) = delete;

 private:
  CPyNetwork& m_p;  // the network being mapped
};

CPyFlagMapping MapFlags(CPyNetwork& p, py::handle edgeFlags, py::handle nodeFlags) {
  const CSmartArray<NET_FLGstruct> in = FlagsIn(edgeFlags, nodeFlags);
  if (p.m_bReplacing) RaiseValue("map_flags is already running on this network");
  const std::int32_t leases = p.m_lLeases.load();
  if (leases > 0) {
    RaiseValue(Format("map_flags: %d %s viewing this network's tables %s still in use; del them first", leases,
                      leases == 1 ? "array" : "arrays", leases == 1 ? "is" : "are"));
  }
  CReplacing replacing(p);  // no lease may start from here on: the GIL is about to go
  std::shared_ptr<CSplitIndex> pSplit(new CSplitIndex());
  CSmartArray<NET_FLGstruct> out;
  CSmartArray<TEMPEDGE_MAP_EDGE> pieces;
  CSmartArray<std::int32_t> newNods;
  std::vector<std::int32_t> flagNods;
  std::string refusal;
  NFinding_stru err;
  std::int32_t status = 1;
  {
    py::gil_scoped_release nogil;
    std::unique_lock<std::shared_mutex> lock(p.m_lock);
    // The host may have written end nodes and connection lists through the
    // views; mapping splits edges by both, so it runs only on tables that agree.
    const std::vector<NFinding_stru> faults = CheckAll(p.m_net, 4);
    if (!faults.empty()) refusal = "map_flags: " + FindingsText(faults);
    std::vector<NFlagCheck_stru> checks;
    if (refusal.empty()) CheckFlags(p.m_net, in, checks);
    for (const NFlagCheck_stru& c : checks) {
      if (Refused(c.eStatus)) {
        refusal = "map_flags: " + c.strText;
        break;
      }
    }
    if (refusal.empty()) {
      p.m_net.MapNetFlag(in, out, pieces, newNods);
      status = pSplit->Build(p.m_net, in, out, pieces, &err);
      if (status == 1) status = FlagNods(out, flagNods, &err);
    }
  }
  p.m_lNodes = p.m_net.m_lNodNum;  // only this call changes the counts, and it still holds the mark
  p.m_lEdges = p.m_net.m_lEdgeNum;
  if (!refusal.empty()) RaiseValue(refusal);
  if (status != 1) RaiseFinding(err);
  CPyFlagMapping r;
  r.m_nodes = VectorOut(std::move(flagNods));
  r.m_newNodes = SmartOut(newNods);
  std::vector<std::int32_t> pairs;
  pairs.reserve(static_cast<std::size_t>(pieces.GetSize()) * 2);
  for (std::int32_t i = 0; i < pieces.GetSize(); ++i) {
    const TEMPEDGE_MAP_EDGE t = pieces.GetAt(i);
    pairs.push_back(t.lTempEdgeID);
    pairs.push_back(t.lEdgeID);
  }
  r.m_pieces = VectorOut(std::move(pairs), {pieces.GetSize(), 2});
  CPySplitIndex split;
  split.m_pIndex = std::move(pSplit);
  split.m_network = py::cast(p.shared_from_this());
  split.m_pIn = std::make_shared<const CSmartArray<NET_FLGstruct>>(in);
  split.m_pOut = std::make_shared<const CSmartArray<NET_FLGstruct>>(out);
  split.m_pPieces = std::make_shared<const CSmartArray<TEMPEDGE_MAP_EDGE>>(pieces);
  r.m_split = py::cast(std::move(split));
  return r;
}

// Flags as (type int8, element int32, position float64) columns.
py::tuple FlagsOut(const CSmartArray<NET_FLGstruct>& flags) {
  std::vector<std::int8_t> types;
  std::vector<std::int32_t> elems;
  std::vector<double> pos;
  for (std::int32_t i = 0; i < flags.GetSize(); ++i) {
    const NET_FLGstruct f = flags.GetAt(i);
    types.push_back(static_cast<std::int8_t>(f.cFlgType));
    elems.push_back(f.lElemID);
    pos.push_back(f.dPos);
  }
  return py::make_tuple(VectorOut(std::move(types)), VectorOut(std::move(elems)), VectorOut(std::move(pos)));
}

CSmartArray<NET_FLGstruct> FlagsFrom(const py::tuple& t) {
  const std::vector<char> types = Int8sIn(t[0], "flag types");
  const std::vector<std::int32_t> elems = Int32sIn(t[1], "flag elements");
  const std::vector<double> pos = FloatsIn(t[2], "flag positions");
  CSmartArray<NET_FLGstruct> flags;
  for (std::size_t i = 0; i < types.size() && i < elems.size() && i < pos.size(); ++i) {
    flags.Add(MakeFlag(types[i], elems[i], pos[i]));
  }
  return flags;
}

// A split index pickles as the network it indexes (pickled once however
// many objects share it) and the mapping's flags and pieces.
py::tuple SplitState(const CPySplitIndex& s) {
  if (!s.m_pIn) RaiseValue("this SplitIndex cannot be pickled: it was made before pickling was known");
  std::vector<std::int32_t> pairs;
  for (std::int32_t i = 0; i < s.m_pPieces->GetSize(); ++i) {
    pairs.push_back(s.m_pPieces->GetAt(i).lTempEdgeID);
    pairs.push_back(s.m_pPieces->GetAt(i).lEdgeID);
  }
  return py::make_tuple(s.m_network, FlagsOut(*s.m_pIn), FlagsOut(*s.m_pOut), VectorOut(std::move(pairs)));
}

CPySplitIndex SplitFromState(const py::tuple& t) {
  if (t.size() != 4) RaiseValue("not the state of a SplitIndex");
  CPySplitIndex s;
  s.m_network = t[0];
  PNetwork pNet = t[0].cast<PNetwork>();
  auto pIn = std::make_shared<CSmartArray<NET_FLGstruct>>(FlagsFrom(t[1]));
  auto pOut = std::make_shared<CSmartArray<NET_FLGstruct>>(FlagsFrom(t[2]));
  auto pPieces = std::make_shared<CSmartArray<TEMPEDGE_MAP_EDGE>>();
  const std::vector<std::int32_t> pairs = Int32sIn(t[3], "pieces");
  for (std::size_t i = 0; i + 1 < pairs.size(); i += 2) pPieces->Add(TEMPEDGE_MAP_EDGE{pairs[i], pairs[i + 1]});
  std::shared_ptr<CSplitIndex> pSplit(new CSplitIndex());
  NFinding_stru err;
  std::int32_t status = 0;
  {
    py::gil_scoped_release nogil;
    std::shared_lock<std::shared_mutex> lock(pNet->m_lock);
    status = pSplit->Build(pNet->m_net, *pIn, *pOut, *pPieces, &err);
  }
  if (status != 1) RaiseValue("the pickled SplitIndex does not fit its network: " + err.strText);
  s.m_pIndex = std::move(pSplit);
  s.m_pIn = std::move(pIn);
  s.m_pOut = std::move(pOut);
  s.m_pPieces = std::move(pPieces);
  return s;
}

std::int32_t IndexedEdge(const CSplitIndex& s, std::int64_t llEdge) {
  if (llEdge < 1 || llEdge > s.GetEdgeNum()) {
    RaiseIndex(Format("edge %lld is not an edge of the indexed network (1 to %d)", static_cast<long long>(llEdge),
                      s.GetEdgeNum()));
  }
  return static_cast<std::int32_t>(llEdge);
}

}  // namespace

void BindFlags(py::module_& m) {
  py::class_<CPySplitIndex>(m, "SplitIndex", py::module_local(),
                            "After map_flags: the pieces each edge was cut into, and each piece's edge")
      .def_property_readonly("edge_count", [](const CPySplitIndex& s) { return s.m_pIndex->GetEdgeNum(); },
                             "edges of the network when it was indexed, pieces included")
      .def("original", [](const CPySplitIndex& s, std::int64_t llEdge) {
        double dFrom = 0.0;
        double dTo = 1.0;
        const std::int32_t orig = s.m_pIndex->GetOriginal(IndexedEdge(*s.m_pIndex, llEdge), &dFrom, &dTo);
        return py::make_tuple(orig, dFrom, dTo);
      }, py::arg("edge"), "(the edge it was cut from, from fraction, to fraction); itself, 0, 1 when not a piece")
      .def("pieces", [](const CPySplitIndex& s, std::int64_t llEdge) {
        const std::int32_t e = IndexedEdge(*s.m_pIndex, llEdge);
        CSmartArray<NEdgePiece_stru> list;
        if (s.m_pIndex->GetPieceS(e, list) != 1) {
          RaiseValue(Format("edge %d is a piece of edge %d, not an edge from before the mapping", e,
                            s.m_pIndex->GetOriginal(e)));
        }
        std::vector<double> rows;
        for (std::int32_t i = 0; i < list.GetSize(); ++i) {
          const NEdgePiece_stru piece = list.GetAt(i);
          rows.push_back(piece.lEdge);
          rows.push_back(piece.dFrom);
          rows.push_back(piece.dTo);
        }
        return VectorOut(std::move(rows), {list.GetSize(), 3});
      }, py::arg("edge"), "(k, 3) float64: piece edge, from fraction, to fraction, in order from the from node")
      .def("is_split", [](const CPySplitIndex& s, std::int64_t llEdge) {
        return s.m_pIndex->IsSplit(IndexedEdge(*s.m_pIndex, llEdge));
      }, py::arg("edge"))
      .def("fold_trace", [](const CPySplitIndex& s, py::handle edges, const std::string& rule) {
        return FoldEdges(*s.m_pIndex, Int32sIn(edges, "edges", true), FoldRuleIn(rule));
      }, py::arg("edges"), py::arg("rule") = "all",
         "Visited edges on the edges before mapping: (originals int32, the share of each visited float64)")
      .def(py::pickle(&SplitState, &SplitFromState))
      .def("__repr__", [](const CPySplitIndex& s) {
        std::int32_t split = 0;
        for (std::int32_t i = 0; i < s.m_pIndex->GetEdgeNum(); ++i) split += s.m_pIndex->IsSplit(i + 1) ? 1 : 0;
        return Format("<kelvane.SplitIndex %d edges, %d split>", s.m_pIndex->GetEdgeNum(), split);
      });

  py::class_<CPyFlagMapping>(m, "FlagMapping", py::module_local(), "What map_flags did")
      .def_readonly("nodes", &CPyFlagMapping::m_nodes, "(F + G,) int32: the node each flag sits on")
      .def_readonly("new_nodes", &CPyFlagMapping::m_newNodes, "int32: the nodes the mapping added")
      .def_readonly("pieces", &CPyFlagMapping::m_pieces, "(K, 2) int32: piece edge, original edge")
      .def_readonly("split", &CPyFlagMapping::m_split, "the SplitIndex of this mapping")
      .def("__repr__", [](const CPyFlagMapping& r) {
        return Format("<kelvane.FlagMapping %zd flags, %zd new nodes, %zd pieces>", py::len(r.m_nodes),
                      py::len(r.m_newNodes), py::len(r.m_pieces));
      });

  py::class_<CPyNetwork, PNetwork> network(m.attr("Network"));
  network
      .def("check_flags", &CheckFlagsOf, py::arg("edge_flags") = py::none(),
           py::arg("node_flags") = py::none(),
           "What map_flags would make of each flag (edge flags first, then node flags), as FlagChecks")
      .def("map_flags", &MapFlags, py::arg("edge_flags") = py::none(),
           py::arg("node_flags") = py::none(),
           "Splits the flagged edges so that every flag sits on a node; views of this network then refuse");
}

}  // namespace kelvane_py
