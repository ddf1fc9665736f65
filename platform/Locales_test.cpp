#include "platform/Locales.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/CodePages.h"

namespace qn::platform {
namespace {

TEST(Locales, IdentifiersAndIcuNamesRoundTrip) {
  EXPECT_EQ(LocaleNameOfLCID(0x0409), "en_US");
  EXPECT_EQ(LocaleNameOfLCID(0x041F), "tr_TR");
  EXPECT_EQ(LocaleNameOfLCID(0x0407), "de_DE");
  EXPECT_EQ(LocaleNameOfLCID(LOCALE_USER_DEFAULT), "en_US");
  EXPECT_EQ(LocaleNameOfLCID(LOCALE_INVARIANT), "");
  EXPECT_EQ(LocaleNameOfLCID(0x0FFF), "");
  for (uint32_t lcid : {0x0409u, 0x0809u, 0x0407u, 0x040Cu, 0x0C0Cu, 0x0419u, 0x041Fu, 0x0411u, 0x0804u,
                        0x0404u, 0x0412u, 0x0439u, 0x041Eu, 0x040Du, 0x0401u, 0x0816u, 0x0416u}) {
    std::string name = LocaleNameOfLCID(lcid);
    EXPECT_FALSE(name.empty()) << std::hex << lcid;
    EXPECT_EQ(LCIDOfLocaleName(name), lcid) << name;
    EXPECT_TRUE(IsValidLCID(lcid)) << std::hex << lcid;
  }
  EXPECT_EQ(LCIDOfLocaleName("de-DE"), 0x0407u);
  EXPECT_EQ(LCIDOfLocaleName("pt_BR"), 0x0416u);
  EXPECT_EQ(LCIDOfLocaleName(""), 0u);
  EXPECT_EQ(LCIDOfLocaleName("qq-!!"), 0u);
  EXPECT_FALSE(IsValidLCID(0x0FFF));
  EXPECT_EQ(PrimaryLangOf(0x0809), 9);
  EXPECT_EQ(SubLangOf(0x0809), 2);
}

struct TCodePageCase {
  uint32_t lcid;
  uint32_t ansi;
  uint32_t oem;
};

TEST(Locales, DefaultCodePagesOfLanguages) {
  const TCodePageCase cases[] = {
      {0x0409, 1252, 437}, {0x0809, 1252, 850}, {0x0407, 1252, 850}, {0x0419, 1251, 866},
      {0x0405, 1250, 852}, {0x0415, 1250, 852}, {0x0408, 1253, 737}, {0x041F, 1254, 857},
      {0x040D, 1255, 862}, {0x0401, 1256, 720}, {0x0425, 1257, 775}, {0x042A, 1258, 1258},
      {0x041E, 874, 874},  {0x0411, 932, 932},  {0x0804, 936, 936},  {0x1004, 936, 936},
      {0x0412, 949, 949},  {0x0404, 950, 950},  {0x0C04, 950, 950},  {0x0439, 0, 0},
      {0x0437, 0, 0},      {0x041A, 1250, 852}, {0x081A, 1250, 852}, {0x0C1A, 1251, 855},
      {0x042C, 1254, 857}, {0x082C, 1251, 866}, {0x0443, 1254, 857}, {0x0843, 1251, 866},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DefaultAnsiCodePageOfLCID(c.lcid), c.ansi) << std::hex << c.lcid;
    EXPECT_EQ(DefaultOemCodePageOfLCID(c.lcid), c.oem) << std::hex << c.lcid;
  }
  // A language without an ANSI page falls back to the active code page.
  EXPECT_EQ(LCIDToCodePage(0x0439), ActiveCodePage());
  EXPECT_EQ(LCIDToCodePage(0x0419), 1251u);
}

struct TInfoCase {
  uint32_t lcid;
  uint32_t item;
  std::u16string value;
};

TEST(Locales, LocaleDataItems) {
  const TInfoCase cases[] = {
      {0x0407, LOCALE_SENGLANGUAGE, u"German"},
      {0x0407, LOCALE_SENGCOUNTRY, u"Germany"},
      {0x0407, LOCALE_SNATIVELANGNAME, u"Deutsch"},
      {0x0407, LOCALE_SNATIVECTRYNAME, u"Deutschland"},
      {0x0409, LOCALE_SLANGUAGE, u"English (United States)"},
      {0x0419, LOCALE_SNATIVELANGNAME, u"\u0440\u0443\u0441\u0441\u043A\u0438\u0439"},
      {0x0409, LOCALE_ILANGUAGE, u"0409"},
      {0x0409, LOCALE_IDEFAULTANSICODEPAGE, u"1252"},
      {0x0409, LOCALE_IDEFAULTCODEPAGE, u"437"},
      {0x0439, LOCALE_IDEFAULTANSICODEPAGE, u"0"},
      {0x0439, LOCALE_IDEFAULTCODEPAGE, u"1"},
      {0x0409, LOCALE_IMEASURE, u"1"},
      {0x0809, LOCALE_IMEASURE, u"0"},
      {0x0407, LOCALE_IMEASURE, u"0"},
      {0x0409, LOCALE_SCURRENCY, u"$"},
      {0x0C09, LOCALE_SCURRENCY, u"$"},
      {0x1009, LOCALE_SCURRENCY, u"$"},
      {0x0407, LOCALE_SCURRENCY, u"\u20AC"},
      {0x0809, LOCALE_SCURRENCY, u"\u00A3"},
      {0x0407, LOCALE_SINTLSYMBOL, u"EUR"},
      {0x0409, LOCALE_SDECIMAL, u"."},
      {0x0407, LOCALE_SDECIMAL, u","},
      {0x0409, LOCALE_STHOUSAND, u","},
      {0x0409, LOCALE_SGROUPING, u"3;0"},
      {0x0439, LOCALE_SGROUPING, u"3;2;0"},
      {0x0409, LOCALE_SLIST, u","},
      {0x0407, LOCALE_SLIST, u";"},
      {0x0409, LOCALE_SSHORTDATE, u"M/d/yyyy"},
      {0x0407, LOCALE_SSHORTDATE, u"dd.MM.yyyy"},
      {0x0409, LOCALE_SLONGDATE, u"dddd, MMMM d, yyyy"},
      {0x0409, LOCALE_SDATE, u"/"},
      {0x0407, LOCALE_SDATE, u"."},
      {0x0409, LOCALE_STIME, u":"},
      {0x0409, LOCALE_S1159, u"AM"},
      {0x0409, LOCALE_SDAYNAME1, u"Monday"},
      {0x0409, LOCALE_SDAYNAME1 + 6, u"Sunday"},
      {0x0409, LOCALE_SABBREVDAYNAME1, u"Mon"},
      {0x0409, LOCALE_SMONTHNAME1, u"January"},
      {0x0409, LOCALE_SABBREVMONTHNAME1 + 11, u"Dec"},
      {0x0407, LOCALE_SMONTHNAME1 + 2, u"M\u00E4rz"},
      {0x0409, LOCALE_SNATIVEDIGITS, u"0123456789"},
      {0x0409, LOCALE_SISO639LANGNAME, u"en"},
      {0x0409, LOCALE_SISO3166CTRYNAME, u"US"},
      {0x0409, LOCALE_SNAME, u"en-US"},
      {0x0409, 0x9999, u""},   // unknown item
      {0x0FFF, LOCALE_SENGLANGUAGE, u""},  // unknown locale
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GetLocaleInfo(c.lcid, c.item), c.value) << std::hex << c.lcid << " item " << c.item;
  }
  EXPECT_TRUE(UsesUSMeasurement(0x0409));
  EXPECT_FALSE(UsesUSMeasurement(0x0809));
  EXPECT_FALSE(UsesUSMeasurement(0x0FFF));
}

