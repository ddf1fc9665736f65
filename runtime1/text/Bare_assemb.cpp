// Buffer routines: a handful of scanning kernels (one unit, either of two
// units, a needle) shared by every search and compaction below.
//
// On x86-64 the kernels use SSE2, which every such processor has; elsewhere a
// plain unit loop does the same work. Vector loads are unaligned 16-byte loads
// that lie wholly inside the caller's range: the last few units of a range are
// always handled by the scalar loop, so nothing past the range is ever read,
// not even inside the same page.
#include "runtime1/text/Bare_assemb.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#define QN_BARE_SSE2 1
#else
#define QN_BARE_SSE2 0
#endif

// The cleaners that run over whole texts also have 256-bit forms, compiled
// function by function for AVX2 (and again for AVX-512, whose byte compression
// packs the kept bytes of a block in one step and whose comparisons give bit
// masks directly) and chosen at run time, so the library still loads on any
// x86-64.
#if QN_BARE_SSE2 && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define QN_BARE_AVX2 1
#else
#define QN_BARE_AVX2 0
#endif

#include <atomic>

#include "platform/TextDetection.h"

namespace qn {
namespace {

template <typename U>
inline size_t NeedleLength(const U* needle) noexcept {
  return std::char_traits<U>::length(needle);
}

inline unsigned CountTrailingZeros(uint32_t mask) noexcept {
  return static_cast<unsigned>(__builtin_ctz(mask));
}

#if QN_BARE_SSE2
// Per-unit-width vector operations. A comparison sets all bits of each equal
// unit, so _mm_movemask_epi8 gives 1 mask bit per byte unit and 2 per UTF-16
// unit; kShift turns a mask bit index into a unit index.
template <typename U>
struct Lanes;

template <>
struct Lanes<char> {
  static constexpr std::ptrdiff_t kUnits = 16;
  static constexpr unsigned kShift = 0;
  static __m128i Splat(char c) noexcept { return _mm_set1_epi8(c); }
  static __m128i Eq(__m128i a, __m128i b) noexcept { return _mm_cmpeq_epi8(a, b); }
  // Per unit: all bits set where the unit is below 0x20.
  static __m128i Control(__m128i v) noexcept {
    return _mm_cmpeq_epi8(_mm_and_si128(v, _mm_set1_epi8(static_cast<char>(0xE0))),
                          _mm_setzero_si128());
  }
};

template <>
struct Lanes<char16_t> {
  static constexpr std::ptrdiff_t kUnits = 8;
  static constexpr unsigned kShift = 1;
  static __m128i Splat(char16_t c) noexcept { return _mm_set1_epi16(static_cast<short>(c)); }
  static __m128i Eq(__m128i a, __m128i b) noexcept { return _mm_cmpeq_epi16(a, b); }
  static __m128i Control(__m128i v) noexcept {
    return _mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(static_cast<short>(0xFFE0))),
                           _mm_setzero_si128());
  }
};

inline __m128i Load(const void* p) noexcept {
  return _mm_loadu_si128(static_cast<const __m128i*>(p));
}
inline void Store(void* p, __m128i v) noexcept { _mm_storeu_si128(static_cast<__m128i*>(p), v); }
inline uint32_t Mask(__m128i v) noexcept { return static_cast<uint32_t>(_mm_movemask_epi8(v)); }

// All bits set in each byte with low <= byte <= high (unsigned): the range is
// moved to the bottom of the signed bytes and compared there.
inline __m128i InByteRange(__m128i v, unsigned char low, unsigned char high) noexcept {
  const __m128i shifted = _mm_add_epi8(v, _mm_set1_epi8(static_cast<char>(0x80 - low)));
  return _mm_cmplt_epi8(shifted, _mm_set1_epi8(static_cast<char>(0x80 + (high - low) + 1)));
}

// All bits set in each byte at or above `low` (unsigned).
inline __m128i AtOrAbove(__m128i v, unsigned char low) noexcept {
  return _mm_cmpeq_epi8(_mm_max_epu8(v, _mm_set1_epi8(static_cast<char>(low))), v);
}
#endif

// First unit equal to u in [p, end), or null.
template <typename U>
const U* FindUnit(const U* p, const U* end, U u) noexcept {
#if QN_BARE_SSE2
  using L = Lanes<U>;
  if (end - p >= L::kUnits) {
    const __m128i v = L::Splat(u);
    while (end - p >= 4 * L::kUnits) {
      const __m128i a = L::Eq(Load(p), v);
      const __m128i b = L::Eq(Load(p + L::kUnits), v);
      const __m128i c = L::Eq(Load(p + 2 * L::kUnits), v);
      const __m128i d = L::Eq(Load(p + 3 * L::kUnits), v);
      if (Mask(_mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d))) != 0) {
        uint32_t m = Mask(a) | (Mask(b) << 16);
        if (m != 0) return p + (CountTrailingZeros(m) >> L::kShift);
        m = Mask(c) | (Mask(d) << 16);
        return p + 2 * L::kUnits + (CountTrailingZeros(m) >> L::kShift);
      }
      p += 4 * L::kUnits;
    }
    while (end - p >= L::kUnits) {
      const uint32_t m = Mask(L::Eq(Load(p), v));
      if (m != 0) return p + (CountTrailingZeros(m) >> L::kShift);
      p += L::kUnits;
    }
  }
#endif
  for (; p < end; ++p) {
    if (*p == u) return p;
  }
  return nullptr;
}

