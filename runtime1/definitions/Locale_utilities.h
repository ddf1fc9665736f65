// What the suite derives from a locale identifier: currency, country and
// language names, code pages, whether a language's script needs Unicode or
// has combining characters, and the varieties of a language among a set of
// locales.
//
// Every locale data item is asked through GetLocaleDataProc, which a host (or
// a test) may replace with any source that answers the items used here; the
// installed one asks the platform's locale database.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Export.h"
#include "platform/StringList.h"

namespace qn {

// A locale data item of a locale; empty when there is no answer.
using TGetLocaleFunct = std::u16string (*)(uint32_t lcid, uint32_t item);
// The platform's locale database (platform::GetLocaleInfo).
QN_API std::u16string PlatformLocaleData(uint32_t lcid, uint32_t item);
// The source of every query below; PlatformLocaleData unless replaced. A null
// value counts as a source without answers.
extern QN_API TGetLocaleFunct GetLocaleDataProc;

using TArrayOfLCID = std::vector<uint32_t>;

// Item 0x14: the local currency symbol ("$").
QN_API std::u16string CurrencyFromLCID(uint32_t lcid);
// Item 0x1002: the English country name ("United States").
QN_API std::u16string CountryFromLCID(uint32_t lcid);
// Item 0x2: the language name for display ("English (United States)").
QN_API std::u16string LocalLanguageNameFromLCID(uint32_t lcid);
// Item 0x1001: the English language name ("English").
QN_API std::u16string EnglishLanguageNameFromLCID(uint32_t lcid);
// Item 0xB: the default OEM code page; 0 when the answer is not a number.
QN_API int32_t DOSCodepageFromLCID(uint32_t lcid);
// Item 0x1004: the default ANSI code page; 0 when the answer is not a number.
QN_API int32_t WindowsCodepageFromLCID(uint32_t lcid);

// Scripts whose words carry combining marks (Arabic, Thai, the Indic scripts,
// Tibetan, Khmer, Lao, Sinhala, Amharic, Nepali, Pashto, Yoruba).
QN_API bool LanguageHasCombiningCharacters(uint32_t lcid) noexcept;
// Languages without an 8-bit code page of their own that suffices (Arabic,
// Chinese, Hebrew, Japanese, Korean, Thai, Farsi, Vietnamese, Pashto).
QN_API bool LanguageRequiresUnicode(uint32_t lcid) noexcept;

// The currency symbols of the locales in lcids that share lcid's primary
// language, in order, joined with ","; a symbol already contained in the text
// built so far is left out.
QN_API std::u16string LCIDAllCurrencyString(uint32_t lcid, const TArrayOfLCID& lcids);
// A new list, which the caller owns: the English country names of the locales
// in lcids that share lcid's primary language, each once (the first locale
// wins), sorted, each with its LCID in the object slot (platform::IntFromObject).
QN_API std::unique_ptr<platform::TStringList> LCIDSubVarieties(uint32_t lcid, const TArrayOfLCID& lcids);

// A platform language name without its variety: "English (United States)"
// gives "English"; a name without " (" comes back unchanged.
QN_API std::u16string ShortenedSysLanguageName(std::u16string_view name);
// The variety of a platform language name: "English (United States)" gives
// "United States". A name without " (" comes back without its parentheses.
QN_API std::u16string SysLanguageVariantName(std::u16string_view name);

}  // namespace qn
