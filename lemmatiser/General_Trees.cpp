#include "lemmatiser/General_Trees.h"

#include <memory>
#include <new>
#include <utility>

#include "platform/Exceptions.h"
#include "platform/QuickSort.h"
#include "platform/YieldHook.h"

namespace qn {

namespace {

// The ordering of a tree created without one: everything equals the root.
int32_t CompareNothing(void*, void*, void*) { return 0; }

TCompare2FunctOfObject OrCompareNothing(TCompare2FunctOfObject f) {
  return f.Assigned() ? f : TCompare2FunctOfObject(&CompareNothing, nullptr);
}

// The error a walk raises when it cannot get room for its stack.
[[noreturn]] void RaiseLopsided() { throw Exception("lopsided data: stack overflow in Tree"); }

// The walk's stack of nodes whose left subtree is still being walked. It grows
// as needed; only a failure to get memory stops a walk.
class TWalkStack {
 public:
  TWalkStack() {
    try {
      fNodes.reserve(kWalkStackInitial);
    } catch (const std::bad_alloc&) {
      RaiseLopsided();
    }
  }
  void Push(anything_ptr node) {
    try {
      fNodes.push_back(node);
    } catch (const std::bad_alloc&) {
      RaiseLopsided();
    }
  }
  bool Empty() const noexcept { return fNodes.empty(); }
  anything_ptr Pop() noexcept {
    anything_ptr node = fNodes.back();
    fNodes.pop_back();
    return node;
  }

