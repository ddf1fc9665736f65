#include "platform/Format.h"

#include <unicode/datefmt.h>
#include <unicode/dcfmtsym.h>
#include <unicode/dtfmtsym.h>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/CodePages.h"
#include "platform/Exceptions.h"
#include "platform/Locales.h"

namespace qn::platform {

// ---------------------------------------------------------------------------
// Format settings of a locale
// ---------------------------------------------------------------------------

namespace {

const char16_t* const kEnglishShortMonths[12] = {u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun",
                                                 u"Jul", u"Aug", u"Sep", u"Oct", u"Nov", u"Dec"};
const char16_t* const kEnglishLongMonths[12] = {
    u"January", u"February", u"March",     u"April",   u"May",      u"June",
    u"July",    u"August",   u"September", u"October", u"November", u"December"};
const char16_t* const kEnglishShortDays[7] = {u"Sun", u"Mon", u"Tue", u"Wed",
                                              u"Thu", u"Fri", u"Sat"};
const char16_t* const kEnglishLongDays[7] = {u"Sunday",   u"Monday", u"Tuesday", u"Wednesday",
                                             u"Thursday", u"Friday", u"Saturday"};

TFormatSettings EnglishSettings() {
  TFormatSettings s;
  for (int i = 0; i < 12; ++i) {
    s.ShortMonthNames[i] = kEnglishShortMonths[i];
    s.LongMonthNames[i] = kEnglishLongMonths[i];
  }
  for (int i = 0; i < 7; ++i) {
    s.ShortDayNames[i] = kEnglishShortDays[i];
    s.LongDayNames[i] = kEnglishLongDays[i];
  }
  return s;
}

std::u16string FromIcu(const icu::UnicodeString& text) {
  return std::u16string(text.getBuffer(), static_cast<size_t>(text.length()));
}

// Turns a date or time pattern of the locale data (ICU letters: y M L d E a
// H h k K m s S, quoted literals) into the pattern letters of FormatDateTime.
// Years are always shown with four digits in dates, as the platform's own
// short dates do.
std::u16string PatternFromIcu(std::u16string_view icu) {
  std::u16string out;
  size_t i = 0;
  while (i < icu.size()) {
    const char16_t c = icu[i];
    if (c == u'\'') {
      // Quoted literal; '' is a quote.
      if (i + 1 < icu.size() && icu[i + 1] == u'\'') {
        out += u"\"'\"";
        i += 2;
        continue;
      }
      size_t end = i + 1;
      std::u16string literal;
      while (end < icu.size()) {
        if (icu[end] == u'\'') {
          if (end + 1 < icu.size() && icu[end + 1] == u'\'') {
            literal += u'\'';
            end += 2;
            continue;
          }
          break;
        }
        literal += icu[end++];
      }
      if (!literal.empty()) out += u"\"" + literal + u"\"";
      i = end + 1;
      continue;
    }
    if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')) {
      size_t run = 1;
      while (i + run < icu.size() && icu[i + run] == c) ++run;
      switch (c) {
        case u'y': case u'Y': case u'u': out += u"yyyy"; break;
        case u'M': case u'L': out += std::u16string(std::min<size_t>(run, 4), u'm'); break;
        case u'd': out += run >= 2 ? u"dd" : u"d"; break;
        case u'E': case u'c': case u'e': out += run >= 4 ? u"dddd" : u"ddd"; break;
        case u'a': case u'b': case u'B': out += u"AMPM"; break;
        case u'H': case u'h': case u'k': case u'K': out += run >= 2 ? u"hh" : u"h"; break;
        case u'm': out += run >= 2 ? u"nn" : u"n"; break;
        case u's': out += run >= 2 ? u"ss" : u"s"; break;
        case u'S': out += u"zzz"; break;
        default: break;  // eras, time zones, week numbers: not shown
      }
      i += run;
      continue;
    }
    // Recent locale data puts a narrow no-break space before "AM"; the
    // platform's own formats have an ordinary blank there.
    out += c == u'\u202F' ? u' ' : c;
    ++i;
  }
  // Blanks left at either end by dropped fields (a time zone, an era).
  while (!out.empty() && (out.back() == u' ' || out.back() == u',')) out.pop_back();
  size_t lead = 0;
  while (lead < out.size() && out[lead] == u' ') ++lead;
  return out.substr(lead);
}

// Turns a pattern of the platform's locale data (d M y g for dates; h H m s t
// for times) into the letters of FormatDateTime.
std::u16string PatternFromPlatform(std::u16string_view pattern, bool time) {
  std::u16string out;
  size_t i = 0;
  while (i < pattern.size()) {
    const char16_t c = pattern[i];
    if (c == u'\'') {
      const size_t end = pattern.find(u'\'', i + 1);
      const size_t stop = end == std::u16string_view::npos ? pattern.size() : end;
      out += u'"';
      out += pattern.substr(i + 1, stop - i - 1);
      out += u'"';
      i = stop == pattern.size() ? stop : stop + 1;
      continue;
    }
    size_t run = 1;
    while (i + run < pattern.size() && pattern[i + run] == c) ++run;
    if (c == u't') {
      out += u"AMPM";
    } else if (c == u'g') {
      // era: not shown
    } else if (time && c == u'm') {
      out += run >= 2 ? u"nn" : u"n";
    } else if (c == u'H') {
      out += run >= 2 ? u"hh" : u"h";
    } else if (c == u'\u202F') {
      out += std::u16string(run, u' ');
    } else {
      out += std::u16string(pattern.substr(i, run));
    }
    i += run;
  }
  return out;
}

char16_t FirstUnit(const std::u16string& s, char16_t fallback) { return s.empty() ? fallback : s[0]; }

char16_t SeparatorOf(std::u16string_view pattern, char16_t fallback) {
  bool quoted = false;
  for (char16_t c : pattern) {
    if (c == u'"' || c == u'\'') quoted = !quoted;
    if (quoted) continue;
    if (!((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')) && c != u' ' && c != u'"') return c;
  }
  return fallback;
}

// The groups of settings FillFromIcu reads. Each costs an ICU object or two
// to open (most of the time a locale's settings take), and is read only when
// the platform's locale data, which takes precedence, leaves a field of it
// empty.
struct TIcuGroups {
  bool numbers = true;    // decimal and thousand separators, currency
  bool shortDate = true;  // the short date pattern
  bool longDate = true;   // the long date pattern
  bool names = true;      // month and day names, AM and PM
};

void FillFromIcu(TFormatSettings& s, const icu::Locale& locale, const TIcuGroups& groups) {
  UErrorCode status = U_ZERO_ERROR;
  std::optional<icu::DecimalFormatSymbols> numbers;
  if (groups.numbers) numbers.emplace(locale, status);
  if (numbers && U_SUCCESS(status)) {
    s.DecimalSeparator =
        FirstUnit(FromIcu(numbers->getSymbol(icu::DecimalFormatSymbols::kDecimalSeparatorSymbol)), u'.');
    s.ThousandSeparator = FirstUnit(
        FromIcu(numbers->getSymbol(icu::DecimalFormatSymbols::kGroupingSeparatorSymbol)), u',');
    const std::u16string currency =
        FromIcu(numbers->getSymbol(icu::DecimalFormatSymbols::kCurrencySymbol));
    if (!currency.empty()) s.CurrencyString = currency;
  }

  auto patternOf = [&](icu::DateFormat* format) -> std::u16string {
    std::unique_ptr<icu::DateFormat> owned(format);
    auto* simple = dynamic_cast<icu::SimpleDateFormat*>(owned.get());
    if (simple == nullptr) return {};
    icu::UnicodeString pattern;
    simple->toPattern(pattern);
    return PatternFromIcu(FromIcu(pattern));
  };
  const std::u16string shortDate =
      groups.shortDate ? patternOf(icu::DateFormat::createDateInstance(icu::DateFormat::kShort, locale))
                       : std::u16string();
  const std::u16string longDate =
      groups.longDate ? patternOf(icu::DateFormat::createDateInstance(icu::DateFormat::kFull, locale))
                      : std::u16string();
  const std::u16string shortTime =
      patternOf(icu::DateFormat::createTimeInstance(icu::DateFormat::kShort, locale));
  const std::u16string longTime =
      patternOf(icu::DateFormat::createTimeInstance(icu::DateFormat::kMedium, locale));
  if (!shortDate.empty()) s.ShortDateFormat = shortDate;
  if (!longDate.empty()) s.LongDateFormat = longDate;
  if (!shortTime.empty()) s.ShortTimeFormat = shortTime;
  if (!longTime.empty()) s.LongTimeFormat = longTime;

  if (!groups.names) return;
  status = U_ZERO_ERROR;
  icu::DateFormatSymbols symbols(locale, status);
  if (U_SUCCESS(status)) {
    int32_t count = 0;
    const icu::UnicodeString* names = symbols.getMonths(count, icu::DateFormatSymbols::FORMAT,
                                                        icu::DateFormatSymbols::WIDE);
    for (int32_t i = 0; i < count && i < 12; ++i) s.LongMonthNames[i] = FromIcu(names[i]);
    names = symbols.getMonths(count, icu::DateFormatSymbols::FORMAT,
                              icu::DateFormatSymbols::ABBREVIATED);
    for (int32_t i = 0; i < count && i < 12; ++i) s.ShortMonthNames[i] = FromIcu(names[i]);
    // Weekdays come with an empty entry 0, Sunday at 1.
    names = symbols.getWeekdays(count, icu::DateFormatSymbols::FORMAT, icu::DateFormatSymbols::WIDE);
    for (int32_t i = 1; i < count && i <= 7; ++i) s.LongDayNames[i - 1] = FromIcu(names[i]);
    names = symbols.getWeekdays(count, icu::DateFormatSymbols::FORMAT,
                                icu::DateFormatSymbols::ABBREVIATED);
    for (int32_t i = 1; i < count && i <= 7; ++i) s.ShortDayNames[i - 1] = FromIcu(names[i]);
    names = symbols.getAmPmStrings(count);
    if (count >= 2) {
      s.TimeAMString = FromIcu(names[0]);
      s.TimePMString = FromIcu(names[1]);
    }
  }
}

// The items the platform's locale data gives; they take precedence over what
// ICU derives. Empty where the locale data has none.
struct TPlatformItems {
  std::u16string decimal, thousand, currency, shortDate, longDate, am, pm;
  std::array<std::u16string, 7> longDays, shortDays;  // Sunday first
  std::array<std::u16string, 12> longMonths, shortMonths;

  explicit TPlatformItems(uint32_t lcid) {
    auto item = [lcid](uint32_t id) { return GetLocaleInfo(lcid, id); };
    decimal = item(LOCALE_SDECIMAL);
    thousand = item(LOCALE_STHOUSAND);
    currency = item(LOCALE_SCURRENCY);
    shortDate = item(LOCALE_SSHORTDATE);
    longDate = item(LOCALE_SLONGDATE);
    am = item(LOCALE_S1159);
    pm = item(LOCALE_S2359);
    // Day names come Monday first in the platform's numbering.
    for (int i = 0; i < 7; ++i) {
      const int day = (i + 1) % 7;  // Monday -> 1 .. Sunday -> 0
      longDays[day] = item(LOCALE_SDAYNAME1 + i);
      shortDays[day] = item(LOCALE_SABBREVDAYNAME1 + i);
    }
    for (int i = 0; i < 12; ++i) {
      longMonths[i] = item(LOCALE_SMONTHNAME1 + i);
      shortMonths[i] = item(LOCALE_SABBREVMONTHNAME1 + i);
    }
  }

  // The groups ICU must still give: those with a field left empty here.
  TIcuGroups Missing() const {
    auto anyEmpty = [](const auto& names) {
      return std::any_of(names.begin(), names.end(), [](const std::u16string& v) { return v.empty(); });
    };
    TIcuGroups groups;
    groups.numbers = decimal.empty() || thousand.empty() || currency.empty();
    groups.shortDate = shortDate.empty();
    groups.longDate = longDate.empty();
    groups.names = am.empty() || pm.empty() || anyEmpty(longDays) || anyEmpty(shortDays) ||
                   anyEmpty(longMonths) || anyEmpty(shortMonths);
    return groups;
  }

  void ApplyTo(TFormatSettings& s) const {
    if (!decimal.empty()) s.DecimalSeparator = decimal[0];
    if (!thousand.empty()) s.ThousandSeparator = thousand[0];
    if (!currency.empty()) s.CurrencyString = currency;
    if (!shortDate.empty()) s.ShortDateFormat = PatternFromPlatform(shortDate, false);
    if (!longDate.empty()) s.LongDateFormat = PatternFromPlatform(longDate, false);
    if (!am.empty()) s.TimeAMString = am;
    if (!pm.empty()) s.TimePMString = pm;
    for (size_t day = 0; day < 7; ++day) {
      if (!longDays[day].empty()) s.LongDayNames[day] = longDays[day];
      if (!shortDays[day].empty()) s.ShortDayNames[day] = shortDays[day];
    }
    for (size_t month = 0; month < 12; ++month) {
      if (!longMonths[month].empty()) s.LongMonthNames[month] = longMonths[month];
      if (!shortMonths[month].empty()) s.ShortMonthNames[month] = shortMonths[month];
    }
  }
};

}  // namespace

TFormatSettings TFormatSettings::ForLocale(uint32_t lcid) {
  TFormatSettings s = EnglishSettings();
  const uint32_t resolved = ResolvedLCID(lcid);
  const std::string name = LocaleNameOfLCID(resolved);
  const icu::Locale locale(name.empty() ? "en_US" : name.c_str());
  if (name.empty()) {
    FillFromIcu(s, locale, TIcuGroups());
  } else {
    const TPlatformItems items(resolved);
    FillFromIcu(s, locale, items.Missing());
    items.ApplyTo(s);
  }
  s.DateSeparator = SeparatorOf(s.ShortDateFormat, u'/');
  s.TimeSeparator = SeparatorOf(s.LongTimeFormat, u':');
  // The separator characters of the patterns stand for the settings' separators.
  auto replaceSeparator = [](std::u16string& pattern, char16_t separator, char16_t by) {
    bool quoted = false;
    for (char16_t& c : pattern) {
      if (c == u'"' || c == u'\'') quoted = !quoted;
      if (!quoted && c == separator) c = by;
    }
  };
  replaceSeparator(s.ShortDateFormat, s.DateSeparator, u'/');
  replaceSeparator(s.ShortTimeFormat, s.TimeSeparator, u':');
  replaceSeparator(s.LongTimeFormat, s.TimeSeparator, u':');
  return s;
}

TFormatSettings TFormatSettings::Invariant() {
  TFormatSettings s = EnglishSettings();
  s.DecimalSeparator = u'.';
  s.ThousandSeparator = u',';
  s.DateSeparator = u'/';
  s.TimeSeparator = u':';
  s.ShortDateFormat = u"yyyy-mm-dd";
  s.LongDateFormat = u"dddd, dd mmmm yyyy";
  s.ShortTimeFormat = u"hh:nn";
  s.LongTimeFormat = u"hh:nn:ss";
  s.CurrencyString = u"\u00A4";
  return s;
}

const TFormatSettings& UserFormatSettings() {
  // One entry per locale ever asked for, never freed, so that references
  // handed out stay valid when the user's locale changes.
  static std::mutex lock;
  static std::map<uint32_t, std::unique_ptr<TFormatSettings>> cache;
  const uint32_t lcid = UserDefaultLCID();
  std::lock_guard<std::mutex> guard(lock);
  auto& entry = cache[lcid];
  if (!entry) entry = std::make_unique<TFormatSettings>(TFormatSettings::ForLocale(lcid));
  return *entry;
}

// ---------------------------------------------------------------------------
// Numbers as text
// ---------------------------------------------------------------------------

namespace {

std::u16string Ascii16(std::string_view s) { return std::u16string(s.begin(), s.end()); }

std::string UnsignedDigits(uint64_t value) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string HexDigits(uint64_t value) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, 16);
  std::string s(buffer, result.ptr);
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// Inserts the thousand separator into a run of integer digits.
std::u16string Grouped(std::string_view digits, char16_t separator) {
  std::u16string out;
  out.reserve(digits.size() + digits.size() / 3);
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && separator != 0 && (digits.size() - i) % 3 == 0) out += separator;
    out += static_cast<char16_t>(digits[i]);
  }
  return out;
}

std::string PrintFixed(double magnitude, int decimals) {
  char small[64];
  const int n = std::snprintf(small, sizeof small, "%.*f", decimals, magnitude);
  if (n >= 0 && n < static_cast<int>(sizeof small)) return std::string(small, static_cast<size_t>(n));
  std::string big(static_cast<size_t>(n) + 1, '\0');
  std::snprintf(big.data(), big.size(), "%.*f", decimals, magnitude);
  big.resize(static_cast<size_t>(n));
  return big;
}

// Adds one unit in the last place of a decimal digit string ("1.99" -> "2.00").
void IncrementLast(std::string& digits) {
  for (size_t i = digits.size(); i-- > 0;) {
    if (digits[i] == '.') continue;
    if (digits[i] < '9') {
      ++digits[i];
      return;
    }
    digits[i] = '0';
  }
  digits.insert(0, 1, '1');
}

// |value| with exactly decimals decimals ("1234.50"), rounded to the nearest;
// a value exactly halfway rounds away from zero (2.5 -> 3, 0.125 -> 0.13), as
// people round, rather than to even as the C library does.
std::string FixedDigits(double value, int decimals) {
  const double magnitude = std::fabs(value);
  if (magnitude < 1e18 && magnitude == std::floor(magnitude)) {
    // Whole numbers (counts, mostly) need no rounding at all.
    std::string digits = UnsignedDigits(static_cast<uint64_t>(magnitude));
    if (decimals > 0) {
      digits += '.';
      digits.append(static_cast<size_t>(decimals), '0');
    }
    return digits;
  }
  // Twenty more digits show whether the value lies exactly halfway: a double
  // that is not halfway differs from it within seventeen significant digits.
  const std::string wide = PrintFixed(magnitude, decimals + 20);
  const size_t point = wide.find('.');
  const size_t cut = point + 1 + static_cast<size_t>(decimals);
  const bool halfway = wide[cut] == '5' && wide.find_first_not_of('0', cut + 1) == std::string::npos;
  if (!halfway) return PrintFixed(magnitude, decimals);
  std::string digits = wide.substr(0, decimals == 0 ? point : cut);
  IncrementLast(digits);
  return digits;
}

bool IsZeroText(std::string_view digits) {
  return std::all_of(digits.begin(), digits.end(), [](char c) { return c == '0' || c == '.'; });
}

std::u16string NonFinite(double value) {
  if (std::isnan(value)) return u"NAN";
  return value < 0 ? u"-INF" : u"INF";
}

// Fixed notation; with grouping, thousand separators in the integer part.
std::u16string FixedText(double value, int decimals, bool grouping, const TFormatSettings& settings) {
  if (!std::isfinite(value)) return NonFinite(value);
  const std::string digits = FixedDigits(value, decimals);
  const size_t point = digits.find('.');
  const std::string_view integer = std::string_view(digits).substr(0, point);
  std::u16string out;
  if (std::signbit(value) && !IsZeroText(digits)) out += u'-';
  out += grouping ? Grouped(integer, settings.ThousandSeparator) : Ascii16(integer);
  if (point != std::string::npos) {
    out += settings.DecimalSeparator;
    out += Ascii16(std::string_view(digits).substr(point + 1));
  }
  return out;
}

// Significant digits of |value| (without trailing zeros) and the decimal
// exponent e such that |value| = 0.d1d2d3... x 10^e.
void SignificantDigits(double value, int precision, std::string& digits, int& exponent) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*e", precision - 1, std::fabs(value));
  // buffer: d.ddddde[+-]xx
  std::string_view text(buffer);
  const size_t e = text.find('e');
  digits.clear();
  for (char c : text.substr(0, e)) {
    if (c != '.') digits += c;
  }
  int power = 0;
  std::from_chars(text.data() + e + (text[e + 1] == '+' ? 2 : 1), text.data() + text.size(), power);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  exponent = power + 1;
  if (digits == "0") exponent = 0;
}

