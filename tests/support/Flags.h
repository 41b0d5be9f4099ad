// Flags.h - flag records as a host writes them before mapping.
#ifndef KELVANE_TESTS_SUPPORT_FLAGS_H
#define KELVANE_TESTS_SUPPORT_FLAGS_H

#include <cstdint>
#include <cstring>

#include "kelvane/LocalNetwork.h"

// A flag of kind cType (1 node, 2 edge) on element lElem at position dPos
// along an edge, with its text; every other byte, padding included, zero.
inline NET_FLGstruct Flag(char cType, std::int32_t lElem, double dPos = 0.0, const char* text = "") {
  NET_FLGstruct f = NET_FLGstruct();
  f.cFlgType = cType;
  f.lElemID = lElem;
  f.dPos = dPos;
  std::strncpy(f.szFlgText, text, sizeof f.szFlgText - 1);
  return f;
}

#endif  // KELVANE_TESTS_SUPPORT_FLAGS_H
