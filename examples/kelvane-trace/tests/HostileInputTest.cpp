// Hostile and careless input, as a new user gives it: each case a file, a
// command line, the exit status and the message that must explain it.
#include <cpl_vsi.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "Demo.h"
#include "TurnRestrictions.h"

namespace {

const std::string kVillage = std::string(KELVANE_TRACE_DATA) + "/village.geojson";
const std::string kTurns = std::string(KELVANE_TRACE_DATA) + "/turns.osm";

std::string Slurp(const std::string& strPath) {
  std::ifstream in(strPath, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string Temp(const std::string& strName) {
  return ::testing::TempDir() + "kelvane-hostile-" + std::to_string(::getpid()) + "-" + strName;
}

struct NRun {
  int iStatus = -1;
  std::string strOut, strErr;
};

NRun RunLine(std::vector<std::string> args, NDemoRun* pRun = nullptr) {
  args.insert(args.begin(), "kelvane-trace");
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  NOptions opt;
  NRun r;
  if (!ParseOptions(static_cast<int>(argv.size()), argv.data(), opt, r.strErr)) {
    r.iStatus = 2;
    return r;
  }
  NDemoRun local;
  std::ostringstream out, err;
  r.iStatus = RunDemo(opt, out, err, pRun != nullptr ? *pRun : local);
  r.strOut = out.str();
  r.strErr = err.str();
  return r;
}

std::string Feature(const std::string& strCoords, int id) {
  return "{\"type\":\"Feature\",\"id\":" + std::to_string(id) +
         ",\"properties\":{},\"geometry\":{\"type\":\"LineString\",\"coordinates\":" + strCoords + "}}";
}

std::string GeoJson(const std::vector<std::string>& features) {
  std::string s = "{\"type\":\"FeatureCollection\",\"features\":[";
  for (std::size_t i = 0; i < features.size(); ++i) s += (i ? "," : "") + features[i];
  return s + "]}";
}

struct NHostileCase {
  const char* pszName;
  std::string strFile;            // written to $IN (name ending as the case needs); empty: none
  const char* pszExt;
  std::vector<std::string> args;  // $IN and $TMP are replaced
  int iStatus;
  const char* pszMessage;         // in stderr or stdout
};

}  // namespace

TEST(HostileInputTest, EveryCaseEndsWithItsStatusAndAMessageThatNamesTheFault) {
  const std::string kGood = "[[0,0],[0.001,0]]";
  const std::string strExisting = Temp("existing.geojson");
  std::ofstream(strExisting) << "{}";
  const std::string strTurns = Slurp(kTurns);
  const std::vector<std::string> route = {"--flag", "5.0005,52.0", "--route", "5.001,52.0015", "--restrictions", "osm",
                                          "--no-svg"};
  std::vector<std::string> osmRoute = {"$IN"};
  osmRoute.insert(osmRoute.end(), route.begin(), route.end());
  const std::vector<std::string> villageRoute = {kVillage,         "--flag", "0.0005,0.00001", "--route", "0.001,0.001",
                                                 "--restrictions", "osm",    "--no-svg"};
  const std::vector<NHostileCase> cases = {
      {"infinite CSV coordinate", "x1,y1,x2,y2\n0,0,100,0\n100,0,inf,0\n", ".csv", {"$IN", "--flag", "50,0", "--no-svg"},
       0, "feature 2 skipped: coordinate inf,0 is not finite"},
      {"1e400 in GeoJSON, edge flag", GeoJson({Feature(kGood, 1), Feature("[[0.001,0],[1e400,0]]", 2)}), ".geojson",
       {"$IN", "--flag-edge", "1:0.5", "--no-svg"}, 0, "length reached: 111.2 m"},
      {"NaN in CSV", "x1,y1,x2,y2\n0,0,100,0\nnan,0,5,5\n", ".csv", {"$IN", "--flag", "50,0", "--no-svg"}, 0,
       "1 skipped (1 bad coordinates)"},
      {"1e300 degrees", GeoJson({Feature(kGood, 1), Feature("[[0.001,0],[1e300,0]]", 2)}), ".geojson",
       {"$IN", "--flag", "0.0005,0", "--no-svg"}, 0, "feature 2 skipped: coordinate 1e+300,0 is not a longitude,latitude"},
      {"zero-length line among others", GeoJson({Feature(kGood, 1), Feature("[[0.001,0],[0.001,0]]", 2)}), ".geojson",
       {"$IN", "--flag", "0.0005,0", "--no-svg"}, 0, "2 features, 1 skipped (1 of no length)"},
      {"only zero-length lines", GeoJson({Feature("[[0,0],[0,0]]", 1), Feature("[[1,1]]", 2)}), ".geojson",
       {"$IN", "--flag", "0,0", "--no-svg"}, 1, "holds no lines to trace (2 features, 2 skipped)"},
      {"flag far from every street", "", "", {kVillage, "--flag", "0,0.5", "--no-svg"}, 1,
       "flag 0,0.5: lies 55.4 km from the nearest street, beyond --max-snap 100.0 m: refused"},
      {"far flag allowed by --max-snap", "", "", {kVillage, "--flag", "0,0.5", "--max-snap=60000", "--no-svg"}, 0,
       "flag 0,0.5: node"},
      {"flag nan,nan", "", "", {kVillage, "--flag", "nan,nan"}, 2, "--flag needs finite X,Y, not 'nan,nan'"},
      {"flag inf,-inf", "", "", {kVillage, "--barrier", "inf,-inf"}, 2, "--barrier needs finite X,Y"},
      {"flag 1e308,1e308", "", "", {kVillage, "--flag", "1e308,1e308", "--no-svg"}, 1,
       "is not a longitude,latitude: refused"},
      {"huge planar flag", "", "", {"--flag", "1e308,1e308", "--no-svg"}, 1, "lies beyond 1e9 map units: refused"},
      {"edge flag that is no edge", "", "", {"--flag-edge", "999999:0.5", "--no-svg"}, 1,
       "flag 999999:0.5: edge 999999 is not an edge"},
      {"no flag given", "", "", {kVillage}, 1, "no flag given, so nothing to trace"},
      {"no flag, picture asked for", "", "", {kVillage, "--svg", "$TMP/kelvane-hostile-net.svg"}, 0,
       "no flags: the network only"},
      {"bad --out name, checked before reading", "", "", {"$TMP/missing.geojson", "--flag", "0,0", "--out", "x.txt"}, 1,
       "--out 'x.txt': the name must end in"},
      {"--out folder missing", "", "", {"$TMP/missing.geojson", "--flag", "0,0", "--out", "/nonexistent/a.gpkg"}, 1,
       "its folder does not exist"},
      {"--out exists", "", "", {kVillage, "--flag", "0.0005,0", "--out", strExisting}, 1,
       "exists (add --overwrite to replace it)"},
      {"--out is the input", "", "", {kVillage, "--flag", "0.0005,0", "--out", kVillage, "--overwrite"}, 1,
       "is the input file"},
      {"missing input", "", "", {"$TMP/missing.geojson", "--flag", "0,0"}, 1, "missing.geojson' does not exist"},
      {"input that is no vector file", "this is not GIS data\n", ".geojson", {"$IN", "--flag", "0,0"}, 1,
       "is not a vector file GDAL/OGR can read"},
      {"OSM file cut short in a relation", strTurns.substr(0, strTurns.find("<member type='way' ref='22'")), ".osm",
       osmRoute, 0, "1 of 1 relations used"},
      {"--restrictions osm on a GeoJSON input", "", "", villageRoute, 1,
       "--restrictions osm reads the relations of an OpenStreetMap input"},
  };
  for (const NHostileCase& c : cases) {
    const std::string strIn = Temp(std::string("case") + c.pszExt);
    if (!c.strFile.empty()) std::ofstream(strIn) << c.strFile;
    std::vector<std::string> args = c.args;
    for (std::string& a : args) {
      if (a == "$IN") a = strIn;
      if (a.compare(0, 4, "$TMP") == 0) a = ::testing::TempDir() + a.substr(4);
    }
    const NRun r = RunLine(args);
    EXPECT_EQ(r.iStatus, c.iStatus) << c.pszName << "\n" << r.strOut << r.strErr;
    EXPECT_NE((r.strOut + r.strErr).find(c.pszMessage), std::string::npos) << c.pszName << "\n" << r.strOut << r.strErr;
    // The edge flag's message names it once, not also by its index in the list.
    EXPECT_EQ(r.strErr.find("flag 0:"), std::string::npos) << c.pszName << "\n" << r.strErr;
    for (const char* pszBad : {"nan", "inf "}) EXPECT_EQ(r.strOut.find(pszBad), std::string::npos) << c.pszName;
    std::remove(strIn.c_str());
  }
  std::remove(strExisting.c_str());
  std::remove((::testing::TempDir() + "kelvane-hostile-net.svg").c_str());
}

// The restriction relations of an OSM file cut at every byte, or with one
// character made markup: never a crash, every relation accounted for, and
// nothing resolved that the whole file does not say.
TEST(HostileInputTest, OsmRelationsCutOrMangledAnywhereAreCountedNotCrashedOn) {
  NDemoRun run;
  ASSERT_EQ(RunLine({kTurns, "--flag", "5.0005,52.0", "--route", "5.001,52.0015", "--no-svg"}, &run).iStatus, 0);
  std::vector<NRestriction_stru> whole;
  NOsmRestrictionCounts c;
  std::string strError;
  ASSERT_TRUE(ReadOsmRestrictions(kTurns, run, 0.01, false, whole, c, strError)) << strError;
  const std::string text = Slurp(kTurns);
  const auto inWhole = [&whole](const NRestriction_stru& r) {
    return std::any_of(whole.begin(), whole.end(), [&r](const NRestriction_stru& w) {
      return w.eKind == r.eKind && w.lViaNod == r.lViaNod && w.edges == r.edges;
    });
  };
  const std::string strMem = "/vsimem/kelvane-hostile-turns.osm";
  for (std::size_t i = 0; i < 2 * text.size(); ++i) {
    std::string cut = i < text.size() ? text.substr(0, i) : text;
    if (i >= text.size()) cut[i - text.size()] = "<>\"'/"[i % 5];
    VSIFCloseL(VSIFileFromMemBuffer(strMem.c_str(), reinterpret_cast<GByte*>(&cut[0]), cut.size(), FALSE));
    std::vector<NRestriction_stru> got;
    ASSERT_TRUE(ReadOsmRestrictions(strMem, run, 0.01, false, got, c, strError)) << i;
    VSIUnlink(strMem.c_str());
    EXPECT_EQ(c.llUsed + c.llIgnored + c.llMalformed + c.llNoWay + c.llNoMeet, c.llRelations) << i;
    EXPECT_LE(c.llRelations, 8) << i;
    for (const NRestriction_stru& r : got) EXPECT_TRUE(inWhole(r)) << "byte " << i;
  }
  // The file is read a block (1 MiB) at a time: blank space ahead of the
  // grid moves the block's end across every element, and the answer stays.
  const std::size_t nHead = text.find("<osm");
  for (std::size_t k = 0; k < text.size() - nHead; k += 7) {
    std::string padded = text.substr(0, nHead) + std::string((1u << 20) - nHead - k, ' ') + text.substr(nHead);
    VSIFCloseL(VSIFileFromMemBuffer(strMem.c_str(), reinterpret_cast<GByte*>(&padded[0]), padded.size(), FALSE));
    std::vector<NRestriction_stru> got;
    ASSERT_TRUE(ReadOsmRestrictions(strMem, run, 0.01, false, got, c, strError)) << k;
    VSIUnlink(strMem.c_str());
    EXPECT_EQ(c.llUsed, 3) << "block ends " << k << " bytes into the grid";
    EXPECT_EQ(c.llRelations, 7) << k;
    ASSERT_EQ(got.size(), whole.size()) << k;
    for (const NRestriction_stru& r : got) EXPECT_TRUE(inWhole(r)) << k;
  }
}

TEST(HostileInputTest, CommandLineFollowsGisConventions) {
  NOptions a, b;
  std::string strError;
  const char* const argsSpaced[] = {"kt", "in.gpkg", "--flag", "1,2", "--out", "o.gpkg", "-f", "GPKG"};
  const char* const argsJoined[] = {"kt", "in.gpkg", "--flag=1,2", "--out=o.gpkg", "--format=GPKG"};
  ASSERT_TRUE(ParseOptions(8, argsSpaced, a, strError)) << strError;
  ASSERT_TRUE(ParseOptions(5, argsJoined, b, strError)) << strError;
  EXPECT_EQ(a.strOut, b.strOut);
  EXPECT_EQ(a.strFormat, "GPKG");
  EXPECT_EQ(b.strFormat, "GPKG");
  ASSERT_EQ(b.flags.size(), 1u);
  EXPECT_EQ(b.flags[0].pt.dY, 2.0);
  // With another output the picture is drawn only when asked for.
  EXPECT_TRUE(a.strSvg.empty());
  NOptions c;
  const char* const argsPlain[] = {"kt", "in.gpkg", "--flag", "1,2"};
  ASSERT_TRUE(ParseOptions(4, argsPlain, c, strError));
  EXPECT_EQ(c.strSvg, kDefaultSvg);
  NOptions d;
  const char* const argsBad[] = {"kt", "--csv=yes"};
  EXPECT_FALSE(ParseOptions(2, argsBad, d, strError));
  EXPECT_NE(strError.find("takes no value"), std::string::npos) << strError;
  std::ostringstream version;
  PrintVersion(version);
  EXPECT_EQ(version.str().compare(0, 14, "kelvane-trace "), 0) << version.str();
}

TEST(HostileInputTest, OneWayStreetsAreNotCountedAsBarriersMet) {
  // Downstream in the default town the walk passes two one-way streets the
  // wrong way at many nodes; only the closed stretch of Church Street is a barrier.
  NDemoRun run;
  const NRun r = RunLine({"--no-svg"}, &run);
  ASSERT_EQ(r.iStatus, 0) << r.strErr;
  ASSERT_EQ(run.summary.closedStreets.size(), 1u) << r.strOut;
  const NDemoEdge& e = run.demo.edges[static_cast<std::size_t>(run.summary.closedStreets[0]) - 1];
  EXPECT_TRUE(run.input.lines[static_cast<std::size_t>(e.lLine)].bBlocked);
}
