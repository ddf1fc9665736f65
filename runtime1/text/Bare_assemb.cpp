// Buffer routines over raw character buffers.
//
// The vector work lives in one file per instruction-set level, each included
// here inside a namespace of its own: Bare_assemb_sse2.inc (128-bit, which
// every x86-64 processor has; elsewhere Bare_assemb_plain.inc, which has no
// vector loops) and Bare_assemb_wide.inc (the 256-bit cleaners, compiled once
// for AVX2 and once more with AVX-512 steps). A level's loops run over whole
// blocks and say where they stopped; the routines below check their arguments,
// call them, and finish the last few units one at a time. The searches use
// the 128-bit loops directly. The cleaners that have 256-bit forms go through
// a table of the levels' kernels, chosen once from what the processor has,
// so the library still loads on any x86-64.
#include "runtime1/text/Bare_assemb.h"

#include <algorithm>
#include <atomic>
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

#if QN_BARE_SSE2 && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define QN_BARE_AVX2 1
#else
#define QN_BARE_AVX2 0
#endif

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

// What a byte above 'z' is to CutLowercaseWords, by the caller's letter sets
// (a byte in both counts as lowercase).
enum class ByteKind : unsigned char { kNeither, kLowercase, kCapital };

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
// the caller's letter sets.
inline void ClassifyBytesAboveZ(const char* block, uint64_t above, const ByteKind* kind,
                                uint64_t& lowercase, uint64_t& capitals) noexcept {
  for (uint64_t m = above; m != 0; m &= m - 1) {
    const unsigned bit = static_cast<unsigned>(__builtin_ctzll(m));
    const ByteKind k = kind[static_cast<unsigned char>(block[bit])];
    if (k == ByteKind::kLowercase) lowercase |= uint64_t(1) << bit;
    if (k == ByteKind::kCapital) capitals |= uint64_t(1) << bit;
  }
}

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

// --- The levels' kernels ---------------------------------------------------------------

// 0: the 128-bit loops (or none, without SSE2); 1: the 256-bit kernels for
// AVX2; 2: the same with their AVX-512 steps (byte compression, 64-byte masks).
// Tests cap the level to run every form on one machine.
enum KernelLevelNumber : int { kLevel128 = 0, kLevelAvx2 = 1, kLevelAvx512 = 2 };

// The cleaners of one level over whole blocks, for one unit width: each takes
// [p, end) and returns where it stopped.
template <typename U>
struct UnitCleaners {
  U* (*replaceControls)(U* p, U* end) noexcept;
  U* (*replaceCarriageReturns)(U* p, U* end) noexcept;  // each CR, and an LF after it
};

// What one level does of each cleaner: whole blocks from the position given,
// which it advances (or returns); the routine finishes the rest.
struct CleanerKernels {
  int level;
  UnitCleaners<char> bytes;
  UnitCleaners<char16_t> units;
  size_t (*capitalise)(char* buffer, size_t n, size_t i, const unsigned char* map) noexcept;
  size_t (*cutLowercase)(char* buffer, size_t n, size_t i, const ByteKind* kind,
                         bool& hadCapital) noexcept;
  void (*collapseSpaces)(char16_t* buffer, size_t n, size_t& read, size_t& write,
                         bool& afterSpace) noexcept;
  void (*dropByte)(char* buffer, size_t n, char unit, size_t& read, size_t& write) noexcept;
  void (*cleanSections)(char* buffer, size_t n, const SectionRules& rules, SectionState& state,
                        size_t& read, size_t& write) noexcept;

  template <typename U>
  const UnitCleaners<U>& For() const noexcept {
    if constexpr (std::is_same_v<U, char>) {
      return bytes;
    } else {
      return units;
    }
  }
};

// The entries of a level that has no block loop for a cleaner.
template <typename U>
U* NoBlocks(U* p, U*) noexcept {
  return p;
}
void NoDropByteBlocks(char*, size_t, char, size_t&, size_t&) noexcept {}
void NoSectionBlocks(char*, size_t, const SectionRules&, SectionState&, size_t&, size_t&) noexcept {}

