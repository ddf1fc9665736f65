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

// The same for a folder already open (the descriptor stays open and its
// position is not moved).
QN_API TFolderListing ListFolderAt(int folderFd, TLinkPolicy links, bool details,
                                   const std::vector<std::u16string>* detailPieces = nullptr);
// The same for a descriptor of a folder that the listing takes over and
// closes (one call fewer than ListFolderAt; -1 gives an unopened listing).
QN_API TFolderListing ListFolderTaking(int ownedFolderFd, TLinkPolicy links, bool details,
                                       const std::vector<std::u16string>* detailPieces = nullptr);

// ---------------------------------------------------------------------------
// Paths of any length. A path may be longer than the kernel takes in one call
// (PATH_MAX, 4096 bytes): deep trees have folders that no single call can
// name. These open such paths a piece at a time, each piece relative to the
// folder opened before; shorter paths cost one call, as usual.

// Opens a folder for reading (O_DIRECTORY, close-on-exec); a link as the
// last component is followed only with followLast. -1 and errno on failure.
QN_API int OpenFolderPath(const std::string& path, bool followLast = true);

// A path split for the *at calls (fstatat, unlinkat, openat...): Dir() is
// AT_FDCWD and Name() the whole path when it is short; otherwise Dir() is
// the folder part, opened, and Name() the last component. Dir() is -1 when
// the folder part cannot be opened.
class QN_API TPathAt {
 public:
  explicit TPathAt(const std::string& path);
  ~TPathAt();
  TPathAt(const TPathAt&) = delete;
  TPathAt& operator=(const TPathAt&) = delete;

  int Dir() const noexcept { return fDir; }
  const char* Name() const noexcept { return fName.c_str(); }

 private:
  int fDir;
  std::string fName;
};

// A folder and the chain of sub-folders entered below it, for walks that go
// deeper than a path can name. Each folder is opened relative to its parent,
// so a step costs one call whatever the depth. At most `window` descriptors
// are held besides the starting folder's; a folder whose descriptor was given
// up is opened again on the way back up, through the ".." of its child when
// that is the same folder (same device and inode), else by its names from
// the nearest folder still held. A folder that turns out to be another one
// by then (moved or replaced meanwhile) is "lost": Fd() is -1 and nothing is
// entered or listed there.
class QN_API TFolderTrail {
 public:
  explicit TFolderTrail(size_t window = 32);
  ~TFolderTrail();
  TFolderTrail(const TFolderTrail&) = delete;
  TFolderTrail& operator=(const TFolderTrail&) = delete;

  // Starts at the folder path (any length; links followed). False, and an
  // empty trail, when it cannot be opened.
  bool Start(const std::string& path);
  // Enters the sub-folder name of the current folder. Without followLink a
  // link is never entered. False (and nothing changes) when it cannot be.
  bool Enter(const std::string& name, bool followLink);
  // Back to the parent folder; false when the trail is empty at its start
  // folder, or when the parent is lost.
  bool Leave();
  // Goes to a folder path, keeping the folders it shares with the current
  // one (links followed); starts afresh when the path does not lie below the
  // starting folder or has "." or ".." components.
  bool MoveTo(const std::string& path);
  void Clear();

  bool Empty() const noexcept { return fLevels.empty(); }
  // 0 at the starting folder.
  size_t Depth() const noexcept { return fLevels.empty() ? 0 : fLevels.size() - 1; }
  int Fd() const noexcept { return fLevels.empty() ? -1 : fLevels.back().Fd; }
  // The system path of the current folder (the start path + "/" + names).
  const std::string& Path() const noexcept { return fPath; }
  uint64_t Device() const noexcept { return fLevels.empty() ? 0 : fLevels.back().Device; }
  uint64_t Inode() const noexcept { return fLevels.empty() ? 0 : fLevels.back().Inode; }
  // Descriptors held now (for tests of the bound).
  size_t HeldDescriptors() const noexcept;

 private:
  struct TLevel {
    size_t NameStart = 0;  // where the level's name begins in fPath
    size_t PathLength = 0;
    int Fd = -1;
    uint64_t Device = 0;
    uint64_t Inode = 0;
    bool Follow = true;
  };
  std::string_view NameOf(size_t level) const noexcept;
  bool Reopen(size_t level, int childFd);
  void KeepWithinWindow();

  std::vector<TLevel> fLevels;
  std::string fPath;
  size_t fWindow;
  size_t fHeld = 0;    // held descriptors below the start folder
  size_t fLowest = 1;  // no level below this one (but the start) holds a descriptor
};

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
