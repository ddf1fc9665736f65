// Walking folder trees to choose the texts of a corpus.
//
// TPeruseDir holds the masks and options of a walk. ProcessAllSubDirectories
// reports every accepted sub-folder below a folder, depth first, each folder
// before its own sub-folders; HandleAllFilesIn collects the acceptable files of
// one folder (and, optionally, the matching entries of the zip archives in
// it) into a TMySearchRecList. TFolderful is one folder with its file list,
// stored in its own stream format so that a chosen corpus can be saved and
// reloaded without walking the disk again.
//
// The walk is safe on any tree:
//   - links to folders are followed, but each folder (device, inode) is
//     entered once, so link loops end; the walk keeps its own stack, so depth
//     costs no call stack, and opens each folder relative to its parent, so
//     trees deeper than a path can name (4,096 bytes) are walked too, with a
//     bounded number of descriptors (HandleAllFilesIn takes such long paths);
//   - a folder or file matched by two masks is reported once (the first mask
//     takes it); each folder is read once, whatever the number of masks;
//   - FIFOs, sockets and devices count as system files and are never
//     collected unless system files are accepted; broken links are skipped
//     and logged;
//   - a damaged archive is reported through OnZipProblem and the log, and the
//     folder's other texts are collected all the same; entries beyond number
//     32,767 of an archive (which the 16-bit entry number cannot hold) and
//     folder entries are not collected.
// Listings are sorted by name (upper-cased first, then ordinal), so a tree
// gives the same order on every machine.
//
// Excluded-folder masks match the full folder path: a mask "backup" becomes
// "*/backup"; "\" in masks is taken as "/"; a mask beginning with "/" also
// matches the full path as given.
//
// Stream formats (little-endian, no alignment):
//   TMySearchRecList  count int32, then per record: DateTime double, Size
//                     int32, Attr int32, Number_Within_Zip int16, 2 zero
//                     bytes, ShortName (int32 length in UTF-16 units + units)
//   TFolderful        sort uint8, starts int32, ends int32, dirnum int32,
//                     dirname string, then the list block
// Readers check every count against the bytes left before they allocate.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/Callbacks.h"
#include "platform/Export.h"
#include "runtime1/containers/Useful_Classes_base.h"
#include "runtime1/containers/Useful_Classes_records.h"
#include "runtime1/text/Widemasks.h"

namespace qn {

namespace platform {
class TStream;
class TFolderTrail;
}

// The order of a file list.
enum TMySearchRecSort : uint8_t {
  sr_sort_none = 0,
  sr_sort_by_name = 1,
  sr_sort_by_date = 2,
  sr_sort_by_size = 3,
  sr_sort_by_attr = 4,
  sr_sort_by_extension = 5,
};

class TPeruseDir;

using TFoundDirEvent = platform::TMethod<void(std::u16string_view DirName)>;
using TCheckFileAcceptableEvent = platform::TMethod<bool(TMySearchRec& SR, bool InAZip)>;
using TZipStartReadingEvent = platform::TMethod<void(std::u16string_view zipfilename)>;
using TZipReadingEvent = platform::TMethod<void(int32_t num, int32_t out_of)>;
using TZipDoneReadingEvent = platform::TMethod<void(int32_t zips_handled)>;
using TMyDirProgressEvent = platform::TMethod<void(int32_t dirnum)>;
using TProcessingAFileEvent = platform::TMethod<void(std::u16string_view FullFileName, TMySearchRec& SR)>;
// Fired with the walker; its LastZipProblem tells what went wrong.
using TZipProblemEvent = platform::TMethod<void(TPeruseDir& Sender)>;

// ---------------------------------------------------------------------------
// A list of found files; owns its TMySearchRecHolder items.
// ---------------------------------------------------------------------------
class QN_API TMySearchRecList : public TUsefulBaseList {
 public:
  TMySearchRecList();
  ~TMySearchRecList() override;

  // Appends a record (the list is then no longer in any order).
  int32_t AddRec(const TMySearchRec& rec);
  void Clear() override;

