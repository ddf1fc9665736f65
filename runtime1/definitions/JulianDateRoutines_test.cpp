#include "runtime1/definitions/JulianDateRoutines.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "runtime1/files/Wingenok.h"

namespace qn {
namespace {

class JulianDates : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = UserDefaultFormatSettings;
    UserDefaultFormatSettings = platform::TFormatSettings::ForLocale(0x0409);
  }
  void TearDown() override { UserDefaultFormatSettings = saved_; }

 private:
  platform::TFormatSettings saved_;
};

TYearMonthDay TodayYmd() {
  int32_t y = 0, m = 0, d = 0;
  platform::DecodeDate(platform::Date(), y, m, d);
  return {y, m, d};
}

// Expected values computed independently: Python's date(y + 4500, m, d).toordinal() + 1721424.5.
TEST_F(JulianDates, StoredValuesOfDatesInBothCalendarsKeepTheOffsetEncoding) {
  struct Case {
    TYearMonthDay ymd;
    double julian;
  };
  const Case cases[] = {
      {{2000, 2, 28}, 4095194.5}, {{2000, 3, 1}, 4095195.5},   {{1999, 12, 31}, 4095135.5},
      {{-500, 6, 15}, 3182195.5}, {{1605, 7, 1}, 3951046.5},   {{-4001, 1, 1}, 1903316.5},
      {{-4499, 1, 1}, 1721425.5}, {{5499, 12, 31}, 5373483.5}, {{1900, 2, 28}, 4058669.5},
      {{1900, 3, 1}, 4058671.5},  {{1600, 2, 28}, 3949097.5},  {{-400, 2, 28}, 3218612.5},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(YearMonthDayToJulianAddingConst(c.ymd), c.julian) << c.ymd.year << "-" << c.ymd.month;
    EXPECT_EQ(JulianDateToYearMonthDayRemovingConst(c.julian), c.ymd) << c.julian;
  }
  // Month and day are clamped before conversion.
  EXPECT_EQ(YearMonthDayToJulianAddingConst({1999, 13, 40}), 4095135.5);
}

TEST_F(JulianDates, LeapDaysFollowTheTrueCalendar) {
  // 29 February of years divisible by 400: 28 February's value plus one half.
  EXPECT_EQ(YearMonthDayToJulianAddingConst({2000, 2, 29}), 4095195.0);
  EXPECT_EQ(YearMonthDayToJulianAddingConst({1600, 2, 29}), 3949098.0);
  EXPECT_EQ(YearMonthDayToJulianAddingConst({-400, 2, 29}), 3218613.0);
  EXPECT_EQ(JulianDateToYearMonthDayRemovingConst(4095195.0), (TYearMonthDay{2000, 2, 29}));
  EXPECT_EQ(JulianDateToYearMonthDayRemovingConst(3218613.0), (TYearMonthDay{-400, 2, 29}));
  // Centuries that are not leap years have no 29 February, whatever the offset year says.
  EXPECT_EQ(YearMonthDayToJulianAddingConst({1900, 2, 29}), 0.0);
  EXPECT_EQ(YearMonthDayToJulianAddingConst({-100, 2, 29}), 0.0);
  // Such a date written by older versions still reads back as it was written.
  EXPECT_EQ(JulianDateToYearMonthDayRemovingConst(4058670.5), (TYearMonthDay{1900, 2, 29}));
  EXPECT_EQ(JulianToStringRemovingConst(tlpb_days, false, 4058670.5), u"1900/Feb/29");
  EXPECT_EQ(YearMonthDayToJulianAddingConst({2012, 2, 30}), 0.0);
  EXPECT_NE(YearMonthDayToJulianAddingConst({2012, 2, 29}), 0.0);
  EXPECT_EQ(YearMonthDayToJulianAddingConst({-4500, 12, 31}), 0.0);
  EXPECT_EQ(YearMonthDayToJulianAddingConst({5500, 1, 1}), 0.0);
  EXPECT_EQ(YearMonthDayToJulianAddingConst({std::numeric_limits<int32_t>::max(), 1, 1}), 0.0);
  EXPECT_EQ(YearMonthDayToJulianAddingConst({std::numeric_limits<int32_t>::min(), 1, 1}), 0.0);
}

