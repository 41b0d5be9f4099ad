// MapNetFlagFaultTest.cpp - flag mapping when memory runs out part-way: the
// first, second, third ... table allocation of the call fails in turn, until
// the call gets through. Every failed run must leave each flagged edge either
// fully split or untouched, and outputs that match exactly the split ones.
#include <gtest/gtest.h>

#include <cstdint>
#include <new>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "network/TableAlloc.h"
#include "support/Flags.h"
#include "support/ReferenceBuilder.h"
#include "support/ReferenceCheck.h"

namespace {

// Nodes 1..6 in a ring of edges 1..6, edge i from i to i % 6 + 1, with every
// optional table, and (current build) two extra columns.
void FillRing(CLocalNetwork& net) {
  NetworkBuilder b;
  b.Nodes(6).EdgeWgtFld1(1).EdgeWgtFld2(2).NodWgtFld(3).DmdFld(0).DirectMode(2).TurnWgt().ExtFld(8).ExtFld(9);
  for (std::int32_t i = 1; i <= 6; ++i) b.Edge(i, i % 6 + 1).EdgeWgt1(i, DblWgt(6.0)).EdgeDmd(i, 3.0);
  b.Fill(net);
}

NET_FLGstruct EdgeFlag(std::int32_t e, double dPos) { return Flag(2, e, dPos); }

TEST(MapNetFlagFaultTest, EveryEdgeIsFullySplitOrUntouchedWhenMemoryRunsOut) {
  // Edge -> its flags' input indices.
  const std::vector<NET_FLGstruct> flags = {EdgeFlag(5, 0.5), EdgeFlag(2, 0.3), EdgeFlag(2, 0.6),
                                            EdgeFlag(4, 0.1), EdgeFlag(5, 0.2), EdgeFlag(2, 0.9)};
  const std::vector<std::int32_t> flagged = {2, 4, 5};  // ascending: the order edges are split in
  const std::vector<std::int32_t> flagCount = {3, 1, 2};

  bool succeeded = false;
  int failures = 0;
  for (long n = 1; n < 200 && !succeeded; ++n) {
    SCOPED_TRACE(n);
    CLocalNetwork net;
    FillRing(net);
    CSmartArray<NET_FLGstruct> in, out;
    CSmartArray<TEMPEDGE_MAP_EDGE> temps;
    CSmartArray<std::int32_t> nods;
    for (const auto& f : flags) in.Add(f);

    kelvane::FailAllocationAfter(n);
    try {
      EXPECT_EQ(net.MapNetFlag(in, out, temps, nods), 1);
      succeeded = true;
    } catch (const std::bad_alloc&) {
    }
    kelvane::FailAllocationAfter(0);

    ExpectConsistent(net);
    // The split edges are a prefix of the flagged ones, and the outputs hold
    // exactly their nodes and pieces.
    std::int32_t splitFlags = 0, splitPieces = 0;
    bool stillSplitting = true;
    for (std::size_t g = 0; g < flagged.size(); ++g) {
      const std::int32_t e = flagged[g];
      const bool split = net.m_pUpEdgeState[e - 1] == 2;
      EXPECT_TRUE(stillSplitting || !split) << "edge " << e << " split after an edge left whole";
      stillSplitting = stillSplitting && split;
      if (split) {
        splitFlags += flagCount[g];
        splitPieces += flagCount[g] + 1;
      } else {
        EXPECT_TRUE(network_check::ListHas(net, e, -e)) << "edge " << e;
        EXPECT_TRUE(network_check::ListHas(net, e % 6 + 1, e)) << "edge " << e;
      }
    }
    EXPECT_EQ(net.m_lNodNum, 6 + splitFlags);
    EXPECT_EQ(net.m_lEdgeNum, 6 + splitPieces);
    EXPECT_EQ(nods.GetSize(), splitFlags);
    EXPECT_EQ(temps.GetSize(), splitPieces);
    ASSERT_EQ(out.GetSize(), static_cast<std::int32_t>(flags.size()));
    // A mapped flag names a new node between two pieces of its own edge.
    std::vector<std::int32_t> sourceOf(static_cast<std::size_t>(net.m_lEdgeNum) + 1, 0);
    for (std::int32_t k = 0; k < temps.GetSize(); ++k) {
      sourceOf[static_cast<std::size_t>(temps.GetAt(k).lTempEdgeID)] = temps.GetAt(k).lEdgeID;
    }
    for (std::int32_t i = 0; i < out.GetSize(); ++i) {
      const NET_FLGstruct f = out.GetAt(i);
      const std::int32_t edge = flags[static_cast<std::size_t>(i)].lElemID;
      const bool split = net.m_pUpEdgeState[edge - 1] == 2;
      EXPECT_EQ(f.cFlgType, split ? 1 : 2) << "flag " << i;
      if (!split) continue;
      ASSERT_GT(f.lElemID, 6) << "flag " << i;
      ASSERT_LE(f.lElemID, net.m_lNodNum) << "flag " << i;
      const NNodConn_stru& conn = net.m_pNodConn[f.lElemID - 1];
      ASSERT_EQ(conn.sConnNum, 2) << "flag " << i;
      for (int k = 0; k < 2; ++k) {
        const std::int32_t piece = conn.pConnEdge[k] < 0 ? -conn.pConnEdge[k] : conn.pConnEdge[k];
        EXPECT_EQ(sourceOf[static_cast<std::size_t>(piece)], edge) << "flag " << i;
      }
    }
    if (succeeded) {
      EXPECT_EQ(splitFlags, 6);
    } else {
      ++failures;
    }
  }
  EXPECT_TRUE(succeeded);
  EXPECT_GT(failures, 3);  // growth, a node list of each edge: more than one place to fail
}

}  // namespace
