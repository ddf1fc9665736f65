// The per-code-unit tables of the character classes (CharTypes), the simple
// case mappings (CaseMapping) and the word classes of the string helpers
// (My_string_functions_words), the decodings of the single-byte code pages
// (CodePages), and how they are worked out from ICU's data.
//
// Working them out takes thousands of ICU calls (and a converter opened for a
// code page) and writes some 450 KiB, which nearly every run of a tool needs
// and which was a good part of a short run's start. So the build works them
// out once, with the ICU the libraries are linked against
// (platform/generate/MakeUnitTables.cpp), and compiles them into read-only
// data: a process maps from the library file only the pages it reads, shared
// with every other process, and never writes them. The Compute functions are
// the same code, so that tests can hold the built-in tables against what the
// installed ICU says.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qn::platform {

inline constexpr size_t kUnitCount = 0x10000;

// The built-in tables, indexed by code unit: CT_CTYPE1 flags, and the
// locale-independent simple upper- and lower-case mappings (surrogates and
// units whose mapping lies beyond the BMP map to themselves).
extern const uint16_t kUnitClasses[kUnitCount];
extern const char16_t kUnitUpper[kUnitCount];
extern const char16_t kUnitLower[kUnitCount];

// The word classes of the text helpers (My_string_functions_words), one byte
// per code unit from its general category: letters and decimal digits are
// alphanumeric (upper- and lower-case letters also upper or lower), separators
// and the white-space controls (tab to carriage return, next line) are space,
// punctuation (P*, not symbols) is punctuation.
inline constexpr uint8_t kWordAlnum = 0x01;
inline constexpr uint8_t kWordUpper = 0x02;
inline constexpr uint8_t kWordLower = 0x04;
inline constexpr uint8_t kWordSpace = 0x08;
inline constexpr uint8_t kWordPunct = 0x10;
extern const uint8_t kUnitWordClasses[kUnitCount];

// The CT_CTYPE1 flags of one code point, from its Unicode general category and
// properties.
uint16_t ClassOfCodePoint(char32_t c) noexcept;

// Fills classes[0..0xFFFF] with ClassOfCodePoint of every unit.
void ComputeUnitClasses(uint16_t* classes);

// Fills classes[0..0xFFFF] with the word classes of every unit.
void ComputeUnitWordClasses(uint8_t* classes);

// Fills upper[0..0xFFFF] and lower[0..0xFFFF] with the locale-independent
// simple mappings of every unit.
void ComputeUnitCases(char16_t* upper, char16_t* lower);

// A single-byte code page's decoding as its ICU converter gives it: the unit
// of each byte that decodes to one unit, and which bytes do. Bytes below 0x80
// are themselves in every page (the Windows pages map ASCII to itself; the
// IBM tables swap some controls).
struct TByteDecoding {
  char16_t units[256];  // U+FFFD where not defined
  bool defined[256];
};

// Decodes the 256 bytes with the named ICU converter; false when ICU cannot
// open it.
bool ComputeByteDecoding(const char* converter, TByteDecoding& decoding);

// The built-in decodings of the single-byte pages of kCodePages
// (CodePageList.h) that ICU could open.
struct TBuiltInByteDecoding {
  uint32_t codePage;
  TByteDecoding decoding;
};
extern const TBuiltInByteDecoding kBuiltInByteDecodings[];
extern const size_t kBuiltInByteDecodingCount;

}  // namespace qn::platform
