#include "platform/UnitTables.h"

#include <algorithm>
#include <array>
#include <utility>

#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/uset.h>

#include "platform/CharTypes.h"

namespace qn::platform {

namespace {

// Hexadecimal digits are the ASCII ones and their full-width forms only (not
// the decimal digits of other scripts).
bool IsHexDigit(UChar32 c) {
  auto in = [c](UChar32 lo, UChar32 hi) { return c >= lo && c <= hi; };
  return in(u'0', u'9') || in(u'A', u'F') || in(u'a', u'f') || in(0xFF10, 0xFF19) || in(0xFF21, 0xFF26) ||
         in(0xFF41, 0xFF46);
}

// The flags of one code point, from its Unicode general category and
// properties. Windows-style C1_PUNCT covers symbols as well as punctuation
// (like C's ispunct), and format characters count as controls, except the
// soft hyphen, which behaves as a hyphen in text.
uint16_t Classify(UChar32 c) {
  if (c >= 0xD800 && c <= 0xDFFF) return C1_DEFINED;
  int8_t category = u_charType(c);
  if (category == U_UNASSIGNED) return 0;
  uint16_t flags = C1_DEFINED;
  switch (category) {
    case U_UPPERCASE_LETTER:
    case U_TITLECASE_LETTER:
      flags |= C1_UPPER | C1_ALPHA;
      break;
    case U_LOWERCASE_LETTER:
      flags |= C1_LOWER | C1_ALPHA;
      break;
    case U_MODIFIER_LETTER:
    case U_OTHER_LETTER:
    case U_NON_SPACING_MARK:
    case U_COMBINING_SPACING_MARK:
    case U_ENCLOSING_MARK:
      flags |= C1_ALPHA;
      break;
    case U_DECIMAL_DIGIT_NUMBER:
      flags |= C1_DIGIT;
      break;
    case U_CONNECTOR_PUNCTUATION:
    case U_DASH_PUNCTUATION:
    case U_START_PUNCTUATION:
    case U_END_PUNCTUATION:
    case U_INITIAL_PUNCTUATION:
    case U_FINAL_PUNCTUATION:
    case U_OTHER_PUNCTUATION:
    case U_MATH_SYMBOL:
    case U_CURRENCY_SYMBOL:
    case U_MODIFIER_SYMBOL:
    case U_OTHER_SYMBOL:
      flags |= C1_PUNCT;
      break;
    case U_CONTROL_CHAR:
      flags |= C1_CNTRL;
      break;
    case U_FORMAT_CHAR:
      flags |= (c == 0x00AD) ? C1_PUNCT : C1_CNTRL;
      break;
    default:
      break;
  }
  // Letters outside L* that Unicode calls alphabetic (Roman numerals, circled
  // letters) and the case properties of letters outside Lu/Ll (ª, ʰ, Ⓐ).
  if (u_hasBinaryProperty(c, UCHAR_ALPHABETIC)) flags |= C1_ALPHA;
  if ((flags & C1_ALPHA) && !(flags & (C1_UPPER | C1_LOWER))) {
    if (u_hasBinaryProperty(c, UCHAR_UPPERCASE)) flags |= C1_UPPER;
    else if (u_hasBinaryProperty(c, UCHAR_LOWERCASE)) flags |= C1_LOWER;
  }
  if (u_hasBinaryProperty(c, UCHAR_WHITE_SPACE)) flags |= C1_SPACE;
  if (c == 0x0009 || category == U_SPACE_SEPARATOR) flags |= C1_BLANK;
  if (IsHexDigit(c)) flags |= C1_XDIGIT;
  return flags;
}

// The code units at which some input of Classify may change: the
// starts of the general category ranges, the starts and ends of the four
// binary properties' sets, and the edges of the fixed ranges it tests itself.
// Between two such boundaries every input is the same, and so are the flags.
// Marked in a bit set, so that they come out in order without a sort.
class TClassBoundaries {
 public:
  // False when ICU cannot give a property's set.
  bool Find() {
    for (uint32_t at : {0x0009, 0x000A, 0x00AD, 0x00AE, 0xD800, 0xE000}) Mark(at);
    for (auto [lo, hi] : {std::pair<uint32_t, uint32_t>{u'0', u'9'}, {u'A', u'F'}, {u'a', u'f'}, {0xFF10, 0xFF19},
                          {0xFF21, 0xFF26}, {0xFF41, 0xFF46}}) {
      Mark(lo);
      Mark(hi + 1);
    }
    u_enumCharTypes(
        [](const void* context, UChar32 start, UChar32, UCharCategory) -> UBool {
          if (start >= 0x10000) return false;
          static_cast<TClassBoundaries*>(const_cast<void*>(context))->Mark(uint32_t(start));
          return true;
        },
        this);
    for (UProperty property : {UCHAR_ALPHABETIC, UCHAR_UPPERCASE, UCHAR_LOWERCASE, UCHAR_WHITE_SPACE}) {
      UErrorCode status = U_ZERO_ERROR;
      const USet* set = u_getBinaryPropertySet(property, &status);
      if (U_FAILURE(status) || set == nullptr) return false;
      const int32_t ranges = uset_getItemCount(set);
      for (int32_t i = 0; i < ranges; ++i) {
        UChar32 start = 0, end = 0;
        status = U_ZERO_ERROR;
        if (uset_getItem(set, i, &start, &end, nullptr, 0, &status) != 0 || U_FAILURE(status)) return false;
        Mark(uint32_t(start));
        Mark(uint32_t(end) + 1);
      }
    }
    return true;
  }