// Day and month names come from a date format kept per thread for the last
// locale asked for: asking in turns for different locales, and from other
// threads at once, must still give each locale its own names.
TEST(Locales, NamesOfLocalesAskedForInTurns) {
  auto names = [] {
    std::u16string all;
    for (uint32_t lcid : {0x0409u, 0x0407u, 0x0409u, 0x040Cu, 0x0407u}) {
      all += GetLocaleInfo(lcid, LOCALE_SMONTHNAME1 + 2) + u"|" + GetLocaleInfo(lcid, LOCALE_SABBREVDAYNAME1) +
             u"|" + GetLocaleInfo(lcid, LOCALE_S2359) + u";";
    }
    return all;
  };
  const std::u16string expected =
      u"March|Mon|PM;M\u00E4rz|Mo|PM;March|Mon|PM;mars|lun.|PM;M\u00E4rz|Mo|PM;";
  EXPECT_EQ(names(), expected);
  std::u16string fromThreads[3];
  {
    std::vector<std::thread> threads;
    for (auto& result : fromThreads) threads.emplace_back([&result, &names] { result = names(); });
    for (auto& thread : threads) thread.join();
  }
  for (const auto& result : fromThreads) EXPECT_EQ(result, expected);
  EXPECT_EQ(GetLocaleInfo(0x0FFF, LOCALE_SMONTHNAME1), u"");  // no locale: no names, and no format kept
  EXPECT_EQ(GetLocaleInfo(0x0407, LOCALE_SDAYNAME1 + 6), u"Sonntag");
}