// Scientific notation: d.ddd...E+xxx with precision significant digits (all
// shown) and at least minExponentDigits exponent digits; with plusSign the
// exponent always carries its sign.
std::u16string ScientificText(double value, int precision, int minExponentDigits, bool plusSign,
                              bool trimZeros, const TFormatSettings& settings) {
  if (!std::isfinite(value)) return NonFinite(value);
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*e", precision - 1, std::fabs(value));
  std::string_view text(buffer);
  const size_t e = text.find('e');
  std::string mantissa(text.substr(0, e));
  if (trimZeros && mantissa.find('.') != std::string::npos) {
    while (mantissa.back() == '0') mantissa.pop_back();
    if (mantissa.back() == '.') mantissa.pop_back();
  }
  int power = 0;
  std::from_chars(text.data() + e + (text[e + 1] == '+' ? 2 : 1), text.data() + text.size(), power);
  std::u16string out;
  if (std::signbit(value) && value != 0) out += u'-';
  for (char c : mantissa) out += c == '.' ? settings.DecimalSeparator : static_cast<char16_t>(c);
  out += u'E';
  if (power < 0) {
    out += u'-';
  } else if (plusSign) {
    out += u'+';
  }
  std::string exponentDigits = UnsignedDigits(static_cast<uint64_t>(std::abs(power)));
  while (static_cast<int>(exponentDigits.size()) < minExponentDigits) exponentDigits.insert(0, 1, '0');
  out += Ascii16(exponentDigits);
  return out;
}

