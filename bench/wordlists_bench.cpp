// Word lists, n-grams and text comparison on realistic text, each beside a
// baseline measured in the same run.
//
// The text: words drawn from a 50,000-word vocabulary with Zipf frequencies
// (exponent 1), joined by spaces, with a capital letter after each full stop,
// commas now and then and a line break after every sentence or so; about 5.7
// code units per word, as in running English. Sizes are given in millions of
// words (the argument).
//
//   SimpleTallierOfTxt, alphabetical or by frequency  vs  std::unordered_map<
//     (tokenising, counting, final sorted list)            std::u16string, int>
//                                                          count of the same
//                                                          tokens, pre-split and
//                                                          pre-lower-cased
//   TCorpusWordTally over a corpus of 20 texts     vs  SimpleTallierOfTxt of each
//     (2 million words; each text's types read as       text, its entries added
//     they are met, as a caller keeping per-text        into a std::unordered_map
//     facts does)                                       of the corpus by spelling
//   TCorpusNGramTally, trigrams of the same 20 texts vs  SimpleNGramListOfTxt of
//                                                        each text, likewise
//     (nearly every trigram of this vocabulary is new to the corpus, so both
//     build tables of over a million n-grams)
//   SimpleNGramListOfTxt, trigrams by frequency       vs  the same map counting
//                                                          the joined triples
//   TypeAndTokenDifferences2Strings, 10,000-word texts, list of the first kept
//   BagOfWordsSimilar of two texts                    vs  two SimpleTallierOfTxt
//   RepeatedXCharChunks, chunks of 200
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/CaseMapping.h"
#include "runtime1/text/My_string_functions_wordlists.h"

