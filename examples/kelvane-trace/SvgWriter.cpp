// SvgWriter.cpp - the picture of a run: network grey, traced pieces coloured,
// flags, barriers and the points where edges were split marked.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>

#include "Demo.h"

namespace {

// Planar frame to picture: y grows downward in SVG.
struct NView {
  NProjection proj;
  double dMinX = 0.0, dMaxY = 0.0, dScale = 1.0, dLeft = 0.0, dTop = 0.0;
  NLinePoint_stru Map(const NLinePoint_stru& p) const {
    const NLinePoint_stru q = proj.Apply(p);
    return NLinePoint_stru{dLeft + (q.dX - dMinX) * dScale, dTop + (dMaxY - q.dY) * dScale};
  }
};

std::string Num(double d) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f", d);
  return buf;
}

std::string Escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        // Control characters are not allowed in XML 1.0.
        if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') out += c;
    }
  }
  return out;
}

std::string Points(const NView& v, const std::vector<NLinePoint_stru>& pts) {
  std::string s;
  for (const NLinePoint_stru& p : pts) {
    const NLinePoint_stru q = v.Map(p);
    s += (s.empty() ? "" : " ") + Num(q.dX) + "," + Num(q.dY);
  }
  return s;
}

void Polyline(std::ostream& os, const NView& v, const std::vector<NLinePoint_stru>& pts, const char* pszClass) {
  os << "<polyline class=\"" << pszClass << "\" points=\"" << Points(v, pts) << "\"/>\n";
}

// A small arrowhead at the middle of a one-way edge, pointing the way of travel;
// k scales it (1: the size drawn on a small town).
void Arrow(std::ostream& os, const NView& v, const NDemoNet& demo, const NDemoEdge& e, bool bAlong, double k) {
  const NLinePoint_stru a = v.Map(PointAlong(e.pts, demo.proj, bAlong ? 0.45 : 0.55));
  const NLinePoint_stru b = v.Map(PointAlong(e.pts, demo.proj, bAlong ? 0.55 : 0.45));
  const double len = std::hypot(b.dX - a.dX, b.dY - a.dY);
  if (len <= 0.0) return;
  const double ux = (b.dX - a.dX) / len, uy = (b.dY - a.dY) / len;
  const double mx = (a.dX + b.dX) / 2, my = (a.dY + b.dY) / 2;
  const double tip = 8 * k, back = 6 * k;
  os << "<polygon class=\"oneway\" points=\"" << Num(mx + tip * ux) << "," << Num(my + tip * uy) << " "
     << Num(mx - back * ux + back * uy) << "," << Num(my - back * uy - back * ux) << " "
     << Num(mx - back * ux - back * uy) << "," << Num(my - back * uy + back * ux) << "\"/>\n";
}

// Breaks a header line at blanks to at most nMax characters a line; a word
// longer than that (a long path) keeps its start and end around an ellipsis.
std::vector<std::string> Wrap(const std::string& line, std::size_t nMax) {
  std::vector<std::string> out;
  std::string cur;
  std::size_t b = 0;
  while (b < line.size()) {
    std::size_t e = line.find(' ', b);
    if (e == std::string::npos) e = line.size();
    std::string word = line.substr(b, e - b);
    if (word.size() > nMax) word = word.substr(0, nMax / 3) + "..." + word.substr(word.size() - (nMax - nMax / 3 - 3));
    if (!cur.empty() && cur.size() + 1 + word.size() > nMax) {
      out.push_back(cur);
      cur = "    " + word;  // continuation lines are indented
    } else {
      cur += (cur.empty() ? "" : " ") + word;
    }
    b = e + 1;
  }
  if (!cur.empty()) out.push_back(cur);
  return out;
}

// A round length near dTarget: 1, 2 or 5 times a power of ten.
double NiceLength(double dTarget) {
  const double p = std::pow(10.0, std::floor(std::log10(dTarget)));
  for (double m : {5.0, 2.0, 1.0})
    if (m * p <= dTarget) return m * p;
  return p;
}

