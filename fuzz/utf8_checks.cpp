// Arbitrary bytes through the UTF-8 checks and the numeric-notation decoder.
//
// The bytes are taken as UTF-8 text for CheckedUTF and UTF8LengthInChars, whose
// answers are cross-checked against their definitions; then as UTF-16 code
// units (pairs of bytes) for MyFormatValidNumberStr, whose result must be a
// unit it produced, in a text no longer than before.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "runtime1/text/Myunicodenew.h"
#include "runtime1/text/Utf8_unit.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), data == nullptr ? 0 : size);

  bool asciiOnly = false;
  const bool wellFormed = qn::CheckedUTF(bytes, asciiOnly);
  size_t firstHigh = 0;
  while (firstHigh < bytes.size() && static_cast<unsigned char>(bytes[firstHigh]) < 0x80) ++firstHigh;
  // ASCII only exactly when no byte is 80 or above; then the answer is true.
  Check(asciiOnly == (firstHigh == bytes.size()) || !wellFormed);
  if (firstHigh == bytes.size()) Check(wellFormed && asciiOnly);
  if (!asciiOnly) Check(wellFormed);
  if (!wellFormed) Check(asciiOnly);

  const size_t chars = qn::UTF8LengthInChars(bytes);
  Check(chars <= bytes.size());

  std::u16string text(bytes.size() / 2, u'\0');
  if (!text.empty()) std::memcpy(text.data(), bytes.data(), text.size() * 2);
  const size_t before = text.size();
  const int32_t last = qn::MyFormatValidNumberStr(text);
  Check(text.size() <= before);
  Check(last >= -1 && last <= 0xFFFF);
  if (last < 0) Check(text.size() == before);

  // The same bytes as a byte-per-unit text, where notations are typed ASCII.
  std::u16string typed(bytes.begin(), bytes.end());
  for (char16_t& c : typed) c &= 0xFF;
  const size_t typedBefore = typed.size();
  const int32_t typedLast = qn::MyFormatValidNumberStr(typed);
  Check(typed.size() <= typedBefore);
  if (typedLast >= 0) Check(typed.find(static_cast<char16_t>(typedLast)) != std::u16string::npos);
  return 0;
}
