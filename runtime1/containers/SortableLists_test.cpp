#include "runtime1/containers/SortableLists.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <random>
#include <stdexcept>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/YieldHook.h"

namespace qn {
namespace {

struct Rec {
  int32_t key[3];
  int32_t id;
};

// A descendant as the suite's result lists are written: items point to
// records, SetBase captures one key, Compare compares with it.
template <typename Base>
class TRecList : public Base {
 public:
  void SetBase(void* P, int32_t sortvar) override { fBase = static_cast<Rec*>(P)->key[sortvar]; }
  int32_t Compare(void* a) {
    ++compares;
    if (onCompare) onCompare();
    const int32_t k = static_cast<Rec*>(a)->key[this->current_sort_rec.current_sort_var];
    return (k > fBase) - (k < fBase);
  }
  TCompareFunctOfObject Cmp() { return TCompareFunctOfObject::Bind<&TRecList::Compare>(this); }
  void Fill(std::vector<Rec>& recs) {
    this->Clear();
    for (Rec& r : recs) this->Add(&r);
  }
  std::vector<int32_t> Ids() const {
    std::vector<int32_t> ids;
    for (int32_t i = 0; i < this->Count(); ++i) ids.push_back(static_cast<Rec*>(this->Get(i))->id);
    return ids;
  }
  int64_t compares = 0;
  std::function<void()> onCompare;

 private:
  int32_t fBase = 0;
};

using TYList = TRecList<T3SortYieldingList>;
using TNList = TRecList<T3SortNonYieldingList>;

// ---------------------------------------------------------------------------
// A literal transcription of the three-level sort: left-first recursion, no
// guards, one counted yield per partition.
struct Reference {
  std::vector<Rec*> items;
  bool asc[3] = {false, false, false};
  int level = 0;
  int var = 0;
  int32_t base = 0;
  int64_t yields = 0;

  int cmp(Rec* a) const { return (a->key[var] > base) - (a->key[var] < base); }

