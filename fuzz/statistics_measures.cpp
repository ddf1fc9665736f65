// Arbitrary counts, sizes, windows and sequences through every association
// and keyness measure.
//
// Checks: every measure either answers with a finite value or raises
// EMathError (nothing else escapes, nothing is NaN or infinite); the
// measures that never fault (Lancaster, Log_Gamma, the count coefficients,
// the key-word record) never raise; p values lie in [0, 1], entropies and
// sequence coefficients in their ranges; the sequence measures agree with the quadratic stepping
// on short sequences; the flat pair-array slots lead back to their pairs and
// the pair walk agrees with the stepping; sorts sort, the key-word sort
// stably, with not-a-number values and null pointers last.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/Exceptions.h"
#include "runtime2/statistics/maths_routines.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

class TReader {
 public:
  TReader(const uint8_t* data, size_t size) : fData(data), fSize(size) {}
  bool AtEnd() const { return fPos >= fSize; }
  uint8_t Byte() { return fPos < fSize ? fData[fPos++] : 0; }
  int32_t Int() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(Byte()) << (8 * i);
    // Half of the values small, where the guards and the zero cells are; a
    // quarter any 32-bit value, a quarter large and positive.
    switch (v & 3) {
      case 2:
        return static_cast<int32_t>(v);
      case 3:
        return static_cast<int32_t>(v >> 1);
      default:
        return static_cast<int32_t>((v >> 2) % 64) - 8;
    }
  }
  double Double() {
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= static_cast<uint64_t>(Byte()) << (8 * i);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
  }

 private:
  const uint8_t* fData;
  size_t fSize;
  size_t fPos = 0;
};

// A finite answer or EMathError; nothing else.
template <typename F>
void Answers(F&& measure) {
  try {
    const double value = measure();
    Check(std::isfinite(value));
  } catch (const qn::EMathError&) {
  }
}

float LiteralOverlap(const std::vector<uint32_t>& x, const std::vector<uint32_t>& y) {
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
  return qn::Overlap_Coefficient(longest, static_cast<int32_t>(x.size()), static_cast<int32_t>(y.size()));
}

}  // namespace

