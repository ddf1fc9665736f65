// Zero-terminated character buffers and small text helpers: buffers that cross
// a boundary as plain pointers, the fixed-size search-word field of the suite's
// records, the decoding of numeric character notations, and text measurement
// through a function the host may replace.
//
// Ownership: every buffer made by MyNewPChar, MyNewPAnsichar, CheckedNewLenPchar
// and CheckedNewLenPAnsichar belongs to the caller and is released only through
// DeletePWideChar / DeletePAnsichar. An exhausted heap raises std::bad_alloc.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Export.h"

namespace qn {

// --- Character buffers ------------------------------------------------------------

// A new buffer holding a copy of the zero-terminated text; null for null.
QN_API char16_t* MyNewPChar(const char16_t* text);
QN_API char* MyNewPAnsichar(const char* text);
// A new buffer holding the first count units of text (zeros included) and a
// terminating zero; an empty buffer when text is null or count is 0 or less.
QN_API char16_t* CheckedNewLenPchar(const char16_t* text, int32_t count);
QN_API char* CheckedNewLenPAnsichar(const char* text, int32_t count);
// Release a buffer made above; null is allowed, and so is nowt (nothing is
// released for it).
QN_API void DeletePWideChar(char16_t* buffer) noexcept;
QN_API void DeletePAnsichar(char* buffer) noexcept;

// The shared empty text: pointer fields that hold "nothing" point here rather
// than at a buffer of their own, and the release routines above leave it
// alone. It is exported from one library so that every module of the suite
// sees the same address; it is never written.
QN_API extern const char16_t nowt[1];
QN_API extern const char nowtAnsi[1];
// nowt as the writable pointer type of the records' text fields.
inline char16_t* NowtPointer() noexcept { return const_cast<char16_t*>(nowt); }

// Writes unit into the first sizeInBytes div 2 positions of buffer.
QN_API void FillWChar(char16_t* buffer, int32_t sizeInBytes, char16_t unit) noexcept;

// --- Small string helpers ---------------------------------------------------------

// The first 1-based position at or after start holding unit; 0 when none. A
// start below 1 counts as 1.
QN_API int32_t StrScanIndex(std::u16string_view s, char16_t unit, int32_t start) noexcept;
// The string with every TAB replaced by n spaces (none for n <= 0).
QN_API std::u16string ExpandTabbedWideString(std::u16string_view s, int32_t n);

// The search-word field of the suite's records: at most 80 characters and a
// terminating zero.
using Search_word_type32 = std::array<char16_t, 81>;

// The first 80 code units of s (a surrogate pair is not split), zero-filled.
QN_API Search_word_type32 StringToSearch_word_type32(std::u16string_view s) noexcept;
// The field's text up to its first zero (all 81 units when there is none);
// "" for null.
QN_API std::u16string Search_word_type32ToString(const Search_word_type32* word);

// U+001B, the code that stands for the hash wildcard inside search words.
inline constexpr char16_t kHashWildcardCode = u'\u001B';
QN_API bool IsHashSymbol(char16_t c) noexcept;
// True for '#' and '{', the characters that may begin a numeric notation.
QN_API bool IsHashOrBrace(char16_t c) noexcept;

// Decodes numeric character notations in place, in two passes:
//   1. "{CHR(" n ")}" (the opening in any letter case): n is a decimal integer
//      with an optional sign, or "$" and hexadecimal digits;
//   2. "#" followed by decimal digits.
// A notation whose number is valid and names a UTF-16 code unit (0 to 65535)
// becomes that unit; any other stays as it is and the search goes on after it.
// Returns the value of the last unit produced, -1 when none.
QN_API int32_t MyFormatValidNumberStr(std::u16string& s);

// --- Text measurement ---------------------------------------------------------------

// The drawing surface a host measures on. The libraries never draw and never
// look inside it; they pass it to the measuring function.
using TDeviceContext = void*;

struct TSize {
  int32_t cx = 0;
  int32_t cy = 0;
};

// Measures cchString code units of lpszStr on DC: the whole extent into
// *lpSize; when lpnFit is given, how many units fit within nMaxExtent; when
// alpDX is given, the extent after each unit (for the units that fit, or all of
// them without lpnFit). Returns false on failure.
using TGetTextExtentExPointWFunc = bool (*)(TDeviceContext DC, const char16_t* lpszStr,
                                            int32_t cchString, int32_t nMaxExtent, int32_t* lpnFit,
                                            int32_t* alpDX, TSize* lpSize);

// The measuring function every measurement goes through. At start it is
// FixedPitchTextExtentExPoint; a host with real fonts assigns its own.
extern QN_API TGetTextExtentExPointWFunc MyGetTextExtentExPointW;

// The default measurer: a fixed-pitch font of kFixedPitchCellWidth x
// kFixedPitchCellHeight logical units per cell. Wide and full-width characters
// take two cells, combining marks and format characters none, a surrogate pair
// one character. Fails for a null DC, a null text with a positive count, or a
// negative count.
inline constexpr int32_t kFixedPitchCellWidth = 8;
inline constexpr int32_t kFixedPitchCellHeight = 16;
QN_API bool FixedPitchTextExtentExPoint(TDeviceContext DC, const char16_t* lpszStr,
                                        int32_t cchString, int32_t nMaxExtent, int32_t* lpnFit,
                                        int32_t* alpDX, TSize* lpSize);

// The extent of count code units; false, with size 0 x 0, when count <= 0 or
// the measurement fails.
QN_API bool GetTextExtentW(TDeviceContext DC, const char16_t* text, int32_t count, TSize& size);

}  // namespace qn