// The general form: fixed when the number has at most precision integer
// digits and is not below 0.00001, else scientific; no trailing zeros.
std::u16string GeneralText(double value, int precision, const TFormatSettings& settings) {
  if (!std::isfinite(value)) return NonFinite(value);
  if (value == 0) return u"0";
  std::string digits;
  int exponent = 0;
  SignificantDigits(value, precision, digits, exponent);
  std::u16string out;
  if (value < 0) out += u'-';
  if (exponent > precision || exponent < -4) {
    out += static_cast<char16_t>(digits[0]);
    if (digits.size() > 1) {
      out += settings.DecimalSeparator;
      out += Ascii16(std::string_view(digits).substr(1));
    }
    out += u'E';
    const int power = exponent - 1;
    if (power < 0) out += u'-';
    out += Ascii16(UnsignedDigits(static_cast<uint64_t>(std::abs(power))));
    return out;
  }
  if (exponent <= 0) {
    out += u'0';
    out += settings.DecimalSeparator;
    out += std::u16string(static_cast<size_t>(-exponent), u'0');
    out += Ascii16(digits);
    return out;
  }
  const size_t integerDigits = static_cast<size_t>(exponent);
  if (digits.size() <= integerDigits) {
    out += Ascii16(digits);
    out += std::u16string(integerDigits - digits.size(), u'0');
  } else {
    out += Ascii16(std::string_view(digits).substr(0, integerDigits));
    out += settings.DecimalSeparator;
    out += Ascii16(std::string_view(digits).substr(integerDigits));
  }
  return out;
}

