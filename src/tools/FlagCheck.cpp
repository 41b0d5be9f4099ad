// FlagCheck.cpp - what flag mapping will make of each of a host's flags,
// judged by the same limits that mapping applies before it splits an edge.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "kelvane/tools/NetworkCheck.h"
#include "tools/ToolsInt.h"

namespace kelvane {
namespace tools {

namespace {

// An edge flag that may still repeat another's position.
struct NPlaced_stru {
  std::int32_t lEdge;
  double dPos;
  std::int32_t lIndex;
};

// strWhat is the sentence without the flag named: "flag j: " goes before it.
void Set(NFlagCheck_stru& check, NFlagStatus eStatus, std::int32_t j, std::string strWhat) {
  check.eStatus = eStatus;
  check.strText = Format("flag %d: ", j) + strWhat;
  check.strWhat = std::move(strWhat);
}

// Numbers that flag mapping can work on: within the counts and with an entry
// in every table it reads.
struct NLimits_stru {
  std::int32_t lNods;
  std::int32_t lEdges;
};

// The faults a flag has on its own. Returns true for an edge flag that passes
// them, whose position may still repeat another's or sit at an end.
bool JudgeAlone(const CLocalNetwork& net, const NLimits_stru& lim, const NET_FLGstruct& flag, std::int32_t j,
                NFlagCheck_stru& check) {
  const std::int32_t id = flag.lElemID;
  if (flag.cFlgType == 1) {
    if (id < 1 || id > lim.lNods) {
      Set(check, NFlagStatus::NodOutOfRange, j,
          Format("node %d is not a node (the network has nodes 1 to %d)", id, lim.lNods));
    }
    return false;
  }
  if (flag.cFlgType != 2) {
    Set(check, NFlagStatus::OtherKind, j,
        Format("kind %d is neither 1 (node) nor 2 (edge); it passes through unmapped",
               static_cast<int>(flag.cFlgType)));
    return false;
  }
  if (id < 1 || id > lim.lEdges) {
    Set(check, NFlagStatus::EdgeOutOfRange, j,
        Format("edge %d is not an edge (the network has edges 1 to %d)", id, lim.lEdges));
    return false;
  }
  if (net.m_pUpEdgeState[id - 1] == 2 && net.m_pDownEdgeState[id - 1] == 2) {
    Set(check, NFlagStatus::EdgeSplit, j,
        Format("edge %d was split (or deleted) already; flag its pieces instead", id));
    return false;
  }
  const NEdgeNod_stru& ends = net.m_pEdgeNod[id - 1];
  const bool bFromOk = ends.lFromNod >= 1 && ends.lFromNod <= lim.lNods;
  if (!bFromOk || ends.lToNod < 1 || ends.lToNod > lim.lNods) {
    Set(check, NFlagStatus::EdgeEndsBroken, j,
        Format("edge %d runs from %d to %d, which are not both nodes; it cannot be split", id,
               ends.lFromNod, ends.lToNod));
    return false;
  }
  if (std::isnan(flag.dPos)) {
    Set(check, NFlagStatus::PosNaN, j, Format("the position on edge %d is not a number", id));
    return false;
  }
  if (flag.dPos < 0.0 || flag.dPos > 1.0) {
    Set(check, NFlagStatus::PosOutOfRange, j,
        Format("position %g on edge %d is %s; it must lie from 0 to 1", flag.dPos, id,
               flag.dPos < 0.0 ? "below 0" : "above 1"));
    return false;
  }
  return true;
}

// Flags at one position on one edge sort next to each other; each after the
// first repeats the first (in input order). A flag repeating none may still
// sit at an end node.
void JudgeTogether(const CLocalNetwork& net, std::vector<NPlaced_stru>& placed, std::vector<NFlagCheck_stru>& checks) {
  std::sort(placed.begin(), placed.end(), [](const NPlaced_stru& a, const NPlaced_stru& b) {
    if (a.lEdge != b.lEdge) return a.lEdge < b.lEdge;
    if (a.dPos != b.dPos) return a.dPos < b.dPos;
    return a.lIndex < b.lIndex;
  });
  std::size_t first = 0;
  for (std::size_t k = 0; k < placed.size(); ++k) {
    const NPlaced_stru& p = placed[k];
    if (k > 0 && (p.lEdge != placed[k - 1].lEdge || p.dPos != placed[k - 1].dPos)) first = k;
    NFlagCheck_stru& check = checks[static_cast<std::size_t>(p.lIndex)];
    if (k != first) {
      check.lOther = placed[first].lIndex;
      Set(check, NFlagStatus::PosRepeated, p.lIndex,
          Format("position %g on edge %d repeats flag %d; a piece of length 0 will join their nodes", p.dPos,
                 p.lEdge, check.lOther));
    } else if (p.dPos == 0.0 || p.dPos == 1.0) {
      const bool bFrom = p.dPos == 0.0;
      const NEdgeNod_stru& ends = net.m_pEdgeNod[p.lEdge - 1];
      const std::int32_t lNod = bFrom ? ends.lFromNod : ends.lToNod;
      Set(check, NFlagStatus::PosAtEnd, p.lIndex,
          Format("position %g is at the %s node %d of edge %d; a piece of length 0 will result (a node "
                 "flag on node %d would do)",
                 p.dPos, bFrom ? "from" : "to", lNod, p.lEdge, lNod));
    }
  }
}

std::int32_t Check(const CLocalNetwork& net, const CSmartArray<NET_FLGstruct>& flags,
                   std::vector<NFlagCheck_stru>& out) {
  const std::int32_t nFlags = flags.GetSize();
  std::vector<NFlagCheck_stru> checks(static_cast<std::size_t>(std::max(nFlags, 0)));
  NLimits_stru lim;
  lim.lNods = static_cast<std::int32_t>(
      std::min<std::int64_t>({std::max(net.m_lNodNum, 0), Entries(net.m_pNodState), Entries(net.m_pNodConn)}));
  lim.lEdges = static_cast<std::int32_t>(std::min<std::int64_t>(
      {std::max(net.m_lEdgeNum, 0), Entries(net.m_pEdgeNod), Entries(net.m_pUpEdgeState),
       Entries(net.m_pDownEdgeState)}));

  std::vector<NPlaced_stru> placed;
  for (std::int32_t j = 0; j < nFlags; ++j) {
    const NET_FLGstruct flag = flags.GetAt(j);
    if (JudgeAlone(net, lim, flag, j, checks[static_cast<std::size_t>(j)])) {
      placed.push_back(NPlaced_stru{flag.lElemID, flag.dPos, j});
    }
  }
  JudgeTogether(net, placed, checks);

  std::int32_t nNotFine = 0;
  for (const NFlagCheck_stru& check : checks) nNotFine += check.eStatus != NFlagStatus::Fine ? 1 : 0;
  out.swap(checks);
  return nNotFine;
}

}  // namespace

std::int32_t CheckFlags(const CLocalNetwork& net, const CSmartArray<NET_FLGstruct>& flags,
                        std::vector<NFlagCheck_stru>& checks) {
  try {
    return Check(net, flags, checks);
  } catch (const std::bad_alloc&) {
    return -1;
  }
}

}  // namespace tools
}  // namespace kelvane
