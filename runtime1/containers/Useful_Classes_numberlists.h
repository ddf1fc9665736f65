// The typed lists built on the base lists: numbers, pairs, triples and
// quadruples of numbers, values with frequencies, strings with a column and a
// colour. Part of the typed list family (Useful_Classes.h).
//
// Each list owns one holder per record. Common behaviour:
// - Indexed getters return the member's "nothing" value (stated per member)
//   for an index outside the list or an empty slot (FreeAndNilOne,
//   FindAndFree), and setters ignore such an index.
// - Searches are binary when the list is `sorted` (set by every Sort, left set
//   by appends and inserts out of order, cleared by Clear), else linear; both
//   yield to the user interface once per probe or item. A list changed after
//   sorting is searched as if it were still in order: sort again first.
// - Binary search sets `nearest` to the last index probed, from which sorted
//   insertion places a value that is not present: a new value equal to one
//   present goes before it.
// - The sorts are the pointer list's quicksort: not stable.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Export.h"
#include "runtime1/containers/PointerList.h"
#include "runtime1/containers/Useful_Classes_base.h"
#include "runtime1/containers/Useful_Classes_records.h"

namespace qn {

// ---------------------------------------------------------------------------
// 32-bit signed values.

class QN_API TQNLongintList : public TUsefulBaseListSorts {
 public:
  TQNLongintList();
  ~TQNLongintList() override;

  // Sorted insertion on a sorted list, appending otherwise; returns the index.
  int32_t AddOne(int32_t x);
  // Inserts at where (0..Count), regardless of order.
  void InsertOne(int32_t where, int32_t x);
  // Binary search on a list sorted ascending; -1 when absent.
  int32_t Find(int32_t S);
  // Find when sorted, else the first index holding the value; -1 when absent.
  int32_t IndexOf(int32_t item);
  // Find, then frees the item found (its slot stays empty); the index or -1.
  virtual int32_t FindAndFree(int32_t S);
  // The value, or -1 for an invalid index or an empty slot.
  int32_t GetAValue(int32_t index) const noexcept;
  int32_t ComparedValues(int32_t index1, int32_t index2) override;
  // Sorts ascending by value.
  void SortAscendingDefault();
};

// A TQNLongintList with a current item.
class QN_API TQNActiveLongintList : public TQNLongintList {
 public:
  TQNActiveLongintList();
  ~TQNActiveLongintList() override;

  int32_t CurrentItem() const noexcept { return fcurrentItem; }
  void SetCurrentItem(int32_t value) noexcept { fcurrentItem = value; }
  // Adds x and makes the new item current (on a sorted list that is where
  // sorted insertion put it; on an unsorted list, the last index).
  int32_t AddOneAndSetCountCurrent(int32_t x);
  // When the freed index was current, the current item moves back by one, or
  // to the last index when it was 0 or below.
  int32_t FindAndFree(int32_t S) override;
  // The current value, or -1.
  int32_t CurrentItemValue() const noexcept;
  void Clear() override;

 private:
  int32_t fcurrentItem = -1;
};

// ---------------------------------------------------------------------------
// 32-bit unsigned values.

class QN_API TCardinalList : public TUsefulBaseListSorts {
 public:
  TCardinalList();
  ~TCardinalList() override;

  // Always appends; returns the index.
  int32_t AddOne(uint32_t x);
  void InsertOne(int32_t where, uint32_t x);
  int32_t Find(uint32_t S);
  int32_t IndexOf(uint32_t item);
  // The value, or 0.
  uint32_t GetAValue(int32_t index) const noexcept;
  int32_t ComparedValues(int32_t index1, int32_t index2) override;
  void SortAscendingDefault();
};

// ---------------------------------------------------------------------------
// 64-bit signed values.

class QN_API TQNInt64List : public TUsefulBaseListSorts {
 public:
  TQNInt64List();
  ~TQNInt64List() override;

  // Sorted insertion on a sorted list, appending otherwise; returns the index.
  int32_t AddOne(int64_t x);
  int32_t FindInSorted(int64_t S);
  int32_t IndexOf(int64_t item);
  // The value, or -1.
  int64_t GetAValue(int32_t index) const noexcept;
  int32_t ComparedValues(int32_t index1, int32_t index2) override;
  void SortAscendingDefault();
};

// ---------------------------------------------------------------------------
// Integers with a 32-bit float.

class QN_API TIntegerAndSingleList : public TUsefulBaseListSorts {
 public:
  TIntegerAndSingleList();
  ~TIntegerAndSingleList() override;