std::u16string CurrencyText(double value, int decimals, const TFormatSettings& settings) {
  if (!std::isfinite(value)) return NonFinite(value);
  std::u16string number = FixedText(std::fabs(value), decimals, true, settings);
  const std::u16string& c = settings.CurrencyString;
  const bool negative = std::signbit(value) && !IsZeroText(FixedDigits(value, decimals));
  if (!negative) {
    switch (settings.CurrencyFormat) {
      case 1: return number + c;
      case 2: return c + u" " + number;
      case 3: return number + u" " + c;
      default: return c + number;
    }
  }
  switch (settings.NegCurrFormat) {
    case 0: return u"(" + c + number + u")";
    case 2: return c + u"-" + number;
    case 3: return c + number + u"-";
    case 4: return u"(" + number + c + u")";
    case 5: return u"-" + number + c;
    case 6: return number + u"-" + c;
    case 7: return number + c + u"-";
    case 8: return u"-" + number + u" " + c;
    case 9: return u"-" + c + u" " + number;
    case 10: return number + u" " + c + u"-";
    case 11: return c + u" " + number + u"-";
    case 12: return c + u" -" + number;
    case 13: return number + u"- " + c;
    case 14: return u"(" + c + u" " + number + u")";
    case 15: return u"(" + number + u" " + c + u")";
    default: return u"-" + c + number;
  }
}

