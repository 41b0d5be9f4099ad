// Member offsets and widths of CLocalNetwork in the current build, measured
// on a live object: hosts reach every member at these byte offsets.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "support/Layout.h"

namespace {

#define KELVANE_MEMBER(m) KELVANE_TEST_MEMBER(net, m)

std::vector<Member> MeasuredMembers(const CLocalNetwork& net) {
  return {KELVANE_MEMBER(m_pEdgeNod),        KELVANE_MEMBER(m_pNodConn),       KELVANE_MEMBER(m_pEdgeWgt1),
          KELVANE_MEMBER(m_pEdgeWgt2),       KELVANE_MEMBER(m_pNodWgt),        KELVANE_MEMBER(m_ppTurnWgt),
          KELVANE_MEMBER(m_pNodState),       KELVANE_MEMBER(m_pUpEdgeState),   KELVANE_MEMBER(m_pDownEdgeState),
          KELVANE_MEMBER(m_pEdgeDirect),     KELVANE_MEMBER(m_pNodDmd),        KELVANE_MEMBER(m_pEdgeDmd),
          KELVANE_MEMBER(m_lTraceFlag),      KELVANE_MEMBER(m_ExtEdgeWgt),     KELVANE_MEMBER(m_pNodTraceBit),
          KELVANE_MEMBER(m_pEdgeTraceBit),   KELVANE_MEMBER(m_lNodNum),        KELVANE_MEMBER(m_lEdgeNum),
          KELVANE_MEMBER(m_lNodWgtFld),      KELVANE_MEMBER(m_lEdgeWgtFld1),   KELVANE_MEMBER(m_lEdgeWgtFld2),
          KELVANE_MEMBER(m_cDmdFld),         KELVANE_MEMBER(m_lTurnWgtFlag),   KELVANE_MEMBER(m_lReserve),
          KELVANE_MEMBER(m_cEdgeDirectMode), KELVANE_MEMBER(m_lNodTraceBytes), KELVANE_MEMBER(m_lEdgeTraceBytes),
          KELVANE_MEMBER(m_BlockedNod),      KELVANE_MEMBER(m_BlockedEdge),    KELVANE_MEMBER(m_ExtEdgeWgtFld)};
}

#undef KELVANE_MEMBER

}  // namespace

TEST(LayoutTest, NetworkMembersSitAtTheCurrentBuildOffsets) {
  const std::vector<Member> expected = {
      {"m_pEdgeNod", 8, 8},         {"m_pNodConn", 16, 8},       {"m_pEdgeWgt1", 24, 8},
      {"m_pEdgeWgt2", 32, 8},       {"m_pNodWgt", 40, 8},        {"m_ppTurnWgt", 48, 8},
      {"m_pNodState", 56, 8},       {"m_pUpEdgeState", 64, 8},   {"m_pDownEdgeState", 72, 8},
      {"m_pEdgeDirect", 80, 8},     {"m_pNodDmd", 88, 8},        {"m_pEdgeDmd", 96, 8},
      {"m_lTraceFlag", 104, 4},     {"m_ExtEdgeWgt", 112, 16},   {"m_pNodTraceBit", 128, 8},
      {"m_pEdgeTraceBit", 136, 8},  {"m_lNodNum", 144, 4},       {"m_lEdgeNum", 148, 4},
      {"m_lNodWgtFld", 152, 4},     {"m_lEdgeWgtFld1", 156, 4},  {"m_lEdgeWgtFld2", 160, 4},
      {"m_cDmdFld", 164, 1},        {"m_lTurnWgtFlag", 168, 4},  {"m_lReserve", 172, 4},
      {"m_cEdgeDirectMode", 176, 1}, {"m_lNodTraceBytes", 180, 4}, {"m_lEdgeTraceBytes", 184, 4},
      {"m_BlockedNod", 192, 32},    {"m_BlockedEdge", 224, 32},  {"m_ExtEdgeWgtFld", 256, 16}};
  CLocalNetwork net;
  const std::vector<Member> measured = MeasuredMembers(net);
  ExpectMembers(measured, expected);
  EXPECT_EQ(sizeof(CLocalNetwork), 272u);
}

TEST(LayoutTest, RecorderKeepsItsElementCountAfterTheVirtualTable) {
  CMyTrace trace;
  trace.m_lElemNum = 0;
  EXPECT_EQ(reinterpret_cast<const char*>(&trace.m_lElemNum) - reinterpret_cast<const char*>(&trace), 8);
  EXPECT_EQ(sizeof(trace.m_lElemNum), 4u);
  EXPECT_TRUE(std::has_virtual_destructor<CMyTrace>::value);
}
