// Speed of counting a text's words, sentences and paragraphs from its bytes
// piece by piece (TTextUnitCounter), against what the whole-text path does
// for the same counts, in the same run:
//   the counter over UTF-8 bytes in pieces of 64 KiB
//     vs decoding them whole, the engine classifying the text and walking it
//        for a word that is not there (counting every word start on the way)
//   the counter over UTF-16 bytes
//     vs the engine's classifying and walk alone (the text already decoded)
// The text: English words with capitals, commas and full stops, a line per
// verse and a blank line now and then, about 16 MB of UTF-8.
#include <benchmark/benchmark.h>

#include <random>
#include <span>
#include <string>
#include <vector>

#include "bench/Verses.h"
#include "platform/StringList.h"
#include "runtime1/search/Search_engines.h"
#include "runtime1/search/Search_parsing.h"
#include "runtime1/search/Text_unit_counter.h"

namespace {

using qn::bench_support::MakeVerses;

const std::u16string& Text() {
  static const std::u16string text = MakeVerses(size_t{16} << 20);
  return text;
}
const std::vector<uint8_t>& Bytes(qn::platform::TTextEncoding encoding) {
  static const std::vector<uint8_t> utf8 = qn::platform::EncodeTextBytes(Text(), qn::platform::kEncodingUTF8, false);
  static const std::vector<uint8_t> utf16 = qn::platform::EncodeTextBytes(Text(), qn::platform::kEncodingUTF16LE, false);
  return encoding == qn::platform::kEncodingUTF8 ? utf8 : utf16;
}

// The argument is the widest vector level the counter may use (4: AVX-512
// with VBMI, 3: AVX-512BW, 2: AVX2, 1: SSE2, 0: none), capped by what the
// processor has.
void Count(benchmark::State& state, qn::platform::TTextEncoding encoding, size_t piece = size_t{1} << 16) {
  const std::vector<uint8_t>& bytes = Bytes(encoding);
  const int level = static_cast<int>(state.range(0));
  if (level > qn::TTextUnitCounter::ProcessorLevel()) {
    state.SkipWithError("the processor lacks this level");
    return;
  }
  for (auto _ : state) {
    qn::TTextUnitCounter counter(encoding, level);
    for (size_t at = 0; at < bytes.size(); at += piece) {
      counter.Add(std::span<const uint8_t>(bytes).subspan(at, std::min(piece, bytes.size() - at)));
    }
    counter.Finish();
    benchmark::DoNotOptimize(counter.WordStarts());
    benchmark::DoNotOptimize(counter.Ends().Sentences());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

// The engine's walk over the whole text for a word it never finds.
void EngineWalk(const std::u16string& text, qn::TSearchAndDoEngine& engine) {
  std::u16string typed = u"quillwort";
  const qn::TIgnore_tag_type noTags{};
  qn::TSearch_word_format_rec word = qn::Parsed_SearchWord(noTags, typed);
  auto onHit = [](qn::platform::TObject*, const qn::TSearchFound_Rec&) { return true; };
  engine.PrepareFirst(text.c_str(), static_cast<int32_t>(text.size() * 2), 0, qn::TSearchFoundEvent::FromCallable(onHit),
                      qn::TWordCountEvent());
  engine.ClearChunkTextStats();
  engine.SearchAndDo(&word);
  benchmark::DoNotOptimize(engine.BufferDetails());
}

void BM_CounterUtf8(benchmark::State& state) { Count(state, qn::platform::kEncodingUTF8); }
void BM_CounterUtf16(benchmark::State& state) { Count(state, qn::platform::kEncodingUTF16LE); }
// In pieces that end anywhere in a block, as the concordance counts the bytes
// between the parts it decodes (about 20 KB at a time).
void BM_CounterUtf8OddPieces(benchmark::State& state) { Count(state, qn::platform::kEncodingUTF8, 20011); }

void BM_DecodeAndEngineWalkUtf8(benchmark::State& state) {
  const std::vector<uint8_t>& bytes = Bytes(qn::platform::kEncodingUTF8);
  qn::TSearchAndDoEngine engine(true, true, 0x0409);
  for (auto _ : state) {
    const std::u16string text = qn::platform::DecodeTextBytesAs(bytes, qn::platform::kEncodingUTF8);
    EngineWalk(text, engine);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void BM_EngineWalkUtf16(benchmark::State& state) {
  const std::vector<uint8_t>& bytes = Bytes(qn::platform::kEncodingUTF16LE);
  qn::TSearchAndDoEngine engine(true, true, 0x0409);
  for (auto _ : state) EngineWalk(Text(), engine);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

BENCHMARK(BM_CounterUtf8)->Arg(4)->Arg(3)->Arg(2)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeAndEngineWalkUtf8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CounterUtf8OddPieces)->Arg(4)->Arg(3)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CounterUtf16)->Arg(4)->Arg(3)->Arg(2)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EngineWalkUtf16)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
