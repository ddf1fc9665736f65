#include "platform/CharTypes.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>

#include <string>
#include <vector>

#include "platform/CodePages.h"

namespace qn::platform {
namespace {

constexpr uint16_t kUpperLetter = C1_UPPER | C1_ALPHA | C1_DEFINED;
constexpr uint16_t kLowerLetter = C1_LOWER | C1_ALPHA | C1_DEFINED;
constexpr uint16_t kLetter = C1_ALPHA | C1_DEFINED;
constexpr uint16_t kDigit = C1_DIGIT | C1_DEFINED;
constexpr uint16_t kPunct = C1_PUNCT | C1_DEFINED;
constexpr uint16_t kBlankSpace = C1_SPACE | C1_BLANK | C1_DEFINED;

struct TUnitCase {
  char16_t unit;
  uint16_t flags;
  const char* what;
};

TEST(CharTypes, KnownClassesAcrossScripts) {
  const TUnitCase cases[] = {
      {u'A', kUpperLetter | C1_XDIGIT, "Latin capital A (also a hex digit)"},
      {u'a', kLowerLetter | C1_XDIGIT, "Latin small a"},
      {u'z', kLowerLetter, "Latin small z"},
      {u'5', kDigit | C1_XDIGIT, "ASCII digit"},
      {u' ', kBlankSpace, "space"},
      {u'\t', kBlankSpace | C1_CNTRL, "tab"},
      {u'\n', C1_SPACE | C1_CNTRL | C1_DEFINED, "line feed"},
      {u'\0', C1_CNTRL | C1_DEFINED, "NUL"},
      {u'.', kPunct, "full stop"},
      {u'$', kPunct, "dollar sign (symbols count as punctuation)"},
      {u'+', kPunct, "plus sign"},
      {u'\u00A0', kBlankSpace, "no-break space"},
      {u'\u00DF', kLowerLetter, "sharp s"},
      {u'\u00C9', kUpperLetter, "E acute"},
      {u'\u01C5', kUpperLetter, "title-case Dz with caron"},
      {u'\u00AA', kLowerLetter, "feminine ordinal (Other_Lowercase)"},
      {u'\u0410', kUpperLetter, "Cyrillic capital A"},
      {u'\u044F', kLowerLetter, "Cyrillic small ya"},
      {u'\u03A3', kUpperLetter, "Greek capital sigma"},
      {u'\u05D0', kLetter, "Hebrew alef"},
      {u'\u0627', kLetter, "Arabic alef"},
      {u'\u0660', kDigit, "Arabic-Indic digit zero"},
      {u'\u0915', kLetter, "Devanagari KA"},
      {u'\u093F', kLetter, "Devanagari vowel sign I (spacing mark)"},
      {u'\u094D', kLetter, "Devanagari virama (non-spacing mark)"},
      {u'\u0966', kDigit, "Devanagari digit zero"},
      {u'\u0301', kLetter, "combining acute accent"},
      {u'\u20DD', kLetter, "combining enclosing circle"},
      {u'\u0E01', kLetter, "Thai KO KAI"},
      {u'\u4E00', kLetter, "CJK ideograph one"},
      {u'\u3042', kLetter, "Hiragana A"},
      {u'\uAC00', kLetter, "Hangul syllable GA"},
      {u'\u3002', kPunct, "ideographic full stop"},
      {u'\u3000', kBlankSpace, "ideographic space"},
      {u'\uFF10', kDigit | C1_XDIGIT, "full-width digit zero"},
      {u'\u2013', kPunct, "en dash"},
      {u'\u20AC', kPunct, "euro sign"},
      {u'\u00AD', kPunct, "soft hyphen"},
      {u'\u200E', C1_CNTRL | C1_DEFINED, "left-to-right mark"},
      {u'\u0085', C1_SPACE | C1_CNTRL | C1_DEFINED, "next line"},
      {u'\u2028', C1_SPACE | C1_DEFINED, "line separator"},
      {u'\u2167', kUpperLetter, "Roman numeral eight (alphabetic)"},
      {u'\uE000', C1_DEFINED, "private use"},
      {char16_t(0xD800), C1_DEFINED, "lead surrogate"},
      {char16_t(0xDC00), C1_DEFINED, "trail surrogate"},
      {u'\u0378', 0, "unassigned"},
      {u'\uFFFF', 0, "noncharacter"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CharType1(c.unit), c.flags) << c.what << " U+" << std::hex << unsigned(c.unit);
    EXPECT_EQ(CharType1Table()[c.unit], c.flags) << c.what;
  }
}

TEST(CharTypes, EveryFlagWordIsConsistent) {
  const uint16_t* table = CharType1Table();
  for (uint32_t c = 0; c < 0x10000; ++c) {
    uint16_t f = table[c];
    if (f == 0) continue;
    ASSERT_TRUE(f & C1_DEFINED) << std::hex << c;
    ASSERT_EQ(f & ~0x03FF, 0) << std::hex << c;
    if (f & (C1_UPPER | C1_LOWER)) {
      ASSERT_TRUE(f & C1_ALPHA) << std::hex << c;
    }
    ASSERT_FALSE((f & C1_DIGIT) && (f & C1_ALPHA)) << std::hex << c;
    if (f & C1_BLANK) {
      ASSERT_TRUE(f & C1_SPACE) << std::hex << c;
    }
  }
}

// The table is filled stretch by stretch between the points where a category
// or property changes; any stretch cut wrongly shows up as a unit whose table
// entry differs from its own classification. Code points beyond the BMP go
// through the classification alone.
TEST(CharTypes, TableHoldsEachUnitsOwnClassification) {
  const uint16_t* table = CharType1Table();
  for (uint32_t c = 0; c < 0x10000; ++c) {
    ASSERT_EQ(table[c], CharType1OfCodePoint(c)) << "U+" << std::hex << c;
  }
  EXPECT_EQ(CharType1OfCodePoint(U'\U0001D400'), kUpperLetter);  // MATHEMATICAL BOLD CAPITAL A
  EXPECT_EQ(CharType1OfCodePoint(U'\U0001F600'), kPunct);        // an emoji: So
  EXPECT_EQ(CharType1OfCodePoint(U'\U000E0001'), C1_CNTRL | C1_DEFINED);  // LANGUAGE TAG: Cf
  EXPECT_EQ(CharType1OfCodePoint(U'\U0010FFFF'), 0);              // a noncharacter: unassigned
  // The edges of the stretches the classification itself draws.
  EXPECT_EQ(table[0x0009], kBlankSpace | C1_CNTRL);
  EXPECT_EQ(table[0x00AD], kPunct);
  EXPECT_EQ(table[0xD7FF], 0);
  EXPECT_EQ(table[0xD800], C1_DEFINED);
  EXPECT_EQ(table[0xDFFF], C1_DEFINED);
  EXPECT_EQ(table[u'F'] & C1_XDIGIT, C1_XDIGIT);
  EXPECT_EQ(table[u'G'] & C1_XDIGIT, 0);
  EXPECT_EQ(table[0xFF46] & C1_XDIGIT, C1_XDIGIT);
  EXPECT_EQ(table[0xFF47] & C1_XDIGIT, 0);
}

TEST(CharTypes, BufferFormsMatchTheTable) {
  std::u16string text = u"Wort-Ñ 12 \u0915\u093F \U0001F600!";
  std::vector<uint16_t> flags(text.size());
  CharTypes1(text.data(), text.size(), flags.data());
  for (size_t i = 0; i < text.size(); ++i) EXPECT_EQ(flags[i], CharType1(text[i])) << i;

  // The platform-style form: count -1 takes the terminator as well.
  std::vector<uint16_t> withZero(text.size() + 1, 0xFFFF);
  ASSERT_TRUE(GetStringTypeExW(0x0409, CT_CTYPE1, text.c_str(), -1, withZero.data()));
  EXPECT_EQ(withZero.back(), C1_CNTRL | C1_DEFINED);
  EXPECT_EQ(withZero[0], kUpperLetter);

  uint16_t out[4];
  EXPECT_FALSE(GetStringTypeExW(0x0409, CT_CTYPE2, text.c_str(), 3, out));
  EXPECT_FALSE(GetStringTypeExW(0x0409, CT_CTYPE1, nullptr, 3, out));
  EXPECT_FALSE(GetStringTypeExW(0x0409, CT_CTYPE1, text.c_str(), -2, out));
  EXPECT_TRUE(GetStringTypeExW(0x0409, CT_CTYPE1, text.c_str(), 0, nullptr));
}

// The length-and-classes form, on texts that end right before an inaccessible
// page, at every alignment: it stops at the terminator or the limit and never
// writes past either.
TEST(CharTypes, ClassesUpToTheTerminator) {
  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  void* p = mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(p, MAP_FAILED);
  ASSERT_EQ(mprotect(static_cast<char*>(p) + page, page, PROT_NONE), 0);
  char16_t* pageEnd = reinterpret_cast<char16_t*>(static_cast<char*>(p) + page);
  const std::u16string source = u"Wort-\u00D1 12 \u0915\u093F, the\r\nend. ";
  for (size_t length = 0; length <= 70; ++length) {
    // Text and terminator as the page's last units.
    char16_t* text = pageEnd - (length + 1);
    for (size_t i = 0; i < length; ++i) text[i] = source[i % source.size()];
    text[length] = 0;
    for (const size_t limit : {length + 5, length + 1, length, length / 2}) {
      std::vector<uint16_t> out(length + 8, 0xABCD);
      const size_t got = CharTypes1UpToZero(text, limit, out.data());
      ASSERT_EQ(got, std::min(length, limit)) << length << " " << limit;
      for (size_t i = 0; i < got; ++i) ASSERT_EQ(out[i], CharType1(text[i])) << i;
      for (size_t i = got; i < out.size(); ++i) ASSERT_EQ(out[i], 0xABCD) << i;
    }
  }
  // Every alignment of a longer text inside the page.
  for (size_t shift = 0; shift < 16; ++shift) {
    char16_t* text = reinterpret_cast<char16_t*>(p) + shift;
    for (size_t i = 0; i < 100; ++i) text[i] = source[i % source.size()];
    text[100] = 0;
    std::vector<uint16_t> out(110, 0xABCD);
    ASSERT_EQ(CharTypes1UpToZero(text, 1000, out.data()), 100u) << shift;
    std::vector<uint16_t> expected(100);
    CharTypes1(text, 100, expected.data());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), out.begin())) << shift;
    EXPECT_EQ(out[100], 0xABCD);
  }
  munmap(p, 2 * page);
}

