// CityLayer.cpp - the generated city: deterministic, so pictures compare run to run.
#include "CityLayer.h"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kLat0 = 52.0, kLon0 = 5.0;  // south-west corner
constexpr double kBlock = 80.0;              // metres between grid nodes
constexpr double kMetresPerDegree = 6371008.8 * kPi / 180.0;

class CRandom {
 public:
  explicit CRandom(std::uint32_t seed) : m_state(seed) {}
  double Next() {  // [0, 1)
    m_state = m_state * 1664525u + 1013904223u;
    return static_cast<double>(m_state >> 8) / static_cast<double>(1u << 24);
  }

 private:
  std::uint32_t m_state;
};

struct NMetres {
  double dX, dY;
};

// A grid node, warped by slow waves (districts bend) and jittered.
NMetres Node(int i, int j, int nSide) {
  const double x = i * kBlock, y = j * kBlock, span = nSide * kBlock;
  CRandom r(static_cast<std::uint32_t>(i * 7919 + j * 104729 + 17));
  return NMetres{x + 60.0 * std::sin(2 * kPi * y / (span * 0.37)) + 25.0 * std::sin(2 * kPi * x / (span * 0.11)) +
                     (r.Next() - 0.5) * 30.0,
                 y + 55.0 * std::sin(2 * kPi * x / (span * 0.29)) + 20.0 * std::cos(2 * kPi * y / (span * 0.13)) +
                     (r.Next() - 0.5) * 30.0};
}

std::pair<double, double> LonLat(const NMetres& m) {
  const double dCos = std::cos(kLat0 * kPi / 180.0);
  return {kLon0 + m.dX / (kMetresPerDegree * dCos), kLat0 + m.dY / kMetresPerDegree};
}

void AddPoint(OGRLineString& ls, const NMetres& m) {
  const std::pair<double, double> p = LonLat(m);
  ls.addPoint(p.first, p.second);
}

// One block of street from a to b: a bow to one side, with a few vertices.
void AddBlock(OGRLineString& ls, const NMetres& a, const NMetres& b, CRandom& r, bool bFirst) {
  if (bFirst) AddPoint(ls, a);
  const double bow = (r.Next() - 0.5) * 24.0;
  const int nMid = static_cast<int>(r.Next() * 3);
  const double dx = b.dX - a.dX, dy = b.dY - a.dY, len = std::hypot(dx, dy);
  for (int k = 1; k <= nMid; ++k) {
    const double t = static_cast<double>(k) / (nMid + 1);
    const double off = bow * std::sin(kPi * t);
    AddPoint(ls, NMetres{a.dX + dx * t - dy / len * off, a.dY + dy * t + dx / len * off});
  }
  AddPoint(ls, b);
}

}  // namespace

bool WriteCityLayer(const std::string& strPath, int nSide, NCityInfo& info) {
  GDALAllRegister();
  GDALDriver* pDriver = GetGDALDriverManager()->GetDriverByName("GPKG");
  if (pDriver == nullptr) return false;
  GDALDatasetUniquePtr ds(pDriver->Create(strPath.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
  if (!ds) return false;
  OGRSpatialReference srs;
  srs.importFromEPSG(4326);
  srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  OGRLayer* pLayer = ds->CreateLayer("streets", &srs, wkbLineString, nullptr);
  if (pLayer == nullptr) return false;
  OGRFieldDefn id("osm_id", OFTInteger64), name("name", OFTString), hw("highway", OFTString), ow("oneway", OFTString);
  pLayer->CreateField(&id);
  pLayer->CreateField(&name);
  pLayer->CreateField(&hw);
  pLayer->CreateField(&ow);
  static const char* const kNames[] = {"Mill", "Church", "Station", "Market", "Garden", "Canal", "Park", "School"};
  static const char* const kKinds[] = {"Street", "Lane", "Road", "Way"};
  ds->StartTransaction();
  CRandom r(20261209u);
  std::int64_t llId = 4000000;
  info = NCityInfo();
  auto emit = [&](OGRLineString& ls, bool bMajor) {
    OGRFeature f(pLayer->GetLayerDefn());
    f.SetField("osm_id", static_cast<GIntBig>(llId++));
    const std::string strName = std::string(kNames[static_cast<int>(r.Next() * 8)]) + " " + kKinds[static_cast<int>(r.Next() * 4)];
    f.SetField("name", strName.c_str());
    f.SetField("highway", bMajor ? "secondary" : "residential");
    const double u = r.Next();
    const char* pszOneWay = u < 0.09 ? "yes" : u < 0.15 ? "-1" : "no";
    if (u < 0.15) ++info.nOneWay;
    f.SetField("oneway", pszOneWay);
    f.SetGeometry(&ls);
    if (pLayer->CreateFeature(&f) == OGRERR_NONE) ++info.nFeatures;
  };
  // Streets along both grid directions, cut into features of 1 to 4 blocks;
  // about one block in eight is missing, which leaves dead ends and detours.
  // The river runs north-south east of the middle: the blocks across it are
  // missing but on every 40th street, the bridges.
  const int kRiver = nSide * 3 / 5;
  for (int dir = 0; dir < 2; ++dir) {
    for (int line = 0; line < nSide; ++line) {
      const bool bMajor = line % 10 == 5;
      int k = 0;
      while (k < nSide - 1) {
        if (dir == 0 && k == kRiver) {
          if (line % 40 != 20) {
            ++k;
            continue;
          }
          const NMetres a = Node(k, line, nSide), b = Node(k + 1, line, nSide);
          info.bridges.push_back(LonLat(NMetres{(a.dX + b.dX) / 2, (a.dY + b.dY) / 2}));
        } else if (!bMajor && r.Next() < 0.12) {
          ++k;
          continue;
        }
        const int nBlocks = 1 + static_cast<int>(r.Next() * 4);
        OGRLineString ls;
        int done = 0;
        for (; done < nBlocks && k < nSide - 1 && (done == 0 || dir != 0 || k != kRiver); ++done, ++k) {
          const NMetres a = dir == 0 ? Node(k, line, nSide) : Node(line, k, nSide);
          const NMetres b = dir == 0 ? Node(k + 1, line, nSide) : Node(line, k + 1, nSide);
          AddBlock(ls, a, b, r, done == 0);
        }
        emit(ls, bMajor);
      }
    }
  }
  // Culs-de-sac: short curved spurs from some nodes into the blocks.
  for (int i = 0; i < nSide - 1; ++i) {
    for (int j = 0; j < nSide - 1; ++j) {
      if (r.Next() > 0.05 || i == kRiver) continue;
      const NMetres a = Node(i, j, nSide);
      OGRLineString ls;
      AddPoint(ls, a);
      AddPoint(ls, NMetres{a.dX + 20 + r.Next() * 10, a.dY + 15 + r.Next() * 10});
      AddPoint(ls, NMetres{a.dX + 30 + r.Next() * 10, a.dY + 35 + r.Next() * 10});
      emit(ls, false);
    }
  }
  ds->CommitTransaction();
  const NMetres c = Node(nSide / 2, nSide / 2, nSide);
  const double dCos = std::cos(kLat0 * kPi / 180.0);
  info.dCentreLon = kLon0 + c.dX / (kMetresPerDegree * dCos);
  info.dCentreLat = kLat0 + c.dY / kMetresPerDegree;
  return true;
}
