// TurnRestrictions.cpp - turn restrictions read from a CSV that names streets
// by their feature ids, as street maps record them, turned into paths of the
// network's edges. Noding cuts a street into edges at every crossing and flag
// mapping cuts those into pieces, so one street of the file becomes the one
// piece that touches the via node, or every piece of the street in travel order.
#include "TurnRestrictions.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "Demo.h"

using namespace kelvane::tools;

namespace {

// A demo edge taken one way: bAlong from its from node to its to node.
struct NDemoStep {
  std::int32_t lEdge;
  bool bAlong;
};

}  // namespace

class CStreetIndex {
 public:
  explicit CStreetIndex(const NDemoRun& run) : m_run(run) {
    for (std::size_t e = 0; e < run.demo.edges.size(); ++e) {
      const std::int32_t lEdge = static_cast<std::int32_t>(e) + 1;
      m_streets[FeatureId(run, lEdge)].push_back(lEdge);
    }
  }
  const std::vector<std::int32_t>* Edges(const std::string& strId) const {
    const auto it = m_streets.find(strId);
    return it == m_streets.end() ? nullptr : &it->second;
  }
  const NDemoEdge& Edge(std::int32_t lEdge) const { return m_run.demo.edges[static_cast<std::size_t>(lEdge) - 1]; }
  bool Touches(std::int32_t lEdge, std::int32_t lNod) const {
    return Edge(lEdge).lFromNod == lNod || Edge(lEdge).lToNod == lNod;
  }
  // The street's edges with an end at lNod.
  std::vector<std::int32_t> At(const std::vector<std::int32_t>& street, std::int32_t lNod) const {
    std::vector<std::int32_t> out;
    for (std::int32_t e : street)
      if (Touches(e, lNod)) out.push_back(e);
    return out;
  }
  // The nodes where an edge of a meets an edge of b, ascending.
  std::vector<std::int32_t> Meet(const std::vector<std::int32_t>& a, const std::vector<std::int32_t>& b) const {
    std::vector<std::int32_t> out;
    for (std::int32_t e : a) {
      for (std::int32_t n : {Edge(e).lFromNod, Edge(e).lToNod})
        if (!At(b, n).empty()) out.push_back(n);
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
  }
  // The pieces of a demo edge in the order s travels them.
  std::vector<std::int32_t> Pieces(const NDemoStep& s) const {
    CSmartArray<NEdgePiece_stru> pieces;
    std::vector<NEdgePiece_stru> v;
    if (m_run.split.GetPieceS(s.lEdge, pieces) == 1) {
      for (std::int32_t i = 0; i < pieces.GetSize(); ++i) v.push_back(pieces.GetAt(i));
    }
    std::sort(v.begin(), v.end(), [](const NEdgePiece_stru& a, const NEdgePiece_stru& b) { return a.dFrom < b.dFrom; });
    if (!s.bAlong) std::reverse(v.begin(), v.end());
    std::vector<std::int32_t> out;
    for (const NEdgePiece_stru& p : v) out.push_back(p.lEdge);
    if (out.empty()) out.push_back(s.lEdge);  // never split: the network edge is the demo edge
    return out;
  }
  // How far node lNod lies from p (input coordinates), in the planar frame.
  double Distance(std::int32_t lNod, const NLinePoint_stru& p) const {
    const NLinePoint_stru a = m_run.demo.proj.Apply(m_run.demo.nods[static_cast<std::size_t>(lNod) - 1]);
    const NLinePoint_stru b = m_run.demo.proj.Apply(p);
    return std::hypot(a.dX - b.dX, a.dY - b.dY);
  }

 private:
  const NDemoRun& m_run;
  std::map<std::string, std::vector<std::int32_t>> m_streets;
};

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// "node:N", or street ids apart by ';', or nothing.
bool ParseVia(const std::string& strCell, NRestrictionRow& row) {
  if (Lower(strCell).compare(0, 5, "node:") == 0) {
    const std::string n = strCell.substr(5);
    if (n.empty() || n.size() > 9 || n.find_first_not_of("0123456789") != std::string::npos) return false;
    row.lViaNod = static_cast<std::int32_t>(std::stol(n));
    return row.lViaNod > 0;
  }
  std::size_t b = 0;
  while (b < strCell.size()) {
    std::size_t e = std::min(strCell.find(';', b), strCell.size());
    std::string id = strCell.substr(b, e - b);
    while (!id.empty() && id.front() == ' ') id.erase(id.begin());
    while (!id.empty() && id.back() == ' ') id.pop_back();
    if (id.empty()) return false;
    row.via.push_back(id);
    b = e + 1;
  }
  return true;
}

// The columns kind, from, via and to of the header, by name.
bool ReadHeader(const std::vector<std::string>& cells, int (&cols)[4]) {
  static const char* const kNames[] = {"kind", "from", "via", "to"};
  for (int c = 0; c < 4; ++c) {
    cols[c] = -1;
    for (std::size_t i = 0; i < cells.size(); ++i)
      if (Lower(cells[i]) == kNames[c]) cols[c] = static_cast<int>(i);
    if (cols[c] < 0) return false;
  }
  return true;
}

bool ReadRow(const std::vector<std::string>& cells, const int (&cols)[4], NRestrictionRow& row, std::string& strError) {
  for (const int c : cols) {
    if (static_cast<std::size_t>(c) >= cells.size()) {
      strError = "it has " + std::to_string(cells.size()) + " columns";
      return false;
    }
  }
  row.strFrom = cells[static_cast<std::size_t>(cols[1])];
  row.strTo = cells[static_cast<std::size_t>(cols[3])];
  if (!ParseRestrictionKind(cells[static_cast<std::size_t>(cols[0])], row.eKind)) {
    strError = "the kind is no or only (no_..., only_...), not '" + cells[static_cast<std::size_t>(cols[0])] + "'";
  } else if (!ParseVia(cells[static_cast<std::size_t>(cols[2])], row)) {
    strError = "via is empty, node:N or street ids apart by ';', not '" + cells[static_cast<std::size_t>(cols[2])] + "'";
  } else if (row.strFrom.empty() || row.strTo.empty()) {
    strError = "it needs a from and a to street";
  }
  return strError.empty();
}

// Walks a via street from lNod, first by lFirst, then edge by edge, until it
// reaches a node of next. Returns false when it cannot get there.
bool WalkFrom(const CStreetIndex& idx, const std::vector<std::int32_t>& street, const std::vector<std::int32_t>& next,
              std::int32_t lFirst, std::int32_t& lNod, std::vector<NDemoStep>& steps) {
  std::vector<std::int32_t> used;
  std::int32_t lEdge = lFirst;
  while (lEdge != 0) {
    used.push_back(lEdge);
    const bool bAlong = idx.Edge(lEdge).lFromNod == lNod;
    steps.push_back(NDemoStep{lEdge, bAlong});
    lNod = bAlong ? idx.Edge(lEdge).lToNod : idx.Edge(lEdge).lFromNod;
    if (!idx.At(next, lNod).empty()) return true;
    lEdge = 0;
    for (std::int32_t e : idx.At(street, lNod))
      if (std::find(used.begin(), used.end(), e) == used.end()) lEdge = e;
  }
  return false;
}

// A via street that passes through the node it is entered at is tried both
// ways: the one that leads on to the next street is the path.
bool WalkVia(const CStreetIndex& idx, const std::vector<std::int32_t>& street, const std::vector<std::int32_t>& next,
             std::int32_t& lNod, std::vector<NDemoStep>& steps) {
  for (std::int32_t lFirst : idx.At(street, lNod)) {
    std::int32_t lEnd = lNod;
    std::vector<NDemoStep> walked;
    if (WalkFrom(idx, street, next, lFirst, lEnd, walked)) {
      lNod = lEnd;
      steps.insert(steps.end(), walked.begin(), walked.end());
      return true;
    }
  }
  return false;
}

// The streets of a row in travel order, each a list of its demo edges.
bool RowStreets(const CStreetIndex& idx, const NRestrictionRow& row, std::vector<const std::vector<std::int32_t>*>& out,
                std::string& strError) {
  std::vector<std::string> ids = {row.strFrom};
  ids.insert(ids.end(), row.via.begin(), row.via.end());
  ids.push_back(row.strTo);
  for (const std::string& id : ids) {
    out.push_back(idx.Edges(id));
    if (out.back() == nullptr) {
      strError = "no street has the id '" + id + "'";
      return false;
    }
  }
  return true;
}

// The via node of a row: the one given, else the node nearest its place
// where the from street meets the next one, else the one node they share.
bool ViaNode(const CStreetIndex& idx, const NRestrictionRow& row, const std::vector<const std::vector<std::int32_t>*>& s,
             double dMatch, std::int32_t& lNod, std::string& strError) {
  lNod = row.lViaNod;
  if (lNod == 0 && row.bViaAt) {
    double dBest = dMatch;
    for (std::int32_t n : idx.Meet(*s[0], *s[1])) {
      const double d = idx.Distance(n, row.viaAt);
      if (d <= dBest) {
        dBest = d;
        lNod = n;
      }
    }
    if (lNod == 0) {
      strError = "streets '" + row.strFrom + "' and '" + (row.via.empty() ? row.strTo : row.via.front()) +
                 "' do not meet at the via node";
      return false;
    }
  } else if (lNod == 0) {
    const std::vector<std::int32_t> meet = idx.Meet(*s[0], *s[1]);
    if (meet.size() != 1) {
      strError = "streets '" + row.strFrom + "' and '" + (row.via.empty() ? row.strTo : row.via.front()) + "' meet at " +
                 std::to_string(meet.size()) + " nodes: name the node as node:N";
      return false;
    }
    lNod = meet.front();
  }
  if (idx.At(*s[0], lNod).empty() || idx.At(*s[1], lNod).empty()) {
    strError = "node " + std::to_string(lNod) + " is not where the from street meets the next one";
    return false;
  }
  return true;
}

}  // namespace

