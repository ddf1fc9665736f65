#include "platform/IniFile.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "platform/CodePages.h"
#include "platform/Exceptions.h"
#include "platform/Streams.h"
#include "platform/testing/TestFiles.h"

namespace qn::platform {
namespace {

// The tests that work on files get a fresh folder each, removed afterwards.
class IniFiles : public test_support::TTempFolderTest {
 protected:
  std::string TempFolder(const std::string& name) const {
    const auto folder = fDir / name;
    std::filesystem::create_directories(folder);
    return folder.string();
  }
};

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void WriteText(const std::string& path, const std::string& text) {
  WriteBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::u16string> Entries(const TStringList& list) {
  std::vector<std::u16string> out;
  for (int32_t i = 0; i < list.Count(); ++i) out.push_back(list[i]);
  return out;
}

TEST(IniFile, ReadsSectionsAndKeysWithoutRegardToCase) {
  TMemIniFile ini(u"");
  ini.SetText(u"; leading comment\r\n[Main]\r\n  Name = Quillon  \r\nEmpty=\r\n"
              u"dup=first\r\ndup=second\r\n[other]\r\nx=1\r\n");
  EXPECT_EQ(ini.ReadString(u"MAIN", u"name", u"?"), u"Quillon");
  EXPECT_EQ(ini.ReadString(u"main", u"empty", u"?"), u"");  // present but empty
  EXPECT_EQ(ini.ReadString(u"main", u"absent", u"?"), u"?");
  EXPECT_EQ(ini.ReadString(u"nowhere", u"name", u"?"), u"?");
  EXPECT_EQ(ini.ReadString(u"main", u"DUP", u"?"), u"first");
  EXPECT_TRUE(ini.SectionExists(u"OTHER"));
  EXPECT_TRUE(ini.ValueExists(u"other", u"X"));
  EXPECT_FALSE(ini.ValueExists(u"other", u"y"));
  // Non-ASCII names match by their case too.
  ini.WriteString(u"\u00c9t\u00e9", u"\u0391", u"v");
  EXPECT_EQ(ini.ReadString(u"\u00e9T\u00c9", u"\u03b1", u""), u"v");
}

TEST(IniFile, WriteBackKeepsCommentsAndOrder) {
  TMemIniFile ini(u"");
  ini.SetText(u"top=1\r\n\r\n[A]\r\n; keep me\r\nk=v\r\nno equals sign\r\n\r\n[B]\r\n# also\r\nz=9\r\n");
  ini.WriteString(u"a", u"new", u"n");
  ini.WriteString(u"C", u"c", u"3");
  EXPECT_EQ(ini.Text(),
            u"top=1\r\n\r\n[A]\r\n; keep me\r\nk=v\r\nno equals sign\r\nnew=n\r\n\r\n[B]\r\n# also\r\n"
            u"z=9\r\n\r\n[C]\r\nc=3\r\n");
  TStringList keys;
  ini.ReadSection(u"a", keys);
  EXPECT_EQ(Entries(keys), (std::vector<std::u16string>{u"k", u"new"}));
  ini.ReadSections(keys);
  EXPECT_EQ(Entries(keys), (std::vector<std::u16string>{u"A", u"B", u"C"}));
  ini.ReadSectionValues(u"B", keys);
  EXPECT_EQ(Entries(keys), (std::vector<std::u16string>{u"z=9"}));
}

TEST(IniFile, RepeatedSectionsMergeAndDeleteKeyRemovesEveryCopy) {
  TMemIniFile ini(u"");
  ini.SetText(u"[s]\r\na=1\r\n[S]\r\na=2\r\nb=3\r\n");
  TStringList sections;
  ini.ReadSections(sections);
  EXPECT_EQ(sections.Count(), 1);
  EXPECT_EQ(ini.ReadString(u"s", u"a", u""), u"1");
  EXPECT_EQ(ini.ReadString(u"s", u"b", u""), u"3");
  ini.DeleteKey(u"s", u"A");
  EXPECT_FALSE(ini.ValueExists(u"s", u"a"));  // the second "a" does not come back
  EXPECT_EQ(ini.ReadString(u"s", u"b", u""), u"3");
  ini.EraseSection(u"S");
  EXPECT_FALSE(ini.SectionExists(u"s"));
  ini.DeleteKey(u"none", u"x");
  ini.EraseSection(u"none");
}

TEST(IniFile, TypedValues) {
  TMemIniFile ini(u"");
  ini.SetText(u"[v]\r\nhex=$1F\r\nhex2=0x10\r\nbad=12x\r\nbig=99999999999\r\n");
  EXPECT_EQ(ini.ReadInteger(u"v", u"hex", 0), 31);
  EXPECT_EQ(ini.ReadInteger(u"v", u"hex2", 0), 16);
  EXPECT_EQ(ini.ReadInteger(u"v", u"bad", -5), -5);
  EXPECT_EQ(ini.ReadInteger(u"v", u"big", -5), -5);
  EXPECT_EQ(ini.ReadInt64(u"v", u"big", -5), 99999999999);

  ini.WriteInteger(u"v", u"i", -2147483647 - 1);
  EXPECT_EQ(ini.ReadInteger(u"v", u"i", 0), -2147483647 - 1);

  for (double d : {0.1, -1e300, 5e-324, 1.0 / 3.0, 0.0}) {
    ini.WriteFloat(u"v", u"f", d);
    EXPECT_EQ(ini.ReadFloat(u"v", u"f", 99.0), d);
  }
  EXPECT_EQ(ini.ReadString(u"v", u"f", u""), u"0");
  ini.WriteString(u"v", u"f", u"abc");
  EXPECT_EQ(ini.ReadFloat(u"v", u"f", 2.5), 2.5);

  const TDateTime moment = EncodeDateTime(2024, 2, 29, 13, 5, 9, 120);
  ini.WriteDateTime(u"v", u"when", moment);
  EXPECT_EQ(ini.ReadString(u"v", u"when", u""), u"2024-02-29 13:05:09.120");
  EXPECT_NEAR(ini.ReadDateTime(u"v", u"when", 0), moment, 1e-9);
  ini.WriteString(u"v", u"when", u"2024-02-30");
  EXPECT_EQ(ini.ReadDateTime(u"v", u"when", -1), -1);
}

TEST(IniFile, Booleans) {
  struct Case {
    const char16_t* stored;
    bool whenDefaultFalse;
    bool whenDefaultTrue;
  };
  const Case cases[] = {{u"1", true, true},       {u"0", false, false},   {u"true", true, true},
                        {u"No", false, false},    {u"ON", true, true},    {u"-3", true, true},
                        {u"maybe", false, true},  {u"", false, true}};
  TMemIniFile ini(u"");
  for (const Case& c : cases) {
    ini.WriteString(u"b", u"k", c.stored);
    EXPECT_EQ(ini.ReadBool(u"b", u"k", false), c.whenDefaultFalse) << static_cast<int>(c.stored[0]);
    EXPECT_EQ(ini.ReadBool(u"b", u"k", true), c.whenDefaultTrue);
  }
  EXPECT_TRUE(ini.ReadBool(u"b", u"missing", true));
  ini.WriteBool(u"b", u"k", true);
  EXPECT_EQ(ini.ReadString(u"b", u"k", u""), u"1");
}

TEST_F(IniFiles, LineBreaksCannotInjectSectionsOrKeys) {
  const std::string path = TempFolder("inject") + "/s.ini";
  {
    TMemIniFile ini(std::string_view{path});
    ini.WriteString(u"s", u"k", u"x\r\n[evil]\r\npassword=1");
    ini.WriteString(u"s\n[t]", u"k2", u"v");
    ini.UpdateFile();
  }
  TMemIniFile back(std::string_view{path});
  EXPECT_FALSE(back.SectionExists(u"evil"));
  EXPECT_EQ(back.ReadString(u"s", u"k", u""), u"x  [evil]  password=1");
  TStringList sections;
  back.ReadSections(sections);
  EXPECT_EQ(sections.Count(), 2);
}

TEST_F(IniFiles, Utf16RoundTripWritesTheMarkFFFE) {
  const std::string path = TempFolder("utf16") + "/settings.ini";
  {
    TMemIniFile ini(std::string_view{path});  // missing file: empty settings
    EXPECT_FALSE(ini.SectionExists(u"x"));
    ini.SetEncoding(kEncodingUTF16LE);
    ini.WriteString(u"K", u"a", u"\u0395\u03bb");
    ini.UpdateFile();
  }
  const std::vector<uint8_t> golden = {0xFF, 0xFE, '[', 0, 'K', 0, ']', 0, '\r', 0, '\n', 0,
                                       'a',  0,    '=', 0, 0x95, 0x03, 0xBB, 0x03, '\r', 0, '\n', 0};
  EXPECT_EQ(FileBytes(path), golden);
  TMemIniFile back(std::string_view{path});
  EXPECT_EQ(back.Encoding(), kEncodingUTF16LE);
  EXPECT_EQ(back.ReadString(u"k", u"A", u""), u"\u0395\u03bb");
  back.WriteInteger(u"k", u"n", 5);
  back.UpdateFile();  // written again in the encoding it was read in
  const std::vector<uint8_t> bytes = FileBytes(path);
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes[0], 0xFF);
  EXPECT_EQ(bytes[1], 0xFE);
  EXPECT_EQ(TMemIniFile(std::string_view{path}).ReadInteger(u"K", u"n", 0), 5);
}

TEST_F(IniFiles, ReadsEveryEncoding) {
  const std::string path = TempFolder("encodings") + "/e.ini";
  struct Case {
    std::vector<uint8_t> bytes;
    TTextEncoding encoding;
  };
  const Case cases[] = {
      {{'[', 's', ']', '\n', 'k', '=', 0xE9}, kEncodingDefault},
      {{0xEF, 0xBB, 0xBF, '[', 's', ']', '\n', 'k', '=', 0xC3, 0xA9}, kEncodingUTF8},
      {{0xFE, 0xFF, 0, '[', 0, 's', 0, ']', 0, '\r', 0, 'k', 0, '=', 0, 0xE9}, kEncodingUTF16BE},
  };
  for (const Case& c : cases) {
    WriteBytes(path, c.bytes);
    TMemIniFile ini(std::string_view{path});
    EXPECT_EQ(ini.Encoding(), c.encoding);
    EXPECT_EQ(ini.ReadString(u"S", u"K", u""), u"\u00e9");
  }
  // A given encoding is used as it is.
  WriteBytes(path, {'[', 's', ']', '\n', 'k', '=', 0xC3, 0xA9});
  TMemIniFile utf8(DecodedUTF8(path), kEncodingUTF8);
  EXPECT_EQ(utf8.ReadString(u"s", u"k", u""), u"\u00e9");
}

TEST_F(IniFiles, RenameAndReload) {
  const std::string folder = TempFolder("rename");
  WriteText(folder + "/a.ini", "[x]\nv=a\n");
  WriteText(folder + "/b.ini", "[x]\nv=b\n");
  TMemIniFile ini(std::string_view{folder + "/a.ini"});
  ini.Rename(DecodedUTF8(folder + "/b.ini"), false);
  EXPECT_EQ(ini.ReadString(u"x", u"v", u""), u"a");
  ini.Rename(DecodedUTF8(folder + "/b.ini"), true);
  EXPECT_EQ(ini.ReadString(u"x", u"v", u""), u"b");
}

// A crash while the new settings are written (the child dies of the file size
// limit in the middle of the write), and a failed write (the limit raises an
// error instead): the old settings survive both.
TEST_F(IniFiles, CrashOrFailureDuringUpdateKeepsTheOldSettings) {
  const std::string folder = TempFolder("crash");
  const std::string path = folder + "/tool.ini";
  WriteText(path, "[main]\r\nkept=yes\r\n");
  const std::vector<uint8_t> before = FileBytes(path);

  for (const bool crash : {true, false}) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::signal(SIGXFSZ, crash ? SIG_DFL : SIG_IGN);
      TMemIniFile ini(std::string_view{path});
      for (int i = 0; i < 2000; ++i) ini.WriteInteger(u"bulk", IntToStr(i), i);
      struct rlimit limit = {4096, 4096};
      ::setrlimit(RLIMIT_FSIZE, &limit);
      try {
        ini.UpdateFile();
      } catch (const EStreamError&) {
        ::_exit(3);
      }
      ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    if (crash) {
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ);
    } else {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3);
    }
    EXPECT_EQ(FileBytes(path), before);
    TMemIniFile ini(std::string_view{path});
    EXPECT_EQ(ini.ReadString(u"main", u"kept", u""), u"yes");
  }
}

