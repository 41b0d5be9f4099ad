// ToolsInt.h - helpers private to the toolkit (never installed): message
// formatting, table lengths, and the extra weight columns that only the
// current build has.
#ifndef KELVANE_SRC_TOOLS_TOOLSINT_H
#define KELVANE_SRC_TOOLS_TOOLSINT_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "kelvane/tools/Finding.h"
#include "network/NetworkInt.h"
#include "network/TableAlloc.h"

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

inline NFinding_stru MakeFinding(NElemKind eKind, std::int32_t lElem, std::string strText) {
  NFinding_stru f;
  f.eKind = eKind;
  f.lElem = lElem;
  f.strText = std::move(strText);
  return f;
}

// Entries a table made by the library really holds (0 for null): the library
// keeps the count in front of entry 0, so the toolkit never trusts the public
// counts for how far it may read.
inline std::int64_t Entries(const void* table) { return static_cast<std::int64_t>(TableEntries(table)); }

// --- Extra edge-weight columns: none in the first generation. ---
inline std::int32_t ExtFldCount(const CLocalNetwork& net) {
#if !KELVANE_FIRST_GENERATION
  return net.m_ExtEdgeWgtFld.GetSize();
#else
  (void)net;
  return 0;
#endif
}

inline std::int32_t ExtFld(const CLocalNetwork& net, std::int32_t i) {
#if !KELVANE_FIRST_GENERATION
  return net.m_ExtEdgeWgtFld.GetAt(i);
#else
  (void)net;
  (void)i;
  return -1;
#endif
}

using kelvane::ExtTable;
using kelvane::ExtTableCount;

// Replaces the network's extra column ids. Throws std::bad_alloc.
inline void SetExtFlds(CLocalNetwork& net, const std::vector<std::int32_t>& ids) {
#if !KELVANE_FIRST_GENERATION
  net.m_ExtEdgeWgtFld.RemoveAll();
  for (std::int32_t id : ids) net.m_ExtEdgeWgtFld.Add(id);
#else
  (void)net;
  (void)ids;
#endif
}

}  // namespace tools
}  // namespace kelvane

#endif  // KELVANE_SRC_TOOLS_TOOLSINT_H
