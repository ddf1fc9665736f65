#include "runtime1/files/FileOfChar.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>
#include <unistd.h>

#if defined(__SSE2__) && !defined(QN_PORTABLE_BLOCKS)
#include <emmintrin.h>
#if defined(__GNUC__) || defined(__clang__)
#include <immintrin.h>
#endif
#endif

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/CodePages.h"
#include "platform/Exceptions.h"
#include "platform/Memory.h"
#include "platform/Streams.h"
#include "platform/TextDetection.h"
#include "platform/YieldHook.h"
#include "runtime1/files/Wingenok.h"
#include "runtime1/text/Utf8_unit.h"

namespace qn {

using platform::TTextEncoding;

namespace {

using Bytes = std::span<const uint8_t>;

// The statistical UTF-16 test looks at no more than this many bytes.
constexpr size_t kDetectionSample = 65536;
// Text longer than this cannot be addressed with 32-bit positions.
constexpr uint64_t kMaxTextUnits = 0x7FFFFFFF;

bool HasUTF8Signature(Bytes b) noexcept { return platform::SignatureEncoding(b) == platform::kEncodingUTF8; }

TFileContentsSet ContainerType(const uint8_t* p) noexcept {
  if (p[0] == 0xD0 && p[1] == 0xCF && p[2] == 0x11 && p[3] == 0xE0) return {_Storage};
  if (p[0] == 0xDB && p[1] == 0xA5 && p[2] == 0x2D && p[3] == 0x00) return {_early_Word};
  if (p[0] == 0x50 && p[1] == 0x4B && p[2] == 0x03 && p[3] == 0x04) return {_Zip};
  return {};
}

TFileContentsSet QuickType(const uint8_t* p) noexcept {
  TFileContentsSet set;
  const TTextEncoding signature = platform::SignatureEncoding(p, 4);
  if (signature == platform::kEncodingUTF8) set.Include(_UTF8);
  if (signature == platform::kEncodingUTF16LE) {
    set.Include(_16_bit);
  } else if (signature == platform::kEncodingUTF16BE) {
    set.Include(_16_bit_reversed);
  } else {
    set.Include(_8_bit);
  }
  return set;
}

// The UTF-16 step of the thorough check: sample is the start of the data,
// totalCount the size of all of it (its parity decides).
TFileContentsSet Utf16Type(Bytes sample, uint64_t totalCount) noexcept {
  if (totalCount % 2 != 0) return {};
  const TTextEncoding signature = platform::SignatureEncoding(sample);
  if (signature == platform::kEncodingUTF16LE) return {_16_bit};
  if (signature == platform::kEncodingUTF16BE) return {_16_bit_reversed};
  const size_t n = std::min(sample.size(), kDetectionSample) & ~size_t{1};
  switch (platform::DetectUtf16WithoutMark(sample.data(), n)) {
    case platform::TUtf16Detection::LittleEndian: return {_16_bit};
    case platform::TUtf16Detection::BigEndian: return {_16_bit_reversed};
    default: return {};
  }
}

// The last step of the thorough check on the bytes before the first zero.
TFileContentsSet FirstSequenceType(std::string_view text) {
  bool asciiOnly = true;
  const bool wellFormed = CheckedUTF(text, asciiOnly);
  if (wellFormed && !asciiOnly) return {_UTF8};
  return {_8_bit};
}

// The number of bits set in a block mask (at most 16 bits). Inline: without
// a population-count instruction in the baseline instruction set the
// compiler's own is a library call.
inline unsigned BitCount16(unsigned x) noexcept {
  x = x - ((x >> 1) & 0x5555u);
  x = (x & 0x3333u) + ((x >> 2) & 0x3333u);
  x = (x + (x >> 4)) & 0x0F0Fu;
  return (x + (x >> 8)) & 0x1Fu;
}

using platform::UnitAt;

// ---------------------------------------------------------------------------
// Blocks of bytes looked at together. The readers below walk text a block at
// a time and stop only at the bytes that need a closer look; on x86-64 a block
// is 16 bytes (SSE2, which every x86-64 has), elsewhere 8 bytes in a 64-bit
// word. QN_PORTABLE_BLOCKS selects the portable form on x86-64 too, to test it.

#if defined(__SSE2__) && !defined(QN_PORTABLE_BLOCKS)
constexpr size_t kBlock = 16;

// The index of the first byte of the block at p that is 80 or above, or
// kBlock when there is none.
inline size_t FirstNonAscii(const uint8_t* p) noexcept {
  const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(x));
  return mask == 0 ? kBlock : static_cast<size_t>(__builtin_ctz(mask));
}

// The index of the first byte that is zero or 80 and above, or kBlock.
inline size_t FirstZeroOrNonAscii(const uint8_t* p) noexcept {
  const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(x)) |
                        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, _mm_setzero_si128())));
  return mask == 0 ? kBlock : static_cast<size_t>(__builtin_ctz(mask));
}

// The index of the first byte below 0E (zero, CR, LF and the controls near
// them) or of 80 and above, or kBlock: a signed comparison catches both.
inline size_t FirstLowOrNonAscii(const uint8_t* p) noexcept {
  const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const unsigned mask =
      static_cast<unsigned>(_mm_movemask_epi8(_mm_cmplt_epi8(x, _mm_set1_epi8(0x0E))));
  return mask == 0 ? kBlock : static_cast<size_t>(__builtin_ctz(mask));
}

// Writes the block's bytes as kBlock code units (bytes 80 and above included:
// the caller keeps only the units before the first of those).
inline void WidenBlock(const uint8_t* p, char16_t* out) noexcept {
  const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i zero = _mm_setzero_si128();
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi8(x, zero));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), _mm_unpackhi_epi8(x, zero));
}

// UTF-16 blocks: 8 code units. The units of a block in the given byte order,
// as host units (x86-64 is little-endian).
inline __m128i LoadUnits(const uint8_t* p, bool bigEndian) noexcept {
  const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  return bigEndian ? _mm_or_si128(_mm_slli_epi16(x, 8), _mm_srli_epi16(x, 8)) : x;
}

// The index of the first unit below 0E in units, or kUnitBlock. SSE2 compares
// 16-bit lanes signed only: flipping the top bit turns that into unsigned.
inline size_t FirstLowUnitOf(__m128i units) noexcept {
  const __m128i flip = _mm_set1_epi16(static_cast<short>(0x8000));
  const __m128i low = _mm_cmplt_epi16(_mm_xor_si128(units, flip), _mm_set1_epi16(static_cast<short>(0x800E)));
  const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(low));
  return mask == 0 ? 8 : static_cast<size_t>(__builtin_ctz(mask)) / 2;
}

constexpr size_t kUnitBlock = 8;

inline size_t FirstLowUnit(const uint8_t* p, bool bigEndian) noexcept {
  return FirstLowUnitOf(LoadUnits(p, bigEndian));
}

// Writes the block's kUnitBlock units at out and returns the index of the
// first below 0E (the caller keeps only the units before it), or kUnitBlock.
inline size_t CopyUnitBlock(const uint8_t* p, bool bigEndian, char16_t* out) noexcept {
  const __m128i units = LoadUnits(p, bigEndian);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), units);
  return FirstLowUnitOf(units);
}

// Reverses the byte order of n units in place.
inline void SwapUnits(char16_t* units, size_t n) noexcept {
  size_t i = 0;
  for (; n - i >= kUnitBlock; i += kUnitBlock) {
    auto* p = reinterpret_cast<__m128i*>(units + i);
    _mm_storeu_si128(p, LoadUnits(reinterpret_cast<const uint8_t*>(p), true));
  }
  for (; i < n; ++i) units[i] = static_cast<char16_t>(__builtin_bswap16(units[i]));
}
#else
constexpr size_t kBlock = 8;

