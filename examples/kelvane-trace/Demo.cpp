// Demo.cpp - the stages of one run, in order: parse, build, map flags, trace, draw.
#include "Demo.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "NetBuild.h"
#include "kelvane/tools/NetworkCheck.h"

namespace {

std::string Fixed(double d, int nDigits) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", nDigits, d);
  return buf;
}

// A piece of the library's network as a stretch of a demo edge.
NEdgeStretch Stretch(const NDemoRun& run, std::int32_t lEdge) {
  NEdgeStretch s;
  s.lEdge = run.split.GetOriginal(lEdge, &s.dFrom, &s.dTo);
  return s;
}

void ListEdges(const NDemoRun& run, std::ostream& out) {
  out << "edge  feature  from    to      length\n";
  for (std::size_t e = 0; e < run.demo.edges.size(); ++e) {
    const NDemoEdge& d = run.demo.edges[e];
    out << e + 1 << "  " << run.input.lines[static_cast<std::size_t>(d.lLine)].llFid << "  " << d.lFromNod << "  "
        << d.lToNod << "  " << Fixed(d.dLength, 1) << '\n';
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

// Recorded numbers in the demo's edge numbering, once each.
std::vector<std::int32_t> FoldRecorded(const NDemoRun& run) {
  std::vector<std::int32_t> out;
  const CSmartArray<std::int32_t>& rec = run.trace.blockedEdges;
  for (std::int32_t i = 0; i < rec.GetSize(); ++i) {
    const std::int32_t lOrig = run.split.GetOriginal(std::abs(rec.GetAt(i)));
    if (lOrig > 0) out.push_back(lOrig);
  }
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

std::string Join(const std::vector<std::int32_t>& v, std::size_t nMax) {
  std::string s;
  for (std::size_t i = 0; i < v.size() && i < nMax; ++i) s += (i ? " " : "") + std::to_string(v[i]);
  if (v.size() > nMax) s += " ...";
  return s.empty() ? "none" : s;
}

}  // namespace

int RunDemo(const NOptions& opt, std::ostream& out, std::ostream& err, NDemoRun& run) {
  std::string strError;

  // --- parse: read the lines and node them ---
  bool bRead = true;
  if (opt.strInput.empty()) {
    DefaultTown(run.input);
  } else if (opt.bCsv) {
    bRead = ReadCsv(opt.strInput, opt.fields, opt.bLonLat, run.input, strError);
  } else {
    bRead = ReadOgr(opt.strInput, opt.strLayer, opt.strWhere, opt.fields, !opt.bQuiet, run.input, strError);
    if (bRead && opt.bLonLat) run.input.bLonLat = true;
  }
  if (!bRead) {
    err << "kelvane-trace: " << strError << '\n';
    return 1;
  }
  const double dSnap = opt.dSnap >= 0.0 ? opt.dSnap : 0.01;
  NodeLines(run.input, dSnap, run.demo);
  run.timer.Stage("parse");
  if (run.demo.edges.empty()) {
    err << "kelvane-trace: " << run.input.strSource << " holds no lines to trace\n";
    return 1;
  }

  // --- build: the library's network, checked as a host should ---
  run.bTransposed = NeedsTranspose(opt.eDir);
  if (!BuildNetwork(run.input, run.demo, run.bTransposed, run.net, strError)) {
    err << "kelvane-trace: " << strError << '\n';
    return 1;
  }
  const std::vector<NFinding_stru> findings = CheckNetwork(run.net, 5);
  for (const NFinding_stru& f : findings) err << "kelvane-trace: network check: " << f.strText << '\n';
  run.timer.Stage("build");
  if (!findings.empty()) return 1;
  if (opt.bListEdges) ListEdges(run, out);

  // --- map flags ---
  for (const NFlagRequest& req : opt.flags) {
    NPlacedFlag f;
    f.req = req;
    run.flags.push_back(f);
  }
  PlaceFlags(run.demo, dSnap, run.flags);
  if (!MapFlags(run.net, run.flags, run.split, run.mapStats, err, strError)) {
    err << "kelvane-trace: " << strError << '\n';
    return 1;
  }
  std::vector<std::int32_t> starts;
  std::int32_t lFlags = 0, lBarriers = 0;
  for (const NPlacedFlag& f : run.flags) {
    if (!f.bPlaced || f.lNod <= 0) continue;
    (f.req.bBarrier ? lBarriers : lFlags) += 1;
    if (!f.req.bBarrier) starts.push_back(f.lNod);
  }
  run.timer.Stage("map flags");

  // --- trace ---
  if (!RunTrace(run.net, starts, opt.eDir, run.trace, strError)) {
    err << "kelvane-trace: " << strError << '\n';
    return 1;
  }
  run.net.EndTrace();
  for (std::int32_t i = 0; i < run.trace.edges.GetSize(); ++i) run.traced.push_back(Stretch(run, run.trace.edges.GetAt(i)));
  for (std::int32_t e = 1; e <= run.mapStats.lEdgesBefore; ++e) {
    if (!run.split.IsSplit(e)) continue;
    CSmartArray<NEdgePiece_stru> pieces;
    run.split.GetPieceS(e, pieces);
    for (std::int32_t i = 0; i < pieces.GetSize(); ++i) run.pieces.push_back(Stretch(run, pieces.GetAt(i).lEdge));
  }
  CSmartArray<std::int32_t> anyOrig, allOrig;
  run.split.FoldTraceResult(run.trace.edges, NFoldRule::Any, anyOrig);
  run.split.FoldTraceResult(run.trace.edges, NFoldRule::All, allOrig);
  run.lOriginalsVisited = anyOrig.GetSize();
  run.lOriginalsWhole = allOrig.GetSize();
  run.blockedEdges = FoldRecorded(run);
  run.timer.Stage("trace");

  // --- summary ---
  const std::string strUnit = run.input.bLonLat || opt.strInput.empty() ? " m" : " map units";
  std::vector<std::string>& s = run.summary;
  s.push_back("input: " + run.input.strSource + ": " + std::to_string(run.input.llFeatures) + " features, " +
              std::to_string(run.input.llSkipped) + " skipped (not lines)");
  s.push_back("network: " + std::to_string(run.mapStats.lNodsBefore) + " nodes, " +
              std::to_string(run.mapStats.lEdgesBefore) + " edges; flags: " + std::to_string(lFlags) +
              ", barriers: " + std::to_string(lBarriers) + "; " + std::to_string(run.mapStats.lSplitEdges) +
              " edges split into " + std::to_string(run.mapStats.lNewEdges) + " pieces");
  s.push_back(std::string("trace (") + DirName(opt.eDir) + "): visited " + std::to_string(run.trace.nods.GetSize()) +
              " nodes, " + std::to_string(run.trace.edges.GetSize()) + " edges (" +
              std::to_string(run.lOriginalsVisited) + " edges before splitting, " +
              std::to_string(run.lOriginalsWhole) + " of them whole)");
  s.push_back("demand reached: " + Fixed(run.trace.dDmd, 2) + ", length reached: " + Fixed(run.trace.dLength, 1) +
              strUnit);
  if (run.trace.bRecorded) {
    std::vector<std::int32_t> nods;
    for (std::int32_t i = 0; i < run.trace.blockedNods.GetSize(); ++i) nods.push_back(run.trace.blockedNods.GetAt(i));
    s.push_back("barriers met (recorded): " + std::to_string(nods.size()) + " nodes [" + Join(nods, 10) + "], " +
                std::to_string(run.blockedEdges.size()) + " closed streets or directions [edges " +
                Join(run.blockedEdges, 10) + "]");
  } else {
    s.push_back("barriers met: " + std::to_string(run.trace.lBarrierNods) +
                " nodes (this build keeps no recorders of closed elements)");
  }
  for (const std::string& line : s) out << line << '\n';

  // --- draw ---
  bool bOk = true;
  if (!opt.strSvg.empty()) {
    if (WriteSvg(opt.strSvg, run, strError)) {
      out << "picture: " << opt.strSvg << '\n';
    } else {
      err << "kelvane-trace: " << strError << '\n';
      bOk = false;
    }
  }
  if (!opt.strOut.empty()) {
    if (WriteTracedFeatures(opt.strOut, run, strError)) {
      out << "traced features: " << opt.strOut << '\n';
    } else {
      err << "kelvane-trace: " << strError << '\n';
      bOk = false;
    }
  }
  run.timer.Stage("draw");
  if (opt.bTiming) {
    for (const auto& st : run.timer.Stages()) out << "time " << st.first << ": " << Fixed(st.second, 2) << " ms\n";
  }
  return bOk ? 0 : 1;
}
