// Hostile and careless input, as a new user gives it: each case a file, a
// command line, the exit status and the message that must explain it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "Demo.h"

namespace {

const std::string kVillage = std::string(KELVANE_TRACE_DATA) + "/village.geojson";

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
