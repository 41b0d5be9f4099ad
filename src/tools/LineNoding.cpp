// LineNoding.cpp - snapping vertices together and cutting lines at shared
// ones. Two passes: the first turns every line into a list of vertex ids and
// counts how often each vertex is used; the second cuts the lines at the
// vertices used more than once and numbers the nodes as the edges meet them.
#include "kelvane/tools/LineNoding.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <new>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "kelvane/tools/PlanarFrame.h"
#include "tools/ToolsInt.h"

namespace kelvane {
namespace tools {

namespace {

constexpr std::int64_t kMax32 = std::numeric_limits<std::int32_t>::max();

// One sentence with numbers in it, cut at 255 bytes.
template <class... A>
std::string Sentence(const char* pszFormat, A... args) {
  char buf[256];
  const int n = std::snprintf(buf, sizeof buf, pszFormat, args...);
  if (n < 0) return std::string();
  return std::string(buf, std::min(static_cast<std::size_t>(n), sizeof buf - 1));
}

// Snaps planar points to representatives: a point within the tolerance of a
// representative already seen takes that one's id. A hash grid with cells of
// the tolerance's size, searched in the 3 x 3 cells around a point, finds
// every representative that close. Representatives are searched in a fixed
// order, so equal input gives equal ids.
class CVertexSnap {
 public:
  explicit CVertexSnap(double dTol) : m_dTol(dTol > 0.0 ? dTol : 1e-9) {}

  // The id of p (planar) given as original (input coordinates); -1 once
  // another representative would not fit a 32-bit id.
  std::int32_t Snap(const NLinePoint_stru& p, const NLinePoint_stru& original) {
    const std::int64_t cx = Cell(p.dX);
    const std::int64_t cy = Cell(p.dY);
    for (std::int64_t dx = -1; dx <= 1; ++dx) {
      for (std::int64_t dy = -1; dy <= 1; ++dy) {
        const auto range = m_cells.equal_range(Key(cx + dx, cy + dy));
        for (auto it = range.first; it != range.second; ++it) {
          const NLinePoint_stru& q = m_planar[static_cast<std::size_t>(it->second)];
          if (std::hypot(q.dX - p.dX, q.dY - p.dY) <= m_dTol) return it->second;
        }
      }
    }
    if (static_cast<std::int64_t>(m_planar.size()) >= kMax32) return -1;
    const std::int32_t id = static_cast<std::int32_t>(m_planar.size());
    m_planar.push_back(p);
    m_original.push_back(original);
    m_cells.emplace(Key(cx, cy), id);
    return id;
  }
  const NLinePoint_stru& Planar(std::int32_t id) const { return m_planar[static_cast<std::size_t>(id)]; }
  const NLinePoint_stru& Original(std::int32_t id) const { return m_original[static_cast<std::size_t>(id)]; }
  std::size_t Size() const { return m_planar.size(); }

 private:
  // Clamped well inside the 64-bit range, so that coordinates far larger than
  // the tolerance (or a tolerance of infinity) never overflow the conversion
  // or the neighbour offsets; clamped cells still hold every close pair.
  std::int64_t Cell(double v) const {
    const double c = std::floor(v / m_dTol);
    constexpr double kLimit = 4.0e18;
    return static_cast<std::int64_t>(std::min(std::max(c, -kLimit), kLimit));
  }
  static std::uint64_t Key(std::int64_t cx, std::int64_t cy) {
    return static_cast<std::uint64_t>(cx) * 0x9E3779B97F4A7C15ull ^ static_cast<std::uint64_t>(cy);
  }