struct TByteCase {
  uint32_t codePage;
  unsigned char byte;
  uint16_t flags;
};

TEST(CharTypes, BytesOfSingleByteCodePages) {
  const TByteCase cases[] = {
      {1252, 0x80, kPunct},                    // euro sign
      {1252, 0xC0, kUpperLetter},              // A grave
      {1252, 0xE9, kLowerLetter},              // e acute
      {1252, 0x81, C1_CNTRL | C1_DEFINED},     // undefined in 1252: the C1 control
      {1252, 0xA0, kBlankSpace},               // no-break space
      {1252, 0x41, kUpperLetter | C1_XDIGIT},  // A
      {1251, 0xC0, kUpperLetter},              // Cyrillic A
      {1251, 0xFF, kLowerLetter},              // Cyrillic ya
      {1253, 0xC1, kUpperLetter},              // Greek Alpha
      {1255, 0xE0, kLetter},                   // Hebrew alef
      {874, 0xA1, kLetter},                    // Thai KO KAI
      {874, 0xD4, kLetter},                    // Thai vowel sign (a mark)
      {437, 0xB0, kPunct},                     // light shade
      {437, 0x82, kLowerLetter},               // e acute
  };
  for (const auto& c : cases) {
    const uint16_t* table = CharType1TableOfCodePage(c.codePage);
    ASSERT_NE(table, nullptr) << c.codePage;
    EXPECT_EQ(table[c.byte], c.flags) << c.codePage << " byte " << std::hex << int(c.byte);
    char byte = static_cast<char>(c.byte);
    uint16_t flags = 0;
    CharTypes1OfBytes(c.codePage, &byte, 1, &flags);
    EXPECT_EQ(flags, c.flags) << c.codePage;
  }
  EXPECT_EQ(CharType1TableOfCodePage(932), nullptr);
  EXPECT_EQ(CharType1TableOfCodePage(65001), nullptr);
}

