#include "runtime1/text/My_string_functions_numbers.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "platform/Exceptions.h"
#include "runtime1/files/Wingenok.h"
#include "runtime1/text/Myunicodenew.h"

namespace qn {
namespace {

// Figures are checked with English separators whatever the machine's locale.
class NumbersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = UserDefaultFormatSettings;
    UserDefaultFormatSettings = platform::TFormatSettings::ForLocale(0x0409);
  }
  void TearDown() override { UserDefaultFormatSettings = saved_; }
  platform::TFormatSettings saved_;
};

std::string Narrow(const std::u16string& s) { return std::string(s.begin(), s.end()); }

TEST_F(NumbersTest, NumbersForPeople) {
  EXPECT_EQ(EasiestNRepresentationOfLargeNumber(1500.f), u"1.5K");
  EXPECT_EQ(EasiestNRepresentationOfLargeNumber(999.f), u"999");
  EXPECT_EQ(EasiestNRepresentationOfLargeNumber(2500000.f), u"2.5M");
  EXPECT_EQ(EasiestNRepresentationOfLargeNumber(3e9f), u"3.0G");
  EXPECT_EQ(EasiestNRepresentationOfLargeNumber(5e15f), u"5.0Yikes");
  EXPECT_FALSE(EasiestNRepresentationOfLargeNumber(std::numeric_limits<float>::infinity()).empty());

  EXPECT_EQ(FormattedWithDecimals(1234.5, 2, true, false), u"1,234.50");
  EXPECT_EQ(FormattedWithDecimals(1234.5, 1, false, true), u"1234.5%");
  EXPECT_EQ(FormattedWithDecimals(0.5, 0, false, false), u"1");

  EXPECT_EQ(PValueStr(0.0500000001L), u"0.05");
  EXPECT_EQ(PValueStr(0.05L), u"0.05");
  EXPECT_EQ(PValueStr(0.001L), u"0.001");
  EXPECT_EQ(PValueStr(0.0010000001L), u"0.001");
  EXPECT_EQ(PValueStr(1e-10L), u"0.0000000001");
  EXPECT_EQ(PValueStr(0.25L), u"0.25");
  EXPECT_EQ(PValueStr(0.0123456789012345678L), u"0.0123456789012346");

  EXPECT_EQ(OrdinalFormatOf(1), u"%dst");
  EXPECT_EQ(OrdinalFormatOf(11), u"%dst");
  EXPECT_EQ(OrdinalFormatOf(22), u"%dnd");
  EXPECT_EQ(OrdinalFormatOf(3), u"%drd");
  EXPECT_EQ(OrdinalFormatOf(10), u"%dth");

  EXPECT_EQ(ValueToByteStr(1048576), u"1048576bytes");
  EXPECT_EQ(ValueToByteStr(1048577), u"1024Kb");
  EXPECT_EQ(ValueToByteStr(8388609), u"8Mb");
  EXPECT_EQ(ValueToByteStr(8589934592LL), u"8192Mb");
  EXPECT_EQ(ValueToByteStr(8589934593LL), u"8Gb");

  EXPECT_EQ(WithLeftZeros(4, 7), u"0007");
  EXPECT_EQ(WithLeftZeros(1, 123), u"123");
  EXPECT_EQ(WithLeftZeros(2000000000, 1).size(), 4096u);
  EXPECT_EQ(YesorNo(true), u"Yes");
  EXPECT_EQ(YesorNo(false), u"No");
}