  double m_dTol;                                                  // snapping distance, planar units
  std::vector<NLinePoint_stru> m_planar;                          // per id: the representative in the frame
  std::vector<NLinePoint_stru> m_original;                        // per id: the same in input coordinates
  std::unordered_multimap<std::uint64_t, std::int32_t> m_cells;   // grid cell key to the ids in it
};

// The frame's view of one input point: identity for planar input.
NLinePoint_stru ToFrame(const NLinePoint_stru& p, bool bLonLat, double dCosLat) {
  if (!bLonLat) return p;
  NLinePoint_stru q;
  kelvane::tools::LonLatToFrame(p.dX, p.dY, dCosLat, q.dX, q.dY);
  return q;
}

// Refuses what the noding cannot use and finds the latitude range; nothing
// is read beyond the points the starts name.
bool CheckInput(const NLinePoint_stru* pPts, const std::int64_t* pLineStart, std::int64_t llLineNum,
                const NNodingOptions_stru& opt, double& dRefLat, std::string& strError) {
  if (std::isnan(opt.dTolerance) || opt.dTolerance < 0.0) {
    strError = Sentence("the tolerance %g is not a distance: give 0 or more", opt.dTolerance);
    return false;
  }
  if (llLineNum < 0) {
    strError = Sentence("%lld lines: a line count cannot be negative", static_cast<long long>(llLineNum));
    return false;
  }
  if (llLineNum - 1 > kMax32) {
    strError = Sentence("%lld lines: more than 32-bit line numbers hold", static_cast<long long>(llLineNum));
    return false;
  }
  if (llLineNum == 0) return true;
  if (pLineStart == nullptr) {
    strError = "no line starts given for the lines";
    return false;
  }
  for (std::int64_t l = 0; l <= llLineNum; ++l) {
    if (pLineStart[l] < 0) {
      strError = Sentence("line start %lld is %lld, a negative point index", static_cast<long long>(l),
                          static_cast<long long>(pLineStart[l]));
      return false;
    }
    if (l > 0 && pLineStart[l] < pLineStart[l - 1]) {
      strError = Sentence("line %lld ends at point %lld before it starts at point %lld: line starts cannot decrease",
                          static_cast<long long>(l - 1), static_cast<long long>(pLineStart[l]),
                          static_cast<long long>(pLineStart[l - 1]));
      return false;
    }
  }
  if (pPts == nullptr && pLineStart[llLineNum] > pLineStart[0]) {
    strError = "no points given for the lines";
    return false;
  }
  double dMinY = 0.0;
  double dMaxY = 0.0;
  bool bAny = false;
  for (std::int64_t l = 0; l < llLineNum; ++l) {
    for (std::int64_t i = pLineStart[l]; i < pLineStart[l + 1]; ++i) {
      const NLinePoint_stru& p = pPts[i];
      const long long line = l;
      const long long point = i - pLineStart[l];
      if (!std::isfinite(p.dX) || !std::isfinite(p.dY)) {
        strError = Sentence("line %lld, point %lld: coordinate %g,%g is not a finite number", line, point, p.dX, p.dY);
        return false;
      }
      if (opt.bLonLat && (std::fabs(p.dX) > 180.0 || std::fabs(p.dY) > 90.0)) {
        strError = Sentence("line %lld, point %lld: coordinate %g,%g is not a longitude,latitude", line, point,
                            p.dX, p.dY);
        return false;
      }
      dMinY = bAny ? std::min(dMinY, p.dY) : p.dY;
      dMaxY = bAny ? std::max(dMaxY, p.dY) : p.dY;
      bAny = true;
    }
  }
  dRefLat = (dMinY + dMaxY) / 2;
  return true;
}

// One noding run: the snapped vertices and the lines as runs of their ids,
// between the two passes.
class CLineNoder {
 public:
  CLineNoder(const NNodingOptions_stru& opt, NNodedLines_stru& res) : m_opt(opt), m_res(res), m_snap(opt.dTolerance) {}

