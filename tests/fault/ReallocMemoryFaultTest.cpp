// ReallocMemory when each of its table allocations fails in turn: every
// failure reports 0 and leaves a cleared network; nothing made before the
// failure is leaked (the sanitizer build reports leaks at exit).
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "network/NetworkInt.h"
#include "network/TableAlloc.h"
#include "support/ReferenceBuilder.h"
#include "support/ReferenceCheck.h"

namespace {

// Every table on, extra columns 7, -1, 3 in the current build.
NetworkBuilder EveryTable() {
  return NetworkBuilder()
      .Nodes(6)
      .Edge(1, 2)
      .Edge(2, 3)
      .Edge(3, 4)
      .Edge(4, 5)
      .Edge(5, 6)
      .WeightsDemandsTurns()
      .DirectMode(1)
      .Reserve(9)
      .ExtFld(7)
      .ExtFld(-1)
      .ExtFld(3);
}

// Table allocations one call makes when none fails.
template <class F>
long CountAllocations(F call) {
  long before = kelvane::AllocationCount();
  call();
  return kelvane::AllocationCount() - before;
}

#if !KELVANE_FIRST_GENERATION
// What survives a failure: the host's extra column ids and the recorders'
// sizes; the extra tables themselves are gone.
void ExpectCurrentBuildSurvivors(const CLocalNetwork& net, std::int32_t nods, std::int32_t edges) {
  EXPECT_EQ(Elems(net.m_ExtEdgeWgtFld), (std::vector<std::int32_t>{7, -1, 3}));
  EXPECT_EQ(net.m_ExtEdgeWgt.GetSize(), 0);
  EXPECT_EQ(net.m_BlockedNod.m_lElemNum, nods);
  EXPECT_EQ(net.m_BlockedEdge.m_lElemNum, edges);
}
#else
void ExpectCurrentBuildSurvivors(const CLocalNetwork&, std::int32_t, std::int32_t) {}  // no extra columns, no recorders
#endif

// The tables of a freshly allocated network (its edges not yet filled in).
void ExpectConsistentTables(const CLocalNetwork& net) {
  EXPECT_NE(net.m_pEdgeNod, nullptr);
  EXPECT_NE(net.m_pNodConn, nullptr);
  EXPECT_NE(net.m_pNodWgt, nullptr);
  EXPECT_NE(net.m_pEdgeWgt1, nullptr);
  EXPECT_NE(net.m_pEdgeWgt2, nullptr);
  EXPECT_NE(net.m_ppTurnWgt, nullptr);
  EXPECT_NE(net.m_pNodState, nullptr);
  EXPECT_NE(net.m_pUpEdgeState, nullptr);
  EXPECT_NE(net.m_pDownEdgeState, nullptr);
  EXPECT_NE(net.m_pEdgeDirect, nullptr);
  EXPECT_NE(net.m_pNodDmd, nullptr);
  EXPECT_NE(net.m_pEdgeDmd, nullptr);
  network_check::ExpectExtColumnsConsistent(net);
}

class ReallocMemoryFaultTest : public ::testing::Test {
 protected:
  void TearDown() override { kelvane::FailAllocationAfter(0); }
};

}  // namespace

// Fails each of ReallocMemory's allocations in turn on a network sized by
// `size`; returns how many of them made ReallocMemory report 0.
template <class Size>
int SweepFailures(Size size) {
  long total = 0;
  {
    CLocalNetwork net;
    size(net);
    total = CountAllocations([&] { EXPECT_EQ(net.ReallocMemory(), 1); });
  }
  int failures = 0;
  for (long n = 1; n <= total + 1; ++n) {
    SCOPED_TRACE(n);
    CLocalNetwork net;
    size(net);
    const std::int32_t nods = net.m_lNodNum;
    const std::int32_t edges = net.m_lEdgeNum;
    kelvane::FailAllocationAfter(n);
    std::int32_t status = net.ReallocMemory();
    kelvane::FailAllocationAfter(0);
    if (status == 0) {
      ++failures;
      ExpectCleared(net);
      ExpectCurrentBuildSurvivors(net, nods, edges);
      size(net);  // sized again, the network allocates normally
      EXPECT_EQ(net.ReallocMemory(), 1);
      ExpectConsistentTables(net);
    } else {
      // Only an allocation the network does without (a recorder's bits) may fail unseen.
      EXPECT_EQ(status, 1);
      EXPECT_EQ(net.m_lNodNum, nods);
      ExpectConsistentTables(net);
    }
  }
  return failures;
}

TEST_F(ReallocMemoryFaultTest, EachFailingAllocationClearsTheNetworkAndLeaksNothing) {
  // Every table the settings ask for can fail, the extra ones included.
  int failures = SweepFailures([](CLocalNetwork& net) { EveryTable().Size(net); });
  EXPECT_EQ(failures, kelvane::kFirstGeneration ? 12 : 14);
}

TEST_F(ReallocMemoryFaultTest, ZeroCountsStillFailCleanly) {
  int failures = SweepFailures([](CLocalNetwork& net) {
    EveryTable().Size(net);
    net.m_lNodNum = 0;
    net.m_lEdgeNum = 0;
  });
  EXPECT_EQ(failures, kelvane::kFirstGeneration ? 12 : 14);
}

TEST_F(ReallocMemoryFaultTest, FailureOnANetworkThatHeldTablesReleasesThemToo) {
  long total = 0;
  {
    CLocalNetwork net;
    ASSERT_NO_FATAL_FAILURE(EveryTable().Fill(net));
    EveryTable().Size(net);
    total = CountAllocations([&] { ASSERT_EQ(net.ReallocMemory(), 1); });
  }
  for (long n = 1; n <= total; ++n) {
    SCOPED_TRACE(n);
    CLocalNetwork net;
    ASSERT_NO_FATAL_FAILURE(EveryTable().Fill(net));  // lists and matrices given
    EveryTable().Size(net);
    kelvane::FailAllocationAfter(n);
    std::int32_t status = net.ReallocMemory();
    kelvane::FailAllocationAfter(0);
    if (status == 0) ExpectCleared(net);
  }
}
