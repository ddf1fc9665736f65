#include "platform/StringList.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "platform/CodePages.h"
#include "platform/Exceptions.h"
#include "platform/Format.h"
#include "platform/Streams.h"
#include "platform/testing/TestFiles.h"

namespace qn::platform {
namespace {

std::vector<std::u16string> Entries(const TStringList& list) {
  std::vector<std::u16string> out;
  for (int32_t i = 0; i < list.Count(); ++i) out.push_back(list[i]);
  return out;
}

// The tests that work on files get a fresh folder each, removed afterwards.
class StringListFiles : public test_support::TTempFolderTest {
 protected:
  std::string TempPath(const std::string& name) const { return (fDir / name).string(); }
};

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// An object that counts its destructions, to see who frees what.
struct TCounted : TObject {
  explicit TCounted(int* counter) : fCounter(counter) {}
  ~TCounted() override { ++*fCounter; }
  int* fCounter;
};

// --- ordering and duplicates -------------------------------------------------

TEST(StringList, SortedDuplicatesFollowTheMode) {
  struct Case {
    TDuplicates mode;
    std::vector<std::u16string> expected;
  };
  const Case cases[] = {
      // Case-insensitive (the default): "a" equals "A"; the first one added stays.
      {TDuplicates::dupIgnore, {u"A", u"b", u"C"}},
      // Accepted duplicates go before the equal entry already there.
      {TDuplicates::dupAccept, {u"a", u"A", u"b", u"C"}},
  };
  for (const Case& c : cases) {
    TStringList list;
    list.SetSorted(true);
    list.SetDuplicates(c.mode);
    for (const char16_t* s : {u"b", u"A", u"C", u"a"}) list.Add(s);
    EXPECT_EQ(Entries(list), c.expected);
  }

  TStringList refusing;
  refusing.SetSorted(true);
  refusing.SetDuplicates(TDuplicates::dupError);
  refusing.Add(u"word");
  EXPECT_THROW(refusing.Add(u"WORD"), EStringListError);
  EXPECT_EQ(refusing.Count(), 1);
}

TEST(StringList, IgnoredDuplicateReturnsTheExistingIndexAndLeavesTheObjectToTheCaller) {
  int destroyed = 0;
  TStringList list(true);
  list.SetSorted(true);
  list.AddObject(u"x", new TCounted(&destroyed));
  list.Add(u"a");
  TCounted extra(&destroyed);
  EXPECT_EQ(list.AddObject(u"X", &extra), 1);
  EXPECT_NE(list.GetObject(1), &extra);
  EXPECT_EQ(destroyed, 0);
}

TEST(StringList, SortsByTheLocaleNotByCodeUnits) {
  TStringList list;
  list.SetSorted(true);
  for (const char16_t* s : {u"zebra", u"\u00e9t\u00e9", u"ete", u"fa", u"Eta"}) list.Add(s);
  // Accented letters sort beside their base letter, not after "z".
  const std::vector<std::u16string> expected = {u"Eta", u"ete", u"\u00e9t\u00e9", u"fa", u"zebra"};
  EXPECT_EQ(Entries(list), expected);
}

TEST(StringList, CaseSensitiveListKeepsBothCases) {
  TStringList list;
  list.SetCaseSensitive(true);
  list.SetSorted(true);
  list.Add(u"Apple");
  list.Add(u"apple");
  ASSERT_EQ(list.Count(), 2);
  EXPECT_NE(list.IndexOf(u"Apple"), list.IndexOf(u"apple"));
  EXPECT_EQ(list.IndexOf(u"APPLE"), -1);
  // Switching case off re-sorts; both stay (existing duplicates are kept).
  list.SetCaseSensitive(false);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_GE(list.IndexOf(u"APPLE"), 0);
}

TEST(StringList, FindGivesFoundIndexOrInsertionPoint) {
  TStringList list;
  list.SetSorted(true);
  for (const char16_t* s : {u"b", u"d", u"f"}) list.Add(s);
  struct Case {
    const char16_t* key;
    bool found;
    int32_t index;
  };
  const Case cases[] = {{u"a", false, 0}, {u"b", true, 0}, {u"c", false, 1},
                        {u"D", true, 1},  {u"f", true, 2}, {u"g", false, 3}};
  for (const Case& c : cases) {
    int32_t index = -7;
    EXPECT_EQ(list.Find(c.key, index), c.found) << std::string(c.key, c.key + 1);
    EXPECT_EQ(index, c.index);
  }
}

TEST(StringList, FindReturnsTheFirstOfEqualEntries) {
  TStringList list;
  list.SetSorted(true);
  list.SetDuplicates(TDuplicates::dupAccept);
  for (const char16_t* s : {u"m", u"a", u"m", u"z", u"M", u"m"}) list.Add(s);
  int32_t index;
  ASSERT_TRUE(list.Find(u"m", index));
  EXPECT_EQ(index, 1);
}

TEST(StringList, UnsortedListKeepsOrderAndSearchesIgnoringCase) {
  TStringList list;
  for (const char16_t* s : {u"one", u"Two", u"three", u"two"}) list.Add(s);
  EXPECT_EQ(list.IndexOf(u"TWO"), 1);
  EXPECT_EQ(list.IndexOf(u"four"), -1);
  list.Insert(0, u"zero");
  list.Move(0, 4);
  list.Exchange(0, 1);
  const std::vector<std::u16string> expected = {u"Two", u"one", u"three", u"two", u"zero"};
  EXPECT_EQ(Entries(list), expected);
}

TEST(StringList, AppendInOrderAddsAtTheEndWithoutSearching) {
  TStringList list;
  list.SetSorted(true);
  EXPECT_EQ(list.AppendInOrder(u"apple", ObjectFromInt(3)), 0);
  EXPECT_EQ(list.AppendInOrder(u"Banana", ObjectFromInt(4)), 1);
  EXPECT_EQ(list.AppendInOrder(u"banana", nullptr), 2);  // no duplicate check
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(IntFromObject(list.GetObject(1)), 4);
  int32_t index = -1;
  EXPECT_TRUE(list.Find(u"APPLE", index));
  EXPECT_EQ(index, 0);
  EXPECT_TRUE(list.Sorted());
}

TEST(StringList, SortedListRefusesPlacementByHand) {
  TStringList list;
  list.SetSorted(true);
  list.Add(u"a");
  list.Add(u"b");
  EXPECT_THROW(list.Insert(0, u"c"), EStringListError);
  EXPECT_THROW(list.Put(0, u"c"), EStringListError);
  EXPECT_THROW(list.Move(0, 1), EStringListError);
}

TEST(StringList, IndexOutsideRaisesListError) {
  TStringList list;
  list.Add(u"a");
  EXPECT_THROW(list.Get(1), EListError);
  EXPECT_THROW(list.Get(-1), EListError);
  EXPECT_THROW(list.Delete(1), EListError);
  EXPECT_THROW(list.Insert(3, u"x"), EListError);
  try {
    list.Get(5);
  } catch (const EListError& e) {
    EXPECT_EQ(e.Message(), "List index out of bounds (5)");
  }
}

TEST(StringList, OwnedObjectsAreFreedOnDeleteClearAndDestruction) {
  int destroyed = 0;
  {
    TStringList list(true);
    for (int i = 0; i < 4; ++i) list.AddObject(u"x", new TCounted(&destroyed));
    list.Delete(0);
    EXPECT_EQ(destroyed, 1);
    list.Clear();
    EXPECT_EQ(destroyed, 4);
    list.AddObject(u"y", new TCounted(&destroyed));
  }
  EXPECT_EQ(destroyed, 5);

  // Without the flag nothing is freed.
  int kept = 0;
  TCounted object(&kept);
  {
    TStringList list;
    list.AddObject(u"a", &object);
    list.Delete(0);
    list.AddObject(u"a", &object);
  }
  EXPECT_EQ(kept, 0);
}

TEST(StringList, DeleteIfRemovesInOnePassAndKeepsTheOrder) {
  int destroyed = 0;
  TStringList list(true);
  for (int i = 0; i < 10; ++i) list.AddObject(IntToStr(i), new TCounted(&destroyed));
  const uint64_t before = list.Revision();
  std::vector<int32_t> asked;
  EXPECT_EQ(list.DeleteIf([&](int32_t i) {
    asked.push_back(i);
    return i % 3 != 1;
  }), 7);
  EXPECT_EQ(asked, (std::vector<int32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list[0], u"1");
  EXPECT_EQ(list[1], u"4");
  EXPECT_EQ(list[2], u"7");
  EXPECT_EQ(destroyed, 7);
  EXPECT_NE(list.Revision(), before);
  // A predicate that raises removes nothing.
  EXPECT_THROW(list.DeleteIf([](int32_t i) -> bool {
    if (i == 2) throw EListError("stop");
    return true;
  }),
               EListError);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(destroyed, 7);
  EXPECT_EQ(list.DeleteIf([](int32_t) { return false; }), 0);
  EXPECT_EQ(list.DeleteIf([](int32_t) { return true; }), 3);
  EXPECT_TRUE(list.Empty());
  EXPECT_EQ(destroyed, 10);
}

// The index answers what IndexOf answers, the first of equal entries, through
// changes made behind its back.
TEST(StringList, IndexAgreesWithIndexOfThroughChanges) {
  TStringList list;
  for (const char16_t* s : {u"Word", u"co-op", u"word", u"coop", u"Co-op", u"WORD", u"x", u"co'op"}) {
    list.Add(s);
  }
  TStringListIndex index;
  const std::vector<std::u16string> probes = {u"word", u"WORD", u"co-op", u"CO-OP", u"coop", u"co'op",
                                              u"x", u"X", u"y", u"", u"wörd"};
  const auto agree = [&](const char* when) {
    for (const std::u16string& p : probes) {
      EXPECT_EQ(index.IndexOf(list, p), list.IndexOf(p)) << when << " " << EncodedUTF8(p);
    }
  };
  agree("at first");
  EXPECT_EQ(index.IndexOf(list, u"WORD"), 0);
  list.Delete(0);
  agree("after Delete");
  EXPECT_EQ(index.IndexOf(list, u"WORD"), 1);
  list.Exchange(0, 4);
  agree("after Exchange");
  list.Put(3, u"word");
  agree("after Put");
  list.Insert(0, u"wORD");
  agree("after Insert");
  EXPECT_EQ(index.IndexOf(list, u"word"), 0);
  list.SetCaseSensitive(true);
  agree("case-sensitive");
  list.Add(u"y");
  index.Appended(list, list.Count() - 1);
  agree("after an append it was told of");
  list.Add(u"X");
  list.Add(u"Y");
  index.Appended(list, list.Count() - 1);  // two changes: noticed, rebuilt
  agree("after two appends");
  list.DeleteIf([](int32_t i) { return i % 2 == 0; });
  agree("after DeleteIf");
  list.SetSorted(true);
  agree("sorted");
  TStringList other;
  other.Add(u"x");
  EXPECT_EQ(index.IndexOf(other, u"X"), 0);  // another list: rebuilt for it
}

TEST(StringList, NumbersInTheObjectSlot) {
  TStringList list;
  list.AddObject(u"cat", ObjectFromInt(5));
  list.AddObject(u"dog", ObjectFromInt(-1));
  EXPECT_EQ(IntFromObject(list.GetObject(0)), 5);
  EXPECT_EQ(IntFromObject(list.GetObject(1)), -1);
  EXPECT_EQ(list.IndexOfObject(ObjectFromInt(-1)), 1);
}

TEST(StringList, CustomSortAndSortSeeTheWholeList) {
  TStringList list;
  for (const char16_t* s : {u"ccc", u"a", u"bbbb", u"dd", u"", u"eeeee"}) list.Add(s);
  list.CustomSort([](TStringList& l, int32_t i, int32_t j) {
    return static_cast<int>(l[i].size()) - static_cast<int>(l[j].size());
  });
  const std::vector<std::u16string> byLength = {u"", u"a", u"dd", u"ccc", u"bbbb", u"eeeee"};
  EXPECT_EQ(Entries(list), byLength);
  list.Sort();
  const std::vector<std::u16string> alphabetical = {u"", u"a", u"bbbb", u"ccc", u"dd", u"eeeee"};
  EXPECT_EQ(Entries(list), alphabetical);
}

TEST(StringList, CustomSortHandlesManyEqualAndOrderedKeys) {
  // Sorted, reversed and all-equal inputs are the classic quicksort traps.
  for (int pattern = 0; pattern < 3; ++pattern) {
    TStringList list;
    const int n = 5000;
    for (int i = 0; i < n; ++i) {
      const int key = pattern == 0 ? i : pattern == 1 ? n - i : 7;
      list.AddObject(u"k", ObjectFromInt(key));
    }
    list.CustomSort([](TStringList& l, int32_t i, int32_t j) {
      const intptr_t a = IntFromObject(l.GetObject(i));
      const intptr_t b = IntFromObject(l.GetObject(j));
      return a < b ? -1 : a > b ? 1 : 0;
    });
    for (int i = 1; i < n; ++i) {
      ASSERT_LE(IntFromObject(list.GetObject(i - 1)), IntFromObject(list.GetObject(i)));
    }
  }
}

// The order CustomSort has always left, equal entries and comparisons that
// are no order included: the pivot entry is followed by its index as it moves,
// and the scans stop at the range's ends.
TEST(StringList, CustomSortKeepsItsOrderForTiesAndForInconsistentComparisons) {
  std::mt19937 rng(21);
  for (int round = 0; round < 80; ++round) {
    const int n = 2 + static_cast<int>(rng() % 300);
    std::vector<std::u16string> expected;
    TStringList list;
    for (int i = 0; i < n; ++i) {
      // Many equal first letters; the rest tells the entries apart.
      std::u16string s(1, static_cast<char16_t>(u'a' + rng() % 6));
      for (char c : std::to_string(i)) s += static_cast<char16_t>(c);
      expected.push_back(s);
      list.Add(s);
    }
    const bool noisy = round % 2 == 1;
    std::mt19937 literalNoise(static_cast<uint32_t>(round)), listNoise(static_cast<uint32_t>(round));
    auto byFirstLetter = [noisy](std::mt19937& noise, const std::u16string& a, const std::u16string& b) {
      if (noisy) return static_cast<int>(noise() % 3) - 1;
      return (a[0] > b[0]) - (a[0] < b[0]);
    };
    std::function<void(int32_t, int32_t)> quickSort = [&](int32_t lo, int32_t hi) {
      while (lo < hi) {
        int32_t i = lo;
        int32_t j = hi;
        int32_t pivot = lo + (hi - lo) / 2;
        auto compare = [&](int32_t k) {
          return byFirstLetter(literalNoise, expected[static_cast<size_t>(k)], expected[static_cast<size_t>(pivot)]);
        };
        do {
          while (i < hi && compare(i) < 0) ++i;
          while (j > lo && compare(j) > 0) --j;
          if (i <= j) {
            if (i != j) {
              std::swap(expected[static_cast<size_t>(i)], expected[static_cast<size_t>(j)]);
              if (pivot == i) {
                pivot = j;
              } else if (pivot == j) {
                pivot = i;
              }
            }
            ++i;
            --j;
          }
        } while (i <= j);
        if (j - lo < hi - i) {
          if (lo < j) quickSort(lo, j);
          lo = i;
        } else {
          if (i < hi) quickSort(i, hi);
          hi = j;
        }
      }
    };
    quickSort(0, n - 1);
    list.CustomSort([&](int32_t i, int32_t j) { return byFirstLetter(listNoise, list[i], list[j]); });
    ASSERT_EQ(Entries(list), expected) << "round " << round;
  }
}

// --- text ------------------------------------------------------------------------

TEST(StringList, TextJoinsWithCrLfAfterEveryLine) {
  TStringList list;
  EXPECT_EQ(list.Text(), u"");
  list.Add(u"a");
  list.Add(u"");
  list.Add(u"b");
  EXPECT_EQ(list.Text(), u"a\r\n\r\nb\r\n");
}

TEST(StringList, SetTextCutsAtEveryKindOfLineBreak) {
  struct Case {
    std::u16string text;
    std::vector<std::u16string> lines;
  };
  const Case cases[] = {
      {u"", {}},
      {u"a", {u"a"}},
      {u"a\r\n", {u"a"}},
      {u"\r\n", {u""}},
      {u"a\r\nb", {u"a", u"b"}},
      {u"a\nb\rc", {u"a", u"b", u"c"}},
      {u"a\n\nb", {u"a", u"", u"b"}},
      {u"a\r\r\nb", {u"a", u"", u"b"}},
      {u"a\n\r", {u"a", u""}},
      {std::u16string(u"x\0y\r\nz", 6), {std::u16string(u"x\0y", 3), u"z"}},
  };
  for (const Case& c : cases) {
    TStringList list;
    list.SetText(c.text);
    EXPECT_EQ(Entries(list), c.lines);
  }
}

TEST(StringList, OtherLineBreakCutsOnlyThere) {
  TStringList list;
  list.SetLineBreak(u"|");
  list.SetText(u"a|b\r\nc|");
  const std::vector<std::u16string> expected = {u"a", u"b\r\nc"};
  EXPECT_EQ(Entries(list), expected);
  EXPECT_EQ(list.Text(), u"a|b\r\nc|");
}

TEST(StringList, CommaTextQuotesWhatNeedsIt) {
  TStringList list;
  for (const char16_t* s : {u"plain", u"two words", u"say \"hi\"", u"", u"a,b"}) list.Add(s);
  EXPECT_EQ(list.CommaText(), u"plain,\"two words\",\"say \"\"hi\"\"\",\"\",\"a,b\"");
  TStringList back;
  back.SetCommaText(list.CommaText());
  EXPECT_EQ(Entries(back), Entries(list));
}

TEST(StringList, CommaTextIgnoresTheListsOwnDelimiterAndQuoteAndLeavesThem) {
  TStringList list;
  list.SetDelimiter(u';');
  list.SetQuoteChar(u'\'');
  for (const char16_t* s : {u"a;b", u"c,d", u"it's"}) list.Add(s);
  const TStringList& reader = list;
  EXPECT_EQ(reader.CommaText(), u"a;b,\"c,d\",it's");
  EXPECT_EQ(reader.DelimitedText(), u"'a;b';c,d;'it''s'");
  EXPECT_EQ(reader.Delimiter(), u';');
  EXPECT_EQ(reader.QuoteChar(), u'\'');
}

TEST(StringList, AssignCopiesTheEntriesAndEverySettingButOwnership) {
  TStringList source(true);
  TObject* owned = new TObject;
  source.AddObject(u"zeta", owned);
  source.Add(u"alpha");
  source.SetCaseSensitive(true);
  source.SetStrictDelimiter(true);
  source.SetWriteBOM(false);
  source.SetDuplicates(TDuplicates::dupError);
  source.SetLocale(0x0407);
  source.SetEncoding(kEncodingUTF16BE);
  source.SetDelimiter(u'|');
  source.SetQuoteChar(u'\'');
  source.SetNameValueSeparator(u':');
  source.SetLineBreak(u"\n");
  source.SetSorted(true);

  TStringList copy;
  copy.Add(u"old");
  copy.Assign(source);
  EXPECT_EQ(Entries(copy), Entries(source));
  EXPECT_EQ(copy.GetObject(copy.IndexOf(u"zeta")), owned);
  EXPECT_TRUE(copy.Sorted());
  EXPECT_TRUE(copy.CaseSensitive());
  EXPECT_TRUE(copy.StrictDelimiter());
  EXPECT_FALSE(copy.WriteBOM());
  EXPECT_EQ(copy.Duplicates(), TDuplicates::dupError);
  EXPECT_EQ(copy.Locale(), 0x0407u);
  EXPECT_EQ(copy.Encoding(), kEncodingUTF16BE);
  EXPECT_EQ(copy.Delimiter(), u'|');
  EXPECT_EQ(copy.QuoteChar(), u'\'');
  EXPECT_EQ(copy.NameValueSeparator(), u':');
  EXPECT_EQ(copy.LineBreak(), u"\n");
  // The strings are the copy's own; the objects stay the source's.
  copy.SetSorted(false);
  copy.Put(0, u"changed");
  EXPECT_EQ(source[0], u"alpha");
  // Clearing the copy must leave the object to the source, which destroys it
  // at its end (a second destruction would be caught under AddressSanitizer).
  copy.Clear();
  EXPECT_EQ(source.GetObject(source.IndexOf(u"zeta")), owned);
}

TEST(StringList, CommaTextParsing) {
  struct Case {
    std::u16string text;
    std::vector<std::u16string> entries;
  };
  const Case cases[] = {
      {u"", {}},
      {u"a,b", {u"a", u"b"}},
      {u"  a , b  ", {u"a", u"b"}},
      {u"a b", {u"a", u"b"}},  // blanks separate too
      {u"a,,b", {u"a", u"", u"b"}},
      {u"a,", {u"a", u""}},
      {u"\"x, y\",z", {u"x, y", u"z"}},
      {u"\"unterminated", {u"unterminated"}},
      {u"\"a\"\"b\"", {u"a\"b"}},
  };
  for (const Case& c : cases) {
    TStringList list;
    list.SetCommaText(c.text);
    EXPECT_EQ(Entries(list), c.entries);
  }
}

TEST(StringList, StrictDelimiterKeepsBlanks) {
  TStringList list;
  list.SetStrictDelimiter(true);
  list.SetDelimiter(u'\t');
  list.SetDelimitedText(u" a b\t\tc ");
  const std::vector<std::u16string> expected = {u" a b", u"", u"c "};
  EXPECT_EQ(Entries(list), expected);
  TStringList back;
  back.SetStrictDelimiter(true);
  back.SetDelimiter(u'\t');
  back.SetDelimitedText(list.DelimitedText());
  EXPECT_EQ(Entries(back), expected);
}

TEST(StringList, NamesAndValues) {
  TStringList list;
  list.SetText(u"Colour=red\r\nsize=\r\nplain\r\n=anonymous\r\nx=a=b");
  EXPECT_EQ(list.Values(u"colour"), u"red");
  EXPECT_EQ(list.Values(u"SIZE"), u"");
  EXPECT_EQ(list.Values(u"x"), u"a=b");
  EXPECT_EQ(list.Names(2), u"");
  EXPECT_EQ(list.ValueFromIndex(2), u"");  // no separator: no value, nothing cut off
  EXPECT_EQ(list.ValueFromIndex(3), u"anonymous");
  EXPECT_EQ(list.IndexOfName(u"plain"), -1);

  list.SetValue(u"COLOUR", u"blue");
  EXPECT_EQ(list[0], u"Colour=blue");
  list.SetValue(u"new", u"1");
  EXPECT_EQ(list[list.Count() - 1], u"new=1");
  list.SetValue(u"colour", u"");  // an empty value removes the entry
  EXPECT_EQ(list.IndexOfName(u"colour"), -1);
  list.SetValueFromIndex(list.IndexOf(u"plain"), u"v");
  EXPECT_EQ(list.Values(u"plain"), u"v");
}

TEST(StringList, SetValueInSortedListKeepsItSorted) {
  TStringList list;
  list.SetSorted(true);
  list.Add(u"b=2");
  list.Add(u"m=3");
  list.SetValue(u"b", u"9");
  list.SetValue(u"a", u"1");
  const std::vector<std::u16string> expected = {u"a=1", u"b=9", u"m=3"};
  EXPECT_EQ(Entries(list), expected);
}

// --- files ---------------------------------------------------------------------

TEST_F(StringListFiles, LoadDetectsTheByteOrderMark) {
  struct Case {
    std::vector<uint8_t> bytes;
    TTextEncoding encoding;
  };
  // "é" then a line break then "b", in each encoding.
  const Case cases[] = {
      {{0xEF, 0xBB, 0xBF, 0xC3, 0xA9, 0x0D, 0x0A, 0x62}, kEncodingUTF8},
      {{0xFF, 0xFE, 0xE9, 0x00, 0x0D, 0x00, 0x0A, 0x00, 0x62, 0x00}, kEncodingUTF16LE},
      {{0xFE, 0xFF, 0x00, 0xE9, 0x00, 0x0A, 0x00, 0x62}, kEncodingUTF16BE},
      {{0xE9, 0x0A, 0x62}, kEncodingDefault},  // active code page 1252
  };
  const std::string path = TempPath("bom.txt");
  for (const Case& c : cases) {
    WriteBytes(path, c.bytes);
    TStringList list;
    list.LoadFromFile(std::string_view(path));
    const std::vector<std::u16string> expected = {u"\u00e9", u"b"};
    EXPECT_EQ(Entries(list), expected);
    EXPECT_EQ(list.Encoding(), c.encoding);
  }
}

TEST(StringList, Utf16BytesDecodeEveryUnitInBothOrders) {
  std::u16string all(0x10000, u'\0');
  for (uint32_t u = 0; u < 0x10000; ++u) all[u] = static_cast<char16_t>(u);
  for (TTextEncoding encoding : {kEncodingUTF16LE, kEncodingUTF16BE}) {
    std::vector<uint8_t> bytes = EncodeTextBytes(all, encoding, true);
    bytes.push_back(0x41);  // a final odd byte is ignored
    TTextEncoding detected = kEncodingDefault;
    EXPECT_EQ(DecodeTextBytes(bytes, &detected), all);
    EXPECT_EQ(detected, encoding);
    // At an odd address as well (the bytes after a one-byte offset).
    std::vector<uint8_t> shifted(1, 0);
    shifted.insert(shifted.end(), bytes.begin(), bytes.end());
    EXPECT_EQ(DecodeTextBytesAs(std::span<const uint8_t>(shifted).subspan(1), encoding), all);
  }
  EXPECT_EQ(DecodeTextBytesAs(std::vector<uint8_t>{0x00, 0xE9, 0xD8}, kEncodingUTF16BE), u"\u00e9");
  EXPECT_EQ(DecodeTextBytesAs(std::vector<uint8_t>{0xE9}, kEncodingUTF16LE), u"");
}

TEST_F(StringListFiles, MalformedBytesNeverFailTheLoad) {
  const std::string path = TempPath("bad.txt");
  // A UTF-8 mark followed by invalid UTF-8; a UTF-16 mark with an odd byte.
  WriteBytes(path, {0xEF, 0xBB, 0xBF, 0xFF, 0xC3, 0x0A, 0x41});
  TStringList list;
  list.LoadFromFile(std::string_view(path));
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list[1], u"A");
  WriteBytes(path, {0xFF, 0xFE, 0x41, 0x00, 0x42});
  list.LoadFromFile(std::string_view(path));
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list[0], u"A");
}

TEST(StringList, SaveWritesTheChosenEncodingByteForByte) {
  TStringList list;
  list.Add(u"a\u00e9");
  struct Case {
    TTextEncoding encoding;
    bool bom;
    std::vector<uint8_t> bytes;
  };
  const Case cases[] = {
      {kEncodingUTF16LE, true, {0xFF, 0xFE, 0x61, 0x00, 0xE9, 0x00, 0x0D, 0x00, 0x0A, 0x00}},
      {kEncodingUTF16BE, true, {0xFE, 0xFF, 0x00, 0x61, 0x00, 0xE9, 0x00, 0x0D, 0x00, 0x0A}},
      {kEncodingUTF8, true, {0xEF, 0xBB, 0xBF, 0x61, 0xC3, 0xA9, 0x0D, 0x0A}},
      {kEncodingUTF8, false, {0x61, 0xC3, 0xA9, 0x0D, 0x0A}},
      {kEncodingDefault, true, {0x61, 0xE9, 0x0D, 0x0A}},
  };
  for (const Case& c : cases) {
    list.SetWriteBOM(c.bom);
    TMemoryStream stream;
    list.SaveToStream(stream, c.encoding);
    const auto bytes = stream.Bytes();
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.end()), c.bytes);
  }
}

