// OgrInput.cpp - reads street lines from any vector file OGR opens.
#include <gdal_priv.h>
#include <ogrsf_frmts.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <memory>

#include "Input.h"

namespace {

bool IsLineType(OGRwkbGeometryType eType) {
  const OGRwkbGeometryType eFlat = wkbFlatten(eType);
  return eFlat == wkbLineString || eFlat == wkbMultiLineString;
}

// A yes/no attribute: anything but empty, "0", "no", "false" counts as yes.
bool ParseFlag(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return !(s.empty() || s == "0" || s == "no" || s == "false" || s == "n" || s == "f");
}

int FieldIndex(OGRFeatureDefn* pDefn, const std::string& strName, std::string& strError) {
  if (strName.empty()) return -1;
  const int i = pDefn->GetFieldIndex(strName.c_str());
  if (i < 0) strError = "no attribute field named '" + strName + "'";
  return i;
}

// Every part is kept, even one of fewer than two points: noding finds it has
// no length and the feature is then named as skipped, not lost unseen.
void AddPart(const OGRLineString& ls, const NInputLine& proto, NInputNetwork& input) {
  NInputLine line = proto;
  line.pts.reserve(static_cast<std::size_t>(ls.getNumPoints()));
  for (int i = 0; i < ls.getNumPoints(); ++i) line.pts.push_back(NLinePoint_stru{ls.getX(i), ls.getY(i)});
  input.lines.push_back(std::move(line));
}

char AttrType(OGRFieldType eType) {
  if (eType == OFTInteger || eType == OFTInteger64) return 'i';
  if (eType == OFTReal) return 'r';
  return 's';
}

// The columns carried to the output: all, or those named (each must exist).
bool PickAttrs(OGRFeatureDefn* pDefn, const NFieldNames& fields, std::vector<int>& cols, NInputNetwork& input,
               std::string& strError) {
  if (fields.bKeepAll) {
    for (int i = 0; i < pDefn->GetFieldCount(); ++i) cols.push_back(i);
  } else {
    for (const std::string& strName : fields.keep) {
      const int i = pDefn->GetFieldIndex(strName.c_str());
      if (i < 0) {
        strError = "--keep-fields: no attribute field named '" + strName + "'";
        return false;
      }
      cols.push_back(i);
    }
  }
  for (int i : cols) {
    const OGRFieldDefn* pField = pDefn->GetFieldDefn(i);
    input.attrs.push_back(NAttrField{pField->GetNameRef(), AttrType(pField->GetType())});
  }
  return true;
}

// Rewrites one line on stderr now and then, only while a read is long enough
// for someone to wonder whether anything is happening.
class CProgress {
 public:
  CProgress(bool bOn, GIntBig llTotal)
      : m_bOn(bOn), m_bTty(isatty(2) != 0), m_llTotal(llTotal), m_start(Clock::now()), m_last(m_start) {}
  void Step(GIntBig llDone) {
    if (!m_bOn || (llDone & 63) != 0) return;
    const Clock::time_point now = Clock::now();
    if (now - m_start < std::chrono::milliseconds(500) || now - m_last < std::chrono::milliseconds(m_bTty ? 200 : 2000))
      return;
    m_last = now;
    m_bShown = true;
    if (m_llTotal > 0) {
      std::fprintf(stderr, "%sreading features: %lld of %lld (%d%%)%s", m_bTty ? "\r" : "",
                   static_cast<long long>(llDone), static_cast<long long>(m_llTotal),
                   static_cast<int>(100 * llDone / m_llTotal), m_bTty ? "" : "\n");
    } else {
      std::fprintf(stderr, "%sreading features: %lld%s", m_bTty ? "\r" : "", static_cast<long long>(llDone),
                   m_bTty ? "" : "\n");
    }
  }
  void Done(GIntBig llDone) {
    if (m_bShown) std::fprintf(stderr, "%sreading features: %lld done\n", m_bTty ? "\r" : "", static_cast<long long>(llDone));
  }

 private:
  using Clock = std::chrono::steady_clock;
  bool m_bOn;
  bool m_bTty;
  bool m_bShown = false;
  GIntBig m_llTotal;
  Clock::time_point m_start;
  Clock::time_point m_last;
};

}  // namespace

