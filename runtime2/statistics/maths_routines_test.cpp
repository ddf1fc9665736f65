// Expected values were computed independently of this code: with Python's
// mpmath at 40 significant digits (mp.dps = 40) straight from the textbook
// formulas, e.g. MI3 as log(A**3*N/((A+B)*(A+C)))/log(2), Dunning's G² as
// 2*(Σ xlnx(cells) + xlnx(N) − Σ xlnx(row sums) − Σ xlnx(column sums)),
// Lancaster's LL as 2*Σ f*log(f/E) over the non-zero frequencies, the
// p values as erfc(sqrt(x/2)), ln Γ as loggamma. Single-precision steps were
// emulated with struct.pack('f', ...). Each is compared to 6 significant
// figures (relative error at most 1e-6).
#include "runtime2/statistics/maths_routines.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <typeinfo>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/YieldHook.h"

namespace qn {
namespace {

::testing::AssertionResult SixFigures(double actual, double expected) {
  if (std::fabs(actual - expected) <= 1e-6 * std::fabs(expected)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "actual " << actual << " expected " << expected;
}

// Counts the yields while it lives.
class YieldCounter {
 public:
  YieldCounter() : fSaved(AYieldProcessProc) {
    AYieldProcessProc = TYieldProcessProc([](void* self) { ++static_cast<YieldCounter*>(self)->count; }, this);
  }
  ~YieldCounter() { AYieldProcessProc = fSaved; }
  int64_t count = 0;

 private:
  TYieldProcessProc fSaved;
};

// ---------------------------------------------------------------------------

TEST(MathsRoutines, DiceAndOverlapOnCounts) {
  EXPECT_EQ(Dice_Coefficient(0, 0, 0), 0.0f);
  EXPECT_TRUE(SixFigures(Dice_Coefficient(10, 100, 50), 2.0 * 10 / 150));
  EXPECT_EQ(Overlap_Coefficient(2, 0, 7), 0.0f);
  EXPECT_TRUE(SixFigures(Overlap_Coefficient(10, 100, 50), 0.2));
  // Sums past 32 bits are exact: 2·f_xy = 4e9, f_x + f_y = 4.2e9.
  EXPECT_TRUE(SixFigures(Dice_Coefficient(2000000000, 2100000000, 2100000000), 4.0 / 4.2));
}

// The worked example f_x = 100, f_y = 50, f_xy = 10, N = 10000, S = 10.
TEST(MathsRoutines, AssociationMeasuresOnTheWorkedExample) {
  EXPECT_TRUE(SixFigures(SpecificMutualInformation(100, 50, 10, 10000), 4.32192809488736));
  EXPECT_TRUE(SixFigures(MI_Durrant(100, 50, 10, 10000), 4.32192809488736));
  EXPECT_TRUE(SixFigures(MI_Oakes171(100, 50, 10, 10000), 4.32192809488736));
  EXPECT_TRUE(SixFigures(MI3(100, 50, 10, 10000), 10.9657842846621));
  EXPECT_TRUE(SixFigures(T_Score(100, 50, 10, 10000), 3.00416377715996));
  EXPECT_TRUE(SixFigures(Z_Score(100, 50, 10, 10000, 10), 2.20796895439073));
  EXPECT_TRUE(SixFigures(Log_Likelihood_SameCorpus_Dunning(100, 50, 10, 10000), 43.8137119716218));
  EXPECT_TRUE(SixFigures(Log_likelihood_from_Java(100, 50, 10, 10000), 43.8137119716218));
  EXPECT_TRUE(SixFigures(Log_Likelihood_SameCorpus_Everts(100, 50, 10, 10000, 10), 5.46571597105005));
}

// A corpus of two billion words: products and sums beyond 32 bits.
TEST(MathsRoutines, AssociationMeasuresOnAHugeCorpus) {
  EXPECT_TRUE(SixFigures(SpecificMutualInformation(2000000, 6000000, 1000000, 2000000000), 7.38082178394093));
  EXPECT_TRUE(SixFigures(MI3(1000000, 6000000, 1000000, 2000000000), 48.2439589225893));
  EXPECT_TRUE(SixFigures(T_Score(2000000, 6000000, 1000000, 2000000000), 994.0));
  EXPECT_TRUE(SixFigures(Z_Score(2000000, 6000000, 1000000, 2000000000, 30), 1934.27393681728));
  EXPECT_TRUE(SixFigures(Log_Likelihood_SameCorpus_Dunning(2000000, 3000000, 20000, 2000000000),
                         42126.6863465236));
  // f_x·S = 3e9 does not fit in 32 bits.
  EXPECT_TRUE(SixFigures(Log_Likelihood_SameCorpus_Everts(100000000, 3000000, 20000, 2000000000, 30),
                         5428565.16030371));
  // An exactly independent table: 0 up to the cancellation of the entropy
  // forms (a few 1e-6 at this size).
  EXPECT_NEAR(Log_Likelihood_SameCorpus_Dunning(200000000, 300000000, 30000000, 2000000000), 0.0, 1e-4);
  EXPECT_GE(Log_likelihood_from_Java(200000000, 300000000, 30000000, 2000000000), 0.0f);
}

TEST(MathsRoutines, FaultsOfTheMeasuresReachTheCaller) {
  // A zero N.
  EXPECT_THROW(SpecificMutualInformation(100, 50, 10, 0), EMathError);
  EXPECT_THROW(T_Score(100, 50, 10, 0), EMathError);
  EXPECT_THROW(MI_Durrant(100, 50, 10, 0), EMathError);
  // A zero joint frequency: the logarithm of 0.
  EXPECT_THROW(SpecificMutualInformation(100, 50, 0, 10000), EZeroDivide);
  EXPECT_THROW(MI_Durrant(100, 50, 0, 10000), EZeroDivide);
  EXPECT_THROW(MI3(100, 50, 0, 10000), EZeroDivide);
  EXPECT_THROW(MI_Oakes171(100, 50, 0, 10000), EZeroDivide);
  // A zero f_x: (f_x/N)·(f_y/N) = 0.
  EXPECT_THROW(SpecificMutualInformation(0, 50, 10, 10000), EZeroDivide);
  // T-score: a zero f_xy with something expected overflows; with nothing
  // expected it is 0.
  EXPECT_THROW(T_Score(100, 50, 0, 10000), EOverflow);
  EXPECT_EQ(T_Score(0, 50, 0, 10000), 0.0f);
  // Z-score: N = f_x divides by zero; a probability above 1 takes a root of
  // a negative number.
  EXPECT_THROW(Z_Score(100, 50, 10, 100, 10), EZeroDivide);
  EXPECT_THROW(Z_Score(100, 500, 10, 200, 10), EInvalidOp);
  // A zero probability becomes TINY_D: E underflows to a subnormal and the
  // score overflows single precision.
  EXPECT_THROW(Z_Score(100, 0, 10, 10000, 10), EOverflow);
  // Inconsistent counts make a negative cell.
  EXPECT_THROW(Log_Likelihood_SameCorpus_Dunning(100, 50, 200, 10000), EInvalidOp);
  EXPECT_THROW(Log_likelihood_from_Java(100, 50, 10, 20), EInvalidOp);
}

TEST(MathsRoutines, EntropyHelpers) {
  EXPECT_EQ(XLnX(0), 0.0);
  EXPECT_TRUE(SixFigures(XLnX(std::exp(1.0)), std::exp(1.0)));
  EXPECT_EQ(XLnX(1), 0.0);
  EXPECT_THROW(XLnX(-1), EInvalidOp);

  TMatrix2Vector2Doubles m{{{10, 40}, {90, 9860}}};
  EXPECT_TRUE(SixFigures(LogLikelihoodRatio(m), 43.8137119716218));
  TMatrix2Vector2Doubles independent{{{1, 2}, {3, 6}}};
  EXPECT_NEAR(LogLikelihoodRatio(independent), 0.0, 1e-12);
  TMatrix2Vector2Doubles empty{};
  EXPECT_THROW(LogLikelihoodRatio(empty), EInvalidOp);
  // Negative cells contribute nothing and raise nothing.
  TMatrix2Vector2Doubles negative{{{-1, 5}, {5, 5}}};
  EXPECT_TRUE(std::isfinite(LogLikelihoodRatio(negative)));
}

TEST(MathsRoutines, LancasterLogLikelihood) {
  EXPECT_TRUE(SixFigures(Log_Likelihood_Lancaster(0, 20, 1000, 1000), 27.7258872223978));
  EXPECT_TRUE(SixFigures(Log_Likelihood_Lancaster(10, 5, 1000, 100000), 73.3064885965125));
  EXPECT_TRUE(SixFigures(Log_Likelihood_Lancaster(10, 5, 1000, 2147483000), 272.500729253547));
  // Corpus 1 of size 0: E1 underflows and is replaced by TINY_D; the term is
  // 5·(ln 5 − ln TINY_D) instead of a fault.
  EXPECT_TRUE(SixFigures(Log_Likelihood_Lancaster(5, 0, 0, 1000), 7460.49509833815));
  EXPECT_EQ(Log_Likelihood_Lancaster(0, 0, 0, 0), 0.0f);
  EXPECT_EQ(Log_Likelihood_Lancaster(-3, -4, 100, 100), 0.0f);
  EXPECT_EQ(Log_Likelihood_Lancaster(INT32_MIN, INT32_MAX, INT32_MAX, 0),
            Log_Likelihood_Lancaster(0, INT32_MAX, INT32_MAX, 0));
}

TEST(MathsRoutines, PercentDiffAndLogRatio) {
  EXPECT_TRUE(SixFigures(PercentDiff({10, 5}, {1000, 100000}), 19900.0));
  EXPECT_TRUE(SixFigures(PercentDiff({5, 10}, {1000, 1000}), -50.0));
  EXPECT_THROW(PercentDiff({5, 0}, {1000, 1000}), EZeroDivide);
  EXPECT_THROW(PercentDiff({0, 0}, {1000, 1000}), EInvalidOp);
  // A reference size of 0 makes the relative frequency TINY_S: too large a
  // percentage for single precision.
  EXPECT_THROW(PercentDiff({10, 5}, {1000, 0}), EOverflow);

  const Tdouble_smallint_type window{5, 5};
  EXPECT_EQ(RelationshipComputation(MI_Log_Ratio, 10, 100, 50, 10000, window), 1.0f);
  // f_xy plays no part in the log ratio.
  EXPECT_EQ(RelationshipComputation(MI_Log_Ratio, 0, 100, 50, 10000, window), 1.0f);
  // A zero frequency gives TINY_S: log2(0.01 / 2^-149).
  EXPECT_TRUE(SixFigures(RelationshipComputation(MI_Log_Ratio, 0, 100, 0, 10000, window), 142.356143810225));
  EXPECT_EQ(RelationshipComputation(MI_Log_Ratio, 0, 100, 50, 0, window), 0.0f);
  EXPECT_THROW(RelationshipComputation(MI_Log_Ratio, 0, -100, 50, 10000, window), EInvalidOp);
}

// Frees what a key-word record owns when the test ends.
struct EntryHolder {
  TKeyword_entry_rec entry;
  ~EntryHolder() { FreeKeywordEntry(entry); }
};

TEST(MathsRoutines, KeywordRecords) {
  {
    EntryHolder h{KWStatsCalculated({10, 5}, {1000, 100000})};
    EXPECT_EQ(h.entry.f, (TIntegerPair{10, 5}));
    EXPECT_TRUE(SixFigures(h.entry.LL, 73.3064885965125));
    EXPECT_TRUE(SixFigures(h.entry.BIC_Score, 61.7836128006891));
    EXPECT_TRUE(SixFigures(h.entry.LogRatio, 7.64385618977472));
    EXPECT_FALSE(h.entry.negative_score);
    ASSERT_NE(h.entry.lemma_words, nullptr);
    EXPECT_EQ(h.entry.lemma_words->Count(), 0);
    EXPECT_EQ(h.entry.w, nowt);
    EXPECT_EQ(h.entry.prefix_or_tag, nowt);
    EXPECT_EQ(h.entry.suffix, nowt);
    EXPECT_EQ(h.entry.n_texts, 0);
    EXPECT_EQ(h.entry.unused_Percentdiff, 0.0f);
  }
  {
    // Less frequent in the text than expected (E = 25): negated, and the
    // zero frequency gives a large finite log ratio.
    EntryHolder h{KWStatsCalculated({0, 50}, {1000, 1000})};
    EXPECT_TRUE(SixFigures(h.entry.LL, -69.3147180559945));
    EXPECT_TRUE(SixFigures(h.entry.BIC_Score, 61.7138155964524));
    EXPECT_TRUE(SixFigures(h.entry.LogRatio, -144.678071905113));
    EXPECT_TRUE(h.entry.negative_score);
  }
  {
    // A reference corpus of 2.147e9 words: the sizes add up in 64 bits.
    EntryHolder h{KWStatsCalculated({10, 5}, {1000, 2147483000})};
    EXPECT_TRUE(SixFigures(h.entry.LL, 272.500729253547));
    EXPECT_TRUE(SixFigures(h.entry.BIC_Score, 251.013166492276));
    EXPECT_TRUE(SixFigures(h.entry.LogRatio, 22.0342152800068));
    EXPECT_FALSE(h.entry.negative_score);
  }
  {
    // Both sizes 0: the expected value divides 0 by 0. The log ratio was
    // already set, but the fault marks LL and LogRatio with 1.0.
    EntryHolder h{KWStatsCalculated({-3, 7}, {0, 0})};
    EXPECT_EQ(h.entry.f, (TIntegerPair{3, 7}));
    EXPECT_EQ(h.entry.LL, 1.0f);
    EXPECT_EQ(h.entry.LogRatio, 1.0f);
    EXPECT_EQ(h.entry.BIC_Score, 0.0f);
    EXPECT_FALSE(h.entry.negative_score);
    EXPECT_NE(h.entry.lemma_words, nullptr);
  }
  {
    // A negative frequency makes the ratio of relative frequencies negative.
    EntryHolder h{KWStatsCalculated({-10, 5}, {1000, 1000})};
    EXPECT_EQ(h.entry.f, (TIntegerPair{10, 5}));
    EXPECT_EQ(h.entry.LL, 1.0f);
    EXPECT_EQ(h.entry.LogRatio, 1.0f);
    EXPECT_EQ(h.entry.BIC_Score, 0.0f);
  }
  {
    // Sizes whose sum is negative: ln of it faults after LL was set.
    EntryHolder h{KWStatsCalculated({10, 5}, {1000, -5000})};
    EXPECT_EQ(h.entry.LL, 1.0f);
    EXPECT_EQ(h.entry.LogRatio, 1.0f);
    EXPECT_EQ(h.entry.BIC_Score, 0.0f);
  }
  EntryHolder lowest{KWStatsCalculated({INT32_MIN, 1}, {1000, 1000})};
  EXPECT_EQ(lowest.entry.f[0], INT32_MAX);
}

TEST(MathsRoutines, RelationshipComputationChoosesTheMeasure) {
  const Tdouble_smallint_type window{4, 6};
  EXPECT_EQ(RelationshipComputation(MI_Dice, 10, 100, 50, 10000, window), Dice_Coefficient(10, 100, 50));
  EXPECT_EQ(RelationshipComputation(MI_MI, 10, 100, 50, 10000, window),
            SpecificMutualInformation(100, 50, 10, 10000));
  EXPECT_EQ(RelationshipComputation(MI_MI3, 10, 100, 50, 10000, window), MI3(100, 50, 10, 10000));
  EXPECT_TRUE(SixFigures(RelationshipComputation(MI_Z, 10, 100, 50, 10000, window), 2.20796895439073));
  EXPECT_TRUE(
      SixFigures(RelationshipComputation(MI_log_likelihood, 10, 100, 50, 10000, window), 5.46571597105005));
  EXPECT_EQ(RelationshipComputation(MI_T_Score, 10, 100, 50, 10000, window), T_Score(100, 50, 10, 10000));
  EXPECT_EQ(RelationshipComputation(static_cast<TMutualInfoStats>(7), 10, 100, 50, 10000, window), 0.0f);
  EXPECT_EQ(RelationshipComputation(static_cast<TMutualInfoStats>(200), 10, 100, 50, 10000, window), 0.0f);
  // The span is formed in 32 bits: 32767 + 32767 does not wrap.
  const Tdouble_smallint_type wide{32767, 32767};
  const float z = RelationshipComputation(MI_Z, 10, 100, 50, 10000000, wide);
  EXPECT_EQ(z, Z_Score(100, 50, 10, 10000000, 65534));
  EXPECT_THROW(RelationshipComputation(MI_MI, 0, 100, 50, 10000, window), EMathError);
}

// The outcome of a measure: its result's bits, or the fault it raised.
struct Outcome {
  uint32_t bits = 0;
  std::string fault;
  bool operator==(const Outcome&) const = default;
};

template <typename F>
Outcome OutcomeOf(F&& f) {
  Outcome o;
  try {
    const float v = f();
    std::memcpy(&o.bits, &v, sizeof v);
  } catch (const EMathError& e) {
    o.fault = typeid(e).name();
  }
  return o;
}

// RelationshipComputation dispatches to inlined copies of the measures; each
// must give the exported measure's result to the last bit, and the same fault.
TEST(MathsRoutines, RelationshipComputationMatchesTheMeasuresBitForBit) {
  std::mt19937 rng(19);
  const int32_t edges[] = {0, 1, 2, -1, 7, 1000, 65534, 100000000, INT32_MAX, INT32_MIN};
  // An edge value now and then, else a count below the limit.
  const auto pick = [&](int64_t limit) {
    if (rng() % 4 == 0) return edges[rng() % std::size(edges)];
    return static_cast<int32_t>(rng() % static_cast<uint64_t>(limit));
  };
  int faults = 0;
  for (int i = 0; i < 20000; ++i) {
    const int32_t N = pick(INT32_MAX);
    const int32_t f_x = pick(int64_t{1} + std::max(N / 100, 1));
    const int32_t f_y = pick(int64_t{1} + std::max(N / 100, 1));
    const int32_t f_xy = pick(int64_t{1} + std::max(std::min(f_x, f_y), 1));
    const Tdouble_smallint_type window{static_cast<int16_t>(rng() % 11), static_cast<int16_t>(rng() % 11)};
    const int32_t S = int32_t{window.to_left} + window.to_right;
    const auto rc = [&](TMutualInfoStats stat) {
      return OutcomeOf([&] { return RelationshipComputation(stat, f_xy, f_x, f_y, N, window); });
    };
    SCOPED_TRACE(testing::Message() << f_xy << " " << f_x << " " << f_y << " " << N << " " << S);
    EXPECT_EQ(rc(MI_Dice), OutcomeOf([&] { return Dice_Coefficient(f_xy, f_x, f_y); }));
    EXPECT_EQ(rc(MI_MI), OutcomeOf([&] { return SpecificMutualInformation(f_x, f_y, f_xy, N); }));
    EXPECT_EQ(rc(MI_MI3), OutcomeOf([&] { return MI3(f_x, f_y, f_xy, N); }));
    EXPECT_EQ(rc(MI_Z), OutcomeOf([&] { return Z_Score(f_x, f_y, f_xy, N, S); }));
    EXPECT_EQ(rc(MI_log_likelihood),
              OutcomeOf([&] { return Log_Likelihood_SameCorpus_Everts(f_x, f_y, f_xy, N, S); }));
    EXPECT_EQ(rc(MI_T_Score), OutcomeOf([&] { return T_Score(f_x, f_y, f_xy, N); }));
    faults += !rc(MI_MI).fault.empty() + !rc(MI_Z).fault.empty();
  }
  EXPECT_GT(faults, 0);  // the edge values reach the checked path too
}

// KWStatsCalculated keeps the logarithm of the last sizes it saw: a list
// whose sizes change from record to record must still get the BIC of its own
// sizes, to the last bit.
TEST(MathsRoutines, KeywordBicFollowsChangingSizes) {
  const TIntegerPair sizes[] = {{1000, 100000}, {1000000, 100000000}, {0, 0}, {1000, 100000}, {5, 2147483000}};
  const TIntegerPair q{10, 5};
  for (int round = 0; round < 3; ++round) {
    for (const TIntegerPair& s : sizes) {
      const TKeyword_entry_rec e = KWStatsCalculated(q, s);
      TKeyword_entry_rec copy = e;
      FreeKeywordEntry(copy);
      if (s[0] + int64_t{s[1]} == 0) {
        EXPECT_EQ(e.LL, 1.0f);
        continue;
      }
      const float ll = Log_Likelihood_Lancaster(q[0], q[1], s[0], s[1]);
      const float bic = static_cast<float>(static_cast<double>(ll) - std::log(double(s[0]) + double(s[1])));
      EXPECT_EQ(std::fabs(e.LL), ll);
      EXPECT_EQ(e.BIC_Score, bic) << s[0] << " " << s[1];
    }
  }
}

// ---------------------------------------------------------------------------

// The stated algorithms, step by step and quadratic, to compare against.
float LiteralSequenceDice(const std::vector<uint32_t>& x, const std::vector<uint32_t>& y) {
  if (x.empty() || y.empty()) return 0;
  std::vector<bool> my(y.size());
  int32_t matches = 0;
  for (size_t i = 0; i < x.size(); ++i) {
    for (size_t j = 0; j < y.size(); ++j) {
      if (!my[j] && y[j] == x[i]) {
        my[j] = true;
        ++matches;
        break;
      }
    }
  }
  return Dice_Coefficient(matches, static_cast<int32_t>(x.size()), static_cast<int32_t>(y.size()));
}

float LiteralSequenceOverlap(const std::vector<uint32_t>& x, const std::vector<uint32_t>& y) {
  if (x.empty() || y.empty()) return 0;
  std::vector<bool> mx(x.size()), my(y.size());
  int32_t longest = 0;
  for (size_t i = 0; i < x.size(); ++i) {
    if (mx[i]) continue;
    for (size_t j = 0; j < y.size(); ++j) {
      if (my[j] || y[j] != x[i]) continue;
      int32_t run = 1;
      for (size_t k = 1; i + k < x.size() && j + k < y.size() && x[i + k] == y[j + k]; ++k) {
        ++run;
        mx[i + k] = my[j + k] = true;
      }
      mx[i] = my[j] = true;
      longest = std::max(longest, run);
      break;
    }
  }
  return Overlap_Coefficient(longest, static_cast<int32_t>(x.size()), static_cast<int32_t>(y.size()));
}

TEST(MathsRoutines, SequenceSimilarity) {
  using V = std::vector<uint32_t>;
  EXPECT_TRUE(SixFigures(Dice_Coefficient(V{1, 2, 2}, V{2, 3}), 0.4));
  EXPECT_TRUE(SixFigures(Overlap_Coefficient(V{5, 6, 7, 8}, V{9, 6, 7, 1}), 0.5));
  // Greedy: the run 2,3,4 is aligned first; 2,3,4,5 is never tried.
  EXPECT_TRUE(SixFigures(Overlap_Coefficient(V{1, 2, 3, 4, 2, 3, 4, 5}, V{9, 2, 3, 4, 5, 0}), 0.5));
  EXPECT_EQ(Dice_Coefficient(V{}, V{1}), 0.0f);
  EXPECT_EQ(Overlap_Coefficient(V{1}, V{}), 0.0f);
  EXPECT_EQ(Overlap_Coefficient(V{1, 2}, V{3, 4}), 0.0f);
  EXPECT_EQ(Dice_Coefficient(V{0xFFFFFFFFu, 7}, V{7, 0xFFFFFFFFu}), 1.0f);

  std::mt19937 random(19);
  for (int round = 0; round < 400; ++round) {
    const uint32_t alphabet = 1 + random() % 6;
    V x(random() % 30), y(random() % 30);
    for (auto& v : x) v = random() % alphabet;
    for (auto& v : y) v = random() % alphabet;
    ASSERT_EQ(Dice_Coefficient(x, y), LiteralSequenceDice(x, y)) << round;
    ASSERT_EQ(Overlap_Coefficient(x, y), LiteralSequenceOverlap(x, y)) << round;
  }
}

TEST(MathsRoutines, RelativeEntropyAndDispersion) {
  using I = std::vector<int32_t>;
  EXPECT_EQ(RelativeEntropy(I{5, 5}), 1.0f);
  EXPECT_EQ(RelativeEntropy(I{10, 0}), 0.0f);
  EXPECT_EQ(RelativeEntropy(I{7}), 0.0f);
  EXPECT_EQ(RelativeEntropy(I{}), 0.0f);
  EXPECT_EQ(RelativeEntropy(I{0, 0, 0}), 0.0f);
  EXPECT_TRUE(SixFigures(RelativeEntropy(I{1, 2, 3, 4}), 0.923219672335508));
  EXPECT_TRUE(SixFigures(RelativeEntropy(I{1, 1, 2}), 0.946394638418385));
  // The total is formed in 64 bits.
  EXPECT_EQ(RelativeEntropy(I{INT32_MAX, INT32_MAX}), 1.0f);
  EXPECT_THROW(RelativeEntropy(I{5, -2}), EInvalidOp);

  using D = std::vector<double>;
  EXPECT_EQ(DispersionValue(I{1, 1, 1}), 1.0f);
  EXPECT_EQ(DispersionValue(I{0, 0, 0}), 0.0f);
  EXPECT_EQ(DispersionValue(I{3, 9}), 0.0f);
  EXPECT_EQ(DispersionValue(D{}), 0.0);
  EXPECT_TRUE(SixFigures(DispersionValue(I{1, 2, 3, 4, 5}), 0.764297739604484));
  EXPECT_TRUE(SixFigures(DispersionValue(D{3, 7, 8, 20}), 0.614434017967791));
  // Equal values never give a negative variance (one-pass sums do).
  EXPECT_NEAR(DispersionValue(D{0.1, 0.1, 0.1}), 1.0, 1e-15);
  EXPECT_NEAR(DispersionValue(D{1e9 + 0.1, 1e9 + 0.1, 1e9 + 0.1}), 1.0, 1e-15);
  EXPECT_THROW(DispersionValue(D{1e308, 1e308, 1e308}), EOverflow);
  EXPECT_THROW(DispersionValue(D{1, NAN, 2}), EInvalidOp);
  EXPECT_EQ(DispersionValue(D{1, -1, 0}), 0.0);
}

TEST(MathsRoutines, LogGammaAndItsYields) {
  EXPECT_TRUE(SixFigures(Log_Gamma(5), std::log(24.0)));
  EXPECT_TRUE(SixFigures(Log_Gamma(1.5), std::log(0.5) + 0.57236494));
  EXPECT_TRUE(SixFigures(Log_Gamma(12.5), 18.7343475119364));
  EXPECT_EQ(Log_Gamma(1), 0.0);
  EXPECT_EQ(Log_Gamma(0.3), 0.57236494);
  EXPECT_EQ(Log_Gamma(-7), 0.57236494);
  EXPECT_EQ(Log_Gamma(INFINITY), 0.0);
  EXPECT_EQ(Log_Gamma(-INFINITY), 0.0);
  EXPECT_EQ(Log_Gamma(NAN), 0.0);
  {
    YieldCounter yields;
    Log_Gamma(10);
    EXPECT_EQ(yields.count, 9);  // one per factor 9, 8, ..., 1
  }
  // Above 10^6 the closed form agrees with the product below it and with
  // ln Γ itself.
  {
    YieldCounter yields;
    EXPECT_TRUE(SixFigures(Log_Gamma(1000000.5), 12815511.4769028));
    EXPECT_EQ(yields.count, 0);
  }
  EXPECT_TRUE(SixFigures(Log_Gamma(1000000.5) - Log_Gamma(999999.5), std::log(999999.5)));
  EXPECT_TRUE(SixFigures(Log_Gamma(1e300), 6.89775527898214e302));
  EXPECT_TRUE(SixFigures(Log_Gamma(std::ldexp(1.0, 60)), std::lgamma(std::ldexp(1.0, 60))));
}

TEST(MathsRoutines, NorbertoIsTheChiSquareTail) {
  EXPECT_TRUE(SixFigures(Norberto(3.84f), 0.0500435212487051));
  EXPECT_TRUE(SixFigures(Norberto(6.63f), 0.0100275264463180));
  EXPECT_TRUE(SixFigures(Norberto(10.83f), 0.000998686379180259));
  EXPECT_EQ(Norberto(-3.84f), Norberto(3.84f));
  EXPECT_TRUE(SixFigures(Norberto(0.5f), 0.479500122186953));
  EXPECT_TRUE(SixFigures(Norberto(36.0f), 1.97317529007540e-9));
  EXPECT_TRUE(SixFigures(Norberto(100.0f), 1.52397060483211e-23));
  EXPECT_EQ(Norberto(0.0f), 1.0);
  EXPECT_EQ(Norberto(INFINITY), 0.0);
  EXPECT_EQ(Norberto(-INFINITY), 0.0);
  EXPECT_THROW(Norberto(NAN), EInvalidOp);
  YieldCounter yields;
  Norberto(12.0f);
  EXPECT_EQ(yields.count, 0);
}

TEST(MathsRoutines, MergedTextStatsPoolsTheParts) {
  // [1, 2, 3] and [4, 6] together are [1, 2, 3, 4, 6]: mean 3.2, s = sqrt(3.7).
  const text_stats_rec a{3, 2.0f, 1.0f};
  const text_stats_rec b{2, 5.0f, static_cast<float>(std::sqrt(2.0))};
  const text_stats_rec ab = MergedTextStats(a, b);
  EXPECT_EQ(ab.n, 5);
  EXPECT_TRUE(SixFigures(ab.mean, 3.2));
  EXPECT_TRUE(SixFigures(ab.std_dev, 1.92353840616713));
  const text_stats_rec ba = MergedTextStats(b, a);
  EXPECT_EQ(ba.mean, ab.mean);

  // Only the parts with a positive count take part; counts that cancel
  // divide nothing by zero.
  const text_stats_rec cancelled = MergedTextStats(a, text_stats_rec{-3, 100.0f, 9.0f});
  EXPECT_EQ(cancelled.n, 0);
  EXPECT_EQ(cancelled.mean, 2.0f);
  EXPECT_EQ(cancelled.std_dev, 1.0f);
  const text_stats_rec none = MergedTextStats(text_stats_rec{0, 4.0f, 1.0f}, text_stats_rec{});
  EXPECT_EQ(none.n, 0);
  EXPECT_EQ(none.mean, 0.0f);
  EXPECT_EQ(none.std_dev, 0.0f);
  // Two single values: s of {1, 3}.
  const text_stats_rec pair = MergedTextStats(text_stats_rec{1, 1.0f, 0.0f}, text_stats_rec{1, 3.0f, 0.0f});
  EXPECT_TRUE(SixFigures(pair.std_dev, std::sqrt(2.0)));
  const text_stats_rec big = MergedTextStats(text_stats_rec{INT32_MAX, 1.0f, 0.0f}, text_stats_rec{5, 1.0f, 0.0f});
  EXPECT_EQ(big.n, INT32_MAX);
  EXPECT_EQ(big.mean, 1.0f);
}

// ---------------------------------------------------------------------------

TEST(MathsRoutines, SortsCompareValues) {
  std::vector<int32_t> ints{2000000000, -2000000000, 5, INT32_MIN, INT32_MAX, 0};
  SortAnArrayOfIntegers(ints, false);
  EXPECT_EQ(ints, (std::vector<int32_t>{INT32_MIN, -2000000000, 0, 5, 2000000000, INT32_MAX}));
  SortAnArrayOfIntegers(ints, true);
  EXPECT_EQ(ints, (std::vector<int32_t>{INT32_MAX, 2000000000, 5, 0, -2000000000, INT32_MIN}));

  std::vector<float> singles{0.2f, 0.1f, 0.8f, 0.4f, 2.0f, 1.0f};
  SortAnArrayOfSingles(singles, false);
  EXPECT_EQ(singles, (std::vector<float>{0.1f, 0.2f, 0.4f, 0.8f, 1.0f, 2.0f}));
  SortAnArrayOfSingles(singles, true);
  EXPECT_EQ(singles, (std::vector<float>{2.0f, 1.0f, 0.8f, 0.4f, 0.2f, 0.1f}));

  std::vector<long double> extendeds{1e-300L, -3.5L, 1e300L, 0.0L};
  SortAnArrayOfExtendeds(extendeds, false);
  EXPECT_EQ(extendeds, (std::vector<long double>{-3.5L, 0.0L, 1e-300L, 1e300L}));

  std::vector<float> one{7.0f};
  SortAnArrayOfSingles(one, true);
  SortAnArrayOfSingles(std::span<float>(), false);
  EXPECT_EQ(one[0], 7.0f);

  std::mt19937 random(7);
  for (int round = 0; round < 50; ++round) {
    std::vector<float> values(random() % 2000);
    for (auto& v : values) v = static_cast<float>(random() % 100) / 7.0f;
    std::vector<float> expected = values;
    std::sort(expected.begin(), expected.end());
    SortAnArrayOfSingles(values, false);
    ASSERT_EQ(values, expected);
  }
  // Not-a-number values leave some order, inside the array.
  std::vector<float> odd{NAN, 1.0f, NAN, -1.0f, 0.0f};
  SortAnArrayOfSingles(odd, false);
  EXPECT_EQ(odd.size(), 5u);
}

// The key-word sort gives the order of a stable sort by LL, whatever the
// size (below and above the point where it starts counting) and the spread
// of the values.
TEST(MathsRoutines, KeywordSortIsAStableSortByLL) {
  std::mt19937 random(19);
  const auto check = [](std::vector<TKeyword_entry_rec>& records, bool descending) {
    std::vector<TKeyword_entry_rec*> sorted;
    for (auto& r : records) sorted.push_back(&r);
    std::vector<TKeyword_entry_rec*> expected = sorted;
    std::stable_sort(expected.begin(), expected.end(), [descending](const auto* a, const auto* b) {
      return descending ? a->LL > b->LL : a->LL < b->LL;
    });
    SortAnArrayOfKeywords(sorted, descending);
    return sorted == expected;
  };
  const std::vector<std::function<float()>> spreads = {
      // Any value of either sign, over the whole range of exponents.
      [&] { return std::bit_cast<float>(static_cast<uint32_t>(random()) & 0xFF7FFFFFu); },
      // Key-word scores: mostly small, of either sign.
      [&] { return std::uniform_real_distribution<float>(-500.0f, 5000.0f)(random); },
      // A handful of values (ties everywhere), zeros of both signs among them.
      [&] {
        constexpr float kFew[] = {-2.5f, -0.0f, 0.0f, 1.0f, 1e30f, -1e-40f, 73.306f};
        return kFew[random() % 7];
      },
      // Values that share their high bits and differ only low down.
      [&] { return 1000.0f + static_cast<float>(random() % 64) / 1024.0f; },
  };
  for (size_t size : {0, 1, 2, 3, 17, 255, 256, 257, 5000, 43473}) {
    for (const auto& spread : spreads) {
      std::vector<TKeyword_entry_rec> records(size);
      for (auto& r : records) r.LL = spread();
      for (bool descending : {false, true}) ASSERT_TRUE(check(records, descending)) << size << " " << descending;
    }
  }
  // Infinities are the ends of the order, and all-equal input stays as it came.
  std::vector<TKeyword_entry_rec> records(600);
  for (size_t i = 0; i < records.size(); ++i) {
    records[i].LL = (i % 3 == 0) ? INFINITY : (i % 3 == 1) ? -INFINITY : -1.0f;
  }
  EXPECT_TRUE(check(records, false));
  EXPECT_TRUE(check(records, true));
  for (auto& r : records) r.LL = 4.0f;
  EXPECT_TRUE(check(records, true));
}

TEST(MathsRoutines, KeywordSortPutsMissingValuesLast) {
  for (size_t size : {6, 1000}) {
    std::vector<TKeyword_entry_rec> records(size);
    std::vector<TKeyword_entry_rec*> pointers;
    for (size_t i = 0; i < size; ++i) {
      records[i].LL = static_cast<float>(i % 5) - 2.0f;
      if (i % 3 == 1) records[i].LL = (i % 2) ? NAN : -NAN;
      pointers.push_back(i % 4 == 2 ? nullptr : &records[i]);
    }
    for (bool descending : {false, true}) {
      std::vector<TKeyword_entry_rec*> sorted = pointers;
      SortAnArrayOfKeywords(sorted, descending);
      // Numbers in order, then not-a-number records and then null pointers,
      // each group in the order it came in.
      std::vector<TKeyword_entry_rec*> numbers, notNumbers;
      size_t nulls = 0;
      for (TKeyword_entry_rec* p : pointers) {
        if (p == nullptr) {
          ++nulls;
        } else {
          (std::isnan(p->LL) ? notNumbers : numbers).push_back(p);
        }
      }
      std::stable_sort(numbers.begin(), numbers.end(), [descending](const auto* a, const auto* b) {
        return descending ? a->LL > b->LL : a->LL < b->LL;
      });
      std::vector<TKeyword_entry_rec*> expected = numbers;
      expected.insert(expected.end(), notNumbers.begin(), notNumbers.end());
      expected.insert(expected.end(), nulls, nullptr);
      EXPECT_EQ(sorted, expected) << size << " " << descending;
    }
  }
}

TEST(MathsRoutines, SwapAndBitMasks) {
  TIntegerPair pair{3, -9};
  SwapAround(pair);
  EXPECT_EQ(pair, (TIntegerPair{-9, 3}));

  for (int32_t i = 0; i < 32; ++i) {
    uint32_t v = 0;
    SetBit32(i, v);
    EXPECT_EQ(v, bit_array32[static_cast<size_t>(i)]);
    EXPECT_TRUE(IsBitSet32(i, v));
    EXPECT_FALSE(IsBitSet32(i, ~v));
  }
  for (int32_t i = 0; i < 16; ++i) {
    uint16_t v = 0;
    SetBit16(i, v);
    EXPECT_EQ(v, 1u << i);
    EXPECT_TRUE(IsBitSet16(i, v));
  }
  uint32_t v32 = 0x12345678u;
  uint16_t v16 = 0x1234u;
  for (int32_t i : {-1, 32, 1000, INT32_MIN}) {
    SetBit32(i, v32);
    EXPECT_FALSE(IsBitSet32(i, 0xFFFFFFFFu));
  }
  for (int32_t i : {-1, 16, 31}) {
    SetBit16(i, v16);
    EXPECT_FALSE(IsBitSet16(i, 0xFFFFu));
  }
  EXPECT_EQ(v32, 0x12345678u);
  EXPECT_EQ(v16, 0x1234u);
}

// The stated stepping, in 64 bits.
TIntegerPair LiteralPairAt(int64_t pos, int64_t n) {
  int64_t x = 1, y = 0;
  for (int64_t step = 0; step < pos; ++step) {
    ++x;
    if (x > n - 1) {
      ++y;
      x = y + 1;
    }
  }
  return {static_cast<int32_t>(x), static_cast<int32_t>(y)};
}

TEST(MathsRoutines, FlatPairArrays) {
  EXPECT_EQ(SingleArrayPosForXYValue(2, 2, 5), -1);
  EXPECT_EQ(SingleArrayPosForXYValue(0, 1, 3), 0);
  EXPECT_EQ(SingleArrayPosForXYValue(1, 0, 3), 0);
  EXPECT_EQ(SingleArrayPosForXYValue(0, 2, 3), 1);
  EXPECT_EQ(SingleArrayPosForXYValue(1, 2, 3), 2);
  EXPECT_EQ(SingleArrayPosForXYValue1Based(2, 3, 3), 3);
  EXPECT_EQ(SingleArrayPosForXYValue1Based(1, 2, 3), 1);
  EXPECT_EQ(XYFromSingleArrayPosPos(2, 3), (TIntegerPair{2, 1}));
  EXPECT_EQ(SingleArrayLengthForXInterRelationships(4), 10);
  EXPECT_EQ(SingleArrayLengthForXInterRelationships(65535), 2147450880);
  EXPECT_EQ(SingleArrayLengthForXInterRelationships(65536), -1);

  // Items outside the range have no slot (instead of another pair's).
  EXPECT_EQ(SingleArrayPosForXYValue(0, 3, 3), -1);
  EXPECT_EQ(SingleArrayPosForXYValue(-1, 1, 3), -1);
  EXPECT_EQ(SingleArrayPosForXYValue(0, 1, 0), -1);
  EXPECT_EQ(SingleArrayPosForXYValue1Based(1, 4, 3), -1);
  EXPECT_EQ(SingleArrayPosForXYValue1Based(0, 2, 3), -1);

  // Every pair of n items has its own slot, and the slot leads back to it.
  for (int32_t n = 2; n <= 40; ++n) {
    std::set<int32_t> slots;
    for (int32_t y = 0; y < n; ++y) {
      for (int32_t x = y + 1; x < n; ++x) {
        const int32_t pos = SingleArrayPosForXYValue(x, y, n);
        ASSERT_GE(pos, 0);
        ASSERT_LT(pos, n * (n - 1) / 2);
        ASSERT_TRUE(slots.insert(pos).second);
        ASSERT_EQ(XYFromSingleArrayPosPos(pos, n), (TIntegerPair{x, y}));
        ASSERT_EQ(SingleArrayPosForXYValue1Based(x + 1, y + 1, n), pos + 1);
      }
    }
  }
  // Where single precision put two pairs in one slot.
  EXPECT_EQ(SingleArrayPosForXYValue(5795, 5999, 6000) + 1, SingleArrayPosForXYValue(5796, 5797, 6000));
  // Beyond n·n = 2^31 the slot is still exact, or −1 when it does not fit.
  EXPECT_EQ(SingleArrayPosForXYValue(0, 1, 50000), 0);
  EXPECT_EQ(SingleArrayPosForXYValue(1, 2, 50000), 49999);
  EXPECT_EQ(XYFromSingleArrayPosPos(49999, 50000), (TIntegerPair{2, 1}));
  EXPECT_EQ(SingleArrayPosForXYValue(65534, 65535, 65536), 2147450879);
  EXPECT_EQ(XYFromSingleArrayPosPos(2147450879, 65536), (TIntegerPair{65535, 65534}));
  EXPECT_EQ(SingleArrayPosForXYValue(70000, 70001, 70002), -1);

  // The closed form walks exactly as the stepping does, before the first
  // slot, through every slot and past the last.
  for (int64_t n = -2; n <= 45; ++n) {
    const int64_t last = std::max<int64_t>(n * n + 5, 8);
    for (int64_t pos = -3; pos <= last; ++pos) {
      ASSERT_EQ(XYFromSingleArrayPosPos(static_cast<int32_t>(pos), static_cast<int32_t>(n)),
                LiteralPairAt(pos, n))
          << "n " << n << " pos " << pos;
    }
  }
  EXPECT_EQ(XYFromSingleArrayPosPos(INT32_MAX, 1), (TIntegerPair{-1, -1}));
  EXPECT_EQ(XYFromSingleArrayPosPos(INT32_MAX - 1, 1), (TIntegerPair{INT32_MAX, INT32_MAX - 1}));
}

TEST(MathsRoutines, ShuffledNumbersArePermutations) {
  for (int32_t limit : {0, -4}) {
    TShuffledNumbers* none = TShuffledNumbers::Create(limit);
    EXPECT_TRUE(none->temp_int.empty());
    EXPECT_EQ(none->GetANumber(0), 0);
    TShuffledNumbers::Free(none);
  }
  TShuffledNumbers one(1);
  EXPECT_EQ(one.temp_int, std::vector<int32_t>{0});

  TShuffledNumbers big(1000);
  std::vector<int32_t> sorted = big.temp_int;
  std::sort(sorted.begin(), sorted.end());
  for (int32_t i = 0; i < 1000; ++i) ASSERT_EQ(sorted[static_cast<size_t>(i)], i);
  EXPECT_EQ(big.GetANumber(17), big.temp_int[17]);
  EXPECT_EQ(big.GetANumber(1000), 0);
  EXPECT_EQ(big.GetANumber(-1), 0);
  // Two objects made at once draw different permutations.
  TShuffledNumbers again(1000);
  EXPECT_NE(again.temp_int, big.temp_int);

  {
    YieldCounter yields;
    big.ComputeShuffledNonRepeatedNumbers();
    EXPECT_EQ(yields.count, 999);
  }

  // All six orders of three, each about a sixth of the time (the bounds are
  // more than 6 standard deviations wide).
  std::map<std::vector<int32_t>, int> orders;
  TShuffledNumbers three(3);
  for (int draw = 0; draw < 6000; ++draw) {
    three.ComputeShuffledNonRepeatedNumbers();
    ++orders[three.temp_int];
  }
  EXPECT_EQ(orders.size(), 6u);
  for (const auto& [order, count] : orders) {
    EXPECT_GT(count, 800);
    EXPECT_LT(count, 1200);
  }
  // Both orders of two occur.
  std::set<std::vector<int32_t>> twos;
  TShuffledNumbers two(2);
  for (int draw = 0; draw < 200; ++draw) {
    two.ComputeShuffledNonRepeatedNumbers();
    twos.insert(two.temp_int);
  }
  EXPECT_EQ(twos.size(), 2u);
}

// The tools bind the measures in the second runtime package by name.
TEST(MathsRoutines, RuntimePackageExportsTheMeasures) {
  void* pack = dlopen(QN_PACK2_SO, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(pack, nullptr) << dlerror();
  using DiceFn = float (*)(int32_t, int32_t, int32_t);
  using LancasterFn = float (*)(int32_t, int32_t, int32_t, int32_t);
  using NorbertoFn = double (*)(float);
  using PosFn = int32_t (*)(int32_t, int32_t, int32_t);
  auto dice = reinterpret_cast<DiceFn>(dlsym(pack, "_ZN2qn16Dice_CoefficientEiii"));
  auto lancaster = reinterpret_cast<LancasterFn>(dlsym(pack, "_ZN2qn24Log_Likelihood_LancasterEiiii"));
  auto norberto = reinterpret_cast<NorbertoFn>(dlsym(pack, "_ZN2qn8NorbertoEf"));
  auto pos = reinterpret_cast<PosFn>(dlsym(pack, "_ZN2qn24SingleArrayPosForXYValueEiii"));
  ASSERT_NE(dice, nullptr);
  ASSERT_NE(lancaster, nullptr);
  ASSERT_NE(norberto, nullptr);
  ASSERT_NE(pos, nullptr);
  EXPECT_TRUE(SixFigures(dice(10, 100, 50), 2.0 * 10 / 150));
  EXPECT_TRUE(SixFigures(lancaster(0, 20, 1000, 1000), 27.7258872223978));
  EXPECT_TRUE(SixFigures(norberto(3.84f), 0.0500435212487051));
  EXPECT_EQ(pos(1, 2, 3), 2);
  for (const char* name : {"_ZN2qn23RelationshipComputationENS_16TMutualInfoStatsEiiiiNS_21Tdouble_smallint_typeE",
                           "_ZN2qn9Log_GammaEd", "_ZN2qn15MergedTextStatsERKNS_14text_stats_recES2_",
                           "_ZN2qn20SortAnArrayOfSinglesESt4spanIfLm18446744073709551615EEb",
                           "_ZN2qn21SortAnArrayOfKeywordsESt4spanIPNS_18TKeyword_entry_recELm18446744073709551615EEb",
                           "_ZN2qn16TShuffledNumbersC1Ei", "_ZNK2qn16TShuffledNumbers10GetANumberEi"}) {
    EXPECT_NE(dlsym(pack, name), nullptr) << name;
  }
  dlclose(pack);
}

}  // namespace
}  // namespace qn
