// Lists of search words: the words a user asked for, and the lists of context
// words, exclusion words and tag-context words beside them.
//
// Each entry is a parsed search word (Search_parsing.h). An entry's index is
// its place in the list and serves as the search number reported with every
// hit, so indices are dense from 0 to Count-1 and removing an entry shifts the
// later ones down by one. Entries carry counters and settings (hits found,
// number wanted, language, flags) that callers read and write by index; an
// index outside 0..Count-1 gives a zero answer.
//
// Adding a typed request collapses runs of spaces, splits it into
// alternatives at slashes (when SplittingAtSlashes is on), and adds each
// alternative from the last to the first, so the returned indices (and the new
// entries) come in reverse order of typing. An alternative whose typed text is
// already an entry is not added again: its existing index is returned. A
// lookup by typed text goes through a hash index, so adding to a long list
// costs the same as adding to a short one.
//
// Text file: one typed text per line, UTF-16 little-endian with its
// byte-order mark, each line ended by CR LF; the file is replaced safely
// (written to a temporary file, then renamed). Reading accepts UTF-8 and
// UTF-16 by their mark, else the active code page.
//
// Stream (little-endian):
//   count   int32           number of entries N
//   entry   N string records "typed<TAB>hits<TAB>language", hits and language
//                           in decimal
// A string record is an int32 length L in UTF-16 code units, then L code
// units. Reading splits a record at its last two TABs (so a TAB inside the
// typed text survives); a number that is missing, or does not fit, is not
// applied. A negative count, a record longer than global_string_safety_limit
// or a stream that ends early gives false, keeping the entries read before.
// Saving checks every record against that limit first and writes nothing
// (returns false) when one is too long.
//
// The lists are single-threaded and owned by one caller at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/Export.h"
#include "platform/Object.h"
#include "platform/StringList.h"
#include "runtime1/containers/PointerList.h"
#include "runtime1/containers/Useful_Classes_simplesearch.h"
#include "runtime1/search/Search_parsing.h"

namespace qn {

namespace platform {
class TStream;
}  // namespace platform

class TSearchAndDoEngine;
class TContextWordItems;

// Owns one search word.
class QN_API TSWHolder : public platform::TObject {
 public:
  TSWHolder() = default;
  explicit TSWHolder(TSearch_word_format_rec value) : data(std::move(value)) {}
  ~TSWHolder() override;
  TSearch_word_format_rec data;
};

// A pointer list that owns its TSWHolders: Delete, Clear and destruction free
// them.
class QN_API TSWList : public TPointerList {
 public:
  TSWList() = default;
  ~TSWList() override;
  // The holder at index; raises EListError outside 0..Count-1.
  TSWHolder* Items(int32_t index) const {
    return static_cast<TSWHolder*>(static_cast<platform::TObject*>(Get(index)));
  }
  // Takes the holder; returns its index.
  int32_t AddHolder(std::unique_ptr<TSWHolder> holder);

 protected:
  void Notify(void* item, TListNotification action) override;
};

class QN_API TBaseSearchItems : public platform::TObject {
 public:
  // An empty list: no markup pairs, locale 0, splitting off.
  TBaseSearchItems();
  TBaseSearchItems(const TIgnore_tag_type& Aignore_tags, uint32_t AnLCID, bool aSplit_SWs_at_slashes);
  TBaseSearchItems(const TBaseSearchItems&) = delete;
  TBaseSearchItems& operator=(const TBaseSearchItems&) = delete;
  ~TBaseSearchItems() override;

  // The entry to process alone; -1 after creation. Kept for callers.
  int32_t process_one_specific_SW_number = -1;
  // Markup delimiter pairs used when parsing.
  TIgnore_tag_type ignore_tags{};

  // --- properties ---------------------------------------------------------
  int32_t CurrentSearch() const noexcept { return fCurrentSearch; }
  void SetCurrentSearch(int32_t value) noexcept { fCurrentSearch = value; }
  uint32_t TheLCID() const noexcept { return fLCID; }
  void SetTheLCID(uint32_t value) noexcept { fLCID = value; }
  bool SplittingAtSlashes() const noexcept { return fSplitting_at_slashes; }
  void SetSplittingAtSlashes(bool value) noexcept { fSplitting_at_slashes = value; }
  // Typed alternatives are taken literally (UnParsed_SearchWord) instead of
  // parsed.
  bool FormatPreChecked() const noexcept { return fFormatPreChecked; }
  void SetFormatPreChecked(bool value) noexcept { fFormatPreChecked = value; }
  bool FromAFile() const noexcept { return fFrom_a_file; }
  void SetFromAFile(bool value) noexcept { fFrom_a_file = value; }
  // ComputePlainSearchWords' result.
  TSimpleSearchlist& PlainSearchWordsComputed() { return ComputePlainSearchWords(); }