CRestrictionResolver::CRestrictionResolver(const NDemoRun& run, double dTolerance)
    : m_pIdx(new CStreetIndex(run)), m_dMatch(std::max(2.0 * dTolerance, 0.1)) {}

CRestrictionResolver::~CRestrictionResolver() = default;

NRowFault CRestrictionResolver::Resolve(const NRestrictionRow& row, std::vector<NRestriction_stru>& out,
                                        std::string& strError) const {
  const CStreetIndex& idx = *m_pIdx;
  std::vector<const std::vector<std::int32_t>*> s;
  std::int32_t lVia = 0;
  if (!RowStreets(idx, row, s, strError)) return NRowFault::NoStreet;
  if (!ViaNode(idx, row, s, m_dMatch, lVia, strError)) return NRowFault::NoMeet;
  std::int32_t lNod = lVia;
  std::vector<NDemoStep> middle;
  for (std::size_t i = 1; i + 1 < s.size(); ++i) {
    if (!WalkVia(idx, *s[i], *s[i + 1], lNod, middle)) {
      strError = "via street '" + row.via[i - 1] + "' does not lead on to the next street";
      return NRowFault::NoMeet;
    }
  }
  const std::vector<std::int32_t> tos = idx.At(*s.back(), lNod);
  if (row.eKind == NRestrictionKind::Only && tos.size() != 1) {
    strError = "the to street passes through its node: an only restriction needs a street that ends there";
    return NRowFault::NoMeet;
  }
  for (std::int32_t lFrom : idx.At(*s.front(), lVia)) {
    for (std::int32_t lTo : tos) {
      // A restriction from a street into itself is a u-turn: the same edge back.
      if (row.strFrom == row.strTo && row.via.empty() && lFrom != lTo) continue;
      NRestriction_stru r;
      r.eKind = row.eKind;
      r.lViaNod = lVia;
      r.edges.push_back(idx.Pieces(NDemoStep{lFrom, idx.Edge(lFrom).lToNod == lVia}).back());
      for (const NDemoStep& st : middle) {
        const std::vector<std::int32_t> p = idx.Pieces(st);
        r.edges.insert(r.edges.end(), p.begin(), p.end());
      }
      r.edges.push_back(idx.Pieces(NDemoStep{lTo, idx.Edge(lTo).lFromNod == lNod}).front());
      out.push_back(r);
    }
  }
  return NRowFault::None;
}

