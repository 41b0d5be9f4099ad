// GlobalNames.h - the toolkit's names as 1.x hosts wrote them, at global
// scope, so that their code still compiles now that the toolkit lives in
// kelvane::tools. Each public toolkit header includes this one at its end
// unless the host defines KELVANE_TOOLS_NO_GLOBAL_NAMES; every section is
// made once, after the header whose names it carries has declared them.
//
// Types are deprecated aliases: a host using one is told the new name. The
// functions are brought in by using-declarations, which name the very same
// functions: a call that argument-dependent lookup also resolves in
// kelvane::tools (every call taking a toolkit type does) is then never
// ambiguous, default arguments keep working, and a host may mix these names
// with `using namespace kelvane::tools;` while it moves. The aliases of the
// types the calls take already warn a host still on the old names.
//
// No include guard of its own: each header's section has one.

#include "kelvane/tools/ToolsConfig.h"

#if !defined(KELVANE_TOOLS_DEPRECATED)
#define KELVANE_TOOLS_DEPRECATED(name) \
  __attribute__((deprecated("use kelvane::tools::" #name ", or define KELVANE_TOOLS_NO_GLOBAL_NAMES to drop the 1.x names")))
#endif

// Finding.h
#if defined(KELVANE_TOOLS_FINDING_DECLARED) && !defined(KELVANE_TOOLS_GLOBAL_FINDING)
#define KELVANE_TOOLS_GLOBAL_FINDING
using NElemKind KELVANE_TOOLS_DEPRECATED(NElemKind) = kelvane::tools::NElemKind;
using NFinding_stru KELVANE_TOOLS_DEPRECATED(NFinding_stru) = kelvane::tools::NFinding_stru;
#endif

// AnalysisInput.h
#if defined(KELVANE_TOOLS_ANALYSISINPUT_DECLARED) && !defined(KELVANE_TOOLS_GLOBAL_ANALYSISINPUT)
#define KELVANE_TOOLS_GLOBAL_ANALYSISINPUT
using NElemSet_stru KELVANE_TOOLS_DEPRECATED(NElemSet_stru) = kelvane::tools::NElemSet_stru;
using kelvane::tools::FlagNods;
#endif

// NetworkBuilder.h
#if defined(KELVANE_TOOLS_NETWORKBUILDER_DECLARED) && !defined(KELVANE_TOOLS_GLOBAL_NETWORKBUILDER)
#define KELVANE_TOOLS_GLOBAL_NETWORKBUILDER
using CNetworkBuilder KELVANE_TOOLS_DEPRECATED(CNetworkBuilder) = kelvane::tools::CNetworkBuilder;
using kelvane::tools::DoubleWgt;
#endif

// NetworkCheck.h
#if defined(KELVANE_TOOLS_NETWORKCHECK_DECLARED) && !defined(KELVANE_TOOLS_GLOBAL_NETWORKCHECK)
#define KELVANE_TOOLS_GLOBAL_NETWORKCHECK
using NFlagStatus KELVANE_TOOLS_DEPRECATED(NFlagStatus) = kelvane::tools::NFlagStatus;
using NFlagCheck_stru KELVANE_TOOLS_DEPRECATED(NFlagCheck_stru) = kelvane::tools::NFlagCheck_stru;
using kelvane::tools::CheckNetwork;
using kelvane::tools::CheckFlags;
#endif

// SplitIndex.h
#if defined(KELVANE_TOOLS_SPLITINDEX_DECLARED) && !defined(KELVANE_TOOLS_GLOBAL_SPLITINDEX)
#define KELVANE_TOOLS_GLOBAL_SPLITINDEX
using NEdgePiece_stru KELVANE_TOOLS_DEPRECATED(NEdgePiece_stru) = kelvane::tools::NEdgePiece_stru;
using NFoldRule KELVANE_TOOLS_DEPRECATED(NFoldRule) = kelvane::tools::NFoldRule;
using CSplitIndex KELVANE_TOOLS_DEPRECATED(CSplitIndex) = kelvane::tools::CSplitIndex;
#endif

// NetworkView.h
#if defined(KELVANE_TOOLS_NETWORKVIEW_DECLARED) && !defined(KELVANE_TOOLS_GLOBAL_NETWORKVIEW)
#define KELVANE_TOOLS_GLOBAL_NETWORKVIEW
using NViewOptions_stru KELVANE_TOOLS_DEPRECATED(NViewOptions_stru) = kelvane::tools::NViewOptions_stru;
using NStep_stru KELVANE_TOOLS_DEPRECATED(NStep_stru) = kelvane::tools::NStep_stru;
using NStepSide KELVANE_TOOLS_DEPRECATED(NStepSide) = kelvane::tools::NStepSide;
using CNetworkView KELVANE_TOOLS_DEPRECATED(CNetworkView) = kelvane::tools::CNetworkView;
#endif

// TraceAnalysis.h
#if defined(KELVANE_TOOLS_TRACEANALYSIS_DECLARED) && !defined(KELVANE_TOOLS_GLOBAL_TRACEANALYSIS)
#define KELVANE_TOOLS_GLOBAL_TRACEANALYSIS
using NTraceKind KELVANE_TOOLS_DEPRECATED(NTraceKind) = kelvane::tools::NTraceKind;
using NTraceQuery_stru KELVANE_TOOLS_DEPRECATED(NTraceQuery_stru) = kelvane::tools::NTraceQuery_stru;
using NTraceResult_stru KELVANE_TOOLS_DEPRECATED(NTraceResult_stru) = kelvane::tools::NTraceResult_stru;
using kelvane::tools::TraceNetwork;
using kelvane::tools::WriteTraceMarks;
#endif

// Components.h
#if defined(KELVANE_TOOLS_COMPONENTS_DECLARED) && !defined(KELVANE_TOOLS_GLOBAL_COMPONENTS)
#define KELVANE_TOOLS_GLOBAL_COMPONENTS
using NComponentKind KELVANE_TOOLS_DEPRECATED(NComponentKind) = kelvane::tools::NComponentKind;
using NComponents_stru KELVANE_TOOLS_DEPRECATED(NComponents_stru) = kelvane::tools::NComponents_stru;
using kelvane::tools::FindComponents;
#endif

// Isolation.h
#if defined(KELVANE_TOOLS_ISOLATION_DECLARED) && !defined(KELVANE_TOOLS_GLOBAL_ISOLATION)
#define KELVANE_TOOLS_GLOBAL_ISOLATION
using NIsolationQuery_stru KELVANE_TOOLS_DEPRECATED(NIsolationQuery_stru) = kelvane::tools::NIsolationQuery_stru;
using NIsolationResult_stru KELVANE_TOOLS_DEPRECATED(NIsolationResult_stru) = kelvane::tools::NIsolationResult_stru;
using kelvane::tools::IsolateElement;
#endif

// ShortestPath.h
#if defined(KELVANE_TOOLS_SHORTESTPATH_DECLARED) && !defined(KELVANE_TOOLS_GLOBAL_SHORTESTPATH)
#define KELVANE_TOOLS_GLOBAL_SHORTESTPATH
using NRouteOptions_stru KELVANE_TOOLS_DEPRECATED(NRouteOptions_stru) = kelvane::tools::NRouteOptions_stru;
using NPathStep_stru KELVANE_TOOLS_DEPRECATED(NPathStep_stru) = kelvane::tools::NPathStep_stru;
using NPath_stru KELVANE_TOOLS_DEPRECATED(NPath_stru) = kelvane::tools::NPath_stru;
using NFoldedStep_stru KELVANE_TOOLS_DEPRECATED(NFoldedStep_stru) = kelvane::tools::NFoldedStep_stru;
using kelvane::tools::FindShortestPath;
using kelvane::tools::FindCostsFrom;
using kelvane::tools::FindCostMatrix;
using kelvane::tools::FoldPath;
#endif

// ServiceArea.h
#if defined(KELVANE_TOOLS_SERVICEAREA_DECLARED) && !defined(KELVANE_TOOLS_GLOBAL_SERVICEAREA)
#define KELVANE_TOOLS_GLOBAL_SERVICEAREA
using NAreaEdge_stru KELVANE_TOOLS_DEPRECATED(NAreaEdge_stru) = kelvane::tools::NAreaEdge_stru;
using NServiceArea_stru KELVANE_TOOLS_DEPRECATED(NServiceArea_stru) = kelvane::tools::NServiceArea_stru;
using kelvane::tools::FindServiceArea;
using kelvane::tools::FoldServiceArea;
#endif

// LineNoding.h
#if defined(KELVANE_TOOLS_LINENODING_DECLARED) && !defined(KELVANE_TOOLS_GLOBAL_LINENODING)
#define KELVANE_TOOLS_GLOBAL_LINENODING
using NLinePoint_stru KELVANE_TOOLS_DEPRECATED(NLinePoint_stru) = kelvane::tools::NLinePoint_stru;
using NNodingOptions_stru KELVANE_TOOLS_DEPRECATED(NNodingOptions_stru) = kelvane::tools::NNodingOptions_stru;
using NNodedEdge_stru KELVANE_TOOLS_DEPRECATED(NNodedEdge_stru) = kelvane::tools::NNodedEdge_stru;
using NNodedLines_stru KELVANE_TOOLS_DEPRECATED(NNodedLines_stru) = kelvane::tools::NNodedLines_stru;
using kelvane::tools::NodeLines;
#endif
