// Options.h - the command line of kelvane-trace.
#ifndef KELVANE_TRACE_OPTIONS_H
#define KELVANE_TRACE_OPTIONS_H

#include <ostream>
#include <string>
#include <vector>

#include "Flags.h"
#include "Input.h"
#include "Trace.h"

struct NOptions {
  std::string strInput;          // empty: the default town
  std::string strLayer;
  std::string strWhere;
  NFieldNames fields;
  bool bCsv = false;             // read the input as a CSV edge list
  bool bLonLat = false;          // CSV or unreferenced input in longitude/latitude
  double dSnap = -1.0;           // noding and flag snapping tolerance; negative: chosen per input
  std::vector<NFlagRequest> flags;  // flags and barriers, in the order given
  NTraceDir eDir = NTraceDir::Downstream;
  std::string strSvg = "trace.svg";  // empty: no picture
  std::string strOut;            // traced features; empty: none
  bool bTiming = false;
  bool bQuiet = false;           // no progress line
  bool bListEdges = false;
  bool bHelp = false;
};

// Reads argv into opt. Returns false with strError set for a command line it
// cannot use. With no input and no flags, the default town's flag and barriers.
bool ParseOptions(int argc, const char* const* argv, NOptions& opt, std::string& strError);

void PrintHelp(std::ostream& os);

#endif  // KELVANE_TRACE_OPTIONS_H
