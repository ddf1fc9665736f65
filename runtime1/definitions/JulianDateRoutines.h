// Dates of texts, which may lie thousands of years back, and the periods of a
// time-line plot (millennia down to hours).
//
// A text date is stored as a 64-bit float Julian day number taken after
// adding 4,500 years to the true year ("adding the constant"), so that the
// platform calendar (years 1 to 9999) covers true years -4499 to 5499; the
// constant is taken off again when a date is shown ("removing the constant").
// Midnight dates end in .5; 0 means "no date". Years are astronomical: year 0
// exists, and the calendar is the proleptic Gregorian one.
//
// Because 4,500 is not a multiple of 400, the offset year and the true year
// disagree about leap years in the centuries: (y + 4500) is a leap year
// exactly when y mod 400 is 300. Validity is always judged by the true year.
// Every date that exists in both calendars is stored as the offset day
// number. The one true date the offset calendar lacks, 29 February of a year
// divisible by 400, is stored as the value of 28 February plus one half: a
// whole number, which midnight values never are, and which reads back as 29
// February. Day counts between dates always use true day numbers. (A value
// that older versions wrote for 29 February of a year y with y mod 400 = 300,
// which the offset calendar has, still reads back as that date.)
//
// Labels follow the user's default format settings (UserDefaultFormatSettings).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/DateTime.h"
#include "platform/Export.h"
#include "runtime1/definitions/My_types_mini.h"

