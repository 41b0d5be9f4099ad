// FuzzInput.h - what the network and analysis harnesses share: how an input's
// bytes become element numbers, settings, values and weight records, how a
// broken invariant ends the run, and the filling of the extra weight columns.
// Each harness defines kHarness, the word its failure messages start with.
#ifndef KELVANE_FUZZ_FUZZINPUT_H
#define KELVANE_FUZZ_FUZZINPUT_H

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "kelvane/LocalNetwork.h"

namespace kelvane_fuzz {

extern const char* const kHarness;  // "network", "analysis"

[[noreturn]] inline void Fail(const char* what, long a, long b) {
  std::fprintf(stderr, "%s invariant broken: %s (%ld, %ld)\n", kHarness, what, a, b);
  std::abort();
}

inline void Check(bool ok, const char* what, long a = 0, long b = 0) {
  if (!ok) Fail(what, a, b);
}

// A number for an element argument: mostly near the valid range, sometimes
// far outside it.
inline std::int32_t PickElem(FuzzedDataProvider& in, std::int32_t count) {
  const std::int32_t top = count < 0 ? 2 : (count > (1 << 20) ? (1 << 20) : count + 2);
  switch (in.ConsumeIntegralInRange<int>(0, 15)) {
    case 0:
      return std::numeric_limits<std::int32_t>::min();
    case 1:
      return std::numeric_limits<std::int32_t>::max();
    case 2:
      return -in.ConsumeIntegralInRange<std::int32_t>(0, top);
    case 3:
      return in.ConsumeIntegral<std::int32_t>();
    default:
      return in.ConsumeIntegralInRange<std::int32_t>(0, top);
  }
}

// Any double, the edge values (zeros of both signs, NaN, infinities, the
// extremes, the smallest denormal, any bit pattern) among ordinary ones.
inline double PickDouble(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange<int>(0, 15)) {
    case 0:
      return 0.0;
    case 1:
      return 1.0;
    case 2:
      return -0.0;
    case 3:
      return std::numeric_limits<double>::quiet_NaN();
    case 4:
      return std::numeric_limits<double>::infinity();
    case 5:
      return -std::numeric_limits<double>::infinity();
    case 6:
      return std::numeric_limits<double>::max();
    case 7:
      return -std::numeric_limits<double>::max();
    case 8:
      return std::numeric_limits<double>::denorm_min();
    case 9: {
      const std::uint64_t bits = in.ConsumeIntegral<std::uint64_t>();
      double d;
      std::memcpy(&d, &bits, sizeof d);
      return d;
    }
    default:
      return in.ConsumeFloatingPointInRange<double>(-2.0, 3.0);
  }
}

// A column id or other setting: mostly 0 to 3, sometimes negative or any.
inline std::int32_t PickSetting(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange<int>(0, 7)) {
    case 0:
      return -1;
    case 1:
      return std::numeric_limits<std::int32_t>::min();
    case 2:
      return in.ConsumeIntegral<std::int32_t>();
    default:
      return in.ConsumeIntegralInRange<std::int32_t>(0, 3);
  }
}

// A weight record of type cType whose value bytes are v's, as a host writes
// an int32 (1), int16 (2) or float (3) record; the bytes past v stay 0.
template <class T>
NWeightVal_stru WeightOf(char cType, T v) {
  static_assert(sizeof(T) <= sizeof(double), "the value bytes of a record are 8");
  NWeightVal_stru w;
  w.cType = cType;
  std::memcpy(&w.dVal, &v, sizeof v);
  return w;
}

// Fills every extra column's table with pick(in), edge by edge.
template <class Pick>
void FillExtWeights(CLocalNetwork& net, FuzzedDataProvider& in, std::int32_t nEdge, Pick pick) {
#if !KELVANE_FIRST_GENERATION
  for (std::int32_t i = 0; i < net.m_ExtEdgeWgt.GetSize(); ++i) {
    NWeightVal_stru* table = net.m_ExtEdgeWgt.GetAt(i);
    if (table == nullptr) continue;
    for (std::int32_t e = 0; e < nEdge; ++e) table[e] = pick(in);
  }
#else
  (void)net;  // the first generation has no extra columns
  (void)in;
  (void)nEdge;
  (void)pick;
#endif
}

}  // namespace kelvane_fuzz

#endif  // KELVANE_FUZZ_FUZZINPUT_H
