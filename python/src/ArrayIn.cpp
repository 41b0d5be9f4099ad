// ArrayIn.cpp - numpy input read through its strides, whatever its layout or
// alignment (a field of a packed structured array is unaligned), one dtype
// at a time, so that a 2,000,000-entry column converts in a plain loop.
#include "ArrayIn.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <type_traits>

#include "Common.h"

namespace kelvane_py {

namespace {

constexpr std::int64_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();
constexpr bool kLittleEndian = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;

std::string DtypeName(const py::dtype& dt) { return py::str(static_cast<const py::handle&>(dt)).cast<std::string>(); }
std::string ShapeText(const py::array& arr) { return py::str(arr.attr("shape")).cast<std::string>(); }

// numpy's array of obj, numeric, in native byte order with a float width the
// loops below know (float16 and long double go through numpy's own cast).
py::array AsNumeric(py::handle obj, const char* pszName, bool bBool = false) {
  // A pandas column of a nullable dtype (Int64, boolean) becomes numpy's
  // object array; read it as its plain dtype when it has no missing values.
  py::object src = py::reinterpret_borrow<py::object>(obj);
  if (!py::isinstance<py::array>(obj) && py::hasattr(obj, "to_numpy") && py::hasattr(obj, "dtype") &&
      py::hasattr(obj.attr("dtype"), "numpy_dtype")) {
    if (py::hasattr(obj, "isna") && obj.attr("isna")().attr("any")().cast<bool>()) {
      RaiseValue(Format("%s has missing values (NA): fill or drop them first", pszName));
    }
    src = obj.attr("to_numpy")(py::arg("dtype") = obj.attr("dtype").attr("numpy_dtype"));
  }
  py::array arr = py::array::ensure(src);  // null, the error cleared, when numpy cannot
  if (!arr) RaiseValue(Format("%s: not an array of numbers", pszName));
  if (bBool && arr.dtype().kind() == 'b') arr = arr.attr("astype")("int8");  // a mask: True is 1
  const py::dtype dt = arr.dtype();
  const char kind = dt.kind();
  if (kind != 'i' && kind != 'u' && kind != 'f') {
    RaiseValue(Format("%s must hold numbers, not %s", pszName, DtypeName(dt).c_str()));
  }
  const char order = dt.byteorder();
  const char native = kLittleEndian ? '<' : '>';
  const bool foreign = order != '=' && order != '|' && order != native;
  if (kind == 'f' && dt.itemsize() != 4 && dt.itemsize() != 8) {
    arr = arr.attr("astype")("float64");
  } else if (foreign) {
    arr = arr.attr("astype")(dt.attr("newbyteorder")("="));
  }
  return arr;
}

template <class T>
T Load(const char* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Calls fn with a value of type T when that is the array's element type.
template <class T, class Fn>
bool CallIf(char kind, py::ssize_t size, Fn& fn) {
  constexpr char kKind = std::is_floating_point<T>::value ? 'f' : (std::is_signed<T>::value ? 'i' : 'u');
  if (kind != kKind || size != static_cast<py::ssize_t>(sizeof(T))) return false;
  fn(T());
  return true;
}

// Calls fn with a value of the array's element type.
template <class Fn>
void Dispatch(const py::array& arr, Fn&& fn) {
  const char kind = arr.dtype().kind();
  const py::ssize_t size = arr.itemsize();
  if (CallIf<std::int8_t>(kind, size, fn) || CallIf<std::int16_t>(kind, size, fn) ||
      CallIf<std::int32_t>(kind, size, fn) || CallIf<std::int64_t>(kind, size, fn) ||
      CallIf<std::uint8_t>(kind, size, fn) || CallIf<std::uint16_t>(kind, size, fn) ||
      CallIf<std::uint32_t>(kind, size, fn) || CallIf<std::uint64_t>(kind, size, fn) ||
      CallIf<float>(kind, size, fn) || CallIf<double>(kind, size, fn)) {
    return;
  }
  RaiseValue(Format("dtype %s cannot be read", DtypeName(arr.dtype()).c_str()));
}

// A signed integer of any width as 64 bits. int8 entries are numbers, not
// characters, whatever the type's name.
template <class T>
std::int64_t Widen(T v) {
  return static_cast<std::int64_t>(v);  // NOLINT(bugprone-signed-char-misuse,cert-str34-c)
}

// Whether v lies in lo to hi (hi >= 0), without a comparison the compiler
// finds always true for narrow types.
template <class T>
bool InRange(T v, std::int64_t lo, std::int64_t hi) {
  if constexpr (std::is_floating_point<T>::value) {
    return v >= static_cast<T>(lo) && v <= static_cast<T>(hi);
  } else if constexpr (std::is_signed<T>::value) {
    const std::int64_t w = Widen(v);
    return w >= lo && w <= hi;
  } else {
    const std::uint64_t w = v;
    return w <= static_cast<std::uint64_t>(hi);
  }
}

template <class T>
std::string ValueText(T v) {
  if constexpr (std::is_floating_point<T>::value) {
    return Format("%.17g", static_cast<double>(v));
  } else {
    return std::to_string(v);
  }
}

enum class NShape { List, ScalarOrList, Scalar };

// A 1-D array (or, as allowed, a 0-d one standing for one entry): its data,
// length and stride.
struct NVector_stru {
  py::array arr;                // holds the data while it is read
  const char* pData = nullptr;  // the first entry
  py::ssize_t lNum = 0;         // entries
  py::ssize_t lStride = 0;      // bytes from one entry to the next; 0 for a scalar
};

NVector_stru VectorIn(py::handle obj, const char* pszName, NShape shape, bool bBool = false) {
  NVector_stru v;
  v.arr = AsNumeric(obj, pszName, bBool);
  const py::ssize_t ndim = v.arr.ndim();
  if (ndim == 0 && shape != NShape::List) {
    v.lNum = 1;
  } else if (ndim == 1 && shape != NShape::Scalar) {
    v.lNum = v.arr.shape(0);
    v.lStride = v.arr.strides(0);
  } else if (shape == NShape::Scalar) {
    RaiseValue(Format("%s must be a single number, not of shape %s", pszName, ShapeText(v.arr).c_str()));
  } else {
    RaiseValue(Format("%s must be one-dimensional, not of shape %s", pszName, ShapeText(v.arr).c_str()));
  }
  v.pData = static_cast<const char*>(v.arr.data());
  return v;
}

// Integers of an integer dtype, each in lo to hi.
template <class Out>
std::vector<Out> IntegersIn(py::handle obj, const char* pszName, NShape shape, std::int64_t lo, std::int64_t hi,
                            bool bBool = false, bool bIndex = false) {
  const NVector_stru v = VectorIn(obj, pszName, shape, bBool);
  std::vector<Out> out;
  if (v.lNum == 0) return out;  // [] is float64 to numpy: an empty list of anything will do
  const char kind = v.arr.dtype().kind();
  if (kind != 'i' && kind != 'u') {
    RaiseValue(Format("%s must hold integers, not %s", pszName, DtypeName(v.arr.dtype()).c_str()));
  }
  out.resize(static_cast<std::size_t>(v.lNum));
  Dispatch(v.arr, [&](auto tag) {
    using T = decltype(tag);
    for (py::ssize_t i = 0; i < v.lNum; ++i) {
      const T x = Load<T>(v.pData + i * v.lStride);
      if (!InRange(x, lo, hi)) {
        if (bIndex) RaiseIndex(Format("%s[%zd] = %s is not a node or edge number", pszName, i, ValueText(x).c_str()));
        RaiseValue(Format("%s[%zd] = %s is outside the range %lld to %lld", pszName, i, ValueText(x).c_str(),
                          static_cast<long long>(lo), static_cast<long long>(hi)));
      }
      if constexpr (std::is_signed<T>::value) {
        out[static_cast<std::size_t>(i)] = static_cast<Out>(Widen(x));
      } else {
        out[static_cast<std::size_t>(i)] = static_cast<Out>(x);
      }
    }
  });
  return out;
}

}  // namespace

std::vector<std::int32_t> Int32sIn(py::handle obj, const char* pszName, bool bScalar) {
  if (PyTuple_Check(obj.ptr()) && PyTuple_GET_SIZE(obj.ptr()) == 0) return {};
  if (bScalar && PyLong_CheckExact(obj.ptr())) return {Int32In(obj, pszName)};
  return IntegersIn<std::int32_t>(obj, pszName, bScalar ? NShape::ScalarOrList : NShape::List, kInt32Min, kInt32Max);
}

std::vector<std::int32_t> ElemNumsIn(py::handle obj, const char* pszName) {
  if (PyTuple_Check(obj.ptr()) && PyTuple_GET_SIZE(obj.ptr()) == 0) return {};
  if (PyLong_CheckExact(obj.ptr())) return {ElemNumIn(obj, pszName)};
  return IntegersIn<std::int32_t>(obj, pszName, NShape::ScalarOrList, kInt32Min, kInt32Max, false, true);
}

std::int32_t ElemNumIn(py::handle obj, const char* pszName) {
  if (PyLong_CheckExact(obj.ptr())) {
    int overflow = 0;
    const long long v = PyLong_AsLongLongAndOverflow(obj.ptr(), &overflow);
    if (overflow == 0 && v >= kInt32Min && v <= kInt32Max) return static_cast<std::int32_t>(v);
    RaiseIndex(Format("%s %s is not a node or edge number", pszName, py::str(obj).cast<std::string>().c_str()));
  }
  return IntegersIn<std::int32_t>(obj, pszName, NShape::Scalar, kInt32Min, kInt32Max, false, true)[0];
}

std::int32_t Int32In(py::handle obj, const char* pszName) {
  if (PyLong_CheckExact(obj.ptr())) {
    int overflow = 0;
    const long long v = PyLong_AsLongLongAndOverflow(obj.ptr(), &overflow);
    if (overflow == 0 && v >= kInt32Min && v <= kInt32Max) return static_cast<std::int32_t>(v);
    RaiseValue(Format("%s = %s is outside the range %lld to %lld", pszName, py::str(obj).cast<std::string>().c_str(),
                      static_cast<long long>(kInt32Min), static_cast<long long>(kInt32Max)));
  }
  const std::vector<std::int32_t> v = IntegersIn<std::int32_t>(obj, pszName, NShape::Scalar, kInt32Min, kInt32Max);
  return v[0];
}

std::vector<double> FloatsIn(py::handle obj, const char* pszName, bool bScalar) {
  const NVector_stru v = VectorIn(obj, pszName, bScalar ? NShape::ScalarOrList : NShape::List);
  std::vector<double> out(static_cast<std::size_t>(v.lNum));
  if (v.lNum == 0) return out;
  Dispatch(v.arr, [&](auto tag) {
    using T = decltype(tag);
    for (py::ssize_t i = 0; i < v.lNum; ++i) {
      out[static_cast<std::size_t>(i)] = static_cast<double>(Load<T>(v.pData + i * v.lStride));
    }
  });
  return out;
}

std::vector<char> Int8sIn(py::handle obj, const char* pszName) {
  return IntegersIn<char>(obj, pszName, NShape::List, std::numeric_limits<std::int8_t>::min(),
                          std::numeric_limits<std::int8_t>::max(), true);
}

CMatrixIn::CMatrixIn(py::handle obj, const char* pszName, py::ssize_t nCols)
    : m_arr(AsNumeric(obj, pszName)), m_pszName(pszName), m_lRows(0) {
  if (m_arr.ndim() != 2 || m_arr.shape(1) != nCols) {
    RaiseValue(Format("%s must be of shape (n, %zd), not %s", pszName, nCols, ShapeText(m_arr).c_str()));
  }
  m_lRows = m_arr.shape(0);
}

std::vector<std::int32_t> CMatrixIn::IntColumn(py::ssize_t col) const {
  std::vector<std::int32_t> out(static_cast<std::size_t>(m_lRows));
  if (m_lRows == 0) return out;
  const char* pData = static_cast<const char*>(m_arr.data()) + col * m_arr.strides(1);
  const py::ssize_t stride = m_arr.strides(0);
  Dispatch(m_arr, [&](auto tag) {
    using T = decltype(tag);
    for (py::ssize_t i = 0; i < m_lRows; ++i) {
      const T x = Load<T>(pData + i * stride);
      bool whole = true;
      if constexpr (std::is_floating_point<T>::value) whole = std::floor(x) == x;  // false for NaN
      if (!whole || !InRange(x, kInt32Min, kInt32Max)) {
        RaiseValue(Format("%s[%zd, %zd] = %s is not a whole number in the 32-bit range", m_pszName, i, col,
                          ValueText(x).c_str()));
      }
      if constexpr (std::is_floating_point<T>::value) {
        out[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(x);
      } else {
        out[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(Widen(x));
      }
    }
  });
  return out;
}

std::vector<double> CMatrixIn::FloatColumn(py::ssize_t col) const {
  std::vector<double> out(static_cast<std::size_t>(m_lRows));
  if (m_lRows == 0) return out;
  const char* pData = static_cast<const char*>(m_arr.data()) + col * m_arr.strides(1);
  const py::ssize_t stride = m_arr.strides(0);
  Dispatch(m_arr, [&](auto tag) {
    using T = decltype(tag);
    for (py::ssize_t i = 0; i < m_lRows; ++i) out[static_cast<std::size_t>(i)] = static_cast<double>(Load<T>(pData + i * stride));
  });
  return out;
}

void CheckLength(std::size_t n, const char* pszName, std::size_t nRef, const char* pszRef) {
  if (n != nRef) RaiseValue(Format("%s has %zu entries, %s %zu", pszName, n, pszRef, nRef));
}

void RefuseNaN(const std::vector<double>& values, const char* pszName, const char* pszElem) {
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (std::isnan(values[i])) RaiseValue(Format("%s of %s %zu is not a number", pszName, pszElem, i + 1));
  }
}

}  // namespace kelvane_py