TEST_F(NumbersTest, DigitTests) {
  struct Case {
    const char16_t* s;
    bool isNumber;
    const char16_t* digitsOnly;
  };
  const Case cases[] = {
      {u"", true, u""},
      {u"-12", true, u"-12"},
      {u"1,000.5%", true, u"10005"},
      {u"\u0663\u0664", true, u""},  // Arabic-Indic digits
      {u"12a", false, u"12"},
      {u"a", false, u""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsANumber(c.s), c.isNumber) << Narrow(c.s);
    EXPECT_EQ(DigitsOnlyOf(c.s), c.digitsOnly) << Narrow(c.s);
  }
  EXPECT_TRUE(ContainsAPercent(u"5%"));
  EXPECT_FALSE(ContainsAPercent(u"5"));

  EXPECT_EQ(IntegerInsideSquareBrackets(u"text [42] more"), 42);
  EXPECT_EQ(IntegerInsideSquareBrackets(u"no bracket"), 0);
  EXPECT_EQ(IntegerInsideSquareBrackets(u"[7"), 7);
  EXPECT_THROW(IntegerInsideSquareBrackets(u"[x]"), EConvertError);
  EXPECT_THROW(IntegerInsideSquareBrackets(u"[99999999999]"), EConvertError);

  EXPECT_EQ(PositionOfNumberInString(u"ab3d5", 1), 3);
  EXPECT_EQ(PositionOfNumberInString(u"ab3d5", 4), 5);
  EXPECT_EQ(PositionOfNumberInString(u"ab3d5", -9), 3);
  EXPECT_EQ(PositionOfNumberInString(u"abc", 1), -1);

  EXPECT_EQ(NearerOfTwo(5, 3), 3);
  EXPECT_EQ(NearerOfTwo(0, 3), 3);
  EXPECT_EQ(NearerOfTwo(4, 0), 4);
  EXPECT_EQ(NearerOfTwo(0, 0), 0);
  EXPECT_EQ(PosExNearer(u"abcabc", u"c", u"b", 1), 2);
  EXPECT_EQ(PosExNearer(u"abcabc", u"c", u"b", 4), 5);
  EXPECT_EQ(PosExNearer(u"abcabc", u"x", u"", 1), 0);
  EXPECT_EQ(PosExNearer(u"abc", u"a", u"b", 9), 0);

  const char* a = "one two three";
  EXPECT_EQ(StrPosNearerA(a, "three", "two"), a + 4);
  EXPECT_EQ(StrPosNearerA(a, "four", "ee"), a + 11);
  EXPECT_EQ(StrPosNearerA(a, "four", "five"), nullptr);
  EXPECT_EQ(StrPosNearerA(nullptr, "a", "b"), nullptr);
  EXPECT_EQ(StrPosNearerA("ab", "abc", ""), nullptr);  // needle longer than the text
  const char16_t* w = u"xyzzy";
  EXPECT_EQ(StrPosNearerW(w, u"zy", u"y"), w + 1);

  const uint8_t bytes[] = {1, 0, 0, 0, 2, 0, 0, 0, 9};
  EXPECT_EQ(CheckSumOfABufferful(bytes, 9), 3u);
}

TEST_F(NumbersTest, AbbreviatedLists) {
  struct Case {
    TArrayOfIntegers values;
    const char16_t* expected;
  };
  const Case cases[] = {
      {{1, 2, 3, 5}, u"1-3,5"},   {{1, 2, 5}, u"1,2,5"},   {{1, 3, 4}, u"1,3,4"},
      {{5, 4}, u"5,4"},           {{1, 2}, u"1,2"},        {{7}, u"7"},
      {{1, 2, 3, 4, 6, 7, 8}, u"1-4,6-8"},                 {{}, u""},
      {{3, 4, 5, 9, 10}, u"3-5,9,10"},
      {{2147483646, 2147483647}, u"2147483646,2147483647"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HumanAbbreviatedNumberListString(c.values, 0), c.expected) << Narrow(c.expected);
  }
  EXPECT_EQ(HumanAbbreviatedNumberListString(TArrayOfIntegers{0, 1, 2}, 1), u"1-3");

  // Lines that are not integers are skipped, also at the end of the list.
  platform::TStringList list;
  for (const char16_t* line : {u"1", u"x", u"2", u"3", u""}) list.Add(line);
  EXPECT_EQ(HumanAbbreviatedNumberListString(list), u"1-3");
}

