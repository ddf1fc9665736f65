#include "platform/Format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/CodePages.h"
#include "platform/Exceptions.h"
#include "platform/Locales.h"

namespace qn::platform {
namespace {

const TFormatSettings& EnUS() {
  static const TFormatSettings settings = TFormatSettings::ForLocale(0x0409);
  return settings;
}

const TFormatSettings& German() {
  static const TFormatSettings settings = TFormatSettings::ForLocale(0x0407);
  return settings;
}

TEST(Format, Integers) {
  const TFormatSettings& s = EnUS();
  EXPECT_EQ(FormatWith(s, u"%d files", 42), u"42 files");
  EXPECT_EQ(FormatWith(s, u"[%5d]", -42), u"[  -42]");
  EXPECT_EQ(FormatWith(s, u"[%-5d]", 42), u"[42   ]");
  EXPECT_EQ(FormatWith(s, u"%.3d", 7), u"007");
  EXPECT_EQ(FormatWith(s, u"%.3d", -7), u"-007");
  EXPECT_EQ(FormatWith(s, u"%d", std::numeric_limits<int64_t>::min()), u"-9223372036854775808");
  EXPECT_EQ(FormatWith(s, u"%d", std::numeric_limits<uint64_t>::max()), u"18446744073709551615");
  EXPECT_EQ(FormatWith(s, u"%u", -1), u"4294967295");
  EXPECT_EQ(FormatWith(s, u"%x", 255), u"FF");
  EXPECT_EQ(FormatWith(s, u"%.4x", 255), u"00FF");
  EXPECT_EQ(FormatWith(s, u"%x", -1), u"FFFFFFFF");                   // 32-bit pattern
  EXPECT_EQ(FormatWith(s, u"%x", int64_t(-1)), u"FFFFFFFFFFFFFFFF");  // 64-bit pattern
  EXPECT_EQ(FormatWith(s, u"%d%%", 50), u"50%");
  EXPECT_EQ(FormatWith(s, u"%*d", 4, 1), u"   1");
}

TEST(Format, ThousandSeparatorsAndFixedDecimals) {
  const TFormatSettings& s = EnUS();
  struct Case {
    const char16_t* pattern;
    double value;
    const char16_t* expected;
  };
  const Case cases[] = {
      {u"%.0n", 1234567, u"1,234,567"},
      {u"%0.n", 1234567.4, u"1,234,567"},  // "." without digits is precision 0
      {u"%.0n", 999, u"999"},
      {u"%.0n", -1234.5, u"-1,235"},       // halves round away from zero
      {u"%.0n", 0.4, u"0"},
      {u"%.0n", -0.4, u"0"},               // no "-0"
      {u"%n", 1234.5, u"1,234.50"},
      {u"%.1nK", 1.5, u"1.5K"},
      {u"%.2f", 3.14159, u"3.14"},
      {u"%.2f", 2.675, u"2.67"},           // stored as 2.67499999..., below the half
      {u"%.2f", 0.125, u"0.13"},           // exactly halfway
      {u"%f", 1, u"1.00"},
      {u"%.0f", 2.5, u"3"},
      {u"%.3f", -0.0005, u"-0.001"},
      {u"%.1f", 1e20, u"100000000000000000000.0"},
      {u"%e", 1500, u"1.50000000000000E+003"},
      {u"%.3e", -0.000123456, u"-1.23E-004"},
      {u"%g", 0.1, u"0.1"},
      {u"%g", 1e20, u"1E20"},
      {u"%g", 1234.5, u"1234.5"},
      {u"%g", 1.0 / 3.0, u"0.333333333333333"},
      {u"%.3g", 0.000001234, u"1.23E-6"},
      {u"%m", 1234.5, u"$1,234.50"},
      {u"%m", -2, u"-$2.00"},
      {u"%f", std::numeric_limits<double>::infinity(), u"INF"},
      {u"%n", std::nan(""), u"NAN"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatWith(s, c.pattern, c.value), c.expected)
        << "pattern " << std::string(c.pattern, c.pattern + std::char_traits<char16_t>::length(c.pattern));
  }
  // Whole numbers keep every digit.
  EXPECT_EQ(FormatWith(s, u"%.0n", int64_t(9007199254740993)), u"9,007,199,254,740,993");
  EXPECT_EQ(FormatWith(s, u"%.0n", -5), u"-5");
  EXPECT_EQ(FormatWith(s, u"%.2f", 3), u"3.00");
  // The locale's separators.
  EXPECT_EQ(FormatWith(German(), u"%.2n", 1234.5), u"1.234,50");
}

TEST(Format, Texts) {
  const TFormatSettings& s = EnUS();
  const std::u16string wide = u"\u0391\u03b8";
  EXPECT_EQ(FormatWith(s, u"<%s>", wide), u"<\u0391\u03b8>");
  EXPECT_EQ(FormatWith(s, u"<%s>", "caf\xc3\xa9"), u"<caf\u00e9>");  // 8-bit texts are UTF-8
  EXPECT_EQ(FormatWith(s, u"%s", u'x'), u"x");
  EXPECT_EQ(FormatWith(s, u"%s", 'y'), u"y");
  EXPECT_EQ(FormatWith(s, u"[%.2s]", u"abcdef"), u"[ab]");
  EXPECT_EQ(FormatWith(s, u"[%6s]", u"ab"), u"[    ab]");
  EXPECT_EQ(FormatWith(s, u"%1:s %0:s %s", u"a", u"b"), u"b a b");
  EXPECT_EQ(FormatWith(s, u"file read error : %s", u"ReadAString"), u"file read error : ReadAString");
  EXPECT_EQ(FormatWith(s, "%s=%d", "k", 3), "k=3");
  const void* pointer = reinterpret_cast<const void*>(uintptr_t(0xABC));
  EXPECT_EQ(FormatWith(s, u"%p", pointer), u"0000000000000ABC");
}

TEST(Format, MismatchesRaiseConvertError) {
  const TFormatSettings& s = EnUS();
  EXPECT_THROW(FormatWith(s, u"%d", u"text"), EConvertError);
  EXPECT_THROW(FormatWith(s, u"%s", 5), EConvertError);
  EXPECT_THROW(FormatWith(s, u"%d %d", 5), EConvertError);
  EXPECT_THROW(FormatWith(s, u"100%"), EConvertError);
  EXPECT_THROW(FormatWith(s, u"%q", 1), EConvertError);
  EXPECT_THROW(FormatWith(s, u"%5:d", 1), EConvertError);
  EXPECT_THROW(FormatWith(s, u"%99999999d", 1), EConvertError);
  try {
    FormatWith(s, u"%d", 1.5);
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Format '%d' invalid or incompatible with argument");
  }
  // Surplus arguments are no error.
  EXPECT_EQ(FormatWith(s, u"%d", 1, 2), u"1");
}

TEST(Format, FormatFloatPictures) {
  const TFormatSettings& s = EnUS();
  struct Case {
    const char16_t* pattern;
    double value;
    const char16_t* expected;
  };
  const Case cases[] = {
      {u"####,.00", 1234567.891, u"1,234,567.89"},
      {u"####,.00", 0.5, u".50"},
      {u"####,.00", -1234.5, u"-1,234.50"},
      {u"0.00", 3.14159, u"3.14"},
      {u"#,##0", 1234567, u"1,234,567"},
      {u"#,##0", 0, u"0"},
      {u"0.##", 1.5, u"1.5"},
      {u"0.##", 1, u"1"},
      {u"000", 7, u"007"},
      {u"0", 12345, u"12345"},
      {u"#,##0.00 kg", 1234.5, u"1,234.50 kg"},
      {u"\"$\"0.00", 2, u"$2.00"},
      {u"0.00;(0.00)", -3.5, u"(3.50)"},
      {u"0.00;(0.00);zero", 0, u"zero"},
      {u"0.00;;zero", -1, u"-1.00"},
      {u"0.00E+00", 12345, u"1.23E+04"},
      {u"0.0E-0", 0.00012, u"1.2E-4"},
      {u"0.00E+00", 9.999, u"1.00E+01"},
      {u"", 0.1, u"0.1"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatFloat(c.pattern, c.value, s), c.expected)
        << std::string(c.pattern, c.pattern + std::char_traits<char16_t>::length(c.pattern)) << " "
        << c.value;
  }
  EXPECT_EQ(FormatFloat(u"####,.00", 1234567.891, German()), u"1.234.567,89");
}

TEST(Format, IntegerConversions) {
  struct Case {
    const char16_t* text;
    bool ok;
    int32_t value;
  };
  const Case cases[] = {{u"42", true, 42},           {u"  -17 ", true, -17},
                        {u"+5", true, 5},            {u"$1F", true, 31},
                        {u"0x10", true, 16},         {u"-$10", true, -16},
                        {u"$FFFFFFFF", true, -1},    {u"2147483647", true, 2147483647},
                        {u"-2147483648", true, -2147483647 - 1},
                        {u"2147483648", false, 0},   {u"$100000000", false, 0},
                        {u"", false, 0},             {u" ", false, 0},
                        {u"12a", false, 0},          {u"1 2", false, 0},
                        {u"-", false, 0},            {u"0x", false, 0},
                        {u"\uff11", false, 0}};  // a full-width digit is no digit here
  for (const Case& c : cases) {
    int32_t value = 0;
    EXPECT_EQ(TryStrToInt(c.text, value), c.ok)
        << std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text));
    if (c.ok) {
      EXPECT_EQ(value, c.value);
    }
  }
  EXPECT_THROW(StrToInt(u"x"), EConvertError);
  EXPECT_EQ(StrToIntDef(u"x", 9), 9);
  EXPECT_EQ(StrToInt64(u"-9223372036854775808"), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(StrToInt64Def(u"9223372036854775808", 1), 1);
  try {
    StrToInt(u"abc");
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'abc' is not a valid integer value");
  }
  EXPECT_EQ(IntToStr(-12), u"-12");
  EXPECT_EQ(IntToHex(255, 4), u"00FF");
}

TEST(Format, FloatConversions) {
  double v = 0;
  EXPECT_TRUE(TryStrToFloat(u" 1.5 ", v, EnUS()));
  EXPECT_EQ(v, 1.5);
  EXPECT_TRUE(TryStrToFloat(u"-2e3", v, EnUS()));
  EXPECT_EQ(v, -2000);
  EXPECT_TRUE(TryStrToFloat(u".5", v, EnUS()));
  EXPECT_EQ(v, 0.5);
  EXPECT_TRUE(TryStrToFloat(u"1,5", v, German()));
  EXPECT_EQ(v, 1.5);
  for (const char16_t* bad : {u"", u"1,5", u"1.2.3", u"e5", u"--1", u"inf", u"nan", u"0x1p3", u"1e"}) {
    EXPECT_FALSE(TryStrToFloat(bad, v, EnUS()))
        << std::string(bad, bad + std::char_traits<char16_t>::length(bad));
  }
  EXPECT_THROW(StrToFloat(u"abc"), EConvertError);
  EXPECT_EQ(StrToFloatDef(u"abc", 2.5), 2.5);
  EXPECT_EQ(FloatToStr(0.1, EnUS()), u"0.1");
  EXPECT_EQ(FloatToStr(-1e-7, EnUS()), u"-1E-7");
  EXPECT_EQ(FloatToStr(1.5, German()), u"1,5");
}

// A locale's settings take the platform's locale items where it has them and
// ICU's patterns for the rest: each name in its place (the platform counts
// days from Monday, the settings from Sunday), the separators and the time
// patterns of the locale.
TEST(Format, LocaleSettingsTakeThePlatformsItems) {
  for (uint32_t lcid : {0x0409u, 0x0407u, 0x040Cu, 0x0411u, 0x0401u, 0x041Fu}) {
    const TFormatSettings s = TFormatSettings::ForLocale(lcid);
    SCOPED_TRACE(testing::Message() << "locale " << std::hex << lcid);
    EXPECT_EQ(s.DecimalSeparator, GetLocaleInfo(lcid, LOCALE_SDECIMAL).at(0));
    EXPECT_EQ(s.ThousandSeparator, GetLocaleInfo(lcid, LOCALE_STHOUSAND).at(0));
    EXPECT_EQ(s.CurrencyString, GetLocaleInfo(lcid, LOCALE_SCURRENCY));
    EXPECT_EQ(s.TimeAMString, GetLocaleInfo(lcid, LOCALE_S1159));
    EXPECT_EQ(s.TimePMString, GetLocaleInfo(lcid, LOCALE_S2359));
    for (uint32_t i = 0; i < 7; ++i) {
      EXPECT_EQ(s.LongDayNames[(i + 1) % 7], GetLocaleInfo(lcid, LOCALE_SDAYNAME1 + i)) << i;
      EXPECT_EQ(s.ShortDayNames[(i + 1) % 7], GetLocaleInfo(lcid, LOCALE_SABBREVDAYNAME1 + i)) << i;
    }
    for (uint32_t i = 0; i < 12; ++i) {
      EXPECT_EQ(s.LongMonthNames[i], GetLocaleInfo(lcid, LOCALE_SMONTHNAME1 + i)) << i;
      EXPECT_EQ(s.ShortMonthNames[i], GetLocaleInfo(lcid, LOCALE_SABBREVMONTHNAME1 + i)) << i;
    }
    EXPECT_NE(s.ShortTimeFormat.find(u':'), std::u16string::npos);
    EXPECT_NE(s.LongTimeFormat.find(u"ss"), std::u16string::npos);
  }
  EXPECT_EQ(German().LongDayNames[0], u"Sonntag");
  EXPECT_EQ(German().ShortDateFormat, u"dd/MM/yyyy");
  EXPECT_EQ(German().DateSeparator, u'.');
  EXPECT_EQ(EnUS().LongTimeFormat, u"h:nn:ss AMPM");
  // A locale without data: en-US's settings, from ICU alone.
  const TFormatSettings none = TFormatSettings::ForLocale(0x0FFF);
  EXPECT_EQ(none.LongMonthNames[0], u"January");
  EXPECT_EQ(none.ShortDateFormat, u"m/d/yyyy");  // ICU's pattern letters, lower-case months
  EXPECT_EQ(none.LongTimeFormat, EnUS().LongTimeFormat);
}

TEST(Format, UserSettingsFollowTheUserLocale) {
  // en-US unless the host chose another locale.
  EXPECT_EQ(Format(u"%.0n", 1234567.0), u"1,234,567");
  EXPECT_EQ(UserFormatSettings().DecimalSeparator, u'.');
  EXPECT_EQ(Format("%d-%s", 1, u"x"), "1-x");
  // The host changes the user's locale: the settings are read for it, and
  // those of the first locale come back when it is chosen again.
  const TFormatSettings* english = &UserFormatSettings();
  SetUserDefaultLCID(0x0407);
  EXPECT_EQ(UserFormatSettings().DecimalSeparator, u',');
  EXPECT_EQ(UserFormatSettings().LongMonthNames[2], u"M\u00E4rz");
  EXPECT_EQ(Format(u"%.0n", 1234567.0), u"1.234.567");
  SetUserDefaultLCID(0x0409);
  EXPECT_EQ(&UserFormatSettings(), english);
  EXPECT_EQ(UserFormatSettings().LongMonthNames[2], u"March");
}

}  // namespace
}  // namespace qn::platform
