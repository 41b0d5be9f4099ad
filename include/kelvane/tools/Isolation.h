// Isolation.h - which isolating devices (valves, switches: nodes) to close
// to cut an element off from every source, and what then loses supply.
#ifndef KELVANE_TOOLS_ISOLATION_H
#define KELVANE_TOOLS_ISOLATION_H

#include <cstdint>
#include <vector>

#include "kelvane/tools/AnalysisInput.h"
#include "kelvane/tools/Finding.h"
#include "kelvane/tools/NetworkView.h"
#include "kelvane/tools/ToolsConfig.h"
#include "kelvane/tools/TraceAnalysis.h"

namespace kelvane {
namespace tools {

struct NIsolationQuery_stru {
  NElemKind eStartKind = NElemKind::Node;  // Node or Edge: the element to cut off (a burst pipe)
  std::int32_t lStart = 0;                 // its number
  std::vector<std::int32_t> devices;       // nodes that can be closed
  std::vector<std::int32_t> sources;       // nodes that supply the network
  NElemSet_stru barriers;                  // already closed: never entered
};

struct NIsolationResult_stru {
  // The devices to close, ascending: those that bound the start's part of the
  // network (reached from it without passing another device; the start itself
  // is passed even when it is a device) and have a way to a source that runs
  // neither through that part nor through another of those devices. Closing
  // exactly these cuts the start off; opening any one of them reconnects it.
  std::vector<std::int32_t> devices;
  // Every element that a source reached before and reaches no longer once
  // those devices are closed (a closed device stays reached from its source
  // side), ascending. Empty when a source lies in the start's part.
  NTraceResult_stru isolated;
  bool bSourceInside = false;  // a source lies in the start's own part: nothing can cut it off
};

// Connected traces throughout. Returns 1; 0 with the result untouched for a
// view that is not current, a start kind other than Node or Edge, any number
// out of range, memory running out or a stop.
KELVANE_TOOLS_API std::int32_t IsolateElement(const CNetworkView& view, const NIsolationQuery_stru& query,
                                              NIsolationResult_stru& result, NFinding_stru* pError = nullptr,
                                              const NProgress_stru* pProgress = nullptr);

}  // namespace tools
}  // namespace kelvane

// The names of the 1.x toolkit at global scope, deprecated.
#define KELVANE_TOOLS_ISOLATION_DECLARED
#if !defined(KELVANE_TOOLS_NO_GLOBAL_NAMES)
#include "kelvane/tools/GlobalNames.h"
#endif

#endif  // KELVANE_TOOLS_ISOLATION_H
