// Summary.cpp - the text form of a run's summary.
#include "Summary.h"

#include <cstdio>

#include "Flags.h"

namespace {

std::string Fixed(double d, int nDigits) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", nDigits, d);
  return buf;
}

std::string Join(const std::vector<std::int32_t>& v, std::size_t nMax) {
  std::string s;
  for (std::size_t i = 0; i < v.size() && i < nMax; ++i) s += (i ? " " : "") + std::to_string(v[i]);
  if (v.size() > nMax) s += " ...";
  return s.empty() ? "none" : s;
}

}  // namespace

std::vector<std::string> SummaryLines(const NRunSummary& s) {
  std::vector<std::string> lines;
  const std::int64_t llSkipped = s.llNotLine + s.llBadCoord + s.llZeroLength;
  std::string strSkipped = std::to_string(llSkipped) + " skipped";
  if (llSkipped > 0) {
    std::string why;
    if (s.llNotLine > 0) why += std::to_string(s.llNotLine) + " not lines";
    if (s.llBadCoord > 0) why += (why.empty() ? "" : ", ") + std::to_string(s.llBadCoord) + " bad coordinates";
    if (s.llZeroLength > 0) why += (why.empty() ? "" : ", ") + std::to_string(s.llZeroLength) + " of no length";
    strSkipped += " (" + why + ")";
  }
  lines.push_back("input: " + s.strSource + ": " + std::to_string(s.llFeatures) + " features, " + strSkipped);
  std::int32_t lFlags = 0, lBarriers = 0;
  for (const NFlagSummary& f : s.flags) (f.bBarrier ? lBarriers : lFlags) += 1;
  lines.push_back("network: " + std::to_string(s.lNods) + " nodes, " + std::to_string(s.lEdges) + " edges; flags: " +
                  std::to_string(lFlags) + ", barriers: " + std::to_string(lBarriers) + "; " +
                  std::to_string(s.lSplitEdges) + " edges split into " + std::to_string(s.lNewEdges) + " pieces");
  // Each flag's node and snap distance; a long list is cut, the counts above stay whole.
  constexpr std::size_t kMaxFlagLines = 10;
  for (std::size_t i = 0; i < s.flags.size() && i < kMaxFlagLines; ++i) {
    const NFlagSummary& f = s.flags[i];
    lines.push_back(f.strName + ": node " + std::to_string(f.lNod) +
                    (f.bByPoint ? ", snapped " + FormatDistance(f.dSnapDist, s.strUnit) : std::string(", on its edge")));
  }
  if (s.flags.size() > kMaxFlagLines)
    lines.push_back("... and " + std::to_string(s.flags.size() - kMaxFlagLines) + " more flags and barriers");
  if (!s.bTraced) {
    lines.push_back("no flags: the network only, nothing traced");
    return lines;
  }
  lines.push_back("trace (" + s.strDirection + "): visited " + std::to_string(s.lVisitedNods) + " nodes, " +
                  std::to_string(s.lVisitedEdges) + " edges (" + std::to_string(s.lOriginalsVisited) +
                  " edges before splitting, " + std::to_string(s.lOriginalsWhole) + " of them whole)");
  lines.push_back("demand reached: " + Fixed(s.dDmd, 2) + ", length reached: " + Fixed(s.dLength, 1) + " " + s.strUnit);
  // One-way streets are not barriers: the recorder also notes each direction
  // a query passed over, and only streets closed both ways are counted here.
  if (s.bRecorded) {
    lines.push_back("barriers met (recorded): " + std::to_string(s.barrierNods.size()) + " nodes [" +
                    Join(s.barrierNods, 10) + "], " + std::to_string(s.closedStreets.size()) + " closed streets [edges " +
                    Join(s.closedStreets, 10) + "]");
  } else {
    lines.push_back("barriers met: " + std::to_string(s.lBarrierNods) +
                    " nodes (this build keeps no recorders of closed elements)");
  }
  return lines;
}
