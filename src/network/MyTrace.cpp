// MyTrace.cpp - the recorder of blocked elements (current build).
#include "kelvane/MyTrace.h"

#if !KELVANE_FIRST_GENERATION

#include <cstring>
#include <new>

#include "network/Bits.h"
#include "network/NetworkInt.h"
#include "network/TableAlloc.h"

namespace {

std::size_t BitBytes(std::int32_t lBits) {
  return lBits <= 0 ? 0 : (static_cast<std::size_t>(lBits) + 7) / 8;
}

// A copy of the recorded bits, or null when there are none; throws when the
// copy cannot be allocated.
unsigned char* CopyBits(const unsigned char* pBits, std::int32_t lBits) {
  if (pBits == nullptr) return nullptr;
  std::size_t nBytes = BitBytes(lBits);
  unsigned char* pCopy = kelvane::NewTable<unsigned char>(nBytes);
  if (pCopy == nullptr) throw std::bad_alloc();
  if (nBytes != 0) std::memcpy(pCopy, pBits, nBytes);
  return pCopy;
}

}  // namespace

CMyTrace::CMyTrace() : m_lElemNum(0), m_pBits(nullptr), m_lBitNum(0) {}

CMyTrace::CMyTrace(const CMyTrace& src)
    : m_lElemNum(src.m_lElemNum), m_pBits(CopyBits(src.m_pBits, src.m_lBitNum)), m_lBitNum(src.m_lBitNum) {}

CMyTrace::~CMyTrace() { kelvane::ReleaseTable(m_pBits); }

std::int32_t CMyTrace::operator=(const CMyTrace& src) {
  if (&src == this) return 1;
  unsigned char* pBits = nullptr;
  try {
    pBits = CopyBits(src.m_pBits, src.m_lBitNum);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  kelvane::ReleaseTable(m_pBits);
  m_pBits = pBits;
  m_lBitNum = src.m_lBitNum;
  m_lElemNum = src.m_lElemNum;
  return 1;
}

std::int32_t CMyTrace::StartTrace() {
  kelvane::ReleaseTable(m_pBits);
  m_lBitNum = 0;
  std::int32_t lBits = m_lElemNum < 0 ? 0 : m_lElemNum;
  m_pBits = kelvane::NewTable<unsigned char>(BitBytes(lBits));
  if (m_pBits == nullptr) return 0;
  m_lBitNum = lBits;
  return 1;
}

std::int32_t CMyTrace::Trace(std::int32_t& lElem) {
  return kelvane::MarkBit(m_pBits, m_lBitNum < m_lElemNum ? m_lBitNum : m_lElemNum, kelvane::AbsEdge(lElem));
}

char CMyTrace::AskHasTrace(std::int32_t lElem) const {
  return kelvane::TestBit(m_pBits, m_lBitNum, kelvane::AbsEdge(lElem));
}

std::int32_t CMyTrace::FetchTraceResult(CSmartArray<std::int32_t>& elems) const {
  kelvane::ListBits(m_pBits, m_lBitNum, true, elems);
  return elems.GetSize();
}

void CMyTrace::Swap(CMyTrace& other) {
  std::int32_t l = m_lElemNum;
  m_lElemNum = other.m_lElemNum;
  other.m_lElemNum = l;
  unsigned char* p = m_pBits;
  m_pBits = other.m_pBits;
  other.m_pBits = p;
  l = m_lBitNum;
  m_lBitNum = other.m_lBitNum;
  other.m_lBitNum = l;
}

#endif  // !KELVANE_FIRST_GENERATION
