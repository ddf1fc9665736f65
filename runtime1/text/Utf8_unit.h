// UTF-8 as the text-file reader meets it: the signature EF BB BF, a character
// count that walks lead bytes, and a quick well-formedness check of the first
// non-ASCII sequence, which decides whether 8-bit bytes are taken as UTF-8.
//
// Nothing here allocates except UTF8SignatureAsUTF8String, and nothing reads
// outside the string it is given (the pointer forms read byte by byte and stop
// at the first byte that differs, so a zero-terminated text of any length is
// safe).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Export.h"

namespace qn {

// The three signature bytes EF BB BF, as 8-bit text in code page 65001.
QN_API std::string UTF8SignatureAsUTF8String();

// True when bytes is not null and starts with EF BB BF.
QN_API bool IsUTF8SignatureA(const char* bytes) noexcept;
// True when text is not null, holds at least two code units before its
// terminator, and its first three bytes (little-endian units) are EF BB BF.
QN_API bool IsUTF8SignatureW(const char16_t* text) noexcept;
// True when the three bytes are EF BB BF.
QN_API bool IsUTF8Signature(uint8_t first, uint8_t second, uint8_t third) noexcept;

// The number of characters of UTF-8 text, counted by lead bytes alone
// (continuation bytes are skipped unexamined): 00-7F count 1 byte, C0-DF 2,
// E0-EF 3, F0-F7 4, F8-FB 5, FC-FD 6. When a byte at a lead position cannot
// begin a sequence (80-BF, FE, FF), or the last sequence runs past the end,
// the answer is the length in bytes instead -- so the count differs from the
// byte length only for text that walks cleanly and has a multi-byte lead.
QN_API size_t UTF8LengthInChars(std::string_view text) noexcept;

// Checks the ASCII bytes up to the first byte of 80 or above, and then the
// single sequence that byte begins, for well-formed UTF-8. asciiOnly tells
// whether the walk met ASCII bytes only. Pure ASCII: true, asciiOnly true. A
// well-formed first multi-byte sequence: true, asciiOnly false. An ill-formed
// or truncated one: false. Yields to the host's user interface while it walks.
QN_API bool CheckedUTF(std::string_view text, bool& asciiOnly);

}  // namespace qn
