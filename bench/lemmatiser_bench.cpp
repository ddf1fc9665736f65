// Lemmatiser speed on the sizes of real lemma lists (40,000-100,000 pairs,
// sorted alphabetically).
//
//   BM_LoadSorted100kPairs      LoadedOne of an 8-bit lemma file of 100,000
//                               pairs (33,334 headwords), sorted alphabetically
//   BM_TallierChangeWord        1,000,000 words, half of them variants, through
//                               the exported TallierChangeWord
//   BM_UnorderedMapBaseline     the same words looked up in a
//                               std::unordered_map<std::string, std::string>,
//                               the headword copied out as the library does
//   BM_TreeDescent              10,000 of the words found by descending the
//                               unbalanced tree (WhereIs) instead of the index,
//                               to show what the tree's shape costs
//
// Ratios: TallierChangeWord / UnorderedMapBaseline per word.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "lemmatiser/QN7QuillonLemmatiser.h"
#include "platform/CodePages.h"
#include "quillon/QuillonLemmatiser.h"

namespace {

constexpr int kPairs = 100000;
constexpr int kWords = 1000000;

struct TBenchData {
  std::string file;
  std::string path;
  std::vector<std::pair<std::string, std::string>> pairs;  // variant, headword
  std::vector<std::string> words;                          // the stream to change
};

uint32_t gRandom = 2463534242u;
uint32_t Next() {
  gRandom ^= gRandom << 13;
  gRandom ^= gRandom >> 17;
  gRandom ^= gRandom << 5;
  return gRandom;
}

std::string RandomWord() {
  std::string w(3 + Next() % 7, 'a');
  for (char& c : w) c = static_cast<char>('a' + Next() % 26);
  return w;
}

const TBenchData& Data() {
  static const TBenchData data = [] {
    TBenchData d;
    std::set<std::string> headwords;
    while (headwords.size() < (kPairs + 2) / 3) headwords.insert(RandomWord());
    std::set<std::string> variants;
    for (const std::string& h : headwords) {
      std::string line = h;
      line.append(" ->");
      const char* endings[] = {"s", "ed", "ing"};
      for (const char* e : endings) {
        if (static_cast<int>(d.pairs.size()) == kPairs) break;
        const std::string v = h + e;
        if (headwords.count(v) || !variants.insert(v).second) continue;
        line.append(line.back() == '>' ? " " : ", ").append(v);
        d.pairs.emplace_back(v, h);
      }
      d.file.append(line).append("\r\n");
    }
    // Half variants, half other words, shuffled.
    for (int k = 0; k < kWords; ++k) {
      if (k % 2 == 0) {
        d.words.push_back(d.pairs[Next() % d.pairs.size()].first);
      } else {
        std::string w;
        do w = RandomWord().append("x"); while (variants.count(w));
        d.words.push_back(w);
      }
    }
    d.path = "/tmp/qn_lemmatiser_bench_lemmas.txt";
    FILE* f = std::fopen(d.path.c_str(), "wb");
    if (f != nullptr) {
      std::fwrite(d.file.data(), 1, d.file.size(), f);
      std::fclose(f);
    }
    return d;
  }();
  return data;
}

bool LoadSlot(uint8_t slot) {
  const std::u16string name = qn::platform::DecodedUTF8(Data().path);
  return LoadedOne(slot, name.c_str(), QN_KIND_LEMMA, {}, {}, 0x0409, true, false) == QN_TRUE16;
}

void BM_LoadSorted100kPairs(benchmark::State& state) {
  const TBenchData& d = Data();
  for (auto _ : state) {
    if (!LoadSlot(0)) state.SkipWithError("load failed");
  }
  state.counters["pairs"] = LemmaPairEntriesAltogether(0);
  state.counters["headwords"] = LemmaHeadWordsCount(0);
  state.counters["file_bytes"] = static_cast<double>(d.file.size());
  ClearOne(0, QN_KIND_LEMMA);
}
BENCHMARK(BM_LoadSorted100kPairs)->Unit(benchmark::kMillisecond);

void BM_TallierChangeWord(benchmark::State& state) {
  const TBenchData& d = Data();
  if (!LoadSlot(0)) state.SkipWithError("load failed");
  int64_t changed = 0;
  for (auto _ : state) {
    changed = 0;
    for (const std::string& w : d.words) {
      const char* headword = static_cast<const char*>(TallierChangeWord(0, w.c_str(), 0, QN_FALSE16));
      changed += headword[0] != 0;
    }
  }
  state.counters["changed"] = static_cast<double>(changed);
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(d.words.size()));
  ClearOne(0, QN_KIND_LEMMA);
}
BENCHMARK(BM_TallierChangeWord)->Unit(benchmark::kMillisecond);

void BM_UnorderedMapBaseline(benchmark::State& state) {
  const TBenchData& d = Data();
  std::unordered_map<std::string, std::string> map;
  for (const auto& [variant, headword] : d.pairs) map.emplace(variant, headword);
  char result[256];
  int64_t changed = 0;
  for (auto _ : state) {
    changed = 0;
    for (const std::string& w : d.words) {
      const auto found = map.find(w);
      if (found != map.end()) {
        const size_t n = std::min<size_t>(found->second.size(), 255);
        std::memcpy(result, found->second.data(), n);
        result[n] = 0;
      } else {
        result[0] = 0;
      }
      benchmark::DoNotOptimize(result);
      changed += result[0] != 0;
    }
  }
  state.counters["changed"] = static_cast<double>(changed);
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(d.words.size()));
}
BENCHMARK(BM_UnorderedMapBaseline)->Unit(benchmark::kMillisecond);

void BM_TreeDescent(benchmark::State& state) {
  const TBenchData& d = Data();
  if (!LoadSlot(0)) state.SkipWithError("load failed");
  qn::TLemmaList& list = *qn::LemmatiserState().lemmas[0];
  int64_t found = 0;
  for (auto _ : state) {
    found = 0;
    for (size_t k = 0; k < 10000; ++k) {
      qn::TLemmaEntryRec probe{d.words[k].c_str(), nullptr};
      list.current = qn::anything{&probe, nullptr, nullptr};
      found += list.WhereIs(list.current) != nullptr;
    }
  }
  state.counters["found"] = static_cast<double>(found);
  state.SetItemsProcessed(state.iterations() * 10000);
  ClearOne(0, QN_KIND_LEMMA);
}
BENCHMARK(BM_TreeDescent)->Unit(benchmark::kMillisecond);

}  // namespace
