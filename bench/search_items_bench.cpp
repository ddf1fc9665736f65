// Lists of search words at the size of a long search-word file.
//
//   BM_SearchItems_LoadFromFile        100,000 distinct words read from their
//                                      text file, each parsed and indexed
//   BM_UnorderedMap_LoadFromFile       baseline: the same file read, split at
//                                      CR LF and put in an unordered_map
//   BM_SearchItems_AddOneWord          one new word added to a list of 100,000
//   BM_UnorderedMap_AddOneWord         baseline: one new key put in a map of
//                                      100,000
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/CodePages.h"
#include "runtime1/search/Search_items.h"

namespace {

constexpr int kWords = 100000;

// A distinct lower-case word for every number.
std::u16string Word(int64_t n) {
  std::u16string w = u"w";
  do {
    w += static_cast<char16_t>(u'a' + n % 26);
    n /= 26;
  } while (n > 0);
  return w;
}

// The list's own text file of kWords words, made before the timed loop and
// removed after it.
class TWordFile {
 public:
  TWordFile()
      : fPath(std::filesystem::temp_directory_path() / ("qn_items_bench_" + std::to_string(::getpid()) + ".txt")) {
    qn::TBaseSearchItems items;
    for (int i = 0; i < kWords; ++i) items.AddedSearchWords(Word(i));
    items.SaveToFile(qn::platform::DecodedUTF8(fPath.string()));
  }
  ~TWordFile() {
    std::error_code ignored;
    std::filesystem::remove(fPath, ignored);
  }
  const std::filesystem::path& Path() const { return fPath; }

 private:
  std::filesystem::path fPath;
};

void BM_SearchItems_LoadFromFile(benchmark::State& state) {
  const TWordFile file;
  const std::u16string name = qn::platform::DecodedUTF8(file.Path().string());
  for (auto _ : state) {
    qn::TBaseSearchItems items;
    benchmark::DoNotOptimize(items.LoadFromFile(name, 1));
    if (items.Count() != kWords) state.SkipWithError("not every word was loaded");
  }
  state.SetItemsProcessed(state.iterations() * kWords);
}
BENCHMARK(BM_SearchItems_LoadFromFile)->Unit(benchmark::kMillisecond);

void BM_UnorderedMap_LoadFromFile(benchmark::State& state) {
  const TWordFile file;
  const std::string path = file.Path().string();
  for (auto _ : state) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::u16string text((bytes.size() - 2) / 2, u'\0');
    std::memcpy(text.data(), bytes.data() + 2, text.size() * 2);  // past the mark
    std::unordered_map<std::u16string, int32_t> map;
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find(u"\r\n", start);
      if (end == std::u16string::npos) end = text.size();
      if (end > start) map.emplace(text.substr(start, end - start), static_cast<int32_t>(map.size()));
      start = end + 2;
    }
    if (map.size() != kWords) state.SkipWithError("not every word was read");
    benchmark::DoNotOptimize(map.size());
  }
  state.SetItemsProcessed(state.iterations() * kWords);
}
BENCHMARK(BM_UnorderedMap_LoadFromFile)->Unit(benchmark::kMillisecond);

// Each iteration adds a word not yet in the list; the list starts at 100,000
// entries and the fixed iteration count keeps it near that size.
constexpr int kAdded = 20000;

void BM_SearchItems_AddOneWord(benchmark::State& state) {
  qn::TBaseSearchItems items;
  for (int i = 0; i < kWords; ++i) items.AddedSearchWords(Word(i));
  int64_t next = kWords;
  for (auto _ : state) benchmark::DoNotOptimize(items.AddedSearchWords(Word(next++)));
  if (items.Count() != kWords + state.iterations()) state.SkipWithError("a new word was not added");
}
BENCHMARK(BM_SearchItems_AddOneWord)->Iterations(kAdded)->Unit(benchmark::kMicrosecond);

void BM_UnorderedMap_AddOneWord(benchmark::State& state) {
  std::unordered_map<std::u16string, int32_t> map;
  for (int i = 0; i < kWords; ++i) map.emplace(Word(i), i);
  int64_t next = kWords;
  for (auto _ : state) benchmark::DoNotOptimize(map.emplace(Word(next++), static_cast<int32_t>(map.size())));
}
BENCHMARK(BM_UnorderedMap_AddOneWord)->Iterations(kAdded)->Unit(benchmark::kMicrosecond);

}  // namespace