TEST(CharTypes, EveryByteOfAMultiByteCharacterGetsItsFlags) {
  // Shift-JIS: hiragana A (82 A0), "A", full-width digit one (82 50).
  const char sjis[] = "\x82\xA0" "A" "\x82\x50";
  uint16_t flags[5];
  CharTypes1OfBytes(932, sjis, 5, flags);
  EXPECT_EQ(flags[0], kLetter);
  EXPECT_EQ(flags[1], kLetter);
  EXPECT_EQ(flags[2], kUpperLetter | C1_XDIGIT);
  EXPECT_EQ(flags[3], kDigit | C1_XDIGIT);
  EXPECT_EQ(flags[4], kDigit | C1_XDIGIT);

  // UTF-8: e acute, then a lone continuation byte (U+FFFD: a symbol).
  const char utf8[] = "\xC3\xA9\x80";
  uint16_t u[3];
  CharTypes1OfBytes(65001, utf8, 3, u);
  EXPECT_EQ(u[0], kLowerLetter);
  EXPECT_EQ(u[1], kLowerLetter);
  EXPECT_EQ(u[2], kPunct);

  // A lead byte cut off at the end still gets one word.
  uint16_t cut = 0xFFFF;
  CharTypes1OfBytes(932, "\x82", 1, &cut);
  EXPECT_EQ(cut, kPunct);
}

TEST(CharTypes, EightBitFormUsesTheLocalesCodePage) {
  const char text[] = "\xC0\xE0";
  uint16_t flags[2];
  ASSERT_TRUE(GetStringTypeExA(0x0419, CT_CTYPE1, text, 2, flags));  // Russian: 1251
  EXPECT_EQ(flags[0], kUpperLetter);
  EXPECT_EQ(flags[1], kLowerLetter);
  ASSERT_TRUE(GetStringTypeExA(0x0408, CT_CTYPE1, text, 2, flags));  // Greek: 1253
  EXPECT_EQ(flags[0], kLowerLetter);                                  // iota with dialytika and tonos
  EXPECT_EQ(flags[1], kLowerLetter);                                  // upsilon ... tonos
  ASSERT_TRUE(GetStringTypeExA(0x0409, CT_CTYPE1, text, 2, flags));  // English: 1252
  EXPECT_EQ(flags[0], kUpperLetter);                                  // A grave
}

}  // namespace
}  // namespace qn::platform
