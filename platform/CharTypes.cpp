#include "platform/CharTypes.h"

#include <algorithm>
#include <array>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <unicode/uchar.h>
#include <unicode/uset.h>
#include <unicode/utf16.h>

#include "platform/CodePageConverters.h"
#include "platform/CodePages.h"
#include "platform/Locales.h"

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
uint16_t ClassifyCodePoint(UChar32 c) {
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

// The code units at which some input of ClassifyCodePoint may change: the
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

// Built from the boundaries, one classification per stretch (a few thousand)
// instead of one per code unit: this table is made by nearly every run, and
// classifying 65,536 units one by one was most of a short run's time.
struct TCharTable {
  std::array<uint16_t, 0x10000> flags;
  TCharTable() {
    TClassBoundaries boundaries;
    if (!boundaries.Find()) {
      for (uint32_t c = 0; c < 0x10000; ++c) flags[c] = ClassifyCodePoint(UChar32(c));
      return;
    }
    for (uint32_t at = 0; at < 0x10000;) {
      const uint32_t next = boundaries.After(at);
      std::fill(flags.begin() + at, flags.begin() + next, ClassifyCodePoint(UChar32(at)));
      at = next;
    }
  }
};

const TCharTable& Table() {
  static const TCharTable table;
  return table;
}

using TByteTable = std::array<uint16_t, 256>;

const uint16_t* BuildByteTable(uint32_t codePage) {
  static std::mutex mutex;
  static std::unordered_map<uint32_t, std::unique_ptr<TByteTable>> tables;
  std::lock_guard<std::mutex> lock(mutex);
  auto& slot = tables[codePage];
  if (!slot) {
    const char16_t* decode = DecodeTableOfCodePage(codePage);
    if (!decode) return nullptr;
    auto table = std::make_unique<TByteTable>();
    const uint16_t* flags = Table().flags.data();
    for (int b = 0; b < 256; ++b) (*table)[b] = flags[decode[b]];
    slot = std::move(table);
  }
  return slot->data();
}

// Multi-byte code pages: every byte of a character gets its flags.
void ClassifyMultiByte(uint32_t codePage, const char* text, size_t count, uint16_t* out) {
  size_t pos = 0;
  while (pos < count) {
    int32_t length = 1;
    UChar32 c = DecodeOneChar(codePage, text + pos, count - pos, &length);
    if (length < 1) length = 1;
    uint16_t flags = c < 0x10000 ? Table().flags[size_t(c)] : ClassifyCodePoint(c);
    for (int32_t i = 0; i < length && pos < count; ++i) out[pos++] = flags;
  }
}

}  // namespace

uint16_t CharType1OfCodePoint(char32_t c) noexcept { return ClassifyCodePoint(UChar32(c)); }

const uint16_t* CharType1Table() noexcept { return Table().flags.data(); }

uint16_t CharType1(char16_t c) noexcept { return Table().flags[c]; }

void CharTypes1(const char16_t* text, size_t count, uint16_t* out) noexcept {
  const uint16_t* flags = Table().flags.data();
  size_t i = 0;
  // Four independent lookups per step keep the load ports busy.
  for (; i + 4 <= count; i += 4) {
    uint16_t a = flags[text[i]], b = flags[text[i + 1]], c = flags[text[i + 2]], d = flags[text[i + 3]];
    out[i] = a;
    out[i + 1] = b;
    out[i + 2] = c;
    out[i + 3] = d;
  }
  for (; i < count; ++i) out[i] = flags[text[i]];
}

// The SIMD test for the terminator reads whole aligned blocks of 16 bytes,
// which the address sanitizer would report when the terminator is not the
// block's last unit: its builds test unit by unit.
#if defined(__SSE2__) && !defined(__SANITIZE_ADDRESS__)
#define QN_BLOCK_ZERO_TEST 1
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#undef QN_BLOCK_ZERO_TEST
#endif
#endif
#endif

size_t CharTypes1UpToZero(const char16_t* text, size_t limit, uint16_t* out) noexcept {
  const uint16_t* flags = Table().flags.data();
  size_t i = 0;
#if defined(QN_BLOCK_ZERO_TEST)
  while (i < limit && reinterpret_cast<uintptr_t>(text + i) % 16 != 0) {
    if (text[i] == 0) return i;
    out[i] = flags[text[i]];
    ++i;
  }
  // Eight units at a time while none of them is the terminator: one test per
  // block on the bytes the lookups read anyway.
  const __m128i zero = _mm_setzero_si128();
  for (; i + 8 <= limit; i += 8) {
    const __m128i units = _mm_load_si128(reinterpret_cast<const __m128i*>(text + i));
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(units, zero)) != 0) break;
    uint16_t a = flags[text[i]], b = flags[text[i + 1]], c = flags[text[i + 2]], d = flags[text[i + 3]];
    uint16_t e = flags[text[i + 4]], f = flags[text[i + 5]], g = flags[text[i + 6]], h = flags[text[i + 7]];
    out[i] = a;
    out[i + 1] = b;
    out[i + 2] = c;
    out[i + 3] = d;
    out[i + 4] = e;
    out[i + 5] = f;
    out[i + 6] = g;
    out[i + 7] = h;
  }
#endif
  for (; i < limit && text[i] != 0; ++i) out[i] = flags[text[i]];
  return i;
}

const uint16_t* CharType1TableOfCodePage(uint32_t codePage) {
  uint32_t resolved = ResolvedCodePage(codePage);
  thread_local uint32_t lastCodePage = 0xFFFFFFFF;
  thread_local const uint16_t* lastTable = nullptr;
  if (resolved == lastCodePage && lastTable) return lastTable;
  const uint16_t* table = BuildByteTable(resolved);
  if (table) {
    lastCodePage = resolved;
    lastTable = table;
  }
  return table;
}

void CharTypes1OfBytes(uint32_t codePage, const char* text, size_t count, uint16_t* out) {
  if (count == 0) return;
  if (const uint16_t* table = CharType1TableOfCodePage(codePage)) {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
    for (size_t i = 0; i < count; ++i) out[i] = table[bytes[i]];
    return;
  }
  ClassifyMultiByte(ResolvedCodePage(codePage), text, count, out);
}

bool GetStringTypeExW(uint32_t, uint32_t infoType, const char16_t* text, int32_t count, uint16_t* out) {
  if (infoType != CT_CTYPE1 || count < -1) return false;
  if (count == 0) return true;
  if (!text || !out) return false;
  size_t n = count == -1 ? std::char_traits<char16_t>::length(text) + 1 : size_t(count);
  CharTypes1(text, n, out);
  return true;
}

bool GetStringTypeExA(uint32_t lcid, uint32_t infoType, const char* text, int32_t count, uint16_t* out) {
  if (infoType != CT_CTYPE1 || count < -1) return false;
  if (count == 0) return true;
  if (!text || !out) return false;
  size_t n = count == -1 ? std::char_traits<char>::length(text) + 1 : size_t(count);
  CharTypes1OfBytes(LCIDToCodePage(lcid), text, n, out);
  return true;
}

}  // namespace qn::platform