  // The first boundary after unit at (0x10000 when none is left).
  uint32_t After(uint32_t at) const noexcept {
    for (uint32_t word = (at + 1) / 64; word < kWords; ++word) {
      uint64_t bits = fBits[word];
      if (word == (at + 1) / 64) bits &= ~uint64_t(0) << ((at + 1) % 64);
      if (bits) return word * 64 + uint32_t(__builtin_ctzll(bits));
    }
    return 0x10000;
  }

 private:
  static constexpr uint32_t kWords = 0x10000 / 64;
  void Mark(uint32_t at) noexcept {
    if (at < 0x10000) fBits[at / 64] |= uint64_t(1) << (at % 64);
  }
  std::array<uint64_t, kWords> fBits{};
};

uint8_t BitsOfCategory(int8_t category) noexcept {
  switch (category) {
    case U_UPPERCASE_LETTER: return kWordAlnum | kWordUpper;
    case U_LOWERCASE_LETTER: return kWordAlnum | kWordLower;
    case U_TITLECASE_LETTER:
    case U_MODIFIER_LETTER:
    case U_OTHER_LETTER:
    case U_DECIMAL_DIGIT_NUMBER: return kWordAlnum;
    case U_SPACE_SEPARATOR:
    case U_LINE_SEPARATOR:
    case U_PARAGRAPH_SEPARATOR: return kWordSpace;
    case U_CONNECTOR_PUNCTUATION:
    case U_DASH_PUNCTUATION:
    case U_START_PUNCTUATION:
    case U_END_PUNCTUATION:
    case U_INITIAL_PUNCTUATION:
    case U_FINAL_PUNCTUATION:
    case U_OTHER_PUNCTUATION: return kWordPunct;
    default: return 0;
  }
}

// The simple mappings of the units in [from, to); surrogates map to themselves.
void MapUnits(char16_t* upper, char16_t* lower, uint32_t from, uint32_t to) {
  for (uint32_t c = from; c < to; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    UChar32 up = u_toupper(UChar32(c));
    UChar32 down = u_tolower(UChar32(c));
    upper[c] = up < 0x10000 ? char16_t(up) : char16_t(c);
    lower[c] = down < 0x10000 ? char16_t(down) : char16_t(c);
  }
}

}  // namespace

uint16_t ClassOfCodePoint(char32_t c) noexcept { return Classify(UChar32(c)); }

// One classification per stretch between boundaries (a few thousand) instead
// of one per code unit.
void ComputeUnitClasses(uint16_t* classes) {
  TClassBoundaries boundaries;
  if (!boundaries.Find()) {
    for (uint32_t c = 0; c < kUnitCount; ++c) classes[c] = Classify(UChar32(c));
    return;
  }
  for (uint32_t at = 0; at < kUnitCount;) {
    const uint32_t next = boundaries.After(at);
    std::fill(classes + at, classes + next, Classify(UChar32(at)));
    at = next;
  }
}

// Filled range by range of the same general category (ICU hands them over in
// order), not by a lookup per code unit.
void ComputeUnitWordClasses(uint8_t* classes) {
  std::fill(classes, classes + kUnitCount, BitsOfCategory(U_UNASSIGNED));
  u_enumCharTypes(
      [](const void* context, UChar32 start, UChar32 limit, UCharCategory category) -> UBool {
        if (start >= 0x10000) return false;
        auto* bits = static_cast<uint8_t*>(const_cast<void*>(context));
        std::fill(bits + start, bits + std::min<UChar32>(limit, 0x10000), BitsOfCategory(int8_t(category)));
        return true;
      },
      classes);
  for (char16_t c : {0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x20, 0x85, 0xA0}) classes[c] |= kWordSpace;
}

void ComputeUnitCases(char16_t* upper, char16_t* lower) {
  for (uint32_t c = 0; c < kUnitCount; ++c) upper[c] = lower[c] = char16_t(c);
  // Only the case-sensitive characters (those that map or are mapped to)
  // can map to anything but themselves: a few thousand of the 65,536.
  UErrorCode status = U_ZERO_ERROR;
  const USet* set = u_getBinaryPropertySet(UCHAR_CASE_SENSITIVE, &status);
  const int32_t ranges = U_SUCCESS(status) && set != nullptr ? uset_getItemCount(set) : -1;
  if (ranges < 0) {
    MapUnits(upper, lower, 0, kUnitCount);
    return;
  }
  for (int32_t i = 0; i < ranges; ++i) {
    UChar32 start = 0, end = 0;
    status = U_ZERO_ERROR;
    if (uset_getItem(set, i, &start, &end, nullptr, 0, &status) != 0 || U_FAILURE(status)) continue;
    if (start < 0x10000) MapUnits(upper, lower, uint32_t(start), std::min<uint32_t>(uint32_t(end) + 1, 0x10000));
  }
}

bool ComputeByteDecoding(const char* converter, TByteDecoding& decoding) {
  UErrorCode status = U_ZERO_ERROR;
  UConverter* icu = ucnv_open(converter, &status);
  if (U_FAILURE(status)) return false;
  ucnv_setToUCallBack(icu, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  for (int b = 0; b < 256; ++b) {
    decoding.units[b] = char16_t(b);
    decoding.defined[b] = true;
    if (b < 0x80) continue;
    char byte = static_cast<char>(b);
    UChar unit[2];
    UErrorCode err = U_ZERO_ERROR;
    ucnv_reset(icu);
    int32_t produced = ucnv_toUChars(icu, unit, 2, &byte, 1, &err);
    decoding.defined[b] = U_SUCCESS(err) && produced == 1;
    decoding.units[b] = decoding.defined[b] ? unit[0] : char16_t(0xFFFD);
  }
  ucnv_close(icu);
  return true;
}

}  // namespace qn::platform
