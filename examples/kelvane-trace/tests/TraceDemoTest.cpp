// The demo end to end: the default town and a small GeoJSON village, traced
// every way, the picture parsed as XML and the output file read back.
#include <cpl_minixml.h>
#include <gdal_priv.h>
#include <gtest/gtest.h>
#include <ogrsf_frmts.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "Demo.h"
#include "TurnRestrictions.h"

namespace {

const std::string kVillage = std::string(KELVANE_TRACE_DATA) + "/village.geojson";

struct NOutcome {
  int iStatus = -1;
  std::string strOut;
  std::string strErr;
  std::int32_t lNods = -1;
  std::int32_t lEdges = -1;
  double dDmd = -1.0;
};

// Runs the demo in process on a command line, as main() would.
NOutcome RunArgs(std::vector<std::string> args, NDemoRun* pRun = nullptr) {
  args.insert(args.begin(), "kelvane-trace");
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  NOptions opt;
  std::string strError;
  NOutcome o;
  if (!ParseOptions(static_cast<int>(argv.size()), argv.data(), opt, strError)) {
    o.iStatus = 2;
    o.strErr = strError;
    return o;
  }
  NDemoRun local;
  NDemoRun& run = pRun != nullptr ? *pRun : local;
  std::ostringstream out, err;
  o.iStatus = RunDemo(opt, out, err, run);
  o.strOut = out.str();
  o.strErr = err.str();
  o.lNods = run.trace.nods.GetSize();
  o.lEdges = run.trace.edges.GetSize();
  o.dDmd = run.trace.dDmd;
  return o;
}

std::string Temp(const std::string& strName) {
  return ::testing::TempDir() + "kelvane-trace-" + std::to_string(::getpid()) + "-" + strName;
}

std::vector<std::string> Village(const std::string& strDir) {
  return {kVillage,  "--oneway-field", "oneway",         "--demand-field", "demand", "--blocked-field",
          "blocked", "--flag",         "0.0005,0.00001", "--direction",    strDir,   "--no-svg"};
}

// Counts the elements named strTag under node, at any depth.
int CountTag(const CPLXMLNode* pNode, const char* pszTag) {
  int n = 0;
  for (const CPLXMLNode* p = pNode; p != nullptr; p = p->psNext) {
    if (p->eType == CXT_Element && std::string(p->pszValue) == pszTag) ++n;
    n += CountTag(p->psChild, pszTag);
  }
  return n;
}

}  // namespace

TEST(TraceDemoTest, DefaultTownTracesTheSameInEveryDirectionAsDrawn) {
  // Three barriers cut off the south-east corner; one-way streets change what
  // upstream reaches: the far half of Market Avenue runs away from the flags.
  const NOutcome down = RunArgs({"--no-svg"});
  ASSERT_EQ(down.iStatus, 0) << down.strErr;
  EXPECT_EQ(down.lNods, 28);
  EXPECT_EQ(down.lEdges, 41);
  EXPECT_NE(down.strOut.find("network: 26 nodes, 42 edges; flags: 1, barriers: 3"), std::string::npos) << down.strOut;
  const NOutcome up = RunArgs({"--no-svg", "--direction", "upstream"});
  EXPECT_EQ(up.lNods, 27);
  EXPECT_EQ(up.lEdges, 40);
  const NOutcome conn = RunArgs({"--no-svg", "--direction", "connected"});
  EXPECT_EQ(conn.lNods, 28);
  EXPECT_EQ(conn.lEdges, 41);
  EXPECT_NEAR(down.dDmd, 286.25, 1e-9);
}

