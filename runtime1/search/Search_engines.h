// The search-and-do engine: finds every hit of one search word in a chunk of
// text, reports each hit to the calling tool, and counts the words,
// sentences, paragraphs, headings and sections of the chunk on the way.
//
// A tool creates an engine for a buffer encoding and a locale, prepares it for
// a chunk (PrepareFirst, where the engine classifies the text itself, or
// PrepareForConcordancing, where the tool hands over its own detail array with
// markup and text-segment markers), then calls SearchAndDo once per search
// word. Every hit fills one TSearchFound_Rec and goes to the found-event,
// which accepts or rejects it; the search ends at the chunk's end, when the
// item's n_to_find accepted hits are reached, or when FoundEnough or Cancel is
// called (from the event, or from the user interface during a yield). The
// matching itself is the buffer matcher's (Buffer_matcher.h).
//
// Guarantees beyond the plain loop:
//   - the details start is set whenever a detail array is built or received,
//     so a left-bounded hit at the first character is tested without reading
//     before the array;
//   - a detail array that covers fewer characters than the buffer makes the
//     search refuse to run (false) instead of reading past it;
//   - for an 8-bit buffer the search word is narrowed to the engine's code
//     page once per search, from its UTF-16 text, into areas as long as the
//     converter needs; the narrowed byte length is the length searched for.
//     A word whose four copies narrow to different lengths, or that the code
//     page cannot represent, is not searched (false). A UTF-16 engine given a
//     record narrowed before rebuilds the UTF-16 copies;
//   - Global_LowestJumpTo is a byte count: it is converted to characters and
//     kept inside the buffer;
//   - when a yield or the found-event replaces the buffer, its length or its
//     details, the search stops at once (result true), before the matcher
//     could read freed memory;
//   - a found-event that is not set means the engine is not ready; a
//     word-count event that is not set is skipped.
// Counters wrap around rather than overflow.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Callbacks.h"
#include "platform/Export.h"
#include "platform/Object.h"
#include "runtime1/containers/SortableLists.h"
#include "runtime1/search/Buffer_matcher.h"
#include "runtime1/search/Search_parsing.h"
#include "runtime1/search/Search_types.h"
#include "runtime1/text/My_search_flags.h"

namespace qn {

// The heading state shared by all engines across calls and buffers; false at
// start.
extern QN_API bool Global_in_heading;
// Bytes to skip at the start of every buffer searched; 0 at start.
extern QN_API int32_t Global_LowestJumpTo;

// Called for every hit; true accepts it.
using TSearchFoundEvent =
    platform::TMethod<bool(platform::TObject* Sender, const TSearchFound_Rec& SearchFound)>;
// Called once at the end of a search with the chunk's counts.
using TWordCountEvent =
    platform::TMethod<void(platform::TObject* Sender, const TSearchStatsRec& Word_count)>;

class QN_API TSearchAndDoEngine : public platform::TObject {
 public:
  // ABufferDetails, when given, is the caller's detail array (PreAssigned):
  // the engine never frees or rebuilds it.
  TSearchAndDoEngine(bool ABufferInUnicode, bool ASearchWordsInUnicode, uint32_t AnLCID,
                     uint16_t* ABufferDetails = nullptr);
  TSearchAndDoEngine(const TSearchAndDoEngine&) = delete;
  TSearchAndDoEngine& operator=(const TSearchAndDoEngine&) = delete;
  ~TSearchAndDoEngine() override;

  // A zero-terminated text, UTF-16 or 8-bit as BufferInUnicode says; null for
  // none. Unless the details are the caller's, a detail array of length + 2
  // words is built (class flags of the engine's locale, two zero words after).
  void SetABuffer(const void* b);
  void PrepareFirst(const void* ABuffer, int32_t AComplete_file_Size,
                    uint32_t ABufferStartPosInFile, TSearchFoundEvent ASearchFoundEvent,
                    TWordCountEvent AWordCountEvent);
  // The tool supplies text, details and length; the text need not be
  // terminated. ABufferDetailsEnd is the array start + characters + 1.
  void PrepareForConcordancing(std::u16string_view AFilename, const void* AStartOfText,
                               uint16_t* ABufferDetails, uint16_t* ABufferDetailsEnd,
                               int32_t AComplete_file_Size, int32_t ABuffer_Characters,
                               uint32_t ABufferStartPosInFile, bool ASkipPunctuation,
                               TSearchFoundEvent ASearchFoundEvent,
                               TWordCountEvent AWordCountEvent);
  // Yields once, then lets the characters of wide_allowables join the parts
  // of words in the detail array (HandleMiddleChars).
  void HandleAllowables(std::u16string_view wide_allowables, bool allow_middles_at_right,
                        bool allow_middles_at_left);
  void SetLCID(uint32_t lcid);
  void SetArrayOfTagsFound(const TTagsFoundArray& anArrayOfTagsFound);
  void ClearChunkTextStats() noexcept;
  // Cancel sets the flag and yields once; both flags are cleared when a search
  // starts, so they act only while one runs.
  void Cancel();
  void ClearCancel() noexcept { fCancelled = false; }
  void FoundEnough() noexcept { fChega = true; }

