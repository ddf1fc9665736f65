// File and folder utilities the tools share: placeholders that keep
// remembered paths valid when the suite moves, existence tests, file-name
// cleaning, copies that keep a backup or the source's date, inserting text
// into a file, listing and deleting files by extension, removing empty
// folders, and drive queries.
//
// Paths use "/" as their delimiter; names saved on a desktop system ("C:\x")
// are accepted by the text helpers, which treat "/" and "\" alike.
//
// Drives: the drive of a path is the mount point that holds it (the longest
// mount-table prefix, as text, without its trailing "/"), "" on the root file
// system; a name that begins with a letter and ":" has that as its drive.
//
// Nothing here destroys what the caller did not name:
//   - copies go through a temporary file renamed into place, and a copy of a
//     file onto itself (same device and inode) copies nothing;
//   - inserting into a text file rewrites it only when its text decodes and
//     re-encodes to exactly the bytes it held, and saves through a temporary
//     file;
//   - walks for deleting never follow a link to a folder (a sub-path's
//     folders included) and delete each file relative to its folder, which
//     must still be the folder that was walked; DeleteAllFilesOn
//     refuses "/", the mount point of any file system that is not on a
//     removable device (however the path is spelled), and sub-paths with "."
//     or ".." components;
//   - a file is never moved onto one moved earlier in the same call, and a
//     source is deleted only once its copy is in place;
//   - folders are removed with rmdir only, which refuses a folder that still
//     holds anything.
// Walks open each folder relative to its parent, so trees deeper than a path
// can name (4,096 bytes) are handled, with a bounded number of descriptors;
// the functions that take one path accept such long paths too.
// Questions and warnings go through MyMessageBox; without a host the refusing
// answer applies, so nothing is deleted.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/Export.h"
#include "platform/StringList.h"

