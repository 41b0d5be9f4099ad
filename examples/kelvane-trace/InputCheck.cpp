// InputCheck.cpp - the features left out before noding, whichever reader gave them.
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "Input.h"

namespace {

// Beyond this no planar system has coordinates; the noding and snapping grids
// divide by the tolerance and must stay within 64-bit cell numbers.
constexpr double kMaxPlanar = 1e9;

std::string Short(double d) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.6g", d);
  return buf;
}

std::string LineId(const NInputNetwork& input, const NInputLine& line) {
  return line.lFeature >= 0 ? input.features[static_cast<std::size_t>(line.lFeature)].strId
                            : std::to_string(line.llFid);
}

// Removes the lines of every feature marked bad, keeping the others in order.
void DropLines(NInputNetwork& input, const std::vector<char>& bad) {
  std::size_t k = 0;
  for (std::size_t l = 0; l < input.lines.size(); ++l) {
    if (bad[l]) continue;
    if (k != l) input.lines[k] = std::move(input.lines[l]);  // a self-move would empty the line
    ++k;
  }
  input.lines.resize(k);
}

}  // namespace

bool CheckReadable(const std::string& strPath, std::string& strError) {
  struct stat st {};
  if (::stat(strPath.c_str(), &st) != 0) {
    strError = errno == ENOENT ? "'" + strPath + "' does not exist"
                               : "cannot reach '" + strPath + "': " + std::strerror(errno);
    return false;
  }
  // A directory is a dataset for some drivers (a folder of shapefiles): let OGR judge it.
  if (S_ISDIR(st.st_mode)) return true;
  std::ifstream probe(strPath, std::ios::binary);
  if (!probe) {
    strError = "cannot read '" + strPath + "': " + std::strerror(errno);
    return false;
  }
  return true;
}

void SkipFeature(NInputNetwork& input, const std::string& strId, NSkipReason eWhy, const std::string& strDetail) {
  NSkippedFeature s;
  s.strId = strId;
  s.eWhy = eWhy;
  s.strDetail = strDetail;
  input.skipped.push_back(std::move(s));
  input.llSkipped = static_cast<std::int64_t>(input.skipped.size());
}

bool CoordinateUsable(const NLinePoint_stru& p, bool bLonLat, std::string& strWhy) {
  if (!std::isfinite(p.dX) || !std::isfinite(p.dY)) {
    strWhy = "coordinate " + Short(p.dX) + "," + Short(p.dY) + " is not finite";
    return false;
  }
  if (bLonLat && (std::fabs(p.dX) > 180.0 || std::fabs(p.dY) > 90.0)) {
    strWhy = "coordinate " + Short(p.dX) + "," + Short(p.dY) + " is not a longitude,latitude";
    return false;
  }
  if (!bLonLat && (std::fabs(p.dX) > kMaxPlanar || std::fabs(p.dY) > kMaxPlanar)) {
    strWhy = "coordinate " + Short(p.dX) + "," + Short(p.dY) + " lies beyond 1e9 map units";
    return false;
  }
  return true;
}

void ScreenCoordinates(NInputNetwork& input) {
  // A feature is left out whole when any of its parts is bad: tracing the
  // rest would give a length and a picture of something that is not there.
  std::vector<char> badFeature(input.features.size(), 0);
  std::vector<char> bad(input.lines.size(), 0);
  for (std::size_t l = 0; l < input.lines.size(); ++l) {
    const NInputLine& line = input.lines[l];
    if (line.lFeature >= 0 && badFeature[static_cast<std::size_t>(line.lFeature)]) continue;
    std::string strWhy;
    for (const NLinePoint_stru& p : line.pts) {
      if (CoordinateUsable(p, input.bLonLat, strWhy)) continue;
      SkipFeature(input, LineId(input, line), NSkipReason::BadCoord, strWhy);
      if (line.lFeature >= 0) badFeature[static_cast<std::size_t>(line.lFeature)] = 1;
      bad[l] = 1;
      break;
    }
  }
  for (std::size_t l = 0; l < input.lines.size(); ++l) {
    const std::int32_t f = input.lines[l].lFeature;
    if (f >= 0 && badFeature[static_cast<std::size_t>(f)]) bad[l] = 1;
  }
  DropLines(input, bad);
}

void SkipZeroLength(NInputNetwork& input, const std::vector<char>& lineHasEdge) {
  // Per feature (or per line, for lines without one): did any part give an edge?
  std::vector<char> featureHasEdge(input.features.size(), 0);
  for (std::size_t l = 0; l < input.lines.size(); ++l) {
    const std::int32_t f = input.lines[l].lFeature;
    if (f >= 0 && lineHasEdge[l]) featureHasEdge[static_cast<std::size_t>(f)] = 1;
  }
  std::vector<char> named(input.features.size(), 0);
  for (std::size_t l = 0; l < input.lines.size(); ++l) {
    const NInputLine& line = input.lines[l];
    const bool bHas =
        line.lFeature >= 0 ? featureHasEdge[static_cast<std::size_t>(line.lFeature)] != 0 : lineHasEdge[l] != 0;
    if (bHas) continue;
    if (line.lFeature >= 0) {
      if (named[static_cast<std::size_t>(line.lFeature)]) continue;
      named[static_cast<std::size_t>(line.lFeature)] = 1;
    }
    SkipFeature(input, LineId(input, line), NSkipReason::ZeroLength, "has no length once its vertices are snapped");
  }
}
