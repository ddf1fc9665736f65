#include "platform/Streams.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <memory>

#include "platform/CodePages.h"

namespace qn::platform {

namespace {

constexpr const char* kReadErrorText = "Stream read error";
constexpr const char* kWriteErrorText = "Stream write error";

// "Stream read error" alone, or followed by what the stream knows of why.
std::string WithDetail(const char* text, const std::string& detail) {
  return detail.empty() ? std::string(text) : std::string(text) + ": " + detail;
}

// Largest single read or write handed to the system at once.
constexpr int64_t kMaxIoChunk = int64_t(1) << 30;

[[noreturn]] void RaiseSeekError() { throw EStreamError("Invalid stream position"); }

int64_t ClampedPosition(int64_t base, int64_t offset) {
  if (offset > 0 && base > INT64_MAX - offset) RaiseSeekError();
  if (offset < 0 && base < INT64_MIN - offset) RaiseSeekError();
  const int64_t position = base + offset;
  if (position < 0) RaiseSeekError();
  return position;
}

int WhenceOf(TSeekOrigin origin) {
  switch (origin) {
    case TSeekOrigin::soBeginning: return SEEK_SET;
    case TSeekOrigin::soCurrent: return SEEK_CUR;
    case TSeekOrigin::soEnd: return SEEK_END;
  }
  return SEEK_SET;
}

}  // namespace

// ---------------------------------------------------------------------------
// TStream
// ---------------------------------------------------------------------------

TStream::~TStream() = default;

int64_t TStream::Size() {
  const int64_t position = Seek(0, TSeekOrigin::soCurrent);
  const int64_t size = Seek(0, TSeekOrigin::soEnd);
  Seek(position, TSeekOrigin::soBeginning);
  return size;
}

void TStream::SetSize(int64_t) { throw EStreamError("Stream size cannot be changed"); }

int64_t TStream::Remaining() {
  const int64_t left = Size() - Position();
  return left > 0 ? left : 0;
}

std::string TStream::FailureDetail(bool) const { return {}; }

void TStream::ReadBuffer(void* buffer, int64_t count) {
  if (count <= 0) return;
  auto* out = static_cast<uint8_t*>(buffer);
  int64_t done = 0;
  // A stream may deliver less than asked before its end (a pipe, a large file
  // read in pieces): keep reading until nothing more comes.
  while (done < count) {
    const int64_t got = Read(out + done, count - done);
    if (got <= 0) throw EReadError(WithDetail(kReadErrorText, FailureDetail(false)));
    done += got;
  }
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count <= 0) return;
  const auto* in = static_cast<const uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count) {
    const int64_t put = Write(in + done, count - done);
    if (put <= 0) throw EWriteError(WithDetail(kWriteErrorText, FailureDetail(true)));
    done += put;
  }
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count <= 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  constexpr int64_t kChunk = 64 * 1024;
  std::vector<uint8_t> buffer(static_cast<size_t>(std::min(count, kChunk)));
  int64_t left = count;
  while (left > 0) {
    const int64_t n = std::min(left, kChunk);
    source.ReadBuffer(buffer.data(), n);
    WriteBuffer(buffer.data(), n);
    left -= n;
  }
  return count;
}

// ---------------------------------------------------------------------------
// TMemoryStream
// ---------------------------------------------------------------------------

TMemoryStream::TMemoryStream() = default;
TMemoryStream::~TMemoryStream() = default;

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  if (count <= 0 || fPosition >= fSize) return 0;
  const int64_t n = std::min(count, fSize - fPosition);
  std::memcpy(buffer, fData.data() + fPosition, static_cast<size_t>(n));
  fPosition += n;
  return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  if (fPosition > INT64_MAX - count) return 0;
  const int64_t end = fPosition + count;
  if (end > static_cast<int64_t>(fData.size())) Reserve(end);
  if (fPosition > fSize) {
    // Writing after a seek beyond the end: the gap reads as zeros.
    std::fill(fData.begin() + fSize, fData.begin() + fPosition, uint8_t{0});
  }
  std::memcpy(fData.data() + fPosition, buffer, static_cast<size_t>(count));
  fPosition = end;
  if (end > fSize) fSize = end;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  switch (origin) {
    case TSeekOrigin::soBeginning: fPosition = ClampedPosition(0, offset); break;
    case TSeekOrigin::soCurrent: fPosition = ClampedPosition(fPosition, offset); break;
    case TSeekOrigin::soEnd: fPosition = ClampedPosition(fSize, offset); break;
  }
  return fPosition;
}

