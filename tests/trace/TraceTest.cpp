// Visited marks on nodes and edges: opening and closing a trace, the bit
// layout hosts may read, the fetched lists and numbers outside the trace.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "network/NetworkInt.h"

namespace {

std::vector<std::int32_t> Items(const CSmartArray<std::int32_t>& list) {
  std::vector<std::int32_t> v;
  for (std::int32_t i = 0; i < list.GetSize(); ++i) v.push_back(list.GetAt(i));
  return v;
}

std::vector<std::int32_t> Range(std::int32_t from, std::int32_t to) {
  std::vector<std::int32_t> v;
  for (std::int32_t i = from; i <= to; ++i) v.push_back(i);
  return v;
}

void Fill(CSmartArray<std::int32_t>& list, std::vector<std::int32_t> items) {
  list.RemoveAll();
  for (std::int32_t x : items) list.Add(x);
}

class TraceTest : public ::testing::Test {
 protected:
  // The trace reads only the counts, so a host's sizing is all it needs.
  void Size(std::int32_t nodCount, std::int32_t edgeCount) {
    net.m_lNodNum = nodCount;
    net.m_lEdgeNum = edgeCount;
  }
  void TearDown() override { net.EndTrace(); }

  std::vector<std::int32_t> Marked() {
    EXPECT_EQ(net.FetchTraceResult(nods, edges), 1);
    return Items(nods);
  }
  std::vector<std::int32_t> Unmarked() {
    EXPECT_EQ(net.FetchNotTraceResult(nods, edges), 1);
    return Items(nods);
  }