  // Pass 1: every line as a run of vertex ids, repeated vertices dropped, and
  // whether each vertex is used twice. A line end counts twice, so it is
  // always a node; a dropped line's vertices still take part in snapping.
  bool SnapLines(const NLinePoint_stru* pPts, const std::int64_t* pLineStart, std::size_t nLines, double dCosLat,
                 std::string& strError) {
    m_lineFirst.assign(nLines + 1, 0);
    if (nLines > 0) m_verts.reserve(static_cast<std::size_t>(pLineStart[nLines] - pLineStart[0]));
    for (std::size_t l = 0; l < nLines; ++l) {
      const std::size_t begin = m_verts.size();
      for (std::int64_t i = pLineStart[l]; i < pLineStart[l + 1]; ++i) {
        const std::int32_t id = m_snap.Snap(ToFrame(pPts[i], m_opt.bLonLat, dCosLat), pPts[i]);
        if (id < 0) {
          strError = "more distinct vertices than 32-bit numbers hold";
          return false;
        }
        if (m_verts.size() > begin && m_verts.back() == id) continue;
        m_verts.push_back(id);
      }
      if (m_verts.size() - begin < 2) {
        ++m_res.llDropped;
        m_verts.resize(begin);
      } else {
        m_uses.resize(m_snap.Size(), 0);
        for (std::size_t k = begin; k < m_verts.size(); ++k) {
          unsigned char& u = m_uses[static_cast<std::size_t>(m_verts[k])];
          if (u < 2) ++u;
        }
        m_uses[static_cast<std::size_t>(m_verts[begin])] = 2;
        m_uses[static_cast<std::size_t>(m_verts.back())] = 2;
      }
      m_lineFirst[l + 1] = m_verts.size();
    }
    m_nodOf.assign(m_snap.Size(), 0);
    return true;
  }

  // Pass 2, one line: cut it at its node vertices. An edge that would start
  // and end at one node (a closed loop) is cut again at its middle vertex, so
  // that every edge joins two nodes and a flag on it is always well defined.
  bool CutLine(std::size_t l, std::string& strError) {
    const std::int32_t* v = m_verts.data() + m_lineFirst[l];
    const std::size_t n = m_lineFirst[l + 1] - m_lineFirst[l];
    if (n == 0) return true;
    Measure(v, n, 1.0);
    // A line longer than a double holds (coordinates near its limit) is
    // measured again at a power-of-two scale, which leaves its fractions exact.
    if (!std::isfinite(m_at.back())) Measure(v, n, std::ldexp(1.0, -600));
    const double total = m_at.back() > 0.0 ? m_at.back() : 1.0;
    m_cuts.assign(1, 0);
    for (std::size_t i = 1; i < n; ++i) {
      if (i + 1 < n && m_uses[static_cast<std::size_t>(v[i])] < 2) continue;
      if (v[i] == v[m_cuts.back()]) m_cuts.push_back((m_cuts.back() + i) / 2);
      m_cuts.push_back(i);
    }
    for (std::size_t c = 0; c + 1 < m_cuts.size(); ++c) {
      const std::size_t c0 = m_cuts[c];
      const std::size_t c1 = m_cuts[c + 1];
      if (m_res.edges.size() >= static_cast<std::size_t>(kMax32)) {
        strError = "more edges than 32-bit numbers hold";
        return false;
      }
      if (c1 - c0 + 1 > static_cast<std::size_t>(kMax32)) {
        strError = Sentence("line %lld: an edge of more points than 32-bit numbers hold", static_cast<long long>(l));
        return false;
      }
      NNodedEdge_stru edge;
      edge.lLine = static_cast<std::int32_t>(l);
      edge.lFromNod = NodFor(v[c0]);
      edge.lToNod = NodFor(v[c1]);
      edge.llFirstPt = static_cast<std::int64_t>(m_res.pts.size());
      edge.lPtNum = static_cast<std::int32_t>(c1 - c0 + 1);
      edge.dFrom = m_at[c0] / total;
      edge.dTo = m_at[c1] / total;
      edge.dLength = 0.0;
      m_res.pts.push_back(m_snap.Original(v[c0]));
      for (std::size_t i = c0 + 1; i <= c1; ++i) {
        const NLinePoint_stru q = m_res.pts.back();
        const NLinePoint_stru& p = m_snap.Original(v[i]);
        edge.dLength += kelvane::tools::SegmentGroundLength(q.dX, q.dY, p.dX, p.dY, m_opt.bLonLat);
        m_res.pts.push_back(p);
      }
      m_res.edges.push_back(edge);
    }
    return true;
  }

