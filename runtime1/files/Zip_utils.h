// TZipForge: the one reader of zip archives that the rest of the system uses
// (batch archives of saved lists, text files inside archives, archives walked
// as folders, the text of word-processing documents). It only reads: nothing
// here writes an archive or anything else to disk.
//
// Use: create, SetFileName (or OpenArchiveFromMemory), OpenArchive, ask for
// the entries by index (0 to GetEntryCount() - 1, always in the archive's own
// order), extract entries by stored name or index, CloseArchive. Destroying an
// open component closes its archive too.
//
// Archives are untrusted input. Extraction checks every entry against a size
// limit (MaxExtractSize, settable) before and while it inflates, and checks
// that the bytes produced are exactly as many as the archive declares, so that
// neither a "zip bomb" nor a lying directory can exhaust memory; entry data is
// also checked against its CRC. Every failure is raised as EZipError with a
// message naming the archive (and the entry), and a Kind() that says what went
// wrong.
//
// Names and the comment: stored names come back exactly as the archive holds
// them, folder separators "/" or "\" included. Names flagged as UTF-8, and
// unflagged names that are valid UTF-8, are read as UTF-8; other unflagged
// names are read in the zip format's original code page, 437. Invalid bytes
// become U+FFFD.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/Callbacks.h"
#include "platform/Exceptions.h"
#include "platform/Export.h"
#include "platform/Streams.h"

struct zip;
struct zip_source;

namespace qn {

// What went wrong in a TZipForge operation.
enum class TZipErrorKind : uint8_t {
  no_archive_name,    // OpenArchive without a file name
  missing_file,       // the archive file does not exist
  cannot_open,        // it exists but cannot be opened or read
  damaged_archive,    // it is not a zip archive, or its directory is inconsistent
  not_open,           // an entry query or extraction without an open archive
  bad_index,          // an entry index outside 0 .. GetEntryCount() - 1
  missing_entry,      // no entry has the stored name asked for
  failed_extraction,  // the entry's data cannot be read (damaged, encrypted, unsupported, CRC)
  too_large,          // the entry is bigger than MaxExtractSize
};

class QN_API EZipError : public Exception {
 public:
  EZipError(TZipErrorKind kind, std::string message);
  ~EZipError() override;
  TZipErrorKind Kind() const noexcept { return fKind; }

 private:
  TZipErrorKind fKind;
};

// File attribute bits as the suite reports them for files on disk.
inline constexpr uint32_t zfa_ReadOnly = 0x01;
inline constexpr uint32_t zfa_Hidden = 0x02;
inline constexpr uint32_t zfa_SysFile = 0x04;
inline constexpr uint32_t zfa_Directory = 0x10;
inline constexpr uint32_t zfa_Archive = 0x20;

// One entry of the archive's directory.
struct TZipDirItem {
  std::u16string FileName;        // the stored name, folder path and separators included
  uint64_t UncompressedSize = 0;  // as the directory declares it
  uint64_t CompressedSize = 0;
  uint32_t CRC = 0;
  uint16_t CompressionMethod = 0;  // 0 stored, 8 deflated, ...
  bool Encrypted = false;
  uint32_t Attributes = 0;  // zfa_ bits
  double DateTime = 0;      // days since 30 December 1899, local time
};

// An entry's size (uncompressed, as declared) and attribute bits (zfa_).
struct TZipFileSubProperty {
  uint64_t Size = 0;
  uint32_t Attr = 0;
};

// Called for an entry the component cannot process: its index, its stored name
// (empty when even that could not be read) and the reason. Entry queries then
// give an empty item for it instead of failing; extraction still raises.
using TZipProcessFileFailure =
    platform::TMethod<void(int32_t index, std::u16string_view name, std::u16string_view message)>;

class QN_API TZipForge {
 public:
  // 1 GiB: far above any entry the tools extract into memory, far below what
  // would exhaust a machine.
  static constexpr uint64_t kDefaultMaxExtractSize = uint64_t{1} << 30;

