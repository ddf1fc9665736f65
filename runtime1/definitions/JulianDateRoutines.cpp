#include "runtime1/definitions/JulianDateRoutines.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "platform/Format.h"
#include "runtime1/files/Wingenok.h"

namespace qn {

std::array<std::u16string, kTimeLinePlotbaseCount> TimeLinePlotbaseStr = {
    u"unknown", u"millennia", u"centuries", u"decades", u"years",  u"months",
    u"weeks",   u"days",      u"hours",     u"data field", u"custom", u"spare",
};

namespace {

// The stored range: 0001-01-01 and 9999-12-31 of the offset calendar.
constexpr double kFirstStoredValue = 1721425.5;
constexpr double kLastStoredValue = 5373483.5;
constexpr double kDaysPerYear = 365.25;
constexpr double kDaysPerMonth = 30.4375;

bool YearCovered(int64_t year) noexcept { return year >= kFirstJulianYear && year <= kLastJulianYear; }

// Days from 1970-01-01 of a proleptic Gregorian date, for any year.
int64_t DaysFromCivil(int64_t year, int32_t month, int32_t day) noexcept {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yoe = year - era * 400;
  const int64_t doy = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

int64_t FloorDiv(int64_t a, int64_t b) noexcept {
  const int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// The date the stored conversion uses: month and day clamped as it clamps them.
TYearMonthDay Clamped(const TYearMonthDay& ymd) noexcept {
  return {ymd.year, std::clamp(ymd.month, 1, 12), std::clamp(ymd.day, 1, 31)};
}

// The true day number of a date as the stored conversion reads it; false when
// that date does not exist.
bool StoredDayNumber(const TYearMonthDay& ymd, int64_t& dayNumber) noexcept {
  const TYearMonthDay c = Clamped(ymd);
  if (!IsValidTrueDate(c)) return false;
  dayNumber = DaysFromCivil(c.year, c.month, c.day);
  return true;
}

TYearMonthDay Today() {
  int32_t y = 0, m = 0, d = 0;
  platform::DecodeDate(platform::Date(), y, m, d);
  return {y, m, d};
}

std::u16string Trimmed(std::u16string_view text) {
  size_t first = 0, last = text.size();
  while (first < last && text[first] <= u' ') ++first;
  while (last > first && text[last - 1] <= u' ') --last;
  return std::u16string(text.substr(first, last - first));
}

// A whole decimal number with an optional sign and nothing else; false when
// the text is not one or does not fit in 32 bits.
bool ParseWhole(std::u16string_view text, int64_t& value) noexcept {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
  if (i == text.size()) return false;
  int64_t n = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < u'0' || text[i] > u'9') return false;
    n = n * 10 + (text[i] - u'0');
    if (n > int64_t{std::numeric_limits<int32_t>::max()} + 1) return false;
  }
  value = negative ? -n : n;
  return value >= std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max();
}

bool IsDateLetter(char16_t c) noexcept { return c == u'y' || c == u'm' || c == u'd' || c == u'h' || c == u'n'; }

size_t RunLength(std::u16string_view text, size_t at) noexcept {
  size_t end = at;
  while (end < text.size() && text[end] == text[at]) ++end;
  return end - at;
}

std::u16string Number(std::u16string_view pattern, int64_t value) {
  return platform::FormatWith(UserDefaultFormatSettings, pattern, value);
}

// The last two digits of a year, its sign kept ("99", "-50").
std::u16string TwoDigitYear(int32_t year) {
  const int64_t digits = std::llabs(int64_t{year}) % 100;
  std::u16string result(year < 0 ? u"-" : u"");
  result += Number(u"%.2d", digits);
  return result;
}

}  // namespace

std::u16string TimeLinePlotbaseName(TTimeLinePlotbase basis) {
  return basis < kTimeLinePlotbaseCount ? TimeLinePlotbaseStr[basis] : std::u16string();
}

bool IsTrueLeapYear(int32_t year) noexcept {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int32_t TrueDaysInMonth(int32_t year, int32_t month) noexcept {
  static constexpr int32_t kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsTrueLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsValidTrueDate(const TYearMonthDay& ymd) noexcept {
  return YearCovered(ymd.year) && ymd.day >= 1 && ymd.day <= TrueDaysInMonth(ymd.year, ymd.month);
}

// ---- conversions -----------------------------------------------------------

double YearMonthDayToJulianAddingConst(const TYearMonthDay& ymd) noexcept {
  const TYearMonthDay c = Clamped(ymd);
  if (!IsValidTrueDate(c)) return 0;
  const int32_t offsetYear = c.year + kJulianYearOffset;
  platform::TDateTime date = 0;
  if (platform::TryEncodeDate(offsetYear, c.month, c.day, date)) return date + kJulianOfDateTimeZero;
  // 29 February of a year divisible by 400, which the offset calendar lacks.
  if (c.month == 2 && c.day == 29 && platform::TryEncodeDate(offsetYear, 2, 28, date)) {
    return date + kJulianOfDateTimeZero + 0.5;
  }
  return 0;
}

double YearMonthDayToJulianDateSemConvertir(const TYearMonthDay& ymd) {
  const TYearMonthDay c = Clamped(ymd);
  platform::TDateTime date = 0;
  if (!platform::TryEncodeDate(c.year, c.month, c.day, date)) date = platform::Date();
  return date + kJulianOfDateTimeZero;
}

double DateTimeToJulianAddingConst(platform::TDateTime value) noexcept {
  platform::TDateParts parts;
  if (!platform::TryDecodeDateTime(value, parts)) return 0;
  return YearMonthDayToJulianAddingConst({parts.year, parts.month, parts.day});
}

TYearMonthDay JulianDateToYearMonthDayRemovingConst(double julian) noexcept {
  if (!std::isfinite(julian) || julian < kFirstStoredValue || julian > kLastStoredValue) {
    return AClearYearMonthDayRec();
  }
  // Whole days from 1899-12-30 midnight, counted forward in time also before
  // it (the platform's own values count negative days differently).
  const double days = std::floor(julian - kJulianOfDateTimeZero);
  int32_t y = 0, m = 0, d = 0;
  platform::DecodeDate(days, y, m, d);
  if (y == 0) return AClearYearMonthDayRec();
  TYearMonthDay result{y - kJulianYearOffset, m, d};
  if (julian == std::floor(julian) && m == 2 && d == 28 && result.year % 400 == 0) result.day = 29;
  return result;
}

TYearMonthDay DateToYearMonthDay(bool removing, platform::TDateTime value) {
  platform::TDateParts parts;
  if (!platform::TryDecodeDateTime(value, parts)) return Today();
  return {removing ? parts.year - kJulianYearOffset : parts.year, parts.month, parts.day};
}

TYearMonthDay DateToYearMonthDayRemovingConst(platform::TDateTime value) {
  return DateToYearMonthDay(true, value);
}

void ClearAYearMonthDayRec(TYearMonthDay& ymd) noexcept { ymd = {kClearedYear, 1, 1}; }

TYearMonthDay AClearYearMonthDayRec() noexcept { return {kClearedYear, 1, 1}; }

// ---- formatting ------------------------------------------------------------

std::u16string TimeLineBasisFormatString(TTimeLinePlotbase basis) {
  switch (basis) {
    case tlpb_millennia:
    case tlpb_centuries:
    case tlpb_decades:
    case tlpb_years:
      return u"yyyy";
    case tlpb_months:
      return u"yyyy/mmm";
    case tlpb_weeks:
    case tlpb_days:
      return u"yyyy/mmm/dd";
    case tlpb_hours:
      return u"yyyy/mmm/dd hh";
    default:
      return u"yyyy/mmm/dd hh:nn";
  }
}

std::u16string YearMonthDayAsString(const TYearMonthDay& ymd, TTimeLinePlotbase basis) {
  platform::TDateTime date = 0;
  if (!platform::TryEncodeDate(2000, ymd.month, ymd.day, date)) return u"??";
  std::u16string rest = platform::FormatDateTime(TimeLineBasisFormatString(basis), date, UserDefaultFormatSettings);
  rest.erase(0, std::min<size_t>(4, rest.size()));
  return Trimmed(Number(u"%5.4d", ymd.year) + rest);
}

std::u16string AbbreviatedYearMonthDayAsString(const TYearMonthDay& ymd, TTimeLinePlotbase basis) {
  platform::TDateTime date = 0;
  if (!platform::TryEncodeDate(2000, ymd.month, ymd.day, date)) return u"??";
  const auto& settings = UserDefaultFormatSettings;
  switch (basis) {
    case tlpb_millennia:
    case tlpb_centuries:
    case tlpb_decades:
      return Number(u"%.4d", ymd.year);
    case tlpb_years:
      return TwoDigitYear(ymd.year);
    case tlpb_months:
      return platform::FormatDateTime(u"mmm", date, settings);
    case tlpb_weeks: {
      // Weeks are quarters of a month here: 1 to 4.
      const int64_t days = TrueDaysInMonth(ymd.year, ymd.month);
      const int64_t quarter = std::min<int64_t>((int64_t{ymd.day} - 1) * 4 / days + 1, 4);
      return Number(u"%d", quarter);
    }
    case tlpb_days:
      return platform::FormatDateTime(u"d", date, settings);
    case tlpb_hours:
      return platform::FormatDateTime(u"h", date, settings);
    default:
      return TwoDigitYear(ymd.year) + platform::FormatDateTime(u"/mmm/dd hh:nn", date, settings);
  }
}

std::u16string JulianToStringRemovingConst(TTimeLinePlotbase basis, bool abbreviated, double julian) {
  try {
    const TYearMonthDay ymd = JulianDateToYearMonthDayRemovingConst(julian);
    if (ymd.year == kClearedYear) return u"??";
    return abbreviated ? AbbreviatedYearMonthDayAsString(ymd, basis) : YearMonthDayAsString(ymd, basis);
  } catch (const std::exception&) {
    return u"??";
  }
}

std::u16string StringFromTYrMmDyHrMn(const TYrMmDyHrMn& rec, std::u16string_view format) {
  std::u16string result;
  size_t i = 0;
  while (i < format.size()) {
    const char16_t c = format[i];
    if (!IsDateLetter(c)) {
      result += c;
      ++i;
      continue;
    }
    const size_t run = RunLength(format, i);
    i += run;
    if (c == u'y') {
      if (run == 2) result += Number(u"%.2d", rec.year);
      if (run == 4) result += Number(u"%.4d", rec.year);
      continue;
    }
    const int32_t value = c == u'm' ? rec.month : c == u'd' ? rec.day : c == u'h' ? rec.hour : rec.minute;
    if (run == 1) result += Number(u"%d", value);
    if (run == 2) result += Number(u"%.2d", value);
  }
  return result;
}

// ---- parsing ---------------------------------------------------------------

TYrMmDyHrMn DatefromUsersString(std::u16string_view text, std::u16string_view format) {
  TYrMmDyHrMn result;
  if (text.size() != format.size()) return result;
  int64_t year = 0, month = 0, day = 0, hour = 0, minute = 0;
  size_t i = 0;
  while (i < format.size()) {
    const char16_t c = format[i];
    if (!IsDateLetter(c)) {
      ++i;
      continue;
    }
    const size_t run = RunLength(format, i);
    const std::u16string_view part = text.substr(i, run);
    i += run;
    int64_t n = 0;
    const bool number = ParseWhole(part, n);
    if (c == u'y') {
      if (run == 2) year = number ? n + 2000 : -1;
      if (run == 4) year = number ? n : -1;
      continue;
    }
    const int64_t value = number && run <= 2 ? n : -1;
    (c == u'm' ? month : c == u'd' ? day : c == u'h' ? hour : minute) = value;
  }
  result.year = static_cast<int32_t>(std::clamp<int64_t>(year, 0, std::numeric_limits<int32_t>::max()));
  result.month = static_cast<int32_t>(std::clamp<int64_t>(month, 1, 12));
  result.day = static_cast<int32_t>(std::clamp<int64_t>(day, 1, 31));
  result.hour = static_cast<int32_t>(std::clamp<int64_t>(hour, 0, 23));
  result.minute = static_cast<int32_t>(std::clamp<int64_t>(minute, 0, 59));
  return result;
}

double UserStrDateAndTimeParsed(std::u16string_view text) {
  const double start = YearMonthDayToJulianAddingConst(AClearYearMonthDayRec());
  const std::u16string t = Trimmed(text);
  if (t.size() <= 3 || t.find(u'<') != std::u16string::npos) return start;
  int64_t year = 0, month = 7, day = 1;
  if (!ParseWhole(t, year)) {
    const size_t s1 = t.find(u'/');
    const size_t s2 = s1 == std::u16string::npos ? s1 : t.find(u'/', s1 + 1);
    if (s2 == std::u16string::npos || t.find(u'/', s2 + 1) != std::u16string::npos) return start;
    const std::u16string_view all(t);
    if (!ParseWhole(all.substr(0, s1), year) || !ParseWhole(all.substr(s1 + 1, s2 - s1 - 1), month) ||
        !ParseWhole(all.substr(s2 + 1), day)) {
      return start;
    }
  }
  // Accept only a date that exists: the conversion would clamp a month 13.
  if (!YearCovered(year) || month < 1 || month > 12) return start;
  const TYearMonthDay ymd{static_cast<int32_t>(year), static_cast<int32_t>(month),
                          static_cast<int32_t>(std::clamp<int64_t>(day, 0, 32))};
  if (!IsValidTrueDate(ymd)) return start;
  return YearMonthDayToJulianAddingConst(ymd);
}

// ---- periods ---------------------------------------------------------------

TYearMonthDay StartOfPeriod(const TYearMonthDay& ymd, TTimeLinePlotbase basis) {
  auto startOf = [&ymd](int64_t length) {
    return TYearMonthDay{static_cast<int32_t>(FloorDiv(ymd.year, length) * length), 1, 1};
  };
  const bool years = basis == tlpb_millennia || basis == tlpb_centuries || basis == tlpb_decades;
  if (years && !YearCovered(ymd.year)) return ymd;
  switch (basis) {
    case tlpb_millennia:
      return startOf(1000);
    case tlpb_centuries:
      return startOf(100);
    case tlpb_decades:
      return startOf(10);
    case tlpb_years:
      return {ymd.year, 1, 1};
    case tlpb_months:
    case tlpb_weeks:
      return {ymd.year, ymd.month, 1};
    default:
      return ymd;
  }
}

TYearMonthDay EndOfPeriod(const TYearMonthDay& ymd, TTimeLinePlotbase basis) {
  if (!IsValidTrueDate(ymd)) return Today();
  auto endOf = [&ymd](int64_t length) {
    return TYearMonthDay{static_cast<int32_t>(FloorDiv(ymd.year, length) * length + length - 1), 12, 31};
  };
  switch (basis) {
    case tlpb_millennia:
      return endOf(1000);
    case tlpb_centuries:
      return endOf(100);
    case tlpb_decades:
      return endOf(10);
    case tlpb_years:
      return {ymd.year, 12, 31};
    case tlpb_months:
    case tlpb_weeks:
      return {ymd.year, ymd.month, TrueDaysInMonth(ymd.year, ymd.month)};
    default:
      return ymd;
  }
}

namespace {

// The period index and count of a span; both from the same quotient so that
// the index is always below the count.
struct TPeriodSpan {
  int32_t index = 0;
  int32_t count = 1;
};

TPeriodSpan SpanOf(const TYearMonthDay& ymd, const TYearMonthDay& ymd2, TTimeLinePlotbase basis) {
  const auto byYears = [&](int64_t length) {
    const int64_t q = std::llabs(int64_t{ymd2.year} - int64_t{ymd.year}) / length;
    return TPeriodSpan{static_cast<int32_t>(q), static_cast<int32_t>(q + 1)};
  };
  switch (basis) {
    case tlpb_millennia:
      return byYears(1000);
    case tlpb_centuries:
      return byYears(100);
    case tlpb_decades:
      return byYears(10);
    case tlpb_years:
    case tlpb_months:
    case tlpb_weeks:
    case tlpb_days:
      break;
    default:
      return {};
  }
  int64_t a = 0, b = 0;
  if (!StoredDayNumber(ymd, a) || !StoredDayNumber(ymd2, b)) return {};
  const double days = static_cast<double>(std::llabs(b - a));
  switch (basis) {
    case tlpb_years: {
      const auto q = static_cast<int32_t>(days / kDaysPerYear);
      return {q, q + 1};
    }
    case tlpb_months: {
      const auto q = static_cast<int32_t>(days / kDaysPerMonth);
      return {q, q + 1};
    }
    case tlpb_weeks:
      return {static_cast<int32_t>(4 * days / kDaysPerMonth), 4 * (static_cast<int32_t>(days / kDaysPerMonth) + 1)};
    default: {
      const auto q = static_cast<int32_t>(days);
      return {q, q + 1};
    }
  }
}

}  // namespace

int32_t PeriodsBetween(const TYearMonthDay& ymd, const TYearMonthDay& ymd2, TTimeLinePlotbase basis) {
  return SpanOf(ymd, ymd2, basis).count;
}

int32_t PeriodNumberFor(const TYearMonthDay& ymd, const TYearMonthDay& ymd2, TTimeLinePlotbase basis) {
  return SpanOf(ymd, ymd2, basis).index;
}

}  // namespace qn
