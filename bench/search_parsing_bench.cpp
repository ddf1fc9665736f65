// Parsing typed search requests.
//
//   BM_ParseSearchWords        100,000 varied alternatives, each parsed fully
//   BM_CopyAlternatives        baseline: the same alternatives only copied and
//                              upper-cased (the floor any parse pays)
//   BM_SplitRequest/n          one request of n slash-separated words, split
//   BM_SplitByRestarting/n     baseline: the split rule transcribed literally
//                              (delete what was split off, restart), on the
//                              same request; quadratic
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/CaseMapping.h"
#include "runtime1/search/Search_parsing.h"
#include "runtime1/search/testing/SplitByRestarting.h"

namespace {

const std::vector<std::u16string>& Alternatives() {
  static const std::vector<std::u16string> words = [] {
    const char16_t* const forms[] = {u"walk*",      u"*ing",         u"==Bank==",    u"the * of",
                                     u"b*d",        u"c?t",          u"\"*\"star",   u"cat/\\",
                                     u"<b>bold",    u"cat context:=dog", u"plain",   u"~the"};
    std::vector<std::u16string> v;
    v.reserve(100000);
    for (int i = 0; i < 100000; ++i) {
      std::u16string w = forms[i % std::size(forms)];
      w += u'a' + static_cast<char16_t>(i % 26);
      v.push_back(std::move(w));
    }
    return v;
  }();
  return words;
}

std::u16string Request(int64_t n) {
  std::u16string r;
  for (int64_t i = 0; i < n; ++i) {
    if (i > 0) r += u'/';
    r += u"wd";  // five code units with the slash: 100,000 words make 1 MB
    r += static_cast<char16_t>(u'a' + i % 26);
    r += u'x';
  }
  return r;
}

void BM_ParseSearchWords(benchmark::State& state) {
  qn::TIgnore_tag_type tags{};
  tags[qn::tag_on][0] = u'<';
  tags[qn::tag_off][0] = u'>';
  const auto& words = Alternatives();
  for (auto _ : state) {
    for (const std::u16string& w : words) {
      std::u16string s = w;
      benchmark::DoNotOptimize(qn::Parsed_SearchWord(tags, s));
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(words.size()));
}
BENCHMARK(BM_ParseSearchWords)->Unit(benchmark::kMillisecond);

void BM_CopyAlternatives(benchmark::State& state) {
  const auto& words = Alternatives();
  for (auto _ : state) {
    for (const std::u16string& w : words) {
      std::u16string s = w;
      benchmark::DoNotOptimize(qn::platform::UpperCased(s));
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(words.size()));
}
BENCHMARK(BM_CopyAlternatives)->Unit(benchmark::kMillisecond);

void BM_SplitRequest(benchmark::State& state) {
  const std::u16string request = Request(state.range(0));
  for (auto _ : state) {
    std::u16string s = request;
    benchmark::DoNotOptimize(qn::SplitSWList(s, true));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(request.size() * 2));
}
BENCHMARK(BM_SplitRequest)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_SplitByRestarting(benchmark::State& state) {
  const std::u16string request = Request(state.range(0));
  for (auto _ : state) {
    std::vector<std::u16string> out = qn::test_support::SplitByRestarting(request);
    benchmark::DoNotOptimize(out);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(request.size() * 2));
}
BENCHMARK(BM_SplitByRestarting)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
