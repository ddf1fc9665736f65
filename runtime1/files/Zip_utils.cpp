#include "runtime1/files/Zip_utils.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unicode/ustring.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <limits>
#include <string>

namespace qn {

namespace {

// libzip is loaded when the first archive is opened, not with this library:
// with the compression and cryptography libraries it brings, loading and
// relocating it costs about a quarter of a program's start, and most runs
// open no archive.
#define QN_LIBZIP_FUNCTIONS(X) \
  X(zip_discard) X(zip_error_fini) X(zip_error_init) X(zip_error_init_with_code) X(zip_error_strerror) \
  X(zip_fclose) X(zip_file_get_external_attributes) X(zip_file_strerror) X(zip_fopen_index) X(zip_fread) \
  X(zip_get_archive_comment) X(zip_get_num_entries) X(zip_open) X(zip_open_from_source) \
  X(zip_source_buffer_create) X(zip_source_free) X(zip_stat_index) X(zip_stat_init) X(zip_strerror)

struct TLibZip {
#define QN_LIBZIP_POINTER(name) decltype(&::name) name = nullptr;
  QN_LIBZIP_FUNCTIONS(QN_LIBZIP_POINTER)
#undef QN_LIBZIP_POINTER
  std::string problem;  // why it could not be loaded; empty once it is
};

const TLibZip& LoadedLibZip() {
  static const TLibZip lib = [] {
    TLibZip z;
    void* handle = ::dlopen(QN_LIBZIP_SONAME, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      const char* reason = ::dlerror();
      z.problem = reason != nullptr ? reason : QN_LIBZIP_SONAME ": cannot be loaded";
      return z;
    }
#define QN_LIBZIP_LOOKUP(name)                                              \
  z.name = reinterpret_cast<decltype(z.name)>(::dlsym(handle, #name));      \
  if (z.name == nullptr && z.problem.empty()) z.problem = QN_LIBZIP_SONAME ": no " #name;
    QN_LIBZIP_FUNCTIONS(QN_LIBZIP_LOOKUP)
#undef QN_LIBZIP_LOOKUP
    return z;
  }();
  return lib;
}

// libzip's functions, loaded on first use; an archive cannot be opened
// without them.
const TLibZip& Zip() {
  const TLibZip& z = LoadedLibZip();
  if (!z.problem.empty()) throw EZipError(TZipErrorKind::cannot_open, "zip archives cannot be read: " + z.problem);
  return z;
}


constexpr size_t kChunk = 64 * 1024;
// The first block reserved for an entry that is extracted into memory: its
// declared size, but no more than this until the bytes actually arrive, so a
// directory that lies about a size costs nothing.
constexpr uint64_t kFirstReservation = 64ull * 1024 * 1024;

std::u16string Utf8ToUtf16(const char* text, size_t length) {
  if (text == nullptr || length == 0) return {};
  if (length > static_cast<size_t>(std::numeric_limits<int32_t>::max())) return {};
  std::u16string result(length, u'\0');  // never more units than bytes
  int32_t produced = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8WithSub(result.data(), static_cast<int32_t>(result.size()), &produced, text,
                       static_cast<int32_t>(length), 0xFFFD, nullptr, &status);
  if (U_FAILURE(status)) return {};
  result.resize(static_cast<size_t>(produced));
  return result;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  if (text.empty()) return {};
  if (text.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max() / 3)) return {};
  std::string result(text.size() * 3, '\0');  // a unit never takes more than 3 bytes
  int32_t produced = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strToUTF8WithSub(result.data(), static_cast<int32_t>(result.size()), &produced, text.data(),
                     static_cast<int32_t>(text.size()), 0xFFFD, nullptr, &status);
  if (U_FAILURE(status)) return {};
  result.resize(static_cast<size_t>(produced));
  return result;
}

std::string ZipErrorText(int code) {
  zip_error_t error;
  Zip().zip_error_init_with_code(&error, code);
  std::string text = Zip().zip_error_strerror(&error);
  Zip().zip_error_fini(&error);
  return text;
}

// How libzip's reasons for refusing to open an archive map to our kinds.
TZipErrorKind OpenErrorKind(int code) {
  switch (code) {
    case ZIP_ER_NOENT:
      return TZipErrorKind::missing_file;
    case ZIP_ER_OPEN:
    case ZIP_ER_READ:
    case ZIP_ER_SEEK:
    case ZIP_ER_TELL:
      return TZipErrorKind::cannot_open;
    default:
      return TZipErrorKind::damaged_archive;
  }
}

// Days since 30 December 1899 of a proleptic Gregorian date.
int64_t DaysSince18991230(int64_t year, unsigned month, unsigned day) {
  // Days from 1 March of year 0, then shifted (the civil-from-days method).
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yoe = year - era * 400;
  const int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const int64_t days_since_1970 = era * 146097 + doe - 719468;
  return days_since_1970 + 25569;  // 1970-01-01 is day 25569
}

// A zip entry's time is a local time (the archive stores no zone); libzip
// turns it into a time_t with mktime, so localtime gives the stored fields back.
double LocalDateTimeOf(time_t when) {
  std::tm fields{};
  if (localtime_r(&when, &fields) == nullptr) return 0;
  const int64_t days = DaysSince18991230(int64_t{fields.tm_year} + 1900,
                                         static_cast<unsigned>(fields.tm_mon + 1),
                                         static_cast<unsigned>(fields.tm_mday));
  const double seconds = fields.tm_hour * 3600.0 + fields.tm_min * 60.0 + fields.tm_sec;
  return static_cast<double>(days) + seconds / 86400.0;
}

bool EndsWithSeparator(std::u16string_view name) {
  return !name.empty() && (name.back() == u'/' || name.back() == u'\\');
}

// The suite's attribute bits from what the archive recorded: DOS-family hosts
// store those bits themselves in the low byte; Unix hosts store a file mode in
// the high half, of which the folder and write bits mean something here.
uint32_t AttributesOf(uint8_t opsys, uint32_t external, std::u16string_view name) {
  uint32_t attributes = 0;
  if (opsys == ZIP_OPSYS_UNIX) {
    const uint32_t mode = external >> 16;
    if ((mode & S_IFMT) == S_IFDIR) attributes |= zfa_Directory;
    if (mode != 0 && (mode & S_IWUSR) == 0) attributes |= zfa_ReadOnly;
    if ((attributes & zfa_Directory) == 0) attributes |= zfa_Archive;
  } else {
    attributes = external & 0xFF;
  }
  if (EndsWithSeparator(name)) attributes |= zfa_Directory;
  return attributes;
}

// Collects an entry in a string that grows as the bytes arrive.
class TStringSink {
 public:
  TStringSink(std::string& target, uint64_t declared, uint64_t limit) : fTarget(target), fLimit(limit) {
    fTarget.clear();
    // One byte beyond the declared size, so the end is seen without a resize.
    fTarget.resize(static_cast<size_t>(std::min({declared, kFirstReservation, limit})) + 1);
  }
  // Room for the next read: never beyond the limit plus one byte, so an entry
  // that exceeds the limit is caught without allocating for the excess.
  char* Room(size_t& room) {
    if (fUsed == fTarget.size()) {
      const uint64_t cap = fLimit >= std::numeric_limits<size_t>::max() - 1 ? fLimit : fLimit + 1;
      const uint64_t grown = std::max<uint64_t>(fUsed * 2, fUsed + kChunk);
      fTarget.resize(static_cast<size_t>(std::min(grown, cap)));
    }
    room = fTarget.size() - fUsed;
    return fTarget.data() + fUsed;
  }
  void Commit(size_t count) { fUsed += count; }
  void Finish() { fTarget.resize(fUsed); }

 private:
  std::string& fTarget;
  uint64_t fLimit;
  size_t fUsed = 0;
};

// Passes an entry to a stream in fixed chunks.
class TStreamSink {
 public:
  explicit TStreamSink(platform::TStream& stream) : fStream(stream), fBuffer(kChunk) {}
  char* Room(size_t& room) {
    room = fBuffer.size();
    return fBuffer.data();
  }
  void Commit(size_t count) { fStream.WriteBuffer(fBuffer.data(), static_cast<int64_t>(count)); }
  void Finish() {}

 private:
  platform::TStream& fStream;
  std::vector<char> fBuffer;
};

}  // namespace

EZipError::EZipError(TZipErrorKind kind, std::string message) : Exception(std::move(message)), fKind(kind) {}
EZipError::~EZipError() = default;

TZipForge::TZipForge() = default;

TZipForge::~TZipForge() { CloseArchive(); }

void TZipForge::CloseArchive() noexcept {
  if (fArchive != nullptr) {
    LoadedLibZip().zip_discard(fArchive);  // read-only: nothing is ever written back
    fArchive = nullptr;
  }
  fMemoryCopy.clear();
  fMemoryCopy.shrink_to_fit();
  fArchiveLabel.clear();
  fEntryCount = 0;
  fEntries.clear();
  fIndexByName.clear();
  fEntriesLoaded = false;
}

void TZipForge::OpenArchive() {
  CloseArchive();
  if (fFileName.empty()) {
    throw EZipError(TZipErrorKind::no_archive_name, "no zip archive name given");
  }
  const std::string path = Utf16ToUtf8(fFileName);
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    const int error = errno;
    if (error == ENOENT || error == ENOTDIR) {
      throw EZipError(TZipErrorKind::missing_file, "zip archive not found: " + path);
    }
    throw EZipError(TZipErrorKind::cannot_open,
                    "cannot open zip archive " + path + ": " + std::strerror(error));
  }
  if (S_ISDIR(info.st_mode)) {
    throw EZipError(TZipErrorKind::cannot_open, "cannot open zip archive " + path + ": it is a folder");
  }
  // A named pipe would hold the caller until a writer came; a device has no end.
  if (!S_ISREG(info.st_mode)) {
    throw EZipError(TZipErrorKind::cannot_open,
                    "cannot open zip archive " + path + ": it is not a regular file, so it cannot be read");
  }
  // libzip takes an empty file for an empty new archive; for a reader it is
  // simply not an archive.
  if (info.st_size == 0) {
    throw EZipError(TZipErrorKind::damaged_archive, "damaged zip archive " + path + ": the file is empty");
  }
  int code = 0;
  zip_t* archive = Zip().zip_open(path.c_str(), ZIP_RDONLY, &code);
  if (archive == nullptr) {
    const TZipErrorKind kind = OpenErrorKind(code);
    const char* what = kind == TZipErrorKind::missing_file   ? "zip archive not found: "
                       : kind == TZipErrorKind::cannot_open ? "cannot open zip archive "
                                                            : "damaged zip archive ";
    throw EZipError(kind, std::string(what) + path +
                              (kind == TZipErrorKind::missing_file ? "" : ": " + ZipErrorText(code)));
  }
  fArchive = archive;
  fArchiveLabel = path;
  const zip_int64_t count = Zip().zip_get_num_entries(fArchive, 0);
  if (count < 0 || count > std::numeric_limits<int32_t>::max()) {
    CloseArchive();
    throw EZipError(TZipErrorKind::damaged_archive, "damaged zip archive " + path + ": entry count out of range");
  }
  fEntryCount = static_cast<int32_t>(count);
}

void TZipForge::OpenArchiveFromMemory(std::string_view bytes) {
  CloseArchive();
  const std::string label = "(zip archive in memory)";
  if (bytes.empty()) {
    throw EZipError(TZipErrorKind::damaged_archive, "damaged zip archive " + label + ": no bytes");
  }
  fMemoryCopy.assign(bytes.begin(), bytes.end());
  zip_error_t error;
  Zip().zip_error_init(&error);
  zip_source_t* source = Zip().zip_source_buffer_create(fMemoryCopy.data(), fMemoryCopy.size(), 0, &error);
  if (source == nullptr) {
    const std::string reason = Zip().zip_error_strerror(&error);
    Zip().zip_error_fini(&error);
    CloseArchive();
    throw EZipError(TZipErrorKind::damaged_archive, "damaged zip archive " + label + ": " + reason);
  }
  zip_t* archive = Zip().zip_open_from_source(source, ZIP_RDONLY, &error);
  if (archive == nullptr) {
    const std::string reason = Zip().zip_error_strerror(&error);
    Zip().zip_error_fini(&error);
    Zip().zip_source_free(source);
    CloseArchive();
    throw EZipError(TZipErrorKind::damaged_archive, "damaged zip archive " + label + ": " + reason);
  }
  Zip().zip_error_fini(&error);
  fArchive = archive;
  fArchiveLabel = label;
  const zip_int64_t count = Zip().zip_get_num_entries(fArchive, 0);
  if (count < 0 || count > std::numeric_limits<int32_t>::max()) {
    CloseArchive();
    throw EZipError(TZipErrorKind::damaged_archive, "damaged zip archive " + label + ": entry count out of range");
  }
  fEntryCount = static_cast<int32_t>(count);
}

void TZipForge::CheckOpen() const {
  if (fArchive == nullptr) {
    std::string message = "zip archive ";
    message += fFileName.empty() ? std::string("(no name)") : Utf16ToUtf8(fFileName);
    message += " is not open";
    throw EZipError(TZipErrorKind::not_open, message);
  }
}

void TZipForge::CheckIndex(int32_t index) const {
  CheckOpen();
  if (index < 0 || index >= fEntryCount) {
    throw EZipError(TZipErrorKind::bad_index, "zip archive " + fArchiveLabel + ": no entry with index " +
                                                  std::to_string(index) + " (it has " +
                                                  std::to_string(fEntryCount) + ")");
  }
}

int32_t TZipForge::GetEntryCount() const {
  CheckOpen();
  return fEntryCount;
}

void TZipForge::LoadEntries() {
  if (fEntriesLoaded) return;
  std::vector<TZipDirItem> entries(static_cast<size_t>(fEntryCount));
  for (int32_t i = 0; i < fEntryCount; ++i) {
    zip_stat_t stat;
    Zip().zip_stat_init(&stat);
    if (Zip().zip_stat_index(fArchive, static_cast<zip_uint64_t>(i), 0, &stat) != 0) {
      const std::string reason = Zip().zip_strerror(fArchive);
      if (!fOnFailure.Assigned()) {
        throw EZipError(TZipErrorKind::damaged_archive,
                        "damaged zip archive " + fArchiveLabel + ": entry " + std::to_string(i) + ": " + reason);
      }
      fOnFailure(i, u"", Utf8ToUtf16(reason.data(), reason.size()));
      continue;  // the entry stays an empty item
    }
    TZipDirItem& item = entries[static_cast<size_t>(i)];
    if ((stat.valid & ZIP_STAT_NAME) && stat.name != nullptr) {
      item.FileName = Utf8ToUtf16(stat.name, std::strlen(stat.name));
    }
    if (stat.valid & ZIP_STAT_SIZE) item.UncompressedSize = stat.size;
    if (stat.valid & ZIP_STAT_COMP_SIZE) item.CompressedSize = stat.comp_size;
    if (stat.valid & ZIP_STAT_CRC) item.CRC = stat.crc;
    if (stat.valid & ZIP_STAT_COMP_METHOD) item.CompressionMethod = stat.comp_method;
    if (stat.valid & ZIP_STAT_ENCRYPTION_METHOD) item.Encrypted = stat.encryption_method != ZIP_EM_NONE;
    if (stat.valid & ZIP_STAT_MTIME) item.DateTime = LocalDateTimeOf(stat.mtime);
    zip_uint8_t opsys = 0;
    zip_uint32_t external = 0;
    if (Zip().zip_file_get_external_attributes(fArchive, static_cast<zip_uint64_t>(i), 0, &opsys, &external) != 0) {
      opsys = 0;
      external = 0;
    }
    item.Attributes = AttributesOf(opsys, external, item.FileName);
  }
  decltype(fIndexByName) byName;
  byName.reserve(entries.size());
  for (int32_t i = 0; i < fEntryCount; ++i) {
    const std::u16string& name = entries[static_cast<size_t>(i)].FileName;
    if (!name.empty()) byName.emplace(name, i);  // the first of equal names wins
  }
  fEntries = std::move(entries);
  fIndexByName = std::move(byName);
  fEntriesLoaded = true;
}

const TZipDirItem& TZipForge::Item(int32_t index) {
  CheckIndex(index);
  LoadEntries();
  return fEntries[static_cast<size_t>(index)];
}

int32_t TZipForge::GetFileCount() {
  CheckOpen();
  LoadEntries();
  return static_cast<int32_t>(std::count_if(fEntries.begin(), fEntries.end(), [](const TZipDirItem& item) {
    return !item.FileName.empty() && !EndsWithSeparator(item.FileName);
  }));
}

TZipDirItem TZipForge::GetAZipMainDetail(int32_t index) { return Item(index); }

double TZipForge::GetADateTime(int32_t index) { return Item(index).DateTime; }

TZipFileSubProperty TZipForge::GetAZipFileSubProperty(int32_t index) {
  const TZipDirItem& item = Item(index);
  return {item.UncompressedSize, item.Attributes};
}

int32_t TZipForge::FindEntry(std::u16string_view name) {
  CheckOpen();
  LoadEntries();
  const auto found = fIndexByName.find(name);
  return found == fIndexByName.end() ? -1 : found->second;
}

int32_t TZipForge::EntryIndexByName(std::u16string_view name) {
  const int32_t index = FindEntry(name);
  if (index < 0) {
    throw EZipError(TZipErrorKind::missing_entry,
                    "zip archive " + fArchiveLabel + " has no entry " + Utf16ToUtf8(name));
  }
  return index;
}

std::u16string TZipForge::GetFileComment() const {
  CheckOpen();
  int length = 0;
  const char* comment = Zip().zip_get_archive_comment(fArchive, &length, ZIP_FL_ENC_GUESS);
  if (comment == nullptr || length <= 0) return {};
  return Utf8ToUtf16(comment, static_cast<size_t>(length));
}

std::string TZipForge::Label() const { return fArchiveLabel; }

std::string TZipForge::EntryLabel(int32_t index) const {
  if (fEntriesLoaded && index >= 0 && index < fEntryCount) {
    const std::u16string& name = fEntries[static_cast<size_t>(index)].FileName;
    if (!name.empty()) return Utf16ToUtf8(name);
  }
  std::string label = "#";
  label += std::to_string(index);
  return label;
}

void TZipForge::FailEntry(TZipErrorKind kind, int32_t index, std::string_view reason) {
  const std::string entry = EntryLabel(index);
  const std::string message = (kind == TZipErrorKind::too_large ? "entry too large to extract: " : "cannot extract ") +
                              entry + " from zip archive " + Label() + ": " + std::string(reason);
  if (fOnFailure.Assigned()) {
    const std::u16string name = Utf8ToUtf16(entry.data(), entry.size());
    const std::u16string text = Utf8ToUtf16(reason.data(), reason.size());
    fOnFailure(index, name, text);
  }
  throw EZipError(kind, message);
}

template <typename Sink>
void TZipForge::ExtractIndexTo(int32_t index, Sink&& sink) {
  const uint64_t declared = Item(index).UncompressedSize;
  const uint64_t limit = fMaxExtractSize;
  if (declared > limit) {
    FailEntry(TZipErrorKind::too_large, index,
              "declared size " + std::to_string(declared) + " exceeds the limit of " + std::to_string(limit) +
                  " bytes");
  }
  zip_file_t* file = Zip().zip_fopen_index(fArchive, static_cast<zip_uint64_t>(index), 0);
  if (file == nullptr) FailEntry(TZipErrorKind::failed_extraction, index, Zip().zip_strerror(fArchive));
  struct Closer {
    zip_file_t* file;
    ~Closer() { LoadedLibZip().zip_fclose(file); }
  } closer{file};

  uint64_t total = 0;
  for (;;) {
    size_t room = 0;
    char* destination = sink.Room(room);
    const zip_int64_t got = Zip().zip_fread(file, destination, room);
    if (got < 0) FailEntry(TZipErrorKind::failed_extraction, index, Zip().zip_file_strerror(file));
    if (got == 0) break;
    total += static_cast<uint64_t>(got);
    if (total > limit) {
      FailEntry(TZipErrorKind::too_large, index,
                "it inflates to more than the limit of " + std::to_string(limit) + " bytes");
    }
    if (total > declared) {
      FailEntry(TZipErrorKind::failed_extraction, index,
                "it holds more than its declared " + std::to_string(declared) + " bytes");
    }
    sink.Commit(static_cast<size_t>(got));
  }
  if (total != declared) {
    FailEntry(TZipErrorKind::failed_extraction, index,
              "it holds " + std::to_string(total) + " bytes instead of the declared " + std::to_string(declared));
  }
  sink.Finish();
}

std::string TZipForge::ExtractEntryToString(int32_t index) {
  std::string text;
  const uint64_t declared = Item(index).UncompressedSize;
  try {
    ExtractIndexTo(index, TStringSink(text, declared, fMaxExtractSize));
  } catch (...) {
    text.clear();
    text.shrink_to_fit();
    throw;
  }
  return text;
}

void TZipForge::ExtractEntryToStream(int32_t index, platform::TStream& stream) {
  Item(index);  // index and open checks before the buffer is made
  ExtractIndexTo(index, TStreamSink(stream));
}

void TZipForge::ExtractToString(std::u16string_view name, std::string& text) {
  text.clear();
  CheckOpen();
  text = ExtractEntryToString(EntryIndexByName(name));
}

void TZipForge::ExtractToStream(std::u16string_view name, platform::TStream& stream) {
  CheckOpen();
  ExtractEntryToStream(EntryIndexByName(name), stream);
}

}  // namespace qn
