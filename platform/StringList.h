// The string list: ordered UTF-16 strings, each with an attached object.
//
// TStringList is the list of lines that most of the system passes around: the
// headwords of a lemma list, file names, settings lines, word lists whose
// objects hold frequencies. Each entry is a string and a pointer-sized object
// slot (TObject*, or a number stored with ObjectFromInt).
//
// Ordering. An unsorted list keeps the order entries were added in. A sorted
// list keeps its entries in ascending order of CompareStrings: Add inserts at
// the sorted place, Find and IndexOf search by binary search, and Insert, Put,
// Move (operations that would place an entry by hand) raise EStringListError.
// CompareStrings compares by the list's locale (the user's default locale
// unless SetLocale chose another), as the platform compares text, with or
// without regard to case (CaseSensitive, false by default). Duplicates (in a
// sorted list) are ignored (Add returns the index of the entry already there;
// the default), accepted, or refused with EStringListError. An unsorted list
// accepts every string.
//
// Ownership. The list owns its strings. It owns its objects only when
// OwnsObjects is set: Delete, Clear and destruction then destroy them (PutObject
// never destroys the object it replaces). Indexes are 0-based; an index outside
// the list raises EListError ("List index out of bounds (5)").
//
// Text. Text() joins the lines, each followed by LineBreak (CR LF by default),
// so a non-empty list's text ends with a line break. SetText cuts at CR LF, LF
// or CR (or at LineBreak when that is set to something other than CR LF); a
// final line break does not add an empty line. NUL code units are ordinary
// characters. Name=value access uses the first NameValueSeparator ('=').
// CommaText and DelimitedText quote entries that need it with QuoteChar.
//
// Files. Loading looks at the first bytes: EF BB BF is UTF-8, FF FE UTF-16
// little-endian, FE FF UTF-16 big-endian (the mark is not part of the text);
// without a mark the bytes are text of the active code page. Saving writes the
// encoding the caller chooses (by default the one the list was loaded with),
// with its byte-order mark when WriteBOM is set; files are replaced safely
// (WriteFileSafely), so a failed save keeps the old file.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "platform/Export.h"
#include "platform/Object.h"

namespace qn::platform {

class TStream;

// How text is stored as bytes: a Windows code-page number. Four values have
// their own meaning.
using TTextEncoding = uint32_t;
inline constexpr TTextEncoding kEncodingDefault = 0;      // the active 8-bit code page
inline constexpr TTextEncoding kEncodingUTF16LE = 1200;   // mark FF FE
inline constexpr TTextEncoding kEncodingUTF16BE = 1201;   // mark FE FF
inline constexpr TTextEncoding kEncodingUTF8 = 65001;     // mark EF BB BF

// Decodes file bytes as the string list and the ini file read them: a
// byte-order mark selects UTF-8 or UTF-16 (and is skipped); without one the
// bytes are text of the active code page. Malformed UTF-8 becomes U+FFFD; a
// final odd byte of UTF-16 is ignored. *detected (when given) receives the
// encoding used.
QN_API std::u16string DecodeTextBytes(std::span<const uint8_t> bytes,
                                      TTextEncoding* detected = nullptr);
// Decodes bytes in a known encoding. A byte-order mark matching the encoding
// is skipped; no other detection is done.
QN_API std::u16string DecodeTextBytesAs(std::span<const uint8_t> bytes, TTextEncoding encoding);
// The same into `into` (its text replaced), whose storage is reused: a reader
// of many long texts decodes them all into one string's memory instead of
// paying for fresh memory, page by page, for every text.
QN_API void DecodeTextBytesAs(std::span<const uint8_t> bytes, TTextEncoding encoding, std::u16string& into);
// Encodes text; with writeBOM, UTF-8 and UTF-16 get their byte-order mark.
// Characters an 8-bit code page cannot hold become its replacement character.
QN_API std::vector<uint8_t> EncodeTextBytes(std::u16string_view text, TTextEncoding encoding,
                                            bool writeBOM);

class TStringList;

enum class TDuplicates { dupIgnore, dupAccept, dupError };

// A comparison of two entries of a list for CustomSort: negative when the
// entry at index1 belongs before the one at index2, 0 when they are equal.
using TStringListSortCompare = int (*)(TStringList& list, int32_t index1, int32_t index2);

class QN_API TStringList : public TObject {
 public:
  TStringList();
  explicit TStringList(bool ownsObjects);
  TStringList(const TStringList&) = delete;
  TStringList& operator=(const TStringList&) = delete;
  ~TStringList() override;  // destroys the objects when OwnsObjects

