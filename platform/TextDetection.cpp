#include "platform/TextDetection.h"

#include <array>
#include <cmath>

#include <unicode/utf8.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/CharTypes.h"

namespace qn::platform {

namespace {

constexpr size_t kSampleBytes = 64 * 1024;

// Shannon entropy in bits of a byte histogram over total samples.
double Entropy(const std::array<uint32_t, 256>& histogram, uint32_t total) {
  if (total == 0) return 0.0;
  double entropy = 0.0;
  for (uint32_t count : histogram) {
    if (count == 0) continue;
    double p = double(count) / double(total);
    entropy -= p * std::log2(p);
  }
  return entropy;
}

// True when the bytes are ASCII only, or well-formed UTF-8 with at least one
// multi-byte sequence; a sequence cut off by the end of the sample counts as
// well-formed.
bool LooksLikeUtf8OrAscii(const uint8_t* s, size_t count, bool& ascii) {
  ascii = true;
  size_t i = 0;
  while (i < count) {
#if defined(__SSE2__)
    if (count - i >= 16) {  // ASCII 16 bytes at a time
      const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
      const unsigned high = static_cast<unsigned>(_mm_movemask_epi8(x));
      if (high == 0) {
        i += 16;
        continue;
      }
      i += static_cast<size_t>(__builtin_ctz(high));
    }
#endif
    if (s[i] < 0x80) {
      ++i;
      continue;
    }
    ascii = false;
    int32_t window = int32_t(count - i < 4 ? count - i : 4);
    int32_t k = 0;
    UChar32 c;
    U8_NEXT(s + i, k, window, c);
    if (c < 0) {
      // Tolerate only a truncated sequence at the very end of the sample.
      int need = s[i] >= 0xF0 ? 4 : s[i] >= 0xE0 ? 3 : 2;
      if (s[i] >= 0xC2 && s[i] <= 0xF4 && window < need && i + size_t(k) == count) return true;
      return false;
    }
    i += size_t(k);
  }
  return true;
}

// The zero bytes at even and at odd places of the first 2 * units bytes.
void CountZeroBytes(const uint8_t* s, size_t units, uint32_t& even, uint32_t& odd) noexcept {
  size_t i = 0;
  even = odd = 0;
#if defined(__SSE2__)
  // Per block, a mask of the zero bytes: even places are its even bits.
  const auto bits = [](unsigned x) {
    x = x - ((x >> 1) & 0x5555u);
    x = (x & 0x3333u) + ((x >> 2) & 0x3333u);
    x = (x + (x >> 4)) & 0x0F0Fu;
    return (x + (x >> 8)) & 0x1Fu;
  };
  const __m128i zero = _mm_setzero_si128();
  for (; units - i >= 8; i += 8) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 2 * i));
    const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, zero)));
    if (mask == 0) continue;
    even += bits(mask & 0x5555u);
    odd += bits(mask & 0xAAAAu);
  }
#endif
  for (; i < units; ++i) {
    even += s[2 * i] == 0;
    odd += s[2 * i + 1] == 0;
  }
}

// Units that make a sample implausible as UTF-16 (surrogates aside, which
// are judged in pairs): controls other than TAB, LF, VT, FF, CR and SUB, C1
// controls, unassigned code points and noncharacters. One bit per unit
// (8 KiB, made once from the character table), so that judging a unit is a
// load and a shift rather than a walk through branches.
class TBadUnits {
 public:
  TBadUnits() noexcept {
    const uint16_t* flags = CharType1Table();
    for (uint32_t u = 0; u < 0x10000; ++u) {
      bool bad;
      if (u < 0x20) {
        bad = !(u == 0x09 || u == 0x0A || u == 0x0B || u == 0x0C || u == 0x0D || u == 0x1A);
      } else if (u >= 0x7F && u <= 0x9F) {
        bad = true;
      } else {
        bad = flags[u] == 0;
      }
      if (bad) fBits[u >> 6] |= uint64_t{1} << (u & 63);
    }
    FindCommonRanges();
  }
  uint32_t operator()(char16_t u) const noexcept { return uint32_t(fBits[u >> 6] >> (u & 63)) & 1u; }

#if defined(__SSE2__)
  // Ranges of units of the common scripts that hold no bad, private-use or
  // surrogate unit (each checked against the table when it is made; a range
  // that fails is left out): a block of 8 units all inside them is passed
  // over whole. Bounds are stored with the top bit flipped, minus and plus
  // one, for SSE2's signed comparisons.
  bool AllCommon(const uint8_t* p, bool bigEndian) const noexcept {
    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    if (bigEndian) x = _mm_or_si128(_mm_slli_epi16(x, 8), _mm_srli_epi16(x, 8));
    x = _mm_xor_si128(x, _mm_set1_epi16(static_cast<short>(0x8000)));
    __m128i in = _mm_setzero_si128();
    for (const TRange& r : fCommon)
      in = _mm_or_si128(in, _mm_and_si128(_mm_cmpgt_epi16(x, _mm_set1_epi16(r.below)),
                                          _mm_cmplt_epi16(x, _mm_set1_epi16(r.above))));
    return _mm_movemask_epi8(in) == 0xFFFF;
  }
#endif