std::string LengthLabel(double d, const std::string& strUnit) {
  char buf[48];
  if (strUnit == "m" && d >= 1000.0) {
    std::snprintf(buf, sizeof buf, "%g km", d / 1000.0);
  } else {
    std::snprintf(buf, sizeof buf, "%g %s", d, strUnit.c_str());
  }
  return buf;
}

// Where everything goes, and how thick it is drawn, worked out once.
struct NLayout {
  NView v;
  double dSpan = 0.0;  // the larger side of the network, planar units
  double dDrawW = 0.0, dDrawH = 0.0, dWidth = 0.0, dHeight = 0.0;
  bool bDense = false;
  double wStreet = 0.0, wTraced = 0.0;
  double kMarker = 1.0;             // arrowheads' scale
  bool bNodes = false;              // node dots drawn
  double dArrowMinPx = 0.0;         // an arrow only on an edge at least this long
  std::vector<std::string> header;  // the summary, wrapped
};

constexpr double kMargin = 30.0;

NLayout Layout(const NDemoRun& run) {
  const NDemoNet& demo = run.demo;
  NLayout l;
  l.v.proj = demo.proj;
  double dMinX = std::numeric_limits<double>::infinity(), dMinY = dMinX;
  double dMaxX = -dMinX, dMaxY = -dMinX;
  double dPlanarTotal = 0.0;
  for (const NDemoEdge& e : demo.edges) {
    for (const NLinePoint_stru& p : e.pts) {
      const NLinePoint_stru q = demo.proj.Apply(p);
      dMinX = std::min(dMinX, q.dX);
      dMaxX = std::max(dMaxX, q.dX);
      dMinY = std::min(dMinY, q.dY);
      dMaxY = std::max(dMaxY, q.dY);
    }
    dPlanarTotal += PlanarLength(e.pts, demo.proj);
  }
  if (demo.edges.empty()) dMinX = dMinY = dMaxX = dMaxY = 0.0;
  l.dSpan = std::max(std::max(dMaxX - dMinX, dMaxY - dMinY), 1e-9);
  // The drawing grows with the network, up to a size a viewer still opens at once.
  const double nEdges = static_cast<double>(demo.edges.size());
  const double kDraw = std::min(2400.0, std::max(760.0, 760.0 * std::sqrt(nEdges / 400.0)));
  l.v.dMinX = dMinX;
  l.v.dMaxY = dMaxY;
  l.v.dScale = kDraw / l.dSpan;
  l.dDrawW = (dMaxX - dMinX) * l.v.dScale;
  l.dDrawH = (dMaxY - dMinY) * l.v.dScale;
  l.dWidth = std::max(2 * kMargin + l.dDrawW, 820.0);

  // Density: the mean gap in pixels between streets if they were spread evenly.
  // Line widths and markers follow it, so that a city is not one grey blot and
  // a small town keeps its bold lines.
  const double dStreetPx = std::max(dPlanarTotal * l.v.dScale, 1.0);
  const double dGap = std::max(l.dDrawW, 1.0) * std::max(l.dDrawH, 1.0) / dStreetPx;
  l.bDense = dGap < 40.0;
  l.wStreet = std::min(4.0, std::max(0.7, dGap / 20.0));
  l.wTraced = std::min(6.0, std::max(1.6, l.wStreet * 1.5));
  l.kMarker = std::min(1.0, std::max(0.45, dGap / 60.0));
  const double dMeanEdgePx = nEdges > 0 ? dStreetPx / nEdges : 0.0;
  l.bNodes = dMeanEdgePx >= 20.0;  // dots only where nodes stand apart
  l.dArrowMinPx = 30.0 * l.kMarker + 6.0;

  // The header: summary lines wrapped to the picture's width.
  const std::size_t nChars = static_cast<std::size_t>(std::max(40.0, (l.dWidth - 2 * kMargin) / 7.6));
  for (const std::string& line : run.summaryLines)
    for (const std::string& part : Wrap(line, nChars)) l.header.push_back(part);
  const double kHeader = 22.0 * static_cast<double>(l.header.size() + 2);
  l.v.dLeft = kMargin;
  l.v.dTop = kMargin + kHeader;
  const double kScaleBar = 36.0;
  l.dHeight = l.v.dTop + l.dDrawH + kScaleBar + kMargin;
  return l;
}

