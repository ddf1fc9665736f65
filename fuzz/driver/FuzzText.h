// A fuzz input read as UTF-16 text: each pair of bytes is one little-endian
// code unit, and an odd last byte is left out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qn::fuzz_support {

inline std::u16string Utf16Units(const uint8_t* data, size_t size) {
  std::u16string text(size / 2, u'\0');
  for (size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  }
  return text;
}

}  // namespace qn::fuzz_support
