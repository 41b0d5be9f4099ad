// Options.h - the command line of kelvane-trace. One table of options (name,
// argument, help, setter) gives the parsing, --help and the man page, so that
// the three say the same.
#ifndef KELVANE_TRACE_OPTIONS_H
#define KELVANE_TRACE_OPTIONS_H

#include <ostream>
#include <string>
#include <vector>

#include "Analyses.h"
#include "Flags.h"
#include "Input.h"
#include "Trace.h"

struct NOptions {
  std::string strInput;  // empty: the default town
  std::string strLayer;
  std::string strWhere;
  NFieldNames fields;
  bool bCsv = false;                // read the input as a CSV edge list
  bool bLonLat = false;             // CSV or unreferenced input in longitude/latitude
  double dSnap = -1.0;              // noding and flag snapping tolerance; negative: chosen per input
  double dMaxSnap = -1.0;           // farthest a flag may lie from every street; negative: kDefaultMaxSnap
  std::vector<NFlagRequest> flags;  // flags and barriers, in the order given
  NTraceDir eDir = NTraceDir::Downstream;
  NDemoMode eMode = NDemoMode::Trace;  // an analysis mode's option instead of the trace
  double dWithin = 0.0;                // --within: the cost limit
  bool bByLength = false;              // routes and areas by ground length instead of the cost
  bool bToward = false;                // --toward: --within's area toward the flags
  bool bFollowCosts = false;           // --follow-costs: --components reads costs of no way as closed
  DrivingSide eSide = DrivingSide::Both;  // --side: the kerb a --route leaves from and arrives at, or --within leaves from
  std::string strRestrictions;         // --restrictions: a CSV of turn restrictions for --route, or kOsmRestrictions
  std::string strValves;               // --valves: a point layer of valves for --isolate
  bool bJson = false;                  // the summary as one JSON object on stdout
  std::string strSvg;                  // the picture; empty: none (see bSvgAsked)
  bool bSvgAsked = false;              // --svg given: the user wants the picture, traced or not
  bool bNoSvg = false;                 // --no-svg given
  std::string strOut;                  // traced features; empty: none
  std::string strFormat;               // -f: the output driver; empty: from the --out extension
  bool bOverwrite = false;             // an existing --out file may be replaced
  bool bTiming = false;
  bool bQuiet = false;  // no progress line
  bool bListEdges = false;
  bool bHelp = false;
  bool bVersion = false;
};

constexpr double kDefaultMaxSnap = 100.0;  // metres for lon/lat input, map units otherwise
constexpr const char* kDefaultSvg = "trace.svg";
constexpr const char* kOsmRestrictions = "osm";  // --restrictions osm: the relations of the OSM input

// Sets what one option says. strName is the option as typed (for messages),
// strArg its argument (empty for a switch). Returns false with strError set.
typedef bool (*FOptionSetter)(const std::string& strName, const std::string& strArg, NOptions& opt,
                              std::string& strError);

enum class NOptionRowKind : char {
  Section = 0,    // a heading: pszText
  Option = 1,     // an option: pszNames, pszArg, pszText, pfnSet
  Mode = 2,       // an analysis mode's option, all of it from the mode's own entry (Analyses.h)
  Paragraph = 3,  // text under the options, in --help and the man page
  HelpOnly = 4,   // text in --help only (the man page has sections of its own for it)
};

// One row of the option table, in the order --help lists them.
struct NOptionRow {
  NOptionRowKind eKind;
  const char* pszNames;  // Option: its names, '|' between them ("--out|-o"); "INPUT" for the input
  const char* pszArg;    // Option: the argument's name; null for a switch
  const char* pszText;   // the help, heading or paragraph, lines broken where --help breaks them
  FOptionSetter pfnSet;  // Option: null for the input, which is no option
  NDemoMode eMode;       // Mode: which
};

// The rows, modes filled in from their entries.
const std::vector<NOptionRow>& OptionTable();

// True when the run asks only to look at the network (a picture named with
// --svg, or the edge list), so that a run without flags has nothing to refuse.
bool LooksOnly(const NOptions& opt);
// True when a flag that starts the run was given (not a barrier, route point or valve).
bool HasStartFlag(const NOptions& opt);

// Reads argv into opt. Returns false with strError set for a command line it
// cannot use. With no input and no flags, the default town's flag and barriers.
bool ParseOptions(int argc, const char* const* argv, NOptions& opt, std::string& strError);

// For setters: "X,Y" into p; a number of 0 or more into d (strWhat names it
// in the refusal: "a distance"); the run's one analysis mode.
bool ParsePoint(const std::string& s, NLinePoint_stru& p);
bool SetNonNegative(const std::string& strName, const std::string& strArg, const char* pszWhat, double& d,
                    std::string& strError);
bool SetMode(NOptions& opt, NDemoMode eMode, std::string& strError);

void PrintHelp(std::ostream& os);
void PrintVersion(std::ostream& os);
// The man page, from the same table (kelvane-trace.1 is its output, checked by a test).
void WriteManPage(std::ostream& os);

#endif  // KELVANE_TRACE_OPTIONS_H
