// LineSnap.h - places points on noded lines: the nearest point of the nearest
// edge, as the edge and the fraction along it that a flag on that edge takes.
// A host snapping its users' clicks or addresses onto a network builds one
// snapper from NodeLines' result and asks it once per point.
//
//   CLineSnapper snap;
//   if (snap.Build(noded, bLonLat, &err) != 1) report(err.strText);
//   NLinePlace_stru at;
//   if (snap.Snap(x, y, at, &err) == 1) flag_on_edge(at.lEdge, at.dFrac);
//
// Distances are planar: in the frame of PlanarFrame.h centred on the noded
// lines' dRefLat (metres) for lon/lat input, map units otherwise.
#ifndef KELVANE_TOOLS_LINESNAP_H
#define KELVANE_TOOLS_LINESNAP_H

#include <cstdint>
#include <vector>

#include "kelvane/tools/Finding.h"
#include "kelvane/tools/LineNoding.h"
#include "kelvane/tools/ToolsConfig.h"

namespace kelvane {
namespace tools {

// Where a point lands on the lines.
struct NLinePlace_stru {
  std::int32_t lEdge = 0;  // the nearest edge, numbered as in NNodedLines_stru (1-based); 0 before a snap
  double dFrac = 0.0;      // fraction of the edge's planar length from its from node, 0 to 1
  double dAlong = 0.0;     // planar distance along the edge from its from node
  double dLength = 0.0;    // the edge's planar length
  double dDist = 0.0;      // planar distance from the point to where it lands
};

class KELVANE_TOOLS_API CLineSnapper {
 public:
  CLineSnapper();

  // Indexes the edges of lines in a uniform grid of about one segment per
  // cell. Returns 1; 0 with the snapper empty and, when pError is given, why:
  // an edge whose points lie outside lines.pts, a coordinate that is not
  // finite, or memory running out. bLonLat: the coordinates are degrees.
  std::int32_t Build(const NNodedLines_stru& lines, bool bLonLat, NFinding_stru* pError = nullptr);

  // The nearest point of every edge to (dX, dY); of two edges equally near,
  // the lower numbered. Returns 1 with place filled; 0 with it untouched and,
  // when pError is given, why: no edges, a coordinate that is not finite or
  // (lon/lat) outside -180..180 / -90..90.
  std::int32_t Snap(double dX, double dY, NLinePlace_stru& place, NFinding_stru* pError = nullptr) const;

  // Edges indexed.
  std::int32_t GetEdgeNum() const { return m_lEdgeNum; }

 private:
  struct NSeg_stru {
    std::int32_t lEdge;  // 1-based
    double dAX, dAY;     // planar ends
    double dBX, dBY;
    double dRun;  // planar distance along the edge to the first end
  };
  void Reset();
  // Adds edge e's segments, widening pBox (min x, min y, max x, max y; pBox[4]
  // 0 while empty). Returns false with why in pError for unusable points.
  bool AddEdge(const NNodedLines_stru& lines, std::size_t e, double* pBox, NFinding_stru* pError);
  void FillCells();
  std::int64_t Cell(double d, double dMin, std::int64_t n) const;
  void Visit(std::int64_t cx, std::int64_t cy, double dX, double dY, NLinePlace_stru& best, double& dBest2) const;

  bool m_bLonLat;
  double m_dCosLat;  // the frame's, for lon/lat
  std::int32_t m_lEdgeNum;
  std::vector<double> m_length;  // per edge number (entry 0 unused): planar length
  std::vector<NSeg_stru> m_segs;
  std::vector<std::int64_t> m_cellFirst;  // per cell, row by row, and one more: first entry in m_cellSegs
  std::vector<std::int32_t> m_cellSegs;   // segment indices, cell after cell
  double m_dCell, m_dMinX, m_dMinY;
  std::int64_t m_nX, m_nY;
};

}  // namespace tools
}  // namespace kelvane

#endif  // KELVANE_TOOLS_LINESNAP_H
