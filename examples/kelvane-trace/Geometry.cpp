// Geometry.cpp - lengths, projection and positions along lines.
#include "Geometry.h"

#include <algorithm>
#include <cmath>

// The frame and the ground lengths are the toolkit's, so that the demo
// measures exactly as its lines were noded.
#include "kelvane/tools/PlanarFrame.h"

namespace {

NLinePoint_stru Lerp(const NLinePoint_stru& a, const NLinePoint_stru& b, double t) {
  return NLinePoint_stru{a.dX + (b.dX - a.dX) * t, a.dY + (b.dY - a.dY) * t};
}

double Dist(const NLinePoint_stru& a, const NLinePoint_stru& b) { return std::hypot(b.dX - a.dX, b.dY - a.dY); }

// Where fraction f of the planar length falls: segment index and t within it.
void Locate(const std::vector<NLinePoint_stru>& pts, const NProjection& proj, double f, std::size_t& seg, double& t) {
  seg = 0;
  t = 0.0;
  if (pts.size() < 2) return;
  const double total = PlanarLength(pts, proj);
  double want = std::min(std::max(f, 0.0), 1.0) * total;
  for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
    const double len = Dist(proj.Apply(pts[i]), proj.Apply(pts[i + 1]));
    if (want <= len || i + 2 == pts.size()) {
      seg = i;
      t = len > 0.0 ? std::min(want / len, 1.0) : 0.0;
      return;
    }
    want -= len;
  }
}

}  // namespace

NLinePoint_stru NProjection::Apply(const NLinePoint_stru& p) const {
  if (!bLonLat) return p;
  NLinePoint_stru q;
  kelvane::tools::LonLatToFrame(p.dX, p.dY, dCosLat, q.dX, q.dY);
  return q;
}

NProjection MakeProjection(bool bLonLat, double dRefLat) {
  NProjection proj;
  proj.bLonLat = bLonLat;
  if (bLonLat) proj.dCosLat = kelvane::tools::FrameCosLat(dRefLat);
  return proj;
}

double GroundLength(const NLinePoint_stru& a, const NLinePoint_stru& b, bool bLonLat) {
  return kelvane::tools::SegmentGroundLength(a.dX, a.dY, b.dX, b.dY, bLonLat);
}

double GroundLength(const std::vector<NLinePoint_stru>& pts, bool bLonLat) {
  double len = 0.0;
  for (std::size_t i = 0; i + 1 < pts.size(); ++i) len += GroundLength(pts[i], pts[i + 1], bLonLat);
  return len;
}

double PlanarLength(const std::vector<NLinePoint_stru>& pts, const NProjection& proj) {
  double len = 0.0;
  for (std::size_t i = 0; i + 1 < pts.size(); ++i) len += Dist(proj.Apply(pts[i]), proj.Apply(pts[i + 1]));
  return len;
}

void ClosestOnSegment(const NLinePoint_stru& p, const NLinePoint_stru& a, const NLinePoint_stru& b, double& t,
                      double& dDist2) {
  const double dx = b.dX - a.dX;
  const double dy = b.dY - a.dY;
  const double len2 = dx * dx + dy * dy;
  t = len2 > 0.0 ? ((p.dX - a.dX) * dx + (p.dY - a.dY) * dy) / len2 : 0.0;
  t = std::min(std::max(t, 0.0), 1.0);
  const NLinePoint_stru q = Lerp(a, b, t);
  dDist2 = (p.dX - q.dX) * (p.dX - q.dX) + (p.dY - q.dY) * (p.dY - q.dY);
}

NLinePoint_stru PointAlong(const std::vector<NLinePoint_stru>& pts, const NProjection& proj, double f) {
  if (pts.empty()) return NLinePoint_stru{};
  if (pts.size() == 1) return pts[0];
  std::size_t seg = 0;
  double t = 0.0;
  Locate(pts, proj, f, seg, t);
  return Lerp(pts[seg], pts[seg + 1], t);
}

std::vector<NLinePoint_stru> SubLine(const std::vector<NLinePoint_stru>& pts, const NProjection& proj, double f0,
                                     double f1) {
  std::vector<NLinePoint_stru> out;
  if (pts.size() < 2) return pts;
  std::size_t s0 = 0, s1 = 0;
  double t0 = 0.0, t1 = 0.0;
  Locate(pts, proj, f0, s0, t0);
  Locate(pts, proj, f1, s1, t1);
  out.push_back(Lerp(pts[s0], pts[s0 + 1], t0));
  for (std::size_t i = s0 + 1; i <= s1; ++i) out.push_back(pts[i]);
  out.push_back(Lerp(pts[s1], pts[s1 + 1], t1));
  return out;
}