  // --- adding ---------------------------------------------------------------
  // The indices of the alternatives of s (see the header comment).
  std::vector<int32_t> AddedSearchWords(std::u16string_view s);
  // The same, then one field set on every returned entry. The parameter types
  // choose the overload, so prefer the named forms below.
  std::vector<int32_t> AddedSearchWords(std::u16string_view s, int16_t Language);
  std::vector<int32_t> AddedSearchWords(std::u16string_view s, bool auto_lemma);
  std::vector<int32_t> AddedSearchWords(std::u16string_view s, int32_t max_to_get);
  std::vector<int32_t> AddedSearchWordsWithLanguage(std::u16string_view s, int16_t Language) {
    return AddedSearchWords(s, Language);
  }
  std::vector<int32_t> AddedSearchWordsAsLemmas(std::u16string_view s, bool auto_lemma) {
    return AddedSearchWords(s, auto_lemma);
  }
  std::vector<int32_t> AddedSearchWordsWanting(std::u16string_view s, int32_t max_to_get) {
    return AddedSearchWords(s, max_to_get);
  }

  // Appends a copy of anItem; returns its index.
  int32_t AddOneSW(const TSearch_word_format_rec& anItem);
  // IndexOf(arec) when that is found, else AddOneSW(arec).
  int32_t EnsureContains(const TSearch_word_format_rec& arec);
  // Adds as AddedSearchWords(s, use_any_lemmas), then places the returned
  // entries at the top in the returned order: entry k goes to index k unless
  // it is there already (or, named twice, was placed before). Returns each
  // entry's index after the moves.
  std::vector<int32_t> InsertSearchWordsAtTop(std::u16string_view s, bool use_any_lemmas);
  // Moves entry old_index to index 0 when 0 < old_index < Count.
  void MoveToTop(int32_t old_index);

  // --- finding ----------------------------------------------------------------
  // The lowest index whose typed_in_text equals s (ordinal), or -1. Yields
  // once (MyYieldProcess) before it looks.
  int32_t TypeInIndexOf(std::u16string_view s);
  // TypeInIndexOf(s.typed_in_text), or -1 when that entry's Langnum differs.
  int32_t IndexOf(const TSearch_word_format_rec& s);
  // The alternatives of s (spaces collapsed, split by SplittingAtSlashes), in
  // a new list the caller owns.
  std::unique_ptr<platform::TStringList> TypeInParts(std::u16string_view s) const;
  // The alternatives in AllTypedSearchWordsAsOne(false); 1 for any non-empty
  // list when splitting is off.
  int32_t SearchesPlannedCount() const;

  // --- reading entries ------------------------------------------------------
  int32_t Count() const noexcept { return fSWList.Count(); }
  // A copy of entry i; an all-zero record out of range.
  TSearch_word_format_rec GetSWR(int32_t i) const;
  // The record of entry i, nullptr out of range; valid until the entry is
  // removed. The next lookup by typed text rebuilds its index, so a text
  // changed through it is found under its new text.
  TSearch_word_format_rec* GetPtr(int32_t i);
  // Overwrites entry i (nothing out of range).
  void PutSWR(int32_t i, const TSearch_word_format_rec& rec);

  // Getters give 0 / false out of range; SetAFlag and SetSearchFound do
  // nothing out of range; the other setters raise EListError.
  TMySearchFlags GetAFlag(int32_t i) const;
  void SetAFlag(int32_t i, TMySearchFlags value);
  bool GetAutoLemmaAdded(int32_t i) const;
  void SetAutoLemmaAdded(int32_t i, bool value);
  int32_t GetHitsFound(int32_t i) const;
  void SetHitsFound(int32_t i, int32_t value);
  int16_t GetLanguage(int32_t i) const;
  void SetLanguage(int32_t i, int16_t value);
  int32_t GetNToFind(int32_t i) const;
  void SetNToFind(int32_t i, int32_t value);
  bool GetSearchFound(int32_t i) const;
  void SetSearchFound(int32_t i, bool value);
  int32_t GetSpacesInSW(int32_t i) const;

  // Element k is a copy of entry from[k], or an all-zero record when from[k]
  // is outside 0..Count-1.
  std::vector<TSearch_word_format_rec> CopyOfArrayOFSWItems(std::span<const int32_t> from) const;
  // The typed texts joined with "/"; abbreviated: the first ten, then " etc."
  // (_QNEtc) when there are more.
  std::u16string AllTypedSearchWordsAsOne(bool abbreviated) const;
  // Every typed text in index order, in a new list the caller owns.
  std::unique_ptr<platform::TStringList> TypedInWordsAsStringlist() const;

