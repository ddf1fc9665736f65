// Small lists of the suite definitions that the tools save inside their files
// or in files of their own, and the timing helpers with which the tools
// estimate how long a long operation still needs.
//
//   TSectionStartsList  the sections of a text with their start positions
//   TExtraFontList      switches of the display font over a text
//   (TMyStreamableStringlist, the self-saving string list, is in Wdef.)
//
// Stream formats (little-endian):
//   section list   int32 count, then per section int32 start_byte_position
//                  and w as a string record (int32 length in UTF-16 units,
//                  then the units)
//   section file   the 57-byte header of the running tool and lt_sections_list
//                  (the other header fields zero), then the section list
//   font list      int32 count, int32 fEFVersion, then each record's 72 bytes
//                  (see XReadFromStream for the older forms)
//
// Readers trust no count: a negative count, or one that the bytes left in the
// stream cannot hold, is refused before anything is read or allocated, and
// reading stops at the first record the stream cannot deliver whole. They
// answer false then, keeping the records read completely.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "platform/DateTime.h"
#include "platform/Export.h"
#include "platform/Object.h"
#include "platform/Streams.h"
#include "runtime1/containers/PointerList.h"
#include "runtime1/containers/SortableLists.h"
#include "runtime1/definitions/My_types_mini.h"

namespace qn {

// ---------------------------------------------------------------------------
// Sections
// ---------------------------------------------------------------------------

struct TSectionTagRec {
  int32_t start_byte_position = 0;
  std::u16string w;  // the section's tag or name
  friend bool operator==(const TSectionTagRec&, const TSectionTagRec&) = default;
};

class QN_API TSectionStartHolder : public platform::TObject {
 public:
  explicit TSectionStartHolder(TSectionTagRec rec) : data(std::move(rec)) {}
  ~TSectionStartHolder() override;
  TSectionTagRec data;
};

// The sections of a text, in the order they were added (ascending starts as
// the tools add them). The list owns its holders.
class QN_API TSectionStartsList : public TPointerList {
 public:
  TSectionStartsList() = default;
  ~TSectionStartsList() override;

  void Clear() override;
  // Appends a section; returns its index.
  int32_t AddOne(const TSectionTagRec& rec);
  // The section at index; start -1 and an empty w outside the list.
  TSectionTagRec GetASection(int32_t index) const;

  // True when every write succeeded (errors of the stream are caught).
  bool SaveToStream(platform::TStream& stream);
  // Appends the sections of a stream. False for a count that is negative or
  // that the bytes left cannot hold (8 bytes at least per section), and at
  // the first section that cannot be read whole (or whose name is longer
  // than global_string_safety_limit); the sections read before stay.
  bool ReadFromStream(platform::TStream& stream);
  // Writes the header and the list through a temporary file renamed over the
  // old one, so a failed save leaves the old file as it was. False on any
  // failure.
  bool SaveToFile(std::u16string_view filename);
  // Opens the file for reading (others may read and write it), checks the
  // header for the running tool and lt_sections_list, then appends the
  // sections. False when the file cannot be opened, its header does not
  // match, or the list cannot be read.
  bool ReadFromFile(std::u16string_view filename);

  // The section a byte position lies in, for sections in ascending order of
  // start: from index count_from (0 when negative) on, the last section
  // whose start is at or before byte_position; its name, and its index in
  // index. An empty name and index 0 when there is none.
  std::u16string SectionFromBytePosition(int32_t count_from, int32_t byte_position, int32_t& index) const;

 protected:
  void Notify(void* item, TListNotification action) override;
};

// ---------------------------------------------------------------------------
// Font switches
// ---------------------------------------------------------------------------

// What a font switch applies to. Stored as a byte; a stored value beyond the
// rows is kept, and read as efc_unknown (ExtraFontCategoryOf).
enum TExtraFontCategory : uint8_t {
  efc_tag,
  efc_context_word,
  efc_colloc_highlight,
  efc_centre_word,
  efc_sort1,
  efc_sort2,
  efc_sort3,
  efc_unknown,
};
inline constexpr int kExtraFontCategoryCount = 8;

// The font switch of the first versions, and the start of the current one,
// 28 bytes:
//   0 switch_on_at_char  4 switch_off_at_char (int32)  8 colour_rec (16)
//  24 spare_typefaces (typeface set)  25 padding (3 bytes, kept)
struct TExtraFontRecOld {
  static constexpr size_t kStoredSize = 28;

  int32_t switch_on_at_char = 0;
  int32_t switch_off_at_char = 0;
  TMyCanvasColourRec colour_rec;
  TTypefaceSet spare_typefaces;
  std::array<uint8_t, 3> padding{};

  QN_API void ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept;
  QN_API static TExtraFontRecOld FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept;
  friend bool operator==(const TExtraFontRecOld&, const TExtraFontRecOld&) = default;
};

// A font switch, 72 bytes, stored unchanged:
//   0 basics (28)  28 Colouring_word_instead_of_tag  29 default_
//  30 applies_to  31 default_typeface  32 highlight_typeface
//  33 spare_determined (3 bytes)  36 spareInts (9 x int32)
struct TExtraFontRec {
  static constexpr size_t kStoredSize = 72;

  TExtraFontRecOld basics;
  bool Colouring_word_instead_of_tag = false;
  bool default_ = false;
  TExtraFontCategory applies_to = efc_tag;
  TTypefaceSet default_typeface;
  TTypefaceSet highlight_typeface;
  std::array<uint8_t, 3> spare_determined{};
  std::array<int32_t, 9> spareInts{};

