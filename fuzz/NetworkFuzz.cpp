// NetworkFuzz.cpp - a hostile host for one network.
//
// The input decides the counts, the settings and every table's contents, then
// a run of operations: every public query and setter, the trace operations,
// flag mapping with arbitrary flags, copies and assignments (also while a
// trace is open), and the host's own vandalism: end nodes that name no node,
// connection lists whose count is not their length, entries that name no
// edge, counts rewritten after ReallocMemory. The sanitizers catch every read
// or write outside a table and every leak; the checks below catch a network
// that flag mapping left inconsistent.
//
// The library defends against a broken network but cannot repair it, so the
// harness keeps track of what the host broke: a node whose list it vandalised
// is "tainted" and never checked, and once a count no longer matches the
// tables no structure is checked at all until the next ReallocMemory.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <set>
#include <vector>

#include "FuzzInput.h"
#include "kelvane/LocalNetwork.h"

const char* const kelvane_fuzz::kHarness = "network";

namespace {

using kelvane_fuzz::Check;
using kelvane_fuzz::PickDouble;
using kelvane_fuzz::PickElem;
using kelvane_fuzz::PickSetting;
using kelvane_fuzz::WeightOf;

constexpr std::int32_t kMaxElems = 64;      // nodes and edges of a freshly filled network
constexpr int kMaxOps = 96;                 // operations per input
constexpr std::int32_t kMaxWalk = 512;      // elements walked by a whole-network comparison
constexpr std::int32_t kMaxManyFlags = 1500;  // flags on one edge in the "many flags" case

// What the harness knows about the network it filled.
struct Model {
  std::vector<bool> nodTainted;  // entry n - 1: the host broke node n's list
  bool countsTainted = true;     // counts and tables disagree, or nothing was filled yet
};

bool Tainted(const Model& m, std::int32_t lNod) {
  return lNod < 1 || static_cast<std::size_t>(lNod) > m.nodTainted.size() || m.nodTainted[lNod - 1];
}

void Taint(Model& m, std::int32_t lNod) {
  if (lNod >= 1 && static_cast<std::size_t>(lNod) <= m.nodTainted.size()) m.nodTainted[lNod - 1] = true;
}

std::int32_t PickEdge(FuzzedDataProvider& in, std::int32_t count) {
  std::int32_t e = PickElem(in, count);
  if (e > 0 && in.ConsumeBool()) e = -e;  // either sign names the same edge
  return e;
}

char PickState(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange<int>(0, 7)) {
    case 0:
    case 1:
    case 2:
      return 0;
    case 3:
      return 1;
    case 4:
      return 2;
    default:
      return static_cast<char>(in.ConsumeIntegral<std::uint8_t>());
  }
}

NWeightVal_stru PickWeight(FuzzedDataProvider& in) {
  const auto cType = static_cast<char>(in.ConsumeIntegralInRange<int>(-1, 6));
  switch (cType) {
    case 1:
      return WeightOf(cType, in.ConsumeBool() ? std::numeric_limits<std::int32_t>::min()
                                              : in.ConsumeIntegral<std::int32_t>());
    case 2:
      return WeightOf(cType, in.ConsumeIntegral<std::int16_t>());
    case 3:
      return WeightOf(cType, in.ConsumeBool() ? std::numeric_limits<float>::max() : static_cast<float>(PickDouble(in)));
    default:
      return WeightOf(cType, PickDouble(in));
  }
}

// A count the host writes over one the library made: anything but so large
// that a trace over it would take the run's memory and time.
std::int32_t PickCount(FuzzedDataProvider& in, std::int32_t count) {
  if (in.ConsumeIntegralInRange<int>(0, 7) == 0) return std::numeric_limits<std::int32_t>::min();
  const std::int32_t top = count < 0 || count > (1 << 16) ? 70 : count + 70;
  return in.ConsumeIntegralInRange<std::int32_t>(-3, top);
}

// --- Building: settings, ReallocMemory, then the contents, as a host does. ---