void TMemoryStream::SetSize(int64_t newSize) {
  if (newSize < 0) throw EStreamError("Invalid stream size");
  if (newSize > static_cast<int64_t>(fData.size())) Reserve(newSize);
  if (newSize > fSize) {
    std::fill(fData.begin() + fSize, fData.begin() + newSize, uint8_t{0});
  }
  fSize = newSize;
  if (fPosition > fSize) fPosition = fSize;
}

void TMemoryStream::Reserve(int64_t capacity) {
  if (capacity > static_cast<int64_t>(fData.max_size())) throw std::bad_alloc();
  // Grow by half again at least, so that many small writes cost amortised
  // constant time.
  int64_t grown = static_cast<int64_t>(fData.size());
  grown += grown / 2;
  if (grown < capacity) grown = capacity;
  if (grown < 256) grown = 256;
  fData.resize(static_cast<size_t>(grown));
}

void TMemoryStream::Clear() {
  std::vector<uint8_t>().swap(fData);
  fSize = 0;
  fPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream& stream) {
  stream.SetPosition(0);
  const int64_t size = stream.Size();
  Clear();
  SetSize(size);
  stream.ReadBuffer(fData.data(), size);
  fPosition = 0;
}

void TMemoryStream::LoadFromFile(std::u16string_view fileName) {
  LoadFromFile(std::string_view(FileNameToUtf8(fileName)));
}

