// SmartArrayBench.cpp - CSmartArray<std::int32_t> against std::vector in the
// same run: appending to a reused array (the traversal pattern: emptied and
// refilled at every step), reading by index, and a fresh fill.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "kelvane/SmartArray.h"

namespace {

constexpr std::int32_t kListLength = 4096;

void BM_SmartArrayAddReused(benchmark::State& state) {
  CSmartArray<std::int32_t> list;
  for (auto _ : state) {
    list.RemoveAll();
    for (std::int32_t i = 0; i < kListLength; ++i) list.Add(i);
    benchmark::DoNotOptimize(list.GetPtr(0));
  }
  state.SetItemsProcessed(state.iterations() * kListLength);
}
BENCHMARK(BM_SmartArrayAddReused);

void BM_VectorPushBackReused(benchmark::State& state) {
  std::vector<std::int32_t> list;
  for (auto _ : state) {
    list.clear();
    for (std::int32_t i = 0; i < kListLength; ++i) list.push_back(i);
    benchmark::DoNotOptimize(list.data());
  }
  state.SetItemsProcessed(state.iterations() * kListLength);
}
BENCHMARK(BM_VectorPushBackReused);

void BM_SmartArrayGetAt(benchmark::State& state) {
  CSmartArray<std::int32_t> list;
  for (std::int32_t i = 0; i < kListLength; ++i) list.Add(i);
  for (auto _ : state) {
    std::int64_t sum = 0;
    for (std::int32_t i = 0; i < kListLength; ++i) sum += list.GetAt(i);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kListLength);
}
BENCHMARK(BM_SmartArrayGetAt);

void BM_VectorIndex(benchmark::State& state) {
  std::vector<std::int32_t> list;
  for (std::int32_t i = 0; i < kListLength; ++i) list.push_back(i);
  for (auto _ : state) {
    std::int64_t sum = 0;
    for (std::int32_t i = 0; i < kListLength; ++i) sum += list[static_cast<std::size_t>(i)];
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kListLength);
}
BENCHMARK(BM_VectorIndex);

void BM_SmartArrayFreshFill(benchmark::State& state) {
  for (auto _ : state) {
    CSmartArray<std::int32_t> list;
    for (std::int32_t i = 0; i < kListLength; ++i) list.Add(i);
    benchmark::DoNotOptimize(list.GetPtr(0));
  }
  state.SetItemsProcessed(state.iterations() * kListLength);
}
BENCHMARK(BM_SmartArrayFreshFill);

void BM_VectorFreshFill(benchmark::State& state) {
  for (auto _ : state) {
    std::vector<std::int32_t> list;
    for (std::int32_t i = 0; i < kListLength; ++i) list.push_back(i);
    benchmark::DoNotOptimize(list.data());
  }
  state.SetItemsProcessed(state.iterations() * kListLength);
}
BENCHMARK(BM_VectorFreshFill);

}  // namespace