void WriteSettings(CLocalNetwork& net, FuzzedDataProvider& in) {
  const int mode = in.ConsumeIntegralInRange<int>(0, 15);
  net.m_lNodNum = in.ConsumeIntegralInRange<std::int32_t>(0, kMaxElems);
  net.m_lEdgeNum = in.ConsumeIntegralInRange<std::int32_t>(0, kMaxElems);
  if (mode == 0) net.m_lNodNum = -in.ConsumeIntegralInRange<std::int32_t>(1, 3);
  if (mode == 1) net.m_lEdgeNum = std::numeric_limits<std::int32_t>::min();
  net.m_lNodWgtFld = PickSetting(in);
  net.m_lEdgeWgtFld1 = PickSetting(in);
  net.m_lEdgeWgtFld2 = PickSetting(in);
  net.m_cDmdFld = static_cast<char>(PickSetting(in));
  net.m_lTurnWgtFlag = in.ConsumeIntegralInRange<std::int32_t>(-1, 2);
  net.m_cEdgeDirectMode = static_cast<char>(in.ConsumeIntegralInRange<int>(-1, 3));
  net.m_lReserve = in.ConsumeIntegral<std::int32_t>();
#if !KELVANE_FIRST_GENERATION
  net.m_ExtEdgeWgtFld.RemoveAll();
  const int nExt = in.ConsumeIntegralInRange<int>(0, 3);
  for (int i = 0; i < nExt; ++i) net.m_ExtEdgeWgtFld.Add(PickSetting(in));
#endif
}

// Fills a network that ReallocMemory has just sized: consistent connection
// lists (-e at the from node, +e at the to node, a loop listed twice) and
// arbitrary states, weights, demand and turn matrices.
void Fill(CLocalNetwork& net, FuzzedDataProvider& in, Model& m) {
  const std::int32_t nNod = net.m_lNodNum;
  const std::int32_t nEdge = net.m_lEdgeNum;
  m.nodTainted.assign(static_cast<std::size_t>(nNod), false);
  m.countsTainted = false;
  if (net.m_pNodConn == nullptr) return;  // a failed ReallocMemory leaves nothing to fill

  std::vector<std::vector<std::int32_t>> lists(static_cast<std::size_t>(nNod));
  for (std::int32_t e = 1; e <= nEdge; ++e) {
    if (nNod == 0) break;  // edges without nodes keep end nodes 0
    const std::int32_t from = in.ConsumeIntegralInRange<std::int32_t>(1, nNod);
    const std::int32_t to = in.ConsumeBool() ? from : in.ConsumeIntegralInRange<std::int32_t>(1, nNod);
    net.m_pEdgeNod[e - 1].lFromNod = from;
    net.m_pEdgeNod[e - 1].lToNod = to;
    lists[from - 1].push_back(-e);
    lists[to - 1].push_back(e);
  }
  for (std::int32_t n = 1; n <= nNod; ++n) {
    const std::vector<std::int32_t>& list = lists[n - 1];
    if (list.empty() && in.ConsumeBool()) continue;  // a node never given a list
    const auto count = static_cast<std::int16_t>(list.size());
    Check(net.ReallocNodConnEdgeMemory(n, count) == 1, "ReallocNodConnEdgeMemory refused a node in range", n);
    for (std::size_t k = 0; k < list.size(); ++k) net.m_pNodConn[n - 1].pConnEdge[k] = list[k];
    net.m_pNodState[n - 1] = PickState(in);
    if (net.m_pNodWgt != nullptr) net.m_pNodWgt[n - 1] = PickWeight(in);
    if (net.m_pNodDmd != nullptr) net.m_pNodDmd[n - 1] = PickDouble(in);
    if (net.m_ppTurnWgt != nullptr && in.ConsumeBool()) {
      std::int16_t size = count;
      if (in.ConsumeIntegralInRange<int>(0, 3) == 0) size = static_cast<std::int16_t>(in.ConsumeIntegralInRange<int>(-2, 6));
      Check(net.ReallocNodTurnWgtMemory(n, size) == 1, "ReallocNodTurnWgtMemory refused a node in range", n);
      if (size > 0) {
        for (int k = 0; k < size * size; ++k) net.m_ppTurnWgt[n - 1][k] = PickDouble(in);
      }
    }
  }
  for (std::int32_t e = 0; e < nEdge; ++e) {
    net.m_pUpEdgeState[e] = PickState(in);
    net.m_pDownEdgeState[e] = PickState(in);
    if (net.m_pEdgeDirect != nullptr) net.m_pEdgeDirect[e] = static_cast<char>(in.ConsumeIntegral<std::uint8_t>());
    if (net.m_pEdgeDmd != nullptr) net.m_pEdgeDmd[e] = PickDouble(in);
    if (net.m_pEdgeWgt1 != nullptr) net.m_pEdgeWgt1[e] = PickWeight(in);
    if (net.m_pEdgeWgt2 != nullptr) net.m_pEdgeWgt2[e] = PickWeight(in);
  }
  kelvane_fuzz::FillExtWeights(net, in, nEdge, PickWeight);
}

