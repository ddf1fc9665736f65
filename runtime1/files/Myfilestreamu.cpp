#include "runtime1/files/Myfilestreamu.h"

#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/CaseMapping.h"
#include "platform/CodePages.h"
#include "platform/Exceptions.h"
#include "runtime1/files/FileOfChar.h"
#include "runtime1/files/Zip_utils.h"

namespace qn {

using platform::TStream;

int32_t temp_pointer_chars_allocated = 0;

namespace {

constexpr int32_t kShortStringMax = 255;
constexpr int32_t kAnsiPcharMax = 65535;

// A new zero-terminated buffer of count units read from the stream. The caller
// has checked count against the bytes left; a stream that still falls short
// raises EReadError and nothing is returned.
template <typename U>
U* ReadNewBuffer(TStream& stream, int32_t count) {
  std::unique_ptr<U[]> buffer(new U[static_cast<size_t>(count) + 1]);
  if (count > 0) {
    stream.ReadBuffer(buffer.get(), static_cast<int64_t>(count) * static_cast<int64_t>(sizeof(U)));
    if constexpr (sizeof(U) == 2 && std::endian::native == std::endian::big) {
      for (int32_t i = 0; i < count; ++i) buffer[i] = static_cast<U>((buffer[i] >> 8) | (buffer[i] << 8));
    }
  }
  buffer[count] = U(0);
  return buffer.release();
}

// Writes count units of text as little-endian bytes; returns the bytes the
// stream took.
int64_t WriteUnits(TStream& stream, const void* text, int64_t count, bool wide) {
  if (count <= 0) return 0;
  if (!wide || std::endian::native == std::endian::little) {
    return stream.Write(text, wide ? 2 * count : count);
  }
  const auto* units = static_cast<const char16_t*>(text);
  std::vector<uint8_t> bytes(static_cast<size_t>(2 * count));
  for (int64_t i = 0; i < count; ++i) platform::PutLE<char16_t>(bytes.data() + 2 * i, units[i]);
  return stream.Write(bytes.data(), 2 * count);
}

bool PutCount(TStream& stream, int32_t n) { return platform::TryPut<int32_t>(stream, n); }

}  // namespace

// --- Shared state -----------------------------------------------------------------------

void EnsurePrivateFolder(const std::string& folderUtf8) {
  if (::mkdir(folderUtf8.c_str(), 0700) == 0) {
    // The process's umask may have taken bits away; the folder is ours.
    if (::chmod(folderUtf8.c_str(), 0700) != 0) EOSError::RaiseLastError("Cannot set up folder " + folderUtf8);
  } else if (errno != EEXIST) {
    EOSError::RaiseLastError("Cannot create folder " + folderUtf8);
  }
  struct stat info {};
  if (::lstat(folderUtf8.c_str(), &info) != 0) EOSError::RaiseLastError("Cannot check folder " + folderUtf8);
  if (!S_ISDIR(info.st_mode) || info.st_uid != ::geteuid() || (info.st_mode & 07777) != 0700) {
    throw EOSError("Folder " + folderUtf8 + " is not private to this user: " + SystemErrorText(EACCES), EACCES);
  }
}

std::u16string my_temp_path() {
  const std::string folder = "/tmp/quillon-" + std::to_string(::geteuid());
  EnsurePrivateFolder(folder);
  return platform::DecodedUTF8(folder);
}

// --- Serialisation -------------------------------------------------------------------------

TMyFileStream::~TMyFileStream() = default;

bool WriteShortString(TStream& stream, std::string_view text) {
  const bool fits = text.size() <= static_cast<size_t>(kShortStringMax);
  const auto n = static_cast<uint8_t>(fits ? text.size() : kShortStringMax);
  if (!platform::TryPut<uint8_t>(stream, n)) return false;
  if (n > 0 && stream.Write(text.data(), n) != n) return false;
  return fits;
}

std::string ReadShortString(TStream& stream) {
  const uint8_t n = platform::Get<uint8_t>(stream);
  std::string text(n, '\0');
  stream.ReadBuffer(text.data(), n);
  return text;
}

void WriteWidePchar(TStream& stream, const char16_t* text) {
  const size_t length = text == nullptr ? 0 : std::char_traits<char16_t>::length(text);
  if (length > static_cast<size_t>(INT32_MAX)) throw EWriteError("Stream write error");
  platform::Put<int32_t>(stream, static_cast<int32_t>(length));
  const auto bytes = static_cast<int64_t>(2 * length);
  if (WriteUnits(stream, text, static_cast<int64_t>(length), true) != bytes) throw EWriteError("Stream write error");
}

char16_t* ReadWidePchar(TStream& stream) {
  const int32_t count = platform::Get<int32_t>(stream);
  if (count < 0 || 2 * static_cast<int64_t>(count) > stream.Remaining()) RaiseFileReadError("ReadWidePchar");
  return ReadNewBuffer<char16_t>(stream, count);
}

int32_t WriteAnsiPchar(TStream& stream, const char* text) {
  const size_t length = text == nullptr ? 0 : std::strlen(text);
  const auto n = static_cast<uint16_t>(length < static_cast<size_t>(kAnsiPcharMax) ? length : kAnsiPcharMax);
  uint8_t count[2];
  platform::PutLE<uint16_t>(count, n);
  int64_t written = stream.Write(count, 2);
  if (written == 2) written += WriteUnits(stream, text, n, false);
  return static_cast<int32_t>(written);
}

char* ReadAnsiPchar(TStream& stream) {
  const uint16_t count = platform::Get<uint16_t>(stream);
  if (count > stream.Remaining()) RaiseFileReadError("ReadAnsiPchar");
  return ReadNewBuffer<char>(stream, count);
}

bool WriteKnownLengthPointer(TStream& stream, const void* buffer, bool wide, int32_t n) {
  if (n < 0 || (n > 0 && buffer == nullptr)) {
    PutCount(stream, 0);
    return false;
  }
  if (!PutCount(stream, n)) return false;
  const int64_t bytes = wide ? 2 * static_cast<int64_t>(n) : n;
  return WriteUnits(stream, buffer, n, wide) == bytes;
}

bool WriteUnknownLengthPointer(TStream& stream, const void* buffer, bool wide) {
  size_t length = 0;
  if (buffer != nullptr) {
    length = wide ? std::char_traits<char16_t>::length(static_cast<const char16_t*>(buffer))
                  : std::strlen(static_cast<const char*>(buffer));
  }
  if (length > static_cast<size_t>(INT32_MAX)) {
    PutCount(stream, 0);
    return false;
  }
  return WriteKnownLengthPointer(stream, buffer, wide, static_cast<int32_t>(length));
}

void* ReadUnknownLengthPointerMaxSize(TStream& stream, bool wide, int32_t maximum) {
  temp_pointer_chars_allocated = 0;
  const int32_t count = platform::Get<int32_t>(stream);
  const int64_t bytes = wide ? 2 * static_cast<int64_t>(count) : count;
  if (count < 0 || count > maximum || bytes > stream.Remaining()) RaiseFileReadError("ReadUnknownLengthPointer");
  void* buffer = wide ? static_cast<void*>(ReadNewBuffer<char16_t>(stream, count))
                      : static_cast<void*>(ReadNewBuffer<char>(stream, count));
  temp_pointer_chars_allocated = count;
  return buffer;
}

void* ReadUnknownLengthPointer(TStream& stream, bool wide) {
  return ReadUnknownLengthPointerMaxSize(stream, wide, kUnknownLengthPointerMax);
}

// --- Zip paths ---------------------------------------------------------------------------------

namespace {

constexpr std::u16string_view kZipExtension = u".zip";

bool IsSeparator(char16_t c) noexcept { return c == u'/' || c == u'\\'; }

bool PathExists(std::u16string_view name, bool regularFileOnly) {
  if (name.empty()) return false;
  struct stat info {};
  if (::stat(platform::FileNameToUtf8(name).c_str(), &info) != 0) return false;
  return !regularFileOnly || S_ISREG(info.st_mode);
}

// The length of the archive part of name (through ".zip"), 0 when none: the
// first ".zip" + separator whose prefix is an existing regular file, else the
// first ".zip" + separator.
size_t ArchivePartLength(std::u16string_view name) {
  const std::u16string lower = platform::LowerCased(name);
  size_t first = 0;
  for (size_t at = lower.find(kZipExtension); at != std::u16string::npos;
       at = lower.find(kZipExtension, at + 1)) {
    const size_t end = at + kZipExtension.size();
    if (end >= lower.size() || !IsSeparator(lower[end])) continue;
    if (first == 0) first = end;
    if (PathExists(name.substr(0, end), true)) return end;
  }
  return first;
}

std::u16string SwappedSeparators(std::u16string_view name) {
  std::u16string swapped(name);
  for (char16_t& c : swapped) {
    if (c == u'/') {
      c = u'\\';
    } else if (c == u'\\') {
      c = u'/';
    }
  }
  return swapped;
}

std::u16string EntryText(const std::string& bytes) {
  return TextOfFileBytes({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
}

}  // namespace

bool IsZipExtension(std::u16string_view ext) { return platform::LowerCased(ext) == kZipExtension; }

bool IsAZipFile(std::u16string_view name) {
  const size_t dot = name.find_last_of(u".\\/");
  if (dot == std::u16string_view::npos || name[dot] != u'.') return false;
  return IsZipExtension(name.substr(dot));
}

bool IsWithinAZipFile(std::u16string_view name) {
  if (PathExists(name, false)) return false;
  const std::u16string lower = platform::LowerCased(name);
  return lower.find(u".zip/") != std::u16string::npos || lower.find(u".zip\\") != std::u16string::npos;
}

std::u16string ZipFileFullFileName(std::u16string_view name) {
  return std::u16string(name.substr(0, ArchivePartLength(name)));
}

std::u16string ZipFileWantedFileNameWithin(std::u16string_view name) {
  const size_t length = ArchivePartLength(name);
  if (length == 0) return {};
  return std::u16string(name.substr(length + 1));
}

std::u16string ContentsOfFileWithinZipFile(std::u16string_view name) {
  const size_t length = ArchivePartLength(name);
  const std::u16string_view inner = length == 0 ? std::u16string_view() : name.substr(length + 1);
  TZipForge zip;
  zip.SetFileName(name.substr(0, length));
  zip.OpenArchive();
  int32_t index = zip.FindEntry(inner);
  if (index < 0) index = zip.FindEntry(SwappedSeparators(inner));
  if (index < 0) {
    std::string unused;
    zip.ExtractToString(inner, unused);  // raises the component's missing-entry error
  }
  return EntryText(zip.ExtractEntryToString(index));
}

std::u16string ContentsOfFileWithinZipFile(std::u16string_view archiveName, int32_t n) {
  TZipForge zip;
  zip.SetFileName(archiveName);
  zip.OpenArchive();
  return EntryText(zip.ExtractEntryToString(n - 1));
}

std::u16string OpenedAZipFileToTempDir(std::u16string_view archiveName, int32_t n) {
  const std::u16string path = my_temp_path() + u"/tempzip.txt";
  const std::string pathUtf8 = platform::FileNameToUtf8(path);
  // Whatever an earlier call left is gone before anything else can fail, so
  // the path never hands out another entry's text.
  if (::unlink(pathUtf8.c_str()) != 0 && errno != ENOENT) EOSError::RaiseLastError("Cannot remove " + pathUtf8);
  TZipForge zip;
  zip.SetFileName(archiveName);
  zip.OpenArchive();
  if (n >= 1 && n <= zip.GetEntryCount()) {
    const std::u16string text = EntryText(zip.ExtractEntryToString(n - 1));
    platform::TByteWriter bytes;
    bytes.Put<uint8_t>(0xFF).Put<uint8_t>(0xFE).PutUnits(text);
    platform::WriteFileSafely(std::string_view(pathUtf8), bytes.Bytes());
  }
  return path;
}

}  // namespace qn
