// The buffer matcher: a scan for the first character that counts as it goes,
// then the rest of the search word matched unit by unit.
#include "runtime1/search/Buffer_matcher.h"

#include <algorithm>
#include <array>
#include <optional>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "runtime1/text/Bare_assemb3.h"

namespace qn {

namespace {

// Work-form codes of the search word.
constexpr char16_t kTagOff = 0x0018;
constexpr char16_t kTagOn = 0x0019;
constexpr char16_t kAnyWord = 0x001A;
constexpr char16_t kDigits = 0x001B;
constexpr char16_t kOneChar = 0x001C;
constexpr char16_t kStar = 0x001D;
constexpr char16_t kOneLetter = 0x001E;
constexpr char16_t kSpace = 0x0020;

// Class tests on a detail word; a marker has no class.
inline bool Plain(uint16_t d) { return (d & kDetailMarker) == 0; }
inline bool IsWhite(uint16_t d) { return Plain(d) && (d & kDetailWhiteSpace) != 0; }
inline bool IsSeparator(uint16_t d) { return Plain(d) && (d & kDetailSeparator) != 0; }
inline bool IsWordChar(uint16_t d) { return Plain(d) && (d & kDetailLetterOrDigit) != 0; }
inline bool IsMarkup(uint16_t d) { return Plain(d) && (d & kDetailInMarkup) != 0; }
inline bool IsLetter(uint16_t d) { return Plain(d) && (d & platform::C1_ALPHA) != 0; }
inline bool IsDigit(uint16_t d) { return Plain(d) && (d & platform::C1_DIGIT) != 0; }
inline bool IsOneChar(uint16_t d) {
  return Plain(d) && (d & (platform::C1_ALPHA | platform::C1_DIGIT | platform::C1_PUNCT)) != 0;
}

// Kinds of run remembered in the memo.
enum TRunKind : int {
  kRunExtension = 0,    // letters, digits, details of exactly 0x0200
  kRunNonSeparator,     // a star before a space takes these
  kRunAnyWord,          // U+001A: markup or not white
  kRunAnyWordInMarkup,  // U+001A inside markup: not U+0020
  kRunDigits,
  kRunAfterSpace,  // what a space passes over after its first character
  kRunMarkup,
};
static_assert(kRunMarkup < TMatcherMemo::kRunKinds);

template <typename C>
class TMatcher {
 public:
  TMatcher(const TMatchRequest& r, int32_t n, TMatcherMemo& memo)
      : fT(static_cast<const C*>(r.text)),
        fD(r.details),
        fN(n),
        fLo(r.lower),
        fUp(r.upper),
        fTi(r.title),
        fL(r.L),
        fCase(r.caseSensitive),
        fSkipPunct(r.skipPunctuation),
        fMemo(memo) {}

  // The end of the whole hit from s, or -1.
  int32_t MatchFrom(int32_t s) {
    const TStep st = Run(0, s, false);
    if (st.kind == kStepEnd) return st.k;
    if (st.kind != kStepStar) return -1;
    return Stars(st.j, st.k, st.inMarkup);
  }
  // The same for a search word of plain characters only (no wildcard, space
  // or tag code) while no markup lies in the way: -1 for no hit, -2 when
  // markup is met and MatchFrom must decide.
  int32_t PlainFrom(int32_t s) const {
    int32_t k = s + 1;
    for (int32_t j = 1; j < fL; ++j, ++k) {
      if (k >= fN) return -1;
      if (IsMarkup(fD[k])) return -2;
      if (!Equals(Ch(k), j)) return -1;
    }
    return k;
  }
  int32_t ExtensionEnd(int32_t k) { return RunEnd(kRunExtension, k); }

 private:
  // How a run of units stopped: every unit matched (k is the end), a star
  // inside a word met at unit j (k its first character), a unit j that does
  // not match the character at k, or the end of the text with units left.
  enum TStepKind { kStepEnd, kStepStar, kStepMismatch, kStepFail };
  struct TStep {
    TStepKind kind;
    int32_t j;
    int32_t k;
    bool inMarkup;
  };

