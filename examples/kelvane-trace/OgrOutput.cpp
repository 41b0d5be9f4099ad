// OgrOutput.cpp - the traced streets as features a GIS opens beside the input:
// one per source feature reached, with its own id, its attributes, the share
// of it reached, and its reached stretches merged into as few lines as they make.
#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "Demo.h"

namespace {

// A stretch of one input line, as fractions of the line's planar length.
struct NSpan {
  double dFrom;
  double dTo;
};

struct NReached {
  std::int32_t lFeature = -1;
  double dTotal = 0.0;                               // ground length of the whole feature
  double dReached = 0.0;                             // ground length of its traced stretches
  std::map<std::int32_t, std::vector<NSpan>> spans;  // per input line
};

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

// Sorts the spans and joins those that touch, so that a street reached end to
// end comes out as one line, not as the pieces noding and splitting cut it into.
std::vector<NSpan> Merge(std::vector<NSpan> v) {
  std::sort(v.begin(), v.end(), [](const NSpan& a, const NSpan& b) { return a.dFrom < b.dFrom; });
  std::vector<NSpan> out;
  for (const NSpan& s : v) {
    if (!out.empty() && s.dFrom <= out.back().dTo + 1e-9) {
      out.back().dTo = std::max(out.back().dTo, s.dTo);
    } else {
      out.push_back(s);
    }
  }
  return out;
}

// Per source feature (a multi-part feature's parts share it): what was reached of it.
std::map<std::int32_t, NReached> Gather(const NDemoRun& run) {
  std::map<std::int32_t, NReached> reached;
  std::map<std::int32_t, double> totals;
  auto featureOf = [&](const NDemoEdge& e) {
    const NInputLine& line = run.input.lines[static_cast<std::size_t>(e.lLine)];
    return line.lFeature >= 0 ? line.lFeature : -1 - e.lLine;  // a line without a feature stands alone
  };
  for (const NDemoEdge& e : run.demo.edges) totals[featureOf(e)] += e.dLength;
  for (const NEdgeStretch& s : run.traced) {
    if (s.lEdge < 1 || static_cast<std::size_t>(s.lEdge) > run.demo.edges.size()) continue;
    const NDemoEdge& e = run.demo.edges[static_cast<std::size_t>(s.lEdge) - 1];
    NReached& r = reached[featureOf(e)];
    r.lFeature = run.input.lines[static_cast<std::size_t>(e.lLine)].lFeature;
    r.dTotal = totals[featureOf(e)];
    r.dReached += (s.dTo - s.dFrom) * e.dLength;
    // The edge covers e.dFrom..e.dTo of its line; the piece, s.dFrom..s.dTo of the edge.
    const double w = e.dTo - e.dFrom;
    r.spans[e.lLine].push_back(NSpan{e.dFrom + s.dFrom * w, e.dFrom + s.dTo * w});
  }
  return reached;
}

// A new file of the driver, an existing one deleted first when bReplace.
GDALDatasetUniquePtr CreateFile(const std::string& strPath, const std::string& strDriver, bool bReplace,
                                std::string& strError) {
  GDALAllRegister();
  GDALDriver* pDriver = GetGDALDriverManager()->GetDriverByName(strDriver.c_str());
  if (pDriver == nullptr) {
    strError = "this GDAL has no " + strDriver + " driver";
    return nullptr;
  }
  CPLPushErrorHandler(CPLQuietErrorHandler);
  if (bReplace) {
    VSIStatBufL st;
    if (VSIStatL(strPath.c_str(), &st) == 0 && pDriver->Delete(strPath.c_str()) != CE_None) VSIUnlink(strPath.c_str());
  }
  GDALDatasetUniquePtr ds(pDriver->Create(strPath.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
  CPLPopErrorHandler();
  if (!ds) strError = "cannot create '" + strPath + "'";
  return ds;
}

// The layer in the input's reference system, with our three fields first;
// an input attribute of the same name is kept as src_NAME. attrIndex: the
// field of each input attribute.
OGRLayer* CreateTracedLayer(GDALDataset& ds, const NInputNetwork& input, const std::string& strPath,
                            std::vector<int>& attrIndex, std::string& strError) {
  OGRSpatialReference srs;
  OGRSpatialReference* pSrs = nullptr;
  if (!input.strSrsWkt.empty() && srs.importFromWkt(input.strSrsWkt.c_str()) == OGRERR_NONE) {
    srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    pSrs = &srs;
  }
  OGRLayer* pLayer = ds.CreateLayer("traced", pSrs, wkbMultiLineString, nullptr);
  if (pLayer == nullptr) {
    strError = "cannot create a layer in '" + strPath + "'";
    return nullptr;
  }
  OGRFieldDefn fid("src_fid", input.cIdType == 'i' ? OFTInteger64 : OFTString);
  OGRFieldDefn frac("fraction", OFTReal);
  OGRFieldDefn len("length", OFTReal);
  bool bOk = pLayer->CreateField(&fid) == OGRERR_NONE && pLayer->CreateField(&frac) == OGRERR_NONE &&
             pLayer->CreateField(&len) == OGRERR_NONE;
  std::set<std::string> used{"src_fid", "fraction", "length"};
  for (const NAttrField& a : input.attrs) {
    std::string strName = a.strName;
    while (used.count(Lower(strName)) != 0) strName = "src_" + strName;
    used.insert(Lower(strName));
    OGRFieldDefn def(strName.c_str(), a.cType == 'i' ? OFTInteger64 : a.cType == 'r' ? OFTReal : OFTString);
    bOk = bOk && pLayer->CreateField(&def) == OGRERR_NONE;
    attrIndex.push_back(pLayer->GetLayerDefn()->GetFieldIndex(strName.c_str()));
  }
  if (!bOk) {
    strError = "cannot create the fields in '" + strPath + "'";
    return nullptr;
  }
  return pLayer;
}

// One source feature reached: its id and attributes, the share reached, and its stretches merged.
bool WriteReached(OGRLayer& layer, const NReached& r, const std::vector<int>& attrIndex, const NDemoRun& run) {
  OGRFeature feature(layer.GetLayerDefn());
  if (r.lFeature >= 0) {
    const NInputFeature& src = run.input.features[static_cast<std::size_t>(r.lFeature)];
    feature.SetField("src_fid", src.strId.c_str());
    for (std::size_t i = 0; i < attrIndex.size() && i < src.values.size(); ++i) {
      if (attrIndex[i] < 0) continue;
      if (src.isNull[i]) {
        feature.SetFieldNull(attrIndex[i]);
      } else {
        feature.SetField(attrIndex[i], src.values[i].c_str());
      }
    }
  }
  feature.SetField("fraction", r.dTotal > 0.0 ? std::min(1.0, r.dReached / r.dTotal) : 1.0);
  feature.SetField("length", r.dReached);
  OGRMultiLineString geom;
  for (const auto& lineSpans : r.spans) {
    const NInputLine& line = run.input.lines[static_cast<std::size_t>(lineSpans.first)];
    for (const NSpan& span : Merge(lineSpans.second)) {
      OGRLineString ls;
      for (const NLinePoint_stru& p : SubLine(line.pts, run.demo.proj, span.dFrom, span.dTo)) ls.addPoint(p.dX, p.dY);
      geom.addGeometry(&ls);
    }
  }
  feature.SetGeometry(&geom);
  return layer.CreateFeature(&feature) == OGRERR_NONE;
}

}  // namespace

bool WriteTracedFeatures(const std::string& strPath, const std::string& strDriver, bool bReplace, const NDemoRun& run,
                         std::string& strError) {
  const std::map<std::int32_t, NReached> reached = Gather(run);
  GDALDatasetUniquePtr ds = CreateFile(strPath, strDriver, bReplace, strError);
  if (!ds) return false;
  std::vector<int> attrIndex;
  OGRLayer* pLayer = CreateTracedLayer(*ds, run.input, strPath, attrIndex, strError);
  if (pLayer == nullptr) return false;
  for (const auto& item : reached) {
    if (!WriteReached(*pLayer, item.second, attrIndex, run)) {
      strError = "cannot write a feature to '" + strPath + "'";
      return false;
    }
  }
  return true;
}
