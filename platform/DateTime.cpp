#include "platform/DateTime.h"

#include <cmath>
#include <ctime>

#include "platform/Exceptions.h"
#include "platform/CodePages.h"

namespace qn::platform {

namespace {

constexpr int64_t kMSecsPerDay = 86'400'000;
constexpr int32_t kDaysPer400Years = 146097;
constexpr int32_t kDaysPer100Years = 36524;
constexpr int32_t kDaysPer4Years = 1461;
// The range of years 1..9999 as date-time values.
constexpr double kMinDateTime = -693593.0;         // 0001-01-01
constexpr double kMaxDateTime = 2958466.0;         // 10000-01-01 (exclusive)

const int32_t kMonthDays[2][12] = {{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
                                   {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31}};

// Whole days since 0001-01-01 (that day being 1) and milliseconds into the day,
// from a date-time value: the value is rounded to the millisecond first, so
// that 23:59:59.9999 becomes the next day rather than a time of 24:00.
bool SplitDateTime(TDateTime value, int64_t& day, int64_t& msec) {
  if (!std::isfinite(value) || value < kMinDateTime - 1 || value >= kMaxDateTime) return false;
  const int64_t total = std::llround(value * static_cast<double>(kMSecsPerDay));
  day = total / kMSecsPerDay + kDateDelta;  // truncates toward zero, as the stored values expect
  msec = (total < 0 ? -total : total) % kMSecsPerDay;
  return day >= 1 && day <= 3652059;
}

void DayNumberToDate(int64_t dayNumber, int32_t& year, int32_t& month, int32_t& day) {
  int64_t t = dayNumber - 1;  // days since 0001-01-01
  int64_t y = 1 + (t / kDaysPer400Years) * 400;
  t %= kDaysPer400Years;
  int64_t i = t / kDaysPer100Years;
  int64_t d = t % kDaysPer100Years;
  if (i == 4) {  // the last day of a 400-year cycle
    --i;
    d += kDaysPer100Years;
  }
  y += i * 100;
  i = d / kDaysPer4Years;
  d %= kDaysPer4Years;
  y += i * 4;
  i = d / 365;
  d %= 365;
  if (i == 4) {  // the last day of a leap year
    --i;
    d += 365;
  }
  y += i;
  year = static_cast<int32_t>(y);
  const int32_t(&days)[12] = kMonthDays[IsLeapYear(year) ? 1 : 0];
  int32_t m = 0;
  while (d >= days[m]) {
    d -= days[m];
    ++m;
  }
  month = m + 1;
  day = static_cast<int32_t>(d) + 1;
}

}  // namespace

bool IsLeapYear(int32_t year) noexcept {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int32_t DaysInMonth(int32_t year, int32_t month) noexcept {
  if (month < 1 || month > 12) return 0;
  return kMonthDays[IsLeapYear(year) ? 1 : 0][month - 1];
}

bool TryEncodeDate(int32_t year, int32_t month, int32_t day, TDateTime& date) noexcept {
  if (year < 1 || year > 9999 || month < 1 || month > 12) return false;
  if (day < 1 || day > DaysInMonth(year, month)) return false;
  const int32_t(&days)[12] = kMonthDays[IsLeapYear(year) ? 1 : 0];
  int64_t total = day;
  for (int32_t m = 0; m < month - 1; ++m) total += days[m];
  const int64_t y = year - 1;
  total += y * 365 + y / 4 - y / 100 + y / 400;
  date = static_cast<double>(total - kDateDelta);
  return true;
}

TDateTime EncodeDate(int32_t year, int32_t month, int32_t day) {
  TDateTime date;
  if (!TryEncodeDate(year, month, day, date)) throw EConvertError(std::string("Invalid argument to date encode"));
  return date;
}

bool TryEncodeTime(int32_t hour, int32_t minute, int32_t second, int32_t millisecond,
                   TDateTime& time) noexcept {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
      millisecond < 0 || millisecond > 999) {
    return false;
  }
  const int64_t msec = ((int64_t(hour) * 60 + minute) * 60 + second) * 1000 + millisecond;
  time = static_cast<double>(msec) / static_cast<double>(kMSecsPerDay);
  return true;
}

TDateTime EncodeTime(int32_t hour, int32_t minute, int32_t second, int32_t millisecond) {
  TDateTime time;
  if (!TryEncodeTime(hour, minute, second, millisecond, time)) {
    throw EConvertError(std::string("Invalid argument to time encode"));
  }
  return time;
}

TDateTime EncodeDateTime(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                         int32_t second, int32_t millisecond) {
  const TDateTime date = EncodeDate(year, month, day);
  const TDateTime time = EncodeTime(hour, minute, second, millisecond);
  return date < 0 ? date - time : date + time;
}

bool TryDecodeDateTime(TDateTime value, TDateParts& parts) noexcept {
  parts = TDateParts();
  int64_t dayNumber, msec;
  if (!SplitDateTime(value, dayNumber, msec)) return false;
  DayNumberToDate(dayNumber, parts.year, parts.month, parts.day);
  parts.dayOfWeek = static_cast<int32_t>(dayNumber % 7) + 1;
  parts.hour = static_cast<int32_t>(msec / 3'600'000);
  parts.minute = static_cast<int32_t>(msec / 60'000 % 60);
  parts.second = static_cast<int32_t>(msec / 1000 % 60);
  parts.millisecond = static_cast<int32_t>(msec % 1000);
  return true;
}

void DecodeDate(TDateTime value, int32_t& year, int32_t& month, int32_t& day) noexcept {
  TDateParts parts;
  TryDecodeDateTime(value, parts);
  year = parts.year;
  month = parts.month;
  day = parts.day;
}

void DecodeTime(TDateTime value, int32_t& hour, int32_t& minute, int32_t& second,
                int32_t& millisecond) noexcept {
  TDateParts parts;
  TryDecodeDateTime(value, parts);
  hour = parts.hour;
  minute = parts.minute;
  second = parts.second;
  millisecond = parts.millisecond;
}

int32_t DayOfWeek(TDateTime value) noexcept {
  TDateParts parts;
  TryDecodeDateTime(value, parts);
  return parts.dayOfWeek;
}

TDateTime DateOf(TDateTime value) noexcept { return std::trunc(value); }

TDateTime TimeOf(TDateTime value) noexcept { return std::fabs(value - std::trunc(value)); }

// ---------------------------------------------------------------------------
// The clock
// ---------------------------------------------------------------------------

TDateTime UnixToDateTime(int64_t seconds, int32_t nanoseconds) {
  const time_t t = static_cast<time_t>(seconds);
  struct tm local;
  if (localtime_r(&t, &local) == nullptr) {
    // Outside what the C library can convert: count in UTC.
    return static_cast<double>(seconds) / 86400.0 + kUnixDateDelta;
  }
  TDateTime date;
  if (!TryEncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, date)) {
    return static_cast<double>(seconds) / 86400.0 + kUnixDateDelta;
  }
  const int32_t second = local.tm_sec > 59 ? 59 : local.tm_sec;  // leap second
  const int64_t msec = ((int64_t(local.tm_hour) * 60 + local.tm_min) * 60 + second) * 1000 +
                       (nanoseconds > 0 ? nanoseconds / 1'000'000 : 0);
  const double time = static_cast<double>(msec) / static_cast<double>(kMSecsPerDay);
  return date < 0 ? date - time : date + time;
}

int64_t DateTimeToUnix(TDateTime value) {
  TDateParts parts;
  if (!TryDecodeDateTime(value, parts)) {
    throw EConvertError(std::string("Invalid date-time value"));
  }
  struct tm local = {};
  local.tm_year = parts.year - 1900;
  local.tm_mon = parts.month - 1;
  local.tm_mday = parts.day;
  local.tm_hour = parts.hour;
  local.tm_min = parts.minute;
  local.tm_sec = parts.second;
  local.tm_isdst = -1;
  return static_cast<int64_t>(mktime(&local));
}

TDateTime Now() {
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  return UnixToDateTime(now.tv_sec, static_cast<int32_t>(now.tv_nsec));
}

TDateTime Date() { return DateOf(Now()); }

TDateTime Time() { return TimeOf(Now()); }

// ---------------------------------------------------------------------------
// FormatDateTime
// ---------------------------------------------------------------------------

namespace {

class TDateFormatter {
 public:
  TDateFormatter(TDateTime value, const TFormatSettings& settings) : fSettings(settings) {
    fValid = TryDecodeDateTime(value, fParts);
    fHasTime = fParts.hour != 0 || fParts.minute != 0 || fParts.second != 0 ||
               fParts.millisecond != 0;
  }

