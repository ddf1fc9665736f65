#include "runtime1/search/Text_unit_counter.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
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

#if defined(__SSE2__)
inline uint64_t Mask64(__m128i a, __m128i b, __m128i c, __m128i d) noexcept {
  return static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(a))) |
         (static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(b))) << 16) |
         (static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(c))) << 32) |
         (static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(d))) << 48);
}
#endif

}  // namespace

// ---------------------------------------------------------------------------
// TSentenceParagraphCounter

void TSentenceParagraphCounter::Step(char16_t c, uint16_t d, bool nextIsLetterOrDigit, bool atTextEnd) noexcept {
  // The sentence-end test as EndOfSentence makes it: from the first letter or
  // digit after the last end on, a terminator not followed by a letter or
  // digit, or the text's last unit.
  if (!fSeenLetter && IsLetterOrDigitUnit(c)) fSeenLetter = true;
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
// terminators and U+2029 lie), or end. Looked for eight units at a time.
size_t NextEvent(const char16_t* t, size_t i, size_t end) noexcept {
#if defined(__SSE2__)
  const __m128i dot = _mm_set1_epi16(u'.'), bang = _mm_set1_epi16(u'!'), query = _mm_set1_epi16(u'?');
  const __m128i lf = _mm_set1_epi16(u'\n'), cr = _mm_set1_epi16(u'\r');
  const __m128i belowOthers = _mm_set1_epi16(0x0588), zero = _mm_setzero_si128();
  while (end - i >= 8) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + i));
    const __m128i basic = _mm_or_si128(
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(x, dot), _mm_cmpeq_epi16(x, bang)), _mm_cmpeq_epi16(x, query)),
        _mm_or_si128(_mm_cmpeq_epi16(x, lf), _mm_cmpeq_epi16(x, cr)));
    // Lanes up to U+0588: their saturated difference from U+0588 is zero.
    const __m128i low = _mm_cmpeq_epi16(_mm_subs_epu16(x, belowOthers), zero);
    const unsigned mask =
        static_cast<unsigned>(_mm_movemask_epi8(basic)) | (static_cast<unsigned>(_mm_movemask_epi8(low)) ^ 0xFFFFu);
    if (mask != 0) return i + (static_cast<unsigned>(__builtin_ctz(mask)) >> 1);
    i += 8;
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
  if (fHeld) Step(fHeldUnit, fHeldDetail, IsLetterOrDigitUnit(units[0]), false);
  // Each unit but the last is decided by the one after it; while a sentence
  // is open, only the units that may end it or are line breaks are looked at.
  size_t k = 0;
  while (k + 1 < count) {
    if (Open()) {
      k = NextEvent(units, k, count - 1);
      if (k + 1 >= count) break;
    }
    Step(units[k], details[k], IsLetterOrDigitUnit(units[k + 1]), false);
    ++k;
  }
  fTaken += static_cast<int64_t>(count) - 1;
  Hold(units[count - 1], details[count - 1]);
}

int64_t TSentenceParagraphCounter::SentencesBefore(char16_t next, bool atTextEnd) const noexcept {
  if (!fHeld) return fSentences;
  TSentenceParagraphCounter copy = *this;
  copy.Step(fHeldUnit, fHeldDetail, IsLetterOrDigitUnit(next), atTextEnd);
  return copy.fSentences;
}

