// Bits.h - the one bitset of the library (private, never installed): the
// trace marks and the recorders of blocked elements both keep one bit per
// element in a table, element i at bit i - 1: byte (i - 1) / 8, bit (i - 1) % 8
// from the least significant end.
#ifndef KELVANE_SRC_NETWORK_BITS_H
#define KELVANE_SRC_NETWORK_BITS_H

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "kelvane/SmartArray.h"

namespace kelvane {

// A 64-bit word loaded from 8 bitset bytes holds bit k of the bitset as its
// bit k only when the low byte comes first in memory.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the fetch scan loads bitset bytes as words");

// Bits handed to the list per reservation. A multiple of 64, so every word
// stays inside one block; large enough that reserving is rare.
inline constexpr std::int32_t kBlockBits = 64 * 64;

// Sets element lElem's bit; 0 when it lies outside 1 to bound.
inline std::int32_t MarkBit(unsigned char* bits, std::int32_t bound, std::int32_t lElem) {
  if (lElem < 1 || lElem > bound) return 0;
  std::uint32_t k = static_cast<std::uint32_t>(lElem - 1);
  bits[k >> 3] = static_cast<unsigned char>(bits[k >> 3] | (1u << (k & 7)));
  return 1;
}

inline char TestBit(const unsigned char* bits, std::int32_t bound, std::int32_t lElem) {
  if (lElem < 1 || lElem > bound) return 0;
  std::uint32_t k = static_cast<std::uint32_t>(lElem - 1);
  return static_cast<char>((bits[k >> 3] >> (k & 7)) & 1u);
}

// Bits k to k + 63 as one word, k a multiple of 64. Near the end only the
// bytes holding bits below nBits are read; the caller masks what lies past it.
inline std::uint64_t LoadWord(const unsigned char* bits, std::int64_t k, std::int64_t nBits) {
  std::uint64_t word = 0;
  std::int64_t left = nBits - k;
  std::size_t bytes = left >= 64 ? sizeof word : static_cast<std::size_t>((left + 7) / 8);
  std::memcpy(&word, bits + k / 8, bytes);
  return word;
}

// Empties list, then appends in ascending order every element 1 to nBits whose
// bit is set (wantSet) or clear. Whole words of nothing are skipped and whole
// words of everything written as a run, so sparse and dense bitsets both cost
// about one test per 64 elements plus one store per element listed.
inline void ListBits(const unsigned char* bits, std::int32_t nBits, bool wantSet, CSmartArray<std::int32_t>& list) {
  list.RemoveAll();
  const std::uint64_t flip = wantSet ? 0 : ~std::uint64_t{0};
  for (std::int64_t base = 0; base < nBits; base += kBlockBits) {
    // Room for every element of the block; at most nBits in all, so the list
    // never reserves past the largest count.
    std::int32_t blockBits = static_cast<std::int32_t>(std::min<std::int64_t>(kBlockBits, nBits - base));
    std::int32_t* out = list.ReserveBack(blockBits);
    std::int32_t* p = out;
    for (std::int64_t k = base; k < base + blockBits; k += 64) {
      std::int64_t inWord = std::min<std::int64_t>(64, nBits - k);
      std::uint64_t word = LoadWord(bits, k, nBits) ^ flip;
      // Spare bits past the last element are never reported, whatever they hold.
      if (inWord < 64) word &= (std::uint64_t{1} << inWord) - 1;
      if (word == 0) continue;
      std::int32_t first = static_cast<std::int32_t>(k + 1);
      if (word == ~std::uint64_t{0}) {
        for (std::int32_t i = 0; i < 64; ++i) p[i] = first + i;
        p += 64;
        continue;
      }
      do {
        *p++ = first + __builtin_ctzll(word);
        word &= word - 1;
      } while (word != 0);
    }
    list.CommitBack(static_cast<std::int32_t>(p - out));
  }
}

}  // namespace kelvane

#endif  // KELVANE_SRC_NETWORK_BITS_H
