// The hot paths of the association and keyness statistics, each beside a
// plain C++ baseline of the same closed formula without fault checks, in the
// same run:
//   - collocates: 1,000,000 RelationshipComputation calls per measure;
//   - log-likelihood and MI over 1,000,000 2x2 tables;
//   - a key-word list of 43,473 types: every KWStatsCalculated and the sort
//     by log-likelihood (SortAnArrayOfKeywords), against the same formulas in
//     a plain loop sorted with std::sort or std::stable_sort, on memory the
//     heap kept from the last list or on fresh memory; the sort alone;
//   - p values: 43,473 Norberto calls against bare erfc;
//   - SortAnArrayOfSingles of 1,000,000 values against std::sort;
//   - every pair of 2,000 items recovered from its flat-array slot;
//   - sequence Dice and overlap on two sequences of 100,000 ids.
// Report ratios of the measured times, not the times alone.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "runtime2/statistics/maths_routines.h"

namespace {

struct Table {
  int32_t f_xy, f_x, f_y;
};

constexpr int32_t kCorpus = 100000000;
constexpr int32_t kTables = 1000000;
constexpr int32_t kKeywordTypes = 43473;

// Collocate tables as a collocate list produces them: node and collocate
// frequencies up to 100,000 in a corpus of 10^8 words, at least one joint
// occurrence.
const std::vector<Table>& Tables() {
  static const std::vector<Table> tables = [] {
    std::mt19937 rng(20);
    std::vector<Table> t(kTables);
    for (Table& row : t) {
      row.f_x = 1 + static_cast<int32_t>(rng() % 100000);
      row.f_y = 1 + static_cast<int32_t>(rng() % 100000);
      row.f_xy = 1 + static_cast<int32_t>(rng() % static_cast<uint32_t>(std::min(row.f_x, row.f_y)));
    }
    return t;
  }();
  return tables;
}

const qn::Tdouble_smallint_type kWindow{5, 5};

// ---------------------------------------------------------------------------
// Collocates

void BM_Relationship(benchmark::State& state) {
  const auto stat = static_cast<qn::TMutualInfoStats>(state.range(0));
  const auto& tables = Tables();
  for (auto _ : state) {
    float sum = 0;
    for (const Table& t : tables) sum += qn::RelationshipComputation(stat, t.f_xy, t.f_x, t.f_y, kCorpus, kWindow);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kTables);
}
BENCHMARK(BM_Relationship)
    ->ArgName("stat")
    ->Arg(qn::MI_Dice)
    ->Arg(qn::MI_MI)
    ->Arg(qn::MI_MI3)
    ->Arg(qn::MI_Z)
    ->Arg(qn::MI_log_likelihood)
    ->Arg(qn::MI_T_Score)
    ->Arg(qn::MI_Log_Ratio)
    ->Unit(benchmark::kMillisecond);

// The same closed formulas, unchecked, in plain C++. The measure is chosen
// inside and the function is kept out of line, as the library's is: a caller
// of either pays one call per pair and keeps its running total across it, so
// the ratio compares the formulas and their checks, not inlining.
float PlainEntropyTerm(double share) { return share > 0 ? share * std::log(share) : 0; }

[[gnu::noinline]] float PlainFormula(qn::TMutualInfoStats stat, const Table& t, int32_t N, int32_t S) {
  const double fx = t.f_x, fy = t.f_y, fxy = t.f_xy, n = N;
  switch (stat) {
    case qn::MI_Dice:
      return static_cast<float>(2.0 * fxy / (fx + fy));
    case qn::MI_MI:
      return static_cast<float>(std::log2((fxy / n) / ((fx / n) * (fy / n))));
    case qn::MI_MI3: {
      const double b = std::max(fx - fxy, qn::TINY_D), c = std::max(fy - fxy, qn::TINY_D);
      const double d = std::max(n - fxy - b - c, qn::TINY_D);
      return static_cast<float>(std::log2(fxy * fxy * fxy * (fxy + b + c + d) / ((fxy + b) * (fxy + c))));
    }
    case qn::MI_Z: {
      const double p = fy / (n - fx);
      const double e = S * fx * p;
      return static_cast<float>(static_cast<float>(fxy - e) / std::sqrt(e * (1 - p)));
    }
    case qn::MI_log_likelihood: {
      const double m[4] = {fxy, fy - fxy, fx * S - fxy, n - fx - fy + fxy};
      const double total = m[0] + m[1] + m[2] + m[3];
      const double r[2] = {m[0] + m[1], m[2] + m[3]}, c[2] = {m[0] + m[2], m[1] + m[3]};
      double cells = 0, rows = 0, cols = 0;
      for (double v : m) cells += PlainEntropyTerm(v / total);
      for (double v : r) rows += PlainEntropyTerm(v / total);
      for (double v : c) cols += PlainEntropyTerm(v / total);
      return static_cast<float>((cells - rows - cols) * 2 * total);
    }
    case qn::MI_T_Score:
      return static_cast<float>(static_cast<float>(fxy - fx * fy / n) / std::sqrt(fxy));
    case qn::MI_Log_Ratio:
      return static_cast<float>(
          std::log2(static_cast<double>(static_cast<float>(fx / n)) / static_cast<float>(fy / n)));
  }
  return 0;
}

void BM_RelationshipBaseline(benchmark::State& state) {
  const auto stat = static_cast<qn::TMutualInfoStats>(state.range(0));
  const auto& tables = Tables();
  for (auto _ : state) {
    float sum = 0;
    for (const Table& t : tables) sum += PlainFormula(stat, t, kCorpus, 10);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kTables);
}
BENCHMARK(BM_RelationshipBaseline)
    ->ArgName("stat")
    ->Arg(qn::MI_Dice)
    ->Arg(qn::MI_MI)
    ->Arg(qn::MI_MI3)
    ->Arg(qn::MI_Z)
    ->Arg(qn::MI_log_likelihood)
    ->Arg(qn::MI_T_Score)
    ->Arg(qn::MI_Log_Ratio)
    ->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------
// Log-likelihood over 2x2 tables

void BM_DunningLogLikelihood(benchmark::State& state) {
  const auto& tables = Tables();
  for (auto _ : state) {
    float sum = 0;
    for (const Table& t : tables) sum += qn::Log_Likelihood_SameCorpus_Dunning(t.f_x, t.f_y, t.f_xy, kCorpus);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kTables);
}
BENCHMARK(BM_DunningLogLikelihood)->Unit(benchmark::kMillisecond);

double PlainXLnX(double x) { return x == 0 ? 0 : x * std::log(x); }

void BM_DunningLogLikelihoodBaseline(benchmark::State& state) {
  const auto& tables = Tables();
  for (auto _ : state) {
    float sum = 0;
    for (const Table& t : tables) {
      const double k11 = t.f_xy, k12 = t.f_x - t.f_xy, k21 = t.f_y - t.f_xy;
      const double k22 = static_cast<double>(kCorpus) - t.f_x - t.f_y + t.f_xy;
      const double r = PlainXLnX(k11 + k12 + k21 + k22) - PlainXLnX(k11 + k12) - PlainXLnX(k21 + k22);
      const double c = PlainXLnX(k11 + k12 + k21 + k22) - PlainXLnX(k11 + k21) - PlainXLnX(k12 + k22);
      const double e = PlainXLnX(k11 + k12 + k21 + k22) - PlainXLnX(k11) - PlainXLnX(k12) - PlainXLnX(k21) -
                       PlainXLnX(k22);
      sum += static_cast<float>(2 * (r + c - e));
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kTables);
}
BENCHMARK(BM_DunningLogLikelihoodBaseline)->Unit(benchmark::kMillisecond);

void BM_LancasterLogLikelihood(benchmark::State& state) {
  const auto& tables = Tables();
  for (auto _ : state) {
    float sum = 0;
    for (const Table& t : tables) sum += qn::Log_Likelihood_Lancaster(t.f_x, t.f_y, 1000000, kCorpus);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kTables);
}
BENCHMARK(BM_LancasterLogLikelihood)->Unit(benchmark::kMillisecond);

void BM_LancasterLogLikelihoodBaseline(benchmark::State& state) {
  const auto& tables = Tables();
  const double c = 1000000, d = kCorpus;
  for (auto _ : state) {
    float sum = 0;
    for (const Table& t : tables) {
      const double a = t.f_x, b = t.f_y;
      const double e1 = (a + b) * c / (c + d), e2 = (a + b) * d / (c + d);
      sum += static_cast<float>(2 * (a * std::log(a / e1) + b * std::log(b / e2)));
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kTables);
}
BENCHMARK(BM_LancasterLogLikelihoodBaseline)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------
// A key-word list

const qn::TIntegerPair kKeywordSizes{1000000, 100000000};

// Zipf-like frequencies of 43,473 types in a text of a million words and a
// reference corpus of a hundred million.
const std::vector<qn::TIntegerPair>& KeywordFrequencies() {
  static const std::vector<qn::TIntegerPair> f = [] {
    std::mt19937 rng(43473);
    std::lognormal_distribution<double> drift(0.0, 0.7);
    std::vector<qn::TIntegerPair> v(kKeywordTypes);
    for (int32_t i = 0; i < kKeywordTypes; ++i) {
      const double reference = 1e7 / (i + 1);
      v[static_cast<size_t>(i)] = {static_cast<int32_t>(reference / 100 * drift(rng)),
                                   std::max<int32_t>(1, static_cast<int32_t>(reference))};
    }
    return v;
  }();
  return f;
}

// The order of a key-word list: descending LL, equal values in record order.
// The library's run sorts pointers to its records with SortAnArrayOfKeywords;
// the baseline sorts pointers to its plain records the plain C++ way, with
// std::sort (sort:0, equal values in any order) or std::stable_sort (sort:1,
// the library's order).
enum TPlainSort { kStdSort = 0, kStdStableSort = 1 };

template <typename Record>
void PointTo(std::vector<Record>& records, std::vector<Record*>& pointers) {
  pointers.clear();
  for (auto& r : records) pointers.push_back(&r);
}

template <typename Record>
void PlainSortByLL(std::vector<Record*>& pointers, TPlainSort how) {
  const auto byLL = [](const Record* a, const Record* b) { return a->LL > b->LL; };
  if (how == kStdSort) {
    std::sort(pointers.begin(), pointers.end(), byLL);
  } else {
    std::stable_sort(pointers.begin(), pointers.end(), byLL);
  }
}

// Between two lists, the memory of the last one: kept by the heap for the
// next (fresh:0, a tool that makes list after list), or given back to the
// system with the records' array (fresh:1), so that each list lands on
// memory the process has not touched, as a tool's first list does, and pays
// its page faults.
template <typename Record>
void ReleaseBetweenLists(std::vector<Record>& entries, bool fresh) {
  entries.clear();
  if (fresh) {
    entries = std::vector<Record>();
    malloc_trim(0);
  }
  entries.reserve(static_cast<size_t>(kKeywordTypes));
}

void BM_KeywordList(benchmark::State& state) {
  const bool fresh = state.range(0) != 0;
  const auto& frequencies = KeywordFrequencies();
  std::vector<qn::TKeyword_entry_rec> entries;
  std::vector<qn::TKeyword_entry_rec*> pointers, expected;
  bool checked = false;
  ReleaseBetweenLists(entries, fresh);
  for (auto _ : state) {
    for (const qn::TIntegerPair& q : frequencies) entries.push_back(qn::KWStatsCalculated(q, kKeywordSizes));
    PointTo(entries, pointers);
    qn::SortAnArrayOfKeywords(pointers, true);
    benchmark::DoNotOptimize(pointers.data());
    state.PauseTiming();
    if (!checked) {
      PointTo(entries, expected);
      PlainSortByLL(expected, kStdStableSort);
      if (pointers != expected) state.SkipWithError("the key-word sort lost the order");
      checked = true;
    }
    for (auto& e : entries) qn::FreeKeywordEntry(e);
    ReleaseBetweenLists(entries, fresh);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kKeywordTypes);
}
BENCHMARK(BM_KeywordList)->ArgName("fresh")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The same record without its list, filled by the bare formulas: Lancaster's
// LL, the BIC and the log ratio.
struct PlainKeyword {
  int32_t f[2];
  float LL, BIC_Score, LogRatio;
  bool negative_score;
};

void BM_KeywordListBaseline(benchmark::State& state) {
  const auto how = static_cast<TPlainSort>(state.range(0));
  const bool fresh = state.range(1) != 0;
  const auto& frequencies = KeywordFrequencies();
  std::vector<PlainKeyword> entries;
  std::vector<PlainKeyword*> pointers;
  ReleaseBetweenLists(entries, fresh);
  const double s0 = kKeywordSizes[0], s1 = kKeywordSizes[1];
  for (auto _ : state) {
    for (const qn::TIntegerPair& q : frequencies) {
      PlainKeyword k{};
      k.f[0] = q[0];
      k.f[1] = q[1];
      const double a = q[0], b = q[1];
      const double e1 = (a + b) * s0 / (s0 + s1), e2 = (a + b) * s1 / (s0 + s1);
      const double ll = 2 * ((a > 0 ? a * std::log(a / e1) : 0) + (b > 0 ? b * std::log(b / e2) : 0));
      k.LL = static_cast<float>(ll);
      k.BIC_Score = static_cast<float>(ll - std::log(s0 + s1));
      const float r0 = a > 0 ? static_cast<float>(a / s0) : qn::TINY_S;
      const float r1 = b > 0 ? static_cast<float>(b / s1) : qn::TINY_S;
      k.LogRatio = static_cast<float>(std::log2(static_cast<double>(r0) / r1));
      if (a < e1) {
        k.LL = -k.LL;
        k.negative_score = true;
      }
      entries.push_back(k);
    }
    PointTo(entries, pointers);
    PlainSortByLL(pointers, how);
    benchmark::DoNotOptimize(pointers.data());
    state.PauseTiming();
    ReleaseBetweenLists(entries, fresh);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kKeywordTypes);
}
BENCHMARK(BM_KeywordListBaseline)
    ->ArgNames({"sort", "fresh"})
    ->Args({kStdSort, 0})
    ->Args({kStdStableSort, 0})
    ->Args({kStdSort, 1})
    ->Unit(benchmark::kMillisecond);

// The sort alone: the pointers to the 43,473 records of the list, in record
// order, sorted by descending LL (the copy of the pointers is timed in both).
std::vector<qn::TKeyword_entry_rec>& KeywordRecords() {
  static std::vector<qn::TKeyword_entry_rec> records = [] {
    std::vector<qn::TKeyword_entry_rec> r;
    for (const qn::TIntegerPair& q : KeywordFrequencies()) {
      r.push_back(qn::KWStatsCalculated(q, kKeywordSizes));
      qn::FreeKeywordEntry(r.back());
    }
    return r;
  }();
  return records;
}

void BM_KeywordSort(benchmark::State& state) {
  auto& records = KeywordRecords();
  std::vector<qn::TKeyword_entry_rec*> unsorted, pointers;
  PointTo(records, unsorted);
  for (auto _ : state) {
    pointers = unsorted;
    qn::SortAnArrayOfKeywords(pointers, true);
    benchmark::DoNotOptimize(pointers.data());
  }
  state.SetItemsProcessed(state.iterations() * kKeywordTypes);
}
BENCHMARK(BM_KeywordSort)->Unit(benchmark::kMicrosecond);

void BM_KeywordSortBaseline(benchmark::State& state) {
  const auto how = static_cast<TPlainSort>(state.range(0));
  auto& records = KeywordRecords();
  std::vector<qn::TKeyword_entry_rec*> unsorted, pointers;
  PointTo(records, unsorted);
  for (auto _ : state) {
    pointers = unsorted;
    PlainSortByLL(pointers, how);
    benchmark::DoNotOptimize(pointers.data());
  }
  state.SetItemsProcessed(state.iterations() * kKeywordTypes);
}
BENCHMARK(BM_KeywordSortBaseline)->ArgName("sort")->Arg(kStdSort)->Arg(kStdStableSort)->Unit(benchmark::kMicrosecond);

// ---------------------------------------------------------------------------
// p values of a key-word list

const std::vector<float>& KeynessScores() {
  static const std::vector<float> scores = [] {
    std::mt19937 rng(43);
    std::exponential_distribution<float> spread(0.05f);
    std::vector<float> s(kKeywordTypes);
    for (float& v : s) v = spread(rng) * ((rng() & 1) ? 1.0f : -1.0f);
    return s;
  }();
  return scores;
}

void BM_Norberto(benchmark::State& state) {
  const auto& scores = KeynessScores();
  for (auto _ : state) {
    double sum = 0;
    for (float x : scores) sum += qn::Norberto(x);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kKeywordTypes);
}
BENCHMARK(BM_Norberto)->Unit(benchmark::kMicrosecond);

void BM_NorbertoBaseline(benchmark::State& state) {
  const auto& scores = KeynessScores();
  for (auto _ : state) {
    double sum = 0;
    for (float x : scores) sum += std::erfc(std::sqrt(static_cast<double>(std::fabs(x)) / 2));
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kKeywordTypes);
}
BENCHMARK(BM_NorbertoBaseline)->Unit(benchmark::kMicrosecond);

// ---------------------------------------------------------------------------
// Sorting

const std::vector<float>& Singles() {
  static const std::vector<float> values = [] {
    std::mt19937 rng(1000000);
    std::uniform_real_distribution<float> any(-1000.0f, 1000.0f);
    std::vector<float> v(1000000);
    for (float& x : v) x = any(rng);
    return v;
  }();
  return values;
}

void BM_SortAnArrayOfSingles(benchmark::State& state) {
  std::vector<float> work;
  for (auto _ : state) {
    state.PauseTiming();
    work = Singles();
    state.ResumeTiming();
    qn::SortAnArrayOfSingles(work, state.range(0) != 0);
    benchmark::DoNotOptimize(work.data());
  }
  state.SetItemsProcessed(state.iterations() * 1000000);
}
BENCHMARK(BM_SortAnArrayOfSingles)->ArgName("descending")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_StdSortBaseline(benchmark::State& state) {
  std::vector<float> work;
  for (auto _ : state) {
    state.PauseTiming();
    work = Singles();
    state.ResumeTiming();
    if (state.range(0) != 0) {
      std::sort(work.begin(), work.end(), std::greater<float>());
    } else {
      std::sort(work.begin(), work.end());
    }
    benchmark::DoNotOptimize(work.data());
  }
  state.SetItemsProcessed(state.iterations() * 1000000);
}
BENCHMARK(BM_StdSortBaseline)->ArgName("descending")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------
// Flat pair arrays

void BM_XYFromSingleArrayPosPos(benchmark::State& state) {
  const int32_t n = 2000;
  const int32_t slots = n * (n - 1) / 2;
  for (auto _ : state) {
    int64_t sum = 0;
    for (int32_t pos = 0; pos < slots; ++pos) {
      const qn::TIntegerPair xy = qn::XYFromSingleArrayPosPos(pos, n);
      sum += xy[0] + xy[1];
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * slots);
}
BENCHMARK(BM_XYFromSingleArrayPosPos)->Unit(benchmark::kMillisecond);

// The baseline walks the slots in order with two counters, which is what a
// caller visiting every slot could do without the function.
void BM_PairWalkBaseline(benchmark::State& state) {
  const int32_t n = 2000;
  for (auto _ : state) {
    int64_t sum = 0;
    for (int32_t y = 0; y < n; ++y)
      for (int32_t x = y + 1; x < n; ++x) {
        benchmark::DoNotOptimize(x);
        sum += x + y;
      }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * (n * (n - 1) / 2));
}
BENCHMARK(BM_PairWalkBaseline)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------
// Sequences

struct Sequences {
  std::vector<uint32_t> x, y;
};

const Sequences& TheSequences() {
  static const Sequences s = [] {
    std::mt19937 rng(100000);
    // Type numbers of running text: a few frequent types, a long tail.
    std::geometric_distribution<uint32_t> types(0.001);
    Sequences q;
    q.x.resize(100000);
    q.y.resize(100000);
    for (auto& v : q.x) v = types(rng);
    for (auto& v : q.y) v = types(rng);
    return q;
  }();
  return s;
}

void BM_SequenceDice(benchmark::State& state) {
  const auto& s = TheSequences();
  for (auto _ : state) benchmark::DoNotOptimize(qn::Dice_Coefficient(s.x, s.y));
}
BENCHMARK(BM_SequenceDice)->Unit(benchmark::kMillisecond);

void BM_SequenceOverlap(benchmark::State& state) {
  const auto& s = TheSequences();
  for (auto _ : state) benchmark::DoNotOptimize(qn::Overlap_Coefficient(s.x, s.y));
}
BENCHMARK(BM_SequenceOverlap)->Unit(benchmark::kMillisecond);

// The baseline: the sort of both sequences that any comparison of their
// contents needs at least.
void BM_SequenceSortBaseline(benchmark::State& state) {
  const auto& s = TheSequences();
  for (auto _ : state) {
    std::vector<uint32_t> x = s.x, y = s.y;
    std::sort(x.begin(), x.end());
    std::sort(y.begin(), y.end());
    benchmark::DoNotOptimize(x.data());
    benchmark::DoNotOptimize(y.data());
  }
}
BENCHMARK(BM_SequenceSortBaseline)->Unit(benchmark::kMillisecond);

}  // namespace
