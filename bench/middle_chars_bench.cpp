// Speed of HandleMiddleChars over a corpus-sized buffer with three allowables
// (apostrophe, hyphen, right single quote), next to the least any routine can
// do for the same job in the same run: one pass of std::find per allowable
// over the same buffer, counting the occurrences.
//
// The buffer holds 50 M UTF-16 characters (100 MB) of words, spaces and line
// ends, in two versions: dense with middle characters and sparse (see
// MakeCorpus); its detail array, one word per character, is another 100 MB. The detail array is refined in
// place on every iteration; a second run finds the same occurrences and makes
// the same neighbour checks, so every iteration costs the same.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "platform/CharTypes.h"
#include "runtime1/text/Bare_assemb3.h"

namespace {

constexpr size_t kUnits = 50u * 1024u * 1024u;
constexpr char16_t kAllowables[] = {u'\'', u'-', u'\u2019'};

struct Buffer {
  std::u16string text;
  std::vector<uint16_t> details;
};

// Words, spaces and line ends; one word in joinedEvery is one with a middle
// character (or a spaced hyphen). Dense: every third word, about one middle
// character in twenty characters. Sparse, closer to running English text:
// one word in thirty.
Buffer MakeCorpus(unsigned joinedEvery) {
  static const char16_t* const kPlain[] = {
      u"the",    u"of",   u"and",    u"a",    u"corpus", u"word", u"list", u"rock",
      u"roll",   u"text", u"tool",   u"in",   u"is",     u"that", u"time", u"theory",
      u"\u00E9t\u00E9",  u"stra\u00DFe",    u"with",   u"as"};
  static const char16_t* const kJoined[] = {u"don't", u"well-known", u"it\u2019s", u"'n'",
                                            u"1-2",   u"x - y"};
  std::mt19937 random(11);
  Buffer b;
  b.text.reserve(kUnits + 16);
  size_t sinceLine = 0;
  while (b.text.size() < kUnits) {
    b.text += random() % joinedEvery == 0 ? kJoined[random() % std::size(kJoined)]
                                          : kPlain[random() % std::size(kPlain)];
    b.text += ++sinceLine % 12 == 0 ? u"\r\n" : u" ";
  }
  b.text.resize(kUnits);
  b.details.assign(kUnits + 2, 0);
  qn::platform::CharTypes1(b.text.data(), kUnits, b.details.data());
  return b;
}

const Buffer& Corpus(int64_t sparse) {
  if (sparse != 0) {
    static const Buffer buffer = MakeCorpus(30);
    return buffer;
  }
  static const Buffer buffer = MakeCorpus(3);
  return buffer;
}

void BM_HandleMiddleChars(benchmark::State& state) {
  const Buffer& corpus = Corpus(state.range(0));
  std::vector<uint16_t> details = corpus.details;
  for (auto _ : state) {
    qn::HandleMiddleChars(corpus.text.data(), details.data(), kAllowables, 3,
                          static_cast<int32_t>(kUnits), true, false, false);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(kUnits * sizeof(char16_t)));
}
BENCHMARK(BM_HandleMiddleChars)->ArgName("sparse")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_StdFindPerAllowable(benchmark::State& state) {
  const Buffer& corpus = Corpus(state.range(0));
  const char16_t* const begin = corpus.text.data();
  const char16_t* const end = begin + kUnits;
  for (auto _ : state) {
    size_t hits = 0;
    for (const char16_t allowable : kAllowables) {
      for (const char16_t* p = std::find(begin, end, allowable); p != end;
           p = std::find(p + 1, end, allowable)) {
        ++hits;
      }
    }
    benchmark::DoNotOptimize(hits);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(kUnits * sizeof(char16_t)));
}
BENCHMARK(BM_StdFindPerAllowable)->ArgName("sparse")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
