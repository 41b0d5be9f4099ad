// Flags.cpp - snapping, checking and mapping of flags and barriers.
#include "Flags.h"

#include <cstdio>
#include <cstring>
#include <limits>

#include "kelvane/tools/FlagMapping.h"
#include "kelvane/tools/LineSnap.h"

using namespace kelvane::tools;

namespace {

// The demo's edges as the noded lines they came from, for the snapper.
NNodedLines_stru AsNodedLines(const NDemoNet& demo) {
  NNodedLines_stru lines;
  lines.dRefLat = demo.dRefLat;
  for (const NDemoEdge& e : demo.edges) {
    NNodedEdge_stru n{e.lLine,
                      e.lFromNod,
                      e.lToNod,
                      static_cast<std::int64_t>(lines.pts.size()),
                      static_cast<std::int32_t>(e.pts.size()),
                      e.dFrom,
                      e.dTo,
                      e.dLength};
    lines.pts.insert(lines.pts.end(), e.pts.begin(), e.pts.end());
    lines.edges.push_back(n);
  }
  return lines;
}

// Snaps one coordinate flag. dTolerance: how near an edge's end counts as on its node.
void PlacePoint(const kelvane::tools::CLineSnapper& snap, const NDemoNet& demo, double dTolerance, double dMaxSnap,
                const std::string& strUnit, NPlacedFlag& f) {
  std::string strWhy;
  if (!CoordinateUsable(f.req.pt, demo.proj.bLonLat, strWhy)) {
    f.strNote = strWhy + ": refused";
    return;
  }
  kelvane::tools::NLinePlace_stru at;
  if (snap.Snap(f.req.pt.dX, f.req.pt.dY, at) != 1) {
    f.strNote = "the network has no edges";
    return;
  }
  f.dSnapDist = at.dDist;
  if (f.dSnapDist > dMaxSnap) {
    f.strNote = "lies " + FormatDistance(f.dSnapDist, strUnit) + " from the nearest street, beyond --max-snap " +
                FormatDistance(dMaxSnap, strUnit) + ": refused";
    return;
  }
  f.bPlaced = true;
  const NDemoEdge& edge = demo.edges[static_cast<std::size_t>(at.lEdge) - 1];
  if (at.dAlong <= dTolerance) {
    f.lAtNod = edge.lFromNod;
  } else if (at.dLength - at.dAlong <= dTolerance) {
    f.lAtNod = edge.lToNod;
  } else {
    f.lEdge = at.lEdge;
    f.dPos = at.dAlong / at.dLength;
  }
}

// The library's flag record of a placed flag: on its node, or on its edge.
NET_FLGstruct Record(const NPlacedFlag& f) {
  NET_FLGstruct flg;
  if (f.lAtNod != 0) {
    flg.cFlgType = 1;
    flg.lElemID = f.lAtNod;
  } else {
    flg.cFlgType = 2;
    flg.lElemID = f.lEdge;
    flg.dPos = f.dPos;
  }
  std::strncpy(flg.szFlgText, f.req.strLabel.c_str(), sizeof flg.szFlgText - 1);
  return flg;
}

// What the mapping made of one flag, told the user in its own words.
void Note(const kelvane::tools::NMappedFlag_stru& m, const std::vector<NPlacedFlag>& flags,
          const std::vector<std::size_t>& owner, NPlacedFlag& f) {
  switch (m.eStatus) {
    case NFlagStatus::Fine:
      break;
    case NFlagStatus::PosAtEnd:
      f.lAtNod = m.lNod;
      f.strNote = "at the end of its edge: placed on node " + std::to_string(m.lNod);
      break;
    case NFlagStatus::PosRepeated:
      f.strNote =
          "same place as " + flags[owner[static_cast<std::size_t>(m.lSameAs)]].req.strLabel + ": shares its node";
      break;
    default:
      f.bPlaced = false;
      f.strNote = m.strText + ": refused";
      break;
  }
}

}  // namespace

