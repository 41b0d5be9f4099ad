// OsmRestrictions.cpp - the turn restrictions of an OpenStreetMap XML file,
// read from its type=restriction relations. GDAL's OSM driver gives the
// relations' tags and geometries but not their members' ids or roles, so the
// file is read a second time here. It is streamed element by element, each
// relation (and each via node) parsed on its own by GDAL's XML parser: a
// city's file parsed whole would take several times its size in memory.
#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_minixml.h>
#include <cpl_vsi.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "TurnRestrictions.h"

using namespace kelvane::tools;

namespace {

// Hands out the elements of an XML file of one name (node, relation), each
// as the text from its '<' to the end of its closing tag, at any depth (OSM
// keeps them at the top). Other elements are stepped over unparsed.
class CElementStream {
 public:
  // llSize: the file's size, when known, so that a small file takes a small buffer.
  CElementStream(VSILFILE* fp, const char* pszName, vsi_l_offset llSize)
      : m_fp(fp),
        m_strName(pszName),
        m_nBlock(llSize > 0 && llSize < kBlock ? static_cast<std::size_t>(llSize) + 1 : kBlock) {}
  // The next element, false at the end of the file. A truncated element is
  // handed out as far as it goes: the parser then refuses it.
  bool Next(std::string& strText) {
    for (;;) {
      std::size_t lt = m_buf.find('<', m_pos);
      if (lt == std::string::npos) {
        m_pos = m_buf.size();
        if (!Fill()) return false;
        continue;
      }
      m_pos = lt;
      if (m_buf.size() - lt < 16 && Fill()) continue;  // enough to read the name
      if (!Named(lt)) {
        ++m_pos;
        continue;
      }
      std::size_t end = 0;
      while ((end = End(lt)) == std::string::npos && m_buf.size() - lt <= kMaxElement && Fill()) {
        lt = m_pos;  // the block before the element was dropped
      }
      if (end == std::string::npos && m_buf.size() - lt > kMaxElement) {
        ++m_pos;  // an element no real file has: stepped over, so memory stays bounded
        continue;
      }
      if (end == std::string::npos) end = m_buf.size();  // truncated at the end of the file
      strText.assign(m_buf, lt, end - lt);
      m_pos = end;
      return true;
    }
  }
  // Whether the file starts as XML does (a .pbf is binary).
  bool LooksLikeXml() {
    std::size_t i = 0;
    while ((i = m_buf.find_first_not_of(" \t\r\n\xEF\xBB\xBF", m_pos)) == std::string::npos) {
      m_pos = m_buf.size();
      if (!Fill()) return false;
    }
    m_pos = i;
    return m_buf[i] == '<';
  }
  vsi_l_offset Read() const { return m_llRead; }

 private:
  static constexpr std::size_t kBlock = 1 << 20;
  static constexpr std::size_t kMaxElement = 4u << 20;

  // Reads another block, first dropping what has been handed out.
  bool Fill() {
    if (m_bEof) return false;
    if (m_pos > 0) {
      m_buf.erase(0, m_pos);
      m_pos = 0;
    }
    const std::size_t n0 = m_buf.size();
    m_buf.resize(n0 + m_nBlock);
    const std::size_t n = VSIFReadL(&m_buf[n0], 1, m_nBlock, m_fp);
    m_buf.resize(n0 + n);
    m_llRead += n;
    if (n < m_nBlock) m_bEof = true;
    return n > 0;
  }
  // Whether the tag at lt opens an element of the name asked for.
  bool Named(std::size_t lt) const {
    const std::size_t n = m_strName.size();
    if (m_buf.compare(lt + 1, n, m_strName) != 0 || lt + 1 + n >= m_buf.size()) return false;
    const char c = m_buf[lt + 1 + n];
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '/' || c == '>';
  }
  // Just past the element that opens at lt, or npos when the buffer holds
  // less. A quoted value may hold '>' but never '<', so only the start tag
  // needs its quotes followed.
  std::size_t End(std::size_t lt) const {
    char cQuote = 0;
    std::size_t i = lt + 1;
    for (; i < m_buf.size(); ++i) {
      const char c = m_buf[i];
      if (cQuote != 0) {
        cQuote = c == cQuote ? 0 : cQuote;
      } else if (c == '"' || c == '\'') {
        cQuote = c;
      } else if (c == '>') {
        break;
      }
    }
    if (i >= m_buf.size()) return std::string::npos;
    if (m_buf[i - 1] == '/') return i + 1;
    const std::size_t close = m_buf.find("</" + m_strName + ">", i);
    return close == std::string::npos ? close : close + m_strName.size() + 3;
  }

