// Landmarks.h - lower bounds on route costs, read off the costs from and to a
// few landmark nodes, that let a one-to-one route search head for its target
// instead of settling every node nearer than it.
//
//   kelvane::tools::CLandmarks marks;
//   marks.Build(view, 8);                 // once per view: 2 searches a landmark
//   NRouteOptions_stru opt;
//   opt.pLandmarks = &marks;
//   FindShortestPath(view, s, t, opt, path);  // the same cost, far fewer nodes
//
// The bounds come from the view as built, with no barriers. A call's barriers
// and the view's closed nodes only take ways away, so a route under them
// costs at least as much and the bounds still hold: routes stay exact.
#ifndef KELVANE_TOOLS_LANDMARKS_H
#define KELVANE_TOOLS_LANDMARKS_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "kelvane/tools/Finding.h"
#include "kelvane/tools/NetworkView.h"
#include "kelvane/tools/ToolsConfig.h"

namespace kelvane {
namespace tools {

struct NProgress_stru;
struct NRouteOptions_stru;

class KELVANE_TOOLS_API CLandmarks {
 public:
  CLandmarks();

  // Picks lCount landmarks spread over the network, each the node farthest
  // from those picked before, and keeps the directed costs (no turns, no
  // barriers) from and to each. Time: 2 * lCount + 1 searches to every node;
  // memory 8 * lCount bytes a node. Returns 1; 0 with the landmarks as they
  // were for a view that is not current, lCount outside 1 to 64, memory
  // running out or the host stopping it (polled once a landmark).
  std::int32_t Build(const CNetworkView& view, std::int32_t lCount, NFinding_stru* pError = nullptr,
                     const NProgress_stru* pProgress = nullptr);

  // Whether these landmarks were built from view at its present counts. Like
  // the view's flat arrays, they hold while the view is neither rebuilt nor
  // destroyed; rebuild them with the view.
  bool Fits(const CNetworkView& view) const;

  std::int32_t GetCount() const { return m_lCount; }
  // The landmark nodes, in the order picked.
  const std::vector<std::int32_t>& GetNods() const { return m_nods; }
  std::size_t GetMemoryBytes() const;
  // Frees everything; Fits is then false for every view.
  void Release();

  // For the toolkit's search: per node n - 1, GetCount() pairs (cost from
  // landmark k to the node, cost from the node to landmark k) as floats,
  // +infinity where there is no route.
  const float* Costs() const { return m_costs.data(); }

 private:
  const CNetworkView* m_pView;
  std::int32_t m_lNodNum;
  std::int32_t m_lEdgeNum;
  std::int64_t m_lSteps;
  std::int32_t m_lCount;
  std::vector<std::int32_t> m_nods;
  std::vector<float> m_costs;
};

// The nodes the goal-directed search of FindShortestPath settles from lFrom
// to lTo with opt.pLandmarks (the plain search's when the landmarks do not
// apply): for measuring. -1 for a call FindShortestPath refuses.
KELVANE_TOOLS_API std::int64_t CountRouteSettled(const CNetworkView& view, std::int32_t lFrom, std::int32_t lTo,
                                                 const NRouteOptions_stru& opt);

}  // namespace tools
}  // namespace kelvane

#endif  // KELVANE_TOOLS_LANDMARKS_H
