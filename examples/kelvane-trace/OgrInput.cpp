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
    if (m_bShown)
      std::fprintf(stderr, "%sreading features: %lld done\n", m_bTty ? "\r" : "", static_cast<long long>(llDone));
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

// The layer named, else the first whose declared type is a line, else the
// first of unknown type (GeoJSON and CSV often declare none).
OGRLayer* PickLayer(GDALDataset& ds, const std::string& strPath, const std::string& strLayer, std::string& strError) {
  if (!strLayer.empty()) {
    OGRLayer* pLayer = ds.GetLayerByName(strLayer.c_str());
    if (pLayer == nullptr) strError = "'" + strPath + "' has no layer named '" + strLayer + "'";
    return pLayer;
  }
  for (int i = 0; i < ds.GetLayerCount(); ++i)
    if (IsLineType(ds.GetLayer(i)->GetGeomType())) return ds.GetLayer(i);
  for (int i = 0; i < ds.GetLayerCount(); ++i)
    if (wkbFlatten(ds.GetLayer(i)->GetGeomType()) == wkbUnknown) return ds.GetLayer(i);
  strError = "'" + strPath + "' has no line layer (name one with --layer)";
  return nullptr;
}

// Where each attribute the demo reads stands in the layer; -1 for not read.
struct NOgrFields {
  int iCost = -1, iOneWay = -1, iDmd = -1, iBlocked = -1, iId = -1;
  std::vector<int> attrs;  // carried to the output
};

bool FindFields(OGRLayer& layer, const NFieldNames& fields, NOgrFields& f, NInputNetwork& input,
                std::string& strError) {
  OGRFeatureDefn* pDefn = layer.GetLayerDefn();
  f.iCost = FieldIndex(pDefn, fields.strCost, strError);
  f.iOneWay = FieldIndex(pDefn, fields.strOneWay, strError);
  f.iDmd = FieldIndex(pDefn, fields.strDemand, strError);
  f.iBlocked = FieldIndex(pDefn, fields.strBlocked, strError);
  // The feature's own id: the field named, else one called id or osm_id, else OGR's number.
  f.iId = FieldIndex(pDefn, fields.strId, strError);
  if (fields.strId.empty())
    f.iId = pDefn->GetFieldIndex("id") >= 0 ? pDefn->GetFieldIndex("id") : pDefn->GetFieldIndex("osm_id");
  if (!strError.empty()) {
    strError += " in layer '" + std::string(layer.GetName()) + "'";
    return false;
  }
  input.cIdType = f.iId < 0 ? 'i' : AttrType(pDefn->GetFieldDefn(f.iId)->GetType()) == 'i' ? 'i' : 's';
  return PickAttrs(pDefn, fields, f.attrs, input, strError);
}

void ReadSrs(OGRLayer& layer, NInputNetwork& input) {
  const OGRSpatialReference* pSrs = layer.GetSpatialRef();
  if (pSrs == nullptr) return;
  input.bLonLat = pSrs->IsGeographic() != 0;
  char* pszWkt = nullptr;
  if (pSrs->exportToWkt(&pszWkt) == OGRERR_NONE && pszWkt != nullptr) input.strSrsWkt = pszWkt;
  CPLFree(pszWkt);
}

// A field's value, when the feature has one.
bool Has(OGRFeature& feature, int i) { return i >= 0 && feature.IsFieldSetAndNotNull(i); }

// One feature: skipped when it has no line, else its attributes and one line per part.
void ReadFeature(OGRFeature& feat, const NOgrFields& f, NInputNetwork& input) {
  ++input.llFeatures;
  const OGRGeometry* pGeom = feat.GetGeometryRef();
  NInputFeature feature;
  feature.strId = Has(feat, f.iId) ? feat.GetFieldAsString(f.iId) : std::to_string(feat.GetFID());
  if (pGeom == nullptr || !IsLineType(pGeom->getGeometryType())) {
    SkipFeature(
        input, feature.strId, NSkipReason::NotLine,
        pGeom == nullptr ? "has no geometry" : std::string("is a ") + pGeom->getGeometryName() + ", not a line");
    return;
  }
  for (int i : f.attrs) {
    const bool bNull = !feat.IsFieldSetAndNotNull(i);
    feature.values.push_back(bNull ? std::string() : std::string(feat.GetFieldAsString(i)));
    feature.isNull.push_back(bNull ? 1 : 0);
  }
  NInputLine proto;
  proto.llFid = feat.GetFID();
  proto.lFeature = static_cast<std::int32_t>(input.features.size());
  input.features.push_back(std::move(feature));
  if (Has(feat, f.iCost)) proto.dCost = feat.GetFieldAsDouble(f.iCost);
  if (Has(feat, f.iOneWay)) proto.cOneWay = ParseOneWay(feat.GetFieldAsString(f.iOneWay));
  if (Has(feat, f.iDmd)) proto.dDmd = feat.GetFieldAsDouble(f.iDmd);
  if (Has(feat, f.iBlocked)) proto.bBlocked = ParseFlag(feat.GetFieldAsString(f.iBlocked));
  if (wkbFlatten(pGeom->getGeometryType()) == wkbLineString) {
    AddPart(*pGeom->toLineString(), proto, input);
  } else {
    for (const OGRLineString* pPart : *pGeom->toMultiLineString()) AddPart(*pPart, proto, input);
  }
}

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
  OGRLayer* pLayer = PickLayer(*ds, strPath, strLayer, strError);
  if (pLayer == nullptr) return false;
  if (!strWhere.empty() && pLayer->SetAttributeFilter(strWhere.c_str()) != OGRERR_NONE) {
    strError = "the filter '" + strWhere + "' is not a valid condition on layer '" + pLayer->GetName() + "'";
    return false;
  }
  NOgrFields f;
  if (!FindFields(*pLayer, fields, f, input, strError)) return false;
  ReadSrs(*pLayer, input);
  input.strSource = strPath + " (layer " + pLayer->GetName() + ")";
  if (ds->GetDriver() != nullptr) input.strDriver = ds->GetDriver()->GetDescription();
  CProgress progress(bProgress, pLayer->GetFeatureCount(FALSE));
  pLayer->ResetReading();
  GIntBig llDone = 0;
  for (auto& pFeature : *pLayer) {
    progress.Step(++llDone);
    ReadFeature(*pFeature, f, input);
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