 private:
  // Planar distance along the run v[0 .. n - 1] at each of its vertices, in
  // units of 1 / dScale.
  void Measure(const std::int32_t* v, std::size_t n, double dScale) {
    m_at.assign(n, 0.0);
    for (std::size_t i = 1; i < n; ++i) {
      const NLinePoint_stru& a = m_snap.Planar(v[i - 1]);
      const NLinePoint_stru& b = m_snap.Planar(v[i]);
      m_at[i] = m_at[i - 1] + std::hypot(b.dX * dScale - a.dX * dScale, b.dY * dScale - a.dY * dScale);
    }
  }

  // Nodes are numbered as the edges first meet them.
  std::int32_t NodFor(std::int32_t id) {
    std::int32_t& n = m_nodOf[static_cast<std::size_t>(id)];
    if (n == 0) {
      m_res.nods.push_back(m_snap.Original(id));
      n = static_cast<std::int32_t>(m_res.nods.size());
    }
    return n;
  }

  const NNodingOptions_stru& m_opt;        // the caller's options
  NNodedLines_stru& m_res;                 // the result being built
  CVertexSnap m_snap;                      // every vertex seen, snapped
  std::vector<std::int32_t> m_verts;       // the kept lines' vertex ids, line after line
  std::vector<std::size_t> m_lineFirst;    // line l's ids are m_verts[m_lineFirst[l] .. m_lineFirst[l + 1] - 1]
  std::vector<unsigned char> m_uses;       // per vertex id: uses by kept lines, counted up to 2
  std::vector<std::int32_t> m_nodOf;       // per vertex id: its node number, 0: not a node yet
  std::vector<double> m_at;                // the line being cut: planar distance along it at each vertex
  std::vector<std::size_t> m_cuts;         // the line being cut: positions in its run where edges end
};

bool Node(const NLinePoint_stru* pPts, const std::int64_t* pLineStart, std::int64_t llLineNum,
          const NNodingOptions_stru& opt, NNodedLines_stru& res, std::string& strError) {
  double dRefLat = 0.0;
  if (!CheckInput(pPts, pLineStart, llLineNum, opt, dRefLat, strError)) return false;
  if (opt.bLonLat) res.dRefLat = dRefLat;
  const std::size_t nLines = static_cast<std::size_t>(llLineNum);
  CLineNoder noder(opt, res);
  if (!noder.SnapLines(pPts, pLineStart, nLines, kelvane::tools::FrameCosLat(dRefLat), strError)) return false;
  for (std::size_t l = 0; l < nLines; ++l) {
    if (!noder.CutLine(l, strError)) return false;
  }
  return true;
}

}  // namespace

std::int32_t NodeLines(const NLinePoint_stru* pPts, const std::int64_t* pLineStart, std::int64_t llLineNum,
                       const NNodingOptions_stru& opt, NNodedLines_stru& out, NFinding_stru* pError) {
  // Built aside and moved in whole, so a refusal or a failed allocation
  // leaves the caller's result as it was.
  try {
    NNodedLines_stru res;
    std::string strError;
    if (!Node(pPts, pLineStart, llLineNum, opt, res, strError)) {
      if (pError != nullptr) {
        pError->eCode = NFindingCode::BadArgument;
        pError->eKind = NElemKind::Network;
        pError->lElem = 0;
        pError->strText = std::move(strError);
      }
      return 0;
    }
    out = std::move(res);
    return 1;
  } catch (const std::bad_alloc&) {
    return RefuseNoMemory(pError, "out of memory noding the lines");
  }
}

}  // namespace tools
}  // namespace kelvane
