// Costs of the framework classes on the paths the lists take per entry, each
// beside a baseline measured in the same run:
//   sorted string list, words added one by one    vs  std::sort + unique of the
//     (locale comparison, case ignored)                same words, code-unit order
//   sorted string list, added unsorted then sorted
//   IndexOf in a sorted list                      vs  std::lower_bound, code-unit order
//   LoadFromStream of a UTF-16 text               vs  cutting the same units into
//                                                      a vector of strings
//   DecodeTextBytesAs of 16 MB of UTF-16, little-  vs  the unit-by-unit assembly
//     and big-endian (arg 0 / 1)                       from two bytes it replaced
//   Put/Get of 32-bit values on a memory stream   vs  memcpy into / out of a vector
//   Format "%.0n"                                 vs  std::to_chars (no separators)
//   ini ReadString                                vs  std::unordered_map lookup
#include <benchmark/benchmark.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/Format.h"
#include "platform/IniFile.h"
#include "platform/Streams.h"
#include "platform/StringList.h"

namespace {

using namespace qn::platform;

uint64_t Next(uint64_t& x) {
  x ^= x << 13;
  x ^= x >> 7;
  x ^= x << 17;
  return x;
}

// Word-like strings: 3 to 10 letters, some repeated, mixed case now and then.
std::vector<std::u16string> Words(size_t n) {
  std::vector<std::u16string> words;
  uint64_t x = 88172645463325252ull;
  for (size_t i = 0; i < n; ++i) {
    const size_t length = 3 + Next(x) % 8;
    std::u16string w;
    for (size_t k = 0; k < length; ++k) w += static_cast<char16_t>(u'a' + Next(x) % 26);
    if (Next(x) % 10 == 0) w[0] = static_cast<char16_t>(w[0] - 32);
    words.push_back(std::move(w));
    if (Next(x) % 4 == 0 && !words.empty()) words.push_back(words[Next(x) % words.size()]);
  }
  return words;
}

void BM_Baseline_SortUniqueCodeUnits(benchmark::State& state) {
  const std::vector<std::u16string> words = Words(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    std::vector<std::u16string> copy = words;
    std::sort(copy.begin(), copy.end());
    copy.erase(std::unique(copy.begin(), copy.end()), copy.end());
    benchmark::DoNotOptimize(copy.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(words.size()));
}
BENCHMARK(BM_Baseline_SortUniqueCodeUnits)->Arg(20000);

void BM_StringList_SortedAdd(benchmark::State& state) {
  const std::vector<std::u16string> words = Words(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    TStringList list;
    list.SetSorted(true);
    for (const std::u16string& w : words) list.Add(w);
    benchmark::DoNotOptimize(list.Count());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(words.size()));
}
BENCHMARK(BM_StringList_SortedAdd)->Arg(20000);

void BM_StringList_AddThenSort(benchmark::State& state) {
  const std::vector<std::u16string> words = Words(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    TStringList list;
    list.SetCapacity(static_cast<int32_t>(words.size()));
    for (const std::u16string& w : words) list.Add(w);
    list.SetSorted(true);
    benchmark::DoNotOptimize(list.Count());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(words.size()));
}
BENCHMARK(BM_StringList_AddThenSort)->Arg(20000);

void BM_Baseline_LowerBoundCodeUnits(benchmark::State& state) {
  std::vector<std::u16string> words = Words(20000);
  std::sort(words.begin(), words.end());
  const std::vector<std::u16string> probes = Words(1024);
  size_t i = 0;
  for (auto _ : state) {
    auto found = std::lower_bound(words.begin(), words.end(), probes[i++ & 1023]);
    benchmark::DoNotOptimize(found);
  }
}
BENCHMARK(BM_Baseline_LowerBoundCodeUnits);

void BM_StringList_IndexOfSorted(benchmark::State& state) {
  TStringList list;
  list.SetSorted(true);
  for (const std::u16string& w : Words(20000)) list.Add(w);
  const std::vector<std::u16string> probes = Words(1024);
  size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(list.IndexOf(probes[i++ & 1023]));
}
BENCHMARK(BM_StringList_IndexOfSorted);

// About 1 MB of UTF-16 text with a mark, lines of word-like text.
std::vector<uint8_t> Utf16Text() {
  std::u16string text;
  const std::vector<std::u16string> words = Words(60000);
  for (size_t i = 0; i < words.size(); ++i) {
    text += words[i];
    text += (i % 8 == 7) ? u"\r\n" : u" ";
  }
  std::vector<uint8_t> bytes = {0xFF, 0xFE};
  for (char16_t c : text) {
    bytes.push_back(static_cast<uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  return bytes;
}

void BM_Baseline_CutUnitsIntoLines(benchmark::State& state) {
  const std::vector<uint8_t> bytes = Utf16Text();
  for (auto _ : state) {
    std::u16string text((bytes.size() - 2) / 2, u'\0');
    std::memcpy(text.data(), bytes.data() + 2, text.size() * 2);
    std::vector<std::u16string> lines;
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find(u'\r', start);
      if (end == std::u16string::npos) end = text.size();
      lines.emplace_back(text, start, end - start);
      start = end + 2;
    }
    benchmark::DoNotOptimize(lines.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_Baseline_CutUnitsIntoLines);

void BM_StringList_LoadFromStream(benchmark::State& state) {
  const std::vector<uint8_t> bytes = Utf16Text();
  for (auto _ : state) {
    TMemoryViewStream stream(bytes);
    TStringList list;
    list.LoadFromStream(stream);
    benchmark::DoNotOptimize(list.Count());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_StringList_LoadFromStream);

// 16 MB of UTF-16 code units of every value, in the order of arg 0 (little-
// endian) or 1 (big-endian).
std::vector<uint8_t> Utf16Units(bool bigEndian) {
  std::vector<uint8_t> bytes(16 << 20);
  uint64_t x = 2463534242ull;
  for (size_t i = 0; i < bytes.size(); i += 2) {
    const uint16_t unit = static_cast<uint16_t>(Next(x));
    bytes[i + (bigEndian ? 1 : 0)] = static_cast<uint8_t>(unit & 0xFF);
    bytes[i + (bigEndian ? 0 : 1)] = static_cast<uint8_t>(unit >> 8);
  }
  return bytes;
}

void BM_Baseline_Utf16UnitByUnit(benchmark::State& state) {
  const bool bigEndian = state.range(0) != 0;
  const std::vector<uint8_t> bytes = Utf16Units(bigEndian);
  for (auto _ : state) {
    std::u16string text(bytes.size() / 2, u'\0');
    const uint8_t* p = bytes.data();
    if (bigEndian) {
      for (size_t i = 0; i < text.size(); ++i, p += 2) text[i] = static_cast<char16_t>((p[0] << 8) | p[1]);
    } else {
      for (size_t i = 0; i < text.size(); ++i, p += 2) text[i] = static_cast<char16_t>(p[0] | (p[1] << 8));
    }
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_Baseline_Utf16UnitByUnit)->Arg(0)->Arg(1);

void BM_DecodeTextBytesAs_Utf16(benchmark::State& state) {
  const bool bigEndian = state.range(0) != 0;
  const std::vector<uint8_t> bytes = Utf16Units(bigEndian);
  for (auto _ : state) {
    std::u16string text = DecodeTextBytesAs(bytes, bigEndian ? kEncodingUTF16BE : kEncodingUTF16LE);
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_DecodeTextBytesAs_Utf16)->Arg(0)->Arg(1);

void BM_Baseline_MemcpyInt32(benchmark::State& state) {
  for (auto _ : state) {
    std::vector<uint8_t> out;
    for (int32_t i = 0; i < 100000; ++i) {
      uint8_t b[4];
      std::memcpy(b, &i, 4);
      out.insert(out.end(), b, b + 4);
    }
    int64_t sum = 0;
    for (size_t p = 0; p < out.size(); p += 4) {
      int32_t v;
      std::memcpy(&v, out.data() + p, 4);
      sum += v;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_Baseline_MemcpyInt32);

void BM_Stream_PutGetInt32(benchmark::State& state) {
  for (auto _ : state) {
    TMemoryStream stream;
    for (int32_t i = 0; i < 100000; ++i) Put<int32_t>(stream, i);
    stream.SetPosition(0);
    int64_t sum = 0;
    for (int32_t i = 0; i < 100000; ++i) sum += Get<int32_t>(stream);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_Stream_PutGetInt32);

void BM_Baseline_ToChars(benchmark::State& state) {
  char buffer[32];
  int64_t n = 1234567;
  for (auto _ : state) {
    auto result = std::to_chars(buffer, buffer + sizeof buffer, n++);
    benchmark::DoNotOptimize(result);
  }
}
BENCHMARK(BM_Baseline_ToChars);

void BM_Format_Thousands(benchmark::State& state) {
  const TFormatSettings settings = TFormatSettings::ForLocale(0x0409);
  double n = 1234567;
  for (auto _ : state) {
    std::u16string text = FormatWith(settings, u"%.0n", n);
    n += 1;
    benchmark::DoNotOptimize(text.data());
  }
}
BENCHMARK(BM_Format_Thousands);

void BM_Baseline_UnorderedMapLookup(benchmark::State& state) {
  std::unordered_map<std::u16string, std::u16string> map;
  for (int i = 0; i < 200; ++i) map[u"Key" + IntToStr(i)] = IntToStr(i);
  int i = 0;
  const std::vector<std::u16string> keys = [] {
    std::vector<std::u16string> k;
    for (int j = 0; j < 200; ++j) k.push_back(u"Key" + IntToStr(j));
    return k;
  }();
  for (auto _ : state) {
    auto found = map.find(keys[static_cast<size_t>(i++ % 200)]);
    benchmark::DoNotOptimize(found);
  }
}
BENCHMARK(BM_Baseline_UnorderedMapLookup);

void BM_Ini_ReadString(benchmark::State& state) {
  TMemIniFile ini(u"");
  for (int i = 0; i < 200; ++i) ini.WriteString(u"Settings", u"Key" + IntToStr(i), IntToStr(i));
  const std::vector<std::u16string> keys = [] {
    std::vector<std::u16string> k;
    for (int j = 0; j < 200; ++j) k.push_back(u"key" + IntToStr(j));
    return k;
  }();
  int i = 0;
  for (auto _ : state) {
    std::u16string value = ini.ReadString(u"settings", keys[static_cast<size_t>(i++ % 200)], u"");
    benchmark::DoNotOptimize(value.data());
  }
}
BENCHMARK(BM_Ini_ReadString);

}  // namespace