// First unit equal to u1 or u2 in [p, end), or null.
template <typename U>
const U* FindEitherUnit(const U* p, const U* end, U u1, U u2) noexcept {
  if (u1 == u2) return FindUnit(p, end, u1);
#if QN_BARE_SSE2
  using L = Lanes<U>;
  if (end - p >= L::kUnits) {
    const __m128i v1 = L::Splat(u1);
    const __m128i v2 = L::Splat(u2);
    while (end - p >= 2 * L::kUnits) {
      const __m128i x = Load(p);
      const __m128i y = Load(p + L::kUnits);
      const __m128i a = _mm_or_si128(L::Eq(x, v1), L::Eq(x, v2));
      const __m128i b = _mm_or_si128(L::Eq(y, v1), L::Eq(y, v2));
      const uint32_t m = Mask(a) | (Mask(b) << 16);
      if (m != 0) return p + (CountTrailingZeros(m) >> L::kShift);
      p += 2 * L::kUnits;
    }
  }
#endif
  for (; p < end; ++p) {
    if (*p == u1 || *p == u2) return p;
  }
  return nullptr;
}

// Does the needle match at t, apart from its first and last units (which the
// caller has checked)? needleLength >= 2.
template <typename U, bool kCaseless>
inline bool InnerMatches(const U* t, const U* lower, const U* upper, size_t needleLength) noexcept {
  if constexpr (kCaseless) {
    for (size_t k = 1; k + 1 < needleLength; ++k) {
      if (t[k] != lower[k] && t[k] != upper[k]) return false;
    }
    return true;
  } else {
    (void)upper;
    return std::memcmp(t + 1, lower + 1, (needleLength - 2) * sizeof(U)) == 0;
  }
}

template <typename U, bool kCaseless>
inline bool UnitMatches(U t, U lower, U upper) noexcept {
  if constexpr (kCaseless) {
    return t == lower || t == upper;
  } else {
    (void)upper;
    return t == lower;
  }
}

// Leftmost start in [0, n - L] where the needle matches; needleLength >= 2,
// needleLength <= n. Candidates are the positions whose first and last units
// both match, found a vector at a time; only they get the full comparison.
template <typename U, bool kCaseless>
const U* FindNeedle(const U* text, size_t n, const U* lower, const U* upper,
                    size_t needleLength) noexcept {
  const size_t lastStart = n - needleLength;
  const size_t tailOffset = needleLength - 1;
  size_t i = 0;
#if QN_BARE_SSE2
  using L = Lanes<U>;
  constexpr size_t kUnits = static_cast<size_t>(L::kUnits);
  if (lastStart + 1 >= kUnits) {
    const __m128i first1 = L::Splat(lower[0]);
    const __m128i last1 = L::Splat(lower[tailOffset]);
    const __m128i first2 = L::Splat(upper[0]);
    const __m128i last2 = L::Splat(upper[tailOffset]);
    // Block at i covers starts i .. i + kUnits - 1; its second load ends at
    // i + tailOffset + kUnits <= n.
    for (; i + kUnits <= lastStart + 1; i += kUnits) {
      const __m128i head = Load(text + i);
      const __m128i tail = Load(text + i + tailOffset);
      __m128i a = L::Eq(head, first1);
      __m128i b = L::Eq(tail, last1);
      if constexpr (kCaseless) {
        a = _mm_or_si128(a, L::Eq(head, first2));
        b = _mm_or_si128(b, L::Eq(tail, last2));
      }
      uint32_t m = Mask(_mm_and_si128(a, b));
      while (m != 0) {
        const unsigned bit = CountTrailingZeros(m);
        const U* candidate = text + i + (bit >> L::kShift);
        if (InnerMatches<U, kCaseless>(candidate, lower, upper, needleLength)) return candidate;
        // Drop every mask bit of this unit.
        m &= ~(((1u << (1u << L::kShift)) - 1u) << bit);
      }
    }
  }
#endif
  for (; i <= lastStart; ++i) {
    const U* candidate = text + i;
    if (UnitMatches<U, kCaseless>(candidate[0], lower[0], upper[0]) &&
        UnitMatches<U, kCaseless>(candidate[tailOffset], lower[tailOffset], upper[tailOffset]) &&
        InnerMatches<U, kCaseless>(candidate, lower, upper, needleLength)) {
      return candidate;
    }
  }
  return nullptr;
}

template <typename U>
const U* StrPos(const U* text, const U* needle, int32_t length) noexcept {
  if (text == nullptr || needle == nullptr || length <= 0) return nullptr;
  const size_t n = static_cast<size_t>(length);
  const size_t needleLength = NeedleLength(needle);
  if (needleLength == 0 || needleLength > n) return nullptr;
  if (needleLength == 1) return FindUnit(text, text + n, needle[0]);
  return FindNeedle<U, false>(text, n, needle, needle, needleLength);
}

template <typename U>
const U* StrIPos(const U* text, const U* lower, const U* upper, int32_t length) noexcept {
  if (text == nullptr || lower == nullptr || upper == nullptr || length <= 0) return nullptr;
  const size_t n = static_cast<size_t>(length);
  const size_t needleLength = NeedleLength(lower);
  if (needleLength == 0 || NeedleLength(upper) != needleLength || needleLength > n) return nullptr;
  if (needleLength == 1) return FindEitherUnit(text, text + n, lower[0], upper[0]);
  return FindNeedle<U, true>(text, n, lower, upper, needleLength);
}

// Index of the first differing byte of a and b within n bytes, or n.
size_t FirstDifferentByte(const unsigned char* a, const unsigned char* b, size_t n) noexcept {
  size_t i = 0;
#if QN_BARE_SSE2
  for (; i + 16 <= n; i += 16) {
    const uint32_t equal = Mask(_mm_cmpeq_epi8(Load(a + i), Load(b + i)));
    if (equal != 0xFFFFu) return i + CountTrailingZeros(~equal & 0xFFFFu);
  }
#endif
  for (; i < n; ++i) {
    if (a[i] != b[i]) return i;
  }
  return n;
}

// --- Kernel choice -----------------------------------------------------------------

