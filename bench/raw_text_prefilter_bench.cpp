// Speed of the raw-bytes test (TRawTextPrefilter) over a text that does not
// hold the word, at each vector level the search may use, in the same run:
// every byte (or unit) is looked at. The text: English words with capitals,
// commas and full stops, a line per verse, about 16 MB of UTF-8 and twice
// that of UTF-16; words it never holds: "abednego", and "israelite", whose
// rarest two letters stand at their distance at every "Israel" of the text.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <span>
#include <string>
#include <vector>

#include "bench/Verses.h"
#include "platform/StringList.h"
#include "runtime1/search/Raw_text_prefilter.h"
#include "runtime1/search/Search_parsing.h"

namespace {

using qn::bench_support::MakeVerses;

const std::vector<uint8_t>& Bytes(qn::platform::TTextEncoding encoding) {
  static const std::u16string text = MakeVerses(size_t{16} << 20);
  static const std::vector<uint8_t> utf8 = qn::platform::EncodeTextBytes(text, qn::platform::kEncodingUTF8, false);
  static const std::vector<uint8_t> utf16 = qn::platform::EncodeTextBytes(text, qn::platform::kEncodingUTF16LE, false);
  return encoding == qn::platform::kEncodingUTF8 ? utf8 : utf16;
}

// The arguments: the widest vector level the search may use (3: AVX-512BW,
// 2: AVX2, 1: SSE2, 0: none), capped by what the processor has; the KiB of
// the text's start searched (0: all of it), a size that stays in the cache
// as a text just read does.
void Search(benchmark::State& state, qn::platform::TTextEncoding encoding, std::u16string typed, bool expected) {
  const std::vector<uint8_t>& all = Bytes(encoding);
  const size_t size =
      state.range(1) == 0 ? all.size() : std::min(all.size(), static_cast<size_t>(state.range(1)) << 10);
  const std::span<const uint8_t> bytes(all.data(), size);
  const int level = static_cast<int>(state.range(0));
  if (level > qn::TRawTextPrefilter::ProcessorLevel()) {
    state.SkipWithError("the processor lacks this level");
    return;
  }
  const qn::TIgnore_tag_type noTags{};
  qn::TRawTextPrefilter filter(level);
  filter.Add(qn::Parsed_SearchWord(noTags, typed));
  for (auto _ : state) {
    const bool may = filter.MayHoldAHit(bytes, encoding);
    if (may != expected) {
      state.SkipWithError("unexpected answer");
      return;
    }
    benchmark::DoNotOptimize(may);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void BM_PrefilterUtf8Absent(benchmark::State& state) { Search(state, qn::platform::kEncodingUTF8, u"abednego", false); }
void BM_PrefilterUtf8Israel(benchmark::State& state) {
  Search(state, qn::platform::kEncodingUTF8, u"israelite", false);
}
// In pieces of 4 KiB, as the concordance tests a text piece by piece
// before it decodes any: the cost of each call shows.
void BM_PrefilterUtf8Pieces(benchmark::State& state) {
  const std::vector<uint8_t>& all = Bytes(qn::platform::kEncodingUTF8);
  const std::span<const uint8_t> bytes(all.data(), std::min(all.size(), size_t{1} << 20));
  const int level = static_cast<int>(state.range(0));
  if (level > qn::TRawTextPrefilter::ProcessorLevel()) {
    state.SkipWithError("the processor lacks this level");
    return;
  }
  const qn::TIgnore_tag_type noTags{};
  qn::TRawTextPrefilter filter(level);
  std::u16string typed = u"abednego";
  filter.Add(qn::Parsed_SearchWord(noTags, typed));
  constexpr size_t kPiece = 4096;
  for (auto _ : state) {
    bool any = false;
    for (size_t at = 0; at < bytes.size(); at += kPiece) {
      const std::span<const uint8_t> piece = bytes.subspan(at, std::min(kPiece, bytes.size() - at));
      any = any || filter.MayHoldAHit(piece, qn::platform::kEncodingUTF8);
    }
    if (any) {
      state.SkipWithError("unexpected answer");
      return;
    }
    benchmark::DoNotOptimize(any);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void BM_PrefilterUtf16Absent(benchmark::State& state) {
  Search(state, qn::platform::kEncodingUTF16LE, u"abednego", false);
}

BENCHMARK(BM_PrefilterUtf8Absent)->ArgsProduct({{3, 2, 1}, {0, 256}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PrefilterUtf8Israel)->ArgsProduct({{3, 2, 1}, {0, 256}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PrefilterUtf8Pieces)->Arg(3)->Arg(2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PrefilterUtf16Absent)->ArgsProduct({{3, 2, 1}, {0, 256}})->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
