// Arbitrary text (pairs of bytes as UTF-16 code units) through sentence
// splitting, line-end conversion and cleaning, chunking and replacement.
//
// Checks: every sentence is trimmed, not empty and occurs in the text; the
// separator split keeps every unit that is neither a blank nor part of a
// separator; line-end conversion leaves no lone CR or LF inside the text and
// reports exactly what it added; cleaning never lengthens the text;
// replacement at recorded places taken from the input (out of order,
// overlapping or outside the text) gives a result of the expected length.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "platform/StringList.h"
#include "runtime1/text/My_string_functions_sentences.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

constexpr size_t kMaxUnits = 4096;

void CheckSentences(qn::platform::TStringList* raw, const std::u16string& text) {
  std::unique_ptr<qn::platform::TStringList> list(raw);
  for (int32_t i = 0; i < list->Count(); ++i) {
    const std::u16string& s = list->Get(i);
    Check(!s.empty() && s.front() > 0x20 && s.back() > 0x20);
    Check(text.find(s) != std::u16string::npos);
  }
}

size_t NonBlankUnits(const std::u16string& s) {
  size_t n = 0;
  for (char16_t c : s) n += c > 0x20;
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string text(std::min(size / 2, kMaxUnits), u'\0');
  if (!text.empty()) std::memcpy(text.data(), data, text.size() * 2);

  CheckSentences(qn::SentencesExtractedFromParagraph(true, 0, text), text);
  CheckSentences(qn::SentencesExtractedFromParagraph(false, 3, text), text);
  CheckSentences(qn::SentencesFromParagraph(text, u"", 0x0409, 20), text);

  // The separator split: pieces plus separators hold every non-blank unit.
  {
    std::unique_ptr<qn::platform::TStringList> pieces(qn::SentencesFromParagraph(text, u".", 0x0409, 20));
    size_t kept = 0;
    for (int32_t i = 0; i < pieces->Count(); ++i) kept += NonBlankUnits(pieces->Get(i));
    size_t dots = 0;
    for (char16_t c : text) dots += c == u'.';
    Check(kept + dots == NonBlankUnits(text));
  }

  int32_t insertions = -1;
  const std::u16string crlf = qn::UnixStringToWindowsStringW(insertions, text);
  Check(crlf.size() == text.size() + static_cast<size_t>(insertions));
  for (size_t i = 0; i < crlf.size(); ++i) {
    if (crlf[i] == u'\n') Check(i > 0 && crlf[i - 1] == u'\r');
    if (crlf[i] == u'\r') Check(i + 1 == crlf.size() || crlf[i + 1] == u'\n');
  }

  Check(qn::StrippedSpacesAtLineStarts(text).size() <= text.size());
  // Runs of line ends shrink to one CR LF; only a final lone CR grows into one.
  Check(qn::StrippedMultipleLineEnds(crlf).size() <= crlf.size() + 1);
  Check(qn::StrippedMultipleLineEnds(crlf, 2).size() <= crlf.size());
  Check(qn::StripWhiteSpaceAndCRLFW(text, 100).size() <= 100);
  Check(qn::RemovedEmptyLinesOf(text).size() <= text.size());
  const std::u16string mark = text.substr(0, std::min<size_t>(text.size(), 2));
  const std::u16string chunks = qn::StringInNCharacterChunks(text, u"> ", mark, 5);
  Check(chunks.size() >= text.size() + 2);

  // Replacement at places taken from the input itself.
  qn::TInsertedTextPositionList hits;
  for (size_t i = 0; i + 1 < text.size() && hits.Count() < 64; i += 2)
    hits.AddOne({0, 0, static_cast<int16_t>(text[i]) % 80, 1});
  const std::u16string old = text.substr(0, std::min<size_t>(text.size(), 3));
  for (const qn::TRightOrLeft side : {qn::at_left, qn::at_right}) {
    const std::u16string r = qn::CopyStringsReplacing(text, old, u"[]", hits, side);
    const int64_t grown = static_cast<int64_t>(r.size()) - static_cast<int64_t>(text.size());
    const int64_t step = 2 - static_cast<int64_t>(old.size());
    Check(step == 0 ? grown == 0 : grown % step == 0);
    Check(step == 0 || grown / step <= hits.Count());
  }

  const std::string bytes(reinterpret_cast<const char*>(data), std::min(size, kMaxUnits));
  const std::string oldBytes = bytes.substr(0, std::min<size_t>(bytes.size(), 2));
  const std::string replaced = qn::AnsiStringReplace(bytes, oldBytes, "xyz", qn::rfReplaceAll | qn::rfIgnoreCase);
  Check(!oldBytes.empty() || replaced == bytes);
  return 0;
}
