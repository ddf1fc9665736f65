#include "runtime1/containers/PointerList.h"

#include <string>

#include "platform/Exceptions.h"
#include "platform/QuickSort.h"

namespace qn {

TPointerList::~TPointerList() {
  // A descendant's Notify is no longer reachable here; descendants that own
  // their items clear themselves in their own destructors.
  fList.clear();
}

void TPointerList::Error(int32_t index) {
  throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}

void* TPointerList::Get(int32_t index) const {
  CheckIndex(index);
  return fList[static_cast<size_t>(index)];
}

void TPointerList::Put(int32_t index, void* item) {
  CheckIndex(index);
  void* old = fList[static_cast<size_t>(index)];
  if (old == item) return;
  fList[static_cast<size_t>(index)] = item;
  if (old != nullptr) Notify(old, TListNotification::lnDeleted);
  if (item != nullptr) Notify(item, TListNotification::lnAdded);
}

int32_t TPointerList::Add(void* item) {
  fList.push_back(item);
  if (item != nullptr) Notify(item, TListNotification::lnAdded);
  return Count() - 1;
}

void TPointerList::Insert(int32_t index, void* item) {
  if (index < 0 || index > Count()) Error(index);
  fList.insert(fList.begin() + index, item);
  if (item != nullptr) Notify(item, TListNotification::lnAdded);
}

void TPointerList::Delete(int32_t index) {
  CheckIndex(index);
  void* old = fList[static_cast<size_t>(index)];
  fList.erase(fList.begin() + index);
  if (old != nullptr) Notify(old, TListNotification::lnDeleted);
}

void TPointerList::Exchange(int32_t index1, int32_t index2) {
  CheckIndex(index1);
  CheckIndex(index2);
  std::swap(fList[static_cast<size_t>(index1)], fList[static_cast<size_t>(index2)]);
}

void TPointerList::Move(int32_t curIndex, int32_t newIndex) {
  if (curIndex == newIndex) return;
  CheckIndex(curIndex);
  CheckIndex(newIndex);
  void* item = fList[static_cast<size_t>(curIndex)];
  fList.erase(fList.begin() + curIndex);
  fList.insert(fList.begin() + newIndex, item);
}

void TPointerList::Pack() { std::erase(fList, nullptr); }

int32_t TPointerList::IndexOf(const void* item) const noexcept {
  for (size_t i = 0; i < fList.size(); ++i)
    if (fList[i] == item) return static_cast<int32_t>(i);
  return -1;
}

void TPointerList::Clear() {
  while (!fList.empty()) {
    void* old = fList.back();
    fList.pop_back();
    if (old != nullptr) Notify(old, TListNotification::lnDeleted);
  }
  fList.shrink_to_fit();
}

void TPointerList::Sort(TListSortCompare compare) {
  if (Count() > 1 && compare != nullptr) platform::ArrayQuickSort(fList.data(), 0, Count() - 1, compare);
}

void TPointerList::Notify(void*, TListNotification) {}

void TPointerList::Reserve(int32_t capacity) {
  if (capacity > 0) fList.reserve(static_cast<size_t>(capacity));
}

}  // namespace qn
