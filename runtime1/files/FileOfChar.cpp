#include "runtime1/files/FileOfChar.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/CodePages.h"
#include "platform/Exceptions.h"
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

bool StartsWith(Bytes b, std::initializer_list<uint8_t> prefix) noexcept {
  return b.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), b.begin());
}
bool HasUTF8Signature(Bytes b) noexcept { return StartsWith(b, {0xEF, 0xBB, 0xBF}); }

TFileContentsSet ContainerType(const uint8_t* p) noexcept {
  if (p[0] == 0xD0 && p[1] == 0xCF && p[2] == 0x11 && p[3] == 0xE0) return {_Storage};
  if (p[0] == 0xDB && p[1] == 0xA5 && p[2] == 0x2D && p[3] == 0x00) return {_early_Word};
  if (p[0] == 0x50 && p[1] == 0x4B && p[2] == 0x03 && p[3] == 0x04) return {_Zip};
  return {};
}

TFileContentsSet QuickType(const uint8_t* p) noexcept {
  TFileContentsSet set;
  if (IsUTF8Signature(p[0], p[1], p[2])) set.Include(_UTF8);
  if (p[0] == 0xFF && p[1] == 0xFE) {
    set.Include(_16_bit);
  } else if (p[0] == 0xFE && p[1] == 0xFF) {
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
  const bool little = StartsWith(sample, {0xFF, 0xFE});
  const bool big = StartsWith(sample, {0xFE, 0xFF});
  if (little) return {_16_bit};
  if (big) return {_16_bit_reversed};
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
bool LooksLikeUTF8(Bytes b) noexcept {
  const uint8_t* s = b.data();
  const size_t n = b.size();
  size_t valid = 0, invalid = 0, i = 0;
  while (i < n) {
    while (i + 8 <= n) {
      uint64_t word;
      std::memcpy(&word, s + i, 8);
      if (word & 0x8080808080808080ULL) break;
      i += 8;
    }
    if (i >= n) break;
    if (s[i] < 0x80) {
      ++i;
      continue;
    }
    const size_t length = WellFormedSequenceLength(s + i, n - i);
    if (length == 0) {
      ++invalid;
      ++i;
      // Decided once the rest could not hold enough sequences to outnumber
      // the ill-formed bytes (each takes two bytes at least).
      if (invalid >= valid + (n - i) / 2) return false;
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

// The text of 8-bit bytes without a signature.
std::u16string DecodedEightBit(Bytes b, TTextEncoding* encoding) {
  b = UpToFirstZero(b);
  if (platform::IsSingleByteCodePage(platform::CP_ACP) && LooksLikeUTF8(b)) {
    if (encoding != nullptr) *encoding = platform::kEncodingUTF8;
    return platform::Decoded(platform::CP_UTF8, AsChars(b));
  }
  if (encoding != nullptr) *encoding = platform::kEncodingDefault;
  return platform::Decoded(platform::CP_ACP, AsChars(b));
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


// Asks the kernel to back a large fresh buffer with huge pages: a corpus file
// of 100 MB otherwise costs some 75,000 page faults between its bytes and its
// text, more time than decoding it. Only advice; failure changes nothing.
void AdviseHugePages(void* data, size_t bytes) noexcept {
  constexpr uintptr_t kHuge = uintptr_t{2} << 20;
  if (bytes < 2 * kHuge) return;
  const uintptr_t first = (reinterpret_cast<uintptr_t>(data) + kHuge - 1) & ~(kHuge - 1);
  const uintptr_t last = (reinterpret_cast<uintptr_t>(data) + bytes) & ~(kHuge - 1);
  if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

// ---------------------------------------------------------------------------
// The fused reader of TextFileContents: 8-bit and UTF-8 bytes decoded straight
// into the final text with its CR LF line ends, one pass and one allocation
// for a whole corpus file (the general path decodes, then rewrites the lines).

// The number of line ends that are a lone CR or a lone LF: each needs one more
// code unit once it becomes CR LF.
size_t LoneLineEnds(Bytes b) noexcept {
  size_t lone = 0;
  const uint8_t* s = b.data();
  const size_t n = b.size();
  if (n == 0) return 0;
  for (const void* q = std::memchr(s, '\n', n); q != nullptr;) {
    const size_t i = static_cast<size_t>(static_cast<const uint8_t*>(q) - s);
    if (i == 0 || s[i - 1] != '\r') ++lone;
    q = i + 1 < n ? std::memchr(s + i + 1, '\n', n - i - 1) : nullptr;
  }
  for (const void* q = std::memchr(s, '\r', n); q != nullptr;) {
    const size_t i = static_cast<size_t>(static_cast<const uint8_t*>(q) - s);
    if (i + 1 == n || s[i + 1] != '\n') ++lone;
    q = i + 1 < n ? std::memchr(s + i + 1, '\r', n - i - 1) : nullptr;
  }
  return lone;
}

// True when any of the eight bytes is 80 or above or below 0E (the byte
// values that need a closer look: non-ASCII, CR, LF, and bytes near them).
inline bool NeedsCare(uint64_t word) noexcept {
  constexpr uint64_t kOnes = 0x0101010101010101ULL;
  constexpr uint64_t kHigh = 0x8080808080808080ULL;
  return ((word | ((word - kOnes * 0x0E) & ~word)) & kHigh) != 0;
}

// Appends the line end at s[i] (CR or LF) as CR LF; returns the bytes used.
inline size_t PutLineEnd(const uint8_t* s, size_t i, size_t n, char16_t*& out) noexcept {
  *out++ = u'\r';
  *out++ = u'\n';
  return (s[i] == '\r' && i + 1 < n && s[i + 1] == '\n') ? 2 : 1;
}

// Decodes bytes (no zero among them) as UTF-8, or through table when it is
// not null, into out; every line end becomes CR LF and a final line gets one.
// out has room for bytes + lone line ends + 2 units. Returns the units written.
// True when any of the eight bytes is below 0E (CR, LF and their neighbours).
inline bool HasByteBelow0E(uint64_t word) noexcept {
  constexpr uint64_t kOnes = 0x0101010101010101ULL;
  return (((word - kOnes * 0x0E) & ~word) & (kOnes * 0x80)) != 0;
}

size_t DecodeLinesInto(Bytes b, const char16_t* table, char16_t* out) noexcept {
  const uint8_t* s = b.data();
  const size_t n = b.size();
  char16_t* const start = out;
  size_t i = 0;
  // A single-byte code page: every byte through the table, eight at a time
  // between line ends.
  while (table != nullptr && i < n) {
    while (i + 8 <= n) {
      uint64_t word;
      std::memcpy(&word, s + i, 8);
      if (HasByteBelow0E(word)) break;
      for (int k = 0; k < 8; ++k) out[k] = table[s[i + size_t(k)]];
      out += 8;
      i += 8;
    }
    if (i >= n) break;
    if (s[i] == '\r' || s[i] == '\n') {
      i += PutLineEnd(s, i, n, out);
    } else {
      *out++ = table[s[i]];
      ++i;
    }
  }
  while (table == nullptr && i < n) {
    while (i + 8 <= n) {
      uint64_t word;
      std::memcpy(&word, s + i, 8);
      if (NeedsCare(word)) break;
      for (int k = 0; k < 8; ++k) out[k] = s[i + size_t(k)];
      out += 8;
      i += 8;
    }
    if (i >= n) break;
    const uint8_t c = s[i];
    if (c == '\r' || c == '\n') {
      i += PutLineEnd(s, i, n, out);
    } else if (c < 0x80) {
      *out++ = c;
      ++i;
    } else {
      // ICU's macro takes int32_t lengths: a window that holds any sequence.
      const int32_t window = static_cast<int32_t>(std::min<size_t>(n - i, 8));
      int32_t k = 0;
      UChar32 cp;
      U8_NEXT(s + i, k, window, cp);
      if (cp < 0) cp = 0xFFFD;
      i += static_cast<size_t>(k);
      if (cp < 0x10000) {
        *out++ = static_cast<char16_t>(cp);
      } else {
        *out++ = U16_LEAD(cp);
        *out++ = U16_TRAIL(cp);
      }
    }
  }
  if (out != start && out[-1] != u'\n') {
    *out++ = u'\r';
    *out++ = u'\n';
  }
  return static_cast<size_t>(out - start);
}

// The text of 8-bit or UTF-8 bytes with CR LF line ends, when this fast path
// serves them (single-byte active code page, or UTF-8); false otherwise.
bool FastTextOfBytes(Bytes bytes, std::u16string& text) {
  const char16_t* table = nullptr;
  Bytes body = bytes;
  if (HasUTF8Signature(bytes)) {
    body = bytes.subspan(3);
  } else if (StartsWith(bytes, {0xFF, 0xFE}) || StartsWith(bytes, {0xFE, 0xFF})) {
    return false;
  } else {
    const size_t sample = std::min(bytes.size(), kDetectionSample) & ~size_t{1};
    if (bytes.size() % 2 == 0 &&
        platform::DetectUtf16WithoutMark(bytes.data(), sample) != platform::TUtf16Detection::NotUtf16)
      return false;
    if (!platform::IsSingleByteCodePage(platform::CP_ACP)) return false;
    body = UpToFirstZero(bytes);
    if (!LooksLikeUTF8(body)) {
      table = platform::DecodeTableOfCodePage(platform::CP_ACP);
      if (table == nullptr) return false;
      // CR and LF must decode as themselves for the line ends to be found in bytes.
      if (table[0x0D] != u'\r' || table[0x0A] != u'\n') return false;
    }
  }
  body = UpToFirstZero(body);
  const uint64_t room = uint64_t(body.size()) + LoneLineEnds(body) + 2;
  if (room > kMaxTextUnits) RaiseFileReadError("text file too large");
  text.reserve(static_cast<size_t>(room));
  AdviseHugePages(text.data(), static_cast<size_t>(room) * sizeof(char16_t));
  text.resize(static_cast<size_t>(room));
  text.resize(DecodeLinesInto(body, table, text.data()));
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
  } catch (...) {
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
  if ((p[0] == 0xFF && p[1] == 0xFE) || (p[0] == 0xFE && p[1] == 0xFF)) return true;
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

std::u16string DecodedTextFileBytes(Bytes bytes, TTextEncoding* encoding) {
  CheckTextSize(bytes.size());
  TTextEncoding used;
  std::u16string text;
  if (HasUTF8Signature(bytes)) {
    used = platform::kEncodingUTF8;
    text = platform::Decoded(platform::CP_UTF8, AsChars(bytes.subspan(3)));
  } else if (StartsWith(bytes, {0xFF, 0xFE})) {
    used = platform::kEncodingUTF16LE;
    text = platform::DecodeTextBytesAs(bytes, used);
  } else if (StartsWith(bytes, {0xFE, 0xFF})) {
    used = platform::kEncodingUTF16BE;
    text = platform::DecodeTextBytesAs(bytes, used);
  } else {
    const size_t sample = std::min(bytes.size(), kDetectionSample) & ~size_t{1};
    const auto detected =
        bytes.size() % 2 == 0 ? platform::DetectUtf16WithoutMark(bytes.data(), sample)
                              : platform::TUtf16Detection::NotUtf16;
    if (detected == platform::TUtf16Detection::LittleEndian) {
      used = platform::kEncodingUTF16LE;
      text = platform::DecodeTextBytesAs(bytes, used);
    } else if (detected == platform::TUtf16Detection::BigEndian) {
      used = platform::kEncodingUTF16BE;
      text = platform::DecodeTextBytesAs(bytes, used);
    } else {
      text = DecodedEightBit(bytes, &used);
    }
  }
  if (encoding != nullptr) *encoding = used;
  return text;
}

std::u16string TextOfFileBytes(Bytes bytes) {
  CheckTextSize(bytes.size());
  std::u16string text;
  if (FastTextOfBytes(bytes, text)) return text;
  return LinesEndedByCRLF(DecodedTextFileBytes(bytes));
}

std::u16string TextFileContents(std::u16string_view fileName) {
  if (!FileExists(fileName)) return {};
  platform::TFileStream file(fileName, platform::fmOpenRead | platform::fmShareDenyNone);
  const int64_t size = std::max<int64_t>(file.Size(), 0);
  CheckTextSize(static_cast<uint64_t>(size));
  // Not zero-filled first: every byte used is read from the file.
  std::unique_ptr<uint8_t[]> bytes(new uint8_t[static_cast<size_t>(size) + 1]);
  AdviseHugePages(bytes.get(), static_cast<size_t>(size));
  const size_t got = ReadAt(file, 0, bytes.get(), static_cast<size_t>(size));
  return TextOfFileBytes(Bytes(bytes.get(), got));
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
    const uint32_t codePage = static_cast<uint32_t>(LCIDToCodePage(lcid));
    text = platform::Decoded(codePage, AsChars(UpToFirstZero(bytes)));
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
    // whether they are UTF-8 after all.
    const uint32_t codePage = Encoding() == platform::kEncodingDefault ? platform::CP_ACP : Encoding();
    const std::string bytes = platform::Encoded(codePage, text.substr(0, text.find(u'\0')));
    const Bytes b(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    if (LooksLikeUTF8(UpToFirstZero(b))) {
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