void TMemoryStream::LoadFromFile(std::string_view fileNameUtf8) {
  TFileStream file(fileNameUtf8, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(file);
}

void TMemoryStream::SaveToStream(TStream& stream) const { stream.WriteBuffer(fData.data(), fSize); }

void TMemoryStream::SaveToFile(std::u16string_view fileName) const {
  WriteFileSafely(fileName, Bytes());
}

void TMemoryStream::SaveToFile(std::string_view fileNameUtf8) const {
  WriteFileSafely(fileNameUtf8, Bytes());
}

// ---------------------------------------------------------------------------
// TMemoryViewStream
// ---------------------------------------------------------------------------

TMemoryViewStream::TMemoryViewStream(const void* data, int64_t size) noexcept
    : fData(static_cast<const uint8_t*>(data)), fSize(data != nullptr && size > 0 ? size : 0) {}

TMemoryViewStream::~TMemoryViewStream() = default;

int64_t TMemoryViewStream::Read(void* buffer, int64_t count) {
  if (count <= 0 || fPosition >= fSize) return 0;
  const int64_t n = std::min(count, fSize - fPosition);
  std::memcpy(buffer, fData + fPosition, static_cast<size_t>(n));
  fPosition += n;
  return n;
}

int64_t TMemoryViewStream::Write(const void*, int64_t) { return 0; }

int64_t TMemoryViewStream::Seek(int64_t offset, TSeekOrigin origin) {
  switch (origin) {
    case TSeekOrigin::soBeginning: fPosition = ClampedPosition(0, offset); break;
    case TSeekOrigin::soCurrent: fPosition = ClampedPosition(fPosition, offset); break;
    case TSeekOrigin::soEnd: fPosition = ClampedPosition(fSize, offset); break;
  }
  return fPosition;
}

void TMemoryViewStream::SetSize(int64_t) { throw EStreamError("A read-only stream cannot change size"); }

// ---------------------------------------------------------------------------
// THandleStream and TFileStream
// ---------------------------------------------------------------------------

THandleStream::~THandleStream() = default;

int64_t THandleStream::Read(void* buffer, int64_t count) {
  if (count <= 0 || fHandle < 0) return 0;
  const size_t n = static_cast<size_t>(std::min(count, kMaxIoChunk));
  for (;;) {
    const ssize_t got = ::read(fHandle, buffer, n);
    if (got >= 0) {
      fLastErrno = 0;
      return got;
    }
    if (errno != EINTR) {
      fLastErrno = errno;
      return 0;
    }
  }
}

int64_t THandleStream::Write(const void* buffer, int64_t count) {
  if (count <= 0 || fHandle < 0) return 0;
  const size_t n = static_cast<size_t>(std::min(count, kMaxIoChunk));
  for (;;) {
    const ssize_t put = ::write(fHandle, buffer, n);
    if (put >= 0) {
      fLastErrno = 0;
      return put;
    }
    if (errno != EINTR) {
      fLastErrno = errno;
      return 0;
    }
  }
}

std::string THandleStream::FailureDetail(bool) const {
  return fLastErrno != 0 ? SystemErrorText(fLastErrno) : std::string();
}

int64_t THandleStream::Seek(int64_t offset, TSeekOrigin origin) {
  const off_t position = ::lseek(fHandle, static_cast<off_t>(offset), WhenceOf(origin));
  if (position < 0) RaiseSeekError();
  return position;
}

int64_t THandleStream::Size() {
  struct stat info;
  if (::fstat(fHandle, &info) == 0 && S_ISREG(info.st_mode)) return info.st_size;
  return TStream::Size();
}

void THandleStream::SetSize(int64_t newSize) {
  if (newSize < 0 || ::ftruncate(fHandle, static_cast<off_t>(newSize)) != 0) {
    throw EStreamError("Stream size cannot be changed: " + SystemErrorText(errno));
  }
  if (Position() > newSize) SetPosition(newSize);
}

TFileStream::TFileStream(std::u16string_view fileName, uint16_t mode)
    : THandleStream(-1), fFileName(FileNameToUtf8(fileName)) {
  Open(mode);
}

TFileStream::TFileStream(std::string_view fileNameUtf8, uint16_t mode)
    : THandleStream(-1), fFileName(fileNameUtf8) {
  Open(mode);
}

TFileStream::~TFileStream() {
  if (fHandle >= 0) ::close(fHandle);  // also releases any share lock
}

void TFileStream::Open(uint16_t mode) {
  const bool create = (mode & fmCreate) == fmCreate;
  int flags = O_CLOEXEC;
  if (create) {
    flags |= O_RDWR | O_CREAT | O_TRUNC;
  } else {
    switch (mode & 0x3) {
      case fmOpenWrite: flags |= O_WRONLY; break;
      case fmOpenReadWrite: flags |= O_RDWR; break;
      default: flags |= O_RDONLY; break;
    }
  }
  uint16_t share = mode & 0xF0;
  if (share == fmShareCompat) share = create ? fmShareExclusive : fmShareDenyNone;

  auto failWith = [&](int code, const std::string& reason) -> void {
    std::string message = create ? "Cannot create file \"" : "Cannot open file \"";
    message += fFileName;
    message += "\". ";
    message += reason;
    if (create) throw EFCreateError(message, code);
    throw EFOpenError(message, code);
  };
  auto fail = [&](int code) -> void {
    failWith(code, code != 0 ? SystemErrorText(code) : "The file is in use by another process");
  };

  if (fFileName.empty() || fFileName.find('\0') != std::string::npos) fail(ENOENT);
  // Truncation waits until the share lock is granted, so that a refused
  // create does not destroy a file another stream holds. Opened without
  // blocking: a named pipe would otherwise hold the caller (the host's
  // interface thread) until a writer appears; it is refused below anyway.
  const int handle = ::open(fFileName.c_str(), (flags & ~O_TRUNC) | O_NONBLOCK, 0666);
  if (handle < 0) fail(errno);
  struct stat info;
  if (::fstat(handle, &info) != 0) {
    const int code = errno;
    ::close(handle);
    fail(code);
  }
  if (S_ISDIR(info.st_mode)) {
    ::close(handle);
    fail(EISDIR);
  }
  // Pipes, sockets and devices have no size to read to and may never end
  // (/dev/zero) or never answer (a named pipe): only regular files are files.
  if (!S_ISREG(info.st_mode)) {
    ::close(handle);
    failWith(EINVAL, "It is not a regular file, so it cannot be read");
  }
  // Regular files ignore the flag, but reads and writes are to block as usual.
  const int status = ::fcntl(handle, F_GETFL);
  if (status == -1 || ::fcntl(handle, F_SETFL, status & ~O_NONBLOCK) == -1) {
    const int code = errno;
    ::close(handle);
    fail(code);
  }
  int lock = 0;
  if (share == fmShareExclusive || share == fmShareDenyRead) lock = LOCK_EX;
  if (share == fmShareDenyWrite) lock = LOCK_SH;
  if (lock != 0 && ::flock(handle, lock | LOCK_NB) != 0) {
    const int code = errno;
    ::close(handle);
    fail(code == EWOULDBLOCK ? 0 : code);
  }
  if ((flags & O_TRUNC) != 0 && ::ftruncate(handle, 0) != 0) {
    const int code = errno;
    ::close(handle);
    fail(code);
  }
  fHandle = handle;
}

std::string TFileStream::FailureDetail(bool writing) const {
  std::string reason = THandleStream::FailureDetail(writing);
  if (reason.empty()) reason = writing ? "nothing more could be written" : "the file ended first";
  return fFileName + ": " + reason;
}

void TFileStream::Flush() {
  if (::fsync(fHandle) != 0) EOSError::RaiseLastError("Cannot flush file \"" + fFileName + "\"");
}

// ---------------------------------------------------------------------------
// Whole files
// ---------------------------------------------------------------------------

std::string FileNameToUtf8(std::u16string_view fileName) { return EncodedUTF8(fileName); }

namespace {

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// The file-name part of a path, cut short enough that a temporary name built
// from it stays within the file system's limit.
std::string TemporaryBaseOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  return base.substr(0, 200);
}

std::string FolderPrefixOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Fresh randomness for every name: a generator seeded once would hand the
// same sequence to every process forked after the seeding.
uint64_t RandomNameBits() {
  uint64_t bits = 0;
  if (::getrandom(&bits, sizeof bits, GRND_NONBLOCK) == static_cast<ssize_t>(sizeof bits)) return bits;
  // No kernel randomness: the process id in the name already keeps processes
  // apart, so within one process a counter mixed with the clock will do.
  static std::atomic<uint64_t> counter{0};
  struct timespec now {};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  bits = (static_cast<uint64_t>(now.tv_sec) * 1000000007u) ^ static_cast<uint64_t>(now.tv_nsec);
  return bits ^ (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull);
}

// ".<name>.<process id>.<16 hex digits>.tmp" beside the path.
std::string TemporaryNameBeside(const std::string& path) {
  char suffix[64];
  std::snprintf(suffix, sizeof suffix, ".%ld.%016llx.tmp", static_cast<long>(::getpid()),
                static_cast<unsigned long long>(RandomNameBits()));
  return FolderPrefixOf(path) + "." + TemporaryBaseOf(path) + suffix;
}

// The process id carried by a temporary name made by TemporaryNameBeside for
// a file whose (shortened) name is base; 0 when the entry is not such a name.
pid_t WriterOfTemporaryName(std::string_view entry, std::string_view base) {
  constexpr std::string_view kTail = ".tmp";
  if (entry.size() < base.size() + 2 + kTail.size() || entry[0] != '.' ||
      entry.substr(1, base.size()) != base || entry[1 + base.size()] != '.' ||
      entry.substr(entry.size() - kTail.size()) != kTail) {
    return 0;
  }
  // What is left must be "<decimal pid>.<16 hex digits>".
  const std::string_view middle =
      entry.substr(base.size() + 2, entry.size() - base.size() - 2 - kTail.size());
  const size_t dot = middle.find('.');
  if (dot == std::string_view::npos || dot == 0 || dot > 9 || middle.size() - dot - 1 != 16) return 0;
  long pid = 0;
  for (size_t i = 0; i < dot; ++i) {
    if (middle[i] < '0' || middle[i] > '9') return 0;
    pid = pid * 10 + (middle[i] - '0');
  }
  for (const char c : middle.substr(dot + 1)) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return 0;
  }
  return pid > 0 ? static_cast<pid_t>(pid) : 0;
}

