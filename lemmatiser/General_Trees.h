// TGeneral_Tree: the ordered container under every list the lemmatiser loads.
//
// An unbalanced binary search tree of opaque item pointers, ordered by a
// comparison its owner supplies. The tree never looks inside an item and never
// releases one: it owns only its nodes. Owners learn of each duplicate, each
// added node, each node visited in order and each node about to be released
// through four hooks, which by default call the tree's own virtual operations.
//
// The tree never rebalances. Its owners seed it with items spread over the
// alphabet before loading sorted data, so that the data hangs in many short
// chains rather than one long one, and keep those seeds out of their reports
// (IsASeed). Sorted files still hang in long chains between the seeds, and a
// descent down such a chain costs a comparison per node; so insertions from
// the root find their place through an ordered index of the nodes kept beside
// the tree: the new item's in-order neighbours P and S give its parent (P when
// P has no right child, else S, whose left child is then free), which is
// where a descent would attach it. The tree's shape, its walks and every hook
// call are the same as with a descent; only the number of comparisons and
// yields per insertion changes. The index is dropped, and insertion descends,
// once the ordering is replaced on a non-empty tree.
//
// Descents and walks are loops, never recursion, and call the process-wide
// yield procedure at every step so that a host's user interface stays alive
// during long operations (and may set a list's cancel flag). The in-order
// walk keeps an explicit stack of the nodes whose left subtree is being
// walked; it starts with room for kWalkStackInitial entries and grows, so a
// valid tree of any shape can always be walked. The release walk needs no
// stack at all.
//
// Single-threaded: a hook or the yield procedure must not insert into, clear
// or walk a tree that is in the middle of an operation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <vector>

#include "platform/Callbacks.h"
#include "platform/Export.h"

namespace qn {

struct anything;
using anything_ptr = anything*;

// A node: the item and the two children. The tree allocates a node when an
// item is added and releases it only in the release walk.
struct anything {
  void* this_ = nullptr;  // the item; never looked into or released by the tree
  anything_ptr left = nullptr;
  anything_ptr right = nullptr;
};

using TTreeArrayOfPointer = std::vector<void*>;
using Tarray_of_anything_ptr = std::vector<anything_ptr>;

// Negative when a orders before b, zero when equal, positive when after.
using TCompare2FunctOfObject = platform::TMethod<int32_t(void* a, void* b)>;
// Receives a reference to a variable holding a node pointer.
using TDo_Something = platform::TMethod<void(anything_ptr& item)>;
// True leaves the node out.
using TFilterItOut = platform::TMethod<bool(anything_ptr& item)>;

// Initial room of the walk stack; it grows beyond this when a tree leans left.
inline constexpr size_t kWalkStackInitial = 2048;

class QN_API TGeneral_Tree {
 public:
  // An unassigned comparison is replaced by one that always answers 0, so that
  // such a tree never holds more than one node.
  explicit TGeneral_Tree(TCompare2FunctOfObject Compfunct = {});
  TGeneral_Tree(const TGeneral_Tree&) = delete;
  TGeneral_Tree& operator=(const TGeneral_Tree&) = delete;
  // The release walk (the deleting hook sees every node), then the tree.
  virtual ~TGeneral_Tree();

  // Releases every node through the deleting hook; the tree is then empty and
  // reusable. Sets TreeModified. The nodes leave the tree before the first
  // hook or yield runs, so that anything called from there sees an empty
  // tree. Descendants that keep more state override this and clear it too, so
  // that clearing a list through any of its bases clears all of it.
  virtual void Clear();

  // Inserts new_one.this_ (all three fields of new_one are copied into the new
  // node before the added hook runs; the children are then set to null). True
  // when a node was added; on an equal item the found-match hook is called
  // with the existing node and nothing is added.
  bool Add_One(anything& new_one);
  // The same, descending from nearest_find (left by the last WhereIs) instead
  // of the root, for the pattern "search, then add the absent item". Without a
  // preceding search it starts at the root.
  bool Add_One_To_Nearest(anything& new_one);
  // The same as Add_One; returns the new node, or null on an equal item.
  anything_ptr Add_OnePtr(anything& new_one);

  // The node whose item equals new_one.this_, or null. Leaves in nearest_find
  // the last node compared.
  anything_ptr WhereIs(const anything& new_one);
  // The same descent ordered by ApproxCompare; leaves nearest_find alone.
  anything_ptr WhereIsApproxMatch(const anything& new_one);

  // The in-order walk: the hook (or fDoInOrderFunct) sees every node in
  // ascending order with going = 1 .. counter. An empty tree calls nothing and
  // leaves going alone.
  void Traverse(TDo_Something DoInOrder);
  void Traverse();

  // Collects in BuiltArray, in order, the items of the nodes that the filter
  // (installed as FilteredOut, and kept) does not leave out, seeds excluded;
  // when DoInOrderAfterwards is assigned it is installed as the in-order hook
  // and walks the collected array. Returns the number collected.
  int32_t BuildPtrArray(TFilterItOut FilterOutCriterion, TDo_Something DoInOrderAfterwards);
  // Sorts BuiltArray by the tree's ordering, or first installs NewCompare as
  // the tree's ordering (it stays installed for later insertions and searches).
  void SortBuiltArray();
  void SortBuiltArray(TCompare2FunctOfObject NewCompare);
  // Visits the elements in index order with going = 1 .. size, calling the
  // in-order hook for every non-null element. For an item array the hook gets
  // a node carrying the item and no children; for a node array the element.
  void TraverseArray(const TTreeArrayOfPointer& arr);
  void TraverseArray(Tarray_of_anything_ptr& arr);
  // Walks the items (seeds included) in the order of NewCompare, which stays
  // installed as the tree's ordering; NewDoInOrder stays installed as the
  // in-order hook.
  void TraverseReordering(TCompare2FunctOfObject NewCompare, TDo_Something NewDoInOrder);
  // Walks Another with AnothersDoInOrder (left installed there), which does
  // the copying; optionally clears this tree first and Another afterwards.
  void CopyFrom(TGeneral_Tree& Another, TDo_Something AnothersDoInOrder, bool ClearSelf,
                bool ClearAnother);

