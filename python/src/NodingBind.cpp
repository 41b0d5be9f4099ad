// NodingBind.cpp - networks from lines: the toolkit's line noding (NodeLines)
// on numpy coordinates, the Noding it returns, and Network.from_lines, which
// gives each edge its share of its line's cost.
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ArrayIn.h"
#include "ArrayOut.h"
#include "Common.h"
#include "NetworkInput.h"
#include "kelvane/tools/LineNoding.h"
#include "kelvane/tools/LineSnap.h"

namespace kelvane_py {

// What NodeLines made of the host's lines; never changed once made, so
// networks and Python share it without a lock.
class CNoding {
 public:
  NNodedLines_stru m_lines;    // nodes, edges and their points
  std::int64_t m_llLineNum = 0;  // lines given
  bool m_bLonLat = false;        // the coordinates are degrees
  // Made on the first snap, with the GIL held (which guards its making);
  // never changed after, so snaps share it without the GIL.
  std::unique_ptr<CLineSnapper> m_pSnapper;
};

namespace {

using PNoding = std::shared_ptr<CNoding>;

// Lines as NodeLines takes them: every point, and where each line starts.
struct NLinesIn_stru {
  std::vector<NLinePoint_stru> pts;
  std::vector<std::int64_t> starts;  // lines + 1 entries
};

// Coordinates as (k, 2) or (k, 3) rows; z, when given, plays no part.
CMatrixIn XyIn(py::handle obj, const char* pszName) {
  py::object xy = py::reinterpret_borrow<py::object>(obj);
  const py::array arr = py::array::ensure(obj);
  if (arr && arr.ndim() == 2 && arr.shape(1) == 3) xy = arr[py::make_tuple(py::slice(0, arr.shape(0), 1), py::slice(0, 2, 1))];
  if (arr && arr.ndim() == 2 && arr.shape(1) != 2 && arr.shape(1) != 3) {
    RaiseValue(Format("%s must be of shape (n, 2) or (n, 3) (x, y, z: z dropped), not (%zd, %zd)", pszName,
                      arr.shape(0), arr.shape(1)));
  }
  return CMatrixIn(xy, pszName, 2);
}

void AppendPoints(const CMatrixIn& xy, NLinesIn_stru& in) {
  const std::vector<double> x = xy.FloatColumn(0);
  const std::vector<double> y = xy.FloatColumn(1);
  for (std::size_t i = 0; i < x.size(); ++i) {
    NLinePoint_stru p;
    p.dX = x[i];
    p.dY = y[i];
    in.pts.push_back(p);
  }
}

// lines: a sequence of (k, 2) arrays, or with offsets a flat (P, 2) array
// whose line l is rows offsets[l] to offsets[l + 1] - 1.
NLinesIn_stru LinesIn(py::handle lines, py::handle offsets) {
  NLinesIn_stru in;
  if (!offsets.is_none()) {
    const CMatrixIn xy = XyIn(lines, "lines");
    AppendPoints(xy, in);
    const std::vector<std::int32_t> off = Int32sIn(offsets, "offsets");
    if (off.empty()) RaiseValue("offsets must have one entry more than there are lines");
    for (std::size_t l = 0; l < off.size(); ++l) {
      if (off[l] < 0 || off[l] > xy.Rows() || (l > 0 && off[l] < off[l - 1])) {
        RaiseValue(Format("offsets[%zu] = %d: offsets must rise from 0 to the %zd points", l, off[l], xy.Rows()));
      }
      in.starts.push_back(off[l]);
    }
    return in;
  }
  if (py::isinstance<py::array>(lines) && py::reinterpret_borrow<py::array>(lines).ndim() == 2) {
    RaiseValue("lines is one (P, 2) array of points: pass offsets (where each line starts, then P) to cut it "
               "into lines, or give a list of (k, 2) arrays");
  }
  if (PyUnicode_Check(lines.ptr()) || PySequence_Check(lines.ptr()) == 0) {
    RaiseValue("lines must be a sequence of (k, 2) arrays, or a (P, 2) array with offsets");
  }
  const py::sequence seq = py::reinterpret_borrow<py::sequence>(lines);
  in.starts.push_back(0);
  for (std::size_t l = 0; l < seq.size(); ++l) {
    const std::string name = Format("lines[%zu]", l);
    const CMatrixIn xy = XyIn(seq[l], name.c_str());
    AppendPoints(xy, in);
    in.starts.push_back(static_cast<std::int64_t>(in.pts.size()));
  }
  return in;
}

// Each point's nearest place on the edges: (edges int32, fractions float64,
// distances float64), one per row of xy (an (x, y) pair is one row).
py::tuple SnapOf(CNoding& n, py::handle xy) {
  py::array_t<double, py::array::c_style | py::array::forcecast> a =
      py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(xy);
  if (!a) RaiseValue("xy must be an (x, y) pair or (k, 2) rows of numbers");
  if (a.ndim() == 1) a = a.reshape(std::vector<py::ssize_t>{1, a.shape(0)});
  if (a.ndim() != 2 || (a.shape(1) != 2 && a.shape(1) != 3)) {
    RaiseValue("xy must be an (x, y) pair or rows of shape (k, 2) or (k, 3) (z dropped)");
  }
  NFinding_stru err;
  if (!n.m_pSnapper) {
    std::unique_ptr<CLineSnapper> pSnap(new CLineSnapper());
    if (pSnap->Build(n.m_lines, n.m_bLonLat, &err) != 1) RaiseBuilder(err);
    n.m_pSnapper = std::move(pSnap);
  }
  const std::size_t rows = static_cast<std::size_t>(a.shape(0));
  const std::size_t cols = static_cast<std::size_t>(a.shape(1));
  const double* p = a.data();
  std::vector<std::int32_t> edges(rows);
  std::vector<double> fracs(rows);
  std::vector<double> dists(rows);
  std::size_t bad = rows;
  {
    py::gil_scoped_release nogil;
    NLinePlace_stru at;
    for (std::size_t i = 0; i < rows && bad == rows; ++i) {
      if (n.m_pSnapper->Snap(p[i * cols], p[i * cols + 1], at, &err) != 1) {
        bad = i;
        break;
      }
      edges[i] = at.lEdge;
      fracs[i] = at.dFrac;
      dists[i] = at.dDist;
    }
  }
  if (bad != rows) RaiseValue(Format("xy row %zu: %s", bad, err.strText.c_str()));
  return py::make_tuple(ReadOnly(VectorOut(std::move(edges))), ReadOnly(VectorOut(std::move(fracs))),
                        ReadOnly(VectorOut(std::move(dists))));
}

PNoding NodeLinesOf(py::handle lines, double dTolerance, bool bLonLat, py::handle offsets) {
  const NLinesIn_stru in = LinesIn(lines, offsets);
  PNoding p = std::make_shared<CNoding>();
  p->m_llLineNum = static_cast<std::int64_t>(in.starts.size()) - 1;
  p->m_bLonLat = bLonLat;
  NNodingOptions_stru opt;
  opt.dTolerance = dTolerance;
  opt.bLonLat = bLonLat;
  NFinding_stru err;
  std::int32_t status = 0;
  {
    py::gil_scoped_release nogil;
    status = NodeLines(in.pts.data(), in.starts.data(), p->m_llLineNum, opt, p->m_lines, &err);
  }
  if (status != 1) RaiseBuilder(err);
  return p;
}

// One value per line, as a float column; NaN refused.
std::vector<double> PerLine(py::handle obj, const char* pszName, std::int64_t llLines) {
  std::vector<double> v = FloatsIn(obj, pszName);
  CheckLength(v.size(), pszName, static_cast<std::size_t>(llLines), "lines");
  RefuseNaN(v, pszName, "line");
  return v;
}

// Each edge's share of its line: by ground length, or by the stretch of the
// line it covers when the line's length is not a usable number.
std::vector<double> Shares(const NNodedLines_stru& lines, std::int64_t llLines) {
  std::vector<double> total(static_cast<std::size_t>(llLines), 0.0);
  for (const NNodedEdge_stru& e : lines.edges) total[static_cast<std::size_t>(e.lLine)] += e.dLength;
  std::vector<double> share;
  share.reserve(lines.edges.size());
  for (const NNodedEdge_stru& e : lines.edges) {
    const double t = total[static_cast<std::size_t>(e.lLine)];
    share.push_back(std::isfinite(t) && t > 0.0 ? e.dLength / t : e.dTo - e.dFrom);
  }
  return share;
}

PNetwork FromLines(py::handle lines, double dTolerance, bool bLonLat, py::handle cost, py::handle reverseCost,
                   py::handle oneway, py::handle offsets) {
  PNoding noding = NodeLinesOf(lines, dTolerance, bLonLat, offsets);
  const NNodedLines_stru& nl = noding->m_lines;
  const std::int64_t llLines = noding->m_llLineNum;
  NNetworkInput_stru in;
  in.lNodNum = static_cast<std::int32_t>(nl.nods.size());
  const std::vector<double> share = Shares(nl, llLines);
  const std::vector<double> lineCost = cost.is_none() ? std::vector<double>() : PerLine(cost, "cost", llLines);
  in.cost = std::vector<double>();
  if (!reverseCost.is_none()) in.reverseCost = std::vector<double>();
  const std::vector<double> lineReverse =
      reverseCost.is_none() ? std::vector<double>() : PerLine(reverseCost, "reverse_cost", llLines);
  std::vector<char> lineWay;
  if (!oneway.is_none()) {
    lineWay = Int8sIn(oneway, "oneway");
    CheckLength(lineWay.size(), "oneway", static_cast<std::size_t>(llLines), "lines");
    for (std::size_t l = 0; l < lineWay.size(); ++l) {
      if (lineWay[l] < -1 || lineWay[l] > 1) {
        RaiseValue(Format("oneway of line %zu is %d, not 1 (along), -1 (against) or 0 (both ways)", l,
                          static_cast<int>(lineWay[l])));
      }
    }
    in.upState = std::vector<char>();
    in.downState = std::vector<char>();
  }
  for (std::size_t e = 0; e < nl.edges.size(); ++e) {
    const NNodedEdge_stru& ed = nl.edges[e];
    const std::size_t l = static_cast<std::size_t>(ed.lLine);
    in.from.push_back(ed.lFromNod);
    in.to.push_back(ed.lToNod);
    in.cost->push_back(lineCost.empty() ? ed.dLength : lineCost[l] * share[e]);
    if (in.reverseCost) in.reverseCost->push_back(lineReverse[l] * share[e]);
    if (!lineWay.empty()) {
      // An edge runs the way its line does. Going along it needs the down
      // state open, going against it the up state.
      in.upState->push_back(lineWay[l] == 1 ? 1 : 0);
      in.downState->push_back(lineWay[l] == -1 ? 1 : 0);
    }
  }
  PNetwork p = BuildNetwork(in);
  p->m_pNoding = std::move(noding);
  return p;
}

template <class Field>
py::array_t<Field> EdgeColumn(const CNoding& n, Field NNodedEdge_stru::*pField) {
  py::array_t<Field> out(static_cast<py::ssize_t>(n.m_lines.edges.size()));
  Field* p = out.mutable_data();
  for (std::size_t i = 0; i < n.m_lines.edges.size(); ++i) p[i] = n.m_lines.edges[i].*pField;
  return out;
}

// (k, 2) float64 view of k points starting at pts, kept alive by base.
py::array PointsView(const NLinePoint_stru* pts, std::size_t k, py::handle base) {
  static_assert(sizeof(NLinePoint_stru) == 2 * sizeof(double), "a point is two doubles");
  return py::array_t<double>({static_cast<py::ssize_t>(k), static_cast<py::ssize_t>(2)},
                             {static_cast<py::ssize_t>(sizeof(NLinePoint_stru)), static_cast<py::ssize_t>(sizeof(double))},
                             k == 0 ? nullptr : &pts->dX, base);
}

}  // namespace

py::object NodingObject(const PNetwork& p) {
  if (!p->m_pNoding) return py::none();
  return py::cast(p->m_pNoding);
}

void BindNoding(py::module_& m) {
  py::class_<CNoding, PNoding>(m, "Noding", py::module_local(), "The nodes and edges line noding made of lines")
      .def_property_readonly("node_count", [](const CNoding& n) { return n.m_lines.nods.size(); }, "nodes, numbered 1 to node_count")
      .def_property_readonly("edge_count", [](const CNoding& n) { return n.m_lines.edges.size(); }, "edges, numbered 1 to edge_count")
      .def_property_readonly("dropped", [](const CNoding& n) { return n.m_lines.llDropped; },
                             "lines left out: shorter than the tolerance, or of fewer than 2 points")
      .def_property_readonly("node_xy", [](py::handle self) {
        const CNoding& n = self.cast<const CNoding&>();
        return PointsView(n.m_lines.nods.data(), n.m_lines.nods.size(), self);
      }, "(N, 2) float64: node n's coordinates at row n - 1")
      .def_property_readonly("from_nodes", [](const CNoding& n) { return EdgeColumn(n, &NNodedEdge_stru::lFromNod); }, "(E,) int32: each edge's from node")
      .def_property_readonly("to_nodes", [](const CNoding& n) { return EdgeColumn(n, &NNodedEdge_stru::lToNod); }, "(E,) int32: each edge's to node")
      .def_property_readonly("edge_line", [](const CNoding& n) { return EdgeColumn(n, &NNodedEdge_stru::lLine); },
                             "(E,) int32: 0-based index of each edge's line")
      .def_property_readonly("edge_from_fraction", [](const CNoding& n) { return EdgeColumn(n, &NNodedEdge_stru::dFrom); },
                             "where each edge starts along its line, as a fraction of the line's planar length")
      .def_property_readonly("edge_to_fraction", [](const CNoding& n) { return EdgeColumn(n, &NNodedEdge_stru::dTo); }, "where each edge ends along its line, as a fraction of the line's planar length")
      .def_property_readonly("edge_length", [](const CNoding& n) { return EdgeColumn(n, &NNodedEdge_stru::dLength); },
                             "ground length (metres for lon/lat)")
      .def("edge_points", [](py::handle self, std::int64_t llEdge) {
        const CNoding& n = self.cast<const CNoding&>();
        const std::int64_t count = static_cast<std::int64_t>(n.m_lines.edges.size());
        if (llEdge < 1 || llEdge > count) {
          RaiseIndex(Format("edge %lld is not an edge (1 to %lld)", static_cast<long long>(llEdge),
                            static_cast<long long>(count)));
        }
        const NNodedEdge_stru& e = n.m_lines.edges[static_cast<std::size_t>(llEdge - 1)];
        return PointsView(n.m_lines.pts.data() + e.llFirstPt, static_cast<std::size_t>(e.lPtNum), self);
      }, py::arg("edge"), "(k, 2) float64: the edge's points, from its from node to its to node")
      .def("snap", &SnapOf, py::arg("xy"),
           "Each point's nearest place on the edges: (edges int32, fractions along them from their from "
           "nodes float64, planar distances float64); of two edges equally near, the lower numbered")
      .def("__repr__", [](const CNoding& n) {
        return Format("<kelvane.Noding %zu nodes, %zu edges, %lld lines dropped>", n.m_lines.nods.size(),
                      n.m_lines.edges.size(), static_cast<long long>(n.m_lines.llDropped));
      });

  m.def("node_lines", &NodeLinesOf, py::arg("lines"), py::arg("tolerance") = 0.0, py::arg("lonlat") = false,
        py::kw_only(), py::arg("offsets") = py::none(),
        "Nodes and edges of lines (a sequence of (k, 2) arrays, or a (P, 2) array with offsets), sharing a "
        "node wherever they share a vertex after snapping to tolerance");

  py::class_<CPyNetwork, PNetwork> network(m.attr("Network"));
  network.def_static("from_lines", &FromLines, py::arg("lines"), py::kw_only(), py::arg("tolerance") = 0.0,
                     py::arg("lonlat") = false, py::arg("cost") = py::none(), py::arg("reverse_cost") = py::none(),
                     py::arg("oneway") = py::none(), py::arg("offsets") = py::none(),
                     "A network from lines: per line cost (default: ground length) and reverse_cost, shared "
                     "among its edges by length, and oneway (1 along only, -1 against only, 0 both ways)");
}

}  // namespace kelvane_py
