// What a concordance of a frequent word does once per hit or once per text,
// in the same run:
//   the sentence and paragraph walk taken from one hit to the next (runs of
//     40 to 80 units), numbers asked at every hit: both at once (EndsBefore)
//     vs one call for each
//   a text of 4 MB decoded text after text: into one string kept from text to
//     text (DecodeTextFileBytesInto) vs a new string for each
//     (DecodedTextFileBytes) assigned over the one before, UTF-16 and UTF-8
// The text: English words with capitals, commas and full stops, a line per
// verse and a blank line now and then.
#include <benchmark/benchmark.h>

#include <random>
#include <span>
#include <string>
#include <vector>

#include "bench/Verses.h"
#include "platform/StringList.h"
#include "runtime1/files/FileOfChar.h"
#include "runtime1/search/Search_engines.h"
#include "runtime1/search/Text_unit_counter.h"

namespace {

using qn::bench_support::MakeVerses;

const std::u16string& Text() {
  static const std::u16string text = MakeVerses(size_t{4} << 20);
  return text;
}

// The text's classes as the engine gives them.
const std::vector<uint16_t>& Details() {
  static const std::vector<uint16_t> details = [] {
    qn::TSearchAndDoEngine engine(true, true, 0x0409);
    engine.PrepareFirst(Text().c_str(), static_cast<int32_t>(Text().size() * 2), 0, qn::TSearchFoundEvent(),
                        qn::TWordCountEvent());
    return std::vector<uint16_t>(engine.BufferDetails(), engine.BufferDetails() + Text().size());
  }();
  return details;
}

// The places of the "hits": 40 to 80 units apart.
const std::vector<size_t>& Hits() {
  static const std::vector<size_t> hits = [] {
    std::mt19937 random(9);
    std::vector<size_t> h;
    for (size_t at = 40 + random() % 41; at < Text().size(); at += 40 + random() % 41) h.push_back(at);
    return h;
  }();
  return hits;
}

template <bool kBothAtOnce>
void SentenceWalk(benchmark::State& state) {
  const std::u16string& text = Text();
  const std::vector<uint16_t>& details = Details();
  const std::vector<size_t>& hits = Hits();
  for (auto _ : state) {
    qn::TSentenceParagraphCounter counter;
    size_t taken = 0;
    int64_t sum = 0;
    for (const size_t at : hits) {
      counter.Take(text.data() + taken, details.data() + taken, at - taken);
      taken = at;
      if constexpr (kBothAtOnce) {
        int64_t sentences = 0, paragraphs = 0;
        counter.EndsBefore(text[at], false, sentences, paragraphs);
        sum += sentences + paragraphs;
      } else {
        sum += counter.SentencesBefore(text[at]) + counter.ParagraphsBefore(text[at]);
      }
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * hits.size()));
}

void BM_SentenceWalkBetweenHits_BothAtOnce(benchmark::State& state) { SentenceWalk<true>(state); }
void BM_SentenceWalkBetweenHits_OneCallEach(benchmark::State& state) { SentenceWalk<false>(state); }

const std::vector<uint8_t>& Bytes(qn::platform::TTextEncoding encoding) {
  static const std::vector<uint8_t> utf8 = qn::platform::EncodeTextBytes(Text(), qn::platform::kEncodingUTF8, false);
  static const std::vector<uint8_t> utf16 = qn::platform::EncodeTextBytes(Text(), qn::platform::kEncodingUTF16LE, true);
  return encoding == qn::platform::kEncodingUTF8 ? utf8 : utf16;
}

template <bool kInto>
void DecodeTexts(benchmark::State& state, qn::platform::TTextEncoding encoding) {
  const std::vector<uint8_t>& bytes = Bytes(encoding);
  std::u16string kept;
  for (auto _ : state) {
    if constexpr (kInto) {
      qn::DecodeTextFileBytesInto(bytes, kept);
      benchmark::DoNotOptimize(kept.data());
    } else {
      // As the reader did: the new text assigned over the one before.
      kept = qn::DecodedTextFileBytes(bytes);
      benchmark::DoNotOptimize(kept.data());
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void BM_DecodeTextUtf16_IntoKeptString(benchmark::State& state) {
  DecodeTexts<true>(state, qn::platform::kEncodingUTF16LE);
}
void BM_DecodeTextUtf16_NewString(benchmark::State& state) { DecodeTexts<false>(state, qn::platform::kEncodingUTF16LE); }
void BM_DecodeTextUtf8_IntoKeptString(benchmark::State& state) { DecodeTexts<true>(state, qn::platform::kEncodingUTF8); }
void BM_DecodeTextUtf8_NewString(benchmark::State& state) { DecodeTexts<false>(state, qn::platform::kEncodingUTF8); }

BENCHMARK(BM_SentenceWalkBetweenHits_BothAtOnce)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SentenceWalkBetweenHits_OneCallEach)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeTextUtf16_IntoKeptString)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeTextUtf16_NewString)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeTextUtf8_IntoKeptString)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeTextUtf8_NewString)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
