// Options.cpp - command line parsing and help.
#include "Options.h"

#include <cerrno>
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
  if (e != static_cast<double>(static_cast<std::int32_t>(e))) return false;
  lEdge = static_cast<std::int32_t>(e);
  return true;
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

NFlagRequest PointFlag(double x, double y, bool bBarrier, const char* pszLabel) {
  NFlagRequest f;
  f.pt = NPoint{x, y};
  f.bBarrier = bBarrier;
  f.strLabel = pszLabel;
  return f;
}

}  // namespace

bool ParseOptions(int argc, const char* const* argv, NOptions& opt, std::string& strError) {
  std::vector<std::string> args(argv + 1, argv + argc);
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    // Options that take a value read it from the next argument.
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) {
        strError = a + " needs a value";
        return false;
      }
      out = args[++i];
      return true;
    };
    std::string v;
    if (a == "-h" || a == "--help") {
      opt.bHelp = true;
    } else if (a == "--layer") {
      if (!value(opt.strLayer)) return false;
    } else if (a == "--where") {
      if (!value(opt.strWhere)) return false;
    } else if (a == "--cost-field") {
      if (!value(opt.fields.strCost)) return false;
    } else if (a == "--oneway-field") {
      if (!value(opt.fields.strOneWay)) return false;
    } else if (a == "--demand-field") {
      if (!value(opt.fields.strDemand)) return false;
    } else if (a == "--blocked-field") {
      if (!value(opt.fields.strBlocked)) return false;
    } else if (a == "--csv") {
      opt.bCsv = true;
    } else if (a == "--lonlat") {
      opt.bLonLat = true;
    } else if (a == "--snap") {
      if (!value(v)) return false;
      if (!ParseDouble(v, opt.dSnap) || opt.dSnap < 0.0) {
        strError = "--snap needs a distance of 0 or more, not '" + v + "'";
        return false;
      }
    } else if (a == "--flag" || a == "--barrier" || a == "--flag-edge" || a == "--barrier-edge") {
      if (!value(v)) return false;
      NFlagRequest f;
      f.bBarrier = a.compare(0, 9, "--barrier") == 0;
      f.strLabel = (f.bBarrier ? "barrier " : "") + v;
      f.bByPoint = !EndsWith(a, "-edge");
      const bool bOk = f.bByPoint ? ParsePoint(v, f.pt) : ParseEdgePos(v, f.lEdge, f.dPos);
      if (!bOk) {
        strError = a + (f.bByPoint ? " needs X,Y" : " needs EDGE:FRACTION") + ", not '" + v + "'";
        return false;
      }
      opt.flags.push_back(f);
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
      if (!value(opt.strSvg)) return false;
    } else if (a == "--no-svg") {
      opt.strSvg.clear();
    } else if (a == "--out") {
      if (!value(opt.strOut)) return false;
    } else if (a == "--timing") {
      opt.bTiming = true;
    } else if (a == "--quiet") {
      opt.bQuiet = true;
    } else if (a == "--list-edges") {
      opt.bListEdges = true;
    } else if (!a.empty() && a[0] == '-') {
      strError = "unknown option '" + a + "' (see --help)";
      return false;
    } else if (opt.strInput.empty()) {
      opt.strInput = a;
    } else {
      strError = "one input file only, not also '" + a + "'";
      return false;
    }
  }
  if (EndsWith(opt.strInput, ".csv") || EndsWith(opt.strInput, ".CSV")) opt.bCsv = true;
  if (opt.strInput.empty() && opt.flags.empty()) {
    // The default town: a flag on High Street, and three barriers that cut
    // off the south-east corner, so the picture shows what a trace does not reach.
    opt.flags.push_back(PointFlag(150, 205, false, "150,205"));
    opt.flags.push_back(PointFlag(350, 0, true, "barrier 350,0"));
    opt.flags.push_back(PointFlag(350, 100, true, "barrier 350,100"));
    opt.flags.push_back(PointFlag(400, 150, true, "barrier 400,150"));
  }
  return true;
}

void PrintHelp(std::ostream& os) {
  os << "Usage: kelvane-trace [INPUT] [options]\n"
        "\n"
        "Builds a network from street lines, places flags and barriers on it, traces\n"
        "from the flags and draws the result. With no INPUT it uses a small built-in\n"
        "town (metres) with a flag and two barriers.\n"
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
        "  --csv                 read INPUT as a CSV edge list: header row, then one straight\n"
        "                        street per row in columns x1,y1,x2,y2, optional id, and\n"
        "                        the attribute columns named above\n"
        "  --lonlat              CSV (or unreferenced) coordinates are longitude,latitude\n"
        "  --snap DIST           vertices closer than DIST become one node, and a flag this\n"
        "                        close to an edge's end goes to its node; metres for\n"
        "                        longitude/latitude input, map units otherwise\n"
        "                        (default 0.01)\n"
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
        "Output\n"
        "  --svg FILE            the picture (default trace.svg): network grey, traced\n"
        "                        streets coloured, flags, barriers and split points marked\n"
        "  --no-svg              no picture\n"
        "  --out FILE            the traced features, through OGR: .geojson/.json (GeoJSON),\n"
        "                        .gpkg (GeoPackage) or .shp (Shapefile), with the source\n"
        "                        feature id (src_fid) and the fraction of it reached\n"
        "  --list-edges          print the network's edges: number, feature, nodes, length\n"
        "  --timing              print the time of each stage: parse, build, map flags,\n"
        "                        trace, draw\n"
        "  --quiet               no progress line while a large file loads\n"
        "  -h, --help            this text\n"
        "\n"
        "The summary on stdout gives the elements visited, the demand and length\n"
        "reached, and the barriers the trace met as the library recorded them.\n";
}
