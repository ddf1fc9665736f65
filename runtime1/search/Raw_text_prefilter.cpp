// The raw-bytes test: the longest run of plain units of each search word,
// sought with its two rarest positions as many bytes at a time as the
// processor's vectors hold (16 with SSE2, 64 with AVX2 or AVX-512), every
// candidate then checked whole.
#include "runtime1/search/Raw_text_prefilter.h"

#include <algorithm>
#include <atomic>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "platform/CodePages.h"
#include "platform/Streams.h"

namespace qn {

namespace {

// The work form's codes (wildcards, space, tag codes) are no plain units.
bool Plain(char16_t u) { return u < 0x0018 || u > 0x0020; }

bool Among(const std::array<char16_t, 3>& units, char16_t c) {
  return c == units[0] || c == units[1] || c == units[2];
}

bool RunAtBytes(const TRawTextPrefilter::TRun& run, const uint8_t* p) {
  for (size_t j = 0; j < run.units.size(); ++j) {
    if (!Among(run.units[j], p[j])) return false;
  }
  return true;
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QN_PREFILTER_AVX2 1
// The same search 64 bytes at a time with AVX2, on processors that have it:
// the candidates of two 32-byte halves are sought together, and a step
// without any costs one test.
struct TAvx2Units {
  __m256i u0, u1, u2;
};

__attribute__((target("avx2"))) inline TAvx2Units Avx2UnitsOf(const std::array<char16_t, 3>& units) {
  return {_mm256_set1_epi8(static_cast<char>(units[0])), _mm256_set1_epi8(static_cast<char>(units[1])),
          _mm256_set1_epi8(static_cast<char>(units[2]))};
}

__attribute__((target("avx2"))) inline __m256i Avx2Among(const TAvx2Units& units, const uint8_t* at) {
  const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
  return _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(x, units.u0), _mm256_cmpeq_epi8(x, units.u1)),
                         _mm256_cmpeq_epi8(x, units.u2));
}

// Looks for the run from p on while 64 bytes remain; returns where it
// stopped, found telling whether the run was met.
__attribute__((target("avx2"))) size_t RunInBytesAvx2(const TRawTextPrefilter::TRun& run, const uint8_t* p,
                                                      size_t last, bool& found) {
  const TAvx2Units f = Avx2UnitsOf(run.units[run.rare]);
  const TAvx2Units b = Avx2UnitsOf(run.units[run.nextRare]);
  const uint8_t* const first = p + run.rare;
  const uint8_t* const second = p + run.nextRare;
  size_t i = 0;
  for (; i + 64 <= last + 1; i += 64) {
    const auto low = static_cast<uint32_t>(
        _mm256_movemask_epi8(_mm256_and_si256(Avx2Among(f, first + i), Avx2Among(b, second + i))));
    const auto high = static_cast<uint32_t>(
        _mm256_movemask_epi8(_mm256_and_si256(Avx2Among(f, first + i + 32), Avx2Among(b, second + i + 32))));
    for (uint64_t rest = uint64_t{low} | (uint64_t{high} << 32); rest != 0; rest &= rest - 1) {
      if (RunAtBytes(run, p + i + static_cast<unsigned>(__builtin_ctzll(rest)))) {
        found = true;
        return i;
      }
    }
  }
  found = false;
  return i;
}

// With AVX-512BW, 64 bytes a step with the comparisons' results as mask
// registers: the second position's comparisons are made only where the first
// matched (masked), with no vector OR and AND and no movemask.
#define QN_PREFILTER_AVX512 __attribute__((target("avx512f,avx512bw")))

// The units one position of a run may match, in every byte of a vector.
struct TUnits512 {
  __m512i u0, u1, u2;
};

QN_PREFILTER_AVX512 inline TUnits512 UnitsOf512(const std::array<char16_t, 3>& units) {
  return {_mm512_set1_epi8(static_cast<char>(units[0])), _mm512_set1_epi8(static_cast<char>(units[1])),
          _mm512_set1_epi8(static_cast<char>(units[2]))};
}

// The places among 64 where the byte at the first position matches f and
// the one at the second matches b.
[[gnu::always_inline]] QN_PREFILTER_AVX512 inline uint64_t Candidates512(const TUnits512& f, const TUnits512& b,
                                                                         const uint8_t* first, const uint8_t* second) {
  const __m512i x = _mm512_loadu_si512(first), y = _mm512_loadu_si512(second);
  const __mmask64 atFirst =
      _mm512_cmpeq_epi8_mask(x, f.u0) | _mm512_cmpeq_epi8_mask(x, f.u1) | _mm512_cmpeq_epi8_mask(x, f.u2);
  return _mm512_mask_cmpeq_epi8_mask(atFirst, y, b.u0) | _mm512_mask_cmpeq_epi8_mask(atFirst, y, b.u1) |
         _mm512_mask_cmpeq_epi8_mask(atFirst, y, b.u2);
}
// The same among the first of the 64 places only (bits in `in`), the bytes
// beyond them not read.
[[gnu::always_inline]] QN_PREFILTER_AVX512 inline uint64_t CandidatesIn512(const TUnits512& f, const TUnits512& b,
                                                                           const uint8_t* first, const uint8_t* second,
                                                                           __mmask64 in) {
  const __m512i x = _mm512_maskz_loadu_epi8(in, first), y = _mm512_maskz_loadu_epi8(in, second);
  const __mmask64 atFirst = _mm512_mask_cmpeq_epi8_mask(in, x, f.u0) | _mm512_mask_cmpeq_epi8_mask(in, x, f.u1) |
                            _mm512_mask_cmpeq_epi8_mask(in, x, f.u2);
  return _mm512_mask_cmpeq_epi8_mask(atFirst, y, b.u0) | _mm512_mask_cmpeq_epi8_mask(atFirst, y, b.u1) |
         _mm512_mask_cmpeq_epi8_mask(atFirst, y, b.u2);
}

// A position's units as one comparison, when they can be: a unit that is
// matched when, with the bits of fold set, it is value. So they are for one
// unit alone (no bits), and for an ASCII letter in either case (bit 0x20:
// the capital becomes the small letter, and nothing else does) -- the
// positions of nearly every word sought without its case.
struct TOneComparison {
  char16_t fold = 0, value = 0;
};

bool AsOneComparison(const std::array<char16_t, 3>& units, TOneComparison& one) {
  if (units[0] == units[1] && units[1] == units[2]) {
    one = {0, units[0]};
    return true;
  }
  const auto small = static_cast<char16_t>(units[0] | 0x20);
  if (small < u'a' || small > u'z') return false;
  for (const char16_t u : units) {
    if ((u | 0x20) != small) return false;
  }
  one = {0x20, small};
  return true;
}

struct TFolded512 {
  __m512i fold, value;
};

// The same as Candidates512 with each position one comparison.
[[gnu::always_inline]] QN_PREFILTER_AVX512 inline uint64_t FoldedCandidates512(const TFolded512& f,
                                                                               const TFolded512& b,
                                                                               const uint8_t* first,
                                                                               const uint8_t* second) {
  const __m512i x = _mm512_or_si512(_mm512_loadu_si512(first), f.fold);
  const __m512i y = _mm512_or_si512(_mm512_loadu_si512(second), b.fold);
  return _mm512_mask_cmpeq_epi8_mask(_mm512_cmpeq_epi8_mask(x, f.value), y, b.value);
}

[[gnu::always_inline]] QN_PREFILTER_AVX512 inline uint64_t FoldedCandidatesIn512(const TFolded512& f,
                                                                                 const TFolded512& b,
                                                                                 const uint8_t* first,
                                                                                 const uint8_t* second, __mmask64 in) {
  const __m512i x = _mm512_or_si512(_mm512_maskz_loadu_epi8(in, first), f.fold);
  const __m512i y = _mm512_or_si512(_mm512_maskz_loadu_epi8(in, second), b.fold);
  return _mm512_mask_cmpeq_epi8_mask(_mm512_mask_cmpeq_epi8_mask(in, x, f.value), y, b.value);
}

// Whether the run is at one of the places of candidates (bit k: at + k).
bool RunAtCandidates(const TRawTextPrefilter::TRun& run, const uint8_t* at, uint64_t candidates) {
  for (; candidates != 0; candidates &= candidates - 1) {
    if (RunAtBytes(run, at + static_cast<unsigned>(__builtin_ctzll(candidates)))) return true;
  }
  return false;
}

QN_PREFILTER_AVX512 size_t RunInBytes512(const TRawTextPrefilter::TRun& run, const uint8_t* p, size_t last,
                                         bool& found) {
  const uint8_t* const first = p + run.rare;
  const uint8_t* const second = p + run.nextRare;
  size_t i = 0;
  found = false;
  TOneComparison oneF, oneB;
  if (AsOneComparison(run.units[run.rare], oneF) && AsOneComparison(run.units[run.nextRare], oneB)) {
    const TFolded512 f{_mm512_set1_epi8(static_cast<char>(oneF.fold)), _mm512_set1_epi8(static_cast<char>(oneF.value))};
    const TFolded512 b{_mm512_set1_epi8(static_cast<char>(oneB.fold)), _mm512_set1_epi8(static_cast<char>(oneB.value))};
    // Two steps at a time, one test for both.
    for (; i + 128 <= last + 1; i += 128) {
      const uint64_t low = FoldedCandidates512(f, b, first + i, second + i);
      const uint64_t high = FoldedCandidates512(f, b, first + i + 64, second + i + 64);
      if ((low | high) != 0 && (RunAtCandidates(run, p + i, low) || RunAtCandidates(run, p + i + 64, high))) {
        found = true;
        return i;
      }
    }
    // The last places, 64 at most at a time, the loads masked to them.
    for (; i <= last; i += 64) {
      const size_t k = std::min<size_t>(64, last + 1 - i);
      const __mmask64 in = k == 64 ? ~uint64_t{0} : (uint64_t{1} << k) - 1;
      if (RunAtCandidates(run, p + i, FoldedCandidatesIn512(f, b, first + i, second + i, in))) {
        found = true;
        return i;
      }
    }
  } else {
    const TUnits512 f = UnitsOf512(run.units[run.rare]);
    const TUnits512 b = UnitsOf512(run.units[run.nextRare]);
    for (; i + 128 <= last + 1; i += 128) {
      const uint64_t low = Candidates512(f, b, first + i, second + i);
      const uint64_t high = Candidates512(f, b, first + i + 64, second + i + 64);
      if ((low | high) != 0 && (RunAtCandidates(run, p + i, low) || RunAtCandidates(run, p + i + 64, high))) {
        found = true;
        return i;
      }
    }
    for (; i <= last; i += 64) {
      const size_t k = std::min<size_t>(64, last + 1 - i);
      const __mmask64 in = k == 64 ? ~uint64_t{0} : (uint64_t{1} << k) - 1;
      if (RunAtCandidates(run, p + i, CandidatesIn512(f, b, first + i, second + i, in))) {
        found = true;
        return i;
      }
    }
  }
  return last + 1;
}
#endif

bool RunInBytes(const TRawTextPrefilter::TRun& run, const uint8_t* p, size_t n, [[maybe_unused]] int level) {
  const size_t m = run.units.size();
  if (m == 0 || n < m) return false;
  const size_t last = n - m;  // the last place a run may start
  size_t i = 0;
#if defined(QN_PREFILTER_AVX2)
  if (level >= 2) {
    bool found = false;
    i = level >= 3 ? RunInBytes512(run, p, last, found) : RunInBytesAvx2(run, p, last, found);
    if (found) return true;
  }
#endif
#if defined(__SSE2__)
  const auto& f = run.units[run.rare];
  const auto& b = run.units[run.nextRare];
  const __m128i f0 = _mm_set1_epi8(static_cast<char>(f[0])), f1 = _mm_set1_epi8(static_cast<char>(f[1])),
                f2 = _mm_set1_epi8(static_cast<char>(f[2]));
  const __m128i b0 = _mm_set1_epi8(static_cast<char>(b[0])), b1 = _mm_set1_epi8(static_cast<char>(b[1])),
                b2 = _mm_set1_epi8(static_cast<char>(b[2]));
  for (; level >= 1 && i + 16 <= last + 1; i += 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + run.rare));
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + run.nextRare));
    const __m128i atFirst =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, f0), _mm_cmpeq_epi8(x, f1)), _mm_cmpeq_epi8(x, f2));
    const __m128i atLast =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(y, b0), _mm_cmpeq_epi8(y, b1)), _mm_cmpeq_epi8(y, b2));
    auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(atFirst, atLast)));
    while (mask != 0) {
      if (RunAtBytes(run, p + i + static_cast<unsigned>(__builtin_ctz(mask)))) return true;
      mask &= mask - 1;
    }
  }