  // --- entries --------------------------------------------------------------

  int32_t Count() const noexcept { return static_cast<int32_t>(fItems.size()); }
  bool Empty() const noexcept { return fItems.empty(); }

  // The string at index; raises EListError outside 0 .. Count-1.
  const std::u16string& Get(int32_t index) const;
  const std::u16string& operator[](int32_t index) const { return Get(index); }
  // Replaces the string at index (the object stays); raises EStringListError on
  // a sorted list.
  virtual void Put(int32_t index, std::u16string s);
  TObject* GetObject(int32_t index) const;
  // Replaces the object at index; the old one is not destroyed.
  void PutObject(int32_t index, TObject* object);

  // Adds s (with object): at the end of an unsorted list, at its sorted place
  // in a sorted one. Returns the index of the entry, or, for an ignored
  // duplicate, of the entry already there (the object is then not attached and
  // not destroyed: the caller keeps it).
  virtual int32_t Add(std::u16string s);
  virtual int32_t AddObject(std::u16string s, TObject* object);
  // Appends s with object at the end without searching: for a caller that
  // adds entries already in the list's order (a sorted word list built from
  // data sorted by collation keys). The caller answers for the order and for
  // duplicates; a sorted list filled out of order is searched wrongly.
  int32_t AppendInOrder(std::u16string s, TObject* object);
  // Adds every entry of other (strings and object pointers) with AddObject.
  void AddStrings(const TStringList& other);
  // Inserts at index (0 .. Count); raises EStringListError on a sorted list.
  virtual void Insert(int32_t index, std::u16string s);
  virtual void InsertObject(int32_t index, std::u16string s, TObject* object);
  // Removes the entry at index (destroying its object when OwnsObjects).
  virtual void Delete(int32_t index);
  // Removes, in one pass, every entry for which remove(index) is true, the
  // others keeping their order (objects of removed entries destroyed when
  // OwnsObjects). remove is asked about each index 0 .. Count-1 in turn before
  // anything is removed; when it raises, nothing is. Returns the number
  // removed. For many removals this is linear where Delete one by one is not.
  int32_t DeleteIf(const std::function<bool(int32_t index)>& remove);
  // Removes every entry (destroying the objects when OwnsObjects).
  virtual void Clear();
  // Swaps two entries (allowed in a sorted list, which may then be out of order).
  void Exchange(int32_t index1, int32_t index2);
  // Moves the entry at curIndex to newIndex; raises EStringListError on a sorted list.
  void Move(int32_t curIndex, int32_t newIndex);
  // Replaces the whole list with a copy of source's entries and settings
  // (sorting, duplicates, case, separators); the objects are shared, so the
  // copy does not own them.
  void Assign(const TStringList& source);

  // Reserves room for capacity entries.
  void SetCapacity(int32_t capacity);

  // --- search ---------------------------------------------------------------

  // In a sorted list, binary search: true when s is present, index the first
  // equal entry; else false and index where s would be inserted. In an
  // unsorted list: the result of a linear search (index -1 when absent).
  virtual bool Find(std::u16string_view s, int32_t& index) const;
  // Index of the first entry equal to s by CompareStrings, -1 when absent.
  // Linear in an unsorted list; TStringListIndex finds the same entry in
  // constant time for a caller that searches one list often.
  virtual int32_t IndexOf(std::u16string_view s) const;
  int32_t IndexOfObject(const TObject* object) const;
  // Index of the first entry whose name (before NameValueSeparator) equals name.
  int32_t IndexOfName(std::u16string_view name) const;

  // --- order ----------------------------------------------------------------

  bool Sorted() const noexcept { return fSettings.sorted; }
  // Setting true sorts the list; duplicates already present stay.
  void SetSorted(bool sorted);
  TDuplicates Duplicates() const noexcept { return fSettings.duplicates; }
  void SetDuplicates(TDuplicates duplicates) noexcept { fSettings.duplicates = duplicates; }
  bool CaseSensitive() const noexcept { return fSettings.caseSensitive; }
  // A sorted list is sorted again under the new comparison.
  void SetCaseSensitive(bool caseSensitive);
  // The locale identifier of the comparisons; 0 (the default) means the user's
  // default locale at the time of each comparison.
  uint32_t Locale() const noexcept { return fSettings.locale; }
  void SetLocale(uint32_t lcid);
  bool OwnsObjects() const noexcept { return fOwnsObjects; }
  void SetOwnsObjects(bool owns) noexcept { fOwnsObjects = owns; }
  // A number that changes whenever the entries' texts, their number or order,
  // or the comparison's settings change (not when only objects do).
  uint64_t Revision() const noexcept { return fRevision; }

