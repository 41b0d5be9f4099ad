// ReallocBench.cpp - making the tables of a large network with every setting
// on and the host writing each entry once, beside allocating the same bytes
// with malloc and writing the same values. Both sides touch every page of about
// 1.4 GB once, so page faults set the floor; what is left over is the
// library's own work.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "kelvane/LocalNetwork.h"
#include "support/GridNetwork.h"

namespace {

constexpr std::int32_t kNods = 10000000;
constexpr std::int32_t kEdges = 20000000;

inline NWeightVal_stru Wgt(std::int32_t i) {
  NWeightVal_stru w;
  w.cType = 4;
  w.dVal = static_cast<double>(i);
  return w;
}

// The host's writes, one per entry of every table, into whatever storage the
// pointers name; the same loop serves the library's tables and the baseline's.
struct Tables {
  NEdgeNod_stru* edgeNod = nullptr;
  NNodConn_stru* nodConn = nullptr;
  NWeightVal_stru* edgeWgt1 = nullptr;
  NWeightVal_stru* edgeWgt2 = nullptr;
  NWeightVal_stru* nodWgt = nullptr;
  double** turnWgt = nullptr;
  char* nodState = nullptr;
  char* upEdgeState = nullptr;
  char* downEdgeState = nullptr;
  char* edgeDirect = nullptr;
  double* nodDmd = nullptr;
  double* edgeDmd = nullptr;
  NWeightVal_stru* extWgt = nullptr;  // one extra column; null in the first generation
};

void WriteEveryEntry(const Tables& t) {
  for (std::int32_t n = 0; n < kNods; ++n) {
    t.nodConn[n].sConnNum = 0;  // lists come from ReallocNodConnEdgeMemory; the record is still written
    t.nodConn[n].pConnEdge = nullptr;
    t.nodWgt[n] = Wgt(n);
    t.turnWgt[n] = nullptr;
    t.nodState[n] = 0;
    t.nodDmd[n] = 1.0;
  }
  for (std::int32_t e = 0; e < kEdges; ++e) {
    t.edgeNod[e].lFromNod = e % kNods + 1;
    t.edgeNod[e].lToNod = (e + 1) % kNods + 1;
    t.edgeWgt1[e] = Wgt(e);
    t.edgeWgt2[e] = Wgt(e);
    t.upEdgeState[e] = 0;
    t.downEdgeState[e] = 0;
    t.edgeDirect[e] = 0;
    t.edgeDmd[e] = 1.0;
    if (t.extWgt != nullptr) t.extWgt[e] = Wgt(e);
  }
  benchmark::ClobberMemory();
}

void SetEverySetting(CLocalNetwork& net) {
  net.m_lNodNum = kNods;
  net.m_lEdgeNum = kEdges;
  net.m_lNodWgtFld = 1;
  net.m_lEdgeWgtFld1 = 2;
  net.m_lEdgeWgtFld2 = 3;
  net.m_cDmdFld = 4;
  net.m_lTurnWgtFlag = 1;
  net.m_cEdgeDirectMode = 1;
#if !KELVANE_FIRST_GENERATION  // the first generation has no extra columns
  net.m_ExtEdgeWgtFld.RemoveAll();
  net.m_ExtEdgeWgtFld.Add(5);
#endif
}

Tables LibraryTables(CLocalNetwork& net) {
  Tables t;
  t.edgeNod = net.m_pEdgeNod;
  t.nodConn = net.m_pNodConn;
  t.edgeWgt1 = net.m_pEdgeWgt1;
  t.edgeWgt2 = net.m_pEdgeWgt2;
  t.nodWgt = net.m_pNodWgt;
  t.turnWgt = net.m_ppTurnWgt;
  t.nodState = net.m_pNodState;
  t.upEdgeState = net.m_pUpEdgeState;
  t.downEdgeState = net.m_pDownEdgeState;
  t.edgeDirect = net.m_pEdgeDirect;
  t.nodDmd = net.m_pNodDmd;
  t.edgeDmd = net.m_pEdgeDmd;
#if !KELVANE_FIRST_GENERATION
  t.extWgt = net.m_ExtEdgeWgt.GetAt(0);
#endif
  return t;
}

constexpr bool kExtColumn = KELVANE_FIRST_GENERATION == 0;

// Bytes of entries both sides allocate and write.
double EntryBytes() {
  const std::size_t nods = kNods;
  const std::size_t edges = kEdges;
  return static_cast<double>(
      nods * (sizeof(NNodConn_stru) + sizeof(NWeightVal_stru) + sizeof(double*) + 1 + sizeof(double)) +
      edges * (sizeof(NEdgeNod_stru) + (kExtColumn ? 3 : 2) * sizeof(NWeightVal_stru) + 3 + sizeof(double)));
}

void BM_ReallocMemoryAndFill(benchmark::State& state) {
  for (auto _ : state) {
    CLocalNetwork* net = new CLocalNetwork;
    SetEverySetting(*net);
    if (net->ReallocMemory() != 1) kelvane_bench::Abort("ReallocMemory");
    WriteEveryEntry(LibraryTables(*net));
    state.PauseTiming();  // release is not part of either figure
    delete net;
    state.ResumeTiming();
  }
  state.counters["bytes"] = EntryBytes();
}

template <class T>
T* Malloc(std::size_t count) {
  void* p = std::malloc(count * sizeof(T));
  if (p == nullptr) kelvane_bench::Abort("malloc");
  return static_cast<T*>(p);
}

// The same tables, one malloc each, with the same sizes and the same writes.
void BM_MallocAndFill(benchmark::State& state) {
  const std::size_t nods = kNods;
  const std::size_t edges = kEdges;
  for (auto _ : state) {
    Tables t;
    t.edgeNod = Malloc<NEdgeNod_stru>(edges);
    t.nodConn = Malloc<NNodConn_stru>(nods);
    t.nodWgt = Malloc<NWeightVal_stru>(nods);
    t.edgeWgt1 = Malloc<NWeightVal_stru>(edges);
    t.edgeWgt2 = Malloc<NWeightVal_stru>(edges);
    if (kExtColumn) t.extWgt = Malloc<NWeightVal_stru>(edges);
    t.turnWgt = Malloc<double*>(nods);
    t.nodState = Malloc<char>(nods);
    t.upEdgeState = Malloc<char>(edges);
    t.downEdgeState = Malloc<char>(edges);
    t.edgeDirect = Malloc<char>(edges);
    t.nodDmd = Malloc<double>(nods);
    t.edgeDmd = Malloc<double>(edges);
    WriteEveryEntry(t);
    state.PauseTiming();
    void* blocks[] = {t.edgeNod, t.nodConn, t.nodWgt, t.edgeWgt1, t.edgeWgt2, t.extWgt, t.turnWgt,
                      t.nodState, t.upEdgeState, t.downEdgeState, t.edgeDirect, t.nodDmd, t.edgeDmd};
    for (void* p : blocks) std::free(p);
    state.ResumeTiming();
  }
  state.counters["bytes"] = EntryBytes();
}

// Thread CPU time counts the kernel's page-fault work too, and unlike
// wall-clock time it does not count the waits of a loaded machine.
BENCHMARK(BM_ReallocMemoryAndFill)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_MallocAndFill)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// A fixed mmap threshold turns off the allocator's habit of raising it after
// each large free: every table of 1 MB or more then comes fresh from the
// kernel in every iteration, on both sides, instead of the later iterations
// reusing pages that the first one faulted in.
[[maybe_unused]] const int fixedThreshold = mallopt(M_MMAP_THRESHOLD, 1 << 20);

}  // namespace
