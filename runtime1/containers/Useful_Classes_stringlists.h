// The string-list members of the typed list family: platform string lists
// whose entries carry a holder (or a whole list, or a plain integer) as their
// object. Part of the typed list family (Useful_Classes.h).
//
// Ownership: the lists that attach holders or lists own them (OwnsObjects is
// set): Clear, Delete and destruction free them. TStringListWithFreqPointers
// and TMySaveStringList keep integers in the object slots and own nothing.
// A holder offered for a string that a sorted list ignores as a duplicate is
// freed at once, never leaked.
//
// Getters return 0, an all-zero record or nullptr for an index outside the
// list or an entry without the expected object; setters ignore them.
//
// Sorts use the string list's custom sort (not stable).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Export.h"
#include "platform/StringList.h"
#include "runtime1/containers/Useful_Classes_numberlists.h"
#include "runtime1/containers/Useful_Classes_records.h"

namespace qn {

// A string list that can tell whether an index is inside it.
class QN_API TIndexCheckStringlist : public platform::TStringList {
 public:
  TIndexCheckStringlist();
  explicit TIndexCheckStringlist(bool ownsObjects);
  ~TIndexCheckStringlist() override;
  // True when 0 <= index < Count.
  bool IndexAssignedOK(int32_t index) const noexcept { return index >= 0 && index < Count(); }
  // Reverses the order of the entries.
  void ReverseTheSort();
};

// Strings with a 32-bit value (a TLongIntHolder per entry).
class QN_API TStringListWithALongint : public TIndexCheckStringlist {
 public:
  TStringListWithALongint();
  ~TStringListWithALongint() override;

  // Adds S with value m; returns the entry's index (for an ignored duplicate,
  // the entry already there, whose value is unchanged).
  int32_t AddOne(std::u16string S, int32_t m);
  // The value, or 0.
  int32_t GetOne(int32_t index) const noexcept;
  void SetOne(int32_t index, int32_t m);
  // The largest value; 0 when none is above 0.
  int32_t HighestFrequency() const noexcept;
  // Clears the list and adds the lines of text: "word" TAB "integer" gives
  // the word with that value; any other line (a TAB first, no TAB, no valid
  // integer after it) is kept whole with the value -1.
  void SetTextStr(std::u16string_view text) override;
  // Descending by value; no tie-break.
  void SortOnFreq();
};

// Strings with a 32-bit float (a TSingleHolder per entry).
class QN_API TStringListWithASingle : public TIndexCheckStringlist {
 public:
  TStringListWithASingle();
  ~TStringListWithASingle() override;

  int32_t AddOne(std::u16string S, float m);
  // The value, or 0.
  float GetOne(int32_t index) const noexcept;
  void SetOne(int32_t index, float m);
  // Descending by value; no tie-break.
  void SortOnFreq();
};

// Strings with an integer and a float (a TIntegerAndSingleHolder per entry).
class QN_API TStringListWithIntAndSingle : public TIndexCheckStringlist {
 public:
  TStringListWithIntAndSingle();
  ~TStringListWithIntAndSingle() override;

  int32_t AddOne(std::u16string S, const TIntegerAndSingleRec& rec);
  TIntegerAndSingleRec GetOne(int32_t index) const noexcept;
  void SetOne(int32_t index, const TIntegerAndSingleRec& rec);
  // By int_ in the asked direction, ties by s in the opposite direction.
  void SortOnInt(bool ascending);
  // By s in the asked direction, ties by int_ in the opposite direction.
  void SortOnSingle(bool ascending);
  // ascending true: strings descending (code units), ties by s descending;
  // false: strings ascending, ties by s ascending.
  void SortOnStrings(bool ascending);
};

// Strings with a pair of values: either one T2LongIntHolder per entry
// (AddOne) or a T2LongintList of pairs per entry (AddOrIncOne). A list is
// filled one way and read the same way; the record accessors see only
// entries made by AddOne.
class QN_API TStringListWith2LongintList : public TIndexCheckStringlist {
 public:
  TStringListWith2LongintList();
  ~TStringListWith2LongintList() override;

  int32_t AddOne(std::u16string S, const T2_longint_rec& rec);
  // Appends m to the pair list of the entry for S (the first entry IndexOf
  // finds), making the entry (with an empty list) when absent. Returns the
  // entry's index, or -1 when the entry holds a single record instead of a
  // list. Found through a hash index, in constant time per word.
  int32_t AddOrIncOne(std::u16string S, const T2_longint_rec& m);
  // The pair list of an entry made by AddOrIncOne, or nullptr.
  T2LongintList* GetList(int32_t index) const noexcept;

  // The record of an entry made by AddOne; all zero otherwise.
  T2_longint_rec GetOne(int32_t index) const noexcept;
  void SetOne(int32_t index, const T2_longint_rec& rec) noexcept;
  void AddToOneFreq(int32_t index, int32_t freq, T2LongintField which) noexcept;
  void IncOne(int32_t index, T2LongintField which) noexcept;
  // The number of entries whose field which is greater than 1.
  int32_t Repeateds(T2LongintField which) const noexcept;
  // Descending by long0, ties ascending by long1.
  void SortOnFreq();

 private:
  platform::TStringListIndex fIndex;  // for AddOrIncOne
};

// Strings with a list of distinct values (a TQNLongintList per entry).
class QN_API TStringListWithLongintList : public TIndexCheckStringlist {
 public:
  TStringListWithLongintList();
  ~TStringListWithLongintList() override;

  // Adds m to the list of the entry for S (the first entry IndexOf finds,
  // made when absent) unless it is there already; returns the number of
  // values in that list. Found through a hash index, in constant time per
  // word.
  int32_t AddOrIncOne(std::u16string S, int32_t m);
  // The entry's list, or nullptr.
  TQNLongintList* GetOne(int32_t index) const noexcept;

 private:
  platform::TStringListIndex fIndex;  // for AddOrIncOne
};

// Strings with a 32-bit frequency kept in the object slot itself.
class QN_API TStringListWithFreqPointers : public TIndexCheckStringlist {
 public:
  TStringListWithFreqPointers();
  ~TStringListWithFreqPointers() override;

  int32_t AddOne(std::u16string S, int32_t freq);
  // The frequency, or 0.
  int32_t GetOne(int32_t index) const noexcept;
  void SetOne(int32_t index, int32_t freq);
  // StringListCompareDescFreq: descending by frequency, ties by string.
  void SortOnFreq();
};

// A string list saved in binary, optionally with an integer per entry.
//
// Stream format (little-endian): count N (int32), then N entries, each the
// entry's integer object (int32, only when save_Objects_too) and its text as a
// string record. Loading appends (the list is not cleared first) and is all or
// nothing: a negative count, a count the remaining bytes cannot hold, or a
// string record beyond global_string_safety_limit raises EReadError before the
// list changes. Files use the same format.
class QN_API TMySaveStringList : public TIndexCheckStringlist {
 public:
  explicit TMySaveStringList(bool saving_objects_as_integer = false);
  ~TMySaveStringList() override;

  bool save_Objects_too;

  void SaveToStream(platform::TStream& stream) const override;
  void LoadFromStream(platform::TStream& stream) override;
  void SaveToFile(std::u16string_view fileName) const override;
  void SaveToFile(std::string_view fileNameUtf8) const;
  void LoadFromFile(std::u16string_view fileName) override;
  void LoadFromFile(std::string_view fileNameUtf8);
};

}  // namespace qn
