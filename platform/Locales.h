// Locales: Windows locale identifiers (LCID) and what the system derives from
// them -- the ICU locale, locale data items, the default code pages, locale-
// aware comparison -- and canonical precomposition.
//
// An LCID is a 32-bit number whose low 10 bits are the primary language and
// the next 6 the sublanguage (0x0409 English (United States), 0x041F Turkish).
// The pseudo identifiers LOCALE_USER_DEFAULT (0x0400), LOCALE_SYSTEM_DEFAULT
// (0x0800), LOCALE_CUSTOM_DEFAULT (0x0C00) and 0 mean the user's default
// locale (CodePages.h); LOCALE_INVARIANT (0x007F) is the locale-neutral root.
//
// Comparison uses ICU collators, one per (locale, options), created on first
// use and cached for the life of the process; comparing is thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Export.h"

namespace qn::platform {

inline constexpr uint32_t LOCALE_NEUTRAL = 0x0000;
inline constexpr uint32_t LOCALE_INVARIANT = 0x007F;
inline constexpr uint32_t LOCALE_USER_DEFAULT = 0x0400;
inline constexpr uint32_t LOCALE_SYSTEM_DEFAULT = 0x0800;
inline constexpr uint32_t LOCALE_CUSTOM_DEFAULT = 0x0C00;

// Locale data items (GetLocaleInfo numbering).
inline constexpr uint32_t LOCALE_ILANGUAGE = 0x0001;            // LCID as 4 hex digits
inline constexpr uint32_t LOCALE_SLANGUAGE = 0x0002;            // language (country), English UI
inline constexpr uint32_t LOCALE_SNATIVELANGNAME = 0x0004;      // language in itself
inline constexpr uint32_t LOCALE_SCOUNTRY = 0x0006;             // country, English UI
inline constexpr uint32_t LOCALE_SNATIVECTRYNAME = 0x0008;      // country in the language
inline constexpr uint32_t LOCALE_IDEFAULTCODEPAGE = 0x000B;     // default OEM code page
inline constexpr uint32_t LOCALE_SLIST = 0x000C;                // list separator
inline constexpr uint32_t LOCALE_IMEASURE = 0x000D;             // "0" metric, "1" U.S.
inline constexpr uint32_t LOCALE_SDECIMAL = 0x000E;
inline constexpr uint32_t LOCALE_STHOUSAND = 0x000F;
inline constexpr uint32_t LOCALE_SGROUPING = 0x0010;
inline constexpr uint32_t LOCALE_SNATIVEDIGITS = 0x0013;
inline constexpr uint32_t LOCALE_SCURRENCY = 0x0014;            // local currency symbol
inline constexpr uint32_t LOCALE_SINTLSYMBOL = 0x0015;          // ISO 4217 code
inline constexpr uint32_t LOCALE_SDATE = 0x001D;
inline constexpr uint32_t LOCALE_STIME = 0x001E;
inline constexpr uint32_t LOCALE_SSHORTDATE = 0x001F;
inline constexpr uint32_t LOCALE_SLONGDATE = 0x0020;
inline constexpr uint32_t LOCALE_S1159 = 0x0028;                // AM designator
inline constexpr uint32_t LOCALE_S2359 = 0x0029;                // PM designator
inline constexpr uint32_t LOCALE_SDAYNAME1 = 0x002A;            // .. 0x0030: Monday .. Sunday
inline constexpr uint32_t LOCALE_SABBREVDAYNAME1 = 0x0031;      // .. 0x0037
inline constexpr uint32_t LOCALE_SMONTHNAME1 = 0x0038;          // .. 0x0043: January .. December
inline constexpr uint32_t LOCALE_SABBREVMONTHNAME1 = 0x0044;    // .. 0x004F
inline constexpr uint32_t LOCALE_SISO639LANGNAME = 0x0059;
inline constexpr uint32_t LOCALE_SISO3166CTRYNAME = 0x005A;
inline constexpr uint32_t LOCALE_SNAME = 0x005C;                // "en-US"
inline constexpr uint32_t LOCALE_SENGLANGUAGE = 0x1001;         // English language name
inline constexpr uint32_t LOCALE_SENGCOUNTRY = 0x1002;          // English country name
inline constexpr uint32_t LOCALE_IDEFAULTANSICODEPAGE = 0x1004; // default ANSI code page
inline constexpr uint32_t LOCALE_SENGLISHLANGUAGENAME = LOCALE_SENGLANGUAGE;
inline constexpr uint32_t LOCALE_SENGLISHCOUNTRYNAME = LOCALE_SENGCOUNTRY;

// Comparison flags (CompareString numbering).
inline constexpr uint32_t NORM_IGNORECASE = 0x00000001;
inline constexpr uint32_t NORM_IGNORENONSPACE = 0x00000002;
inline constexpr uint32_t NORM_IGNORESYMBOLS = 0x00000004;
inline constexpr uint32_t SORT_DIGITSASNUMBERS = 0x00000008;
inline constexpr uint32_t LINGUISTIC_IGNORECASE = 0x00000010;
inline constexpr uint32_t LINGUISTIC_IGNOREDIACRITIC = 0x00000020;
inline constexpr uint32_t SORT_STRINGSORT = 0x00001000;
inline constexpr uint32_t NORM_IGNOREKANATYPE = 0x00010000;
inline constexpr uint32_t NORM_IGNOREWIDTH = 0x00020000;
inline constexpr uint32_t NORM_LINGUISTIC_CASING = 0x08000000;

// ---- identifiers -----------------------------------------------------------

// The locale an identifier stands for: pseudo identifiers replaced by the
// user's default locale; anything else unchanged.
QN_API uint32_t ResolvedLCID(uint32_t lcid) noexcept;
// The low 10 bits.
inline constexpr uint16_t PrimaryLangOf(uint32_t lcid) noexcept { return uint16_t(lcid & 0x3FF); }
inline constexpr uint16_t SubLangOf(uint32_t lcid) noexcept { return uint16_t((lcid >> 10) & 0x3F); }

// The ICU locale name of an LCID ("en_US", "tr_TR", "zh_Hans_CN"); "" when ICU
// does not know the identifier, and for LOCALE_INVARIANT (the root locale).
QN_API std::string LocaleNameOfLCID(uint32_t lcid);
// The LCID of an ICU or BCP 47 locale name ("de_DE", "de-DE"); 0 when unknown.
QN_API uint32_t LCIDOfLocaleName(std::string_view localeName);
// Whether ICU knows the identifier.
QN_API bool IsValidLCID(uint32_t lcid);

// ---- code pages of a locale ------------------------------------------------

// The default ANSI code page of the locale's language; 0 for languages whose
// text needs Unicode (Hindi, Georgian, Armenian, ...).
QN_API uint32_t DefaultAnsiCodePageOfLCID(uint32_t lcid) noexcept;
// The default OEM code page of the locale's language; 1 (CP_OEMCP) is never
// returned; 0 for languages without one.
QN_API uint32_t DefaultOemCodePageOfLCID(uint32_t lcid) noexcept;
// The code page 8-bit text of the locale uses: its default ANSI code page, or
// the active code page when it has none.
QN_API uint32_t LCIDToCodePage(uint32_t lcid) noexcept;

// ---- locale data -----------------------------------------------------------

// The value of a locale data item, "" when the locale or the item has no
// answer. Names come in English (LOCALE_SLANGUAGE "German (Germany)",
// LOCALE_SENGLANGUAGE "German", LOCALE_SENGCOUNTRY "Germany") or in the
// locale's own language (LOCALE_SNATIVELANGNAME "Deutsch"); numbers as decimal
// text (LOCALE_IDEFAULTANSICODEPAGE "1252", "0" for a language without an
// ANSI code page; LOCALE_IDEFAULTCODEPAGE "850", "1" for one without an OEM
// code page; LOCALE_IMEASURE "0" metric or "1" U.S.). Date patterns come in
// the platform's notation ("M/d/yyyy", "dddd, MMMM d, yyyy"); short dates
// with four-digit years. Day names run from Monday (LOCALE_SDAYNAME1) to
// Sunday.
QN_API std::u16string GetLocaleInfo(uint32_t lcid, uint32_t item);
// True when the locale measures in the U.S. system (LOCALE_IMEASURE "1").
QN_API bool UsesUSMeasurement(uint32_t lcid);

// ---- comparison ------------------------------------------------------------

// Compares a and b as the locale sorts them: -1, 0 or 1. flags: 0 for the
// ordinary comparison (letter case counts, after letters and accents),
// NORM_IGNORECASE / LINGUISTIC_IGNORECASE to ignore case, NORM_IGNORENONSPACE /
// LINGUISTIC_IGNOREDIACRITIC to ignore accents, NORM_IGNORESYMBOLS to ignore
// punctuation, spaces and symbols, SORT_DIGITSASNUMBERS for numeric order of
// digit runs. Without SORT_STRINGSORT, hyphens and apostrophes weigh only when
// the strings are otherwise equal ("coop" and "co-op" sort together); with it,
// they are ordinary symbols. Other flags are accepted and have no effect.
QN_API int CompareStrings(uint32_t lcid, uint32_t flags, std::u16string_view a, std::u16string_view b);
// The collation key of text under the collator of CompareStrings(lcid, flags):
// keys of two texts compare with memcmp (shorter first on a common prefix) as
// CompareStrings compares the texts, and are equal exactly when it answers 0,
// for texts without hyphens and apostrophes (whose word-sort treatment the key
// leaves out). The key replaces the contents of key; false (key empty) when
// no collator can be opened or the text is too long.
QN_API bool CollationKey(uint32_t lcid, uint32_t flags, std::u16string_view text, std::string& key);
// The same for 8-bit text in the locale's code page (LCIDToCodePage).
QN_API int CompareStringsA(uint32_t lcid, uint32_t flags, std::string_view a, std::string_view b);
// Ordinary and case-insensitive comparison in the user's default locale.
QN_API int CompareStr(std::u16string_view a, std::u16string_view b);
QN_API int CompareText(std::u16string_view a, std::u16string_view b);

// ---- normalisation ---------------------------------------------------------

// Canonical composition (NFC): decomposed sequences replaced by precomposed
// characters ("e" U+0301 -> "é"). Lone surrogates pass through unchanged.
QN_API std::u16string Precomposed(std::u16string_view text);
// True when the text is already in NFC (a quick check; no allocation for the
// common case).
QN_API bool IsPrecomposed(std::u16string_view text);

}  // namespace qn::platform
