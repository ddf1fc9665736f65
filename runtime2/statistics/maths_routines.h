// Association and keyness statistics, and the small numeric helpers the
// tools use beside them.
//
// The measures rank word pairs by how strongly they go together (collocate
// and relationship lists) and words by how much more often they occur in a
// text than in a reference corpus (key-word lists). They are plain functions
// of signed 32-bit counts. Notation: f_x is the frequency of the node, f_y
// that of the collocate, f_xy their joint frequency inside the window, N the
// number of running words, S the span of the window (to the left plus to the
// right).
//
// Precision. A measure delivers single precision (float) unless it says
// otherwise; intermediates are doubles. Where a value is "rounded to single"
// on the way, that rounding is part of the result. This folder is built
// without floating-point contraction so that the stated roundings happen
// exactly as written.
//
// Faults. Every operation's domain is checked (division by zero, 0/0, the
// logarithm of a number <= 0, the square root of a negative number, a result
// that is infinite or too large for single precision) and a fault raises
// EZeroDivide, EInvalidOp or EOverflow (all EMathError). Underflow is not a
// fault: values become zero or subnormal. Only KWStatsCalculated and
// Log_Gamma catch faults themselves. The guards that do exist are the
// measures' own: zero denominators give 0 where stated, non-positive cells
// are replaced by TINY_D, zero relative frequencies by TINY_S.
//
// Sums and products of counts are formed in 64-bit integers, so that corpora
// of two billion words and more give the exact answer instead of a wrapped
// one.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <random>
#include <span>
#include <vector>

#include "platform/Export.h"
#include "runtime1/definitions/Wdef.h"

