#include "runtime1/text/My_string_functions.h"

#include <unicode/utf16.h>

#include <algorithm>
#include <cstring>

#include "platform/CharTypes.h"
#include "platform/CodePages.h"
#include "platform/Locales.h"

namespace qn {

char16_t copyW[256] = {};
char copyA[256] = {};

namespace {

constexpr size_t kCopyLimit = 255;

inline std::u16string_view ViewOf(const char16_t* text) noexcept {
  return text == nullptr ? std::u16string_view() : std::u16string_view(text);
}

inline std::string_view ViewOf(const char* text) noexcept {
  return text == nullptr ? std::string_view() : std::string_view(text);
}

inline uint32_t CodePageOfLCID(uint32_t lcid) noexcept {
  return platform::ResolvedCodePage(platform::LCIDToCodePage(lcid));
}

// The number of code units of s to keep so that at most limit are kept and a
// surrogate pair is not split.
size_t WholeUnitsWithin(std::u16string_view s, size_t limit) noexcept {
  size_t count = std::min(s.size(), limit);
  if (count > 0 && count < s.size() && U16_IS_LEAD(s[count - 1]) && U16_IS_TRAIL(s[count])) {
    --count;
  }
  return count;
}

// Bytes taken by the character that begins with lead in a multi-byte code page
// (second is the following byte, or -1 at the end of the text).
size_t CharBytes(uint32_t codePage, unsigned char lead, int second) noexcept {
  switch (codePage) {
    case 932:  // Shift-JIS
      return (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC) ? 2 : 1;
    case 936:
    case 949:
    case 950:
      return lead >= 0x81 && lead <= 0xFE ? 2 : 1;
    case 54936:  // GB 18030: four bytes when the second is a digit
      if (lead < 0x81 || lead > 0xFE) return 1;
      return second >= 0x30 && second <= 0x39 ? 4 : 2;
    case platform::CP_UTF8:
      return lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF8 ? 4 : 1;
    default:
      return 1;
  }
}

// How many leading bytes of s (at most limit) end on a character boundary of
// the code page.
size_t WholeBytesWithin(std::string_view s, uint32_t codePage, size_t limit) noexcept {
  if (s.size() <= limit) return s.size();
  if (platform::IsSingleByteCodePage(codePage)) return limit;
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  size_t i = 0;
  while (i < limit) {
    const int second = i + 1 < s.size() ? p[i + 1] : -1;
    const size_t length = CharBytes(codePage, p[i], second);
    if (i + length > limit) break;
    i += length;
  }
  return i;
}

}  // namespace

// --- UTF-16 -> 8-bit -------------------------------------------------------------------

std::string ConvertedFromWideString(TCodePage codePage, std::u16string_view text) {
  if (text.empty()) return {};
  // Encoded sizes its result to what the text needs, so multi-byte
  // characters always arrive whole.
  return platform::Encoded(codePage.Number, text);
}

std::string ConvertedFromWideString(TCodePage codePage, const char16_t* text) {
  return ConvertedFromWideString(codePage, ViewOf(text));
}

std::string ConvertedFromWideString(uint32_t lcid, std::u16string_view text) {
  if (text.empty()) return {};
  return ConvertedFromWideString(TCodePage(platform::LCIDToCodePage(lcid)), text);
}

std::string ConvertedFromWideString(uint32_t lcid, const char16_t* text) {
  return ConvertedFromWideString(lcid, ViewOf(text));
}

std::string ConvertedFromWideString(std::u16string_view text) {
  if (text.empty()) return {};
  return ConvertedFromWideString(TCodePage(platform::ActiveCodePage()), text);
}

std::string ConvertedFromWideString(const char16_t* text) {
  return ConvertedFromWideString(ViewOf(text));
}

// --- 8-bit -> UTF-16 ------------------------------------------------------------------------

std::u16string ConvertedToWideString(uint32_t codePage, const char* text, int32_t length) {
  if (text == nullptr || length <= 0) return {};
  return platform::Decoded(codePage, std::string_view(text, static_cast<size_t>(length)));
}

std::u16string ConvertedToWideString(uint32_t lcid, std::string_view text) {
  if (text.empty()) return {};
  return platform::Decoded(platform::LCIDToCodePage(lcid), text);
}

std::u16string ConvertedToWideString(uint32_t lcid, const char* text) {
  return ConvertedToWideString(lcid, ViewOf(text));
}

std::u16string ConvertedToWideString(std::string_view text) {
  if (text.empty()) return {};
  return platform::Decoded(platform::ActiveCodePage(), text);
}

std::u16string ConvertedToWideString(const char* text) { return ConvertedToWideString(ViewOf(text)); }

// --- Shared copy buffers --------------------------------------------------------------------

const char16_t* GetCopyOfAnsiEncodedAsUnicode(std::string_view s, uint32_t lcid) {
  std::memset(copyW, 0, sizeof copyW);
  // 1,020 bytes hold at least 255 whole characters of any supported code page,
  // so decoding this prefix yields every unit the copy can keep.
  const std::u16string decoded =
      ConvertedToWideString(lcid, s.substr(0, std::min<size_t>(s.size(), 4 * kCopyLimit)));
  const size_t count = WholeUnitsWithin(decoded, kCopyLimit);
  std::copy_n(decoded.begin(), count, copyW);
  return copyW;
}

const char* GetCopyOfAnsiEncodedAsAnsi(std::string_view s, uint32_t lcid) {
  std::memset(copyA, 0, sizeof copyA);
  const size_t count = WholeBytesWithin(s, CodePageOfLCID(lcid), kCopyLimit);
  std::copy_n(s.begin(), count, copyA);
  return copyA;
}

const char16_t* GetCopyOfWideSTringEncodedASUnicode(std::u16string_view s, uint32_t /*lcid*/) {
  std::memset(copyW, 0, sizeof copyW);
  std::copy_n(s.begin(), WholeUnitsWithin(s, kCopyLimit), copyW);
  return copyW;
}

const char* GetCopyOfWideSTringEncodedAsAnsi(std::u16string_view s, uint32_t lcid) {
  std::memset(copyA, 0, sizeof copyA);
  const uint32_t codePage = CodePageOfLCID(lcid);
  std::string encoded;
  if (platform::IsSingleByteCodePage(codePage)) {
    platform::AppendEncoded(codePage, s.data(), WholeUnitsWithin(s, kCopyLimit), encoded);
  } else {
    // Character by character, so that the copy ends on a whole character.
    encoded.reserve(kCopyLimit + 4);
    for (size_t i = 0; i < s.size();) {
      const size_t units = i + 1 < s.size() && U16_IS_LEAD(s[i]) && U16_IS_TRAIL(s[i + 1]) ? 2 : 1;
      const size_t before = encoded.size();
      platform::AppendEncoded(codePage, s.data() + i, units, encoded);
      if (encoded.size() > kCopyLimit) {
        encoded.resize(before);
        break;
      }
      i += units;
    }
  }
  std::copy_n(encoded.begin(), std::min(encoded.size(), kCopyLimit), copyA);
  return copyA;
}

// --- Characters ----------------------------------------------------------------------------

std::u16string EnsurePrecomposed(std::u16string_view s) {
  if (s.empty()) return {};
  return platform::Precomposed(s);
}

char16_t WideCharFromCardinal(uint32_t value) noexcept {
  return value < 0x10000 ? static_cast<char16_t>(value) : u'?';
}

std::u16string WideStringFromCardinal(uint32_t value) {
  return std::u16string(1, WideCharFromCardinal(value));
}

bool GetStringTypeExNT2000(bool isUnicode, uint32_t lcid, uint32_t infoType, uint16_t* charTypes,
                           int32_t count, const void* text) {
  if (isUnicode) {
    return platform::GetStringTypeExW(lcid, infoType, static_cast<const char16_t*>(text), count,
                                      charTypes);
  }
  return platform::GetStringTypeExA(lcid, infoType, static_cast<const char*>(text), count, charTypes);
}

// --- Measurement ---------------------------------------------------------------------------

TSize TextSizeOfString(TDeviceContext DC, std::u16string_view s) {
  TSize size;
  if (MyGetTextExtentExPointW == nullptr || s.size() > size_t(INT32_MAX)) return size;
  if (!MyGetTextExtentExPointW(DC, s.data(), static_cast<int32_t>(s.size()), 0, nullptr, nullptr,
                               &size)) {
    return TSize{};
  }
  return size;
}

int32_t TextWidthOfWideString(TDeviceContext DC, std::u16string_view s) {
  return TextSizeOfString(DC, s).cx;
}

}  // namespace qn
