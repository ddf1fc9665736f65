// Speed of the search path over a corpus-sized text, each figure next to a
// baseline measured in the same run:
//   the engine's detail array for 100 MB of UTF-16 (SetABuffer)
//                                                  vs platform::CharTypes1
//   SearchAndDo and the bare matcher walking the text for "the"
//   (case-insensitive, whole words, every hit accepted, words and sentences
//   counted)                                       vs a u16string_view::find loop
//   the matcher on a rare word (about one hit per megabyte)
//   texts without a blank for a megabyte, where a naive matcher is quadratic
//   ("*a*b", "*a*", and "a*bc" over "abab...")
//   the word-list variant over 1,000,000 short entries.
// The text is made from English words drawn with their rough frequencies, in
// sentences with commas and capitals, with CR LF paragraph ends.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "platform/CharTypes.h"
#include "runtime1/search/Buffer_matcher.h"
#include "runtime1/search/Search_engines.h"
#include "runtime1/search/Search_parsing.h"

namespace {

constexpr size_t kUnits = 50u * 1024u * 1024u;  // 100 MB of UTF-16

struct TWeighted {
  const char16_t* word;
  int weight;  // rough occurrences per 10,000 words
};

// The most frequent English words with their rough shares, then a tail of
// ordinary words; several begin with "the" without being it.
constexpr TWeighted kWords[] = {
    {u"the", 600},      {u"of", 300},      {u"and", 280},       {u"to", 260},     {u"a", 220},
    {u"in", 190},       {u"is", 100},      {u"that", 100},      {u"it", 90},      {u"was", 90},
    {u"for", 80},       {u"on", 60},       {u"with", 60},       {u"as", 60},      {u"he", 60},
    {u"they", 50},      {u"at", 50},       {u"be", 50},         {u"this", 50},    {u"from", 45},
    {u"there", 40},     {u"their", 40},    {u"then", 30},       {u"these", 30},   {u"other", 30},
    {u"them", 30},      {u"theory", 5},    {u"thermal", 3},     {u"people", 20},  {u"time", 25},
    {u"would", 25},     {u"could", 20},    {u"about", 25},      {u"which", 30},   {u"when", 25},
    {u"corpus", 5},     {u"language", 8},  {u"concordance", 2}, {u"between", 12}, {u"through", 12},
    {u"without", 8},    {u"small", 10},    {u"water", 10},      {u"house", 10},   {u"morning", 6},
    {u"government", 6}, {u"different", 8}, {u"important", 8},   {u"question", 6}, {u"because", 12},
    {u"nothing", 6},    {u"something", 8}, {u"walked", 4},      {u"walking", 4},  {u"thought", 12},
    {u"although", 6},   {u"whether", 6},
};

// Every rareEvery words, "quillwort" instead of a drawn word.
std::u16string MakeEnglish(size_t units, size_t rareEvery) {
  std::vector<int> cumulative;
  int total = 0;
  for (const TWeighted& w : kWords) cumulative.push_back(total += w.weight);
  std::mt19937 random(11);
  std::u16string t;
  t.reserve(units + 32);
  size_t words = 0;
  bool capital = true;
  size_t inSentence = 0;
  while (t.size() < units) {
    std::u16string word;
    if (++words % rareEvery == 0) {
      word = u"quillwort";
    } else {
      const int r = static_cast<int>(random() % static_cast<unsigned>(total));
      size_t i = 0;
      while (cumulative[i] <= r) ++i;
      word = kWords[i].word;
    }
    if (capital) word[0] = static_cast<char16_t>(word[0] - u'a' + u'A');
    t += word;
    capital = false;
    ++inSentence;
    if (inSentence > 6 && random() % 12 == 0) {
      t += u'.';
      capital = true;
      inSentence = 0;
      t += random() % 6 == 0 ? u"\r\n" : u" ";
    } else {
      if (random() % 14 == 0) t += u',';
      t += u' ';
    }
  }
  t.resize(units);
  return t;
}

const std::u16string& English() {
  static const std::u16string text = MakeEnglish(kUnits, 100000);
  return text;
}

// The detail array of a text as the engine builds it, with the two spare
// entries the matcher may look at past the end.
std::vector<uint16_t> DetailsOf(const std::u16string& text) {
  std::vector<uint16_t> details(text.size() + 2, 0);
  qn::platform::CharTypes1(text.data(), text.size(), details.data());
  return details;
}

const std::vector<uint16_t>& EnglishDetails() {
  static const std::vector<uint16_t> details = DetailsOf(English());
  return details;
}

struct TCopies {
  std::u16string lo, up, ti;
};

// Walks the whole buffer as the engine does: one call per hit, the next call
// one character past the hit's start. Returns the number of hits.
size_t MatchAll(const std::u16string& text, const std::vector<uint16_t>& details, const TCopies& w,
                bool left, bool right, qn::TSearchStatsRec& stats) {
  qn::TMatcherMemo memo;
  bool heading = false;
  size_t hits = 0;
  const int32_t n = static_cast<int32_t>(text.size());
  for (int32_t from = 0; from < n;) {
    qn::TMatchRequest r;
    r.text = text.data() + from;
    r.n = n - from;
    r.details = details.data() + from;
    r.detailsStart = details.data();
    r.detailsEnd = details.data() + n + 1;
    r.lower = w.lo.data();
    r.upper = w.up.data();
    r.title = w.ti.data();
    r.L = static_cast<int32_t>(w.lo.size());
    r.leftBounded = left;
    r.rightBounded = right;
    int32_t full = 0, exact = 0;
    const int32_t at = qn::FindWantedInBuffer(r, stats, heading, full, exact, &memo);
    if (at < 0) break;
    ++hits;
    from += at + 1;
  }
  return hits;
}

// The matcher over the whole of a text for one search word, as many times as
// the benchmark asks; the last walk's hits become a counter.
void MatchAllTimed(benchmark::State& state, const std::u16string& text,
                   const std::vector<uint16_t>& details, const TCopies& w, bool bounded) {
  size_t hits = 0;
  for (auto _ : state) {
    qn::TSearchStatsRec stats{};
    hits = MatchAll(text, details, w, bounded, bounded, stats);
    benchmark::DoNotOptimize(stats);
  }
  state.counters["hits"] = static_cast<double>(hits);
}

void BM_FindLoop_The(benchmark::State& state) {
  const std::u16string_view text = English();
  size_t hits = 0;
  for (auto _ : state) {
    hits = 0;
    for (size_t at = text.find(u"the"); at != std::u16string_view::npos;
         at = text.find(u"the", at + 1))
      ++hits;
    benchmark::DoNotOptimize(hits);
  }
  state.counters["hits"] = static_cast<double>(hits);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size() * 2));
}
BENCHMARK(BM_FindLoop_The)->Unit(benchmark::kMillisecond)->MinTime(2);

