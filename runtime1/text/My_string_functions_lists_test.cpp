#include "runtime1/text/My_string_functions_lists.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/Streams.h"
#include "runtime1/files/Wingenok.h"
#include "platform/testing/TestFiles.h"

namespace qn {
namespace {

using platform::IntFromObject;
using platform::ObjectFromInt;
using platform::TStringList;

std::vector<std::u16string> Lines(const TStringList& list) {
  std::vector<std::u16string> v;
  for (int32_t i = 0; i < list.Count(); ++i) v.push_back(list[i]);
  return v;
}

void Fill(TStringList& list, std::initializer_list<const char16_t*> lines) {
  list.Clear();
  for (const char16_t* line : lines) list.Add(line);
}

class ListsTest : public test_support::TTempFolderTest {
 protected:
  void SetUp() override {
    TTempFolderTest::SetUp();
    saved_ = UserDefaultFormatSettings;
    UserDefaultFormatSettings = platform::TFormatSettings::ForLocale(0x0409);
  }
  void TearDown() override {
    UserDefaultFormatSettings = saved_;
    TTempFolderTest::TearDown();
  }
  std::u16string PathOf(const char* name) const { return test_support::Wide(fDir / name); }
  platform::TFormatSettings saved_;
};

TEST_F(ListsTest, TabColumns) {
  EXPECT_EQ(AddWithTab(u"", u"b"), u"b");
  EXPECT_EQ(AddWithTab(u"a", u"b"), u"a\tb");
  EXPECT_EQ(AddToListWithSeparatorIfNeeded(u"a", u"b", u"; "), u"a; b");
  EXPECT_EQ(PreTabPart(u"a\tb\tc"), u"a");
  EXPECT_EQ(AfterTabPart(u"a\tb\tc"), u"b\tc");
  EXPECT_EQ(PreTabPart(u"abc"), u"");
  EXPECT_EQ(AfterTabPart(u"abc"), u"");
  EXPECT_EQ(PreTabFilenameOf(u"/data/texts/a.txt\t12"), u"a.txt");
  EXPECT_EQ(PreTabFilenameOf(u"C:\\data\\b.txt\t12"), u"b.txt");
  EXPECT_EQ(AfterTabIntegerOf(u"x\t1,234 words"), 1234);
  EXPECT_EQ(AfterTabIntegerOf(u"x\tnone"), -1);
  EXPECT_EQ(AfterTabIntegerOf(u"x"), -1);

  const platform::TDateTime d = AfterTabDateOf(u"f\t3/14/2021 2:30 PM");
  int32_t y, m, day, h, min, s, ms;
  platform::DecodeDate(d, y, m, day);
  platform::DecodeTime(d, h, min, s, ms);
  EXPECT_EQ(y * 10000 + m * 100 + day, 20210314);
  EXPECT_EQ(h * 100 + min, 1430);
  const platform::TDateTime before = platform::Now();
  EXPECT_GE(AfterTabDateOf(u"f\tnot a date"), before - 1.0 / 86400);

  TStringList list;
  Fill(list, {u"a.txt\t1", u"b.txt\t2", u"b.txt"});
  EXPECT_EQ(IndexOfPreTabFnameOnly(list, u"b.txt"), 1);
  EXPECT_EQ(IndexOfPreTabFnameOnly(list, u"c.txt"), -1);

  EXPECT_EQ(FromColumnedWidestringToVerticalTabbed(u"a;b;c", u';'), u"a\vb\vc");
  EXPECT_EQ(Lines(*FromColumnedWidestringListToVerticalTabbed(u"a;b\r\nc", u';')),
            (std::vector<std::u16string>{u"a\vb", u"c"}));
}

TEST_F(ListsTest, ColumnSorts) {
  TStringList list;
  Fill(list, {u"/x/b.txt\t10", u"/y/A.txt\t2", u"/z/c.txt\t33"});
  SetSortDescendingAndSort(false, list, StringListCompareStringsFilenamePreTab);
  EXPECT_EQ(list[0], u"/y/A.txt\t2");
  SetSortDescendingAndSort(true, list, StringListCompareStringsFilenamePreTab);
  EXPECT_EQ(list[0], u"/z/c.txt\t33");
  SetSortDescendingAndSort(false, list, StringListCompareStringsIntegerAfterTab);
  EXPECT_EQ(Lines(list), (std::vector<std::u16string>{u"/y/A.txt\t2", u"/x/b.txt\t10", u"/z/c.txt\t33"}));
  SetSortDescendingAndSort(true, list, StringListCompareStringsIntegerAfterTab);
  EXPECT_EQ(list[0], u"/z/c.txt\t33");
  Fill(list, {u"a\t1/2/2020", u"b\t1/1/2019", u"c\t5/5/2021"});
  SetSortDescendingAndSort(false, list, StringListCompareStringsDateAfterTab);
  EXPECT_EQ(Lines(list), (std::vector<std::u16string>{u"b\t1/1/2019", u"a\t1/2/2020", u"c\t5/5/2021"}));
  SetSortDescendingAndSort(true, list, StringListCompareStringsDateAfterTab);
  EXPECT_EQ(list[0], u"c\t5/5/2021");
}

TEST_F(ListsTest, SplittingAndJoining) {
  EXPECT_EQ(Lines(*StringListFromString(u',', u"a,\nb,")), (std::vector<std::u16string>{u"a", u"b", u""}));
  EXPECT_EQ(Lines(*StringListFromString(u"a\r\nb")), (std::vector<std::u16string>{u"a", u"b"}));

  TStringList list;
  EXPECT_EQ(StringToStringListAllowDoubleQuotes(u',', u"a,\"b,c\"", list), 3);
  EXPECT_EQ(StringToStringListAllowDoubleQuotes(u',', u"", list), 0);

  struct Case {
    const char16_t* s;
    int32_t result;
    std::vector<std::u16string> items;
  };
  const Case cases[] = {
      {u"a,\"b\",c", 3, {u"a", u"b", u"c"}},
      {u"", 0, {}},
      {u"a,b", 2, {u"a", u"b"}},
      {u"\"\",x", 2, {u"", u"x"}},
      {u"\"a,b\"", 2, {u"a", u"b"}},
      {u"a,\"b", -2, {u"a", u"b"}},
      {u"a,", 2, {u"a", u""}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(StringToStringList(u',', c.s, list), c.result) << std::u16string(c.s).size();
    EXPECT_EQ(Lines(list), c.items);
  }

  Fill(list, {u"one", u"", u"two", u"three", u"four"});
  EXPECT_EQ(StringListToString(u'/', list), u"one/two/three/four");
  EXPECT_EQ(StringListToString(u'/', list, 2, 0), u"two etc.");
  EXPECT_EQ(StringListToString(u'/', list, 0, 7), u"one/two etc.");
  EXPECT_EQ(StringListToString(u'/', list, 3, 5), u"three etc.");
  EXPECT_EQ(StringListToString(u'/', list, 4, 1), u"four");

  EXPECT_EQ(Lines(*CommaSeparatedStrings(u"a, b,c")), (std::vector<std::u16string>{u"a", u"b", u"c"}));
  EXPECT_EQ(Lines(*CommaSeparatedStrings(u" a , ,c ")), (std::vector<std::u16string>{u"a", u"", u"c"}));
  EXPECT_EQ(Lines(*CommaSeparatedStrings(u"a, b, c")), (std::vector<std::u16string>{u"a", u"b", u"c"}));
  EXPECT_EQ(Lines(*CommaSeparatedStrings(u"x,\ty\t")), (std::vector<std::u16string>{u"x", u"y"}));
  EXPECT_EQ(CommaSeparatedStrings(u"a,")->Count(), 1);
  EXPECT_EQ(CommaSeparatedStrings(u"a, ")->Count(), 1);

  Fill(list, {u"a,b", u"", u"c"});
  TArrayOfStringLists lists;
  ArrayOfStringlists(list, u',', lists);
  ASSERT_EQ(lists.size(), 2u);
  EXPECT_EQ(Lines(*lists[0]), (std::vector<std::u16string>{u"a", u"b"}));
}

TEST_F(ListsTest, ObjectsAndSmallUtilities) {
  const auto colours = StringlistFromStringWithHexColourWords(u"plain <#FF>red word <#10>x");
  ASSERT_EQ(colours->Count(), 3);
  EXPECT_EQ(Lines(*colours), (std::vector<std::u16string>{u"plain ", u"red ", u"word "}));
  EXPECT_EQ(IntFromObject(colours->GetObject(1)), 0xFF);
  EXPECT_EQ(IntFromObject(colours->GetObject(2)), 0);

  TStringList list;
  Fill(list, {u"a", u"b"});
  list.PutObject(0, ObjectFromInt(std::bit_cast<uint32_t>(1234.5f)));
  list.PutObject(1, ObjectFromInt(std::bit_cast<uint32_t>(2.0f)));
  FormatStringListWithPOintersAsSingles(list, u"=");
  EXPECT_EQ(Lines(list), (std::vector<std::u16string>{u"a=1,235", u"b=2"}));

  Fill(list, {u"x", u"y"});
  list.PutObject(0, ObjectFromInt(5));
  list.PutObject(1, ObjectFromInt(-7));
  EXPECT_EQ(StringListAsStringWithPointersFormattedAs(list, u"(%d)"), u"x(5)y(-7)");

  Fill(list, {u"1", u"3", u"8"});
  ForceItemsToInclude(list, 5);
  ForceItemsToInclude(list, 3);
  ForceItemsToInclude(list, 0);
  ForceItemsToInclude(list, 9);
  EXPECT_EQ(Lines(list), (std::vector<std::u16string>{u"0", u"1", u"3", u"5", u"8", u"9"}));

  for (int i = 0; i < 100; ++i) list.Add(platform::IntToStr(100 + i));
  EXPECT_EQ(RandomReduceStringlist(list, 10), 10);
  EXPECT_EQ(RandomReduceStringlist(list, 50), 10);
  EXPECT_EQ(RandomReduceStringlist(list, -3), 0);
  // The lines kept stay in their order.
  for (int i = 0; i < 50000; ++i) list.Add(platform::IntToStr(100000 + i));
  EXPECT_EQ(RandomReduceStringlist(list, 100), 100);
  for (int32_t i = 1; i < list.Count(); ++i) EXPECT_LT(list[i - 1], list[i]);

  Fill(list, {u"a", u"b", u"c"});
  ReverseAStringList(list);
  EXPECT_EQ(Lines(list), (std::vector<std::u16string>{u"c", u"b", u"a"}));
  EXPECT_EQ(IntFromObject(list.GetObject(0)), -2);
  EXPECT_EQ(IntFromObject(list.GetObject(2)), 0);

  Fill(list, {u"keep", u"drop1", u"keep2", u"drop2"});
  StringListRemoveLinesMeetingCondition(list, [](const std::u16string& s) { return s.starts_with(u"drop"); });
  EXPECT_EQ(Lines(list), (std::vector<std::u16string>{u"keep", u"keep2"}));
  for (int i = 0; i < 30000; ++i) list.Add(platform::IntToStr(i));
  StringListRemoveLinesMeetingCondition(list, [](const std::u16string& s) { return s.back() != u'7'; });
  ASSERT_EQ(list.Count(), 3000);
  EXPECT_EQ(list[0], u"7");
  EXPECT_EQ(list[2999], u"29997");

  Fill(list, {u"a", u"bad", u"c"});
  std::u16string replacement = u"C";
  const auto converted = StringListRemovingAnyLines(
      list,
      [](const std::u16string& line, TConvertedStringAnd2BooleansRec& verdict, void* user) {
        verdict.chuck = line == u"bad";
        verdict.convert_it = line == u"c";
        verdict.converted = *static_cast<std::u16string*>(user);
      },
      &replacement);
  EXPECT_EQ(Lines(*converted), (std::vector<std::u16string>{u"a", u"C"}));

  Fill(list, {u"  a  ", u"", u" ", u"b", u"", u"", u"c", u"  "});
  bool carryOn = true;
  std::vector<int32_t> reports;
  TrimAStringlist(list, true, [&](int32_t p) { reports.push_back(p); }, carryOn);
  EXPECT_EQ(Lines(list), (std::vector<std::u16string>{u"a ", u" ", u"b", u"", u"c", u"  "}));
  // Positions and counts as the list stands after each change: 0 of 8, 1 of
  // 7, 3 of 6.
  EXPECT_EQ(reports, (std::vector<int32_t>{0, 14, 50}));
  Fill(list, {u"a", u"", u" ", u"b", u""});
  TrimAStringlist(list, false, nullptr, carryOn);
  EXPECT_EQ(Lines(list), (std::vector<std::u16string>{u"a", u"b", u""}));
  // Stopped from the progress report: what was decided until then is done.
  Fill(list, {u"", u"", u"x ", u""});
  TrimAStringlist(list, false, [&](int32_t) { carryOn = false; }, carryOn);
  EXPECT_EQ(Lines(list), (std::vector<std::u16string>{u"", u"x ", u""}));
  carryOn = true;
  // Many blank lines in a row, and every other line blank.
  std::vector<std::u16string> lines(20000, u" ");
  lines.push_back(u"end");
  for (int i = 0; i < 20000; ++i) lines.push_back(i % 2 == 0 ? u"w" : u"");
  list.Clear();
  for (const std::u16string& line : lines) list.Add(line);
  TrimAStringlist(list, false, nullptr, carryOn);
  ASSERT_EQ(list.Count(), 1 + 10000 + 1);  // the last line is never looked at
  EXPECT_EQ(list[0], u"end");
  EXPECT_EQ(list[10000], u"w");
  EXPECT_EQ(list[10001], u"");

  Fill(list, {u"C:\\data\\texts\\", u"D:\\x", u"/home/u/corpus/"});
  EXPECT_EQ(FolderNamesAsText(list, 5), u"texts+x+corpus");
  EXPECT_EQ(FolderNamesAsText(list, 0), u"texts");
}

TEST_F(ListsTest, NotifyingList) {
  std::vector<int32_t> counts;
  TNotifyStringlist list([&counts](int32_t n) { counts.push_back(n); });
  std::u16string text;
  for (int i = 0; i < 600; ++i) text += (i % 2 == 0) ? u"line\r\n" : u"other\n";
  list.SetText(text);
  EXPECT_EQ(list.Count(), 600);
  EXPECT_EQ(counts, (std::vector<int32_t>{255, 511, 600}));
  list.SetLineBreak(u"|");
  counts.clear();
  list.SetText(u"a|b\r\nc|");
  EXPECT_EQ(Lines(list), (std::vector<std::u16string>{u"a", u"b\r\nc"}));
  EXPECT_EQ(counts, (std::vector<int32_t>{2}));
}

TEST_F(ListsTest, CustomSortOrder) {
  const auto prepared = CustomSortPreparedStringlist(u"a,b,c,ch,d,,h");
  ASSERT_EQ(prepared->Count(), 6);
  EXPECT_EQ((*prepared)[0], u"ch");
  EXPECT_EQ(IntFromObject(prepared->GetObject(0)), 3);
  EXPECT_EQ(NormalisedLineForCustomSort(u"chad", *prepared), u"CC@D");
  // "h" inside "ch" is not claimed again; the lone h is.
  EXPECT_EQ(NormalisedLineForCustomSort(u"hch", *prepared), u"ECC");
  EXPECT_EQ(NormalisedLineForCustomSort(u"x", *prepared), u"x");
  // An alphabet typed with blanks after its commas means the same.
  const auto typed = CustomSortPreparedStringlist(u"a, b, c, ch, d, , h");
  EXPECT_EQ(NormalisedLineForCustomSort(u"hch", *typed), u"ECC");

  TStringList lines;
  Fill(lines, {u"da", u"ch", u"ca", u"d"});
  const auto sorted = CustomLinesSorted(lines, *prepared);
  EXPECT_EQ(Lines(*sorted), (std::vector<std::u16string>{u"ca", u"ch", u"d", u"da"}));
  EXPECT_EQ(IntFromObject(sorted->GetObject(1)), 1);
}

TEST_F(ListsTest, FileNames) {
  EXPECT_EQ(AcceptableFilename(u"a<b>.txt"), u"a(b)_txt");
  EXPECT_EQ(AcceptableFilename(u"\"'*/:?\\|"), u"________");
  EXPECT_EQ(FilenameWithInsertion(u"/d/a.txt", u"_2", true), u"/d/a_2.txt");
  EXPECT_EQ(FilenameWithInsertion(u"/d.x/a", u"_2", true), u"/d.x/a_2");
  EXPECT_EQ(FilenameWithInsertion(u"/d/a.txt", u"_2", false), u"/d/a.txt_2");
  EXPECT_EQ(BothSlashesExtractFilename(u"a/b\\c.txt"), u"c.txt");
  EXPECT_EQ(BothSlashesExtractFilename(u"c.txt"), u"c.txt");
}

TEST_F(ListsTest, Files) {
  const std::u16string existing = PathOf("a.txt");
  { std::ofstream(fDir / "a.txt") << "first\r\n"; }
  TFilenamesStringlist names;
  names.Add(u"nothing\t" + existing + u"\t3");
  names.Add(u"missing.txt\t4");
  EXPECT_EQ(names.FilenameInLine(names[0]), existing);
  EXPECT_FALSE(TFilenamesStringlist::IsAnExistingFilename(u""));
  EXPECT_FALSE(TFilenamesStringlist::IsAnExistingFilename(PathOf("")));  // a folder
  names.ReduceToExistingFilenames();
  EXPECT_EQ(Lines(names), (std::vector<std::u16string>{existing}));

  TStringList lines;
  Fill(lines, {u"caf\u00E9", u"two"});
  AnsiAppendToTextFile(existing, lines);
  EXPECT_EQ(GetTextFromFile(existing), u"first\r\ncaf\u00E9\r\ntwo\r\n");
  EXPECT_EQ(GetTextFromFile(PathOf("none.txt")), u"");
  EXPECT_THROW(AnsiAppendToTextFile(PathOf("none.txt"), lines), EFOpenError);

  const std::u16string wide = PathOf("w.txt");
  UnicodeAppendToTextFile(wide, lines);
  UnicodeAppendToTextFile(wide, lines);
  EXPECT_EQ(GetTextFromFile(wide), u"caf\u00E9\r\ntwo\r\ncaf\u00E9\r\ntwo\r\n");
}

}  // namespace
}  // namespace qn