namespace qn {

// A calendar date with its true year (negative years allowed).
struct TYearMonthDay {
  int32_t year = 0;
  int32_t month = 0;
  int32_t day = 0;
  friend constexpr bool operator==(const TYearMonthDay&, const TYearMonthDay&) = default;
};

struct TYrMmDyHrMn {
  int32_t year = 0;
  int32_t month = 0;
  int32_t day = 0;
  int32_t hour = 0;
  int32_t minute = 0;
  friend constexpr bool operator==(const TYrMmDyHrMn&, const TYrMmDyHrMn&) = default;
};

// The true years the stored encoding covers.
inline constexpr int32_t kFirstJulianYear = -4499;
inline constexpr int32_t kLastJulianYear = 5499;
// The years added before the day number is taken.
inline constexpr int32_t kJulianYearOffset = 4500;
// The Julian day number of date-time 0 (1899-12-30, midnight).
inline constexpr double kJulianOfDateTimeZero = 2415018.5;
// The year of the cleared date, which means "no date".
inline constexpr int32_t kClearedYear = -4001;

// Display names of the time-line bases; localizable (a host may replace them).
extern QN_API std::array<std::u16string, kTimeLinePlotbaseCount> TimeLinePlotbaseStr;
// The name of a basis; empty for a value outside the enumeration.
QN_API std::u16string TimeLinePlotbaseName(TTimeLinePlotbase basis);

// Whether the year is a leap year of the proleptic Gregorian calendar (any year).
QN_API bool IsTrueLeapYear(int32_t year) noexcept;
// Days in a month of a true year; 0 for a month outside 1..12.
QN_API int32_t TrueDaysInMonth(int32_t year, int32_t month) noexcept;
// Whether (year, month, day) is a real date inside the covered years.
QN_API bool IsValidTrueDate(const TYearMonthDay& ymd) noexcept;

// ---- conversions -----------------------------------------------------------

// Month clamped to 1..12 and day to 1..31, then the stored value of the date;
// 0 when the date does not exist or its year lies outside -4499..5499.
QN_API double YearMonthDayToJulianAddingConst(const TYearMonthDay& ymd) noexcept;
// The same without the offset (years 1..9999); today's Julian day number when
// the date does not exist.
QN_API double YearMonthDayToJulianDateSemConvertir(const TYearMonthDay& ymd);
// The stored value of the calendar date of a date-time (time of day dropped);
// 0 when the value is not a date or its year lies beyond 5499.
QN_API double DateTimeToJulianAddingConst(platform::TDateTime value) noexcept;
// The date a stored value stands for. 0 ("no date"), a value that is not a
// finite number and one outside 1721425.5..5373483.5 give the cleared date.
QN_API TYearMonthDay JulianDateToYearMonthDayRemovingConst(double julian) noexcept;
// The calendar date of a date-time, with 4,500 taken off the year when
// `removing`; today's date when the value cannot be decoded.
QN_API TYearMonthDay DateToYearMonthDay(bool removing, platform::TDateTime value);
QN_API TYearMonthDay DateToYearMonthDayRemovingConst(platform::TDateTime value);

// The cleared date (-4001, 1, 1): "no date".
QN_API void ClearAYearMonthDayRec(TYearMonthDay& ymd) noexcept;
QN_API TYearMonthDay AClearYearMonthDayRec() noexcept;

// ---- formatting ------------------------------------------------------------

// The date pattern of a basis: "yyyy", "yyyy/mmm", "yyyy/mmm/dd",
// "yyyy/mmm/dd hh", or "yyyy/mmm/dd hh:nn" for the other bases.
QN_API std::u16string TimeLineBasisFormatString(TTimeLinePlotbase basis);
// The year with at least four digits and its sign ("-0350"), then the rest of
// the basis pattern ("1999/Mar/07"); "??" when the month and day do not exist
// in a leap year.
QN_API std::u16string YearMonthDayAsString(const TYearMonthDay& ymd, TTimeLinePlotbase basis);
// A short axis label: the year (millennia to decades), its last two digits
// (years), the month's abbreviation (months), the quarter of the month 1..4
// (weeks), the day (days), the hour (hours); other bases "yy/mmm/dd hh:nn"
// with the date's own two-digit year. "??" for a month and day that do not
// exist.
QN_API std::u16string AbbreviatedYearMonthDayAsString(const TYearMonthDay& ymd, TTimeLinePlotbase basis);
// A stored value as a label; "??" for "no date" and for any failure.
QN_API std::u16string JulianToStringRemovingConst(TTimeLinePlotbase basis, bool abbreviated, double julian);
// The pattern with each run of y, m, d, h, n replaced: "yy" and "yyyy" by the
// year with at least two or four digits; one or two letters m, d, h, n by the
// month, day, hour or minute ("%d" or "%.2d"). Runs of other lengths vanish.
QN_API std::u16string StringFromTYrMmDyHrMn(const TYrMmDyHrMn& rec, std::u16string_view format);

// ---- parsing ---------------------------------------------------------------

// Reads text laid out as the pattern (same length, runs as above; "yy" adds
// 2000). Unreadable parts become the lower limit of their field: year 0..
// 2147483647, month 1..12, day 1..31, hour 0..23, minute 0..59. Texts of
// another length give all fields 0.
QN_API TYrMmDyHrMn DatefromUsersString(std::u16string_view text, std::u16string_view format);
// A date a user typed: a year alone (taken as 1 July) or year/month/day, as
// a stored value; the stored value of the cleared date for anything else
// (texts of 3 characters or fewer, texts holding "<", dates that do not exist).
QN_API double UserStrDateAndTimeParsed(std::u16string_view text);

// ---- periods ---------------------------------------------------------------

// The first day of the period that holds the date. Periods of years start at
// multiples of their length counted from year 0 (so -1234 lies in the
// millennium -2000..-1001). Days, hours and other bases give the date itself,
// as does a year outside -4499..5499.
QN_API TYearMonthDay StartOfPeriod(const TYearMonthDay& ymd, TTimeLinePlotbase basis);
// The last day of that period; today's date when the date does not exist.
QN_API TYearMonthDay EndOfPeriod(const TYearMonthDay& ymd, TTimeLinePlotbase basis);
// How many periods the span from ymd to ymd2 touches: always more than the
// largest PeriodNumberFor of a date in the span, and at least 1. Years,
// months and weeks are 365.25, 30.4375 and 30.4375/4 days long. When either
// date does not exist, 1 for bases finer than decades.
QN_API int32_t PeriodsBetween(const TYearMonthDay& ymd, const TYearMonthDay& ymd2, TTimeLinePlotbase basis);
// The 0-based period of ymd2 counted from ymd; 0 for other bases and for
// dates that do not exist.
QN_API int32_t PeriodNumberFor(const TYearMonthDay& ymd, const TYearMonthDay& ymd2, TTimeLinePlotbase basis);

}  // namespace qn