// ---------------------------------------------------------------------------
// Format
// ---------------------------------------------------------------------------

class TFormatter {
 public:
  TFormatter(std::u16string_view pattern, std::span<const TFormatArg> args,
             const TFormatSettings& settings)
      : fPattern(pattern), fArgs(args), fSettings(settings) {}

  std::u16string Run() {
    std::u16string out;
    out.reserve(fPattern.size() + 16);
    size_t i = 0;
    while (i < fPattern.size()) {
      const size_t percent = fPattern.find(u'%', i);
      if (percent == std::u16string_view::npos) {
        out.append(fPattern.substr(i));
        break;
      }
      out.append(fPattern.substr(i, percent - i));
      i = percent + 1;
      if (i >= fPattern.size()) Fail();
      if (fPattern[i] == u'%') {
        out += u'%';
        ++i;
        continue;
      }
      i = Placeholder(i, out);
    }
    return out;
  }

 private:
  [[noreturn]] void Fail() const {
    throw EConvertError("Format '" + EncodedUTF8(fPattern) + "' invalid or incompatible with argument");
  }

  const TFormatArg& NextArg() {
    if (fNext >= fArgs.size()) Fail();
    return fArgs[fNext++];
  }

  // A number of the placeholder, or '*' taking it from the arguments; -1 when
  // there is none at i.
  int32_t Number(size_t& i) {
    if (i < fPattern.size() && fPattern[i] == u'*') {
      ++i;
      const TFormatArg& arg = NextArg();
      if (arg.kind() != TFormatArg::Kind::Int32 && arg.kind() != TFormatArg::Kind::Int64) Fail();
      const int64_t v = arg.AsInt();
      return static_cast<int32_t>(std::clamp<int64_t>(v, -1, 1 << 20));
    }
    if (i >= fPattern.size() || fPattern[i] < u'0' || fPattern[i] > u'9') return -1;
    int64_t value = 0;
    while (i < fPattern.size() && fPattern[i] >= u'0' && fPattern[i] <= u'9') {
      value = value * 10 + (fPattern[i] - u'0');
      if (value > (1 << 20)) Fail();  // no sensible width or index is this large
      ++i;
    }
    return static_cast<int32_t>(value);
  }

  size_t Placeholder(size_t i, std::u16string& out) {
    // [index:]
    size_t j = i;
    int32_t first = Number(j);
    if (first >= 0 && j < fPattern.size() && fPattern[j] == u':') {
      fNext = static_cast<size_t>(first);
      i = j + 1;
      first = -1;
    } else {
      // Not an index: read again as the width (a '*' was consumed already).
      if (first >= 0 && fPattern[i] == u'*') {
        i = j;
      } else {
        first = -1;
      }
    }
    bool left = false;
    if (i < fPattern.size() && fPattern[i] == u'-') {
      left = true;
      ++i;
    }
    int32_t width = first >= 0 ? first : Number(i);
    int32_t precision = -1;
    if (i < fPattern.size() && fPattern[i] == u'.') {
      ++i;
      precision = Number(i);
      if (precision < 0) precision = 0;
    }
    if (i >= fPattern.size()) Fail();
    const char16_t type = fPattern[i] >= u'A' && fPattern[i] <= u'Z'
                              ? static_cast<char16_t>(fPattern[i] + 32)
                              : fPattern[i];
    ++i;
    std::u16string text = Convert(type, precision);
    if (width > 0 && static_cast<size_t>(width) > text.size()) {
      const std::u16string pad(static_cast<size_t>(width) - text.size(), u' ');
      text = left ? text + pad : pad + text;
    }
    out += text;
    return i;
  }

  static bool IsInteger(const TFormatArg& arg) {
    return arg.kind() == TFormatArg::Kind::Int32 || arg.kind() == TFormatArg::Kind::Int64 ||
           arg.kind() == TFormatArg::Kind::UInt64;
  }

  double FloatOf(const TFormatArg& arg) {
    switch (arg.kind()) {
      case TFormatArg::Kind::Float: return arg.AsFloat();
      case TFormatArg::Kind::Int32:
      case TFormatArg::Kind::Int64: return static_cast<double>(arg.AsInt());
      case TFormatArg::Kind::UInt64: return static_cast<double>(arg.AsUInt());
      default: Fail();
    }
  }

