// Three-key sorting of a large result list: T3SortNonYieldingList (the way
// the suite's hit and row lists sort) against std::sort with the same
// three-key comparison over the same pointer array, in the same run.
//
// Records are small structs reached through pointers, as in the suite's
// lists. Keys: the first with 100 values, the second with 1000, the third
// 32-bit random, so that the later levels really sort runs of ties.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <random>
#include <vector>

#include "runtime1/containers/SortableLists.h"

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

class TRowList : public qn::T3SortNonYieldingList {
 public:
  void SetBase(void* P, int32_t sortvar) override { fBase = static_cast<Row*>(P)->key[sortvar]; }
  int32_t Compare(void* a) {
    const int32_t k = static_cast<Row*>(a)->key[current_sort_rec.current_sort_var];
    return (k > fBase) - (k < fBase);
  }
  // Puts the items in the given order, reusing the slots after the first call
  // (the std::sort side copies its vector the same way).
  void Load(const std::vector<void*>& items) {
    if (Count() != static_cast<int32_t>(items.size())) {
      Clear();
      Reserve(static_cast<int32_t>(items.size()));
      for (void* p : items) Add(p);
    } else {
      std::copy(items.begin(), items.end(), List());
    }
  }

 private:
  int32_t fBase = 0;
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

void BM_T3SortNonYielding(benchmark::State& state) {
  const Data& data = TheData(state.range(0));
  const int mask = static_cast<int>(state.range(1));
  TRowList list;
  list.SetAscending(mask & 1, mask & 2, mask & 4);
  const auto compare = qn::TCompareFunctOfObject::Bind<&TRowList::Compare>(&list);
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

// Args: record count, direction mask (7: all ascending; 5: ascending,
// descending, ascending).
BENCHMARK(BM_StdSort)->Args({1000000, 7})->Args({1000000, 5})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_T3SortNonYielding)->Args({1000000, 7})->Args({1000000, 5})->Unit(benchmark::kMillisecond);

}  // namespace
