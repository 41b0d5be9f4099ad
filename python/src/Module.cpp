// Module.cpp - the extension module: its constants, the classes of every
// binding file, and the refusals the library's sentences become.
//
// The same sources make kelvane._kelvane (current build) and
// kelvane.gen1._kelvane (first generation), and both may be loaded in one
// process. Every class is registered module-local, so the two modules'
// classes, whose C++ names are the same, never meet in pybind11's registry.
#include <cstdarg>
#include <cstdio>
#include <string>

#include "Common.h"

namespace kelvane_py {

// printf-style, so that the compiler checks every format against its
// arguments.
std::string Format(const char* pszFormat, ...) {  // NOLINT(cert-dcl50-cpp)
  char buf[512];
  va_list args;
  va_start(args, pszFormat);
  const int n = std::vsnprintf(buf, sizeof buf, pszFormat, args);
  va_end(args);
  if (n < 0) return std::string();
  if (static_cast<std::size_t>(n) < sizeof buf) return std::string(buf, static_cast<std::size_t>(n));
  std::string s(static_cast<std::size_t>(n) + 1, '\0');  // a long sentence: format again into room for it
  va_start(args, pszFormat);
  (void)std::vsnprintf(s.data(), s.size(), pszFormat, args);
  va_end(args);
  s.resize(static_cast<std::size_t>(n));
  return s;
}

void RaiseValue(const std::string& strText) { throw py::value_error(strText); }

void RaiseIndex(const std::string& strText) { throw py::index_error(strText); }

namespace {

// The toolkit reports a failed allocation as a finding of the network ("out
// of memory building the view"), having cleaned up after itself.
void RaiseIfMemory(const NFinding_stru& err) {
  if (err.eCode == NFindingCode::NoMemory) {
    PyErr_SetString(PyExc_MemoryError, err.strText.c_str());
    throw py::error_already_set();
  }
}

}  // namespace

void RaiseBuilder(const NFinding_stru& err) {
  RaiseIfMemory(err);
  RaiseValue(err.strText);
}

void RaiseFinding(const NFinding_stru& err) {
  RaiseIfMemory(err);
  if (err.eKind == NElemKind::Node || err.eKind == NElemKind::Edge) RaiseIndex(err.strText);
  RaiseValue(err.strText);
}

std::string NodRangeError(const CLocalNetwork& net, std::int64_t llNod) {
  if (llNod >= 1 && llNod <= net.m_lNodNum) return std::string();
  return Format("node %lld is not a node (1 to %d)", static_cast<long long>(llNod), net.m_lNodNum);
}

std::string EdgeRangeError(const CLocalNetwork& net, std::int64_t llEdge) {
  if (llEdge >= 1 && llEdge <= net.m_lEdgeNum) return std::string();
  return Format("edge %lld is not an edge (1 to %d)", static_cast<long long>(llEdge), net.m_lEdgeNum);
}

namespace {
PyObject* g_pWeightDtype = nullptr;  // made once at import, kept for the life of the process
}  // namespace

py::dtype WeightDtype() { return py::reinterpret_borrow<py::dtype>(g_pWeightDtype); }

}  // namespace kelvane_py

PYBIND11_MODULE(_kelvane, m) {
  using namespace kelvane_py;
  m.doc() = kFirstGeneration ? "Kelvane networks and analyses (first generation build)"
                             : "Kelvane networks and analyses (current build)";
  m.attr("BUILD") = BuildName();
  // A weight record as the tables hold it: a type byte, then the value, packed.
  py::list names;
  names.append("type");
  names.append("value");
  py::list formats;
  formats.append("i1");
  formats.append("<f8");
  py::list offsets;
  offsets.append(0);
  offsets.append(1);
  py::dtype weight(names, formats, offsets, 9);
  g_pWeightDtype = weight.inc_ref().ptr();
  m.attr("WEIGHT_DTYPE") = weight;
  BindResults(m);
  BindNetwork(m);
  BindFlags(m);
  BindView(m);
  BindNoding(m);
}
