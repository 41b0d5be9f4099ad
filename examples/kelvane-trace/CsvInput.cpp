// CsvInput.cpp - reads a CSV edge list: one straight street per row.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>

#include "Input.h"

namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

std::string Trim(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

// Splits one row at commas outside double quotes; quotes are removed and a
// doubled quote inside them stands for one.
std::vector<std::string> SplitRow(const std::string& row) {
  std::vector<std::string> cells(1);
  bool bQuoted = false;
  for (std::size_t i = 0; i < row.size(); ++i) {
    const char c = row[i];
    if (c == '"') {
      if (bQuoted && i + 1 < row.size() && row[i + 1] == '"') {
        cells.back() += '"';
        ++i;
      } else {
        bQuoted = !bQuoted;
      }
    } else if (c == ',' && !bQuoted) {
      cells.emplace_back();
    } else if (c != '\r') {
      cells.back() += c;
    }
  }
  for (std::string& cell : cells) cell = Trim(cell);
  return cells;
}

bool ParseNumber(const std::string& s, double& d) {
  if (s.empty()) return false;
  char* pEnd = nullptr;
  errno = 0;
  d = std::strtod(s.c_str(), &pEnd);
  return errno == 0 && pEnd != nullptr && *pEnd == '\0';
}

// A coordinate: out-of-range values read as infinity (or zero), so that the
// row is left out as not finite, not refused as not a number.
bool ParseCoordinate(const std::string& s, double& d) {
  if (s.empty()) return false;
  char* pEnd = nullptr;
  d = std::strtod(s.c_str(), &pEnd);
  return pEnd != nullptr && *pEnd == '\0';
}

int Column(const std::vector<std::string>& header, const std::string& strName) {
  const auto it = std::find(header.begin(), header.end(), Lower(strName));
  return it == header.end() ? -1 : static_cast<int>(it - header.begin());
}

}  // namespace

signed char ParseOneWay(const std::string& strValue) {
  const std::string s = Lower(Trim(strValue));
  if (s == "yes" || s == "true" || s == "1" || s == "ft" || s == "forward" || s == "y") return 1;
  if (s == "-1" || s == "tf" || s == "reverse" || s == "backward") return -1;
  return 0;
}

bool ReadCsv(const std::string& strPath, const NFieldNames& fields, bool bLonLat, NInputNetwork& input,
             std::string& strError) {
  if (!CheckReadable(strPath, strError)) return false;
  std::ifstream in(strPath);
  if (!in) {
    strError = "cannot read '" + strPath + "'";
    return false;
  }
  std::string row;
  if (!std::getline(in, row)) {
    strError = "'" + strPath + "' is empty";
    return false;
  }
  std::vector<std::string> header = SplitRow(row);
  for (std::string& h : header) h = Lower(h);
  const int iX1 = Column(header, "x1"), iY1 = Column(header, "y1");
  const int iX2 = Column(header, "x2"), iY2 = Column(header, "y2");
  if (iX1 < 0 || iY1 < 0 || iX2 < 0 || iY2 < 0) {
    strError = "'" + strPath + "' needs the columns x1, y1, x2 and y2 in its header row";
    return false;
  }
  const int iId = Column(header, "id");
  int iCost = -1, iOneWay = -1, iDmd = -1, iBlocked = -1;
  const std::pair<const std::string&, int&> cols[] = {
      {fields.strCost, iCost}, {fields.strOneWay, iOneWay}, {fields.strDemand, iDmd}, {fields.strBlocked, iBlocked}};
  for (const auto& col : cols) {
    if (col.first.empty()) continue;
    col.second = Column(header, col.first);
    if (col.second < 0) {
      strError = "'" + strPath + "' has no column named '" + col.first + "'";
      return false;
    }
  }

  // Every other column is carried to the output as text (or only those named).
  std::vector<int> attrCols;
  for (std::size_t i = 0; i < header.size(); ++i) {
    const int c = static_cast<int>(i);
    if (c == iX1 || c == iY1 || c == iX2 || c == iY2) continue;
    if (fields.bKeepAll) attrCols.push_back(c);
  }
  if (!fields.bKeepAll) {
    for (const std::string& strName : fields.keep) {
      const int c = Column(header, strName);
      if (c < 0) {
        strError = "--keep-fields: '" + strPath + "' has no column named '" + strName + "'";
        return false;
      }
      attrCols.push_back(c);
    }
  }
  for (int c : attrCols) input.attrs.push_back(NAttrField{header[static_cast<std::size_t>(c)], 's'});
  input.cIdType = iId >= 0 ? 's' : 'i';
  input.bLonLat = bLonLat;
  input.strSource = strPath;
  std::int64_t llRow = 1;
  while (std::getline(in, row)) {
    ++llRow;
    if (Trim(row).empty()) continue;
    const std::vector<std::string> cells = SplitRow(row);
    auto cell = [&](int i) { return i >= 0 && static_cast<std::size_t>(i) < cells.size() ? cells[static_cast<std::size_t>(i)] : std::string(); };
    ++input.llFeatures;
    NInputLine line;
    NLinePoint_stru a, b;
    if (!ParseCoordinate(cell(iX1), a.dX) || !ParseCoordinate(cell(iY1), a.dY) || !ParseCoordinate(cell(iX2), b.dX) ||
        !ParseCoordinate(cell(iY2), b.dY)) {
      strError = "'" + strPath + "' row " + std::to_string(llRow) + ": x1, y1, x2 and y2 must be numbers";
      return false;
    }
    line.pts = {a, b};
    double d = 0.0;
    // Outside the 64-bit range the conversion would be undefined; the row number stands in.
    const bool bNumericId = ParseNumber(cell(iId), d) && std::fabs(d) < 9e18;
    line.llFid = bNumericId ? static_cast<std::int64_t>(d) : llRow - 1;
    NInputFeature feature;
    feature.strId = iId >= 0 && !cell(iId).empty() ? cell(iId) : std::to_string(llRow - 1);
    for (int c : attrCols) {
      feature.values.push_back(cell(c));
      feature.isNull.push_back(cell(c).empty() ? 1 : 0);
    }
    line.lFeature = static_cast<std::int32_t>(input.features.size());
    input.features.push_back(std::move(feature));
    if (ParseNumber(cell(iCost), d)) line.dCost = d;
    if (ParseNumber(cell(iDmd), d)) line.dDmd = d;
    if (iOneWay >= 0) line.cOneWay = ParseOneWay(cell(iOneWay));
    if (iBlocked >= 0) {
      const std::string s = Lower(cell(iBlocked));
      line.bBlocked = !(s.empty() || s == "0" || s == "no" || s == "false");
    }
    input.lines.push_back(std::move(line));
  }
  return true;
}