namespace qn {

// The substitutes for counts and frequencies that must not be zero: the
// smallest positive double (2^-1074) and the smallest positive single (2^-149).
inline constexpr double TINY_D = std::numeric_limits<double>::denorm_min();
inline constexpr float TINY_S = std::numeric_limits<float>::denorm_min();

// The guarded inputs of Log_Likelihood_Lancaster: frequency in corpus 1,
// frequency in corpus 2, size of corpus 1, size of corpus 2.
struct T2by2XTabs_rec {
  double a = 0;
  double b = 0;
  double c = 0;
  double d = 0;
};

using TVector2Doubles = std::array<double, 2>;
// A 2x2 table of doubles, row by row: [0][0], [0][1], [1][0], [1][1].
using TMatrix2Vector2Doubles = std::array<TVector2Doubles, 2>;

// ---------------------------------------------------------------------------
// Association measures on counts
// ---------------------------------------------------------------------------

// 2·f_xy / (f_x + f_y); 0 when f_x + f_y is 0.
QN_API float Dice_Coefficient(int32_t f_xy, int32_t f_x, int32_t f_y);
// f_xy / min(f_x, f_y); 0 when the smaller is 0.
QN_API float Overlap_Coefficient(int32_t f_xy, int32_t f_x, int32_t f_y);

// log2((f_xy/N) / ((f_x/N)·(f_y/N))). No guards.
QN_API float SpecificMutualInformation(int32_t f_x, int32_t f_y, int32_t f_xy, int32_t N);
// log2(f_xy / (f_x·f_y/N)), f_xy in single precision, the quotient rounded to
// single before the logarithm. No guards.
QN_API float MI_Durrant(int32_t f_x, int32_t f_y, int32_t f_xy, int32_t N);

// The next three build the 2x2 cells A = f_xy, B = f_x − f_xy, C = f_y − f_xy,
// D = N − A − B − C as doubles, each replaced by TINY_D when not positive.
//
// log2(A³·(A+B+C+D) / ((A+B)·(A+C))).
QN_API float MI3(int32_t f_x, int32_t f_y, int32_t f_xy, int32_t N);
// log2(A·(A+B+C+D) / ((A+B)·(A+C))); A, the numerator and the quotient are
// rounded to single.
QN_API float MI_Oakes171(int32_t f_x, int32_t f_y, int32_t f_xy, int32_t N);
// (A − f_x·f_y/N) / sqrt(A); A and the numerator are rounded to single.
QN_API float T_Score(int32_t f_x, int32_t f_y, int32_t f_xy, int32_t N);

// p = f_y / (N − f_x) (TINY_D when exactly 0), E = S·f_x·p,
// z = (f_xy − E) / sqrt(E·(1 − p)); f_xy and the numerator rounded to single.
QN_API float Z_Score(int32_t f_x, int32_t f_y, int32_t f_xy, int32_t N, int32_t S);

// ---------------------------------------------------------------------------
// Log-likelihoods
// ---------------------------------------------------------------------------

// x·ln(x); 0 for x = 0; a negative x is a fault.
QN_API double XLnX(double x);

// Dunning's G² on the cells k11 = f_xy, k12 = f_x − f_xy, k21 = f_y − f_xy,
// k22 = N − f_x − f_y + f_xy, through the row, column and table entropies.
// A negative cell is a fault.
QN_API float Log_Likelihood_SameCorpus_Dunning(int32_t f_x, int32_t f_y, int32_t f_xy, int32_t N);
// The same, but 0 when rounding makes the row and column entropies smaller
// than the table's (so never negative).
QN_API float Log_likelihood_from_Java(int32_t f_x, int32_t f_y, int32_t f_xy, int32_t N);

// The log-likelihood ratio of a 2x2 table of doubles, through the entropies
// of the cells, of the row sums and of the column sums, times twice the total.
// A zero total is a fault.
QN_API double LogLikelihoodRatio(const TMatrix2Vector2Doubles& m);

// LogLikelihoodRatio of the table [f_xy, f_y − f_xy; f_x·S − f_xy,
// N − f_x − f_y + f_xy]: the second row counts the window positions around
// the node rather than its occurrences.
QN_API float Log_Likelihood_SameCorpus_Everts(int32_t f_x, int32_t f_y, int32_t f_xy, int32_t N,
                                              int32_t S);

// The log-likelihood of a frequency in two corpora (a in corpus 1 of size c,
// b in corpus 2 of size d): 2·(a·ln(a/E1) + b·ln(b/E2)) with the expected
// values E1 = (a+b)·c/(c+d), E2 = (a+b)·d/(c+d). Non-positive inputs and zero
// expected values are replaced by TINY_D; a term whose frequency was replaced
// contributes 0. Never faults.
QN_API float Log_Likelihood_Lancaster(int32_t a, int32_t b, int32_t c, int32_t d);

// ---------------------------------------------------------------------------
// Keyness
// ---------------------------------------------------------------------------

// The percentage by which the relative frequency q0/s0 exceeds q1/s1, in
// single precision; a non-positive size gives the relative frequency TINY_S.
// A zero reference frequency is a fault.
QN_API float PercentDiff(const TIntegerPair& q, const TIntegerPair& s);

// The keyness record of one word: q holds its frequencies in the text and in
// the reference corpus, s the sizes of the two. f = |q|, LogRatio = log2 of
// the ratio of the relative frequencies, LL = Log_Likelihood_Lancaster,
// BIC_Score = LL − ln(s0 + s1); LL is negated (and negative_score set) when
// the word is less frequent in the text than expected. A computation fault
// gives LL = LogRatio = 1.0, the fields set before it keeping their values.
// The record owns a new empty lemma_words list: release it with
// FreeKeywordEntry.
QN_API TKeyword_entry_rec KWStatsCalculated(const TIntegerPair& q, const TIntegerPair& s);

// −x when negate, else x.
QN_API double FloatCorrectedIfBelowZero(bool negate, double x);

// The chosen relationship measure of a pair, S = to_left + to_right:
// MI_Dice Dice_Coefficient, MI_MI SpecificMutualInformation, MI_MI3 MI3,
// MI_Z Z_Score, MI_log_likelihood Log_Likelihood_SameCorpus_Everts,
// MI_T_Score T_Score, MI_Log_Ratio log2 of f_x/N over f_y/N (f_xy plays no
// part: it ranks a node's collocates by how rare the collocate is). Any other
// value gives 0. The measure's faults reach the caller.
QN_API float RelationshipComputation(TMutualInfoStats stat, int32_t f_xy, int32_t f_x, int32_t f_y,
                                     int32_t N, Tdouble_smallint_type window);

// ---------------------------------------------------------------------------
// Sequence similarity (word or type numbers); 0 when either is empty
// ---------------------------------------------------------------------------

// Each position of x, in order, is matched with the first unmatched position
// of y holding the same identifier; Dice_Coefficient of the matches and the
// two lengths.
QN_API float Dice_Coefficient(std::span<const uint32_t> x, std::span<const uint32_t> y);
// The longest aligned run, found greedily: each unmatched position i of x, in
// order, is aligned with the first unmatched position j of y holding the same
// identifier, and the run extends while x[i+k] = y[j+k] (matched or not),
// marking what it covers. The longest run over the shorter length.
QN_API float Overlap_Coefficient(std::span<const uint32_t> x, std::span<const uint32_t> y);

// ---------------------------------------------------------------------------
// Distributions
// ---------------------------------------------------------------------------

// The Shannon entropy of a frequency distribution over its maximum,
// log2(number of counts): 1 for an even spread, 0 for all in one place, for a
// single count, for no counts or for counts that sum to 0.
QN_API float RelativeEntropy(std::span<const int32_t> counts);

// 1 − (s/mean)/sqrt(n), s the sample standard deviation; 0 for n <= 2 and for
// a mean of exactly 0.
QN_API double DispersionValue(std::span<const double> values);
QN_API float DispersionValue(std::span<const int32_t> values);

// ln Γ(x) for whole numbers and half-integers, as the product
// (x−1)(x−2)··· down to the last positive factor, plus ln sqrt(π) to 8 places
// (0.57236494) when x is not whole; any x below 1 gives 0.57236494 and a
// non-finite x gives 0. Yields at every factor up to x = 10^6; above that the
// same value comes from the gamma function in closed form, without yielding.
QN_API double Log_Gamma(double x);

// The p value of a keyness or log-likelihood score: the upper tail of the
// chi-square distribution with one degree of freedom, erfc(sqrt(|x|/2)).
// 3.84 gives 0.0500, 6.63 gives 0.0100, 10.83 gives 0.00100, ±infinity 0.
// Exact everywhere, so 0.5 gives 0.4795 and 36 gives 1.97e-9. A not-a-number
// score raises EInvalidOp.
QN_API double Norberto(float x);

// The summary of two summaries together: n = a.n + b.n (clamped to 32 bits);
// mean and pooled sample standard deviation over the parts with a positive
// count (mean 0 when there is none, standard deviation 0 when it cannot be
// formed).
QN_API text_stats_rec MergedTextStats(const text_stats_rec& a, const text_stats_rec& b);

// ---------------------------------------------------------------------------
// Helpers
// ---------------------------------------------------------------------------

// In-place quicksorts by value, ascending or descending; not stable (values
// that compare equal, such as 0.0 and −0.0, end in no defined order).
QN_API void SortAnArrayOfIntegers(std::span<int32_t> values, bool descending);
QN_API void SortAnArrayOfSingles(std::span<float> values, bool descending);
QN_API void SortAnArrayOfExtendeds(std::span<long double> values, bool descending);

// Sorts pointers to key-word records by their LL, ascending or descending
// (the largest first). Stable: records of equal LL keep the order they came
// in (0 and −0 are equal), so a list already ordered by something else keeps
// that order within each LL. Records whose LL is not a number, then null
// pointers, come last in either direction, each in the order they came in.
// Each LL is read once into a key array beside its position, and the keys are
// sorted by counting; the records themselves never move. Fewer than two
// pointers are left as they are.
QN_API void SortAnArrayOfKeywords(std::span<TKeyword_entry_rec*> entries, bool descending);

QN_API void SwapAround(TIntegerPair& pair);

// Entry i is 1 shifted left by i.
inline constexpr std::array<uint32_t, 32> bit_array32 = [] {
  std::array<uint32_t, 32> masks{};
  for (uint32_t i = 0; i < 32; ++i) masks[i] = uint32_t{1} << i;
  return masks;
}();
inline constexpr std::array<uint16_t, 16> bit_array16 = [] {
  std::array<uint16_t, 16> masks{};
  for (uint32_t i = 0; i < 16; ++i) masks[i] = static_cast<uint16_t>(1u << i);
  return masks;
}();

// Whether bit i of value is set; false for i outside 0..31 (0..15).
QN_API bool IsBitSet32(int32_t i, uint32_t value);
QN_API bool IsBitSet16(int32_t i, uint16_t value);
// Sets bit i of value; nothing happens for i outside 0..31 (0..15).
QN_API void SetBit32(int32_t i, uint32_t& value);
QN_API void SetBit16(int32_t i, uint16_t& value);

// The relations between n items (each unordered pair of distinct items once)
// in one flat array of n(n−1)/2 slots, ordered by the smaller index, then the
// larger. All arithmetic is exact; a result that does not fit in 32 bits
// gives −1.
//
// n(n+1)/2.
QN_API int32_t SingleArrayLengthForXInterRelationships(int32_t n);
// The 0-based slot of the pair of 0-based items x and y (in either order);
// −1 when x = y or either is outside 0..n−1. For n = 3: (0,1) 0, (0,2) 1,
// (1,2) 2.
QN_API int32_t SingleArrayPosForXYValue(int32_t x, int32_t y, int32_t n);
// The 1-based slot (1..n(n−1)/2) of the pair of 1-based items x and y; −1 when
// x = y or either is outside 1..n.
QN_API int32_t SingleArrayPosForXYValue1Based(int32_t x, int32_t y, int32_t n);
// The pair (x, y), x the larger index, at 0-based slot pos: the inverse of
// SingleArrayPosForXYValue. It is the pair reached from (1, 0) by pos steps
// that advance x and, past n − 1, start the next row at (y + 2, y + 1); so
// pos <= 0 gives (1, 0) and slots past the end give (y + 1, y) on rows past
// the last. Computed in closed form; (−1, −1) when the pair does not fit in
// 32 bits.
QN_API TIntegerPair XYFromSingleArrayPosPos(int32_t pos, int32_t n);

// A random permutation of 0 .. upper_limit − 1.
class QN_API TShuffledNumbers {
 public:
  // Seeds the object's own generator from the clock and the system's entropy
  // source and draws the first permutation. A limit <= 0 gives no numbers.
  explicit TShuffledNumbers(int32_t an_upper_limit);
  static TShuffledNumbers* Create(int32_t an_upper_limit) { return new TShuffledNumbers(an_upper_limit); }
  // Releases the numbers and the object; a null object is ignored.
  static void Free(TShuffledNumbers* numbers) noexcept { delete numbers; }

  // Draws a new permutation (uniform, Fisher–Yates), yielding at each step.
  void ComputeShuffledNonRepeatedNumbers();
  // The number at position index; 0 outside 0 .. upper_limit − 1.
  int32_t GetANumber(int32_t index) const noexcept;

  int32_t upper_limit = 0;
  std::vector<int32_t> temp_int;

 private:
  std::mt19937_64 fGenerator;
};

}  // namespace qn