bool ParseRestrictionKind(const std::string& strValue, NRestrictionKind& eKind) {
  const std::string s = Lower(strValue);
  if (s == "no" || s.compare(0, 3, "no_") == 0) {
    eKind = NRestrictionKind::No;
  } else if (s == "only" || s.compare(0, 5, "only_") == 0) {
    eKind = NRestrictionKind::Only;
  } else {
    return false;
  }
  return true;
}

bool ReadRestrictions(const std::string& strPath, const NDemoRun& run, std::vector<NRestriction_stru>& restrictions,
                      std::string& strError) {
  std::ifstream in(strPath);
  if (!in) {
    strError = "cannot read the restrictions '" + strPath + "'";
    return false;
  }
  const CRestrictionResolver resolver(run, 0.0);  // rows name nodes by number, never by place
  int cols[4] = {-1, -1, -1, -1};
  bool bHeader = false;
  std::string line;
  for (std::int64_t llRow = 1; std::getline(in, line); ++llRow) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos || line[line.find_first_not_of(" \t")] == '#') continue;
    const std::vector<std::string> cells = SplitCsvRow(line);
    std::string strWhy;
    NRestrictionRow row;
    if (!bHeader) {
      bHeader = ReadHeader(cells, cols);
      strWhy = bHeader ? "" : "the header names the columns kind, from, via and to";
    } else if (ReadRow(cells, cols, row, strWhy)) {
      resolver.Resolve(row, restrictions, strWhy);
    }
    if (!strWhy.empty()) {
      strError = "'" + strPath + "' row " + std::to_string(llRow) + ": " + strWhy;
      return false;
    }
  }
  return true;
}