namespace qn {

// Placeholders of remembered paths.
inline constexpr std::u16string_view user_dir_const = u"$userdir";
inline constexpr std::u16string_view user_drive_const = u"$user_drive";
inline constexpr std::u16string_view same_file_const = u"$SAME_FILE";

// The state of a remembered file.
enum TQNFilestatus : uint8_t { fs_unknown = 0, fs_exists = 1, fs_moved = 2 };

struct TYearMonthDay {
  int32_t year = 0;
  int32_t month = 0;
  int32_t day = 0;
};

// Localizable texts.
extern QN_API std::u16string _QNDeleteXQ;               // "Delete %s?"
extern QN_API std::u16string _QNSureQ;                  // "Sure?"
extern QN_API std::u16string _QNFileAlreadyExists;      // "File(s) already found there."
extern QN_API std::u16string _QNDeleteThe1XFileInY;     // "Delete the one %s file in %s?"
extern QN_API std::u16string _QNDeleteAllXFilesInY;     // "Delete all %d %s files in %s?"

// The file name of the program hosting the libraries: the running executable
// unless a host names another (an empty name restores the default).
QN_API std::u16string ProgramFileName();
QN_API void SetProgramFileName(std::u16string_view name);
// The drive of a path (see the header comment).
QN_API std::u16string DriveOfPath(std::u16string_view name);

// ---------------------------------------------------------------------------
// Placeholders.
// ---------------------------------------------------------------------------

// "$userdir" and "$user_drive" in name replaced by userdir and its drive.
QN_API std::u16string ConvertedFilenameFromUserDirFName(std::u16string_view userdir,
                                                         std::u16string_view name);
// The program's drive to "$user_drive" at the start of name, or back.
QN_API std::u16string ConvertedFilenameIfUserDrive(std::u16string_view name, bool to_placeholder);
// A name under userdir (compared case-sensitively) to "$userdir" + the rest,
// another on the same drive to "$user_drive" + the path; or back.
QN_API std::u16string ConvertedUserFolderInFilename(std::u16string_view userdir,
                                                     std::u16string_view name, bool to_placeholder);
// The same with the program's folder as userdir.
QN_API std::u16string ConvertedAppFolderInFilename(std::u16string_view name, bool to_placeholder);
// Every entry of the list converted with ConvertedAppFolderInFilename.
QN_API void CheckUserDirConstFolder(platform::TStringList& list, bool to_placeholder);

// ---------------------------------------------------------------------------
// Tests and queries. None of them raises, except CheckSumOfAFile for a file
// that exists but cannot be opened.
// ---------------------------------------------------------------------------

// A name on a network share ("\\server\share\..." or "//server/...") is not
// looked up when check_network is false: network_answer is the result.
QN_API bool DriveAndFileExist(std::u16string_view name, bool check_network = true,
                              bool network_answer = false);
QN_API bool DriveAndFolderExist(std::u16string_view dir, bool check_network = true,
                                bool network_answer = false);
QN_API TQNFilestatus GetFileStatusOfAFile(std::u16string_view name, bool check_network);
// Creates dir + "/chk.tmp" as a new file and removes it again; false when it
// cannot be created (an existing chk.tmp is left alone).
QN_API bool IsDirectoryWriteable(std::u16string_view dir);
// The owner lacks the write bit (of a folder, for ReadOnlyFolderW).
QN_API bool ReadOnlyFileW(std::u16string_view name);
QN_API bool ReadOnlyFolderW(std::u16string_view dir);
// No entry whose name does not begin with "." (files and folders count).
QN_API bool FolderIsEmpty(std::u16string_view dir);
// Both names are non-empty and their folders are the same: equal as text
// without regard to case once made absolute, or one folder by device and
// inode (a link or a second mount of it).
QN_API bool FolderProposedIsOriginalFolder(std::u16string_view name1, std::u16string_view name2);
// -1 when there is no such file.
QN_API int64_t FileSize(std::u16string_view name);
// The sum of the file's little-endian 32-bit words modulo 2^32 (My4Checksum),
// read in blocks; 0 when there is no such regular file.
QN_API int32_t CheckSumOfAFile(std::u16string_view name);
// The full path, each component as it is stored (looked up literally).
QN_API std::u16string GetLongPathNameW(std::u16string_view path);
QN_API int32_t PathDelimiterCount(std::u16string_view path) noexcept;
// The part of path before its n-th delimiter; "" when it has fewer or n <= 0.
QN_API std::u16string NameUpToXPathDelimiters(std::u16string_view path, int32_t n);
// The folder of name below base, with its trailing delimiter ("sub/"); "" when
// name is not below base or lies in base itself.
QN_API std::u16string NewSubFolderFrom(std::u16string_view name, std::u16string_view base);
// The mask inside a file-dialog filter line: "Text files (*.txt)" -> "*.txt";
// "*.*" when empty.
QN_API std::u16string FileFilterWithinFilterText(std::u16string_view text);
// An existing file's name quoted as one program argument (argv rules: each
// '"' escaped, and the backslashes before it and at the end doubled); other
// names unchanged. Programs are best started with an argument list, which
// needs no quoting at all.
QN_API std::u16string FormattedFNAsParameter(std::u16string_view name);
QN_API std::u16string RemoveDotsFromFilename(std::u16string_view name);
// The file-name part without control characters and \ / : | < > ^ + = ? [ ] " *.
QN_API std::u16string CleanedUpFilename(std::u16string_view name);

// ---------------------------------------------------------------------------
// Dates: the last-write time is set to 12:00 local time of the day; the
// last-access time is left alone. Days 1980-01-01 to 2106-12-31 only.
// ---------------------------------------------------------------------------

QN_API bool SetFileDate(std::u16string_view name, const TYearMonthDay& date);
QN_API bool SetFileDate(std::u16string_view name, int32_t day, int32_t month, int32_t year);
QN_API bool SetFileDate(std::u16string_view name, std::u16string_view day, std::u16string_view month,
                        std::u16string_view year);
// "dd/mm/yyyy" with any separators: exactly 10 characters.
QN_API bool SetFileDate(std::u16string_view name, std::u16string_view text);
QN_API bool CopyDateOfFile(std::u16string_view source, std::u16string_view target);
// Copies source over target (through a temporary file), then its date.
QN_API bool CopyFileRetainingDate(std::u16string_view source, std::u16string_view target);

// ---------------------------------------------------------------------------
// Copies and inserts.
// ---------------------------------------------------------------------------

// Copies name to the same name with the extension ".bak"; true when the
// backup holds the file's contents.
QN_API bool CopyAFileWithBackup(std::u16string_view name);
// Inserts text at the 1-based position of the file's text and saves it in the
// encoding it was read in (InsertIntoFileW: always UTF-16 little-endian with
// FF FE). False, leaving the file as it was, when the file's text does not
// survive decoding exactly or the save fails. Raises when the file cannot be
// read.
QN_API bool InsertIntoFileA(std::u16string_view name, std::u16string_view text, bool backup,
                            int32_t position);
QN_API bool InsertIntoFileW(std::u16string_view name, std::u16string_view text, bool backup,
                            int32_t position);

// ---------------------------------------------------------------------------
// Deleting.
// ---------------------------------------------------------------------------

// Asks "Delete %s?"; on OK deletes the file, raising EOSError when that fails.
// True for a missing file.
QN_API bool OKToDeleteFile(std::u16string_view name);
// True when dir is absent or not empty; otherwise whether rmdir removed it.
QN_API bool RemovedEmptyFolder(std::u16string_view dir);
// Removes root's empty folders from the deepest up; returns every folder
// considered, root first, in pre-order (the caller owns the list).
QN_API std::unique_ptr<platform::TStringList> RemoveAllEmptyFolders(std::u16string_view root);
// Deletes (or moves to target) the files of root with extension ext, or
// matching a sub-path with a mask ("\temp\*.*"), after asking; returns how
// many went.
QN_API int32_t DeleteAllFilesOn(std::u16string_view root, std::u16string_view ext);
QN_API int32_t DeleteAllFilesOn(std::u16string_view root, std::u16string_view ext,
                                std::u16string_view target, bool move, bool recurse,
                                bool remove_empty_folders);

// ---------------------------------------------------------------------------
// Lists (the caller owns them).
// ---------------------------------------------------------------------------

// The files of dir that are not hidden or system files, full paths, sorted by
// name.
QN_API std::unique_ptr<platform::TStringList> ListOfAllFilesIn(std::u16string_view dir);
// The files beside name whose names match name with its extension replaced
// by ext (".*" for any); name itself only with include_itself.
QN_API std::unique_ptr<platform::TStringList> ListOfAllFilesMatchingExt(std::u16string_view name,
                                                                        std::u16string_view ext,
                                                                        bool include_itself);
// Sorts full paths by file name (without regard to case, ties by path) or by
// last-access time; ascending gives A to Z and oldest first.
QN_API void SortListOfFiles(platform::TStringList& list, bool by_date, bool ascending);

// ---------------------------------------------------------------------------
// Drives (C: to Z: as in Wingenok).
// ---------------------------------------------------------------------------

QN_API int32_t NumberOfDrives();
// No network drives are mapped here: 0 and "".
QN_API int32_t NumberOfNetworkDrives();
QN_API std::u16string AllNetworkDrives();
// The mount point, with a trailing "/", of the fixed drive with the most free
// space (the first wins a tie; none without free space); "" when none.
QN_API std::u16string DriveWithMostFreeSpace();
// "[LABEL]": the drive's file-system label upper-cased; "[]" when it has none.
QN_API std::u16string VolumeID(char16_t letter);
QN_API std::u16string NetworkVolume(char16_t letter);

}  // namespace qn
