// Helpers shared by the tests that work on real files: byte-exact reading and
// writing, a fresh folder per test, and a file-size limit that makes writes
// fail part way for every user (root included), so the tests can check that a
// failed write leaves a file as it was.
#pragma once

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

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

// A fixture with an empty folder of its own, named after the test and the
// process, removed afterwards.
class TTempFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fDir = fs::temp_directory_path() /
           ("qn_test_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name() + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(fDir);
    fs::create_directories(fDir);
  }
  void TearDown() override { fs::remove_all(fDir); }

  fs::path fDir;
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

}  // namespace qn::test_support
