#include "runtime1/containers/SortableLists.h"

#include <algorithm>

#include "platform/QuickSort.h"
#include "platform/YieldHook.h"

namespace qn {

// Marks the list busy for the length of one sort request, also when a
// comparison or a yield raises.
class T3SortYieldingList::TBusyGuard {
 public:
  explicit TBusyGuard(T3SortYieldingList& list) : fList(list) { fList.fBusySorting = true; }
  ~TBusyGuard() { fList.fBusySorting = false; }
  TBusyGuard(const TBusyGuard&) = delete;
  TBusyGuard& operator=(const TBusyGuard&) = delete;

 private:
  T3SortYieldingList& fList;
};

void T3SortYieldingList::SetAscending(bool first_sort, bool second_sort, bool third_sort) noexcept {
  fAscending = {first_sort, second_sort, third_sort};
}

void T3SortYieldingList::SetSortToAscend(Tsort_num srt, bool Value) noexcept {
  if (srt <= sort_third_sort) fAscending[srt] = Value;
}

bool T3SortYieldingList::ToggledMainSortAscending() noexcept {
  fAscending[sort_first_sort] = !fAscending[sort_first_sort];
  return fAscending[sort_first_sort];
}

int32_t T3SortYieldingList::AscendingSwapped(int32_t comparison) const noexcept {
  const Tsort_num level = std::min(current_sort_rec.current_sort_doing, sort_third_sort);
  // Negating INT32_MIN would overflow; its sign is all that matters.
  if (fAscending[level]) return comparison == INT32_MIN ? INT32_MAX : -comparison;
  return comparison;
}

void T3SortYieldingList::SetBase(void*, int32_t) {}

namespace {

// The three-level list's sorter in one direction: ascending puts items below
// the pivot key first, descending those above it. A sorter per direction keeps
// the direction out of the comparisons.
template <bool Ascending, typename List>
struct TDirectedSorter {
  List& list;
  TCompareFunctOfObject compare;
  void** items = nullptr;
  bool BeginPartition(int32_t, int32_t R, int32_t middle) {
    MyYieldProcess();
    // Nothing may change the items during a yield; if something shrank the
    // list all the same, stop rather than read past its end.
    if (R >= list.Count()) return false;
    items = list.List();
    list.base_itemnum = middle;
    list.SetBase(items[middle], list.current_sort_rec.current_sort_var);
    return true;
  }
  bool ItemBeforePivot(int32_t i) {
    list.comparison_itemnum = i;
    const int32_t c = compare(items[i]);
    return Ascending ? c < 0 : c > 0;
  }
  bool PivotBeforeItem(int32_t j) {
    list.comparison_itemnum = j;
    const int32_t c = compare(items[j]);
    return Ascending ? c > 0 : c < 0;
  }
  void Exchange(int32_t i, int32_t j) { std::swap(items[i], items[j]); }
};

}  // namespace

// The system's quicksort, comparing with the pivot key captured by SetBase in
// the direction of the level being sorted; the scans run past the range's
// ends. It yields before each partition step.
void T3SortYieldingList::QuickSort(TCompareFunctOfObject Compare, int32_t L, int32_t R) {
  constexpr platform::TQuickSortScans kScans = platform::TQuickSortScans::kRunPastEnds;
  if (fAscending[std::min(current_sort_rec.current_sort_doing, sort_third_sort)]) {
    platform::BoundedQuickSort<kScans>(L, R, TDirectedSorter<true, T3SortYieldingList>{*this, Compare});
  } else {
    platform::BoundedQuickSort<kScans>(L, R, TDirectedSorter<false, T3SortYieldingList>{*this, Compare});
  }
}

void T3SortYieldingList::DoAPrivateSort(TCompareFunctOfObject Compare, int32_t sortvar,
                                        int32_t start, int32_t finish) {
  sorted = true;
  current_sort_rec.current_sort_var = sortvar;
  if (!Compare.Assigned()) return;
  QuickSort(Compare, std::max(start, 0), std::min(finish, Count() - 1));
}

void T3SortYieldingList::NextLevelPass(TCompareFunctOfObject Compare, int32_t a, int32_t b,
                                       int32_t start, int32_t finish, const int32_t* thenKey) {
  if (a == b) return;
  current_sort_rec.current_sort_var = a;
  int32_t c = start;
  for (;;) {
    if (finish >= Count()) return;  // the list shrank during a yield
    void* const* items = List();
    base_itemnum = c;
    SetBase(items[c], a);
    int32_t i = c;
    while (i < finish) {
      comparison_itemnum = i + 1;
      if (Compare(items[i + 1]) != 0) break;
      ++i;
    }
    if (i > c) {
      const Tsort_num level = current_sort_rec.current_sort_doing;
      current_sort_rec.current_sort_doing = static_cast<Tsort_num>(std::min(level + 1, 2));
      current_sort_rec.current_sort_var = b;
      DoAPrivateSort(Compare, b, c, i);
      if (thenKey != nullptr) NextLevelPass(Compare, b, *thenKey, c, i, nullptr);
      current_sort_rec.current_sort_doing = level;
      current_sort_rec.current_sort_var = a;
    } else {
      i = c + 1;
    }
    if (i >= finish) return;
    c = i;
  }
}

bool T3SortYieldingList::ClampedRange(int32_t& start, int32_t& finish) const noexcept {
  if (start < 0) start = 0;
  if (finish >= Count()) finish = Count() - 1;
  return start < finish;
}

void T3SortYieldingList::DoASingleSort(TCompareFunctOfObject Compare, int32_t sortvar,
                                       int32_t start, int32_t finish) {
  if (fBusySorting) return;
  TBusyGuard busy(*this);
  if (!ClampedRange(start, finish)) return;
  current_sort_rec.current_sort_doing = sort_first_sort;
  DoAPrivateSort(Compare, sortvar, start, finish);
}

void T3SortYieldingList::DoASingleSort(TCompareFunctOfObject Compare, int32_t sortvar) {
  DoASingleSort(Compare, sortvar, 0, Count() - 1);
}

void T3SortYieldingList::DoADoubleSort(TCompareFunctOfObject Compare, int32_t SortVarFirst,
                                       int32_t SortVarSecond, int32_t start, int32_t finish) {
  if (fBusySorting) return;
  TBusyGuard busy(*this);
  if (!ClampedRange(start, finish)) return;
  current_sort_rec.current_sort_doing = sort_first_sort;
  DoAPrivateSort(Compare, SortVarFirst, start, finish);
  NextLevelPass(Compare, SortVarFirst, SortVarSecond, start, finish, nullptr);
}

void T3SortYieldingList::DoADoubleSort(TCompareFunctOfObject Compare, int32_t SortVarFirst,
                                       int32_t SortVarSecond) {
  DoADoubleSort(Compare, SortVarFirst, SortVarSecond, 0, Count() - 1);
}

void T3SortYieldingList::DoATrebleSort(TCompareFunctOfObject Compare, int32_t SortVarFirst,
                                       int32_t SortVarSecond, int32_t SortVarThird, int32_t start,
                                       int32_t finish) {
  if (fBusySorting) return;
  TBusyGuard busy(*this);
  if (!ClampedRange(start, finish)) return;
  current_sort_rec.current_sort_doing = sort_first_sort;
  DoAPrivateSort(Compare, SortVarFirst, start, finish);
  if (SortVarFirst != SortVarSecond) {
    // Strict three levels: the third key orders runs that are equal on both
    // the first and the second key, never across two first-key groups.
    NextLevelPass(Compare, SortVarFirst, SortVarSecond, start, finish, &SortVarThird);
    current_sort_rec.current_sort_doing = sort_second_sort;
  } else {
    current_sort_rec.current_sort_doing = sort_second_sort;
    NextLevelPass(Compare, SortVarSecond, SortVarThird, start, finish, nullptr);
  }
}

void T3SortYieldingList::DoATrebleSort(TCompareFunctOfObject Compare, int32_t SortVarFirst,
                                       int32_t SortVarSecond, int32_t SortVarThird) {
  DoATrebleSort(Compare, SortVarFirst, SortVarSecond, SortVarThird, 0, Count() - 1);
}

namespace {

// Empties the yield hook and puts it back, also when the sort raises.
class TYieldSilencer {
 public:
  TYieldSilencer() : fSaved(AYieldProcessProc) { AYieldProcessProc.Clear(); }
  ~TYieldSilencer() { AYieldProcessProc = fSaved; }
  TYieldSilencer(const TYieldSilencer&) = delete;
  TYieldSilencer& operator=(const TYieldSilencer&) = delete;

 private:
  TYieldProcessProc fSaved;
};

}  // namespace

void T3SortNonYieldingList::DoAPrivateSort(TCompareFunctOfObject Compare, int32_t sortvar,
                                           int32_t start, int32_t finish) {
  TYieldSilencer silence;
  T3SortYieldingList::DoAPrivateSort(Compare, sortvar, start, finish);
}

}  // namespace qn
