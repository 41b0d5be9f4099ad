// CMyTrace, the recorder of blocked elements: sized by StartTrace from
// m_lElemNum, records |n| for 1 <= |n| <= m_lElemNum, answers and lists what it
// recorded, and copies it.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <vector>

#include "kelvane/LocalNetwork.h"
#include "support/ReferenceBuilder.h"

namespace {

std::vector<std::int32_t> Recorded(const CMyTrace& trace) {
  CSmartArray<std::int32_t> elems;
  trace.FetchTraceResult(elems);
  return Elems(elems);
}

void Record(CMyTrace& trace, std::int32_t n) { trace.Trace(n); }

CMyTrace Started(std::int32_t elems) {
  CMyTrace trace;
  trace.m_lElemNum = elems;
  EXPECT_EQ(trace.StartTrace(), 1);
  return trace;
}

}  // namespace

TEST(RecorderTest, NothingIsRecordedBeforeTheFirstStart) {
  CMyTrace trace;
  trace.m_lElemNum = 10;
  std::int32_t n = 3;
  trace.Trace(n);
  EXPECT_EQ(n, 3);  // the number is passed by reference but not changed
  EXPECT_EQ(trace.AskHasTrace(3), 0);
  EXPECT_TRUE(Recorded(trace).empty());
}

TEST(RecorderTest, RecordsTheAbsoluteValueOfEachNumberInRange) {
  CMyTrace trace = Started(10);
  Record(trace, 1);
  Record(trace, -4);
  Record(trace, 10);
  EXPECT_EQ(trace.AskHasTrace(1), 1);
  EXPECT_EQ(trace.AskHasTrace(4), 1);
  EXPECT_EQ(trace.AskHasTrace(-4), 1);
  EXPECT_EQ(trace.AskHasTrace(10), 1);
  EXPECT_EQ(trace.AskHasTrace(2), 0);
  EXPECT_EQ(Recorded(trace), (std::vector<std::int32_t>{1, 4, 10}));
}

TEST(RecorderTest, IgnoresNumbersOutsideTheStartedRange) {
  CMyTrace trace = Started(10);
  for (std::int32_t n : {0, 11, -11, INT_MAX, INT_MIN}) {
    std::int32_t copy = n;
    trace.Trace(copy);
    EXPECT_EQ(trace.AskHasTrace(n), 0) << n;
  }
  trace.m_lElemNum = 100;  // a larger count written after the start covers nothing more
  Record(trace, 50);
  EXPECT_EQ(trace.AskHasTrace(50), 0);
  EXPECT_TRUE(Recorded(trace).empty());
}

TEST(RecorderTest, ZeroOrNegativeElementCountRecordsNothing) {
  for (std::int32_t count : {0, -5}) {
    CMyTrace trace;
    trace.m_lElemNum = count;
    trace.StartTrace();
    Record(trace, 1);
    Record(trace, -5);
    EXPECT_EQ(trace.AskHasTrace(1), 0);
    EXPECT_TRUE(Recorded(trace).empty()) << count;
  }
}

TEST(RecorderTest, FetchListsEachRecordedElementOnceInAscendingOrder) {
  CMyTrace trace = Started(100);
  for (std::int32_t n : {70, 3, -70, 99, 3, 64, 8, 9, 1, 100}) Record(trace, n);
  CSmartArray<std::int32_t> elems;
  elems.Add(-1);
  elems.Add(-2);  // emptied first
  trace.FetchTraceResult(elems);
  EXPECT_EQ(Elems(elems), (std::vector<std::int32_t>{1, 3, 8, 9, 64, 70, 99, 100}));
}

TEST(RecorderTest, StartingAgainDropsEverythingRecorded) {
  CMyTrace trace = Started(8);
  Record(trace, 5);
  trace.m_lElemNum = 20;
  ASSERT_EQ(trace.StartTrace(), 1);
  EXPECT_EQ(trace.AskHasTrace(5), 0);
  Record(trace, 20);
  EXPECT_EQ(Recorded(trace), (std::vector<std::int32_t>{20}));
}

TEST(RecorderTest, CopyConstructionCopiesWhatWasRecordedAndStaysIndependent) {
  CMyTrace src = Started(30);
  Record(src, 7);
  Record(src, 30);
  CMyTrace copy(src);
  EXPECT_EQ(copy.m_lElemNum, 30);
  EXPECT_EQ(Recorded(copy), (std::vector<std::int32_t>{7, 30}));
  Record(copy, 12);
  Record(src, 1);
  EXPECT_EQ(Recorded(src), (std::vector<std::int32_t>{1, 7, 30}));
  EXPECT_EQ(Recorded(copy), (std::vector<std::int32_t>{7, 12, 30}));
}

TEST(RecorderTest, CopyOfAnUnstartedRecorderRecordsNothing) {
  CMyTrace src;
  src.m_lElemNum = 5;
  CMyTrace copy(src);
  Record(copy, 2);
  EXPECT_EQ(copy.AskHasTrace(2), 0);
}

TEST(RecorderTest, AssignmentReplacesWhatWasRecorded) {
  CMyTrace src = Started(16);
  Record(src, 16);
  CMyTrace dst = Started(1000);
  Record(dst, 999);
  dst = src;
  EXPECT_EQ(dst.m_lElemNum, 16);
  EXPECT_EQ(Recorded(dst), (std::vector<std::int32_t>{16}));
  Record(dst, 17);  // beyond the copied size
  Record(dst, 2);
  EXPECT_EQ(Recorded(dst), (std::vector<std::int32_t>{2, 16}));
  EXPECT_EQ(Recorded(src), (std::vector<std::int32_t>{16}));

  CMyTrace unstarted;
  unstarted.m_lElemNum = 0;
  dst = unstarted;
  EXPECT_TRUE(Recorded(dst).empty());
}

TEST(RecorderTest, SelfAssignmentKeepsWhatWasRecorded) {
  CMyTrace trace = Started(9);
  Record(trace, 4);
  CMyTrace& alias = trace;
  trace = alias;
  EXPECT_EQ(Recorded(trace), (std::vector<std::int32_t>{4}));
}