// The user's default locale is a process-wide setting the host may change at
// any time: items of LOCALE_USER_DEFAULT follow it, whatever formats are kept
// from the locale asked about before.
TEST(Locales, UserDefaultItemsFollowTheHostsSetting) {
  ASSERT_EQ(UserDefaultLCID(), 0x0409u);
  EXPECT_EQ(GetLocaleInfo(LOCALE_USER_DEFAULT, LOCALE_SMONTHNAME1 + 2), u"March");
  SetUserDefaultLCID(0x0407);
  EXPECT_EQ(GetLocaleInfo(LOCALE_USER_DEFAULT, LOCALE_SMONTHNAME1 + 2), u"M\u00E4rz");
  EXPECT_EQ(GetLocaleInfo(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL), u",");
  EXPECT_EQ(GetLocaleInfo(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE), u"dd.MM.yyyy");
  SetUserDefaultLCID(0x0409);
  EXPECT_EQ(GetLocaleInfo(LOCALE_USER_DEFAULT, LOCALE_SMONTHNAME1 + 2), u"March");
  EXPECT_EQ(GetLocaleInfo(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL), u".");
  EXPECT_EQ(GetLocaleInfo(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE), u"M/d/yyyy");
}

struct TCompareCase {
  uint32_t lcid;
  uint32_t flags;
  std::u16string a, b;
  int expected;
  const char* what;
};

