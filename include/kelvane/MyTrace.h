// MyTrace.h - the recorder of blocked elements (current build).
// The network's connectivity queries hand it every blocked node or edge they
// meet; the host reads back which ones were met. One bit per element, sized by
// StartTrace from m_lElemNum.
#ifndef KELVANE_MYTRACE_H
#define KELVANE_MYTRACE_H

#include <cstdint>

#include "kelvane/Config.h"
#include "kelvane/SmartArray.h"

#if !KELVANE_FIRST_GENERATION

class KELVANE_API CMyTrace {
 public:
  CMyTrace();
  CMyTrace(const CMyTrace& src);  // copies what was recorded; throws std::bad_alloc
  virtual ~CMyTrace();

  // Copies the element count and what was recorded. Returns 1, or 0 when the
  // copy could not be allocated and this recorder is left as it was.
  std::int32_t operator=(const CMyTrace& src);

  // Drops everything recorded and makes room for m_lElemNum elements.
  // Returns 1, or 0 when the bits could not be allocated (nothing is recorded
  // until the next successful start).
  std::int32_t StartTrace();

  // Records the element |lElem|. Returns 1 when recorded, 0 for a number
  // outside 1 to m_lElemNum (or beyond the started size), which is ignored.
  std::int32_t Trace(std::int32_t& lElem);

  // 1 when |lElem| was recorded since the last start, else 0.
  char AskHasTrace(std::int32_t lElem) const;

  // Empties elems, then appends every recorded element, ascending, each once.
  // Returns the number appended.
  std::int32_t FetchTraceResult(CSmartArray<std::int32_t>& elems) const;

  // Exchanges two recorders without allocating.
  void Swap(CMyTrace& other);

  std::int32_t m_lElemNum;  // element count, written by the owner before StartTrace

 private:
  unsigned char* m_pBits;   // one bit per element from 1 to m_lBitNum; null before a start
  std::int32_t m_lBitNum;   // elements covered by the last successful start
};

#endif  // !KELVANE_FIRST_GENERATION
#endif  // KELVANE_MYTRACE_H