// 0: 128-bit kernels only; 1: the 256-bit kernels for AVX2; 2: the same with
// their AVX-512 steps (byte compression, 64-byte masks). The processor
// decides, capped by a test's choice.
int BestKernelLevel() noexcept {
#if QN_BARE_AVX2
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
      __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi2")) {
    return 2;
  }
  if (__builtin_cpu_supports("avx2")) return 1;
#endif
  return 0;
}

std::atomic<int> g_kernelCap{2};

int KernelLevel() noexcept {
  static const int best = BestKernelLevel();
  return std::min(best, g_kernelCap.load(std::memory_order_relaxed));
}

bool WideKernels() noexcept { return KernelLevel() >= 1; }

// Calls the 256-bit kernel of the level in use (the caller has checked
// WideKernels()).
#define QN_WIDE_CALL(kernel, ...) \
  (KernelLevel() >= 2 ? avx512::kernel(__VA_ARGS__) : avx2::kernel(__VA_ARGS__))

// Bits 0 .. count-1 of a block mask (count at most 32).
inline uint32_t BitsBelow(size_t count) noexcept {
  return count >= 32 ? ~uint32_t(0) : (uint32_t(1) << count) - 1u;
}

// The section state of the opening/closing cleaners, carried from block to
// block: bytes before sectionEnd belong to a section already decided (dropped,
// or written as spaces when blanked); nextClosing caches the next closing byte
// at or after the last opening looked at.
struct SectionState {
  size_t sectionEnd = 0;
  bool sectionBlanked = false;
  size_t nextClosing = 0;
  bool closingKnown = false;
};

struct SectionRules {
  char opening;
  char closing;
  int64_t maxSpan;
  bool removeEntirely;
};

// The next closing byte at or after `at`, or n; each byte is scanned a bounded
// number of times because the answer is kept until an opening passes it.
size_t NextClosing(const char* buffer, size_t n, size_t at, char closing,
                   SectionState& state) noexcept {
  if (!state.closingKnown || state.nextClosing < at) {
    const char* close = FindUnit<char>(buffer + at, buffer + n, closing);
    state.nextClosing = close != nullptr ? static_cast<size_t>(close - buffer) : n;
    state.closingKnown = true;
  }
  return state.nextClosing;
}

// Which bytes of the block [read, read + 32) are dropped and which are blanked,
// given the block's opening and closing bytes; advances the state past the
// block. Kept out of line so that the loop around it keeps its registers for
// the common block.
__attribute__((noinline)) void SectionMasksOfBlock(const char* buffer, size_t n, size_t read,
                                                   uint32_t openings, uint32_t closings,
                                                   const SectionRules& rules, SectionState& state,
                                                   uint32_t& drop, uint32_t& blank) noexcept {
  drop = 0;
  blank = 0;
  size_t decidedUpTo = read;  // bytes of the block before this are decided
  if (state.sectionEnd > read) {
    decidedUpTo = std::min(state.sectionEnd, read + 32);
    (state.sectionBlanked ? blank : drop) |= BitsBelow(decidedUpTo - read);
  }
  openings &= ~BitsBelow(decidedUpTo - read);
  while (openings != 0) {
    const size_t at = read + CountTrailingZeros(openings);
    // The closing byte comes from the block's own mask when it lies there;
    // otherwise the search starts where the block ends.
    const uint32_t closingsFromAt = closings & ~BitsBelow(at - read);
    size_t close;
    if (closingsFromAt != 0) {
      close = read + CountTrailingZeros(closingsFromAt);
      state.nextClosing = close;
      state.closingKnown = true;
    } else {
      close = NextClosing(buffer, n, std::max(at, read + 32), rules.closing, state);
    }
    if (close < n && static_cast<int64_t>(close - at) < rules.maxSpan) {
      state.sectionEnd = close + 1;
      state.sectionBlanked = !rules.removeEntirely;
      const size_t upTo = std::min(state.sectionEnd, read + 32);
      (state.sectionBlanked ? blank : drop) |= BitsBelow(upTo - read) & ~BitsBelow(at - read);
      openings &= ~BitsBelow(upTo - read);
    } else {
      drop |= uint32_t(1) << (at - read);  // the opening byte goes alone
      openings &= openings - 1;
    }
  }
}

// The word-case masks of CutLowercaseWords for a block of 64 bytes: which
// lowercase bytes are blanked, given which bytes break words, are capitals or
// are lowercase. hadCapital carries "the word running into this block already
// had its capital" in and out.
inline uint64_t LowercaseToBlank(uint64_t breaks, uint64_t capitals, uint64_t lowercase,
                                 bool& hadCapital) noexcept {
  // "A capital since the last break" is filled through each run of non-break
  // bytes with one addition (the carry runs from a run's first capital to the
  // run's end).
  const uint64_t inWord = ~breaks;
  const uint64_t runStarts = inWord & ~(inWord << 1);
  const uint64_t notCapital = inWord & ~capitals;
  // The first capital of each run: the carry from the run's start stops there.
  uint64_t firstCapitals = ((notCapital + runStarts) ^ notCapital) & capitals;
  if (hadCapital && (inWord & 1) != 0) {
    // The word from the previous block already had its capital.
    const uint64_t firstRun = breaks == 0 ? ~uint64_t(0) : (breaks & (~breaks + 1)) - 1;
    firstCapitals = (firstCapitals & ~firstRun) | 1;
  }
  const uint64_t afterCapital = ((inWord + firstCapitals) ^ inWord) & inWord;
  const uint64_t events = breaks | capitals;
  if (events != 0) hadCapital = ((capitals >> (63 - __builtin_clzll(events))) & 1) != 0;
  return lowercase & ~afterCapital;
}

