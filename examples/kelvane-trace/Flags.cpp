// Flags.cpp - snapping, checking and mapping of flags and barriers.
#include "Flags.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <limits>

#include "kelvane/tools/NetworkCheck.h"

using namespace kelvane::tools;

namespace {

// The network's segments in a uniform grid of about one segment per cell, so
// that snapping a flag looks at the cells around it instead of every segment.
class CSegmentGrid {
 public:
  explicit CSegmentGrid(const NDemoNet& demo) {
    double dMinX = 0.0, dMinY = 0.0, dMaxX = 0.0, dMaxY = 0.0;
    for (std::size_t e = 0; e < demo.edges.size(); ++e) {
      const std::vector<NPoint>& pts = demo.edges[e].pts;
      double dRun = 0.0;
      for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
        NSeg s{static_cast<std::int32_t>(e), demo.proj.Apply(pts[i]), demo.proj.Apply(pts[i + 1]), dRun};
        dRun += std::hypot(s.b.dX - s.a.dX, s.b.dY - s.a.dY);
        const bool bFirst = m_segs.empty();
        dMinX = bFirst ? std::min(s.a.dX, s.b.dX) : std::min(dMinX, std::min(s.a.dX, s.b.dX));
        dMinY = bFirst ? std::min(s.a.dY, s.b.dY) : std::min(dMinY, std::min(s.a.dY, s.b.dY));
        dMaxX = bFirst ? std::max(s.a.dX, s.b.dX) : std::max(dMaxX, std::max(s.a.dX, s.b.dX));
        dMaxY = bFirst ? std::max(s.a.dY, s.b.dY) : std::max(dMaxY, std::max(s.a.dY, s.b.dY));
        m_segs.push_back(s);
      }
    }
    const double dSpan = std::max(std::max(dMaxX - dMinX, dMaxY - dMinY), 1e-9);
    const double dSide = std::max(1.0, std::ceil(std::sqrt(static_cast<double>(m_segs.size()))));
    m_dCell = dSpan / dSide;
    m_dMinX = dMinX;
    m_dMinY = dMinY;
    m_nX = static_cast<std::int64_t>((dMaxX - dMinX) / m_dCell) + 1;
    m_nY = static_cast<std::int64_t>((dMaxY - dMinY) / m_dCell) + 1;
    m_cells.resize(static_cast<std::size_t>(m_nX * m_nY));
    for (std::size_t k = 0; k < m_segs.size(); ++k) {
      const NSeg& s = m_segs[k];
      for (std::int64_t cx = CellX(std::min(s.a.dX, s.b.dX)); cx <= CellX(std::max(s.a.dX, s.b.dX)); ++cx)
        for (std::int64_t cy = CellY(std::min(s.a.dY, s.b.dY)); cy <= CellY(std::max(s.a.dY, s.b.dY)); ++cy)
          m_cells[static_cast<std::size_t>(cy * m_nX + cx)].push_back(static_cast<std::int32_t>(k));
    }
  }

  // The nearest point of the network to p: edge index, planar distance along
  // the edge and squared distance. False when there are no segments.
  bool Nearest(const NPoint& p, std::size_t& edge, double& dAlong, double& dDist2) const {
    if (m_segs.empty()) return false;
    dDist2 = std::numeric_limits<double>::infinity();
    const std::int64_t px = CellX(p.dX), py = CellY(p.dY);
    // A point outside the grid is searched from the nearest grid cell. Every
    // point z of the grid is at least as far from p as from p's nearest point
    // q of the grid's box: |p - z|^2 >= |p - q|^2 + |q - z|^2.
    const double qx = std::min(std::max(p.dX, m_dMinX), m_dMinX + static_cast<double>(m_nX) * m_dCell);
    const double qy = std::min(std::max(p.dY, m_dMinY), m_dMinY + static_cast<double>(m_nY) * m_dCell);
    const double dOutside2 = (p.dX - qx) * (p.dX - qx) + (p.dY - qy) * (p.dY - qy);
    // Rings of cells around that cell; once the best distance is within what
    // ring r already covers, no cell farther out can do better.
    const std::int64_t rMax = std::max(m_nX, m_nY);
    for (std::int64_t r = 0; r <= rMax; ++r) {
      for (std::int64_t cy = py - r; cy <= py + r; ++cy) {
        // The whole top and bottom rows of the ring, only the two ends of the others.
        const std::int64_t step = (cy == py - r || cy == py + r) ? 1 : std::max<std::int64_t>(2 * r, 1);
        for (std::int64_t cx = px - r; cx <= px + r; cx += step) {
          if (cx < 0 || cy < 0 || cx >= m_nX || cy >= m_nY) continue;
          for (std::int32_t k : m_cells[static_cast<std::size_t>(cy * m_nX + cx)]) {
            const NSeg& s = m_segs[static_cast<std::size_t>(k)];
            double t = 0.0, d2 = 0.0;
            ClosestOnSegment(p, s.a, s.b, t, d2);
            if (d2 < dDist2 || (d2 == dDist2 && static_cast<std::size_t>(s.lEdge) < edge)) {
              dDist2 = d2;
              edge = static_cast<std::size_t>(s.lEdge);
              dAlong = s.dRun + t * std::hypot(s.b.dX - s.a.dX, s.b.dY - s.a.dY);
            }
          }
        }
      }
      const double dCovered = static_cast<double>(r) * m_dCell;
      if (dDist2 <= dOutside2 + dCovered * dCovered) break;
    }
    return true;
  }