// Every day of the years around the leap-year edges converts to a value that
// reads back as itself, and the values keep the dates' order.
TEST_F(JulianDates, EveryDayAroundTheEdgesRoundTripsInOrder) {
  for (int32_t year : {-4499, -4001, -401, -400, -100, 0, 1500, 1600, 1900, 2000, 2400, 5499}) {
    double previous = 0;
    int days = 0;
    for (int32_t month = 1; month <= 12; ++month) {
      for (int32_t day = 1; day <= TrueDaysInMonth(year, month); ++day) {
        const TYearMonthDay ymd{year, month, day};
        const double julian = YearMonthDayToJulianAddingConst(ymd);
        ASSERT_NE(julian, 0.0) << year << "-" << month << "-" << day;
        ASSERT_EQ(JulianDateToYearMonthDayRemovingConst(julian), ymd) << julian;
        ASSERT_GT(julian, previous);
        previous = julian;
        ++days;
      }
    }
    EXPECT_EQ(days, IsTrueLeapYear(year) ? 366 : 365) << year;
  }
}

TEST_F(JulianDates, NoDateAndUnconvertibleValuesGiveTheClearedDate) {
  const TYearMonthDay cleared{-4001, 1, 1};
  EXPECT_EQ(AClearYearMonthDayRec(), cleared);
  TYearMonthDay ymd{1999, 3, 7};
  ClearAYearMonthDayRec(ymd);
  EXPECT_EQ(ymd, cleared);
  for (double bad : {0.0, std::nan(""), std::numeric_limits<double>::infinity(),
                     -std::numeric_limits<double>::infinity(), 1721425.0, 5373484.5, -1e300, 1e300}) {
    EXPECT_EQ(JulianDateToYearMonthDayRemovingConst(bad), cleared) << bad;
    EXPECT_EQ(JulianToStringRemovingConst(tlpb_days, false, bad), u"??") << bad;
    EXPECT_EQ(JulianToStringRemovingConst(tlpb_years, true, bad), u"??") << bad;
  }
}

TEST_F(JulianDates, DateTimesConvertWithTheirCalendarDate) {
  EXPECT_EQ(DateTimeToJulianAddingConst(platform::EncodeDate(1999, 12, 31) + 0.75), 4095135.5);
  EXPECT_EQ(DateTimeToJulianAddingConst(platform::EncodeDate(2000, 2, 29)), 4095195.0);
  EXPECT_EQ(DateTimeToJulianAddingConst(platform::EncodeDate(5500, 1, 1)), 0.0);
  EXPECT_EQ(DateTimeToJulianAddingConst(std::nan("")), 0.0);
  // Before 1899-12-30 the platform counts the time of day backwards: -1.25 is 29 December 06:00.
  EXPECT_EQ(DateTimeToJulianAddingConst(-1.25), YearMonthDayToJulianAddingConst({1899, 12, 29}));

  EXPECT_EQ(DateToYearMonthDay(false, platform::EncodeDate(1999, 3, 7)), (TYearMonthDay{1999, 3, 7}));
  EXPECT_EQ(DateToYearMonthDayRemovingConst(platform::EncodeDate(6499, 3, 7)), (TYearMonthDay{1999, 3, 7}));
  EXPECT_EQ(DateToYearMonthDay(false, std::nan("")), TodayYmd());

  EXPECT_EQ(YearMonthDayToJulianDateSemConvertir({1999, 12, 31}), 2451543.5);
  EXPECT_EQ(YearMonthDayToJulianDateSemConvertir({1999, 2, 30}), platform::Date() + kJulianOfDateTimeZero);
}

TEST_F(JulianDates, FullLabels) {
  EXPECT_EQ(TimeLineBasisFormatString(tlpb_centuries), u"yyyy");
  EXPECT_EQ(TimeLineBasisFormatString(tlpb_months), u"yyyy/mmm");
  EXPECT_EQ(TimeLineBasisFormatString(tlpb_weeks), u"yyyy/mmm/dd");
  EXPECT_EQ(TimeLineBasisFormatString(tlpb_hours), u"yyyy/mmm/dd hh");
  EXPECT_EQ(TimeLineBasisFormatString(tlpb_custom), u"yyyy/mmm/dd hh:nn");

  EXPECT_EQ(YearMonthDayAsString({1999, 3, 7}, tlpb_days), u"1999/Mar/07");
  EXPECT_EQ(YearMonthDayAsString({-350, 1, 1}, tlpb_years), u"-0350");
  EXPECT_EQ(YearMonthDayAsString({850, 1, 1}, tlpb_months), u"0850/Jan");
  EXPECT_EQ(YearMonthDayAsString({12345, 5, 2}, tlpb_unknown), u"12345/May/02 00:00");
  EXPECT_EQ(YearMonthDayAsString({2001, 2, 29}, tlpb_days), u"2001/Feb/29");  // exists in 2000
  EXPECT_EQ(YearMonthDayAsString({2001, 2, 30}, tlpb_years), u"??");
  EXPECT_EQ(YearMonthDayAsString({2001, 13, 1}, tlpb_years), u"??");

  EXPECT_EQ(JulianToStringRemovingConst(tlpb_days, false, 4095195.0), u"2000/Feb/29");
  EXPECT_EQ(JulianToStringRemovingConst(tlpb_months, false, 3182195.5), u"-0500/Jun");
  EXPECT_EQ(JulianToStringRemovingConst(tlpb_days, false, 1903316.5), u"??");  // the cleared date
}