void Build(CLocalNetwork& net, FuzzedDataProvider& in, Model& m) {
  WriteSettings(net, in);
  const std::int32_t nNod = net.m_lNodNum;
  const std::int32_t nEdge = net.m_lEdgeNum;
  const std::int32_t ok = net.ReallocMemory();
  const bool mustFail = nNod < 0 || nEdge < 0;
  if (mustFail) {
    Check(ok == 0, "ReallocMemory accepted a count it cannot hold", nNod, nEdge);
    Check(net.m_lNodNum == 0 && net.m_lEdgeNum == 0, "a failed ReallocMemory left counts", net.m_lNodNum,
          net.m_lEdgeNum);
    Check(net.m_pNodConn == nullptr && net.m_pEdgeNod == nullptr, "a failed ReallocMemory left tables");
  } else {
    Check(ok == 1, "ReallocMemory failed for a small network", nNod, nEdge);
  }
  Fill(net, in, m);
}

// --- Checks ---

// Every entry of node lNod's list names an existing edge whose end agrees with
// its sign: -e where e starts at the node, +e where it ends there.
void CheckNodeList(const CLocalNetwork& net, std::int32_t lNod) {
  const NNodConn_stru& conn = net.m_pNodConn[lNod - 1];
  if (conn.sConnNum <= 0) return;
  Check(conn.pConnEdge != nullptr, "a node with connections has no list", lNod, conn.sConnNum);
  for (std::int32_t k = 0; k < conn.sConnNum; ++k) {
    const std::int32_t entry = conn.pConnEdge[k];
    Check(entry != 0 && entry != std::numeric_limits<std::int32_t>::min(), "a list entry names no edge", lNod, entry);
    const std::int32_t e = entry < 0 ? -entry : entry;
    Check(e <= net.m_lEdgeNum, "a list entry names an edge past the last", lNod, entry);
    const NEdgeNod_stru& ends = net.m_pEdgeNod[e - 1];
    if (entry < 0) {
      Check(ends.lFromNod == lNod, "a -e entry at a node where e does not start", lNod, entry);
    } else {
      Check(ends.lToNod == lNod, "a +e entry at a node where e does not end", lNod, entry);
    }
  }
}

// Whether the library must map this flag: an edge flag at a number on a live
// edge whose end nodes exist. Anything else it skips, touching nothing.
bool MustMap(const CLocalNetwork& net, const NET_FLGstruct& flag) {
  const std::int32_t e = flag.lElemID;
  if (flag.cFlgType != 2 || e < 1 || e > net.m_lEdgeNum || std::isnan(flag.dPos)) return false;
  if (net.m_pUpEdgeState[e - 1] == 2 && net.m_pDownEdgeState[e - 1] == 2) return false;
  const NEdgeNod_stru& ends = net.m_pEdgeNod[e - 1];
  return ends.lFromNod >= 1 && ends.lFromNod <= net.m_lNodNum && ends.lToNod >= 1 && ends.lToNod <= net.m_lNodNum;
}

NET_FLGstruct PickFlag(FuzzedDataProvider& in, const CLocalNetwork& net) {
  NET_FLGstruct flag = NET_FLGstruct();  // value-initialised: the padding is zero too, so records compare bytewise
  const int kind = in.ConsumeIntegralInRange<int>(0, 7);
  flag.cFlgType = kind < 5 ? 2 : (kind == 5 ? 1 : static_cast<char>(in.ConsumeIntegral<std::uint8_t>()));
  flag.lElemID = PickElem(in, flag.cFlgType == 1 ? net.m_lNodNum : net.m_lEdgeNum);
  flag.dPos = in.ConsumeBool() ? in.ConsumeFloatingPointInRange<double>(0.0, 1.0) : PickDouble(in);
  const std::size_t nText = in.ConsumeIntegralInRange<std::size_t>(0, sizeof flag.szFlgText);
  const std::vector<std::uint8_t> text = in.ConsumeBytes<std::uint8_t>(nText);
  if (!text.empty()) std::memcpy(flag.szFlgText, text.data(), text.size());  // may lack a terminator
  return flag;
}