#endif
  for (; i <= last; ++i) {
    if (RunAtBytes(run, p + i)) return true;
  }
  return false;
}

using platform::UnitAt;

bool RunAtUnits(const TRawTextPrefilter::TRun& run, const uint8_t* p, bool bigEndian) {
  for (size_t j = 0; j < run.units.size(); ++j) {
    if (!Among(run.units[j], UnitAt(p + 2 * j, bigEndian))) return false;
  }
  return true;
}

#if defined(QN_PREFILTER_AVX512)
// The same over units in the byte order given, 32 units a step; the lanes
// hold the units as loaded, so a big-endian file's are compared with their
// bytes swapped.
QN_PREFILTER_AVX512 size_t RunInUnits512(const TRawTextPrefilter::TRun& run, const uint8_t* p, size_t last,
                                         bool bigEndian, bool& found) {
  const auto lane = [bigEndian](char16_t u) {
    return static_cast<int16_t>(bigEndian ? static_cast<char16_t>((u >> 8) | (u << 8)) : u);
  };
  TOneComparison oneF, oneB;
  const bool folded = AsOneComparison(run.units[run.rare], oneF) && AsOneComparison(run.units[run.nextRare], oneB);
  const std::array<char16_t, 3>& uf = run.units[run.rare];
  const std::array<char16_t, 3>& ub = run.units[run.nextRare];
  // Folded: the fold in the first lane of each, the value in the second.
  const __m512i f0 = _mm512_set1_epi16(lane(folded ? oneF.fold : uf[0]));
  const __m512i f1 = _mm512_set1_epi16(lane(folded ? oneF.value : uf[1])), f2 = _mm512_set1_epi16(lane(uf[2]));
  const __m512i b0 = _mm512_set1_epi16(lane(folded ? oneB.fold : ub[0]));
  const __m512i b1 = _mm512_set1_epi16(lane(folded ? oneB.value : ub[1])), b2 = _mm512_set1_epi16(lane(ub[2]));
  const uint8_t* const first = p + 2 * run.rare;
  const uint8_t* const second = p + 2 * run.nextRare;
  size_t i = 0;
  for (; i + 32 <= last + 1; i += 32) {
    const __m512i x = _mm512_loadu_si512(first + 2 * i), y = _mm512_loadu_si512(second + 2 * i);
    __mmask32 both;
    if (folded) {
      both = _mm512_mask_cmpeq_epi16_mask(_mm512_cmpeq_epi16_mask(_mm512_or_si512(x, f0), f1),
                                          _mm512_or_si512(y, b0), b1);
    } else {
      const __mmask32 atFirst =
          _mm512_cmpeq_epi16_mask(x, f0) | _mm512_cmpeq_epi16_mask(x, f1) | _mm512_cmpeq_epi16_mask(x, f2);
      both = _mm512_mask_cmpeq_epi16_mask(atFirst, y, b0) | _mm512_mask_cmpeq_epi16_mask(atFirst, y, b1) |
             _mm512_mask_cmpeq_epi16_mask(atFirst, y, b2);
    }
    for (uint32_t rest = both; rest != 0; rest &= rest - 1) {
      if (RunAtUnits(run, p + 2 * (i + static_cast<unsigned>(__builtin_ctz(rest))), bigEndian)) {
        found = true;
        return i;
      }
    }
  }
  found = false;
  return i;
}
#endif

