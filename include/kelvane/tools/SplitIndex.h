// SplitIndex.h - after flag mapping, which pieces an edge was cut into and
// which edge a piece belongs to, so that a host can report a trace in the
// edges its users know.
#ifndef KELVANE_TOOLS_SPLITINDEX_H
#define KELVANE_TOOLS_SPLITINDEX_H

#include <cstdint>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "kelvane/tools/Finding.h"
#include "kelvane/tools/ToolsConfig.h"

namespace kelvane {
namespace tools {

// One piece of a split edge: its number and the stretch of the original it
// covers, as fractions from the original's from node.
struct NEdgePiece_stru {
  std::int32_t lEdge;
  double dFrom;
  double dTo;
};

// How a split edge counts as visited when only some of its pieces were.
enum class NFoldRule : char {
  All = 0,  // every piece visited
  Any = 1,  // at least one piece visited
};

class KELVANE_TOOLS_API CSplitIndex {
 public:
  CSplitIndex();

  // Indexes one MapNetFlag call on net: `in` is the flag list it was given
  // (its positions give the stretches), `out` and `tempEdges` what it
  // returned. Returns 1. Returns 0, with the index empty and, when pError is
  // given, the first thing that does not fit: lists of different lengths, a
  // map line naming no edge, a piece listed twice, an edge whose pieces do
  // not match its mapped flags or do not run end to end from its from node,
  // or memory running out.
  std::int32_t Build(const CLocalNetwork& net, const CSmartArray<NET_FLGstruct>& in,
                     const CSmartArray<NET_FLGstruct>& out, const CSmartArray<TEMPEDGE_MAP_EDGE>& tempEdges,
                     NFinding_stru* pError = nullptr);

  // The pieces of lEdge in order from its from node. An edge that was not
  // split is its own one piece, 0 to 1. Returns 1; 0 with the list untouched
  // for a number that is not an edge of the indexed network, or is a piece.
  std::int32_t GetPieceS(std::int32_t lEdge, CSmartArray<NEdgePiece_stru>& pieces) const;

  // The edge that lEdge was cut from, and the stretch of it that lEdge
  // covers; lEdge itself, 0 to 1, for an edge that is not a piece. 0 for a
  // number that is not an edge of the indexed network.
  std::int32_t GetOriginal(std::int32_t lEdge, double* pFrom = nullptr, double* pTo = nullptr) const;

  // Whether lEdge was split by the indexed call.
  bool IsSplit(std::int32_t lEdge) const;

  // Turns a list of visited edges (a trace result) into the edges that were
  // there before mapping, ascending, each once: a split edge when its pieces
  // were visited as eRule says (its own number in the list is not looked at),
  // any other edge when it was visited. pFractions, when given, receives for
  // each the share of it that visited pieces cover (1 for an edge not split).
  // Returns 1; 0 with the outputs untouched when a number names no edge
  // (OutOfRange, the edge named) or memory runs out.
  std::int32_t FoldTraceResult(const std::vector<std::int32_t>& visited, NFoldRule eRule,
                               std::vector<std::int32_t>& originals, std::vector<double>* pFractions = nullptr,
                               NFinding_stru* pError = nullptr) const;
  // The same on the core's lists, as 1.x hosts call it.
  std::int32_t FoldTraceResult(const CSmartArray<std::int32_t>& visited, NFoldRule eRule,
                               CSmartArray<std::int32_t>& originals, CSmartArray<double>* pFractions = nullptr) const;

  // Edges of the network when it was indexed (pieces included).
  std::int32_t GetEdgeNum() const { return m_lEdgeNum; }

 private:
  struct NGroup_stru {
    std::int32_t lEdge;   // the split edge
    std::int32_t lFirst;  // its first piece in m_pieces
    std::int32_t lCount;  // its number of pieces
  };

  void Reset();
  std::int32_t Index(const CLocalNetwork& net, const CSmartArray<NET_FLGstruct>& in,
                     const CSmartArray<NET_FLGstruct>& out, const CSmartArray<TEMPEDGE_MAP_EDGE>& tempEdges,
                     NFinding_stru* pError);
  // Indexes the pieces in map lines k to kEnd - 1, one edge's, meeting at pos.
  bool AddGroup(const CLocalNetwork& net, const CSmartArray<TEMPEDGE_MAP_EDGE>& tempEdges, std::int32_t k,
                std::int32_t kEnd, const std::vector<double>& pos, NFinding_stru& err);

  std::int32_t m_lEdgeNum;
  // Per edge number (entry 0 unused): for a split edge 1 + its group index,
  // for a piece -(1 + its index in m_pieces), else 0.
  std::vector<std::int32_t> m_link;
  std::vector<NGroup_stru> m_groups;
  std::vector<NEdgePiece_stru> m_pieces;   // group after group, each from its from node
  std::vector<std::int32_t> m_pieceGroup;  // group index of each entry of m_pieces
};

}  // namespace tools
}  // namespace kelvane

// The names of the 1.x toolkit at global scope, deprecated.
#define KELVANE_TOOLS_SPLITINDEX_DECLARED
#if !defined(KELVANE_TOOLS_NO_GLOBAL_NAMES)
#include "kelvane/tools/GlobalNames.h"
#endif

#endif  // KELVANE_TOOLS_SPLITINDEX_H