  // Runs one search; true when it could run (not whether anything was found).
  // The item's copies are narrowed or rebuilt in place as described above.
  bool SearchAndDo(TSearch_word_format_rec* item);
  bool SearchAndDo(TSearch_word_format_rec* item, int32_t item_num);

  // Properties.
  TSearchFoundEvent SearchFoundEvent() const noexcept { return fSearchFoundEvent; }
  void SetSearchFoundEvent(TSearchFoundEvent e) noexcept;
  uint16_t* BufferDetails() const noexcept { return fBufferDetails; }
  // A caller's array: the engine releases its own and never frees this one.
  void SetBufferDetails(uint16_t* details) noexcept;
  const uint16_t* BufferDetailsStart() const noexcept { return fBufferDetailsStart; }
  void SetBufferDetailsStart(const uint16_t* start) noexcept { fBufferDetailsStart = start; }
  uint16_t* BufferDetailsEnd() const noexcept { return fBufferDetailsEnd; }
  void SetBufferDetailsEnd(uint16_t* end) noexcept { fBufferDetailsEnd = end; }
  const void* Buffer() const noexcept { return fBuffer; }
  int32_t BufferLength() const noexcept { return fBuffer_Characters; }
  void SetBufferLength(int32_t n) noexcept { fBuffer_Characters = n < 0 ? 0 : n; }
  bool SkipPunctuation() const noexcept { return fSkipPunctuation; }
  void SetSkipPunctuation(bool v) noexcept { fSkipPunctuation = v; }
  bool Cancelled() const noexcept { return fCancelled; }
  bool PreAssigned() const noexcept { return fPreAssigned; }
  bool SearchWordsInUnicode() const noexcept { return fSearchWordsInUnicode; }
  void SetSearchWordsInUnicode(bool v) noexcept { fSearchWordsInUnicode = v; }
  bool BufferInUnicode() const noexcept { return fBufferInUnicode; }
  void SetBufferInUnicode(bool v) noexcept { fBufferInUnicode = v; }
  const std::u16string& ReplaceText() const noexcept { return fReplace_text; }
  void SetReplaceText(std::u16string_view v) { fReplace_text = v; }
  uint32_t TheLCID() const noexcept { return fLCID; }
  const std::u16string& Filename() const noexcept { return fFilename; }
  int32_t HitsFound() const noexcept { return fHits_found; }

  TSearchStatsRec ThisFileChunk_Stats{};
  int32_t Codepage = 0;
  int32_t current_search_row = 0;
  int32_t current_search_number = 0;
  bool IsAdditionalEngine = false;
  TTagsFoundArray Arr_OfTextMarkersFound{};
  uint32_t FileBytePos = 0;

 protected:
  // Releases an engine-built detail array (keeping its storage for reuse).
  void ReleaseOwnDetails() noexcept;
  // Classifies count characters of text into out, which must hold count + 2
  // words; the last two become zero.
  void Classify(const void* text, int32_t count, uint16_t* out) const;
  // The copies to search for (upper, lower, title) in the buffer's encoding;
  // false when the word cannot be searched in it.
  bool PrepareCopies(TSearch_word_format_rec& item, int32_t& L);

