#include "platform/CodePages.h"

#include <array>
#include <atomic>

#include "platform/CodePageConverters.h"

namespace qn::platform {

namespace {
std::atomic<uint32_t> gActiveCodePage{1252};
std::atomic<uint32_t> gUserLCID{0x0409};

const std::array<char16_t, 256>& Latin1() {
  static const std::array<char16_t, 256> table = [] {
    std::array<char16_t, 256> t{};
    for (int i = 0; i < 256; ++i) t[i] = char16_t(i);
    return t;
  }();
  return table;
}
}  // namespace

uint32_t ActiveCodePage() noexcept { return gActiveCodePage.load(std::memory_order_relaxed); }
bool SetActiveCodePage(uint32_t codePage) noexcept {
  if (!IsCodePageSupported(codePage)) return false;
  gActiveCodePage.store(codePage);
  return true;
}
uint32_t OemCodePage() noexcept { return 437; }
uint32_t UserDefaultLCID() noexcept { return gUserLCID.load(std::memory_order_relaxed); }
void SetUserDefaultLCID(uint32_t lcid) noexcept {
  if (lcid == 0 || lcid == 0x0400 || lcid == 0x0800 || lcid == 0x0C00) return;
  gUserLCID.store(lcid);
}
bool IsCodePageSupported(uint32_t codePage) noexcept { return codePage == 1252; }
uint32_t ResolvedCodePage(uint32_t codePage) noexcept {
  return IsCodePageSupported(codePage) ? codePage : ActiveCodePage();
}
bool IsSingleByteCodePage(uint32_t) noexcept { return true; }
int MaxBytesPerChar(uint32_t) noexcept { return 1; }
const char* ConverterNameOfCodePage(uint32_t) noexcept { return "windows-1252"; }
const char16_t* DecodeTableOfCodePage(uint32_t) noexcept { return Latin1().data(); }

void AppendDecoded(uint32_t, const char* bytes, size_t count, std::u16string& out) {
  for (size_t i = 0; i < count; ++i) out.push_back(char16_t(static_cast<unsigned char>(bytes[i])));
}
std::u16string Decoded(uint32_t codePage, std::string_view bytes) {
  std::u16string out;
  AppendDecoded(codePage, bytes.data(), bytes.size(), out);
  return out;
}
std::u16string DecodedUTF8(std::string_view bytes) { return Decoded(CP_UTF8, bytes); }
void AppendEncoded(uint32_t, const char16_t* text, size_t count, std::string& out, bool* usedDefaultChar) {
  if (usedDefaultChar) *usedDefaultChar = false;
  for (size_t i = 0; i < count; ++i) out.push_back(text[i] < 256 ? char(text[i]) : '?');
}
std::string Encoded(uint32_t codePage, std::u16string_view text) {
  std::string out;
  AppendEncoded(codePage, text.data(), text.size(), out);
  return out;
}
std::string EncodedUTF8(std::u16string_view text) { return Encoded(CP_UTF8, text); }
int32_t MultiByteToWideChar(uint32_t, uint32_t, const char*, int32_t, char16_t*, int32_t) { return 0; }
int32_t WideCharToMultiByte(uint32_t, uint32_t, const char16_t*, int32_t, char*, int32_t, const char*, bool*) {
  return 0;
}

UChar32 DecodeOneChar(uint32_t, const char* text, size_t, int32_t* length) {
  *length = 1;
  return static_cast<unsigned char>(text[0]);
}
int32_t EncodeOneChar(uint32_t, UChar32 c, char* out) {
  if (c > 255) return 0;
  out[0] = char(c);
  return 1;
}

}  // namespace qn::platform