void Style(std::ostream& os, const NLayout& l) {
  const char* pszStreet = l.bDense ? "#c4c4c4" : "#b8b8b8";
  const char* pszTraced = l.bDense ? "#0b57d0" : "#1f77b4";
  os << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
     << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << Num(l.dWidth) << "\" height=\"" << Num(l.dHeight)
     << "\" viewBox=\"0 0 " << Num(l.dWidth) << " " << Num(l.dHeight) << "\">\n"
     << "<title>kelvane-trace</title>\n"
     << "<style>\n"
        "polyline { fill: none; stroke-linecap: round; stroke-linejoin: round; }\n"
     << ".street { stroke: " << pszStreet << "; stroke-width: " << Num(l.wStreet) << "; }\n"
     << ".closed { stroke: #d62728; stroke-width: " << Num(std::max(1.0, l.wStreet / 2))
     << "; stroke-dasharray: " << Num(std::max(2.0, 1.5 * l.wStreet)) << " " << Num(std::max(1.5, l.wStreet)) << "; }\n"
     << ".traced { stroke: " << pszTraced << "; stroke-width: " << Num(l.wTraced) << "; }\n"
     << ".oneway { fill: #fff; stroke: #333; stroke-width: " << Num(1.2 * l.kMarker)
     << "; }\n"
        ".node { fill: #888; }\n"
        // --closest: each flag's part its own colour, repeating after eight.
        ".part0 { stroke: #1f77b4; } .part1 { stroke: #ff7f0e; } .part2 { stroke: #2ca02c; }\n"
        ".part3 { stroke: #9467bd; } .part4 { stroke: #8c564b; } .part5 { stroke: #e377c2; }\n"
        ".part6 { stroke: #bcbd22; } .part7 { stroke: #17becf; }\n"
        ".split { stroke: #222; stroke-width: 3; }\n"
        ".flag { fill: #2ca02c; stroke: #fff; stroke-width: 2; }\n"
        ".barrier { stroke: #d62728; stroke-width: 4; stroke-linecap: round; }\n"
        ".scale { stroke: #222; stroke-width: 2; fill: none; }\n"
        "text { font-family: sans-serif; font-size: 14px; fill: #222; }\n"
        "</style>\n"
     << "<rect width=\"100%\" height=\"100%\" fill=\"#fff\"/>\n";
}