TEST(TraceDemoTest, DefaultPictureIsWellFormedSvgWithEveryLayer) {
  const std::string strSvg = Temp("town.svg");
  NDemoRun run;
  const NOutcome o = RunArgs({"--svg", strSvg}, &run);
  ASSERT_EQ(o.iStatus, 0) << o.strErr;
  CPLXMLNode* pRoot = CPLParseXMLFile(strSvg.c_str());
  ASSERT_NE(pRoot, nullptr) << "not XML: " << strSvg;
  const CPLXMLNode* pSvg = CPLGetXMLNode(pRoot, "=svg");
  ASSERT_NE(pSvg, nullptr);
  // One grey line per edge, one coloured line per visited piece, all flags.
  int nStreets = 0, nTraced = 0, nFlags = 0, nBarriers = 0;
  for (const CPLXMLNode* p = pSvg->psChild; p != nullptr; p = p->psNext) {
    if (p->eType != CXT_Element || std::string(p->pszValue) != "g") continue;
    const std::string id = CPLGetXMLValue(p, "id", "");
    if (id == "network") nStreets = CountTag(p->psChild, "polyline");
    if (id == "traced") nTraced = CountTag(p->psChild, "polyline");
    if (id == "flags") {
      nFlags = CountTag(p->psChild, "circle");
      nBarriers = CountTag(p->psChild, "path");
    }
  }
  EXPECT_EQ(nStreets, 42);
  EXPECT_EQ(nTraced, 41);
  EXPECT_EQ(nFlags, 1);
  EXPECT_EQ(nBarriers, 3);
  CPLDestroyXMLNode(pRoot);
  std::remove(strSvg.c_str());
}

TEST(TraceDemoTest, VillageFixtureHonoursOneWayClosedStreetsAndBridges) {
  // A street crossing B at a shared vertex; C one-way towards A, leading to
  // the two-part D; E a bridge over A; F closed; one point feature skipped.
  NDemoRun run;
  const NOutcome conn = RunArgs(Village("connected"), &run);
  ASSERT_EQ(conn.iStatus, 0) << conn.strErr;
  EXPECT_EQ(run.input.llFeatures, 7);
  EXPECT_EQ(run.input.llSkipped, 1);
  EXPECT_TRUE(run.input.bLonLat);
  EXPECT_EQ(run.demo.nods.size(), 11u);
  EXPECT_EQ(run.demo.edges.size(), 9u);
  EXPECT_EQ(conn.lNods, 9);
  EXPECT_EQ(conn.lEdges, 8);
  EXPECT_NEAR(conn.dDmd, 55.0, 1e-9);
  const NOutcome down = RunArgs(Village("downstream"));
  EXPECT_EQ(down.lNods, 6);
  EXPECT_EQ(down.lEdges, 5);
  EXPECT_NEAR(down.dDmd, 30.0, 1e-9);  // A and B only: C leads only towards A
  const NOutcome up = RunArgs(Village("upstream"));
  EXPECT_EQ(up.lNods, 9);
  EXPECT_EQ(up.lEdges, 8);
}

TEST(TraceDemoTest, BarrierStopsTheTraceAndIsRecorded) {
  std::vector<std::string> args = Village("connected");
  args.insert(args.end(), {"--barrier", "0.001,0.0005"});
  NDemoRun run;
  const NOutcome o = RunArgs(args, &run);
  ASSERT_EQ(o.iStatus, 0) << o.strErr;
  // The upper half of B is cut at the barrier: its node is reached, the far
  // piece and B's north end are not.
  EXPECT_EQ(o.lNods, 9);
  EXPECT_EQ(o.lEdges, 8);
  EXPECT_EQ(run.trace.lBarrierNods, 1);
  ASSERT_EQ(run.trace.blockedNods.GetSize(), 1);
  EXPECT_EQ(run.trace.blockedNods.GetAt(0), 13);  // after the 11 nodes, the flag's node then the barrier's
}

