// Layout of the records and containers that hosts compile against: a change
// here breaks every host built against an earlier header.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>

#include "kelvane/LocalNetwork.h"

static_assert(sizeof(NWeightVal_stru) == 9, "weight records are packed");
static_assert(alignof(NWeightVal_stru) == 1, "weight records are packed");
static_assert(offsetof(NWeightVal_stru, cType) == 0, "type byte first");
static_assert(offsetof(NWeightVal_stru, dVal) == 1, "value straight after the type byte");
static_assert(std::is_trivially_copyable<NWeightVal_stru>::value, "tables are copied byte for byte");

static_assert(sizeof(NEdgeNod_stru) == 8 && alignof(NEdgeNod_stru) == 4, "two 32-bit node numbers");
static_assert(offsetof(NEdgeNod_stru, lFromNod) == 0 && offsetof(NEdgeNod_stru, lToNod) == 4, "from, then to");

static_assert(sizeof(NNodConn_stru) == 16 && alignof(NNodConn_stru) == 8, "count and list pointer");
static_assert(offsetof(NNodConn_stru, sConnNum) == 0 && offsetof(NNodConn_stru, pConnEdge) == 8,
              "count, then the list");
static_assert(sizeof(NNodConn_stru::sConnNum) == 2, "16-bit count");

static_assert(sizeof(NET_FLGstruct) == 272 && alignof(NET_FLGstruct) == 8, "natural alignment");
static_assert(offsetof(NET_FLGstruct, cFlgType) == 0, "kind");
static_assert(offsetof(NET_FLGstruct, lElemID) == 4, "element number");
static_assert(offsetof(NET_FLGstruct, dPos) == 8, "position");
static_assert(offsetof(NET_FLGstruct, szFlgText) == 16 && sizeof(NET_FLGstruct::szFlgText) == 256,
              "text");
static_assert(std::is_trivially_copyable<NET_FLGstruct>::value, "flags travel in CSmartArray");

static_assert(sizeof(TEMPEDGE_MAP_EDGE) == 8, "two 32-bit numbers");
static_assert(offsetof(TEMPEDGE_MAP_EDGE, lTempEdgeID) == 0 && offsetof(TEMPEDGE_MAP_EDGE, lEdgeID) == 4,
              "new edge, then the edge it was cut from");

static_assert(sizeof(CSmartArray<std::int32_t>) == 16 && sizeof(CSmartArray<NET_FLGstruct>) == 16,
              "storage pointer, element size, count, whatever the element");
static_assert(std::has_virtual_destructor<CLocalNetwork>::value, "hosts delete networks through the class");
static_assert(!std::is_polymorphic<CSmartArray<std::int32_t>>::value, "the array has no virtual table");

namespace {

// Constructs T over bytes that are all 0xAB and returns them, so that a field
// the default constructor forgets shows up.
template <class T>
void ConstructOverGarbage(unsigned char (&bytes)[sizeof(T)]) {
  std::memset(bytes, 0xAB, sizeof bytes);
  T* p = new (bytes) T();
  (void)p;
}

// The array's three fields, read from its bytes: storage pointer, element
// size, count.
template <class T>
void ReadArrayFields(const CSmartArray<T>& a, const void*& file, std::int32_t& elemSize, std::int32_t& count) {
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&a);
  std::memcpy(&file, bytes, sizeof file);
  std::memcpy(&elemSize, bytes + 8, sizeof elemSize);
  std::memcpy(&count, bytes + 12, sizeof count);
}

}  // namespace

TEST(LayoutTest, DefaultWeightRecordIsNineZeroBytes) {
  alignas(8) unsigned char bytes[sizeof(NWeightVal_stru)];
  ConstructOverGarbage<NWeightVal_stru>(bytes);
  for (unsigned char b : bytes) EXPECT_EQ(b, 0);
}

TEST(LayoutTest, DefaultFlagIsKindZeroAtElementZeroWithEmptyText) {
  alignas(8) unsigned char bytes[sizeof(NET_FLGstruct)];
  ConstructOverGarbage<NET_FLGstruct>(bytes);
  NET_FLGstruct flag;
  std::memcpy(&flag, bytes, sizeof flag);
  EXPECT_EQ(flag.cFlgType, 0);
  EXPECT_EQ(flag.lElemID, 0);
  EXPECT_EQ(flag.dPos, 0.0);
  for (char c : flag.szFlgText) EXPECT_EQ(c, 0);
}

TEST(LayoutTest, WeightValueStartsAtTheSecondByte) {
  NWeightVal_stru w;
  w.cType = 4;
  w.dVal = 2.5;
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&w);
  double d;
  std::memcpy(&d, bytes + 1, sizeof d);
  EXPECT_EQ(bytes[0], 4);
  EXPECT_EQ(d, 2.5);
}

TEST(LayoutTest, WeightTablesStepNineBytesPerRecord) {
  NWeightVal_stru table[3];
  EXPECT_EQ(reinterpret_cast<unsigned char*>(&table[2]) - reinterpret_cast<unsigned char*>(&table[0]), 18);
}

TEST(LayoutTest, SmartArrayHoldsStoragePointerThenElementSizeThenCount) {
  CSmartArray<std::int32_t> ints;
  ints.Add(1);
  ints.Add(2);
  ints.Add(3);
  const void* file = nullptr;
  std::int32_t elemSize = 0;
  std::int32_t count = 0;
  ReadArrayFields(ints, file, elemSize, count);
  EXPECT_NE(file, nullptr);
  EXPECT_EQ(elemSize, 4);
  EXPECT_EQ(count, 3);

  CSmartArray<NET_FLGstruct> flags;
  flags.Add(NET_FLGstruct());
  ReadArrayFields(flags, file, elemSize, count);
  EXPECT_NE(file, nullptr);
  EXPECT_EQ(elemSize, 272);
  EXPECT_EQ(count, 1);

  CSmartArray<NWeightVal_stru*> ptrs;
  ReadArrayFields(ptrs, file, elemSize, count);
  EXPECT_NE(file, nullptr);
  EXPECT_EQ(elemSize, 8);
  EXPECT_EQ(count, 0);
}
