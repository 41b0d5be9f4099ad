// CSmartArray over the element kinds the library and its hosts use: a 32-bit
// number, the packed 9-byte weight record, and a pointer (m_ExtEdgeWgt).
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>

#include "kelvane/LocalNetwork.h"
#include "support/ReferenceBuilder.h"

namespace {

// A distinct, non-zero value for each i.
template <class T>
T Value(std::int32_t i);

template <>
std::int32_t Value<std::int32_t>(std::int32_t i) {
  return 1000 + i;
}

template <>
NWeightVal_stru Value<NWeightVal_stru>(std::int32_t i) {
  NWeightVal_stru w;
  w.cType = static_cast<char>(1 + i % 4);
  w.dVal = 0.5 + i;
  return w;
}

NWeightVal_stru g_targets[512];

template <>
NWeightVal_stru* Value<NWeightVal_stru*>(std::int32_t i) {
  return &g_targets[i % 512];
}

template <class T>
bool Same(const T& a, const T& b) {
  return std::memcmp(&a, &b, sizeof(T)) == 0;
}

template <class T>
bool IsZero(const T& a) {
  static const unsigned char zeros[sizeof(T)] = {};
  return std::memcmp(&a, zeros, sizeof(T)) == 0;
}

template <class T>
void Fill(CSmartArray<T>& a, std::int32_t n, std::int32_t first = 0) {
  for (std::int32_t i = 0; i < n; ++i) a.Add(Value<T>(first + i));
}

// a holds Value(first) .. Value(first + n - 1).
template <class T>
::testing::AssertionResult Holds(const CSmartArray<T>& a, std::int32_t n, std::int32_t first = 0) {
  if (a.GetSize() != n) return ::testing::AssertionFailure() << "size " << a.GetSize() << ", expected " << n;
  for (std::int32_t i = 0; i < n; ++i) {
    if (!Same(a.GetAt(i), Value<T>(first + i))) return ::testing::AssertionFailure() << "element " << i;
  }
  return ::testing::AssertionSuccess();
}

}  // namespace

template <class T>
class SmartArrayTest : public ::testing::Test {};

using ElementTypes = ::testing::Types<std::int32_t, NWeightVal_stru, NWeightVal_stru*>;

class ElementName {
 public:
  template <class T>
  static std::string GetName(int) {
    if (std::is_same<T, std::int32_t>::value) return "Int32";
    if (std::is_same<T, NWeightVal_stru>::value) return "WeightRecord";
    return "Pointer";
  }
};
TYPED_TEST_SUITE(SmartArrayTest, ElementTypes, ElementName);

TYPED_TEST(SmartArrayTest, NewArrayIsEmptyWithNoElementPointer) {
  CSmartArray<TypeParam> a;
  EXPECT_EQ(a.GetSize(), 0);
  EXPECT_EQ(a.GetPtr(0), nullptr);
}

TYPED_TEST(SmartArrayTest, AddReturnsConsecutiveIndicesAndGetAtReadsBackEachElement) {
  CSmartArray<TypeParam> a;
  for (std::int32_t i = 0; i < 1000; ++i) ASSERT_EQ(a.Add(Value<TypeParam>(i)), i);
  EXPECT_TRUE(Holds(a, 1000));
}

TYPED_TEST(SmartArrayTest, AddOnlyReadsItsArgument) {
  CSmartArray<TypeParam> a;
  const TypeParam v = Value<TypeParam>(7);
  a.Add(v);
  EXPECT_TRUE(Same(v, Value<TypeParam>(7)));
}

TYPED_TEST(SmartArrayTest, RemoveAllEmptiesAndTheArrayRefillsFromIndexZero) {
  CSmartArray<TypeParam> a;
  for (std::int32_t round = 0; round < 3; ++round) {
    Fill(a, 50 + round, round * 100);
    ASSERT_TRUE(Holds(a, 50 + round, round * 100));
    a.RemoveAll();
    ASSERT_EQ(a.GetSize(), 0);
    EXPECT_EQ(a.GetPtr(0), nullptr);
  }
  EXPECT_EQ(a.Add(Value<TypeParam>(9)), 0);
  EXPECT_TRUE(Holds(a, 1, 9));
}