  // Virtual operations and their base behaviour.
  virtual int32_t ApproxCompare(void* a, void* b);  // 0
  virtual bool IsASeed(void* a);                    // false
  virtual void Do_Found_Match(anything_ptr& item);  // nothing
  virtual void Do_Added_One(anything_ptr& item);    // nothing
  virtual void Do_In_Order(anything_ptr& item);     // nothing
  virtual void Do_Deleting(anything_ptr& item);     // nothing
  virtual void Seed_Tree();                         // nothing
  // Whether a node's item is a seed, for BuildPtrArray: IsASeed of the item.
  // Owners whose IsASeed looks at a part of the item (its text) override this.
  virtual bool IsASeedItem(void* item) { return IsASeed(item); }

  // An inert hook for owners that want one.
  void Do_Nowt(anything_ptr& item);

  // Properties.
  const TTreeArrayOfPointer& BuiltArray() const noexcept { return fBuiltPtrArray; }
  TCompare2FunctOfObject CompareFunction() const noexcept { return fCompareFunct; }
  void SetCompareFunction(TCompare2FunctOfObject f) noexcept;
  TDo_Something DoFoundMatchFunction() const noexcept { return fDoFoundMatchFunct; }
  void SetDoFoundMatchFunction(TDo_Something f) noexcept { fDoFoundMatchFunct = f; }
  TDo_Something DoDeletingFunction() const noexcept { return fDoDeletingFunct; }
  void SetDoDeletingFunction(TDo_Something f) noexcept { fDoDeletingFunct = f; }
  TDo_Something DoAddedOneFunction() const noexcept { return fDoAddedOneFunct; }
  void SetDoAddedOneFunction(TDo_Something f) noexcept { fDoAddedOneFunct = f; }
  TDo_Something DoInOrderFunction() const noexcept { return fDoInOrderFunct; }
  void SetDoInOrderFunction(TDo_Something f) noexcept { fDoInOrderFunct = f; }
  TFilterItOut FilteredOut() const noexcept { return fFilterItOut; }
  void SetFilteredOut(TFilterItOut f) noexcept { fFilterItOut = f; }
  bool TreeModified() const noexcept { return fTreeModified; }
  void SetTreeModified(bool value) noexcept { fTreeModified = value; }
  anything_ptr Root() const noexcept { return froot; }

 protected:
  // Changes whenever the nodes are released, so that owners can tell whether
  // something they remembered about the nodes still holds.
  uint64_t ReleaseGeneration() const noexcept { return fReleaseGeneration; }

  TTreeArrayOfPointer fBuiltPtrArray;
  TTreeArrayOfPointer fReorderPtrArray;
  int32_t built_len = 0;
  bool fTreeModified = false;
  TFilterItOut fFilterItOut;
  TDo_Something fDoFoundMatchFunct;
  TDo_Something fDoInOrderFunct;
  TDo_Something fDoAddedOneFunct;
  TDo_Something fDoDeletingFunct;
  TCompare2FunctOfObject fCompareFunct;

 public:
  anything_ptr froot = nullptr;
  anything_ptr nearest_find = nullptr;  // meaningful between a WhereIs and the next change
  int32_t counter = 0;                  // number of nodes, seeds included
  int32_t going = 0;                    // position counter of the current walk
  anything current;                     // the new or sought item, filled by owners

 private:
  // Orders nodes (and items) by the tree's ordering, for the index.
  struct TNodeOrder {
    using is_transparent = void;
    TGeneral_Tree* tree;
    bool operator()(anything_ptr a, anything_ptr b) const { return tree->fCompareFunct(a->this_, b->this_) < 0; }
    bool operator()(anything_ptr a, void* b) const { return tree->fCompareFunct(a->this_, b) < 0; }
    bool operator()(void* a, anything_ptr b) const { return tree->fCompareFunct(a, b->this_) < 0; }
  };

  anything_ptr Insert(anything_ptr start, anything& new_one);
  // The parent and side that a descent from the root would find for new_one,
  // through the index; an equal node is returned in match instead.
  void PlaceByIndex(const anything& new_one, anything_ptr& parent, int32_t& order, anything_ptr& match);
  void DropIndex() noexcept;
  anything_ptr Attach(anything& new_one, anything_ptr parent, int32_t order);
  // The in-order walk behind Traverse and the array builders.
  template <typename Visit>
  void WalkInOrder(Visit&& visit);
  void ReleaseAll();
  // Releases detached nodes without calling any hook.
  static void DeleteNodes(anything_ptr top) noexcept;
  void QuickSort(TTreeArrayOfPointer& a, int64_t lo, int64_t hi);

  std::set<anything_ptr, TNodeOrder> fIndex{TNodeOrder{this}};
  bool fIndexValid = true;  // the index holds exactly the tree's nodes, in its order
  uint64_t fReleaseGeneration = 0;
};

}  // namespace qn
