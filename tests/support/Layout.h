// Layout.h - member offsets and widths measured on a live object, so a test
// can hold them against the byte offsets hosts compile against.
#ifndef KELVANE_TESTS_SUPPORT_LAYOUT_H
#define KELVANE_TESTS_SUPPORT_LAYOUT_H

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

struct Member {
  std::string name;
  std::ptrdiff_t offset;
  std::size_t width;
};

// Name, byte offset from the start of obj, and width of obj's member m.
#define KELVANE_TEST_MEMBER(obj, m)                                                                           \
  Member {                                                                                                    \
    #m, reinterpret_cast<const char*>(&(obj).m) - reinterpret_cast<const char*>(&(obj)), sizeof((obj).m) \
  }

// Same members, in the same order, at the same offsets and widths.
inline void ExpectMembers(const std::vector<Member>& measured, const std::vector<Member>& expected) {
  ASSERT_EQ(measured.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(measured[i].name, expected[i].name);
    EXPECT_EQ(measured[i].offset, expected[i].offset) << expected[i].name;
    EXPECT_EQ(measured[i].width, expected[i].width) << expected[i].name;
  }
}

#endif  // KELVANE_TESTS_SUPPORT_LAYOUT_H