  // Sorts by CompareStrings; equal entries keep their order.
  virtual void Sort();
  // Sorts with the given comparison of two entries by index; the comparison may
  // read the list but not change it. Not stable. The list's Sorted flag is
  // not changed (a sorted list sorted otherwise is searched wrongly).
  void CustomSort(TStringListSortCompare compare);
  void CustomSort(const std::function<int(int32_t index1, int32_t index2)>& compare);

  // The comparison of the list: by the locale, with or without case.
  virtual int CompareStrings(std::u16string_view s1, std::u16string_view s2) const;

  // --- text -----------------------------------------------------------------

  std::u16string Text() const { return GetTextStr(); }
  void SetText(std::u16string_view text) { SetTextStr(text); }
  virtual std::u16string GetTextStr() const;
  // Clears the list, then adds the lines of text (see the header comment).
  virtual void SetTextStr(std::u16string_view text);

  const std::u16string& LineBreak() const noexcept { return fSettings.lineBreak; }
  void SetLineBreak(std::u16string lineBreak) { fSettings.lineBreak = std::move(lineBreak); }

  // Entries joined with Delimiter; an entry that is empty or contains a
  // character at or below U+0020, QuoteChar or Delimiter is quoted (QuoteChar
  // around it, inner QuoteChars doubled). With StrictDelimiter only entries
  // holding QuoteChar or Delimiter (or starting or ending with a blank) are quoted.
  std::u16string DelimitedText() const;
  // Clears the list and adds the entries of text: entries are separated by
  // Delimiter and, unless StrictDelimiter, by characters at or below U+0020;
  // a quoted entry may hold anything, doubled QuoteChars standing for one.
  void SetDelimitedText(std::u16string_view text);
  // DelimitedText with ',' and '"' whatever Delimiter and QuoteChar are.
  std::u16string CommaText() const;
  void SetCommaText(std::u16string_view text);

  char16_t Delimiter() const noexcept { return fSettings.delimiter; }
  void SetDelimiter(char16_t c) noexcept { fSettings.delimiter = c; }
  char16_t QuoteChar() const noexcept { return fSettings.quoteChar; }
  void SetQuoteChar(char16_t c) noexcept { fSettings.quoteChar = c; }
  bool StrictDelimiter() const noexcept { return fSettings.strictDelimiter; }
  void SetStrictDelimiter(bool strict) noexcept { fSettings.strictDelimiter = strict; }

  // --- name=value -----------------------------------------------------------

  char16_t NameValueSeparator() const noexcept { return fSettings.nameValueSeparator; }
  void SetNameValueSeparator(char16_t c) noexcept { fSettings.nameValueSeparator = c; }
  // The part of entry index before the first separator; empty when it has none.
  std::u16string Names(int32_t index) const;
  // The part of entry index after the first separator; empty when it has none.
  std::u16string ValueFromIndex(int32_t index) const;
  // Replaces the value of entry index (an entry without a separator becomes
  // "<entry>=<value>").
  void SetValueFromIndex(int32_t index, std::u16string_view value);
  // The value of the first entry named name; empty when there is none.
  std::u16string Values(std::u16string_view name) const;
  // Sets the value of the first entry named name, adding "name=value" when
  // there is none; an empty value deletes the entry.
  void SetValue(std::u16string_view name, std::u16string_view value);

  // --- files and streams ----------------------------------------------------

  // Replace the list with the lines of the file or stream (from its position to
  // its end), detecting the encoding by the byte-order mark.
  virtual void LoadFromFile(std::u16string_view fileName);
  void LoadFromFile(std::string_view fileNameUtf8);
  virtual void LoadFromStream(TStream& stream);
  // The same in a given encoding (a matching byte-order mark is skipped).
  void LoadFromFile(std::u16string_view fileName, TTextEncoding encoding);
  void LoadFromStream(TStream& stream, TTextEncoding encoding);

  // Write Text() in Encoding() (or the given encoding), with a byte-order mark
  // for UTF-8 and UTF-16 when WriteBOM.
  virtual void SaveToFile(std::u16string_view fileName) const;
  void SaveToFile(std::string_view fileNameUtf8) const;
  void SaveToFile(std::u16string_view fileName, TTextEncoding encoding) const;
  virtual void SaveToStream(TStream& stream) const;
  void SaveToStream(TStream& stream, TTextEncoding encoding) const;

