#include "platform/CaseMapping.h"

#include <gtest/gtest.h>
#include <unicode/uchar.h>

#include <string>

#include "platform/CharTypes.h"

namespace qn::platform {
namespace {

constexpr uint32_t kEnglish = 0x0409, kTurkish = 0x041F, kAzeriLatin = 0x042C, kGerman = 0x0407;

struct TCharCase {
  char16_t from;
  char16_t upper;
  char16_t lower;
  const char* what;
};

TEST(CaseMapping, SimpleMappingsOfSingleUnits) {
  const TCharCase cases[] = {
      {u'a', u'A', u'a', "ASCII"},
      {u'I', u'I', u'i', "capital I (locale-independent)"},
      {u'\u00DF', u'\u00DF', u'\u00DF', "sharp s has no one-unit upper case"},
      {u'\u00FF', u'\u0178', u'\u00FF', "y diaeresis"},
      {u'\u0130', u'\u0130', u'i', "capital dotted I"},
      {u'\u0131', u'I', u'\u0131', "dotless i"},
      {u'\u01C5', u'\u01C4', u'\u01C6', "title-case Dz with caron"},
      {u'\u03C2', u'\u03A3', u'\u03C2', "final sigma"},
      {u'\u03A3', u'\u03A3', u'\u03C3', "capital sigma"},
      {u'\u044F', u'\u042F', u'\u044F', "Cyrillic ya"},
      {u'\u0561', u'\u0531', u'\u0561', "Armenian ayb"},
      {u'\uFF41', u'\uFF21', u'\uFF41', "full-width a"},
      {u'\u4E00', u'\u4E00', u'\u4E00', "ideograph unchanged"},
      {u'1', u'1', u'1', "digit unchanged"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UpperChar(c.from), c.upper) << c.what;
    EXPECT_EQ(LowerChar(c.from), c.lower) << c.what;
  }
}

TEST(CaseMapping, TurkicDottedAndDotlessI) {
  EXPECT_EQ(CaseVariantOfLCID(kTurkish), TCaseVariant::Turkic);
  EXPECT_EQ(CaseVariantOfLCID(kAzeriLatin), TCaseVariant::Turkic);
  EXPECT_EQ(CaseVariantOfLCID(kEnglish), TCaseVariant::Invariant);
  EXPECT_EQ(CaseVariantOfLCID(0x0427), TCaseVariant::Invariant);  // Lithuanian: no 1:1 specials

  EXPECT_EQ(UpperChar(u'i', TCaseVariant::Turkic), u'\u0130');
  EXPECT_EQ(LowerChar(u'I', TCaseVariant::Turkic), u'\u0131');
  EXPECT_EQ(UpperChar(u'\u0131', TCaseVariant::Turkic), u'I');
  EXPECT_EQ(LowerChar(u'\u0130', TCaseVariant::Turkic), u'i');

  EXPECT_EQ(UpperCasedForLCID(kTurkish, u"istanbul \u0131s\u0131k"), u"\u0130STANBUL ISIK");
  EXPECT_EQ(UpperCasedForLCID(kEnglish, u"istanbul"), u"ISTANBUL");
  EXPECT_EQ(LowerCasedForLCID(kTurkish, u"ISPARTA \u0130ZM\u0130R"), u"\u0131sparta izmir");
  EXPECT_EQ(LowerCased(u"ISPARTA"), u"isparta");
}

TEST(CaseMapping, LengthNeverChangesAndPairsMapAsOneCharacter) {
  // Deseret long I (U+10428 <-> U+10400), a lone lead surrogate, sharp s.
  std::u16string text = u"stra\u00DFe \U00010428";
  text.push_back(char16_t(0xD801));
  text += u"x";
  std::u16string upper = UpperCased(text);
  ASSERT_EQ(upper.size(), text.size());
  std::u16string expected = u"STRA\u00DFE \U00010400";
  expected.push_back(char16_t(0xD801));
  expected += u"X";
  EXPECT_EQ(upper, expected);
  EXPECT_EQ(LowerCased(u"\U00010400"), u"\U00010428");
  // A lone trail surrogate and a pair cut at the end of the count stay.
  std::u16string cut = u"\U00010428";
  UpperCaseInPlace(cut.data(), 1);
  EXPECT_EQ(cut, u"\U00010428");
}

TEST(CaseMapping, TablesAgreeWithTheClassification) {
  // Every unit classified as upper-case whose lower-case differs maps back.
  const char16_t* lower = LowerTable(TCaseVariant::Invariant);
  const char16_t* upper = UpperTable(TCaseVariant::Invariant);
  int checked = 0;
  for (uint32_t c = 0; c < 0x10000; ++c) {
    if (!(CharType1(char16_t(c)) & C1_UPPER) || lower[c] == c) continue;
    ++checked;
    EXPECT_TRUE(CharType1(lower[c]) & C1_LOWER) << std::hex << c;
  }
  EXPECT_GT(checked, 900);
  EXPECT_EQ(upper[u'a'], u'A');
}

// The tables map only the units ICU calls case-sensitive and leave the rest
// as they are; a unit left out wrongly would differ here from its own simple
// mapping. The Turkic tables differ from the invariant ones in the four
// dotted and dotless i entries only.
TEST(CaseMapping, TablesHoldEveryUnitsSimpleMapping) {
  const char16_t* upper = UpperTable(TCaseVariant::Invariant);
  const char16_t* lower = LowerTable(TCaseVariant::Invariant);
  const char16_t* turkicUpper = UpperTable(TCaseVariant::Turkic);
  const char16_t* turkicLower = LowerTable(TCaseVariant::Turkic);
  int mapped = 0;
  for (uint32_t c = 0; c < 0x10000; ++c) {
    const bool surrogate = c >= 0xD800 && c <= 0xDFFF;
    const UChar32 up = surrogate ? UChar32(c) : u_toupper(UChar32(c));
    const UChar32 down = surrogate ? UChar32(c) : u_tolower(UChar32(c));
    const char16_t expectUp = up < 0x10000 ? char16_t(up) : char16_t(c);
    const char16_t expectDown = down < 0x10000 ? char16_t(down) : char16_t(c);
    ASSERT_EQ(upper[c], expectUp) << "U+" << std::hex << c;
    ASSERT_EQ(lower[c], expectDown) << "U+" << std::hex << c;
    if (c == u'i' || c == u'I' || c == 0x0130 || c == 0x0131) continue;
    ASSERT_EQ(turkicUpper[c], expectUp) << "U+" << std::hex << c;
    ASSERT_EQ(turkicLower[c], expectDown) << "U+" << std::hex << c;
    if (expectUp != c || expectDown != c) ++mapped;
  }
  EXPECT_GT(mapped, 2000);
  EXPECT_EQ(turkicUpper[u'i'], u'\u0130');
  EXPECT_EQ(turkicLower[u'I'], u'\u0131');
  EXPECT_EQ(turkicUpper[0x0131], u'I');
  EXPECT_EQ(turkicLower[0x0130], u'i');
  EXPECT_EQ(upper[0x0131], u'I');   // dotless i upper-cases to I everywhere
  EXPECT_EQ(lower[0x0130], u'i');   // and dotted capital I lower-cases to i
  EXPECT_EQ(upper[u'\u00DF'], u'\u00DF');  // sharp s: no single-unit upper case
}

TEST(CaseMapping, EightBitTextInItsCodePage) {
  struct TBytesCase {
    uint32_t lcid;
    std::string from, upper;
  } cases[] = {
      {kEnglish, "caf\xE9 \xFF \xDF \xB5", "CAF\xC9 \x9F \xDF \xB5"},  // ÿ -> Ÿ at 0x9F; µ -> Μ not in 1252
      {kTurkish, "istanbul", "\xDDSTANBUL"},                            // 1254: İ is 0xDD
      {0x0419, "\xEF\xF0\xE8\xE2\xE5\xF2", "\xCF\xD0\xC8\xC2\xC5\xD2"},  // Russian, 1251
      {0x0408, "\xE1\xE2\xE3\xF2", "\xC1\xC2\xC3\xD3"},                  // Greek, 1253 (final sigma)
      {0x0411, "a\x82\x81z", "A\x82\x60Z"},                             // 932: full-width a -> A
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UpperCasedBytesForLCID(c.lcid, c.from), c.upper) << std::hex << c.lcid;
  }
  EXPECT_EQ(LowerCasedBytesForLCID(kTurkish, "I\xDD"), "\xFDi");  // ı is 0xFD in 1254