inline uint64_t LoadWord(const uint8_t* p) noexcept {
  uint64_t word;
  std::memcpy(&word, p, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  word = __builtin_bswap64(word);  // the first byte in the lowest bits, as below
#endif
  return word;
}

// The index of the first byte whose bit 7 is set in flags, or kBlock. Only
// the lowest flag must be exact: the borrows of the subtractions below can set
// flags above a true one, never below it.
inline size_t FirstFlagged(uint64_t flags) noexcept {
  return flags == 0 ? kBlock : static_cast<size_t>(__builtin_ctzll(flags)) / 8;
}

constexpr uint64_t kOnes = 0x0101010101010101ULL;
constexpr uint64_t kHighBits = 0x8080808080808080ULL;

inline size_t FirstNonAscii(const uint8_t* p) noexcept { return FirstFlagged(LoadWord(p) & kHighBits); }

inline size_t FirstZeroOrNonAscii(const uint8_t* p) noexcept {
  const uint64_t w = LoadWord(p);
  return FirstFlagged((w | ((w - kOnes) & ~w)) & kHighBits);
}

inline size_t FirstLowOrNonAscii(const uint8_t* p) noexcept {
  const uint64_t w = LoadWord(p);
  return FirstFlagged((w | ((w - kOnes * 0x0E) & ~w)) & kHighBits);
}

inline void WidenBlock(const uint8_t* p, char16_t* out) noexcept {
  for (size_t k = 0; k < kBlock; ++k) out[k] = p[k];
}

// What the readers need to know of a block, one bit per byte (bit k for byte
// k): bytes of 80 and above; of 80 to 9F (where single-byte code pages differ
// from Latin-1); of 80 to BF (UTF-8 continuation bytes); of C2 to F4 (UTF-8
// lead bytes); CR; LF.
struct TBlockMasks {
  unsigned high, c1, continuation, lead, cr, lf;
};

inline TBlockMasks MasksOf(const uint8_t* p) noexcept {
  TBlockMasks m{0, 0, 0, 0, 0, 0};
  for (size_t k = 0; k < kBlock; ++k) {
    const unsigned bit = 1u << k;
    if (p[k] >= 0x80) m.high |= bit;
    if (p[k] >= 0x80 && p[k] <= 0x9F) m.c1 |= bit;
    if (p[k] >= 0x80 && p[k] <= 0xBF) m.continuation |= bit;
    if (p[k] >= 0xC2 && p[k] <= 0xF4) m.lead |= bit;
    if (p[k] == '\r') m.cr |= bit;
    if (p[k] == '\n') m.lf |= bit;
  }
  return m;
}

constexpr size_t kUnitBlock = 4;

inline size_t FirstLowUnit(const uint8_t* p, bool bigEndian) noexcept {
  for (size_t k = 0; k < kUnitBlock; ++k)
    if (UnitAt(p + 2 * k, bigEndian) < 0x0E) return k;
  return kUnitBlock;
}

inline size_t CopyUnitBlock(const uint8_t* p, bool bigEndian, char16_t* out) noexcept {
  for (size_t k = 0; k < kUnitBlock; ++k) out[k] = UnitAt(p + 2 * k, bigEndian);
  return FirstLowUnit(p, bigEndian);
}

inline void SwapUnits(char16_t* units, size_t n) noexcept {
  for (size_t i = 0; i < n; ++i) units[i] = static_cast<char16_t>(__builtin_bswap16(units[i]));
}
#endif

// ---------------------------------------------------------------------------
// UTF-8 recognition of unsigned 8-bit bytes.

// The length of the well-formed UTF-8 sequence at s[0] (a byte of 80 or
// above), or 0 when it is ill-formed or truncated.
size_t WellFormedSequenceLength(const uint8_t* s, size_t available) noexcept {
  const uint8_t lead = s[0];
  size_t length;
  uint8_t low = 0x80, high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (available < length) return 0;
  if (s[1] < low || s[1] > high) return 0;
  for (size_t k = 2; k < length; ++k)
    if (s[k] < 0x80 || s[k] > 0xBF) return 0;
  return length;
}

// True when bytes (no zero among them) are UTF-8 text: at least one
// well-formed multi-byte sequence, and more of them than ill-formed bytes.
//
// Decided early once the rest could not hold enough sequences to outnumber
// the ill-formed bytes met: each takes two bytes at least, and, when starts
// (the number of possible starts in b: a byte C2 to F4 followed by one of 80
// to BF) is given, each begins at one of the starts not yet passed. Every
// byte of C2 and above is visited (the walk skips only bytes below 80 and the
// continuation bytes of a well-formed sequence), so the count stays exact;
// 8-bit text of a Western code page has next to no such starts, and is
// decided after its first accented letters.
//
// With kUpToZero the bytes end at their first zero byte, found on the same
// walk. The bound of the early answer then counts the bytes after the zero
// too, which only makes it come later, never differ.
template <bool kUpToZero = false>
bool LooksLikeUTF8(Bytes b, size_t starts = SIZE_MAX) noexcept {
  const uint8_t* s = b.data();
  const size_t n = b.size();
  const bool counted = starts != SIZE_MAX;
  size_t valid = 0, invalid = 0, i = 0;
  while (i < n) {
    if (n - i >= kBlock) {
      const size_t k = kUpToZero ? FirstZeroOrNonAscii(s + i) : FirstNonAscii(s + i);
      i += k;
      if (k == kBlock) continue;
    }
    if (s[i] < 0x80) {
      if (kUpToZero && s[i] == 0) break;
      ++i;
      continue;
    }
    if (counted && s[i] >= 0xC2 && s[i] <= 0xF4 && i + 1 < n && (s[i + 1] & 0xC0) == 0x80) --starts;
    const size_t length = WellFormedSequenceLength(s + i, n - i);
    if (length == 0) {
      ++invalid;
      ++i;
      if (invalid >= valid + std::min(starts, (n - i) / 2)) return false;
    } else {
      ++valid;
      i += length;
    }
  }
  return valid > invalid;
}

bool IsSingleByteEncoding(TTextEncoding encoding) noexcept {
  if (encoding == platform::kEncodingUTF16LE || encoding == platform::kEncodingUTF16BE ||
      encoding == platform::kEncodingUTF8)
    return false;
  return platform::IsSingleByteCodePage(encoding == platform::kEncodingDefault ? platform::CP_ACP
                                                                             : encoding);
}

Bytes UpToFirstZero(Bytes b) noexcept {
  const void* z = b.empty() ? nullptr : std::memchr(b.data(), 0, b.size());
  return z == nullptr ? b : b.first(static_cast<size_t>(static_cast<const uint8_t*>(z) - b.data()));
}

std::string_view AsChars(Bytes b) noexcept {
  return {reinterpret_cast<const char*>(b.data()), b.size()};
}

void CheckTextSize(uint64_t byteCount) {
  if (byteCount > kMaxTextUnits) RaiseFileReadError("text file too large");
}

// The text of 8-bit bytes without a signature (UTF-8, or the active code
// page) decoded into `into`, its storage reused.
void DecodeEightBit(Bytes b, std::u16string& into, TTextEncoding* encoding) {
  b = UpToFirstZero(b);
  const bool utf8 = platform::IsSingleByteCodePage(platform::CP_ACP) && LooksLikeUTF8(b);
  if (encoding != nullptr) *encoding = utf8 ? platform::kEncodingUTF8 : platform::kEncodingDefault;
  into.clear();
  platform::AppendDecoded(utf8 ? platform::CP_UTF8 : platform::CP_ACP, AsChars(b).data(), b.size(), into);
}

// The text up to its first NUL, every line followed by CR LF.
std::u16string LinesEndedByCRLF(std::u16string_view text) {
  const size_t nul = text.find(u'\0');
  if (nul != std::u16string_view::npos) text = text.substr(0, nul);
  std::u16string r;
  if (text.empty()) return r;
  r.reserve(text.size() + text.size() / 32 + 2);
  const char16_t* p = text.data();
  const size_t n = text.size();
  size_t start = 0, i = 0;
  while (i < n) {
    const char16_t c = p[i];
    if (c > u'\r' || (c != u'\r' && c != u'\n')) {
      ++i;
      continue;
    }
    r.append(p + start, i - start);
    r += u"\r\n";
    i += (c == u'\r' && i + 1 < n && p[i + 1] == u'\n') ? 2 : 1;
    start = i;
  }
  if (start < n) {
    r.append(p + start, n - start);
    r += u"\r\n";
  }
  return r;
}

std::string Utf8Name(std::u16string_view fileName) { return platform::FileNameToUtf8(fileName); }

bool FileExists(std::u16string_view fileName) {
  struct stat st;
  return !fileName.empty() && ::stat(Utf8Name(fileName).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Reads count bytes at offset (fewer at the end of the file).
size_t ReadAt(platform::TFileStream& file, int64_t offset, uint8_t* out, size_t count) {
  file.Seek(offset, platform::TSeekOrigin::soBeginning);
  size_t done = 0;
  while (done < count) {
    const int64_t got = file.Read(out + done, static_cast<int64_t>(count - done));
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  return done;
}

// Whole file bytes, refusing a file too long for a string before allocating.
std::vector<uint8_t> ReadTextFileBytes(std::u16string_view fileName) {
  platform::TFileStream file(fileName, platform::fmOpenRead | platform::fmShareDenyNone);
  const int64_t size = file.Size();
  CheckTextSize(static_cast<uint64_t>(std::max<int64_t>(size, 0)));
  std::vector<uint8_t> bytes(static_cast<size_t>(std::max<int64_t>(size, 0)));
  bytes.resize(ReadAt(file, 0, bytes.data(), bytes.size()));
  return bytes;
}

std::vector<uint8_t> UTF16FileImage(std::u16string_view text) {
  std::vector<uint8_t> bytes;
  bytes.reserve(2 * text.size() + 2);
  bytes.push_back(0xFF);
  bytes.push_back(0xFE);
  for (char16_t unit : text) {
    bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<uint8_t>(unit >> 8));
  }
  return bytes;
}

// ---------------------------------------------------------------------------
// The fused reader of TextFileContents: 8-bit and UTF-8 bytes decoded straight
// into the final text with its CR LF line ends, one allocation for a whole
// corpus file (the general path decodes, then rewrites the lines).

// What one walk over the bytes learns before decoding: where the text ends
// and how much room it needs.
struct TByteSurvey {
  size_t length = 0;     // bytes before the first zero
  size_t loneEnds = 0;   // line ends that are a lone CR or LF (one more unit each)
  size_t starts = 0;     // possible UTF-8 sequence starts among them (byte surveys only)
};

inline bool IsContinuation(uint8_t b) noexcept { return (b & 0xC0) == 0x80; }
inline bool IsStart(const uint8_t* s, size_t i, size_t n) noexcept {
  return s[i] >= 0xC2 && s[i] <= 0xF4 && i + 1 < n && IsContinuation(s[i + 1]);
}

// What a survey needs to know of a block: its zero bytes, CR and LF, and,
// when it counts the UTF-8 sequence starts, its continuation bytes (80 to
// BF) and lead bytes (C2 to F4).
struct TSurveyBlock {
  unsigned zero, cr, lf, continuation, lead;
};

#if defined(__SSE2__) && !defined(QN_PORTABLE_BLOCKS)
template <bool kStarts>
inline TSurveyBlock SurveyBlockOf(const uint8_t* p) noexcept {
  const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const auto mask = [](__m128i m) { return static_cast<unsigned>(_mm_movemask_epi8(m)); };
  TSurveyBlock m{mask(_mm_cmpeq_epi8(x, _mm_setzero_si128())), mask(_mm_cmpeq_epi8(x, _mm_set1_epi8('\r'))),
                 mask(_mm_cmpeq_epi8(x, _mm_set1_epi8('\n'))), 0, 0};
  if constexpr (kStarts) {
    // Bytes compare signed: 80 to BF are the 64 lowest values, C2 to F4 those
    // above C1 and below F5 (bytes below 80 are above both).
    m.continuation = mask(_mm_cmplt_epi8(x, _mm_set1_epi8(static_cast<char>(0xC0))));
    m.lead = mask(_mm_and_si128(_mm_cmpgt_epi8(x, _mm_set1_epi8(static_cast<char>(0xC1))),
                                _mm_cmplt_epi8(x, _mm_set1_epi8(static_cast<char>(0xF5)))));
  }
  return m;
}
#else
template <bool kStarts>
inline TSurveyBlock SurveyBlockOf(const uint8_t* p) noexcept {
  const TBlockMasks m = MasksOf(p);
  unsigned zero = 0;
  for (size_t k = 0; k < kBlock; ++k)
    if (p[k] == 0) zero |= 1u << k;
  return {zero, m.cr, m.lf, kStarts ? m.continuation : 0, kStarts ? m.lead : 0};
}
#endif

// A survey taken piece by piece, as the bytes arrive. Blocks are judged
// whole (the lone line ends found by their masks); only a block with a zero
// is looked at byte by byte. The starts counted, when they are wanted, are
// those LooksLikeUTF8 takes as its bound (a start's second byte is never a
// zero, so none is counted across the end of the text).
struct TByteSurveyor {
  TByteSurvey survey;
  bool countStarts = true;
  size_t at = 0;       // the next byte to look at
  bool ended = false;  // a zero was met, or the last bytes were surveyed

  // Looks at the bytes s[at, n) that can be judged now: all of them when
  // last, else those with a byte after them (which decides a CR or a start).
  void Advance(const uint8_t* s, size_t n, bool last) noexcept {
    if (countStarts) {
      AdvanceCounting<true>(s, n, last);
    } else {
      AdvanceCounting<false>(s, n, last);
    }
  }

 private:
  // Branches only where text rarely goes: a zero, a start.
  template <bool kStarts>
  void AdvanceCounting(const uint8_t* s, size_t n, bool last) noexcept {
    if (ended) return;
    const size_t stop = last || n == 0 ? n : n - 1;
    size_t i = at;
    constexpr unsigned kWhole = (1u << kBlock) - 1;
    while (stop - i >= kBlock) {
      const TSurveyBlock m = SurveyBlockOf<kStarts>(s + i);
      if (m.zero != 0) break;
      // The byte after the block (a zero when there is none).
      const uint8_t next = n - i > kBlock ? s[i + kBlock] : 0;
      // A CR is paired with an LF right after it, an LF with a CR right
      // before it.
      const unsigned nextLF = next == '\n' ? 1u : 0u;
      const unsigned prevCR = i > 0 && s[i - 1] == '\r' ? 1u : 0u;
      const unsigned lone =
          ((m.cr & ~((m.lf >> 1) | (nextLF << (kBlock - 1)))) | (m.lf & ~((m.cr << 1) | prevCR))) & kWhole;
      survey.loneEnds += BitCount16(lone);
      if constexpr (kStarts) {
        const unsigned starts = m.lead & ((m.continuation >> 1) | (IsContinuation(next) ? 1u << (kBlock - 1) : 0u));
        if (starts != 0) survey.starts += BitCount16(starts);
      }
      i += kBlock;
    }
    for (; i < stop; ++i) {
      const uint8_t c = s[i];
      if (c == 0) {
        ended = true;
        break;
      }
      if (c == '\n') {
        if (i == 0 || s[i - 1] != '\r') ++survey.loneEnds;
      } else if (c == '\r') {
        if (i + 1 == n || s[i + 1] != '\n') ++survey.loneEnds;
      } else if (kStarts && IsStart(s, i, n)) {
        ++survey.starts;
      }
    }
    at = i;
    if (last) ended = true;
    if (ended) survey.length = i;
  }
};

TByteSurvey SurveyBytes(Bytes b) noexcept {
  TByteSurveyor surveyor;
  surveyor.countStarts = false;
  surveyor.Advance(b.data(), b.size(), true);
  return surveyor.survey;
}

// Appends the line end at s[i] (CR or LF) as CR LF; returns the bytes used.
inline size_t PutLineEnd(const uint8_t* s, size_t i, size_t n, char16_t*& out) noexcept {
  *out++ = u'\r';
  *out++ = u'\n';
  return (s[i] == '\r' && i + 1 < n && s[i + 1] == '\n') ? 2 : 1;
}

// The UTF-8 evidence as LooksLikeUTF8 weighs it, gathered while decoding:
// each well-formed multi-byte sequence counts for UTF-8, each byte of an
// ill-formed part against it (LooksLikeUTF8 steps over such a part a byte at a
// time, and every byte after its first is a continuation byte, ill-formed on
// its own; so both walks meet again at the same byte).
struct TUtf8Tally {
  size_t valid = 0;
  size_t invalid = 0;
  bool LooksLikeUTF8() const noexcept { return valid > invalid; }
};

// Decodes the UTF-8 sequence at s[i] (a byte of 80 or above) into out and
// returns the bytes used: a well-formed sequence gives its character, each
// maximal ill-formed part one U+FFFD. Two- and three-byte sequences (Latin,
// Cyrillic, Greek, CJK, ...) are decoded here; the rest by ICU's macro.
inline size_t PutUtf8Sequence(const uint8_t* s, size_t i, size_t n, char16_t*& out,
                              TUtf8Tally& tally) noexcept {
  const uint8_t lead = s[i];
  if (lead >= 0xC2 && lead <= 0xDF && n - i >= 2 && IsContinuation(s[i + 1])) {
    *out++ = static_cast<char16_t>(((lead & 0x1F) << 6) | (s[i + 1] & 0x3F));
    ++tally.valid;
    return 2;
  }
  if (lead >= 0xE0 && lead <= 0xEF && n - i >= 3) {
    const uint8_t low = lead == 0xE0 ? 0xA0 : 0x80;
    const uint8_t high = lead == 0xED ? 0x9F : 0xBF;
    const uint8_t second = s[i + 1];
    if (second >= low && second <= high && IsContinuation(s[i + 2])) {
      *out++ = static_cast<char16_t>(((lead & 0x0F) << 12) | ((second & 0x3F) << 6) | (s[i + 2] & 0x3F));
      ++tally.valid;
      return 3;
    }
  }
  // ICU's macro takes int32_t lengths: a window that holds any sequence.
  const int32_t window = static_cast<int32_t>(std::min<size_t>(n - i, 8));
  int32_t k = 0;
  UChar32 cp;
  U8_NEXT(s + i, k, window, cp);
  if (cp < 0) {
    cp = 0xFFFD;
    tally.invalid += static_cast<size_t>(k);
  } else {
    ++tally.valid;
  }
  if (cp < 0x10000) {
    *out++ = static_cast<char16_t>(cp);
  } else {
    *out++ = U16_LEAD(cp);
    *out++ = U16_TRAIL(cp);
  }
  return static_cast<size_t>(k);
}

// True when the table decodes every byte below 80 as itself (so runs of such
// bytes can be widened without it).
bool MapsAsciiToItself(const char16_t* table) noexcept {
  for (unsigned b = 0; b < 0x80; ++b)
    if (table[b] != b) return false;
  return true;
}

// Ends the text with CR LF unless it is empty or ends with a line end.
inline size_t FinishLines(char16_t* start, char16_t* out) noexcept {
  if (out != start && out[-1] != u'\n') {
    *out++ = u'\r';
    *out++ = u'\n';
  }
  return static_cast<size_t>(out - start);
}

// The decoders below write bytes (no zero among them) into out as UTF-16,
// every line end as CR LF and a final line with one; out has room for bytes +
// lone line ends + 2 units. They return the units written.
//
// Runs of plain bytes (below 80 and not below 0E) go a block at a time. A
// block is widened whole before the first byte that needs care is found; the
// room suffices because no byte gives more than one unit but a lone line end,
// which is counted in the room, so out never runs ahead of the bytes by more
// than the lone line ends already passed.

// Widens the plain bytes from s[i] up to the first that needs care, when a
// whole block is left; true when the block was plain throughout (the caller
// looks at the next one), false when s[i] now needs care or too few bytes are
// left for a block.
inline bool WidenPlainBlock(const uint8_t* s, size_t n, size_t& i, char16_t*& out) noexcept {
  if (n - i < kBlock) return false;
  const size_t k = FirstLowOrNonAscii(s + i);
  WidenBlock(s + i, out);
  out += k;
  i += k;
  return k == kBlock;
}

// One character or line end at s[i], a byte being looked at alone: returns
// the bytes used. An LF right after a CR is written alone: the vector
// decoder wrote that CR alone, having seen this LF after it (the plain
// decoder never stops between the two).
inline size_t PutUtf8Item(const uint8_t* s, size_t i, size_t n, char16_t*& out, TUtf8Tally& tally) noexcept {
  const uint8_t c = s[i];
  if (c >= 0x80) return PutUtf8Sequence(s, i, n, out, tally);
  if (c == '\r' || c == '\n') {
    if (c == '\n' && i > 0 && s[i - 1] == '\r') {
      *out++ = u'\n';
      return 1;
    }
    return PutLineEnd(s, i, n, out);
  }
  *out++ = c;
  return 1;
}

// The UTF-8 decoders below write the characters and line ends that begin at
// s[i] up to stop (those that begin before it, using bytes up to n, which
// must hold every byte such a character needs) into out as UTF-16, every
// line end as CR LF, and weigh the evidence for UTF-8 on the way. They
// return where they stopped (stop, or a little past it). No zero is among
// the bytes. out needs room for a unit per byte, another per lone line end,
// and kBlock units more.

// The plain decoder: runs of plain bytes a block at a time, the rest one by
// one.
size_t DecodeUtf8Plain(const uint8_t* s, size_t i, size_t stop, size_t n, char16_t*& out,
                       TUtf8Tally& tally) noexcept {
  while (i < stop) {
    if (WidenPlainBlock(s, n, i, out)) continue;
    if (i >= stop) break;  // the plain run went past it
    if (s[i] < 0x80) {
      i += PutUtf8Item(s, i, n, out, tally);
      continue;
    }
    // Words of other scripts are runs of sequences: decode the run before
    // looking at blocks again.
    do {
      i += PutUtf8Sequence(s, i, n, out, tally);
    } while (i < stop && s[i] >= 0x80);
  }
  return i;
}

#if defined(__SSE2__) && !defined(QN_PORTABLE_BLOCKS) && (defined(__GNUC__) || defined(__clang__))
#define QN_UTF8_VECTOR 1

// For each 8-bit mask of lanes to keep, the byte shuffle that moves those
// 16-bit lanes to the front, in order (the other bytes zero).
struct TCompactUnits {
  alignas(16) uint8_t rows[256][16];
};
constexpr TCompactUnits MakeCompactUnits() noexcept {
  TCompactUnits t{};
  for (unsigned keep = 0; keep < 256; ++keep) {
    unsigned at = 0;
    for (unsigned lane = 0; lane < 8; ++lane) {
      if ((keep >> lane & 1) == 0) continue;
      t.rows[keep][2 * at] = static_cast<uint8_t>(2 * lane);
      t.rows[keep][2 * at + 1] = static_cast<uint8_t>(2 * lane + 1);
      ++at;
    }
    for (; at < 8; ++at) t.rows[keep][2 * at] = t.rows[keep][2 * at + 1] = 0x80;
  }
  return t;
}
constexpr TCompactUnits kCompactUnits = MakeCompactUnits();

namespace ssse3 {
#define QN_UTF8_TARGET __attribute__((target("ssse3,popcnt")))
#define QN_UTF8_AVX2 0
#include "runtime1/files/FileOfChar_utf8.inc"
#undef QN_UTF8_AVX2
#undef QN_UTF8_TARGET
}  // namespace ssse3

namespace avx2 {
#define QN_UTF8_TARGET __attribute__((target("avx2,popcnt")))
#define QN_UTF8_AVX2 1
#include "runtime1/files/FileOfChar_utf8.inc"
#undef QN_UTF8_AVX2
#undef QN_UTF8_TARGET
}  // namespace avx2

using TUtf8Windows = size_t (*)(const uint8_t*, size_t, size_t, size_t, char16_t*&, size_t&) noexcept;
constexpr TUtf8Windows kUtf8Levels[] = {nullptr, &ssse3::Utf8Windows, &avx2::Utf8Windows};

// The widest level this processor has: 2 AVX2, 1 SSSE3 (with POPCNT), 0
// neither.
int BestUtf8Level() noexcept {
  __builtin_cpu_init();  // may run before the constructors that would do it
  if (__builtin_cpu_supports("avx2")) return 2;
  if (__builtin_cpu_supports("ssse3") && __builtin_cpu_supports("popcnt")) return 1;
  return 0;
}
#else
#define QN_UTF8_VECTOR 0
int BestUtf8Level() noexcept { return 0; }
#endif

int ProcessorUtf8Level() noexcept {
  static const int best = BestUtf8Level();
  return best;
}

// The level of the UTF-8 decoder in use: chosen once, capped by tests.
std::atomic<int> g_utf8Level{-1};

[[maybe_unused]] int Utf8Level() noexcept {
  int level = g_utf8Level.load(std::memory_order_relaxed);
  if (level < 0) [[unlikely]] {
    int none = -1;
    level = ProcessorUtf8Level();
    if (!g_utf8Level.compare_exchange_strong(none, level, std::memory_order_relaxed)) level = none;
  }
  return level;
}

// The decoder of the level in use. Where the vector decoder does not take a
// window, the window is decoded a character at a time.
size_t DecodeUtf8Lines(const uint8_t* s, size_t i, size_t stop, size_t n, char16_t*& out,
                       TUtf8Tally& tally) noexcept {
#if QN_UTF8_VECTOR
  const int level = Utf8Level();
  if (level > 0) {
    const TUtf8Windows windows = kUtf8Levels[level];
    while (i < stop) {
      i = windows(s, i, stop, n, out, tally.valid);
      if (i >= stop) break;
      // A line end (a lone one stops the windows) is written alone, other
      // bytes a few at a time.
      if (s[i] == '\r' || s[i] == '\n') {
        i += PutUtf8Item(s, i, n, out, tally);
        continue;
      }
      const size_t end = std::min(i + 16, stop);
      while (i < end) i += PutUtf8Item(s, i, n, out, tally);
    }
    return i;
  }
#endif
  return DecodeUtf8Plain(s, i, stop, n, out, tally);
}

// The table of an 8-bit code page as the decoder uses it.
struct TEightBitTable {
  const char16_t* units = nullptr;  // decodes bytes below 80 as themselves
  bool latin1Above9F = false;       // and bytes A0 to FF too (windows-1252)
};

// What the 8-bit decoder needs to know of a block: its CR and LF, and the
// bytes the table changes (80 and above, or only 80 to 9F when the table is
// Latin-1 above them).
struct TLineBlock {
  unsigned cr, lf, fix;
};

#if defined(__SSE2__) && !defined(QN_PORTABLE_BLOCKS)
inline TLineBlock LineBlockOf(const uint8_t* p, bool latin1Above9F) noexcept {
  const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const auto mask = [](__m128i m) { return static_cast<unsigned>(_mm_movemask_epi8(m)); };
  return {mask(_mm_cmpeq_epi8(x, _mm_set1_epi8('\r'))), mask(_mm_cmpeq_epi8(x, _mm_set1_epi8('\n'))),
          latin1Above9F ? mask(_mm_cmplt_epi8(x, _mm_set1_epi8(static_cast<char>(0xA0)))) : mask(x)};
}
#else
inline TLineBlock LineBlockOf(const uint8_t* p, bool latin1Above9F) noexcept {
  const TBlockMasks m = MasksOf(p);
  return {m.cr, m.lf, latin1Above9F ? m.c1 : m.high};
}
#endif

// Puts right the units of a widened block whose bytes (at p) the table changes: one by one when they are few, else
// every unit of the block through the table (which keeps bytes below 80).
inline void PutRight(const uint8_t* p, unsigned fix, const char16_t* table, char16_t* block) noexcept {
  const unsigned rest = fix & (fix - 1);
  if ((rest & (rest - 1)) == 0) {  // one or two
    block[__builtin_ctz(fix)] = table[p[__builtin_ctz(fix)]];
    if (rest != 0) block[__builtin_ctz(rest)] = table[p[__builtin_ctz(rest)]];
    return;
  }
  for (size_t k = 0; k < kBlock; ++k) block[k] = table[p[k]];
}

// 8-bit text through the code page's table, decoded in place: the n bytes
// fill the first n bytes of the storage at out, and their text (every line
// end as CR LF, a final line with one) is written over them, finalUnits
// units, which the storage must hold.
//
// The walk goes backwards, from the last byte to the first. Every byte gives
// one unit but a lone CR or LF, which gives two, so the unit of byte i lies at
// i or beyond, that is at byte 2i or beyond: what is written never reaches a
// byte not yet read. A block of bytes gives a block of units unless it holds
// a lone line end: so a block is widened whole, the bytes the table changes
// (in windows-1252 only 80 to 9F) are put right one by one, and the walk stops
// only at lone line ends, never at letters.
void DecodeEightBitLinesInPlace(char16_t* out, size_t n, const TEightBitTable& table, size_t finalUnits) noexcept {
  const uint8_t* const s = reinterpret_cast<const uint8_t*>(out);
  size_t o = finalUnits;  // units from o on are written
  size_t i = n;           // bytes before i are still to read
  if (s[n - 1] != '\r' && s[n - 1] != '\n') {
    out[--o] = u'\n';
    out[--o] = u'\r';
  }
  constexpr unsigned kWhole = (1u << kBlock) - 1;
  // A block ending at i is written as kBlock units ending at o, over bytes
  // from 2o - 2 kBlock on; o >= i, so while i > 2 kBlock that begins after
  // byte i: the block's own bytes and the one after it can still be read once
  // the units are written, and the next block may read some of them again.
  while (i > 2 * kBlock) {
    const uint8_t* const p = s + i - kBlock;
    const TLineBlock m = LineBlockOf(p, table.latin1Above9F);
    char16_t* const block = out + o - kBlock;
    WidenBlock(p, block);
    if (m.fix != 0) PutRight(p, m.fix, table.units, block);
    // A CR is paired with an LF right after it (perhaps the byte after the
    // block), an LF with a CR right before it. (Judged for every block: in
    // text of CR LF lines the test below is then all but always false.)
    const unsigned nextLF = i < n && s[i] == '\n' ? 1u : 0u;
    const unsigned prevCR = p[-1] == '\r' ? 1u : 0u;
    const unsigned lone =
        ((m.cr & ~((m.lf >> 1) | (nextLF << (kBlock - 1)))) | (m.lf & ~((m.cr << 1) | prevCR))) & kWhole;
    if (lone == 0) {
      o -= kBlock;
      i -= kBlock;
      continue;
    }
    // The last lone line end: the bytes after it are in place, the line end
    // goes before them, and the walk goes on from it.
    const unsigned k = 31u - static_cast<unsigned>(__builtin_clz(lone));
    o -= kBlock - 1 - k;
    out[--o] = u'\n';
    out[--o] = u'\r';
    i -= kBlock - k;
  }
  while (i > 0) {
    --i;
    const uint8_t c = s[i];
    if ((c == '\r' && (i + 1 == n || s[i + 1] != '\n')) || (c == '\n' && (i == 0 || s[i - 1] != '\r'))) {
      out[--o] = u'\n';
      out[--o] = u'\r';
    } else {
      out[--o] = table.units[c];
    }
  }
}

// Sets text to size units that fill overwrites at once (returning how many
// it kept), without zero-filling them first where the library allows it.
template <typename Fill>
void ResizeAndFill(std::u16string& text, size_t size, Fill fill) {
#if defined(__cpp_lib_string_resize_and_overwrite)
  text.resize_and_overwrite(size, [&](char16_t* data, size_t) { return fill(data); });
#else
  text.resize(size);
  text.resize(fill(text.data()));
#endif
}

// The table for 8-bit text in the active code page when the fused reader can
// use it: bytes below 80 must decode as themselves, so that line ends are
// found in bytes and ASCII runs widened without the table. No units
// otherwise.
TEightBitTable UsableEightBitTable() noexcept {
  TEightBitTable table;
  const char16_t* units = platform::DecodeTableOfCodePage(platform::CP_ACP);
  if (units == nullptr || !MapsAsciiToItself(units)) return table;
  table.units = units;
  table.latin1Above9F = true;
  for (unsigned b = 0xA0; b < 0x100; ++b)
    if (units[b] != b) table.latin1Above9F = false;
  return table;
}

// How bytes hold UTF-16, as every reader decides it: by a mark (FF FE
// little-endian, FE FF big-endian, after no UTF-8 signature), else, for an
// even count, by the statistical test over the first 64 KiB.
struct TUtf16Layout {
  platform::TUtf16Detection order = platform::TUtf16Detection::NotUtf16;
  size_t markLength = 0;
  bool IsUtf16() const noexcept { return order != platform::TUtf16Detection::NotUtf16; }
  bool BigEndian() const noexcept { return order == platform::TUtf16Detection::BigEndian; }
};

// head is the start of totalCount bytes (at least their first 64 KiB, or all).
TUtf16Layout Utf16LayoutOf(Bytes head, uint64_t totalCount) noexcept {
  switch (platform::SignatureEncoding(head)) {
    case platform::kEncodingUTF8: return {};
    case platform::kEncodingUTF16LE: return {platform::TUtf16Detection::LittleEndian, 2};
    case platform::kEncodingUTF16BE: return {platform::TUtf16Detection::BigEndian, 2};
    default: break;
  }
  if (totalCount % 2 != 0) return {};
  const size_t sample = std::min(head.size(), kDetectionSample) & ~size_t{1};
  return {platform::DetectUtf16WithoutMark(head.data(), sample), 0};
}
TUtf16Layout Utf16LayoutOf(Bytes bytes) noexcept { return Utf16LayoutOf(bytes, bytes.size()); }

// The survey of UTF-16 units (no mark, whole units): the units before the
// first zero unit and the lone CR and LF line ends among them.
TByteSurvey SurveyUnits(const uint8_t* s, size_t n, bool bigEndian) noexcept {
  TByteSurvey survey;
  size_t i = 0;
  while (i < n) {
    if (n - i >= kUnitBlock) {
      const size_t k = FirstLowUnit(s + 2 * i, bigEndian);
      i += k;
      if (k == kUnitBlock) continue;
    }
    const char16_t u = UnitAt(s + 2 * i, bigEndian);
    if (u == 0) break;
    if (u == u'\n') {
      if (i == 0 || UnitAt(s + 2 * i - 2, bigEndian) != u'\r') ++survey.loneEnds;
    } else if (u == u'\r') {
      if (i + 1 == n || UnitAt(s + 2 * i + 2, bigEndian) != u'\n') ++survey.loneEnds;
    }
    ++i;
  }
  survey.length = i;
  return survey;
}

// Writes n UTF-16 units (no zero among them) into out with every line end as
// CR LF and a final line with one; out has room for n + lone line ends + 2
// units. Whole blocks are copied before their first unit below 0E is found,
// as WidenPlainBlock does with bytes, within the same room.
size_t DecodeUtf16LinesInto(const uint8_t* s, size_t n, bool bigEndian, char16_t* out) noexcept {
  char16_t* const start = out;
  size_t i = 0;
  while (i < n) {
    if (n - i >= kUnitBlock) {
      const size_t k = CopyUnitBlock(s + 2 * i, bigEndian, out);
      out += k;
      i += k;
      if (k == kUnitBlock) continue;
    }
    const char16_t u = UnitAt(s + 2 * i, bigEndian);
    if (u == u'\r' || u == u'\n') {
      const size_t step = (u == u'\r' && i + 1 < n && UnitAt(s + 2 * i + 2, bigEndian) == u'\n') ? 2 : 1;
      *out++ = u'\r';
      *out++ = u'\n';
      i += step;
    } else {
      *out++ = u;
      ++i;
    }
  }
  return FinishLines(start, out);
}

// The text of UTF-16 bytes with CR LF line ends, in one allocation of its
// final size (a final odd byte is dropped, the text ends at its first zero
// unit).
std::u16string Utf16TextOfBytes(Bytes bytes, const TUtf16Layout& layout) {
  const Bytes body = bytes.subspan(layout.markLength);
  const bool big = layout.BigEndian();
  const TByteSurvey survey = SurveyUnits(body.data(), body.size() / 2, big);
  const uint64_t room = uint64_t(survey.length) + survey.loneEnds + 2;
  if (room > kMaxTextUnits) RaiseFileReadError("text file too large");
  std::u16string text;
  if (survey.length == 0) return text;
  const size_t units = static_cast<size_t>(room);
  text.reserve(units);
  platform::AdviseHugePages(text.data(), units * sizeof(char16_t));
  ResizeAndFill(text, units,
                [&](char16_t* data) { return DecodeUtf16LinesInto(body.data(), survey.length, big, data); });
  return text;
}

constexpr bool kHostBigEndian = std::endian::native == std::endian::big;

// The text of a UTF-16 file of size bytes whose head (its first bytes, the
// mark included) was read already: the rest is read straight into the text's
// own storage and decoded there, so that the file's bytes and its text are
// never held side by side, except for text with lone CR or LF line ends
// (which grows).
std::u16string Utf16TextOfFile(platform::TFileStream& file, size_t size, Bytes head,
                               const TUtf16Layout& layout) {
  const size_t mark = layout.markLength;
  const bool big = layout.BigEndian();
  const size_t units = (size - mark) / 2;
  std::u16string text;
  text.reserve(units + 2);
  platform::AdviseHugePages(text.data(), (units + 2) * sizeof(char16_t));
  text.resize(units);
  auto* raw = reinterpret_cast<uint8_t*>(text.data());
  const size_t wanted = 2 * units;
  const size_t fromHead = std::min(head.size() - mark, wanted);
  std::memcpy(raw, head.data() + mark, fromHead);
  const size_t got = fromHead + (fromHead < wanted ? ReadAt(file, int64_t(mark + fromHead), raw + fromHead, wanted - fromHead) : 0);
  const size_t n = got / 2;  // fewer when the file was cut short meanwhile
  if (big != kHostBigEndian) SwapUnits(text.data(), n);

  const TByteSurvey survey = SurveyUnits(raw, n, kHostBigEndian);
  const size_t length = survey.length;
  if (length == 0) return {};
  if (survey.loneEnds != 0) {
    std::u16string lines;
    const size_t room = length + survey.loneEnds + 2;
    lines.reserve(room);
    platform::AdviseHugePages(lines.data(), room * sizeof(char16_t));
    ResizeAndFill(lines, room,
                  [&](char16_t* data) { return DecodeUtf16LinesInto(raw, length, kHostBigEndian, data); });
    return lines;
  }
  // Every line end is CR LF already: the units stay where they are, and a
  // final line gets its CR LF (the room for it was reserved).
  text.resize(std::max(n, length + 2));
  text.resize(FinishLines(text.data(), text.data() + length));
  return text;
}

// Makes text size units long, keeping its units (the bytes read into it).
// A text that must move copies only those.
void GrowText(std::u16string& text, size_t size) {
  if (size > text.capacity()) {
    text.reserve(size);
    platform::AdviseHugePages(text.data(), size * sizeof(char16_t));
  }
  text.resize(size);
}

// Gives the pages of text's storage past its units back to the system: a
// text of letters that take three bytes in UTF-8 needs a third of the room
// its bytes were read into, and what it does not use need not stay resident.
// The storage stays the string's; a page touched again is given anew, zeroed.
void ReleaseUnusedRoom(std::u16string& text) noexcept {
  constexpr uintptr_t kPage = 4096;
  const auto* data = reinterpret_cast<const uint8_t*>(text.data());
  const uintptr_t first = (reinterpret_cast<uintptr_t>(data + 2 * (text.size() + 1)) + kPage - 1) & ~(kPage - 1);
  const uintptr_t last = reinterpret_cast<uintptr_t>(data + 2 * text.capacity()) & ~(kPage - 1);
  if (last > first && last - first >= (uintptr_t{1} << 20)) {
    ::madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
  }
}

// How the fast reader takes unsigned bytes.
enum class TByteWay { Decide, Utf8, Utf8Guessed, EightBit };

// Decodes the count bytes that text's storage holds (text.size() units hold
// them; the text's from offset on, surveyed) in place, with CR LF line ends:
// as 8-bit text, or (way Decide) as UTF-8 when the whole looks like it.
//
// 8-bit text is decoded backwards over its bytes, with no room but its own
// (DecodeEightBitLinesInPlace). UTF-8 gives at most one unit per byte but the
// lone line ends, so its bytes are moved to the back of length + lone ends +
// kBlock units and decoded forwards: the units written, at most two bytes
// for each byte read plus the lone ends passed and one block, stay before
// the bytes not yet read.
void DecodeBytesInPlace(std::u16string& text, size_t count, size_t offset, const TByteSurvey& survey,
                        TByteWay way, const TEightBitTable& table) {
  auto* raw = reinterpret_cast<uint8_t*>(text.data());
  const Bytes all(raw + offset, count - offset);
  const size_t length = survey.length;
  const uint64_t room = uint64_t(length) + survey.loneEnds + 2;
  if (room > kMaxTextUnits) RaiseFileReadError("text file too large");
  if (length == 0) {
    text = std::u16string();
    return;
  }
  // Without a possible start there is no well-formed sequence: 8-bit text.
  const bool utf8 = way == TByteWay::Decide && survey.starts != 0 && LooksLikeUTF8(all.first(length), survey.starts);
  if (!utf8) {
    const uint8_t last = raw[offset + length - 1];
    const size_t units = length + survey.loneEnds + (last == '\r' || last == '\n' ? 0 : 2);
    if (offset != 0) std::memmove(raw, raw + offset, length);
    GrowText(text, units);
    DecodeEightBitLinesInPlace(text.data(), length, table, units);
    return;
  }
  const size_t room8 = length + survey.loneEnds + kBlock;
  GrowText(text, room8);
  raw = reinterpret_cast<uint8_t*>(text.data());
  uint8_t* const back = raw + 2 * room8 - length;
  std::memmove(back, raw + offset, length);
  TUtf8Tally tally;
  char16_t* out = text.data();
  DecodeUtf8Lines(back, 0, length, length, out, tally);
  text.resize(FinishLines(text.data(), out));
  ReleaseUnusedRoom(text);
}

// Reads count bytes into text's storage (which holds them) a piece at a time
// with fill(out, offset, n), which copies the n bytes at offset to out and
// returns how many it copied (fewer only at the end), and surveys each piece
// from offset on while it is still in the cache. Reading stops at the first
// zero after offset: nothing after it counts. Returns the bytes read.
template <typename Fill>
size_t ReadAndSurvey(std::u16string& text, size_t count, size_t offset, Fill& fill, TByteSurveyor& surveyor) {
  constexpr size_t kPiece = size_t{256} << 10;
  auto* raw = reinterpret_cast<uint8_t*>(text.data());
  size_t got = 0;
  while (got < count && !surveyor.ended) {
    const size_t want = std::min(kPiece, count - got);
    // The storage grows a piece ahead of the bytes (zero-filled by resize
    // while it is in the cache, just before they are read over it), not
    // all at once.
    if (2 * text.size() < got + want) {
      text.resize((got + want + 1) / 2);
      raw = reinterpret_cast<uint8_t*>(text.data());
    }
    const size_t piece = fill(raw + got, got, want);
    got += piece;
    if (piece < want) break;
    if (got > offset) surveyor.Advance(raw + offset, got - offset, false);
  }
  if (got > offset) surveyor.Advance(raw + offset, got - offset, true);
  return got;
}

// The pieces the UTF-8 and 8-bit readers read at a time: they stay in the
// cache between their reading and their decoding.
constexpr size_t kLinesPiece = size_t{64} << 10;

// Reads count bytes from offset on with fill (as ReadAndSurvey), piece bytes
// at a time into a small buffer, and decodes them with decode onto the end of
// text, up to the first zero, every line end as CR LF and the final line
// ended too. The text grows just ahead of the decoder, so its storage is
// written once (the reserve made by the caller saves moves).
//
// decode(s, i, stop, n, out) decodes what begins at s[i] up to stop, reading
// bytes up to n, and returns where it stopped (as DecodeUtf8Lines). accept(s,
// from, n, last) may refuse the bytes s[from, n) before they are decoded
// (the bytes before from were accepted); then the reading stops and false is
// returned, the text holding only part of the bytes.
template <typename Fill, typename Decode, typename Accept>
bool ReadLines(size_t count, size_t offset, Fill& fill, size_t piece, std::u16string& text, Decode decode,
               Accept accept) {
  // buffer[0] holds the last byte decoded (zero at first), the bytes not yet
  // decoded follow it: at most 4, the start of a character or a CR whose
  // next byte is not read yet.
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[piece + 8]);
  buffer[0] = 0;
  size_t have = 1;
  size_t units = text.size();
  size_t at = offset;
  for (;;) {
    const size_t want = std::min(piece, count - at);
    const size_t got = want == 0 ? 0 : fill(buffer.get() + have, at, want);
    at += got;
    bool last = got < want || at >= count;
    size_t n = have + got;
    if (const void* z = got == 0 ? nullptr : std::memchr(buffer.get() + have, 0, got)) {
      n = static_cast<size_t>(static_cast<const uint8_t*>(z) - buffer.get());
      last = true;
    }
    if (!accept(buffer.get(), size_t{1}, n, last)) return false;
    // Room for two units a byte (a lone line end), a final CR LF and the
    // vector decoder's whole stores.
    const size_t room = units + 2 * (n - 1) + kBlock + 2;
    if (room > text.size()) {
      if (room > text.capacity()) {
        text.reserve(std::max(room, text.capacity() + text.capacity() / 2));
        platform::AdviseHugePages(text.data(), text.capacity() * sizeof(char16_t));
      }
      text.resize(room);
    }
    char16_t* out = text.data() + units;
    // Characters that begin 4 bytes or more before the end of what is read
    // have every byte they need.
    const size_t stop = last ? n : std::max<size_t>(n, 5) - 4;
    const size_t i = decode(buffer.get(), size_t{1}, stop, n, out);
    if (last) {
      units = FinishLines(text.data(), out);
      break;
    }
    units = static_cast<size_t>(out - text.data());
    std::memmove(buffer.get(), buffer.get() + i - 1, n - i + 1);
    have = n - i + 1;
  }
  text.resize(units);
  return true;
}

template <typename Fill>
void ReadUtf8Lines(size_t count, size_t offset, Fill& fill, size_t piece, std::u16string& text, TUtf8Tally& tally) {
  ReadLines(
      count, offset, fill, piece, text,
      [&](const uint8_t* s, size_t i, size_t stop, size_t n, char16_t*& out) {
        return DecodeUtf8Lines(s, i, stop, n, out, tally);
      },
      [](const uint8_t*, size_t, size_t, bool) { return true; });
}

// 8-bit text through the code page's table, forwards, as the decoders of
// UTF-8 go (DecodeUtf8Lines): a block is widened whole, the bytes the table
// changes put right, and the walk stops only at lone line ends.
size_t DecodeEightBitLines(const uint8_t* s, size_t i, size_t stop, size_t n, char16_t*& out,
                           const TEightBitTable& table) noexcept {
  constexpr unsigned kWhole = (1u << kBlock) - 1;
  while (i < stop) {
    if (n - i > kBlock) {
      const uint8_t* const p = s + i;
      const TLineBlock m = LineBlockOf(p, table.latin1Above9F);
      WidenBlock(p, out);
      if (m.fix != 0) PutRight(p, m.fix, table.units, out);
      // A CR is paired with an LF right after it, an LF with a CR right
      // before it.
      const unsigned nextLF = p[kBlock] == '\n' ? 1u : 0u;
      const unsigned prevCR = i > 0 && p[-1] == '\r' ? 1u : 0u;
      const unsigned lone =
          ((m.cr & ~((m.lf >> 1) | (nextLF << (kBlock - 1)))) | (m.lf & ~((m.cr << 1) | prevCR))) & kWhole;
      if (lone == 0) {
        out += kBlock;
        i += kBlock;
        continue;
      }
      // The units before the first lone line end are in place; it gives two.
      const unsigned k = static_cast<unsigned>(__builtin_ctz(lone));
      out += k;
      *out++ = u'\r';
      *out++ = u'\n';
      i += k + 1;
      continue;
    }
    const uint8_t c = s[i];
    if (c == '\r' || c == '\n') {
      if (c == '\n' && i > 0 && s[i - 1] == '\r') {  // its CR was written alone by a block
        *out++ = u'\n';
        ++i;
      } else {
        i += PutLineEnd(s, i, n, out);
      }
    } else {
      *out++ = table.units[c];
      ++i;
    }
  }
  return i;
}

// True when no byte of s[from, n) is a possible UTF-8 sequence start (C2 to
// F4 followed by 80 to BF; a byte whose next is not read yet is looked at
// again with it, unless last).
bool HasNoUtf8Start(const uint8_t* s, size_t from, size_t n, bool last) noexcept {
  size_t i = from;
  const size_t end = last ? n : n - std::min<size_t>(n - from, 1);
  for (; end - i >= kBlock + 1; i += kBlock) {
    const TSurveyBlock m = SurveyBlockOf<true>(s + i);
    const unsigned starts =
        m.lead & ((m.continuation >> 1) | (IsContinuation(s[i + kBlock]) ? 1u << (kBlock - 1) : 0u));
    if (starts != 0) return false;
  }
  for (; i < end; ++i)
    if (IsStart(s, i, n)) return false;
  return true;
}

// The text of count bytes of 8-bit or UTF-8 text with CR LF line ends, when
// this fast path serves them (single-byte active code page, or UTF-8); false
// otherwise. head is their start (64 KiB, or all); fill reads the bytes as
// ReadAndSurvey says. They are read into the text's own storage and decoded
// there, so that a file's bytes and its text are not held side by side.
//
// Unsigned bytes are UTF-8 when LooksLikeUTF8 says so of all of them (up to
// the first zero). When the head says they are likely UTF-8 they are decoded
// so at once, the decoder weighing the evidence as it goes; in the rare case
// that the rest decides otherwise they are read again as 8-bit text. Other
// bytes are weighed first (quickly: LooksLikeUTF8 with the starts counted).
template <typename Fill>
bool FastTextOfSource(size_t count, Bytes head, Fill fill, std::u16string& text) {
  TByteWay way = TByteWay::Utf8;
  size_t offset = 0;
  TEightBitTable table;
  if (HasUTF8Signature(head)) {
    offset = 3;
  } else {
    if (!platform::IsSingleByteCodePage(platform::CP_ACP)) return false;
    // Both ways may be needed; without the table the general path serves.
    table = UsableEightBitTable();
    if (table.units == nullptr) return false;
    const Bytes sample = head.first(std::min(head.size(), kDetectionSample));
    way = LooksLikeUTF8(UpToFirstZero(sample)) ? TByteWay::Utf8Guessed : TByteWay::Decide;
  }
  // Room for the lone line ends, guessed from the head, so that the text
  // need not move once its bytes are read.
  const TByteSurvey headSurvey = SurveyBytes(head);
  const uint64_t guess =
      headSurvey.loneEnds == 0 ? 0 : uint64_t(count) * headSurvey.loneEnds / std::max<size_t>(headSurvey.length, 1);
  const size_t lone = static_cast<size_t>(std::min<uint64_t>(guess + guess / 8, count));
  const size_t reserve = count + lone + kBlock + 2;
  if (way != TByteWay::Decide) {
    // UTF-8 is read a piece at a time and decoded straight into its text:
    // room for the last piece's worst case too, so that a guess that holds
    // never moves the text.
    text.reserve(reserve + 2 * std::min(count, kLinesPiece) + 8);
    platform::AdviseHugePages(text.data(), text.capacity() * sizeof(char16_t));
    TUtf8Tally tally;
    ReadUtf8Lines(count, offset, fill, kLinesPiece, text, tally);
    if (way != TByteWay::Utf8Guessed || tally.LooksLikeUTF8()) {
      if (text.empty()) text = std::u16string();
      return true;
    }
    text.clear();
  } else {
    // 8-bit text unless a possible UTF-8 sequence start turns up (none does
    // in Western 8-bit text or ASCII): decoded a piece at a time too.
    text.reserve(reserve + 2 * std::min(count, kLinesPiece) + 8);
    platform::AdviseHugePages(text.data(), text.capacity() * sizeof(char16_t));
    const auto decode = [&](const uint8_t* s, size_t i, size_t stop, size_t n, char16_t*& out) {
      return DecodeEightBitLines(s, i, stop, n, out, table);
    };
    if (ReadLines(count, offset, fill, kLinesPiece, text, decode, HasNoUtf8Start)) {
      if (text.empty()) text = std::u16string();
      return true;
    }
    // The whole must be weighed: read into the text's storage, surveyed
    // and decoded there.
    text.clear();
    TByteSurveyor surveyor;
    const size_t got = ReadAndSurvey(text, count, offset, fill, surveyor);
    if (got <= offset) {
      text = std::u16string();
      return true;
    }
    // Decided on the whole: never read again.
    DecodeBytesInPlace(text, got, offset, surveyor.survey, way, table);
    return true;
  }
  // Guessed UTF-8 that the whole says is not: 8-bit text after all.
  const auto decode = [&](const uint8_t* s, size_t i, size_t stop, size_t n, char16_t*& out) {
    return DecodeEightBitLines(s, i, stop, n, out, table);
  };
  ReadLines(count, 0, fill, kLinesPiece, text, decode, [](const uint8_t*, size_t, size_t, bool) { return true; });
  if (text.empty()) text = std::u16string();
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Classification.

TFileContentsSet FileBufferType(const void* buffer, uint64_t count, bool thorough) {
  if (buffer == nullptr || count < 4) return {};
  const auto* p = static_cast<const uint8_t*>(buffer);
  const TFileContentsSet container = ContainerType(p);
  if (!container.Empty()) return container;
  if (!thorough) return QuickType(p);
  const size_t available = static_cast<size_t>(std::min<uint64_t>(count, SIZE_MAX));
  const Bytes bytes(p, available);
  const TFileContentsSet utf16 = Utf16Type(bytes, count);
  if (!utf16.Empty()) return utf16;
  if (HasUTF8Signature(bytes)) return {_UTF8};
  return FirstSequenceType(AsChars(UpToFirstZero(bytes)));
}

TFileContentsSet FileContentsType(std::u16string_view fileName, bool thorough) {
  platform::TFileStream file(fileName, platform::fmOpenRead | platform::fmShareDenyNone);
  try {
    const int64_t size = file.Size();
    if (size < 4) return {};
    // The first 64 KiB answer everything but a long leading ASCII run, which
    // is walked block by block without holding the file.
    const int64_t wanted = thorough ? std::min<int64_t>(size, int64_t(kDetectionSample)) : 4;
    std::vector<uint8_t> head(static_cast<size_t>(wanted));
    head.resize(ReadAt(file, 0, head.data(), head.size()));
    if (head.size() < 4) return {};
    if (!thorough) return FileBufferType(head.data(), 4, false);
    const TFileContentsSet container = ContainerType(head.data());
    if (!container.Empty()) return container;
    const TFileContentsSet utf16 = Utf16Type(head, static_cast<uint64_t>(size));
    if (!utf16.Empty()) return utf16;
    if (HasUTF8Signature(head)) return {_UTF8};

    std::vector<uint8_t> block = std::move(head);
    int64_t offset = 0;
    while (!block.empty()) {
      MyYieldProcess();
      const auto stop = std::find_if(block.begin(), block.end(), [](uint8_t b) { return b == 0 || b >= 0x80; });
      if (stop != block.end()) {
        if (*stop == 0) return {_8_bit};
        // The sequence that begins here, up to 4 bytes and not past a zero.
        uint8_t sequence[4];
        const int64_t at = offset + (stop - block.begin());
        const size_t got = ReadAt(file, at, sequence, sizeof sequence);
        return FirstSequenceType(AsChars(UpToFirstZero(Bytes(sequence, got))));
      }
      offset += static_cast<int64_t>(block.size());
      block.resize(kDetectionSample);
      block.resize(ReadAt(file, offset, block.data(), block.size()));
    }
    return {_8_bit};
  } catch (const Exception&) {
    // A read or seek the system refused: the file cannot be told. Anything
    // else (memory exhausted, an error of the host's yield procedure) is not
    // an answer about the file and goes to the caller.
    return {};
  }
}

int32_t FileContentsComparison(TFileContentsSet a, TFileContentsSet b) noexcept {
  if (a.Byte() == b.Byte()) return 0;
  return a.Byte() > b.Byte() ? 1 : -1;
}

bool StringIsInUnicode(const void* buffer, int32_t count) noexcept {
  if (buffer == nullptr || count < 4) return false;
  const auto* p = static_cast<const uint8_t*>(buffer);
  const TTextEncoding signature = platform::SignatureEncoding(p, 2);
  if (signature == platform::kEncodingUTF16LE || signature == platform::kEncodingUTF16BE) return true;
  if (count % 2 != 0) return false;
  const size_t n = std::min(static_cast<size_t>(count), kDetectionSample);
  return platform::DetectUtf16WithoutMark(p, n) != platform::TUtf16Detection::NotUtf16;
}

bool TextFileInUnicode(std::u16string_view fileName) {
  platform::TFileStream file(fileName, platform::fmOpenRead | platform::fmShareDenyNone);
  const int64_t size = file.Size();
  if (size <= 0) return false;
  std::vector<uint8_t> head(static_cast<size_t>(std::min<int64_t>(size, int64_t(kDetectionSample))));
  head.resize(ReadAt(file, 0, head.data(), head.size()));
  // The sample stands for the whole file: keep the file's parity.
  int32_t count = static_cast<int32_t>(head.size());
  if (static_cast<int64_t>(count) < size && (size % 2) != (count % 2)) --count;
  return StringIsInUnicode(head.data(), count);
}

// ---------------------------------------------------------------------------
// Reading.

TTextEncoding TextFileHeadEncoding(Bytes head, uint64_t totalCount, bool& decided) {
  // The choices of DecodedTextFileBytes, in its order.
  decided = true;
  if (HasUTF8Signature(head)) return platform::kEncodingUTF8;
  const TUtf16Layout utf16 = Utf16LayoutOf(head, totalCount);
  if (utf16.IsUtf16()) return utf16.BigEndian() ? platform::kEncodingUTF16BE : platform::kEncodingUTF16LE;
  decided = !platform::IsSingleByteCodePage(platform::CP_ACP);
  return platform::kEncodingDefault;
}

TTextEncoding TextFileBytesEncoding(Bytes bytes) {
  bool decided = true;
  const TTextEncoding head = TextFileHeadEncoding(bytes, bytes.size(), decided);
  if (decided) return head;
  return LooksLikeUTF8<true>(bytes) ? platform::kEncodingUTF8 : platform::kEncodingDefault;
}

namespace {

// The bytes at the start of s[0, n) that are whole 64-byte blocks of ASCII
// without a zero: the stretches the evidence passes over.
size_t AsciiBlocks(const uint8_t* s, size_t n) noexcept {
  size_t i = 0;
  while (n - i >= 64 && FirstZeroOrNonAscii(s + i) == kBlock && FirstZeroOrNonAscii(s + i + kBlock) == kBlock &&
         FirstZeroOrNonAscii(s + i + 2 * kBlock) == kBlock && FirstZeroOrNonAscii(s + i + 3 * kBlock) == kBlock) {
    i += 64;
  }
  return i;
}

#if QN_UTF8_VECTOR
__attribute__((target("avx2"))) size_t AsciiBlocksAvx2(const uint8_t* s, size_t n) noexcept {
  size_t i = 0;
  const __m256i zero = _mm256_setzero_si256();
  for (; n - i >= 64; i += 64) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i + 32));
    // A byte of 0x80 or above sets its top bit; a zero byte compares equal.
    const __m256i odd = _mm256_or_si256(_mm256_or_si256(a, b),
                                        _mm256_or_si256(_mm256_cmpeq_epi8(a, zero), _mm256_cmpeq_epi8(b, zero)));
    if (_mm256_movemask_epi8(odd) != 0) break;
  }
  return i;
}
#endif

}  // namespace

