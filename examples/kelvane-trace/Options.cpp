// Options.cpp - the option table, and the parsing and help made from it.
#include "Options.h"

#include <gdal.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

bool ParseDouble(const std::string& s, double& d) {
  if (s.empty()) return false;
  char* pEnd = nullptr;
  errno = 0;
  d = std::strtod(s.c_str(), &pEnd);
  return errno == 0 && *pEnd == '\0';
}

// "EDGE:FRACTION"
bool ParseEdgePos(const std::string& s, std::int32_t& lEdge, double& dPos) {
  const std::size_t colon = s.find(':');
  double e = 0.0;
  if (colon == std::string::npos || !ParseDouble(s.substr(0, colon), e) || !ParseDouble(s.substr(colon + 1), dPos))
    return false;
  // Range first: converting a double outside int32 (or NaN) is undefined.
  if (!(e >= -2147483648.0 && e <= 2147483647.0) || e != std::floor(e)) return false;
  lEdge = static_cast<std::int32_t>(e);
  return true;
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// "a,b,c": the names, blanks trimmed, empty ones dropped.
std::vector<std::string> SplitList(const std::string& s) {
  std::vector<std::string> out;
  std::size_t b = 0;
  while (b <= s.size()) {
    std::size_t e = s.find(',', b);
    if (e == std::string::npos) e = s.size();
    std::string item = s.substr(b, e - b);
    while (!item.empty() && item.front() == ' ') item.erase(item.begin());
    while (!item.empty() && item.back() == ' ') item.pop_back();
    if (!item.empty()) out.push_back(item);
    b = e + 1;
  }
  return out;
}

NFlagRequest PointFlag(double x, double y, bool bBarrier, const char* pszLabel) {
  NFlagRequest f;
  f.pt = NLinePoint_stru{x, y};
  f.bBarrier = bBarrier;
  f.strLabel = pszLabel;
  return f;
}

// --- setters; a setter of a switch ignores its (empty) argument ---

// Options that only set a member: a text, an attribute name, a switch.
template <std::string NOptions::*pText>
bool SetText(const std::string&, const std::string& strArg, NOptions& opt, std::string&) {
  opt.*pText = strArg;
  return true;
}
template <std::string NFieldNames::*pName>
bool SetFieldName(const std::string&, const std::string& strArg, NOptions& opt, std::string&) {
  opt.fields.*pName = strArg;
  return true;
}
template <bool NOptions::*pSwitch>
bool SetSwitch(const std::string&, const std::string&, NOptions& opt, std::string&) {
  opt.*pSwitch = true;
  return true;
}

bool SetKeepFields(const std::string&, const std::string& strArg, NOptions& opt, std::string&) {
  opt.fields.bKeepAll = false;
  opt.fields.keep = SplitList(strArg);
  return true;
}
bool SetSnap(const std::string& strName, const std::string& strArg, NOptions& opt, std::string& strError) {
  return SetNonNegative(strName, strArg, "a distance", opt.dSnap, strError);
}
bool SetMaxSnap(const std::string& strName, const std::string& strArg, NOptions& opt, std::string& strError) {
  return SetNonNegative(strName, strArg, "a distance", opt.dMaxSnap, strError);
}

// --flag, --barrier, --flag-edge and --barrier-edge.
bool SetFlag(const std::string& strName, const std::string& strArg, NOptions& opt, std::string& strError) {
  NFlagRequest f;
  f.bBarrier = strName.compare(0, 9, "--barrier") == 0;
  f.strLabel = (f.bBarrier ? "barrier " : "flag ") + strArg;
  f.bByPoint = !EndsWith(strName, "-edge");
  // Not-a-number and infinite places name no point: refused here, before
  // anything is read, rather than snapped to wherever the arithmetic lands.
  const bool bParsed = f.bByPoint ? ParsePoint(strArg, f.pt) && std::isfinite(f.pt.dX) && std::isfinite(f.pt.dY)
                                  : ParseEdgePos(strArg, f.lEdge, f.dPos) && std::isfinite(f.dPos);
  if (!bParsed) {
    strError = strName + (f.bByPoint ? " needs finite X,Y" : " needs EDGE:FRACTION") + ", not '" + strArg + "'";
    return false;
  }
  opt.flags.push_back(f);
  return true;
}

bool SetValve(const std::string& strName, const std::string& strArg, NOptions& opt, std::string& strError) {
  NFlagRequest f;
  f.bValve = true;
  f.strLabel = "valve " + strArg;
  if (!ParsePoint(strArg, f.pt) || !std::isfinite(f.pt.dX) || !std::isfinite(f.pt.dY)) {
    strError = strName + " needs finite X,Y, not '" + strArg + "'";
    return false;
  }
  opt.flags.push_back(f);
  return true;
}

bool SetDirection(const std::string&, const std::string& strArg, NOptions& opt, std::string& strError) {
  static const struct {
    const char* pszName;
    NTraceDir eDir;
  } kDirs[] = {
      {"connected", NTraceDir::Connected}, {"downstream", NTraceDir::Downstream}, {"upstream", NTraceDir::Upstream}};
  for (const auto& d : kDirs) {
    if (strArg == d.pszName) {
      opt.eDir = d.eDir;
      return true;
    }
  }
  strError = "--direction is connected, downstream or upstream, not '" + strArg + "'";
  return false;
}

bool SetSide(const std::string&, const std::string& strArg, NOptions& opt, std::string& strError) {
  static const struct {
    const char* pszName;
    DrivingSide eSide;
  } kSides[] = {{"both", DrivingSide::Both}, {"right", DrivingSide::Right}, {"left", DrivingSide::Left}};
  for (const auto& d : kSides) {
    if (strArg == d.pszName) {
      opt.eSide = d.eSide;
      return true;
    }
  }
  strError = "--side is right, left or both, not '" + strArg + "'";
  return false;
}

bool SetSvg(const std::string&, const std::string& strArg, NOptions& opt, std::string&) {
  opt.strSvg = strArg;
  opt.bSvgAsked = true;
  return true;
}

constexpr NDemoMode kNoMode = NDemoMode::Trace;

NOptionRow Section(const char* pszText) {
  return NOptionRow{NOptionRowKind::Section, nullptr, nullptr, pszText, nullptr, kNoMode};
}
NOptionRow Para(const char* pszText) {
  return NOptionRow{NOptionRowKind::Paragraph, nullptr, nullptr, pszText, nullptr, kNoMode};
}
NOptionRow HelpOnly(const char* pszText) {
  return NOptionRow{NOptionRowKind::HelpOnly, nullptr, nullptr, pszText, nullptr, kNoMode};
}
NOptionRow Opt(const char* pszNames, const char* pszArg, const char* pszText, FOptionSetter pfnSet) {
  return NOptionRow{NOptionRowKind::Option, pszNames, pszArg, pszText, pfnSet, kNoMode};
}
// A mode's row, everything but its place taken from the mode's own entry.
NOptionRow Mode(NDemoMode eMode) {
  const NModeDef& m = ModeOf(eMode);
  return NOptionRow{NOptionRowKind::Mode, m.pszOption, m.pszArg, m.pszHelp, m.pfnSet, eMode};
}

std::vector<NOptionRow> MakeTable() {
  return {
      Section("Input"),
      Opt("INPUT", nullptr,
          "any vector file OGR reads (GeoJSON, GeoPackage, Shapefile,\n"
          "...), or a CSV edge list (a .csv name, or --csv). Lines\n"
          "become edges; other geometries are skipped and counted.",
          nullptr),
      Opt("--layer", "NAME", "the layer to read (default: the first line layer)", SetText<&NOptions::strLayer>),
      Opt("--where", "CONDITION",
          "read only features matching this OGR SQL condition,\n"
          "e.g. \"highway <> 'footway'\"",
          SetText<&NOptions::strWhere>),
      Opt("--cost-field", "NAME", "attribute with each feature's cost (default: its length)",
          SetFieldName<&NFieldNames::strCost>),
      Opt("--oneway-field", "NAME",
          "attribute saying a street is one-way: yes/true/1/FT/forward\n"
          "along the line as drawn, -1/TF/reverse/backward against it",
          SetFieldName<&NFieldNames::strOneWay>),
      Opt("--demand-field", "NAME", "attribute with each feature's demand, shared by length",
          SetFieldName<&NFieldNames::strDemand>),
      Opt("--blocked-field", "NAME", "attribute closing a street both ways when set (not 0/no)",
          SetFieldName<&NFieldNames::strBlocked>),
      Opt("--id-field", "NAME",
          "the features' own id (default: a field named id or osm_id,\n"
          "else OGR's feature number)",
          SetFieldName<&NFieldNames::strId>),
      Opt("--keep-fields", "A,B", "the attributes carried to --out (default: all)", SetKeepFields),
      Opt("--csv", nullptr,
          "read INPUT as a CSV edge list: header row, then one straight\n"
          "street per row in columns x1,y1,x2,y2, optional id, and\n"
          "the attribute columns named above",
          SetSwitch<&NOptions::bCsv>),
      Opt("--lonlat", nullptr, "CSV (or unreferenced) coordinates are longitude,latitude",
          SetSwitch<&NOptions::bLonLat>),
      Opt("--snap", "DIST",
          "vertices closer than DIST become one node, and a flag this\n"
          "close to an edge's end goes to its node; metres for\n"
          "longitude/latitude input, map units otherwise\n"
          "(default 0.01)",
          SetSnap),
      Opt("--max-snap", "DIST",
          "a flag or barrier farther than DIST from every street is\n"
          "refused (default 100; same units as --snap)",
          SetMaxSnap),
      Para("Features with coordinates that are not finite, or outside -180..180/-90..90\n"
           "for longitude/latitude input, and lines with no length are skipped, named on\n"
           "stderr and counted in the summary."),
      Para("Nodes stand at line ends and at every vertex two lines share; a line is cut\n"
           "into edges there. Lines that cross without a shared vertex stay apart."),
      Section("Flags and barriers (each may be repeated)"),
      Opt("--flag", "X,Y", "a start point, snapped to the nearest edge", SetFlag),
      Opt("--flag-edge", "E:F",
          "a start on edge E at fraction F (0 to 1) from the edge's\n"
          "start; edge numbers are listed by --list-edges",
          SetFlag),
      Opt("--barrier", "X,Y", "a point the trace may not pass, snapped like a flag", SetFlag),
      Opt("--barrier-edge", "E:F", "a barrier on edge E at fraction F", SetFlag),
      Section("Trace"),
      Opt("--direction", "DIR",
          "connected: every street not closed, either way;\n"
          "downstream (default): where one can go from the flags,\n"
          "keeping to one-way streets; upstream: where one can come\n"
          "from to reach the flags",
          SetDirection),
      Section("Analyses (one per run, in place of the trace; the picture and --out show it)"),
      Mode(NDemoMode::Route),
      Opt("--restrictions", "FILE",
          "turn restrictions for --route: a CSV with the header\n"
          "kind,from,via,to and one restriction a row; kind no or\n"
          "only (or an OSM tag: no_left_turn, only_straight_on ...),\n"
          "from and to street ids (--id-field), via empty (the node\n"
          "the two streets share), node:N (node N of --list-edges)\n"
          "or the street ids between them, ';' apart, in travel order;\n"
          "osm: the type=restriction relations of an .osm XML input\n"
          "(ways by osm_id; relations for some vehicles or times\n"
          "only are ignored, those that cannot be used are counted\n"
          "on stderr; a .pbf input's relations are not read)",
          SetText<&NOptions::strRestrictions>),
      Opt("--side", "SIDE",
          "right, left or both (default): for --route, the side of\n"
          "the street, seen along its line, the start is left from\n"
          "and the point is reached at; for --within, the side every\n"
          "flag is left from; a vehicle on a two-way street keeps\n"
          "right and does not cross to the other kerb",
          SetSide),
      Mode(NDemoMode::CostsTo),
      Mode(NDemoMode::Within),
      Opt("--toward", nullptr, "with --within: everything that reaches the flags within COST",
          SetSwitch<&NOptions::bToward>),
      Mode(NDemoMode::Closest),
      Mode(NDemoMode::Isolate),
      Opt("--valve", "X,Y", "a valve for --isolate, snapped like a flag (repeatable)", SetValve),
      Opt("--valves", "FILE", "a point layer (any OGR format) of valves for --isolate", SetText<&NOptions::strValves>),
      Mode(NDemoMode::Components),
      Opt("--follow-costs", nullptr,
          "with --components: a direction whose cost is no way\n"
          "(negative or infinite) is closed, as routes read it",
          SetSwitch<&NOptions::bFollowCosts>),
      Opt("--by-length", nullptr, "routes and areas by ground length, not the cost", SetSwitch<&NOptions::bByLength>),
      Opt("--json", nullptr, "the summary as one JSON object on stdout (for scripts)", SetSwitch<&NOptions::bJson>),
      Section("Output"),
      Opt("--svg", "FILE",
          "the picture: network grey, traced streets coloured, flags,\n"
          "barriers, split points and a scale bar; without --svg it\n"
          "is written to trace.svg only when no other output is asked",
          SetSvg),
      Opt("--no-svg", nullptr, "no picture", SetSwitch<&NOptions::bNoSvg>),
      Opt("--out|-o", "FILE",
          "the traced features, through OGR: .geojson/.json (GeoJSON),\n"
          ".gpkg (GeoPackage) or .shp (Shapefile); one per feature\n"
          "reached, with its id (src_fid), its attributes, the\n"
          "fraction reached and its reached stretches merged",
          SetText<&NOptions::strOut>),
      Opt("-f|--format", "FORMAT", "the OGR driver for --out (e.g. GPKG, FlatGeobuf)", SetText<&NOptions::strFormat>),
      Opt("--overwrite", nullptr, "replace an existing --out file", SetSwitch<&NOptions::bOverwrite>),
      Opt("--list-edges", nullptr, "print the network's edges: number, feature, nodes, length",
          SetSwitch<&NOptions::bListEdges>),
      Opt("--timing", nullptr,
          "print the time of each stage: parse, build, map flags,\n"
          "trace, draw",
          SetSwitch<&NOptions::bTiming>),
      Opt("--quiet", nullptr, "no progress line while a large file loads or a long\n"
          "analysis runs", SetSwitch<&NOptions::bQuiet>),
      Opt("--version", nullptr, "the program's version", SetSwitch<&NOptions::bVersion>),
      Opt("-h|--help", nullptr, "this text", SetSwitch<&NOptions::bHelp>),
      Para("--opt=value works as --opt value. Every output path is checked before the\n"
           "input is read. The summary on stdout gives each flag's node and snap distance,\n"
           "the elements visited, the demand and length reached, and the barriers the trace\n"
           "met (barrier nodes and closed streets; one-way streets are not barriers)."),
      HelpOnly("Exit status: 0 done; 1 the input, an output, a flag or barrier that cannot be\n"
               "placed, or no flag to trace from (a run that only draws or lists needs none);\n"
               "2 a bad command line."),
  };
}

// Whether strName is one of the row's names.
bool Names(const NOptionRow& row, const std::string& strName) {
  if (row.pfnSet == nullptr) return false;
  const std::string names = std::string("|") + row.pszNames + "|";
  return names.find("|" + strName + "|") != std::string::npos;
}

const NOptionRow* FindOption(const std::string& strName) {
  for (const NOptionRow& row : OptionTable())
    if (Names(row, strName)) return &row;
  return nullptr;
}

// One argument of the command line, and its value when the option takes one.
bool ParseOne(const std::vector<std::string>& args, std::size_t& i, NOptions& opt, std::string& strError) {
  // "--opt=value" is the same as "--opt value".
  std::string a = args[i];
  const std::size_t eq = a.find('=');
  const bool bInline = a.compare(0, 2, "--") == 0 && eq != std::string::npos;
  std::string v = bInline ? a.substr(eq + 1) : std::string();
  if (bInline) a.resize(eq);
  const NOptionRow* pRow = FindOption(a);
  if (pRow == nullptr) {
    if (!a.empty() && a[0] == '-' && a != "-") {
      strError = "unknown option '" + a + "' (see --help)";
    } else if (opt.strInput.empty()) {
      opt.strInput = a;
    } else {
      strError = "one input file only, not also '" + a + "'";
    }
    return strError.empty();
  }
  if (pRow->pszArg == nullptr && bInline) {
    strError = a + " takes no value";
    return false;
  }
  if (pRow->pszArg != nullptr && !bInline) {
    if (i + 1 >= args.size()) {
      strError = a + " needs a value";
      return false;
    }
    v = args[++i];
  }
  return pRow->pfnSet(a, v, opt, strError);
}

// What holds between options, once all are read.
bool CheckOutputArgs(const NOptions& opt, std::string& strError) {
  if (opt.bNoSvg && opt.bSvgAsked) {
    strError = "--svg and --no-svg together";
  } else if (opt.bSvgAsked && opt.strSvg.empty()) {
    strError = "--svg needs a file name (or --no-svg for no picture)";
  } else if (!opt.strFormat.empty() && opt.strOut.empty()) {
    strError = "-f names the format of --out, and there is no --out";
  }
  return strError.empty();
}

bool Finish(NOptions& opt, std::string& strError) {
  if (!CheckOutputArgs(opt, strError)) return false;
  // The picture is drawn when asked for, or when nothing else would come out of the run.
  if (!opt.bNoSvg && !opt.bSvgAsked && opt.strOut.empty() && !opt.bListEdges) opt.strSvg = kDefaultSvg;
  if (EndsWith(opt.strInput, ".csv") || EndsWith(opt.strInput, ".CSV")) opt.bCsv = true;
  for (const NModeDef& m : Modes()) {
    if (m.pfnCheck != nullptr && !m.pfnCheck(opt, m.eMode == opt.eMode, strError)) return false;
  }
  if (opt.strInput.empty() && !HasStartFlag(opt)) {
    // The default town: a flag on High Street, and three barriers that cut
    // off the south-east corner, so the picture shows what a trace does not reach.
    opt.flags.push_back(PointFlag(150, 205, false, "flag 150,205"));
    opt.flags.push_back(PointFlag(350, 0, true, "barrier 350,0"));
    opt.flags.push_back(PointFlag(350, 100, true, "barrier 350,100"));
    opt.flags.push_back(PointFlag(400, 150, true, "barrier 400,150"));
  }
  return true;
}

// --- help ---

// The names as --help shows them: "--out FILE, -o FILE".
std::string Shown(const NOptionRow& row) {
  std::string s;
  std::string names = row.pszNames;
  while (!names.empty()) {
    const std::size_t bar = names.find('|');
    s += (s.empty() ? "" : ", ") + names.substr(0, bar) + (row.pszArg != nullptr ? std::string(" ") + row.pszArg : "");
    names = bar == std::string::npos ? std::string() : names.substr(bar + 1);
  }
  return s;
}

// The text's lines, each indented; the first after the names when they leave room.
void HelpOption(std::ostream& os, const NOptionRow& row) {
  constexpr std::size_t kColumn = 24;
  std::string head = "  " + Shown(row);
  head = head.size() + 2 <= kColumn ? head + std::string(kColumn - head.size(), ' ')
                                    : head + "\n" + std::string(kColumn, ' ');
  const std::string text = row.pszText;
  std::size_t b = 0;
  while (b <= text.size()) {
    const std::size_t e = std::min(text.find('\n', b), text.size());
    os << (b == 0 ? head : std::string(kColumn, ' ')) << text.substr(b, e - b) << '\n';
    b = e + 1;
  }
}

}  // namespace