TYPED_TEST(SmartArrayTest, SetSizeRefusesANegativeCountAndKeepsTheElements) {
  CSmartArray<TypeParam> a;
  Fill(a, 4);
  EXPECT_EQ(a.SetSize(-1), -1);
  EXPECT_EQ(a.SetSize(INT_MIN), -1);
  EXPECT_TRUE(Holds(a, 4));
  EXPECT_EQ(a.SetSize(2), 1);
  EXPECT_TRUE(Holds(a, 2));
  EXPECT_EQ(a.SetSize(0), 1);
  EXPECT_EQ(a.GetSize(), 0);
}

TYPED_TEST(SmartArrayTest, SetSizeEnlargingZeroFillsEvenOverEarlierContent) {
  CSmartArray<TypeParam> a;
  Fill(a, 8);
  a.RemoveAll();  // the storage may keep its old bytes behind the end
  ASSERT_EQ(a.SetSize(8), 1);
  for (std::int32_t i = 0; i < 8; ++i) EXPECT_TRUE(IsZero(a.GetAt(i))) << i;
  a.SetSize(3);
  Fill(a, 1, 5);
  ASSERT_EQ(a.SetSize(6), 1);
  EXPECT_TRUE(Same(a.GetAt(3), Value<TypeParam>(5)));
  EXPECT_TRUE(IsZero(a.GetAt(4)));
  EXPECT_TRUE(IsZero(a.GetAt(5)));
  EXPECT_EQ(a.Add(Value<TypeParam>(1)), 6);
}

TYPED_TEST(SmartArrayTest, GetAtOutsideTheArrayReturnsADefaultElement) {
  CSmartArray<TypeParam> a;
  EXPECT_TRUE(IsZero(a.GetAt(0)));
  Fill(a, 3);
  for (std::int32_t i : {-1, 3, 4, INT_MAX, INT_MIN}) EXPECT_TRUE(IsZero(a.GetAt(i))) << i;
  EXPECT_TRUE(Holds(a, 3));
}

TYPED_TEST(SmartArrayTest, GetPtrPointsIntoTheStorageAndIsNullOutsideIt) {
  CSmartArray<TypeParam> a;
  Fill(a, 5);
  EXPECT_EQ(a.GetPtr(-1), nullptr);
  EXPECT_EQ(a.GetPtr(5), nullptr);
  EXPECT_EQ(a.GetPtr(INT_MIN), nullptr);
  TypeParam* last = a.GetPtr(4);
  ASSERT_NE(last, nullptr);
  EXPECT_TRUE(Same(*last, Value<TypeParam>(4)));
  *a.GetPtr(2) = Value<TypeParam>(77);
  EXPECT_TRUE(Same(a.GetAt(2), Value<TypeParam>(77)));
  EXPECT_EQ(a.GetSize(), 5);
}

TYPED_TEST(SmartArrayTest, ConstArrayAnswersSizeAndElements) {
  CSmartArray<TypeParam> a;
  Fill(a, 3);
  const CSmartArray<TypeParam>& c = a;
  EXPECT_EQ(c.GetSize(), 3);
  EXPECT_TRUE(Same(c.GetAt(1), Value<TypeParam>(1)));
}

TYPED_TEST(SmartArrayTest, CopyConstructionMakesAnIndependentArray) {
  CSmartArray<TypeParam> src;
  Fill(src, 20);
  CSmartArray<TypeParam> copy(src);
  ASSERT_TRUE(Holds(copy, 20));
  copy.Add(Value<TypeParam>(100));
  *copy.GetPtr(0) = Value<TypeParam>(101);
  EXPECT_TRUE(Holds(src, 20));
  src.Add(Value<TypeParam>(102));
  *src.GetPtr(1) = Value<TypeParam>(103);
  EXPECT_EQ(copy.GetSize(), 21);
  EXPECT_TRUE(Same(copy.GetAt(1), Value<TypeParam>(1)));
  EXPECT_EQ(copy.Add(Value<TypeParam>(0)), 21);  // the copy appends behind its own end
}

TYPED_TEST(SmartArrayTest, CopyConstructionOfAnEmptyArrayIsEmpty) {
  CSmartArray<TypeParam> src;
  CSmartArray<TypeParam> copy(src);
  EXPECT_EQ(copy.GetSize(), 0);
  EXPECT_EQ(copy.Add(Value<TypeParam>(3)), 0);
  EXPECT_EQ(src.GetSize(), 0);
}