  char16_t Ch(int32_t k) const { return static_cast<char16_t>(fT[k]); }
  bool Equals(char16_t c, int32_t j) const {
    return c == fLo[j] || (!fCase && (c == fUp[j] || c == fTi[j]));
  }
  bool RunHolds(int kind, int32_t k) const {
    const uint16_t d = fD[k];
    switch (kind) {
      case kRunExtension:
        return IsWordChar(d) || d == platform::C1_DEFINED;
      case kRunNonSeparator:
        return !IsSeparator(d);
      case kRunAnyWord:
        return IsMarkup(d) || !IsWhite(d);
      case kRunAnyWordInMarkup:
        return Ch(k) != kSpace;
      case kRunDigits:
        return IsDigit(d);
      case kRunAfterSpace:
        return fSkipPunct ? IsSeparator(d) : IsWhite(d);
      default:
        return IsMarkup(d);
    }
  }
  // The first index from k on where the run of its kind stops (or n).
  int32_t RunEnd(int kind, int32_t k) {
    TMatcherMemo::TRun& run = fMemo.runs[kind];
    return Remembered(run, k, [&](int32_t q) { return RunHolds(kind, q); });
  }
  // The first index from k on whose character equals unit j or is at or below
  // U+0020 (or n).
  int32_t StarStop(int32_t star, int32_t j, int32_t k) {
    auto holds = [&](int32_t q) {
      const char16_t c = Ch(q);
      return c > kSpace && !Equals(c, j);
    };
    if (static_cast<size_t>(star) >= fMemo.stars.size()) {  // not a word the memo was sized for
      while (k < fN && holds(k)) ++k;
      return k;
    }
    return Remembered(fMemo.stars[static_cast<size_t>(star)], k, holds);
  }
  template <typename Holds>
  int32_t Remembered(TMatcherMemo::TRun& run, int32_t k, Holds holds) {
    const uint16_t* at = fD + k;
    if (run.from != nullptr && run.from <= at && at <= run.end)
      return static_cast<int32_t>(run.end - fD);
    int32_t q = k;
    // A scan that reaches the start of the remembered run ends where it ends.
    const int32_t joinAt =
        run.from != nullptr && at < run.from ? static_cast<int32_t>(run.from - fD) : -1;
    while (q < fN && holds(q)) {
      if (++q == joinAt) {
        q = static_cast<int32_t>(run.end - fD);
        break;
      }
    }
    run.from = at;
    run.end = fD + q;
    return q;
  }
  int32_t StarIndex(int32_t j) const {
    int32_t stars = 0;
    for (int32_t i = 0; i < j; ++i) stars += fLo[i] == kStar;
    return stars;
  }

  TStep Run(int32_t j, int32_t k, bool inMarkup);
  // The star at j, whose next unit equals the character at p, takes that
  // character and goes on with the units after it.
  TStep Follow(int32_t j, int32_t p, bool inMarkup) {
    const char16_t u = fLo[j + 1];
    if (u == kTagOn) inMarkup = true;
    if (u == kTagOff) inMarkup = false;
    return Run(j + 2, p + 1, inMarkup);
  }
  // Where the pending star at j looks for its next unit again after a unit
  // failed at k: the next stop, or -1 when the candidate fails.
  int32_t Retry(int32_t star, int32_t j, int32_t k) {
    if (Ch(k) <= kSpace || k + 1 >= fN) return -1;
    const int32_t p = StarStop(star, j + 1, k + 1);
    return p < fN && Equals(Ch(p), j + 1) ? p : -1;
  }
  // Whether stop p lies on the remembered chain of stops of a star (whose
  // outcome is then known), moving the chain's first stop forward up to p.
  bool Joins(TMatcherMemo::TChain& chain, int32_t star, int32_t j, bool inMarkup, int32_t p);
  int32_t Stars(int32_t j, int32_t k, bool inMarkup);