void BM_Matcher_The(benchmark::State& state) {
  MatchAllTimed(state, English(), EnglishDetails(), {u"the", u"THE", u"The"}, true);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * English().size() * 2));
}
BENCHMARK(BM_Matcher_The)->Unit(benchmark::kMillisecond)->MinTime(2);

void BM_Matcher_RareWord(benchmark::State& state) {
  MatchAllTimed(state, English(), EnglishDetails(), {u"quillwort", u"QUILLWORT", u"Quillwort"}, true);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * English().size() * 2));
}
BENCHMARK(BM_Matcher_RareWord)->Unit(benchmark::kMillisecond)->MinTime(2);

// One million "a" without a blank.
const std::u16string& RunOfA() {
  static const std::u16string text(1000000, u'a');
  return text;
}
const std::vector<uint16_t>& RunOfADetails() {
  static const std::vector<uint16_t> details = DetailsOf(RunOfA());
  return details;
}

// "*a*b": every "a" is a candidate whose star runs to the end of the text.
void BM_Hostile_StarAStarB(benchmark::State& state) {
  const TCopies w{
      u"a\x1D"
      u"b",
      u"A\x1D"
      u"B",
      u"A\x1D"
      u"b"};
  MatchAllTimed(state, RunOfA(), RunOfADetails(), w, false);
}
BENCHMARK(BM_Hostile_StarAStarB)->Unit(benchmark::kMillisecond)->MinTime(2);

// "*a*": a million hits, each extended to the end of the run.
void BM_Hostile_StarAStar(benchmark::State& state) {
  MatchAllTimed(state, RunOfA(), RunOfADetails(), {u"a", u"A", u"A"}, false);
}
BENCHMARK(BM_Hostile_StarAStar)->Unit(benchmark::kMillisecond)->MinTime(2);

// "a*bc" over "abab..." of range(0) characters without a blank: every "a" is a
// candidate whose star fails on each later "a", takes it and looks again, up
// to the end of the text. Beside it, the same text searched for "abc", which
// has the same candidates: the ratio shows whether the star costs more than a
// constant per character.
const std::u16string& Abab(size_t units) {
  static std::u16string text;
  if (text.size() != units) {
    text.clear();
    while (text.size() < units) text += u"ab";
  }
  return text;
}