  void QuickSort(int L, int R) {
    int I, J;
    do {
      ++yields;
      I = L;
      J = R;
      base = items[(L + R) / 2]->key[var];
      do {
        if (asc[level]) {
          while (cmp(items[I]) < 0) ++I;
          while (cmp(items[J]) > 0) --J;
        } else {
          while (cmp(items[I]) > 0) ++I;
          while (cmp(items[J]) < 0) --J;
        }
        if (I <= J) {
          std::swap(items[I], items[J]);
          ++I;
          --J;
        }
      } while (I <= J);
      if (L < J) QuickSort(L, J);
      L = I;
    } while (I < R);
  }
  void Pass(int key, int start, int finish) {
    var = key;
    QuickSort(start, finish);
  }
  // Next-level pass; with then >= 0 each run is also sorted on then inside
  // its runs of equal b (strict three levels).
  void Next(int a, int b, int start, int finish, int then) {
    if (a == b) return;
    var = a;
    int c = start;
    for (;;) {
      base = items[c]->key[a];
      int i = c;
      while (i < finish && cmp(items[i + 1]) == 0) ++i;
      if (i > c) {
        ++level;
        Pass(b, c, i);
        if (then >= 0) Next(b, then, c, i, -1);
        --level;
        var = a;
      } else {
        i = c + 1;
      }
      if (i >= finish) return;
      c = i;
    }
  }
  void Treble(int k0, int k1, int k2) {
    const int n = static_cast<int>(items.size());
    level = 0;
    Pass(k0, 0, n - 1);
    if (k0 != k1) {
      Next(k0, k1, 0, n - 1, k2);
    } else {
      level = 1;
      Next(k1, k2, 0, n - 1, -1);
    }
  }
  std::vector<int32_t> Ids() const {
    std::vector<int32_t> ids;
    for (Rec* r : items) ids.push_back(r->id);
    return ids;
  }
};

std::vector<Rec> RandomRecs(std::mt19937& rng, int n, int spread) {
  std::uniform_int_distribution<int32_t> d(0, spread);
  std::vector<Rec> recs(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) recs[static_cast<size_t>(i)] = {{d(rng), d(rng), d(rng)}, i};
  return recs;
}

// Counts calls of the yield hook while installed.
struct YieldCounter {
  int64_t calls = 0;
  void Yield() { ++calls; }
  YieldCounter() { AYieldProcessProc = TYieldProcessProc::Bind<&YieldCounter::Yield>(this); }
  ~YieldCounter() { AYieldProcessProc.Clear(); }
};

TEST(T3SortYieldingList, SameOrderAndYieldsAsTheLiteralAlgorithmOnRandomInputsWithTies) {
  std::mt19937 rng(12345);
  for (int round = 0; round < 400; ++round) {
    const int n = 2 + static_cast<int>(rng() % 300);
    const int spread = 1 + static_cast<int>(rng() % 12);  // many ties
    std::vector<Rec> recs = RandomRecs(rng, n, spread);
    const bool a0 = rng() & 1, a1 = rng() & 1, a2 = rng() & 1;
    const int k0 = static_cast<int>(rng() % 3), k1 = static_cast<int>(rng() % 3),
              k2 = static_cast<int>(rng() % 3);

    Reference ref;
    for (Rec& r : recs) ref.items.push_back(&r);
    ref.asc[0] = a0;
    ref.asc[1] = a1;
    ref.asc[2] = a2;
    ref.Treble(k0, k1, k2);

    TYList list;
    list.Fill(recs);
    list.SetAscending(a0, a1, a2);
    YieldCounter yc;
    list.DoATrebleSort(list.Cmp(), k0, k1, k2);
    ASSERT_EQ(list.Ids(), ref.Ids()) << "round " << round;
    ASSERT_EQ(yc.calls, ref.yields) << "round " << round;
  }
}

TEST(T3SortYieldingList, SingleSortMatchesLiteralOnSortedReversedAndEqualData) {
  for (int shape = 0; shape < 4; ++shape) {
    const int n = 1000;
    std::vector<Rec> recs(n);
    for (int i = 0; i < n; ++i) {
      const int32_t k = shape == 0 ? i : shape == 1 ? n - i : shape == 2 ? 7 : (i % 2) * i;
      recs[static_cast<size_t>(i)] = {{k, 0, 0}, i};
    }
    for (bool asc : {false, true}) {
      std::vector<Rec> a = recs;
      Reference ref;
      for (Rec& r : a) ref.items.push_back(&r);
      ref.asc[0] = asc;
      ref.Pass(0, 0, n - 1);
      std::vector<Rec> b = recs;
      TNList list;
      list.Fill(b);
      list.SetAscending(asc, false, false);
      list.DoASingleSort(list.Cmp(), 0);
      EXPECT_EQ(list.Ids(), ref.Ids()) << "shape " << shape << " asc " << asc;
    }
  }
}

// A permutation on which the middle item of every remaining left part is its
// largest: left-first recursion then goes one level deeper per item.
std::vector<Rec> DeepRecursionInput(int n) {
  std::vector<int> slot(static_cast<size_t>(n));  // which original slot sits at each position
  for (int i = 0; i < n; ++i) slot[static_cast<size_t>(i)] = i;
  std::vector<Rec> recs(static_cast<size_t>(n));
  for (int r = n - 1; r >= 0; --r) {
    const int mid = r / 2;
    recs[static_cast<size_t>(slot[static_cast<size_t>(mid)])] = {{r, 0, 0}, r};
    std::swap(slot[static_cast<size_t>(mid)], slot[static_cast<size_t>(r)]);
  }
  return recs;
}

TEST(T3SortYieldingList, AdversarialInputKeepsTheCallDepthSmall) {
  const int n = 6000;
  std::vector<Rec> recs = DeepRecursionInput(n);
  {
    // The input really is adversarial: the literal algorithm recurses once per item.
    std::vector<Rec> copy = recs;
    struct DepthRef : Reference {
      int depth = 0, maxDepth = 0;
    } ref;
    for (Rec& r : copy) ref.items.push_back(&r);
    ref.asc[0] = true;
    int depth = 0, maxDepth = 0;
    std::function<void(int, int)> qs = [&](int L, int R) {
      ++depth;
      maxDepth = std::max(maxDepth, depth);
      int I, J;
      do {
        I = L;
        J = R;
        const int32_t base = ref.items[static_cast<size_t>((L + R) / 2)]->key[0];
        do {
          while (ref.items[static_cast<size_t>(I)]->key[0] < base) ++I;
          while (ref.items[static_cast<size_t>(J)]->key[0] > base) --J;
          if (I <= J) std::swap(ref.items[static_cast<size_t>(I++)], ref.items[static_cast<size_t>(J--)]);
        } while (I <= J);
        if (L < J) qs(L, J);
        L = I;
      } while (I < R);
      --depth;
    };
    qs(0, n - 1);
    EXPECT_GE(maxDepth, n - 2);
  }
  TNList list;
  list.Fill(recs);
  list.SetAscending(true, true, true);
  // Frame addresses, not addresses of locals: under AddressSanitizer's
  // use-after-return checking, locals live on a separate fake stack.
  const char* topAddr = static_cast<const char*>(__builtin_frame_address(0));
  std::ptrdiff_t deepest = 0;
  list.onCompare = [&] {
    const char* here = static_cast<const char*>(__builtin_frame_address(0));
    deepest = std::max(deepest, topAddr - here);
  };
  list.DoASingleSort(list.Cmp(), 0);
  std::vector<int32_t> ids = list.Ids();
  for (int i = 0; i < n; ++i) ASSERT_EQ(ids[static_cast<size_t>(i)], i);
  // 6000 frames of left-first recursion would take hundreds of KB.
  EXPECT_LT(deepest, 48 * 1024);
}

TEST(T3SortYieldingList, DirectionsFollowTheFlagsAndToggle) {
  std::vector<Rec> recs = {{{3, 0, 0}, 0}, {{1, 0, 0}, 1}, {{2, 0, 0}, 2}, {{5, 0, 0}, 3}};
  TYList list;
  EXPECT_FALSE(list.sorted);
  EXPECT_FALSE(list.BusySorting());
  EXPECT_EQ(list.current_sort_rec.current_sort_doing, sort_first_sort);
  EXPECT_EQ(list.current_sort_rec.current_sort_var, 0);
  list.Fill(recs);
  list.DoASingleSort(list.Cmp(), 0);  // all directions false after creation: descending
  EXPECT_EQ(list.Ids(), (std::vector<int32_t>{3, 0, 2, 1}));
  EXPECT_TRUE(list.sorted);
  list.SetAscending(true, true, true);
  list.DoASingleSort(list.Cmp(), 0);
  EXPECT_EQ(list.Ids(), (std::vector<int32_t>{1, 2, 0, 3}));

  T3SortYieldingList fresh;
  EXPECT_TRUE(fresh.ToggledMainSortAscending());
  EXPECT_FALSE(fresh.ToggledMainSortAscending());
  EXPECT_FALSE(fresh.Ascending()[sort_first_sort]);
  fresh.SetSortToAscend(sort_third_sort, true);
  EXPECT_EQ(fresh.Ascending(), (TAscendingSort{false, false, true}));
  fresh.current_sort_rec.current_sort_doing = sort_third_sort;
  EXPECT_EQ(fresh.AscendingSwapped(5), -5);
  fresh.current_sort_rec.current_sort_doing = sort_first_sort;
  EXPECT_EQ(fresh.AscendingSwapped(5), 5);
}

TEST(T3SortYieldingList, RangesAreClampedAndShortRangesLeftAlone) {
  std::vector<Rec> recs;
  for (int i = 0; i < 10; ++i) recs.push_back({{(i * 7) % 10, 0, 0}, i});
  TYList list;
  list.SetAscending(true, true, true);
  list.Fill(recs);
  list.DoASingleSort(list.Cmp(), 0, -5, 1000);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(static_cast<Rec*>(list.Get(i))->key[0], i);

  for (int n : {0, 1}) {
    TYList small;
    std::vector<Rec> few(recs.begin(), recs.begin() + n);
    small.Fill(few);
    small.DoASingleSort(small.Cmp(), 0);
    small.DoATrebleSort(small.Cmp(), 0, 1, 2);
    EXPECT_FALSE(small.sorted) << n;
  }
  // A range inside the list leaves the rest in place.
  std::vector<Rec> part = {{{9, 0, 0}, 0}, {{8, 0, 0}, 1}, {{7, 0, 0}, 2}, {{6, 0, 0}, 3}};
  list.Fill(part);
  list.DoASingleSort(list.Cmp(), 0, 1, 2);
  EXPECT_EQ(list.Ids(), (std::vector<int32_t>{0, 2, 1, 3}));
}

std::vector<Rec> GridRecs() {
  // Every combination of three small keys, shuffled.
  std::vector<Rec> recs;
  int id = 0;
  for (int a = 0; a < 4; ++a)
    for (int b = 0; b < 4; ++b)
      for (int c = 0; c < 4; ++c) recs.push_back({{a, b, c}, id++});
  std::mt19937 rng(7);
  std::shuffle(recs.begin(), recs.end(), rng);
  return recs;
}

TEST(T3SortYieldingList, ThreeLevelOrderWithMixedDirections) {
  for (int mask = 0; mask < 8; ++mask) {
    const bool asc[3] = {(mask & 1) != 0, (mask & 2) != 0, (mask & 4) != 0};
    std::vector<Rec> recs = GridRecs();
    TNList list;
    list.Fill(recs);
    list.SetAscending(asc[0], asc[1], asc[2]);
    list.DoATrebleSort(list.Cmp(), 2, 0, 1);  // keys in the order 2, 0, 1
    auto sortKey = [&](const Rec* r) {
      std::array<int32_t, 3> k{r->key[2], r->key[0], r->key[1]};
      for (int l = 0; l < 3; ++l)
        if (!asc[l]) k[static_cast<size_t>(l)] = -k[static_cast<size_t>(l)];
      return k;
    };
    for (int i = 1; i < list.Count(); ++i)
      ASSERT_LT(sortKey(static_cast<Rec*>(list.Get(i - 1))), sortKey(static_cast<Rec*>(list.Get(i))))
          << "mask " << mask << " at " << i;
  }
}

TEST(T3SortYieldingList, ThirdKeyNeverReordersAcrossFirstKeyGroups) {
  // Equal second keys spanning two first-key groups.
  std::vector<Rec> recs = {{{1, 5, 9}, 0}, {{2, 5, 1}, 1}, {{1, 4, 0}, 2}};
  TYList list;
  list.SetAscending(true, true, true);
  list.Fill(recs);
  list.DoATrebleSort(list.Cmp(), 0, 1, 2);
  EXPECT_EQ(list.Ids(), (std::vector<int32_t>{2, 0, 1}));
}

TEST(T3SortYieldingList, RepeatedKeysCollapseToFewerLevels) {
  std::vector<Rec> recs = GridRecs();
  TYList single, twice;
  single.SetAscending(true, true, true);
  twice.SetAscending(true, true, true);
  std::vector<Rec> a = recs, b = recs;
  single.Fill(a);
  twice.Fill(b);
  single.DoASingleSort(single.Cmp(), 1);
  twice.DoADoubleSort(twice.Cmp(), 1, 1);
  EXPECT_EQ(single.Ids(), twice.Ids());
  EXPECT_EQ(single.compares, twice.compares);  // the second pass did nothing

  // Treble with first = second: the third key orders runs of equal first key.
  std::vector<Rec> c = recs;
  TYList treble;
  treble.SetAscending(true, true, true);
  treble.Fill(c);
  treble.DoATrebleSort(treble.Cmp(), 0, 0, 2);
  for (int i = 1; i < treble.Count(); ++i) {
    const Rec* p = static_cast<Rec*>(treble.Get(i - 1));
    const Rec* q = static_cast<Rec*>(treble.Get(i));
    ASSERT_TRUE(p->key[0] < q->key[0] || (p->key[0] == q->key[0] && p->key[2] <= q->key[2]));
  }
}

TEST(T3SortYieldingList, ReentrantSortRequestsAreIgnored) {
  std::vector<Rec> recs = GridRecs();
  TYList list;
  list.SetAscending(true, true, true);
  list.Fill(recs);
  int inner = 0;
  list.onCompare = [&] {
    if (inner++ == 0) {
      EXPECT_TRUE(list.BusySorting());
      const std::vector<int32_t> before = list.Ids();
      list.DoATrebleSort(list.Cmp(), 2, 1, 0);
      EXPECT_EQ(list.Ids(), before);
    }
  };
  list.DoASingleSort(list.Cmp(), 0);
  EXPECT_FALSE(list.BusySorting());
  for (int i = 1; i < list.Count(); ++i)
    EXPECT_LE(static_cast<Rec*>(list.Get(i - 1))->key[0], static_cast<Rec*>(list.Get(i))->key[0]);

  // From the yield hook as well.
  std::vector<Rec> again = GridRecs();
  list.onCompare = nullptr;
  list.Fill(again);
  int yields = 0;
  auto hook = [&] {
    ++yields;
    list.DoASingleSort(list.Cmp(), 2);
  };
  AYieldProcessProc = TYieldProcessProc::FromCallable(hook);
  list.DoASingleSort(list.Cmp(), 0);
  AYieldProcessProc.Clear();
  EXPECT_GT(yields, 0);
  for (int i = 1; i < list.Count(); ++i)
    EXPECT_LE(static_cast<Rec*>(list.Get(i - 1))->key[0], static_cast<Rec*>(list.Get(i))->key[0]);
}

TEST(T3SortNonYieldingList, SilencesTheHookAndRestoresItEvenOnErrors) {
  std::vector<Rec> recs = GridRecs();
  TNList list;
  list.Fill(recs);
  YieldCounter yc;
  const TYieldProcessProc installed = AYieldProcessProc;
  list.DoATrebleSort(list.Cmp(), 0, 1, 2);
  EXPECT_EQ(yc.calls, 0);
  EXPECT_TRUE(AYieldProcessProc == installed);

  list.onCompare = [] { throw std::runtime_error("compare failed"); };
  EXPECT_THROW(list.DoASingleSort(list.Cmp(), 1), std::runtime_error);
  EXPECT_TRUE(AYieldProcessProc == installed);
  EXPECT_FALSE(list.BusySorting());
}

TEST(TPointerList, SortMatchesTheLiteralQuicksortAndSurvivesInconsistentComparisons) {
  std::mt19937 rng(99);
  for (int round = 0; round < 200; ++round) {
    const int n = 2 + static_cast<int>(rng() % 200);
    std::vector<Rec> recs = RandomRecs(rng, n, 5);
    std::vector<void*> lit;
    TPointerList list;
    for (Rec& r : recs) {
      lit.push_back(&r);
      list.Add(&r);
    }
    auto cmp = [](void* a, void* b) -> int32_t {
      return static_cast<Rec*>(a)->key[0] - static_cast<Rec*>(b)->key[0];
    };
    std::function<void(int, int)> qs = [&](int L, int R) {
      int I, J;
      do {
        I = L;
        J = R;
        void* P = lit[static_cast<size_t>((L + R) / 2)];
        do {
          while (cmp(lit[static_cast<size_t>(I)], P) < 0) ++I;
          while (cmp(lit[static_cast<size_t>(J)], P) > 0) --J;
          if (I <= J) std::swap(lit[static_cast<size_t>(I++)], lit[static_cast<size_t>(J--)]);
        } while (I <= J);
        if (L < J) qs(L, J);
        L = I;
      } while (I < R);
    };
    qs(0, n - 1);
    list.Sort(cmp);
    for (int i = 0; i < n; ++i) ASSERT_EQ(list.Get(i), lit[static_cast<size_t>(i)]);
  }
  // Comparisons that are no order at all: must stay inside the list and end.
  TPointerList list;
  std::vector<Rec> recs = RandomRecs(rng, 500, 100);
  for (Rec& r : recs) list.Add(&r);
  list.Sort([](void*, void*) -> int32_t { return -1; });
  list.Sort([](void*, void*) -> int32_t { return 1; });
  static std::mt19937 noise(3);
  list.Sort([](void*, void*) -> int32_t { return static_cast<int32_t>(noise() % 3) - 1; });
  EXPECT_EQ(list.Count(), 500);
}

TEST(TPointerList, EditingOperations) {
  int a = 1, b = 2, c = 3;
  TPointerList list;
  list.Add(&a);
  list.Add(nullptr);
  list.Add(&b);
  list.Insert(0, &c);
  EXPECT_EQ(list.Count(), 4);
  list.Pack();
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Get(0), &c);
  EXPECT_EQ(list.IndexOf(&b), 2);
  list.Move(0, 2);
  EXPECT_EQ(list.Get(2), &c);
  list.Exchange(0, 1);
  EXPECT_EQ(list.Get(0), &b);
  list.Delete(0);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_THROW(list.Get(2), Exception);
  EXPECT_THROW(list.Get(-1), Exception);
  EXPECT_THROW(list.Insert(3, &a), Exception);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}

}  // namespace
}  // namespace qn
