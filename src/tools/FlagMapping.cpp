// FlagMapping.cpp - CheckFlags, the host's policy and MapNetFlag in one call.
#include "kelvane/tools/FlagMapping.h"

#include <new>
#include <string>
#include <utility>
#include <vector>

#include "tools/ToolsInt.h"

namespace kelvane {
namespace tools {

namespace {

// The list MapNetFlag gets, and for each entry the flag it came from.
struct NKept_stru {
  CSmartArray<NET_FLGstruct> flags;
  std::vector<std::int32_t> owner;
};

// Decides each flag's fate. Returns false with err set when the policy refuses a flag.
bool Decide(const CLocalNetwork& net, const CSmartArray<NET_FLGstruct>& flags, const NFlagPolicy_stru& policy,
            NFlagMapping_stru& res, NKept_stru& kept, NFinding_stru& err) {
  std::vector<NFlagCheck_stru> checks;
  if (CheckFlags(net, flags, checks) < 0) throw std::bad_alloc();  // caught with the rest of the mapping
  res.flags.resize(checks.size());
  for (std::int32_t k = 0; k < flags.GetSize(); ++k) {
    const NFlagCheck_stru& c = checks[static_cast<std::size_t>(k)];
    NMappedFlag_stru& m = res.flags[static_cast<std::size_t>(k)];
    m.eStatus = c.eStatus;
    m.strText = c.strWhat;  // the result leaves naming the flag to the host
    NET_FLGstruct flg = flags.GetAt(k);
    if (c.eStatus == NFlagStatus::PosAtEnd && policy.bEndsOnNodes) {
      // Read from the table: a query would call a closed edge's ends 0.
      const NEdgeNod_stru& ends = net.m_pEdgeNod[flg.lElemID - 1];
      flg.cFlgType = 1;
      flg.lElemID = flg.dPos <= 0.0 ? ends.lFromNod : ends.lToNod;
      flg.dPos = 0.0;
    } else if (c.eStatus == NFlagStatus::PosRepeated && policy.bShareRepeats) {
      m.lSameAs = c.lOther;
      continue;
    } else if (c.eStatus != NFlagStatus::Fine && c.eStatus != NFlagStatus::PosAtEnd &&
               c.eStatus != NFlagStatus::PosRepeated) {
      if (policy.bLeaveOutBad) continue;
      err = NFinding_stru();
      err.eCode = c.eStatus == NFlagStatus::NodOutOfRange || c.eStatus == NFlagStatus::EdgeOutOfRange
                      ? NFindingCode::OutOfRange
                      : NFindingCode::BadArgument;
      err.eKind = NElemKind::Flag;
      err.lElem = k;
      err.strText = c.strText;
      return false;
    }
    kept.flags.Add(flg);
    kept.owner.push_back(k);
  }
  return true;
}

}  // namespace

std::int32_t MapFlags(CLocalNetwork& net, const CSmartArray<NET_FLGstruct>& flags, const NFlagPolicy_stru& policy,
                      CSplitIndex& split, NFlagMapping_stru& out, NFinding_stru* pError) {
  NFinding_stru err;
  bool bMapped = false;
  try {
    NFlagMapping_stru res;
    res.lNodsBefore = net.m_lNodNum;
    res.lEdgesBefore = net.m_lEdgeNum;
    NKept_stru kept;
    if (!Decide(net, flags, policy, res, kept, err)) {
      if (pError != nullptr) *pError = err;
      return 0;
    }
    CSmartArray<NET_FLGstruct> mapped;
    CSmartArray<TEMPEDGE_MAP_EDGE> pieces;
    CSmartArray<std::int32_t> newNods;
    net.MapNetFlag(kept.flags, mapped, pieces, newNods);
    bMapped = true;
    CSplitIndex index;
    if (index.Build(net, kept.flags, mapped, pieces, &err) != 1) {
      if (pError != nullptr) *pError = err;
      return 0;
    }
    for (std::int32_t k = 0; k < mapped.GetSize() && static_cast<std::size_t>(k) < kept.owner.size(); ++k)
      res.flags[static_cast<std::size_t>(kept.owner[static_cast<std::size_t>(k)])].lNod = mapped.GetAt(k).lElemID;
    for (NMappedFlag_stru& m : res.flags)
      if (m.lSameAs >= 0) m.lNod = res.flags[static_cast<std::size_t>(m.lSameAs)].lNod;
    for (std::int32_t i = 0; i < newNods.GetSize(); ++i) res.newNods.push_back(newNods.GetAt(i));
    for (std::int32_t i = 0; i < pieces.GetSize(); ++i) res.pieces.push_back(pieces.GetAt(i));
    for (std::int32_t e = 1; e <= res.lEdgesBefore; ++e) res.lSplitEdges += index.IsSplit(e) ? 1 : 0;
    split = std::move(index);
    out = std::move(res);
  } catch (const std::bad_alloc&) {
    if (pError != nullptr) {
      *pError = NFinding_stru();
      pError->eCode = NFindingCode::NoMemory;
      pError->strText = bMapped ? "out of memory indexing the split; the flags are mapped"
                                : "out of memory checking the flags; nothing mapped";
    }
    return 0;
  }
  return 1;
}

}  // namespace tools
}  // namespace kelvane