  const C* fT;
  const uint16_t* fD;
  int32_t fN;
  const char16_t* fLo;
  const char16_t* fUp;
  const char16_t* fTi;
  int32_t fL;
  bool fCase;
  bool fSkipPunct;
  TMatcherMemo& fMemo;
};

template <typename C>
typename TMatcher<C>::TStep TMatcher<C>::Run(int32_t j, int32_t k, bool inMarkup) {
  while (j < fL) {
    const char16_t w = fLo[j];
    if (w == kTagOn) inMarkup = true;
    if (j > 0 && !inMarkup && k < fN && IsMarkup(fD[k])) k = RunEnd(kRunMarkup, k);
    if (k >= fN) return {kStepFail, j, k, inMarkup};
    const char16_t c = Ch(k);
    const uint16_t d = fD[k];
    const bool beforeSpace = j + 1 < fL && fLo[j + 1] == kSpace;
    int32_t next = -1;  // where the text goes on after unit j, -1 for no match
    switch (w) {
      case kAnyWord:
        if (!inMarkup) {
          next = k + 1 < fN ? RunEnd(kRunAnyWord, k + 1) : fN;
        } else {
          next = k + 1 < fN ? RunEnd(kRunAnyWordInMarkup, k + 1) : fN;
          if (j + 1 < fL) {
            ++j;  // the unit after it is taken as matched
            if (fLo[j] == kTagOn) inMarkup = true;
          }
        }
        break;
      case kStar:
        if (j + 1 >= fL || fLo[j + 1] == kSpace) {
          next = IsSeparator(d) ? k : (k + 1 < fN ? RunEnd(kRunNonSeparator, k + 1) : fN);
        } else {
          return {kStepStar, j, k, inMarkup};
        }
        break;
      case kOneLetter:
      case kOneChar:
        if (beforeSpace && IsSeparator(d)) {
          next = j > 0 ? k : -1;
        } else if (w == kOneLetter ? IsLetter(d) : IsOneChar(d)) {
          next = k + 1;
        }
        break;
      case kDigits:
        if (IsDigit(d)) next = k + 1 < fN ? RunEnd(kRunDigits, k + 1) : fN;
        break;
      case kSpace:
        // A space, or a white separator like one, passes the run after it;
        // a punctuation character does so only with skip-punctuation on.
        if (Equals(c, j) || (!inMarkup && IsWhite(d))) {
          next = k + 1 < fN ? RunEnd(kRunAfterSpace, k + 1) : fN;
        } else if (!inMarkup && IsSeparator(d)) {
          next = fSkipPunct && k + 1 < fN ? RunEnd(kRunAfterSpace, k + 1) : k + 1;
        }
        break;
      default:
        if (Equals(c, j)) next = k + 1;
        break;
    }
    if (next < 0) return {kStepMismatch, j, k, inMarkup};
    if (fLo[j] == kTagOff) inMarkup = false;
    k = next;
    ++j;
  }
  return {kStepEnd, j, k, inMarkup};
}

template <typename C>
bool TMatcher<C>::Joins(TMatcherMemo::TChain& chain, int32_t star, int32_t j, bool inMarkup,
                        int32_t p) {
  // A chain that starts before P cannot be walked without reading before it.
  if (chain.from == nullptr || chain.from < fD) return false;
  int32_t at = static_cast<int32_t>(chain.from - fD);
  const int32_t last = static_cast<int32_t>(chain.last - fD);
  while (at < p && at < last) {
    // Every stop before the last one failed on a unit and retried.
    const TStep st = Follow(j, at, inMarkup);
    const int32_t next = st.kind == kStepMismatch ? Retry(star, j, st.k) : -1;
    if (next <= at) {
      chain = TMatcherMemo::TChain();
      return false;
    }
    at = next;
  }
  chain.from = fD + at;
  return at == p;
}

// A star inside the word is met at unit j, text position k. The star takes
// characters up to its first stop (a character equal to the unit after it);
// from there the units after it are matched, and each failure on a character
// above U+0020 makes the star take that character and stop again further on.
// The stops one star meets form a chain whose outcome (a hit's end, no hit, or
// the next star of the word met) depends only on the stop it starts from, so
// the memo keeps, per star, one chain: its first and last stop and the final
// outcome. A later candidate whose stop lies on that chain takes the outcome
// at once; whether it does is found by walking the remembered chain forward,
// which never goes back, so a long run is walked about twice in all instead of
// once per candidate.
template <typename C>
int32_t TMatcher<C>::Stars(int32_t j, int32_t k, bool inMarkup) {
  // Each star is met at most once per candidate, so one entry per star of the
  // word is room enough.
  TMatcherMemo::TLearned* learned = fMemo.learned.data();
  size_t learnedCount = 0;
  int32_t outcome = -1;
  bool fromMemo = false;
  for (bool more = true; more;) {
    more = false;
    const int32_t star = StarIndex(j);
    int32_t p = StarStop(star, j + 1, k);
    if (p >= fN || !Equals(Ch(p), j + 1)) break;
    TMatcherMemo::TChain* chain = static_cast<size_t>(star) < fMemo.chains.size() &&
                                          learnedCount < fMemo.learned.size()
                                      ? &fMemo.chains[static_cast<size_t>(star)]
                                      : nullptr;
    const int32_t start = p;
    for (;;) {
      if (chain != nullptr && Joins(*chain, star, j, inMarkup, p)) {
        chain->from = fD + start;
        outcome = chain->end != nullptr ? static_cast<int32_t>(chain->end - fD) : -1;
        fromMemo = true;
        break;
      }
      const TStep st = Follow(j, p, inMarkup);
      if (st.kind == kStepMismatch) {
        const int32_t next = Retry(star, j, st.k);
        if (next >= 0) {
          p = next;
          continue;
        }
      }
      if (chain != nullptr) learned[learnedCount++] = {star, start, p};
      if (st.kind == kStepEnd) {
        outcome = st.k;
      } else if (st.kind == kStepStar) {
        j = st.j;
        k = st.k;
        inMarkup = st.inMarkup;
        more = true;
      }
      break;
    }
    if (fromMemo) break;
  }
  for (size_t i = 0; i < learnedCount; ++i) {
    TMatcherMemo::TChain& chain = fMemo.chains[static_cast<size_t>(learned[i].star)];
    chain.from = fD + learned[i].from;
    chain.last = fD + learned[i].last;
    chain.end = outcome >= 0 ? fD + outcome : nullptr;
  }
  return outcome;
}

// The running counts while the scan goes on.
struct TCounter {
  uint32_t number[kTextStatsKinds];
  uint32_t position[kTextStatsKinds];
  bool inHeading;
  bool has15, has17, has19, has21;

