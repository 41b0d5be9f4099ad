// ReferenceBuilder.h - fills a network the way a host does, for the tests.
// The tests' own reference, written apart from the library and its toolkit:
// not the toolkit's CNetworkBuilder, which the tests check against it.
// Counts and settings first, ReallocMemory, then a connection list per node
// through ReallocNodConnEdgeMemory (+e at the edge's to node, -e at its from
// node, in edge order), end nodes, states, weights, demand and turn matrices
// written straight into the tables.
//
//   NetworkBuilder().Nodes(3).Edge(1, 2).Edge(2, 3).BlockEdge(2).Fill(net);
#ifndef KELVANE_TESTS_SUPPORT_REFERENCEBUILDER_H
#define KELVANE_TESTS_SUPPORT_REFERENCEBUILDER_H

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include "kelvane/LocalNetwork.h"

// A weight record holding a 64-bit float (type 4).
inline NWeightVal_stru DblWgt(double d) {
  NWeightVal_stru w;
  w.cType = 4;
  w.dVal = d;
  return w;
}

// A weight record holding a 32-bit integer (type 1) in the value's first bytes.
inline NWeightVal_stru IntWgt(std::int32_t l) {
  NWeightVal_stru w;
  w.cType = 1;
  std::memcpy(reinterpret_cast<unsigned char*>(&w) + 1, &l, sizeof l);
  return w;
}

// The value of a record as a double, read without binding a reference to the
// packed (misaligned) field.
inline double ValOf(const NWeightVal_stru& w) {
  double d = w.dVal;
  return d;
}

