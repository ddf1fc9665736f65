// Arbitrary bytes through the reader of the quillon program's partial-results
// files (the counts that `quillon merge` adds up), as each of the three kinds.
//
// Checks: the reader accepts or refuses without reading past the text; what
// it accepts is written back by the program's writer into the very same
// bytes, so a merge never loses or alters a count it has read.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "cli/quillon/Partial.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

constexpr size_t kMaxBytes = 4096;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > kMaxBytes + 1) return 0;
  static const char* const kKinds[] = {"wordlist", "ngrams 2", "keywords"};
  const int kind = data[0] % 3;
  const bool keywords = kind == 2;
  // The text in memory of exactly its size, so a read past it is caught.
  const std::vector<char> bytes(data + 1, data + size);
  const std::string_view text(bytes.data(), bytes.size());
  std::string written;
  try {
    (void)quillon::partial::KindLineOf(text);
  } catch (const quillon::partial::TError&) {
  }
  try {
    std::string entries;
    const quillon::partial::THeader header =
        quillon::partial::Parse(text, kKinds[kind], keywords, [&](const quillon::partial::TEntry& e) {
          Check(!e.spelling.empty());
          Check(e.freq[0] >= 0 && e.freq[1] >= 0 && e.texts[0] >= 0 && e.texts[1] >= 0 && e.firstText >= 0);
          quillon::partial::AppendEntry(entries, keywords, e);
        });
    quillon::partial::AppendHeader(written, kKinds[kind], keywords, header);
    written += entries;
    quillon::partial::AppendEnd(written);
  } catch (const quillon::partial::TError& error) {
    Check(!error.why.empty());
    return 0;
  }
  // Numbers are written without leading zeros: compare with the text read
  // after the same normalisation, by reading the written form once more.
  std::string again;
  std::string entries;
  const quillon::partial::THeader header =
      quillon::partial::Parse(written, kKinds[kind], keywords, [&](const quillon::partial::TEntry& e) {
        quillon::partial::AppendEntry(entries, keywords, e);
      });
  quillon::partial::AppendHeader(again, kKinds[kind], keywords, header);
  again += entries;
  quillon::partial::AppendEnd(again);
  Check(again == written);
  // Without leading zeros the written form is the text itself.
  bool leadingZeros = false;
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    const bool fieldStart = i == 0 || text[i - 1] == '\t' || text[i - 1] == '\n' || text[i - 1] == ' ';
    if (fieldStart && text[i] == '0' && text[i + 1] >= '0' && text[i + 1] <= '9') leadingZeros = true;
  }
  if (!leadingZeros) Check(written == text);
  return 0;
}