  // --- counters and clearing -------------------------------------------------
  // Empties the plain list and the entries; FromAFile becomes false.
  virtual void Clear();
  // Frees entry n and closes the gap (nothing out of range).
  void ClearOne(int32_t n);
  void IncrementHits(int32_t n);
  void ClearHits();
  // hits_found of entry k := a[k] for k below min(Count, a.size()).
  void SetHits(std::span<const int32_t> a);
  // The sum of every hits_found (64-bit, so it cannot overflow).
  int64_t TotalHits() const;
  // Rebuilds the plain list: per entry, seek := typed_in_text stripped of its
  // decorations, n_wanted := 1, flags from the decorations.
  TSimpleSearchlist& ComputePlainSearchWords();

  // --- persistence ----------------------------------------------------------
  // Raises when the file cannot be written; the old file then stays.
  bool SaveToFile(std::u16string_view Filename) const;
  // Replaces the entries (not the plain list) with the file's non-empty lines,
  // each added with n_to_find = n_wanted. Raises when the file cannot be read
  // (the list then unchanged). True, and FromAFile, when a line gave an entry.
  bool LoadFromFile(std::u16string_view Filename, int32_t n_wanted);
  bool SaveToStream(platform::TStream& Stream) const;
  // Adds to the existing entries.
  bool ReadFromStream(platform::TStream& Stream);

 protected:
  // The indices of the alternatives of s, added where new.
  virtual std::vector<int32_t> fAddedSearchWordsIndices(std::u16string_view s);

  // The holder of entry i, nullptr out of range.
  TSWHolder* Holder(int32_t i) const noexcept {
    return i >= 0 && i < fSWList.Count() ? fSWList.Items(i) : nullptr;
  }
  // Raises the list's index error unless 0 <= i < Count.
  TSWHolder* CheckedHolder(int32_t i) const;

 private:
  // The lowest index of each typed text; rebuilt when stale.
  int32_t LookUp(std::u16string_view s);
  void IndexAppended(int32_t index);
  void InvalidateIndex() noexcept { fIndexValid = false; }

  std::unique_ptr<TSimpleSearchlist> fPlainSWS;
  int32_t fCurrentSearch = 0;
  TSWList fSWList;
  uint32_t fLCID = 0;
  bool fSplitting_at_slashes = false;
  bool fFormatPreChecked = false;
  bool fFrom_a_file = false;

  std::unordered_map<std::u16string, int32_t> fTypedIndex;
  bool fIndexValid = true;
};

// The search words of a search. Adding the whole request again changes
// nothing; once entry 0 has a context word the list owns a context-word list
// and an engine to search for it.
class QN_API TSearchWordItems : public TBaseSearchItems {
 public:
  TSearchWordItems();
  TSearchWordItems(const TIgnore_tag_type& Aignore_tags, uint32_t AnLCID, bool aSplit_SWs_at_slashes);
  ~TSearchWordItems() override;

  // Column to search; kept for callers.
  int32_t ColunaPraProcura = 0;
  // Set when GetHasContextWord finds a context word.
  bool HasAnyContextWords = false;

  // has_file_based_context_word of entry index (false out of range); when
  // true, HasAnyContextWords is set too.
  bool GetHasContextWord(int32_t index);

  // Made once entry 0 has a context word (nullptr before): an engine over
  // 8-bit buffers with UTF-16 search words in the list's locale, and a
  // context-word list with the same markup pairs and locale, splitting on.
  TSearchAndDoEngine* TempEngine() const noexcept { return ftempEngine.get(); }
  TContextWordItems* TempCWItems() const noexcept { return ftempCWItems.get(); }

 protected:
  std::vector<int32_t> fAddedSearchWordsIndices(std::u16string_view s) override;

 private:
  std::unique_ptr<TSearchAndDoEngine> ftempEngine;
  std::unique_ptr<TContextWordItems> ftempCWItems;
};

// Context words; the three settings are kept for callers.
class QN_API TContextWordItems : public TBaseSearchItems {
 public:
  using TBaseSearchItems::TBaseSearchItems;
  ~TContextWordItems() override;
  int32_t sought_context_word_pos = 0;
  bool require_one_context_word_position = false;
  bool require_all_context_words = false;
};

class QN_API TExclusionWordItems : public TBaseSearchItems {
 public:
  using TBaseSearchItems::TBaseSearchItems;
  ~TExclusionWordItems() override;
};

class QN_API TTagContextWordItems : public TBaseSearchItems {
 public:
  using TBaseSearchItems::TBaseSearchItems;
  ~TTagContextWordItems() override;
};

}  // namespace qn