  void Append(std::u16string_view pattern, int level) {
    if (!fValid) return;  // not a date of years 1..9999: nothing to show
    if (pattern.empty()) pattern = u"c";
    char16_t lastLetter = 0;
    size_t i = 0;
    while (i < pattern.size()) {
      char16_t c = pattern[i];
      char16_t token = c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
      if (token >= u'A' && token <= u'Z') {
        if (token == u'M' && lastLetter == u'H') token = u'N';
        lastLetter = token;
      }
      switch (token) {
        case u'Y': {
          const size_t count = Run(pattern, i);
          if (count <= 2) {
            Number(fParts.year % 100, 2);
          } else {
            Number(fParts.year, 4);
          }
          break;
        }
        case u'M': {
          const size_t count = Run(pattern, i);
          if (count <= 2) {
            Number(fParts.month, static_cast<int>(count));
          } else if (fParts.month >= 1) {
            fOut += count == 3 ? fSettings.ShortMonthNames[static_cast<size_t>(fParts.month - 1)]
                               : fSettings.LongMonthNames[static_cast<size_t>(fParts.month - 1)];
          }
          break;
        }
        case u'D': {
          const size_t count = Run(pattern, i);
          if (count <= 2) {
            Number(fParts.day, static_cast<int>(count));
          } else if (count <= 4) {
            if (fParts.dayOfWeek >= 1) {
              fOut += count == 3 ? fSettings.ShortDayNames[static_cast<size_t>(fParts.dayOfWeek - 1)]
                                 : fSettings.LongDayNames[static_cast<size_t>(fParts.dayOfWeek - 1)];
            }
          } else {
            Nested(count == 5 ? fSettings.ShortDateFormat : fSettings.LongDateFormat, level);
          }
          break;
        }
        case u'H': {
          const size_t count = Run(pattern, i);
          int hour = fParts.hour;
          if (TwelveHour(pattern, i)) {
            if (hour == 0) {
              hour = 12;
            } else if (hour > 12) {
              hour -= 12;
            }
          }
          Number(hour, count >= 2 ? 2 : 1);
          break;
        }
        case u'N': {
          const size_t count = Run(pattern, i);
          Number(fParts.minute, count >= 2 ? 2 : 1);
          break;
        }
        case u'S': {
          const size_t count = Run(pattern, i);
          Number(fParts.second, count >= 2 ? 2 : 1);
          break;
        }
        case u'Z': {
          const size_t count = Run(pattern, i);
          Number(fParts.millisecond, count >= 2 ? 3 : 1);
          break;
        }
        case u'T': {
          const size_t count = Run(pattern, i);
          Nested(count == 1 ? fSettings.ShortTimeFormat : fSettings.LongTimeFormat, level);
          break;
        }
        case u'C': {
          Run(pattern, i);
          Nested(fSettings.ShortDateFormat, level);
          if (fHasTime) {
            fOut += u' ';
            Nested(fSettings.LongTimeFormat, level);
          }
          break;
        }
        case u'A': {
          const bool pm = fParts.hour >= 12;
          if (StartsWithNoCase(pattern, i, u"am/pm")) {
            fOut.append(pattern.substr(i + (pm ? 3 : 0), 2));
            i += 5;
          } else if (StartsWithNoCase(pattern, i, u"a/p")) {
            fOut += pattern[i + (pm ? 2 : 0)];
            i += 3;
          } else if (StartsWithNoCase(pattern, i, u"ampm")) {
            fOut += pm ? fSettings.TimePMString : fSettings.TimeAMString;
            i += 4;
          } else {
            fOut += c;
            ++i;
          }
          break;
        }
        case u'/':
          if (fSettings.DateSeparator != 0) fOut += fSettings.DateSeparator;
          ++i;
          break;
        case u':':
          if (fSettings.TimeSeparator != 0) fOut += fSettings.TimeSeparator;
          ++i;
          break;
        case u'"':
        case u'\'': {
          const size_t end = pattern.find(c, i + 1);
          const size_t stop = end == std::u16string_view::npos ? pattern.size() : end;
          fOut.append(pattern.substr(i + 1, stop - i - 1));
          i = stop == pattern.size() ? stop : stop + 1;
          break;
        }
        default:
          fOut += c;
          ++i;
          break;
      }
    }
  }

