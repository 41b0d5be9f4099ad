// FlagSplit.h - the work below flag mapping's three phases: ordering the flags
// of one edge, scaling a weight to a piece, and splitting one edge.
// Private to the library; never installed.
#ifndef KELVANE_SRC_FLAGS_FLAGSPLIT_H
#define KELVANE_SRC_FLAGS_FLAGSPLIT_H

#include <cstdint>
#include <vector>

#include "kelvane/LocalNetwork.h"

namespace kelvane {

// One edge flag while its edge is ordered and split.
struct FlagSortEntry {
  double dPos;          // fraction along the edge from its from node
  std::int32_t lIndex;  // index of the flag in the caller's input list
  std::int32_t lEdge;   // the edge it lies on (fills what would be padding)
};

// Orders entries[0 .. count - 1] by position with a partition-exchange sort.
// Not stable: flags at equal positions end in the order its exchanges leave
// them, and hosts rely on that order (it decides which flag gets which node),
// so no other sort may stand in for it. REQUIRES: no position is NaN.
void SortFlagsByPos(FlagSortEntry* entries, std::int32_t count);

// d truncated toward zero into 32 bits; beyond the range the nearest end,
// NaN gives 0.
std::int32_t SaturateToInt32(double d);

// d rounded to float to nearest; beyond the float range +-infinity, as IEEE
// rounding gives, without an out-of-range conversion.
float RoundToFloat(double d);

// A piece's share of a weight: the record copied whole, then the value in the
// form its type byte names multiplied by dFraction. Other types are copied.
NWeightVal_stru ScaleWeight(const NWeightVal_stru& wgt, double dFraction);

// Splits flagged edges one at a time. Each split either completes or, when
// memory runs out, throws std::bad_alloc having changed nothing: every
// allocation it needs is made before the first change to the network.
class CEdgeSplitter {
 public:
  explicit CEdgeSplitter(CLocalNetwork& net) : m_net(net) {}

  // Room for the working lists of an edge with up to lMaxFlags flags. Throws
  // std::bad_alloc.
  void Reserve(std::int32_t lMaxFlags);

  // Cuts lEdge at flags[0 .. count - 1], sorted by position: one node per
  // flag, count + 1 pieces, connection lists rewired, lEdge marked deleted.
  // The nodes go to newNods, one per flag in the order of flags, and the
  // pieces to tempEdges, in the order made.
  // REQUIRES: lEdge is a live edge of the network whose end nodes exist; room
  // for the nodes and pieces was made with AppendElemS; the three lists have
  // the capacity (so their Add cannot throw); count <= the reserved size.
  void Split(std::int32_t lEdge, const FlagSortEntry* flags, std::int32_t count,
             CSmartArray<TEMPEDGE_MAP_EDGE>& tempEdges, CSmartArray<std::int32_t>& newNods);

 private:
  CLocalNetwork& m_net;
  std::vector<std::int32_t*> m_lists;  // the new nodes' connection lists, made first
  std::vector<std::int32_t> m_nods;    // new nodes of the edge, in order made
  std::vector<std::int32_t> m_pieces;  // pieces of the edge, from node to to node
};

}  // namespace kelvane

#endif  // KELVANE_SRC_FLAGS_FLAGSPLIT_H
