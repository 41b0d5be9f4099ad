// Demo.cpp - the stages of one run, in order: parse, build, map flags, trace, draw.
#include "Demo.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "NetBuild.h"
#include "Output.h"
#include "TurnRestrictions.h"
#include "kelvane/tools/NetworkCheck.h"

using namespace kelvane::tools;

namespace {

// A piece of the library's network as a stretch of a demo edge.
NEdgeStretch Stretch(const NDemoRun& run, std::int32_t lEdge) {
  NEdgeStretch s;
  s.lEdge = run.split.GetOriginal(lEdge, &s.dFrom, &s.dTo);
  return s;
}

}  // namespace

std::string FeatureId(const NDemoRun& run, std::int32_t lEdge) {
  const NInputLine& line =
      run.input.lines[static_cast<std::size_t>(run.demo.edges[static_cast<std::size_t>(lEdge) - 1].lLine)];
  return line.lFeature >= 0 ? run.input.features[static_cast<std::size_t>(line.lFeature)].strId
                            : std::to_string(line.llFid);
}

namespace {

void ListEdges(const NDemoRun& run, std::ostream& out) {
  out << "edge  feature  from    to      length\n";
  for (std::size_t e = 0; e < run.demo.edges.size(); ++e) {
    const NDemoEdge& d = run.demo.edges[e];
    out << e + 1 << "  " << FeatureId(run, static_cast<std::int32_t>(e) + 1) << "  " << d.lFromNod << "  " << d.lToNod
        << "  " << FixedText(d.dLength, 1) << '\n';
  }
}

const char* DirName(NTraceDir eDir) {
  switch (eDir) {
    case NTraceDir::Connected:
      return "connected";
    case NTraceDir::Upstream:
      return "upstream";
    default:
      return "downstream";
  }
}

// The closed edges the trace met in the demo's edge numbering, once each:
// the streets closed both ways.
std::vector<std::int32_t> FoldRecorded(const NDemoRun& run) {
  std::vector<std::int32_t> out;
  const CSmartArray<std::int32_t>& rec = run.trace.blockedEdges;
  for (std::int32_t i = 0; i < rec.GetSize(); ++i) {
    const std::int32_t lOrig = run.split.GetOriginal(std::abs(rec.GetAt(i)));
    if (lOrig <= 0 || static_cast<std::size_t>(lOrig) > run.demo.edges.size()) continue;
    const NDemoEdge& e = run.demo.edges[static_cast<std::size_t>(lOrig) - 1];
    if (run.input.lines[static_cast<std::size_t>(e.lLine)].bBlocked) out.push_back(lOrig);
  }
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

// Names the features left out for a fault in them, a few at a time.
void ReportSkipped(const NInputNetwork& input, std::ostream& err) {
  constexpr std::size_t kMaxNamed = 10;
  std::size_t nNamed = 0, nMore = 0;
  for (const NSkippedFeature& s : input.skipped) {
    if (s.eWhy == NSkipReason::NotLine) continue;  // points in a mixed layer are no fault
    if (nNamed++ < kMaxNamed) {
      err << "kelvane-trace: feature " << s.strId << " skipped: " << s.strDetail << '\n';
    } else {
      ++nMore;
    }
  }
  if (nMore > 0) err << "kelvane-trace: " << nMore << " more features skipped for the same reasons\n";
}

std::int64_t CountSkipped(const NInputNetwork& input, NSkipReason eWhy) {
  std::int64_t n = 0;
  for (const NSkippedFeature& s : input.skipped) n += s.eWhy == eWhy ? 1 : 0;
  return n;
}

bool Fail(std::ostream& err, const std::string& strError) {
  err << "kelvane-trace: " << strError << '\n';
  return false;
}

// --- the stages; each returns false having reported why it stopped ---

bool ReadStage(const NOptions& opt, NDemoRun& run, std::ostream& err) {
  std::string strError;
  bool bRead = true;
  if (opt.strInput.empty()) {
    DefaultTown(run.input);
  } else if (opt.bCsv) {
    bRead = ReadCsv(opt.strInput, opt.fields, opt.bLonLat, run.input, strError);
  } else {
    bRead = ReadOgr(opt.strInput, opt.strLayer, opt.strWhere, opt.fields, !opt.bQuiet, run.input, strError);
    if (bRead && opt.bLonLat) run.input.bLonLat = true;
  }
  if (!bRead) return Fail(err, strError);
  ScreenCoordinates(run.input);
  if (!NodeInputLines(run.input, opt.dSnap >= 0.0 ? opt.dSnap : 0.01, run.demo, &strError)) return Fail(err, strError);
  std::vector<char> lineHasEdge(run.input.lines.size(), 0);
  for (const NDemoEdge& e : run.demo.edges) lineHasEdge[static_cast<std::size_t>(e.lLine)] = 1;
  SkipZeroLength(run.input, lineHasEdge);
  ReportSkipped(run.input, err);
  run.timer.Stage("parse");
  if (run.demo.edges.empty()) {
    return Fail(err, run.input.strSource + " holds no lines to trace (" + std::to_string(run.input.llFeatures) +
                         " features, " + std::to_string(run.input.llSkipped) + " skipped)");
  }
  return true;
}

bool BuildStage(const NOptions& opt, NDemoRun& run, std::ostream& out, std::ostream& err) {
  std::string strError;
  if (!BuildNetwork(run.input, run.demo, run.net, strError)) return Fail(err, strError);
  const std::vector<NFinding_stru> findings = CheckNetwork(run.net, 5);
  for (const NFinding_stru& f : findings) err << "kelvane-trace: network check: " << f.strText << '\n';
  run.timer.Stage("build");
  if (!findings.empty()) return false;
  if (opt.bListEdges) ListEdges(run, out);
  return true;
}

// Every flag and barrier must be placed: a trace that silently lacks one
// start, or runs through a barrier the user set, is a wrong answer.
bool PlaceStage(const NOptions& opt, const std::vector<NFlagRequest>& requests, NDemoRun& run, std::ostream& err) {
  std::string strError;
  for (const NFlagRequest& req : requests) {
    NPlacedFlag f;
    f.req = req;
    run.flags.push_back(f);
  }
  const double dSnap = opt.dSnap >= 0.0 ? opt.dSnap : 0.01;
  PlaceFlags(run.demo, dSnap, opt.dMaxSnap >= 0.0 ? opt.dMaxSnap : kDefaultMaxSnap, run.summary.strUnit, run.flags);
  // Mapped even with no flag: the split index then answers for every edge,
  // as the view and the folds ask of it.
  if (!MapPlacedFlags(run.net, run.flags, run.split, run.mapStats, err, strError)) return Fail(err, strError);
  if (requests.empty()) return true;
  std::size_t nRefused = 0;
  for (const NPlacedFlag& f : run.flags) nRefused += f.bPlaced && f.lNod > 0 ? 0 : 1;
  run.timer.Stage("map flags");
  if (nRefused > 0) {
    return Fail(err, std::to_string(nRefused) + " of " + std::to_string(run.flags.size()) +
                         " flags and barriers could not be placed: nothing traced");
  }
  return true;
}

bool IsStart(const NFlagRequest& req) { return !req.bBarrier && !req.bTarget && !req.bValve; }

// Every piece of every split edge, for the picture's split marks.
void CollectPieces(NDemoRun& run) {
  for (std::int32_t e = 1; e <= run.mapStats.lEdgesBefore; ++e) {
    if (!run.split.IsSplit(e)) continue;
    CSmartArray<NEdgePiece_stru> pieces;
    run.split.GetPieceS(e, pieces);
    for (std::int32_t i = 0; i < pieces.GetSize(); ++i) run.pieces.push_back(Stretch(run, pieces.GetAt(i).lEdge));
  }
}

// The view the trace and the analyses read: costs from the column the run
// goes by, pieces costed by their share of the edge they were cut from.
bool ViewStage(const NOptions& opt, NDemoRun& run, std::ostream& err) {
  NViewOptions_stru v;
  v.lAlongFld = opt.bByLength ? kLengthFld : kCostFld;
  v.pSplit = &run.split;
  NFinding_stru e;
  if (run.view.Build(run.net, v, &e) != 1)
    return Fail(err, std::string(ModeOf(opt.eMode).pszName) + ": network view: " + e.strText);
  return true;
}

// The flags and barriers of the command line, and the valves of --valves.
bool Requests(const NOptions& opt, std::vector<NFlagRequest>& requests, std::ostream& err) {
  requests = opt.flags;
  if (opt.strValves.empty()) return true;
  std::vector<NLinePoint_stru> pts;
  std::string strError;
  if (!ReadOgrPoints(opt.strValves, pts, strError)) return Fail(err, strError);
  for (std::size_t i = 0; i < pts.size(); ++i) {
    NFlagRequest f;
    f.bValve = true;
    f.pt = pts[i];
    f.strLabel = "valve " + std::to_string(i + 1) + " of " + opt.strValves;
    requests.push_back(f);
  }
  return true;
}

// A line on stderr, rewritten now and then, while an analysis of the whole
// network runs long enough for someone to wonder whether anything happens.
struct NAnalysisProgress {
  using Clock = std::chrono::steady_clock;
  const char* pszName = "";
  Clock::time_point start = Clock::now();
  Clock::time_point last = start;
  bool bShown = false;

  static bool Poll(void* pUser, double dDone) {
    NAnalysisProgress& p = *static_cast<NAnalysisProgress*>(pUser);
    const Clock::time_point now = Clock::now();
    if (now - p.start < std::chrono::milliseconds(500) || now - p.last < std::chrono::milliseconds(500)) return true;
    p.last = now;
    p.bShown = true;
    std::fprintf(stderr, "\r%s: %d%%", p.pszName, static_cast<int>(100 * std::min(1.0, std::max(0.0, dDone))));
    return true;
  }
  ~NAnalysisProgress() {
    if (bShown) std::fprintf(stderr, "\r%s: done\n", pszName);
  }
};

// The turn restrictions --restrictions names: a CSV, refused whole on its
// first bad row, or the relations of the OSM input, those that cannot be
// used counted on one line.
bool RestrictionStage(const NOptions& opt, const NDemoRun& run, std::vector<NRestriction_stru>& out,
                      std::ostream& err) {
  std::string strError;
  const std::string strWhat = std::string(ModeOf(opt.eMode).pszName) + ": ";
  if (opt.strRestrictions.empty()) return true;
  if (opt.strRestrictions != kOsmRestrictions) {
    return ReadRestrictions(opt.strRestrictions, run, out, strError) || Fail(err, strWhat + strError);
  }
  if (run.input.strDriver != "OSM") {
    return Fail(err, strWhat + "--restrictions osm reads the relations of an OpenStreetMap input, and " +
                         (opt.strInput.empty() ? std::string("the default town") : run.input.strSource) +
                         " is none (a CSV of restrictions named osm: ./osm)");
  }
  NOsmRestrictionCounts counts;
  const double dTolerance = opt.dSnap >= 0.0 ? opt.dSnap : 0.01;
  if (!ReadOsmRestrictions(opt.strInput, run, dTolerance, !opt.bQuiet, out, counts, strError))
    return Fail(err, strWhat + strError);
  err << "kelvane-trace: " << OsmRestrictionLine(opt.strInput, counts) << '\n';
  return true;
}

bool AnalysisStage(const NOptions& opt, NDemoRun& run, std::ostream& err) {
  NAnalysisProgress progress;
  progress.pszName = ModeOf(opt.eMode).pszName;
  NProgress_stru poll;
  poll.pfnPoll = &NAnalysisProgress::Poll;
  poll.pUser = &progress;
  NAnalysisInput in;
  in.pProgress = opt.bQuiet ? nullptr : &poll;
  in.eMode = opt.eMode;
  in.dLimit = opt.dWithin;
  in.lCostFld = opt.bByLength ? kLengthFld : kCostFld;
  in.bToward = opt.bToward;
  in.bFollowCosts = opt.bFollowCosts;
  in.eSide = opt.eSide;
  for (const NPlacedFlag& f : run.flags) {
    if (f.req.bTarget) {
      in.lTarget = f.lNod;
    } else if (f.req.bValve) {
      in.valves.push_back(f.lNod);
    } else if (!f.req.bBarrier) {
      in.starts.push_back(f.lNod);
    }
  }
  std::string strError;
  const char* pszName = ModeOf(opt.eMode).pszName;
  if (!ViewStage(opt, run, err)) return false;
  if (!RestrictionStage(opt, run, in.restrictions, err)) return false;
  if (!RunAnalysis(run.view, run.split, static_cast<std::int32_t>(run.demo.edges.size()), in, run.analysis, strError)) {
    return Fail(err, std::string(pszName) + ": " + strError);
  }
  run.traced = run.analysis.stretches;
  CollectPieces(run);
  run.timer.Stage(pszName);
  return true;
}

// A fraction of a demo edge as a fraction of the feature it was cut from.

double OnFeature(const NDemoRun& run, std::int32_t lEdge, double dFrac) {
  const NDemoEdge& d = run.demo.edges[static_cast<std::size_t>(lEdge) - 1];
  return d.dFrom + dFrac * (d.dTo - d.dFrom);
}

void SummariseAnalysis(const NOptions& opt, NDemoRun& run) {
  NRunSummary& s = run.summary;
  const NAnalysisOutcome& a = run.analysis;
  s.lReachedNods = a.lNodsReached;
  s.lReachedEdges = a.lEdgesReached;
  s.dLimit = opt.dWithin;
  s.bToward = opt.bToward;
  s.flagCosts = a.flagCosts;
  s.dMaxCost = a.dMaxCost;
  s.partNods = a.partNods;
  s.partEdges = a.partEdges;
  s.bRouteFound = a.bRouteFound;
  s.dRouteCost = a.dRouteCost;
  for (std::size_t i = 0; i < a.route.size(); ++i) {
    const NEdgeStretch& r = a.route[i];
    s.route.push_back(NRouteStretch{FeatureId(run, r.lEdge), OnFeature(run, r.lEdge, r.dFrom),
                                    OnFeature(run, r.lEdge, r.dTo), a.routeCosts[i]});
  }
  s.closeValves = a.closeValves;
  s.bSourceInside = a.bSourceInside;
  s.lComponents = a.comps.lCount;
  if (a.lLargest > 0) s.lLargestStreets = a.compEdges[static_cast<std::size_t>(a.lLargest) - 1];
  for (std::int32_t c : a.edgeComp) s.lCutOffStreets += c != 0 && c != a.lLargest ? 1 : 0;
}

bool TraceStage(const NOptions& opt, NDemoRun& run, std::ostream& err) {
  std::string strError;
  std::vector<std::int32_t> starts;
  for (const NPlacedFlag& f : run.flags)
    if (IsStart(f.req)) starts.push_back(f.lNod);
  if (!ViewStage(opt, run, err)) return false;
  if (!RunTrace(run.net, run.view, starts, opt.eDir, run.trace, strError)) return Fail(err, strError);
  run.net.EndTrace();
  for (std::int32_t i = 0; i < run.trace.edges.GetSize(); ++i)
    run.traced.push_back(Stretch(run, run.trace.edges.GetAt(i)));
  CollectPieces(run);
  CSmartArray<std::int32_t> anyOrig, allOrig;
  run.split.FoldTraceResult(run.trace.edges, NFoldRule::Any, anyOrig);
  run.split.FoldTraceResult(run.trace.edges, NFoldRule::All, allOrig);
  run.lOriginalsVisited = anyOrig.GetSize();
  run.lOriginalsWhole = allOrig.GetSize();
  run.blockedEdges = FoldRecorded(run);
  run.timer.Stage("trace");
  return true;
}

void Summarise(const NOptions& opt, bool bTraced, NDemoRun& run) {
  NRunSummary& s = run.summary;
  s.strSource = run.input.strSource;
  s.llFeatures = run.input.llFeatures;
  s.llNotLine = CountSkipped(run.input, NSkipReason::NotLine);
  s.llBadCoord = CountSkipped(run.input, NSkipReason::BadCoord);
  s.llZeroLength = CountSkipped(run.input, NSkipReason::ZeroLength);
  s.lNods = run.mapStats.lNodsBefore > 0 ? run.mapStats.lNodsBefore : static_cast<std::int32_t>(run.demo.nods.size());
  s.lEdges =
      run.mapStats.lEdgesBefore > 0 ? run.mapStats.lEdgesBefore : static_cast<std::int32_t>(run.demo.edges.size());
  s.lSplitEdges = run.mapStats.lSplitEdges;
  s.lNewEdges = run.mapStats.lNewEdges;
  for (const NPlacedFlag& f : run.flags)
    s.flags.push_back(NFlagSummary{FlagName(f.req), f.req.bBarrier, f.req.bByPoint, f.dSnapDist, f.lNod});
  s.bTraced = bTraced;
  s.strDirection = DirName(opt.eDir);
  s.lVisitedNods = run.trace.nods.GetSize();
  s.lVisitedEdges = run.trace.edges.GetSize();
  s.lOriginalsVisited = run.lOriginalsVisited;
  s.lOriginalsWhole = run.lOriginalsWhole;
  s.dDmd = run.trace.dDmd;
  s.dLength = run.trace.dLength;
  for (std::int32_t i = 0; i < run.trace.blockedNods.GetSize(); ++i)
    s.barrierNods.push_back(run.trace.blockedNods.GetAt(i));
  s.closedStreets = run.blockedEdges;
  s.eMode = opt.eMode;
  if (opt.eMode != NDemoMode::Trace) SummariseAnalysis(opt, run);
  run.summaryLines = SummaryLines(s);
}

// Writes every output OutputFiles lists, each to the path already checked.
bool WriteStage(const NOptions& opt, NDemoRun& run, std::ostream& out, std::ostream& err) {
  bool bOk = true;
  for (const NOutputFile& f : OutputFiles(opt)) {
    std::string strError;
    const bool bWritten = f.strDriver.empty()
                              ? WriteSvg(f.strPath, run, strError)
                              : WriteTracedFeatures(f.strPath, f.strDriver, opt.bOverwrite, run, strError);
    if (bWritten) {
      out << (f.strDriver.empty() ? "picture: " : "traced features: ") << f.strPath << '\n';
    } else {
      bOk = Fail(err, strError);
    }
  }
  run.timer.Stage("draw");
  return bOk;
}

// What can be refused before anything is read: the outputs, and a run with
// nothing to start from.
bool CheckRun(const NOptions& opt, std::ostream& err) {
  std::string strError;
  if (!CheckOutputs(opt, strError)) return Fail(err, strError);
  if (!HasStartFlag(opt) && !LooksOnly(opt) && ModeOf(opt.eMode).nMinStarts > 0) {
    err << "kelvane-trace: no flag given, so nothing to trace (add --flag X,Y or --flag-edge E:F; "
           "--svg FILE alone draws the network)\n";
    return false;
  }
  return true;
}

// The summary, the files and the timing. Returns false when a file could not be written.
bool Report(const NOptions& opt, NDemoRun& run, std::ostream& out, std::ostream& info, std::ostream& err) {
  if (!opt.bJson) {
    for (const std::string& line : run.summaryLines) out << line << '\n';
  }
  const bool bOk = WriteStage(opt, run, info, err);
  if (opt.bJson) {
    for (const auto& st : run.timer.Stages()) run.summary.timing.push_back(st);
    WriteJsonSummary(run.summary, out);
  } else if (opt.bTiming) {
    for (const auto& st : run.timer.Stages()) out << "time " << st.first << ": " << FixedText(st.second, 2) << " ms\n";
  }
  return bOk;
}

}  // namespace

int RunDemo(const NOptions& opt, std::ostream& out, std::ostream& err, NDemoRun& run) {
  if (!CheckRun(opt, err)) return 1;
  if (!ReadStage(opt, run, err)) return 1;
  run.summary.strUnit = opt.strInput.empty() || run.input.bLonLat ? "m" : "map units";
  // With --json, stdout carries the one JSON object and nothing else.
  std::ostream& info = opt.bJson ? err : out;
  if (!BuildStage(opt, run, info, err)) return 1;
  std::vector<NFlagRequest> requests;
  if (!Requests(opt, requests, err) || !PlaceStage(opt, requests, run, err)) return 1;
  const bool bTrace = !requests.empty();
  if (opt.eMode != NDemoMode::Trace) {
    if (!AnalysisStage(opt, run, err)) return 1;
  } else if (bTrace && !TraceStage(opt, run, err)) {
    return 1;
  }
  Summarise(opt, bTrace, run);
  return Report(opt, run, out, info, err) ? 0 : 1;
}