TEST_F(NumbersTest, ExpandedLists) {
  struct Case {
    const char16_t* s;
    const char16_t* expected;
  };
  const Case cases[] = {
      {u"1-3,5", u"1,2,3,5"}, {u"3-1", u""},          {u"1-3", u"1,2,3"}, {u"-2", u"0,1,2"},
      {u"5", u"5"},           {u" 1 , 2 ", u"1,2"},   {u"1-3,2-4", u"1,2,3,2,3,4"},
      {u"a", u""},            {u"", u""},             {u"1-2000000000", u""},
      {u"99999999999", u""},  {u"1-99999999999", u""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HumanAbbreviatedNumberListStringExpanded(c.s), c.expected) << Narrow(c.s);
  }
  TArrayOfIntegers numbers = {42};
  HumanAbbreviatedNumberListStringAsIntegers(u"1-3,7", 1, numbers);
  EXPECT_EQ(numbers, (TArrayOfIntegers{0, 1, 2, 6}));
  EXPECT_FALSE(ExpandRangeList(u"1-1000001", numbers));
  EXPECT_TRUE(numbers.empty());
  EXPECT_TRUE(ExpandRangeList(u"1-1000000", numbers));
  EXPECT_EQ(numbers.size(), 1000000u);
  // Many small ranges add up to the same bound.
  std::u16string many;
  for (int i = 0; i < 2000; ++i) many += u"1-1000,";
  EXPECT_FALSE(ExpandRangeList(many, numbers));

  EXPECT_EQ(ANumberInHumanString(u"1-3,5", 2), u"2");
  EXPECT_EQ(ANumberInHumanString(u"1-3,5", 9), u"5");
  EXPECT_EQ(ANumberInHumanString(u"1-3,5", 0), u"");
  EXPECT_EQ(ANumberInHumanString(u"", 1), u"");

  EXPECT_EQ(HumanAbbreviatedNumberListStringToMonths(u"01,03-05,12"), u"Jan,Mar-May,Dec");
  EXPECT_EQ(HumanAbbreviatedNumberListStringToMonths(u"01,01"), u"Jan,01");
}

TEST_F(NumbersTest, RangeOfBoolean) {
  struct Case {
    const char16_t* s;
    bool zeroBased;
    const char* expected;
  };
  const Case cases[] = {
      {u"-2", false, "11000"},   {u"2-4", true, "00111"},  {u"9", true, "00001"},
      {u"5-", true, "00000"},    {u"4-2", true, "00000"},  {u"1, 3 ,5", false, "10101"},
      {u"$2", true, "00100"},    {u"1-2000000000", false, "11111"},
      {u"-7-3", true, "00000"},  {u"x,,", true, "00000"},  {u"0", false, "10000"},
  };
  for (const Case& c : cases) {
    std::vector<bool> flags(5, true);
    ConvertStringToRangeOfBoolean(c.s, c.zeroBased, flags);
    std::string got;
    for (const bool f : flags) got.push_back(f ? '1' : '0');
    EXPECT_EQ(got, c.expected) << Narrow(c.s);
  }
  std::vector<bool> none;
  ConvertStringToRangeOfBoolean(u"1-3", true, none);
  EXPECT_TRUE(none.empty());
}