 private:
  struct NSeg {
    std::int32_t lEdge;  // demo edge index
    NPoint a, b;         // planar
    double dRun;         // planar distance along the edge to a
  };
  std::int64_t CellX(double x) const {
    return std::min(m_nX - 1, std::max<std::int64_t>(0, static_cast<std::int64_t>(std::floor((x - m_dMinX) / m_dCell))));
  }
  std::int64_t CellY(double y) const {
    return std::min(m_nY - 1, std::max<std::int64_t>(0, static_cast<std::int64_t>(std::floor((y - m_dMinY) / m_dCell))));
  }

  std::vector<NSeg> m_segs;
  std::vector<std::vector<std::int32_t>> m_cells;
  double m_dCell = 1.0, m_dMinX = 0.0, m_dMinY = 0.0;
  std::int64_t m_nX = 1, m_nY = 1;
};

}  // namespace

std::string FormatDistance(double d, const std::string& strUnit) {
  char buf[64];
  if (strUnit == "m" && d >= 10000.0 && d < 1e12) {
    std::snprintf(buf, sizeof buf, "%.1f km", d / 1000.0);
  } else if (d >= 1e12) {
    std::snprintf(buf, sizeof buf, "%.3g %s", d, strUnit.c_str());
  } else {
    std::snprintf(buf, sizeof buf, "%.1f %s", d, strUnit.c_str());
  }
  return buf;
}

std::string FlagName(const NFlagRequest& req) {
  const std::string& s = req.strLabel;
  if (s.compare(0, 5, "flag ") == 0 || s.compare(0, 8, "barrier ") == 0 || s.compare(0, 6, "route ") == 0 ||
      s.compare(0, 6, "valve ") == 0) {
    return s;
  }
  return (req.bBarrier ? "barrier " : "flag ") + s;
}

void PlaceFlags(const NDemoNet& demo, double dTolerance, std::vector<NPlacedFlag>& flags) {
  PlaceFlags(demo, dTolerance, std::numeric_limits<double>::infinity(), "", flags);
}

void PlaceFlags(const NDemoNet& demo, double dTolerance, double dMaxSnap, const std::string& strUnit,
                std::vector<NPlacedFlag>& flags) {
  bool bAnyPoint = false;
  for (const NPlacedFlag& f : flags) bAnyPoint = bAnyPoint || f.req.bByPoint;
  const CSegmentGrid grid(bAnyPoint ? demo : NDemoNet());
  for (NPlacedFlag& f : flags) {
    if (!f.req.bByPoint) {
      f.lEdge = f.req.lEdge;
      f.dPos = f.req.dPos;
      f.bPlaced = true;
      continue;
    }
    std::string strWhy;
    if (!CoordinateUsable(f.req.pt, demo.proj.bLonLat, strWhy)) {
      f.strNote = strWhy + ": refused";
      continue;
    }
    // Screened coordinates keep squared planar distances far from overflow.
    const NPoint p = demo.proj.Apply(f.req.pt);
    std::size_t eBest = 0;
    double dAlong = 0.0, dBest = 0.0;
    if (!grid.Nearest(p, eBest, dAlong, dBest)) {
      f.strNote = "the network has no edges";
      continue;
    }
    const NDemoEdge& edge = demo.edges[eBest];
    const double len = PlanarLength(edge.pts, demo.proj);
    f.dSnapDist = std::sqrt(dBest);
    if (f.dSnapDist > dMaxSnap) {
      f.strNote = "lies " + FormatDistance(f.dSnapDist, strUnit) + " from the nearest street, beyond --max-snap " +
                  FormatDistance(dMaxSnap, strUnit) + ": refused";
      continue;
    }
    f.bPlaced = true;
    if (dAlong <= dTolerance) {
      f.lAtNod = edge.lFromNod;
    } else if (len - dAlong <= dTolerance) {
      f.lAtNod = edge.lToNod;
    } else {
      f.lEdge = static_cast<std::int32_t>(eBest) + 1;
      f.dPos = dAlong / len;
    }
  }
}