  TCounter(const TSearchStatsRec& stats, bool heading, const TMatchRequest& r)
      : inHeading(heading), has15(r.has15), has17(r.has17), has19(r.has19), has21(r.has21) {
    for (int i = 0; i < kTextStatsKinds; ++i) {
      number[i] = static_cast<uint32_t>(stats.number[i]);
      position[i] = static_cast<uint32_t>(stats.position[i]);
    }
  }

  void WordStart() { WordStarts(1); }
  void WordStarts(uint32_t count) {
    number[word_stats] += count;
    position[sentence_stats] += count;
    position[paragraph_stats] += count;
    position[section_stats] += count;
    if (inHeading) position[heading_stats] += count;
  }

  void EndUnit(text_stats_type kind, THandleTextSectionProc proc) {
    if (proc != nullptr)
      proc(static_cast<int32_t>(number[kind]), static_cast<int32_t>(position[kind]));
    ++number[kind];
    position[kind] = 1;
  }

  void Marker(uint16_t code) {
    switch (code) {
      case ts_sentence_end:
        if (has15) break;
        [[fallthrough]];
      case ts_sentence_end2:
        EndUnit(sentence_stats, HandleSentenceEndProc);
        break;
      case ts_paragraph_end:
        if (has17) break;
        [[fallthrough]];
      case ts_paragraph_end2:
        EndUnit(paragraph_stats, HandleParagraphEndProc);
        break;
      case ts_heading_start:
        inHeading = true;
        if (has19) break;
        [[fallthrough]];
      case ts_heading_end:
        EndUnit(heading_stats, HandleHeadingEndProc);
        inHeading = false;
        break;
      case ts_section_end:
        if (has21) break;
        [[fallthrough]];
      case ts_section_end2:
        EndUnit(section_stats, HandleSectionEndProc);
        break;
      default:
        break;
    }
  }

