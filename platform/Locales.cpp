#include "platform/Locales.h"

#include "platform/CodePages.h"

namespace qn::platform {

uint32_t ResolvedLCID(uint32_t lcid) noexcept {
  if (lcid == 0 || lcid == LOCALE_USER_DEFAULT || lcid == LOCALE_SYSTEM_DEFAULT || lcid == LOCALE_CUSTOM_DEFAULT)
    return UserDefaultLCID();
  return lcid;
}
std::string LocaleNameOfLCID(uint32_t) { return {}; }
uint32_t LCIDOfLocaleName(std::string_view) { return 0; }
bool IsValidLCID(uint32_t) { return false; }
uint32_t DefaultAnsiCodePageOfLCID(uint32_t) noexcept { return 1252; }
uint32_t DefaultOemCodePageOfLCID(uint32_t) noexcept { return 437; }
uint32_t LCIDToCodePage(uint32_t lcid) noexcept {
  uint32_t cp = DefaultAnsiCodePageOfLCID(lcid);
  return cp ? cp : ActiveCodePage();
}
std::u16string GetLocaleInfo(uint32_t, uint32_t) { return {}; }
bool UsesUSMeasurement(uint32_t) { return false; }
int CompareStrings(uint32_t, uint32_t, std::u16string_view a, std::u16string_view b) {
  int c = a.compare(b);
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}
int CompareStringsA(uint32_t, uint32_t, std::string_view a, std::string_view b) {
  int c = a.compare(b);
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}
int CompareStr(std::u16string_view a, std::u16string_view b) { return CompareStrings(0, 0, a, b); }
int CompareText(std::u16string_view a, std::u16string_view b) {
  return CompareStrings(0, NORM_IGNORECASE, a, b);
}
std::u16string Precomposed(std::u16string_view text) { return std::u16string(text); }
bool IsPrecomposed(std::u16string_view) { return true; }

}  // namespace qn::platform