// Summary and legend; the legend's lines keep the town's widths so they read.
void Legend(std::ostream& os, const NLayout& l, const NDemoRun& run) {
  double y = kMargin;
  for (const std::string& line : l.header) {
    os << "<text x=\"" << Num(kMargin) << "\" y=\"" << Num(y) << "\">" << Escape(line) << "</text>\n";
    y += 22.0;
  }
  y += 6.0;
  const double lx = kMargin;
  os << "<g class=\"legend\">\n"
     << "<polyline class=\"street\" style=\"stroke-width:4\" points=\"" << Num(lx) << "," << Num(y) << " "
     << Num(lx + 30) << "," << Num(y) << "\"/><text x=\"" << Num(lx + 36) << "\" y=\"" << Num(y + 5)
     << "\">street</text>\n"
     << "<polyline class=\"traced\" style=\"stroke-width:6\" points=\"" << Num(lx + 100) << "," << Num(y) << " "
     << Num(lx + 130) << "," << Num(y) << "\"/><text x=\"" << Num(lx + 136) << "\" y=\"" << Num(y + 5) << "\">"
     << Escape(OutcomeName(run.summary)) << "</text>\n"
     << "<polyline class=\"closed\" style=\"stroke-width:2;stroke-dasharray:6 4\" points=\"" << Num(lx + 200) << ","
     << Num(y) << " " << Num(lx + 230) << "," << Num(y) << "\"/><text x=\"" << Num(lx + 236) << "\" y=\"" << Num(y + 5)
     << "\">closed</text>\n"
     << "<circle class=\"flag\" cx=\"" << Num(lx + 310) << "\" cy=\"" << Num(y) << "\" r=\"7\"/><text x=\""
     << Num(lx + 322) << "\" y=\"" << Num(y + 5) << "\">flag</text>\n"
     << "<path class=\"barrier\" d=\"M" << Num(lx + 375) << " " << Num(y - 6) << " l12 12 m0 -12 l-12 12\"/><text x=\""
     << Num(lx + 394) << "\" y=\"" << Num(y + 5) << "\">barrier</text>\n"
     << "<path class=\"split\" d=\"M" << Num(lx + 470) << " " << Num(y - 8) << " l0 16\"/><text x=\"" << Num(lx + 480)
     << "\" y=\"" << Num(y + 5) << "\">split point</text>\n"
     << "<polygon class=\"oneway\" style=\"stroke-width:1.2\" points=\"" << Num(lx + 580) << "," << Num(y) << " "
     << Num(lx + 569) << "," << Num(y - 4) << " " << Num(lx + 569) << "," << Num(y + 4) << "\"/><text x=\""
     << Num(lx + 588) << "\" y=\"" << Num(y + 5) << "\">one-way</text>\n"
     << "</g>\n";
}

// The network grey, the outcome coloured, closed and one-way streets marked, the nodes.
void Streets(std::ostream& os, const NLayout& l, const NDemoRun& run) {
  const NDemoNet& demo = run.demo;
  const NView& v = l.v;
  os << "<g id=\"network\">\n";
  for (const NDemoEdge& e : demo.edges) Polyline(os, v, e.pts, "street");
  os << "</g>\n<g id=\"traced\">\n";
  // A partition (--closest) gives each stretch its part.
  const std::vector<std::int32_t>& parts = run.analysis.stretchPart;
  const bool bParts = !parts.empty() && parts.size() == run.traced.size();
  for (std::size_t i = 0; i < run.traced.size(); ++i) {
    const NEdgeStretch& s = run.traced[i];
    if (s.lEdge < 1 || static_cast<std::size_t>(s.lEdge) > demo.edges.size()) continue;
    const std::string strClass = bParts ? "traced part" + std::to_string(parts[i] % 8) : std::string("traced");
    Polyline(os, v, SubLine(demo.edges[static_cast<std::size_t>(s.lEdge) - 1].pts, demo.proj, s.dFrom, s.dTo),
             strClass.c_str());
  }
  os << "</g>\n<g id=\"attributes\">\n";
  for (const NDemoEdge& e : demo.edges) {
    const NInputLine& line = run.input.lines[static_cast<std::size_t>(e.lLine)];
    if (line.bBlocked) {
      Polyline(os, v, e.pts, "closed");
    } else if (line.cOneWay != 0 && PlanarLength(e.pts, demo.proj) * l.v.dScale >= l.dArrowMinPx) {
      Arrow(os, v, demo, e, line.cOneWay > 0, l.kMarker);
    }
  }
  os << "</g>\n<g id=\"nodes\">\n";
  if (l.bNodes) {
    for (const NLinePoint_stru& p : demo.nods) {
      const NLinePoint_stru q = v.Map(p);
      os << "<circle class=\"node\" cx=\"" << Num(q.dX) << "\" cy=\"" << Num(q.dY) << "\" r=\"2.5\"/>\n";
    }
  }
}

