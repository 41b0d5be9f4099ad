// The demo on a city-sized layer: the picture rendered to PNG and measured,
// the output file read back with the input's ids and attributes.
#include <cpl_minixml.h>
#include <gdal_priv.h>
#include <gtest/gtest.h>
#include <ogrsf_frmts.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "CityLayer.h"
#include "Demo.h"

namespace {

std::string Temp(const std::string& strName) {
  return ::testing::TempDir() + "kelvane-city-" + std::to_string(::getpid()) + "-" + strName;
}

int CountIn(const CPLXMLNode* pNode, const char* pszTag) {
  int n = 0;
  for (const CPLXMLNode* p = pNode; p != nullptr; p = p->psNext) {
    if (p->eType == CXT_Element && std::string(p->pszValue) == pszTag) ++n;
    n += CountIn(p->psChild, pszTag);
  }
  return n;
}

const CPLXMLNode* Group(const CPLXMLNode* pSvg, const char* pszId) {
  for (const CPLXMLNode* p = pSvg->psChild; p != nullptr; p = p->psNext)
    if (p->eType == CXT_Element && std::string(CPLGetXMLValue(p, "id", "")) == pszId) return p;
  return nullptr;
}

}  // namespace

TEST(CityPictureTest, CityLayerGivesAReadablePictureAndFeaturesWithTheirOwnIds) {
  const std::string strCity = Temp("city.gpkg"), strSvg = Temp("city.svg"), strPng = Temp("city.png");
  const std::string strOut = Temp("traced.gpkg");
  NCityInfo info;
  ASSERT_TRUE(WriteCityLayer(strCity, 156, info));
  ASSERT_GT(info.nFeatures, 19000);
  const std::string strFlag = std::to_string(info.dCentreLon) + "," + std::to_string(info.dCentreLat);
  std::vector<std::string> args = {"kelvane-trace", strCity, "--oneway-field", "oneway", "--flag", strFlag,
                                   "--svg", strSvg, "--out", strOut, "--quiet", "--direction", "connected"};
  // Barriers on every bridge keep the trace west of the river.
  ASSERT_GE(info.bridges.size(), 3u);
  for (const auto& b : info.bridges) args.insert(args.end(), {"--barrier", std::to_string(b.first) + "," + std::to_string(b.second)});
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  NOptions opt;
  std::string strError;
  ASSERT_TRUE(ParseOptions(static_cast<int>(argv.size()), argv.data(), opt, strError)) << strError;
  NDemoRun run;
  std::ostringstream out, err;
  ASSERT_EQ(RunDemo(opt, out, err, run), 0) << err.str();
  ASSERT_GT(run.demo.nods.size(), 15000u);
  ASSERT_GT(run.trace.edges.GetSize(), 1000);

  // Node dots and one-way arrows only where they can be seen; the header fits.
  CPLXMLNode* pRoot = CPLParseXMLFile(strSvg.c_str());
  ASSERT_NE(pRoot, nullptr);
  const CPLXMLNode* pSvg = CPLGetXMLNode(pRoot, "=svg");
  ASSERT_NE(pSvg, nullptr);
  EXPECT_EQ(CountIn(Group(pSvg, "nodes")->psChild, "circle"), 0);
  const int nArrows = CountIn(Group(pSvg, "attributes")->psChild, "polygon");
  EXPECT_GT(nArrows, 0);
  EXPECT_LT(nArrows, info.nOneWay / 2);
  EXPECT_NE(Group(pSvg, "scale"), nullptr);
  const double dWidth = CPLAtof(CPLGetXMLValue(pSvg, "width", "0"));
  for (const CPLXMLNode* p = pSvg->psChild; p != nullptr; p = p->psNext) {
    if (p->eType != CXT_Element || std::string(p->pszValue) != "text") continue;
    const std::string text = CPLGetXMLValue(p, nullptr, "");
    EXPECT_LE(30.0 + 7.6 * static_cast<double>(text.size()), dWidth) << text;
  }
  CPLDestroyXMLNode(pRoot);

  // Rendered, the traced colour and the untraced grey both cover a real share
  // of the picture: neither drowns the other.
  const std::string strConvert = "rsvg-convert '" + strSvg + "' -o '" + strPng + "'";
  ASSERT_EQ(std::system(strConvert.c_str()), 0) << "needs rsvg-convert (Debian: librsvg2-bin) to render the picture";
  GDALDatasetUniquePtr png(GDALDataset::Open(strPng.c_str(), GDAL_OF_RASTER));
  ASSERT_TRUE(png);
  const int w = png->GetRasterXSize(), h = png->GetRasterYSize();
  ASSERT_GE(png->GetRasterCount(), 3);
  std::vector<unsigned char> rgb(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 3);
  int bands[] = {1, 2, 3};
  ASSERT_EQ(png->RasterIO(GF_Read, 0, 0, w, h, rgb.data(), w, h, GDT_Byte, 3, bands, 3, 3 * w, 1, nullptr), CE_None);
  std::size_t nTraced = 0, nGrey = 0;
  for (std::size_t i = 0; i + 2 < rgb.size(); i += 3) {
    const int r = rgb[i], g = rgb[i + 1], b = rgb[i + 2];
    if (b > 120 && b > r + 60 && b > g + 20) ++nTraced;
    if (r > 120 && r < 235 && std::abs(r - g) < 12 && std::abs(g - b) < 12) ++nGrey;
  }
  const double dPixels = static_cast<double>(w) * h;
  EXPECT_GT(static_cast<double>(nTraced) / dPixels, 0.01);
  EXPECT_GT(static_cast<double>(nGrey) / dPixels, 0.01);
  if (const char* pszKeep = std::getenv("KELVANE_CITY_PNG")) std::rename(strPng.c_str(), pszKeep);

  // Output: the input's own osm_id, its attributes, one feature per street.
  GDALDatasetUniquePtr ds(GDALDataset::Open(strOut.c_str(), GDAL_OF_VECTOR));
  ASSERT_TRUE(ds);
  OGRLayer* pLayer = ds->GetLayer(0);
  EXPECT_GE(pLayer->GetLayerDefn()->GetFieldIndex("highway"), 0);
  std::size_t nWhole = 0, nWholeOnePart = 0;
  for (auto& f : *pLayer) {
    EXPECT_GE(f->GetFieldAsInteger64("src_fid"), 4000000);
    if (f->GetFieldAsDouble("fraction") < 1.0 - 1e-9) continue;
    ++nWhole;
    const OGRGeometry* pGeom = f->GetGeometryRef();
    if (pGeom != nullptr && pGeom->toMultiLineString()->getNumGeometries() == 1) ++nWholeOnePart;
  }
  EXPECT_GT(nWhole, 1000u);
  EXPECT_EQ(nWholeOnePart, nWhole);
  ds.reset();
  for (const std::string& s : {strCity, strSvg, strPng, strOut}) std::remove(s.c_str());
}
