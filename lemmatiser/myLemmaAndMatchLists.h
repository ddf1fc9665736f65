// The lemmatiser's lists: a list-file reader on top of the ordered tree, and
// its three descendants for lemma, match/relation and stop files.
//
// TReadFileTree fills itself from a list file: a plain-text file of entries,
// 8-bit (in the active code page) or UTF-16 (recognised by its byte-order
// mark), one or more entries to a line. It optionally upper-cases the whole
// text for the list's locale, cuts it into entries at line breaks (and at
// commas unless they belong to entries), trims them, skips blank entries and
// ";" comments, and offers each remaining entry to its descendant's format
// check. Before the file's entries it inserts 19 seed entries spread over the
// alphabet, so that alphabetically sorted files hang in many short chains of
// the unbalanced tree rather than one; seeds contain "_8z" and are never
// reported.
//
// Ownership: a list owns its entries and their texts (allocated with
// NewListText, released with DeleteListText) and releases them when it is
// cleared or destroyed. A lemma list's headword list owns the headword texts
// that entries point to.
//
// Exact lookups go through a hash index of the stored texts kept beside the
// tree, so that a word is found in constant time however long the chain it
// hangs in; the tree still orders, walks and reports the entries. The index
// is trusted only while it holds exactly the tree's nodes; otherwise a lookup
// descends the tree.
//
// The lists are single-threaded. While a file loads, the process-wide yield
// procedure runs once per entry and may set this list's cancel flag (and do
// nothing else with it); the load then stops before its next entry and ends as
// a successful load.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "lemmatiser/General_Trees.h"
#include "platform/Export.h"
#include "platform/Streams.h"
#include "runtime1/definitions/LemmaStopMatchTypes.h"

namespace qn {

// ---- the library's two shared result buffers --------------------------------

// Each holds at most kResultBufferUnits - 1 code units and a NUL. A result put
// there stays valid until the next operation that writes the same buffer.
inline constexpr size_t kResultBufferUnits = 256;
// Copies text, cut to 255 code units, into the buffer and returns the buffer.
const char* PutResultA(std::string_view text) noexcept;
const char16_t* PutResultW(std::u16string_view text) noexcept;
// Encodes text through the active code page into the 8-bit buffer, cut to
// 255 bytes.
const char* PutResultAEncoded(std::u16string_view text);
char* ResultBufferA() noexcept;
char16_t* ResultBufferW() noexcept;

// ---- texts in a list's encoding ----------------------------------------------

// Per-encoding text operations (plain functions, not bound to an object).
using TNewFunct = void* (*)(const void* a);           // a separately allocated copy
using TDeleteFunct = void (*)(const void* a);         // releases such a copy
using TCompareFunct = int32_t (*)(const void* a, const void* b);  // items by their texts

// Entry texts of both encodings are allocated alike, so one release fits both.
void* NewListText(std::string_view text);
void* NewListText(std::u16string_view text);
void DeleteListText(const void* text) noexcept;

// Length of a NUL-terminated text in code units.
size_t TextLength(const void* text, bool in_unicode) noexcept;
// A list text as UTF-16: UTF-16 as it is, 8-bit decoded through the active code page.
std::u16string ListTextAsUTF16(const void* text, bool in_unicode);
// The affix notation: a "<" and, somewhere after it, a ">".
bool HasAffixes(const void* text, bool in_unicode) noexcept;

// The 19 seed texts, UTF-16 form (8-bit lists store U+00C0 and U+00E0 as the
// bytes C0 and E0).
inline constexpr int kSeedCount = 19;
extern const std::u16string_view kSeedTexts[kSeedCount];

// ---- TReadFileTree -------------------------------------------------------------

class QN_API TReadFileTree : public TGeneral_Tree {
 public:
  explicit TReadFileTree(bool aCase_sensitive);
  ~TReadFileTree() override;

  // lines := 0, cancelled := false, the list's data flag off, then the tree's Clear.
  void Clear() override;

  // Loads a list file: false (and no change) when no file of that name exists;
  // otherwise records the locale and its code page, installs the callbacks,
  // clears the whole list (Clear) and reads the file, open for other readers
  // and writers.
  // A file that cannot be opened or read raises its error.
  bool LoadFromFile(TAnnounceNumberAndMessageProc aSetNLinesProc,
                    TShowSomeProgressProc aProgressProc, uint32_t anLCID, bool aForceUpperCase,
                    std::u16string_view Filename);
  // The locale (and so the 8-bit code page) used for upper-casing by the
  // stream and byte loads; LoadFromFile sets it from its argument.
  void SetLocale(uint32_t anLCID);
  // Reads a list file from the stream's position to its end into a cleared
  // list. False for fewer than 2 bytes; true otherwise, also when cancelled.
  bool LoadFromStream(platform::TStream& Stream);
  // The same from bytes in memory.
  bool LoadFromBytes(std::span<const uint8_t> bytes);

