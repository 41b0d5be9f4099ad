// ResultsBind.cpp - the result classes: findings, flag checks and what the
// analyses return, each with a repr that says what it holds, and the folds
// back onto the edges a host's users know.
#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "ArrayOut.h"
#include "Common.h"
#include "Results.h"

namespace kelvane_py {

namespace {

const char* KindName(NElemKind eKind) {
  switch (eKind) {
    case NElemKind::Node:
      return "node";
    case NElemKind::Edge:
      return "edge";
    case NElemKind::Flag:
      return "flag";
    case NElemKind::Network:
      break;
  }
  return "network";
}

// One column of a list of records, copied out.
template <class Rec, class Field, class Out = Field>
py::array_t<Out> Column(const std::vector<Rec>& recs, Field Rec::*pField) {
  py::array_t<Out> out(static_cast<py::ssize_t>(recs.size()));
  Out* p = out.mutable_data();
  for (std::size_t i = 0; i < recs.size(); ++i) p[i] = static_cast<Out>(recs[i].*pField);
  return ReadOnly(out);
}

std::string CostText(double d) { return std::isinf(d) ? std::string("inf") : Format("%g", d); }

// The stretches of an area: the fold's, or each edge's from its shares (from
// its from node up to its share, and back from its to node).
py::tuple Stretches(const CPyServiceArea& a) {
  std::vector<kelvane::tools::NAreaStretch_stru> list = a.m_stretches;
  if (!a.m_bFolded) {
    for (const NAreaEdge_stru& e : a.m_area.edges) {
      const double f = std::min(std::max(e.dFromFrac, 0.0), 1.0);
      const double t = std::min(std::max(e.dToFrac, 0.0), 1.0);
      if (f + t >= 1.0) {
        list.push_back({e.lEdge, 0.0, 1.0});
        continue;
      }
      if (f > 0.0) list.push_back({e.lEdge, 0.0, f});
      if (t > 0.0) list.push_back({e.lEdge, 1.0 - t, 1.0});
    }
  }
  return py::make_tuple(Column(list, &kelvane::tools::NAreaStretch_stru::lEdge),
                        Column(list, &kelvane::tools::NAreaStretch_stru::dFrom),
                        Column(list, &kelvane::tools::NAreaStretch_stru::dTo));
}

}  // namespace

NFoldRule FoldRuleIn(const std::string& strRule) {
  if (strRule == "all") return NFoldRule::All;
  if (strRule == "any") return NFoldRule::Any;
  RaiseValue(Format("rule must be 'all' or 'any', not '%s'", strRule.c_str()));
}

py::tuple FoldEdges(const CSplitIndex& split, const std::vector<std::int32_t>& visited, NFoldRule eRule) {
  std::vector<std::int32_t> originals;
  std::vector<double> fractions;
  NFinding_stru err;
  if (split.FoldTraceResult(visited, eRule, originals, &fractions, &err) != 1) RaiseFinding(err);
  return py::make_tuple(VectorOut(std::move(originals)), VectorOut(std::move(fractions)));
}

const char* FlagStatusName(NFlagStatus eStatus) {
  switch (eStatus) {
    case NFlagStatus::Fine:
      return "fine";
    case NFlagStatus::OtherKind:
      return "other_kind";
    case NFlagStatus::NodOutOfRange:
      return "node_out_of_range";
    case NFlagStatus::EdgeOutOfRange:
      return "edge_out_of_range";
    case NFlagStatus::EdgeSplit:
      return "edge_split";
    case NFlagStatus::EdgeEndsBroken:
      return "edge_ends_broken";
    case NFlagStatus::PosNaN:
      return "pos_nan";
    case NFlagStatus::PosOutOfRange:
      return "pos_out_of_range";
    case NFlagStatus::PosRepeated:
      return "pos_repeated";
    case NFlagStatus::PosAtEnd:
      return "pos_at_end";
  }
  return "unknown";
}

void BindResults(py::module_& m) {
  py::class_<NFinding_stru>(m, "Finding", py::module_local(), "One fault CheckNetwork found, in a sentence")
      .def_property_readonly("kind", [](const NFinding_stru& f) { return KindName(f.eKind); },
                             "'network', 'node', 'edge' or 'flag'")
      .def_property_readonly("element", [](const NFinding_stru& f) { return f.lElem; },
                             "node or edge number, flag index; 0 for the network")
      .def_property_readonly("text", [](const NFinding_stru& f) { return f.strText; }, "the whole sentence")
      .def("__repr__", [](const NFinding_stru& f) { return "<kelvane.Finding " + f.strText + ">"; })
      .def("__str__", [](const NFinding_stru& f) { return f.strText; });

  py::class_<CPyFlagCheck>(m, "FlagCheck", py::module_local(), "What flag mapping will make of one flag")
      .def_property_readonly("index", [](const CPyFlagCheck& c) { return c.m_lIndex; }, "the flag's index in the list checked")
      .def_property_readonly("status", [](const CPyFlagCheck& c) { return FlagStatusName(c.m_check.eStatus); }, "what mapping makes of the flag: 'fine', 'pos_out_of_range', ...")
      .def_property_readonly("other", [](const CPyFlagCheck& c) { return c.m_check.lOther; },
                             "pos_repeated: the index of the earlier flag at that position; else -1")
      .def_property_readonly("text", [](const CPyFlagCheck& c) { return c.m_check.strText; }, "the whole sentence")
      .def("__repr__", [](const CPyFlagCheck& c) {
        return Format("<kelvane.FlagCheck %d %s%s%s>", c.m_lIndex, FlagStatusName(c.m_check.eStatus),
                      c.m_check.strText.empty() ? "" : ": ", c.m_check.strText.c_str());
      });

  py::class_<CPyTraceResult>(m, "TraceResult", py::module_local(), "The nodes and edges a trace reached")
      .def_property_readonly("nodes", [](py::handle self) { return VectorView(self.cast<CPyTraceResult&>().m_result.nods, self); },
                             "int32, ascending")
      .def_property_readonly("edges", [](py::handle self) { return VectorView(self.cast<CPyTraceResult&>().m_result.edges, self); },
                             "int32, ascending")
      .def("fold", [](const CPyTraceResult& r, const CPySplitIndex& split, const std::string& rule) {
        return FoldEdges(*split.m_pIndex, r.m_result.edges, FoldRuleIn(rule));
      }, py::arg("split"), py::arg("rule") = "all",
         "The edges before flag mapping: (original edges int32, the share of each reached float64)")
      .def(py::pickle(
          [](const CPyTraceResult& r) { return py::make_tuple(BytesOut(r.m_result.nods), BytesOut(r.m_result.edges)); },
          [](const py::tuple& t) {
            CPyTraceResult r;
            r.m_result.nods = BytesIn<std::int32_t>(t[0]);
            r.m_result.edges = BytesIn<std::int32_t>(t[1]);
            return r;
          }))
      .def("__repr__", [](const CPyTraceResult& r) {
        return Format("<kelvane.TraceResult %zu nodes, %zu edges>", r.m_result.nods.size(), r.m_result.edges.size());
      });

  py::class_<CPyPath>(m, "Path", py::module_local(), "A least-cost route, edge after edge")
      .def_property_readonly("source", [](const CPyPath& p) { return p.m_path.lFrom; }, "the start node")
      .def_property_readonly("target", [](const CPyPath& p) { return p.m_path.lTo; }, "the end node")
      .def_property_readonly("found", [](const CPyPath& p) { return p.m_path.bFound; }, "whether the target can be reached")
      .def_property_readonly("cost", [](const CPyPath& p) { return p.m_path.dCost; }, "inf when not found")
      .def_property_readonly("edges", [](const CPyPath& p) { return Column(p.m_path.steps, &NPathStep_stru::lEdge); }, "edge numbers, int32")
      .def_property_readonly("nodes", [](const CPyPath& p) { return Column(p.m_path.steps, &NPathStep_stru::lNod); },
                             "the node each step leads to")
      .def_property_readonly("along", [](const CPyPath& p) { return Column(p.m_path.steps, &NPathStep_stru::bAlong); },
                             "each step taken from its edge's from node to its to node")
      .def_property_readonly("costs", [](const CPyPath& p) { return Column(p.m_path.steps, &NPathStep_stru::dCost); },
                             "cost from the source to the end of each step")
      .def("fold", [](const CPyPath& p, const CPySplitIndex& split) {
        std::vector<NFoldedStep_stru> steps;
        NFinding_stru err;
        if (FoldPath(*split.m_pIndex, p.m_path, steps, &err) != 1) RaiseFinding(err);
        return py::make_tuple(Column(steps, &NFoldedStep_stru::lEdge), Column(steps, &NFoldedStep_stru::dFrom),
                              Column(steps, &NFoldedStep_stru::dTo), Column(steps, &NFoldedStep_stru::dCost));
      }, py::arg("split"),
         "The path on the edges before flag mapping: (edges, from_fraction, to_fraction, cost at the end)")
      .def("__len__", [](const CPyPath& p) { return p.m_path.steps.size(); })
      .def(py::pickle(
          [](const CPyPath& p) {
            return py::make_tuple(p.m_path.lFrom, p.m_path.lTo, p.m_path.bFound, p.m_path.dCost, BytesOut(p.m_path.steps));
          },
          [](const py::tuple& t) {
            CPyPath p;
            p.m_path.lFrom = t[0].cast<std::int32_t>();
            p.m_path.lTo = t[1].cast<std::int32_t>();
            p.m_path.bFound = t[2].cast<bool>();
            p.m_path.dCost = t[3].cast<double>();
            p.m_path.steps = BytesIn<NPathStep_stru>(t[4]);
            return p;
          }))
      .def("__repr__", [](const CPyPath& p) {
        if (!p.m_path.bFound) return Format("<kelvane.Path %d -> %d: not found>", p.m_path.lFrom, p.m_path.lTo);
        return Format("<kelvane.Path %d -> %d: cost %s over %zu edges>", p.m_path.lFrom, p.m_path.lTo,
                      CostText(p.m_path.dCost).c_str(), p.m_path.steps.size());
      });

  py::class_<CPyServiceArea>(m, "ServiceArea", py::module_local(), "Everything within a cost of the starts")
      .def_property_readonly("limit", [](const CPyServiceArea& a) { return a.m_dLimit; }, "the cost limit the area was found within")
      .def_property_readonly("nodes", [](py::handle self) { return VectorView(self.cast<CPyServiceArea&>().m_area.nods, self); },
                             "int32, ascending")
      .def_property_readonly("costs", [](py::handle self) { return VectorView(self.cast<CPyServiceArea&>().m_area.costs, self); },
                             "each node's least cost from the starts (to them, for service_area_to)")
      .def_property_readonly("reached_by", [](py::handle self) { return VectorView(self.cast<CPyServiceArea&>().m_area.reachedBy, self); },
                             "per node of nodes: the edge it is reached by from its nearest start (to the "
                             "starts: the first edge of its way there); 0 for a start")
      .def_property_readonly("to_starts", [](const CPyServiceArea& a) { return a.m_bTo; },
                             "whether the costs are to the starts (service_area_to)")
      .def_property_readonly("edges", [](const CPyServiceArea& a) { return Column(a.m_area.edges, &NAreaEdge_stru::lEdge); }, "edge numbers, int32")
      .def_property_readonly("from_fraction", [](const CPyServiceArea& a) { return Column(a.m_area.edges, &NAreaEdge_stru::dFromFrac); },
                             "the share of each edge reached from its from node")
      .def_property_readonly("to_fraction", [](const CPyServiceArea& a) { return Column(a.m_area.edges, &NAreaEdge_stru::dToFrac); },
                             "the share of each edge reached from its to node")
      .def("fold", [](const CPyServiceArea& a, const CPySplitIndex& split) {
        CPyServiceArea folded;
        folded.m_dLimit = a.m_dLimit;
        folded.m_area.nods = a.m_area.nods;
        folded.m_area.costs = a.m_area.costs;
        folded.m_bFolded = true;
        folded.m_bTo = a.m_bTo;
        // The edges a node is reached by, as the edges before mapping name them.
        folded.m_area.reachedBy.reserve(a.m_area.reachedBy.size());
        for (std::int32_t e : a.m_area.reachedBy) {
          const std::int32_t o = e == 0 ? 0 : split.m_pIndex->GetOriginal(e);
          if (e != 0 && o == 0) {
            RaiseIndex(Format("edge %d of the area is not an edge of the indexed network (1 to %d)", e,
                              split.m_pIndex->GetEdgeNum()));
          }
          folded.m_area.reachedBy.push_back(o);
        }
        NFinding_stru err;
        if (FoldServiceArea(*split.m_pIndex, a.m_area, folded.m_area.edges, &folded.m_stretches, &err) != 1) {
          RaiseFinding(err);
        }
        return folded;
      }, py::arg("split"), "The same area with its edges on the edges before flag mapping")
      .def_property_readonly("stretches", &Stretches,
                             "(edges int32, from float64, to float64): every stretch reached, as fractions "
                             "along its edge from its from node; after fold, on the original edges, "
                             "including stretches that touch neither end (around a flag mid-edge)")
      .def(py::pickle(
          [](const CPyServiceArea& a) {
            return py::make_tuple(a.m_dLimit, BytesOut(a.m_area.nods), BytesOut(a.m_area.costs), BytesOut(a.m_area.edges),
                                  BytesOut(a.m_stretches), a.m_bFolded, BytesOut(a.m_area.reachedBy), a.m_bTo);
          },
          [](const py::tuple& t) {
            if (t.size() != 6 && t.size() != 8) RaiseValue("not the pickled state of a ServiceArea");
            CPyServiceArea a;
            a.m_dLimit = t[0].cast<double>();
            a.m_area.nods = BytesIn<std::int32_t>(t[1]);
            a.m_area.costs = BytesIn<double>(t[2]);
            a.m_area.edges = BytesIn<NAreaEdge_stru>(t[3]);
            a.m_stretches = BytesIn<kelvane::tools::NAreaStretch_stru>(t[4]);
            a.m_bFolded = t[5].cast<bool>();
            if (t.size() == 8) {  // older pickles hold no tree
              a.m_area.reachedBy = BytesIn<std::int32_t>(t[6]);
              a.m_bTo = t[7].cast<bool>();
            }
            return a;
          }))
      .def("__repr__", [](const CPyServiceArea& a) {
        return Format("<kelvane.ServiceArea %zu nodes, %zu edges within %s %s the starts>", a.m_area.nods.size(),
                      a.m_area.edges.size(), CostText(a.m_dLimit).c_str(), a.m_bTo ? "to" : "of");
      });

  py::class_<CPyComponents>(m, "Components", py::module_local(), "The parts of a network that hang together")
      .def_property_readonly("kind", [](const CPyComponents& c) { return c.m_eKind == NComponentKind::Weak ? "weak" : "strong"; }, "the kind asked for")
      .def_property_readonly("count", [](const CPyComponents& c) { return c.m_comps.lCount; }, "how many components")
      .def_property_readonly("node_component", [](py::handle self) { return VectorView(self.cast<CPyComponents&>().m_comps.nodComp, self); },
                             "entry n - 1: node n's component (1 to count); 0 for a closed node or barrier")
      .def_property_readonly("edge_component", [](py::handle self) { return VectorView(self.cast<CPyComponents&>().m_comps.edgeComp, self); },
                             "entry e - 1: edge e's component; 0 for none")
      .def_property_readonly("sizes", [](py::handle self) { return VectorView(self.cast<CPyComponents&>().m_comps.sizes, self); },
                             "entry c - 1: the nodes in component c")
      .def(py::pickle(
          [](const CPyComponents& c) {
            return py::make_tuple(c.m_eKind == NComponentKind::Weak, c.m_comps.lCount, BytesOut(c.m_comps.nodComp),
                                  BytesOut(c.m_comps.edgeComp), BytesOut(c.m_comps.sizes));
          },
          [](const py::tuple& t) {
            CPyComponents c;
            c.m_eKind = t[0].cast<bool>() ? NComponentKind::Weak : NComponentKind::Strong;
            c.m_comps.lCount = t[1].cast<std::int32_t>();
            c.m_comps.nodComp = BytesIn<std::int32_t>(t[2]);
            c.m_comps.edgeComp = BytesIn<std::int32_t>(t[3]);
            c.m_comps.sizes = BytesIn<std::int32_t>(t[4]);
            return c;
          }))
      .def("__repr__", [](const CPyComponents& c) {
        std::int32_t largest = 0;
        for (std::int32_t s : c.m_comps.sizes) largest = s > largest ? s : largest;
        return Format("<kelvane.Components %d %s, largest %d nodes>", c.m_comps.lCount,
                      c.m_eKind == NComponentKind::Weak ? "weak" : "strong", largest);
      });

  py::class_<CPyIsolation>(m, "Isolation", py::module_local(), "The devices that cut an element off, and what loses supply")
      .def_property_readonly("devices", [](py::handle self) { return VectorView(self.cast<CPyIsolation&>().m_result.devices, self); },
                             "the devices to close, ascending")
      .def_property_readonly("nodes", [](py::handle self) { return VectorView(self.cast<CPyIsolation&>().m_result.isolated.nods, self); },
                             "nodes cut off from every source")
      .def_property_readonly("edges", [](py::handle self) { return VectorView(self.cast<CPyIsolation&>().m_result.isolated.edges, self); },
                             "edges cut off from every source")
      .def_property_readonly("source_inside", [](const CPyIsolation& i) { return i.m_result.bSourceInside; },
                             "a source lies in the element's own part: nothing can cut it off")
      .def(py::pickle(
          [](const CPyIsolation& i) {
            return py::make_tuple(BytesOut(i.m_result.devices), BytesOut(i.m_result.isolated.nods),
                                  BytesOut(i.m_result.isolated.edges), i.m_result.bSourceInside);
          },
          [](const py::tuple& t) {
            CPyIsolation i;
            i.m_result.devices = BytesIn<std::int32_t>(t[0]);
            i.m_result.isolated.nods = BytesIn<std::int32_t>(t[1]);
            i.m_result.isolated.edges = BytesIn<std::int32_t>(t[2]);
            i.m_result.bSourceInside = t[3].cast<bool>();
            return i;
          }))
      .def("__repr__", [](const CPyIsolation& i) {
        if (i.m_result.bSourceInside) return std::string("<kelvane.Isolation: a source lies inside, nothing cut off>");
        return Format("<kelvane.Isolation %zu devices, %zu nodes, %zu edges cut off>", i.m_result.devices.size(),
                      i.m_result.isolated.nods.size(), i.m_result.isolated.edges.size());
      });
}

}  // namespace kelvane_py
