#include "platform/QuickSort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace qn::platform {
namespace {

// The answers of a comparison: by key (with many ties), or noise that is no
// order at all. Noise is drawn from a sequence, so two sorts get the same
// answers only when they ask the same questions in the same order.
struct TJudge {
  bool noisy = false;
  std::mt19937 noise{1};
  bool logging = true;
  std::string log{};  // every question and exchange, in order

  int Compare(int32_t item, int32_t pivot, char scan) {
    if (logging) {
      log += scan;
      log += std::to_string(item);
    }
    if (noisy) return static_cast<int>(noise() % 3) - 1;
    return (item > pivot) - (item < pivot);
  }
  void Exchanged(ptrdiff_t i, ptrdiff_t j) {
    if (!logging) return;
    log += 'x';
    log += std::to_string(i) + ',' + std::to_string(j);
  }
};

// Literal transcriptions of the two forms the lists sorted with before they
// shared one quicksort. Scans bounded inside the range, no forced progress
// (the string list's and the tree's form):
void StopAtEndsLiteral(std::vector<int32_t>& a, ptrdiff_t lo, ptrdiff_t hi, TJudge& judge) {
  while (lo < hi) {
    const int32_t pivot = a[static_cast<size_t>((lo + hi) / 2)];
    ptrdiff_t i = lo;
    ptrdiff_t j = hi;
    do {
      while (i < hi && judge.Compare(a[static_cast<size_t>(i)], pivot, 'i') < 0) ++i;
      while (j > lo && judge.Compare(a[static_cast<size_t>(j)], pivot, 'j') > 0) --j;
      if (i <= j) {
        if (i != j) {
          std::swap(a[static_cast<size_t>(i)], a[static_cast<size_t>(j)]);
          judge.Exchanged(i, j);
        }
        ++i;
        --j;
      }
    } while (i <= j);
    if (j - lo < hi - i) {
      if (lo < j) StopAtEndsLiteral(a, lo, j, judge);
      lo = i;
    } else {
      if (i < hi) StopAtEndsLiteral(a, i, hi, judge);
      hi = j;
    }
  }
}

// Scans that may step past the range, then forced progress (the pointer
// list's, the number arrays' and the three-level list's form):
void RunPastEndsLiteral(std::vector<int32_t>& a, ptrdiff_t L, ptrdiff_t R, TJudge& judge) {
  while (L < R) {
    ptrdiff_t I = L;
    ptrdiff_t J = R;
    const int32_t pivot = a[static_cast<size_t>(L + (R - L) / 2)];
    do {
      while (I <= R && judge.Compare(a[static_cast<size_t>(I)], pivot, 'i') < 0) ++I;
      while (J >= L && judge.Compare(a[static_cast<size_t>(J)], pivot, 'j') > 0) --J;
      if (I <= J) {
        if (I != J) {
          std::swap(a[static_cast<size_t>(I)], a[static_cast<size_t>(J)]);
          judge.Exchanged(I, J);
        }
        ++I;
        --J;
      }
    } while (I <= J);
    if (I == L) ++I;
    if (J == R) --J;
    if (J - L < R - I) {
      if (L < J) RunPastEndsLiteral(a, L, J, judge);
      L = I;
    } else {
      if (I < R) RunPastEndsLiteral(a, I, R, judge);
      R = J;
    }
  }
}

// What the sorters of these tests saw, kept outside them (the sort works on
// its own copy of the sorter).
struct TSeen {
  int64_t partitions = 0;
  const char* top = static_cast<const char*>(__builtin_frame_address(0));
  ptrdiff_t deepest = 0;
};

// A sorter over an int array that checks every index it is handed against the
// range being sorted and records how deep the stack went.
struct TArraySorter {
  std::vector<int32_t>& a;
  TJudge& judge;
  TSeen& seen;
  ptrdiff_t first;
  ptrdiff_t last;
  int32_t pivot = 0;

