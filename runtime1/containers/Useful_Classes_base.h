// Owning lists of small holder objects, with a binary stream format.
//
// Most in-memory tables of the suite (numbers, pairs of numbers, values with
// frequencies, strings with colours) are lists whose items are holder objects,
// each owning one record. This module gives the pattern:
//
//   TUsefulBaseListObject  the item base: reads and writes its record
//   TUsefulBaseList        the owning list: free one item, clear, save, load
//   TUsefulBaseListSorts   adds Sort, ReverseTheSort, RemoveDuplicates and the
//                          `sorted` flag that the typed lists search by
//
// Ownership: the list owns its items. Delete, Put, FreeAndNilOne, Clear and the
// destructor free them. FreeAndNilOne leaves an empty slot (nullptr) that only
// Clear, RemoveDuplicates and Pack remove; value getters of the typed lists
// treat an empty slot like an index outside the list.
//
// Stream format (little-endian):
//   count   int32   number of items N
//   sorted  uint8   TUsefulBaseListSorts only: 1 if sorted, else 0
//   items   N times each item's own SaveToStream output
// Item classes that do not persist write nothing, so such a list stores only
// its count (and the sorted byte).
//
// Streams are untrusted on reading. A count above the items the stream holds
// gives false, with the items it lacks appended empty, as does a count whose
// items fail to read. Only a count that could never be honoured raises
// EReadError "file read error : ReadFromStream" before anything is created: a
// negative one, or one that asks for more than 2^20 items beyond those the
// bytes left could hold (for item classes with a known minimum size; for
// others, more than 2^20 items), so that a forged count cannot make the list
// create items without end.
#pragma once

#include <cstdint>
#include <string_view>
#include <typeinfo>

#include "platform/Export.h"
#include "platform/Object.h"
#include "runtime1/containers/PointerList.h"

namespace qn {

namespace platform {
class TStream;
}

// The base of every item of the lists. Its two operations read and write the
// item's record; in this class both read and write nothing and succeed.
class QN_API TUsefulBaseListObject : public platform::TObject {
 public:
  TUsefulBaseListObject() = default;
  ~TUsefulBaseListObject() override;
  virtual bool ReadFromStream(platform::TStream& Stream);
  virtual bool SaveToStream(platform::TStream& Stream);
};

// A class of items: creates an item with all data zero, tells whether an
// object is of the class (or derived from it), and says how many bytes at
// least one item takes in a stream (0 for classes that write nothing or whose
// size is unknown), which lets readers reject impossible counts.
struct TUsefulBaseListObjectClassInfo {
  TUsefulBaseListObject* (*Create)();
  bool (*IsInstance)(const TUsefulBaseListObject* item);
  int32_t MinStreamSize;
  const char* ClassName;
};
using TUsefulBaseListObjectClass = const TUsefulBaseListObjectClassInfo*;

// The class of item type T; T must be default-constructible with zero data.
// MinSize is the least number of bytes one item of T takes in a stream.
template <typename T, int32_t MinSize = 0>
TUsefulBaseListObjectClass ClassOf() {
  static const TUsefulBaseListObjectClassInfo info{
      []() -> TUsefulBaseListObject* { return new T(); },
      [](const TUsefulBaseListObject* item) { return dynamic_cast<const T*>(item) != nullptr; },
      MinSize, typeid(T).name()};
  return &info;
}

// Raised when a list meets an item of another class than its own.
[[noreturn]] QN_API void RaiseInvalidItemClass();

class QN_API TUsefulBaseList : public TPointerList {
 public:
  explicit TUsefulBaseList(TUsefulBaseListObjectClass AnEntriesClass);
  ~TUsefulBaseList() override;

  // The item most recently created, read or written by the list; nullptr once
  // it has been freed.
  TUsefulBaseListObject* AnInstance = nullptr;

  TUsefulBaseListObjectClass EntriesClass() const noexcept { return fEntriesClass; }

