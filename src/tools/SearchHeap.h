// SearchHeap.h - the one priority queue of the route searches (never
// installed): a 4-ary min-heap of (cost, label) that knows where each label
// sits, so an improved label moves up in place instead of being pushed again.
#ifndef KELVANE_SRC_TOOLS_SEARCHHEAP_H
#define KELVANE_SRC_TOOLS_SEARCHHEAP_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kelvane {
namespace tools {

// Labels are numbers 0 to the count given to Prepare. Between searches every
// position is -1, so a search that starts on a prepared heap writes nothing
// but the labels it touches; Clear restores that after an early stop. Keys
// alone order the heap: it depends only on the pushes and pops, which a
// repeated call makes the same.
class CSearchHeap {
 public:
  struct Item {
    double dKey;
    std::int64_t lId;
  };

  // Positions for labels 0 to nIds - 1. Grows only; throws std::bad_alloc.
  void Prepare(std::size_t nIds) {
    if (m_pos.size() < nIds) m_pos.resize(nIds, -1);
    m_bTrack = true;
  }
  // For one search, no positions: Push adds another item even for a label
  // already in the heap, and the search skips the items whose label has since
  // got cheaper. For labels so many and so scattered (the turn search's step
  // entries) that writing a position at every move costs more than the rare
  // extra item.
  void PrepareUntracked() { m_bTrack = false; }
  bool Empty() const { return m_items.empty(); }
  // REQUIRES: !Empty().
  const Item& Top() const { return m_items.front(); }
  const std::vector<Item>& Items() const { return m_items; }

  // Inserts lId at dKey, or lowers its key to dKey when it is in the heap.
  // REQUIRES: dKey no higher than its key in the heap.
  void Push(double dKey, std::int64_t lId) {
    std::int32_t at = m_bTrack ? m_pos[static_cast<std::size_t>(lId)] : -1;
    if (at < 0) {
      at = static_cast<std::int32_t>(m_items.size());
      m_items.push_back(Item{dKey, lId});
    }
    Up(static_cast<std::size_t>(at), Item{dKey, lId});
  }

  // REQUIRES: !Empty().
  Item Pop() {
    const Item top = m_items.front();
    if (m_bTrack) m_pos[static_cast<std::size_t>(top.lId)] = -1;
    const Item x = m_items.back();
    m_items.pop_back();
    const std::size_t n = m_items.size();
    if (n == 0) return top;
    std::size_t i = 0;
    for (;;) {
      const std::size_t c = 4 * i + 1;
      if (c >= n) break;
      const std::size_t best = c + 4 <= n ? LeastOfFour(c) : LeastOfFew(c, n);
      if (!(m_items[best].dKey < x.dKey)) break;
      Place(i, m_items[best]);
      i = best;
    }
    Place(i, x);
    return top;
  }

  // Empties the heap, its labels' positions back to -1.
  void Clear() {
    if (m_bTrack) {
      for (const Item& it : m_items) m_pos[static_cast<std::size_t>(it.lId)] = -1;
    }
    m_items.clear();
  }

  std::size_t MemoryBytes() const {
    return m_items.capacity() * sizeof(Item) + m_pos.capacity() * sizeof(std::int32_t);
  }

 private:
  void Place(std::size_t i, const Item& x) {
    m_items[i] = x;
    if (m_bTrack) m_pos[static_cast<std::size_t>(x.lId)] = static_cast<std::int32_t>(i);
  }
  // The first of the least of children c to c + 3, by pairs: selects that
  // the compiler makes conditional moves, where a loop's compare-and-branch
  // on the children's keys mispredicts about every other time and was a
  // third of a search's time.
  std::size_t LeastOfFour(std::size_t c) const {
    const Item* k = &m_items[c];
    const double k0 = k[0].dKey;
    const double k1 = k[1].dKey;
    const double k2 = k[2].dKey;
    const double k3 = k[3].dKey;
    // Indices by arithmetic on the compares: written as selects, g++ still
    // branched.
    const std::size_t a = c + static_cast<std::size_t>(k1 < k0);
    const std::size_t b = c + 2 + static_cast<std::size_t>(k3 < k2);
    const double ka = k1 < k0 ? k1 : k0;
    const double kb = k3 < k2 ? k3 : k2;
    return a + static_cast<std::size_t>(kb < ka) * (b - a);
  }
  // The same for the last parent's fewer children, c to n - 1.
  std::size_t LeastOfFew(std::size_t c, std::size_t n) const {
    std::size_t best = c;
    for (std::size_t k = c + 1; k < n; ++k) {
      if (m_items[k].dKey < m_items[best].dKey) best = k;
    }
    return best;
  }
  void Up(std::size_t i, const Item& x) {
    while (i > 0) {
      const std::size_t parent = (i - 1) / 4;
      if (!(x.dKey < m_items[parent].dKey)) break;
      Place(i, m_items[parent]);
      i = parent;
    }
    Place(i, x);
  }

  std::vector<Item> m_items;
  std::vector<std::int32_t> m_pos;  // per label: index in m_items, -1 when not in it (or untracked)
  bool m_bTrack = true;             // positions are kept (Prepare), not for an untracked search
};

}  // namespace tools
}  // namespace kelvane

#endif  // KELVANE_SRC_TOOLS_SEARCHHEAP_H
