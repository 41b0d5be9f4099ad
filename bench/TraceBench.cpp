// Fetching visited and unvisited elements of a large trace, beside a plain
// word scan into a reused vector that marks what the bitset walk alone costs.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "kelvane/LocalNetwork.h"

namespace {

constexpr std::int32_t kNods = 10000000;
constexpr std::int32_t kEdges = 16;

// A network whose trace has about pct percent of its nodes marked; the same
// seed gives the same marks to every benchmark at that share.
class MarkedNetwork {
 public:
  explicit MarkedNetwork(int pct) {
    net.m_lNodNum = kNods;
    net.m_lEdgeNum = kEdges;
    if (net.StartTrace() != 1) return;
    std::mt19937 rng(static_cast<unsigned>(pct) * 7919u + 1u);
    std::bernoulli_distribution mark(pct / 100.0);
    for (std::int32_t n = 1; n <= kNods; ++n) {
      if (mark(rng)) net.TraceNod(n);
    }
    for (std::int32_t e = 1; e <= kEdges; e += 2) net.TraceEdge(e);
  }
  MarkedNetwork(const MarkedNetwork&) = delete;
  MarkedNetwork& operator=(const MarkedNetwork&) = delete;
  ~MarkedNetwork() { net.EndTrace(); }

  CLocalNetwork net;
};

void BM_FetchTraceResult(benchmark::State& state) {
  MarkedNetwork m(static_cast<int>(state.range(0)));
  CSmartArray<std::int32_t> nods, edges;
  m.net.FetchTraceResult(nods, edges);  // lists are reused across calls, as a host's are
  for (auto _ : state) {
    benchmark::DoNotOptimize(m.net.FetchTraceResult(nods, edges));
    benchmark::ClobberMemory();
  }
  state.counters["listed"] = nods.GetSize();
  state.SetItemsProcessed(state.iterations() * kNods);
}

void BM_FetchNotTraceResult(benchmark::State& state) {
  MarkedNetwork m(static_cast<int>(state.range(0)));
  CSmartArray<std::int32_t> nods, edges;
  m.net.FetchNotTraceResult(nods, edges);  // lists are reused across calls, as a host's are
  for (auto _ : state) {
    benchmark::DoNotOptimize(m.net.FetchNotTraceResult(nods, edges));
    benchmark::ClobberMemory();
  }
  state.counters["listed"] = nods.GetSize();
  state.SetItemsProcessed(state.iterations() * kNods);
}

// The node bits only, 64 at a time, each set bit found with count-trailing-zeros.
void WordScan(const unsigned char* bits, std::int32_t nBits, bool wantSet, std::vector<std::int32_t>& out) {
  out.clear();
  const std::uint64_t flip = wantSet ? 0 : ~std::uint64_t{0};
  for (std::int64_t k = 0; k < nBits; k += 64) {
    std::int64_t left = nBits - k;
    std::uint64_t word = 0;
    std::memcpy(&word, bits + k / 8, left >= 64 ? 8 : static_cast<std::size_t>((left + 7) / 8));
    word ^= flip;
    if (left < 64) word &= (std::uint64_t{1} << left) - 1;
    while (word != 0) {
      out.push_back(static_cast<std::int32_t>(k + 1 + __builtin_ctzll(word)));
      word &= word - 1;
    }
  }
}

void BM_WordScanBaseline(benchmark::State& state) {
  MarkedNetwork m(static_cast<int>(state.range(0)));
  std::vector<std::int32_t> out;
  WordScan(m.net.m_pNodTraceBit, kNods, true, out);  // the vector is reused: grow it before timing
  for (auto _ : state) {
    WordScan(m.net.m_pNodTraceBit, kNods, true, out);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.counters["listed"] = static_cast<double>(out.size());
  state.SetItemsProcessed(state.iterations() * kNods);
}

void BM_WordScanNotBaseline(benchmark::State& state) {
  MarkedNetwork m(static_cast<int>(state.range(0)));
  std::vector<std::int32_t> out;
  WordScan(m.net.m_pNodTraceBit, kNods, false, out);  // the vector is reused: grow it before timing
  for (auto _ : state) {
    WordScan(m.net.m_pNodTraceBit, kNods, false, out);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.counters["listed"] = static_cast<double>(out.size());
  state.SetItemsProcessed(state.iterations() * kNods);
}

BENCHMARK(BM_FetchTraceResult)->Arg(1)->Arg(50)->Arg(99)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WordScanBaseline)->Arg(1)->Arg(50)->Arg(99)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FetchNotTraceResult)->Arg(1)->Arg(50)->Arg(99)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WordScanNotBaseline)->Arg(1)->Arg(50)->Arg(99)->Unit(benchmark::kMillisecond);

}  // namespace
