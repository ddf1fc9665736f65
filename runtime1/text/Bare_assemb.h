// Allocation-free routines over raw character buffers: searching, comparing,
// cleaning in place and checksums.
//
// Two families run side by side: the routines ending in A (or taking a char
// buffer) work on bytes of an 8-bit code page, the routines ending in W on
// UTF-16 code units. Every routine takes the caller's buffer and an explicit
// length in units (signed 32-bit; 0 or less is an empty range) and touches
// nothing outside that range. Only the search needles are measured up to their
// terminating zero. The routines that compact a buffer and say "zero-terminates"
// write one zero unit at the new end, which may be the unit just after the range:
// their buffers need room for length + 1 units. Nothing here allocates, keeps
// state or calls out, so every routine may run on any thread as long as no two
// calls change the same buffer.
//
// Positions returned are pointers into the caller's buffer (null = not found).
#pragma once

#include <cstdint>

#include "platform/Export.h"

namespace qn {

// A length-prefixed byte string of capacity 128, as kept in the language
// records: one length byte, then up to 128 characters of the code page. A pair
// of them maps the lowercase letters above 'z' (first set) to the uppercase
// letters at the same positions (second set). The caller builds both.
struct ANSILower_or_upperStr_type {
  uint8_t Length = 0;
  char Chars[128] = {};
};
static_assert(sizeof(ANSILower_or_upperStr_type) == 129);

// Character-type flags used by the zero-width-joiner routines (the CT_CTYPE1
// values of the classification service).
inline constexpr uint16_t kBareC1Alpha = 0x0100;
inline constexpr uint16_t kBareC1Defined = 0x0200;

// --- Searching and comparing ------------------------------------------------

// Leftmost occurrence of the zero-terminated needle wholly inside the first
// length units of text, or null. Null text or needle, an empty needle, or a
// needle longer than the range give null.
QN_API const char* FastStrPos(const char* text, const char* needle, int32_t length) noexcept;
QN_API const char16_t* FastStrPosW(const char16_t* text, const char16_t* needle,
                                   int32_t length) noexcept;

// As FastStrPos, without folding of its own: the caller passes the needle in
// both cases (same length, else null), and a text unit matches offset k when it
// equals unit k of either form. Every start position is tried, the last one
// (a match ending at the last unit of the range) included.
QN_API const char* FastStrIPos(const char* text, const char* lowerNeedle, const char* upperNeedle,
                               int32_t length) noexcept;
QN_API const char16_t* FastStrIPosW(const char16_t* text, const char16_t* lowerNeedle,
                                    const char16_t* upperNeedle, int32_t length) noexcept;

// First occurrence of one unit within the range, or null.
QN_API const char* FastStrScan(const char* buffer, char unit, int32_t length) noexcept;
QN_API const char16_t* FastStrScanW(const char16_t* buffer, char16_t unit, int32_t length) noexcept;

// Mutable-buffer forms of the searches, for callers that change what they find.
inline char* FastStrPos(char* text, const char* needle, int32_t length) noexcept {
  return const_cast<char*>(FastStrPos(static_cast<const char*>(text), needle, length));
}
inline char16_t* FastStrPosW(char16_t* text, const char16_t* needle, int32_t length) noexcept {
  return const_cast<char16_t*>(FastStrPosW(static_cast<const char16_t*>(text), needle, length));
}
inline char* FastStrIPos(char* text, const char* lowerNeedle, const char* upperNeedle,
                         int32_t length) noexcept {
  return const_cast<char*>(
      FastStrIPos(static_cast<const char*>(text), lowerNeedle, upperNeedle, length));
}
inline char16_t* FastStrIPosW(char16_t* text, const char16_t* lowerNeedle,
                              const char16_t* upperNeedle, int32_t length) noexcept {
  return const_cast<char16_t*>(
      FastStrIPosW(static_cast<const char16_t*>(text), lowerNeedle, upperNeedle, length));
}
inline char* FastStrScan(char* buffer, char unit, int32_t length) noexcept {
  return const_cast<char*>(FastStrScan(static_cast<const char*>(buffer), unit, length));
}
inline char16_t* FastStrScanW(char16_t* buffer, char16_t unit, int32_t length) noexcept {
  return const_cast<char16_t*>(FastStrScanW(static_cast<const char16_t*>(buffer), unit, length));
}

// True when the first length units of both buffers are equal (always for a
// length of 0 or less).
QN_API bool EqualContentsA(const char* a, const char* b, int32_t length) noexcept;
QN_API bool EqualContentsW(const char16_t* a, const char16_t* b, int32_t length) noexcept;

// The number of units that follow the first differing unit: length - i - 1 for
// a first difference at 0-based index i; 0 when the buffers are equal (so a
// difference at the last unit also gives 0).
QN_API int32_t HowFarEqualContentsA(const char* a, const char* b, int32_t length) noexcept;
QN_API int32_t HowFarEqualContentsW(const char16_t* a, const char16_t* b, int32_t length) noexcept;

// Byte-order marks of a file image. Both read exactly two bytes, which the
// caller guarantees. UnicodeSigned: FF FE or FE FF; UnicodeByteReversed: FE FF.
QN_API bool UnicodeSigned(const void* image) noexcept;
QN_API bool UnicodeByteReversed(const void* image) noexcept;

// --- Checksums ----------------------------------------------------------------

// Sum of count little-endian 16-bit words, modulo 65536.
QN_API uint16_t My2Checksum(const void* data, int32_t wordCount) noexcept;
// Sum of the whole little-endian 32-bit words inside byteCount bytes, modulo
// 2^32; the trailing byteCount mod 4 bytes are ignored.
QN_API uint32_t My4Checksum(const void* data, int32_t byteCount) noexcept;

// --- Cleaning in place (same length) -----------------------------------------

QN_API void ReplaceCharacterBySpace(char* buffer, char unit, int32_t length) noexcept;
QN_API void ReplaceCharacterBySpaceW(char16_t* buffer, char16_t unit, int32_t length) noexcept;
QN_API void ReplaceTabsBySpace(char* buffer, int32_t length) noexcept;
// Every unit below 0x20 becomes a space.
QN_API void ReplaceControlCharsBySpaceA(char* buffer, int32_t length) noexcept;
QN_API void ReplaceControlCharsBySpaceW(char16_t* buffer, int32_t length) noexcept;
// Every CR becomes a space, and so does an LF directly after a CR; a lone LF stays.
QN_API void ReplaceCarriageReturnsBySpaceA(char* buffer, int32_t length) noexcept;
QN_API void ReplaceCarriageReturnsBySpaceW(char16_t* buffer, int32_t length) noexcept;
// The first count units become spaces (or zeros); a count of 0 or less does nothing.
QN_API void BlankOutSomeBytesA(char* buffer, int32_t count) noexcept;
QN_API void BlankOutSomeBytesW(char16_t* buffer, int32_t count) noexcept;
QN_API void ZeroSomeBytesW(char16_t* buffer, int32_t count) noexcept;

// Blanks, in every word (words end at bytes 0x00-0x20), the lowercase letters
// that come before the word's first capital; the buffer keeps its length.
QN_API void CutLowercaseWords(char* buffer, const ANSILower_or_upperStr_type& lowers,
                              const ANSILower_or_upperStr_type& uppers, int32_t length) noexcept;
// a-z become A-Z; a byte above 'z' found at position k of the lowercase set
// becomes the byte at position k of the uppercase set.
QN_API void CapitaliseABuffer(char* buffer, const ANSILower_or_upperStr_type& lowers,
                              const ANSILower_or_upperStr_type& uppers, int32_t length) noexcept;

// Overwrites every occurrence of needle (needleLength units, at least 1) with
// the first needleLength units of replacement, left to right without overlap.
QN_API void SearchAndReplaceFastW(char16_t* buffer, const char16_t* needle,
                                  const char16_t* replacement, int32_t length,
                                  int32_t needleLength) noexcept;

// The buffer holds A (firstLength units) then B (secondLength units);
// afterwards it holds B then A. Nothing is done when the first unit is zero.
QN_API void Swap2Strings(char16_t* buffer, int32_t firstLength, int32_t secondLength) noexcept;

// Adjust a character-type array made for the same text: every U+200D gets
// exactly C1_DEFINED, every U+200C gets C1_DEFINED | C1_ALPHA.
QN_API void SetZeroWidthJoinersToDefined(const char16_t* text, uint16_t* types,
                                         int32_t length) noexcept;
QN_API void SetZeroWidthNonJoinersToDefinedAlpha(const char16_t* text, uint16_t* types,
                                                 int32_t length) noexcept;

// --- Compacting in place --------------------------------------------------------

// Removes every section from an opening byte through the next closing byte; an
// opening byte without a closing byte after it goes alone. Zero-terminates.
QN_API void ClearBetweenChars(char* buffer, char opening, char closing, int32_t length) noexcept;
// As ClearBetweenChars, but a section counts only when it is at most maxSpan
// bytes long, delimiters included; a section is dropped (removeEntirely) or
// written as as many spaces. Zero-terminates.
QN_API void CleanBetweenChars(char* buffer, char opening, char closing, int32_t length,
                              int32_t maxSpan, bool removeEntirely) noexcept;
// Collapses every run of U+0020 to one space; zero-terminates; returns the new
// length in code units.
QN_API int32_t RemoveRedundantSpaceW(char16_t* buffer, int32_t length) noexcept;
// Reduces every run of consecutive CR LF pairs to one pair. When anything was
// removed a zero unit is written at the new end (inside the range); otherwise
// the buffer is untouched.
QN_API void CutDoubleCRLFsW(char16_t* buffer, int32_t length) noexcept;
// Removes every LF byte (CR bytes stay) and returns the new length; writes no
// terminator.
QN_API int32_t LengthConvertedToUnix(char* buffer, int32_t length) noexcept;

namespace bare_detail {
// The cleaners that run over whole texts have 256-bit forms, used when the
// processor has AVX2, and a faster packing step for them with AVX-512. Tests
// cap the level (0: 128-bit only, 1: AVX2, 2: everything the processor has)
// to run every form on one machine. Returns the level in use from now on.
int LimitKernelLevel(int level) noexcept;
}  // namespace bare_detail

}  // namespace qn