  VSILFILE* m_fp;
  std::string m_strName;
  std::size_t m_nBlock;
  std::string m_buf;
  std::size_t m_pos = 0;
  bool m_bEof = false;
  vsi_l_offset m_llRead = 0;
};

// A line on stderr, rewritten now and then, while a big file is read.
class CReadProgress {
 public:
  CReadProgress(bool bOn, vsi_l_offset llSize, int nPasses)
      : m_bOn(bOn && llSize > 0), m_bTty(isatty(2) != 0), m_dTotal(static_cast<double>(llSize) * nPasses) {}
  void Step(vsi_l_offset llDone) {
    if (!m_bOn) return;
    const Clock::time_point now = Clock::now();
    if (now - m_start < std::chrono::milliseconds(500) || now - m_last < std::chrono::milliseconds(m_bTty ? 200 : 2000))
      return;
    m_last = now;
    m_bShown = true;
    const int iPct = static_cast<int>(100.0 * std::min(1.0, (m_dBase + static_cast<double>(llDone)) / m_dTotal));
    std::fprintf(stderr, "%sreading turn restrictions: %d%%%s", m_bTty ? "\r" : "", iPct, m_bTty ? "" : "\n");
  }
  void NextPass(vsi_l_offset llDone) { m_dBase += static_cast<double>(llDone); }
  ~CReadProgress() {
    if (m_bShown) std::fprintf(stderr, "%sreading turn restrictions: done\n", m_bTty ? "\r" : "");
  }
  CReadProgress(const CReadProgress&) = delete;
  CReadProgress& operator=(const CReadProgress&) = delete;