  // UTF-8: é -> É has the same length; Turkish i -> İ would not, so it stays.
  std::string utf8 = "\xC3\xA9i";
  UpperCaseBytesInPlace(65001, utf8.data(), utf8.size(), TCaseVariant::Turkic);
  EXPECT_EQ(utf8, "\xC3\x89i");
  // Broken UTF-8 is left as it is.
  std::string broken = "a\xC3";
  UpperCaseBytesInPlace(65001, broken.data(), broken.size());
  EXPECT_EQ(broken, "A\xC3");
}

TEST(CaseMapping, PlatformStyleEntryPoints) {
  const char16_t source[] = u"i\u0131";
  char16_t out[8] = {};
  EXPECT_EQ(LCMapStringW(kTurkish, LCMAP_UPPERCASE | LCMAP_LINGUISTIC_CASING, source, -1, out, 8), 3);
  EXPECT_EQ(std::u16string(out), u"\u0130I");
  // Without linguistic casing the mapping is locale-independent.
  EXPECT_EQ(LCMapStringW(kTurkish, LCMAP_UPPERCASE, source, 2, out, 8), 2);
  EXPECT_EQ(out[0], u'I');
  // Needed size, too small a buffer, contradictory flags.
  EXPECT_EQ(LCMapStringW(kEnglish, LCMAP_LOWERCASE, source, -1, nullptr, 0), 3);
  EXPECT_EQ(LCMapStringW(kEnglish, LCMAP_LOWERCASE, source, -1, out, 2), 0);
  EXPECT_EQ(LCMapStringW(kEnglish, LCMAP_LOWERCASE | LCMAP_UPPERCASE, source, 2, out, 8), 0);
  EXPECT_EQ(LCMapStringW(kEnglish, 0x4 /* an unknown flag */ | LCMAP_UPPERCASE, source, 2, out, 8), 0);
  // In place.
  char16_t buffer[] = u"Gr\u00FC\u00DFe";
  EXPECT_EQ(LCMapStringW(kGerman, LCMAP_UPPERCASE | LCMAP_LINGUISTIC_CASING, buffer, 5, buffer, 5), 5);
  EXPECT_EQ(std::u16string(buffer), u"GR\u00DC\u00DFE");

  char bytes[] = "istanbul";
  EXPECT_EQ(LCMapStringA(kTurkish, LCMAP_UPPERCASE | LCMAP_LINGUISTIC_CASING, bytes, -1, bytes, 9), 9);
  EXPECT_EQ(std::string(bytes), "\xDDSTANBUL");
}

}  // namespace
}  // namespace qn::platform
