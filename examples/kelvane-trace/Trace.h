// Trace.h - a breadth-first trace from the flags, walked with the library's
// connectivity queries and remembered in its trace marks.
#ifndef KELVANE_TRACE_TRACE_H
#define KELVANE_TRACE_TRACE_H

#include <cstdint>
#include <string>
#include <vector>

#include "kelvane/LocalNetwork.h"

constexpr bool kFirstGeneration = KELVANE_FIRST_GENERATION != 0;

enum class NTraceDir : char {
  Connected = 0,   // every street not closed both ways, either way
  Downstream = 1,  // where one can go from the flags, keeping to one-way streets
  Upstream = 2,    // where one can come from to reach the flags
};

// Whether the network must be built transposed for eDir. The walk takes the
// edges the up and down queries give at a node. In the current build those
// are the edges one may leave by (down: starts here, open along; up: ends
// here, open back); in the first generation, which picks by the sign of the
// entry, the edges one may arrive by. Transposing the streets swaps the two,
// so each build walks where it should.
inline bool NeedsTranspose(NTraceDir eDir) {
  return eDir != NTraceDir::Connected && ((eDir == NTraceDir::Upstream) != kFirstGeneration);
}

struct NTraceResult {
  CSmartArray<std::int32_t> nods;       // visited, ascending
  CSmartArray<std::int32_t> edges;      // visited, ascending; pieces of split edges included
  double dDmd = 0.0;                    // demand of the visited edges
  double dLength = 0.0;                 // ground length of the visited edges
  double dCost = 0.0;                   // cost of the visited edges
  std::int32_t lBarrierNods = 0;        // closed nodes the trace reached and stopped at
  bool bRecorded = false;               // this build keeps recorders (current build)
  CSmartArray<std::int32_t> blockedNods;   // closed nodes the queries met, as recorded
  CSmartArray<std::int32_t> blockedEdges;  // closed edges (or directions) met, as recorded
};

// Traces from the nodes in starts. Restarts the recorders first, so that they
// tell what this trace met. Leaves the trace marks open for the caller's own
// questions; the caller ends them with EndTrace. Returns false with strError
// set when the trace cannot start (out of memory).
bool RunTrace(CLocalNetwork& net, const std::vector<std::int32_t>& starts, NTraceDir eDir, NTraceResult& result,
              std::string& strError);

// The recorders, which only the current build keeps: restart them for the
// network's present counts, and read them back. Fetch returns false, lists
// empty, in the first generation.
bool RestartRecorders(CLocalNetwork& net);
bool FetchRecorders(CLocalNetwork& net, CSmartArray<std::int32_t>& nods, CSmartArray<std::int32_t>& edges);

#endif  // KELVANE_TRACE_TRACE_H
