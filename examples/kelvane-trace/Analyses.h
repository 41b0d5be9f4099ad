// Analyses.h - the toolkit's analyses run on the demo's network: a route to a
// point, the area within a cost, the streets a burst cuts off, and the parts
// that hang together. Each gives its outcome as stretches of the demo's own
// edges, so that the picture and the output file draw them like a trace.
#ifndef KELVANE_TRACE_ANALYSES_H
#define KELVANE_TRACE_ANALYSES_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "kelvane/tools/Components.h"
#include "kelvane/tools/DrivingSide.h"
#include "kelvane/tools/NetworkView.h"
#include "kelvane/tools/Progress.h"
#include "kelvane/tools/Restrictions.h"
#include "kelvane/tools/SplitIndex.h"

using kelvane::tools::CNetworkView;
using kelvane::tools::DrivingSide;
using kelvane::tools::NRestriction_stru;
using kelvane::tools::CSplitIndex;
using kelvane::tools::NComponents_stru;
using kelvane::tools::NFinding_stru;

// A stretch of a demo edge, as fractions of its planar length from the start
// of its geometry.
struct NEdgeStretch {
  std::int32_t lEdge = 0;  // demo edge number
  double dFrom = 0.0;
  double dTo = 1.0;
};

enum class NDemoMode : char {
  Trace = 0,       // the plain trace from the flags
  Route = 1,       // --route X,Y: least-cost path from the first flag to the point
  Within = 2,      // --within COST: everything within COST of the flags
  Isolate = 3,     // --isolate: the valves to close around the first flag; the other flags are sources
  Components = 4,  // --components: the parts that hang together
  CostsTo = 5,     // --costs-to: every node's least cost to the first flag
  Closest = 6,     // --closest: the network parted among the flags by the nearest
};

struct NAnalysisInput {
  NDemoMode eMode = NDemoMode::Trace;
  std::vector<std::int32_t> starts;  // nodes of the flags, in the order given
  std::int32_t lTarget = 0;          // Route: the node of the point
  std::vector<std::int32_t> valves;  // Isolate: nodes of the valves
  double dLimit = 0.0;               // Within
  std::int32_t lCostFld = 0;         // weight column the route and the area go by
  bool bToward = false;              // Within: the area that reaches the flags, not the one they reach
  bool bFollowCosts = false;         // Components: a direction of no way is no way
  DrivingSide eSide = DrivingSide::Both;         // Route: the kerb the start is left and the point reached from; Within: the flags are left from
  std::vector<NRestriction_stru> restrictions;  // Route: turn restrictions on the network's edges
  // Polled by the searches over the whole network (costs-to, toward, closest); null: none.
  const kelvane::tools::NProgress_stru* pProgress = nullptr;
};

struct NAnalysisOutcome {
  std::vector<NEdgeStretch> stretches;  // what the picture draws: route, area or isolated part
  std::int32_t lNodsReached = 0;        // area: nodes within the limit; isolate: nodes cut off
  std::int32_t lEdgesReached = 0;       // network edges (pieces) in the outcome
  bool bRouteFound = false;
  double dRouteCost = 0.0;
  std::vector<NEdgeStretch> route;        // demo edges in travel order, dFrom > dTo when travelled back
  std::vector<double> routeCosts;         // cost from the start to the end of each route stretch
  std::vector<std::int32_t> closeValves;  // valve nodes to close
  bool bSourceInside = false;             // isolate: a source lies in the burst's own part
  NComponents_stru comps;                 // components, of the network pieces
  std::vector<std::int32_t> edgeComp;     // per demo edge (entry e - 1): component of its first piece
  std::vector<std::int32_t> compEdges;    // per component (entry c - 1): demo edges in it
  std::int32_t lLargest = 0;              // the component with the most demo edges
  std::vector<double> flagCosts;          // costs-to: per start flag, its cost to the first flag
  double dMaxCost = 0.0;                  // costs-to: the highest finite cost to the first flag
  std::vector<std::int32_t> stretchPart;  // closest: per stretch, the index of its nearest flag
  std::vector<std::int32_t> partNods;     // closest: per start flag, the nodes nearest to it
  std::vector<std::int32_t> partEdges;    // closest: per start flag, the network edges nearest to it
};

struct NOptions;
struct NRunSummary;

// Everything that makes one mode, in one place: its option and help, what it
// needs, how it runs and how its outcome is told. The trace is the entry
// with no option.
struct NModeDef {
  NDemoMode eMode;
  const char* pszOption;   // "--route"; null for the trace
  const char* pszArg;      // the option's argument ("X,Y"); null for a switch
  const char* pszHelp;     // for --help and the man page, lines broken where --help breaks them
  const char* pszName;     // in the summary, the JSON and --timing: "route"
  const char* pszOutcome;  // what the picture's coloured streets are: "route", "in reach"
  std::size_t nMinStarts;  // start flags it needs; 0: it runs without
  const char* pszTooFew;   // the refusal with fewer
  // Reads the option's argument into opt (the mode set through SetMode).
  bool (*pfnSet)(const std::string& strName, const std::string& strArg, NOptions& opt, std::string& strError);
  // The finished command line: what the mode asks of it, bChosen telling
  // whether it is the run's mode. Null: nothing to check.
  bool (*pfnCheck)(const NOptions& opt, bool bChosen, std::string& strError);
  // Runs the mode's analysis on view. Returns false with err set when the toolkit refuses.
  bool (*pfnRun)(const CNetworkView& view, const CSplitIndex& split, std::int32_t lDemoEdges, const NAnalysisInput& in,
                 NAnalysisOutcome& out, NFinding_stru& err);
  // The summary lines of its outcome.
  void (*pfnLines)(const NRunSummary& s, std::vector<std::string>& lines);
};

// Every mode, the trace first, then the analyses in the order --help lists them.
const std::vector<NModeDef>& Modes();
const NModeDef& ModeOf(NDemoMode eMode);

// Runs in.eMode on view (built from the network flag mapping indexed in
// split, pieces costed by their share). Returns false with strError set when
// the toolkit refuses, naming what it refused.
bool RunAnalysis(const CNetworkView& view, const CSplitIndex& split, std::int32_t lDemoEdges, const NAnalysisInput& in,
                 NAnalysisOutcome& out, std::string& strError);

#endif  // KELVANE_TRACE_ANALYSES_H
