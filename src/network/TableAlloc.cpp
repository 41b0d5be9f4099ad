// TableAlloc.cpp - zero-filled tables with their entry count in front, and the
// arena that holds the connection lists.
#include "network/TableAlloc.h"

#include "network/CoreAccess.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace kelvane {
namespace {

#if KELVANE_FAULT_INJECTION
long g_failAfter = 0;  // 0: off; 1: the next allocation fails
long g_allocCount = 0;

bool InjectFailure() {
  ++g_allocCount;
  if (g_failAfter == 0) return false;
  return --g_failAfter == 0;
}
#else
constexpr bool InjectFailure() { return false; }
#endif

// Header plus count x width bytes, or 0 when that does not fit in size_t or
// the count does not fit in the count word.
std::size_t TableBytes(std::size_t count, std::size_t width) {
  if (count > kCountMask) return 0;
  if (width != 0 && count > (static_cast<std::size_t>(-1) - kTableHeader) / width) return 0;
  return kTableHeader + count * width;
}

unsigned char* Block(void* table) { return static_cast<unsigned char*>(table) - kTableHeader; }

void SetCountWord(void* table, std::uint64_t word) {
  std::memcpy(static_cast<unsigned char*>(table) - sizeof word, &word, sizeof word);
}

// --- The list arena: chunks of zeroed memory handed out front to back. ---

struct ArenaChunk {
  ArenaChunk* next;  // the chunk made before this one
  std::size_t used;  // bytes handed out from data
  std::size_t size;  // bytes of data
  // data follows, 8-aligned
};

struct ListArena {
  ArenaChunk* head;       // the chunk lists are cut from now
  std::size_t nextSize;   // data bytes of the next chunk
};

constexpr std::size_t kFirstChunk = std::size_t{64} << 10;  // 64 KiB, doubling
constexpr std::size_t kLargestChunk = std::size_t{64} << 20;

unsigned char* ChunkData(ArenaChunk* chunk) { return reinterpret_cast<unsigned char*>(chunk + 1); }

ListArena*& ArenaOf(void* connTable) {
  return *reinterpret_cast<ListArena**>(Block(connTable));
}

void FreeArena(ListArena* arena) {
  ArenaChunk* chunk = arena->head;
  while (chunk != nullptr) {
    ArenaChunk* next = chunk->next;
    std::free(chunk);
    chunk = next;
  }
  std::free(arena);
}

// Bytes a list of count entries takes in the arena: its count word and the
// entries, rounded to keep the next count word aligned; 0 when the count does
// not fit in the count word.
std::size_t ListBytes(std::size_t count) {
  if (count > kCountMask) return 0;
  return (sizeof(std::uint64_t) + count * sizeof(std::int32_t) + 7) & ~std::size_t{7};
}

}  // namespace

void* AllocTable(std::size_t count, std::size_t width) {
  std::size_t bytes = TableBytes(count, width);
  if (bytes == 0 || InjectFailure()) return nullptr;
  // calloc hands out fresh pages already zero, so large tables are not written twice.
  void* block = std::calloc(1, bytes);
  if (block == nullptr) return nullptr;
  void* table = static_cast<unsigned char*>(block) + kTableHeader;
  SetCountWord(table, count);
  return table;
}

void FreeTable(void* table) {
  if (table == nullptr) return;
  const std::uint64_t word = CountWord(table);
  if ((word & kArenaOwned) != 0) return;
  if (ListArena* arena = ArenaOf(table)) FreeArena(arena);
  std::free(Block(table));
}

void* GrowTable(void* table, std::size_t keep, std::size_t newCount, std::size_t width) {
  void* grown = AllocTable(newCount, width);
  if (grown == nullptr) throw std::bad_alloc();
  std::size_t have = TableEntries(table);
  if (keep > have) keep = have;
  if (keep > newCount) keep = newCount;
  if (keep != 0) std::memcpy(grown, table, keep * width);
  if (table != nullptr) {
    ArenaOf(grown) = ArenaOf(table);
    ArenaOf(table) = nullptr;
  }
  FreeTable(table);
  return grown;
}

std::int32_t* AllocConnList(void* connTable, std::size_t count) {
  const std::size_t bytes = ListBytes(count);
  if (bytes == 0) return nullptr;
  ListArena*& arena = ArenaOf(connTable);
  if (arena == nullptr) {
    if (InjectFailure()) return nullptr;
    arena = static_cast<ListArena*>(std::calloc(1, sizeof(ListArena)));
    if (arena == nullptr) return nullptr;
    arena->nextSize = kFirstChunk;
  }
  ArenaChunk* chunk = arena->head;
  if (chunk == nullptr || chunk->size - chunk->used < bytes) {
    // Chunk and header together take a power of two, which large allocations
    // map without waste.
    const std::size_t room = arena->nextSize - sizeof(ArenaChunk);
    std::size_t size = room > bytes ? room : bytes;
    if (InjectFailure()) return nullptr;
    // Fresh chunks come zeroed and nothing handed out is ever handed out
    // again, so every list starts all zero without a write.
    chunk = static_cast<ArenaChunk*>(std::calloc(1, sizeof(ArenaChunk) + size));
    if (chunk == nullptr) return nullptr;
    chunk->size = size;
    chunk->next = arena->head;
    arena->head = chunk;
    if (arena->nextSize < kLargestChunk) arena->nextSize *= 2;
  }
  unsigned char* at = ChunkData(chunk) + chunk->used;
  chunk->used += bytes;
  std::int32_t* list = reinterpret_cast<std::int32_t*>(at + sizeof(std::uint64_t));
  SetCountWord(list, count | kArenaOwned);
  return list;
}

std::int32_t* RenewConnList(void* connTable, std::int32_t* list, std::size_t count) {
  if (list != nullptr && (CountWord(list) & kArenaOwned) != 0 && TableEntries(list) >= count) {
    // Reused in place: the tail past the new count is given up for good.
    std::memset(list, 0, count * sizeof(std::int32_t));
    SetCountWord(list, count | kArenaOwned);
    return list;
  }
  std::int32_t* fresh = AllocConnList(connTable, count);
  if (fresh != nullptr) FreeTable(list);
  return fresh;
}

std::int64_t CoreTableEntriesV1(const void* table) { return static_cast<std::int64_t>(TableEntries(table)); }

#if KELVANE_FAULT_INJECTION
void FailAllocationAfter(long n) { g_failAfter = n < 0 ? 0 : n; }
long AllocationCount() { return g_allocCount; }
#endif

}  // namespace kelvane
