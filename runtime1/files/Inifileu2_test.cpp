#include "runtime1/files/Inifileu2.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "platform/CodePages.h"
#include "platform/testing/TestFiles.h"

namespace qn {
namespace {

namespace fs = std::filesystem;

std::string LE(std::u16string_view text) {
  std::string bytes;
  for (const char16_t unit : text) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

using test_support::ReadBytes;
using test_support::Wide;
using test_support::WriteBytes;

using IniTest = test_support::TTempFolderTest;

TEST_F(IniTest, BooleansReadByTheirFirstLetterExactly) {
  struct Case {
    const char* name;
    std::optional<std::u16string> stored;  // none: the key is missing
    bool Default;
    bool expected;
  };
  const Case cases[] = {
      {"YES, default true", u"YES", true, true},
      {"Yup, default true", u"Yup", true, true},
      {"yes, default true", u"yes", true, false},
      {"NO, default true", u"NO", true, false},
      {"empty, default true", u"", true, false},
      {"missing, default true", std::nullopt, true, true},
      {"NO, default false", u"NO", false, false},
      {"Nope, default false", u"Nope", false, false},
      {"no, default false", u"no", false, true},
      {"YES, default false", u"YES", false, true},
      {"empty, default false", u"", false, true},
      {"missing, default false", std::nullopt, false, false},
  };
  TMyMemIniFile ini(u"");
  for (const Case& c : cases) {
    ini.EraseSection(u"Flags");
    if (c.stored) ini.WriteString(u"Flags", u"Key", *c.stored);
    EXPECT_EQ(ini.ReadBool(u"Flags", u"Key", c.Default), c.expected) << c.name;
  }
}

TEST_F(IniTest, BooleansAreWrittenAsYesAndNo) {
  TMyMemIniFile ini(u"");
  ini.WriteBool(u"Options", u"Show", true);
  ini.WriteBool(u"Options", u"Hide", false);
  EXPECT_EQ(ini.ReadString(u"Options", u"Show", u"?"), u"YES");
  EXPECT_EQ(ini.ReadString(u"options", u"HIDE", u"?"), u"NO");
  // Through a base-class reference too: the suite stores Booleans one way.
  platform::TMemIniFile& base = ini;
  base.WriteBool(u"Options", u"Base", true);
  EXPECT_EQ(ini.ReadString(u"Options", u"Base", u"?"), u"YES");
  EXPECT_TRUE(base.ReadBool(u"Options", u"Base", false));
}

TEST_F(IniTest, SettingsAreWrittenAsUtf16WithTheMarkAndReadBack) {
  const fs::path file = fDir / "tool.ini";
  {
    TMyMemIniFile ini(Wide(file));
    ini.WriteBool(u"Options", u"Show", true);
    ini.WriteString(u"Options", u"Title", u"\u00C9t\u00E9 \u4E2D\u6587");
    ini.WriteInteger(u"Sizes", u"Width", 640);
    ini.UpdateFile();
  }
  const std::string bytes = ReadBytes(file);
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), std::string("\xFF\xFE", 2));
  EXPECT_NE(bytes.find(LE(u"[Options]\r\nShow=YES\r\n")), std::string::npos);
  EXPECT_NE(bytes.find(LE(u"Title=\u00C9t\u00E9 \u4E2D\u6587\r\n")), std::string::npos);