  void WriteBack(TSearchStatsRec& stats, bool& heading) const {
    for (int i = 0; i < kTextStatsKinds; ++i) stats.number[i] = static_cast<int32_t>(number[i]);
    for (int i = sentence_stats; i < kTextStatsKinds; ++i) {
      stats.position[i] = static_cast<int32_t>(position[i]);
      stats.out_of[i] = static_cast<int32_t>(position[i]);
    }
    heading = inHeading;
  }
};

#if defined(__SSE2__)
// Bits set in each byte value (no population-count instruction is assumed).
constexpr auto kBitsSet = [] {
  std::array<uint8_t, 256> table{};
  for (int i = 0; i < 256; ++i)
    table[static_cast<size_t>(i)] =
        static_cast<uint8_t>((i & 1) + table[static_cast<size_t>(i / 2)]);
  return table;
}();

// Eight characters as eight 16-bit lanes.
inline __m128i LoadEight(const char16_t* t) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(t));
}
inline __m128i LoadEight(const uint8_t* t) {
  return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(t)),
                           _mm_setzero_si128());
}

// The scan for a literal first unit, eight characters at a time: for a block,
// the word starts among its characters and the characters a hit may start
// at (one of the first unit's copies, followed by one of a literal second
// unit's or by markup, and for a left-bounded word not after a letter or
// digit outside markup).
struct TBlockScan {
  __m128i lo, up, ti, lo1, up1, ti1;
  bool second;  // the second unit is literal: test it too
  bool left;    // left-bounded: test the character before

  // Word starts in the low byte, possible first characters in the high byte
  // (bit i: character k + i); `back`: the detail before k may be read.
  template <typename C>
  [[gnu::always_inline]] unsigned Bits(const C* t, const uint16_t* d, int32_t k, bool back) const {
    const __m128i zero = _mm_setzero_si128();
    const __m128i marker = _mm_set1_epi16(static_cast<int16_t>(kDetailMarker));
    const __m128i white = _mm_set1_epi16(kDetailWhiteSpace);
    const __m128i markup = _mm_set1_epi16(static_cast<int16_t>(kDetailInMarkup));
    const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + k));
    const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + k + 1));
    const __m128i notWhite = _mm_cmpeq_epi16(_mm_and_si128(here, white), zero);
    const __m128i nextNotWhite = _mm_or_si128(_mm_cmpeq_epi16(_mm_and_si128(next, white), zero),
                                              _mm_cmpeq_epi16(_mm_and_si128(next, marker), marker));
    const __m128i c = LoadEight(t + k);
    __m128i firsts = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(c, lo), _mm_cmpeq_epi16(c, up)),
                                  _mm_cmpeq_epi16(c, ti));
    if (second) {
      const __m128i c1 = LoadEight(t + k + 1);
      const __m128i seconds = _mm_or_si128(
          _mm_or_si128(_mm_cmpeq_epi16(c1, lo1), _mm_cmpeq_epi16(c1, up1)),
          _mm_or_si128(_mm_cmpeq_epi16(c1, ti1), _mm_cmpeq_epi16(_mm_and_si128(next, markup), markup)));
      firsts = _mm_and_si128(firsts, seconds);
    }
    if (left && back) {
      // After a letter or digit that is neither a marker nor in markup: no hit.
      const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + k - 1));
      const __m128i notWord = _mm_cmpeq_epi16(
          _mm_and_si128(before, _mm_set1_epi16(static_cast<int16_t>(kDetailLetterOrDigit))), zero);
      const __m128i plain = _mm_cmpeq_epi16(
          _mm_and_si128(before, _mm_set1_epi16(static_cast<int16_t>(kDetailMarker | kDetailInMarkup))), zero);
      firsts = _mm_andnot_si128(_mm_andnot_si128(notWord, plain), firsts);
    }
    return static_cast<unsigned>(
        _mm_movemask_epi8(_mm_packs_epi16(_mm_andnot_si128(notWhite, nextNotWhite), firsts)));
  }
  // Whether the block at k holds a marker.
  static bool Marker(const uint16_t* d, int32_t k) {
    const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + k));
    return _mm_movemask_epi8(_mm_and_si128(here, _mm_set1_epi16(static_cast<int16_t>(kDetailMarker)))) != 0;
  }
  // From block k on, the first block (k + 8 < n) with a marker or a possible
  // first character, or the end of the blocks; the word starts of the blocks
  // passed over are added to starts. The running count stays in a register,
  // and the character before is left to the blocks where a hit may start
  // (testing it in every block costs more than the candidates it rules out).
  template <typename C>
  int32_t Quiet(const C* t, const uint16_t* d, int32_t k, int32_t n, uint32_t& starts) const {
    uint32_t passed = 0;
    for (; k + 8 < n; k += 8) {
      if (Marker(d, k)) break;
      const unsigned bits = Bits(t, d, k, false);
      if ((bits >> 8) != 0) break;
      passed += kBitsSet[bits & 0xFF];
    }
    starts += passed;
    return k;
  }
};
#endif