void MapFlags(CLocalNetwork& net, FuzzedDataProvider& in, Model& m) {
  CSmartArray<NET_FLGstruct> flags;
  const int shape = in.ConsumeIntegralInRange<int>(0, 9);
  if (shape == 0) {
    // Many flags on one edge.
    NET_FLGstruct flag = PickFlag(in, net);
    flag.cFlgType = 2;
    const std::int32_t n = in.ConsumeIntegralInRange<std::int32_t>(2, kMaxManyFlags);
    const bool samePos = in.ConsumeBool();
    for (std::int32_t i = 0; i < n; ++i) {
      if (!samePos) flag.dPos = static_cast<double>((i * 7919) % 1000) / 1000.0;
      flags.Add(flag);
    }
  } else {
    const int n = in.ConsumeIntegralInRange<int>(0, 24);
    for (int i = 0; i < n; ++i) flags.Add(PickFlag(in, net));
  }
  const bool inPlace = in.ConsumeIntegralInRange<int>(0, 7) == 0;  // one list as input and output

  // Predictions, made before the network changes.
  const bool check = !m.countsTainted;
  const std::int32_t nIn = flags.GetSize();
  const std::int32_t oldNod = net.m_lNodNum;
  const std::int32_t oldEdge = net.m_lEdgeNum;
  std::vector<NET_FLGstruct> before(static_cast<std::size_t>(nIn));
  std::vector<bool> mapped(static_cast<std::size_t>(nIn), false);
  std::map<std::int32_t, std::int32_t> groups;  // edge -> flags mapped on it
  for (std::int32_t j = 0; j < nIn; ++j) {
    before[j] = flags.GetAt(j);
    if (check && MustMap(net, before[j])) {
      mapped[j] = true;
      ++groups[before[j].lElemID];
    }
  }
  std::map<std::int32_t, NEdgeNod_stru> ends;
  for (const auto& g : groups) ends[g.first] = net.m_pEdgeNod[g.first - 1];

  CSmartArray<NET_FLGstruct> outOwn;
  CSmartArray<NET_FLGstruct>& out = inPlace ? flags : outOwn;
  if (!inPlace && in.ConsumeBool()) out.Add(NET_FLGstruct());  // stale content must go
  CSmartArray<TEMPEDGE_MAP_EDGE> tempEdges;
  CSmartArray<std::int32_t> newNods;
  tempEdges.Add(TEMPEDGE_MAP_EDGE{-1, -1});
  newNods.Add(-1);
  Check(net.MapNetFlag(flags, out, tempEdges, newNods) == 1, "MapNetFlag did not return 1");
  Check(out.GetSize() == nIn, "output flags not as many as input flags", out.GetSize(), nIn);
  if (!check) return;

  std::int32_t nMapped = 0;
  for (bool b : mapped) nMapped += b ? 1 : 0;
  const auto nPieces = static_cast<std::int32_t>(nMapped + static_cast<std::int32_t>(groups.size()));
  Check(newNods.GetSize() == nMapped, "not one new node per mapped flag", newNods.GetSize(), nMapped);
  Check(tempEdges.GetSize() == nPieces, "pieces are not mapped flags plus groups", tempEdges.GetSize(), nPieces);
  Check(net.m_lNodNum == oldNod + nMapped, "node count did not grow by the new nodes", net.m_lNodNum, oldNod);
  Check(net.m_lEdgeNum == oldEdge + nPieces, "edge count did not grow by the pieces", net.m_lEdgeNum, oldEdge);
  for (std::int32_t i = 0; i < nMapped; ++i) {
    Check(newNods.GetAt(i) == oldNod + 1 + i, "new nodes not numbered on from the old count", i, newNods.GetAt(i));
  }
  m.nodTainted.resize(static_cast<std::size_t>(net.m_lNodNum), false);

  // Output flags: mapped ones sit on distinct new nodes, the rest are as given.
  std::vector<double> posOfNod(static_cast<std::size_t>(nMapped), 0.0);
  std::vector<std::int32_t> edgeOfNod(static_cast<std::size_t>(nMapped), 0);
  std::set<std::int32_t> seen;
  for (std::int32_t j = 0; j < nIn; ++j) {
    const NET_FLGstruct got = out.GetAt(j);
    if (!mapped[j]) {
      Check(std::memcmp(&got, &before[j], sizeof got) == 0, "an unmapped flag changed", j, got.cFlgType);
      continue;
    }
    Check(got.cFlgType == 1 && got.dPos == 0.0 && got.szFlgText[0] == 0, "a mapped flag is no plain node flag", j);
    Check(got.lElemID > oldNod && got.lElemID <= net.m_lNodNum, "a mapped flag names no new node", j, got.lElemID);
    Check(seen.insert(got.lElemID).second, "two flags on one new node", j, got.lElemID);
    posOfNod[got.lElemID - oldNod - 1] = before[j].dPos;
    edgeOfNod[got.lElemID - oldNod - 1] = before[j].lElemID;
  }

  // Pieces group by group in ascending edge order, each group's nodes in
  // ascending position, the chain running from the edge's from node to its to node.
  std::int32_t piece = oldEdge;
  std::int32_t nod = oldNod;
  for (const auto& g : groups) {
    const std::int32_t e = g.first;
    const NEdgeNod_stru end = ends[e];
    std::int32_t prevNod = end.lFromNod;
    for (std::int32_t k = 0; k <= g.second; ++k) {
      ++piece;
      const TEMPEDGE_MAP_EDGE line = tempEdges.GetAt(piece - oldEdge - 1);
      Check(line.lTempEdgeID == piece && line.lEdgeID == e, "map line out of order", line.lTempEdgeID, line.lEdgeID);
      const NEdgeNod_stru pieceEnds = net.m_pEdgeNod[piece - 1];
      const std::int32_t nextNod = k < g.second ? nod + 1 : end.lToNod;
      Check(pieceEnds.lFromNod == prevNod && pieceEnds.lToNod == nextNod, "a piece is not in the chain", piece,
            pieceEnds.lFromNod);
      if (k < g.second) {
        ++nod;
        Check(edgeOfNod[nod - oldNod - 1] == e, "a new node belongs to another edge", nod, e);
        if (k > 0) {
          const double p0 = posOfNod[nod - oldNod - 2];
          const double p1 = posOfNod[nod - oldNod - 1];
          Check(!(p1 < p0), "new nodes not in ascending position", nod, e);
        }
        const NNodConn_stru& conn = net.m_pNodConn[nod - 1];
        Check(conn.sConnNum == 2, "a new node has not two connections", nod, conn.sConnNum);
        Check(conn.pConnEdge[0] == piece && conn.pConnEdge[1] == -(piece + 1), "a new node's list is wrong", nod);
        CheckNodeList(net, nod);
      }
      prevNod = nextNod;
    }
    Check(net.m_pUpEdgeState[e - 1] == 2 && net.m_pDownEdgeState[e - 1] == 2, "a split edge is not deleted", e);
    if (!Tainted(m, end.lFromNod)) CheckNodeList(net, end.lFromNod);
    if (!Tainted(m, end.lToNod)) CheckNodeList(net, end.lToNod);
  }
}

