// TableAlloc.cpp - zero-filled tables with their entry count in front.
#include "network/TableAlloc.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace kelvane {
namespace {

#if KELVANE_FAULT_INJECTION
long g_failAfter = 0;   // 0: off; 1: the next allocation fails
long g_allocCount = 0;

bool InjectFailure() {
  ++g_allocCount;
  if (g_failAfter == 0) return false;
  return --g_failAfter == 0;
}
#else
constexpr bool InjectFailure() { return false; }
#endif

// Header plus count x width bytes, or 0 when that does not fit in size_t.
std::size_t TableBytes(std::size_t count, std::size_t width) {
  if (width != 0 && count > (static_cast<std::size_t>(-1) - kTableHeader) / width) return 0;
  return kTableHeader + count * width;
}

void* Finish(void* block, std::size_t count) {
  std::memcpy(block, &count, sizeof count);
  return static_cast<unsigned char*>(block) + kTableHeader;
}

}  // namespace

void* AllocTable(std::size_t count, std::size_t width) {
  std::size_t bytes = TableBytes(count, width);
  if (bytes == 0 || InjectFailure()) return nullptr;
  // calloc hands out fresh pages already zero, so large tables are not written twice.
  void* block = std::calloc(1, bytes);
  if (block == nullptr) return nullptr;
  return Finish(block, count);
}

void FreeTable(void* table) {
  if (table != nullptr) std::free(static_cast<unsigned char*>(table) - kTableHeader);
}

void* GrowTable(void* table, std::size_t keep, std::size_t newCount, std::size_t width) {
  void* grown = AllocTable(newCount, width);
  if (grown == nullptr) throw std::bad_alloc();
  std::size_t have = TableEntries(table);
  if (keep > have) keep = have;
  if (keep > newCount) keep = newCount;
  if (keep != 0) std::memcpy(grown, table, keep * width);
  FreeTable(table);
  return grown;
}

#if KELVANE_FAULT_INJECTION
void FailAllocationAfter(long n) { g_failAfter = n < 0 ? 0 : n; }
long AllocationCount() { return g_allocCount; }
#endif

}  // namespace kelvane