bool ReadOgr(const std::string& strPath, const std::string& strLayer, const std::string& strWhere,
             const NFieldNames& fields, bool bProgress, NInputNetwork& input, std::string& strError) {
  if (!CheckReadable(strPath, strError)) return false;
  GDALAllRegister();
  CPLPushErrorHandler(CPLQuietErrorHandler);  // failures are reported below, in our words
  GDALDatasetUniquePtr ds(GDALDataset::Open(strPath.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
  CPLPopErrorHandler();
  if (!ds) {
    strError = "'" + strPath + "' is not a vector file GDAL/OGR can read";
    return false;
  }
  OGRLayer* pLayer = nullptr;
  if (!strLayer.empty()) {
    pLayer = ds->GetLayerByName(strLayer.c_str());
    if (pLayer == nullptr) {
      strError = "'" + strPath + "' has no layer named '" + strLayer + "'";
      return false;
    }
  } else {
    // The first layer whose declared type is a line, else the first layer of
    // unknown type (GeoJSON and CSV often declare none).
    for (int i = 0; i < ds->GetLayerCount() && pLayer == nullptr; ++i)
      if (IsLineType(ds->GetLayer(i)->GetGeomType())) pLayer = ds->GetLayer(i);
    for (int i = 0; i < ds->GetLayerCount() && pLayer == nullptr; ++i)
      if (wkbFlatten(ds->GetLayer(i)->GetGeomType()) == wkbUnknown) pLayer = ds->GetLayer(i);
    if (pLayer == nullptr) {
      strError = "'" + strPath + "' has no line layer (name one with --layer)";
      return false;
    }
  }
  if (!strWhere.empty() && pLayer->SetAttributeFilter(strWhere.c_str()) != OGRERR_NONE) {
    strError = "the filter '" + strWhere + "' is not a valid condition on layer '" + pLayer->GetName() + "'";
    return false;
  }
  OGRFeatureDefn* pDefn = pLayer->GetLayerDefn();
  const int iCost = FieldIndex(pDefn, fields.strCost, strError);
  const int iOneWay = FieldIndex(pDefn, fields.strOneWay, strError);
  const int iDmd = FieldIndex(pDefn, fields.strDemand, strError);
  const int iBlocked = FieldIndex(pDefn, fields.strBlocked, strError);
  // The feature's own id: the field named, else one called id or osm_id, else OGR's number.
  int iId = FieldIndex(pDefn, fields.strId, strError);
  if (fields.strId.empty()) iId = pDefn->GetFieldIndex("id") >= 0 ? pDefn->GetFieldIndex("id") : pDefn->GetFieldIndex("osm_id");
  if (!strError.empty()) {
    strError += " in layer '" + std::string(pLayer->GetName()) + "'";
    return false;
  }
  input.cIdType = iId < 0 ? 'i' : AttrType(pDefn->GetFieldDefn(iId)->GetType()) == 'i' ? 'i' : 's';
  std::vector<int> attrCols;
  if (!PickAttrs(pDefn, fields, attrCols, input, strError)) return false;

  const OGRSpatialReference* pSrs = pLayer->GetSpatialRef();
  if (pSrs != nullptr) {
    input.bLonLat = pSrs->IsGeographic() != 0;
    char* pszWkt = nullptr;
    if (pSrs->exportToWkt(&pszWkt) == OGRERR_NONE && pszWkt != nullptr) input.strSrsWkt = pszWkt;
    CPLFree(pszWkt);
  }
  input.strSource = strPath + " (layer " + pLayer->GetName() + ")";

  CProgress progress(bProgress, pLayer->GetFeatureCount(FALSE));
  pLayer->ResetReading();
  GIntBig llDone = 0;
  for (auto& pFeature : *pLayer) {
    progress.Step(++llDone);
    ++input.llFeatures;
    const OGRGeometry* pGeom = pFeature->GetGeometryRef();
    NInputFeature feature;
    feature.strId = iId >= 0 && pFeature->IsFieldSetAndNotNull(iId) ? pFeature->GetFieldAsString(iId)
                                                                     : std::to_string(pFeature->GetFID());
    if (pGeom == nullptr || !IsLineType(pGeom->getGeometryType())) {
      SkipFeature(input, feature.strId, NSkipReason::NotLine,
                  pGeom == nullptr ? "has no geometry" : std::string("is a ") + pGeom->getGeometryName() + ", not a line");
      continue;
    }
    for (int i : attrCols) {
      const bool bNull = !pFeature->IsFieldSetAndNotNull(i);
      feature.values.push_back(bNull ? std::string() : std::string(pFeature->GetFieldAsString(i)));
      feature.isNull.push_back(bNull ? 1 : 0);
    }
    NInputLine proto;
    proto.llFid = pFeature->GetFID();
    proto.lFeature = static_cast<std::int32_t>(input.features.size());
    input.features.push_back(std::move(feature));
    if (iCost >= 0 && pFeature->IsFieldSetAndNotNull(iCost)) proto.dCost = pFeature->GetFieldAsDouble(iCost);
    if (iOneWay >= 0 && pFeature->IsFieldSetAndNotNull(iOneWay))
      proto.cOneWay = ParseOneWay(pFeature->GetFieldAsString(iOneWay));
    if (iDmd >= 0 && pFeature->IsFieldSetAndNotNull(iDmd)) proto.dDmd = pFeature->GetFieldAsDouble(iDmd);
    if (iBlocked >= 0 && pFeature->IsFieldSetAndNotNull(iBlocked))
      proto.bBlocked = ParseFlag(pFeature->GetFieldAsString(iBlocked));
    if (wkbFlatten(pGeom->getGeometryType()) == wkbLineString) {
      AddPart(*pGeom->toLineString(), proto, input);
    } else {
      for (const OGRLineString* pPart : *pGeom->toMultiLineString()) AddPart(*pPart, proto, input);
    }
  }
  progress.Done(llDone);
  return true;
}

bool ReadOgrPoints(const std::string& strPath, std::vector<NLinePoint_stru>& pts, std::string& strError) {
  if (!CheckReadable(strPath, strError)) return false;
  GDALAllRegister();
  CPLPushErrorHandler(CPLQuietErrorHandler);
  GDALDatasetUniquePtr ds(GDALDataset::Open(strPath.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
  CPLPopErrorHandler();
  if (!ds || ds->GetLayerCount() < 1) {
    strError = "'" + strPath + "' is not a vector file GDAL/OGR can read";
    return false;
  }
  OGRLayer* pLayer = ds->GetLayer(0);
  for (const auto& feature : *pLayer) {
    const OGRGeometry* g = feature->GetGeometryRef();
    if (g == nullptr) continue;
    const OGRwkbGeometryType eFlat = wkbFlatten(g->getGeometryType());
    if (eFlat == wkbPoint) {
      const OGRPoint* p = g->toPoint();
      pts.push_back(NLinePoint_stru{p->getX(), p->getY()});
    } else if (eFlat == wkbMultiPoint) {
      for (const OGRPoint* p : *g->toMultiPoint()) pts.push_back(NLinePoint_stru{p->getX(), p->getY()});
    }
  }
  if (pts.empty()) {
    strError = "'" + strPath + "' holds no points";
    return false;
  }
  return true;
}
