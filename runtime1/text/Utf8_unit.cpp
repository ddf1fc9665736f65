#include "runtime1/text/Utf8_unit.h"

#include <algorithm>
#include <cstring>

#include "platform/YieldHook.h"

namespace qn {
namespace {

constexpr unsigned char kSignature[3] = {0xEF, 0xBB, 0xBF};

// Bytes walked between two calls of the yield procedure: often enough for a
// responsive interface, rarely enough that a hooked host does not turn a
// detection over a large ASCII file into millions of message-loop calls.
constexpr size_t kYieldBlock = 64 * 1024;

constexpr uint64_t kHighBits = 0x8080808080808080ull;

inline uint64_t Load8(const unsigned char* p) noexcept {
  uint64_t w;
  std::memcpy(&w, p, sizeof w);
  return w;
}

// Index of the first byte of 80 or above in [from, to), or to.
size_t SkipAscii(const unsigned char* p, size_t from, size_t to) noexcept {
  size_t i = from;
  while (to - i >= 8 && (Load8(p + i) & kHighBits) == 0) i += 8;
  while (i < to && p[i] < 0x80) ++i;
  return i;
}

}  // namespace

std::string UTF8SignatureAsUTF8String() {
  return std::string(reinterpret_cast<const char*>(kSignature), sizeof kSignature);
}

bool IsUTF8SignatureA(const char* bytes) noexcept {
  if (bytes == nullptr) return false;
  const auto* b = reinterpret_cast<const unsigned char*>(bytes);
  // Byte by byte, so that a shorter zero-terminated text stops at its end.
  return b[0] == kSignature[0] && b[1] == kSignature[1] && b[2] == kSignature[2];
}

bool IsUTF8SignatureW(const char16_t* text) noexcept {
  if (text == nullptr || text[0] == 0 || text[1] == 0) return false;
  return (text[0] & 0xFF) == kSignature[0] && (text[0] >> 8) == kSignature[1] &&
         (text[1] & 0xFF) == kSignature[2];
}

bool IsUTF8Signature(uint8_t first, uint8_t second, uint8_t third) noexcept {
  return first == kSignature[0] && second == kSignature[1] && third == kSignature[2];
}

size_t UTF8LengthInChars(std::string_view text) noexcept {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  size_t count = 0;
  size_t i = 0;
  while (i < n) {
    const size_t asciiEnd = SkipAscii(p, i, n);
    count += asciiEnd - i;
    i = asciiEnd;
    if (i == n) break;
    const unsigned char lead = p[i];
    size_t length;
    if (lead < 0xC0) {
      return n;  // a continuation byte where a character should begin
    } else if (lead < 0xE0) {
      length = 2;
    } else if (lead < 0xF0) {
      length = 3;
    } else if (lead < 0xF8) {
      length = 4;
    } else if (lead < 0xFC) {
      length = 5;
    } else if (lead < 0xFE) {
      length = 6;
    } else {
      return n;  // FE, FF never begin a sequence
    }
    if (length > n - i) return n;  // the last character runs past the end
    i += length;
    ++count;
  }
  return count;
}

bool CheckedUTF(std::string_view text, bool& asciiOnly) {
  asciiOnly = true;
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  size_t i = 0;
  do {
    MyYieldProcess();
    const size_t blockEnd = std::min(n, i + kYieldBlock);
    i = SkipAscii(p, i, blockEnd);
    if (i < blockEnd) break;
  } while (i < n);
  if (i >= n) return true;  // ASCII only

  const unsigned char lead = p[i];
  const size_t trailing = lead < 0xC0 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : lead < 0xF8 ? 3
                                                          : lead < 0xFC ? 4 : 5;
  if (trailing >= n - i) return false;  // the sequence runs past the end
  // 5- and 6-byte forms, continuation bytes as leads, the overlong C0 C1 and
  // leads beyond U+10FFFF are all ill-formed.
  if (trailing == 0 || trailing > 3 || lead < 0xC2 || lead > 0xF4) return false;
  unsigned char low = 0x80, high = 0xBF;
  if (lead == 0xE0) low = 0xA0;   // overlong 3-byte form
  if (lead == 0xED) high = 0x9F;  // UTF-16 surrogates
  if (lead == 0xF0) low = 0x90;   // overlong 4-byte form
  if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
  if (p[i + 1] < low || p[i + 1] > high) return false;
  for (size_t k = 2; k <= trailing; ++k) {
    if (p[i + k] < 0x80 || p[i + k] > 0xBF) return false;
  }
  asciiOnly = false;
  return true;
}

}  // namespace qn
