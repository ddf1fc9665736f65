#include "runtime1/definitions/Locale_utilities.h"

#include "platform/Locales.h"
#include "runtime1/definitions/Wdef.h"

namespace qn {

std::u16string PlatformLocaleData(uint32_t lcid, uint32_t item) { return platform::GetLocaleInfo(lcid, item); }

TGetLocaleFunct GetLocaleDataProc = &PlatformLocaleData;

namespace {

std::u16string LocaleData(uint32_t lcid, uint32_t item) {
  return GetLocaleDataProc != nullptr ? GetLocaleDataProc(lcid, item) : std::u16string();
}

// A whole decimal number, blanks around it allowed; 0 for anything else.
int32_t NumberOrZero(std::u16string_view text) {
  while (!text.empty() && text.front() <= u' ') text.remove_prefix(1);
  while (!text.empty() && text.back() <= u' ') text.remove_suffix(1);
  if (text.empty() || text.size() > 9) return 0;
  int32_t value = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return 0;
    value = value * 10 + (c - u'0');
  }
  return value;
}

std::u16string Trimmed(std::u16string_view text) {
  while (!text.empty() && text.front() <= u' ') text.remove_prefix(1);
  while (!text.empty() && text.back() <= u' ') text.remove_suffix(1);
  return std::u16string(text);
}

constexpr std::u16string_view kVarietyMarker = u" (";

}  // namespace

std::u16string CurrencyFromLCID(uint32_t lcid) { return LocaleData(lcid, platform::LOCALE_SCURRENCY); }
std::u16string CountryFromLCID(uint32_t lcid) { return LocaleData(lcid, platform::LOCALE_SENGCOUNTRY); }
std::u16string LocalLanguageNameFromLCID(uint32_t lcid) { return LocaleData(lcid, platform::LOCALE_SLANGUAGE); }
std::u16string EnglishLanguageNameFromLCID(uint32_t lcid) { return LocaleData(lcid, platform::LOCALE_SENGLANGUAGE); }

int32_t DOSCodepageFromLCID(uint32_t lcid) {
  return NumberOrZero(LocaleData(lcid, platform::LOCALE_IDEFAULTCODEPAGE));
}

int32_t WindowsCodepageFromLCID(uint32_t lcid) {
  return NumberOrZero(LocaleData(lcid, platform::LOCALE_IDEFAULTANSICODEPAGE));
}

bool LanguageHasCombiningCharacters(uint32_t lcid) noexcept {
  switch (PrimaryLanguage(lcid)) {
    case 0x01: case 0x1E: case 0x29: case 0x39: case 0x45: case 0x47: case 0x48:
    case 0x49: case 0x4A: case 0x4B: case 0x4C: case 0x51: case 0x53: case 0x54:
    case 0x5B: case 0x5E: case 0x61: case 0x63: case 0x6A:
      return true;
    default:
      return false;
  }
}

bool LanguageRequiresUnicode(uint32_t lcid) noexcept {
  switch (PrimaryLanguage(lcid)) {
    case 0x01: case 0x04: case 0x0D: case 0x11: case 0x12: case 0x1E: case 0x29: case 0x2A: case 0x63:
      return true;
    default:
      return false;
  }
}

std::u16string LCIDAllCurrencyString(uint32_t lcid, const TArrayOfLCID& lcids) {
  std::u16string result;
  for (uint32_t other : lcids) {
    if (!SamePrimaryLanguage(lcid, other)) continue;
    const std::u16string symbol = CurrencyFromLCID(other);
    if (result.find(symbol) != std::u16string::npos) continue;  // also skips an empty symbol
    if (!result.empty()) result += u',';
    result += symbol;
  }
  return result;
}

std::unique_ptr<platform::TStringList> LCIDSubVarieties(uint32_t lcid, const TArrayOfLCID& lcids) {
  auto list = std::make_unique<platform::TStringList>(false);
  for (uint32_t other : lcids) {
    if (!SamePrimaryLanguage(lcid, other)) continue;
    const std::u16string country = CountryFromLCID(other);
    if (list->IndexOf(country) >= 0) continue;
    list->AddObject(country, platform::ObjectFromInt(static_cast<intptr_t>(other)));
  }
  list->Sort();
  return list;
}

std::u16string ShortenedSysLanguageName(std::u16string_view name) {
  const size_t at = name.find(kVarietyMarker);
  if (at == std::u16string_view::npos) return std::u16string(name);
  return Trimmed(name.substr(0, at));
}

std::u16string SysLanguageVariantName(std::u16string_view name) {
  const size_t at = name.find(kVarietyMarker);
  const std::u16string_view variety = at == std::u16string_view::npos ? name : name.substr(at + kVarietyMarker.size());
  std::u16string rest;
  for (char16_t c : variety) {
    if (c != u'(' && c != u')') rest += c;
  }
  return Trimmed(rest);
}

}  // namespace qn
