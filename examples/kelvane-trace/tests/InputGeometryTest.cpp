// Reading attributes and CSV rows, and positions along lines: what the
// picture and the output file are drawn from.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "Geometry.h"
#include "Input.h"

namespace {

std::string WriteTemp(const std::string& strName, const std::string& strText) {
  const std::string path = ::testing::TempDir() + "kelvane-trace-" + std::to_string(::getpid()) + "-" + strName;
  std::ofstream(path) << strText;
  return path;
}

}  // namespace

TEST(InputTest, OneWayValuesReadTheWayGisDataWritesThem) {
  for (const char* psz : {"yes", "YES", "true", "1", "FT", "forward", " y "}) EXPECT_EQ(ParseOneWay(psz), 1) << psz;
  for (const char* psz : {"-1", "TF", "reverse", "Backward"}) EXPECT_EQ(ParseOneWay(psz), -1) << psz;
  for (const char* psz : {"", "no", "0", "B", "both", "maybe"}) EXPECT_EQ(ParseOneWay(psz), 0) << psz;
}

TEST(InputTest, CsvRowsKeepQuotedCommasAndNameTheFirstBadRow) {
  NFieldNames fields;
  fields.strDemand = "Demand";
  const std::string good = WriteTemp("good.csv",
                                     "ID,x1,y1,x2,y2,name,demand\r\n"
                                     "7,0,0,10,0,\"Smith, John \"\"Jr\"\"\",4.5\r\n"
                                     "\r\n"
                                     "8,10,0,10,10,x,\n");
  NInputNetwork input;
  std::string strError;
  ASSERT_TRUE(ReadCsv(good, fields, false, input, strError)) << strError;
  ASSERT_EQ(input.lines.size(), 2u);
  EXPECT_EQ(input.lines[0].llFid, 7);
  EXPECT_DOUBLE_EQ(input.lines[0].dDmd, 4.5);  // the quoted comma did not shift the columns
  EXPECT_DOUBLE_EQ(input.lines[1].dDmd, 0.0);
  EXPECT_DOUBLE_EQ(input.lines[1].pts[1].dY, 10.0);

  const std::string bad = WriteTemp("bad.csv", "x1,y1,x2,y2\n0,0,1,1\n0,0,1,north\n");
  NInputNetwork other;
  EXPECT_FALSE(ReadCsv(bad, NFieldNames(), false, other, strError));
  EXPECT_NE(strError.find("row 3"), std::string::npos) << strError;
  const std::string noCols = WriteTemp("nocols.csv", "a,b\n1,2\n");
  EXPECT_FALSE(ReadCsv(noCols, NFieldNames(), false, other, strError));
  EXPECT_NE(strError.find("x1, y1, x2 and y2"), std::string::npos) << strError;
  std::remove(good.c_str());
  std::remove(bad.c_str());
  std::remove(noCols.c_str());
}

TEST(GeometryTest, PositionsAlongALineFollowItsBends) {
  const NProjection flat = MakeProjection(false, 0.0);
  const std::vector<NLinePoint_stru> ell{{0, 0}, {30, 0}, {30, 10}};  // 40 long
  const NLinePoint_stru mid = PointAlong(ell, flat, 0.5);
  EXPECT_DOUBLE_EQ(mid.dX, 20.0);
  EXPECT_DOUBLE_EQ(mid.dY, 0.0);
  const NLinePoint_stru late = PointAlong(ell, flat, 0.875);
  EXPECT_DOUBLE_EQ(late.dX, 30.0);
  EXPECT_DOUBLE_EQ(late.dY, 5.0);
  // A stretch over the bend keeps the bend's vertex.
  const std::vector<NLinePoint_stru> sub = SubLine(ell, flat, 0.5, 0.875);
  ASSERT_EQ(sub.size(), 3u);
  EXPECT_DOUBLE_EQ(sub[0].dX, 20.0);
  EXPECT_DOUBLE_EQ(sub[1].dX, 30.0);
  EXPECT_DOUBLE_EQ(sub[2].dY, 5.0);
  EXPECT_NEAR(PlanarLength(sub, flat), 15.0, 1e-12);
}

TEST(GeometryTest, LonLatFractionsFollowGroundDistanceNotDegrees) {
  // At 60 degrees north a degree of longitude is half a degree of latitude on
  // the ground: an L of one degree east then one north is one third east.
  const NProjection proj = MakeProjection(true, 60.0);
  const std::vector<NLinePoint_stru> ell{{10, 60}, {11, 60}, {11, 61}};
  const NLinePoint_stru corner = PointAlong(ell, proj, 1.0 / 3.0);
  EXPECT_NEAR(corner.dX, 11.0, 1e-9);
  EXPECT_NEAR(corner.dY, 60.0, 1e-9);
}