// Bytes above 'z' of a 64-byte block join the lowercase or capital masks by
// the caller's letter sets (kind: 1 lowercase, 2 capital, 0 neither).
inline void ClassifyBytesAboveZ(const char* block, uint64_t above, const unsigned char* kind,
                                uint64_t& lowercase, uint64_t& capitals) noexcept {
  for (uint64_t m = above; m != 0; m &= m - 1) {
    const unsigned bit = static_cast<unsigned>(__builtin_ctzll(m));
    const unsigned char k = kind[static_cast<unsigned char>(block[bit])];
    if (k == 1) lowercase |= uint64_t(1) << bit;
    if (k == 2) capitals |= uint64_t(1) << bit;
  }
}

// For each mask of dropped bytes among 8, the indexes of the kept bytes in
// order; the rest of the 8 bytes take index 0x80 (zero).
struct KeepPatterns {
  uint8_t index[256][8];
};
constexpr KeepPatterns MakeKeepPatterns() {
  KeepPatterns t{};
  for (unsigned drop = 0; drop < 256; ++drop) {
    unsigned out = 0;
    for (unsigned k = 0; k < 8; ++k) {
      if (((drop >> k) & 1u) == 0) t.index[drop][out++] = static_cast<uint8_t>(k);
    }
    while (out < 8) t.index[drop][out++] = 0x80;
  }
  return t;
}
alignas(64) constexpr KeepPatterns kKeepPatterns = MakeKeepPatterns();

// Once a compaction has dropped more than the second-level cache holds, the
// lines it writes were read long ago and have left the nearer caches; asking
// for them a few blocks ahead hides the wait.
inline void PrefetchWritePosition(const char* write) noexcept {
  __builtin_prefetch(write + 512, 1);
}

// Membership of the bytes 0x80-0xFF in the set of bytes whose kind is
// `which`, as a table for in-lane shuffles by the low nibble: bit h of entry
// lo tells whether byte 0x80 + 16h + lo belongs. Written four times over, once
// for each 16-byte lane of the widest vector.
void HighSetColumns(const unsigned char* kind, unsigned char which,
                    unsigned char* columns64) noexcept {
  unsigned char column[16] = {};
  for (unsigned c = 0x80; c < 0x100; ++c) {
    if (kind[c] == which) column[c & 15] |= static_cast<unsigned char>(1u << ((c >> 4) - 8));
  }
  for (unsigned lane = 0; lane < 4; ++lane) std::memcpy(columns64 + 16 * lane, column, 16);
}

// For each lane of the widest vector, by high nibble: the row bit of bytes
// 0x80 and above in the tables above, 0 for the others.
alignas(64) constexpr signed char kRowBits64[64] = {
    0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 4, 8, 16, 32, 64, -128,  //
    0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 4, 8, 16, 32, 64, -128,  //
    0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 4, 8, 16, 32, 64, -128,  //
    0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 4, 8, 16, 32, 64, -128};

#if QN_BARE_AVX2
namespace avx2 {
#define QN_WIDE __attribute__((target("avx2,popcnt")))
#define QN_WIDE_AVX512 0
#include "runtime1/text/Bare_assemb_wide.inc"
#undef QN_WIDE_AVX512
#undef QN_WIDE
}  // namespace avx2

namespace avx512 {
#define QN_WIDE \
  __attribute__((target("avx2,popcnt,bmi,bmi2,avx512f,avx512bw,avx512vl,avx512vbmi2")))
#define QN_WIDE_AVX512 1
#include "runtime1/text/Bare_assemb_wide.inc"
#undef QN_WIDE_AVX512
#undef QN_WIDE
}  // namespace avx512
#endif

// Replaces every unit equal to `unit` by `by`; stores only blocks that change.
template <typename U>
void ReplaceUnit(U* buffer, U unit, U by, int32_t length) noexcept {
  if (buffer == nullptr || length <= 0) return;
  U* p = buffer;
  U* const end = buffer + length;
#if QN_BARE_SSE2
  using L = Lanes<U>;
  const __m128i v = L::Splat(unit);
  const __m128i replacement = L::Splat(by);
  for (; end - p >= L::kUnits; p += L::kUnits) {
    const __m128i x = Load(p);
    const __m128i hit = L::Eq(x, v);
    if (Mask(hit) != 0) {
      Store(p, _mm_or_si128(_mm_andnot_si128(hit, x), _mm_and_si128(hit, replacement)));
    }
  }
#endif
  for (; p < end; ++p) {
    if (*p == unit) *p = by;
  }
}

// Line ends are frequent, so every block is stored back: a store costs less
// than a mispredicted "did this block change?".
template <typename U>
void ReplaceControlUnits(U* buffer, int32_t length) noexcept {
  if (buffer == nullptr || length <= 0) return;
  U* p = buffer;
  U* const end = buffer + length;
#if QN_BARE_AVX2
  if (WideKernels()) p = QN_WIDE_CALL(WideReplaceControlUnits, p, end);
#endif
#if QN_BARE_SSE2
  using L = Lanes<U>;
  const __m128i space = L::Splat(U(' '));
  for (; end - p >= L::kUnits; p += L::kUnits) {
    const __m128i x = Load(p);
    const __m128i hit = L::Control(x);
    Store(p, _mm_or_si128(_mm_andnot_si128(hit, x), _mm_and_si128(hit, space)));
  }
#endif
  for (; p < end; ++p) {
    if (static_cast<std::make_unsigned_t<U>>(*p) < 0x20) *p = U(' ');
  }
}

template <typename U>
void ReplaceCarriageReturns(U* buffer, int32_t length) noexcept {
  if (buffer == nullptr || length <= 0) return;
  U* const end = buffer + length;
  const U* p = buffer;
#if QN_BARE_AVX2
  if (WideKernels()) {
    bool afterCr = false;
    U* rest = QN_WIDE_CALL(WideReplaceCarriageReturns, buffer, end, afterCr);
    if (afterCr && rest < end && *rest == U('\n')) *rest = U(' ');
    p = rest;
  }
#endif
  while ((p = FindUnit<U>(p, end, U('\r'))) != nullptr) {
    U* cr = buffer + (p - buffer);
    *cr = U(' ');
    if (cr + 1 < end && cr[1] == U('\n')) cr[1] = U(' ');
    p = cr + 1;
  }
}