size_t TUtf8Evidence::Add(Bytes piece, bool* nonAscii) noexcept {
  if (nonAscii != nullptr) *nonAscii = false;
  if (ended) return 0;
  // The walk of LooksLikeUTF8, without its early answer (the rest of the
  // text is not seen here), over long ASCII stretches four blocks at a time.
  const uint8_t* s = piece.data();
  const size_t n = piece.size();
  bool high = false;
  size_t i = 0;
  while (i < n) {
    if (n - i >= 64) {
#if QN_UTF8_VECTOR
      const size_t skipped = ProcessorUtf8Level() == 2 ? AsciiBlocksAvx2(s + i, n - i) : AsciiBlocks(s + i, n - i);
#else
      const size_t skipped = AsciiBlocks(s + i, n - i);
#endif
      i += skipped;
      if (skipped != 0) continue;
    }
    if (n - i >= kBlock) {
      const size_t k = FirstZeroOrNonAscii(s + i);
      i += k;
      if (k == kBlock) continue;
    }
    if (s[i] < 0x80) {
      if (s[i] == 0) {
        ended = true;
        break;
      }
      ++i;
      continue;
    }
    high = true;
    const size_t length = WellFormedSequenceLength(s + i, n - i);
    if (length == 0) {
      ++invalid;
      ++i;
    } else {
      ++valid;
      i += length;
    }
  }
  if (nonAscii != nullptr) *nonAscii = high;
  return i;
}

