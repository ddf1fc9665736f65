// Speed of reading a whole text file into one UTF-16 string (TextFileContents:
// detection, decoding, the UTF-8 recognition of unsigned 8-bit bytes and the
// CR LF line ends), next to two baselines measured in the same run on the same
// file: fread of its bytes, and iconv decoding them (fread, then iconv into a
// fresh UTF-16 buffer: what a program that converts files would do). For
// UTF-16 the general reader is measured too (the list's way: decode the
// bytes, then make the line ends CR LF in a second string).
//
// The files (100 MB each) are made under /tmp when the program starts and
// removed when it ends: UTF-8 without a signature (mostly ASCII words with
// Latin, Cyrillic and CJK ones among them, LF line ends), windows-1252
// (Western words with accented letters, CR LF line ends), and the mixed text
// as UTF-16 in both byte orders with and without a mark (CR LF line ends).
// Bytes per second are bytes of the file.
#include <benchmark/benchmark.h>
#include <iconv.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "platform/CodePages.h"
#include "runtime1/files/FileOfChar.h"

namespace {

constexpr size_t kFileBytes = 100u * 1024u * 1024u;

// One megabyte-sized block of words, repeated: the decoders see real mixes of
// scripts, and building the file stays quick.
std::u16string MakeChunk(const std::vector<std::u16string>& words, const char16_t* lineEnd) {
  std::mt19937 random(11);
  std::u16string chunk;
  size_t sinceLine = 0;
  while (chunk.size() < (1u << 20)) {
    chunk += words[random() % words.size()];
    if (++sinceLine == 14) {
      chunk += lineEnd;
      sinceLine = 0;
    } else {
      chunk += u' ';
    }
  }
  return chunk;
}

std::string Repeated(const std::string& block, size_t step) {
  std::string text;
  text.reserve(kFileBytes + block.size());
  while (text.size() < kFileBytes) text += block;
  text.resize(kFileBytes - kFileBytes % step);
  return text;
}

std::string MakeText(const std::vector<std::u16string>& words, const char16_t* lineEnd,
                     uint32_t codePage) {
  std::string text = Repeated(qn::platform::Encoded(codePage, MakeChunk(words, lineEnd)), 1);
  // End on a whole character: cut back to the last line end.
  text.resize(text.rfind('\n') + 1);
  return text;
}

std::string MakeUtf16(const std::vector<std::u16string>& words, bool big, bool mark) {
  std::string block;
  for (char16_t u : MakeChunk(words, u"\r\n")) {
    block += static_cast<char>(big ? u >> 8 : u & 0xFF);
    block += static_cast<char>(big ? u & 0xFF : u >> 8);
  }
  std::string text = Repeated(block, 2);
  if (mark) text.replace(0, 2, big ? "\xFE\xFF" : "\xFF\xFE");
  return text;
}

enum TFileKind { kUtf8, kAnsi, kUtf16LE, kUtf16BE, kUtf16LENoMark, kUtf16BENoMark, kKinds };

const char* const kIconvNames[kKinds] = {"UTF-8", "WINDOWS-1252", "UTF-16LE", "UTF-16BE", "UTF-16LE", "UTF-16BE"};
const char* const kSuffixes[kKinds] = {"utf8", "1252", "utf16le", "utf16be", "utf16le_nomark", "utf16be_nomark"};

struct TFiles {
  std::string names[kKinds];
  size_t sizes[kKinds] = {};