TEST(TraceDemoTest, WhereFilterAndLayerPickTheFeatures) {
  std::vector<std::string> args = Village("connected");
  args.insert(args.end(), {"--where", "name <> 'D'", "--layer", "village"});
  NDemoRun run;
  const NOutcome o = RunArgs(args, &run);
  ASSERT_EQ(o.iStatus, 0) << o.strErr;
  EXPECT_EQ(run.input.llFeatures, 6);
  EXPECT_EQ(o.lEdges, 6);
  const NOutcome bad = RunArgs({kVillage, "--layer", "nowhere", "--list-edges"});
  EXPECT_EQ(bad.iStatus, 1);
  EXPECT_NE(bad.strErr.find("no layer named 'nowhere'"), std::string::npos) << bad.strErr;
  const NOutcome badField = RunArgs({kVillage, "--cost-field", "toll", "--list-edges"});
  EXPECT_EQ(badField.iStatus, 1);
  EXPECT_NE(badField.strErr.find("no attribute field named 'toll'"), std::string::npos) << badField.strErr;
}

TEST(TraceDemoTest, OutputFeaturesCarryTheSourceIdAndTheFractionReached) {
  const std::string strOut = Temp("village-out.geojson");
  std::vector<std::string> args = Village("connected");
  args.insert(args.end(), {"--barrier", "0.001,0.0005", "--out", strOut});
  const NOutcome o = RunArgs(args);
  ASSERT_EQ(o.iStatus, 0) << o.strErr;
  GDALDatasetUniquePtr ds(GDALDataset::Open(strOut.c_str(), GDAL_OF_VECTOR));
  ASSERT_TRUE(ds);
  OGRLayer* pLayer = ds->GetLayer(0);
  std::map<GIntBig, double> fraction;
  for (auto& f : *pLayer) fraction[f->GetFieldAsInteger64("src_fid")] = f->GetFieldAsDouble("fraction");
  // A, B, C, D; E is a bridge apart from the rest and F is closed.
  ASSERT_EQ(fraction.size(), 4u);
  EXPECT_NEAR(fraction[1], 1.0, 1e-9);
  EXPECT_NEAR(fraction[2], 0.75, 1e-3);  // B's northern quarter lies beyond the barrier
  EXPECT_NEAR(fraction[4], 1.0, 1e-9);
  EXPECT_EQ(fraction.count(5), 0u);
  ds.reset();
  std::remove(strOut.c_str());
}

TEST(TraceDemoTest, OutputGoesToGeoPackageAndRefusesUnknownFormats) {
  const std::string strOut = Temp("town.gpkg");
  ASSERT_EQ(RunArgs({"--no-svg", "--out", strOut}).iStatus, 0);
  GDALDatasetUniquePtr ds(GDALDataset::Open(strOut.c_str(), GDAL_OF_VECTOR));
  ASSERT_TRUE(ds);
  // Every street of the town but the closed stretch of Church Street.
  EXPECT_EQ(ds->GetLayer(0)->GetFeatureCount(), 13);
  ds.reset();
  std::remove(strOut.c_str());
  const NOutcome bad = RunArgs({"--no-svg", "--out", Temp("town.txt")});
  EXPECT_EQ(bad.iStatus, 1);
  EXPECT_NE(bad.strErr.find(".geojson"), std::string::npos) << bad.strErr;
}

TEST(TraceDemoTest, PictureStaysXmlWhenTheInputNameHasMarkupCharacters) {
  const std::string strCopy = Temp("a&b<c>.geojson");
  {
    std::ifstream in(kVillage);
    std::ofstream out(strCopy);
    out << in.rdbuf();
  }
  const std::string strSvg = Temp("markup.svg");
  const NOutcome o = RunArgs({strCopy, "--flag", "0.0005,0", "--svg", strSvg});
  ASSERT_EQ(o.iStatus, 0) << o.strErr;
  CPLXMLNode* pRoot = CPLParseXMLFile(strSvg.c_str());
  ASSERT_NE(pRoot, nullptr);
  CPLDestroyXMLNode(pRoot);
  std::remove(strCopy.c_str());
  std::remove(strSvg.c_str());
}

