#include "runtime2/statistics/maths_routines.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <memory>
#include <unordered_map>
#include <utility>

#include "platform/Exceptions.h"
#include "platform/QuickSort.h"
#include "platform/YieldHook.h"

namespace qn {
namespace {

// ---------------------------------------------------------------------------
// Checked arithmetic. Each operation tests its own domain and its result and
// raises the fault the arithmetic would have signalled; nothing here touches
// the floating-point environment.
// ---------------------------------------------------------------------------

[[noreturn]] void RaiseForNonFinite(double value) {
  if (std::isnan(value)) throw EInvalidOp();
  throw EOverflow();
}

inline double Finite(double value) {
  if (!std::isfinite(value)) RaiseForNonFinite(value);
  return value;
}

inline double Quotient(double a, double b) {
  if (b == 0) {
    if (a == 0 || std::isnan(a)) throw EInvalidOp();
    throw EZeroDivide();
  }
  return Finite(a / b);
}

inline double Ln(double x) {
  if (!(x > 0)) {
    if (x == 0) throw EZeroDivide();
    throw EInvalidOp();
  }
  return Finite(std::log(x));
}

inline double Log2(double x) {
  if (!(x > 0)) {
    if (x == 0) throw EZeroDivide();
    throw EInvalidOp();
  }
  return Finite(std::log2(x));
}

inline double Sqrt(double x) {
  if (!(x >= 0)) throw EInvalidOp();
  return Finite(std::sqrt(x));
}

// A value rounded to single precision; one that does not fit is an overflow.
inline float Single(double x) {
  const float f = static_cast<float>(x);
  if (!std::isfinite(f)) RaiseForNonFinite(x);
  return f;
}

inline double Positive(double v) { return v > 0 ? v : TINY_D; }

// The operations of the measures in two forms with one interface: checked
// (each raises its fault) and plain (IEEE arithmetic, which turns every fault
// into an infinity or a not-a-number value instead).
struct TChecked {
  static double Div(double a, double b) { return Quotient(a, b); }
  static double Ln(double x) { return qn::Ln(x); }
  static double Log2(double x) { return qn::Log2(x); }
  static double Sqrt(double x) { return qn::Sqrt(x); }
  static double Finite(double x) { return qn::Finite(x); }
  static float Single(double x) { return qn::Single(x); }
  static double XLnX(double x) { return x == 0 ? 0 : Finite(x * Ln(x)); }
};

struct TPlain {
  static double Div(double a, double b) { return a / b; }
  static double Ln(double x) { return std::log(x); }
  static double Log2(double x) { return std::log2(x); }
  static double Sqrt(double x) { return std::sqrt(x); }
  static double Finite(double x) { return x; }
  static float Single(double x) { return static_cast<float>(x); }
  static double XLnX(double x) { return x == 0 ? 0 : x * std::log(x); }
};

// Runs a measure with plain arithmetic first and, only when its result is not
// finite, again with checks, which raise the fault where it arose. This is
// sound for a measure whose every fault leaves an infinity or a not-a-number
// value that reaches its result: one that never divides a finite value by an
// infinity, never compares a not-a-number value away, and rounds nothing
// infinite back to a finite value. The measures that use it keep to that.
// The checked run stays out of line: it is rare, and inlined it would double
// the code of every measure on the hot path.
template <typename Measure>
[[gnu::noinline, gnu::cold]] float CheckedRun(const Measure& measure) {
  return measure(TChecked{});
}

template <typename Measure>
inline float PlainUnlessFaulty(const Measure& measure) {
  const float quick = measure(TPlain{});
  if (std::isfinite(quick)) [[likely]]
    return quick;
  return CheckedRun(measure);
}

// The cells of the 2x2 table of a pair, each non-positive one replaced by
// TINY_D; D comes from the cells as stored.
struct TCells {
  double A, B, C, D;
};

inline TCells CellsOf(int32_t f_x, int32_t f_y, int32_t f_xy, int32_t N) {
  TCells c;
  c.A = Positive(f_xy);
  c.B = Positive(static_cast<double>(f_x) - f_xy);
  c.C = Positive(static_cast<double>(f_y) - f_xy);
  c.D = Positive(static_cast<double>(N) - c.A - c.B - c.C);
  return c;
}

// The row, column and table entropies of Dunning's table, from exact 64-bit
// cells: H2(a, b) = xlnx(a+b) − xlnx(a) − xlnx(b), the table's likewise over
// its four cells.
struct TEntropies {
  double R, C, T;
};

template <typename Op>
inline TEntropies DunningEntropies(int32_t f_x, int32_t f_y, int32_t f_xy, int32_t N) {
  const int64_t k11 = f_xy;
  const int64_t k12 = int64_t{f_x} - f_xy;
  const int64_t k21 = int64_t{f_y} - f_xy;
  const int64_t k22 = int64_t{N} - f_x - f_y + f_xy;
  const auto d = [](int64_t v) { return static_cast<double>(v); };
  const auto h2 = [](double a, double b) { return Op::XLnX(a + b) - Op::XLnX(a) - Op::XLnX(b); };
  const double t = Op::XLnX(d(k11) + d(k12) + d(k21) + d(k22)) - Op::XLnX(d(k11)) - Op::XLnX(d(k12)) -
                   Op::XLnX(d(k21)) - Op::XLnX(d(k22));
  return {h2(d(k11 + k12), d(k21 + k22)), h2(d(k11 + k21), d(k12 + k22)), t};
}

// Σ (v/s)·ln(v/s) over the values whose share is positive; s = 0 is a fault.
template <size_t K>
double ShareEntropy(const std::array<double, K>& v) {
  double s = 0;
  for (double x : v) s += x;
  double sum = 0;
  for (double x : v) {
    const double share = Quotient(x, s);
    if (share > 0) sum += share * std::log(share);
  }
  return sum;
}

// The log ratio of two relative frequencies q_i/s_i. A non-positive size, or
// a relative frequency that is 0 in single precision, gives TINY_S, so a zero
// frequency yields a large finite value; a negative ratio is a fault.
inline float LogRatioOf(int32_t q0, int32_t q1, int32_t s0, int32_t s1) {
  const auto relative = [](int32_t q, int32_t s) {
    if (s <= 0) return TINY_S;
    const float r = static_cast<float>(static_cast<double>(q) / s);
    return r == 0 ? TINY_S : r;
  };
  const float r0 = relative(q0, s0);
  const float r1 = relative(q1, s1);
  return PlainUnlessFaulty([=](auto op) {
    using Op = decltype(op);
    return Op::Single(Op::Log2(static_cast<double>(r0) / static_cast<double>(r1)));
  });
}

// Neither can fault: the denominator is a non-zero integer.
inline float DiceOfCounts(int64_t f_xy, int64_t f_x, int64_t f_y) {
  const int64_t sum = f_x + f_y;
  if (sum == 0) return 0;
  return static_cast<float>(static_cast<double>(2 * f_xy) / static_cast<double>(sum));
}

inline float OverlapOfCounts(int64_t f_xy, int64_t f_x, int64_t f_y) {
  const int64_t m = std::min(f_x, f_y);
  if (m == 0) return 0;
  return static_cast<float>(static_cast<double>(f_xy) / static_cast<double>(m));
}

// A 64-bit value as a 32-bit result, −1 when it does not fit.
inline int32_t FitOrMinusOne(int64_t v) {
  return v >= INT32_MIN && v <= INT32_MAX ? static_cast<int32_t>(v) : -1;
}

// n(n+1)/2, exact for every 32-bit n.
inline int64_t TriangleOf(int64_t n) { return n * (n + 1) / 2; }

// The positions of each identifier in y, in ascending order, as consecutive
// runs of one array: the identifiers' queues of still unmatched positions.
class TPositionQueues {
 public:
  explicit TPositionQueues(std::span<const uint32_t> y) {
    fGroupOf.reserve(y.size());
    std::vector<size_t> groupOfPosition(y.size());
    std::vector<size_t> counts;
    for (size_t j = 0; j < y.size(); ++j) {
      auto [it, added] = fGroupOf.try_emplace(y[j], counts.size());
      if (added) counts.push_back(0);
      groupOfPosition[j] = it->second;
      ++counts[it->second];
    }
    fHead.resize(counts.size());
    fEnd.resize(counts.size());
    size_t start = 0;
    for (size_t g = 0; g < counts.size(); ++g) {
      fHead[g] = start;
      start += counts[g];
      fEnd[g] = start;
    }
    std::vector<size_t> fill(fHead);
    fPositions.resize(y.size());
    for (size_t j = 0; j < y.size(); ++j) fPositions[fill[groupOfPosition[j]]++] = j;
  }

