// ArrayIn.h - checked conversion of what Python passes in (numpy arrays of any
// numeric dtype and layout, sequences, scalars) into the plain vectors the
// library takes. Every refusal is a ValueError naming the argument and, for a
// bad value, the entry; nothing is ever read outside the array.
#ifndef KELVANE_PYTHON_ARRAYIN_H
#define KELVANE_PYTHON_ARRAYIN_H

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace py = pybind11;

namespace kelvane_py {

// An argument left at its default: None, or the empty tuple the keyword
// defaults use (so that the common call converts nothing).
inline bool IsAbsent(py::handle obj) {
  return obj.is_none() || (PyTuple_Check(obj.ptr()) && PyTuple_GET_SIZE(obj.ptr()) == 0);
}

// Node or edge numbers: integer dtypes only (a float node number is refused,
// even a whole one), each in the 32-bit range. bScalar lets a single number
// stand for a list of one. An empty sequence of any dtype is an empty list.
std::vector<std::int32_t> Int32sIn(py::handle obj, const char* pszName, bool bScalar = false);

// A single number given as a Python or numpy integer.
std::int32_t Int32In(py::handle obj, const char* pszName);

// Node or edge numbers handed to an analysis, one or a list: as Int32sIn, but
// a number beyond 32 bits is an IndexError, as any number naming no element.
std::vector<std::int32_t> ElemNumsIn(py::handle obj, const char* pszName);
std::int32_t ElemNumIn(py::handle obj, const char* pszName);

// Values: any integer or float dtype, converted to double. NaN is kept; the
// caller refuses it where a number is needed (RefuseNaN). bScalar lets a
// single number stand for a list of one.
std::vector<double> FloatsIn(py::handle obj, const char* pszName, bool bScalar = false);

// State and direction bytes: integer dtypes (or a bool mask, True as 1), each
// in the int8 range.
std::vector<char> Int8sIn(py::handle obj, const char* pszName);

// A two-dimensional (rows, nCols) input, read column by column. Integer
// columns of a float array must hold whole numbers in the 32-bit range, so
// that (T, 4) turn tables and (F, 2) flag tables may mix numbers and values.
class CMatrixIn {
 public:
  CMatrixIn(py::handle obj, const char* pszName, py::ssize_t nCols);
  py::ssize_t Rows() const { return m_lRows; }
  std::vector<std::int32_t> IntColumn(py::ssize_t col) const;
  std::vector<double> FloatColumn(py::ssize_t col) const;

 private:
  py::array m_arr;        // native byte order, numeric
  const char* m_pszName;  // the argument's name, for messages
  py::ssize_t m_lRows;    // rows; the column count was checked on construction
};

// "cost has 9 entries, from_nodes 10" unless the lengths agree.
void CheckLength(std::size_t n, const char* pszName, std::size_t nRef, const char* pszRef);

// "cost of edge 5 is not a number" for the first NaN (pszElem "edge" or
// "node", numbered from 1).
void RefuseNaN(const std::vector<double>& values, const char* pszName, const char* pszElem);

}  // namespace kelvane_py

#endif  // KELVANE_PYTHON_ARRAYIN_H