// n units at p, in the byte order given.
bool RunInUnits(const TRawTextPrefilter::TRun& run, const uint8_t* p, size_t n, bool bigEndian,
                [[maybe_unused]] int level) {
  const size_t m = run.units.size();
  if (m == 0 || n < m) return false;
  const size_t last = n - m;
  size_t i = 0;
#if defined(QN_PREFILTER_AVX512)
  if (level >= 3) {
    bool found = false;
    i = RunInUnits512(run, p, last, bigEndian, found);
    if (found) return true;
  }
#endif
#if defined(__SSE2__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  // Lanes hold the units as loaded; a big-endian file's units are compared
  // with their bytes swapped.
  const auto lane = [bigEndian](char16_t u) {
    return _mm_set1_epi16(static_cast<int16_t>(bigEndian ? static_cast<char16_t>((u >> 8) | (u << 8)) : u));
  };
  const auto& f = run.units[run.rare];
  const auto& b = run.units[run.nextRare];
  const __m128i f0 = lane(f[0]), f1 = lane(f[1]), f2 = lane(f[2]);
  const __m128i b0 = lane(b[0]), b1 = lane(b[1]), b2 = lane(b[2]);
  for (; level >= 1 && i + 8 <= last + 1; i += 8) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2 * (i + run.rare)));
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2 * (i + run.nextRare)));
    const __m128i atFirst =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(x, f0), _mm_cmpeq_epi16(x, f1)), _mm_cmpeq_epi16(x, f2));
    const __m128i atLast =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(y, b0), _mm_cmpeq_epi16(y, b1)), _mm_cmpeq_epi16(y, b2));
    // Two mask bits per unit: the even ones.
    auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(atFirst, atLast))) & 0x5555u;
    while (mask != 0) {
      const size_t at = i + (static_cast<unsigned>(__builtin_ctz(mask)) >> 1);
      if (RunAtUnits(run, p + 2 * at, bigEndian)) return true;
      mask &= mask - 1;
    }
  }