  // The group of an identifier, or −1 when y does not hold it.
  ptrdiff_t GroupOf(uint32_t id) const {
    const auto it = fGroupOf.find(id);
    return it == fGroupOf.end() ? -1 : static_cast<ptrdiff_t>(it->second);
  }

  // The first position of the group not yet matched (passing over those
  // marked since they were queued, for good), or −1.
  ptrdiff_t FirstUnmatched(ptrdiff_t group, const std::vector<bool>& matched) {
    size_t& head = fHead[static_cast<size_t>(group)];
    const size_t end = fEnd[static_cast<size_t>(group)];
    while (head < end && matched[fPositions[head]]) ++head;
    return head < end ? static_cast<ptrdiff_t>(fPositions[head]) : -1;
  }

 private:
  std::unordered_map<uint32_t, size_t> fGroupOf;
  std::vector<size_t> fHead;
  std::vector<size_t> fEnd;
  std::vector<size_t> fPositions;
};

template <typename T>
void SortValues(std::span<T> values, bool descending) {
  if (values.size() < 2) return;
  const ptrdiff_t last = static_cast<ptrdiff_t>(values.size()) - 1;
  if (descending) {
    platform::ArrayQuickSort(values.data(), 0, last, [](T a, T b) { return (b < a) ? -1 : (a < b) ? 1 : 0; });
  } else {
    platform::ArrayQuickSort(values.data(), 0, last, [](T a, T b) { return (a < b) ? -1 : (b < a) ? 1 : 0; });
  }
}

// Key-word records are sorted by a 32-bit key per record that orders as an
// unsigned integer in the direction asked for; the key sits in the high half
// of a 64-bit word whose low half is the record's position, so that sorting
// the words orders the records by key and equal keys by position.
constexpr uint32_t kNotANumberKey = 0xFFFFFFFEu;
constexpr uint32_t kNoRecordKey = 0xFFFFFFFFu;

// The key of a single: its bits with the sign bit flipped for a positive
// value and every bit flipped for a negative one order as unsigned integers
// as the values do; descending takes the complement. Either way no number's
// key exceeds 0xFF800000 (an infinity), so the two keys above it put
// not-a-number values, then missing records, last.
inline uint32_t SortKeyOfSingle(float value, bool descending) {
  if (std::isnan(value)) return kNotANumberKey;
  const uint32_t bits = std::bit_cast<uint32_t>(value + 0.0f);  // −0 becomes +0
  const uint32_t ascending = (bits & 0x80000000u) ? ~bits : (bits | 0x80000000u);
  return descending ? ~ascending : ascending;
}

inline uint32_t SortKeyOfKeyword(const TKeyword_entry_rec* entry, bool descending) {
  return entry == nullptr ? kNoRecordKey : SortKeyOfSingle(entry->LL, descending);
}

// Sorts n keyed positions by their high halves with three stable counting
// passes of 11, 11 and 10 bits (a pass whose digit is the same everywhere is
// skipped); the result is in keys or in scratch, as the returned pointer says.
uint64_t* CountingSortByHighHalf(uint64_t* keys, uint64_t* scratch, size_t n) {
  constexpr int kShifts[3] = {32, 43, 54};
  constexpr size_t kBuckets = 2048;
  std::vector<uint32_t> counts(3 * kBuckets);
  for (size_t i = 0; i < n; ++i) {
    const uint64_t k = keys[i];
    ++counts[(k >> 32) & (kBuckets - 1)];
    ++counts[kBuckets + ((k >> 43) & (kBuckets - 1))];
    ++counts[2 * kBuckets + (k >> 54)];
  }
  for (int pass = 0; pass < 3; ++pass) {
    uint32_t* start = counts.data() + pass * kBuckets;
    const int shift = kShifts[pass];
    if (start[(keys[0] >> shift) & (kBuckets - 1)] == n) continue;
    uint32_t sum = 0;
    for (size_t b = 0; b < kBuckets; ++b) sum += std::exchange(start[b], sum);
    for (size_t i = 0; i < n; ++i) scratch[start[(keys[i] >> shift) & (kBuckets - 1)]++] = keys[i];
    std::swap(keys, scratch);
  }
  return keys;
}

// Below this many records a comparison sort of the keyed positions is
// quicker than the counting passes, whose tables cost the same at any size.
constexpr size_t kCountingSortFrom = 256;

constexpr double kLnSqrtPiTo8Places = 0.57236494;

}  // namespace

// ---------------------------------------------------------------------------
// Association measures
// ---------------------------------------------------------------------------

float Dice_Coefficient(int32_t f_xy, int32_t f_x, int32_t f_y) { return DiceOfCounts(f_xy, f_x, f_y); }

float Overlap_Coefficient(int32_t f_xy, int32_t f_x, int32_t f_y) { return OverlapOfCounts(f_xy, f_x, f_y); }

namespace {
// Out of line, unlike the other measures RelationshipComputation dispatches
// to: inlined into the dispatch, this one ran at half the speed of its own
// exported copy (2.4 times the plain formula instead of 1.2, g++ -O2 on the
// development machine), for no reason the code shows.
[[gnu::noinline]] float SpecificMutualInformationOf(int32_t f_x, int32_t f_y, int32_t f_xy, int32_t N) {
  return PlainUnlessFaulty([=](auto op) {
    using Op = decltype(op);
    const double n = N;
    return Op::Single(Op::Log2(Op::Div(Op::Div(f_xy, n), Op::Div(f_x, n) * Op::Div(f_y, n))));
  });
}
}  // namespace

float SpecificMutualInformation(int32_t f_x, int32_t f_y, int32_t f_xy, int32_t N) {
  return SpecificMutualInformationOf(f_x, f_y, f_xy, N);
}

float MI_Durrant(int32_t f_x, int32_t f_y, int32_t f_xy, int32_t N) {
  return PlainUnlessFaulty([=](auto op) {
    using Op = decltype(op);
    const float fxy = static_cast<float>(f_xy);
    const double expected = Op::Div(static_cast<double>(f_x) * static_cast<double>(f_y), N);
    return Op::Single(Op::Log2(Op::Single(Op::Div(fxy, expected))));
  });
}

namespace {
inline float MI3Of(int32_t f_x, int32_t f_y, int32_t f_xy, int32_t N) {
  const TCells c = CellsOf(f_x, f_y, f_xy, N);
  return PlainUnlessFaulty([&c](auto op) {
    using Op = decltype(op);
    const double cube = c.A * c.A * c.A;
    const double total = c.A + c.B + c.C + c.D;
    return Op::Single(Op::Log2(Op::Div(cube * total, (c.A + c.B) * (c.A + c.C))));
  });
}
}  // namespace

float MI3(int32_t f_x, int32_t f_y, int32_t f_xy, int32_t N) { return MI3Of(f_x, f_y, f_xy, N); }

float MI_Oakes171(int32_t f_x, int32_t f_y, int32_t f_xy, int32_t N) {
  const TCells c = CellsOf(f_x, f_y, f_xy, N);
  return PlainUnlessFaulty([&c](auto op) {
    using Op = decltype(op);
    const float a = Op::Single(c.A);
    const float numerator = Op::Single(static_cast<double>(a) * (c.A + c.B + c.C + c.D));
    return Op::Single(Op::Log2(Op::Single(Op::Div(numerator, (c.A + c.B) * (c.A + c.C)))));
  });
}

namespace {
inline float T_ScoreOf(int32_t f_x, int32_t f_y, int32_t f_xy, int32_t N) {
  const TCells c = CellsOf(f_x, f_y, f_xy, N);
  return PlainUnlessFaulty([&c, f_x, f_y, N](auto op) {
    using Op = decltype(op);
    const float a = Op::Single(c.A);
    const double expected = Op::Div(static_cast<double>(f_x) * static_cast<double>(f_y), N);
    const float numerator = Op::Single(static_cast<double>(a) - expected);
    // The root is taken of the cell as a double: a substituted cell gives a
    // tiny positive root, so a zero f_xy with nothing expected scores 0, and
    // with something expected overflows.
    return Op::Single(Op::Div(numerator, Op::Sqrt(c.A)));
  });
}
}  // namespace

float T_Score(int32_t f_x, int32_t f_y, int32_t f_xy, int32_t N) { return T_ScoreOf(f_x, f_y, f_xy, N); }

namespace {
inline float Z_ScoreOf(int32_t f_x, int32_t f_y, int32_t f_xy, int32_t N, int32_t S) {
  return PlainUnlessFaulty([=](auto op) {
    using Op = decltype(op);
    double p = Op::Div(f_y, static_cast<double>(int64_t{N} - f_x));
    if (p == 0) p = TINY_D;
    const double expected = Op::Finite(static_cast<double>(S) * static_cast<double>(f_x) * p);
    const float numerator = Op::Single(static_cast<double>(static_cast<float>(f_xy)) - expected);
    return Op::Single(Op::Div(numerator, Op::Sqrt(expected * (1 - p))));
  });
}
}  // namespace

float Z_Score(int32_t f_x, int32_t f_y, int32_t f_xy, int32_t N, int32_t S) {
  return Z_ScoreOf(f_x, f_y, f_xy, N, S);
}

// ---------------------------------------------------------------------------
// Log-likelihoods
// ---------------------------------------------------------------------------

double XLnX(double x) { return TChecked::XLnX(x); }

float Log_Likelihood_SameCorpus_Dunning(int32_t f_x, int32_t f_y, int32_t f_xy, int32_t N) {
  return PlainUnlessFaulty([=](auto op) {
    using Op = decltype(op);
    const TEntropies e = DunningEntropies<Op>(f_x, f_y, f_xy, N);
    return Op::Single(2 * (e.R + e.C - e.T));
  });
}

float Log_likelihood_from_Java(int32_t f_x, int32_t f_y, int32_t f_xy, int32_t N) {
  return PlainUnlessFaulty([=](auto op) {
    using Op = decltype(op);
    const TEntropies e = DunningEntropies<Op>(f_x, f_y, f_xy, N);
    // A not-a-number entropy fails the test and reaches the result.
    if (e.R + e.C < e.T) return 0.0f;
    return Op::Single(2 * (e.R + e.C - e.T));
  });
}

double LogLikelihoodRatio(const TMatrix2Vector2Doubles& m) {
  const double total = Finite(m[0][0] + m[0][1] + m[1][0] + m[1][1]);
  const double factor = 2 * total;
  const double cells = ShareEntropy(std::array<double, 4>{m[0][0], m[0][1], m[1][0], m[1][1]});
  const double rows = ShareEntropy(std::array<double, 2>{m[0][0] + m[0][1], m[1][0] + m[1][1]});
  const double columns = ShareEntropy(std::array<double, 2>{m[0][0] + m[1][0], m[0][1] + m[1][1]});
  return Finite((cells - rows - columns) * factor);
}

namespace {
inline float EvertsOf(int32_t f_x, int32_t f_y, int32_t f_xy, int32_t N, int32_t S) {
  TMatrix2Vector2Doubles m;
  m[0][0] = static_cast<double>(f_xy);
  m[0][1] = static_cast<double>(int64_t{f_y} - f_xy);
  m[1][0] = static_cast<double>(int64_t{f_x} * S - f_xy);
  m[1][1] = static_cast<double>(int64_t{N} - f_x - f_y + f_xy);
  return Single(LogLikelihoodRatio(m));
}
}  // namespace

float Log_Likelihood_SameCorpus_Everts(int32_t f_x, int32_t f_y, int32_t f_xy, int32_t N, int32_t S) {
  return EvertsOf(f_x, f_y, f_xy, N, S);
}

namespace {
inline float LancasterOf(int32_t a, int32_t b, int32_t c, int32_t d) {
  T2by2XTabs_rec t;
  t.a = Positive(a);
  t.b = Positive(b);
  t.c = Positive(c);
  t.d = Positive(d);
  const double together = t.a + t.b;
  const double size = t.c + t.d;
  const double e1 = Positive(together * t.c / size);
  const double e2 = Positive(together * t.d / size);
  // A substituted frequency adds nothing. Otherwise ln(freq/E); when E is so
  // small that the quotient leaves the double range, the difference of the
  // logarithms (both finite) gives the same value.
  const auto term = [](int32_t original, double freq, double expected) {
    if (original <= 0) return 0.0;
    const double q = freq / expected;
    return freq * (std::isfinite(q) ? std::log(q) : std::log(freq) - std::log(expected));
  };
  return static_cast<float>(2 * (term(a, t.a, e1) + term(b, t.b, e2)));
}
}  // namespace

float Log_Likelihood_Lancaster(int32_t a, int32_t b, int32_t c, int32_t d) { return LancasterOf(a, b, c, d); }

// ---------------------------------------------------------------------------
// Keyness
// ---------------------------------------------------------------------------

float PercentDiff(const TIntegerPair& q, const TIntegerPair& s) {
  const auto relative = [](int32_t qi, int32_t si) {
    return si > 0 ? static_cast<float>(static_cast<double>(qi) / si) : TINY_S;
  };
  const float r0 = relative(q[0], s[0]);
  const float r1 = relative(q[1], s[1]);
  return PlainUnlessFaulty([r0, r1](auto op) {
    using Op = decltype(op);
    const float difference = Op::Single(static_cast<double>(r0) - r1);
    const float share = Op::Single(Op::Div(difference, r1));
    return Op::Single(static_cast<double>(share) * 100.0f);
  });
}

namespace {
// ln of the two sizes together. A key-word list passes the same sizes for
// every record, so each thread keeps the last logarithm it took; 0 is never
// kept, since its logarithm is a fault.
inline double LnOfSizes(int64_t sizes) {
  thread_local int64_t lastSizes = 0;
  thread_local double lastLn = 0;
  if (sizes != lastSizes || sizes == 0) {
    lastLn = Ln(static_cast<double>(sizes));
    lastSizes = sizes;
  }
  return lastLn;
}
}  // namespace

TKeyword_entry_rec KWStatsCalculated(const TIntegerPair& q, const TIntegerPair& s) {
  TKeyword_entry_rec entry;
  entry.lemma_words = new TMyStreamableStringlist;
  try {
    // |INT32_MIN| does not fit: it stays the largest count there is.
    const auto absolute = [](int32_t v) { return v == INT32_MIN ? INT32_MAX : (v < 0 ? -v : v); };
    entry.f[0] = absolute(q[0]);
    entry.f[1] = absolute(q[1]);
    entry.LogRatio = LogRatioOf(q[0], q[1], s[0], s[1]);
    const int64_t sizes = int64_t{s[0]} + s[1];
    const double expected = Quotient(static_cast<double>(s[0]) * static_cast<double>(int64_t{q[0]} + q[1]),
                                     static_cast<double>(sizes));
    entry.LL = LancasterOf(entry.f[0], entry.f[1], s[0], s[1]);
    entry.BIC_Score = Single(static_cast<double>(entry.LL) - LnOfSizes(sizes));
    if (entry.f[0] < expected) {
      entry.LL = 0 - entry.LL;
      entry.negative_score = true;
    }
  } catch (const EMathError&) {
    entry.LL = 1.0f;
    entry.LogRatio = 1.0f;
  }
  return entry;
}

double FloatCorrectedIfBelowZero(bool negate, double x) { return negate ? 0 - x : x; }

float RelationshipComputation(TMutualInfoStats stat, int32_t f_xy, int32_t f_x, int32_t f_y, int32_t N,
                              Tdouble_smallint_type window) {
  // Dice, the cheapest measure, is taken before the table dispatch of the
  // others, whose cost would otherwise match its own.
  if (stat == MI_Dice) return DiceOfCounts(f_xy, f_x, f_y);
  const int32_t S = int32_t{window.to_left} + int32_t{window.to_right};
  switch (stat) {
    case MI_Dice:
      return DiceOfCounts(f_xy, f_x, f_y);
    case MI_MI:
      return SpecificMutualInformationOf(f_x, f_y, f_xy, N);
    case MI_MI3:
      return MI3Of(f_x, f_y, f_xy, N);
    case MI_Z:
      return Z_ScoreOf(f_x, f_y, f_xy, N, S);
    case MI_log_likelihood:
      return EvertsOf(f_x, f_y, f_xy, N, S);
    case MI_T_Score:
      return T_ScoreOf(f_x, f_y, f_xy, N);
    case MI_Log_Ratio:
      return LogRatioOf(f_x, f_y, N, N);
  }
  return 0;
}

// ---------------------------------------------------------------------------
// Sequence similarity
// ---------------------------------------------------------------------------

float Dice_Coefficient(std::span<const uint32_t> x, std::span<const uint32_t> y) {
  if (x.empty() || y.empty()) return 0;
  // Taking the first unmatched equal position of y for each position of x
  // matches min(count in x, count in y) positions of every identifier.
  std::unordered_map<uint32_t, int64_t> unmatched;
  unmatched.reserve(y.size());
  for (uint32_t id : y) ++unmatched[id];
  int64_t matches = 0;
  for (uint32_t id : x) {
    const auto it = unmatched.find(id);
    if (it != unmatched.end() && it->second > 0) {
      --it->second;
      ++matches;
    }
  }
  return DiceOfCounts(matches, static_cast<int64_t>(x.size()), static_cast<int64_t>(y.size()));
}

float Overlap_Coefficient(std::span<const uint32_t> x, std::span<const uint32_t> y) {
  if (x.empty() || y.empty()) return 0;
  std::vector<bool> matchedX(x.size());
  std::vector<bool> matchedY(y.size());
  TPositionQueues queues(y);
  int64_t longest = 0;
  for (size_t i = 0; i < x.size(); ++i) {
    if (matchedX[i]) continue;
    const ptrdiff_t group = queues.GroupOf(x[i]);
    if (group < 0) continue;
    const ptrdiff_t found = queues.FirstUnmatched(group, matchedY);
    if (found < 0) continue;
    const size_t j = static_cast<size_t>(found);
    // An extension never meets a position an earlier one marked (those lie
    // before i), so all extensions together cover x at most once.
    int64_t run = 1;
    for (size_t k = 1; i + k < x.size() && j + k < y.size() && x[i + k] == y[j + k]; ++k) {
      ++run;
      matchedX[i + k] = true;
      matchedY[j + k] = true;
    }
    matchedX[i] = true;
    matchedY[j] = true;
    longest = std::max(longest, run);
  }
  return OverlapOfCounts(longest, static_cast<int64_t>(x.size()), static_cast<int64_t>(y.size()));
}

// ---------------------------------------------------------------------------
// Distributions
// ---------------------------------------------------------------------------

float RelativeEntropy(std::span<const int32_t> counts) {
  if (counts.empty()) return 0;
  int64_t total = 0;
  for (int32_t c : counts) total += c;
  if (total == 0) return 0;
  double h = 0;
  for (int32_t c : counts) {
    if (c == 0) continue;
    const double share = static_cast<double>(c) / static_cast<double>(total);
    h += share * Log2(share);
  }
  h = std::fabs(Finite(h));
  const float hmax = static_cast<float>(std::log2(static_cast<double>(counts.size())));
  if (h == 0 || hmax == 0) return 0;
  return Single(h / hmax);
}

double DispersionValue(std::span<const double> values) {
  const size_t n = values.size();
  if (n <= 2) return 0;
  double sum = 0;
  for (double v : values) sum += v;
  const double mean = Finite(sum / static_cast<double>(n));
  if (mean == 0) return 0;
  // Two passes: the squared deviations are never negative, so neither is
  // their sum, whatever the rounding.
  double squares = 0;
  for (double v : values) {
    const double deviation = v - mean;
    squares += deviation * deviation;
  }
  const double s = Sqrt(Finite(squares) / static_cast<double>(n - 1));
  return Finite(1 - Quotient(s, mean) / std::sqrt(static_cast<double>(n)));
}

float DispersionValue(std::span<const int32_t> values) {
  std::vector<double> converted(values.begin(), values.end());
  return Single(DispersionValue(std::span<const double>(converted)));
}

double Log_Gamma(double x) {
  if (!std::isfinite(x)) return 0;
  try {
    if (x > 1e6) {
      // (x−1)(x−2)···(frac) = Γ(x)/Γ(frac): the product the loop below forms,
      // without a million steps.
      const double frac = x - std::floor(x);
      if (frac > 0) return Finite(std::lgamma(x) - std::lgamma(frac) + kLnSqrtPiTo8Places);
      return Finite(std::lgamma(x));
    }
    double sum = 0;
    double a = x - 1;
    while (a > 0) {
      MyYieldProcess();
      sum += Ln(a);
      a -= 1;
    }
    if (a < 0) sum += kLnSqrtPiTo8Places;
    return Finite(sum);
  } catch (const EMathError&) {
    return 0;
  }
}

double Norberto(float x) {
  if (std::isnan(x)) throw EInvalidOp();
  const float a = std::fabs(x);
  return std::erfc(std::sqrt(static_cast<double>(a) / 2));
}

text_stats_rec MergedTextStats(const text_stats_rec& a, const text_stats_rec& b) {
  text_stats_rec result;
  const int64_t n = int64_t{a.n} + b.n;
  result.n = static_cast<int32_t>(std::clamp<int64_t>(n, INT32_MIN, INT32_MAX));
  const bool useA = a.n > 0;
  const bool useB = b.n > 0;
  if (!useA && !useB) return result;
  if (useA != useB) {
    const text_stats_rec& only = useA ? a : b;
    result.mean = std::isfinite(only.mean) ? only.mean : 0;
    result.std_dev = std::isfinite(only.std_dev) ? only.std_dev : 0;
    return result;
  }
  const double na = a.n;
  const double nb = b.n;
  const double pooled = na + nb;
  const double mean = (na * a.mean + nb * b.mean) / pooled;
  const float meanSingle = static_cast<float>(mean);
  result.mean = std::isfinite(meanSingle) ? meanSingle : 0;
  const double delta = static_cast<double>(b.mean) - a.mean;
  const double sa = a.std_dev;
  const double sb = b.std_dev;
  const double m2 = sa * sa * (na - 1) + sb * sb * (nb - 1) + delta * delta * na * nb / pooled;
  const float deviation = static_cast<float>(std::sqrt(m2 / (pooled - 1)));
  result.std_dev = std::isfinite(deviation) ? deviation : 0;
  return result;
}

// ---------------------------------------------------------------------------
// Helpers
// ---------------------------------------------------------------------------

void SortAnArrayOfIntegers(std::span<int32_t> values, bool descending) { SortValues(values, descending); }
void SortAnArrayOfSingles(std::span<float> values, bool descending) { SortValues(values, descending); }
void SortAnArrayOfExtendeds(std::span<long double> values, bool descending) {
  SortValues(values, descending);
}

void SortAnArrayOfKeywords(std::span<TKeyword_entry_rec*> entries, bool descending) {
  const size_t n = entries.size();
  if (n < 2) return;
  if (n > UINT32_MAX) {
    // Positions no longer fit beside the keys.
    std::stable_sort(entries.begin(), entries.end(), [descending](const auto* a, const auto* b) {
      return SortKeyOfKeyword(a, descending) < SortKeyOfKeyword(b, descending);
    });
    return;
  }
  std::unique_ptr<uint64_t[]> buffer(new uint64_t[2 * n]);
  uint64_t* keys = buffer.get();
  for (size_t i = 0; i < n; ++i) keys[i] = uint64_t{SortKeyOfKeyword(entries[i], descending)} << 32 | i;
  uint64_t* scratch = keys + n;
  if (n < kCountingSortFrom) {
    std::sort(keys, keys + n);  // the positions make every key distinct
  } else {
    uint64_t* sorted = CountingSortByHighHalf(keys, scratch, n);
    if (sorted != keys) std::swap(keys, scratch);
  }
  // The pointers in their new order go to the free half first, since each
  // one is read from where it stood before.
  static_assert(sizeof(uintptr_t) <= sizeof(uint64_t));
  for (size_t i = 0; i < n; ++i) scratch[i] = reinterpret_cast<uintptr_t>(entries[static_cast<uint32_t>(keys[i])]);
  for (size_t i = 0; i < n; ++i) entries[i] = reinterpret_cast<TKeyword_entry_rec*>(static_cast<uintptr_t>(scratch[i]));
}

void SwapAround(TIntegerPair& pair) { std::swap(pair[0], pair[1]); }

bool IsBitSet32(int32_t i, uint32_t value) {
  if (i < 0 || i > 31) return false;
  const uint32_t mask = bit_array32[static_cast<size_t>(i)];
  return (value & mask) == mask;
}

bool IsBitSet16(int32_t i, uint16_t value) {
  if (i < 0 || i > 15) return false;
  const uint16_t mask = bit_array16[static_cast<size_t>(i)];
  return (value & mask) == mask;
}

void SetBit32(int32_t i, uint32_t& value) {
  if (i >= 0 && i <= 31) value |= bit_array32[static_cast<size_t>(i)];
}

void SetBit16(int32_t i, uint16_t& value) {
  if (i >= 0 && i <= 15) value = static_cast<uint16_t>(value | bit_array16[static_cast<size_t>(i)]);
}

int32_t SingleArrayLengthForXInterRelationships(int32_t n) { return FitOrMinusOne(TriangleOf(n)); }

int32_t SingleArrayPosForXYValue(int32_t x, int32_t y, int32_t n) {
  const int64_t xp = int64_t{x} + 1;
  const int64_t yp = int64_t{y} + 1;
  const int64_t items = n;
  if (xp == yp || xp <= 0 || yp <= 0 || xp > items || yp > items) return -1;
  const int64_t slots = items * items - TriangleOf(items);
  const int64_t hi = std::max(xp, yp);
  const int64_t lo = std::min(xp, yp);
  const int64_t pos = lo * items - (items - hi) - TriangleOf(lo) - 1;
  if (pos >= slots) return -1;
  return FitOrMinusOne(pos);
}

int32_t SingleArrayPosForXYValue1Based(int32_t x, int32_t y, int32_t n) {
  const int64_t items = n;
  if (x == y || x <= 0 || y <= 0 || x > items || y > items) return -1;
  const int64_t slots = items * items - TriangleOf(items);
  const int64_t hi = std::max(x, y);
  const int64_t lo = std::min(x, y);
  const int64_t pos = lo * items - (items - hi) - TriangleOf(lo);
  if (pos > slots) return -1;
  return FitOrMinusOne(pos);
}

TIntegerPair XYFromSingleArrayPosPos(int32_t pos, int32_t n) {
  const int64_t p = pos;
  const int64_t items = n;
  int64_t x;
  int64_t y;
  if (p <= 0) {
    x = 1;
    y = 0;
  } else if (items <= 1) {
    // No row has a slot: every step starts a new row.
    y = p;
    x = p + 1;
  } else {
    const int64_t slots = items * (items - 1) / 2;
    if (p >= slots) {
      // Past the last slot (n − 1, n − 2) every step starts a new, empty row.
      y = items - 1 + (p - slots);
      x = y + 1;
    } else {
      // Row r holds n − 1 − r slots and starts at slot r(2n − 1 − r)/2: take
      // the root of that quadratic, then settle the rounding exactly.
      const auto rowStart = [items](int64_t r) { return r * (2 * items - 1 - r) / 2; };
      const double b = 2.0 * static_cast<double>(items) - 1;
      const double root = std::sqrt(std::max(0.0, b * b - 8.0 * static_cast<double>(p)));
      y = std::clamp<int64_t>(static_cast<int64_t>((b - root) / 2), 0, items - 2);
      while (y > 0 && rowStart(y) > p) --y;
      while (y < items - 2 && rowStart(y + 1) <= p) ++y;
      x = y + 1 + (p - rowStart(y));
    }
  }
  if (x > INT32_MAX || y > INT32_MAX) return {-1, -1};
  return {static_cast<int32_t>(x), static_cast<int32_t>(y)};
}

// ---------------------------------------------------------------------------
// TShuffledNumbers
// ---------------------------------------------------------------------------

TShuffledNumbers::TShuffledNumbers(int32_t an_upper_limit) : upper_limit(an_upper_limit) {
  std::vector<uint32_t> seeds;
  const auto ticks =
      static_cast<uint64_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count());
  seeds.push_back(static_cast<uint32_t>(ticks));
  seeds.push_back(static_cast<uint32_t>(ticks >> 32));
  try {
    std::random_device entropy;
    for (int i = 0; i < 4; ++i) seeds.push_back(entropy());
  } catch (const std::exception&) {
    // No entropy source: the clock and the object's address must do.
    const auto address = reinterpret_cast<uintptr_t>(this);
    seeds.push_back(static_cast<uint32_t>(address));
    seeds.push_back(static_cast<uint32_t>(static_cast<uint64_t>(address) >> 32));
  }
  std::seed_seq sequence(seeds.begin(), seeds.end());
  fGenerator.seed(sequence);
  ComputeShuffledNonRepeatedNumbers();
}

void TShuffledNumbers::ComputeShuffledNonRepeatedNumbers() {
  // Drawn into a local array, so that a yield that re-enters this object
  // cannot pull the array from under the loop.
  std::vector<int32_t> numbers(static_cast<size_t>(std::max(upper_limit, 0)));
  for (size_t i = 0; i < numbers.size(); ++i) numbers[i] = static_cast<int32_t>(i);
  for (size_t i = numbers.size(); i > 1; --i) {
    MyYieldProcess();
    std::uniform_int_distribution<size_t> draw(0, i - 1);
    std::swap(numbers[i - 1], numbers[draw(fGenerator)]);
  }
  temp_int = std::move(numbers);
}

int32_t TShuffledNumbers::GetANumber(int32_t index) const noexcept {
  if (index < 0 || static_cast<size_t>(index) >= temp_int.size()) return 0;
  return temp_int[static_cast<size_t>(index)];
}

}  // namespace qn