TEST(TraceDemoTest, CsvEdgeListBuildsTheSameKindOfNetwork) {
  const std::string strCsv = Temp("edges.csv");
  {
    std::ofstream csv(strCsv);
    csv << "id,x1,y1,x2,y2,oneway,households\n"
           "10,0,0,100,0,no,5\n"
           "11,100,0,200,0,yes,7\n"
           "12,100,0,100,100,,\"3\"\n"
           "13,200,0,100,0,no,1\n";
  }
  NDemoRun run;
  const NOutcome o = RunArgs({strCsv, "--oneway-field", "oneway", "--demand-field", "households", "--flag", "150,0",
                              "--direction", "upstream", "--no-svg"},
                             &run);
  ASSERT_EQ(o.iStatus, 0) << o.strErr;
  EXPECT_EQ(run.demo.edges.size(), 4u);
  EXPECT_EQ(run.demo.nods.size(), 4u);
  // Upstream of the middle of 11 one comes from its start only, and from
  // everything that leads there; 13 runs parallel, both ways.
  EXPECT_EQ(o.lEdges, 5);
  const NOutcome bad = RunArgs({strCsv + ".missing", "--no-svg"});
  EXPECT_EQ(bad.iStatus, 1);
  std::remove(strCsv.c_str());
}

TEST(TraceDemoTest, ProgramExplainsItselfAndRefusesBadCommandLines) {
  const std::string strProg = KELVANE_TRACE_PROGRAM;
  const std::string strLog = Temp("help.txt");
  const int iHelp = std::system((strProg + " --help > " + strLog).c_str());
  ASSERT_TRUE(WIFEXITED(iHelp));
  EXPECT_EQ(WEXITSTATUS(iHelp), 0);
  std::ifstream in(strLog);
  const std::string help((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (const char* pszOption :
       {"--layer",  "--where",  "--cost-field", "--oneway-field", "--demand-field", "--blocked-field", "--csv",
        "--lonlat", "--snap",   "--flag",       "--flag-edge",    "--barrier",      "--barrier-edge",  "--direction",
        "--svg",    "--no-svg", "--out",        "--list-edges",   "--timing",       "--quiet"})
    EXPECT_NE(help.find(pszOption), std::string::npos) << pszOption;
  std::remove(strLog.c_str());
  const int iBad = std::system((strProg + " --frobnicate 2> /dev/null").c_str());
  ASSERT_TRUE(WIFEXITED(iBad));
  EXPECT_EQ(WEXITSTATUS(iBad), 2);
  EXPECT_EQ(RunArgs({"--flag", "12"}).iStatus, 2);
  EXPECT_EQ(RunArgs({"--direction", "sideways"}).iStatus, 2);
  EXPECT_EQ(RunArgs({"--flag-edge", "3"}).iStatus, 2);
}

TEST(TraceDemoTest, TimingNamesEveryStage) {
  const NOutcome o = RunArgs({"--no-svg", "--timing"});
  for (const char* pszStage : {"parse", "build", "map flags", "trace", "draw"})
    EXPECT_NE(o.strOut.find(std::string("time ") + pszStage + ":"), std::string::npos) << pszStage;
}

// --- The analysis modes on the default town (metres; the flag sits on High
// Street at 150,200 after snapping; barriers cut off the south-east corner). ---

TEST(AnalysisModeTest, RouteFollowsHighStreetThenEastStreet) {
  NDemoRun run;
  const NOutcome o = RunArgs({"--route", "400,400", "--no-svg"}, &run);
  ASSERT_EQ(o.iStatus, 0) << o.strErr;
  const NAnalysisOutcome& a = run.analysis;
  ASSERT_TRUE(a.bRouteFound);
  EXPECT_DOUBLE_EQ(a.dRouteCost, 450.0);  // 250 m east, 200 m north
  ASSERT_FALSE(a.route.empty());
  EXPECT_DOUBLE_EQ(a.routeCosts.back(), a.dRouteCost);
  for (std::size_t i = 1; i < a.routeCosts.size(); ++i) EXPECT_LT(a.routeCosts[i - 1], a.routeCosts[i]);
  EXPECT_NE(o.strOut.find("route: cost 450.0"), std::string::npos) << o.strOut;
}

TEST(AnalysisModeTest, AreaReachesTheRoutesEndExactlyAtItsCost) {
  NDemoRun atCost, short1;
  ASSERT_EQ(RunArgs({"--within", "450", "--no-svg"}, &atCost).iStatus, 0);
  ASSERT_EQ(RunArgs({"--within", "449", "--no-svg"}, &short1).iStatus, 0);
  EXPECT_GT(atCost.analysis.lNodsReached, short1.analysis.lNodsReached);
  // Streets reached in part are drawn to where the limit falls.
  bool bPartial = false;
  for (const NEdgeStretch& s : short1.traced) bPartial = bPartial || (s.dTo - s.dFrom > 0.0 && s.dTo - s.dFrom < 0.99);
  EXPECT_TRUE(bPartial);
}

TEST(AnalysisModeTest, IsolationClosesTheTwoValvesOfTheBurstStreet) {
  NDemoRun run;
  const NOutcome o = RunArgs({"--isolate", "--flag", "250,300", "--flag", "0,0", "--valve", "200,300", "--valve",
                              "300,300", "--valve", "250,400", "--no-svg"},
                             &run);
  ASSERT_EQ(o.iStatus, 0) << o.strErr;
  EXPECT_EQ(run.analysis.closeValves.size(), 2U);  // the third valve stands on another street
  EXPECT_EQ(run.analysis.lNodsReached, 1);         // the burst's own node between the two
  EXPECT_EQ(run.analysis.lEdgesReached, 2);
}

TEST(AnalysisModeTest, ComponentsSeeTheCornerTheBarriersCutOff) {
  NDemoRun run;
  const NOutcome o = RunArgs({"--components", "--no-svg"}, &run);
  ASSERT_EQ(o.iStatus, 0) << o.strErr;
  EXPECT_EQ(run.analysis.comps.lCount, 2);
  EXPECT_NE(o.strOut.find("components: 2"), std::string::npos) << o.strOut;
}

TEST(AnalysisModeTest, JsonIsTheOnlyThingOnStdout) {
  const NOutcome o = RunArgs({"--route", "400,400", "--json", "--svg", Temp("json.svg")});
  ASSERT_EQ(o.iStatus, 0) << o.strErr;
  ASSERT_FALSE(o.strOut.empty());
  EXPECT_EQ(o.strOut.front(), '{');
  EXPECT_EQ(o.strOut.find('\n'), o.strOut.size() - 1);
  for (const char* key : {"\"nodes_reached\":", "\"edges_reached\":", "\"route_cost\":450",
                          "\"route_edges\":[{\"id\":", "\"components\":", "\"timing_ms\":{"}) {
    EXPECT_NE(o.strOut.find(key), std::string::npos) << key << " in " << o.strOut;
  }
  EXPECT_NE(o.strErr.find("picture: "), std::string::npos);
  std::remove(Temp("json.svg").c_str());
}

TEST(AnalysisModeTest, BadModeArgumentsAreRefused) {
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"--within", "-1"},
                                             {"--within", "nan"},
                                             {"--route", "1,2", "--route", "3,4"},
                                             {"--route", "1,2", "--within", "5"},
                                             {"--isolate"},
                                             {"--valve", "1,2"},
                                             {"--toward"},
                                             {"--follow-costs"},
                                             {"--side", "left"},
                                             {"--restrictions", "r.csv"},
                                             {"--route", "1,2", "--side", "up"},
                                             {"--route", "1,2", "--side", "left", "--restrictions", "r.csv"},
                                             {"--within", "5", "--toward", "--side", "left"}}) {
    const NOutcome o = RunArgs(args);
    EXPECT_EQ(o.iStatus, 2) << args.front() << ": " << o.strErr;
    EXPECT_FALSE(o.strErr.empty());
  }
}

