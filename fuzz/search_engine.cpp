// Arbitrary bytes as a typed search request and a text, parsed and searched
// by the search-and-do engine the way a concordance tool does it: in a UTF-16
// buffer, or in an 8-bit one (code page 1252 or 932), with the engine's own
// detail array or with a tool's array that marks its tags.
//
// Layout: byte 0 the options (bit 0: 8-bit buffer, bit 1: code page 932,
// bit 2: tool-made details with tags, bit 3: skip punctuation, bits 4-5:
// n_to_find, bit 6: Global_LowestJumpTo of 3 bytes), byte 1 the request's
// length (0..31), then the request, then the text (at most 300 characters).
// A byte below 0x80 picks a character from a small alphabet rich in wildcard
// and decoration symbols; a byte from 0x80 on stands for itself (Latin-1).
//
// Checks: every hit lies inside the buffer with its full length, which is at
// least its exact length; the number of hits accepted never exceeds n_to_find;
// in UTF-16 buffers the engine's hits are those of the reference matcher
// walking the same details one character past each hit.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/CodePages.h"
#include "runtime1/search/Buffer_matcher_reference.h"
#include "runtime1/search/Search_engines.h"
#include "runtime1/search/Search_parsing.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

constexpr char16_t kAlphabet[32] = {u'a',  u'b',  u'c',  u'A',  u'1', u' ', u' ',  u'*',
                                    u'?',  u'#',  u'^',  u'"',  u'<', u'>', u'=',  u'~',
                                    u'.',  u',',  u'/',  u'\\', u'}', u'-', u'\'', u'x',
                                    u'\t', u'\r', u'\n', u'&',  u';', u'e', 0xE9,  0x65E5};

char16_t Unit(uint8_t b) { return b < 0x80 ? kAlphabet[b & 31] : static_cast<char16_t>(b); }

struct THits {
  std::vector<std::pair<int32_t, int32_t>> found;  // start, full length
  const void* buffer = nullptr;
  int32_t length = 0;
  size_t unit = 2;
  bool Found(qn::platform::TObject*, const qn::TSearchFound_Rec& rec) {
    const int32_t at = rec.hit_pos_in_characters;
    const int32_t exact = rec.exact_hit_len;
    const int32_t full = rec.hit_characters;
    const void* where = rec.where_hit_started;
    Check(at >= 0 && at < length && exact >= 0 && full >= exact && at + full <= length);
    Check(where == static_cast<const char*>(buffer) + static_cast<size_t>(at) * unit);
    Check(rec.hit_pos_in_wchar_kinds == at);
    found.emplace_back(at, full);
    return (found.size() & 1) != 0;  // every other hit rejected
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint8_t options = data[0];
  const size_t requestLength = std::min<size_t>(data[1] & 31, size - 2);
  std::u16string request;
  for (size_t i = 0; i < requestLength; ++i) request += Unit(data[2 + i]);
  std::u16string text;
  for (size_t i = 2 + requestLength; i < size && text.size() < 300; ++i) text += Unit(data[i]);

  const bool eightBit = (options & 1) != 0;
  const uint32_t lcid = (options & 2) != 0 ? 0x0411 : 0x0409;
  const bool toolDetails = (options & 4) != 0;
  qn::TIgnore_tag_type tags{};
  tags[qn::tag_on][0] = u'<';
  tags[qn::tag_off][0] = u'>';
  std::u16string typed = request;
  qn::TSearch_word_format_rec word = qn::Parsed_SearchWord(tags, typed);
  word.n_to_find = (options >> 4) & 3;
  const int32_t wanted = word.n_to_find < 1 ? INT32_MAX : word.n_to_find;
  qn::Global_LowestJumpTo = (options & 64) != 0 ? 3 : 0;

  const std::u16string marked = qn::CleanToTagOnOff(text);
  std::string bytes;
  if (eightBit) {
    bytes = qn::platform::Encoded(lcid == 0x0411 ? 932 : 1252, marked);
    if (bytes.find('\0') != std::string::npos) bytes.resize(bytes.find('\0'));
  }
  const std::u16string wide = marked.substr(0, marked.find(u'\0'));
  const void* buffer =
      eightBit ? static_cast<const void*>(bytes.c_str()) : static_cast<const void*>(wide.c_str());

  qn::TSearchAndDoEngine engine(!eightBit, true, lcid);
  THits hits;
  hits.buffer = buffer;
  hits.unit = eightBit ? 1 : 2;
  const auto event = qn::TSearchFoundEvent::Bind<&THits::Found>(&hits);
  std::vector<uint16_t> details;
  if (toolDetails) {
    // The tool's array: the engine's classes, tags marked from U+0019 to U+0018.
    engine.PrepareFirst(buffer, 1000, 0, event, {});
    const int32_t n = engine.BufferLength();
    details.assign(engine.BufferDetails(), engine.BufferDetails() + n + 2);
    bool inTag = false;
    for (int32_t i = 0; i < n; ++i) {
      const uint8_t c = eightBit ? static_cast<uint8_t>(bytes[static_cast<size_t>(i)])
                                 : static_cast<uint8_t>(wide[static_cast<size_t>(i)] < 0x100
                                                            ? wide[static_cast<size_t>(i)]
                                                            : 0xFF);
      if (c == 0x19) inTag = true;
      if (inTag) details[static_cast<size_t>(i)] |= qn::kDetailInMarkup;
      if (c == 0x18) inTag = false;
    }
    engine.PrepareForConcordancing(u"fuzz", buffer, details.data(), details.data() + n + 1, 1000, n,
                                   0, (options & 8) != 0, event, {});
  } else {
    engine.PrepareFirst(buffer, 1000, 0, event, {});
    engine.SetSkipPunctuation((options & 8) != 0);
  }
  hits.length = engine.BufferLength();
  const bool ran = engine.SearchAndDo(&word);
  if (!ran) Check(hits.found.empty());
  const int32_t accepted = static_cast<int32_t>((hits.found.size() + 1) / 2);
  Check(accepted <= wanted);

  // The same walk with the reference matcher over the engine's details.
  if (ran && !eightBit && hits.length > 0) {
    const int32_t n = hits.length;
    const uint16_t* d = engine.BufferDetails();
    qn::TSearchStatsRec stats{};
    bool heading = false;
    std::vector<std::pair<int32_t, int32_t>> expected;
    int32_t acceptedRef = 0;
    for (int32_t from = std::min(qn::Global_LowestJumpTo / 2, n); from < n;) {
      qn::TMatchRequest r;
      r.text = wide.data() + from;
      r.n = n - from;
      r.details = d + from;
      r.detailsStart = d;
      r.detailsEnd = d + n + 1;
      r.upper = word.copies[qn::upper_copy].data();
      r.lower = word.copies[qn::lower_copy].data();
      r.title = word.copies[qn::title_copy].data();
      r.L = static_cast<int32_t>(word.search_text.size());
      r.caseSensitive = word.flags.Contains(qn::myCaseIsSensitive);
      r.leftBounded = word.flags.Contains(qn::myLeftBounded);
      r.rightBounded = word.flags.Contains(qn::myRightBounded);
      r.skipPunctuation = engine.SkipPunctuation();
      int32_t full = 0, exact = 0;
      const int32_t at = qn::reference::ReferenceFindWanted(r, stats, heading, full, exact);
      if (at < 0) break;
      expected.emplace_back(from + at, full);
      if ((expected.size() & 1) != 0 && ++acceptedRef >= wanted) break;
      from += at + 1;
    }
    Check(expected == hits.found);
  }
  qn::Global_LowestJumpTo = 0;
  qn::Global_in_heading = false;
  return 0;
}
