// Summary.h - what a run found, as numbers: filled once, then read by the
// text summary, the picture's header and any other report of the run.
#ifndef KELVANE_TRACE_SUMMARY_H
#define KELVANE_TRACE_SUMMARY_H

#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "Analyses.h"

struct NFlagSummary {
  std::string strName;  // "flag 1,2", "barrier 3:0.5"
  bool bBarrier = false;
  bool bByPoint = true;    // given as coordinates: dSnapDist says how far it moved
  double dSnapDist = 0.0;  // planar units (metres for lon/lat input)
  std::int32_t lNod = 0;   // the node it sits on after mapping
};

// A stretch of a route on the input's features: the feature's own id and
// the fractions of its length from its start (dFrom > dTo travelled back).
struct NRouteStretch {
  std::string strFeature;
  double dFrom = 0.0;
  double dTo = 1.0;
  double dCost = 0.0;  // from the start to the stretch's end
};

struct NRunSummary {
  std::string strSource;
  std::string strUnit;  // "m" or "map units"
  std::int64_t llFeatures = 0;
  std::int64_t llNotLine = 0;     // skipped: no line geometry
  std::int64_t llBadCoord = 0;    // skipped: coordinates not finite or out of range
  std::int64_t llZeroLength = 0;  // skipped: no length once snapped
  std::int32_t lNods = 0;         // network before flag mapping
  std::int32_t lEdges = 0;
  std::int32_t lSplitEdges = 0;
  std::int32_t lNewEdges = 0;
  std::vector<NFlagSummary> flags;  // placed flags and barriers, in the order given
  bool bTraced = false;             // false: the network drawn or listed only
  std::string strDirection;
  std::int32_t lVisitedNods = 0;
  std::int32_t lVisitedEdges = 0;      // pieces of split edges counted one by one
  std::int32_t lOriginalsVisited = 0;  // edges before splitting with any piece visited
  std::int32_t lOriginalsWhole = 0;    // ... with every piece visited
  double dDmd = 0.0;
  double dLength = 0.0;
  std::vector<std::int32_t> barrierNods;    // closed nodes the trace stopped at, ascending
  std::vector<std::int32_t> closedStreets;  // closed streets met, demo edge numbers, ascending
  // An analysis run instead of the trace (eMode other than Trace).
  NDemoMode eMode = NDemoMode::Trace;
  std::int32_t lReachedNods = 0;  // nodes and network edges of the outcome
  std::int32_t lReachedEdges = 0;
  double dLimit = 0.0;  // within
  bool bToward = false;  // within: the area that reaches the flags
  std::vector<double> flagCosts;       // costs-to: per start flag, its cost to the first (+infinity: none)
  double dMaxCost = 0.0;               // costs-to: the farthest node's cost
  std::vector<std::int32_t> partNods;  // closest: per start flag, the nodes of its part
  std::vector<std::int32_t> partEdges; // closest: per start flag, the network edges of its part
  bool bRouteFound = false;
  double dRouteCost = 0.0;
  std::vector<NRouteStretch> route;       // in travel order
  std::vector<std::int32_t> closeValves;  // isolate: nodes of the valves to close
  bool bSourceInside = false;
  std::int32_t lComponents = 0;
  std::int32_t lLargestStreets = 0;                    // demo edges in the largest component
  std::int32_t lCutOffStreets = 0;                     // demo edges outside it
  std::vector<std::pair<std::string, double>> timing;  // ms per stage, for the JSON form
};

// The summary as the lines printed on stdout (and drawn above the picture).
std::vector<std::string> SummaryLines(const NRunSummary& s);

// The summary as one JSON object on one line, for scripts.
void WriteJsonSummary(const NRunSummary& s, std::ostream& os);

// What the picture's coloured streets are, for its legend: "traced", "route" ...
std::string OutcomeName(const NRunSummary& s);

// d with nDigits decimals; the first nMax numbers of v, " ..." after them, "none" for none.
std::string FixedText(double d, int nDigits);
std::string JoinNumbers(const std::vector<std::int32_t>& v, std::size_t nMax);

#endif  // KELVANE_TRACE_SUMMARY_H
