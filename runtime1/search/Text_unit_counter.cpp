#include "runtime1/search/Text_unit_counter.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define QN_COUNTER_AVX2 1
#endif

#include "platform/Bits.h"
#include "platform/CharTypes.h"
#include "platform/CodePages.h"
#include "platform/TextDetection.h"
#include "runtime1/text/Bare_assemb3.h"
#include "runtime1/text/My_string_functions_sentences.h"
#include "runtime1/text/My_string_functions_words.h"

namespace qn {

namespace {

constexpr uint16_t kWordClasses = platform::C1_ALPHA | platform::C1_DIGIT;

// The bytes of a UTF-8 sequence that starts with b, as the decoder takes it
// at most: an ill-formed sequence never reaches further, and a byte that is
// not a continuation byte always ends the sequence before it.
inline size_t SequenceLength(uint8_t b) noexcept {
  if (b >= 0xC2 && b <= 0xDF) return 2;
  if (b >= 0xE0 && b <= 0xEF) return 3;
  if (b >= 0xF0 && b <= 0xF4) return 4;
  return 1;
}

// Whether one of the n bytes at p is 0x80 or above.
inline bool AnyBeyondAscii(const uint8_t* p, size_t n) noexcept {
  uint8_t any = 0;
  for (size_t k = 0; k < n; ++k) any |= p[k];
  return (any & 0x80) != 0;
}

// The largest cut at or before `cut` (and after `from`) that no sequence
// crosses, so that the bytes on each side decode on their own as they do
// together; `from` when none is.
size_t Utf8Cut(const uint8_t* p, size_t from, size_t cut) noexcept {
  for (size_t back = 1; back <= 4 && cut >= from + back; ++back) {
    const size_t at = cut - back;
    if ((p[at] & 0xC0) != 0x80) return at + SequenceLength(p[at]) > cut ? at : cut;
  }
  return cut;  // only continuation bytes: each stands alone, or ends a sequence that ends here
}

// Whether a unit is a letter or digit as IsLetterOrDigitUnit says, without
// the call for ASCII, where that is [0-9A-Za-z] (the sentence walk asks it
// for the unit after every one it decides).
inline bool LetterOrDigit(char16_t c) noexcept {
  if (c < 0x80) return (c >= u'0' && c <= u'9') || ((c | 0x20) >= u'a' && (c | 0x20) <= u'z');
  return IsLetterOrDigitUnit(c);
}

}  // namespace

// ---------------------------------------------------------------------------
// TSentenceParagraphCounter

void TSentenceParagraphCounter::Step(char16_t c, uint16_t d, bool nextIsLetterOrDigit, bool atTextEnd) noexcept {
  // The sentence-end test as EndOfSentence makes it: from the first letter or
  // digit after the last end on, a terminator not followed by a letter or
  // digit, or the text's last unit.
  if (!fSeenLetter && LetterOrDigit(c)) fSeenLetter = true;
  if (fSeenLetter && (atTextEnd || (!nextIsLetterOrDigit && IsPotentialSentenceTerminator(c)))) {
    ++fSentences;
    fSentenceOpen = false;
    fParagraphOpen = true;
    fSeenLetter = false;
  } else if (IsLineBreak(c)) {
    if (fParagraphOpen) {
      ++fParagraphs;
      if (fSentenceOpen) ++fSentences;
    }
    fParagraphOpen = fSentenceOpen = false;
  } else if ((d & kWordClasses) != 0) {
    fParagraphOpen = fSentenceOpen = true;
  } else if (c > 0x20) {
    fParagraphOpen = true;
  }
}

namespace {

// The first unit in [i, end) that may end a sentence or is a line break
// (".", "!", "?", LF, CR, or from U+0589 on, where the other scripts'
// terminators and U+2029 lie), or end. Looked for eight units at a time; the
// last units, fewer than eight, in the block that ends at `end` when the
// units from t on are that many (the lanes before i left out), so that the
// short stretches between a concordance's hits are not gone through one unit
// at a time.
size_t NextEvent(const char16_t* t, size_t i, size_t end) noexcept {
#if defined(__SSE2__)
  const __m128i dot = _mm_set1_epi16(u'.'), bang = _mm_set1_epi16(u'!'), query = _mm_set1_epi16(u'?');
  const __m128i lf = _mm_set1_epi16(u'\n'), cr = _mm_set1_epi16(u'\r');
  const __m128i belowOthers = _mm_set1_epi16(0x0588), zero = _mm_setzero_si128();
  // Two bits per unit of the eight at `at` that are events.
  const auto events = [&](size_t at) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + at));
    const __m128i basic = _mm_or_si128(
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(x, dot), _mm_cmpeq_epi16(x, bang)), _mm_cmpeq_epi16(x, query)),
        _mm_or_si128(_mm_cmpeq_epi16(x, lf), _mm_cmpeq_epi16(x, cr)));
    // Lanes up to U+0588: their saturated difference from U+0588 is zero.
    const __m128i low = _mm_cmpeq_epi16(_mm_subs_epu16(x, belowOthers), zero);
    return static_cast<unsigned>(_mm_movemask_epi8(basic)) | (static_cast<unsigned>(_mm_movemask_epi8(low)) ^ 0xFFFFu);
  };
  while (end - i >= 8) {
    const unsigned mask = events(i);
    if (mask != 0) return i + (static_cast<unsigned>(__builtin_ctz(mask)) >> 1);
    i += 8;
  }
  if (i < end && end >= 8) {
    const size_t at = end - 8;
    const unsigned mask = events(at) & (~0u << (2 * (i - at)));
    return mask != 0 ? at + (static_cast<unsigned>(__builtin_ctz(mask)) >> 1) : end;
  }
#endif
  for (; i < end; ++i) {
    const char16_t c = t[i];
    if (c == u'.' || c == u'!' || c == u'?' || c == u'\n' || c == u'\r' || c >= 0x0589) break;
  }
  return i;
}

}  // namespace

void TSentenceParagraphCounter::Take(const char16_t* units, const uint16_t* details, size_t count) noexcept {
  if (count == 0) return;
  if (fHeld) Step(fHeldUnit, fHeldDetail, LetterOrDigit(units[0]), false);
  // Each unit but the last is decided by the one after it; while a sentence
  // is open, only the units that may end it or are line breaks are looked at.
  size_t k = 0;
  while (k + 1 < count) {
    if (Open()) {
      k = NextEvent(units, k, count - 1);
      if (k + 1 >= count) break;
    }
    Step(units[k], details[k], LetterOrDigit(units[k + 1]), false);
    ++k;
  }
  fTaken += static_cast<int64_t>(count) - 1;
  Hold(units[count - 1], details[count - 1]);
}

int64_t TSentenceParagraphCounter::SentencesBefore(char16_t next, bool atTextEnd) const noexcept {
  int64_t sentences = 0, paragraphs = 0;
  EndsBefore(next, atTextEnd, sentences, paragraphs);
  return sentences;
}

int64_t TSentenceParagraphCounter::ParagraphsBefore(char16_t next, bool atTextEnd) const noexcept {
  int64_t sentences = 0, paragraphs = 0;
  EndsBefore(next, atTextEnd, sentences, paragraphs);
  return paragraphs;
}

