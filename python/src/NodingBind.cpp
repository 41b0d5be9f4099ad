// NodingBind.cpp - networks from lines: the toolkit's line noding, and the
// Noding it returns.
#include "Common.h"

namespace kelvane_py {

py::object NodingObject(const PNetwork& p) {
  (void)p;
  return py::none();
}

void BindNoding(py::module_& m) { (void)m; }

}  // namespace kelvane_py