  void Check(ptrdiff_t k) const {
    if (k < first || k > last) throw std::out_of_range("index " + std::to_string(k));
  }
  bool BeginPartition(ptrdiff_t lo, ptrdiff_t hi, ptrdiff_t middle) {
    Check(lo);
    Check(hi);
    Check(middle);
    EXPECT_TRUE(lo <= middle && middle <= hi);
    // Frame addresses, not addresses of locals: under AddressSanitizer's
    // use-after-return checking, locals live on a separate fake stack.
    seen.deepest = std::max(seen.deepest, seen.top - static_cast<const char*>(__builtin_frame_address(0)));
    ++seen.partitions;
    pivot = a[static_cast<size_t>(middle)];
    return true;
  }
  bool ItemBeforePivot(ptrdiff_t i) {
    Check(i);
    return judge.Compare(a[static_cast<size_t>(i)], pivot, 'i') < 0;
  }
  bool PivotBeforeItem(ptrdiff_t j) {
    Check(j);
    return judge.Compare(a[static_cast<size_t>(j)], pivot, 'j') > 0;
  }
  void Exchange(ptrdiff_t i, ptrdiff_t j) {
    Check(i);
    Check(j);
    EXPECT_LT(i, j);
    std::swap(a[static_cast<size_t>(i)], a[static_cast<size_t>(j)]);
    judge.Exchanged(i, j);
  }
};

template <TQuickSortScans Scans>
void Sort(std::vector<int32_t>& a, ptrdiff_t lo, ptrdiff_t hi, TJudge& judge) {
  TSeen seen;
  BoundedQuickSort<Scans>(lo, hi, TArraySorter{a, judge, seen, lo, hi});
}

TEST(BoundedQuickSort, AsksTheSameQuestionsAndLeavesTheSameOrderAsTheFormsItReplaces) {
  std::mt19937 rng(2026);
  for (int round = 0; round < 600; ++round) {
    const int n = 1 + static_cast<int>(rng() % 300);
    const int spread = 1 + static_cast<int>(rng() % 20);  // many ties
    std::vector<int32_t> input(static_cast<size_t>(n));
    for (int32_t& v : input) v = static_cast<int32_t>(rng() % static_cast<uint32_t>(spread));
    // A sub-range as well as the whole array: nothing outside it may move.
    const ptrdiff_t lo = round % 3 == 0 ? static_cast<ptrdiff_t>(rng() % static_cast<uint32_t>(n)) : 0;
    const ptrdiff_t hi = n - 1;
    const bool noisy = round % 2 == 1;
    for (bool runPast : {false, true}) {
      std::vector<int32_t> expected = input, actual = input;
      TJudge before{noisy, std::mt19937(static_cast<uint32_t>(round))};
      TJudge after{noisy, std::mt19937(static_cast<uint32_t>(round))};
      if (runPast) {
        RunPastEndsLiteral(expected, lo, hi, before);
        Sort<TQuickSortScans::kRunPastEnds>(actual, lo, hi, after);
      } else {
        StopAtEndsLiteral(expected, lo, hi, before);
        Sort<TQuickSortScans::kStopAtEnds>(actual, lo, hi, after);
      }
      ASSERT_EQ(actual, expected) << "round " << round << " runPast " << runPast;
      ASSERT_EQ(after.log, before.log) << "round " << round << " runPast " << runPast;
      if (!noisy) {
        ASSERT_TRUE(std::is_sorted(actual.begin() + lo, actual.end()));
      }
      // Always a permutation of the input.
      std::sort(actual.begin(), actual.end());
      std::vector<int32_t> sortedInput = input;
      std::sort(sortedInput.begin(), sortedInput.end());
      ASSERT_EQ(actual, sortedInput);
    }
  }
}

TEST(BoundedQuickSort, InconsistentComparisonsStayInsideTheRangeAndEnd) {
  // Comparisons that always say "before", always "after", or change their mind:
  // every index the sorter sees is checked against the range, and the sort must
  // end. The check throws, so a scan leaving the range fails the test.
  const int n = 2000;
  for (int kind = 0; kind < 3; ++kind) {
    for (bool runPast : {false, true}) {
      std::vector<int32_t> a(n);
      for (int i = 0; i < n; ++i) a[static_cast<size_t>(i)] = i % 17;
      struct TLiar : TArraySorter {
        int kind;
        std::mt19937* noise;
        int Answer() { return kind == 0 ? -1 : kind == 1 ? 1 : static_cast<int>((*noise)() % 3) - 1; }
        bool ItemBeforePivot(ptrdiff_t i) {
          Check(i);
          return Answer() < 0;
        }
        bool PivotBeforeItem(ptrdiff_t j) {
          Check(j);
          return Answer() > 0;
        }
      };
      TJudge judge;
      judge.logging = false;
      TSeen seen;
      std::mt19937 noise(5);
      TLiar liar{{a, judge, seen, 100, n - 101}, kind, &noise};
      if (runPast) {
        EXPECT_NO_THROW(BoundedQuickSort<TQuickSortScans::kRunPastEnds>(ptrdiff_t{100}, ptrdiff_t{n - 101}, liar));
      } else {
        EXPECT_NO_THROW(BoundedQuickSort<TQuickSortScans::kStopAtEnds>(ptrdiff_t{100}, ptrdiff_t{n - 101}, liar));
      }
      // Every pass shrinks the range: fewer partitions than items.
      EXPECT_LT(seen.partitions, n) << "kind " << kind << " runPast " << runPast;
      for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(a[static_cast<size_t>(i)], i % 17);
        EXPECT_EQ(a[static_cast<size_t>(n - 1 - i)], (n - 1 - i) % 17);
      }
    }
  }
}

