// Character classes: the CT_CTYPE1 flag word of every UTF-16 code unit and of
// every byte of 8-bit text in a code page.
//
// The flag word is what the text scanners store in their character-detail
// arrays, so its bit values are fixed (C1_UPPER .. C1_DEFINED below). The
// classes come from Unicode general categories and properties (ICU), once,
// into a 64K-entry table: classifying a buffer is then one table lookup per
// code unit. Rules that matter to word scanning:
//   - combining marks (Mn, Mc, Me) count as letters (C1_ALPHA), so that words
//     of Indic and other scripts with vowel signs stay whole;
//   - every surrogate code unit, paired or not, is classified on its own and
//     gets C1_DEFINED only (the scanners walk code units, not code points);
//   - unassigned code points get 0.
// For 8-bit text each byte is decoded with the code page and the result is
// classified; single-byte code pages get a 256-entry table of their own, and in
// multi-byte code pages every byte of a character gets that character's flags.
//
// The code-unit table is built into the library (platform/UnitTables.h); the
// code pages' tables are built lazily on first use, thread-safely, and live
// until the process ends. Nothing here allocates per call except the
// multi-byte path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/Export.h"

namespace qn::platform {

// CT_CTYPE1 flag bits.
inline constexpr uint16_t C1_UPPER = 0x0001;    // upper-case letter
inline constexpr uint16_t C1_LOWER = 0x0002;    // lower-case letter
inline constexpr uint16_t C1_DIGIT = 0x0004;    // decimal digit
inline constexpr uint16_t C1_SPACE = 0x0008;    // space character
inline constexpr uint16_t C1_PUNCT = 0x0010;    // punctuation
inline constexpr uint16_t C1_CNTRL = 0x0020;    // control character
inline constexpr uint16_t C1_BLANK = 0x0040;    // blank (space or tab)
inline constexpr uint16_t C1_XDIGIT = 0x0080;   // hexadecimal digit
inline constexpr uint16_t C1_ALPHA = 0x0100;    // letter (marks included)
inline constexpr uint16_t C1_DEFINED = 0x0200;  // defined character

// Information types for GetStringTypeEx; only CT_CTYPE1 is served.
inline constexpr uint32_t CT_CTYPE1 = 0x0001;
inline constexpr uint32_t CT_CTYPE2 = 0x0002;
inline constexpr uint32_t CT_CTYPE3 = 0x0004;

// The whole table: 65,536 flag words indexed by code unit. Never null; valid
// for the life of the process.
QN_API const uint16_t* CharType1Table() noexcept;

// The flags of one code unit.
QN_API uint16_t CharType1(char16_t c) noexcept;

// The flags of one code point, classified from its Unicode data on each call:
// what the table holds for a code unit, and what a supplementary character of
// 8-bit text gets.
uint16_t CharType1OfCodePoint(char32_t c) noexcept;

// Classifies count code units of text into out[0..count-1].
QN_API void CharTypes1(const char16_t* text, size_t count, uint16_t* out) noexcept;

// Classifies the code units of a zero-terminated text into out, up to its
// terminating zero or limit units, whichever comes first, and returns how many
// it classified: the text's length and its classes in one pass over it. Reads
// no unit at or past limit and nothing past the terminator but the rest of
// its aligned 16 bytes (in the same page).
size_t CharTypes1UpToZero(const char16_t* text, size_t limit, uint16_t* out) noexcept;

// The 256-entry table of a single-byte code page (0 = the active code page):
// each byte decoded with the code page, then classified. Null for multi-byte
// code pages (932, 936, 949, 950, 65001, ...) and unsupported ones.
QN_API const uint16_t* CharType1TableOfCodePage(uint32_t codePage);

// Classifies count bytes of 8-bit text in codePage (0 = the active code page)
// into out[0..count-1], one word per byte: in multi-byte code pages every byte
// of a character gets the character's flags, and a byte that does not form a
// valid character gets the flags of the substitution character it decodes to.
QN_API void CharTypes1OfBytes(uint32_t codePage, const char* text, size_t count, uint16_t* out);

// The platform-style entry points. infoType must be CT_CTYPE1; false for any
// other type, a null text or out with a positive count, or a negative count.
// count -1 means "up to and including the terminating zero". The W form
// ignores the locale (classes of UTF-16 text do not depend on it); the A form
// decodes the bytes with the locale's default ANSI code page (LCIDToCodePage).
QN_API bool GetStringTypeExW(uint32_t lcid, uint32_t infoType, const char16_t* text, int32_t count,
                             uint16_t* out);
QN_API bool GetStringTypeExA(uint32_t lcid, uint32_t infoType, const char* text, int32_t count,
                             uint16_t* out);

// Convenience predicates on the table.
inline bool IsAlphaChar(char16_t c) noexcept { return (CharType1(c) & C1_ALPHA) != 0; }
inline bool IsDigitChar(char16_t c) noexcept { return (CharType1(c) & C1_DIGIT) != 0; }
inline bool IsUpperChar(char16_t c) noexcept { return (CharType1(c) & C1_UPPER) != 0; }
inline bool IsLowerChar(char16_t c) noexcept { return (CharType1(c) & C1_LOWER) != 0; }
inline bool IsSpaceChar(char16_t c) noexcept { return (CharType1(c) & C1_SPACE) != 0; }
inline bool IsPunctChar(char16_t c) noexcept { return (CharType1(c) & C1_PUNCT) != 0; }
inline bool IsAlphaNumChar(char16_t c) noexcept {
  return (CharType1(c) & (C1_ALPHA | C1_DIGIT)) != 0;
}

}  // namespace qn::platform
