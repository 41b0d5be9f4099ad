// Summary.h - what a run found, as numbers: filled once, then read by the
// text summary, the picture's header and any other report of the run.
#ifndef KELVANE_TRACE_SUMMARY_H
#define KELVANE_TRACE_SUMMARY_H

#include <cstdint>
#include <string>
#include <vector>

struct NFlagSummary {
  std::string strName;        // "flag 1,2", "barrier 3:0.5"
  bool bBarrier = false;
  bool bByPoint = true;       // given as coordinates: dSnapDist says how far it moved
  double dSnapDist = 0.0;     // planar units (metres for lon/lat input)
  std::int32_t lNod = 0;      // the node it sits on after mapping
};

struct NRunSummary {
  std::string strSource;
  std::string strUnit;                // "m" or "map units"
  std::int64_t llFeatures = 0;
  std::int64_t llNotLine = 0;         // skipped: no line geometry
  std::int64_t llBadCoord = 0;        // skipped: coordinates not finite or out of range
  std::int64_t llZeroLength = 0;      // skipped: no length once snapped
  std::int32_t lNods = 0;             // network before flag mapping
  std::int32_t lEdges = 0;
  std::int32_t lSplitEdges = 0;
  std::int32_t lNewEdges = 0;
  std::vector<NFlagSummary> flags;    // placed flags and barriers, in the order given
  bool bTraced = false;               // false: the network drawn or listed only
  std::string strDirection;
  std::int32_t lVisitedNods = 0;
  std::int32_t lVisitedEdges = 0;     // pieces of split edges counted one by one
  std::int32_t lOriginalsVisited = 0; // edges before splitting with any piece visited
  std::int32_t lOriginalsWhole = 0;   // ... with every piece visited
  double dDmd = 0.0;
  double dLength = 0.0;
  bool bRecorded = false;             // the build keeps recorders: the two lists below are known
  std::int32_t lBarrierNods = 0;      // closed nodes the trace stopped at
  std::vector<std::int32_t> barrierNods;    // as recorded, ascending
  std::vector<std::int32_t> closedStreets;  // closed streets met, demo edge numbers, ascending
};

// The summary as the lines printed on stdout (and drawn above the picture).
std::vector<std::string> SummaryLines(const NRunSummary& s);

#endif  // KELVANE_TRACE_SUMMARY_H