  // a is an entry text in the list's encoding: true when it contains "_8z".
  bool IsASeed(void* a) override;
  bool IsASeedItem(void* item) override;

  // p as a text of the list's encoding: p itself when it is already, otherwise
  // converted through the active code page, cut to 255 code units, in a query
  // buffer of the library's own (never a result buffer, so results handed out
  // earlier stay as they were). Null for null.
  const void* CopyOfPointer(const void* p, bool p_in_unicode);
  // Calls NLinesProc with n and the list's name.
  void TellTotalLines(int32_t n);
  // The affix test of an entry text of this list.
  bool ConsiderAffixes(const void* text) const noexcept { return HasAffixes(text, using_unicode); }

  // Descendants check, store and accept an entry of an 8-bit or a UTF-16 list.
  virtual bool FormatIsOKA(std::string_view s) = 0;
  virtual bool FormatIsOKW(std::u16string_view s) = 0;
  // Sets the list's encoding and its three text operations.
  virtual void SetUsingUnicode(bool value);

  // Properties.
  bool LoadedOK() const noexcept { return This_list_has_data; }
  TAnnounceNumberAndMessageProc NLinesProc() const noexcept { return fSetNLinesProc; }
  void SetNLinesProc(TAnnounceNumberAndMessageProc p) noexcept { fSetNLinesProc = p; }
  TShowSomeProgressProc ProgressProc() const noexcept { return fProgressProc; }
  void SetProgressProc(TShowSomeProgressProc p) noexcept { fProgressProc = p; }
  int32_t Codepage() const noexcept { return fCodepage; }
  uint32_t LCID() const noexcept { return fLCID; }

  bool This_list_has_data = false;
  bool force_upper_case = false;
  hundredwidechar name_of_process{};
  TDeleteFunct deletefunct = nullptr;
  TCompareFunct basiccomparefunct = nullptr;
  TNewFunct newfunct = nullptr;
  int32_t lines = 0;                       // entries accepted by the current or last load
  bool cancelled = false;                  // set from outside while a load runs
  bool using_unicode = false;              // the list's text encoding
  bool allow_strings_with_commas = false;  // commas belong to entries

 protected:
  // Inserts an item (whose first field points to its text) with Add_OnePtr and
  // indexes its text; returns the new node, or null when the text is there.
  anything_ptr AddIndexed(void* item);
  // The item whose text equals text (in the list's encoding), or null.
  void* FindItem(const void* text);

  // The seed texts in the list's encoding, each handed to add (a temporary).
  template <typename Add>
  void ForEachSeedText(Add&& add);
  // Entry texts in the list's encoding, copied.
  void* NewText(std::string_view s) const { return NewListText(s); }
  void* NewText(std::u16string_view s) const { return NewListText(s); }

  int32_t fCodepage = 0;
  uint32_t fLCID = 0;
  TAnnounceNumberAndMessageProc fSetNLinesProc;
  TShowSomeProgressProc fProgressProc;

 private:
  int32_t CompareItems(void* a, void* b);
  template <typename Char>
  void Parse(std::basic_string<Char>& text);
  bool Offer(std::string_view entry) { return FormatIsOKA(entry); }
  bool Offer(std::u16string_view entry) { return FormatIsOKW(entry); }
  // The bytes of a text of the list's encoding, without its NUL.
  std::string_view KeyOf(const void* text) const noexcept;
  // Forgets the index when the nodes it points to have been released.
  void RefreshIndex();

