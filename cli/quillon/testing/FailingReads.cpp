// A stand-in for a disk that fails part-way through a file, for the
// end-to-end tests: preloaded into the program (LD_PRELOAD), it makes every
// read of a file whose name ends with $QN_FAIL_READS_OF fail with EIO once
// the file's offset is past its first byte, so that a text is read in part
// and then cannot be read on.
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

}  // namespace

// (Visible: the libraries are built with hidden symbols by default.)
extern "C" __attribute__((visibility("default"))) ssize_t read(int fd, void* buffer, size_t count) {
  using TRead = ssize_t (*)(int, void*, size_t);
  static const auto real = reinterpret_cast<TRead>(dlsym(RTLD_NEXT, "read"));
  if (IsFailingFile(fd) && lseek(fd, 0, SEEK_CUR) > 0) {
    errno = EIO;
    return -1;
  }
  return real(fd, buffer, count);
}
