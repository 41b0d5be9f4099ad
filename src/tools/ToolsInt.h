// ToolsInt.h - helpers private to the toolkit (never installed): message
// formatting, and the names under which the toolkit uses what the core lends
// it (table lengths, the extra weight columns of the current build).
#ifndef KELVANE_SRC_TOOLS_TOOLSINT_H
#define KELVANE_SRC_TOOLS_TOOLSINT_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>

#include "kelvane/LocalNetwork.h"
#include "kelvane/tools/Finding.h"
#include "network/CoreAccess.h"

namespace kelvane {
namespace tools {

using kelvane::kFirstGeneration;

// printf-style formatting of one short sentence (cut at 511 bytes).
template <class... A>
std::string Format(const char* pszFormat, A... args) {
  static_assert(sizeof...(A) > 0, "a sentence without values needs no formatting");
  char buf[512];
  const int n = std::snprintf(buf, sizeof buf, pszFormat, args...);
  if (n < 0) return std::string();
  return std::string(buf, std::min(static_cast<std::size_t>(n), sizeof buf - 1));
}

// The numbers lFirst to lLast, for loops over nodes and edges that must end
// when lLast is INT32_MAX (a loop `n <= lLast; ++n` would never end there):
// the count runs in 64 bits, the number handed out in 32.
class COneTo {
 public:
  class CIter {
   public:
    explicit CIter(std::int64_t ll) : m_ll(ll) {}
    std::int32_t operator*() const { return static_cast<std::int32_t>(m_ll); }
    CIter& operator++() {
      ++m_ll;
      return *this;
    }
    bool operator!=(const CIter& o) const { return m_ll != o.m_ll; }

   private:
    std::int64_t m_ll;  // the number handed out next
  };
  COneTo(std::int32_t lFirst, std::int32_t lLast) : m_llFirst(lFirst), m_llEnd(std::max<std::int64_t>(lFirst, std::int64_t{lLast} + 1)) {}
  CIter begin() const { return CIter(m_llFirst); }
  CIter end() const { return CIter(m_llEnd); }

 private:
  std::int64_t m_llFirst;  // first number
  std::int64_t m_llEnd;    // one past the last, never below the first
};

// 1 to lLast: every node or edge of a table of lLast entries.
inline COneTo OneTo(std::int32_t lLast) { return COneTo(1, lLast); }

inline NFinding_stru MakeFinding(NFindingCode eCode, NElemKind eKind, std::int32_t lElem, std::string strText) {
  NFinding_stru f;
  f.eCode = eCode;
  f.eKind = eKind;
  f.lElem = lElem;
  f.strText = std::move(strText);
  return f;
}

// Fills *pError (when given) for memory running out, without allocating
// when even the sentence cannot be had; returns 0.
inline std::int32_t RefuseNoMemory(NFinding_stru* pError, const char* pszWhat) noexcept {
  if (pError == nullptr) return 0;
  pError->eCode = NFindingCode::NoMemory;
  pError->eKind = NElemKind::Network;
  pError->lElem = 0;
  try {
    pError->strText = pszWhat;
  } catch (...) {
    pError->strText.clear();  // never allocates
  }
  return 0;
}

// Entries a table made by the library really holds (0 for null), asked of
// the core, so the toolkit never trusts the public counts for how far it may
// read and never depends on how the core lays out its tables.
inline std::int64_t Entries(const void* table) { return kelvane::CoreTableEntriesV1(table); }

using kelvane::ExtFld;
using kelvane::ExtFldCount;
using kelvane::ExtTable;
using kelvane::ExtTableCount;
using kelvane::SetExtFlds;

}  // namespace tools
}  // namespace kelvane

#endif  // KELVANE_SRC_TOOLS_TOOLSINT_H
