// DefaultTown.cpp - the network used when no input is given: small enough to
// read in the picture, with every feature the demo knows how to show.
#include "Input.h"

namespace {

NInputLine Street(std::int64_t llFid, const char* pszName, std::vector<NLinePoint_stru> pts, double dDmd,
                  signed char cOneWay = 0, bool bBlocked = false) {
  NInputLine line;
  line.llFid = llFid;
  line.strName = pszName;
  line.pts = std::move(pts);
  line.dDmd = dDmd;
  line.cOneWay = cOneWay;
  line.bBlocked = bBlocked;
  return line;
}

// A straight street through the grid with a vertex at every crossing, so that
// noding cuts it into one edge per block.
std::vector<NLinePoint_stru> Through(double x0, double y0, double x1, double y1, int nBlocks) {
  std::vector<NLinePoint_stru> pts;
  for (int i = 0; i <= nBlocks; ++i)
    pts.push_back(NLinePoint_stru{x0 + (x1 - x0) * i / nBlocks, y0 + (y1 - y0) * i / nBlocks});
  return pts;
}

}  // namespace

void DefaultTown(NInputNetwork& input) {
  static const char* const kAvenues[] = {"Quay Avenue", "Market Avenue", "High Street", "Chapel Avenue", "Hill Avenue"};
  static const char* const kStreets[] = {"West Street", "Baker Street", "Church Street", "Mill Street", "East Street"};
  static const double kAvenueDmd[] = {12, 40, 55, 30, 18};
  static const double kStreetDmd[] = {16, 24, 0, 28, 14};
  std::int64_t llFid = 1;
  for (int i = 0; i < 5; ++i) {
    // Market Avenue runs one way, eastward, as drawn.
    input.lines.push_back(
        Street(llFid++, kAvenues[i], Through(0, 100.0 * i, 400, 100.0 * i, 4), kAvenueDmd[i], i == 1 ? 1 : 0));
  }
  for (int i = 0; i < 5; ++i) {
    if (i == 2) {
      // Church Street is closed between High Street and Chapel Avenue.
      input.lines.push_back(Street(llFid++, kStreets[i], Through(200, 0, 200, 200, 2), 20));
      input.lines.push_back(Street(llFid++, "Church Street (roadworks)", Through(200, 200, 200, 300, 1), 8, 0, true));
      input.lines.push_back(Street(llFid++, kStreets[i], Through(200, 300, 200, 400, 1), 10));
      continue;
    }
    // Mill Street is drawn northward but runs one way southward.
    input.lines.push_back(
        Street(llFid++, kStreets[i], Through(100.0 * i, 0, 100.0 * i, 400, 4), kStreetDmd[i], i == 3 ? -1 : 0));
  }
  input.lines.push_back(
      Street(llFid++, "Riverside Lane", {{400, 200}, {455, 215}, {495, 260}, {505, 320}, {470, 375}, {400, 400}}, 22));
  input.lines.push_back(Street(llFid++, "Orchard Close", {{100, 400}, {100, 455}, {135, 490}}, 9));
  input.attrs.push_back(NAttrField{"name", 's'});
  for (NInputLine& line : input.lines) {
    NInputFeature feature;
    feature.strId = std::to_string(line.llFid);
    feature.values.push_back(line.strName);
    feature.isNull.push_back(0);
    line.lFeature = static_cast<std::int32_t>(input.features.size());
    input.features.push_back(std::move(feature));
  }
  input.llFeatures = static_cast<std::int64_t>(input.lines.size());
  input.bLonLat = false;
  input.strSource = "the default town";
}
