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
#include <cstring>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "network/Bits.h"       // the one bitset
#include "network/NetTables.h"  // the one list of a network's tables, walked by the core and the check alike

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

// The table of edge column lFld, as GetEdgeWgtVal reads it: fixed column 1,
// fixed column 2, then the extra columns by position; the first match wins.
// A negative id matches nothing. Null when no column matches, or when the
// matching extra column has no table (more ids than tables).
inline NWeightVal_stru* EdgeColumn(const CLocalNetwork& net, std::int32_t lFld) {
  if (lFld < 0) return nullptr;
  if (lFld == net.m_lEdgeWgtFld1) return net.m_pEdgeWgt1;
  if (lFld == net.m_lEdgeWgtFld2) return net.m_pEdgeWgt2;
  const std::int32_t nFld = ExtFldCount(net);
  for (std::int32_t i = 0; i < nFld; ++i) {
    if (ExtFld(net, i) != lFld) continue;
    return i < ExtTableCount(net) ? ExtTable(net, i) : nullptr;
  }
  return nullptr;
}

// The value of a weight record of type 1 to 4 (int32, int16, float, double)
// as a double. False for type 0 (no value) and for a type byte that names no
// type, with v untouched. The value bytes follow the type byte unaligned, so
// they are copied out, never read through a cast.
inline bool WeightValue(const NWeightVal_stru& w, double& v) {
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&w) + 1;
  switch (w.cType) {
    case 1: {
      std::int32_t i = 0;
      std::memcpy(&i, bytes, sizeof i);
      v = i;
      return true;
    }
    case 2: {
      std::int16_t i = 0;
      std::memcpy(&i, bytes, sizeof i);
      v = i;
      return true;
    }
    case 3: {
      float f = 0.0F;
      std::memcpy(&f, bytes, sizeof f);
      v = f;
      return true;
    }
    case 4:
      std::memcpy(&v, bytes, sizeof v);
      return true;
    default:
      return false;
  }
}

}  // namespace kelvane

#endif  // KELVANE_SRC_NETWORK_COREACCESS_H
