// Geometry.h - points, lengths and positions along lines, for the trace demo.
// Input may be in longitude/latitude or in a projected system; everything that
// compares distances (noding, snapping, drawing) works in a local planar frame
// in metres (or map units), while reported lengths follow the ground.
#ifndef KELVANE_TRACE_GEOMETRY_H
#define KELVANE_TRACE_GEOMETRY_H

#include <vector>

// Points are the toolkit's own (easting or longitude, northing or latitude),
// so that lines go to the noding and come back without a copy of each point.
#include "kelvane/tools/LineNoding.h"

using kelvane::tools::NLinePoint_stru;

// Maps input coordinates to the planar frame: identity for projected input, an
// equirectangular view around a reference latitude for longitude/latitude, good
// to a fraction of a percent over a town or a county.
struct NProjection {
  bool bLonLat = false;
  double dCosLat = 1.0;  // cosine of the reference latitude

  NLinePoint_stru Apply(const NLinePoint_stru& p) const;
};

// A projection for lon/lat input centred on the given latitude, or the identity.
NProjection MakeProjection(bool bLonLat, double dRefLat);

// Ground length of one segment: great-circle (haversine, metres) for lon/lat,
// Euclidean otherwise.
double GroundLength(const NLinePoint_stru& a, const NLinePoint_stru& b, bool bLonLat);
double GroundLength(const std::vector<NLinePoint_stru>& pts, bool bLonLat);

// Length in the planar frame.
double PlanarLength(const std::vector<NLinePoint_stru>& pts, const NProjection& proj);

// The closest point of the planar segment a-b to p: t in [0, 1] along a-b and
// the squared distance.
void ClosestOnSegment(const NLinePoint_stru& p, const NLinePoint_stru& a, const NLinePoint_stru& b, double& t,
                      double& dDist2);

// The point at fraction f (0 to 1) of the planar length of pts.
NLinePoint_stru PointAlong(const std::vector<NLinePoint_stru>& pts, const NProjection& proj, double f);

// The stretch of pts from fraction f0 to f1 of its planar length, with the
// interpolated end points; input coordinates, not projected ones.
std::vector<NLinePoint_stru> SubLine(const std::vector<NLinePoint_stru>& pts, const NProjection& proj, double f0,
                                     double f1);

#endif  // KELVANE_TRACE_GEOMETRY_H
