// Speed of the buffer routines over a corpus-sized text, each next to the
// standard-library (or libc) operation that does the same amount of work in the
// same run:
//   FastStrPosW / FastStrIPosW        vs std::u16string_view::find
//   FastStrScanW (first-unit scan)    vs memchr over the same bytes, u16string_view::find(unit)
//   cleaning and compaction routines  vs memcpy of the same buffer
// The texts are 100 MB, of UTF-16 or of 8-bit characters, made of words,
// spaces and CR LF line ends; the needles do not occur, so every search reads
// the whole buffer.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "runtime1/text/Bare_assemb.h"
#include "runtime1/text/Utf8_unit.h"

namespace {

// QUILLON_KERNEL_LEVEL=0 or 1 measures the 128-bit or AVX2 kernels on a
// processor that has more.
const int kKernelLevel = [] {
  const char* level = std::getenv("QUILLON_KERNEL_LEVEL");
  return qn::bare_detail::LimitKernelLevel(level != nullptr ? std::atoi(level) : 2);
}();

constexpr size_t kTextBytes = 100u * 1024u * 1024u;
constexpr size_t kUnits = kTextBytes / sizeof(char16_t);

// Words with frequent first letters, so that a first-unit scan stops often;
// all are Latin-1, so the 8-bit text is the same words in windows-1252.
// With markup, every line starts with a sentence tag and one word in ten is
// highlighted, as in a marked-up corpus file.
template <typename Char>
std::basic_string<Char> MakeCorpus(size_t units, bool markup = false) {
  static const char16_t* const kWords[] = {
      u"the",   u"that",   u"this",  u"there", u"to",      u"of",   u"and",    u"a",
      u"in",    u"is",     u"it",    u"was",   u"for",     u"on",   u"with",   u"as",
      u"time",  u"theory", u"thing", u"text",  u"\u00E9t\u00E9", u"stra\u00DFe", u"corpus",
      u"word",  u"list",   u"tool",  u"Then",  u"THE",     u"tea",  u"thick",  u"tower"};
  auto append = [](std::basic_string<Char>& t, const char16_t* w) {
    for (; *w != 0; ++w) t += static_cast<Char>(*w);
  };
  std::mt19937 random(7);
  std::basic_string<Char> t;
  t.reserve(units + 16);
  size_t sinceLine = 0;
  while (t.size() < units) {
    if (markup && sinceLine == 0) append(t, u"<s n=\"1\">");
    const bool highlighted = markup && random() % 10 == 0;
    if (highlighted) append(t, u"<hi rend=\"it\">");
    append(t, kWords[random() % std::size(kWords)]);
    if (highlighted) append(t, u"</hi>");
    if (++sinceLine == 12) {
      append(t, random() % 8 == 0 ? u"\r\n\r\n" : u"\r\n");
      sinceLine = 0;
    } else {
      append(t, random() % 20 == 0 ? u"  " : u" ");
    }
  }
  t.resize(units);
  return t;
}

// 100 MB in either form: the 8-bit text has twice as many characters.
const std::u16string& Corpus() {
  static const std::u16string text = MakeCorpus<char16_t>(kUnits);
  return text;
}

const std::string& Corpus8() {
  static const std::string text = MakeCorpus<char>(kTextBytes);
  return text;
}

const std::string& MarkedUpCorpus8() {
  static const std::string text = MakeCorpus<char>(kTextBytes, true);
  return text;
}

constexpr char16_t kNeedle[] = u"thermostat";  // starts like many words, never occurs
constexpr char16_t kNeedleLower[] = u"thermostat";
constexpr char16_t kNeedleUpper[] = u"THERMOSTAT";

void SetBytes(benchmark::State& state, size_t bytes) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
  state.counters["kernels"] = kKernelLevel;
}

// --- Searches -------------------------------------------------------------------

void BM_FastStrPosW(benchmark::State& state) {
  const std::u16string& text = Corpus();
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        qn::FastStrPosW(text.data(), kNeedle, static_cast<int32_t>(text.size())));
  }
  SetBytes(state, kTextBytes);
}
BENCHMARK(BM_FastStrPosW)->Unit(benchmark::kMillisecond);

void BM_FastStrIPosW(benchmark::State& state) {
  const std::u16string& text = Corpus();
  for (auto _ : state) {
    benchmark::DoNotOptimize(qn::FastStrIPosW(text.data(), kNeedleLower, kNeedleUpper,
                                              static_cast<int32_t>(text.size())));
  }
  SetBytes(state, kTextBytes);
}
BENCHMARK(BM_FastStrIPosW)->Unit(benchmark::kMillisecond);