 private:
  using Clock = std::chrono::steady_clock;
  bool m_bOn;
  bool m_bTty;
  bool m_bShown = false;
  double m_dTotal;
  double m_dBase = 0.0;
  Clock::time_point m_start = Clock::now();
  Clock::time_point m_last = m_start;
};

enum class NSkip : char { None, Ignored, Malformed, NoWay, NoMeet };

// One restriction relation, its members read, waiting for its via node's place.
struct NOsmRelation {
  std::string strId;
  NRestrictionKind eKind = NRestrictionKind::No;
  std::vector<std::string> froms, tos, viaWays;
  std::string strViaNode;  // empty: via ways
  NSkip eSkip = NSkip::None;
  std::string strWhy;
};

NSkip Refuse(NOsmRelation& r, NSkip eSkip, const std::string& strWhy) {
  r.eSkip = eSkip;
  r.strWhy = strWhy;
  return eSkip;
}

// The kind, from the restriction tag. A relation that has none but one for
// some vehicles or times (restriction:motorcar, restriction:conditional) is
// ignored: the demo routes no particular vehicle at no particular hour.
NSkip ReadKind(const CPLXMLNode* pRel, NOsmRelation& r, bool& bRestriction) {
  std::string strKind;
  bool bQualified = false, bHasKind = false;
  bRestriction = false;
  for (const CPLXMLNode* p = pRel->psChild; p != nullptr; p = p->psNext) {
    if (p->eType != CXT_Element || std::string(p->pszValue) != "tag") continue;
    const std::string k = CPLGetXMLValue(p, "k", ""), v = CPLGetXMLValue(p, "v", "");
    if (k == "type") bRestriction = v == "restriction";
    if (k == "restriction") {
      strKind = v;
      bHasKind = true;
    }
    if (k.compare(0, 12, "restriction:") == 0) bQualified = true;
  }
  if (!bRestriction) return NSkip::None;
  if (!bHasKind && bQualified) return Refuse(r, NSkip::Ignored, "for some vehicles or times only");
  if (!bHasKind) return Refuse(r, NSkip::Malformed, "no restriction tag");
  if (!ParseRestrictionKind(strKind, r.eKind)) return Refuse(r, NSkip::Malformed, "restriction '" + strKind + "'");
  return NSkip::None;
}

// The members by role: one or more from ways and to ways (no_entry has
// several froms, no_exit several tos), and one via node or one or more via
// ways in travel order. Other roles are hints for editors.
NSkip ReadMembers(const CPLXMLNode* pRel, NOsmRelation& r) {
  std::int32_t nViaNods = 0;
  for (const CPLXMLNode* p = pRel->psChild; p != nullptr; p = p->psNext) {
    if (p->eType != CXT_Element || std::string(p->pszValue) != "member") continue;
    const std::string type = CPLGetXMLValue(p, "type", ""), ref = CPLGetXMLValue(p, "ref", "");
    const std::string role = CPLGetXMLValue(p, "role", "");
    if (role != "from" && role != "to" && role != "via") continue;
    if (ref.empty()) return Refuse(r, NSkip::Malformed, "a " + role + " member without a ref");
    if (role == "via" && type == "node") {
      ++nViaNods;
      r.strViaNode = ref;
    } else if (type != "way") {
      return Refuse(r, NSkip::Malformed, "a " + role + " member that is a " + type);
    } else {
      (role == "from" ? r.froms : role == "to" ? r.tos : r.viaWays).push_back(ref);
    }
  }
  if (r.froms.empty()) return Refuse(r, NSkip::Malformed, "no from way");
  if (r.tos.empty()) return Refuse(r, NSkip::Malformed, "no to way");
  if (nViaNods == 0 && r.viaWays.empty()) return Refuse(r, NSkip::Malformed, "no via member");
  if (nViaNods > 1 || (nViaNods == 1 && !r.viaWays.empty())) return Refuse(r, NSkip::Malformed, "more than one via");
  return NSkip::None;
}

// The id attribute of an element's text, read without parsing it.
std::string IdOf(const std::string& strText) {
  for (const char* pszKey : {" id=\"", " id='", "\tid=\"", "\nid=\""}) {
    const std::size_t i = strText.find(pszKey);
    if (i == std::string::npos || i > strText.find('>')) continue;
    const std::size_t b = i + 5, e = strText.find(strText[i + 4], b);
    if (e != std::string::npos) return strText.substr(b, e - b);
  }
  return std::string();
}

// One relation element. Returns false for a relation that is no restriction.
bool ReadRelation(const std::string& strText, NOsmRelation& r) {
  const CPLXMLTreeCloser root(CPLParseXMLString(strText.c_str()));
  r.strId = IdOf(strText);
  if (!root) {
    Refuse(r, NSkip::Malformed, "not well-formed XML");
    // A relation too broken to parse is counted when it says what it is.
    return strText.find("\"restriction\"") != std::string::npos || strText.find("'restriction'") != std::string::npos;
  }
  bool bRestriction = false;
  if (ReadKind(root.get(), r, bRestriction) == NSkip::None && bRestriction) ReadMembers(root.get(), r);
  return bRestriction;
}

// The places of the wanted nodes, longitude then latitude, as the lines have them.
void ReadNodes(CElementStream& in, CReadProgress& progress, std::map<std::string, NLinePoint_stru>& wanted,
               std::map<std::string, bool>& found) {
  std::string text;
  std::size_t nLeft = wanted.size();
  while (nLeft > 0 && in.Next(text)) {
    progress.Step(in.Read());
    const auto it = wanted.find(IdOf(text));
    if (it == wanted.end() || found[it->first]) continue;
    const CPLXMLTreeCloser node(CPLParseXMLString(text.c_str()));
    const char* pszLon = node ? CPLGetXMLValue(node.get(), "lon", nullptr) : nullptr;
    const char* pszLat = node ? CPLGetXMLValue(node.get(), "lat", nullptr) : nullptr;
    if (pszLon == nullptr || pszLat == nullptr) continue;
    it->second = NLinePoint_stru{CPLAtof(pszLon), CPLAtof(pszLat)};
    found[it->first] = true;
    --nLeft;
  }
}

// The rows of a relation, one per from and to way; false when its via node
// was not in the file.
bool RelationRows(NOsmRelation& r, const std::map<std::string, NLinePoint_stru>& places,
                  const std::map<std::string, bool>& found, std::vector<NRestrictionRow>& rows) {
  NRestrictionRow row;
  row.eKind = r.eKind;
  row.via = r.viaWays;
  if (!r.strViaNode.empty()) {
    const auto it = found.find(r.strViaNode);
    if (it == found.end() || !it->second) {
      Refuse(r, NSkip::Malformed, "via node " + r.strViaNode + " is not in the file");
      return false;
    }
    row.bViaAt = true;
    row.viaAt = places.at(r.strViaNode);
  }
  for (const std::string& from : r.froms) {
    for (const std::string& to : r.tos) {
      row.strFrom = from;
      row.strTo = to;
      rows.push_back(row);
    }
  }
  return true;
}

void Count(NOsmRestrictionCounts& c, const NOsmRelation& r) {
  switch (r.eSkip) {
    case NSkip::None:
      ++c.llUsed;
      return;
    case NSkip::Ignored:
      ++c.llIgnored;
      return;
    case NSkip::Malformed:
      ++c.llMalformed;
      break;
    case NSkip::NoWay:
      ++c.llNoWay;
      break;
    case NSkip::NoMeet:
      ++c.llNoMeet;
      break;
  }
  if (c.strFirstSkip.empty()) c.strFirstSkip = "relation " + r.strId + ": " + r.strWhy;
}

// Resolves every row of a relation, or none: a restriction cut short by a
// way missing from the lines would forbid or force a turn it does not name.
void Resolve(const CRestrictionResolver& resolver, NOsmRelation& r, const std::vector<NRestrictionRow>& rows,
             std::vector<NRestriction_stru>& restrictions) {
  std::vector<NRestriction_stru> mine;
  for (const NRestrictionRow& row : rows) {
    std::string strWhy;
    const NRowFault eFault = resolver.Resolve(row, mine, strWhy);
    if (eFault != NRowFault::None) {
      Refuse(r, eFault == NRowFault::NoStreet ? NSkip::NoWay : NSkip::NoMeet, strWhy);
      return;
    }
  }
  restrictions.insert(restrictions.end(), mine.begin(), mine.end());
}

}  // namespace

