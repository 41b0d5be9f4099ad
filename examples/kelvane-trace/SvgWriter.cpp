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
  NPoint Map(const NPoint& p) const {
    const NPoint q = proj.Apply(p);
    return NPoint{dLeft + (q.dX - dMinX) * dScale, dTop + (dMaxY - q.dY) * dScale};
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
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default:
        // Control characters are not allowed in XML 1.0.
        if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') out += c;
    }
  }
  return out;
}

std::string Points(const NView& v, const std::vector<NPoint>& pts) {
  std::string s;
  for (const NPoint& p : pts) {
    const NPoint q = v.Map(p);
    s += (s.empty() ? "" : " ") + Num(q.dX) + "," + Num(q.dY);
  }
  return s;
}

void Polyline(std::ostream& os, const NView& v, const std::vector<NPoint>& pts, const char* pszClass) {
  os << "<polyline class=\"" << pszClass << "\" points=\"" << Points(v, pts) << "\"/>\n";
}

// A small arrowhead at the middle of a one-way edge, pointing the way of travel.
void Arrow(std::ostream& os, const NView& v, const NDemoNet& demo, const NDemoEdge& e, bool bAlong) {
  const NPoint a = v.Map(PointAlong(e.pts, demo.proj, bAlong ? 0.45 : 0.55));
  const NPoint b = v.Map(PointAlong(e.pts, demo.proj, bAlong ? 0.55 : 0.45));
  const double len = std::hypot(b.dX - a.dX, b.dY - a.dY);
  if (len <= 0.0) return;
  const double ux = (b.dX - a.dX) / len, uy = (b.dY - a.dY) / len;
  const double mx = (a.dX + b.dX) / 2, my = (a.dY + b.dY) / 2;
  os << "<polygon class=\"oneway\" points=\"" << Num(mx + 8 * ux) << "," << Num(my + 8 * uy) << " "
     << Num(mx - 6 * ux + 6 * uy) << "," << Num(my - 6 * uy - 6 * ux) << " " << Num(mx - 6 * ux - 6 * uy) << ","
     << Num(my - 6 * uy + 6 * ux) << "\"/>\n";
}

}  // namespace

