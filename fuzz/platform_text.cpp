// Arbitrary bytes through the text services of the platform layer: UTF-16
// detection, decoding and encoding in every supported code page,
// classification and case mapping of 8-bit and UTF-16 text, composition,
// comparison and file-mask matching. Besides memory safety it checks the
// invariants callers rely on (lengths kept, round trips of single-byte pages,
// comparison antisymmetric).
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/CaseMapping.h"
#include "platform/CharTypes.h"
#include "platform/CodePages.h"
#include "platform/FileMasks.h"
#include "platform/Locales.h"
#include "platform/TextDetection.h"

namespace {

using namespace qn::platform;

constexpr uint32_t kCodePages[] = {1252, 1250, 1251, 1253, 1254, 1255, 1256, 1257, 1258, 874,
                                   932,  936,  949,  950,  65001, 437, 850,  866,  54936, 20127};
constexpr uint32_t kLocales[] = {0x0409, 0x041F, 0x0407, 0x041D, 0x0411, 0x0804, 0x0419, 0x007F};

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Whole buffer: the UTF-16 test must answer on anything.
  TUtf16Detection detection = DetectUtf16WithoutMark(data, size);
  Check(detection == TUtf16Detection::NotUtf16 || size % 2 == 0);
  (void)IsTextUnicode(data, size);
  if (size < 2) return 0;

  uint32_t codePage = kCodePages[data[0] % std::size(kCodePages)];
  uint32_t lcid = kLocales[data[1] % std::size(kLocales)];
  const char* bytes = reinterpret_cast<const char*>(data + 2);
  size_t count = size - 2;

  // Decoding never fails; single-byte pages give one unit per byte and,
  // where no byte was undefined, the same bytes back.
  std::u16string decoded = Decoded(codePage, std::string_view(bytes, count));
  Check(decoded.size() <= count);
  std::string reencoded = Encoded(codePage, decoded);
  if (IsSingleByteCodePage(codePage)) {
    Check(decoded.size() == count);
    if (decoded.find(u'\uFFFD') == std::u16string::npos) Check(reencoded == std::string(bytes, count));
  }
  char16_t out[64];
  int32_t strict = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes, int32_t(count < 64 ? count : 64),
                                       out, 64);
  Check(strict >= 0 && strict <= 64);

  // Classification and case mapping of the bytes keep one word / byte each.
  std::vector<uint16_t> flags(count);
  CharTypes1OfBytes(codePage, bytes, count, flags.data());
  std::string mapped(bytes, count);
  UpperCaseBytesInPlace(codePage, mapped.data(), mapped.size(), CaseVariantOfLCID(lcid));
  Check(mapped.size() == count);
  LowerCaseBytesInPlaceForLCID(lcid, mapped.data(), mapped.size());

  // The same bytes as UTF-16 code units (lone surrogates included).
  std::u16string units(count / 2, u'\0');
  for (size_t i = 0; i < units.size(); ++i)
    units[i] = char16_t(static_cast<uint8_t>(bytes[2 * i]) | (static_cast<uint8_t>(bytes[2 * i + 1]) << 8));
  std::string narrow = Encoded(codePage, units);
  Check(narrow.size() <= units.size() * size_t(MaxBytesPerChar(codePage)));
  std::u16string upper = UpperCasedForLCID(lcid, units);
  Check(upper.size() == units.size());
  std::vector<uint16_t> unitFlags(units.size());
  CharTypes1(units.data(), units.size(), unitFlags.data());
  std::u16string composed = Precomposed(units);
  (void)composed;

  // Comparison of the two halves is antisymmetric; masks never misbehave.
  std::u16string_view first(units.data(), units.size() / 2);
  std::u16string_view second(units.data() + units.size() / 2, units.size() - units.size() / 2);
  uint32_t compareFlags = data[1] & 0x0F;
  Check(CompareStrings(lcid, compareFlags, first, second) == -CompareStrings(lcid, compareFlags, second, first));
  (void)PathMatchSpec(first, second);
  return 0;
}