  // Appends; returns the index.
  int32_t AddOne(const TIntegerAndSingleRec& rec);
  // Binary search on s in a list sorted by s; -1 when absent.
  int32_t Find(float S);
  // The record, or all zero.
  TIntegerAndSingleRec GetOne(int32_t index) const noexcept;
  // Sorts by s ascending.
  void SortAscendingDefault();
};

// A frequency with three unsigned values (a plain base list: no `sorted`).
class QN_API TIntegerAnd3CardinalsList : public TUsefulBaseList {
 public:
  TIntegerAnd3CardinalsList();
  ~TIntegerAnd3CardinalsList() override;

  int32_t AddOne(const TIntegerAnd3CardinalsRec& rec);
  // The record, or all zero.
  TIntegerAnd3CardinalsRec GetAValue(int32_t index) const noexcept;
  void SetAFreq(int32_t index, int32_t f) noexcept;
  // Sorts by freq ascending, compared as unsigned.
  void SortAscendingDefault();
};

// An unsigned value with its frequency.
class QN_API TCardinalAndFreqList : public TUsefulBaseListSorts {
 public:
  TCardinalAndFreqList();
  ~TCardinalAndFreqList() override;

  // A value not present is added with cf.f (sorted insertion when sorted,
  // else appended); a value present gets its frequency increased by 1.
  // Returns the index of the value's item.
  int32_t AddOneOrIncFreq(const TCardinalAndFreq& cf);
  // Binary search on c; -1 when absent.
  int32_t Find(uint32_t S);
  int32_t IndexOf(uint32_t c);
  // The record, or all zero.
  TCardinalAndFreq GetACardAndFreq(int32_t index) const noexcept;
  void SetACardAndFreq(int32_t index, const TCardinalAndFreq& cf) noexcept;
  // Ascending by c.
  void SortOnCardinals();
  // By f, descending or ascending.
  void SortOnFrequencies(bool descending);
};

// ---------------------------------------------------------------------------
// Pairs, triples and quadruples of 32-bit signed values. Items are not saved
// (a stream holds only the count). Every sort is ascending on each key.

enum T2LongintField : uint8_t { t2_long0, t2_long1 };
enum T3LongintField : uint8_t { t3_long0, t3_long1, t3_long2 };
enum T4LongintField : uint8_t { t4_long0, t4_long1, t4_long2, t4_long3 };

class QN_API T2LongintList : public TUsefulBaseListSorts {
 public:
  T2LongintList();
  ~T2LongintList() override;

  int32_t AddOne(const T2_longint_rec& rec);
  // All fields -1 for an invalid index.
  T2_longint_rec GetADouble(int32_t index) const noexcept;
  void SetADouble(int32_t index, const T2_longint_rec& rec) noexcept;
  // The first index whose field which equals n, or -1.
  int32_t LongIndexOf(int32_t n, T2LongintField which);
  void AddToOneFreq(int32_t index, int32_t freq, T2LongintField which) noexcept;
  void IncOne(int32_t index, T2LongintField which) noexcept;
  // The sum of field which over all items.
  int64_t TotalOf(T2LongintField which) const noexcept;
  void SortDefault(T2LongintField which);
  // By first, ties by second; first = second is SortDefault(first).
  void DoubleSort(T2LongintField first, T2LongintField second);
};

class QN_API T3LongintList : public TUsefulBaseListSorts {
 public:
  T3LongintList();
  ~T3LongintList() override;

  int32_t AddOne(const T3_longint_rec& rec);
  T3_longint_rec GetATriple(int32_t index) const noexcept;
  void SetATriple(int32_t index, const T3_longint_rec& rec) noexcept;
  int32_t LongIndexOf(int32_t n, T3LongintField which);
  void AddToOneFreq(int32_t index, int32_t freq, T3LongintField which) noexcept;
  void IncOne(int32_t index, T3LongintField which) noexcept;
  void SortDefault(T3LongintField which);
  void DoubleSort(T3LongintField first, T3LongintField second);
  // By the three fields in order. first = second sorts nothing; third equal
  // to first or second is DoubleSort(first, second).
  void TripleSort(T3LongintField first, T3LongintField second, T3LongintField third);
};

class QN_API T4LongintList : public TUsefulBaseListSorts {
 public:
  T4LongintList();
  ~T4LongintList() override;