template <typename C>
int32_t Find(const TMatchRequest& r, int32_t n, TSearchStatsRec& stats, bool& inHeading,
             int32_t& hitCharacters, int32_t& exactHitLen, TMatcherMemo& memo) {
  const C* t = static_cast<const C*>(r.text);
  const uint16_t* d = r.details;
  TMatcher<C> matcher(r, n, memo);
  TCounter counter(stats, inHeading, r);

  const char16_t lo0 = r.lower[0];
  const char16_t up0 = r.caseSensitive ? lo0 : r.upper[0];
  const char16_t ti0 = r.caseSensitive ? lo0 : r.title[0];
  // A first unit that can only match its own code units lets the scan skip
  // every other character at once; so does a second one, unless markup
  // stands between.
  auto literal = [](char16_t u) {
    return u < kTagOff || u > kSpace || u == kTagOn || u == kTagOff;
  };
  const bool firstLiteral = literal(lo0);
  const bool secondLiteral = firstLiteral && r.L >= 2 && literal(r.lower[1]) && lo0 != kTagOn;
  const char16_t lo1 = r.L >= 2 ? r.lower[1] : 0;
  const char16_t up1 = r.L >= 2 && !r.caseSensitive ? r.upper[1] : lo1;
  const char16_t ti1 = r.L >= 2 && !r.caseSensitive ? r.title[1] : lo1;
  const bool mayStartInMarkup = lo0 == kTagOn;
  bool plainWord = true;
  for (int32_t j = 0; j < r.L && plainWord; ++j)
    plainWord = r.lower[j] < kTagOff || r.lower[j] > kSpace;
  const bool leftOfP = r.detailsStart != nullptr && r.detailsStart < d;

  // Whether a hit starts at k (its character counted already).
  auto hitAt = [&](int32_t k) -> bool {
    const uint16_t x = d[k];
    if (IsMarkup(x) && !mayStartInMarkup) return false;
    if (secondLiteral && k + 1 < n && !IsMarkup(d[k + 1])) {
      const char16_t c1 = static_cast<char16_t>(t[k + 1]);
      if (c1 != lo1 && c1 != up1 && c1 != ti1) return false;
    }
    if (r.leftBounded && (k > 0 || leftOfP)) {
      const uint16_t before = d[k - 1];
      if (IsWordChar(before) && (before & kDetailInMarkup) == 0) return false;
    }
    int32_t end = plainWord ? matcher.PlainFrom(k) : -2;
    if (end == -2) end = matcher.MatchFrom(k);
    if (end < 0) return false;
    if (r.rightBounded) {
      if (end < n && IsWordChar(d[end])) return false;
      hitCharacters = end - k;
    } else {
      hitCharacters = (end < n ? matcher.ExtensionEnd(end) : n) - k;
    }
    exactHitLen = end - k;
    return true;
  };
  // Counts the character at k, then tries a hit there.
  auto step = [&](int32_t k) -> bool {
    const uint16_t x = d[k];
    if ((x & (kDetailMarker | kDetailWhiteSpace)) != 0) {
      if ((x & kDetailMarker) != 0) {
        counter.Marker(MarkerCode(x));
      } else if (!IsWhite(k + 1 < n ? d[k + 1] : 0)) {
        counter.WordStart();
      }
    }
    if (firstLiteral) {
      const char16_t c = static_cast<char16_t>(t[k]);
      if (c != lo0 && c != up0 && c != ti0) return false;
    }
    return hitAt(k);
  };

  int32_t k = 0;
#if defined(__SSE2__)
  // Eight characters at a time while no marker and no possible first character
  // is among them: the word starts of the block are counted together.
  if (firstLiteral) {
    const TBlockScan scan{_mm_set1_epi16(static_cast<int16_t>(lo0)),
                          _mm_set1_epi16(static_cast<int16_t>(up0)),
                          _mm_set1_epi16(static_cast<int16_t>(ti0)),
                          _mm_set1_epi16(static_cast<int16_t>(lo1)),
                          _mm_set1_epi16(static_cast<int16_t>(up1)),
                          _mm_set1_epi16(static_cast<int16_t>(ti1)),
                          secondLiteral,
                          r.leftBounded};
    for (;;) {
      uint32_t passed = 0;
      k = scan.Quiet(t, d, k, n, passed);
      counter.WordStarts(passed);
      if (k + 8 >= n) break;
      if (TBlockScan::Marker(d, k)) {
        for (int32_t i = k; i < k + 8; ++i) {
          if (step(i)) {
            counter.WriteBack(stats, inHeading);
            return i;
          }
        }
        k += 8;
        continue;
      }
      const unsigned bits = scan.Bits(t, d, k, leftOfP || k > 0);
      uint32_t starts = bits & 0xFF;
      uint32_t candidates = bits >> 8;
      while (candidates != 0) {
        const int at = __builtin_ctz(candidates);
        const uint32_t upTo = (2u << at) - 1;
        counter.WordStarts(kBitsSet[starts & upTo]);
        starts &= ~upTo;
        candidates &= ~upTo;
        if (hitAt(k + at)) {
          counter.WriteBack(stats, inHeading);
          return k + at;
        }
      }
      counter.WordStarts(kBitsSet[starts]);
      k += 8;
    }
  }
#endif
  for (; k < n; ++k) {
    if (step(k)) {
      counter.WriteBack(stats, inHeading);
      return k;
    }
  }
  counter.WriteBack(stats, inHeading);
  return -1;
}

}  // namespace

