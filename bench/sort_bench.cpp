// Three-key sorting of a large result list: T3SortNonYieldingList (the way
// the suite's hit and row lists sort) against std::sort with the same
// three-key comparison over the same pointer array, in the same run.
//
// Records are small structs reached through pointers, as in the suite's
// lists. Keys: the first with 100 values, the second with 1000, the third
// 32-bit random, so that the later levels really sort runs of ties.
//
// The other users of the shared quicksort, each on one key of the same
// records against std::sort of the same pointers on that key:
//   BM_PointerListSort       TPointerList::Sort (the typed lists' sorts)
//   BM_StringListCustomSort  TStringList::CustomSort, comparing entries by index
//   BM_TreeSortBuiltArray    a tree's in-order array re-sorted on another key
//   BM_SortSingles           the statistics' SortAnArrayOfSingles
//   BM_StdSortOneKey         the baseline: std::sort on the first key
//
// The shared quicksort must cost no more than a loop written out by hand for
// one list; two such loops, taking exactly the same steps, are measured beside
// the lists that use it (built in this file, with the comparison hidden from
// the optimiser as it is from the library):
//   BM_PointerListSortByHand       beside BM_PointerListSort
//   BM_T3SortNonYieldingByHand     beside BM_T3SortNonYielding
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <random>
#include <vector>

#include "lemmatiser/General_Trees.h"
#include "platform/YieldHook.h"
#include "platform/StringList.h"
#include "runtime1/containers/SortableLists.h"
#include "runtime2/statistics/maths_routines.h"

namespace {

struct Row {
  int32_t key[3];
  int32_t payload;
};

struct Data {
  std::vector<Row> rows;
  std::vector<void*> shuffled;  // the unsorted order every iteration starts from
};

const Data& TheData(int64_t n) {
  static Data data;
  if (static_cast<int64_t>(data.rows.size()) != n) {
    std::mt19937 rng(2024);
    data.rows.resize(static_cast<size_t>(n));
    for (Row& r : data.rows) {
      r.key[0] = static_cast<int32_t>(rng() % 100);
      r.key[1] = static_cast<int32_t>(rng() % 1000);
      r.key[2] = static_cast<int32_t>(rng());
      r.payload = 0;
    }
    data.shuffled.clear();
    for (Row& r : data.rows) data.shuffled.push_back(&r);
    std::shuffle(data.shuffled.begin(), data.shuffled.end(), rng);
  }
  return data;
}

// A pointer list (of any kind) that Load puts in a given order, reusing its
// slots after the first call, as the std::sort side copies its vector. A
// derived class, as Reserve is protected.
template <typename List>
class TLoadable : public List {
 public:
  void Load(const std::vector<void*>& items) {
    if (this->Count() != static_cast<int32_t>(items.size())) {
      this->Clear();
      this->Reserve(static_cast<int32_t>(items.size()));
      for (void* p : items) this->Add(p);
    } else {
      std::copy(items.begin(), items.end(), this->List());
    }
  }
};

class TRowList : public TLoadable<qn::T3SortNonYieldingList> {
 public:
  void SetBase(void* P, int32_t sortvar) override { fBase = static_cast<Row*>(P)->key[sortvar]; }
  int32_t Compare(void* a) {
    const int32_t k = static_cast<Row*>(a)->key[current_sort_rec.current_sort_var];
    return (k > fBase) - (k < fBase);
  }

 private:
  int32_t fBase = 0;
};

// The same list sorting each level with a partition loop written out by hand:
// the three-level list's steps (middle pivot captured by SetBase, scans that
// may step past the range, forced progress, smaller part by recursion).
class TRowListByHand : public TRowList {
 public:
  void DoAPrivateSort(qn::TCompareFunctOfObject Compare, int32_t sortvar, int32_t start,
                      int32_t finish) override {
    sorted = true;
    current_sort_rec.current_sort_var = sortvar;
    if (!Compare.Assigned()) return;
    QuickSortByHand(Compare, std::max(start, 0), std::min(finish, Count() - 1));
  }