  CLocalNetwork net;
  CSmartArray<std::int32_t> nods;
  CSmartArray<std::int32_t> edges;
};

TEST_F(TraceTest, EveryOperationButStartAndEndRefusesWithoutATrace) {
  Size(10, 3);
  Fill(nods, {7, 8});
  Fill(edges, {9});
  EXPECT_EQ(net.TraceNod(1), -2);
  EXPECT_EQ(net.TraceEdge(1), -2);
  EXPECT_EQ(net.AskNodHasTrace(1), -2);
  EXPECT_EQ(net.AskEdgeHasTrace(1), -2);
  EXPECT_EQ(net.RestartTrace(), -2);
  EXPECT_EQ(net.FetchTraceResult(nods, edges), -2);
  EXPECT_EQ(net.FetchNotTraceResult(nods, edges), -2);
  EXPECT_EQ(Items(nods), (std::vector<std::int32_t>{7, 8}));
  EXPECT_EQ(Items(edges), (std::vector<std::int32_t>{9}));
  EXPECT_EQ(net.EndTrace(), 1);

  // Ending an open trace releases its bits and closes it the same way.
  ASSERT_EQ(net.StartTrace(), 1);
  ASSERT_EQ(net.TraceNod(2), 1);
  EXPECT_EQ(net.EndTrace(), 1);
  EXPECT_EQ(net.m_lTraceFlag, 0);
  EXPECT_EQ(net.m_pNodTraceBit, nullptr);
  EXPECT_EQ(net.m_pEdgeTraceBit, nullptr);
  EXPECT_EQ(net.m_lNodTraceBytes, 0);
  EXPECT_EQ(net.m_lEdgeTraceBytes, 0);
  EXPECT_EQ(net.AskNodHasTrace(2), -2);
  EXPECT_EQ(net.FetchTraceResult(nods, edges), -2);
}

TEST_F(TraceTest, ElementNumbersMapToBitsFromTheLowEndOfEachByte) {
  Size(9, 13);
  ASSERT_EQ(net.StartTrace(), 1);
  EXPECT_EQ(net.m_lTraceFlag, 1);
  EXPECT_EQ(net.m_lNodTraceBytes, 2);
  EXPECT_EQ(net.m_lEdgeTraceBytes, 2);
  EXPECT_EQ(net.TraceNod(8), 1);
  EXPECT_EQ(net.m_pNodTraceBit[0], 0x80);
  EXPECT_EQ(net.m_pNodTraceBit[1], 0x00);
  EXPECT_EQ(net.TraceNod(9), 1);
  EXPECT_EQ(net.m_pNodTraceBit[1], 0x01);
  EXPECT_EQ(net.TraceNod(1), 1);
  EXPECT_EQ(net.m_pNodTraceBit[0], 0x81);
  EXPECT_EQ(net.TraceEdge(-5), 1);
  EXPECT_EQ(net.TraceEdge(13), 1);
  EXPECT_EQ(net.m_pEdgeTraceBit[0], 0x10);
  EXPECT_EQ(net.m_pEdgeTraceBit[1], 0x10);

  // Bits a host sets directly count as marks.
  net.m_pNodTraceBit[0] |= 0x04;
  EXPECT_EQ(net.AskNodHasTrace(3), 1);
}

TEST_F(TraceTest, FreshTraceHasEverythingUnmarked) {
  Size(10, 3);
  ASSERT_EQ(net.StartTrace(), 1);
  Fill(nods, {42});
  Fill(edges, {43});
  EXPECT_EQ(Unmarked(), Range(1, 10));
  EXPECT_EQ(Items(edges), Range(1, 3));
  EXPECT_EQ(Marked(), Range(1, 0));
  EXPECT_EQ(Items(edges), Range(1, 0));
  for (std::int32_t i = 1; i <= 10; ++i) EXPECT_EQ(net.AskNodHasTrace(i), 0) << i;
}

TEST_F(TraceTest, MarksAreListedOnceInAscendingOrder) {
  Size(70, 10);
  ASSERT_EQ(net.StartTrace(), 1);
  for (std::int32_t n : {3, 1, 3, 70, 64, 65}) EXPECT_EQ(net.TraceNod(n), 1) << n;
  EXPECT_EQ(net.TraceEdge(-5), 1);
  EXPECT_EQ(net.TraceEdge(5), 1);
  EXPECT_EQ(net.AskEdgeHasTrace(5), 1);
  EXPECT_EQ(net.AskEdgeHasTrace(-5), 1);
  EXPECT_EQ(net.AskEdgeHasTrace(4), 0);
  EXPECT_EQ(Marked(), (std::vector<std::int32_t>{1, 3, 64, 65, 70}));
  EXPECT_EQ(Items(edges), (std::vector<std::int32_t>{5}));

  std::vector<std::int32_t> rest = Range(1, 70);
  for (std::int32_t n : {70, 65, 64, 3, 1}) rest.erase(rest.begin() + (n - 1));
  EXPECT_EQ(Unmarked(), rest);
  EXPECT_EQ(Items(edges), (std::vector<std::int32_t>{1, 2, 3, 4, 6, 7, 8, 9, 10}));
}

TEST_F(TraceTest, WholeWordsOfMarksAreListedInFull) {
  Size(200, 0);
  ASSERT_EQ(net.StartTrace(), 1);
  for (std::int32_t n = 1; n <= 128; ++n) net.TraceNod(n);
  net.TraceNod(200);
  std::vector<std::int32_t> marked = Range(1, 128);
  marked.push_back(200);
  EXPECT_EQ(Marked(), marked);
  EXPECT_EQ(Unmarked(), Range(129, 199));
}

TEST_F(TraceTest, SpareBitsOfTheLastByteAreNeverReported) {
  for (std::int32_t count : {9, 63, 64, 70, 130}) {
    SCOPED_TRACE(count);
    Size(count, count);
    ASSERT_EQ(net.StartTrace(), 1);
    std::int32_t last = (count + 7) / 8 - 1;
    net.m_pNodTraceBit[last] = static_cast<unsigned char>(count % 8 == 0 ? 0 : 0xFF << (count % 8));
    net.m_pEdgeTraceBit[last] = static_cast<unsigned char>(0xFF);
    EXPECT_EQ(Marked(), Range(1, 0));
    EXPECT_EQ(Items(edges), Range(last * 8 + 1, count));
    EXPECT_EQ(Unmarked(), Range(1, count));
    EXPECT_EQ(Items(edges), Range(1, last * 8));
    // Asking and marking beyond the count stay within the count as well.
    EXPECT_EQ(net.AskNodHasTrace(count + 1), 0);
    EXPECT_EQ(net.TraceNod(count + 1), 0);
  }
}

TEST_F(TraceTest, ZeroAndNegativeCountsOpenAnEmptyTrace) {
  Size(0, -4);
  ASSERT_EQ(net.StartTrace(), 1);
  EXPECT_EQ(net.m_lNodTraceBytes, 0);
  EXPECT_EQ(net.m_lEdgeTraceBytes, 0);
  EXPECT_EQ(net.TraceNod(1), 0);
  EXPECT_EQ(net.TraceEdge(1), 0);
  EXPECT_EQ(net.RestartTrace(), 1);
  Fill(nods, {1});
  Fill(edges, {1});
  EXPECT_EQ(Marked(), Range(1, 0));
  EXPECT_EQ(Items(edges), Range(1, 0));
  EXPECT_EQ(Unmarked(), Range(1, 0));
  EXPECT_EQ(Items(edges), Range(1, 0));

  // Nodes without edges: the edge list still comes back, empty.
  Size(4, 0);
  ASSERT_EQ(net.StartTrace(), 1);
  EXPECT_EQ(Unmarked(), Range(1, 4));
  EXPECT_EQ(Items(edges), Range(1, 0));
}

TEST_F(TraceTest, RestartClearsMarksAndKeepsTheTraceOpen) {
  Size(20, 20);
  ASSERT_EQ(net.StartTrace(), 1);
  unsigned char* nodBits = net.m_pNodTraceBit;
  net.TraceNod(4);
  net.TraceEdge(-17);
  EXPECT_EQ(net.RestartTrace(), 1);
  EXPECT_EQ(net.m_lTraceFlag, 1);
  EXPECT_EQ(net.m_pNodTraceBit, nodBits);
  EXPECT_EQ(net.m_lNodTraceBytes, 3);
  EXPECT_EQ(net.AskNodHasTrace(4), 0);
  EXPECT_EQ(net.AskEdgeHasTrace(17), 0);
  EXPECT_EQ(Marked(), Range(1, 0));
  EXPECT_EQ(Items(edges), Range(1, 0));
  EXPECT_EQ(net.TraceNod(20), 1);
  EXPECT_EQ(Marked(), (std::vector<std::int32_t>{20}));
}

TEST_F(TraceTest, SecondStartDiscardsMarksAndResizesToTheCurrentCounts) {
  Size(9, 2);
  ASSERT_EQ(net.StartTrace(), 1);
  net.TraceNod(9);
  net.TraceEdge(2);
  EXPECT_EQ(net.TraceNod(20), 0);
  Size(20, 40);
  ASSERT_EQ(net.StartTrace(), 1);
  EXPECT_EQ(net.m_lNodTraceBytes, 3);
  EXPECT_EQ(net.m_lEdgeTraceBytes, 5);
  EXPECT_EQ(net.AskNodHasTrace(9), 0);
  EXPECT_EQ(net.AskEdgeHasTrace(2), 0);
  EXPECT_EQ(net.TraceNod(20), 1);
  EXPECT_EQ(net.TraceEdge(40), 1);
  EXPECT_EQ(Marked(), (std::vector<std::int32_t>{20}));
  EXPECT_EQ(Items(edges), (std::vector<std::int32_t>{40}));
}

TEST_F(TraceTest, NumbersOutsideTheTraceMarkNothing) {
  Size(9, 9);
  ASSERT_EQ(net.StartTrace(), 1);
  for (std::int32_t n : {0, -1, 10, 16, 17, INT32_MIN, INT32_MAX}) {
    EXPECT_EQ(net.TraceNod(n), 0) << n;
    EXPECT_EQ(net.AskNodHasTrace(n), 0) << n;
  }
  for (std::int32_t e : {0, 10, -10, 16, -16, INT32_MIN, INT32_MAX, -INT32_MAX}) {
    EXPECT_EQ(net.TraceEdge(e), 0) << e;
    EXPECT_EQ(net.AskEdgeHasTrace(e), 0) << e;
  }
  EXPECT_EQ(net.m_pNodTraceBit[0], 0);
  EXPECT_EQ(net.m_pNodTraceBit[1], 0);
  EXPECT_EQ(net.m_pEdgeTraceBit[0], 0);
  EXPECT_EQ(net.m_pEdgeTraceBit[1], 0);
  EXPECT_EQ(Marked(), Range(1, 0));
  EXPECT_EQ(Items(edges), Range(1, 0));
}

TEST_F(TraceTest, CountsChangedAfterStartOnlyNarrowTheTrace) {
  Size(20, 20);
  ASSERT_EQ(net.StartTrace(), 1);
  net.TraceNod(5);
  net.TraceNod(15);
  net.TraceEdge(12);

  Size(10, 11);  // lowered: marks past the new counts are out of reach
  EXPECT_EQ(Marked(), (std::vector<std::int32_t>{5}));
  EXPECT_EQ(Items(edges), Range(1, 0));
  EXPECT_EQ(Unmarked(), (std::vector<std::int32_t>{1, 2, 3, 4, 6, 7, 8, 9, 10}));
  EXPECT_EQ(Items(edges), Range(1, 11));
  EXPECT_EQ(net.TraceNod(15), 0);
  EXPECT_EQ(net.AskNodHasTrace(15), 0);
  EXPECT_EQ(net.AskEdgeHasTrace(12), 0);

  Size(1000, 1000);  // raised: the bits made at the start still bound it
  EXPECT_EQ(Marked(), (std::vector<std::int32_t>{5, 15}));
  EXPECT_EQ(Items(edges), (std::vector<std::int32_t>{12}));
  EXPECT_EQ(Unmarked().size(), 22u);
  EXPECT_EQ(net.TraceNod(25), 0);
  EXPECT_EQ(net.TraceEdge(-25), 0);
}

TEST_F(TraceTest, ByteLengthsDoNotWrapAtTheLargestCount) {
  // The bitset is mapped but untouched except for one page, so this stays small.
  Size(INT32_MAX, 1);
  ASSERT_EQ(net.StartTrace(), 1);
  EXPECT_EQ(net.m_lNodTraceBytes, 268435456);
  EXPECT_EQ(net.m_lEdgeTraceBytes, 1);
  EXPECT_EQ(net.TraceNod(INT32_MAX), 1);
  EXPECT_EQ(net.AskNodHasTrace(INT32_MAX), 1);
  EXPECT_EQ(net.AskNodHasTrace(INT32_MAX - 1), 0);
  EXPECT_EQ(net.m_pNodTraceBit[268435455], 0x40);
  EXPECT_EQ(Marked(), (std::vector<std::int32_t>{INT32_MAX}));
}

TEST_F(TraceTest, NodeListIsCompleteBeforeTheEdgeListIsTouched) {
  Size(3, 2);
  ASSERT_EQ(net.StartTrace(), 1);
  net.TraceNod(1);
  net.TraceEdge(2);
  // One list passed twice ends as the edge result alone.
  ASSERT_EQ(net.FetchTraceResult(nods, nods), 1);
  EXPECT_EQ(Items(nods), (std::vector<std::int32_t>{2}));
}

TEST_F(TraceTest, CopyTakesItsOwnMarks) {
  Size(30, 5);
  ASSERT_EQ(net.StartTrace(), 1);
  net.TraceNod(17);
  CLocalNetwork copy(net);
  EXPECT_NE(copy.m_pNodTraceBit, net.m_pNodTraceBit);
  EXPECT_EQ(copy.AskNodHasTrace(17), 1);
  copy.TraceNod(2);
  EXPECT_EQ(net.AskNodHasTrace(2), 0);
  CSmartArray<std::int32_t> copyNods;
  ASSERT_EQ(copy.FetchTraceResult(copyNods, edges), 1);
  EXPECT_EQ(Items(copyNods), (std::vector<std::int32_t>{2, 17}));
  EXPECT_EQ(Marked(), (std::vector<std::int32_t>{17}));
  copy.EndTrace();
}

// Against a plain per-bit model, at every density, with junk in the spare bits.
TEST_F(TraceTest, FetchesMatchAPerBitReference) {
  std::mt19937 rng(20261208);
  const std::int32_t sizes[] = {1, 7, 8, 63, 64, 65, 127, 4095, 4096, 4097, 8191, 100003};
  const double densities[] = {0.0, 0.01, 0.5, 0.99, 1.0};
  for (std::int32_t count : sizes) {
    for (double density : densities) {
      SCOPED_TRACE(::testing::Message() << count << " at " << density);
      Size(count, count / 3 + 1);
      ASSERT_EQ(net.StartTrace(), 1);
      std::bernoulli_distribution mark(density);
      std::vector<bool> nodModel(count + 1), edgeModel(count / 3 + 2);
      for (std::int32_t i = 1; i <= count; ++i) {
        if (mark(rng)) {
          ASSERT_EQ(net.TraceNod(i), 1);
          nodModel[i] = true;
        }
      }
      for (std::int32_t e = 1; e <= net.m_lEdgeNum; ++e) {
        if (mark(rng)) {
          ASSERT_EQ(net.TraceEdge(rng() % 2 ? e : -e), 1);
          edgeModel[e] = true;
        }
      }
      if (count % 8 != 0) net.m_pNodTraceBit[count / 8] |= static_cast<unsigned char>(0xFF << (count % 8));

      std::vector<std::int32_t> wantNods[2], wantEdges[2];  // [0] unmarked, [1] marked
      for (std::int32_t i = 1; i <= count; ++i) {
        wantNods[nodModel[i]].push_back(i);
        ASSERT_EQ(net.AskNodHasTrace(i), nodModel[i] ? 1 : 0);
      }
      for (std::int32_t e = 1; e <= net.m_lEdgeNum; ++e) wantEdges[edgeModel[e]].push_back(e);
      EXPECT_EQ(Marked(), wantNods[1]);
      EXPECT_EQ(Items(edges), wantEdges[1]);
      EXPECT_EQ(Unmarked(), wantNods[0]);
      EXPECT_EQ(Items(edges), wantEdges[0]);
    }
  }
}

}  // namespace
