// Summary.cpp - the text form of a run's summary.
#include "Summary.h"

#include <cmath>
#include <cstdio>

#include "Flags.h"

std::string FixedText(double d, int nDigits) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", nDigits, d);
  return buf;
}

std::string JoinNumbers(const std::vector<std::int32_t>& v, std::size_t nMax) {
  std::string s;
  for (std::size_t i = 0; i < v.size() && i < nMax; ++i) s += (i ? " " : "") + std::to_string(v[i]);
  if (v.size() > nMax) s += " ...";
  return s.empty() ? "none" : s;
}

namespace {

std::string Json(const std::string& s) {
  std::string out = "\"";
  for (const char c : s) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", u);
      out += buf;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

// A number JSON can hold: infinities and NaN have no JSON form.
std::string Json(double d) {
  if (!std::isfinite(d)) return "null";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.10g", d);
  return buf;
}

}  // namespace

std::string OutcomeName(const NRunSummary& s) { return ModeOf(s.eMode).pszOutcome; }

namespace {

void JsonFlags(const NRunSummary& s, std::ostream& os) {
  for (std::size_t i = 0; i < s.flags.size(); ++i) {
    const NFlagSummary& f = s.flags[i];
    os << (i ? "," : "") << "{\"name\":" << Json(f.strName) << ",\"node\":" << f.lNod
       << ",\"snap_distance\":" << (f.bByPoint ? Json(f.dSnapDist) : std::string("null")) << "}";
  }
}

void JsonRoute(const NRunSummary& s, std::ostream& os) {
  for (std::size_t i = 0; i < s.route.size(); ++i) {
    const NRouteStretch& r = s.route[i];
    os << (i ? "," : "") << "{\"id\":" << Json(r.strFeature) << ",\"from\":" << Json(r.dFrom)
       << ",\"to\":" << Json(r.dTo) << ",\"cost\":" << Json(r.dCost) << "}";
  }
}

// The outcome of the modes that give a number per start flag, null for the others.
void JsonPerFlag(const NRunSummary& s, std::ostream& os) {
  os << ",\"toward\":" << (s.eMode == NDemoMode::Within ? (s.bToward ? "true" : "false") : "null");
  os << ",\"costs_to\":";
  if (s.eMode == NDemoMode::CostsTo) {
    os << "{\"max_cost\":" << Json(s.dMaxCost) << ",\"flags\":[";
    for (std::size_t i = 0; i < s.flagCosts.size(); ++i) os << (i ? "," : "") << Json(s.flagCosts[i]);
    os << "]}";
  } else {
    os << "null";
  }
  os << ",\"closest\":";
  if (s.eMode != NDemoMode::Closest) {
    os << "null";
    return;
  }
  os << "[";
  for (std::size_t i = 0; i < s.partEdges.size(); ++i)
    os << (i ? "," : "") << "{\"flag\":" << i + 1 << ",\"nodes\":" << s.partNods[i] << ",\"edges\":" << s.partEdges[i]
       << "}";
  os << "]";
}

}  // namespace

void WriteJsonSummary(const NRunSummary& s, std::ostream& os) {
  const bool bTrace = s.eMode == NDemoMode::Trace;
  os << "{\"mode\":" << Json(ModeOf(s.eMode).pszName) << ",\"input\":" << Json(s.strSource)
     << ",\"features\":" << s.llFeatures << ",\"skipped\":" << (s.llNotLine + s.llBadCoord + s.llZeroLength)
     << ",\"nodes\":" << s.lNods << ",\"edges\":" << s.lEdges << ",\"flags\":[";
  JsonFlags(s, os);
  os << "],\"nodes_reached\":" << (bTrace ? s.lVisitedNods : s.lReachedNods)
     << ",\"edges_reached\":" << (bTrace ? s.lVisitedEdges : s.lReachedEdges);
  if (bTrace)
    os << ",\"direction\":" << Json(s.strDirection) << ",\"demand_reached\":" << Json(s.dDmd)
       << ",\"length_reached\":" << Json(s.dLength);
  os << ",\"route_cost\":" << (s.eMode == NDemoMode::Route && s.bRouteFound ? Json(s.dRouteCost) : std::string("null"))
     << ",\"route_edges\":[";
  JsonRoute(s, os);
  os << "],\"valves_to_close\":[";
  for (std::size_t i = 0; i < s.closeValves.size(); ++i) os << (i ? "," : "") << s.closeValves[i];
  os << "],\"components\":" << (s.eMode == NDemoMode::Components ? std::to_string(s.lComponents) : std::string("null"))
     ;
  JsonPerFlag(s, os);
  os << ",\"timing_ms\":{";
  for (std::size_t i = 0; i < s.timing.size(); ++i)
    os << (i ? "," : "") << Json(s.timing[i].first) << ":" << Json(s.timing[i].second);
  os << "}}\n";
}

std::vector<std::string> SummaryLines(const NRunSummary& s) {
  std::vector<std::string> lines;
  const std::int64_t llSkipped = s.llNotLine + s.llBadCoord + s.llZeroLength;
  std::string strSkipped = std::to_string(llSkipped) + " skipped";
  if (llSkipped > 0) {
    std::string why;
    if (s.llNotLine > 0) why += std::to_string(s.llNotLine) + " not lines";
    if (s.llBadCoord > 0) why += (why.empty() ? "" : ", ") + std::to_string(s.llBadCoord) + " bad coordinates";
    if (s.llZeroLength > 0) why += (why.empty() ? "" : ", ") + std::to_string(s.llZeroLength) + " of no length";
    strSkipped += " (" + why + ")";
  }
  lines.push_back("input: " + s.strSource + ": " + std::to_string(s.llFeatures) + " features, " + strSkipped);
  std::int32_t lFlags = 0, lBarriers = 0;
  for (const NFlagSummary& f : s.flags) (f.bBarrier ? lBarriers : lFlags) += 1;
  lines.push_back("network: " + std::to_string(s.lNods) + " nodes, " + std::to_string(s.lEdges) +
                  " edges; flags: " + std::to_string(lFlags) + ", barriers: " + std::to_string(lBarriers) + "; " +
                  std::to_string(s.lSplitEdges) + " edges split into " + std::to_string(s.lNewEdges) + " pieces");
  // Each flag's node and snap distance; a long list is cut, the counts above stay whole.
  constexpr std::size_t kMaxFlagLines = 10;
  for (std::size_t i = 0; i < s.flags.size() && i < kMaxFlagLines; ++i) {
    const NFlagSummary& f = s.flags[i];
    lines.push_back(
        f.strName + ": node " + std::to_string(f.lNod) +
        (f.bByPoint ? ", snapped " + FormatDistance(f.dSnapDist, s.strUnit) : std::string(", on its edge")));
  }
  if (s.flags.size() > kMaxFlagLines)
    lines.push_back("... and " + std::to_string(s.flags.size() - kMaxFlagLines) + " more flags and barriers");
  ModeOf(s.eMode).pfnLines(s, lines);
  return lines;
}
