// Input.h - the street lines the demo starts from, whatever their source: a
// vector file read through OGR, a CSV edge list, or the embedded default town.
#ifndef KELVANE_TRACE_INPUT_H
#define KELVANE_TRACE_INPUT_H

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "Geometry.h"

// One line part. A MultiLineString gives one entry per part, all with the
// feature's id and attributes.
struct NInputLine {
  std::int64_t llFid = 0;                                   // feature id in the source
  std::vector<NPoint> pts;                                  // input coordinates
  double dCost = std::numeric_limits<double>::quiet_NaN();  // whole-feature cost; NaN: the length
  signed char cOneWay = 0;                                  // 0 both ways, 1 along the geometry, -1 against it
  double dDmd = 0.0;                                        // demand of the whole feature
  bool bBlocked = false;                                    // closed both ways
  std::string strName;                                      // for the picture's legend only
};

struct NInputNetwork {
  std::vector<NInputLine> lines;
  bool bLonLat = false;          // coordinates are longitude/latitude degrees
  std::string strSrsWkt;         // the source's spatial reference, for the output file
  std::string strSource;         // what was read, for messages
  std::int64_t llFeatures = 0;   // features read
  std::int64_t llSkipped = 0;    // features without a line geometry
};

// Which attributes carry what; an empty name: not read.
struct NFieldNames {
  std::string strCost;
  std::string strOneWay;
  std::string strDemand;
  std::string strBlocked;
};

// Reads a one-way attribute: "yes", "true", "1", "FT", "forward" mean along the
// geometry; "-1", "TF", "reverse", "backward" against it; anything else both
// ways. Case is ignored.
signed char ParseOneWay(const std::string& strValue);

// Reads the line layer strLayer (empty: the first layer with lines) of any
// file OGR opens, features filtered by strWhere (an OGR SQL condition, may be
// empty). Returns false with strError set when the file, layer or filter
// cannot be used. bProgress: a progress line on stderr while a long read runs.
bool ReadOgr(const std::string& strPath, const std::string& strLayer, const std::string& strWhere,
             const NFieldNames& fields, bool bProgress, NInputNetwork& input, std::string& strError);

// Reads a CSV edge list: a header row, then one straight street per row with
// columns x1,y1,x2,y2 (required) and id plus the attribute columns named in
// fields (optional). bLonLat: the coordinates are longitude/latitude.
bool ReadCsv(const std::string& strPath, const NFieldNames& fields, bool bLonLat, NInputNetwork& input,
             std::string& strError);

// The embedded default: a small town of 100 m blocks in metres, with one-way
// streets, a street closed for roadworks and a demand (households) on each street.
void DefaultTown(NInputNetwork& input);

#endif  // KELVANE_TRACE_INPUT_H
