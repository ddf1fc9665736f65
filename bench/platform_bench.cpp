// Speed of the platform text services over a corpus-sized text, each next to
// memcpy of the same buffer in the same run:
//   classifying UTF-16 into CT_CTYPE1 words   vs memcpy of the UTF-16 buffer
//   decoding windows-1252 and UTF-8 to UTF-16  vs memcpy of the input bytes
//   encoding UTF-16 to windows-1252            vs memcpy of the UTF-16 buffer
//   upper-casing UTF-16 in place                vs memcpy of the UTF-16 buffer
// The text is 16 MB of UTF-16 made of words in Latin, Cyrillic and Greek
// (mostly ASCII with accented letters, as Western corpora are), with spaces,
// punctuation and CR LF line ends; the 8-bit forms are its encodings.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/CaseMapping.h"
#include "platform/CharTypes.h"
#include "platform/CodePages.h"
#include "platform/TextDetection.h"

namespace {

using namespace qn::platform;

constexpr size_t kUnits = 8u * 1024u * 1024u;

const std::u16string& Corpus(bool westernOnly) {
  static const auto build = [](bool western) {
    static const char16_t* const kWestern[] = {
        u"the", u"of", u"and", u"corpus", u"frequency", u"caf\u00E9", u"na\u00EFve", u"r\u00E9sum\u00E9",
        u"Stra\u00DFe", u"\u00FCber", u"ni\u00F1o", u"a\u00E7\u00E3o", u"word", u"list", u"Concordance",
        u"collocate", u"\u2018quoted\u2019", u"\u20AC12", u"1999", u"\u00BFqu\u00E9?"};
    static const char16_t* const kOther[] = {u"\u044F\u0437\u044B\u043A", u"\u03BB\u03CC\u03B3\u03BF\u03C2",
                                             u"\u0441\u043B\u043E\u0432\u043E"};
    std::mt19937 random(42);
    std::u16string text;
    text.reserve(kUnits + 64);
    size_t word = 0;
    while (text.size() < kUnits) {
      if (!western && random() % 4 == 0) text += kOther[random() % std::size(kOther)];
      else text += kWestern[random() % std::size(kWestern)];
      text += (++word % 12 == 0) ? u".\r\n" : u" ";
    }
    text.resize(kUnits);
    return text;
  };
  static const std::u16string western = build(true);
  static const std::u16string mixed = build(false);
  return westernOnly ? western : mixed;
}

const std::string& Western1252() {
  static const std::string bytes = Encoded(1252, Corpus(true));
  return bytes;
}

const std::string& MixedUtf8() {
  static const std::string bytes = EncodedUTF8(Corpus(false));
  return bytes;
}

const std::string& WesternUtf8() {
  static const std::string bytes = EncodedUTF8(Corpus(true));
  return bytes;
}

void MemcpyOf(benchmark::State& state, const void* source, size_t bytes) {
  std::vector<char> target(bytes);
  for (auto _ : state) {
    std::memcpy(target.data(), source, bytes);
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

void BM_MemcpyUtf16(benchmark::State& state) {
  MemcpyOf(state, Corpus(true).data(), Corpus(true).size() * sizeof(char16_t));
}
BENCHMARK(BM_MemcpyUtf16);

void BM_ClassifyUtf16(benchmark::State& state) {
  const std::u16string& text = Corpus(false);
  std::vector<uint16_t> flags(text.size());
  for (auto _ : state) {
    CharTypes1(text.data(), text.size(), flags.data());
    benchmark::DoNotOptimize(flags.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size() * sizeof(char16_t)));
}
BENCHMARK(BM_ClassifyUtf16);

void BM_MemcpyBytes1252(benchmark::State& state) { MemcpyOf(state, Western1252().data(), Western1252().size()); }
BENCHMARK(BM_MemcpyBytes1252);

void BM_Decode1252(benchmark::State& state) {
  const std::string& bytes = Western1252();
  std::u16string out;
  for (auto _ : state) {
    out.clear();
    AppendDecoded(1252, bytes.data(), bytes.size(), out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}
BENCHMARK(BM_Decode1252);

void BM_MemcpyBytesUtf8(benchmark::State& state) { MemcpyOf(state, MixedUtf8().data(), MixedUtf8().size()); }
BENCHMARK(BM_MemcpyBytesUtf8);

void DecodeUtf8(benchmark::State& state, const std::string& bytes) {
  std::u16string out;
  for (auto _ : state) {
    out.clear();
    AppendDecoded(CP_UTF8, bytes.data(), bytes.size(), out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}

void BM_DecodeUtf8Western(benchmark::State& state) { DecodeUtf8(state, WesternUtf8()); }
BENCHMARK(BM_DecodeUtf8Western);

void BM_DecodeUtf8Mixed(benchmark::State& state) { DecodeUtf8(state, MixedUtf8()); }
BENCHMARK(BM_DecodeUtf8Mixed);

void BM_Encode1252(benchmark::State& state) {
  const std::u16string& text = Corpus(true);
  std::string out;
  for (auto _ : state) {
    out.clear();
    AppendEncoded(1252, text.data(), text.size(), out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size() * sizeof(char16_t)));
}
BENCHMARK(BM_Encode1252);

void BM_UpperCaseUtf16InPlace(benchmark::State& state) {
  std::u16string text = Corpus(false);
  for (auto _ : state) {
    UpperCaseInPlace(text.data(), text.size(), TCaseVariant::Turkic);
    benchmark::DoNotOptimize(text.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size() * sizeof(char16_t)));
}
BENCHMARK(BM_UpperCaseUtf16InPlace);

void BM_DetectUtf16Sample(benchmark::State& state) {
  const std::string& bytes = Western1252();
  for (auto _ : state) benchmark::DoNotOptimize(DetectUtf16WithoutMark(bytes.data(), 64 * 1024));
  state.SetBytesProcessed(int64_t(state.iterations()) * 64 * 1024);
}
BENCHMARK(BM_DetectUtf16Sample);

}  // namespace
