// Trace.h - the trace from the flags: the toolkit's TraceNetwork on the view
// the analyses use, written back into the network's own trace marks.
#ifndef KELVANE_TRACE_TRACE_H
#define KELVANE_TRACE_TRACE_H

#include <cstdint>
#include <string>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "kelvane/tools/NetworkView.h"

using kelvane::tools::CNetworkView;

constexpr bool kFirstGeneration = KELVANE_FIRST_GENERATION != 0;

enum class NTraceDir : char {
  Connected = 0,   // every street not closed both ways, either way
  Downstream = 1,  // where one can go from the flags, keeping to one-way streets
  Upstream = 2,    // where one can come from to reach the flags
};

struct NTraceResult {
  CSmartArray<std::int32_t> nods;          // visited, ascending, as the network's trace marks give them
  CSmartArray<std::int32_t> edges;         // visited, ascending; pieces of split edges included
  double dDmd = 0.0;                       // demand of the visited edges
  double dLength = 0.0;                    // ground length of the visited edges
  std::int32_t lBarrierNods = 0;           // closed nodes the trace reached and stopped at
  CSmartArray<std::int32_t> blockedNods;   // those nodes, ascending
  CSmartArray<std::int32_t> blockedEdges;  // edges closed both ways at the nodes the trace passed, ascending
};

// Traces from the nodes in starts on view (built from net), marks what it
// reached in net's trace marks and reads it back, so that a host's own
// questions (AskEdgeHasTrace, FetchNotTraceResult) see the trace; the caller
// ends the marks with EndTrace. Returns false with strError set when the
// toolkit refuses.
bool RunTrace(CLocalNetwork& net, const CNetworkView& view, const std::vector<std::int32_t>& starts, NTraceDir eDir,
              NTraceResult& result, std::string& strError);

#endif  // KELVANE_TRACE_TRACE_H
