#include "platform/Locales.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include <unicode/ucol.h>
#include <unicode/ucurr.h>
#include <unicode/udat.h>
#include <unicode/udatpg.h>
#include <unicode/uloc.h>
#include <unicode/ulocdata.h>
#include <unicode/unorm2.h>
#include <unicode/unum.h>
#include <unicode/unumsys.h>
#include <unicode/ustring.h>

#include "platform/CodePages.h"

namespace qn::platform {

namespace {

// ---- small helpers -------------------------------------------------------------

std::u16string Ascii(std::string_view text) { return std::u16string(text.begin(), text.end()); }

std::u16string Decimal(uint32_t value) { return Ascii(std::to_string(value)); }

// Calls an ICU function that fills a UChar buffer and returns the length.
template <typename F>
std::u16string IcuString(F fill) {
  UChar buffer[256];
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = fill(buffer, int32_t(std::size(buffer)), &status);
  if (status == U_BUFFER_OVERFLOW_ERROR) {
    std::u16string big(size_t(length), u'\0');
    status = U_ZERO_ERROR;
    length = fill(reinterpret_cast<UChar*>(big.data()), length, &status);
    if (U_FAILURE(status)) return {};
    big.resize(size_t(length));
    return big;
  }
  if (U_FAILURE(status) || length < 0) return {};
  return std::u16string(reinterpret_cast<const char16_t*>(buffer), size_t(length));
}

bool IsPseudoDefault(uint32_t lcid) {
  return lcid == LOCALE_NEUTRAL || lcid == LOCALE_USER_DEFAULT || lcid == LOCALE_SYSTEM_DEFAULT ||
         lcid == LOCALE_CUSTOM_DEFAULT;
}

// ---- default code pages by language ---------------------------------------------

struct TLanguageCodePages {
  uint16_t primary;
  uint16_t ansi;  // 0: the language needs Unicode
  uint16_t oem;   // 0: none (the platform answers 1, "use the OEM code page")
};

// Primary languages whose pages are not Western (1252 / 850). Languages with
// script-dependent pages (Serbian, Bosnian, Azeri, Uzbek, Chinese, Mongolian)
// are settled by the sublanguage in AnsiAndOem below.
constexpr TLanguageCodePages kLanguagePages[] = {
    {0x01, 1256, 720}, {0x02, 1251, 866}, {0x04, 936, 936},   {0x05, 1250, 852}, {0x08, 1253, 737},
    {0x0D, 1255, 862}, {0x0E, 1250, 852}, {0x11, 932, 932},   {0x12, 949, 949},  {0x15, 1250, 852},
    {0x18, 1250, 852}, {0x19, 1251, 866}, {0x1A, 1250, 852},  {0x1B, 1250, 852}, {0x1C, 1250, 852},
    {0x1E, 874, 874},  {0x1F, 1254, 857}, {0x20, 1256, 720},  {0x22, 1251, 866}, {0x23, 1251, 866},
    {0x24, 1250, 852}, {0x25, 1257, 775}, {0x26, 1257, 775},  {0x27, 1257, 775}, {0x28, 1251, 866},
    {0x29, 1256, 720}, {0x2A, 1258, 1258}, {0x2B, 0, 0},      {0x2C, 1254, 857}, {0x2F, 1251, 866},
    {0x37, 0, 0},      {0x39, 0, 0},      {0x3D, 1255, 862},  {0x3F, 1251, 866}, {0x40, 1251, 866},
    {0x42, 1250, 852}, {0x43, 1254, 857}, {0x44, 1251, 866},  {0x45, 0, 0},      {0x46, 0, 0},
    {0x47, 0, 0},      {0x48, 0, 0},      {0x49, 0, 0},       {0x4A, 0, 0},      {0x4B, 0, 0},
    {0x4C, 0, 0},      {0x4D, 0, 0},      {0x4E, 0, 0},       {0x4F, 0, 0},      {0x50, 1251, 866},
    {0x51, 0, 0},      {0x53, 0, 0},      {0x54, 0, 0},       {0x57, 0, 0},      {0x5A, 0, 0},
    {0x5B, 0, 0},      {0x5E, 0, 0},      {0x61, 0, 0},       {0x63, 1256, 720}, {0x65, 0, 0},
    {0x6D, 1251, 866}, {0x80, 1256, 720}, {0x85, 1251, 866},  {0x8C, 1256, 720},
};

void AnsiAndOem(uint32_t lcid, uint32_t* ansi, uint32_t* oem) {
  uint16_t primary = PrimaryLangOf(lcid);
  uint16_t sub = SubLangOf(lcid);
  *ansi = 1252;
  *oem = 850;
  if (lcid == 0x0409 || lcid == LOCALE_INVARIANT) *oem = 437;
  for (const auto& entry : kLanguagePages) {
    if (entry.primary == primary) {
      *ansi = entry.ansi;
      *oem = entry.oem;
      break;
    }
  }
  switch (primary) {
    case 0x04:  // Chinese: PRC and Singapore simplified, the others traditional
      if (sub != 2 && sub != 4) *ansi = *oem = 950;
      break;
    case 0x1A:  // Croatian, Serbian and Bosnian in Latin or Cyrillic script
      if (sub == 3 || sub == 7 || sub == 8 || sub == 10 || sub == 12) {
        *ansi = 1251;
        *oem = 855;
      }
      break;
    case 0x2C:  // Azeri: Latin 1, Cyrillic 2
    case 0x43:  // Uzbek likewise
      if (sub == 2) {
        *ansi = 1251;
        *oem = 866;
      }
      break;
    case 0x50:  // Mongolian: Cyrillic 1, traditional script 2
      if (sub == 2) *ansi = *oem = 0;
      break;
    default:
      break;
  }
}

// ---- collators -------------------------------------------------------------------

constexpr uint32_t kCaseFlags = NORM_IGNORECASE | LINGUISTIC_IGNORECASE;
constexpr uint32_t kAccentFlags = NORM_IGNORENONSPACE | LINGUISTIC_IGNOREDIACRITIC;
constexpr uint32_t kCollatorFlags = kCaseFlags | kAccentFlags | NORM_IGNORESYMBOLS | SORT_DIGITSASNUMBERS;

struct TCollatorCloser {
  void operator()(UCollator* c) const { ucol_close(c); }
};

UCollator* OpenCollator(const std::string& locale, uint32_t flags) {
  UErrorCode status = U_ZERO_ERROR;
  UCollator* collator = ucol_open(locale.c_str(), &status);
  if (U_FAILURE(status)) {
    status = U_ZERO_ERROR;
    collator = ucol_open("", &status);
    if (U_FAILURE(status)) return nullptr;
  }
  bool ignoreCase = flags & kCaseFlags, ignoreAccents = flags & kAccentFlags;
  UColAttributeValue strength = UCOL_TERTIARY;
  if (ignoreAccents) {
    strength = UCOL_PRIMARY;
    if (!ignoreCase) ucol_setAttribute(collator, UCOL_CASE_LEVEL, UCOL_ON, &status);
  } else if (ignoreCase) {
    strength = UCOL_SECONDARY;
  }
  ucol_setAttribute(collator, UCOL_STRENGTH, strength, &status);
  ucol_setAttribute(collator, UCOL_NORMALIZATION_MODE, UCOL_ON, &status);
  if (flags & NORM_IGNORESYMBOLS) {
    ucol_setAttribute(collator, UCOL_ALTERNATE_HANDLING, UCOL_SHIFTED, &status);
    ucol_setMaxVariable(collator, UCOL_REORDER_CODE_SYMBOL, &status);
  }
  if (flags & SORT_DIGITSASNUMBERS) ucol_setAttribute(collator, UCOL_NUMERIC_COLLATION, UCOL_ON, &status);
  status = U_ZERO_ERROR;  // an attribute a locale refuses leaves the default
  return collator;
}

// One collator per (locale, options), kept for the life of the process;
// comparing through a shared collator is thread-safe.
const UCollator* CollatorFor(uint32_t lcid, uint32_t flags) {
  uint32_t resolved = ResolvedLCID(lcid);
  uint32_t options = flags & kCollatorFlags;
  uint64_t key = (uint64_t(resolved) << 32) | options;
  thread_local uint64_t lastKey = ~uint64_t(0);
  thread_local const UCollator* lastCollator = nullptr;
  if (key == lastKey && lastCollator) return lastCollator;
  static std::mutex mutex;
  static std::unordered_map<uint64_t, std::unique_ptr<UCollator, TCollatorCloser>> collators;
  std::lock_guard<std::mutex> lock(mutex);
  auto& slot = collators[key];
  if (!slot) slot.reset(OpenCollator(LocaleNameOfLCID(resolved), options));
  lastKey = key;
  lastCollator = slot.get();
  return slot.get();
}

int Collate(const UCollator* collator, std::u16string_view a, std::u16string_view b) {
  auto clamp = [](size_t n) { return int32_t(n > 0x7FFFFFFF ? 0x7FFFFFFF : n); };
  UCollationResult r = ucol_strcoll(collator, reinterpret_cast<const UChar*>(a.data()), clamp(a.size()),
                                    reinterpret_cast<const UChar*>(b.data()), clamp(b.size()));
  return r == UCOL_LESS ? -1 : r == UCOL_GREATER ? 1 : 0;
}

bool IsWordSortIgnorable(char16_t c) { return c == u'-' || c == u'\''; }

std::u16string_view WithoutHyphens(std::u16string_view text, std::u16string& buffer) {
  bool any = false;
  for (char16_t c : text)
    if (IsWordSortIgnorable(c)) {
      any = true;
      break;
    }
  if (!any) return text;
  buffer.clear();
  for (char16_t c : text)
    if (!IsWordSortIgnorable(c)) buffer.push_back(c);
  return buffer;
}

// ---- locale data -------------------------------------------------------------------

// Turns an ICU date pattern into the platform's notation: day names "dddd" /
// "ddd", years "yyyy" (or "yy"), quoted literals kept; the pattern letters
// the platform does not know are dropped with their run.
std::u16string PlatformDatePattern(std::u16string_view icu, bool fourDigitYears) {
  std::u16string out;
  size_t i = 0;
  while (i < icu.size()) {
    char16_t c = icu[i];
    if (c == u'\'') {  // quoted literal, '' is a quote
      size_t j = i + 1;
      std::u16string literal;
      while (j < icu.size()) {
        if (icu[j] == u'\'') {
          if (j + 1 < icu.size() && icu[j + 1] == u'\'') {
            literal += u'\'';
            j += 2;
            continue;
          }
          break;
        }
        literal += icu[j++];
      }
      out += u'\'';
      out += literal;
      out += u'\'';
      i = j + 1;
      continue;
    }
    if (!((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'))) {
      out += c;
      ++i;
      continue;
    }
    size_t run = 1;
    while (i + run < icu.size() && icu[i + run] == c) ++run;
    switch (c) {
      case u'y':
      case u'u':
        out += (run == 2 && !fourDigitYears) ? u"yy" : u"yyyy";
        break;
      case u'M':
      case u'L':
        out.append(run > 4 ? 4 : run, u'M');
        break;
      case u'd':
        out.append(run > 2 ? 2 : run, u'd');
        break;
      case u'E':
      case u'c':
      case u'e':
        out += run >= 4 ? u"dddd" : u"ddd";
        break;
      case u'G':
        out += u"gg";
        break;
      default:
        break;
    }
    i += run;
  }
  return out;
}

// The date and number formats of one locale that the locale items read.
// Opening one costs far more than reading from it, and a locale's format
// settings read some forty items in a row from a few of them (the user's are
// read when the library is loaded), so each thread keeps those of the last
// locale it was asked about. Reading patterns, symbols and attributes does not
// change a format.
class TLocaleFormats {
 public:
  TLocaleFormats() = default;
  TLocaleFormats(const TLocaleFormats&) = delete;
  TLocaleFormats& operator=(const TLocaleFormats&) = delete;
  ~TLocaleFormats() { Close(); }

  // Null when ICU cannot open it.
  const UDateFormat* Date(const char* locale, UDateFormatStyle timeStyle, UDateFormatStyle dateStyle) {
    Select(locale);
    for (const TDate& d : fDates) {
      if (d.timeStyle == timeStyle && d.dateStyle == dateStyle) return d.format;
    }
    UErrorCode status = U_ZERO_ERROR;
    UDateFormat* format = udat_open(timeStyle, dateStyle, locale, nullptr, 0, nullptr, 0, &status);
    if (U_FAILURE(status)) {
      if (format) udat_close(format);
      return nullptr;
    }
    fDates.push_back({timeStyle, dateStyle, format});
    return format;
  }

  const UNumberFormat* Decimal(const char* locale) {
    Select(locale);
    if (fDecimal) return fDecimal;
    UErrorCode status = U_ZERO_ERROR;
    UNumberFormat* format = unum_open(UNUM_DECIMAL, nullptr, 0, locale, nullptr, &status);
    if (U_FAILURE(status)) {
      if (format) unum_close(format);
      return nullptr;
    }
    fDecimal = format;
    return fDecimal;
  }

 private:
  struct TDate {
    UDateFormatStyle timeStyle, dateStyle;
    UDateFormat* format;
  };

  void Select(const char* locale) {
    if (fLocale == locale) return;
    Close();
    fLocale = locale;
  }
  void Close() {
    for (const TDate& d : fDates) udat_close(d.format);
    fDates.clear();
    if (fDecimal) unum_close(fDecimal);
    fDecimal = nullptr;
  }

  std::string fLocale;
  std::vector<TDate> fDates;
  UNumberFormat* fDecimal = nullptr;
};

TLocaleFormats& Formats() {
  thread_local TLocaleFormats formats;
  return formats;
}

std::u16string DatePattern(const char* locale, UDateFormatStyle style, bool fourDigitYears) {
  const UDateFormat* format = Formats().Date(locale, UDAT_NONE, style);
  if (!format) return {};
  std::u16string pattern = IcuString([&](UChar* buffer, int32_t capacity, UErrorCode* err) {
    return udat_toPattern(format, false, buffer, capacity, err);
  });
  return PlatformDatePattern(pattern, fourDigitYears);
}

std::u16string DateSymbol(const char* locale, UDateFormatSymbolType type, int32_t index) {
  const UDateFormat* format = Formats().Date(locale, UDAT_DEFAULT, UDAT_DEFAULT);
  if (!format) return {};
  return IcuString([&](UChar* buffer, int32_t capacity, UErrorCode* err) {
    return udat_getSymbols(format, type, index, buffer, capacity, err);
  });
}

std::u16string NumberSymbol(const char* locale, UNumberFormatSymbol symbol) {
  const UNumberFormat* format = Formats().Decimal(locale);
  if (!format) return {};
  return IcuString([&](UChar* buffer, int32_t capacity, UErrorCode* err) {
    return unum_getSymbol(format, symbol, buffer, capacity, err);
  });
}

std::u16string Grouping(const char* locale) {
  const UNumberFormat* format = Formats().Decimal(locale);
  if (!format) return {};
  int32_t primary = unum_getAttribute(format, UNUM_GROUPING_SIZE);
  int32_t secondary = unum_getAttribute(format, UNUM_SECONDARY_GROUPING_SIZE);
  if (primary <= 0) return u"0";
  std::string text = std::to_string(primary);
  if (secondary > 0 && secondary != primary) {
    text.push_back(';');
    text.append(std::to_string(secondary));
  }
  text.append(";0");
  return Ascii(text);
}

std::u16string CurrencyCode(const char* locale) {
  UChar code[4] = {};
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = ucurr_forLocale(locale, code, 4, &status);
  if (U_FAILURE(status) || length != 3) return {};
  return std::u16string(reinterpret_cast<const char16_t*>(code), 3);
}

std::u16string CurrencySymbol(const char* locale) {
  std::u16string code = CurrencyCode(locale);
  if (code.empty()) return {};
  UBool isChoice = false;
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  const UChar* name = ucurr_getName(reinterpret_cast<const UChar*>(code.c_str()), locale, UCURR_SYMBOL_NAME,
                                    &isChoice, &length, &status);
  if (U_FAILURE(status) || !name) return code;
  return std::u16string(reinterpret_cast<const char16_t*>(name), size_t(length));
}

std::u16string NativeDigits(const char* locale) {
  UErrorCode status = U_ZERO_ERROR;
  UNumberingSystem* system = unumsys_open(locale, &status);
  std::u16string digits = u"0123456789";
  if (U_SUCCESS(status) && system && !unumsys_isAlgorithmic(system)) {
    std::u16string description = IcuString([&](UChar* buffer, int32_t capacity, UErrorCode* err) {
      return unumsys_getDescription(system, buffer, capacity, err);
    });
    // Ten digits, each one code unit (the numbering systems of the BMP).
    if (description.size() == 10) digits = description;
  }
  if (system) unumsys_close(system);
  return digits;
}

// The first character that is not a pattern letter in a platform pattern.
std::u16string SeparatorIn(std::u16string_view pattern) {
  bool quoted = false;
  for (char16_t c : pattern) {
    if (c == u'\'') {
      quoted = !quoted;
      continue;
    }
    if (quoted) continue;
    if (!((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'))) return std::u16string(1, c);
  }
  return {};
}

std::u16string TimeSeparator(const char* locale) {
  const UDateFormat* format = Formats().Date(locale, UDAT_SHORT, UDAT_NONE);
  if (!format) return u":";
  std::u16string pattern = IcuString([&](UChar* buffer, int32_t capacity, UErrorCode* err) {
    return udat_toPattern(format, false, buffer, capacity, err);
  });
  size_t h = pattern.find_first_of(u"Hhkm");
  if (h == std::u16string::npos) return u":";
  while (h < pattern.size() && (pattern[h] == u'H' || pattern[h] == u'h' || pattern[h] == u'k')) ++h;
  return h < pattern.size() && pattern[h] != u'm' ? std::u16string(1, pattern[h]) : u":";
}

std::u16string DisplayName(const char* locale, const char* inLocale, int which) {
  return IcuString([&](UChar* buffer, int32_t capacity, UErrorCode* err) {
    switch (which) {
      case 0: return uloc_getDisplayLanguage(locale, inLocale, buffer, capacity, err);
      case 1: return uloc_getDisplayCountry(locale, inLocale, buffer, capacity, err);
      default: return uloc_getDisplayName(locale, inLocale, buffer, capacity, err);
    }
  });
}

std::u16string LocaleItem(uint32_t lcid, const std::string& name, uint32_t item) {
  const char* locale = name.c_str();
  char part[ULOC_FULLNAME_CAPACITY];
  UErrorCode status = U_ZERO_ERROR;
  switch (item) {
    case LOCALE_ILANGUAGE: {
      char hex[8];
      std::snprintf(hex, sizeof hex, "%04x", unsigned(lcid & 0xFFFF));
      return Ascii(hex);
    }
    case LOCALE_SLANGUAGE: return DisplayName(locale, "en", 2);
    case LOCALE_SENGLANGUAGE: return DisplayName(locale, "en", 0);
    case LOCALE_SNATIVELANGNAME: return DisplayName(locale, locale, 0);
    case LOCALE_SCOUNTRY:
    case LOCALE_SENGCOUNTRY: return DisplayName(locale, "en", 1);
    case LOCALE_SNATIVECTRYNAME: return DisplayName(locale, locale, 1);
    case LOCALE_IDEFAULTANSICODEPAGE: return Decimal(DefaultAnsiCodePageOfLCID(lcid));
    case LOCALE_IDEFAULTCODEPAGE: {
      uint32_t oem = DefaultOemCodePageOfLCID(lcid);
      return Decimal(oem ? oem : 1);
    }
    case LOCALE_IMEASURE: {
      UMeasurementSystem system = ulocdata_getMeasurementSystem(locale, &status);
      if (U_FAILURE(status)) return {};
      return system == UMS_US ? u"1" : u"0";
    }
    case LOCALE_SDECIMAL: return NumberSymbol(locale, UNUM_DECIMAL_SEPARATOR_SYMBOL);
    case LOCALE_STHOUSAND: return NumberSymbol(locale, UNUM_GROUPING_SEPARATOR_SYMBOL);
    case LOCALE_SLIST: return NumberSymbol(locale, UNUM_DECIMAL_SEPARATOR_SYMBOL) == u"," ? u";" : u",";
    case LOCALE_SGROUPING: return Grouping(locale);
    case LOCALE_SNATIVEDIGITS: return NativeDigits(locale);
    case LOCALE_SCURRENCY: return CurrencySymbol(locale);
    case LOCALE_SINTLSYMBOL: return CurrencyCode(locale);
    case LOCALE_SSHORTDATE: return DatePattern(locale, UDAT_SHORT, true);
    case LOCALE_SLONGDATE: return DatePattern(locale, UDAT_FULL, true);
    case LOCALE_SDATE: return SeparatorIn(DatePattern(locale, UDAT_SHORT, true));
    case LOCALE_STIME: return TimeSeparator(locale);
    case LOCALE_S1159: return DateSymbol(locale, UDAT_AM_PMS, 0);
    case LOCALE_S2359: return DateSymbol(locale, UDAT_AM_PMS, 1);
    case LOCALE_SISO639LANGNAME:
      uloc_getLanguage(locale, part, sizeof part, &status);
      return U_SUCCESS(status) ? Ascii(part) : std::u16string();
    case LOCALE_SISO3166CTRYNAME:
      uloc_getCountry(locale, part, sizeof part, &status);
      return U_SUCCESS(status) ? Ascii(part) : std::u16string();
    case LOCALE_SNAME:
      uloc_toLanguageTag(locale, part, sizeof part, false, &status);
      return U_SUCCESS(status) ? Ascii(part) : std::u16string();
    default: break;
  }
  // Day names: the platform counts from Monday, ICU from Sunday (1).
  if (item >= LOCALE_SDAYNAME1 && item < LOCALE_SDAYNAME1 + 7)
    return DateSymbol(locale, UDAT_STANDALONE_WEEKDAYS, int32_t((item - LOCALE_SDAYNAME1 + 1) % 7 + 1));
  if (item >= LOCALE_SABBREVDAYNAME1 && item < LOCALE_SABBREVDAYNAME1 + 7)
    return DateSymbol(locale, UDAT_STANDALONE_SHORT_WEEKDAYS,
                      int32_t((item - LOCALE_SABBREVDAYNAME1 + 1) % 7 + 1));
  if (item >= LOCALE_SMONTHNAME1 && item < LOCALE_SMONTHNAME1 + 12)
    return DateSymbol(locale, UDAT_STANDALONE_MONTHS, int32_t(item - LOCALE_SMONTHNAME1));
  if (item >= LOCALE_SABBREVMONTHNAME1 && item < LOCALE_SABBREVMONTHNAME1 + 12)
    return DateSymbol(locale, UDAT_STANDALONE_SHORT_MONTHS, int32_t(item - LOCALE_SABBREVMONTHNAME1));
  return {};
}

}  // namespace

// ---- identifiers -------------------------------------------------------------------

uint32_t ResolvedLCID(uint32_t lcid) noexcept { return IsPseudoDefault(lcid) ? UserDefaultLCID() : lcid; }

std::string LocaleNameOfLCID(uint32_t lcid) {
  lcid = ResolvedLCID(lcid);
  if (lcid == LOCALE_INVARIANT) return {};
  char name[ULOC_FULLNAME_CAPACITY];
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = uloc_getLocaleForLCID(lcid, name, int32_t(sizeof name), &status);
  if (U_FAILURE(status) || status == U_USING_FALLBACK_WARNING || length <= 0) return {};
  return std::string(name, size_t(length));
}

uint32_t LCIDOfLocaleName(std::string_view localeName) {
  if (localeName.empty() || localeName.size() >= ULOC_FULLNAME_CAPACITY) return 0;
  std::string name(localeName);
  char canonical[ULOC_FULLNAME_CAPACITY];
  UErrorCode status = U_ZERO_ERROR;
  if (name.find('-') != std::string::npos) {
    int32_t parsed = 0;
    uloc_forLanguageTag(name.c_str(), canonical, int32_t(sizeof canonical), &parsed, &status);
    if (U_FAILURE(status) || parsed != int32_t(name.size())) return 0;
    name = canonical;
  }
  return uloc_getLCID(name.c_str());
}

bool IsValidLCID(uint32_t lcid) {
  lcid = ResolvedLCID(lcid);
  return lcid == LOCALE_INVARIANT || !LocaleNameOfLCID(lcid).empty();
}

// ---- code pages ------------------------------------------------------------------------

uint32_t DefaultAnsiCodePageOfLCID(uint32_t lcid) noexcept {
  lcid = ResolvedLCID(lcid);
  uint32_t ansi = 0, oem = 0;
  AnsiAndOem(lcid, &ansi, &oem);
  return ansi;
}

uint32_t DefaultOemCodePageOfLCID(uint32_t lcid) noexcept {
  lcid = ResolvedLCID(lcid);
  uint32_t ansi = 0, oem = 0;
  AnsiAndOem(lcid, &ansi, &oem);
  return oem;
}

uint32_t LCIDToCodePage(uint32_t lcid) noexcept {
  uint32_t cp = DefaultAnsiCodePageOfLCID(lcid);
  return cp ? cp : ActiveCodePage();
}

// ---- locale data -------------------------------------------------------------------------

std::u16string GetLocaleInfo(uint32_t lcid, uint32_t item) {
  lcid = ResolvedLCID(lcid);
  std::string name = LocaleNameOfLCID(lcid);
  if (name.empty() && lcid != LOCALE_INVARIANT) return {};
  if (lcid == LOCALE_INVARIANT) name = "en_US_POSIX";
  return LocaleItem(lcid, name, item);
}

bool UsesUSMeasurement(uint32_t lcid) { return GetLocaleInfo(lcid, LOCALE_IMEASURE) == u"1"; }

// ---- comparison -----------------------------------------------------------------------------

int CompareStrings(uint32_t lcid, uint32_t flags, std::u16string_view a, std::u16string_view b) {
  const UCollator* collator = CollatorFor(lcid, flags);
  if (!collator) {
    int c = a.compare(b);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
  }
  if (!(flags & SORT_STRINGSORT)) {
    // Word sort: hyphens and apostrophes decide only between strings that
    // are otherwise equal.
    thread_local std::u16string bufferA, bufferB;
    std::u16string_view strippedA = WithoutHyphens(a, bufferA);
    std::u16string_view strippedB = WithoutHyphens(b, bufferB);
    if (strippedA.size() != a.size() || strippedB.size() != b.size()) {
      int c = Collate(collator, strippedA, strippedB);
      if (c != 0) return c;
      // Otherwise equal: fewer hyphens and apostrophes first ("coop" before
      // "co-op"), then their places decide.
      size_t extraA = a.size() - strippedA.size(), extraB = b.size() - strippedB.size();
      if (extraA != extraB) return extraA < extraB ? -1 : 1;
    }
  }
  return Collate(collator, a, b);
}

bool CollationKey(uint32_t lcid, uint32_t flags, std::u16string_view text, std::string& key) {
  key.clear();
  const UCollator* collator = CollatorFor(lcid, flags);
  if (!collator || text.size() > 0x7FFFFFFF) return false;
  const auto* source = reinterpret_cast<const UChar*>(text.data());
  const auto length = int32_t(text.size());
  // Keys are rarely longer than four bytes per unit; one retry at the exact
  // size covers the rest.
  key.resize(text.size() * 4 + 16);
  int32_t needed = ucol_getSortKey(collator, source, length, reinterpret_cast<uint8_t*>(key.data()),
                                   int32_t(key.size()));
  if (needed > int32_t(key.size())) {
    key.resize(size_t(needed));
    needed = ucol_getSortKey(collator, source, length, reinterpret_cast<uint8_t*>(key.data()), needed);
  }
  if (needed <= 0) {
    key.clear();
    return false;
  }
  key.resize(size_t(needed - 1));  // without the terminating zero byte
  return true;
}

int CompareStringsA(uint32_t lcid, uint32_t flags, std::string_view a, std::string_view b) {
  uint32_t cp = LCIDToCodePage(lcid);
  return CompareStrings(lcid, flags, Decoded(cp, a), Decoded(cp, b));
}

int CompareStr(std::u16string_view a, std::u16string_view b) { return CompareStrings(LOCALE_USER_DEFAULT, 0, a, b); }

int CompareText(std::u16string_view a, std::u16string_view b) {
  return CompareStrings(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a, b);
}

// ---- normalisation ----------------------------------------------------------------------------

std::u16string Precomposed(std::u16string_view text) {
  if (text.empty()) return {};
  if (text.size() > 0x3FFFFFFF) return std::u16string(text);
  UErrorCode status = U_ZERO_ERROR;
  const UNormalizer2* nfc = unorm2_getNFCInstance(&status);
  if (U_FAILURE(status)) return std::u16string(text);
  const UChar* source = reinterpret_cast<const UChar*>(text.data());
  int32_t length = int32_t(text.size());
  if (unorm2_quickCheck(nfc, source, length, &status) == UNORM_YES && U_SUCCESS(status))
    return std::u16string(text);
  status = U_ZERO_ERROR;
  // Composition rarely grows a text; three times the input always suffices.
  std::u16string result(size_t(length) * 3 + 16, u'\0');
  int32_t produced = unorm2_normalize(nfc, source, length, reinterpret_cast<UChar*>(result.data()),
                                      int32_t(result.size()), &status);
  if (U_FAILURE(status)) return std::u16string(text);
  result.resize(size_t(produced));
  return result;
}

bool IsPrecomposed(std::u16string_view text) {
  if (text.empty()) return true;
  if (text.size() > 0x7FFFFFFF) return false;
  UErrorCode status = U_ZERO_ERROR;
  const UNormalizer2* nfc = unorm2_getNFCInstance(&status);
  if (U_FAILURE(status)) return false;
  UBool yes = unorm2_isNormalized(nfc, reinterpret_cast<const UChar*>(text.data()), int32_t(text.size()), &status);
  return U_SUCCESS(status) && yes;
}

}  // namespace qn::platform