// --- Operations ---

void QueryStates(CLocalNetwork& net, FuzzedDataProvider& in) {
  char c = 0;
  const std::int32_t n = PickElem(in, net.m_lNodNum);
  const std::int32_t e = PickEdge(in, net.m_lEdgeNum);
  const char v = PickState(in);
  switch (in.ConsumeIntegralInRange<int>(0, 7)) {
    case 0:
      net.GetNodState(n, c);
      break;
    case 1:
      net.SetNodState(n, v);
      break;
    case 2:
      net.GetUpEdgeState(e, c);
      break;
    case 3:
      net.SetUpEdgeState(e, v);
      break;
    case 4:
      net.GetDownEdgeState(e, c);
      break;
    case 5:
      net.SetDownEdgeState(e, v);
      break;
    case 6:
      net.GetEdgeDirect(e, c);
      break;
    default:
      net.SetEdgeDirect(e, v);
      break;
  }
}

void CheckEdgeList(const CSmartArray<std::int32_t>& edges, const Model& m, std::int32_t nEdge) {
  if (m.countsTainted) return;
  for (std::int32_t i = 0; i < edges.GetSize(); ++i) {
    const std::int32_t e = edges.GetAt(i);
    Check(e != 0 && e != std::numeric_limits<std::int32_t>::min() && (e < 0 ? -e : e) <= nEdge,
          "a connectivity list names no edge", i, e);
  }
}

void QueryConnectivity(CLocalNetwork& net, FuzzedDataProvider& in, const Model& m) {
  CSmartArray<std::int32_t> edges;
  if (in.ConsumeBool()) edges.Add(12345);  // stale content
  std::int32_t a = -7;
  std::int32_t b = -7;
  const std::int32_t n = PickElem(in, net.m_lNodNum);
  switch (in.ConsumeIntegralInRange<int>(0, 4)) {
    case 0:
      net.GetEdgeFromToNod(PickEdge(in, net.m_lEdgeNum), a, b);
      break;
    case 1:
      net.GetNodConnEdgeNum(n, a);
      break;
    case 2:
      if (net.GetNodConnEdgeS(n, edges) == 1) CheckEdgeList(edges, m, net.m_lEdgeNum);
      break;
    case 3:
      if (net.GetNodConnUpEdgeS(n, edges) == 1) CheckEdgeList(edges, m, net.m_lEdgeNum);
      break;
    default:
      if (net.GetNodConnDownEdgeS(n, edges) == 1) CheckEdgeList(edges, m, net.m_lEdgeNum);
      break;
  }
}