  // Booleans are written as 0 or 1; every other byte as held.
  QN_API void ToBytes(std::span<uint8_t, kStoredSize> out) const noexcept;
  QN_API static TExtraFontRec FromBytes(std::span<const uint8_t, kStoredSize> in) noexcept;
  friend bool operator==(const TExtraFontRec&, const TExtraFontRec&) = default;
};

// applies_to, with a stored value beyond the rows read as efc_unknown.
QN_API TExtraFontCategory ExtraFontCategoryOf(const TExtraFontRec& rec) noexcept;
// The typefaces of a stored set: the four rows' bits only.
QN_API TTypefaceSet KnownTypefaces(TTypefaceSet set) noexcept;
// Whether a record shows words in a typeface of their own (so that words
// must be spaced for display): its default or highlight typeface holds one
// of the four typefaces.
QN_API bool SetsATypeface(const TExtraFontRec& rec) noexcept;

class QN_API TExtraFontHolder : public platform::TObject {
 public:
  explicit TExtraFontHolder(const TExtraFontRec& rec) : data(rec) {}
  ~TExtraFontHolder() override;
  TExtraFontRec data;
};

// The font switches over a text. The list owns its holders.
class QN_API TExtraFontList : public T3SortYieldingList {
 public:
  TExtraFontList() = default;
  ~TExtraFontList() override;

  // Format version of the records (0: the 28-byte records of the first
  // versions).
  int32_t fEFVersion = 0;
  // Some record sets a typeface (SetsATypeface), so words must be spaced.
  bool insert_space_between_words = false;

  // Appends a record; returns its index.
  int32_t AddOne(const TExtraFontRec& rec);
  // Replaces record index; ignored outside the list.
  void SetAFontFrec(int32_t index, const TExtraFontRec& rec);
  // Record index; all zero outside the list.
  TExtraFontRec GetAFontFrec(int32_t index) const;
  // Removes record index; ignored outside the list.
  void Delete(int32_t index);
  void Clear() override;

  // The first record whose switch_on_at_char is startpoint; once the list is
  // sorted (SortOnStartpoints, with no change since) the search stops at the
  // first record that starts later. -1 when none.
  int32_t IndexOfStart(int32_t startpoint) const;
  // The first record whose switch_on_at_char lies in [startpoint, endpoint]
  // and whose switch_off_at_char is negative or lies there too; -1 when none.
  int32_t IndexOfStartAndEnd(int32_t startpoint, int32_t endpoint) const;
  // Sorts the records by switch_on_at_char, ascending.
  void SortOnStartpoints();
  bool SortedOnStartpoints() const noexcept { return fSortedOnStarts; }

  // fEFVersion := the larger of 3 and its value; writes the count,
  // fEFVersion and each record's 72 bytes. True when every write succeeded.
  // fEFVersion is always written, whatever aWorkBaseVersionNumber: a reader
  // must be given the version of the work base the list was saved with (20
  // or more for lists saved here).
  bool XSaveToStream(platform::TStream& stream, int32_t aWorkBaseVersionNumber);
  // Reads the count; for aWorkBaseVersionNumber 20 or more takes its
  // absolute value (in 64 bits) and reads fEFVersion, otherwise fEFVersion
  // := 0 (and a negative count reads nothing). insert_space_between_words
  // := false. Each record is read whole (72 bytes) when fEFVersion is not 0,
  // otherwise as its 28-byte basics (the rest zero); with fEFVersion below 3
  // both typefaces := spare_typefaces. Records are appended; any that sets a
  // typeface sets insert_space_between_words.
  bool XReadFromStream(platform::TStream& stream, int32_t aWorkBaseVersionNumber);

 protected:
  void Notify(void* item, TListNotification action) override;
  void SetBase(void* P, int32_t sortvar) override;

 private:
  int32_t CompareStart(void* a);
  void NoteTypefaces(const TExtraFontRec& rec) noexcept;

  int32_t fBaseStart = 0;
  bool fSortedOnStarts = false;
};

// ---------------------------------------------------------------------------
// Timing
// ---------------------------------------------------------------------------

// When the operation being timed began (StartTiming).
extern QN_API platform::TDateTime Global_StartTime;

// Global_StartTime := now.
QN_API void StartTiming();
// Now - Global_StartTime, in days; then StartTiming when restart.
QN_API double ElapsedTime(bool restart);
// Whole seconds since Global_StartTime (within the range of int32).
QN_API int32_t SecondsSinceGlobalStartTime();
// The time still needed, in days, when done of total steps took the elapsed
// time E: E * total / done - E. 0 when done or total is not positive, or
// when done is beyond total.
QN_API double EstimateOfTimeRemaining(int64_t done, int64_t total);
// The same from a given elapsed time (in days).
QN_API double EstimateOfTimeRemainingAfter(double elapsed, int64_t done, int64_t total) noexcept;
// The estimate as users read it: "~ %ds to go" under a minute, "~ %dm to go"
// under an hour, "~ %dh %dm to go" from an hour on (whole hours, however many).
QN_API std::u16string MessageOfEstimatedTimeRemaining(int64_t done, int64_t total);
// The message for an estimate in days.
QN_API std::u16string MessageOfTimeRemaining(double estimate);

}  // namespace qn
