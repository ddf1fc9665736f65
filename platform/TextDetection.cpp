#include "platform/TextDetection.h"

namespace qn::platform {

TUtf16Detection DetectUtf16WithoutMark(const void*, size_t) noexcept { return TUtf16Detection::NotUtf16; }

bool IsTextUnicode(const void* bytes, size_t count) noexcept {
  const unsigned char* b = static_cast<const unsigned char*>(bytes);
  if (b && count >= 2 && b[0] == 0xFF && b[1] == 0xFE) return true;
  return DetectUtf16WithoutMark(bytes, count) == TUtf16Detection::LittleEndian;
}

}  // namespace qn::platform