void BM_Baseline_U16StringViewFind(benchmark::State& state) {
  const std::u16string_view text = Corpus();
  for (auto _ : state) benchmark::DoNotOptimize(text.find(kNeedle));
  SetBytes(state, kTextBytes);
}
BENCHMARK(BM_Baseline_U16StringViewFind)->Unit(benchmark::kMillisecond);

void BM_FastStrPos8(benchmark::State& state) {
  const std::string& text = Corpus8();
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        qn::FastStrPos(text.data(), "thermostat", static_cast<int32_t>(text.size())));
  }
  SetBytes(state, text.size());
}
BENCHMARK(BM_FastStrPos8)->Unit(benchmark::kMillisecond);

void BM_Baseline_StringViewFind8(benchmark::State& state) {
  const std::string_view text = Corpus8();
  for (auto _ : state) benchmark::DoNotOptimize(text.find("thermostat"));
  SetBytes(state, text.size());
}
BENCHMARK(BM_Baseline_StringViewFind8)->Unit(benchmark::kMillisecond);

void BM_FastStrScanW(benchmark::State& state) {
  const std::u16string& text = Corpus();
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        qn::FastStrScanW(text.data(), u'\u4E00', static_cast<int32_t>(text.size())));
  }
  SetBytes(state, kTextBytes);
}
BENCHMARK(BM_FastStrScanW)->Unit(benchmark::kMillisecond);

void BM_Baseline_Memchr(benchmark::State& state) {
  const std::u16string& text = Corpus();
  for (auto _ : state) benchmark::DoNotOptimize(std::memchr(text.data(), 0xFF, kTextBytes));
  SetBytes(state, kTextBytes);
}
BENCHMARK(BM_Baseline_Memchr)->Unit(benchmark::kMillisecond);

void BM_Baseline_U16StringViewFindUnit(benchmark::State& state) {
  const std::u16string_view text = Corpus();
  for (auto _ : state) benchmark::DoNotOptimize(text.find(u'\u4E00'));
  SetBytes(state, kTextBytes);
}
BENCHMARK(BM_Baseline_U16StringViewFindUnit)->Unit(benchmark::kMillisecond);

// --- Cleaning: each iteration works on a fresh copy, restored untimed. ----------

template <typename Work>
void RunOnCopyW(benchmark::State& state, Work work) {
  const std::u16string& text = Corpus();
  std::u16string buffer = text + u'\0';
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(buffer.data(), text.data(), kTextBytes);
    state.ResumeTiming();
    work(buffer.data(), static_cast<int32_t>(text.size()));
    benchmark::ClobberMemory();
  }
  SetBytes(state, kTextBytes);
}

template <typename Work>
void RunOnCopy8(benchmark::State& state, Work work, const std::string& text = Corpus8()) {
  std::string buffer = text + '\0';
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(buffer.data(), text.data(), text.size());
    state.ResumeTiming();
    work(buffer.data(), static_cast<int32_t>(text.size()));
    benchmark::ClobberMemory();
  }
  SetBytes(state, text.size());
}

void BM_Baseline_MemcpyW(benchmark::State& state) {
  const std::u16string& text = Corpus();
  std::u16string target(text.size(), u'\0');
  for (auto _ : state) {
    std::memcpy(target.data(), text.data(), kTextBytes);
    benchmark::ClobberMemory();
  }
  SetBytes(state, kTextBytes);
}
BENCHMARK(BM_Baseline_MemcpyW)->Unit(benchmark::kMillisecond);

void BM_Baseline_Memcpy8(benchmark::State& state) {
  const std::string& text = Corpus8();
  std::string target(text.size(), '\0');
  for (auto _ : state) {
    std::memcpy(target.data(), text.data(), text.size());
    benchmark::ClobberMemory();
  }
  SetBytes(state, text.size());
}
BENCHMARK(BM_Baseline_Memcpy8)->Unit(benchmark::kMillisecond);

void BM_ReplaceControlCharsBySpaceW(benchmark::State& state) {
  RunOnCopyW(state, [](char16_t* b, int32_t n) { qn::ReplaceControlCharsBySpaceW(b, n); });
}
BENCHMARK(BM_ReplaceControlCharsBySpaceW)->Unit(benchmark::kMillisecond);

void BM_ReplaceCarriageReturnsBySpaceW(benchmark::State& state) {
  RunOnCopyW(state, [](char16_t* b, int32_t n) { qn::ReplaceCarriageReturnsBySpaceW(b, n); });
}
BENCHMARK(BM_ReplaceCarriageReturnsBySpaceW)->Unit(benchmark::kMillisecond);