  TFiles() {
    const std::string stem = "/tmp/qn_text_file_reading_bench_" + std::to_string(::getpid());
    for (int k = 0; k < kKinds; ++k) names[k] = stem + "_" + kSuffixes[k] + ".txt";
    const std::vector<std::u16string> many = {
        u"the", u"of", u"and", u"corpus", u"word", u"list", u"caf\u00E9", u"stra\u00DFe",
        u"na\u00EFve", u"\u0437\u0434\u0440\u0430\u0432\u0441\u0442\u0432\u0443\u0439",
        u"\u65E5\u672C\u8A9E", u"text", u"tool", u"concordance", u"is", u"a", u"in"};
    const std::vector<std::u16string> western = {
        u"the", u"of", u"and", u"corpus", u"word", u"list", u"caf\u00E9", u"stra\u00DFe",
        u"na\u00EFve", u"\u00E9t\u00E9", u"cr\u00E8me", u"text", u"tool", u"concordance",
        u"is", u"a", u"in", u"\u201Cquoted\u201D"};
    sizes[kUtf8] = Write(names[kUtf8], MakeText(many, u"\n", qn::platform::CP_UTF8));
    sizes[kAnsi] = Write(names[kAnsi], MakeText(western, u"\r\n", 1252));
    sizes[kUtf16LE] = Write(names[kUtf16LE], MakeUtf16(many, false, true));
    sizes[kUtf16BE] = Write(names[kUtf16BE], MakeUtf16(many, true, true));
    sizes[kUtf16LENoMark] = Write(names[kUtf16LENoMark], MakeUtf16(many, false, false));
    sizes[kUtf16BENoMark] = Write(names[kUtf16BENoMark], MakeUtf16(many, true, false));
  }
  ~TFiles() {
    for (const std::string& name : names) std::remove(name.c_str());
  }
  static size_t Write(const std::string& name, const std::string& bytes) {
    FILE* f = std::fopen(name.c_str(), "wb");
    if (f == nullptr) return 0;
    const size_t written = std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return written;
  }
};

TFiles& Files() {
  static TFiles files;
  return files;
}

std::vector<char> ReadAll(const std::string& name, size_t size) {
  std::vector<char> buffer(size);
  FILE* f = std::fopen(name.c_str(), "rb");
  const size_t got = f == nullptr ? 0 : std::fread(buffer.data(), 1, size, f);
  if (f != nullptr) std::fclose(f);
  buffer.resize(got);
  return buffer;
}

void ReadWithFread(benchmark::State& state, TFileKind kind) {
  const std::string& name = Files().names[kind];
  const size_t size = Files().sizes[kind];
  std::vector<char> buffer(size);
  for (auto _ : state) {
    FILE* f = std::fopen(name.c_str(), "rb");
    const size_t got = f == nullptr ? 0 : std::fread(buffer.data(), 1, size, f);
    if (f != nullptr) std::fclose(f);
    benchmark::DoNotOptimize(got);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(size));
}

// The file's bytes decoded by iconv into UTF-16 of the host's byte order (no
// line-end handling). Both buffers are made once and reused, so this is
// iconv's own speed plus fread's, without the cost of fresh memory that the
// reader pays for the string it returns: a peer that errs in iconv's favour.
void ReadWithIconv(benchmark::State& state, TFileKind kind) {
  const std::string& name = Files().names[kind];
  const size_t size = Files().sizes[kind];
  iconv_t cd = iconv_open("UTF-16LE", kIconvNames[kind]);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    state.SkipWithError("iconv_open failed");
    return;
  }
  std::vector<char> bytes(size);
  std::vector<char16_t> text(size + 2);
  size_t units = 0;
  for (auto _ : state) {
    FILE* f = std::fopen(name.c_str(), "rb");
    const size_t got = f == nullptr ? 0 : std::fread(bytes.data(), 1, size, f);
    if (f != nullptr) std::fclose(f);
    char* in = bytes.data();
    size_t inLeft = got;
    char* out = reinterpret_cast<char*>(text.data());
    size_t outLeft = text.size() * sizeof(char16_t);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &in, &inLeft, &out, &outLeft) == static_cast<size_t>(-1)) {
      state.SkipWithError("iconv failed");
      break;
    }
    units = text.size() - outLeft / sizeof(char16_t);
    benchmark::DoNotOptimize(text.data());
    benchmark::ClobberMemory();
  }
  iconv_close(cd);
  state.counters["units"] = double(units);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(size));
}

void ReadAsText(benchmark::State& state, TFileKind kind) {
  const std::string& name = Files().names[kind];
  const std::u16string wname(name.begin(), name.end());
  size_t units = 0;
  for (auto _ : state) {
    const std::u16string text = qn::TextFileContents(wname);
    units = text.size();
    benchmark::DoNotOptimize(text.data());
  }
  state.counters["units"] = double(units);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(size_t(Files().sizes[kind])));
}

