// The split index on a mapped network: pieces and their stretches, the way
// back from a piece, and a trace folded onto the edges a host's users know.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "kelvane/tools/NetworkBuilder.h"
#include "kelvane/tools/SplitIndex.h"
#include "support/Flags.h"
#include "support/ReferenceBuilder.h"

using namespace kelvane::tools;

namespace {

struct Piece {
  std::int32_t lEdge;
  double dFrom;
  double dTo;
  bool operator==(const Piece& o) const { return lEdge == o.lEdge && dFrom == o.dFrom && dTo == o.dTo; }
};

std::vector<Piece> Pieces(const CSmartArray<NEdgePiece_stru>& list) {
  std::vector<Piece> v;
  for (std::int32_t i = 0; i < list.GetSize(); ++i) {
    const NEdgePiece_stru p = list.GetAt(i);
    v.push_back(Piece{p.lEdge, p.dFrom, p.dTo});
  }
  return v;
}

CSmartArray<std::int32_t> List(const std::vector<std::int32_t>& v) {
  CSmartArray<std::int32_t> list;
  for (std::int32_t x : v) list.Add(x);
  return list;
}

}  // namespace

// 1 -e1-> 2 -e2-> 3 -e3-> 1, 3 -e4-> 4, 2 -e5-> 4. Flags on e4 at 0.75 and
// 0.25, on e1 at 0.5, on a node and on an edge that does not exist. Edge 1 is
// split first: pieces 6 and 7 (node 5); then edge 4: pieces 8, 9, 10 (nodes 6
// at 0.25 and 7 at 0.75).
class SplitIndexTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CNetworkBuilder b;
    b.SetNodNum(4);
    const std::int32_t ends[][2] = {{1, 2}, {2, 3}, {3, 1}, {3, 4}, {2, 4}};
    for (const auto& e : ends) b.AddEdge(e[0], e[1]);
    ASSERT_EQ(b.Build(net), 1);
    for (const NET_FLGstruct& f : {Flag(2, 4, 0.75), Flag(1, 2), Flag(2, 1, 0.5), Flag(2, 99, 0.5), Flag(2, 4, 0.25)}) {
      in.Add(f);
    }
    ASSERT_EQ(net.MapNetFlag(in, out, temp, nods), 1);
    ASSERT_EQ(temp.GetSize(), 5);
    NFinding_stru err;
    ASSERT_EQ(index.Build(net, in, out, temp, &err), 1) << err.strText;
  }
  CLocalNetwork net;
  CSmartArray<NET_FLGstruct> in;
  CSmartArray<NET_FLGstruct> out;
  CSmartArray<TEMPEDGE_MAP_EDGE> temp;
  CSmartArray<std::int32_t> nods;
  CSplitIndex index;
};

TEST_F(SplitIndexTest, ASplitEdgeGivesItsPiecesFromItsFromNode) {
  CSmartArray<NEdgePiece_stru> pieces;
  ASSERT_EQ(index.GetPieceS(4, pieces), 1);
  EXPECT_EQ(Pieces(pieces), (std::vector<Piece>{{8, 0.0, 0.25}, {9, 0.25, 0.75}, {10, 0.75, 1.0}}));
  ASSERT_EQ(index.GetPieceS(1, pieces), 1);
  EXPECT_EQ(Pieces(pieces), (std::vector<Piece>{{6, 0.0, 0.5}, {7, 0.5, 1.0}}));
  ASSERT_EQ(index.GetPieceS(2, pieces), 1);
  EXPECT_EQ(Pieces(pieces), (std::vector<Piece>{{2, 0.0, 1.0}}));
  EXPECT_TRUE(index.IsSplit(4));
  EXPECT_FALSE(index.IsSplit(2));
  EXPECT_FALSE(index.IsSplit(9));
}

TEST_F(SplitIndexTest, PiecesAndNumbersOutOfRangeHaveNoPieces) {
  CSmartArray<NEdgePiece_stru> pieces;
  pieces.Add(NEdgePiece_stru{42, 0.0, 0.0});
  EXPECT_EQ(index.GetPieceS(9, pieces), 0);
  EXPECT_EQ(index.GetPieceS(0, pieces), 0);
  EXPECT_EQ(index.GetPieceS(11, pieces), 0);
  EXPECT_EQ(Pieces(pieces), (std::vector<Piece>{{42, 0.0, 0.0}}));
}

TEST_F(SplitIndexTest, APieceLeadsBackToItsEdgeAndStretch) {
  double dFrom = -1;
  double dTo = -1;
  EXPECT_EQ(index.GetOriginal(9, &dFrom, &dTo), 4);
  EXPECT_EQ(dFrom, 0.25);
  EXPECT_EQ(dTo, 0.75);
  EXPECT_EQ(index.GetOriginal(3, &dFrom, &dTo), 3);
  EXPECT_EQ(dFrom, 0.0);
  EXPECT_EQ(dTo, 1.0);
  EXPECT_EQ(index.GetOriginal(6), 1);
  EXPECT_EQ(index.GetOriginal(0), 0);
  EXPECT_EQ(index.GetOriginal(11), 0);
}

