#include "platform/FolderListing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <ctime>
#include <numeric>

#include "platform/CaseMapping.h"
#include "platform/CodePages.h"
#include "platform/FileMasks.h"
#include "platform/YieldHook.h"

namespace qn::platform {

namespace {

constexpr double kUnixDateDelta = 25569.0;

bool IsAscii(std::string_view s) noexcept {
  for (const char c : s) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// The name's UTF-16 form when it names the same file; false for bytes that
// are not valid UTF-8.
bool WideName(std::string_view bytes, std::u16string& wide) {
  if (IsAscii(bytes)) {
    wide.assign(bytes.begin(), bytes.end());
    return true;
  }
  wide = DecodedUTF8(bytes);
  return EncodedUTF8(wide) == bytes;
}

void Describe(TFolderEntry& entry, const struct stat& info, bool details) {
  uint32_t attr = 0;
  if (S_ISDIR(info.st_mode)) {
    attr |= faDirectory;
  } else if (S_ISREG(info.st_mode)) {
    attr |= faArchive;
  } else {
    attr |= faSysFile;
  }
  if ((info.st_mode & S_IWUSR) == 0) attr |= faReadOnly;
  if (!entry.SystemName.empty() && entry.SystemName.front() == '.') attr |= faHidden;
  entry.Attr = attr;
  entry.Device = static_cast<uint64_t>(info.st_dev);
  entry.Inode = static_cast<uint64_t>(info.st_ino);
  if (details) {
    entry.Size = static_cast<int64_t>(info.st_size);
    entry.DateTime = FileTimeToDateTime(info.st_mtim.tv_sec, info.st_mtim.tv_nsec);
    entry.AccessTime = FileTimeToDateTime(info.st_atim.tv_sec, info.st_atim.tv_nsec);
  }
}

}  // namespace

double FileTimeToDateTime(int64_t seconds, int64_t nanoseconds) noexcept {
  const time_t t = static_cast<time_t>(seconds);
  struct tm local {};
  if (::localtime_r(&t, &local) == nullptr) return kUnixDateDelta;
  const double whole = static_cast<double>(seconds + local.tm_gmtoff);
  return kUnixDateDelta + (whole + static_cast<double>(nanoseconds) / 1e9) / 86400.0;
}

int CompareFileNames(std::u16string_view a, std::u16string_view b) noexcept {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const char16_t x = UpperChar(a[i]);
    const char16_t y = UpperChar(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  const int ordinal = a.compare(b);
  return ordinal < 0 ? -1 : (ordinal > 0 ? 1 : 0);
}

bool NameMatchesPiece(std::u16string_view name, std::u16string_view piece) noexcept {
  if (piece == u"*.*") return true;
  return MatchesWildcard(name, piece);
}

std::vector<size_t> SelectByPieces(const std::vector<TFolderEntry>& entries,
                                   const std::vector<std::u16string>& pieces) {
  std::vector<size_t> chosen;
  std::vector<bool> taken(entries.size(), false);
  for (const std::u16string& piece : pieces) {
    for (size_t i = 0; i < entries.size(); ++i) {
      if (taken[i] || !NameMatchesPiece(entries[i].Name, piece)) continue;
      taken[i] = true;
      chosen.push_back(i);
    }
  }
  return chosen;
}

namespace {

// Reads the folder open on dirFd, which it takes over (and closes).
TFolderListing ListOwnedFolder(int dirFd, TLinkPolicy links, bool details,
                               const std::vector<std::u16string>* detailPieces) {
  TFolderListing listing;
  if (dirFd < 0) return listing;
  DIR* dir = ::fdopendir(dirFd);
  if (dir == nullptr) {
    ::close(dirFd);
    return listing;
  }
  listing.Opened = true;
  const int statFlags = links == TLinkPolicy::Follow ? 0 : AT_SYMLINK_NOFOLLOW;
  uint32_t seen = 0;
  while (const dirent* raw = ::readdir(dir)) {
    if ((++seen & 255u) == 0) MyYieldProcess();
    const std::string_view bytes(raw->d_name);
    if (bytes == "." || bytes == "..") continue;
    TFolderEntry entry;
    if (!WideName(bytes, entry.Name)) {
      listing.SkippedNames.emplace_back(bytes);
      continue;
    }
    entry.SystemName.assign(bytes);
    entry.IsLink = raw->d_type == DT_LNK;
    bool describe = details;
    if (details && detailPieces != nullptr) {
      describe = std::any_of(detailPieces->begin(), detailPieces->end(), [&](const std::u16string& piece) {
        return NameMatchesPiece(entry.Name, piece);
      });
    }
    const bool needStat = describe || raw->d_type == DT_DIR || raw->d_type == DT_LNK ||
                          raw->d_type == DT_UNKNOWN;
    if (needStat) {
      struct stat info {};
      if (::fstatat(dirFd, raw->d_name, &info, statFlags) != 0) {
        // A followed link whose target is gone, or an entry removed meanwhile.
        struct stat self {};
        if (::fstatat(dirFd, raw->d_name, &self, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(self.st_mode)) {
          listing.BrokenLinks.push_back(std::move(entry.Name));
        }
        continue;
      }
      if (raw->d_type == DT_UNKNOWN) {
        struct stat self {};
        entry.IsLink = statFlags == 0 ? (::fstatat(dirFd, raw->d_name, &self, AT_SYMLINK_NOFOLLOW) == 0 &&
                                         S_ISLNK(self.st_mode))
                                      : S_ISLNK(info.st_mode);
      }
      Describe(entry, info, describe);
    } else {
      entry.Attr = raw->d_type == DT_REG ? faArchive : faSysFile;
      if (bytes.front() == '.') entry.Attr |= faHidden;
      entry.Inode = static_cast<uint64_t>(raw->d_ino);
    }
    listing.Entries.push_back(std::move(entry));
  }
  ::closedir(dir);
  std::sort(listing.Entries.begin(), listing.Entries.end(),
            [](const TFolderEntry& a, const TFolderEntry& b) { return CompareFileNames(a.Name, b.Name) < 0; });
  return listing;
}

}  // namespace

TFolderListing ListFolder(const std::string& folderSystemPath, TLinkPolicy links, bool details,
                          const std::vector<std::u16string>* detailPieces) {
  return ListOwnedFolder(OpenFolderPath(folderSystemPath, true), links, details, detailPieces);
}

TFolderListing ListFolderAt(int folderFd, TLinkPolicy links, bool details,
                            const std::vector<std::u16string>* detailPieces) {
  // A description of its own: reading must not move the caller's position.
  const int own = folderFd < 0 ? -1 : ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  return ListOwnedFolder(own, links, details, detailPieces);
}

TFolderListing ListFolderTaking(int ownedFolderFd, TLinkPolicy links, bool details,
                                const std::vector<std::u16string>* detailPieces) {
  return ListOwnedFolder(ownedFolderFd, links, details, detailPieces);
}

// ---------------------------------------------------------------------------
// Paths of any length.

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

void CloseKeepingErrno(int fd) noexcept {
  if (fd < 0) return;
  const int saved = errno;
  ::close(fd);
  errno = saved;
}

bool IdentityOf(int fd, uint64_t& device, uint64_t& inode) noexcept {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return false;
  device = static_cast<uint64_t>(info.st_dev);
  inode = static_cast<uint64_t>(info.st_ino);
  return true;
}

// Opens path relative to the folder `dir` with flags, a piece shorter than
// PATH_MAX at a time (pieces cut at a "/"; every piece but the last opened as
// a folder with links followed, as the kernel resolves a path).
int OpenInPieces(int dir, std::string_view path, int flags) {
  if (path.empty()) path = ".";
  int current = dir;
  size_t start = 0;
  for (;;) {
    const size_t left = path.size() - start;
    if (left < PATH_MAX) {
      const std::string last(path.substr(start));
      const int fd = ::openat(current, last.c_str(), flags);
      if (current != dir) CloseKeepingErrno(current);
      return fd;
    }
    const size_t cut = path.rfind('/', start + PATH_MAX - 2);
    if (cut == std::string_view::npos || cut < start) {
      // One component longer than any name can be.
      if (current != dir) CloseKeepingErrno(current);
      errno = ENAMETOOLONG;
      return -1;
    }
    const std::string piece = cut == start ? std::string("/") : std::string(path.substr(start, cut - start));
    const int next = ::openat(current, piece.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (current != dir) CloseKeepingErrno(current);
    if (next < 0) return -1;
    current = next;
    start = cut + 1;
    while (start < path.size() && path[start] == '/') ++start;
  }
}

}  // namespace

int OpenFolderPath(const std::string& path, bool followLast) {
  return OpenInPieces(AT_FDCWD, path, kFolderFlags | (followLast ? 0 : O_NOFOLLOW));
}

TPathAt::TPathAt(const std::string& path) : fDir(AT_FDCWD), fName(path) {
  if (path.size() < PATH_MAX) return;
  std::string_view whole(path);
  while (whole.size() > 1 && whole.back() == '/') whole.remove_suffix(1);
  const size_t delim = whole.rfind('/');
  if (delim == std::string_view::npos) return;  // one name, too long for any call: fails there
  fName.assign(whole.substr(delim + 1));
  const std::string folder = delim == 0 ? std::string("/") : std::string(whole.substr(0, delim));
  fDir = OpenFolderPath(folder, true);
}

TPathAt::~TPathAt() {
  if (fDir >= 0) ::close(fDir);
}

TFolderTrail::TFolderTrail(size_t window) : fWindow(std::max<size_t>(window, 1)) {}

TFolderTrail::~TFolderTrail() { Clear(); }

void TFolderTrail::Clear() {
  for (TLevel& level : fLevels) {
    if (level.Fd >= 0) ::close(level.Fd);
  }
  fLevels.clear();
  fPath.clear();
  fHeld = 0;
  fLowest = 1;
}

size_t TFolderTrail::HeldDescriptors() const noexcept {
  return fHeld + (!fLevels.empty() && fLevels.front().Fd >= 0 ? 1 : 0);
}

std::string_view TFolderTrail::NameOf(size_t level) const noexcept {
  const TLevel& l = fLevels[level];
  return std::string_view(fPath).substr(l.NameStart, l.PathLength - l.NameStart);
}

bool TFolderTrail::Start(const std::string& path) {
  Clear();
  const int fd = OpenFolderPath(path, true);
  if (fd < 0) return false;
  TLevel level;
  level.Fd = fd;
  if (!IdentityOf(fd, level.Device, level.Inode)) {
    ::close(fd);
    return false;
  }
  fPath = path;
  level.PathLength = fPath.size();
  level.NameStart = 0;
  fLevels.push_back(level);
  return true;
}

bool TFolderTrail::Enter(const std::string& name, bool followLink) {
  if (fLevels.empty() || fLevels.back().Fd < 0 || name.empty()) return false;
  const int fd = ::openat(fLevels.back().Fd, name.c_str(), kFolderFlags | (followLink ? 0 : O_NOFOLLOW));
  if (fd < 0) return false;
  TLevel level;
  level.Fd = fd;
  level.Follow = followLink;
  if (!IdentityOf(fd, level.Device, level.Inode)) {
    ::close(fd);
    return false;
  }
  if (!fPath.empty() && fPath.back() != '/') fPath.push_back('/');
  level.NameStart = fPath.size();
  fPath.append(name);
  level.PathLength = fPath.size();
  fLevels.push_back(level);
  ++fHeld;
  KeepWithinWindow();
  return true;
}

void TFolderTrail::KeepWithinWindow() {
  while (fHeld > fWindow && fLowest + 1 < fLevels.size()) {
    TLevel& level = fLevels[fLowest++];
    if (level.Fd < 0) continue;
    ::close(level.Fd);
    level.Fd = -1;
    --fHeld;
  }
}

bool TFolderTrail::Reopen(size_t target, int childFd) {
  TLevel& wanted = fLevels[target];
  uint64_t device = 0, inode = 0;
  // The child's "..": the parent itself unless the child was reached through
  // a link (or was moved).
  if (childFd >= 0) {
    const int up = ::openat(childFd, "..", kFolderFlags);
    if (up >= 0) {
      if (IdentityOf(up, device, inode) && device == wanted.Device && inode == wanted.Inode) {
        wanted.Fd = up;
        return true;
      }
      ::close(up);
    }
  }
  // By names from the nearest folder still held; a few of the folders on
  // the way are kept for the next steps up.
  size_t from = target;
  while (from > 0 && fLevels[from].Fd < 0) --from;
  if (fLevels[from].Fd < 0) return false;
  const size_t keepFrom = target >= fWindow / 2 ? target - fWindow / 2 : 0;
  int current = fLevels[from].Fd;
  bool owned = false;  // current is held by no level
  for (size_t i = from + 1; i <= target; ++i) {
    TLevel& level = fLevels[i];
    const std::string name(NameOf(i));
    const int fd = ::openat(current, name.c_str(), kFolderFlags | (level.Follow ? 0 : O_NOFOLLOW));
    if (owned) ::close(current);
    owned = false;
    if (fd < 0) return false;
    if (!IdentityOf(fd, device, inode) || device != level.Device || inode != level.Inode) {
      ::close(fd);
      return false;
    }
    current = fd;
    owned = true;
    if (i >= keepFrom && i < target && fHeld < fWindow) {
      level.Fd = fd;
      ++fHeld;
      fLowest = std::min(fLowest, i);
      owned = false;
    }
  }
  wanted.Fd = current;
  return true;
}

bool TFolderTrail::Leave() {
  if (fLevels.size() <= 1) return false;
  const int childFd = fLevels.back().Fd;
  fPath.resize(fLevels[fLevels.size() - 2].PathLength);
  fLevels.pop_back();
  const size_t parent = fLevels.size() - 1;
  bool ok = true;
  if (fLevels[parent].Fd < 0) {
    ok = Reopen(parent, childFd);
    if (ok && parent > 0) {
      ++fHeld;
      fLowest = std::min(fLowest, parent);
    }
  }
  if (childFd >= 0) {
    ::close(childFd);
    --fHeld;
  }
  fLowest = std::max<size_t>(1, std::min(fLowest, fLevels.size()));
  return ok;
}

bool TFolderTrail::MoveTo(const std::string& path) {
  if (fLevels.empty()) return Start(path);
  const std::string_view root = std::string_view(fPath).substr(0, fLevels.front().PathLength);
  std::string_view want(path);
  while (want.size() > 1 && want.back() == '/' && want.size() > root.size()) want.remove_suffix(1);
  bool below = want.substr(0, root.size()) == root &&
               (want.size() == root.size() || (!root.empty() && root.back() == '/') || want[root.size()] == '/');
  std::vector<std::string_view> names;
  if (below) {
    std::string_view rest = want.substr(root.size());
    while (!rest.empty() && rest.front() == '/') rest.remove_prefix(1);
    while (below && !rest.empty()) {
      const size_t end = std::min(rest.find('/'), rest.size());
      const std::string_view name = rest.substr(0, end);
      if (name.empty() || name == "." || name == "..") below = false;
      names.push_back(name);
      rest.remove_prefix(std::min(end + 1, rest.size()));
    }
  }
  if (!below) return Start(path);
  size_t common = 0;
  while (common < names.size() && common + 1 < fLevels.size() && NameOf(common + 1) == names[common] &&
         fLevels[common + 1].Follow) {
    ++common;
  }
  while (Depth() > common) {
    if (!Leave()) return Start(path);
  }
  if (Fd() < 0) return Start(path);
  for (size_t i = common; i < names.size(); ++i) {
    if (!Enter(std::string(names[i]), true)) return false;
  }
  return true;
}


}  // namespace qn::platform
