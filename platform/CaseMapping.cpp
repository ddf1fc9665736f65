#include "platform/CaseMapping.h"

#include <algorithm>
#include <array>
#include <memory>
#include <mutex>
#include <unordered_map>

#include <unicode/uchar.h>
#include <unicode/utf16.h>

#include "platform/CodePageConverters.h"
#include "platform/CodePages.h"
#include "platform/Locales.h"
#include "platform/UnitTables.h"

namespace qn::platform {

namespace {

// The upper- and lower-case tables of a variant, indexed by code unit.
struct TCaseTables {
  const char16_t* upper;
  const char16_t* lower;
};

// The Turkic variant differs from the built-in tables in four units only, but
// callers take whole tables (UpperTable), so it gets a copy of its own, made
// when first asked for.
struct TTurkicTables {
  std::array<char16_t, kUnitCount> upper;
  std::array<char16_t, kUnitCount> lower;
  TTurkicTables() {
    std::copy(kUnitUpper, kUnitUpper + kUnitCount, upper.begin());
    std::copy(kUnitLower, kUnitLower + kUnitCount, lower.begin());
    upper[u'i'] = u'\u0130';
    lower[u'I'] = u'\u0131';
    upper[0x0131] = u'I';
    lower[0x0130] = u'i';
  }
};

TCaseTables Tables(TCaseVariant variant) noexcept {
  if (variant == TCaseVariant::Turkic) {
    static const TTurkicTables turkic;
    return {turkic.upper.data(), turkic.lower.data()};
  }
  return {kUnitUpper, kUnitLower};
}

// A pair maps as one supplementary character; its simple mapping is always
// supplementary too, but never trust that blindly.
template <bool kUpper>
void MapInPlace(char16_t* text, size_t count, TCaseVariant variant) noexcept {
  const char16_t* table = kUpper ? Tables(variant).upper : Tables(variant).lower;
  size_t i = 0;
  while (i < count) {
    // Steps of four without surrogates: loads before stores, since the text
    // may alias the table as far as the compiler knows.
    for (; i + 4 <= count; i += 4) {
      char16_t a = text[i], b = text[i + 1], c = text[i + 2], d = text[i + 3];
      if (U16_IS_SURROGATE(a) || U16_IS_SURROGATE(b) || U16_IS_SURROGATE(c) || U16_IS_SURROGATE(d)) break;
      char16_t ma = table[a], mb = table[b], mc = table[c], md = table[d];
      text[i] = ma;
      text[i + 1] = mb;
      text[i + 2] = mc;
      text[i + 3] = md;
    }
    if (i >= count) break;
    char16_t c = text[i];
    if (U16_IS_LEAD(c) && i + 1 < count && U16_IS_TRAIL(text[i + 1])) {
      UChar32 cp = U16_GET_SUPPLEMENTARY(c, text[i + 1]);
      UChar32 mapped = kUpper ? u_toupper(cp) : u_tolower(cp);
      if (mapped >= 0x10000) {
        text[i] = U16_LEAD(mapped);
        text[i + 1] = U16_TRAIL(mapped);
      }
      i += 2;
      continue;
    }
    text[i] = table[c];
    ++i;
  }
}

// Single-byte code pages: a 256-entry byte-to-byte table per (code page,
// variant, direction), built from the code page's decoding and encoding.
using TByteMap = std::array<unsigned char, 256>;

const unsigned char* SingleByteMap(uint32_t codePage, TCaseVariant variant, bool upper) {
  const char16_t* decode = DecodeTableOfCodePage(codePage);
  if (!decode) return nullptr;
  static std::mutex mutex;
  static std::unordered_map<uint64_t, std::unique_ptr<TByteMap>> maps;
  uint64_t key = (uint64_t(codePage) << 8) | (uint64_t(variant) << 1) | (upper ? 1 : 0);
  std::lock_guard<std::mutex> lock(mutex);
  auto& slot = maps[key];
  if (!slot) {
    auto map = std::make_unique<TByteMap>();
    const char16_t* table = upper ? Tables(variant).upper : Tables(variant).lower;
    for (int b = 0; b < 256; ++b) {
      (*map)[b] = static_cast<unsigned char>(b);
      char16_t mapped = table[decode[b]];
      if (mapped == decode[b]) continue;
      char encoded[4];
      if (EncodeOneChar(codePage, mapped, encoded) == 1) (*map)[b] = static_cast<unsigned char>(encoded[0]);
    }
    slot = std::move(map);
  }
  return slot->data();
}

void MapBytesInPlace(uint32_t codePage, char* text, size_t count, TCaseVariant variant, bool upper) {
  if (!text || count == 0) return;
  uint32_t resolved = ResolvedCodePage(codePage);
  if (const unsigned char* map = SingleByteMap(resolved, variant, upper)) {
    unsigned char* bytes = reinterpret_cast<unsigned char*>(text);
    for (size_t i = 0; i < count; ++i) bytes[i] = map[bytes[i]];
    return;
  }
  const char16_t* table = upper ? Tables(variant).upper : Tables(variant).lower;
  size_t pos = 0;
  while (pos < count) {
    unsigned char b = static_cast<unsigned char>(text[pos]);
    if (b < 0x80) {  // at a character start, ASCII is itself in every supported multi-byte page
      text[pos] = static_cast<char>(table[b] < 0x80 ? table[b] : b);
      ++pos;
      continue;
    }
    int32_t length = 1;
    UChar32 c = DecodeOneChar(resolved, text + pos, count - pos, &length);
    if (length < 1) length = 1;
    UChar32 mapped = c < 0x10000 ? UChar32(table[c]) : (upper ? u_toupper(c) : u_tolower(c));
    if (mapped != c && c != 0xFFFD) {
      char encoded[4];
      if (EncodeOneChar(resolved, mapped, encoded) == length) {
        for (int32_t i = 0; i < length; ++i) text[pos + size_t(i)] = encoded[i];
      }
    }
    pos += size_t(length);
  }
}

std::u16string MappedCopy(std::u16string_view text, TCaseVariant variant, bool upper) {
  std::u16string result(text);
  if (upper) MapInPlace<true>(result.data(), result.size(), variant);
  else MapInPlace<false>(result.data(), result.size(), variant);
  return result;
}

}  // namespace

TCaseVariant CaseVariantOfLCID(uint32_t lcid) noexcept {
  uint16_t primary = PrimaryLangOf(ResolvedLCID(lcid));
  return (primary == 0x1F || primary == 0x2C) ? TCaseVariant::Turkic : TCaseVariant::Invariant;
}

char16_t UpperChar(char16_t c, TCaseVariant variant) noexcept { return Tables(variant).upper[c]; }
char16_t LowerChar(char16_t c, TCaseVariant variant) noexcept { return Tables(variant).lower[c]; }

const char16_t* UpperTable(TCaseVariant variant) noexcept { return Tables(variant).upper; }
const char16_t* LowerTable(TCaseVariant variant) noexcept { return Tables(variant).lower; }

void UpperCaseInPlace(char16_t* text, size_t count, TCaseVariant variant) noexcept {
  if (text) MapInPlace<true>(text, count, variant);
}
void LowerCaseInPlace(char16_t* text, size_t count, TCaseVariant variant) noexcept {
  if (text) MapInPlace<false>(text, count, variant);
}
void UpperCaseInPlaceForLCID(uint32_t lcid, char16_t* text, size_t count) noexcept {
  UpperCaseInPlace(text, count, CaseVariantOfLCID(lcid));
}
void LowerCaseInPlaceForLCID(uint32_t lcid, char16_t* text, size_t count) noexcept {
  LowerCaseInPlace(text, count, CaseVariantOfLCID(lcid));
}

std::u16string UpperCased(std::u16string_view text) { return MappedCopy(text, TCaseVariant::Invariant, true); }
std::u16string LowerCased(std::u16string_view text) { return MappedCopy(text, TCaseVariant::Invariant, false); }
std::u16string UpperCasedForLCID(uint32_t lcid, std::u16string_view text) {
  return MappedCopy(text, CaseVariantOfLCID(lcid), true);
}
std::u16string LowerCasedForLCID(uint32_t lcid, std::u16string_view text) {
  return MappedCopy(text, CaseVariantOfLCID(lcid), false);
}

void UpperCaseBytesInPlace(uint32_t codePage, char* text, size_t count, TCaseVariant variant) {
  MapBytesInPlace(codePage, text, count, variant, true);
}
void LowerCaseBytesInPlace(uint32_t codePage, char* text, size_t count, TCaseVariant variant) {
  MapBytesInPlace(codePage, text, count, variant, false);
}
void UpperCaseBytesInPlaceForLCID(uint32_t lcid, char* text, size_t count) {
  MapBytesInPlace(LCIDToCodePage(lcid), text, count, CaseVariantOfLCID(lcid), true);
}
void LowerCaseBytesInPlaceForLCID(uint32_t lcid, char* text, size_t count) {
  MapBytesInPlace(LCIDToCodePage(lcid), text, count, CaseVariantOfLCID(lcid), false);
}
std::string UpperCasedBytesForLCID(uint32_t lcid, std::string_view text) {
  std::string result(text);
  UpperCaseBytesInPlaceForLCID(lcid, result.data(), result.size());
  return result;
}
std::string LowerCasedBytesForLCID(uint32_t lcid, std::string_view text) {
  std::string result(text);
  LowerCaseBytesInPlaceForLCID(lcid, result.data(), result.size());
  return result;
}

namespace {

// Checks the flags and works out the direction and variant; false for a bad
// combination.
bool CaseRequest(uint32_t lcid, uint32_t flags, bool* upper, TCaseVariant* variant) {
  const uint32_t known = LCMAP_UPPERCASE | LCMAP_LOWERCASE | LCMAP_LINGUISTIC_CASING;
  if (flags & ~known) return false;
  bool up = (flags & LCMAP_UPPERCASE) != 0, down = (flags & LCMAP_LOWERCASE) != 0;
  if (up == down) return false;
  *upper = up;
  *variant = (flags & LCMAP_LINGUISTIC_CASING) ? CaseVariantOfLCID(lcid) : TCaseVariant::Invariant;
  return true;
}

}  // namespace

int32_t LCMapStringW(uint32_t lcid, uint32_t flags, const char16_t* src, int32_t count, char16_t* dest,
                     int32_t destCapacity) noexcept {
  bool upper = true;
  TCaseVariant variant = TCaseVariant::Invariant;
  if (!CaseRequest(lcid, flags, &upper, &variant) || !src || count < -1 || count == 0 || destCapacity < 0)
    return 0;
  size_t n = count == -1 ? std::char_traits<char16_t>::length(src) + 1 : size_t(count);
  if (n > 0x7FFFFFFF) return 0;
  if (destCapacity == 0) return int32_t(n);
  if (!dest || size_t(destCapacity) < n) return 0;
  if (dest != src) std::char_traits<char16_t>::move(dest, src, n);
  if (upper) MapInPlace<true>(dest, n, variant);
  else MapInPlace<false>(dest, n, variant);
  return int32_t(n);
}

int32_t LCMapStringA(uint32_t lcid, uint32_t flags, const char* src, int32_t count, char* dest,
                     int32_t destCapacity) {
  bool upper = true;
  TCaseVariant variant = TCaseVariant::Invariant;
  if (!CaseRequest(lcid, flags, &upper, &variant) || !src || count < -1 || count == 0 || destCapacity < 0)
    return 0;
  size_t n = count == -1 ? std::char_traits<char>::length(src) + 1 : size_t(count);
  if (n > 0x7FFFFFFF) return 0;
  if (destCapacity == 0) return int32_t(n);
  if (!dest || size_t(destCapacity) < n) return 0;
  if (dest != src) std::char_traits<char>::move(dest, src, n);
  MapBytesInPlace(LCIDToCodePage(lcid), dest, n, variant, upper);
  return int32_t(n);
}

}  // namespace qn::platform