void Splits(std::ostream& os, const NView& v, const NDemoRun& run) {
  const NDemoNet& demo = run.demo;
  // Where a piece of a split edge starts inside its edge, there is a new node.
  os << "</g>\n<g id=\"splits\">\n";
  for (const NEdgeStretch& s : run.pieces) {
    if (s.dFrom <= 0.0 || s.lEdge < 1 || static_cast<std::size_t>(s.lEdge) > demo.edges.size()) continue;
    // A bar across the street, long enough to show beside a flag drawn on top.
    const std::vector<NLinePoint_stru>& pts = demo.edges[static_cast<std::size_t>(s.lEdge) - 1].pts;
    const NLinePoint_stru a = v.Map(PointAlong(pts, demo.proj, std::max(0.0, s.dFrom - 0.01)));
    const NLinePoint_stru b = v.Map(PointAlong(pts, demo.proj, std::min(1.0, s.dFrom + 0.01)));
    const NLinePoint_stru q = v.Map(PointAlong(pts, demo.proj, s.dFrom));
    const double len = std::hypot(b.dX - a.dX, b.dY - a.dY);
    if (len <= 0.0) continue;
    const double nx = -(b.dY - a.dY) / len * 13, ny = (b.dX - a.dX) / len * 13;
    os << "<path class=\"split\" d=\"M" << Num(q.dX - nx) << " " << Num(q.dY - ny) << " L" << Num(q.dX + nx) << " "
       << Num(q.dY + ny) << "\"/>\n";
  }
}

void Flags(std::ostream& os, const NView& v, const NDemoRun& run) {
  const NDemoNet& demo = run.demo;
  os << "</g>\n<g id=\"flags\">\n";
  for (const NPlacedFlag& f : run.flags) {
    if (!f.bPlaced) continue;
    NLinePoint_stru at;
    if (f.lAtNod > 0 && static_cast<std::size_t>(f.lAtNod) <= demo.nods.size()) {
      at = demo.nods[static_cast<std::size_t>(f.lAtNod) - 1];
    } else if (f.lEdge > 0 && static_cast<std::size_t>(f.lEdge) <= demo.edges.size()) {
      at = PointAlong(demo.edges[static_cast<std::size_t>(f.lEdge) - 1].pts, demo.proj, f.dPos);
    } else {
      continue;
    }
    const NLinePoint_stru q = v.Map(at);
    if (f.req.bBarrier) {
      os << "<path class=\"barrier\" d=\"M" << Num(q.dX - 7) << " " << Num(q.dY - 7)
         << " l14 14 m0 -14 l-14 14\"><title>" << Escape(f.req.strLabel) << "</title></path>\n";
    } else {
      os << "<circle class=\"flag\" cx=\"" << Num(q.dX) << "\" cy=\"" << Num(q.dY) << "\" r=\"8\"><title>"
         << Escape(f.req.strLabel) << "</title></circle>\n";
    }
  }
  os << "</g>\n";
}

void ScaleBar(std::ostream& os, const NLayout& l, const NDemoRun& run) {
  // Scale bar under the drawing: about a fifth of its width, in round ground units.
  if (l.dDrawW > 0.0) {
    const double dLen = NiceLength(l.dSpan / 5.0);
    const double x0 = kMargin, y0 = l.v.dTop + l.dDrawH + 22.0, x1 = x0 + dLen * l.v.dScale;
    os << "<g id=\"scale\"><path class=\"scale\" d=\"M" << Num(x0) << " " << Num(y0 - 6) << " L" << Num(x0) << " "
       << Num(y0) << " L" << Num(x1) << " " << Num(y0) << " L" << Num(x1) << " " << Num(y0 - 6) << "\"/><text x=\""
       << Num(x1 + 8) << "\" y=\"" << Num(y0 + 4) << "\">" << Escape(LengthLabel(dLen, run.summary.strUnit))
       << "</text></g>\n";
  }
}

}  // namespace

bool WriteSvg(const std::string& strPath, const NDemoRun& run, std::string& strError) {
  const NLayout l = Layout(run);
  std::ostringstream os;
  Style(os, l);
  Legend(os, l, run);
  Streets(os, l, run);
  Splits(os, l.v, run);
  Flags(os, l.v, run);
  ScaleBar(os, l, run);
  os << "</svg>\n";

  std::ofstream file(strPath, std::ios::binary);
  file << os.str();
  file.close();
  if (!file) {
    strError = "cannot write the picture to '" + strPath + "'";
    return false;
  }
  return true;
}