 private:
  std::vector<anything_ptr> fNodes;
};

}  // namespace

TGeneral_Tree::TGeneral_Tree(TCompare2FunctOfObject Compfunct)
    : fDoFoundMatchFunct(TDo_Something::Bind<&TGeneral_Tree::Do_Found_Match>(this)),
      fDoInOrderFunct(TDo_Something::Bind<&TGeneral_Tree::Do_In_Order>(this)),
      fDoAddedOneFunct(TDo_Something::Bind<&TGeneral_Tree::Do_Added_One>(this)),
      fDoDeletingFunct(TDo_Something::Bind<&TGeneral_Tree::Do_Deleting>(this)),
      fCompareFunct(OrCompareNothing(Compfunct)) {}

TGeneral_Tree::~TGeneral_Tree() {
  // A descendant whose Do_Deleting releases items clears the tree in its own
  // destructor, while its override is still in reach; this only frees nodes.
  try {
    ReleaseAll();
  } catch (...) {
    // A destructor cannot report; the nodes left are lost rather than the process.
  }
}

int32_t TGeneral_Tree::ApproxCompare(void*, void*) { return 0; }
bool TGeneral_Tree::IsASeed(void*) { return false; }
void TGeneral_Tree::Do_Found_Match(anything_ptr&) {}
void TGeneral_Tree::Do_Added_One(anything_ptr&) {}
void TGeneral_Tree::Do_In_Order(anything_ptr&) {}
void TGeneral_Tree::Do_Deleting(anything_ptr&) {}
void TGeneral_Tree::Seed_Tree() {}
void TGeneral_Tree::Do_Nowt(anything_ptr&) {}

void TGeneral_Tree::Clear() {
  fTreeModified = true;
  fBuiltPtrArray.clear();  // its items are about to be released
  ReleaseAll();
}

void TGeneral_Tree::SetCompareFunction(TCompare2FunctOfObject f) noexcept {
  fCompareFunct = f;
  // The index is ordered by the old ordering; an empty tree simply starts anew.
  if (counter != 0) DropIndex();
}

void TGeneral_Tree::DropIndex() noexcept {
  fIndex.clear();
  fIndexValid = false;
}

void TGeneral_Tree::PlaceByIndex(const anything& new_one, anything_ptr& parent, int32_t& order,
                                 anything_ptr& match) {
  const auto next = fIndex.lower_bound(new_one.this_);  // the first node not before the item
  MyYieldProcess();
  if (next != fIndex.end() && fCompareFunct(new_one.this_, (*next)->this_) == 0) {
    match = *next;
    return;
  }
  anything_ptr before = next != fIndex.begin() ? *std::prev(next) : nullptr;
  anything_ptr after = next != fIndex.end() ? *next : nullptr;
  // The in-order neighbours are related as ancestor and descendant; the new
  // item goes below the one whose side towards it is free.
  if (before != nullptr && before->right == nullptr) {
    parent = before;
    order = 1;
  } else {
    parent = after;  // null only for an empty tree: the new node becomes the root
    order = -1;
  }
}

anything_ptr TGeneral_Tree::Insert(anything_ptr start, anything& new_one) {
  anything_ptr parent = start;
  int32_t order = 0;
  anything_ptr match = nullptr;
  MyYieldProcess();
  if (start == froot && fIndexValid) {
    PlaceByIndex(new_one, parent, order, match);
  } else {
    for (anything_ptr node = start; node != nullptr;
         node = order < 0 ? node->left : node->right) {
      parent = node;
      MyYieldProcess();
      order = fCompareFunct(new_one.this_, node->this_);
      if (order == 0) {
        match = node;
        break;
      }
    }
  }
  if (match != nullptr) {
    if (fDoFoundMatchFunct.Assigned()) fDoFoundMatchFunct(match);
    return nullptr;
  }
  anything_ptr result = Attach(new_one, parent, order);
  if (fIndexValid) {
    try {
      fIndex.insert(result);
    } catch (...) {
      DropIndex();  // insertion goes on by descent
    }
  }
  return result;
}

anything_ptr TGeneral_Tree::Attach(anything& new_one, anything_ptr parent, int32_t order) {
  // Held until attached, so that a failing hook leaves the tree as it was.
  auto added = std::make_unique<anything>(new_one);
  anything_ptr hooked = added.get();
  if (fDoAddedOneFunct.Assigned()) fDoAddedOneFunct(hooked);
  added->left = nullptr;
  added->right = nullptr;
  anything_ptr result = added.release();
  if (parent == nullptr) {
    froot = result;
  } else if (order < 0) {
    parent->left = result;
  } else {
    parent->right = result;
  }
  ++counter;
  fTreeModified = true;
  return result;
}

bool TGeneral_Tree::Add_One(anything& new_one) { return Insert(froot, new_one) != nullptr; }

bool TGeneral_Tree::Add_One_To_Nearest(anything& new_one) {
  return Insert(nearest_find != nullptr ? nearest_find : froot, new_one) != nullptr;
}

anything_ptr TGeneral_Tree::Add_OnePtr(anything& new_one) { return Insert(froot, new_one); }

anything_ptr TGeneral_Tree::WhereIs(const anything& new_one) {
  MyYieldProcess();
  anything_ptr node = froot;
  while (node != nullptr) {
    MyYieldProcess();
    nearest_find = node;
    const int32_t order = fCompareFunct(new_one.this_, node->this_);
    if (order == 0) return node;
    node = order < 0 ? node->left : node->right;
  }
  return nullptr;
}

anything_ptr TGeneral_Tree::WhereIsApproxMatch(const anything& new_one) {
  MyYieldProcess();
  anything_ptr node = froot;
  while (node != nullptr) {
    const int32_t order = ApproxCompare(new_one.this_, node->this_);
    if (order == 0) return node;
    node = order < 0 ? node->left : node->right;
  }
  return nullptr;
}

template <typename Visit>
void TGeneral_Tree::WalkInOrder(Visit&& visit) {
  fTreeModified = false;
  if (froot == nullptr) return;
  going = 0;
  TWalkStack stack;
  anything_ptr node = froot;
  do {
    MyYieldProcess();
    while (node != nullptr) {
      stack.Push(node);
      node = node->left;
    }
    if (stack.Empty()) break;
    anything_ptr popped = stack.Pop();
    node = popped->right;
    ++going;
    MyYieldProcess();
    visit(popped);
  } while (node != nullptr || !stack.Empty());
}

void TGeneral_Tree::Traverse(TDo_Something DoInOrder) {
  const TDo_Something hook = DoInOrder.Assigned() ? DoInOrder : fDoInOrderFunct;
  WalkInOrder([&hook](anything_ptr node) {
    if (hook.Assigned()) hook(node);
  });
}

void TGeneral_Tree::Traverse() { Traverse(TDo_Something()); }

// Releases every node in ascending order without a stack: a node with a left
// child is rotated right until the smallest node is at the top, which is then
// released. Rotations keep the in-order sequence, so the deleting hook sees the
// nodes in the order of the in-order walk, with going = counter - 1 .. 0.
//
// The nodes are detached from the tree before the first hook or yield runs:
// whatever the host does from its yield procedure while they go (a lookup, a
// count) finds an empty tree rather than released nodes. A hook or yield that
// raises puts the nodes not yet released back, when the tree is still empty,
// so that a valid tree of them remains; otherwise they are released without
// their hooks.
void TGeneral_Tree::ReleaseAll() {
  ++fReleaseGeneration;
  anything_ptr top = froot;
  int32_t remaining = counter;
  froot = nullptr;
  counter = 0;
  nearest_find = nullptr;
  fIndex.clear();
  fIndexValid = true;  // empty tree, empty index
  fReorderPtrArray.clear();
  going = remaining;
  while (top != nullptr) {
    if (top->left != nullptr) {
      anything_ptr left = top->left;
      top->left = left->right;
      left->right = top;
      top = left;
      continue;
    }
    anything_ptr node = top;
    top = node->right;  // taken first: the hook may clear the node's item
    --going;
    try {
      MyYieldProcess();
      anything_ptr hooked = node;
      if (fDoDeletingFunct.Assigned()) fDoDeletingFunct(hooked);
    } catch (...) {
      node->right = top;
      if (froot == nullptr) {
        froot = node;
        counter = remaining;
        DropIndex();  // the index no longer holds the tree's nodes
      } else {
        DeleteNodes(node);
      }
      throw;
    }
    delete node;
    --remaining;
  }
}

void TGeneral_Tree::DeleteNodes(anything_ptr top) noexcept {
  while (top != nullptr) {
    if (top->left != nullptr) {
      anything_ptr left = top->left;
      top->left = left->right;
      left->right = top;
      top = left;
      continue;
    }
    anything_ptr node = top;
    top = node->right;
    delete node;
  }
}

int32_t TGeneral_Tree::BuildPtrArray(TFilterItOut FilterOutCriterion,
                                     TDo_Something DoInOrderAfterwards) {
  built_len = 0;
  fBuiltPtrArray.assign(static_cast<size_t>(counter > 0 ? counter : 0), nullptr);
  fFilterItOut = FilterOutCriterion;
  WalkInOrder([this](anything_ptr node) {
    anything_ptr hooked = node;
    if (fFilterItOut.Assigned() && fFilterItOut(hooked)) return;
    if (IsASeedItem(node->this_)) return;
    if (static_cast<size_t>(built_len) < fBuiltPtrArray.size()) {
      fBuiltPtrArray[static_cast<size_t>(built_len)] = node->this_;
      ++built_len;
    }
  });
  fBuiltPtrArray.resize(static_cast<size_t>(built_len));
  if (DoInOrderAfterwards.Assigned()) {
    fDoInOrderFunct = DoInOrderAfterwards;
    TraverseArray(fBuiltPtrArray);
  }
  return built_len;
}

void TGeneral_Tree::SortBuiltArray() {
  if (fBuiltPtrArray.size() > 1)
    QuickSort(fBuiltPtrArray, 0, static_cast<int64_t>(fBuiltPtrArray.size()) - 1);
}

void TGeneral_Tree::SortBuiltArray(TCompare2FunctOfObject NewCompare) {
  SetCompareFunction(OrCompareNothing(NewCompare));
  SortBuiltArray();
}

// The system's quicksort (not stable). The pivot is captured by value and
// compared as the first argument on the right scan, and the scans stop at the
// range's ends, as the lists have always been sorted.
void TGeneral_Tree::QuickSort(TTreeArrayOfPointer& a, int64_t lo, int64_t hi) {
  struct TSorter {
    TTreeArrayOfPointer& a;
    TCompare2FunctOfObject& compare;
    void* pivot = nullptr;
    bool BeginPartition(int64_t, int64_t, int64_t middle) {
      pivot = a[static_cast<size_t>(middle)];
      return true;
    }
    bool ItemBeforePivot(int64_t i) { return compare(a[static_cast<size_t>(i)], pivot) < 0; }
    bool PivotBeforeItem(int64_t j) { return compare(pivot, a[static_cast<size_t>(j)]) < 0; }
    void Exchange(int64_t i, int64_t j) { std::swap(a[static_cast<size_t>(i)], a[static_cast<size_t>(j)]); }
  };
  TSorter sorter{a, fCompareFunct};
  platform::BoundedQuickSort<platform::TQuickSortScans::kStopAtEnds>(lo, hi, sorter);
}

void TGeneral_Tree::TraverseArray(const TTreeArrayOfPointer& arr) {
  going = 0;
  for (size_t k = 0; k < arr.size(); ++k) {
    ++going;
    void* const element = arr[k];
    if (element == nullptr) continue;
    MyYieldProcess();
    anything carrier{element, nullptr, nullptr};
    anything_ptr hooked = &carrier;
    if (fDoInOrderFunct.Assigned()) fDoInOrderFunct(hooked);
  }
}

void TGeneral_Tree::TraverseArray(Tarray_of_anything_ptr& arr) {
  going = 0;
  for (size_t k = 0; k < arr.size(); ++k) {
    ++going;
    if (arr[k] == nullptr) continue;
    MyYieldProcess();
    if (fDoInOrderFunct.Assigned()) fDoInOrderFunct(arr[k]);
  }
}

void TGeneral_Tree::TraverseReordering(TCompare2FunctOfObject NewCompare,
                                       TDo_Something NewDoInOrder) {
  fReorderPtrArray.assign(static_cast<size_t>(counter > 0 ? counter : 0), nullptr);
  SetCompareFunction(OrCompareNothing(NewCompare));
  WalkInOrder([this](anything_ptr node) {
    const size_t at = static_cast<size_t>(going - 1);
    if (node->this_ != nullptr && at < fReorderPtrArray.size()) fReorderPtrArray[at] = node->this_;
  });
  if (fReorderPtrArray.size() > 1)
    QuickSort(fReorderPtrArray, 0, static_cast<int64_t>(fReorderPtrArray.size()) - 1);
  fDoInOrderFunct = NewDoInOrder;
  TraverseArray(fReorderPtrArray);
}

void TGeneral_Tree::CopyFrom(TGeneral_Tree& Another, TDo_Something AnothersDoInOrder,
                             bool ClearSelf, bool ClearAnother) {
  if (ClearSelf) Clear();
  Another.fDoInOrderFunct = AnothersDoInOrder;
  Another.Traverse();
  if (ClearAnother) Another.Clear();
}

}  // namespace qn
