// Speed of reading a whole text file into one UTF-16 string (TextFileContents:
// detection, decoding, the UTF-8 recognition of unsigned 8-bit bytes and the
// CR LF line ends), next to reading the same bytes with fread in the same run.
//
// Two 100 MB files are made under /tmp when the program starts and removed
// when it ends: UTF-8 without a signature (mostly ASCII words with Latin,
// Cyrillic and CJK ones among them, LF line ends) and windows-1252 (Western
// words with accented letters, CR LF line ends). Bytes per second are bytes of
// the file.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "platform/CodePages.h"
#include "runtime1/files/FileOfChar.h"

namespace {

constexpr size_t kFileBytes = 100u * 1024u * 1024u;

std::string MakeText(const std::vector<std::u16string>& words, const char16_t* lineEnd,
                     uint32_t codePage) {
  std::mt19937 random(11);
  std::u16string chunk;
  size_t sinceLine = 0;
  // One megabyte-sized block of words, repeated: the decoders see real mixes
  // of scripts, and building the file stays quick.
  while (chunk.size() < (1u << 20)) {
    chunk += words[random() % words.size()];
    if (++sinceLine == 14) {
      chunk += lineEnd;
      sinceLine = 0;
    } else {
      chunk += u' ';
    }
  }
  const std::string block = qn::platform::Encoded(codePage, chunk);
  std::string text;
  text.reserve(kFileBytes + block.size());
  while (text.size() < kFileBytes) text += block;
  text.resize(kFileBytes);
  // End on a whole character: cut back to the last line end.
  text.resize(text.rfind('\n') + 1);
  return text;
}

struct TFiles {
  std::string utf8Name, ansiName;
  size_t utf8Size = 0, ansiSize = 0;

  TFiles() {
    const std::string stem = "/tmp/qn_text_file_reading_bench_" + std::to_string(::getpid());
    utf8Name = stem + "_utf8.txt";
    ansiName = stem + "_1252.txt";
    const std::vector<std::u16string> many = {
        u"the", u"of", u"and", u"corpus", u"word", u"list", u"caf\u00E9", u"stra\u00DFe",
        u"na\u00EFve", u"\u0437\u0434\u0440\u0430\u0432\u0441\u0442\u0432\u0443\u0439",
        u"\u65E5\u672C\u8A9E", u"text", u"tool", u"concordance", u"is", u"a", u"in"};
    const std::vector<std::u16string> western = {
        u"the", u"of", u"and", u"corpus", u"word", u"list", u"caf\u00E9", u"stra\u00DFe",
        u"na\u00EFve", u"\u00E9t\u00E9", u"cr\u00E8me", u"text", u"tool", u"concordance",
        u"is", u"a", u"in", u"\u201Cquoted\u201D"};
    utf8Size = Write(utf8Name, MakeText(many, u"\n", qn::platform::CP_UTF8));
    ansiSize = Write(ansiName, MakeText(western, u"\r\n", 1252));
  }
  ~TFiles() {
    std::remove(utf8Name.c_str());
    std::remove(ansiName.c_str());
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

void ReadWithFread(benchmark::State& state, const std::string& name, size_t size) {
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

void ReadAsText(benchmark::State& state, const std::string& name, size_t size) {
  const std::u16string wname(name.begin(), name.end());
  size_t units = 0;
  for (auto _ : state) {
    const std::u16string text = qn::TextFileContents(wname);
    units = text.size();
    benchmark::DoNotOptimize(text.data());
  }
  state.counters["units"] = double(units);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(size));
}

void BM_Fread_UTF8(benchmark::State& s) { ReadWithFread(s, Files().utf8Name, Files().utf8Size); }
void BM_TextFileContents_UTF8(benchmark::State& s) { ReadAsText(s, Files().utf8Name, Files().utf8Size); }
void BM_Fread_1252(benchmark::State& s) { ReadWithFread(s, Files().ansiName, Files().ansiSize); }
void BM_TextFileContents_1252(benchmark::State& s) { ReadAsText(s, Files().ansiName, Files().ansiSize); }

void BM_ThoroughDetection_UTF8(benchmark::State& state) {
  const std::u16string wname(Files().utf8Name.begin(), Files().utf8Name.end());
  for (auto _ : state) benchmark::DoNotOptimize(qn::FileContentsType(wname, true));
}

BENCHMARK(BM_Fread_UTF8)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_TextFileContents_UTF8)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_Fread_1252)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_TextFileContents_1252)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ThoroughDetection_UTF8)->Unit(benchmark::kMicrosecond);

}  // namespace