#if QN_BARE_SSE2
namespace sse2 {
#include "runtime1/text/Bare_assemb_sse2.inc"
}  // namespace sse2
namespace blocks = sse2;
#else
namespace plain {
#include "runtime1/text/Bare_assemb_plain.inc"
}  // namespace plain
namespace blocks = plain;
#endif

// --- Scanning ------------------------------------------------------------------------

// First unit equal to u in [p, end), or null.
template <typename U>
const U* FindUnit(const U* p, const U* end, U u) noexcept {
  if (const U* hit = blocks::FindUnitBlocks(p, end, u)) return hit;
  for (; p < end; ++p) {
    if (*p == u) return p;
  }
  return nullptr;
}

// First unit equal to u1 or u2 in [p, end), or null.
template <typename U>
const U* FindEitherUnit(const U* p, const U* end, U u1, U u2) noexcept {
  if (u1 == u2) return FindUnit(p, end, u1);
  if (const U* hit = blocks::FindEitherUnitBlocks(p, end, u1, u2)) return hit;
  for (; p < end; ++p) {
    if (*p == u1 || *p == u2) return p;
  }
  return nullptr;
}

// Leftmost start in [0, n - L] where the needle matches; needleLength >= 2,
// needleLength <= n.
template <typename U, bool kCaseless>
const U* FindNeedle(const U* text, size_t n, const U* lower, const U* upper,
                    size_t needleLength) noexcept {
  size_t i = 0;
  if (const U* hit =
          blocks::FindNeedleBlocks<U, kCaseless>(text, n, lower, upper, needleLength, i)) {
    return hit;
  }
  const size_t lastStart = n - needleLength;
  const size_t tailOffset = needleLength - 1;
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
  if (blocks::FirstDifferenceInBlocks(a, b, n, i)) return i;
  for (; i < n; ++i) {
    if (a[i] != b[i]) return i;
  }
  return n;
}

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

#if QN_BARE_AVX2
// --- What the 256-bit levels share ----------------------------------------------------

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
void HighSetColumns(const ByteKind* kind, ByteKind which, unsigned char* columns64) noexcept {
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

// --- The choice of level ------------------------------------------------------------

constexpr const CleanerKernels* kLevels[] = {
    &blocks::kKernels,
#if QN_BARE_AVX2
    &avx2::kKernels,
    &avx512::kKernels,
#endif
};

// The widest level this processor has.
int BestKernelLevel() noexcept {
#if QN_BARE_AVX2
  __builtin_cpu_init();  // may run before the constructors that would do it
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
      __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi2")) {
    return kLevelAvx512;
  }
  if (__builtin_cpu_supports("avx2")) return kLevelAvx2;
#endif
  return kLevel128;
}

// The kernels of the widest level up to `cap` that this processor has.
const CleanerKernels* KernelsUpTo(int cap) noexcept {
  static const int best = BestKernelLevel();
  return kLevels[std::clamp(cap, int{kLevel128}, best)];
}

// The kernels in use. Chosen when the library is loaded, or at the first call
// if another library's start-up calls first; a test's cap replaces them.
std::atomic<const CleanerKernels*> g_kernels{nullptr};

const CleanerKernels& Kernels() noexcept {
  const CleanerKernels* kernels = g_kernels.load(std::memory_order_relaxed);
  if (kernels == nullptr) [[unlikely]] {
    const CleanerKernels* none = nullptr;
    kernels = KernelsUpTo(kLevelAvx512);
    if (!g_kernels.compare_exchange_strong(none, kernels, std::memory_order_relaxed)) {
      kernels = none;  // a test's cap came first
    }
  }
  return *kernels;
}

[[maybe_unused]] const bool g_kernelsChosen = (Kernels(), true);

// --- The cleaners' shared passes ------------------------------------------------------

template <typename U>
void ReplaceUnit(U* buffer, U unit, U by, int32_t length) noexcept {
  if (buffer == nullptr || length <= 0) return;
  U* const end = buffer + length;
  for (U* p = blocks::ReplaceUnitBlocks(buffer, end, unit, by); p < end; ++p) {
    if (*p == unit) *p = by;
  }
}

