// SmartArrayFuzz.cpp - random operations on CSmartArray, checked step by step
// against std::vector: 32-bit integers, and the 9-byte packed weight record,
// whose size is no multiple of any alignment and so catches byte arithmetic
// done in elements of the wrong width.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "kelvane/LocalNetwork.h"

namespace {

constexpr int kArrays = 3;          // arrays per element type, so copies cross between them
constexpr int kMaxOps = 256;
constexpr std::int32_t kMaxSize = 4096;

[[noreturn]] void Fail(const char* what, long a, long b) {
  std::fprintf(stderr, "container differs from std::vector: %s (%ld, %ld)\n", what, a, b);
  std::abort();
}

void Check(bool ok, const char* what, long a = 0, long b = 0) {
  if (!ok) Fail(what, a, b);
}

template <class T>
T MakeElem(FuzzedDataProvider& in) {
  T elem = T();
  const std::vector<std::uint8_t> bytes = in.ConsumeBytes<std::uint8_t>(sizeof(T));
  if (!bytes.empty()) std::memcpy(static_cast<void*>(&elem), bytes.data(), bytes.size());
  return elem;
}

template <class T>
bool SameBytes(const T& a, const T& b) {
  return std::memcmp(static_cast<const void*>(&a), static_cast<const void*>(&b), sizeof(T)) == 0;
}

// The whole array against its model, read through both GetAt (on a const
// array, as the library reads its input) and GetPtr.
template <class T>
void Compare(CSmartArray<T>& arr, const std::vector<T>& model) {
  const CSmartArray<T>& constArr = arr;
  Check(constArr.GetSize() == static_cast<std::int32_t>(model.size()), "size", constArr.GetSize(),
        static_cast<long>(model.size()));
  for (std::size_t i = 0; i < model.size(); ++i) {
    const auto at = static_cast<std::int32_t>(i);
    Check(SameBytes(constArr.GetAt(at), model[i]), "GetAt", at);
    const T* p = arr.GetPtr(at);
    Check(p != nullptr && SameBytes(*p, model[i]), "GetPtr", at);
  }
  Check(arr.GetPtr(-1) == nullptr && arr.GetPtr(constArr.GetSize()) == nullptr, "GetPtr out of range not null");
}

template <class T>
void RunOps(FuzzedDataProvider& in) {
  std::vector<CSmartArray<T>> arrays(kArrays);
  std::vector<std::vector<T>> models(kArrays);
  for (int op = 0; op < kMaxOps && in.remaining_bytes() > 0; ++op) {
    const int a = in.ConsumeIntegralInRange<int>(0, kArrays - 1);
    const int b = in.ConsumeIntegralInRange<int>(0, kArrays - 1);
    CSmartArray<T>& arr = arrays[a];
    std::vector<T>& model = models[a];
    const auto size = static_cast<std::int32_t>(model.size());
    switch (in.ConsumeIntegralInRange<int>(0, 10)) {
      case 0:
      case 1: {
        if (size >= kMaxSize) break;
        const T elem = MakeElem<T>(in);
        Check(arr.Add(elem) == size, "Add did not return the old size", size);
        model.push_back(elem);
        break;
      }
      case 2: {
        const std::int32_t n = in.ConsumeIntegralInRange<std::int32_t>(-3, 300);
        const std::int32_t r = arr.SetSize(n);
        if (n < 0) {
          Check(r == -1, "SetSize accepted a negative count", n, r);
        } else {
          Check(r == 1, "SetSize refused a count", n, r);
          model.resize(static_cast<std::size_t>(n), T());  // elements gained read as zero bytes
        }
        break;
      }
      case 3:
        arr.RemoveAll();
        model.clear();
        break;
      case 4: {
        // Out of range, GetAt reads nothing and gives a default element.
        const std::int32_t i = in.ConsumeIntegralInRange<std::int32_t>(-2, size + 2);
        const T got = static_cast<const CSmartArray<T>&>(arr).GetAt(i);
        Check(SameBytes(got, i >= 0 && i < size ? model[i] : T()), "GetAt", i);
        break;
      }
      case 5: {
        const std::int32_t i = in.ConsumeIntegralInRange<std::int32_t>(-2, size + 2);
        T* p = arr.GetPtr(i);
        if (i < 0 || i >= size) {
          Check(p == nullptr, "GetPtr out of range not null", i);
        } else {
          Check(p != nullptr, "GetPtr in range null", i);
          const T elem = MakeElem<T>(in);
          std::memcpy(static_cast<void*>(p), static_cast<const void*>(&elem), sizeof(T));
          model[i] = elem;
        }
        break;
      }
      case 6: {
        const std::int32_t r = arr.Copy(arrays[b]);
        Check(r == (a == b ? -1 : 1), "Copy result", a, r);
        models[a] = models[b];
        break;
      }
      case 7:
        arr = arrays[b];  // also onto itself
        models[a] = models[b];
        break;
      case 8: {
        // A copy is independent: changing it leaves the source alone.
        CSmartArray<T> copy(arr);
        std::vector<T> copyModel = model;
        Compare(copy, copyModel);
        copy.Add(MakeElem<T>(in));
        if (copy.GetSize() > 1) *copy.GetPtr(0) = MakeElem<T>(in);
        Compare(arr, model);
        if (in.ConsumeBool()) {
          arrays[b] = copy;
          models[b].assign(copy.GetSize(), T());
          for (std::int32_t i = 0; i < copy.GetSize(); ++i) models[b][i] = copy.GetAt(i);
        }
        break;
      }
      case 9:
        arr.Swap(arrays[b]);
        models[a].swap(models[b]);
        break;
      default: {
        // Room reserved, written in place, part of it committed.
        if (size >= kMaxSize) break;
        const std::int32_t n = in.ConsumeIntegralInRange<std::int32_t>(0, 40);
        const std::int32_t used = in.ConsumeIntegralInRange<std::int32_t>(0, n);
        T* room = arr.ReserveBack(n);
        for (std::int32_t i = 0; i < used; ++i) {
          const T elem = MakeElem<T>(in);
          std::memcpy(static_cast<void*>(room + i), static_cast<const void*>(&elem), sizeof(T));
          model.push_back(elem);
        }
        arr.CommitBack(used);
        break;
      }
    }
    Compare(arrays[a], models[a]);
    Compare(arrays[b], models[b]);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  if (in.ConsumeBool()) {
    RunOps<std::int32_t>(in);
  } else {
    RunOps<NWeightVal_stru>(in);
  }
  return 0;
}
