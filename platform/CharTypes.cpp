#include "platform/CharTypes.h"

#include <array>
#include <memory>
#include <mutex>
#include <unordered_map>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <unicode/utf16.h>

#include "platform/CodePageConverters.h"
#include "platform/CodePages.h"
#include "platform/Locales.h"
#include "platform/UnitTables.h"

namespace qn::platform {

namespace {

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
    for (int b = 0; b < 256; ++b) (*table)[b] = kUnitClasses[decode[b]];
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
    uint16_t flags = c < 0x10000 ? kUnitClasses[size_t(c)] : ClassOfCodePoint(char32_t(c));
    for (int32_t i = 0; i < length && pos < count; ++i) out[pos++] = flags;
  }
}

}  // namespace

uint16_t CharType1OfCodePoint(char32_t c) noexcept { return ClassOfCodePoint(c); }

const uint16_t* CharType1Table() noexcept { return kUnitClasses; }

uint16_t CharType1(char16_t c) noexcept { return kUnitClasses[c]; }

void CharTypes1(const char16_t* text, size_t count, uint16_t* out) noexcept {
  const uint16_t* flags = kUnitClasses;
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
  const uint16_t* flags = kUnitClasses;
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