bool ReadOsmRestrictions(const std::string& strPath, const NDemoRun& run, double dTolerance, bool bProgress,
                         std::vector<NRestriction_stru>& restrictions, NOsmRestrictionCounts& counts,
                         std::string& strError) {
  counts = NOsmRestrictionCounts();
  VSIStatBufL st;
  const vsi_l_offset llSize = VSIStatL(strPath.c_str(), &st) == 0 ? static_cast<vsi_l_offset>(st.st_size) : 0;
  VSILFILE* fp = VSIFOpenL(strPath.c_str(), "rb");
  if (fp == nullptr) {
    strError = "cannot read the turn restrictions of '" + strPath + "'";
    return false;
  }
  CPLErrorHandlerPusher quiet(CPLQuietErrorHandler);  // a broken relation is counted, not shouted
  std::vector<NOsmRelation> rels;
  std::map<std::string, NLinePoint_stru> places;
  std::map<std::string, bool> found;
  CReadProgress progress(bProgress, llSize, 2);
  CElementStream in(fp, "relation", llSize);
  counts.bXml = in.LooksLikeXml();
  std::string text;
  while (counts.bXml && in.Next(text)) {
    progress.Step(in.Read());
    NOsmRelation r;
    if (!ReadRelation(text, r)) continue;
    if (r.eSkip == NSkip::None && !r.strViaNode.empty()) places[r.strViaNode] = NLinePoint_stru{0.0, 0.0};
    rels.push_back(r);
  }
  progress.NextPass(in.Read());
  if (!places.empty() && VSIFSeekL(fp, 0, SEEK_SET) == 0) {
    CElementStream again(fp, "node", llSize);
    ReadNodes(again, progress, places, found);
  }
  VSIFCloseL(fp);
  const CRestrictionResolver resolver(run, dTolerance);
  for (NOsmRelation& r : rels) {
    std::vector<NRestrictionRow> rows;
    if (r.eSkip == NSkip::None && RelationRows(r, places, found, rows)) Resolve(resolver, r, rows, restrictions);
    ++counts.llRelations;
    Count(counts, r);
  }
  return true;
}

std::string OsmRestrictionLine(const std::string& strPath, const NOsmRestrictionCounts& c) {
  std::string s = "turn restrictions of " + strPath + ": ";
  if (!c.bXml) return s + "not read: GDAL gives no relation members of a .pbf file (convert it to .osm XML)";
  if (c.llRelations == 0) return s + "the file has no restriction relations";
  s += std::to_string(c.llUsed) + " of " + std::to_string(c.llRelations) + " relations used";
  const std::int64_t llSkipped = c.llMalformed + c.llNoWay + c.llNoMeet;
  if (llSkipped > 0) {
    std::string why;
    const auto add = [&why](std::int64_t n, const char* pszWhat) {
      if (n > 0) why += (why.empty() ? "" : ", ") + std::to_string(n) + " " + pszWhat;
    };
    add(c.llMalformed, "malformed");
    add(c.llNoWay, "naming a way not among the lines");
    add(c.llNoMeet, "whose ways do not meet at the via");
    s += ", " + std::to_string(llSkipped) + " skipped (" + why + "; first " + c.strFirstSkip + ")";
  }
  if (c.llIgnored > 0) s += ", " + std::to_string(c.llIgnored) + " for some vehicles or times only, ignored";
  return s;
}