  std::unordered_map<std::string_view, void*> fIndex;  // text -> item
  uint64_t fIndexGeneration = 0;
};

template <typename Add>
void TReadFileTree::ForEachSeedText(Add&& add) {
  for (std::u16string_view seed : kSeedTexts) {
    if (using_unicode) {
      const std::u16string text(seed);
      add(static_cast<const void*>(text.c_str()));
    } else {
      std::string text;
      for (char16_t c : seed) text.push_back(static_cast<char>(static_cast<uint8_t>(c)));
      add(static_cast<const void*>(text.c_str()));
    }
  }
}

// ---- TLemmaList ---------------------------------------------------------------

// How a headword's list of variants refers to an entry; it never owns it.
class TLemmaPointerHolder {
 public:
  explicit TLemmaPointerHolder(PLemmaEntryRec e) noexcept : data(e) {}
  PLemmaEntryRec data;
};

// One headword of a lemma list with its variants' entries in file order.
struct THeadwordEntry {
  std::u16string text;
  std::vector<TLemmaPointerHolder> holders;
};

// The headwords of a lemma list, sorted and compared without regard to case by
// the user's default locale; duplicates are ignored. Entries never move in
// memory while listed, so entries may point at their texts. Adding takes
// logarithmic time in whatever order the headwords come; the positions read
// by At are laid out again on the first At after an addition.
class QN_API THeadwordList {
 public:
  int32_t Count() const noexcept { return static_cast<int32_t>(fEntries.size()); }
  // The entry at a 0-based position in sorted order; null outside the list
  // (and when memory for the positions runs out).
  THeadwordEntry* At(int32_t n) const noexcept;
  // The entry equal to s (without regard to case), or null.
  THeadwordEntry* Find(std::u16string_view s) const;
  // The entry equal to s, added at its sorted place when absent.
  THeadwordEntry& FindOrAdd(std::u16string_view s);
  void Clear() noexcept;
  void Swap(THeadwordList& other) noexcept;

 private:
  // Orders texts as the list sorts them (CompareText).
  struct TTextOrder {
    using is_transparent = void;
    bool operator()(std::u16string_view a, std::u16string_view b) const;
  };
  // Keyed by a view of the entry's own text.
  std::map<std::u16string_view, std::unique_ptr<THeadwordEntry>, TTextOrder> fEntries;
  mutable std::vector<THeadwordEntry*> fPositions;  // sorted order, for At
  mutable bool fPositionsStale = false;
  THeadwordEntry* fLast = nullptr;  // the last one found or added: files list a headword's variants together
};

class QN_API TLemmaList : public TReadFileTree {
 public:
  explicit TLemmaList(bool aCase_sensitive);
  ~TLemmaList() override;

  // The whole list: entries, headword list, pair count and the remembered last
  // headwords. A query made from the yield procedure while the entries are
  // released finds an empty list.
  void Clear() override;

  void Seed_Tree() override;
  bool FormatIsOKA(std::string_view s) override;
  bool FormatIsOKW(std::u16string_view s) override;
  void SetUsingUnicode(bool value) override;
  void Do_In_Order(anything_ptr& item) override;
  void Do_Deleting(anything_ptr& item) override;

  // x (a text in the list's encoding) looked up as a variant: a copy of the
  // stored entry, or (x, null). A seed has a null headword too.
  TLemmaEntryRec FoundVariant(const void* x);
  // The variants of a headword (found without regard to case), in file order,
  // joined by separated_with, cut to 255 code units, in the shared UTF-16
  // result buffer; empty when the headword is not listed.
  const char16_t* LemmaVariantsOf(std::u16string_view headword, std::u16string_view separated_with);

  const THeadwordList& headwords() const noexcept { return fHeadwords; }

  std::string last_replaceA;
  std::u16string last_replaceW;
  int32_t lemma_pair_entries = 0;  // pairs added by the current load, seeds excluded
  THandleLemmaProc ShowProc;

 private:
  bool AcceptPair(std::u16string_view headword, const void* variantCopy);
  THeadwordList fHeadwords;
};

// ---- TMatchList, TStopList ------------------------------------------------------

class QN_API TMatchList : public TReadFileTree {
 public:
  explicit TMatchList(bool aCase_sensitive);
  ~TMatchList() override;

  void Seed_Tree() override;
  bool FormatIsOKA(std::string_view s) override;
  bool FormatIsOKW(std::u16string_view s) override;
  void Do_In_Order(anything_ptr& item) override;
  void Do_Deleting(anything_ptr& item) override;

  // The stored text equal to x (a text in the list's encoding), or null.
  const void* Found(const void* x);

  THandleMatchProc ShowProc;

 private:
  bool Accept(void* textCopy);
};

class QN_API TStopList : public TMatchList {
 public:
  explicit TStopList(bool aCase_sensitive);

  // A callback slot of the stop list; reports go through ShowProc.
  THandleStopProc HandleStopProc;
};

}  // namespace qn