// The matcher over "abab..." of range(0) characters for w.
void MatchAllAbab(benchmark::State& state, const TCopies& w) {
  const std::u16string& text = Abab(static_cast<size_t>(state.range(0)));
  MatchAllTimed(state, text, DetailsOf(text), w, false);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void BM_Hostile_PendingStar(benchmark::State& state) {
  MatchAllAbab(state, {u"a\x1D"
                       u"bc",
                       u"A\x1D"
                       u"BC",
                       u"A\x1D"
                       u"bc"});
}
BENCHMARK(BM_Hostile_PendingStar)
    ->Unit(benchmark::kMillisecond)
    ->Arg(10000)
    ->Arg(40000)
    ->Arg(1000000);

// "a*a*a*a*a*a*a*a*a*a*bc" over "abab...": ten stars, the first nine each
// taking one "b", the tenth failing on every later "a" up to the end of the
// text. Every star has its chain remembered, however many the word has.
void BM_Hostile_PendingTenStars(benchmark::State& state) {
  std::u16string lo = u"a", up = u"A";
  for (int i = 0; i < 9; ++i) {
    lo += u"\x1D"
          u"a";
    up += u"\x1D"
          u"A";
  }
  std::u16string ti = lo;
  ti[0] = u'A';
  MatchAllAbab(state, {lo + u"\x1D"
                            u"bc",
                       up + u"\x1D"
                            u"BC",
                       ti + u"\x1D"
                            u"bc"});
}
BENCHMARK(BM_Hostile_PendingTenStars)
    ->Unit(benchmark::kMillisecond)
    ->Arg(10000)
    ->Arg(40000)
    ->Arg(160000)
    ->Arg(1000000);

void BM_Hostile_PendingStarBaseline(benchmark::State& state) {
  MatchAllAbab(state, {u"abc", u"ABC", u"Abc"});
}
BENCHMARK(BM_Hostile_PendingStarBaseline)->Unit(benchmark::kMillisecond)->Arg(1000000);

// The detail array alone, as the engine needs it: the baseline.
void BM_CharTypes1(benchmark::State& state) {
  const std::u16string& text = English();
  std::vector<uint16_t> details(text.size() + 2);
  for (auto _ : state) {
    qn::platform::CharTypes1(text.data(), text.size(), details.data());
    benchmark::DoNotOptimize(details.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size() * 2));
}
BENCHMARK(BM_CharTypes1)->Unit(benchmark::kMillisecond)->MinTime(2);

void BM_Engine_SetABuffer(benchmark::State& state) {
  const std::u16string& text = English();
  qn::TSearchAndDoEngine engine(true, true, 0x0409);
  for (auto _ : state) {
    engine.SetABuffer(text.c_str());
    benchmark::DoNotOptimize(engine.BufferDetails());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size() * 2));
}
BENCHMARK(BM_Engine_SetABuffer)->Unit(benchmark::kMillisecond)->MinTime(2);

struct TAcceptAll {
  size_t hits = 0;
  bool Found(qn::platform::TObject*, const qn::TSearchFound_Rec& rec) {
    const int32_t words = rec.count_stats.number[qn::word_stats];
    benchmark::DoNotOptimize(words);
    ++hits;
    return true;
  }
};

void BM_Engine_SearchAndDo_The(benchmark::State& state) {
  const std::u16string& text = English();
  qn::TSearchAndDoEngine engine(true, true, 0x0409);
  TAcceptAll accept;
  engine.PrepareFirst(text.c_str(), static_cast<int32_t>(text.size() * 2), 0,
                      qn::TSearchFoundEvent::Bind<&TAcceptAll::Found>(&accept), {});
  const qn::TIgnore_tag_type noTags{};
  std::u16string typed = u"the";
  qn::TSearch_word_format_rec the = qn::Parsed_SearchWord(noTags, typed);
  for (auto _ : state) {
    accept.hits = 0;
    engine.ClearChunkTextStats();
    engine.SearchAndDo(&the);
  }
  state.counters["hits"] = static_cast<double>(accept.hits);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size() * 2));
}
BENCHMARK(BM_Engine_SearchAndDo_The)->Unit(benchmark::kMillisecond)->MinTime(2);

// A word list: 1,000,000 entries of 3 to 11 letters against "walk*".
void BM_Tally_QuickSearch(benchmark::State& state) {
  static const std::vector<std::u16string> entries = [] {
    std::mt19937 random(5);
    std::vector<std::u16string> e;
    for (int i = 0; i < 1000000; ++i) {
      std::u16string w;
      const int n = 3 + static_cast<int>(random() % 9);
      if (random() % 50 == 0) w = u"walk";
      while (static_cast<int>(w.size()) < n) w += static_cast<char16_t>(u'a' + random() % 26);
      e.push_back(w);
    }
    return e;
  }();
  qn::TTallySearchAndDo tally(true, true, 0x0409);
  tally.SetSearchWord(u"walk", qn::TMySearchFlags{qn::myLeftBounded});
  size_t found = 0;
  for (auto _ : state) {
    found = 0;
    for (const std::u16string& entry : entries) {
      tally.SetABuffer(entry.c_str());
      found += tally.QuickSearchFoundIgnoringTags();
    }
  }
  state.counters["found"] = static_cast<double>(found);
}
BENCHMARK(BM_Tally_QuickSearch)->Unit(benchmark::kMillisecond)->MinTime(2);

}  // namespace