std::int32_t PickColumn(FuzzedDataProvider& in, const CLocalNetwork& net) {
  switch (in.ConsumeIntegralInRange<int>(0, 4)) {
    case 0:
      return net.m_lNodWgtFld;
    case 1:
      return net.m_lEdgeWgtFld1;
    case 2:
      return net.m_lEdgeWgtFld2;
#if !KELVANE_FIRST_GENERATION
    case 3:
      return net.m_ExtEdgeWgtFld.GetAt(in.ConsumeIntegralInRange<std::int32_t>(0, 3));
#endif
    default:
      return PickSetting(in);
  }
}

void QueryWeights(CLocalNetwork& net, FuzzedDataProvider& in) {
  NWeightVal_stru w;
  double d = 0.0;
  CSmartArray<std::int32_t> edges;
  CSmartArray<double> weights;
  const std::int32_t n = PickElem(in, net.m_lNodNum);
  switch (in.ConsumeIntegralInRange<int>(0, 5)) {
    case 0:
      net.GetNodWgtVal(n, PickColumn(in, net), w);
      break;
    case 1:
      net.GetEdgeWgtVal(PickEdge(in, net.m_lEdgeNum), PickColumn(in, net), w);
      break;
    case 2:
      net.GetTurnWgtVal(n, PickEdge(in, net.m_lEdgeNum), PickEdge(in, net.m_lEdgeNum), d);
      break;
    case 3:
      if (net.GetTurnWgtMatrix(n, edges, weights) == 1) {
        const std::int64_t side = edges.GetSize();
        Check(weights.GetSize() == 0 || weights.GetSize() == side * side, "a turn matrix of the wrong size",
              weights.GetSize(), static_cast<long>(side));
      }
      break;
    case 4:
      net.GetNodDmdVal(n, d);
      break;
    default:
      net.GetEdgeDmdVal(PickEdge(in, net.m_lEdgeNum), d);
      break;
  }
}

void CheckAscending(const CSmartArray<std::int32_t>& list, std::int32_t count, const Model& m) {
  for (std::int32_t i = 0; i < list.GetSize(); ++i) {
    const std::int32_t v = list.GetAt(i);
    Check(v >= 1, "a trace list holds a number below 1", i, v);
    if (!m.countsTainted) Check(v <= count, "a trace list holds a number past the count", i, v);
    if (i > 0) Check(list.GetAt(i - 1) < v, "a trace list is not strictly ascending", i, v);
  }
}

void TraceOps(CLocalNetwork& net, FuzzedDataProvider& in, const Model& m) {
  CSmartArray<std::int32_t> nods;
  CSmartArray<std::int32_t> edges;
  const std::int32_t n = PickElem(in, net.m_lNodNum);
  const std::int32_t e = PickEdge(in, net.m_lEdgeNum);
  switch (in.ConsumeIntegralInRange<int>(0, 8)) {
    case 0:
      net.StartTrace();
      break;
    case 1:
      net.EndTrace();
      break;
    case 2:
      net.RestartTrace();
      break;
    case 3:
      if (net.TraceNod(n) == 1) Check(net.AskNodHasTrace(n) == 1, "a traced node is not marked", n);
      break;
    case 4:
      if (net.TraceEdge(e) == 1) Check(net.AskEdgeHasTrace(e) == 1, "a traced edge is not marked", e);
      break;
    case 5:
      net.AskNodHasTrace(n);
      net.AskEdgeHasTrace(e);
      break;
    case 6:
    case 7: {
      const bool marked = in.ConsumeBool();
      const std::int32_t r = marked ? net.FetchTraceResult(nods, edges) : net.FetchNotTraceResult(nods, edges);
      if (r != 1) break;
      CheckAscending(nods, net.m_lNodNum, m);
      CheckAscending(edges, net.m_lEdgeNum, m);
      for (std::int32_t i = 0; i < nods.GetSize() && i < 64; ++i) {
        Check(net.AskNodHasTrace(nods.GetAt(i)) == (marked ? 1 : 0), "fetch and ask disagree on a node", i);
      }
      for (std::int32_t i = 0; i < edges.GetSize() && i < 64; ++i) {
        Check(net.AskEdgeHasTrace(edges.GetAt(i)) == (marked ? 1 : 0), "fetch and ask disagree on an edge", i);
      }
      break;
    }
    default:
      // The host rewrites the trace's own members.
      switch (in.ConsumeIntegralInRange<int>(0, 2)) {
        case 0:
          net.m_lNodTraceBytes = PickCount(in, net.m_lNodTraceBytes);
          break;
        case 1:
          net.m_lEdgeTraceBytes = PickCount(in, net.m_lEdgeTraceBytes);
          break;
        default:
          net.m_lTraceFlag = in.ConsumeIntegralInRange<std::int32_t>(-1, 2);
          break;
      }
      break;
  }
}

