// RestrictionBench.cpp - costs from the grid's centre under turn restrictions
// over paths of edges, beside the same search with turn matrices: on the
// street grid of the route benchmarks (costs 1 to 10 per edge), 1% of the
// nodes carry a restriction (half "no" from a street over the crossing and
// the next street into a third, half "only" straight on over a crossing), the
// other form has a matrix at every crossing (no U-turns, small costs). Also
// the restricted call with no restriction at all, which is the plain search's,
// and the restricted search with a workspace kept between calls beside the
// same without one. Every form reports "faults", the page faults per call
// (getrusage's minor faults over the timed loop), with glibc's allocator.
//
// Arguments: grid side (1000 or 100) and numbering (0 row-major, 1 permuted).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "kelvane/tools/NetworkView.h"
#include "kelvane/tools/Restrictions.h"
#include "kelvane/tools/SearchWorkspace.h"
#include "kelvane/tools/ShortestPath.h"
#include "support/GridCases.h"
#include "support/GridNetwork.h"

using namespace kelvane::tools;

namespace {

using kelvane::tools::NRestriction_stru;
using kelvane::tools::NRestrictionKind;
using kelvane_bench::Abort;

class Networks {
 public:
  Networks(std::int32_t side, bool permuted)
      : graph_(kelvane_bench::MakeStreetGrid(side, 0.05, permuted)), lists_(kelvane_bench::MakeConnLists(graph_)) {
    Fill(net_, false);
    Fill(turnNet_, true);
    NViewOptions_stru opt;
    opt.lAlongFld = 0;
    NFinding_stru err;
    if (view_.Build(net_, opt, &err) != 1 || turnView_.Build(turnNet_, opt, &err) != 1) Abort(err.strText.c_str());
    MakeRestrictions();
  }

  static Networks& Get(const benchmark::State& state) { return kelvane_bench::NetworksFor<Networks>(state); }

  double Restricted(bool bAny, bool bWork = false) {
    NRouteOptions_stru opt;
    if (bWork) opt.pWork = &work_;
    const std::vector<NRestriction_stru> none;
    if (kelvane::tools::FindRestrictedCostsFrom(view_, graph_.source, opt, bAny ? restrictions_ : none, costs_) != 1) {
      Abort("FindRestrictedCostsFrom");
    }
    return Sum();
  }
  double Turns() {
    NRouteOptions_stru opt;
    if (FindCostsFrom(turnView_, graph_.source, opt, costs_) != 1) Abort("FindCostsFrom");
    return Sum();
  }
  std::size_t RestrictionCount() const { return restrictions_.size(); }
  std::int32_t Nodes() const { return graph_.nodes; }

 private:
  double Sum() const {
    double s = 0.0;
    for (double c : costs_) {
      if (c < 1e300) s += c;
    }
    return s;
  }

  // At 1% of the nodes, drawn with a fixed seed: a path of two or three
  // edges through the node, each next edge leaving the node the last arrived at.
  void MakeRestrictions() {
    std::mt19937_64 rng(20240612);
    std::vector<std::int32_t> steps;
    for (std::int32_t n = 1; n <= graph_.nodes; ++n) {
      if (rng() % 100 != 0) continue;
      std::vector<NStep_stru> in;
      view_.GetStepS(n, NStepSide::Arrive, in);
      if (in.empty()) continue;
      const NStep_stru& from = in[rng() % in.size()];
      NRestriction_stru r;
      r.eKind = rng() % 2 == 0 ? NRestrictionKind::No : NRestrictionKind::Only;
      r.edges.push_back(from.lEdge);
      r.lViaNod = n;
      std::int32_t at = n;
      const std::size_t len = r.eKind == NRestrictionKind::No ? 3 : 2;
      for (std::int32_t last = from.lEdge; r.edges.size() < len;) {
        std::vector<NStep_stru> out;
        view_.GetStepS(at, NStepSide::Leave, out);
        std::vector<NStep_stru> onward;
        for (const NStep_stru& s : out) {
          if (s.lEdge != last) onward.push_back(s);
        }
        if (onward.empty()) break;
        const NStep_stru& s = onward[rng() % onward.size()];
        r.edges.push_back(s.lEdge);
        last = s.lEdge;
        at = s.lFar;
      }
      if (r.edges.size() >= 2) restrictions_.push_back(r);
    }
  }

  void Fill(CLocalNetwork& net, bool bTurns) { kelvane_bench::FillStreetNetwork(graph_, lists_, net, bTurns); }

  kelvane_bench::RoadGraph graph_;
  kelvane_bench::ConnLists lists_;
  CLocalNetwork net_;
  CLocalNetwork turnNet_;
  CNetworkView view_;
  CNetworkView turnView_;
  std::vector<NRestriction_stru> restrictions_;
  std::vector<double> costs_;
  kelvane::tools::CSearchWorkspace work_;
};

template <class Search>
void Run(benchmark::State& state, Search search) {
  Networks& nets = Networks::Get(state);
  double r = search(nets);  // the workspace sized, and the costs' room made, before the count
  rusage before{};
  getrusage(RUSAGE_SELF, &before);
  for (auto _ : state) {
    r = search(nets);
    benchmark::DoNotOptimize(r);
  }
  rusage after{};
  getrusage(RUSAGE_SELF, &after);
  state.counters["nodes"] = nets.Nodes();
  state.counters["restrictions"] = static_cast<double>(nets.RestrictionCount());
  state.counters["faults"] = static_cast<double>(after.ru_minflt - before.ru_minflt) /
                             static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
}

void BM_CostsFromTurnMatrices(benchmark::State& s) { Run(s, [](Networks& n) { return n.Turns(); }); }
void BM_CostsFromRestricted(benchmark::State& s) { Run(s, [](Networks& n) { return n.Restricted(true); }); }
void BM_CostsFromRestrictedWork(benchmark::State& s) {
  Networks& nets = Networks::Get(s);
  if (nets.Restricted(true, true) != nets.Restricted(true)) Abort("the workspace changes the costs");
  Run(s, [](Networks& n) { return n.Restricted(true, true); });
}
void BM_CostsFromRestrictedNone(benchmark::State& s) { Run(s, [](Networks& n) { return n.Restricted(false); }); }

[[maybe_unused]] const int registered = [] {
  kelvane_bench::ForEachGrid([](const std::vector<std::int64_t>& args, benchmark::TimeUnit unit) {
    kelvane_bench::RegisterOnGrid("BM_CostsFromTurnMatrices", BM_CostsFromTurnMatrices, args, unit);
    kelvane_bench::RegisterOnGrid("BM_CostsFromRestricted", BM_CostsFromRestricted, args, unit);
    kelvane_bench::RegisterOnGrid("BM_CostsFromRestrictedWork", BM_CostsFromRestrictedWork, args, unit);
    kelvane_bench::RegisterOnGrid("BM_CostsFromRestrictedNone", BM_CostsFromRestrictedNone, args, unit);
  });
  return 0;
}();

}  // namespace
