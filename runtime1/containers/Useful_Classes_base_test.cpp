#include "runtime1/containers/Useful_Classes_base.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/Exceptions.h"
#include "platform/Streams.h"
#include "platform/YieldHook.h"
#include "platform/testing/TestFiles.h"

namespace qn {
namespace {

using platform::TMemoryStream;
using platform::TMemoryViewStream;
using Bytes = std::vector<uint8_t>;

int gLive = 0;  // items alive, to catch leaks and double frees

// A persisting item: one int32, 4 bytes.
class TIntItem : public TUsefulBaseListObject {
 public:
  TIntItem() { ++gLive; }
  explicit TIntItem(int32_t v) : value(v) { ++gLive; }
  ~TIntItem() override { --gLive; }
  bool ReadFromStream(platform::TStream& s) override { return platform::TryGet<int32_t>(s, value); }
  bool SaveToStream(platform::TStream& s) override {
    if (failSave) return false;
    return platform::TryPut<int32_t>(s, value);
  }
  int32_t value = 0;
  bool failSave = false;
};

// A variable-size item: a 4-byte length, then that many bytes.
class TBlobItem : public TUsefulBaseListObject {
 public:
  TBlobItem() { ++gLive; }
  ~TBlobItem() override { --gLive; }
  bool ReadFromStream(platform::TStream& s) override {
    int32_t n = 0;
    if (!platform::TryGet<int32_t>(s, n) || n < 0 || n > s.Remaining()) return false;
    bytes.resize(static_cast<size_t>(n));
    return s.Read(bytes.data(), n) == n;
  }
  std::string bytes;
};

class TIntList : public TUsefulBaseListSorts {
 public:
  TIntList() : TUsefulBaseListSorts(ClassOf<TIntItem, 4>()) {}
  int32_t ComparedValues(int32_t i, int32_t j) override {
    const int32_t a = Value(i), b = Value(j);
    return (a > b) - (a < b);
  }
  int32_t Value(int32_t i) const {
    return IndexAssignedOK(i) ? static_cast<TIntItem*>(Items(i))->value : -1;
  }
  std::vector<int32_t> Values() const {
    std::vector<int32_t> v;
    for (int32_t i = 0; i < Count(); ++i) v.push_back(Value(i));
    return v;
  }
  void AddValues(std::initializer_list<int32_t> values) {
    for (int32_t v : values) Add(new TIntItem(v));
  }
};

Bytes Saved(TUsefulBaseList& list) {
  TMemoryStream s;
  EXPECT_TRUE(list.SaveToStream(s));
  return Bytes(s.Bytes().begin(), s.Bytes().end());
}

int32_t CompareInts(const TUsefulBaseListObject* a, const TUsefulBaseListObject* b) {
  // Empty slots arrive as nullptr.
  const int32_t x = a ? static_cast<const TIntItem*>(a)->value : -1;
  const int32_t y = b ? static_cast<const TIntItem*>(b)->value : -1;
  return (x > y) - (x < y);
}

TEST(TUsefulBaseList, GoldenImages) {
  {
    TIntList empty;
    EXPECT_EQ(Saved(empty), (Bytes{0, 0, 0, 0, 0}));
  }
  {
    TIntList list;
    list.AddValues({7, -2});
    list.Sort(CompareInts);
    EXPECT_EQ(Saved(list), (Bytes{2, 0, 0, 0, 1, 0xFE, 0xFF, 0xFF, 0xFF, 7, 0, 0, 0}));
  }
  {
    // The plain base list has no sorted byte.
    TUsefulBaseList list(ClassOf<TIntItem, 4>());
    list.Add(new TIntItem(0x01020304));
    EXPECT_EQ(Saved(list), (Bytes{1, 0, 0, 0, 4, 3, 2, 1}));
  }
  {
    // Items that do not persist: only the count.
    TUsefulBaseListSorts list(ClassOf<TUsefulBaseListObject>());
    list.Add(new TUsefulBaseListObject);
    list.Add(new TUsefulBaseListObject);
    EXPECT_EQ(Saved(list), (Bytes{2, 0, 0, 0, 0}));
    const Bytes image{3, 0, 0, 0, 1};
    TMemoryViewStream in2(image.data(), 5);
    TUsefulBaseListSorts back(ClassOf<TUsefulBaseListObject>());
    EXPECT_TRUE(back.ReadFromStream(in2));
    EXPECT_EQ(back.Count(), 3);
    EXPECT_TRUE(back.sorted);
  }
  EXPECT_EQ(gLive, 0);
}

TEST(TUsefulBaseList, RoundTripAppendsToWhatIsThere) {
  TIntList a;
  a.AddValues({5, 1, 9});
  Bytes image = Saved(a);
  TIntList b;
  b.AddValues({100});
  TMemoryViewStream in(image.data(), static_cast<int64_t>(image.size()));
  EXPECT_TRUE(b.ReadFromStream(in));
  EXPECT_EQ(b.Values(), (std::vector<int32_t>{100, 5, 1, 9}));
  EXPECT_FALSE(b.sorted);
  EXPECT_EQ(b.AnInstance, b.Items(3));

  // An empty list's image read into a list of three adds nothing.
  TIntList empty;
  Bytes none = Saved(empty);
  TIntList three;
  three.AddValues({1, 2, 3});
  TMemoryViewStream in2(none.data(), 5);
  EXPECT_TRUE(three.ReadFromStream(in2));
  EXPECT_EQ(three.Values(), (std::vector<int32_t>{1, 2, 3}));
}

TEST(TUsefulBaseList, UntrustedCountsAreRefusedBeforeAnythingIsCreated) {
  struct Case {
    const char* name;
    Bytes image;
  };
  const std::vector<Case> cases = {
      {"negative count", {0xFF, 0xFF, 0xFF, 0xFF, 1}},
      {"huge count", {0xFF, 0xFF, 0xFF, 0x7F, 0}},
      // 2^20 + 3 items where the bytes hold two: more than 2^20 missing.
      {"count far beyond the bytes left", {3, 0, 0x10, 0, 1, 1, 0, 0, 0, 2, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    TIntList list;
    list.AddValues({42});
    const int live = gLive;
    TMemoryViewStream in(c.image.data(), static_cast<int64_t>(c.image.size()));
    try {
      list.ReadFromStream(in);
      ADD_FAILURE() << c.name << ": no error";
    } catch (const EReadError& e) {
      EXPECT_EQ(e.Message(), "file read error : ReadFromStream") << c.name;
    }
    EXPECT_EQ(list.Values(), (std::vector<int32_t>{42})) << c.name;
    EXPECT_FALSE(list.sorted) << c.name;
    EXPECT_EQ(gLive, live) << c.name;
  }
  // Items that take no bytes: a forged count of 2^30 is refused too.
  const Bytes forged{0, 0, 0, 0x40, 0};
  TMemoryViewStream in(forged.data(), 5);
  TUsefulBaseListSorts list(ClassOf<TUsefulBaseListObject>());
  EXPECT_THROW(list.ReadFromStream(in), EReadError);
  EXPECT_EQ(list.Count(), 0);
}

TEST(TUsefulBaseList, ShortStreamsGiveFalse) {
  // Too short for the count or the sorted byte: false, nothing changes.
  for (const Bytes& image : {Bytes{}, Bytes{1, 0}, Bytes{1, 0, 0, 0}}) {
    TIntList list;
    TMemoryViewStream in(image.data(), static_cast<int64_t>(image.size()));
    EXPECT_FALSE(list.ReadFromStream(in));
    EXPECT_EQ(list.Count(), 0);
    EXPECT_FALSE(list.sorted);
  }
  // A count that the bytes could hold but whose last item fails: false, and
  // the missing items are appended empty.
  class TBlobList : public TUsefulBaseList {
   public:
    TBlobList() : TUsefulBaseList(ClassOf<TBlobItem, 4>()) {}
  } list;
  const Bytes image{4, 0, 0, 0,  2, 0, 0, 0, 'a', 'b',  0, 0, 0, 0,  100, 0, 0, 0,  0, 0, 0, 0};
  TMemoryViewStream in(image.data(), static_cast<int64_t>(image.size()));
  EXPECT_FALSE(list.ReadFromStream(in));
  ASSERT_EQ(list.Count(), 4);
  EXPECT_EQ(static_cast<TBlobItem*>(list.Items(0))->bytes, "ab");
  EXPECT_EQ(static_cast<TBlobItem*>(list.Items(1))->bytes, "");
  EXPECT_EQ(static_cast<TBlobItem*>(list.Items(3))->bytes, "");
  EXPECT_EQ(list.AnInstance, list.Items(3));
  // The fourth item was not read after the third failed: its bytes are still there.
  EXPECT_EQ(in.Remaining(), 4);
}

TEST(TUsefulBaseList, ACountAboveTheItemsHeldGivesFalseWithTheMissingOnesEmpty) {
  // Three items announced, two stored: appended to what the list holds.
  const Bytes image{3, 0, 0, 0, 1, 1, 0, 0, 0, 2, 0, 0, 0};
  TIntList list;
  list.AddValues({42});
  TMemoryViewStream in(image.data(), static_cast<int64_t>(image.size()));
  EXPECT_FALSE(list.ReadFromStream(in));
  EXPECT_EQ(list.Values(), (std::vector<int32_t>{42, 1, 2, 0}));
  EXPECT_TRUE(list.sorted);
  EXPECT_EQ(list.AnInstance, list.Items(3));
  // 2^20 missing items are still honoured; one more is not.
  const Bytes most{0, 0, 0x10, 0, 0};
  TIntList big;
  TMemoryViewStream in2(most.data(), static_cast<int64_t>(most.size()));
  EXPECT_FALSE(big.ReadFromStream(in2));
  EXPECT_EQ(big.Count(), 1 << 20);
  const Bytes tooMany{1, 0, 0x10, 0, 0};
  TIntList refused;
  TMemoryViewStream in3(tooMany.data(), static_cast<int64_t>(tooMany.size()));
  EXPECT_THROW(refused.ReadFromStream(in3), EReadError);
  EXPECT_EQ(refused.Count(), 0);
}

TEST(TUsefulBaseList, SavingStopsAtTheFirstFailureAndChecksTheClass) {
  TIntList list;
  list.AddValues({1, 2, 3});
  static_cast<TIntItem*>(list.Items(1))->failSave = true;
  TMemoryStream s;
  EXPECT_FALSE(list.SaveToStream(s));
  EXPECT_EQ(s.Size(), 4 + 1 + 4);  // count, sorted byte, the first item only

  TIntList mixed;
  mixed.AddValues({1});
  mixed.Add(new TBlobItem);
  TMemoryStream s2;
  EXPECT_THROW(mixed.SaveToStream(s2), Exception);
}

TEST(TUsefulBaseList, EmptySlotsAreSavedAsIfPacked) {
  TIntList list;
  list.AddValues({1, 2, 3});
  list.FreeAndNilOne(1);
  EXPECT_EQ(Saved(list), (Bytes{2, 0, 0, 0, 0, 1, 0, 0, 0, 3, 0, 0, 0}));
}

TEST(TUsefulBaseList, FreeingClearingAndOwnership) {
  {
    TIntList list;
    list.AddValues({1, 2, 3});
    EXPECT_TRUE(list.IndexAssignedOK(0));
    EXPECT_FALSE(list.IndexAssignedOK(-1));
    EXPECT_FALSE(list.IndexAssignedOK(list.Count()));
    list.AnInstance = list.Items(2);
    list.FreeAndNilOne(2);
    EXPECT_FALSE(list.IndexAssignedOK(2));
    EXPECT_EQ(list.AnInstance, nullptr);
    EXPECT_EQ(list.Count(), 3);
    list.FreeAndNilOne(2);  // already empty: nothing happens
    list.Delete(0);         // frees the item
    EXPECT_EQ(gLive, 1);
    list.Put(0, new TIntItem(8));  // frees the one replaced
    EXPECT_EQ(gLive, 1);
    list.Sort(CompareInts);
    EXPECT_TRUE(list.sorted);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_FALSE(list.sorted);
    EXPECT_EQ(gLive, 0);
    list.AddValues({4, 5});
  }
  EXPECT_EQ(gLive, 0);  // the destructor freed the rest
}

TEST(TUsefulBaseListSorts, RemoveDuplicatesKeepsTheFirstOfEachRun) {
  TIntList list;
  list.AddValues({1, 1, 2, 2, 2, 3});
  TUsefulBaseListObject* first1 = list.Items(0);
  TUsefulBaseListObject* first2 = list.Items(2);
  list.RemoveDuplicates();
  EXPECT_EQ(list.Values(), (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(list.Items(0), first1);
  EXPECT_EQ(list.Items(1), first2);
  EXPECT_EQ(gLive, 3);

  // The base comparison finds nothing equal.
  TUsefulBaseListSorts plain(ClassOf<TIntItem, 4>());
  plain.Add(new TIntItem(1));
  plain.Add(new TIntItem(1));
  plain.RemoveDuplicates();
  EXPECT_EQ(plain.Count(), 2);
}

TEST(TUsefulBaseListSorts, ReverseTheSortLeavesSortedSet) {
  TIntList list;
  list.AddValues({3, 1, 2, 5});
  list.Sort(CompareInts);
  list.ReverseTheSort();
  EXPECT_EQ(list.Values(), (std::vector<int32_t>{5, 3, 2, 1}));
  EXPECT_TRUE(list.sorted);
}

TEST(TUsefulBaseList, YieldsOncePerItemWhenSavingAndLoading) {
  int yields = 0;
  auto hook = [&] { ++yields; };
  TIntList list;
  list.AddValues({1, 2, 3, 4});
  AYieldProcessProc = TYieldProcessProc::FromCallable(hook);
  Bytes image = Saved(list);
  EXPECT_EQ(yields, 4);
  TIntList back;
  TMemoryViewStream in(image.data(), static_cast<int64_t>(image.size()));
  back.ReadFromStream(in);
  AYieldProcessProc.Clear();
  EXPECT_EQ(yields, 8);
}

using UsefulBaseListFiles = test_support::TTempFolderTest;

TEST_F(UsefulBaseListFiles, SaveAndLoad) {
  const auto& dir = fDir;
  const std::string name = (dir / "list.bin").string();
  TIntList list;
  list.AddValues({10, 20});
  EXPECT_TRUE(list.SaveToFile(name));
  EXPECT_EQ(std::filesystem::file_size(name), 4u + 1u + 8u);
  TIntList back;
  EXPECT_TRUE(back.LoadFromFile(name));
  EXPECT_EQ(back.Values(), (std::vector<int32_t>{10, 20}));
  EXPECT_THROW(back.LoadFromFile((dir / "missing.bin").string()), EFOpenError);
}

}  // namespace
}  // namespace qn
