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

// Where each thing the demo reads stands in the header; -1 for not there.
struct NCsvColumns {
  int iX1 = -1, iY1 = -1, iX2 = -1, iY2 = -1;
  int iId = -1, iCost = -1, iOneWay = -1, iDmd = -1, iBlocked = -1;
  std::vector<int> attrs;  // carried to the output, as text
};

// The attribute columns: every column but the coordinates, or only those named.
bool AttrColumns(const std::vector<std::string>& header, const NFieldNames& fields, const std::string& strPath,
                 NCsvColumns& cols, std::string& strError) {
  if (fields.bKeepAll) {
    for (std::size_t i = 0; i < header.size(); ++i) {
      const int c = static_cast<int>(i);
      if (c != cols.iX1 && c != cols.iY1 && c != cols.iX2 && c != cols.iY2) cols.attrs.push_back(c);
    }
    return true;
  }
  for (const std::string& strName : fields.keep) {
    const int c = Column(header, strName);
    if (c < 0) {
      strError = "--keep-fields: '" + strPath + "' has no column named '" + strName + "'";
      return false;
    }
    cols.attrs.push_back(c);
  }
  return true;
}

bool FindColumns(const std::vector<std::string>& header, const NFieldNames& fields, const std::string& strPath,
                 NCsvColumns& cols, std::string& strError) {
  cols.iX1 = Column(header, "x1");
  cols.iY1 = Column(header, "y1");
  cols.iX2 = Column(header, "x2");
  cols.iY2 = Column(header, "y2");
  if (cols.iX1 < 0 || cols.iY1 < 0 || cols.iX2 < 0 || cols.iY2 < 0) {
    strError = "'" + strPath + "' needs the columns x1, y1, x2 and y2 in its header row";
    return false;
  }
  cols.iId = Column(header, "id");
  const std::pair<const std::string&, int&> named[] = {{fields.strCost, cols.iCost},
                                                       {fields.strOneWay, cols.iOneWay},
                                                       {fields.strDemand, cols.iDmd},
                                                       {fields.strBlocked, cols.iBlocked}};
  for (const auto& col : named) {
    if (col.first.empty()) continue;
    col.second = Column(header, col.first);
    if (col.second < 0) {
      strError = "'" + strPath + "' has no column named '" + col.first + "'";
      return false;
    }
  }
  return AttrColumns(header, fields, strPath, cols, strError);
}

// The feature of one row: its id and its attributes as text.
NInputFeature RowFeature(const std::vector<std::string>& cells, std::int64_t llRow, const NCsvColumns& cols) {
  auto cell = [&](int i) {
    return i >= 0 && static_cast<std::size_t>(i) < cells.size() ? cells[static_cast<std::size_t>(i)] : std::string();
  };
  NInputFeature feature;
  feature.strId = cols.iId >= 0 && !cell(cols.iId).empty() ? cell(cols.iId) : std::to_string(llRow - 1);
  for (int c : cols.attrs) {
    feature.values.push_back(cell(c));
    feature.isNull.push_back(cell(c).empty() ? 1 : 0);
  }
  return feature;
}

// A closed-street cell: set unless empty, 0, no or false.
bool IsSet(const std::string& strCell) {
  const std::string s = Lower(strCell);
  return !(s.empty() || s == "0" || s == "no" || s == "false");
}

// One street of one row. Returns false with strError set for coordinates that are not numbers.
bool ReadRow(const std::vector<std::string>& cells, std::int64_t llRow, const NCsvColumns& cols,
             const std::string& strPath, NInputNetwork& input, std::string& strError) {
  auto cell = [&](int i) {
    return i >= 0 && static_cast<std::size_t>(i) < cells.size() ? cells[static_cast<std::size_t>(i)] : std::string();
  };
  ++input.llFeatures;
  NInputLine line;
  NLinePoint_stru a, b;
  if (!ParseCoordinate(cell(cols.iX1), a.dX) || !ParseCoordinate(cell(cols.iY1), a.dY) ||
      !ParseCoordinate(cell(cols.iX2), b.dX) || !ParseCoordinate(cell(cols.iY2), b.dY)) {
    strError = "'" + strPath + "' row " + std::to_string(llRow) + ": x1, y1, x2 and y2 must be numbers";
    return false;
  }
  line.pts = {a, b};
  double d = 0.0;
  // Outside the 64-bit range the conversion would be undefined; the row number stands in.
  const bool bNumericId = ParseNumber(cell(cols.iId), d) && std::fabs(d) < 9e18;
  line.llFid = bNumericId ? static_cast<std::int64_t>(d) : llRow - 1;
  line.lFeature = static_cast<std::int32_t>(input.features.size());
  input.features.push_back(RowFeature(cells, llRow, cols));
  if (ParseNumber(cell(cols.iCost), d)) line.dCost = d;
  if (ParseNumber(cell(cols.iDmd), d)) line.dDmd = d;
  if (cols.iOneWay >= 0) line.cOneWay = ParseOneWay(cell(cols.iOneWay));
  if (cols.iBlocked >= 0) line.bBlocked = IsSet(cell(cols.iBlocked));
  input.lines.push_back(std::move(line));
  return true;
}

}  // namespace

std::vector<std::string> SplitCsvRow(const std::string& row) {
  std::vector<std::string> cells = SplitRow(row);
  for (std::string& c : cells) c = Trim(c);
  return cells;
}

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
  NCsvColumns cols;
  if (!FindColumns(header, fields, strPath, cols, strError)) return false;
  for (int c : cols.attrs) input.attrs.push_back(NAttrField{header[static_cast<std::size_t>(c)], 's'});
  input.cIdType = cols.iId >= 0 ? 's' : 'i';
  input.bLonLat = bLonLat;
  input.strSource = strPath;
  std::int64_t llRow = 1;
  while (std::getline(in, row)) {
    ++llRow;
    if (Trim(row).empty()) continue;
    if (!ReadRow(SplitRow(row), llRow, cols, strPath, input, strError)) return false;
  }
  return true;
}