template <typename U>
void ReplaceControlUnits(U* buffer, int32_t length) noexcept {
  if (buffer == nullptr || length <= 0) return;
  U* const end = buffer + length;
  for (U* p = Kernels().For<U>().replaceControls(buffer, end); p < end; ++p) {
    if (static_cast<std::make_unsigned_t<U>>(*p) < 0x20) *p = U(' ');
  }
}

template <typename U>
void ReplaceCarriageReturns(U* buffer, int32_t length) noexcept {
  if (buffer == nullptr || length <= 0) return;
  U* const end = buffer + length;
  const U* p = Kernels().For<U>().replaceCarriageReturns(buffer, end);
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

// The shared pass of ClearBetweenChars and CleanBetweenChars. Whole blocks go
// through the level's kernels; the rest moves runs between opening bytes down
// in one piece. The position of the next closing byte is remembered, so each
// byte is scanned a bounded number of times whatever the input (a text full of
// unmatched opening bytes stays linear).
void CleanSections(char* buffer, char opening, char closing, int32_t length, int64_t maxSpan,
                   bool removeEntirely) noexcept {
  if (buffer == nullptr || length < 0) return;
  const size_t n = static_cast<size_t>(length);
  const char* const end = buffer + n;
  const SectionRules rules{opening, closing, maxSpan, removeEntirely};
  SectionState state;
  size_t read = 0;
  size_t write = 0;
  Kernels().cleanSections(buffer, n, rules, state, read, write);
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
  // What each byte above 'z' is; a byte in both sets counts as lowercase.
  ByteKind kind[256] = {};
  const unsigned upperCount = std::min<unsigned>(uppers.Length, sizeof uppers.Chars);
  const unsigned lowerCount = std::min<unsigned>(lowers.Length, sizeof lowers.Chars);
  for (unsigned k = 0; k < upperCount; ++k) {
    kind[static_cast<unsigned char>(uppers.Chars[k])] = ByteKind::kCapital;
  }
  for (unsigned k = 0; k < lowerCount; ++k) {
    kind[static_cast<unsigned char>(lowers.Chars[k])] = ByteKind::kLowercase;
  }

  // Every byte is a word break (0x00-0x20), a capital (A-Z, the uppercase
  // set), a lowercase letter (a-z, the lowercase set) or neutral. A lowercase
  // letter is blanked unless a capital came before it in the same word. The
  // kernels turn 64 bytes at a time into bit masks of those classes.
  bool hadCapital = false;
  const size_t n = static_cast<size_t>(length);
  for (size_t i = Kernels().cutLowercase(buffer, n, 0, kind, hadCapital); i < n; ++i) {
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
    } else if (kind[c] == ByteKind::kLowercase) {
      buffer[i] = ' ';
    } else if (kind[c] == ByteKind::kCapital) {
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
  const size_t n = static_cast<size_t>(length);
  for (size_t i = Kernels().capitalise(buffer, n, 0, map); i < n; ++i) {
    buffer[i] = static_cast<char>(map[static_cast<unsigned char>(buffer[i])]);
  }
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
  Kernels().collapseSpaces(buffer, n, read, write, afterSpace);
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
  // The level's kernel compacts whole blocks; then each LF is found with the
  // vector scan and the line before it moved down in one piece.
  const size_t n = static_cast<size_t>(length);
  const char* const end = buffer + n;
  size_t read = 0;
  size_t write = 0;
  Kernels().dropByte(buffer, n, '\n', read, write);
  while (read < n) {
    const char* lf = FindUnit<char>(buffer + read, end, '\n');
    const size_t at = lf != nullptr ? static_cast<size_t>(lf - buffer) : n;
    write = KeepRun(buffer, write, read, at);
    read = at + 1;
  }
  return static_cast<int32_t>(write);
}

int bare_detail::LimitKernelLevel(int level) noexcept {
  const CleanerKernels* kernels = KernelsUpTo(level);
  g_kernels.store(kernels, std::memory_order_relaxed);
  return kernels->level;
}

}  // namespace qn