  std::u16string Take() { return std::move(fOut); }

 private:
  // Length of the run of the letter at i (either case); i moves past it.
  static size_t Run(std::u16string_view pattern, size_t& i) {
    const char16_t lower = pattern[i] | 0x20;
    size_t count = 0;
    while (i < pattern.size() && (pattern[i] | 0x20) == lower) {
      ++count;
      ++i;
    }
    return count;
  }

  static bool StartsWithNoCase(std::u16string_view pattern, size_t i, std::u16string_view word) {
    if (pattern.size() - i < word.size()) return false;
    for (size_t k = 0; k < word.size(); ++k) {
      char16_t c = pattern[i + k];
      if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
      if (c != word[k]) return false;
    }
    return true;
  }

  // An hour is shown on the 12-hour clock when an am/pm marker follows it
  // (before the next hour field), outside quotes.
  static bool TwelveHour(std::u16string_view pattern, size_t i) {
    char16_t quote = 0;
    for (; i < pattern.size(); ++i) {
      const char16_t c = pattern[i];
      if (quote != 0) {
        if (c == quote) quote = 0;
        continue;
      }
      if (c == u'"' || c == u'\'') {
        quote = c;
      } else if (c == u'h' || c == u'H') {
        return false;
      } else if (c == u'a' || c == u'A') {
        return StartsWithNoCase(pattern, i, u"am/pm") || StartsWithNoCase(pattern, i, u"a/p") ||
               StartsWithNoCase(pattern, i, u"ampm");
      }
    }
    return false;
  }

