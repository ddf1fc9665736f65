// The typed lists over the base lists.
#include "runtime1/containers/Useful_Classes_numberlists.h"

#include <limits>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/Streams.h"
#include "platform/YieldHook.h"
#include "runtime1/containers/Useful_Classes.h"

namespace qn {
namespace {

using platform::TMemoryStream;
using platform::TMemoryViewStream;
using Bytes = std::vector<uint8_t>;

Bytes Saved(TUsefulBaseList& list) {
  TMemoryStream s;
  EXPECT_TRUE(list.SaveToStream(s));
  return Bytes(s.Bytes().begin(), s.Bytes().end());
}

template <typename L>
bool Load(L& list, const Bytes& image) {
  TMemoryViewStream in(image.data(), static_cast<int64_t>(image.size()));
  return list.ReadFromStream(in);
}

std::vector<int32_t> Values(const TQNLongintList& list) {
  std::vector<int32_t> v;
  for (int32_t i = 0; i < list.Count(); ++i) v.push_back(list.GetAValue(i));
  return v;
}

// ---------------------------------------------------------------------------
// TQNLongintList

TEST(TQNLongintList, SortedInsertionPutsANewEqualValueFirst) {
  TQNLongintList list;
  for (int32_t v : {5, 1, 3}) list.AddOne(v);
  EXPECT_EQ(Values(list), (std::vector<int32_t>{5, 1, 3}));  // unsorted: appended
  list.SortAscendingDefault();
  EXPECT_TRUE(list.sorted);
  EXPECT_EQ(list.AddOne(4), 2);
  EXPECT_EQ(Values(list), (std::vector<int32_t>{1, 3, 4, 5}));
  TUsefulBaseListObject* old3 = list.Items(1);
  EXPECT_EQ(list.AddOne(3), 1);
  EXPECT_EQ(Values(list), (std::vector<int32_t>{1, 3, 3, 4, 5}));
  EXPECT_EQ(list.Items(2), old3);  // the new 3 went before the old one

  EXPECT_EQ(list.Find(2), -1);
  EXPECT_TRUE(list.nearest == 0 || list.nearest == 1) << list.nearest;
  EXPECT_EQ(list.Find(5), 4);
  EXPECT_EQ(list.IndexOf(4), 3);
  EXPECT_EQ(list.GetAValue(list.Count()), -1);
  EXPECT_EQ(list.GetAValue(-1), -1);
}

TEST(TQNLongintList, SortedInsertionKeepsRandomListsInOrder) {
  std::mt19937 rng(5);
  for (int round = 0; round < 50; ++round) {
    TQNLongintList list;
    list.SortAscendingDefault();  // an empty list sorted: every AddOne inserts in order
    std::vector<int32_t> want;
    for (int i = 0; i < 60; ++i) {
      const int32_t v = static_cast<int32_t>(rng() % 20) - 10;
      list.AddOne(v);
      want.insert(std::lower_bound(want.begin(), want.end(), v), v);
    }
    ASSERT_EQ(Values(list), want);
    for (int32_t v = -11; v <= 10; ++v) {
      const int32_t k = list.Find(v);
      if (std::binary_search(want.begin(), want.end(), v)) {
        ASSERT_GE(k, 0);
        ASSERT_EQ(list.GetAValue(k), v);
      } else {
        ASSERT_EQ(k, -1);
      }
    }
  }
}

TEST(TQNLongintList, LinearSearchWhenNotSortedAndFreeing) {
  TQNLongintList list;
  for (int32_t v : {9, 4, 4, 7}) list.AddOne(v);
  EXPECT_EQ(list.IndexOf(4), 1);
  EXPECT_EQ(list.IndexOf(8), -1);
  list.InsertOne(0, 100);
  EXPECT_EQ(list.GetAValue(0), 100);
  EXPECT_THROW(list.InsertOne(99, 1), EListError);

  list.SortAscendingDefault();  // 4 4 7 9 100
  EXPECT_EQ(list.FindAndFree(7), 2);
  EXPECT_FALSE(list.IndexAssignedOK(2));
  EXPECT_EQ(list.GetAValue(2), -1);
  EXPECT_EQ(list.Count(), 5);
  EXPECT_EQ(list.FindAndFree(8), -1);
  list.Pack();
  EXPECT_EQ(Values(list), (std::vector<int32_t>{4, 4, 9, 100}));
  list.RemoveDuplicates();
  EXPECT_EQ(Values(list), (std::vector<int32_t>{4, 9, 100}));
}

TEST(TQNLongintList, BinarySearchYieldsOncePerProbe) {
  TQNLongintList list;
  for (int32_t v = 0; v < 1000; ++v) list.AddOne(v);
  list.SortAscendingDefault();
  int yields = 0;
  auto hook = [&] { ++yields; };
  AYieldProcessProc = TYieldProcessProc::FromCallable(hook);
  EXPECT_EQ(list.Find(0), 0);
  AYieldProcessProc.Clear();
  EXPECT_EQ(yields, 9);  // probes 499, 249, 124, 61, 30, 14, 6, 2, 0
}

TEST(TQNLongintList, GoldenImageAndUntrustedStreams) {
  TQNLongintList list;
  list.AddOne(3);
  list.AddOne(-1);
  list.SortAscendingDefault();
  const Bytes image = Saved(list);
  EXPECT_EQ(image, (Bytes{2, 0, 0, 0, 1, 0xFF, 0xFF, 0xFF, 0xFF, 3, 0, 0, 0}));
  TQNLongintList back;
  EXPECT_TRUE(Load(back, image));
  EXPECT_EQ(Values(back), (std::vector<int32_t>{-1, 3}));
  EXPECT_TRUE(back.sorted);

  // A count above the values held: false, the missing one appended as 0.
  Bytes lying = image;
  lying[0] = 3;
  TQNLongintList victim;
  victim.AddOne(42);
  EXPECT_FALSE(Load(victim, lying));
  EXPECT_EQ(Values(victim), (std::vector<int32_t>{42, -1, 3, 0}));
  // A count that could never be honoured raises before anything is added.
  lying[3] = 0x40;
  TQNLongintList refused;
  refused.AddOne(42);
  EXPECT_THROW(Load(refused, lying), EReadError);
  EXPECT_EQ(Values(refused), (std::vector<int32_t>{42}));
}

TEST(TQNActiveLongintList, CurrentItem) {
  TQNActiveLongintList list;
  EXPECT_EQ(list.CurrentItem(), -1);
  EXPECT_EQ(list.CurrentItemValue(), -1);
  list.AddOneAndSetCountCurrent(10);
  list.AddOneAndSetCountCurrent(20);
  EXPECT_EQ(list.CurrentItem(), 1);
  EXPECT_EQ(list.CurrentItemValue(), 20);
  list.SortAscendingDefault();
  EXPECT_EQ(list.AddOneAndSetCountCurrent(15), 1);  // follows the new value
  EXPECT_EQ(list.CurrentItemValue(), 15);
  EXPECT_EQ(list.FindAndFree(15), 1);
  EXPECT_EQ(list.CurrentItem(), 0);  // moved back by one
  list.Pack();                       // searches need a list without empty slots
  EXPECT_EQ(list.FindAndFree(10), 0);
  EXPECT_EQ(list.CurrentItem(), 1);  // was 0: to the last index
  list.Clear();
  EXPECT_EQ(list.CurrentItem(), -1);
}

// ---------------------------------------------------------------------------
// Other number lists

TEST(TCardinalList, AppendsAndSearchesUnsigned) {
  TCardinalList list;
  for (uint32_t v : {0xFFFFFFF0u, 1u, 0x80000000u}) list.AddOne(v);
  EXPECT_EQ(list.IndexOf(1u), 1);
  list.SortAscendingDefault();
  EXPECT_EQ(list.GetAValue(2), 0xFFFFFFF0u);
  EXPECT_EQ(list.Find(0x80000000u), 1);
  EXPECT_EQ(list.AddOne(0), 3);  // always appends, even when sorted
  EXPECT_EQ(list.GetAValue(list.Count()), 0u);
  EXPECT_EQ(list.ComparedValues(0, 1), -1);
  EXPECT_EQ(Saved(list), (Bytes{4, 0, 0, 0, 1,                 //
                                1, 0, 0, 0, 0, 0, 0, 0x80,      //
                                0xF0, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}));
}

TEST(TQNInt64List, SortedInsertionAndImage) {
  TQNInt64List list;
  list.AddOne(int64_t{1} << 40);
  list.AddOne(-3);
  list.SortAscendingDefault();
  list.AddOne(7);
  EXPECT_EQ(list.GetAValue(1), 7);
  EXPECT_EQ(list.FindInSorted(int64_t{1} << 40), 2);
  EXPECT_EQ(list.IndexOf(5), -1);
  EXPECT_EQ(list.GetAValue(3), -1);
  const Bytes image = Saved(list);
  ASSERT_EQ(image.size(), 5u + 3 * 8u);
  EXPECT_EQ(Bytes(image.begin() + 5, image.begin() + 13), (Bytes{0xFD, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
  TQNInt64List back;
  EXPECT_TRUE(Load(back, image));
  EXPECT_EQ(back.GetAValue(2), int64_t{1} << 40);
}

TEST(TIntegerAndSingleList, FindOnSingles) {
  TIntegerAndSingleList list;
  list.AddOne({1, 2.5f});
  list.AddOne({2, -1.0f});
  list.AddOne({3, 0.5f});
  list.SortAscendingDefault();
  EXPECT_EQ(list.GetOne(0).int_, 2);
  EXPECT_EQ(list.Find(0.5f), 1);
  EXPECT_EQ(list.Find(0.75f), -1);
  EXPECT_EQ(list.GetOne(9), TIntegerAndSingleRec{});
  EXPECT_EQ(Saved(list).size(), 5u + 3 * 8u);
}

TEST(TIntegerAnd3CardinalsList, FreqSortIsUnsignedAndImageHasNoSortedByte) {
  TIntegerAnd3CardinalsList list;
  list.AddOne({-1, {1, 1, 1}});
  list.AddOne({5, {2, 2, 2}});
  list.AddOne({0, {3, 3, 3}});
  list.SortAscendingDefault();
  EXPECT_EQ(list.GetAValue(0).freq, 0);
  EXPECT_EQ(list.GetAValue(1).freq, 5);
  EXPECT_EQ(list.GetAValue(2).freq, -1);
  list.SetAFreq(0, 9);
  EXPECT_EQ(list.GetAValue(0).freq, 9);
  list.SetAFreq(7, 9);  // ignored
  const Bytes image = Saved(list);
  ASSERT_EQ(image.size(), 4u + 3 * 16u);
  EXPECT_EQ(Bytes(image.begin(), image.begin() + 20),
            (Bytes{3, 0, 0, 0, 9, 0, 0, 0, 3, 0, 0, 0, 3, 0, 0, 0, 3, 0, 0, 0}));
  TIntegerAnd3CardinalsList back;
  EXPECT_TRUE(Load(back, image));
  EXPECT_EQ(back.GetAValue(2), (TIntegerAnd3CardinalsRec{-1, {1, 1, 1}}));
}

TEST(TCardinalAndFreqList, AddOneOrIncFreqCountsOnePerRepeat) {
  TCardinalAndFreqList list;
  list.AddOneOrIncFreq({7, 10});
  list.AddOneOrIncFreq({7, 10});
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.GetACardAndFreq(0), (TCardinalAndFreq{7, 11}));

  list.AddOneOrIncFreq({3, 1});
  list.SortOnCardinals();
  list.AddOneOrIncFreq({5, 4});  // sorted insertion between 3 and 7
  EXPECT_EQ(list.GetACardAndFreq(1), (TCardinalAndFreq{5, 4}));
  list.AddOneOrIncFreq({5, 4});
  EXPECT_EQ(list.GetACardAndFreq(1).f, 5);
  list.SortOnFrequencies(true);
  EXPECT_EQ(list.GetACardAndFreq(0).c, 7u);
  list.SortOnFrequencies(false);
  EXPECT_EQ(list.GetACardAndFreq(0).c, 3u);
  list.SetACardAndFreq(0, {1, 1});
  EXPECT_EQ(list.GetACardAndFreq(0), (TCardinalAndFreq{1, 1}));
  EXPECT_EQ(list.GetACardAndFreq(-1), TCardinalAndFreq{});
  const Bytes image = Saved(list);
  EXPECT_EQ(Bytes(image.begin(), image.begin() + 13), (Bytes{3, 0, 0, 0, 1, 1, 0, 0, 0, 1, 0, 0, 0}));
}

// ---------------------------------------------------------------------------
// Pairs, triples, quadruples

std::vector<T3_longint_rec> Triples(const T3LongintList& list) {
  std::vector<T3_longint_rec> v;
  for (int32_t i = 0; i < list.Count(); ++i) v.push_back(list.GetATriple(i));
  return v;
}

TEST(T3LongintList, MultiKeySorts) {
  const std::vector<T3_longint_rec> data = {{1, 9, 2}, {0, 5, 1}, {2, 5, 2}, {1, 1, 1}, {0, 7, 2}};
  T3LongintList list;
  for (const auto& r : data) list.AddOne(r);
  list.DoubleSort(t3_long2, t3_long0);
  EXPECT_EQ(Triples(list),
            (std::vector<T3_longint_rec>{{0, 5, 1}, {1, 1, 1}, {0, 7, 2}, {1, 9, 2}, {2, 5, 2}}));
  const auto before = Triples(list);
  list.sorted = false;
  list.TripleSort(t3_long1, t3_long1, t3_long2);  // first = second: nothing
  EXPECT_EQ(Triples(list), before);
  EXPECT_FALSE(list.sorted);
  list.TripleSort(t3_long1, t3_long2, t3_long0);
  EXPECT_EQ(Triples(list),
            (std::vector<T3_longint_rec>{{1, 1, 1}, {0, 5, 1}, {2, 5, 2}, {0, 7, 2}, {1, 9, 2}}));
  list.TripleSort(t3_long0, t3_long1, t3_long0);  // third repeats: DoubleSort(long0, long1)
  EXPECT_EQ(Triples(list),
            (std::vector<T3_longint_rec>{{0, 5, 1}, {0, 7, 2}, {1, 1, 1}, {1, 9, 2}, {2, 5, 2}}));
  EXPECT_EQ(list.LongIndexOf(9, t3_long1), 3);
  EXPECT_EQ(list.LongIndexOf(3, t3_long2), -1);
  list.IncOne(0, t3_long2);
  list.AddToOneFreq(0, 10, t3_long0);
  EXPECT_EQ(list.GetATriple(0), (T3_longint_rec{10, 5, 2}));
  EXPECT_EQ(list.GetATriple(list.Count()), (T3_longint_rec{-1, -1, -1}));
  list.SetATriple(1, {4, 4, 4});
  EXPECT_EQ(list.GetATriple(1), (T3_longint_rec{4, 4, 4}));
  // Items are not saved: the count and the sorted byte only.
  EXPECT_EQ(Saved(list), (Bytes{5, 0, 0, 0, 1}));
}

TEST(T4LongintList, TripleSortWithRepeatedFirstKey) {
  T4LongintList list;
  list.AddOne({0, 2, 9, 0});
  list.AddOne({0, 1, 5, 0});
  list.AddOne({0, 2, 1, 0});
  list.TripleSort(t4_long1, t4_long1, t4_long2);  // DoubleSort(long1, long2)
  EXPECT_EQ(list.GetAQuad(0), (T4_longint_rec{0, 1, 5, 0}));
  EXPECT_EQ(list.GetAQuad(1), (T4_longint_rec{0, 2, 1, 0}));
  EXPECT_EQ(list.GetAQuad(2), (T4_longint_rec{0, 2, 9, 0}));
  list.SortDefault(t4_long2);
  EXPECT_EQ(list.GetAQuad(0).long2, 1);
  EXPECT_EQ(list.GetAQuad(-1), (T4_longint_rec{-1, -1, -1, -1}));
}

TEST(T2LongintList, TotalsAndCounters) {
  T2LongintList list;
  list.AddOne({1, 10});
  list.AddOne({2, INT32_MAX});
  list.AddOne({3, 5});
  EXPECT_EQ(list.TotalOf(t2_long0), 6);
  EXPECT_EQ(list.TotalOf(t2_long1), int64_t{INT32_MAX} + 15);
  list.IncOne(0, t2_long1);
  EXPECT_EQ(list.GetADouble(0), (T2_longint_rec{1, 11}));
  list.DoubleSort(t2_long1, t2_long0);
  EXPECT_EQ(list.GetADouble(0).long0, 3);
  list.DoubleSort(t2_long0, t2_long0);
  EXPECT_EQ(list.GetADouble(0).long0, 1);
  EXPECT_EQ(list.GetADouble(3), (T2_longint_rec{-1, -1}));
}

// ---------------------------------------------------------------------------
// Lists of records with strings

TEST(T2StringsAnd2IntegersList, ImageRoundTripAndAFailingItem) {
  T2StringsAnd2IntegersList list;
  list.AddOne({1, 2, u"ab", u"c"});
  const Bytes image = Saved(list);
  EXPECT_EQ(image, (Bytes{1, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 'a', 0, 'b', 0, 1, 0, 0, 0, 'c', 0}));
  T2StringsAnd2IntegersList back;
  EXPECT_TRUE(Load(back, image));
  EXPECT_EQ(back.GetTwoStringsAndInt(0), (T2StringsAnd2IntegersRec{1, 2, u"ab", u"c"}));
  EXPECT_EQ(back.GetTwoStringsAndInt(1), T2StringsAnd2IntegersRec{});

  // Two announced items whose first string breaks the limit: false, both
  // appended, both empty.
  Bytes broken_image = {2, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 0x70, 0x17, 0, 0};  // length 6000
  broken_image.resize(broken_image.size() + 40, 0);
  T2StringsAnd2IntegersList broken;
  EXPECT_FALSE(Load(broken, broken_image));
  ASSERT_EQ(broken.Count(), 2);
  EXPECT_EQ(broken.GetTwoStringsAndInt(0), T2StringsAnd2IntegersRec{});
}

TEST(TStringColumnAndColourList, AccessorsAndImage) {
  TStringColumnAndColourList list;
  list.AddOne({4, 0xFF, u"x"});
  list.AddOne({7, 1, u"yz"});
  EXPECT_EQ(list.IndexOfTrueColumn(7), 1);
  EXPECT_EQ(list.IndexOfTrueColumn(5), -1);
  list.SetString(0, u"w");
  list.SetTrueColumn(0, 5);
  list.SetBackgroundColour(0, 2);
  EXPECT_EQ(list.GetRec(0), (TStringTrueColumnAndColourRec{5, 2, u"w"}));
  EXPECT_EQ(list.GetString(2), u"");
  EXPECT_EQ(list.GetTrueColumn(2), 0);
  list.SetRec(1, {1, 1, u"q"});
  EXPECT_EQ(list.GetBackgroundColour(1), 1);
  EXPECT_EQ(Saved(list), (Bytes{2, 0, 0, 0,                                 //
                                5, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 'w', 0,  //
                                1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 'q', 0}));
}

TEST(TWordFreqAndSourceNumList, CursorAndFrequencies) {
  TWordFreqAndSourceNumList list;
  EXPECT_EQ(list.HighestFrequency(), 0);
  list.AddOne({u"a", 3, 1});
  list.AddOne({u"b", 9, 2});
  list.AddOne({u"c", 5, 1});
  EXPECT_EQ(list.HighestFrequency(), 9);
  EXPECT_EQ(list.GetNext().w, u"a");
  EXPECT_EQ(list.GetNext().w, u"b");
  list.SortOnFreqs();
  EXPECT_EQ(list.GetOne(0).w, u"b");
  EXPECT_EQ(list.GetOne(2).w, u"a");
  EXPECT_EQ(list.GetNext().w, u"a");  // the cursor stood at 2
  EXPECT_EQ(list.GetNext(), TWordFreqAndSourceNum{});
  list.Clear();
  EXPECT_EQ(list.this_, 0);
}

TEST(TDoublePointerList, Pointers) {
  int a = 0, b = 0;
  TDoublePointerList list;
  list.AddOne({&a, &b});
  EXPECT_EQ(list.GetADoublePointer(0).p2, &b);
  list.SetADoublePointer(0, {&b, nullptr});
  EXPECT_EQ(list.GetADoublePointer(0).p1, &b);
  EXPECT_EQ(list.GetADoublePointer(1), T2_Pointer{});
  EXPECT_EQ(Saved(list), (Bytes{1, 0, 0, 0}));
}

TEST(TSmallintList, ValuesWithoutACount) {
  TSmallintList list;
  list.AddOne(-2);
  list.AddOne(0x1234);
  TMemoryStream s;
  EXPECT_TRUE(list.SaveToStream(s));
  EXPECT_EQ(Bytes(s.Bytes().begin(), s.Bytes().end()), (Bytes{0xFE, 0xFF, 0x34, 0x12}));
  s.SetPosition(0);
  TSmallintList back;
  EXPECT_TRUE(back.ReadFromStream(2, s));
  EXPECT_EQ(back.GetAValue(0), -2);
  EXPECT_EQ(back.GetAValue(1), 0x1234);
  EXPECT_EQ(back.GetAValue(2), 0);
  // More values asked for than the stream holds: what is there is appended,
  // and the answer is false; even an absurd n costs no more than the bytes.
  s.SetPosition(0);
  EXPECT_FALSE(back.ReadFromStream(3, s));
  ASSERT_EQ(back.Count(), 4);
  EXPECT_EQ(back.GetAValue(2), -2);
  EXPECT_EQ(back.GetAValue(3), 0x1234);
  s.SetPosition(2);
  EXPECT_FALSE(back.ReadFromStream(std::numeric_limits<int32_t>::max(), s));
  ASSERT_EQ(back.Count(), 5);
  EXPECT_EQ(back.GetAValue(4), 0x1234);
  s.SetPosition(0);
  EXPECT_THROW(back.ReadFromStream(-1, s), EReadError);
  EXPECT_EQ(back.Count(), 5);
  EXPECT_EQ(s.Position(), 0);
  back.Delete(4);
  back.Delete(3);
  back.Delete(2);
  EXPECT_EQ(back.Count(), 2);
  back.Delete(0);
  back.Clear();
  EXPECT_EQ(back.Count(), 0);
}

TEST(TIndexCheckList, IndexAssignedOK) {
  int x = 0;
  TIndexCheckList list;
  list.Add(&x);
  list.Add(nullptr);
  EXPECT_TRUE(list.IndexAssignedOK(0));
  EXPECT_FALSE(list.IndexAssignedOK(1));
  EXPECT_FALSE(list.IndexAssignedOK(2));
  EXPECT_FALSE(list.IndexAssignedOK(-1));
}

}  // namespace
}  // namespace qn
