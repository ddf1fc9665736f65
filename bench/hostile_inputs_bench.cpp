// Inputs that once took time growing with the square of their size, each at
// two sizes, the larger four times the smaller: a linear path takes about four
// times as long on the larger, a quadratic one sixteen times.
//
//   BM_HeadwordsDescending/n     n lemma headwords added in descending order
//   BM_SpacesAmongTabs/n         StrippedSpacesBeforePunctuation of n blank-tab
//                                pairs before a comma
//   BM_ReadableManyOpenings/n    QNFormattedReadableStringToWorkString of n
//                                "{CHR(" and one ")}"
//   BM_NumberStrManyOpenings/n   MyFormatValidNumberStr of the same
//   BM_OpenTagAmongClosed/n      OpenWithoutCloseTagInText with n distinct
//                                closed tags and one open one at the end
//   BM_TrimBlankLines/n          TrimAStringlist of n blank lines and n words
//   BM_RemoveEveryOtherLine/n    StringListRemoveLinesMeetingCondition
//   BM_RandomReduce/n            RandomReduceStringlist of n lines to n/2
//   BM_ReduceToExistingFiles/n   ReduceToExistingFilenames of n lines, every
//                                other one naming a missing file
//   BM_AddOrIncOneDistinct/n     AddOrIncOne of n distinct words
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "lemmatiser/myLemmaAndMatchLists.h"
#include "platform/CodePages.h"
#include "platform/Format.h"
#include "platform/StringList.h"
#include "runtime1/containers/Useful_Classes_stringlists.h"
#include "runtime1/text/My_string_functions_lists.h"
#include "runtime1/text/My_string_functions_numbers.h"
#include "runtime1/text/My_string_functions_words.h"
#include "runtime1/text/Myunicodenew.h"