  void Number(int value, int digits) {
    char16_t buffer[16];
    int n = 0;
    unsigned v = static_cast<unsigned>(value < 0 ? -value : value);
    do {
      buffer[n++] = static_cast<char16_t>(u'0' + v % 10);
      v /= 10;
    } while (v > 0 && n < 16);
    for (int pad = digits - n; pad > 0; --pad) fOut += u'0';
    while (n > 0) fOut += buffer[--n];
  }

  // Locale formats expand once more, but not within themselves (a locale
  // format holding "c" must not loop).
  void Nested(std::u16string_view pattern, int level) {
    if (level < 2) Append(pattern.empty() ? std::u16string_view(u"ddddd") : pattern, level + 1);
  }

  const TFormatSettings& fSettings;
  TDateParts fParts;
  bool fValid = false;
  bool fHasTime = false;
  std::u16string fOut;
};

}  // namespace

std::u16string FormatDateTime(std::u16string_view pattern, TDateTime value,
                              const TFormatSettings& settings) {
  TDateFormatter formatter(value, settings);
  formatter.Append(pattern, 0);
  return formatter.Take();
}

std::u16string FormatDateTime(std::u16string_view pattern, TDateTime value) {
  return FormatDateTime(pattern, value, UserFormatSettings());
}

std::u16string DateToStr(TDateTime value, const TFormatSettings& settings) {
  return FormatDateTime(u"ddddd", value, settings);
}
std::u16string DateToStr(TDateTime value) { return DateToStr(value, UserFormatSettings()); }

std::u16string TimeToStr(TDateTime value, const TFormatSettings& settings) {
  return FormatDateTime(u"tt", value, settings);
}
std::u16string TimeToStr(TDateTime value) { return TimeToStr(value, UserFormatSettings()); }

std::u16string DateTimeToStr(TDateTime value, const TFormatSettings& settings) {
  return FormatDateTime(u"c", value, settings);
}
std::u16string DateTimeToStr(TDateTime value) { return DateTimeToStr(value, UserFormatSettings()); }

// ---------------------------------------------------------------------------
// StrToDate
// ---------------------------------------------------------------------------

bool TryStrToDate(std::u16string_view text, TDateTime& value,
                  const TFormatSettings& settings) noexcept {
  // The order of day, month and year in the short date format.
  char order[3] = {0, 0, 0};
  int found = 0;
  for (char16_t c : settings.ShortDateFormat) {
    const char16_t lower = c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
    if ((lower == u'd' || lower == u'm' || lower == u'y') && found < 3) {
      const char letter = static_cast<char>(lower);
      if (found == 0 || order[found - 1] != letter) {
        bool seen = false;
        for (int k = 0; k < found; ++k) seen = seen || order[k] == letter;
        if (!seen) order[found++] = letter;
      }
    }
  }
  if (found != 3) {
    order[0] = 'm';
    order[1] = 'd';
    order[2] = 'y';
  }
  // Up to three numbers separated by the date separator, '/', '-', '.' or blanks.
  int64_t numbers[3] = {0, 0, 0};
  int digitsOf[3] = {0, 0, 0};
  int count = 0;
  size_t i = 0;
  auto isSeparator = [&](char16_t c) {
    return c == settings.DateSeparator || c == u'/' || c == u'-' || c == u'.' || c == u' ';
  };
  while (i < text.size() && text[i] <= u' ') ++i;
  while (i < text.size()) {
    if (count == 3) return false;
    if (text[i] < u'0' || text[i] > u'9') return false;
    int64_t n = 0;
    int digits = 0;
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
      n = n * 10 + (text[i] - u'0');
      if (++digits > 4) return false;
      ++i;
    }
    numbers[count] = n;
    digitsOf[count] = digits;
    ++count;
    size_t separators = 0;
    while (i < text.size() && isSeparator(text[i])) {
      ++i;
      ++separators;
    }
    if (i < text.size() && separators == 0) return false;
  }
  if (count < 2) return false;
  TDateParts today;
  TryDecodeDateTime(Now(), today);
  int64_t year = today.year, month = 0, day = 0;
  int yearDigits = 4;
  int k = 0;
  for (int slot = 0; slot < 3; ++slot) {
    if (count == 2 && order[slot] == 'y') continue;  // no year given: this year
    const int64_t n = numbers[k];
    switch (order[slot]) {
      case 'd': day = n; break;
      case 'm': month = n; break;
      case 'y':
        year = n;
        yearDigits = digitsOf[k];
        break;
    }
    ++k;
  }
  if (yearDigits <= 2 && count == 3) {
    const int64_t current = today.year;
    year += current - current % 100;
    const int window = settings.TwoDigitYearCenturyWindow;
    if (window > 0) {
      if (year > current + window) {
        year -= 100;
      } else if (year <= current + window - 100) {
        year += 100;
      }
    }
  }
  if (year > 9999 || month > 12 || day > 31) return false;
  return TryEncodeDate(static_cast<int32_t>(year), static_cast<int32_t>(month),
                       static_cast<int32_t>(day), value);
}

TDateTime StrToDate(std::u16string_view text, const TFormatSettings& settings) {
  TDateTime value;
  if (!TryStrToDate(text, value, settings)) {
    throw EConvertError("'" + EncodedUTF8(text) + "' is not a valid date");
  }
  return value;
}

TDateTime StrToDate(std::u16string_view text) { return StrToDate(text, UserFormatSettings()); }

}  // namespace qn::platform