#endif
  for (; i <= last; ++i) {
    if (RunAtUnits(run, p + 2 * i, bigEndian)) return true;
  }
  return false;
}

// Whether a single-byte code page decodes every byte below 0x80 to itself
// and no other byte to a unit below 0x80.
bool AsciiTransparentNow(uint32_t codePage) {
  const char16_t* table = platform::DecodeTableOfCodePage(platform::ResolvedCodePage(codePage));
  if (table == nullptr) return false;
  for (unsigned byte = 1; byte < 256; ++byte) {
    if ((byte < 0x80) != (table[byte] < 0x80) || (byte < 0x80 && table[byte] != byte)) return false;
  }
  return true;
}

// The same, the last answer kept (a run asks it for every piece of every
// text, nearly always of one code page): the code page in the high bits, the
// answer in bit 1, bit 0 set once an answer is kept.
bool AsciiTransparent(uint32_t codePage) {
  static std::atomic<uint64_t> kept{0};
  const uint64_t last = kept.load(std::memory_order_relaxed);
  if ((last & 1) != 0 && (last >> 2) == codePage) return (last & 2) != 0;
  const bool answer = AsciiTransparentNow(codePage);
  kept.store((uint64_t{codePage} << 2) | (answer ? 2u : 0u) | 1u, std::memory_order_relaxed);
  return answer;
}