std::u16string DecodedTextFileBytes(Bytes bytes, TTextEncoding* encoding) {
  std::u16string text;
  DecodeTextFileBytesInto(bytes, text, encoding);
  return text;
}

void DecodeTextFileBytesInto(Bytes bytes, std::u16string& into, TTextEncoding* encoding) {
  CheckTextSize(bytes.size());
  TTextEncoding used;
  const TUtf16Layout utf16 = Utf16LayoutOf(bytes);
  if (HasUTF8Signature(bytes)) {
    used = platform::kEncodingUTF8;
    into.clear();
    platform::AppendDecoded(platform::CP_UTF8, AsChars(bytes.subspan(3)).data(), bytes.size() - 3, into);
  } else if (utf16.IsUtf16()) {
    used = utf16.BigEndian() ? platform::kEncodingUTF16BE : platform::kEncodingUTF16LE;
    platform::DecodeTextBytesAs(bytes, used, into);  // skips the mark, if any
  } else {
    DecodeEightBit(bytes, into, &used);
  }
  if (encoding != nullptr) *encoding = used;
}

std::u16string TextOfFileBytes(Bytes bytes) {
  CheckTextSize(bytes.size());
  const TUtf16Layout utf16 = Utf16LayoutOf(bytes);
  if (utf16.IsUtf16()) return Utf16TextOfBytes(bytes, utf16);
  std::u16string text;
  const auto copy = [&](uint8_t* out, size_t offset, size_t count) {
    std::memcpy(out, bytes.data() + offset, count);
    return count;
  };
  if (FastTextOfSource(bytes.size(), bytes.first(std::min(bytes.size(), kDetectionSample)), copy, text)) return text;
  return LinesEndedByCRLF(DecodedTextFileBytes(bytes));
}