void TSentenceParagraphCounter::EndsBefore(char16_t next, bool atTextEnd, int64_t& sentences,
                                           int64_t& paragraphs) const noexcept {
  if (!fHeld) {
    sentences = fSentences;
    paragraphs = fParagraphs;
    return;
  }
  TSentenceParagraphCounter copy = *this;
  copy.Step(fHeldUnit, fHeldDetail, LetterOrDigit(next), atTextEnd);
  sentences = copy.fSentences;
  paragraphs = copy.fParagraphs;
}

void TSentenceParagraphCounter::TakeTextEnd() noexcept {
  if (!fHeld) return;
  Step(fHeldUnit, fHeldDetail, false, true);
  fHeld = false;
}

// ---------------------------------------------------------------------------
// TTextUnitCounter

bool TTextUnitCounter::Handles(platform::TTextEncoding encoding) noexcept {
  if (encoding == platform::kEncodingUTF8 || encoding == platform::kEncodingUTF16LE ||
      encoding == platform::kEncodingUTF16BE)
    return true;
  const uint32_t cp = platform::ResolvedCodePage(encoding);
  return cp == platform::kEncodingUTF8 || (platform::IsSingleByteCodePage(cp) && platform::DecodeTableOfCodePage(cp));
}

TTextUnitCounter::TTextUnitCounter(platform::TTextEncoding encoding, int widestLevel)
    : fEncoding(encoding), fLevel(std::clamp(widestLevel, 0, ProcessorLevel())), fClasses(platform::CharType1Table()) {
  fHandled = Handles(encoding);
  fWide = encoding == platform::kEncodingUTF16LE || encoding == platform::kEncodingUTF16BE;
  fBigEndian = encoding == platform::kEncodingUTF16BE;
  if (fHandled && !fWide) {
    const uint32_t cp = encoding == platform::kEncodingUTF8 ? encoding : platform::ResolvedCodePage(encoding);
    fUtf8 = cp == platform::kEncodingUTF8;
    if (!fUtf8) fDecode = platform::DecodeTableOfCodePage(cp);
  }
  // Only UTF-8 and UTF-16 texts have a signature to skip.
  fStarted = !(encoding == platform::kEncodingUTF8 || fWide);
  // Blocks of ASCII are counted from masks when the classes of the units
  // below 0x80 are the ones the masks stand for (white space, letters and
  // digits), and only ".", "!" and "?" among them may end a sentence.
  bool ascii = true;
  for (char16_t c = 1; c < 0x80 && ascii; ++c) {
    const bool white = (fClasses[c] & kDetailWhiteSpace) != 0;
    const bool terminator = IsPotentialSentenceTerminator(c);
    const bool letterOrDigit = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
    ascii = white == (c <= 0x20 || c == 0x7F) && terminator == (c == u'.' || c == u'!' || c == u'?') &&
            IsLetterOrDigitUnit(c) == letterOrDigit && ((fClasses[c] & kWordClasses) != 0) == letterOrDigit;
  }
  fAsciiSame = ascii && (fWide || fUtf8);
  if (ascii && fDecode != nullptr) {
    fAsciiSame = true;
    for (char16_t c = 0; c < 0x80; ++c) fAsciiSame = fAsciiSame && fDecode[c] == c;
  }
}

void TTextUnitCounter::Add(std::span<const uint8_t> bytes) {
  if (!fHandled || fEnded || fFinished || bytes.empty()) return;
  if (!fStarted || !fCarry.empty()) {
    fJoined.assign(fCarry.begin(), fCarry.end());
    fJoined.insert(fJoined.end(), bytes.begin(), bytes.end());
    fCarry.clear();
    size_t from = 0;
    if (!fStarted) {
      // The signature may come in pieces: wait for enough bytes to tell.
      const size_t need = platform::SignatureLength(fEncoding);
      const size_t have = std::min(need, fJoined.size());
      uint8_t mark[4] = {};
      if (fEncoding == platform::kEncodingUTF8) {
        mark[0] = 0xEF, mark[1] = 0xBB, mark[2] = 0xBF;
      } else {
        mark[0] = fBigEndian ? 0xFE : 0xFF;
        mark[1] = fBigEndian ? 0xFF : 0xFE;
      }
      const bool prefix = std::memcmp(fJoined.data(), mark, have) == 0;
      if (prefix && have < need) {
        fCarry.swap(fJoined);
        return;
      }
      fStarted = true;
      if (prefix) from = need;
    }
    // fJoined may be reused by the processing below only through fCarry.
    std::vector<uint8_t> joined;
    joined.swap(fJoined);
    Process(joined.data() + from, joined.size() - from);
    joined.swap(fJoined);
    return;
  }
  Process(bytes.data(), bytes.size());
}

void TTextUnitCounter::Finish() {
  if (fFinished) return;
  if (fHandled && !fEnded && !fCarry.empty()) {
    // An unfinished character or signature at the end: as the decoder takes it.
    fDecoded.clear();
    if (fWide) {
      // An odd last byte is dropped, whole units are units.
      const size_t units = fCarry.size() / 2;
      for (size_t k = 0; k < units; ++k) {
        const uint8_t a = fCarry[2 * k], b = fCarry[2 * k + 1];
        fDecoded.push_back(static_cast<char16_t>(fBigEndian ? (a << 8) | b : (b << 8) | a));
      }
    } else {
      platform::AppendDecoded(platform::kEncodingUTF8, reinterpret_cast<const char*>(fCarry.data()), fCarry.size(),
                              fDecoded);
    }
    Units(fDecoded.data(), fDecoded.size());
  }
  fCarry.clear();
  fFinished = true;
}

void TTextUnitCounter::Units(const char16_t* u, size_t n) {
  for (size_t k = 0; k < n; ++k) {
    const char16_t c = u[k];
    if (c == 0) {
      fEnded = true;
      return;
    }
    const uint16_t d = fClasses[c];
    const bool white = (d & kDetailWhiteSpace) != 0;
    fWordStarts += fLastWhite && !white;
    fLastWhite = white;
    if (fEnds.fHeld) fEnds.Step(fEnds.fHeldUnit, fEnds.fHeldDetail, IsLetterOrDigitUnit(c), false);
    fEnds.Hold(c, d);
  }
}

// ---------------------------------------------------------------------------
// Blocks of 64 ASCII units

#if defined(QN_COUNTER_AVX2)
namespace {

// The classes of the bytes below 0x80 as the masks of ASCII blocks take
// them, a bit each, for the table forms of the masks.
enum : uint8_t { kClassWhite = 1, kClassLow = 2, kClassWord = 4, kClassTerm = 8, kClassBreak = 16 };
struct TClassTable {
  alignas(64) uint8_t classes[128];
};
constexpr TClassTable MakeClassTable() noexcept {
  TClassTable t{};
  for (unsigned c = 0; c < 128; ++c) {
    uint8_t k = 0;
    if (c <= 0x20 || c == 0x7F) k |= kClassWhite;
    if (c <= 0x20) k |= kClassLow;
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) k |= kClassWord;
    if (c == '.' || c == '!' || c == '?') k |= kClassTerm;
    if (c == '\n' || c == '\r') k |= kClassBreak;
    t.classes[c] = k;
  }
  return t;
}
constexpr TClassTable kClassTable = MakeClassTable();

}  // namespace
#endif

