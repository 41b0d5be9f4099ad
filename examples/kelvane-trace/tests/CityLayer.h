// CityLayer.h - a generated street layer of city size for the picture and
// scale tests: a warped grid of about 20,000 line features in longitude/
// latitude, curved blocks, missing links, culs-de-sac, one-way streets, and a
// river crossed only by a few bridges, so that barriers can cut the city in two.
#ifndef KELVANE_TRACE_TESTS_CITYLAYER_H
#define KELVANE_TRACE_TESTS_CITYLAYER_H

#include <string>
#include <utility>
#include <vector>

struct NCityInfo {
  int nFeatures = 0;
  int nOneWay = 0;
  double dCentreLon = 0.0;  // a point on a street near the middle
  double dCentreLat = 0.0;
  std::vector<std::pair<double, double>> bridges;  // lon/lat of the middle of each bridge over the river
};

// Writes the layer "streets" (fields osm_id, name, highway, oneway) to a new
// GeoPackage at strPath. nSide: grid nodes per side (156 gives about 20,000
// features). Returns false if the file cannot be made.
bool WriteCityLayer(const std::string& strPath, int nSide, NCityInfo& info);

#endif  // KELVANE_TRACE_TESTS_CITYLAYER_H
