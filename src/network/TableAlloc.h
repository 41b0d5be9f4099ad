// TableAlloc.h - allocation of the network's tables.
// Every table the library makes carries its entry count in a small header in
// front of entry 0. Release and every bounds test read the count from there,
// so they stay right whatever the host later writes into the public counts.
#ifndef KELVANE_SRC_NETWORK_TABLEALLOC_H
#define KELVANE_SRC_NETWORK_TABLEALLOC_H

#include <cstddef>
#include <cstdint>

#ifndef KELVANE_FAULT_INJECTION
#define KELVANE_FAULT_INJECTION 0
#endif

namespace kelvane {

// Bytes in front of entry 0 of a table of its own; keeps entry 0 aligned for
// any table type. The last 8 of them hold the entry count; the first 8 hold,
// for the connection table only, the arena its lists come from.
constexpr std::size_t kTableHeader = 16;

// A connection list carved from an arena has only the count word in front,
// with this bit set: the arena owns its memory, so releasing it alone frees
// nothing.
constexpr std::uint64_t kArenaOwned = std::uint64_t{1} << 63;

// The count word's low bits hold the entry count; the bits above carry how
// the table was allocated.
constexpr std::uint64_t kCountMask = (std::uint64_t{1} << 40) - 1;

// A zero-filled table of count entries of width bytes, or null when the size
// overflows or memory runs out.
void* AllocTable(std::size_t count, std::size_t width);

// Releases a table made by AllocTable or GrowTable (and with the connection
// table, the arena of its lists); a list owned by an arena is left to it;
// null is allowed.
void FreeTable(void* table);

// The word in front of entry 0 of a table or list: its entry count and marks.
inline std::uint64_t CountWord(const void* table) {
  std::uint64_t word;
  __builtin_memcpy(&word, static_cast<const unsigned char*>(table) - sizeof word, sizeof word);
  return word;
}

// Entries of a table or list, 0 for null.
inline std::size_t TableEntries(const void* table) {
  return table == nullptr ? 0 : static_cast<std::size_t>(CountWord(table) & kCountMask);
}

// A zero-filled connection list of count entries for a node of connTable,
// carved from the arena that connTable owns (made on first use). Lists given
// out node by node thus lie back to back in node order, with no allocator
// overhead between them. Null when memory runs out.
std::int32_t* AllocConnList(void* connTable, std::size_t count);

// A zero-filled list of count entries in place of `list`: the same memory
// when the arena owns it and it is long enough, else a new one from the
// arena; the old list is released. Null when memory runs out, with the old
// list untouched.
std::int32_t* RenewConnList(void* connTable, std::int32_t* list, std::size_t count);

// A table of newCount entries holding the first `keep` entries of `table`
// (keep is cut to what both hold), the rest zero. The old table is released;
// an arena it owned passes to the new one.
// Throws std::bad_alloc, leaving the old table as it was.
void* GrowTable(void* table, std::size_t keep, std::size_t newCount, std::size_t width);

template <class T>
T* NewTable(std::size_t count) {
  return static_cast<T*>(AllocTable(count, sizeof(T)));
}

template <class T>
void GrowTableIn(T*& table, std::size_t keep, std::size_t newCount) {
  table = static_cast<T*>(GrowTable(table, keep, newCount, sizeof(T)));
}

template <class T>
void ReleaseTable(T*& table) {
  FreeTable(const_cast<void*>(static_cast<const void*>(table)));
  table = nullptr;
}

// The smaller of a public count and the entries a table really has; 0 for a
// negative count or a missing table. Element numbers 1 to this bound are safe.
inline std::int32_t Bound(std::int32_t count, const void* table) {
  if (count <= 0) return 0;
  std::size_t n = TableEntries(table);
  return n < static_cast<std::size_t>(count) ? static_cast<std::int32_t>(n) : count;
}

#if KELVANE_FAULT_INJECTION
// Test builds only: the n-th table allocation from now fails (1 is the next
// one); 0 turns failures off. AllocationCount tells how many were made.
void FailAllocationAfter(long n);
long AllocationCount();
#endif

}  // namespace kelvane

#endif  // KELVANE_SRC_NETWORK_TABLEALLOC_H
