// Demo.h - one run of kelvane-trace, from input to summary, picture and output
// file; main() and the tests both call RunDemo.
#ifndef KELVANE_TRACE_DEMO_H
#define KELVANE_TRACE_DEMO_H

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "Analyses.h"
#include "Flags.h"
#include "Input.h"
#include "Noding.h"
#include "Options.h"
#include "Summary.h"
#include "Timing.h"
#include "Trace.h"
#include "kelvane/LocalNetwork.h"
#include "kelvane/tools/NetworkView.h"
#include "kelvane/tools/SplitIndex.h"

struct NDemoRun {
  NInputNetwork input;
  NDemoNet demo;
  CLocalNetwork net;
  std::vector<NPlacedFlag> flags;
  CSplitIndex split;  // of the one flag mapping (made with no flags too)
  CNetworkView view;  // what the trace and the analyses read
  NMapStats mapStats;
  NTraceResult trace;
  NAnalysisOutcome analysis;               // an analysis mode's outcome
  std::vector<NEdgeStretch> traced;        // visited pieces; in an analysis mode its outcome
  std::vector<NEdgeStretch> pieces;        // every piece of every split edge
  std::vector<std::int32_t> blockedEdges;  // closed streets the trace met, as demo edges, ascending, once each
  std::int32_t lOriginalsVisited = 0;      // demo edges with any piece visited
  std::int32_t lOriginalsWhole = 0;        // demo edges with every piece visited
  CStageTimer timer;
  NRunSummary summary;                    // what the run found
  std::vector<std::string> summaryLines;  // the lines printed, also drawn in the picture
};

// Runs everything opt asks for. Writes the summary to out and warnings and
// errors to err. Returns the process exit status: 0 done, 1 failed (an
// output that cannot be written, input, network, a flag that cannot be
// placed, or no flag to trace from), 2 bad command line. Output paths are
// checked before the input is read.
int RunDemo(const NOptions& opt, std::ostream& out, std::ostream& err, NDemoRun& run);

// The picture of a run. Returns false with strError set if the file cannot be written.
bool WriteSvg(const std::string& strPath, const NDemoRun& run, std::string& strError);

// The traced features of a run, one per source feature reached, through the
// OGR driver named (see OgrDriverFor): its id, its attributes, one merged
// geometry and the fraction reached. bReplace: an existing file is deleted first.
bool WriteTracedFeatures(const std::string& strPath, const std::string& strDriver, bool bReplace, const NDemoRun& run,
                         std::string& strError);

// The turn restrictions of a CSV (kind,from,via,to; see --help) on the
// network of run: streets named by their feature ids, each restriction's
// path of streets turned into the path of network edges it runs over (a
// restriction from a street that passes through the via node holds from
// either side of it). Returns false with strError naming the file, the row
// and what is wrong.
bool ReadRestrictions(const std::string& strPath, const NDemoRun& run, std::vector<NRestriction_stru>& restrictions,
                      std::string& strError);

// The id of the feature demo edge lEdge was cut from: its own id field, else
// OGR's feature number.
std::string FeatureId(const NDemoRun& run, std::int32_t lEdge);

#endif  // KELVANE_TRACE_DEMO_H