  std::u16string Convert(char16_t type, int32_t precision) {
    const TFormatArg& arg = NextArg();
    switch (type) {
      case u'd': {
        if (!IsInteger(arg)) Fail();
        const bool negative = arg.kind() != TFormatArg::Kind::UInt64 && arg.AsInt() < 0;
        const uint64_t magnitude = arg.kind() == TFormatArg::Kind::UInt64 ? arg.AsUInt()
                                   : negative ? 0 - static_cast<uint64_t>(arg.AsInt())
                                              : static_cast<uint64_t>(arg.AsInt());
        std::string digits = UnsignedDigits(magnitude);
        if (precision > 0 && static_cast<size_t>(precision) > digits.size()) {
          digits.insert(0, static_cast<size_t>(precision) - digits.size(), '0');
        }
        return (negative ? u"-" : u"") + Ascii16(digits);
      }
      case u'u':
      case u'x': {
        if (!IsInteger(arg)) Fail();
        uint64_t bits = arg.AsUInt();
        if (arg.kind() == TFormatArg::Kind::Int32) bits = static_cast<uint32_t>(arg.AsInt());
        std::string digits = type == u'x' ? HexDigits(bits) : UnsignedDigits(bits);
        if (precision > 0 && static_cast<size_t>(precision) > digits.size()) {
          digits.insert(0, static_cast<size_t>(precision) - digits.size(), '0');
        }
        return Ascii16(digits);
      }
      case u'f':
      case u'n': {
        const bool grouping = type == u'n';
        const int decimals = precision < 0 ? 2 : std::min(precision, 99);
        if (decimals == 0 && IsInteger(arg)) return IntegerText(arg, grouping);
        return FixedText(FloatOf(arg), decimals, grouping, fSettings);
      }
      case u'e': {
        const int digits = precision < 0 ? 15 : std::clamp(precision, 1, 99);
        return ScientificText(FloatOf(arg), digits, 3, true, false, fSettings);
      }
      case u'g': {
        const int digits = precision < 0 ? 15 : std::clamp(precision, 1, 99);
        return GeneralText(FloatOf(arg), digits, fSettings);
      }
      case u'm': {
        const int decimals = precision < 0 ? fSettings.CurrencyDecimals : std::min(precision, 99);
        return CurrencyText(FloatOf(arg), decimals, fSettings);
      }
      case u's': {
        std::u16string text;
        switch (arg.kind()) {
          case TFormatArg::Kind::Text16: text.assign(arg.AsText16()); break;
          case TFormatArg::Kind::Text8: text = DecodedUTF8(arg.AsText8()); break;
          case TFormatArg::Kind::Char16: text.assign(1, arg.AsChar()); break;
          default: Fail();
        }
        if (precision >= 0 && static_cast<size_t>(precision) < text.size()) {
          text.resize(static_cast<size_t>(precision));
        }
        return text;
      }
      case u'p': {
        if (arg.kind() != TFormatArg::Kind::Pointer) Fail();
        std::string digits = HexDigits(reinterpret_cast<uintptr_t>(arg.AsPointer()));
        digits.insert(0, 2 * sizeof(void*) - digits.size(), '0');
        return Ascii16(digits);
      }
      default: Fail();
    }
  }

  // Whole numbers keep every digit (a double would round 64-bit values).
  std::u16string IntegerText(const TFormatArg& arg, bool grouping) {
    const bool negative = arg.kind() != TFormatArg::Kind::UInt64 && arg.AsInt() < 0;
    const uint64_t magnitude = arg.kind() == TFormatArg::Kind::UInt64 ? arg.AsUInt()
                               : negative ? 0 - static_cast<uint64_t>(arg.AsInt())
                                          : static_cast<uint64_t>(arg.AsInt());
    const std::string digits = UnsignedDigits(magnitude);
    return (negative ? u"-" : u"") +
           (grouping ? Grouped(digits, fSettings.ThousandSeparator) : Ascii16(digits));
  }

  std::u16string_view fPattern;
  std::span<const TFormatArg> fArgs;
  const TFormatSettings& fSettings;
  size_t fNext = 0;
};

}  // namespace

std::u16string FormatArgs(std::u16string_view pattern, std::span<const TFormatArg> args,
                          const TFormatSettings& settings) {
  return TFormatter(pattern, args, settings).Run();
}

std::string FormatArgs(std::string_view pattern, std::span<const TFormatArg> args,
                       const TFormatSettings& settings) {
  const std::u16string wide = DecodedUTF8(pattern);
  return EncodedUTF8(FormatArgs(std::u16string_view(wide), args, settings));
}

// ---------------------------------------------------------------------------
// FormatFloat
// ---------------------------------------------------------------------------

namespace {

// One section of a picture pattern, analysed.
struct TPicture {
  std::u16string_view text;
  int integerSlots = 0;       // '0' and '#' before the decimal point
  int integerZeros = 0;       // slots from the first '0' before the point on
  int fractionZeros = 0;      // '0' after the point
  int fractionSlots = 0;      // '0' and '#' after the point
  bool hasPoint = false;
  bool grouping = false;
  bool scientific = false;
  int exponentDigits = 0;
};

std::vector<std::u16string_view> Sections(std::u16string_view pattern) {
  std::vector<std::u16string_view> sections;
  size_t start = 0;
  char16_t quote = 0;
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char16_t c = pattern[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == u'"' || c == u'\'') {
      quote = c;
    } else if (c == u';' && sections.size() < 2) {
      sections.push_back(pattern.substr(start, i - start));
      start = i + 1;
    }
  }
  sections.push_back(pattern.substr(start));
  return sections;
}

TPicture Analyse(std::u16string_view text) {
  TPicture p;
  p.text = text;
  char16_t quote = 0;
  bool seenZero = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
      continue;
    }
    switch (c) {
      case u'"':
      case u'\'': quote = c; break;
      case u'0':
      case u'#':
        if (p.scientific) break;
        if (p.hasPoint) {
          ++p.fractionSlots;
          if (c == u'0') p.fractionZeros = p.fractionSlots;
        } else {
          ++p.integerSlots;
          if (c == u'0') seenZero = true;
          if (seenZero) ++p.integerZeros;
        }
        break;
      case u'.':
        if (!p.scientific) p.hasPoint = true;
        break;
      case u',':
        if (!p.scientific) p.grouping = true;
        break;
      case u'E':
      case u'e':
        if (!p.scientific && i + 1 < text.size() && (text[i + 1] == u'+' || text[i + 1] == u'-')) {
          p.scientific = true;
          size_t k = i + 2;
          while (k < text.size() && text[k] == u'0') {
            ++p.exponentDigits;
            ++k;
          }
        }
        break;
      default: break;
    }
  }
  return p;
}

