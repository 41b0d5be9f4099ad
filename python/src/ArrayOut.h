// ArrayOut.h - results handed to Python as numpy arrays without copying what
// is large: a vector is moved into a capsule that the array owns, and a result
// object's own vectors are viewed with the object as the array's base.
#ifndef KELVANE_PYTHON_ARRAYOUT_H
#define KELVANE_PYTHON_ARRAYOUT_H

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "kelvane/SmartArray.h"

namespace py = pybind11;

namespace kelvane_py {

// Below this many entries a copy costs less than the capsule and its
// allocation.
constexpr std::size_t kCopyBelow = 1024;

// v as a fresh array of the given shape (1-D when none is given); the
// shape's entries multiply to v.size().
template <class T>
py::array_t<T> VectorOut(std::vector<T>&& v, std::vector<py::ssize_t> shape = {}) {
  if (shape.empty()) shape.push_back(static_cast<py::ssize_t>(v.size()));
  if (v.size() < kCopyBelow) {
    py::array_t<T> out(shape);
    if (!v.empty()) std::memcpy(out.mutable_data(), v.data(), v.size() * sizeof(T));
    return out;
  }
  std::unique_ptr<std::vector<T>> pOwned(new std::vector<T>(std::move(v)));
  py::capsule owner(pOwned.get(), [](void* p) { delete static_cast<std::vector<T>*>(p); });
  std::vector<T>* pData = pOwned.release();  // the capsule owns it now
  return py::array_t<T>(shape, pData->data(), owner);
}

// arr with numpy's writeable flag cleared: a result's arrays show what the
// analysis found, and a write through one would change the result itself.
template <class A>
A ReadOnly(A arr) {
  py::detail::array_proxy(arr.ptr())->flags &= ~py::detail::npy_api::NPY_ARRAY_WRITEABLE_;
  return arr;
}

// A read-only view of v, whose owner `base` (a Python object holding v) it
// keeps alive.
template <class T>
py::array_t<T> VectorView(const std::vector<T>& v, py::handle base) {
  return ReadOnly(py::array_t<T>({static_cast<py::ssize_t>(v.size())}, {static_cast<py::ssize_t>(sizeof(T))}, v.data(), base));
}

// A vector of plain records as bytes, and back: how results pickle (the
// same build on the same platform reads them, as pickles of numpy do).
template <class T>
py::bytes BytesOut(const std::vector<T>& v) {
  static_assert(std::is_trivially_copyable<T>::value, "records copied byte for byte");
  return py::bytes(reinterpret_cast<const char*>(v.data()), v.size() * sizeof(T));
}

template <class T>
std::vector<T> BytesIn(py::handle obj) {
  const std::string s = obj.cast<std::string>();
  if (s.size() % sizeof(T) != 0) throw py::value_error("not the pickled state of this result");
  std::vector<T> v(s.size() / sizeof(T));
  if (!v.empty()) std::memcpy(static_cast<void*>(v.data()), s.data(), s.size());
  return v;
}

// A copy of a library list.
template <class T>
py::array_t<T> SmartOut(const CSmartArray<T>& list) {
  py::array_t<T> out(static_cast<py::ssize_t>(list.GetSize()));
  T* p = out.mutable_data();
  for (std::int32_t i = 0; i < list.GetSize(); ++i) p[i] = list.GetAt(i);
  return out;
}

}  // namespace kelvane_py

#endif  // KELVANE_PYTHON_ARRAYOUT_H