mode_t CurrentUmask() {
  // Read once: umask can only be read by setting it, which is not safe once
  // other threads create files.
  static const mode_t mask = [] {
    const mode_t m = ::umask(022);
    ::umask(m);
    return m;
  }();
  return mask;
}

void FlushFolder(const std::string& path) {
  const int folder = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    ::fsync(folder);  // best effort: some file systems refuse it
    ::close(folder);
  }
}

// The file a save of path must replace: a symbolic link is followed to the
// file it names (which may not exist yet), so that the save reaches the
// link's target instead of turning the link into a plain file. False, with
// errno set, for a loop of links.
bool FollowLinksToSave(std::string& path) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return true;
    std::string link(static_cast<size_t>(std::max<off_t>(info.st_size, 0)) + 256, '\0');
    const ssize_t length = ::readlink(path.c_str(), link.data(), link.size());
    if (length < 0) return true;  // not readable as a link after all: save under the name itself
    if (static_cast<size_t>(length) == link.size()) {
      errno = ENAMETOOLONG;
      return false;
    }
    link.resize(static_cast<size_t>(length));
    if (link.empty()) return true;
    path = link[0] == '/' ? link : FolderPrefixOf(path) + link;
  }
  errno = ELOOP;
  return false;
}

}  // namespace

int CreateSaveTemporary(const std::string& path, std::string& temporary) {
  for (int attempt = 0; attempt < 16; ++attempt) {
    temporary = TemporaryNameBeside(path);
    const int handle = ::open(temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (handle >= 0) {
      // Held until the handle closes, and so until the writer ends, however it
      // ends: the mark by which leftovers of dead writers are told apart.
      (void)::flock(handle, LOCK_EX | LOCK_NB);
      return handle;
    }
    if (errno != EEXIST) return -1;
  }
  errno = EEXIST;
  return -1;
}

namespace {

void RemoveAbandonedTemporaries(const std::string& path) {
  const std::string folder = FolderOf(path);
  const std::string base = TemporaryBaseOf(path);
  const std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir(folder.c_str()), ::closedir);
  if (listing == nullptr) return;
  const std::string prefix = FolderPrefixOf(path);
  while (const dirent* entry = ::readdir(listing.get())) {
    const pid_t writer = WriterOfTemporaryName(entry->d_name, base);
    if (writer == 0) continue;
    // A writer that still runs (or runs under another user) is left alone.
    if (::kill(writer, 0) == 0 || errno != ESRCH) continue;
    const std::string name = prefix + entry->d_name;
    const int handle = ::open(name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (handle < 0) continue;
    struct stat opened, named;
    // The lock fails while any process still holds the file open with its
    // lock: a writer whose id means nothing here (another machine sharing
    // the folder, another process namespace) keeps its file.
    if (::fstat(handle, &opened) == 0 && S_ISREG(opened.st_mode) &&
        ::flock(handle, LOCK_EX | LOCK_NB) == 0 && ::lstat(name.c_str(), &named) == 0 &&
        named.st_dev == opened.st_dev && named.st_ino == opened.st_ino) {
      ::unlink(name.c_str());
    }
    ::close(handle);
  }
}

}  // namespace

void RemoveAbandonedSaveTemporaries(const std::string& path) noexcept {
  try {
    RemoveAbandonedTemporaries(path);
  } catch (...) {
    // Clearing leftovers is a courtesy: a save never fails because of it.
  }
}

TSafeFileWriter::TSafeFileWriter(std::string_view fileNameUtf8) : fGiven(fileNameUtf8) {
  if (fGiven.empty() || fGiven.find('\0') != std::string::npos) CreateError(ENOENT);
  fTarget = fGiven;
  if (!FollowLinksToSave(fTarget)) CreateError(errno);

  // Keep the owner, group and permissions of the file being replaced.
  struct stat old;
  fExists = ::stat(fTarget.c_str(), &old) == 0;
  if (fExists && S_ISDIR(old.st_mode)) CreateError(EISDIR);
  if (fExists) {
    fOldMode = old.st_mode;
    fOldOwner = old.st_uid;
    fOldGroup = old.st_gid;
  }

  RemoveAbandonedSaveTemporaries(fTarget);
  std::string temporary;
  fHandle = CreateSaveTemporary(fTarget, temporary);
  if (fHandle < 0) CreateError(errno);
  fTemporary = std::move(temporary);
}

TSafeFileWriter::TSafeFileWriter(std::u16string_view fileName)
    : TSafeFileWriter(std::string_view(FileNameToUtf8(fileName))) {}

TSafeFileWriter::~TSafeFileWriter() { Abandon(); }

void TSafeFileWriter::CreateError(int code) const {
  throw EFCreateError("Cannot create file \"" + fGiven + "\". " + SystemErrorText(code), code);
}

void TSafeFileWriter::Fail(int code, bool writing) {
  Abandon();
  if (writing) throw EWriteError("Cannot write file \"" + fGiven + "\". " + SystemErrorText(code));
  CreateError(code);
}

void TSafeFileWriter::Abandon() noexcept {
  if (fHandle >= 0) {
    ::close(fHandle);
    fHandle = -1;
  }
  if (!fTemporary.empty()) {
    ::unlink(fTemporary.c_str());
    fTemporary.clear();
  }
}

void TSafeFileWriter::Write(const void* data, size_t count) {
  if (fHandle < 0) throw EWriteError("Cannot write file \"" + fGiven + "\". " + SystemErrorText(EBADF));
  const auto* bytes = static_cast<const uint8_t*>(data);
  size_t done = 0;
  while (done < count) {
    const size_t n = std::min(count - done, static_cast<size_t>(kMaxIoChunk));
    const ssize_t put = ::write(fHandle, bytes + done, n);
    if (put < 0) {
      if (errno == EINTR) continue;
      Fail(errno, true);
    }
    if (put == 0) Fail(ENOSPC, true);
    done += static_cast<size_t>(put);
  }
}

void TSafeFileWriter::Commit() {
  if (fHandle < 0) throw EWriteError("Cannot write file \"" + fGiven + "\". " + SystemErrorText(EBADF));
  // A new file gets the ordinary permissions (0666 less the umask, which the
  // system applies to the mode given to open); a replaced file keeps its own,
  // and its owner and group where this process may give them (the owner
  // first: changing it clears the set-user and set-group bits).
  if (fExists) {
    struct stat made;
    if (::fstat(fHandle, &made) == 0 && (made.st_uid != fOldOwner || made.st_gid != fOldGroup) &&
        ::fchown(fHandle, fOldOwner, fOldGroup) != 0) {
      (void)::fchown(fHandle, static_cast<uid_t>(-1), fOldGroup);
    }
    ::fchmod(fHandle, fOldMode & 07777);
  } else {
    ::fchmod(fHandle, 0666 & ~CurrentUmask());
  }
  if (::fsync(fHandle) != 0) Fail(errno, true);
  // Closed before the rename: the lock that marks a live writer must not
  // reach the saved file, where it would refuse readers that ask for a share
  // mode.
  const int handle = fHandle;
  fHandle = -1;
  if (::close(handle) != 0) Fail(errno, true);
  if (::rename(fTemporary.c_str(), fTarget.c_str()) != 0) Fail(errno, false);
  fTemporary.clear();
  FlushFolder(fTarget);
}

void WriteFileSafely(std::string_view fileNameUtf8, std::span<const uint8_t> bytes) {
  TSafeFileWriter file(fileNameUtf8);
  file.Write(bytes);
  file.Commit();
}

void WriteFileSafely(std::u16string_view fileName, std::span<const uint8_t> bytes) {
  WriteFileSafely(std::string_view(FileNameToUtf8(fileName)), bytes);
}

std::vector<uint8_t> ReadWholeFile(std::string_view fileNameUtf8) {
  // A regular file (the stream refuses anything else), read up to the size it
  // had when opened: bytes appended meanwhile are not read.
  TFileStream file(fileNameUtf8, fmOpenRead | fmShareDenyNone);
  std::vector<uint8_t> bytes;
  const int64_t size = file.Size();
  if (size > 0) {
    if (static_cast<uint64_t>(size) > bytes.max_size()) throw std::bad_alloc();
    bytes.resize(static_cast<size_t>(size));
    // The file may shrink while it is read (other writers are allowed): keep
    // what could be read. A read that fails is not the file's end: the bytes
    // before it are not the file.
    int64_t done = 0;
    while (done < size) {
      const int64_t got = file.Read(bytes.data() + done, size - done);
      if (got <= 0) {
        if (file.LastErrno() != 0) throw EReadError(WithDetail(kReadErrorText, SystemErrorText(file.LastErrno())));
        break;
      }
      done += got;
    }
    bytes.resize(static_cast<size_t>(done));
  }
  return bytes;
}

std::vector<uint8_t> ReadWholeFile(std::u16string_view fileName) {
  return ReadWholeFile(std::string_view(FileNameToUtf8(fileName)));
}

// ---------------------------------------------------------------------------
// Byte buffers
// ---------------------------------------------------------------------------

TByteWriter& TByteWriter::PutBytes(const void* data, size_t count) {
  const auto* p = static_cast<const uint8_t*>(data);
  fBytes.insert(fBytes.end(), p, p + count);
  return *this;
}

TByteWriter& TByteWriter::PutZeros(size_t count) {
  fBytes.insert(fBytes.end(), count, uint8_t{0});
  return *this;
}

TByteWriter& TByteWriter::PutUnits(std::u16string_view text) {
  for (char16_t unit : text) Put<uint16_t>(unit);
  return *this;
}

void TByteReader::Need(size_t count) const {
  if (count > fSize - fPosition) throw EReadError(kReadErrorText);
}

void TByteReader::GetBytes(void* buffer, size_t count) {
  Need(count);
  if (count > 0) std::memcpy(buffer, fData + fPosition, count);
  fPosition += count;
}

void TByteReader::Skip(size_t count) {
  Need(count);
  fPosition += count;
}

std::u16string TByteReader::GetUnits(size_t count) {
  if (count > (fSize - fPosition) / 2) throw EReadError(kReadErrorText);
  std::u16string text(count, u'\0');
  UnitsFromBytes(text.data(), fData + fPosition, count, false);
  fPosition += 2 * count;
  return text;
}

// ---------------------------------------------------------------------------
// Stream helpers
// ---------------------------------------------------------------------------

namespace {

// Raises unless count bytes can still come from the stream: a stored length is
// checked before anything is allocated for it.
void CheckAvailable(TStream& stream, int64_t count) {
  if (count < 0 || count > stream.Remaining()) throw EReadError(kReadErrorText);
}

}  // namespace

void PutUnits(TStream& stream, std::u16string_view text) {
  constexpr size_t kChunk = 4096;
  uint8_t buffer[2 * kChunk];
  for (size_t start = 0; start < text.size(); start += kChunk) {
    const size_t n = std::min(kChunk, text.size() - start);
    UnitsToBytes(buffer, text.data() + start, n, false);
    stream.WriteBuffer(buffer, static_cast<int64_t>(2 * n));
  }
}

std::u16string GetUnits(TStream& stream, int64_t count) {
  if (count <= 0) {
    if (count < 0) throw EReadError(kReadErrorText);
    return {};
  }
  if (count > INT64_MAX / 2) throw EReadError(kReadErrorText);
  CheckAvailable(stream, 2 * count);
  std::u16string text(static_cast<size_t>(count), u'\0');
  stream.ReadBuffer(text.data(), 2 * count);
  if constexpr (std::endian::native == std::endian::big) {
    // The units arrived little-endian: swap them in place.
    UnitsFromBytes(text.data(), reinterpret_cast<const uint8_t*>(text.data()), text.size(), false);
  }
  return text;
}

std::string GetBytes(TStream& stream, int64_t count) {
  if (count <= 0) {
    if (count < 0) throw EReadError(kReadErrorText);
    return {};
  }
  CheckAvailable(stream, count);
  std::string bytes(static_cast<size_t>(count), '\0');
  stream.ReadBuffer(bytes.data(), count);
  return bytes;
}

void PutString32(TStream& stream, std::u16string_view text) {
  if (text.size() > static_cast<size_t>(INT32_MAX)) throw EWriteError(kWriteErrorText);
  Put<int32_t>(stream, static_cast<int32_t>(text.size()));
  PutUnits(stream, text);
}

std::u16string GetString32(TStream& stream, int32_t maxUnits, std::string_view where) {
  const int32_t length = Get<int32_t>(stream);
  if (length < 0 || length > maxUnits) RaiseFileReadError(where);
  return GetUnits(stream, length);
}

void PutShortString(TStream& stream, std::string_view text) {
  const uint8_t length = static_cast<uint8_t>(text.size() & 0xFF);
  Put<uint8_t>(stream, length);
  stream.WriteBuffer(text.data(), length);
}

std::string GetShortString(TStream& stream) {
  const uint8_t length = Get<uint8_t>(stream);
  std::string text(length, '\0');
  stream.ReadBuffer(text.data(), length);
  return text;
}

}  // namespace qn::platform