std::u16string Picture(const TPicture& p, double value, bool withSign,
                       const TFormatSettings& settings) {
  // The digits to place: integer digits and fraction digits of |value|.
  std::string integer;
  std::string fraction;
  int exponent = 0;
  const double magnitude = std::fabs(value);
  if (p.scientific) {
    const int leading = std::max(1, p.integerSlots);
    if (magnitude != 0) {
      exponent = static_cast<int>(std::floor(std::log10(magnitude))) - (leading - 1);
    }
    double scaled = magnitude / std::pow(10.0, exponent);
    std::string digits = FixedDigits(scaled, p.fractionSlots);
    // Rounding may carry into one more integer digit (9.99 -> 10.0).
    if (digits.find('.') != std::string::npos ? digits.find('.') > static_cast<size_t>(leading)
                                              : digits.size() > static_cast<size_t>(leading)) {
      ++exponent;
      scaled = magnitude / std::pow(10.0, exponent);
      digits = FixedDigits(scaled, p.fractionSlots);
    }
    const size_t point = digits.find('.');
    integer = digits.substr(0, point);
    if (point != std::string::npos) fraction = digits.substr(point + 1);
  } else {
    const std::string digits = FixedDigits(magnitude, p.fractionSlots);
    const size_t point = digits.find('.');
    integer = digits.substr(0, point);
    if (point != std::string::npos) fraction = digits.substr(point + 1);
  }
  // Integer digits: no leading zeros beyond the '0' slots.
  size_t firstNonZero = integer.find_first_not_of('0');
  integer = firstNonZero == std::string::npos ? std::string() : integer.substr(firstNonZero);
  while (static_cast<int>(integer.size()) < p.integerZeros) integer.insert(0, 1, '0');
  // Fraction digits: trailing zeros beyond the '0' slots are dropped.
  while (static_cast<int>(fraction.size()) > p.fractionZeros && !fraction.empty() &&
         fraction.back() == '0') {
    fraction.pop_back();
  }

  std::u16string out;
  const bool negative = withSign && std::signbit(value) &&
                        !(integer.find_first_not_of('0') == std::string::npos &&
                          fraction.find_first_not_of('0') == std::string::npos);
  bool signPlaced = false;
  auto placeSign = [&] {
    if (negative && !signPlaced) out += u'-';
    signPlaced = true;
  };

  int integerSlot = 0;   // integer slots met so far
  int fractionSlot = 0;  // fraction slots met so far
  bool afterPoint = false;
  char16_t quote = 0;
  const std::u16string_view text = p.text;
  const int extra = static_cast<int>(integer.size()) - p.integerSlots;  // digits beyond the slots
  auto emitIntegerDigit = [&](int position) {
    // position: index into integer; separators by position from the right.
    out += static_cast<char16_t>(integer[static_cast<size_t>(position)]);
    const int fromRight = static_cast<int>(integer.size()) - 1 - position;
    if (p.grouping && fromRight > 0 && fromRight % 3 == 0 && settings.ThousandSeparator != 0) {
      out += settings.ThousandSeparator;
    }
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (quote != 0) {
      if (c == quote) {
        quote = 0;
      } else {
        out += c;
      }
      continue;
    }
    switch (c) {
      case u'"':
      case u'\'': quote = c; break;
      case u'0':
      case u'#':
        if (!afterPoint) {
          placeSign();
          if (integerSlot == 0) {
            for (int k = 0; k < extra; ++k) emitIntegerDigit(k);
          }
          const int position = integerSlot + extra;
          if (position >= 0 && position < static_cast<int>(integer.size())) emitIntegerDigit(position);
          ++integerSlot;
        } else {
          if (fractionSlot < static_cast<int>(fraction.size())) {
            out += static_cast<char16_t>(fraction[static_cast<size_t>(fractionSlot)]);
          }
          ++fractionSlot;
        }
        break;
      case u'.':
        if (!afterPoint) {
          placeSign();
          if (p.integerSlots == 0) {
            for (int k = 0; k < static_cast<int>(integer.size()); ++k) emitIntegerDigit(k);
          }
          afterPoint = true;
          if (!fraction.empty()) out += settings.DecimalSeparator;
        }
        break;
      case u',': break;  // grouping flag, placed with the digits
      case u'E':
      case u'e':
        if (p.scientific && i + 1 < text.size() && (text[i + 1] == u'+' || text[i + 1] == u'-')) {
          afterPoint = true;
          out += c;
          if (exponent < 0) {
            out += u'-';
          } else if (text[i + 1] == u'+') {
            out += u'+';
          }
          std::string digits = UnsignedDigits(static_cast<uint64_t>(std::abs(exponent)));
          while (static_cast<int>(digits.size()) < p.exponentDigits) digits.insert(0, 1, '0');
          out += Ascii16(digits);
          i += 1 + static_cast<size_t>(p.exponentDigits);
        } else {
          out += c;
        }
        break;
      default: out += c; break;
    }
  }
  if (!signPlaced && negative) out.insert(0, 1, u'-');
  return out;
}

}  // namespace

std::u16string FormatFloat(std::u16string_view pattern, double value,
                           const TFormatSettings& settings) {
  if (!std::isfinite(value)) return NonFinite(value);
  if (pattern.empty()) return GeneralText(value, 15, settings);
  const std::vector<std::u16string_view> sections = Sections(pattern);
  std::u16string_view chosen = sections[0];
  bool withSign = true;
  if (value < 0 && sections.size() >= 2 && !sections[1].empty()) {
    chosen = sections[1];
    withSign = false;  // the negative section writes its own sign
  } else if (value == 0 && sections.size() >= 3 && !sections[2].empty()) {
    chosen = sections[2];
  }
  const TPicture picture = Analyse(chosen);
  if (picture.integerSlots == 0 && picture.fractionSlots == 0 && !picture.hasPoint) {
    // A section without digit slots is literal text (for instance "zero").
    std::u16string out;
    char16_t quote = 0;
    for (char16_t c : chosen) {
      if (quote != 0) {
        if (c == quote) {
          quote = 0;
        } else {
          out += c;
        }
      } else if (c == u'"' || c == u'\'') {
        quote = c;
      } else {
        out += c;
      }
    }
    return out;
  }
  return Picture(picture, value, withSign, settings);
}

std::u16string FormatFloat(std::u16string_view pattern, double value) {
  return FormatFloat(pattern, value, UserFormatSettings());
}

// ---------------------------------------------------------------------------
// Conversions
// ---------------------------------------------------------------------------