std::string FormatDistance(double d, const std::string& strUnit) {
  char buf[64];
  if (strUnit == "m" && d >= 10000.0 && d < 1e12) {
    std::snprintf(buf, sizeof buf, "%.1f km", d / 1000.0);
  } else if (d >= 1e12) {
    std::snprintf(buf, sizeof buf, "%.3g %s", d, strUnit.c_str());
  } else {
    std::snprintf(buf, sizeof buf, "%.1f %s", d, strUnit.c_str());
  }
  return buf;
}

std::string FlagName(const NFlagRequest& req) {
  const std::string& s = req.strLabel;
  if (s.compare(0, 5, "flag ") == 0 || s.compare(0, 8, "barrier ") == 0 || s.compare(0, 6, "route ") == 0 ||
      s.compare(0, 6, "valve ") == 0) {
    return s;
  }
  return (req.bBarrier ? "barrier " : "flag ") + s;
}

void PlaceFlags(const NDemoNet& demo, double dTolerance, std::vector<NPlacedFlag>& flags) {
  PlaceFlags(demo, dTolerance, std::numeric_limits<double>::infinity(), "", flags);
}

void PlaceFlags(const NDemoNet& demo, double dTolerance, double dMaxSnap, const std::string& strUnit,
                std::vector<NPlacedFlag>& flags) {
  bool bAnyPoint = false;
  for (const NPlacedFlag& f : flags) bAnyPoint = bAnyPoint || f.req.bByPoint;
  kelvane::tools::CLineSnapper snap;
  if (bAnyPoint) snap.Build(AsNodedLines(demo), demo.proj.bLonLat);
  for (NPlacedFlag& f : flags) {
    if (f.req.bByPoint) {
      PlacePoint(snap, demo, dTolerance, dMaxSnap, strUnit, f);
      continue;
    }
    f.lEdge = f.req.lEdge;
    f.dPos = f.req.dPos;
    f.bPlaced = true;
  }
}

bool MapPlacedFlags(CLocalNetwork& net, std::vector<NPlacedFlag>& flags, CSplitIndex& split, NMapStats& stats,
                    std::ostream& warn, std::string& strError) {
  // The list the library sees: one entry per placed flag, in the user's order.
  CSmartArray<NET_FLGstruct> in;
  std::vector<std::size_t> owner;  // flags[] index of each entry of in
  for (std::size_t i = 0; i < flags.size(); ++i) {
    if (!flags[i].bPlaced) continue;
    in.Add(Record(flags[i]));
    owner.push_back(i);
  }
  // A trace that silently runs through a barrier set in the wrong place is a
  // wrong answer, so a flag the library would misplace is left out and named;
  // one at an edge's end goes on its node, and one repeating another's place
  // shares its node, rather than cut pieces of length 0.
  kelvane::tools::NFlagPolicy_stru policy;
  policy.bLeaveOutBad = true;
  kelvane::tools::NFlagMapping_stru mapping;
  NFinding_stru err;
  const std::int32_t lStatus = kelvane::tools::MapFlags(net, in, policy, split, mapping, &err);
  for (std::size_t k = 0; k < mapping.flags.size(); ++k) Note(mapping.flags[k], flags, owner, flags[owner[k]]);
  for (const NPlacedFlag& f : flags)
    if (!f.strNote.empty()) warn << FlagName(f.req) << ": " << f.strNote << '\n';
  if (lStatus != 1) {
    strError = "flag mapping gave a split that does not add up: " + err.strText;
    return false;
  }
  for (std::size_t k = 0; k < mapping.flags.size(); ++k) flags[owner[k]].lNod = mapping.flags[k].lNod;
  for (const NPlacedFlag& f : flags)
    if (f.bPlaced && f.req.bBarrier && f.lNod > 0) net.SetNodState(f.lNod, 1);
  stats.lNodsBefore = mapping.lNodsBefore;
  stats.lEdgesBefore = mapping.lEdgesBefore;
  stats.lNewNods = static_cast<std::int32_t>(mapping.newNods.size());
  stats.lNewEdges = static_cast<std::int32_t>(mapping.pieces.size());
  stats.lSplitEdges = mapping.lSplitEdges;
  return true;
}