std::u16string TextFileContents(std::u16string_view fileName) {
  if (!FileExists(fileName)) return {};
  platform::TFileStream file(fileName, platform::fmOpenRead | platform::fmShareDenyNone);
  const int64_t size = std::max<int64_t>(file.Size(), 0);
  CheckTextSize(static_cast<uint64_t>(size));
  // The head tells UTF-16, which is read straight into its text.
  std::vector<uint8_t> headBytes(static_cast<size_t>(std::min<int64_t>(size, int64_t(kDetectionSample))));
  uint8_t* const head = headBytes.data();
  const size_t headSize = ReadAt(file, 0, head, headBytes.size());
  const TUtf16Layout utf16 = Utf16LayoutOf(Bytes(head, headSize), static_cast<uint64_t>(size));
  if (utf16.IsUtf16()) return Utf16TextOfFile(file, static_cast<size_t>(size), Bytes(head, headSize), utf16);
  // Other text is read into its own storage and decoded there; the bytes are
  // read again only when the guess of the head was wrong.
  const auto read = [&](uint8_t* out, size_t offset, size_t count) {
    const size_t fromHead = offset < headSize ? std::min(headSize - offset, count) : 0;
    if (fromHead != 0) std::memcpy(out, head + offset, fromHead);
    return fromHead + (fromHead < count ? ReadAt(file, int64_t(offset + fromHead), out + fromHead, count - fromHead) : 0);
  };
  std::u16string text;
  if (FastTextOfSource(static_cast<size_t>(size), Bytes(head, headSize), read, text)) return text;
  // Not zero-filled first: every byte used is read from the file.
  std::unique_ptr<uint8_t[]> bytes(new uint8_t[static_cast<size_t>(size) + 1]);
  const size_t got = read(bytes.get(), 0, static_cast<size_t>(size));
  return LinesEndedByCRLF(DecodedTextFileBytes(Bytes(bytes.get(), got)));
}

