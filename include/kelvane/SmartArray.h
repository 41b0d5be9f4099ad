// SmartArray.h - the growable array in which lists cross the library boundary.
// Elements are plain records stored byte for byte in a CSmartFile that the
// array owns. Host and library each compile these members, so the field layout
// and the rule that all byte arithmetic uses the stored element size are part of
// the interface.
#ifndef KELVANE_SMARTARRAY_H
#define KELVANE_SMARTARRAY_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>
#include <type_traits>

#include "kelvane/SmartFile.h"

template <class T>
class CSmartArray {
 public:
  CSmartArray()
      : m_pFile(new CSmartFile(1, sizeof(T), 0, 0)),
        m_lElemSize(static_cast<std::int32_t>(sizeof(T))),
        m_lCount(0) {}

  // Copies the source's elements, in one block, into storage of its own.
  // Throws std::bad_alloc. The source's storage position ends past its last
  // element, as after Copy: the position is the storage's scratch state, which
  // every access moves (reads included), so a const source may move it.
  CSmartArray(const CSmartArray& src)
      : m_pFile(CopyStorage(src)), m_lElemSize(src.m_lElemSize), m_lCount(src.m_lCount) {}

  ~CSmartArray() {
    delete m_pFile;
    m_pFile = nullptr;
  }

  CSmartArray& operator=(const CSmartArray& src) {
    Copy(src);
    return *this;
  }

  std::int32_t GetSize() const { return m_lCount; }

  // Returns -1 for a negative count and changes nothing; otherwise 1. Elements
  // gained read as zero bytes.
  std::int32_t SetSize(std::int32_t n) {
    if (n < 0) return -1;
    m_pFile->SetLength(ByteCount(n, m_lElemSize));
    m_lCount = n;
    return 1;
  }

  void RemoveAll() { SetSize(0); }

  // Appends a copy of the element and returns its index.
  std::int32_t Add(const T& elem) {
    if (m_lCount == (std::numeric_limits<std::int32_t>::max)()) throw std::length_error("CSmartArray is full");
    if (m_lElemSize == static_cast<std::int32_t>(sizeof(T))) {
      m_pFile->Append(&elem, sizeof(T));  // constant size: one store for small T
    } else {
      m_pFile->Seek(static_cast<long>(ByteCount(m_lCount, m_lElemSize)), 0);
      m_pFile->Write(&elem, static_cast<unsigned int>(m_lElemSize));
    }
    return m_lCount++;
  }

  // Element i by value; a default-constructed T for an index outside
  // 0 to GetSize() - 1, with nothing read.
  T GetAt(std::int32_t i) const {
    T elem = T();
    if (i < 0 || i >= m_lCount) return elem;
    const unsigned char* pData = m_pFile->Data();
    if (m_lElemSize == static_cast<std::int32_t>(sizeof(T))) {
      std::memcpy(static_cast<void*>(&elem), pData + static_cast<std::size_t>(i) * sizeof(T), sizeof(T));
    } else {
      std::size_t nCopy = static_cast<std::size_t>(m_lElemSize) < sizeof(T) ? m_lElemSize : sizeof(T);
      std::memcpy(static_cast<void*>(&elem), pData + ByteCount(i, m_lElemSize), nCopy);
    }
    return elem;
  }

  // A pointer to element i inside the storage, or null out of range. Valid
  // until the array next changes its size.
  T* GetPtr(std::int32_t i) {
    if (i < 0 || i >= m_lCount) return nullptr;
    m_pFile->Seek(static_cast<long>(ByteCount(i, m_lElemSize)), 0);
    return static_cast<T*>(m_pFile->ReadMemPtr(static_cast<unsigned int>(m_lElemSize)));
  }

  // Makes this array a copy of src. Returns -1, changing nothing, when src is
  // this array. The new storage is complete before the old one goes, so an
  // allocation failure leaves the array as it was.
  std::int32_t Copy(const CSmartArray& src) {
    if (&src == this) return -1;
    CSmartFile* pFile = CopyStorage(src);
    delete m_pFile;
    m_pFile = pFile;
    m_lElemSize = src.m_lElemSize;
    m_lCount = src.m_lCount;
    return 1;
  }

  // Exchanges the contents of two arrays without allocating.
  void Swap(CSmartArray& other) {
    CSmartFile* pFile = m_pFile;
    m_pFile = other.m_pFile;
    other.m_pFile = pFile;
    std::int32_t l = m_lElemSize;
    m_lElemSize = other.m_lElemSize;
    other.m_lElemSize = l;
    l = m_lCount;
    m_lCount = other.m_lCount;
    other.m_lCount = l;
  }

  // --- Bulk access for the library's own list-filling loops: room for n more
  // elements, written in place, then committed. Same result as n calls of Add.
  T* ReserveBack(std::int32_t n) {
    if (n < 0 || n > (std::numeric_limits<std::int32_t>::max)() - m_lCount) {
      throw std::length_error("CSmartArray is full");
    }
    return reinterpret_cast<T*>(m_pFile->Reserve(ByteCount(n, m_lElemSize)));
  }
  void CommitBack(std::int32_t n) {  // REQUIRES: 0 <= n <= what the last ReserveBack made room for
    if (n <= 0) return;
    m_pFile->Commit(ByteCount(n, m_lElemSize));
    m_lCount += n;
  }

 private:
  static_assert(std::is_trivially_copyable<T>::value, "CSmartArray stores elements byte for byte");

  static std::size_t ByteCount(std::int32_t n, std::int32_t nSize) {
    return static_cast<std::size_t>(n) * static_cast<std::size_t>(nSize);
  }

  // New storage holding src's elements, positioned past them, as is src's.
  // Throws std::bad_alloc, with nothing allocated.
  static CSmartFile* CopyStorage(const CSmartArray& src) {
    std::size_t nBytes = ByteCount(src.m_lCount, src.m_lElemSize);
    CSmartFile* pFile = new CSmartFile(1, static_cast<unsigned int>(src.m_lElemSize), 0, 0);
    try {
      pFile->SetLength(nBytes);
    } catch (...) {
      delete pFile;
      throw;
    }
    if (nBytes != 0) std::memcpy(pFile->Data(), src.m_pFile->Data(), nBytes);
    pFile->Seek(static_cast<long>(nBytes), 0);
    src.m_pFile->Seek(static_cast<long>(nBytes), 0);
    return pFile;
  }

  CSmartFile* m_pFile;       // owned; one storage from construction to destruction
  std::int32_t m_lElemSize;  // bytes per element, sizeof(T) for every array of T
  std::int32_t m_lCount;     // elements stored
};

#endif  // KELVANE_SMARTARRAY_H
