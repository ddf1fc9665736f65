#include "runtime1/text/Myunicodenew.h"

#include <gtest/gtest.h>

#include <string>

namespace qn {
namespace {

TEST(Myunicodenew, BuffersCopyAndTerminate) {
  EXPECT_EQ(MyNewPChar(nullptr), nullptr);
  EXPECT_EQ(MyNewPAnsichar(nullptr), nullptr);

  char16_t* w = MyNewPChar(u"h\u00E9llo");
  EXPECT_EQ(std::u16string(w), u"h\u00E9llo");
  DeletePWideChar(w);
  char* a = MyNewPAnsichar("abc");
  EXPECT_STREQ(a, "abc");
  DeletePAnsichar(a);

  const char16_t source[] = {u'a', u'\0', u'b', u'c'};
  char16_t* part = CheckedNewLenPchar(source, 3);  // zeros inside are copied too
  EXPECT_EQ(std::u16string(part, 4), std::u16string(u"a\0b\0", 4));
  DeletePWideChar(part);
  for (char16_t* empty : {CheckedNewLenPchar(nullptr, 5), CheckedNewLenPchar(source, 0),
                          CheckedNewLenPchar(source, -2)}) {
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty[0], u'\0');
    DeletePWideChar(empty);
  }
  char* bytes = CheckedNewLenPAnsichar("abcdef", 2);
  EXPECT_STREQ(bytes, "ab");
  DeletePAnsichar(bytes);
  char* none = CheckedNewLenPAnsichar(nullptr, 2);
  EXPECT_STREQ(none, "");
  DeletePAnsichar(none);
  DeletePWideChar(nullptr);
  DeletePAnsichar(nullptr);
}

// Records point their empty fields at the shared empty text and release every
// field alike: releasing nowt must leave it alone (a delete of it would be
// caught by the address sanitizer) and it must still read as empty.
TEST(Myunicodenew, SharedEmptyTextSurvivesRelease) {
  char16_t* field = NowtPointer();
  DeletePWideChar(field);
  DeletePAnsichar(const_cast<char*>(nowtAnsi));
  EXPECT_EQ(nowt[0], u'\0');
  EXPECT_EQ(nowtAnsi[0], '\0');
  EXPECT_EQ(NowtPointer(), nowt);
}

TEST(Myunicodenew, FillWChar) {
  char16_t buffer[5] = {u'a', u'a', u'a', u'a', u'a'};
  FillWChar(buffer, 7, u'x');  // 7 bytes: three whole units
  EXPECT_EQ(std::u16string(buffer, 5), u"xxxaa");
  FillWChar(buffer, 1, u'y');
  EXPECT_EQ(buffer[0], u'x');
}

TEST(Myunicodenew, StrScanIndexAndTabs) {
  struct Case {
    const char16_t* s;
    char16_t unit;
    int32_t start;
    int32_t expected;
  };
  const Case cases[] = {
      {u"abcabc", u'b', 1, 2}, {u"abcabc", u'b', 2, 2}, {u"abcabc", u'b', 3, 5},
      {u"abcabc", u'b', 6, 0}, {u"abcabc", u'b', 9, 0}, {u"abcabc", u'a', 0, 1},
      {u"", u'a', 1, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(StrScanIndex(c.s, c.unit, c.start), c.expected) << c.start;

  EXPECT_EQ(ExpandTabbedWideString(u"a\tb\t", 3), u"a   b   ");
  EXPECT_EQ(ExpandTabbedWideString(u"a\tb", 0), u"ab");
  EXPECT_EQ(ExpandTabbedWideString(u"none", 4), u"none");
}

TEST(Myunicodenew, SearchWordField) {
  const std::u16string hundred(100, u'w');
  const Search_word_type32 word = StringToSearch_word_type32(hundred);
  EXPECT_EQ(Search_word_type32ToString(&word), std::u16string(80, u'w'));
  EXPECT_EQ(word[80], u'\0');

  const Search_word_type32 small = StringToSearch_word_type32(u"cat*");
  EXPECT_EQ(Search_word_type32ToString(&small), u"cat*");
  for (size_t i = 4; i < small.size(); ++i) EXPECT_EQ(small[i], u'\0');

  // A pair that would straddle the limit is left out whole.
  const std::u16string pair = std::u16string(79, u'x') + u"\U0001F600";
  const Search_word_type32 cut = StringToSearch_word_type32(pair);
  EXPECT_EQ(Search_word_type32ToString(&cut), std::u16string(79, u'x'));

  Search_word_type32 full;
  full.fill(u'z');  // no zero anywhere: read no further than the field
  EXPECT_EQ(Search_word_type32ToString(&full), std::u16string(81, u'z'));
  EXPECT_EQ(Search_word_type32ToString(nullptr), u"");
}

TEST(Myunicodenew, HashAndBrace) {
  EXPECT_TRUE(IsHashSymbol(u'\u001B'));
  EXPECT_FALSE(IsHashSymbol(u'#'));
  EXPECT_TRUE(IsHashOrBrace(u'#'));
  EXPECT_TRUE(IsHashOrBrace(u'{'));
  EXPECT_FALSE(IsHashOrBrace(u'}'));
}

TEST(Myunicodenew, MyFormatValidNumberStr) {
  struct Case {
    const char16_t* in;
    const char16_t* out;
    int32_t result;
  };
  const Case cases[] = {
      {u"{chr(65)}#66c", u"ABc", 66},
      {u"{CHR(x)}", u"{CHR(x)}", -1},
      {u"{CHR($41)}", u"A", 65},
      {u"{Chr(+97)}{CHR(98)}", u"ab", 98},
      {u"{CHR(-1)}", u"{CHR(-1)}", -1},          // no such code unit
      {u"{CHR(65536)}", u"{CHR(65536)}", -1},
      {u"{CHR()}", u"{CHR()}", -1},
      {u"{CHR(65", u"{CHR(65", -1},              // no closing
      {u"{CHR(x{CHR(67)}", u"{CHR(xC", 67},      // a notation inside a rejected one
      {u"{CHR(123)}CHR(65)}", u"{CHR(65)}", 123},  // a produced '{' starts nothing
      {u"#", u"#", -1},
      {u"#x #65", u"#x A", 65},
      {u"#35#35", u"##", 35},                    // produced '#' is not read again
      {u"##65", u"#A", 65},
      {u"#99999999999", u"#99999999999", -1},
      {u"#0065b", u"Ab", 65},
      {u"", u"", -1},
  };
  for (const Case& c : cases) {
    std::u16string s = c.in;
    EXPECT_EQ(MyFormatValidNumberStr(s), c.result) << std::string(s.begin(), s.end());
    EXPECT_EQ(s, c.out) << std::string(s.begin(), s.end());
  }
}

TEST(Myunicodenew, MyFormatValidNumberStrSecondPassSeesFirstPassOutput) {
  // "{CHR(35)}" produces "#", and the "#" pass then reads "#66".
  std::u16string s = u"{CHR(35)}66";
  EXPECT_EQ(MyFormatValidNumberStr(s), 66);
  EXPECT_EQ(s, u"B");
}

TEST(Myunicodenew, FixedPitchMeasurement) {
  int dc = 0;
  TSize size;
  EXPECT_TRUE(GetTextExtentW(&dc, u"abc", 3, size));
  EXPECT_EQ(size.cx, 3 * kFixedPitchCellWidth);
  EXPECT_EQ(size.cy, kFixedPitchCellHeight);
  // Wide ideographs take two cells, a combining accent none, a pair one character.
  EXPECT_TRUE(GetTextExtentW(&dc, u"\u4E00e\u0301\U0001F600", 5, size));
  EXPECT_EQ(size.cx, (2 + 1 + 0 + 2) * kFixedPitchCellWidth);
  EXPECT_FALSE(GetTextExtentW(&dc, u"abc", 0, size));
  EXPECT_EQ(size.cx, 0);
  EXPECT_FALSE(GetTextExtentW(nullptr, u"abc", 3, size));
  EXPECT_EQ(size.cy, 0);

  int32_t fit = -1;
  int32_t dx[4] = {};
  TSize total;
  ASSERT_TRUE(MyGetTextExtentExPointW(&dc, u"ab\u4E00c", 4, 3 * kFixedPitchCellWidth, &fit, dx, &total));
  EXPECT_EQ(fit, 2);
  EXPECT_EQ(dx[0], kFixedPitchCellWidth);
  EXPECT_EQ(dx[1], 2 * kFixedPitchCellWidth);
  EXPECT_EQ(total.cx, 5 * kFixedPitchCellWidth);
}

TEST(Myunicodenew, MeasurementIsReplaceable) {
  const TGetTextExtentExPointWFunc saved = MyGetTextExtentExPointW;
  MyGetTextExtentExPointW = [](TDeviceContext, const char16_t*, int32_t count, int32_t, int32_t*,
                               int32_t*, TSize* size) {
    size->cx = count * 100;
    size->cy = 7;
    return true;
  };
  TSize size;
  EXPECT_TRUE(GetTextExtentW(nullptr, u"ab", 2, size));
  EXPECT_EQ(size.cx, 200);
  EXPECT_EQ(size.cy, 7);
  MyGetTextExtentExPointW = [](TDeviceContext, const char16_t*, int32_t, int32_t, int32_t*,
                               int32_t*, TSize*) { return false; };
  EXPECT_FALSE(GetTextExtentW(nullptr, u"ab", 2, size));
  EXPECT_EQ(size.cx, 0);
  MyGetTextExtentExPointW = saved;
}

}  // namespace
}  // namespace qn
