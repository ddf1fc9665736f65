// The folder-efficient file list and the simple search list on large inputs.
//
//   BM_FileListAddAndFind        100,000 full names in 10,000 folders: every
//                                one added, then every one looked up by full name
//   BM_UnorderedMapAddAndFind    baseline: the same full names inserted into an
//                                std::unordered_map (name -> index), then found
//   BM_SimpleSearchLongLine      one line of 100,000 comma-separated words
//                                (about 1 MB as UTF-16) read into a simple
//                                search list
//   BM_SplitLongLineBaseline     baseline: the same line cut at commas into
//                                trimmed strings, nothing more
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/Streams.h"
#include "runtime1/containers/Useful_Classes_filelist.h"
#include "runtime1/containers/Useful_Classes_simplesearch.h"

namespace {

std::u16string Number(int64_t n) {
  std::u16string s;
  do {
    s.insert(s.begin(), static_cast<char16_t>(u'0' + n % 10));
    n /= 10;
  } while (n > 0);
  return s;
}

const std::vector<std::u16string>& FullNames() {
  static const std::vector<std::u16string> names = [] {
    std::vector<std::u16string> v;
    v.reserve(100000);
    for (int i = 0; i < 100000; ++i) {
      v.push_back(u"/home/user/corpora/set" + Number(i % 10000) + u"/text" + Number(i / 10000) + u".txt");
    }
    return v;
  }();
  return names;
}

void BM_FileListAddAndFind(benchmark::State& state) {
  const auto& names = FullNames();
  for (auto _ : state) {
    qn::TFolderEfficientFileStringlist list;
    for (const auto& n : names) list.AddOne(n);
    int64_t found = 0;
    for (const auto& n : names) found += list.IndexOfFullName(n) >= 0;
    if (found != static_cast<int64_t>(names.size())) state.SkipWithError("a file was not found");
    benchmark::DoNotOptimize(found);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(names.size()));
}
BENCHMARK(BM_FileListAddAndFind)->Unit(benchmark::kMillisecond);

void BM_UnorderedMapAddAndFind(benchmark::State& state) {
  const auto& names = FullNames();
  for (auto _ : state) {
    std::unordered_map<std::u16string, int32_t> map;
    int32_t i = 0;
    for (const auto& n : names) map.emplace(n, i++);
    int64_t found = 0;
    for (const auto& n : names) found += map.find(n) != map.end();
    benchmark::DoNotOptimize(found);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(names.size()));
}
BENCHMARK(BM_UnorderedMapAddAndFind)->Unit(benchmark::kMillisecond);

const std::string& LongLine() {
  static const std::string line = [] {
    std::string s = "\xFF\xFE";  // UTF-16 with its mark
    for (int i = 0; i < 100000; ++i) {
      const std::u16string word = (i > 0 ? u", w" : u"w") + Number(i);
      for (const char16_t c : word) {
        s.push_back(static_cast<char>(c & 0xFF));
        s.push_back(static_cast<char>(c >> 8));
      }
    }
    return s;
  }();
  return line;
}

void BM_SimpleSearchLongLine(benchmark::State& state) {
  const std::string& bytes = LongLine();
  qn::TSimpleSearchlist list;
  for (auto _ : state) {
    qn::platform::TMemoryViewStream stream(bytes.data(), static_cast<int64_t>(bytes.size()));
    list.LoadFromStream(stream, false);
    if (list.Count() != 100000) state.SkipWithError("wrong number of items");
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_SimpleSearchLongLine)->Unit(benchmark::kMillisecond);

void BM_SplitLongLineBaseline(benchmark::State& state) {
  const std::string& bytes = LongLine();
  for (auto _ : state) {
    std::u16string text;
    text.reserve(bytes.size() / 2);
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      text.push_back(static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) | (static_cast<uint8_t>(bytes[i + 1]) << 8)));
    }
    std::vector<std::u16string> items;
    size_t start = 0;
    for (;;) {
      const size_t comma = text.find(u',', start);
      std::u16string item = text.substr(start, comma == std::u16string::npos ? std::u16string::npos : comma - start);
      while (!item.empty() && item.front() == u' ') item.erase(0, 1);
      items.push_back(std::move(item));
      if (comma == std::u16string::npos) break;
      start = comma + 1;
    }
    benchmark::DoNotOptimize(items);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_SplitLongLineBaseline)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
