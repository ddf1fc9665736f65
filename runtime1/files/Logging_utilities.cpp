#include "runtime1/files/Logging_utilities.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "platform/DateTime.h"
#include "platform/Streams.h"

namespace qn {

bool keeping_log = false;

namespace {

constexpr std::u16string_view kCRLF = u"\r\n";

// The state of the log. It lives in a function-local static so that it is
// built before anything that writes to it at start-up and, because the
// modules that write a leaving entry touch it in their constructors, is
// destroyed after them. Its destructor sends out what is still pending.
// Where this process's last entry ended when that entry had no line end of
// its own: the only place at which a line may be left open on purpose (an
// entry written without a line end is followed by the next on the same line).
// Any other tail that does not end a line was torn by a writer that died.
struct TOpenEnd {
  bool Valid = false;
  dev_t Device = 0;
  ino_t Inode = 0;
  off_t Size = 0;
  struct timespec Modified {};

  bool Matches(const struct stat& info) const noexcept {
    return Valid && info.st_dev == Device && info.st_ino == Inode && info.st_size == Size &&
           info.st_mtim.tv_sec == Modified.tv_sec && info.st_mtim.tv_nsec == Modified.tv_nsec;
  }
};

class TLogState {
 public:
  std::recursive_mutex Lock;
  TOpenEnd OpenEnd;
  std::u16string FileName;
  std::vector<std::u16string> Pending;
  bool Busy = false;

  TLogState() = default;
  TLogState(const TLogState&) = delete;
  TLogState& operator=(const TLogState&) = delete;
  ~TLogState();
};

TLogState& LogState() {
  static TLogState state;
  return state;
}

// Appends the UTF-16 little-endian bytes of text, whatever the host's byte
// order.
void AppendUnitsLE(std::string& bytes, std::u16string_view text) {
  const size_t at = bytes.size();
  bytes.resize(at + 2 * text.size());
  platform::UnitsToBytes(reinterpret_cast<uint8_t*>(bytes.data() + at), text.data(), text.size(), false);
}

bool WriteAllAt(int fd, const char* data, size_t count, off_t offset) {
  while (count > 0) {
    const ssize_t written = ::pwrite(fd, data, count, offset);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (written == 0) return false;
    data += written;
    count -= static_cast<size_t>(written);
    offset += written;
  }
  return true;
}

// The file name as the system's path; false when the name cannot be
// expressed (an unpaired surrogate, for instance).
bool ToPath(const std::u16string& name, std::filesystem::path& path) {
  try {
    path = std::filesystem::path(name);
    return true;
  } catch (...) {
    return false;
  }
}

// Appends the UTF-16 text to the log file in one write. A missing file is
// created and gets the byte-order mark first; an empty one gets it too, as it
// holds no text yet. An existing file is written from its size in whole
// 2-byte units, so that a torn half unit at its end cannot shift every later
// character. A tail that does not end a line is closed with a line break
// first, unless it is this process's own entry left open on purpose
// (openEnd): a writer that died in the middle of an entry leaves such a tail,
// and the new entry must not be glued onto it. On any failure the file is put
// back as it was (a file this call created is removed) and false is
// returned; openEnd is kept up to date.
bool AppendToLogFile(const std::u16string& fileName, std::u16string_view text, TOpenEnd& openEnd) {
  std::filesystem::path path;
  if (!ToPath(fileName, path)) return false;

  bool created = true;
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0 && errno == EEXIST) {
    created = false;
    // Read access serves only to look at the tail and to put a replaced odd
    // byte back on failure; a file that may only be written is still
    // appended to.
    fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  }
  if (fd < 0) return false;

  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    if (created) ::unlink(path.c_str());
    return false;
  }
  const off_t oldSize = info.st_size;
  const off_t offset = oldSize & ~static_cast<off_t>(1);
  // The half unit that the write replaces, kept to be put back on failure.
  char oddByte = 0;
  const bool hasOddByte = offset != oldSize && ::pread(fd, &oddByte, 1, offset) == 1;

  std::string bytes;
  bytes.reserve(6 + text.size() * 2);
  if (oldSize == 0) {
    bytes.append("\xFF\xFE", 2);
  } else if (offset >= 2 && !openEnd.Matches(info)) {
    unsigned char last[2];
    if (::pread(fd, last, 2, offset - 2) == 2) {
      const char16_t unit = platform::GetLE<char16_t>(last);
      const bool lineStart = unit == u'\n' || (offset == 2 && unit == 0xFEFF);
      if (!lineStart) AppendUnitsLE(bytes, unit == u'\r' ? std::u16string_view(u"\n") : kCRLF);
    }
  }
  AppendUnitsLE(bytes, text);

  bool ok = WriteAllAt(fd, bytes.data(), bytes.size(), offset);
  if (!ok) {
    if (::ftruncate(fd, oldSize) == 0 && hasOddByte) (void)::pwrite(fd, &oddByte, 1, offset);
  }
  openEnd.Valid = false;
  if (ok && !text.empty() && text.back() != u'\n' && ::fstat(fd, &info) == 0) {
    openEnd = {true, info.st_dev, info.st_ino, info.st_size, info.st_mtim};
  }
  if (::close(fd) != 0) ok = false;
  if (!ok && created) ::unlink(path.c_str());
  return ok;
}

