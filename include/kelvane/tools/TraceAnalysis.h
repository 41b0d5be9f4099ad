// TraceAnalysis.h - connected, downstream and upstream traces on a view, and
// writing a trace's outcome into the network's own trace marks.
#ifndef KELVANE_TOOLS_TRACEANALYSIS_H
#define KELVANE_TOOLS_TRACEANALYSIS_H

#include <cstdint>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "kelvane/tools/AnalysisInput.h"
#include "kelvane/tools/Finding.h"
#include "kelvane/tools/NetworkView.h"
#include "kelvane/tools/ToolsConfig.h"

namespace kelvane {
namespace tools {

enum class NTraceKind : char {
  Connected = 0,   // every step either way
  Downstream = 1,  // the steps one may leave a node by
  Upstream = 2,    // the steps one may arrive at a node by, walked backwards
};

struct NTraceQuery_stru {
  NTraceKind eKind = NTraceKind::Connected;
  std::vector<std::int32_t> starts;  // start nodes
  NElemSet_stru barriers;            // never entered: neither the element nor a step into it is reached
  NElemSet_stru stops;               // reached, not passed
};

struct NTraceResult_stru {
  std::vector<std::int32_t> nods;   // reached, ascending
  std::vector<std::int32_t> edges;  // reached, ascending
};

// Walks from the starts. A step reaches its edge and its far node; a node is
// passed (its own steps taken) unless it is closed, a stop or a barrier; an
// edge that is a stop is reached but its far node is not. A start that is a
// barrier is not reached. Returns 1 with the result; 0 with it untouched for
// a view that is not current, a start, barrier or stop out of range, memory
// running out or a stop.
KELVANE_TOOLS_API std::int32_t TraceNetwork(const CNetworkView& view, const NTraceQuery_stru& query,
                                            NTraceResult_stru& result, NFinding_stru* pError = nullptr,
                                            const NProgress_stru* pProgress = nullptr);

// Opens net's trace anew (StartTrace, sized to the present counts) and marks
// the result's elements in it, so that FetchTraceResult and
// FetchNotTraceResult answer as if the host had traced. Returns 1; 0 with net
// untouched when view is not current or not built from net, or an element is
// out of range; 0 with no trace open when the trace bits cannot be allocated.
KELVANE_TOOLS_API std::int32_t WriteTraceMarks(CLocalNetwork& net, const CNetworkView& view,
                                               const NTraceResult_stru& result, NFinding_stru* pError = nullptr);

}  // namespace tools
}  // namespace kelvane

// The names of the 1.x toolkit at global scope, deprecated.
#define KELVANE_TOOLS_TRACEANALYSIS_DECLARED
#if !defined(KELVANE_TOOLS_NO_GLOBAL_NAMES)
#include "kelvane/tools/GlobalNames.h"
#endif

#endif  // KELVANE_TOOLS_TRACEANALYSIS_H