  TZipForge();
  ~TZipForge();  // closes an open archive
  TZipForge(const TZipForge&) = delete;
  TZipForge& operator=(const TZipForge&) = delete;

  void SetFileName(std::u16string_view fileName) { fFileName = fileName; }
  const std::u16string& FileName() const noexcept { return fFileName; }

  void SetOnProcessFileFailure(TZipProcessFileFailure handler) noexcept { fOnFailure = handler; }
  TZipProcessFileFailure OnProcessFileFailure() const noexcept { return fOnFailure; }

  // The most bytes one extraction may produce.
  void SetMaxExtractSize(uint64_t limit) noexcept { fMaxExtractSize = limit; }
  uint64_t MaxExtractSize() const noexcept { return fMaxExtractSize; }

  // Opens the archive named by FileName for reading (closing one already
  // open). Raises EZipError: no_archive_name, missing_file, cannot_open,
  // damaged_archive.
  void OpenArchive();
  // Opens an archive held in memory; the component keeps its own copy.
  // Raises EZipError damaged_archive.
  void OpenArchiveFromMemory(std::string_view bytes);
  // Closes the archive; harmless when none is open.
  void CloseArchive() noexcept;
  bool Active() const noexcept { return fArchive != nullptr; }

  // The number of entries (folders included).
  int32_t GetEntryCount() const;
  // The number of entries that are not folders.
  int32_t GetFileCount();

  // Entry i, counted from 0. Raise EZipError not_open or bad_index.
  TZipDirItem GetAZipMainDetail(int32_t index);
  double GetADateTime(int32_t index);
  TZipFileSubProperty GetAZipFileSubProperty(int32_t index);

  // The index of the first entry whose stored name is exactly `name`; -1 when none.
  int32_t FindEntry(std::u16string_view name);

  // The archive comment, whole; empty when there is none.
  std::u16string GetFileComment() const;

  // The uncompressed bytes of the entry with stored name `name` (exact,
  // case-sensitive), replacing `text`. On failure `text` is left empty.
  // Raises EZipError not_open, missing_entry, failed_extraction, too_large.
  void ExtractToString(std::u16string_view name, std::string& text);
  // The same, appended to `stream` at its position. Stream errors reach the
  // caller; the stream may then hold part of the entry.
  void ExtractToStream(std::u16string_view name, platform::TStream& stream);
  // Extraction by index, for callers that walk the entries.
  std::string ExtractEntryToString(int32_t index);
  void ExtractEntryToStream(int32_t index, platform::TStream& stream);

 private:
  void CheckOpen() const;
  void CheckIndex(int32_t index) const;
  void OpenFromSource(zip_source* source, const std::string& archiveLabel);
  const TZipDirItem& Item(int32_t index);
  void LoadEntries();
  int32_t EntryIndexByName(std::u16string_view name);
  // Streams the entry's bytes to `sink` in chunks, enforcing the size limit and
  // the declared size. `sink` is called with (data, count).
  template <typename Sink>
  void ExtractIndexTo(int32_t index, Sink&& sink);
  [[noreturn]] void FailEntry(TZipErrorKind kind, int32_t index, std::string_view reason);
  std::string Label() const;
  std::string EntryLabel(int32_t index) const;

  std::u16string fFileName;
  TZipProcessFileFailure fOnFailure;
  uint64_t fMaxExtractSize = kDefaultMaxExtractSize;

  zip* fArchive = nullptr;
  std::string fArchiveLabel;       // how messages name the open archive
  std::vector<char> fMemoryCopy;   // the bytes of an archive opened from memory
  int32_t fEntryCount = 0;
  std::vector<TZipDirItem> fEntries;  // filled on the first per-entry query
  // Looked up by string view, without building a string per lookup.
  struct TNameHash {
    using is_transparent = void;
    size_t operator()(std::u16string_view name) const noexcept { return std::hash<std::u16string_view>{}(name); }
  };
  std::unordered_map<std::u16string, int32_t, TNameHash, std::equal_to<>> fIndexByName;
  bool fEntriesLoaded = false;
};

}  // namespace qn
