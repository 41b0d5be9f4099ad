// Noding.cpp - snapping vertices together and cutting lines at shared ones.
#include "Noding.h"

#include <cmath>
#include <unordered_map>

namespace {

// Snaps planar points to representatives: a point within the tolerance of a
// representative already seen takes that one's id. A hash grid with cells of
// the tolerance's size, searched in the 3 x 3 cells around a point, finds
// every representative that close.
class CVertexSnap {
 public:
  explicit CVertexSnap(double dTol) : m_dTol(dTol > 0.0 ? dTol : 1e-9) {}

  std::int32_t Snap(const NPoint& p, const NPoint& original) {
    const std::int64_t cx = Cell(p.dX), cy = Cell(p.dY);
    for (std::int64_t dx = -1; dx <= 1; ++dx) {
      for (std::int64_t dy = -1; dy <= 1; ++dy) {
        const auto range = m_cells.equal_range(Key(cx + dx, cy + dy));
        for (auto it = range.first; it != range.second; ++it) {
          const NPoint& q = m_planar[static_cast<std::size_t>(it->second)];
          if (std::hypot(q.dX - p.dX, q.dY - p.dY) <= m_dTol) return it->second;
        }
      }
    }
    const std::int32_t id = static_cast<std::int32_t>(m_planar.size());
    m_planar.push_back(p);
    m_original.push_back(original);
    m_cells.emplace(Key(cx, cy), id);
    return id;
  }
  const NPoint& Original(std::int32_t id) const { return m_original[static_cast<std::size_t>(id)]; }
  std::size_t Size() const { return m_planar.size(); }

 private:
  std::int64_t Cell(double v) const { return static_cast<std::int64_t>(std::floor(v / m_dTol)); }
  static std::uint64_t Key(std::int64_t cx, std::int64_t cy) {
    return static_cast<std::uint64_t>(cx) * 0x9E3779B97F4A7C15ull ^ static_cast<std::uint64_t>(cy);
  }

  double m_dTol;
  std::vector<NPoint> m_planar;
  std::vector<NPoint> m_original;
  std::unordered_multimap<std::uint64_t, std::int32_t> m_cells;
};

}  // namespace

void NodeLines(const NInputNetwork& input, double dTolerance, NDemoNet& net) {
  // The reference latitude of the planar frame: the middle of the data.
  double dMinY = 0.0, dMaxY = 0.0;
  bool bAny = false;
  for (const NInputLine& line : input.lines) {
    for (const NPoint& p : line.pts) {
      dMinY = bAny ? std::min(dMinY, p.dY) : p.dY;
      dMaxY = bAny ? std::max(dMaxY, p.dY) : p.dY;
      bAny = true;
    }
  }
  net = NDemoNet();
  net.proj = MakeProjection(input.bLonLat, (dMinY + dMaxY) / 2);

  // Pass 1: every line as a list of vertex ids, repeated vertices dropped, and
  // how often each vertex is used. A line end counts twice, so it is always a node.
  CVertexSnap snap(dTolerance);
  std::vector<std::vector<std::int32_t>> lineVerts(input.lines.size());
  std::vector<std::uint32_t> uses;
  for (std::size_t l = 0; l < input.lines.size(); ++l) {
    std::vector<std::int32_t>& verts = lineVerts[l];
    for (const NPoint& p : input.lines[l].pts) {
      const std::int32_t id = snap.Snap(net.proj.Apply(p), p);
      if (!verts.empty() && verts.back() == id) continue;
      verts.push_back(id);
    }
    if (verts.size() < 2) {
      ++net.llDropped;
      verts.clear();
      continue;
    }
    uses.resize(snap.Size(), 0);
    for (std::int32_t id : verts) ++uses[static_cast<std::size_t>(id)];
    ++uses[static_cast<std::size_t>(verts.front())];
    ++uses[static_cast<std::size_t>(verts.back())];
  }

  std::vector<std::int32_t> nodOf(snap.Size(), 0);  // vertex id to node number, 0: not a node yet
  auto nodFor = [&](std::int32_t id) {
    std::int32_t& n = nodOf[static_cast<std::size_t>(id)];
    if (n == 0) {
      net.nods.push_back(snap.Original(id));
      n = static_cast<std::int32_t>(net.nods.size());
    }
    return n;
  };

  // Pass 2: cut each line at its node vertices. An edge that would start and
  // end at one node (a closed loop) is cut again at its middle vertex, so that
  // every edge joins two nodes and a flag on it is always well defined.
  for (std::size_t l = 0; l < lineVerts.size(); ++l) {
    const std::vector<std::int32_t>& verts = lineVerts[l];
    if (verts.empty()) continue;
    std::vector<double> at(verts.size(), 0.0);  // planar distance along the line at each vertex
    for (std::size_t i = 1; i < verts.size(); ++i) {
      const NPoint a = net.proj.Apply(snap.Original(verts[i - 1]));
      const NPoint b = net.proj.Apply(snap.Original(verts[i]));
      at[i] = at[i - 1] + std::hypot(b.dX - a.dX, b.dY - a.dY);
    }
    const double total = at.back() > 0.0 ? at.back() : 1.0;
    std::vector<std::size_t> cuts{0};
    for (std::size_t i = 1; i < verts.size(); ++i) {
      if (i + 1 < verts.size() && uses[static_cast<std::size_t>(verts[i])] < 2) continue;
      if (verts[i] == verts[cuts.back()]) cuts.push_back((cuts.back() + i) / 2);
      cuts.push_back(i);
    }
    for (std::size_t c = 0; c + 1 < cuts.size(); ++c) {
      NDemoEdge edge;
      edge.lLine = static_cast<std::int32_t>(l);
      edge.lFromNod = nodFor(verts[cuts[c]]);
      edge.lToNod = nodFor(verts[cuts[c + 1]]);
      for (std::size_t i = cuts[c]; i <= cuts[c + 1]; ++i) edge.pts.push_back(snap.Original(verts[i]));
      edge.dFrom = at[cuts[c]] / total;
      edge.dTo = at[cuts[c + 1]] / total;
      edge.dLength = GroundLength(edge.pts, input.bLonLat);
      net.edges.push_back(std::move(edge));
    }
  }
}
