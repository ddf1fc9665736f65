// The string library's encoding layer: conversions between UTF-16 and 8-bit
// code pages, copies into two fixed shared buffers for calls that want plain
// pointers, precomposition, character classification and text measurement.
//
// Conversions go through the platform's code pages (platform/CodePages.h): a
// byte that is not valid in the code page decodes to U+FFFD, a character the
// code page cannot hold encodes to "?". An LCID stands for its default ANSI
// code page (the active code page for languages that have none); the default
// is the process's active code page. A null text converts to an empty result.
//
// Shared state: copyW and copyA are process-wide. Each of the four GetCopyOf...
// functions overwrites one of them and returns a pointer to it, valid until the
// next call that writes the same buffer; they are not for use from two threads.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Export.h"
#include "runtime1/text/Myunicodenew.h"

namespace qn {

// A Windows code-page number (1252, 932, 65001, ...). Spelled out at the call,
// ConvertedFromWideString(TCodePage(932), text), so that a code page can never
// be taken for a locale identifier or the other way round.
struct TCodePage {
  constexpr explicit TCodePage(uint32_t number) noexcept : Number(number) {}
  uint32_t Number;
};

// --- UTF-16 -> 8-bit -------------------------------------------------------------

// The text in the code page. The result has the room the text needs: a
// character of a double-byte code page is never cut in half.
QN_API std::string ConvertedFromWideString(TCodePage codePage, const char16_t* text);
QN_API std::string ConvertedFromWideString(TCodePage codePage, std::u16string_view text);
// The same in the LCID's code page.
QN_API std::string ConvertedFromWideString(uint32_t lcid, const char16_t* text);
QN_API std::string ConvertedFromWideString(uint32_t lcid, std::u16string_view text);
// A plain int is neither: say TCodePage(n) for a code page, or pass a uint32_t LCID.
std::string ConvertedFromWideString(int, const char16_t*) = delete;
std::string ConvertedFromWideString(int, std::u16string_view) = delete;
// The same in the active code page.
QN_API std::string ConvertedFromWideString(const char16_t* text);
QN_API std::string ConvertedFromWideString(std::u16string_view text);

// --- 8-bit -> UTF-16 --------------------------------------------------------------

// length bytes of text in the code page (nothing for a negative length).
QN_API std::u16string ConvertedToWideString(uint32_t codePage, const char* text, int32_t length);
// Zero-terminated text (or a string) in the LCID's code page.
QN_API std::u16string ConvertedToWideString(uint32_t lcid, const char* text);
QN_API std::u16string ConvertedToWideString(uint32_t lcid, std::string_view text);
// The same in the active code page.
QN_API std::u16string ConvertedToWideString(const char* text);
QN_API std::u16string ConvertedToWideString(std::string_view text);

// --- Shared copy buffers ------------------------------------------------------------

// 256 units each: at most 255 of text, the rest zeros.
extern QN_API char16_t copyW[256];
extern QN_API char copyA[256];

// copyW holding s decoded from the LCID's code page (at most 255 code units,
// a surrogate pair kept whole).
QN_API const char16_t* GetCopyOfAnsiEncodedAsUnicode(std::string_view s, uint32_t lcid);
// copyA holding at most 255 bytes of s; in a multi-byte code page of the LCID
// the copy ends before a character that would not fit whole.
QN_API const char* GetCopyOfAnsiEncodedAsAnsi(std::string_view s, uint32_t lcid);
// copyW holding at most 255 code units of s (a surrogate pair kept whole); the
// LCID is not consulted.
QN_API const char16_t* GetCopyOfWideSTringEncodedASUnicode(std::u16string_view s, uint32_t lcid);
// copyA holding s encoded in the LCID's code page: as many whole characters as
// fit in 255 bytes.
QN_API const char* GetCopyOfWideSTringEncodedAsAnsi(std::u16string_view s, uint32_t lcid);

// --- Characters ------------------------------------------------------------------------

// Decomposed sequences replaced by precomposed characters (NFC).
QN_API std::u16string EnsurePrecomposed(std::u16string_view s);
// The code unit of that value below 0x10000, otherwise "?".
QN_API char16_t WideCharFromCardinal(uint32_t value) noexcept;
QN_API std::u16string WideStringFromCardinal(uint32_t value);

// The CT_CTYPE1 classification of count characters of text (UTF-16 when
// isUnicode, else 8-bit text in the LCID's code page) into charTypes; false on
// failure (an information type other than CT_CTYPE1, null pointers).
QN_API bool GetStringTypeExNT2000(bool isUnicode, uint32_t lcid, uint32_t infoType,
                                  uint16_t* charTypes, int32_t count, const void* text);

// --- Measurement ------------------------------------------------------------------------

// Width and height of s on DC through MyGetTextExtentExPointW; 0 x 0 on failure.
QN_API TSize TextSizeOfString(TDeviceContext DC, std::u16string_view s);
QN_API int32_t TextWidthOfWideString(TDeviceContext DC, std::u16string_view s);

}  // namespace qn