void RecorderOps(CLocalNetwork& net, FuzzedDataProvider& in) {
#if !KELVANE_FIRST_GENERATION
  CMyTrace& rec = in.ConsumeBool() ? net.m_BlockedNod : net.m_BlockedEdge;
  CSmartArray<std::int32_t> got;
  std::int32_t elem = PickElem(in, rec.m_lElemNum);
  switch (in.ConsumeIntegralInRange<int>(0, 4)) {
    case 0:
      rec.m_lElemNum = PickCount(in, kMaxElems);
      rec.StartTrace();
      break;
    case 1:
      if (rec.Trace(elem) == 1) Check(rec.AskHasTrace(elem) == 1, "a recorded element is not marked", elem);
      break;
    case 2: {
      CMyTrace copy(rec);
      copy.FetchTraceResult(got);
      rec = copy;
      break;
    }
    default:
      rec.FetchTraceResult(got);
      for (std::int32_t i = 1; i < got.GetSize(); ++i) Check(got.GetAt(i - 1) < got.GetAt(i), "recorder order");
      break;
  }
#else
  (void)net;  // the first generation keeps no recorders
  (void)in;
#endif
}

void ConnMemory(CLocalNetwork& net, FuzzedDataProvider& in, Model& m) {
  const std::int32_t n = PickElem(in, net.m_lNodNum);
  const auto s = static_cast<std::int16_t>(in.ConsumeIntegralInRange<int>(-3, 8));
  if (in.ConsumeBool()) {
    // A fresh zero-filled list: its entries name no edge until the host writes them.
    if (net.ReallocNodConnEdgeMemory(n, s) == 1) Taint(m, n);
  } else {
    net.ReallocNodTurnWgtMemory(n, s);
  }
}

// The host breaks what it wrote. Each break taints what it makes inconsistent.
void Vandalise(CLocalNetwork& net, FuzzedDataProvider& in, Model& m) {
  const std::int32_t nNod = m.countsTainted ? 0 : net.m_lNodNum;
  const std::int32_t nEdge = m.countsTainted ? 0 : net.m_lEdgeNum;
  switch (in.ConsumeIntegralInRange<int>(0, 6)) {
    case 0: {
      // End nodes that name no node, or another node.
      if (nEdge == 0) break;
      const std::int32_t e = in.ConsumeIntegralInRange<std::int32_t>(1, nEdge);
      NEdgeNod_stru& ends = net.m_pEdgeNod[e - 1];
      Taint(m, ends.lFromNod);
      Taint(m, ends.lToNod);
      ends.lFromNod = PickElem(in, nNod);
      ends.lToNod = PickElem(in, nNod);
      break;
    }
    case 1: {
      // A list entry that names no edge, or the wrong one.
      if (nNod == 0) break;
      const std::int32_t n = in.ConsumeIntegralInRange<std::int32_t>(1, nNod);
      NNodConn_stru& conn = net.m_pNodConn[n - 1];
      // Only a list whose count is still its length can be written safely.
      if (Tainted(m, n) || conn.sConnNum <= 0 || conn.pConnEdge == nullptr) break;
      conn.pConnEdge[in.ConsumeIntegralInRange<int>(0, conn.sConnNum - 1)] = PickEdge(in, nEdge);
      Taint(m, n);
      break;
    }
    case 2: {
      // A count that is not the list's length.
      if (nNod == 0) break;
      const std::int32_t n = in.ConsumeIntegralInRange<std::int32_t>(1, nNod);
      net.m_pNodConn[n - 1].sConnNum = in.ConsumeIntegral<std::int16_t>();
      Taint(m, n);
      break;
    }
    case 3: {
      // Two nodes' lists exchanged, counts kept.
      if (nNod == 0) break;
      const std::int32_t a = in.ConsumeIntegralInRange<std::int32_t>(1, nNod);
      const std::int32_t b = in.ConsumeIntegralInRange<std::int32_t>(1, nNod);
      std::int32_t* list = net.m_pNodConn[a - 1].pConnEdge;
      net.m_pNodConn[a - 1].pConnEdge = net.m_pNodConn[b - 1].pConnEdge;
      net.m_pNodConn[b - 1].pConnEdge = list;
      Taint(m, a);
      Taint(m, b);
      break;
    }
    case 4:
      // Counts rewritten after ReallocMemory: the tables no longer match them.
      if (in.ConsumeBool()) {
        net.m_lNodNum = PickCount(in, net.m_lNodNum);
      } else {
        net.m_lEdgeNum = PickCount(in, net.m_lEdgeNum);
      }
      m.countsTainted = true;
      break;
    case 5:
      // Settings rewritten after ReallocMemory: they no longer say which tables exist.
      net.m_lNodWgtFld = PickSetting(in);
      net.m_lEdgeWgtFld1 = PickSetting(in);
      net.m_lEdgeWgtFld2 = PickSetting(in);
      net.m_cDmdFld = static_cast<char>(PickSetting(in));
      net.m_lTurnWgtFlag = in.ConsumeIntegralInRange<std::int32_t>(-1, 2);
      net.m_cEdgeDirectMode = static_cast<char>(in.ConsumeIntegralInRange<int>(-1, 3));
      break;
    default:
#if !KELVANE_FIRST_GENERATION
      // Extra column ids changed after ReallocMemory: ids and tables out of step.
      if (in.ConsumeBool()) {
        net.m_ExtEdgeWgtFld.Add(PickSetting(in));
      } else {
        net.m_ExtEdgeWgtFld.RemoveAll();
      }
#endif
      break;
  }
}