std::u16string file_detail::Utf8LinesInPieces(Bytes bytes, size_t piece, size_t* valid, size_t* invalid) {
  const auto copy = [&](uint8_t* out, size_t offset, size_t count) {
    std::memcpy(out, bytes.data() + offset, count);
    return count;
  };
  std::u16string text;
  TUtf8Tally tally;
  ReadUtf8Lines(bytes.size(), 0, copy, std::max<size_t>(piece, 1), text, tally);
  if (valid != nullptr) *valid = tally.valid;
  if (invalid != nullptr) *invalid = tally.invalid;
  return text;
}

std::u16string file_detail::EightBitLinesInPieces(Bytes bytes, size_t piece) {
  const auto copy = [&](uint8_t* out, size_t offset, size_t count) {
    std::memcpy(out, bytes.data() + offset, count);
    return count;
  };
  std::u16string text;
  const TEightBitTable table = UsableEightBitTable();
  if (table.units == nullptr) return text;
  const auto decode = [&](const uint8_t* s, size_t i, size_t stop, size_t n, char16_t*& out) {
    return DecodeEightBitLines(s, i, stop, n, out, table);
  };
  ReadLines(bytes.size(), 0, copy, std::max<size_t>(piece, 1), text, decode,
            [](const uint8_t*, size_t, size_t, bool) { return true; });
  return text;
}

