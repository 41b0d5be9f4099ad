// SplitIndex.cpp - the pieces of each split edge, rebuilt from one flag
// mapping's lists. The map gives the pieces of an edge in order from its from
// node; the positions of the flags that were mapped give where they meet.
#include "kelvane/tools/SplitIndex.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <vector>

#include "tools/AnalysisInt.h"
#include "tools/ToolsInt.h"

namespace kelvane {
namespace tools {

namespace {

struct NMapped_stru {
  std::int32_t lEdge;
  double dPos;
};

}  // namespace

CSplitIndex::CSplitIndex() : m_lEdgeNum(0) {}

void CSplitIndex::Reset() {
  m_lEdgeNum = 0;
  m_link.clear();
  m_groups.clear();
  m_pieces.clear();
  m_pieceGroup.clear();
}

std::int32_t CSplitIndex::Build(const CLocalNetwork& net, const CSmartArray<NET_FLGstruct>& in,
                                const CSmartArray<NET_FLGstruct>& out,
                                const CSmartArray<TEMPEDGE_MAP_EDGE>& tempEdges, NFinding_stru* pError) {
  try {
    return Index(net, in, out, tempEdges, pError);
  } catch (const std::bad_alloc&) {
    Reset();
    if (pError != nullptr) *pError = MakeFinding(NFindingCode::NoMemory, NElemKind::Network, 0, "out of memory indexing the pieces");
    return 0;
  }
}

namespace {

// The edge flags that mapping turned into node flags, by edge and position.
bool CollectMapped(const CSmartArray<NET_FLGstruct>& in, const CSmartArray<NET_FLGstruct>& out,
                   std::int32_t nEdges, std::vector<NMapped_stru>& mapped, NFinding_stru& err) {
  if (in.GetSize() != out.GetSize()) {
    err = MakeFinding(NFindingCode::BadArgument, NElemKind::Network, 0,
                      Format("%d flags went in but %d came out; pass the lists of one mapping", in.GetSize(),
                             out.GetSize()));
    return false;
  }
  for (std::int32_t j = 0; j < in.GetSize(); ++j) {
    const NET_FLGstruct f = in.GetAt(j);
    if (f.cFlgType != 2 || out.GetAt(j).cFlgType != 1) continue;
    if (f.lElemID < 1 || f.lElemID > nEdges) {
      err = MakeFinding(NFindingCode::OutOfRange, NElemKind::Flag, j, Format("flag %d: edge %d is not an edge", j, f.lElemID));
      return false;
    }
    mapped.push_back(NMapped_stru{f.lElemID, f.dPos});
  }
  std::sort(mapped.begin(), mapped.end(), [](const NMapped_stru& a, const NMapped_stru& b) {
    return a.lEdge != b.lEdge ? a.lEdge < b.lEdge : a.dPos < b.dPos;
  });
  return true;
}

// The pieces in lines k to kEnd - 1 run end to end from lEdge's from node to
// its to node. REQUIRES: lEdge and every piece have end nodes.
bool CheckChain(const CLocalNetwork& net, const CSmartArray<TEMPEDGE_MAP_EDGE>& tempEdges, std::int32_t k,
                std::int32_t kEnd, std::int32_t lEdge, NFinding_stru& err) {
  std::int32_t lAt = net.m_pEdgeNod[lEdge - 1].lFromNod;
  for (std::int32_t i = k; i < kEnd; ++i) {
    const NEdgeNod_stru& ends = net.m_pEdgeNod[tempEdges.GetAt(i).lTempEdgeID - 1];
    if (ends.lFromNod != lAt) {
      err = MakeFinding(NFindingCode::BadArgument, NElemKind::Edge, lEdge,
                        Format("edge %d: its pieces do not run end to end from its from node", lEdge));
      return false;
    }
    lAt = ends.lToNod;
  }
  if (lAt != net.m_pEdgeNod[lEdge - 1].lToNod) {
    err = MakeFinding(NFindingCode::BadArgument, NElemKind::Edge, lEdge, Format("edge %d: its last piece does not reach its to node", lEdge));
    return false;
  }
  return true;
}

}  // namespace

std::int32_t CSplitIndex::Index(const CLocalNetwork& net, const CSmartArray<NET_FLGstruct>& in,
                                const CSmartArray<NET_FLGstruct>& out,
                                const CSmartArray<TEMPEDGE_MAP_EDGE>& tempEdges, NFinding_stru* pError) {
  Reset();
  NFinding_stru err;
  const std::int32_t nEdges = net.m_lEdgeNum;
  std::vector<NMapped_stru> mapped;
  bool ok = true;
  if (nEdges < 0) {
    err = MakeFinding(NFindingCode::BadArgument, NElemKind::Network, 0, Format("the edge count %d is negative", nEdges));
    ok = false;
  }
  ok = ok && CollectMapped(in, out, nEdges, mapped, err);
  if (ok) {
    m_lEdgeNum = nEdges;
    m_link.assign(static_cast<std::size_t>(nEdges) + 1, 0);
    m_pieces.reserve(static_cast<std::size_t>(tempEdges.GetSize()));
  }

  // Line by line, one group of lines per split edge. Its mapped flags'
  // positions, sorted, are where its pieces meet.
  std::size_t nMappedUsed = 0;
  std::vector<double> pos;
  const std::int32_t nLines = tempEdges.GetSize();
  for (std::int32_t k = 0; ok && k < nLines;) {
    const std::int32_t lEdge = tempEdges.GetAt(k).lEdgeID;
    std::int32_t kEnd = k;
    while (kEnd < nLines && tempEdges.GetAt(kEnd).lEdgeID == lEdge) ++kEnd;
    pos.clear();
    const auto range = std::equal_range(mapped.begin(), mapped.end(), NMapped_stru{lEdge, 0.0},
                                        [](const NMapped_stru& a, const NMapped_stru& b) { return a.lEdge < b.lEdge; });
    for (auto it = range.first; it != range.second; ++it) pos.push_back(it->dPos);
    nMappedUsed += pos.size();
    ok = AddGroup(net, tempEdges, k, kEnd, pos, err) && CheckChain(net, tempEdges, k, kEnd, lEdge, err);
    k = kEnd;
  }
  if (ok && nMappedUsed != mapped.size()) {
    err = MakeFinding(NFindingCode::BadArgument, NElemKind::Network, 0,
                      "some mapped flags have no pieces in the map; pass the lists of one mapping");
    ok = false;
  }
  if (!ok) {
    Reset();
    if (pError != nullptr) *pError = err;
  }
  return ok ? 1 : 0;
}

bool CSplitIndex::AddGroup(const CLocalNetwork& net, const CSmartArray<TEMPEDGE_MAP_EDGE>& tempEdges,
                           std::int32_t k, std::int32_t kEnd, const std::vector<double>& pos, NFinding_stru& err) {
  const std::int32_t lEdge = tempEdges.GetAt(k).lEdgeID;
  const std::int64_t nEnds = std::min<std::int64_t>(m_lEdgeNum, Entries(net.m_pEdgeNod));
  if (lEdge < 1 || lEdge > nEnds) {
    err = MakeFinding(NFindingCode::OutOfRange, NElemKind::Edge, lEdge, Format("edge %d is not an edge with end nodes", lEdge));
    return false;
  }
  if (m_link[static_cast<std::size_t>(lEdge)] != 0) {
    err = MakeFinding(NFindingCode::BadArgument, NElemKind::Edge, lEdge, Format("edge %d: its pieces are not listed together", lEdge));
    return false;
  }
  const auto nFlags = static_cast<std::int32_t>(pos.size());
  if (kEnd - k != nFlags + 1) {
    err = MakeFinding(NFindingCode::BadArgument, NElemKind::Edge, lEdge,
                      Format("edge %d: %d pieces in the map for %d mapped flags", lEdge, kEnd - k, nFlags));
    return false;
  }
  const auto g = static_cast<std::int32_t>(m_groups.size());
  m_groups.push_back(NGroup_stru{lEdge, static_cast<std::int32_t>(m_pieces.size()), kEnd - k});
  m_link[static_cast<std::size_t>(lEdge)] = g + 1;
  for (std::int32_t i = 0; i <= nFlags; ++i) {
    const std::int32_t lPiece = tempEdges.GetAt(k + i).lTempEdgeID;
    if (lPiece < 1 || lPiece > nEnds) {
      err = MakeFinding(NFindingCode::OutOfRange, NElemKind::Edge, lEdge, Format("edge %d: piece %d is not an edge", lEdge, lPiece));
      return false;
    }
    if (m_link[static_cast<std::size_t>(lPiece)] != 0) {
      err = MakeFinding(NFindingCode::BadArgument, NElemKind::Edge, lPiece, Format("edge %d is listed twice in the map", lPiece));
      return false;
    }
    const std::size_t at = static_cast<std::size_t>(i);
    const double dFrom = i == 0 ? 0.0 : pos[at - 1];
    const double dTo = i == nFlags ? 1.0 : pos[at];
    m_link[static_cast<std::size_t>(lPiece)] = -(static_cast<std::int32_t>(m_pieces.size()) + 1);
    m_pieces.push_back(NEdgePiece_stru{lPiece, dFrom, dTo});
    m_pieceGroup.push_back(g);
  }
  return true;
}

bool CSplitIndex::IsSplit(std::int32_t lEdge) const {
  return lEdge >= 1 && lEdge <= m_lEdgeNum && m_link[static_cast<std::size_t>(lEdge)] > 0;
}

std::int32_t CSplitIndex::GetPieceS(std::int32_t lEdge, CSmartArray<NEdgePiece_stru>& pieces) const {
  if (lEdge < 1 || lEdge > m_lEdgeNum) return 0;
  const std::int32_t link = m_link[static_cast<std::size_t>(lEdge)];
  if (link < 0) return 0;
  pieces.RemoveAll();
  if (link == 0) {
    pieces.Add(NEdgePiece_stru{lEdge, 0.0, 1.0});
    return 1;
  }
  const NGroup_stru& g = m_groups[static_cast<std::size_t>(link) - 1];
  for (std::int32_t i = 0; i < g.lCount; ++i) pieces.Add(m_pieces[static_cast<std::size_t>(g.lFirst) + static_cast<std::size_t>(i)]);
  return 1;
}

std::int32_t CSplitIndex::GetOriginal(std::int32_t lEdge, double* pFrom, double* pTo) const {
  if (lEdge < 1 || lEdge > m_lEdgeNum) return 0;
  const std::int32_t link = m_link[static_cast<std::size_t>(lEdge)];
  double dFrom = 0.0;
  double dTo = 1.0;
  std::int32_t lOriginal = lEdge;
  if (link < 0) {
    const std::size_t i = static_cast<std::size_t>(-link) - 1;
    dFrom = m_pieces[i].dFrom;
    dTo = m_pieces[i].dTo;
    lOriginal = m_groups[static_cast<std::size_t>(m_pieceGroup[i])].lEdge;
  }
  if (pFrom != nullptr) *pFrom = dFrom;
  if (pTo != nullptr) *pTo = dTo;
  return lOriginal;
}

std::int32_t CSplitIndex::FoldTraceResult(const std::vector<std::int32_t>& visited, NFoldRule eRule,
                                          std::vector<std::int32_t>& originals, std::vector<double>* pFractions,
                                          NFinding_stru* pError) const {
  try {
    std::vector<unsigned char> seen(static_cast<std::size_t>(m_lEdgeNum) + 1, 0);
    for (std::int32_t e : visited) {
      if (e < 1 || e > m_lEdgeNum) {
        return Refuse(pError, MakeFinding(NFindingCode::OutOfRange, NElemKind::Edge, e,
                                          Format("edge %d of the trace result is not an edge of the indexed network "
                                                 "(1 to %d)", e, m_lEdgeNum)));
      }
      seen[static_cast<std::size_t>(e)] = 1;
    }
    // Filled aside and swapped in, so running out of memory leaves the
    // outputs as they were.
    std::vector<std::int32_t> edges;
    std::vector<double> fractions;
    for (const std::int32_t e : OneTo(m_lEdgeNum)) {
      const std::int32_t link = m_link[static_cast<std::size_t>(e)];
      if (link < 0) continue;  // a piece: counted with its edge
      if (link == 0) {
        if (seen[static_cast<std::size_t>(e)] == 0) continue;
        edges.push_back(e);
        fractions.push_back(1.0);
        continue;
      }
      const NGroup_stru& g = m_groups[static_cast<std::size_t>(link) - 1];
      std::int32_t nSeen = 0;
      double dShare = 0.0;
      for (std::int32_t i = 0; i < g.lCount; ++i) {
        const NEdgePiece_stru& p = m_pieces[static_cast<std::size_t>(g.lFirst) + static_cast<std::size_t>(i)];
        if (seen[static_cast<std::size_t>(p.lEdge)] == 0) continue;
        ++nSeen;
        dShare += p.dTo - p.dFrom;
      }
      const bool bCounts = eRule == NFoldRule::Any ? nSeen > 0 : nSeen == g.lCount;
      if (!bCounts) continue;
      edges.push_back(e);
      fractions.push_back(dShare);
    }
    originals.swap(edges);
    if (pFractions != nullptr) pFractions->swap(fractions);
    return 1;
  } catch (const std::bad_alloc&) {
    return RefuseNoMemory(pError, "out of memory folding the trace result");
  }
}

std::int32_t CSplitIndex::FoldTraceResult(const CSmartArray<std::int32_t>& visited, NFoldRule eRule,
                                          CSmartArray<std::int32_t>& originals,
                                          CSmartArray<double>* pFractions) const {
  try {
    std::vector<std::int32_t> in(static_cast<std::size_t>(std::max(visited.GetSize(), 0)));
    for (std::size_t i = 0; i < in.size(); ++i) in[i] = visited.GetAt(static_cast<std::int32_t>(i));
    std::vector<std::int32_t> edges;
    std::vector<double> fractions;
    if (FoldTraceResult(in, eRule, edges, &fractions) != 1) return 0;
    CSmartArray<std::int32_t> outEdges;
    CSmartArray<double> outFractions;
    for (std::size_t i = 0; i < edges.size(); ++i) {
      if (outEdges.Add(edges[i]) < 0 || outFractions.Add(fractions[i]) < 0) return 0;
    }
    originals.Swap(outEdges);
    if (pFractions != nullptr) pFractions->Swap(outFractions);
    return 1;
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

}  // namespace tools
}  // namespace kelvane