TEST_F(JulianDates, AbbreviatedLabelsShowTheDatesOwnYearAndQuarterMonths) {
  EXPECT_EQ(AbbreviatedYearMonthDayAsString({1990, 1, 1}, tlpb_decades), u"1990");
  EXPECT_EQ(AbbreviatedYearMonthDayAsString({-1000, 1, 1}, tlpb_millennia), u"-1000");
  EXPECT_EQ(AbbreviatedYearMonthDayAsString({1999, 5, 1}, tlpb_years), u"99");
  EXPECT_EQ(AbbreviatedYearMonthDayAsString({2005, 5, 1}, tlpb_years), u"05");
  EXPECT_EQ(AbbreviatedYearMonthDayAsString({-350, 5, 1}, tlpb_years), u"-50");
  EXPECT_EQ(AbbreviatedYearMonthDayAsString({1999, 3, 7}, tlpb_months), u"Mar");
  EXPECT_EQ(AbbreviatedYearMonthDayAsString({1999, 3, 7}, tlpb_days), u"7");
  EXPECT_EQ(AbbreviatedYearMonthDayAsString({1999, 3, 7}, tlpb_hours), u"0");
  EXPECT_EQ(AbbreviatedYearMonthDayAsString({1999, 3, 7}, tlpb_custom), u"99/Mar/07 00:00");
  // Quarters of the month: (day - 1) * 4 div days in month + 1.
  EXPECT_EQ(AbbreviatedYearMonthDayAsString({2001, 2, 1}, tlpb_weeks), u"1");
  EXPECT_EQ(AbbreviatedYearMonthDayAsString({2001, 2, 8}, tlpb_weeks), u"2");
  EXPECT_EQ(AbbreviatedYearMonthDayAsString({2001, 2, 15}, tlpb_weeks), u"3");
  EXPECT_EQ(AbbreviatedYearMonthDayAsString({2001, 2, 28}, tlpb_weeks), u"4");
  EXPECT_EQ(AbbreviatedYearMonthDayAsString({2000, 1, 31}, tlpb_weeks), u"4");
  EXPECT_EQ(AbbreviatedYearMonthDayAsString({2001, 2, 29}, tlpb_weeks), u"4");
  EXPECT_EQ(AbbreviatedYearMonthDayAsString({1999, 4, 31}, tlpb_days), u"??");
  EXPECT_EQ(JulianToStringRemovingConst(tlpb_years, true, 4095135.5), u"99");
}

TEST_F(JulianDates, PatternsFilledFromARecord) {
  const TYrMmDyHrMn rec{1999, 3, 7, 5, 9};
  EXPECT_EQ(StringFromTYrMmDyHrMn(rec, u"yyyy-mm-dd h:nn"), u"1999-03-07 5:09");
  EXPECT_EQ(StringFromTYrMmDyHrMn(rec, u"d/m/yy"), u"7/3/1999");
  EXPECT_EQ(StringFromTYrMmDyHrMn({7, 3, 7, 5, 9}, u"yy|yyyy"), u"07|0007");
  EXPECT_EQ(StringFromTYrMmDyHrMn(rec, u"[yyy][mmm][ddddd]x"), u"[][][]x");
  EXPECT_EQ(StringFromTYrMmDyHrMn(rec, u"HH YY"), u"HH YY");
}

TEST_F(JulianDates, TextsReadWithAPattern) {
  EXPECT_EQ(DatefromUsersString(u"07/12/99", u"dd/mm/yy"), (TYrMmDyHrMn{2099, 12, 7, 0, 0}));
  EXPECT_EQ(DatefromUsersString(u"1605-03-04 17:45", u"yyyy-mm-dd hh:nn"), (TYrMmDyHrMn{1605, 3, 4, 17, 45}));
  EXPECT_EQ(DatefromUsersString(u"7/12/99", u"dd/mm/yy"), (TYrMmDyHrMn{}));
  // Unreadable parts become the lower limits; too large values the upper ones.
  EXPECT_EQ(DatefromUsersString(u"xx/99/ab 77:88", u"dd/mm/yy hh:nn"), (TYrMmDyHrMn{0, 12, 1, 23, 59}));
  EXPECT_EQ(DatefromUsersString(u"-500", u"yyyy"), (TYrMmDyHrMn{0, 1, 1, 0, 0}));
  EXPECT_EQ(DatefromUsersString(u"123", u"mmm"), (TYrMmDyHrMn{0, 1, 1, 0, 0}));
}

