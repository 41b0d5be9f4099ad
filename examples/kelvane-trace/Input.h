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
  std::int32_t lFeature = -1;                               // index into NInputNetwork::features; -1: none
  std::vector<NLinePoint_stru> pts;                         // input coordinates
  double dCost = std::numeric_limits<double>::quiet_NaN();  // whole-feature cost; NaN: the length
  signed char cOneWay = 0;                                  // 0 both ways, 1 along the geometry, -1 against it
  double dDmd = 0.0;                                        // demand of the whole feature
  bool bBlocked = false;                                    // closed both ways
  std::string strName;                                      // for the picture's legend only
};

// The attributes of one source feature, carried to the output file.
struct NInputFeature {
  std::string strId;                // the feature's own id, as text, for messages and the output
  std::vector<std::string> values;  // one per NInputNetwork::attrs entry
  std::vector<char> isNull;         // 1 where the value is null or unset
};

// An attribute column carried from the input.
struct NAttrField {
  std::string strName;
  char cType = 's';  // 'i' integer, 'r' real, 's' anything else (written as text)
};

enum class NSkipReason : char {
  NotLine = 0,     // no line geometry
  BadCoord = 1,    // a coordinate not finite, or outside the range of its system
  ZeroLength = 2,  // nothing left of it once its vertices are snapped together
};

struct NSkippedFeature {
  std::string strId;
  NSkipReason eWhy = NSkipReason::NotLine;
  std::string strDetail;  // what was wrong, for the message
};

struct NInputNetwork {
  std::vector<NInputLine> lines;
  std::vector<NInputFeature> features;  // the line features kept, in source order
  std::vector<NAttrField> attrs;        // columns carried to the output
  char cIdType = 'i';                   // type of the features' ids: 'i' integer, 's' text
  std::vector<NSkippedFeature> skipped;
  bool bLonLat = false;         // coordinates are longitude/latitude degrees
  std::string strSrsWkt;        // the source's spatial reference, for the output file
  std::string strSource;        // what was read, for messages
  std::string strDriver;        // the OGR driver that read it ("OSM"); empty for a CSV or the default town
  std::int64_t llFeatures = 0;  // features read
  std::int64_t llSkipped = 0;   // features left out, whatever the reason: skipped.size()
};

// Tells a path that does not exist from one that exists but cannot be read.
bool CheckReadable(const std::string& strPath, std::string& strError);

// Records a feature left out of the network.
void SkipFeature(NInputNetwork& input, const std::string& strId, NSkipReason eWhy, const std::string& strDetail);

// Leaves out every feature with a coordinate that is not finite, or outside
// -180..180 / -90..90 for longitude/latitude input, or beyond 1e9 map units
// for planar input (no real system reaches that far, and such values would
// overflow the planar frame's grids). Call once bLonLat is settled.
void ScreenCoordinates(NInputNetwork& input);

// Leaves out every feature none of whose lines gave an edge (its vertices all
// snapped to one point), given which lines did.
void SkipZeroLength(NInputNetwork& input, const std::vector<char>& lineHasEdge);

// Whether p is a usable coordinate of a layer in lon/lat (or planar) units;
// strWhy says what is wrong when not.
bool CoordinateUsable(const NLinePoint_stru& p, bool bLonLat, std::string& strWhy);

// Which attributes carry what; an empty name: not read.
struct NFieldNames {
  std::string strCost;
  std::string strOneWay;
  std::string strDemand;
  std::string strBlocked;
  std::string strId;              // the feature's own id; empty: a field named id or osm_id, else OGR's
  bool bKeepAll = true;           // carry every attribute to the output ...
  std::vector<std::string> keep;  // ... or only these
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

// Reads every point (and each point of a multipoint) of the first layer of
// any file OGR opens, in the file's coordinates. Returns false with strError
// set when the file cannot be read or holds no point.
bool ReadOgrPoints(const std::string& strPath, std::vector<NLinePoint_stru>& pts, std::string& strError);

// Reads a CSV edge list: a header row, then one straight street per row with
// columns x1,y1,x2,y2 (required) and id plus the attribute columns named in
// fields (optional). bLonLat: the coordinates are longitude/latitude.
bool ReadCsv(const std::string& strPath, const NFieldNames& fields, bool bLonLat, NInputNetwork& input,
             std::string& strError);

// One CSV row split at commas outside double quotes, quotes removed, cells trimmed.
std::vector<std::string> SplitCsvRow(const std::string& row);

// The embedded default: a small town of 100 m blocks in metres, with one-way
// streets, a street closed for roadworks and a demand (households) on each street.
void DefaultTown(NInputNetwork& input);

#endif  // KELVANE_TRACE_INPUT_H
