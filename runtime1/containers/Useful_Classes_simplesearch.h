// A list of plain search words, each with the number of hits wanted and the
// case and boundary flags of its decorations, without the full parse of the
// search engine: the plain form of a search-word list, or words with counts
// read from a small settings file. Part of the typed list family
// (Useful_Classes.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Export.h"
#include "runtime1/containers/Useful_Classes_numberlists.h"
#include "runtime1/containers/Useful_Classes_records.h"

namespace qn {

namespace platform {
class TStream;
class TStringList;
}  // namespace platform

// Carried for the list's callers; the list does not use them itself.
struct TSimpleSearchSettings {
  int32_t spare_wordcount_multiplier = 0;
  int32_t markup_search_span = 0;
  friend bool operator==(const TSimpleSearchSettings&, const TSimpleSearchSettings&) = default;
};

// 1000 and 200.
QN_API TSimpleSearchSettings DefaultSimpleSearchSettings() noexcept;

// Owns its TSimpleSearchHolders: Clear, Delete and destruction free them.
class QN_API TSimpleSearchlist : public TIndexCheckList {
 public:
  explicit TSimpleSearchlist(const TSimpleSearchSettings& aSettings = DefaultSimpleSearchSettings());
  ~TSimpleSearchlist() override;

  TSimpleSearchSettings Settings;

  // Appends a copy of r; returns its index.
  int32_t AddOne(const TSimpleSearch_rec& r);
  // Copies other's Settings, then appends copies of all its records in order
  // (of the records it held when called: a list added to itself doubles).
  void AddAll(const TSimpleSearchlist& other);
  // A copy of record i; an all-zero record for an invalid index.
  TSimpleSearch_rec GetAValue(int32_t i) const;
  // The record's word with its decorations put back (SWStringPlusFlags);
  // empty for an invalid index.
  std::u16string GetATypedInSW(int32_t i) const;
  // The words in order, joined with separator.
  std::u16string AsText(std::u16string_view separator) const;
  void Clear() override;

  // Clears the list and reads it from a text file: false (and an empty list)
  // when there is no such file; a file that cannot be read raises.
  //
  // Lines are read by byte-order mark (UTF-8, UTF-16; else the active code
  // page). Empty lines and lines beginning with ";" or "//" are skipped.
  // Each other line is cut into items: the text before the next " -> " is
  // one item, then each comma ends one, and the rest of the line is the last
  // ("cat -> dog, mouse" gives cat, dog, mouse; "a, b -> c" gives "a, b"
  // and c). Items are trimmed. An item's word is the whole item, or with
  // require_equals_sign the upper-cased trimmed text before its first "="
  // (empty without one); its decorations give the flags (FlagsFromSW), and
  // the word is upper-cased unless case matters. n_wanted is the integer
  // after the item's first "=", at least 1 (a text that is no 32-bit integer
  // counts as none).
  bool LoadFromFile(std::u16string_view f, bool require_equals_sign);
  // The same from the rest of a stream (the list is cleared first).
  void LoadFromStream(platform::TStream& stream, bool require_equals_sign);

 protected:
  void Notify(void* item, TListNotification action) override;

 private:
  void AddLine(std::u16string_view line, bool require_equals_sign);
  void AddItem(std::u16string_view item, bool require_equals_sign);
  void AddLines(const platform::TStringList& lines, bool require_equals_sign);
};

}  // namespace qn
