#include "runtime1/files/File_utils.h"

#include <fcntl.h>
#include <mntent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <set>
#include <utility>
#include <vector>

#include "platform/CaseMapping.h"
#include "platform/CodePages.h"
#include "platform/DateTime.h"
#include "platform/Exceptions.h"
#include "platform/FolderListing.h"
#include "platform/Format.h"
#include "platform/Streams.h"
#include "platform/YieldHook.h"
#include "runtime1/files/FileOfChar.h"
#include "runtime1/files/Logging_utilities.h"
#include "runtime1/files/Mykpsmall.h"
#include "runtime1/files/Wingenok.h"
#include "runtime1/text/Bare_assemb.h"

namespace qn {

std::u16string _QNDeleteXQ = u"Delete %s?";
std::u16string _QNSureQ = u"Sure?";
std::u16string _QNFileAlreadyExists = u"File(s) already found there.";
std::u16string _QNDeleteThe1XFileInY = u"Delete the one %s file in %s?";
std::u16string _QNDeleteAllXFilesInY = u"Delete all %d %s files in %s?";

namespace {

using platform::TFolderEntry;
using platform::TFolderListing;
using platform::TLinkPolicy;

constexpr char16_t kDelim = u'/';
constexpr std::u16string_view kNoWayCaption = u"No Way!";
constexpr std::u16string_view kWontDelete = u"Won't delete all files on ";

std::u16string gProgramFileName;

std::string Sys(std::u16string_view name) { return platform::EncodedUTF8(name); }
std::u16string Wide(std::string_view name) { return platform::DecodedUTF8(name); }

bool IsDelim(char16_t c) noexcept { return c == u'/' || c == u'\\'; }

size_t LastDelim(std::u16string_view s) noexcept {
  for (size_t i = s.size(); i > 0; --i) {
    if (IsDelim(s[i - 1])) return i - 1;
  }
  return std::u16string_view::npos;
}

// The delimiter a path is written with: "\" for names saved on a desktop
// system, "/" otherwise.
char16_t DelimOf(std::u16string_view a, std::u16string_view b = {}) noexcept {
  for (std::u16string_view s : {a, b}) {
    if (s.find(u'/') != std::u16string_view::npos) return u'/';
    if (s.find(u'\\') != std::u16string_view::npos) return u'\\';
  }
  return kDelim;
}

std::u16string WithTrailingDelim(std::u16string_view s, char16_t delim) {
  std::u16string out(s);
  if (out.empty() || !IsDelim(out.back())) out.push_back(delim);
  return out;
}

bool HasLetterDrive(std::u16string_view s) noexcept {
  return s.size() >= 2 && s[1] == u':' &&
         ((s[0] >= u'A' && s[0] <= u'Z') || (s[0] >= u'a' && s[0] <= u'z'));
}

bool IsNetworkName(std::u16string_view s) noexcept {
  return s.size() >= 2 && IsDelim(s[0]) && IsDelim(s[1]) && s[0] == s[1];
}

// Paths of any length (a deep folder's path may be longer than one call takes).
bool StatOf(std::u16string_view name, struct stat& info, bool follow = true) {
  if (name.empty()) return false;
  const platform::TPathAt at(Sys(name));
  return at.Dir() != -1 && ::fstatat(at.Dir(), at.Name(), &info, follow ? 0 : AT_SYMLINK_NOFOLLOW) == 0;
}

bool SameFile(const struct stat& a, const struct stat& b) noexcept {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The mount points of the mount table, as text.
std::vector<std::string> MountPoints() {
  std::vector<std::string> points;
  FILE* table = ::setmntent("/proc/self/mounts", "r");
  if (table == nullptr) return points;
  struct mntent entry {};
  char buffer[4096];
  while (::getmntent_r(table, &entry, buffer, sizeof buffer) != nullptr) {
    points.emplace_back(entry.mnt_dir);
  }
  ::endmntent(table);
  return points;
}

std::u16string LetterOrMountDrive(std::u16string_view name) {
  if (HasLetterDrive(name)) return std::u16string(name.substr(0, 2));
  if (name.empty() || name.front() != u'/') return {};
  const std::string path = Sys(name);
  std::string best;
  for (const std::string& point : MountPoints()) {
    if (point == "/" || point.size() <= best.size()) continue;
    if (path.compare(0, point.size(), point) != 0) continue;
    if (path.size() > point.size() && path[point.size()] != '/') continue;
    best = point;
  }
  return Wide(best);
}

// The name with its drive removed.
std::u16string_view WithoutDrive(std::u16string_view name, std::u16string_view drive) {
  return name.substr(std::min(drive.size(), name.size()));
}

bool SameDrive(std::u16string_view a, std::u16string_view b) {
  if (HasLetterDrive(a) && HasLetterDrive(b)) {
    return platform::UpperChar(a[0]) == platform::UpperChar(b[0]);
  }
  return a == b;
}

// An absolute path: "/x", "C:\x", "\\server\x".
bool IsAbsoluteName(std::u16string_view name) noexcept {
  return HasLetterDrive(name) || (!name.empty() && IsDelim(name.front()));
}

// The program's folder, with its trailing delimiter.
std::u16string ProgramFolder() {
  const std::u16string program = ProgramFileName();
  const size_t delim = LastDelim(program);
  return delim == std::u16string::npos ? std::u16string(1, kDelim) : program.substr(0, delim + 1);
}

// Files a listing hands out as files of a folder: not folders, not hidden, not
// system files.
bool PlainFile(const TFolderEntry& entry) noexcept {
  return (entry.Attr & (platform::faDirectory | platform::faHidden | platform::faSysFile)) == 0 &&
         !entry.Name.empty() && entry.Name.front() != u'.';
}

std::string JoinSys(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

std::u16string JoinWide(std::u16string_view folder, std::u16string_view name) {
  std::u16string out(folder);
  if (!out.empty() && !IsDelim(out.back())) out.push_back(kDelim);
  out.append(name);
  return out;
}

// A listing without names that count: only names beginning with ".".
bool ListedEmpty(const TFolderListing& listing) {
  for (const TFolderEntry& entry : listing.Entries) {
    if (entry.Name.front() != u'.') return false;
  }
  // A name without a UTF-16 form is still something in the folder.
  for (const std::string& skipped : listing.SkippedNames) {
    if (skipped.front() != '.') return false;
  }
  return true;
}

// The folders of a tree as a walk for deleting sees them: real folders only
// (a link is never entered), not beginning with ".". Each folder is opened
// relative to its parent, so the depth of the tree costs neither call stack
// nor path look-ups, and trees deeper than a path can name are handled.
// Folders are kept as a parent index and a name; going from one folder to
// another re-uses the folders the two share, and checks that each folder
// entered is still the one that was walked (same device and inode).
class TDeletionTree {
 public:
  static constexpr size_t kNone = static_cast<size_t>(-1);
  struct TNode {
    size_t Parent = kNone;
    size_t Depth = 0;
    std::string Name;  // system name; the start path for the root
    uint64_t Device = 0;
    uint64_t Inode = 0;
  };

  // Opens the root (links in its path are resolved as usual).
  bool Start(const std::string& rootPath) {
    fNodes.clear();
    fChain.clear();
    if (!fTrail.Start(rootPath)) return false;
    fNodes.push_back({kNone, 0, rootPath, fTrail.Device(), fTrail.Inode()});
    fChain.push_back(0);
    return true;
  }

  // Walks the tree below the root, depth first. At each folder (the trail
  // open there) visit(node, its listing) is called, and done(node) after all
  // of its sub-folders. Nodes are numbered in the order visited (pre-order).
  template <typename Visit, typename Done>
  void Walk(Visit&& visit, Done&& done) {
    struct TLevel {
      size_t Node;
      std::vector<std::string> Children;
      size_t Next = 0;
    };
    std::vector<TLevel> stack;
    const auto open = [&](size_t node) {
      TLevel level{node, {}, 0};
      const TFolderListing listing = platform::ListFolderAt(fTrail.Fd(), TLinkPolicy::DoNotFollow, false);
      for (const TFolderEntry& entry : listing.Entries) {
        if (entry.IsFolder() && !entry.IsLink && entry.Name.front() != u'.') level.Children.push_back(entry.SystemName);
      }
      visit(node, listing);
      MyYieldProcess();
      return level;
    };
    GoTo(0);
    stack.push_back(open(0));
    while (!stack.empty()) {
      TLevel& level = stack.back();
      if (level.Next >= level.Children.size()) {
        const size_t node = level.Node;
        stack.pop_back();
        GoTo(node);
        done(node);
        continue;
      }
      const std::string name = std::move(level.Children[level.Next++]);
      const size_t parent = level.Node;
      if (!GoTo(parent)) continue;
      if (!fTrail.Enter(name, false)) {
        // A folder that cannot be opened (no read permission) is still one
        // of the tree's folders, without contents.
        struct stat info {};
        if (::fstatat(fTrail.Fd(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(info.st_mode)) {
          fNodes.push_back({parent, fNodes[parent].Depth + 1, name, static_cast<uint64_t>(info.st_dev),
                            static_cast<uint64_t>(info.st_ino)});
          visit(fNodes.size() - 1, TFolderListing{});
          done(fNodes.size() - 1);
        }
        continue;
      }
      fNodes.push_back({parent, fNodes[parent].Depth + 1, name, fTrail.Device(), fTrail.Inode()});
      fChain.push_back(fNodes.size() - 1);
      stack.push_back(open(fNodes.size() - 1));
    }
  }

  // A folder below node (not walked into by Walk), entered now: a sub-path.
  size_t AddBelow(size_t node, const std::string& name) {
    if (!GoTo(node) || !fTrail.Enter(name, false)) return kNone;
    fNodes.push_back({node, fNodes[node].Depth + 1, name, fTrail.Device(), fTrail.Inode()});
    fChain.push_back(fNodes.size() - 1);
    return fNodes.size() - 1;
  }

  // Opens the trail at node; false when it (or a folder on the way) is gone
  // or is no longer the folder that was walked.
  bool GoTo(size_t node) {
    if (fChain.empty()) return false;
    // The part of the way that is new, from node up to the chain.
    std::vector<size_t> down;
    size_t at = node;
    while (at != kNone && !(fNodes[at].Depth < fChain.size() && fChain[fNodes[at].Depth] == at)) {
      down.push_back(at);
      at = fNodes[at].Parent;
    }
    if (at == kNone) return false;
    while (fChain.size() > fNodes[at].Depth + 1) {
      fTrail.Leave();
      fChain.pop_back();
    }
    for (size_t i = down.size(); i > 0; --i) {
      const TNode& wanted = fNodes[down[i - 1]];
      if (!fTrail.Enter(wanted.Name, false)) return false;
      fChain.push_back(down[i - 1]);
      if (fTrail.Device() != wanted.Device || fTrail.Inode() != wanted.Inode) return false;
    }
    return fTrail.Fd() >= 0;
  }

  int Fd() const noexcept { return fTrail.Fd(); }
  const std::string& SystemPath() const noexcept { return fTrail.Path(); }
  const TNode& Node(size_t node) const { return fNodes[node]; }
  size_t Count() const noexcept { return fNodes.size(); }

  // The full path of a node, for messages and lists.
  std::u16string PathOf(size_t node) const {
    std::vector<size_t> up;
    for (size_t at = node; at != kNone; at = fNodes[at].Parent) up.push_back(at);
    std::string path;
    for (size_t i = up.size(); i > 0; --i) {
      path = JoinSys(path, fNodes[up[i - 1]].Name);
    }
    return Wide(path);
  }

  // Removes the folder node (never the root) when it holds nothing but names
  // beginning with "."; the removal itself refuses a folder that is not empty.
  bool RemoveIfEmpty(size_t node) {
    const TNode& folder = fNodes[node];
    if (folder.Parent == kNone || !GoTo(folder.Parent)) return false;
    const int fd = ::openat(fTrail.Fd(), folder.Name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    const bool same = ::fstat(fd, &info) == 0 && static_cast<uint64_t>(info.st_dev) == folder.Device &&
                      static_cast<uint64_t>(info.st_ino) == folder.Inode;
    const bool empty = same && ListedEmpty(platform::ListFolderAt(fd, TLinkPolicy::DoNotFollow, false));
    ::close(fd);
    return empty && ::unlinkat(fTrail.Fd(), folder.Name.c_str(), AT_REMOVEDIR) == 0;
  }

 private:
  platform::TFolderTrail fTrail;
  std::vector<TNode> fNodes;
  std::vector<size_t> fChain;  // the node at each depth of the trail
};

void Warn(std::u16string_view text) {
  MyMessageBox(text, kNoWayCaption, TMessageIcon::Warning, TMessageButtons::OK);
}

bool ValidDay(const TYearMonthDay& date) noexcept {
  if (date.year < 1980 || date.year > 2106 || date.month < 1 || date.month > 12 || date.day < 1 ||
      date.day > 31) {
    return false;
  }
  return date.day <= platform::DaysInMonth(date.year, date.month);
}

bool SetWriteTime(std::u16string_view name, const struct timespec& when) {
  if (name.empty()) return false;
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1] = when;
  return ::utimensat(AT_FDCWD, Sys(name).c_str(), times, 0) == 0;
}

[[noreturn]] void RaiseLastError(std::u16string_view name) {
  const int code = errno;
  throw EOSError(platform::EncodedUTF8(GetLastErrorString()) + ": " + Sys(name), code);
}

// Inserts at a 1-based position (before the first character for 1 or less,
// after the last beyond the end).
std::u16string Inserted(std::u16string_view whole, std::u16string_view text, int32_t position) {
  const size_t at = position <= 1 ? 0 : std::min(static_cast<size_t>(position - 1), whole.size());
  std::u16string out;
  out.reserve(whole.size() + text.size());
  out.append(whole.substr(0, at)).append(text).append(whole.substr(at));
  return out;
}

// Reads the file and decodes its text with the full detection; false when the
// text would not give back exactly the bytes it came from.
bool LosslessText(std::u16string_view name, std::u16string& text, platform::TTextEncoding& encoding,
                  bool& signature) {
  const std::vector<uint8_t> bytes = platform::ReadWholeFile(name);
  text = DecodedTextFileBytes(bytes, &encoding);
  const auto startsWith = [&](std::initializer_list<uint8_t> mark) {
    return bytes.size() >= mark.size() && std::equal(mark.begin(), mark.end(), bytes.begin());
  };
  signature = (encoding == platform::kEncodingUTF8 && startsWith({0xEF, 0xBB, 0xBF})) ||
              (encoding == platform::kEncodingUTF16LE && startsWith({0xFF, 0xFE})) ||
              (encoding == platform::kEncodingUTF16BE && startsWith({0xFE, 0xFF}));
  return platform::EncodeTextBytes(text, encoding, signature) == bytes;
}

bool SaveBytes(std::u16string_view name, const std::vector<uint8_t>& bytes) {
  try {
    platform::WriteFileSafely(name, bytes);
    return true;
  } catch (const Exception&) {
    return false;
  }
}

bool InsertInto(std::u16string_view name, std::u16string_view text, bool backup, int32_t position,
                bool asUtf16) {
  std::u16string whole;
  platform::TTextEncoding encoding = platform::kEncodingDefault;
  bool signature = false;
  if (!LosslessText(name, whole, encoding, signature)) return false;
  if (backup && !CopyAFileWithBackup(name)) return false;
  const std::u16string result = Inserted(whole, text, position);
  if (asUtf16) return SaveBytes(name, platform::EncodeTextBytes(result, platform::kEncodingUTF16LE, true));
  return SaveBytes(name, platform::EncodeTextBytes(result, encoding, signature));
}

}  // namespace

// ---------------------------------------------------------------------------
// Program and drives of paths.

std::u16string ProgramFileName() {
  if (!gProgramFileName.empty()) return gProgramFileName;
  char buffer[PATH_MAX];
  const ssize_t got = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (got <= 0) return {};
  return Wide(std::string_view(buffer, static_cast<size_t>(got)));
}

void SetProgramFileName(std::u16string_view name) { gProgramFileName.assign(name); }

std::u16string DriveOfPath(std::u16string_view name) { return LetterOrMountDrive(name); }

// ---------------------------------------------------------------------------
// Placeholders.

std::u16string ConvertedFilenameFromUserDirFName(std::u16string_view userdir, std::u16string_view name) {
  const size_t dirAt = name.find(user_dir_const);
  if (dirAt != std::u16string_view::npos) {
    std::u16string result = WithTrailingDelim(userdir, DelimOf(userdir, name));
    const size_t rest = dirAt + user_dir_const.size() + 1;  // the delimiter after it goes too
    if (rest < name.size()) result.append(name.substr(rest));
    return result;
  }
  const size_t driveAt = name.find(user_drive_const);
  if (driveAt != std::u16string_view::npos) {
    const std::u16string_view rest = name.substr(driveAt + user_drive_const.size());
    std::u16string result = DriveOfPath(userdir);
    if (rest.empty() || !IsDelim(rest.front())) result.push_back(DelimOf(userdir, rest));
    result.append(rest);
    return result;
  }
  return std::u16string(name);
}

std::u16string ConvertedFilenameIfUserDrive(std::u16string_view name, bool to_placeholder) {
  const std::u16string programDrive = DriveOfPath(ProgramFolder());
  if (to_placeholder) {
    if (!IsAbsoluteName(name) || IsNetworkName(name)) return std::u16string(name);
    const std::u16string drive = DriveOfPath(name);
    if (!SameDrive(drive, programDrive)) return std::u16string(name);
    std::u16string result(user_drive_const);
    result.append(WithoutDrive(name, drive));
    return result;
  }
  if (name.substr(0, user_drive_const.size()) != user_drive_const) return std::u16string(name);
  return programDrive + std::u16string(name.substr(user_drive_const.size()));
}

std::u16string ConvertedUserFolderInFilename(std::u16string_view userdir, std::u16string_view name,
                                             bool to_placeholder) {
  if (!to_placeholder) return ConvertedFilenameFromUserDirFName(userdir, name);
  if (!IsAbsoluteName(name) || IsNetworkName(name)) return std::u16string(name);
  const std::u16string drive = DriveOfPath(name);
  if (!SameDrive(drive, DriveOfPath(userdir))) return std::u16string(name);
  if (!userdir.empty() && name != userdir && name.size() >= userdir.size() &&
      name.substr(0, userdir.size()) == userdir) {
    std::u16string result(user_dir_const);
    result.append(name.substr(userdir.size() - 1));
    return result;
  }
  std::u16string result(user_drive_const);
  const std::u16string_view rest = WithoutDrive(name, drive);
  if (rest.empty() || !IsDelim(rest.front())) result.push_back(DelimOf(name));
  result.append(rest);
  return result;
}

std::u16string ConvertedAppFolderInFilename(std::u16string_view name, bool to_placeholder) {
  return ConvertedUserFolderInFilename(ProgramFolder(), name, to_placeholder);
}

void CheckUserDirConstFolder(platform::TStringList& list, bool to_placeholder) {
  for (int32_t i = 0; i < list.Count(); ++i) {
    std::u16string converted = ConvertedAppFolderInFilename(list[i], to_placeholder);
    if (converted != list[i]) list.Put(i, std::move(converted));
  }
}

// ---------------------------------------------------------------------------
// Tests and queries.

bool DriveAndFileExist(std::u16string_view name, bool check_network, bool network_answer) {
  if (!check_network && IsNetworkName(name)) return network_answer;
  struct stat info {};
  return StatOf(name, info) && !S_ISDIR(info.st_mode);
}

bool DriveAndFolderExist(std::u16string_view dir, bool check_network, bool network_answer) {
  if (!check_network && IsNetworkName(dir)) return network_answer;
  struct stat info {};
  return StatOf(dir, info) && S_ISDIR(info.st_mode);
}

TQNFilestatus GetFileStatusOfAFile(std::u16string_view name, bool check_network) {
  if (!check_network && IsNetworkName(name)) return fs_unknown;
  return DriveAndFileExist(name) ? fs_exists : fs_moved;
}

bool IsDirectoryWriteable(std::u16string_view dir) {
  if (dir.empty()) return false;
  const std::string probe = JoinSys(Sys(dir), "chk.tmp");
  const int fd = ::open(probe.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

bool ReadOnlyFileW(std::u16string_view name) {
  struct stat info {};
  return StatOf(name, info) && (info.st_mode & S_IWUSR) == 0;
}

bool ReadOnlyFolderW(std::u16string_view dir) {
  struct stat info {};
  return StatOf(dir, info) && S_ISDIR(info.st_mode) && (info.st_mode & S_IWUSR) == 0;
}

bool FolderIsEmpty(std::u16string_view dir) {
  return ListedEmpty(platform::ListFolder(Sys(dir), TLinkPolicy::DoNotFollow, false));
}

bool FolderProposedIsOriginalFolder(std::u16string_view name1, std::u16string_view name2) {
  if (name1.empty() || name2.empty()) return false;
  auto folderOf = [](std::u16string_view name) {
    const size_t delim = LastDelim(name);
    std::u16string folder(delim == std::u16string_view::npos ? u"." : name.substr(0, delim + 1));
    if (folder.size() > 1 && IsDelim(folder.back())) folder.pop_back();
    return folder;
  };
  const std::u16string a = folderOf(name1);
  const std::u16string b = folderOf(name2);
  if (platform::UpperCased(NormalisedPath(a)) == platform::UpperCased(NormalisedPath(b))) return true;
  struct stat infoA {}, infoB {};
  return StatOf(a, infoA) && StatOf(b, infoB) && SameFile(infoA, infoB);
}

int64_t FileSize(std::u16string_view name) {
  struct stat info {};
  if (!StatOf(name, info)) return -1;
  return static_cast<int64_t>(info.st_size);
}

int32_t CheckSumOfAFile(std::u16string_view name) {
  struct stat info {};
  if (!StatOf(name, info) || !S_ISREG(info.st_mode)) return 0;
  platform::TFileStream file(name, platform::fmOpenRead | platform::fmShareDenyNone);
  // A multiple of 4, so that block sums add up to the sum of the whole file.
  constexpr int32_t kBlock = 1 << 20;
  std::vector<uint8_t> block(kBlock);
  uint32_t sum = 0;
  for (;;) {
    int64_t filled = 0;
    while (filled < kBlock) {
      const int64_t got = file.Read(block.data() + filled, kBlock - filled);
      if (got <= 0) break;
      filled += got;
    }
    sum += My4Checksum(block.data(), static_cast<int32_t>(filled));
    if (filled < kBlock) break;
    MyYieldProcess();
  }
  return static_cast<int32_t>(sum);
}

std::u16string GetLongPathNameW(std::u16string_view path) {
  // Names are stored exactly as given on this file system: the long form of
  // each component that exists is the component itself, looked up literally.
  return NormalisedPath(path);
}

int32_t PathDelimiterCount(std::u16string_view path) noexcept {
  return static_cast<int32_t>(std::count_if(path.begin(), path.end(), IsDelim));
}

std::u16string NameUpToXPathDelimiters(std::u16string_view path, int32_t n) {
  if (n <= 0) return {};
  int32_t seen = 0;
  for (size_t i = 0; i < path.size(); ++i) {
    if (IsDelim(path[i]) && ++seen == n) return std::u16string(path.substr(0, i));
  }
  return {};
}

std::u16string NewSubFolderFrom(std::u16string_view name, std::u16string_view base) {
  const std::u16string withDelim = WithTrailingDelim(base, DelimOf(base, name));
  if (name.size() <= withDelim.size() || name.substr(0, withDelim.size()) != withDelim) return {};
  const std::u16string_view rest = name.substr(withDelim.size());
  const size_t delim = LastDelim(rest);
  if (delim == std::u16string_view::npos) return {};
  std::u16string folder(rest.substr(0, delim + 1));
  return folder.size() <= 1 ? std::u16string() : folder;
}

std::u16string FileFilterWithinFilterText(std::u16string_view text) {
  std::u16string_view inner = text;
  const size_t open = text.find(u'(');
  const size_t close = text.find(u')');
  if (open != std::u16string_view::npos && close != std::u16string_view::npos && open < close) {
    inner = text.substr(open + 1, close - open - 1);
  }
  while (!inner.empty() && inner.front() <= u' ') inner.remove_prefix(1);
  while (!inner.empty() && inner.back() <= u' ') inner.remove_suffix(1);
  return inner.empty() ? std::u16string(u"*.*") : std::u16string(inner);
}

std::u16string FormattedFNAsParameter(std::u16string_view name) {
  if (name.empty() || !DriveAndFileExist(name)) return std::u16string(name);
  std::u16string out(1, u'"');
  size_t backslashes = 0;
  for (const char16_t c : name) {
    if (c == u'\\') {
      ++backslashes;
      continue;
    }
    if (c == u'"') {
      out.append(backslashes * 2 + 1, u'\\');
    } else {
      out.append(backslashes, u'\\');
    }
    backslashes = 0;
    out.push_back(c);
  }
  out.append(backslashes * 2, u'\\');
  out.push_back(u'"');
  return out;
}

std::u16string RemoveDotsFromFilename(std::u16string_view name) {
  std::u16string out;
  for (const char16_t c : name) {
    if (c != u'.') out.push_back(c);
  }
  return out;
}

std::u16string CleanedUpFilename(std::u16string_view name) {
  while (!name.empty() && IsDelim(name.back())) name.remove_suffix(1);
  const size_t delim = LastDelim(name);
  if (delim != std::u16string_view::npos) name.remove_prefix(delim + 1);
  constexpr std::u16string_view kBad = u"\\/:|<>^+=?[]\"*";
  std::u16string out;
  for (const char16_t c : name) {
    if (c >= 32 && kBad.find(c) == std::u16string_view::npos) out.push_back(c);
  }
  return out;
}

// ---------------------------------------------------------------------------
// Dates.

bool SetFileDate(std::u16string_view name, const TYearMonthDay& date) {
  if (!ValidDay(date)) return false;
  struct tm local {};
  local.tm_year = date.year - 1900;
  local.tm_mon = date.month - 1;
  local.tm_mday = date.day;
  local.tm_hour = 12;
  local.tm_isdst = -1;
  const time_t when = ::mktime(&local);
  if (when == static_cast<time_t>(-1)) return false;
  struct timespec stamp {};
  stamp.tv_sec = when;
  return SetWriteTime(name, stamp);
}

bool SetFileDate(std::u16string_view name, int32_t day, int32_t month, int32_t year) {
  return SetFileDate(name, TYearMonthDay{year, month, day});
}

bool SetFileDate(std::u16string_view name, std::u16string_view day, std::u16string_view month,
                 std::u16string_view year) {
  int32_t d = 0, m = 0, y = 0;
  if (!platform::TryStrToInt(day, d) || !platform::TryStrToInt(month, m) || !platform::TryStrToInt(year, y)) {
    return false;
  }
  return SetFileDate(name, d, m, y);
}

bool SetFileDate(std::u16string_view name, std::u16string_view text) {
  if (text.size() != 10) return false;
  return SetFileDate(name, text.substr(0, 2), text.substr(3, 2), text.substr(6, 4));
}

bool CopyDateOfFile(std::u16string_view source, std::u16string_view target) {
  struct stat from {}, to {};
  if (!StatOf(source, from) || !StatOf(target, to)) return false;
  return SetWriteTime(target, from.st_mtim);
}

bool CopyFileRetainingDate(std::u16string_view source, std::u16string_view target) {
  struct stat from {}, to {};
  if (!StatOf(source, from) || !S_ISREG(from.st_mode)) return false;
  // A file copied onto itself is already there: copying would only risk it.
  if (StatOf(target, to) && SameFile(from, to)) return true;
  if (!CopyFileReplacing(source, target)) return false;
  return CopyDateOfFile(source, target);
}

// ---------------------------------------------------------------------------
// Copies and inserts.

bool CopyAFileWithBackup(std::u16string_view name) {
  struct stat from {}, to {};
  if (!StatOf(name, from) || !S_ISREG(from.st_mode)) return false;
  const std::u16string backup = ChangeFileExtension(name, u".bak");
  if (StatOf(backup, to) && SameFile(from, to)) return true;  // "x.bak" is its own backup
  return CopyFileReplacing(name, backup);
}

bool InsertIntoFileA(std::u16string_view name, std::u16string_view text, bool backup, int32_t position) {
  return InsertInto(name, text, backup, position, false);
}

bool InsertIntoFileW(std::u16string_view name, std::u16string_view text, bool backup, int32_t position) {
  return InsertInto(name, text, backup, position, true);
}

// ---------------------------------------------------------------------------
// Deleting.

bool OKToDeleteFile(std::u16string_view name) {
  struct stat info {};
  if (!StatOf(name, info, false)) return true;
  const TMessageAnswer answer = MyMessageBox(platform::Format(_QNDeleteXQ, name), _QNConfirmation,
                                             TMessageIcon::Question, TMessageButtons::OKCancel);
  if (answer != TMessageAnswer::OK) return false;
  const platform::TPathAt at(Sys(name));
  if (at.Dir() == -1 || ::unlinkat(at.Dir(), at.Name(), 0) != 0) RaiseLastError(name);
  return true;
}

bool RemovedEmptyFolder(std::u16string_view dir) {
  struct stat info {};
  if (!StatOf(dir, info, false) || !S_ISDIR(info.st_mode) || !FolderIsEmpty(dir)) return true;
  const platform::TPathAt at(Sys(dir));
  return at.Dir() != -1 && ::unlinkat(at.Dir(), at.Name(), AT_REMOVEDIR) == 0;
}

std::unique_ptr<platform::TStringList> RemoveAllEmptyFolders(std::u16string_view root) {
  auto list = std::make_unique<platform::TStringList>();
  struct stat info {};
  if (!StatOf(root, info, false) || !S_ISDIR(info.st_mode)) return list;
  TDeletionTree tree;
  if (!tree.Start(Sys(root))) return list;
  // The paths, built as the walk goes down and back up.
  std::u16string path(root);
  std::vector<size_t> lengths;
  tree.Walk(
      [&](size_t node, const TFolderListing&) {
        if (node != 0) {
          while (lengths.size() >= tree.Node(node).Depth) {
            path.resize(lengths.back());
            lengths.pop_back();
          }
          lengths.push_back(path.size());
          path = JoinWide(path, Wide(tree.Node(node).Name));
        }
        list->Add(path);
      },
      [](size_t) {});
  // Deepest first: a folder emptied by removing its own sub-folders goes too.
  for (size_t node = tree.Count(); node > 1; --node) {
    MyYieldProcess();
    tree.RemoveIfEmpty(node - 1);
  }
  tree.GoTo(0);
  if (ListedEmpty(platform::ListFolderAt(tree.Fd(), TLinkPolicy::DoNotFollow, false))) {
    const platform::TPathAt at(Sys(root));
    if (at.Dir() != -1) ::unlinkat(at.Dir(), at.Name(), AT_REMOVEDIR);
  }
  return list;
}

int32_t DeleteAllFilesOn(std::u16string_view root, std::u16string_view ext) {
  return DeleteAllFilesOn(root, ext, u"", false, true, true);
}

int32_t DeleteAllFilesOn(std::u16string_view root, std::u16string_view ext, std::u16string_view target,
                         bool move, bool recurse, bool remove_empty_folders) {
  // 1. The root, resolved: links, "." and ".." cannot make "/" or a whole
  // fixed file system look like a folder.
  char resolved[PATH_MAX];
  if (root.empty() || ::realpath(Sys(root).c_str(), resolved) == nullptr) {
    Warn(std::u16string(kWontDelete) + std::u16string(root));
    return 0;
  }
  const std::string realRoot(resolved);
  struct stat rootInfo {}, parentInfo {};
  const bool statted = ::stat(realRoot.c_str(), &rootInfo) == 0 &&
                       ::stat(JoinSys(realRoot, "..").c_str(), &parentInfo) == 0;
  const bool mountPoint = !statted || rootInfo.st_dev != parentInfo.st_dev || SameFile(rootInfo, parentInfo);
  if (!statted || !S_ISDIR(rootInfo.st_mode) || realRoot == "/" ||
      (mountPoint && !RemovableDrive(Wide(realRoot)))) {
    Warn(std::u16string(kWontDelete) + Wide(realRoot));
    return 0;
  }
  const std::u16string rootPath = Wide(realRoot);

  // 2. An extension, or a sub-path with a mask.
  std::u16string_view what = ext;
  if (!what.empty() && what.front() == u'.') what.remove_prefix(1);
  std::u16string subPath;  // with "/" delimiters, ending in one; empty for an extension
  std::u16string mask;
  if (!what.empty() && IsDelim(what.front())) {
    const size_t last = LastDelim(what);
    mask.assign(what.substr(last + 1));
    std::u16string_view folders = what.substr(1, last == 0 ? 0 : last - 1);
    while (!folders.empty()) {
      size_t end = 0;
      while (end < folders.size() && !IsDelim(folders[end])) ++end;
      const std::u16string_view component = folders.substr(0, end);
      if (component == u"." || component == u"..") {
        Warn(std::u16string(kWontDelete) + rootPath + std::u16string(ext));
        return 0;
      }
      if (!component.empty()) subPath.append(component).push_back(kDelim);
      folders.remove_prefix(std::min(end + 1, folders.size()));
    }
    if (mask.empty() || mask == u"." || mask == u"..") {
      Warn(std::u16string(kWontDelete) + rootPath + std::u16string(ext));
      return 0;
    }
  } else {
    mask = u"*." + std::u16string(what);
  }

  // 3. and 4. The folders, each after its own sub-folders, and their files.
  TDeletionTree tree;
  if (!tree.Start(realRoot)) {
    Warn(std::u16string(kWontDelete) + rootPath);
    return 0;
  }
  struct TFound {
    size_t Node;
    std::string Name;
  };
  std::vector<TFound> found;
  std::vector<size_t> emptied;  // the folders that files were looked for in, each after its sub-folders
  std::vector<std::vector<std::string>> matchesOf;  // the files of each walked folder, until it is done
  const auto matching = [&](const TFolderListing& listing) {
    std::vector<std::string> names;
    for (const TFolderEntry& entry : listing.Entries) {
      if (PlainFile(entry) && platform::NameMatchesPiece(entry.Name, mask)) names.push_back(entry.SystemName);
    }
    return names;
  };
  std::vector<std::string> subNames;
  for (std::u16string_view rest = subPath; !rest.empty();) {
    const size_t end = rest.find(kDelim);
    subNames.push_back(Sys(rest.substr(0, end)));
    rest.remove_prefix(end + 1);
  }
  const auto visit = [&](size_t node, const TFolderListing& listing) {
    if (matchesOf.size() < tree.Count()) matchesOf.resize(tree.Count());
    if (subNames.empty()) matchesOf[node] = matching(listing);
  };
  const auto done = [&](size_t node) {
    size_t where = node;
    std::vector<std::string> names;
    if (subNames.empty()) {
      names = std::move(matchesOf[node]);
    } else {
      // The sub-path: real folders only, never a link.
      for (const std::string& name : subNames) {
        if (where == TDeletionTree::kNone) break;
        where = tree.AddBelow(where, name);
      }
      if (where == TDeletionTree::kNone) return;
      names = matching(platform::ListFolderAt(tree.Fd(), TLinkPolicy::DoNotFollow, false));
    }
    MyYieldProcess();
    emptied.push_back(where);
    for (std::string& name : names) found.push_back({where, std::move(name)});
  };
  if (recurse) {
    tree.Walk(visit, done);
  } else {
    visit(0, platform::ListFolderAt(tree.Fd(), TLinkPolicy::DoNotFollow, false));
    done(0);
  }
  if (found.empty()) return 0;

  // 5. Ask.
  const std::u16string dotExt = u"." + std::u16string(what);
  std::u16string question = _QNFileAlreadyExists + u"\r";
  question += found.size() == 1
                  ? platform::Format(_QNDeleteThe1XFileInY, dotExt, rootPath)
                  : platform::Format(_QNDeleteAllXFilesInY, static_cast<int32_t>(found.size()), dotExt, rootPath);
  if (MyMessageBox(question, _QNSureQ, TMessageIcon::Question, TMessageButtons::OKCancel) != TMessageAnswer::OK) {
    return 0;
  }

  // 6. Delete or move, each file relative to its folder, which must still be
  // the folder that was walked.
  int32_t count = 0;
  const std::string targetFolder = Sys(target);
  std::set<std::pair<dev_t, ino_t>> written;  // files this call wrote into target
  for (const TFound& file : found) {
    MyYieldProcess();
    if (!tree.GoTo(file.Node)) {
      if (errno == 0) errno = ESTALE;
      RaiseLastError(JoinWide(tree.PathOf(file.Node), Wide(file.Name)));
    }
    const int folderFd = tree.Fd();
    if (!move) {
      if (::unlinkat(folderFd, file.Name.c_str(), 0) != 0) {
        RaiseLastError(JoinWide(tree.PathOf(file.Node), Wide(file.Name)));
      }
      ++count;
      continue;
    }
    const std::string dest = JoinSys(targetFolder, file.Name);
    const int in = ::openat(folderFd, file.Name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (in < 0) continue;
    struct stat from {}, to {};
    bool copied = false;
    if (::fstat(in, &from) == 0 && S_ISREG(from.st_mode)) {
      if (::stat(dest.c_str(), &to) == 0 && (SameFile(from, to) || written.count({to.st_dev, to.st_ino}) != 0)) {
        // The file itself, or one this call moved there already: keep both.
        if (keeping_log) AddToLogFile(u"not moved (target taken): " + JoinWide(tree.PathOf(file.Node), Wide(file.Name)));
      } else {
        copied = CopyOpenFileReplacing(in, Wide(dest)) && ::stat(dest.c_str(), &to) == 0;
      }
    }
    ::close(in);
    if (!copied) continue;
    written.insert({to.st_dev, to.st_ino});
    if (::unlinkat(folderFd, file.Name.c_str(), 0) == 0) ++count;
  }

  // 7. Folders left empty.
  if (remove_empty_folders) {
    for (const size_t folder : emptied) {
      MyYieldProcess();
      if (folder != 0) tree.RemoveIfEmpty(folder);
    }
  }
  return count;
}

// ---------------------------------------------------------------------------
// Lists.

std::unique_ptr<platform::TStringList> ListOfAllFilesIn(std::u16string_view dir) {
  auto list = std::make_unique<platform::TStringList>();
  const TFolderListing listing = platform::ListFolder(Sys(dir), TLinkPolicy::Follow, false);
  for (const TFolderEntry& entry : listing.Entries) {
    MyYieldProcess();
    if (PlainFile(entry)) list->Add(JoinWide(dir, entry.Name));
  }
  return list;
}

std::unique_ptr<platform::TStringList> ListOfAllFilesMatchingExt(std::u16string_view name,
                                                                std::u16string_view ext, bool include_itself) {
  auto list = std::make_unique<platform::TStringList>();
  const std::u16string pattern = ChangeFileExtension(name, ext);
  const size_t delim = LastDelim(pattern);
  const std::u16string folder = delim == std::u16string::npos ? std::u16string() : pattern.substr(0, delim + 1);
  const std::u16string mask = pattern.substr(delim == std::u16string::npos ? 0 : delim + 1);
  const TFolderListing listing = platform::ListFolder(Sys(folder.empty() ? u"." : folder), TLinkPolicy::Follow, false);
  for (const TFolderEntry& entry : listing.Entries) {
    MyYieldProcess();
    if (!PlainFile(entry) || !platform::NameMatchesPiece(entry.Name, mask)) continue;
    std::u16string full = folder + entry.Name;
    if (!include_itself && full == name) continue;
    list->Add(std::move(full));
  }
  return list;
}

void SortListOfFiles(platform::TStringList& list, bool by_date, bool ascending) {
  struct TKey {
    std::u16string Path;
    std::u16string UpperName;
    int64_t Seconds = 0;
    int64_t Nanoseconds = 0;
    platform::TObject* Object = nullptr;
  };
  std::vector<TKey> keys;
  keys.reserve(static_cast<size_t>(list.Count()));
  for (int32_t i = 0; i < list.Count(); ++i) {
    TKey key;
    key.Path = list[i];
    key.Object = list.GetObject(i);
    if (by_date) {
      struct stat info {};
      if (StatOf(key.Path, info)) {
        key.Seconds = info.st_atim.tv_sec;
        key.Nanoseconds = info.st_atim.tv_nsec;
      }
    } else {
      const size_t delim = LastDelim(key.Path);
      key.UpperName = platform::UpperCased(std::u16string_view(key.Path).substr(delim == std::u16string::npos ? 0 : delim + 1));
    }
    keys.push_back(std::move(key));
    if ((i & 255) == 0) MyYieldProcess();
  }
  auto before = [by_date](const TKey& a, const TKey& b) {
    if (by_date) {
      if (a.Seconds != b.Seconds) return a.Seconds < b.Seconds;
      if (a.Nanoseconds != b.Nanoseconds) return a.Nanoseconds < b.Nanoseconds;
      return a.Path < b.Path;
    }
    if (a.UpperName != b.UpperName) return a.UpperName < b.UpperName;
    return a.Path < b.Path;
  };
  if (ascending) {
    std::stable_sort(keys.begin(), keys.end(), before);
  } else {
    std::stable_sort(keys.begin(), keys.end(), [&](const TKey& a, const TKey& b) { return before(b, a); });
  }
  const bool owns = list.OwnsObjects();
  list.SetOwnsObjects(false);
  list.Clear();
  list.SetOwnsObjects(owns);
  for (TKey& key : keys) list.AddObject(std::move(key.Path), key.Object);
}

// ---------------------------------------------------------------------------
// Drives.

int32_t NumberOfDrives() {
  int32_t count = 0;
  for (char16_t letter = u'C'; letter <= u'Z'; ++letter) {
    if (!DriveRootOfLetter(letter).empty()) ++count;
  }
  return count;
}

int32_t NumberOfNetworkDrives() { return 0; }

std::u16string AllNetworkDrives() { return {}; }

std::u16string DriveWithMostFreeSpace() {
  std::u16string best;
  uint64_t most = 0;
  for (char16_t letter = u'C'; letter <= u'Z'; ++letter) {
    const std::u16string root = DriveRootOfLetter(letter);
    if (root.empty() || !Fixed_Drive(root)) continue;
    struct statvfs volume {};
    if (::statvfs(Sys(root).c_str(), &volume) != 0) continue;
    const uint64_t space = static_cast<uint64_t>(volume.f_bavail) * volume.f_frsize;
    if (space > most) {
      most = space;
      best = WithTrailingDelim(root, kDelim);
    }
  }
  return best;
}

std::u16string VolumeID(char16_t letter) {
  const std::u16string root = DriveRootOfLetter(letter);
  std::u16string label;
  struct stat rootInfo {};
  if (!root.empty() && StatOf(root, rootInfo)) {
    const platform::TFolderListing labels =
        platform::ListFolder("/dev/disk/by-label", TLinkPolicy::Follow, false);
    for (const TFolderEntry& entry : labels.Entries) {
      struct stat device {};
      if (::stat(JoinSys("/dev/disk/by-label", entry.SystemName).c_str(), &device) != 0) continue;
      if (!S_ISBLK(device.st_mode) || device.st_rdev != rootInfo.st_dev) continue;
      // Labels are listed with \xHH escapes for blanks and the like.
      std::string raw;
      const std::string& name = entry.SystemName;
      for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' && std::isxdigit(static_cast<unsigned char>(name[i + 2])) &&
            std::isxdigit(static_cast<unsigned char>(name[i + 3]))) {
          raw.push_back(static_cast<char>(std::stoi(name.substr(i + 2, 2), nullptr, 16)));
          i += 3;
        } else {
          raw.push_back(name[i]);
        }
      }
      label = platform::UpperCased(Wide(raw));
      break;
    }
  }
  return u"[" + label + u"]";
}

std::u16string NetworkVolume(char16_t letter) { return VolumeID(letter); }

}  // namespace qn
