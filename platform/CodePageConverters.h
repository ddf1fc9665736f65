// Internal helpers shared by the platform modules that walk 8-bit text one
// character at a time (classification and case mapping of multi-byte code
// pages). Not exported.
#pragma once

#include <cstddef>
#include <cstdint>

#include <unicode/umachine.h>

namespace qn::platform {

// Decodes the character at text[0..available-1] in a resolved code page:
// returns its code point (U+FFFD for an invalid or truncated sequence) and
// stores in *length the number of bytes it takes (at least 1).
UChar32 DecodeOneChar(uint32_t codePage, const char* text, size_t available, int32_t* length);

// Encodes one code point in a resolved code page into out (room for 4 bytes);
// returns the number of bytes, or 0 when the code page cannot represent it.
int32_t EncodeOneChar(uint32_t codePage, UChar32 c, char* out);

}  // namespace qn::platform
