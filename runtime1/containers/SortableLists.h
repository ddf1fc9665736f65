// Pointer lists sortable on up to three keys.
//
// T3SortYieldingList sorts its items by one key, then by a second key inside
// runs of equal first keys, then by a third inside runs of equal second keys,
// each level ascending or descending on its own. The items are addresses that
// a descendant owns and interprets: the descendant captures a pivot key from
// an item (SetBase) and compares other items with it (the TCompareFunctOfObject
// it passes in). The list yields to the user interface (MyYieldProcess) once
// per partition step, so a long sort keeps the host's windows alive;
// T3SortNonYieldingList switches the yield hook off while it sorts.
//
// The order in which items with equal keys end up is whatever the quicksort
// leaves; callers see it (it decides, for instance, the order of hits with the
// same position), so the algorithm is kept exactly. The quicksort sorts the
// smaller part of each partition first and puts the larger one aside: the
// order is the same as with left-first recursion, without recursion, and
// fewer than log2(Count) parts are put aside whatever the input.
//
// Re-entry: a sort requested while one runs (from a yield, or from inside a
// comparison) returns at once without sorting.
#pragma once

#include <array>
#include <cstdint>

#include "platform/Callbacks.h"
#include "platform/Export.h"
#include "runtime1/containers/PointerList.h"

namespace qn {

enum Tsort_num : uint8_t { sort_first_sort, sort_second_sort, sort_third_sort };

using TAscendingSort = std::array<bool, 3>;

struct TCurrentSortRec {
  Tsort_num current_sort_doing = sort_first_sort;  // the level being sorted
  int32_t current_sort_var = 0;                    // the key of that level
};

// Compares item a with the pivot key last captured by SetBase: negative when a
// belongs before the pivot in ascending order, 0 when equal, positive after.
using TCompareFunctOfObject = platform::TMethod<int32_t(void* a)>;

class QN_API T3SortYieldingList : public TPointerList {
 public:
  T3SortYieldingList() = default;

  // Level and key being sorted.
  TCurrentSortRec current_sort_rec;
  // True once any pass has run; never cleared by this class.
  bool sorted = false;
  // Index of the item being compared.
  int32_t comparison_itemnum = 0;
  // Index of the item whose key is the current pivot.
  int32_t base_itemnum = 0;

  bool BusySorting() const noexcept { return fBusySorting; }
  const TAscendingSort& Ascending() const noexcept { return fAscending; }

  void SetAscending(bool first_sort, bool second_sort, bool third_sort) noexcept;
  void SetSortToAscend(Tsort_num srt, bool Value) noexcept;
  // Inverts the first level's direction and returns the new value.
  bool ToggledMainSortAscending() noexcept;
  // -comparison when the level being sorted is ascending, else comparison.
  int32_t AscendingSwapped(int32_t comparison) const noexcept;

  // One quicksort pass over items start..finish on key sortvar (no clamping).
  virtual void DoAPrivateSort(TCompareFunctOfObject Compare, int32_t sortvar, int32_t start,
                              int32_t finish);
  // Captures the pivot key of item P for key sortvar; descendants override it.
  virtual void SetBase(void* P, int32_t sortvar);

  // Sorts start..finish (clamped to the list) on one key.
  virtual void DoASingleSort(TCompareFunctOfObject Compare, int32_t sortvar, int32_t start,
                             int32_t finish);
  virtual void DoASingleSort(TCompareFunctOfObject Compare, int32_t sortvar);
  // On SortVarFirst, then on SortVarSecond inside runs of equal first keys.
  virtual void DoADoubleSort(TCompareFunctOfObject Compare, int32_t SortVarFirst,
                             int32_t SortVarSecond, int32_t start, int32_t finish);
  virtual void DoADoubleSort(TCompareFunctOfObject Compare, int32_t SortVarFirst,
                             int32_t SortVarSecond);
  // As the double sort, then on SortVarThird inside runs that are equal on
  // both the first and the second key.
  virtual void DoATrebleSort(TCompareFunctOfObject Compare, int32_t SortVarFirst,
                             int32_t SortVarSecond, int32_t SortVarThird, int32_t start,
                             int32_t finish);
  virtual void DoATrebleSort(TCompareFunctOfObject Compare, int32_t SortVarFirst,
                             int32_t SortVarSecond, int32_t SortVarThird);

 protected:
  // The partitioning quicksort over L..R with the current key and level.
  void QuickSort(TCompareFunctOfObject Compare, int32_t L, int32_t R);
  // Sorts on key b, one level down, every run of items that are equal on key
  // a; with thenKey, each such run is then sorted on *thenKey inside its runs
  // of equal b, two levels down.
  void NextLevelPass(TCompareFunctOfObject Compare, int32_t a, int32_t b, int32_t start,
                     int32_t finish, const int32_t* thenKey);

 private:
  class TBusyGuard;
  // Clamps start..finish to the list; false when fewer than two items remain.
  bool ClampedRange(int32_t& start, int32_t& finish) const noexcept;

  bool fBusySorting = false;
  TAscendingSort fAscending{false, false, false};
};

// The same list with the yield hook switched off during each pass, for sorts
// that must not let the host re-enter (or that are too short to need it).
class QN_API T3SortNonYieldingList : public T3SortYieldingList {
 public:
  void DoAPrivateSort(TCompareFunctOfObject Compare, int32_t sortvar, int32_t start,
                      int32_t finish) override;
};

}  // namespace qn