int file_detail::LimitUtf8DecoderLevel(int level) noexcept {
  const int chosen = std::clamp(level, 0, ProcessorUtf8Level());
  g_utf8Level.store(chosen, std::memory_order_relaxed);
  return chosen;
}

// ---------------------------------------------------------------------------
// Conversion and writers.

bool ConvertATextFileAnsiToUTF16(std::u16string_view fileName, uint32_t lcid) {
  if (!FileExists(fileName)) return false;
  if (TextFileInUnicode(fileName)) return true;
  const std::vector<uint8_t> bytes = ReadTextFileBytes(fileName);
  std::u16string text;
  if (HasUTF8Signature(bytes)) {
    // The signature says what the bytes are, whatever the locale.
    text = platform::Decoded(platform::CP_UTF8, AsChars(Bytes(bytes).subspan(3)));
  } else {
    // Unsigned UTF-8 is recognised as the readers recognise it, whenever the
    // locale's code page is a single-byte one (whose text rarely passes for
    // UTF-8); other bytes are read in the locale's code page.
    const uint32_t codePage = static_cast<uint32_t>(LCIDToCodePage(lcid));
    const Bytes upToZero = UpToFirstZero(bytes);
    if (platform::IsSingleByteCodePage(codePage) && LooksLikeUTF8(upToZero)) {
      text = platform::Decoded(platform::CP_UTF8, AsChars(upToZero));
    } else {
      text = platform::Decoded(codePage, AsChars(upToZero));
    }
  }
  const std::vector<uint8_t> image = UTF16FileImage(LinesEndedByCRLF(text));
  platform::WriteFileSafely(fileName, image);
  return true;
}

