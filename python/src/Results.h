// Results.h - the C++ objects behind the result classes Python sees. Each
// holds what the library returned, as it returned it; the arrays Python reads
// are views of these vectors (the object is their base) or, where the library
// answers in records, fresh columns copied out of them.
#ifndef KELVANE_PYTHON_RESULTS_H
#define KELVANE_PYTHON_RESULTS_H

#include <pybind11/pybind11.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kelvane/tools/Components.h"
#include "kelvane/tools/Isolation.h"
#include "kelvane/tools/NetworkCheck.h"
#include "kelvane/tools/ServiceArea.h"
#include "kelvane/tools/ShortestPath.h"
#include "kelvane/tools/SplitIndex.h"
#include "kelvane/tools/TraceAnalysis.h"

namespace py = pybind11;

namespace kelvane_py {

// The toolkit's names, as the module uses them throughout.
using namespace kelvane::tools;  // NOLINT(google-build-using-namespace)

struct CPyTraceResult {
  NTraceResult_stru m_result;  // nodes and edges reached, ascending
};

struct CPyPath {
  NPath_stru m_path;  // the route, step by step
};

struct CPyServiceArea {
  NServiceArea_stru m_area;  // nodes with their costs, edges with their shares
  double m_dLimit = 0.0;     // the cost limit it was found within
  // Folded areas only: every stretch reached, by original edge and along it.
  // Unfolded, each edge's shares say it all and the stretches are made from them.
  std::vector<kelvane::tools::NAreaStretch_stru> m_stretches;
  bool m_bFolded = false;    // made by fold
  bool m_bTo = false;        // costs to the starts, not from them
};

struct CPyComponents {
  NComponents_stru m_comps;                            // the parts and who is in which
  NComponentKind m_eKind = NComponentKind::Weak;       // weak or strong
};

struct CPyIsolation {
  NIsolationResult_stru m_result;  // devices to close and what they cut off
};

// A split index, shared by every object that folds with it; it never changes
// once built, so it needs no lock.
struct CPySplitIndex {
  std::shared_ptr<const CSplitIndex> m_pIndex;  // the index itself, shared by every fold
  // What it was built from, so that a pickle can build it again on the
  // network unpickled with it: the mapping's flags in and out, its pieces.
  py::object m_network;                         // the Network mapped
  std::shared_ptr<const CSmartArray<NET_FLGstruct>> m_pIn;
  std::shared_ptr<const CSmartArray<NET_FLGstruct>> m_pOut;
  std::shared_ptr<const CSmartArray<TEMPEDGE_MAP_EDGE>> m_pPieces;
};

// What map_flags returns: arrays made once, and the split index.
struct CPyFlagMapping {
  py::object m_nodes;     // (F + G,) int32: the node each flag sits on
  py::object m_newNodes;  // int32: nodes the mapping added
  py::object m_pieces;    // (K, 2) int32: piece edge, original edge
  py::object m_split;     // the SplitIndex of this mapping
};

struct CPyFlagCheck {
  std::int32_t m_lIndex = 0;  // the flag's index in the list checked
  NFlagCheck_stru m_check;    // the library's answer
};

// "all" or "any" as the fold rule; ValueError otherwise.
NFoldRule FoldRuleIn(const std::string& strRule);

// visited folded onto the edges before mapping: (originals int32, fractions
// float64). IndexError when a number names no edge of the indexed network.
py::tuple FoldEdges(const CSplitIndex& split, const std::vector<std::int32_t>& visited, NFoldRule eRule);

// The name of a flag status ("fine", "pos_out_of_range", ...).
const char* FlagStatusName(NFlagStatus eStatus);

}  // namespace kelvane_py

#endif  // KELVANE_PYTHON_RESULTS_H
