// OgrOutput.cpp - the traced streets as features a GIS opens beside the input:
// one per source feature reached, with its id and the share of it reached.
#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <map>

#include "Demo.h"

namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

const char* DriverFor(const std::string& strPath) {
  const std::size_t dot = strPath.rfind('.');
  const std::string ext = dot == std::string::npos ? std::string() : Lower(strPath.substr(dot + 1));
  if (ext == "geojson" || ext == "json") return "GeoJSON";
  if (ext == "gpkg") return "GPKG";
  if (ext == "shp") return "ESRI Shapefile";
  return nullptr;
}

struct NReached {
  std::string strName;
  double dTotal = 0.0;    // ground length of the whole feature
  double dReached = 0.0;  // ground length of its traced stretches
  std::vector<std::vector<NPoint>> parts;
};

}  // namespace

bool WriteTracedFeatures(const std::string& strPath, const NDemoRun& run, std::string& strError) {
  const char* pszDriver = DriverFor(strPath);
  if (pszDriver == nullptr) {
    strError = "--out '" + strPath + "': the name must end in .geojson, .json, .gpkg or .shp";
    return false;
  }
  // Gather per source feature (a multi-part feature's parts share its id).
  std::map<std::int64_t, NReached> reached;
  std::map<std::int64_t, double> totals;
  for (const NDemoEdge& e : run.demo.edges)
    totals[run.input.lines[static_cast<std::size_t>(e.lLine)].llFid] += e.dLength;
  for (const NEdgeStretch& s : run.traced) {
    const NDemoEdge& e = run.demo.edges[static_cast<std::size_t>(s.lEdge) - 1];
    const NInputLine& line = run.input.lines[static_cast<std::size_t>(e.lLine)];
    NReached& r = reached[line.llFid];
    r.strName = line.strName;
    r.dTotal = totals[line.llFid];
    r.dReached += (s.dTo - s.dFrom) * e.dLength;
    r.parts.push_back(SubLine(e.pts, run.demo.proj, s.dFrom, s.dTo));
  }

  GDALAllRegister();
  GDALDriver* pDriver = GetGDALDriverManager()->GetDriverByName(pszDriver);
  if (pDriver == nullptr) {
    strError = std::string("this GDAL has no ") + pszDriver + " driver";
    return false;
  }
  VSIUnlink(strPath.c_str());  // replace, as the picture is replaced
  CPLPushErrorHandler(CPLQuietErrorHandler);
  GDALDatasetUniquePtr ds(pDriver->Create(strPath.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
  CPLPopErrorHandler();
  if (!ds) {
    strError = "cannot create '" + strPath + "'";
    return false;
  }
  OGRSpatialReference srs;
  OGRSpatialReference* pSrs = nullptr;
  if (!run.input.strSrsWkt.empty() && srs.importFromWkt(run.input.strSrsWkt.c_str()) == OGRERR_NONE) {
    srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    pSrs = &srs;
  }
  OGRLayer* pLayer = ds->CreateLayer("traced", pSrs, wkbMultiLineString, nullptr);
  if (pLayer == nullptr) {
    strError = "cannot create a layer in '" + strPath + "'";
    return false;
  }
  OGRFieldDefn fid("src_fid", OFTInteger64);
  OGRFieldDefn frac("fraction", OFTReal);
  OGRFieldDefn len("length", OFTReal);
  OGRFieldDefn name("name", OFTString);
  if (pLayer->CreateField(&fid) != OGRERR_NONE || pLayer->CreateField(&frac) != OGRERR_NONE ||
      pLayer->CreateField(&len) != OGRERR_NONE || pLayer->CreateField(&name) != OGRERR_NONE) {
    strError = "cannot create the fields in '" + strPath + "'";
    return false;
  }
  for (const auto& item : reached) {
    OGRFeature feature(pLayer->GetLayerDefn());
    feature.SetField("src_fid", static_cast<GIntBig>(item.first));
    feature.SetField("fraction", item.second.dTotal > 0.0 ? std::min(1.0, item.second.dReached / item.second.dTotal) : 1.0);
    feature.SetField("length", item.second.dReached);
    if (!item.second.strName.empty()) feature.SetField("name", item.second.strName.c_str());
    OGRMultiLineString geom;
    for (const std::vector<NPoint>& part : item.second.parts) {
      OGRLineString ls;
      for (const NPoint& p : part) ls.addPoint(p.dX, p.dY);
      geom.addGeometry(&ls);
    }
    feature.SetGeometry(&geom);
    if (pLayer->CreateFeature(&feature) != OGRERR_NONE) {
      strError = "cannot write a feature to '" + strPath + "'";
      return false;
    }
  }
  return true;
}