TEST_F(IniFiles, UnreadableOrUnwritablePlacesRaise) {
  const std::string folder = TempFolder("errors");
  // A folder where the file should be: cannot be read as settings.
  std::filesystem::create_directories(folder + "/dir.ini");
  EXPECT_THROW(TMemIniFile(std::string_view{folder + "/dir.ini"}), EFOpenError);
  TMemIniFile ini(std::string_view{folder + "/missing/deeper.ini"});
  ini.WriteString(u"a", u"b", u"c");
  EXPECT_THROW(ini.UpdateFile(), EFCreateError);
  TMemIniFile nameless(u"");
  nameless.WriteString(u"a", u"b", u"c");
  EXPECT_NO_THROW(nameless.UpdateFile());
}

TEST(IniFile, StringsInAndOut) {
  TStringList lines;
  lines.SetText(u"[a]\r\nk=v\r\n");
  TMemIniFile ini(u"");
  ini.SetStrings(lines);
  EXPECT_EQ(ini.ReadString(u"a", u"k", u""), u"v");
  ini.Clear();
  EXPECT_FALSE(ini.SectionExists(u"a"));
  ini.WriteString(u"b", u"x", u"1");
  ini.GetStrings(lines);
  EXPECT_EQ(Entries(lines), (std::vector<std::u16string>{u"[b]", u"x=1"}));
}

}  // namespace
}  // namespace qn::platform