// The classes of a block's 64 units, bit k for unit k.
struct TAsciiMasks {
  uint64_t low;     // at most U+0020: white space, line breaks among it
  uint64_t del;     // DEL: white space that still opens a paragraph
  uint64_t words;   // letters and digits
  uint64_t terms;   // ".", "!", "?"
  uint64_t breaks;  // LF, CR
};

// Makes the masks of 64 units and counts them; a block holding a zero unit
// or one of U+0080 or above is left to the unit-by-unit path.
struct TAsciiBlocks {
  // The counts while a run of blocks is counted, kept in registers (the
  // counter's own fields might be the bytes counted, for all the compiler
  // knows).
  struct TRun {
    int64_t wordStarts, sentences, paragraphs, taken;
    uint64_t lastWhite;                           // 0 or 1
    uint8_t seen, paragraphOpen, sentenceOpen;  // the carries of the walk, 0 or 1
    // The unit held from the block before, as bit 0 of the masks.
    uint64_t heldWord, heldTerm, heldBreak, heldOpen;
  };

  // Starts a run at its first block: a unit held from before that is beyond
  // ASCII is stepped on its own, decided by the block's first unit.
  [[gnu::always_inline]] static inline TRun Begin(TTextUnitCounter& c, const TAsciiMasks& first) noexcept {
    TSentenceParagraphCounter& e = c.fEnds;
    TRun r{};
    if (e.fHeld) {
      const char16_t h = e.fHeldUnit;
      if (h < 0x80) {
        // Classed as the masks class it (the same classes: see fAsciiSame).
        r.heldWord = (h >= u'a' && h <= u'z') || (h >= u'A' && h <= u'Z') || (h >= u'0' && h <= u'9');
        r.heldTerm = h == u'.' || h == u'!' || h == u'?';
        r.heldBreak = h == u'\n' || h == u'\r';
        r.heldOpen = h > 0x20;
      } else {
        e.Step(h, e.fHeldDetail, (first.words & 1) != 0, false);
      }
    }
    r.wordStarts = c.fWordStarts;
    r.lastWhite = c.fLastWhite;
    r.sentences = e.fSentences;
    r.paragraphs = e.fParagraphs;
    r.taken = e.fTaken;
    r.seen = e.fSeenLetter;
    r.paragraphOpen = e.fParagraphOpen;
    r.sentenceOpen = e.fSentenceOpen;
    return r;
  }
  // Ends a run whose last unit (held for the next to decide) is last.
  static void End(TTextUnitCounter& c, const TRun& r, uint8_t last) noexcept {
    TSentenceParagraphCounter& e = c.fEnds;
    c.fWordStarts = r.wordStarts;
    c.fLastWhite = r.lastWhite != 0;
    e.fSentences = r.sentences;
    e.fParagraphs = r.paragraphs;
    e.fSeenLetter = r.seen != 0;
    e.fParagraphOpen = r.paragraphOpen != 0;
    e.fSentenceOpen = r.sentenceOpen != 0;
    e.fHeld = true;
    e.fHeldUnit = last;
    e.fHeldDetail = c.fClasses[last];
    e.fTaken = r.taken;
  }

  // a + b + carry (0 or 1); carry becomes the carry out.
  [[gnu::always_inline]] static inline uint64_t AddWithCarry(uint64_t a, uint64_t b, uint8_t& carry) noexcept {
#if defined(QN_COUNTER_AVX2)
    unsigned long long sum;
    carry = _addcarry_u64(carry, a, b, &sum);
    return sum;
#else
    const unsigned __int128 sum = static_cast<unsigned __int128>(a) + b + carry;
    carry = static_cast<uint8_t>(sum >> 64);
    return static_cast<uint64_t>(sum);
#endif
  }

  // Counts a block whose masks are m.
  //
  // Word starts are where white space gives way to something else. The
  // sentence and paragraph walk goes over the units before the last (the
  // unit held from the block before, decided now, then units 0 to 62; the
  // last is held for the next unit to decide) by carries: each of its flags
  // is set by some units, cleared by others, and carried through the rest,
  // and where a run of units that carry it holds one that sets it, adding
  // the setting units to the carrying ones sends a carry into the clearing
  // unit after the run. So the sum's bit at a clearing unit is the flag just
  // before it, and the carry out of the sum is the flag after the block.
  //   - "a letter or digit since the last sentence end": set by letters and
  //     digits, cleared by a terminator not followed by one; a terminator
  //     ends a sentence when the flag is set before it (one that ends none
  //     found it clear and leaves it so; line breaks do not touch it);
  //   - "paragraph open": set by any unit above U+0020, cleared by a line
  //     break, which ends a paragraph when it is set;
  //   - "sentence open": set by letters and digits, cleared by a sentence
  //     end and by a line break, which also ends a sentence when it is set.
  template <bool kPopcount>
  [[gnu::always_inline]] static inline void Count(TRun& r, const TAsciiMasks& m) noexcept {
    const auto bits = [](uint64_t x) -> int64_t {
      if constexpr (kPopcount) {
        return __builtin_popcountll(x);
      } else {
        return static_cast<int64_t>(platform::BitsSet(x));
      }
    };
    const uint64_t white = m.low | m.del;
    r.wordStarts += bits(~white & ((white << 1) | r.lastWhite));
    r.lastWhite = white >> 63;
    // Bit k is unit k - 1 from here on; the next unit of bit k is m's bit k.
    const uint64_t words = (m.words << 1) | r.heldWord, terms = (m.terms << 1) | r.heldTerm;
    const uint64_t breaks = (m.breaks << 1) | r.heldBreak, opens = (~m.low << 1) | r.heldOpen;
    r.heldWord = m.words >> 63;
    r.heldTerm = m.terms >> 63;
    r.heldBreak = m.breaks >> 63;
    r.heldOpen = ~m.low >> 63;
    const uint64_t ends = terms & ~m.words;  // terminators not followed by a letter or digit
    const uint64_t sentenceEnds = AddWithCarry(words, ~ends, r.seen) & ends;
    const uint64_t paragraphEnds = AddWithCarry(opens, ~breaks, r.paragraphOpen) & breaks;
    const uint64_t sentence = AddWithCarry(words, ~(sentenceEnds | breaks), r.sentenceOpen);
    // A unit is a terminator or a line break, never both: one count.
    r.sentences += bits(sentenceEnds | (sentence & paragraphEnds));
    r.paragraphs += bits(paragraphEnds);
    r.taken += 64;
  }

