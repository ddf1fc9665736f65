// Date-time values: days since 30 December 1899 as a double, in local time,
// with the time of day as the fraction (0.5 is noon).
//
// Values before 1899-12-30 are negative; as in the stored files of the tools,
// their integer part counts the days and the absolute value of the fraction is
// the time of day (-1.25 is 29 December 1899, 06:00). The calendar is the
// proleptic Gregorian one, years 1 to 9999.
//
// FormatDateTime patterns (letters in any case unless noted):
//   c      ShortDateFormat, then LongTimeFormat unless the time is midnight
//   d dd   day 1..31 / 01..31        ddd dddd  short / long day name
//   ddddd  ShortDateFormat           dddddd    LongDateFormat
//   m mm   month 1..12 / 01..12 (minutes when right after h or hh)
//   mmm mmmm  short / long month name
//   yy yyyy  two-digit / four-digit year
//   h hh   hour 0..23 (0..12 with an am/pm marker in the pattern)
//   n nn   minute                   s ss   second      z zzz  milliseconds
//   t tt   ShortTimeFormat / LongTimeFormat
//   am/pm  "am" or "pm" (letter case as written)   a/p  "a" or "p"
//   ampm   TimeAMString or TimePMString
//   /      DateSeparator            :      TimeSeparator
//   "..." '...'  literal text        anything else is copied
// Locale date patterns of the form the platform gives them (M for month, H for
// 24-hour) are understood too: ForLocale turns them into this form.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "platform/Export.h"
#include "platform/Format.h"

namespace qn::platform {

using TDateTime = double;

// Days between 0001-01-01 and 1899-12-30, and between 1970-01-01 and 1899-12-30.
inline constexpr int32_t kDateDelta = 693594;
inline constexpr int32_t kUnixDateDelta = 25569;

QN_API bool IsLeapYear(int32_t year) noexcept;
// 28..31; 0 for a month outside 1..12.
QN_API int32_t DaysInMonth(int32_t year, int32_t month) noexcept;

// Date from year, month, day; false (date unchanged) for a date that does not
// exist or lies outside years 1..9999.
QN_API bool TryEncodeDate(int32_t year, int32_t month, int32_t day, TDateTime& date) noexcept;
// Raises EConvertError ("Invalid argument to date encode") for such a date.
QN_API TDateTime EncodeDate(int32_t year, int32_t month, int32_t day);
// Time fraction from hour 0..23, minute, second 0..59, millisecond 0..999.
QN_API bool TryEncodeTime(int32_t hour, int32_t minute, int32_t second, int32_t millisecond,
                          TDateTime& time) noexcept;
// Raises EConvertError ("Invalid argument to time encode").
QN_API TDateTime EncodeTime(int32_t hour, int32_t minute, int32_t second, int32_t millisecond);
// Date plus time (for negative dates the time is subtracted, see above).
QN_API TDateTime EncodeDateTime(int32_t year, int32_t month, int32_t day, int32_t hour,
                                int32_t minute, int32_t second, int32_t millisecond);

struct TDateParts {
  int32_t year = 0, month = 0, day = 0;
  int32_t hour = 0, minute = 0, second = 0, millisecond = 0;
  int32_t dayOfWeek = 0;  // 1 Sunday .. 7 Saturday
};

// Calendar date of value; false (all parts 0) when the value is not a finite
// number inside years 1..9999.
QN_API bool TryDecodeDateTime(TDateTime value, TDateParts& parts) noexcept;
// The same; a value that cannot be decoded gives year, month and day 0.
QN_API void DecodeDate(TDateTime value, int32_t& year, int32_t& month, int32_t& day) noexcept;
QN_API void DecodeTime(TDateTime value, int32_t& hour, int32_t& minute, int32_t& second,
                       int32_t& millisecond) noexcept;
// 1 for Sunday .. 7 for Saturday.
QN_API int32_t DayOfWeek(TDateTime value) noexcept;

// The date part (whole days) and the time part (the fraction, always >= 0).
QN_API TDateTime DateOf(TDateTime value) noexcept;
QN_API TDateTime TimeOf(TDateTime value) noexcept;

// The current local date and time, today's date, the time of day.
QN_API TDateTime Now();
QN_API TDateTime Date();
QN_API TDateTime Time();

// Conversions with the system clock: seconds (and nanoseconds) since
// 1970-01-01 UTC to local date-time, as file times are shown; and back.
QN_API TDateTime UnixToDateTime(int64_t seconds, int32_t nanoseconds = 0);
QN_API int64_t DateTimeToUnix(TDateTime value);

// Formats value with a pattern (see the header comment), under settings (the
// user's locale unless given).
QN_API std::u16string FormatDateTime(std::u16string_view pattern, TDateTime value,
                                     const TFormatSettings& settings);
QN_API std::u16string FormatDateTime(std::u16string_view pattern, TDateTime value);

// ShortDateFormat; LongTimeFormat; "c" (date, then time unless midnight).
QN_API std::u16string DateToStr(TDateTime value, const TFormatSettings& settings);
QN_API std::u16string DateToStr(TDateTime value);
QN_API std::u16string TimeToStr(TDateTime value, const TFormatSettings& settings);
QN_API std::u16string TimeToStr(TDateTime value);
QN_API std::u16string DateTimeToStr(TDateTime value, const TFormatSettings& settings);
QN_API std::u16string DateTimeToStr(TDateTime value);

// Reads a date written in the order of ShortDateFormat (day, month and year as
// numbers separated by DateSeparator, or by '/', '-', '.' or blanks; a missing
// year is the current one; two-digit years by TwoDigitYearCenturyWindow).
QN_API bool TryStrToDate(std::u16string_view text, TDateTime& value,
                         const TFormatSettings& settings) noexcept;
// Raises EConvertError ("'abc' is not a valid date").
QN_API TDateTime StrToDate(std::u16string_view text, const TFormatSettings& settings);
QN_API TDateTime StrToDate(std::u16string_view text);

}  // namespace qn::platform