bool MapFlags(CLocalNetwork& net, std::vector<NPlacedFlag>& flags, CSplitIndex& split,
              NMapStats& stats, std::ostream& warn, std::string& strError) {
  stats.lNodsBefore = net.m_lNodNum;
  stats.lEdgesBefore = net.m_lEdgeNum;

  // The list the library sees: one entry per placed flag, in the user's order.
  CSmartArray<NET_FLGstruct> in;
  std::vector<std::size_t> owner;  // flags[] index of each entry of in
  for (std::size_t i = 0; i < flags.size(); ++i) {
    NPlacedFlag& f = flags[i];
    if (!f.bPlaced) continue;
    NET_FLGstruct flg;
    if (f.lAtNod != 0) {
      flg.cFlgType = 1;
      flg.lElemID = f.lAtNod;
    } else {
      flg.cFlgType = 2;
      flg.lElemID = f.lEdge;
      flg.dPos = f.dPos;
    }
    std::strncpy(flg.szFlgText, f.req.strLabel.c_str(), sizeof flg.szFlgText - 1);
    in.Add(flg);
    owner.push_back(i);
  }

  // What the library would make of each flag, before it is asked to.
  std::vector<NFlagCheck_stru> checks;
  CheckFlags(net, in, checks);
  CSmartArray<NET_FLGstruct> kept;
  std::vector<std::size_t> keptOwner;
  std::vector<std::int32_t> sameAs(flags.size(), -1);  // a repeated flag shares an earlier one's node
  for (std::int32_t k = 0; k < in.GetSize(); ++k) {
    NPlacedFlag& f = flags[owner[static_cast<std::size_t>(k)]];
    const NFlagCheck_stru& c = checks[static_cast<std::size_t>(k)];
    NET_FLGstruct flg = in.GetAt(k);
    switch (c.eStatus) {
      case NFlagStatus::Fine:
        break;
      case NFlagStatus::PosAtEnd: {
        // Mapped as it stands it would leave a piece of length 0; the node is where the user means.
        // Read from the table: the query would call a closed street's ends 0.
        const NEdgeNod_stru& ends = net.m_pEdgeNod[flg.lElemID - 1];
        flg.cFlgType = 1;
        flg.lElemID = flg.dPos <= 0.0 ? ends.lFromNod : ends.lToNod;
        flg.dPos = 0.0;
        f.lAtNod = flg.lElemID;
        f.strNote = "at the end of its edge: placed on node " + std::to_string(flg.lElemID);
        break;
      }
      case NFlagStatus::PosRepeated:
        sameAs[owner[static_cast<std::size_t>(k)]] = static_cast<std::int32_t>(owner[static_cast<std::size_t>(c.lOther)]);
        f.strNote = "same place as " + flags[owner[static_cast<std::size_t>(c.lOther)]].req.strLabel + ": shares its node";
        continue;
      default: {
        // The user knows the flag by its label, not by its index in the list.
        f.bPlaced = false;
        f.strNote = c.strWhat + ": refused";
        continue;
      }
    }
    kept.Add(flg);
    keptOwner.push_back(owner[static_cast<std::size_t>(k)]);
  }
  for (const NPlacedFlag& f : flags)
    if (!f.strNote.empty()) warn << FlagName(f.req) << ": " << f.strNote << '\n';

  CSmartArray<NET_FLGstruct> out;
  CSmartArray<TEMPEDGE_MAP_EDGE> tempEdges;
  CSmartArray<std::int32_t> newNods;
  net.MapNetFlag(kept, out, tempEdges, newNods);
  NFinding_stru err;
  if (split.Build(net, kept, out, tempEdges, &err) != 1) {
    strError = "flag mapping gave a split that does not add up: " + err.strText;
    return false;
  }
  for (std::int32_t k = 0; k < out.GetSize(); ++k) flags[keptOwner[static_cast<std::size_t>(k)]].lNod = out.GetAt(k).lElemID;
  for (std::size_t i = 0; i < flags.size(); ++i)
    if (sameAs[i] >= 0) flags[i].lNod = flags[static_cast<std::size_t>(sameAs[i])].lNod;
  for (const NPlacedFlag& f : flags)
    if (f.bPlaced && f.req.bBarrier && f.lNod > 0) net.SetNodState(f.lNod, 1);

  stats.lNewNods = newNods.GetSize();
  stats.lNewEdges = tempEdges.GetSize();
  for (std::int32_t e = 1; e <= stats.lEdgesBefore; ++e) stats.lSplitEdges += split.IsSplit(e) ? 1 : 0;
  return true;
}
