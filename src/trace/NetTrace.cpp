// NetTrace.cpp - visited marks: one bit per node and per edge while a trace is open.
//
// Element i uses bit i - 1: byte (i - 1) / 8, bit (i - 1) % 8 from the least
// significant end. Both bitsets are tables from AllocTable, so the bytes that
// really exist are known from the table itself; the public byte lengths and
// counts, which the host may rewrite, only ever narrow what is read or written.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "kelvane/LocalNetwork.h"
#include "network/NetworkInt.h"
#include "network/TableAlloc.h"

namespace kelvane {
namespace {

// A 64-bit word loaded from 8 bitset bytes holds bit k of the bitset as its
// bit k only when the low byte comes first in memory.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the fetch scan loads bitset bytes as words");

// Bits handed to the list per reservation. A multiple of 64, so every word
// stays inside one block; large enough that reserving is rare.
constexpr std::int32_t kBlockBits = 64 * 64;

// Bytes of a bitset for count elements. Worked in 64 bits: count + 7 wraps in
// 32 near the largest counts. A count of 0 or less needs no bytes.
std::int32_t TraceBytes(std::int32_t count) {
  if (count <= 0) return 0;
  return static_cast<std::int32_t>((static_cast<std::int64_t>(count) + 7) / 8);
}

// Elements 1 to this bound have a bit: the current count, cut to the trace's
// byte length and to the bytes the bitset really has.
std::int32_t TraceBound(std::int32_t count, std::int32_t bytes, const unsigned char* bits) {
  if (count <= 0 || bytes <= 0) return 0;
  std::size_t have = std::min(static_cast<std::size_t>(bytes), TableEntries(bits));
  std::size_t nBits = have * 8;  // have <= INT32_MAX, so no wrap in 64 bits
  return nBits < static_cast<std::size_t>(count) ? static_cast<std::int32_t>(nBits) : count;
}

// Sets element lElem's bit; 0 when it lies outside 1 to bound.
std::int32_t MarkBit(unsigned char* bits, std::int32_t bound, std::int32_t lElem) {
  if (lElem < 1 || lElem > bound) return 0;
  std::uint32_t k = static_cast<std::uint32_t>(lElem - 1);
  bits[k >> 3] = static_cast<unsigned char>(bits[k >> 3] | (1u << (k & 7)));
  return 1;
}

char TestBit(const unsigned char* bits, std::int32_t bound, std::int32_t lElem) {
  if (lElem < 1 || lElem > bound) return 0;
  std::uint32_t k = static_cast<std::uint32_t>(lElem - 1);
  return static_cast<char>((bits[k >> 3] >> (k & 7)) & 1u);
}

// Bits k to k + 63 as one word, k a multiple of 64. Near the end only the
// bytes holding bits below nBits are read; the caller masks what lies past it.
std::uint64_t LoadWord(const unsigned char* bits, std::int64_t k, std::int64_t nBits) {
  std::uint64_t word = 0;
  std::int64_t left = nBits - k;
  std::size_t bytes = left >= 64 ? sizeof word : static_cast<std::size_t>((left + 7) / 8);
  std::memcpy(&word, bits + k / 8, bytes);
  return word;
}

// Empties list, then appends in ascending order every element 1 to nBits whose
// bit is set (wantSet) or clear. Whole words of nothing are skipped and whole
// words of everything written as a run, so sparse and dense bitsets both cost
// about one test per 64 elements plus one store per element listed.
void ListBits(const unsigned char* bits, std::int32_t nBits, bool wantSet, CSmartArray<std::int32_t>& list) {
  list.RemoveAll();
  const std::uint64_t flip = wantSet ? 0 : ~std::uint64_t{0};
  for (std::int64_t base = 0; base < nBits; base += kBlockBits) {
    // Room for every element of the block; at most nBits in all, so the list
    // never reserves past the largest count.
    std::int32_t blockBits = static_cast<std::int32_t>(std::min<std::int64_t>(kBlockBits, nBits - base));
    std::int32_t* out = list.ReserveBack(blockBits);
    std::int32_t* p = out;
    for (std::int64_t k = base; k < base + blockBits; k += 64) {
      std::int64_t inWord = std::min<std::int64_t>(64, nBits - k);
      std::uint64_t word = LoadWord(bits, k, nBits) ^ flip;
      // Spare bits past the last element are never reported, whatever they hold.
      if (inWord < 64) word &= (std::uint64_t{1} << inWord) - 1;
      if (word == 0) continue;
      std::int32_t first = static_cast<std::int32_t>(k + 1);
      if (word == ~std::uint64_t{0}) {
        for (std::int32_t i = 0; i < 64; ++i) p[i] = first + i;
        p += 64;
        continue;
      }
      do {
        *p++ = first + __builtin_ctzll(word);
        word &= word - 1;
      } while (word != 0);
    }
    list.CommitBack(static_cast<std::int32_t>(p - out));
  }
}

}  // namespace
}  // namespace kelvane

