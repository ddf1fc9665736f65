// The quicksort every list of the system sorts with.
//
// Hoare's partition around the item in the middle of the range, as the lists
// have always been sorted. It is not stable: the order in which it leaves
// equal items is part of what the lists' callers see (the order of hits at
// one position, of equal frequencies in a word list), so the steps are fixed
// and every list takes the same ones. After each partition the smaller part
// is sorted first and the larger one put aside until it is done; the two
// parts are disjoint, so the order is the same as with left-first recursion.
// There is no recursion: one call sorts the whole range, with fewer than
// log2 of its length parts put aside at any time on any input (sorted,
// reversed, all equal, or built to defeat the middle pivot).
//
// What the items are, how they are compared and how two of them change places
// is the caller's: a sorter object answers four calls. The sorter is taken by
// value and is the only one the sort uses; its address is never handed on, so
// that its fields can stay in registers across the calls of an opaque
// comparison. What the caller must see afterwards (counters, the list being
// sorted) belongs behind a reference.
//
//   bool BeginPartition(Index lo, Index hi, Index middle)
//       Called before each partition of lo..hi; captures the pivot, which is
//       the item at middle (by value, or by following it as it moves). False
//       abandons lo..hi as it stands (a list that changed under a yield).
//   bool ItemBeforePivot(Index i)  item i belongs strictly before the pivot
//   bool PivotBeforeItem(Index j)  the pivot belongs strictly before item j
//   void Exchange(Index i, Index j)   i < j; the items at i and j change places
//
// A comparison that is no consistent order (one that changes its mind, or a
// not-a-number among floating values) can neither make a scan leave the range
// nor keep a partition from shrinking it: the sort ends, inside lo..hi, in an
// order nobody should rely on. Where the scans stop is a choice of the caller
// (TQuickSortScans): with a consistent comparison both choices give the same
// order and differ only in the comparisons asked at the range's ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace qn::platform {

enum class TQuickSortScans : uint8_t {
  // The left scan stops at the range's last item and the right scan at its
  // first without asking the comparison there.
  kStopAtEnds,
  // Each scan asks the comparison up to the range's far end and may step one
  // item past it.
  kRunPastEnds,
};

template <TQuickSortScans Scans, typename Index, typename Sorter>
void BoundedQuickSort(Index lo, Index hi, Sorter sorter) {
  static_assert(std::is_signed_v<Index>, "the right scan may step below lo");
  // The larger parts put aside while a smaller one is sorted, last one first.
  // Each part put aside leaves a range at most half as long to sort, so there
  // are fewer of them than bits in Index.
  struct TRange {
    Index lo;
    Index hi;
  };
  TRange aside[sizeof(Index) * 8];
  unsigned asideCount = 0;
  for (;;) {
    while (lo < hi) {
      if (!sorter.BeginPartition(lo, hi, static_cast<Index>(lo + (hi - lo) / 2))) break;
      Index i = lo;
      Index j = hi;
      // A scan that goes on is marked likely so that each is laid out as a
      // loop closed by one backward branch, as a hand-written scan is; the
      // other way round, every step of a long scan took two jumps.
      do {
        if constexpr (Scans == TQuickSortScans::kStopAtEnds) {
          while (i < hi && sorter.ItemBeforePivot(i)) [[likely]] ++i;
          while (j > lo && sorter.PivotBeforeItem(j)) [[likely]] --j;
        } else {
          while (i <= hi && sorter.ItemBeforePivot(i)) [[likely]] ++i;
          while (j >= lo && sorter.PivotBeforeItem(j)) [[likely]] --j;
        }
        if (i <= j) {
          if (i != j) sorter.Exchange(i, j);
          ++i;
          --j;
        }
      } while (i <= j);
      // A consistent comparison always exchanges at least once (the pivot's
      // own item stops both scans), so both parts are shorter than lo..hi. An
      // inconsistent one may let a scan run through the whole range without
      // an exchange: then the first (last) item stays where it is and the
      // rest is sorted, so that every pass still shrinks the range.
      if (i == lo) ++i;
      if (j == hi) --j;
      if (j - lo < hi - i) {
        if (i < hi) aside[asideCount++] = {i, hi};
        hi = j;
      } else {
        if (lo < j) aside[asideCount++] = {lo, j};
        lo = i;
      }
    }
    if (asideCount == 0) return;
    --asideCount;
    lo = aside[asideCount].lo;
    hi = aside[asideCount].hi;
  }
}

// The quicksort over items[L..R] of an array of copyable values (pointers,
// numbers) with compare(item, pivot) < 0 when the item belongs before the
// pivot and > 0 when after; the pivot is copied out of the middle slot when a
// partition starts. The scans run past the ends (kRunPastEnds). The sort
// works on its own copy of compare (a function pointer or a small functor),
// which it can keep in a register; the caller's is never called.
template <typename T, typename Compare>
void ArrayQuickSort(T* items, ptrdiff_t L, ptrdiff_t R, Compare&& compare) {
  struct TSorter {
    T* items;
    std::decay_t<Compare> compare;
    T pivot{};
    bool BeginPartition(ptrdiff_t, ptrdiff_t, ptrdiff_t middle) {
      pivot = items[middle];
      return true;
    }
    bool ItemBeforePivot(ptrdiff_t i) { return compare(items[i], pivot) < 0; }
    bool PivotBeforeItem(ptrdiff_t j) { return compare(items[j], pivot) > 0; }
    void Exchange(ptrdiff_t i, ptrdiff_t j) {
      T t = items[i];
      items[i] = items[j];
      items[j] = t;
    }
  };
  BoundedQuickSort<TQuickSortScans::kRunPastEnds>(L, R, TSorter{items, compare});
}

}  // namespace qn::platform
