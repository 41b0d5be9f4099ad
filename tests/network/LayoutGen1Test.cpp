// Member offsets and widths of CLocalNetwork in the first-generation build,
// measured on a live object: no extra columns and no recorders.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
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
          KELVANE_MEMBER(m_lTraceFlag),      KELVANE_MEMBER(m_pNodTraceBit),   KELVANE_MEMBER(m_pEdgeTraceBit),
          KELVANE_MEMBER(m_lNodNum),         KELVANE_MEMBER(m_lEdgeNum),       KELVANE_MEMBER(m_lNodWgtFld),
          KELVANE_MEMBER(m_lEdgeWgtFld1),    KELVANE_MEMBER(m_lEdgeWgtFld2),   KELVANE_MEMBER(m_cDmdFld),
          KELVANE_MEMBER(m_lTurnWgtFlag),    KELVANE_MEMBER(m_lReserve),       KELVANE_MEMBER(m_cEdgeDirectMode),
          KELVANE_MEMBER(m_lNodTraceBytes),  KELVANE_MEMBER(m_lEdgeTraceBytes)};
}

#undef KELVANE_MEMBER

}  // namespace

TEST(LayoutTest, NetworkMembersSitAtTheFirstGenerationOffsets) {
  const std::vector<Member> expected = {
      {"m_pEdgeNod", 8, 8},         {"m_pNodConn", 16, 8},        {"m_pEdgeWgt1", 24, 8},
      {"m_pEdgeWgt2", 32, 8},       {"m_pNodWgt", 40, 8},         {"m_ppTurnWgt", 48, 8},
      {"m_pNodState", 56, 8},       {"m_pUpEdgeState", 64, 8},    {"m_pDownEdgeState", 72, 8},
      {"m_pEdgeDirect", 80, 8},     {"m_pNodDmd", 88, 8},         {"m_pEdgeDmd", 96, 8},
      {"m_lTraceFlag", 104, 4},     {"m_pNodTraceBit", 112, 8},   {"m_pEdgeTraceBit", 120, 8},
      {"m_lNodNum", 128, 4},        {"m_lEdgeNum", 132, 4},       {"m_lNodWgtFld", 136, 4},
      {"m_lEdgeWgtFld1", 140, 4},   {"m_lEdgeWgtFld2", 144, 4},   {"m_cDmdFld", 148, 1},
      {"m_lTurnWgtFlag", 152, 4},   {"m_lReserve", 156, 4},       {"m_cEdgeDirectMode", 160, 1},
      {"m_lNodTraceBytes", 164, 4}, {"m_lEdgeTraceBytes", 168, 4}};
  CLocalNetwork net;
  const std::vector<Member> measured = MeasuredMembers(net);
  ExpectMembers(measured, expected);
  EXPECT_EQ(sizeof(CLocalNetwork), 176u);
}
