// Lists of search words: adding, finding, moving, counters and both stored forms.
#include "runtime1/search/Search_items.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/Streams.h"
#include "platform/YieldHook.h"
#include "platform/testing/TestFiles.h"
#include "runtime1/containers/Useful_Classes_records.h"
#include "runtime1/search/Search_engines.h"
#include "runtime1/text/My_string_functions_numbers.h"

namespace qn {
namespace {

using test_support::ReadBytes;
using test_support::Wide;
using test_support::WriteBytes;
using Ints = std::vector<int32_t>;

TSearch_word_format_rec TypedOnly(std::u16string text) {
  TSearch_word_format_rec r;
  r.typed_in_text = std::move(text);
  return r;
}

std::vector<std::u16string> Typed(const TBaseSearchItems& items) {
  std::vector<std::u16string> v;
  for (int32_t i = 0; i < items.Count(); ++i) v.push_back(items.GetSWR(i).typed_in_text);
  return v;
}

std::string StreamBytes(const TBaseSearchItems& items) {
  platform::TMemoryStream m;
  EXPECT_TRUE(items.SaveToStream(m));
  return std::string(m.Bytes().begin(), m.Bytes().end());
}

// Little-endian bytes of a 32-bit value and of ASCII text as UTF-16.
std::string I32(int32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF);
  return s;
}
std::string U16(std::string_view text) {
  std::string s;
  for (const char c : text) {
    s.push_back(c);
    s.push_back('\0');
  }
  return s;
}
std::string Record(std::string_view text) { return I32(static_cast<int32_t>(text.size())) + U16(text); }

bool Read(TBaseSearchItems& items, const std::string& bytes) {
  platform::TMemoryViewStream s(bytes.data(), static_cast<int64_t>(bytes.size()));
  return items.ReadFromStream(s);
}

TEST(SearchItems, AlternativesAreAddedFromTheLastAndNeverTwice) {
  TBaseSearchItems items(TIgnore_tag_type{}, 0, true);
  EXPECT_EQ(items.AddedSearchWords(u"cat/dog/mouse"), (Ints{0, 1, 2}));
  EXPECT_EQ(Typed(items), (std::vector<std::u16string>{u"mouse", u"dog", u"cat"}));
  EXPECT_EQ(items.AddedSearchWords(u"dog"), (Ints{1}));
  EXPECT_EQ(items.Count(), 3);
  // Runs of spaces collapse; an alternative with nothing to search is dropped.
  EXPECT_EQ(items.AddedSearchWords(u"big   cat/*"), (Ints{3}));
  EXPECT_EQ(items.GetSWR(3).typed_in_text, u"big cat");
  EXPECT_EQ(items.SearchesPlannedCount(), 4);
  items.SetSplittingAtSlashes(false);
  EXPECT_EQ(items.SearchesPlannedCount(), 1);
}

TEST(SearchItems, OverloadsSetOneFieldOnEveryReturnedEntry) {
  TBaseSearchItems items(TIgnore_tag_type{}, 0, true);
  EXPECT_EQ(items.AddedSearchWordsWithLanguage(u"a/b", 7), (Ints{0, 1}));
  EXPECT_EQ(items.GetLanguage(0), 7);
  EXPECT_EQ(items.GetLanguage(1), 7);
  items.AddedSearchWordsAsLemmas(u"b", true);
  EXPECT_TRUE(items.GetAutoLemmaAdded(0));
  EXPECT_FALSE(items.GetAutoLemmaAdded(1));
  items.AddedSearchWordsWanting(u"a/c", 25);
  EXPECT_EQ(items.GetNToFind(0), 0);
  EXPECT_EQ(items.GetNToFind(1), 25);
  EXPECT_EQ(items.GetNToFind(2), 25);
  // The literal form keeps wildcards as characters.
  items.SetFormatPreChecked(true);
  items.AddedSearchWords(u"b*d");
  EXPECT_EQ(items.GetSWR(3).search_text, u"b*d");
}

TEST(SearchItems, WholeRequestAlreadyTypedChangesNothingInSearchWords) {
  TSearchWordItems words(TIgnore_tag_type{}, 0, true);
  words.AddedSearchWords(u"dog");
  EXPECT_TRUE(words.AddedSearchWords(u"dog").empty());
  EXPECT_EQ(words.AddedSearchWords(u"cat/dog/mouse"), (Ints{1, 0, 2}));
  EXPECT_EQ(words.Count(), 3);
  EXPECT_TRUE(words.AddedSearchWords(u"cat").empty());
  EXPECT_EQ(words.TempEngine(), nullptr);
  EXPECT_EQ(words.TempCWItems(), nullptr);
}

TEST(SearchItems, ContextWordOnTheFirstEntryMakesTheEngineAndContextList) {
  TIgnore_tag_type tags{};
  tags[tag_on][0] = u'<';
  tags[tag_off][0] = u'>';
  TSearchWordItems words(tags, 1033, false);
  words.AddedSearchWords(u"cat context:=dog");
  EXPECT_TRUE(words.GetHasContextWord(0));
  EXPECT_TRUE(words.HasAnyContextWords);
  ASSERT_NE(words.TempEngine(), nullptr);
  ASSERT_NE(words.TempCWItems(), nullptr);
  EXPECT_TRUE(words.TempCWItems()->SplittingAtSlashes());
  EXPECT_EQ(words.TempCWItems()->TheLCID(), 1033u);
  EXPECT_EQ(words.TempCWItems()->ignore_tags, tags);
  TSearchAndDoEngine* engine = words.TempEngine();
  words.AddedSearchWords(u"bird context:=tree");
  EXPECT_EQ(words.TempEngine(), engine);
  // Out of range on either side is false, not a read outside the list.
  TSearchWordItems plain;
  plain.AddedSearchWords(u"x");
  EXPECT_FALSE(plain.GetHasContextWord(-1));
  EXPECT_FALSE(plain.GetHasContextWord(1));
  EXPECT_FALSE(plain.HasAnyContextWords);
}

TEST(SearchItems, InsertAtTopPlacesTheEntriesThemselves) {
  TBaseSearchItems items(TIgnore_tag_type{}, 0, true);
  items.AddedSearchWords(u"alpha");
  items.AddedSearchWords(u"beta");
  items.AddedSearchWords(u"gamma");
  EXPECT_EQ(items.InsertSearchWordsAtTop(u"x/y", true), (Ints{0, 1}));
  EXPECT_EQ(Typed(items), (std::vector<std::u16string>{u"y", u"x", u"alpha", u"beta", u"gamma"}));
  EXPECT_TRUE(items.GetAutoLemmaAdded(0));
  EXPECT_FALSE(items.GetAutoLemmaAdded(2));
  // An entry already among the first n stays; the result gives real indices.
  // Entries named twice, or already in place, stay; the result gives real
  // indices.
  EXPECT_EQ(items.InsertSearchWordsAtTop(u"gamma/x/x", false), (Ints{0, 0, 2}));
  EXPECT_EQ(Typed(items), (std::vector<std::u16string>{u"x", u"y", u"gamma", u"alpha", u"beta"}));
  // The lookup follows the moves.
  EXPECT_EQ(items.TypeInIndexOf(u"gamma"), 2);
  EXPECT_EQ(items.TypeInIndexOf(u"beta"), 4);
  EXPECT_EQ(items.InsertSearchWordsAtTop(u"beta", false), (Ints{0}));
  EXPECT_EQ(Typed(items), (std::vector<std::u16string>{u"beta", u"x", u"y", u"gamma", u"alpha"}));
}

TEST(SearchItems, MovingDeletingAndOverwritingKeepTheLookupRight) {
  TBaseSearchItems items(TIgnore_tag_type{}, 0, true);
  items.AddedSearchWords(u"c/b/a");
  items.MoveToTop(0);
  items.MoveToTop(items.Count());
  items.MoveToTop(-1);
  EXPECT_EQ(Typed(items), (std::vector<std::u16string>{u"a", u"b", u"c"}));
  items.MoveToTop(2);
  EXPECT_EQ(Typed(items), (std::vector<std::u16string>{u"c", u"a", u"b"}));
  EXPECT_EQ(items.TypeInIndexOf(u"b"), 2);
  items.ClearOne(0);
  items.ClearOne(5);
  EXPECT_EQ(items.TypeInIndexOf(u"b"), 1);
  EXPECT_EQ(items.TypeInIndexOf(u"c"), -1);
  TSearch_word_format_rec r = items.GetSWR(0);
  r.typed_in_text = std::u16string(1, u'z');
  items.PutSWR(0, r);
  items.PutSWR(9, r);
  EXPECT_EQ(items.TypeInIndexOf(u"a"), -1);
  EXPECT_EQ(items.TypeInIndexOf(u"z"), 0);
  // A text changed through the record's address is found under its new text.
  items.GetPtr(1)->typed_in_text = std::u16string(1, u'q');
  EXPECT_EQ(items.TypeInIndexOf(u"q"), 1);
  EXPECT_EQ(items.TypeInIndexOf(u"b"), -1);
  EXPECT_EQ(items.GetPtr(2), nullptr);
  // Duplicates made by hand: the lowest index wins, and removing the last
  // entry keeps the others findable.
  items.AddOneSW(items.GetSWR(1));
  items.ClearOne(2);
  EXPECT_EQ(items.TypeInIndexOf(u"q"), 1);
  items.AddOneSW(items.GetSWR(1));
  items.AddedSearchWords(u"last");
  items.ClearOne(3);
  EXPECT_EQ(items.TypeInIndexOf(u"last"), -1);
  items.ClearOne(0);
  EXPECT_EQ(items.TypeInIndexOf(u"q"), 0);
  items.ClearOne(0);
  EXPECT_EQ(items.TypeInIndexOf(u"q"), 0);
  items.ClearOne(0);
  EXPECT_EQ(items.TypeInIndexOf(u"q"), -1);
  EXPECT_EQ(items.AddedSearchWords(u"q"), (Ints{0}));
  items.Clear();
  EXPECT_EQ(items.TypeInIndexOf(u"q"), -1);
}

TEST(SearchItems, IndexOfAndEnsureContainsCompareTheLanguage) {
  TBaseSearchItems items;
  items.AddedSearchWordsWithLanguage(u"bank", 2);
  TSearch_word_format_rec r = items.GetSWR(0);
  EXPECT_EQ(items.IndexOf(r), 0);
  r.Langnum = 3;
  EXPECT_EQ(items.IndexOf(r), -1);
  EXPECT_EQ(items.EnsureContains(r), 1);
  EXPECT_EQ(items.EnsureContains(items.GetSWR(0)), 0);
  EXPECT_EQ(items.Count(), 2);
}

TEST(SearchItems, IndicesOutsideTheListGiveZeroAnswers) {
  TBaseSearchItems items;
  items.AddedSearchWordsWanting(u"cat", 4);
  items.SetHitsFound(0, 9);
  const std::vector<TSearch_word_format_rec> copies = items.CopyOfArrayOFSWItems(Ints{-1, 1, 0, 7});
  ASSERT_EQ(copies.size(), 4u);
  EXPECT_EQ(copies[0], TSearch_word_format_rec{});
  EXPECT_EQ(copies[1], TSearch_word_format_rec{});
  EXPECT_EQ(copies[2].hits_found, 9);
  EXPECT_EQ(copies[3], TSearch_word_format_rec{});
  for (const int32_t i : {-1, 1}) {
    EXPECT_EQ(items.GetSWR(i), TSearch_word_format_rec{});
    EXPECT_EQ(items.GetHitsFound(i), 0);
    EXPECT_EQ(items.GetNToFind(i), 0);
    EXPECT_EQ(items.GetLanguage(i), 0);
    EXPECT_TRUE(items.GetAFlag(i).Empty());
    EXPECT_FALSE(items.GetSearchFound(i));
    EXPECT_EQ(items.GetSpacesInSW(i), 0);
    items.SetAFlag(i, TMySearchFlags{myReplace});
    items.SetSearchFound(i, true);
    items.IncrementHits(i);
    EXPECT_THROW(items.SetHitsFound(i, 1), EListError);
    EXPECT_THROW(items.SetNToFind(i, 1), EListError);
    EXPECT_THROW(items.SetLanguage(i, 1), EListError);
    EXPECT_THROW(items.SetAutoLemmaAdded(i, true), EListError);
  }
  EXPECT_EQ(items.GetHitsFound(0), 9);
  EXPECT_EQ(items.GetNToFind(0), 4);
}

TEST(SearchItems, HitCounters) {
  TBaseSearchItems items(TIgnore_tag_type{}, 0, true);
  items.AddedSearchWords(u"a/b/c");
  items.IncrementHits(1);
  items.IncrementHits(1);
  items.SetHits(Ints{5});
  EXPECT_EQ(items.GetHitsFound(0), 5);
  EXPECT_EQ(items.TotalHits(), 7);
  items.SetHits(Ints{1, 2, 3, 4, 5});
  EXPECT_EQ(items.TotalHits(), 6);
  items.SetHitsFound(0, 2'000'000'000);
  items.SetHitsFound(1, 2'000'000'000);
  EXPECT_EQ(items.TotalHits(), 4'000'000'003);
  items.ClearHits();
  EXPECT_EQ(items.TotalHits(), 0);
  items.SetSearchFound(2, true);
  EXPECT_TRUE(items.GetSearchFound(2));
}

TEST(SearchItems, JoinedTextsAndPlainWords) {
  TBaseSearchItems items;
  for (int i = 0; i < 12; ++i) items.AddOneSW(TypedOnly(Wide(std::to_string(i))));
  EXPECT_EQ(items.AllTypedSearchWordsAsOne(true), u"0/1/2/3/4/5/6/7/8/9 " + _QNEtc);
  EXPECT_EQ(items.AllTypedSearchWordsAsOne(false), u"0/1/2/3/4/5/6/7/8/9/10/11");
  items.ClearOne(11);
  items.ClearOne(10);
  EXPECT_EQ(items.AllTypedSearchWordsAsOne(true), u"0/1/2/3/4/5/6/7/8/9");
  EXPECT_EQ(items.TypedInWordsAsStringlist()->Count(), 10);

  TBaseSearchItems words;
  words.AddedSearchWords(u"walk*");
  words.AddedSearchWords(u"==Bank==");
  const TSimpleSearchlist& plain = words.PlainSearchWordsComputed();
  ASSERT_EQ(plain.Count(), 2);
  EXPECT_EQ(plain.GetAValue(0), (TSimpleSearch_rec{u"walk", 1, TMySearchFlags{myLeftBounded}}));
  EXPECT_EQ(plain.GetAValue(1),
            (TSimpleSearch_rec{u"Bank", 1, TMySearchFlags{myLeftBounded, myRightBounded, myCaseIsSensitive}}));
  words.Clear();
  EXPECT_EQ(words.Count(), 0);
  EXPECT_EQ(plain.Count(), 0);
}

TEST(SearchItems, AYieldThatClearsTheListCannotMakeItReadFreedEntries) {
  TBaseSearchItems items(TIgnore_tag_type{}, 0, true);
  items.AddedSearchWords(u"a/b/c");
  int calls = 0;
  auto yield = [&] {
    if (++calls == 2) items.Clear();
  };
  const TYieldProcessProc saved = AYieldProcessProc;
  AYieldProcessProc = TYieldProcessProc::FromCallable(yield);
  const Ints r = items.AddedSearchWordsWithLanguage(u"c/b/d", 4);
  AYieldProcessProc = saved;
  EXPECT_EQ(r.size(), 3u);
  for (int32_t i = 0; i < items.Count(); ++i) EXPECT_EQ(items.GetLanguage(i), 4);
  EXPECT_LE(items.Count(), 2);
}

// --- the stream form ---------------------------------------------------------

TEST(SearchItemsStream, GoldenImages) {
  TBaseSearchItems items;
  EXPECT_EQ(StreamBytes(items), I32(0));
  items.AddedSearchWords(u"cat");
  items.AddedSearchWords(u"dog");
  EXPECT_EQ(StreamBytes(items), I32(2) + Record("cat\t0\t0") + Record("dog\t0\t0"));
  items.AddedSearchWordsWithLanguage(u"walk*", 3);
  items.SetHitsFound(2, 12);
  items.SetLanguage(1, -2);
  EXPECT_EQ(StreamBytes(items),
            I32(3) + Record("cat\t0\t0") + Record("dog\t0\t-2") + Record("walk*\t12\t3"));
}

TEST(SearchItemsStream, ReadBackParsesAgainAndAddsToTheList) {
  TBaseSearchItems items(TIgnore_tag_type{}, 0, true);
  items.AddedSearchWords(u"old");
  ASSERT_TRUE(Read(items, I32(4) + Record("walk*\t7\t3") + Record("plain") + Record("a/b\t2\t1") +
                              Record("one\ttab")));
  EXPECT_EQ(Typed(items), (std::vector<std::u16string>{u"old", u"walk*", u"plain", u"b", u"a", u"one"}));
  EXPECT_EQ(items.GetHitsFound(1), 7);
  EXPECT_EQ(items.GetLanguage(1), 3);
  EXPECT_EQ(items.GetSWR(1).search_text, u"walk");
  EXPECT_EQ(items.GetHitsFound(2), 0);
  EXPECT_EQ(items.GetLanguage(2), 0);
  EXPECT_EQ(items.GetHitsFound(3), 2);
  EXPECT_EQ(items.GetHitsFound(4), 2);
  EXPECT_EQ(items.GetLanguage(5), 0);
}

TEST(SearchItemsStream, ATabInTheTypedTextSurvivesTheRoundTrip) {
  TBaseSearchItems items;
  items.AddedSearchWords(u"a\tb");
  items.SetHitsFound(0, 7);
  items.SetLanguage(0, 3);
  const std::string bytes = StreamBytes(items);
  TBaseSearchItems back;
  ASSERT_TRUE(Read(back, bytes));
  ASSERT_EQ(back.Count(), 1);
  EXPECT_EQ(back.GetSWR(0).typed_in_text, u"a\tb");
  EXPECT_EQ(back.GetHitsFound(0), 7);
  EXPECT_EQ(back.GetLanguage(0), 3);
}

TEST(SearchItemsStream, NumbersAreLeadingDigitsAndOverflowIsMissing) {
  TBaseSearchItems items;
  ASSERT_TRUE(Read(items, I32(4) + Record("a\t12x\tzz") + Record("b\t99999999999\t4") +
                              Record("c\t5\t70000") + Record("d\t-3\t-1")));
  EXPECT_EQ(items.GetHitsFound(0), 12);
  EXPECT_EQ(items.GetLanguage(0), 0);
  EXPECT_EQ(items.GetHitsFound(1), 0);
  EXPECT_EQ(items.GetLanguage(1), 4);
  EXPECT_EQ(items.GetHitsFound(2), 5);
  EXPECT_EQ(items.GetLanguage(2), 0);
  EXPECT_EQ(items.GetHitsFound(3), 0);
  EXPECT_EQ(items.GetLanguage(3), 0);
}

TEST(SearchItemsStream, CorruptStreamsAreFailures) {
  TBaseSearchItems items;
  EXPECT_FALSE(Read(items, I32(-1)));
  EXPECT_FALSE(Read(items, std::string("\x01\x00", 2)));
  EXPECT_FALSE(Read(items, I32(1) + I32(5001) + std::string(10002, 'a')));
  EXPECT_FALSE(Read(items, I32(1) + I32(-4)));
  EXPECT_EQ(items.Count(), 0);
  // A truncated stream keeps what was read before the break.
  EXPECT_FALSE(Read(items, I32(3) + Record("first\t1\t1") + I32(9) + U16("sec")));
  EXPECT_EQ(Typed(items), (std::vector<std::u16string>{u"first"}));
  EXPECT_FALSE(Read(items, I32(1000000) + Record("x")));
  EXPECT_EQ(items.Count(), 2);
}

TEST(SearchItemsStream, SaveRefusesRecordsItsReaderWouldRefuse) {
  TBaseSearchItems items;
  items.AddedSearchWords(u"short");
  items.AddedSearchWords(std::u16string(4996, u'x'));  // + "\t0\t0" = 5000 units: accepted
  platform::TMemoryStream ok;
  EXPECT_TRUE(items.SaveToStream(ok));
  TBaseSearchItems back;
  ok.SetPosition(0);
  EXPECT_TRUE(back.ReadFromStream(ok));
  EXPECT_EQ(back.Count(), 2);

  items.AddedSearchWords(std::u16string(4997, u'y'));
  platform::TMemoryStream refused;
  EXPECT_FALSE(items.SaveToStream(refused));
  EXPECT_EQ(refused.Size(), 0);
}

// --- the text-file form ------------------------------------------------------

class SearchItemsFile : public test_support::TTempFolderTest {};

TEST_F(SearchItemsFile, SavedAsUtf16WithMarkAndCrLf) {
  const auto path = fDir / "words.txt";
  TBaseSearchItems items(TIgnore_tag_type{}, 0, true);
  items.SaveToFile(Wide(path));
  EXPECT_EQ(ReadBytes(path), std::string("\xFF\xFE"));
  items.AddedSearchWords(u"dog/cat");
  items.AddOneSW(TypedOnly(u"\u00e9t\u00e9"));
  EXPECT_TRUE(items.SaveToFile(Wide(path)));
  EXPECT_EQ(ReadBytes(path), std::string("\xFF\xFE") + U16("cat\r\ndog\r\n") + std::string("\xE9\0t\0\xE9\0", 6) +
                                 U16("\r\n"));
}

TEST_F(SearchItemsFile, LoadReplacesTheEntriesWithTheNonEmptyLines) {
  const auto path = fDir / "words.txt";
  WriteBytes(path, "\xEF\xBB\xBFwalk*\r\n\r\n cat\nsun/moon\n*\n");
  TBaseSearchItems items(TIgnore_tag_type{}, 0, true);
  items.AddedSearchWords(u"old");
  items.ComputePlainSearchWords();
  ASSERT_TRUE(items.LoadFromFile(Wide(path), 5));
  EXPECT_TRUE(items.FromAFile());
  EXPECT_EQ(Typed(items), (std::vector<std::u16string>{u"walk*", u" cat", u"moon", u"sun"}));
  for (int32_t i = 0; i < items.Count(); ++i) EXPECT_EQ(items.GetNToFind(i), 5);
  EXPECT_EQ(items.PlainSearchWordsComputed().Count(), 4);

  // A file with nothing to search gives false; a missing file raises and
  // leaves the list as it was.
  WriteBytes(path, "*\r\n\r\n");
  EXPECT_FALSE(items.LoadFromFile(Wide(path), 1));
  EXPECT_FALSE(items.FromAFile());
  items.AddedSearchWords(u"kept");
  EXPECT_ANY_THROW(items.LoadFromFile(Wide(fDir / "missing.txt"), 1));
  EXPECT_EQ(Typed(items), (std::vector<std::u16string>{u"kept"}));
}

TEST_F(SearchItemsFile, SaveAndLoadRoundTrip) {
  const auto path = fDir / "round.txt";
  TBaseSearchItems items;
  for (const char16_t* w : {u"==Bank==", u"b*d", u"the * of", u"\u4e2d\u6587"}) items.AddedSearchWords(w);
  items.SaveToFile(Wide(path));
  TBaseSearchItems back;
  ASSERT_TRUE(back.LoadFromFile(Wide(path), 0));
  EXPECT_EQ(Typed(back), Typed(items));
  for (int32_t i = 0; i < items.Count(); ++i) EXPECT_EQ(back.GetSWR(i), items.GetSWR(i));
}

}  // namespace
}  // namespace qn