namespace {

using namespace qn;

uint64_t Next(uint64_t& x) {
  x ^= x << 13;
  x ^= x >> 7;
  x ^= x << 17;
  return x;
}

struct TCorpus {
  std::u16string text;
  std::vector<std::u16string> lowerTokens;  // the baseline's input
};

// Words of 1 to 12 letters, shorter ones more frequent, as in a dictionary of
// running text; vocabulary[0] is the most frequent.
std::vector<std::u16string> Vocabulary(size_t size) {
  std::vector<std::u16string> words;
  uint64_t x = 0x9E3779B97F4A7C15ull;
  std::unordered_map<std::u16string, bool> seen;
  while (words.size() < size) {
    const size_t rank = words.size();
    const size_t length = 1 + std::min<size_t>(11, static_cast<size_t>(std::log2(rank + 2)) / 2 + Next(x) % 5);
    std::u16string w;
    for (size_t k = 0; k < length; ++k) w += static_cast<char16_t>(u'a' + Next(x) % 26);
    if (seen.emplace(w, true).second) words.push_back(std::move(w));
  }
  return words;
}

const TCorpus& Corpus(size_t words) {
  static std::map<size_t, std::unique_ptr<TCorpus>> cache;
  auto& slot = cache[words];
  if (slot) return *slot;
  slot = std::make_unique<TCorpus>();
  static const std::vector<std::u16string> vocabulary = Vocabulary(50000);
  // Zipf with exponent 1: cumulative weights 1/r.
  std::vector<double> cumulative(vocabulary.size());
  double sum = 0;
  for (size_t r = 0; r < vocabulary.size(); ++r) cumulative[r] = sum += 1.0 / static_cast<double>(r + 1);
  uint64_t x = 88172645463325252ull + words;
  bool capital = true;
  slot->text.reserve(words * 6);
  slot->lowerTokens.reserve(words);
  for (size_t i = 0; i < words; ++i) {
    const double u = static_cast<double>(Next(x) >> 11) / 9007199254740992.0 * sum;
    const size_t r = static_cast<size_t>(std::lower_bound(cumulative.begin(), cumulative.end(), u) - cumulative.begin());
    const std::u16string& w = vocabulary[std::min(r, vocabulary.size() - 1)];
    slot->lowerTokens.push_back(w);
    const size_t at = slot->text.size();
    slot->text += w;
    if (capital) slot->text[at] = static_cast<char16_t>(slot->text[at] - 32);
    capital = false;
    const uint64_t d = Next(x) % 100;
    if (d < 5) {
      slot->text += u". ";
      capital = true;
      if (d < 2) slot->text += u"\r\n";
    } else if (d < 11) {
      slot->text += u", ";
    } else {
      slot->text += u' ';
    }
  }
  return *slot;
}

void Report(benchmark::State& state, size_t words) {
  state.counters["words"] = static_cast<double>(words);
  state.counters["ns/word"] =
      benchmark::Counter(static_cast<double>(words), benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
}

void BM_Baseline_UnorderedMapCount(benchmark::State& state) {
  const TCorpus& c = Corpus(static_cast<size_t>(state.range(0)) * 1000000);
  for (auto _ : state) {
    std::unordered_map<std::u16string, int> counts;
    for (const std::u16string& t : c.lowerTokens) ++counts[t];
    benchmark::DoNotOptimize(counts.size());
  }
  Report(state, c.lowerTokens.size());
}

void BM_SimpleTallierOfTxt(benchmark::State& state) {
  const TCorpus& c = Corpus(static_cast<size_t>(state.range(0)) * 1000000);
  const bool byFrequency = state.range(1) != 0;
  size_t types = 0;
  for (auto _ : state) {
    std::unique_ptr<TStringListWithFreqPointers> list(SimpleTallierOfTxt(c.text, 1, byFrequency));
    types = static_cast<size_t>(list->Count());
  }
  state.counters["types"] = static_cast<double>(types);
  Report(state, c.lowerTokens.size());
}

// The corpus cut into count texts at spaces.
std::vector<std::u16string_view> TextsOf(const TCorpus& c, size_t count) {
  std::vector<std::u16string_view> texts;
  const std::u16string_view all(c.text);
  size_t start = 0;
  for (size_t k = 1; k <= count; ++k) {
    size_t end = k == count ? all.size() : all.find(u' ', all.size() * k / count);
    if (end == std::u16string_view::npos) end = all.size();
    texts.push_back(all.substr(start, end - start));
    start = end;
  }
  return texts;
}

void BM_Baseline_TallierPerText(benchmark::State& state) {
  const TCorpus& c = Corpus(static_cast<size_t>(state.range(0)) * 1000000);
  const std::vector<std::u16string_view> texts = TextsOf(c, 20);
  for (auto _ : state) {
    std::unordered_map<std::u16string, int64_t> corpus;
    for (const std::u16string_view text : texts) {
      std::unique_ptr<TStringListWithFreqPointers> list(SimpleTallierOfTxt(text, 1, false));
      for (int32_t i = 0; i < list->Count(); ++i) corpus[list->Get(i)] += list->GetOne(i);
    }
    benchmark::DoNotOptimize(corpus.size());
  }
  Report(state, c.lowerTokens.size());
}

void BM_CorpusWordTally(benchmark::State& state) {
  const TCorpus& c = Corpus(static_cast<size_t>(state.range(0)) * 1000000);
  const std::vector<std::u16string_view> texts = TextsOf(c, 20);
  size_t types = 0;
  for (auto _ : state) {
    TCorpusWordTally corpus;
    int64_t tokens = 0;
    for (size_t k = 0; k < texts.size(); ++k) {
      corpus.AddText(texts[k], static_cast<int64_t>(k));
      for (int32_t i = 0; i < corpus.MetCount(); ++i) tokens += corpus.MetFreq(i);
    }
    benchmark::DoNotOptimize(tokens);
    types = static_cast<size_t>(corpus.TypeCount());
  }
  state.counters["types"] = static_cast<double>(types);
  Report(state, c.lowerTokens.size());
}

void BM_Baseline_NGramListPerText(benchmark::State& state) {
  const TCorpus& c = Corpus(static_cast<size_t>(state.range(0)) * 1000000);
  const std::vector<std::u16string_view> texts = TextsOf(c, 20);
  for (auto _ : state) {
    std::unordered_map<std::u16string, int64_t> corpus;
    for (const std::u16string_view text : texts) {
      std::unique_ptr<TStringListWithFreqPointers> list(SimpleNGramListOfTxt(text, 3, 0, {}, true));
      for (int32_t i = 0; i < list->Count(); ++i) corpus[list->Get(i)] += list->GetOne(i);
    }
    benchmark::DoNotOptimize(corpus.size());
  }
  Report(state, c.lowerTokens.size());
}

void BM_CorpusNGramTally(benchmark::State& state) {
  const TCorpus& c = Corpus(static_cast<size_t>(state.range(0)) * 1000000);
  const std::vector<std::u16string_view> texts = TextsOf(c, 20);
  size_t types = 0;
  for (auto _ : state) {
    TCorpusNGramTally corpus(3, 0);
    int64_t grams = 0;
    for (size_t k = 0; k < texts.size(); ++k) {
      corpus.AddText(texts[k], static_cast<int64_t>(k));
      for (int32_t i = 0; i < corpus.MetCount(); ++i) grams += corpus.MetFreq(i);
    }
    benchmark::DoNotOptimize(grams);
    types = static_cast<size_t>(corpus.TypeCount());
  }
  state.counters["types"] = static_cast<double>(types);
  Report(state, c.lowerTokens.size());
}

void BM_Baseline_UnorderedMapTrigrams(benchmark::State& state) {
  const TCorpus& c = Corpus(static_cast<size_t>(state.range(0)) * 1000000);
  for (auto _ : state) {
    std::unordered_map<std::u16string, int> counts;
    std::u16string g;
    for (size_t i = 0; i + 2 < c.lowerTokens.size(); ++i) {
      g = c.lowerTokens[i];
      g += u' ';
      g += c.lowerTokens[i + 1];
      g += u' ';
      g += c.lowerTokens[i + 2];
      ++counts[g];
    }
    benchmark::DoNotOptimize(counts.size());
  }
  Report(state, c.lowerTokens.size());
}

void BM_TrigramsByFrequency(benchmark::State& state) {
  const TCorpus& c = Corpus(static_cast<size_t>(state.range(0)) * 1000000);
  size_t types = 0;
  for (auto _ : state) {
    std::unique_ptr<TStringListWithFreqPointers> list(SimpleNGramListOfTxt(c.text, 3, 50, {}, true));
    types = static_cast<size_t>(list->Count());
  }
  state.counters["types"] = static_cast<double>(types);
  Report(state, c.lowerTokens.size());
}

// Consecutive 10,000-word stretches of the corpus, the first one's list kept.
void BM_TypeAndTokenDifferences10K(benchmark::State& state) {
  const TCorpus& c = Corpus(2000000);
  const size_t stretch = 57000;  // about 10,000 words
  std::vector<std::u16string_view> texts;
  for (size_t at = 0; at + stretch <= c.text.size() && texts.size() < 100; at += stretch)
    texts.emplace_back(std::u16string_view(c.text).substr(at, stretch));
  TStringListWithFreqPointers* list1 = nullptr;
  std::u16string last;
  size_t k = 1;
  for (auto _ : state) {
    benchmark::DoNotOptimize(TypeAndTokenDifferences2Strings(texts[0], texts[k], list1, 100, 100, last));
    k = k + 1 < texts.size() ? k + 1 : 1;
  }
  delete list1;
}

void BM_BagOfWordsSimilar(benchmark::State& state) {
  const TCorpus& c = Corpus(2000000);
  const std::u16string_view all(c.text);
  const std::u16string_view a = all.substr(0, all.size() / 2), b = all.substr(all.size() / 2);
  for (auto _ : state) benchmark::DoNotOptimize(BagOfWordsSimilar(a, b, 1000000, 1, 1));
}

void BM_Baseline_TwoTalliers(benchmark::State& state) {
  const TCorpus& c = Corpus(2000000);
  const std::u16string_view all(c.text);
  const std::u16string_view a = all.substr(0, all.size() / 2), b = all.substr(all.size() / 2);
  for (auto _ : state) {
    std::unique_ptr<TStringListWithFreqPointers> l1(SimpleTallierOfTxt(a, 1, true));
    std::unique_ptr<TStringListWithFreqPointers> l2(SimpleTallierOfTxt(b, 1, true));
    benchmark::DoNotOptimize(l1->Count() + l2->Count());
  }
}

void BM_RepeatedXCharChunks(benchmark::State& state) {
  const TCorpus& c = Corpus(static_cast<size_t>(state.range(0)) * 1000000);
  // The corpus with a quarter of it repeated, so that chunks recur.
  const std::u16string text = c.text + c.text.substr(0, c.text.size() / 4);
  for (auto _ : state) {
    std::unique_ptr<TStringListWith2LongintList> list(RepeatedXCharChunks(200, 1, 1000000, text, {}));
    state.counters["chunks"] = list->Count();
  }
  state.counters["units"] = static_cast<double>(text.size());
}

}  // namespace

BENCHMARK(BM_Baseline_UnorderedMapCount)->Arg(2)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SimpleTallierOfTxt)->Args({2, 0})->Args({2, 1})->Args({10, 0})->Args({10, 1})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Baseline_TallierPerText)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CorpusWordTally)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Baseline_NGramListPerText)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CorpusNGramTally)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Baseline_UnorderedMapTrigrams)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrigramsByFrequency)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TypeAndTokenDifferences10K)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Baseline_TwoTalliers)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BagOfWordsSimilar)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RepeatedXCharChunks)->Arg(2)->Unit(benchmark::kMillisecond);