  TWordCountEvent fWordCountEvent;
  TSearchFoundEvent fSearchFoundEvent;
  uint16_t* fBufferDetails = nullptr;
  const uint16_t* fBufferDetailsStart = nullptr;
  uint16_t* fBufferDetailsEnd = nullptr;
  const void* fBuffer = nullptr;
  int32_t fHits_found = 0;
  int32_t fComplete_file_size = 0;
  int32_t fBuffer_Characters = 0;
  bool fChega = false;
  bool fSkipPunctuation = false;
  bool fCancelled = false;
  bool fPreAssigned = false;
  bool fReady = false;
  bool fSearchWordsInUnicode = false;
  bool fBufferInUnicode = false;
  std::u16string fReplace_text;
  uint32_t fLCID = 0;
  std::u16string fFilename;
  // The storage of an engine-built array, kept and reused from buffer to buffer.
  std::unique_ptr<uint16_t[]> fOwnStorage;
  size_t fOwnCapacity = 0;
  bool fOwnDetailsPlain = false;  // the engine's array holds the class flags only
};

class QN_API TAdditionalSearchAndDoEngine : public TSearchAndDoEngine {
 public:
  TAdditionalSearchAndDoEngine(bool ABufferInUnicode, bool ASearchWordsInUnicode, uint32_t AnLCID,
                               uint16_t* ABufferDetails = nullptr);
  void SetContext_exact_gap_required(int32_t Value) noexcept { context_exact_gap_required = Value; }

  int32_t context_exact_gap_required = 0;
};

// Tests one short text (a word-list entry, set with SetABuffer) against one
// search word in the work form, without markup: for the tools' word-list
// filters, called once per entry.
class QN_API TTallySearchAndDo : public TSearchAndDoEngine {
 public:
  using TSearchAndDoEngine::TSearchAndDoEngine;

  // With myCaseIsSensitive the three copies are aSearchWord itself; otherwise
  // its upper case, lower case and title case (TitleCase with every word).
  void SetSearchWord(std::u16string_view aSearchWord, TMySearchFlags AFlags);
  // True when the buffer holds a hit. A trailing U+001D of the search word is
  // left to the open right end. Allocates nothing once its scratch areas have
  // grown to the longest entry.
  bool QuickSearchFoundIgnoringTags();

  std::u16string lo_copy;
  std::u16string title_copy;
  std::u16string search_text;
  TMySearchFlags flags;

 private:
  std::unique_ptr<uint16_t[]> fScratchDetails;
  size_t fScratchCapacity = 0;
  std::array<std::u16string, 3> fNarrowed;  // upper, lower, title in an 8-bit buffer's bytes
  bool fNarrowedOk = false;
};

// One hit kept by a tool.
class QN_API TSearchFoundHolder : public platform::TObject {
 public:
  explicit TSearchFoundHolder(const TSearchFound_Rec& data) noexcept : fData(data) {}
  const TSearchFound_Rec& data() const noexcept { return fData; }

 private:
  TSearchFound_Rec fData;
};

// The hits a tool keeps, sortable on their byte offset in memory
// (where_hit_started - start_of_memory). Compare returns -1 when the holder's
// offset is greater than the stored one, the reverse of the usual sense, and
// does not look at the Ascending flags itself: with the list's default
// direction a sort gives the hits in text order, with Ascending set the last
// hit first. Tools rely on that order. The list owns its holders.
class QN_API TSearchFoundList : public T3SortYieldingList {
 public:
  TSearchFoundList() = default;
  ~TSearchFoundList() override;

  void Clear() override;
  void SetBase(void* P, int32_t SortVar) override;
  int32_t Compare(void* a);
  TCompareFunctOfObject CompareMethod() noexcept {
    return TCompareFunctOfObject::Bind<&TSearchFoundList::Compare>(this);
  }

 private:
  int64_t fBase = 0;
};

// Summary records for the tools.
struct TBreakdownRec {
  std::u16string sw;
  int32_t found = 0;
  int32_t out_of = 0;
};
using Tarray_of_array_of_BreakdownRec = std::vector<std::vector<TBreakdownRec>>;
struct TSummaryArrays {
  std::vector<int32_t> breakdown_totals;
  std::vector<int32_t> main_count;
  std::vector<float> cumulative_count;
  Tarray_of_array_of_BreakdownRec breakdown_values;
};

// A copy of s with its markup encoded as the matcher expects: every "<" that
// has a ">" somewhere after it becomes U+0019 and the first ">" after it
// U+0018 (positions of s itself, so "<a<b>" encodes both "<" and the one ">").
// Linear in the length of s.
QN_API std::u16string CleanToTagOnOff(std::u16string_view s);

}  // namespace qn
