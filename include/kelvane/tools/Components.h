// Components.h - the parts of a network that hang together: weakly (either
// way along every step) or strongly (each node reaches every other one of its
// part, keeping to one-way streets).
#ifndef KELVANE_TOOLS_COMPONENTS_H
#define KELVANE_TOOLS_COMPONENTS_H

#include <cstdint>
#include <vector>

#include "kelvane/tools/AnalysisInput.h"
#include "kelvane/tools/Finding.h"
#include "kelvane/tools/NetworkView.h"
#include "kelvane/tools/ToolsConfig.h"

namespace kelvane {
namespace tools {

enum class NComponentKind : char {
  Weak = 0,
  Strong = 1,
};

struct NComponents_stru {
  std::int32_t lCount = 0;                // components, numbered 1 to lCount by their lowest node
  std::vector<std::int32_t> nodComp;      // entry n - 1: node n's component; 0 for a closed node or barrier
  std::vector<std::int32_t> edgeComp;     // entry e - 1: the component both its usable ends lie in; 0 for none
  std::vector<std::int32_t> sizes;        // entry c - 1: nodes in component c
};

// What a component search follows besides the view's states.
struct NComponentOptions_stru {
  NElemSet_stru barriers;  // never entered
  // false: the states alone say which way a step may be taken, as a trace
  // reads them (a street made one-way by a cost of no way in one direction
  // is two-way here). true: the view's costs too, as routes read them: a
  // direction whose cost is no way (+infinity: a record of type 0, a
  // negative or an infinite cost) is no way, so such a street is one-way for
  // strong components, and an edge with no way in either direction joins no
  // component and links none, weak or strong.
  bool bFollowCosts = false;
};

// Closed nodes and barrier nodes join no component (they are reached but not
// passed); an edge joins the component of its open ends when it can be
// stepped over between them (strong: both ways round through the component),
// else 0. Returns 1; 0 with comps untouched for a view that is not current, a
// barrier out of range, memory running out or a stop.
KELVANE_TOOLS_API std::int32_t FindComponents(const CNetworkView& view, NComponentKind eKind,
                                              const NElemSet_stru& barriers, NComponents_stru& comps,
                                              NFinding_stru* pError = nullptr, const NProgress_stru* pProgress = nullptr);

// The same, with the barriers and the choice of following costs in opt.
KELVANE_TOOLS_API std::int32_t FindComponents(const CNetworkView& view, NComponentKind eKind,
                                              const NComponentOptions_stru& opt, NComponents_stru& comps,
                                              NFinding_stru* pError = nullptr, const NProgress_stru* pProgress = nullptr);

}  // namespace tools
}  // namespace kelvane

// The names of the 1.x toolkit at global scope, deprecated.
#define KELVANE_TOOLS_COMPONENTS_DECLARED
#if !defined(KELVANE_TOOLS_NO_GLOBAL_NAMES)
#include "kelvane/tools/GlobalNames.h"
#endif

#endif  // KELVANE_TOOLS_COMPONENTS_H