TEST_F(JulianDates, DatesTypedByUsers) {
  const double start = YearMonthDayToJulianAddingConst(AClearYearMonthDayRec());
  EXPECT_EQ(start, 1903316.5);
  EXPECT_EQ(UserStrDateAndTimeParsed(u"1605"), 3951046.5);
  EXPECT_EQ(UserStrDateAndTimeParsed(u"  1605 "), 3951046.5);
  EXPECT_EQ(UserStrDateAndTimeParsed(u"-500/6/15"), 3182195.5);
  EXPECT_EQ(UserStrDateAndTimeParsed(u"2000/2/29"), 4095195.0);
  for (const char16_t* text : {u"1605/13/01", u"1900/2/29", u"1999/4/31", u"abcd", u"850", u"<no date found>",
                               u"1999/3", u"1999/3/7/1", u"1999/x/7", u"0x7D0", u"99999", u"12345678901"}) {
    EXPECT_EQ(UserStrDateAndTimeParsed(text), start) << std::string(text, text + std::char_traits<char16_t>::length(text));
  }
}

TEST_F(JulianDates, PeriodsStartAndEndOnFloorMultiples) {
  EXPECT_EQ(StartOfPeriod({1999, 5, 20}, tlpb_decades), (TYearMonthDay{1990, 1, 1}));
  EXPECT_EQ(EndOfPeriod({1999, 5, 20}, tlpb_decades), (TYearMonthDay{1999, 12, 31}));
  EXPECT_EQ(StartOfPeriod({-1234, 5, 20}, tlpb_millennia), (TYearMonthDay{-2000, 1, 1}));
  EXPECT_EQ(EndOfPeriod({-1234, 5, 20}, tlpb_millennia), (TYearMonthDay{-1001, 12, 31}));
  EXPECT_EQ(StartOfPeriod({-1, 5, 20}, tlpb_centuries), (TYearMonthDay{-100, 1, 1}));
  EXPECT_EQ(EndOfPeriod({-1, 5, 20}, tlpb_centuries), (TYearMonthDay{-1, 12, 31}));
  EXPECT_EQ(StartOfPeriod({1234, 5, 20}, tlpb_millennia), (TYearMonthDay{1000, 1, 1}));
  EXPECT_EQ(StartOfPeriod({1234, 5, 20}, tlpb_years), (TYearMonthDay{1234, 1, 1}));
  EXPECT_EQ(StartOfPeriod({1234, 5, 20}, tlpb_weeks), (TYearMonthDay{1234, 5, 1}));
  EXPECT_EQ(StartOfPeriod({1234, 5, 20}, tlpb_hours), (TYearMonthDay{1234, 5, 20}));
  EXPECT_EQ(EndOfPeriod({-350, 1, 1}, tlpb_years), (TYearMonthDay{-350, 12, 31}));
  // The last day of February follows the true calendar and converts.
  EXPECT_EQ(EndOfPeriod({2000, 2, 10}, tlpb_months), (TYearMonthDay{2000, 2, 29}));
  EXPECT_NE(YearMonthDayToJulianAddingConst(EndOfPeriod({2000, 2, 10}, tlpb_months)), 0.0);
  EXPECT_EQ(EndOfPeriod({1900, 2, 10}, tlpb_weeks), (TYearMonthDay{1900, 2, 28}));
  // Only a date that cannot exist ends its period today; huge years never overflow.
  EXPECT_EQ(EndOfPeriod({2001, 2, 30}, tlpb_days), TodayYmd());
  EXPECT_EQ(EndOfPeriod({std::numeric_limits<int32_t>::max(), 1, 1}, tlpb_millennia), TodayYmd());
  const TYearMonthDay huge{std::numeric_limits<int32_t>::min(), 1, 1};
  EXPECT_EQ(StartOfPeriod(huge, tlpb_millennia), huge);
}

