// Common.h - what the binding files share: the network as Python holds it,
// the leases that keep its tables from being replaced under a numpy view, and
// the turning of the library's refusals into Python exceptions.
#ifndef KELVANE_PYTHON_COMMON_H
#define KELVANE_PYTHON_COMMON_H

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <shared_mutex>
#include <string>
#include <utility>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "kelvane/tools/Finding.h"

namespace py = pybind11;

namespace kelvane_py {

// The toolkit's names, as the module uses them throughout.
using namespace kelvane::tools;  // NOLINT(google-build-using-namespace)

using namespace kelvane::tools;  // the toolkit the bindings expose

constexpr bool kFirstGeneration = KELVANE_FIRST_GENERATION != 0;

// What kelvane.BUILD says.
inline const char* BuildName() { return kFirstGeneration ? "first generation" : "current"; }

class CNoding;

// One network as Python holds it. Python objects (the Network, its views,
// the leases of its tables) share it by shared_ptr, so it lives as long as
// the last of them.
class CPyNetwork : public std::enable_shared_from_this<CPyNetwork> {
 public:
  CLocalNetwork m_net;                  // the tables themselves
  // Analyses and checks share it; whatever writes the network (flag mapping,
  // trace marks, and the core queries, which write recorders) holds it alone.
  // Taken only with the GIL released, so a waiting thread never blocks Python.
  mutable std::shared_mutex m_lock;
  std::atomic<std::int32_t> m_lLeases{0};  // numpy arrays viewing the tables right now
  // Flag mapping is replacing the tables; no lease may start meanwhile. Read
  // and written with the GIL held only.
  bool m_bReplacing = false;
  std::int32_t m_lNodes = 0;            // the counts as Python last saw them (GIL held), for
  std::int32_t m_lEdges = 0;            // properties read while flag mapping may be running
  std::vector<std::pair<std::string, std::int32_t>> m_columns;  // weight columns by name, with their ids, in order
  std::shared_ptr<CNoding> m_pNoding;   // the noding the network was made from; null for from_arrays
  std::int32_t m_lReverseFld = -1;      // the reverse cost column view() prices against edges with; -1: none
};

using PNetwork = std::shared_ptr<CPyNetwork>;

// The base of every zero-copy table view: while it lives, the network lives,
// and flag mapping refuses to free the tables it points into.
class CTableLease {
 public:
  explicit CTableLease(PNetwork pNet) : m_pNet(std::move(pNet)) { ++m_pNet->m_lLeases; }
  ~CTableLease() { --m_pNet->m_lLeases; }
  CTableLease(const CTableLease&) = delete;
  CTableLease& operator=(const CTableLease&) = delete;

 private:
  PNetwork m_pNet;  // kept alive by the view
};

// printf into a std::string, for the sentences of refusals.
std::string Format(const char* pszFormat, ...) __attribute__((format(printf, 1, 2)));

// --- Refusals ---
// The library's sentence as the exception its kind calls for: IndexError for
// a node or edge number out of range, MemoryError when memory ran out,
// ValueError for everything else.
[[noreturn]] void RaiseFinding(const NFinding_stru& err);
// A builder's refusal (network or view): about the tables given, so a
// ValueError even when it names an edge; MemoryError when memory ran out.
[[noreturn]] void RaiseBuilder(const NFinding_stru& err);
[[noreturn]] void RaiseValue(const std::string& strText);
[[noreturn]] void RaiseIndex(const std::string& strText);

// Why a node or edge number is out of range for net, empty when it is not;
// asked before the core is (the core answers 0 without saying why). Needs no
// GIL, so it runs under the network's lock.
std::string NodRangeError(const CLocalNetwork& net, std::int64_t llNod);
std::string EdgeRangeError(const CLocalNetwork& net, std::int64_t llEdge);

// The network checker's findings (at most lMax above 0), then every state
// byte that is no state (edges 0, 1, 2; nodes 0, 1): the core reads those as
// open, the host surely meant something else. Needs no GIL.
std::vector<NFinding_stru> CheckAll(const CLocalNetwork& net, std::int32_t lMax);

// The first few findings in one sentence, for a refusal.
std::string FindingsText(const std::vector<NFinding_stru>& faults);

// numpy's dtype of a weight record (kelvane.WEIGHT_DTYPE).
py::dtype WeightDtype();

// The id of a weight column given by name or id (ValueError for an unknown name).
std::int32_t ColumnId(const CPyNetwork& p, py::handle column);

// The Noding a network was made from, or None.
py::object NodingObject(const PNetwork& p);

// --- Registration, one per binding file ---
void BindResults(py::module_& m);
void BindNetwork(py::module_& m);
void BindFlags(py::module_& m);
void BindView(py::module_& m);
void BindNoding(py::module_& m);

}  // namespace kelvane_py

#endif  // KELVANE_PYTHON_COMMON_H
