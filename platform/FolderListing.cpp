#include "platform/FolderListing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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

TFolderListing ListFolder(const std::string& folderSystemPath, TLinkPolicy links, bool details,
                          const std::vector<std::u16string>* detailPieces) {
  TFolderListing listing;
  const int dirFd = ::open(folderSystemPath.empty() ? "." : folderSystemPath.c_str(),
                           O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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

}  // namespace qn::platform
