// A stand-in for a disk that fails part-way through a file, for the
// end-to-end tests: preloaded into the program (LD_PRELOAD), it makes every
// read of a file whose name ends with $QN_FAIL_READS_OF fail with EIO once
// the file's offset is past its first byte (for a read at an offset: when
// the offset is), so that a text is read in part and then cannot be read on.
// With $QN_FAIL_READS_AFTER set to a number of bytes, the file fails there
// instead, as a disk does: a read that reaches past it gives the bytes
// before it, and one that starts there or later fails.
#include <dlfcn.h>
#include <errno.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <cstdio>

namespace {

bool IsFailingFile(int fd) {
  const char* suffix = getenv("QN_FAIL_READS_OF");
  if (suffix == nullptr || *suffix == '\0') return false;
  char link[64];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  char path[PATH_MAX];
  const ssize_t n = readlink(link, path, sizeof path - 1);
  if (n <= 0) return false;
  path[n] = '\0';
  const size_t length = strlen(suffix);
  return static_cast<size_t>(n) >= length && strcmp(path + n - static_cast<ssize_t>(length), suffix) == 0;
}

// The bytes that may be read at `offset` of the file: count, fewer, or -1
// for a read that fails.
ssize_t Allowed(int fd, off_t offset, size_t count) {
  if (!IsFailingFile(fd)) return static_cast<ssize_t>(count);
  const char* after = getenv("QN_FAIL_READS_AFTER");
  if (after == nullptr || *after == '\0') return offset > 0 ? -1 : static_cast<ssize_t>(count);
  const off_t at = static_cast<off_t>(strtoll(after, nullptr, 10));
  if (offset >= at) return -1;
  return static_cast<ssize_t>(static_cast<size_t>(at - offset) < count ? static_cast<size_t>(at - offset) : count);
}

}  // namespace

// (Visible: the libraries are built with hidden symbols by default.)
extern "C" __attribute__((visibility("default"))) ssize_t read(int fd, void* buffer, size_t count) {
  using TRead = ssize_t (*)(int, void*, size_t);
  static const auto real = reinterpret_cast<TRead>(dlsym(RTLD_NEXT, "read"));
  const ssize_t allowed = Allowed(fd, lseek(fd, 0, SEEK_CUR), count);
  if (allowed < 0) {
    errno = EIO;
    return -1;
  }
  return real(fd, buffer, static_cast<size_t>(allowed));
}

extern "C" __attribute__((visibility("default"))) ssize_t pread(int fd, void* buffer, size_t count, off_t offset) {
  using TPread = ssize_t (*)(int, void*, size_t, off_t);
  static const auto real = reinterpret_cast<TPread>(dlsym(RTLD_NEXT, "pread"));
  const ssize_t allowed = Allowed(fd, offset, count);
  if (allowed < 0) {
    errno = EIO;
    return -1;
  }
  return real(fd, buffer, static_cast<size_t>(allowed), offset);
}

extern "C" __attribute__((visibility("default"))) ssize_t pread64(int fd, void* buffer, size_t count, off_t offset) {
  return pread(fd, buffer, count, offset);
}
