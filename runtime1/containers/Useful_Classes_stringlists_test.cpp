// The string-list members of the typed list family.
#include "runtime1/containers/Useful_Classes_stringlists.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/Exceptions.h"
#include "platform/Format.h"
#include "platform/Streams.h"
#include "platform/testing/TestFiles.h"

namespace qn {
namespace {

using platform::TMemoryStream;
using platform::TMemoryViewStream;
using Bytes = std::vector<uint8_t>;

std::vector<std::u16string> Strings(const platform::TStringList& list) {
  std::vector<std::u16string> v;
  for (int32_t i = 0; i < list.Count(); ++i) v.push_back(list.Get(i));
  return v;
}

TEST(TStringListWithALongint, TextLoading) {
  TStringListWithALongint list;
  list.AddOne(u"old", 1);
  list.SetText(u"cat\t5\r\ndog\n\tx\t7\rbird\t7b\r\n\r\nfish\t-3\r\n");
  ASSERT_EQ(Strings(list),
            (std::vector<std::u16string>{u"cat", u"dog", u"\tx\t7", u"bird\t7b", u"", u"fish"}));
  const int32_t want[] = {5, -1, -1, -1, -1, -3};
  for (int32_t i = 0; i < list.Count(); ++i) EXPECT_EQ(list.GetOne(i), want[i]) << i;

  // Another line break cuts only there.
  list.SetLineBreak(u"|");
  list.SetText(u"a\t1|b\r\nc\t2|");
  EXPECT_EQ(Strings(list), (std::vector<std::u16string>{u"a", u"b\r\nc"}));
  EXPECT_EQ(list.GetOne(1), 2);
}

TEST(TStringListWithALongint, ValuesFrequenciesAndOrder) {
  TStringListWithALongint list;
  EXPECT_EQ(list.HighestFrequency(), 0);
  list.AddOne(u"a", -4);
  EXPECT_EQ(list.HighestFrequency(), 0);  // none above 0
  list.AddOne(u"b", 7);
  list.AddOne(u"c", 3);
  list.AddOne(u"d", 7);
  EXPECT_EQ(list.HighestFrequency(), 7);
  list.SortOnFreq();
  EXPECT_EQ(list.GetOne(0), 7);
  EXPECT_EQ(list.GetOne(1), 7);
  EXPECT_EQ(list.Get(2), u"c");
  EXPECT_EQ(list.Get(3), u"a");
  list.SetOne(3, 100);
  EXPECT_EQ(list.GetOne(3), 100);
  EXPECT_EQ(list.GetOne(4), 0);
  list.Add(u"bare");  // an entry without a holder
  EXPECT_EQ(list.GetOne(4), 0);
  list.SetOne(4, 9);
  EXPECT_EQ(list.GetOne(4), 9);
  list.Delete(0);
  EXPECT_EQ(list.Count(), 4);
}

TEST(TStringListWithALongint, IgnoredDuplicatesDoNotLeakOrChangeTheValue) {
  TStringListWithALongint list;
  list.SetSorted(true);
  EXPECT_EQ(list.AddOne(u"x", 1), 0);
  EXPECT_EQ(list.AddOne(u"x", 2), 0);  // ignored: its holder is freed (LeakSanitizer checks)
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(list.GetOne(0), 1);
}

TEST(TStringListWithASingle, SortOnFreqDescending) {
  TStringListWithASingle list;
  list.AddOne(u"a", 0.5f);
  list.AddOne(u"b", 2.5f);
  list.AddOne(u"c", -1.0f);
  list.SortOnFreq();
  EXPECT_EQ(Strings(list), (std::vector<std::u16string>{u"b", u"a", u"c"}));
  list.SetOne(2, 3.0f);
  EXPECT_EQ(list.GetOne(2), 3.0f);
  EXPECT_EQ(list.GetOne(3), 0.0f);
}

TEST(TStringListWithIntAndSingle, TheThreeSortsAndTheirTieBreaks) {
  auto make = [] {
    auto list = std::make_unique<TStringListWithIntAndSingle>();
    list->AddOne(u"b", {2, 1.0f});
    list->AddOne(u"a", {1, 5.0f});
    list->AddOne(u"c", {2, 3.0f});
    list->AddOne(u"a", {3, 1.0f});  // unsorted list: duplicates kept
    return list;
  };
  struct Case {
    const char* name;
    void (TStringListWithIntAndSingle::*sort)(bool);
    bool ascending;
    std::vector<int32_t> ints;  // the int_ of each entry after sorting
  };
  const Case cases[] = {
      {"SortOnInt ascending: ties by s descending", &TStringListWithIntAndSingle::SortOnInt, true, {1, 2, 2, 3}},
      {"SortOnInt descending: ties by s ascending", &TStringListWithIntAndSingle::SortOnInt, false, {3, 2, 2, 1}},
      {"SortOnSingle ascending: ties by int descending", &TStringListWithIntAndSingle::SortOnSingle, true, {3, 2, 2, 1}},
      {"SortOnSingle descending: ties by int ascending", &TStringListWithIntAndSingle::SortOnSingle, false, {1, 2, 2, 3}},
      {"SortOnStrings true: strings descending, ties by s descending", &TStringListWithIntAndSingle::SortOnStrings, true, {2, 2, 1, 3}},
      {"SortOnStrings false: strings ascending, ties by s ascending", &TStringListWithIntAndSingle::SortOnStrings, false, {3, 1, 2, 2}},
  };
  for (const Case& c : cases) {
    auto list = make();
    ((*list).*c.sort)(c.ascending);
    std::vector<int32_t> ints;
    for (int32_t i = 0; i < list->Count(); ++i) ints.push_back(list->GetOne(i).int_);
    EXPECT_EQ(ints, c.ints) << c.name;
  }
  // The tie-breaks themselves.
  auto list = make();
  list->SortOnInt(true);
  EXPECT_EQ(list->GetOne(1).s, 3.0f);
  list->SortOnSingle(false);
  EXPECT_EQ(list->Get(0), u"a");
  EXPECT_EQ(list->Get(2), u"b");  // s 1.0 twice: int ascending, b (2) before a (3)
  list->SortOnStrings(true);
  EXPECT_EQ(list->Get(0), u"c");
  EXPECT_EQ(list->GetOne(2).s, 5.0f);
}

TEST(TStringListWith2LongintList, SingleRecordsAndListsOfRecords) {
  TStringListWith2LongintList records;
  records.AddOne(u"a", {1, 9});
  records.AddOne(u"b", {3, 4});
  records.AddOne(u"c", {3, 2});
  records.IncOne(0, t2_long0);
  records.AddToOneFreq(0, 5, t2_long1);
  EXPECT_EQ(records.GetOne(0), (T2_longint_rec{2, 14}));
  EXPECT_EQ(records.Repeateds(t2_long0), 3);
  EXPECT_EQ(records.Repeateds(t2_long1), 3);
  records.SetOne(1, {0, 0});
  EXPECT_EQ(records.Repeateds(t2_long0), 2);
  records.SortOnFreq();  // long0 descending, ties by long1 ascending
  EXPECT_EQ(Strings(records), (std::vector<std::u16string>{u"c", u"a", u"b"}));

  TStringListWith2LongintList lists;
  EXPECT_EQ(lists.AddOrIncOne(u"w", {1, 10}), 0);
  EXPECT_EQ(lists.AddOrIncOne(u"v", {2, 20}), 1);
  EXPECT_EQ(lists.AddOrIncOne(u"w", {3, 30}), 0);
  ASSERT_NE(lists.GetList(0), nullptr);
  EXPECT_EQ(lists.GetList(0)->Count(), 2);
  EXPECT_EQ(lists.GetList(0)->GetADouble(1), (T2_longint_rec{3, 30}));
  // The record accessors do not misread a list as a record.
  EXPECT_EQ(lists.GetOne(0), T2_longint_rec{});
  lists.IncOne(0, t2_long0);
  EXPECT_EQ(lists.GetList(0)->Count(), 2);
  // Nor the other way round.
  EXPECT_EQ(records.GetList(0), nullptr);
  EXPECT_EQ(records.AddOrIncOne(u"a", {1, 1}), -1);
}

// The entry counted is the one IndexOf finds: the first that compares equal,
// also after the list was changed by other means.
TEST(TStringListWithLongintList, CountsTheFirstEqualEntryAsIndexOfDoes) {
  TStringListWithLongintList list;
  EXPECT_EQ(list.AddOrIncOne(u"Word", 1), 1);
  list.AddObject(u"word", new TQNLongintList);  // equal without regard to case
  EXPECT_EQ(list.AddOrIncOne(u"WORD", 2), 2);
  EXPECT_EQ(list.GetOne(1)->Count(), 0);
  list.Exchange(0, 1);
  EXPECT_EQ(list.AddOrIncOne(u"wOrD", 3), 1);
  EXPECT_EQ(list.GetOne(0)->GetAValue(0), 3);
  list.Delete(0);
  EXPECT_EQ(list.AddOrIncOne(u"word", 4), 3);
  for (int i = 0; i < 2000; ++i) {
    std::u16string word = u"w";
    word += platform::IntToStr(i);
    list.AddOrIncOne(std::move(word), i);
  }
  EXPECT_EQ(list.Count(), 2001);
  EXPECT_EQ(list.AddOrIncOne(u"W1999", 7), 2);
  EXPECT_EQ(list.IndexOf(u"w1999"), 2000);
  EXPECT_EQ(list.GetOne(2000)->GetAValue(1), 7);
  TStringListWith2LongintList pairs;
  pairs.AddOrIncOne(u"co-op", {1, 1});
  pairs.AddOrIncOne(u"coop", {2, 2});
  pairs.AddOrIncOne(u"CO-OP", {3, 3});
  ASSERT_EQ(pairs.Count(), 2);
  EXPECT_EQ(pairs.GetList(0)->Count(), 2);
  EXPECT_EQ(pairs.GetList(1)->Count(), 1);
}

TEST(TStringListWithLongintList, DistinctValuesPerString) {
  TStringListWithLongintList list;
  EXPECT_EQ(list.AddOrIncOne(u"a", 5), 1);
  EXPECT_EQ(list.AddOrIncOne(u"a", 5), 1);
  EXPECT_EQ(list.AddOrIncOne(u"a", 6), 2);
  EXPECT_EQ(list.AddOrIncOne(u"b", 5), 1);
  ASSERT_NE(list.GetOne(0), nullptr);
  EXPECT_EQ(list.GetOne(0)->GetAValue(1), 6);
  EXPECT_EQ(list.GetOne(2), nullptr);
}

TEST(TStringListWithFreqPointers, DescendingFrequencyThenString) {
  TStringListWithFreqPointers list;
  list.AddOne(u"pear", 2);
  list.AddOne(u"apple", 2);
  list.AddOne(u"fig", 8);
  list.AddOne(u"Zebra", 2);
  list.SortOnFreq();
  EXPECT_EQ(Strings(list), (std::vector<std::u16string>{u"fig", u"Zebra", u"apple", u"pear"}));
  EXPECT_EQ(list.GetOne(0), 8);
  list.SetOne(0, -1);
  EXPECT_EQ(list.GetOne(0), -1);
  EXPECT_EQ(list.GetOne(9), 0);
}

TEST(TIndexCheckStringlist, ReverseAndIndexCheck) {
  TIndexCheckStringlist list;
  for (const char16_t* s : {u"1", u"2", u"3"}) list.Add(s);
  list.ReverseTheSort();
  EXPECT_EQ(Strings(list), (std::vector<std::u16string>{u"3", u"2", u"1"}));
  EXPECT_TRUE(list.IndexAssignedOK(2));
  EXPECT_FALSE(list.IndexAssignedOK(3));
  EXPECT_FALSE(list.IndexAssignedOK(-1));
}

// ---------------------------------------------------------------------------
// TMySaveStringList

TEST(TMySaveStringList, GoldenImagesAndRoundTrips) {
  TMySaveStringList plain;
  plain.Add(u"ab");
  plain.Add(u"");
  TMemoryStream s;
  plain.SaveToStream(s);
  const Bytes plainImage{2, 0, 0, 0, 2, 0, 0, 0, 'a', 0, 'b', 0, 0, 0, 0, 0};
  EXPECT_EQ(Bytes(s.Bytes().begin(), s.Bytes().end()), plainImage);

  TMySaveStringList withInts(true);
  withInts.AddObject(u"x", platform::ObjectFromInt(-2));
  TMemoryStream s2;
  withInts.SaveToStream(s2);
  const Bytes intImage{1, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0, 'x', 0};
  EXPECT_EQ(Bytes(s2.Bytes().begin(), s2.Bytes().end()), intImage);

  // Loading appends.
  TMySaveStringList back(true);
  back.AddObject(u"first", platform::ObjectFromInt(1));
  TMemoryViewStream in(intImage.data(), static_cast<int64_t>(intImage.size()));
  back.LoadFromStream(in);
  EXPECT_EQ(Strings(back), (std::vector<std::u16string>{u"first", u"x"}));
  EXPECT_EQ(platform::IntFromObject(back.GetObject(1)), -2);
}

TEST(TMySaveStringList, UntrustedStreamsLeaveTheListAsItWas) {
  struct Case {
    const char* name;
    bool withInts;
    Bytes image;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"negative count", false, {0xFF, 0xFF, 0xFF, 0xFF}, "file read error : LoadFromStream"},
      {"count beyond the bytes", false, {3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, "file read error : LoadFromStream"},
      {"count beyond the bytes with integers", true, {2, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
       "file read error : LoadFromStream"},
      {"string over the limit", false, {1, 0, 0, 0, 0x8A, 0x13, 0, 0}, "file read error : ReadAString"},
      {"string longer than the stream", false, {2, 0, 0, 0, 0, 0, 0, 0, 9, 0, 0, 0}, "Stream read error"},
      {"no count", false, {1, 0}, "Stream read error"},
  };
  for (const Case& c : cases) {
    TMySaveStringList list(c.withInts);
    list.Add(u"kept");
    TMemoryViewStream in(c.image.data(), static_cast<int64_t>(c.image.size()));
    try {
      list.LoadFromStream(in);
      ADD_FAILURE() << c.name << ": no error";
    } catch (const EReadError& e) {
      EXPECT_EQ(e.Message(), c.message) << c.name;
    }
    EXPECT_EQ(Strings(list), (std::vector<std::u16string>{u"kept"})) << c.name;
  }
}

using SaveStringListFiles = test_support::TTempFolderTest;

TEST_F(SaveStringListFiles, SaveAndLoad) {
  const std::string name = (fDir / "list.bin").string();
  TMySaveStringList list(true);
  list.AddObject(u"one", platform::ObjectFromInt(1));
  list.AddObject(u"two", platform::ObjectFromInt(2));
  list.SaveToFile(name);
  EXPECT_EQ(std::filesystem::file_size(name), 4u + 2 * (4 + 4 + 6));
  TMySaveStringList back(true);
  back.LoadFromFile(name);
  EXPECT_EQ(Strings(back), (std::vector<std::u16string>{u"one", u"two"}));
  EXPECT_EQ(platform::IntFromObject(back.GetObject(1)), 2);
}

}  // namespace
}  // namespace qn