 private:
  struct TRange {
    short below, above;
  };
  void AddCommon(uint32_t first, uint32_t last) noexcept {
    for (uint32_t u = first; u <= last; ++u)
      if ((*this)(char16_t(u)) != 0) return;
    fCommon[fCommonCount++] = {static_cast<short>((first - 1) ^ 0x8000), static_cast<short>((last + 1) ^ 0x8000)};
  }

  std::array<uint64_t, 1024> fBits{};
  // Line ends and tabs, ASCII, Latin, Cyrillic, CJK ideographs, Hangul.
  std::array<TRange, 6> fCommon{};  // unused entries match nothing
  size_t fCommonCount = 0;

 public:
  void FindCommonRanges() noexcept {
    for (TRange& r : fCommon) r = {static_cast<short>(0x7FFF), static_cast<short>(-0x8000)};
    AddCommon(0x09, 0x0D);
    AddCommon(0x20, 0x7E);
    AddCommon(0xA0, 0x24F);
    AddCommon(0x400, 0x52F);
    AddCommon(0x4E00, 0x9FA5);
    AddCommon(0xAC00, 0xD7A3);
  }
};

const TBadUnits& BadUnits() {
  static const TBadUnits bad;
  return bad;
}

// Whether the units of one byte order are plausible text (at most one unit in
// 64 bad, one in 50 private-use). hi/lo give the offsets of the high and low
// byte of a unit. Stops as soon as the answer is no.
bool Plausible(const uint8_t* s, size_t units, int hi, int lo) {
  const TBadUnits& isBad = BadUnits();
  size_t bad = 0, privateUse = 0;
  const size_t badLimit = units / 64, privateLimit = units / 50;
  size_t blockEnd = 0;  // units before it are judged one by one
  for (size_t i = 0; i < units; ++i) {
#if defined(__SSE2__)
    if (i >= blockEnd && units - i >= 8) {
      if (isBad.AllCommon(s + 2 * i, hi == 0)) {
        i += 7;
        continue;
      }
      blockEnd = i + 8;
    }
#endif
    const char16_t u = char16_t((s[2 * i + size_t(hi)] << 8) | s[2 * i + size_t(lo)]);
    if ((u & 0xF800) == 0xD800) {  // a surrogate: good only as a lead before a trail
      if (u <= 0xDBFF && i + 1 < units) {
        const char16_t next = char16_t((s[2 * (i + 1) + size_t(hi)] << 8) | s[2 * (i + 1) + size_t(lo)]);
        if (next >= 0xDC00 && next <= 0xDFFF) {
          ++i;
          continue;
        }
      }
      ++bad;
    } else {
      const uint32_t b = isBad(u);
      bad += b;
      privateUse += (b ^ 1u) & uint32_t(u >= 0xE000 && u <= 0xF8FF);
    }
    if (bad > badLimit || privateUse > privateLimit) {
      // bad * 64 > units exactly when bad > units / 64 (and so for 50).
      return false;
    }
  }
  return true;
}

// The evidence for one byte order from the byte counts alone: 0 for none.
double OrderScore(size_t units, uint32_t zeroHigh, uint32_t zeroLow, double highEntropy, double lowEntropy,
                  size_t lowHighBytes) {
  if (zeroHigh * 8 >= units && zeroHigh >= 4 * zeroLow) return 1.0 + double(zeroHigh) / double(units);
  if (units >= 32 && lowEntropy - highEntropy >= 1.0 && lowHighBytes * 8 >= units)
    return (lowEntropy - highEntropy) / 8.0;
  return 0.0;
}

}  // namespace