const std::vector<NOptionRow>& OptionTable() {
  static const std::vector<NOptionRow> kTable = MakeTable();
  return kTable;
}

bool ParsePoint(const std::string& s, NLinePoint_stru& p) {
  const std::size_t comma = s.find(',');
  return comma != std::string::npos && ParseDouble(s.substr(0, comma), p.dX) && ParseDouble(s.substr(comma + 1), p.dY);
}

bool SetNonNegative(const std::string& strName, const std::string& strArg, const char* pszWhat, double& d,
                    std::string& strError) {
  if (!ParseDouble(strArg, d) || !std::isfinite(d) || d < 0.0) {
    strError = strName + " needs " + pszWhat + " of 0 or more, not '" + strArg + "'";
    return false;
  }
  return true;
}

// One analysis per run: the picture and --out show one outcome.
bool SetMode(NOptions& opt, NDemoMode eMode, std::string& strError) {
  if (opt.eMode != NDemoMode::Trace && opt.eMode != eMode) {
    std::string names;
    const std::vector<NModeDef>& modes = Modes();
    for (std::size_t i = 1; i < modes.size(); ++i)
      names += std::string(i == 1 ? "" : i + 1 == modes.size() ? " and " : ", ") + modes[i].pszOption;
    strError = names + " are one per run";
    return false;
  }
  opt.eMode = eMode;
  return true;
}