  TMyMemIniFile again(Wide(file));
  EXPECT_TRUE(again.ReadBool(u"OPTIONS", u"show", false));
  EXPECT_EQ(again.ReadString(u"Options", u"Title", u""), u"\u00C9t\u00E9 \u4E2D\u6587");
  EXPECT_EQ(again.ReadInteger(u"Sizes", u"Width", 0), 640);
}

TEST_F(IniTest, AnyEncodingReadIsWrittenBackAsUtf16) {
  const fs::path utf8 = fDir / "utf8.ini";
  WriteBytes(utf8, "\xEF\xBB\xBF[S]\r\nName=caf\xC3\xA9\r\nOn=NO\r\n");
  const fs::path ansi = fDir / "ansi.ini";
  WriteBytes(ansi, "[S]\r\nName=caf\xE9\r\nOn=NO\r\n");
  for (const fs::path& file : {utf8, ansi}) {
    TMyMemIniFile ini(Wide(file));
    EXPECT_EQ(ini.ReadString(u"S", u"Name", u""), u"caf\u00E9") << file;
    EXPECT_FALSE(ini.ReadBool(u"S", u"On", true)) << file;
    ini.UpdateFile();
    const std::string bytes = ReadBytes(file);
    EXPECT_EQ(bytes.substr(0, 2), std::string("\xFF\xFE", 2)) << file;
    EXPECT_NE(bytes.find(LE(u"Name=caf\u00E9")), std::string::npos) << file;
  }
}

TEST_F(IniTest, AMissingFileGivesEmptySettings) {
  TMyMemIniFile ini(Wide(fDir / "none.ini"));
  EXPECT_FALSE(ini.SectionExists(u"Options"));
  EXPECT_TRUE(ini.ReadBool(u"Options", u"Show", true));
  EXPECT_FALSE(fs::exists(fDir / "none.ini"));
}

TEST_F(IniTest, SaveABackupKeepsThePreviousFile) {
  const fs::path file = fDir / "tool.ini";
  const fs::path backup = fDir / "tool.BAK";
  {
    TMyMemIniFile ini(Wide(file));
    EXPECT_FALSE(ini.SaveABackup());  // nothing on disk yet
    EXPECT_FALSE(fs::exists(backup));
    ini.WriteString(u"S", u"Version", u"1");
    ini.UpdateFile();
  }
  const std::string first = ReadBytes(file);
  WriteBytes(backup, "an older backup");
  {
    TMyMemIniFile ini(Wide(file));
    ini.WriteString(u"S", u"Version", u"2");
    EXPECT_TRUE(ini.SaveABackup());
    // The backup does not write the settings held in memory.
    EXPECT_EQ(ReadBytes(file), first);
    ini.UpdateFile();
  }
  EXPECT_EQ(ReadBytes(backup), first);
  EXPECT_EQ(TMyMemIniFile(Wide(backup)).ReadString(u"S", u"Version", u""), u"1");
  EXPECT_EQ(TMyMemIniFile(Wide(file)).ReadString(u"S", u"Version", u""), u"2");
}

TEST_F(IniTest, TheBackupNameReplacesOnlyTheExtensionOfTheNamePart) {
  fs::create_directories(fDir / "my.dir");
  struct Case {
    fs::path file;
    fs::path backup;
  };
  const Case cases[] = {
      {fDir / "settings", fDir / "settings.BAK"},
      {fDir / "my.dir" / "settings", fDir / "my.dir" / "settings.BAK"},
      {fDir / "my.dir" / "a.b.ini", fDir / "my.dir" / "a.b.BAK"},
  };
  for (const Case& c : cases) {
    WriteBytes(c.file, "[S]\r\nK=V\r\n");
    TMyMemIniFile ini(Wide(c.file));
    EXPECT_EQ(ini.BackupFileName(), Wide(c.backup));
    EXPECT_TRUE(ini.SaveABackup()) << c.file;
    EXPECT_EQ(ReadBytes(c.backup), "[S]\r\nK=V\r\n") << c.file;
  }
  TMyMemIniFile unnamed(u"");
  EXPECT_FALSE(unnamed.SaveABackup());
}

TEST_F(IniTest, AFailedBackupLeavesTheOlderBackupWhole) {
  const fs::path file = fDir / "tool.ini";
  WriteBytes(file, "[S]\r\nK=V\r\n");
  // A folder where the backup would go: the copy cannot be renamed into place.
  const fs::path backup = fDir / "tool.BAK";
  fs::create_directories(backup / "inside");
  TMyMemIniFile ini(Wide(file));
  EXPECT_FALSE(ini.SaveABackup());
  EXPECT_TRUE(fs::is_directory(backup / "inside"));
  // No temporary copy is left behind.
  int entries = 0;
  for (const auto& entry : fs::directory_iterator(fDir)) {
    (void)entry;
    ++entries;
  }
  EXPECT_EQ(entries, 2);
}

}  // namespace
}  // namespace qn
