// Code pages: conversion between UTF-16 and Windows code pages, and the two
// process-wide settings that choose a default (the active code page and the
// user's default locale).
//
// Code pages are known by their Windows numbers. Supported: 874, 932, 936,
// 949, 950, 1250-1258, 65001 (UTF-8), the OEM pages 437, 737, 775, 850, 852,
// 855, 857, 866, and further single-byte pages that ICU carries (ISO 8859
// family 28591-28599/28603/28605, KOI8 20866/21866, Mac Roman 10000, US-ASCII
// 20127) and GB 18030 (54936). Each is served by an ICU converter whose byte
// mappings match the Windows ones (docs/platform.md lists the names). The
// pseudo code pages CP_ACP (0) and CP_THREAD_ACP (3) mean the active code page,
// CP_OEMCP (1) the OEM page of the user's default locale; an unsupported number
// falls back to the active code page.
//
// Decoding never fails: a byte or sequence that is not valid in the code page
// becomes U+FFFD (each byte 0x81, 0x8D, 0x8F, 0x90, 0x9D of 1252, undefined
// there, decodes to the C1 control of the same value as Windows does, so 8-bit
// text survives a round trip). Encoding never fails either: a character that
// the code page cannot represent, and a lone surrogate, become "?".
//
// Single-byte code pages decode through a 256-entry table and encode through a
// 64K-entry table; UTF-8 has fast paths of its own; multi-byte pages use one ICU
// converter per code page and thread. All tables and converters are created on
// first use and kept for the life of the process (converters for the life of
// the thread). Every function is safe to call from several threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Export.h"

namespace qn::platform {

inline constexpr uint32_t CP_ACP = 0;
inline constexpr uint32_t CP_OEMCP = 1;
inline constexpr uint32_t CP_THREAD_ACP = 3;
inline constexpr uint32_t CP_UTF8 = 65001;

// Flags of the platform-style entry points (see MultiByteToWideChar below).
inline constexpr uint32_t MB_PRECOMPOSED = 0x00000001;
inline constexpr uint32_t MB_COMPOSITE = 0x00000002;
inline constexpr uint32_t MB_ERR_INVALID_CHARS = 0x00000008;
inline constexpr uint32_t WC_COMPOSITECHECK = 0x00000200;
inline constexpr uint32_t WC_NO_BEST_FIT_CHARS = 0x00000400;

// ---- process-wide settings -------------------------------------------------

// The process's active ANSI code page (GetACP); 1252 until the host sets it.
QN_API uint32_t ActiveCodePage() noexcept;
// Sets the active code page; false (and no change) for an unsupported one.
QN_API bool SetActiveCodePage(uint32_t codePage) noexcept;
// The OEM code page: the default OEM page of the user's default locale, 437
// when it has none.
QN_API uint32_t OemCodePage() noexcept;

// The user's default locale identifier; 0x0409 until the host sets it.
QN_API uint32_t UserDefaultLCID() noexcept;
// Sets the user's default locale; 0 and the pseudo identifiers that mean "the
// default" (0x0400, 0x0800, 0x0C00) are ignored.
QN_API void SetUserDefaultLCID(uint32_t lcid) noexcept;

// ---- code page facts -------------------------------------------------------

QN_API bool IsCodePageSupported(uint32_t codePage) noexcept;
// The code page a number stands for: pseudo pages resolved, unsupported ones
// replaced by the active code page.
QN_API uint32_t ResolvedCodePage(uint32_t codePage) noexcept;
// True when every character is one byte (after resolving).
QN_API bool IsSingleByteCodePage(uint32_t codePage) noexcept;
// The most bytes one UTF-16 code unit can need in the code page (1, 2, 3 or 4).
QN_API int MaxBytesPerChar(uint32_t codePage) noexcept;
// The ICU converter name serving a code page (after resolving).
QN_API const char* ConverterNameOfCodePage(uint32_t codePage) noexcept;
// The 256-entry decoding table of a single-byte code page; null for others.
QN_API const char16_t* DecodeTableOfCodePage(uint32_t codePage) noexcept;

// ---- decoding: 8-bit -> UTF-16 --------------------------------------------

// Appends the decoding of count bytes to out (the hot-path form: out's
// capacity is reused).
QN_API void AppendDecoded(uint32_t codePage, const char* bytes, size_t count, std::u16string& out);
QN_API std::u16string Decoded(uint32_t codePage, std::string_view bytes);
// UTF-8 shortcuts (65001).
QN_API std::u16string DecodedUTF8(std::string_view bytes);

// ---- encoding: UTF-16 -> 8-bit --------------------------------------------

// Appends the encoding of count code units to out. usedDefaultChar, when
// given, is set to whether some character became "?" (never for UTF-8, where
// a lone surrogate becomes U+FFFD's bytes EF BF BD).
QN_API void AppendEncoded(uint32_t codePage, const char16_t* text, size_t count, std::string& out,
                          bool* usedDefaultChar = nullptr);
QN_API std::string Encoded(uint32_t codePage, std::u16string_view text);
QN_API std::string EncodedUTF8(std::u16string_view text);

// ---- platform-style entry points ------------------------------------------

// count -1 means "up to and including the terminating zero". With capacity 0
// the needed size is returned and nothing written; when capacity is too small,
// 0 is returned. MB_ERR_INVALID_CHARS makes invalid input fail (0) instead of
// becoming U+FFFD; MB_PRECOMPOSED (the default) and MB_COMPOSITE are accepted
// and leave the decoded units as the code page gives them.
QN_API int32_t MultiByteToWideChar(uint32_t codePage, uint32_t flags, const char* bytes, int32_t count,
                                   char16_t* out, int32_t capacity);
// WC_COMPOSITECHECK composes decomposed sequences (NFC) before encoding.
// defaultChar replaces "?" when given (single-byte pages only take its first
// byte; ignored for UTF-8); usedDefaultChar as above.
QN_API int32_t WideCharToMultiByte(uint32_t codePage, uint32_t flags, const char16_t* text,
                                   int32_t count, char* out, int32_t capacity,
                                   const char* defaultChar = nullptr, bool* usedDefaultChar = nullptr);

}  // namespace qn::platform
