// Copying a network when each of the copy's table allocations fails in turn:
// std::bad_alloc reaches the caller, nothing is leaked (the sanitizer build
// reports leaks at exit), and an assignment target is either as it was or a
// full copy.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <new>

#include "kelvane/LocalNetwork.h"
#include "network/TableAlloc.h"
#include "support/ReferenceBuilder.h"
#include "support/ReferenceCheck.h"

namespace {

NetworkBuilder Source() {
  return NetworkBuilder()
      .Ring(4)
      .WeightsDemandsTurns()
      .DirectMode(2)
      .BlockNod(2)
      .ExtFld(5)
      .ExtFld(-5)
      .ExtFld(6)
      .EdgeWgt1(3, DblWgt(3.0))
      .TurnMatrix(1, {1, 2, 3, 4});
}

NetworkBuilder Target() {
  return NetworkBuilder().Nodes(3).Edge(1, 3).Edge(3, 2).TurnWgt().DmdFld(1).ExtFld(9).EdgeDmd(2, 4.0);
}

class CopyFaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(Source().Fill(src));
    std::int32_t count = 0;
    src.GetNodConnEdgeNum(2, count);  // something recorded (current build)
    ASSERT_EQ(src.StartTrace(), 1);  // open trace bits are copied too
    src.TraceNod(3);
    src.TraceEdge(4);
  }
  void TearDown() override {
    kelvane::FailAllocationAfter(0);
    src.EndTrace();
  }
  CLocalNetwork src;
};

}  // namespace

TEST_F(CopyFaultTest, CopyConstructionThrowsOnEachFailingAllocationAndLeaksNothing) {
  long before = kelvane::AllocationCount();
  { CLocalNetwork probe(src); }
  const long total = kelvane::AllocationCount() - before;
  ASSERT_GE(total, 12);
  CLocalNetwork reference(src);
  for (long n = 1; n <= total; ++n) {
    SCOPED_TRACE(n);
    bool threw = false;
    kelvane::FailAllocationAfter(n);
    try {
      CLocalNetwork copy(src);
    } catch (const std::bad_alloc&) {
      threw = true;
    }
    kelvane::FailAllocationAfter(0);
    EXPECT_TRUE(threw);
  }
  ExpectSameNetwork(reference, src);  // the source is never touched
  ExpectConsistent(src);
}

TEST_F(CopyFaultTest, AssignmentLeavesTheTargetAsItWasOrAFullCopy) {
  long total = 0;
  {
    CLocalNetwork probe;
    ASSERT_NO_FATAL_FAILURE(Target().Fill(probe));
    long before = kelvane::AllocationCount();
    probe = src;
    total = kelvane::AllocationCount() - before;
  }
  ASSERT_GE(total, 12);
  for (long n = 1; n <= total + 1; ++n) {
    SCOPED_TRACE(n);
    CLocalNetwork dst;
    ASSERT_NO_FATAL_FAILURE(Target().Fill(dst));
    CLocalNetwork before(dst);
    bool threw = false;
    kelvane::FailAllocationAfter(n);
    try {
      dst = src;
    } catch (const std::bad_alloc&) {
      threw = true;
    }
    kelvane::FailAllocationAfter(0);
    EXPECT_EQ(threw, n <= total);
    if (threw) {
      ExpectSameNetwork(before, dst);
    } else {
      ExpectSameNetwork(src, dst);
    }
    ExpectConsistent(dst);
    dst.EndTrace();
  }
}

TEST_F(CopyFaultTest, FailedCopyOfAHostEditedNetworkStillLeaksNothing) {
  ASSERT_EQ(src.ReallocNodConnEdgeMemory(3, 40), 1);  // a longer list than before
  src.m_lNodNum = 2;  // the host's counts no longer match the tables
  long before = kelvane::AllocationCount();
  { CLocalNetwork probe(src); }
  const long total = kelvane::AllocationCount() - before;
  for (long n = 1; n <= total; ++n) {
    kelvane::FailAllocationAfter(n);
    try {
      CLocalNetwork copy(src);
    } catch (const std::bad_alloc&) {
    }
    kelvane::FailAllocationAfter(0);
  }
  src.m_lNodNum = 4;
}