  // The masks of 64 bytes with the plain instructions; false when one is
  // zero or 0x80 or above.
  static bool MasksPlain(const uint8_t* b, TAsciiMasks& m) noexcept {
    m = {};
    for (size_t k = 0; k < 64; ++k) {
      if (b[k] == 0 || b[k] >= 0x80) return false;
    }
    for (size_t k = 0; k < 64; ++k) {
      const uint8_t c = b[k];
      const uint64_t bit = uint64_t{1} << k;
      if (c <= 0x20) m.low |= bit;
      if (c == 0x7F) m.del |= bit;
      if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) m.words |= bit;
      if (c == '.' || c == '!' || c == '?') m.terms |= bit;
      if (c == '\n' || c == '\r') m.breaks |= bit;
    }
    return true;
  }

  // 64 units of UTF-16 (128 bytes) in the plain way: packed to bytes first.
  static bool WideMasksPlain(const uint8_t* p, bool bigEndian, TAsciiMasks& m) noexcept {
    uint8_t packed[64];
    const size_t high = bigEndian ? 0 : 1;
    for (size_t k = 0; k < 64; ++k) {
      if (p[2 * k + high] != 0) return false;
      packed[k] = p[2 * k + 1 - high];
    }
    return MasksPlain(packed, m);
  }
  static size_t RunPlain(TTextUnitCounter& c, const uint8_t* p, size_t n) noexcept {
    TAsciiMasks m;
    if (n < 64 || !MasksPlain(p, m)) return 0;
    TRun r = Begin(c, m);
    size_t i = 0;
    do {
      Count<false>(r, m);
      i += 64;
    } while (n - i >= 64 && MasksPlain(p + i, m));
    End(c, r, p[i - 1]);
    return i;
  }
  static size_t WideRunPlain(TTextUnitCounter& c, const uint8_t* p, size_t n) noexcept {
    TAsciiMasks m;
    if (n < 128 || !WideMasksPlain(p, c.fBigEndian, m)) return 0;
    TRun r = Begin(c, m);
    size_t i = 0;
    do {
      Count<false>(r, m);
      i += 128;
    } while (n - i >= 128 && WideMasksPlain(p + i, c.fBigEndian, m));
    End(c, r, p[i - 2 + (c.fBigEndian ? 1 : 0)]);
    return i;
  }

#if defined(__SSE2__)
  // Bits of the bytes of 16 set in x (0xFF each).
  static inline uint64_t Bits16(__m128i x) noexcept {
    return static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(x)));
  }
  // The masks of 16 bytes below 0x80 (comparisons signed, which they then
  // may be), at bit `shift` on.
  static inline void Masks16(__m128i x, unsigned shift, TAsciiMasks& m) noexcept {
    const __m128i lower = _mm_or_si128(x, _mm_set1_epi8(0x20));
    // A byte minus the first of a range, plus 0x80: the range's bytes are the
    // smallest signed values.
    const __m128i letter = _mm_cmpgt_epi8(_mm_set1_epi8(-128 + 26), _mm_add_epi8(lower, _mm_set1_epi8(0x80 - 'a')));
    const __m128i digit = _mm_cmpgt_epi8(_mm_set1_epi8(-128 + 10), _mm_add_epi8(x, _mm_set1_epi8(0x80 - '0')));
    m.low |= Bits16(_mm_cmpgt_epi8(_mm_set1_epi8(0x21), x)) << shift;
    m.del |= Bits16(_mm_cmpeq_epi8(x, _mm_set1_epi8(0x7F))) << shift;
    m.words |= Bits16(_mm_or_si128(letter, digit)) << shift;
    m.terms |= Bits16(_mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8('.')), _mm_cmpeq_epi8(x, _mm_set1_epi8('!'))),
                                   _mm_cmpeq_epi8(x, _mm_set1_epi8('?'))))
               << shift;
    m.breaks |= Bits16(_mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8('\n')), _mm_cmpeq_epi8(x, _mm_set1_epi8('\r'))))
                << shift;
  }
  // The masks of 64 bytes in four vectors; false when one is zero or 0x80
  // or above.
  static inline bool Masks64(__m128i x0, __m128i x1, __m128i x2, __m128i x3, TAsciiMasks& m) noexcept {
    const __m128i any = _mm_or_si128(_mm_or_si128(x0, x1), _mm_or_si128(x2, x3));
    const __m128i least = _mm_min_epu8(_mm_min_epu8(x0, x1), _mm_min_epu8(x2, x3));
    if ((_mm_movemask_epi8(any) | _mm_movemask_epi8(_mm_cmpeq_epi8(least, _mm_setzero_si128()))) != 0) return false;
    m = {};
    Masks16(x0, 0, m);
    Masks16(x1, 16, m);
    Masks16(x2, 32, m);
    Masks16(x3, 48, m);
    return true;
  }
  static inline bool MasksSse2(const uint8_t* p, TAsciiMasks& m) noexcept {
    const auto at = [p](size_t k) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k)); };
    return Masks64(at(0), at(1), at(2), at(3), m);
  }
  // UTF-16: 64 units whose high bytes are all zero and whose low bytes are
  // below 0x80 packed to bytes.
  static inline bool WideMasksSse2(const uint8_t* p, bool bigEndian, TAsciiMasks& m) noexcept {
    const __m128i mustBeClear = _mm_set1_epi16(static_cast<int16_t>(bigEndian ? 0x80FF : 0xFF80));
    __m128i u[8];
    __m128i any = _mm_setzero_si128();
    for (size_t k = 0; k < 8; ++k) {
      u[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
      any = _mm_or_si128(any, _mm_and_si128(u[k], mustBeClear));
    }
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(any, _mm_setzero_si128())) != 0xFFFF) return false;
    if (bigEndian) {
      for (__m128i& x : u) x = _mm_srli_epi16(x, 8);
    }
    return Masks64(_mm_packus_epi16(u[0], u[1]), _mm_packus_epi16(u[2], u[3]), _mm_packus_epi16(u[4], u[5]),
                   _mm_packus_epi16(u[6], u[7]), m);
  }
  static size_t RunSse2(TTextUnitCounter& c, const uint8_t* p, size_t n) noexcept {
    TAsciiMasks m;
    if (n < 64 || !MasksSse2(p, m)) return 0;
    TRun r = Begin(c, m);
    size_t i = 0;
    do {
      Count<false>(r, m);
      i += 64;
    } while (n - i >= 64 && MasksSse2(p + i, m));
    End(c, r, p[i - 1]);
    return i;
  }
  static size_t WideRunSse2(TTextUnitCounter& c, const uint8_t* p, size_t n) noexcept {
    TAsciiMasks m;
    if (n < 128 || !WideMasksSse2(p, c.fBigEndian, m)) return 0;
    TRun r = Begin(c, m);
    size_t i = 0;
    do {
      Count<false>(r, m);
      i += 128;
    } while (n - i >= 128 && WideMasksSse2(p + i, c.fBigEndian, m));
    End(c, r, p[i - 2 + (c.fBigEndian ? 1 : 0)]);
    return i;
  }
#endif