// The UTF-8 file read with the plain decoder alone: the baseline of the
// vector forms, which ReadAsText uses when the processor has them.
void ReadAsTextPlainDecoder(benchmark::State& state, TFileKind kind) {
  qn::file_detail::LimitUtf8DecoderLevel(0);
  ReadAsText(state, kind);
  qn::file_detail::LimitUtf8DecoderLevel(2);
}
BENCHMARK_CAPTURE(ReadAsTextPlainDecoder, kUtf8, kUtf8)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The general reader's way, kept here for the comparison: the decoded text,
// then a second string with its line ends made CR LF.
std::u16string LinesEndedByCRLF(std::u16string_view text) {
  const size_t nul = text.find(u'\0');
  if (nul != std::u16string_view::npos) text = text.substr(0, nul);
  std::u16string r;
  if (text.empty()) return r;
  r.reserve(text.size() + text.size() / 32 + 2);
  size_t start = 0, i = 0;
  const size_t n = text.size();
  while (i < n) {
    const char16_t c = text[i];
    if (c > u'\r' || (c != u'\r' && c != u'\n')) {
      ++i;
      continue;
    }
    r.append(text.data() + start, i - start);
    r += u"\r\n";
    i += (c == u'\r' && i + 1 < n && text[i + 1] == u'\n') ? 2 : 1;
    start = i;
  }
  if (start < n) {
    r.append(text.data() + start, n - start);
    r += u"\r\n";
  }
  return r;
}

void ReadTheGeneralWay(benchmark::State& state, TFileKind kind) {
  const std::string& name = Files().names[kind];
  const size_t size = Files().sizes[kind];
  size_t units = 0;
  for (auto _ : state) {
    const std::vector<char> bytes = ReadAll(name, size);
    const std::span<const uint8_t> view(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    const std::u16string text = LinesEndedByCRLF(qn::DecodedTextFileBytes(view));
    units = text.size();
    benchmark::DoNotOptimize(text.data());
  }
  state.counters["units"] = double(units);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(size));
}

// Thorough detection of a whole buffer the size of a typical corpus text
// (64 KiB, the first of the file): all of it is looked at, so this is the
// classifier's own speed.
constexpr size_t kDetectionBytes = 64 * 1024;

void Detect(benchmark::State& state, const std::vector<char>& bytes) {
  for (auto _ : state) benchmark::DoNotOptimize(qn::FileBufferType(bytes.data(), bytes.size(), true));
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}

void ThoroughDetection(benchmark::State& state, TFileKind kind) {
  Detect(state, ReadAll(Files().names[kind], kDetectionBytes));
}

// Cyrillic windows-1251: nearly every byte 80 or above.
void ThoroughDetectionCyrillic1251(benchmark::State& state) {
  const std::vector<std::u16string> words = {
      u"\u0437\u0434\u0440\u0430\u0432\u0441\u0442\u0432\u0443\u0439", u"\u043C\u0438\u0440",
      u"\u0441\u043B\u043E\u0432\u043E", u"\u0438", u"\u0432", u"\u0442\u0435\u043A\u0441\u0442"};
  const std::string text = qn::platform::Encoded(1251, MakeChunk(words, u"\r\n")).substr(0, kDetectionBytes);
  Detect(state, std::vector<char>(text.begin(), text.end()));
}
BENCHMARK(ThoroughDetectionCyrillic1251)->Unit(benchmark::kMicrosecond);

#define QN_READING_BENCHES(Kind)                                                                  \
  BENCHMARK_CAPTURE(ReadWithFread, Kind, Kind)->Unit(benchmark::kMillisecond)->MinTime(2.0);     \
  BENCHMARK_CAPTURE(ReadWithIconv, Kind, Kind)->Unit(benchmark::kMillisecond)->MinTime(2.0);     \
  BENCHMARK_CAPTURE(ReadAsText, Kind, Kind)->Unit(benchmark::kMillisecond)->MinTime(2.0);        \
  BENCHMARK_CAPTURE(ThoroughDetection, Kind, Kind)->Unit(benchmark::kMicrosecond)

QN_READING_BENCHES(kUtf8);
QN_READING_BENCHES(kAnsi);
QN_READING_BENCHES(kUtf16LE);
QN_READING_BENCHES(kUtf16BE);
QN_READING_BENCHES(kUtf16LENoMark);
QN_READING_BENCHES(kUtf16BENoMark);
BENCHMARK_CAPTURE(ReadTheGeneralWay, kUtf16LE, kUtf16LE)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK_CAPTURE(ReadTheGeneralWay, kUtf16BENoMark, kUtf16BENoMark)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
