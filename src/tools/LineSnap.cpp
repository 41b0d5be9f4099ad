// LineSnap.cpp - the nearest point of a set of polylines, through a grid of
// cells searched in rings outwards from the point's cell.
#include "kelvane/tools/LineSnap.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <string>

#include "kelvane/tools/PlanarFrame.h"
#include "tools/ToolsInt.h"

namespace kelvane {
namespace tools {

namespace {

void Say(NFinding_stru* pError, std::string strText, NFindingCode eCode = NFindingCode::BadArgument) {
  if (pError == nullptr) return;
  *pError = NFinding_stru();
  pError->eCode = eCode;
  pError->strText = std::move(strText);
}

// The closest point of segment a-b to p: t in [0, 1] along it, and the
// squared distance.
void Closest(double px, double py, double ax, double ay, double bx, double by, double& t, double& d2) {
  const double dx = bx - ax;
  const double dy = by - ay;
  const double len2 = dx * dx + dy * dy;
  t = len2 > 0.0 ? ((px - ax) * dx + (py - ay) * dy) / len2 : 0.0;
  t = std::min(std::max(t, 0.0), 1.0);
  const double qx = ax + dx * t;
  const double qy = ay + dy * t;
  d2 = (px - qx) * (px - qx) + (py - qy) * (py - qy);
}

// Widens the box (min x, min y, max x, max y, and 1 once set) by a point.
void Widen(double* pBox, double x, double y) {
  const bool bEmpty = pBox[4] == 0.0;
  pBox[0] = bEmpty ? x : std::min(pBox[0], x);
  pBox[1] = bEmpty ? y : std::min(pBox[1], y);
  pBox[2] = bEmpty ? x : std::max(pBox[2], x);
  pBox[3] = bEmpty ? y : std::max(pBox[3], y);
  pBox[4] = 1.0;
}

}  // namespace

CLineSnapper::CLineSnapper() { Reset(); }

void CLineSnapper::Reset() {
  m_bLonLat = false;
  m_dCosLat = 1.0;
  m_lEdgeNum = 0;
  m_length.clear();
  m_segs.clear();
  m_cellFirst.clear();
  m_cellSegs.clear();
  m_dCell = 1.0;
  m_dMinX = m_dMinY = 0.0;
  m_nX = m_nY = 1;
}

// The cell of a coordinate, clamped to the grid before any conversion, so a
// point far outside (or a huge coordinate) stays defined.
std::int64_t CLineSnapper::Cell(double d, double dMin, std::int64_t n) const {
  const double c = std::floor((d - dMin) / m_dCell);
  if (!(c >= 0.0)) return 0;
  return c >= static_cast<double>(n - 1) ? n - 1 : static_cast<std::int64_t>(c);
}

bool CLineSnapper::AddEdge(const NNodedLines_stru& lines, std::size_t e, double* pBox, NFinding_stru* pError) {
  const NNodedEdge_stru& ed = lines.edges[e];
  const std::int64_t llPts = static_cast<std::int64_t>(lines.pts.size());
  if (ed.llFirstPt < 0 || ed.lPtNum < 0 || ed.llFirstPt > llPts - ed.lPtNum) {
    Say(pError,
        Format("edge %zu: its points lie outside the lines' %lld points", e + 1, static_cast<long long>(llPts)));
    return false;
  }
  double dRun = 0.0;
  for (std::int32_t i = 0; i + 1 < ed.lPtNum; ++i) {
    const NLinePoint_stru& a = lines.pts[static_cast<std::size_t>(ed.llFirstPt + i)];
    const NLinePoint_stru& b = lines.pts[static_cast<std::size_t>(ed.llFirstPt + i + 1)];
    if (!std::isfinite(a.dX) || !std::isfinite(a.dY) || !std::isfinite(b.dX) || !std::isfinite(b.dY)) {
      Say(pError, Format("edge %zu: a coordinate is not a finite number", e + 1));
      return false;
    }
    NSeg_stru s{static_cast<std::int32_t>(e + 1), a.dX, a.dY, b.dX, b.dY, dRun};
    if (m_bLonLat) {
      LonLatToFrame(a.dX, a.dY, m_dCosLat, s.dAX, s.dAY);
      LonLatToFrame(b.dX, b.dY, m_dCosLat, s.dBX, s.dBY);
    }
    dRun += std::hypot(s.dBX - s.dAX, s.dBY - s.dAY);
    Widen(pBox, s.dAX, s.dAY);
    Widen(pBox, s.dBX, s.dBY);
    m_segs.push_back(s);
  }
  m_length[e + 1] = dRun;
  return true;
}

// Two passes over the segments: count per cell, then place.
void CLineSnapper::FillCells() {
  m_cellFirst.assign(static_cast<std::size_t>(m_nX * m_nY) + 1, 0);
  std::vector<std::int64_t> fill;
  for (int pass = 0; pass < 2; ++pass) {
    if (pass == 1) {
      for (std::size_t c = 1; c < m_cellFirst.size(); ++c) m_cellFirst[c] += m_cellFirst[c - 1];
      m_cellSegs.resize(static_cast<std::size_t>(m_cellFirst.back()));
      fill.assign(m_cellFirst.begin(), m_cellFirst.end() - 1);
    }
    for (std::size_t k = 0; k < m_segs.size(); ++k) {
      const NSeg_stru& s = m_segs[k];
      const std::int64_t x1 = Cell(std::max(s.dAX, s.dBX), m_dMinX, m_nX);
      const std::int64_t y1 = Cell(std::max(s.dAY, s.dBY), m_dMinY, m_nY);
      for (std::int64_t cx = Cell(std::min(s.dAX, s.dBX), m_dMinX, m_nX); cx <= x1; ++cx)
        for (std::int64_t cy = Cell(std::min(s.dAY, s.dBY), m_dMinY, m_nY); cy <= y1; ++cy) {
          const std::size_t c = static_cast<std::size_t>(cy * m_nX + cx);
          if (pass == 0) {
            ++m_cellFirst[c + 1];
          } else {
            m_cellSegs[static_cast<std::size_t>(fill[c]++)] = static_cast<std::int32_t>(k);
          }
        }
    }
  }
}

std::int32_t CLineSnapper::Build(const NNodedLines_stru& lines, bool bLonLat, NFinding_stru* pError) {
  Reset();
  try {
    m_bLonLat = bLonLat;
    m_dCosLat = bLonLat ? FrameCosLat(lines.dRefLat) : 1.0;
    m_length.assign(lines.edges.size() + 1, 0.0);
    double box[5] = {0.0, 0.0, 0.0, 0.0, 0.0};
    for (std::size_t e = 0; e < lines.edges.size(); ++e) {
      if (!AddEdge(lines, e, box, pError)) {
        Reset();
        return 0;
      }
    }
    const double dSpan = std::max(std::max(box[2] - box[0], box[3] - box[1]), 1e-9);
    if (!std::isfinite(dSpan)) {
      Reset();
      Say(pError, "the lines span farther than a double holds");
      return 0;
    }
    m_lEdgeNum = static_cast<std::int32_t>(lines.edges.size());
    const double dSide = std::max(1.0, std::ceil(std::sqrt(static_cast<double>(m_segs.size()))));
    m_dCell = dSpan / dSide;
    m_dMinX = box[0];
    m_dMinY = box[1];
    m_nX = std::min<std::int64_t>(static_cast<std::int64_t>((box[2] - box[0]) / m_dCell) + 1,
                                  static_cast<std::int64_t>(dSide) + 1);
    m_nY = std::min<std::int64_t>(static_cast<std::int64_t>((box[3] - box[1]) / m_dCell) + 1,
                                  static_cast<std::int64_t>(dSide) + 1);
    FillCells();
  } catch (const std::bad_alloc&) {
    Reset();
    Say(pError, "out of memory indexing the lines", NFindingCode::NoMemory);
    return 0;
  }
  return 1;
}

void CLineSnapper::Visit(std::int64_t cx, std::int64_t cy, double dX, double dY, NLinePlace_stru& best,
                         double& dBest2) const {
  if (cx < 0 || cy < 0 || cx >= m_nX || cy >= m_nY) return;
  const std::size_t c = static_cast<std::size_t>(cy * m_nX + cx);
  for (std::int64_t i = m_cellFirst[c]; i < m_cellFirst[c + 1]; ++i) {
    const NSeg_stru& s = m_segs[static_cast<std::size_t>(m_cellSegs[static_cast<std::size_t>(i)])];
    double t = 0.0;
    double d2 = 0.0;
    Closest(dX, dY, s.dAX, s.dAY, s.dBX, s.dBY, t, d2);
    if (best.lEdge == 0 || d2 < dBest2 || (d2 == dBest2 && s.lEdge < best.lEdge)) {
      dBest2 = d2;
      best.lEdge = s.lEdge;
      best.dAlong = s.dRun + t * std::hypot(s.dBX - s.dAX, s.dBY - s.dAY);
    }
  }
}

std::int32_t CLineSnapper::Snap(double dX, double dY, NLinePlace_stru& place, NFinding_stru* pError) const {
  if (!std::isfinite(dX) || !std::isfinite(dY)) {
    Say(pError, "the point's coordinates are not finite numbers");
    return 0;
  }
  if (m_bLonLat && (dX < -180.0 || dX > 180.0 || dY < -90.0 || dY > 90.0)) {
    Say(pError, Format("longitude %g, latitude %g lies outside -180..180, -90..90", dX, dY));
    return 0;
  }
  if (m_segs.empty()) {
    Say(pError, "the lines have no edges to snap to");
    return 0;
  }
  double px = dX;
  double py = dY;
  if (m_bLonLat) LonLatToFrame(dX, dY, m_dCosLat, px, py);
  const std::int64_t cx0 = Cell(px, m_dMinX, m_nX);
  const std::int64_t cy0 = Cell(py, m_dMinY, m_nY);
  // Every point z of the grid is at least as far from p as from p's nearest
  // point q of the grid's box: |p - z|^2 >= |p - q|^2 + |q - z|^2. So once
  // the best distance is within what ring r covers, no ring farther out can
  // do better.
  const double qx = std::min(std::max(px, m_dMinX), m_dMinX + static_cast<double>(m_nX) * m_dCell);
  const double qy = std::min(std::max(py, m_dMinY), m_dMinY + static_cast<double>(m_nY) * m_dCell);
  const double dOutside2 = (px - qx) * (px - qx) + (py - qy) * (py - qy);
  NLinePlace_stru best;
  double dBest2 = std::numeric_limits<double>::infinity();
  const std::int64_t rMax = std::max(m_nX, m_nY);
  for (std::int64_t r = 0; r <= rMax; ++r) {
    for (std::int64_t cy = cy0 - r; cy <= cy0 + r; ++cy) {
      // The whole top and bottom rows of the ring, only the two ends of the others.
      const std::int64_t step = (cy == cy0 - r || cy == cy0 + r) ? 1 : std::max<std::int64_t>(2 * r, 1);
      for (std::int64_t cx = cx0 - r; cx <= cx0 + r; cx += step) Visit(cx, cy, px, py, best, dBest2);
    }
    const double dCovered = static_cast<double>(r) * m_dCell;
    if (best.lEdge != 0 && dBest2 <= dOutside2 + dCovered * dCovered) break;
  }
  best.dLength = m_length[static_cast<std::size_t>(best.lEdge)];
  best.dFrac = best.dLength > 0.0 ? std::min(best.dAlong / best.dLength, 1.0) : 0.0;
  best.dDist = std::sqrt(dBest2);
  place = best;
  return 1;
}

}  // namespace tools
}  // namespace kelvane