namespace {

std::u16string_view Trimmed(std::u16string_view text) {
  size_t start = 0;
  size_t end = text.size();
  while (start < end && text[start] <= u' ') ++start;
  while (end > start && text[end - 1] <= u' ') --end;
  return text.substr(start, end - start);
}

// Parses an integer into a magnitude with its sign; hexadecimal after "$",
// "0x" or "0X". False for anything else or a magnitude above limit.
bool ParseInteger(std::u16string_view text, uint64_t limit, bool& negative, uint64_t& magnitude,
                  bool& hex) {
  text = Trimmed(text);
  negative = false;
  hex = false;
  size_t i = 0;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
    negative = text[i] == u'-';
    ++i;
  }
  if (i < text.size() && text[i] == u'$') {
    hex = true;
    ++i;
  } else if (i + 1 < text.size() && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
    hex = true;
    i += 2;
  }
  if (i >= text.size()) return false;
  const uint64_t base = hex ? 16 : 10;
  magnitude = 0;
  for (; i < text.size(); ++i) {
    const char16_t c = text[i];
    uint64_t digit;
    if (c >= u'0' && c <= u'9') {
      digit = c - u'0';
    } else if (hex && c >= u'a' && c <= u'f') {
      digit = c - u'a' + 10;
    } else if (hex && c >= u'A' && c <= u'F') {
      digit = c - u'A' + 10;
    } else {
      return false;
    }
    if (magnitude > (limit - digit) / base) return false;
    magnitude = magnitude * base + digit;
  }
  return true;
}

std::string Utf8(std::u16string_view text) { return EncodedUTF8(text); }

}  // namespace

bool TryStrToInt(std::u16string_view text, int32_t& value) noexcept {
  bool negative, hex;
  uint64_t magnitude;
  // Hexadecimal may spell the 32-bit pattern of a negative number ($FFFFFFFF).
  if (!ParseInteger(text, 0xFFFFFFFFull, negative, magnitude, hex)) return false;
  if (hex) {
    const int32_t bits = static_cast<int32_t>(static_cast<uint32_t>(magnitude));
    value = negative ? static_cast<int32_t>(0u - static_cast<uint32_t>(bits)) : bits;
    return true;
  }
  if (negative ? magnitude > 0x80000000ull : magnitude > 0x7FFFFFFFull) return false;
  value = negative ? static_cast<int32_t>(0 - static_cast<int64_t>(magnitude))
                   : static_cast<int32_t>(magnitude);
  return true;
}

bool TryStrToInt64(std::u16string_view text, int64_t& value) noexcept {
  bool negative, hex;
  uint64_t magnitude;
  if (!ParseInteger(text, UINT64_MAX, negative, magnitude, hex)) return false;
  if (hex) {
    const uint64_t bits = negative ? 0 - magnitude : magnitude;
    value = static_cast<int64_t>(bits);
    return true;
  }
  if (negative ? magnitude > 0x8000000000000000ull : magnitude > 0x7FFFFFFFFFFFFFFFull) return false;
  value = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
  return true;
}

int32_t StrToInt(std::u16string_view text) {
  int32_t value;
  if (!TryStrToInt(text, value)) throw EConvertError("'" + Utf8(text) + "' is not a valid integer value");
  return value;
}

int64_t StrToInt64(std::u16string_view text) {
  int64_t value;
  if (!TryStrToInt64(text, value)) throw EConvertError("'" + Utf8(text) + "' is not a valid integer value");
  return value;
}

int32_t StrToIntDef(std::u16string_view text, int32_t Default) noexcept {
  int32_t value;
  return TryStrToInt(text, value) ? value : Default;
}

int64_t StrToInt64Def(std::u16string_view text, int64_t Default) noexcept {
  int64_t value;
  return TryStrToInt64(text, value) ? value : Default;
}

bool TryStrToFloat(std::u16string_view text, double& value, const TFormatSettings& settings) noexcept {
  text = Trimmed(text);
  if (text.empty() || text.size() > 400) return false;
  std::string ascii;
  ascii.reserve(text.size());
  bool negative = false;
  size_t i = 0;
  if (text[0] == u'-' || text[0] == u'+') {
    negative = text[0] == u'-';
    i = 1;
  }
  bool digits = false;
  for (; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c >= u'0' && c <= u'9') {
      digits = true;
      ascii += static_cast<char>(c);
    } else if (c == settings.DecimalSeparator) {
      ascii += '.';
    } else if (c == u'e' || c == u'E' || c == u'+' || c == u'-') {
      ascii += static_cast<char>(c);
    } else {
      return false;
    }
  }
  if (!digits || ascii.empty() || ascii[0] == '+' || ascii[0] == '-') return false;
  double parsed = 0;
  const auto result = std::from_chars(ascii.data(), ascii.data() + ascii.size(), parsed,
                                      std::chars_format::general);
  if (result.ec != std::errc() || result.ptr != ascii.data() + ascii.size()) return false;
  value = negative ? -parsed : parsed;
  return true;
}

bool TryStrToFloat(std::u16string_view text, double& value) noexcept {
  try {
    return TryStrToFloat(text, value, UserFormatSettings());
  } catch (...) {
    return false;
  }
}

double StrToFloat(std::u16string_view text) {
  double value;
  if (!TryStrToFloat(text, value)) {
    throw EConvertError("'" + Utf8(text) + "' is not a valid floating point value");
  }
  return value;
}

double StrToFloatDef(std::u16string_view text, double Default) noexcept {
  double value;
  return TryStrToFloat(text, value) ? value : Default;
}

std::u16string IntToStr(int64_t value) {
  const bool negative = value < 0;
  const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  return (negative ? u"-" : u"") + Ascii16(UnsignedDigits(magnitude));
}

std::u16string IntToHex(uint64_t value, int32_t digits) {
  std::string hex = HexDigits(value);
  if (digits > 0 && static_cast<size_t>(digits) > hex.size()) {
    hex.insert(0, std::min<size_t>(static_cast<size_t>(digits), 64) - hex.size(), '0');
  }
  return Ascii16(hex);
}

std::u16string FloatToStr(double value, const TFormatSettings& settings) {
  return GeneralText(value, 15, settings);
}

std::u16string FloatToStr(double value) { return FloatToStr(value, UserFormatSettings()); }

}  // namespace qn::platform
