#include "platform/TextDetection.h"

#include <array>
#include <cmath>

#include <unicode/utf8.h>

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
bool LooksLikeUtf8OrAscii(const uint8_t* s, size_t count) {
  size_t i = 0;
  while (i < count) {
    if (s[i] < 0x80) {
      ++i;
      continue;
    }
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

struct TOrderEvidence {
  bool plausible = false;
  double score = 0.0;  // 0: no evidence
};

// Judges the units of one byte order. hi/lo give the offsets of the high and
// low byte of a unit.
TOrderEvidence Judge(const uint8_t* s, size_t units, int hi, int lo, uint32_t zeroHigh, uint32_t zeroLow,
                     double highEntropy, double lowEntropy) {
  const uint16_t* flags = CharType1Table();
  size_t bad = 0, privateUse = 0, lowHighBytes = 0;
  for (size_t i = 0; i < units; ++i) {
    char16_t u = char16_t((s[2 * i + size_t(hi)] << 8) | s[2 * i + size_t(lo)]);
    if (u < 0x8000) ++lowHighBytes;
    if (u >= 0xD800 && u <= 0xDFFF) {
      if (u <= 0xDBFF && i + 1 < units) {
        char16_t next = char16_t((s[2 * (i + 1) + size_t(hi)] << 8) | s[2 * (i + 1) + size_t(lo)]);
        if (next >= 0xDC00 && next <= 0xDFFF) {
          ++i;
          continue;
        }
      }
      ++bad;
      continue;
    }
    if (u < 0x20) {
      if (!(u == 0x09 || u == 0x0A || u == 0x0B || u == 0x0C || u == 0x0D || u == 0x1A)) ++bad;
      continue;
    }
    if (u >= 0x7F && u <= 0x9F) {
      ++bad;
      continue;
    }
    if (flags[u] == 0) {  // unassigned or a noncharacter
      ++bad;
      continue;
    }
    if (u >= 0xE000 && u <= 0xF8FF) ++privateUse;
  }
  TOrderEvidence evidence;
  if (bad * 64 > units || privateUse * 50 > units) return evidence;
  evidence.plausible = true;
  if (zeroHigh * 8 >= units && zeroHigh >= 4 * zeroLow) {
    evidence.score = 1.0 + double(zeroHigh) / double(units);
  } else if (units >= 32 && lowEntropy - highEntropy >= 1.0 && lowHighBytes * 8 >= units) {
    evidence.score = (lowEntropy - highEntropy) / 8.0;
  }
  return evidence;
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

  std::array<uint32_t, 256> even{}, odd{};
  for (size_t i = 0; i < units; ++i) {
    ++even[s[2 * i]];
    ++odd[s[2 * i + 1]];
  }
  // Without a single zero byte, well-formed UTF-8 is UTF-8, and ASCII is
  // ASCII unless one byte of each pair is mostly a control byte: the block
  // number of an alphabetic script (Greek 03, Cyrillic 04, Thai 0E, ...).
  if (even[0] == 0 && odd[0] == 0 && LooksLikeUtf8OrAscii(s, units * 2)) {
    uint32_t evenControls = 0, oddControls = 0;
    for (int b = 1; b < 0x20; ++b) {
      evenControls += even[size_t(b)];
      oddControls += odd[size_t(b)];
    }
    bool ascii = true;
    for (int b = 0x80; b < 0x100 && ascii; ++b) ascii = even[size_t(b)] == 0 && odd[size_t(b)] == 0;
    if (!ascii || (evenControls * 4 < units && oddControls * 4 < units)) return TUtf16Detection::NotUtf16;
  }

  double evenEntropy = Entropy(even, uint32_t(units));
  double oddEntropy = Entropy(odd, uint32_t(units));
  // Little-endian: the high byte is the odd one.
  TOrderEvidence little = Judge(s, units, 1, 0, odd[0], even[0], oddEntropy, evenEntropy);
  TOrderEvidence big = Judge(s, units, 0, 1, even[0], odd[0], evenEntropy, oddEntropy);
  bool littleOk = little.plausible && little.score > 0.0;
  bool bigOk = big.plausible && big.score > 0.0;
  if (littleOk && (!bigOk || little.score >= big.score)) return TUtf16Detection::LittleEndian;
  if (bigOk) return TUtf16Detection::BigEndian;
  return TUtf16Detection::NotUtf16;
}

bool IsTextUnicode(const void* bytes, size_t count) noexcept {
  const unsigned char* b = static_cast<const unsigned char*>(bytes);
  if (b && count >= 2 && b[0] == 0xFF && b[1] == 0xFE) return true;
  return DetectUtf16WithoutMark(bytes, count) == TUtf16Detection::LittleEndian;
}

}  // namespace qn::platform