  // The pointer list's operations, typed (the untyped ones are hidden). Items
  // taken in become the list's.
  // The item at index (nullptr for an empty slot); raises EListError outside
  // 0..Count-1.
  TUsefulBaseListObject* Items(int32_t index) const {
    return static_cast<TUsefulBaseListObject*>(Get(index));
  }
  int32_t Add(TUsefulBaseListObject* item) { return TPointerList::Add(item); }
  void Insert(int32_t index, TUsefulBaseListObject* item) { TPointerList::Insert(index, item); }
  // Replaces the item at index, freeing the old one.
  void Put(int32_t index, TUsefulBaseListObject* item) { TPointerList::Put(index, item); }
  // Removes the item at index and frees it.
  void Delete(int32_t index) { TPointerList::Delete(index); }
  int32_t IndexOf(const TUsefulBaseListObject* item) const noexcept {
    return TPointerList::IndexOf(item);
  }

  // True when 0 <= index < Count and the slot holds an item.
  bool IndexAssignedOK(int32_t index) const noexcept {
    return index >= 0 && index < Count() && List()[index] != nullptr;
  }

  // Compares the items at index1 and index2 (for RemoveDuplicates); the base
  // finds no two items equal and returns -1.
  virtual int32_t ComparedValues(int32_t index1, int32_t index2);
  // Frees the item at index, if there is one, and leaves the slot empty.
  virtual void FreeAndNilOne(int32_t index);
  // Frees every item and empties the list.
  void Clear() override;

  virtual bool ReadFromStream(platform::TStream& Stream);
  virtual bool SaveToStream(platform::TStream& Stream);
  // Writes the list to a new (or truncated) file; the old file is replaced
  // only once the whole list is written. Raises when the file cannot be made.
  bool SaveToFile(std::u16string_view aFilename);
  bool SaveToFile(std::string_view aFilenameUtf8);
  // Reads the list from a file opened for reading, others allowed to read and
  // write it. Raises when the file cannot be opened.
  bool LoadFromFile(std::u16string_view aFilename);
  bool LoadFromFile(std::string_view aFilenameUtf8);

  // Writes the items of the first n slots (empty slots are skipped).
  bool SaveTheInstances(platform::TStream& Stream, int32_t n);
  // Creates, appends and reads n new items; after a failed read the remaining
  // items are still appended, empty. n is checked against the stream first.
  bool LoadTheInstances(platform::TStream& Stream, int32_t n);

 protected:
  void Notify(void* item, TListNotification action) override;
  // The number of items the list would save (the slots that hold an item).
  int32_t AssignedCount() const noexcept;
  // Raises for a count that could never be honoured (see the top of this file).
  void CheckStoredCount(platform::TStream& Stream, int32_t n) const;
  // How many of n items the bytes left in Stream could hold at the class's
  // minimum size (0 for a class without one).
  int32_t ItemsTheBytesCouldHold(platform::TStream& Stream, int32_t n) const;

  TUsefulBaseListObjectClass fEntriesClass;
};

// Compares two items: negative when Item1 belongs first, 0 when equal,
// positive when Item2 belongs first. An empty slot arrives as nullptr.
using TUsefulListSortCompare = int32_t (*)(const TUsefulBaseListObject* Item1,
                                           const TUsefulBaseListObject* Item2);

class QN_API TUsefulBaseListSorts : public TUsefulBaseList {
 public:
  explicit TUsefulBaseListSorts(TUsefulBaseListObjectClass AnEntriesClass);
  ~TUsefulBaseListSorts() override;

  // Set by the binary searches of the typed lists: the last index probed.
  int32_t nearest = -1;
  // True once Sort has run (whatever the comparison); false after creation
  // and Clear.
  bool sorted = false;

  // Sorts with the pointer list's quicksort (not stable), then sets sorted.
  void Sort(TUsefulListSortCompare Compare);
  // Reverses the order of the items; sorted is left as it is.
  void ReverseTheSort();
  // Keeps the first item of every run of neighbours that ComparedValues finds
  // equal and frees the others.
  void RemoveDuplicates();
  void Clear() override;

  bool ReadFromStream(platform::TStream& Stream) override;
  bool SaveToStream(platform::TStream& Stream) override;
};

}  // namespace qn