 private:
  __attribute__((noinline)) void QuickSortByHand(qn::TCompareFunctOfObject Compare, int32_t L,
                                                 int32_t R) {
    while (L < R) {
      qn::MyYieldProcess();
      if (R >= Count()) return;
      void** items = List();
      int32_t I = L;
      int32_t J = R;
      base_itemnum = L + (R - L) / 2;
      SetBase(items[base_itemnum], current_sort_rec.current_sort_var);
      const bool ascending =
          Ascending()[std::min(current_sort_rec.current_sort_doing, qn::sort_third_sort)];
      do {
        if (ascending) {
          while (I <= R) {
            comparison_itemnum = I;
            if (Compare(items[I]) >= 0) break;
            ++I;
          }
          while (J >= L) {
            comparison_itemnum = J;
            if (Compare(items[J]) <= 0) break;
            --J;
          }
        } else {
          while (I <= R) {
            comparison_itemnum = I;
            if (Compare(items[I]) <= 0) break;
            ++I;
          }
          while (J >= L) {
            comparison_itemnum = J;
            if (Compare(items[J]) >= 0) break;
            --J;
          }
        }
        if (I <= J) {
          std::swap(items[I], items[J]);
          ++I;
          --J;
        }
      } while (I <= J);
      if (I == L) ++I;
      if (J == R) --J;
      if (J - L < R - I) {
        if (L < J) QuickSortByHand(Compare, L, J);
        L = I;
      } else {
        if (I < R) QuickSortByHand(Compare, I, R);
        R = J;
      }
    }
  }
};

// Directions: level l is ascending when bit l of the mask is set.
bool InOrder(const Row* a, const Row* b, int mask) {
  for (int l = 0; l < 3; ++l) {
    if (a->key[l] == b->key[l]) continue;
    const bool less = a->key[l] < b->key[l];
    return (mask >> l & 1) ? less : !less;
  }
  return false;
}

template <typename List>
void T3Sort(benchmark::State& state) {
  const Data& data = TheData(state.range(0));
  const int mask = static_cast<int>(state.range(1));
  List list;
  list.SetAscending(mask & 1, mask & 2, mask & 4);
  auto compare = qn::TCompareFunctOfObject::Bind<&TRowList::Compare>(&list);
  benchmark::DoNotOptimize(compare);
  for (auto _ : state) {
    list.Load(data.shuffled);
    list.DoATrebleSort(compare, 0, 1, 2);
    benchmark::DoNotOptimize(list.List());
  }
  for (int32_t i = 1; i < list.Count(); ++i)
    if (InOrder(static_cast<Row*>(list.Get(i)), static_cast<Row*>(list.Get(i - 1)), mask)) {
      std::fprintf(stderr, "T3SortNonYieldingList: wrong order at %d\n", i);
      std::abort();
    }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_T3SortNonYielding(benchmark::State& state) { T3Sort<TRowList>(state); }
void BM_T3SortNonYieldingByHand(benchmark::State& state) { T3Sort<TRowListByHand>(state); }

void BM_StdSort(benchmark::State& state) {
  const Data& data = TheData(state.range(0));
  const int mask = static_cast<int>(state.range(1));
  std::vector<void*> items;
  for (auto _ : state) {
    items = data.shuffled;
    std::sort(items.begin(), items.end(), [mask](void* a, void* b) {
      return InOrder(static_cast<Row*>(a), static_cast<Row*>(b), mask);
    });
    benchmark::DoNotOptimize(items.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// One key with many ties (1000 values), as the single-key sorts see it.
int32_t OneKey(const void* p) { return static_cast<const Row*>(p)->key[1]; }
int32_t CompareOneKey(void* a, void* b) {
  const int32_t x = OneKey(a), y = OneKey(b);
  return (x > y) - (x < y);
}

void CheckOneKeyOrder(const char* who, void* const* items, int64_t n) {
  for (int64_t i = 1; i < n; ++i)
    if (OneKey(items[i]) < OneKey(items[i - 1])) {
      std::fprintf(stderr, "%s: wrong order at %lld\n", who, static_cast<long long>(i));
      std::abort();
    }
}

void BM_StdSortOneKey(benchmark::State& state) {
  const Data& data = TheData(state.range(0));
  std::vector<void*> items;
  for (auto _ : state) {
    items = data.shuffled;
    std::sort(items.begin(), items.end(), [](void* a, void* b) { return OneKey(a) < OneKey(b); });
    benchmark::DoNotOptimize(items.data());
  }
  CheckOneKeyOrder("std::sort", items.data(), state.range(0));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_PointerListSort(benchmark::State& state) {
  const Data& data = TheData(state.range(0));
  TLoadable<qn::TPointerList> list;
  for (auto _ : state) {
    list.Load(data.shuffled);
    list.Sort(CompareOneKey);
    benchmark::DoNotOptimize(list.List());
  }
  CheckOneKeyOrder("TPointerList::Sort", list.List(), list.Count());
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The pointer list's partition loop written out by hand (the scans may step
// past the range; forced progress; smaller part by recursion), out of line and
// reached with a comparison the optimiser cannot see, as TPointerList::Sort is.
__attribute__((noinline)) void PointerSortByHand(void** items, ptrdiff_t L, ptrdiff_t R,
                                                 qn::TListSortCompare compare) {
  while (L < R) {
    ptrdiff_t I = L;
    ptrdiff_t J = R;
    void* const pivot = items[L + (R - L) / 2];
    do {
      while (I <= R && compare(items[I], pivot) < 0) ++I;
      while (J >= L && compare(items[J], pivot) > 0) --J;
      if (I <= J) {
        std::swap(items[I], items[J]);
        ++I;
        --J;
      }
    } while (I <= J);
    if (I == L) ++I;
    if (J == R) --J;
    if (J - L < R - I) {
      if (L < J) PointerSortByHand(items, L, J, compare);
      L = I;
    } else {
      if (I < R) PointerSortByHand(items, I, R, compare);
      R = J;
    }
  }
}

void BM_PointerListSortByHand(benchmark::State& state) {
  const Data& data = TheData(state.range(0));
  TLoadable<qn::TPointerList> list;
  qn::TListSortCompare compare = CompareOneKey;
  benchmark::DoNotOptimize(compare);
  for (auto _ : state) {
    list.Load(data.shuffled);
    PointerSortByHand(list.List(), 0, list.Count() - 1, compare);
    benchmark::DoNotOptimize(list.List());
  }
  CheckOneKeyOrder("hand-written pointer sort", list.List(), list.Count());
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_StringListCustomSort(benchmark::State& state) {
  const Data& data = TheData(state.range(0));
  qn::platform::TStringList list;
  std::vector<void*> sorted;
  for (auto _ : state) {
    state.PauseTiming();
    list.Clear();
    for (void* p : data.shuffled) list.AddObject(std::u16string(), static_cast<qn::platform::TObject*>(p));
    state.ResumeTiming();
    list.CustomSort([](qn::platform::TStringList& l, int32_t i, int32_t j) {
      return static_cast<int>(CompareOneKey(l.GetObject(i), l.GetObject(j)));
    });
    benchmark::DoNotOptimize(&list);
  }
  for (int32_t i = 0; i < list.Count(); ++i) sorted.push_back(list.GetObject(i));
  CheckOneKeyOrder("TStringList::CustomSort", sorted.data(), list.Count());
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The tree holds the records in the order of their random third key; each
// iteration takes its in-order array and sorts it on the one key.
class TRowTree : public qn::TGeneral_Tree {
 public:
  TRowTree() : qn::TGeneral_Tree(qn::TCompare2FunctOfObject::Bind<&TRowTree::ByThirdKey>(this)) {}
  int32_t ByThirdKey(void* a, void* b) {
    const int32_t x = static_cast<Row*>(a)->key[2], y = static_cast<Row*>(b)->key[2];
    return (x > y) - (x < y);
  }
  int32_t ByOneKey(void* a, void* b) { return CompareOneKey(a, b); }
};

void BM_TreeSortBuiltArray(benchmark::State& state) {
  const Data& data = TheData(state.range(0));
  TRowTree tree;
  for (void* p : data.shuffled) {
    qn::anything item{p, nullptr, nullptr};
    tree.Add_One(item);
  }
  const auto byOneKey = qn::TCompare2FunctOfObject::Bind<&TRowTree::ByOneKey>(&tree);
  for (auto _ : state) {
    state.PauseTiming();
    tree.BuildPtrArray({}, {});
    state.ResumeTiming();
    tree.SortBuiltArray(byOneKey);
    benchmark::DoNotOptimize(tree.BuiltArray().data());
  }
  CheckOneKeyOrder("TGeneral_Tree::SortBuiltArray", tree.BuiltArray().data(),
                   static_cast<int64_t>(tree.BuiltArray().size()));
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(tree.BuiltArray().size()));
}

void BM_SortSingles(benchmark::State& state) {
  const Data& data = TheData(state.range(0));
  std::vector<float> start;
  for (void* p : data.shuffled) start.push_back(static_cast<float>(OneKey(p)) / 7.0f);
  std::vector<float> values;
  for (auto _ : state) {
    values = start;
    qn::SortAnArrayOfSingles(values, false);
    benchmark::DoNotOptimize(values.data());
  }
  if (!std::is_sorted(values.begin(), values.end())) std::abort();
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_StdSortOneKey)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PointerListSort)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PointerListSortByHand)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StringListCustomSort)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TreeSortBuiltArray)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortSingles)->Arg(1000000)->Unit(benchmark::kMillisecond);

// Args: record count, direction mask (7: all ascending; 5: ascending,
// descending, ascending).
BENCHMARK(BM_StdSort)->Args({1000000, 7})->Args({1000000, 5})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_T3SortNonYielding)->Args({1000000, 7})->Args({1000000, 5})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_T3SortNonYieldingByHand)->Args({1000000, 7})->Args({1000000, 5})->Unit(benchmark::kMillisecond);

}  // namespace
