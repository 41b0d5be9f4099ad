// CoreAccess.h - everything a library built beside the core (the host toolkit)
// may use of the core beyond the public headers. Private to this source tree,
// never installed.
//
// The toolkit is a shared library of its own and may be loaded beside a core
// from another revision, so it never reads the core's allocation format
// inline: it asks the core, through the exported function below, whose name
// carries the version of this header. A change to what any declaration here
// means bumps the version, so that a toolkit and a core that disagree fail to
// load instead of misreading each other's tables. Everything else here works
// on the public members alone and compiles into both libraries alike.
#ifndef KELVANE_SRC_NETWORK_COREACCESS_H
#define KELVANE_SRC_NETWORK_COREACCESS_H

#include <cstdint>
#include <vector>

#include "kelvane/LocalNetwork.h"

#define KELVANE_CORE_ACCESS_VERSION 1

namespace kelvane {

constexpr bool kFirstGeneration = KELVANE_FIRST_GENERATION != 0;  // for results that differ

// Entries a table made by the core really holds, 0 for null: any table or
// connection list a network owns. Bounds every read a caller makes, whatever
// the host has written into the public counts.
KELVANE_API std::int64_t CoreTableEntriesV1(const void* table);

// |lEdge|, or 0 for the most negative number, whose absolute value does not
// exist in 32 bits (0 then fails every range test, as edge 0 does).
inline std::int32_t AbsEdge(std::int32_t lEdge) {
  if (lEdge == INT32_MIN) return 0;
  return lEdge < 0 ? -lEdge : lEdge;
}

// --- The extra edge-weight columns of the current build; the first
// generation has none. Table i belongs to column id i (null for a negative
// id), so the two lists are read by position. ---

inline std::int32_t ExtFldCount(const CLocalNetwork& net) {
#if !KELVANE_FIRST_GENERATION
  return net.m_ExtEdgeWgtFld.GetSize();
#else
  (void)net;
  return 0;
#endif
}

// Column id i, or -1 in the first generation.
inline std::int32_t ExtFld(const CLocalNetwork& net, std::int32_t i) {
#if !KELVANE_FIRST_GENERATION
  return net.m_ExtEdgeWgtFld.GetAt(i);
#else
  (void)net;
  (void)i;
  return -1;
#endif
}

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

inline std::int32_t ExtTableCount(const CLocalNetwork& net) {
#if !KELVANE_FIRST_GENERATION
  return net.m_ExtEdgeWgt.GetSize();
#else
  (void)net;
  return 0;
#endif
}

inline NWeightVal_stru* ExtTable(const CLocalNetwork& net, std::int32_t i) {
#if !KELVANE_FIRST_GENERATION
  return net.m_ExtEdgeWgt.GetAt(i);
#else
  (void)net;
  (void)i;
  return nullptr;
#endif
}

}  // namespace kelvane

#endif  // KELVANE_SRC_NETWORK_COREACCESS_H