using kelvane::AbsEdge;
using kelvane::ListBits;
using kelvane::MarkBit;
using kelvane::TestBit;
using kelvane::TraceBound;
using kelvane::TraceBytes;

std::int32_t CLocalNetwork::StartTrace() {
  EndTrace();
  m_lNodTraceBytes = TraceBytes(m_lNodNum);
  m_lEdgeTraceBytes = TraceBytes(m_lEdgeNum);
  // AllocTable zero-fills, so a fresh trace starts with nothing marked.
  m_pNodTraceBit = kelvane::NewTable<unsigned char>(static_cast<std::size_t>(m_lNodTraceBytes));
  if (m_pNodTraceBit != nullptr) {
    m_pEdgeTraceBit = kelvane::NewTable<unsigned char>(static_cast<std::size_t>(m_lEdgeTraceBytes));
  }
  if (m_pNodTraceBit == nullptr || m_pEdgeTraceBit == nullptr) {
    EndTrace();  // releases the node bits if only the edge bits failed
    return 0;
  }
  m_lTraceFlag = 1;
  return 1;
}

std::int32_t CLocalNetwork::EndTrace() {
  kelvane::ReleaseTable(m_pNodTraceBit);
  kelvane::ReleaseTable(m_pEdgeTraceBit);
  m_lNodTraceBytes = 0;
  m_lEdgeTraceBytes = 0;
  m_lTraceFlag = 0;
  return 1;
}

std::int32_t CLocalNetwork::RestartTrace() {
  if (m_lTraceFlag == 0) return -2;
  if (m_pNodTraceBit != nullptr) std::memset(m_pNodTraceBit, 0, kelvane::TableEntries(m_pNodTraceBit));
  if (m_pEdgeTraceBit != nullptr) std::memset(m_pEdgeTraceBit, 0, kelvane::TableEntries(m_pEdgeTraceBit));
  return 1;
}

std::int32_t CLocalNetwork::TraceNod(std::int32_t lNod) {
  if (m_lTraceFlag == 0) return -2;
  return MarkBit(m_pNodTraceBit, TraceBound(m_lNodNum, m_lNodTraceBytes, m_pNodTraceBit), lNod);
}

std::int32_t CLocalNetwork::TraceEdge(std::int32_t lEdge) {
  if (m_lTraceFlag == 0) return -2;
  return MarkBit(m_pEdgeTraceBit, TraceBound(m_lEdgeNum, m_lEdgeTraceBytes, m_pEdgeTraceBit), AbsEdge(lEdge));
}

char CLocalNetwork::AskNodHasTrace(std::int32_t lNod) {
  if (m_lTraceFlag == 0) return -2;
  return TestBit(m_pNodTraceBit, TraceBound(m_lNodNum, m_lNodTraceBytes, m_pNodTraceBit), lNod);
}

char CLocalNetwork::AskEdgeHasTrace(std::int32_t lEdge) {
  if (m_lTraceFlag == 0) return -2;
  return TestBit(m_pEdgeTraceBit, TraceBound(m_lEdgeNum, m_lEdgeTraceBytes, m_pEdgeTraceBit), AbsEdge(lEdge));
}

std::int32_t CLocalNetwork::FetchTraceResult(CSmartArray<std::int32_t>& nods, CSmartArray<std::int32_t>& edges) {
  if (m_lTraceFlag == 0) return -2;
  ListBits(m_pNodTraceBit, TraceBound(m_lNodNum, m_lNodTraceBytes, m_pNodTraceBit), true, nods);
  ListBits(m_pEdgeTraceBit, TraceBound(m_lEdgeNum, m_lEdgeTraceBytes, m_pEdgeTraceBit), true, edges);
  return 1;
}

std::int32_t CLocalNetwork::FetchNotTraceResult(CSmartArray<std::int32_t>& nods,
                                                CSmartArray<std::int32_t>& edges) {
  if (m_lTraceFlag == 0) return -2;
  ListBits(m_pNodTraceBit, TraceBound(m_lNodNum, m_lNodTraceBytes, m_pNodTraceBit), false, nods);
  ListBits(m_pEdgeTraceBit, TraceBound(m_lEdgeNum, m_lEdgeTraceBytes, m_pEdgeTraceBit), false, edges);
  return 1;
}