TEST_F(SplitIndexTest, ATraceFoldsOntoTheOriginalEdges) {
  CSmartArray<std::int32_t> visited = List({9, 2, 6, 8, 6});
  CSmartArray<std::int32_t> originals;
  CSmartArray<double> fractions;
  ASSERT_EQ(index.FoldTraceResult(visited, NFoldRule::Any, originals, &fractions), 1);
  EXPECT_EQ(Elems(originals), (std::vector<std::int32_t>{1, 2, 4}));
  EXPECT_EQ(Elems(fractions), (std::vector<double>{0.5, 1.0, 0.75}));
  ASSERT_EQ(index.FoldTraceResult(visited, NFoldRule::All, originals, &fractions), 1);
  EXPECT_EQ(Elems(originals), (std::vector<std::int32_t>{2}));
  EXPECT_EQ(Elems(fractions), (std::vector<double>{1.0}));
  visited.Add(10);
  ASSERT_EQ(index.FoldTraceResult(visited, NFoldRule::All, originals), 1);
  EXPECT_EQ(Elems(originals), (std::vector<std::int32_t>{2, 4}));
}

TEST_F(SplitIndexTest, AHostTraceFoldsTheSameWay) {
  // Everything reachable downstream of node 3 (the flag nodes included).
  ASSERT_EQ(net.StartTrace(), 1);
  for (std::int32_t e : {3, 6, 7, 8, 9, 10}) ASSERT_EQ(net.TraceEdge(e), 1);
  CSmartArray<std::int32_t> tracedNods;
  CSmartArray<std::int32_t> tracedEdges;
  ASSERT_EQ(net.FetchTraceResult(tracedNods, tracedEdges), 1);
  net.EndTrace();
  CSmartArray<std::int32_t> originals;
  ASSERT_EQ(index.FoldTraceResult(tracedEdges, NFoldRule::All, originals), 1);
  EXPECT_EQ(Elems(originals), (std::vector<std::int32_t>{1, 3, 4}));
}

TEST_F(SplitIndexTest, AVisitedNumberThatIsNoEdgeLeavesTheOutputsAlone) {
  CSmartArray<std::int32_t> originals = List({77});
  CSmartArray<double> fractions;
  fractions.Add(7.0);
  EXPECT_EQ(index.FoldTraceResult(List({2, 11}), NFoldRule::Any, originals, &fractions), 0);
  EXPECT_EQ(index.FoldTraceResult(List({-2}), NFoldRule::Any, originals, &fractions), 0);
  EXPECT_EQ(Elems(originals), (std::vector<std::int32_t>{77}));
  EXPECT_EQ(Elems(fractions), (std::vector<double>{7.0}));
}

TEST_F(SplitIndexTest, ListsFromDifferentMappingsAreRefused) {
  CSplitIndex other;
  NFinding_stru err;

  CSmartArray<NET_FLGstruct> shorter;
  shorter.Copy(out);
  shorter.SetSize(shorter.GetSize() - 1);
  EXPECT_EQ(other.Build(net, in, shorter, temp, &err), 0);
  EXPECT_EQ(err.strText, "5 flags went in but 4 came out; pass the lists of one mapping");

  CSmartArray<TEMPEDGE_MAP_EDGE> swapped;
  swapped.Copy(temp);
  *swapped.GetPtr(2) = temp.GetAt(3);  // edge 4's first two pieces out of order
  *swapped.GetPtr(3) = temp.GetAt(2);
  EXPECT_EQ(other.Build(net, in, out, swapped, &err), 0);
  EXPECT_EQ(err.strText, "edge 4: its pieces do not run end to end from its from node");

  CSmartArray<TEMPEDGE_MAP_EDGE> missing;
  missing.Copy(temp);
  missing.SetSize(4);
  EXPECT_EQ(other.Build(net, in, out, missing, &err), 0);
  EXPECT_EQ(err.strText, "edge 4: 2 pieces in the map for 2 mapped flags");

  CSmartArray<TEMPEDGE_MAP_EDGE> twice;
  twice.Copy(temp);
  twice.GetPtr(1)->lTempEdgeID = 6;
  EXPECT_EQ(other.Build(net, in, out, twice, &err), 0);
  EXPECT_EQ(err.strText, "edge 6 is listed twice in the map");

  // A failed build leaves the index empty, not half made.
  ASSERT_EQ(other.Build(net, in, out, temp), 1);
  EXPECT_EQ(other.Build(net, in, shorter, temp), 0);
  EXPECT_EQ(other.GetEdgeNum(), 0);
  EXPECT_EQ(other.GetOriginal(9), 0);
}

TEST(SplitIndexEmptyTest, AMappingThatSplitNothingIndexesEveryEdgeAsItself) {
  CNetworkBuilder b;
  b.SetNodNum(2);
  b.AddEdge(1, 2);
  CLocalNetwork net;
  ASSERT_EQ(b.Build(net), 1);
  CSmartArray<NET_FLGstruct> in;
  in.Add(Flag(1, 1));
  CSmartArray<NET_FLGstruct> out;
  CSmartArray<TEMPEDGE_MAP_EDGE> temp;
  CSmartArray<std::int32_t> nods;
  ASSERT_EQ(net.MapNetFlag(in, out, temp, nods), 1);
  CSplitIndex index;
  ASSERT_EQ(index.Build(net, in, out, temp), 1);
  EXPECT_EQ(index.GetOriginal(1), 1);
  CSmartArray<std::int32_t> originals;
  ASSERT_EQ(index.FoldTraceResult(List({1}), NFoldRule::All, originals), 1);
  EXPECT_EQ(Elems(originals), (std::vector<std::int32_t>{1}));
}