namespace {

// A word for i: letters only, and in the order of i.
std::u16string Word(int64_t i) {
  std::u16string w = u"w";
  for (int64_t k = 100000000; k > 0; k /= 10) w += static_cast<char16_t>(u'a' + (i / k) % 10);
  return w;
}

void Sizes(benchmark::internal::Benchmark* b, int64_t small) {
  b->Arg(small)->Arg(small * 4)->Unit(benchmark::kMillisecond);
}

void BM_HeadwordsDescending(benchmark::State& state) {
  std::vector<std::u16string> words;
  for (int64_t i = state.range(0) - 1; i >= 0; --i) words.push_back(Word(i));
  for (auto _ : state) {
    qn::THeadwordList list;
    for (const std::u16string& w : words) list.FindOrAdd(w);
    benchmark::DoNotOptimize(list.Count());
  }
}
BENCHMARK(BM_HeadwordsDescending)->Apply([](auto* b) { Sizes(b, 20000); });

void BM_SpacesAmongTabs(benchmark::State& state) {
  std::u16string text = u"a";
  for (int64_t i = 0; i < state.range(0); ++i) text += u" \t";
  text += u",";
  for (auto _ : state) benchmark::DoNotOptimize(qn::StrippedSpacesBeforePunctuation(text));
}
BENCHMARK(BM_SpacesAmongTabs)->Apply([](auto* b) { Sizes(b, 5000); });

std::u16string ManyOpenings(int64_t n) {
  std::u16string text;
  for (int64_t i = 0; i < n; ++i) text += u"{CHR(";
  text += u")}";
  return text;
}

void BM_ReadableManyOpenings(benchmark::State& state) {
  const std::u16string text = ManyOpenings(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(qn::QNFormattedReadableStringToWorkString(text));
}
BENCHMARK(BM_ReadableManyOpenings)->Apply([](auto* b) { Sizes(b, 6000); });

void BM_NumberStrManyOpenings(benchmark::State& state) {
  const std::u16string text = ManyOpenings(state.range(0));
  for (auto _ : state) {
    std::u16string s = text;
    benchmark::DoNotOptimize(qn::MyFormatValidNumberStr(s));
  }
}
BENCHMARK(BM_NumberStrManyOpenings)->Apply([](auto* b) { Sizes(b, 6000); });

void BM_OpenTagAmongClosed(benchmark::State& state) {
  std::u16string text;
  for (int64_t i = 0; i < state.range(0); ++i) {
    const std::u16string name = Word(i);
    text.append(u"<").append(name).append(u">x</").append(name).append(u">");
  }
  text += u"<open>";
  for (auto _ : state) {
    benchmark::DoNotOptimize(qn::OpenWithoutCloseTagInText(u"", u"", text, false, false, 10));
  }
}
BENCHMARK(BM_OpenTagAmongClosed)->Apply([](auto* b) { Sizes(b, 2000); });

// A list of n lines made afresh for every iteration, outside the timing.
template <typename Fill, typename Work>
void OnFreshList(benchmark::State& state, Fill fill, Work work) {
  for (auto _ : state) {
    state.PauseTiming();
    qn::platform::TStringList list;
    fill(list, state.range(0));
    state.ResumeTiming();
    work(list);
    benchmark::DoNotOptimize(list.Count());
  }
}

void BM_TrimBlankLines(benchmark::State& state) {
  OnFreshList(
      state,
      [](qn::platform::TStringList& list, int64_t n) {
        for (int64_t i = 0; i < n; ++i) list.Add(u"  ");
        for (int64_t i = 0; i < n; ++i) list.Add(Word(i));
      },
      [](qn::platform::TStringList& list) {
        bool carryOn = true;
        qn::TrimAStringlist(list, false, nullptr, carryOn);
      });
}
BENCHMARK(BM_TrimBlankLines)->Apply([](auto* b) { Sizes(b, 10000); });

void BM_RemoveEveryOtherLine(benchmark::State& state) {
  OnFreshList(
      state,
      [](qn::platform::TStringList& list, int64_t n) {
        for (int64_t i = 0; i < n; ++i) list.Add(i % 2 == 0 ? u"drop" : u"keep");
      },
      [](qn::platform::TStringList& list) {
        qn::StringListRemoveLinesMeetingCondition(list, [](const std::u16string& s) { return s == u"drop"; });
      });
}
BENCHMARK(BM_RemoveEveryOtherLine)->Apply([](auto* b) { Sizes(b, 10000); });

void BM_RandomReduce(benchmark::State& state) {
  OnFreshList(
      state,
      [](qn::platform::TStringList& list, int64_t n) {
        for (int64_t i = 0; i < n; ++i) list.Add(u"line");
      },
      [](qn::platform::TStringList& list) { qn::RandomReduceStringlist(list, list.Count() / 2); });
}
BENCHMARK(BM_RandomReduce)->Apply([](auto* b) { Sizes(b, 10000); });

void BM_ReduceToExistingFiles(benchmark::State& state) {
  const std::filesystem::path existing =
      std::filesystem::temp_directory_path() / ("qn_hostile_bench_" + std::to_string(getpid()));
  std::ofstream(existing) << "x";
  const std::u16string name = qn::platform::DecodedUTF8(existing.string());
  for (auto _ : state) {
    state.PauseTiming();
    qn::TFilenamesStringlist list;
    for (int64_t i = 0; i < state.range(0); ++i) {
      list.Add(i % 2 == 0 ? name : u"/nonexistent/qn_bench/" + Word(i));
    }
    state.ResumeTiming();
    list.ReduceToExistingFilenames();
    benchmark::DoNotOptimize(list.Count());
  }
  std::filesystem::remove(existing);
}
BENCHMARK(BM_ReduceToExistingFiles)->Apply([](auto* b) { Sizes(b, 10000); });

void BM_AddOrIncOneDistinct(benchmark::State& state) {
  std::vector<std::u16string> words;
  for (int64_t i = 0; i < state.range(0); ++i) words.push_back(Word(i * 7919 % state.range(0)));
  for (auto _ : state) {
    qn::TStringListWithLongintList list;
    for (const std::u16string& w : words) list.AddOrIncOne(w, 1);
    benchmark::DoNotOptimize(list.Count());
  }
}
BENCHMARK(BM_AddOrIncOneDistinct)->Apply([](auto* b) { Sizes(b, 2000); });

}  // namespace