// About how often a unit occurs in running text, in thousandths (English
// letter frequencies; a capital a tenth of its small letter; other ASCII
// characters and everything beyond taken as rare). Only the speed of the
// search depends on it, never its answer.
unsigned Commonness(char16_t u) {
  static constexpr uint8_t kLetters[26] = {82, 15, 28, 43, 127, 22, 20, 61, 70, 2, 8, 40, 24,
                                           67, 75, 19, 1,  60, 63,  91, 28, 10, 24, 2, 20, 1};
  if (u >= u'a' && u <= u'z') return kLetters[u - u'a'];
  if (u >= u'A' && u <= u'Z') return kLetters[u - u'A'] / 10 + 1;
  if (u == u'\n' || u == u'\r' || u == u'.' || u == u',') return 20;
  return 1;
}

unsigned Commonness(const std::array<char16_t, 3>& units) {
  unsigned sum = Commonness(units[0]);
  if (units[1] != units[0]) sum += Commonness(units[1]);
  if (units[2] != units[0] && units[2] != units[1]) sum += Commonness(units[2]);
  return sum;
}

// Chooses the run's two rarest positions.
void ChooseRarePositions(TRawTextPrefilter::TRun& run) {
  const size_t m = run.units.size();
  run.rare = run.nextRare = 0;
  if (m < 2) return;
  std::vector<unsigned> commonness(m);
  for (size_t j = 0; j < m; ++j) commonness[j] = Commonness(run.units[j]);
  run.rare = static_cast<size_t>(std::min_element(commonness.begin(), commonness.end()) - commonness.begin());
  run.nextRare = run.rare == 0 ? 1 : 0;
  for (size_t j = 0; j < m; ++j) {
    if (j != run.rare && commonness[j] < commonness[run.nextRare]) run.nextRare = j;
  }
}

}  // namespace

