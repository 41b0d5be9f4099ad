// Options.cpp - command line parsing and help.
#include "Options.h"

#include <gdal.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace {

bool ParseDouble(const std::string& s, double& d) {
  if (s.empty()) return false;
  char* pEnd = nullptr;
  errno = 0;
  d = std::strtod(s.c_str(), &pEnd);
  return errno == 0 && *pEnd == '\0';
}

// "X,Y"
bool ParsePoint(const std::string& s, NPoint& p) {
  const std::size_t comma = s.find(',');
  return comma != std::string::npos && ParseDouble(s.substr(0, comma), p.dX) && ParseDouble(s.substr(comma + 1), p.dY);
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
  f.pt = NPoint{x, y};
  f.bBarrier = bBarrier;
  f.strLabel = pszLabel;
  return f;
}

}  // namespace

bool HasStartFlag(const NOptions& opt) {
  for (const NFlagRequest& f : opt.flags) {
    if (!f.bBarrier && !f.bTarget && !f.bValve) return true;
  }
  return false;
}

bool LooksOnly(const NOptions& opt) { return opt.strOut.empty() && (opt.bSvgAsked || opt.bListEdges); }

bool ParseOptions(int argc, const char* const* argv, NOptions& opt, std::string& strError) {
  std::vector<std::string> args(argv + 1, argv + argc);
  bool bNoSvg = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    // "--opt=value" is the same as "--opt value".
    std::string a = args[i];
    std::string inlineValue;
    bool bInline = false;
    const std::size_t eq = a.find('=');
    if (a.compare(0, 2, "--") == 0 && eq != std::string::npos) {
      inlineValue = a.substr(eq + 1);
      a = a.substr(0, eq);
      bInline = true;
    }
    auto value = [&](std::string& out) {
      if (bInline) {
        out = inlineValue;
        bInline = false;
        return true;
      }
      if (i + 1 >= args.size()) {
        strError = a + " needs a value";
        return false;
      }
      out = args[++i];
      return true;
    };
    auto distance = [&](const char* pszWhat, double& d) {
      std::string v;
      if (!value(v)) return false;
      if (!ParseDouble(v, d) || !std::isfinite(d) || d < 0.0) {
        strError = a + " needs " + pszWhat + " of 0 or more, not '" + v + "'";
        return false;
      }
      return true;
    };
    // One analysis per run: the picture and --out show one outcome.
    auto setMode = [&](NDemoMode eMode) {
      if (opt.eMode != NDemoMode::Trace && opt.eMode != eMode) {
        strError = "--route, --within, --isolate and --components are one per run";
        return false;
      }
      opt.eMode = eMode;
      return true;
    };
    std::string v;
    bool bOk = true;
    if (a == "-h" || a == "--help") {
      opt.bHelp = true;
    } else if (a == "--version") {
      opt.bVersion = true;
    } else if (a == "--layer") {
      bOk = value(opt.strLayer);
    } else if (a == "--where") {
      bOk = value(opt.strWhere);
    } else if (a == "--cost-field") {
      bOk = value(opt.fields.strCost);
    } else if (a == "--oneway-field") {
      bOk = value(opt.fields.strOneWay);
    } else if (a == "--demand-field") {
      bOk = value(opt.fields.strDemand);
    } else if (a == "--blocked-field") {
      bOk = value(opt.fields.strBlocked);
    } else if (a == "--id-field") {
      bOk = value(opt.fields.strId);
    } else if (a == "--keep-fields") {
      bOk = value(v);
      opt.fields.bKeepAll = false;
      opt.fields.keep = SplitList(v);
    } else if (a == "--csv") {
      opt.bCsv = true;
    } else if (a == "--lonlat") {
      opt.bLonLat = true;
    } else if (a == "--snap") {
      bOk = distance("a distance", opt.dSnap);
    } else if (a == "--max-snap") {
      bOk = distance("a distance", opt.dMaxSnap);
    } else if (a == "--flag" || a == "--barrier" || a == "--flag-edge" || a == "--barrier-edge") {
      if (!value(v)) return false;
      NFlagRequest f;
      f.bBarrier = a.compare(0, 9, "--barrier") == 0;
      f.strLabel = (f.bBarrier ? "barrier " : "flag ") + v;
      f.bByPoint = !EndsWith(a, "-edge");
      // Not-a-number and infinite places name no point: refused here, before
      // anything is read, rather than snapped to wherever the arithmetic lands.
      const bool bParsed = f.bByPoint ? ParsePoint(v, f.pt) && std::isfinite(f.pt.dX) && std::isfinite(f.pt.dY)
                                      : ParseEdgePos(v, f.lEdge, f.dPos) && std::isfinite(f.dPos);
      if (!bParsed) {
        strError = a + (f.bByPoint ? " needs finite X,Y" : " needs EDGE:FRACTION") + ", not '" + v + "'";
        return false;
      }
      opt.flags.push_back(f);
    } else if (a == "--route" || a == "--valve") {
      if (!value(v)) return false;
      NFlagRequest f;
      f.bTarget = a == "--route";
      f.bValve = !f.bTarget;
      f.strLabel = (f.bTarget ? "route " : "valve ") + v;
      if (!ParsePoint(v, f.pt) || !std::isfinite(f.pt.dX) || !std::isfinite(f.pt.dY)) {
        strError = a + " needs finite X,Y, not '" + v + "'";
        return false;
      }
      if (f.bTarget && !setMode(NDemoMode::Route)) return false;
      opt.flags.push_back(f);
    } else if (a == "--within") {
      bOk = distance("a cost", opt.dWithin) && setMode(NDemoMode::Within);
    } else if (a == "--isolate") {
      bOk = setMode(NDemoMode::Isolate);
    } else if (a == "--valves") {
      bOk = value(opt.strValves);
    } else if (a == "--components") {
      bOk = setMode(NDemoMode::Components);
    } else if (a == "--by-length") {
      opt.bByLength = true;
    } else if (a == "--json") {
      opt.bJson = true;
    } else if (a == "--direction") {
      if (!value(v)) return false;
      if (v == "connected") {
        opt.eDir = NTraceDir::Connected;
      } else if (v == "downstream") {
        opt.eDir = NTraceDir::Downstream;
      } else if (v == "upstream") {
        opt.eDir = NTraceDir::Upstream;
      } else {
        strError = "--direction is connected, downstream or upstream, not '" + v + "'";
        return false;
      }
    } else if (a == "--svg") {
      bOk = value(opt.strSvg);
      opt.bSvgAsked = true;
    } else if (a == "--no-svg") {
      bNoSvg = true;
    } else if (a == "--out" || a == "-o") {
      bOk = value(opt.strOut);
    } else if (a == "-f" || a == "--format") {
      bOk = value(opt.strFormat);
    } else if (a == "--overwrite") {
      opt.bOverwrite = true;
    } else if (a == "--timing") {
      opt.bTiming = true;
    } else if (a == "--quiet") {
      opt.bQuiet = true;
    } else if (a == "--list-edges") {
      opt.bListEdges = true;
    } else if (!a.empty() && a[0] == '-' && a != "-") {
      strError = "unknown option '" + a + "' (see --help)";
      return false;
    } else if (opt.strInput.empty()) {
      opt.strInput = a;
    } else {
      strError = "one input file only, not also '" + a + "'";
      return false;
    }
    if (!bOk) return false;
    if (bInline) {
      strError = a + " takes no value";
      return false;
    }
  }
  if (bNoSvg && opt.bSvgAsked) {
    strError = "--svg and --no-svg together";
    return false;
  }
  if (opt.bSvgAsked && opt.strSvg.empty()) {
    strError = "--svg needs a file name (or --no-svg for no picture)";
    return false;
  }
  if (!opt.strFormat.empty() && opt.strOut.empty()) {
    strError = "-f names the format of --out, and there is no --out";
    return false;
  }
  // The picture is drawn when asked for, or when nothing else would come out of the run.
  if (!bNoSvg && !opt.bSvgAsked && opt.strOut.empty() && !opt.bListEdges) opt.strSvg = kDefaultSvg;
  if (EndsWith(opt.strInput, ".csv") || EndsWith(opt.strInput, ".CSV")) opt.bCsv = true;
  if (opt.eMode == NDemoMode::Route) {
    std::size_t nTargets = 0;
    for (const NFlagRequest& f : opt.flags) nTargets += f.bTarget ? 1 : 0;
    if (nTargets != 1) {
      strError = "--route takes one point";
      return false;
    }
  }
  bool bValves = !opt.strValves.empty();
  for (const NFlagRequest& f : opt.flags) bValves = bValves || f.bValve;
  if (bValves && opt.eMode != NDemoMode::Isolate) {
    strError = "--valve and --valves go with --isolate";
    return false;
  }
  if (opt.eMode == NDemoMode::Isolate && !bValves) {
    strError = "--isolate needs valves: --valve X,Y (repeated) or --valves FILE";
    return false;
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

void PrintVersion(std::ostream& os) {
  os << "kelvane-trace " << KELVANE_TRACE_VERSION << (kFirstGeneration ? " (first-generation build)" : "")
     << ", GDAL " << GDALVersionInfo("RELEASE_NAME") << '\n';
}

void PrintHelp(std::ostream& os) {
  os << "Usage: kelvane-trace [INPUT] [options]\n"
        "\n"
        "Builds a network from street lines, places flags and barriers on it, traces\n"
        "from the flags and draws the result. With no INPUT it uses a small built-in\n"
        "town (metres) with a flag and three barriers.\n"
        "\n"
        "Input\n"
        "  INPUT                 any vector file OGR reads (GeoJSON, GeoPackage, Shapefile,\n"
        "                        ...), or a CSV edge list (a .csv name, or --csv). Lines\n"
        "                        become edges; other geometries are skipped and counted.\n"
        "  --layer NAME          the layer to read (default: the first line layer)\n"
        "  --where CONDITION     read only features matching this OGR SQL condition,\n"
        "                        e.g. \"highway <> 'footway'\"\n"
        "  --cost-field NAME     attribute with each feature's cost (default: its length)\n"
        "  --oneway-field NAME   attribute saying a street is one-way: yes/true/1/FT/forward\n"
        "                        along the line as drawn, -1/TF/reverse/backward against it\n"
        "  --demand-field NAME   attribute with each feature's demand, shared by length\n"
        "  --blocked-field NAME  attribute closing a street both ways when set (not 0/no)\n"
        "  --id-field NAME       the features' own id (default: a field named id or osm_id,\n"
        "                        else OGR's feature number)\n"
        "  --keep-fields A,B     the attributes carried to --out (default: all)\n"
        "  --csv                 read INPUT as a CSV edge list: header row, then one straight\n"
        "                        street per row in columns x1,y1,x2,y2, optional id, and\n"
        "                        the attribute columns named above\n"
        "  --lonlat              CSV (or unreferenced) coordinates are longitude,latitude\n"
        "  --snap DIST           vertices closer than DIST become one node, and a flag this\n"
        "                        close to an edge's end goes to its node; metres for\n"
        "                        longitude/latitude input, map units otherwise\n"
        "                        (default 0.01)\n"
        "  --max-snap DIST       a flag or barrier farther than DIST from every street is\n"
        "                        refused (default 100; same units as --snap)\n"
        "\n"
        "Features with coordinates that are not finite, or outside -180..180/-90..90\n"
        "for longitude/latitude input, and lines with no length are skipped, named on\n"
        "stderr and counted in the summary.\n"
        "\n"
        "Nodes stand at line ends and at every vertex two lines share; a line is cut\n"
        "into edges there. Lines that cross without a shared vertex stay apart.\n"
        "\n"
        "Flags and barriers (each may be repeated)\n"
        "  --flag X,Y            a start point, snapped to the nearest edge\n"
        "  --flag-edge E:F       a start on edge E at fraction F (0 to 1) from the edge's\n"
        "                        start; edge numbers are listed by --list-edges\n"
        "  --barrier X,Y         a point the trace may not pass, snapped like a flag\n"
        "  --barrier-edge E:F    a barrier on edge E at fraction F\n"
        "\n"
        "Trace\n"
        "  --direction DIR       connected: every street not closed, either way;\n"
        "                        downstream (default): where one can go from the flags,\n"
        "                        keeping to one-way streets; upstream: where one can come\n"
        "                        from to reach the flags\n"
        "\n"
        "Analyses (one per run, in place of the trace; the picture and --out show it)\n"
        "  --route X,Y           the least-cost route from the first flag to this point,\n"
        "                        keeping to one-way streets (cost: --cost-field, else length)\n"
        "  --within COST         everything within COST of the flags; streets reached in\n"
        "                        part are drawn to where the limit falls\n"
        "  --isolate             the valves to close to cut off the first flag's street\n"
        "                        from the sources (the other flags), and what loses supply\n"
        "  --valve X,Y           a valve for --isolate, snapped like a flag (repeatable)\n"
        "  --valves FILE         a point layer (any OGR format) of valves for --isolate\n"
        "  --components          the parts of the network that hang together; the picture\n"
        "                        shows the streets cut off from the largest one\n"
        "  --by-length           routes and areas by ground length, not the cost\n"
        "  --json                the summary as one JSON object on stdout (for scripts)\n"
        "\n"
        "Output\n"
        "  --svg FILE            the picture: network grey, traced streets coloured, flags,\n"
        "                        barriers, split points and a scale bar; without --svg it\n"
        "                        is written to trace.svg only when no other output is asked\n"
        "  --no-svg              no picture\n"
        "  --out FILE, -o FILE   the traced features, through OGR: .geojson/.json (GeoJSON),\n"
        "                        .gpkg (GeoPackage) or .shp (Shapefile); one per feature\n"
        "                        reached, with its id (src_fid), its attributes, the\n"
        "                        fraction reached and its reached stretches merged\n"
        "  -f FORMAT             the OGR driver for --out (e.g. GPKG, FlatGeobuf)\n"
        "  --overwrite           replace an existing --out file\n"
        "  --list-edges          print the network's edges: number, feature, nodes, length\n"
        "  --timing              print the time of each stage: parse, build, map flags,\n"
        "                        trace, draw\n"
        "  --quiet               no progress line while a large file loads\n"
        "  --version             the program's version\n"
        "  -h, --help            this text\n"
        "\n"
        "--opt=value works as --opt value. Every output path is checked before the\n"
        "input is read. The summary on stdout gives each flag's node and snap distance,\n"
        "the elements visited, the demand and length reached, and the barriers the trace\n"
        "met (barrier nodes and closed streets; one-way streets are not barriers).\n"
        "\n"
        "Exit status: 0 done; 1 the input, an output, a flag or barrier that cannot be\n"
        "placed, or no flag to trace from (a run that only draws or lists needs none);\n"
        "2 a bad command line.\n";
}