// The modes toward a flag, among flags, with turn restrictions and kerbs, on
// the default town (flag on High Street at 150,200 unless given) and on a
// street cut in two by a cost of no way.
TEST(AnalysisModeTest, SecondWaveModesGiveTheirKeyNumbers) {
  const std::string strRules = Temp("rules.csv"), strBad = Temp("bad-rules.csv"), strVia = Temp("via-rules.csv"), strCut = Temp("cut.csv");
  // No turn from High Street (3) into East Street (12) where they meet: the
  // 450 m route to 400,400 goes round by Baker Street, 550 m.
  std::ofstream(strRules) << "# turns the council forbids\nkind,from,via,to\nno_left_turn,3,,12\n";
  std::ofstream(strBad) << "kind,from,via,to\nno,3,,99\n";
  // Nor from High Street up East Street into Hill Avenue: the 470 m route to
  // 380,400 goes by Baker Street, 530 m.
  std::ofstream(strVia) << "kind,from,via,to\nno,3,12,5\n";
  std::ofstream(strCut) << "id,x1,y1,x2,y2,cost\n1,0,0,100,0,100\n2,100,0,200,0,-1\n3,200,0,300,0,100\n";
  using FGet = double (*)(const NDemoRun&);
  const FGet route = [](const NDemoRun& r) { return r.analysis.dRouteCost; };
  const struct {
    std::vector<std::string> args;
    FGet get;
    double dExpected;
    const char* pszJson;  // in the JSON summary; null: nothing asked
  } kCases[] = {
      {{"--route", "400,400", "--restrictions", strRules}, route, 550.0, "\"route_cost\":550"},
      {{"--route", "380,400", "--restrictions", strVia}, route, 530.0, nullptr},
      {{"--route", "400,400", "--restrictions", strBad}, nullptr, 0.0, nullptr},  // no street 99: refused
      // Hill Avenue runs east as drawn: arriving at 380,400 on its right
      // side means coming from the west, on its left from the east.
      {{"--route", "380,400", "--side", "both"}, route, 470.0, nullptr},
      {{"--route", "380,400", "--side", "left"}, route, 570.0, nullptr},
      {{"--route", "380,400", "--side", "right"}, route, 630.0, nullptr},
      {{"--costs-to", "--flag", "150,205", "--flag", "400,400"},
       [](const NDemoRun& r) { return r.analysis.flagCosts.at(1); }, 450.0,
       "\"costs_to\":{\"max_cost\":450,\"flags\":[0,450]}"},
      // Two nodes reach the flag at exactly 450: 400,400 and 300,0.
      {{"--within", "450", "--toward"}, [](const NDemoRun& r) { return r.analysis.lNodsReached * 1.0; }, 25.0,
       "\"toward\":true"},
      {{"--within", "449", "--toward"}, [](const NDemoRun& r) { return r.analysis.lNodsReached * 1.0; }, 23.0, nullptr},
      // Leaving the flag from one kerb of High Street: 8 nodes within 200
      // either way, 5 from its right side, 6 from its left.
      {{"--within", "200", "--side", "right"}, [](const NDemoRun& r) { return r.analysis.lNodsReached * 1.0; }, 5.0,
       nullptr},
      {{"--within", "200", "--side", "left"}, [](const NDemoRun& r) { return r.analysis.lNodsReached * 1.0; }, 6.0,
       nullptr},
      {{"--closest", "--flag", "50,0", "--flag", "350,400"},
       [](const NDemoRun& r) { return r.analysis.partEdges.at(0) + r.analysis.partEdges.at(1) * 1.0; }, 43.0,
       "\"closest\":[{\"flag\":1,\"nodes\":15,\"edges\":23},{\"flag\":2,\"nodes\":13,\"edges\":20}]"},
      {{strCut, "--cost-field", "cost", "--flag", "50,0", "--components"},
       [](const NDemoRun& r) { return r.analysis.comps.lCount * 1.0; }, 1.0, nullptr},
      {{strCut, "--cost-field", "cost", "--flag", "50,0", "--components", "--follow-costs"},
       [](const NDemoRun& r) { return r.analysis.comps.lCount * 1.0; }, 2.0, "\"components\":2"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.args.front() + " " + c.args.back());
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"--json", "--no-svg"});
    NDemoRun run;
    const NOutcome o = RunArgs(args, &run);
    if (c.get == nullptr) {
      EXPECT_EQ(o.iStatus, 1);
      EXPECT_NE(o.strErr.find("row 2"), std::string::npos) << o.strErr;
      continue;
    }
    ASSERT_EQ(o.iStatus, 0) << o.strErr;
    EXPECT_DOUBLE_EQ(c.get(run), c.dExpected);
    if (c.pszJson != nullptr) {
      EXPECT_NE(o.strOut.find(c.pszJson), std::string::npos) << o.strOut;
    }
  }
  // Each flag's part is drawn in its own colour.
  const std::string strSvg = Temp("closest.svg");
  ASSERT_EQ(RunArgs({"--closest", "--flag", "50,0", "--flag", "350,400", "--svg", strSvg}).iStatus, 0);
  std::ifstream in(strSvg);
  const std::string svg((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(svg.find("class=\"traced part0\""), std::string::npos);
  EXPECT_NE(svg.find("class=\"traced part1\""), std::string::npos);
  for (const std::string& f : {strRules, strBad, strVia, strCut, strSvg}) std::remove(f.c_str());
}

// The turn restriction relations of a hand-written OSM file resolve to the
// very restrictions their CSV form gives, edge for edge, and divert the same
// routes: from way 11 the plain route turns left at node 2 into 51 (901
// forbids it), from way 21 left at node 5 into 52 (902: straight on only).
// The file's other relations are skipped or ignored, counted on one line.
TEST(AnalysisModeTest, OsmRelationsRestrictRoutesAsTheirCsvFormDoes) {
  const std::string strOsm = std::string(KELVANE_TRACE_DATA) + "/turns.osm", strCsv = Temp("turns.csv");
  std::ofstream(strCsv) << "kind,from,via,to\nno_left_turn,11,,51\nonly_straight_on,21,,22\nno_u_turn,11,51,21\n";
  for (const char* pszFlag : {"5.0005,52.0", "5.0005,52.001"}) {
    SCOPED_TRACE(pszFlag);
    std::vector<std::string> args = {strOsm, "--flag", pszFlag, "--route", "5.001,52.0015", "--no-svg", "--restrictions"};
    NDemoRun plain, osm, csv;
    args.push_back("osm");
    const NOutcome o = RunArgs(args, &osm);
    ASSERT_EQ(o.iStatus, 0) << o.strErr;
    args.back() = strCsv;
    ASSERT_EQ(RunArgs(args, &csv).iStatus, 0);
    args.resize(args.size() - 2);
    ASSERT_EQ(RunArgs(args, &plain).iStatus, 0);
    EXPECT_GT(osm.analysis.dRouteCost, plain.analysis.dRouteCost + 100.0);  // round a block at least
    EXPECT_DOUBLE_EQ(osm.analysis.dRouteCost, csv.analysis.dRouteCost);
    EXPECT_EQ(o.strErr,
              "kelvane-trace: turn restrictions of " + strOsm +
                  ": 3 of 7 relations used, 3 skipped (1 malformed, 1 naming a way not among the lines, 1 whose ways "
                  "do not meet at the via; first relation 904: no to way), 1 for some vehicles or times only, ignored\n");
    std::vector<NRestriction_stru> fromOsm, fromCsv;
    NOsmRestrictionCounts counts;
    std::string strError;
    ASSERT_TRUE(ReadOsmRestrictions(strOsm, osm, 0.01, false, fromOsm, counts, strError)) << strError;
    ASSERT_TRUE(ReadRestrictions(strCsv, osm, fromCsv, strError)) << strError;
    ASSERT_EQ(fromOsm.size(), fromCsv.size());
    for (std::size_t i = 0; i < fromOsm.size(); ++i) {
      EXPECT_EQ(fromOsm[i].eKind, fromCsv[i].eKind);
      EXPECT_EQ(fromOsm[i].lViaNod, fromCsv[i].lViaNod);
      EXPECT_EQ(fromOsm[i].edges, fromCsv[i].edges);
    }
  }
  // A file that is not XML (a .pbf) is read for its lines only, and says so.
  const std::string strPbf = Temp("turns.osm.pbf");
  std::ofstream(strPbf) << std::string("\0\0\0\x0dOSMHeader", 13);
  NDemoRun run;
  std::vector<NRestriction_stru> none;
  NOsmRestrictionCounts counts;
  std::string strError;
  ASSERT_TRUE(ReadOsmRestrictions(strPbf, run, 0.01, false, none, counts, strError));
  EXPECT_TRUE(none.empty());
  EXPECT_NE(OsmRestrictionLine(strPbf, counts).find("not read: GDAL gives no relation members of a .pbf"),
            std::string::npos);
  for (const std::string& f : {strCsv, strPbf}) std::remove(f.c_str());
}

TEST(AnalysisModeTest, EveryModeRunsWithoutAFlagWhenItNeedsNoneAndSaysSoWhenItDoes) {
  for (const NModeDef& m : Modes()) {
    SCOPED_TRACE(m.pszName);
    std::vector<std::string> args = {kVillage, "--no-svg"};
    if (m.pszOption != nullptr) args.push_back(m.pszOption);
    if (m.pszArg != nullptr) args.push_back(std::string(m.pszArg) == "X,Y" ? "0.001,0.001" : "5");
    if (m.eMode == NDemoMode::Isolate) args.insert(args.end(), {"--valve", "0.001,0.0005"});
    const NOutcome o = RunArgs(args);
    if (m.nMinStarts == 0) {
      EXPECT_EQ(o.iStatus, 0) << o.strErr;
      EXPECT_NE(o.strOut.find(std::string(m.pszName) + ": "), std::string::npos) << o.strOut;
    } else {
      EXPECT_EQ(o.iStatus, 1);
      EXPECT_NE(o.strErr.find("no flag given"), std::string::npos) << o.strErr;
    }
    // Asked only for the picture, every mode that needs a start says it has none.
    args[1] = "--svg";
    args.insert(args.begin() + 2, Temp("mode.svg"));
    const NOutcome drawn = RunArgs(args);
    if (m.nMinStarts > 0 && m.eMode != NDemoMode::Trace) {
      EXPECT_EQ(drawn.iStatus, 1);
      EXPECT_NE(drawn.strErr.find("no flag could be placed"), std::string::npos) << drawn.strErr;
    } else {
      EXPECT_EQ(drawn.iStatus, 0) << drawn.strErr;
    }
    std::remove(Temp("mode.svg").c_str());
  }
}

TEST(ManPageTest, CommittedPageIsTheOneTheOptionTableMakes) {
  std::ostringstream made;
  WriteManPage(made);
  const std::string strPage = std::string(KELVANE_TRACE_DATA) + "/../../kelvane-trace.1";
  std::ifstream in(strPage);
  const std::string committed((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (committed != made.str()) {
    const std::string strNew = Temp("kelvane-trace.1");
    std::ofstream(strNew) << made.str();
    ADD_FAILURE() << "the option table changed: cp " << strNew << " " << strPage;
  }
  // Every option of the table is in the page, as roff spells it.
  for (const NOptionRow& row : OptionTable()) {
    if (row.pszNames == nullptr || row.pfnSet == nullptr) continue;
    std::string name = std::string(row.pszNames).substr(0, std::string(row.pszNames).find('|'));
    std::string roff;
    for (const char c : name) roff += c == '-' ? std::string("\\-") : std::string(1, c);
    EXPECT_NE(committed.find("\\fB" + roff + "\\fR"), std::string::npos) << name;
  }
}
