// Opening a trace when its bits cannot be allocated.
#include <gtest/gtest.h>

#include <cstdint>

#include "kelvane/LocalNetwork.h"
#include "network/TableAlloc.h"

namespace {

class TraceFaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    net.m_lNodNum = 20;
    net.m_lEdgeNum = 30;
  }
  void TearDown() override {
    kelvane::FailAllocationAfter(0);
    net.EndTrace();
  }

  void ExpectClosed() {
    EXPECT_EQ(net.m_lTraceFlag, 0);
    EXPECT_EQ(net.m_pNodTraceBit, nullptr);
    EXPECT_EQ(net.m_pEdgeTraceBit, nullptr);
    EXPECT_EQ(net.m_lNodTraceBytes, 0);
    EXPECT_EQ(net.m_lEdgeTraceBytes, 0);
    EXPECT_EQ(net.TraceNod(1), -2);
    CSmartArray<std::int32_t> nods, edges;
    EXPECT_EQ(net.FetchNotTraceResult(nods, edges), -2);
  }

  CLocalNetwork net;
};

// The sanitizer build reports the node bits if a failure on the edge bits leaks them.
TEST_F(TraceFaultTest, FailedAllocationLeavesTheTraceClosedAndNothingHeld) {
  for (long failAt : {1L, 2L}) {
    SCOPED_TRACE(failAt);
    long before = kelvane::AllocationCount();
    kelvane::FailAllocationAfter(failAt);
    EXPECT_EQ(net.StartTrace(), 0);
    EXPECT_EQ(kelvane::AllocationCount() - before, failAt);
    kelvane::FailAllocationAfter(0);
    ExpectClosed();
  }
}

TEST_F(TraceFaultTest, FailedRestartDiscardsTheTraceThatWasOpen) {
  ASSERT_EQ(net.StartTrace(), 1);
  ASSERT_EQ(net.TraceNod(3), 1);
  kelvane::FailAllocationAfter(2);
  EXPECT_EQ(net.StartTrace(), 0);
  kelvane::FailAllocationAfter(0);
  ExpectClosed();

  // Once memory is back a trace opens as usual, with nothing marked.
  ASSERT_EQ(net.StartTrace(), 1);
  EXPECT_EQ(net.AskNodHasTrace(3), 0);
}

}  // namespace
