// Bits.h - the one bitset of the core and the toolkit (private, never
// installed). The trace marks and the recorders of blocked elements keep one
// bit per element in a table of the core, element i at bit i - 1: byte
// (i - 1) / 8, bit (i - 1) % 8 from the least significant end. The toolkit's
// analyses keep theirs in CElemBits below, which owns its words; both scan
// their words for set bits the same way (ForEachSetIn).
#ifndef KELVANE_SRC_NETWORK_BITS_H
#define KELVANE_SRC_NETWORK_BITS_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

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

// Calls f(first + k) for every bit k set in word, ascending.
template <class F>
inline void ForEachSetIn(std::uint64_t word, std::int64_t first, F f) {
  for (; word != 0; word &= word - 1) f(first + __builtin_ctzll(word));
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
      ForEachSetIn(word, first, [&p](std::int64_t i) { *p++ = static_cast<std::int32_t>(i); });
    }
    list.CommitBack(static_cast<std::int32_t>(p - out));
  }
}

// One bit per element number 0 to n, owned by the object: the analyses'
// reached, barrier and start sets. Number 0 is never set by the analyses.
class CElemBits {
 public:
  explicit CElemBits(std::int64_t n = 0) : m_words(static_cast<std::size_t>(n / 64 + 1), 0) {}
  bool Test(std::int64_t i) const { return ((m_words[Word(i)] >> (i & 63)) & 1U) != 0; }
  void Set(std::int64_t i) { m_words[Word(i)] |= Bit(i); }
  // Sets bit i and tells whether it was clear.
  bool TestAndSet(std::int64_t i) {
    std::uint64_t& w = m_words[Word(i)];
    const std::uint64_t b = Bit(i);
    if ((w & b) != 0) return false;
    w |= b;
    return true;
  }
  bool Any() const {
    return std::any_of(m_words.begin(), m_words.end(), [](std::uint64_t w) { return w != 0; });
  }
  // The numbers set, ascending, appended to out.
  void AppendSet(std::vector<std::int32_t>& out) const {
    ForEachSet([&out](std::int64_t i) { out.push_back(static_cast<std::int32_t>(i)); });
  }
  // Calls f(i) for every number i set, ascending.
  template <class F>
  void ForEachSet(F f) const {
    for (std::size_t w = 0; w < m_words.size(); ++w) ForEachSetIn(m_words[w], static_cast<std::int64_t>(w * 64), f);
  }
  std::int64_t Count() const {
    std::int64_t n = 0;
    for (std::uint64_t w : m_words) n += __builtin_popcountll(w);
    return n;
  }

  // Sets numbers given one after another, the word being set kept in a
  // register while they stay in it. Set after Set into one word in memory
  // makes each load wait for the store before it; numbers that come in runs
  // (a node's edges) then cost a store a run. The bits are whole once the
  // run is destroyed or flushed.
  class CRun {
   public:
    explicit CRun(CElemBits& bits) : m_pWords(bits.m_words.data()) {}
    ~CRun() { Flush(); }
    CRun(const CRun&) = delete;
    CRun& operator=(const CRun&) = delete;
    void Set(std::int64_t i) {
      const std::size_t w = Word(i);
      if (w != m_lWord) {
        Flush();
        m_lWord = w;
      }
      m_acc |= Bit(i);
    }
    void Flush() {
      m_pWords[m_lWord] |= m_acc;
      m_acc = 0;
    }

   private:
    std::uint64_t* m_pWords;
    std::size_t m_lWord = 0;
    std::uint64_t m_acc = 0;
  };

 private:
  static std::size_t Word(std::int64_t i) { return static_cast<std::size_t>(i >> 6); }
  static std::uint64_t Bit(std::int64_t i) { return std::uint64_t{1} << (i & 63); }
  std::vector<std::uint64_t> m_words;
};

}  // namespace kelvane

#endif  // KELVANE_SRC_NETWORK_BITS_H