// The copy answers every query as the original does, and is its own: changing
// the copy leaves the original alone.
void CompareWithCopy(CLocalNetwork& net, CLocalNetwork& copy, const Model& m) {
  if (m.countsTainted) return;
  CSmartArray<std::int32_t> a;
  CSmartArray<std::int32_t> b;
  const std::int32_t nNod = net.m_lNodNum < kMaxWalk ? net.m_lNodNum : kMaxWalk;
  const std::int32_t nEdge = net.m_lEdgeNum < kMaxWalk ? net.m_lEdgeNum : kMaxWalk;
  for (std::int32_t n = 1; n <= nNod; ++n) {
    const std::int32_t ra = net.GetNodConnEdgeS(n, a);
    const std::int32_t rb = copy.GetNodConnEdgeS(n, b);
    Check(ra == rb && a.GetSize() == b.GetSize(), "copy lists another node's edges", n);
    for (std::int32_t i = 0; i < a.GetSize(); ++i) Check(a.GetAt(i) == b.GetAt(i), "copy differs in a list", n, i);
    Check(net.AskNodHasTrace(n) == copy.AskNodHasTrace(n), "copy differs in a node mark", n);
  }
  for (std::int32_t e = 1; e <= nEdge; ++e) {
    std::int32_t fa = 0, ta = 0, fb = 0, tb = 0;
    Check(net.GetEdgeFromToNod(e, fa, ta) == copy.GetEdgeFromToNod(e, fb, tb) && fa == fb && ta == tb,
          "copy differs in end nodes", e);
    Check(net.AskEdgeHasTrace(e) == copy.AskEdgeHasTrace(e), "copy differs in an edge mark", e);
  }
  if (nNod > 0) {
    char before = 0;
    net.GetNodState(1, before);
    copy.SetNodState(1, static_cast<char>(before + 1));
    char after = 0;
    net.GetNodState(1, after);
    Check(before == after, "writing a copy changed the original");
  }
}

void CopyOps(CLocalNetwork& net, FuzzedDataProvider& in, const Model& m) {
  switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0: {
      CLocalNetwork copy(net);
      CompareWithCopy(net, copy, m);
      break;
    }
    case 1: {
      // Assignment over a network that holds tables of its own.
      CLocalNetwork other;
      Model scratch;
      Build(other, in, scratch);
      if (in.ConsumeBool()) other.StartTrace();
      other = net;
      CompareWithCopy(net, other, m);
      break;
    }
    case 2: {
      // The original takes the copy's content back: the model still holds.
      CLocalNetwork copy(net);
      net = copy;
      break;
    }
    default: {
      CLocalNetwork& alias = net;
      net = alias;  // assignment to itself changes nothing
      break;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  CLocalNetwork net;
  Model m;
  Build(net, in, m);
  for (int op = 0; op < kMaxOps && in.remaining_bytes() > 0; ++op) {
    switch (in.ConsumeIntegralInRange<int>(0, 12)) {
      case 0:
      case 1:
        QueryStates(net, in);
        break;
      case 2:
      case 3:
        QueryConnectivity(net, in, m);
        break;
      case 4:
        QueryWeights(net, in);
        break;
      case 5:
      case 6:
        TraceOps(net, in, m);
        break;
      case 7:
      case 8:
        MapFlags(net, in, m);
        break;
      case 9:
        CopyOps(net, in, m);
        break;
      case 10:
        if (in.ConsumeBool()) {
          Vandalise(net, in, m);
        } else {
          ConnMemory(net, in, m);
        }
        break;
      case 11:
        RecorderOps(net, in);
        break;
      default:
        // A second ReallocMemory, after the host may have rewritten every count.
        Build(net, in, m);
        break;
    }
  }
  if (in.ConsumeBool()) net.EndTrace();  // a trace left open is released by the destructor
  return 0;
}
