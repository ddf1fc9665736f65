#include "runtime1/text/My_string_functions.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/CharTypes.h"
#include "platform/CodePages.h"

namespace qn {
namespace {

constexpr uint32_t kEnglishUS = 0x0409;
constexpr uint32_t kJapanese = 0x0411;
constexpr uint32_t kRussian = 0x0419;
constexpr uint32_t kGreek = 0x0408;

// Nihon-go in Shift-JIS: 93 FA, 96 7B, 8C EA.
const std::u16string kNihongo = u"\u65E5\u672C\u8A9E";
const std::string kNihongoSjis = "\x93\xFA\x96\x7B\x8C\xEA";

TEST(MyStringFunctions, ConvertedFromWideString) {
  struct Case {
    uint32_t codePage;
    std::u16string text;
    std::string expected;
  };
  const Case cases[] = {
      {1252, u"caf\u00E9 \u20AC", "caf\xE9 \x80"},
      {1251, u"\u0416\u0436", "\xC6\xE6"},
      {932, kNihongo, kNihongoSjis},  // the bytes need twice the units: all arrive whole
      {936, u"\u4E2D\u6587", "\xD6\xD0\xCE\xC4"},
      {65001, u"\u00E9\U0001F600", "\xC3\xA9\xF0\x9F\x98\x80"},
      {1252, u"\u4E2D", "?"},  // not in the code page
      {1252, u"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ConvertedFromWideString(TCodePage(c.codePage), c.text), c.expected) << c.codePage;
    EXPECT_EQ(ConvertedFromWideString(TCodePage(c.codePage), c.text.c_str()), c.expected);
  }
  EXPECT_EQ(ConvertedFromWideString(kJapanese, kNihongo.c_str()), kNihongoSjis);
  EXPECT_EQ(ConvertedFromWideString(kRussian, std::u16string_view(u"\u0416")), "\xC6");
  EXPECT_EQ(ConvertedFromWideString(u"na\u00EFve"), "na\xEFve");  // the active code page, 1252
  EXPECT_EQ(ConvertedFromWideString(static_cast<const char16_t*>(nullptr)), "");
  EXPECT_EQ(ConvertedFromWideString(kEnglishUS, static_cast<const char16_t*>(nullptr)), "");
}

TEST(MyStringFunctions, ConvertedToWideString) {
  EXPECT_EQ(ConvertedToWideString(1252, "\x80\xE9x", 2), u"\u20AC\u00E9");
  EXPECT_EQ(ConvertedToWideString(932, kNihongoSjis.data(), 6), kNihongo);
  EXPECT_EQ(ConvertedToWideString(932, kNihongoSjis.data(), 5), u"\u65E5\u672C\uFFFD");
  EXPECT_EQ(ConvertedToWideString(1252, "abc", -1), u"");
  EXPECT_EQ(ConvertedToWideString(1252, nullptr, 3), u"");
  EXPECT_EQ(ConvertedToWideString(kJapanese, kNihongoSjis.c_str()), kNihongo);
  EXPECT_EQ(ConvertedToWideString(kGreek, std::string("\xE1")), u"\u03B1");
  EXPECT_EQ(ConvertedToWideString("\xE9t\xE9"), u"\u00E9t\u00E9");
  EXPECT_EQ(ConvertedToWideString(static_cast<const char*>(nullptr)), u"");
  // Round trips through a double-byte code page.
  const std::u16string mixed = u"abc " + kNihongo + u" \uFF76\uFF85";  // half-width katakana: 1 byte
  EXPECT_EQ(ConvertedToWideString(kJapanese, ConvertedFromWideString(kJapanese, mixed)), mixed);
}

TEST(MyStringFunctions, CopiesOfWideStrings) {
  const std::u16string long300(300, u'q');
  const char16_t* w = GetCopyOfWideSTringEncodedASUnicode(long300, kEnglishUS);
  EXPECT_EQ(w, copyW);
  EXPECT_EQ(std::u16string(w), std::u16string(255, u'q'));
  EXPECT_EQ(copyW[255], u'\0');
  // The next copy overwrites, and zeros the rest.
  GetCopyOfWideSTringEncodedASUnicode(u"ab", kEnglishUS);
  EXPECT_EQ(std::u16string(copyW), u"ab");
  for (size_t i = 2; i < 256; ++i) ASSERT_EQ(copyW[i], u'\0') << i;
  // A pair at the limit is left out whole.
  const std::u16string pair = std::u16string(254, u'x') + u"\U0001F600";
  EXPECT_EQ(std::u16string(GetCopyOfWideSTringEncodedASUnicode(pair, 0)), std::u16string(254, u'x'));

  EXPECT_STREQ(GetCopyOfWideSTringEncodedAsAnsi(u"Stra\u00DFe", kEnglishUS), "Stra\xDF" "e");
  EXPECT_EQ(std::string(GetCopyOfWideSTringEncodedAsAnsi(long300, kEnglishUS)), std::string(255, 'q'));
  // 200 two-byte characters: 127 whole ones fit in 255 bytes, never half of one.
  std::u16string japanese;
  for (int i = 0; i < 100; ++i) japanese += u"\u65E5\u672C";
  const char* a = GetCopyOfWideSTringEncodedAsAnsi(japanese, kJapanese);
  EXPECT_EQ(std::strlen(a), 254u);
  EXPECT_EQ(ConvertedToWideString(kJapanese, a), japanese.substr(0, 127));
}

TEST(MyStringFunctions, CopiesOfAnsiStrings) {
  const std::string long300(300, 'z');
  const char* a = GetCopyOfAnsiEncodedAsAnsi(long300, kEnglishUS);
  EXPECT_EQ(a, copyA);
  EXPECT_EQ(std::string(a), std::string(255, 'z'));
  EXPECT_EQ(copyA[255], '\0');
  EXPECT_STREQ(GetCopyOfAnsiEncodedAsAnsi("short", kEnglishUS), "short");
  for (size_t i = 5; i < 256; ++i) ASSERT_EQ(copyA[i], '\0') << i;
  // Shift-JIS: "a" then two-byte characters; byte 255 would be a lead byte.
  std::string sjis = "ab";
  for (int i = 0; i < 150; ++i) sjis += "\x93\xFA";
  EXPECT_EQ(std::strlen(GetCopyOfAnsiEncodedAsAnsi(sjis, kJapanese)), 254u);
  EXPECT_EQ(std::strlen(GetCopyOfAnsiEncodedAsAnsi(sjis, kEnglishUS)), 255u);

  const char16_t* w = GetCopyOfAnsiEncodedAsUnicode(long300, kEnglishUS);
  EXPECT_EQ(w, copyW);
  EXPECT_EQ(std::u16string(w), std::u16string(255, u'z'));
  EXPECT_EQ(std::u16string(GetCopyOfAnsiEncodedAsUnicode("\xC6", kRussian)), u"\u0416");
  const char16_t* j = GetCopyOfAnsiEncodedAsUnicode(sjis, kJapanese);
  EXPECT_EQ(std::u16string(j), u"ab" + std::u16string(150, u'\u65E5'));
}

TEST(MyStringFunctions, Characters) {
  EXPECT_EQ(EnsurePrecomposed(u"e\u0301t\u00E9"), u"\u00E9t\u00E9");
  EXPECT_EQ(EnsurePrecomposed(u""), u"");
  EXPECT_EQ(EnsurePrecomposed(u"A\u030A"), u"\u00C5");
  struct Case {
    uint32_t value;
    char16_t unit;
  };
  const Case cases[] = {{0x41, u'A'}, {0xFFFF, u'\uFFFF'}, {0x10000, u'?'}, {0x1F600, u'?'},
                        {0xFFFFFFFF, u'?'}, {0, u'\0'}};
  for (const Case& c : cases) {
    EXPECT_EQ(WideCharFromCardinal(c.value), c.unit) << c.value;
    EXPECT_EQ(WideStringFromCardinal(c.value), std::u16string(1, c.unit)) << c.value;
  }
}

TEST(MyStringFunctions, Classification) {
  using namespace platform;
  uint16_t types[3] = {};
  ASSERT_TRUE(GetStringTypeExNT2000(true, kEnglishUS, CT_CTYPE1, types, 3, u"a1 "));
  EXPECT_NE(types[0] & C1_ALPHA, 0);
  EXPECT_NE(types[0] & C1_LOWER, 0);
  EXPECT_NE(types[1] & C1_DIGIT, 0);
  EXPECT_NE(types[2] & C1_SPACE, 0);
  ASSERT_TRUE(GetStringTypeExNT2000(false, kEnglishUS, CT_CTYPE1, types, 2, "\xC9!"));
  EXPECT_NE(types[0] & C1_UPPER, 0);  // E-acute in 1252
  EXPECT_NE(types[1] & C1_PUNCT, 0);
  EXPECT_FALSE(GetStringTypeExNT2000(true, kEnglishUS, CT_CTYPE2, types, 1, u"a"));
}

TEST(MyStringFunctions, Measurement) {
  int dc = 0;
  const TSize size = TextSizeOfString(&dc, u"abcd");
  EXPECT_EQ(size.cx, 4 * kFixedPitchCellWidth);
  EXPECT_EQ(size.cy, kFixedPitchCellHeight);
  EXPECT_EQ(TextWidthOfWideString(&dc, u"\u4E00"), 2 * kFixedPitchCellWidth);
  EXPECT_EQ(TextSizeOfString(&dc, u"").cx, 0);
  const TSize failed = TextSizeOfString(nullptr, u"abcd");
  EXPECT_EQ(failed.cx, 0);
  EXPECT_EQ(failed.cy, 0);
  EXPECT_EQ(TextWidthOfWideString(nullptr, u"abcd"), 0);
}

}  // namespace
}  // namespace qn