bool SavedTextAsStream(std::u16string_view text, std::u16string_view fileName) {
  if (text.empty()) return false;
  platform::WriteFileSafely(fileName, UTF16FileImage(text));
  return true;
}

void AddToFileOfChar(std::u16string_view fileName, std::u16string_view text) {
  if (fileName.empty()) return;
  std::vector<uint8_t> records;
  records.reserve(2 * text.size() + 2);
  const bool existed = FileExists(fileName);
  if (!existed) {
    records.push_back(0xFF);
    records.push_back(0xFE);
  }
  for (char16_t unit : text) {
    records.push_back(static_cast<uint8_t>(unit & 0xFF));
    records.push_back(static_cast<uint8_t>(unit >> 8));
  }
  if (existed && text.empty()) return;  // nothing to append, and no odd byte to touch

  platform::TFileStream file(fileName, existed ? uint16_t(platform::fmOpenReadWrite | platform::fmShareDenyWrite)
                                               : uint16_t(platform::fmCreate));
  const int64_t oldSize = file.Size();
  uint8_t oddByte = 0;
  const bool odd = oldSize % 2 != 0;
  if (odd) ReadAt(file, oldSize - 1, &oddByte, 1);
  try {
    file.Seek(oldSize & ~int64_t{1}, platform::TSeekOrigin::soBeginning);
    file.WriteBuffer(records.data(), static_cast<int64_t>(records.size()));
  } catch (...) {
    // Put the file back as it was: nothing of this append stays.
    try {
      file.SetSize(oldSize);
      if (odd) {
        file.Seek(oldSize - 1, platform::TSeekOrigin::soBeginning);
        file.WriteBuffer(&oddByte, 1);
      }
    } catch (...) {
    }
    if (!existed) ::unlink(Utf8Name(fileName).c_str());
    throw;
  }
}

// ---------------------------------------------------------------------------
// TPossiblyDodgyTextStringlist.

TPossiblyDodgyTextStringlist::TPossiblyDodgyTextStringlist() = default;
TPossiblyDodgyTextStringlist::~TPossiblyDodgyTextStringlist() = default;

void TPossiblyDodgyTextStringlist::LoadFromFile(std::u16string_view fileName) {
  const std::vector<uint8_t> bytes = ReadTextFileBytes(fileName);
  if (bytes.size() > 2) SignedUTF8 = HasUTF8Signature(bytes);
  LoadFromBytes(bytes);
}

void TPossiblyDodgyTextStringlist::LoadFromStream(platform::TStream& stream) {
  const int64_t remaining = stream.Remaining();
  CheckTextSize(static_cast<uint64_t>(remaining));
  std::vector<uint8_t> bytes(static_cast<size_t>(remaining));
  stream.ReadBuffer(bytes.data(), remaining);
  LoadFromBytes(bytes);
}

void TPossiblyDodgyTextStringlist::LoadFromFile(std::u16string_view fileName,
                                                TTextEncoding encoding) {
  const std::vector<uint8_t> bytes = ReadTextFileBytes(fileName);
  SetEncoding(encoding);
  SetLines(platform::DecodeTextBytesAs(bytes, encoding));
}

void TPossiblyDodgyTextStringlist::LoadFromStream(platform::TStream& stream,
                                                  TTextEncoding encoding) {
  const int64_t remaining = stream.Remaining();
  CheckTextSize(static_cast<uint64_t>(remaining));
  std::vector<uint8_t> bytes(static_cast<size_t>(remaining));
  stream.ReadBuffer(bytes.data(), remaining);
  SetEncoding(encoding);
  SetLines(platform::DecodeTextBytesAs(bytes, encoding));
}

void TPossiblyDodgyTextStringlist::LoadFromBytes(Bytes bytes) {
  TTextEncoding used;
  const std::u16string text = DecodedTextFileBytes(bytes, &used);
  SetEncoding(used);
  SetLines(text);
}

void TPossiblyDodgyTextStringlist::SetTextStr(std::u16string_view text) {
  if (!SignedUTF8 && !text.empty() && IsSingleByteEncoding(Encoding())) {
    // The text was decoded from 8-bit bytes: get the bytes back and see
    // whether they are UTF-8 after all. Only a text that the code page holds
    // whole gives its bytes back; one with characters the page lacks would
    // lose them (to "?") in the recovery, and is kept as it is.
    const uint32_t codePage = Encoding() == platform::kEncodingDefault ? platform::CP_ACP : Encoding();
    const std::u16string_view whole = text.substr(0, text.find(u'\0'));
    const std::string bytes = platform::Encoded(codePage, whole);
    const Bytes b(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    if (LooksLikeUTF8(UpToFirstZero(b)) && platform::Decoded(codePage, bytes) == whole) {
      SetLines(platform::Decoded(platform::CP_UTF8, AsChars(UpToFirstZero(b))));
      return;
    }
  }
  SetLines(text);
}

void TPossiblyDodgyTextStringlist::SetLines(std::u16string_view text) {
  Clear();
  const size_t nul = text.find(u'\0');
  if (nul != std::u16string_view::npos) text = text.substr(0, nul);
  if (text.empty()) return;
  if (LineBreak() != u"\r\n") {
    const std::u16string& br = LineBreak();
    size_t start = 0;
    while (start <= text.size()) {
      const size_t p = br.empty() ? std::u16string_view::npos : text.find(br, start);
      if (p == std::u16string_view::npos) {
        if (start < text.size()) Add(std::u16string(text.substr(start)));
        break;
      }
      Add(std::u16string(text.substr(start, p - start)));
      start = p + br.size();
    }
    return;
  }
  size_t start = 0, i = 0;
  const size_t n = text.size();
  while (i < n) {
    const char16_t c = text[i];
    if (c != u'\r' && c != u'\n') {
      ++i;
      continue;
    }
    Add(std::u16string(text.substr(start, i - start)));
    i += (c == u'\r' && i + 1 < n && text[i + 1] == u'\n') ? 2 : 1;
    start = i;
  }
  if (start < n) Add(std::u16string(text.substr(start)));
}

}  // namespace qn
