#include "platform/DateTime.h"

#include <gtest/gtest.h>

#include <cmath>

#include "platform/Exceptions.h"

namespace qn::platform {
namespace {

const TFormatSettings& EnUS() {
  static const TFormatSettings settings = TFormatSettings::ForLocale(0x0409);
  return settings;
}

TEST(DateTime, EncodeDateCountsDaysFrom30December1899) {
  struct Case {
    int32_t y, m, d;
    double value;
  };
  const Case cases[] = {{1899, 12, 30, 0},      {1899, 12, 31, 1},    {1900, 1, 1, 2},
                        {1900, 3, 1, 61},       {2000, 1, 1, 36526},  {2024, 2, 29, 45351},
                        {1, 1, 1, -693593},     {9999, 12, 31, 2958465}, {1899, 12, 29, -1}};
  for (const Case& c : cases) {
    EXPECT_EQ(EncodeDate(c.y, c.m, c.d), c.value) << c.y << "-" << c.m << "-" << c.d;
    int32_t y, m, d;
    DecodeDate(c.value, y, m, d);
    EXPECT_EQ(y, c.y);
    EXPECT_EQ(m, c.m);
    EXPECT_EQ(d, c.d);
  }
}

TEST(DateTime, InvalidDatesAreRefused) {
  const int32_t invalid[][3] = {{1900, 2, 29}, {2023, 2, 29}, {2024, 4, 31}, {2024, 13, 1},
                                {2024, 0, 1},  {0, 1, 1},     {10000, 1, 1}, {2024, 1, 0}};
  for (const auto& d : invalid) {
    EXPECT_THROW(EncodeDate(d[0], d[1], d[2]), EConvertError);
    TDateTime value = 123;
    EXPECT_FALSE(TryEncodeDate(d[0], d[1], d[2], value));
    EXPECT_EQ(value, 123);
  }
  EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);
  EXPECT_THROW(EncodeTime(0, 0, 0, 1000), EConvertError);
}

TEST(DateTime, EveryDayDecodesBackToItself) {
  for (int32_t day = -693593; day <= 2958465; day += 7) {
    TDateParts parts;
    ASSERT_TRUE(TryDecodeDateTime(day, parts));
    ASSERT_EQ(EncodeDate(parts.year, parts.month, parts.day), day);
  }
  // Days around the ends of centuries and leap years.
  for (int32_t year : {1600, 1700, 1900, 2000, 2100, 2400}) {
    for (int32_t day = static_cast<int32_t>(EncodeDate(year, 2, 27));
         day <= EncodeDate(year, 3, 2); ++day) {
      TDateParts parts;
      ASSERT_TRUE(TryDecodeDateTime(day, parts));
      EXPECT_EQ(EncodeDate(parts.year, parts.month, parts.day), day);
    }
  }
}

TEST(DateTime, TimeOfDayAndNegativeValues) {
  TDateParts parts;
  ASSERT_TRUE(TryDecodeDateTime(EncodeDateTime(2024, 1, 1, 13, 45, 30, 250), parts));
  EXPECT_EQ(parts.hour, 13);
  EXPECT_EQ(parts.minute, 45);
  EXPECT_EQ(parts.second, 30);
  EXPECT_EQ(parts.millisecond, 250);
  EXPECT_EQ(parts.dayOfWeek, 2);  // Monday

  // Before 1899-12-30 the fraction's absolute value is the time of day.
  ASSERT_TRUE(TryDecodeDateTime(-1.25, parts));
  EXPECT_EQ(parts.year, 1899);
  EXPECT_EQ(parts.month, 12);
  EXPECT_EQ(parts.day, 29);
  EXPECT_EQ(parts.hour, 6);
  EXPECT_EQ(EncodeDateTime(1899, 12, 29, 6, 0, 0, 0), -1.25);

  // A value a hair before midnight rounds to the next day, not to 24:00.
  ASSERT_TRUE(TryDecodeDateTime(1.0 - 1e-10, parts));
  EXPECT_EQ(parts.day, 31);
  EXPECT_EQ(parts.hour, 0);

  EXPECT_FALSE(TryDecodeDateTime(NAN, parts));
  EXPECT_FALSE(TryDecodeDateTime(3e6, parts));
  EXPECT_FALSE(TryDecodeDateTime(-7e5, parts));
  EXPECT_EQ(DayOfWeek(0), 7);  // 1899-12-30 was a Saturday
  EXPECT_EQ(DateOf(-1.25), -1);
  EXPECT_EQ(TimeOf(-1.25), 0.25);
}

TEST(DateTime, FormatDateTimePatterns) {
  const TDateTime value = EncodeDateTime(2024, 3, 5, 14, 7, 9, 45);
  struct Case {
    const char16_t* pattern;
    const char16_t* expected;
  };
  const Case cases[] = {
      {u"yyyy/mmm/dd hh:nn", u"2024/Mar/05 14:07"},
      {u"dd mmm yyyy", u"05 Mar 2024"},
      {u"d/m/yy", u"5/3/24"},
      {u"dddd, mmmm d", u"Tuesday, March 5"},
      {u"ddd", u"Tue"},
      {u"hh:mm:ss.zzz", u"14:07:09.045"},   // m after h is minutes
      {u"h:nn am/pm", u"2:07 pm"},
      {u"h:nn AM/PM", u"2:07 PM"},
      {u"h a/p", u"2 p"},
      {u"hh ampm", u"02 PM"},
      {u"'yyyy' yyyy \"mm\"", u"yyyy 2024 mm"},
      {u"ddddd", u"3/5/2024"},
      {u"c", u"3/5/2024 2:07:09 PM"},
      {u"w", u"w"},
      {u"", u"3/5/2024 2:07:09 PM"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatDateTime(c.pattern, value, EnUS()), c.expected);
  }
  // Midnight: "c" shows the date alone; 12-hour clock shows 12.
  const TDateTime midnight = EncodeDate(2024, 3, 5);
  EXPECT_EQ(FormatDateTime(u"c", midnight, EnUS()), u"3/5/2024");
  EXPECT_EQ(FormatDateTime(u"h am/pm", midnight, EnUS()), u"12 am");
  EXPECT_EQ(FormatDateTime(u"yyyy", NAN, EnUS()), u"");
}

TEST(DateTime, LocaleFormats) {
  const TFormatSettings german = TFormatSettings::ForLocale(0x0407);
  const TDateTime value = EncodeDateTime(2024, 3, 5, 14, 7, 9, 0);
  EXPECT_EQ(DateToStr(value, german), u"05.03.2024");
  EXPECT_EQ(TimeToStr(value, german), u"14:07:09");
  EXPECT_EQ(german.DecimalSeparator, u',');
  EXPECT_EQ(german.LongMonthNames[2], u"M\u00e4rz");
  EXPECT_EQ(DateToStr(value, EnUS()), u"3/5/2024");
  EXPECT_EQ(TimeToStr(value, EnUS()), u"2:07:09 PM");
  EXPECT_EQ(EnUS().ShortDayNames[0], u"Sun");
  // The user's default locale is en-US unless the host sets another.
  EXPECT_EQ(DateToStr(value), u"3/5/2024");
}

TEST(DateTime, StrToDateFollowsTheShortDateOrder) {
  const TFormatSettings german = TFormatSettings::ForLocale(0x0407);
  EXPECT_EQ(StrToDate(u"3/5/2024", EnUS()), EncodeDate(2024, 3, 5));
  EXPECT_EQ(StrToDate(u"05.03.2024", german), EncodeDate(2024, 3, 5));
  EXPECT_EQ(StrToDate(u" 12-31-1999 ", EnUS()), EncodeDate(1999, 12, 31));
  TDateTime value;
  for (const char16_t* bad : {u"", u"2/30/2024", u"1/2/3/4", u"a/b/c", u"13/1/2024", u"1//"}) {
    EXPECT_FALSE(TryStrToDate(bad, value, EnUS())) << static_cast<int>(bad[0]);
  }
  EXPECT_THROW(StrToDate(u"x", EnUS()), EConvertError);
  // Two-digit years fall in the window around the current year.
  TDateParts now;
  TryDecodeDateTime(Now(), now);
  ASSERT_TRUE(TryStrToDate(u"1/2/05", value, EnUS()));
  TDateParts parts;
  TryDecodeDateTime(value, parts);
  EXPECT_EQ(parts.year % 100, 5);
  EXPECT_LE(std::abs(parts.year - now.year), 100);
}

TEST(DateTime, ClockConversions) {
  const int64_t seconds = 1700000000;  // 2023-11-14 UTC
  const TDateTime local = UnixToDateTime(seconds);
  EXPECT_EQ(DateTimeToUnix(local), seconds);
  EXPECT_NEAR(local, 45244.9, 1.0);  // within a day of the UTC date whatever the zone
  const TDateTime now = Now();
  EXPECT_GT(now, 45000);
  EXPECT_EQ(Date(), std::trunc(Now()));
}

}  // namespace
}  // namespace qn::platform
