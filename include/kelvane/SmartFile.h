// SmartFile.h - the growable byte storage behind CSmartArray.
// A sequence of bytes with a current position. Capacity grows geometrically, so
// appending at the end is amortised constant time, and cutting the length keeps
// the capacity, so a list emptied and refilled at every step of a traversal
// allocates nothing after its first fill.
#ifndef KELVANE_SMARTFILE_H
#define KELVANE_SMARTFILE_H

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

class CSmartFile {
 public:
  // The container always passes (1, element size, 0, 0). The element size is
  // kept only as a hint for the first allocation; the other arguments select
  // nothing in this storage.
  CSmartFile(char /*cMode*/, unsigned int nElemSize, long /*lReserved*/, unsigned int /*nFlags*/)
      : m_pData(nullptr), m_nLength(0), m_nCapacity(0), m_nPos(0), m_nElemHint(nElemSize) {}

  virtual ~CSmartFile() { std::free(m_pData); }

  // Positions the storage; only origin 0 (from the start) is used. Returns the
  // new position, or -1 when the position is negative and nothing moved.
  long Seek(long lPos, unsigned int /*nFrom*/) {
    if (lPos < 0) return -1;
    m_nPos = static_cast<std::size_t>(lPos);
    return lPos;
  }

  void SeekToBegin() { m_nPos = 0; }

  // Copies up to nCount bytes from the position; returns how many were there.
  unsigned int Read(void* pDest, unsigned int nCount) {
    std::size_t nAvail = m_nPos < m_nLength ? m_nLength - m_nPos : 0;
    std::size_t n = nCount < nAvail ? nCount : nAvail;
    if (n != 0) std::memcpy(pDest, m_pData + m_nPos, n);
    m_nPos += n;
    return static_cast<unsigned int>(n);
  }

  // Copies nCount bytes to the position, extending the storage past its end
  // (a gap between the end and the position reads as zero bytes).
  void Write(const void* pSrc, unsigned int nCount) {
    std::size_t nEnd = m_nPos + nCount;
    if (nEnd > m_nCapacity) Grow(nEnd);
    if (m_nPos > m_nLength) std::memset(m_pData + m_nLength, 0, m_nPos - m_nLength);
    if (nCount != 0) std::memcpy(m_pData + m_nPos, pSrc, nCount);
    m_nPos = nEnd;
    if (nEnd > m_nLength) m_nLength = nEnd;
  }

  // Makes the storage exactly nLength bytes long. Bytes gained read as zero;
  // the capacity never shrinks.
  void SetLength(unsigned long nLength) {
    if (nLength > m_nCapacity) Grow(nLength);
    if (nLength > m_nLength) std::memset(m_pData + m_nLength, 0, nLength - m_nLength);
    m_nLength = nLength;
  }

  // A pointer to nCount stored bytes at the position, in place; null when
  // fewer than nCount bytes are stored there.
  void* ReadMemPtr(unsigned int nCount) {
    if (m_nPos > m_nLength || m_nLength - m_nPos < nCount) return nullptr;
    return m_pData + m_nPos;
  }

  std::size_t GetLength() const { return m_nLength; }

  // --- Fast paths for the container. They keep the observable result of the
  // positioned calls above (the position ends where the call would leave it)
  // without the general bookkeeping. ---

  // Appends nCount bytes at the end: Seek(length) then Write(nCount).
  void Append(const void* pSrc, std::size_t nCount) {
    std::size_t nEnd = m_nLength + nCount;
    if (nEnd > m_nCapacity) Grow(nEnd);
    std::memcpy(m_pData + m_nLength, pSrc, nCount);
    m_nLength = nEnd;
    m_nPos = nEnd;
  }

  // Makes room for nCount more bytes at the end and returns where they go;
  // the caller writes them and then calls Commit with the bytes it used.
  unsigned char* Reserve(std::size_t nCount) {
    std::size_t nEnd = m_nLength + nCount;
    if (nEnd > m_nCapacity) Grow(nEnd);
    return m_pData + m_nLength;
  }
  void Commit(std::size_t nCount) {
    assert(nCount <= m_nCapacity - m_nLength);  // never more than Reserve made room for
    m_nLength += nCount;
    m_nPos = m_nLength;
  }

  unsigned char* Data() { return m_pData; }
  const unsigned char* Data() const { return m_pData; }

 private:
  CSmartFile(const CSmartFile&);             // the container never copies a storage
  CSmartFile& operator=(const CSmartFile&);

  void Grow(std::size_t nNeed) {
    std::size_t nCap = m_nCapacity != 0 ? m_nCapacity : (m_nElemHint != 0 ? m_nElemHint * 8 : 64);
    while (nCap < nNeed) {
      if (nCap > static_cast<std::size_t>(-1) / 2) {
        nCap = nNeed;
        break;
      }
      nCap *= 2;
    }
    void* p = std::realloc(m_pData, nCap);
    if (p == nullptr) throw std::bad_alloc();
    m_pData = static_cast<unsigned char*>(p);
    m_nCapacity = nCap;
  }

  unsigned char* m_pData;   // malloc'd, m_nCapacity bytes; null until the first write
  std::size_t m_nLength;    // bytes stored
  std::size_t m_nCapacity;  // bytes allocated
  std::size_t m_nPos;       // current position, may stand past the end only after Seek
  std::size_t m_nElemHint;  // element size given at construction
};

#endif  // KELVANE_SMARTFILE_H