#if defined(QN_COUNTER_AVX2)
  [[gnu::always_inline]] __attribute__((target("avx2,popcnt"))) static inline uint64_t Bits32(__m256i x) noexcept {
    return static_cast<uint64_t>(static_cast<uint32_t>(_mm256_movemask_epi8(x)));
  }
  [[gnu::always_inline]] __attribute__((target("avx2,popcnt"))) static inline void Masks32(__m256i x, unsigned shift,
                                                                                          TAsciiMasks& m) noexcept {
    const __m256i lower = _mm256_or_si256(x, _mm256_set1_epi8(0x20));
    const __m256i letter =
        _mm256_cmpgt_epi8(_mm256_set1_epi8(-128 + 26), _mm256_add_epi8(lower, _mm256_set1_epi8(0x80 - 'a')));
    const __m256i digit = _mm256_cmpgt_epi8(_mm256_set1_epi8(-128 + 10), _mm256_add_epi8(x, _mm256_set1_epi8(0x80 - '0')));
    m.low |= Bits32(_mm256_cmpgt_epi8(_mm256_set1_epi8(0x21), x)) << shift;
    m.del |= Bits32(_mm256_cmpeq_epi8(x, _mm256_set1_epi8(0x7F))) << shift;
    m.words |= Bits32(_mm256_or_si256(letter, digit)) << shift;
    m.terms |= Bits32(_mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(x, _mm256_set1_epi8('.')),
                                                      _mm256_cmpeq_epi8(x, _mm256_set1_epi8('!'))),
                                      _mm256_cmpeq_epi8(x, _mm256_set1_epi8('?'))))
               << shift;
    m.breaks |= Bits32(_mm256_or_si256(_mm256_cmpeq_epi8(x, _mm256_set1_epi8('\n')),
                                       _mm256_cmpeq_epi8(x, _mm256_set1_epi8('\r'))))
                << shift;
  }
  [[gnu::always_inline]] __attribute__((target("avx2,popcnt"))) static inline bool Masks64(__m256i x0, __m256i x1,
                                                                                          TAsciiMasks& m) noexcept {
    const __m256i least = _mm256_min_epu8(x0, x1);
    if ((_mm256_movemask_epi8(_mm256_or_si256(x0, x1)) |
         _mm256_movemask_epi8(_mm256_cmpeq_epi8(least, _mm256_setzero_si256()))) != 0)
      return false;
    m = {};
    Masks32(x0, 0, m);
    Masks32(x1, 32, m);
    return true;
  }
  [[gnu::always_inline]] __attribute__((target("avx2,popcnt"))) static inline bool MasksAvx2(const uint8_t* p,
                                                                                            TAsciiMasks& m) noexcept {
    return Masks64(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)),
                   _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32)), m);
  }
  [[gnu::always_inline]] __attribute__((target("avx2,popcnt"))) static inline bool WideMasksAvx2(
      const uint8_t* p, bool bigEndian, TAsciiMasks& m) noexcept {
    const __m256i mustBeClear = _mm256_set1_epi16(static_cast<int16_t>(bigEndian ? 0x80FF : 0xFF80));
    __m256i u[4];
    for (size_t k = 0; k < 4; ++k) u[k] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32 * k));
    const __m256i any = _mm256_or_si256(_mm256_or_si256(u[0], u[1]), _mm256_or_si256(u[2], u[3]));
    if (!_mm256_testz_si256(any, mustBeClear)) return false;
    if (bigEndian) {
      for (__m256i& x : u) x = _mm256_srli_epi16(x, 8);
    }
    // Packing works within each half of the vectors: the quarters are put
    // back in order after it.
    return Masks64(_mm256_permute4x64_epi64(_mm256_packus_epi16(u[0], u[1]), 0xD8),
                   _mm256_permute4x64_epi64(_mm256_packus_epi16(u[2], u[3]), 0xD8), m);
  }
  __attribute__((target("avx2,popcnt"))) static size_t RunAvx2(TTextUnitCounter& c, const uint8_t* p,
                                                                size_t n) noexcept {
    TAsciiMasks m;
    if (n < 64 || !MasksAvx2(p, m)) return 0;
    TRun r = Begin(c, m);
    size_t i = 0;
    do {
      Count<true>(r, m);
      i += 64;
    } while (n - i >= 64 && MasksAvx2(p + i, m));
    End(c, r, p[i - 1]);
    return i;
  }
  __attribute__((target("avx2,popcnt"))) static size_t WideRunAvx2(TTextUnitCounter& c, const uint8_t* p,
                                                                    size_t n) noexcept {
    TAsciiMasks m;
    const bool bigEndian = c.fBigEndian;
    if (n < 128 || !WideMasksAvx2(p, bigEndian, m)) return 0;
    TRun r = Begin(c, m);
    size_t i = 0;
    do {
      Count<true>(r, m);
      i += 128;
    } while (n - i >= 128 && WideMasksAvx2(p + i, bigEndian, m));
    End(c, r, p[i - 2 + (bigEndian ? 1 : 0)]);
    return i;
  }

  // AVX-512BW: the masks of 64 bytes come straight out of the comparisons as
  // mask registers, without a movemask and a shift per 32 bytes.