bool HasStartFlag(const NOptions& opt) {
  for (const NFlagRequest& f : opt.flags) {
    if (!f.bBarrier && !f.bTarget && !f.bValve) return true;
  }
  return false;
}

bool LooksOnly(const NOptions& opt) { return opt.strOut.empty() && (opt.bSvgAsked || opt.bListEdges); }

bool ParseOptions(int argc, const char* const* argv, NOptions& opt, std::string& strError) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (!ParseOne(args, i, opt, strError)) return false;
  }
  return Finish(opt, strError);
}

void PrintVersion(std::ostream& os) {
  os << "kelvane-trace " << KELVANE_TRACE_VERSION << (kFirstGeneration ? " (first-generation build)" : "") << ", GDAL "
     << GDALVersionInfo("RELEASE_NAME") << '\n';
}

void PrintHelp(std::ostream& os) {
  os << "Usage: kelvane-trace [INPUT] [options]\n"
        "\n"
        "Builds a network from street lines, places flags and barriers on it, traces\n"
        "from the flags and draws the result. With no INPUT it uses a small built-in\n"
        "town (metres) with a flag and three barriers.\n";
  for (const NOptionRow& row : OptionTable()) {
    if (row.eKind == NOptionRowKind::Section) {
      os << '\n' << row.pszText << '\n';
    } else if (row.eKind == NOptionRowKind::Option || row.eKind == NOptionRowKind::Mode) {
      HelpOption(os, row);
    } else {
      os << '\n' << row.pszText << '\n';
    }
  }
}
