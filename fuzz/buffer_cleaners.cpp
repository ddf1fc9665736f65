// Arbitrary bytes through the buffer cleaners at every kernel level the
// processor has: the 128-bit, AVX2 and AVX-512 forms must leave exactly the
// same buffer and return the same length, and no form may touch a byte outside
// its range (the buffer is copied into memory of exactly that size, plus the
// one terminator unit the compacting routines may write).
//
// The first four bytes choose the opening and closing bytes, the span and the
// remove flag; the rest is the text, taken as bytes and as UTF-16 units.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "runtime1/text/Bare_assemb.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

struct Settings {
  char opening;
  char closing;
  int32_t span;
  bool remove;
};

// Everything the cleaners produce from one text, for comparison across levels.
struct Results {
  std::vector<std::string> texts;
  std::vector<std::u16string> wideTexts;
  std::vector<int64_t> lengths;
  bool operator==(const Results&) const = default;
};

template <typename Unit, typename Work>
std::basic_string<Unit> Run(const std::basic_string<Unit>& text, Work work) {
  // Exactly the range plus one terminator unit, so that ASan sees any overrun.
  std::unique_ptr<Unit[]> buffer(new Unit[text.size() + 1]);
  std::memcpy(buffer.get(), text.data(), text.size() * sizeof(Unit));
  buffer[text.size()] = Unit('#');
  work(buffer.get(), static_cast<int32_t>(text.size()));
  return std::basic_string<Unit>(buffer.get(), text.size() + 1);
}

Results CleanAll(const std::string& text, const std::u16string& wide, const Settings& s) {
  qn::ANSILower_or_upperStr_type lowers, uppers;
  lowers.Length = uppers.Length = 4;
  std::memcpy(lowers.Chars, "\xE0\x9A{\xFF", 4);
  std::memcpy(uppers.Chars, "\xC0\x8A~\x9F", 4);
  Results r;
  auto keep = [&](const std::string& t) { r.texts.push_back(t); };
  auto keepWide = [&](const std::u16string& t) { r.wideTexts.push_back(t); };
  keep(Run(text, [](char* b, int32_t n) { qn::ReplaceControlCharsBySpaceA(b, n); }));
  keep(Run(text, [](char* b, int32_t n) { qn::ReplaceCarriageReturnsBySpaceA(b, n); }));
  keep(Run(text, [&](char* b, int32_t n) { qn::CutLowercaseWords(b, lowers, uppers, n); }));
  keep(Run(text, [&](char* b, int32_t n) { qn::CapitaliseABuffer(b, lowers, uppers, n); }));
  keep(Run(text, [&](char* b, int32_t n) {
    r.lengths.push_back(qn::LengthConvertedToUnix(b, n));
  }));
  keep(Run(text, [&](char* b, int32_t n) { qn::ClearBetweenChars(b, s.opening, s.closing, n); }));
  keep(Run(text, [&](char* b, int32_t n) {
    qn::CleanBetweenChars(b, s.opening, s.closing, n, s.span, s.remove);
  }));
  keepWide(Run(wide, [](char16_t* b, int32_t n) { qn::ReplaceControlCharsBySpaceW(b, n); }));
  keepWide(Run(wide, [](char16_t* b, int32_t n) { qn::ReplaceCarriageReturnsBySpaceW(b, n); }));
  keepWide(Run(wide, [&](char16_t* b, int32_t n) {
    r.lengths.push_back(qn::RemoveRedundantSpaceW(b, n));
  }));
  return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const Settings settings{static_cast<char>(data[0]), static_cast<char>(data[1]),
                          1 + static_cast<int32_t>(data[2]) * 4, (data[3] & 1) != 0};
  const std::string text(reinterpret_cast<const char*>(data) + 4, size - 4);
  std::u16string wide(text.size() / 2, u'\0');
  std::memcpy(wide.data(), text.data(), wide.size() * sizeof(char16_t));

  const int best = qn::bare_detail::LimitKernelLevel(2);
  const Results reference = CleanAll(text, wide, settings);
  for (int level = 0; level < best; ++level) {
    Check(qn::bare_detail::LimitKernelLevel(level) == level);
    Check(CleanAll(text, wide, settings) == reference);
  }
  qn::bare_detail::LimitKernelLevel(2);
  // The compactions never lengthen the text.
  for (const int64_t length : reference.lengths) {
    Check(length >= 0 && length <= static_cast<int64_t>(text.size()));
  }
  return 0;
}