// A permutation on which the middle item of every remaining left part is its
// largest: left-first recursion then goes one level deeper per item.
std::vector<int32_t> MiddlePivotKiller(int n) {
  std::vector<int> slot(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) slot[static_cast<size_t>(i)] = i;
  std::vector<int32_t> a(static_cast<size_t>(n));
  for (int r = n - 1; r >= 0; --r) {
    const int mid = r / 2;
    a[static_cast<size_t>(slot[static_cast<size_t>(mid)])] = r;
    std::swap(slot[static_cast<size_t>(mid)], slot[static_cast<size_t>(r)]);
  }
  return a;
}

TEST(BoundedQuickSort, CallDepthStaysLogarithmicOnSortedReversedEqualAndAdversarialInput) {
  // The adversarial input costs a quadratic number of comparisons, hence the
  // modest length.
  const int n = 8000;
  for (int shape = 0; shape < 4; ++shape) {
    std::vector<int32_t> a(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) a[static_cast<size_t>(i)] = shape == 0 ? i : shape == 1 ? n - i : 7;
    if (shape == 3) a = MiddlePivotKiller(n);
    for (bool runPast : {false, true}) {
      std::vector<int32_t> b = a;
      TJudge judge;
      judge.logging = false;
      TSeen seen;
      TArraySorter sorter{b, judge, seen, 0, n - 1};
      if (runPast) {
        BoundedQuickSort<TQuickSortScans::kRunPastEnds>(ptrdiff_t{0}, ptrdiff_t{n - 1}, sorter);
      } else {
        BoundedQuickSort<TQuickSortScans::kStopAtEnds>(ptrdiff_t{0}, ptrdiff_t{n - 1}, sorter);
      }
      ASSERT_TRUE(std::is_sorted(b.begin(), b.end())) << "shape " << shape;
      // log2(8000) < 13 levels; left-first recursion on the adversarial input
      // would take 8,000 frames, hundreds of KB of stack.
      EXPECT_LT(seen.deepest, 32 * 1024) << "shape " << shape << " runPast " << runPast;
    }
  }
  // The adversarial input really defeats left-first recursion on the middle pivot.
  std::vector<int32_t> killer = MiddlePivotKiller(4000);
  int depth = 0, maxDepth = 0;
  std::function<void(int, int)> leftFirst = [&](int L, int R) {
    maxDepth = std::max(maxDepth, ++depth);
    int I, J;
    do {
      I = L;
      J = R;
      const int32_t p = killer[static_cast<size_t>((L + R) / 2)];
      do {
        while (killer[static_cast<size_t>(I)] < p) ++I;
        while (killer[static_cast<size_t>(J)] > p) --J;
        if (I <= J) std::swap(killer[static_cast<size_t>(I++)], killer[static_cast<size_t>(J--)]);
      } while (I <= J);
      if (L < J) leftFirst(L, J);
      L = I;
    } while (I < R);
    --depth;
  };
  leftFirst(0, 3999);
  EXPECT_GE(maxDepth, 3998);
}