TEST_F(NumbersTest, CharactersByNumber) {
  EXPECT_EQ(PwdToNumStr(u"AB"), u"65,66,");
  EXPECT_EQ(FromNumStr(u"65,66,"), u"AB");
  EXPECT_EQ(FromNumStr(u"65,x,66,67"), u"AB");
  EXPECT_EQ(FromNumStr(u"70000,65,"), u"A");
  EXPECT_EQ(ToHexNumStr(u"AB\u00FF"), u"41,42,FF,");
  EXPECT_EQ(FromHexNumStr(u"41,42,FF,"), u"AB\u00FF");
  EXPECT_EQ(FromHexNumStr(u"41,zz,42"), u"AB");
  const std::u16string all = u"a\u0001\u00E9";
  EXPECT_EQ(FromNumStr(PwdToNumStr(all)), all);

  EXPECT_EQ(BracedNumberStrToDigitalformat(u"x41"), u"$41");
  EXPECT_EQ(BracedNumberStrToDigitalformat(u"41h"), u"$41");
  EXPECT_EQ(BracedNumberStrToDigitalformat(u"65"), u"65");
  EXPECT_EQ(BracedNumberStrToDigitalformat(u""), u"");

  EXPECT_EQ(QNFormattedWorkStringToReadableString(u"a\tb", 32), u"a{CHR(9)}b");
  struct Case {
    const char16_t* readable;
    const char16_t* work;
  };
  const Case cases[] = {
      {u"#x41;#66", u"AB"},
      {u"#x10;", u"\u0010"},
      {u"#65", u"A"},
      {u"{CHR(x41)}", u"A"},
      {u"{chr(65)}{CHR(66)}", u"AB"},
      {u"a{CHR()}{CHR(65)}", u"a{CHR()}{CHR(65)}"},  // an empty notation ends the pass
      {u"{CHR(zz)}{CHR(65)}", u"{CHR(zz)}A"},
      {u"{CHR(9)", u"{CHR(9)"},
      {u"#z #65", u"#z #65"},                          // the first "#" is not a notation
      {u"#35;65", u"A"},                               // a "#" made by a notation begins the next
      {u"#999999", u"#999999"},
      {u"a{CHR(9)}b", u"a\tb"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(QNFormattedReadableStringToWorkString(c.readable), c.work) << Narrow(c.readable);
  }
}

// Many openings before one ")}": every notation but the last holds the next
// opening and stays; the decoding reads each part of the text a bounded number
// of times, so the readers see no more units than the text has.
TEST(ChrNotations, ManyOpeningsBeforeOneCloseAreDecidedInLinearWork) {
  constexpr int kOpenings = 20000;
  std::u16string text;
  for (int i = 0; i < kOpenings; ++i) text += (i % 2 == 0) ? u"{CHR(" : u"{chr(";
  text += u"x41)}";
  std::u16string want = text.substr(0, text.size() - 10);
  want += u'A';
  EXPECT_EQ(QNFormattedReadableStringToWorkString(text), want);

  static size_t unitsRead;
  static int calls;
  unitsRead = 0;
  calls = 0;
  const TChrNotationReader counting = [](std::u16string_view content, char16_t& unit) {
    unitsRead += content.size();
    ++calls;
    unit = u'A';
    return content == u"x41";
  };
  EXPECT_EQ(DecodedChrNotations(text, counting, true), want);
  EXPECT_EQ(calls, 1);
  EXPECT_LE(unitsRead, text.size());

  // The same shape for the in-place decoder, with a decimal content.
  std::u16string inPlace = text.substr(0, text.size() - 5) + u"66)}tail";
  int32_t last = MyFormatValidNumberStr(inPlace);
  EXPECT_EQ(last, 66);
  EXPECT_EQ(inPlace, text.substr(0, text.size() - 10) + u"Btail");
}

// The two readers of notations share one pass and differ only where they
// should: the contents they accept and what an empty content does.
TEST(ChrNotations, TheTwoDecodersKeepTheirOwnRules) {
  // "x41" and "41h" are numbers only to the readable-string decoder.
  EXPECT_EQ(QNFormattedReadableStringToWorkString(u"{CHR(x41)}{chr(42h)}"), u"AB");
  std::u16string s = u"{CHR(x41)}{chr($42)}";
  EXPECT_EQ(MyFormatValidNumberStr(s), 0x42);
  EXPECT_EQ(s, u"{CHR(x41)}B");
  // An empty content ends the readable-string pass; the other goes on.
  EXPECT_EQ(QNFormattedReadableStringToWorkString(u"{CHR()}{CHR(65)}"), u"{CHR()}{CHR(65)}");
  s = u"{CHR()}{CHR(65)}";
  EXPECT_EQ(MyFormatValidNumberStr(s), 65);
  EXPECT_EQ(s, u"{CHR()}A");
  // A rejected notation may hold the start of one that is accepted, and a
  // produced unit is never read again.
  EXPECT_EQ(QNFormattedReadableStringToWorkString(u"{CHR({CHR(123)}CHR(65)})"), u"{CHR({CHR(65)})");
  s = u"{CHR(x{chr(65)}";
  EXPECT_EQ(MyFormatValidNumberStr(s), 65);
  EXPECT_EQ(s, u"{CHR(xA");
}

}  // namespace
}  // namespace qn