TRawTextPrefilter::TRawTextPrefilter(int widestLevel) noexcept : fLevel(std::clamp(widestLevel, 0, ProcessorLevel())) {}

int TRawTextPrefilter::ProcessorLevel() noexcept {
#if defined(QN_PREFILTER_AVX2)
  static const int level = [] {
    __builtin_cpu_init();
    if (!__builtin_cpu_supports("avx2")) return 1;
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") ? 3 : 2;
  }();
  return level;
#elif defined(__SSE2__)
  return 1;
#else
  return 0;
#endif
}

void TRawTextPrefilter::Add(const TSearch_word_format_rec& item) {
  const size_t L = item.search_text.size();
  const bool caseSensitive = item.flags.Contains(myCaseIsSensitive);
  const std::u16string& lower = caseSensitive ? item.copies[unchanged_copy] : item.copies[lower_copy];
  const std::u16string& upper = caseSensitive ? item.copies[unchanged_copy] : item.copies[upper_copy];
  const std::u16string& title = caseSensitive ? item.copies[unchanged_copy] : item.copies[title_copy];
  bool usable = L > 0 && !item.copies_converted && lower.size() >= L && upper.size() >= L && title.size() >= L;
  // Markup in the search word lets a unit be passed over unmatched.
  for (size_t j = 0; usable && j < L; ++j) {
    for (const char16_t u : {lower[j], upper[j], title[j]}) usable = usable && u != 0x0018 && u != 0x0019;
  }
  TRun wide, bytes, run, asciiRun;
  for (size_t j = 0; usable && j <= L; ++j) {
    const std::array<char16_t, 3> units =
        j < L ? std::array<char16_t, 3>{lower[j], upper[j], title[j]} : std::array<char16_t, 3>{0x20, 0x20, 0x20};
    const bool plain = std::all_of(units.begin(), units.end(), Plain);
    const bool ascii = plain && std::all_of(units.begin(), units.end(), [](char16_t u) { return u < 0x80; });
    if (plain) {
      run.units.push_back(units);
    } else {
      if (run.units.size() > wide.units.size()) wide = run;
      run.units.clear();
    }
    if (ascii) {
      asciiRun.units.push_back(units);
    } else {
      if (asciiRun.units.size() > bytes.units.size()) bytes = asciiRun;
      asciiRun.units.clear();
    }
  }
  ChooseRarePositions(wide);
  ChooseRarePositions(bytes);
  if (wide.units.empty()) {
    fAlways = true;
  } else {
    fWide.push_back(std::move(wide));
  }
  if (bytes.units.empty()) {
    fAlwaysInBytes = true;
  } else {
    fBytes.push_back(std::move(bytes));
  }
}

bool TRawTextPrefilter::MayHoldAHit(std::span<const uint8_t> bytes, platform::TTextEncoding encoding) const {
  if (encoding == platform::kEncodingUTF16LE || encoding == platform::kEncodingUTF16BE) {
    if (fAlways) return true;
    const bool bigEndian = encoding == platform::kEncodingUTF16BE;
    return std::any_of(fWide.begin(), fWide.end(), [&](const TRun& run) {
      return RunInUnits(run, bytes.data(), bytes.size() / 2, bigEndian, fLevel);
    });
  }
  if (fAlways || fAlwaysInBytes) return true;
  if (encoding != platform::kEncodingUTF8) {
    const uint32_t codePage = encoding == platform::kEncodingDefault ? platform::CP_ACP : encoding;
    if (!AsciiTransparent(codePage)) return true;
  }
  return std::any_of(fBytes.begin(), fBytes.end(),
                     [&](const TRun& run) { return RunInBytes(run, bytes.data(), bytes.size(), fLevel); });
}

}  // namespace qn
