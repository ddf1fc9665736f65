// Arbitrary bytes as a typed search request and a text: the raw-bytes test
// must never rule out a text in which the search-and-do engine finds a hit.
//
// Layout: byte 0 the options (bits 0-1: the file's encoding, UTF-8, UTF-16
// little- or big-endian with a mark, or code page 1252; bit 2: case matters),
// byte 1 the request's length (0..31), then the request, then the text (at
// most 400 characters). A byte below 0x80 picks a character from a small
// alphabet rich in wildcard symbols and case pairs; a byte from 0x80 on
// stands for itself (Latin-1).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/CodePages.h"
#include "runtime1/search/Raw_text_prefilter.h"
#include "runtime1/search/Search_engines.h"
#include "runtime1/search/Search_parsing.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

constexpr char16_t kAlphabet[32] = {u'a', u'b', u'c', u'A', u'B', u' ', u' ',  u'*', u'?',  u'#',   u'^',
                                    u'"', u'1', u'=', u'~', u'.', u',', u'/',  u'e', u'E',  u'-',   u'\'',
                                    u'x', u'\t', u'\r', u'\n', u'&', u';', 0xE9, 0xC9, 0x0131, 0x65E5};

char16_t Unit(uint8_t b) { return b < 0x80 ? kAlphabet[b & 31] : static_cast<char16_t>(b); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint8_t options = data[0];
  const size_t requestLength = std::min<size_t>(data[1] & 31, size - 2);
  std::u16string request;
  for (size_t i = 0; i < requestLength; ++i) request += Unit(data[2 + i]);
  std::u16string text;
  for (size_t i = 2 + requestLength; i < size && text.size() < 400; ++i) text += Unit(data[i]);

  const qn::TIgnore_tag_type noTags{};
  qn::TSearch_word_format_rec word = qn::Parsed_SearchWord(noTags, request);
  if ((options & 4) != 0) word.flags.Include(qn::myCaseIsSensitive);
  qn::TRawTextPrefilter filter;
  filter.Add(word);

  static constexpr qn::platform::TTextEncoding kEncodings[4] = {
      qn::platform::kEncodingUTF8, qn::platform::kEncodingUTF16LE, qn::platform::kEncodingUTF16BE, 1252};
  const qn::platform::TTextEncoding encoding = kEncodings[options & 3];
  const std::vector<uint8_t> bytes =
      qn::platform::EncodeTextBytes(text, encoding, encoding != qn::platform::kEncodingUTF8 && encoding != 1252);
  // The text as the readers give it back (1252 may lack some characters).
  std::u16string decoded = qn::platform::DecodeTextBytesAs(bytes, encoding);
  decoded.resize(std::min(decoded.size(), decoded.find(u'\0')));

  int hits = 0;
  auto count = [&hits](qn::platform::TObject*, const qn::TSearchFound_Rec&) {
    ++hits;
    return true;
  };
  qn::TSearchAndDoEngine engine(true, true, 0x0409);
  engine.PrepareFirst(decoded.c_str(), static_cast<int32_t>(decoded.size() * 2), 0,
                      qn::TSearchFoundEvent::FromCallable(count), qn::TWordCountEvent());
  engine.SearchAndDo(&word);
  if (hits > 0) Check(filter.MayHoldAHit(bytes, encoding));
  return 0;
}