TEST_F(StringListFiles, FileRoundTripKeepsTheLoadedEncoding) {
  const std::string path = TempPath("roundtrip.txt");
  TStringList list;
  list.Add(u"\u0391\u03b8\u03ae\u03bd\u03b1");  // not in code page 1252
  list.SaveToFile(std::u16string_view(DecodedUTF8(path)), kEncodingUTF16LE);
  TStringList back;
  back.LoadFromFile(std::string_view(path));
  EXPECT_EQ(back.Encoding(), kEncodingUTF16LE);
  EXPECT_EQ(Entries(back), Entries(list));
  back.Add(u"more");
  back.SaveToFile(std::string_view(path));  // saved again as UTF-16
  const auto bytes = FileBytes(path);
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes[0], 0xFF);
  EXPECT_EQ(bytes[1], 0xFE);
}

TEST(StringList, LoadFromStreamReadsFromThePosition) {
  TMemoryStream stream;
  const uint8_t bytes[] = {'s', 'k', 'i', 'p', 'a', '\n', 'b'};
  stream.WriteBuffer(bytes, sizeof bytes);
  stream.SetPosition(4);
  TStringList list;
  list.LoadFromStream(stream);
  const std::vector<std::u16string> expected = {u"a", u"b"};
  EXPECT_EQ(Entries(list), expected);
}

TEST_F(StringListFiles, FailedSaveKeepsTheOldFileAndMissingFileRaises) {
  const std::string path = TempPath("keep.txt");
  WriteBytes(path, {'o', 'l', 'd'});
  TStringList list;
  list.Add(u"new");
  EXPECT_THROW(list.SaveToFile(std::string_view(path + "/not/a/folder")), EFCreateError);
  EXPECT_EQ(FileBytes(path), (std::vector<uint8_t>{'o', 'l', 'd'}));
  EXPECT_THROW(list.LoadFromFile(std::string_view(TempPath("missing.txt"))), EFOpenError);
  EXPECT_EQ(list.Count(), 1);  // a failed load leaves the list as it was
}

}  // namespace
}  // namespace qn::platform
