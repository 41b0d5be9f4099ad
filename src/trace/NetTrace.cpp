// NetTrace.cpp - visited marks: one bit per node and per edge while a trace is open.
//
// Both bitsets are network/Bits.h's, kept in tables from AllocTable, so the bytes that
// really exist are known from the table itself; the public byte lengths and
// counts, which the host may rewrite, only ever narrow what is read or written.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "kelvane/LocalNetwork.h"
#include "network/Bits.h"
#include "network/NetworkInt.h"
#include "network/TableAlloc.h"

namespace kelvane {
namespace {

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