void BM_ReplaceCharacterBySpaceW(benchmark::State& state) {
  RunOnCopyW(state, [](char16_t* b, int32_t n) { qn::ReplaceCharacterBySpaceW(b, u'\u00E9', n); });
}
BENCHMARK(BM_ReplaceCharacterBySpaceW)->Unit(benchmark::kMillisecond);

void BM_RemoveRedundantSpaceW(benchmark::State& state) {
  RunOnCopyW(state, [](char16_t* b, int32_t n) { benchmark::DoNotOptimize(qn::RemoveRedundantSpaceW(b, n)); });
}
BENCHMARK(BM_RemoveRedundantSpaceW)->Unit(benchmark::kMillisecond);

void BM_CutDoubleCRLFsW(benchmark::State& state) {
  RunOnCopyW(state, [](char16_t* b, int32_t n) { qn::CutDoubleCRLFsW(b, n); });
}
BENCHMARK(BM_CutDoubleCRLFsW)->Unit(benchmark::kMillisecond);

void BM_SearchAndReplaceFastW(benchmark::State& state) {
  RunOnCopyW(state, [](char16_t* b, int32_t n) { qn::SearchAndReplaceFastW(b, u"theory", u"THEORY", n, 6); });
}
BENCHMARK(BM_SearchAndReplaceFastW)->Unit(benchmark::kMillisecond);

void BM_ReplaceControlCharsBySpaceA(benchmark::State& state) {
  RunOnCopy8(state, [](char* b, int32_t n) { qn::ReplaceControlCharsBySpaceA(b, n); });
}
BENCHMARK(BM_ReplaceControlCharsBySpaceA)->Unit(benchmark::kMillisecond);

void BM_LengthConvertedToUnix(benchmark::State& state) {
  RunOnCopy8(state, [](char* b, int32_t n) { benchmark::DoNotOptimize(qn::LengthConvertedToUnix(b, n)); });
}
BENCHMARK(BM_LengthConvertedToUnix)->Unit(benchmark::kMillisecond);

void BM_ClearBetweenChars(benchmark::State& state) {
  RunOnCopy8(state, [](char* b, int32_t n) { qn::ClearBetweenChars(b, 'x', '.', n); });
}
BENCHMARK(BM_ClearBetweenChars)->Unit(benchmark::kMillisecond);

// Removing the tags of a marked-up text.
void BM_ClearBetweenChars_Markup(benchmark::State& state) {
  RunOnCopy8(state, [](char* b, int32_t n) { qn::ClearBetweenChars(b, '<', '>', n); },
             MarkedUpCorpus8());
}
BENCHMARK(BM_ClearBetweenChars_Markup)->Unit(benchmark::kMillisecond);

// The caller's letter sets above 'z': e-acute and its capital.
struct LetterSets {
  qn::ANSILower_or_upperStr_type lowers, uppers;
  LetterSets() {
    lowers.Length = uppers.Length = 1;
    lowers.Chars[0] = '\xE9';
    uppers.Chars[0] = '\xC9';
  }
};

void BM_CutLowercaseWords(benchmark::State& state) {
  const LetterSets sets;
  RunOnCopy8(state, [&](char* b, int32_t n) { qn::CutLowercaseWords(b, sets.lowers, sets.uppers, n); });
}
BENCHMARK(BM_CutLowercaseWords)->Unit(benchmark::kMillisecond);

void BM_CapitaliseABuffer(benchmark::State& state) {
  const LetterSets sets;
  RunOnCopy8(state, [&](char* b, int32_t n) { qn::CapitaliseABuffer(b, sets.lowers, sets.uppers, n); });
}
BENCHMARK(BM_CapitaliseABuffer)->Unit(benchmark::kMillisecond);

void BM_My4Checksum(benchmark::State& state) {
  const std::u16string& text = Corpus();
  for (auto _ : state) benchmark::DoNotOptimize(qn::My4Checksum(text.data(), static_cast<int32_t>(kTextBytes)));
  SetBytes(state, kTextBytes);
}
BENCHMARK(BM_My4Checksum)->Unit(benchmark::kMillisecond);

// --- UTF-8 measurement ------------------------------------------------------------

void BM_UTF8LengthInChars(benchmark::State& state) {
  const std::string& text = Corpus8();
  for (auto _ : state) benchmark::DoNotOptimize(qn::UTF8LengthInChars(text));
  SetBytes(state, text.size());
}
BENCHMARK(BM_UTF8LengthInChars)->Unit(benchmark::kMillisecond);

}  // namespace
