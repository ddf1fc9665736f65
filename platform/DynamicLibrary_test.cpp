#include "platform/DynamicLibrary.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/testing/TestFiles.h"

namespace qn::platform {
namespace {

TEST(DynamicLibrary, LoadsBindsAndReleases) {
  TLibraryHandle library = LoadDynamicLibrary(u"libm.so.6");
  ASSERT_NE(library, nullptr) << LastDynamicLibraryError();
  using TCos = double (*)(double);
  auto cosine = reinterpret_cast<TCos>(FindLibrarySymbol(library, "cos"));
  ASSERT_NE(cosine, nullptr);
  EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);
  EXPECT_EQ(FindLibrarySymbol(library, "no_such_symbol_anywhere"), nullptr);
  EXPECT_FALSE(LastDynamicLibraryError().empty());
  EXPECT_EQ(FindLibrarySymbol(library, ""), nullptr);
  EXPECT_EQ(FindLibrarySymbol(library, nullptr), nullptr);
  EXPECT_TRUE(FreeDynamicLibrary(library));
}

TEST(DynamicLibrary, FailuresAreReportedNotThrown) {
  EXPECT_EQ(LoadDynamicLibrary(u"/no/such/folder/libnothing.so"), nullptr);
  EXPECT_NE(LastDynamicLibraryError().find("libnothing"), std::string::npos);
  EXPECT_EQ(LoadDynamicLibrary(u""), nullptr);
  EXPECT_EQ(LoadDynamicLibraryUtf8(std::string("lib\0m.so.6", 10)), nullptr);
  EXPECT_EQ(FindLibrarySymbol(nullptr, "cos"), nullptr);
  EXPECT_FALSE(FreeDynamicLibrary(nullptr));
}

using DynamicLibraryFiles = test_support::TTempFolderTest;

TEST_F(DynamicLibraryFiles, FileNamesOutsideAsciiReachTheFileSystemAsUtf8) {
  namespace fs = std::filesystem;
  // Copy a real library under a name with accents and load it by that name.
  fs::path source;
  for (const char* candidate : {"/lib/x86_64-linux-gnu/libm.so.6", "/usr/lib/x86_64-linux-gnu/libm.so.6",
                                "/lib64/libm.so.6", "/usr/lib64/libm.so.6", "/lib/aarch64-linux-gnu/libm.so.6"})
    if (fs::exists(candidate)) source = candidate;
  if (source.empty()) GTEST_SKIP() << "no libm found at the usual places";
  const fs::path& folder = fDir;
  fs::path target = folder / "biblioth\xC3\xA8que.so";
  fs::copy_file(source, target, fs::copy_options::overwrite_existing);
  std::u16string name;
  for (char c : folder.string()) name.push_back(char16_t(static_cast<unsigned char>(c)));
  name += u"/biblioth\u00E8que.so";
  TLibraryHandle library = LoadDynamicLibrary(name);
  EXPECT_NE(library, nullptr) << LastDynamicLibraryError();
  if (library) {
    EXPECT_NE(FindLibrarySymbol(library, "sqrt"), nullptr);
    EXPECT_TRUE(FreeDynamicLibrary(library));
  }
}

}  // namespace
}  // namespace qn::platform