inline bool SameWgt(const NWeightVal_stru& a, const NWeightVal_stru& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

class NetworkBuilder {
 public:
  NetworkBuilder& Nodes(std::int32_t n) {
    nods_ = n;
    return *this;
  }
  // Adds the next edge, numbered in call order from 1.
  NetworkBuilder& Edge(std::int32_t from, std::int32_t to) {
    edges_.push_back({from, to});
    return *this;
  }
  // n nodes joined in a ring: edge i runs from node i to node i + 1, edge n
  // from node n back to node 1.
  NetworkBuilder& Ring(std::int32_t n) {
    Nodes(n);
    for (std::int32_t i = 1; i < n; ++i) Edge(i, i + 1);
    return Edge(n, 1);
  }
  // Settings; every table beyond the always-present ones is off by default.
  NetworkBuilder& NodWgtFld(std::int32_t fld) {
    nodWgtFld_ = fld;
    return *this;
  }
  NetworkBuilder& EdgeWgtFld1(std::int32_t fld) {
    edgeWgtFld1_ = fld;
    return *this;
  }
  NetworkBuilder& EdgeWgtFld2(std::int32_t fld) {
    edgeWgtFld2_ = fld;
    return *this;
  }
  NetworkBuilder& DmdFld(char fld) {
    dmdFld_ = fld;
    return *this;
  }
  NetworkBuilder& TurnWgt() {
    turnFlag_ = 1;
    return *this;
  }
  // The node weight column (id 1), both edge weight columns (ids 2, 3), the
  // demand tables (column 0) and the turn matrices all on.
  NetworkBuilder& WeightsDemandsTurns() { return NodWgtFld(1).EdgeWgtFld1(2).EdgeWgtFld2(3).DmdFld(0).TurnWgt(); }
  NetworkBuilder& DirectMode(char mode) {
    directMode_ = mode;
    return *this;
  }
  NetworkBuilder& Reserve(std::int32_t l) {
    reserve_ = l;
    return *this;
  }
  // Extra edge-weight column ids, in order (ignored by the first generation,
  // which has no extra columns).
  NetworkBuilder& ExtFld(std::int32_t fld) {
    extFlds_.push_back(fld);
    return *this;
  }

  // States: a blocked node; an edge blocked both ways; one direction.
  NetworkBuilder& BlockNod(std::int32_t n) { return NodState(n, 1); }
  NetworkBuilder& BlockEdge(std::int32_t e) { return EdgeState(e, 1, 1); }
  NetworkBuilder& BlockUp(std::int32_t e) { return EdgeState(e, 1, 0); }
  NetworkBuilder& BlockDown(std::int32_t e) { return EdgeState(e, 0, 1); }
  NetworkBuilder& NodState(std::int32_t n, char c) {
    nodStates_[n] = c;
    return *this;
  }
  NetworkBuilder& EdgeState(std::int32_t e, char up, char down) {
    edgeStates_[e] = {up, down};
    return *this;
  }
  NetworkBuilder& Direct(std::int32_t e, char c) {
    directs_[e] = c;
    return *this;
  }

  // Contents of the weight, demand and turn tables.
  NetworkBuilder& NodWgt(std::int32_t n, NWeightVal_stru w) {
    nodWgts_[n] = w;
    return *this;
  }
  NetworkBuilder& EdgeWgt1(std::int32_t e, NWeightVal_stru w) {
    edgeWgts1_[e] = w;
    return *this;
  }
  NetworkBuilder& EdgeWgt2(std::int32_t e, NWeightVal_stru w) {
    edgeWgts2_[e] = w;
    return *this;
  }
  // Weight of edge e in the extra column at position i.
  NetworkBuilder& ExtWgt(std::int32_t i, std::int32_t e, NWeightVal_stru w) {
    extWgts_[{i, e}] = w;
    return *this;
  }
  NetworkBuilder& NodDmd(std::int32_t n, double d) {
    nodDmds_[n] = d;
    return *this;
  }
  NetworkBuilder& EdgeDmd(std::int32_t e, double d) {
    edgeDmds_[e] = d;
    return *this;
  }
  // Replaces node n's derived connection list by these entries, as given.
  NetworkBuilder& Conn(std::int32_t n, std::vector<std::int32_t> entries) {
    conns_[n] = std::move(entries);
    return *this;
  }
  // Row-by-row matrix for node n (needs TurnWgt); every node gets a zero
  // matrix of its own size otherwise.
  NetworkBuilder& TurnMatrix(std::int32_t n, std::vector<double> values) {
    turns_[n] = std::move(values);
    return *this;
  }

  // The connection list node n receives.
  std::vector<std::int32_t> ConnOf(std::int32_t n) const {
    auto it = conns_.find(n);
    if (it != conns_.end()) return it->second;
    std::vector<std::int32_t> entries;
    for (std::size_t i = 0; i < edges_.size(); ++i) {
      std::int32_t e = static_cast<std::int32_t>(i + 1);
      if (edges_[i].second == n) entries.push_back(e);
      if (edges_[i].first == n) entries.push_back(-e);
    }
    return entries;
  }

  // Writes the settings (the counts and settings, then ReallocMemory) only.
  void Size(CLocalNetwork& net) const {
    net.m_lNodNum = nods_;
    net.m_lEdgeNum = static_cast<std::int32_t>(edges_.size());
    net.m_lNodWgtFld = nodWgtFld_;
    net.m_lEdgeWgtFld1 = edgeWgtFld1_;
    net.m_lEdgeWgtFld2 = edgeWgtFld2_;
    net.m_cDmdFld = dmdFld_;
    net.m_lTurnWgtFlag = turnFlag_;
    net.m_cEdgeDirectMode = directMode_;
    net.m_lReserve = reserve_;
    AddExtFlds(net);
  }

  void Fill(CLocalNetwork& net) const {
    Size(net);
    ASSERT_EQ(net.ReallocMemory(), 1);
    for (std::size_t i = 0; i < edges_.size(); ++i) {
      net.m_pEdgeNod[i].lFromNod = edges_[i].first;
      net.m_pEdgeNod[i].lToNod = edges_[i].second;
    }
    for (std::int32_t n = 1; n <= nods_; ++n) {
      std::vector<std::int32_t> entries = ConnOf(n);
      std::int16_t count = static_cast<std::int16_t>(entries.size());
      ASSERT_EQ(net.ReallocNodConnEdgeMemory(n, count), 1);
      for (std::size_t k = 0; k < entries.size(); ++k) net.m_pNodConn[n - 1].pConnEdge[k] = entries[k];
      if (turnFlag_ == 1) {
        ASSERT_EQ(net.ReallocNodTurnWgtMemory(n, count), 1);
        auto it = turns_.find(n);
        if (it != turns_.end()) {
          ASSERT_EQ(it->second.size(), entries.size() * entries.size());
          for (std::size_t k = 0; k < it->second.size(); ++k) net.m_ppTurnWgt[n - 1][k] = it->second[k];
        }
      }
    }
    for (const auto& s : nodStates_) net.m_pNodState[s.first - 1] = s.second;
    for (const auto& s : edgeStates_) {
      net.m_pUpEdgeState[s.first - 1] = s.second.first;
      net.m_pDownEdgeState[s.first - 1] = s.second.second;
    }
    for (const auto& d : directs_) net.m_pEdgeDirect[d.first - 1] = d.second;
    for (const auto& w : nodWgts_) net.m_pNodWgt[w.first - 1] = w.second;
    for (const auto& w : edgeWgts1_) net.m_pEdgeWgt1[w.first - 1] = w.second;
    for (const auto& w : edgeWgts2_) net.m_pEdgeWgt2[w.first - 1] = w.second;
    for (const auto& w : extWgts_) ExtTable(net, w.first.first)[w.first.second - 1] = w.second;
    for (const auto& d : nodDmds_) net.m_pNodDmd[d.first - 1] = d.second;
    for (const auto& d : edgeDmds_) net.m_pEdgeDmd[d.first - 1] = d.second;
  }

 private:
#if !KELVANE_FIRST_GENERATION
  void AddExtFlds(CLocalNetwork& net) const {
    for (std::int32_t fld : extFlds_) net.m_ExtEdgeWgtFld.Add(fld);
  }
  static NWeightVal_stru* ExtTable(CLocalNetwork& net, std::int32_t i) { return net.m_ExtEdgeWgt.GetAt(i); }
#else
  void AddExtFlds(CLocalNetwork&) const {}  // the first generation has no extra columns
  static NWeightVal_stru* ExtTable(CLocalNetwork&, std::int32_t) {
    ADD_FAILURE() << "the first generation has no extra columns";
    return nullptr;
  }
#endif

  std::int32_t nods_ = 0;
  std::vector<std::pair<std::int32_t, std::int32_t>> edges_;
  std::int32_t nodWgtFld_ = -1;
  std::int32_t edgeWgtFld1_ = -1;
  std::int32_t edgeWgtFld2_ = -1;
  char dmdFld_ = -1;
  std::int32_t turnFlag_ = 0;
  char directMode_ = 0;
  std::int32_t reserve_ = 0;
  std::vector<std::int32_t> extFlds_;
  std::map<std::int32_t, char> nodStates_;
  std::map<std::int32_t, std::pair<char, char>> edgeStates_;
  std::map<std::int32_t, char> directs_;
  std::map<std::int32_t, NWeightVal_stru> nodWgts_;
  std::map<std::int32_t, NWeightVal_stru> edgeWgts1_;
  std::map<std::int32_t, NWeightVal_stru> edgeWgts2_;
  std::map<std::pair<std::int32_t, std::int32_t>, NWeightVal_stru> extWgts_;
  std::map<std::int32_t, double> nodDmds_;
  std::map<std::int32_t, double> edgeDmds_;
  std::map<std::int32_t, std::vector<std::int32_t>> conns_;
  std::map<std::int32_t, std::vector<double>> turns_;
};

// The elements of a list, for comparison with a brace list.
inline std::vector<std::int32_t> Elems(const CSmartArray<std::int32_t>& list) {
  std::vector<std::int32_t> v;
  for (std::int32_t i = 0; i < list.GetSize(); ++i) v.push_back(list.GetAt(i));
  return v;
}

inline std::vector<double> Elems(const CSmartArray<double>& list) {
  std::vector<double> v;
  for (std::int32_t i = 0; i < list.GetSize(); ++i) v.push_back(list.GetAt(i));
  return v;
}

#endif  // KELVANE_TESTS_SUPPORT_REFERENCEBUILDER_H