TEST(BoundedQuickSort, PartsPutAsideFitWithTheNarrowestIndex) {
  // Sorted and reversed distinct keys split every range in halves, which puts
  // the most parts aside at once (about log2 of the length); with 16-bit
  // indexes that comes close to the room the sort keeps for them.
  const int n = 32000;
  for (int shape = 0; shape < 3; ++shape) {
    std::vector<int32_t> a(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) a[static_cast<size_t>(i)] = shape == 0 ? i : shape == 1 ? n - i : (i * 7919) % n;
    for (bool runPast : {false, true}) {
      std::vector<int32_t> b = a;
      struct TShortSorter {
        std::vector<int32_t>& a;
        int64_t partitions = 0;
        int32_t pivot = 0;
        bool BeginPartition(int16_t lo, int16_t hi, int16_t middle) {
          EXPECT_TRUE(0 <= lo && lo <= middle && middle <= hi);
          pivot = a[static_cast<size_t>(middle)];
          return true;
        }
        bool ItemBeforePivot(int16_t i) { return a.at(static_cast<size_t>(i)) < pivot; }
        bool PivotBeforeItem(int16_t j) { return pivot < a.at(static_cast<size_t>(j)); }
        void Exchange(int16_t i, int16_t j) { std::swap(a.at(static_cast<size_t>(i)), a.at(static_cast<size_t>(j))); }
      } sorter{b};
      if (runPast) {
        BoundedQuickSort<TQuickSortScans::kRunPastEnds>(int16_t{0}, static_cast<int16_t>(n - 1), sorter);
      } else {
        BoundedQuickSort<TQuickSortScans::kStopAtEnds>(int16_t{0}, static_cast<int16_t>(n - 1), sorter);
      }
      std::vector<int32_t> expected = a;
      std::sort(expected.begin(), expected.end());
      EXPECT_EQ(b, expected) << "shape " << shape << " runPast " << runPast;
    }
  }
}

TEST(BoundedQuickSort, ARangeTheSorterRefusesIsLeftAsItStands) {
  std::vector<int32_t> a{5, 4, 3, 2, 1, 0, 9, 8};
  struct TRefusing {
    std::vector<int32_t>& a;
    int32_t pivot = 0;
    // Only ranges of more than five items are partitioned.
    bool BeginPartition(ptrdiff_t lo, ptrdiff_t hi, ptrdiff_t middle) {
      pivot = a[static_cast<size_t>(middle)];
      return hi - lo > 4;
    }
    bool ItemBeforePivot(ptrdiff_t i) { return a[static_cast<size_t>(i)] < pivot; }
    bool PivotBeforeItem(ptrdiff_t j) { return pivot < a[static_cast<size_t>(j)]; }
    void Exchange(ptrdiff_t i, ptrdiff_t j) { std::swap(a[static_cast<size_t>(i)], a[static_cast<size_t>(j)]); }
  } refusing{a};
  BoundedQuickSort<TQuickSortScans::kStopAtEnds>(ptrdiff_t{0}, ptrdiff_t{7}, refusing);
  // One partition around 2 (slot 3) into 0..2 and 3..7, both too short.
  EXPECT_EQ(a, (std::vector<int32_t>{0, 1, 2, 3, 4, 5, 9, 8}));
}

TEST(ArrayQuickSort, SortsValuesWithTheirOwnComparison) {
  std::vector<double> v{3.5, -1.0, 2.0, 2.0, 0.0, 10.0};
  ArrayQuickSort(v.data(), 0, 5, [](double x, double y) { return (x > y) - (x < y); });
  EXPECT_EQ(v, (std::vector<double>{-1.0, 0.0, 2.0, 2.0, 3.5, 10.0}));
  ArrayQuickSort(v.data(), 1, 4, [](double x, double y) { return (y > x) - (y < x); });
  EXPECT_EQ(v, (std::vector<double>{-1.0, 3.5, 2.0, 2.0, 0.0, 10.0}));
}

}  // namespace
}  // namespace qn::platform