template <typename U>
void FillUnits(U* buffer, int32_t count, U value) noexcept {
  if (buffer == nullptr || count <= 0) return;
  std::fill_n(buffer, count, value);
}

// Moves [from, to) of the buffer down to `write` and returns the new write
// index; nothing moves while no unit has been dropped yet.
template <typename U>
inline size_t KeepRun(U* buffer, size_t write, size_t from, size_t to) noexcept {
  if (to > from && write != from) std::memmove(buffer + write, buffer + from, (to - from) * sizeof(U));
  return write + (to - from);
}

#if QN_BARE_SSE2
// Writes the units of the block v (just loaded from buffer + read) whose mask
// bits are clear in `drop` to buffer + write, and returns the new write index.
// write <= read, so a store never reaches past the block already loaded; and
// nothing is stored while no unit has been dropped yet.
template <typename U>
inline size_t WriteKept(U* buffer, size_t write, size_t read, __m128i v, uint32_t drop) noexcept {
  using L = Lanes<U>;
  if (drop == 0) {
    if (write != read) Store(buffer + write, v);
    return write + L::kUnits;
  }
  alignas(16) U units[L::kUnits];
  _mm_store_si128(reinterpret_cast<__m128i*>(units), v);
  for (unsigned k = 0; k < static_cast<unsigned>(L::kUnits); ++k) {
    if (((drop >> (k << L::kShift)) & 1u) == 0) buffer[write++] = units[k];
  }
  return write;
}
#endif

// The shared pass of ClearBetweenChars and CleanBetweenChars. Whole blocks go
// through the 256-bit kernel when the processor has one; the rest moves runs
// between opening bytes down in one piece. The position of the next closing
// byte is remembered, so each byte is scanned a bounded number of times
// whatever the input (a text full of unmatched opening bytes stays linear).
void CleanSections(char* buffer, char opening, char closing, int32_t length, int64_t maxSpan,
                   bool removeEntirely) noexcept {
  if (buffer == nullptr || length < 0) return;
  const size_t n = static_cast<size_t>(length);
  const char* const end = buffer + n;
  const SectionRules rules{opening, closing, maxSpan, removeEntirely};
  SectionState state;
  size_t read = 0;
  size_t write = 0;
#if QN_BARE_AVX2
  // (Short texts skip the setup: the kernels work on whole blocks only.)
  if (n >= 32 && WideKernels()) {
    const char* lastClosing = static_cast<const char*>(memrchr(buffer, closing, n));
    if (lastClosing == nullptr) {
      // No closing byte at all: no section anywhere, every opening byte goes alone.
      state.closingKnown = true;
      state.nextClosing = n;
    } else if (opening != closing && removeEntirely && maxSpan >= static_cast<int64_t>(n)) {
      // Every opening byte before the last closing byte starts a section.
      bool inSection = false;
      QN_WIDE_CALL(WideClearSections, buffer, static_cast<size_t>(lastClosing - buffer) + 1,
                   opening, closing, read, write, inSection);
      if (inSection) state.sectionEnd = NextClosing(buffer, n, read, closing, state) + 1;
    }
    QN_WIDE_CALL(WideCleanSections, buffer, n, rules, state, read, write);
    if (state.sectionEnd > read) {  // a section runs on past the last whole block
      const size_t span = state.sectionEnd - read;
      if (state.sectionBlanked) {
        std::memset(buffer + write, ' ', span);
        write += span;
      }
      read = state.sectionEnd;
    }
  }
#endif
  while (read < n) {
    const char* open = FindUnit<char>(buffer + read, end, opening);
    if (open == nullptr) {
      write = KeepRun(buffer, write, read, n);
      read = n;
      break;
    }
    const size_t at = static_cast<size_t>(open - buffer);
    write = KeepRun(buffer, write, read, at);
    const size_t close = NextClosing(buffer, n, at, closing, state);
    if (close < n && static_cast<int64_t>(close - at) < maxSpan) {
      if (!removeEntirely) {
        const size_t span = close - at + 1;
        std::memset(buffer + write, ' ', span);
        write += span;
      }
      read = close + 1;
    } else {
      read = at + 1;  // the opening byte goes alone
    }
  }
  buffer[write] = '\0';
}

}  // namespace

// --- Searching and comparing ---------------------------------------------------

const char* FastStrPos(const char* text, const char* needle, int32_t length) noexcept {
  return StrPos(text, needle, length);
}

const char16_t* FastStrPosW(const char16_t* text, const char16_t* needle, int32_t length) noexcept {
  return StrPos(text, needle, length);
}

const char* FastStrIPos(const char* text, const char* lowerNeedle, const char* upperNeedle,
                        int32_t length) noexcept {
  return StrIPos(text, lowerNeedle, upperNeedle, length);
}

const char16_t* FastStrIPosW(const char16_t* text, const char16_t* lowerNeedle,
                             const char16_t* upperNeedle, int32_t length) noexcept {
  return StrIPos(text, lowerNeedle, upperNeedle, length);
}

const char* FastStrScan(const char* buffer, char unit, int32_t length) noexcept {
  if (buffer == nullptr || length <= 0) return nullptr;
  return FindUnit(buffer, buffer + length, unit);
}

const char16_t* FastStrScanW(const char16_t* buffer, char16_t unit, int32_t length) noexcept {
  if (buffer == nullptr || length <= 0) return nullptr;
  return FindUnit(buffer, buffer + length, unit);
}

bool EqualContentsA(const char* a, const char* b, int32_t length) noexcept {
  if (length <= 0 || a == b) return true;
  if (a == nullptr || b == nullptr) return false;
  return std::memcmp(a, b, static_cast<size_t>(length)) == 0;
}

