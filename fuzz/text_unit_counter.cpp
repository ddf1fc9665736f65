// Arbitrary bytes as a text file's bytes, taken piece by piece: the counter
// must give the counts of the whole text decoded and classified at once, at
// every point between pieces, and never read outside the bytes it is given.
//
// Layout: byte 0 the options (bits 0-2: the encoding, UTF-8, UTF-16 little-
// or big-endian, code page 1252 or 1251; bits 3-7: the piece size, 1 to 32
// bytes), then the text's bytes (at most 2,000).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "platform/CharTypes.h"
#include "platform/StringList.h"
#include "runtime1/search/Text_unit_counter.h"
#include "runtime1/text/Bare_assemb3.h"
#include "runtime1/text/My_string_functions_sentences.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static constexpr qn::platform::TTextEncoding kEncodings[8] = {
      qn::platform::kEncodingUTF8, qn::platform::kEncodingUTF16LE, qn::platform::kEncodingUTF16BE, 1252,
      1251, qn::platform::kEncodingUTF8, qn::platform::kEncodingUTF16LE, qn::platform::kEncodingUTF8};
  const qn::platform::TTextEncoding encoding = kEncodings[data[0] & 7];
  const size_t pieceSize = 1 + (data[0] >> 3);
  const std::span<const uint8_t> bytes(data + 1, std::min<size_t>(size - 1, 2000));

  // The whole text and its counts before every position.
  std::u16string text = qn::platform::DecodeTextBytesAs(bytes, encoding);
  text.resize(std::min(text.size(), text.find(u'\0')));
  const size_t n = text.size();
  std::vector<uint16_t> details(n + 1, 0);
  qn::platform::CharTypes1(text.data(), n, details.data());
  std::vector<int64_t> starts(n + 1, 0), sentences(n + 1, 0), paragraphs(n + 1, 0);
  const auto white = [&](size_t i) { return (details[i] & qn::kDetailWhiteSpace) != 0; };
  int64_t s = 0, p = 0;
  bool paragraphOpen = false, sentenceOpen = false;
  int32_t end = n > 0 ? qn::EndOfSentence(1, text) : -1;
  for (size_t i = 0; i < n; ++i) {
    starts[i + 1] = starts[i] + ((i == 0 || white(i - 1)) && !white(i) ? 1 : 0);
    const char16_t c = text[i];
    if (end >= 1 && i + 1 == static_cast<size_t>(end)) {
      ++s;
      sentenceOpen = false;
      paragraphOpen = true;
      end = i + 2 <= n ? qn::EndOfSentence(static_cast<int32_t>(i + 2), text) : -1;
    } else if (c == u'\n' || c == u'\r' || c == 0x2029) {
      if (paragraphOpen) {
        ++p;
        if (sentenceOpen) ++s;
      }
      paragraphOpen = sentenceOpen = false;
    } else if ((details[i] & (qn::platform::C1_ALPHA | qn::platform::C1_DIGIT)) != 0) {
      paragraphOpen = sentenceOpen = true;
    } else if (c > 0x20) {
      paragraphOpen = true;
    }
    sentences[i + 1] = s;
    paragraphs[i + 1] = p;
  }

  qn::TTextUnitCounter counter(encoding);
  for (size_t at = 0; at < bytes.size(); at += pieceSize) {
    counter.Add(bytes.subspan(at, std::min(pieceSize, bytes.size() - at)));
    const auto units = static_cast<size_t>(counter.Units());
    Check(units <= n);
    Check(counter.WordStarts() == starts[units]);
    if (units < n) {
      Check(counter.Ends().SentencesBefore(text[units]) == sentences[units]);
      Check(counter.Ends().ParagraphsBefore(text[units]) == paragraphs[units]);
    }
  }
  counter.Finish();
  Check(counter.Units() == static_cast<int64_t>(n));
  Check(counter.WordStarts() == starts[n]);
  if (n > 0) {
    Check(counter.Ends().SentencesBefore(0, true) == sentences[n]);
    Check(counter.Ends().ParagraphsBefore(0, true) == paragraphs[n]);
  }
  return 0;
}
