// PlanarFrame.h - the local planar frame that line noding and point snapping
// compare distances in, and ground lengths along the earth. Public so that a
// host drawing or measuring noded lines does so in exactly the frame they
// were noded in (NNodedLines_stru::dRefLat gives the frame's latitude).
// Standard library only, all inline.
#ifndef KELVANE_TOOLS_PLANARFRAME_H
#define KELVANE_TOOLS_PLANARFRAME_H

#include <algorithm>
#include <cmath>

namespace kelvane {
namespace tools {

constexpr double kPi = 3.14159265358979323846;
constexpr double kEarthRadius = 6371008.8;  // mean radius, metres
constexpr double kMetresPerDegree = kEarthRadius * kPi / 180.0;

// Cosine of the reference latitude of an equirectangular frame, kept off 0 so
// that a frame centred on a pole still maps longitudes somewhere.
inline double FrameCosLat(double dRefLat) { return std::max(std::cos(dRefLat * kPi / 180.0), 1e-6); }

// Lon/lat degrees to metres in the frame with the given cosine: good to a
// fraction of a percent over a town or a county.
inline void LonLatToFrame(double dLon, double dLat, double dCosLat, double& dX, double& dY) {
  dX = dLon * kMetresPerDegree * dCosLat;
  dY = dLat * kMetresPerDegree;
}

// Great-circle distance in metres between two lon/lat points (haversine).
inline double GreatCircleMetres(double dLon1, double dLat1, double dLon2, double dLat2) {
  const double lat1 = dLat1 * kPi / 180.0;
  const double lat2 = dLat2 * kPi / 180.0;
  const double dLat = lat2 - lat1;
  const double dLon = (dLon2 - dLon1) * kPi / 180.0;
  const double h = std::sin(dLat / 2) * std::sin(dLat / 2) +
                   std::cos(lat1) * std::cos(lat2) * std::sin(dLon / 2) * std::sin(dLon / 2);
  return 2.0 * kEarthRadius * std::asin(std::min(1.0, std::sqrt(h)));
}

// Ground length of one segment: great circle for lon/lat, Euclidean otherwise.
inline double SegmentGroundLength(double dX1, double dY1, double dX2, double dY2, bool bLonLat) {
  if (bLonLat) return GreatCircleMetres(dX1, dY1, dX2, dY2);
  return std::hypot(dX2 - dX1, dY2 - dY1);
}

}  // namespace tools
}  // namespace kelvane

#endif  // KELVANE_TOOLS_PLANARFRAME_H