TEST(Locales, LocaleAwareComparison) {
  const TCompareCase cases[] = {
      {0x0409, 0, u"apple", u"banana", -1, "letters"},
      {0x0409, 0, u"same", u"same", 0, "identical"},
      {0x0409, 0, u"a", u"A", -1, "lower case first, case counts"},
      {0x0409, NORM_IGNORECASE, u"Apple", u"aPPLE", 0, "case ignored"},
      {0x0409, NORM_IGNORECASE, u"r\u00E9sum\u00E9", u"RESUME", 1, "accents still count"},
      {0x0409, NORM_IGNORENONSPACE, u"r\u00E9sum\u00E9", u"resume", 0, "accents ignored"},
      {0x0409, NORM_IGNORENONSPACE, u"R\u00E9sum\u00E9", u"resume", 1, "case counts without IGNORECASE"},
      {0x0409, NORM_IGNORECASE | NORM_IGNORENONSPACE, u"R\u00C9SUM\u00C9", u"resume", 0, "both ignored"},
      {0x0409, 0, u"e\u0301", u"\u00E9", 0, "canonically equivalent"},
      {0x0409, 0, u"\u00E9", u"f", -1, "accented letter with its base"},
      {0x0407, 0, u"\u00F6", u"z", -1, "German: o umlaut with o"},
      {0x041D, 0, u"\u00F6", u"z", 1, "Swedish: o umlaut after z"},
      {0x0409, 0, u"co-op", u"coa", 1, "word sort: the hyphen weighs last"},
      {0x0409, SORT_STRINGSORT, u"co-op", u"coa", -1, "string sort: the hyphen is a symbol"},
      {0x0409, 0, u"co-op", u"coop", 1, "word sort: otherwise equal, then the hyphen"},
      {0x0409, 0, u"can't", u"cant", 1, "apostrophe likewise"},
      {0x0409, 0, u"a10", u"a9", -1, "digits by character"},
      {0x0409, SORT_DIGITSASNUMBERS, u"a10", u"a9", 1, "digits as numbers"},
      {0x0409, NORM_IGNORESYMBOLS, u"a.b c", u"abc", 0, "symbols and spaces ignored"},
      {0x0409, 0, u"", u"a", -1, "empty first"},
      {0x041F, NORM_IGNORECASE, u"\u0131", u"I", 0, "Turkish: dotless i is the lower case of I"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CompareStrings(c.lcid, c.flags, c.a, c.b), c.expected) << c.what;
    EXPECT_EQ(CompareStrings(c.lcid, c.flags, c.b, c.a), -c.expected) << c.what << " (reversed)";
  }
  EXPECT_EQ(CompareStringsA(0x0419, 0, "\xE0", "\xE1"), -1);  // Cyrillic a before be in 1251
  EXPECT_EQ(CompareStringsA(0x0419, NORM_IGNORECASE, "\xC0", "\xE0"), 0);
  EXPECT_EQ(CompareText(u"Hello", u"hELLO"), 0);
  EXPECT_EQ(CompareStr(u"Hello", u"hello"), 1);
}

TEST(Locales, CollationKeysOrderAsTheComparison) {
  // Keys agree with CompareStrings pair by pair, equality included.
  const std::u16string words[] = {u"apple", u"Apple", u"APPLE", u"banana", u"r\u00E9sum\u00E9", u"RESUME",
                                  u"resume", u"\uFF43\uFF41\uFF54", u"cat", u"Stra\u00DFe", u"STRASSE", u"",
                                  u"a10", u"a9", u"z"};
  for (uint32_t flags : {0u, NORM_IGNORECASE}) {
    for (const auto& a : words) {
      std::string ka;
      ASSERT_TRUE(CollationKey(0x0409, flags, a, ka));
      for (const auto& b : words) {
        std::string kb;
        ASSERT_TRUE(CollationKey(0x0409, flags, b, kb));
        const int byKey = ka < kb ? -1 : ka > kb ? 1 : 0;
        EXPECT_EQ(byKey, CompareStrings(0x0409, flags, a, b)) << flags;
      }
    }
  }
  std::string k1, k2;
  CollationKey(0x0409, NORM_IGNORECASE, u"cat", k1);
  CollationKey(0x0409, NORM_IGNORECASE, u"\uFF43\uFF41\uFF54", k2);  // full-width letters merge
  EXPECT_EQ(k1, k2);
}

TEST(Locales, CanonicalPrecomposition) {
  EXPECT_EQ(Precomposed(u"e\u0301"), u"\u00E9");
  EXPECT_EQ(Precomposed(u"A\u030A ring"), u"\u00C5 ring");
  EXPECT_EQ(Precomposed(u"\u1100\u1161"), u"\uAC00");  // Hangul jamo
  EXPECT_EQ(Precomposed(u"a\u0323\u0302"), u"\u1EAD");  // dot below and circumflex, any order
  EXPECT_EQ(Precomposed(u"a\u0302\u0323"), u"\u1EAD");
  EXPECT_EQ(Precomposed(u"already \u00E9"), u"already \u00E9");
  EXPECT_EQ(Precomposed(u""), u"");
  std::u16string lone = u"x";
  lone.push_back(char16_t(0xD800));
  lone += u"e\u0301";
  std::u16string expected = u"x";
  expected.push_back(char16_t(0xD800));
  expected += u"\u00E9";
  EXPECT_EQ(Precomposed(lone), expected);
  EXPECT_TRUE(IsPrecomposed(u"\u00E9"));
  EXPECT_FALSE(IsPrecomposed(u"e\u0301"));
}

}  // namespace
}  // namespace qn::platform