void TMatcherMemo::Reset() noexcept {
  for (TRun& run : runs) run = TRun();
  std::fill(stars.begin(), stars.end(), TRun());
  std::fill(chains.begin(), chains.end(), TChain());
  limit = nullptr;
  lower = nullptr;
  L = 0;
  caseSensitive = false;
  skipPunctuation = false;
}

void TMatcherMemo::Prepare(size_t starCount) {
  Reset();
  // assign reuses the storage when it is large enough.
  stars.assign(starCount, TRun());
  chains.assign(starCount, TChain());
  learned.assign(starCount, TLearned());
}

namespace {

// The search with the memo given (its storage reused from call to call).
int32_t FindWithMemo(const TMatchRequest& r, int32_t n, TSearchStatsRec& stats, bool& inHeading,
                     int32_t& hitCharacters, int32_t& exactHitLen, TMatcherMemo& m) {
  if (m.limit != r.details + n || m.lower != r.lower || m.L != r.L ||
      m.caseSensitive != r.caseSensitive || m.skipPunctuation != r.skipPunctuation) {
    size_t starCount = 0;
    for (int32_t j = 0; j < r.L; ++j) starCount += r.lower[j] == kStar;
    m.Prepare(starCount);
    m.limit = r.details + n;
    m.lower = r.lower;
    m.L = r.L;
    m.caseSensitive = r.caseSensitive;
    m.skipPunctuation = r.skipPunctuation;
  }
  return r.bufferIsUnicode ? Find<char16_t>(r, n, stats, inHeading, hitCharacters, exactHitLen, m)
                           : Find<uint8_t>(r, n, stats, inHeading, hitCharacters, exactHitLen, m);
}

// The search without a memo of the caller's: one per thread serves the call,
// forgotten at its start, so its storage stays and calls allocate nothing once
// it has grown to the word with the most stars. A call from a section-end
// procedure during another call has a memo of its own. (Apart from the
// search with a memo, whose callers call it once per hit, so that they pay
// for no thread-local look-up.)
[[gnu::noinline]] int32_t FindWithOwnMemo(const TMatchRequest& r, int32_t n, TSearchStatsRec& stats,
                                          bool& inHeading, int32_t& hitCharacters, int32_t& exactHitLen) {
  thread_local TMatcherMemo threadMemo;
  thread_local bool threadMemoBusy = false;
  if (threadMemoBusy) {
    TMatcherMemo nested;
    return FindWithMemo(r, n, stats, inHeading, hitCharacters, exactHitLen, nested);
  }
  threadMemoBusy = true;
  struct TRelease {
    ~TRelease() { threadMemoBusy = false; }
  } release;
  threadMemo.Reset();
  return FindWithMemo(r, n, stats, inHeading, hitCharacters, exactHitLen, threadMemo);
}

}  // namespace

