// Arbitrary bytes as a search word, its flags and a text with markup and
// markers, searched the way the search-and-do engine walks a buffer (one
// character past each hit), by the buffer matcher and by the plain reference
// matcher beside its tests.
//
// Layout: byte 0 the flags (left, right, skip punctuation, case, 8-bit buffer,
// markers of code 15/17/19 exist), byte 1 the word's length (1..8) and whether
// the details start is given, then the word's units, then one byte per text
// character: the low 5 bits pick the character, the top bits add the markup
// bit or turn the detail into a marker. Texts are capped at 200 characters.
//
// Checks: both matchers agree on every hit, both lengths, every count, the
// heading state and every section-end call; a hit lies inside the text and
// its full length is at least its exact length.
#include "runtime1/search/Buffer_matcher.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/CaseMapping.h"
#include "platform/CharTypes.h"
#include "runtime1/search/Buffer_matcher_reference.h"
#include "runtime1/text/Bare_assemb3.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

constexpr char16_t kTextUnits[32] = {u'a', u'b',  u'c',  u'A',  u'B',  u'1', u'2', u' ',
                                     u' ', u'\t', u'.',  u',',  u'-',  u'<', u'>', 0x19,
                                     0x18, 0xE9,  0xC9,  u'\r', u'\n', u'x', u'y', u'\'',
                                     0x1D, 0x3B1, 0x391, u'0',  u'9',  u'!', 0x00, u' '};
constexpr char16_t kWordUnits[24] = {u'a', u'b', u'c',  u'A',  u'1', u' ', u'.', 0x18,
                                     0x19, 0x1A, 0x1B,  0x1C,  0x1D, 0x1E, 0xE9, u'-',
                                     u'x', u',', 0x3B1, u'\'', 0x1F, u'9', u'y', u'!'};

std::vector<std::array<int32_t, 3>> gEnds;
void Sentence(int32_t a, int32_t b) { gEnds.push_back({0, a, b}); }
void Paragraph(int32_t a, int32_t b) { gEnds.push_back({1, a, b}); }
void Heading(int32_t a, int32_t b) { gEnds.push_back({2, a, b}); }
void Section(int32_t a, int32_t b) { gEnds.push_back({3, a, b}); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const uint8_t flags = data[0];
  const size_t L = 1 + (data[1] & 7);
  const bool giveStart = (data[1] & 8) == 0;
  if (size < 2 + L + 1) return 0;
  const bool unicode = (flags & 16) == 0;
  const bool caseSensitive = (flags & 8) != 0;
  // In an 8-bit buffer every unit is a byte value.
  auto narrow = [&](char16_t c) { return unicode || c <= 0xFF ? c : char16_t{0xE0}; };

  std::u16string word;
  for (size_t i = 0; i < L; ++i) word += narrow(kWordUnits[data[2 + i] % 24]);
  std::u16string lo = word, up = word, ti = word;
  if (!caseSensitive) {
    lo = qn::platform::LowerCased(word);
    up = qn::platform::UpperCased(word);
    for (char16_t& c : lo) c = narrow(c);
    for (char16_t& c : up) c = narrow(c);
    ti = lo;
    ti[0] = up[0];
  }
  // Exactly L units each, so that a read past a copy is caught.
  const std::vector<char16_t> loCopy(lo.begin(), lo.end()), upCopy(up.begin(), up.end()),
      tiCopy(ti.begin(), ti.end());

  const size_t n = std::min<size_t>(size - 2 - L, 200);
  const uint8_t* textBytes = data + 2 + L;
  std::u16string wide;
  std::string bytes;
  for (size_t i = 0; i < n; ++i) {
    const char16_t c = narrow(kTextUnits[textBytes[i] & 31]);
    wide += c;
    bytes += static_cast<char>(c);
  }
  // Exactly n detail words, no spare ones.
  std::vector<uint16_t> details(n);
  if (unicode) {
    qn::platform::CharTypes1(wide.data(), n, details.data());
  } else {
    qn::platform::CharTypes1OfBytes(1252, bytes.data(), n, details.data());
  }
  for (size_t i = 0; i < n; ++i) {
    const uint8_t top = textBytes[i] >> 5;
    if (top == 1 || top == 2) details[i] |= qn::kDetailInMarkup;
    if (top == 3)
      details[i] = qn::MarkerWord(static_cast<uint16_t>(13 + (textBytes[i] & 7) + (i & 3)));
    if (top == 4 && i % 3 == 0) details[i] = qn::platform::C1_DEFINED;
  }

  qn::HandleSentenceEndProc = Sentence;
  qn::HandleParagraphEndProc = Paragraph;
  qn::HandleHeadingEndProc = Heading;
  qn::HandleSectionEndProc = flags & 128 ? nullptr : Section;
  gEnds.clear();

  qn::TSearchStatsRec stats{}, refStats{};
  bool heading = false, refHeading = false;
  qn::TMatcherMemo memo;
  const int32_t count = static_cast<int32_t>(n);
  for (int32_t from = 0; from < count;) {
    qn::TMatchRequest r;
    r.text = unicode ? static_cast<const void*>(wide.data() + from)
                     : static_cast<const void*>(bytes.data() + from);
    r.n = count - from;
    r.details = details.data() + from;
    r.detailsStart = giveStart ? details.data() : nullptr;
    r.detailsEnd = details.data() + n + 1;
    r.lower = loCopy.data();
    r.upper = upCopy.data();
    r.title = tiCopy.data();
    r.L = static_cast<int32_t>(L);
    r.caseSensitive = caseSensitive;
    r.leftBounded = flags & 1;
    r.rightBounded = flags & 2;
    r.skipPunctuation = flags & 4;
    r.bufferIsUnicode = unicode;
    r.has15 = flags & 32;
    r.has17 = flags & 64;
    r.has19 = flags & 128;
    r.has21 = flags & 96;

    const size_t before = gEnds.size();
    int32_t refFull = -1, refExact = -1;
    const int32_t ref =
        qn::reference::ReferenceFindWanted(r, refStats, refHeading, refFull, refExact);
    const std::vector<std::array<int32_t, 3>> refEnds(gEnds.begin() + static_cast<long>(before),
                                                      gEnds.end());
    gEnds.resize(before);
    int32_t full = -1, exact = -1;
    const int32_t at = qn::FindWantedInBuffer(r, stats, heading, full, exact, &memo);
    const std::vector<std::array<int32_t, 3>> ends(gEnds.begin() + static_cast<long>(before),
                                                   gEnds.end());
    Check(at == ref);
    Check(std::memcmp(&stats, &refStats, sizeof stats) == 0);
    Check(heading == refHeading);
    Check(ends == refEnds);
    if (at < 0) break;
    Check(at < r.n && full == refFull && exact == refExact);
    Check(exact >= 0 && full >= exact && at + full <= r.n);
    from += at + 1;
  }
  qn::ResetTextSectionHandlers();
  return 0;
}
