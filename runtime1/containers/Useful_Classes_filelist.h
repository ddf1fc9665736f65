// A list of many files in few folders: each folder path is kept once, each
// file as its short name with a record (date, size, folder number). Full names
// are rebuilt on demand; files are found by full or short name and sorted by
// date, size, folder or name with a second key. Part of the typed list family
// (Useful_Classes.h).
//
// Path delimiters: both "/" and "\" separate a folder from a file name (saved
// lists hold either kind). A rebuilt full name joins folder and short name
// with the delimiter the folder already uses: "\" when the folder holds a "\"
// and no "/", else "/"; a folder that already ends with a delimiter gets none,
// and a file without a folder keeps its bare name.
//
// Names: folders are told apart exactly (folder names on Linux are case
// sensitive), so "/data/A/" and "/data/a/" are two folders. Lookups by name
// look for an exact match first and fall back to a match without regard to
// case (the locale-independent 1:1 case mapping) only when there is none.
// Both lists are indexed by hash tables; each lookup answers with the first
// entry that matches, as a scan from the start would.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/Export.h"
#include "platform/StringList.h"
#include "runtime1/containers/Useful_Classes_records.h"
#include "runtime1/containers/Useful_Classes_stringlists.h"

namespace qn {

enum TMySimpleSearchRecSort : uint8_t { ss_none, ss_date, ss_size, ss_folder, ss_shortname };

// Short names, each with a TMySimpleSearchRecHolder that the list owns
// (Clear, Delete and destruction free it).
class QN_API TMySimpleSearchRecHolderStringlist : public TIndexCheckStringlist {
 public:
  TMySimpleSearchRecHolderStringlist();
  ~TMySimpleSearchRecHolderStringlist() override;

  // The holder's ShortName (which SetFullFilename does not change, unlike the
  // entry text); empty for an invalid index.
  std::u16string Get(int32_t index) const;
  // 0 for an invalid index.
  int32_t GetAFolderNumber(int32_t index) const noexcept;
  // An all-zero record for an invalid index.
  TMySimpleSearchRec GetASimpleSearchRec(int32_t index) const;
  // The holder of an entry, or nullptr.
  TMySimpleSearchRecHolder* Holder(int32_t index) const noexcept;
};

class QN_API TFolderEfficientFileStringlist : public platform::TObject {
 public:
  TFolderEfficientFileStringlist();
  TFolderEfficientFileStringlist(const TFolderEfficientFileStringlist&) = delete;
  TFolderEfficientFileStringlist& operator=(const TFolderEfficientFileStringlist&) = delete;
  ~TFolderEfficientFileStringlist() override;

  // Empties both lists.
  void Clear();
  // The number of files.
  int32_t Count() const noexcept { return files.Count(); }

  // Adds a file by its full name; returns its index. The record starts all
  // zero apart from the short name and folder number.
  int32_t Add(std::u16string_view S) { return AddOne(S); }
  int32_t AddOne(std::u16string_view full);
  // Adds a file whose folder is given separately (looked up exactly, appended
  // when absent in the form given).
  int32_t AddOne(std::u16string_view afolder, const TMySimpleSearchRec& file_info);
  // Adds a file to folder number known_foldernum (not checked).
  int32_t AddOne(int32_t known_foldernum, const TMySimpleSearchRec& file_info);

  // Removes the file and its record; an invalid index raises EListError.
  void Delete(int32_t index);

  TMySimpleSearchRec GetASimpleSearchRec(int32_t index) const { return files.GetASimpleSearchRec(index); }
  // Empty for an invalid index; the short name alone when the folder number is
  // not a valid folder index.
  std::u16string GetFullFilename(int32_t index) const;
  // Replaces the entry's text by the file-name part of name (the record, and
  // so GetFullFilename, stays). Nothing for an invalid index.
  void SetFullFilename(int32_t index, std::u16string_view name);

  // The first file in the folder of aFullname whose entry text is its
  // file-name part; -1 when the folder or the file is not in the list.
  int32_t IndexOfFullName(std::u16string_view aFullname) const;
  // The first file whose entry text is aShortname; -1 when none.
  int32_t IndexOfShortName(std::u16string_view aShortname) const;

  // The full names of every file in order, in a new list the caller owns.
  std::unique_ptr<platform::TStringList> GetAsStringlist() const;
  std::unique_ptr<platform::TStringList> AsStrings() const { return GetAsStringlist(); }

  // Sorts the files by how1, ties by how2 (none when equal to how1): ss_date
  // later first, the others smaller first, short names code unit by code
  // unit; then reverses the order unless ascending. With how1 = ss_none the
  // order stays. Not stable.
  void DoASort(TMySimpleSearchRecSort how1, TMySimpleSearchRecSort how2, bool ascending);

  // The two lists, read only: every change goes through this class, which
  // keeps their indexes.
  const TMySimpleSearchRecHolderStringlist& Files() const noexcept { return files; }
  const platform::TStringList& Folders() const noexcept { return folders; }

  TMySimpleSearchRecSort sort_1 = ss_none;  // primary key of the last sort
  TMySimpleSearchRecSort sort_2 = ss_none;  // secondary key of the last sort

 private:
  struct TFileKey {
    int32_t folder;
    std::u16string name;
    bool operator==(const TFileKey&) const = default;
  };
  struct TFileKeyHash {
    size_t operator()(const TFileKey& k) const noexcept;
  };
  using TNameIndex = std::unordered_map<std::u16string, int32_t>;
  using TFileIndex = std::unordered_map<TFileKey, int32_t, TFileKeyHash>;

  // The folder's index, appended when absent (exact comparison).
  int32_t FolderIndexForAdding(std::u16string_view folder);
  // The folder's index: exact, else without regard to case; -1 when absent.
  int32_t FolderIndexOf(std::u16string_view folder) const;
  // Records entry index in the file indexes that are kept (first entries win).
  void IndexFile(int32_t index) const;
  // Rebuild the exact file indexes after an operation that moved entries, and
  // build the indexes without regard to case on their first use.
  void EnsureFileIndexes() const;
  void EnsureFoldedFileIndexes() const;
  void EnsureFoldedFolderIndex() const;

  TMySimpleSearchRecHolderStringlist files;
  platform::TStringList folders;

  TNameIndex fFoldersExact;
  mutable TNameIndex fFoldersFolded;
  mutable TNameIndex fNamesExact, fNamesFolded;
  mutable TFileIndex fFilesExact, fFilesFolded;
  mutable bool fFoldersFoldedValid = false;
  mutable bool fFileIndexesValid = true;
  mutable bool fFoldedFileIndexesValid = false;
};

}  // namespace qn