TEST_F(JulianDates, PeriodCountsAndIndices) {
  const TYearMonthDay jan1{2003, 1, 1}, jan31{2003, 1, 31};
  EXPECT_EQ(PeriodsBetween(jan1, jan31, tlpb_days), 31);
  EXPECT_EQ(PeriodsBetween(jan1, jan31, tlpb_weeks), 4);
  EXPECT_EQ(PeriodsBetween(jan1, jan31, tlpb_months), 1);
  EXPECT_EQ(PeriodNumberFor(jan1, jan31, tlpb_weeks), 3);
  EXPECT_EQ(PeriodNumberFor(jan1, jan31, tlpb_days), 30);
  // Spans that divide evenly: the index of the last date is below the count.
  EXPECT_EQ(PeriodNumberFor({2001, 1, 1}, {2005, 1, 1}, tlpb_years), 4);
  EXPECT_EQ(PeriodsBetween({2001, 1, 1}, {2005, 1, 1}, tlpb_years), 5);
  EXPECT_EQ(PeriodNumberFor({2001, 1, 1}, {2002, 5, 3}, tlpb_months), 16);
  EXPECT_EQ(PeriodsBetween({2001, 1, 1}, {2002, 5, 3}, tlpb_months), 17);
  EXPECT_EQ(PeriodNumberFor({2001, 1, 1}, {2002, 5, 3}, tlpb_weeks), 64);
  EXPECT_EQ(PeriodsBetween({2001, 1, 1}, {2002, 5, 3}, tlpb_weeks), 68);
  EXPECT_EQ(PeriodsBetween(jan1, jan1, tlpb_years), 1);
  // True day counts across the leap-year edges.
  EXPECT_EQ(PeriodsBetween({2000, 1, 1}, {2000, 12, 31}, tlpb_days), 366);
  EXPECT_EQ(PeriodsBetween({1900, 1, 1}, {1900, 12, 31}, tlpb_days), 365);
  EXPECT_EQ(PeriodNumberFor({2000, 2, 28}, {2000, 3, 1}, tlpb_days), 2);
  EXPECT_EQ(PeriodNumberFor({1600, 2, 28}, {1600, 3, 1}, tlpb_days), 2);
  EXPECT_EQ(PeriodNumberFor({1900, 2, 28}, {1900, 3, 1}, tlpb_days), 1);
  // By years of the calendar; other bases are one period.
  EXPECT_EQ(PeriodsBetween({1990, 1, 1}, {2005, 6, 1}, tlpb_decades), 2);
  EXPECT_EQ(PeriodNumberFor({-2000, 1, 1}, {-1234, 6, 1}, tlpb_millennia), 0);
  EXPECT_EQ(PeriodsBetween({-4499, 1, 1}, {5499, 12, 31}, tlpb_centuries), 100);
  EXPECT_EQ(PeriodsBetween({std::numeric_limits<int32_t>::min(), 1, 1}, {std::numeric_limits<int32_t>::max(), 1, 1},
                           tlpb_decades),
            429496730);
  EXPECT_EQ(PeriodsBetween(jan1, jan31, tlpb_hours), 1);
  EXPECT_EQ(PeriodNumberFor(jan1, jan31, tlpb_custom), 0);
  // Dates that do not exist: one period.
  EXPECT_EQ(PeriodsBetween(jan1, {1900, 2, 29}, tlpb_days), 1);
  EXPECT_EQ(PeriodNumberFor(jan1, {1900, 2, 29}, tlpb_days), 0);
}

TEST_F(JulianDates, IndexIsAlwaysBelowTheCount) {
  std::mt19937 random(20261209);
  std::uniform_int_distribution<int32_t> year(kFirstJulianYear, kLastJulianYear), month(1, 12), day(1, 28);
  for (int i = 0; i < 20000; ++i) {
    const TYearMonthDay a{year(random), month(random), day(random)};
    const TYearMonthDay b{i % 2 ? a.year + (i % 7) : year(random), month(random), day(random)};
    for (int basis = 0; basis < kTimeLinePlotbaseCount; ++basis) {
      const auto base = static_cast<TTimeLinePlotbase>(basis);
      const int32_t index = PeriodNumberFor(a, b, base);
      const int32_t count = PeriodsBetween(a, b, base);
      ASSERT_GE(index, 0);
      ASSERT_LT(index, count) << a.year << "-" << a.month << "-" << a.day << " " << b.year << "-" << b.month << "-"
                              << b.day << " basis " << basis;
    }
  }
}

TEST_F(JulianDates, BasisNames) {
  EXPECT_EQ(TimeLinePlotbaseName(tlpb_unknown), u"unknown");
  EXPECT_EQ(TimeLinePlotbaseName(tlpb_datafield), u"data field");
  EXPECT_EQ(TimeLinePlotbaseName(tlpb_spare), u"spare");
  EXPECT_EQ(TimeLinePlotbaseName(static_cast<TTimeLinePlotbase>(12)), u"");
}

}  // namespace
}  // namespace qn