  TMySearchRecSort Sort() const noexcept { return fSort; }
  // Sorts by the wanted key (names and extensions without regard to the case
  // of A to Z; dates, sizes, attributes smallest first). sr_sort_none only
  // records the order. Nothing happens when the list is in that order already.
  void SetSort(TMySearchRecSort wanted);

  // The index of the record that is the same file as item (equal Size,
  // DateTime and ShortName, the name compared exactly); -1 when none. A sorted
  // list is searched by halving.
  int32_t Find(const TMySearchRec& item);
  int32_t IndexOF(const TMySearchRec& item) { return Find(item); }
  // A copy of the record at index; all zero outside the list.
  TMySearchRec GetAMySearchRec(int32_t index) const;

  // The block described in the header; reading appends.
  bool SaveToStream(platform::TStream& Stream) override;
  bool ReadFromStream(platform::TStream& Stream) override;

 private:
  const TMySearchRec* Rec(int32_t index) const noexcept;
  int32_t LinearFind(const TMySearchRec& item) const;
  TMySearchRecSort fSort = sr_sort_none;
};

// ---------------------------------------------------------------------------
// The walker.
// ---------------------------------------------------------------------------
class QN_API TPeruseDir {
 public:
  TPeruseDir(std::u16string_view filemask, std::u16string_view dirmask, std::u16string_view zipmask,
             std::u16string_view excluded_dirs_mask, std::u16string_view excluded_exts,
             bool ACheckingMACOS_files, bool zips_too, bool aTreatZipsLikeAnyOtherFile,
             bool AAcceptSystemFiles, bool AAcceptHiddenFiles);
  ~TPeruseDir();
  TPeruseDir(const TPeruseDir&) = delete;
  TPeruseDir& operator=(const TPeruseDir&) = delete;

  // Reports every accepted folder below dir through OnFoundDir (dir itself is
  // not reported).
  void ProcessAllSubDirectories(std::u16string_view dir);
  // Collects the acceptable files of dir (and matching entries of its zip
  // archives) into ASearchRecList, which may be null (files are then only
  // counted and reported). True when a plain file was accepted.
  bool HandleAllFilesIn(std::u16string_view dir, TMySearchRecList* ASearchRecList);

  bool IsDot_UnderscoreFile(std::u16string_view name) const noexcept;
  bool IsExcludedFolder(std::u16string_view path) const noexcept;
  bool HasExcludedExtension(std::u16string_view name) const noexcept;
  bool fIsAZipfile(std::u16string_view name) const;

  bool CheckingMACOSFiles() const noexcept { return fCheckingMACOS_files; }
  void SetCheckingMACOSFiles(bool value) noexcept { fCheckingMACOS_files = value; }
  // Setting it false stops every loop of the walk at its next step.
  bool Peruse_Processing_Files() const noexcept { return fProcessing_files; }
  void SetPeruse_Processing_Files(bool value) noexcept { fProcessing_files = value; }
  int32_t TotalFilesInZips() const noexcept { return ftotal_files_in_zips; }
  int32_t ZipsExamined() const noexcept { return fzips_examined; }
  int32_t SubDirsFound() const noexcept { return fsubdir_counter; }
  const std::u16string& ZipExtension() const noexcept { return fZipExtension; }
  void SetZipExtension(std::u16string_view value) { fZipExtension.assign(value); }
  // What the last OnZipProblem was about: the archive and the reason.
  const std::u16string& LastZipProblem() const noexcept { return fLastZipProblem; }

  TZipReadingEvent OnZipReading;
  TZipDoneReadingEvent OnDoneZipReading;
  TFoundDirEvent OnFoundDir;
  TCheckFileAcceptableEvent OnCheckFileAcceptable;
  TZipProblemEvent OnZipProblem;
  TZipStartReadingEvent OnZipStartReading;

 private:
  void AddAZip(TMySearchRecList* list, const std::u16string& folder, const std::u16string& zipname);
  void ZipProblem(std::u16string message);
  void EntryFailure(int32_t index, std::u16string_view name, std::u16string_view message);
  // A new descriptor of the folder, -1 when it cannot be opened.
  int OpenFolderOf(const std::u16string& folder);

