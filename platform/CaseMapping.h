// Case mapping, one code unit in and one code unit out.
//
// Callers upper- or lower-case buffers in place (list files, search buffers,
// words), so a mapping never changes the length: each code unit gets its
// simple (1:1) Unicode case mapping, never a full mapping such as "ß" -> "SS".
// A valid surrogate pair is mapped as one supplementary character (its simple
// mapping is again a pair, so the length still holds); a lone surrogate stays.
//
// Variants: the locale-independent mapping, and the linguistic casing of
// Turkish and Azeri (i <-> İ U+0130, ı U+0131 <-> I). Other locales use the
// locale-independent mapping: their special casings (Lithuanian dot above,
// Greek final sigma and accents) change lengths or depend on context and so
// have no 1:1 form. A locale identifier selects the variant by its primary
// language. Each variant is a pair of 64K tables: the invariant ones built into
// the library (platform/UnitTables.h), the Turkic ones copied from them and
// amended lazily, thread-safely.
//
// 8-bit text: each character is decoded with the code page, mapped, and
// encoded back; when the mapped character does not exist in the code page or
// would need a different number of bytes, the original bytes stay.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Export.h"

namespace qn::platform {

// Flags of the platform-style LCMapString entry points.
inline constexpr uint32_t LCMAP_LOWERCASE = 0x00000100;
inline constexpr uint32_t LCMAP_UPPERCASE = 0x00000200;
inline constexpr uint32_t LCMAP_LINGUISTIC_CASING = 0x01000000;

enum class TCaseVariant : uint8_t {
  Invariant,  // locale-independent simple mappings
  Turkic,     // Turkish and Azeri dotted and dotless i
};

// The variant that linguistic casing uses for a locale (0x041F Turkish, 0x042C
// and 0x082C Azeri, any LCID of those primary languages: Turkic).
QN_API TCaseVariant CaseVariantOfLCID(uint32_t lcid) noexcept;

// Single code units.
QN_API char16_t UpperChar(char16_t c, TCaseVariant variant = TCaseVariant::Invariant) noexcept;
QN_API char16_t LowerChar(char16_t c, TCaseVariant variant = TCaseVariant::Invariant) noexcept;

// The 64K tables of a variant (never null, valid for the life of the process).
QN_API const char16_t* UpperTable(TCaseVariant variant) noexcept;
QN_API const char16_t* LowerTable(TCaseVariant variant) noexcept;

// UTF-16 buffers in place: count code units (no terminator needed).
QN_API void UpperCaseInPlace(char16_t* text, size_t count, TCaseVariant variant = TCaseVariant::Invariant) noexcept;
QN_API void LowerCaseInPlace(char16_t* text, size_t count, TCaseVariant variant = TCaseVariant::Invariant) noexcept;
// The same with linguistic casing for a locale.
QN_API void UpperCaseInPlaceForLCID(uint32_t lcid, char16_t* text, size_t count) noexcept;
QN_API void LowerCaseInPlaceForLCID(uint32_t lcid, char16_t* text, size_t count) noexcept;

// UTF-16 strings: locale-independent, and with linguistic casing for a locale.
QN_API std::u16string UpperCased(std::u16string_view text);
QN_API std::u16string LowerCased(std::u16string_view text);
QN_API std::u16string UpperCasedForLCID(uint32_t lcid, std::u16string_view text);
QN_API std::u16string LowerCasedForLCID(uint32_t lcid, std::u16string_view text);

// 8-bit buffers in place, count bytes of text in codePage (0 = the active code
// page), with the given variant.
QN_API void UpperCaseBytesInPlace(uint32_t codePage, char* text, size_t count,
                                  TCaseVariant variant = TCaseVariant::Invariant);
QN_API void LowerCaseBytesInPlace(uint32_t codePage, char* text, size_t count,
                                  TCaseVariant variant = TCaseVariant::Invariant);
// 8-bit buffers in place for a locale: its default ANSI code page
// (LCIDToCodePage) and its linguistic casing.
QN_API void UpperCaseBytesInPlaceForLCID(uint32_t lcid, char* text, size_t count);
QN_API void LowerCaseBytesInPlaceForLCID(uint32_t lcid, char* text, size_t count);
// 8-bit strings for a locale.
QN_API std::string UpperCasedBytesForLCID(uint32_t lcid, std::string_view text);
QN_API std::string LowerCasedBytesForLCID(uint32_t lcid, std::string_view text);

// Platform-style entry points: map count units of src into dest (dest may be
// src; count -1 = up to and including the terminating zero). flags must hold
// exactly one of LCMAP_UPPERCASE and LCMAP_LOWERCASE, optionally with
// LCMAP_LINGUISTIC_CASING (without it the mapping is locale-independent).
// Returns the number of units written, 0 on a bad argument or when destCapacity
// is too small (destCapacity 0 asks for the needed size and writes nothing).
QN_API int32_t LCMapStringW(uint32_t lcid, uint32_t flags, const char16_t* src, int32_t count,
                            char16_t* dest, int32_t destCapacity) noexcept;
// The 8-bit form, in the locale's default ANSI code page.
QN_API int32_t LCMapStringA(uint32_t lcid, uint32_t flags, const char* src, int32_t count,
                            char* dest, int32_t destCapacity);

}  // namespace qn::platform