bool EqualContentsW(const char16_t* a, const char16_t* b, int32_t length) noexcept {
  if (length <= 0 || a == b) return true;
  if (a == nullptr || b == nullptr) return false;
  return std::memcmp(a, b, static_cast<size_t>(length) * sizeof(char16_t)) == 0;
}

int32_t HowFarEqualContentsA(const char* a, const char* b, int32_t length) noexcept {
  if (length <= 0 || a == b || a == nullptr || b == nullptr) return 0;
  const size_t n = static_cast<size_t>(length);
  const size_t i = FirstDifferentByte(reinterpret_cast<const unsigned char*>(a),
                                      reinterpret_cast<const unsigned char*>(b), n);
  return i == n ? 0 : static_cast<int32_t>(n - i - 1);
}

int32_t HowFarEqualContentsW(const char16_t* a, const char16_t* b, int32_t length) noexcept {
  if (length <= 0 || a == b || a == nullptr || b == nullptr) return 0;
  const size_t n = static_cast<size_t>(length);
  const size_t byte = FirstDifferentByte(reinterpret_cast<const unsigned char*>(a),
                                         reinterpret_cast<const unsigned char*>(b),
                                         n * sizeof(char16_t));
  const size_t i = byte / sizeof(char16_t);
  return i == n ? 0 : static_cast<int32_t>(n - i - 1);
}

bool UnicodeSigned(const void* image) noexcept {
  const platform::TTextEncoding signature = platform::SignatureEncoding(image, 2);
  return signature == platform::kEncodingUTF16LE || signature == platform::kEncodingUTF16BE;
}

bool UnicodeByteReversed(const void* image) noexcept {
  return platform::SignatureEncoding(image, 2) == platform::kEncodingUTF16BE;
}

// --- Checksums -------------------------------------------------------------------

uint16_t My2Checksum(const void* data, int32_t wordCount) noexcept {
  if (data == nullptr || wordCount <= 0) return 0;
  const auto* b = static_cast<const unsigned char*>(data);
  uint32_t sum = 0;  // wraps modulo 2^32, a multiple of 2^16
  for (int32_t i = 0; i < wordCount; ++i, b += 2) sum += uint32_t(b[0]) | (uint32_t(b[1]) << 8);
  return static_cast<uint16_t>(sum);
}

uint32_t My4Checksum(const void* data, int32_t byteCount) noexcept {
  if (data == nullptr || byteCount < 4) return 0;
  const auto* b = static_cast<const unsigned char*>(data);
  const int32_t words = byteCount / 4;
  uint32_t sum = 0;
  for (int32_t i = 0; i < words; ++i, b += 4) {
    sum += uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24);
  }
  return sum;
}

// --- Cleaning in place -------------------------------------------------------------

void ReplaceCharacterBySpace(char* buffer, char unit, int32_t length) noexcept {
  ReplaceUnit<char>(buffer, unit, ' ', length);
}

void ReplaceCharacterBySpaceW(char16_t* buffer, char16_t unit, int32_t length) noexcept {
  ReplaceUnit<char16_t>(buffer, unit, u' ', length);
}

void ReplaceTabsBySpace(char* buffer, int32_t length) noexcept {
  ReplaceUnit<char>(buffer, '\t', ' ', length);
}

void ReplaceControlCharsBySpaceA(char* buffer, int32_t length) noexcept {
  ReplaceControlUnits(buffer, length);
}

void ReplaceControlCharsBySpaceW(char16_t* buffer, int32_t length) noexcept {
  ReplaceControlUnits(buffer, length);
}

void ReplaceCarriageReturnsBySpaceA(char* buffer, int32_t length) noexcept {
  ReplaceCarriageReturns(buffer, length);
}

void ReplaceCarriageReturnsBySpaceW(char16_t* buffer, int32_t length) noexcept {
  ReplaceCarriageReturns(buffer, length);
}

void BlankOutSomeBytesA(char* buffer, int32_t count) noexcept { FillUnits(buffer, count, ' '); }

void BlankOutSomeBytesW(char16_t* buffer, int32_t count) noexcept { FillUnits(buffer, count, u' '); }

void ZeroSomeBytesW(char16_t* buffer, int32_t count) noexcept {
  if (buffer == nullptr || count <= 0) return;
  std::memset(buffer, 0, static_cast<size_t>(count) * sizeof(char16_t));
}