int64_t TSentenceParagraphCounter::ParagraphsBefore(char16_t next, bool atTextEnd) const noexcept {
  if (!fHeld) return fParagraphs;
  TSentenceParagraphCounter copy = *this;
  copy.Step(fHeldUnit, fHeldDetail, IsLetterOrDigitUnit(next), atTextEnd);
  return copy.fParagraphs;
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

TTextUnitCounter::TTextUnitCounter(platform::TTextEncoding encoding)
    : fEncoding(encoding), fClasses(platform::CharType1Table()) {
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

size_t TTextUnitCounter::AsciiBlock(const uint8_t* b) {
#if defined(__SSE2__)
  const __m128i x0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b));
  const __m128i x1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 16));
  const __m128i x2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 32));
  const __m128i x3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 48));
  const __m128i zero = _mm_setzero_si128();
  const __m128i any = _mm_or_si128(_mm_or_si128(x0, x1), _mm_or_si128(x2, x3));
  const __m128i zeros = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x0, zero), _mm_cmpeq_epi8(x1, zero)),
                                     _mm_or_si128(_mm_cmpeq_epi8(x2, zero), _mm_cmpeq_epi8(x3, zero)));
  if ((_mm_movemask_epi8(any) | _mm_movemask_epi8(zeros)) != 0) return 0;
  // Every byte is below 0x80, so the signed comparisons are right.
  const __m128i space = _mm_set1_epi8(0x21), del = _mm_set1_epi8(0x7F);
  const auto white = [&](__m128i x) { return _mm_or_si128(_mm_cmplt_epi8(x, space), _mm_cmpeq_epi8(x, del)); };
  const __m128i dot = _mm_set1_epi8('.'), bang = _mm_set1_epi8('!'), query = _mm_set1_epi8('?');
  const __m128i lf = _mm_set1_epi8('\n'), cr = _mm_set1_epi8('\r');
  const auto event = [&](__m128i x) {
    return _mm_or_si128(_mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, dot), _mm_cmpeq_epi8(x, bang)),
                                     _mm_cmpeq_epi8(x, query)),
                        _mm_or_si128(_mm_cmpeq_epi8(x, lf), _mm_cmpeq_epi8(x, cr)));
  };
  const uint64_t w = Mask64(white(x0), white(x1), white(x2), white(x3));
  const uint64_t events = Mask64(event(x0), event(x1), event(x2), event(x3));
  // Letters and digits: the case bit set, then ranges (signed, all below 0x80).
  const __m128i caseBit = _mm_set1_epi8(0x20);
  const __m128i beforeA = _mm_set1_epi8('a' - 1), afterZ = _mm_set1_epi8('z' + 1);
  const __m128i before0 = _mm_set1_epi8('0' - 1), after9 = _mm_set1_epi8('9' + 1);
  const auto word = [&](__m128i x) {
    const __m128i lower = _mm_or_si128(x, caseBit);
    return _mm_or_si128(_mm_and_si128(_mm_cmpgt_epi8(lower, beforeA), _mm_cmplt_epi8(lower, afterZ)),
                        _mm_and_si128(_mm_cmpgt_epi8(x, before0), _mm_cmplt_epi8(x, after9)));
  };
  const uint64_t words = Mask64(word(x0), word(x1), word(x2), word(x3));
  const uint64_t dels = Mask64(_mm_cmpeq_epi8(x0, del), _mm_cmpeq_epi8(x1, del), _mm_cmpeq_epi8(x2, del),
                               _mm_cmpeq_epi8(x3, del));
#else
  uint64_t w = 0, events = 0, words = 0, dels = 0;
  for (size_t k = 0; k < 64; ++k) {
    if (b[k] == 0 || b[k] >= 0x80) return 0;
  }
  for (size_t k = 0; k < 64; ++k) {
    const uint8_t c = b[k];
    if (c <= 0x20 || c == 0x7F) w |= uint64_t{1} << k;
    if (c == '.' || c == '!' || c == '?' || c == '\n' || c == '\r') events |= uint64_t{1} << k;
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) words |= uint64_t{1} << k;
    if (c == 0x7F) dels |= uint64_t{1} << k;
  }
#endif
  // A word starts where white space gives way to something else.
  const uint64_t starts = ~w & ((w << 1) | (fLastWhite ? 1u : 0u));
  fWordStarts += static_cast<int64_t>(platform::BitsSet(starts));
  fLastWhite = (w >> 63) != 0;
  // Sentences and paragraphs: once open, only the events change anything;
  // before, only what is not a space or tab (line breaks are events). The
  // units below 0x80 are stepped here with the masks for their classes.
  TSentenceParagraphCounter& e = fEnds;
  if (e.fHeld) e.Step(e.fHeldUnit, e.fHeldDetail, (words & 1) != 0, false);
  const uint64_t quiet = w & ~events & ~dels;  // spaces, tabs and the like
  size_t i = 0;
  while (i < 63) {
    const uint64_t wanted = (e.Open() ? events : ~quiet) & (~uint64_t{0} << i) & (~uint64_t{0} >> 1);
    if (wanted == 0) break;
    i = static_cast<size_t>(__builtin_ctzll(wanted));
    const uint8_t c = b[i];
    const bool isWord = ((words >> i) & 1) != 0;
    if (!e.fSeenLetter && isWord) e.fSeenLetter = true;
    if (e.fSeenLetter && (c == '.' || c == '!' || c == '?') && ((words >> (i + 1)) & 1) == 0) {
      ++e.fSentences;
      e.fSentenceOpen = false;
      e.fParagraphOpen = true;
      e.fSeenLetter = false;
    } else if (c == '\n' || c == '\r') {
      if (e.fParagraphOpen) {
        ++e.fParagraphs;
        if (e.fSentenceOpen) ++e.fSentences;
      }
      e.fParagraphOpen = e.fSentenceOpen = false;
    } else if (isWord) {
      e.fParagraphOpen = e.fSentenceOpen = true;
    } else if (c > 0x20) {
      e.fParagraphOpen = true;
    }
    ++i;
  }
  e.fHeld = true;
  e.fHeldUnit = b[63];
  e.fHeldDetail = fClasses[b[63]];
  e.fTaken += 64;
  return 64;
}