TYPED_TEST(SmartArrayTest, CopyReplacesTheContentAndLeavesTheArraysIndependent) {
  CSmartArray<TypeParam> src;
  Fill(src, 6, 10);
  CSmartArray<TypeParam> dst;
  Fill(dst, 40);
  EXPECT_EQ(dst.Copy(src), 1);
  ASSERT_TRUE(Holds(dst, 6, 10));
  dst.Add(Value<TypeParam>(1));
  *dst.GetPtr(0) = Value<TypeParam>(2);
  EXPECT_TRUE(Holds(src, 6, 10));
  *src.GetPtr(5) = Value<TypeParam>(3);
  EXPECT_TRUE(Same(dst.GetAt(5), Value<TypeParam>(15)));
  EXPECT_EQ(dst.GetSize(), 7);
}

TYPED_TEST(SmartArrayTest, CopyOntoItselfIsRefusedAndChangesNothing) {
  CSmartArray<TypeParam> a;
  Fill(a, 4);
  EXPECT_EQ(a.Copy(a), -1);
  EXPECT_TRUE(Holds(a, 4));
}

TYPED_TEST(SmartArrayTest, CopyFromAnEmptyArrayEmptiesThisOne) {
  CSmartArray<TypeParam> a;
  Fill(a, 4);
  CSmartArray<TypeParam> empty;
  EXPECT_EQ(a.Copy(empty), 1);
  EXPECT_EQ(a.GetSize(), 0);
  EXPECT_EQ(a.GetPtr(0), nullptr);
  EXPECT_EQ(a.Add(Value<TypeParam>(1)), 0);
}

TYPED_TEST(SmartArrayTest, AssignmentCopiesAndSelfAssignmentKeepsTheElements) {
  CSmartArray<TypeParam> src;
  Fill(src, 9);
  CSmartArray<TypeParam> dst;
  Fill(dst, 2, 50);
  dst = src;
  ASSERT_TRUE(Holds(dst, 9));
  dst.Add(Value<TypeParam>(1));
  EXPECT_TRUE(Holds(src, 9));
  CSmartArray<TypeParam>& alias = src;
  src = alias;
  EXPECT_TRUE(Holds(src, 9));
}

TYPED_TEST(SmartArrayTest, CopiedArrayStillWorksAfterTheSourceIsGone) {
  CSmartArray<TypeParam> copy;
  {
    CSmartArray<TypeParam> src;
    Fill(src, 30);
    copy.Copy(src);
  }
  EXPECT_TRUE(Holds(copy, 30));
  copy.RemoveAll();
  Fill(copy, 2);
  EXPECT_TRUE(Holds(copy, 2));
}

TEST(SmartArrayPointerTest, CopyKeepsThePointerValuesAndSharesThePointedToData) {
  NWeightVal_stru records[2];
  CSmartArray<NWeightVal_stru*> src;
  src.Add(&records[0]);
  src.Add(&records[1]);
  CSmartArray<NWeightVal_stru*> copied(src);
  CSmartArray<NWeightVal_stru*> assigned;
  assigned.Copy(src);
  EXPECT_EQ(copied.GetAt(0), &records[0]);
  EXPECT_EQ(copied.GetAt(1), &records[1]);
  EXPECT_EQ(assigned.GetAt(1), &records[1]);
  copied.GetAt(0)->dVal = 4.0;
  EXPECT_EQ(ValOf(records[0]), 4.0);
}

TEST(SmartArrayPointerTest, NullPointersSurviveCopying) {
  CSmartArray<NWeightVal_stru*> src;
  src.Add(nullptr);
  CSmartArray<NWeightVal_stru*> copy(src);
  ASSERT_EQ(copy.GetSize(), 1);
  EXPECT_EQ(copy.GetAt(0), nullptr);
  ASSERT_NE(copy.GetPtr(0), nullptr);  // a pointer to the slot, not the slot's value
  EXPECT_EQ(*copy.GetPtr(0), nullptr);
}

TEST(SmartArrayDoubleTest, ListOfDoublesKeepsEveryBit) {
  CSmartArray<double> a;
  a.Add(-0.0);
  a.Add(1e308);
  a.Add(5e-324);
  CSmartArray<double> copy(a);
  EXPECT_TRUE(std::signbit(copy.GetAt(0)));
  EXPECT_EQ(copy.GetAt(1), 1e308);
  EXPECT_EQ(copy.GetAt(2), 5e-324);
}