  int32_t AddOne(const T4_longint_rec& rec);
  T4_longint_rec GetAQuad(int32_t index) const noexcept;
  void SetAQuad(int32_t index, const T4_longint_rec& rec) noexcept;
  int32_t LongIndexOf(int32_t n, T4LongintField which);
  void AddToOneFreq(int32_t index, int32_t freq, T4LongintField which) noexcept;
  void IncOne(int32_t index, T4LongintField which) noexcept;
  void SortDefault(T4LongintField which);
  void DoubleSort(T4LongintField first, T4LongintField second);
  // By the three fields in order. first = second is DoubleSort(first, third);
  // third equal to first or second is DoubleSort(first, second).
  void TripleSort(T4LongintField first, T4LongintField second, T4LongintField third);
};

// ---------------------------------------------------------------------------
// Other records.

// Two addresses per item (not saved).
class QN_API TDoublePointerList : public TUsefulBaseList {
 public:
  TDoublePointerList();
  ~TDoublePointerList() override;

  int32_t AddOne(const T2_Pointer& rec);
  // Both null for an invalid index.
  T2_Pointer GetADoublePointer(int32_t index) const noexcept;
  void SetADoublePointer(int32_t index, const T2_Pointer& rec) noexcept;
};

class QN_API T2StringsAnd2IntegersList : public TUsefulBaseList {
 public:
  T2StringsAnd2IntegersList();
  ~T2StringsAnd2IntegersList() override;

  int32_t AddOne(const T2StringsAnd2IntegersRec& rec);
  // The record, or all zero with empty strings.
  T2StringsAnd2IntegersRec GetTwoStringsAndInt(int32_t index) const;
};

class QN_API TStringColumnAndColourList : public TUsefulBaseList {
 public:
  TStringColumnAndColourList();
  ~TStringColumnAndColourList() override;

  int32_t AddOne(const TStringTrueColumnAndColourRec& rec);
  // Getters give an empty string, 0 or an all-zero record for an invalid index.
  std::u16string GetString(int32_t index) const;
  int32_t GetTrueColumn(int32_t index) const noexcept;
  int32_t GetBackgroundColour(int32_t index) const noexcept;
  TStringTrueColumnAndColourRec GetRec(int32_t index) const;
  void SetString(int32_t index, std::u16string_view s);
  void SetTrueColumn(int32_t index, int32_t truecol) noexcept;
  void SetBackgroundColour(int32_t index, int32_t colour) noexcept;
  void SetRec(int32_t index, const TStringTrueColumnAndColourRec& rec);
  // Linear; -1 when absent.
  int32_t IndexOfTrueColumn(int32_t truecol) const noexcept;
};

// Words with frequency and source number, read in order through a cursor.
class QN_API TWordFreqAndSourceNumList : public TUsefulBaseListSorts {
 public:
  TWordFreqAndSourceNumList();
  ~TWordFreqAndSourceNumList() override;

  // The cursor of GetNext (`this` in the suite's interface).
  int32_t this_ = 0;

  int32_t AddOne(const TWordFreqAndSourceNum& rec);
  // The record at the cursor (all zero past the end), then advances it.
  TWordFreqAndSourceNum GetNext();
  TWordFreqAndSourceNum GetOne(int32_t index) const;
  // The largest f; 0 for an empty list.
  int32_t HighestFrequency() const noexcept;
  // Descending by f.
  void SortOnFreqs();
  void Clear() override;
};

// ---------------------------------------------------------------------------
// A plain pointer list of TSmallIntHolder, saved without a count.

class QN_API TSmallintList : public TPointerList {
 public:
  TSmallintList();
  ~TSmallintList() override;

  int32_t AddOne(int16_t value);
  // The value, or 0.
  int16_t GetAValue(int32_t index) const noexcept;
  // Every value as 2 bytes, no count; false when a write falls short.
  bool SaveToStream(platform::TStream& Stream);
  // Reads n values and appends them; false when a read falls short, with the
  // values read before it appended (so an n beyond the bytes left appends
  // what is there). A negative n raises EReadError "file read error :
  // ReadFromStream" before anything is read.
  bool ReadFromStream(int32_t n, platform::TStream& Stream);
  void Clear() override;

 protected:
  void Notify(void* item, TListNotification action) override;
};

// A pointer list that can tell whether an index holds an item.
class QN_API TIndexCheckList : public TPointerList {
 public:
  TIndexCheckList();
  ~TIndexCheckList() override;
  // True when 0 <= index < Count and the slot is not empty.
  bool IndexAssignedOK(int32_t index) const noexcept {
    return index >= 0 && index < Count() && List()[index] != nullptr;
  }
};

}  // namespace qn
