// Helpers shared by the tests that work on real files: byte-exact reading and
// writing, a fresh folder per test, and a file-size limit that makes writes
// fail part way for every user (root included), so the tests can check that a
// failed write leaves a file as it was.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/CodePages.h"

namespace qn::test_support {

namespace fs = std::filesystem;

inline std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// A path as the UTF-16 file name the libraries take.
inline std::u16string Wide(const fs::path& path) { return platform::DecodedUTF8(path.string()); }

// Makes a chain of `levels` folders named `name` below the existing folder,
// each made relative to the one before (a path that deep is too long to
// name), with a file `fileName` holding "x" in each new folder when one is
// named. False on the first failure.
inline bool MakeDeepChain(const fs::path& folder, int levels, const std::string& name = "d",
                          const std::string& fileName = "") {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  for (int i = 0; i < levels && fd >= 0; ++i) {
    if (::mkdirat(fd, name.c_str(), 0700) != 0) break;
    const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ::close(fd);
    fd = next;
    if (fd >= 0 && !fileName.empty()) {
      const int file = ::openat(fd, fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
      if (file < 0 || ::write(file, "x", 1) != 1) {
        if (file >= 0) ::close(file);
        ::close(fd);
        return false;
      }
      ::close(file);
    }
    if (i == levels - 1) {
      ::close(fd);
      return true;
    }
  }
  if (fd >= 0) ::close(fd);
  return levels <= 0;
}

// Removes a tree of any depth (links are removed, never followed); walks
// with one descriptor, going back up through "..".
inline void RemoveTree(const fs::path& root) {
  int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    ::unlink(root.c_str());
    return;
  }
  std::vector<std::string> names;
  for (;;) {
    std::string sub;
    const int copy = ::openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (DIR* dir = copy >= 0 ? ::fdopendir(copy) : nullptr) {
      while (const dirent* entry = ::readdir(dir)) {
        const std::string name(entry->d_name);
        if (name == "." || name == "..") continue;
        struct stat info {};
        if (::fstatat(fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(info.st_mode)) {
          if (sub.empty()) sub = name;
        } else {
          ::unlinkat(fd, name.c_str(), 0);
        }
      }
      ::closedir(dir);
    }
    if (!sub.empty()) {
      ::fchmodat(fd, sub.c_str(), 0700, 0);
      const int next = ::openat(fd, sub.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (next < 0) break;
      ::close(fd);
      fd = next;
      names.push_back(sub);
      continue;
    }
    if (names.empty()) break;
    const int up = ::openat(fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ::close(fd);
    fd = up;
    if (fd < 0 || ::unlinkat(fd, names.back().c_str(), AT_REMOVEDIR) != 0) break;
    names.pop_back();
  }
  if (fd >= 0) ::close(fd);
  std::error_code ignored;
  fs::remove_all(root, ignored);
}

// A fixture with an empty folder of its own, named after the test and the
// process, removed afterwards.
class TTempFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fDir = fs::temp_directory_path() /
           ("qn_test_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name() + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    RemoveTree(fDir);
    fs::create_directories(fDir);
  }
  void TearDown() override {
    RemoveTree(fDir);
    if (!fFast.empty() && fFast.parent_path() != fDir) RemoveTree(fFast);
  }

  // A second empty folder, in memory (/dev/shm) where there is one: for
  // trees of thousands of folders, whose removal costs milliseconds per
  // folder on some disks. Made at the first call.
  const fs::path& FastFolder() {
    if (!fFast.empty()) return fFast;
    std::error_code error;
    const fs::path shm("/dev/shm");
    if (fs::is_directory(shm, error) && ::access(shm.c_str(), W_OK | X_OK) == 0) {
      fFast = shm / fDir.filename();
      RemoveTree(fFast);
      if (fs::create_directories(fFast, error) && !error) return fFast;
    }
    fFast = fDir / "fast";
    fs::create_directories(fFast);
    return fFast;
  }

  fs::path fDir;
  fs::path fFast;
};

// While alive, writes beyond `bytes` fail with EFBIG instead of raising SIGXFSZ.
class TFileSizeLimit {
 public:
  explicit TFileSizeLimit(rlim_t bytes) {
    fOldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ::getrlimit(RLIMIT_FSIZE, &fOld);
    rlimit limit = fOld;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~TFileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &fOld);
    std::signal(SIGXFSZ, fOldHandler);
  }
  TFileSizeLimit(const TFileSizeLimit&) = delete;
  TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;

 private:
  rlimit fOld{};
  void (*fOldHandler)(int) = nullptr;
};

// While alive, the process may hold at most `count` open descriptors (soft
// limit), so that a walk that kept one per level would fail.
class TDescriptorLimit {
 public:
  explicit TDescriptorLimit(rlim_t count) {
    ::getrlimit(RLIMIT_NOFILE, &fOld);
    rlimit limit = fOld;
    limit.rlim_cur = count;
    ::setrlimit(RLIMIT_NOFILE, &limit);
  }
  ~TDescriptorLimit() { ::setrlimit(RLIMIT_NOFILE, &fOld); }
  TDescriptorLimit(const TDescriptorLimit&) = delete;
  TDescriptorLimit& operator=(const TDescriptorLimit&) = delete;

 private:
  rlimit fOld{};
};

}  // namespace qn::test_support