  std::u16string fFilemaskStr;
  std::u16string fZipExtension;
  TMaskList fZipMasks, fDirExcludeMasks, fExtExcludeMasks, fDirmasks, fFilemasks;
  int32_t ftotal_files_in_zips = 0;
  int32_t fzips_examined = 0;
  int32_t fsubdir_counter = 0;
  bool fCheckingMACOS_files;
  bool fTreatZipsLikeAnyOtherFile;
  bool fAcceptSystemFiles;
  bool fAcceptHiddenFiles;
  bool fProcessing_files = true;
  bool fExamineZips;
  std::u16string fLastZipProblem;
  std::u16string fCurrentZip;
  // While ProcessAllSubDirectories runs: its open folders and the path of
  // the folder it is reporting (null between reports).
  platform::TFolderTrail* fWalkTrail = nullptr;
  const std::u16string* fWalkPath = nullptr;
  // Folders of paths too long to open in one call, kept from the last one.
  std::unique_ptr<platform::TFolderTrail> fLongTrail;
};

// ---------------------------------------------------------------------------
// One folder and its files.
// ---------------------------------------------------------------------------
class QN_API TFolderful {
 public:
  explicit TFolderful(std::u16string_view ADirname);
  ~TFolderful();
  TFolderful(const TFolderful&) = delete;
  TFolderful& operator=(const TFolderful&) = delete;

  // Frees the list; the folder then has no list (and no files) until it is
  // read from a stream again.
  void Clear();
  // Collects the folder's files with the walker.
  bool FillList(TPeruseDir& walker);

  bool SaveToStream(platform::TStream& Stream);
  bool ReadFromStream(platform::TStream& Stream);
  // The same on a file stream the caller opened.
  bool SaveToFile(platform::TStream& FileStream) { return SaveToStream(FileStream); }
  bool ReadFromFile(platform::TStream& FileStream) { return ReadFromStream(FileStream); }

  // Per file, 0 <= index < Count; outside that: empty, all zero, -1 or false.
  std::u16string ShortName(int32_t index) const;
  std::u16string FullName(int32_t index) const;
  // Renames the file on disk; never replaces an existing file. Raises
  // "cannot rename %s" with the old full name.
  void SetFullName(int32_t index, std::u16string_view newName);
  TMySearchRec SearchRec(int32_t index) const;
  // DateTime, Size and ShortName of the file, folder_number 0.
  TMySimpleSearchRec SimpleSearchRec(int32_t index) const;
  int64_t FileSize(int32_t index) const;
  bool InAZip(int32_t index) const;

  int32_t Starts() const noexcept { return fstarts; }
  void SetStarts(int32_t value) noexcept { fstarts = value; }
  int32_t Ends() const noexcept { return fends; }
  void SetEnds(int32_t value) noexcept { fends = value; }
  int32_t dirnum() const noexcept { return fdirnum; }
  void Setdirnum(int32_t value) noexcept { fdirnum = value; }
  TMySearchRecList* ListOfFiles() const noexcept { return fThisList.get(); }
  // The number of files while processing and a list exists; else 0.
  int32_t Count() const noexcept;
  bool Empty() const noexcept { return Count() == 0; }
  TMySearchRecSort CurrentSort() const noexcept { return fSort; }
  void SetCurrentSort(TMySearchRecSort value);
  const std::u16string& DirName() const noexcept { return fDirname; }
  bool Folder_Processing_Files() const noexcept { return fProcessing_files; }
  void SetFolder_Processing_Files(bool value) noexcept { fProcessing_files = value; }

 private:
  bool Valid(int32_t index) const noexcept;

  TMySearchRecSort fSort = sr_sort_none;
  int32_t fdirnum = 0;
  int32_t fstarts = 0;
  int32_t fends = 0;
  std::unique_ptr<TMySearchRecList> fThisList;
  std::u16string fDirname;
  bool fProcessing_files = true;
};

}  // namespace qn
