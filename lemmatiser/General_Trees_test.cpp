#include "lemmatiser/General_Trees.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <algorithm>
#include <functional>
#include <memory>
#include <random>
#include <stdexcept>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/YieldHook.h"

namespace qn {
namespace {

// Items are small integers carried in the pointer itself.
void* Item(intptr_t k) { return reinterpret_cast<void*>(k); }
intptr_t Key(void* item) { return reinterpret_cast<intptr_t>(item); }

int32_t CompareKeys(void*, void* a, void* b) {
  return Key(a) < Key(b) ? -1 : (Key(a) > Key(b) ? 1 : 0);
}
int32_t CompareKeysDescending(void* ctx, void* a, void* b) { return CompareKeys(ctx, b, a); }
const TCompare2FunctOfObject kAscending(&CompareKeys, nullptr);
const TCompare2FunctOfObject kDescending(&CompareKeysDescending, nullptr);

// A tree that records what its hooks see; negative keys are its seeds.
class TRecordingTree : public TGeneral_Tree {
 public:
  TRecordingTree() : TGeneral_Tree(kAscending) {}
  ~TRecordingTree() override { Clear(); }
  bool IsASeed(void* a) override { return Key(a) < 0; }
  void Do_In_Order(anything_ptr& item) override {
    visited.push_back(Key(item->this_));
    goings.push_back(going);
  }
  void Do_Deleting(anything_ptr& item) override {
    if (throw_at_delete == Key(item->this_)) throw std::runtime_error("hook failed");
    deleted.push_back(Key(item->this_));
    delete_goings.push_back(going);
  }
  void Do_Found_Match(anything_ptr& item) override { found.push_back(Key(item->this_)); }

  bool Add(intptr_t k) {
    current.this_ = Item(k);
    return Add_One(current);
  }