void TTextUnitCounter::Process(const uint8_t* p, size_t n) {
  size_t i = 0;
  if (fWide) {
    alignas(16) uint8_t packed[64];
    char16_t units[64];
    while (n - i >= 128 && !fEnded) {
#if defined(__SSE2__)
      if (fAsciiSame) {
        // Units below 0x80 and not zero: packed to one byte each.
        // In the file's byte order: the bits that must be clear, and the low
        // byte, which must not be zero.
        const __m128i high = _mm_set1_epi16(static_cast<int16_t>(fBigEndian ? 0x80FF : 0xFF80));
        const __m128i low = _mm_set1_epi16(static_cast<int16_t>(fBigEndian ? 0xFF00 : 0x00FF));
        const __m128i zero = _mm_setzero_si128();
        bool plain = true;
        for (int k = 0; k < 4 && plain; ++k) {
          __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 32 * k));
          __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 32 * k + 16));
          // A plain unit has its high part clear and its low part set.
          const __m128i okA = _mm_andnot_si128(_mm_cmpeq_epi16(_mm_and_si128(a, low), zero),
                                               _mm_cmpeq_epi16(_mm_and_si128(a, high), zero));
          const __m128i okB = _mm_andnot_si128(_mm_cmpeq_epi16(_mm_and_si128(b, low), zero),
                                               _mm_cmpeq_epi16(_mm_and_si128(b, high), zero));
          if ((_mm_movemask_epi8(okA) & _mm_movemask_epi8(okB)) != 0xFFFF) {
            plain = false;
            break;
          }
          if (fBigEndian) {
            a = _mm_srli_epi16(a, 8);
            b = _mm_srli_epi16(b, 8);
          }
          _mm_store_si128(reinterpret_cast<__m128i*>(packed + 16 * k), _mm_packus_epi16(a, b));
        }
        if (plain && AsciiBlock(packed) != 0) {
          i += 128;
          continue;
        }
      }
#else
      (void)packed;
#endif
      for (size_t k = 0; k < 64; ++k) {
        const uint8_t a = p[i + 2 * k], b = p[i + 2 * k + 1];
        units[k] = static_cast<char16_t>(fBigEndian ? (a << 8) | b : (b << 8) | a);
      }
      Units(units, 64);
      i += 128;
    }
    while (n - i >= 2 && !fEnded) {
      const size_t count = std::min<size_t>(64, (n - i) / 2);
      for (size_t k = 0; k < count; ++k) {
        const uint8_t a = p[i + 2 * k], b = p[i + 2 * k + 1];
        units[k] = static_cast<char16_t>(fBigEndian ? (a << 8) | b : (b << 8) | a);
      }
      Units(units, count);
      i += 2 * count;
    }
  } else if (fUtf8) {
    while (i < n && !fEnded) {
      if (n - i >= 64 && fAsciiSame && AsciiBlock(p + i) != 0) {
        i += 64;
        continue;
      }
      const size_t cut = Utf8Cut(p, i, std::min(n, i + 64));
      if (cut == i) break;  // an unfinished character: wait for the rest
      fDecoded.clear();
      platform::AppendDecoded(platform::kEncodingUTF8, reinterpret_cast<const char*>(p + i), cut - i, fDecoded);
      Units(fDecoded.data(), fDecoded.size());
      i = cut;
    }
  } else {
    char16_t units[64];
    while (i < n && !fEnded) {
      if (n - i >= 64 && fAsciiSame && AsciiBlock(p + i) != 0) {
        i += 64;
        continue;
      }
      const size_t count = std::min<size_t>(64, n - i);
      for (size_t k = 0; k < count; ++k) units[k] = fDecode[p[i + k]];
      Units(units, count);
      i += count;
    }
  }
  if (!fEnded && i < n) fCarry.assign(p + i, p + n);
}

}  // namespace qn
