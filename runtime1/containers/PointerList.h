// The pointer list that the system's lists are built on.
//
// TPointerList is an ordered array of addresses with the operations the
// containers rely on: Count, Add, Insert, Delete, Exchange, Move, Pack (which
// removes empty slots) and an in-place quicksort taking a comparison function.
// It owns nothing by itself: a descendant that owns its items frees them in
// Notify (called with lnDeleted for every item that leaves the list through
// Delete or Clear) or in its own Clear.
//
// The sort is the system's quicksort (platform/QuickSort.h) over the slots:
// the classic one with the middle item as pivot, whose order of equal items
// the lists' callers see, sorting the smaller part of each partition first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/Export.h"
#include "platform/Object.h"

namespace qn {

enum class TListNotification : uint8_t { lnAdded, lnExtracted, lnDeleted };

// Negative: Item1 belongs before Item2; zero: equal; positive: Item2 first.
using TListSortCompare = int32_t (*)(void* Item1, void* Item2);

// A TObject, so that a string list can own a list as an entry's object.
class QN_API TPointerList : public platform::TObject {
 public:
  TPointerList() = default;
  TPointerList(const TPointerList&) = delete;
  TPointerList& operator=(const TPointerList&) = delete;
  // Removes the items (Notify sees each one) before the list goes.
  ~TPointerList() override;

  int32_t Count() const noexcept { return static_cast<int32_t>(fList.size()); }
  // Raises "List index out of bounds (%d)" for an index outside 0..Count-1.
  void* Get(int32_t index) const;
  void* operator[](int32_t index) const { return Get(index); }
  // Replaces the item at index (Notify sees the old one leave, the new one come).
  void Put(int32_t index, void* item);

  int32_t Add(void* item);
  // 0 <= index <= Count.
  void Insert(int32_t index, void* item);
  void Delete(int32_t index);
  void Exchange(int32_t index1, int32_t index2);
  void Move(int32_t curIndex, int32_t newIndex);
  // Removes every empty (null) slot, keeping the order of the others.
  void Pack();
  // The first index holding item, or -1.
  int32_t IndexOf(const void* item) const noexcept;
  // Removes every item (Notify sees each one, from the last to the first).
  virtual void Clear();

  // The classic quicksort with the middle item as pivot; not stable.
  void Sort(TListSortCompare compare);

  // Direct access to the slots, for the sorts of descendants.
  void** List() noexcept { return fList.data(); }
  void* const* List() const noexcept { return fList.data(); }

  // Raises the list's index error (EListError).
  [[noreturn]] static void Error(int32_t index);

 protected:
  virtual void Notify(void* item, TListNotification action);
  // Grows the storage ahead of a known number of additions.
  void Reserve(int32_t capacity);

 private:
  void CheckIndex(int32_t index) const {
    if (index < 0 || index >= Count()) Error(index);
  }

  std::vector<void*> fList;
};

}  // namespace qn