#define QN_COUNTER_AVX512 __attribute__((target("avx512f,avx512bw,popcnt")))
  // A terminator or a line break is told by its low half byte: the byte
  // these tables give for that half is the byte itself only for them (bytes
  // below 0x80 index a table by their low four bits; 0x80 matches none).
  [[gnu::always_inline]] QN_COUNTER_AVX512 static inline __m512i TermOf512() noexcept {
    return _mm512_set4_epi32(0x3F2E8080, static_cast<int>(0x80808080), static_cast<int>(0x80808080),
                             static_cast<int>(0x80802180));
  }
  [[gnu::always_inline]] QN_COUNTER_AVX512 static inline __m512i BreakOf512() noexcept {
    return _mm512_set4_epi32(static_cast<int>(0x80800D80), static_cast<int>(0x800A8080), static_cast<int>(0x80808080),
                             static_cast<int>(0x80808080));
  }
  // The masks of 64 bytes; false when one is zero or 0x80 or above.
  [[gnu::always_inline]] QN_COUNTER_AVX512 static inline bool Masks512(__m512i x, TAsciiMasks& m) noexcept {
    if (Beyond512(x)) return false;
    const __m512i lower = _mm512_or_si512(x, _mm512_set1_epi8(0x20));
    const __mmask64 letters =
        _mm512_cmplt_epu8_mask(_mm512_sub_epi8(lower, _mm512_set1_epi8('a')), _mm512_set1_epi8(26));
    const __mmask64 digits = _mm512_cmplt_epu8_mask(_mm512_sub_epi8(x, _mm512_set1_epi8('0')), _mm512_set1_epi8(10));
    m.low = _mm512_cmple_epu8_mask(x, _mm512_set1_epi8(0x20));
    m.del = _mm512_cmpeq_epi8_mask(x, _mm512_set1_epi8(0x7F));
    m.words = letters | digits;
    m.terms = _mm512_cmpeq_epi8_mask(x, _mm512_shuffle_epi8(TermOf512(), x));
    m.breaks = _mm512_cmpeq_epi8_mask(x, _mm512_shuffle_epi8(BreakOf512(), x));
    return true;
  }
  // UTF-16: 64 units (128 bytes) packed to bytes; false when a unit is
  // U+0080 or above (a zero unit is left to Beyond512).
  [[gnu::always_inline]] QN_COUNTER_AVX512 static inline bool WideBytes512(const uint8_t* p, bool bigEndian,
                                                                          __m512i& x) noexcept {
    return WideBytesOf512(_mm512_loadu_si512(p), _mm512_loadu_si512(p + 64), bigEndian, x);
  }
  // The first k units (0 < k < 64) of the 64 at p, loaded masked (nothing
  // beyond them is read), the rest zero.
  [[gnu::always_inline]] QN_COUNTER_AVX512 static inline void LoadUnits(const uint8_t* p, unsigned k, __m512i& u0,
                                                                       __m512i& u1) noexcept {
    u0 = _mm512_maskz_loadu_epi16(k >= 32 ? ~__mmask32{0} : (__mmask32{1} << k) - 1, p);
    u1 = _mm512_maskz_loadu_epi16(k > 32 ? (__mmask32{1} << (k - 32)) - 1 : 0, p + 64);
  }
  [[gnu::always_inline]] QN_COUNTER_AVX512 static inline bool WideBytesOf512(__m512i u0, __m512i u1, bool bigEndian,
                                                                            __m512i& x) noexcept {
    const __m512i mustBeClear = _mm512_set1_epi16(static_cast<int16_t>(bigEndian ? 0x80FF : 0xFF80));
    if (_mm512_test_epi16_mask(_mm512_or_si512(u0, u1), mustBeClear) != 0) return false;
    if (bigEndian) {
      u0 = _mm512_srli_epi16(u0, 8);
      u1 = _mm512_srli_epi16(u1, 8);
    }
    // Packing works within each quarter of the vectors: the eighths are put
    // back in order after it. (The zero-masked forms of this and of the
    // alignments below, with every lane kept, spare GCC 12 a false warning
    // about the plain forms' undefined source.)
    x = _mm512_maskz_permutexvar_epi64(0xFF, _mm512_setr_epi64(0, 2, 4, 6, 1, 3, 5, 7), _mm512_packus_epi16(u0, u1));
    return true;
  }

  // After a run's first block, each block is counted with the classes of
  // the unit before each of its units taken from the same bytes one unit
  // earlier, instead of shifting every mask by one and carrying its top bit:
  // the units before are those of the block before, all plain ASCII.
  struct TPairMasks {
    uint64_t notWhite, notWords;  // of the units themselves
    uint64_t prevNotWhite, prevNotWords, prevTerms, prevBreaks, prevOpens;  // of the unit before each
  };
  // Units that are not white space (at most U+0020, DEL); opens: units above
  // U+0020 (they open a paragraph).
  [[gnu::always_inline]] QN_COUNTER_AVX512 static inline __mmask64 NotWhite512(__m512i x, __mmask64& opens) noexcept {
    opens = _mm512_cmpgt_epu8_mask(x, _mm512_set1_epi8(0x20));
    return _mm512_mask_cmpneq_epu8_mask(opens, x, _mm512_set1_epi8(0x7F));
  }
  // Units that are neither letters nor digits.
  [[gnu::always_inline]] QN_COUNTER_AVX512 static inline __mmask64 NotWords512(__m512i x) noexcept {
    const __m512i lower = _mm512_or_si512(x, _mm512_set1_epi8(0x20));
    const __mmask64 notLetters =
        _mm512_cmpge_epu8_mask(_mm512_sub_epi8(lower, _mm512_set1_epi8('a')), _mm512_set1_epi8(26));
    return _mm512_mask_cmpge_epu8_mask(notLetters, _mm512_sub_epi8(x, _mm512_set1_epi8('0')), _mm512_set1_epi8(10));
  }
  // The pair masks of the 64 bytes x, before being the same bytes one unit
  // earlier (its first byte the last of the block before).
  [[gnu::always_inline]] QN_COUNTER_AVX512 static inline void PairMasks512(__m512i x, __m512i before,
                                                                          TPairMasks& m) noexcept {
    __mmask64 unused, opens;
    m.notWhite = NotWhite512(x, unused);
    m.notWords = NotWords512(x);
    m.prevNotWhite = NotWhite512(before, opens);
    m.prevOpens = opens;
    m.prevNotWords = NotWords512(before);
    m.prevTerms = _mm512_cmpeq_epi8_mask(before, _mm512_shuffle_epi8(TermOf512(), before));
    m.prevBreaks = _mm512_cmpeq_epi8_mask(before, _mm512_shuffle_epi8(BreakOf512(), before));
  }
  // Counts a block from its pair masks, as Count does from its own masks.
  [[gnu::always_inline]] QN_COUNTER_AVX512 static inline void CountPair(TRun& r, const TPairMasks& m) noexcept {
    r.wordStarts += __builtin_popcountll(m.notWhite & ~m.prevNotWhite);
    const uint64_t prevWords = ~m.prevNotWords;
    const uint64_t ends = m.prevTerms & m.notWords;  // terminators not followed by a letter or digit
    const uint64_t sentenceEnds = AddWithCarry(prevWords, ~ends, r.seen) & ends;
    const uint64_t paragraphEnds = AddWithCarry(m.prevOpens, ~m.prevBreaks, r.paragraphOpen) & m.prevBreaks;
    const uint64_t sentence = AddWithCarry(prevWords, ~(sentenceEnds | m.prevBreaks), r.sentenceOpen);
    r.sentences += __builtin_popcountll(sentenceEnds | (sentence & paragraphEnds));
    r.paragraphs += __builtin_popcountll(paragraphEnds);
    r.taken += 64;
  }
  // Counts the first k units of a block (0 < k < 64) from its pair masks,
  // the rest of the block loaded as zero bytes (both the units and the units
  // before them): those are white space, no letter, terminator, line break
  // nor opener, so they add nothing to a count and the carries pass through
  // them unchanged; the last of the k units is held for the next to decide.
  [[gnu::always_inline]] QN_COUNTER_AVX512 static inline void CountPairPart(TRun& r, const TPairMasks& m,
                                                                           unsigned k) noexcept {
    CountPair(r, m);
    r.taken -= 64 - k;
  }
  // Whether a zero byte or one of 0x80 or above is among the 64.
  [[gnu::always_inline]] QN_COUNTER_AVX512 static inline bool Beyond512(__m512i x) noexcept {
    // Zero and the bytes from 0x80 on, less one, are the bytes from 0x7F on.
    return _mm512_cmpge_epu8_mask(_mm512_sub_epi8(x, _mm512_set1_epi8(1)), _mm512_set1_epi8(0x7F)) != 0;
  }
  // The same among the bytes of x in `in`.
  [[gnu::always_inline]] QN_COUNTER_AVX512 static inline bool BeyondIn512(__m512i x, __mmask64 in) noexcept {
    return _mm512_mask_cmpge_epu8_mask(in, _mm512_sub_epi8(x, _mm512_set1_epi8(1)), _mm512_set1_epi8(0x7F)) != 0;
  }
  static inline bool IsWhiteAscii(uint8_t b) noexcept { return b <= 0x20 || b == 0x7F; }

  QN_COUNTER_AVX512 static size_t Run512(TTextUnitCounter& c, const uint8_t* p, size_t n) noexcept {
    TAsciiMasks m;
    if (n < 64 || !Masks512(_mm512_loadu_si512(p), m)) return 0;
    TRun r = Begin(c, m);
    Count<true>(r, m);
    size_t i = 64;
    TPairMasks pm;
    while (n - i >= 64) {
      const __m512i x = _mm512_loadu_si512(p + i);
      if (Beyond512(x)) break;
      PairMasks512(x, _mm512_loadu_si512(p + i - 1), pm);
      CountPair(r, pm);
      i += 64;
    }
    if (i < n && n - i < 64) {
      // The last bytes, fewer than a block, loaded masked (nothing beyond
      // them is read) instead of being left to the unit-by-unit path: a
      // piece given to Add seldom ends at a block's end.
      const unsigned k = static_cast<unsigned>(n - i);
      const __mmask64 in = (uint64_t{1} << k) - 1;
      const __m512i x = _mm512_maskz_loadu_epi8(in, p + i);
      if (!BeyondIn512(x, in)) {
        PairMasks512(x, _mm512_maskz_loadu_epi8(in, p + i - 1), pm);
        CountPairPart(r, pm, k);
        i = n;
      }
    }
    r.lastWhite = IsWhiteAscii(p[i - 1]);
    End(c, r, p[i - 1]);
    return i;
  }
  QN_COUNTER_AVX512 static size_t WideRun512(TTextUnitCounter& c, const uint8_t* p, size_t n) noexcept {
    TAsciiMasks m;
    const bool bigEndian = c.fBigEndian;
    __m512i x;
    if (n < 128 || !WideBytes512(p, bigEndian, x) || !Masks512(x, m)) return 0;
    TRun r = Begin(c, m);
    Count<true>(r, m);
    size_t i = 128;
    TPairMasks pm;
    __m512i last = x;  // the block before
    for (; n - i >= 128; last = x) {
      if (!WideBytes512(p + i, bigEndian, x) || Beyond512(x)) break;
      // The bytes one unit earlier: the last of the block before, then
      // bytes 0 to 62, moved across the quarters of the vector and then
      // within them.
      const __m512i shifted = _mm512_maskz_alignr_epi64(0xFF, x, last, 6);
      PairMasks512(x, _mm512_alignr_epi8(x, shifted, 15), pm);
      CountPair(r, pm);
      i += 128;
    }
    if (n - i < 128 && n - i >= 2) {
      // The last units, fewer than a block, as Run512 takes its last bytes;
      // the unit before the first left out is the last of the k, which
      // must count as a zero too.
      const unsigned k = static_cast<unsigned>((n - i) / 2);
      const __mmask64 in = (uint64_t{1} << k) - 1;
      __m512i u0, u1;
      LoadUnits(p + i, k, u0, u1);
      if (WideBytesOf512(u0, u1, bigEndian, x) && !BeyondIn512(x, in)) {
        const __m512i shifted = _mm512_maskz_alignr_epi64(0xFF, x, last, 6);
        PairMasks512(x, _mm512_maskz_mov_epi8(in, _mm512_alignr_epi8(x, shifted, 15)), pm);
        CountPairPart(r, pm, k);
        i += 2 * size_t{k};
      }
    }
    const uint8_t lastUnit = p[i - 2 + (bigEndian ? 1 : 0)];
    r.lastWhite = IsWhiteAscii(lastUnit);
    End(c, r, lastUnit);
    return i;
  }

  // AVX-512 VBMI: every class of the 128 bytes below 0x80 from one table of
  // two vectors, one permutation a vector, each mask then one test.