  // The encoding of the last load (kEncodingDefault before any); used by the
  // saves that take no encoding.
  TTextEncoding Encoding() const noexcept { return fSettings.encoding; }
  void SetEncoding(TTextEncoding encoding) noexcept { fSettings.encoding = encoding; }
  bool WriteBOM() const noexcept { return fSettings.writeBOM; }
  void SetWriteBOM(bool writeBOM) noexcept { fSettings.writeBOM = writeBOM; }

 protected:
  // Raises EListError unless 0 <= index < Count (or <= Count when allowEnd).
  void CheckIndex(int32_t index, bool allowEnd = false) const;
  // Inserts without any check of order or duplicates.
  void InsertItem(int32_t index, std::u16string s, TObject* object);

 private:
  // Entries are two plain pointers, so that inserting into a long sorted list
  // moves the entries after it as one block of 16 bytes each (entries holding
  // an owning smart pointer are moved one at a time, which doubles the cost of
  // a sorted Add). Each string lives in its own allocation and never moves; it
  // belongs to its entry, made by NewItem and deleted only by FreeString.
  struct TItem {
    std::u16string* fString;
    TObject* fObject;
  };
  static_assert(std::is_trivially_copyable_v<TItem> && sizeof(TItem) == 2 * sizeof(void*),
                "an entry is two pointers, moved as bytes");

  static TItem NewItem(std::u16string s, TObject* object);
  static void FreeString(TItem& item) noexcept;
  // Removes entry index and its string; returns its object, not destroyed.
  TObject* EraseItem(int32_t index) noexcept;
  // Empties items and frees their strings; destroys their objects when OwnsObjects.
  void FreeItems(std::vector<TItem>& items) noexcept;
  // The entries joined with delimiter, quoted with quoteChar where needed.
  std::u16string DelimitedTextWith(char16_t delimiter, char16_t quoteChar) const;

  std::vector<TItem> fItems;
  uint64_t fRevision = 0;

  void QuickSort(int32_t lo, int32_t hi,
                 const std::function<int(int32_t, int32_t)>& compare);
  void DestroyObject(TObject* object) noexcept;

  // Everything Assign copies from another list: all but the entries and
  // OwnsObjects (the objects stay the other list's).
  struct TSettings {
    bool sorted = false;
    bool caseSensitive = false;
    bool strictDelimiter = false;
    bool writeBOM = true;
    TDuplicates duplicates = TDuplicates::dupIgnore;
    uint32_t locale = 0;
    TTextEncoding encoding = kEncodingDefault;
    char16_t delimiter = u',';
    char16_t quoteChar = u'"';
    char16_t nameValueSeparator = u'=';
    std::u16string lineBreak = u"\r\n";
  };
  TSettings fSettings;
  bool fOwnsObjects = false;
};

// An index of a string list by its comparison, for a caller that searches
// one list often: IndexOf answers what the list's own IndexOf answers (the
// first entry equal to s by CompareStrings) through a hash of collation keys
// (equal texts have equal keys), in constant time per search instead of one
// comparison per entry. It follows the list's Revision: any change it was not
// told of (Appended) makes the next search rebuild it. A sorted list is
// searched by its own binary search. It assumes the base CompareStrings, and a
// list with locale 0 under a user default locale that stays put while it is
// used.
class QN_API TStringListIndex {
 public:
  int32_t IndexOf(const TStringList& list, std::u16string_view s);
  // Tells the index that the entry at index was just appended at the end of
  // list, the only change since the last IndexOf; anything else is noticed
  // and rebuilt from.
  void Appended(const TStringList& list, int32_t index);

 private:
  struct TChain {
    int32_t first;
    int32_t last;
  };
  bool KeyOf(const TStringList& list, std::u16string_view s);
  void Add(int32_t index);
  void Rebuild(const TStringList& list);

  const TStringList* fList = nullptr;
  uint64_t fRevision = 0;
  std::string fKey;  // reused for every key
  std::unordered_map<std::string, TChain> fChains;  // by key: the entries, ascending
  std::vector<int32_t> fNext;     // per entry: the next entry with its key, -1 at the end
  std::vector<int32_t> fUnkeyed;  // entries without a key (too long), ascending
};

}  // namespace qn::platform