void CutLowercaseWords(char* buffer, const ANSILower_or_upperStr_type& lowers,
                       const ANSILower_or_upperStr_type& uppers, int32_t length) noexcept {
  if (buffer == nullptr || length <= 0) return;
  // What a byte above 'z' is: 1 = in the lowercase set (checked first),
  // 2 = in the uppercase set, 0 = neither.
  unsigned char kind[256] = {};
  const unsigned upperCount = std::min<unsigned>(uppers.Length, sizeof uppers.Chars);
  const unsigned lowerCount = std::min<unsigned>(lowers.Length, sizeof lowers.Chars);
  for (unsigned k = 0; k < upperCount; ++k) kind[static_cast<unsigned char>(uppers.Chars[k])] = 2;
  for (unsigned k = 0; k < lowerCount; ++k) kind[static_cast<unsigned char>(lowers.Chars[k])] = 1;

  // Every byte is a word break (0x00-0x20), a capital (A-Z, the uppercase
  // set), a lowercase letter (a-z, the lowercase set) or neutral. A lowercase
  // letter is blanked unless a capital came before it in the same word. The
  // vector paths turn 64 bytes at a time into bit masks of those classes.
  bool hadCapital = false;
  size_t i = 0;
  const size_t n = static_cast<size_t>(length);
#if QN_BARE_AVX2
  if (n >= 64 && WideKernels()) {  // words alone skip the setup
    bool kindsBelow0x80 = false;
    for (unsigned c = 'z' + 1; c < 0x80; ++c) kindsBelow0x80 |= kind[c] != 0;
    i = QN_WIDE_CALL(WideCutLowercaseWords, buffer, n, kind, kindsBelow0x80, hadCapital);
  }
#endif
#if QN_BARE_SSE2
  const __m128i bitOfByte = _mm_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128);
  const __m128i space = _mm_set1_epi8(' ');
  for (; n - i >= 64; i += 64) {
    uint64_t breaks = 0, capitals = 0, lowercase = 0, above = 0;
    for (unsigned part = 0; part < 4; ++part) {
      const __m128i v = Load(buffer + i + 16 * part);
      const unsigned shift = 16 * part;
      breaks |= uint64_t(Mask(_mm_cmpeq_epi8(_mm_min_epu8(v, _mm_set1_epi8(0x20)), v))) << shift;
      capitals |= uint64_t(Mask(InByteRange(v, 'A', 'Z'))) << shift;
      lowercase |= uint64_t(Mask(InByteRange(v, 'a', 'z'))) << shift;
      above |= uint64_t(Mask(AtOrAbove(v, 'z' + 1))) << shift;
    }
    ClassifyBytesAboveZ(buffer + i, above, kind, lowercase, capitals);
    const uint64_t blank = LowercaseToBlank(breaks, capitals, lowercase, hadCapital);
    if (blank == 0) continue;
    for (unsigned part = 0; part < 4; ++part) {
      const uint32_t bits = static_cast<uint32_t>(blank >> (16 * part)) & 0xFFFFu;
      if (bits == 0) continue;
      // Spread the 16 bits over 16 bytes.
      __m128i spread = _mm_cvtsi32_si128(static_cast<int>(bits));
      spread = _mm_unpacklo_epi8(spread, spread);
      spread = _mm_unpacklo_epi16(spread, spread);
      spread = _mm_unpacklo_epi32(spread, spread);
      const __m128i hit = _mm_cmpeq_epi8(_mm_and_si128(spread, bitOfByte), bitOfByte);
      char* at = buffer + i + 16 * part;
      const __m128i v = Load(at);
      Store(at, _mm_or_si128(_mm_andnot_si128(hit, v), _mm_and_si128(hit, space)));
    }
  }
#endif
  for (; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(buffer[i]);
    if (c <= 0x20) {
      hadCapital = false;
    } else if (c <= 0x40) {
      // punctuation and digits: the word goes on as it was
    } else if (c <= 'Z') {
      hadCapital = true;
    } else if (hadCapital || c < 'a') {
      // after the first capital everything stays; so do [ \ ] ^ _ `
    } else if (c <= 'z') {
      buffer[i] = ' ';
    } else if (kind[c] == 1) {
      buffer[i] = ' ';
    } else if (kind[c] == 2) {
      hadCapital = true;
    }
  }
}

void CapitaliseABuffer(char* buffer, const ANSILower_or_upperStr_type& lowers,
                       const ANSILower_or_upperStr_type& uppers, int32_t length) noexcept {
  if (buffer == nullptr || length <= 0) return;
  unsigned char map[256];
  for (unsigned c = 0; c < 256; ++c) map[c] = static_cast<unsigned char>(c);
  for (unsigned c = 'a'; c <= 'z'; ++c) map[c] = static_cast<unsigned char>(c - 0x20);
  const unsigned pairs = std::min<unsigned>(
      std::min<unsigned>(lowers.Length, uppers.Length), sizeof lowers.Chars);
  // Backwards, so that the first position of a byte that occurs twice wins.
  for (unsigned k = pairs; k-- > 0;) {
    const unsigned char lower = static_cast<unsigned char>(lowers.Chars[k]);
    if (lower > 'z') map[lower] = static_cast<unsigned char>(uppers.Chars[k]);
  }
  size_t i = 0;
  const size_t n = static_cast<size_t>(length);
#if QN_BARE_AVX2
  if (n >= 32 && WideKernels()) {  // words alone skip the setup
    bool mapsBelow0x80 = false;
    for (unsigned c = 'z' + 1; c < 0x80; ++c) mapsBelow0x80 |= map[c] != c;
    i = QN_WIDE_CALL(WideCapitalise, buffer, n, map, mapsBelow0x80);
  }
#endif
#if QN_BARE_SSE2
  // a-z a vector at a time; the few bytes above 'z' through the table.
  const __m128i caseBit = _mm_set1_epi8(0x20);
  for (; n - i >= 16; i += 16) {
    char* at = buffer + i;
    const __m128i v = Load(at);
    const __m128i lowercase = InByteRange(v, 'a', 'z');
    const uint32_t above = Mask(AtOrAbove(v, 'z' + 1));
    if (Mask(lowercase) != 0) Store(at, _mm_sub_epi8(v, _mm_and_si128(lowercase, caseBit)));
    for (uint32_t m = above; m != 0; m &= m - 1) {
      const unsigned k = CountTrailingZeros(m);
      at[k] = static_cast<char>(map[static_cast<unsigned char>(at[k])]);
    }
  }
#endif
  for (; i < n; ++i) buffer[i] = static_cast<char>(map[static_cast<unsigned char>(buffer[i])]);
}

void SearchAndReplaceFastW(char16_t* buffer, const char16_t* needle, const char16_t* replacement,
                           int32_t length, int32_t needleLength) noexcept {
  if (buffer == nullptr || needle == nullptr || replacement == nullptr || needleLength <= 0 ||
      length < needleLength) {
    return;
  }
  const size_t n = static_cast<size_t>(length);
  const size_t m = static_cast<size_t>(needleLength);
  size_t from = 0;
  while (n - from >= m) {
    const char16_t* hit = m == 1 ? FindUnit<char16_t>(buffer + from, buffer + n, needle[0])
                                 : FindNeedle<char16_t, false>(buffer + from, n - from, needle,
                                                               needle, m);
    if (hit == nullptr) break;
    const size_t at = static_cast<size_t>(hit - buffer);
    std::memmove(buffer + at, replacement, m * sizeof(char16_t));
    from = at + m;
  }
}