#define QN_COUNTER_VBMI __attribute__((target("avx512f,avx512bw,avx512vbmi,popcnt")))

  // The class table's two vectors and the class bits in every byte, made
  // once for a run and kept in registers (the compiler would otherwise make
  // the bits anew in every step).
  struct TClassVectors {
    __m512i low, high, white, lowUnits, word, term, lineBreak;
  };
  [[gnu::always_inline]] QN_COUNTER_VBMI static inline TClassVectors ClassVectors() noexcept {
    TClassVectors v{_mm512_load_si512(kClassTable.classes), _mm512_load_si512(kClassTable.classes + 64),
                    _mm512_set1_epi8(kClassWhite),          _mm512_set1_epi8(kClassLow),
                    _mm512_set1_epi8(kClassWord),           _mm512_set1_epi8(kClassTerm),
                    _mm512_set1_epi8(kClassBreak)};
    for (__m512i* x : {&v.white, &v.lowUnits, &v.word, &v.term, &v.lineBreak}) asm("" : "+v"(*x));
    return v;
  }
  [[gnu::always_inline]] QN_COUNTER_VBMI static inline void PairMasksVbmi(__m512i x, __m512i before,
                                                                         const TClassVectors& v,
                                                                         TPairMasks& m) noexcept {
    const __m512i own = _mm512_permutex2var_epi8(v.low, x, v.high);
    const __m512i prev = _mm512_permutex2var_epi8(v.low, before, v.high);
    m.notWhite = _mm512_testn_epi8_mask(own, v.white);
    m.notWords = _mm512_testn_epi8_mask(own, v.word);
    m.prevNotWhite = _mm512_testn_epi8_mask(prev, v.white);
    m.prevOpens = _mm512_testn_epi8_mask(prev, v.lowUnits);
    m.prevNotWords = _mm512_testn_epi8_mask(prev, v.word);
    m.prevTerms = _mm512_test_epi8_mask(prev, v.term);
    m.prevBreaks = _mm512_test_epi8_mask(prev, v.lineBreak);
  }
  QN_COUNTER_VBMI static size_t RunVbmi(TTextUnitCounter& c, const uint8_t* p, size_t n) noexcept {
    TAsciiMasks m;
    if (n < 64 || !Masks512(_mm512_loadu_si512(p), m)) return 0;
    TRun r = Begin(c, m);
    Count<true>(r, m);
    const TClassVectors classes = ClassVectors();
    size_t i = 64;
    TPairMasks pm;
    while (n - i >= 64) {
      const __m512i x = _mm512_loadu_si512(p + i);
      if (Beyond512(x)) break;
      PairMasksVbmi(x, _mm512_loadu_si512(p + i - 1), classes, pm);
      CountPair(r, pm);
      i += 64;
    }
    if (i < n && n - i < 64) {
      // The last bytes, as Run512 takes them.
      const unsigned k = static_cast<unsigned>(n - i);
      const __mmask64 in = (uint64_t{1} << k) - 1;
      const __m512i x = _mm512_maskz_loadu_epi8(in, p + i);
      if (!BeyondIn512(x, in)) {
        PairMasksVbmi(x, _mm512_maskz_loadu_epi8(in, p + i - 1), classes, pm);
        CountPairPart(r, pm, k);
        i = n;
      }
    }
    r.lastWhite = IsWhiteAscii(p[i - 1]);
    End(c, r, p[i - 1]);
    return i;
  }
  QN_COUNTER_VBMI static size_t WideRunVbmi(TTextUnitCounter& c, const uint8_t* p, size_t n) noexcept {
    TAsciiMasks m;
    const bool bigEndian = c.fBigEndian;
    __m512i x;
    if (n < 128 || !WideBytes512(p, bigEndian, x) || !Masks512(x, m)) return 0;
    TRun r = Begin(c, m);
    Count<true>(r, m);
    const TClassVectors classes = ClassVectors();
    // The low byte of each unit, in one permutation of the two vectors.
    const __m512i lowBytes = _mm512_add_epi8(EvenBytes(), _mm512_set1_epi8(bigEndian ? 1 : 0));
    const __m512i mustBeClear = _mm512_set1_epi16(static_cast<int16_t>(bigEndian ? 0x80FF : 0xFF80));
    size_t i = 128;
    TPairMasks pm;
    __m512i last = x;  // the block before
    for (; n - i >= 128; last = x) {
      const __m512i u0 = _mm512_loadu_si512(p + i), u1 = _mm512_loadu_si512(p + i + 64);
      if (_mm512_test_epi16_mask(_mm512_or_si512(u0, u1), mustBeClear) != 0) break;
      x = _mm512_permutex2var_epi8(u0, lowBytes, u1);
      if (Beyond512(x)) break;
      // The bytes one unit earlier: the last of the block before, then
      // bytes 0 to 62, in one permutation of the two blocks.
      PairMasksVbmi(x, _mm512_permutex2var_epi8(x, ShiftByOne(), last), classes, pm);
      CountPair(r, pm);
      i += 128;
    }
    if (n - i < 128 && n - i >= 2) {
      // The last units, as WideRun512 takes them.
      const unsigned k = static_cast<unsigned>((n - i) / 2);
      const __mmask64 in = (uint64_t{1} << k) - 1;
      __m512i u0, u1;
      LoadUnits(p + i, k, u0, u1);
      x = _mm512_permutex2var_epi8(u0, lowBytes, u1);
      if (_mm512_test_epi16_mask(_mm512_or_si512(u0, u1), mustBeClear) == 0 && !BeyondIn512(x, in)) {
        PairMasksVbmi(x, _mm512_maskz_permutex2var_epi8(in, x, ShiftByOne(), last), classes, pm);
        CountPairPart(r, pm, k);
        i += 2 * size_t{k};
      }
    }
    const uint8_t lastUnit = p[i - 2 + (bigEndian ? 1 : 0)];
    r.lastWhite = IsWhiteAscii(lastUnit);
    End(c, r, lastUnit);
    return i;
  }
  // Byte k of a permutation of two vectors: byte 2k of the two together.
  [[gnu::always_inline]] QN_COUNTER_VBMI static inline __m512i EvenBytes() noexcept {
    alignas(64) static constexpr uint8_t kIndex[64] = {
        0,  2,  4,  6,  8,  10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30, 32, 34,  36,  38,  40,  42,
        44, 46, 48, 50, 52, 54, 56, 58, 60, 62, 64, 66, 68, 70, 72, 74, 76, 78, 80, 82,  84,  86,
        88, 90, 92, 94, 96, 98, 100, 102, 104, 106, 108, 110, 112, 114, 116, 118, 120, 122, 124, 126};
    return _mm512_load_si512(kIndex);
  }
  // Byte k of a permutation of two vectors a, b: a's byte k - 1, and for
  // byte 0 b's byte 63.
  [[gnu::always_inline]] QN_COUNTER_VBMI static inline __m512i ShiftByOne() noexcept {
    alignas(64) static constexpr uint8_t kIndex[64] = {
        127, 0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20,
        21,  22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42,
        43,  44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62};
    return _mm512_load_si512(kIndex);
  }