bool WriteSvg(const std::string& strPath, const NDemoRun& run, std::string& strError) {
  const NDemoNet& demo = run.demo;
  NView v;
  v.proj = demo.proj;
  double dMinX = std::numeric_limits<double>::infinity(), dMinY = dMinX;
  double dMaxX = -dMinX, dMaxY = -dMinX;
  for (const NDemoEdge& e : demo.edges) {
    for (const NPoint& p : e.pts) {
      const NPoint q = demo.proj.Apply(p);
      dMinX = std::min(dMinX, q.dX);
      dMaxX = std::max(dMaxX, q.dX);
      dMinY = std::min(dMinY, q.dY);
      dMaxY = std::max(dMaxY, q.dY);
    }
  }
  const double dSpan = std::max(std::max(dMaxX - dMinX, dMaxY - dMinY), 1e-9);
  const double kDraw = 760.0;  // pixels for the longer side of the network
  const double kMargin = 30.0;
  const double kHeader = 22.0 * static_cast<double>(run.summary.size() + 2);
  v.dMinX = dMinX;
  v.dMaxY = dMaxY;
  v.dScale = kDraw / dSpan;
  v.dLeft = kMargin;
  v.dTop = kMargin + kHeader;
  const double dWidth = std::max(2 * kMargin + (dMaxX - dMinX) * v.dScale, 820.0);
  const double dHeight = v.dTop + (dMaxY - dMinY) * v.dScale + kMargin;

  std::ostringstream os;
  os << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
     << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << Num(dWidth) << "\" height=\"" << Num(dHeight)
     << "\" viewBox=\"0 0 " << Num(dWidth) << " " << Num(dHeight) << "\">\n"
     << "<title>kelvane-trace</title>\n"
     << "<style>\n"
        "polyline { fill: none; stroke-linecap: round; stroke-linejoin: round; }\n"
        ".street { stroke: #b8b8b8; stroke-width: 4; }\n"
        ".closed { stroke: #d62728; stroke-width: 2; stroke-dasharray: 6 4; }\n"
        ".traced { stroke: #1f77b4; stroke-width: 6; }\n"
        ".oneway { fill: #fff; stroke: #333; stroke-width: 1.2; }\n"
        ".node { fill: #888; }\n"
        ".split { stroke: #222; stroke-width: 3; }\n"
        ".flag { fill: #2ca02c; stroke: #fff; stroke-width: 2; }\n"
        ".barrier { stroke: #d62728; stroke-width: 4; stroke-linecap: round; }\n"
        "text { font-family: sans-serif; font-size: 14px; fill: #222; }\n"
        "</style>\n"
     << "<rect width=\"100%\" height=\"100%\" fill=\"#fff\"/>\n";

  // Summary and legend.
  double y = kMargin;
  for (const std::string& line : run.summary) {
    os << "<text x=\"" << Num(kMargin) << "\" y=\"" << Num(y) << "\">" << Escape(line) << "</text>\n";
    y += 22.0;
  }
  y += 6.0;
  const double lx = kMargin;
  os << "<g class=\"legend\">\n"
     << "<polyline class=\"street\" points=\"" << Num(lx) << "," << Num(y) << " " << Num(lx + 30) << "," << Num(y)
     << "\"/><text x=\"" << Num(lx + 36) << "\" y=\"" << Num(y + 5) << "\">street</text>\n"
     << "<polyline class=\"traced\" points=\"" << Num(lx + 100) << "," << Num(y) << " " << Num(lx + 130) << ","
     << Num(y) << "\"/><text x=\"" << Num(lx + 136) << "\" y=\"" << Num(y + 5) << "\">traced</text>\n"
     << "<polyline class=\"closed\" points=\"" << Num(lx + 200) << "," << Num(y) << " " << Num(lx + 230) << ","
     << Num(y) << "\"/><text x=\"" << Num(lx + 236) << "\" y=\"" << Num(y + 5) << "\">closed</text>\n"
     << "<circle class=\"flag\" cx=\"" << Num(lx + 310) << "\" cy=\"" << Num(y) << "\" r=\"7\"/><text x=\""
     << Num(lx + 322) << "\" y=\"" << Num(y + 5) << "\">flag</text>\n"
     << "<path class=\"barrier\" d=\"M" << Num(lx + 375) << " " << Num(y - 6) << " l12 12 m0 -12 l-12 12\"/><text x=\""
     << Num(lx + 394) << "\" y=\"" << Num(y + 5) << "\">barrier</text>\n"
     << "<path class=\"split\" d=\"M" << Num(lx + 470) << " " << Num(y - 8) << " l0 16\"/><text x=\""
     << Num(lx + 480) << "\" y=\"" << Num(y + 5) << "\">split point</text>\n"
     << "<polygon class=\"oneway\" points=\"" << Num(lx + 580) << "," << Num(y) << " " << Num(lx + 569) << ","
     << Num(y - 4) << " " << Num(lx + 569) << "," << Num(y + 4) << "\"/><text x=\"" << Num(lx + 588) << "\" y=\""
     << Num(y + 5) << "\">one-way</text>\n"
     << "</g>\n";

  os << "<g id=\"network\">\n";
  for (const NDemoEdge& e : demo.edges) Polyline(os, v, e.pts, "street");
  os << "</g>\n<g id=\"traced\">\n";
  for (const NEdgeStretch& s : run.traced) {
    if (s.lEdge < 1 || static_cast<std::size_t>(s.lEdge) > demo.edges.size()) continue;
    Polyline(os, v, SubLine(demo.edges[static_cast<std::size_t>(s.lEdge) - 1].pts, demo.proj, s.dFrom, s.dTo), "traced");
  }
  os << "</g>\n<g id=\"attributes\">\n";
  for (const NDemoEdge& e : demo.edges) {
    const NInputLine& line = run.input.lines[static_cast<std::size_t>(e.lLine)];
    if (line.bBlocked) {
      Polyline(os, v, e.pts, "closed");
    } else if (line.cOneWay != 0) {
      Arrow(os, v, demo, e, line.cOneWay > 0);
    }
  }
  os << "</g>\n<g id=\"nodes\">\n";
  for (const NPoint& p : demo.nods) {
    const NPoint q = v.Map(p);
    os << "<circle class=\"node\" cx=\"" << Num(q.dX) << "\" cy=\"" << Num(q.dY) << "\" r=\"2.5\"/>\n";
  }
  // Where a piece of a split edge starts inside its edge, there is a new node.
  os << "</g>\n<g id=\"splits\">\n";
  for (const NEdgeStretch& s : run.pieces) {
    if (s.dFrom <= 0.0 || s.lEdge < 1 || static_cast<std::size_t>(s.lEdge) > demo.edges.size()) continue;
    // A bar across the street, long enough to show beside a flag drawn on top.
    const std::vector<NPoint>& pts = demo.edges[static_cast<std::size_t>(s.lEdge) - 1].pts;
    const NPoint a = v.Map(PointAlong(pts, demo.proj, std::max(0.0, s.dFrom - 0.01)));
    const NPoint b = v.Map(PointAlong(pts, demo.proj, std::min(1.0, s.dFrom + 0.01)));
    const NPoint q = v.Map(PointAlong(pts, demo.proj, s.dFrom));
    const double len = std::hypot(b.dX - a.dX, b.dY - a.dY);
    if (len <= 0.0) continue;
    const double nx = -(b.dY - a.dY) / len * 13, ny = (b.dX - a.dX) / len * 13;
    os << "<path class=\"split\" d=\"M" << Num(q.dX - nx) << " " << Num(q.dY - ny) << " L" << Num(q.dX + nx) << " "
       << Num(q.dY + ny) << "\"/>\n";
  }
  os << "</g>\n<g id=\"flags\">\n";
  for (const NPlacedFlag& f : run.flags) {
    if (!f.bPlaced) continue;
    NPoint at;
    if (f.lAtNod > 0 && static_cast<std::size_t>(f.lAtNod) <= demo.nods.size()) {
      at = demo.nods[static_cast<std::size_t>(f.lAtNod) - 1];
    } else if (f.lEdge > 0 && static_cast<std::size_t>(f.lEdge) <= demo.edges.size()) {
      at = PointAlong(demo.edges[static_cast<std::size_t>(f.lEdge) - 1].pts, demo.proj, f.dPos);
    } else {
      continue;
    }
    const NPoint q = v.Map(at);
    if (f.req.bBarrier) {
      os << "<path class=\"barrier\" d=\"M" << Num(q.dX - 7) << " " << Num(q.dY - 7) << " l14 14 m0 -14 l-14 14\"><title>"
         << Escape(f.req.strLabel) << "</title></path>\n";
    } else {
      os << "<circle class=\"flag\" cx=\"" << Num(q.dX) << "\" cy=\"" << Num(q.dY) << "\" r=\"8\"><title>"
         << Escape(f.req.strLabel) << "</title></circle>\n";
    }
  }
  os << "</g>\n</svg>\n";

  std::ofstream file(strPath, std::ios::binary);
  file << os.str();
  file.close();
  if (!file) {
    strError = "cannot write the picture to '" + strPath + "'";
    return false;
  }
  return true;
}
