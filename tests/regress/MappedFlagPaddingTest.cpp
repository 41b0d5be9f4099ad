// Regression: a flag record that flag mapping writes into the host's output
// list carried the padding bytes of an uninitialised record on the library's
// stack. A host that compares, hashes or stores flag records byte for byte
// then read stale stack bytes (valgrind: "depends on uninitialised value").
// Memcheck shows the fault every time (tools/valgrind-tests.sh runs every test
// under it); a plain run fails only when the stale bytes are not zero, which
// painting the stack first makes likely but cannot promise.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "kelvane/LocalNetwork.h"
#include "support/ReferenceBuilder.h"

namespace {

// Leaves a recognisable pattern in the stack that the next call will reuse.
__attribute__((noinline)) void PaintStack() {
  volatile unsigned char junk[32768];
  for (std::size_t i = 0; i < sizeof junk; ++i) junk[i] = 0xA5;
}

// The bytes between the record's kind byte and its element number.
bool PaddingIsZero(const NET_FLGstruct& flag) {
  unsigned char bytes[sizeof(NET_FLGstruct)];
  std::memcpy(bytes, &flag, sizeof bytes);
  for (std::size_t i = offsetof(NET_FLGstruct, cFlgType) + 1; i < offsetof(NET_FLGstruct, lElemID); ++i) {
    if (bytes[i] != 0) return false;
  }
  return true;
}

TEST(MappedFlagPaddingTest, MappedFlagRecordsCarryNoStaleStackBytes) {
  CLocalNetwork net;
  NetworkBuilder().Nodes(4).Edge(1, 2).Edge(2, 3).Edge(3, 4).Fill(net);
  CSmartArray<NET_FLGstruct> in;
  NET_FLGstruct flag = NET_FLGstruct();  // value-initialised: padding zero
  flag.cFlgType = 2;
  for (std::int32_t k = 0; k < 24; ++k) {
    flag.lElemID = 1 + k % 3;
    flag.dPos = 0.04 * k;
    in.Add(flag);
  }
  CSmartArray<NET_FLGstruct> out;
  CSmartArray<TEMPEDGE_MAP_EDGE> tempEdges;
  CSmartArray<std::int32_t> newNods;

  PaintStack();
  ASSERT_EQ(net.MapNetFlag(in, out, tempEdges, newNods), 1);
  ASSERT_EQ(out.GetSize(), 24);
  for (std::int32_t j = 0; j < out.GetSize(); ++j) {
    const NET_FLGstruct mapped = out.GetAt(j);
    EXPECT_EQ(mapped.cFlgType, 1) << j;
    EXPECT_TRUE(PaddingIsZero(mapped)) << j;
  }

  // In place (one list as input and output), on the first piece of edge 1.
  CSmartArray<NET_FLGstruct> both;
  flag.lElemID = tempEdges.GetAt(0).lTempEdgeID;
  both.Add(flag);
  PaintStack();
  ASSERT_EQ(net.MapNetFlag(both, both, tempEdges, newNods), 1);
  EXPECT_EQ(both.GetAt(0).cFlgType, 1);
  EXPECT_TRUE(PaddingIsZero(both.GetAt(0)));
}

}  // namespace