TUtf16Detection DetectUtf16WithoutMark(const void* bytes, size_t count) noexcept {
  if (!bytes || count < 2 || (count & 1)) return TUtf16Detection::NotUtf16;
  const uint8_t* s = static_cast<const uint8_t*>(bytes);
  size_t sample = count < kSampleBytes ? count : kSampleBytes;
  size_t units = sample / 2;
  // Terminating zero units say nothing either way (only at the end of the
  // whole buffer, not of a sample cut from its middle).
  if (sample == count)
    while (units > 0 && s[2 * units - 2] == 0 && s[2 * units - 1] == 0) --units;
  if (units == 0) return TUtf16Detection::NotUtf16;

  // The zero bytes decide most samples at once. Without any, the sample is
  // checked for UTF-8 and ASCII first (below). With enough of them at one
  // place, that byte order has the strongest evidence there can be (any
  // score from the byte distribution is at most 1), so if its units are
  // plausible it wins, and nothing else need be counted.
  uint32_t zeroEven, zeroOdd;
  CountZeroBytes(s, units, zeroEven, zeroOdd);
  if (zeroOdd * 8 >= units && zeroOdd >= 4 * zeroEven && Plausible(s, units, 1, 0))
    return TUtf16Detection::LittleEndian;
  if (zeroEven * 8 >= units && zeroEven >= 4 * zeroOdd && Plausible(s, units, 0, 1))
    return TUtf16Detection::BigEndian;

  // Without a single zero byte, well-formed UTF-8 is UTF-8, and ASCII is
  // ASCII unless one byte of each pair is mostly a control byte: the block
  // number of an alphabetic script (Greek 03, Cyrillic 04, Thai 0E, ...).
  bool ascii = false;
  if (zeroEven == 0 && zeroOdd == 0 && LooksLikeUtf8OrAscii(s, units * 2, ascii)) {
    if (!ascii) return TUtf16Detection::NotUtf16;
    size_t evenControls = 0, oddControls = 0;
    for (size_t k = 0; k < units; ++k) {
      evenControls += s[2 * k] < 0x20;
      oddControls += s[2 * k + 1] < 0x20;
    }
    if (evenControls * 4 < units && oddControls * 4 < units) return TUtf16Detection::NotUtf16;
  }

  // Four histograms of each byte place, added up after: consecutive units
  // with the same byte do not wait for each other's count.
  std::array<std::array<uint32_t, 256>, 4> counts{};
  size_t i = 0;
  for (; i + 2 <= units; i += 2) {
    ++counts[0][s[2 * i]];
    ++counts[1][s[2 * i + 1]];
    ++counts[2][s[2 * i + 2]];
    ++counts[3][s[2 * i + 3]];
  }
  if (i < units) {
    ++counts[0][s[2 * i]];
    ++counts[1][s[2 * i + 1]];
  }
  std::array<uint32_t, 256> even, odd;
  for (size_t b = 0; b < 256; ++b) {
    even[b] = counts[0][b] + counts[2][b];
    odd[b] = counts[1][b] + counts[3][b];
  }
  // The score of each order follows from the counts; only an order with
  // some evidence needs its units judged, and the stronger one first (the
  // little-endian one on a tie): if it is plausible it wins.
  const double evenEntropy = Entropy(even, uint32_t(units));
  const double oddEntropy = Entropy(odd, uint32_t(units));
  size_t evenBelow80 = 0, oddBelow80 = 0;
  for (size_t b = 0; b < 0x80; ++b) {
    evenBelow80 += even[b];
    oddBelow80 += odd[b];
  }
  // Little-endian: the high byte is the odd one.
  const double little = OrderScore(units, odd[0], even[0], oddEntropy, evenEntropy, oddBelow80);
  const double big = OrderScore(units, even[0], odd[0], evenEntropy, oddEntropy, evenBelow80);
  const auto littleOk = [&] { return little > 0.0 && Plausible(s, units, 1, 0); };
  const auto bigOk = [&] { return big > 0.0 && Plausible(s, units, 0, 1); };
  if (little >= big) {
    if (littleOk()) return TUtf16Detection::LittleEndian;
    if (bigOk()) return TUtf16Detection::BigEndian;
  } else {
    if (bigOk()) return TUtf16Detection::BigEndian;
    if (littleOk()) return TUtf16Detection::LittleEndian;
  }
  return TUtf16Detection::NotUtf16;
}

TTextEncoding SignatureEncoding(const void* bytes, size_t count) noexcept {
  const auto* b = static_cast<const uint8_t*>(bytes);
  if (b == nullptr || count < 2) return kEncodingDefault;
  if (count >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) return kEncodingUTF8;
  if (b[0] == 0xFF && b[1] == 0xFE) return kEncodingUTF16LE;
  if (b[0] == 0xFE && b[1] == 0xFF) return kEncodingUTF16BE;
  return kEncodingDefault;
}

size_t SignatureLength(TTextEncoding encoding) noexcept {
  switch (encoding) {
    case kEncodingUTF8: return 3;
    case kEncodingUTF16LE:
    case kEncodingUTF16BE: return 2;
    default: return 0;
  }
}

bool IsTextUnicode(const void* bytes, size_t count) noexcept {
  if (SignatureEncoding(bytes, count) == kEncodingUTF16LE) return true;
  return DetectUtf16WithoutMark(bytes, count) == TUtf16Detection::LittleEndian;
}

}  // namespace qn::platform