// Most inputs make several measures raise EMathError. With stack-use-after-
// return detection, each throw makes AddressSanitizer sweep its whole fake
// stack at the next call, and that stack is sized by the thread's real stack
// (eleven 1 MiB classes for the main thread): the sweeps took half the time
// of every input. Classes of 64 KiB still hold every frame this target makes
// (a handful, each well under a kilobyte), so every frame is still checked.
extern "C" const char* __asan_default_options() { return "max_uar_stack_size_log=16"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1024) return 0;
  TReader in(data, size);
  const int32_t f_x = in.Int(), f_y = in.Int(), f_xy = in.Int(), N = in.Int();
  const auto window = qn::Tdouble_smallint_type{static_cast<int16_t>(in.Int()), static_cast<int16_t>(in.Int())};
  const int32_t S = window.to_left + window.to_right;

  Answers([&] { return qn::SpecificMutualInformation(f_x, f_y, f_xy, N); });
  Answers([&] { return qn::MI_Durrant(f_x, f_y, f_xy, N); });
  Answers([&] { return qn::MI3(f_x, f_y, f_xy, N); });
  Answers([&] { return qn::MI_Oakes171(f_x, f_y, f_xy, N); });
  Answers([&] { return qn::T_Score(f_x, f_y, f_xy, N); });
  Answers([&] { return qn::Z_Score(f_x, f_y, f_xy, N, S); });
  Answers([&] { return qn::Log_Likelihood_SameCorpus_Dunning(f_x, f_y, f_xy, N); });
  Answers([&] {
    const float java = qn::Log_likelihood_from_Java(f_x, f_y, f_xy, N);
    Check(java >= 0);
    return java;
  });
  Answers([&] { return qn::Log_Likelihood_SameCorpus_Everts(f_x, f_y, f_xy, N, S); });
  for (int stat = 0; stat <= qn::kMutualInfoStatsCount; ++stat) {
    Answers([&] {
      return qn::RelationshipComputation(static_cast<qn::TMutualInfoStats>(stat), f_xy, f_x, f_y, N, window);
    });
  }
  Check(std::isfinite(qn::Dice_Coefficient(f_xy, f_x, f_y)));
  Check(std::isfinite(qn::Overlap_Coefficient(f_xy, f_x, f_y)));
  Check(std::isfinite(qn::Log_Likelihood_Lancaster(f_x, f_y, f_xy, N)));
  Answers([&] { return qn::PercentDiff({f_x, f_y}, {f_xy, N}); });
  qn::TKeyword_entry_rec entry = qn::KWStatsCalculated({f_x, f_y}, {f_xy, N});
  Check(std::isfinite(entry.LL) && std::isfinite(entry.LogRatio) && std::isfinite(entry.BIC_Score));
  Check(entry.f[0] >= 0 && entry.f[1] >= 0 && entry.lemma_words != nullptr);
  // The two terms of the log-likelihood cancel on nearly even frequencies, so
  // its sign may be off by rounding (a few 1e-7 at 2^31 words), never more.
  Check(entry.negative_score ? entry.LL <= 1e-4f : entry.LL >= -1e-4f);
  qn::FreeKeywordEntry(entry);

  const qn::TMatrix2Vector2Doubles table{{{in.Double(), in.Double()}, {in.Double(), in.Double()}}};
  Answers([&] { return qn::LogLikelihoodRatio(table); });
  const double x = in.Double();
  Answers([&] { return qn::XLnX(x); });
  // Log_Gamma steps once per unit up to 10^6; keep the inputs that loop short.
  const double g = std::fabs(x) > 1e3 && std::fabs(x) <= 1e6 ? std::fmod(x, 1e3) : x;
  Check(std::isfinite(qn::Log_Gamma(g)));
  const float score = static_cast<float>(x);
  try {
    const double p = qn::Norberto(score);
    Check(p >= 0 && p <= 1);
  } catch (const qn::EInvalidOp&) {
    Check(std::isnan(score));
  }

  const qn::text_stats_rec a{in.Int(), static_cast<float>(in.Int()), std::fabs(static_cast<float>(in.Int()))};
  const qn::text_stats_rec b{in.Int(), static_cast<float>(in.Int()), std::fabs(static_cast<float>(in.Int()))};
  const qn::text_stats_rec merged = qn::MergedTextStats(a, b);
  Check(std::isfinite(merged.mean) && std::isfinite(merged.std_dev) && merged.std_dev >= 0);

  // Pairs of n items.
  const int32_t n = in.Int();
  const int32_t px = in.Int(), py = in.Int();
  const int32_t pos = qn::SingleArrayPosForXYValue(px, py, n);
  if (pos >= 0) {
    Check(qn::XYFromSingleArrayPosPos(pos, n) == (qn::TIntegerPair{std::max(px, py), std::min(px, py)}));
    Check(qn::SingleArrayPosForXYValue1Based(px + 1, py + 1, n) == pos + 1);
  }
  if (n >= -4 && n <= 64 && pos >= -4 && f_x >= -4 && f_x < 1000) {
    int64_t wx = 1, wy = 0;
    for (int32_t step = 0; step < f_x; ++step) {
      if (++wx > int64_t{n} - 1) {
        ++wy;
        wx = wy + 1;
      }
    }
    Check(qn::XYFromSingleArrayPosPos(f_x, n) == (qn::TIntegerPair{static_cast<int32_t>(wx), static_cast<int32_t>(wy)}));
  }
  uint32_t bits = static_cast<uint32_t>(f_y);
  qn::SetBit32(f_xy, bits);
  Check(qn::IsBitSet32(f_xy, bits) == (f_xy >= 0 && f_xy < 32));

  // The rest of the input as counts and as two sequences.
  std::vector<int32_t> counts;
  std::vector<uint32_t> sx, sy;
  const uint8_t split = in.Byte();
  while (!in.AtEnd()) {
    const uint8_t v = in.Byte();
    counts.push_back(static_cast<int8_t>(v));
    (sx.size() <= split ? sx : sy).push_back(v % 8);
  }
  try {
    const float h = qn::RelativeEntropy(counts);
    Check(h >= 0 && std::isfinite(h));
  } catch (const qn::EMathError&) {
  }
  Answers([&] { return qn::DispersionValue(std::span<const int32_t>(counts)); });
  const float dice = qn::Dice_Coefficient(sx, sy);
  const float overlap = qn::Overlap_Coefficient(sx, sy);
  Check(dice >= 0 && dice <= 1 && overlap >= 0 && overlap <= 1);
  if (sx.size() <= 100 && sy.size() <= 100) Check(overlap == LiteralOverlap(sx, sy));

  std::vector<int32_t> sorted = counts;
  qn::SortAnArrayOfIntegers(sorted, (split & 1) != 0);
  std::vector<int32_t> expected = counts;
  if (split & 1) {
    std::sort(expected.begin(), expected.end(), std::greater<int32_t>());
  } else {
    std::sort(expected.begin(), expected.end());
  }
  Check(sorted == expected);

  // Key-word records whose LLs are the high halves of floats made of the
  // rest of the input (any sign and exponent, infinities, not-a-number
  // values, many ties), three times over so that the counting passes run
  // too, and a null pointer now and then.
  std::vector<qn::TKeyword_entry_rec> records;
  for (int copy = 0; copy < 3; ++copy) {
    for (size_t i = 0; i + 1 < counts.size(); i += 2) {
      const uint32_t high = static_cast<uint32_t>(static_cast<uint8_t>(counts[i])) << 24 |
                            static_cast<uint32_t>(static_cast<uint8_t>(counts[i + 1])) << 16;
      records.emplace_back();
      std::memcpy(&records.back().LL, &high, sizeof high);
    }
  }
  std::vector<qn::TKeyword_entry_rec*> keywords;
  for (size_t i = 0; i < records.size(); ++i) keywords.push_back(i % 37 == 5 ? nullptr : &records[i]);
  const bool descending = (split & 2) != 0;
  const auto present = static_cast<size_t>(std::count_if(keywords.begin(), keywords.end(), [](const auto* r) { return r != nullptr; }));
  qn::SortAnArrayOfKeywords(keywords, descending);
  // Each group in turn: numbers in order (ties by position), not-a-number
  // values by position, then null pointers.
  const auto group = [](const qn::TKeyword_entry_rec* r) { return r == nullptr ? 2 : std::isnan(r->LL) ? 1 : 0; };
  std::vector<bool> seen(records.size());
  for (size_t i = 0; i < keywords.size(); ++i) {
    if (keywords[i] != nullptr) {
      const size_t at = static_cast<size_t>(keywords[i] - records.data());
      Check(at < records.size() && !seen[at]);
      seen[at] = true;
    }
    if (i == 0) continue;
    const qn::TKeyword_entry_rec* a = keywords[i - 1];
    const qn::TKeyword_entry_rec* b = keywords[i];
    Check(group(a) <= group(b));
    if (group(a) != group(b) || b == nullptr) continue;
    if (group(a) == 0 && a->LL != b->LL) {
      Check(descending ? a->LL > b->LL : a->LL < b->LL);
    } else {
      Check(a < b);
    }
  }
  Check(static_cast<size_t>(std::count(seen.begin(), seen.end(), true)) == present);
  return 0;
}
