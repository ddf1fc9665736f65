#include "runtime1/files/Wingenok.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unicode/uchar.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <utility>
#include <vector>

#include "platform/CaseMapping.h"
#include "platform/CodePages.h"
#include "platform/FolderListing.h"
#include "platform/Locales.h"
#include "platform/Streams.h"
#include "runtime1/files/BuiltInFormatSettings.h"
#include "runtime1/files/Logging_utilities.h"
#include "runtime1/files/Mykpsmall.h"

namespace qn {

uint32_t DriveBits = 0;
TWorkAreaRect Work_Area{0, 0, 1024, 768};

namespace {

// The user's default locale when the library loads is nearly always the one
// the built-in settings were made for: those are then what
// platform::UserFormatSettings() would work out, without opening ICU's formats.
platform::TFormatSettings LoadTimeFormatSettings() {
  platform::TFormatSettings settings;
  if (BuiltInFormatSettings(platform::UserDefaultLCID(), settings)) return settings;
  return platform::UserFormatSettings();
}

}  // namespace

platform::TFormatSettings UserDefaultFormatSettings = LoadTimeFormatSettings();

std::u16string _QNTrue = u"true";
std::u16string _QNFalse = u"false";
std::u16string _QNConfirmation = u"Confirmation";
std::u16string _QNOverwriteXQ = u"Overwrite %s?";
std::u16string _QNOverwriteWithBackupXQ = u"Overwrite %s (with backup)?";
std::u16string _QNLittleDiskSpaceQ = u"Only %dMb space left on %s -- Proceed?";

namespace {

constexpr char16_t kPathDelim = u'/';

int32_t gBatchFileStartNumber = 0;

// File names are UTF-16 here and bytes (UTF-8) to the system.
std::string SystemName(std::u16string_view name) { return platform::EncodedUTF8(name); }
std::u16string FromSystemName(std::string_view name) { return platform::DecodedUTF8(name); }

bool PathExists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

bool IsRegularFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Where the name part of a path begins (after the last delimiter).
size_t NamePartStart(std::u16string_view name) {
  const size_t delim = name.rfind(kPathDelim);
  return delim == std::u16string_view::npos ? 0 : delim + 1;
}

// The position of the extension's dot in the name part; npos when none.
size_t ExtensionDot(std::u16string_view name) {
  const size_t dot = name.rfind(u'.');
  if (dot == std::u16string_view::npos || dot < NamePartStart(name)) return std::u16string_view::npos;
  return dot;
}

std::u16string ZeroPadded(int32_t n, size_t digits) {
  std::u16string text = platform::IntToStr(n);
  if (text.size() < digits) text.insert(0, digits - text.size(), u'0');
  return text;
}

// ---- drives ----------------------------------------------------------------

// A mount-table field with its octal escapes (\040 for a blank) undone.
std::string UnescapedMountField(const std::string& field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' && field[i + 1] <= '3' &&
        field[i + 2] >= '0' && field[i + 2] <= '7' && field[i + 3] >= '0' && field[i + 3] <= '7') {
      out.push_back(static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0')));
      i += 3;
    } else {
      out.push_back(field[i]);
    }
  }
  return out;
}

// The mount points standing for drives C: to Z: (index 0 is C:): the root
// file system, then each further file system mounted from a block device, in
// mount-table order, once per device.
std::vector<std::string> DriveMountPoints() {
  std::vector<std::string> points{"/"};
  std::set<dev_t> devices;
  struct stat rootInfo {};
  if (::stat("/", &rootInfo) == 0) devices.insert(rootInfo.st_dev);
  std::ifstream mounts("/proc/self/mounts");
  std::string line;
  while (points.size() < 24 && std::getline(mounts, line)) {
    const size_t sourceEnd = line.find(' ');
    if (sourceEnd == std::string::npos) continue;
    const size_t pointEnd = line.find(' ', sourceEnd + 1);
    if (pointEnd == std::string::npos) continue;
    const std::string source = line.substr(0, sourceEnd);
    if (source.rfind("/dev/", 0) != 0) continue;
    const std::string point = UnescapedMountField(line.substr(sourceEnd + 1, pointEnd - sourceEnd - 1));
    struct stat info {};
    if (::stat(point.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) continue;
    if (!devices.insert(info.st_dev).second) continue;
    points.push_back(point);
  }
  return points;
}

// 0..25 for a letter naming a drive, -1 otherwise.
int DriveIndex(char16_t letter) noexcept {
  const char16_t upper = (letter >= u'a' && letter <= u'z') ? static_cast<char16_t>(letter - 32) : letter;
  if (upper < u'A' || upper > u'Z') return -1;
  return upper - u'A';
}

uint32_t DriveMaskOf(size_t mountPointCount) noexcept {
  uint32_t mask = 0;
  for (size_t i = 0; i < mountPointCount && i < 24; ++i) mask |= 1u << (i + 2);
  return mask;
}

// Whether the block device of dev is marked removable (the whole disk holds
// the mark; a partition looks at its parent).
bool RemovableDevice(dev_t dev) {
  const std::string base =
      "/sys/dev/block/" + std::to_string(major(dev)) + ":" + std::to_string(minor(dev));
  for (const char* attribute : {"/removable", "/../removable"}) {
    std::ifstream in(base + attribute);
    char flag = 0;
    if (in.get(flag)) return flag == '1';
  }
  return false;
}

// File systems that are not on a local fixed disk: network, memory and kernel
// pseudo file systems.
bool NotOnAFixedDisk(int64_t type) noexcept {
  switch (static_cast<uint64_t>(type) & 0xFFFFFFFFu) {
    case 0x6969:      // NFS
    case 0x517B:      // SMB
    case 0xFE534D42:  // SMB2
    case 0xFF534D42:  // CIFS
    case 0x564C:      // NCP
    case 0x5346414F:  // AFS
    case 0x73757245:  // Coda
    case 0x01021997:  // 9P
    case 0x65735546:  // FUSE (sshfs and other user-space file systems)
    case 0x01021994:  // tmpfs
    case 0x858458F6:  // ramfs
    case 0x9FA0:      // proc
    case 0x62656572:  // sysfs
    case 0x1CD1:      // devpts
    case 0x27E0EB:    // cgroup
    case 0x63677270:  // cgroup2
    case 0x9660:      // ISO 9660 (optical discs)
    case 0x15013346:  // UDF
      return true;
    default:
      return false;
  }
}

// ---- copies ------------------------------------------------------------------

bool WriteAll(int fd, const char* data, size_t count) {
  while (count > 0) {
    const ssize_t written = ::write(fd, data, count);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    count -= static_cast<size_t>(written);
  }
  return true;
}

bool CopyContent(int from, int to) {
  std::vector<char> buffer(1 << 16);
  for (;;) {
    const ssize_t got = ::read(from, buffer.data(), buffer.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (got == 0) return true;
    if (!WriteAll(to, buffer.data(), static_cast<size_t>(got))) return false;
  }
}

// Writes "quit wingenok, " to the log when the library unloads with logging
// on. The constructor touches the log state so that the log outlives this.
class TWingenokUnit {
 public:
  TWingenokUnit() { (void)GetLogFilename(); }
  ~TWingenokUnit() {
    if (keeping_log) AddToLogFile(u"quit wingenok, ", false);
  }
  TWingenokUnit(const TWingenokUnit&) = delete;
  TWingenokUnit& operator=(const TWingenokUnit&) = delete;
};

const TWingenokUnit gWingenokUnit;

}  // namespace

// ---- TLanguageStringlist -------------------------------------------------------

TLanguageStringlist::TLanguageStringlist(uint32_t ALanguage) : Language(ALanguage) {}

TLanguageStringlist::~TLanguageStringlist() = default;

void TLanguageStringlist::SaveToFile(std::u16string_view fileName) const {
  if (SaveUnicode) {
    platform::TStringList::SaveToFile(fileName, platform::kEncodingUTF16LE);
  } else {
    platform::TStringList::SaveToFile(fileName);
  }
}

// ---- locales and case ----------------------------------------------------------

int32_t CodePageFromLocale(uint32_t locale) noexcept {
  return static_cast<int32_t>(platform::LCIDToCodePage(locale));
}

int32_t LCIDToCodePage(uint32_t locale) noexcept { return CodePageFromLocale(locale); }

namespace {
std::u16string_view UpToZero(std::u16string_view s) noexcept {
  const size_t zero = s.find(u'\0');
  return zero == std::u16string_view::npos ? s : s.substr(0, zero);
}

size_t ZeroTerminatedLength(const char16_t* p) noexcept {
  size_t length = 0;
  while (p[length] != 0) ++length;
  return length;
}
}  // namespace

std::u16string Lowercase(uint32_t locale, std::u16string_view s) {
  return platform::LowerCasedForLCID(locale, UpToZero(s));
}

std::u16string Uppercase(uint32_t locale, std::u16string_view s) {
  return platform::UpperCasedForLCID(locale, UpToZero(s));
}

void LowercaseIt(uint32_t locale, char16_t* p) noexcept {
  if (p != nullptr) platform::LowerCaseInPlaceForLCID(locale, p, ZeroTerminatedLength(p));
}

void UppercaseIt(uint32_t locale, char16_t* p) noexcept {
  if (p != nullptr) platform::UpperCaseInPlaceForLCID(locale, p, ZeroTerminatedLength(p));
}

std::u16string Lowercase(std::u16string_view s) { return platform::LowerCased(s); }

std::u16string Uppercase(std::u16string_view s) { return platform::UpperCased(s); }

bool IsADigitChar(char16_t c) noexcept { return u_charType(c) == U_DECIMAL_DIGIT_NUMBER; }

bool IsOrdinaryNumberChar(char16_t c) noexcept { return c >= u'0' && c <= u'9'; }

bool UserDefaultMeasurements(uint32_t locale) {
  try {
    return platform::GetLocaleInfo(locale, platform::LOCALE_IMEASURE) != u"1";
  } catch (...) {
    return true;
  }
}

// ---- paths and drives ------------------------------------------------------------

std::u16string NormalisedPath(std::u16string_view path) {
  if (path.size() <= 3) return std::u16string(path);
  std::u16string result;
  try {
    const std::filesystem::path full =
        std::filesystem::absolute(std::filesystem::path(SystemName(path))).lexically_normal();
    result = FromSystemName(full.native());
  } catch (...) {
    result.assign(path);
  }
  while (result.size() > 1 && result.back() == kPathDelim) result.pop_back();
  return result;
}

TNormalisedPathW NormalisedPathW(std::u16string_view path) {
  TNormalisedPathW out{};
  const std::u16string normalised = NormalisedPath(path);
  std::copy_n(normalised.begin(), std::min<size_t>(normalised.size(), out.size() - 1), out.begin());
  return out;
}

bool sIsADirectory(std::u16string_view name) {
  if (name.empty()) return false;
  struct stat info {};
  return ::stat(SystemName(name).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool Fixed_Drive(std::u16string_view root) {
  if (root.empty()) return false;
  const std::string path = SystemName(root);
  struct statfs volume {};
  struct stat info {};
  if (::statfs(path.c_str(), &volume) != 0 || ::stat(path.c_str(), &info) != 0) return false;
  if (NotOnAFixedDisk(static_cast<int64_t>(volume.f_type))) return false;
  // Anonymous devices (overlay, btrfs subvolumes) have no block device to ask.
  if (major(info.st_dev) == 0) return true;
  return !RemovableDevice(info.st_dev);
}

bool RemovableDrive(std::u16string_view path) {
  if (path.empty()) return false;
  struct stat info {};
  if (::stat(SystemName(path).c_str(), &info) != 0) return false;
  return major(info.st_dev) != 0 && RemovableDevice(info.st_dev);
}

std::u16string DriveRootOfLetter(char16_t letter) {
  const int index = DriveIndex(letter);
  if (index < 2) return {};
  const std::vector<std::string> points = DriveMountPoints();
  const size_t slot = static_cast<size_t>(index - 2);
  return slot < points.size() ? FromSystemName(points[slot]) : std::u16string();
}

bool ValidDriveW(char16_t c) {
  const int index = DriveIndex(c);
  if (index < 0) return false;
  const std::vector<std::string> points = DriveMountPoints();
  DriveBits = DriveMaskOf(points.size());
  if ((DriveBits & (1u << index)) == 0) return false;
  struct statvfs volume {};
  return ::statvfs(points[static_cast<size_t>(index - 2)].c_str(), &volume) == 0;
}

bool ValidDrive(char c) { return ValidDriveW(static_cast<char16_t>(static_cast<unsigned char>(c))); }

bool FileNameHasWildCards(std::u16string_view name) noexcept {
  return name.find_first_of(u"*?") != std::u16string_view::npos;
}

std::unique_ptr<platform::TStringList> ListOfSubFolders(std::u16string_view folder, bool recurse) {
  auto list = std::make_unique<platform::TStringList>();
  list->Add(std::u16string(folder));
  if (!recurse || folder.empty()) return list;

  // Depth first, pre-order, without recursion: each level keeps the
  // sub-folders still to visit, in listing order. Each folder is opened
  // relative to its parent, so trees deeper than a path can name are walked.
  struct TChild {
    std::u16string Name;
    std::string SystemName;
    std::pair<uint64_t, uint64_t> Identity;
  };
  struct TLevel {
    std::vector<TChild> Children;
    size_t Next = 0;
    size_t PathLength = 0;
  };
  const auto subFolders = [](int fd) {
    std::vector<TChild> found;
    if (fd < 0) return found;
    const platform::TFolderListing listing = platform::ListFolderAt(fd, platform::TLinkPolicy::Follow, false);
    for (const platform::TFolderEntry& entry : listing.Entries) {
      MyYieldProcess();
      if (!entry.IsFolder() || entry.SystemName.front() == '.') continue;
      found.push_back({entry.Name, entry.SystemName, {entry.Device, entry.Inode}});
    }
    return found;
  };
  platform::TFolderTrail trail;
  if (!trail.Start(SystemName(folder))) return list;
  std::set<std::pair<uint64_t, uint64_t>> walked{{trail.Device(), trail.Inode()}};
  std::u16string path(folder);
  std::vector<TLevel> levels;
  levels.push_back({subFolders(trail.Fd()), 0, path.size()});
  while (!levels.empty()) {
    TLevel& level = levels.back();
    if (level.Next >= level.Children.size()) {
      levels.pop_back();
      if (levels.empty()) break;
      trail.Leave();
      path.resize(levels.back().PathLength);
      continue;
    }
    const TChild child = std::move(level.Children[level.Next++]);
    if (!walked.insert(child.Identity).second) continue;
    if (path.empty() || path.back() != kPathDelim) path.push_back(kPathDelim);
    path.append(child.Name);
    list->Add(path);
    if (!trail.Enter(child.SystemName, true)) {
      path.resize(level.PathLength);
      continue;
    }
    std::vector<TChild> below = subFolders(trail.Fd());
    levels.push_back({std::move(below), 0, path.size()});
  }
  return list;
}

bool ForcedToBeNewFile(std::u16string& name) {
  if (ExtensionDot(name) == std::u16string::npos) name.push_back(u'.');
  const std::u16string ext = name.substr(ExtensionDot(name));
  while (PathExists(SystemName(name))) {
    MyYieldProcess();
    name.erase(ExtensionDot(name));
    // The counter is shared by every call; it wraps to 1, never below 0.
    gBatchFileStartNumber = gBatchFileStartNumber == INT32_MAX ? 1 : gBatchFileStartNumber + 1;
    name.push_back(u'_');
    name.append(ZeroPadded(gBatchFileStartNumber, 3));
    name.append(ext);
  }
  return true;
}

void SetBatchFileStartNumberTo(int32_t n) noexcept { gBatchFileStartNumber = std::max(n, 0); }

int32_t GetBatchFileStartNumber() noexcept { return gBatchFileStartNumber; }

std::u16string GetLastErrorString() {
  const int code = errno;
  char buffer[512];
  // The GNU form returns the text, which need not be in buffer.
  const char* text = ::strerror_r(code, buffer, sizeof buffer);
  std::u16string message = FromSystemName(text != nullptr ? text : "");
  if (message.size() > 255) message.resize(255);
  return message;
}

platform::TDateTime Compilation_DateTime() {
  struct stat info {};
  if (::stat("/proc/self/exe", &info) != 0) return 0.0;
  return platform::UnixToDateTime(info.st_mtim.tv_sec, static_cast<int32_t>(info.st_mtim.tv_nsec));
}

std::u16string Compilation_Date() {
  return platform::DateToStr(Compilation_DateTime(), UserDefaultFormatSettings);
}

std::u16string Compilation_Year() {
  return platform::FormatDateTime(u"yyyy", Compilation_DateTime(), UserDefaultFormatSettings);
}

bool ProceedIfLittleDiskSpace(std::u16string_view path, int64_t minimum) {
  if (path.empty()) return false;
  // A file about to be written does not exist yet: ask about the nearest
  // folder above it that does.
  std::filesystem::path probe(SystemName(path));
  struct statvfs volume {};
  while (::statvfs(probe.c_str(), &volume) != 0) {
    std::filesystem::path parent = probe.parent_path();
    if (parent.empty()) {
      if (probe == ".") return true;
      parent = ".";
    } else if (parent == probe) {
      return true;
    }
    probe = std::move(parent);
  }
  const uint64_t unit = volume.f_frsize != 0 ? volume.f_frsize : volume.f_bsize;
  const uint64_t freeBytes = std::max(volume.f_bavail, volume.f_bfree) * unit;
  const int64_t available = freeBytes > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(freeBytes);
  if (available >= minimum) return true;
  const std::u16string question =
      platform::FormatWith(UserDefaultFormatSettings, _QNLittleDiskSpaceQ, available / 1048576, path);
  return MyMessageBox(question, _QNConfirmation, TMessageIcon::Question, TMessageButtons::OKCancel) ==
         TMessageAnswer::OK;
}

namespace {
bool AskToOverwrite(std::u16string_view pattern, std::u16string_view name) {
  const std::u16string question = platform::FormatWith(UserDefaultFormatSettings, pattern, name);
  return MyMessageBox(question, _QNConfirmation, TMessageIcon::Question, TMessageButtons::YesNo) ==
         TMessageAnswer::Yes;
}
}  // namespace

bool OKToOverwrite(std::u16string_view name) {
  if (!IsRegularFile(SystemName(name))) return true;
  return AskToOverwrite(_QNOverwriteXQ, name);
}

bool OKToOverwriteWithBackup(std::u16string_view name) {
  if (!IsRegularFile(SystemName(name))) return true;
  if (!AskToOverwrite(_QNOverwriteWithBackupXQ, name)) return false;
  (void)CopyFileReplacing(name, ChangeFileExtension(name, u".bak"));
  return true;
}

bool CopyFileReplacing(std::u16string_view source, std::u16string_view dest) {
  if (source.empty() || dest.empty()) return false;
  // Without blocking: a named pipe is refused below, not waited on.
  const int in = ::open(SystemName(source).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (in < 0) return false;
  const bool ok = CopyOpenFileReplacing(in, dest);
  ::close(in);
  return ok;
}

bool CopyOpenFileReplacing(int in, std::u16string_view dest) {
  if (in < 0 || dest.empty()) return false;
  const std::string to = SystemName(dest);
  struct stat info {};
  if (::fstat(in, &info) != 0 || !S_ISREG(info.st_mode)) return false;
  // A copy killed part-way leaves its temporary file; the next copy to the
  // same name clears such leftovers.
  platform::RemoveAbandonedSaveTemporaries(to);
  std::string temp;
  const int out = platform::CreateSaveTemporary(to, temp);
  if (out < 0) return false;
  bool ok = CopyContent(in, out);
  // The copy keeps the mode bits, but never setuid or setgid.
  ok = ok && ::fchmod(out, info.st_mode & 01777) == 0;
  ok = ok && ::fsync(out) == 0;
  if (::close(out) != 0) ok = false;
  ok = ok && ::rename(temp.c_str(), to.c_str()) == 0;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

std::u16string ChangeFileExtension(std::u16string_view name, std::u16string_view ext) {
  const size_t dot = ExtensionDot(name);
  std::u16string result(name.substr(0, dot));
  result.append(ext);
  return result;
}

// ---- strings and numbers ------------------------------------------------------------

std::u16string DoubleAnyAmpersands(std::u16string_view s) {
  std::u16string result;
  result.reserve(s.size() + 4);
  size_t copied = 0;
  // Copies the runs between ampersands whole; most labels have none.
  for (size_t i = s.find(u'&'); i != std::u16string_view::npos; i = s.find(u'&', i + 1)) {
    const bool pairedBefore = i > 0 && s[i - 1] == u'&';
    const bool pairedAfter = i + 1 < s.size() && s[i + 1] == u'&';
    if (pairedBefore || pairedAfter) continue;
    result.append(s.substr(copied, i + 1 - copied)).push_back(u'&');
    copied = i + 1;
  }
  result.append(s.substr(copied));
  return result;
}

std::u16string Rightstr(std::u16string_view s, int32_t count) {
  if (count <= 0) return {};
  const size_t take = std::min(static_cast<size_t>(count), s.size());
  return std::u16string(s.substr(s.size() - take));
}

std::u16string AttributesToStr(uint16_t attr) {
  static constexpr std::pair<uint16_t, char16_t> kLetters[] = {
      {1, u'r'}, {32, u'a'}, {4, u's'}, {2, u'h'}, {16, u'd'}};
  std::u16string letters;
  for (const auto& [bit, letter] : kLetters) {
    if ((attr & bit) != 0) letters.push_back(letter);
  }
  return letters;
}

std::u16string BooleanToStr(bool b) { return b ? _QNTrue : _QNFalse; }

bool StrToBoolean(std::u16string_view s) { return platform::LowerCased(s) == platform::LowerCased(_QNTrue); }

std::u16string RealToDecStr(double x, const platform::TFormatSettings& settings) {
  if (!std::isfinite(x)) return u"*";
  try {
    return platform::FormatFloat(u"####,.00", x, settings);
  } catch (...) {
    return u"*";
  }
}

std::u16string IntToDecStr(int32_t n, const platform::TFormatSettings& settings) {
  return IntToDecStr(static_cast<int64_t>(n), settings);
}

std::u16string IntToDecStr(int64_t n, const platform::TFormatSettings& settings) {
  try {
    return platform::FormatWith(settings, u"%0.n", n);
  } catch (...) {
    return u"*";
  }
}

float Int64ToSingle(int64_t n) noexcept { return static_cast<float>(n); }

int32_t TodayAsLongint() { return static_cast<int32_t>(platform::Date()); }

int32_t TodaysTimeInSeconds(platform::TDateTime t) noexcept {
  if (!std::isfinite(t)) return 0;
  return static_cast<int32_t>(std::lround(platform::TimeOf(t) * 86400.0));
}

int32_t SecondsElapsedBetween(platform::TDateTime t, platform::TDateTime now) noexcept {
  const double days = now - t;
  if (!std::isfinite(days)) return 0;
  const double fraction = days - std::trunc(days);
  return static_cast<int32_t>(std::lround(fraction * 86400.0));
}

int32_t SecondsElapsedSince(platform::TDateTime t) { return SecondsElapsedBetween(t, platform::Now()); }

const char16_t* StrLScanW(const char16_t* p, char16_t c, int32_t count) noexcept {
  if (p == nullptr) return nullptr;
  for (int32_t i = 0; i < count; ++i) {
    if (p[i] == c) return p + i;
  }
  return nullptr;
}

void StrSwapByteOrder(char16_t* p) noexcept {
  if (p == nullptr) return;
  for (; *p != 0; ++p) *p = static_cast<char16_t>((*p >> 8) | (*p << 8));
}

}  // namespace qn