  std::vector<intptr_t> visited, goings, deleted, delete_goings, found;
  intptr_t throw_at_delete = INTPTR_MIN;
};

std::vector<intptr_t> Range(intptr_t from, intptr_t to) {  // inclusive, either direction
  std::vector<intptr_t> v;
  for (intptr_t k = from;; k += (from <= to ? 1 : -1)) {
    v.push_back(k);
    if (k == to) break;
  }
  return v;
}

TEST(General_Trees, EmptyTreeWalksNothingAndKeepsGoing) {
  TRecordingTree t;
  t.going = 17;
  t.Traverse();
  EXPECT_TRUE(t.visited.empty());
  EXPECT_EQ(t.going, 17);
  EXPECT_EQ(t.BuildPtrArray({}, {}), 0);
  EXPECT_TRUE(t.BuiltArray().empty());
}

TEST(General_Trees, DuplicateCallsFoundMatchAndAddsNothing) {
  TRecordingTree t;
  ASSERT_TRUE(t.Add(5));
  ASSERT_TRUE(t.Add(3));
  t.SetTreeModified(false);
  EXPECT_FALSE(t.Add(3));
  t.current.this_ = Item(5);
  EXPECT_EQ(t.Add_OnePtr(t.current), nullptr);
  EXPECT_EQ(t.found, (std::vector<intptr_t>{3, 5}));
  EXPECT_EQ(t.counter, 2);
  EXPECT_FALSE(t.TreeModified());
  t.current.this_ = Item(9);
  anything_ptr added = t.Add_OnePtr(t.current);
  ASSERT_NE(added, nullptr);
  EXPECT_EQ(Key(added->this_), 9);
  EXPECT_TRUE(t.TreeModified());
}

TEST(General_Trees, TreeWithoutComparisonHoldsOneNode) {
  TGeneral_Tree t;
  for (intptr_t k = 1; k <= 5; ++k) {
    t.current.this_ = Item(k);
    EXPECT_EQ(t.Add_One(t.current), k == 1);
  }
  EXPECT_EQ(t.counter, 1);
  EXPECT_EQ(Key(t.Root()->this_), 1);
}

// Ascending, descending (a left-leaning chain far deeper than the walk's
// initial stack) and an interleaved order all walk completely, in ascending
// order with going = 1 .. n, and release every node in the same order.
TEST(General_Trees, WalksAndReleasesChainsOfAnyDepth) {
  const struct {
    const char* name;
    std::vector<intptr_t> keys;
  } cases[] = {
      {"ascending 1000", Range(1, 1000)},
      {"descending 2047", Range(2047, 1)},
      {"descending 2048", Range(2048, 1)},
      {"descending 10000", Range(10000, 1)},
      {"zigzag", [] {
         std::vector<intptr_t> v;
         for (intptr_t k = 0; k < 3000; ++k) v.push_back(k % 2 ? 6000 - k : k);
         return v;
       }()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TRecordingTree t;
    for (intptr_t k : c.keys) ASSERT_TRUE(t.Add(k));
    std::vector<intptr_t> sorted = c.keys;
    std::sort(sorted.begin(), sorted.end());
    const intptr_t n = static_cast<intptr_t>(sorted.size());

    t.Traverse();
    EXPECT_EQ(t.visited, sorted);
    EXPECT_EQ(t.goings, Range(1, n));
    EXPECT_EQ(t.going, n);
    EXPECT_FALSE(t.TreeModified());

    t.Clear();
    EXPECT_EQ(t.deleted, sorted);
    EXPECT_EQ(t.delete_goings, Range(n - 1, 0));
    EXPECT_EQ(t.counter, 0);
    EXPECT_EQ(t.Root(), nullptr);
    EXPECT_TRUE(t.TreeModified());
  }
}

TEST(General_Trees, FailingDeleteHookLeavesAValidTree) {
  TRecordingTree t;
  for (intptr_t k : Range(50, 1)) t.Add(k);
  t.throw_at_delete = 20;
  EXPECT_THROW(t.Clear(), std::runtime_error);
  EXPECT_EQ(t.deleted, Range(1, 19));
  EXPECT_EQ(t.counter, 31);
  t.Traverse();
  EXPECT_EQ(t.visited, Range(20, 50));
  t.throw_at_delete = INTPTR_MIN;
  t.Clear();
  EXPECT_EQ(t.deleted.size(), 50u);
}

// While the nodes are released, the hooks and the yield procedure (through
// which a host may look things up) see an empty tree, never released nodes.
TEST(General_Trees, ReleasedNodesHaveLeftTheTreeBeforeAnyHookRuns) {
  TRecordingTree t;
  for (intptr_t k : Range(300, 1)) t.Add(k);
  int seen = 0;
  int nonEmpty = 0;
  bool busy = false;  // WhereIs yields too
  auto look = [&] {
    if (busy) return;
    busy = true;
    ++seen;
    anything probe{Item(150), nullptr, nullptr};
    if (t.Root() != nullptr || t.counter != 0 || t.WhereIs(probe) != nullptr) ++nonEmpty;
    busy = false;
  };
  const TYieldProcessProc saved = AYieldProcessProc;
  AYieldProcessProc = TYieldProcessProc::FromCallable(look);
  t.Clear();
  AYieldProcessProc = saved;
  EXPECT_GE(seen, 300);
  EXPECT_EQ(nonEmpty, 0);
  EXPECT_EQ(t.deleted, Range(1, 300));
}

TEST(General_Trees, WhereIsAndAddToNearestGrowTheSameTree) {
  TRecordingTree a, b;
  const intptr_t keys[] = {50, 20, 80, 10, 30, 70, 90, 25, 35, 75};
  for (intptr_t k : keys) {
    a.Add(k);
    b.current.this_ = Item(k);
    EXPECT_EQ(b.WhereIs(b.current), nullptr);
    EXPECT_TRUE(b.Add_One_To_Nearest(b.current));
  }
  b.current.this_ = Item(30);
  anything_ptr hit = b.WhereIs(b.current);
  ASSERT_NE(hit, nullptr);
  EXPECT_EQ(b.nearest_find, hit);
  // Same shape: compare the trees node by node.
  std::function<void(anything_ptr, anything_ptr)> same = [&](anything_ptr x, anything_ptr y) {
    ASSERT_EQ(x == nullptr, y == nullptr);
    if (x == nullptr) return;
    EXPECT_EQ(Key(x->this_), Key(y->this_));
    same(x->left, y->left);
    same(x->right, y->right);
  };
  same(a.Root(), b.Root());
  // Without a preceding search the insertion starts at the root.
  b.nearest_find = nullptr;
  b.current.this_ = Item(77);
  EXPECT_TRUE(b.Add_One_To_Nearest(b.current));
  b.current.this_ = Item(77);
  EXPECT_NE(b.WhereIs(b.current), nullptr);
}

// The shape of a plain descent-built search tree, as a pre-order listing with
// markers for missing children.
void Shape(anything_ptr node, std::vector<intptr_t>& out) {
  if (node == nullptr) {
    out.push_back(INTPTR_MIN);
    return;
  }
  out.push_back(Key(node->this_));
  Shape(node->left, out);
  Shape(node->right, out);
}

struct TRefNode {
  intptr_t key;
  std::unique_ptr<TRefNode> left, right;
};
void RefShape(const TRefNode* node, std::vector<intptr_t>& out) {
  if (node == nullptr) {
    out.push_back(INTPTR_MIN);
    return;
  }
  out.push_back(node->key);
  RefShape(node->left.get(), out);
  RefShape(node->right.get(), out);
}

// Insertion next to the last added node must grow exactly the tree that a
// descent from the root grows, whatever the order of the items.
TEST(General_Trees, InsertionKeepsTheShapeOfAPlainDescent) {
  uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 8) % 1000; };
  std::vector<std::vector<intptr_t>> orders;
  orders.push_back(Range(1, 300));
  orders.push_back(Range(300, 1));
  std::vector<intptr_t> seeded{500, 200, 800, 100, 900};  // seeds, then sorted runs with repeats
  for (intptr_t k = 1; k < 1000; k += 3) seeded.push_back(k);
  for (intptr_t k = 999; k > 0; k -= 7) seeded.push_back(k);
  orders.push_back(seeded);
  std::vector<intptr_t> random;
  for (int k = 0; k < 2000; ++k) random.push_back(static_cast<intptr_t>(next()));
  orders.push_back(random);
  for (const auto& keys : orders) {
    TRecordingTree t;
    std::unique_ptr<TRefNode> root;
    int added = 0;
    for (intptr_t k : keys) {
      std::unique_ptr<TRefNode>* slot = &root;
      while (*slot && (*slot)->key != k) slot = k < (*slot)->key ? &(*slot)->left : &(*slot)->right;
      const bool isNew = !*slot;
      if (isNew) {
        *slot = std::make_unique<TRefNode>();
        (*slot)->key = k;
        ++added;
      }
      EXPECT_EQ(t.Add(k), isNew);
    }
    std::vector<intptr_t> got, expected;
    Shape(t.Root(), got);
    RefShape(root.get(), expected);
    EXPECT_EQ(got, expected);
    EXPECT_EQ(t.counter, added);
    EXPECT_EQ(t.found.size(), keys.size() - static_cast<size_t>(added));
  }
}

TEST(General_Trees, BuildPtrArrayLeavesOutSeedsAndFilteredNodes) {
  TRecordingTree t;
  for (intptr_t k : {5, -2, 3, 8, -4, 6, 1, 10}) t.Add(k);
  auto odd = [](anything_ptr& node) { return Key(node->this_) % 2 != 0; };
  std::vector<intptr_t> afterwards, goings;
  auto record = [&](anything_ptr& node) {
    afterwards.push_back(Key(node->this_));
    goings.push_back(t.going);
  };
  EXPECT_EQ(t.BuildPtrArray(TFilterItOut::FromCallable(odd), TDo_Something::FromCallable(record)), 3);
  std::vector<intptr_t> built;
  for (void* p : t.BuiltArray()) built.push_back(Key(p));
  EXPECT_EQ(built, (std::vector<intptr_t>{6, 8, 10}));
  EXPECT_EQ(afterwards, built);
  EXPECT_EQ(goings, (std::vector<intptr_t>{1, 2, 3}));
  // The filter and the hook stay installed.
  EXPECT_TRUE(t.FilteredOut().Assigned());
  t.Traverse();
  EXPECT_EQ(afterwards.size(), 3u + 8u);

  t.SortBuiltArray(kDescending);
  built.clear();
  for (void* p : t.BuiltArray()) built.push_back(Key(p));
  EXPECT_EQ(built, (std::vector<intptr_t>{10, 8, 6}));
  // The new ordering stays the tree's: a search now descends the other way.
  EXPECT_EQ(t.CompareFunction(), kDescending);
}

// The order the built array has always been sorted into, equal items and
// comparisons that are no order included: the right scan asks
// compare(pivot, item), and the scans stop at the range's ends.
TEST(General_Trees, SortBuiltArrayKeepsItsOrderForTiesAndForInconsistentComparisons) {
  struct TJudge {
    bool noisy = false;
    std::mt19937 noise{7};
    int32_t Compare(void* a, void* b) {
      if (noisy) return static_cast<int32_t>(noise() % 3) - 1;
      // Scrambled keys with many ties.
      const intptr_t x = Key(a) * 7919 % 23, y = Key(b) * 7919 % 23;
      return (x > y) - (x < y);
    }
  };
  std::mt19937 rng(11);
  for (int round = 0; round < 60; ++round) {
    TRecordingTree t;
    const int n = 2 + static_cast<int>(rng() % 400);
    std::vector<intptr_t> keys = Range(1, n);
    std::shuffle(keys.begin(), keys.end(), rng);
    for (intptr_t k : keys) t.Add(k);
    ASSERT_EQ(t.BuildPtrArray({}, {}), n);
    std::vector<void*> expected(t.BuiltArray().begin(), t.BuiltArray().end());

    TJudge literal{round % 2 == 1, std::mt19937(static_cast<uint32_t>(round))};
    std::function<void(int64_t, int64_t)> quickSort = [&](int64_t lo, int64_t hi) {
      while (lo < hi) {
        void* const pivot = expected[static_cast<size_t>((lo + hi) / 2)];
        int64_t i = lo;
        int64_t j = hi;
        do {
          while (i < hi && literal.Compare(expected[static_cast<size_t>(i)], pivot) < 0) ++i;
          while (j > lo && literal.Compare(pivot, expected[static_cast<size_t>(j)]) < 0) --j;
          if (i <= j) {
            std::swap(expected[static_cast<size_t>(i)], expected[static_cast<size_t>(j)]);
            ++i;
            --j;
          }
        } while (i <= j);
        if (j - lo < hi - i) {
          if (lo < j) quickSort(lo, j);
          lo = i;
        } else {
          if (i < hi) quickSort(i, hi);
          hi = j;
        }
      }
    };
    quickSort(0, n - 1);

    TJudge judge{round % 2 == 1, std::mt19937(static_cast<uint32_t>(round))};
    auto compare = [&judge](void* a, void* b) { return judge.Compare(a, b); };
    t.SortBuiltArray(TCompare2FunctOfObject::FromCallable(compare));
    ASSERT_EQ(t.BuiltArray(), expected) << "round " << round;
  }
}

TEST(General_Trees, TraverseArraySkipsNullsButCountsThem) {
  TRecordingTree t;
  TTreeArrayOfPointer items{Item(4), nullptr, Item(9), nullptr};
  t.TraverseArray(items);
  EXPECT_EQ(t.visited, (std::vector<intptr_t>{4, 9}));
  EXPECT_EQ(t.goings, (std::vector<intptr_t>{1, 3}));
  EXPECT_EQ(t.going, 4);

  anything a{Item(2), nullptr, nullptr}, b{Item(3), nullptr, nullptr};
  Tarray_of_anything_ptr nodes{nullptr, &a, &b};
  t.visited.clear();
  t.TraverseArray(nodes);
  EXPECT_EQ(t.visited, (std::vector<intptr_t>{2, 3}));
  EXPECT_EQ(t.going, 3);
}

TEST(General_Trees, TraverseReorderingKeepsSeedsAndTheNewOrder) {
  TRecordingTree t;
  for (intptr_t k : {3, -5, 7, 1}) t.Add(k);
  std::vector<intptr_t> seen;
  auto record = [&](anything_ptr& node) { seen.push_back(Key(node->this_)); };
  t.TraverseReordering(kDescending, TDo_Something::FromCallable(record));
  EXPECT_EQ(seen, (std::vector<intptr_t>{7, 3, 1, -5}));
  EXPECT_EQ(t.CompareFunction(), kDescending);
}

TEST(General_Trees, CopyFromWalksAnotherThroughItsHook) {
  TRecordingTree source, target;
  for (intptr_t k : {4, 2, 6, -1}) source.Add(k);
  target.Add(100);
  auto copy = [&](anything_ptr& node) {
    target.current.this_ = node->this_;
    target.Add_One(target.current);
  };
  target.CopyFrom(source, TDo_Something::FromCallable(copy), true, true);
  EXPECT_EQ(source.counter, 0);
  target.Traverse();
  EXPECT_EQ(target.visited, (std::vector<intptr_t>{-1, 2, 4, 6}));
}

TEST(General_Trees, EveryStepYields) {
  int yields = 0;
  auto count = [&yields] { ++yields; };
  const TYieldProcessProc saved = AYieldProcessProc;
  AYieldProcessProc = TYieldProcessProc::FromCallable(count);
  TRecordingTree t;
  for (intptr_t k : Range(1, 10)) t.Add(k);
  const int afterInserts = yields;
  EXPECT_GE(afterInserts, 2 * 10 - 1);  // one per insertion and one per comparison
  t.current.this_ = Item(10);
  t.WhereIs(t.current);
  EXPECT_EQ(yields - afterInserts, 1 + 10);
  AYieldProcessProc = saved;
}

}  // namespace
}  // namespace qn