int32_t FindWantedInBuffer(const TMatchRequest& r, TSearchStatsRec& stats, bool& inHeading,
                           int32_t& hitCharacters, int32_t& exactHitLen, TMatcherMemo* memo) {
  if (r.L <= 0 || r.n <= 0 || r.text == nullptr || r.details == nullptr || r.lower == nullptr ||
      (!r.caseSensitive && (r.upper == nullptr || r.title == nullptr)))
    return -1;
  int32_t n = r.n;
  if (r.detailsEnd != nullptr) {
    // The array covers the characters up to one word before its end address.
    const std::ptrdiff_t covered = r.detailsEnd - r.details - 1;
    if (covered <= 0) return -1;
    if (covered < n) n = static_cast<int32_t>(covered);
  }
  if (memo == nullptr) return FindWithOwnMemo(r, n, stats, inHeading, hitCharacters, exactHitLen);
  return FindWithMemo(r, n, stats, inHeading, hitCharacters, exactHitLen, *memo);
}

const void* NewFindWantedInBuffer(const void* P, int32_t n, const uint16_t* details,
                                  const uint16_t* detailsStart, const uint16_t* detailsEnd,
                                  const char16_t* upperCopy, const char16_t* lowerCopy,
                                  const char16_t* titleCopy, uint16_t L, bool caseSensitive,
                                  bool leftBounded, bool rightBounded, bool bufferIsUnicode,
                                  bool skipPunctuation, bool /*skipMarkup*/,
                                  uint16_t& hitCharacters, uint16_t& exactHitLen,
                                  TSearchStatsRec& stats, bool& inHeading, bool has15, bool has17,
                                  bool has19, bool has21) {
  TMatchRequest r;
  r.text = P;
  r.n = n;
  r.details = details;
  r.detailsStart = detailsStart;
  r.detailsEnd = detailsEnd;
  r.upper = upperCopy;
  r.lower = lowerCopy;
  r.title = titleCopy;
  r.L = L;
  r.caseSensitive = caseSensitive;
  r.leftBounded = leftBounded;
  r.rightBounded = rightBounded;
  r.bufferIsUnicode = bufferIsUnicode;
  r.skipPunctuation = skipPunctuation;
  r.has15 = has15;
  r.has17 = has17;
  r.has19 = has19;
  r.has21 = has21;
  int32_t full = 0;
  int32_t exact = 0;
  const int32_t at = FindWantedInBuffer(r, stats, inHeading, full, exact);
  if (at < 0) return nullptr;
  hitCharacters = static_cast<uint16_t>(std::min<int32_t>(full, 0xFFFF));
  exactHitLen = static_cast<uint16_t>(std::min<int32_t>(exact, 0xFFFF));
  const size_t unit = bufferIsUnicode ? sizeof(char16_t) : 1;
  return static_cast<const char*>(P) + static_cast<size_t>(at) * unit;
}

}  // namespace qn