void Swap2Strings(char16_t* buffer, int32_t firstLength, int32_t secondLength) noexcept {
  if (buffer == nullptr || firstLength <= 0 || secondLength <= 0 || buffer[0] == 0) return;
  // Rotate the a + b units right by b places, following each permutation
  // cycle with one spare unit.
  const int64_t total = int64_t(firstLength) + secondLength;
  const int64_t shift = secondLength;
  int64_t moves = 0;
  for (int64_t start = 0; moves < total; ++start) {
    char16_t carried = buffer[start];
    int64_t position = start;
    do {
      int64_t target = position + shift;
      if (target >= total) target -= total;
      const char16_t displaced = buffer[target];
      buffer[target] = carried;
      carried = displaced;
      position = target;
      ++moves;
    } while (position != start);
  }
}

void SetZeroWidthJoinersToDefined(const char16_t* text, uint16_t* types, int32_t length) noexcept {
  if (text == nullptr || types == nullptr || length <= 0) return;
  const char16_t* const end = text + length;
  for (const char16_t* p = text; (p = FindUnit<char16_t>(p, end, u'\u200D')) != nullptr; ++p) {
    types[p - text] = kBareC1Defined;
  }
}

void SetZeroWidthNonJoinersToDefinedAlpha(const char16_t* text, uint16_t* types,
                                          int32_t length) noexcept {
  if (text == nullptr || types == nullptr || length <= 0) return;
  const char16_t* const end = text + length;
  for (const char16_t* p = text; (p = FindUnit<char16_t>(p, end, u'\u200C')) != nullptr; ++p) {
    types[p - text] = kBareC1Defined | kBareC1Alpha;
  }
}

// --- Compacting in place ------------------------------------------------------------

void ClearBetweenChars(char* buffer, char opening, char closing, int32_t length) noexcept {
  CleanSections(buffer, opening, closing, length, INT64_MAX, true);
}

void CleanBetweenChars(char* buffer, char opening, char closing, int32_t length, int32_t maxSpan,
                       bool removeEntirely) noexcept {
  CleanSections(buffer, opening, closing, length, maxSpan, removeEntirely);
}

int32_t RemoveRedundantSpaceW(char16_t* buffer, int32_t length) noexcept {
  if (buffer == nullptr || length < 0) return 0;
  const size_t n = static_cast<size_t>(length);
  size_t read = 0;
  size_t write = 0;
  bool afterSpace = false;  // the unit before `read`, as it was in the input
#if QN_BARE_AVX2
  if (WideKernels()) QN_WIDE_CALL(WideCollapseSpaces, buffer, n, read, write, afterSpace);
#endif
#if QN_BARE_SSE2
  using L = Lanes<char16_t>;
  const __m128i space = L::Splat(u' ');
  for (; n - read >= static_cast<size_t>(L::kUnits); read += L::kUnits) {
    const __m128i v = Load(buffer + read);
    const uint32_t spaces = Mask(L::Eq(v, space));
    // A space is dropped when the unit before it is a space too.
    const uint32_t drop = spaces & ((spaces << 2) | (afterSpace ? 3u : 0u));
    afterSpace = (spaces >> 15) != 0;
    write = WriteKept(buffer, write, read, v, drop);
  }
#endif
  for (; read < n; ++read) {
    const char16_t c = buffer[read];
    if (c == u' ' && afterSpace) continue;
    afterSpace = c == u' ';
    buffer[write++] = c;
  }
  buffer[write] = 0;
  return static_cast<int32_t>(write);
}

void CutDoubleCRLFsW(char16_t* buffer, int32_t length) noexcept {
  if (buffer == nullptr || length < 4) return;
  const size_t n = static_cast<size_t>(length);
  static constexpr char16_t kTwoPairs[] = u"\r\n\r\n";
  size_t read = 0;
  size_t write = 0;
  while (n - read >= 4) {
    const char16_t* run = FindNeedle<char16_t, false>(buffer + read, n - read, kTwoPairs,
                                                      kTwoPairs, 4);
    if (run == nullptr) break;
    size_t at = static_cast<size_t>(run - buffer);
    write = KeepRun(buffer, write, read, at);
    // Skip pairs while another pair follows; the last pair of the run stays.
    while (at + 4 <= n && buffer[at] == u'\r' && buffer[at + 1] == u'\n' &&
           buffer[at + 2] == u'\r' && buffer[at + 3] == u'\n') {
      at += 2;
    }
    read = at;
  }
  if (write == read) return;  // nothing removed: the buffer stays untouched
  write = KeepRun(buffer, write, read, n);
  buffer[write] = 0;
}

int32_t LengthConvertedToUnix(char* buffer, int32_t length) noexcept {
  if (buffer == nullptr || length <= 0) return 0;
  // The 256-bit kernel compacts block by block; otherwise each LF is found
  // with the vector scan and the line before it moved down in one piece.
  const size_t n = static_cast<size_t>(length);
  const char* const end = buffer + n;
  size_t read = 0;
  size_t write = 0;
#if QN_BARE_AVX2
  if (WideKernels()) QN_WIDE_CALL(WideDropByte, buffer, n, '\n', read, write);
#endif
  while (read < n) {
    const char* lf = FindUnit<char>(buffer + read, end, '\n');
    const size_t at = lf != nullptr ? static_cast<size_t>(lf - buffer) : n;
    write = KeepRun(buffer, write, read, at);
    read = at + 1;
  }
  return static_cast<int32_t>(write);
}

int bare_detail::LimitKernelLevel(int level) noexcept {
  g_kernelCap.store(level, std::memory_order_relaxed);
  return KernelLevel();
}

}  // namespace qn