#endif
};

int TTextUnitCounter::ProcessorLevel() noexcept {
#if defined(QN_COUNTER_AVX2)
  static const int level = [] {
    __builtin_cpu_init();
    if (!__builtin_cpu_supports("avx2") || !__builtin_cpu_supports("popcnt")) return 1;
    if (!__builtin_cpu_supports("avx512f") || !__builtin_cpu_supports("avx512bw")) return 2;
    return __builtin_cpu_supports("avx512vbmi") ? 4 : 3;
  }();
  return level;
#elif defined(__SSE2__)
  return 1;
#else
  return 0;
#endif
}

size_t TTextUnitCounter::AsciiRun(const uint8_t* p, size_t n) noexcept {
  switch (fLevel) {
#if defined(QN_COUNTER_AVX2)
    case 4:
      return fWide ? TAsciiBlocks::WideRunVbmi(*this, p, n) : TAsciiBlocks::RunVbmi(*this, p, n);
    case 3:
      return fWide ? TAsciiBlocks::WideRun512(*this, p, n) : TAsciiBlocks::Run512(*this, p, n);
    case 2:
      return fWide ? TAsciiBlocks::WideRunAvx2(*this, p, n) : TAsciiBlocks::RunAvx2(*this, p, n);
#endif
#if defined(__SSE2__)
    case 1:
      return fWide ? TAsciiBlocks::WideRunSse2(*this, p, n) : TAsciiBlocks::RunSse2(*this, p, n);
#endif
    default:
      return fWide ? TAsciiBlocks::WideRunPlain(*this, p, n) : TAsciiBlocks::RunPlain(*this, p, n);
  }
}

void TTextUnitCounter::Process(const uint8_t* p, size_t n) {
  size_t i = 0;
  while (i < n && !fEnded) {
    // Blocks of plain ASCII from masks; then at most a block's worth of
    // other units (or the last few) one by one.
    if (fAsciiSame) {
      i += AsciiRun(p + i, n - i);
      if (i >= n) break;
    }
    if (fWide) {
      if (n - i < 2) break;
      char16_t units[64];
      const size_t count = std::min<size_t>(64, (n - i) / 2);
      for (size_t k = 0; k < count; ++k) {
        const uint8_t a = p[i + 2 * k], b = p[i + 2 * k + 1];
        units[k] = static_cast<char16_t>(fBigEndian ? (a << 8) | b : (b << 8) | a);
      }
      Units(units, count);
      i += 2 * count;
    } else if (fUtf8) {
      const size_t cut = Utf8Cut(p, i, std::min(n, i + 64));
      fBeyondAscii = fBeyondAscii || AnyBeyondAscii(p + i, std::max(cut, i + 1) - i);
      if (cut == i) break;  // an unfinished character: wait for the rest
      fDecoded.clear();
      platform::AppendDecoded(platform::kEncodingUTF8, reinterpret_cast<const char*>(p + i), cut - i, fDecoded);
      Units(fDecoded.data(), fDecoded.size());
      i = cut;
    } else {
      char16_t units[64];
      const size_t count = std::min<size_t>(64, n - i);
      fBeyondAscii = fBeyondAscii || AnyBeyondAscii(p + i, count);
      for (size_t k = 0; k < count; ++k) units[k] = fDecode[p[i + k]];
      Units(units, count);
      i += count;
    }
  }
  if (!fEnded && i < n) fCarry.assign(p + i, p + n);
}

}  // namespace qn
