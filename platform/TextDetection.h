// Recognising UTF-16 text that has no byte-order mark.
//
// Readers of text files first look for a mark (FF FE, FE FF, EF BB BF); when
// there is none they ask this test whether the bytes are UTF-16 anyway, and
// otherwise read them as 8-bit text. The test must accept real UTF-16 in any
// script and reject 8-bit and UTF-8 text, which never contains zero bytes and
// whose byte pairs, read as code units, look like CJK ideographs.
//
// The rule (docs/platform.md has the reasoning), applied to each byte order:
//   1. the byte count is even and at least 2; at most the first 64 KiB are
//      examined; trailing zero code units (terminators) are ignored;
//   2. the code units must be plausible: no NUL, no control other than TAB, LF,
//      VT, FF, CR and SUB, no C1 control, no unassigned code point, no
//      noncharacter U+FFFE/U+FFFF, surrogates only in proper pairs -- at most
//      one unit in 64 may fail this (damaged files), none in short samples;
//      at most one unit in 50 may be a private-use character;
//   3. then either the zero bytes say it: at least one unit in eight has a
//      zero high byte (Latin text, and the spaces, digits and line ends of
//      any script) and at least four times as many as in the other order;
//   4. or the byte distribution says it: at least 32 units, the entropy of the
//      high bytes at least 1 bit below that of the low bytes (a script lives
//      in few 256-unit blocks, while 8-bit text spreads both bytes of a pair
//      alike), and at least one unit in eight below U+8000 (the lead bytes of
//      the Asian double-byte code pages, read as high bytes, are all 0x81 or
//      above).
//   Before that, a sample without a single zero byte that is well-formed
//   UTF-8 (with at least one multi-byte sequence) is UTF-8, and one that is
//   all ASCII is ASCII unless a quarter of its even or odd bytes are control
//   bytes (the block numbers of alphabetic scripts, as in Thai text).
// When both byte orders pass, the one with the stronger evidence wins.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/Export.h"
#include "platform/StringList.h"

namespace qn::platform {

// The encoding that a signature at the start of count bytes announces:
// EF BB BF UTF-8 (kEncodingUTF8), FF FE UTF-16 little-endian
// (kEncodingUTF16LE), FE FF UTF-16 big-endian (kEncodingUTF16BE);
// kEncodingDefault when they begin with none (or are too few to hold one).
// Every reader that looks for a signature asks this.
QN_API TTextEncoding SignatureEncoding(const void* bytes, size_t count) noexcept;
inline TTextEncoding SignatureEncoding(std::span<const uint8_t> bytes) noexcept {
  return SignatureEncoding(bytes.data(), bytes.size());
}
// The length in bytes of the signature of such an encoding: 3 for UTF-8, 2
// for UTF-16, 0 for any other encoding.
QN_API size_t SignatureLength(TTextEncoding encoding) noexcept;

enum class TUtf16Detection : uint8_t {
  NotUtf16,
  LittleEndian,
  BigEndian,
};

// The statistical test. A leading byte-order mark is not required and not
// treated specially: callers test for it first.
QN_API TUtf16Detection DetectUtf16WithoutMark(const void* bytes, size_t count) noexcept;

// The platform-style answer used by encoding detection: true when the bytes
// start with the little-endian mark FF FE, or when the statistical test finds
// little-endian UTF-16. Big-endian text without a mark gives false (callers
// that would take a true answer for little-endian must not misread it); use
// DetectUtf16WithoutMark to recognise it.
QN_API bool IsTextUnicode(const void* bytes, size_t count) noexcept;

}  // namespace qn::platform