// The hub's tag, "(QN" + the major version + "): ", made at compile time:
// leaving entries are written while the library unloads, when no string
// built at run time can be relied on to be alive.
struct THubTag {
  std::array<char16_t, 24> Units{};
  size_t Length = 0;
  constexpr void Append(std::u16string_view text) {
    for (const char16_t unit : text) Units[Length++] = unit;
  }
};

constexpr THubTag MakeHubTag() {
  THubTag tag;
  tag.Append(u"(QN");
  char16_t digits[10] = {};
  int count = 0;
  int32_t version = QNMajorVersion;
  do {
    digits[count++] = static_cast<char16_t>(u'0' + version % 10);
    version /= 10;
  } while (version > 0);
  while (count > 0) tag.Units[tag.Length++] = digits[--count];
  tag.Append(u"): ");
  return tag;
}

constexpr THubTag kHubTag = MakeHubTag();

// Builds and writes one entry under the lock; `text` already carries its
// line end. Entries that arrive while a write is under way are queued.
void WriteEntry(std::u16string_view text) {
  TLogState& state = LogState();
  const std::lock_guard<std::recursive_mutex> guard(state.Lock);
  if (!keeping_log || state.FileName.empty()) return;
  if (state.Busy) {
    state.Pending.emplace_back(text);
    return;
  }
  state.Busy = true;
  try {
    std::u16string entry;
    if (!state.Pending.empty()) {
      for (const std::u16string& waiting : state.Pending) entry.append(waiting).append(kCRLF);
      entry.append(kCRLF);
      state.Pending.clear();
    }
    entry.append(LogTagOfTool(current_tool_var)).append(text);
    if (!AppendToLogFile(state.FileName, entry, state.OpenEnd)) keeping_log = false;
  } catch (...) {
    keeping_log = false;
  }
  state.Busy = false;
}

TLogState::~TLogState() {
  // Texts that never found a following entry go out once, as one entry.
  if (Pending.empty() || FileName.empty() || !keeping_log) return;
  std::u16string entry(LogTagOfTool(current_tool_var));
  for (const std::u16string& waiting : Pending) entry.append(waiting).append(kCRLF);
  entry.append(kCRLF);
  Pending.clear();
  try {
    (void)AppendToLogFile(FileName, entry, OpenEnd);
  } catch (...) {
  }
  FileName.clear();
}

// Builds the log state while the library loads, so that it exists before any
// module's leaving entry is set up.
[[maybe_unused]] const bool gLogStateBuilt = (LogState(), true);

}  // namespace

std::u16string_view LogTagOfTool(tool_type tool) noexcept {
  switch (tool) {
    case tt_tallier: return u"(TAL): ";
    case tt_kwicker: return u"(KCR): ";
    case tt_salientor: return u"(SAL): ";
    case tt_Glyphseqs: return u"(GLS): ";
    case tt_hub: return std::u16string_view(kHubTag.Units.data(), kHubTag.Length);
    case tt_recoder: return u"(RCD): ";
    case tt_QNconcgram: return u"(QCG): ";
    case tt_locale_picker: return u"(LCP): ";
    case tt_parallel_pager: return u"(PPG): ";
    case tt_glyph_census: return u"(GCN): ";
    case tt_near_twins: return u"(NTW): ";
    case tt_disk_toolkit: return u"(DTK): ";
    case tt_plugin_gate: return u"(PLG): ";
    case tt_page_peeker: return u"(PPK): ";
    case tt_collection_auditor: return u"(CLA): ";
    case tt_lexstore: return u"(LXS): ";
    default: return u"(?\?)";
  }
}

void AddToLogFile(std::u16string_view text, bool endLine) {
  if (!keeping_log) return;
  if (!endLine) {
    WriteEntry(text);
    return;
  }
  std::u16string line;
  line.reserve(text.size() + 2);
  line.append(text).append(kCRLF);
  WriteEntry(line);
}

void StartNewLogSection() {
  if (!keeping_log) return;
  AddToLogFile(u"**********");
  // The log never raises: a time that cannot be formatted leaves the line out.
  std::u16string started;
  try {
    started = u"LOG STARTED at " + platform::DateTimeToStr(platform::Now());
  } catch (...) {
    return;
  }
  AddToLogFile(started);
}

void ClearLogFile() {
  try {
    const std::u16string name = GetLogFilename();
    if (name.empty()) return;
    std::filesystem::path path;
    if (!ToPath(name, path)) return;
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return;
    if (!std::filesystem::remove(path, error)) return;
    StartNewLogSection();
  } catch (...) {
  }
}

void SetLogFilename(std::u16string_view name) {
  TLogState& state = LogState();
  const std::lock_guard<std::recursive_mutex> guard(state.Lock);
  state.FileName.assign(name);
  state.OpenEnd.Valid = false;
}

std::u16string GetLogFilename() {
  TLogState& state = LogState();
  const std::lock_guard<std::recursive_mutex> guard(state.Lock);
  return state.FileName;
}

}  // namespace qn
