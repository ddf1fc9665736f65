// Listing one folder: the one place where the file system is read entry by
// entry for the directory walker and the file utilities.
//
// A folder is read once (one pass of readdir), whatever the number of masks a
// caller then applies; entries are sorted by name the way a desktop file
// system lists them (upper-cased code units first, then ordinal), so that the
// same tree gives the same order on every machine.
//
// The desktop attribute bits are mapped as follows (the same bits as the zip
// component's zfa_ constants):
//   0x01 read-only  the owner lacks the write bit
//   0x02 hidden     the name begins with "."
//   0x04 system     anything that is not a regular file or a folder (FIFOs,
//                   sockets, devices; links too when they are not followed)
//   0x10 folder
//   0x20 archive    every regular file
//
// Names that are not valid UTF-8 have no UTF-16 form that names the same file:
// they are left out and reported in SkippedNames, so that callers can log
// them. A link that is followed but leads nowhere is left out and reported in
// BrokenLinks.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Export.h"

namespace qn::platform {

inline constexpr uint32_t faReadOnly = 0x01;
inline constexpr uint32_t faHidden = 0x02;
inline constexpr uint32_t faSysFile = 0x04;
inline constexpr uint32_t faDirectory = 0x10;
inline constexpr uint32_t faArchive = 0x20;

enum class TLinkPolicy : uint8_t {
  Follow,      // an entry that is a link describes what it leads to
  DoNotFollow  // a link is described as itself: a system entry, never a folder
};

struct TFolderEntry {
  std::u16string Name;
  std::string SystemName;  // the name's bytes as the file system holds them
  uint32_t Attr = 0;       // fa bits above
  int64_t Size = 0;        // bytes (0 unless details were asked for)
  double DateTime = 0;     // last write, local time, days since 30 Dec 1899 (details only)
  double AccessTime = 0;   // last access, the same way (details only)
  uint64_t Device = 0;     // identity of what the entry names (folders always,
  uint64_t Inode = 0;      //   other entries with details)
  bool IsLink = false;     // the entry itself is a symbolic link

  bool IsFolder() const noexcept { return (Attr & faDirectory) != 0; }
};

struct TFolderListing {
  bool Opened = false;                   // the folder could be read
  std::vector<TFolderEntry> Entries;     // sorted by name (CompareFileNames)
  std::vector<std::string> SkippedNames; // names without a UTF-16 form
  std::vector<std::u16string> BrokenLinks;
};

// Reads the folder named by its system path (UTF-8 bytes). With details, every
// entry is described by one stat call (size, dates, identity); without, only
// what the directory itself tells, plus a stat for folders, links and entries
// of unknown kind; without details a regular file's read-only bit is not
// known. With details and detailPieces, only the entries whose names match
// one of the pieces (NameMatchesPiece) are described in full. Yields once per
// 256 entries.
QN_API TFolderListing ListFolder(const std::string& folderSystemPath, TLinkPolicy links,
                                 bool details,
                                 const std::vector<std::u16string>* detailPieces = nullptr);

// The listing order: names compared by their locale-independent upper-case
// code units, then ordinally. Negative, 0 or positive.
QN_API int CompareFileNames(std::u16string_view a, std::u16string_view b) noexcept;

// Whether a name matches one mask piece: "*.*" matches every name, any other
// piece is a whole-name, case-insensitive match with "*" and "?".
QN_API bool NameMatchesPiece(std::u16string_view name, std::u16string_view piece) noexcept;

// The entries that match the pieces, grouped by piece in the pieces' order,
// each group in listing order, and every entry at most once (the first piece
// it matches takes it): what separate listings per piece would give, without
// duplicates. Returns indices into entries.
QN_API std::vector<size_t> SelectByPieces(const std::vector<TFolderEntry>& entries,
                                          const std::vector<std::u16string>& pieces);

// Seconds since 1970 (UTC) with nanoseconds as local date-time, days since
// 30 Dec 1899; 25569.0 (1 Jan 1970) when the local conversion fails.
QN_API double FileTimeToDateTime(int64_t seconds, int64_t nanoseconds) noexcept;

}  // namespace qn::platform
